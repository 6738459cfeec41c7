// Cursor movement, positions and the selection.
#include <algorithm>

#include "platform/core/codepage.h"
#include "richtext/view/text_input.h"

namespace richtext {

TJDRTFTextInput::TJDRTFTextInput(TJDMemoryFormat format) : TJDRTFTextPaint(format) {
    cursor = {FirstParagraph(), FirstParagraph()->lines, 0};
}

void TJDRTFTextInput::ClearText() {
    TJDRTFTextPaint::ClearText();
    SelectionAnchored = false;
    lastUndoPar_ = nullptr;
    UpdateCurrentAttr();
}

void TJDRTFTextInput::AfterLoad() {
    paintedObjects_.clear();
    SelectionAnchored = false;
    lastUndoPar_ = nullptr;
    if (!cursor.par) cursor = {FirstParagraph(), FirstParagraph()->lines, 0};
    // The loaded page may have other margins: every width is worked out again.
    Header().resolutionX = Header().resolutionY = 0;
    if (canvas_) {
        InitDevice();
    } else {
        UpdateTextWidth();
        FormatAll();
    }
    UpdateCurrentAttr();
    RepaintWindow();
}

TJDLoadFormat TJDRTFTextInput::LoadFromStream(std::istream& in) {
    TJDLoadFormat f = TJDRTFTextIo::LoadFromStream(in);
    AfterLoad();
    return f;
}

TJDLoadFormat TJDRTFTextInput::LoadFromStream(plat::Stream& stream) {
    TJDLoadFormat f = TJDRTFTextIo::LoadFromStream(stream);
    AfterLoad();
    return f;
}

TJDLoadFormat TJDRTFTextInput::LoadFromString(const std::string& bytes) {
    TJDLoadFormat f = TJDRTFTextIo::LoadFromString(bytes);
    AfterLoad();
    return f;
}

TJDLoadFormat TJDRTFTextInput::LoadFromFile(const std::string& fileName) {
    TJDLoadFormat f = TJDRTFTextIo::LoadFromFile(fileName);
    AfterLoad();
    return f;
}

// --- positions ----------------------------------------------------------------

int TJDRTFTextInput::ParagraphLength(const TParagraph* par) const {
    int n = 0;
    for (const TLine* l = par->lines; l; l = l->next) n += l->Length();
    return n;
}

TLine* TJDRTFTextInput::LineAtOffset(TParagraph* par, int& offset) const {
    TLine* l = par->lines;
    // The end of a wrapped line is the start of the next one.
    while (l->next && offset >= l->Length() && l->Length() > 0) {
        offset -= l->Length();
        l = l->next;
    }
    offset = std::clamp(offset, 0, l->Length());
    return l;
}

int TJDRTFTextInput::AbsolutePosition(const TTextPos& p) const {
    if (!p.par) return -1;
    int abs = 0;
    for (TParagraph* q = FirstParagraph(); q && q != p.par; q = q->next) abs += ParagraphLength(q) + 1;
    return abs + OffsetInPar(p.par, p.line, p.pos);
}

TTextPos TJDRTFTextInput::PositionOf(int absolute) const {
    absolute = std::max(absolute, 0);
    TParagraph* p = FirstParagraph();
    while (p->next && absolute > ParagraphLength(p)) {
        absolute -= ParagraphLength(p) + 1;
        p = p->next;
    }
    int off = std::min(absolute, ParagraphLength(p));
    TLine* l = LineAtOffset(p, off);
    return {p, l, off};
}

// --- cursor --------------------------------------------------------------------

bool TJDRTFTextInput::IsZeroWidth(const TLine* line, int pos) const {
    if (EditHidden || pos < 0 || pos >= line->Length() || line->attrs.size() <= static_cast<std::size_t>(pos))
        return false;
    return line->attrs[static_cast<std::size_t>(pos)].width == 0 && line->text[static_cast<std::size_t>(pos)] != '\t';
}

void TJDRTFTextInput::SetCursor(TParagraph* par, TLine* line, int pos) {
    if (!par) return;
    if (!line) line = par->lines;
    cursor = {par, line, std::clamp(pos, 0, line->Length())};
    UpdateCurrentAttr();
    RefreshSetMode();
}

bool TJDRTFTextInput::SetCursor(int pos, int absLine) {
    bool ok = TJDRTFTextIo::SetCursor(pos, absLine);
    UpdateCurrentAttr();
    RefreshSetMode();
    return ok;
}

void TJDRTFTextInput::RefreshSetMode() {
    if (services.setMode) {
        services.setMode->RefreshAttributes();
        services.setMode->RefreshParagraph();
    }
}

void TJDRTFTextInput::BeginMove(bool extend) {
    if (extend) {
        if (!SelectionAnchored || !selStart.par) {
            SetSelectionEnd(0, cursor.par, cursor.line, cursor.pos);
            SelectionAnchored = true;
        }
    } else {
        SelectionAnchored = false;
    }
}

void TJDRTFTextInput::EndMove(bool extend, bool scroll, bool keepDesiredX) {
    if (extend) SetSelectionEnd(1, cursor.par, cursor.line, cursor.pos);
    UpdateCurrentAttr();
    int keep = desiredX;
    if (scroll) ScrollToCursor();
    else {
        int oldX = desiredX;
        desiredX = XOfPosition(cursor.par, cursor.line, cursor.pos);
        UpdateCaretMetrics();
        TJDEngineServices::Call(services.CaretUpdateCallback);
        TJDEngineServices::Call(services.StatusCallback);
        if (desiredX != oldX && !keepDesiredX) TJDEngineServices::Call(services.OnXPosChanged, services.sender);
    }
    if (keepDesiredX) desiredX = keep;
    RefreshSetMode();
}

bool TJDRTFTextInput::StepLeft() {
    TLine* l = cursor.line;
    if (cursor.pos > 0) {
        --cursor.pos;
        while (cursor.pos > 0 && IsZeroWidth(l, cursor.pos)) --cursor.pos;
        return true;
    }
    // To the end of the line above.
    if (!l->prev && !cursor.par->prev) return false;
    desiredX = 1 << 20;
    LineUp();
    return true;
}

bool TJDRTFTextInput::StepRight() {
    TLine* l = cursor.line;
    int n = l->Length();
    int endPos = (n > 0 && l->text.back() == '\n') ? n - 1 : n;
    if (cursor.pos < endPos) {
        ++cursor.pos;
        while (cursor.pos < endPos && IsZeroWidth(l, cursor.pos - 1) && IsZeroWidth(l, cursor.pos)) ++cursor.pos;
        if (cursor.pos == n && l->next) cursor = {cursor.par, l->next, 0};
        return true;
    }
    if (l->next) {
        cursor = {cursor.par, l->next, 0};
    } else if (cursor.par->next) {
        cursor = {cursor.par->next, cursor.par->next->lines, 0};
    } else {
        return false;
    }
    desiredX = 0;
    return true;
}

bool TJDRTFTextInput::LineUp() {
    TParagraph* p = cursor.par;
    TLine* l = cursor.line->prev;
    if (!l) {
        if (!p->prev) return false;
        p = p->prev;
        l = LastLine(p);
    }
    cursor = {p, l, PositionAtX(p, l, desiredX)};
    return true;
}

bool TJDRTFTextInput::LineDown() {
    TParagraph* p = cursor.par;
    TLine* l = cursor.line->next;
    if (!l) {
        if (!p->next) return false;
        p = p->next;
        l = p->lines;
    }
    cursor = {p, l, PositionAtX(p, l, desiredX)};
    return true;
}

void TJDRTFTextInput::CursorLeft(int count, bool extend, bool scroll) {
    if (!cursor.line || (paintOptions_ & poCursorLocked)) return;
    BeginMove(extend);
    for (int i = 0; i < count; ++i)
        if (!StepLeft()) break;
    EndMove(extend, scroll);
}

void TJDRTFTextInput::CursorRight(int count, bool extend, bool scroll) {
    if (!cursor.line || (paintOptions_ & poCursorLocked)) return;
    BeginMove(extend);
    for (int i = 0; i < count; ++i)
        if (!StepRight()) break;
    EndMove(extend, scroll);
}

void TJDRTFTextInput::CursorUp(int count, bool extend, bool scroll) {
    if (!cursor.line || (paintOptions_ & poCursorLocked)) return;
    BeginMove(extend);
    for (int i = 0; i < count; ++i)
        if (!LineUp()) break;
    EndMove(extend, scroll, true);
}

void TJDRTFTextInput::CursorDown(int count, bool extend, bool scroll) {
    if (!cursor.line || (paintOptions_ & poCursorLocked)) return;
    BeginMove(extend);
    for (int i = 0; i < count; ++i)
        if (!LineDown()) break;
    EndMove(extend, scroll, true);
}

namespace {
bool IsWordChar(char c) { return plat::IsCharAlphaNumeric(static_cast<unsigned char>(c)); }
}  // namespace

void TJDRTFTextInput::WordLeft(int count, bool extend, bool scroll) {
    if (!cursor.line || (paintOptions_ & poCursorLocked)) return;
    BeginMove(extend);
    for (int k = 0; k < count; ++k) {
        if (cursor.pos == 0) {
            if (!StepLeft()) break;
            continue;
        }
        const std::string& t = cursor.line->text;
        int p = cursor.pos - 1;
        while (p > 0 && !IsWordChar(t[static_cast<std::size_t>(p)])) --p;
        while (p > 0 && IsWordChar(t[static_cast<std::size_t>(p - 1)])) --p;
        cursor.pos = p;
    }
    EndMove(extend, scroll);
}

void TJDRTFTextInput::WordRight(int count, bool extend, bool scroll) {
    if (!cursor.line || (paintOptions_ & poCursorLocked)) return;
    BeginMove(extend);
    for (int k = 0; k < count; ++k) {
        TLine* l = cursor.line;
        int n = l->Length();
        if (cursor.pos >= n || (cursor.pos == n - 1 && l->text.back() == '\n')) {
            if (!StepRight()) break;
            continue;
        }
        const std::string& t = l->text;
        int p = cursor.pos;
        while (p < n && !IsWordChar(t[static_cast<std::size_t>(p)])) ++p;
        while (p < n && IsWordChar(t[static_cast<std::size_t>(p)])) ++p;
        if (p >= n && l->next) cursor = {cursor.par, l->next, 0};
        else cursor.pos = p;
    }
    EndMove(extend, scroll);
}

void TJDRTFTextInput::MoveCursor(int kind, bool extend) {
    if (!cursor.line || (paintOptions_ & poCursorLocked)) return;
    if (!extend) DropSelection();
    switch (kind) {
    case 0:
    case 1:
    case 4:
    case 5: {
        BeginMove(extend);
        TLine* l = cursor.line;
        if (kind == 0) {
            cursor.pos = 0;
        } else if (kind == 1) {
            int n = l->Length();
            cursor.pos = (n > 0 && (l->text.back() == '\n' || (l->next && l->text.back() == ' '))) ? n - 1 : n;
        } else if (kind == 4) {
            cursor = {FirstParagraph(), FirstParagraph()->lines, 0};
        } else {
            TParagraph* p = LastParagraph();
            TLine* ll = LastLine(p);
            cursor = {p, ll, ll->Length()};
        }
        EndMove(extend, true);
        desiredX = (kind == 1 || kind == 5) ? 9999 : 0;
        break;
    }
    case 2:
    case 3: {
        BeginMove(extend);
        int moved = 0, page = std::max(windowHeight_, 1);
        while (moved < page) {
            int h = cursor.line->height;
            if (!(kind == 2 ? LineUp() : LineDown())) break;
            moved += std::max(h, 1);
        }
        EndMove(extend, true, true);
        break;
    }
    case 6: CursorLeft(1, extend, true); break;
    case 7: CursorRight(1, extend, true); break;
    case 8: CursorUp(1, extend, true); break;
    case 9: CursorDown(1, extend, true); break;
    case 10: WordLeft(1, extend, true); break;
    case 11: WordRight(1, extend, true); break;
    default: break;
    }
}

void TJDRTFTextInput::CursorToPoint(int x, int y, bool extend, bool scroll) {
    if (HeldBack() || (paintOptions_ & poCursorLocked)) return;
    TParagraph* p;
    TLine* l;
    int dx = x - LeftOffset - leftMargin, dy = y + TopOffset - topMargin;
    if (LineAtPoint(dx, dy, p, l)) {
        if (extend && !SelectionAnchored) {
            SetSelectionEnd(0, cursor.par, cursor.line, cursor.pos);
            SelectionAnchored = true;
        }
        cursor = {p, l, PositionAtX(p, l, dx)};
        if (extend) SetSelectionEnd(1, cursor.par, cursor.line, cursor.pos);
        else SelectionAnchored = false;
    }
    UpdateCurrentAttr();
    RefreshSetMode();
    if (scroll) ScrollToCursor();
    else {
        desiredX = XOfPosition(cursor.par, cursor.line, cursor.pos);
        UpdateCaretMetrics();
        TJDEngineServices::Call(services.CaretUpdateCallback);
    }
}

void TJDRTFTextInput::UpdateCurrentAttr() {
    if (!RichText() || !cursor.line) return;
    TLine* l = cursor.line;
    const TJDCharAttr* src = nullptr;
    if (cursor.pos > 0 && static_cast<int>(l->attrs.size()) >= cursor.pos) src = &l->attrs[static_cast<std::size_t>(cursor.pos - 1)];
    else if (!l->attrs.empty()) src = &l->attrs.front();
    else {
        TLine* pl = l->prev ? l->prev : (cursor.par->prev ? LastLine(cursor.par->prev) : nullptr);
        if (pl && !pl->attrs.empty()) src = &pl->attrs.back();
    }
    if (!src) return;
    auto has = [&](TProtectProps p) { return (protectedProp & ProtectBit(p)) != 0; };
    if (has(TProtectProps::ppDontUseAttrOfProtected)) {
        std::uint16_t st = src->style;
        if ((has(TProtectProps::ppProtected) && (st & kStyleProtected)) ||
            (has(TProtectProps::ppIsInsertpoint) && (st & kStyleInsertPoint)) ||
            (has(TProtectProps::ppAutomatic) && (st & kStyleAutomatic)) ||
            (has(TProtectProps::ppHidden) && (st & kStyleHidden)) ||
            (has(TProtectProps::ppIsInvisible) && src->width == 0))
            return;
    }
    TJDCharAttr a = *src;
    if (!KeepCurrentAttr) {
        std::uint16_t clear = kStyleAutomatic | kStyleInsertPoint | kStyleObject | kStyleFootnote | kStyleHidden |
                              kStyleNumbering | kStyleSelected;
        if (protectedProp & ProtectBit(TProtectProps::ppProtected)) clear |= kStyleProtected;
        a.style &= static_cast<std::uint16_t>(~clear);
        a.tag = 0;
    }
    bool changed = !a.SameLook(lastReportedAttr_);
    currentAttr = a;
    lastReportedAttr_ = a;
    if (changed && services.setMode) services.setMode->RefreshAttributes();
    SelectAttrMetrics(nullptr);
}

// --- selection ---------------------------------------------------------------------

bool TJDRTFTextInput::SelectionEmpty() const {
    return !HasSelection() || (selStart.par == selEnd.par && selStart.line == selEnd.line && selStart.pos == selEnd.pos) ||
           AbsolutePosition(selStart) == AbsolutePosition(selEnd);
}

void TJDRTFTextInput::DropSelection() {
    if (selStart.par || selEnd.par) SetSelectionEnd(0, nullptr, nullptr, 0);
    SelectionAnchored = false;
}

void TJDRTFTextInput::SetSelectionEnd(int which, TParagraph* par, TLine* line, int pos) {
    if (NoBlockMarking) return;
    if (which == 1 && selStart.par && par && line) {
        pos = std::clamp(pos, 0, line->Length());
        selEnd = {par, line, pos};
        selReversed = ComparePositions(selEnd, selStart) < 0;
        // A selection that leaves its cell takes whole cells.
        if (par->IsCell() && par != selStart.par) {
            if (!selReversed) {
                TLine* ll = LastLine(par);
                selEnd = {par, ll, ll->Length()};
            } else {
                selEnd = {par, par->lines, 0};
            }
        }
        const TTextPos& a = selReversed ? selEnd : selStart;
        const TTextPos& b = selReversed ? selStart : selEnd;
        int zone = 0;  // 0 before, 1 inside, 2 after
        for (TParagraph* p = FirstParagraph(); p; p = p->next) {
            for (TLine* l = p->lines; l; l = l->next) {
                if (l == a.line) zone = 1;
                if (zone == 1) {
                    if (l->selState != 2) {
                        l->selState = 3;
                        Redraw(p, l);
                    } else if (l == a.line || l == b.line) {
                        l->selState = 3;
                        Redraw(p, l);
                    }
                } else if (l->selState) {
                    l->selState = 0;
                    Redraw(p, l);
                }
                if (l == b.line) zone = 2;
            }
        }
    } else {
        if (selStart.par || selEnd.par) {
            for (TParagraph* p = FirstParagraph(); p; p = p->next)
                for (TLine* l = p->lines; l; l = l->next)
                    if (l->selState) {
                        l->selState = 0;
                        Redraw(p, l);
                    }
        }
        selStart = selEnd = {};
        selReversed = false;
        if (par && line) selStart = {par, line, std::clamp(pos, 0, line->Length())};
    }
    TJDEngineServices::Call(services.SelectionChangedCallback);
}

bool TJDRTFTextInput::GetSelection(int& start, int& length) const {
    start = length = 0;
    if (!HasSelection()) return false;
    int a = AbsolutePosition(selStart), b = AbsolutePosition(selEnd);
    start = std::min(a, b);
    length = std::abs(b - a);
    return true;
}

void TJDRTFTextInput::SetSelPosLen(int start, int length) {
    DropSelection();
    if (length < 1) return;
    TTextPos a = PositionOf(start), b = PositionOf(start + length);
    SetSelectionEnd(0, a.par, a.line, a.pos);
    SetSelectionEnd(1, b.par, b.line, b.pos);
    cursor = b;
}

void TJDRTFTextInput::SetSelStart(int start) {
    givenSelStart_ = std::max(start, 0);
    selStartGiven_ = true;
    TTextPos a = PositionOf(givenSelStart_);
    if (RichText() && a.line && a.pos < static_cast<int>(a.line->attrs.size())) currentAttr = a.line->attrs[static_cast<std::size_t>(a.pos)];
    if (selLengthGiven_) SetSelPosLen(givenSelStart_, givenSelLength_);
}

void TJDRTFTextInput::SetSelLength(int length) {
    givenSelLength_ = length;
    selLengthGiven_ = true;
    if (selStartGiven_) SetSelPosLen(givenSelStart_, givenSelLength_);
}

void TJDRTFTextInput::SelectObjectChars(std::uint16_t tag, std::uint16_t id) {
    for (TParagraph* p = FirstParagraph(); p; p = p->next) {
        for (TLine* l = p->lines; l; l = l->next) {
            if (l->attrs.size() < static_cast<std::size_t>(l->Length())) return;
            for (int i = 0; i < l->Length(); ++i) {
                const TJDCharAttr& a = l->attrs[static_cast<std::size_t>(i)];
                char c = l->text[static_cast<std::size_t>(i)];
                if (!(a.style & kStyleObject)) continue;
                if ((tag && c == 1 && a.tag == tag) || (!tag && c == 2 && a.tag == id)) {
                    DropSelection();
                    SetSelectionEnd(0, p, l, i);
                    SetSelectionEnd(1, p, l, i + 1);
                }
            }
        }
    }
}

int TJDRTFTextInput::GetSelectedChars(char* chars, TJDCharAttr* entries, int count) {
    if (!HasSelection() || SelectionEmpty()) {
        if (chars && count > 0) chars[0] = 0;
        return 0;
    }
    const TTextPos& a = selReversed ? selEnd : selStart;
    const TTextPos& b = selReversed ? selStart : selEnd;
    int n = 0;
    const int cap = chars ? count - 1 : 1 << 30;
    TJDCharAttr last{};
    auto put = [&](char c, const TJDCharAttr& e) {
        if (n >= cap) return false;
        if (chars) chars[n] = c;
        if (entries) entries[n] = e;
        ++n;
        return true;
    };
    bool inside = false;
    for (TParagraph* p = a.par; p; p = p->next) {
        for (TLine* l = p->lines; l; l = l->next) {
            int from = 0, to = l->Length();
            if (l == a.line) {
                inside = true;
                from = a.pos;
            }
            if (!inside) continue;
            if (l == b.line) to = b.pos;
            for (int i = from; i < to; ++i) {
                if (static_cast<std::size_t>(i) < l->attrs.size()) last = l->attrs[static_cast<std::size_t>(i)];
                if (!put(l->text[static_cast<std::size_t>(i)], last)) goto done;
            }
            if (l == b.line) goto done;
        }
        if (inside && !put('\r', last)) goto done;
    }
done:
    if (chars && count > 0) chars[std::min(n, count - 1)] = 0;
    return n;
}

}  // namespace richtext
