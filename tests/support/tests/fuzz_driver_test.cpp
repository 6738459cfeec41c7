// The stand-alone fuzz driver as a developer runs it: a failing target must
// report the seed that reproduces the failure, the seed comes from
// TAVRIN_FUZZ_SEED when given, and each run without it explores afresh.
#include "tests/support/child_process.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>

namespace {

struct Outcome {
    std::string output;
    int exitCode = 0;
    bool ended = false;
};

// Runs the failing probe on one small seed; `seed` empty leaves
// TAVRIN_FUZZ_SEED unset.
Outcome RunProbe(const std::string& seed) {
    testsupport::TempDir dir;
    testsupport::WriteFileBytes(dir / "seed.txt", "abc");
    std::string env = seed.empty() ? "unset TAVRIN_FUZZ_SEED; " : "TAVRIN_FUZZ_SEED=" + seed + "; export TAVRIN_FUZZ_SEED; ";
    testsupport::ChildProcess child;
    Outcome o;
    if (!child.Start({"/bin/sh", "-c",
                      env + "TAVRIN_FUZZ_RUNS=100000 exec '" FUZZ_PROBE "' '" + (dir / "seed.txt").string() + "' 2>&1"}))
        return o;
    for (int i = 0; i < 200; ++i) {
        std::string line = child.ReadLine(10000);
        if (line.empty() && child.WaitExit(0)) break;
        o.output += line + "\n";
    }
    o.ended = child.WaitExit(10000);
    o.exitCode = child.ExitCode();
    return o;
}

std::string ReportedSeed(const std::string& output) {
    std::smatch m;
    static const std::regex seedLine("TAVRIN_FUZZ_SEED=([0-9]+)");
    return std::regex_search(output, m, seedLine) ? m[1].str() : std::string();
}

std::string FailingMutation(const std::string& output) {
    std::smatch m;
    static const std::regex at("mutation ([0-9]+)");
    return std::regex_search(output, m, at) ? m[1].str() : std::string();
}

TEST(FuzzDriver, AFailureReportsTheSeedThatReproducesIt) {
    struct Case {
        const char* seed;
    };
    for (const Case& c : {Case{"777"}, Case{"4294967295"}, Case{"1"}}) {
        SCOPED_TRACE(c.seed);
        const Outcome first = RunProbe(c.seed), again = RunProbe(c.seed);
        ASSERT_TRUE(first.ended && again.ended);
        EXPECT_NE(first.exitCode, 0) << first.output;
        EXPECT_EQ(ReportedSeed(first.output), c.seed) << first.output;
        EXPECT_NE(FailingMutation(first.output), "") << first.output;
        // The same seed fails at the same mutation: the report reproduces it.
        EXPECT_EQ(FailingMutation(again.output), FailingMutation(first.output)) << again.output;
    }
}

TEST(FuzzDriver, WithoutASeedEachRunTakesAFreshOneAndReportsIt) {
    const Outcome a = RunProbe(""), b = RunProbe("");
    ASSERT_TRUE(a.ended && b.ended);
    const std::string seedA = ReportedSeed(a.output), seedB = ReportedSeed(b.output);
    ASSERT_NE(seedA, "") << a.output;
    ASSERT_NE(seedB, "") << b.output;
    EXPECT_NE(seedA, seedB);
    // The reported seed replays the failure at the same mutation.
    const Outcome replay = RunProbe(seedA);
    EXPECT_EQ(FailingMutation(replay.output), FailingMutation(a.output)) << replay.output;
}

}  // namespace
