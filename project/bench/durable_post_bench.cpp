// A durable post of one page row through the dataset layer against SQLite
// inserting the same row in a transaction of its own, on the same disk in
// the same run. Our post runs outside any transaction the caller opened, so
// the engine journals it and makes it durable before Post returns; SQLite
// runs a rollback journal (DELETE) with synchronous FULL, the same promise.
// The row is the editor's page row: every field of the page table, with a
// topic text of a few kilobytes in its memo.
//
// Phases, the sides taking turns so that both meet the same disk:
//   post     rounds of 20 single-row posts after a warm-up round, medians
//            (goal: ours / SQLite <= 2);
//   append   10,000 rows appended one durable post at a time, as a user
//            adding pages one by one would, in chunks of 500 (goal: the
//            total, ours / SQLite <= 2).
// --rounds=N sets the post rounds (15), --append N the appended rows.
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "data/engine_driver.h"
#include "data/fields.h"
#include "data/tables.h"
#include "platform/core/paths.h"
#include "project/project_tables.h"
#include "tests/support/bench_rounds.h"

namespace {

constexpr int kPostsPerRound = 20;

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "bench_durable_post: %s\n", what.c_str());
    std::exit(1);
}

using Clock = std::chrono::steady_clock;
double Ms(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

// The values of page `id`: what the editor writes for a new topic.
struct PageRow {
    std::string title, keys, context, text, fullTitle;
    explicit PageRow(int id) {
        title = "Page " + std::to_string(id) + " of the bench project";
        keys = "bench;page " + std::to_string(id);
        context = "IDH_BENCH_" + std::to_string(id);
        fullTitle = title;
        text = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\\pard\\plain\\f0\\fs20 ";
        while (text.size() < 3000) text += "Line of topic " + std::to_string(id) + " text with some words. \\par ";
        text += "}";
    }
};

std::filesystem::path g_root;

// ---- ours -----------------------------------------------------------------------------

struct Ours {
    std::string folder;
    std::unique_ptr<db::TTable> t;

    void Make(const std::string& name) {
        folder = (g_root / name).string() + "/";
        std::filesystem::create_directories(folder);
        editor::InstallProjectTables(folder);
        t = std::make_unique<db::TTable>(nullptr);
        t->DatabaseName = folder;
        t->TableName = editor::kItemTableFile;
        t->Open();
    }
    void Post(int id) {
        const PageRow r(id);
        t->Append();
        t->FieldByName("Application")->SetAsString("Bench");
        t->FieldByName("HelpId")->SetAsInteger(id);
        t->FieldByName("TopicPopup")->SetAsString("T");
        t->FieldByName("Title")->SetAsString(r.title);
        t->FieldByName("HelpText")->SetAsString(r.text);
        t->FieldByName("Keys")->SetAsString(r.keys);
        t->FieldByName("FullTitle")->SetAsString(r.fullTitle);
        t->FieldByName("ContextString")->SetAsString(r.context);
        t->FieldByName("Version")->SetAsString("1");
        t->Post();
    }
    void Close() { t.reset(); }
};

// ---- SQLite ---------------------------------------------------------------------------

struct Peer {
    sqlite3* db = nullptr;
    sqlite3_stmt* insert = nullptr;

    void Exec(const char* sql) {
        if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) Fail(std::string(sql) + ": " + sqlite3_errmsg(db));
    }
    void Make(const std::string& name) {
        std::filesystem::create_directories(g_root / name);
        if (sqlite3_open((g_root / name / "pages.db").c_str(), &db) != SQLITE_OK) Fail("sqlite open");
        Exec("PRAGMA journal_mode=DELETE");
        Exec("PRAGMA synchronous=FULL");
        // The page table's columns, its primary key a unique index of its own.
        Exec("CREATE TABLE item(Application TEXT, HelpId INTEGER, TopicPopup TEXT, Title TEXT, HelpText TEXT,"
             " Keys TEXT, BrowseName TEXT, BrowseId INTEGER, FullTitle TEXT, TitleUserModified TEXT,"
             " BFootnote TEXT, InheritedId INTEGER, InheritedApplication TEXT, InheritedStatus TEXT,"
             " MacroFootnote TEXT, IDHelp TEXT, ContextString TEXT, Indent INTEGER, Prepared TEXT,"
             " AFootnote TEXT, XFootnote TEXT, ModifiedDate REAL, ModifiedTime REAL, Version TEXT,"
             " CompileFor TEXT, Revised TEXT, UserFlag TEXT, UserField TEXT)");
        Exec("CREATE UNIQUE INDEX item_primary ON item(Application, HelpId)");
        if (sqlite3_prepare_v2(db,
                               "INSERT INTO item(Application, HelpId, TopicPopup, Title, HelpText, Keys, FullTitle,"
                               " ContextString, Version) VALUES('Bench', ?, 'T', ?, ?, ?, ?, ?, '1')",
                               -1, &insert, nullptr) != SQLITE_OK)
            Fail("sqlite prepare");
    }
    void Post(int id) {
        const PageRow r(id);
        sqlite3_bind_int(insert, 1, id);
        sqlite3_bind_text(insert, 2, r.title.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 3, r.text.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 4, r.keys.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 5, r.fullTitle.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 6, r.context.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(insert) != SQLITE_DONE) Fail(std::string("sqlite insert: ") + sqlite3_errmsg(db));
        sqlite3_reset(insert);
    }
    void Close() {
        sqlite3_finalize(insert);
        sqlite3_close(db);
        insert = nullptr;
        db = nullptr;
    }
};

int Arg(int argc, char** argv, const char* name, int fallback) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0) return std::max(1, std::atoi(argv[i + 1]));
    return fallback;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = benchrounds::RoundsFromArgs(argc, argv, 15), appendRows = Arg(argc, argv, "--append", 10000);
    g_root = std::filesystem::temp_directory_path() / ("tavrin_post_bench_" + std::to_string(::getpid()));
    std::filesystem::remove_all(g_root);
    std::filesystem::create_directories(g_root / "home");
    plat::SetDataHome((g_root / "home").string());
    db::Session().SetDriver(std::make_shared<db::TEngineDriver>());
    try {
        // Single posts: a round is kPostsPerRound posts of new rows on one
        // side; the sides take turns, after a warm-up round each.
        Ours ours;
        Peer peer;
        ours.Make("post_ours");
        peer.Make("post_peer");
        int oursId = 0, peerId = 0;
        const std::vector<benchrounds::Result> r = benchrounds::Run(
            {{"post x" + std::to_string(kPostsPerRound) + " ours",
              [&] {
                  for (int i = 0; i < kPostsPerRound; ++i) ours.Post(++oursId);
              },
              {},
              {}},
             {"post x" + std::to_string(kPostsPerRound) + " sqlite",
              [&] {
                  for (int i = 0; i < kPostsPerRound; ++i) peer.Post(++peerId);
              },
              {},
              {}}},
            rounds);
        if (ours.t->RecordCount() != oursId) Fail("our table lost posts");
        ours.Close();
        peer.Close();
        benchrounds::Print(r, rounds);
        std::printf("one post: ours %.3f ms, sqlite %.3f ms\n", r[0].medianMs / kPostsPerRound,
                    r[1].medianMs / kPostsPerRound);
        benchrounds::PrintRatio("post: ours / sqlite", r[0], r[1], "<= 2");

        // Appends, each side on a table of its own, in chunks of 500 rows
        // taking turns; the totals are compared.
        Ours ao;
        Peer ap;
        ao.Make("append_ours");
        ap.Make("append_peer");
        double appendOurs = 0, appendPeer = 0;
        for (int from = 1, chunk = 0; from <= appendRows; from += 500, ++chunk) {
            const int to = std::min(appendRows, from + 499);
            auto run = [&](auto& s, double& total) {
                auto t0 = Clock::now();
                for (int i = from; i <= to; ++i) s.Post(i);
                total += Ms(t0, Clock::now());
            };
            if (chunk % 2) {
                run(ao, appendOurs);
                run(ap, appendPeer);
            } else {
                run(ap, appendPeer);
                run(ao, appendOurs);
            }
        }
        if (ao.t->RecordCount() != appendRows) Fail("our table lost appends");
        ao.Close();
        ap.Close();
        std::printf("append %d rows one durable post each: ours %.0f ms, sqlite %.0f ms\n", appendRows, appendOurs,
                    appendPeer);
        std::printf("append: ours / sqlite = %.3f (goal <= 2)\n", appendOurs / appendPeer);
    } catch (const std::exception& e) {
        Fail(e.what());
    }
    db::Session().SetDriver(nullptr);
    plat::SetDataHome("");
    std::filesystem::remove_all(g_root);
    return 0;
}
