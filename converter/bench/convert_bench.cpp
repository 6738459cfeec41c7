// Converting real help files end to end, into a recompilable project and
// into a printable document, in a scratch folder: the large, uncompressed
// EUDORA.hlp, and the compressed winfile.hlp (old phrases) and DEMIST.HLP
// (Hall phrases). Bytes processed are the help file's bytes. Peak memory
// is measured per file and mode in a child process of its own. No peer
// exists in this tree.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
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

// One scratch folder for the run, removed with its contents at the end.
const std::string& Scratch() {
    static const std::string dir = [] {
        char name[] = "/tmp/rendlow-bench-XXXXXX";
        if (!mkdtemp(name)) return std::string();
        conv::RegisterScratchFolder(name);
        return std::string(name);
    }();
    return dir;
}

const char* const kFiles[] = {"EUDORA.hlp", "winfile.hlp", "DEMIST.HLP"};

// Peak memory of one conversion in a process of its own: this program
// started again with "--convert-once", which converts once and exits, so
// each file and mode is measured alone and not as the high-water mark of
// everything the benchmark ran before it.
double ChildPeakMegabytes(const conv::ConversionRequest& request) {
    const std::string flags = std::to_string(request.flags);
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        execl("/proc/self/exe", "bench_convert", "--convert-once", flags.c_str(), request.path.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void Convert(benchmark::State& state, conv::ConversionFlags flags) {
    const std::string name = kFiles[state.range(0)];
    const std::string path = std::string(TAVRIN_CORPUS_DIR) + "/hlp/" + name;
    if (!std::filesystem::exists(path) || Scratch().empty()) {
        state.SkipWithError(("corpus file hlp/" + name + " or a scratch folder is missing").c_str());
        return;
    }
    state.SetLabel(name);
    const auto old = std::filesystem::current_path();
    std::filesystem::current_path(Scratch());
    for (auto _ : state) conv::ConvertHelpFile({flags, path});
    state.counters["peak_rss_MB"] = ChildPeakMegabytes({flags, path});
    std::filesystem::current_path(old);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(std::filesystem::file_size(path)));
}

void BM_ConvertProject(benchmark::State& state) { Convert(state, conv::ApplyModeRule(0)); }
void BM_ConvertPrintable(benchmark::State& state) { Convert(state, conv::kViewFlags); }

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

BENCHMARK(BM_ConvertProject)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertPrintable)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertManyTopics)->Arg(2000)->Arg(8000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--convert-once") {
        try {
            conv::ConvertHelpFile({static_cast<conv::ConversionFlags>(std::stoul(argv[2])), argv[3]});
        } catch (...) {
            return 1;
        }
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
