#include <gtest/gtest.h>

#include <algorithm>

#include "platform/imaging/graphic.h"
#include "richtext/view/tests/layout/engine_fixture.h"

namespace richtext::testing {
namespace {

std::vector<std::string> Texts(const plat::TRecordingDevice& d) { return d.Calls("text"); }

bool Contains(const std::string& s, const std::string& part) { return s.find(part) != std::string::npos; }

TEST(Painting, EmptyTextPaintsOnlyBackground) {
    Engine e("", 200, 50);
    e.device.Clear();
    e.text.Repaint();
    EXPECT_TRUE(Texts(e.device).empty());
    EXPECT_FALSE(e.device.Calls("fill").empty());
}

TEST(Painting, OneRunOnTheBaselineWithSpacing) {
    Engine e("abc", 200, 50);
    e.device.Clear();
    e.text.Repaint();
    auto t = Texts(e.device);
    ASSERT_EQ(t.size(), 1u);
    // x = 1 (edge), baseline = top 0 + ascent 8; white paper fills the run's box.
    EXPECT_EQ(t[0], "text 1,8 'abc' dx=5,5,5 opaque FFFFFF clip [1,0,16,10]");
}

TEST(Painting, SelectionIsHighlightedInItsOwnRun) {
    Engine e("abcde", 200, 50);
    e.text.SetSelPosLen(1, 2);
    e.device.Clear();
    e.text.Repaint();
    auto t = Texts(e.device);
    ASSERT_EQ(t.size(), 3u);
    EXPECT_TRUE(Contains(t[0], "'a'") && Contains(t[0], "opaque FFFFFF"));
    EXPECT_TRUE(Contains(t[1], "text 6,8 'bc'") && Contains(t[1], "opaque 6A240A")) << t[1];
    EXPECT_TRUE(Contains(t[2], "'de'") && Contains(t[2], "opaque FFFFFF"));
    // The mark is painting's own: it is gone after the selection is dropped.
    e.text.DropSelection();
    e.device.Clear();
    e.text.Repaint();
    EXPECT_EQ(Texts(e.device).size(), 1u);
    for (const auto& a : e.Par(0)->lines->attrs) EXPECT_FALSE(a.style & kStyleSelected);
}

TEST(Painting, SelectionEndingAtLineStartDoesNotHighlightThatLine) {
    Engine e("abc\rdef", 200, 50);
    e.text.SetSelPosLen(1, 3);  // "bc" and the paragraph end
    e.device.Clear();
    e.text.Repaint();
    auto t = Texts(e.device);
    ASSERT_EQ(t.size(), 3u);
    EXPECT_TRUE(Contains(t[1], "'bc'") && Contains(t[1], "6A240A"));
    EXPECT_TRUE(Contains(t[2], "'def'") && Contains(t[2], "FFFFFF")) << t[2];
    EXPECT_EQ(e.Par(1)->lines->selState, 0);
}

TEST(Painting, LongRunsAreSplitAndTabsStartRuns) {
    Engine e(std::string(150, 'x') + "\tyy", 999, 50);
    e.device.Clear();
    e.text.Repaint();
    auto t = Texts(e.device);
    ASSERT_EQ(t.size(), 3u);
    EXPECT_TRUE(Contains(t[0], "'" + std::string(100, 'x') + "'"));
    EXPECT_TRUE(Contains(t[1], "text 501,8 '" + std::string(50, 'x') + "'"));
    // The TAB is drawn as a blank reaching the next stop (756 = 27 x 28).
    EXPECT_TRUE(Contains(t[2], "text 751,8 ' yy' dx=5,5,5")) << t[2];
}

TEST(Painting, StylesColoursAndUnderline) {
    Engine e("", 200, 50);
    e.text.SetColorEntry(1, plat::RGB(255, 0, 0));
    EXPECT_EQ(e.text.GetColorEntry(1), plat::RGB(255, 0, 0));
    EXPECT_EQ(e.text.GetColorEntry(16), 0u);
    e.text.currentAttr.style = kStyleUnderline | kStyleBold;
    e.text.currentAttr.SetTextColor(1);
    e.Fill("ab");
    e.text.FormatAll();
    e.device.Clear();
    e.text.Repaint();
    auto& log = e.device.log;
    auto text = std::find_if(log.begin(), log.end(), [](const std::string& s) { return s.rfind("text ", 0) == 0; });
    ASSERT_NE(text, log.end());
    EXPECT_TRUE(Contains(*text, "dx=6,6"));  // bold
    EXPECT_NE(std::find(log.begin(), text, "textcolor 0000FF"), text);
    EXPECT_NE(std::find(log.begin(), log.end(), "line 1,9 13,9"), log.end());
}

TEST(Painting, SuperscriptIsRaisedAndSubscriptLowered) {
    Engine e("", 200, 50);
    e.text.currentAttr.size = 20;
    e.Fill("A");
    e.text.currentAttr.size = 12;
    e.text.currentAttr.style = kStyleSuper;
    e.Fill("s");
    e.text.currentAttr.style = kStyleSub;
    e.Fill("u");
    e.text.FormatAll();
    e.device.Clear();
    e.text.Repaint();
    auto t = Texts(e.device);
    ASSERT_EQ(t.size(), 3u);
    // Line ascent 16; the 8-point runs have ascent 7: raised by 2, lowered by 1.
    EXPECT_TRUE(Contains(t[1], ",14 's'")) << t[1];
    EXPECT_TRUE(Contains(t[2], ",17 'u'")) << t[2];
}

TEST(Painting, ObjectsArePaintedAndAtMost30Recorded) {
    Engine e("", 2000, 50);
    auto pic = std::make_shared<plat::TRawGraphic>(plat::TGraphicKind::Dib, "BM", 10, 10);
    for (int i = 0; i < 35; ++i) {
        TJDObjectRecord* rec = e.text.AddObject(i == 0 ? nullptr : pic, 0xFFFF);
        rec->width = 200;  // 10 px
        rec->height = 200;
        e.text.AppendObjectChar(e.Par(0)->lines, e.text.currentAttr, *rec);
    }
    e.text.SetWordWrap(false);
    e.text.FormatAll();
    e.device.Clear();
    e.text.Repaint();
    EXPECT_EQ(e.device.Calls("picture").size(), 34u);
    // The first has no picture: a crossed box stands in.
    EXPECT_EQ(e.device.Calls("frame").size(), 1u);
    EXPECT_EQ(e.text.PaintedObjects().size(), 30u);
    EXPECT_EQ(e.text.PaintedObjects()[1].rect, (plat::TRect{11, 0, 21, 10}));
}

struct ScrollCase {
    const char* name;
    int by;
    bool fixedPicture;
    bool strip;  // moved and the strip painted, else a full repaint
};

TEST(Scrolling, StripOrFullRepaint) {
    const ScrollCase cases[] = {
        {"small scroll moves the content", 10, false, true},
        {"more than the window repaints", 150, false, false},
        {"fixed background picture repaints", 10, true, false},
    };
    std::string text;
    for (int i = 0; i < 30; ++i) text += "line\r";
    for (const auto& c : cases) {
        Engine e(text, 200, 100);
        if (c.fixedPicture)
            e.text.SetBackgroundPicture(std::make_shared<plat::TRawGraphic>(plat::TGraphicKind::Dib, "BM", 8, 8), false);
        e.device.Clear();
        e.text.ScrollBy(c.by, 0);
        EXPECT_EQ(e.text.TopOffset, c.by) << c.name;
        auto scrolls = e.device.Calls("scroll");
        EXPECT_EQ(scrolls.size(), c.strip ? 1u : 0u) << c.name;
        if (c.strip) {
            EXPECT_EQ(scrolls[0], "scroll 0,-10 [0,0,200,100]");
            // Only the uncovered strip at the bottom is painted; the whole
            // window moves, and no later drawing is cut to the strip.
            EXPECT_EQ(e.device.Calls("clip"),
                      (std::vector<std::string>{"clip none", "clip [-1,89,202,102]", "clip none"}));
            EXPECT_EQ(Texts(e.device).size(), 2u) << c.name;
        } else {
            EXPECT_GE(Texts(e.device).size(), 10u) << c.name;
        }
    }
}

TEST(Scrolling, ScrollCodesAndLimits) {
    std::string text;
    for (int i = 0; i < 30; ++i) text += "line\r";
    Engine e(text, 200, 100);  // 31 lines: 310 px
    struct Step { int code, position, top; } steps[] = {
        {1, 0, 16}, {1, 0, 32}, {0, 0, 16}, {3, 0, 116}, {2, 0, 16},
        {4, 77, 77}, {7, 0, 210}, {1, 0, 210}, {6, 0, 0}, {0, 0, 0},
    };
    for (const auto& s : steps) {
        e.text.ScrollTo(true, s.code, s.position);
        EXPECT_EQ(e.text.TopOffset, s.top) << "code " << s.code;
    }
    e.text.ScrollBy(-50, 0);  // never above the top
    EXPECT_EQ(e.text.TopOffset, 0);
}

TEST(Scrolling, CursorIsBroughtIntoView) {
    std::string text;
    for (int i = 0; i < 30; ++i) text += "line\r";
    Engine e(text, 200, 100);
    int vscroll = 0;
    e.text.services.VScrollCallback = [&] { ++vscroll; };
    e.text.cursor = {e.Par(20), e.Par(20)->lines, 2};
    e.text.ScrollToCursor();
    EXPECT_EQ(e.text.TopOffset, 210 - 100);
    EXPECT_EQ(e.text.desiredX, 11);
    EXPECT_GT(vscroll, 0);
    e.text.cursor = {e.Par(3), e.Par(3)->lines, 0};
    e.text.ScrollToCursor();
    EXPECT_EQ(e.text.TopOffset, 30);
    // The caret sits where the cursor is, inside the window.
    e.text.CheckCaretVisible();
    EXPECT_TRUE(e.device.caretVisible_);
    EXPECT_EQ(e.device.caretPos_, (plat::TSize{1, 0}));
}

TEST(Painting, TypingRepaintsOnlyWhatChanged) {
    struct Case { const char* name; std::string text; int at; std::string typed; int texts; bool full; };
    const Case cases[] = {
        // One character in a line that keeps its height: that line only.
        {"same line", "abc\rdef\rghi", 5, "x", 1, false},
        // A new line moves everything below: the whole window.
        {"wrap adds a line", "aaaa bbbb\rdef", 9, "x", 3, true},
        {"enter", "abc\rdef", 1, "\r", 3, true},
    };
    for (const auto& c : cases) {
        Engine e(c.text, 51, 100);
        e.Place(c.at);
        e.device.filter = {"text ", "fill"};
        e.device.Clear();
        e.text.InputString(c.typed);
        EXPECT_EQ(Texts(e.device).size(), static_cast<std::size_t>(c.texts)) << c.name;
        // A full repaint also fills the rest of the window below the text.
        bool below = false;
        for (const auto& l : e.device.Calls("fill"))
            if (Contains(l, ",100] ")) below = true;
        EXPECT_EQ(below, c.full) << c.name;
    }
}

TEST(Printing, OnePagePerPaint) {
    std::string text;
    for (int i = 0; i < 25; ++i) text += "p\r";
    Engine e(text, 200, 1000);
    e.text.SetPaintOptions(e.text.PaintOptions() | poOnePage);
    e.device.Clear();
    e.text.Repaint();
    EXPECT_EQ(Texts(e.device).size(), 10u);
    // The next page: starting at a page start still paints it.
    e.text.TopOffset = 100;
    e.device.Clear();
    e.text.Repaint();
    auto t = Texts(e.device);
    ASSERT_EQ(t.size(), 10u);
    EXPECT_TRUE(Contains(t[0], "text 1,8 'p'"));
}

TEST(Printing, PrintJobHoldsPaintingBack) {
    Engine e("abc", 200, 50);
    e.text.printJob = true;
    e.device.Clear();
    e.text.Repaint();
    e.text.PaintRect(0, 0, 200, 50);
    EXPECT_TRUE(e.device.log.empty());
}

TEST(Painting, PageMarks) {
    std::string text;
    for (int i = 0; i < 12; ++i) text += "p\r";
    Engine e(text, 200, 1000);
    e.Par(2)->flags |= kParPageBreak;
    e.text.FormatAll();
    e.device.filter = {"pen", "line"};
    e.device.Clear();
    e.text.Repaint();
    // Page breaks hidden by default: only the page-break-before mark.
    EXPECT_EQ(e.device.log, (std::vector<std::string>{"pen 000000 1 dash", "line 0,20 200,20"}));
    e.text.SetPaintOptions(e.text.PaintOptions() & ~poHidePageBreaks);
    e.device.Clear();
    e.text.Repaint();
    // Page text height 100 from the break at 20: the next page starts at 120.
    EXPECT_EQ(e.device.log, (std::vector<std::string>{"pen 000000 1 dash", "line 0,20 200,20", "pen 000000 1 dot",
                                                      "line 0,120 200,120"}));
}

TEST(Painting, BoxBorderAroundAParagraphBlock) {
    Engine e("a\rb\rc", 100, 100);
    for (int i = 0; i < 2; ++i) e.Par(i)->border = kBorderOn | kBorderBox;
    e.text.FormatAll();
    e.device.filter = {"line"};
    e.device.Clear();
    e.text.Repaint();
    // Top on the first, bottom on the last of the block, sides on both.
    EXPECT_EQ(e.device.log, (std::vector<std::string>{"line 0,0 99,0", "line 0,0 0,10", "line 99,0 99,10",
                                                      "line 0,19 99,19", "line 0,10 0,20", "line 99,10 99,20"}));
}

}  // namespace
}  // namespace richtext::testing
