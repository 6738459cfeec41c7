// Imports EUDORA.hlp and converts it in the same run: the import without its
// converter run (reading the help project and RTF, splitting, help ids,
// jumps, the project row and pages in the engine's tables, moving the
// files) against the conversion alone. Prints the ratio of the medians;
// the goal is at most 10.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <vector>

#include "helpbuild/import_project.h"
#include "project/editor_context.h"
#include "project/helpers.h"
#include "project/tests/editor_test_support.h"
#include "platform/core/process.h"

namespace {

namespace fs = std::filesystem;

const std::string kHelp = std::string(TAVRIN_CORPUS_DIR) + "/hlp/EUDORA.hlp";

struct Bench {
    edtest::ProgramFolder folder;
    editor::EditorContext ctx;
    fs::path converted;  // one conversion kept for the import runs
    int imports = 0;

    Bench() {
        ctx.ProgramDir = folder.dir;
        ctx.BindAlias();
        ctx.OpenTables();
        editor::WriteConverterIni();
        ::setenv("TAVRIN_HOME", folder.dir.c_str(), 1);
        converted = fs::path(folder.dir) / "converted";
        Convert(converted);
    }
    void Convert(const fs::path& dir) {
        fs::remove_all(dir);
        fs::create_directories(dir);
        if (plat::RunAndWait({RENDLOW32_PROGRAM, kHelp}, dir.string()) != 2) std::abort();
    }
    // Puts the converted files where step 1 leaves them and runs the finish step.
    bool Import() {
        build::ImportSession session(ctx, build::ImportEnvironment{});
        const fs::path temp = plat::NativePath(session.TempFolder());
        fs::remove_all(temp);
        fs::copy(converted, temp);
        build::ImportFields f;
        f.hpjPath = (temp / "EUDORA.HPJ").string();
        f.application = "Eudora " + std::to_string(++imports);
        f.fileName = "EUDORA";
        f.helpTitle = "Eudora";
        f.directory = folder.dir + "/p" + std::to_string(imports);
        return session.Finish(f);
    }
};

Bench& Shared() {
    static Bench b;
    return b;
}

void BM_Convert(benchmark::State& state) {
    Bench& b = Shared();
    for (auto _ : state) b.Convert(fs::path(b.folder.dir) / "again");
}
BENCHMARK(BM_Convert)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ImportWithoutConverter(benchmark::State& state) {
    Bench& b = Shared();
    for (auto _ : state)
        if (!b.Import()) state.SkipWithError("import failed");
}
BENCHMARK(BM_ImportWithoutConverter)->Unit(benchmark::kMillisecond)->Iterations(5);

double MedianMs(const std::function<void()>& f, int runs) {
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        auto a = std::chrono::steady_clock::now();
        f();
        t.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - a).count());
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    Bench& b = Shared();
    const double convert = MedianMs([&] { b.Convert(fs::path(b.folder.dir) / "again"); }, 5);
    const double import = MedianMs([&] { b.Import(); }, 5);
    std::printf("EUDORA.hlp: conversion %.1f ms, import without the converter %.1f ms, ratio %.2f (goal <= 10)\n", convert,
                import, import / convert);
    benchmark::Shutdown();
    return 0;
}
