// Line breaking, tab stops, indents, positions within lines and pagination.
#include <algorithm>

#include "richtext/view/text_paint.h"

namespace richtext {

namespace {
std::int32_t MulDiv(std::int64_t a, std::int64_t b, std::int64_t c) {
    if (c == 0) return 0;
    std::int64_t p = a * b, h = (c > 0 ? c : -c) / 2;
    std::int64_t q = ((p >= 0) == (c > 0)) ? (p + h) / c : (p - h) / c;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(q, INT32_MIN, INT32_MAX));
}
bool IsRightOrCentre(const TParagraph* p) { return p->alignment == 1 || p->alignment == 2; }

}  // namespace

// --- indents -----------------------------------------------------------------

// Cells take their share of the width lines are broken at, so a table
// follows the window under word wrap.
int TJDRTFTextPaint::TextWidthTwips() const {
    const TTextHeader& h = Header();
    if (h.resolutionX <= 0)
        return static_cast<int>(std::clamp<std::int64_t>(static_cast<std::int64_t>(h.pageWidth) - h.marginLeft - h.marginRight, INT32_MIN, INT32_MAX));
    return MulDiv(h.textWidth, 1440, h.resolutionX);
}

int TJDRTFTextPaint::LeftIndentPixels(const TParagraph* par, const TLine* line) const {
    return IndentPixels(par, !line || line == par->lines);
}

int TJDRTFTextPaint::IndentPixels(const TParagraph* par, bool first) const {
    const TTextHeader& h = Header();
    std::int64_t spacing = (par->border & kBorderOn) ? MulDiv(BorderSpacingNibble(par->border), 567, 10) : 0;
    if (par->IsCell() && par->cellWidth) {
        std::int64_t tw = TextWidthTwips();
        std::int64_t twips = (tw - par->rightIndent - par->leftIndent) * par->cellStart / 255 + par->leftIndent + spacing;
        return MulDiv(twips, h.resolutionX, 1440) + 1;
    }
    std::int64_t twips = static_cast<std::int64_t>(first ? par->firstIndent : par->leftIndent) + spacing;
    return MulDiv(twips, h.resolutionX, 1440) + ((par->flags & kParNotFirstCell) ? 0 : 1);
}

int TJDRTFTextPaint::RightIndentPixels(const TParagraph* par) const {
    const TTextHeader& h = Header();
    std::int64_t spacing = (par->border & kBorderOn) ? MulDiv(BorderSpacingNibble(par->border), 567, 10) : 0;
    if (par->IsCell() && par->cellWidth) {
        std::int64_t tw = TextWidthTwips();
        std::int64_t right = (par->cellStart + par->cellWidth) * (tw - par->rightIndent - par->leftIndent) / 255 +
                             par->leftIndent;
        return MulDiv(tw - right + spacing, h.resolutionX, 1440);
    }
    return MulDiv(static_cast<std::int64_t>(par->rightIndent) + spacing, h.resolutionX, 1440);
}

int TJDRTFTextPaint::CellLeftPixels(const TParagraph* par) const {
    if (!(par->IsCell() && par->cellWidth)) return 0;
    const TTextHeader& h = Header();
    std::int64_t tw = TextWidthTwips();
    return MulDiv((tw - par->rightIndent - par->leftIndent) * par->cellStart / 255 + par->leftIndent,
                  h.resolutionX, 1440);
}

int TJDRTFTextPaint::CellRightPixels(const TParagraph* par) const {
    if (!(par->IsCell() && par->cellWidth)) return Header().textWidth;
    return Header().textWidth - RightIndentPixels(par);
}

// --- tabs --------------------------------------------------------------------

int TJDRTFTextPaint::NextTabStop(const TParagraph* par, int x, const TLine* line, int tabIndex) {
    if (!line || tabIndex < 0 || tabIndex >= line->Length()) return NextTabStopIn(par, x, nullptr, nullptr, 0);
    bool rich = line->attrs.size() >= static_cast<std::size_t>(line->Length());
    return NextTabStopIn(par, x, line->text.data() + tabIndex + 1, rich ? line->attrs.data() + tabIndex + 1 : nullptr,
                         line->Length() - tabIndex - 1);
}

int TJDRTFTextPaint::NextTabStopIn(const TParagraph* par, int x, const char* after, const TJDCharAttr* attrs,
                                   int count) {
    const TTextHeader& h = Header();
    int cellLeft = CellLeftPixels(par);
    for (int k = 0; k < kTabSlots; ++k) {
        int slot = h.tabOrder[static_cast<std::size_t>(k)];
        if (!h.tabPos[static_cast<std::size_t>(slot)] || !par->HasTab(slot)) continue;
        int stop = h.tabPixels[static_cast<std::size_t>(slot)] + cellLeft;
        if (stop <= x) continue;
        auto kind = static_cast<TTabKind>(h.tabKind[static_cast<std::size_t>(slot)]);
        if (kind == TTabKind::tkLeft || kind == TTabKind::tkAll) return stop;
        if (stop > h.textWidth - RightIndentPixels(par)) return x;
        // Measure the text the stop aligns: up to the next TAB (or the decimal character).
        int w = 0;
        for (int i = 0; after && i < count; ++i) {
            char c = after[i];
            if (c == '\t' || c == 0 || (kind == TTabKind::tkDecimal && c == decimalChar)) break;
            w += attrs ? attrs[i].width : widths_[static_cast<unsigned char>(c)];
        }
        int target = kind == TTabKind::tkCenter ? stop - w / 2 : stop - w;
        return target >= x ? target : x;
    }
    int dtw = std::max(defaultTabWidth_, 1);
    return (x / dtw + 1) * dtw;
}

int TJDRTFTextPaint::LineTextWidth(const TLine* line) {
    int w = 0, pending = 0;
    bool rich = line->attrs.size() >= static_cast<std::size_t>(line->Length());
    for (int i = 0; i < line->Length(); ++i) {
        char c = line->text[static_cast<std::size_t>(i)];
        int cw = rich ? line->attrs[static_cast<std::size_t>(i)].width : widths_[static_cast<unsigned char>(c)];
        if (c == '\t') cw = widths_[32];
        if (c == ' ' || c == '\t') {
            pending += cw;
        } else if (c == '\n') {
            pending = 0;
        } else if (cw > 0) {
            w += pending + cw;
            pending = 0;
        }
    }
    return w;
}

// --- breaking ------------------------------------------------------------------

int TJDRTFTextPaint::OffsetInPar(const TParagraph* par, const TLine* line, int pos) {
    int off = 0;
    for (const TLine* l = par->lines; l && l != line; l = l->next) off += l->Length();
    return off + std::max(pos, 0);
}

int TJDRTFTextPaint::BreakParagraph(TParagraph* par) {
    if (!par || Locked()) return 0;
    return BreakLines(par, par->lines, nullptr);
}

// Breaks the lines from `from` to `to` (nullptr: to the paragraph's end)
// again. A window that stops before the paragraph's end must come out with
// its last line where it was (then the lines after it stand as they are);
// otherwise nothing is changed and -1 is returned, unless `force`: then the
// window is kept, its last line may be shorter than it could be, and it is
// marked so that the lines after it are broken again before they are painted.
int TJDRTFTextPaint::BreakLines(TParagraph* par, TLine* from, TLine* to, bool force) {
    const bool rich = RichText();
    if (!rich) SelectAttrMetrics(nullptr);
    TLine* const after = to ? to->next : nullptr;
    const bool atParStart = from == par->lines;
    const bool atParEnd = after == nullptr;

    // 1. Cursor and selection ends as offsets within the window.
    struct TEnd {
        TTextPos* p;
        int off = -1;
    } ends[3] = {{&cursor}, {&selStart}, {&selEnd}};
    for (auto& e : ends) {
        if (e.p->par != par || !e.p->line) continue;
        int off = 0;
        for (TLine* l = from; l != after; l = l->next) {
            if (l == e.p->line) {
                e.off = off + std::max(e.p->pos, 0);
                break;
            }
            off += l->Length();
        }
    }

    // The old lines as one stream; what the comparison needs of them is kept aside.
    struct TOldLine {
        int start, length, height, stretchWidth;
        long widthSum;
    };
    std::vector<TOldLine> oldLines;
    std::string st;
    std::vector<TJDCharAttr> sa;
    bool anySelected = false, reflowPending = false;
    int oldHeight = 0;
    const std::uint16_t layoutWord = from->layout;
    const std::int32_t oldTop = from->top;
    const int firstTextHeight = par->lines->textHeight, firstTextAscent = par->lines->textAscent;
    for (TLine* l = from; l != after; l = l->next) {
        oldHeight += l->height;
        if (l->selState) anySelected = true;
        if (l->flags & kLineReflowPending) reflowPending = true;
        long sum = 0;
        if (rich) {
            if (l->attrs.size() < static_cast<std::size_t>(l->Length())) l->attrs.resize(static_cast<std::size_t>(l->Length()), currentAttr);
            for (int k = 0; k < l->Length(); ++k) sum += l->attrs[static_cast<std::size_t>(k)].width;
        }
        oldLines.push_back({static_cast<int>(st.size()), l->Length(), l->height, l->stretchWidth, sum});
        if (!l->next && st.empty() && atParStart) {
            // One line (the usual case): take its buffers over instead of copying.
            st = std::move(l->text);
            if (rich) sa = std::move(l->attrs);
        } else {
            st += l->text;
            if (rich) sa.insert(sa.end(), l->attrs.begin(), l->attrs.end());
        }
    }
    const int n = static_cast<int>(st.size());
    const int blankW = widths_[32];
    const bool endsInLineFeed = n > 0 && st.back() == '\n';

    // 2-5. New lines.
    std::vector<TLine*> fresh;
    int start = 0, lastStart = 0;
    do {
        auto* nl = new TLine;
        nl->layout = layoutWord;
        const bool firstLine = fresh.empty() && atParStart;
        int indent = IndentPixels(par, firstLine);
        int avail = Header().textWidth - indent - RightIndentPixels(par);
        if (avail < 1) avail = 16;
        int x = 0, blanks = 0, gathered = 0, breakAt = -1, xBefore = 0, firstStretch = start;
        int i = start;
        bool widthStop = false;
        while (i < n) {
            const char c = st[static_cast<std::size_t>(i)];
            int w;
            if (c == '\t') {
                if (IsRightOrCentre(par)) {
                    w = rich ? sa[static_cast<std::size_t>(i)].width : blankW;
                } else {
                    w = NextTabStopIn(par, indent + x, st.data() + i + 1, rich ? sa.data() + i + 1 : nullptr,
                                      n - i - 1) - indent - x;
                    if (w < 0) w = 0;
                    if (rich) sa[static_cast<std::size_t>(i)].width = static_cast<std::uint16_t>(std::min(w, 65535));
                }
            } else {
                w = rich ? sa[static_cast<std::size_t>(i)].width : widths_[static_cast<unsigned char>(c)];
            }
            if (c != ' ' && c != '\t' && x + w >= avail && i > start) {
                widthStop = true;
                break;
            }
            if (c == ' ' || (c == '\t' && IsRightOrCentre(par))) {
                ++blanks;
                gathered += w;
                breakAt = i;
                xBefore = x;
            } else if (c == '\t') {
                blanks = 0;
                gathered = 0;
                breakAt = -1;
                firstStretch = i;
            }
            x += w;
            ++i;
            if (c == '\n') break;
            if (x >= avail) {
                widthStop = i < n;
                break;
            }
        }
        int end = i;
        int lineWidth = x;
        if (widthStop && breakAt >= start + 2 && i < n && st[static_cast<std::size_t>(i - 1)] != '\n') {
            end = breakAt + 1;
            lineWidth = xBefore;
        }
        if (end <= start) end = start + 1;  // at least one character a line
        if (end > n) end = n;
        const bool lastLine = end >= n && atParEnd;
        nl->width = lineWidth;
        if (par->alignment == 3 && blanks >= 2 && (!lastLine || (par->parFlags2 & 0x40))) {
            int room = (gathered + avail - lineWidth) - 6;
            // A line that is already full has nothing to hand out; stretching by a
            // negative amount would pull the words over each other.
            if (room > 0) {
                nl->stretchIndex = firstStretch - start;
                nl->stretchWidth = room / (blanks - 1);
                nl->stretchRemainder = room % (blanks - 1);
            }
        }
        if (start == 0 && end == n) {
            // The whole paragraph on one line (the usual case): the buffers move back.
            nl->text = std::move(st);
            if (rich) nl->attrs = std::move(sa);
        } else if (start < end) {
            nl->text.assign(st, static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
            if (rich) nl->attrs.assign(sa.begin() + start, sa.begin() + end);
        }
        fresh.push_back(nl);
        lastStart = start;
        start = end;
    } while (start < n);
    if (!atParEnd && lastStart != oldLines.back().start) {
        // The window's last line moved: the lines after it would too.
        if (!force) {
            for (TLine* l : fresh) delete l;
            return -1;
        }
        reflowPending = true;
    }
    if (reflowPending && !atParEnd) fresh.back()->flags |= kLineReflowPending;
    lastBroken_ = {par, fresh.front(), fresh.back()};
    // A paragraph that ends in a line feed gets an empty line for the cursor.
    if (endsInLineFeed && atParEnd) {
        auto* nl = new TLine;
        nl->layout = layoutWord;
        fresh.push_back(nl);
    }
    for (std::size_t k = 0; k < fresh.size(); ++k) {
        fresh[k]->prev = k ? fresh[k - 1] : from->prev;
        fresh[k]->next = k + 1 < fresh.size() ? fresh[k + 1] : after;
    }

    // Heights of the new lines from their characters.
    for (TLine* l : fresh) {
        int h = 0, a = 0;
        if (rich) {
            for (const auto& at : l->attrs) {
                h = std::max<int>(h, at.height);
                a = std::max<int>(a, at.ascent);
            }
        }
        if (l->Length() == 0 || !rich) {
            int eh = rich && firstTextHeight ? firstTextHeight : fontHeight_;
            int ea = rich && firstTextAscent ? firstTextAscent : fontAscent_;
            h = std::max(h, eh);
            a = std::max(a, ea);
        }
        l->textHeight = static_cast<std::uint16_t>(h);
        l->textAscent = static_cast<std::uint16_t>(a);
    }

    // 6. Selection repaint marks.
    if (anySelected) {
        bool endsHere = (ends[1].off >= 0) || (ends[2].off >= 0);
        for (TLine* l : fresh) l->selState = endsHere ? 0 : 3;
    }

    // Swap chains.
    TLine* old = from;
    if (from->prev) from->prev->next = fresh.front();
    else par->lines = fresh.front();
    if (after) after->prev = fresh.back();
    while (old != after) {
        TLine* nx = old->next;
        delete old;
        old = nx;
    }

    // 7. Offsets back into (line, position).
    for (int k = 0; k < 3; ++k) {
        auto& e = ends[k];
        if (e.off < 0) continue;
        int off = e.off;
        std::size_t at = 0;
        TLine* l = fresh.front();
        while (at + 1 < fresh.size() && (off > l->Length() || (k == 0 && off == l->Length()))) {
            off -= l->Length();
            l = fresh[++at];
        }
        e.p->line = l;
        e.p->pos = std::clamp(off, 0, l->Length());
    }
    if (anySelected && ((ends[1].off >= 0) || (ends[2].off >= 0)) && selStart.par && selEnd.par) {
        // Only the lines between the selection's ends are repainted.
        const TTextPos& a = selReversed ? selEnd : selStart;
        const TTextPos& b = selReversed ? selStart : selEnd;
        bool on = a.par != par;
        if (a.par == par)  // a selection that starts above the window covers its start
            for (TLine* l = par->lines; l != fresh.front(); l = l->next)
                if (l == a.line) on = true;
        if (b.par == par)
            for (TLine* l = par->lines; l != fresh.front(); l = l->next)
                if (l == b.line) on = false;
        for (TLine* l : fresh) {
            if (a.par == par && l == a.line) on = true;
            if (on) l->selState = 3;
            if (b.par == par && l == b.line) on = false;
        }
    }

    // 8. Tops.
    std::int32_t y = oldTop;
    int newHeight = 0;
    for (TLine* l : fresh) {
        ApplyLineRule(par, l);
        l->top = y;
        y += l->height;
        newHeight += l->height;
    }
    if (newHeight != oldHeight)
        for (TLine* l = after; l; l = l->next) {
            l->top = y;
            y += l->height;
        }

    // 9. Comparison against the old lines.
    int result = 0;
    if (newHeight != oldHeight) {
        result = 3;
    } else {
        std::size_t k = 0;
        int pos = 0;
        for (TLine* l : fresh) {
            if (k >= oldLines.size()) {
                result = 2;
                l->flags |= kLineChanged;
                ++k;
                continue;
            }
            const TOldLine& o = oldLines[k];
            long sum = 0;
            for (const auto& at : l->attrs) sum += at.width;
            bool same = o.height == l->height && o.length == l->Length() && o.start == pos &&
                        o.stretchWidth == l->stretchWidth && (!rich || o.widthSum == sum);
            if (!same) {
                l->flags |= kLineChanged;
                result = std::max(result, 1);
            }
            pos += l->Length();
            ++k;
        }
    }
    if (atParStart && atParEnd) par->state &= static_cast<std::uint8_t>(~kParMustBreak);
    return result;
}

// After an edit inside `line`: measures that line and breaks again only the
// lines around it, widening the window until its last line stands where it
// stood. Returns what BreakParagraph returns; `measured` gets what
// MeasureParagraph would.
int TJDRTFTextPaint::RelayoutEditedLine(TParagraph* par, TLine* line, int& measured) {
    measured = 0;
    lastBroken_ = {};
    if (!par || !line || Locked() || measuringPar_) return 0;
    int count = 0;
    for (TLine* l = par->lines; l && count <= kWindowedBreakMinLines; l = l->next) ++count;
    if (count <= kWindowedBreakMinLines || (par->state & kParNeedsLayout)) {
        measured = MeasureParagraph(par);
        return BreakParagraph(par);
    }
    {
        TBusy busy(measuringPar_);
        if (!RichText()) SelectAttrMetrics(nullptr);
        // The line keeps its old height until it is broken again, so that
        // the break sees a taller or lower line as a change of height.
        const std::uint16_t oldHeight = line->height, oldAscent = line->ascent;
        MeasureLine(par, line);
        line->height = oldHeight;
        line->ascent = oldAscent;
    }
    if (!measuringAll_ && par->next && !par->next->lines->next && par->next->lines->Length() == 0) {
        MeasureParagraph(par->next);
        measured = kMeasuredNextEmpty;
    }
    // Two lines before: what is typed may pull a word back to the line above.
    TLine* from = line;
    for (int k = 0; k < 2 && from->prev; ++k) from = from->prev;
    // A change that runs on through the lines (text of even line lengths can
    // move every line below) is followed for a screenful or so; the lines
    // further down are broken again when they come to be painted.
    for (int ahead = 2;; ahead *= 4) {
        TLine* to = line;
        for (int k = 0; k < ahead && to; ++k) to = to->next;
        bool last = ahead >= kWindowedBreakMaxLines;
        int r = BreakLines(par, from, to, last);
        if (r >= 0) return r;
    }
}

bool TJDRTFTextPaint::CompletePendingBreaks(int y, int bottom) {
    bool done = false;
    for (TParagraph* p = FirstParagraph(); p; p = p->next) {
        for (TLine* l = p->lines; l; l = l->next) {
            int top = l->top - TopOffset + topMargin;
            if (top + l->height + 1 <= y) continue;
            if (top >= bottom && !(paintOptions_ & poPaintOutside)) return done;
            if (l->flags & kLineReflowPending) {
                BreakLines(p, l, nullptr);
                done = true;
                break;  // the paragraph's lines were replaced from here on
            }
        }
    }
    return done;
}

void TJDRTFTextPaint::BreakAll() {
    if (breakingAll_ || Locked()) return;
    {
        TBusy busy(breakingAll_);
        bool wasRunning = layoutRunning_;
        layoutRunning_ = true;
        try {
            std::int64_t count = ParagraphCount(), done = 0;
            for (TParagraph* p = FirstParagraph(); p; p = p->next) {
                if (!(p->state & kParMustBreak)) continue;
                BreakParagraph(p);
                p->state &= static_cast<std::uint8_t>(~kParMustBreak);
                if (count > 100) ProgressUpdate(++done, count);
            }
        } catch (...) {
            layoutRunning_ = wasRunning;
            throw;
        }
        layoutRunning_ = wasRunning;
        documentHeight_ = ComputePageStarts();
    }
    if (!(paintOptions_ & poNoScroll)) {
        TJDEngineServices::Call(services.PaginationCallbacks[0]);
        TJDEngineServices::Call(services.PaginationCallbacks[1]);
    }
    if (!printJob) TJDEngineServices::Call(services.CaretUpdateCallback);
}

// --- pagination ----------------------------------------------------------------

void TJDRTFTextPaint::FixTableFlags() {
    for (TParagraph* p = FirstParagraph(); p; p = p->next) {
        std::uint8_t f = p->flags;
        if ((f & kParCellFollows) && !(p->next && (p->next->flags & kParNotFirstCell)))
            f &= static_cast<std::uint8_t>(~(kParCellFollows | kParTableCell));
        if ((f & kParNotFirstCell) && !(p->prev && (p->prev->flags & kParCellFollows)))
            f &= static_cast<std::uint8_t>(~(kParNotFirstCell | kParTableCell));
        if ((f & (kParNotFirstCell | kParCellFollows)) && !(f & kParTableCell))
            f &= static_cast<std::uint8_t>(~(kParNotFirstCell | kParCellFollows));
        if ((f & kParTableCell) && !(f & (kParNotFirstCell | kParCellFollows)))
            f &= static_cast<std::uint8_t>(~kParTableCell);
        if (f != p->flags) {
            p->flags = f;
            p->spaceAfter = 0;
        }
    }
}

int TJDRTFTextPaint::PaginateLines() {
    FixTableFlags();
    const TTextHeader& h = Header();
    int resY = h.resolutionY;
    int pageH = MulDiv(h.pageHeight - h.marginTop - h.marginBottom, resY, 1440);
    if (printJob && printScale > 0) pageH = static_cast<int>(pageH * printScale);
    std::int32_t y = 0, pageTop = 0;
    auto crosses = [&](std::int32_t top, int height) {
        // A line that does not fit below the page top starts the next page.
        return pageH > 0 && top > pageTop && top + height > pageTop + pageH;
    };
    for (TParagraph* p = FirstParagraph(); p;) {
        if ((p->flags & kParPageBreak) && p != FirstParagraph()) pageTop = y;
        if (p->IsCell() && (p->flags & kParCellFollows) && !(p->flags & kParNotFirstCell)) {
            // A table row: its cells side by side, as tall as the tallest.
            TParagraph* last = p;
            while (last->next && (last->flags & kParCellFollows)) last = last->next;
            std::int32_t rowTop = y;
            int rowH = 0;
            std::vector<int> content;
            for (TParagraph* c = p;; c = c->next) {
                int ch = 0;
                for (TLine* l = c->lines; l; l = l->next) ch += l->height;
                if (c->spaceAfter > 0) ch -= MulDiv(c->spaceAfter, std::max(resY, 1), 1440);
                content.push_back(ch);
                rowH = std::max(rowH, ch);
                if (c == last) break;
            }
            std::size_t k = 0;
            for (TParagraph* c = p;; c = c->next, ++k) {
                int diff = rowH - content[k];
                c->spaceAfter = MulDiv(diff, 1440, resY ? resY : 96);
                TLine* ll = LastLine(c);
                ApplyLineRule(c, ll);
                std::int32_t cy = rowTop;
                int total = 0;
                for (TLine* l = c->lines; l; l = l->next) total += l->height;
                if (total != rowH) ll->height = static_cast<std::uint16_t>(std::max(0, ll->height + rowH - total));
                for (TLine* l = c->lines; l; l = l->next) {
                    l->flags &= static_cast<std::uint8_t>(~kLinePageStart);
                    l->top = cy;
                    cy += l->height;
                }
                if (c == last) break;
            }
            if (crosses(rowTop, rowH)) {
                p->lines->flags |= kLinePageStart;
                pageTop = rowTop;
            }
            y = rowTop + rowH;
            p = last->next;
            continue;
        }
        for (TLine* l = p->lines; l; l = l->next) {
            l->flags &= static_cast<std::uint8_t>(~kLinePageStart);
            l->top = y;
            if (crosses(y, l->height)) {
                TLine* f = p->lines;
                if ((p->flags & kParKeepTogether) && f != l && f->top > pageTop && !(f->flags & kLinePageStart)) {
                    f->flags |= kLinePageStart;
                    pageTop = f->top;
                } else {
                    l->flags |= kLinePageStart;
                    pageTop = y;
                }
            }
            y += l->height;
        }
        p = p->next;
    }
    return y;
}

int TJDRTFTextPaint::ComputePageStarts() {
    // A paragraph that lost its cell flags was broken at the cell's width.
    if (RepairTableFlags() && !Locked())
        for (TParagraph* p = FirstParagraph(); p; p = p->next) {
            if (p->state & kParMustMeasure) MeasureParagraph(p);
            if (p->state & kParMustBreak) BreakParagraph(p);
        }
    return PaginateLines();
}

void TJDRTFTextPaint::Paginate() {
    if (Locked() || paginating_ || layoutRunning_) return;
    {
        TBusy busy(paginating_);
        documentHeight_ = ComputePageStarts();
    }
    if (!(paintOptions_ & poNoScroll)) {
        TJDEngineServices::Call(services.PaginationCallbacks[0]);
        TJDEngineServices::Call(services.PaginationCallbacks[1]);
    }
    TJDEngineServices::Call(services.StatusCallback);
    TJDEngineServices::Call(services.VScrollCallback);
}

// --- positions -------------------------------------------------------------------

void TJDRTFTextPaint::LineAdvances(const TParagraph* par, const TLine* line, std::vector<int>& dx) {
    const int n = line->Length();
    dx.assign(static_cast<std::size_t>(n), 0);
    const bool rich = line->attrs.size() >= static_cast<std::size_t>(n);
    if (!rich) SelectAttrMetrics(nullptr);
    int indent = LeftIndentPixels(par, line);
    int x = 0, stretched = 0;
    for (int i = 0; i < n; ++i) {
        char c = line->text[static_cast<std::size_t>(i)];
        int w = rich ? line->attrs[static_cast<std::size_t>(i)].width : widths_[static_cast<unsigned char>(c)];
        if (!IsRightOrCentre(par)) {
            if (c == '\t') {
                // Breaking stored a TAB's reach in its entry; plain lines work it out here.
                if (!rich) w = std::max(0, NextTabStop(par, indent + x, line, i) - indent - x);
            } else if (c == ' ' && line->stretchIndex >= 0 && i >= line->stretchIndex) {
                w = line->stretchWidth + (stretched < line->stretchRemainder ? 1 : 0);
                ++stretched;
            }
        }
        dx[static_cast<std::size_t>(i)] = w;
        x += w;
    }
}

int TJDRTFTextPaint::LineLeft(const TParagraph* par, const TLine* line) {
    int left = LeftIndentPixels(par, line);
    if (par->alignment == 1 || par->alignment == 2) {
        TLine* l = const_cast<TLine*>(line);
        int freeW = Header().textWidth - LineTextWidth(l) - left - RightIndentPixels(par);
        if (par->IsCell() && par->cellWidth) freeW = CellRightPixels(par) - LineTextWidth(l) - left;
        if (par->alignment == 2 && freeW > 1) left += freeW / 2;
        else if (par->alignment == 1 && freeW > 0) left += freeW;
    }
    return left;
}

int TJDRTFTextPaint::XOfPosition(const TParagraph* par, const TLine* line, int pos) {
    if (!par || !line) return 0;
    std::vector<int> dx;
    LineAdvances(par, line, dx);
    pos = std::clamp(pos, 0, line->Length());
    int x = LineLeft(par, line);
    for (int i = 0; i < pos; ++i) x += dx[static_cast<std::size_t>(i)];
    return x;
}

int TJDRTFTextPaint::PositionAtX(const TParagraph* par, const TLine* line, int x) {
    if (!par || !line) return 0;
    std::vector<int> dx;
    LineAdvances(par, line, dx);
    int cx = LineLeft(par, line);
    int n = line->Length();
    // A line feed or trailing end: the cursor stands before it.
    int maxPos = (n > 0 && line->text.back() == '\n') ? n - 1 : n;
    for (int i = 0; i < maxPos; ++i) {
        int w = dx[static_cast<std::size_t>(i)];
        if (x < cx + (w + 1) / 2) return i;
        cx += w;
    }
    // The end of a wrapped line is the start of the next one; stay before its last blank.
    if (line->next && maxPos == n && n > 0) return n - 1;
    return maxPos;
}

bool TJDRTFTextPaint::LineAtPoint(int x, int y, TParagraph*& par, TLine*& line) {
    par = nullptr;
    line = nullptr;
    TParagraph* lastPar = nullptr;
    TLine* lastLine = nullptr;
    for (TParagraph* p = FirstParagraph(); p; p = p->next) {
        for (TLine* l = p->lines; l; l = l->next) {
            lastPar = p;
            lastLine = l;
            if (y < l->top || y >= l->top + l->height) continue;
            // Cells of one row share their tops: take the cell under x.
            if (p->IsCell() && p->cellWidth) {
                int left = CellLeftPixels(p), right = CellRightPixels(p);
                bool lastCell = !(p->flags & kParCellFollows);
                if (x < left || (x >= right && !lastCell)) continue;
            }
            par = p;
            line = l;
            return true;
        }
    }
    par = lastPar;
    line = lastLine;
    return false;
}

}  // namespace richtext
