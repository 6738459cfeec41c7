// Rendlow32 on EUDORA.hlp in project mode (where its [MAP] reports one
// missing topic 3,630 times), the built program started as a user starts
// it: with its progress window (the xcb platform) against without it (the
// offscreen platform, where it reports to the terminal). The window is the
// only difference: same help file, same program folder, a fresh empty
// output folder for every run, both sides' output to /dev/null through the
// same shell. After a warm-up run of each, the sides alternate A B A B and
// the medians are compared: "window/offscreen = R", the goal R <= 2.
//
// It needs an X server: run it as
//   xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" out/release/converter/bench_convert_window
// Google Benchmark also reports each side on its own before the ratio.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/core/ini_file.h"
#include "platform/core/paths.h"
#include "platform/core/process.h"

namespace {

namespace fs = std::filesystem;

const std::string kHelp = std::string(TAVRIN_CORPUS_DIR) + "/hlp/EUDORA.hlp";
constexpr int kRuns = 7;

struct Side {
    const char* name;
    const char* platform;
};
const Side kWindow{"window", "xcb"};
const Side kOffscreen{"offscreen", "offscreen"};

// The program folder (Rendlow.ini in project mode) and the output folders,
// removed at the end.
struct Folders {
    fs::path root;
    Folders() {
        char name[] = "/tmp/rendlow-window-bench-XXXXXX";
        if (!mkdtemp(name)) std::abort();
        root = name;
        fs::create_directories(root / "home");
        ::setenv("TAVRIN_HOME", (root / "home").c_str(), 1);
        plat::SetDataHome("");
        plat::WritePrivateProfileString("Options", "ForPrint", "0", "Rendlow.ini");
    }
    ~Folders() { fs::remove_all(root); }
};

Folders& Shared() {
    static Folders f;
    return f;
}

// One run in a fresh output folder; its wall time in milliseconds.
double RunOnce(const Side& side) {
    const fs::path out = Shared().root / side.name;
    fs::remove_all(out);
    fs::create_directories(out);
    ::setenv("QT_QPA_PLATFORM", side.platform, 1);
    const auto start = std::chrono::steady_clock::now();
    const int code = plat::RunAndWait(
        {"/bin/sh", "-c", "exec \"$0\" \"$1\" >/dev/null 2>&1", RENDLOW32_PROGRAM, kHelp}, out.string());
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (code != 2 || !fs::exists(out / "EUDORA.HPJ")) {
        std::fprintf(stderr, "rendlow32 (%s) ended with %d or wrote no EUDORA.HPJ\n", side.name, code);
        std::exit(1);
    }
    return ms;
}

void BM_Rendlow32(benchmark::State& state, const Side* side) {
    RunOnce(*side);  // warm
    for (auto _ : state) {
        const double ms = RunOnce(*side);
        state.SetIterationTime(ms / 1000.0);
    }
}
BENCHMARK_CAPTURE(BM_Rendlow32, window, &kWindow)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Rendlow32, offscreen, &kOffscreen)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        std::fprintf(stderr, "bench_convert_window needs an X server: run it under xvfb-run -a\n");
        return 1;
    }
    if (!fs::exists(kHelp)) {
        std::fprintf(stderr, "%s is missing (TAVRIN_CORPUS_DIR)\n", kHelp.c_str());
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    RunOnce(kWindow);
    RunOnce(kOffscreen);
    std::vector<double> window, offscreen;
    for (int i = 0; i < kRuns; ++i) {
        window.push_back(RunOnce(kWindow));
        offscreen.push_back(RunOnce(kOffscreen));
    }
    const double w = Median(window), o = Median(offscreen);
    std::printf("EUDORA.hlp, project mode, median of %d alternating runs: window %.1f ms, offscreen %.1f ms\n", kRuns,
                w, o);
    std::printf("window/offscreen = %.2f (goal <= 2)\n", w / o);
    benchmark::Shutdown();
    return 0;
}
