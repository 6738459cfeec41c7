#include "richtext/io/html_writer.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "richtext/io/html_reader.h"
#include "rtf_test_util.h"

using namespace richtext;

namespace {

TJDCharAttr Plain() {
    TJDCharAttr a;
    a.size = 10;
    return a;
}

TJDCharAttr Styled(std::uint16_t style, int color = 0) {
    TJDCharAttr a = Plain();
    a.style = style;
    a.SetTextColor(static_cast<unsigned>(color));
    return a;
}

void Append(TJDRTFText& m, TLine* l, const std::string& text, const TJDCharAttr& a) {
    for (char c : text) m.InsertChar(l, c == '\n' ? 1010 : static_cast<unsigned char>(c), a);
}

std::string WriteHtml(TJDRTFText& m, int* result = nullptr, bool nbsp = false) {
    std::ostringstream out;
    TJDHTMLWriter w(&m);
    w.leaveOutNonBreakingSpace = nbsp;
    int r = w.Write(out);
    if (result) *result = r;
    return out.str();
}

// A help page: a jump (jump text + hidden target), a popup (underlined text +
// hidden target), a picture, a two-cell table and a last paragraph with
// characters that need escaping and a line break.
TEST(HtmlWriter, GoldenHelpPage) {
    TJDRTFText m;
    TParagraph* p = m.FirstParagraph();
    Append(m, p->lines, "See ", Plain());
    Append(m, p->lines, "Topic", Styled(kStyleHyperlink, 2));  // colour 2 is green, 008000
    Append(m, p->lines, "T2", Styled(kStyleHidden));
    Append(m, p->lines, " and ", Plain());
    Append(m, p->lines, "note", Styled(kStyleUnderline));
    Append(m, p->lines, "P1", Styled(kStyleHidden));
    Append(m, p->lines, ".", Plain());

    p = m.NewParagraph(p);
    TJDObjectRecord* rec = m.AddObject(nullptr, 0xFFFF);
    rec->fileName = "pic.bmp";
    rec->width = 300;   // 20 pixels at 15 twips each
    rec->height = 150;  // 10 pixels
    m.AppendObjectChar(p->lines, Plain(), *rec);

    TParagraph* a = m.NewParagraph(p);
    a->flags = kParTableCell | kParCellFollows;
    a->cellWidth = 127;
    Append(m, a->lines, "a", Plain());
    TParagraph* b = m.NewParagraph(a);
    b->flags = kParTableCell | kParNotFirstCell;
    b->cellStart = 127;
    b->cellWidth = 128;
    b->alignment = 1;
    Append(m, b->lines, "b", Styled(kStyleBold));

    p = m.NewParagraph(b);
    Append(m, p->lines, "a<b & {x}\nend", Plain());
    m.Header().title = "Help\r\nPage";

    int result = -1;
    std::string html = WriteHtml(m, &result);
    EXPECT_EQ(result, 0);
    // Derivation: the head names the base font (font 0, "Arial") and colour 0;
    // runs in the base font and size open no FONT tag; a jump and a popup write
    // their colour right before the link (the popup's colour 0 is black) and
    // no <u>; the picture's twips become pixels; a row of cells is a <tr>; the
    // last paragraph is closed by the end of the document.
    EXPECT_EQ(html,
              "<html>\r\n<title>HelpPage</title><BASEFONT FACE=\"Arial\" COLOR=#000000>\r\n"
              "<p>See <FONT COLOR=#008000><A HREF=\"T2\">Topic</A></FONT> and "
              "<FONT COLOR=#000000><A HREF=\"P1\">note</A></FONT>.</p>\r\n"
              "<p><IMG SRC=\"pic.bmp\" WIDTH=\"20\" HEIGHT=\"10\"></p>\r\n"
              "<table>\r\n<tr><td>a</td>\r\n<td ALIGN=\"RIGHT\"><b>b</b></td>\r\n</tr>\r\n</table>\r\n"
              "<p>a&lt;b &amp; \\{x\\}<br>\r\nend</p>\r\n"
              "\r\n</html>");
}

// An anchor object becomes the text the export turns into a mark, only when
// asked; a picture object beside it stays a picture.
TEST(HtmlWriter, AnchorObjectsAsMarkText) {
    TJDRTFText m;
    TParagraph* p = m.FirstParagraph();
    Append(m, p->lines, "x", Plain());
    TJDObjectRecord* anchor = m.AddObject(nullptr, 0xFFFF);
    anchor->referenceText = "mtj Sect<1>";
    m.AppendObjectChar(p->lines, Plain(), *anchor);
    TJDObjectRecord* pic = m.AddObject(nullptr, 0xFFFF);
    pic->fileName = "a.bmp";
    pic->width = pic->height = 150;
    pic->referenceText = "bmc a.bmp";
    m.AppendObjectChar(p->lines, Plain(), *pic);
    const std::string img = "<IMG SRC=\"a.bmp\" WIDTH=\"10\" HEIGHT=\"10\">";
    for (bool marks : {false, true}) {
        std::ostringstream out;
        TJDHTMLWriter w(&m);
        w.anchorMarks = marks;
        ASSERT_EQ(w.Write(out), 0);
        const std::string html = out.str();
        EXPECT_NE(html.find("<p>x" + std::string(marks ? "\\{mtj Sect&lt;1&gt;\\}" : "") + img + "</p>"),
                  std::string::npos)
            << html;
    }
}

// A "#" footnote in the text (an imported page's anchor, as the help
// compiler writes it) is a mark too when marks are asked for; other
// footnotes are not, and without marks the "#" stays the text it was.
TEST(HtmlWriter, AnchorFootnotesAsMarkText) {
    const std::string rtf =
        "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 A {\\cs16\\super #{\\*\\footnote \\pard\\plain "
        "{\\cs16\\super #} gloss<a>}}B {\\cs16\\super K{\\*\\footnote {\\cs16\\super K} key}}C\\par }";
    for (bool marks : {false, true}) {
        SCOPED_TRACE(marks);
        TJDRTFText m;
        TJDRtfReader reader;
        reader.SetModel(&m);
        std::istringstream in(rtf);
        ASSERT_EQ(reader.Read(in), 0);
        std::ostringstream out;
        TJDHTMLWriter w(&m);
        w.anchorMarks = marks;
        ASSERT_EQ(w.Write(out), 0);
        const std::string html = out.str();
        const std::size_t a = html.find("A "), b = html.find("B ", a == std::string::npos ? 0 : a);
        ASSERT_NE(a, std::string::npos) << html;
        ASSERT_NE(b, std::string::npos) << html;
        const std::string between = html.substr(a + 2, b - a - 2);
        if (marks) {
            EXPECT_NE(between.find("\\{mtj gloss&lt;a&gt;\\}"), std::string::npos) << html;
            EXPECT_EQ(between.find('#'), std::string::npos) << html;
        } else {
            EXPECT_NE(between.find('#'), std::string::npos) << html;
        }
        EXPECT_EQ(html.find("mtj key"), std::string::npos) << html;
    }
}

struct RunCase {
    const char* name;
    std::string text;
    TJDCharAttr attr;
    int alignment;
    std::uint32_t border;
    const char* body;  // between the head and the document end
};

TJDCharAttr Sized(int size) {
    TJDCharAttr a = Plain();
    a.size = static_cast<std::uint8_t>(size);
    return a;
}

TJDCharAttr Font1() {
    TJDCharAttr a = Plain();
    a.font = 1;
    return a;
}

TJDCharAttr Back(int index) {
    TJDCharAttr a = Plain();
    a.SetBackColor(static_cast<unsigned>(index));
    return a;
}

TJDCharAttr Big() {
    TJDCharAttr a = Font1();
    a.size = 36;
    a.style = kStyleBold;
    a.SetTextColor(1);
    return a;
}

class HtmlRuns : public ::testing::TestWithParam<RunCase> {};

TEST_P(HtmlRuns, WritesParagraphAndRun) {
    const RunCase& c = GetParam();
    TJDRTFText m;
    m.Header().fontNames[1] = "Courier New";
    TParagraph* p = m.FirstParagraph();
    p->alignment = static_cast<std::uint8_t>(c.alignment);
    p->border = c.border;
    Append(m, p->lines, c.text, c.attr);
    std::string html = WriteHtml(m);
    std::string head = "<html>\r\n<title></title><BASEFONT FACE=\"Arial\" COLOR=#000000>\r\n";
    ASSERT_EQ(html.substr(0, head.size()), head);
    EXPECT_EQ(html.substr(head.size()), std::string(c.body) + "\r\n</html>") << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HtmlRuns,
    ::testing::Values(
        RunCase{"escape", "a<b>&c", Plain(), 0, 0, "<p>a&lt;b&gt;&amp;c</p>\r\n"},
        RunCase{"high and control bytes; a tab kept as a reference", "\xE9\x7F\tx\x02", Plain(), 0, 0, "<p>&#233;&#127;&#9;x</p>\r\n"},
        RunCase{"centred", "x", Plain(), 2, 0, "<p ALIGN=\"CENTER\">x</p>\r\n"},
        RunCase{"justified", "x", Plain(), 3, 0, "<p ALIGN=\"JUSTIFIED\">x</p>\r\n"},
        RunCase{"styles nest", "x", Styled(kStyleBold | kStyleItalic | kStyleUnderline | kStyleSuper), 0, 0,
                "<p><b><u><i><sup>x</sup></i></u></b></p>\r\n"},
        RunCase{"size", "x", Sized(14), 0, 0, "<p><FONT SIZE=4>x</FONT></p>\r\n"},
        RunCase{"size in the base's step", "x", Sized(11), 0, 0, "<p>x</p>\r\n"},
        RunCase{"face", "x", Font1(), 0, 0, "<p><FONT FACE=\"Courier New\">x</FONT></p>\r\n"},
        RunCase{"face, size and colour", "x", Big(), 0, 0,
                "<p><FONT COLOR=#FF0000 FACE=\"Courier New\" SIZE=7><b>x</b></FONT></p>\r\n"},
        RunCase{"colours", "x", Back(3), 0, 0, "<p><FONT BGCOLOR=#0000FF>x</FONT></p>\r\n"},
        RunCase{"bordered", "x", Plain(), 0, kBorderOn | kBorderBox, "\r\n<table BORDER><td>x</td></table>\r\n"},
        RunCase{"hidden alone", "x", Styled(kStyleHidden), 0, 0, "<p></p>\r\n"},
        RunCase{"rtf code verbatim", "{\\b}", Styled(kStyleRtfCode), 0, 0, "<p>{\\b}</p>\r\n"},
        RunCase{"anchor without target", "x", Styled(kStyleInsertPoint), 0, 0, "<p><A>x</A></p>\r\n"},
        RunCase{"underline without target", "u", Styled(kStyleUnderline), 0, 0, "<p><u>u</u></p>\r\n"},
        RunCase{"numbering mark keeps a blank for its TAB", "1.\t", Styled(kStyleNumbering), 0, 0,
                "<p>1. </p>\r\n"}));

TEST(HtmlWriter, AnchorAndTargetBecomeLink) {
    TJDRTFText m;
    TLine* l = m.FirstParagraph()->lines;
    Append(m, l, "go", Styled(kStyleInsertPoint));
    Append(m, l, "T9", Styled(kStyleAutomatic));
    Append(m, l, "!", Plain());
    std::string html = WriteHtml(m);
    EXPECT_NE(html.find("<p><A HREF=\"T9\">go</A>!</p>"), std::string::npos) << html;
}

TEST(HtmlWriter, LinkStylesStandOutsideItsFontTag) {
    TJDRTFText m;
    m.Header().fontNames[1] = "Courier New";
    TLine* l = m.FirstParagraph()->lines;
    TJDCharAttr jump = Styled(kStyleHyperlink | kStyleBold, 3);
    jump.font = 1;
    Append(m, l, "Go", jump);
    Append(m, l, "T1", Styled(kStyleHidden));
    Append(m, l, "!", Plain());
    EXPECT_NE(WriteHtml(m).find("<p><b><FONT COLOR=#0000FF FACE=\"Courier New\"><A HREF=\"T1\">Go</A></FONT></b>!</p>"),
              std::string::npos)
        << WriteHtml(m);
}

TEST(HtmlWriter, NonBreakingSpaceRunLeftOutOnRequest) {
    TJDRTFText m;
    TLine* l = m.FirstParagraph()->lines;
    Append(m, l, "a", Plain());
    Append(m, l, "\xA0", Styled(kStyleBold));
    Append(m, l, "b", Plain());
    EXPECT_NE(WriteHtml(m, nullptr, true).find("<p>ab</p>"), std::string::npos);
    EXPECT_NE(WriteHtml(m, nullptr, false).find("<b>&#160;</b>"), std::string::npos);
}

TEST(HtmlWriter, FailedStreamGivesWriteFailure) {
    TJDRTFText m;
    Append(m, m.FirstParagraph()->lines, "text", Plain());
    std::ostream bad(nullptr);
    TJDHTMLWriter w(&m);
    EXPECT_EQ(w.Write(bad), kWriteFailed);
}

// What the writer writes, the reader reads back to the same page.
TEST(HtmlWriter, RoundTripThroughReader) {
    const std::string page =
        "<html><title>Round</title><body><p>plain <b>bold</b> <a href=\"Target\">link</a></p>"
        "<p ALIGN=center><FONT SIZE=5 COLOR=red>big</FONT></p>"
        "<table border><tr><td>one<td>two</tr></table><p>x &lt; y<br>z</p>";
    TJDRTFText first;
    {
        std::istringstream in(page);
        TJDHTMLReader r;
        r.SetModel(&first);
        ASSERT_EQ(r.Read(in), 0);
    }
    std::string once = WriteHtml(first);
    TJDRTFText second;
    {
        std::istringstream in(once);
        TJDHTMLReader r;
        r.SetModel(&second);
        ASSERT_EQ(r.Read(in), 0);
    }
    EXPECT_EQ(rtftest::Paragraphs(second), rtftest::Paragraphs(first));
    EXPECT_EQ(WriteHtml(second), once);
    EXPECT_NE(once.find("<A HREF=\"Target\">link</A>"), std::string::npos) << once;
    EXPECT_NE(once.find("<FONT COLOR=#FF0000 SIZE=5>big</FONT>"), std::string::npos) << once;
}

// Text the writer escapes comes back as it was: braces and backslashes,
// tabs, and link targets with "&", "<" and quotes in them.
TEST(HtmlWriter, EscapedTextAndAttributesRoundTrip) {
    TJDRTFText m;
    TLine* l = m.FirstParagraph()->lines;
    Append(m, l, "a{b}c\\d\te", Plain());
    Append(m, l, "go", Styled(kStyleInsertPoint));
    Append(m, l, "x.htm?a=1&b=<2>\"", Styled(kStyleAutomatic | kStyleHidden));
    std::string html = WriteHtml(m);
    EXPECT_NE(html.find("HREF=\"x.htm?a=1&amp;b=&lt;2&gt;&quot;\""), std::string::npos) << html;
    EXPECT_NE(html.find("&#9;"), std::string::npos) << html;
    TJDRTFText back;
    std::istringstream in(html);
    TJDHTMLReader r;
    r.SetModel(&back);
    ASSERT_EQ(r.Read(in), 0);
    EXPECT_EQ(rtftest::Paragraphs(back), rtftest::Paragraphs(m));
    const TJDCharAttr* target = rtftest::AttrOf(back, "x.htm");
    ASSERT_NE(target, nullptr);
    EXPECT_TRUE(target->style & kStyleHidden);
    EXPECT_EQ(WriteHtml(back), html);
}

}  // namespace

namespace {

// With sizes in points a run keeps its own size (9 points is not rounded to
// the scale's 8); a run of the base size has no size at all. Without, the
// 1..7 scale as before.
TEST(HtmlWriter, RunSizesInPointsWhenAsked) {
    const struct {
        const char* fs;
        const char* points;  // STYLE written, "" for none
        const char* scale;   // SIZE written, "" for none
    } cases[] = {
        {"\\fs18", " STYLE=\"font-size:9pt\"", " SIZE=1"},
        {"\\fs16", " STYLE=\"font-size:8pt\"", " SIZE=1"},
        {"\\fs20", "", ""},
        {"\\fs22", " STYLE=\"font-size:11pt\"", ""},
        {"\\fs28", " STYLE=\"font-size:14pt\"", " SIZE=4"},
    };
    for (const auto& c : cases) {
        for (bool points : {false, true}) {
            SCOPED_TRACE(std::string(c.fs) + (points ? " points" : " scale"));
            richtext::TJDRTFText m;
            richtext::TJDRtfReader reader;
            reader.SetModel(&m);
            std::istringstream in(std::string("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 base ") + c.fs +
                                  " run\\par }");
            ASSERT_EQ(reader.Read(in), 0);
            std::ostringstream out;
            richtext::TJDHTMLWriter w(&m);
            w.pointSizes = points;
            ASSERT_EQ(w.Write(out), 0);
            const std::string html = out.str();
            const std::string attribute = points ? c.points : c.scale;
            if (attribute.empty()) {
                EXPECT_NE(html.find("<p>base run</p>"), std::string::npos) << html;
            } else {
                EXPECT_NE(html.find("<p>base <FONT" + attribute + ">run</FONT></p>"), std::string::npos) << html;
            }
        }
    }
}

}  // namespace

namespace {

// Bullets and marks typed in a symbol font (as converted help pages have
// them) show as those marks in a browser, not as the Latin-1 letters of
// their bytes ("§" for the Wingdings square); other fonts' bytes are kept.
TEST(HtmlWriter, SymbolFontMarksAreWrittenAsTheCharactersTheyShow) {
    struct Case {
        const char* face;
        const char* bytes;
        std::string want;     // in the HTML
        std::string notWant;  // never in the HTML
    } cases[] = {
        {"WingDings", "\\'a7", "&#9642;", "&#167;"},
        {"Wingdings", "l", "&#9679;", ">l<"},
        {"Symbol", "\\'b7\\'b7", "&#8226;&#8226;", "&#183;"},
        {"Arial", "\\'a7", "&#167;", "&#9642;"},  // a text face keeps its letter
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.face);
        const std::string rtf = std::string("{\\rtf1\\ansi{\\fonttbl{\\f0\\fswiss Arial;}{\\f4\\fswiss ") + c.face +
                                ";}}\\pard\\f4 " + c.bytes + "\\f0\\tab Item\\par}";
        rtftest::Loaded l = rtftest::ReadRtf(rtf);
        ASSERT_EQ(l.result, 0);
        const std::string html = WriteHtml(*l.model);
        EXPECT_NE(html.find(c.want), std::string::npos) << html;
        EXPECT_EQ(html.find(c.notWant), std::string::npos) << html;
        EXPECT_NE(html.find("Item"), std::string::npos) << html;
    }
}

}  // namespace
