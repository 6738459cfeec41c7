#include <gtest/gtest.h>

#include "richtext/view/tests/layout/engine_fixture.h"

namespace richtext::testing {
namespace {

using Lines = std::vector<std::string>;

struct BreakCase {
    const char* name;
    std::string text;
    int window;
    std::uint8_t alignment;
    Lines expected;
};

// Window W leaves W - 1 pixels; characters are 5 pixels wide.
TEST(LineBreaking, Table) {
    const BreakCase cases[] = {
        // The blank reaching the margin stays on its line.
        {"wrap at blank", "aaa bbb ccc", 41, 0, {"aaa bbb ", "ccc"}},
        {"wrap before word", "aaa bbb ccc", 31, 0, {"aaa ", "bbb ", "ccc"}},
        {"word wider than line is split", "abcdefghij", 21, 0, {"abc", "def", "ghi", "j"}},
        {"at least one character a line", "abc", 3, 0, {"a", "b", "c"}},
        // A window narrower than the indents still leaves 16 pixels.
        {"available width never below 16", "abcdef", 1, 0, {"abc", "def"}},
        {"blank at index 0 is no break point", " abcdef", 21, 0, {" ab", "cde", "f"}},
        {"further blanks start the next line", "aaa   bbb", 21, 0, {"aaa ", "  b", "bb"}},
        {"line feed ends the line", "ab\ncd", 200, 0, {"ab\n", "cd"}},
        {"trailing line feed leaves an empty line", "ab\n", 200, 0, {"ab\n", ""}},
        // After a TAB only later blanks are break points: no blank follows here.
        {"tab resets the break point", "aa bb\tccccc", 51, 0, {"aa bb\tcccc", "c"}},
        // In a right-aligned paragraph a TAB counts as a blank.
        {"tab in right-aligned text is a blank", "aa bb\tccccc", 51, 1, {"aa bb\t", "ccccc"}},
        {"empty paragraph", "", 100, 0, {""}},
    };
    for (const auto& c : cases) {
        Engine e(c.text, c.window);
        e.Par(0)->alignment = c.alignment;
        e.text.FormatAll();
        EXPECT_EQ(e.Lines(), c.expected) << c.name;
    }
}

TEST(LineBreaking, WordWrapOffBreaksAtPageWidth) {
    Engine e("aaa bbb ccc", 31);
    EXPECT_EQ(e.Lines().size(), 3u);
    e.text.SetWordWrap(false);
    EXPECT_EQ(e.Lines(), Lines{"aaa bbb ccc"});
    e.text.SetWordWrap(true);
    EXPECT_EQ(e.Lines().size(), 3u);
    e.text.SetPaintOptions(e.text.PaintOptions() | poPageWidth);
    EXPECT_EQ(e.Lines(), Lines{"aaa bbb ccc"});
}

TEST(LineBreaking, LineTopsFollowHeights) {
    Engine e("aaa bbb ccc\rx", 31);
    std::int32_t expect = 0;
    for (TParagraph* p = e.text.FirstParagraph(); p; p = p->next)
        for (TLine* l = p->lines; l; l = l->next) {
            EXPECT_EQ(l->top, expect);
            EXPECT_EQ(l->height, 10);
            expect += l->height;
        }
    EXPECT_EQ(e.text.DocumentHeight(), 40);
}

TEST(LineBreaking, ReportsWhatChanged) {
    Engine e("aaa bbb ccc", 41);
    TParagraph* p = e.Par(0);
    // Unchanged text: nothing to repaint.
    p->state |= kParNeedsLayout;
    e.text.MeasureParagraph(p);
    EXPECT_EQ(e.text.BreakParagraph(p), 0);
    // A word moves to the next line, the height stays: both lines are flagged.
    e.text.ReplaceInLine(p->lines, 0, 0, "x", &e.text.currentAttr);
    e.text.MeasureParagraph(p);
    EXPECT_EQ(e.text.BreakParagraph(p), 1);
    EXPECT_EQ(e.Lines(), (Lines{"xaaa ", "bbb ccc"}));
    EXPECT_TRUE(p->lines->flags & kLineChanged);
    EXPECT_TRUE(p->lines->next->flags & kLineChanged);
    // A second line: the height changed.
    e.text.ReplaceInLine(p->lines, 7, 0, std::string(60, 'z'), &e.text.currentAttr);
    e.text.MeasureParagraph(p);
    EXPECT_EQ(e.text.BreakParagraph(p), 3);
}

struct TabCase {
    const char* name;
    TTabKind kind;
    std::string text;
    int expectedX;  // document x of the character after the TAB
};

TEST(TabStops, KindsTable) {
    // One stop at 1000 twips = 50 px; "a" ends at 6 (1 px edge + 5).
    const TabCase cases[] = {
        {"left", TTabKind::tkLeft, "a\tbcd", 50},
        {"all", TTabKind::tkAll, "a\tbcd", 50},
        {"right: text ends at the stop", TTabKind::tkRight, "a\tbcd", 35},
        {"centre: text centred on the stop", TTabKind::tkCenter, "a\tbcd", 43},
        {"decimal: the point sits at the stop", TTabKind::tkDecimal, "a\t1.25", 45},
        // Text too wide for the room before the stop stays where it is.
        {"right stop without room", TTabKind::tkRight, "a\tbcdefghijklmn", 6},
    };
    for (const auto& c : cases) {
        Engine e(c.text, 400);
        int slot = e.text.AddTabStop(1000, c.kind);
        ASSERT_GE(slot, 0);
        e.Par(0)->SetTab(slot);
        e.text.SetResolution(e.text.Header().resolutionX, e.text.Header().resolutionY);
        e.text.SetScreenWidth(399);
        e.text.SetScreenWidth(400);
        e.text.FormatAll();
        TParagraph* p = e.Par(0);
        EXPECT_EQ(e.text.XOfPosition(p, p->lines, 2), c.expectedX) << c.name;
    }
}

TEST(TabStops, DefaultStopsAndStopsBeyondTheMargin) {
    // 100/254 inch at 72 dpi = 28 px.
    Engine e("a\tb\tc", 400);
    EXPECT_EQ(e.text.DefaultTabWidth(), 28);
    TParagraph* p = e.Par(0);
    EXPECT_EQ(e.text.XOfPosition(p, p->lines, 2), 28);
    EXPECT_EQ(e.text.XOfPosition(p, p->lines, 4), 56);
    // A right stop beyond the right margin leaves the TAB where it stands.
    int slot = e.text.AddTabStop(20 * 500, TTabKind::tkRight);
    p->SetTab(slot);
    e.text.SetResolution(72, 72);
    e.text.SetScreenWidth(300);
    EXPECT_EQ(e.text.NextTabStop(p, 6), 6);
}

TEST(TabStops, DefaultTabWidthNeverZeroAtTinyZoom) {
    Engine e("a\tb\tc", 400);
    e.text.SetZooming(1);  // 72 dpi at 1 % rounds to 1 dpi
    EXPECT_EQ(e.text.Header().resolutionX, 1);
    EXPECT_GE(e.text.DefaultTabWidth(), 1);
    // Each TAB still moves on.
    EXPECT_GT(e.text.NextTabStop(e.Par(0), 5), 5);
}

TEST(Justification, StretchesInnerBlanksButNotTheLastLine) {
    struct Case {
        const char* name;
        std::string text;
        int window;
        std::uint8_t flags2;
        int stretchWidth, remainder;
        bool lastStretched;
    };
    const Case cases[] = {
        // "aa bb " of "aa bb cc": 2 blanks (10 px), avail 40, width 25: room 19 over 1 blank.
        {"two blanks", "aa bb cc", 41, 0, 19, 0, false},
        // 4 blanks (20 px), width 35: room 19 over 3 blanks = 6 rest 1.
        {"remainder", "a b c d e f g h", 41, 0, 6, 1, false},
        {"last line too with flag 0x40", "aa bb cc d e", 41, 0x40, 19, 0, true},
        {"last line not without it", "aa bb cc d e", 41, 0, 19, 0, false},
    };
    for (const auto& c : cases) {
        Engine e(c.text, c.window);
        TParagraph* p = e.Par(0);
        p->alignment = 3;
        p->parFlags2 = c.flags2;
        e.text.FormatAll();
        ASSERT_GE(e.Lines().size(), 2u) << c.name;
        EXPECT_EQ(p->lines->stretchIndex, 0) << c.name;
        EXPECT_EQ(p->lines->stretchWidth, c.stretchWidth) << c.name;
        EXPECT_EQ(p->lines->stretchRemainder, c.remainder) << c.name;
        TLine* last = TJDRTFText::LastLine(p);
        EXPECT_EQ(last->stretchIndex >= 0, c.lastStretched) << c.name;
    }
}

TEST(Justification, SingleBlankAndNegativeRoomAreNotStretched) {
    {
        Engine e("aaaa bbbbbbbbbb", 41);
        e.Par(0)->alignment = 3;
        e.text.FormatAll();
        ASSERT_GE(e.Lines().size(), 2u);
        EXPECT_EQ(e.Lines()[0], "aaaa ");
        EXPECT_EQ(e.Par(0)->lines->stretchIndex, -1);
    }
    {
        // 1-point characters are 1 pixel wide: "ab c " leaves room 2 + 7 - 4 - 6 = -1.
        Engine e("", 8);
        e.text.currentAttr.size = 1;
        e.Fill("ab c dddd");
        e.Par(0)->alignment = 3;
        e.text.FormatAll();
        TParagraph* p = e.Par(0);
        ASSERT_EQ(e.Lines()[0], "ab c ");
        EXPECT_EQ(p->lines->stretchIndex, -1);
        // Positions along the line never go backwards.
        int last = -1;
        for (int i = 0; i <= p->lines->Length(); ++i) {
            int x = e.text.XOfPosition(p, p->lines, i);
            EXPECT_GE(x, last);
            last = x;
        }
    }
}

TEST(Alignment, RightAndCentreShiftTheLine) {
    // Window 101: text width 101, indent 1, "abcd" 20 px wide; free = 101 - 20 - 1 - 0 = 80.
    struct Case { std::uint8_t align; int left; } cases[] = {{0, 1}, {1, 81}, {2, 41}};
    for (const auto& c : cases) {
        Engine e("abcd  ", 101);
        e.Par(0)->alignment = c.align;
        e.text.FormatAll();
        EXPECT_EQ(e.text.LineLeft(e.Par(0), e.Par(0)->lines), c.left) << int(c.align);
        // Trailing blanks do not count for the alignment.
        EXPECT_EQ(e.text.LineTextWidth(e.Par(0)->lines), 20);
    }
}

TEST(Measuring, FontSizeStyleAndHiddenText) {
    struct Case {
        const char* name;
        std::uint8_t size;
        std::uint16_t style;
        int resizing;
        std::uint32_t options;
        int width, height;
    };
    const Case cases[] = {
        {"plain 10 pt", 10, 0, 100, 0, 5, 10},
        {"size 0 reads as 10", 0, 0, 100, 0, 5, 10},
        {"bold is wider", 10, kStyleBold, 100, 0, 6, 10},
        {"superscript 12 pt at 8 pt", 12, kStyleSuper, 100, 0, 4, 8},
        {"subscript 12 pt at 8 pt", 12, kStyleSub, 100, 0, 4, 8},
        {"resizing 150: 10 pt as 15 pt", 10, 0, 150, 0, 7, 15},
        {"hidden text collapses", 10, kStyleHidden, 100, 0, 0, 0},
        {"hidden text shown", 10, kStyleHidden, 100, poShowHidden, 5, 10},
    };
    for (const auto& c : cases) {
        Engine e("", 400);
        e.text.currentAttr.size = c.size;
        e.text.currentAttr.style = c.style;
        e.Fill("x");
        e.text.SetResizing(c.resizing);
        e.text.SetPaintOptions(e.text.PaintOptions() | c.options);
        e.text.FormatAll();
        const TJDCharAttr& a = e.Par(0)->lines->attrs[0];
        EXPECT_EQ(a.width, c.width) << c.name;
        EXPECT_EQ(a.height, c.height) << c.name;
        if (c.size == 0) {
            EXPECT_EQ(a.size, 10) << c.name;
        }
    }
}

TEST(Measuring, LineTakesTallestCharacterAndEmptyParagraphFollowsPrevious) {
    Engine e("", 400);
    e.Fill("a");
    e.text.currentAttr.size = 20;
    e.Fill("B\r");
    e.text.FormatAll();
    TLine* l = e.Par(0)->lines;
    EXPECT_EQ(l->height, 20);
    EXPECT_EQ(l->ascent, 16);
    // The empty paragraph after it copies the last character's height.
    EXPECT_EQ(e.Par(1)->lines->height, 20);
}

TEST(Measuring, FontNumberAbove99Raises) {
    Engine e("x", 400);
    TJDCharAttr a;
    a.font = 100;
    EXPECT_THROW(e.text.SelectAttrFont(&a), ERichTextError);
    // The engine stays usable: the busy flags were reset.
    e.Par(0)->lines->attrs[0].font = 100;
    EXPECT_THROW(e.text.FormatAll(), ERichTextError);
    e.Par(0)->lines->attrs[0].font = 0;
    e.text.FormatAll();
    EXPECT_EQ(e.Par(0)->lines->attrs[0].width, 5);
}

TEST(Measuring, CharacterStreamDeviceWithoutMetrics) {
    plat::TFakeDevice dev(72, 72, plat::DT_CHARSTREAM);
    dev.failMetrics = true;
    TJDRTFTextPaint t;
    t.ReplaceInLine(t.FirstParagraph()->lines, 0, 0, "ab", &t.currentAttr);
    t.SetCanvas(&dev);
    t.FormatAll();
    // Height from the width of "A" (5), ascent 2/5 of it.
    EXPECT_EQ(t.FirstParagraph()->lines->textHeight, 5);
    EXPECT_EQ(t.FirstParagraph()->lines->textAscent, 2);
}

TEST(Objects, SizeAndAscentByVerticalAlignment) {
    struct Case {
        std::uint8_t valign;
        int height, ascent;
    };
    // 1440 x 720 twips = 72 x 36 px; font height 10, ascent 8.
    const Case cases[] = {{0, 38, 36}, {1, 36, 34}, {2, 36, 8}, {3, 36, 18}};
    for (const auto& c : cases) {
        Engine e("", 400);
        TJDObjectRecord* rec = e.text.AddObject(nullptr, 0xFFFF);
        rec->width = 1440;
        rec->height = 720;
        rec->verticalAlign = c.valign;
        e.text.AppendObjectChar(e.Par(0)->lines, e.text.currentAttr, *rec);
        e.Fill("x");
        e.text.FormatAll();
        const TJDCharAttr& a = e.Par(0)->lines->attrs[0];
        EXPECT_EQ(a.width, 72);
        EXPECT_EQ(a.height, c.height) << int(c.valign);
        EXPECT_EQ(a.ascent, c.ascent) << int(c.valign);
        EXPECT_EQ(e.Par(0)->lines->textHeight, std::max(c.height, 10));
        EXPECT_EQ(rec->inUse, 1);
    }
}

TEST(Objects, MissingRecordTakesFontMetricsAndNoWidth) {
    Engine e("", 400);
    TJDCharAttr a = e.text.currentAttr;
    a.style |= kStyleObject;
    a.tag = 4711;
    e.Par(0)->lines->text = "\x01";
    e.Par(0)->lines->attrs = {a};
    e.text.FormatAll();
    EXPECT_EQ(e.Par(0)->lines->attrs[0].width, 0);
    EXPECT_EQ(e.Par(0)->lines->attrs[0].height, 10);
}

TEST(Resolution, ZoomScalesTheLayoutResolution) {
    struct Case { int zoom; std::uint32_t options; int res; int charWidth; };
    const Case cases[] = {
        {100, 0, 96, 6},
        {200, 0, 192, 13},
        {200, poIgnoreZoom, 96, 6},
        {50, 0, 48, 3},
    };
    for (const auto& c : cases) {
        plat::TFakeDevice dev(96, 96);
        TJDRTFTextPaint t;
        t.ReplaceInLine(t.FirstParagraph()->lines, 0, 0, "abc", &t.currentAttr);
        t.SetPaintOptions(t.PaintOptions() | c.options);
        t.SetCanvas(&dev);
        t.SetZooming(c.zoom);
        EXPECT_EQ(t.Header().resolutionX, c.res) << c.zoom;
        EXPECT_EQ(t.FirstParagraph()->lines->attrs[0].width, c.charWidth) << c.zoom;
    }
}

TEST(Resolution, FixedResolutionLaysOutAt300Dpi) {
    plat::TFakeDevice dev(96, 96);
    TJDRTFTextPaint t;
    t.fixedResolution = true;
    t.SetCanvas(&dev);
    EXPECT_EQ(t.Header().resolutionX, 300);
    EXPECT_EQ(t.Header().resolutionY, 300);
}

TEST(Resolution, LayoutLockHoldsEverythingBack) {
    Engine e("abc", 400);
    e.text.SetPaintOptions(e.text.PaintOptions() | poLayoutLocked);
    e.Fill(std::string(200, 'x'));
    e.Par(0)->state |= kParNeedsLayout;
    e.text.FormatAll();
    EXPECT_EQ(e.Lines().size(), 1u);
    e.text.SetPaintOptions(e.text.PaintOptions() & ~poLayoutLocked);
    EXPECT_GT(e.Lines().size(), 1u);
}

// --- pagination --------------------------------------------------------------

std::vector<int> PageStarts(const TJDRTFText& t) {
    std::vector<int> out;
    int i = 0;
    for (TParagraph* p = t.FirstParagraph(); p; p = p->next)
        for (TLine* l = p->lines; l; l = l->next, ++i)
            if (l->flags & kLinePageStart) out.push_back(i);
    return out;
}

TEST(Pagination, PagesKeepTogetherAndPageBreaks) {
    // Page text height 100 px = 10 lines of 10 px.
    struct Case {
        const char* name;
        int singleLines;        // one-line paragraphs first
        int blockLines;         // then one paragraph of this many lines (0: none)
        std::uint8_t blockFlags;
        std::vector<int> expected;  // line indexes that start a page
    };
    const Case cases[] = {
        {"plain overflow", 25, 0, 0, {10, 20}},
        {"block split at the page bottom", 8, 4, 0, {10}},
        {"keep-together moves the block", 8, 4, kParKeepTogether, {8}},
        {"page break before starts a new page count", 3, 12, kParPageBreak, {13}},
    };
    for (const auto& c : cases) {
        std::string text;
        for (int i = 0; i < c.singleLines; ++i) text += "x\r";
        // Each "yyyyyyyy " wraps at window 51: one line per word.
        for (int i = 0; i < c.blockLines; ++i) text += "yyyyyyy ";
        Engine e(text, 51);
        if (c.blockLines) e.Par(c.singleLines)->flags |= c.blockFlags;
        e.text.FormatAll();
        EXPECT_EQ(PageStarts(e.text), c.expected) << c.name;
    }
}

TEST(Pagination, TableRowCellsShareTopAndHeight) {
    Engine e("before", 400);
    TParagraph* first = e.text.CreateTable(e.Par(0), 2, 2, 0, 0, 0);
    // Cell 1 of row 1 gets three lines, cell 2 one.
    e.text.ReplaceInLine(first->lines, 0, 0, "a\nb\nc", &e.text.currentAttr);
    e.text.ReplaceInLine(first->next->lines, 0, 0, "d", &e.text.currentAttr);
    e.text.NewParagraph(e.text.LastParagraph());
    e.text.FormatAll();
    TParagraph* c1 = first;
    TParagraph* c2 = first->next;
    auto height = [](TParagraph* p) {
        int h = 0;
        for (TLine* l = p->lines; l; l = l->next) h += l->height;
        return h;
    };
    EXPECT_EQ(c1->lines->top, 10);
    EXPECT_EQ(c2->lines->top, 10);
    EXPECT_EQ(height(c1), 30);
    EXPECT_EQ(height(c2), 30);
    EXPECT_EQ(c2->spaceAfter, 20 * 20);  // 20 px stored back as twips
    TParagraph* row2 = c2->next;
    EXPECT_EQ(row2->lines->top, 40);
    EXPECT_EQ(row2->next->lines->top, 40);
    EXPECT_EQ(e.text.LastParagraph()->lines->top, 50);
}

TEST(Pagination, InconsistentTableFlagsAreCleared) {
    Engine e("a\rb", 400);
    e.Par(0)->flags = kParTableCell | kParCellFollows;  // nothing follows
    e.Par(0)->spaceAfter = 100;
    e.text.FormatAll();
    EXPECT_EQ(e.Par(0)->flags & (kParTableCell | kParCellFollows), 0);
    EXPECT_EQ(e.Par(0)->spaceAfter, 0);
}

TEST(Geometry, PositionAtXAndLineAtPoint) {
    Engine e("abcdef\rxyz", 400);
    TParagraph* p = e.Par(0);
    struct Case { int x, pos; } cases[] = {{0, 0}, {3, 0}, {4, 1}, {13, 2}, {29, 6}, {500, 6}};
    for (const auto& c : cases) EXPECT_EQ(e.text.PositionAtX(p, p->lines, c.x), c.pos) << c.x;
    TParagraph* hp;
    TLine* hl;
    ASSERT_TRUE(e.text.LineAtPoint(3, 15, hp, hl));
    EXPECT_EQ(hp, e.Par(1));
    EXPECT_FALSE(e.text.LineAtPoint(3, 500, hp, hl));
    EXPECT_EQ(hp, e.Par(1));  // below the text: the last line
}

TEST(Geometry, IndentsInPixels) {
    Engine e("abc", 400);
    TParagraph* p = e.Par(0);
    p->firstIndent = 200;  // 10 px
    p->leftIndent = 400;   // 20 px
    p->rightIndent = 100;  // 5 px
    EXPECT_EQ(e.text.LeftIndentPixels(p, p->lines), 11);
    EXPECT_EQ(e.text.IndentPixels(p, false), 21);
    EXPECT_EQ(e.text.RightIndentPixels(p), 5);
    // A border's spacing nibble adds 56.7 twips per step.
    p->border = kBorderOn | (2u << 28);
    EXPECT_EQ(e.text.IndentPixels(p, false), 21 + 6);
}

// Whatever values a caller or a file put into the model, line rules and
// indents are computed without overflow and heights stay in range.
TEST(Layout, ExtremeSpacingAndIndentsStayInRange) {
    struct Extreme {
        std::int32_t spacing, before, after, first, left, right;
        int height;  // of the first line
    };
    const Extreme cases[] = {
        {INT32_MIN, 0, 0, 0, 0, 0, 65535},        // "exactly" a huge height, held at the line's range
        {INT32_MAX, 0, 0, 0, 0, 0, 65535},
        {-20, 0, 0, 0, 0, 0, 1},                  // exactly 1 px
        {0, INT32_MAX, INT32_MAX, 0, 0, 0, 65535},
        {0, 0, 0, INT32_MIN, INT32_MAX, INT32_MAX, 10},
        {0, 0, 0, INT32_MAX, INT32_MIN, INT32_MIN, 10},
    };
    for (const Extreme& c : cases) {
        SCOPED_TRACE(c.spacing);
        Engine e("abc def\rghi", 100);
        TParagraph* p = e.Par(0);
        p->lineSpacing = c.spacing;
        p->spaceBefore = c.before;
        p->spaceAfter = c.after;
        p->firstIndent = c.first;
        p->leftIndent = c.left;
        p->rightIndent = c.right;
        e.text.FormatAll();
        EXPECT_EQ(p->lines->height, c.height);
        EXPECT_LE(p->lines->ascent, 65535);
        e.text.PaintRect(0, 0, 100, 100);
    }
}

TEST(Layout, ParagraphChangedRelaysOneParagraph) {
    Engine e("aaa\rbbb", 31);
    TParagraph* p = e.Par(0);
    e.text.ReplaceInLine(p->lines, 3, 0, " cccc dddd", &e.text.currentAttr);
    e.text.ParagraphChanged(p);
    EXPECT_EQ(e.Lines(0), (Lines{"aaa ", "cccc ", "dddd"}));
    EXPECT_EQ(e.Par(1)->lines->top, 30);
}

}  // namespace
}  // namespace richtext::testing
