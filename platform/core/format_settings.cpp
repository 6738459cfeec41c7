#include "platform/core/format_settings.h"

#include "platform/core/clock.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <memory>

namespace plat {

namespace {

std::unique_ptr<FormatSettings>& Installed() {
    static std::unique_ptr<FormatSettings> s;
    return s;
}

const FormatSettings& Defaults() {
    static const FormatSettings d;
    return d;
}

char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void SkipBlanks(std::string_view s, std::size_t& pos) {
    while (pos < s.size() && s[pos] == ' ') ++pos;
}

// Compares the text at pos with `word` without regard to case.
bool StartsWithText(std::string_view s, std::size_t pos, std::string_view word) {
    if (word.empty() || pos + word.size() > s.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (Upper(s[pos + i]) != Upper(word[i])) return false;
    return true;
}

// Up to four digits (reading stops once the value passes 999), or with
// `monthNames` the first three letters of a month's short name.
bool ScanNumber(std::string_view s, std::size_t& pos, int& value, bool monthNames) {
    SkipBlanks(s, pos);
    if (pos < s.size() && IsDigit(s[pos])) {
        value = 0;
        while (pos < s.size() && IsDigit(s[pos]) && value <= 999) value = value * 10 + (s[pos++] - '0');
        return true;
    }
    if (!monthNames) return false;
    const FormatSettings& fs = CurrentFormatSettings();
    for (int m = 0; m < 12; ++m) {
        std::string_view name = fs.ShortMonthNames[m];
        if (name.size() > 3) name = name.substr(0, 3);
        if (name.size() == 3 && StartsWithText(s, pos, name)) {
            value = m + 1;
            pos += 3;
            return true;
        }
    }
    return false;
}

bool ScanChar(std::string_view s, std::size_t& pos, char c) {
    SkipBlanks(s, pos);
    if (pos < s.size() && s[pos] == c) {
        ++pos;
        return true;
    }
    return false;
}

int CurrentYear() {
    int y, m, d;
    DecodeDate(Now(), y, m, d);
    return y;
}

}  // namespace

const FormatSettings& CurrentFormatSettings() {
    const auto& s = Installed();
    return s ? *s : Defaults();
}

void SetFormatSettings(const FormatSettings* settings) {
    if (settings) Installed() = std::make_unique<FormatSettings>(*settings);
    else Installed().reset();
}

ScopedFormatSettings::ScopedFormatSettings(const FormatSettings& settings) : previous_(CurrentFormatSettings()) {
    SetFormatSettings(&settings);
}

ScopedFormatSettings::~ScopedFormatSettings() { SetFormatSettings(&previous_); }

DateOrder GetDateOrder(std::string_view format) {
    for (char c : format) {
        switch (Upper(c)) {
        case 'D': return DateOrder::DMY;
        case 'M': return DateOrder::MDY;
        case 'Y': return DateOrder::YMD;
        default: break;
        }
    }
    return DateOrder::MDY;
}

int ExpandTwoDigitYear(int year) {
    if (year < 0 || year > 99) return year;
    const int first = CurrentYear() - 50;
    int y = first - first % 100 + year;
    if (y < first) y += 100;
    return y;
}

bool ScanDate(std::string_view s, std::size_t& pos, TDateTime& date) {
    const FormatSettings& fs = CurrentFormatSettings();
    std::size_t p = pos;
    int n1, n2, n3;
    if (!ScanNumber(s, p, n1, true) || !ScanChar(s, p, fs.DateSeparator) || !ScanNumber(s, p, n2, true))
        return false;
    const DateOrder order = GetDateOrder(fs.ShortDateFormat);
    int y, m, d;
    std::size_t before = p;
    if (ScanChar(s, p, fs.DateSeparator)) {
        if (!ScanNumber(s, p, n3, true)) return false;
        switch (order) {
        case DateOrder::MDY: m = n1; d = n2; y = n3; break;
        case DateOrder::DMY: d = n1; m = n2; y = n3; break;
        default: y = n1; m = n2; d = n3; break;
        }
        y = ExpandTwoDigitYear(y);
    } else {
        p = before;
        y = CurrentYear();
        if (order == DateOrder::DMY) { d = n1; m = n2; }
        else { m = n1; d = n2; }
    }
    SkipBlanks(s, p);
    if (!TryEncodeDate(y, m, d, date)) return false;
    pos = p;
    return true;
}

bool ScanTime(std::string_view s, std::size_t& pos, TDateTime& time) {
    const FormatSettings& fs = CurrentFormatSettings();
    std::size_t p = pos;
    int h, n, sec = 0;
    if (!ScanNumber(s, p, h, false) || !ScanChar(s, p, fs.TimeSeparator) || !ScanNumber(s, p, n, false)) return false;
    std::size_t before = p;
    if (ScanChar(s, p, fs.TimeSeparator)) {
        if (!ScanNumber(s, p, sec, false)) return false;
    } else {
        p = before;
    }
    SkipBlanks(s, p);
    int offset = -1;
    auto designator = [&](const std::string& own, std::string_view fixed, int off) {
        if (offset >= 0) return;
        for (std::string_view w : {std::string_view(own), fixed})
            if (StartsWithText(s, p, w)) {
                p += w.size();
                offset = off;
                return;
            }
    };
    designator(fs.TimeAMString, "AM", 0);
    designator(fs.TimePMString, "PM", 12);
    if (offset >= 0) {
        if (h < 1 || h > 12) return false;
        if (h == 12) h = 0;
        h += offset;
    }
    SkipBlanks(s, p);
    if (h >= 24 || n >= 60 || sec >= 60) return false;
    if (!TryEncodeTime(h, n, sec, 0, time)) return false;
    pos = p;
    return true;
}

bool TryTextToDate(std::string_view text, TDateTime& date) {
    std::size_t pos = 0;
    TDateTime d;
    if (!ScanDate(text, pos, d) || pos != text.size()) return false;
    date = d;
    return true;
}

bool TryTextToTime(std::string_view text, TDateTime& time) {
    std::size_t pos = 0;
    TDateTime t;
    if (!ScanTime(text, pos, t) || pos != text.size()) return false;
    time = t;
    return true;
}

bool TryTextToDateTime(std::string_view text, TDateTime& value, bool timeOptional) {
    std::size_t pos = 0;
    TDateTime d, t = 0;
    if (!ScanDate(text, pos, d)) return false;
    if (pos == text.size()) {
        if (!timeOptional) return false;
    } else if (!ScanTime(text, pos, t) || pos != text.size()) {
        return false;
    }
    value = ComposeDateTime(d, t);
    return true;
}

std::string FormatDateTime(std::string_view f, TDateTime value) {
    const FormatSettings& fs = CurrentFormatSettings();
    int y, mo, d, h, mi, s, ms;
    DecodeDate(value, y, mo, d);
    DecodeTime(value, h, mi, s, ms);
    // A 12-hour clock when the format names a designator.
    bool twelve = false;
    for (std::size_t i = 0; i + 1 < f.size(); ++i)
        if ((Upper(f[i]) == 'A' && (Upper(f[i + 1]) == 'M' || f[i + 1] == '/'))) twelve = true;
    auto num = [](int v, int width) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%0*d", width, v);
        return std::string(buf);
    };
    std::string out;
    bool afterHour = false;
    std::size_t i = 0;
    while (i < f.size()) {
        const char c = f[i];
        const char u = Upper(c);
        std::size_t run = 1;
        while (i + run < f.size() && Upper(f[i + run]) == u) ++run;
        if (c == '"' || c == '\'') {
            std::size_t end = f.find(c, i + 1);
            if (end == std::string_view::npos) end = f.size();
            out.append(f.substr(i + 1, end - i - 1));
            i = end + 1;
            continue;
        }
        if (StartsWithText(f, i, "AMPM")) {
            out += h < 12 ? fs.TimeAMString : fs.TimePMString;
            i += 4;
            continue;
        }
        if (StartsWithText(f, i, "AM/PM")) {
            out += h < 12 ? "AM" : "PM";
            i += 5;
            continue;
        }
        switch (u) {
        case 'D':
            if (run == 1 || run == 2) out += num(d, static_cast<int>(run));
            else if (run == 3) out += fs.ShortDayNames[DayOfWeek(value) - 1];
            else out += fs.LongDayNames[DayOfWeek(value) - 1];
            afterHour = false;
            break;
        case 'M':
            if (afterHour && run <= 2) {
                out += num(mi, static_cast<int>(run));
            } else if (run <= 2) {
                out += num(mo, static_cast<int>(run));
            } else if (run == 3) {
                out += fs.ShortMonthNames[mo - 1];
            } else {
                out += fs.LongMonthNames[mo - 1];
            }
            afterHour = false;
            break;
        case 'Y':
            out += run <= 2 ? num(y % 100, 2) : num(y, 4);
            afterHour = false;
            break;
        case 'H': {
            int hh = h;
            if (twelve) {
                hh = h % 12;
                if (hh == 0) hh = 12;
            }
            out += num(hh, run >= 2 ? 2 : 1);
            afterHour = true;
            break;
        }
        case 'N': out += num(mi, run >= 2 ? 2 : 1); afterHour = false; break;
        case 'S': out += num(s, run >= 2 ? 2 : 1); afterHour = false; break;
        case 'Z': out += num(ms, run >= 3 ? 3 : 1); break;
        case '/': out.append(run, fs.DateSeparator); break;
        case ':': out.append(run, fs.TimeSeparator); break;
        default: out.append(f.substr(i, run)); break;
        }
        i += run;
    }
    return out;
}

std::string DateToStr(TDateTime value) { return FormatDateTime(CurrentFormatSettings().ShortDateFormat, value); }
std::string TimeToStr(TDateTime value) { return FormatDateTime(CurrentFormatSettings().LongTimeFormat, value); }

}  // namespace plat
