// Converting the large real help file EUDORA.hlp end to end, once into a
// recompilable project and once into a printable document, in a scratch
// folder. Bytes processed are the help file's bytes. Peak memory of the
// process is reported as a counter (resident set high-water mark, which
// covers both modes once both have run). No peer exists in this tree.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "converter/project_writer.h"
#include "converter/shell.h"
#include "converter/tests/hlp_builder.h"
#include "converter/topic_stream.h"

namespace {

const std::string& Scratch() {
    static const std::string dir = [] {
        char name[] = "/tmp/rendlow-bench-XXXXXX";
        return std::string(mkdtemp(name) ? name : "/tmp");
    }();
    return dir;
}

void Convert(benchmark::State& state, conv::ConversionFlags flags) {
    const std::string path = std::string(TAVRIN_CORPUS_DIR) + "/hlp/EUDORA.hlp";
    if (!std::filesystem::exists(path)) {
        state.SkipWithError("corpus file hlp/EUDORA.hlp not found");
        return;
    }
    const auto old = std::filesystem::current_path();
    std::filesystem::current_path(Scratch());
    for (auto _ : state) conv::ConvertHelpFile({flags, path});
    std::filesystem::current_path(old);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(std::filesystem::file_size(path)));
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_ConvertEudoraProject(benchmark::State& state) { Convert(state, conv::ApplyModeRule(0)); }
void BM_ConvertEudoraPrintable(benchmark::State& state) { Convert(state, conv::kViewFlags); }

// A generated file of n topics, each with one context and two keywords:
// the per-record lookups must not grow with the size of the tables.
std::string ManyTopics(std::uint32_t n) {
    std::vector<hlptest::TopicRecordDef> records;
    for (std::uint32_t i = 0; i < n; ++i) {
        records.push_back(hlptest::TopicHeader(static_cast<std::int32_t>(i), "Topic " + std::to_string(i)));
        hlptest::TopicRecordDef r;
        r.linkData1 = std::string("\x00\x80\x00", 3) + hlptest::U16(0) + hlptest::U16(0) + hlptest::U16(0) + "\x82\xFF";
        r.linkData2 = "Text of topic " + std::to_string(i) + std::string("\0\0", 2);
        records.push_back(r);
    }
    const hlptest::TopicLayout layout = hlptest::BuildTopic(records, false);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> contexts;
    std::vector<std::pair<std::string, std::vector<std::uint32_t>>> keywords;
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint32_t at = layout.charOffsets[2 * i + 1];
        contexts.push_back({conv::ContextHash("ctx_" + std::to_string(i)), at});
        keywords.push_back({"kw" + std::to_string(i), {at, at + 3}});
    }
    std::sort(contexts.begin(), contexts.end());
    std::sort(keywords.begin(), keywords.end());
    const hlptest::KeywordFiles kw = hlptest::KeywordIndex(keywords);
    return hlptest::BuildHelpFile({{"|SYSTEM", hlptest::SystemFile(21, 0, {{1, std::string("Many\0", 5)}})},
                                   {"|TOPIC", layout.data},
                                   {"|CONTEXT", hlptest::ContextFile(contexts)},
                                   {"|KWBTREE", kw.btree},
                                   {"|KWDATA", kw.data}});
}

void BM_ConvertManyTopics(benchmark::State& state) {
    const auto n = static_cast<std::uint32_t>(state.range(0));
    const std::string path = Scratch() + "/MANY.HLP";
    {
        const std::string bytes = ManyTopics(n);
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) {
            state.SkipWithError("cannot write the generated file");
            return;
        }
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    const auto old = std::filesystem::current_path();
    std::filesystem::current_path(Scratch());
    for (auto _ : state) conv::ConvertHelpFile({conv::ApplyModeRule(0), path});
    std::filesystem::current_path(old);
    state.SetComplexityN(n);
}

BENCHMARK(BM_ConvertEudoraProject)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertEudoraPrintable)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertManyTopics)->Arg(2000)->Arg(8000)->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();
