// Reads and writes the largest corpus RTF file and reports MB/s; times the
// system's unrtf --text on the same file in the same run as the peer and
// prints our read time over its time.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "richtext/io/text_reader.h"
#include "richtext/io/text_writer.h"

namespace {

const std::string kFile = std::string(TAVRIN_CORPUS_DIR) + "/hpj/eudora71/Eudora.rtf";

const std::string& Bytes() {
    static const std::string bytes = [] {
        std::ifstream in(kFile, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }();
    return bytes;
}

double g_ourReadSeconds = 0;

void ReadOnce(richtext::TJDRTFText& model) {
    std::istringstream in(Bytes());
    richtext::TJDRtfReader reader;
    reader.SetModel(&model);
    reader.Read(in);
}

void BM_RtfRead(benchmark::State& state) {
    richtext::SetProgressQuiet(true);
    if (Bytes().empty()) {
        state.SkipWithError("corpus file missing");
        return;
    }
    double total = 0;
    std::int64_t runs = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        richtext::TJDRTFText model;
        ReadOnce(model);
        benchmark::DoNotOptimize(model.FirstParagraph());
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        ++runs;
    }
    g_ourReadSeconds = total / static_cast<double>(runs);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(Bytes().size()));
}
BENCHMARK(BM_RtfRead)->Unit(benchmark::kMillisecond);

void BM_RtfWrite(benchmark::State& state) {
    richtext::SetProgressQuiet(true);
    richtext::TJDRTFText model;
    ReadOnce(model);
    std::size_t size = 0;
    for (auto _ : state) {
        std::ostringstream out;
        richtext::TJDRTFWriter writer(&model);
        writer.Write(out);
        size = out.str().size();
        benchmark::DoNotOptimize(size);
    }
    // MB/s of RTF produced.
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size));
}
BENCHMARK(BM_RtfWrite)->Unit(benchmark::kMillisecond);

// The peer: unrtf --text on the same file, output discarded.
void BM_UnrtfText(benchmark::State& state) {
    std::string cmd = "unrtf --text '" + kFile + "' > /dev/null 2>&1";
    double total = 0;
    std::int64_t runs = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        int rc = std::system(cmd.c_str());
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        ++runs;
        if (rc != 0) {
            state.SkipWithError("unrtf failed or is not installed");
            return;
        }
    }
    double peer = total / static_cast<double>(runs);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(Bytes().size()));
    if (g_ourReadSeconds > 0 && peer > 0) {
        state.counters["our_read_over_unrtf"] = g_ourReadSeconds / peer;
        std::printf("our read %.2f ms, unrtf --text %.2f ms, ratio %.3f (goal below 0.5)\n",
                    g_ourReadSeconds * 1e3, peer * 1e3, g_ourReadSeconds / peer);
    }
}
BENCHMARK(BM_UnrtfText)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
