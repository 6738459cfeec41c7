// Printing: the page loop over the printer's canvas and its primitive,
// PrintPart, which lays the text out for a page and draws one page at a time.
#include <algorithm>

#include "platform/gui/printer.h"
#include "richtext/controls/rtf_edit.h"

namespace richtext {

using namespace gui;

namespace {
int Px(std::int64_t twips, int res) { return static_cast<int>(twips * res / 1440); }
}  // namespace

int TJDCustomRtfEdit::PrintPart(int mode, int line, int pageWidth, int pageHeight, TCanvas* canvas, int) {
    TJDRTFTextInput& e = *engine_;
    if (mode == 2) {
        if (printRun_ || !canvas) return 0;
        printRun_ = std::make_unique<TPrintRun>();
        TPrintRun& r = *printRun_;
        r.wordWrap = e.WordWrap();
        r.windowWidth = e.WindowWidth();
        r.windowHeight = e.WindowHeight();
        r.topOffset = e.TopOffset;
        r.leftOffset = e.LeftOffset;
        r.leftMargin = e.leftMargin;
        r.topMargin = e.topMargin;
        r.paintOptions = e.PaintOptions();
        r.device = std::make_unique<TCanvasDevice>(*canvas);
        e.caret.Show(false);
        e.printJob = true;
        e.SetCanvas(r.device.get());
        e.SetPaintOptions((r.paintOptions | poWhitePaper | poNoSelection) & ~poHoldPaint);
        e.SetWordWrap(false);
        e.SetWindowSize(std::max(1, pageWidth), std::max(1, pageHeight));
        for (TParagraph* p = e.FirstParagraph(); p; p = p->next) p->state |= kParNeedsLayout;
        e.FormatAll();
        e.TopOffset = 0;
        e.LeftOffset = 0;
        return 0;
    }
    if (mode == 4) {
        if (!printRun_) return 0;
        TPrintRun r = std::move(*printRun_);
        printRun_.reset();
        e.printJob = false;
        e.SetCanvas(device_.get());
        e.SetPaintOptions(r.paintOptions);
        e.leftMargin = r.leftMargin;
        e.topMargin = r.topMargin;
        e.SetWordWrap(r.wordWrap);
        e.SetWindowSize(r.windowWidth, r.windowHeight);
        for (TParagraph* p = e.FirstParagraph(); p; p = p->next) p->state |= kParNeedsLayout;
        e.FormatAll();
        e.TopOffset = std::clamp<std::int32_t>(r.topOffset, 0, std::max(0, e.DocumentHeight() - e.WindowHeight()));
        e.LeftOffset = r.leftOffset;
        r.device.reset();
        UpdateVertScrollBar();
        UpdateHorzScrollBar();
        Invalidate();
        return 0;
    }
    // One page from absolute line `line`.
    TTextPointer at;
    if (!e.LineToPointer(line, at) || !at.par || !at.line) return 0;
    const std::int32_t pageTop = at.line->top;
    e.TopOffset = pageTop;
    TParagraph* par = at.par;
    TLine* l = at.line;
    int index = line;
    bool first = true;
    while (par) {
        while (l) {
            bool pageStart = (l->flags & kLinePageStart) || (l == par->lines && (par->flags & kParPageBreak));
            if (!first && (pageStart || l->top - pageTop + l->height > pageHeight)) return index;
            if (mode != 0) e.PaintLine(par, l);
            first = false;
            ++index;
            l = l->next;
        }
        par = par->next;
        if (par) l = par->lines;
    }
    return 0;
}

void TJDCustomRtfEdit::Print() { PrintRange(1, 16777215); }

void TJDCustomRtfEdit::PrintRange(int firstPage, int lastPage) {
    TPrinter* pr = gui::Printer();
    // The job is named after the document for as long as it runs.
    struct TitleScope {
        TPrinter* pr;
        std::string saved;
        ~TitleScope() { pr->Title = saved; }
    } title{pr, pr->Title};
    if (std::string doc = DocumentTitle(); !doc.empty()) pr->Title = doc;
    else if (pr->Title.empty()) pr->Title = "Untitled";
    TPoint offset{0, 0};
    if (pr->Escape(QUERYESCSUPPORT, GETPRINTINGOFFSET, nullptr) > 0) pr->Escape(GETPRINTINGOFFSET, 0, &offset);
    pr->BeginDoc();
    try {
        TCanvas& canvas = pr->Canvas();
        const int res = pr->Resolution();
        const TTextHeader& h = engine_->Header();
        const int pageW = pr->PageWidth(), pageH = pr->PageHeight();
        PrintPart(2, 0, pageW, pageH, &canvas, res);
        const int top = Px(h.marginTop, res) - offset.y;
        const int left = Px(h.marginLeft, res) - offset.x;
        const int textW = Px(h.pageWidth - h.marginLeft - h.marginRight, res);
        const int textH = std::max(1, Px(h.pageHeight - h.marginTop - h.marginBottom, res));
        engine_->topMargin = top;
        engine_->leftMargin = left;
        int page = 1, line = 0;
        bool pageOpen = false;
        for (;;) {
            const bool inRange = page >= firstPage && page <= lastPage;
            if (inRange) {
                if (pageOpen) pr->NewPage();
                pageOpen = true;
                if (PrintHeader) PrintHeader(this, canvas, left, 0, textW, std::max(0, top), page, line);
            }
            int next = PrintPart(inRange ? 1 : 0, line, pageW, textH, &canvas, res);
            if (inRange && PrintFooter)
                PrintFooter(this, canvas, left, top + textH, textW, std::max(0, pageH - top - textH), page, line);
            if (next <= 0 || page >= lastPage) break;
            line = next;
            ++page;
        }
    } catch (...) {
        PrintPart(4, 0, 0, 0, nullptr, 0);
        pr->Abort();
        throw;
    }
    PrintPart(4, 0, 0, 0, nullptr, 0);
    pr->EndDoc();
}

}  // namespace richtext
