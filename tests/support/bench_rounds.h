// Timing for benches that compare contestants in one run. Each contestant
// runs once to warm caches and files, then all run in turns (A B C, A B C,
// ...) so that whatever else the machine does falls on all of them alike;
// each gets the median of its rounds, which one slow round does not move.
// Rounds are timed on the wall clock and in processor time (this process's
// and its children's, user and system): on a machine shared with other work
// the wall clock counts the waits for a core, processor time does not.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <sys/resource.h>

namespace benchrounds {

struct Contestant {
    std::string name;
    std::function<void()> run;     // one round, timed
    std::function<void()> before;  // set-up of a round, not timed (may be empty)
    std::function<void()> after;   // clean-up of a round, not timed (may be empty)
};

struct Result {
    std::string name;
    double medianMs = 0;  // wall clock
    double minMs = 0;
    double maxMs = 0;
    double cpuMedianMs = 0;  // processor time
};

// Processor time used so far by this process and its waited-for children.
inline double CpuMs() {
    double ms = 0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage u{};
        getrusage(who, &u);
        ms += (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
    }
    return ms;
}

inline double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Rounds from a --rounds=N argument, or the default.
inline int RoundsFromArgs(int argc, char** argv, int fallback) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("--rounds=", 0) == 0) return std::max(1, std::atoi(a.c_str() + 9));
    }
    return fallback;
}

inline std::vector<Result> Run(const std::vector<Contestant>& contestants, int rounds) {
    auto once = [](const Contestant& c) {
        if (c.before) c.before();
        const double cpu0 = CpuMs();
        const auto t0 = std::chrono::steady_clock::now();
        c.run();
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        const double cpu = CpuMs() - cpu0;
        if (c.after) c.after();
        return std::pair{ms, cpu};
    };
    for (const Contestant& c : contestants) once(c);
    std::vector<std::vector<double>> ms(contestants.size()), cpu(contestants.size());
    for (int round = 0; round < rounds; ++round)
        for (std::size_t i = 0; i < contestants.size(); ++i) {
            const auto [wall, used] = once(contestants[i]);
            ms[i].push_back(wall);
            cpu[i].push_back(used);
        }
    std::vector<Result> out;
    for (std::size_t i = 0; i < contestants.size(); ++i) {
        const auto [lo, hi] = std::minmax_element(ms[i].begin(), ms[i].end());
        out.push_back({contestants[i].name, Median(ms[i]), *lo, *hi, Median(cpu[i])});
    }
    return out;
}

// One line per contestant: median, the spread of the rounds, processor time.
inline void Print(const std::vector<Result>& results, int rounds) {
    for (const Result& r : results)
        std::printf("%-24s median %9.3f ms of %d rounds (%.3f .. %.3f), processor %9.3f ms\n", r.name.c_str(),
                    r.medianMs, rounds, r.minMs, r.maxMs, r.cpuMedianMs);
}

// "<label> = <wall ratio> (goal <text>; processor time <cpu ratio>)"
inline void PrintRatio(const char* label, const Result& a, const Result& b, const char* goal) {
    std::printf("%s = %.3f (goal %s; processor time %.3f)\n", label, a.medianMs / b.medianMs, goal,
                b.cpuMedianMs > 0 ? a.cpuMedianMs / b.cpuMedianMs : 0.0);
}

}  // namespace benchrounds
