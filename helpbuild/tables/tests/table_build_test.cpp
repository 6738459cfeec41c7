// Builds end to end on the engine's project tables with the fake compilers:
// the pages come from the page table through the build's cursor, records
// are cached in the rows, contents rows land in the contents table, and the
// RTF the build writes reads back in the text engine page by page.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "helpbuild/tables/table_build_project.h"
#include "helpbuild/tests/build_fixture.h"
#include "project/editor_context.h"
#include "project/project_tables.h"
#include "helpbuild/tables/tests/sync_counter.h"
#include "data/engine_driver.h"
#include "data/fields.h"
#include "data/tables.h"
#include "richtext/view/rtf_text_io.h"

namespace {

using namespace build;
using buildtest::BuildRecorder;
namespace fs = std::filesystem;

using buildtest::SyncCounter;


struct TableFixture : BuildRecorder {
    std::shared_ptr<db::TEngineDriver> driver;
    std::unique_ptr<editor::EditorContext> ctx;
    std::unique_ptr<TableBuildProject> project;

    explicit TableFixture(const std::string& folderName = "proj", const std::string& projectDir = "proj")
        : BuildRecorder(folderName) {
        driver = std::make_shared<db::TEngineDriver>();
        db::Session().SetDriver(driver);
        editor::InstallProjectTables(home.path().string());
        ctx = std::make_unique<editor::EditorContext>();
        ctx->ProgramDir = home.path().string();
        ctx->BindAlias();
        ctx->OpenTables();
        project = std::make_unique<TableBuildProject>(*ctx);
        db::TDataSet* m = ctx->mainTable;
        m->Append();
        Set(m, "Application", "Demo");
        Set(m, "HelpTitle", "Demo Help");
        Set(m, "DosName", "demo");
        Set(m, "16bitName", "demo16");
        Set(m, "Compile", "32");
        Set(m, "ProjectDir", projectDir);
        Set(m, "AutogeneratePRJfile", "Y");
        m->Post();
    }
    ~TableFixture() {
        project.reset();
        ctx.reset();
        db::Session().SetDriver(nullptr);
    }

    static void Set(db::TDataSet* t, const char* field, const std::string& value) {
        t->FieldByName(field)->SetAsString(value);
    }
    void SetProject(const char* field, const std::string& value) {
        ctx->mainTable->Edit();
        Set(ctx->mainTable, field, value);
        ctx->mainTable->Post();
    }
    void AddPage(int id, const std::string& kind, const std::string& context, const std::string& title,
                 const std::string& body, const std::string& keys = "") {
        db::TDataSet* d = ctx->detailTable;
        d->Append();
        d->FieldByName("HelpId")->SetAsInteger(id);
        Set(d, "TopicPopup", kind);
        Set(d, "ContextString", context);
        Set(d, "Title", title);
        Set(d, "Keys", keys);
        Set(d, "HelpText", body.empty() ? "" : Memo(body));
        Set(d, "FullTitle", title.empty() || kind != "T" ? "" : Memo(title));
        Set(d, "TitleUserModified", "N");
        d->Post();
    }
    // Finds a page by HelpId on the build's cursor.
    db::TDataSet* Page(int id) {
        vl::TvlTable* c = ctx->CdetailTable;
        c->vlFilter().Clear();
        c->ApplyFilter();
        for (c->First(); !c->Eof(); c->Next())
            if (c->FieldByName("HelpId")->AsInteger() == id) return c;
        return nullptr;
    }
    BuildOutcome Full(bool showOptions = false) { return Run(*project, true, showOptions); }
    BuildOutcome Partial() { return Run(*project, false); }
};

TEST(TableBuild, SuccessStartsTheViewerAndTheRtfReadsBackPageByPage) {
    TableFixture f;
    f.AddPage(1, "T", "intro", "Introduction", "Welcome to the demo.", "start;welcome");
    f.AddPage(2, "P", "", "A popup", "Popup text {with braces}");
    f.AddPage(3, "T", "", "Third", "The end.");
    ASSERT_EQ(f.Full(), BuildOutcome::Compiled) << f.Messages();
    EXPECT_EQ(f.WaitAndRead("viewer.log"), f.folder + "/demo.HLP\n");

    // Records are cached in the rows.
    for (int id : {1, 2, 3}) {
        db::TDataSet* p = f.Page(id);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->FieldByName("TitleUserModified")->AsString(), "Y");
        EXPECT_FALSE(p->FieldByName("Prepared")->AsString().empty());
    }

    richtext::TJDRTFTextIo engine;
    engine.LoadFromFile(f.folder + "/demo.rtf");
    // Each page's text, in order: the help compiler ends a topic at "\page",
    // which our reader keeps as a mark on the paragraph it ends.
    richtext::TJDRtfStrings lines(engine);
    std::string text;
    for (int i = 0; i < lines.Count(); ++i) text += lines.Get(i) + "\n";
    std::size_t one = text.find("Welcome to the demo."), two = text.find("Popup text {with braces}"),
                three = text.find("The end.");
    EXPECT_TRUE(one < two && two < three && three != std::string::npos) << text;
    int breaks = 0;
    for (richtext::TParagraph* p = engine.FirstParagraph(); p; p = p->next)
        if (p->flags & richtext::kParPageBreak) ++breaks;
    EXPECT_GE(breaks, 1);
    std::multimap<char, std::string> notes;
    for (const auto& n : engine.Footnotes()) notes.emplace(n->mark, n->text);
    std::multimap<char, std::string> expected{
        {'#', "1"}, {'#', "intro"}, {'$', "Introduction"}, {'K', "start;welcome"}, {'#', "2"},
        {'$', "A popup"}, {'#', "3"}, {'$', "Third"}};
    EXPECT_EQ(notes, expected);
}

// Each page's build record is stored in its row; posted one by one outside a
// transaction, every post waited on several disk syncs (an imported help
// file of 900 pages took seconds on a fast disk, minutes on a slow one).
TEST(TableBuild, StoringEveryPagesRecordSyncsTheTablesOnceNotOncePerPage) {
    TableFixture f;
    constexpr int kPages = 40;
    for (int id = 1; id <= kPages; ++id)
        f.AddPage(id, "T", "page" + std::to_string(id), "Page " + std::to_string(id), "Text of the page.");
    long syncs = 0;
    {
        SyncCounter counter;
        ASSERT_EQ(f.Full(), BuildOutcome::Compiled) << f.Messages();
        syncs = counter.Syncs();
    }
    EXPECT_LT(syncs, kPages);
    // Every record reached the rows, on this cursor and on a fresh one.
    for (int id = 1; id <= kPages; ++id) {
        db::TDataSet* p = f.Page(id);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->FieldByName("TitleUserModified")->AsString(), "Y") << id;
        EXPECT_FALSE(p->FieldByName("Prepared")->AsString().empty()) << id;
    }
    vl::TvlTable fresh(nullptr);
    fresh.DatabaseName = editor::kTavrinAlias;
    fresh.TableName = editor::kItemTableFile;
    fresh.Open();
    int cached = 0;
    for (fresh.First(); !fresh.Eof(); fresh.Next()) cached += fresh.FieldByName("TitleUserModified")->AsString() == "Y";
    EXPECT_EQ(cached, kPages);
}

TEST(TableBuild, FailureShowsTheWarningAndRunsTheErrorLogCommand) {
    TableFixture f;
    f.AddPage(1, "T", "", "One", "x");
    setenv("TAVRIN_FAKE_HC_FAIL", "1", 1);
    BuildOutcome outcome = f.Full();
    unsetenv("TAVRIN_FAKE_HC_FAIL");
    EXPECT_EQ(outcome, BuildOutcome::CompileFailed);
    EXPECT_EQ(f.Messages(), "Warning: The Compile was unsuccesful. The Error Log will now be displayed.\n");
    EXPECT_EQ(f.errorLogs, 1);
}

TEST(TableBuild, CancelAfterPageTwoKeepsTheOldRtfAndTheMeterCounts) {
    TableFixture f;
    for (int id = 1; id <= 4; ++id) f.AddPage(id, "T", "", "P" + std::to_string(id), "text");
    testsupport::WriteFileBytes(f.Path("demo.rtf"), "OLD");
    f.cancelAtPercent = 72;  // round(100 * 3 / 4 - 3): page 3 is not prepared
    EXPECT_EQ(f.Full(), BuildOutcome::Cancelled);
    EXPECT_EQ(f.percents, (std::vector<int>{0, 3, 22, 47, 72}));
    EXPECT_EQ(f.Read("demo.rtf"), "OLD");
    EXPECT_FALSE(fs::exists(f.Path("compiler.log")));
    EXPECT_EQ(f.Page(2)->FieldByName("TitleUserModified")->AsString(), "Y");
    EXPECT_EQ(f.Page(3)->FieldByName("TitleUserModified")->AsString(), "N");
}

TEST(TableBuild, CachedRecordsAreAppendedAsStoredAndBreaksFollowTheBuild) {
    TableFixture f;
    for (int id = 1; id <= 3; ++id) f.AddPage(id, "T", "", "", "text " + std::to_string(id));
    ASSERT_EQ(f.Full(), BuildOutcome::Compiled) << f.Messages();
    // A stored record is appended as it is: mark page 2's to see it.
    db::TDataSet* p2 = f.Page(2);
    p2->Edit();
    TableFixture::Set(p2, "Prepared", p2->FieldByName("Prepared")->AsString() + "{\\v cached}");
    p2->Post();
    ASSERT_EQ(f.Full(), BuildOutcome::Compiled);
    EXPECT_NE(f.Read("demo.rtf").find("{\\v cached}"), std::string::npos);

    // A changed page alone is prepared again.
    db::TDataSet* p3 = f.Page(3);
    p3->Edit();
    TableFixture::Set(p3, "HelpText", BuildRecorder::Memo("changed three"));
    TableFixture::Set(p3, "TitleUserModified", "N");
    p3->Post();
    ASSERT_EQ(f.Full(), BuildOutcome::Compiled);
    std::string rtf = f.Read("demo.rtf");
    EXPECT_NE(rtf.find("changed three"), std::string::npos);
    EXPECT_NE(rtf.find("{\\v cached}"), std::string::npos);

    // Without the first page the file starts with page 2's record, no "\page" before it.
    f.Page(1)->Delete();
    ASSERT_EQ(f.Full(), BuildOutcome::Compiled);
    rtf = f.Read("demo.rtf");
    const std::string start = build::MakeProjectHeader(editor::GenericProjectRtfHeader()) + BuildRecorder::Opener('#') + "2}}";
    EXPECT_EQ(rtf.substr(0, start.size()), start);
    EXPECT_EQ(rtf.find("\\page"), rtf.find("\\page\r\n" + BuildRecorder::Opener('#') + "3}}"));
}

TEST(TableBuild, PartialWithoutRtfRunsAFullBuildWithoutTheDialog) {
    TableFixture f;
    f.AddPage(1, "T", "", "One", "x");
    ASSERT_EQ(f.Partial(), BuildOutcome::Compiled) << f.Messages();
    EXPECT_EQ(f.optionDialogs, 0);
    EXPECT_TRUE(fs::exists(f.Path("demo.rtf")));
}

TEST(TableBuild, ContentsRowsAndFileFor32BitOnly) {
    TableFixture f;
    f.SetProject("AutoGenerateCntFile", "Y");
    f.SetProject("AutogenerateContents", "Y");
    f.SetProject("CntTabs", "old tab line");
    f.AddPage(1, "T", "intro", "One", "x");
    f.AddPage(2, "P", "", "Pop", "y");
    f.AddPage(3, "T", "", "Three", "z");
    ASSERT_EQ(f.Full(), BuildOutcome::Compiled) << f.Messages();
    EXPECT_EQ(f.cntWrites, 1);
    EXPECT_NE(f.Read("compiler.log").find(" cnt\n"), std::string::npos);
    std::vector<std::string> rows;
    vl::TvlTable* c = f.ctx->cntShadow;
    for (c->First(); !c->Eof(); c->Next())
        rows.push_back(c->FieldByName("Sequence")->AsString() + " " + c->FieldByName("Level")->AsString() + " " +
                       c->FieldByName("EntryType")->AsString() + " " + c->FieldByName("Title")->AsString() + " " +
                       c->FieldByName("Jump")->AsString());
    EXPECT_EQ(rows, (std::vector<std::string>{"1 1 H Contents ", "2 2 T One intro", "3 2 T Three 3"}));
    EXPECT_EQ(f.ctx->mainTable->FieldByName("CntTabs")->AsString(), "");

    // 16 bit: a contents page instead, and never the contents file.
    f.SetProject("Compile", "16");
    f.baseName = "demo16";
    ASSERT_EQ(f.Full(), BuildOutcome::Compiled) << f.Messages();
    EXPECT_EQ(f.cntWrites, 1);
    EXPECT_NE(f.Read("demo16.rtf").find("Contents\\par}"), std::string::npos);
}

// Contents made by the build replace the old rows with one row a topic;
// written row by row, each waited on its own disk syncs.
TEST(TableBuild, GeneratedContentsOfManyPagesSyncOnceNotOncePerRow) {
    TableFixture f;
    constexpr int kPages = 40;
    f.SetProject("AutogenerateContents", "Y");
    for (int id = 1; id <= kPages; ++id) f.AddPage(id, "T", "", "Page " + std::to_string(id), "Text.");
    long syncs = 0;
    {
        SyncCounter counter;
        ASSERT_EQ(f.Full(), BuildOutcome::Compiled) << f.Messages();
        syncs = counter.Syncs();
    }
    EXPECT_LT(syncs, kPages);
    vl::TvlTable fresh(nullptr);
    fresh.DatabaseName = editor::kTavrinAlias;
    fresh.TableName = editor::kCntTableFile;
    fresh.Open();
    std::vector<std::string> titles;
    for (fresh.First(); !fresh.Eof(); fresh.Next()) titles.push_back(fresh.FieldByName("Title")->AsString());
    ASSERT_EQ(titles.size(), static_cast<std::size_t>(kPages + 1));
    EXPECT_EQ(titles.front(), "Contents");
    EXPECT_EQ(titles.back(), "Page " + std::to_string(kPages));
}

TEST(TableBuild, ProjectFolderWithBlanksCompiles) {
    TableFixture f("my help project", "my help project");
    f.AddPage(1, "T", "", "One", "x");
    ASSERT_EQ(f.Full(), BuildOutcome::Compiled) << f.Messages();
    EXPECT_EQ(f.Read("compiler.log"), "hcw /C|/E|" + f.folder + "/demo.HPJ cwd=" + f.folder + "\n");
}

TEST(TableBuild, The16BitSuccessShowsTheHelpIndexThroughTheEditorsHelp) {
    TableFixture f;
    f.SetProject("Compile", "16");
    f.AddPage(1, "T", "", "One", "x");
    f.ctx->HelpFile = "program help";
    BuildEnvironment env = MakeBuildEnvironment(*f.ctx);
    f.env.setHelpFile = env.setHelpFile;
    f.env.showHelp = env.showHelp;
    ASSERT_EQ(f.Full(), BuildOutcome::Compiled) << f.Messages();
    const std::vector<editor::HelpRequest>& asked = f.ctx->DefaultHelp().Requests();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].helpFile, f.ctx->ProgramDir + "\\proj\\demo16.HLP");
    EXPECT_EQ(asked[0].command, 3u);
    // The program's own help file again afterwards.
    EXPECT_EQ(f.ctx->HelpFile, f.ctx->ProgramDir + "\\Tavrin.HLP");
    EXPECT_EQ(MakeBuildEnvironment(*f.ctx).cancelRequested, &f.ctx->CancelRequested);
}

// The program's build environment writes the project's contents before a
// 32-bit build with automatic contents, from the contents table.
TEST(TableBuild, TheProgramsEnvironmentWritesTheContentsFileFirst) {
    TableFixture f;
    f.SetProject("AutoGenerateCntFile", "Y");
    f.AddPage(1, "T", "intro", "Introduction", "Welcome.");
    db::TDataSet* c = f.ctx->cntTable;
    c->Append();
    c->FieldByName("Sequence")->SetAsInteger(1);
    c->FieldByName("Level")->SetAsInteger(1);
    c->FieldByName("EntryType")->SetAsString("T");
    c->FieldByName("Title")->SetAsString("Introduction");
    c->FieldByName("Jump")->SetAsString("intro");
    c->Post();
    f.env.writeCntFile = MakeBuildEnvironment(*f.ctx).writeCntFile;
    ASSERT_EQ(f.Full(), BuildOutcome::Compiled) << f.Messages();
    const std::string cnt = f.Read("demo.cnt");
    EXPECT_NE(cnt.find(":Base demo.hlp"), std::string::npos) << cnt;
    EXPECT_NE(cnt.find("1 Introduction=intro"), std::string::npos) << cnt;
}

// True when every "{" of the RTF is closed and no "}" closes nothing.
bool BracesBalance(const std::string& rtf) {
    long depth = 0;
    for (std::size_t i = 0; i < rtf.size(); ++i) {
        if (rtf[i] == '\\') ++i;
        else if (rtf[i] == '{') ++depth;
        else if (rtf[i] == '}' && --depth < 0) return false;
    }
    return depth == 0;
}

// Without the help compiler a full build still writes everything the
// compiler would read, the same as with it, and says where; with the
// compiler it runs it as before. The folder's letter case differs from the
// project's field, so the message must show the folder as it is on disk.
TEST(TableBuild, WithOrWithoutTheCompilerTheCompilersInputIsWritten) {
    struct Case {
        const char* name;
        bool sixteen;
        bool compiler;
    } cases[] = {{"32 bit, no compiler", false, false},
                 {"32 bit, compiler", false, true},
                 {"16 bit, no compiler", true, false},
                 {"16 bit, compiler", true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TableFixture f("HelpProj", "helpproj");
        f.SetProject("AutoGenerateCntFile", "Y");
        f.SetProject("AutogenerateContents", "Y");
        f.env.writeCntFile = MakeBuildEnvironment(*f.ctx).writeCntFile;
        f.AddPage(1, "T", "intro", "Introduction", "Welcome.");
        f.AddPage(2, "P", "", "A popup", "Popup text.");
        const std::string base = c.sixteen ? "demo16" : "demo";
        const std::string tool = c.sixteen ? "HCP.EXE" : "HCW.EXE";
        if (c.sixteen) f.SetProject("Compile", "16");
        if (!c.compiler) {
            // A 16-bit project ignores HCW.EXE; a 32-bit one would switch to HCP.EXE.
            fs::remove(f.home / "HCP.EXE");
            if (!c.sixteen) fs::remove(f.home / "hcw");
        }

        const BuildOutcome outcome = f.Full();

        EXPECT_EQ(f.ctx->mainTable->FieldByName("Compile")->AsString(), c.sixteen ? "16" : "32");
        const std::string rtf = f.Read(base + ".rtf");
        EXPECT_TRUE(rtf.rfind("{\\rtf1", 0) == 0 && BracesBalance(rtf)) << rtf;
        EXPECT_NE(rtf.find("Welcome."), std::string::npos);
        const std::string hpj = f.Read(base + ".HPJ");
        std::size_t at = 0;
        for (const char* section : {"[OPTIONS]\r\n", "[WINDOWS]\r\n", "[CONFIG]\r\n", "[MAP]\r\nintro     1\r\n",
                                    "[FILES]\r\n"}) {
            const std::size_t found = hpj.find(section, at);
            EXPECT_NE(found, std::string::npos) << section << " in\n" << hpj;
            at = found == std::string::npos ? at : found;
        }
        EXPECT_NE(hpj.find("[FILES]\r\n" + f.folder + "/" + base + ".rtf\r\n"), std::string::npos) << hpj;
        // The contents file is a 32-bit file, written from the contents rows.
        EXPECT_EQ(fs::exists(f.Path("demo.cnt")), !c.sixteen);
        if (!c.sixteen) EXPECT_NE(f.Read("demo.cnt").find("Introduction=intro"), std::string::npos);
        EXPECT_EQ(f.errorLogs, 0);

        if (c.compiler) {
            EXPECT_EQ(outcome, BuildOutcome::Compiled) << f.Messages();
            EXPECT_EQ(f.Read("compiler.log").substr(0, 4), c.sixteen ? "hcp " : "hcw ");
            EXPECT_TRUE(f.dialogs.Requests().empty()) << f.Messages();
            // The compiled file is shown: 32 bit in the viewer, 16 bit through the help call.
            if (c.sixteen) EXPECT_FALSE(f.shownHelp.empty());
            else EXPECT_EQ(f.WaitAndRead("viewer.log"), f.folder + "/demo.HLP\n");
            continue;
        }
        EXPECT_EQ(outcome, BuildOutcome::NotCompiled) << f.Messages();
        EXPECT_TRUE(f.shownHelp.empty());
        EXPECT_FALSE(fs::exists(f.Path("viewer.log")));
        EXPECT_FALSE(fs::exists(f.Path("compiler.log")));
        EXPECT_FALSE(fs::exists(f.Path(base + ".HLP")));
        ASSERT_EQ(f.dialogs.Requests().size(), 1u) << f.Messages();
        const gui::DialogRequest& box = f.dialogs.Last();
        EXPECT_EQ(box.flags & 0xF0u, static_cast<unsigned>(gui::MB_ICONINFORMATION));
        const std::string files = c.sixteen ? "demo16.rtf, demo16.HPJ." : "demo.rtf, demo.HPJ, demo.cnt.";
        EXPECT_NE(box.text.find("No help compiler is installed, so no help file was made. The compiler's input was "
                                "written to " + f.folder + ": " + files),
                  std::string::npos)
            << box.text;
        EXPECT_NE(box.text.find(tool), std::string::npos) << box.text;
        EXPECT_NE(box.text.find(f.home.path().string()), std::string::npos) << box.text;
    }
}

TEST(TableBuild, CompileOptionsEditAndPostTheProjectRow) {
    TableFixture f;
    TableCompileOptions options(*f.ctx);
    EXPECT_EQ(options.Field("DosName"), "demo");
    EXPECT_FALSE(options.Editing());
    options.EditField("16bitName", "short");
    EXPECT_TRUE(options.Editing());
    options.Post();
    EXPECT_FALSE(options.Editing());
    f.ctx->mainTable->Refresh();
    EXPECT_EQ(f.ctx->mainTable->FieldByName("16bitName")->AsString(), "short");
}

}  // namespace
