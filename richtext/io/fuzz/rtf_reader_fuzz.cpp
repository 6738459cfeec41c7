// Reads arbitrary bytes as RTF, then writes the result and reads it back:
// neither step may crash, hang or leak, whatever the input.
#include <cstdint>
#include <sstream>
#include <string>

#include "richtext/io/text_reader.h"
#include "richtext/io/text_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    richtext::SetProgressQuiet(true);
    try {
        richtext::TJDRTFText model;
        {
            std::istringstream in(bytes);
            richtext::TJDRtfReader reader;
            reader.SetModel(&model);
            reader.Read(in);
        }
        std::ostringstream out;
        richtext::TJDRTFWriter writer(&model);
        writer.Write(out);
        richtext::TJDRTFText again;
        std::istringstream in2(out.str());
        richtext::TJDRtfReader reader2;
        reader2.SetModel(&again);
        reader2.Read(in2);
    } catch (const richtext::ERichTextError&) {
        // A clear error is an allowed outcome.
    }
    return 0;
}
