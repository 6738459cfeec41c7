// Reading real help files: open one, walk every topic record and expand its
// text; and the full topic summary (titles, context names, keywords). Bytes
// processed are the |TOPIC bytes, so the rate reads as MB/s of topic data.
// EUDORA.hlp is stored uncompressed; winfile.hlp (LZ77 blocks, old phrase
// table) and DEMIST.HLP (LZ77 blocks, Hall phrase tables) measure the
// decompression and phrase expansion that the large file never needs. No
// peer exists in this tree to compare against.

#include <benchmark/benchmark.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "converter/help_file.h"
#include "converter/topic_stream.h"

namespace {

const char* const kFiles[] = {"EUDORA.hlp", "winfile.hlp", "DEMIST.HLP"};

const std::string& Bytes(const std::string& name) {
    static std::map<std::string, std::string> cache;
    auto it = cache.find(name);
    if (it != cache.end()) return it->second;
    std::ifstream in(std::string(TAVRIN_CORPUS_DIR) + "/hlp/" + name, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return cache[name] = ss.str();
}

void BM_ReadAllTopicRecords(benchmark::State& state) {
    const std::string name = kFiles[state.range(0)];
    const std::string& bytes = Bytes(name);
    if (bytes.empty()) {
        state.SkipWithError(("corpus file hlp/" + name + " not found").c_str());
        return;
    }
    state.SetLabel(name);
    std::uint32_t topicSize = 0;
    std::size_t records = 0;
    bool compressed = false;
    for (auto _ : state) {
        auto hf = conv::OpenHelpFileBytes(bytes, name, 0);
        topicSize = hf->file.topic.size;
        compressed = hf->file.compressed;
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
    state.counters["compressed"] = compressed ? 1 : 0;
}
BENCHMARK(BM_ReadAllTopicRecords)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

void BM_ListTopicsWithNamesAndKeywords(benchmark::State& state) {
    const std::string name = kFiles[state.range(0)];
    const std::string& bytes = Bytes(name);
    if (bytes.empty()) {
        state.SkipWithError(("corpus file hlp/" + name + " not found").c_str());
        return;
    }
    state.SetLabel(name);
    std::uint32_t topicSize = 0;
    std::size_t topics = 0;
    for (auto _ : state) {
        auto hf = conv::OpenHelpFileBytes(bytes, name, 0);
        topicSize = hf->file.topic.size;
        topics = conv::ListTopics(*hf).size();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * topicSize);
    state.counters["topics"] = static_cast<double>(topics);
}
BENCHMARK(BM_ListTopicsWithNamesAndKeywords)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
