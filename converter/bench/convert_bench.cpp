// Converting the large real help file EUDORA.hlp end to end, once into a
// recompilable project and once into a printable document, in a scratch
// folder. Bytes processed are the help file's bytes. Peak memory of the
// process is reported as a counter (resident set high-water mark, which
// covers both modes once both have run). No peer exists in this tree.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "converter/project_writer.h"
#include "converter/shell.h"

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

BENCHMARK(BM_ConvertEudoraProject)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertEudoraPrintable)->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();
