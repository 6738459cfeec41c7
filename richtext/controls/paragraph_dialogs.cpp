// The paragraph border and paragraph property dialogs, the table-size picker
// and the wallpaper.
#include "richtext/controls/paragraph_dialogs.h"

#include <QImage>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/core/dialog_service.h"

namespace richtext {

using namespace gui;

namespace {

TLabel* MakeLabel(TWinControl* parent, int x, int y, int w, const std::string& text) {
    auto* l = new TLabel(parent);
    l->SetParent(parent);
    l->SetBounds(x, y, w, 16);
    l->SetCaption(text);
    return l;
}

TCheckBox* MakeCheck(TWinControl* parent, int x, int y, int w, const std::string& name, const std::string& text) {
    auto* c = new TCheckBox(parent);
    c->SetParent(parent);
    c->SetName(name);
    c->SetBounds(x, y, w, 18);
    c->SetCaption(text);
    return c;
}

TButton* MakeButton(TWinControl* parent, int x, int y, const std::string& text, TModalResult result) {
    auto* b = new TButton(parent);
    b->SetParent(parent);
    b->SetBounds(x, y, 75, 25);
    b->SetCaption(text);
    b->ModalResult = result;
    b->Default = result == mrOk;
    b->Cancel = result == mrCancel;
    return b;
}

TParagraph* CurrentParagraph(TJDCustomRtfEdit* editor) { return editor ? editor->Engine().cursor.par : nullptr; }

// Warns about a field and gives it the focus.
void FieldMessage(TWinControl* field, const std::string& text) {
    MessageDlg(text, mtWarning, mbOK);
    if (field->CanFocus()) field->SetFocus();
}

}  // namespace

// --- borders ---------------------------------------------------------------------------------------

TJDParagraphBord::TJDParagraphBord(TComponent* AOwner, TJDCustomRtfEdit* editor) : TForm(AOwner), editor_(editor) {
    SetCaption("Paragraph Borders");
    SetClientSize(330, 218);
    Position = poScreenCenter;

    auto* style = new TGroupBox(this);
    style->SetParent(this);
    style->SetBounds(8, 6, 150, 170);
    style->SetCaption(" Border Style ");
    MakeLabel(style, 10, 20, 120, "Borders");
    topBox = MakeCheck(style, 10, 38, 64, "topBox", "Top");
    BottomBox = MakeCheck(style, 78, 38, 68, "BottomBox", "Bottom");
    leftBox = MakeCheck(style, 10, 58, 64, "leftBox", "Left");
    RightBox = MakeCheck(style, 78, 58, 68, "RightBox", "Right");
    all = MakeCheck(style, 10, 78, 64, "all", "All");
    box = MakeCheck(style, 78, 78, 68, "box", "Box");
    double_ = MakeCheck(style, 10, 112, 130, "double", "Double");
    Dotted = MakeCheck(style, 10, 132, 130, "Dotted", "Dotted");
    // "All" ticks or clears the four sides together.
    all->OnClick = [this](TObject*) {
        if (settingAll_) return;
        settingAll_ = true;
        for (TCheckBox* c : {topBox, BottomBox, leftBox, RightBox}) c->SetChecked(all->Checked());
        settingAll_ = false;
    };

    MakeLabel(this, 170, 10, 150, "Color");
    ColCmb = new TComboBox(this);
    ColCmb->SetParent(this);
    ColCmb->SetName("ColCmb");
    ColCmb->SetBounds(170, 28, 100, 22);
    ColCmb->SetStyle(csOwnerDrawFixed);
    for (int i = 0; i < 16; ++i) ColCmb->Items().Add(std::to_string(i));
    ColCmb->OnDrawItem = [this](TWinControl*, int index, TRect r, TOwnerDrawState state) {
        TCanvas& c = ColCmb->Canvas();
        c.Brush().SetColor((state & odSelected) ? clHighlight : clWindow);
        c.FillRect(r);
        plat::COLORREF rgb = editor_ ? editor_->Engine().GetColorEntry(index) : 0;
        c.Brush().SetColor(static_cast<TColor>(rgb));
        c.Pen().SetColor(clBlack);
        c.Rectangle(r.Left + 3, r.Top + 2, r.Right - 3, r.Bottom - 2);
    };
    ColorText = MakeLabel(this, 276, 31, 50, "");
    ColorText->SetName("ColorText");
    ColCmb->OnChange = [this](TObject*) { ColorText->SetCaption(std::to_string(std::max(ColCmb->ItemIndex(), 0))); };

    MakeLabel(this, 170, 58, 150, "Linewidth [pt]");
    WidthCmb = new TComboBox(this);
    WidthCmb->SetParent(this);
    WidthCmb->SetName("WidthCmb");
    WidthCmb->SetBounds(170, 76, 100, 22);
    WidthCmb->SetStyle(csOwnerDrawFixed);
    for (int i = 1; i <= 5; ++i) WidthCmb->Items().Add(std::to_string(i));
    WidthCmb->OnDrawItem = [this](TWinControl*, int index, TRect r, TOwnerDrawState state) {
        TCanvas& c = WidthCmb->Canvas();
        c.Brush().SetColor((state & odSelected) ? clHighlight : clWindow);
        c.FillRect(r);
        // A line as thick as the width it stands for.
        c.Brush().SetColor((state & odSelected) ? clHighlightText : clWindowText);
        int mid = (r.Top + r.Bottom) / 2, h = index + 1;
        c.FillRect(Rect(r.Left + 4, mid - h / 2, r.Right - 4, mid - h / 2 + h));
    };
    WidthText = MakeLabel(this, 276, 79, 50, "");
    WidthText->SetName("WidthText");
    WidthCmb->OnChange = [this](TObject*) { WidthText->SetCaption(std::to_string(std::max(WidthCmb->ItemIndex(), 0) + 1)); };

    TLabel* space = MakeLabel(this, 170, 108, 156, "Space between border and text 0..15 [mm]");
    space->SetAutoSize(false);
    space->SetWordWrap(true);
    space->SetBounds(170, 108, 156, 34);
    SpaceText = new TEdit(this);
    SpaceText->SetParent(this);
    SpaceText->SetName("SpaceText");
    SpaceText->SetBounds(170, 144, 60, 22);
    SpaceText->SetText("0");

    OKBtn = MakeButton(this, 86, 184, "OK", mrNone);
    OKBtn->Default = true;
    OKBtn->OnClick = [this](TObject*) { OkClick(); };
    CancelBtn = MakeButton(this, 170, 184, "Cancel", mrCancel);

    ColCmb->SetItemIndex(0);
    WidthCmb->SetItemIndex(0);
    ColorText->SetCaption("0");
    WidthText->SetCaption("1");
    ReadParagraph();
    SetBorderStyle(bsDialog);
}

std::uint16_t TJDParagraphBord::Flags() const {
    std::uint16_t f = 0;
    if (box->Checked()) f |= kBoxFlag;
    if (topBox->Checked()) f |= kTopFlag;
    if (leftBox->Checked()) f |= kLeftFlag;
    if (BottomBox->Checked()) f |= kBottomFlag;
    if (RightBox->Checked()) f |= kRightFlag;
    if (double_->Checked()) f |= kDoubleFlag;
    if (Dotted->Checked()) f |= kDottedFlag;
    return f;
}

void TJDParagraphBord::ReadParagraph() {
    TParagraph* p = CurrentParagraph(editor_);
    if (!p) return;
    const std::uint32_t b = p->border;
    const bool on = b & kBorderOn;
    settingAll_ = true;
    box->SetChecked(on && (b & kBoxFlag));
    topBox->SetChecked(on && (b & kTopFlag));
    leftBox->SetChecked(on && (b & kLeftFlag));
    BottomBox->SetChecked(on && (b & kBottomFlag));
    RightBox->SetChecked(on && (b & kRightFlag));
    double_->SetChecked(on && (b & kDoubleFlag));
    Dotted->SetChecked(on && (b & kDottedFlag));
    all->SetChecked(topBox->Checked() && leftBox->Checked() && BottomBox->Checked() && RightBox->Checked());
    settingAll_ = false;
    if (!on) return;
    ColCmb->SetItemIndex(static_cast<int>(BorderColorNibble(b)));
    ColorText->SetCaption(std::to_string(BorderColorNibble(b)));
    int w = std::clamp(static_cast<int>(BorderWidthByte(b)), 1, 5);
    WidthCmb->SetItemIndex(w - 1);
    WidthText->SetCaption(std::to_string(w));
    SpaceText->SetText(std::to_string(BorderSpacingNibble(b)));
}

void TJDParagraphBord::OkClick() {
    const std::string t = SpaceText->Text();
    char* end = nullptr;
    long space = std::strtol(t.c_str(), &end, 10);
    if (t.empty() || *end != '\0' || space < 0 || space > 15) {
        FieldMessage(SpaceText, "Space between border and text: enter a whole number from 0 to 15");
        return;
    }
    if (editor_) {
        const std::uint16_t flags = Flags();
        if (flags == 0) editor_->SetParagraphBorder(0, 0, 0, 0);
        else
            editor_->SetParagraphBorder(flags, std::max(WidthCmb->ItemIndex(), 0) + 1, std::max(ColCmb->ItemIndex(), 0),
                                        static_cast<int>(space));
    }
    SetModalResult(mrOk);
}

int TJDParagraphBorderDlg::Execute() {
    if (!EditBox) return mrNone;
    TJDParagraphBord form(nullptr, EditBox);
    if (OnFormCreated) OnFormCreated(form);
    return form.ShowModal();
}

// --- indents and spacing -----------------------------------------------------------------------------

namespace {
const char* const kPropLabels[6] = {"First Indent", "Left Indent", "Right Indent",
                                    "Space before", "Line Height", "Space after"};
constexpr double kTwipsPerCm = 566.929;
constexpr double kCmPerTwip = 0.0017638893;
}  // namespace

TJDParagraphProp::TJDParagraphProp(TComponent* AOwner, TJDCustomRtfEdit* editor) : TForm(AOwner), editor_(editor) {
    SetCaption("Paragraph Properties");
    SetClientSize(300, 200);
    Position = poScreenCenter;
    for (int i = 0; i < 6; ++i) {
        const int col = i / 3, row = i % 3;
        const int x = 10 + col * 150, y = 10 + row * 46;
        Labels[i] = MakeLabel(this, x, y, 130, kPropLabels[i]);
        auto* e = new TEdit(this);
        e->SetParent(this);
        e->SetBounds(x, y + 17, 120, 22);
        e->Tag = i;
        e->OnChange = [this, i](TObject*) { EditChanged(i); };
        Edits[i] = e;
        valid_[i] = true;
    }
    MakeLabel(this, 10, 148, 40, "Unit");
    UnitCmb = new TComboBox(this);
    UnitCmb->SetParent(this);
    UnitCmb->SetName("UnitCmb");
    UnitCmb->SetBounds(50, 145, 80, 22);
    UnitCmb->SetStyle(csDropDownList);
    UnitCmb->Items().Add("Inch");
    UnitCmb->Items().Add("Cm");
    UnitCmb->Items().Add("Twips");
    UnitCmb->SetItemIndex(uInch);
    UnitCmb->OnChange = [this](TObject*) { ShowValues(); };
    OKBtn = MakeButton(this, 140, 168, "OK", mrNone);
    OKBtn->Default = true;
    OKBtn->OnClick = [this](TObject*) { OkClick(); };
    CancelBtn = MakeButton(this, 220, 168, "Cancel", mrCancel);
    if (editor_ && !editor_->Engine().Header().metricInch) UnitCmb->SetItemIndex(uCm);
    ReadParagraph();
    SetBorderStyle(bsDialog);
}

void TJDParagraphProp::SetUnit(TUnit u) {
    UnitCmb->SetItemIndex(u);
    ShowValues();
}

void TJDParagraphProp::ReadParagraph() {
    if (TParagraph* p = CurrentParagraph(editor_))
        twips_ = {p->firstIndent, p->leftIndent, p->rightIndent, p->spaceBefore, p->lineSpacing, p->spaceAfter};
    ShowValues();
}

std::string TJDParagraphProp::Format(int twips) const {
    char buf[64];
    switch (Unit()) {
    case uInch: std::snprintf(buf, sizeof buf, "%.2f", twips / 1440.0); break;
    case uCm: std::snprintf(buf, sizeof buf, "%.2f", twips * kCmPerTwip); break;
    default: std::snprintf(buf, sizeof buf, "%d", twips); break;
    }
    std::string s = buf;
    std::replace(s.begin(), s.end(), '.', DecimalSeparator);
    return s;
}

bool TJDParagraphProp::Parse(const std::string& text, int& twips) const {
    std::string t = text;
    while (!t.empty() && t.back() == ' ') t.pop_back();
    while (!t.empty() && t.front() == ' ') t.erase(t.begin());
    if (t.empty()) return false;
    // Only the library's decimal character separates the fraction.
    if (DecimalSeparator != '.' && t.find('.') != std::string::npos) return false;
    std::replace(t.begin(), t.end(), DecimalSeparator, '.');
    char* end = nullptr;
    double v = std::strtod(t.c_str(), &end);
    if (*end != '\0' || !std::isfinite(v)) return false;
    double factor = Unit() == uInch ? 1440.0 : Unit() == uCm ? kTwipsPerCm : 1.0;
    double r = std::round(v * factor);
    // Twips of a page: beyond ten metres is no measure.
    if (std::fabs(r) > 10 * 100 * kTwipsPerCm) return false;
    twips = static_cast<int>(r);
    return true;
}

void TJDParagraphProp::EditChanged(int index) {
    if (showing_) return;
    int v = 0;
    valid_[index] = Parse(Edits[index]->Text(), v);
    // A field that is not a number keeps its stored value.
    if (valid_[index]) twips_[index] = v;
}

void TJDParagraphProp::ShowValues() {
    showing_ = true;
    for (int i = 0; i < 6; ++i) {
        Edits[i]->SetText(Format(twips_[i]));
        valid_[i] = true;
    }
    showing_ = false;
}

void TJDParagraphProp::OkClick() {
    for (int i = 0; i < 6; ++i)
        if (!valid_[i]) {
            FieldMessage(Edits[i], std::string(kPropLabels[i]) + ": \"" + Edits[i]->Text() + "\" is not a number");
            return;
        }
    if (editor_) {
        editor_->SetParagraphIndents(twips_[0], twips_[1], twips_[2]);
        editor_->SetParagraphProps(twips_[3], twips_[4], twips_[5]);
    }
    SetModalResult(mrOk);
}

int TJDParagraphPropDlg::Execute() {
    if (!EditBox) return mrNone;
    TJDParagraphProp form(nullptr, EditBox);
    form.DecimalSeparator = DecimalSeparator;
    form.ReadParagraph();
    if (OnFormCreated) OnFormCreated(form);
    return form.ShowModal();
}

// --- table size picker -------------------------------------------------------------------------------------

namespace {
// Our own drawn glyphs: a tick, a cross and a bordered grid.
void DrawGlyph(TBitmap& g, int kind) {
    g.SetSize(16, 16);
    TCanvas& c = g.Canvas();
    c.Brush().SetColor(clBtnFace);
    c.FillRect(Rect(0, 0, 16, 16));
    c.Pen().SetWidth(2);
    if (kind == 0) {
        c.Pen().SetColor(clMaroon);
        c.MoveTo(3, 3), c.LineTo(13, 13);
        c.MoveTo(13, 3), c.LineTo(3, 13);
    } else if (kind == 1) {
        c.Pen().SetColor(clGreen);
        c.MoveTo(2, 8), c.LineTo(6, 12);
        c.LineTo(14, 3);
    } else {
        c.Pen().SetWidth(1);
        c.Pen().SetColor(clBlack);
        c.Brush().SetStyle(bsClear);
        c.Rectangle(1, 2, 15, 14);
        c.MoveTo(1, 8), c.LineTo(15, 8);
        c.MoveTo(8, 2), c.LineTo(8, 14);
    }
    g.SetTransparent(false);
}
}  // namespace

TJDTableSelect::TJDTableSelect(TComponent* AOwner) : TForm(AOwner) {
    SetCaption("New table");
    Position = poScreenCenter;
    LeftPanel = new TPanel(this);
    LeftPanel->SetParent(this);
    LeftPanel->SetAlign(alLeft);
    LeftPanel->SetWidth(30);
    auto speed = [this](int y, int glyph) {
        auto* b = new TSpeedButton(this);
        b->SetParent(LeftPanel);
        b->SetBounds(3, y, 24, 24);
        DrawGlyph(b->Glyph(), glyph);
        return b;
    };
    CancelBtn = speed(4, 0);
    CancelBtn->SetName("CancelBtn");
    CancelBtn->OnClick = [this](TObject*) { SetModalResult(mrCancel); };
    OKBtn = speed(32, 1);
    OKBtn->SetName("OKBtn");
    OKBtn->SetEnabled(false);
    OKBtn->OnClick = [this](TObject*) { SetModalResult(mrOk); };
    ShowBorder = speed(60, 2);
    ShowBorder->SetName("ShowBorder");
    ShowBorder->SetGroupIndex(1);
    ShowBorder->SetAllowAllUp(true);
    ShowBorder->SetDown(true);

    Box = new TPaintBox(this);
    Box->SetParent(this);
    Box->SetAlign(alClient);
    Box->OnPaint = [this](TObject*) { PaintGrid(); };
    Box->OnMouseDown = [this](TObject*, TMouseButton b, TShiftState, int x, int y) {
        if (b != mbLeft) return;
        tracking_ = true;
        Track(x, y);
    };
    Box->OnMouseMove = [this](TObject*, TShiftState, int x, int y) {
        if (tracking_) Track(x, y);
    };
    Box->OnMouseUp = [this](TObject*, TMouseButton b, TShiftState, int x, int y) {
        if (b != mbLeft || !tracking_) return;
        Track(x, y);
        tracking_ = false;
    };
    Box->OnDblClick = [this](TObject*) {
        tracking_ = false;
        SetModalResult(mrOk);
    };
    cell_ = std::max(8, Canvas().TextHeight("Wg"));
    SetBorderStyle(bsNone);
    SetClientSize(197, 123);
}

void TJDTableSelect::Track(int x, int y) {
    rows_ = std::clamp((y + cell_ / 2) / cell_, 0, kMaxRows);
    cols_ = std::clamp((x + cell_ / 2) / cell_, 0, kMaxCols);
    // At the edge the box grows so that the grid can grow, up to the most columns.
    int wantW = Box->Width(), wantH = Box->Height();
    if (cols_ * cell_ + cell_ > Box->Width() && cols_ < kMaxCols) wantW = (cols_ + 2) * cell_;
    if (rows_ * cell_ + cell_ > Box->Height() && rows_ < kMaxRows) wantH = (rows_ + 2) * cell_;
    if (wantW != Box->Width() || wantH != Box->Height())
        SetClientSize(ClientWidth() + (wantW - Box->Width()), ClientHeight() + (wantH - Box->Height()));
    OKBtn->SetEnabled(true);
    Box->Invalidate();
}

void TJDTableSelect::PaintGrid() {
    TCanvas& c = Box->Canvas();
    c.Brush().SetColor(clWindow);
    c.FillRect(Rect(0, 0, Box->Width(), Box->Height()));
    const int r = Rows(), k = Cols();
    c.Brush().SetColor(clHighlight);
    c.FillRect(Rect(0, 0, std::min(k * cell_, Box->Width()), std::min(r * cell_, Box->Height())));
    c.Pen().SetColor(clGray);
    c.Pen().SetWidth(1);
    for (int x = 0; x <= Box->Width(); x += cell_) c.MoveTo(x, 0), c.LineTo(x, Box->Height());
    for (int y = 0; y <= Box->Height(); y += cell_) c.MoveTo(0, y), c.LineTo(Box->Width(), y);
    c.Brush().SetStyle(bsClear);
    c.Font().SetColor(clWindowText);
    std::string size = std::to_string(r) + " x " + std::to_string(k);
    c.TextOut(std::max(2, Box->Width() - c.TextWidth(size) - 4), std::max(0, Box->Height() - c.TextHeight(size) - 2),
              size);
    c.Brush().SetStyle(bsSolid);
}

// --- wallpaper -----------------------------------------------------------------------------------------------

TJDWallPaper::TJDWallPaper(TComponent* AOwner) : TGraphicControl(AOwner), picture_(std::make_unique<TPicture>()) {
    SetBounds(0, 0, 100, 100);
    picture_->OnChange = [this](TObject*) { PictureChanged(); };
}

void TJDWallPaper::SetPicture(const TPicture& p) {
    picture_->Assign(p);
    PictureChanged();
}

void TJDWallPaper::PictureChanged() {
    // Opaque exactly when a bitmap covers the control by itself.
    auto* bmp = dynamic_cast<TBitmap*>(picture_->Graphic());
    if (bmp && bmp->Width() == Width() && bmp->Height() == Height()) ControlStyle |= csOpaque;
    else ControlStyle &= ~csOpaque;
    Invalidate();
}

void TJDWallPaper::SetLeftOffset(std::int32_t v) {
    if (v == left_) return;
    left_ = v;
    Invalidate();
}

void TJDWallPaper::SetTopOffset(std::int32_t v) {
    if (v == top_) return;
    top_ = v;
    Invalidate();
}

void TJDWallPaper::Paint() {
    TCanvas& c = Canvas();
    if (ComponentState() & csDesigning) {
        c.Pen().SetStyle(psDash);
        c.Pen().SetColor(clBlack);
        c.Brush().SetStyle(bsClear);
        c.Rectangle(0, 0, Width(), Height());
        c.Pen().SetStyle(psSolid);
        c.Brush().SetStyle(bsSolid);
    }
    TGraphic* g = picture_->Graphic();
    if (!g || g->Empty()) return;
    auto* bmp = dynamic_cast<TBitmap*>(g);
    if (!bmp) {
        c.Draw(0, 0, g);
        return;
    }
    const int w = bmp->Width(), h = bmp->Height();
    if (w <= 0 || h <= 0) return;
    // Tiles stand at the offsets plus whole multiples of the picture's size.
    auto first = [](std::int64_t offset, int step) {
        std::int64_t m = offset % step;
        return static_cast<int>(m > 0 ? m - step : m);
    };
    const TRect clip = Rect(0, 0, Width(), Height());
    c.SetClipRect(clip);
    for (int y = first(top_, h); y < Height(); y += h)
        for (int x = first(left_, w); x < Width(); x += w) c.Draw(x, y, bmp);
}

}  // namespace richtext
