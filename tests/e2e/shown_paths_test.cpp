// Paths as the user sees them: with the program folder at a mixed-case
// place, every box and field that names a path shows it natively ("/")
// and in its real letter case, whatever form the code built it in.
#include "editor/forms/lifecycle_forms.h"
#include "editor/options/ui/filter_forms.h"
#include "editor/options/ui/font_forms.h"
#include "editor/options/ui/prefs_form.h"
#include "helpbuild/ui/html_form.h"
#include "project/editor_context.h"
#include "project/project_tables.h"
#include "platform/core/dialog_service.h"
#include "platform/core/paths.h"
#include "data/engine_driver.h"
#include "data/fields.h"
#include "data/tables.h"
#include "platform/gui/gui_test_harness.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace {

namespace fs = std::filesystem;

class ShownPaths : public ::testing::Test {
protected:
    testsupport::TempDir tmp;
    std::string home;
    std::shared_ptr<db::TEngineDriver> driver;
    gui::ScriptedDialogService dialogs;
    gui::ScopedDialogService scope{dialogs};
    std::unique_ptr<editor::EditorContext> ctx;

    void SetUp() override {
        gui::InitApplication();
        home = (tmp.path() / "TavrinHome").string();
        fs::create_directories(home);
        plat::SetDataHome(home);
        driver = std::make_shared<db::TEngineDriver>();
        db::Session().SetDriver(driver);
        editor::InstallProjectTables(home);
        ctx = std::make_unique<editor::EditorContext>();
        ctx->ProgramDir = home;
        ctx->ScreenFonts = {"Arial"};
        ctx->ShowTipOfTheDayWindow = [](bool&) {};
        ASSERT_TRUE(ctx->FormCreate());
        ctx->mainTable->Append();
        ctx->mainTable->FieldByName("Application")->SetAsString("Guide");
        ctx->mainTable->FieldByName("ProjectDir")->SetAsString("Guide");
        ctx->mainTable->Post();
        fs::create_directories(tmp.path() / "TavrinHome" / "Guide");
    }
    void TearDown() override {
        ctx.reset();
        db::Session().SetDriver(nullptr);
        driver.reset();
        plat::SetDataHome("");
    }
    // The text of the box the action raised.
    std::string Box(const std::function<void()>& act) {
        const std::size_t before = dialogs.Requests().size();
        act();
        return dialogs.Requests().size() > before ? dialogs.Last().text : "(no box)";
    }
};

TEST_F(ShownPaths, BoxesAndFieldsShowNativePathsInTheirRealCase) {
    struct Row {
        const char* where;
        std::function<std::string()> shown;
        std::string expected;  // the path it must show
    };
    const std::string help = home + "/Tavrin.hlp";
    const Row rows[] = {
        {"missing help warning", [&] { return Box([&] { ctx->ShowHelp(editor::kHelpContext, 1); }); },
         home + "/Tavrin.HLP not found."},
        {"preferences, Help",
         [&] { return Box([&] { editor::TPrefsForm f(nullptr, *ctx); f.btnHelp->Click(); }); }, help + " not found."},
        {"page filter, Help",
         [&] { return Box([&] { editor::TfrmFilter f(nullptr, *ctx); f.Button3->Click(); }); }, help + " not found."},
        {"font registry, Help",
         [&] { return Box([&] { editor::TfrmFonts f(nullptr, *ctx); f.btnHelp->Click(); }); }, help + " not found."},
        {"new project, Directory",
         [&] {
             editor::TNewAppForm f(nullptr, *ctx);
             f.Show();
             guitest::ProcessEvents(20);
             f.editFilename->SetFocus();
             guitest::TypeText(f.editFilename, "RevGuide");
             guitest::SendKey(f.editFilename, 0x0D);  // Enter leaves the field
             guitest::ProcessEvents(20);
             return f.editDirectory->Text();
         },
         home + "/RevGuide"},
        {"HTML export, output folder",
         [&] {
             buildui::TfrmHtml f(nullptr, *ctx);
             f.Show();
             return f.editDirectory->Text();
         },
         home + "/Guide/Html"},
        {"HTML export, graphics folder",
         [&] {
             buildui::TfrmHtml f(nullptr, *ctx);
             f.Show();
             return f.editGraphicsDir->Text();
         },
         home + "/Guide/Html/Images"},
        {"HTML export, background",
         [&] {
             buildui::TfrmHtml f(nullptr, *ctx);
             f.Show();
             return f.editBackground->Text();
         },
         home + "/bkyellow.gif"},
    };
    for (const Row& r : rows) {
        const std::string shown = r.shown();
        EXPECT_EQ(shown, r.expected) << r.where;
        EXPECT_EQ(shown.find('\\'), std::string::npos) << r.where << ": " << shown;
    }
}

}  // namespace
