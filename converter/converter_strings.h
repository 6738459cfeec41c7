// The converter's strings in its three user-interface languages. Ids are
// the English ones; German lives at +512 and Spanish at +1,024, so a
// language is just an offset added to every id. Warnings travel as a number
// and arguments, never as text, so the shell formats them in the language
// chosen when it shows them. Ids 47 to 59 are texts of our own.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "converter/help_file.h"

namespace conv {

inline constexpr int kLanguageEnglish = 0;
inline constexpr int kLanguageGerman = 512;
inline constexpr int kLanguageSpanish = 1024;

// Language offset of the process (0, 512 or 1,024).
void SetLanguageOffset(int offset);
int LanguageOffset();
// "DEU" German, "ESP" or "ESN" Spanish, anything else English (any case).
int LanguageOffsetFor(std::string_view code);

// The string `id` in the current language; "String Id not found" when the
// language has no such string.
std::string LoadLocalString(int id);
// The same for an explicit, already offset id (ids 1-62, 513-574, 1025-1086).
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

}  // namespace conv
