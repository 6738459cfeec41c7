// Stepping the main window's page grid through 1,000 pages cut from the
// corpus project's RTF, the split view's editor showing each, against
// reading the same rows with a plain table and loading each body into a
// headless text engine. Goal: at most 3 times as long. A warm-up round each,
// then rounds in turns (--rounds=N, default 9); medians.
#include <benchmark/benchmark.h>

#include <QByteArray>

#include <unistd.h>

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
#include "tests/support/bench_rounds.h"

namespace {

namespace fs = std::filesystem;
constexpr int kPages = 1000;
constexpr unsigned kVkDown = 0x28;
fs::path g_root;
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

// Reads every page with a plain table, loading each body into a text engine.
struct PlainWalk {
    db::TTable table{nullptr};
    int rows = 0;
    PlainWalk() {
        table.DatabaseName = (g_root / "home").string() + "/";
        table.TableName = editor::kItemTableFile;
        table.Open();
    }
    void Run() {
        rows = 0;
        for (table.First(); !table.Eof(); table.Next()) {
            richtext::TJDRTFTextIo engine;
            engine.LoadFromString(table.FieldByName("HelpText")->AsString());
            benchmark::DoNotOptimize(engine.ParagraphCount());
            ++rows;
        }
    }
};

// Steps the focused page grid from the first page to the last with the Down
// key. One more Down on the last row would append a blank page, which the
// page rules refuse when the grid next leaves it, so the walk stops there.
struct GridWalk {
    editor::TForm1* form;
    int rows = 0;
    bool endedInBrowse = true;
    explicit GridWalk(editor::TForm1* f) : form(f) {
        form->SetActiveControl(form->detailGrid);
        form->detailGrid->SetFocus();
    }
    void Start() {
        form->ctx->detailTable->First();
        guitest::ProcessEvents(0);
    }
    void Run() {
        db::TDataSet* pages = form->ctx->detailTable;
        rows = 1;
        for (int i = 1; i < kPages; ++i) {
            guitest::SendKey(form->detailGrid, kVkDown);
            benchmark::DoNotOptimize(form->HelpText->MemoLoaded());
            ++rows;
        }
        if (pages->State() != db::dsBrowse || pages->FieldByName("HelpId")->AsInteger() != kPages)
            endedInBrowse = false;
    }
};

}  // namespace

int main(int argc, char** argv) {
    const int rounds = benchrounds::RoundsFromArgs(argc, argv, 9);
    editor::TForm1* form = Form();
    int status = 0;
    {
        PlainWalk plain;
        GridWalk grid(form);
        const std::vector<benchrounds::Result> r =
            benchrounds::Run({{"plain table and engine", [&] { plain.Run(); }},
                              {"page grid steps", [&] { grid.Run(); }, [&] { grid.Start(); }}},
                             rounds);
        benchrounds::Print(r, rounds);
        if (plain.rows != kPages || grid.rows != kPages || !grid.endedInBrowse) {
            std::fprintf(stderr, "bench_editor_navigation: the walks saw %d and %d pages of %d%s\n", plain.rows,
                         grid.rows, kPages, grid.endedInBrowse ? "" : ", the grid did not end on the last page");
            status = 1;
        }
        benchrounds::PrintRatio("page grid steps with the editor / plain table and engine", r[1], r[0], "<= 3");
    }
    delete g_form;
    db::Session().SetDriver(nullptr);
    std::filesystem::remove_all(g_root);
    return status;
}
