// The ruler driven by mouse messages and the rich-text component with its
// bars, shared dialogs (driven through their own windows), external scroll
// bars and file actions (scripted dialogs), all over the real engine.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/gui/common_dialogs.h"
#include "platform/core/dialog_service.h"
#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"
#include "platform/gui/printer.h"
#include "richtext/controls/rich_text.h"
#include "richtext/io/tests/rtf_test_util.h"
#include "tests/support/test_support.h"

namespace richtext {
namespace {
using namespace gui;

constexpr TJDIconSet kAllStatus = (1u << (SelCenter + 1)) - 1;
constexpr TJDIconSet kAllEdit = (1u << (SelSpellCheck + 1)) - 1;
constexpr TJDIconSet kAllAction = (1u << (SelPrintSetup + 1)) - 1;
constexpr TJDIconSet kAllLists = (1u << (SelParColor + 1)) - 1;

std::uint16_t StyleAt(TJDCustomRtfEdit& e, int pos) {
    TTextPointer p;
    e.Engine().PositionToPointer(pos, p);
    return p.line->attrs.at(static_cast<std::size_t>(p.pos)).style;
}

TJDCharAttr AttrAt(TJDCustomRtfEdit& e, int pos) {
    TTextPointer p;
    e.Engine().PositionToPointer(pos, p);
    return p.line->attrs.at(static_cast<std::size_t>(p.pos));
}

// --- ruler --------------------------------------------------------------------------------

class RulerTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitApplication();
        form = new TForm(Application);
        form->SetBounds(40, 40, 640, 320);
        ruler = new TJDRuler(form);
        ruler->SetParent(form);
        ruler->SetBounds(0, 0, 600, 24);
        edit = new TJDRichText(form);
        edit->SetParent(form);
        edit->SetBounds(0, 30, 600, 240);
        form->Show();
        guitest::ProcessEvents();
        edit->SetText("first paragraph\rsecond paragraph");
        edit->SetCPPosition(0);
        edit->SetJDRuler(ruler);
    }
    void TearDown() override { delete form; }
    TParagraph* Par() { return edit->Engine().cursor.par; }
    // A point in the middle of the lower half of a handle.
    TPoint Lower(int element) {
        TRect r = ruler->HandleRect(element);
        return {(r.Left + r.Right) / 2, r.Top + 1};
    }
    TForm* form = nullptr;
    TJDRuler* ruler = nullptr;
    TJDRichText* edit = nullptr;
};

TEST_F(RulerTest, ConversionsFollowResolutionOffsetAndScroll) {
    const int res = ruler->Resolution();
    ASSERT_GT(res, 0);
    EXPECT_EQ(ruler->PixelsToTwips(res), 1440);
    EXPECT_EQ(ruler->TwipsToPixels(1440), res);
    EXPECT_EQ(ruler->PageToX(0), ruler->PageLeft());
    EXPECT_EQ(ruler->XToPage(ruler->PageLeft() + res / 2), 720);
    ruler->SetXOffset(-30);  // the text scrolled 30 pixels to the left
    EXPECT_EQ(ruler->PageToX(1440), ruler->PageLeft() - 30 + res);
    EXPECT_EQ(ruler->XToPage(ruler->PageToX(2880)), 2880);
    ruler->SetXOffset(0);
    ruler->SetUnits(Inch);
    EXPECT_EQ(ruler->ScaleStep(), res);
    EXPECT_TRUE(edit->Engine().Header().metricInch);
    ruler->SetUnits(Centimeter);
    EXPECT_EQ(ruler->ScaleStep(), static_cast<int>(std::lround(res * 0.3937007874)));
    EXPECT_FALSE(edit->Engine().Header().metricInch);
}

TEST_F(RulerTest, ScrolledPictureEqualsAFreshPaint) {
    edit->SetParagraphIndents(720, 1440, 720);
    edit->SetJDRuler(nullptr);
    edit->SetJDRuler(ruler);
    guitest::ProcessEvents();
    TBitmap before;
    guitest::Grab(ruler, before);  // painted once at offset 0
    ruler->SetXOffset(-37);        // moves the picture, paints the strip
    guitest::ProcessEvents();
    TBitmap scrolled;
    guitest::Grab(ruler, scrolled);
    ruler->Invalidate();  // the whole ruler painted at the new offset
    guitest::ProcessEvents();
    TBitmap fresh;
    guitest::Grab(ruler, fresh);
    ASSERT_EQ(scrolled.Width(), fresh.Width());
    int differ = 0, moved = 0;
    for (int y = 0; y < fresh.Height(); ++y)
        for (int x = 0; x < fresh.Width(); ++x) {
            differ += scrolled.Canvas().Pixel(x, y) != fresh.Canvas().Pixel(x, y);
            moved += before.Canvas().Pixel(x, y) != fresh.Canvas().Pixel(x, y);
        }
    EXPECT_EQ(differ, 0);
    EXPECT_GT(moved, 0);
}

TEST_F(RulerTest, LeftIndentDraggedBelowZeroStaysZero) {
    edit->SetParagraphIndents(720, 720, 0);
    edit->SetJDRuler(nullptr);
    edit->SetJDRuler(ruler);
    ASSERT_EQ(ruler->LeftIndent(), 720);
    TPoint p = Lower(jdrLeftIndent);
    guitest::MouseDown(ruler, p);
    ASSERT_EQ(ruler->Dragging(), jdrLeftIndent);
    guitest::MouseMove(ruler, {ruler->PageToX(0) - 40, p.y});
    guitest::MouseUp(ruler, {ruler->PageToX(0) - 40, p.y});
    EXPECT_EQ(ruler->LeftIndent(), 0);
    EXPECT_EQ(Par()->leftIndent, 0);
    EXPECT_EQ(Par()->firstIndent, 720);  // not carried: the press was at the handle's top
    EXPECT_TRUE(edit->Modified);
}

TEST_F(RulerTest, CarriedFirstLineStopsAtTheEdge) {
    edit->SetParagraphIndents(360, 1080, 0);  // first, left, right
    edit->SetJDRuler(nullptr);
    edit->SetJDRuler(ruler);
    TRect r = ruler->HandleRect(jdrLeftIndent);
    TPoint p{(r.Left + r.Right) / 2, r.Bottom - 1};  // the box below: carries the first line
    guitest::MouseDown(ruler, p);
    guitest::MouseMove(ruler, {ruler->PageToX(0) - 200, p.y});
    guitest::MouseUp(ruler, {ruler->PageToX(0) - 200, p.y});
    EXPECT_EQ(Par()->firstIndent, 0);
    EXPECT_EQ(Par()->leftIndent, 720);  // the pair kept its distance
}

TEST_F(RulerTest, RightIndentPastThePageIsPutBack) {
    edit->SetParagraphIndents(0, 0, 720);
    edit->SetJDRuler(nullptr);
    edit->SetJDRuler(ruler);
    ASSERT_EQ(ruler->RightIndent(), 720);
    TPoint p = Lower(jdrRightIndent);
    guitest::MouseDown(ruler, p);
    ASSERT_EQ(ruler->Dragging(), jdrRightIndent);
    int past = ruler->PageToX(ruler->PageWidthTwips()) + 40;
    guitest::MouseMove(ruler, {past, p.y});
    guitest::MouseUp(ruler, {past, p.y});
    EXPECT_EQ(ruler->RightIndent(), 720);
    EXPECT_EQ(Par()->rightIndent, 720);
    // Within the page it follows the mouse.
    p = Lower(jdrRightIndent);
    guitest::MouseDown(ruler, p);
    guitest::MouseMove(ruler, {ruler->PageToX(ruler->PageWidthTwips() - 1440), p.y});
    guitest::MouseUp(ruler, {ruler->PageToX(ruler->PageWidthTwips() - 1440), p.y});
    EXPECT_NEAR(Par()->rightIndent, 1440, ruler->PixelsToTwips(1) + 1);
}

TEST_F(RulerTest, TabClicksStepTheKindOrAddAndRemove) {
    const int res = ruler->Resolution();
    TPoint at{ruler->PageToX(2880), 3};
    auto tabs = [&] { return edit->Engine().ParagraphTabs(Par()); };
    ASSERT_TRUE(tabs().empty());
    const TTabKind cycle[] = {TTabKind::tkLeft, TTabKind::tkRight, TTabKind::tkCenter, TTabKind::tkDecimal,
                              TTabKind::tkDecimal};
    for (TTabKind expected : cycle) {
        guitest::Click(ruler, at);
        auto t = tabs();
        ASSERT_EQ(t.size(), 1u);
        EXPECT_NEAR(t[0].pos, 2880, 1440 / res + 1);
        EXPECT_EQ(t[0].kind, expected);
    }
    // Another kind: a click adds a stop of it, a second click removes it.
    ruler->NewTabKind = TTabKind::tkCenter;
    TPoint other{ruler->PageToX(4320), 3};
    guitest::Click(ruler, other);
    ASSERT_EQ(tabs().size(), 2u);
    EXPECT_EQ(tabs()[1].kind, TTabKind::tkCenter);
    guitest::Click(ruler, other);
    ASSERT_EQ(tabs().size(), 1u);
    EXPECT_EQ(tabs()[0].kind, TTabKind::tkDecimal);
    // The other paragraph has none.
    EXPECT_TRUE(edit->Engine().ParagraphTabs(Par()->next).empty());
}

TEST_F(RulerTest, WithoutHeaderTheMouseIsIgnored) {
    auto* lone = new TJDRuler(form);
    lone->SetParent(form);
    lone->SetBounds(0, 280, 300, 24);
    int events = 0;
    lone->OnSelection = lone->WhileSelection = [&](TObject*, TJdSelNr&, int&, int&, int) { ++events; };
    guitest::MouseDown(lone, {lone->PageToX(0), 20});
    guitest::MouseMove(lone, {lone->PageToX(0) + 50, 20});
    guitest::MouseUp(lone, {lone->PageToX(0) + 50, 20});
    guitest::Click(lone, {100, 3});
    EXPECT_EQ(events, 0);
    EXPECT_EQ(lone->Dragging(), jdrNone);
    guitest::ProcessEvents(20);  // paints its frame only
}

TEST_F(RulerTest, DragRaisesWhileSelectionEachMoveThenOnSelectionOnce) {
    std::vector<std::vector<int>> during, after;
    ruler->WhileSelection = [&](TObject*, TJdSelNr& t, int& g, int& n, int c) { during.push_back({t, g, n, c}); };
    ruler->OnSelection = [&](TObject*, TJdSelNr& t, int& g, int& n, int c) { after.push_back({t, g, n, c}); };
    int changes = 0;
    edit->OnChange = [&](TObject*) { ++changes; };
    TRect r = ruler->HandleRect(jdrFirstIndent);
    TPoint p{(r.Left + r.Right) / 2, r.Top + 1};
    guitest::MouseDown(ruler, p);
    for (int i = 1; i <= 4; ++i) guitest::MouseMove(ruler, {p.x + 10 * i, p.y});
    guitest::MouseUp(ruler, {p.x + 40, p.y});
    ASSERT_EQ(during.size(), 4u);
    EXPECT_EQ(during[0], (std::vector<int>{9, 0x700, jdrFirstIndent, 1}));
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0], (std::vector<int>{9, 0x700, jdrFirstIndent, 0}));
    EXPECT_EQ(changes, 1);  // the editor reports the change when the drag ends
    EXPECT_NEAR(Par()->firstIndent, ruler->PixelsToTwips(40), ruler->PixelsToTwips(1) + 1);
    EXPECT_EQ(Par()->next->firstIndent, 0);
}

// --- component --------------------------------------------------------------------------------

class RichTextTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitApplication();
        SetCommonDialogService(&files);
        form = new TForm(Application);
        form->SetBounds(40, 40, 760, 520);
        bar = new TJDToolBar(form);
        bar->SetParent(form);
        bar->SetAlign(alTop);
        bar->Setsel_StatusIcons(kAllStatus);
        bar->Setsel_EditIcons(kAllEdit);
        bar->Setsel_ActionIcons(kAllAction);
        bar->Setsel_ListBoxes(kAllLists);
        ruler = new TJDRuler(form);
        ruler->SetParent(form);
        ruler->SetBounds(0, 90, 700, 24);
        status = new TJDStatusBarBasic(form);
        status->SetParent(form);
        status->SetAlign(alBottom);
        status->Items().Add("80stStatus=");
        status->Items().Add("40stTxtFmt=");
        status->Items().Add("stFileName=");
        a = MakeEditor(0, 120);
        b = MakeEditor(0, 300);
        form->Show();
        guitest::ProcessEvents();
    }
    void TearDown() override {
        delete form;
        SetCommonDialogService(nullptr);
        SetJDLanguage(TJDToolLanguage::tjdEnglish);
    }
    TJDRichText* MakeEditor(int x, int y) {
        auto* e = new TJDRichText(form);
        e->SetParent(form);
        e->SetBounds(x, y, 700, 170);
        e->SetJDToolBar(bar);
        e->SetJDRuler(ruler);
        e->SetStatusBar(status);
        return e;
    }
    void Focus(TJDRichText* e) {
        e->SetFocus();
        guitest::ProcessEvents();
        ASSERT_TRUE(e->Focused());
    }
    TSpeedButton* Button(const char* name) { return bar->Icon(bar->FindIcon(name, 0, 0)).button; }
    template <class W>
    W* Part(TFindDialog* d, const char* name) {
        return d->Window()->findChild<W*>(name);
    }
    ScriptedCommonDialogService files;
    TForm* form = nullptr;
    TJDToolBar* bar = nullptr;
    TJDRuler* ruler = nullptr;
    TJDStatusBarBasic* status = nullptr;
    TJDRichText *a = nullptr, *b = nullptr;
};

TEST_F(RichTextTest, FocusMovesBarsAndDialogsAndAFreedEditorKeepsTheOthersLinks) {
    a->SetText("alpha text");
    b->SetText("beta text");
    Focus(a);
    EXPECT_EQ(bar->Editor(), a);
    EXPECT_EQ(ruler->Editor(), a);
    EXPECT_EQ(status->Editor, static_cast<TJDStatusClient*>(a));
    Focus(b);
    EXPECT_EQ(bar->Editor(), b);
    EXPECT_EQ(ruler->Editor(), b);
    EXPECT_EQ(ruler->Header(), &b->Engine().Header());
    EXPECT_EQ(status->Editor, static_cast<TJDStatusClient*>(b));
    // The shared find dialog works on the focused editor.
    TFindDialog* find = JDFindDialog();
    find->FindText = "text";
    find->Options = frDown;
    b->SetCPPosition(0);
    find->Find();
    EXPECT_EQ(b->GetSelText(), "text");
    EXPECT_EQ(a->GetSelLength(), 0);
    delete a;
    a = nullptr;
    EXPECT_EQ(bar->Editor(), b);
    EXPECT_EQ(ruler->Editor(), b);
    EXPECT_EQ(status->Editor, static_cast<TJDStatusClient*>(b));
    EXPECT_EQ(b->JDToolBar(), bar);
    b->SetCPPosition(0);
    b->Engine().DropSelection();
    find->Find();
    EXPECT_EQ(b->GetSelStart(), 5);
    ASSERT_TRUE(JDReplaceDialog()->OnReplace);  // still b's
    // A status label that goes is unlinked; the status bar still gets the text.
    auto* label = new TLabel(form);
    label->SetParent(form);
    b->SetStatusLabel(label);
    b->ShowStatusText("busy");
    EXPECT_EQ(label->Caption(), "busy");
    delete label;
    EXPECT_EQ(b->StatusLabel(), nullptr);
    b->ShowStatusText("");
    EXPECT_EQ(status->Item(0).text, "Ready");
}

TEST_F(RichTextTest, ABarOrRulerFreedAfterTheFocusMovedUnlinksEveryEditor) {
    // Without an owner no sibling passes the news on (as while a form frees
    // its components): the links alone must tell every editor.
    auto* lonelyRuler = new TJDRuler(nullptr);
    lonelyRuler->SetParent(form);
    auto* lonelyBar = new TJDToolBar(nullptr);
    lonelyBar->SetParent(form);
    for (TJDRichText* e : {a, b}) {
        e->SetJDRuler(lonelyRuler);
        e->SetJDToolBar(lonelyBar);
    }
    Focus(a);
    Focus(b);
    Focus(a);
    delete lonelyRuler;
    delete lonelyBar;
    for (TJDRichText* e : {a, b}) {
        ASSERT_EQ(e->JDRuler(), nullptr);
        ASSERT_EQ(e->JDToolBar(), nullptr);
    }
    // Moving the focus and freeing the editors touch no freed bar.
    Focus(b);
    delete a;
    a = nullptr;
}

TEST_F(RichTextTest, IconSelectionsSwitchStyleBitsAndAlignment) {
    struct Row {
        int num;
        std::uint16_t bit;
    } rows[] = {{2, kStyleBold},      {3, kStyleItalic}, {4, kStyleUnderline}, {5, kStyleHyperlink},
                {6, kStyleStrikeOut}, {7, kStyleSuper},  {8, kStyleSub},       {19, kStyleRtfCode}};
    a->SetText("some words here");
    for (const Row& r : rows) {
        SCOPED_TRACE(r.num);
        a->SelectAll();
        TJdSelNr kind = jdSelIconDown;
        a->IconSelection(kind, "", jdgStyle, r.num);
        EXPECT_EQ(kind, 0);
        EXPECT_TRUE(StyleAt(*a, 3) & r.bit);
        kind = jdSelIconUp;
        a->IconSelection(kind, "", jdgStyle, r.num);
        EXPECT_FALSE(StyleAt(*a, 3) & r.bit);
    }
    // Superscript and subscript exclude each other.
    a->SelectAll();
    TJdSelNr kind = jdSelIconDown;
    a->IconSelection(kind, "", jdgStyle, 7);
    kind = jdSelIconDown;
    a->IconSelection(kind, "", jdgStyle, 8);
    EXPECT_EQ(StyleAt(*a, 0) & (kStyleSuper | kStyleSub), kStyleSub);
    // Normal clears every character style, the hyperlink too.
    for (int n : {2, 3, 4, 5}) {
        kind = jdSelIconDown;
        a->IconSelection(kind, "", jdgStyle, n);
    }
    kind = jdSelIconDown;
    a->IconSelection(kind, "", jdgStyle, 1);
    EXPECT_EQ(StyleAt(*a, 0) & (kStyleBold | kStyleItalic | kStyleUnderline | kStyleHyperlink | kStyleSub), 0);
    // Alignment icons: left, right, justified, centred.
    const std::uint8_t align[] = {0, 0, 1, 3, 2};
    for (int n = 1; n <= 4; ++n) {
        kind = jdSelIconDown;
        a->IconSelection(kind, "", jdgAlign, n);
        EXPECT_EQ(a->Engine().cursor.par->alignment, align[n]) << n;
    }
    // A read-only text changes nothing.
    a->SetReadOnlyProp(true);
    kind = jdSelIconDown;
    a->IconSelection(kind, "", jdgStyle, 2);
    EXPECT_FALSE(StyleAt(*a, 0) & kStyleBold);
}

TEST_F(RichTextTest, ListSelectionsSetFontSizeColoursAndParagraphColour) {
    a->SetText("coloured text");
    struct Row {
        TJdSelNr kind;
        const char* str;
        int num;
    } rows[] = {{jdSelFontName, "Courier New", 0}, {jdSelFontSize, "", 300}, {jdSelFontColor, "", 12},
                {jdSelBackColor, "", 5},          {jdSelFontColor, "", 16}, {jdSelParColor, "", 9}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.kind);
        a->SelectAll();
        TJDCharAttr before = AttrAt(*a, 0);
        TJdSelNr kind = r.kind;
        a->ListSelection(kind, r.str, r.num);
        EXPECT_EQ(kind, 0);
        TJDCharAttr after = AttrAt(*a, 0);
        switch (r.num == 16 ? -1 : r.kind) {
            case jdSelFontName: EXPECT_EQ(a->Engine().Header().fontNames[after.font], "Courier New"); break;
            case jdSelFontSize: EXPECT_EQ(after.size, 255); break;
            case jdSelFontColor: EXPECT_EQ(after.TextColor(), 12); break;
            case jdSelBackColor: EXPECT_EQ(after.BackColor(), 5); break;
            case jdSelParColor: EXPECT_EQ(a->Engine().cursor.par->shading >> 4, 9); break;
            default: EXPECT_EQ(after, before);  // "none" changes nothing
        }
    }
    a->SetReadOnlyProp(true);
    TJdSelNr kind = jdSelFontSize;
    a->ListSelection(kind, "", 8);
    EXPECT_EQ(a->ResultCode(), 11);
    EXPECT_EQ(AttrAt(*a, 0).size, 255);
}

TEST_F(RichTextTest, BarsShowTheCaretsBoldAndAlignment) {
    a->SetText("{\\rtf1{\\fonttbl{\\f0 Arial;}}\\f0 plain \\b bold\\b0\\par\\qc centred\\par}");
    Focus(a);
    a->SetCPPosition(1);
    EXPECT_FALSE(Button("JDI_BOLD")->Down());
    EXPECT_TRUE(Button("JDI_NORMAL")->Down());
    EXPECT_TRUE(Button("JDI_LEFT")->Down());
    a->Engine().CursorRight(6, false, true);  // inside "bold"
    EXPECT_TRUE(Button("JDI_BOLD")->Down());
    EXPECT_FALSE(Button("JDI_NORMAL")->Down());
    a->Engine().MoveCursor(5, false);  // the centred paragraph
    EXPECT_FALSE(Button("JDI_BOLD")->Down());
    EXPECT_TRUE(Button("JDI_CENTER")->Down());
    EXPECT_FALSE(Button("JDI_LEFT")->Down());
    // Clicking the bar's bold icon reaches the text.
    a->SetCPPosition(0);
    a->Engine().SetSelPosLen(0, 5);
    guitest::Click(Button("JDI_BOLD"), {5, 5});
    EXPECT_TRUE(StyleAt(*a, 2) & kStyleBold);
}

// An action icon acts on each click: it never stays down and swallows the
// next click. Spell and Print are counted where they start; Find and Replace
// open their dialog each time.
TEST_F(RichTextTest, ActionIconsActOnEveryClickAndComeBackUp) {
    testsupport::TempDir dir;
    a->SetText("some text to act on");
    Focus(a);
    int spells = 0, printed = 0;
    a->StartSpellCheck = [&](TObject*) { ++spells; };
    a->PrintHeader = [&](void*, TCanvas&, int, int, int, int, int page, int) { printed += page == 1; };
    Printer()->OutputFileName = (dir / "twice.pdf").string();
    struct Case {
        const char* icon;
        int* counter;
    };
    for (const Case& c : {Case{"JDI_SPELL", &spells}, Case{"JDI_PRINT", &printed}}) {
        SCOPED_TRACE(c.icon);
        for (int click = 1; click <= 2; ++click) {
            guitest::Click(Button(c.icon), {5, 5});
            guitest::ProcessEvents();
            EXPECT_EQ(*c.counter, click);
            EXPECT_FALSE(Button(c.icon)->Down());
        }
    }
    Printer()->OutputFileName.clear();
    for (const char* icon : {"JDI_FIND", "JDI_REPLACE"}) {
        SCOPED_TRACE(icon);
        for (int click = 1; click <= 2; ++click) {
            guitest::Click(Button(icon), {5, 5});
            guitest::ProcessEvents();
            EXPECT_FALSE(Button(icon)->Down());
            TFindDialog* d = icon == std::string("JDI_FIND") ? JDFindDialog() : JDReplaceDialog();
            ASSERT_NE(d, nullptr);
            d->CloseDialog();
            guitest::ProcessEvents();
        }
    }
}

TEST_F(RichTextTest, FindDownAndUpThroughTheDialogWindow) {
    a->SetText("one two One two one");
    Focus(a);
    a->SetCPPosition(0);
    a->ShowFindDialog();
    TFindDialog* find = JDFindDialog();
    ASSERT_TRUE(find->Showing());
    Part<QLineEdit>(find, "findText")->setText("one");
    Part<QPushButton>(find, "findNext")->click();
    EXPECT_EQ(a->GetSelStart(), 0);
    Part<QPushButton>(find, "findNext")->click();
    EXPECT_EQ(a->GetSelStart(), 8);  // case ignored
    Part<QCheckBox>(find, "matchCase")->setChecked(true);
    Part<QPushButton>(find, "findNext")->click();
    EXPECT_EQ(a->GetSelStart(), 16);
    EXPECT_EQ(a->GetCPPosition(), 19);
    Part<QPushButton>(find, "findNext")->click();  // nothing more: selection stays
    EXPECT_EQ(a->GetSelStart(), 16);
    EXPECT_EQ(a->GetSelLength(), 3);
    // Upwards the cursor stands at the match's start.
    Part<QRadioButton>(find, "up")->setChecked(true);
    Part<QCheckBox>(find, "matchCase")->setChecked(false);
    Part<QPushButton>(find, "findNext")->click();
    EXPECT_EQ(a->GetSelStart(), 8);
    EXPECT_EQ(a->GetCPPosition(), 8);
    Part<QPushButton>(find, "findNext")->click();
    EXPECT_EQ(a->GetSelStart(), 0);
    find->CloseDialog();
}

TEST_F(RichTextTest, ReplaceTakesAMatchingSelectionThenFindsTheNext) {
    a->SetText("cat dog Cat dog cat");
    Focus(a);
    a->ShowReplaceDialog();
    TReplaceDialog* rep = JDReplaceDialog();
    ASSERT_TRUE(rep->Showing());
    EXPECT_FALSE(JDFindDialog()->Showing());
    Part<QLineEdit>(rep, "findText")->setText("cat");
    Part<QLineEdit>(rep, "replaceText")->setText("bird");
    // A selection that is no match is not replaced: the next match is found.
    a->Engine().SetSelPosLen(4, 3);  // "dog"
    Part<QPushButton>(rep, "replace")->click();
    EXPECT_EQ(a->GetPlainText(), "cat dog Cat dog cat");
    EXPECT_EQ(a->GetSelStart(), 8);
    EXPECT_EQ(a->GetSelText(), "Cat");
    // With match case set the selected "Cat" is no match either.
    Part<QCheckBox>(rep, "matchCase")->setChecked(true);
    Part<QPushButton>(rep, "replace")->click();
    EXPECT_EQ(a->GetPlainText(), "cat dog Cat dog cat");
    EXPECT_EQ(a->GetSelStart(), 16);
    // Find Next of the replace dialog searches towards the end.
    a->SetCPPosition(0);
    Part<QPushButton>(rep, "findNext")->click();
    EXPECT_EQ(a->GetSelStart(), 0);
    Part<QPushButton>(rep, "findNext")->click();
    EXPECT_EQ(a->GetSelStart(), 16);
    // Now it is: replaced, and no further match.
    Part<QPushButton>(rep, "replace")->click();
    EXPECT_EQ(a->GetPlainText(), "cat dog Cat dog bird");
    EXPECT_EQ(a->GetSelText(), "bird");
    EXPECT_TRUE(a->Modified);
    rep->CloseDialog();
}

TEST_F(RichTextTest, ReplaceAllTakesTheSelectionThenTheRestFromTheCursor) {
    a->SetText("x1 x2 x3 x4");
    Focus(a);
    a->ShowReplaceDialog();
    TReplaceDialog* rep = JDReplaceDialog();
    Part<QLineEdit>(rep, "findText")->setText("x");
    Part<QLineEdit>(rep, "replaceText")->setText("yy");
    a->Engine().SetSelPosLen(3, 1);  // the second x
    Part<QPushButton>(rep, "replaceAll")->click();
    EXPECT_EQ(a->GetPlainText(), "x1 yy2 yy3 yy4");  // the one before the cursor stays
    // Cursor after the last occurrence and no selection: nothing more.
    a->SetCPPosition(static_cast<int>(a->GetPlainText().size()));
    Part<QPushButton>(rep, "replaceAll")->click();
    EXPECT_EQ(a->GetPlainText(), "x1 yy2 yy3 yy4");
    rep->CloseDialog();
}

// The dialogs search for what was typed: "*" and "?" are characters like any other.
TEST_F(RichTextTest, FindAndReplaceAllTakeTheTextLiterally) {
    struct Case {
        const char* text;
        const char* find;
        const char* replace;
        const char* after;
    };
    const Case cases[] = {
        {"first line\rsecond * line\rthird", "*", "Q", "first line\rsecond Q line\rthird"},
        {"no star here\rnor here", "*", "Q", "no star here\rnor here"},
        {"a*b ab a*b", "a*b", "c", "c ab c"},
        {"why? what", "?", "!", "why! what"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text + std::string(" / ") + c.find);
        a->SetText(c.text);
        a->SetFocus();
        guitest::ProcessEvents();
        a->SetCPPosition(0);
        a->ShowReplaceDialog();
        TReplaceDialog* rep = JDReplaceDialog();
        Part<QLineEdit>(rep, "findText")->setText(c.find);
        Part<QLineEdit>(rep, "replaceText")->setText(c.replace);
        Part<QPushButton>(rep, "replaceAll")->click();
        std::string expected = c.after;
        std::string got = a->GetPlainText();
        std::erase(got, '\n');
        EXPECT_EQ(got, expected);
        rep->CloseDialog();
    }
    a->SetText("plain words and one * star");
    Focus(a);
    a->SetCPPosition(0);
    a->ShowFindDialog();
    TFindDialog* find = JDFindDialog();
    Part<QLineEdit>(find, "findText")->setText("*");
    Part<QPushButton>(find, "findNext")->click();
    EXPECT_EQ(a->GetSelStart(), 20);
    EXPECT_EQ(a->GetSelText(), "*");
    find->CloseDialog();
}

// A label's "&" marks its shortcut key; it is never shown as a character.
TEST_F(RichTextTest, DialogLabelsShowTheirShortcutNotAnAmpersand) {
    a->ShowReplaceDialog();
    TReplaceDialog* rep = JDReplaceDialog();
    struct Case {
        const char* label;
        const char* edit;
    };
    for (const Case& c : {Case{"Fi&nd what:", "findText"}, Case{"Re&place with:", "replaceText"}}) {
        SCOPED_TRACE(c.label);
        QLabel* label = nullptr;
        for (QLabel* l : rep->Window()->findChildren<QLabel*>())
            if (l->text() == c.label) label = l;
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->buddy(), Part<QLineEdit>(rep, c.edit));
    }
    rep->CloseDialog();
}

TEST_F(RichTextTest, GermanLanguageReachesEveryEditor) {
    auto* second = new TJDStatusBarBasic(form);
    second->SetParent(form);
    second->Items().Add("80stStatus=");
    second->Items().Add("40stTxtFmt=");
    b->SetStatusBar(second);
    a->SetLanguage(TJDToolLanguage::tjdGerman);
    EXPECT_EQ(b->Language(), TJDToolLanguage::tjdGerman);
    for (TJDStatusBarBasic* s : {status, second}) {
        EXPECT_EQ(s->Item(0).text, "Bereit");
        EXPECT_EQ(s->Item(1).text, "FMT");
    }
    EXPECT_EQ(b->Engine().decimalChar, ',');
    EXPECT_EQ(JDRichTextString(jdtNoSelection), "keine Auswahl markiert");
    a->SetLanguage(TJDToolLanguage::tjdEnglish);
    EXPECT_EQ(second->Item(0).text, "Ready");
    EXPECT_EQ(second->Item(1).text, "RICH");
    EXPECT_EQ(JDRichTextString(56103), "Bereit");  // a German id reads as it is
}

TEST_F(RichTextTest, ExternalScrollBarsFollowTheViewAndScrollIt) {
    auto* vbar = new TScrollBar(form);
    vbar->SetParent(form);
    vbar->SetKind(sbVertical);
    vbar->SetBounds(710, 120, 16, 170);
    a->SetExternVerScrollBar(vbar);
    EXPECT_EQ(vbar->Max(), 1000);
    std::string text;
    for (int i = 0; i < 200; ++i) text += "line " + std::to_string(i) + "\r";
    a->SetText(text);
    a->ReformatAll();
    TJDRTFTextInput& e = a->Engine();
    const int span = e.DocumentHeight() - e.WindowHeight();
    ASSERT_GT(span, 0);
    e.ScrollTo(true, 4, span / 2);
    EXPECT_NEAR(vbar->Position(), 500, 2);
    e.ScrollTo(true, 7, 0);
    EXPECT_EQ(vbar->Position(), 1000);
    // Moving the bar scrolls the text.
    vbar->Scroll(scTrack, 250);
    EXPECT_NEAR(e.TopOffset, span / 4, 2);
    delete vbar;
    EXPECT_EQ(a->ExternVerScrollBar(), nullptr);
    e.ScrollTo(true, 6, 0);  // no bar to follow any more
}

// Without a printer the page goes to a PDF named after the document in the
// user's documents folder, never to a hidden ".pdf" in the current folder, and
// the user is told where it is.
TEST_F(RichTextTest, PrintWithoutAPrinterWritesANamedPdfAndSaysWhere) {
    testsupport::TempDir dir;
    std::filesystem::create_directories(dir / "home" / "Documents");
    std::filesystem::create_directories(dir / "cwd");
    const char* vars[] = {"HOME", "XDG_CONFIG_HOME"};
    std::string saved[2];
    for (int i = 0; i < 2; ++i)
        if (const char* v = std::getenv(vars[i])) saved[i] = v;
    setenv("HOME", (dir / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir / "home" / ".config").c_str(), 1);
    const auto oldCwd = std::filesystem::current_path();
    std::filesystem::current_path(dir / "cwd");
    TPrinter* pr = Printer();
    const int oldIndex = pr->PrinterIndex();
    pr->SetPrinterIndex(pr->Printers().Count() - 1);  // the PDF writer
    pr->OutputFileName.clear();
    ScriptedDialogService boxes;
    ScopedDialogService scope(boxes);
    const std::string docs = (dir / "home" / "Documents").string();
    const std::filesystem::path opened = dir / "Chapter one.rtf";
    {
        std::ofstream(opened) << "{\\rtf1 chapter text\\par}";
    }
    struct Case {
        bool open;  // the text came from a file
        const char* pdf;
    };
    for (const Case& c : {Case{true, "Chapter one.pdf"}, Case{false, "Untitled.pdf"}, Case{false, "Untitled (2).pdf"}}) {
        SCOPED_TRACE(c.pdf);
        if (c.open) {
            files.AnswerFile(opened.string());
            TJdSelNr kind = jdSelIconDown;
            a->IconSelection(kind, "JDI_OPEN", jdgFile, 3);
            ASSERT_EQ(a->FileName(), opened.string());
        } else {
            a->Clear();
            a->SetText("text without a file");
        }
        boxes.Clear();
        a->Print();
        const std::string expected = docs + "/" + c.pdf;
        EXPECT_TRUE(std::filesystem::exists(expected));
        ASSERT_EQ(boxes.Requests().size(), 1u);
        EXPECT_NE(boxes.Last().text.find(expected), std::string::npos) << boxes.Last().text;
        EXPECT_TRUE(std::filesystem::is_empty(dir / "cwd"));
    }
    std::filesystem::current_path(oldCwd);
    pr->SetPrinterIndex(oldIndex);
    for (int i = 0; i < 2; ++i) {
        if (saved[i].empty()) unsetenv(vars[i]);
        else setenv(vars[i], saved[i].c_str(), 1);
    }
}

// Loading a document into the editor and saving it keeps every paragraph's
// indents and spacing as the file had them, with or without an edit in
// another paragraph (the one edited may change).
TEST_F(RichTextTest, SavingKeepsTheParagraphPropertiesOfEveryCorpusDocument) {
    TAVRIN_REQUIRE_CORPUS();
    const char* files[] = {"rtf/rtfpipe-image_from_strings.rtf", "rtf/rtfpipe-tables_from_web1.rtf",
                           "rtf/rtfparserkit-testUnicode.rtf",   "rtf/rtfpipe-footnotes.rtf",
                           "rtf/rtfpipe-nested_table_report.rtf", "hpj/ddablib-dropfiles/PJDropFiles.rtf",
                           "hpj/eudora71/HtmlWh.rtf",            "hpj/eudora71/Dialogs.rtf",
                           "hpj/eudora71/Eudora.rtf",            "hpj/eudora71/menus.rtf",
                           "hpj/eudora71/Options.rtf"};
    for (const char* file : files) {
        for (bool edit : {false, true}) {
            SCOPED_TRACE(std::string(file) + (edit ? " edited" : ""));
            const std::string source = testsupport::ReadFileBytes(testsupport::CorpusFile(file));
            auto original = rtftest::ReadRtf(source);
            ASSERT_EQ(original.result, 0);
            a->LoadFromFile(testsupport::CorpusFile(file).string());
            Focus(a);
            a->SetCPPosition(0);
            if (edit) guitest::TypeText(a, "x");
            std::ostringstream out;
            a->SaveToStream(out);
            auto saved = rtftest::ReadRtf(out.str());
            ASSERT_EQ(saved.result, 0);
            const TParagraph* p = original.model->FirstParagraph();
            const TParagraph* q = saved.model->FirstParagraph();
            int index = 0, failures = 0;
            for (; p && q && failures < 3; p = p->next, q = q->next, ++index) {
                if (edit && index == 0) continue;
                SCOPED_TRACE("paragraph " + std::to_string(index) + ": " +
                             original.model->ParagraphText(p).substr(0, 40));
                const bool before = ::testing::Test::HasFailure();
                EXPECT_EQ(original.model->ParagraphText(p), saved.model->ParagraphText(q));
                EXPECT_EQ(p->leftIndent, q->leftIndent);
                EXPECT_EQ(p->firstIndent, q->firstIndent);
                if (!p->IsCell()) {
                    EXPECT_EQ(p->rightIndent, q->rightIndent);
                    EXPECT_EQ(p->spaceAfter, q->spaceAfter);
                }
                EXPECT_EQ(p->spaceBefore, q->spaceBefore);
                EXPECT_EQ(p->lineSpacing, q->lineSpacing);
                EXPECT_EQ(p->alignment, q->alignment);
                failures += ::testing::Test::HasFailure() && !before;
            }
            if (failures) return;
        }
    }
}

TEST_F(RichTextTest, OpenAndSaveRoundTripThroughTheFileDialogs) {
    testsupport::TempDir dir;
    const std::string path = (dir.path() / "round.rtf").string();
    ScriptedDialogService boxes;
    ScopedDialogService scope(boxes);
    a->SetText("{\\rtf1{\\fonttbl{\\f0 Arial;}}\\f0 kept \\b bold\\b0  text\\par}");
    const std::string saved = a->GetPlainText();
    Focus(a);
    files.AnswerFile(path);
    TJdSelNr kind = jdSelIconDown;
    a->IconSelection(kind, "JDI_SAVE", jdgFile, 4);
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(a->FileName(), path);
    EXPECT_EQ(a->ResultCode(), 0);
    EXPECT_EQ(files.Requests().back().filter, JDRichTextString(jdtFileFilter));
    EXPECT_EQ(status->Item(2).text, path);
    a->Clear();
    EXPECT_EQ(a->FileName(), "");
    EXPECT_TRUE(a->IsEmpty());
    files.AnswerFile(path);
    kind = jdSelIconDown;
    a->IconSelection(kind, "JDI_OPEN", jdgFile, 3);
    EXPECT_EQ(a->GetPlainText(), saved);
    EXPECT_TRUE(StyleAt(*a, 6) & kStyleBold);
    EXPECT_EQ(a->FileName(), path);
    EXPECT_FALSE(a->Modified);
    EXPECT_EQ(boxes.Requests().size(), 0u);
}

TEST_F(RichTextTest, FailedOrCancelledFileActionsKeepTheText) {
    testsupport::TempDir dir;
    ScriptedDialogService boxes;
    ScopedDialogService scope(boxes);
    a->SetText("precious");
    a->Modified = true;
    // Close with no file name and a cancelled dialog: the text stays.
    files.AnswerCancel();
    a->FileClose();
    EXPECT_EQ(a->GetPlainText(), "precious");
    // A save that fails shows why; text and (empty) file name stay.
    files.AnswerFile((dir.path() / "no such folder" / "x.rtf").string());
    a->FileClose();
    ASSERT_EQ(boxes.Requests().size(), 1u);
    EXPECT_EQ(boxes.Last().icon, DialogIcon::Error);
    EXPECT_EQ(a->GetPlainText(), "precious");
    EXPECT_EQ(a->FileName(), "");
    // Open on a changed text asks first; Yes keeps the text.
    boxes.Clear();
    boxes.Answer(mrYes);
    const int asked = static_cast<int>(files.Requests().size());
    a->FileOpen();
    ASSERT_EQ(boxes.Requests().size(), 1u);
    EXPECT_EQ(boxes.Last().text, "Do you want to abort operation?");
    EXPECT_EQ(static_cast<int>(files.Requests().size()), asked);  // no file dialog
    EXPECT_EQ(a->GetPlainText(), "precious");
    // No: the file dialog comes; a missing file keeps the text.
    boxes.Clear();
    boxes.Answer(mrNo);
    files.AnswerFile((dir.path() / "missing.rtf").string());
    a->FileOpen();
    ASSERT_EQ(boxes.Requests().size(), 2u);
    EXPECT_EQ(a->GetPlainText(), "precious");
    EXPECT_EQ(a->FileName(), "");
    // So does a name that cannot be read as a file.
    EXPECT_THROW(a->LoadFromFile(dir.path().string()), std::exception);
    EXPECT_THROW(a->LoadFromFile((dir.path() / "missing.rtf").string()), std::exception);
    EXPECT_EQ(a->GetPlainText(), "precious");
    EXPECT_EQ(a->FileName(), "");
    // Saved under a name, Close saves there and then clears.
    const std::string good = (dir.path() / "good.rtf").string();
    a->SaveToFile(good);
    EXPECT_EQ(a->FileName(), good);
    a->FileClose();
    EXPECT_TRUE(a->IsEmpty());
    EXPECT_EQ(a->FileName(), "");
    EXPECT_FALSE(a->Modified);
    // SaveToFile raises and keeps the name.
    a->SetText("again");
    a->SaveToFile(good);
    EXPECT_THROW(a->SaveToFile((dir.path() / "none" / "y.rtf").string()), std::exception);
    EXPECT_EQ(a->FileName(), good);
}

}  // namespace
}  // namespace richtext
