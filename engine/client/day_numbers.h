// The engine's date arithmetic (day 0 = 1 January 1600, years 1600-3999,
// -1 = no date), times as seconds since midnight, and the API's date and
// time encodings (days from 1 January of year 1 counted so that that day is
// 1; milliseconds since midnight).
#pragma once

#include <cstdint>

namespace qv {

constexpr int kDefaultEpoch = 1950;
constexpr std::int32_t kNoDayNumber = -1;
constexpr std::int32_t kNoSeconds = -1;
// The API date of 1 January 1600, engine day 0.
constexpr std::int32_t kApiDateOfDayZero = 584023;
// The API date of 30 December 1899 (the date-time origin).
constexpr std::int32_t kApiDateDelta = 693594;

bool IsLeapYear(int year);
// A two-digit year placed in the century window that `epoch` starts.
int ExpandYear(int year, int epoch = kDefaultEpoch);
int DaysInMonth(int month, int year, int epoch = kDefaultEpoch);
bool DateIsValid(int day, int month, int year, int epoch = kDefaultEpoch);
std::int32_t DayNumber(int day, int month, int year, int epoch = kDefaultEpoch);
// The inverse; -1 and numbers outside 1600-3999 give 0, 0, 0.
void DayNumberToDMY(std::int32_t n, int& day, int& month, int& year);
std::int32_t LastDayNumber();  // 31 December 3999

void SecondsToHMS(std::int32_t seconds, int& hour, int& minute, int& second);
std::int32_t HMSToSeconds(int hour, int minute, int second);

// Between the class library's date-time (days since 30 Dec 1899) and the
// engine's day numbers and seconds.
std::int32_t DateTimeToDayNumber(double dateTime);
std::int32_t DateTimeToSeconds(double dateTime);
double DayNumberToDateTime(std::int32_t n);  // -1 gives 0
double SecondsToDateTime(std::int32_t seconds);  // -1 gives 0

// Today as recorded when the unit was first used.
void TodayDMY(int& day, int& month, int& year);

// ---- the API's encodings; each returns 0 -----------------------------------------
// A year below 100 is 2000 + year when below 50, else 1900 + year. An invalid
// date gives 693594.
int DateEncode(int month, int day, int year, std::int32_t& date);
// Dates before 1 January of year 1 or after 9999 give 0, 0, 0.
int DateDecode(std::int32_t date, int& year, int& month, int& day);
int TimeEncode(int hour, int minute, int milliseconds, std::int32_t& time);
int TimeDecode(std::int32_t time, int& hour, int& minute, int& milliseconds);
// A time stamp (days, a double) split into its whole days and the rest.
int TimeStampDecode(double stamp, double& date, double& time);

}  // namespace qv
