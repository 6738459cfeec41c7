// The converter's strings in its three user-interface languages. Ids are
// the English ones; German lives at +512 and Spanish at +1,024, so a
// language is just an offset added to every id. Warnings travel as a number
// and arguments, never as text, so the shell formats them in the language
// chosen when it shows them. Ids 47 to 59, 63 and 64 are texts of our own.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "converter/help_file.h"

namespace conv {

inline constexpr int kLanguageEnglish = 0;
inline constexpr int kLanguageGerman = 512;
inline constexpr int kLanguageSpanish = 1024;

// Ids of our own texts.
inline constexpr int kTextConversionComplete = 63;  // the progress window at the end of a run
inline constexpr int kTextRepeatedWarning = 64;     // "%s (%ld times)"

// Language offset of the process (0, 512 or 1,024).
void SetLanguageOffset(int offset);
int LanguageOffset();
// "DEU" German, "ESP" or "ESN" Spanish, anything else English (any case).
int LanguageOffsetFor(std::string_view code);

// The string `id` in the current language; "String Id not found" when the
// language has no such string.
std::string LoadLocalString(int id);
// The same for an explicit, already offset id (ids 1-64, 513-576, 1025-1088).
std::string LoadStringResource(int fullId);

// printf-style formatting of a string-table text with recorded arguments:
// conversions d i u x X c s with flags, width, precision and the h, l, ll
// modifiers ("l" is 32 bits, as the texts were written for). A missing
// argument formats as nothing, so a text and its arguments that disagree
// still give a line. A localized argument (WarningArg::Localized) is
// formatted the same way, in the current language, where its "%s" stands.
std::string FormatWithArgs(std::string_view format, const std::vector<WarningArg>& args);
// The warning's line in the current language, cut at its first line feed
// as the progress list shows it.
std::string FormatWarning(const HelpWarning& warning);

// Warning lines as a user is shown them: a broken table can report the same
// warning thousands of times, so a line that comes again is counted on the
// row of its first coming, and rows keep the order in which their lines
// first came. Lines are compared as formatted.
class WarningTally {
public:
    struct Row {
        std::string text;
        std::size_t count = 0;
    };
    // Counts `line`; returns the index of its row.
    std::size_t Add(const std::string& line);
    const std::vector<Row>& rows() const { return rows_; }

private:
    std::vector<Row> rows_;
    std::unordered_map<std::string, std::size_t> index_;
};
// A row as shown: its text, and how often it came when that is more than
// once (text 64, in the current language).
std::string TalliedLine(const WarningTally::Row& row);

}  // namespace conv
