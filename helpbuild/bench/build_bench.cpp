// Building a 1,000-page project of real topic texts (the corpus help
// project's topics, each a page), in one run:
//  - uncached (every page prepared) against the text engine alone reading
//    and writing the same texts; goal: at most 3 times as long;
//  - cached (every record current) against uncached; goal: at most 1/4.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "helpbuild/build_driver.h"
#include "helpbuild/tests/memory_project.h"
#include "platform/core/paths.h"
#include "richtext/io/text_writer.h"
#include "helpbuild/bench/corpus_topics.h"
#include "richtext/view/rtf_text_io.h"

namespace {

namespace fs = std::filesystem;

double g_engine = 0, g_uncached = 0, g_cached = 0;

double Seconds(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// The topics of the corpus project's RTF files, each as a page memo: the
// file's head (font and colour tables) with one topic's text, stored the
// way the page editors store it.
const std::vector<std::string>& Memos() {
    static const std::vector<std::string> memos = [] {
        std::vector<std::string> topics = benchtopics::CorpusTopicTexts(TAVRIN_CORPUS_DIR);
        for (std::string& t : topics) t += "}";
        std::vector<std::string> out;
        for (std::size_t i = 0; !topics.empty() && out.size() < 1000; ++i) {
            richtext::TJDRTFTextIo e;
            e.LoadFromString(topics[i % topics.size()]);
            out.push_back(e.SaveToString());
        }
        return out;
    }();
    return memos;
}

struct Project {
    fs::path home = fs::temp_directory_path() / "tavrin-bench-build";
    buildtest::MemoryProject project;
    build::BuildEnvironment env;

    Project() {
        fs::create_directories(home / "proj");
        plat::SetDataHome(home.string());
        build::ProjectFields& p = project.fields;
        p.application = "Bench";
        p.helpTitle = "Bench";
        p.dosName = "bench";
        p.compile = "32";
        p.projectDir = "proj";
        p.autogeneratePrjFile = "Y";
        const std::vector<std::string>& memos = Memos();
        for (std::size_t i = 0; i < memos.size(); ++i) {
            build::PageRow r;
            r.helpId = static_cast<std::int32_t>(i + 1);
            r.topicPopup = "T";
            r.title = "Topic " + std::to_string(i + 1);
            r.keys = "bench;topic";
            r.helpText = memos[i];
            r.titleUserModified = "N";
            project.pages.push_back(r);
        }
    }
    ~Project() {
        plat::SetDataHome("");
        fs::remove_all(home);
    }
};

void BM_EngineReadAndWrite(benchmark::State& state) {
    if (Memos().empty()) return state.SkipWithError("corpus files missing");
    double total = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        for (const std::string& m : Memos()) {
            richtext::TJDRTFTextIo e;
            e.LoadFromString(m);
            richtext::TJDRTFWriter w(&e);
            std::ostringstream out;
            e.SaveWithWriter(w, out);
            benchmark::DoNotOptimize(out.str().size());
        }
        total += Seconds(t0);
    }
    g_engine = total / static_cast<double>(state.iterations());
}
BENCHMARK(BM_EngineReadAndWrite)->Unit(benchmark::kMillisecond);

void BM_BuildUncached(benchmark::State& state) {
    if (Memos().empty()) return state.SkipWithError("corpus files missing");
    Project b;
    double total = 0;
    for (auto _ : state) {
        for (build::PageRow& r : b.project.pages) r.titleUserModified = "N";
        auto t0 = std::chrono::steady_clock::now();
        if (build::WriteProjectFiles(b.project, b.env) != build::BuildOutcome::Written)
            return state.SkipWithError("the build failed");
        total += Seconds(t0);
    }
    g_uncached = total / static_cast<double>(state.iterations());
    state.counters["prepared"] = static_cast<double>(b.project.prepared) / static_cast<double>(state.iterations());
    state.counters["rtf_MB"] = static_cast<double>(fs::file_size(b.home / "proj" / "bench.rtf")) / 1e6;
}
BENCHMARK(BM_BuildUncached)->Unit(benchmark::kMillisecond);

void BM_BuildCached(benchmark::State& state) {
    if (Memos().empty()) return state.SkipWithError("corpus files missing");
    Project b;
    build::WriteProjectFiles(b.project, b.env);
    double total = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        if (build::WriteProjectFiles(b.project, b.env) != build::BuildOutcome::Written)
            return state.SkipWithError("the build failed");
        total += Seconds(t0);
    }
    g_cached = total / static_cast<double>(state.iterations());
}
BENCHMARK(BM_BuildCached)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("pages: %zu\n", Memos().size());
    if (g_engine > 0 && g_uncached > 0)
        std::printf("uncached build / engine read+write: %.2f (goal <= 3; engine %.1f ms, build %.1f ms)\n",
                    g_uncached / g_engine, g_engine * 1000, g_uncached * 1000);
    if (g_cached > 0 && g_uncached > 0)
        std::printf("cached build / uncached build: %.3f (goal <= 0.25; cached %.1f ms)\n", g_cached / g_uncached,
                    g_cached * 1000);
    return 0;
}
