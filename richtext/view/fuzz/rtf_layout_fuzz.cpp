// Reads arbitrary bytes as RTF, lays the document out on the fake device at
// two widths, with hidden text shown and not, and paints it on the recording
// device: layout arithmetic and painting must hold for any values a file can
// carry (spacing, indents, sizes, cells, pictures).
#include <cstdint>
#include <sstream>
#include <string>

#include "platform/gdi/fake_device.h"
#include "richtext/io/text_reader.h"
#include "richtext/view/text_paint.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    richtext::SetProgressQuiet(true);
    try {
        plat::TRecordingDevice device(96, 96);
        device.filter = {"none"};  // the calls are made; the log stays small
        richtext::TJDRTFTextPaint text;
        text.SetPaintOptions(text.PaintOptions() | richtext::poLayoutLocked);
        {
            std::istringstream in(bytes);
            richtext::TJDRtfReader reader;
            reader.SetModel(&text);
            reader.Read(in);
        }
        text.SetCanvas(&device);
        text.SetPaintOptions(text.PaintOptions() & ~richtext::poLayoutLocked);
        text.SetWindowSize(300, 200);
        text.FormatAll();
        text.PaintRect(0, 0, 300, 200);
        text.SetWindowSize(37, 50);
        text.SetPaintOptions(text.PaintOptions() | richtext::poShowHidden);
        text.PaintRect(0, 0, 37, 50);
        text.SetZooming(7);
        text.PaintRect(0, 0, 37, 50);
    } catch (const richtext::ERichTextError&) {
        // A clear error is an allowed outcome.
    }
    return 0;
}
