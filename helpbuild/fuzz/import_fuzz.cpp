// Arbitrary text through the import's text work: the help project sections,
// page splitting with footnotes and title regions, help ids, jumps and
// colours. No crash, no hang, whatever the text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "helpbuild/import_hpj.h"
#include "helpbuild/import_rtf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    // As a help project file.
    build::ReadConvertedOptions(text, "C:\\t\\x.hpj", "C:\\Prog");
    build::ReadWindowColours(text);
    std::vector<build::ContextMapEntry> map = build::ReadHpjMap(text);
    build::ReadHpjFiles(text);
    // As a topic RTF, alone and behind a valid head (so the pages are reached).
    static const std::string kHead = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red0\\green0\\blue255;}";
    for (const std::string& rtf : {text, kHead + text}) {
        build::SplitResult split = build::ImportRtfTopics(rtf);
        build::AssignImportedHelpIds(split.pages, map, "main");
        for (build::ImportedPage& p : split.pages) {
            p.helpText = build::ConvertImportedJumps(p.helpText, split.colourMap);
            build::FindFootnotes(p.helpText);
        }
    }
    build::FindFootnotes(text);
    build::ImportOnePage(text, "");
    build::BalanceBraces(text);
    return 0;
}
