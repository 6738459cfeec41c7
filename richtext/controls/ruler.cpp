#include "richtext/controls/ruler.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "richtext/controls/rtf_edit.h"
#include "richtext/model/rtf_text.h"

namespace richtext {

using namespace gui;

TJDRuler::TJDRuler(TComponent* AOwner) : TPanel(AOwner) {
    SetBounds(0, 0, 200, 20);
    SetBevelInner(bvRaised);
    SetBevelOuter(bvNone);
    SetCaption("");
    ControlStyle |= csOpaque;
}

// Free-notification links run both ways: removing ours would also take
// away the editor's link to this ruler, so an editor the ruler served once
// would never hear that it went. The links stay until one side is freed.
TJDRuler::~TJDRuler() = default;

void TJDRuler::Notification(TComponent* AComponent, TOperation Operation) {
    TPanel::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == editor_) {
        editor_ = nullptr;
        header_ = nullptr;
        dragging_ = jdrNone;
        Invalidate();
    }
}

void TJDRuler::SetUnits(TJDRulerUnits u) {
    if (header_) header_->metricInch = u == Inch;
    if (u == units_) return;
    units_ = u;
    Invalidate();
}

void TJDRuler::SetXOffset(int x) {
    if (x == xOffset_) return;
    int dx = x - xOffset_;
    xOffset_ = x;
    // The picture moves with the text; only the strip it uncovers is new.
    // The frame stays where it is.
    TRect inner{2, 2, ClientWidth() - 2, ClientHeight() - 2};
    if (HandleAllocated() && std::abs(dx) < inner.Right - inner.Left) ScrollWindow(dx, 0, &inner);
    else Invalidate();
}

void TJDRuler::SetShowNumbers(bool v) {
    if (v == showNumbers_) return;
    showNumbers_ = v;
    Invalidate();
}

void TJDRuler::SetEditor(TJDCustomRtfEdit* editor) {
    if (editor == editor_) return;
    editor_ = editor;
    if (editor_) editor_->FreeNotification(this);
    else header_ = nullptr;
    dragging_ = jdrNone;
    Invalidate();
}

void TJDRuler::SetHeader(TTextHeader* header) {
    header_ = header;
    if (header_) header_->metricInch = units_ == Inch;
    Invalidate();
}

void TJDRuler::SetPageLeft(int x) {
    if (x == pageLeft_) return;
    pageLeft_ = x;
    Invalidate();
}

void TJDRuler::SetIndents(int left, int first, int right) {
    const int width = PageWidthTwips();
    auto onPage = [&](int pos) { return pos >= 0 && pos <= width; };
    bool changed = false;
    auto set = [&](int& field, int value, auto handlePos) {
        if (value == jdrUnchanged || value < 0 || value == field) return;
        int old = field;
        field = value;
        if (header_ && !onPage(handlePos(field))) field = old;  // off the text: put back
        else changed = true;
    };
    set(left_, left, [](int v) { return v; });
    set(first_, first, [](int v) { return v; });
    set(right_, right, [&](int v) { return width - v; });
    if (changed) Invalidate();
}

// --- geometry ----------------------------------------------------------------------

int TJDRuler::Resolution() const {
    if (header_ && header_->resolutionX > 0) return header_->resolutionX;
    return ScreenPpi();
}

int TJDRuler::PixelsToTwips(int px) const { return MulDiv(px, 1440, Resolution()); }
int TJDRuler::TwipsToPixels(int twips) const { return MulDiv(twips, Resolution(), 1440); }

int TJDRuler::XToPage(int x) const { return PixelsToTwips(x - pageLeft_ - xOffset_); }
int TJDRuler::PageToX(int twips) const { return TwipsToPixels(twips) + pageLeft_ + xOffset_; }

int TJDRuler::PageWidthTwips() const {
    if (!header_) return 0;
    if (header_->textWidth > 0 && header_->resolutionX > 0) return MulDiv(header_->textWidth, 1440, header_->resolutionX);
    return std::max(0, header_->pageWidth - header_->marginLeft - header_->marginRight);
}

int TJDRuler::ScaleStep() const {
    int res = Resolution();
    return units_ == Inch ? res : static_cast<int>(std::lround(res * 0.3937007874));
}

TRect TJDRuler::HandleRect(int element) const {
    const int h = ClientHeight();
    const int mid = h / 2;
    int x = 0;
    switch (element) {
        case jdrRightIndent:
            // Hit-tested no further right than the text's right edge.
            x = std::min(PageToX(PageWidthTwips() - right_), PageToX(PageWidthTwips()));
            return {x - kHandle, mid, x + kHandle + 1, h};
        case jdrLeftIndent: x = PageToX(left_); return {x - kHandle, mid, x + kHandle + 1, h};
        case jdrFirstIndent: x = PageToX(first_); return {x - kHandle, 0, x + kHandle + 1, mid};
        default: return {};
    }
}

// --- mouse ---------------------------------------------------------------------------

void TJDRuler::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TPanel::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft || !header_) return;
    for (int element : {jdrRightIndent, jdrLeftIndent, jdrFirstIndent}) {
        TRect r = HandleRect(element);
        if (X >= r.Left && X < r.Right && Y >= r.Top && Y < r.Bottom) {
            dragging_ = element;
            carryFirst_ = element == jdrLeftIndent && (Y > r.Top + kHandle || (Shift & ssShift));
            SetMouseCapture(true);
            return;
        }
    }
    if (TabClick(X)) Report(true);
}

void TJDRuler::MouseMove(TShiftState Shift, int X, int Y) {
    TPanel::MouseMove(Shift, X, Y);
    if (!header_) return;
    if (dragging_ == jdrNone) {
        bool over = false;
        for (int element : {jdrRightIndent, jdrLeftIndent, jdrFirstIndent}) {
            TRect r = HandleRect(element);
            over = over || (X >= r.Left && X < r.Right && Y >= r.Top && Y < r.Bottom);
        }
        if (over != overHandle_) {
            if (over) {
                keptCursor_ = Cursor();
                SetCursor(crSizeWE);
            } else {
                SetCursor(keptCursor_);
            }
            overHandle_ = over;
        }
        return;
    }
    const int pos = XToPage(X);
    const int width = PageWidthTwips();
    switch (dragging_) {
        case jdrRightIndent: SetIndents(jdrUnchanged, jdrUnchanged, width - pos); break;
        case jdrLeftIndent: {
            int left = std::max(0, pos);
            int first = first_;
            if (carryFirst_) {
                first += left - left_;
                if (first < 0) {
                    // The first line stops at the edge; the pair keeps its distance.
                    left -= first;
                    first = 0;
                }
            }
            SetIndents(left, first, jdrUnchanged);
            break;
        }
        case jdrFirstIndent: SetIndents(jdrUnchanged, std::max(0, pos), jdrUnchanged); break;
        default: break;
    }
    Report(false);
}

void TJDRuler::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TPanel::MouseUp(Button, Shift, X, Y);
    if (dragging_ == jdrNone) return;
    SetMouseCapture(false);
    Report(true);
    Invalidate();
    dragging_ = jdrNone;
}

void TJDRuler::Report(bool ending) {
    TJdSelNr typ = jdSelRuler;
    int group = jdgRuler, num = dragging_;
    const int changing = ending ? 0 : 1;
    if (ending) {
        if (OnSelection) OnSelection(this, typ, group, num, changing);
    } else if (WhileSelection) {
        WhileSelection(this, typ, group, num, changing);
    }
    if (auto* client = dynamic_cast<TJDRulerClient*>(editor_)) {
        TJdSelNr kind = jdSelRuler;
        client->RulerChanged(kind, changing, jdgRuler, dragging_);
    }
}

bool TJDRuler::TabClick(int x) {
    if (!editor_) return false;
    const int pos = XToPage(x);
    if (pos <= 0 || pos > PageWidthTwips()) return false;
    TJDRTFTextInput& engine = editor_->Engine();
    if (engine.readOnly) return false;
    TParagraph* par = engine.cursor.par;
    if (!par) return false;
    const int tolerance = PixelsToTwips(kHandle);
    const TJDRTFText::TTabStop* hit = nullptr;
    auto tabs = engine.ParagraphTabs(par);
    for (const auto& t : tabs)
        if (std::abs(t.pos - pos) <= tolerance && (!hit || std::abs(t.pos - pos) < std::abs(hit->pos - pos))) hit = &t;
    auto bit = [](int slot) { return std::uint64_t{1} << slot; };
    if (NewTabKind == TTabKind::tkAll) {
        if (hit) {
            if (hit->kind == TTabKind::tkDecimal) return false;  // the last kind stays
            auto next = static_cast<TTabKind>(static_cast<int>(hit->kind) + 1);
            int slot = engine.AddTabStop(hit->pos, next);
            if (slot == kNoTabSlot) return false;
            engine.SetTabs(bit(hit->slot), false);
            engine.SetTabs(bit(slot), true);
        } else {
            int slot = engine.AddTabStop(pos, TTabKind::tkLeft);
            if (slot == kNoTabSlot) return false;
            engine.SetTabs(bit(slot), true);
        }
    } else if (hit) {
        engine.SetTabs(bit(hit->slot), false);
    } else {
        int slot = engine.AddTabStop(pos, NewTabKind);
        if (slot == kNoTabSlot) return false;
        engine.SetTabs(bit(slot), true);
    }
    Invalidate();
    return true;
}

// --- painting ------------------------------------------------------------------------

void TJDRuler::Paint() {
    TPanel::Paint();  // frame and face
    if (!header_) return;
    TCanvas& c = Canvas();
    const int h = ClientHeight();
    int x0 = PageToX(0), x1 = PageToX(PageWidthTwips());
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(clWindow);
    c.FillRect(TRect{std::max(x0, 1), 3, std::min(x1, ClientWidth() - 1), h - 3});
    DrawScale(c);
    DrawTabs(c);
    DrawHandles(c);
}

void TJDRuler::DrawScale(TCanvas& c) {
    const int step = std::max(1, ScaleStep());
    const int h = ClientHeight();
    const int x0 = PageToX(0), x1 = PageToX(PageWidthTwips());
    c.Pen().SetColor(clBlack);
    c.Font().Assign(Font());
    c.Font().SetSize(std::max(6, Font().Size() - 2));
    c.Brush().SetStyle(bsClear);
    const int th = c.TextHeight("0");
    // Half steps get a longer mark, quarters a short one.
    for (int q = 1; x0 + q * step / 4 < x1; ++q) {
        int x = x0 + q * step / 4;
        if (x < 0 || x > ClientWidth()) continue;
        if (q % 4 == 0) {
            std::string n = std::to_string(q / 4);
            c.TextOut(x - c.TextWidth(n) / 2, (h - th) / 2, n);
        } else {
            int len = q % 2 == 0 ? 3 : 1;
            c.MoveTo(x, h / 2 - len);
            c.LineTo(x, h / 2 + len + 1);
        }
    }
}

void TJDRuler::DrawTabs(TCanvas& c) {
    if (!editor_) return;
    const TJDRTFTextInput& engine = editor_->Engine();
    const int h = ClientHeight();
    c.Pen().SetColor(clBlack);
    for (const auto& t : engine.ParagraphTabs(engine.cursor.par)) {
        int x = PageToX(t.pos);
        int y = h - 5;
        c.MoveTo(x, y - 4);
        c.LineTo(x, y + 1);
        switch (t.kind) {
            case TTabKind::tkLeft: c.LineTo(x + 5, y + 1); break;
            case TTabKind::tkRight: c.LineTo(x - 5, y + 1); break;
            case TTabKind::tkCenter:
                c.MoveTo(x - 4, y + 1);
                c.LineTo(x + 5, y + 1);
                break;
            default:
                c.MoveTo(x - 4, y + 1);
                c.LineTo(x + 5, y + 1);
                c.MoveTo(x + 2, y - 3);
                c.LineTo(x + 3, y - 3);
                break;
        }
    }
}

void TJDRuler::DrawHandles(TCanvas& c) {
    const int h = ClientHeight();
    const int mid = h / 2;
    c.Pen().SetColor(clBlack);
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(clBtnFace);
    auto up = [&](int x) {  // a triangle pointing up from the bottom half
        c.Polygon({{x - kHandle, mid + kHandle}, {x, mid}, {x + kHandle, mid + kHandle}});
    };
    int xl = PageToX(left_);
    up(xl);
    c.Rectangle(xl - kHandle, mid + kHandle, xl + kHandle + 1, std::min(h, mid + 2 * kHandle + 1));
    int xf = PageToX(first_);
    c.Polygon({{xf - kHandle, mid - kHandle}, {xf, mid}, {xf + kHandle, mid - kHandle}});
    up(PageToX(PageWidthTwips() - right_));
}

}  // namespace richtext
