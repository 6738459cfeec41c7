// Character and paragraph formats, numbering, tables and objects.
#include <algorithm>

#include "richtext/view/text_input.h"

namespace richtext {

namespace {
std::int32_t MulDiv(std::int64_t a, std::int64_t b, std::int64_t c) {
    if (c == 0) return 0;
    std::int64_t p = a * b, h = (c > 0 ? c : -c) / 2;
    return static_cast<std::int32_t>(((p >= 0) == (c > 0)) ? (p + h) / c : (p - h) / c);
}
constexpr std::uint16_t kCharStyles = kStyleBold | kStyleItalic | kStyleUnderline | kStyleStrikeOut;
}  // namespace

template <typename F>
void TJDRTFTextInput::ForSelectedParagraphs(F f) {
    if (HasSelection() && !SelectionEmpty()) {
        TParagraph* a = selReversed ? selEnd.par : selStart.par;
        TParagraph* b = selReversed ? selStart.par : selEnd.par;
        for (TParagraph* p = a; p; p = p->next) {
            f(p);
            if (p == b) break;
        }
    } else if (cursor.par) {
        f(cursor.par);
    }
}

void TJDRTFTextInput::Relayout() {
    MeasureAll();
    BreakAll();
    RepaintWindow();
}

// --- characters ----------------------------------------------------------------

void TJDRTFTextInput::ApplyCharAttr(TLine* line, int index, std::uint32_t mask, const TJDCharAttr& t) {
    TJDCharAttr* ap = &currentAttr;
    if (line) {
        if (index < 0 || index >= static_cast<int>(line->attrs.size())) return;
        ap = &line->attrs[static_cast<std::size_t>(index)];
    }
    TJDCharAttr& a = *ap;
    if (mask & amFont) a.font = t.font;
    if (mask & amSize) a.size = t.size;
    if (mask & amTextColor) a.SetTextColor(t.TextColor());
    if (mask & amBackColor) a.SetBackColor(t.BackColor());
    if (mask & amStyleOr) a.style |= t.style;
    if (mask & amStyleClear) a.style &= static_cast<std::uint16_t>(~t.style);
    if (mask & amStyleSet) {
        a.style &= static_cast<std::uint16_t>(~(kStyleRtfCode | kStyleHidden | kStyleSuper | kStyleSub | kCharStyles));
        a.style |= t.style;
    }
    if (mask & amStyleReplace) {
        a.style &= static_cast<std::uint16_t>(~(kStyleSuper | kStyleSub | kCharStyles));
        a.style |= t.style;
    }
    if (a.style & (kStyleSuper | kStyleFootnote)) a.style &= static_cast<std::uint16_t>(~kStyleSub);
    else if (a.style & kStyleSub) a.style &= static_cast<std::uint16_t>(~kStyleSuper);
    if (!line) return;
    char c = line->text[static_cast<std::size_t>(index)];
    if ((a.style & kStyleObject) && (c == 1 || c == 2)) return;
    SelectAttrMetrics(&a);
    if (Collapsed(a)) {
        a.width = a.height = a.ascent = 0;
        return;
    }
    a.width = static_cast<std::uint16_t>(std::max(1, WidthTable()[c == '\t' ? 32 : static_cast<unsigned char>(c)]));
    a.height = static_cast<std::uint16_t>(FontHeight());
    a.ascent = static_cast<std::uint16_t>(FontAscent());
    line->textHeight = std::max(line->textHeight, a.height);
    line->textAscent = std::max(line->textAscent, a.ascent);
}

void TJDRTFTextInput::ApplyAttribute(std::uint32_t mask, const TJDCharAttr& tmpl) {
    if (readOnly) return;
    if (HasSelection() && !SelectionEmpty() && RichText()) {
        SaveForUndo();
        const TTextPos& a = selReversed ? selEnd : selStart;
        const TTextPos& b = selReversed ? selStart : selEnd;
        bool inside = false;
        for (TParagraph* p = a.par; p; p = p->next) {
            for (TLine* l = p->lines; l; l = l->next) {
                if (l == a.line) inside = true;
                if (!inside) continue;
                int from = l == a.line ? a.pos : 0;
                int to = l == b.line ? b.pos : l->Length();
                for (int i = from; i < to; ++i) ApplyCharAttr(l, i, mask, tmpl);
                p->state |= kParMustBreak;
                if (l == b.line) goto applied;
            }
        }
    applied:
        for (TParagraph* p = a.par; p; p = p->next) {
            p->state |= kParNeedsLayout;
            if (p == b.par) break;
        }
        MeasureAll();
        BreakAll();
        RepaintWindow();
        CheckCaretVisible();
        ScrollToCursor();
    }
    ApplyCharAttr(nullptr, 0, mask, tmpl);
    SelectAttrFont(nullptr);
    if (!RichText()) FormatAll();
    if (services.setMode && !HeldBack()) services.setMode->RefreshAttributes();
}

void TJDRTFTextInput::SetSelStyleBit(std::uint16_t bit, bool on) {
    TJDCharAttr t;
    t.style = bit;
    ApplyAttribute(on ? amStyleOr : amStyleClear, t);
}

// --- paragraphs ------------------------------------------------------------------

void TJDRTFTextInput::SetIndents(int first, int left, int right) {
    if (readOnly) return;
    SaveForUndo();
    auto keep = [](int v) { return v == -1000 || v >= 65000; };
    auto set = [&](TParagraph* p) {
        if (!keep(first)) p->firstIndent = first;
        if (!keep(left)) p->leftIndent = left;
        if (!keep(right)) p->rightIndent = right;
        p->state |= kParNeedsLayout;
    };
    ForSelectedParagraphs([&](TParagraph* p) {
        if (p->IsCell()) {
            // A row shares its indents.
            TParagraph* r = p;
            while (r->prev && (r->flags & kParNotFirstCell)) r = r->prev;
            for (; r; r = r->next) {
                set(r);
                if (!(r->flags & kParCellFollows)) break;
            }
        } else {
            set(p);
        }
    });
    Relayout();
}

void TJDRTFTextInput::SetAlignment(std::uint8_t alignment) {
    if (readOnly) return;
    SaveForUndo();
    ForSelectedParagraphs([&](TParagraph* p) {
        p->alignment = static_cast<std::uint8_t>(std::min<int>(alignment, 3));
        p->state |= kParNeedsLayout;
    });
    Relayout();
}

void TJDRTFTextInput::SetTabs(std::uint64_t slots, bool add) {
    if (readOnly) return;
    SaveForUndo();
    ForSelectedParagraphs([&](TParagraph* p) {
        for (int s = 0; s < kTabSlots; ++s) {
            if (!((slots >> s) & 1)) continue;
            auto& word = p->tabs[static_cast<std::size_t>(s / 16)];
            auto bit = static_cast<std::uint16_t>(1u << (s % 16));
            word = add ? static_cast<std::uint16_t>(word | bit) : static_cast<std::uint16_t>(word & ~bit);
        }
        p->state |= kParNeedsLayout;
    });
    Relayout();
}

void TJDRTFTextInput::SetSpacing(int mode, int before, int after, int lineSpacing) {
    if (readOnly) return;
    SaveForUndo();
    auto set = [&](TParagraph* p) {
        if (mode == 0) {
            if (before != -1000) p->spaceBefore = before;
            if (after != -1000) p->spaceAfter = after;
            if (lineSpacing != -1000) p->lineSpacing = lineSpacing;
        } else {
            p->spaceBefore += before;
            p->spaceAfter += after;
            p->lineSpacing += lineSpacing;
        }
        p->state |= kParNeedsLayout;
    };
    ForSelectedParagraphs([&](TParagraph* p) {
        if (p->IsCell()) {
            TParagraph* r = p;
            while (r->prev && (r->flags & kParNotFirstCell)) r = r->prev;
            for (; r; r = r->next) {
                set(r);
                if (!(r->flags & kParCellFollows)) break;
            }
        } else {
            set(p);
        }
    });
    Relayout();
}

void TJDRTFTextInput::SetBorders(std::uint32_t border, int widthTwips, int colorIndex, int spacing) {
    if (readOnly) return;
    SaveForUndo();
    // Colour and spacing are 4-bit fields: values beyond them take the largest (15 is a real colour and spacing).
    std::uint32_t word = (border & 0xFFFF) | ((static_cast<std::uint32_t>(std::clamp(widthTwips / 20, 0, 255))) << 16) |
                         ((static_cast<std::uint32_t>(std::clamp(colorIndex, 0, 15)) +
                           16u * static_cast<std::uint32_t>(std::clamp(spacing, 0, 15)))
                          << 24);
    ForSelectedParagraphs([&](TParagraph* p) {
        p->border = word;
        p->state |= kParNeedsLayout;
    });
    // Neighbours with another border end their group where this one starts.
    for (TParagraph* p = FirstParagraph(); p && p->next; p = p->next) {
        TParagraph* q = p->next;
        if ((p->border & kBorderOn) && (q->border & kBorderOn) &&
            (p->border & ~kBorderGroupEnd) != (q->border & ~kBorderGroupEnd))
            p->border |= kBorderGroupEnd;
    }
    Relayout();
}

void TJDRTFTextInput::SetShading(std::uint8_t shading, std::uint8_t percent) {
    if (readOnly) return;
    SaveForUndo();
    ForSelectedParagraphs([&](TParagraph* p) {
        p->shading = shading;
        p->shadingPct = std::min<std::uint8_t>(percent, 100);
    });
    RepaintWindow();
}

void TJDRTFTextInput::SetNumbering(int style, int level) {
    if (readOnly) return;
    SaveForUndo();
    style = std::clamp(style, 0, 7);
    level = std::clamp(level, 0, 15);
    if (style == 0) {
        TParagraph* p = cursor.par;
        int old = NumberingPrefix(p);
        p->numbering = 0;
        if (old) {
            int off = OffsetInPar(p, cursor.line, cursor.pos);
            RemoveRange(p, 0, old);
            off = std::max(0, off - old);
            cursor.line = p->lines;
            cursor.pos = std::min(off, p->lines->Length());
        }
        p->state |= kParNeedsLayout;
    } else {
        ForSelectedParagraphs([&](TParagraph* p) {
            p->numbering = static_cast<std::uint8_t>(style * 16 + level);
            p->state |= kParNeedsLayout;
        });
    }
    Renumber();
    Relayout();
}

bool TJDRTFTextInput::InsertTableAtCursor(int rows, int cols, bool borders) {
    if (readOnly || !cursor.par || cursor.par->IsCell() || rows < 1 || cols < 1) return false;
    SaveForUndo();
    std::uint32_t border = borders ? (kBorderOn | kBorderBox) : 0;
    TParagraph* firstCell = CreateTable(cursor.par, rows, cols, border, 0, 0);
    if (!firstCell) return false;
    for (TParagraph* p = firstCell; p && p->IsCell(); p = p->next) p->state |= kParNeedsLayout;
    cursor = {firstCell, firstCell->lines, 0};
    TJDEngineServices::Call(services.OnNewParCreatedEvent, services.sender, firstCell);
    Relayout();
    ScrollToCursor();
    return true;
}

void TJDRTFTextInput::InsertObjectAtCursor(std::shared_ptr<plat::TGraphic> object, int id, int widthTwips,
                                           int heightTwips) {
    if (!object) throw ERichTextError("No object to insert");
    if (readOnly) return;
    TJDObjectRecord* rec;
    std::uint16_t tag;
    if (id == -1) {
        rec = AddObject(std::move(object), 0xFFFF);
        tag = rec->tag;
    } else if (id == 0) {
        rec = AddObject(std::move(object), 0);
        tag = rec->id;
    } else {
        rec = AddObject(std::move(object), static_cast<std::uint16_t>(id));
        tag = static_cast<std::uint16_t>(id);
    }
    rec->width = widthTwips;
    rec->height = heightTwips;
    TJDCharAttr saved = currentAttr;
    currentAttr.tag = tag;
    currentAttr.width = static_cast<std::uint16_t>(std::clamp(MulDiv(widthTwips, Header().resolutionX, 1440), 0, 65535));
    currentAttr.height = static_cast<std::uint16_t>(std::clamp(MulDiv(heightTwips, Header().resolutionY, 1440), 0, 65535));
    currentAttr.ascent = currentAttr.height;
    currentAttr.style = static_cast<std::uint16_t>((currentAttr.style | kStyleObject) & ~(kStyleInsertPoint | kStyleAutomatic));
    KeepCurrentAttr = true;
    try {
        InputString(std::string(1, '\x01'));
    } catch (...) {
        KeepCurrentAttr = false;
        currentAttr = saved;
        throw;
    }
    KeepCurrentAttr = false;
    currentAttr.tag = 0;
    currentAttr.style &= static_cast<std::uint16_t>(~kStyleObject);
}

}  // namespace richtext
