// The engine's ties to its window and owner: the caret, the header-change
// hook, the scroll container after deletions, and page starts computed
// from the laid-out lines.
#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "platform/gdi/fake_device.h"
#include "richtext/view/caret.h"

using namespace richtext;
using richtext::testing::Engine;

namespace {

struct Owner : TJDRichTextOwner {
    bool focused = true;
    int scrollUpdates = 0;
    void Print() override {}
    std::string NextWord() override { return std::string(); }
    TJDTextFinder* GetFinder() override { return nullptr; }
    void UpdateScrollContainer() override { ++scrollUpdates; }
    bool HasFocus() const override { return focused; }
};

// --- caret ------------------------------------------------------------------------

TEST(Caret, CreatedOnlyWithFocusAndAWindow) {
    plat::TFakeDevice dev;
    TCaret c;
    bool focus = false;
    c.ownerHasFocus = [&] { return focus; };
    c.Show(true);  // no window yet
    EXPECT_FALSE(c.created);
    c.Enable(&dev);
    c.SetPosition(5, 7, 0, 0);  // sizes below the minimum keep 3 x 16
    c.Show(true);
    EXPECT_FALSE(dev.caretExists_);
    EXPECT_FALSE(c.visible);
    focus = true;
    c.Show(true);
    EXPECT_TRUE(dev.caretExists_);
    EXPECT_TRUE(dev.caretVisible_);
    EXPECT_EQ(dev.caretSize_, (plat::TSize{3, 16}));
    EXPECT_EQ(dev.caretPos_, (plat::TSize{5, 7}));
    // Losing the focus: moves are kept but not passed on.
    focus = false;
    c.SetPosition(9, 9, 3, 16);
    EXPECT_EQ(dev.caretPos_, (plat::TSize{5, 7}));
    EXPECT_EQ(c.x, 9);
}

TEST(Caret, NewSizeRecreatesAVisibleCaret) {
    plat::TFakeDevice dev;
    TCaret c;
    c.Enable(&dev);
    c.Show(true);
    ASSERT_EQ(dev.caretCreates_, 1);
    struct Step { int x, y, w, h, creates, cw, ch; } steps[] = {
        {1, 2, 3, 16, 1, 3, 16},   // same size: only moved
        {4, 5, 3, 20, 2, 3, 20},   // taller: a new caret
        {4, 5, 1, 20, 3, 1, 20},   // thinner: a new caret
        {6, 6, 1, 2, 3, 1, 20},    // too low a height is ignored
    };
    for (const Step& s : steps) {
        c.SetPosition(s.x, s.y, s.w, s.h);
        EXPECT_EQ(dev.caretCreates_, s.creates) << s.x;
        EXPECT_EQ(dev.caretSize_, (plat::TSize{s.cw, s.ch})) << s.x;
        EXPECT_EQ(dev.caretPos_, (plat::TSize{s.x, s.y})) << s.x;
        EXPECT_TRUE(dev.caretVisible_);
    }
    c.SetWidth(2);
    EXPECT_EQ(dev.caretCreates_, 4);
    EXPECT_EQ(dev.caretSize_.cx, 2);
    EXPECT_TRUE(dev.caretVisible_);
}

TEST(Caret, HiddenAndDisabledCaretIsDestroyed) {
    plat::TFakeDevice dev;
    TCaret c;
    c.Enable(&dev);
    c.Show(true);
    c.Show(false);
    EXPECT_FALSE(dev.caretExists_);
    EXPECT_FALSE(c.created);
    c.SetPosition(3, 3, 3, 30);  // not visible: stored, nothing created
    EXPECT_FALSE(dev.caretExists_);
    EXPECT_EQ(c.height, 30);
    c.Show(true);
    EXPECT_EQ(dev.caretSize_.cy, 30);
    c.Disable();
    EXPECT_FALSE(dev.caretExists_);
    c.Show(true);
    EXPECT_FALSE(dev.caretExists_);
    c.Enable(&dev);
    c.Show(true);
    EXPECT_TRUE(dev.caretExists_);
}

TEST(Caret, EngineShowsItsCaretOnlyWhileTheOwnerHasFocus) {
    Engine e("abc", 400);
    Owner owner;
    owner.focused = false;
    e.text.services.owner = &owner;
    e.device.DestroyCaret();
    e.text.cursor = {e.Par(0), e.Par(0)->lines, 2};
    e.text.CheckCaretVisible();
    EXPECT_FALSE(e.device.caretExists_);
    owner.focused = true;
    e.text.CheckCaretVisible();
    ASSERT_TRUE(e.device.caretExists_);
    EXPECT_TRUE(e.device.caretVisible_);
    // Two 5-pixel characters and the 1-pixel edge.
    EXPECT_EQ(e.device.caretPos_.cx, 11);
    EXPECT_EQ(e.text.caret.x, 11);
}

// --- header changes -------------------------------------------------------------------

TEST(HeaderChange, NewMarginsLayTheTextOutAgainAndTellTheSetMode) {
    struct Mode : TJDSetModeControl {
        int headers = 0;
        void HeaderChanged() override { ++headers; }
    } mode;
    Engine e("aaaa bbbb cccc dddd", 400);
    e.text.services.setMode = &mode;
    e.text.SetWordWrap(false);  // lines break at the page's text width
    ASSERT_EQ(e.Lines().size(), 1u);
    // 60 pixels of text width: two words (45 pixels with the blank) per line at most.
    e.text.SetPageSize(20 * 100, 20 * 100);
    e.text.SetMargins(20 * 20, 20 * 20, 0, 0);
    EXPECT_EQ(e.Lines().size(), 2u);
    EXPECT_EQ(mode.headers, 2);
    // A model without a layout has no hook: the header just changes.
    TJDRTFText bare;
    bare.SetMargins(1, 2, 3, 4);
    EXPECT_EQ(bare.Header().marginBottom, 4);
}

// --- scroll container -------------------------------------------------------------------

TEST(ScrollContainer, UpdatedAfterASelectionIsDeleted) {
    Engine e("ab\rcd\ref", 400);
    Owner owner;
    e.text.services.owner = &owner;
    e.text.SetSelPosLen(1, 3);  // "b", the paragraph end and "c"
    ASSERT_TRUE(e.text.DeleteSelection());
    EXPECT_EQ(e.All(), "ad|ef");
    EXPECT_EQ(owner.scrollUpdates, 1);
    // Nothing deleted, nothing to update.
    EXPECT_FALSE(e.text.DeleteSelection());
    EXPECT_EQ(owner.scrollUpdates, 1);
}

// --- page starts -------------------------------------------------------------------------

TEST(PageStarts, LayoutComputesThemFromLineHeights) {
    // Lines are 10 pixels, pages 100: the eleventh paragraph starts page 2.
    std::string content = "p";
    for (int i = 1; i < 12; ++i) content += "\rp";
    Engine e(content, 400);
    TJDRTFTextIo& io = e.text;
    EXPECT_EQ(io.ComputePageStarts(), 120);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ((e.Par(i)->lines->flags & kLinePageStart) != 0, i == 10) << i;
}

TEST(PageStarts, RowWithoutCellWidthsIsStackedLikeParagraphs) {
    Engine e("a\rb\rc", 400);
    e.Par(0)->flags |= kParTableCell | kParCellFollows;
    e.Par(1)->flags |= kParTableCell | kParNotFirstCell;
    e.text.FormatAll();
    EXPECT_EQ(e.Par(0)->flags & kParTableCell, 0);
    EXPECT_EQ(e.Par(1)->flags & kParTableCell, 0);
    EXPECT_EQ(e.Par(0)->lines->top, 0);
    EXPECT_EQ(e.Par(1)->lines->top, 10);
    EXPECT_EQ(e.Par(2)->lines->top, 20);
    EXPECT_EQ(e.text.DocumentHeight(), 30);
}

}  // namespace
