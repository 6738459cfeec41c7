// Golden records of the project RTF file, derived by hand from the file's
// layout: footnote openers, title region, body piece, anchors; and the
// pieces cut from the text engine's RTF writer output.
#include <gtest/gtest.h>

#include <memory>

#include "helpbuild/topic_rtf.h"
#include "platform/imaging/graphic.h"
#include "richtext/io/text_writer.h"
#include "richtext/view/rtf_text_io.h"

namespace {

using namespace build;

// The writer's head for a text with the default font table, colours and margins.
const std::string kHead =
    "{\\rtf1\\ansi\\deff0\\deftab720{\\fonttbl{\\f0\\fnil\\charset0 Arial;}}{\\colortbl"
    "\\red0\\green0\\blue0;\\red255\\green0\\blue0;\\red0\\green128\\blue0;\\red0\\green0\\blue255;"
    "\\red255\\green255\\blue0;\\red255\\green0\\blue255;\\red128\\green0\\blue128;\\red128\\green0\\blue0;"
    "\\red0\\green255\\blue0;\\red0\\green255\\blue255;\\red0\\green128\\blue128;\\red0\\green0\\blue128;"
    "\\red255\\green255\\blue255;\\red192\\green192\\blue192;\\red128\\green128\\blue128;\\red0\\green0\\blue0;}"
    "\\paperw12240\\paperh15840\\margl1880\\margr1880\\margt1440\\margb1440";
const std::string kPlain = "\\plain\\f0\\fs20\\cf0 ";

std::string Opener(char c) {
    std::string l(1, c);
    return "{\\cs16\\super " + l + "{\\*\\footnote \\pard\\plain \\s15\\widctlpar \\f4\\fs20\\lang1031 {\\cs16\\super " +
           l + "} ";
}

// A page memo as the page editors store it: the engine's RTF of a plain text.
std::string Memo(const std::string& plain) {
    richtext::TJDRTFTextIo e;
    if (!plain.empty()) e.LoadFromString(plain);
    return e.SaveToString();
}

TopicFields Page(std::int32_t id, const std::string& kind = "T") {
    TopicFields p;
    p.helpId = id;
    p.topicPopup = kind;
    return p;
}

TEST(TopicPieces, BodyAndTitlePiecesAreTheWriterOutputAfterItsHead) {
    EXPECT_EQ(WriteRtfSource(Memo("Hello")), kHead + "{" + kPlain + "Hello}\r\n}");
    EXPECT_EQ(MakeBodyPiece(Memo("Hello"), "1"), "{" + kPlain + "Hello}\r\n");
    EXPECT_EQ(MakeTitlePiece(Memo("Title"), "1"), "{" + kPlain + "Title}\r\n");
    // Two paragraphs: the writer's paragraph end LF CR is kept.
    EXPECT_EQ(MakeBodyPiece(Memo("a\r\nb"), "1"), "{" + kPlain + "a\\par\n\r" + kPlain + "b}\r\n");
}

TEST(TopicPieces, EmptyGroupFirstLineBecomesAGroupWithABlank) {
    EXPECT_EQ(MakeBodyPiece(Memo(""), "1"), "{ }\r\n");
    // Only the body; a title keeps what the writer wrote.
    EXPECT_EQ(MakeTitlePiece(Memo(""), "1"), "{}\r\n");
}

TEST(TopicPieces, CutAcceptsAnyBottomMarginAndInformationGroups) {
    struct Case {
        std::string source;
        bool ok;
        std::string piece;
    } cases[] = {
        {"{\\rtf1\\margb720{x}\r\n}", true, "{x}\r\n"},
        {"{\\rtf1\\margb1440{\\title a\\}b}{\\subject\tc}{\\comment\td}{x}\r\n}", true, "{x}\r\n"},
        // "\titlepg" is not an information group.
        {"{\\rtf1\\margb1440{\\titlepg x}}", true, "{\\titlepg x}"},
        {"{\\rtf1\\margl10{x}\r\n}", false, ""},
        {"{\\rtf1\\margb10{x}\r\n", false, ""},
        {"{\\rtf1\\margb10{\\title open", false, ""},
    };
    for (const Case& c : cases) {
        std::string piece;
        EXPECT_EQ(CutPiece(c.source, piece), c.ok) << c.source;
        if (c.ok) {
            EXPECT_EQ(piece, c.piece) << c.source;
        }
    }
}

TEST(TopicRecord, FirstPageWithEveryFootnoteAndTitleRegion) {
    TopicFields p = Page(10);
    p.contextString = "intro";
    p.title = "Introduction";
    p.keys = "start;begin";
    p.browseName = "main";
    p.browseId = "5";
    p.bFootnote = "bee";
    p.aFootnote = "ay";
    p.macroFootnote = "CloseWindow(`main')";
    std::string title = MakeTitlePiece(Memo("Introduction"), "10");
    std::string body = MakeBodyPiece(Memo("Welcome"), "10");
    EXPECT_EQ(MakeTopicRecord(p, true, title, body),
              Opener('#') + "10}}\r\n" + Opener('#') + "intro}}\r\n" + Opener('$') + "Introduction}}\r\n" +
                  Opener('K') + "start;begin}}\r\n" + Opener('+') + "main : 5}}\r\n" + Opener('B') + "bee}}\r\n" +
                  Opener('A') + "ay}}\r\n" + Opener('!') + "CloseWindow(`main')}}\r\n" +
                  "{\\pard\\plain \\keepn {" + kPlain + "Introduction}\r\n\\par \\pard }" + "{" + kPlain +
                  "Welcome}\r\n");
}

TEST(TopicRecord, FootnotesByCondition) {
    const std::string body = "{x}\r\n";
    struct Case {
        const char* name;
        TopicFields page;
        std::string footnotes;
    };
    TopicFields noContext = Page(7);
    TopicFields browseNoName = Page(8);
    browseNoName.browseId = "3";
    TopicFields browseNameNoId = Page(9);
    browseNameNoId.browseName = "seq";
    TopicFields popup = Page(11, "P");
    popup.title = "Pop";
    Case cases[] = {
        {"empty context string: only the HelpId", noContext, Opener('#') + "7}}\r\n"},
        {"browse id without name", browseNoName, Opener('#') + "8}}\r\n" + Opener('+') + " : 3}}\r\n"},
        {"browse name without id: nothing", browseNameNoId, Opener('#') + "9}}\r\n"},
        {"popup with title", popup, Opener('#') + "11}}\r\n" + Opener('$') + "Pop}}\r\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(MakeTopicRecord(c.page, false, "", body), c.footnotes + body) << c.name;
}

TEST(TopicRecord, LongValueIsWrittenWholeAndClosed) {
    TopicFields p = Page(1);
    p.keys = std::string(300, 'k');
    std::string r = MakeTopicRecord(p, false, "", "{b}\r\n");
    // The old 255-character cut dropped "}}" and swallowed the rest of the file.
    EXPECT_EQ(r, Opener('#') + "1}}\r\n" + Opener('K') + std::string(300, 'k') + "}}\r\n{b}\r\n");
}

TEST(TopicRecord, ValueWithBracesAndBackslashesIsEscaped) {
    TopicFields p = Page(2);
    p.title = "a{b}c\\d";
    p.macroFootnote = "ExecFile(`c:\\x.exe')";
    EXPECT_EQ(FootnoteLines(p), Opener('#') + "2}}\r\n" + Opener('$') + "a\\{b\\}c\\\\d}}\r\n" + Opener('!') +
                                    "ExecFile(`c:\\\\x.exe')}}\r\n");
}

TEST(TopicRecord, AnchorsBelowOneHundredCharactersBecomeFootnotes) {
    const std::string n99(99, 'a'), n100(100, 'b');
    EXPECT_EQ(ConvertAnchors("x\\{mtj here\\}y"), "x{#{\\footnote{#} here}}y");
    EXPECT_EQ(ConvertAnchors("\\{mtj " + n99 + "\\}"), "{#{\\footnote{#} " + n99 + "}}");
    // 100 characters: the markers go, the name stays as text.
    EXPECT_EQ(ConvertAnchors("<\\{mtj " + n100 + "\\}>"), "<" + n100 + ">");
    EXPECT_EQ(ConvertAnchors("\\{mtj a\\}\\{mtj b\\}"), "{#{\\footnote{#} a}}{#{\\footnote{#} b}}");
    // A marker that never closes stays as it is.
    EXPECT_EQ(ConvertAnchors("\\{mtj open"), "\\{mtj open");
    // Other picture references are left alone.
    EXPECT_EQ(ConvertAnchors("\\{bmc a.bmp\\}"), "\\{bmc a.bmp\\}");
}

TEST(TopicRecord, AnchorObjectInAPageBodyBecomesAFootnoteAtItsPlace) {
    richtext::TJDRTFTextIo e;
    richtext::TJDCharAttr a;
    a.size = 10;
    richtext::TLine* line = e.FirstParagraph()->lines;
    e.InsertChar(line, 'a', a);
    auto* rec = e.AddObject(std::make_shared<plat::TRawGraphic>(plat::TGraphicKind::Unknown, "zz", 1, 1), 0);
    ASSERT_NE(rec, nullptr);
    rec->referenceText = "mtj spot";
    e.AppendObjectChar(line, a, *rec);
    e.InsertChar(line, 'b', a);
    std::ostringstream out;
    richtext::TJDRTFWriter w(&e);
    w.pictureReferences = true;
    ASSERT_EQ(e.SaveWithWriter(w, out), richtext::kWriteOk);
    std::string piece;
    ASSERT_TRUE(CutPiece(out.str(), piece));
    std::string record = MakeTopicRecord(Page(3), false, "", piece);
    EXPECT_NE(record.find("a" + kPlain + "{#{\\footnote{#} spot}}" + kPlain + "b"), std::string::npos) << record;
}

TEST(PrintRecord, PageBreakTitleRegionAndBodyOnly) {
    const std::string title = "{t}\r\n", body = "{b \\{mtj x\\}}\r\n";
    EXPECT_EQ(MakePrintRecord(true, true, title, body), "{\\pard\\plain \\keepn {t}\r\n\\par \\pard }" + body);
    EXPECT_EQ(MakePrintRecord(false, false, title, body), "\\page\r\n" + body);
}

TEST(PrintRecord, PreparedFromThePagesMemos) {
    EXPECT_EQ(PreparePrintRecord("T", Memo("Head"), Memo("Body"), true, "1"),
              "{\\pard\\plain \\keepn {" + kPlain + "Head}\r\n\\par \\pard }{" + kPlain + "Body}\r\n");
    // A popup's title is never a title region; an empty body prints two blanks.
    EXPECT_EQ(PreparePrintRecord("P", Memo("Head"), "", false, "2"), "\\page\r\n{" + kPlain + "  }\r\n");
}

TEST(ProjectHeader, ClosingBraceBecomesFootnotesAtTheBottom) {
    EXPECT_EQ(MakeProjectHeader(Memo("")), kHead + "{}\r\n{\\ftnbj }");
}

TEST(ContentsPage16, HeadingOneJumpPerTopicAndAPageBreak) {
    // The engine keeps Arial in the first slot; other fonts follow it, and
    // the index found is the one the written header declares.
    std::string header =
        "{\\rtf1\\ansi{\\fonttbl{\\f0\\froman Times New Roman;}{\\f1\\fmodern Courier New;}}\\pard x\\par}";
    int arial = -1;
    std::string head = MakeProjectHeader(header, "Arial", &arial);
    EXPECT_NE(head.find("{\\f" + std::to_string(arial) + "\\fnil\\charset0 Arial;}"), std::string::npos) << head;
    EXPECT_NE(head.find("Times New Roman;}"), std::string::npos) << head;
    EXPECT_EQ(head.substr(head.size() - 9), "{\\ftnbj }");

    TopicFields a = Page(1), pop = Page(2, "P"), b = Page(3);
    a.title = "First";
    pop.title = "Popup";
    b.title = "Second {x}";
    EXPECT_EQ(MakeContentsPage16({a, pop, b}, 2),
              "\r\n{\\plain \\b\\f2\\cf2\\fs40 Contents\\par}\r\n"
              "{\\b\\f2\\cf2\\fs24 {\\uldb First}{\\v 1}}\\par\r\n"
              "{\\b\\f2\\cf2\\fs24 {\\uldb Second \\{x\\}}{\\v 3}}\\par\r\n"
              "\\page\r\n");
}

}  // namespace
