// The checks before a build as a table: each bad input gives its exact
// caption and text and stops the build; the automatic switch to 16 bit.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "helpbuild/build_driver.h"
#include "helpbuild/tests/memory_project.h"
#include "platform/core/paths.h"
#include "platform/core/dialog_service.h"
#include "tests/support/test_support.h"

namespace {

using namespace build;
namespace fs = std::filesystem;

const std::string kAmend = " Please amend it from Tools | Project Options | Compiler Options.";

struct Fixture {
    testsupport::TempDir home;
    buildtest::MemoryProject project;
    BuildEnvironment env;
    gui::ScriptedDialogService dialogs;
    std::string focused;

    Fixture() {
        plat::SetDataHome(home.path().string());
        testsupport::WriteFileBytes(home / "hcw", "");
        testsupport::WriteFileBytes(home / "HCP.EXE", "");
        fs::create_directories(home / "proj");
        project.fields.application = "Demo";
        project.fields.helpTitle = "Demo Help";
        project.fields.dosName = "demo";
        project.fields.name16 = "demo16";
        project.fields.compile = "32";
        project.fields.projectDir = "proj";
        PageRow first;
        first.helpId = 1;
        first.topicPopup = "T";
        project.pages.push_back(first);
        env.focusControl = [this](const std::string& c) { focused = c; };
    }
    ~Fixture() { plat::SetDataHome(""); }

    bool RunChecks() {
        gui::ScopedDialogService scope(dialogs);
        return CheckProjectBeforeCompile(project, env) && CheckProjectDirectories(project, env) &&
               CheckFirstPageIsTopic(project, env);
    }
};

struct Case {
    const char* name;
    std::function<void(Fixture&)> setUp;
    std::string caption, text, focus;
};

TEST(BuildChecks, EachBadInputGivesItsWarningAndStops) {
    const std::string shortPaths = "You cannot compile for 16bit when you have long file names in your ";
    const Case cases[] = {
        {"pending edits", [](Fixture& f) { f.project.postFails = true; }, "Warning",
         "An attempt was made to save your changes, but failed. Please save all changes or undo using Escape ro "
         "Alt+Backspace.",
         ""},
        {"no project name", [](Fixture& f) { f.project.fields.application = ""; }, "No Name",
         "You need a Project name before you can compile.", ""},
        {"no help title", [](Fixture& f) { f.project.fields.helpTitle = ""; }, "No Title",
         "You need a Help Title before you can compile.", "HelpTitleFld"},
        {"no file name", [](Fixture& f) { f.project.fields.dosName = ""; }, "No File name",
         "You need a [File name] before you can compile.", "DosNameFld"},
        {"no 16-bit file name",
         [](Fixture& f) {
             f.project.fields.compile = "16";
             f.project.fields.name16 = "";
         },
         "No File name", "You need a [File name] before you can compile.", "DosNameFld"},
        {"16-bit name over 8 characters",
         [](Fixture& f) {
             f.project.fields.compile = "16";
             f.project.fields.name16 = "ninechars";
         },
         "Warning",
         "Your File Name is greater than 8 characters. Windows 3.x will only allow a maximum of 8 characters. Please "
         "amend it or change your Compiler to Win95 in Options.",
         ""},
        {"switch to 16 bit cannot be saved",
         [](Fixture& f) {
             fs::remove(f.home / "hcw");
             f.project.setCompileFails = true;
         },
         "Warning",
         "An unsuccessfl attempt was made to change your Compile settings from 32bit to 16bit. You will need to change "
         "them manually from the Project Options screen.",
         ""},
        {"project folder gone", [](Fixture& f) { f.project.fields.projectDir = "gone"; }, "Warning",
         "Your Project directory no longer exists." + kAmend, ""},
        {"graphics folder gone", [](Fixture& f) { f.project.fields.graphicsDir = "pics"; }, "Warning",
         "Your Graphics directory no longer exists." + kAmend, ""},
        {"16 bit, blank in the project folder",
         [](Fixture& f) {
             fs::create_directories(f.home / "my proj");
             f.project.fields.compile = "16";
             f.project.fields.projectDir = "my proj";
         },
         "Warning", shortPaths + "Project directory path." + kAmend, ""},
        {"16 bit, blank in the graphics folder",
         [](Fixture& f) {
             fs::create_directories(f.home / "my pics");
             f.project.fields.compile = "16";
             f.project.fields.graphicsDir = "my pics";
         },
         "Warning", shortPaths + "Project Graphics directory path." + kAmend, ""},
        {"16 bit, nine characters in the project folder",
         [](Fixture& f) {
             fs::create_directories(f.home / "a" / "projectsx");
             f.project.fields.compile = "16";
             f.project.fields.projectDir = "a\\projectsx";
         },
         "Warning", shortPaths + "Project directory path." + kAmend, ""},
        {"16 bit, long piece in the graphics folder",
         [](Fixture& f) {
             fs::create_directories(f.home / "pictures.bmp");
             f.project.fields.compile = "16";
             f.project.fields.graphicsDir = "pictures.bmp";
         },
         "Warning", shortPaths + "Graphics directory path." + kAmend, ""},
        {"no pages", [](Fixture& f) { f.project.pages.clear(); }, "Warning",
         "You need to have help pages before you can compile.", ""},
        {"first page a popup", [](Fixture& f) { f.project.pages[0].topicPopup = "P"; }, "Warning",
         "The First help page in every Project must be a Topic. Please change the TP type to \"T\" or insert a new "
         "first page Topic.",
         ""},
    };
    for (const Case& c : cases) {
        Fixture f;
        c.setUp(f);
        EXPECT_FALSE(f.RunChecks()) << c.name;
        ASSERT_EQ(f.dialogs.Requests().size(), 1u) << c.name;
        EXPECT_EQ(f.dialogs.Last().caption, c.caption) << c.name;
        EXPECT_EQ(f.dialogs.Last().text, c.text) << c.name;
        EXPECT_EQ(f.focused, c.focus) << c.name;
    }
}

TEST(BuildChecks, GoodProjectsPass) {
    const Case cases[] = {
        {"32 bit", [](Fixture&) {}, "", "", ""},
        {"16 bit with short folders",
         [](Fixture& f) {
             fs::create_directories(f.home / "pics");
             f.project.fields.compile = "16";
             f.project.fields.graphicsDir = "pics";
         },
         "", "", ""},
        // Nine characters are fine for 32 bit.
        {"32 bit, long folder names",
         [](Fixture& f) {
             fs::create_directories(f.home / "my long project");
             f.project.fields.projectDir = "my long project";
         },
         "", "", ""},
        // Without a compiler the build still writes the compiler's input.
        {"no compiler at all",
         [](Fixture& f) {
             fs::remove(f.home / "hcw");
             fs::remove(f.home / "HCP.EXE");
         },
         "", "", ""},
        {"16 bit without HCP", [](Fixture& f) {
             f.project.fields.compile = "16";
             fs::remove(f.home / "HCP.EXE");
         },
         "", "", ""},
        // The first page of the build's set decides.
        {"popup filtered out",
         [](Fixture& f) {
             PageRow topic;
             topic.helpId = 2;
             topic.topicPopup = "T";
             f.project.pages[0].topicPopup = "P";
             f.project.pages.push_back(topic);
             f.project.fields.useFilteredPagesOnly = "Y";
             f.project.pageFilter = [](const PageRow& p) { return p.topicPopup == "T"; };
         },
         "", "", ""},
    };
    for (const Case& c : cases) {
        Fixture f;
        c.setUp(f);
        const std::string compile = f.project.fields.compile;
        EXPECT_TRUE(f.RunChecks()) << c.name;
        EXPECT_TRUE(f.dialogs.Requests().empty()) << c.name;
        EXPECT_EQ(f.project.fields.compile, compile) << c.name;
    }
}

TEST(BuildChecks, WithoutHcwButWithHcpA32BitProjectSwitchesTo16Bit) {
    Fixture f;
    fs::remove(f.home / "hcw");
    EXPECT_TRUE(f.RunChecks());
    EXPECT_EQ(f.project.fields.compile, "16");
    EXPECT_TRUE(f.dialogs.Requests().empty());
}

TEST(BuildChecks, Forced16BitSwitchesEvenWithHcw) {
    Fixture f;
    f.env.force16BitCompile = true;
    EXPECT_TRUE(f.RunChecks());
    EXPECT_EQ(f.project.fields.compile, "16");
}

}  // namespace
