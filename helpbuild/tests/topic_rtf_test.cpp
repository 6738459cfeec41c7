// Golden records of the project RTF file, derived by hand from the file's
// layout: footnote openers, title region, body piece, anchors; and the
// pieces cut from the text engine's RTF writer output.
#include <gtest/gtest.h>

#include <memory>

#include "converter/rtf_head.h"
#include "helpbuild/topic_rtf.h"
#include "platform/core/rtf_escape.h"
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
    EXPECT_EQ(MakeBodyPiece(Memo("Hello")), "{" + kPlain + "Hello}\r\n");
    EXPECT_EQ(MakeTitlePiece(Memo("Title")), "{" + kPlain + "Title}\r\n");
    // Two paragraphs: the writer's paragraph end LF CR is kept.
    EXPECT_EQ(MakeBodyPiece(Memo("a\r\nb")), "{" + kPlain + "a\\par\n\r" + kPlain + "b}\r\n");
}

TEST(TopicPieces, EmptyGroupFirstLineBecomesAGroupWithABlank) {
    EXPECT_EQ(MakeBodyPiece(Memo("")), "{ }\r\n");
    // Only the body; a title keeps what the writer wrote.
    EXPECT_EQ(MakeTitlePiece(Memo("")), "{}\r\n");
}

// A memo whose head carries document information (a title that itself reads
// "\margb") and odd margins gives the same pieces as a plain one.
TEST(TopicPieces, PiecesDoNotDependOnWhatTheMemosHeadHolds) {
    struct Case {
        const char* name;
        std::string title, subject, comment;
        std::int32_t marginBottom;
    } cases[] = {
        {"plain", "", "", "", 1440},
        {"information", "a}b\\margb9 {c", "s\xE9", "{d", 1440},
        {"negative margin", "", "", "", -20},
        {"title only", "\\titlepg", "", "", 0},
    };
    for (const Case& c : cases) {
        richtext::TJDRTFTextIo e;
        e.LoadFromString("Hello");
        e.Header().title = c.title;
        e.Header().subject = c.subject;
        e.Header().comment = c.comment;
        e.Header().marginBottom = c.marginBottom;
        const std::string memo = e.SaveToString();
        EXPECT_EQ(MakeBodyPiece(memo), "{" + kPlain + "Hello}\r\n") << c.name;
        EXPECT_EQ(MakeTitlePiece(memo), "{" + kPlain + "Hello}\r\n") << c.name;
        EXPECT_EQ(PreparePrintRecord("P", "", memo, true), "{" + kPlain + "Hello}\r\n") << c.name;
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
    std::string title = MakeTitlePiece(Memo("Introduction"));
    std::string body = MakeBodyPiece(Memo("Welcome"));
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

// Text put into RTF as a value is escaped alike by the build (footnotes,
// contents lines) and the converter (hidden targets, bookmarks, font and
// file names): 8-bit bytes as \'hh, braces and backslashes escaped, a tab
// as \tab, other control characters (CR LF among them) never raw.
TEST(RtfEscaping, TheBuildAndTheConverterEscapeAlike) {
    struct Case {
        std::string in, want;
    };
    const Case cases[] = {
        {"Caf\xE9 {x}", "Caf\\'e9 \\{x\\}"},
        {"C:\\help\\a.bmp", "C:\\\\help\\\\a.bmp"},
        {"one\r\ntwo", "onetwo"},
        {"a\tb", "a\\tab b"},
        {"\x01\x1F\x7F", ""},
        {"\x80\x81\xFF", "\\'80\\'81\\'ff"},
        {"}{\\", "\\}\\{\\\\"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(plat::RtfEscapeText(c.in), c.want) << c.in;
        // The converter's reference to a picture file by name.
        conv::HelpFile hf;
        conv::RtfOutput out = conv::RtfOutput::Memory();
        conv::WriteRtfPicture(hf, out, c.in, 'c', false);
        const std::string suffix = c.in.find('T') != std::string::npos ? "t" : "";
        EXPECT_EQ(out.Text(), "\\{bmc" + suffix + " " + c.want + "\\}") << c.in;
        EXPECT_EQ(FootnoteLine('K', c.in), Opener('K') + c.want + "}}\r\n") << c.in;
    }
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
    w.bodyOnly = true;
    ASSERT_EQ(e.SaveWithWriter(w, out), richtext::kWriteOk);
    std::string record = MakeTopicRecord(Page(3), false, "", out.str());
    EXPECT_NE(record.find("a" + kPlain + "{#{\\footnote{#} spot}}" + kPlain + "b"), std::string::npos) << record;
}

TEST(PrintRecord, PageBreakTitleRegionAndBodyOnly) {
    const std::string title = "{t}\r\n", body = "{b \\{mtj x\\}}\r\n";
    EXPECT_EQ(MakePrintRecord(true, true, title, body), "{\\pard\\plain \\keepn {t}\r\n\\par \\pard }" + body);
    EXPECT_EQ(MakePrintRecord(false, false, title, body), "\\page\r\n" + body);
}

TEST(PrintRecord, PreparedFromThePagesMemos) {
    EXPECT_EQ(PreparePrintRecord("T", Memo("Head"), Memo("Body"), true),
              "{\\pard\\plain \\keepn {" + kPlain + "Head}\r\n\\par \\pard }{" + kPlain + "Body}\r\n");
    // A popup's title is never a title region; an empty body prints two blanks.
    EXPECT_EQ(PreparePrintRecord("P", Memo("Head"), "", false), "\\page\r\n{" + kPlain + "  }\r\n");
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
