// Editing a 100 KB memo beside Qt's plain-text editor on the same key
// script, and a grid's Ctrl+End / Ctrl+Home at 2,000 and at 200,000 rows,
// in one run; the ratios are printed at the end. Keys go in as Qt key
// events and the loop runs after each script, so both sides repaint.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPlainTextEdit>

#include <cstdio>
#include <map>
#include <string>

#include "platform/gui/edits.h"
#include "platform/gui/forms.h"
#include "platform/gui/graphics.h"
#include "platform/gui/grids.h"
#include "platform/gui/gui_test_harness.h"

namespace {

using namespace gui;

// Paragraphs of a few wrapped lines, as a help page's plain text has them.
std::string PageText(std::size_t bytes, const char* lineEnd) {
    static const char* const kSentences[] = {
        "The topic list shows every page of the project with its title and context string. ",
        "Choose a page and press Enter to open it in the editor. ",
        "Links to other pages are underlined; a popup link shows its page in a small window. ",
        "Keywords gathered from all pages make up the index that readers search. ",
    };
    std::string t;
    for (std::size_t i = 0; t.size() < bytes; ++i) {
        t += kSentences[i % 4];
        if (i % 5 == 4) t += lineEnd;
    }
    return t;
}

void SendQtKey(QWidget* w, int key, const QString& text = {}) {
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(w, &down);
    QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(w, &up);
}

// One script: type a letter, step left and right, delete the letter.
void MemoScript(benchmark::State& state, std::size_t bytes) {
    auto* form = new TForm(Application);
    form->SetBounds(0, 0, 440, 340);
    auto* memo = new TMemo(form);
    memo->SetParent(form);
    memo->SetBounds(10, 10, 400, 300);
    form->Show();
    std::string text = PageText(bytes, "\r\n");
    memo->SetText(text);
    memo->SetFocus();
    memo->SetSelStart(static_cast<int>(text.size() / 2));
    guitest::ProcessEvents();
    for (auto _ : state) {
        guitest::TypeText(memo, "x");
        guitest::SendKey(memo, VK_LEFT);
        guitest::SendKey(memo, VK_RIGHT);
        guitest::SendKey(memo, VK_BACK);
        guitest::ProcessEvents();
    }
    delete form;
}

void PlainTextScript(benchmark::State& state, std::size_t bytes) {
    QPlainTextEdit edit;
    edit.resize(400, 300);
    QFont font("Liberation Sans");
    font.setPixelSize(11);
    edit.setFont(font);
    edit.show();
    std::string text = PageText(bytes, "\n");
    edit.setPlainText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    edit.setFocus();
    QTextCursor c = edit.textCursor();
    c.setPosition(static_cast<int>(text.size() / 2));
    edit.setTextCursor(c);
    guitest::ProcessEvents();
    for (auto _ : state) {
        SendQtKey(&edit, Qt::Key_X, "x");
        SendQtKey(&edit, Qt::Key_Left);
        SendQtKey(&edit, Qt::Key_Right);
        SendQtKey(&edit, Qt::Key_Backspace);
        guitest::ProcessEvents();
    }
}

void GridJumps(benchmark::State& state, int rows) {
    auto* form = new TForm(Application);
    form->SetBounds(0, 0, 440, 340);
    auto* grid = new TStringGrid(form);
    grid->SetParent(form);
    grid->SetBounds(10, 10, 400, 300);
    grid->SetRowCount(rows);
    form->Show();
    grid->SetFocus();
    guitest::ProcessEvents();
    for (auto _ : state) {
        guitest::SendKey(grid, VK_END, ssCtrl);
        guitest::SendKey(grid, VK_HOME, ssCtrl);
        guitest::ProcessEvents();
    }
    delete form;
}

// Measuring the words of a page on a canvas, as grids and lists do for every
// cell, against Qt's metrics built once for the same font.
const char* const kWords[] = {"topic", "context", "keywords", "Browse", "popup", "Contents", "index", "Jump"};

void CanvasMeasure(benchmark::State& state) {
    TBitmap b(10, 10);
    TCanvas& c = b.Canvas();
    c.Font().SetName("Arial");
    c.Font().SetSize(9);
    int sum = 0;
    for (auto _ : state)
        for (const char* w : kWords) sum += c.TextWidth(w);
    benchmark::DoNotOptimize(sum);
}

void QtMeasure(benchmark::State& state) {
    QFont font("Liberation Sans");
    font.setPixelSize(12);
    QFontMetrics fm(font);
    int sum = 0;
    for (auto _ : state)
        for (const char* w : kWords) sum += fm.horizontalAdvance(QString::fromLatin1(w));
    benchmark::DoNotOptimize(sum);
}

// Remembers each benchmark's time per iteration for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> times;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) times[r.benchmark_name()] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    void Ratio(const char* what, const std::string& a, const std::string& b) const {
        auto x = times.find(a), y = times.find(b);
        if (x != times.end() && y != times.end() && y->second > 0)
            std::printf("%-40s %.2f\n", what, x->second / y->second);
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    InitApplication();
    for (std::size_t kb : {100u, 1000u}) {
        std::string size = std::to_string(kb) + "KB";
        benchmark::RegisterBenchmark(("memo_keys/ours/" + size).c_str(), MemoScript, kb * 1000)->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("memo_keys/QPlainTextEdit/" + size).c_str(), PlainTextScript, kb * 1000)
            ->Unit(benchmark::kMicrosecond);
    }
    benchmark::RegisterBenchmark("grid_ctrl_end_home/2000", GridJumps, 2000)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("grid_ctrl_end_home/200000", GridJumps, 200000)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("measure_words/canvas", CanvasMeasure)->Unit(benchmark::kNanosecond);
    benchmark::RegisterBenchmark("measure_words/QFontMetrics", QtMeasure)->Unit(benchmark::kNanosecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.Ratio("memo keys at 100 KB, ours/QPlainTextEdit", "memo_keys/ours/100KB", "memo_keys/QPlainTextEdit/100KB");
    reporter.Ratio("memo keys at 1 MB, ours/QPlainTextEdit", "memo_keys/ours/1000KB", "memo_keys/QPlainTextEdit/1000KB");
    reporter.Ratio("grid jumps, 200,000 rows / 2,000 rows", "grid_ctrl_end_home/200000", "grid_ctrl_end_home/2000");
    reporter.Ratio("measuring words, canvas/QFontMetrics", "measure_words/canvas", "measure_words/QFontMetrics");
    benchmark::Shutdown();
    return 0;
}
