#include "richtext/controls/rtf_label.h"

#include <algorithm>

namespace richtext {

using namespace gui;

namespace {
constexpr std::size_t kMaxLinkText = 254;
}

TJDCustomRtfLabel::TJDCustomRtfLabel(TComponent* AOwner)
    : TGraphicControl(AOwner), engine_(std::make_unique<TJDRTFTextInput>()), image_(std::make_unique<TBitmap>()) {
    SetBounds(0, 0, 120, 40);
    engine_->readOnly = true;
    engine_->caret.Disable();
    engine_->SetWordWrap(true);
    engine_->services.sender = this;
    image_->SetSize(Width(), Height());
    device_ = std::make_unique<TCanvasDevice>(image_->Canvas());
    engine_->SetCanvas(device_.get());
    engine_->SetWindowSize(Width(), Height());
    engine_->SetScreenWidth(Width());
    engine_->paperColor = static_cast<plat::COLORREF>(ColorToRGB(backgroundColor_));
    // A changed look of links, insert points, automatic or protected text lays the text out again.
    for (TCharacterAttr* a : {&engine_->InsertPointAttr, &engine_->AutomaticTextAttr, &engine_->HyperlinkTextAttr,
                              &engine_->ProtectedTextAttr})
        a->onChange = [this] {
            engine_->MarkForLayoutByStyle(0xFFFF);
            Layout();
        };
}

TJDCustomRtfLabel::~TJDCustomRtfLabel() {
    engine_->services = TJDEngineServices{};
    engine_->SetCanvas(nullptr);
    device_.reset();
}

void TJDCustomRtfLabel::Layout() {
    for (TParagraph* p = engine_->FirstParagraph(); p; p = p->next) p->state |= kParNeedsLayout;
    engine_->FormatAll();
    Invalidate();
}

void TJDCustomRtfLabel::SetText(const std::string& text) {
    engine_->readOnly = false;
    engine_->ClearText();
    if (!text.empty()) engine_->LoadFromString(text);
    engine_->readOnly = true;
    engine_->TopOffset = 0;
    page_ = 0;
    Layout();
}

std::string TJDCustomRtfLabel::PlainText() const {
    int n = engine_->TextLength();
    return n < 1 ? std::string() : engine_->GetText(engine_->FirstParagraph(), 0, n);
}

std::string TJDCustomRtfLabel::SelText() const {
    int n = engine_->GetSelectedChars(nullptr, nullptr, 0);
    if (n < 1) return std::string();
    std::string out(static_cast<std::size_t>(n) + 1, '\0');
    int got = engine_->GetSelectedChars(out.data(), nullptr, n + 1);
    out.resize(static_cast<std::size_t>(std::max(got, 0)));
    return out;
}

TJDMemoryFormat TJDCustomRtfLabel::MemoryFormat() const {
    return engine_->Header().useAttributes ? TJDMemoryFormat::fmRichText : TJDMemoryFormat::fmPlainText;
}

void TJDCustomRtfLabel::SetMemoryFormat(TJDMemoryFormat f) { engine_->Header().useAttributes = f == TJDMemoryFormat::fmRichText; }

void TJDCustomRtfLabel::SetBackgroundColor(TColor c) {
    if (c == backgroundColor_) return;
    backgroundColor_ = c;
    engine_->paperColor = static_cast<plat::COLORREF>(ColorToRGB(c));
    Invalidate();
}

void TJDCustomRtfLabel::SetZooming(int percent) {
    if (percent <= 0) percent = 100;
    if (percent == engine_->Zooming()) return;
    engine_->SetZooming(percent);
    Layout();
}

void TJDCustomRtfLabel::SetVisible(bool v) {
    engine_->shown = v;
    TGraphicControl::SetVisible(v);
}

void TJDCustomRtfLabel::SetTransparent(bool v) {
    if (v == transparent_) return;
    transparent_ = v;
    Invalidate();
}

void TJDCustomRtfLabel::SetWordWrap(bool v) {
    if (v == engine_->WordWrap()) return;
    engine_->SetWordWrap(v);
    Layout();
}

void TJDCustomRtfLabel::SetPaintGrayTable(bool v) {
    if (v == engine_->PaintGrayTable) return;
    engine_->PaintGrayTable = v;
    Invalidate();
}

void TJDCustomRtfLabel::FontChanged() {
    TGraphicControl::FontChanged();
    Invalidate();
}

void TJDCustomRtfLabel::Resize() {
    TGraphicControl::Resize();
    image_->SetSize(std::max(1, Width()), std::max(1, Height()));
    engine_->SetWindowSize(std::max(1, Width()), std::max(1, Height()));
    engine_->SetScreenWidth(std::max(1, Width()));
    Layout();
}

void TJDCustomRtfLabel::SetPagNumber(int n) {
    if (n <= 0) {
        page_ = 0;
        engine_->TopOffset = 0;
        Invalidate();
        return;
    }
    // The n-th line that starts a page becomes the top of the view.
    int count = 0;
    for (TParagraph* p = engine_->FirstParagraph(); p; p = p->next)
        for (TLine* l = p->lines; l; l = l->next) {
            bool starts = (l->flags & kLinePageStart) || (l == p->lines && (p->flags & kParPageBreak));
            if (!starts || ++count < n) continue;
            page_ = n;
            engine_->TopOffset = l->top;
            Invalidate();
            return;
        }
}

void TJDCustomRtfLabel::ShowFromLine(int n) {
    TLine* first = engine_->FirstParagraph() ? engine_->FirstParagraph()->lines : nullptr;
    const int lineHeight = first && first->height ? first->height : std::max(1, engine_->caretHeight);
    const std::int64_t below = static_cast<std::int64_t>(n) * lineHeight;
    for (TParagraph* p = engine_->FirstParagraph(); p; p = p->next)
        for (TLine* l = p->lines; l; l = l->next)
            if (l->top >= below) {
                engine_->TopOffset = l->top;
                Invalidate();
                return;
            }
}

std::uint32_t TJDCustomRtfLabel::DisplayOptions() const {
    std::uint32_t o = engine_->PaintOptions() & ~(poHidePageBreaks | poPageWidth | poTransparent | poHoldPaint);
    if (!ShowPageBreak) o |= poHidePageBreaks;
    if (UsePaperSize) o |= poPageWidth;
    if (transparent_) o |= poTransparent;
    return o;
}

void TJDCustomRtfLabel::Paint() {
    // The options word is rebuilt from the switches and set only when it changed.
    const std::uint32_t o = DisplayOptions();
    if (o != engine_->PaintOptions()) engine_->SetPaintOptions(o);
    if (engine_->excludeInsertPoints != HideInsertpoints || engine_->excludeAutomaticText != HideAutomatic) {
        engine_->excludeInsertPoints = HideInsertpoints;
        engine_->excludeAutomaticText = HideAutomatic;
        engine_->MarkForLayoutByStyle(kStyleInsertPoint | kStyleAutomatic);
        engine_->FormatAll();
    }
    if (engine_->FullReformatPending) {
        engine_->FullReformatPending = false;
        engine_->FormatAll();
    }
    if (image_->Width() != Width() || image_->Height() != Height()) image_->SetSize(std::max(1, Width()), std::max(1, Height()));
    TCanvas& ic = image_->Canvas();
    const TRect all = Rect(0, 0, Width(), Height());
    // A transparent label starts from what its parent painted under it.
    if (transparent_) ic.CopyRect(all, Canvas(), all);
    else {
        ic.Brush().SetColor(backgroundColor_);
        ic.FillRect(all);
    }
    engine_->shown = Visible();
    if (engine_->shown) engine_->Repaint();
    Canvas().Draw(0, 0, image_.get());
}

// --- mouse ---------------------------------------------------------------------------------------

bool TJDCustomRtfLabel::CharAt(int x, int y, TParagraph*& par, TLine*& line, int& index) {
    int dx = x - engine_->LeftOffset - engine_->leftMargin, dy = y + engine_->TopOffset - engine_->topMargin;
    if (!engine_->LineAtPoint(dx, dy, par, line) || !line) return false;
    index = engine_->PositionAtX(par, line, dx);
    if (index > 0 && engine_->XOfPosition(par, line, index) > dx) --index;
    return index >= 0 && index < line->Length();
}

void TJDCustomRtfLabel::SelectWord(TParagraph* par, TLine* line, int index) {
    const std::string& t = line->text;
    auto blank = [&](int i) { return t[static_cast<std::size_t>(i)] == ' '; };
    if (blank(index)) return;
    int from = index, to = index + 1;
    while (from > 0 && !blank(from - 1)) --from;
    while (to < line->Length() && !blank(to)) ++to;
    engine_->SetSelPosLen(engine_->AbsolutePosition({par, line, from}), to - from);
    Invalidate();
}

bool TJDCustomRtfLabel::LinkClick(int x, int y) {
    TParagraph* par;
    TLine* line;
    int i;
    if (!CharAt(x, y, par, line, i)) return false;
    auto style = [](TLine* l, int k) {
        return l->attrs.size() > static_cast<std::size_t>(k) ? l->attrs[static_cast<std::size_t>(k)].style : 0;
    };
    if (!(style(line, i) & kStyleHyperlink)) {
        if (!NoBlockMarking && !OneClickHyperlink) SelectWord(par, line, i);
        else return false;
        return true;
    }
    // The run around the character, back across line starts of the paragraph.
    TLine* l = line;
    int p = i;
    for (;;) {
        if (p > 0 && (style(l, p - 1) & kStyleHyperlink)) --p;
        else if (p == 0 && l->prev && l->prev->Length() > 0 && (style(l->prev, l->prev->Length() - 1) & kStyleHyperlink)) {
            l = l->prev;
            p = l->Length() - 1;
        } else break;
    }
    std::string text, target;
    auto walk = [&](std::uint16_t bits, std::string& out) {
        for (;;) {
            if (p >= l->Length()) {
                if (!l->next) return;
                l = l->next;
                p = 0;
                continue;
            }
            if (!(style(l, p) & bits)) return;
            if (out.size() < kMaxLinkText) out += l->text[static_cast<std::size_t>(p)];
            ++p;
        }
    };
    walk(kStyleHyperlink, text);
    walk(kStyleHidden, target);
    int pos, absLine, pi, pp;
    engine_->GetPosition(par, line, i, pos, absLine, pi, pp);
    if (HyperLinkEvent) HyperLinkEvent(this, text, target, absLine);
    return true;
}

void TJDCustomRtfLabel::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseDown(Button, Shift, X, Y);
    if (DisableMouse || Button != mbLeft || engine_->IsEmpty()) return;
    if ((Shift & ssDouble) || OneClickHyperlink) {
        if (LinkClick(X, Y)) return;
    }
    // A block selection starts at the point.
    engine_->DropSelection();
    engine_->CursorToPoint(X, Y, false, false);
    engine_->SetSelectionEnd(0, engine_->cursor.par, engine_->cursor.line, engine_->cursor.pos);
    engine_->SelectionAnchored = true;
    selecting_ = true;
    SetMouseCapture(true);
}

void TJDCustomRtfLabel::MouseMove(TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseMove(Shift, X, Y);
    if (DisableMouse) return;
    if (selecting_) {
        engine_->CursorToPoint(X, Y, true, false);
        Invalidate();
        return;
    }
    if (!HyperLinkEvent) return;
    TParagraph* par;
    TLine* line;
    int i;
    bool overLink = CharAt(X, Y, par, line, i) && line->attrs.size() > static_cast<std::size_t>(i) &&
                    (line->attrs[static_cast<std::size_t>(i)].style & kStyleHyperlink);
    if (overLink && !linkCursor_) {
        keptCursor_ = Cursor();
        linkCursor_ = true;
        SetCursor(HyperLinkCursor);
    } else if (!overLink && linkCursor_) {
        linkCursor_ = false;
        SetCursor(keptCursor_);
    }
}

void TJDCustomRtfLabel::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TGraphicControl::MouseUp(Button, Shift, X, Y);
    if (DisableMouse || !selecting_) return;
    selecting_ = false;
    if (!(Shift & ssShift)) engine_->CursorToPoint(X, Y, true, false);
    SetMouseCapture(false);
    Invalidate();
}

}  // namespace richtext
