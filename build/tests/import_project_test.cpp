// Importing compiled help files into the project tables through the real
// converter: the project row, pages, folders, failures that leave nothing
// behind, and the round trip through a full build.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "build/import_project.h"
#include "build/tests/build_fixture.h"
#include "editor/core/editor_context.h"
#include "editor/core/tests/editor_test_support.h"
#include "platform/db/fields.h"
#include "platform/gui/dialog_service.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;

class CancellingProgress : public build::IProgress {
public:
    explicit CancellingProgress(int cancelAt) : cancelAt_(cancelAt) {}
    void SetStatus(const std::string&) override {}
    void SetPercent(int) override {}
    void Show() override {}
    void ProcessMessages() override {
        if (++calls_ == cancelAt_) cancel_ = true;
    }
    bool CancelRequested() const override { return cancel_; }
    void ClearCancel() override { cancel_ = false; }

private:
    int cancelAt_;
    int calls_ = 0;
    bool cancel_ = false;
};

struct ImportFixture {
    edtest::ProgramFolder folder;
    editor::EditorContext ctx;
    gui::ScriptedDialogService dialogs;
    gui::ScopedDialogService scoped{dialogs};
    build::ImportEnvironment env = build::DefaultImportEnvironment();
    int cancelAt = -1;
    std::vector<std::string> cntFiles;
    std::vector<std::string> captions;

    ImportFixture() {
        ctx.ProgramDir = folder.dir;
        ctx.BindAlias();
        ctx.OpenTables();
        env.converterProgram = [] { return std::string(RENDLOW32_PROGRAM); };
        env.createProgress = [this] { return std::make_unique<CancellingProgress>(cancelAt); };
        env.readCntFile = [this](editor::EditorContext& c, const std::string& path) {
            cntFiles.push_back(path + "|" + c.mainTable->FieldByName("Application")->AsString());
            return true;
        };
        env.setCaption = [this](const std::string& c) { captions.push_back(c); };
    }

    // Converts and imports `helpFile` as project `name`; false when either step refused.
    bool Import(const std::string& helpFile, const std::string& name, build::ImportFields* out = nullptr) {
        build::ImportSession session(ctx, env);
        build::ImportFields f;
        f.helpFile = helpFile;
        if (!session.ConvertHelpFile(f)) return false;
        EXPECT_TRUE(fs::exists(plat::NativePath(session.TempFolder())));
        f.application = name;
        if (out) *out = f;
        return session.Finish(f);
    }
    int Projects() {
        int n = 0;
        for (ctx.mainTable->First(); !ctx.mainTable->Eof(); ctx.mainTable->Next()) ++n;
        return n;
    }
    int AllPages() {
        vl::TvlTable t(nullptr);
        t.DatabaseName = editor::kTavrinAlias;
        t.TableName = editor::kItemTableFile;
        t.Open();
        return t.RecordCount();
    }
    std::string Messages() const {
        std::string s;
        for (const gui::DialogRequest& r : dialogs.Requests()) s += r.caption + ": " + r.text + "\n";
        return s;
    }
    // Nothing but the program's own files in the program folder.
    std::set<std::string> Folders() const {
        std::set<std::string> s;
        for (const auto& e : fs::directory_iterator(folder.dir))
            if (e.is_directory() && e.path().filename() != "windows") s.insert(e.path().filename().string());
        return s;
    }
};

TEST(ImportProject, PJDropFilesBecomesAProject) {
    TAVRIN_REQUIRE_CORPUS();
    ImportFixture fx;
    build::ImportFields f;
    ASSERT_TRUE(fx.Import(testsupport::CorpusFile("hlp/PJDropFiles.hlp").string(), "Drop Files", &f)) << fx.Messages();
    EXPECT_EQ(f.helpTitle, "DelphiDabbler Drop Files Component Help");
    EXPECT_EQ(f.fileName, "PJDropFiles");
    EXPECT_EQ(f.directory, fx.folder.dir + "/PJDropFiles");
    EXPECT_EQ(f.graphicsDir, fx.folder.dir + "/PJDropFiles/Graphics");

    vl::TvlTable& main = *fx.ctx.mainTable;
    ASSERT_TRUE(main.FindKey({db::TValue{std::string("Drop Files")}}));
    // The new row against the defaults of an imported project.
    const std::map<std::string, std::string> want = {
        {"DosName", "PJDropFiles"}, {"HelpTitle", "DelphiDabbler Drop Files Component Help"},
        {"ProjectDir", f.directory}, {"GraphicsDir", f.graphicsDir},
        {"ScrollColor", "16777215"}, {"NonscrollColor", "16777215"}, {"AutogenerateContents", "N"},
        {"Win95Contents", "N"}, {"Compile", "32"}, {"DefaultTextFont", "Arial"}, {"DefaultTextSize", "10"},
        {"DefaultTextColor", "0"}, {"DefaultTextStyle", "[]"}, {"TitleFont", "Arial"}, {"TitleSize", "12"},
        {"TitleColor", "0"}, {"TitleStyle", "[afsBold]"}, {"PopupFont", "Arial"}, {"PopupSize", "10"},
        {"PopupColor", "0"}, {"PopupStyle", "[afsBold]"}, {"Compress", "OFF"}, {"AutogeneratePRJfile", "Y"},
        {"AddButton1", "Y"}, {"AddButton2", "Y"}, {"AddButton3", "Y"}, {"AutoSize", "Y"}, {"StayOnTop", "1"},
        {"AutoGenerateCntFile", "N"}};
    for (const auto& [field, value] : want) EXPECT_EQ(main.FieldByName(field)->AsString(), value) << field;
    EXPECT_NE(main.FieldByName("Copyright")->AsString().find("PD Johnson"), std::string::npos);

    // One page per converted page; the contents topic is first and a topic.
    vl::TvlTable& pages = *fx.ctx.CdetailTable;
    pages.First();
    EXPECT_EQ(pages.RecordCount(), 87);
    EXPECT_EQ(pages.FieldByName("ContextString")->AsString(), "8a4onl");
    EXPECT_EQ(pages.FieldByName("TopicPopup")->AsString(), "T");
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "PJDropFiles unit");
    EXPECT_EQ(pages.FieldByName("Keys")->AsString(), "PJDropFiles;PJDropFiles unit");
    const std::string body = pages.FieldByName("HelpText")->AsString();
    EXPECT_NE(body.find("\\uldb TPJDropFiles\\uldb0{\\v cone0x3vu}"), std::string::npos);
    EXPECT_NE(pages.FieldByName("FullTitle")->AsString().find("PJDropFiles unit"), std::string::npos);

    // The converter's output is in the project's folders; the temporary folder is gone.
    EXPECT_TRUE(fs::exists(plat::NativePath(f.directory + "/PJDropFiles.HPJ")));
    EXPECT_TRUE(fs::exists(plat::NativePath(f.directory + "/PJDropFiles.RTF")));
    EXPECT_TRUE(fs::is_directory(plat::NativePath(f.directory + "/Backups")));
    int pictures = 0;
    for (const auto& e : fs::directory_iterator(plat::NativePath(f.graphicsDir)))
        pictures += e.path().extension() == ".bmp";
    EXPECT_EQ(pictures, 5);
    EXPECT_FALSE(fs::exists(fx.folder.dir + "/~KqTemp"));
    EXPECT_TRUE(fx.cntFiles.empty());
    EXPECT_EQ(fx.captions.back(), "");
}

TEST(ImportProject, FailuresLeaveNothingBehind) {
    TAVRIN_REQUIRE_CORPUS();
    const std::string help = testsupport::CorpusFile("hlp/PJDropFiles.hlp").string();
    testsupport::TempDir files;
    const std::string bytes = testsupport::ReadFileBytes(help);
    testsupport::WriteFileBytes(files / "damaged.hlp", bytes.substr(0, 600) + std::string(4000, '\x7f'));
    testsupport::WriteFileBytes(files / "text.hlp", "This is not a help file at all.\r\n");
    struct Case {
        std::string name;
        std::string helpFile;
        std::function<void(ImportFixture&)> setUp;
        std::string project;
        std::string message;  // a part of the one message shown
    };
    std::vector<Case> cases = {
        {"damaged", (files / "damaged.hlp").string(), nullptr, "P", "damaged.hlp could not be converted"},
        {"not a help file", (files / "text.hlp").string(), nullptr, "P", "text.hlp could not be converted"},
        {"converter ends with 1", help,
         [](ImportFixture& fx) { fx.env.run = [](const std::vector<std::string>&, const std::string&) { return 1; }; }, "P",
         "ended with code 1"},
        {"no converter", help, [](ImportFixture& fx) { fx.env.converterProgram = [] { return std::string(); }; }, "P",
         "Rendlow32 could not be found"},
        {"missing help file", (files / "none.hlp").string(), nullptr, "P", "This help file could not be found"},
        {"taken name", help,
         [](ImportFixture& fx) {
             fx.ctx.mainTable->Append();
             fx.ctx.mainTable->FieldByName("Application")->SetAsString("Taken");
             fx.ctx.mainTable->Post();
         },
         "TAKEN", "This Help Project already exists"},
        {"cancel while splitting", help, [](ImportFixture& fx) { fx.cancelAt = 20; }, "P", ""},
        {"cancel while storing pages", help, [](ImportFixture& fx) { fx.cancelAt = 100; }, "P", ""},
        {"name too long", help, nullptr, std::string(26, 'n'), "maximum of 25 Characters"},
        {"no name", help, nullptr, "", "You need to provide a Project name"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImportFixture fx;
        if (c.setUp) c.setUp(fx);
        const int projects = fx.Projects();
        const std::set<std::string> folders = fx.Folders();
        fx.dialogs.Clear();
        EXPECT_FALSE(fx.Import(c.helpFile, c.project));
        if (c.message.empty()) {
            EXPECT_TRUE(fx.dialogs.Requests().empty()) << fx.Messages();
        } else {
            ASSERT_EQ(fx.dialogs.Requests().size(), 1u) << fx.Messages();
            EXPECT_NE(fx.Messages().find(c.message), std::string::npos) << fx.Messages();
        }
        EXPECT_EQ(fx.Projects(), projects);
        EXPECT_EQ(fx.AllPages(), 0);
        EXPECT_EQ(fx.Folders(), folders);
    }
    // 25 characters are accepted.
    ImportFixture fx;
    EXPECT_TRUE(fx.Import(help, std::string(25, 'n'))) << fx.Messages();
}

TEST(ImportProject, ContentsFileComesAlongInAnyCase) {
    TAVRIN_REQUIRE_CORPUS();
    testsupport::TempDir files;
    fs::copy_file(testsupport::CorpusFile("hlp/PJDropFiles.hlp"), files / "Drop.hlp");
    testsupport::WriteFileBytes(files / "DROP.CNT", ":Base Drop.hlp\r\n1 Drop\r\n");
    ImportFixture fx;
    build::ImportFields f;
    ASSERT_TRUE(fx.Import((files / "Drop.hlp").string(), "Drop", &f)) << fx.Messages();
    ASSERT_EQ(fx.cntFiles.size(), 1u);
    EXPECT_EQ(fx.cntFiles[0], f.directory + "/DROP.CNT|Drop");
    EXPECT_EQ(testsupport::ReadFileBytes(plat::NativePath(f.directory + "/DROP.CNT")), ":Base Drop.hlp\r\n1 Drop\r\n");
}

}  // namespace
