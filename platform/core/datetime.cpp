#include "platform/core/datetime.h"

#include <cmath>
#include <cstdio>

#include "platform/core/exceptions.h"

namespace plat {
namespace {

const int kDaysBefore[2][13] = {
    {0, 0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334},
    {0, 0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335},
};

// Day number counted from 1 Jan 0001 = 1.
std::int64_t DayNumber(int y, int m, int d) {
    std::int64_t py = y - 1;
    return py * 365 + py / 4 - py / 100 + py / 400 + kDaysBefore[IsLeapYear(y)][m] + d;
}

void FromDayNumber(std::int64_t n, int& y, int& m, int& d) {
    // n counts from 1; walk 400-, 100-, 4- and 1-year cycles.
    std::int64_t t = n - 1;
    std::int64_t y400 = t / 146097;
    t %= 146097;
    std::int64_t y100 = t / 36524;
    if (y100 == 4) y100 = 3;
    t -= y100 * 36524;
    std::int64_t y4 = t / 1461;
    t %= 1461;
    std::int64_t y1 = t / 365;
    if (y1 == 4) y1 = 3;
    t -= y1 * 365;
    y = static_cast<int>(y400 * 400 + y100 * 100 + y4 * 4 + y1 + 1);
    int leap = IsLeapYear(y);
    m = 1;
    while (m < 12 && t >= kDaysBefore[leap][m + 1]) ++m;
    d = static_cast<int>(t - kDaysBefore[leap][m] + 1);
}

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& out) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
    out = static_cast<double>(DayNumber(year, month, day) - DateDelta);
    return true;
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& out) {
    if (hour < 0 || hour > 23 || min < 0 || min > 59 || sec < 0 || sec > 59 || msec < 0 || msec > 999) return false;
    out = (((hour * 60.0 + min) * 60.0 + sec) * 1000.0 + msec) / 86400000.0;
    return true;
}

TDateTime EncodeDate(int year, int month, int day) {
    TDateTime v;
    if (!TryEncodeDate(year, month, day, v)) throw EConvertError("Invalid argument to date encode");
    return v;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec) {
    TDateTime v;
    if (!TryEncodeTime(hour, min, sec, msec, v)) throw EConvertError("Invalid argument to time encode");
    return v;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
    std::int64_t n = static_cast<std::int64_t>(std::trunc(value)) + DateDelta;
    if (n <= 0) {
        year = month = day = 0;
        return;
    }
    FromDayNumber(n, year, month, day);
}

void DecodeTime(TDateTime value, int& hour, int& min, int& sec, int& msec) {
    double frac = std::fabs(value - std::trunc(value));
    std::int64_t ms = std::llround(frac * 86400000.0);
    if (ms >= 86400000) ms = 86399999;
    hour = static_cast<int>(ms / 3600000);
    min = static_cast<int>(ms / 60000 % 60);
    sec = static_cast<int>(ms / 1000 % 60);
    msec = static_cast<int>(ms % 1000);
}

int DayOfWeek(TDateTime value) {
    // 30 Dec 1899 (day 0) was a Saturday.
    std::int64_t d = static_cast<std::int64_t>(std::trunc(value));
    std::int64_t r = ((d - 1) % 7 + 7) % 7;  // 0 = Sunday
    return static_cast<int>(r) + 1;
}

TDateTime ComposeDateTime(TDateTime date, TDateTime time) {
    double d = std::trunc(date);
    return d < 0 ? d - std::fabs(time) : d + std::fabs(time);
}

std::uint32_t DateTimeToDosDateTime(TDateTime value) {
    int y, mo, d, h, mi, s, ms;
    DecodeDate(value, y, mo, d);
    DecodeTime(value, h, mi, s, ms);
    if (y < 1980) return (1u << 5 | 1u) << 16;  // DOS dates begin on 1 Jan 1980
    if (y > 2107) y = 2107;
    std::uint32_t date = static_cast<std::uint32_t>(((y - 1980) << 9) | (mo << 5) | d);
    std::uint32_t time = static_cast<std::uint32_t>((h << 11) | (mi << 5) | (s / 2));
    return date << 16 | time;
}

bool DosDateTimeToDateTime(std::uint32_t packed, TDateTime& out) {
    std::uint32_t date = packed >> 16, time = packed & 0xFFFF;
    TDateTime d, t;
    if (!TryEncodeDate(static_cast<int>((date >> 9) + 1980), static_cast<int>((date >> 5) & 15),
                       static_cast<int>(date & 31), d))
        return false;
    if (!TryEncodeTime(static_cast<int>(time >> 11), static_cast<int>((time >> 5) & 63),
                       static_cast<int>((time & 31) * 2), 0, t))
        return false;
    out = ComposeDateTime(d, t);
    return true;
}

std::string DateTimeToIsoString(TDateTime value) {
    int y, mo, d, h, mi, s, ms;
    DecodeDate(value, y, mo, d);
    DecodeTime(value, h, mi, s, ms);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
    return buf;
}

}  // namespace plat
