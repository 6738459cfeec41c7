// The rich-text component with its bars against the same component without
// them, in one run: the cursor walks word by word through a large corpus
// document; every step reports the caret's attributes and paragraph to the
// tool bar, the ruler and the status bar. Goal: at most 2 times as long.
#include <benchmark/benchmark.h>

#include <QByteArray>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"
#include "richtext/controls/rich_text.h"

namespace {

const std::string kFile = std::string(TAVRIN_CORPUS_DIR) + "/hpj/eudora71/Eudora.rtf";

const std::string& Bytes() {
    static const std::string bytes = [] {
        std::ifstream in(kFile, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }();
    return bytes;
}

double g_bare = 0, g_bars = 0;

gui::TForm* Form() {
    static gui::TForm* form = [] {
        if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
        gui::InitApplication();
        auto* f = new gui::TForm(gui::Application);
        f->SetBounds(0, 0, 800, 600);
        f->Show();
        guitest::ProcessEvents();
        return f;
    }();
    return form;
}

int g_words = 0;

// Walks from the start to the end of the text word by word; returns the
// seconds taken.
double Walk(richtext::TJDRichText& edit) {
    edit.SetCPPosition(0);
    const int end = edit.Engine().TextLength();
    int words = 0;
    auto t0 = std::chrono::steady_clock::now();
    for (int last = -1; edit.GetCPPosition() != last && edit.GetCPPosition() < end; ++words) {
        last = edit.GetCPPosition();
        edit.Engine().WordRight(1, false, true);
    }
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    g_words = words;
    return s;
}

void Run(benchmark::State& state, bool withBars, double& result) {
    richtext::SetProgressQuiet(true);
    gui::TForm* form = Form();
    if (Bytes().empty()) return state.SkipWithError("corpus file missing");
    richtext::TJDToolBar* bar = nullptr;
    richtext::TJDRuler* ruler = nullptr;
    richtext::TJDStatusBarBasic* status = nullptr;
    if (withBars) {
        bar = new richtext::TJDToolBar(form);
        bar->SetParent(form);
        bar->SetBounds(0, 0, 780, 60);
        bar->Setsel_StatusIcons((1u << (richtext::SelCenter + 1)) - 1);
        bar->Setsel_EditIcons((1u << (richtext::SelSpellCheck + 1)) - 1);
        bar->Setsel_ListBoxes((1u << (richtext::SelParColor + 1)) - 1);
        ruler = new richtext::TJDRuler(form);
        ruler->SetParent(form);
        ruler->SetBounds(0, 62, 780, 24);
        status = new richtext::TJDStatusBarBasic(form);
        status->SetParent(form);
        status->SetBounds(0, 570, 780, 22);
        status->Items().Add("80stStatus=");
        status->Items().Add("40stTxtFmt=");
        status->Items().Add("stFileName=");
    }
    auto* edit = new richtext::TJDRichText(form);
    edit->SetParent(form);
    edit->SetBounds(0, 90, 780, 470);
    edit->SetWordWrap(true);
    edit->SetText(Bytes());
    if (withBars) {
        edit->SetJDToolBar(bar);
        edit->SetJDRuler(ruler);
        edit->SetStatusBar(status);
    }
    guitest::ProcessEvents();
    Walk(*edit);  // once untimed: fonts and layout are warm for both
    double total = 0;
    for (auto _ : state) total += Walk(*edit);
    result = total / static_cast<double>(state.iterations());
    delete edit;
    delete bar;
    delete ruler;
    delete status;
}

void BM_WalkWithoutBars(benchmark::State& state) { Run(state, false, g_bare); }
BENCHMARK(BM_WalkWithoutBars)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_WalkWithBars(benchmark::State& state) { Run(state, true, g_bars); }
BENCHMARK(BM_WalkWithBars)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (g_bare > 0 && g_bars > 0)
        std::printf("word walk with bars / without: %.2f (goal <= 2; without %.1f ms, with %.1f ms, %d words)\n",
                    g_bars / g_bare, g_bare * 1000, g_bars * 1000, g_words);
    return 0;
}
