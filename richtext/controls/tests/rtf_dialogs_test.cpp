// The rich-text label, the paragraph dialogs, the table picker and the
// wallpaper, driven through their forms and the mouse on the real engine.
#include <gtest/gtest.h>

#include <QImage>
#include <QTimer>

#include <string>
#include <vector>

#include "platform/core/dialog_service.h"
#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"
#include "richtext/controls/paragraph_dialogs.h"
#include "richtext/controls/rtf_label.h"

namespace richtext {
namespace {

using namespace gui;

// Answers every message with its default button and remembers the texts.
class RecordingDialogs : public DialogService {
public:
    DialogReply Run(const DialogRequest& r) override {
        texts.push_back(r.text);
        return {r.buttons.empty() ? 0 : r.buttons[static_cast<std::size_t>(r.defaultButton)].result, {}};
    }
    std::vector<std::string> texts;
};

class RtfDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        InitApplication();
        SetDialogService(&dialogs);
        form = new TForm(Application);
        form->SetBounds(40, 40, 420, 300);
        edit = new TJDCustomRtfEdit(form);
        edit->SetParent(form);
        edit->SetBounds(10, 10, 380, 200);
        form->Show();
        guitest::ProcessEvents();
    }
    void TearDown() override {
        delete form;
        SetDialogService(nullptr);
    }
    QRgb PixelOf(TControl* c, int x, int y) {
        TBitmap shot;
        guitest::Grab(form, shot);
        return shot.Image()->pixel(c->Left() + x, c->Top() + y) & 0xFFFFFF;
    }
    RecordingDialogs dialogs;
    TForm* form = nullptr;
    TJDCustomRtfEdit* edit = nullptr;
};

// --- label ----------------------------------------------------------------------------------------

TEST_F(RtfDialogs, LabelShowsPagesAndLeavesTheViewPastTheLast) {
    auto* label = new TJDRichTextLabel(form);
    label->SetParent(form);
    label->SetBounds(10, 215, 380, 60);
    label->SetText("{\\rtf1 first\\par\\page second\\par more\\par\\page third\\par}");
    TJDRTFTextInput& e = label->Engine();
    auto topText = [&] {
        for (TParagraph* p = e.FirstParagraph(); p; p = p->next)
            for (TLine* l = p->lines; l; l = l->next)
                if (l->top >= e.TopOffset) return l->text;
        return std::string();
    };
    struct Case {
        int page;
        const char* top;
    };
    const Case cases[] = {{1, "second"}, {2, "third"}, {7, "third"}, {0, "first"}, {-3, "first"}, {2, "third"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.page);
        label->SetPagNumber(c.page);
        EXPECT_EQ(topText(), c.top);
    }
    EXPECT_EQ(label->PagNumber(), 2);
    // The label paints its text through its own engine.
    EXPECT_EQ(label->PlainText(), "first\rsecond\rmore\rthird\r");
}

TEST_F(RtfDialogs, LabelIgnoresTheMouseUntilAskedAndCutsLinksAt254) {
    auto* label = new TJDRichTextLabel(form);
    label->SetParent(form);
    label->SetBounds(10, 215, 380, 60);
    label->SetWordWrap(false);
    const std::string link(300, 'L');
    label->SetText("{\\rtf1 first line\\par {\\uldb " + link + "}{\\v target}}");
    std::vector<std::pair<std::string, std::string>> clicks;
    int lineNumber = -1;
    label->HyperLinkEvent = [&](void* sender, const std::string& text, const std::string& target, std::int32_t line) {
        EXPECT_EQ(sender, label);
        clicks.emplace_back(text, target);
        lineNumber = line;
    };
    const int y = label->Engine().FirstParagraph()->next->lines->top + 4;
    ASSERT_TRUE(label->DisableMouse);
    guitest::Click(label, {20, y});
    guitest::DoubleClick(label, {20, y});
    EXPECT_TRUE(clicks.empty());
    EXPECT_EQ(label->SelText(), "");
    label->DisableMouse = false;
    guitest::Click(label, {20, y});
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0].first, std::string(254, 'L'));
    EXPECT_EQ(clicks[0].second, "target");
    EXPECT_EQ(lineNumber, 1);
    // Plain text under a single click starts a selection, no link.
    guitest::Click(label, {20, 4});
    EXPECT_EQ(clicks.size(), 1u);
}

TEST_F(RtfDialogs, LabelSelectsWithTheMouseWhenAllowed) {
    auto* label = new TJDRichTextLabel(form);
    label->SetParent(form);
    label->SetBounds(10, 215, 380, 60);
    label->SetText("alpha beta gamma");
    label->DisableMouse = false;
    label->OneClickHyperlink = false;
    guitest::DoubleClick(label, {label->Engine().XOfPosition(label->Engine().FirstParagraph(),
                                                             label->Engine().FirstParagraph()->lines, 8) + 1, 8});
    EXPECT_EQ(label->SelText(), "beta");
    // Nothing here changes the text.
    EXPECT_EQ(label->PlainText(), "alpha beta gamma");
}

TEST_F(RtfDialogs, LabelDisplaySwitchesReachTheEngineAtTheNextPaint) {
    auto* label = new TJDRichTextLabel(form);
    label->SetParent(form);
    label->SetBounds(10, 215, 380, 60);
    label->SetText("{\\rtf1 shown {\\inaut auto}\\par}");
    TJDRTFTextInput& e = label->Engine();
    struct Case {
        bool pageBreak, paperSize, transparent;
        std::uint32_t set, clear;
    };
    const Case cases[] = {
        {true, false, false, 0, poHidePageBreaks | poPageWidth | poTransparent},
        {false, false, false, poHidePageBreaks, poPageWidth | poTransparent},
        {true, true, false, poPageWidth, poHidePageBreaks | poTransparent},
        {true, false, true, poTransparent, poHidePageBreaks | poPageWidth},
    };
    for (const Case& c : cases) {
        label->ShowPageBreak = c.pageBreak;
        label->UsePaperSize = c.paperSize;
        label->SetTransparent(c.transparent);
        guitest::ProcessEvents();
        label->Repaint();
        EXPECT_EQ(e.PaintOptions() & c.set, c.set);
        EXPECT_EQ(e.PaintOptions() & c.clear, 0u);
    }
    // Hidden automatic text takes no room.
    auto width = [&] {
        TLine* l = e.FirstParagraph()->lines;
        return e.XOfPosition(e.FirstParagraph(), l, l->Length());
    };
    const int shown = width();
    label->HideAutomatic = true;
    label->Repaint();
    EXPECT_TRUE(e.excludeAutomaticText);
    EXPECT_LT(width(), shown);
    EXPECT_EQ(label->PlainText(), "shown auto\r");
}

// --- paragraph dialogs ----------------------------------------------------------------------------------

TEST_F(RtfDialogs, ParagraphFormConvertsUnitsAndAppliesIndentsAndSpacing) {
    edit->SetText("one\rtwo");
    edit->SetCPPosition(5);
    TJDParagraphProp prop(nullptr, edit);
    prop.Show();
    prop.SetUnit(TJDParagraphProp::uInch);
    prop.Edits[1]->SetText("1");
    EXPECT_EQ(prop.Values()[1], 1440);
    prop.SetUnit(TJDParagraphProp::uCm);
    EXPECT_EQ(prop.Edits[1]->Text(), "2.54");
    prop.Edits[0]->SetText("0.5");
    EXPECT_EQ(prop.Values()[0], 283);  // 0.5 x 566.929, rounded
    prop.SetUnit(TJDParagraphProp::uTwips);
    EXPECT_EQ(prop.Edits[1]->Text(), "1440");
    prop.Edits[2]->SetText("200");
    prop.Edits[3]->SetText("120");
    prop.Edits[4]->SetText("300");
    prop.Edits[5]->SetText("60");
    // A field that is not a number keeps its value; OK names it and stays open.
    prop.Edits[4]->SetText("lots");
    EXPECT_EQ(prop.Values()[4], 300);
    prop.OKBtn->Click();
    ASSERT_EQ(dialogs.texts.size(), 1u);
    EXPECT_NE(dialogs.texts[0].find("Line Height"), std::string::npos);
    EXPECT_EQ(prop.ModalResult(), mrNone);
    EXPECT_EQ(edit->Engine().cursor.par->leftIndent, 0);
    prop.Edits[4]->SetText("300");
    prop.OKBtn->Click();
    EXPECT_EQ(prop.ModalResult(), mrOk);
    const TParagraph* p = edit->Engine().cursor.par;
    EXPECT_EQ(p->firstIndent, 283);
    EXPECT_EQ(p->leftIndent, 1440);
    EXPECT_EQ(p->rightIndent, 200);
    EXPECT_EQ(p->spaceBefore, 120);
    EXPECT_EQ(p->lineSpacing, 300);
    EXPECT_EQ(p->spaceAfter, 60);
    EXPECT_EQ(edit->Engine().FirstParagraph()->leftIndent, 0);  // only the cursor's paragraph
    // A second form reads the paragraph back.
    TJDParagraphProp again(nullptr, edit);
    again.SetUnit(TJDParagraphProp::uInch);
    EXPECT_EQ(again.Edits[1]->Text(), "1.00");
}

TEST_F(RtfDialogs, ParagraphFormUsesTheLibrarysDecimalCharacter) {
    TJDParagraphProp prop(nullptr, edit);
    prop.DecimalSeparator = ',';
    prop.SetUnit(TJDParagraphProp::uInch);
    prop.Edits[0]->SetText("1,5");
    EXPECT_EQ(prop.Values()[0], 2160);
    prop.Edits[1]->SetText("1.5");  // not this library's fraction
    EXPECT_EQ(prop.Values()[1], 0);
    prop.Edits[1]->SetText("1");
    prop.SetUnit(TJDParagraphProp::uCm);
    EXPECT_EQ(prop.Edits[1]->Text(), "2,54");
    // The library's language chooses the character for new forms.
    EXPECT_EQ(TJDParagraphProp(nullptr, edit).DecimalSeparator, '.');
    SetJDLanguage(TJDToolLanguage::tjdGerman);
    TJDParagraphProp german(nullptr, edit);
    SetJDLanguage(TJDToolLanguage::tjdEnglish);
    EXPECT_EQ(german.DecimalSeparator, ',');
}

TEST_F(RtfDialogs, BorderFormBuildsFlagsAppliesAndRemovesTheBorder) {
    edit->SetText("boxed\rplain");
    edit->SetCPPosition(0);
    TJDParagraphBord bord(nullptr, edit);
    struct Case {
        TCheckBox* box;
        std::uint16_t flag;
    };
    const Case cases[] = {{bord.box, 0x40},     {bord.topBox, 0x04},  {bord.leftBox, 0x10}, {bord.BottomBox, 0x08},
                          {bord.RightBox, 0x20}, {bord.double_, 0x80}, {bord.Dotted, 0x100}};
    for (const Case& c : cases) {
        c.box->SetChecked(true);
        EXPECT_EQ(bord.Flags(), c.flag) << c.box->Name();
        c.box->SetChecked(false);
    }
    bord.all->SetChecked(true);
    EXPECT_EQ(bord.Flags(), 0x04 | 0x08 | 0x10 | 0x20);
    bord.all->SetChecked(false);
    EXPECT_EQ(bord.Flags(), 0);

    // Colour 15, width 3 pt and the widest space survive the text's RTF.
    bord.box->SetChecked(true);
    bord.double_->SetChecked(true);
    bord.ColCmb->SetItemIndex(15);
    bord.WidthCmb->SetItemIndex(2);
    bord.SpaceText->SetText("15");
    bord.OKBtn->Click();
    EXPECT_EQ(bord.ModalResult(), mrOk);
    std::uint32_t b = edit->Engine().FirstParagraph()->border;
    EXPECT_EQ(b & 0xFFFF, kBorderOn | 0x40 | 0x80);
    EXPECT_EQ(BorderWidthByte(b), 3u);
    EXPECT_EQ(BorderColorNibble(b), 15u);
    EXPECT_EQ(BorderSpacingNibble(b), 15u);
    edit->Engine().SaveFormat = TJDLoadFormat::FormatRTF;
    const std::string rtf = edit->Engine().SaveToString();
    TJDCustomRtfEdit back(nullptr);
    back.SetText(rtf);
    const std::uint32_t r = back.Engine().FirstParagraph()->border;
    EXPECT_TRUE(r & 0x40);
    EXPECT_TRUE(r & 0x80);
    EXPECT_EQ(BorderWidthByte(r), 3u);
    EXPECT_EQ(BorderColorNibble(r), 15u);
    EXPECT_EQ(BorderSpacingNibble(r), 15u);

    // A new form shows the paragraph's border; no box at all removes it.
    TJDParagraphBord again(nullptr, edit);
    EXPECT_TRUE(again.box->Checked());
    EXPECT_TRUE(again.double_->Checked());
    EXPECT_EQ(again.ColCmb->ItemIndex(), 15);
    EXPECT_EQ(again.WidthCmb->ItemIndex(), 2);
    EXPECT_EQ(again.SpaceText->Text(), "15");
    again.box->SetChecked(false);
    again.double_->SetChecked(false);
    again.OKBtn->Click();
    EXPECT_EQ(again.ModalResult(), mrOk);
    EXPECT_EQ(edit->Engine().FirstParagraph()->border, 0u);

    // A space outside 0..15 is named and nothing is applied.
    TJDParagraphBord bad(nullptr, edit);
    bad.topBox->SetChecked(true);
    bad.SpaceText->SetText("16");
    bad.OKBtn->Click();
    EXPECT_EQ(bad.ModalResult(), mrNone);
    ASSERT_EQ(dialogs.texts.size(), 1u);
    EXPECT_NE(dialogs.texts[0].find("Space between border and text"), std::string::npos);
    EXPECT_EQ(edit->Engine().FirstParagraph()->border, 0u);
}

TEST_F(RtfDialogs, DialogComponentsNeedAnEditorAndRunTheirForm) {
    TJDParagraphBorderDlg border(nullptr);
    EXPECT_EQ(border.Execute(), mrNone);  // no editor: no form
    border.EditBox = edit;
    bool shown = false;
    border.OnFormCreated = [&](TJDParagraphBord& f) {
        shown = true;
        f.leftBox->SetChecked(true);
        // Once the modal form runs, OK closes it.
        QTimer::singleShot(0, [&f] { f.OKBtn->Click(); });
    };
    EXPECT_EQ(border.Execute(), mrOk);
    EXPECT_TRUE(shown);
    EXPECT_EQ(edit->Engine().cursor.par->border & 0xFFFF, kBorderOn | 0x10);

    TJDParagraphPropDlg prop(nullptr);
    EXPECT_EQ(prop.Execute(), mrNone);
    prop.EditBox = edit;
    prop.OnFormCreated = [&](TJDParagraphProp& f) {
        f.SetUnit(TJDParagraphProp::uTwips);
        f.Edits[3]->SetText("240");
        QTimer::singleShot(0, [&f] { f.CancelBtn->Click(); });
    };
    EXPECT_EQ(prop.Execute(), mrCancel);
    EXPECT_EQ(edit->Engine().cursor.par->spaceBefore, 0);  // cancelled: nothing applied
}

// --- table picker and wallpaper ------------------------------------------------------------------------

TEST_F(RtfDialogs, TablePickerTracksTheMouseAndGrowsUpToFiftyColumns) {
    TJDTableSelect pick(nullptr);
    pick.Show();
    guitest::ProcessEvents();
    EXPECT_EQ(pick.Caption(), "New table");
    EXPECT_EQ(pick.ClientWidth(), 197);
    EXPECT_EQ(pick.ClientHeight(), 123);
    EXPECT_FALSE(pick.OKBtn->Enabled());
    EXPECT_TRUE(pick.Borders());
    const int c = pick.CellSize();
    // Released at the origin: one row, one column.
    guitest::MouseDown(pick.Box, {0, 0});
    guitest::MouseUp(pick.Box, {0, 0});
    EXPECT_EQ(pick.Rows(), 1);
    EXPECT_EQ(pick.Cols(), 1);
    EXPECT_TRUE(pick.OKBtn->Enabled());
    // Rows and columns round to the nearest cell edge.
    guitest::MouseDown(pick.Box, {c, c});
    guitest::MouseMove(pick.Box, {3 * c + c / 2 + 1, 2 * c + c / 2 - 1});
    EXPECT_TRUE(pick.Tracking());
    EXPECT_EQ(pick.Cols(), 4);
    EXPECT_EQ(pick.Rows(), 2);
    guitest::MouseUp(pick.Box, {3 * c + c / 2 + 1, 2 * c + c / 2 - 1});
    EXPECT_FALSE(pick.Tracking());
    // Moving without a press picks nothing.
    guitest::MouseMove(pick.Box, {c, c});
    EXPECT_EQ(pick.Cols(), 4);
    // Dragging on past the edge grows the box, cell by cell, to 50 columns.
    const int startWidth = pick.Box->Width();
    guitest::MouseDown(pick.Box, {c, c});
    for (int i = 0; i < 80; ++i) guitest::MouseMove(pick.Box, {pick.Box->Width() - 1, c});
    guitest::MouseUp(pick.Box, {pick.Box->Width() - 1, c});
    EXPECT_GT(pick.Box->Width(), startWidth);
    EXPECT_EQ(pick.Cols(), TJDTableSelect::kMaxCols);
    // The border toggle may be released.
    guitest::Click(pick.ShowBorder, {5, 5});
    EXPECT_FALSE(pick.Borders());
    // A double click closes with OK.
    guitest::DoubleClick(pick.Box, {c, c});
    EXPECT_EQ(pick.ModalResult(), mrOk);
}

TEST_F(RtfDialogs, WallpaperTilesFromItsOffsetsAndAnEmptyPicturePaintsNothing) {
    form->SetColor(static_cast<TColor>(0x102030));
    auto* wall = new TJDWallPaper(form);
    wall->SetParent(form);
    wall->SetBounds(20, 220, 40, 30);
    guitest::ProcessEvents();
    EXPECT_EQ(PixelOf(wall, 5, 5), 0x302010u);  // the form shows through
    // 2 x 2: red, green / blue, white.
    TPicture pic;
    TBitmap& bmp = pic.Bitmap();
    bmp.SetSize(2, 2);
    auto dot = [&](int x, int y, TColor color) {
        bmp.Canvas().Brush().SetColor(color);
        bmp.Canvas().FillRect(Rect(x, y, x + 1, y + 1));
    };
    dot(0, 0, clRed);
    dot(1, 0, clLime);
    dot(0, 1, clBlue);
    dot(1, 1, clWhite);
    wall->SetPicture(pic);
    EXPECT_FALSE(wall->ControlStyle & csOpaque);
    struct Case {
        int left, top, x, y;
        QRgb rgb;
    };
    // Control pixel (x, y) shows picture pixel ((x - left) mod 2, (y - top) mod 2).
    const Case cases[] = {
        {0, 0, 0, 0, 0xFF0000}, {0, 0, 1, 0, 0x00FF00}, {0, 0, 4, 3, 0x0000FF}, {1, 0, 0, 0, 0x00FF00},
        {1, 1, 0, 0, 0xFFFFFF}, {-1, 0, 2, 0, 0x00FF00}, {3, 2, 5, 4, 0xFF0000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.left << "," << c.top << " at " << c.x << "," << c.y);
        wall->SetLeftOffset(c.left);
        wall->SetTopOffset(c.top);
        guitest::ProcessEvents();
        EXPECT_EQ(PixelOf(wall, c.x, c.y), c.rgb);
    }
    // A bitmap of the control's own size makes it opaque.
    TPicture full;
    full.Bitmap().SetSize(40, 30);
    wall->SetPicture(full);
    EXPECT_TRUE(wall->ControlStyle & csOpaque);
    EXPECT_EQ(wall->GetPalette(), nullptr);
    // A change made in the picture itself is seen too.
    wall->Picture().Bitmap().SetSize(10, 10);
    EXPECT_FALSE(wall->ControlStyle & csOpaque);
    TPicture none;
    wall->SetPicture(none);
    EXPECT_FALSE(wall->ControlStyle & csOpaque);
    guitest::ProcessEvents();
    EXPECT_EQ(PixelOf(wall, 5, 5), 0x302010u);
}

}  // namespace
}  // namespace richtext
