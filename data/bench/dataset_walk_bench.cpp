// Walking a 20,000-row engine table (an integer key, a 40-character title and
// a memo of 2 KB per row) from first to last, in one run:
//   raw        the entry points alone: DbiGetNextRecord until the end, the
//              peer the dataset is measured against;
//   walk       TTable First/Next until Eof;
//   walk+grid  the same with a data link asking for a 25-row window, as a
//              grid does;
//   raw+fields the entry-point loop reading the key and the title of each
//              row (DbiGetField), the peer of
//   walk+fields the walk reading the same two fields through TField.
// A warm-up round each, then rounds of 20 walks in turns; the program prints
// the walks' medians over raw's, and walk+fields over raw+fields. The
// dataset aims at 2 or less on each. --rounds=N sets the rounds.

#include "engine/api/dbi_api.h"
#include "platform/core/paths.h"
#include "data/data_source.h"
#include "data/engine_driver.h"
#include "data/tables.h"
#include "tests/support/bench_rounds.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using namespace db;

namespace {

constexpr int kRows = 20000;

std::filesystem::path g_root;
std::string g_folder;

void CreateTable() {
    g_root = std::filesystem::temp_directory_path() / ("tavrin_walk_bench_" + std::to_string(::getpid()));
    std::filesystem::remove_all(g_root);
    std::filesystem::create_directories(g_root / "home");
    std::filesystem::create_directories(g_root / "data");
    plat::SetDataHome((g_root / "home").string());
    Session().SetDriver(std::make_shared<TEngineDriver>());
    g_folder = (g_root / "data").string() + "/";
    TTable t(nullptr);
    t.DatabaseName = g_folder;
    t.TableName = "Pages";
    t.FieldDefs().Add("Id", ftInteger, 0, true);
    t.FieldDefs().Add("Title", ftString, 40);
    t.FieldDefs().Add("Body", ftMemo);
    t.IndexDefs().Add("", "Id", ixPrimary | ixUnique);
    t.CreateTable();
    t.Open();
    const std::string body = "{\\rtf1\\ansi " + std::string(2048, 'w') + "}";
    // One transaction for the fill: row by row, each post would wait for its own syncs.
    std::uint32_t tr = 0;
    const bool inTransaction = qv::DbiBeginTran(t.DBHandle(), 0, tr) == 0;
    for (int id = 1; id <= kRows; ++id) {
        t.Append();
        t.FieldByName("Id")->SetAsInteger(id);
        t.FieldByName("Title")->SetAsString("Page number " + std::to_string(id));
        t.FieldByName("Body")->SetAsString(body);
        t.Post();
    }
    if (inTransaction && qv::DbiEndTran(t.DBHandle(), tr, 0) != 0) {
        std::fprintf(stderr, "bench_dataset_walk: the filled table could not be committed\n");
        std::exit(1);
    }
    t.Close();
}

// The three walks, each over a table of its own opened once.
struct Walks {
    TTable rawTable{nullptr}, walkTable{nullptr}, gridTable{nullptr}, fieldsTable{nullptr};
    TDataSource source{nullptr};
    TDataLink grid;
    std::vector<std::uint8_t> rec;
    bool wrongCount = false;

    Walks() {
        for (TTable* t : {&rawTable, &walkTable, &gridTable, &fieldsTable}) {
            t->DatabaseName = g_folder;
            t->TableName = "Pages";
        }
        source.SetDataSet(&gridTable);
        grid.SetBufferCount(25);
        grid.SetDataSource(&source);
        for (TTable* t : {&rawTable, &walkTable, &gridTable, &fieldsTable}) t->Open();
        rec.resize(rawTable.RecordSize());
    }
    ~Walks() { grid.SetDataSource(nullptr); }

    void Raw() {
        int n = 0;
        qv::DbiSetToBegin(rawTable.Handle());
        while (qv::DbiGetNextRecord(rawTable.Handle(), 0, rec.data(), nullptr) == 0) ++n;
        if (n != kRows) wrongCount = true;
    }
    void Walk(TTable& t) {
        int n = 0;
        for (t.First(); !t.Eof(); t.Next()) ++n;
        if (n != kRows) wrongCount = true;
    }
    // Both read the key and the title of every row; the sums and lengths
    // are checked so that neither read can be left out.
    void RawFields() {
        std::int64_t sum = 0;
        std::size_t chars = 0;
        char title[128];
        qv::DbiSetToBegin(rawTable.Handle());
        while (qv::DbiGetNextRecord(rawTable.Handle(), 0, rec.data(), nullptr) == 0) {
            std::int32_t id = 0;
            bool blank = true;
            qv::DbiGetField(rawTable.Handle(), 1, rec.data(), &id, &blank);
            qv::DbiGetField(rawTable.Handle(), 2, rec.data(), title, &blank);
            sum += id;
            chars += std::strlen(title);
        }
        Expect(sum, chars);
    }
    void WalkFields() {
        std::int64_t sum = 0;
        std::size_t chars = 0;
        TField* id = fieldsTable.FieldByName("Id");
        TField* title = fieldsTable.FieldByName("Title");
        for (fieldsTable.First(); !fieldsTable.Eof(); fieldsTable.Next()) {
            sum += id->AsInteger();
            chars += title->AsString().size();
        }
        Expect(sum, chars);
    }
    void Expect(std::int64_t sum, std::size_t chars) {
        std::size_t want = 0;
        for (int id = 1; id <= kRows; ++id) want += ("Page number " + std::to_string(id)).size();
        if (sum != std::int64_t{kRows} * (kRows + 1) / 2 || chars != want) wrongCount = true;
    }
};

// A round is several walks: one walk takes about a millisecond, too short
// for the processor-time clock.
template <class F>
void Repeat(F f) {
    for (int i = 0; i < 20; ++i) f();
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = benchrounds::RoundsFromArgs(argc, argv, 15);
    CreateTable();
    int status = 0;
    {
        Walks w;
        const std::vector<benchrounds::Result> r = benchrounds::Run(
            {{"raw", [&] { Repeat([&] { w.Raw(); }); }}, {"walk", [&] { Repeat([&] { w.Walk(w.walkTable); }); }},
             {"walk+grid", [&] { Repeat([&] { w.Walk(w.gridTable); }); }},
             {"raw+fields", [&] { Repeat([&] { w.RawFields(); }); }},
             {"walk+fields", [&] { Repeat([&] { w.WalkFields(); }); }}},
            rounds);
        benchrounds::Print(r, rounds);
        if (w.wrongCount) {
            std::fprintf(stderr, "bench_dataset_walk: a walk did not see %d rows\n", kRows);
            status = 1;
        }
        for (std::size_t i = 1; i <= 2; ++i)
            benchrounds::PrintRatio((r[i].name + " / raw").c_str(), r[i], r[0], "<= 2");
        benchrounds::PrintRatio("walk+fields / raw+fields", r[4], r[3], "<= 2");
    }
    Session().SetDriver(nullptr);
    std::filesystem::remove_all(g_root);
    return status;
}
