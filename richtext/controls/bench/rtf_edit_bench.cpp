// The edit control against its engine, in one run:
//  - loading the largest corpus document into the control and painting it
//    once, against the engine alone reading and laying it out on the same
//    kind of device; goal: at most 1.5 times as long;
//  - one character typed in the middle of that document, against a full
//    layout of it; goal: under 1 %.
#include <benchmark/benchmark.h>

#include <QByteArray>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "platform/gui/canvas_device.h"
#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"
#include "richtext/controls/rtf_edit.h"

namespace {

const std::string kFile = std::string(TAVRIN_CORPUS_DIR) + "/hpj/eudora71/Eudora.rtf";

const std::string& Bytes() {
    static const std::string bytes = [] {
        std::ifstream in(kFile, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }();
    return bytes;
}

double g_engine = 0, g_control = 0, g_key = 0, g_full = 0, g_engineKey = 0;

double Seconds(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

gui::TForm* Form() {
    static gui::TForm* form = [] {
        if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
        gui::InitApplication();
        auto* f = new gui::TForm(gui::Application);
        f->SetBounds(0, 0, 640, 480);
        f->Show();
        guitest::ProcessEvents();
        return f;
    }();
    return form;
}

richtext::TJDCustomRtfEdit* NewEdit() {
    auto* e = new richtext::TJDCustomRtfEdit(Form());
    e->SetParent(Form());
    e->SetBounds(0, 0, 600, 400);
    e->SetWordWrap(true);
    guitest::ProcessEvents();
    return e;
}

void BM_EngineReadAndLayout(benchmark::State& state) {
    richtext::SetProgressQuiet(true);
    Form();
    if (Bytes().empty()) return state.SkipWithError("corpus file missing");
    gui::TBitmap image(600, 400);
    gui::TCanvasDevice device(image.Canvas());
    double total = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        richtext::TJDRTFTextInput engine;
        engine.SetCanvas(&device);
        engine.SetWindowSize(600, 400);
        engine.LoadFromString(Bytes());
        benchmark::DoNotOptimize(engine.DocumentHeight());
        total += Seconds(t0);
    }
    g_engine = total / static_cast<double>(state.iterations());
}
BENCHMARK(BM_EngineReadAndLayout)->Unit(benchmark::kMillisecond);

void BM_ControlLoadAndFirstPaint(benchmark::State& state) {
    richtext::SetProgressQuiet(true);
    if (Bytes().empty()) return state.SkipWithError("corpus file missing");
    double total = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto* edit = NewEdit();
        state.ResumeTiming();
        auto t0 = std::chrono::steady_clock::now();
        edit->SetText(Bytes());
        edit->Repaint();
        total += Seconds(t0);
        state.PauseTiming();
        delete edit;
        state.ResumeTiming();
    }
    g_control = total / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ControlLoadAndFirstPaint)->Unit(benchmark::kMillisecond);

void BM_TypedCharacterAndFullLayout(benchmark::State& state) {
    richtext::SetProgressQuiet(true);
    if (Bytes().empty()) return state.SkipWithError("corpus file missing");
    auto* edit = NewEdit();
    edit->SetText(Bytes());
    edit->SetFocus();
    edit->SetCPPosition(edit->Engine().TextLength() / 2);
    edit->Repaint();
    if (!edit->Focused()) state.SkipWithError("the control has no focus");
    double key = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        // A typed character, as the keyboard delivers it; taking it back
        // (not timed) keeps every keystroke one into the original text.
        edit->Perform(gui::WM_CHAR, 'x', 0);
        key += Seconds(t0);
        edit->Perform(gui::WM_CHAR, '\b', 0);
    }
    g_key = key / static_cast<double>(state.iterations());
    // A full layout of the same text, for the ratio.
    auto t0 = std::chrono::steady_clock::now();
    const int runs = 3;
    for (int i = 0; i < runs; ++i) {
        for (auto* p = edit->Engine().FirstParagraph(); p; p = p->next) p->state |= richtext::kParNeedsLayout;
        edit->Engine().FormatAll();
    }
    g_full = Seconds(t0) / runs;
    delete edit;
}
BENCHMARK(BM_TypedCharacterAndFullLayout)->Unit(benchmark::kMicrosecond);

// The same keystroke into the engine alone: what the control adds shows against it.
void BM_EngineTypedCharacter(benchmark::State& state) {
    richtext::SetProgressQuiet(true);
    Form();
    if (Bytes().empty()) return state.SkipWithError("corpus file missing");
    gui::TBitmap image(600, 400);
    gui::TCanvasDevice device(image.Canvas());
    richtext::TJDRTFTextInput engine;
    engine.SetCanvas(&device);
    engine.SetWindowSize(600, 400);
    engine.SetWordWrap(true);
    engine.LoadFromString(Bytes());
    engine.SetCursor(engine.TextLength() / 2, 0);
    engine.ScrollToCursor();
    double key = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        engine.InputString("x");
        key += Seconds(t0);
        engine.InputString("\b");
    }
    g_engineKey = key / static_cast<double>(state.iterations());
}
BENCHMARK(BM_EngineTypedCharacter)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (g_engine > 0 && g_control > 0)
        std::printf("control load+first paint / engine read+layout: %.2f (goal <= 1.5; engine %.1f ms, control %.1f ms)\n",
                    g_control / g_engine, g_engine * 1000, g_control * 1000);
    if (g_key > 0 && g_full > 0)
        std::printf("typed character / full layout: %.3f %% (goal < 1 %%; key %.3f ms, layout %.1f ms)\n",
                    100 * g_key / g_full, g_key * 1000, g_full * 1000);
    if (g_key > 0 && g_engineKey > 0)
        std::printf("typed character, control / engine alone: %.2f (engine %.3f ms)\n", g_key / g_engineKey,
                    g_engineKey * 1000);
    return 0;
}
