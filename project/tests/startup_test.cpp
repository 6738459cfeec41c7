#include "project/editor_context.h"
#include "editor_test_support.h"

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

TEST_F(Startup, ATableThatCannotBeOpenedAsksAndEndsWithTheFileUnchanged) {
    const std::string path = folder.Path("TvrnCNT.QVD");
    std::string garbage(4096, '\0');
    for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>((i * 131 + 7) % 251);
    { std::ofstream(path, std::ios::binary | std::ios::trunc) << garbage; }
    dialogs.Answer(0);  // Help first: the repair page, then the question again
    dialogs.Answer(gui::mrNo);
    auto run = Start();
    EXPECT_FALSE(run->created);
    ASSERT_EQ(dialogs.Requests().size(), 3u);  // question, missing help file, question
    const gui::DialogRequest& q = dialogs.Requests()[0];
    EXPECT_EQ(q.text, editor::kTablesFailedText);
    EXPECT_EQ(q.icon, gui::DialogIcon::Question);
    ASSERT_EQ(q.buttons.size(), 3u);
    EXPECT_EQ(q.buttons[0].result, gui::mrYes);
    EXPECT_EQ(q.buttons[1].result, gui::mrNo);
    EXPECT_EQ(q.buttons[2].caption, "&Help");
    auto help = Contexts(*run->ctx, editor::kHelpContext);
    ASSERT_EQ(help.size(), 1u);
    EXPECT_EQ(help[0].data, 9460);
    EXPECT_EQ(dialogs.Unscripted(), 1);  // the help file's warning
    run.reset();
    EXPECT_EQ(ReadAll(path), garbage);
    EXPECT_FALSE(plat::FileExists(folder.Path("Tavrin.ini")));
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

// The page rules' silent abort is no error to report: a row they dropped
// lets the close go on; a row they refused (having said why) keeps it.
TEST_F(Startup, ASilentAbortOfThePageRulesIsNotReportedAtClose) {
    struct Case {
        const char* what;
        bool dropsRow;
        bool closes;
    };
    auto run = Start();
    EditorContext& ctx = *run->ctx;
    AddProjects(ctx, {"Demo"});
    for (const Case& c : {Case{"dropped", true, true}, Case{"refused", false, false}}) {
        SCOPED_TRACE(c.what);
        ctx.detailTable->Append();
        ctx.detailTable->FieldByName("HelpId")->SetAsInteger(1);
        const bool drops = c.dropsRow;
        ctx.detailTable->BeforePost = [drops](db::TDataSet* t) {
            if (drops) t->Cancel();
            db::Abort();
        };
        std::vector<std::string> reported;
        ctx.ReportError = [&](const std::string& m) { reported.push_back(m); };
        EXPECT_EQ(ctx.FormCloseQuery(), c.closes);
        EXPECT_EQ(reported, std::vector<std::string>{});
        EXPECT_EQ(ctx.detailTable->State(), c.dropsRow ? db::dsBrowse : db::dsInsert);
        ctx.detailTable->BeforePost = nullptr;
        ctx.detailTable->Cancel();
    }
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
