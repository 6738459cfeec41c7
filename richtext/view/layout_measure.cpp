// Device, resolution, fonts and character metrics.
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
bool IsOn(TThreeState s) { return s == TThreeState::tsTRUE; }
bool IsOff(TThreeState s) { return s == TThreeState::tsFALSE; }
}  // namespace

TJDRTFTextPaint::TJDRTFTextPaint(TJDMemoryFormat format) : TJDRTFTextIo(format) {
    widths_.fill(1);
    headerChangeHook = [this] { HeaderChanged(); };
}

TJDRTFTextPaint::~TJDRTFTextPaint() = default;

void TJDRTFTextPaint::SetCanvas(plat::TDevice* canvas) {
    canvas_ = canvas;
    metricsCache_.clear();  // another device measures differently
    cellAPpi_ = 0;
    ForgetFont();
    caret.Enable(canvas);
    caret.ownerHasFocus = [this] { return !services.owner || services.owner->HasFocus(); };
    if (!Locked()) InitDevice();
}

void TJDRTFTextPaint::InitDevice() {
    if (!canvas_) {
        Paginate();
        return;
    }
    technology_ = canvas_->Technology();
    int x = fixedResolution ? 300 : canvas_->LogPixelsX();
    int y = fixedResolution ? 300 : canvas_->LogPixelsY();
    SetDeviceResolution(x, y);
    // Every load comes here; the letter's cell only changes with the
    // device's font resolution.
    if (cellAPpi_ != deviceFontPpi_) {
        plat::TFontSpec arial{"Arial", 10};
        canvas_->SelectFont(arial);
        cellAHeight_ = canvas_->TextExtent("A").cy;
        cellAPpi_ = deviceFontPpi_;
    }
    ForgetFont();
    Paginate();
}

void TJDRTFTextPaint::SetDeviceResolution(int x, int y) {
    int screenX = canvas_ && !fixedResolution ? canvas_->LogPixelsX() : (fixedResolution ? 300 : 96);
    int screenY = canvas_ && !fixedResolution ? canvas_->LogPixelsY() : (fixedResolution ? 300 : 96);
    if (x == 0) x = screenX;
    if (y == 0) y = screenY;
    if (!(paintOptions_ & poIgnoreZoom)) {
        x = MulDiv(x, zooming_, 100);
        y = MulDiv(y, zooming_, 100);
    }
    x = std::max(x, 1);
    y = std::max(y, 1);
    TTextHeader& h = Header();
    if (x != h.resolutionX || y != h.resolutionY) resolutionChanged_ = true;
    if (canvas_) canvas_->SetFontPixelsPerInch(y);
    deviceFontPpi_ = y;
    ForgetFont();
    if (!Locked()) {
        // At tiny zoom factors the quotient rounds to 0, and a zero tab
        // width would stall every TAB at the same x.
        defaultTabWidth_ = std::max(1, MulDiv(x, 100, alternativeTabUnit ? 300 : 254));
        SetResolution(x, y);
        pageTextWidth_ = h.textWidth;
        UpdateTextWidth();
    }
    if (resolutionChanged_ && !formattingAll_) {
        resolutionChanged_ = false;
        FormatAll();
    }
}

int TJDRTFTextPaint::TextWidthForBreaking() const {
    if (wordWrap_ && !(paintOptions_ & poPageWidth) && windowWidth_ > 0) return windowWidth_;
    return pageTextWidth_;
}

void TJDRTFTextPaint::UpdateTextWidth() { Header().textWidth = TextWidthForBreaking(); }

void TJDRTFTextPaint::SetScreenWidth(int width) {
    bool act = width != windowWidth_ || (wordWrap_ && Header().textWidth != lastFormatWidth_);
    if (!act) return;
    windowWidth_ = width;
    if (!wordWrap_ || (paintOptions_ & poPageWidth)) {
        Paginate();
    } else {
        UpdateTextWidth();
        FormatAll();
    }
    if (Header().textWidth <= windowWidth_ && LeftOffset < 0) ScrollBy(0, -LeftOffset);
}

void TJDRTFTextPaint::SetWindowSize(int width, int height) {
    windowHeight_ = height;
    SetScreenWidth(width);
}

void TJDRTFTextPaint::SetWordWrap(bool on) {
    if (on == wordWrap_ && !(on && Header().textWidth != TextWidthForBreaking())) return;
    wordWrap_ = on;
    if (on && !(paintOptions_ & poPageWidth)) LeftOffset = 0;
    UpdateTextWidth();
    FormatAll();
}

void TJDRTFTextPaint::SetZooming(int percent) {
    if (percent <= 0 || percent == zooming_) return;
    zooming_ = percent;
    SetDeviceResolution(0, 0);
    FormatAll();
    RepaintWindow();
}

void TJDRTFTextPaint::SetResizing(int percent) {
    if (percent <= 0 || percent == resizing_) return;
    resizing_ = percent;
    ForgetFont();
    FormatAll();
    RepaintWindow();
}

void TJDRTFTextPaint::SetPaintOptions(std::uint32_t options) {
    std::uint32_t old = paintOptions_;
    paintOptions_ = options;
    if ((old & poLayoutLocked) && !(options & poLayoutLocked)) {
        Header().resolutionX = Header().resolutionY = 0;
        // The device's resolution is new to the header, so InitDevice lays
        // everything out; a second pass would only repeat it.
        std::uint64_t before = formatPasses_;
        InitDevice();
        if (formatPasses_ == before) FormatAll();
    } else if (!(old & poIgnoreZoom) && (options & poIgnoreZoom) && zooming_ != 100) {
        SetDeviceResolution(0, 0);
        FormatAll();
    } else if ((old ^ options) & (poShowHidden | poPageWidth)) {
        // What is shown or the breaking width changed: every line may move.
        UpdateTextWidth();
        FormatAll();
    }
    if (!Locked()) RepaintWindow();
}

void TJDRTFTextPaint::PostponeFormat(bool on) {
    postponeFormat_ = on;
    if (!on && formatRequested_) {
        formatRequested_ = false;
        FormatAll();
    }
}

void TJDRTFTextPaint::HeaderChanged() {
    if (formattingAll_ || Locked()) return;
    if (wordWrap_ && !(paintOptions_ & poPageWidth)) LeftOffset = 0;
    SetResolution(Header().resolutionX, Header().resolutionY);
    pageTextWidth_ = Header().textWidth;
    UpdateTextWidth();
    for (TParagraph* p = FirstParagraph(); p; p = p->next) p->state |= kParNeedsLayout;
    ProgressStart(0);
    MeasureAll();
    BreakAll();
    ProgressEnd();
    TJDEngineServices::Call(services.VScrollCallback);
    RepaintWindow();
    if (services.setMode) services.setMode->HeaderChanged();
}

// --- fonts -------------------------------------------------------------------

plat::COLORREF TJDRTFTextPaint::ColorOf(int index) const {
    const TRgbEntry& e = Header().colors[static_cast<std::size_t>(index & 0x0F)];
    return plat::RGB(e.red, e.green, e.blue);
}

void TJDRTFTextPaint::SelectAttrFont(const TJDCharAttr* attr) {
    const TJDCharAttr& a = attr ? *attr : currentAttr;
    const TCharacterAttr* gov = nullptr;
    if (a.style & kStyleInsertPoint) gov = &InsertPointAttr;
    else if (a.style & kStyleHyperlink) gov = &HyperlinkTextAttr;
    else if (a.style & kStyleAutomatic) gov = &AutomaticTextAttr;
    else if (a.style & kStyleProtected) gov = &ProtectedTextAttr;
    if (a.font > 99) throw ERichTextError("Font number out of range");

    plat::TFontSpec f;
    f.name = canvas_ ? canvas_->Font().name : "Arial";
    if (a.font < kMaxFonts && !Header().fontNames[a.font].empty()) f.name = Header().fontNames[a.font];
    f.bold = a.style & kStyleBold;
    f.italic = a.style & kStyleItalic;
    f.strikeOut = a.style & kStyleStrikeOut;
    bool underline = a.style & kStyleUnderline;
    bool super = (a.style & kStyleSuper) || (a.style & kStyleFootnote);
    bool sub = !super && (a.style & kStyleSub);
    if (!(a.style & kStyleSelected)) {
        fontText_ = ColorOf(a.TextColor());
        if (gov && gov->UseTextColor()) fontText_ = gov->TextColor();
        fontBack_ = a.BackColor() ? ColorOf(a.BackColor())
                                  : ((paintOptions_ & poWhitePaper) ? 0xFFFFFF : paperColor);
        if (gov && gov->UseBackgroundColor()) fontBack_ = gov->BackgroundColor();
    }
    underlineColor_ = fontText_;
    if (gov) {
        auto apply = [](TThreeState s, bool& v) {
            if (IsOn(s)) v = true;
            else if (IsOff(s)) v = false;
        };
        apply(gov->Bold(), f.bold);
        apply(gov->Italic(), f.italic);
        apply(gov->StrikeOut(), f.strikeOut);
        apply(gov->Underline(), underline);
        apply(gov->SuperScript(), super);
        apply(gov->SubScript(), sub);
        if (super && sub) sub = false;
        if (gov->UseUnderlineColor()) underlineColor_ = gov->UnderlineColor();
    }
    int size = a.size ? a.size : 10;
    if ((super || sub) && size > 1) size = MulDiv(size, 2, 3);
    if (resizing_ != 100) size = MulDiv(size, resizing_, 100);
    f.pointSize = std::max(size, 1);
    fontUnderline_ = underline;
    fontDoubleUnderline_ = underline && (a.style & kStyleHyperlink);
    fontSuper_ = super;
    fontSub_ = sub;
    fontItalic_ = f.italic;
    if (canvas_) {
        if (!(canvas_->Font() == f)) canvas_->SelectFont(f);
        canvas_->SetTextColor(fontText_);
        canvas_->SetBkColor(fontBack_);
    }
}

void TJDRTFTextPaint::SelectAttrMetrics(const TJDCharAttr* attr) {
    const TJDCharAttr& a = attr ? *attr : currentAttr;
    // The width table belongs to the font: skip the device when it is the same one.
    if (haveFont_ && a.font == lastFontAttr_.font && a.size == lastFontAttr_.size &&
        a.style == lastFontAttr_.style && a.colors == lastFontAttr_.colors)
        return;
    if (a.font > 99) throw ERichTextError("Font number out of range");
    // The same attribute measures the same until fonts, resolution or the
    // governing attributes change (each of which forgets these).
    const std::uint64_t key = static_cast<std::uint64_t>(a.font) | static_cast<std::uint64_t>(a.size) << 8 |
                              static_cast<std::uint64_t>(a.style) << 16;
    if (canvas_) {
        auto it = attrMetrics_.find(key);
        if (it != attrMetrics_.end()) {
            lastFontAttr_ = a;
            haveFont_ = true;
            UseMetrics(it->second);
            return;
        }
    }
    SelectAttrFont(&a);
    lastFontAttr_ = a;
    haveFont_ = true;
    if (!canvas_) {
        // No device yet: a rough fixed font keeps the layout usable.
        int h = std::max(1, MulDiv(a.size ? a.size : 10, std::max(Header().resolutionY, 1), 72));
        widths_.fill(std::max(1, h / 2));
        fontHeight_ = h;
        fontAscent_ = h - h / 5;
        return;
    }
    const TFontMetrics& m = DeviceFontMetrics();
    if (attrMetrics_.size() >= kMetricsCacheLimit) attrMetrics_.clear();
    attrMetrics_.emplace(key, m);
    UseMetrics(m);
}

void TJDRTFTextPaint::ForgetFont() {
    haveFont_ = false;
    attrMetrics_.clear();
}

void TJDRTFTextPaint::UseMetrics(const TFontMetrics& m) {
    widths_ = m.widths;
    fontHeight_ = m.height;
    fontAscent_ = m.ascent;
    if (printJob && printScale > 0 && printScale != 1.0) {
        for (auto& w : widths_) w = static_cast<std::int32_t>(w * printScale);
        fontHeight_ = static_cast<int>(fontHeight_ * printScale);
        fontAscent_ = static_cast<int>(fontAscent_ * printScale);
    }
    fontHeight_ = std::max(fontHeight_, 1);
    fontAscent_ = std::max(fontAscent_, 1);
    emptyHeight_ = fontHeight_;
    emptyAscent_ = fontAscent_;
}

// Widths and metrics of the font selected on the device, measured once per
// (face, size, style, resolution) as the device reports them: measuring 256
// advances is far dearer on a real device than anything else in layout.
const TJDRTFTextPaint::TFontMetrics& TJDRTFTextPaint::DeviceFontMetrics() {
    const plat::TFontSpec& f = canvas_->Font();
    std::string key = f.name;
    key += '\0';
    key += std::to_string(f.pointSize) + '/' + std::to_string(Header().resolutionY) + '/' +
           std::to_string(canvas_->LogPixelsX()) + '/' + std::to_string(canvas_->LogPixelsY()) + '/' +
           std::to_string(canvas_->Technology()) + '/' + (f.bold ? 'b' : '-') + (f.italic ? 'i' : '-') +
           (f.strikeOut ? 's' : '-');
    auto it = metricsCache_.find(key);
    if (it != metricsCache_.end()) return it->second;
    if (metricsCache_.size() >= kMetricsCacheLimit) metricsCache_.clear();
    TFontMetrics m;
    canvas_->GetCharWidths(m.widths);
    plat::TTextMetric tm;
    if (canvas_->GetTextMetrics(tm)) {
        m.height = tm.height + tm.externalLeading;
        m.ascent = tm.ascent;
    } else {
        // Character-stream devices report no metrics; the letter's width stands in.
        m.height = canvas_->TextExtent("A").cx;
        m.ascent = MulDiv(m.height, 2, 5);
    }
    return metricsCache_.emplace(std::move(key), m).first->second;
}

// --- measuring ---------------------------------------------------------------

bool TJDRTFTextPaint::Collapsed(const TJDCharAttr& a) const {
    if ((a.style & kStyleInsertPoint) && (excludeInsertPoints || InsertPointAttr.Hidden())) return true;
    if ((a.style & kStyleAutomatic) && (excludeAutomaticText || AutomaticTextAttr.Hidden())) return true;
    if ((a.style & kStyleHyperlink) && HyperlinkTextAttr.Hidden()) return true;
    if ((a.style & kStyleProtected) && ProtectedTextAttr.Hidden()) return true;
    if ((a.style & kStyleHidden) && !(paintOptions_ & poShowHidden)) return true;
    return false;
}

void TJDRTFTextPaint::MeasureChar(TLine* line, int i, int& h, int& asc) {
    TJDCharAttr& a = line->attrs[static_cast<std::size_t>(i)];
    if (a.size == 0) a.size = 10;
    if (Collapsed(a)) {
        a.width = a.height = a.ascent = 0;
        return;
    }
    unsigned char c = static_cast<unsigned char>(line->text[static_cast<std::size_t>(i)]);
    if ((a.style & kStyleObject) && (c == 1 || c == 2)) {
        TJDObjectRecord* rec = c == 1 ? ObjectForCharTag(a.tag) : FindObject(0, a.tag);
        if (!rec) {
            a.width = 0;
            a.height = static_cast<std::uint16_t>(fontHeight_);
            a.ascent = static_cast<std::uint16_t>(fontAscent_);
        } else {
            rec->inUse = 1;
            int w = MulDiv(rec->width, Header().resolutionX, 1440);
            int oh = MulDiv(rec->height, Header().resolutionY, 1440);
            int oa;
            switch (rec->verticalAlign) {
            case 1: oa = oh - 2; break;
            case 2: oa = fontAscent_; break;
            case 3: oa = oh / 2; break;
            default:
                oa = oh;
                oh += fontHeight_ - fontAscent_;
                break;
            }
            a.width = static_cast<std::uint16_t>(std::clamp(w, 0, 65535));
            a.height = static_cast<std::uint16_t>(std::clamp(oh, 0, 65535));
            a.ascent = static_cast<std::uint16_t>(std::clamp(oa, 0, 65535));
        }
    } else {
        a.width = static_cast<std::uint16_t>(std::clamp<int>(widths_[c], 1, 65535));
        a.height = static_cast<std::uint16_t>(std::max(fontHeight_, 1));
        a.ascent = static_cast<std::uint16_t>(std::max(fontAscent_, 1));
    }
    h = std::max<int>(h, a.height);
    asc = std::max<int>(asc, a.ascent);
}

void TJDRTFTextPaint::ApplyLineRule(const TParagraph* par, TLine* line) {
    // Space before on the first line, after on the last; line spacing as
    // "at least" when positive and "exactly" when negative. In 64 bits: the
    // model's values may be anything a document or a caller put there.
    const std::int64_t resY = std::max(Header().resolutionY, 1);
    auto pixels = [resY](std::int64_t twips) { return (twips * resY + 720) / 1440; };
    std::int64_t h = line->textHeight, a = line->textAscent;
    const std::int64_t spacing = par->lineSpacing;
    if (spacing > 0) {
        std::int64_t ls = pixels(spacing);
        if (ls > h) {
            a += ls - h;
            h = ls;
        }
    } else if (spacing < 0) {
        std::int64_t ls = pixels(-spacing);
        a = std::max<std::int64_t>(0, a + ls - h);
        h = ls;
    }
    if (line == par->lines && par->spaceBefore > 0) {
        std::int64_t sb = pixels(par->spaceBefore);
        h += sb;
        a += sb;
    }
    if (!line->next && par->spaceAfter > 0) h += pixels(par->spaceAfter);
    line->height = static_cast<std::uint16_t>(std::clamp<std::int64_t>(h, 0, 65535));
    line->ascent = static_cast<std::uint16_t>(std::clamp<std::int64_t>(a, 0, 65535));
}

void TJDRTFTextPaint::MeasureLine(TParagraph* par, TLine* l) {
    const bool rich = RichText();
    int h = 0, a = 0;
    int n = l->Length();
    if (rich && static_cast<int>(l->attrs.size()) >= n) {
        int i = 0;
        while (i < n) {
            const TJDCharAttr& first = l->attrs[static_cast<std::size_t>(i)];
            SelectAttrMetrics(&first);
            std::uint8_t font = first.font, size = first.size;
            std::uint16_t style = first.style;
            // Characters of one run share font, size and style: whether they
            // collapse and how tall they are is the same for all but objects.
            const bool plainRun = !(style & kStyleObject) && !Collapsed(first);
            const auto runHeight = static_cast<std::uint16_t>(std::max(fontHeight_, 1));
            const auto runAscent = static_cast<std::uint16_t>(std::max(fontAscent_, 1));
            bool any = false;
            while (i < n) {
                TJDCharAttr& c = l->attrs[static_cast<std::size_t>(i)];
                if (c.font != font || (c.size ? c.size : 10) != (size ? size : 10) || c.style != style) break;
                if (plainRun) {
                    if (c.size == 0) c.size = 10;
                    c.width = static_cast<std::uint16_t>(std::clamp<int>(widths_[static_cast<unsigned char>(l->text[static_cast<std::size_t>(i)])], 1, 65535));
                    c.height = runHeight;
                    c.ascent = runAscent;
                    any = true;
                } else {
                    MeasureChar(l, i, h, a);
                }
                ++i;
            }
            if (any) {
                h = std::max<int>(h, runHeight);
                a = std::max<int>(a, runAscent);
            }
        }
    }
    if (n == 0 && l == par->lines && !l->next && par->prev) {
        // An empty paragraph looks like the text before it.
        TLine* pl = LastLine(par->prev);
        if (pl->Length() > 0 && !pl->attrs.empty()) {
            h = pl->attrs.back().height;
            a = pl->attrs.back().ascent;
        } else {
            h = pl->textHeight;
            a = pl->textAscent;
        }
        if (h == 0) h = fontHeight_;
        if (a == 0) a = fontAscent_;
    } else if (n == 0 || !rich) {
        h = std::max(h, fontHeight_);
        a = std::max(a, fontAscent_);
    }
    l->textHeight = static_cast<std::uint16_t>(std::clamp(h, 0, 65535));
    l->textAscent = static_cast<std::uint16_t>(std::clamp(a, 0, 65535));
    ApplyLineRule(par, l);
}

int TJDRTFTextPaint::MeasureParagraph(TParagraph* par) {
    if (!par || Locked() || measuringPar_) return 0;
    TBusy busy(measuringPar_);
    if (!RichText()) SelectAttrMetrics(nullptr);
    for (TLine* l = par->lines; l; l = l->next) MeasureLine(par, l);
    par->state = static_cast<std::uint8_t>((par->state | kParMustBreak) & ~kParMustMeasure);
    int result = 0;
    if (!measuringAll_ && par->next && !par->next->lines->next && par->next->lines->Length() == 0) {
        measuringPar_ = false;
        MeasureParagraph(par->next);
        measuringPar_ = true;
        result = kMeasuredNextEmpty;
    }
    return result;
}

void TJDRTFTextPaint::MeasureAll() {
    if (measuringAll_ || Locked()) return;
    TBusy busy(measuringAll_);
    bool wasRunning = layoutRunning_;
    layoutRunning_ = true;
    try {
        SelectAttrMetrics(nullptr);
        std::int64_t count = ParagraphCount(), done = 0;
        for (TParagraph* p = FirstParagraph(); p; p = p->next) {
            if (!(p->state & kParMustMeasure)) continue;
            if (RichText()) MeasureParagraph(p);
            else p->state = static_cast<std::uint8_t>((p->state | kParMustBreak) & ~kParMustMeasure);
            if (count > 100) ProgressUpdate(++done, count);
        }
    } catch (...) {
        layoutRunning_ = wasRunning;
        throw;
    }
    layoutRunning_ = wasRunning;
}

void TJDRTFTextPaint::FormatAll() {
    if (postponeFormat_) {
        formatRequested_ = true;
        return;
    }
    if (Locked() || formattingAll_) return;
    {
        TBusy busy(formattingAll_);
        ++formatPasses_;
        lastFormatWidth_ = Header().textWidth;
        ProgressStart(0);
        try {
            ForgetFont();
            for (TParagraph* p = FirstParagraph(); p; p = p->next) p->state |= kParNeedsLayout;
            MeasureAll();
            BreakAll();
        } catch (...) {
            ProgressEnd();
            throw;
        }
        ProgressEnd();
    }
    TJDEngineServices::Call(services.CaretUpdateCallback);
    if (services.setMode && !(paintOptions_ & poHoldPaint)) services.setMode->RefreshAttributes();
}

void TJDRTFTextPaint::ParagraphChanged(TParagraph* par) {
    if (!par) return;
    par->state |= kParNeedsLayout;
    MeasureParagraph(par);
    if (!layoutRunning_) {
        BreakParagraph(par);
        par->state &= static_cast<std::uint8_t>(~kParMustBreak);
        Paginate();
    }
}

}  // namespace richtext
