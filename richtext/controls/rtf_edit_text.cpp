// The edit control's public text operations: positions and selection,
// plain text, typed input, attributes, objects, tables, paragraphs, the
// word scan of the spell checker and font registration.
#include <algorithm>

#include "platform/core/streams.h"
#include "platform/gui/metafile.h"
#include "platform/imaging/graphic.h"
#include "richtext/controls/rtf_edit.h"

namespace richtext {

using namespace gui;

std::uint32_t JDGlobalAttrMask = amFont | amSize | amTextColor | amBackColor | amStyleReplace;

// --- positions and selection ------------------------------------------------------------------

int TJDCustomRtfEdit::GetCPPosition() const {
    int pos, line, pi, pp;
    engine_->GetCursor(pos, line, pi, pp);
    return pos;
}

int TJDCustomRtfEdit::GetCPLine() const {
    int pos, line, pi, pp;
    engine_->GetCursor(pos, line, pi, pp);
    return line;
}

void TJDCustomRtfEdit::SetCPPosition(int pos) {
    engine_->SetCursor(pos, 0);
    engine_->ScrollToCursor();
}

void TJDCustomRtfEdit::SetCPLine(int line) {
    if (engine_->SelectionAnchored && !engine_->HasSelection()) engine_->DropSelection();
    engine_->SetCursor(0, line);
    engine_->ScrollToCursor();
}

void TJDCustomRtfEdit::GetCursorInfo(int& pos, int& line, int& parIndex, int& posInPar) const {
    engine_->GetCursor(pos, line, parIndex, posInPar);
}

void TJDCustomRtfEdit::SetCursorInfo(int pos, int line, int parIndex, int posInPar) {
    TTextPointer p;
    if (engine_->ParPositionToPointer(parIndex, posInPar, p)) engine_->SetCursor(p.par, p.line, p.pos);
    else engine_->SetCursor(pos, pos ? 0 : line);
    engine_->ScrollToCursor();
    if (engine_->SelectionAnchored && !engine_->HasSelection()) engine_->DropSelection();
}

int TJDCustomRtfEdit::GetPageLine() const {
    TParagraph* par = engine_->cursor.par;
    TLine* line = engine_->cursor.line;
    if (!par || !line) return 0;
    int n = 0;
    for (;;) {
        if (line->flags & kLinePageStart) return n;
        if (line == par->lines && (par->flags & kParPageBreak)) return n;
        if (line->prev) {
            line = line->prev;
        } else if (par->prev) {
            par = par->prev;
            line = TJDRTFText::LastLine(par);
        } else {
            return n;
        }
        ++n;
    }
}

int TJDCustomRtfEdit::GetSelStart() const {
    int s, l;
    return engine_->GetSelection(s, l) ? s : 0;
}

int TJDCustomRtfEdit::GetSelLength() const {
    int s, l;
    return engine_->GetSelection(s, l) ? l : 0;
}

void TJDCustomRtfEdit::SelectAll() { engine_->SetSelPosLen(0, 0x0FFFFFFF); }

std::string TJDCustomRtfEdit::GetSelText() const {
    int n = engine_->GetSelectedChars(nullptr, nullptr, 0);
    if (n < 1) return std::string();
    std::string out(static_cast<std::size_t>(n) + 1, '\0');
    int got = engine_->GetSelectedChars(out.data(), nullptr, n + 1);
    out.resize(static_cast<std::size_t>(std::max(got, 0)));
    return out;
}

std::string TJDCustomRtfEdit::GetPlainText() const {
    int n = engine_->TextLength();
    if (n < 1) return std::string();
    return engine_->GetText(engine_->FirstParagraph(), 0, n);
}

// --- input and replacement ---------------------------------------------------------------------

void TJDCustomRtfEdit::InputString(const std::string& s) {
    if (Showing() && CanFocus() && !Focused()) SetFocus();
    // An empty text changes nothing: no change is reported.
    if (s.empty() || s[0] == 0) return;
    if (!CanEdit()) return;
    const TEditMark before = Mark();
    try {
        engine_->InputString(s);
    } catch (...) {
        engine_->Repaint();
        throw;
    }
    if (!(Mark() == before)) Changed();
    // One character is drawn by the engine as it goes; a longer text is drawn here.
    if (s.size() > 1) engine_->Repaint();
}

TJDCustomRtfEdit::TEditMark TJDCustomRtfEdit::Mark() const {
    const TJDRTFTextInput& e = *engine_;
    TEditMark m;
    m.par = e.cursor.par;
    m.line = e.cursor.line;
    m.pos = e.cursor.pos;
    m.length = e.cursor.line ? e.cursor.line->Length() : 0;
    m.next = e.cursor.par ? e.cursor.par->next : nullptr;
    m.selection = e.HasSelection();
    return m;
}

void TJDCustomRtfEdit::SetSelText(const std::string& s) {
    if (!CanEdit()) return;
    if (s.empty()) {
        if (engine_->DeleteSelection()) {
            engine_->FormatAll();
            Changed();
        }
        engine_->Repaint();
        return;
    }
    // Without a selection there is nothing to replace: text and cursor stay.
    if (!engine_->HasSelection() || engine_->SelectionEmpty()) return;
    const int p = GetSelStart();
    SetCPPosition(p);
    TJDCharAttr attr = engine_->currentAttr;
    if (TLine* l = engine_->cursor.line; l && engine_->cursor.pos < l->Length() &&
                                         l->attrs.size() > static_cast<std::size_t>(engine_->cursor.pos))
        attr = l->attrs[static_cast<std::size_t>(engine_->cursor.pos)];
    attr.style &= static_cast<std::uint16_t>(~(kStyleSelected | kStyleObject));
    if (!engine_->DeleteSelection()) return;
    engine_->currentAttr = attr;
    engine_->KeepCurrentAttr = true;
    try {
        engine_->InputString(s);
    } catch (...) {
        engine_->KeepCurrentAttr = false;
        throw;
    }
    engine_->KeepCurrentAttr = false;
    engine_->FormatAll();
    // The whole inserted text is selected, however long it is.
    const int q = GetCPPosition();
    engine_->SetSelPosLen(p, q - p);
    Changed();
    engine_->Repaint();
}

void TJDCustomRtfEdit::SetText(const std::string& s) {
    if (s.empty() || s[0] == 0) {
        ClearText();
        return;
    }
    engine_->PostponeFormat(true);
    TJDLoadFormat keep = engine_->LoadFormat;
    ClearText();
    std::string bytes(s.c_str());  // up to the terminating zero
    try {
        engine_->PostponeFormat(false);
        engine_->LoadFromString(bytes);
    } catch (...) {
        engine_->LoadFormat = keep;
        throw;
    }
    engine_->LoadFormat = keep;
    // Loading laid the text out already.
    UpdateVertScrollBar();
    UpdateHorzScrollBar();
    Changed();
    Invalidate();
}

void TJDCustomRtfEdit::ClearText() {
    engine_->ClearText();
    const TFont& f = *defaultFont_;
    if (!f.Name().empty()) {
        engine_->Header().fontNames[0] = f.Name().substr(0, kFontNameMax);
        TJDCharAttr& a = engine_->currentAttr;
        a.size = static_cast<std::uint8_t>(std::clamp(f.Size(), 1, 255));
        a.font = 0;
        int black = 0;
        for (int i = 0; i < 15; ++i)
            if (engine_->GetColorEntry(i) == 0) {
                black = i;
                break;
            }
        a.colors = static_cast<std::uint8_t>(black << 4);
        a.style = 0;
        if (f.Style() & fsBold) a.style |= kStyleBold;
        if (f.Style() & fsItalic) a.style |= kStyleItalic;
        if (f.Style() & fsUnderline) a.style |= kStyleUnderline;
        plat::COLORREF c = static_cast<plat::COLORREF>(ColorToRGB(f.Color()));
        for (int i = 0; i < 15; ++i)
            if (engine_->GetColorEntry(i) == c) {
                a.SetTextColor(static_cast<unsigned>(i));
                break;
            }
        engine_->defaultAttr = a;
        engine_->FormatAll();
    }
    if (!(engine_->PaintOptions() & poHoldPaint)) Invalidate();
}

void TJDCustomRtfEdit::AssignText(TJDRTFTextIo* source) {
    if (!source || source == engine_.get()) return;
    engine_->AssignFrom(*source);
    // The paste guard re-applies the source's header to this text later.
    engine_->ShareHeaderOf(*source);
    engine_->SetDeviceResolution(engine_->Header().resolutionX, engine_->Header().resolutionY);
    FullRelayout();
}

void TJDCustomRtfEdit::AssignText(TJDCustomRtfEdit* source) {
    if (source) AssignText(&source->Engine());
}

void TJDCustomRtfEdit::AssignText(TJDRtfStorage* source) {
    if (source) AssignText(&source->RtfText());
}

// --- attributes and characters -------------------------------------------------------------------

void TJDCustomRtfEdit::SetCurrentAttr(const TJDCharAttr& a) {
    if (!CanEdit()) return;
    engine_->currentAttr = a;
    engine_->ApplyAttribute(JDGlobalAttrMask, a);
    Changed();
}

TJDCharAttr* TJDCustomRtfEdit::CurrentAttrPtr() {
    TLine* l = engine_->cursor.line;
    if (!l) return &engine_->currentAttr;
    // The caller may change the attribute: the paragraph is laid out again.
    engine_->cursor.par->state |= kParNeedsLayout;
    int p = engine_->cursor.pos;
    if (p < 0 || p >= l->Length() || l->attrs.size() <= static_cast<std::size_t>(p)) return &engine_->currentAttr;
    return &l->attrs[static_cast<std::size_t>(p)];
}

char* TJDCustomRtfEdit::CurrentCharPtr() {
    TLine* l = engine_->cursor.line;
    scratchCR_ = 13;
    if (!l) return &scratchCR_;
    engine_->cursor.par->state |= kParNeedsLayout;
    int p = engine_->cursor.pos;
    if (p < 0 || p >= l->Length()) return &scratchCR_;
    return &l->text[static_cast<std::size_t>(p)];
}

bool TJDCustomRtfEdit::CursorNextChar() {
    TTextPointer& c = engine_->cursor;
    if (!c.par || !c.line) return false;
    for (;;) {
        c.par->state |= kParNeedsLayout;
        if (c.pos + 1 < c.line->Length()) {
            ++c.pos;
            return true;
        }
        if (c.line->next) {
            c.line = c.line->next;
            c.pos = -1;
            if (c.line->Length() == 0) continue;
            continue;
        }
        if (c.pos < c.line->Length()) {
            c.pos = c.line->Length();
            return true;
        }
        if (c.par->next) {
            c.par = c.par->next;
            c.line = c.par->lines;
            c.pos = 0;
            return true;
        }
        return false;
    }
}

// --- objects and tables ----------------------------------------------------------------------------

namespace {
// A GUI picture as the engine keeps it: a bitmap as a BMP file, a metafile as its bytes.
std::shared_ptr<plat::TGraphic> EngineGraphic(const TGraphic& g) {
    if (auto* mf = dynamic_cast<const TMetafile*>(&g)) {
        if (mf->Empty()) return nullptr;
        return std::make_shared<plat::TRawGraphic>(plat::TGraphicKind::Metafile, mf->Bytes(), mf->Width(), mf->Height());
    }
    if (auto* bmp = dynamic_cast<const TBitmap*>(&g)) {
        if (bmp->Empty()) return nullptr;
        plat::MemoryStream ms;
        bmp->SaveToStream(ms);
        return std::make_shared<plat::TRawGraphic>(plat::TGraphicKind::Dib, ms.Bytes(), bmp->Width(), bmp->Height());
    }
    return nullptr;
}
}  // namespace

std::uint16_t TJDCustomRtfEdit::InsertPicture(std::shared_ptr<plat::TGraphic> g, int width, int height) {
    if (!g) return 0;
    if (width == 0 && height == 0) {
        // The picture's own size, at the resolution the text is laid out for.
        int rx = engine_->Header().resolutionX > 0 ? engine_->Header().resolutionX : ScreenPpi();
        int ry = engine_->Header().resolutionY > 0 ? engine_->Header().resolutionY : ScreenPpi();
        width = MulDiv(g->Width(), 1440, rx);
        height = MulDiv(g->Height(), 1440, ry);
    }
    engine_->InsertObjectAtCursor(std::move(g), -1, width, height);
    const auto& objs = engine_->Objects();
    std::uint16_t tag = objs.empty() ? 0 : objs.back()->tag;
    engine_->FormatAll();
    engine_->ScrollToCursor();
    Invalidate();
    return tag;
}

std::uint16_t TJDCustomRtfEdit::InsertGraphic(const TPicture& picture, int width, int height) {
    if (!CanEdit()) return 0;
    const TGraphic* g = picture.Graphic();
    if (!g || (!dynamic_cast<const TBitmap*>(g) && !dynamic_cast<const TMetafile*>(g))) return 0;
    return InsertPicture(EngineGraphic(*g), width, height);
}

std::uint16_t TJDCustomRtfEdit::InsertGraphic(const TGraphic& graphic, int width, int height) {
    if (!CanEdit()) return 0;
    return InsertPicture(EngineGraphic(graphic), width, height);
}

std::uint16_t TJDCustomRtfEdit::InsertObject(const TGraphic& graphic, const std::string& name, int width, int height,
                                             bool flag) {
    if (!CanEdit()) return 0;
    std::shared_ptr<plat::TGraphic> g = EngineGraphic(graphic);
    if (!g) return 0;
    if (width == 0 && height == 0) {
        int rx = engine_->Header().resolutionX > 0 ? engine_->Header().resolutionX : ScreenPpi();
        int ry = engine_->Header().resolutionY > 0 ? engine_->Header().resolutionY : ScreenPpi();
        width = MulDiv(g->Width(), 1440, rx);
        height = MulDiv(g->Height(), 1440, ry);
    }
    TJDObjectRecord* rec = name.empty() ? nullptr : engine_->FindObjectByName(name);
    if (rec) rec->object = g;
    else rec = engine_->AddObject(g, 0xFFFF);
    rec->valid = 3;
    rec->fileName = name;
    rec->width = width;
    rec->height = height;
    rec->flag = flag ? 1 : 0;
    const std::uint16_t tag = rec->CharTag();
    TJDCharAttr saved = engine_->currentAttr;
    engine_->currentAttr.tag = tag;
    engine_->currentAttr.style = static_cast<std::uint16_t>((saved.style | kStyleObject) & ~(kStyleInsertPoint | kStyleAutomatic));
    engine_->KeepCurrentAttr = true;
    try {
        engine_->InputString(std::string(1, '\x01'));
    } catch (...) {
        engine_->KeepCurrentAttr = false;
        engine_->currentAttr = saved;
        throw;
    }
    engine_->KeepCurrentAttr = false;
    engine_->currentAttr = saved;
    engine_->FormatAll();
    Invalidate();
    Changed();
    return tag;
}

bool TJDCustomRtfEdit::FindNextObject(std::uint16_t& tag, int& pos, std::shared_ptr<plat::TGraphic>& obj) {
    if (pos < 0) pos = GetCPPosition();
    TTextPointer at;
    if (!engine_->PositionToPointer(pos, at) || !at.par) return false;
    int abs = pos;
    TParagraph* par = at.par;
    TLine* line = at.line;
    int i = at.pos;
    while (par) {
        while (line) {
            if (line->attrs.size() < static_cast<std::size_t>(line->Length())) return false;
            for (; i < line->Length(); ++i, ++abs) {
                const TJDCharAttr& a = line->attrs[static_cast<std::size_t>(i)];
                if (line->text[static_cast<std::size_t>(i)] != 1 || !(a.style & kStyleObject)) continue;
                if (tag != 0 && a.tag != tag) continue;
                tag = a.tag;
                pos = abs;
                TJDObjectRecord* rec = engine_->ObjectForCharTag(a.tag);
                obj = rec ? rec->object : nullptr;
                return true;
            }
            line = line->next;
            i = 0;
        }
        par = par->next;
        if (par) {
            ++abs;  // the paragraph end
            line = par->lines;
            i = 0;
        }
    }
    return false;
}

void TJDCustomRtfEdit::InsertTable(int rows, int cols, bool borders, int) {
    if (!CanEdit()) return;
    if (!engine_->InsertTableAtCursor(rows, cols, borders)) return;
    engine_->FormatAll();
    engine_->ScrollToCursor();
    Invalidate();
}

void TJDCustomRtfEdit::ReformatAll() {
    const bool transparent = transparent_ || (engine_->PaintOptions() & poTransparent);
    if (transparent) engine_->SetPaintOptions(engine_->PaintOptions() | poHoldPaint);
    for (TParagraph* p = engine_->FirstParagraph(); p; p = p->next) p->state |= kParNeedsLayout;
    engine_->FormatAll();
    if (transparent) engine_->SetPaintOptions(engine_->PaintOptions() & ~poHoldPaint);
    else engine_->Repaint();
    engine_->ScrollToCursor();
    PlaceCaret();
    UpdateVertScrollBar();
    Invalidate();
}

// --- paragraphs --------------------------------------------------------------------------------------

void TJDCustomRtfEdit::SetParagraphColor(int value, std::uint8_t) {
    if (!CanEdit()) return;
    // The colour index comes in the high nibble: the paragraph's background.
    TParagraph* p = engine_->cursor.par;
    std::uint8_t fg = p ? static_cast<std::uint8_t>(p->shading & 0x0F) : 0;
    engine_->SetShading(static_cast<std::uint8_t>((value & 0xF0) | fg), 0);
    Changed();
}

void TJDCustomRtfEdit::SetParagraphPattern(std::uint8_t kind, int value) {
    if (!CanEdit()) return;
    static const std::uint8_t kKinds[8] = {0, 8, 1, 6, 2, 3, 4, 5};
    std::uint8_t k = kKinds[kind & 7];
    int fg = ((value % 9) + 9) % 9;
    TParagraph* p = engine_->cursor.par;
    std::uint8_t bg = p ? static_cast<std::uint8_t>(p->shading & 0xF0) : 0;
    engine_->SetShading(static_cast<std::uint8_t>(bg | fg), static_cast<std::uint8_t>(k * 100 / 8));
    engine_->ScrollToCursor();
    Changed();
}

void TJDCustomRtfEdit::SetParagraphBorder(std::uint16_t lines, int widthPt, int color, int space) {
    if (!CanEdit()) return;
    if (lines == 0) engine_->SetBorders(0, 0, 0, 0);
    else engine_->SetBorders(static_cast<std::uint32_t>(lines) | kBorderOn, widthPt * 20, color, space);
    engine_->FormatAll();
    Invalidate();
    Changed();
}

void TJDCustomRtfEdit::SetParagraphIndents(int first, int left, int right) {
    if (!CanEdit()) return;
    engine_->SetIndents(first, left, right);
    engine_->ScrollToCursor();
    Changed();
}

void TJDCustomRtfEdit::SetParagraphProps(int before, int line, int after) {
    if (!CanEdit()) return;
    engine_->SetSpacing(0, before, after, line);
    engine_->ScrollToCursor();
    Changed();
}

void TJDCustomRtfEdit::SetParagraphNumbering(int style, int level) {
    if (!CanEdit()) return;
    engine_->SetNumbering(style, level);
    engine_->ScrollToCursor();
    Changed();
}

// --- word scan -------------------------------------------------------------------------------------

TJDTextFinder* TJDCustomRtfEdit::GetFinder() {
    finder_->SetText(engine_.get());
    return finder_.get();
}

void TJDCustomRtfEdit::ResetWordScan() {
    GetFinder();
    finder_->FinderToStart();
    finderStarted_ = true;
    scanFromCursor_ = false;
}

std::string TJDCustomRtfEdit::NextWord() {
    std::string result;
    GetFinder();
    if (!finderStarted_) {
        finder_->FinderToStart();
        finderStarted_ = true;
    }
    finder_->Wildcard = '*';
    finder_->WordSeparator = ' ';
    finder_->BlankSeparates = true;
    finder_->WholeWords = true;
    if (scanFromCursor_) finder_->FinderMoveTo(GetCPPosition());
    while (result.empty()) {
        if (!finder_->Next("*")) break;
        TJDCharAttr a;
        finder_->FoundAttr(a);
        // Hyperlink text is not spelt.
        bool skip = a.style & (kStyleHyperlink | kStyleUnderline);
        while (skip) {
            if (!finder_->Next("*")) {
                scanFromCursor_ = false;
                return std::string();
            }
            finder_->FoundAttr(a);
            skip = a.style & (kStyleHyperlink | kStyleUnderline);
        }
        result = finder_->FoundText();
    }
    scanFromCursor_ = false;
    return result;
}

void TJDCustomRtfEdit::SelectFoundWord() {
    if (finder_->FoundLength() <= 0) return;
    int start = finder_->FoundPosition(), len = finder_->FoundLength();
    engine_->SetSelPosLen(start, len);
    engine_->ScrollToCursor();
    scanFromCursor_ = true;
}

// --- fonts -------------------------------------------------------------------------------------------

int TJDCustomRtfEdit::RegisterFontName(const std::string& name) {
    int i = engine_->AddFontName(name.substr(0, kFontNameMax));
    // A full table stores nothing: the text's default font stands in.
    return (i >= 0 && i < kMaxFonts) ? i : 0;
}

}  // namespace richtext
