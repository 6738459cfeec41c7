// The new-project wizard's work on installed project tables.
#include "editor/lifecycle/project_wizard.h"
#include "lifecycle_fixture.h"

#include "engine/api/dbi_test_hooks.h"
#include "project/page_text.h"
#include "project/title_rules.h"
#include "project/tests/context_string_cases.h"
#include "platform/core/paths.h"

#include <filesystem>
#include <fstream>
#include <set>

namespace {

namespace fs = std::filesystem;
using editor::WindowPlacement;
using editor::WizardSize;
using lctest::Row;

class Wizard : public lctest::Lifecycle {
protected:
    std::unique_ptr<vl::TvlTable> scheme, titles;

    void SetUp() override {
        Lifecycle::SetUp();
        scheme = Open(editor::kWizTableFile);
        scheme->First();  // "Classic": Arial 14, colour 4, bold, 32-bit
        titles = std::make_unique<vl::TvlTable>(nullptr);
        titles->DatabaseName = editor::kTavrinAlias;
        titles->SetTableName(editor::kWizTitlesTableFile);
        titles->SetIndexName("Seq");
        titles->Open();
        editor::ClearTitles(*titles);
    }
    void TearDown() override {
        editor::LifecycleSeams() = {};
        scheme.reset();
        titles.reset();
        Lifecycle::TearDown();
    }
    editor::WizardInput Input(const std::string& name, const std::string& dir = "") {
        editor::WizardInput in;
        in.name = name;
        in.fileName = "FILE";
        in.helpTitle = name + " help";
        in.directory = dir.empty() ? folder.Path("projects/" + name) : dir;
        return in;
    }
    std::vector<std::string> TitleOrder() {
        std::vector<std::string> out;
        for (titles->First(); !titles->Eof(); titles->Next()) out.push_back(titles->FieldByName("Title")->AsString());
        return out;
    }
    int RowsOf(const std::string& app) {
        int n = 0;
        for (const char* f : {editor::kMainTableFile, editor::kItemTableFile, editor::kRefiTableFile,
                              editor::kCntTableFile, editor::kFontTableFile})
            n += Count(f, app);
        return n;
    }
};

TEST(WizardPlacement, TheTenRows) {
    struct Case {
        WizardSize size;
        bool left, right, top;
        WindowPlacement want;
    };
    const Case cases[] = {
        {WizardSize::Full, true, false, true, {0, 0, 1023, 1023}},
        {WizardSize::Half, true, false, false, {0, 0, 512, 1023}},
        {WizardSize::Half, false, true, false, {510, 0, 513, 1023}},
        {WizardSize::Half, false, false, true, {0, 0, 1023, 512}},
        {WizardSize::Half, false, false, false, {0, 510, 1023, 513}},
        {WizardSize::Quarter, true, false, true, {0, 0, 512, 511}},
        {WizardSize::Quarter, false, true, true, {511, 0, 512, 512}},
        {WizardSize::Quarter, true, false, false, {0, 511, 512, 512}},
        {WizardSize::Quarter, false, true, false, {511, 512, 511, 512}},
        {WizardSize::LetWindowsDecide, true, false, true, {511, 157, 503, 813}},
    };
    for (const Case& c : cases) {
        const WindowPlacement w = editor::PlacementFor(c.size, c.left, c.right, c.top);
        EXPECT_EQ(w, c.want) << static_cast<int>(c.size) << c.left << c.right << c.top;
    }
}

TEST_F(Wizard, Step1ChecksInOrderWithTheirTexts) {
    struct Case {
        std::string name, file, title, dir;
        editor::Step1Field field;
        const char* caption;
        const char* text;
    };
    const std::string dir = folder.Path("p");
    std::ofstream(plat::NativePath(folder.Path("plain"))) << "a file, not a folder";
    const Case cases[] = {
        {std::string(25, 'n'), std::string(32, 'f'), std::string(50, 't'), dir, editor::Step1Field::None, "", ""},
        {"", "", "", "", editor::Step1Field::Name, "Project name",
         "You need to provide a Project name before continuing."},
        {"n", "", "t", dir, editor::Step1Field::FileName, "File name",
         "You need to provide a File name before continuing."},
        {"n", "f", "", dir, editor::Step1Field::HelpTitle, "Help Title",
         "You need to provide a Help Title before continuing."},
        {"n", "f", "t", "", editor::Step1Field::Directory, "Project directory",
         "You need to provide a Project directory before continuing."},
        {std::string(26, 'n'), "f", "t", dir, editor::Step1Field::Name, "Project name",
         "Your Project name can only contain a maximum of 25 Characters. it needs to be shortened."},
        {"n", std::string(33, 'f'), "t", dir, editor::Step1Field::FileName, "File name",
         "Your File name can only contain a maximum of 32 Characters. it needs to be shortened."},
        {"n", "f", std::string(51, 't'), dir, editor::Step1Field::HelpTitle, "Help Title",
         "Your Projects Help Title can only contain a maximum of 50 Characters. it needs to be shortened."},
        {"n", "f", "t", folder.Path("plain/sub"), editor::Step1Field::Directory, "Warning",
         "The Project directory cannot be used. Please ensure it uses standard characters and complies with Windows "
         "naming conventions."},
    };
    for (const Case& c : cases) {
        dialogs.Clear();
        editor::WizardInput in;
        in.name = c.name;
        in.fileName = c.file;
        in.helpTitle = c.title;
        in.directory = c.dir;
        EXPECT_EQ(editor::RunStep1Checks(in), c.field) << c.text;
        if (c.field == editor::Step1Field::None) {
            EXPECT_TRUE(dialogs.Requests().empty());
            continue;
        }
        ASSERT_EQ(dialogs.Requests().size(), 1u) << c.text;
        EXPECT_EQ(dialogs.Last().caption, c.caption);
        EXPECT_EQ(dialogs.Last().text, c.text);
    }
}

// The wizard derives the context string of a new page as the title rules do.
TEST(WizardContext, DerivesAsTheTitleRulesDo) {
    auto nothingTaken = [](const std::string&) { return false; };
    for (const auto& c : testcases::ContextStringCases()) {
        EXPECT_EQ(editor::WizardContextString(c.title, nothingTaken), c.want) << c.title;
        EXPECT_EQ(build::DeriveContextString(c.title), c.want) << c.title;
    }
}

TEST(WizardContext, StringsOfNewPages) {
    std::set<std::string> used;
    auto taken = [&](const std::string& c) {
        std::string l = c;
        for (char& ch : l) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        return used.count(l) != 0;
    };
    EXPECT_EQ(editor::WizardContextString("my first page", taken), "MyFirstPage");
    EXPECT_EQ(editor::WizardContextString("hello, WORLD 2", taken), "HelloWorld2");
    EXPECT_EQ(editor::WizardContextString("a b", taken), "AB");
    EXPECT_EQ(editor::WizardContextString("caf\xe9 time", taken), "CafTime");  // only A..Z change case
    used.insert("myfirstpage");
    EXPECT_EQ(editor::WizardContextString("My First Page", taken), "MyFirstPage2");
    used.insert("myfirstpage2");
    EXPECT_EQ(editor::WizardContextString("my first page", taken), "MyFirstPage3");
    // Every suffix taken: no context string.
    for (int i = 2; i <= 49; ++i) used.insert("x" + std::to_string(i));
    used.insert("x");
    EXPECT_EQ(editor::WizardContextString("x", taken), "");
    EXPECT_EQ(editor::WizardContextString("!!", taken), "");
}

TEST_F(Wizard, TitleListKeepsItsOrderThroughInsertsAndMoves) {
    editor::AppendTitle(*titles, "A");
    editor::AppendTitle(*titles, "C");
    titles->Last();
    editor::InsertTitleBefore(*titles, "B");  // Seq 15 between 10 and 20
    EXPECT_EQ(TitleOrder(), (std::vector<std::string>{"A", "B", "C"}));
    // Fill the gap until none is left: everything is renumbered in tens.
    for (int i = 0; i < 5; ++i) {
        titles->Last();
        editor::InsertTitleBefore(*titles, "x" + std::to_string(i));
    }
    EXPECT_EQ(TitleOrder(), (std::vector<std::string>{"A", "B", "x0", "x1", "x2", "x3", "x4", "C"}));
    titles->Last();
    editor::MoveTitleUp(*titles);
    EXPECT_EQ(TitleOrder().at(6), "C");
    titles->First();
    editor::MoveTitleDown(*titles);
    EXPECT_EQ(TitleOrder().at(0), "B");
    EXPECT_EQ(TitleOrder().at(1), "A");
    titles->Last();
    editor::MoveTitleDown(*titles);  // already last: stays
    EXPECT_EQ(TitleOrder().back(), "x4");
    std::set<long> seqs;
    for (titles->First(); !titles->Eof(); titles->Next()) seqs.insert(titles->FieldByName("Seq")->AsInteger());
    EXPECT_EQ(seqs.size(), 8u);
}

TEST_F(Wizard, FreshProjectFromSchemeAndTitles) {
    for (const char* t : {"A", "", "B", "A"}) editor::AppendTitle(*titles, t);
    editor::WizardInput in = Input("First");
    in.size = WizardSize::Half;
    in.right = true;
    ASSERT_TRUE(editor::FinishWizard(*ctx, in, scheme.get(), titles.get()));
    EXPECT_TRUE(dialogs.Requests().empty());

    const Row main = Rows(editor::kMainTableFile, "Application", "First").at(0);
    EXPECT_EQ(main.at("Wx"), "510");
    EXPECT_EQ(main.at("Ww"), "513");
    EXPECT_EQ(main.at("DosName"), "FILE");
    EXPECT_EQ(main.at("16bitName"), "FILE");
    EXPECT_EQ(main.at("HelpTitle"), "First help");
    EXPECT_EQ(main.at("TitleFont"), "Arial");
    EXPECT_EQ(main.at("DefaultTextFont"), "Arial");
    EXPECT_EQ(main.at("AutoAddTopicsToMaxTitle"), "Y");
    EXPECT_EQ(main.at("GraphicsDir"), in.directory + "\\Graphics");
    for (const char* sub : {"", "/Graphics", "/Backups"})
        EXPECT_TRUE(fs::is_directory(plat::NativePath(in.directory + sub))) << sub;

    const Row font = Rows(editor::kFontTableFile, "Application", "First").at(0);
    EXPECT_EQ(font.at("RtfHeader"), editor::GenericProjectRtfHeader());
    EXPECT_NE(font.at("FontList").find("Wingdings"), std::string::npos);

    const auto pages = Rows(editor::kItemTableFile, "Application", "First");
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(pages[0].at("HelpId"), "1000");
    EXPECT_EQ(pages[1].at("HelpId"), "2000");
    EXPECT_EQ(pages[1].at("ContextString"), "B");
    EXPECT_EQ(pages[2].at("ContextString"), "A2");  // a repeated title
    EXPECT_EQ(pages[0].at("Keys"), "A");
    EXPECT_EQ(pages[0].at("CompileFor"), "32");
    EXPECT_EQ(pages[0].at("TopicPopup"), "T");
    // The title in the scheme's look on the project's header.
    EXPECT_EQ(pages[0].at("FullTitle"),
              editor::WriteTitleText(editor::GenericProjectRtfHeader(), "A", {"Arial", 14, 4, "[afsBold]"}));
    EXPECT_NE(pages[0].at("FullTitle").find("\\b"), std::string::npos);
}

TEST_F(Wizard, DuplicateNameInAnotherCaseIsRefused) {
    ASSERT_TRUE(editor::FinishWizard(*ctx, Input("Manual"), scheme.get(), titles.get()));
    dialogs.Clear();
    EXPECT_FALSE(editor::FinishWizard(*ctx, Input("MANUAL", folder.Path("other")), scheme.get(), titles.get()));
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Last().text, editor::kProjectExistsText);
    EXPECT_EQ(Rows(editor::kMainTableFile).size(), 1u);
    EXPECT_FALSE(fs::exists(plat::NativePath(folder.Path("other"))));
}

// A new project's pages, from the title list or copied from a template, go
// in waiting on the disk once for the lot rather than once a page.
TEST_F(Wizard, ManyPagesSyncOnceNotOncePerPage) {
    constexpr int kPages = 40;
    for (int i = 1; i <= kPages; ++i) editor::AppendTitle(*titles, "Title " + std::to_string(i));
    for (bool fromTemplate : {false, true}) {
        SCOPED_TRACE(fromTemplate ? "template" : "titles");
        editor::WizardInput in = Input(fromTemplate ? "Copy" : "Templ");
        if (fromTemplate) in.templateName = "Templ";
        long syncs = 0;
        {
            qv::DbiSyncCounter counter;
            ASSERT_TRUE(editor::FinishWizard(*ctx, in, scheme.get(), titles.get()));
            syncs = counter.Syncs();
        }
        EXPECT_LT(syncs, kPages);
        EXPECT_EQ(Count(editor::kItemTableFile, in.name), kPages);
        EXPECT_EQ(Page(in.name, 1000 * kPages).at("Title"), "Title " + std::to_string(kPages));
    }
    EXPECT_TRUE(dialogs.Requests().empty());
}

TEST_F(Wizard, TemplateCopyGivesTheSameRowsAndPictures) {
    for (const char* t : {"One", "Two"}) editor::AppendTitle(*titles, t);
    editor::WizardInput tin = Input("Templ");
    ASSERT_TRUE(editor::FinishWizard(*ctx, tin, scheme.get(), titles.get()));
    Add(editor::kRefiTableFile, {{"Application", "Templ"}, {"HelpId", "1000"}, {"ReferencedBy", "2000"}});
    Add(editor::kCntTableFile, {{"Application", "Templ"}, {"Sequence", "1"}, {"Title", "Book"}});
    Add(editor::kCntTableFile, {{"Application", "Templ"}, {"Sequence", "2"}, {"Title", "Page"}});
    {
        std::ofstream(plat::NativePath(tin.directory + "/Graphics/logo.bmp")) << "BMpicture";
        std::ofstream(plat::NativePath(tin.directory + "/Graphics/map.shg")) << "shg";
    }
    editor::WizardInput in = Input("Copy");
    in.templateName = "Templ";
    std::vector<std::string> waits;
    ASSERT_TRUE(editor::FinishWizard(*ctx, in, scheme.get(), titles.get(),
                                     [&](const std::string& s) { waits.push_back(s); }));
    EXPECT_EQ(waits, (std::vector<std::string>{editor::kCreatingProjectText, ""}));
    for (const char* f : {editor::kMainTableFile, editor::kItemTableFile, editor::kRefiTableFile,
                          editor::kCntTableFile, editor::kFontTableFile})
        EXPECT_EQ(Count(f, "Copy"), Count(f, "Templ")) << f;
    const Row main = Rows(editor::kMainTableFile, "Application", "Copy").at(0);
    EXPECT_EQ(main.at("GraphicsDir"), in.directory + "\\Graphics");
    EXPECT_EQ(main.at("HelpTitle"), "Copy help");
    EXPECT_EQ(main.at("ProjectDir"), in.directory);  // builds go to the copy's own folder
    EXPECT_EQ(main.at("TitleFont"), "Arial");  // from the template
    EXPECT_EQ(Page("Copy", 2000).at("ContextString"), "Two");
    std::ifstream logo(plat::NativePath(in.directory + "/Graphics/logo.bmp"));
    std::string bytes;
    std::getline(logo, bytes);
    EXPECT_EQ(bytes, "BMpicture");
    EXPECT_TRUE(fs::exists(plat::NativePath(in.directory + "/Graphics/map.shg")));
}

TEST_F(Wizard, FailedProjectRowLeavesNothingBehind) {
    for (const char* t : {"One", "Two"}) editor::AppendTitle(*titles, t);
    ASSERT_TRUE(editor::FinishWizard(*ctx, Input("Templ"), scheme.get(), titles.get()));
    editor::LifecycleSeams().beforeProjectPost = [] { throw std::runtime_error("disk full"); };
    for (const std::string templ : {"", "Templ"}) {
        dialogs.Clear();
        editor::WizardInput in = Input("Broken", folder.Path("new/deeper"));
        in.templateName = templ;
        EXPECT_FALSE(editor::FinishWizard(*ctx, in, scheme.get(), titles.get())) << templ;
        EXPECT_EQ(RowsOf("Broken"), 0) << templ;
        EXPECT_FALSE(fs::exists(plat::NativePath(folder.Path("new")))) << templ;
        ASSERT_FALSE(dialogs.Requests().empty());
        EXPECT_EQ(dialogs.Last().text, editor::kFailedToPostText);
    }
    EXPECT_EQ(Count(editor::kItemTableFile, "Templ"), 2);
}

}  // namespace
