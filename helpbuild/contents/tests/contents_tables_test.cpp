// The contents file on the editor's tables: writing with the contents
// filter, the explorer text, a failed save, reading (question, lists, bad
// lines), the corpus file read and written back, and write-then-read.
#include "contents_fixture.h"

#include <fstream>

#include "platform/core/string_list.h"
#include "platform/gui/common_dialogs.h"

namespace {

using namespace build;
using cnttest::ContentsFixture;
using cnttest::Row;

const std::vector<Row> kEveryKind = {
    {10, 1, "H", "Getting started", "", ""},
    {20, 2, "T", "Plain", "intro", ""},
    {30, 2, "T", "Other file", "ctx2", "x.hlp"},
    {40, 2, "T", "Already marked", "ctx3", "@x.hlp"},
    {50, 2, "T", "Window only", "ctx4", ">win"},
    {60, 2, "T", "File and window", "42", "x.hlp>win"},
    {70, 3, "T", "Filtered out", "gone", ""},
    {80, 2, "M", "Run it", "ExecFile(notepad)", ""},
    {90, 1, "I", ":include more.cnt", "", ""},
};

TEST(ContentsFile, WritesTheGoldenFileWithTheContentsFilterAndTheExplorerText) {
    ContentsFixture f;
    f.SetProject("CntTabs", "Search=search.dll");
    f.SetProject("CntLinkFiles", "other.hlp\r\nthird.hlp");
    f.SetProject("HelpTitle", "");
    f.SetProject("DummyField", "left over");
    f.Fill(kEveryKind);
    f.ctx->cntTable->vlFilter().Add("Level < 3");
    ASSERT_TRUE(f.ctx->cntTable->ApplyFilter());
    int explorerLoads = 0;
    ContentsHooks hooks;
    hooks.loadExplorerView = [&] { ++explorerLoads; };

    EXPECT_TRUE(WriteCntFile(*f.ctx, hooks));
    EXPECT_EQ(testsupport::ReadFileBytes(f.CntPath()),
              ":Base demo.hlp\r\n"
              ":Title \r\n"
              ":Tab Search=search.dll\r\n"
              ":Link other.hlp\r\n"
              ":Link third.hlp\r\n"
              "1 Getting started\r\n"
              "2 Plain=intro\r\n"
              "2 Other file=ctx2@x.hlp\r\n"
              "2 Already marked=ctx3@x.hlp\r\n"
              "2 Window only=ctx4>win\r\n"
              "2 File and window=42@x.hlp>win\r\n"
              "2 Run it=!ExecFile(notepad)\r\n"
              ":include more.cnt\r\n"
              "\r\n");
    EXPECT_EQ(f.Project("UserView"),
              "Getting started\r\n\tPlain\r\n\tOther file\r\n\tAlready marked\r\n\tWindow only\r\n\tFile and "
              "window\r\n\tRun it\r\n");
    EXPECT_EQ(explorerLoads, 1);
    EXPECT_EQ(f.Project("DummyField"), "");
    EXPECT_EQ(f.ctx->cntShadow->vlFilter().Count(), 0);
    EXPECT_TRUE(f.dialogs.Requests().empty());
    EXPECT_FALSE(std::filesystem::exists(f.CntPath() + ".~tmp"));
}

TEST(ContentsFile, AFailedSaveKeepsTheOldFileAndTellsWhy) {
    ContentsFixture f;
    f.Fill({{1, 1, "H", "New", "", ""}});
    testsupport::WriteFileBytes(f.CntPath(), ":Base old.hlp\r\n1 Old\r\n");
    f.SetProject("UserView", "Old\r\n");
    // The temporary file cannot be made: a folder stands in its place.
    std::filesystem::create_directories(f.CntPath() + ".~tmp");

    EXPECT_FALSE(WriteCntFile(*f.ctx));
    ASSERT_EQ(f.dialogs.Requests().size(), 1u);
    EXPECT_EQ(f.dialogs.Last().caption, kCntSaveFailedCaption);
    EXPECT_EQ(f.dialogs.Last().text, kCntSaveFailedText);
    EXPECT_EQ(testsupport::ReadFileBytes(f.CntPath()), ":Base old.hlp\r\n1 Old\r\n");
    EXPECT_EQ(f.Project("UserView"), "Old\r\n");
}

TEST(ContentsFile, NoRowsWritesNoFile) {
    ContentsFixture f;
    testsupport::WriteFileBytes(f.CntPath(), "1 Old\r\n");
    f.SetProject("UserView", "Old\r\n");
    EXPECT_FALSE(WriteCntFile(*f.ctx));
    EXPECT_FALSE(std::filesystem::exists(f.CntPath()));
    EXPECT_EQ(f.Project("UserView"), "Old\r\n");
    EXPECT_TRUE(f.dialogs.Requests().empty());
}

// The Contents page's commands before any project exists: no blank project
// row, no contents row without a project, no question about nothing.
TEST(ContentsFile, WithoutAProjectTheCommandsWriteNothing) {
    ContentsFixture f;
    f.ctx->mainTable->First();
    f.ctx->mainTable->Delete();
    ASSERT_TRUE(f.ctx->mainTable->IsEmpty());
    testsupport::WriteFileBytes(f.home + "/pick.cnt", "1 Picked\r\n2 Page=p\r\n");
    ContentsHooks hooks;
    hooks.runAddDialog = [](CntAddChoice& c) {
        c.kind = CntAddChoice::Heading;
        c.title = "Added";
        return true;
    };
    EXPECT_FALSE(WriteCntFile(*f.ctx));
    EXPECT_FALSE(ReadCntFileInto(*f.ctx, f.home + "/pick.cnt"));
    AddContentsEntry(*f.ctx, true, hooks);
    AddContentsEntry(*f.ctx, false, hooks);
    f.dialogs.Answer(gui::mrYes);
    ClearAllContents(*f.ctx);
    EXPECT_TRUE(f.dialogs.Requests().empty());
    EXPECT_EQ(f.ctx->mainTable->State(), db::dsBrowse);
    f.ctx->mainTable->Refresh();
    EXPECT_TRUE(f.ctx->mainTable->IsEmpty());
    EXPECT_TRUE(f.Rows().empty());  // the rows of project ""
}

TEST(ContentsFile, WriteThenReadGivesTheSameRowsRenumbered) {
    ContentsFixture f;
    std::vector<Row> rows = kEveryKind;
    f.Fill(rows);
    ASSERT_TRUE(WriteCntFile(*f.ctx));
    f.dialogs.Answer(gui::mrYes);
    ASSERT_TRUE(ReadCntFileInto(*f.ctx, f.CntPath()));
    EXPECT_EQ(f.dialogs.Requests().size(), 1u);
    EXPECT_EQ(f.dialogs.Last().text, kCntReplaceQuestion);
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i].sequence = static_cast<int>(i) + 1;
    rows[3].helpFile = "x.hlp";  // "@x.hlp" is written as "x.hlp" is
    EXPECT_EQ(f.Rows(), rows);
}

// Rows holding the file's own marks are written and read back the same; a
// row the file cannot hold keeps the old file and names the row.
TEST(ContentsFile, MarksInRowsComeBackAndAnUnwritableRowIsNamed) {
    ContentsFixture f;
    std::vector<Row> rows = {
        {1, 1, "H", "a=b", "", ""},
        {2, 2, "T", "x = y; @z >w: v", "ctx", ""},
        {3, 2, "M", "Run=it", "ExecFile(a=b; c@d>e)", ""},
    };
    f.Fill(rows);
    ASSERT_TRUE(WriteCntFile(*f.ctx));
    f.dialogs.Answer(gui::mrYes);
    ASSERT_TRUE(ReadCntFileInto(*f.ctx, f.CntPath()));
    EXPECT_EQ(f.Rows(), rows);

    const std::string before = testsupport::ReadFileBytes(f.CntPath());
    for (f.ctx->cntTable->First(); !f.ctx->cntTable->IsEmpty(); f.ctx->cntTable->First()) f.ctx->cntTable->Delete();
    f.Fill({{1, 1, "H", "fine", "", ""}, {2, 1, "T", "Two\r\nlines", "ctx", ""}});
    const std::size_t asked = f.dialogs.Requests().size();
    EXPECT_FALSE(WriteCntFile(*f.ctx));
    ASSERT_EQ(f.dialogs.Requests().size(), asked + 1);
    EXPECT_NE(f.dialogs.Last().text.find("entry 2, \"Two  lines\""), std::string::npos) << f.dialogs.Last().text;
    EXPECT_EQ(testsupport::ReadFileBytes(f.CntPath()), before);
}

TEST(ContentsFile, ReadingAsksBeforeReplacingAndKeepsListsOfAnEmptyProject) {
    ContentsFixture f;
    const std::string file = f.home + "/in.cnt";
    testsupport::WriteFileBytes(file, ":Base x.hlp\n:Tab T2\n:Index I2\n:Link L2\n1 Head\n2 Topic=t\n");

    // Without rows: nothing asked, the file's lines are added to the lists.
    f.SetProject("CntTabs", "T1");
    ASSERT_TRUE(ReadCntFileInto(*f.ctx, file));
    EXPECT_TRUE(f.dialogs.Requests().empty());
    EXPECT_EQ(f.Project("CntTabs"), "T1\r\nT2\r\n");
    EXPECT_EQ(f.Project("CntIndexFiles"), "I2\r\n");
    EXPECT_EQ(f.Rows(), (std::vector<Row>{{1, 1, "H", "Head", "", ""}, {2, 2, "T", "Topic", "t", ""}}));

    // With rows: No keeps everything.
    f.dialogs.Answer(gui::mrNo);
    EXPECT_FALSE(ReadCntFileInto(*f.ctx, file));
    EXPECT_EQ(f.Rows().size(), 2u);
    EXPECT_EQ(f.Project("CntTabs"), "T1\r\nT2\r\n");

    // Yes: rows and lists replaced.
    f.dialogs.Answer(gui::mrYes);
    ASSERT_TRUE(ReadCntFileInto(*f.ctx, file));
    EXPECT_EQ(f.Rows().size(), 2u);
    EXPECT_EQ(f.Project("CntTabs"), "T2\r\n");
    EXPECT_EQ(f.Project("CntLinkFiles"), "L2\r\n");
}

TEST(ContentsFile, ABadLineOrAMissingFileChangesNothing) {
    ContentsFixture f;
    f.Fill({{1, 1, "H", "Keep me", "", ""}});
    f.SetProject("CntTabs", "T1");
    const std::string file = f.home + "/bad.cnt";
    testsupport::WriteFileBytes(file, ":Tab T2\n1 Fine\n10 Title\n");
    EXPECT_FALSE(ReadCntFileInto(*f.ctx, file));
    ASSERT_EQ(f.dialogs.Requests().size(), 1u);
    EXPECT_EQ(f.dialogs.Last().caption, "Warning");
    EXPECT_NE(f.dialogs.Last().text.find("Line 3"), std::string::npos) << f.dialogs.Last().text;
    EXPECT_EQ(f.Rows(), (std::vector<Row>{{1, 1, "H", "Keep me", "", ""}}));
    EXPECT_EQ(f.Project("CntTabs"), "T1");

    EXPECT_FALSE(ReadCntFileInto(*f.ctx, f.home + "/missing.cnt"));
    EXPECT_EQ(f.dialogs.Last().text, "The file, " + f.home + "/missing.cnt, could not be read in.");
    EXPECT_EQ(f.Rows().size(), 1u);
}

TEST(ContentsFile, ReadCommandAndImportReader) {
    ContentsFixture f;
    gui::ScriptedCommonDialogService files;
    gui::SetCommonDialogService(&files);
    testsupport::WriteFileBytes(f.home + "/pick.cnt", "1 Picked\n");
    files.AnswerCancel();
    ReadCntFile(*f.ctx);
    EXPECT_TRUE(f.Rows().empty());
    files.AnswerFile(f.home + "/pick.cnt");
    ReadCntFile(*f.ctx);
    ASSERT_EQ(files.Requests().size(), 2u);
    EXPECT_EQ(files.Requests()[0].title, "Read in a Contents file");
    EXPECT_EQ(files.Requests()[0].filter, "Contents files (*.cnt)|*.cnt|All files|*.*");
    EXPECT_EQ(f.Rows(), (std::vector<Row>{{1, 1, "H", "Picked", "", ""}}));
    gui::SetCommonDialogService(nullptr);

    // The import reads <DosName>.cnt of the project folder when it is there.
    ContentsFixture g;
    ReadCntFileForImport(*g.ctx);
    EXPECT_TRUE(g.Rows().empty());
    testsupport::WriteFileBytes(g.CntPath(), "1 Imported=i\n");
    ReadCntFileForImport(*g.ctx);
    EXPECT_EQ(g.Rows(), (std::vector<Row>{{1, 1, "T", "Imported", "i", ""}}));
}

TEST(ContentsFile, CorpusContentsReadIntoAProjectAndWrittenBack) {
    TAVRIN_REQUIRE_CORPUS();
    ContentsFixture f;
    f.SetProject("DosName", "Eudora");
    f.SetProject("HelpTitle", "Eudora 7.0");
    const std::string source = testsupport::CorpusFile("hlp/Eudora.cnt").string();
    ASSERT_TRUE(ReadCntFileInto(*f.ctx, source));
    std::vector<std::string> lines = plat::SplitLines(testsupport::ReadFileBytes(source));
    std::vector<Row> rows = f.Rows();
    ASSERT_EQ(rows.size(), lines.size() - 2);
    EXPECT_EQ(rows.back().sequence, static_cast<int>(rows.size()));
    std::size_t longTitles = 0;
    for (const Row& r : rows) longTitles += r.title.size() > 40;
    EXPECT_EQ(longTitles, 27u);

    ASSERT_TRUE(WriteCntFile(*f.ctx));
    std::string expected;
    for (const std::string& l : lines) expected += l + "\r\n";
    expected += "\r\n";
    EXPECT_EQ(testsupport::ReadFileBytes(f.home + "/proj/Eudora.cnt"), expected);
    // The explorer text of 261 entries, all of them.
    EXPECT_EQ(ExplorerTreeLines(f.Project("UserView")).size(), rows.size());
}

}  // namespace

namespace {

TEST(ContentsFile, TheFileGoesToTheProjectFolder) {
    cnttest::ContentsFixture f("");
    f.Fill({{1, 1, "H", "Only", "", ""}});
    std::filesystem::create_directories(f.tmp.path() / "elsewhere");
    std::filesystem::create_directories(f.home + "/sub");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", f.home + "/demo.cnt"},
        {"sub", f.home + "/sub/demo.cnt"},
        {(f.tmp.path() / "elsewhere").string(), (f.tmp.path() / "elsewhere" / "demo.cnt").string()},
    };
    for (const auto& [dir, file] : cases) {
        SCOPED_TRACE(dir);
        f.SetProject("ProjectDir", dir);
        ASSERT_TRUE(build::WriteCntFile(*f.ctx));
        EXPECT_TRUE(std::filesystem::exists(file));
    }
}

}  // namespace
