// Typed characters, Backspace, Delete, Enter, form feed and deleting the selection.
#include <algorithm>

#include "richtext/view/text_input.h"

namespace richtext {

namespace {
constexpr unsigned char kBackspace = 8, kLineFeed = 10, kFormFeed = 12, kEnter = 13, kDelete = 127;
}  // namespace

void TJDRTFTextInput::SaveForUndo() {
    bool selection = HasSelection() && !SelectionEmpty();
    if (selection || cursor.par != lastUndoPar_) {
        lastUndoPar_ = cursor.par;
        TJDEngineServices::Call(services.SaveForUNDO, services.sender);
    }
}

void TJDRTFTextInput::InputString(const std::string& text) {
    if (readOnly || formattingAll_ || !FirstParagraph() || !cursor.line) return;
    TJDEngineServices::Call(services.CaretHideCallback);
    InputRunning = true;
    lastBroken_ = {};  // only what this input breaks is redrawn from it
    int hint = 0;
    try {
        for (char c : text) {
            if (c == 0) break;
            hint = std::max(hint, TypeChar(static_cast<unsigned char>(c)));
        }
    } catch (...) {
        InputRunning = false;
        TJDEngineServices::Call(services.CaretShowCallback);
        throw;
    }
    InputRunning = false;
    if (text.size() == 1) {
        if (FullReformatPending) {
            Renumber();
            for (TParagraph* p = FirstParagraph(); p; p = p->next) p->state |= kParNeedsLayout;
            MeasureAll();
            BreakAll();
            RepaintWindow();
            FullReformatPending = false;
        } else if (hint == 3) {
            RepaintWindow();
        } else if (hint >= 1 && cursor.par) {
            // The lines broken again are all that can have changed.
            TLine* from = cursor.par->lines;
            TLine* to = nullptr;
            if (lastBroken_.par == cursor.par && lastBroken_.first) {
                from = lastBroken_.first;
                to = lastBroken_.last->next;
            }
            for (TLine* l = from; l != to; l = l->next)
                if (hint == 2 || (l->flags & kLineChanged)) Redraw(cursor.par, l);
        }
        ScrollToCursor();
    } else if (FullReformatPending) {
        // The caller repaints a longer string, but the numbers must be right first.
        Renumber();
        for (TParagraph* p = FirstParagraph(); p; p = p->next) p->state |= kParNeedsLayout;
        MeasureAll();
        BreakAll();
        FullReformatPending = false;
    }
    TJDEngineServices::Call(services.CaretShowCallback);
}

int TJDRTFTextInput::TypeChar(unsigned char c) {
    if (!KeepCurrentAttr) currentAttr.style &= static_cast<std::uint16_t>(~(kStyleInsertPoint | kStyleObject));
    switch (c) {
    case kFormFeed: {
        int off = OffsetInPar(cursor.par, cursor.line, cursor.pos);
        if ((cursor.par->flags & kParPageBreak) && off == 0) {
            cursor.par->flags &= static_cast<std::uint8_t>(~kParPageBreak);
        } else if (off == 0) {
            SaveForUndo();
            cursor.par->flags |= kParPageBreak;
        } else {
            TypeEnter(true);
        }
        Paginate();
        return 3;
    }
    case kBackspace: return TypeBackspace();
    case kDelete: return TypeDelete();
    case kEnter: return TypeEnter(false);
    default: break;
    }
    SaveForUndo();
    if (HasSelection() && !SelectionEmpty()) {
        // Typing over a selection that reaches into protected text is refused
        // whole, so nothing lands inside a protected run.
        if (!DeleteSelection()) return 0;
    }
    TParagraph* par = cursor.par;
    TLine* line = cursor.line;
    cursor.pos = std::clamp(cursor.pos, 0, line->Length());
    // Between two protected characters is inside protected text.
    if (cursor.pos > 0 && cursor.pos < line->Length() && !ProtectionTest(par, line, cursor.pos - 1, true) &&
        !ProtectionTest(par, line, cursor.pos, false))
        return 0;
    if (!ProtectionTest(par, nullptr, 0, false)) return 0;  // protected paragraph
    if (RichText() && (currentAttr.style & kStyleHidden) && !EditHidden && !KeepCurrentAttr) return 0;
    ReplaceInLine(line, cursor.pos, 0, std::string(1, static_cast<char>(c)), &currentAttr);
    if (par->numbering) FullReformatPending = true;
    int oldLeft = LeftOffset;
    int measured = 0;
    // The cursor stands after the new character; breaking the lines again
    // carries it to the line that character lands on.
    cursor = {par, line, cursor.pos + 1};
    // Only the lines around the typed character are laid out again.
    int broken = RelayoutEditedLine(par, line, measured);
    if (broken == 3 || measured == kMeasuredNextEmpty || c == kLineFeed) {
        Paginate();
        return 3;
    }
    if (LeftOffset != oldLeft) return 3;
    cursor.line->flags |= kLineChanged;
    return std::max(broken, 1);
}

int TJDRTFTextInput::TypeEnter(bool formFeed) {
    SaveForUndo();
    if (HasSelection() && !SelectionEmpty() && !DeleteSelection()) return 0;
    TParagraph* par = cursor.par;
    int off = OffsetInPar(par, cursor.line, cursor.pos);
    bool textStart = par == FirstParagraph() && off == 0;
    if (par->IsCell() && !textStart) {
        // Inside a cell Enter breaks the line, not the paragraph.
        int pos = std::clamp(cursor.pos, 0, cursor.line->Length());
        ReplaceInLine(cursor.line, pos, 0, std::string(1, '\n'), &currentAttr);
        MeasureParagraph(par);
        BreakParagraph(par);
        int after = off + 1;
        TLine* l = LineAtOffset(par, after);
        cursor = {par, l, after};
        Paginate();
        return 3;
    }
    if (!ProtectionTest(par, nullptr, 0, false)) return 0;
    TParagraph* created;
    if (textStart) {
        created = NewParagraph(nullptr);
        CopyParProps(*created, *par);
        created->flags &= static_cast<std::uint8_t>(~kParPageBreak);
        created->state = kParNeedsLayout;
        MeasureParagraph(created);
        BreakParagraph(created);
        // The new line sits above: the cursor's paragraph keeps its place in the text.
    } else {
        created = SplitParagraph(par, off);
        created->state = kParNeedsLayout;
        if (formFeed) created->flags |= kParPageBreak;
        MeasureParagraph(par);
        BreakParagraph(par);
        MeasureParagraph(created);
        BreakParagraph(created);
        cursor = {created, created->lines, 0};
        desiredX = 0;
    }
    if (AnyNumbered()) FullReformatPending = true;
    Paginate();
    TJDEngineServices::Call(services.OnNewParCreatedEvent, services.sender, created);
    return 3;
}

int TJDRTFTextInput::TypeDelete() {
    SaveForUndo();
    if (HasSelection() && !SelectionEmpty()) {
        DeleteSelection();
        return 3;
    }
    TParagraph* par = cursor.par;
    TLine* line = cursor.line;
    if (par->numbering) FullReformatPending = true;
    // The character at the cursor may sit on the next line when the cursor is at a line end.
    int o = std::max(cursor.pos, 0);
    TLine* l = line;
    while (l && o >= l->Length()) {
        o -= l->Length();
        l = l->next;
    }
    if (l) {
        if (!ProtectionTest(par, l, o, false)) return 0;
        ReplaceInLine(l, o, 1, std::string(), nullptr);
        // Only the lines around the deleted character are laid out again;
        // breaking them carries the cursor along.
        cursor = {par, l, o};
        int measured = 0;
        int broken = RelayoutEditedLine(par, l, measured);
        if (measured == kMeasuredNextEmpty || broken == 3) {
            Paginate();
            return 3;
        }
        return std::max(broken, 1);
    }
    if (!par->next) {
        // Delete at the very end clears the paragraph's look; there is nothing to join.
        par->border = 0;
        par->shading = 0;
        par->shadingPct = 0;
        par->flags = 0;
        return 3;
    }
    int off = OffsetInPar(par, line, cursor.pos);
    if (!JoinAtParagraphEnd(par)) return 0;
    // One paragraph less: the numbers below move up.
    if (AnyNumbered()) FullReformatPending = true;
    MeasureParagraph(par);
    BreakParagraph(par);
    TLine* cl = LineAtOffset(par, off);
    cursor = {par, cl, off};
    Paginate();
    RefreshSetMode();
    TJDEngineServices::Call(services.CaretUpdateCallback);
    return 3;
}

int TJDRTFTextInput::TypeBackspace() {
    SaveForUndo();
    if (HasSelection() && !SelectionEmpty()) {
        DeleteSelection();
        return 3;
    }
    TParagraph* par = cursor.par;
    if (cursor.pos == 0 && cursor.line == par->lines) {
        if (!par->prev || par->IsCell() || par->prev->IsCell()) return 0;
        TParagraph* prev = par->prev;
        TLine* last = LastLine(prev);
        cursor = {prev, last, last->Length()};
        return TypeDelete();
    }
    if (cursor.pos == 0) {
        TLine* pl = cursor.line->prev;
        if (pl->Length() == 0 || !ProtectionTest(par, pl, pl->Length() - 1, false)) return 0;
        cursor = {par, pl, pl->Length() - 1};
        return TypeDelete();
    }
    int p = cursor.pos - 1;
    // Hidden characters before the cursor go with the visible one in front of them.
    cursor.pos = p;
    return TypeDelete();
}

// --- selection removal ------------------------------------------------------------------

void TJDRTFTextInput::RemoveRange(TParagraph* par, int from, int to) {
    int base = 0;
    for (TLine* l = par->lines; l; l = l->next) {
        int len = l->Length();
        int s = std::max(from - base, 0), e = std::min(to - base, len);
        if (e > s) ReplaceInLine(l, s, e - s, std::string(), nullptr);
        base += len;
    }
    par->state |= kParNeedsLayout;
}

bool TJDRTFTextInput::DeleteSelection() {
    if (!HasSelection()) return false;
    if (selReversed) {
        std::swap(selStart, selEnd);
        selReversed = false;
    }
    TTextPos a = selStart, b = selEnd;
    auto charBefore = [&](const TTextPos& p, TParagraph*& par, TLine*& line, int& pos) {
        par = p.par;
        line = p.line;
        pos = p.pos - 1;
        if (pos >= 0) return true;
        if (line->prev) {
            line = line->prev;
            pos = line->Length() - 1;
            return pos >= 0;
        }
        return false;
    };
    auto protectedAt = [&](TParagraph* par, TLine* line, int pos) {
        return line && pos >= 0 && pos < line->Length() && !ProtectionTest(par, line, pos, true);
    };
    auto charAt = [&](const TTextPos& p, TLine*& line, int& pos) {
        line = p.line;
        pos = p.pos;
        while (line && pos >= line->Length() && line->next) {
            pos -= line->Length();
            line = line->next;
        }
        return line && pos < line->Length();
    };
    TParagraph* bp;
    TLine* bl;
    int bpos;
    TLine* l2;
    int p2;
    bool firstProt = charAt(a, l2, p2) && protectedAt(a.par, l2, p2);
    bool lastProt = charBefore(b, bp, bl, bpos) && protectedAt(bp, bl, bpos);
    bool beforeProt = charBefore(a, bp, bl, bpos) && protectedAt(bp, bl, bpos);
    bool afterProt = charAt(b, l2, p2) && protectedAt(b.par, l2, p2);
    bool walk = ((firstProt || lastProt) && (beforeProt || afterProt)) ||
                (protectedProp & ProtectBit(TProtectProps::ppProtectSelectedTextToo));
    if (walk) {
        for (TParagraph* p = a.par; p; p = p->next) {
            bool started = p != a.par;
            for (TLine* l = p->lines; l; l = l->next) {
                if (l == a.line) started = true;
                if (!started) continue;
                int from = l == a.line ? a.pos : 0;
                int to = l == b.line ? b.pos : l->Length();
                for (int i = from; i < to; ++i)
                    if (!ProtectionTest(p, l, i, true)) {
                        ProtectionTest(p, l, i, false);  // tells the owner
                        DropSelection();
                        cursor = {p, l, i};
                        TJDEngineServices::Call(services.SelectionChangedCallback);
                        return false;
                    }
                if (l == b.line) goto unprotected;
            }
        }
    }
unprotected:
    int aOff = OffsetInPar(a.par, a.line, a.pos);
    int bOff = OffsetInPar(b.par, b.line, b.pos);
    bool cells = false;
    for (TParagraph* p = a.par; p; p = p->next) {
        if (p->IsCell()) cells = true;
        if (p == b.par) break;
    }
    bool wholeRows = cells && aOff == 0 && !(a.par->flags & kParNotFirstCell) &&
                     bOff >= ParagraphLength(b.par) && !(b.par->flags & kParCellFollows);
    DropSelection();
    if (a.par == b.par) {
        RemoveRange(a.par, aOff, bOff);
    } else if (cells && !wholeRows) {
        // Cells keep their structure: only their text goes.
        RemoveRange(a.par, aOff, ParagraphLength(a.par));
        for (TParagraph* p = a.par->next; p && p != b.par; p = p->next) RemoveRange(p, 0, ParagraphLength(p));
        RemoveRange(b.par, 0, bOff);
    } else {
        RemoveRange(a.par, aOff, ParagraphLength(a.par));
        while (a.par->next && a.par->next != b.par) DeleteParagraph(a.par->next);
        RemoveRange(b.par, 0, bOff);
        if (wholeRows) {
            a.par->flags &= static_cast<std::uint8_t>(~(kParTableCell | kParCellFollows | kParNotFirstCell));
            b.par->flags &= static_cast<std::uint8_t>(~(kParTableCell | kParCellFollows | kParNotFirstCell));
        }
        // Joining is done on the model directly: the protection guard above already decided.
        bool saved = editProtected;
        editProtected = true;
        TProtectPropSet savedProps = protectedProp;
        protectedProp = 0;
        JoinAtParagraphEnd(a.par);
        protectedProp = savedProps;
        editProtected = saved;
        if (wholeRows) a.par->border &= ~static_cast<std::uint32_t>(kBorderBox);
    }
    int off = aOff;
    TLine* l = LineAtOffset(a.par, off);
    cursor = {a.par, l, off};
    MeasureParagraph(a.par);
    BreakParagraph(a.par);
    off = aOff;
    cursor = {a.par, LineAtOffset(a.par, off), off};
    if (cells && !wholeRows)
        for (TParagraph* p = a.par; p; p = p->next) {
            if (p->state & kParNeedsLayout) {
                MeasureParagraph(p);
                BreakParagraph(p);
            }
            if (p == b.par) break;
        }
    if (a.par != b.par && AnyNumbered()) {
        Renumber();
        MeasureAll();
        BreakAll();
        off = aOff;
        cursor = {a.par, LineAtOffset(a.par, off), off};
    }
    Paginate();
    selStartGiven_ = selLengthGiven_ = false;
    // The text may have become shorter than the container's scrolled range.
    if (services.owner) services.owner->UpdateScrollContainer();
    TJDEngineServices::Call(services.CaretUpdateCallback);
    TJDEngineServices::Call(services.SelectionChangedCallback);
    return true;
}

}  // namespace richtext
