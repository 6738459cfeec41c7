// String routines shared by the data-aware library (its TAB- and
// semicolon-separated property lines) and checks, never raising, whether a
// text reads as a date, time, number by the regional settings. Positions
// are 1-based character positions.
#pragma once

#include "platform/core/string_list.h"

#include <string>
#include <string_view>

namespace vl {

// The text from `position` up to the delimiter; `position` then points after
// the delimiter, or becomes -1 when none follows (the rest is the token). A
// position below 1 or beyond the text gives "" and leaves it unchanged. A
// delimiter of one character matches exactly; a longer one matches as a whole
// word between blanks, without regard to case ("AND" matches " and ").
std::string GetToken(std::string_view text, std::string_view delimiter, int& position);
// Clears the list and adds each piece between delimiters, the last one too.
void DelimitedToStrings(std::string_view text, char delimiter, plat::StringList& list);
// Removes trailing characters that are in `chars`.
void TrimRightChars(std::string& text, std::string_view chars);
std::string ReplaceChar(std::string_view text, char oldChar, char newChar);
bool SameTextUpper(std::string_view a, std::string_view b);
int CountChar(std::string_view text, char c);
// The part after the first occurrence of `c`; "" when it does not occur.
std::string AfterChar(std::string_view text, char c);

// GetWord options.
constexpr int gwSkipBlanks = 1;   // skip leading blanks and TABs
constexpr int gwQuoted = 2;       // a word in double quotes runs to the closing quote
constexpr int gwStripQuotes = 4;  // drop the quotes around the result
// The next word from `position`: up to a blank, a control character or a
// character of `delimiters`; a delimiter at the position is a word of its
// own. After a word of one character the position moves past what ended it;
// after a longer word it stops on that character.
std::string GetWord(std::string_view text, int& position, int options, std::string_view delimiters);

// Whole texts, trailing blanks allowed.
bool IsValidDateText(std::string_view text);
bool IsValidTimeText(std::string_view text);
bool IsValidDateTimeText(std::string_view text);
// Empty, or digits with one optional leading "-".
bool IsIntegerText(std::string_view text);
// Empty, or exactly what the number conversion (plat::StrToFloat) reads.
bool IsFloatText(std::string_view text);

// Parts of a date-time text.
enum TDateTimePart { dtpDay, dtpMonth, dtpYear, dtpHour, dtpMinute, dtpSecond, dtpAmPm };
// The part of a date-time text in which the caret stands; with `timeOnly`
// the text holds only a time.
int DateTimePartAt(int caret, std::string_view text, bool timeOnly);
int TimePartAt(int caret, std::string_view text);

}  // namespace vl
