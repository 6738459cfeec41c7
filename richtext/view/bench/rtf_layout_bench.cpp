// Layout speed against reading speed, in one run so the ratios do not depend
// on the machine:
//  - the largest corpus RTF file is read, then laid out at a fixed width on
//    the fake device and (with the GUI) on the device over the GUI canvas; goal:
//    layout on that device no slower than reading (ratio <= 1);
//  - a character typed into the middle of a 1 MB paragraph of alternating
//    bold and plain words, against the same keystroke in a 1 KB paragraph;
//    goal: at most 20 times as long (only the lines an edit touches are laid
//    out again).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>

#include "platform/gdi/fake_device.h"
#include "richtext/io/text_reader.h"
#include "richtext/view/text_input.h"

#ifdef TAVRIN_BENCH_QT
#include <QByteArray>

#include "platform/gui/canvas_device.h"
#include "platform/gui/forms.h"
#endif

namespace {

const std::string kFile = std::string(TAVRIN_CORPUS_DIR) + "/hpj/eudora71/Eudora.rtf";

const std::string& Bytes() {
    static const std::string bytes = [] {
        std::ifstream in(kFile, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }();
    return bytes;
}

double g_readSeconds = 0, g_layoutSeconds = 0, g_qtLayoutSeconds = 0;
double g_keySmallSeconds = 0, g_keyLargeSeconds = 0;

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
void LayoutOn(benchmark::State& state, plat::TDevice& device, double& seconds) {
    richtext::SetProgressQuiet(true);
    if (Bytes().empty()) {
        state.SkipWithError("corpus file missing");
        return;
    }
    double total = 0;
    std::int64_t runs = 0;
    for (auto _ : state) {
        // A fresh engine each time: the first layout of a loaded document is what a user waits for.
        state.PauseTiming();
        auto model = std::make_unique<richtext::TJDRTFTextPaint>();
        model->SetPaintOptions(model->PaintOptions() | richtext::poLayoutLocked);
        ReadInto(*model);
        model->SetCanvas(&device);
        model->SetWindowSize(600, 400);
        state.ResumeTiming();
        auto t0 = std::chrono::steady_clock::now();
        model->SetPaintOptions(model->PaintOptions() & ~richtext::poLayoutLocked);  // lays it out
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        ++runs;
        benchmark::DoNotOptimize(model->DocumentHeight());
        state.counters["paragraphs"] = model->ParagraphCount();
        state.counters["height_px"] = model->DocumentHeight();
        state.PauseTiming();
        model.reset();
        state.ResumeTiming();
    }
    seconds = total / static_cast<double>(runs);
}

void BM_RtfLayoutFake(benchmark::State& state) {
    plat::TFakeDevice device(96, 96);
    LayoutOn(state, device, g_layoutSeconds);
}
BENCHMARK(BM_RtfLayoutFake)->Unit(benchmark::kMillisecond);

#ifdef TAVRIN_BENCH_QT
void BM_RtfLayoutCanvas(benchmark::State& state) {
    // Measuring needs no screen.
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    gui::InitApplication();
    gui::TBitmap image(600, 400);
    gui::TCanvasDevice device(image.Canvas());
    LayoutOn(state, device, g_qtLayoutSeconds);
}
BENCHMARK(BM_RtfLayoutCanvas)->Unit(benchmark::kMillisecond);
#endif

// One paragraph of `bytes` characters, words alternating bold and plain.
void FillParagraph(richtext::TJDRTFTextInput& text, std::size_t bytes) {
    richtext::TJDCharAttr plain = text.currentAttr, bold = plain;
    bold.style |= richtext::kStyleBold;
    richtext::TParagraph* p = text.FirstParagraph();
    richtext::TLine* line = p->lines;
    std::size_t n = 0;
    for (int w = 0; n < bytes; ++w) {
        std::string word = (w % 7 == 0 ? "alternating " : "words ");
        if (line->Length() + static_cast<int>(word.size()) >= richtext::kMaxLineLength) line = text.NewLineAfter(p, line);
        text.ReplaceInLine(line, line->Length(), 0, word, w % 2 ? &bold : &plain);
        n += word.size();
    }
}

void Keystroke(benchmark::State& state, std::size_t bytes, double& seconds) {
    richtext::SetProgressQuiet(true);
    plat::TFakeDevice device(96, 96);
    richtext::TJDRTFTextInput text;
    text.SetPaintOptions(text.PaintOptions() | richtext::poLayoutLocked);
    FillParagraph(text, bytes);
    text.SetCanvas(&device);
    text.SetPaintOptions(text.PaintOptions() & ~richtext::poLayoutLocked);
    text.SetWindowSize(600, 400);
    text.FormatAll();
    // The cursor in the middle of the paragraph.
    richtext::TParagraph* p = text.FirstParagraph();
    int half = 0;
    for (richtext::TLine* l = p->lines; l; l = l->next) half += l->Length();
    half /= 2;
    richtext::TLine* l = p->lines;
    while (l->next && half > l->Length()) {
        half -= l->Length();
        l = l->next;
    }
    text.cursor = {p, l, half};
    double total = 0;
    std::int64_t runs = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        text.InputString("x");
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        ++runs;
    }
    seconds = total / static_cast<double>(runs);
}

void BM_KeystrokeIn1KParagraph(benchmark::State& state) { Keystroke(state, 1024, g_keySmallSeconds); }
BENCHMARK(BM_KeystrokeIn1KParagraph)->Unit(benchmark::kMicrosecond);
void BM_KeystrokeIn1MParagraph(benchmark::State& state) { Keystroke(state, 1024 * 1024, g_keyLargeSeconds); }
BENCHMARK(BM_KeystrokeIn1MParagraph)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (g_readSeconds > 0 && g_layoutSeconds > 0)
        std::printf("layout/read time ratio, fake device: %.2f (read %.1f ms, layout %.1f ms)\n",
                    g_layoutSeconds / g_readSeconds, g_readSeconds * 1000, g_layoutSeconds * 1000);
    if (g_readSeconds > 0 && g_qtLayoutSeconds > 0)
        std::printf("layout/read time ratio, canvas device: %.2f (goal <= 1; read %.1f ms, layout %.1f ms)\n",
                    g_qtLayoutSeconds / g_readSeconds, g_readSeconds * 1000, g_qtLayoutSeconds * 1000);
    if (g_keySmallSeconds > 0 && g_keyLargeSeconds > 0)
        std::printf("keystroke 1 MB/1 KB paragraph ratio: %.1f (goal <= 20; 1 KB %.3f ms, 1 MB %.3f ms)\n",
                    g_keyLargeSeconds / g_keySmallSeconds, g_keySmallSeconds * 1000, g_keyLargeSeconds * 1000);
    return 0;
}
