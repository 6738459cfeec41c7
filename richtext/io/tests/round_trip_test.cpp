// Reading a document, writing it and reading it again keeps text,
// paragraphs, character attributes, fonts, colours, tables, footnotes and
// pictures. Documented differences between writer and reader, left out of
// the comparison on purpose:
//  - a table cell's space after comes back as its space before (the writer
//    puts the space before after \sa in cells);
//  - the border-group end bit (0x0002) of a paragraph border is implied by
//    the group structure and not compared; cell borders are;
//  - a document that ends in a table cell gets one empty paragraph after it
//    (the writer ends every cell with \cell);
//  - a row with more cell ends than cell definitions (cells of the narrow
//    default width) is written with every cell defined, so its geometry
//    comes back regular; only regular rows have their geometry compared;
//  - layout fields of the attribute entries are not written.
#include <gtest/gtest.h>

#include "platform/imaging/graphic.h"
#include "richtext/io/tests/rtf_test_util.h"
#include "tests/support/test_support.h"

namespace {

using namespace richtext;

std::vector<std::pair<std::int32_t, int>> TabsOf(const TJDRTFText& m, const TParagraph* p) {
    std::vector<std::pair<std::int32_t, int>> v;
    for (int s = 0; s < kTabSlots; ++s)
        if (p->HasTab(s)) v.emplace_back(m.Header().tabPos[s], m.Header().tabKind[s]);
    std::sort(v.begin(), v.end());
    return v;
}

// Cells of the row of `cell` follow each other and fill the row.
bool RegularRow(const TParagraph* cell) {
    const TParagraph* p = cell;
    while (p->prev && p->prev->IsCell() && (p->flags & kParNotFirstCell)) p = p->prev;
    int end = 0;
    for (; p && p->IsCell(); p = p->next) {
        if (p->cellStart != end) return false;
        end = p->cellStart + p->cellWidth;
        if (!(p->flags & kParCellFollows)) break;
    }
    return end == 255;
}

void ExpectSameDocument(const TJDRTFText& a, const TJDRTFText& b) {
    const TTextHeader& ha = a.Header();
    const TTextHeader& hb = b.Header();
    EXPECT_EQ(ha.colors, hb.colors);
    EXPECT_EQ(ha.pageWidth, hb.pageWidth);
    EXPECT_EQ(ha.pageHeight, hb.pageHeight);
    EXPECT_EQ(ha.marginLeft, hb.marginLeft);
    EXPECT_EQ(ha.marginRight, hb.marginRight);
    EXPECT_EQ(ha.marginTop, hb.marginTop);
    EXPECT_EQ(ha.marginBottom, hb.marginBottom);
    EXPECT_EQ(ha.title, hb.title);
    EXPECT_EQ(ha.subject, hb.subject);
    EXPECT_EQ(ha.comment, hb.comment);

    const TParagraph* p = a.FirstParagraph();
    const TParagraph* q = b.FirstParagraph();
    int index = 0;
    int failures = 0;
    for (; p && q && failures < 5; p = p->next, q = q->next, ++index) {
        SCOPED_TRACE("paragraph " + std::to_string(index) + ": " + a.ParagraphText(p).substr(0, 40));
        int before = ::testing::Test::HasFailure();
        EXPECT_EQ(a.ParagraphText(p), b.ParagraphText(q));
        EXPECT_EQ(p->flags, q->flags);
        EXPECT_EQ(p->alignment, q->alignment);
        EXPECT_EQ(p->firstIndent, q->firstIndent);
        EXPECT_EQ(p->leftIndent, q->leftIndent);
        if (!p->IsCell() || RegularRow(p)) {
            EXPECT_EQ(p->rightIndent, q->rightIndent);
        }
        EXPECT_EQ(p->spaceBefore, q->spaceBefore);
        EXPECT_EQ(p->lineSpacing, q->lineSpacing);
        if (!p->IsCell()) {
            EXPECT_EQ(p->spaceAfter, q->spaceAfter);
            EXPECT_EQ(p->border & ~kBorderGroupEnd, q->border & ~kBorderGroupEnd);
        } else {
            EXPECT_EQ(p->border, q->border);
            if (RegularRow(p)) {
                EXPECT_EQ(p->cellStart, q->cellStart);
                EXPECT_EQ(p->cellWidth, q->cellWidth);
            }
        }
        EXPECT_EQ(p->shading, q->shading);
        EXPECT_EQ(p->shadingPct, q->shadingPct);
        EXPECT_EQ(TabsOf(a, p), TabsOf(b, q));
        // Character attributes, fonts by name.
        std::vector<TJDCharAttr> aa, bb;
        for (TLine* l = p->lines; l; l = l->next) aa.insert(aa.end(), l->attrs.begin(), l->attrs.end());
        for (TLine* l = q->lines; l; l = l->next) bb.insert(bb.end(), l->attrs.begin(), l->attrs.end());
        ASSERT_EQ(aa.size(), bb.size());
        for (std::size_t i = 0; i < aa.size(); ++i) {
            ASSERT_EQ(ha.fontNames[aa[i].font], hb.fontNames[bb[i].font]) << "char " << i;
            ASSERT_EQ(aa[i].colors, bb[i].colors) << "char " << i;
            ASSERT_EQ(aa[i].style, bb[i].style) << "char " << i;
            ASSERT_EQ(aa[i].size, bb[i].size) << "char " << i;
            if (aa[i].style & (kStyleInsertPoint | kStyleFootnote | kStyleObject)) {
                ASSERT_EQ(aa[i].tag, bb[i].tag);
            }
        }
        failures += ::testing::Test::HasFailure() && !before;
    }
    // The only extra paragraph allowed is the empty one after a final cell.
    if (p == nullptr && q != nullptr) {
        EXPECT_TRUE(a.LastParagraph()->IsCell());
        EXPECT_EQ(b.ParagraphText(q), "");
        EXPECT_EQ(q->next, nullptr);
    } else {
        EXPECT_EQ(p, nullptr);
        EXPECT_EQ(q, nullptr);
    }

    ASSERT_EQ(a.Footnotes().size(), b.Footnotes().size());
    for (std::size_t i = 0; i < a.Footnotes().size(); ++i) {
        EXPECT_EQ(a.Footnotes()[i]->mark, b.Footnotes()[i]->mark);
        EXPECT_EQ(a.Footnotes()[i]->text, b.Footnotes()[i]->text);
        EXPECT_EQ(a.Footnotes()[i]->number, b.Footnotes()[i]->number);
    }
    ASSERT_EQ(a.Objects().size(), b.Objects().size());
    for (std::size_t i = 0; i < a.Objects().size(); ++i) {
        const TJDObjectRecord& x = *a.Objects()[i];
        const TJDObjectRecord& y = *b.Objects()[i];
        EXPECT_EQ(x.width, y.width);
        EXPECT_EQ(x.height, y.height);
        EXPECT_EQ(x.tag, y.tag);
        EXPECT_EQ(x.linked, y.linked);
        EXPECT_EQ(x.fileName, y.fileName);
        ASSERT_EQ(x.object == nullptr, y.object == nullptr);
        if (x.object) {
            EXPECT_EQ(x.object->Kind(), y.object->Kind());
            EXPECT_EQ(x.object->Bytes(), y.object->Bytes());
            EXPECT_EQ(x.object->Width(), y.object->Width());
            EXPECT_EQ(x.object->Height(), y.object->Height());
        }
    }
}

void RoundTrip(const std::string& rtf) {
    auto first = rtftest::ReadRtf(rtf);
    ASSERT_EQ(first.result, 0);
    int wr = -1;
    std::string written = rtftest::WriteRtf(*first.model, &wr);
    ASSERT_EQ(wr, kWriteOk);
    auto second = rtftest::ReadRtf(written);
    ASSERT_EQ(second.result, 0);
    ExpectSameDocument(*first.model, *second.model);
    // Writing the second model again gives the same bytes: the dialect is stable.
    EXPECT_EQ(rtftest::WriteRtf(*second.model), written);
}

class CorpusRoundTrip : public ::testing::TestWithParam<const char*> {};

TEST_P(CorpusRoundTrip, KeepsTheDocument) {
    TAVRIN_REQUIRE_CORPUS();
    RoundTrip(testsupport::ReadFileBytes(testsupport::CorpusFile(GetParam())));
}

INSTANTIATE_TEST_SUITE_P(All, CorpusRoundTrip,
                         ::testing::Values("rtf/rtfpipe-footnotes.rtf", "rtf/rtfpipe-image_from_strings.rtf",
                                           "rtf/rtfpipe-tables_from_web1.rtf", "rtf/rtfpipe-nested_table_report.rtf",
                                           "rtf/rtfparserkit-testUnicode.rtf", "hpj/ddablib-dropfiles/PJDropFiles.rtf",
                                           "hpj/eudora71/HtmlWh.rtf", "hpj/eudora71/Eudora.rtf",
                                           "hpj/eudora71/Dialogs.rtf", "hpj/eudora71/menus.rtf",
                                           "hpj/eudora71/Options.rtf"));

// Hand-made documents, one feature each, in the form other programs write them.
TEST(RoundTrip, Features) {
    const char* cases[] = {
        // character attributes, fonts and colours
        R"({\rtf1{\fonttbl{\f0 Times;}{\f1 Courier New;}}{\colortbl;\red10\green20\blue30;\red1\green2\blue3;}
\pard a\b b\i c\ul d\uldb e\strike f\shad g\super h\nosupersub\sub i\plain\f1\fs31 j\cf1\cb2 k\v hid\v0 l\par})",
        // paragraphs: indents, spacing, alignment, keep, page break, tabs
        R"({\rtf1\pard\li720\fi-360\ri500\sb100\sa200\sl240\qj\keep one\par\page\pard\qr\tqr\tx1440\tqc\tx2880\tqdec\tx4000\tx5000 two\tab x\par\pard\qc three})",
        // borders and shading
        R"({\rtf1\pard\box\brdrs\brdrw40\brsp120\brdrcf3 a\par b\par\pard\brdrt\brdrdb\brdrb\brdrdot c\par\pard\shading2500\cfpat2\cbpat4 d\par\pard e})",
        // a table of two rows, borders on cells, a merge
        R"({\rtf1\trowd\trgaph108\trleft200\clbrdrt\brdrs\clbrdrl\brdrs\clbrdrb\brdrs\clbrdrr\brdrs\cellx2000\clbrdrb\brdrw30\cellx5000\cellx9000
\pard\intbl\qc a\par a2\cell b\cell c\cell\row\trowd\trgaph108\trleft200\cellx3000\clmrg\cellx6000\cellx9000\pard\intbl x\cell y\cell z\cell\row\pard after})",
        // footnotes, hidden jumps, insert points, automatic text, RTF code
        R"({\rtf1 #{\footnote # topic_id}${\footnote {\super $} Title \{x\} \'e9}{\uldb Jump}{\v target} \inspnt3 ip\inspnt0 \inaut auto\inaut0  \jdrtf1 {\b raw}\jdrtf0 end\par})",
        // pictures: metafile (upper-case hex), device-independent and device-dependent bitmaps, other kinds
        R"({\rtf1 {\pict\wmetafile8\picw20\pich10\picwgoal300\pichgoal150 0100090000035A00000000001600000000000500000009020000000004000000}
{\pict\dibitmap0\picw1\pich1\picwgoal15\pichgoal15 2800000001000000010000000100010000000000040000000000000000000000020000000000000000000000ffffff0080000000}
{\pict\wbitmap0\wbmbitspixel1\wbmplanes1\wbmwidthbytes2\picw8\pich2\picwgoal120\pichgoal30 ff00aa00}
{\pict\pngblip\picw4\pich4\picscalex50\picwgoal400\pichgoal400 89504e470d0a1a0a}{\pict\picwgoal10\pichgoal10}\par})",
        // a last empty paragraph keeps its look, also when its words are written inside a shading group
        R"({\rtf1 a\par\pard\shading5000\cfpat2\cbpat1\qc\li720\ri300\sb100\sa200\sl-300\par})",
        R"({\rtf1 a\par\pard\li1440\fi-360\sb60\par})",
        // document information and line breaks
        R"({\rtf1{\title My \{title\}}{\subject sub\\ject}{\comment note}\paperw11906\paperh16838\margl1000\margr900\margt800\margb700 a\line b\tab c})",
    };
    for (const char* c : cases) {
        SCOPED_TRACE(c);
        RoundTrip(c);
    }
}

}  // namespace
