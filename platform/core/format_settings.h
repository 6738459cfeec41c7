// Regional formats: how dates, times and numbers are written and read.
//
// The settings are fixed, not taken from the machine, so that stored filter
// texts and typed values read the same everywhere; tests install others.
// Every conversion of a date, time or number between text and value goes
// through here, so one text is read the same by every caller.
#pragma once

#include "platform/core/datetime.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace plat {

struct FormatSettings {
    // Letters d, m, y (any case) with "/" standing for DateSeparator.
    std::string ShortDateFormat = "M/d/yyyy";
    // Letters h, n (or m after h), s, "ampm", with ":" standing for TimeSeparator.
    std::string LongTimeFormat = "hh:nn:ss";
    char DateSeparator = '/';
    char TimeSeparator = ':';
    std::string TimeAMString = "AM";
    std::string TimePMString = "PM";
    char DecimalSeparator = '.';
    std::array<std::string, 12> ShortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::array<std::string, 12> LongMonthNames{"January", "February", "March",     "April",   "May",      "June",
                                               "July",    "August",   "September", "October", "November", "December"};
    std::array<std::string, 7> ShortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    std::array<std::string, 7> LongDayNames{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                            "Thursday", "Friday", "Saturday"};
};

// The settings in force: the fixed defaults unless a test installed others.
const FormatSettings& CurrentFormatSettings();
// Installs a copy of `settings`; nullptr restores the defaults.
void SetFormatSettings(const FormatSettings* settings);

// Installs settings for the lifetime of a scope and restores the previous ones.
class ScopedFormatSettings {
public:
    explicit ScopedFormatSettings(const FormatSettings& settings);
    ~ScopedFormatSettings();
    ScopedFormatSettings(const ScopedFormatSettings&) = delete;
    ScopedFormatSettings& operator=(const ScopedFormatSettings&) = delete;

private:
    FormatSettings previous_;
};

// The order of day, month and year: the first of D, M, Y in the format.
enum class DateOrder { MDY, DMY, YMD };
DateOrder GetDateOrder(std::string_view shortDateFormat);

// A year written 0 to 99 lands in the hundred years from the current year
// minus 50 to plus 49 (by the current clock), so 00 is a leap year today.
int ExpandTwoDigitYear(int year);

// Scanners: read from `pos` (0-based) and, on success, leave `pos` after
// what they read and after trailing blanks. They never raise.
// A date: number, separator, number [, separator, number] in the date order;
// two numbers are month and day (day and month for day-month-year) of the
// current year. A number may be the first three letters of a month's short name.
bool ScanDate(std::string_view text, std::size_t& pos, TDateTime& date);
// A time: hour, separator, minute [, separator, second] [AM or PM].
bool ScanTime(std::string_view text, std::size_t& pos, TDateTime& time);

// Whole-text readers: leading and trailing blanks are allowed, nothing else.
bool TryTextToDate(std::string_view text, TDateTime& date);
bool TryTextToTime(std::string_view text, TDateTime& time);
// A date followed by a time; with `timeOptional` a date alone will do.
bool TryTextToDateTime(std::string_view text, TDateTime& value, bool timeOptional);

// Writes a value by a format of the letters above ("yyyy-mm-dd", "h:nn ampm"
// ...); text in quotes is copied as it stands.
std::string FormatDateTime(std::string_view format, TDateTime value);
std::string DateToStr(TDateTime value);   // by ShortDateFormat
std::string TimeToStr(TDateTime value);   // by LongTimeFormat

}  // namespace plat
