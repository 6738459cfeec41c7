// The contents file as text: the assembled file against a golden text, the
// reader's line rules, the explorer text, and the real contents file of the
// corpus read and written back.
#include <gtest/gtest.h>

#include "helpbuild/cnt_file.h"
#include "platform/core/string_list.h"
#include "tests/support/test_support.h"

namespace {

using namespace build;

TEST(CntFile, AssemblesEveryRowKindAndHelpFileSuffix) {
    CntHeader h;
    h.dosName = "demo";
    h.helpTitle = "";  // the blank after ":Title" is still written
    h.lists.tabs = {"Search=search.dll"};
    h.lists.indexFiles = {"Demo Index=demo.hlp"};
    h.lists.linkFiles = {"other.hlp", "third.hlp"};
    std::vector<CntEntry> rows = {
        {1, "H", "Getting started", "", ""},
        {2, "T", "Plain", "intro", ""},
        {2, "T", "Other file", "ctx2", "x.hlp"},
        {2, "T", "Already marked", "ctx3", "@x.hlp"},
        {2, "T", "Window only", "ctx4", ">win"},
        {2, "T", "File and window", "42", "x.hlp>win"},
        {2, "M", "Run it", "ExecFile(notepad)", ""},
        {1, "I", ":include more.cnt", "", ""},
    };
    const std::string golden =
        ":Base demo.hlp\r\n"
        ":Title \r\n"
        ":Tab Search=search.dll\r\n"
        ":Index Demo Index=demo.hlp\r\n"
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
        "\r\n";
    EXPECT_EQ(AssembleCntFile(h, rows), golden);

    // Read back: the same rows; "@x.hlp" and "x.hlp" are the same file line.
    CntReadResult r = ParseCntFile(golden);
    ASSERT_TRUE(r.Ok()) << r.error;
    rows[3].helpFile = "x.hlp";
    EXPECT_EQ(r.entries, rows);
    EXPECT_EQ(r.lists, h.lists);
}

// Titles, jumps and macros holding the file's own marks come back as they
// were written; what the format cannot hold is refused, naming the entry.
TEST(CntFile, EntriesWithTheFilesOwnMarksComeBackAsWritten) {
    CntHeader h;
    h.dosName = "demo";
    const std::vector<CntEntry> rows = {
        {1, "H", "a=b", "", ""},
        {1, "H", "x = y = z", "", ""},
        {2, "H", "semi;colon: and @at >gt", "", ""},
        {2, "T", "Topic a=b", "ctx", ""},
        {2, "T", "ends with a backslash\\", "ctx", ""},
        {2, "T", "\\=\\\\ marks", "ctx", ""},
        {2, "T", "path c:\\dir", "ctx", ""},
        {3, "T", "Elsewhere; a=b", "ctx", "x.hlp>win"},
        {3, "T", "Window =", "ctx", ">main"},
        {3, "T", "@at", "42", "y@z.hlp"},
        {3, "T", "Window holding an at", "42", ">w@z.hlp"},
        {2, "M", "Run=it", "ExecFile(a=b; c@d>e: f)", ""},
        {2, "M", "Macro ;", "JumpId(`x.hlp>w', `a=b')", ""},
        {1, "H", ":colon first", "", ""},
        {1, "H", "", "", ""},
    };
    std::string refusal;
    const std::string text = AssembleCntFile(h, rows, &refusal);
    EXPECT_EQ(refusal, "");
    CntReadResult r = ParseCntFile(text);
    ASSERT_TRUE(r.Ok()) << r.error;
    ASSERT_EQ(r.entries.size(), rows.size()) << text;
    for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(r.entries[i], rows[i]) << i << ": " << text;
    // The explorer shows the titles as the author wrote them.
    std::vector<std::string> titles, shown;
    for (const CntEntry& e : rows)
        if (!e.title.empty()) titles.push_back(e.title);  // an empty line is no node of the tree
    for (const ExplorerLine& l : ExplorerTreeLines(CntExplorerText(text))) shown.push_back(l.text);
    EXPECT_EQ(shown, titles);

    struct Bad {
        CntEntry entry;
        const char* named;  // what the message must name
    } bad[] = {
        {{1, "H", "two\r\nlines", "", ""}, "two"},
        {{1, "H", "line\nend", "", ""}, "line"},
        {{2, "T", "CR title\r", "ctx", ""}, "CR title"},
        {{2, "T", "Jump", "a\nb", ""}, "Jump"},
        {{2, "T", "At", "ctx@x", ""}, "At"},
        {{2, "T", "Gt", "ctx>w", ""}, "Gt"},
        {{2, "T", "Bang", "!Exit()", ""}, "Bang"},
        {{2, "T", "File", "ctx", "x.hlp\r\n"}, "File"},
        {{2, "M", "Macro", "Exit()\r\nQuit()", ""}, "Macro"},
        {{1, "I", ":include a\r\nb", "", ""}, ":include a"},
    };
    for (const Bad& b : bad) {
        std::vector<CntEntry> one = {{1, "H", "fine", "", ""}, b.entry};
        std::string why;
        EXPECT_EQ(AssembleCntFile(h, one, &why), "") << b.named;
        EXPECT_NE(why.find(b.named), std::string::npos) << why;
        EXPECT_NE(why.find("entry 2"), std::string::npos) << why;
    }
}

TEST(CntFile, LevelsAreWrittenWithinOneToNineAndValuesOnOneLine) {
    EXPECT_EQ(CntEntryLine({0, "H", "Zero", "", ""}), "1 Zero");
    EXPECT_EQ(CntEntryLine({12, "T", "Deep", "x", ""}), "9 Deep=x");
    EXPECT_EQ(CntEntryLine({1, "T", "Two\r\nlines", "a\nb", ""}), "1 Two  lines=a b");
}

struct LineCase {
    const char* name;
    std::string text;
    std::vector<CntEntry> entries;
    CntFileLists lists;
};

TEST(CntFile, ReaderLineRules) {
    const std::vector<LineCase> cases = {
        {"colon lines", ":Base x.hlp\n:Title T\n:TAB a=b.dll\n:link l.hlp\n:Index i=i.hlp\n:Other\n", {},
         {{"a=b.dll"}, {"i=i.hlp"}, {"l.hlp"}}},
        {"include", ":Include sub.cnt\r\n", {{1, "I", ":Include sub.cnt", "", ""}}, {}},
        {"heading", "3 A heading\r\n", {{3, "H", "A heading", "", ""}}, {}},
        {"topic", "3 Title=ctx\r\n", {{3, "T", "Title", "ctx", ""}}, {}},
        {"macro", "2 Run=!Macro(a,b)\r\n", {{2, "M", "Run", "Macro(a,b)", ""}}, {}},
        {"bang in title", "2 Wow!=!Mac()\r\n", {{2, "M", "Wow!", "Mac()", ""}}, {}},
        {"help file", "1 T=ctx@file.hlp\r\n", {{1, "T", "T", "ctx", "file.hlp"}}, {}},
        {"help file and window", "1 T=ctx@file.hlp>win\r\n", {{1, "T", "T", "ctx", "file.hlp>win"}}, {}},
        {"window alone", "1 T=ctx>win\r\n", {{1, "T", "T", "ctx", ">win"}}, {}},
        {"window before an at", "1 T=b>w@x.hlp\r\n", {{1, "T", "T", "b", ">w@x.hlp"}}, {}},
        {"bare = in the jump", "1 T=b>=b>t@x.hlp>win\r\n", {{1, "T", "T", "b", ">=b>t@x.hlp>win"}}, {}},
        {"empty and blank lines", "\r\n  \r\n1 A\r\n\r\n", {{1, "H", "A", "", ""}}, {}},
        {"LF only", "1 A\n2 B=b\n", {{1, "H", "A", "", ""}, {2, "T", "B", "b", ""}}, {}},
        {"CR only", "1 A\r2 B=b\r", {{1, "H", "A", "", ""}, {2, "T", "B", "b", ""}}, {}},
        {"no final line end", "1 A", {{1, "H", "A", "", ""}}, {}},
        {"tab after level", "2\tTabbed=t", {{2, "T", "Tabbed", "t", ""}}, {}},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        CntReadResult r = ParseCntFile(c.text);
        ASSERT_TRUE(r.Ok()) << r.error;
        EXPECT_EQ(r.entries, c.entries);
        EXPECT_EQ(r.lists, c.lists);
    }
}

TEST(CntFile, ABadLineRefusesTheWholeFileWithItsNumber) {
    struct Bad {
        std::string text;
        int line;
        const char* why;
    };
    const std::vector<Bad> cases = {
        {"1 Fine\r\nTitle without level\r\n", 2, "does not begin with a level"},
        {"1 Fine\n\n10 Title\n", 3, "not between 1 and 9"},
        {"0 Zero\n", 1, "not between 1 and 9"},
        {"1 Fine\r2Title\r", 2, "not followed by a blank"},
        {"5\n", 1, "not followed by a blank"},
    };
    for (const Bad& b : cases) {
        SCOPED_TRACE(b.text);
        CntReadResult r = ParseCntFile(b.text);
        EXPECT_EQ(r.errorLine, b.line);
        EXPECT_NE(r.error.find("Line " + std::to_string(b.line)), std::string::npos) << r.error;
        EXPECT_NE(r.error.find(b.why), std::string::npos) << r.error;
        EXPECT_TRUE(r.entries.empty());
    }
}

TEST(CntFile, ExplorerTextAndTree) {
    const std::string cnt = ":Base d.hlp\r\n:Title T\r\n1 Book\r\n2 Page=p\r\n3 Deep=!m\r\n:include x\r\n1 Two=t@f.hlp\r\n\r\n";
    EXPECT_EQ(CntExplorerText(cnt), "Book\r\n\tPage\r\n\t\tDeep\r\nTwo");
    EXPECT_EQ(CntExplorerText(":Base x\r\n"), "");

    // A line that skips levels hangs under the line before it.
    std::vector<ExplorerLine> nodes = ExplorerTreeLines("A\r\n\t\t\tB\r\n\tC\r\n\r\nD");
    std::vector<ExplorerLine> want = {{0, "A"}, {1, "B"}, {1, "C"}, {0, "D"}};
    EXPECT_EQ(nodes, want);
}

TEST(CntFile, ExplorerShowsLargeContents) {
    std::string cnt;
    for (int i = 0; i < 1500; ++i) cnt += "1 Entry " + std::to_string(i) + "=c" + std::to_string(i) + "\n";
    EXPECT_EQ(ExplorerTreeLines(CntExplorerText(cnt)).size(), 1500u);
}

TEST(CntFile, CorpusContentsReadsAndWritesBackLineForLine) {
    TAVRIN_REQUIRE_CORPUS();
    const std::string text = testsupport::ReadFileBytes(testsupport::CorpusFile("hlp/Eudora.cnt"));
    std::vector<std::string> lines = plat::SplitLines(text);
    CntReadResult r = ParseCntFile(text);
    ASSERT_TRUE(r.Ok()) << r.error;
    // One row per entry line, titles and jumps in full.
    ASSERT_EQ(r.entries.size(), lines.size() - 2);
    std::size_t longTitles = 0, longJumps = 0;
    for (const CntEntry& e : r.entries) {
        longTitles += e.title.size() > 40;
        longJumps += e.jump.size() > 40;
    }
    EXPECT_EQ(longTitles, 27u);
    EXPECT_EQ(longJumps, 26u);
    EXPECT_EQ(r.entries[1].title, "What's New in Eudora Email 7.0");
    EXPECT_EQ(r.entries[1].jump, "What_s_New_in_Eudora_Email_7.0");

    CntHeader h;
    h.dosName = "Eudora";
    h.helpTitle = "Eudora 7.0";
    std::string expected;
    for (const std::string& l : lines) expected += l + "\r\n";
    expected += "\r\n";
    EXPECT_EQ(AssembleCntFile(h, r.entries), expected);
}

}  // namespace
