#include "data/text_utils.h"

#include "platform/core/codepage.h"
#include "platform/core/format.h"
#include "platform/core/format_settings.h"

#include <algorithm>

namespace vl {

namespace {

bool SameCharIgnoringCase(char a, char b) { return plat::AnsiUpperCase(std::string(1, a)) == plat::AnsiUpperCase(std::string(1, b)); }

bool StartsWithIgnoringCase(std::string_view text, std::size_t at, std::string_view word) {
    if (at + word.size() > text.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (!SameCharIgnoringCase(text[at + i], word[i])) return false;
    return true;
}

}  // namespace

std::string GetToken(std::string_view text, std::string_view delimiter, int& position) {
    if (position < 1 || position > static_cast<int>(text.size()) || delimiter.empty()) return {};
    const std::size_t start = static_cast<std::size_t>(position - 1);
    std::size_t found = std::string_view::npos, skip = 0;
    if (delimiter.size() == 1) {
        found = text.find(delimiter[0], start);
        skip = 1;
    } else {
        // A whole word between blanks.
        for (std::size_t i = start; i + delimiter.size() + 2 <= text.size(); ++i)
            if (text[i] == ' ' && text[i + delimiter.size() + 1] == ' ' &&
                StartsWithIgnoringCase(text, i + 1, delimiter)) {
                found = i;
                skip = delimiter.size() + 2;
                break;
            }
    }
    if (found == std::string_view::npos) {
        position = -1;
        return std::string(text.substr(start));
    }
    position = static_cast<int>(found + skip) + 1;
    return std::string(text.substr(start, found - start));
}

void DelimitedToStrings(std::string_view text, char delimiter, plat::StringList& list) {
    list.Clear();
    std::size_t start = 0;
    for (;;) {
        std::size_t at = text.find(delimiter, start);
        if (at == std::string_view::npos) {
            list.Add(std::string(text.substr(start)));
            return;
        }
        list.Add(std::string(text.substr(start, at - start)));
        start = at + 1;
    }
}

void TrimRightChars(std::string& text, std::string_view chars) {
    while (!text.empty() && chars.find(text.back()) != std::string_view::npos) text.pop_back();
}

std::string ReplaceChar(std::string_view text, char oldChar, char newChar) {
    std::string s(text);
    for (char& c : s)
        if (c == oldChar) c = newChar;
    return s;
}

bool SameTextUpper(std::string_view a, std::string_view b) {
    return plat::AnsiUpperCase(std::string(a)) == plat::AnsiUpperCase(std::string(b));
}

int CountChar(std::string_view text, char c) {
    int n = 0;
    for (char x : text) n += x == c;
    return n;
}

std::string AfterChar(std::string_view text, char c) {
    std::size_t at = text.find(c);
    return at == std::string_view::npos ? std::string() : std::string(text.substr(at + 1));
}

std::string GetWord(std::string_view text, int& position, int options, std::string_view delimiters) {
    const int n = static_cast<int>(text.size());
    if (position < 1 || position > n) return {};
    if (options & gwSkipBlanks) {
        while (position <= n && (text[position - 1] == ' ' || text[position - 1] == '\t')) ++position;
        if (position > n) return {};
    }
    std::size_t start = static_cast<std::size_t>(position - 1);
    std::string word;
    if ((options & gwQuoted) && text[start] == '"') {
        std::size_t close = text.find('"', start + 1);
        std::size_t end = close == std::string_view::npos ? text.size() : close + 1;
        word = std::string(text.substr(start, end - start));
        position = static_cast<int>(end) + 1;
    } else {
        auto stops = [&](char c) {
            return c == ' ' || static_cast<unsigned char>(c) < 32 || delimiters.find(c) != std::string_view::npos;
        };
        std::size_t i = start;
        while (i < text.size() && !stops(text[i])) ++i;
        if (i == start) {
            // The stopping character is a word of its own.
            word = std::string(1, text[start]);
            position = static_cast<int>(start) + 2;
        } else {
            word = std::string(text.substr(start, i - start));
            // A one-character word also takes the delimiter after it.
            position = word.size() < 2 ? static_cast<int>(i) + 2 : static_cast<int>(i) + 1;
        }
    }
    if ((options & gwStripQuotes) && !word.empty() && (word.front() == '"' || word.front() == '\'')) {
        word.erase(0, 1);
        if (!word.empty() && (word.back() == '"' || word.back() == '\'')) word.pop_back();
    }
    return word;
}

bool IsValidDateText(std::string_view text) {
    plat::TDateTime d;
    return plat::TryTextToDate(text, d);
}

bool IsValidTimeText(std::string_view text) {
    plat::TDateTime t;
    return plat::TryTextToTime(text, t);
}

bool IsValidDateTimeText(std::string_view text) {
    plat::TDateTime v;
    return plat::TryTextToDateTime(text, v, false);
}

bool IsIntegerText(std::string_view text) {
    if (text.empty()) return true;
    std::size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size()) return false;
    for (; i < text.size(); ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    return true;
}

bool IsFloatText(std::string_view text) {
    double v;
    return text.empty() || plat::TryStrToFloat(text, v);
}

int DateTimePartAt(int caret, std::string_view text, bool timeOnly) {
    const plat::FormatSettings& fs = plat::CurrentFormatSettings();
    std::size_t timeStart = 0;
    if (!timeOnly) {
        std::size_t end = 0;
        plat::TDateTime d;
        bool scanned = plat::ScanDate(text, end, d);
        // The date ends at its last character, before the blanks the scan took.
        while (scanned && end > 0 && text[end - 1] == ' ') --end;
        if (!scanned || caret - 1 < static_cast<int>(end)) {
            int limit = std::max(0, std::min(caret - 1, static_cast<int>(text.size())));
            int index = CountChar(text.substr(0, static_cast<std::size_t>(limit)), fs.DateSeparator);
            if (index > 2) return dtpDay;
            static const int kByOrder[3][3] = {
                {dtpMonth, dtpDay, dtpYear},   // month-day-year
                {dtpDay, dtpMonth, dtpYear},   // day-month-year
                {dtpYear, dtpMonth, dtpDay}};  // year-month-day
            return kByOrder[static_cast<int>(plat::GetDateOrder(fs.ShortDateFormat))][index];
        }
        timeStart = end;
    }
    const int from = static_cast<int>(timeStart);
    const int limit = std::max(from, std::min(caret - 1, static_cast<int>(text.size())));
    std::string_view before = text.substr(timeStart, static_cast<std::size_t>(limit - from));
    int index = CountChar(before, fs.TimeSeparator);
    if (index >= 2) {
        // Past the seconds' two digits the caret is in the designator.
        std::size_t secondsStart = before.rfind(fs.TimeSeparator) + 1;
        return before.size() - secondsStart > 2 ? dtpAmPm : dtpSecond;
    }
    return index == 0 ? dtpHour : dtpMinute;
}

int TimePartAt(int caret, std::string_view text) {
    if (caret < 1) return dtpHour;
    return DateTimePartAt(caret, text, true);
}

}  // namespace vl
