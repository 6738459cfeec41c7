// Lays out the largest corpus RTF file at a fixed width on the fake device
// and reads it in the same run, the read being the peer: prints layout time
// over read time (goal: layout no slower than reading).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "platform/gdi/fake_device.h"
#include "richtext/io/text_reader.h"
#include "richtext/view/text_paint.h"

namespace {

const std::string kFile = std::string(TAVRIN_CORPUS_DIR) + "/hpj/eudora71/Eudora.rtf";

const std::string& Bytes() {
    static const std::string bytes = [] {
        std::ifstream in(kFile, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }();
    return bytes;
}

double g_readSeconds = 0, g_layoutSeconds = 0;

void ReadInto(richtext::TJDRTFText& model) {
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
        richtext::TJDRTFTextPaint model;
        ReadInto(model);
        benchmark::DoNotOptimize(model.FirstParagraph());
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        ++runs;
    }
    g_readSeconds = total / static_cast<double>(runs);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(Bytes().size()));
}
BENCHMARK(BM_RtfRead)->Unit(benchmark::kMillisecond);

// Full layout (measure and break every paragraph, paginate) at 600 pixels.
void BM_RtfLayout(benchmark::State& state) {
    richtext::SetProgressQuiet(true);
    if (Bytes().empty()) {
        state.SkipWithError("corpus file missing");
        return;
    }
    plat::TFakeDevice device(96, 96);
    richtext::TJDRTFTextPaint model;
    model.SetPaintOptions(model.PaintOptions() | richtext::poLayoutLocked);
    ReadInto(model);
    model.SetCanvas(&device);
    model.SetPaintOptions(model.PaintOptions() & ~richtext::poLayoutLocked);
    model.SetWindowSize(600, 400);
    double total = 0;
    std::int64_t runs = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        model.FormatAll();
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        ++runs;
        benchmark::DoNotOptimize(model.DocumentHeight());
    }
    g_layoutSeconds = total / static_cast<double>(runs);
    state.counters["paragraphs"] = model.ParagraphCount();
    state.counters["height_px"] = model.DocumentHeight();
}
BENCHMARK(BM_RtfLayout)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (g_readSeconds > 0 && g_layoutSeconds > 0)
        std::printf("layout/read time ratio: %.2f (read %.1f ms, layout %.1f ms)\n", g_layoutSeconds / g_readSeconds,
                    g_readSeconds * 1000, g_layoutSeconds * 1000);
    return 0;
}
