// The edit control's window side: construction, properties, messages,
// keys, mouse, scroll bars and painting.
#include "richtext/controls/rtf_edit.h"

#include <algorithm>
#include <cstdlib>

#include "platform/core/streams.h"
#include "platform/gui/clipboard.h"
#include <QImage>
#include <QPainter>
#include <cstring>
#include "platform/imaging/graphic.h"

namespace richtext {

using namespace gui;

int ScreenPpi() {
    int ppi = gui::Screen ? gui::Screen->PixelsPerInch() : 0;
    return ppi > 0 ? ppi : 96;
}

// --- the caret of the control's window ---------------------------------------------------

void TJDEditDevice::CreateCaret(int w, int h) {
    gui::TCanvasDevice::CreateCaret(w, h);
    if (owner_.HandleAllocated()) gui::CreateCaret(owner_.Handle(), w, h);
}

void TJDEditDevice::SetCaretPos(int x, int y) {
    gui::TCanvasDevice::SetCaretPos(x, y);
    if (owner_.HandleAllocated() && gui::CaretOwner() == owner_.Handle()) gui::SetCaretPos(x, y);
}

void TJDEditDevice::ShowCaret() {
    gui::TCanvasDevice::ShowCaret();
    if (owner_.HandleAllocated()) gui::ShowCaret(owner_.Handle());
}

void TJDEditDevice::HideCaret() {
    gui::TCanvasDevice::HideCaret();
    if (owner_.HandleAllocated()) gui::HideCaret(owner_.Handle());
}

void TJDEditDevice::DestroyCaret() {
    gui::TCanvasDevice::DestroyCaret();
    if (owner_.HandleAllocated() && gui::CaretOwner() == owner_.Handle()) gui::DestroyCaret();
}

plat::TRect TJDEditDevice::Inside(const plat::TRect& r) const {
    if (owner_.BorderStyle() != gui::bsSingle) return r;
    plat::TRect c{std::max(r.left, 1), std::max(r.top, 1), std::min(r.right, owner_.ClientWidth() - 1),
                  std::min(r.bottom, owner_.ClientHeight() - 1)};
    if (c.right < c.left) c.right = c.left;
    if (c.bottom < c.top) c.bottom = c.top;
    return c;
}

void TJDEditDevice::SetClipRect(const plat::TRect* r) {
    if (owner_.BorderStyle() != gui::bsSingle) {
        gui::TCanvasDevice::SetClipRect(r);
        return;
    }
    const plat::TRect c = Inside(r ? *r : plat::TRect{0, 0, owner_.ClientWidth(), owner_.ClientHeight()});
    gui::TCanvasDevice::SetClipRect(&c);
}

void TJDEditDevice::ScrollDC(int dx, int dy, const plat::TRect& area) {
    gui::TCanvasDevice::ScrollDC(dx, dy, Inside(area));
}

// --- construction ------------------------------------------------------------------------------

TJDCustomRtfEdit::TJDCustomRtfEdit(TComponent* AOwner) : TCustomControl(AOwner) {
    engine_ = std::make_unique<TJDRTFTextInput>();
    defaultFont_ = std::make_unique<TFont>();
    background_ = std::make_unique<TPicture>();
    background_->OnChange = [this](TObject*) { BackgroundChanged(); };
    finder_ = std::make_unique<TJDTextFinder>();
    finder_->SetText(engine_.get());
    strings_ = std::make_unique<TJDRtfStrings>(*engine_);
    ControlStyle |= csOpaque;
    SetCursor(crIBeam);
    ownCursor_ = savedCursor_ = crIBeam;
    SetTabStop(true);
    SetParentColor(false);
    SetBounds(0, 0, 100, 100);
    engine_->SetWordWrap(false);
    engine_->paperColor = static_cast<plat::COLORREF>(ColorToRGB(Color()));
    Wire();
    EnsureDevice();
}

TJDCustomRtfEdit::~TJDCustomRtfEdit() {
    // The engine may call back while it goes: cut every tie first.
    engine_->services = TJDEngineServices{};
    if (HandleAllocated() && gui::CaretOwner() == Handle()) gui::DestroyCaret();
    strings_.reset();
    finder_.reset();
    background_.reset();
    engine_->caret.window = nullptr;
    engine_->SetCanvas(nullptr);
    device_.reset();
    engine_.reset();
    defaultFont_.reset();
}

void TJDCustomRtfEdit::Wire() {
    TJDEngineServices& s = engine_->services;
    s.sender = this;
    s.owner = this;
    s.CaretHideCallback = [this] {
        if (Focused() && HandleAllocated()) gui::HideCaret(Handle());
    };
    s.CaretShowCallback = [this] {
        if (Focused() && HandleAllocated() && !engine_->caret.disabled) gui::ShowCaret(Handle());
    };
    s.CaretUpdateCallback = [this] { PlaceCaret(); };
    s.VScrollCallback = [this] {
        UpdateVertScrollBar();
        UpdateHorzScrollBar();
    };
    s.SelectionChangedCallback = [this] {
        bool clip = IsClipboardFormatAvailable(CF_TEXT) || IsClipboardFormatAvailable(CF_RTF());
        DoEditState(engine_->HasSelection() && !engine_->SelectionEmpty(), clip);
    };
    engine_->caret.ownerHasFocus = [this] { return Focused(); };
    for (TCharacterAttr* a : {&engine_->InsertPointAttr, &engine_->AutomaticTextAttr, &engine_->HyperlinkTextAttr,
                              &engine_->ProtectedTextAttr})
        a->onChange = [this, a] { AttributeChanged(*a); };
}

void TJDCustomRtfEdit::EnsureDevice() {
    if (device_) return;
    device_ = std::make_unique<TJDEditDevice>(Canvas(), *this);
    engine_->SetCanvas(device_.get());
    engine_->caret.Enable(device_.get());
    engine_->SetWindowSize(std::max(1, ClientWidth()), std::max(1, ClientHeight()));
    UpdateTextWidth();
}

void TJDCustomRtfEdit::UpdateTextWidth() { engine_->SetScreenWidth(std::max(1, ClientWidth())); }

void TJDCustomRtfEdit::Loaded() {
    defaultFont_->Assign(Font());
    SetTopOffset(engine_->TopOffset);
    ownCursor_ = Cursor();
}

void TJDCustomRtfEdit::AttributeChanged(TCharacterAttr&) {
    if (!HandleAllocated()) return;
    engine_->MarkForLayoutByStyle(0xFFFF);
    ReformatAll();
}

// --- properties --------------------------------------------------------------------------------

void TJDCustomRtfEdit::SetRtfText(const TJDRTFTextIo& source) {
    engine_->AssignFrom(source);
    FullRelayout();
}

void TJDCustomRtfEdit::SetReadOnly(bool v) { engine_->readOnly = v; }
bool TJDCustomRtfEdit::GetReadOnly() const { return engine_->readOnly; }

void TJDCustomRtfEdit::SetNoBlockMarking(bool v) {
    if (engine_->NoBlockMarking == v) return;
    bool wasOn = engine_->NoBlockMarking;
    if (!v) engine_->NoBlockMarking = false;
    if (wasOn && !v) HideSelection();
    engine_->NoBlockMarking = v;
}

TJDMemoryFormat TJDCustomRtfEdit::MemoryFormat() const {
    return engine_->Header().useAttributes ? TJDMemoryFormat::fmRichText : TJDMemoryFormat::fmPlainText;
}

void TJDCustomRtfEdit::SetMemoryFormat(TJDMemoryFormat f) {
    engine_->Header().useAttributes = f == TJDMemoryFormat::fmRichText;
}

void TJDCustomRtfEdit::SetCaretDisabled(bool v) {
    if (v) engine_->caret.Disable();
    else engine_->caret.disabled = false;
}

void TJDCustomRtfEdit::SetWordWrap(bool v) {
    if (engine_->WordWrap() == v) return;
    engine_->SetWordWrap(v);
    FullRelayout();
}

void TJDCustomRtfEdit::SetZooming(int percent) {
    if (percent <= 0) percent = 100;
    if (percent == engine_->Zooming()) return;
    engine_->SetZooming(percent);
    engine_->FormatAll();
    UpdateVertScrollBar();
    engine_->ScrollToCursor();
    Invalidate();
}

void TJDCustomRtfEdit::SetResizing(int percent) {
    if (percent < 1) percent = 100;
    if (percent == engine_->Resizing()) return;
    engine_->SetResizing(percent);
    engine_->FormatAll();
    UpdateVertScrollBar();
    engine_->ScrollToCursor();
    Invalidate();
}

void TJDCustomRtfEdit::SetInserting(bool v) {
    inserting_ = v;
    engine_->thinCaret = v;
    engine_->UpdateCaretMetrics();
    PlaceCaret();
}

void TJDCustomRtfEdit::SetPaintGrayTable(bool v) {
    if (engine_->PaintGrayTable == v) return;
    engine_->PaintGrayTable = v;
    Invalidate();
}

void TJDCustomRtfEdit::BackgroundChanged() {
    if (transparent_) {
        // The parent's picture is taken at each paint.
        Invalidate();
        return;
    }
    if (!background_->Empty()) {
        // The engine keeps pictures as bytes: the bitmap goes over as a BMP file.
        plat::MemoryStream ms;
        background_->Graphic()->SaveToStream(ms);
        std::string bytes = ms.Bytes();
        auto kind = plat::GuessGraphicKind(bytes);
        engine_->SetBackgroundPicture(std::make_shared<plat::TRawGraphic>(kind, std::move(bytes), background_->Width(),
                                                                          background_->Height()),
                                      backgroundScrolling_);
    } else {
        engine_->SetBackgroundPicture(nullptr, false);
    }
    Invalidate();
}

void TJDCustomRtfEdit::SetBackgroundScrolling(bool v) {
    if (backgroundScrolling_ == v) return;
    backgroundScrolling_ = v;
    BackgroundChanged();
}

void TJDCustomRtfEdit::SetTransparent(bool v) {
    if (transparent_ == v) return;
    transparent_ = v;
    if (!v) {
        engine_->SetBackgroundPicture(nullptr, false);
        BackgroundChanged();
    } else {
        Invalidate();
    }
}

void TJDCustomRtfEdit::TakeParentBackground() {
    TWinControl* parent = Parent();
    QImage* buffer = parent ? parent->BackBuffer() : nullptr;
    const int w = std::max(1, Width()), h = std::max(1, Height());
    QImage under(w, h, QImage::Format_RGB32);
    under.fill(static_cast<QRgb>(0xFF000000 | ColorToRGB(parent ? parent->Color() : Color())));
    if (buffer && !buffer->isNull()) {
        // The parent's buffer may be larger than its logical size (device pixel ratio).
        const qreal ratio = buffer->devicePixelRatio() > 0 ? buffer->devicePixelRatio() : 1.0;
        QImage part = buffer->copy(QRect(static_cast<int>(Left() * ratio), static_cast<int>(Top() * ratio),
                                         static_cast<int>(w * ratio), static_cast<int>(h * ratio)));
        if (ratio != 1.0) part = part.scaled(w, h);
        part = part.convertToFormat(QImage::Format_RGB32);
        QPainter painter(&under);
        painter.drawImage(0, 0, part);
    }
    // Raw 32-bit rows, top down: the engine's device-dependent bitmap form.
    std::string rows(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4, '\0');
    for (int y = 0; y < h; ++y)
        std::memcpy(rows.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w) * 4, under.constScanLine(y),
                    static_cast<std::size_t>(w) * 4);
    engine_->SetBackgroundPicture(
        std::make_shared<plat::TRawGraphic>(plat::TGraphicKind::Bitmap, std::move(rows), w, h,
                                            plat::TBitmapGeometry{32, 1, w * 4}),
        false);
}

void TJDCustomRtfEdit::SetTopOffset(std::int32_t v) {
    v = std::max(v, 0);
    int diff = v - engine_->TopOffset;
    if (diff) engine_->ScrollBy(diff, 0);
}

void TJDCustomRtfEdit::SetShowPageBreak(bool v) {
    if (showPageBreak_ == v) return;
    showPageBreak_ = v;
    std::uint32_t o = engine_->PaintOptions();
    engine_->SetPaintOptions(v ? (o & ~poHidePageBreaks) : (o | poHidePageBreaks));
    BackgroundChanged();
}

void TJDCustomRtfEdit::SetBorderStyle(TBorderStyle s) {
    if (borderStyle_ == s) return;
    borderStyle_ = s;
    RecreateWnd();
}

void TJDCustomRtfEdit::RecreateWnd() {
    if (!HandleAllocated()) return;
    const bool hadCaret = gui::CaretOwner() == Handle();
    if (hadCaret) gui::DestroyCaret();
    DestroyHandle();
    CreateHandle();
    CreateWnd();
    if (hadCaret && Focused()) {
        gui::CreateCaret(Handle(), 1, std::max(engine_->caretHeight, 4));
        PlaceCaret();
    }
    Invalidate();
}

void TJDCustomRtfEdit::CreateWnd() {
    wndCreated_ = true;
    std::uint32_t o = engine_->PaintOptions();
    engine_->SetPaintOptions(showPageBreak_ ? (o & ~poHidePageBreaks) : (o | poHidePageBreaks));
    // The insert attribute of the character at the cursor, or of the first one that has one.
    const TJDCharAttr* found = nullptr;
    if (TLine* l = engine_->cursor.line; l && engine_->cursor.pos < l->Length() &&
                                         l->attrs.size() > static_cast<std::size_t>(engine_->cursor.pos))
        found = &l->attrs[static_cast<std::size_t>(engine_->cursor.pos)];
    for (TParagraph* p = engine_->FirstParagraph(); !found && p; p = p->next)
        for (TLine* l = p->lines; !found && l; l = l->next)
            if (l->Length() > 0 && !l->attrs.empty()) found = &l->attrs[0];
    if (found && engine_->RichText()) {
        engine_->currentAttr = *found;
        engine_->currentAttr.style &= static_cast<std::uint16_t>(~(kStyleSelected | kStyleObject | kStyleFootnote));
        engine_->currentAttr.tag = 0;
    }
    BackgroundChanged();
}

void TJDCustomRtfEdit::SetScrollBars(TScrollStyle s) {
    if (scrollBars_ == s) return;
    scrollBars_ = s;
    RecreateWnd();
    if (s == ssNone || s == ssVertical) ShowScrollBar(SB_HORZ, false), SetScrollRange(SB_HORZ, 0, 0);
    if (s == ssNone || s == ssHorizontal) ShowScrollBar(SB_VERT, false), SetScrollRange(SB_VERT, 0, 0);
    UpdateHorzScrollBar();
    UpdateVertScrollBar();
}

TFont& TJDCustomRtfEdit::SyncedFont() {
    if (ComponentState() & csLoading) return Font();
    const TJDCharAttr& a = engine_->currentAttr;
    fontUpdate_ = true;
    if (a.font < kMaxFonts && !engine_->Header().fontNames[a.font].empty()) Font().SetName(engine_->Header().fontNames[a.font]);
    Font().SetSize(a.size ? a.size : 10);
    TFontStyles st = 0;
    if (a.style & kStyleBold) st |= fsBold;
    if (a.style & kStyleItalic) st |= fsItalic;
    if (a.style & kStyleUnderline) st |= fsUnderline;
    if (a.style & kStyleStrikeOut) st |= fsStrikeOut;
    Font().SetStyle(st);
    fontUpdate_ = false;
    return Font();
}

void TJDCustomRtfEdit::ApplyFontToSelection() {
    if (fontUpdate_) return;
    fontUpdate_ = true;
    TJDCharAttr a = engine_->currentAttr;
    std::uint32_t mask = amStyleReplace;
    const std::string& name = Font().Name();
    if (!name.empty()) {
        int idx = engine_->AddFontName(name.substr(0, kFontNameMax));
        if (idx >= 0 && idx < kMaxFonts && idx != a.font) {
            a.font = static_cast<std::uint8_t>(idx);
            mask |= amFont;
        }
    }
    int size = std::min(Font().Size(), 255);
    if (size > 0 && size != a.size) {
        a.size = static_cast<std::uint8_t>(size);
        mask |= amSize;
    }
    std::uint16_t st = 0;
    if (Font().Style() & fsBold) st |= kStyleBold;
    if (Font().Style() & fsItalic) st |= kStyleItalic;
    if (Font().Style() & fsUnderline) st |= kStyleUnderline;
    if (Font().Style() & fsStrikeOut) st |= kStyleStrikeOut;
    a.style = static_cast<std::uint16_t>((a.style & ~0x000F) | st);
    plat::COLORREF c = static_cast<plat::COLORREF>(ColorToRGB(Font().Color()));
    for (int i = 0; i < 15; ++i)
        if (engine_->GetColorEntry(i) == c) {
            a.SetTextColor(static_cast<unsigned>(i));
            mask |= amTextColor;
            break;
        }
    engine_->ApplyAttribute(mask, a);
    fontUpdate_ = false;
}

// --- change bracket and notifications -------------------------------------------------------------

void TJDCustomRtfEdit::ReleaseScrollHold() {
    scrollHold_ = false;
    if (pendingHorzHide_) {
        pendingHorzHide_ = false;
        SetScrollRange(SB_HORZ, 0, 0);
    }
}

bool TJDCustomRtfEdit::CanEdit() {
    ReleaseScrollHold();
    if (GetReadOnly()) return false;
    Modified = true;
    return true;
}

void TJDCustomRtfEdit::Changed() {
    if (OnChange) OnChange(this);
}

void TJDCustomRtfEdit::Reformat() {
    engine_->FormatAll();
    Invalidate();
}

void TJDCustomRtfEdit::DoEditState(bool selectionMarked, bool clipboardNotEmpty) {
    if (EditStateEvent) EditStateEvent(this, selectionMarked, clipboardNotEmpty);
}

void TJDCustomRtfEdit::DeleteSelectedText() {
    engine_->DeleteSelection();
    engine_->ScrollToCursor();
}

void TJDCustomRtfEdit::HideSelection() { engine_->DropSelection(); }

void TJDCustomRtfEdit::Invalidate() {
    if (engine_ && (engine_->PaintOptions() & poHoldPaint)) return;
    if (transparent_ && Parent()) Parent()->InvalidateRect(BoundsRect());
    TCustomControl::Invalidate();
}

void TJDCustomRtfEdit::SetVisible(bool v) {
    engine_->shown = v;
    TCustomControl::SetVisible(v);
}

void TJDCustomRtfEdit::FullRelayout() {
    engine_->FormatAll();
    UpdateVertScrollBar();
    UpdateHorzScrollBar();
    Invalidate();
}

// --- scroll bars ------------------------------------------------------------------------------------

void TJDCustomRtfEdit::UpdateHorzScrollBar() {
    if (!(scrollBars_ == ssHorizontal || scrollBars_ == ssBoth)) return;
    const int page = engine_->Header().textWidth + engine_->leftMargin;
    const int visible = engine_->WindowWidth();
    if (page < visible || engine_->WordWrap() || ClientWidth() > page) {
        if (scrollHold_) pendingHorzHide_ = true;
        else SetScrollRange(SB_HORZ, 0, 0);
        return;
    }
    const bool was = settingBars_;
    settingBars_ = true;
    SetScrollRange(SB_HORZ, 0, 1000);
    const int span = page - visible;
    SetScrollPos(SB_HORZ, span > 0 ? std::min(1000, MulDiv(-engine_->LeftOffset, 1000, span)) : 0);
    settingBars_ = was;
}

void TJDCustomRtfEdit::UpdateVertScrollBar() {
    if (!(scrollBars_ == ssVertical || scrollBars_ == ssBoth)) return;
    const int text = engine_->DocumentHeight();
    const int visible = engine_->WindowHeight();
    // A text exactly as high as the window needs no bar (and no division by zero).
    if (text <= visible) {
        if (engine_->TopOffset != 0) {
            engine_->TopOffset = 0;
            engine_->Repaint();
        }
        SetScrollRange(SB_VERT, 0, 0);
    } else {
        const bool was = settingBars_;
        settingBars_ = true;
        SetScrollRange(SB_VERT, 0, 1000);
        SetScrollPos(SB_VERT, static_cast<int>(std::min<std::int64_t>(
                                  1000, static_cast<std::int64_t>(engine_->TopOffset) * 1000 / (text - visible))));
        settingBars_ = was;
    }
    engine_->SetScreenWidth(std::max(1, ClientWidth()));
}

void TJDCustomRtfEdit::HandleScroll(bool vertical, int code, int thumb) {
    if (settingBars_) return;
    scrollHold_ = true;
    if (code < 0 || code > 8) return;
    int pos = 0;
    if (vertical) {
        int span = engine_->DocumentHeight() - engine_->WindowHeight();
        pos = span > 0 ? static_cast<int>(static_cast<std::int64_t>(span) * thumb / 1000) : 0;
    } else {
        int span = engine_->Header().textWidth + engine_->leftMargin - engine_->WindowWidth();
        pos = span > 0 ? MulDiv(thumb, span, 1000) : 0;
    }
    engine_->ScrollTo(vertical, code, pos);
}

// --- window messages --------------------------------------------------------------------------------

void TJDCustomRtfEdit::HandleSize() {
    EnsureDevice();
    if (printRun_) {
        // The engine is laid out for the page: the new size is for the view that comes back.
        printRun_->windowWidth = std::max(1, ClientWidth());
        printRun_->windowHeight = std::max(1, ClientHeight());
        return;
    }
    engine_->SetWindowSize(std::max(1, ClientWidth()), std::max(1, ClientHeight()));
    UpdateTextWidth();
    engine_->FullReformatPending = false;
    engine_->FormatAll();
    UpdateVertScrollBar();
    UpdateHorzScrollBar();
    Invalidate();
}

void TJDCustomRtfEdit::PlaceCaret() {
    if (!HandleAllocated() || !Focused()) return;
    int x = engine_->XOfPosition(engine_->cursor.par, engine_->cursor.line, engine_->cursor.pos) + engine_->LeftOffset +
            engine_->leftMargin;
    int y = engine_->caretTop - engine_->TopOffset + engine_->topMargin;
    int h = std::max(engine_->caretHeight, 4);
    int w = inserting_ ? 1 : std::max(engine_->caretWidth, 1);
    if (gui::CaretOwner() != Handle()) {
        gui::CreateCaret(Handle(), w, h);
        if (!engine_->caret.disabled) gui::ShowCaret(Handle());
    }
    TPoint cur;
    gui::GetCaretPos(cur);
    if (x < 0 || y + h <= 0 || x > ClientWidth() || y >= ClientHeight()) gui::SetCaretPos(-10, 0);
    else gui::SetCaretPos(x, y);
    if (!engine_->caret.disabled) gui::ShowCaret(Handle());
}

void TJDCustomRtfEdit::WndProc(TMessage& m) {
    switch (m.Msg) {
    case WM_SETFOCUS:
        TCustomControl::WndProc(m);
        if (Focused()) {
            gui::CreateCaret(Handle(), 1, std::max(engine_->caretHeight, 4));
            PlaceCaret();
            if (!engine_->caret.disabled) gui::ShowCaret(Handle());
            bool clip = IsClipboardFormatAvailable(CF_TEXT) || IsClipboardFormatAvailable(CF_RTF());
            DoEditState(engine_->HasSelection() && !engine_->SelectionEmpty(), clip);
        }
        return;
    case WM_KILLFOCUS:
        if (HandleAllocated()) gui::HideCaret(Handle());
        TCustomControl::WndProc(m);
        return;
    case WM_SIZE:
        TCustomControl::WndProc(m);
        HandleSize();
        // The parent's picture is taken again at the new size; it cannot scroll.
        if (transparent_) backgroundScrolling_ = false;
        return;
    case WM_ERASEBKGND: m.Result = 1; return;
    case CM_ENTER:
        if (AutoSelect && !(GetKeyState(VK_LBUTTON) & 0x8000) && !buttonDown_) SelectAll();
        TCustomControl::WndProc(m);
        return;
    case CN_COMMAND:
        if (HIWORD(m.WParam) == kEnChange) {
            if (!SuppressChangeNotify) Changed();
            return;
        }
        TCustomControl::WndProc(m);
        return;
    case WM_GETDLGCODE:
        m.Result = DLGC_WANTARROWS | DLGC_WANTALLKEYS | DLGC_WANTCHARS | (WantTabs ? DLGC_WANTTAB : 0);
        return;
    case WM_SETTEXT:
        TCustomControl::WndProc(m);
        if (HandleAllocated() && m.LParam) SetText(reinterpret_cast<const char*>(m.LParam));
        return;
    case WM_CUT:
        if (CanEdit()) CutToClipboard();
        return;
    case WM_COPY: CopyToClipboard(); return;
    case WM_PASTE:
        if (CanEdit()) {
            PasteFromClipboard();
            if (lastPasteChanged_) Changed();
        }
        return;
    case WM_HSCROLL:
    case WM_VSCROLL:
        HandleScroll(m.Msg == WM_VSCROLL, LOWORD(m.WParam), static_cast<short>(HIWORD(m.WParam)));
        m.Result = 0;
        return;
    case CM_FONTCHANGED:
        TCustomControl::WndProc(m);
        ApplyFontToSelection();
        return;
    case CM_COLORCHANGED:
        TCustomControl::WndProc(m);
        engine_->paperColor = static_cast<plat::COLORREF>(ColorToRGB(Color()));
        Invalidate();
        return;
    case CM_CTL3DCHANGED:
        TCustomControl::WndProc(m);
        Invalidate();
        return;
    default: TCustomControl::WndProc(m); return;
    }
}

void TJDCustomRtfEdit::Paint() {
    EnsureDevice();
    if (engine_->FullReformatPending) {
        engine_->FullReformatPending = false;
        engine_->FormatAll();
    }
    if (!wndCreated_ && HandleAllocated()) CreateWnd();
    if (engine_->PaintOptions() & poHoldPaint) return;
    if (transparent_) TakeParentBackground();
    if (ComponentState() & csDesigning) {
        Canvas().Brush().SetColor(clBlack);
        Canvas().FrameRect(Rect(0, 0, ClientWidth(), ClientHeight()));
    }
    if (engine_->paintSkip > 0) {
        --engine_->paintSkip;
        return;
    }
    ReleaseScrollHold();
    engine_->shown = Showing();
    engine_->Repaint();
    if (borderStyle_ == bsSingle) {
        Canvas().ResetClip();  // the text's clip keeps inside the frame
        Canvas().Brush().SetColor(clGray);
        Canvas().FrameRect(Rect(0, 0, ClientWidth(), ClientHeight()));
    }
    if (Focused()) PlaceCaret();
}

// --- keys -----------------------------------------------------------------------------------------

void TJDCustomRtfEdit::KeyDown(unsigned& Key, TShiftState Shift) {
    TCustomControl::KeyDown(Key, Shift);
    if (!Key || !Focused() || !Showing()) return;
    const bool shift = Shift & ssShift, ctrl = Shift & ssCtrl;
    auto move = [&](int kind) { engine_->MoveCursor(kind, shift); };
    switch (Key) {
    case VK_TAB:
        if (ctrl) {
            if (CtrlTabPressed) CtrlTabPressed(this);
        } else if (shift) {
            if (ShiftTabPressed) ShiftTabPressed(this);
        } else if (WantTabs && CanEdit()) {
            engine_->InputString("\t");
            Changed();
        }
        Key = 0;
        break;
    case VK_RETURN:
        if (ctrl) {
            if (CanEdit()) {
                engine_->InputString("\x0C");
                Changed();
            }
            Key = 0;
        }
        break;
    case VK_PRIOR:
        if (ctrl) engine_->ScrollTo(true, SB_PAGEUP, 0);
        else move(2);
        break;
    case VK_NEXT:
        if (ctrl) engine_->ScrollTo(true, SB_PAGEDOWN, 0);
        else move(3);
        break;
    case VK_END: move(ctrl ? 5 : 1); break;
    case VK_HOME: move(ctrl ? 4 : 0); break;
    case VK_LEFT:
        if (!shift) HideSelection();
        if (ctrl) engine_->WordLeft(1, shift, true);
        else engine_->CursorLeft(1, shift, true);
        break;
    case VK_RIGHT:
        if (!shift) HideSelection();
        if (ctrl) engine_->WordRight(1, shift, true);
        else engine_->CursorRight(1, shift, true);
        break;
    case VK_UP:
        if (!shift) HideSelection();
        engine_->CursorUp(1, shift, true);
        break;
    case VK_DOWN:
        if (!shift) HideSelection();
        engine_->CursorDown(1, shift, true);
        break;
    case VK_INSERT:
        if (ctrl) CopyToClipboard();
        else if (shift) {
            if (CanEdit()) {
                PasteFromClipboard();
                if (lastPasteChanged_) Changed();
            }
        } else {
            SetInserting(!inserting_);
        }
        break;
    case VK_DELETE:
        if (ctrl || shift) {
            CutToClipboard();
        } else if (CanEdit()) {
            const TEditMark before = Mark();
            engine_->InputString("\x7F");
            if (!(Mark() == before)) Changed();
        }
        break;
    default: break;
    }
}

void TJDCustomRtfEdit::KeyPress(char& Key) {
    TCustomControl::KeyPress(Key);
    if (!Key || !Focused() || !Showing()) return;
    switch (static_cast<unsigned char>(Key)) {
    case 3: CopyToClipboard(); break;
    case 22:
        if (CanEdit()) {
            PasteFromClipboard();
            if (lastPasteChanged_) Changed();
        }
        break;
    case 24: CutToClipboard(); break;
    case 27:
        if (engine_->HasSelection()) {
            HideSelection();
            engine_->Repaint();
        }
        break;
    case 9:
    case 10: break;
    default:
        // Ctrl+letters arrive as control characters; of those only Enter
        // and Backspace are text, the rest would go in as invisible bytes.
        if (static_cast<unsigned char>(Key) < 32 && Key != '\r' && Key != '\b') break;
        if (CanEdit()) {
            engine_->currentAttr.style &= static_cast<std::uint16_t>(~kStyleHidden);
            // Overwrite mode: a typed character replaces the one after the cursor.
            unsigned char c = static_cast<unsigned char>(Key);
            if (!inserting_ && c >= 32 && !engine_->HasSelection() && engine_->cursor.line &&
                engine_->cursor.pos < engine_->cursor.line->Length()) {
                int p = GetCPPosition();
                engine_->SetSelPosLen(p, 1);
            }
            TypeCharacter(Key);
        }
        break;
    }
}

void TJDCustomRtfEdit::TypeCharacter(char c) {
    std::string text(1, c);
    if (GetTextToInsert) {
        // The automatic text that ends at the cursor.
        std::string autoText;
        std::uint16_t tag = 0;
        if (TLine* l = engine_->cursor.line; l && l->attrs.size() >= static_cast<std::size_t>(l->Length())) {
            int from = std::min(engine_->cursor.pos, l->Length());
            while (from > 0 && (l->attrs[static_cast<std::size_t>(from - 1)].style & kStyleAutomatic)) --from;
            if (from < engine_->cursor.pos) {
                autoText = l->text.substr(static_cast<std::size_t>(from),
                                          static_cast<std::size_t>(std::min(engine_->cursor.pos, l->Length()) - from));
                tag = l->attrs[static_cast<std::size_t>(from)].tag;
            }
        }
        bool doContinue = true;
        GetTextToInsert(this, text, autoText, static_cast<int>(autoText.size()), tag, c, doContinue);
        if (!doContinue || text.empty()) return;
    }
    const TEditMark before = Mark();
    engine_->InputString(text);
    if (text.size() > 1) engine_->Repaint();
    if (!(Mark() == before) || text.size() == 1) Changed();
}

// --- mouse ------------------------------------------------------------------------------------------

bool TJDCustomRtfEdit::CharAt(int x, int y, TParagraph*& par, TLine*& line, int& index) {
    int dx = x - engine_->LeftOffset - engine_->leftMargin, dy = y + engine_->TopOffset - engine_->topMargin;
    if (!engine_->LineAtPoint(dx, dy, par, line) || !line) return false;
    index = engine_->PositionAtX(par, line, dx);
    // The character under the point: the one whose box holds x.
    if (index > 0 && engine_->XOfPosition(par, line, index) > dx) --index;
    return index >= 0 && index < line->Length();
}

bool TJDCustomRtfEdit::PointInSelection(int x, int y) {
    if (!DragAndDropSupport) return false;
    TParagraph* par;
    TLine* line;
    int i;
    if (!CharAt(x, y, par, line, i)) return false;
    int start, len;
    if (!engine_->GetSelection(start, len) || len <= 0) return false;
    int p = engine_->AbsolutePosition({par, line, i});
    return p >= start && p < start + len;
}

void TJDCustomRtfEdit::SelectWordAt(TParagraph* par, TLine* line, int index) {
    const TJDCharAttr* attrs = line->attrs.size() >= static_cast<std::size_t>(line->Length()) ? line->attrs.data() : nullptr;
    std::uint16_t runBit = 0;
    if (attrs && (attrs[index].style & kStyleProtected)) runBit = kStyleProtected;
    else if (attrs && (attrs[index].style & kStyleInsertPoint)) runBit = kStyleInsertPoint;
    int from = index, to = index + 1;
    const std::string& t = line->text;
    if (runBit) {
        while (from > 0 && (attrs[from - 1].style & runBit)) --from;
        while (to < line->Length() && (attrs[to].style & runBit)) ++to;
    } else {
        auto blank = [&](int i) { return t[static_cast<std::size_t>(i)] == ' ' || t[static_cast<std::size_t>(i)] == '\t'; };
        if (blank(index)) return;
        while (from > 0 && !blank(from - 1)) --from;
        while (to < line->Length() && !blank(to)) ++to;
    }
    int a = engine_->AbsolutePosition({par, line, from});
    engine_->SetSelPosLen(a, to - from);
    engine_->Repaint();
}

bool TJDCustomRtfEdit::HyperlinkClick(int x, int y) {
    // Objects on the screen first.
    const int dx = x - engine_->LeftOffset - engine_->leftMargin, dy = y + engine_->TopOffset - engine_->topMargin;
    for (const TPaintedObject& po : engine_->PaintedObjects()) {
        if (!po.object || !(dx >= po.rect.left && dx < po.rect.right && dy >= po.rect.top && dy < po.rect.bottom)) continue;
        TJDObjectRecord* rec = po.object;
        if (!rec->linkId) {
            engine_->SelectObjectChars(rec->tag, rec->id);
        } else if (rec->onClick) {
            rec->onClick(*rec);
            engine_->FormatAll();
            Invalidate();
        }
        return false;
    }
    TParagraph* par;
    TLine* line;
    int i;
    if (!CharAt(x, y, par, line, i)) return false;
    const bool haveAttrs = line->attrs.size() >= static_cast<std::size_t>(line->Length());
    const std::uint16_t st = haveAttrs ? line->attrs[static_cast<std::size_t>(i)].style : 0;
    if (!(st & (kStyleHyperlink | kStyleUnderline))) {
        if (!engine_->NoBlockMarking && !OneClickHyperlink) {
            SelectWordAt(par, line, i);
            pressPoint_.x += 10;  // the release must not remove the selection
        } else {
            engine_->CursorToPoint(x, y, false, true);
            selecting_ = true;
        }
        return false;
    }
    // Back to the first character of the run (across line starts within the paragraph).
    TLine* l = line;
    int p = i;
    auto styleAt = [](TLine* ln, int k) { return ln->attrs.size() > static_cast<std::size_t>(k) ? ln->attrs[static_cast<std::size_t>(k)].style : 0; };
    for (;;) {
        if (p > 0 && (styleAt(l, p - 1) & kStyleHyperlink)) --p;
        else if (p == 0 && l->prev && l->prev->Length() > 0 && (styleAt(l->prev, l->prev->Length() - 1) & kStyleHyperlink)) {
            l = l->prev;
            p = l->Length() - 1;
        } else break;
    }
    std::string text, stamp;
    for (;;) {
        if (p >= l->Length()) {
            if (!l->next) break;
            l = l->next;
            p = 0;
            continue;
        }
        if (!(styleAt(l, p) & (kStyleHyperlink | kStyleUnderline))) break;
        text += l->text[static_cast<std::size_t>(p++)];
    }
    for (;;) {
        if (p >= l->Length()) {
            if (!l->next) break;
            l = l->next;
            p = 0;
            continue;
        }
        if (!(styleAt(l, p) & kStyleHidden) || stamp.size() >= 254) break;
        stamp += l->text[static_cast<std::size_t>(p++)];
    }
    int pos, absLine, pi, pp;
    engine_->GetPosition(par, line, i, pos, absLine, pi, pp);
    if (HyperLinkEvent) HyperLinkEvent(this, text, stamp, absLine);
    return true;
}

void TJDCustomRtfEdit::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button != mbLeft) {
        TCustomControl::MouseDown(Button, Shift, X, Y);
        return;
    }
    pressPoint_ = {X, Y};
    buttonDown_ = true;
    if (DragAndDropSupport && !GetReadOnly() && PointInSelection(X, Y)) {
        dragPending_ = true;
        dragStart_ = {X, Y};
        TCustomControl::MouseDown(Button, Shift, X, Y);
        return;
    }
    TCustomControl::MouseDown(Button, Shift, X, Y);
    if (engine_->IsEmpty() && !engine_->FirstParagraph()) return;
    if (Showing() && CanFocus() && !Focused()) SetFocus();
    if (!selecting_ && ((Shift & ssDouble) || OneClickHyperlink)) {
        if (HyperlinkClick(X, Y)) return;
        if (Shift & ssDouble) return;
    }
    selecting_ = true;
    SetMouseCapture(true);
    if (resizeArmed_) {
        resizing_ = true;
    } else if (Shift & ssShift) {
        engine_->CursorToPoint(X, Y, true, true);
    } else {
        // A new selection starts at the press point.
        engine_->DropSelection();
        engine_->CursorToPoint(X, Y, false, true);
        engine_->SetSelectionEnd(0, engine_->cursor.par, engine_->cursor.line, engine_->cursor.pos);
        engine_->SelectionAnchored = true;
    }
}

void TJDCustomRtfEdit::UpdateCursorShape(int X, int Y) {
    auto setSpecial = [&](TCursor c) {
        if (!specialCursor_) savedCursor_ = Cursor();
        specialCursor_ = true;
        SetCursor(c);
    };
    auto restore = [&] {
        if (!specialCursor_) return;
        specialCursor_ = false;
        SetCursor(savedCursor_ == crSizeNWSE ? ownCursor_ : savedCursor_);
    };
    // The lower-right corner of the current object resizes it.
    if (!GetReadOnly() && engine_->HasSelection()) {
        for (const TPaintedObject& po : engine_->PaintedObjects()) {
            if (!po.object) continue;
            int sx = X - engine_->LeftOffset - engine_->leftMargin, sy = Y + engine_->TopOffset - engine_->topMargin;
            int start, len;
            engine_->GetSelection(start, len);
            if (len != 1) break;
            if (sx > po.rect.right - 10 && sx < po.rect.right && sy > po.rect.bottom - 10 && sy < po.rect.bottom) {
                setSpecial(crSizeNWSE);
                resizeArmed_ = true;
                return;
            }
        }
    }
    if (resizeArmed_) {
        resizeArmed_ = false;
        restore();
    }
    bool inSel = DragAndDropSupport && PointInSelection(X, Y);
    if (HyperLinkCursor == crDefault && !inSel) return;
    if (inSel) {
        setSpecial(crArrow);
        return;
    }
    TParagraph* par;
    TLine* line;
    int i;
    if (CharAt(X, Y, par, line, i) && line->attrs.size() > static_cast<std::size_t>(i)) {
        const TJDCharAttr& a = line->attrs[static_cast<std::size_t>(i)];
        char c = line->text[static_cast<std::size_t>(i)];
        bool link = a.style & (kStyleHyperlink | kStyleUnderline);
        if (!link && (c == 1 || c == 2) && (a.style & kStyleObject)) {
            TJDObjectRecord* rec = engine_->ObjectForCharTag(a.tag);
            link = rec && rec->linkId;
        }
        if (link) {
            setSpecial(HyperLinkCursor);
            return;
        }
    }
    restore();
}

void TJDCustomRtfEdit::MouseMove(TShiftState Shift, int X, int Y) {
    if (dragPending_ && std::abs(X - dragStart_.x) + std::abs(Y - dragStart_.y) > 6) {
        dragPending_ = false;
        buttonDown_ = false;
        BeginDrag(true);
        return;
    }
    TCustomControl::MouseMove(Shift, X, Y);
    ReleaseScrollHold();
    if (resizing_ && buttonDown_) {
        for (const TPaintedObject& po : engine_->PaintedObjects()) {
            if (!po.object) continue;
            int w = std::max(2, X - engine_->LeftOffset - engine_->leftMargin - po.rect.left);
            int h = std::max(2, Y + engine_->TopOffset - engine_->topMargin - po.rect.top);
            // The header may not know its resolution yet: the screen's stands in.
            int rx = engine_->Header().resolutionX ? engine_->Header().resolutionX : ScreenPpi();
            int ry = engine_->Header().resolutionY ? engine_->Header().resolutionY : ScreenPpi();
            po.object->width = MulDiv(w, 1440, rx);
            po.object->height = MulDiv(h, 1440, ry);
            engine_->MarkForLayoutByStyle(kStyleObject);
            ReformatAll();
            break;
        }
        return;
    }
    if (selecting_) {
        engine_->CursorToPoint(X, Y, true, true);
        return;
    }
    UpdateCursorShape(X, Y);
}

void TJDCustomRtfEdit::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == mbLeft && dragPending_) {
        // The press inside the selection was no drag: it counts as an ordinary press.
        dragPending_ = false;
        bool dd = DragAndDropSupport;
        DragAndDropSupport = false;
        MouseDown(mbLeft, 0, dragStart_.x, dragStart_.y);
        DragAndDropSupport = dd;
    }
    TCustomControl::MouseUp(Button, Shift, X, Y);
    if (Button != mbLeft) return;
    buttonDown_ = false;
    resizing_ = false;
    if (Showing() && CanFocus() && !Focused()) SetFocus();
    const bool wasSelecting = selecting_;
    selecting_ = false;
    if (wasSelecting) {
        if (X == pressPoint_.x && Y == pressPoint_.y) HideSelection();
        if (!(Shift & ssShift) && !engine_->HasSelection()) engine_->CursorToPoint(X, Y, false, true);
    }
    PlaceCaret();
    SetMouseCapture(false);
}

}  // namespace richtext

namespace richtext {
bool TJDCustomRtfEdit::HasFocus() const { return Focused(); }
}  // namespace richtext
