// The build commands restore what they changed on every way out: a refused
// post, a build that throws, a build that succeeds.
#include "helpbuild/tables/table_build_project.h"
#include "editor/commands/compile_commands.h"
#include "editor/commands/tests/commands_fixture.h"
#include "platform/core/exceptions.h"
#include "platform/core/files.h"
#include "tests/support/test_support.h"

#include <stdexcept>

namespace {

using namespace cmdtest;

struct Compile : CommandsFixture {
    editor::CompileHooks hooks;
    int detached = 0, reattached = 0;
    std::vector<bool> cursors;
    std::vector<std::string> graphics;

    Compile() {
        fs::copy_file(FAKE_HELP_TOOL, home.Path("hcw"));
        fs::copy_file(FAKE_HELP_TOOL, home.Path("WinHlp32"));
        hooks.env = build::MakeBuildEnvironment(*ctx);
        hooks.env.showOptionsDialog = [] { return true; };
        hooks.detachEditors = [this] { ++detached; };
        hooks.reattachEditors = [this] { ++reattached; };
        hooks.setBusyCursor = [this](bool b) { cursors.push_back(b); };
        hooks.setGraphicsFolder = [this](const std::string& g) { graphics.push_back(g); };
        ctx->mainTable->Edit();
        ctx->mainTable->FieldByName("AutogeneratePRJfile")->SetAsString("Y");
        ctx->mainTable->Post();
        for (int id : {1000, 2000, 3000}) AddPage(id);
        GoTo(2000);
    }
    void AddPage(int id) {
        db::TDataSet* d = ctx->detailTable;
        d->Append();
        d->FieldByName("HelpId")->SetAsInteger(id);
        d->FieldByName("TopicPopup")->SetAsString("T");
        d->FieldByName("Title")->SetAsString("Page " + std::to_string(id));
        d->FieldByName("HelpText")->SetAsString("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\plain text\\par}");
        d->FieldByName("TitleUserModified")->SetAsString("N");
        d->Post();
    }
    void GoTo(int id) {
        db::TDataSet* d = ctx->detailTable;
        for (d->First(); !d->Eof() && d->FieldByName("HelpId")->AsInteger() != id;) d->Next();
    }
    int Current() { return ctx->detailTable->FieldByName("HelpId")->AsInteger(); }
    void ExpectRestored(const std::string& cwd) {
        EXPECT_EQ(detached, 1);
        EXPECT_EQ(reattached, 1);
        EXPECT_EQ(plat::GetCurrentDir(), cwd);
        EXPECT_FALSE(ctx->detailTable->ControlsDisabled());
        EXPECT_EQ(Current(), 2000);
        ASSERT_FALSE(cursors.empty());
        EXPECT_FALSE(cursors.back());
        EXPECT_EQ(graphics.size(), 1u);
    }
};

TEST_F(Compile, ABuildThatThrowsStillRestoresEverything) {
    const std::string cwd = plat::GetCurrentDir();
    hooks.env.showOptionsDialog = [this]() -> bool {
        plat::SetCurrentDir(folder);
        ctx->detailTable->First();
        throw std::runtime_error("options dialog failed");
    };
    EXPECT_THROW(editor::FullCompileCommand(*ctx, hooks, true), std::runtime_error);
    ExpectRestored(cwd);
}

TEST_F(Compile, ARefusedPostShowsTheBoxAndRunsNoBuild) {
    const std::string cwd = plat::GetCurrentDir();
    ctx->detailTable->Edit();
    ctx->detailTable->FieldByName("Title")->SetAsString("changed");
    ctx->detailTable->BeforePost = [](db::TDataSet*) { throw plat::Exception("refused by a page rule"); };
    int optionDialogs = 0;
    hooks.env.showOptionsDialog = [&] { return ++optionDialogs, true; };
    EXPECT_EQ(editor::FullCompileCommand(*ctx, hooks, true), build::BuildOutcome::Refused);
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Last().text, "Your latest changes could not be saved.");
    EXPECT_EQ(dialogs.Last().caption, " If this problem persists, try Alt+Backspace to undo changes.");
    EXPECT_EQ(optionDialogs, 0);
    EXPECT_FALSE(fs::exists(folder + "/demo.rtf"));
    EXPECT_EQ(reattached, 1);
    EXPECT_EQ(plat::GetCurrentDir(), cwd);
    EXPECT_FALSE(ctx->detailTable->ControlsDisabled());
    ctx->detailTable->BeforePost = nullptr;
    ctx->detailTable->Cancel();
}

TEST_F(Compile, FullAndPartialBuildsComeBackToThePage) {
    const std::string cwd = plat::GetCurrentDir();
    EXPECT_EQ(editor::FullCompileCommand(*ctx, hooks, false), build::BuildOutcome::Compiled);
    EXPECT_TRUE(fs::exists(folder + "/demo.HLP")) << testsupport::ReadFileBytes(folder + "/demo.ERR");
    ExpectRestored(cwd);
    cursors.clear();
    EXPECT_EQ(editor::PartialCompileCommand(*ctx, hooks), build::BuildOutcome::Compiled);
    EXPECT_EQ(cursors, (std::vector<bool>{true, false}));
    EXPECT_EQ(plat::GetCurrentDir(), cwd);
}

// After a build the page editors get the project's graphics folder as a
// change of project gives it: absolute as stored, relative to the program
// folder when that folder exists, else none.
TEST_F(Compile, TheGraphicsFolderAfterABuildIsResolvedAsOnAChangeOfProject) {
    fs::create_directories(home.Path("pics"));
    const struct {
        std::string stored, given;
    } cases[] = {
        {"pics", plat::JoinPath(home.dir, "pics")},
        {"nothere", ""},
        {folder, folder},
        {"", ""},
    };
    for (const auto& c : cases) {
        ctx->mainTable->Edit();
        ctx->mainTable->FieldByName("GraphicsDir")->SetAsString(c.stored);
        ctx->mainTable->Post();
        graphics.clear();
        editor::FullCompileCommand(*ctx, hooks, false);
        ASSERT_EQ(graphics.size(), 1u) << c.stored;
        EXPECT_EQ(plat::NativePath(graphics[0]), plat::NativePath(c.given)) << c.stored;
    }
}

TEST_F(Compile, BeforeTheExportWizardPageAndProjectArePostedEvenWhenThePageRefuses) {
    ctx->mainTable->Edit();
    ctx->mainTable->FieldByName("HelpTitle")->SetAsString("New Title");
    ctx->detailTable->Edit();
    ctx->detailTable->FieldByName("Title")->SetAsString("changed");
    ctx->detailTable->BeforePost = [](db::TDataSet*) { throw plat::Exception("refused"); };
    editor::PostPageAndProject(*ctx);
    EXPECT_EQ(ctx->mainTable->State(), db::dsBrowse);
    EXPECT_EQ(ctx->mainTable->FieldByName("HelpTitle")->AsString(), "New Title");
    EXPECT_EQ(ctx->detailTable->State(), db::dsEdit);  // left for the user
    ctx->detailTable->BeforePost = nullptr;
    ctx->detailTable->Cancel();
}

}  // namespace
