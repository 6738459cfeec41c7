// Groups of RTF that every road reading RTF must take alike: the text
// engine's reader, the help import's group scanner, the font tables of
// stored pages. Each is one whole group; `text` is what it shows.
#pragma once

#include <string>
#include <vector>

namespace testcases {

struct RtfLexCase {
    const char* name;
    std::string group;
    std::string text;
};

inline const std::vector<RtfLexCase>& RtfLexCases() {
    static const std::vector<RtfLexCase> cases = {
        // The five data bytes "}{\f1" are neither group ends nor a font.
        {"binary data holding braces", "{\\bin5 }{\\f1 tail}", " tail"},
        {"braces as hex", "{\\'7d\\'7b tail}", "}{ tail"},
        {"8-bit bytes", "{caf\\'e9 \xE9t\xE9}", "caf\xE9 \xE9t\xE9"},
        // Raw CR LF and tabs are not text; \tab is.
        {"CR LF and tabs", "{a\r\nb\tc\\tab d}", "abc\td"},
        {"words and symbols", "{\\b bold\\b0  \\{x\\}\\\\}", "bold {x}\\"},
        {"a long word and a number past 32 bits", "{\\averyveryveryverylongcontrolwordwithmorethanthirtytwoletters "
                                                  "\\fs99999999999 x}", "x"},
    };
    return cases;
}

}  // namespace testcases
