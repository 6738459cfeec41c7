#include "richtext/io/html_reader.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "rtf_test_util.h"
#include "platform/imaging/graphic.h"
#include "tests/support/test_support.h"

using namespace richtext;

namespace {

struct Html {
    std::unique_ptr<TJDRTFText> model = std::make_unique<TJDRTFText>();
    std::vector<std::string> pictures;  // sources asked for
    std::string background;
};

Html ReadHtml(const std::string& html) {
    Html h;
    h.model->services.OnHTMLBitmapRequest = [&h](void*, const std::string& name, std::shared_ptr<plat::TGraphic>&) {
        h.pictures.push_back(name);
    };
    std::istringstream in(html);
    TJDHTMLReader reader;
    reader.SetModel(h.model.get());
    EXPECT_EQ(reader.Read(in), 0);
    h.background = reader.backgroundPicture;
    return h;
}

std::string Joined(const TJDRTFText& m) {
    std::string s;
    bool first = true;
    for (const std::string& p : rtftest::Paragraphs(m)) {
        s += (first ? "" : "|") + p;
        first = false;
    }
    return s;
}

struct TextCase {
    const char* html;
    std::string text;  // paragraphs joined by "|"
};

class HtmlText : public ::testing::TestWithParam<TextCase> {};

TEST_P(HtmlText, ReadsAsText) {
    Html h = ReadHtml(GetParam().html);
    EXPECT_EQ(Joined(*h.model), GetParam().text) << GetParam().html;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HtmlText,
    ::testing::Values(
        TextCase{"a  b", "a b"}, TextCase{"<pre>a  b</pre>", "a  b"}, TextCase{"&LT;", "<"},
        TextCase{"&#65;", "A"}, TextCase{"x&unknown;y", "xy"}, TextCase{"&#0;z", "z"},
        TextCase{"a &amp; b &quot;q&quot; &gt;", "a & b \"q\" >"}, TextCase{"a&nbsp;b", "a b"},
        TextCase{"a & b", "a & b"}, TextCase{"a < b", "a < b"}, TextCase{"a<br>  b", "a\nb"},
        TextCase{"a<br/>b", "a\nb"}, TextCase{"<p>x</p>\r\n <p>y</p>", "x|y"},
        TextCase{"  lead\r\n", "lead"}, TextCase{"one\r\ntwo", "one two"},
        // a file with LF line ends keeps its words apart
        TextCase{"line one\nline two", "line one line two"},
        TextCase{"<pre>a\nb</pre>", "a|b"}, TextCase{"<!-- <b>x</b> -- -->y", "y"},
        TextCase{"<unknown attr=\"v>w\">t</unknown>", "t"}, TextCase{"<title>T</title>body", "body"},
        TextCase{"<h1>Head</h1>text", "Head|text"}, TextCase{"<center>c</center>d", "c|d"},
        TextCase{"<ul><li>one<li>two</ul>after", "\xB7\tone|\xB7\ttwo|after"},
        TextCase{"<ol><li>a<li>b</ol>", "1.\ta|2.\tb"}, TextCase{"<ol TYPE=I><li>a<li>b</ol>", "I\ta|II\tb"},
        TextCase{"<b", ""}, TextCase{"x&", "x&"}, TextCase{"<!-- open", ""}, TextCase{"<a href=\"", ""}));

TEST(HtmlReader, ListItemsBecomeNumberedParagraphsWithGeneratedMarks) {
    // List style code x 16 + nesting level; the mark and its TAB carry 0x8000.
    Html h = ReadHtml("<ol TYPE=a><li>x<ol TYPE=I><li>y</ol></ol><p>z");
    TParagraph* x = h.model->FirstParagraph();
    TParagraph* y = x->next;
    TParagraph* z = y->next;
    ASSERT_NE(z, nullptr);
    EXPECT_EQ(x->numbering, lsLetters * 16 + 0);
    EXPECT_EQ(y->numbering, lsCapitalRoman * 16 + 1);
    EXPECT_EQ(z->numbering, 0);
    EXPECT_EQ(NumberingPrefix(x), 3);  // "a)" TAB
    EXPECT_EQ(NumberingPrefix(y), 2);  // "I" TAB
    EXPECT_EQ(NumberingPrefix(z), 0);
    EXPECT_EQ(x->lines->attrs[3].style & kStyleNumbering, 0);  // the item's own text
}

TEST(HtmlReader, EntityNamesEndAtTwentyCharacters) {
    // The name is cut after 20 characters; what follows is text again.
    Html h = ReadHtml("&abcdefghijklmnopqrstXY;");
    EXPECT_EQ(Joined(*h.model), "XY;");
}

TEST(HtmlReader, WithoutModelRaisesWrongArguments) {
    TJDHTMLReader reader;
    std::istringstream in("<p>x");
    try {
        reader.Read(in);
        FAIL() << "no exception";
    } catch (const ERichTextError& e) {
        EXPECT_STREQ(e.what(), "Wrong Arguments");
    }
}

struct AttrCase {
    const char* html;
    const char* probe;  // text whose first character is checked
    const char* font;   // nullptr: the default font
    int size;
    std::uint16_t style;
};

class HtmlAttr : public ::testing::TestWithParam<AttrCase> {};

TEST_P(HtmlAttr, SetsCharacterAttributes) {
    const AttrCase& c = GetParam();
    Html h = ReadHtml(c.html);
    const TJDCharAttr* a = rtftest::AttrOf(*h.model, c.probe);
    ASSERT_NE(a, nullptr) << c.html;
    EXPECT_EQ(h.model->Header().fontNames[a->font], c.font ? c.font : "Arial") << c.html;
    EXPECT_EQ(a->size, c.size) << c.html;
    EXPECT_EQ(a->style, c.style) << c.html;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HtmlAttr,
    ::testing::Values(
        AttrCase{"<pre>a  b</pre>", "a", "Courier New", 10, 0},
        AttrCase{"<FONT SIZE=7>x</FONT>", "x", nullptr, 36, 0},
        AttrCase{"<FONT SIZE=1>x</FONT>", "x", nullptr, 8, 0},
        AttrCase{"<FONT SIZE=+1>x</FONT>", "x", nullptr, 12, 0},
        AttrCase{"<FONT SIZE=-9>x</FONT>", "x", nullptr, 8, 0},
        AttrCase{"<FONT FACE=courier>x</FONT>", "x", "Courier New", 10, 0},
        AttrCase{"<FONT FACE=\"Times New Roman, serif\">x</FONT>", "x", "Times New Roman", 10, 0},
        AttrCase{"<FONT SIZE=7>x</FONT>y", "y", nullptr, 10, 0},
        AttrCase{"<b>x</b>y", "x", nullptr, 10, kStyleBold},
        AttrCase{"<b>x</b>y", "y", nullptr, 10, 0},
        AttrCase{"<strong><i>x</i></strong>", "x", nullptr, 10, kStyleBold | kStyleItalic},
        AttrCase{"<b><i>x</b>y</i>", "y", nullptr, 10, 0},  // crossed end tags restore the outer attribute
        AttrCase{"<u>x</u>", "x", nullptr, 10, kStyleUnderline},
        AttrCase{"<sub>x</sub>", "x", nullptr, 10, kStyleSub},
        AttrCase{"<sup>x</sup>", "x", nullptr, 10, kStyleSuper},
        AttrCase{"<small>x</small>", "x", nullptr, 8, 0},
        AttrCase{"<h1>x</h1>", "x", nullptr, 22, 0},
        AttrCase{"<h2>x</h2>y", "x", nullptr, 15, kStyleBold},
        AttrCase{"<h2>x</h2>y", "y", nullptr, 10, 0},
        AttrCase{"<h5>x</h5>", "x", nullptr, 12, kStyleItalic}));

TEST(HtmlReader, ColoursByNameAndHex) {
    Html h = ReadHtml("<FONT COLOR=red>r</FONT><FONT COLOR=#123456 BGCOLOR=yellow>h</FONT>");
    const auto& colors = h.model->Header().colors;
    const TJDCharAttr* r = rtftest::AttrOf(*h.model, "r");
    const TJDCharAttr* x = rtftest::AttrOf(*h.model, "h");
    ASSERT_TRUE(r && x);
    EXPECT_EQ(colors[r->TextColor()], (TRgbEntry{255, 0, 0, 0}));
    EXPECT_EQ(colors[x->TextColor()], (TRgbEntry{0x12, 0x34, 0x56, 0}));
    EXPECT_EQ(colors[x->BackColor()], (TRgbEntry{255, 255, 0, 0}));
}

TEST(HtmlReader, ParagraphDefaultsHeadingsAndAlignment) {
    Html h = ReadHtml("plain<h1>Head</h1><h3>three</h3><p ALIGN=right>r</p><p align=\"justified\">j");
    std::vector<TParagraph*> p;
    for (TParagraph* q = h.model->FirstParagraph(); q; q = q->next) p.push_back(q);
    ASSERT_EQ(p.size(), 5u);
    EXPECT_EQ(p[0]->firstIndent, 144);
    EXPECT_EQ(p[0]->leftIndent, 144);
    EXPECT_EQ(p[0]->spaceAfter, 50);
    EXPECT_EQ(p[1]->alignment, 2);
    EXPECT_EQ(p[1]->spaceBefore, 200);
    EXPECT_EQ(p[1]->spaceAfter, 250);
    EXPECT_EQ(p[1]->leftIndent, 0);
    EXPECT_EQ(p[2]->leftIndent, 288);
    EXPECT_EQ(p[2]->spaceAfter, 200);
    EXPECT_EQ(p[3]->alignment, 1);
    EXPECT_EQ(p[4]->alignment, 3);
}

TEST(HtmlReader, TitleAndBackground) {
    Html h = ReadHtml("<html><title> My\r\n  Page </title><body background=\"bg.gif\">x");
    EXPECT_EQ(h.model->Header().title, "My Page");
    EXPECT_EQ(h.background, "bg.gif");
    EXPECT_EQ(Joined(*h.model), "x");
}

TEST(HtmlReader, TableCellsGetFlagsWidthsAndBorders) {
    Html h = ReadHtml("<table border><tr><td>a<td colspan=2 align=center>b<td>c</tr>"
                      "<tr><td>d</td></tr></table>after");
    EXPECT_EQ(Joined(*h.model), "a|b|c|d|after");
    std::vector<TParagraph*> p;
    for (TParagraph* q = h.model->FirstParagraph(); q; q = q->next) p.push_back(q);
    ASSERT_EQ(p.size(), 5u);
    // spans 1 + 2 + 1 share the 255ths of the row
    EXPECT_EQ(p[0]->flags & 0x0E, kParTableCell | kParCellFollows);
    EXPECT_EQ(p[1]->flags & 0x0E, kParTableCell | kParNotFirstCell | kParCellFollows);
    EXPECT_EQ(p[2]->flags & 0x0E, kParTableCell | kParNotFirstCell);
    EXPECT_EQ(p[0]->cellStart, 0);
    EXPECT_EQ(p[0]->cellWidth, 63);
    EXPECT_EQ(p[1]->cellStart, 63);
    EXPECT_EQ(p[1]->cellWidth, 127);
    EXPECT_EQ(p[2]->cellStart, 190);
    EXPECT_EQ(p[1]->alignment, 2);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(p[i]->border, 0x10000043u) << i;
        EXPECT_EQ(p[i]->spaceBefore, 57) << i;
        EXPECT_EQ(p[i]->leftIndent, 100) << i;
    }
    // a row of one cell is no table row
    EXPECT_EQ(p[3]->flags & kParTableCell, 0);
    EXPECT_EQ(p[3]->cellWidth, 255);
    EXPECT_EQ(p[4]->flags & kParTableCell, 0);
    EXPECT_EQ(p[4]->border, 0u);
}

TEST(HtmlReader, EmptyCellsKeepTheirParagraphs) {
    Html h = ReadHtml("<table><tr><td></td><td>x</td></tr><tr><td>y<td></tr></table>");
    EXPECT_EQ(Joined(*h.model), "|x|y|");
    EXPECT_EQ(h.model->FirstParagraph()->border, 0u);
}

TEST(HtmlReader, ImageBecomesObjectCharacter) {
    Html h = ReadHtml("see <img src=\"pic.gif\" width=20 height=\" 10\"> here");
    ASSERT_EQ(h.pictures, std::vector<std::string>{"pic.gif"});
    TLine* l = h.model->FirstParagraph()->lines;
    ASSERT_EQ(l->text, std::string("see \x01 here"));
    EXPECT_TRUE(l->attrs[4].style & kStyleObject);
    TJDObjectRecord* rec = h.model->ObjectForCharTag(l->attrs[4].tag);
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->fileName, "pic.gif");
    EXPECT_EQ(rec->width, 300);
    EXPECT_EQ(rec->height, 150);
}

TEST(HtmlReader, AnchorTextThenTargetAsAutomaticText) {
    Html h = ReadHtml("go <a href=\"Topic2>win\">there <b>now</b></a> done");
    TLine* l = h.model->FirstParagraph()->lines;
    ASSERT_EQ(l->text, "go there nowTopic2>win done");
    EXPECT_EQ(l->attrs[0].style, 0);
    EXPECT_EQ(l->attrs[3].style, kStyleInsertPoint);
    EXPECT_EQ(l->attrs[9].style, kStyleInsertPoint | kStyleBold);
    // The target is hidden: a jump's target is not shown after its text.
    EXPECT_EQ(l->attrs[12].style, kStyleAutomatic | kStyleHidden);
    EXPECT_EQ(l->attrs[l->text.size() - 1].style, 0);
}

TEST(HtmlReader, VeryLongParagraphIsSplitIntoLines) {
    Html h = ReadHtml(std::string(25000, 'x'));
    EXPECT_EQ(h.model->ParagraphCount(), 1);
    EXPECT_EQ(h.model->ParagraphText(h.model->FirstParagraph()).size(), 25000u);
    for (TLine* l = h.model->FirstParagraph()->lines; l; l = l->next) EXPECT_LE(l->Length(), kMaxLineLength);
}

TEST(HtmlReader, DeepNestingIsBounded) {
    std::string html;
    for (int i = 0; i < 20000; ++i) html += "<b><table><ul>";
    html += "x";
    Html h = ReadHtml(html);
    const TJDCharAttr* a = rtftest::AttrOf(*h.model, "x");
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(a->style & kStyleBold);
}

// Pictures a page names are read only from ordinary files; anything else is
// reported as missing and its object stays empty.
TEST(HtmlReader, PicturesOnlyFromOrdinaryFiles) {
    testsupport::TempDir dir;
    testsupport::WriteFileBytes(dir / "p.bmp", std::string("BM") + std::string(60, '\0'));
    std::filesystem::create_directory(dir / "d.bmp");
    const std::pair<std::string, bool> cases[] = {
        {"p.bmp", true}, {"d.bmp", false}, {"none.bmp", false}, {"/dev/zero", false}};
    for (const auto& [src, loaded] : cases) {
        SCOPED_TRACE(src);
        TJDRTFText m;
        std::istringstream in("<img src=\"" + src + "\">");
        TJDHTMLReader reader;
        reader.SetModel(&m);
        reader.pictureBaseDir = dir.path();
        ASSERT_EQ(reader.Read(in), 0);
        ASSERT_EQ(m.Objects().size(), 1u);
        EXPECT_EQ(m.Objects()[0]->object != nullptr, loaded);
        EXPECT_EQ(reader.missingPictures.size(), loaded ? 0u : 1u);
    }
}

}  // namespace
