// Delete Project: the rows in one transaction, then the files, never in a
// folder that is shared or holds the program directory.
#include "editor/lifecycle/project_delete.h"
#include "editor/lifecycle/project_wizard.h"
#include "lifecycle_fixture.h"

#include "platform/core/paths.h"

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

class DeleteProject : public lctest::Lifecycle {
protected:
    void TearDown() override {
        editor::LifecycleSeams() = {};
        Lifecycle::TearDown();
    }
    // A project with one row in each of the six tables, its folder with a
    // build output and a picture.
    void MakeProject(const std::string& name, const std::string& projectDir, const std::string& graphicsDir) {
        Add(editor::kMainTableFile, {{"Application", name},
                                     {"DosName", "OUT"},
                                     {"ProjectDir", projectDir},
                                     {"GraphicsDir", graphicsDir}});
        Add(editor::kItemTableFile, {{"Application", name}, {"HelpId", "10"}, {"TopicPopup", "T"}, {"Title", "P"}});
        Add(editor::kRefiTableFile, {{"Application", name}, {"HelpId", "10"}, {"ReferencedBy", "10"}});
        Add(editor::kCntTableFile, {{"Application", name}, {"Sequence", "1"}, {"Title", "Book"}});
        Add(editor::kFontTableFile, {{"Application", name}, {"FontList", "Arial"}});
        Add(editor::kInhTableFile,
            {{"Application", name}, {"HelpId", "10"}, {"InheritedApplication", "Else"}, {"InheritedId", "5"}});
    }
    static void Touch(const std::string& path) {
        fs::create_directories(fs::path(plat::NativePath(path)).parent_path());
        std::ofstream(plat::NativePath(path)) << "x";
    }
    static bool Exists(const std::string& path) { return fs::exists(plat::NativePath(path)); }
    int AllRows(const std::string& app) {
        int n = 0;
        for (const char* f : {editor::kMainTableFile, editor::kItemTableFile, editor::kRefiTableFile,
                              editor::kCntTableFile, editor::kFontTableFile, editor::kInhTableFile})
            n += Count(f, app);
        return n;
    }
    bool Asked(const std::string& start) const {
        for (const auto& r : dialogs.Requests())
            if (r.text.rfind(start, 0) == 0) return true;
        return false;
    }
};

TEST_F(DeleteProject, RowsAndFilesGoOtherProjectsStay) {
    MakeProject("Gone", folder.Path("gone"), folder.Path("gone/Graphics"));
    MakeProject("Kept", folder.Path("kept"), folder.Path("kept/Graphics"));
    for (const char* f : {"gone/OUT.hlp", "gone/OUT.gid", "gone/OUT.hpj", "gone/Graphics/a.bmp", "kept/OUT.hlp",
                          "kept/Graphics/b.bmp"})
        Touch(folder.Path(f));
    fs::create_directories(plat::NativePath(folder.Path("gone/backups")));
    Select("Gone");
    dialogs.Answer(gui::mrYes);  // delete the project
    dialogs.Answer(gui::mrYes);  // and its pictures
    std::vector<std::string> waits;
    ASSERT_TRUE(editor::DeleteProject(*ctx, [&](const std::string& s) { waits.push_back(s); }));
    EXPECT_EQ(waits, (std::vector<std::string>{"Deleting...", ""}));
    EXPECT_EQ(dialogs.Requests().at(0).text,
              "WARNING! This will permanently delete this Help Project. Are you sure you want to delete Gone?");
    for (const char* f : {editor::kMainTableFile, editor::kItemTableFile, editor::kRefiTableFile,
                          editor::kCntTableFile, editor::kFontTableFile, editor::kInhTableFile})
        EXPECT_EQ(Count(f, "Gone"), 0) << f;
    EXPECT_EQ(AllRows("Kept"), 6);
    EXPECT_FALSE(Exists(folder.Path("gone")));
    EXPECT_TRUE(Exists(folder.Path("kept/OUT.hlp")));
    EXPECT_TRUE(Exists(folder.Path("kept/Graphics/b.bmp")));
}

TEST_F(DeleteProject, NoAnswerDeletesNothing) {
    MakeProject("Stay", folder.Path("stay"), "");
    Select("Stay");
    dialogs.Answer(gui::mrNo);
    EXPECT_FALSE(editor::DeleteProject(*ctx));
    EXPECT_EQ(AllRows("Stay"), 6);
}

TEST_F(DeleteProject, SharedFoldersSpelledDifferentlyAreNeverOffered) {
    // The same folders, once relative to the program directory in capitals,
    // once absolute with a "." in the way.
    MakeProject("Gone", "SHARED", "SHARED\\PICS");
    MakeProject("Kept", folder.Path("shared/./"), folder.Path("shared/pics"));
    Touch(folder.Path("shared/OUT.hlp"));
    Touch(folder.Path("shared/pics/a.bmp"));
    Select("Gone");
    dialogs.Answer(gui::mrYes);
    ASSERT_TRUE(editor::DeleteProject(*ctx));
    EXPECT_FALSE(Asked("Do you wish to delete all Graphic files"));
    EXPECT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_TRUE(Exists(folder.Path("shared/OUT.hlp")));
    EXPECT_TRUE(Exists(folder.Path("shared/pics/a.bmp")));
    EXPECT_EQ(AllRows("Kept"), 6);
}

TEST_F(DeleteProject, TheProgramDirectoryAndFoldersAboveItAreNeverEmptied) {
    Touch(folder.Path("OUT.hlp"));
    Touch(folder.Path("logo.bmp"));
    const std::string above = fs::path(folder.dir).parent_path().string();
    Touch(above + "/OUT.hlp");
    struct Case {
        std::string project, graphics;
    };
    for (const Case& c : {Case{folder.dir, folder.dir}, Case{"", "."}, Case{above, above},
                          Case{folder.Path("sub/.."), folder.Path("SUB/..")}}) {
        dialogs.Clear();
        MakeProject("Here", c.project, c.graphics);
        Select("Here");
        dialogs.Answer(gui::mrYes);
        dialogs.Answer(gui::mrYes);
        ASSERT_TRUE(editor::DeleteProject(*ctx)) << c.graphics;
        EXPECT_FALSE(Asked("Do you wish to delete all Graphic files")) << c.graphics;
        EXPECT_TRUE(Exists(folder.Path("OUT.hlp"))) << c.project;
        EXPECT_TRUE(Exists(folder.Path("logo.bmp"))) << c.graphics;
        EXPECT_TRUE(Exists(above + "/OUT.hlp")) << c.project;
        EXPECT_TRUE(Exists(folder.Path(editor::kMainTableFile)));
    }
}

TEST_F(DeleteProject, AFailedRowDeleteLeavesEveryRowAndFile) {
    MakeProject("Gone", folder.Path("gone"), folder.Path("gone/Graphics"));
    Touch(folder.Path("gone/OUT.hlp"));
    Touch(folder.Path("gone/Graphics/a.bmp"));
    // The failure comes after the font, inheritance and page rows went.
    editor::LifecycleSeams().beforeRowDelete = [](const std::string& table) {
        if (table == editor::kRefiTableFile) throw std::runtime_error("locked");
    };
    Select("Gone");
    dialogs.Answer(gui::mrYes);
    EXPECT_FALSE(editor::DeleteProject(*ctx));
    EXPECT_EQ(dialogs.Last().caption, "Warning");
    EXPECT_EQ(dialogs.Last().text, editor::kDeleteFailedText);
    EXPECT_EQ(AllRows("Gone"), 6);
    EXPECT_TRUE(Exists(folder.Path("gone/OUT.hlp")));
    EXPECT_TRUE(Exists(folder.Path("gone/Graphics/a.bmp")));
}

}  // namespace
