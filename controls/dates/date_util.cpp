#include "controls/dates/date_util.h"

#include "platform/core/clock.h"
#include "platform/core/exceptions.h"
#include "platform/core/format_settings.h"

#include <cctype>
#include <cmath>

namespace zb {

namespace {

bool g_fourDigitKnown = false;
bool g_fourDigitYear = true;

void SkipBlanks(std::string_view text, std::size_t& pos) {
    while (pos < text.size() && text[pos] == ' ') ++pos;
}

// Up to four digits; stops once the value reaches 1000.
bool ScanNumber(std::string_view text, std::size_t& pos, int& number) {
    SkipBlanks(text, pos);
    std::size_t start = pos;
    int n = 0;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])) && n < 1000) {
        n = n * 10 + (text[pos] - '0');
        ++pos;
    }
    if (pos == start) return false;
    number = n;
    return true;
}

bool ScanChar(std::string_view text, std::size_t& pos, char ch) {
    SkipBlanks(text, pos);
    if (pos < text.size() && text[pos] == ch) {
        ++pos;
        return true;
    }
    return false;
}

}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysPerMonth(int year, int month) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return kDays[month - 1] + ((month == 2 && IsLeapYear(year)) ? 1 : 0);
}

bool ValidDate(int year, int month, int day) {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 && day <= DaysPerMonth(year, month);
}

bool ValidDateTime(TDateTime date) {
    if (!std::isfinite(date) || date < -693593.0 || date > 2958466.0) return false;
    int y = 0, m = 0, d = 0;
    plat::DecodeDate(date, y, m, d);
    return ValidDate(y, m, d);
}

int GetDateOrder(std::string_view format) {
    for (char c : format) {
        switch (std::toupper(static_cast<unsigned char>(c))) {
        case 'D': return doDMY;
        case 'M': return doMDY;
        case 'Y': return doYMD;
        default: break;
        }
    }
    return doDMY;
}

int CurrentYear() {
    int y = 0, m = 0, d = 0;
    plat::DecodeDate(plat::Now(), y, m, d);
    return y;
}

bool ScanDate(std::string_view text, std::string_view format, std::size_t& pos, TDateTime& date) {
    const char sep = plat::CurrentFormatSettings().DateSeparator;
    const int order = GetDateOrder(format);
    std::size_t p = pos;
    int n1 = 0, n2 = 0, n3 = 0;
    if (!ScanNumber(text, p, n1) || !ScanChar(text, p, sep) || !ScanNumber(text, p, n2)) return false;
    int y = 0, m = 0, d = 0;
    if (ScanChar(text, p, sep)) {
        if (!ScanNumber(text, p, n3)) return false;
        switch (order) {
        case doMDY: m = n1, d = n2, y = n3; break;
        case doDMY: d = n1, m = n2, y = n3; break;
        default: y = n1, m = n2, d = n3; break;
        }
        // The settings' window, so a two-digit year reads the same in any century.
        if (y < 100) y = plat::ExpandTwoDigitYear(y);
    } else {
        y = CurrentYear();
        if (order == doDMY) d = n1, m = n2;
        else m = n1, d = n2;
    }
    ScanChar(text, p, sep);
    SkipBlanks(text, p);
    if (!ValidDate(y, m, d)) return false;
    date = plat::EncodeDate(y, m, d);
    pos = p;
    return true;
}

namespace {

bool ScanWhole(std::string_view format, std::string_view text, TDateTime& date) {
    std::size_t pos = 0;
    return ScanDate(text, format, pos, date) && pos == text.size();
}

}  // namespace

TDateTime StrToDateFmt(std::string_view format, std::string_view text) {
    TDateTime date = 0;
    if (!ScanWhole(format, text, date))
        throw plat::EConvertError("'" + std::string(text) + "' is not a valid date");
    return date;
}

TDateTime StrToDateFmtDef(std::string_view format, std::string_view text, TDateTime def) {
    TDateTime date = 0;
    return ScanWhole(format, text, date) ? date : def;
}

TDateTime StrToDateDef(std::string_view text, TDateTime def) {
    return StrToDateFmtDef(plat::CurrentFormatSettings().ShortDateFormat, text, def);
}

void DateUtilInitialization() {
    std::string f = plat::CurrentFormatSettings().ShortDateFormat;
    for (char& c : f) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    g_fourDigitYear = f.find("YYYY") != std::string::npos;
    g_fourDigitKnown = true;
}

bool FourDigitYear() {
    if (!g_fourDigitKnown) DateUtilInitialization();
    return g_fourDigitYear;
}

std::string DefaultDateFormat() {
    const bool four = FourDigitYear();
    switch (GetDateOrder(plat::CurrentFormatSettings().ShortDateFormat)) {
    case doMDY: return four ? "MM/DD/YYYY" : "MM/DD/YY";
    case doDMY: return four ? "DD/MM/YYYY" : "DD/MM/YY";
    default: return four ? "YYYY/MM/DD" : "YY/MM/DD";
    }
}

std::string DefaultDateMask(char blank) {
    std::string mask;
    const int order = GetDateOrder(plat::CurrentFormatSettings().ShortDateFormat);
    if (!FourDigitYear()) mask = "!99/99/99;1;";
    else if (order == doYMD) mask = "!9999/99/99;1;";
    else mask = "!99/99/9999;1;";
    if (!mask.empty()) mask += blank;
    return mask;
}

bool StrConsistsOf(std::string_view text, std::string_view chars) {
    for (char c : text)
        if (chars.find(c) == std::string_view::npos) return false;
    return true;
}

std::string FormatDefaultDate(TDateTime date) { return plat::FormatDateTime(DefaultDateFormat(), date); }

}  // namespace zb
