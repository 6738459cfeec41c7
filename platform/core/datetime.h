// Date-time values as the class library keeps them: a double counting days
// since 30 Dec 1899, the fraction being the time of day. Dates before that
// day are negative; their time of day is the absolute value of the fraction.
// Also the DOS packed date-time of file searches and archives.
#pragma once

#include <cstdint>
#include <string>

namespace plat {

using TDateTime = double;

// Days from 1 Jan 0001 to 30 Dec 1899 (a date's day number is 693594 more
// than its TDateTime day).
constexpr std::int32_t DateDelta = 693594;

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
// Year 1..9999; false for an invalid date or time.
bool TryEncodeDate(int year, int month, int day, TDateTime& out);
bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& out);
// Raise EConvertError for invalid parts.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int min, int sec, int msec);
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& min, int& sec, int& msec);
// 1 = Sunday .. 7 = Saturday.
int DayOfWeek(TDateTime value);
// Composes a date and a time the way the class library does for negative dates.
TDateTime ComposeDateTime(TDateTime date, TDateTime time);

// DOS packed date-time: high word date (bits 15-9 year-1980, 8-5 month,
// 4-0 day), low word time (15-11 hour, 10-5 minute, 4-0 seconds/2).
std::uint32_t DateTimeToDosDateTime(TDateTime value);
// False when the packed value is not a valid date-time.
bool DosDateTimeToDateTime(std::uint32_t packed, TDateTime& out);

// "yyyy-mm-dd hh:nn:ss" for logs and messages.
std::string DateTimeToIsoString(TDateTime value);

}  // namespace plat
