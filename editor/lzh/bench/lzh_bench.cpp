// Compression and decompression speed and size of the LZH codec beside zlib
// at level 6, on a real RTF file and on random bytes, in the same run.
// bytes_per_second counts uncompressed bytes; "ratio" is compressed / original.
// Each is the median of several repetitions after a warm-up; the program ends
// with the LZH compressor's speed on the RTF file against its goal of 40 MB/s.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "editor/lzh/lzh_compressor.h"
#include "editor/lzh/lzh_decoder.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string RandomBytes(std::size_t n) {
    std::mt19937 rng(42);
    std::string s(n, '\0');
    for (auto& c : s) c = static_cast<char>(rng() & 0xFF);
    return s;
}

std::string ZlibCompress(const std::string& in) {
    uLongf size = compressBound(static_cast<uLong>(in.size()));
    std::string out(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(in.data()),
                  static_cast<uLong>(in.size()), 6) != Z_OK)
        throw std::runtime_error("zlib compression failed");
    out.resize(size);
    return out;
}

std::string ZlibDecompress(const std::string& in, std::size_t originalSize) {
    std::string out(originalSize, '\0');
    uLongf size = static_cast<uLongf>(originalSize);
    if (uncompress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(in.data()),
                   static_cast<uLong>(in.size())) != Z_OK ||
        size != originalSize)
        throw std::runtime_error("zlib decompression failed");
    return out;
}

class MedianReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> ms;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median")
                ms[r.run_name.function_name] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
};

benchmark::internal::Benchmark* Setup(benchmark::internal::Benchmark* b) {
    return b->Repetitions(5)->ReportAggregatesOnly(true)->MinWarmUpTime(0.1)->Unit(benchmark::kMillisecond);
}

void Register(const std::string& name, const std::string& input) {
    const std::string lzhPacked = lzh::LZHCompress(input);
    const std::string zPacked = ZlibCompress(input);
    if (lzh::LZHDecompress(lzhPacked, input.size()) != input) throw std::runtime_error("lzh round trip failed");
    const double size = static_cast<double>(input.size());
    auto finish = [size](benchmark::State& state, std::size_t packed) {
        state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
        state.counters["ratio"] = static_cast<double>(packed) / size;
    };

    Setup(benchmark::RegisterBenchmark(("compress/lzh/" + name).c_str(), [=](benchmark::State& state) {
        for (auto _ : state) benchmark::DoNotOptimize(lzh::LZHCompress(input));
        finish(state, lzhPacked.size());
    }));
    Setup(benchmark::RegisterBenchmark(("compress/zlib6/" + name).c_str(), [=](benchmark::State& state) {
        for (auto _ : state) benchmark::DoNotOptimize(ZlibCompress(input));
        finish(state, zPacked.size());
    }));
    Setup(benchmark::RegisterBenchmark(("decompress/lzh/" + name).c_str(), [=](benchmark::State& state) {
        for (auto _ : state) benchmark::DoNotOptimize(lzh::LZHDecompress(lzhPacked, input.size()));
        finish(state, lzhPacked.size());
    }));
    Setup(benchmark::RegisterBenchmark(("decompress/zlib6/" + name).c_str(), [=](benchmark::State& state) {
        for (auto _ : state) benchmark::DoNotOptimize(ZlibDecompress(zPacked, input.size()));
        finish(state, zPacked.size());
    }));
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t rtfSize = 0;
    try {
        const std::string rtf = ReadFile(std::string(TAVRIN_CORPUS_DIR) + "/hpj/eudora71/Eudora.rtf");
        rtfSize = rtf.size();
        Register("Eudora.rtf", rtf);
        Register("random-1MB", RandomBytes(1 << 20));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_lzh: %s\n", e.what());
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const double lzhMs = reporter.ms["compress/lzh/Eudora.rtf"], zlibMs = reporter.ms["compress/zlib6/Eudora.rtf"];
    if (lzhMs > 0 && zlibMs > 0)
        std::printf("LZH compression of Eudora.rtf: %.1f MB/s (goal >= 40), %.2f x zlib-6's time\n",
                    static_cast<double>(rtfSize) / 1e3 / lzhMs, lzhMs / zlibMs);
    return 0;
}
