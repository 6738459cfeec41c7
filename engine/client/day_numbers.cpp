#include "engine/client/day_numbers.h"

#include <cmath>

#include "platform/core/clock.h"
#include "platform/core/datetime.h"

namespace qv {
namespace {

struct Today {
    int day = 0, month = 0, year = 0;
    Today() {
        plat::DecodeDate(plat::Now(), year, month, day);
    }
};

const Today& TodayRecord() {
    static const Today today;
    return today;
}

}  // namespace

bool IsLeapYear(int y) { return y % 4 == 0 && y % 4000 != 0 && (y % 100 != 0 || y % 400 == 0); }

int ExpandYear(int y, int epoch) {
    if (y >= 100 || y < 0) return y;
    int r = y + epoch / 100 * 100;
    if (epoch % 100 > y) r += 100;
    return r;
}

int DaysInMonth(int m, int y, int epoch) {
    y = ExpandYear(y, epoch);
    if (y < 1600 || y > 3999 || m < 1 || m > 12) return 0;
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m == 2 && IsLeapYear(y)) return 29;
    return kDays[m - 1];
}

bool DateIsValid(int d, int m, int y, int epoch) {
    y = ExpandYear(y, epoch);
    if (d < 1 || y < 1600 || y > 3999 || m < 1 || m > 12) return false;
    return d <= DaysInMonth(m, y, epoch);
}

std::int32_t DayNumber(int d, int m, int y, int epoch) {
    if (!DateIsValid(d, m, y, epoch)) return kNoDayNumber;
    y = ExpandYear(y, epoch);
    if (y == 1600 && m == 1) return d - 1;
    if (y == 1600 && m == 2) return d + 30;
    int mm, yy;
    if (m <= 2) {
        mm = m + 9;
        yy = y - 1;
    } else {
        mm = m - 3;
        yy = y;
    }
    std::int32_t n = yy - 1600;
    return (n / 100 * 146097) / 4 + (n % 100 * 1461) / 4 + (153 * mm + 2) / 5 + d + 59;
}

std::int32_t LastDayNumber() {
    static const std::int32_t last = DayNumber(31, 12, 3999);
    return last;
}

void DayNumberToDMY(std::int32_t n, int& d, int& m, int& y) {
    d = m = y = 0;
    if (n < 0 || n > LastDayNumber()) return;
    if (n <= 30) {
        d = n + 1, m = 1, y = 1600;
        return;
    }
    if (n <= 59) {
        d = n - 30, m = 2, y = 1600;
        return;
    }
    // Days since 1 March 1600, in 400-year cycles of 146097 days, centuries of
    // 36524, four-year spans of 1461 and years starting in March.
    std::int32_t t = n - 60;
    std::int32_t c = (4 * t + 3) / 146097;
    t -= 146097 * c / 4;
    std::int32_t yr = (4 * t + 3) / 1461;
    t -= 1461 * yr / 4;
    std::int32_t mm = (5 * t + 2) / 153;
    d = t - (153 * mm + 2) / 5 + 1;
    if (mm < 10) {
        m = mm + 3;
        y = 1600 + 100 * c + yr;
    } else {
        m = mm - 9;
        y = 1600 + 100 * c + yr + 1;
    }
}

void SecondsToHMS(std::int32_t s, int& h, int& m, int& sec) {
    if (s < 0) {
        h = m = sec = 0;
        return;
    }
    s %= 86400;
    h = s / 3600;
    m = s % 3600 / 60;
    sec = s % 60;
}

std::int32_t HMSToSeconds(int h, int m, int sec) { return ((h % 24) * 3600 + m * 60 + sec) % 86400; }

std::int32_t DateTimeToDayNumber(double dateTime) {
    if (!std::isfinite(dateTime)) return kNoDayNumber;
    int y, m, d;
    plat::DecodeDate(dateTime, y, m, d);
    return DayNumber(d, m, y);
}

std::int32_t DateTimeToSeconds(double dateTime) {
    if (!std::isfinite(dateTime)) return kNoSeconds;
    int h, mi, s, ms;
    plat::DecodeTime(dateTime, h, mi, s, ms);
    return HMSToSeconds(h, mi, s);
}

double DayNumberToDateTime(std::int32_t n) {
    if (n < 0 || n > LastDayNumber()) return 0;
    return static_cast<double>(n + kApiDateOfDayZero - kApiDateDelta);
}

double SecondsToDateTime(std::int32_t seconds) {
    if (seconds < 0) return 0;
    return static_cast<double>(seconds % 86400) / 86400.0;
}

void TodayDMY(int& day, int& month, int& year) {
    const Today& t = TodayRecord();
    day = t.day, month = t.month, year = t.year;
}

int DateEncode(int month, int day, int year, std::int32_t& date) {
    if (year >= 0 && year < 100) year += year < 50 ? 2000 : 1900;
    std::int32_t n = DayNumber(day, month, year);
    date = n < 0 ? kApiDateDelta : n + kApiDateOfDayZero;
    return 0;
}

int DateDecode(std::int32_t date, int& year, int& month, int& day) {
    year = month = day = 0;
    // 3652059 is 31 December 9999, the last day the date-time type holds.
    if (date < 1 || date > 3652059) return 0;
    plat::DecodeDate(static_cast<double>(date - kApiDateDelta), year, month, day);
    return 0;
}

int TimeEncode(int hour, int minute, int milliseconds, std::int32_t& time) {
    time = (hour * 60 + minute) * 60000 + milliseconds;
    return 0;
}

int TimeDecode(std::int32_t time, int& hour, int& minute, int& milliseconds) {
    hour = time / 3600000;
    minute = (time - hour * 3600000) / 60000;
    milliseconds = time - hour * 3600000 - minute * 60000;
    return 0;
}

int TimeStampDecode(double stamp, double& date, double& time) {
    date = std::trunc(stamp);
    time = stamp - date;
    return 0;
}

}  // namespace qv
