// Dates for the date and button controls: leap years and month lengths, the
// order of day, month and year in the short date format, a scanner that
// reads dates in that order, and the display format and edit mask of the
// date edit. Two-digit years land in the settings' window of years.
#pragma once

#include "platform/core/datetime.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace zb {

using plat::TDateTime;

// 0 month-day-year, 1 day-month-year, 2 year-month-day.
constexpr int doMDY = 0, doDMY = 1, doYMD = 2;

bool IsLeapYear(int year);
int DaysPerMonth(int year, int month);
bool ValidDate(int year, int month, int day);
bool ValidDateTime(TDateTime date);
// The first of D, M, Y (any case) decides; none of them gives day-month-year.
int GetDateOrder(std::string_view format);
// Reads a date at `pos` (0-based) in the order of `format`, the parts
// divided by the settings' date separator; on success `pos` lies after what
// was read (and an optional trailing separator and blanks).
bool ScanDate(std::string_view text, std::string_view format, std::size_t& pos, TDateTime& date);
// Raises plat::EConvertError "'text' is not a valid date" when the text is
// no date or has characters left over.
TDateTime StrToDateFmt(std::string_view format, std::string_view text);
TDateTime StrToDateFmtDef(std::string_view format, std::string_view text, TDateTime def);
TDateTime StrToDateDef(std::string_view text, TDateTime def);

// Whether the short date format writes four-digit years; noted once by
// DateUtilInitialization (and on first use).
bool FourDigitYear();
void DateUtilInitialization();
// "MM/DD/YYYY", "DD/MM/YYYY" or "YYYY/MM/DD" by the settings' order ("YY"
// without four-digit years).
std::string DefaultDateFormat();
// The date edit's mask, "!99/99/9999;1;" and the like, with `blank` appended.
std::string DefaultDateMask(char blank);
bool StrConsistsOf(std::string_view text, std::string_view chars);
int CurrentYear();
// A date in the default date format.
std::string FormatDefaultDate(TDateTime date);

}  // namespace zb
