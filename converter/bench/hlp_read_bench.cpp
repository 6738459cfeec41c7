// Reading a large real help file: open it, walk every topic record and
// expand its text; and the full topic summary (titles, context names,
// keywords). Bytes processed are the |TOPIC bytes, so the rate reads as MB/s
// of topic data. No peer exists in this tree to compare against.

#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>

#include "converter/help_file.h"
#include "converter/topic_stream.h"

namespace {

const std::string& EudoraBytes() {
    static const std::string bytes = [] {
        std::ifstream in(std::string(TAVRIN_CORPUS_DIR) + "/hlp/EUDORA.hlp", std::ios::binary);
        std::ostringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }();
    return bytes;
}

void BM_ReadAllTopicRecords(benchmark::State& state) {
    const std::string& bytes = EudoraBytes();
    if (bytes.empty()) {
        state.SkipWithError("corpus file hlp/EUDORA.hlp not found");
        return;
    }
    std::uint32_t topicSize = 0;
    std::size_t records = 0;
    for (auto _ : state) {
        auto hf = conv::OpenHelpFileBytes(bytes, "EUDORA.hlp", 0);
        topicSize = hf->topic.size;
        conv::TopicLink link;
        records = 0;
        std::size_t chars = 0;
        while (conv::ReadTopicLink(*hf, link)) {
            chars += conv::ExpandLinkData2(*hf, link).size();
            ++records;
        }
        benchmark::DoNotOptimize(chars);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * topicSize);
    state.counters["records"] = static_cast<double>(records);
}
BENCHMARK(BM_ReadAllTopicRecords)->Unit(benchmark::kMillisecond);

void BM_ListTopicsWithNamesAndKeywords(benchmark::State& state) {
    const std::string& bytes = EudoraBytes();
    if (bytes.empty()) {
        state.SkipWithError("corpus file hlp/EUDORA.hlp not found");
        return;
    }
    std::uint32_t topicSize = 0;
    std::size_t topics = 0;
    for (auto _ : state) {
        auto hf = conv::OpenHelpFileBytes(bytes, "EUDORA.hlp", 0);
        topicSize = hf->topic.size;
        topics = conv::ListTopics(*hf).size();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * topicSize);
    state.counters["topics"] = static_cast<double>(topics);
}
BENCHMARK(BM_ListTopicsWithNamesAndKeywords)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
