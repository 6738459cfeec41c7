#include "project/editor_context.h"
#include "editor_test_support.h"
#include "project/table_repair.h"

#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/ini_file.h"
#include "data/fields.h"
#include "platform/core/dialog_service.h"
#include "platform/win/message_queue.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using editor::EditorContext;

std::string ReadAll(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class Startup : public ::testing::Test {
protected:
    edtest::ProgramFolder folder;
    gui::ScriptedDialogService dialogs;
    gui::ScopedDialogService scope{dialogs};

    struct Run {
        std::unique_ptr<EditorContext> ctx = std::make_unique<EditorContext>();
        int tips = 0;
        bool created = false;
    };

    // One start of the program: create, show, and the queued messages.
    std::unique_ptr<Run> Start(std::function<void(EditorContext&)> beforeShow = {}) {
        auto run = std::make_unique<Run>();
        EditorContext& ctx = *run->ctx;
        ctx.ProgramDir = folder.dir;
        ctx.ScreenFonts = {"Symbol", "Arial"};
        Run* r = run.get();
        ctx.ShowTipOfTheDayWindow = [r](bool& show) { ++r->tips; };
        run->created = ctx.FormCreate();
        if (!run->created) return run;
        if (beforeShow) beforeShow(ctx);
        ctx.FormShow();
        plat::ProcessMessages();
        return run;
    }
    void Stop(Run& run) {
        ASSERT_TRUE(run.ctx->FormCloseQuery());
        run.ctx->FormClose();
    }
    void AddProjects(EditorContext& ctx, std::initializer_list<const char*> names) {
        for (const char* n : names) {
            ctx.mainTable->Append();
            ctx.mainTable->FieldByName("Application")->SetAsString(n);
            ctx.mainTable->Post();
        }
    }
    std::vector<editor::HelpRequest> Contexts(EditorContext& ctx, unsigned command) {
        std::vector<editor::HelpRequest> out;
        for (const auto& r : ctx.DefaultHelp().Requests())
            if (r.command == command) out.push_back(r);
        return out;
    }
};

TEST_F(Startup, FirstRunShowsTheHelpPageAndTheNextRunTheTip) {
    auto first = Start();
    ASSERT_TRUE(first->created);
    EditorContext& a = *first->ctx;
    EXPECT_TRUE(a.StartupDone);
    EXPECT_EQ(first->tips, 0);
    auto help = Contexts(a, editor::kHelpContext);
    ASSERT_EQ(help.size(), 1u);
    EXPECT_EQ(help[0].data, 2010);
    EXPECT_EQ(help[0].helpFile, plat::JoinPath(folder.dir, "Tavrin.HLP"));
    // No help file ships: the hook says so.
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Last().text, folder.dir + "/Tavrin.HLP not found.");
    EXPECT_EQ(a.TopicColor, 0xFF0000);
    EXPECT_EQ(a.SpellDictionaryName, "British.dct");
    Stop(*first);
    EXPECT_EQ(Contexts(a, editor::kHelpQuit).size(), 1u);
    EXPECT_TRUE(plat::FileExists(folder.Path("tavrin.INI")));
    first.reset();

    auto second = Start();
    ASSERT_TRUE(second->created);
    EXPECT_EQ(second->tips, 1);
    EXPECT_TRUE(Contexts(*second->ctx, editor::kHelpContext).empty());
    Stop(*second);
    second.reset();

    // Switched off in the tip window: the third run shows nothing.
    plat::WritePrivateProfileString("Help", "ShowTipOfTheDay", "0", folder.Path("Tavrin.ini"));
    auto third = Start();
    EXPECT_EQ(third->tips, 0);
    EXPECT_TRUE(Contexts(*third->ctx, editor::kHelpContext).empty());
}

TEST_F(Startup, TheLastProjectIsSelectedAndAnUnknownOneLeavesTheFirstRow) {
    {
        auto run = Start();
        AddProjects(*run->ctx, {"Beta", "Alpha", "Gamma"});
        run->ctx->mainTable->FindKey({db::TValue{std::string("Gamma")}});
        Stop(*run);
    }
    EXPECT_EQ(plat::GetPrivateProfileString("LastWorkingOn", "Project", "", folder.Path("Tavrin.ini")), "Gamma");
    {
        auto run = Start();
        EXPECT_EQ(run->ctx->mainTable->FieldByName("Application")->AsString(), "Gamma");
    }
    plat::WritePrivateProfileString("LastWorkingOn", "Project", "Zeta", folder.Path("Tavrin.ini"));
    auto run = Start();
    EXPECT_EQ(run->ctx->mainTable->FieldByName("Application")->AsString(), "Alpha");
}

// A table whose header is damaged cannot be rebuilt: the start names it,
// says why and what to do instead, and ends with the file as it was.
TEST_F(Startup, ATableWhoseHeaderIsDamagedIsNamedAndTheStartEndsWithTheFileUnchanged) {
    const std::string path = folder.Path("TvrnCNT.QVD");
    std::string garbage(4096, '\0');
    for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>((i * 131 + 7) % 251);
    { std::ofstream(path, std::ios::binary | std::ios::trunc) << garbage; }
    dialogs.Answer(gui::mrOk);
    auto run = Start();
    EXPECT_FALSE(run->created);
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    const gui::DialogRequest& q = dialogs.Requests()[0];
    EXPECT_NE(q.text.find("The table TvrnCNT.QVD in " + folder.dir + " is damaged"), std::string::npos) << q.text;
    EXPECT_NE(q.text.find("cannot be opened"), std::string::npos) << q.text;
    EXPECT_EQ(q.text.find("BDE"), std::string::npos) << q.text;
    EXPECT_EQ(q.icon, gui::DialogIcon::Error);
    ASSERT_EQ(q.buttons.size(), 1u);
    EXPECT_EQ(q.buttons[0].result, gui::mrOk);
    EXPECT_EQ(dialogs.Unscripted(), 0);
    run.reset();
    EXPECT_EQ(ReadAll(path), garbage);
    EXPECT_FALSE(plat::FileExists(folder.Path("TvrnCNT-damaged.QVD")));
    EXPECT_FALSE(plat::FileExists(folder.Path("Tavrin.ini")));
}

// Pages enough to fill many data blocks of the page table, each with a text.
void FillPages(const std::string& folder, int count) {
    db::TTable t(nullptr);
    t.DatabaseName = plat::IncludeTrailingBackslash(folder);
    t.TableName = "TvrnITEM.QVD";
    t.Open();
    for (int i = 1; i <= count; ++i) {
        t.Append();
        t.FieldByName("Application")->SetAsString("Proj");
        t.FieldByName("HelpId")->SetAsInteger(i);
        t.FieldByName("Title")->SetAsString("Page " + std::to_string(i));
        t.FieldByName("HelpText")->SetAsString("text of page " + std::to_string(i) + std::string(300, '.'));
        t.Post();
    }
}

std::vector<std::string> PageTitles(const std::string& folder) {
    db::TTable t(nullptr);
    t.DatabaseName = plat::IncludeTrailingBackslash(folder);
    t.TableName = "TvrnITEM.QVD";
    t.Open();
    std::vector<std::string> out;
    for (t.First(); !t.Eof(); t.Next()) out.push_back(t.FieldByName("Title")->AsString());
    return out;
}

std::uint32_t U32At(const std::string& bytes, std::size_t at) {
    std::uint32_t v = 0;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
}

// The data blocks of a table file by their heads: block number and how many
// live records it holds.
std::vector<std::pair<std::uint32_t, int>> DataBlocks(const std::string& bytes) {
    const std::uint32_t bs = U32At(bytes, 12), slot = U32At(bytes, 52), per = U32At(bytes, 56);
    std::vector<std::pair<std::uint32_t, int>> out;
    for (std::uint32_t n = 1; (n + 1) * static_cast<std::size_t>(bs) <= bytes.size(); ++n) {
        const std::size_t at = static_cast<std::size_t>(n) * bs;
        if (bytes.compare(at, 4, "QVDH") != 0 || U32At(bytes, at + 8) != n) continue;
        int live = 0;
        for (std::uint32_t k = 0; k < per; ++k) live += U32At(bytes, at + 32 + k * slot) == 0;
        out.emplace_back(n, live);
    }
    return out;
}

void WriteAll(const std::string& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
}

// A damaged page table: the start names it and offers the rebuild. Yes
// rebuilds it from the rows that can be read and keeps the damaged file
// beside it; No ends with every file as it was.
TEST_F(Startup, ADamagedPageTableIsNamedAndRebuiltOnYes) {
    constexpr int kPages = 60;
    FillPages(folder.dir, kPages);
    const std::string path = folder.Path("TvrnITEM.QVD");
    const std::string whole = ReadAll(path);
    const auto blocks = DataBlocks(whole);
    ASSERT_GE(blocks.size(), 6u);
    const std::uint32_t bs = U32At(whole, 12);
    struct Case {
        const char* what;
        std::string damaged;
        int answer;
        int lost;  // rows the damage takes; -1: some, not known ahead
    };
    std::string flipped = whole;
    flipped[static_cast<std::size_t>(blocks[2].first) * bs] = 'X';  // a data block's head
    const std::string cut = whole.substr(0, static_cast<std::size_t>(blocks.back().first) * bs);
    const Case cases[] = {
        {"byte flipped, No", flipped, gui::mrNo, 0},
        {"byte flipped, Yes", flipped, gui::mrYes, blocks[2].second},
        {"cut short, Yes", cut, gui::mrYes, -1},
    };
    const std::vector<std::string> titles = PageTitles(folder.dir);
    ASSERT_EQ(titles.size(), static_cast<std::size_t>(kPages));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteAll(path, c.damaged);
        std::filesystem::remove(folder.Path("TvrnITEM-damaged.QVD"));
        dialogs.Clear();
        dialogs.Answer(c.answer);
        dialogs.Answer(gui::mrOk);  // the rebuild's report
        auto run = Start();
        ASSERT_FALSE(dialogs.Requests().empty());
        const gui::DialogRequest& q = dialogs.Requests()[0];
        EXPECT_NE(q.text.find("The table TvrnITEM.QVD in " + folder.dir + " is damaged"), std::string::npos)
            << q.text;
        EXPECT_NE(q.text.find("TvrnITEM-damaged.QVD"), std::string::npos) << q.text;
        EXPECT_EQ(q.text.find("BDE"), std::string::npos) << q.text;
        EXPECT_EQ(q.icon, gui::DialogIcon::Question);
        std::vector<int> buttons;
        for (const auto& b : q.buttons) buttons.push_back(b.result);
        EXPECT_EQ(buttons, (std::vector<int>{gui::mrYes, gui::mrNo, 0}));
        if (c.answer == gui::mrNo) {
            EXPECT_FALSE(run->created);
            EXPECT_EQ(dialogs.Requests().size(), 1u);
            run.reset();
            EXPECT_EQ(ReadAll(path), c.damaged);
            EXPECT_FALSE(plat::FileExists(folder.Path("TvrnITEM-damaged.QVD")));
            continue;
        }
        ASSERT_TRUE(run->created);
        ASSERT_GE(dialogs.Requests().size(), 2u);
        EXPECT_NE(dialogs.Requests()[1].text.find("TvrnITEM-damaged.QVD"), std::string::npos)
            << dialogs.Requests()[1].text;
        EXPECT_TRUE(run->ctx->detailTable->Active());
        Stop(*run);
        run.reset();
        EXPECT_EQ(ReadAll(folder.Path("TvrnITEM-damaged.QVD")), c.damaged);
        const std::vector<std::string> kept = PageTitles(folder.dir);
        if (c.lost >= 0) {
            EXPECT_EQ(kept.size(), titles.size() - static_cast<std::size_t>(c.lost));
        } else {
            EXPECT_GT(kept.size(), 0u);
            EXPECT_LT(kept.size(), titles.size());
        }
        for (const std::string& t : kept)
            EXPECT_NE(std::find(titles.begin(), titles.end(), t), titles.end()) << t;
        EXPECT_FALSE(editor::FindDamagedTable(folder.dir).has_value());
        // The next start asks nothing more.
        dialogs.Clear();
        auto again = Start();
        EXPECT_TRUE(again->created);
        for (const auto& r : dialogs.Requests()) EXPECT_EQ(r.text.find("damaged"), std::string::npos) << r.text;
        again.reset();
        WriteAll(path, whole);
    }
}

// Another program holding the folder's tables: its lock on a table file is
// what a second instance meets, so a lock taken here is the same to the engine.
class HeldTable {
public:
    explicit HeldTable(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_CLOEXEC)) {
        if (fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) != 0) Release();
    }
    ~HeldTable() { Release(); }
    bool Held() const { return fd_ >= 0; }
    void Release() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

// Releases the table when asked for the `releaseAt`-th time, then answers
// from the script: the other program closed while the question was up.
class ReleasingDialogs : public gui::ScriptedDialogService {
public:
    HeldTable* held = nullptr;
    std::size_t releaseAt = 0;
    gui::DialogReply Run(const gui::DialogRequest& r) override {
        if (held && Requests().size() + 1 == releaseAt) held->Release();
        return gui::ScriptedDialogService::Run(r);
    }
};

TEST_F(Startup, TablesHeldByAnotherProgramSayInUseAndWaitOrClose) {
    struct Case {
        const char* what;
        const char* file;
        std::vector<int> answers;  // to each question in turn
        std::size_t releaseAt;     // the question at which the other program ends; 0: never
        bool created;
    };
    const Case cases[] = {
        {"close at once", "TvrnITEM.QVD", {gui::mrCancel}, 0, false},
        {"wait while still held, then close", "TvrnCNT.QVD", {gui::mrRetry, gui::mrCancel}, 0, false},
        {"wait until the other program ends", "TvrnITEM.QVD", {gui::mrRetry}, 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ReleasingDialogs answers;
        gui::ScopedDialogService answering{answers};
        HeldTable held(folder.Path(c.file));
        ASSERT_TRUE(held.Held());
        answers.held = &held;
        answers.releaseAt = c.releaseAt;
        for (int a : c.answers) answers.Answer(a);
        const std::string before = ReadAll(folder.Path(c.file));
        auto run = Start();
        EXPECT_EQ(run->created, c.created);
        // A start that goes on is a first run: its help page warns of the
        // missing help file after the questions.
        const std::vector<gui::DialogRequest>& asked = answers.Requests();
        ASSERT_EQ(asked.size(), c.answers.size() + (c.created ? 1 : 0));
        EXPECT_EQ(answers.Unscripted(), c.created ? 1 : 0);
        if (c.created) {
            EXPECT_EQ(asked.back().text, plat::DisplayPath(folder.Path("Tavrin.HLP")) + " not found.");
        }
        for (std::size_t i = 0; i < c.answers.size(); ++i) {
            const gui::DialogRequest& q = asked[i];
            EXPECT_NE(q.text, editor::kTablesFailedText);
            EXPECT_EQ(q.text.find("Repair"), std::string::npos) << q.text;
            EXPECT_NE(q.text.find(folder.dir), std::string::npos) << q.text;
            EXPECT_NE(q.text.find("in use"), std::string::npos) << q.text;
            std::vector<int> results;
            for (const auto& b : q.buttons) results.push_back(b.result);
            EXPECT_EQ(results, (std::vector<int>{gui::mrCancel, gui::mrRetry}));
        }
        if (c.created) {
            EXPECT_TRUE(run->ctx->mainTable->Active());
            Stop(*run);
        }
        run.reset();
        held.Release();
        if (!c.created) {
            EXPECT_EQ(ReadAll(folder.Path(c.file)), before);
        }
    }
}

TEST_F(Startup, APostThatFailsRefusesTheClose) {
    auto run = Start();
    EditorContext& ctx = *run->ctx;
    AddProjects(ctx, {"Demo"});
    ctx.detailTable->Append();
    ctx.detailTable->FieldByName("HelpId")->SetAsInteger(1);
    ctx.detailTable->BeforePost = [](db::TDataSet*) { throw db::EDatabaseError("Title is missing"); };
    std::string reported;
    ctx.ReportError = [&](const std::string& m) { reported = m; };
    EXPECT_FALSE(ctx.FormCloseQuery());
    EXPECT_EQ(reported, "Title is missing");
    EXPECT_EQ(ctx.detailTable->State(), db::dsInsert);
    ctx.detailTable->BeforePost = nullptr;
    EXPECT_TRUE(ctx.FormCloseQuery());
    EXPECT_EQ(ctx.detailTable->State(), db::dsBrowse);
}

TEST_F(Startup, OnlyTheFirstThreeGridColumnsKeepTheirLayout) {
    // Layouts saved for fields 0 to 20 (after a close that saved them all).
    const std::string ini = folder.Path("Tavrin.ini");
    {
        auto run = Start();
        EditorContext& ctx = *run->ctx;
        for (int i = 0; i <= 20; ++i) ctx.detailTable->Fields(i)->SetDisplayWidth(40 + i);
        Stop(*run);
    }
    EXPECT_EQ(plat::GetPrivateProfileString("SplitView", "HelpIdGrid_Field_2", "", ini).substr(0, 7), "TopicPo");
    EXPECT_EQ(plat::GetPrivateProfileString("SplitView", "HelpIdGrid_Field_3", "x", ini), "");
    EXPECT_NE(plat::GetPrivateProfileString("SplitView", "HelpIdGrid_Field_17", "", ini), "");
    auto run = Start();
    EditorContext& ctx = *run->ctx;
    for (int i = 0; i <= 2; ++i) EXPECT_EQ(ctx.detailTable->Fields(i)->DisplayWidth(), 40 + i) << i;
    for (int i = 3; i <= 20; ++i) EXPECT_NE(ctx.detailTable->Fields(i)->DisplayWidth(), 40 + i) << i;
}

TEST_F(Startup, TheFontListCheckComparesTheSortedScreenFonts) {
    plat::WritePrivateProfileString("IDE", "UseFontRegistry", "0", folder.Path("Tavrin.ini"));
    auto run = Start();
    EditorContext& ctx = *run->ctx;
    EXPECT_EQ(ctx.memoScreenFonts, (std::vector<std::string>{"Arial", "Symbol"}));
    EXPECT_FALSE(ctx.FontsUnchanged);
    Stop(*run);
    EXPECT_EQ(plat::TIniFile(folder.Path("Tavrin.ini")).ReadSection("FontList"),
              (std::vector<std::string>{"Arial", "Symbol"}));
    run.reset();
    auto again = Start();
    EXPECT_TRUE(again->ctx->FontsUnchanged);
    again->ctx->ScreenFonts = {"Arial"};
    again->ctx->memoScreenFonts = {"Arial"};
    Stop(*again);
    EXPECT_TRUE(plat::TIniFile(folder.Path("Tavrin.ini")).ReadSection("FontList").empty());
}

TEST_F(Startup, TheConverterInTheProgramFolderGetsItsDefaults) {
    {
        auto run = Start();
        EXPECT_FALSE(run->ctx->ConverterPresent);
        EXPECT_FALSE(plat::FileExists(plat::JoinPath(plat::WindowsDir(), "Rendlow.ini")));
    }
    { std::ofstream(folder.Path("rendlow32")) << "#!/bin/sh\nexit 2\n"; }
    std::filesystem::permissions(folder.Path("rendlow32"), std::filesystem::perms::owner_all);
    auto run = Start();
    EXPECT_TRUE(run->ctx->ConverterPresent);
    EXPECT_EQ(plat::GetPrivateProfileString("Options", "WordProcessor", "", "Rendlow.ini"), "1");
}

TEST_F(Startup, ThePasteGuardPostsTheHeaderRepair) {
    auto run = Start();
    EditorContext& ctx = *run->ctx;
    int repairs = 0;
    ctx.AfterPaste = [&] { ++repairs; };
    bool allow = false;
    ctx.HelpTextBeforePasteEvent(allow);
    EXPECT_TRUE(allow);
    EXPECT_EQ(repairs, 0);  // after the paste, through the queue
    plat::ProcessMessages();
    EXPECT_EQ(repairs, 1);
}

}  // namespace
