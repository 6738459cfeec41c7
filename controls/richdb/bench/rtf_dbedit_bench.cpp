// The data-aware rich-text editor against its peer, in one run: stepping
// through 200 records with RTF bodies while the editor shows each body,
// against stepping through them and reading each body through its field into
// an unbound editor by hand. Goal: at most 1.25 times as long.
#include <benchmark/benchmark.h>

#include <QByteArray>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/core/paths.h"
#include "platform/core/streams.h"
#include "data/engine_driver.h"
#include "data/tables.h"
#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"
#include "controls/richdb/db_rich_text.h"

namespace {

constexpr int kRecords = 200;
std::filesystem::path g_root;
std::string g_folder;
double g_bound = 0, g_unbound = 0;

std::string Body(int id) {
    std::string s = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f1 Courier New;}}\\f0\\fs20 ";
    for (int p = 0; p < 12; ++p) {
        s += "Page " + std::to_string(id) + ", paragraph " + std::to_string(p) + ": some \\b bold\\b0  and \\i italic\\i0 ";
        s += "words with a {\\f1 code} run and a {\\ul jump}{\\v target} in it.\\par ";
    }
    return s + "}";
}

void CreateTable() {
    g_root = std::filesystem::temp_directory_path() / ("tavrin_dbedit_bench_" + std::to_string(::getpid()));
    std::filesystem::remove_all(g_root);
    std::filesystem::create_directories(g_root / "home");
    std::filesystem::create_directories(g_root / "data");
    plat::SetDataHome((g_root / "home").string());
    db::Session().SetDriver(std::make_shared<db::TEngineDriver>());
    g_folder = (g_root / "data").string() + "/";
    db::TTable t(nullptr);
    t.DatabaseName = g_folder;
    t.TableName = "Pages";
    t.FieldDefs().Add("Id", db::ftInteger, 0, true);
    t.FieldDefs().Add("Body", db::ftMemo);
    t.IndexDefs().Add("", "Id", db::ixPrimary | db::ixUnique);
    t.CreateTable();
    t.Open();
    for (int id = 1; id <= kRecords; ++id) {
        t.Append();
        t.FieldByName("Id")->SetAsInteger(id);
        t.FieldByName("Body")->SetAsString(Body(id));
        t.Post();
    }
    t.Close();
}

gui::TForm* Form() {
    static gui::TForm* form = [] {
        if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
        gui::InitApplication();
        richtext::SetProgressQuiet(true);
        CreateTable();
        auto* f = new gui::TForm(gui::Application);
        f->SetBounds(0, 0, 700, 500);
        f->Show();
        guitest::ProcessEvents();
        return f;
    }();
    return form;
}

double Seconds(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void BM_UnboundReadAndLoad(benchmark::State& state) {
    gui::TForm* form = Form();
    db::TTable table(nullptr);
    table.DatabaseName = g_folder;
    table.TableName = "Pages";
    table.Open();
    auto* edit = new richtext::TJDRichText(form);
    edit->SetParent(form);
    edit->SetBounds(0, 0, 680, 480);
    double total = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        for (table.First(); !table.Eof(); table.Next()) {
            plat::MemoryStream s;
            static_cast<db::TBlobField*>(table.FieldByName("Body"))->SaveToStream(s);
            edit->Clear();
            s.Seek(0, plat::SeekOrigin::Begin);
            edit->LoadFromStream(s);
            edit->Invalidate();
        }
        total += Seconds(t0);
    }
    g_unbound = total / static_cast<double>(state.iterations());
    delete edit;
}
BENCHMARK(BM_UnboundReadAndLoad)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_BoundEditorSteps(benchmark::State& state) {
    gui::TForm* form = Form();
    db::TTable table(nullptr);
    table.DatabaseName = g_folder;
    table.TableName = "Pages";
    db::TDataSource source(nullptr);
    source.SetDataSet(&table);
    auto* edit = new richtext::TDBJDRichText(form);
    edit->SetParent(form);
    edit->SetBounds(0, 0, 680, 480);
    edit->SetDataSource(&source);
    edit->SetDataField("Body");
    table.Open();
    double total = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        for (table.First(); !table.Eof(); table.Next()) benchmark::DoNotOptimize(edit->MemoLoaded());
        total += Seconds(t0);
    }
    g_bound = total / static_cast<double>(state.iterations());
    delete edit;
    table.Close();
}
BENCHMARK(BM_BoundEditorSteps)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (g_bound > 0 && g_unbound > 0)
        std::printf("bound editor steps / unbound read and load: %.2f (goal <= 1.25; unbound %.1f ms, bound %.1f ms, %d records)\n",
                    g_bound / g_unbound, g_unbound * 1000, g_bound * 1000, kRecords);
    db::Session().SetDriver(nullptr);
    std::filesystem::remove_all(g_root);
    return 0;
}
