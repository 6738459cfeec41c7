#include <gtest/gtest.h>

#include "platform/imaging/graphic.h"
#include "richtext/io/tests/rtf_test_util.h"
#include "tests/support/test_support.h"

namespace {

using namespace richtext;
using rtftest::AttrOf;
using rtftest::Paragraphs;
using rtftest::ReadRtf;
using Strings = std::vector<std::string>;

// Text of the document and the read result, for the table below.
struct TextCase {
    const char* rtf;
    Strings paragraphs;
    int result;
};

TEST(RtfReader, TextCases) {
    const TextCase cases[] = {
        {R"({\rtf1 a\par b})", {"a", "b"}, 0},
        {"{\\rtf1 caf\\'e9}", {"caf\xE9"}, 0},
        {"{\\rtf1 caf\\'E9}", {"caf\xE9"}, 0},
        {"{\\rtf1 ab\\'zz cd}", {"ab"}, kReadBadHex},  // what was read stays
        {R"({\rtf1 a{\*\unknown skipped {nested} text}b})", {"ab"}, 0},
        {R"({\rtf1 a\unknown b})", {"ab"}, 0},  // an unknown word alone is ignored
        {R"({\rtf1 a\keepn b})", {"ab"}, 0},
        {R"({\rtf1 a\line b\tab c\ldblquote d\rdblquote})", {"a\nb\tc\x93" "d\x94"}, 0},
        {R"({\rtf1 \{\}\\})", {"{}\\"}, 0},
        {"{\\rtf1 a\\\r\nb}", {"ab"}, 0},
        {"{\\rtf1 a\r\n\tb}", {"ab"}, 0},  // raw tabs and line ends are not text
        {"{\\rtf1 a\\u233?b}", {"a\xE9" "b"}, 0},
        {R"({\rtf1 x\trwWidth9506 y})", {"xy"}, 0},  // capitals inside a word belong to it
        {R"({\rtf1{\header h\par}{\footer f}{\info{\author me}}{\stylesheet{\s1\li720 Normal;}}t})", {"t"}, 0},
        {"}{\\rtf1 a}", {""}, kReadUnbalancedBrace},
        {"{\\rtf1 a\\", {"a"}, kReadEndInControl},
        // The closing word is matched byte by byte: a blank after it is text.
        {"{\\rtf1 \\jdrtf1 {\\b x}\\jdrtf0 y}", {"{\\b x} y"}, 0},
        {"{\\rtf1 \\jdrtf1 a\\jdrtX\\\\jdrtf0b}", {"a\\jdrtX\\b"}, 0},
        {R"({\rtf1 a\cell b\cell c})", {"a", "b", "c"}, 0},  // cell ends without a row definition
        {R"({\rtf1\trowd\cellx1000\intbl a\par b\cell})", {"a\nb", ""}, 0},  // \par inside a cell is a line break
        {R"({\rtf1{\footnote lost} a})", {" a"}, 0},  // no mark before it: the footnote is skipped
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.rtf);
        auto l = ReadRtf(c.rtf);
        EXPECT_EQ(l.result, c.result);
        EXPECT_EQ(Paragraphs(*l.model), c.paragraphs);
    }
}

TEST(RtfReader, NulInsideTheDataEndsTheRead) {
    std::string rtf("{\\rtf1 a\0b}", 11);
    auto l = ReadRtf(rtf);
    EXPECT_EQ(l.result, 0);
    EXPECT_EQ(Paragraphs(*l.model), Strings{"a"});
}

TEST(RtfReader, StopsAfterTheOutermostGroup) {
    std::string rtf = "{\\rtf1 a\\par b}trailing data";
    auto l = ReadRtf(rtf);
    EXPECT_EQ(l.result, 0);
    EXPECT_EQ(Paragraphs(*l.model), (Strings{"a", "b"}));
    EXPECT_EQ(l.endPos, static_cast<std::streamoff>(rtf.find("trailing")));
}

struct AttrCase {
    const char* rtf;       // the character "x" is looked at
    std::uint16_t style;
    int size;
    int textColor;
};

TEST(RtfReader, CharacterAttributeCases) {
    const AttrCase cases[] = {
        {R"({\rtf1\b x})", kStyleBold, 10, 0},
        {R"({\rtf1\b\b0 x})", 0, 10, 0},
        {R"({\rtf1\fs x})", 0, 50, 0},  // no number: the default of 100 half-points
        {R"({\rtf1\fs31 x})", 0, 15, 0},
        {R"({\rtf1\fs0 x})", 0, 10, 0},
        {R"({\rtf1\fs99999999999999999999 x})", 0, 255, 0},  // an overflowing number is bounded
        {R"({\rtf1\i\ul\strike\uldb\shad\v x})",
         kStyleItalic | kStyleUnderline | kStyleStrikeOut | kStyleHyperlink | kStyleProtected | kStyleHidden, 10, 0},
        {R"({\rtf1\super x})", kStyleSuper, 10, 0},
        {R"({\rtf1\super\sub\nosupersub x})", 0, 10, 0},
        {R"({\rtf1\inaut x})", kStyleAutomatic, 10, 0},
        {R"({\rtf1\inaut\inspnt4 x})", kStyleInsertPoint, 10, 0},
        {R"({\rtf1\b\cf3\fs40\plain x})", 0, 10, 0},
        {R"({\rtf1\cf5 x})", 0, 10, 5},
        {R"({\rtf1\cf15 x})", 0, 10, 15},
        {R"({\rtf1\cf5\cf16 x})", 0, 10, 5},  // outside the colour table: kept
        {R"({\rtf1\cf5\cf-1 x})", 0, 10, 5},
        {R"({\rtf1{\b y}x})", 0, 10, 0},  // the group end restores
    };
    for (const AttrCase& c : cases) {
        SCOPED_TRACE(c.rtf);
        auto l = ReadRtf(c.rtf);
        const TJDCharAttr* a = AttrOf(*l.model, "x");
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->style, c.style);
        EXPECT_EQ(a->size, c.size);
        EXPECT_EQ(a->TextColor(), c.textColor);
    }
}

TEST(RtfReader, InsertPointsCarryTheirNumber) {
    auto l = ReadRtf(R"({\rtf1\inspnt7 a\inspnt0 b})");
    EXPECT_EQ(AttrOf(*l.model, "a")->tag, 7);
    EXPECT_EQ(AttrOf(*l.model, "b")->tag, 0);
    EXPECT_EQ(AttrOf(*l.model, "b")->style, 0);
}

TEST(RtfReader, RtfCodeIsKeptVerbatimWithoutItsFormatting) {
    auto l = ReadRtf(R"({\rtf1 one \jdrtf1 {\b x}\jdrtf0two})");
    ASSERT_EQ(Paragraphs(*l.model), Strings{"one {\\b x}two"});
    TLine* line = l.model->FirstParagraph()->lines;
    for (int i = 4; i < 10; ++i) EXPECT_EQ(line->attrs[i].style, kStyleRtfCode) << i;
    EXPECT_EQ(line->attrs[10].style, 0);
}

TEST(RtfReader, FontTableMapsNumbersAndBoundsTheRest) {
    auto l = ReadRtf(R"({\rtf1{\fonttbl{\f0\fswiss Arial;}{\f7\fmodern\fcharset0 Courier New;}{\f2{\*\panose 0}Symbol;}}
\f7 a\f2 b\f150 c\f-3 d\f98 e})");
    const TTextHeader& h = l.model->Header();
    EXPECT_EQ(h.fontNames[AttrOf(*l.model, "a")->font], "Courier New");
    EXPECT_EQ(h.fontNames[AttrOf(*l.model, "b")->font], "Symbol");
    // Numbers outside the font table leave the font as it was.
    EXPECT_EQ(h.fontNames[AttrOf(*l.model, "c")->font], "Symbol");
    EXPECT_EQ(h.fontNames[AttrOf(*l.model, "d")->font], "Symbol");
    EXPECT_EQ(AttrOf(*l.model, "e")->font, 0);  // a number never defined maps to the first slot
    // \plain goes back to the font of entry 0.
    auto p = ReadRtf(R"({\rtf1{\fonttbl{\f0 Times;}{\f1 Courier;}}\f1\plain x})");
    EXPECT_EQ(p.model->Header().fontNames[AttrOf(*p.model, "x")->font], "Times");
}

TEST(RtfReader, ColourTableKeepsAllSixteenEntries) {
    std::string rtf = "{\\rtf1{\\colortbl;";
    for (int i = 1; i <= 16; ++i) rtf += "\\red" + std::to_string(i) + "\\green" + std::to_string(2 * i) + "\\blue7;";
    rtf += "\\red99;}x}";
    auto l = ReadRtf(rtf);
    const TTextHeader& h = l.model->Header();
    EXPECT_EQ(h.colors[0], (TRgbEntry{0, 0, 0, 0}));
    EXPECT_EQ(h.colors[1], (TRgbEntry{1, 2, 7, 0}));
    EXPECT_EQ(h.colors[15], (TRgbEntry{15, 30, 7, 0}));  // entry 15 is kept; the 17th goes nowhere
    auto kept = ReadRtf("{\\rtf1{\\colortbl;\\red9\\green9\\blue9;}\\paperw100 x}", true);
    EXPECT_EQ(kept.model->Header().colors[1], (TRgbEntry{255, 0, 0, 0}));
    EXPECT_EQ(kept.model->Header().pageWidth, 12240);
}

struct ParaCase {
    const char* rtf;  // the first paragraph is looked at
    std::int32_t first, left, right, before, after, spacing;
    std::uint8_t alignment, flags;
};

TEST(RtfReader, ParagraphCases) {
    const ParaCase cases[] = {
        {R"({\rtf1\fi-360\li720 a\par b})", 360, 720, 0, 0, 0, 0, 0, 0},
        {R"({\rtf1\li720\fi-360 a\par b})", 360, 720, 0, 0, 0, 0, 0, 0},
        {R"({\rtf1\li-500 a\par b})", 0, 0, 0, 0, 0, 0, 0, 0},  // never negative
        {R"({\rtf1\ri720 a\par b})", 0, 0, 720, 0, 0, 0, 0, 0},  // read as written, no margins taken off
        {R"({\rtf1\sb100\sa200\sl-240\qj a\par b})", 0, 0, 0, 100, 200, -240, 3, 0},
        {R"({\rtf1\qc\li100\pard a\par b})", 0, 0, 0, 0, 0, 0, 0, 0},
        {R"({\rtf1\sb100\pard a\par b})", 0, 0, 0, 100, 0, 0, 0, 0},  // \pard keeps the spacing
        {R"({\rtf1\page\keep a\par b})", 0, 0, 0, 0, 0, 0, 0, kParPageBreak | kParKeepTogether},
        {R"({\rtf1{\qr a}\par b})", 0, 0, 0, 0, 0, 0, 0, 0},  // the state at \par counts
        {R"({\rtf1 a{\qr\par} b})", 0, 0, 0, 0, 0, 0, 1, 0},
        // Indents past the bound are held at it, so layout arithmetic cannot overflow.
        {R"({\rtf1\li99999999999 a\par b})", TJDRtfReader::kMaxIndent, TJDRtfReader::kMaxIndent, 0, 0, 0, 0, 0, 0},
    };
    for (const ParaCase& c : cases) {
        SCOPED_TRACE(c.rtf);
        auto l = ReadRtf(c.rtf);
        ASSERT_EQ(l.result, 0);
        const TParagraph* p = l.model->FirstParagraph();
        EXPECT_EQ(p->firstIndent, c.first);
        EXPECT_EQ(p->leftIndent, c.left);
        EXPECT_EQ(p->rightIndent, c.right);
        EXPECT_EQ(p->spaceBefore, c.before);
        EXPECT_EQ(p->spaceAfter, c.after);
        EXPECT_EQ(p->lineSpacing, c.spacing);
        EXPECT_EQ(p->alignment, c.alignment);
        EXPECT_EQ(p->flags, c.flags);
    }
}

TEST(RtfReader, TabStops) {
    auto l = ReadRtf(R"({\rtf1\tx720\tqr\tx1440 a\par b\par\tqc\tx2000 c})");
    const TJDRTFText& m = *l.model;
    auto tabs = [&](const TParagraph* p) {
        std::vector<std::pair<int, int>> v;
        for (int s = 0; s < kTabSlots; ++s)
            if (p->HasTab(s)) v.emplace_back(m.Header().tabPos[s], m.Header().tabKind[s]);
        std::sort(v.begin(), v.end());
        return v;
    };
    const TParagraph* a = m.FirstParagraph();
    EXPECT_EQ(tabs(a), (std::vector<std::pair<int, int>>{{720, 0}, {1440, 1}}));
    EXPECT_EQ(tabs(a->next), tabs(a));  // carried over
    EXPECT_EQ(tabs(a->next->next), (std::vector<std::pair<int, int>>{{2000, 2}}));  // a new set replaces it
}

TEST(RtfReader, BordersAndShading) {
    auto l = ReadRtf(R"({\rtf1\box\brdrw40\brsp120\brdrcf3 a\par b\par\pard\brdrt\brdrdb c\par\pard\shading2500\cfpat2\cbpat4 d\par\pard e})");
    const TParagraph* a = l.model->FirstParagraph();
    const TParagraph* b = a->next;
    const TParagraph* c = b->next;
    const TParagraph* d = c->next;
    EXPECT_EQ(a->border & 0xFFFF, kBorderOn | kBorderBox);
    EXPECT_EQ(BorderWidthByte(a->border), 2u);
    EXPECT_EQ(BorderSpacingNibble(a->border), 2u);
    EXPECT_EQ(BorderColorNibble(a->border), 3u);
    EXPECT_EQ(b->border & 0xFFFF, kBorderOn | kBorderBox | kBorderGroupEnd);  // \pard ended the group here
    EXPECT_EQ(c->border & 0xFFFF, kBorderOn | kBorderTop | kBorderDouble | kBorderGroupEnd);
    EXPECT_EQ(d->shadingPct, 25);
    EXPECT_EQ(d->shading, 0x42);
    EXPECT_EQ(d->next->shading, 0);
}

TEST(RtfReader, TableCells) {
    auto l = ReadRtf(R"({\rtf1\paperw12240\margl1800\margr1800\trowd\trleft100\clbrdrt\brdrs\clbrdrl\brdrs\clbrdrb\brdrs\clbrdrr\brdrs\cellx2100\cellx4100
\pard\intbl a\cell b\cell\row\pard after})");
    ASSERT_EQ(l.result, 0);
    const TParagraph* a = l.model->FirstParagraph();
    const TParagraph* b = a->next;
    EXPECT_EQ(Paragraphs(*l.model), (Strings{"a", "b", "after"}));
    EXPECT_EQ(a->flags, kParTableCell | kParCellFollows);
    EXPECT_EQ(b->flags, kParTableCell | kParNotFirstCell);  // \row took the follows flag off the last cell
    EXPECT_EQ(a->cellStart, 0);
    EXPECT_EQ(a->cellWidth, 128);  // 2000 of 4000 in 255ths, rounded
    EXPECT_EQ(b->cellStart, 128);
    EXPECT_EQ(b->cellWidth, 127);
    EXPECT_EQ(a->border & 0xFFFF, kBorderOn | kBorderGroupEnd | kBorderTop | kBorderLeft | kBorderBottom |
                                      kBorderRight | kBorderBox);
    EXPECT_EQ(b->border & 0xFFFF, kBorderGroupEnd);
    EXPECT_EQ(a->leftIndent, 100);
    EXPECT_EQ(a->rightIndent, 12240 - 3600 - 4000);
    EXPECT_EQ(a->spaceBefore, 40);
    EXPECT_FALSE(b->next->IsCell());
}

TEST(RtfReader, MalformedTablesAreBounded) {
    std::string many = "{\\rtf1\\trowd\\cellx1000\\cellx2000\\intbl ";
    for (int i = 0; i < 300; ++i) many += "c\\cell ";
    many += "\\row}";
    const char* cases[] = {
        R"({\rtf1\trowd\clmrg\cellx1000\cellx2000\intbl a\cell b\cell\row})",  // a merge on the first cell
        R"({\rtf1\trowd\cellx1000\clmrg\cellx2000\intbl a\cell b\cell\row})",  // a merge that works
        R"({\rtf1\trowd\cellx-5\cellx99999999999\intbl a\cell b\cell\row})",
        R"({\rtf1\cell\cell\row\row\intbl\cell})",
        many.c_str(),
    };
    for (const char* c : cases) {
        SCOPED_TRACE(std::string(c).substr(0, 80));
        auto l = ReadRtf(c);
        EXPECT_EQ(l.result, 0);
        for (const TParagraph* p = l.model->FirstParagraph(); p; p = p->next) {
            if (p->IsCell()) {
                EXPECT_LE(p->cellStart + p->cellWidth, 255);
            }
        }
    }
    auto merged = ReadRtf(R"({\rtf1\trowd\cellx1000\clmrg\cellx2000\cellx4000\intbl a\cell b\cell c\cell\row})");
    EXPECT_EQ(Paragraphs(*merged.model), (Strings{"ab", "c", ""}));
    EXPECT_EQ(merged.model->FirstParagraph()->cellWidth, 128);
}

TEST(RtfReader, FootnotesTakeTheMarkBeforeThem) {
    auto l = ReadRtf(R"({\rtf1 see{\super *}{\footnote {\super *}  the \{note\}\'e9}K{\footnote\jdfnnr3 K key}x})");
    const TJDRTFText& m = *l.model;
    ASSERT_EQ(m.Footnotes().size(), 2u);
    EXPECT_EQ(m.Footnotes()[0]->mark, '*');
    EXPECT_EQ(m.Footnotes()[0]->text, "the {note}\xE9");
    EXPECT_EQ(m.Footnotes()[1]->text, "key");
    EXPECT_EQ(m.Footnotes()[1]->number, 3);
    const TJDCharAttr* star = AttrOf(m, "*");
    EXPECT_EQ(star->style, kStyleFootnote);  // superscript given up for the mark bit
    EXPECT_EQ(star->tag, m.Footnotes()[0]->id);
    EXPECT_EQ(Paragraphs(m), Strings{"see*Kx"});
}

TEST(RtfReader, DocumentInformation) {
    auto l = ReadRtf(R"({\rtf1{\title The \{T\}}{\subject	Sub}{\comment C}{\title second}x})");
    EXPECT_EQ(l.model->Header().title, "The {T}");
    EXPECT_EQ(l.model->Header().subject, "Sub");
    EXPECT_EQ(l.model->Header().comment, "C");
}

TEST(RtfReader, Pictures) {
    auto l = ReadRtf(R"({\rtf1{\pict\wmetafile8\picw20\pich10\picwgoal300\pichgoal150\picscalex50 0100090000035A00}
{\pict\dibitmap0\picw1\pich1 28000000010000000100000001000100000000000400000000000000000000000200000000000000000000000000FF00}
{\pict\pngblip\picw4\pich4 89504E470D0A1A0A}{\pict\wbitmap0\wbmbitspixel1\wbmwidthbytes2\picw8\pich2 FF00AA00}})");
    ASSERT_EQ(l.result, 0);
    const auto& objs = l.model->Objects();
    ASSERT_EQ(objs.size(), 4u);
    // Metafile: the placeable header in front, with its checksum; upper-case hex read.
    const std::string& wmf = objs[0]->object->Bytes();
    EXPECT_EQ(objs[0]->object->Kind(), plat::TGraphicKind::Metafile);
    ASSERT_EQ(wmf.size(), 22u + 8u);
    EXPECT_EQ(wmf.substr(0, 4), std::string("\xD7\xCD\xC6\x9A", 4));
    EXPECT_EQ(static_cast<unsigned char>(wmf[10]), 20);
    EXPECT_EQ(static_cast<unsigned char>(wmf[12]), 10);
    EXPECT_EQ(static_cast<unsigned char>(wmf[14]) | static_cast<unsigned char>(wmf[15]) << 8, 2540);
    std::uint16_t sum = 0;
    for (int i = 0; i < 10; ++i) sum ^= static_cast<std::uint16_t>(static_cast<unsigned char>(wmf[2 * i]) | static_cast<unsigned char>(wmf[2 * i + 1]) << 8);
    EXPECT_EQ(static_cast<unsigned char>(wmf[20]) | static_cast<unsigned char>(wmf[21]) << 8, sum);
    EXPECT_EQ(wmf.substr(22), std::string("\x01\x00\x09\x00\x00\x03\x5A\x00", 8));
    EXPECT_EQ(objs[0]->width, 150);  // scaled to 50 percent
    EXPECT_EQ(objs[0]->height, 150);
    // Device-independent bitmap: a file header in front, pixels after one palette of two entries.
    const std::string& dib = objs[1]->object->Bytes();
    EXPECT_EQ(objs[1]->object->Kind(), plat::TGraphicKind::Dib);
    EXPECT_EQ(dib.substr(0, 2), "BM");
    EXPECT_EQ(static_cast<unsigned char>(dib[10]), 14 + 40 + 8);
    EXPECT_EQ(static_cast<unsigned char>(dib[2]), dib.size());
    // Other kinds are kept as they came.
    EXPECT_EQ(objs[2]->object->Kind(), plat::TGraphicKind::Unknown);
    EXPECT_EQ(objs[2]->object->Bytes(), std::string("\x89PNG\r\n\x1A\n"));
    EXPECT_EQ(objs[3]->object->Kind(), plat::TGraphicKind::Bitmap);
    EXPECT_EQ(objs[3]->object->BitmapInfo().widthBytes, 2);
    // Each picture stands in the text as one object character with the object's id.
    std::string text = l.model->ParagraphText(l.model->FirstParagraph());
    EXPECT_EQ(std::count(text.begin(), text.end(), '\x01'), 4);
    const TLine* line = l.model->FirstParagraph()->lines;
    EXPECT_EQ(line->attrs[0].style, kStyleObject);
    EXPECT_EQ(line->attrs[0].tag, objs[0]->id);
}

TEST(RtfReader, TaggedObjectsAskTheOwner) {
    TJDRTFText m;
    std::vector<std::uint16_t> asked;
    m.services.OnProvideObject = [&](void*, std::uint16_t tag, std::shared_ptr<plat::TGraphic>&) { asked.push_back(tag); };
    std::istringstream in(R"({\rtf1 a\jdobjtag2005\jdobjw100\jdobjh50 \'01b})");
    TJDRtfReader r;
    r.SetModel(&m);
    EXPECT_EQ(r.Read(in), 0);
    ASSERT_EQ(m.Objects().size(), 1u);
    EXPECT_EQ(m.Objects()[0]->tag, 2005);
    EXPECT_EQ(m.Objects()[0]->width, 100);
    EXPECT_EQ(asked, std::vector<std::uint16_t>{2005});
    EXPECT_EQ(m.FirstParagraph()->lines->attrs[1].tag, 2005);
}

TEST(RtfReader, LinkedPicturesLoadFromTheBaseFolder) {
    TAVRIN_REQUIRE_CORPUS();
    testsupport::TempDir dir;
    std::string bmp = testsupport::ReadFileBytes(testsupport::CorpusFile("hpj/ddablib-dropfiles/TPJDropFiles.bmp"));
    std::filesystem::create_directories(dir / "pics");
    testsupport::WriteFileBytes(dir / "pics" / "a{1}.bmp", bmp);
    TJDRTFText m;
    // The name in other letter case still finds the file.
    std::istringstream in(R"({\rtf1 x{\*\picfile\picwgoal600\pichgoal300 "PICS\\A\{1\}.bmp"}{\*\picfile "missing.bmp"}y})");
    TJDRtfReader r;
    r.SetModel(&m);
    r.pictureBaseDir = dir.path().string();
    EXPECT_EQ(r.Read(in), 0);
    ASSERT_EQ(m.Objects().size(), 2u);
    const TJDObjectRecord& a = *m.Objects()[0];
    EXPECT_EQ(a.fileName, "PICS\\A{1}.bmp");  // the writer's escapes are undone
    EXPECT_TRUE(a.linked);
    EXPECT_EQ(a.width, 600);
    ASSERT_NE(a.object, nullptr);
    EXPECT_EQ(a.object->Bytes(), bmp);
    EXPECT_EQ(m.Objects()[1]->object, nullptr);  // a missing file leaves an empty object
    EXPECT_EQ(m.ParagraphText(m.FirstParagraph()), "x\x01\x01y");
}

TEST(RtfReader, DeepNestingAndLongParagraphsAreBounded) {
    std::string deep = "{\\rtf1 a" + std::string(20000, '{') + "b";
    auto d = ReadRtf(deep);
    EXPECT_EQ(d.result, kReadTooDeep);
    EXPECT_EQ(Paragraphs(*d.model), Strings{"a"});
    // A paragraph longer than one line can hold goes on in further lines.
    std::string longText(25000, 'x');
    auto l = ReadRtf("{\\rtf1 " + longText + "}");
    EXPECT_EQ(l.result, 0);
    EXPECT_EQ(l.model->ParagraphText(l.model->FirstParagraph()), longText);
}

TEST(RtfReader, NeedsAModel) {
    TJDRtfReader r;
    std::istringstream in("{\\rtf1 x}");
    try {
        r.Read(in);
        FAIL();
    } catch (const ERichTextError& e) {
        EXPECT_STREQ(e.what(), "Wrong Arguments in\tTJDRTFReader");
    }
}

TEST(RtfReader, IntoAPlainTextModelAndAsAutomaticText) {
    TJDRTFText plain(TJDMemoryFormat::fmPlainText);
    TJDRtfReader r;
    r.SetModel(&plain);
    std::istringstream in(R"({\rtf1\b bold #{\footnote # id}{\pict 0102}\par x})");
    EXPECT_EQ(r.Read(in), 0);
    EXPECT_EQ(Paragraphs(plain), (Strings{"bold #\x01", "x"}));
    EXPECT_TRUE(plain.FirstParagraph()->lines->attrs.empty());
    EXPECT_TRUE(plain.Footnotes().empty());

    TJDRTFText rich;
    TJDRtfReader a;
    a.SetModel(&rich);
    a.automaticText = true;
    std::istringstream in2(R"({\rtf1\b x})");
    EXPECT_EQ(a.Read(in2), 0);
    EXPECT_EQ(AttrOf(rich, "x")->style, kStyleBold | kStyleAutomatic);
}

TEST(TextReader, PlainTextMakesOneParagraphPerCarriageReturn) {
    TJDRTFText m;
    TJDTextReader r;
    r.SetModel(&m);
    std::istringstream in("one\r\ntwo\rthree\\x");
    EXPECT_EQ(r.Read(in), 0);
    EXPECT_EQ(Paragraphs(m), (Strings{"one", "two", "three\\x"}));
}

}  // namespace
