// Reads arbitrary bytes as HTML, writes the result as HTML and reads that
// back: no step may crash, hang or leak, whatever the input.
#include <cstdint>
#include <sstream>
#include <string>

#include "richtext/io/html_reader.h"
#include "richtext/io/html_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    richtext::SetProgressQuiet(true);
    try {
        richtext::TJDRTFText model;
        // Pictures are not looked for on disk: names come from the input.
        model.services.OnHTMLBitmapRequest = [](void*, const std::string&, std::shared_ptr<plat::TGraphic>&) {};
        {
            std::istringstream in(bytes);
            richtext::TJDHTMLReader reader;
            reader.SetModel(&model);
            reader.Read(in);
        }
        std::ostringstream out;
        richtext::TJDHTMLWriter writer(&model);
        writer.Write(out);
        richtext::TJDRTFText again;
        again.services.OnHTMLBitmapRequest = model.services.OnHTMLBitmapRequest;
        std::istringstream in2(out.str());
        richtext::TJDHTMLReader reader2;
        reader2.SetModel(&again);
        reader2.Read(in2);
    } catch (const richtext::ERichTextError&) {
        // A clear error is an allowed outcome.
    }
    return 0;
}
