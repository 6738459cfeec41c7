// Reads and writes the largest corpus RTF file and reports MB/s; times the
// system's unrtf --text on the same file in the same run as the peer and
// prints our read time over its time (--rounds=N rounds each, default 9).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "richtext/io/text_reader.h"
#include "richtext/io/text_writer.h"
#include "tests/support/bench_rounds.h"

namespace {

const std::string kFile = std::string(TAVRIN_CORPUS_DIR) + "/hpj/eudora71/Eudora.rtf";

const std::string& Bytes() {
    static const std::string bytes = [] {
        std::ifstream in(kFile, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }();
    return bytes;
}

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
    for (auto _ : state) {
        richtext::TJDRTFText model;
        ReadOnce(model);
        benchmark::DoNotOptimize(model.FirstParagraph());
    }
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

}  // namespace

// The peer is unrtf --text run on the same file, output discarded: the whole
// process, start-up included, as a user runs it. Ours is the read into the
// text model, in this process. Rounds in turns after a warm-up, medians.
int main(int argc, char** argv) {
    const int rounds = benchrounds::RoundsFromArgs(argc, argv, 9);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (Bytes().empty()) {
        std::fprintf(stderr, "bench_rtf_io: cannot read %s\n", kFile.c_str());
        return 1;
    }
    richtext::SetProgressQuiet(true);
    const std::string cmd = "unrtf --text '" + kFile + "' > /dev/null 2>&1";
    bool peerFailed = false;
    const std::vector<benchrounds::Result> r = benchrounds::Run(
        {{"our read",
          [] {
              richtext::TJDRTFText model;
              ReadOnce(model);
              benchmark::DoNotOptimize(model.FirstParagraph());
          }},
         {"unrtf --text", [&] { peerFailed |= std::system(cmd.c_str()) != 0; }}},
        rounds);
    if (peerFailed) {
        std::fprintf(stderr, "bench_rtf_io: unrtf failed or is not installed (scripts/setup-deps.sh installs it)\n");
        return 1;
    }
    benchrounds::Print(r, rounds);
    benchrounds::PrintRatio("our read / unrtf --text", r[0], r[1], "<= 0.03");
    return 0;
}
