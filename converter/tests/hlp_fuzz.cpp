// Opens arbitrary bytes as a help file and reads everything the reader
// offers: directory, system records, fonts, phrases, every topic with its
// context names and keywords. Damage may end in HelpFileError; anything else
// (a crash, a hang, a sanitizer report) is a fault.

#include <cstddef>
#include <cstdint>
#include <string>

#include "converter/font_table.h"
#include "converter/help_file.h"
#include "converter/topic_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace conv;
    for (ConversionFlags flags : {ConversionFlags{0}, kPageLinks | kProbe}) {
        try {
            auto hf = OpenHelpFileBytes(std::string(reinterpret_cast<const char*>(data), size), "fuzz.hlp", flags);
            if (!hf) continue;
            SystemInfo info;
            ReadSystemInfo(*hf, info);
            ReadSystemRecords(*hf);
            ReadFontTable(*hf);
            for (const auto& t : ListTopics(*hf)) {
                if (!t.contextNames.empty()) ContextHash(t.contextNames.front());
            }
            LookupTopicMap(*hf, 0x1000);
        } catch (const HelpFileError&) {
        }
    }
    return 0;
}
