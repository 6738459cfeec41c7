// The archiver against its own codec: archiving a project's worth of table
// files (directory, file reads, work files, the final join and rename)
// beside compressing the same bytes in memory with LZHCompress, in one run.
// The ratio printed at the end is what the archiver adds.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "editor/backup/lzh_batch.h"
#include "editor/lzh/lzh_compressor.h"

namespace {

namespace fs = std::filesystem;

// Six files shaped like the tables of a 1,000-page project: records of
// words and numbers, some large, some small.
struct Files {
    fs::path folder;
    std::vector<std::string> names;
    std::vector<std::string> bytes;
    Files() {
        folder = fs::temp_directory_path() / ("tavrin-backup-bench-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        std::mt19937 rng(7);
        const char* words[] = {"topic", "jump", "popup", "keyword", "browse", "window", "context", "page ", "\\par "};
        const std::pair<const char*, std::size_t> tables[] = {
            {"tvrnitem.db", 2'000'000}, {"tvrnitem.mb", 3'000'000}, {"tvrnmain.db", 8'192},
            {"tvrnmain.mb", 4'096},      {"tvrnrefi.db", 120'000},   {"tvrncnt.db", 90'000}};
        for (const auto& [name, size] : tables) {
            std::string s;
            while (s.size() < size) {
                s += words[rng() % 9];
                s += std::to_string(rng() % 5000);
                s += static_cast<char>(rng() % 4);
            }
            s.resize(size);
            std::ofstream(folder / name, std::ios::binary) << s;
            names.push_back((folder / name).string());
            bytes.push_back(std::move(s));
        }
    }
    ~Files() {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
};

Files& TheFiles() {
    static Files f;
    return f;
}

void Archive(benchmark::State& state) {
    Files& f = TheFiles();
    for (auto _ : state) {
        lzh::TLZHBatch batch;
        for (const auto& n : f.names) batch.InputFiles().Add(n);
        batch.SetArchiveFileName((f.folder / "bench.kqb").string());
        batch.CompressFiles();
        if (!batch.ValidArchive()) state.SkipWithError("no archive written");
    }
}

void InMemory(benchmark::State& state) {
    Files& f = TheFiles();
    for (auto _ : state)
        for (const auto& b : f.bytes) benchmark::DoNotOptimize(lzh::LZHCompress(b));
}

class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> times;
    void ReportRuns(const std::vector<Run>& runs) override {
        // One figure per benchmark: the median when runs are repeated.
        for (const Run& r : runs)
            if (r.aggregate_name.empty() || r.aggregate_name == "median")
                times[r.run_name.function_name] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::RegisterBenchmark("backup/archive_files", Archive)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("backup/LZHCompress_in_memory", InMemory)->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double a = reporter.times["backup/archive_files"], m = reporter.times["backup/LZHCompress_in_memory"];
    if (m > 0) std::printf("%-40s %.3f\n", "archiver / compressing in memory", a / m);
    benchmark::Shutdown();
    return 0;
}
