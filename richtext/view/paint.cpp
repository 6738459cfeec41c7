// Drawing laid-out lines, objects and the background; scrolling the window
// and keeping the cursor in view.
#include <algorithm>
#include <filesystem>

#include "platform/imaging/graphic.h"
#include "richtext/view/text_paint.h"

namespace richtext {

namespace {
constexpr std::size_t kMaxPaintedObjects = 30;
constexpr int kMaxRun = 100;
constexpr plat::COLORREF kWhite = 0xFFFFFF;
int MulDivPx(std::int64_t twips, std::int64_t res) { return static_cast<int>((twips * res + 720) / 1440); }

int ComparePos(const TJDRTFTextPaint& m, const TTextPos& a, const TTextPos& b) { return m.ComparePositions(a, b); }
}  // namespace

int TJDRTFTextPaint::ComparePositions(const TTextPos& a, const TTextPos& b) const {
    if (a.par != b.par) return ParagraphIndex(a.par) < ParagraphIndex(b.par) ? -1 : 1;
    if (a.line != b.line) {
        for (const TLine* l = a.par->lines; l; l = l->next) {
            if (l == a.line) return -1;
            if (l == b.line) return 1;
        }
    }
    return a.pos < b.pos ? -1 : (a.pos > b.pos ? 1 : 0);
}

void TJDRTFTextPaint::ClearText() {
    paintedObjects_.clear();
    TJDRTFTextIo::ClearText();
    TopOffset = 0;
    desiredX = 0;
    caretTop = 0;
    FormatAll();
}

void TJDRTFTextPaint::SetColorEntry(int index, plat::COLORREF color) {
    if (index < 0 || index >= kColorCount) return;
    auto& e = Header().colors[static_cast<std::size_t>(index)];
    e.red = static_cast<std::uint8_t>(plat::GetRValue(color));
    e.green = static_cast<std::uint8_t>(plat::GetGValue(color));
    e.blue = static_cast<std::uint8_t>(plat::GetBValue(color));
}

plat::COLORREF TJDRTFTextPaint::GetColorEntry(int index) const {
    if (index < 0 || index >= kColorCount) return 0;
    return ColorOf(index);
}

void TJDRTFTextPaint::PageBackgroundNamed(const std::string& name) {
    std::filesystem::path path(name);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec) && !pictureBaseDir.empty()) path = pictureBaseDir / name;
    std::unique_ptr<plat::TGraphic> g = plat::LoadGraphicFile(path);
    // A picture that cannot be read leaves the background as it was.
    if (g) SetBackgroundPicture(std::shared_ptr<plat::TGraphic>(std::move(g)), true);
}

void TJDRTFTextPaint::SetBackgroundPicture(std::shared_ptr<plat::TGraphic> picture, bool scrolls) {
    background_ = std::move(picture);
    backgroundScrolls_ = scrolls;
}

// --- whole window ------------------------------------------------------------

void TJDRTFTextPaint::Repaint() {
    if (formattingAll_ || printJob || postponeRepaint || Locked()) return;
    paintedObjects_.clear();
    selectedObjectRect_ = {};
    RepaintWindow();
}

void TJDRTFTextPaint::RepaintWindow() {
    if (formattingAll_ || printJob || postponeRepaint || Locked() || HeldBack() || !shown || !canvas_) return;
    if (!(paintOptions_ & poNoClip)) canvas_->SetClipRect(nullptr);
    if (!FirstParagraph()) {
        plat::TRect all{0, 0, windowWidth_, windowHeight_};
        canvas_->FillRect(all, (paintOptions_ & poWhitePaper) ? kWhite : paperColor);
        SelectAttrFont(nullptr);
        plat::TSize ext = canvas_->TextExtent("<empty>");
        canvas_->ExtTextOut((windowWidth_ - ext.cx) / 2, (windowHeight_ - ext.cy) / 2 + fontAscent_, nullptr, false,
                            false, "<empty>", nullptr);
        return;
    }
    PaintRect(0, 0, windowWidth_, windowHeight_);
}

bool TJDRTFTextPaint::PaintBackground(const plat::TRect& r) {
    if (!canvas_ || !background_ || (paintOptions_ & (poTransparent | poNoBackgroundPicture))) return false;
    int w = background_->Width(), h = background_->Height();
    if (w <= 0 || h <= 0) return false;
    int ox = backgroundScrolls_ ? LeftOffset : 0, oy = backgroundScrolls_ ? -TopOffset : 0;
    auto floorTo = [](int v, int step, int off) {
        int k = (v - off) / step;
        if ((v - off) % step < 0) --k;
        return k * step + off;
    };
    canvas_->SetClipRect(&r);
    for (int y = floorTo(r.top, h, oy % h); y < r.bottom; y += h)
        for (int x = floorTo(r.left, w, ox % w); x < r.right; x += w)
            canvas_->StretchPicture({x, y, x + w, y + h}, background_.get());
    if (paintOptions_ & poNoClip) canvas_->SetClipRect(nullptr);
    return true;
}

void TJDRTFTextPaint::PaintRect(int x, int y, int width, int height) {
    if (width <= 0 || height <= 0 || formattingAll_ || HeldBack() || Locked() || !canvas_ || printJob) return;
    if (CompletePendingBreaks(y, y + height)) Paginate();
    TJDEngineServices::Call(services.CaretHideCallback);
    plat::TRect clip{x - 1, y - 1, x + width + 2, y + height + 2};
    if (!(paintOptions_ & poNoClip)) canvas_->SetClipRect(&clip);
    auto fillBack = [&](const plat::TRect& r) {
        if (r.Empty() || (paintOptions_ & (poNoPaperFill | poTransparent))) return;
        if (!PaintBackground(r)) canvas_->FillRect(r, (paintOptions_ & poWhitePaper) ? kWhite : paperColor);
    };
    const int bottom = y + height;
    bool first = true;
    int painted = 0, lastBottom = y;
    for (TParagraph* p = FirstParagraph(); p; p = p->next) {
        if ((paintOptions_ & poOnePage) && (p->flags & kParPageBreak) && painted > 3) goto done;
        for (TLine* l = p->lines; l; l = l->next) {
            int top = l->top - TopOffset + topMargin;
            if (top + l->height + 1 <= y) continue;
            if (top >= bottom && !(paintOptions_ & poPaintOutside)) goto done;
            if ((paintOptions_ & poOnePage) && (l->flags & kLinePageStart) && painted >= 3) goto done;
            if (first) {
                fillBack({x, y, x + width, top});
                first = false;
            }
            PaintLine(p, l);
            ++painted;
            lastBottom = top + l->height;
        }
    }
done:
    if (first) lastBottom = y;
    if (lastBottom < bottom) fillBack({x, lastBottom, x + width, bottom});
    // The strip's clip must not outlive it: a later scroll or line would be cut to it.
    if (!(paintOptions_ & poNoClip)) canvas_->SetClipRect(nullptr);
    TJDEngineServices::Call(services.CaretShowCallback);
}

// --- one line ------------------------------------------------------------------------

void TJDRTFTextPaint::Redraw(TParagraph* par, TLine* line) {
    if (!canvas_ || !shown || HeldBack()) return;
    if (!(paintOptions_ & poNoClip)) canvas_->SetClipRect(nullptr);
    PaintLine(par, line);
}

void TJDRTFTextPaint::PaintLine(TParagraph* par, TLine* line) {
    if (!canvas_ || !par || !line) return;
    const int top = line->top - TopOffset + topMargin;
    if ((paintOptions_ & poWholeLinesOnly) && top + line->height > windowHeight_) return;
    // A page goes to paper whether or not the control is on screen.
    if (!shown && !printJob) return;
    if (!(paintOptions_ & poPaintOutside) && (top + line->height <= 0 || top >= windowHeight_)) return;
    if (!HeldBack()) TJDEngineServices::Call(services.CaretHideCallback);
    const int n = line->Length();
    const int xShift = leftMargin + ((paintOptions_ & poIgnoreLeftOffset) ? 0 : LeftOffset);
    const int left = LineLeft(par, line) + xShift;
    const plat::COLORREF paper = (paintOptions_ & poWhitePaper) ? kWhite : paperColor;
    const bool transparent = paintOptions_ & poTransparent;
    const bool picture = background_ && !(paintOptions_ & poNoBackgroundPicture);
    auto fillBack = [&](const plat::TRect& r) {
        if (r.Empty() || transparent || (paintOptions_ & poNoPaperFill)) return;
        if (!PaintBackground(r)) canvas_->FillRect(r, paper);
    };

    // 2. The selected range within this line.
    int selFrom = 0, selTo = 0;
    if (HasSelection() && !(paintOptions_ & poNoSelection) && line->selState >= 2) {
        const TTextPos& a = selReversed ? selEnd : selStart;
        const TTextPos& b = selReversed ? selStart : selEnd;
        TTextPos lineStart{par, line, 0}, lineEnd{par, line, n};
        if (ComparePos(*this, a, lineEnd) < 0 || (a.line == line)) {
            selFrom = (a.line == line) ? std::clamp(a.pos, 0, n) : (ComparePos(*this, a, lineStart) <= 0 ? 0 : n);
            selTo = (b.line == line) ? std::clamp(b.pos, 0, n) : (ComparePos(*this, b, lineEnd) >= 0 ? n : 0);
            if (b.line == line && par->IsCell() && !line->next && b.pos >= n) selTo = n;
            if (ComparePos(*this, b, lineStart) <= 0 && b.line != line) selTo = selFrom;
        }
        if (selTo < selFrom) selTo = selFrom;
        line->selState = (selTo > selFrom) ? ((selFrom == 0 && selTo == n) ? 2 : 3) : 0;
        if (selTo <= selFrom) selFrom = selTo = 0;
    } else {
        line->selState = 0;
    }

    // 3. Entries carrying the selection mark; plain lines get temporary ones.
    std::vector<TJDCharAttr> temp;
    std::vector<TJDCharAttr>* attrs = &line->attrs;
    std::vector<int> dx;
    LineAdvances(par, line, dx);
    if (line->attrs.size() < static_cast<std::size_t>(n)) {
        SelectAttrMetrics(nullptr);
        temp.assign(static_cast<std::size_t>(n), currentAttr);
        for (int i = 0; i < n; ++i) {
            temp[static_cast<std::size_t>(i)].width = static_cast<std::uint16_t>(dx[static_cast<std::size_t>(i)]);
            temp[static_cast<std::size_t>(i)].height = static_cast<std::uint16_t>(fontHeight_);
            temp[static_cast<std::size_t>(i)].ascent = static_cast<std::uint16_t>(fontAscent_);
        }
        attrs = &temp;
    }
    for (int i = 0; i < n; ++i) {
        auto& a = (*attrs)[static_cast<std::size_t>(i)];
        if (i >= selFrom && i < selTo) a.style |= kStyleSelected;
        else a.style &= static_cast<std::uint16_t>(~kStyleSelected);
    }

    const bool cell = par->IsCell() && par->cellWidth;
    const int cellLeft = CellLeftPixels(par) + xShift;
    const int cellRight = (cell ? CellRightPixels(par) : windowWidth_ - xShift) + xShift;
    // 4./7. Left of the text.
    if (n == 0 && !par->IsCell()) fillBack({leftMargin, top, left, top + line->height});
    else if (cell) fillBack({cellLeft, top, left, top + line->height});
    else fillBack({leftMargin, top, left, top + line->height});

    // 5./6. Runs.
    int x = left;
    const int baseline = top + line->ascent;
    int i = 0;
    while (i < n && dx[static_cast<std::size_t>(i)] == 0) ++i;
    for (int k = 0; k < i; ++k) x += dx[static_cast<std::size_t>(k)];
    while (i < n) {
        const int runStart = i;
        const TJDCharAttr& ra = (*attrs)[static_cast<std::size_t>(i)];
        const bool object = (ra.style & kStyleObject) && (line->text[static_cast<std::size_t>(i)] == 1 ||
                                                          line->text[static_cast<std::size_t>(i)] == 2);
        ++i;
        if (!object) {
            while (i < n && i - runStart < kMaxRun) {
                const TJDCharAttr& c = (*attrs)[static_cast<std::size_t>(i)];
                char ch = line->text[static_cast<std::size_t>(i)];
                if (ch == '\t' || dx[static_cast<std::size_t>(i)] == 0) break;
                if ((c.style & kStyleObject) && (ch == 1 || ch == 2)) break;
                bool same = c.font == ra.font && c.size == ra.size && c.colors == ra.colors && c.style == ra.style;
                bool blankJoins = ch == ' ' && !(c.style & kStyleSelected) && !(ra.style & kStyleSelected);
                if (!same && !blankJoins) break;
                ++i;
            }
        }
        int runW = 0;
        for (int k = runStart; k < i; ++k) runW += dx[static_cast<std::size_t>(k)];
        SelectAttrFont(&ra);
        int runAscent = ra.ascent;
        bool selected = (ra.style & kStyleSelected) && !(paintOptions_ & poNoSelection);
        plat::COLORREF back = fontBack_;
        if (par->shadingPct && !ra.BackColor()) back = par->shadingPct < 51 ? 0xE0E0E0 : 0xA0A0A0;
        bool opaque = !transparent && !picture;
        if ((paintOptions_ & poNoPaperFill) && ((paintOptions_ & poNoTextFill) || back == paper || back == kWhite))
            opaque = false;
        if (selected) {
            back = highlightColor;
            canvas_->SetTextColor(highlightTextColor);
            opaque = true;
        }
        canvas_->SetBkColor(back);
        plat::TRect box{x, top, x + runW, top + line->height};
        int y = baseline;
        if (fontSuper_ && runAscent < line->ascent) y -= runAscent / 3;
        else if (fontSub_ && runAscent < line->ascent) y += runAscent / 5;
        if (object) {
            unsigned char code = static_cast<unsigned char>(line->text[static_cast<std::size_t>(runStart)]);
            TJDObjectRecord* rec = code == 1 ? ObjectForCharTag(ra.tag) : FindObject(0, ra.tag);
            if (rec) {
                if (opaque) canvas_->FillRect(box, back);
                // The picture at its own size; the entry's height may include the font's descent.
                int ow = MulDivPx(rec->width, Header().resolutionX), oh = MulDivPx(rec->height, Header().resolutionY);
                plat::TRect r{x, baseline - ra.ascent, x + ow, baseline - ra.ascent + oh};
                PaintObject(r, rec, ow, oh);
                if (selected) {
                    canvas_->SetPen(highlightColor, 1, plat::TPenStyle::Solid);
                    canvas_->FrameRect(r);
                    if (selectedObjectRect_.Empty()) selectedObjectRect_ = r;
                }
            }
        } else if (i - runStart == 1 && line->text[static_cast<std::size_t>(runStart)] == ' ') {
            if (opaque) canvas_->FillRect(box, back);
        } else {
            std::string text = line->text.substr(static_cast<std::size_t>(runStart), static_cast<std::size_t>(i - runStart));
            for (char& c : text)
                if (static_cast<unsigned char>(c) < 32) c = ' ';
            std::vector<int> sp(dx.begin() + runStart, dx.begin() + i);
            if (i >= n && fontItalic_) sp.back() += 8;
            canvas_->ExtTextOut(x, y, &box, opaque, !(paintOptions_ & poNoClip), text, sp.data());
            if (fontUnderline_) {
                canvas_->SetPen(underlineColor_, 1, plat::TPenStyle::Solid);
                canvas_->Line(x, y + 1, x + runW, y + 1);
                if (fontDoubleUnderline_) canvas_->Line(x, y + 3, x + runW, y + 3);
            }
        }
        x += runW;
        while (i < n && dx[static_cast<std::size_t>(i)] == 0 && line->text[static_cast<std::size_t>(i)] != '\t') ++i;
    }
    if (n == 0 && !transparent) canvas_->FillRect({left, top, cell ? cellRight : windowWidth_, top + line->height}, paper);

    // 11. Right of the text.
    if (cell) fillBack({x, top, cellRight + ((par->flags & kParCellFollows) ? 1 : 0), top + line->height});
    else fillBack({x, top, windowWidth_, top + line->height});

    // 12. Page marks.
    if (!HeldBack()) {
        if (line == par->lines && (par->flags & kParPageBreak) && !(paintOptions_ & poNoPageBreakMark)) {
            canvas_->SetPen(0, 1, plat::TPenStyle::Dash);
            canvas_->Line(0, top, windowWidth_, top);
        }
        if ((line->flags & kLinePageStart) && !(paintOptions_ & poHidePageBreaks)) {
            canvas_->SetPen(0, 1, plat::TPenStyle::Dot);
            canvas_->Line(0, top, windowWidth_, top);
        }
    }

    // 13. Borders.
    if (par->border & kBorderOn) {
        std::uint32_t b = par->border;
        int bl = cell ? cellLeft : xShift + LeftIndentPixels(par, nullptr) - 1;
        int br = (cell ? cellRight : Header().textWidth - RightIndentPixels(par) + xShift) - 1;
        int colorIdx = static_cast<int>(BorderColorNibble(b));
        int width = std::max<int>(1, static_cast<int>(BorderWidthByte(b)));
        bool gray = PaintGrayTable && !HeldBack();
        plat::COLORREF pen = colorIdx ? ColorOf(colorIdx) : 0;
        auto sameBlock = [&](const TParagraph* o) {
            return o && (o->border & kBorderOn) && o->border == b;
        };
        bool topLine = (b & (kBorderTop | kBorderBox)) && line == par->lines &&
                       !(sameBlock(par->prev) && !(par->prev->border & kBorderGroupEnd));
        bool bottomLine = (b & (kBorderBottom | kBorderBox)) && !line->next &&
                          !(sameBlock(par->next) && !(b & kBorderGroupEnd));
        auto draw = [&](int x1, int y1, int x2, int y2, bool lightSide) {
            if (gray) canvas_->SetPen(lightSide ? kWhite : shadowColor, 1, plat::TPenStyle::Solid);
            canvas_->Line(x1, y1, x2, y2);
            if ((b & kBorderDouble) && !gray) {
                bool vertical = x1 == x2;
                canvas_->Line(x1 + (vertical ? 2 : 0), y1 + (vertical ? 0 : 2), x2 + (vertical ? 2 : 0),
                              y2 + (vertical ? 0 : 2));
            }
        };
        if (!gray)
            canvas_->SetPen(pen, width, (b & kBorderDotted) ? plat::TPenStyle::Dot : plat::TPenStyle::Solid);
        int lb = top + line->height - 1;
        if (topLine) draw(bl, top, br, top, false);
        if (bottomLine) draw(bl, lb, br, lb, true);
        if (b & (kBorderLeft | kBorderBox)) draw(bl, top, bl, lb + 1, false);
        if (b & (kBorderRight | kBorderBox)) draw(br, top, br, lb + 1, true);
        if (b & kBorderTableLine) {
            const TTextHeader& h = Header();
            for (int s = 0; s < kTabSlots; ++s) {
                if (!h.tabPos[static_cast<std::size_t>(s)] || !par->HasTab(s)) continue;
                int tx = h.tabPixels[static_cast<std::size_t>(s)] + xShift;
                if (tx > bl && tx < br) canvas_->Line(tx, top, tx, lb + 1);
            }
        }
    }
    line->flags &= static_cast<std::uint8_t>(~kLineChanged);
    if (!HeldBack()) TJDEngineServices::Call(services.CaretShowCallback);
}

void TJDRTFTextPaint::PaintObject(const plat::TRect& r, TJDObjectRecord* object, int width, int height) {
    if (!canvas_) return;
    if (paintedObjects_.size() < kMaxPaintedObjects)
        paintedObjects_.push_back({{r.left - LeftOffset, r.top + TopOffset, r.left - LeftOffset + width,
                                    r.top + TopOffset + height},
                                   object});
    plat::TRect target{r.left, r.top, r.left + width, r.top + height};
    if (!object || !object->object) {
        canvas_->SetPen(0, 1, plat::TPenStyle::Solid);
        canvas_->FrameRect(target);
        if (object && object->linked) {
            SelectAttrFont(nullptr);
            canvas_->ExtTextOut(target.left + 2, target.top + fontAscent_ + 2, &target, false, true, object->fileName,
                                nullptr);
        } else {
            canvas_->Line(target.left, target.top, target.right - 1, target.bottom - 1);
            canvas_->Line(target.left, target.bottom - 1, target.right - 1, target.top);
        }
        return;
    }
    canvas_->StretchPicture(target, object->object.get());
}

// --- scrolling -------------------------------------------------------------------------

void TJDRTFTextPaint::ScrollBy(int down, int right) {
    if (!canvas_ || (paintOptions_ & poNoScroll)) return;
    int shiftY = 0, shiftX = 0;
    if (down < 0) {
        int n = std::min(-down, static_cast<int>(TopOffset));
        TopOffset -= n;
        shiftY = n;
        if (services.setMode) services.setMode->RefreshParagraph();
    } else if (down > 0) {
        TopOffset += down;
        shiftY = -down;
    }
    if (right > 0) {
        LeftOffset -= right;
        shiftX = -right;
    } else if (right < 0) {
        int n = std::min(-right, static_cast<int>(-LeftOffset));
        LeftOffset += n;
        shiftX = n;
    }
    if (!shiftX && !shiftY) return;
    TJDEngineServices::Call(services.CaretHideCallback);
    bool fixedPicture = background_ && !backgroundScrolls_ && !(paintOptions_ & poNoBackgroundPicture);
    bool strip = !(paintOptions_ & poTransparent) && !fixedPicture && std::abs(shiftY) < windowHeight_ &&
                 std::abs(shiftX) < windowWidth_ && !(shiftX && shiftY);
    if (strip && !HeldBack()) {
        plat::TRect all{0, 0, windowWidth_, windowHeight_};
        if (!(paintOptions_ & poNoClip)) canvas_->SetClipRect(nullptr);
        canvas_->ScrollDC(shiftX, shiftY, all);
        if (shiftY < 0) PaintRect(0, windowHeight_ + shiftY, windowWidth_, -shiftY);
        else if (shiftY > 0) PaintRect(0, 0, windowWidth_, shiftY);
        else if (shiftX < 0) PaintRect(windowWidth_ + shiftX, 0, -shiftX, windowHeight_);
        else PaintRect(0, 0, shiftX, windowHeight_);
    } else {
        RepaintWindow();
    }
    TJDEngineServices::Call(services.VScrollCallback);
    TJDEngineServices::Call(services.CaretShowCallback);
    CheckCaretVisible();
}

void TJDRTFTextPaint::ScrollTo(bool vertical, int code, int position) {
    if (HeldBack()) return;
    if (vertical) {
        bool room = TopOffset + windowHeight_ < documentHeight_;
        switch (code) {
        case 0: ScrollBy(-16, 0); break;
        case 1: if (room) ScrollBy(16, 0); break;
        case 2: ScrollBy(-windowHeight_, 0); break;
        case 3: if (room) ScrollBy(windowHeight_, 0); break;
        case 4:
        case 5: ScrollBy(position - TopOffset, 0); break;
        case 6: ScrollBy(-TopOffset, 0); break;
        case 7:
            if (room) ScrollBy(documentHeight_ - windowHeight_ - TopOffset, 0);
            break;
        default: break;
        }
        return;
    }
    int off = -LeftOffset;
    int width = Header().textWidth + leftMargin;
    bool room = off + windowWidth_ < width;
    switch (code) {
    case 0: ScrollBy(0, -16); break;
    case 1: if (room) ScrollBy(0, 16); break;
    case 2: ScrollBy(0, -windowWidth_); break;
    case 3: if (room) ScrollBy(0, windowWidth_); break;
    case 4:
    case 5: ScrollBy(0, position - off); break;
    case 6: ScrollBy(0, -off); break;
    case 7: if (room) ScrollBy(0, width - windowWidth_ - off); break;
    default: break;
    }
}

void TJDRTFTextPaint::UpdateCaretMetrics() {
    TLine* l = cursor.line;
    if (!cursor.par || !l) return;
    int pos = std::clamp(cursor.pos, 0, l->Length());
    bool atEnd = pos >= l->Length() || l->attrs.size() <= static_cast<std::size_t>(pos);
    int asc = atEnd ? std::min<int>(fontAscent_, l->ascent) : l->attrs[static_cast<std::size_t>(pos)].ascent;
    if (asc <= 0) asc = std::max<int>(1, std::min<int>(fontAscent_, l->ascent));
    caretHeight = asc;
    caretWidth = (atEnd || thinCaret) ? 1 : std::max<int>(1, l->attrs[static_cast<std::size_t>(pos)].width);
    caretTop = std::max<int>(l->top, l->top + l->ascent - caretHeight);
}

void TJDRTFTextPaint::CheckCaretVisible() {
    if (!canvas_ || !cursor.line) return;
    UpdateCaretMetrics();
    int y = caretTop - TopOffset + topMargin;
    int x = XOfPosition(cursor.par, cursor.line, cursor.pos) + LeftOffset + leftMargin;
    if (y + caretHeight <= 0 || y >= windowHeight_ || x < 0 || x > windowWidth_) {
        caret.Show(false);
        return;
    }
    caret.SetPosition(x, y, caretWidth, caretHeight);
    if (!caret.visible) caret.Show(true);
}

void TJDRTFTextPaint::ScrollToCursor() {
    if (HeldBack() || !cursor.line) return;
    int visible = windowHeight_;
    if (services.owner && services.owner->ScrollContainerHeight() >= 0) visible = services.owner->ScrollContainerHeight();
    TLine* l = cursor.line;
    int rel = l->top - TopOffset;
    if (rel < 0) {
        int dist = -rel;
        if (l->height > visible) dist -= l->height;
        if (dist > 0) ScrollBy(-dist, 0);
    } else if (rel + l->height > visible && visible > 0) {
        ScrollBy(rel + l->height - visible, 0);
    }
    // Scrolling may show or hide a bar, and the new client width lays the
    // text out again, which replaces its lines: the cursor's line is read
    // afresh, never the one held from before the scroll.
    if (!cursor.line) return;
    int oldX = desiredX, oldTop = caretTop;
    desiredX = XOfPosition(cursor.par, cursor.line, cursor.pos);
    UpdateCaretMetrics();
    int wx = desiredX + LeftOffset + leftMargin;
    if (wx < 0) ScrollBy(0, wx);
    else if (windowWidth_ > 0 && wx > windowWidth_ - 4) ScrollBy(0, wx - (windowWidth_ - 4));
    TJDEngineServices::Call(services.CaretUpdateCallback);
    TJDEngineServices::Call(services.StatusCallback);
    if (caretTop != oldTop) TJDEngineServices::Call(services.OnYPosChanged, services.sender);
    if (desiredX != oldX) TJDEngineServices::Call(services.OnXPosChanged, services.sender);
}

}  // namespace richtext
