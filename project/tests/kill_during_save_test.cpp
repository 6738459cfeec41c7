// A program killed while it saves a large page: a child process starts the
// editor's headless part on the program folder, as the program does, edits
// the page and posts it, and is killed with SIGKILL at a random moment of the
// save. Each restart must open the tables without a question, with the
// project there and the page either as it was or as it was being saved.
//
// TAVRIN_KILL_ROUNDS sets the number of kills (default 20).
#include "project/editor_context.h"
#include "project/page_rules.h"
#include "editor_test_support.h"

#include "data/fields.h"
#include "platform/core/dialog_service.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>

namespace {

using editor::EditorContext;
using db::TValue;

// About a megabyte of page text, the same length for every fill.
std::string Body(char fill) { return "{\\rtf1\\ansi " + std::string(1 << 20, fill) + "\\par }"; }

class KillDuringSave : public ::testing::Test {
protected:
    edtest::ProgramFolder folder;
    gui::ScriptedDialogService dialogs;
    gui::ScopedDialogService scope{dialogs};

    std::unique_ptr<EditorContext> Start() {
        auto ctx = std::make_unique<EditorContext>();
        ctx->ProgramDir = folder.dir;
        ctx->ScreenFonts = {"Arial"};
        ctx->ShowTipOfTheDayWindow = [](bool&) {};
        if (!ctx->FormCreate()) return nullptr;
        editor::InstallPageRules(*ctx);
        ctx->FormShow();
        return ctx;
    }
    static void Stop(std::unique_ptr<EditorContext>& ctx) {
        if (ctx->FormCloseQuery()) ctx->FormClose();
        ctx.reset();
    }
    static bool SelectPage(EditorContext& ctx) {
        if (!ctx.mainTable->FindKey({TValue("Demo")})) return false;
        auto* d = ctx.detailTable;
        for (d->First(); !d->Eof(); d->Next())
            if (d->FieldByName("HelpId")->AsInteger() == 10) return true;
        return false;
    }
    // The save as the editor makes it: edit the page, post it. The child
    // ends without any clean-up when it is not killed first.
    [[noreturn]] void SaveInChild(char fill, int ready) {
        auto ctx = Start();
        if (!ctx || !SelectPage(*ctx)) _exit(3);
        char go = 1;
        if (::write(ready, &go, 1) != 1) _exit(4);
        ctx->detailTable->Edit();
        ctx->detailTable->FieldByName("HelpText")->SetAsString(Body(fill));
        ctx->detailTable->Post();
        _exit(0);
    }
};

TEST_F(KillDuringSave, EachRestartOpensTheProjectWithTheOldOrTheNewPage) {
    {
        auto ctx = Start();
        ASSERT_TRUE(ctx);
        ctx->mainTable->Append();
        ctx->mainTable->FieldByName("Application")->SetAsString("Demo");
        ctx->mainTable->Post();
        ASSERT_TRUE(ctx->mainTable->FindKey({TValue("Demo")}));
        ctx->detailTable->Append();
        ctx->detailTable->FieldByName("HelpId")->SetAsInteger(10);
        ctx->detailTable->FieldByName("Title")->SetAsString("Large page");
        ctx->detailTable->FieldByName("HelpText")->SetAsString(Body('a'));
        ctx->detailTable->Post();
        Stop(ctx);
    }
    int rounds = 20;
    if (const char* env = std::getenv("TAVRIN_KILL_ROUNDS")) rounds = std::max(1, std::atoi(env));
    std::mt19937 rng(std::random_device{}());

    // How long one save takes here, so the kills fall inside it: measured,
    // never asserted.
    auto runChild = [&](char fill, long killAfterMicros) {
        int pipeFds[2];
        EXPECT_EQ(::pipe(pipeFds), 0);
        const pid_t child = fork();
        if (child == 0) {
            ::close(pipeFds[0]);
            SaveInChild(fill, pipeFds[1]);
        }
        ::close(pipeFds[1]);
        char go = 0;
        const bool started = ::read(pipeFds[0], &go, 1) == 1;
        ::close(pipeFds[0]);
        const auto t0 = std::chrono::steady_clock::now();
        if (started && killAfterMicros >= 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(killAfterMicros));
            ::kill(child, SIGKILL);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        const long took =
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0).count();
        EXPECT_TRUE(started) << "the child could not open the project, status " << status;
        return std::pair<int, long>(status, took);
    };
    const auto [firstStatus, saveMicros] = runChild('b', -1);
    ASSERT_TRUE(WIFEXITED(firstStatus) && WEXITSTATUS(firstStatus) == 0) << firstStatus;

    char current = 'b';
    int killedMidSave = 0;
    for (int round = 0; round < rounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const char next = current == 'b' ? 'c' : 'b';
        const long at = std::uniform_int_distribution<long>(0, std::max(1L, saveMicros))(rng);
        const auto [status, took] = runChild(next, at);
        const bool killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
        if (killed) ++killedMidSave;

        dialogs.Clear();
        auto ctx = Start();
        ASSERT_TRUE(ctx) << "the tables did not open after a kill at " << at << " us";
        EXPECT_TRUE(dialogs.Requests().empty()) << dialogs.Requests().front().text;
        ASSERT_TRUE(SelectPage(*ctx)) << "no project or no page after a kill at " << at << " us";
        const std::string body = ctx->detailTable->FieldByName("HelpText")->AsString();
        const bool old = body == Body(current), fresh = body == Body(next);
        EXPECT_TRUE(old || fresh) << "the page is neither old nor new after a kill at " << at << " us, "
                                  << body.size() << " bytes";
        if (!killed) {
            EXPECT_TRUE(fresh) << "a save that ended is lost";
        }
        if (fresh) current = next;
        Stop(ctx);
    }
    std::printf("%d rounds, %d killed during the save (one save took %ld us)\n", rounds, killedMidSave, saveMicros);
}

}  // namespace
