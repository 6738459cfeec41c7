// Stepping the main window's page grid through 1,000 pages cut from the
// corpus project's RTF, the split view's editor showing each, against
// reading the same rows with a plain table and loading each body into a
// headless text engine. Goal: at most 3 times as long.
#include <benchmark/benchmark.h>

#include <QByteArray>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "project/project_tables.h"
#include "editor/forms/main_form.h"
#include "platform/core/paths.h"
#include "data/engine_driver.h"
#include "data/fields.h"
#include "data/tables.h"
#include "platform/core/dialog_service.h"
#include "platform/gui/gui_test_harness.h"
#include "helpbuild/bench/corpus_topics.h"
#include "richtext/view/rtf_text_io.h"

namespace {

namespace fs = std::filesystem;
constexpr int kPages = 1000;
constexpr unsigned kVkDown = 0x28;
fs::path g_root;
double g_grid = 0, g_plain = 0;
editor::TForm1* g_form = nullptr;

// The topics of the corpus project's RTF files as page memos: each file's
// head with one topic's text, stored the way the page editors store it.
std::vector<std::string> Memos() {
    std::vector<std::string> topics = benchtopics::CorpusTopicTexts(TAVRIN_CORPUS_DIR);
    for (std::string& t : topics) t += "}";
    std::vector<std::string> out;
    for (std::size_t i = 0; !topics.empty() && out.size() < kPages; ++i) {
        richtext::TJDRTFTextIo e;
        e.LoadFromString(topics[i % topics.size()]);
        out.push_back(e.SaveToString());
    }
    return out;
}

double Seconds(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

editor::TForm1* Form() {
    if (g_form) return g_form;
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    gui::InitApplication();
    richtext::SetProgressQuiet(true);
    gui::SetDialogService(nullptr);
    g_root = fs::temp_directory_path() / ("tavrin_navigation_bench_" + std::to_string(::getpid()));
    fs::remove_all(g_root);
    fs::create_directories(g_root / "home");
    plat::SetDataHome((g_root / "home").string());
    db::Session().SetDriver(std::make_shared<db::TEngineDriver>());
    editor::InstallProjectTables((g_root / "home").string());
    {
        // The pages go in straight, past the rules.
        db::TTable main(nullptr), pages(nullptr);
        main.DatabaseName = pages.DatabaseName = (g_root / "home").string() + "/";
        main.TableName = editor::kMainTableFile;
        pages.TableName = editor::kItemTableFile;
        main.Open();
        main.Append();
        main.FieldByName("Application")->SetAsString("Bench");
        main.Post();
        pages.Open();
        const std::vector<std::string> memos = Memos();
        for (std::size_t i = 0; i < memos.size(); ++i) {
            pages.Append();
            pages.FieldByName("Application")->SetAsString("Bench");
            pages.FieldByName("HelpId")->SetAsInteger(static_cast<std::int64_t>(i + 1));
            pages.FieldByName("TopicPopup")->SetAsString("T");
            pages.FieldByName("Title")->SetAsString("Topic " + std::to_string(i + 1));
            pages.FieldByName("HelpText")->SetAsString(memos[i]);
            pages.Post();
        }
    }
    g_form = new editor::TForm1(gui::Application);
    g_form->SuppressTipWindow = true;
    g_form->ctx->ProgramDir = (g_root / "home").string();
    g_form->FormCreate();
    g_form->Show();
    guitest::ProcessEvents(20);
    return g_form;
}

void BM_PlainTableAndEngine(benchmark::State& state) {
    Form();
    db::TTable table(nullptr);
    table.DatabaseName = (g_root / "home").string() + "/";
    table.TableName = editor::kItemTableFile;
    table.Open();
    double total = 0;
    int rows = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        rows = 0;
        for (table.First(); !table.Eof(); table.Next()) {
            richtext::TJDRTFTextIo engine;
            engine.LoadFromString(table.FieldByName("HelpText")->AsString());
            benchmark::DoNotOptimize(engine.ParagraphCount());
            ++rows;
        }
        total += Seconds(t0);
    }
    g_plain = total / static_cast<double>(state.iterations());
    state.counters["rows"] = rows;
}
BENCHMARK(BM_PlainTableAndEngine)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_PageGridSteps(benchmark::State& state) {
    editor::TForm1* form = Form();
    form->SetActiveControl(form->detailGrid);
    form->detailGrid->SetFocus();
    double total = 0;
    int rows = 0;
    for (auto _ : state) {
        form->ctx->detailTable->First();
        guitest::ProcessEvents(0);
        auto t0 = std::chrono::steady_clock::now();
        rows = 1;
        while (!form->ctx->detailTable->Eof()) {
            guitest::SendKey(form->detailGrid, kVkDown);
            benchmark::DoNotOptimize(form->HelpText->MemoLoaded());
            if (!form->ctx->detailTable->Eof()) ++rows;
            if (rows > kPages + 5) break;
        }
        total += Seconds(t0);
    }
    g_grid = total / static_cast<double>(state.iterations());
    state.counters["rows"] = rows;
}
BENCHMARK(BM_PageGridSteps)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (g_grid > 0 && g_plain > 0)
        std::printf("page grid steps with the editor / plain table and engine: %.2f (goal <= 3; plain %.1f ms, grid %.1f ms, %d pages)\n",
                    g_grid / g_plain, g_plain * 1000, g_grid * 1000, kPages);
    delete g_form;
    db::Session().SetDriver(nullptr);
    std::filesystem::remove_all(g_root);
    return 0;
}
