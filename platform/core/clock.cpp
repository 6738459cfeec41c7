#include "platform/core/clock.h"

#include <chrono>
#include <ctime>

namespace plat {
namespace {

SystemClock& TheSystemClock() {
    static SystemClock clock;
    return clock;
}

std::atomic<Clock*> g_clock{nullptr};

}  // namespace

Clock& CurrentClock() {
    Clock* c = g_clock.load();
    return c ? *c : TheSystemClock();
}

void SetClock(Clock* clock) { g_clock.store(clock); }

std::uint32_t GetTickCount() { return CurrentClock().TickCount(); }
double Now() { return CurrentClock().Now(); }

std::uint32_t SystemClock::TickCount() {
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<std::uint32_t>(ms);
}

double SystemClock::Now() {
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t t = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    // Days since 30 Dec 1899 of the local civil date (proleptic Gregorian).
    int y = local.tm_year + 1900, m = local.tm_mon + 1, d = local.tm_mday;
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long daysSince1970 = static_cast<long>(era) * 146097 + doe - 719468;
    const double days = static_cast<double>(daysSince1970 + 25569);
    const double secs = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + ms / 1000.0;
    return days + secs / 86400.0;
}

}  // namespace plat
