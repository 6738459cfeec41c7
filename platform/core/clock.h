// Time sources. Every tick count and "now" in the system goes through the
// current clock, so tests can replace it with a FakeClock and drive timers,
// time-outs and time stamps deterministically.
#pragma once

#include <atomic>
#include <cstdint>

namespace plat {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start; wraps at 2^32 like the Win32 tick.
    virtual std::uint32_t TickCount() = 0;
    // Local date-time as days since 30 Dec 1899 (fraction = time of day).
    virtual double Now() = 0;
};

// The clock in force; the system clock unless a test installed another.
Clock& CurrentClock();
// Installs `clock` (not owned) as the current clock; nullptr restores the system clock.
void SetClock(Clock* clock);

std::uint32_t GetTickCount();
double Now();

class SystemClock final : public Clock {
public:
    std::uint32_t TickCount() override;
    double Now() override;
};

// A clock that moves only when told to. Thread-safe.
class FakeClock final : public Clock {
public:
    explicit FakeClock(std::uint32_t startTick = 1000, double startNow = 45000.5)
        : tick_(startTick), nowMs_(static_cast<std::int64_t>(startNow * 86400000.0)) {}
    std::uint32_t TickCount() override { return tick_.load(); }
    double Now() override { return static_cast<double>(nowMs_.load()) / 86400000.0; }
    void Advance(std::uint32_t ms) {
        tick_.fetch_add(ms);
        nowMs_.fetch_add(ms);
    }
    void SetTick(std::uint32_t tick) { tick_.store(tick); }

private:
    std::atomic<std::uint32_t> tick_;
    std::atomic<std::int64_t> nowMs_;
};

// Installs a clock for the lifetime of a scope (tests).
class ScopedClock {
public:
    explicit ScopedClock(Clock& clock) { SetClock(&clock); }
    ~ScopedClock() { SetClock(nullptr); }
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;
};

}  // namespace plat
