// Golden output of the writers for small documents, derived by hand from the
// dialect: header, then one group "{" holding the paragraphs, then CR LF "}".
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "platform/imaging/graphic.h"
#include "richtext/io/tests/rtf_test_util.h"

namespace {

using namespace richtext;

// The header of a fresh model: font slot 0, the 16 default colours, the
// default page and margins.
const std::string kHeader =
    "{\\rtf1\\ansi\\deff0\\deftab720{\\fonttbl{\\f0\\fnil\\charset0 Arial;}}{\\colortbl"
    "\\red0\\green0\\blue0;\\red255\\green0\\blue0;\\red0\\green128\\blue0;\\red0\\green0\\blue255;"
    "\\red255\\green255\\blue0;\\red255\\green0\\blue255;\\red128\\green0\\blue128;\\red128\\green0\\blue0;"
    "\\red0\\green255\\blue0;\\red0\\green255\\blue255;\\red0\\green128\\blue128;\\red0\\green0\\blue128;"
    "\\red255\\green255\\blue255;\\red192\\green192\\blue192;\\red128\\green128\\blue128;\\red0\\green0\\blue0;}"
    "\\paperw12240\\paperh15840\\margl1880\\margr1880\\margt1440\\margb1440";
// The attribute words of a default character: font 0, 10 points, colour 0.
const std::string kPlain = "\\plain\\f0\\fs20\\cf0 ";

void Type(TJDRTFText& m, TLine* l, const std::string& s, TJDCharAttr a = {}) {
    if (a.size == 0) a.size = 10;
    for (char c : s) m.InsertChar(l, static_cast<unsigned char>(c), a);
}

// A model whose paragraphs hold the given texts in the default attribute.
std::unique_ptr<TJDRTFText> Doc(const std::vector<std::string>& pars) {
    auto m = std::make_unique<TJDRTFText>();
    TParagraph* p = m->FirstParagraph();
    for (std::size_t i = 0; i < pars.size(); ++i) {
        if (i) p = m->NewParagraph(p);
        Type(*m, p->lines, pars[i]);
    }
    return m;
}

std::string Write(TJDRTFText& m, int expectResult = kWriteOk) {
    int r = -1;
    std::string s = rtftest::WriteRtf(m, &r);
    EXPECT_EQ(r, expectResult);
    return s;
}

TEST(RtfWriter, EmptyDocument) {
    TJDRTFText m;
    // The header, the group of the one paragraph with nothing to say, the end.
    EXPECT_EQ(Write(m), kHeader + "{}\r\n}");
}

TEST(RtfWriter, TwoParagraphs) {
    auto m = Doc({"a", "b"});
    // \par with LF CR after it; no blank before the second run, which would be text.
    EXPECT_EQ(Write(*m), kHeader + "{" + kPlain + "a\\par\n\r" + kPlain + "b}\r\n}");
    EXPECT_EQ(rtftest::Paragraphs(*rtftest::ReadRtf(Write(*m)).model), (std::vector<std::string>{"a", "b"}));
}

TEST(RtfWriter, TextEscapes) {
    auto m = Doc({std::string("{}\\\xE9\x02\x03\t")});  // 2 and 3 are never text
    TLine* l = m->FirstParagraph()->lines;
    m->InsertChar(l, 1010, l->attrs.back());  // a line break inside the paragraph
    m->InsertChar(l, 'z', l->attrs.back());
    EXPECT_EQ(Write(*m), kHeader + "{" + kPlain + "\\{\\}\\\\\\'e9\\tab \\line z}\r\n}");
}

TEST(RtfWriter, AttributeWords) {
    TJDRTFText m;
    TJDCharAttr bold;
    bold.style = kStyleBold;
    Type(m, m.FirstParagraph()->lines, "bold", bold);
    Type(m, m.FirstParagraph()->lines, "plain");
    EXPECT_EQ(Write(m), kHeader + "{\\plain\\f0\\fs20\\cf0\\b bold" + kPlain + "plain}\r\n}");

    TJDRTFText all;
    TJDCharAttr a;
    a.size = 12;
    a.SetTextColor(2);
    a.SetBackColor(3);
    a.style = kStyleBold | kStyleUnderline | kStyleHyperlink | kStyleSuper | kStyleSub | kStyleItalic |
              kStyleStrikeOut | kStyleProtected | kStyleHidden | kStyleInsertPoint | kStyleAutomatic;
    a.tag = 5;
    Type(all, all.FirstParagraph()->lines, "x", a);
    EXPECT_EQ(Write(all), kHeader +
                              "{\\plain\\f0\\fs24\\cf2\\cb3\\b\\ul\\uldb\\super\\sub\\i\\strike\\shad\\v\\inspnt5\\inaut "
                              "x}\r\n}");
    TJDRTFWriter w(&all);
    w.leaveOutShad = true;
    w.leaveOutAutomaticText = false;
    std::ostringstream out;
    w.Write(out);
    EXPECT_EQ(out.str().find("\\shad"), std::string::npos);
}

TEST(RtfWriter, LeftOutInsertPointAndAutomaticText) {
    TJDRTFText m;
    TJDCharAttr ip, aut;
    ip.style = kStyleInsertPoint;
    ip.tag = 3;
    aut.style = kStyleAutomatic;
    Type(m, m.FirstParagraph()->lines, "a");
    Type(m, m.FirstParagraph()->lines, "IP", ip);
    Type(m, m.FirstParagraph()->lines, "AU", aut);
    TJDRTFWriter w(&m);
    w.leaveOutInsertPointText = true;
    w.leaveOutAutomaticText = true;
    std::ostringstream out;
    EXPECT_EQ(w.Write(out), kWriteOk);
    EXPECT_EQ(out.str(), kHeader + "{" + kPlain + "a}\r\n}");
    // Written in full, each insert-point character is its own run.
    EXPECT_NE(Write(m).find("\\inspnt3 I\\plain\\f0\\fs20\\cf0\\inspnt3 P"), std::string::npos);
}

TEST(RtfWriter, FontTable) {
    TJDRTFText m;
    m.AddFontName("Courier New");
    m.Header().fontPitchFamily[1] = 0x31;
    m.Header().fontCharset[1] = 2;
    std::string s = Write(m);
    EXPECT_NE(s.find("{\\fonttbl{\\f0\\fnil\\charset0 Arial;}{\\f1\\fmodern\\charset2 Courier New;}}"), std::string::npos);
    m.singleFont = true;
    EXPECT_NE(Write(m).find("{\\fonttbl{\\f0\\fnil\\charset0 Arial;}}"), std::string::npos);
}

TEST(RtfWriter, PlainTextModelWritesNoAttributeWords) {
    TJDRTFText m(TJDMemoryFormat::fmPlainText);
    Type(m, m.FirstParagraph()->lines, "a{");
    Type(m, m.NewParagraph(m.FirstParagraph())->lines, "b");
    EXPECT_EQ(Write(m), kHeader + "{a\\{\\par\n\rb}\r\n}");
}

TEST(RtfWriter, ParagraphWordsOnlyWhenTheyChange) {
    auto m = Doc({"a", "b", "c"});
    TParagraph* a = m->FirstParagraph();
    for (TParagraph* p = a; p != a->next->next; p = p->next) {
        p->leftIndent = 720;
        p->firstIndent = 360;
        p->lineSpacing = 240;
    }
    a->alignment = 2;
    // "c" goes back to no indent and no line spacing: both are written again.
    EXPECT_EQ(Write(*m), kHeader + "{\\qc\\li720\\fi-360\\ri0\\sl240 " + kPlain + "a\\par\n\r\\ql " + kPlain +
                             "b\\par\n\r\\li0\\fi0\\ri0\\sl0 " + kPlain + "c}\r\n}");
}

TEST(RtfWriter, DocumentInformationIsEscaped) {
    TJDRTFText m;
    m.Header().title = "a}b{c\\d";
    m.Header().subject = "s\xE9";
    m.Header().comment = "c{";
    std::string s = Write(m);
    EXPECT_EQ(s, kHeader + "{\\title a\\}b\\{c\\\\d}{\\subject\ts\\'e9}{\\comment\tc\\{}{}\r\n}");
    auto back = rtftest::ReadRtf(s);
    EXPECT_EQ(back.result, 0);
    EXPECT_EQ(back.model->Header().title, "a}b{c\\d");
    EXPECT_EQ(back.model->Header().subject, "s\xE9");
    EXPECT_EQ(back.model->Header().comment, "c{");
}

// The body alone, for a caller that puts it into a document of its own: the
// full document is the head, this body and a closing brace, whatever the
// head holds (information groups, any margins).
TEST(RtfWriter, BodyOnlyIsTheDocumentWithoutItsHeadAndClosingBrace) {
    struct Case {
        const char* name;
        std::function<void(TJDRTFText&)> setUp;
        std::string body;
    };
    const Case cases[] = {
        {"plain", [](TJDRTFText&) {}, "{" + kPlain + "x}\r\n"},
        {"information", [](TJDRTFText& m) {
             m.Header().title = "a}b\\margb9";
             m.Header().subject = "s";
             m.Header().comment = "{c";
         }, "{" + kPlain + "x}\r\n"},
        {"margins", [](TJDRTFText& m) {
             m.Header().marginBottom = -20;
             m.Header().marginTop = 0;
         }, "{" + kPlain + "x}\r\n"},
    };
    for (const Case& c : cases) {
        auto m = Doc({"x"});
        c.setUp(*m);
        const std::string full = Write(*m);
        std::ostringstream out;
        TJDRTFWriter writer(m.get());
        writer.bodyOnly = true;
        EXPECT_EQ(writer.Write(out), kWriteOk) << c.name;
        EXPECT_EQ(out.str(), c.body) << c.name;
        ASSERT_GT(full.size(), c.body.size()) << c.name;
        EXPECT_EQ(full.substr(full.size() - c.body.size() - 1), c.body + "}") << c.name;
    }
    // Two paragraphs and an empty document.
    auto two = Doc({"a", "b"});
    std::ostringstream out;
    TJDRTFWriter writer(two.get());
    writer.bodyOnly = true;
    writer.Write(out);
    EXPECT_EQ(out.str(), "{" + kPlain + "a\\par\n\r" + kPlain + "b}\r\n");
    TJDRTFText empty;
    std::ostringstream none;
    TJDRTFWriter emptyWriter(&empty);
    emptyWriter.bodyOnly = true;
    emptyWriter.Write(none);
    EXPECT_EQ(none.str(), "{}\r\n");
}

TEST(RtfWriter, Footnotes) {
    TJDRTFText m;
    TLine* l = m.FirstParagraph()->lines;
    Type(m, l, "x");
    TJDFootnote* f = m.AddFootnote('#', 0);
    f->text = "id {1}";
    TJDCharAttr mark;
    mark.style = kStyleFootnote;
    mark.tag = f->id;
    Type(m, l, "#", mark);
    TJDFootnote* g = m.AddFootnote('K', 4);
    g->text = "k\\w";
    mark.tag = g->id;
    Type(m, l, "K", mark);
    EXPECT_EQ(Write(m), kHeader + "{" + kPlain + "x" + kPlain +
                            "{\\cs16\\super #{\\*\\footnote \\pard\\plain \\s15\\widctlpar \\f4\\fs20\\lang1031 "
                            "{\\cs16\\super #} id \\{1\\}}}" +
                            kPlain +
                            "{\\cs16\\super K{\\*\\footnote \\jdfnnr4 \\pard\\plain \\s15\\widctlpar \\f4\\fs20\\lang1031 "
                            "{\\cs16\\super\tK} k\\\\w}}}\r\n}");
    auto back = rtftest::ReadRtf(Write(m));
    ASSERT_EQ(back.model->Footnotes().size(), 2u);
    EXPECT_EQ(back.model->Footnotes()[0]->text, "id {1}");
    EXPECT_EQ(back.model->Footnotes()[1]->text, "k\\w");
    EXPECT_EQ(back.model->Footnotes()[1]->number, 4);
}

TEST(RtfWriter, TableRow) {
    auto m = Doc({"p"});
    TParagraph* cell = m->CreateTable(m->FirstParagraph(), 1, 2, 0, 0, 0);
    Type(*m, cell->lines, "a");
    Type(*m, cell->next->lines, "b");
    // Cells of 127/255 each over a table 12240 - 2 * 1880 = 8480 wide:
    // edges 127 * 8480 / 255 = 4223.4 and 254 * 8480 / 255 = 8446.7, rounded.
    EXPECT_EQ(Write(*m), kHeader + "{" + kPlain + "p\\par\n\r" +
                             "{\\pard\\trowd\\trgaph0\\trleft0\\cellx4223\\cellx8447\\intbl\\sb0\\sa0 " + kPlain +
                             "a\\cell\n\r\\intbl\\sb0\\sa0 " + kPlain + "b\\cell\\row\n\r}}\r\n}");
}

TEST(RtfWriter, RowsOfOneCellEachEndTheirRow) {
    auto m = Doc({"p"});
    TParagraph* c = m->CreateTable(m->FirstParagraph(), 3, 1, 0, 0, 0);
    Type(*m, c->lines, "r1");
    Type(*m, c->next->lines, "r2");
    Type(*m, c->next->next->lines, "r3");
    std::string s = Write(*m);
    std::size_t rows = 0;
    for (std::size_t at = s.find("\\row"); at != std::string::npos; at = s.find("\\row", at + 1)) ++rows;
    EXPECT_EQ(rows, 3u);
    auto back = rtftest::ReadRtf(s);
    int cells = 0;
    for (TParagraph* p = back.model->FirstParagraph(); p; p = p->next)
        if (p->IsCell()) {
            ++cells;
            EXPECT_EQ(p->flags, kParTableCell);  // each the first and last of its row
            EXPECT_EQ(p->cellWidth, 255);
        }
    EXPECT_EQ(cells, 3);
}

TEST(RtfWriter, BorderAndShadingGroups) {
    auto m = Doc({"a", "b", "c"});
    TParagraph* a = m->FirstParagraph();
    // box, width 2 x 20 twips, spacing nibble 2, colour 3
    a->border = a->next->border = kBorderOn | kBorderBox | (2u << 16) | (0x23u << 24);
    a->next->border |= kBorderGroupEnd;
    a->next->next->shading = 0x42;
    a->next->next->shadingPct = 25;
    // \brsp: MulDiv(2 * 16, 567, 160) = 113.4 -> 113, which reads back as 113 / 56 = 2.
    EXPECT_EQ(Write(*m), kHeader + "{{\\brdrs\\box\\brdrs\\brdrw40\\brsp113\\brdrcf3 " + kPlain + "a\\par\n\r" + kPlain +
                             "b\\par\n\r}{\\shading2500\\cfpat2\\cbpat4 " + kPlain + "c}}\r\n}");
}

TEST(RtfWriter, RtfCodeIsClosedBeforeTheParagraphEnds) {
    TJDRTFText m;
    TJDCharAttr code;
    code.style = kStyleRtfCode;
    Type(m, m.FirstParagraph()->lines, "{\\b x}", code);
    Type(m, m.NewParagraph(m.FirstParagraph())->lines, "y");
    std::string s = Write(m);
    EXPECT_EQ(s, kHeader + "{\\plain\\f0\\fs20\\cf0\\jdrtf1 {\\b x}\\jdrtf0\\par\n\r" + kPlain + "y}\r\n}");
    auto back = rtftest::ReadRtf(s);
    EXPECT_EQ(rtftest::Paragraphs(*back.model), (std::vector<std::string>{"{\\b x}", "y"}));
}

TEST(RtfWriter, HiddenTextEndsWithPlainBeforePar) {
    TJDRTFText m;
    TJDCharAttr hidden;
    hidden.style = kStyleHidden;
    Type(m, m.FirstParagraph()->lines, "t", hidden);
    Type(m, m.NewParagraph(m.FirstParagraph())->lines, "u");
    EXPECT_EQ(Write(m), kHeader + "{\\plain\\f0\\fs20\\cf0\\v t\\plain\\par\n\r" + kPlain + "u}\r\n}");
}

struct ObjectFixture {
    TJDRTFText m;
    TJDObjectRecord* Add(std::shared_ptr<plat::TGraphic> g, std::uint16_t tag = 0) {
        TJDObjectRecord* rec = m.AddObject(std::move(g), tag);
        m.AppendObjectChar(m.FirstParagraph()->lines, TJDCharAttr{}, *rec);
        return rec;
    }
};

TEST(RtfWriter, Objects) {
    ObjectFixture f;
    std::string wmf(22, '\0');
    wmf[0] = '\xD7';
    wmf[1] = '\xCD';
    wmf[2] = '\xC6';
    wmf[3] = '\x9A';
    wmf += "\x01\x02";
    TJDObjectRecord* pic = f.Add(std::make_shared<plat::TRawGraphic>(plat::TGraphicKind::Metafile, wmf, 20, 10));
    pic->width = 300;
    pic->height = 150;
    TJDObjectRecord* tagged = f.Add(nullptr, 2001);
    tagged->width = 100;
    tagged->height = 50;
    TJDObjectRecord* linked = f.Add(nullptr);
    linked->linked = true;
    linked->fileName = "C:\\proj\\pics\\a{1}.bmp";
    linked->width = 600;
    linked->height = 300;
    std::string s;
    {
        std::ostringstream out;
        TJDRTFWriter w(&f.m);
        w.pictureBaseDir = "C:\\proj";
        EXPECT_EQ(w.Write(out), kWriteOk);
        s = out.str();
    }
    // The metafile without its placeable header; the tagged object as its
    // tag and size and a \'01 the reader turns back into the character; the
    // linked file relative to the base folder, escaped.
    EXPECT_EQ(s, kHeader + "{" + kPlain + "{\\pict\\wmetafile8\\picw20\\pich10\\picwgoal300\\pichgoal150\r\n0102}" +
                     kPlain + "\\jdobjtag2001\\jdobjw100\\jdobjh50 \\'01" + kPlain +
                     "{\\*\\picfile\\picw600\\pich300\\picwgoal600\\pichgoal300 \"pics\\\\a\\{1\\}.bmp\"}}\r\n}");
}

TEST(RtfWriter, PictureReferencesInsteadOfPictures) {
    ObjectFixture f;
    f.Add(std::make_shared<plat::TRawGraphic>(plat::TGraphicKind::Unknown, "zz", 1, 1))->referenceText =
        "bmc dir\\pic.bmp";
    f.Add(std::make_shared<plat::TRawGraphic>(plat::TGraphicKind::Unknown, "zz", 1, 1))->referenceText = "lonely";
    std::ostringstream out;
    TJDRTFWriter w(&f.m);
    w.pictureReferences = true;
    EXPECT_EQ(w.Write(out), kWriteOk);
    // A reference without a blank is written as nothing.
    EXPECT_EQ(out.str(), kHeader + "{" + kPlain + "\\{bmc dir\\\\pic.bmp\\}" + kPlain + "}\r\n}");
}

TEST(RtfWriter, StoredTextKeepsPictureReferencesForLaterBuilds) {
    ObjectFixture f;
    std::string dib(40, '\0');
    f.Add(std::make_shared<plat::TRawGraphic>(plat::TGraphicKind::Dib, dib, 1, 1))->referenceText =
        "bmct pic\\a{1}.bmp";
    f.Add(std::make_shared<plat::TRawGraphic>(plat::TGraphicKind::Dib, dib, 1, 1));
    std::string stored = rtftest::WriteRtf(f.m);
    EXPECT_NE(stored.find("{\\*\\jdpicref bmct pic\\\\a\\{1\\}.bmp}"), std::string::npos) << stored;
    // Read back, the first picture knows its reference and the second none.
    auto back = rtftest::ReadRtf(stored);
    ASSERT_EQ(back.result, 0);
    ASSERT_EQ(back.model->Objects().size(), 2u);
    EXPECT_EQ(back.model->Objects()[0]->referenceText, "bmct pic\\a{1}.bmp");
    EXPECT_EQ(back.model->Objects()[1]->referenceText, "");
    std::ostringstream out;
    TJDRTFWriter w(back.model.get());
    w.pictureReferences = true;
    EXPECT_EQ(w.Write(out), kWriteOk);
    EXPECT_NE(out.str().find("\\{bmct pic\\\\a{1}.bmp\\}"), std::string::npos) << out.str();
}

TEST(PlainTextWriter, CrLfBetweenParagraphsAndOneNulAtTheEnd) {
    auto m = Doc({"a", "b", ""});
    std::ostringstream out;
    TJDPlainTextWriter w(m.get());
    EXPECT_EQ(w.Write(out), kWriteOk);
    EXPECT_EQ(out.str(), std::string("a\r\nb\r\n\0", 7));
}

// A stream buffer that accepts nothing.
class RefusingBuffer : public std::streambuf {
protected:
    int_type overflow(int_type) override { return traits_type::eof(); }
    std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

TEST(RtfWriter, Failures) {
    auto m = Doc({"a"});
    RefusingBuffer buf;
    std::ostream out(&buf);
    TJDRTFWriter w(m.get());
    EXPECT_EQ(w.Write(out), kWriteFailed);
    EXPECT_EQ(w.Result(), kWriteFailed);

    TJDRTFWriter nothing(m.get());
    nothing.SetRange(nullptr);
    std::ostringstream sink;
    EXPECT_EQ(nothing.Write(sink), kWriteNothing);
}

TEST(RtfWriter, RangeOfTheDocument) {
    auto m = Doc({"first", "second", "third"});
    TParagraph* second = m->FirstParagraph()->next;
    TJDRTFWriter w(m.get());
    w.SetRange(second, nullptr, 2, second->next, nullptr, 3);
    std::ostringstream out;
    EXPECT_EQ(w.Write(out), kWriteOk);
    EXPECT_EQ(out.str(), kHeader + "{" + kPlain + "cond\\par\n\r" + kPlain + "thi}\r\n}");
}

}  // namespace
