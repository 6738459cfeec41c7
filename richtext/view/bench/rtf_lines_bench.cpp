// Reading the text's lines as strings, against reading the text itself, in
// one run: the largest corpus RTF file is loaded, then every line is taken
// by number through the strings view (Count and Get at each step), as the
// build and the contents commands loop over a page's lines. Medians of
// several repetitions after a warm-up; the program prints lines / read,
// goal 2 or less.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "richtext/io/text_reader.h"
#include "richtext/view/rtf_text_io.h"

namespace {

const std::string kFile = std::string(TAVRIN_CORPUS_DIR) + "/hpj/eudora71/Eudora.rtf";

const std::string& Bytes() {
    static const std::string bytes = [] {
        std::ifstream in(kFile, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }();
    return bytes;
}

void Read(benchmark::State& state) {
    if (Bytes().empty()) {
        state.SkipWithError("corpus file missing");
        return;
    }
    for (auto _ : state) {
        richtext::TJDRTFTextIo text;
        text.LoadFromString(Bytes());
        benchmark::DoNotOptimize(text.FirstParagraph());
    }
}

void Lines(benchmark::State& state) {
    richtext::TJDRTFTextIo text;
    text.LoadFromString(Bytes());
    richtext::TJDRtfStrings lines(text);
    if (lines.Count() < 1000) {
        state.SkipWithError("the file has too few lines to tell");
        return;
    }
    for (auto _ : state) {
        std::size_t chars = 0;
        for (int i = 0; i < lines.Count(); ++i) chars += lines.Get(i).size();
        benchmark::DoNotOptimize(chars);
    }
    state.counters["lines"] = lines.Count();
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

}  // namespace

int main(int argc, char** argv) {
    richtext::SetProgressQuiet(true);
    for (auto [name, fn] : {std::pair{"read", &Read}, std::pair{"lines", &Lines}})
        benchmark::RegisterBenchmark(name, fn)
            ->Repetitions(7)
            ->ReportAggregatesOnly(true)
            ->MinWarmUpTime(0.1)
            ->MinTime(0.1)
            ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double read = reporter.ms["read"], lines = reporter.ms["lines"];
    if (read <= 0 || lines <= 0) return 1;
    std::printf("lines %.2f ms / read %.2f ms = %.2f (goal <= 2)\n", lines, read, lines / read);
    return 0;
}
