#include "controls/data/vl_db_grid.h"

#include "controls/data/vl_control_helpers.h"
#include "controls/data/vl_db_grid_edit.h"
#include "data/vl_helpers.h"
#include "data/vl_intl.h"
#include "data/vl_lines.h"
#include "data/vl_table.h"
#include "engine/api/dbi_api.h"
#include "platform/core/codepage.h"
#include "controls/db/db_controls.h"
#include "platform/core/streams.h"
#include "platform/core/dialog_service.h"
#include "platform/gui/forms.h"
#include "platform/gui/program_resources.h"

#include <algorithm>
#include <cstring>

namespace vl {

using namespace gui;

namespace {

constexpr int kMaxMappedFields = 16380;
constexpr int kMeasureRows = 1000;
const char* const kGlyphNames[3] = {"VLDBGARROW", "VLDBEDIT", "VLDBINSERT"};

// The indicator glyphs, drawn here and kept as program resources: black on
// white, 8 x 11 (a white pixel is transparent when copied with SRCAND).
std::unique_ptr<TBitmap> DrawGlyph(int which) {
    auto b = std::make_unique<TBitmap>(8, 11);
    TCanvas& c = b->Canvas();
    c.Brush().SetColor(clWhite);
    c.FillRect(Rect(0, 0, 8, 11));
    switch (which) {
    case 0:  // a solid triangle pointing right
        for (int x = 0; x < 5; ++x)
            for (int y = 1 + x; y <= 9 - x; ++y) c.SetPixel(x + 1, y, clBlack);
        break;
    case 1:  // an I-beam
        for (int y = 1; y < 10; ++y) c.SetPixel(4, y, clBlack);
        for (int x = 2; x < 7; ++x) {
            if (x == 4) continue;
            c.SetPixel(x, 1, clBlack);
            c.SetPixel(x, 9, clBlack);
        }
        break;
    default:  // an asterisk
        for (int i = 0; i < 7; ++i) {
            c.SetPixel(4, 2 + i, clBlack);
            c.SetPixel(1 + i, 5, clBlack);
        }
        for (int i = 0; i < 5; ++i) {
            c.SetPixel(2 + i, 3 + i, clBlack);
            c.SetPixel(6 - i, 3 + i, clBlack);
        }
        break;
    }
    return b;
}

void RegisterGridResources() {
    for (int i = 0; i < 3; ++i)
        if (!FindResource(HInstance(), kGlyphNames[i], RT_BITMAP))
            RegisterBitmapResource(kGlyphNames[i], *DrawGlyph(i));
}

// The glyphs and the drawing bitmap, while any grid lives.
struct SharedBitmaps {
    int users = 0;
    std::unique_ptr<TBitmap> glyphs[3];
    std::unique_ptr<TBitmap> drawing;
};
SharedBitmaps& Shared() {
    static SharedBitmaps s;
    return s;
}

void AcquireShared() {
    SharedBitmaps& s = Shared();
    if (s.users++ > 0) return;
    RegisterGridResources();
    for (int i = 0; i < 3; ++i) {
        s.glyphs[i] = std::make_unique<TBitmap>();
        if (!LoadBitmapResource(HInstance(), kGlyphNames[i], *s.glyphs[i])) s.glyphs[i] = DrawGlyph(i);
    }
    s.drawing = std::make_unique<TBitmap>(1, 1);
}

void ReleaseShared() {
    SharedBitmaps& s = Shared();
    if (--s.users > 0) return;
    for (auto& g : s.glyphs) g.reset();
    s.drawing.reset();
}

// The canvas colour is one the device shows without dithering (its nearest
// colour is itself).
bool IsPureColour(TColor c) { return GetNearestColor(c) == ColorToRGB(c); }

int CharWidthOfZero(TCanvas& c) { return std::max(1, c.TextWidth("0")); }

// The widest of the "~"-separated lines of a title.
int TitleWidth(TCanvas& c, const std::string& title) {
    int widest = 0;
    for (const std::string& line : SplitLine(title, '~')) widest = std::max(widest, c.TextWidth(line));
    return widest + 4;
}

std::string DisplayLabelOf(const db::TField* f) { return f->DisplayLabel.empty() ? f->FieldName : f->DisplayLabel; }

bool IsBlobFamily(const db::TField* f) {
    return f && (f->DataType() == db::ftMemo || f->DataType() == db::ftGraphic || f->DataType() == db::ftBlob);
}

}  // namespace

// =====================================================================================
// painting helpers

TCopyMode CopyModeOfName(const std::string& name) {
    static const struct {
        const char* name;
        TCopyMode mode;
    } kModes[] = {{"Source Copy", cmSrcCopy},        {"Source Paint", cmSrcPaint},
                  {"Source And", cmSrcAnd},          {"Source Invert", cmSrcInvert},
                  {"Source Erase", cmSrcErase},      {"Not Source Copy", cmNotSrcCopy},
                  {"Not Source Erase", cmNotSrcErase}, {"Merge Paint", cmMergePaint}};
    for (const auto& m : kModes)
        if (name == m.name) return m.mode;
    return cmSrcCopy;
}

TvlBitmapSizeMode SizeModeOfName(const std::string& name) {
    if (name == "Original Size") return smOriginal;
    if (name == "Stretch To Fit") return smStretch;
    if (name == "Fit Height") return smFitHeight;
    if (name == "Fit Width") return smFitWidth;
    return smUnknown;
}

bool BitmapPlacement(TvlBitmapSizeMode mode, int w, int h, const TRect& cell, TRect& dest, TRect& source) {
    if (w < 1 || h < 1) return false;
    const int cw = cell.Right - cell.Left, ch = cell.Bottom - cell.Top;
    switch (mode) {
    case smOriginal: {
        const int sw = std::min(w, cw - 1), sh = std::min(h, ch - 1);
        if (sw < 1 || sh < 1) return false;
        source = Rect(0, 0, sw, sh);
        dest = Rect(cell.Left + 1, cell.Top + 1, cell.Left + 1 + sw, cell.Top + 1 + sh);
        return true;
    }
    case smStretch:
        source = Rect(0, 0, w, h);
        dest = cell;
        return true;
    case smFitHeight: {
        int fw = w * ch / h, sw = w;
        if (fw > cw) {
            sw = w * cw / fw;
            fw = cw;
        }
        if (fw < 3 || ch < 3) return false;
        source = Rect(0, 0, sw, h);
        dest = Rect(cell.Left + 1, cell.Top, cell.Left + fw, cell.Top + ch - 1);
        return true;
    }
    case smFitWidth: {
        int fh = h * cw / w, sh = h;
        if (fh > ch) {
            sh = h * ch / fh;
            fh = ch;
        }
        if (cw < 3 || fh < 3) return false;
        source = Rect(0, 0, w, sh);
        dest = Rect(cell.Left + 1, cell.Top, cell.Left + cw, cell.Top + fh - 1);
        return true;
    }
    default: return false;
    }
}

std::string StripBlobHeader(const std::string& blob) {
    if (blob.size() >= 8) {
        auto u16 = [&](std::size_t at) {
            return static_cast<unsigned>(static_cast<unsigned char>(blob[at])) |
                   static_cast<unsigned>(static_cast<unsigned char>(blob[at + 1])) << 8;
        };
        const std::uint32_t len = u16(4) | static_cast<std::uint32_t>(u16(6)) << 16;
        if (u16(0) == 1 && u16(2) == 256 && len == blob.size() - 8) return blob.substr(8);
    }
    return blob;
}

void WriteText(TCanvas& canvas, const TRect& rect, int dx, int dy, const std::string& text,
               db::TAlignment alignment) {
    const int width = rect.Right - rect.Left;
    if (IsPureColour(canvas.Brush().Color())) {
        int x = rect.Left + dx;
        if (alignment == db::taRightJustify) x = rect.Right - canvas.TextWidth(text) - 3;
        else if (alignment == db::taCenter) x = rect.Left + width / 2 - canvas.TextWidth(text) / 2;
        canvas.ExtTextOut(x, rect.Top + dy, ETO_CLIPPED | ETO_OPAQUE, &rect, text, nullptr);
        return;
    }
    WriteDitheredText(canvas, rect, dx, dy, text, alignment);
}

void WriteDitheredText(TCanvas& canvas, const TRect& rect, int dx, int dy, const std::string& text,
                       db::TAlignment alignment) {
    const int width = rect.Right - rect.Left, height = rect.Bottom - rect.Top;
    if (width <= 0 || height <= 0) return;
    // The shared bitmap while a grid lives, else one for this call.
    std::unique_ptr<TBitmap> own;
    TBitmap* b = Shared().drawing.get();
    if (!b) {
        own = std::make_unique<TBitmap>(1, 1);
        b = own.get();
    }
    if (b->Width() < width || b->Height() < height)
        b->SetSize(std::max(b->Width(), width), std::max(b->Height(), height));
    TCanvas& bc = b->Canvas();
    bc.Font().Assign(canvas.Font());
    bc.Brush().Assign(canvas.Brush());
    bc.Brush().SetStyle(bsSolid);
    const TRect area = Rect(0, 0, width, height);
    bc.FillRect(area);
    bc.Brush().SetStyle(bsClear);
    unsigned flags = DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX;
    flags |= alignment == db::taRightJustify ? DT_RIGHT : alignment == db::taCenter ? DT_CENTER : DT_LEFT;
    TRect r = Rect(dx, dy, width - 1 - (alignment == db::taRightJustify ? 3 : 0), height - 1);
    DrawText(bc, text, r, flags);
    bc.Brush().SetStyle(bsSolid);
    canvas.CopyRect(rect, bc, area);
}

namespace {

// Whether text surely fits in room without shaping it: no glyph of the font
// is wider than its widest character. Only for printable ASCII, which every
// font has itself (another script may come from a wider fallback font).
bool FitsByWidestChar(TCanvas& canvas, const std::string& text, int room) {
    if (text.empty()) return true;
    for (const char ch : text)
        if (ch < 0x20 || ch > 0x7e) return false;
    TTextMetric tm;
    canvas.GetTextMetrics(tm);
    return tm.tmMaxCharWidth > 0 && static_cast<long long>(tm.tmMaxCharWidth) * static_cast<long long>(text.size()) <= room;
}

}  // namespace

void WriteWrappedText(TCanvas& canvas, const TRect& rect, int dx, int dy, const std::string& text,
                      db::TAlignment alignment) {
    // Lines: words (a run up to a blank, TAB, CR or LF with the blanks after
    // it) are added while the line fits; CR, LF and their pairs end a line.
    const int room = rect.Right - rect.Left - dx;
    // Most cells hold one line that fits: at most one measure instead of
    // one per word, and no line height (it only places a second line).
    if (text.find_first_of("\r\n") == std::string::npos &&
        (FitsByWidestChar(canvas, text, room) || canvas.TextWidth(text) <= room)) {
        WriteText(canvas, rect, dx, dy, text, alignment);
        return;
    }
    std::vector<std::string> lines;
    std::string line;
    bool continued = false;  // the line continues one broken for width
    std::size_t i = 0;
    auto flush = [&](bool forWidth) {
        lines.push_back(line);
        line.clear();
        continued = forWidth;
    };
    while (i < text.size()) {
        const char ch = text[i];
        if (ch == '\r' || ch == '\n') {
            const char other = ch == '\r' ? '\n' : '\r';
            ++i;
            if (i < text.size() && text[i] == other) ++i;
            flush(false);
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && text[end] != ' ' && text[end] != '\t' && text[end] != '\r' && text[end] != '\n')
            ++end;
        if (end < text.size() && text[end] == '\t') ++end;  // a TAB stays with its word
        else
            while (end < text.size() && text[end] == ' ') ++end;
        std::string word = text.substr(i, end - i);
        i = end;
        if (continued && line.empty()) {
            const std::size_t keep = word.find_first_not_of(" \t");
            if (keep == std::string::npos) continue;
            word.erase(0, keep);
        }
        if (!line.empty() && canvas.TextWidth(line + word) > room) {
            flush(true);
            const std::size_t keep = word.find_first_not_of(" \t");
            if (keep == std::string::npos) continue;
            word.erase(0, keep);
        }
        line += word;
    }
    if (!line.empty() || lines.empty()) lines.push_back(line);
    const int height =
        lines.size() < 2 ? 0 : std::max(1, canvas.TextHeight(lines.front().empty() ? "W" : lines.front()));
    int top = rect.Top + dy;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        if (k > 0 && top >= rect.Bottom) break;
        TRect r = rect;
        if (k > 0) r.Top = top - dy;
        WriteText(canvas, r, dx, top - r.Top, lines[k], alignment);
        top += height;
    }
}

// =====================================================================================
// the data link

TvlGridDataLink::~TvlGridDataLink() { ClearMapping(); }

bool TvlGridDataLink::AddMapping(const std::string& fieldName) {
    db::TDataSet* ds = DataSet();
    if (!ds) return false;
    db::TField* f = ds->FindField(fieldName);
    if (!f) return false;
    if (static_cast<int>(map_.size()) >= kMaxMappedFields) throw EInvalidGridOperation("Too many rows or columns");
    // Capacity 8 at first, then doubling, never beyond the limit.
    if (map_.size() == map_.capacity())
        map_.reserve(std::min<std::size_t>(map_.capacity() == 0 ? 8 : map_.capacity() * 2, kMaxMappedFields));
    map_.push_back(f->Index());
    return true;
}

void TvlGridDataLink::ClearMapping() {
    map_.clear();
    map_.shrink_to_fit();
}

bool TvlGridDataLink::GetDefaultFields() const { return !DataSet() || DataSet()->DefaultFields(); }

db::TField* TvlGridDataLink::GetFields(int i) const {
    if (i < 0 || i >= FieldCount() || !DataSet()) return nullptr;
    const int index = map_[static_cast<std::size_t>(i)];
    return index >= 0 && index < DataSet()->FieldCount() ? DataSet()->Fields(index) : nullptr;
}

void TvlGridDataLink::Reset() {
    if (modified_) {
        RecordChanged(nullptr);
        return;
    }
    db::TDataSet* ds = DataSet();
    if (!ds || !ds->IsEditing()) return;
    if (!ds->Modified()) {
        // A new record that holds nothing yet goes without a question.
        if (ds->State() == db::dsInsert) ds->Cancel();
        return;
    }
    if (MessageDlg(CreateGlobalIntl().UserMessages().vlDBGridDiscardChanges, mtConfirmation, Buttons({mbYes, mbNo})) != mrYes)
        return;
    ds->Cancel();
}

void TvlGridDataLink::ActiveChanged() { grid_->LinkActive(Active()); }

void TvlGridDataLink::DataSetChanged() {
    grid_->DataChanged();
    modified_ = false;
}

void TvlGridDataLink::DataSetScrolled(int distance) { grid_->Scroll(distance); }

void TvlGridDataLink::EditingChanged() { grid_->InvalidateIndicator(); }

void TvlGridDataLink::LayoutChanged() { grid_->LayoutChanged(); }

void TvlGridDataLink::RecordChanged(db::TField* field) {
    if (field && inUpdateData_) return;
    grid_->RecordChanged(field);
    modified_ = false;
}

void TvlGridDataLink::UpdateData() {
    inUpdateData_ = true;
    try {
        if (modified_) grid_->UpdateData();
    } catch (...) {
        inUpdateData_ = false;
        modified_ = false;
        throw;
    }
    inUpdateData_ = false;
    modified_ = false;
}

// =====================================================================================
// the grid

TvlCustomDBGrid::TvlCustomDBGrid(plat::TComponent* AOwner) : TCustomGrid(AOwner) {
    AcquireShared();
    TCustomGrid::DefaultDrawing = false;
    TCustomGrid::SetScrollBars(ssHorizontal);
    SetColCount(2);
    SetRowCount(2);
    SetColor(clWindow);
    titleFont_.Assign(Font());
    titleFont_.OnChange = [this](plat::TObject*) { TitleFontChanged(); };
    options_ = kDefaultGridOptions;
    TCustomGrid::SetOptions(goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goColSizing |
                            goColMoving | goEditing | goTabs);
    SetShowVertScrollBar(true);
}

TvlCustomDBGrid::~TvlCustomDBGrid() {
    if (TvlIButton* b = indicatorButton_) {
        indicatorButton_ = nullptr;
        delete b;
    }
    dataLink_.SetDataSource(nullptr);
    dataLink_.ClearMapping();
    ReleaseShared();
}

const TBitmap& TvlCustomDBGrid::IndicatorGlyph(int which) {
    return *Shared().glyphs[std::clamp(which, 0, 2)];
}

// --- properties ------------------------------------------------------------------------

void TvlCustomDBGrid::SetOptions(TvlDBGridOptions value) {
    if (value == options_) return;
    TGridOptions g = 0;
    auto has = [&](TvlDBGridOption o) { return (value & Opt(o)) != 0; };
    if (has(dgColLines)) g |= goFixedVertLine | goVertLine;
    if (has(dgRowLines)) g |= goFixedHorzLine | goHorzLine;
    if (has(dgColumnResize)) g |= goColSizing | goColMoving;
    if (has(dgTabs)) g |= goTabs;
    if (has(dgRowSelect)) g |= goRowSelect;
    if (has(dgEditing) && !has(dgRowSelect)) g |= goEditing;
    if (has(dgAlwaysShowEditor)) g |= goAlwaysShowEditor;
    TCustomGrid::SetOptions(g);
    const TvlDBGridOptions changed = static_cast<TvlDBGridOptions>(value ^ options_);
    options_ = value;
    if (changed & Opt(dgWordWrap)) {
        if (auto* e = dynamic_cast<TvlInplaceEdit*>(InplaceEditor())) e->SetWordWrap(HasOption(dgWordWrap));
        Invalidate();
    }
    const TvlDBGridOptions relayout = Opt(dgEditing) | Opt(dgAlwaysShowEditor) | Opt(dgTitles) | Opt(dgIndicator) |
                                      Opt(dgColLines) | Opt(dgRowLines) | Opt(dgRowSelect) |
                                      Opt(dgAlwaysShowSelection) | Opt(dgPerfectRowFit);
    if (changed & relayout) LayoutChanged();
}

void TvlCustomDBGrid::SetTitleFont(const TFont& font) {
    titleFont_.Assign(font);
    LayoutChanged();
}

void TvlCustomDBGrid::TitleFontChanged() {
    if (!copyingParentFont_ && !(ComponentState() & plat::csLoading)) SetParentFont(false);
    if (HasOption(dgTitles)) LayoutChanged();
}

void TvlCustomDBGrid::SetTitleAlignment(db::TAlignment a) {
    if (a == titleAlignment_) return;
    titleAlignment_ = a;
    LayoutChanged();
}

void TvlCustomDBGrid::SetTitleLines(int n) {
    if (n < 1 || n == titleLines_) return;
    titleLines_ = n;
    LayoutChanged();
}

void TvlCustomDBGrid::SetTitleButtons(bool on) {
    titleButtons_ = on;
    Invalidate();
}

void TvlCustomDBGrid::SetIndicatorColor(TIndicatorColorType c) {
    indicatorColor_ = c;
    LayoutChanged();
}

void TvlCustomDBGrid::SetRowHeightPercent(int percent) {
    if (percent < 1) {
        rowHeightPercent_ = 100;
        return;
    }
    if (percent == rowHeightPercent_) return;
    rowHeightPercent_ = percent;
    LayoutChanged();
}

void TvlCustomDBGrid::SetShowVertScrollBar(bool on) {
    showVertScrollBar_ = on;
    if (!on) SetScrollRange(SB_VERT, 0, 0);
    UpdateScrollBar();
    Invalidate();
}

bool TvlCustomDBGrid::ShowHorzScrollBar() const {
    return ScrollBars() == ssHorizontal || ScrollBars() == ssBoth;
}

void TvlCustomDBGrid::SetShowHorzScrollBar(bool on) { TCustomGrid::SetScrollBars(on ? ssHorizontal : ssNone); }

void TvlCustomDBGrid::SetIndicatorWidth(int w) {
    if (w == indicatorWidth_) return;
    indicatorWidth_ = w;
    LayoutChanged();
}

void TvlCustomDBGrid::SetIndicatorButton(TvlIButton* button) {
    if (button == indicatorButton_) return;
    indicatorButton_ = button;
    if (!button) return;
    if (button->Parent() != this) button->SetParent(this);
    button->SetBounds(0, 0, button->Width(), button->Height());
    indicatorWidth_ = button->Width() - 1;
    LayoutChanged();
}

TInplaceEdit* TvlCustomDBGrid::CreateEditor() { return new TvlInplaceEdit(this); }

void TvlCustomDBGrid::SetDataSource(db::TDataSource* source) {
    dataLink_.SetDataSource(source);
    LinkActive(dataLink_.Active());
}

// --- fields ----------------------------------------------------------------------------

db::TField* TvlCustomDBGrid::GetSelectedField() const {
    const int i = GetSelectedIndex();
    return i >= 0 && i < GetFieldCount() ? dataLink_.GetFields(i) : nullptr;
}

db::TField* TvlCustomDBGrid::GetColField(int index) const {
    if (index < 0 || !dataLink_.Active() || index >= GetFieldCount()) return nullptr;
    return dataLink_.GetFields(index);
}


void TvlCustomDBGrid::GetFieldText(int ACol, std::string& Text) {
    db::TField* f = GetColField(ACol);
    Text = f ? f->DisplayText() : std::string();
}

// --- layout ----------------------------------------------------------------------------

void TvlCustomDBGrid::DefineFieldMap() {
    db::TDataSet* ds = dataLink_.DataSet();
    if (UseTFields) {
        for (int i = 0; i < ds->FieldCount(); ++i)
            if (ds->Fields(i)->Visible) dataLink_.AddMapping(ds->Fields(i)->FieldName);
        return;
    }
    for (int i = 0; i < selected_.Count();) {
        const std::string name = SplitLine(selected_[i], '\t')[0];
        if (dataLink_.Active() && !ds->FindField(name)) {
            selected_.Delete(i);
            continue;
        }
        dataLink_.AddMapping(name);
        ++i;
    }
}

void TvlCustomDBGrid::CalcRowHeights() {
    TCanvas& c = Canvas();
    c.Font().Assign(Font());
    int h = c.TextHeight("W") + 2;
    if (HasOption(dgRowLines)) ++h;
    h = h * rowHeightPercent_ / 100;
    SetDefaultRowHeight(std::max(1, h));
    if (HasOption(dgTitles) && RowCount() > 0) {
        c.Font().Assign(titleFont_);
        int title = c.TextHeight("W") * titleLines_ + 4;
        if (!HasOption(dgRowLines)) ++title;
        if (HasOption(dgIndicator) && indicatorButton_) {
            const int h = std::max(title, indicatorButton_->Height());
            title = HasOption(dgRowLines) ? h - 1 : h + 1;
        }
        SetRowHeights(0, title);
    }
}

void TvlCustomDBGrid::SetColumnAttributes() {
    db::TDataSet* ds = dataLink_.DataSet();
    if (!dataLink_.Active() || !ds) return;
    TCanvas& c = Canvas();
    int line = 0;
    for (int i = 0; i < GetFieldCount(); ++i) {
        db::TField* f = GetFields(i);
        if (!f) continue;
        int chars = f->DisplayWidth();
        if (!UseTFields) {
            // The line of this column (lines of missing fields are skipped).
            while (line < selected_.Count() && !ds->FindField(SplitLine(selected_[line], '\t')[0])) ++line;
            const auto pieces = line < selected_.Count() ? SplitLine(selected_[line], '\t') : std::vector<std::string>{};
            chars = pieces.size() > 1 ? std::atoi(pieces[1].c_str()) : 0;
            ++line;
        }
        c.Font().Assign(Font());
        int width = chars * CharWidthOfZero(c) + 4;
        if (HasOption(dgTitles)) {
            c.Font().Assign(titleFont_);
            width = std::max(width, TitleWidth(c, DisplayLabelOf(f)));
        }
        const int col = i + indicatorOffset_;
        SetColWidths(col, width);
        bool stop = !f->ReadOnly;
        if (stop && f->Calculated() && !EditCalculated) stop = false;
        SetTabStops(col, stop);
    }
}

void TvlCustomDBGrid::LayoutChanged() {
    // Windows are cheap here: the layout does not wait for the handle.
    if (layoutLock_ != 0 || (ComponentState() & plat::csLoading)) return;
    ++layoutLock_;
    try {
        titleOffset_ = HasOption(dgTitles) ? 1 : 0;
        CalcRowHeights();
        indicatorOffset_ = HasOption(dgIndicator) ? 1 : 0;
        dataLink_.ClearMapping();
        if (dataLink_.Active()) DefineFieldMap();
        int n = GetFieldCount();
        if (!UseTFields && n == 0) n = selected_.Count();
        // The grid keeps one scrollable column beside the indicator.
        SetColCount(indicatorOffset_ + std::max(1, n));
        SetFixedCols(indicatorOffset_);
        if (HasOption(dgIndicator)) {
            SetColWidths(0, indicatorWidth_);
            if (Col() == 0 && ColCount() > 1) MoveColRow(1, Row(), false, false);
        }
        UpdateRowCount();
        const int visible = VisibleRowCount();
        SetColumnAttributes();
        CalcRowHeights();  // new rows take the heights
        if (VisibleRowCount() != visible) UpdateRowCount();
        UpdateActive();
        ApplyPerfectRowFit();
        Invalidate();
    } catch (...) {
        --layoutLock_;
        throw;
    }
    --layoutLock_;
}

void TvlCustomDBGrid::UpdateRowCount() {
    if (inRowCount_) return;
    inRowCount_ = true;
    try {
        if (RowCount() <= titleOffset_) SetRowCount(titleOffset_ + 1);
        SetFixedRows(titleOffset_);
        if (dataLink_.Active() && dataLink_.RecordCount() > 0) {
            SetRowCount(kMeasureRows);
            const int visible = VisibleRowCount();
            if (visible < dataLink_.BufferCount() && visible + titleOffset_ <= Row()) {
                Invalidate();
                TopRowChanged();
            }
            dataLink_.SetBufferCount(std::max(1, visible));
            SetRowCount(dataLink_.RecordCount() + titleOffset_);
            UpdateActive();
        } else {
            SetRowCount(titleOffset_ + 1);
        }
    } catch (...) {
        inRowCount_ = false;
        throw;
    }
    inRowCount_ = false;
}

void TvlCustomDBGrid::UpdateActive() {
    if (!dataLink_.Active()) return;
    int wanted = dataLink_.ActiveRecord() + titleOffset_;
    if (wanted != Row()) {
        if (!HasOption(dgAlwaysShowEditor)) HideEditor();
        if (wanted >= VisibleRowCount() + titleOffset_ && !inRowCount_) {
            UpdateRowCount();
            wanted = VisibleRowCount() + titleOffset_ - 1;
        }
        if (wanted >= FixedRows() && wanted < RowCount()) MoveColRow(Col(), wanted, false, false);
    }
    db::TField* f = GetSelectedField();
    if (f && f->Text() != editText_) InvalidateEditor();
}

void TvlCustomDBGrid::Resize() {
    TCustomGrid::Resize();
    if (layoutLock_ != 0) return;
    HideCellControl();
    HideEditor();
    UpdateRowCount();
    ApplyPerfectRowFit();
}

int TvlCustomDBGrid::PerfectRowFitHeight() const {
    const int rowHeight = DefaultRowHeight();
    const TRect last = CellRect(0, RowCount() - 1);
    const int base = last.Top + rowHeight + 1;
    // The horizontal bar shows when the columns are wider than the grid.
    int total = 1;
    if (showVertScrollBar_) total += GetSystemMetrics(SM_CXHTHUMB) + 1;
    for (int c = 0; c < ColCount(); ++c) total += ColWidths(c) + (HasOption(dgColLines) ? GridLineWidth() : 0);
    const bool bar = ShowHorzScrollBar() && total > Width();
    const int extra = bar ? 5 : 4;
    if (!bar) return base + rowHeight + extra > Height() ? base + extra : Height();
    const int barHeight = GetSystemMetrics(SM_CYHSCROLL);
    return barHeight + base + rowHeight + extra - 1 > Height() ? barHeight + base + extra - 1 : Height();
}

void TvlCustomDBGrid::ApplyPerfectRowFit() {
    // A layout aid while a form is designed; at run time the height stays.
    if (!(ComponentState() & plat::csDesigning) || (ComponentState() & plat::csLoading) ||
        !HasOption(dgPerfectRowFit) || !(Align() == alNone || Align() == alLeft || Align() == alRight))
        return;
    const int h = PerfectRowFitHeight();
    if (h != Height()) SetBounds(Left(), Top(), Width(), h);
}

// --- following the dataset -------------------------------------------------------------

void TvlCustomDBGrid::LinkActive(bool Value) {
    countCursor_ = 0;
    if (!Value) HideEditor();
    LayoutChanged();
    UpdateScrollBar();
}

void TvlCustomDBGrid::TopRowChanged() {
    if (OnTopRowChanged) OnTopRowChanged(this);
}

void TvlCustomDBGrid::Scroll(int Distance) {
    const TRect oldRow = BoxRect(0, Row(), ColCount() - 1, Row());
    const int oldIndicatorRow = Row();
    UpdateScrollBar();
    UpdateActive();
    const TRect newRow = BoxRect(0, Row(), ColCount() - 1, Row());
    InvalidateRect(oldRow);
    InvalidateRect(newRow);
    HideEditor();
    auto reshowEditor = [&] {
        if (HasOption(dgAlwaysShowEditor) && !IsCustomControlCell(Col(), Row()) && !IsBlobFamily(GetSelectedField()))
            ShowEditor();
    };
    if (Distance != 0) {
        if (std::abs(Distance) > VisibleRowCount()) {
            // A jump of more than a page: everything repaints; the top row
            // changed all the same, so its listeners hear of it.
            Invalidate();
            reshowEditor();
            TopRowChanged();
            return;
        }
        // The rows that stay keep their pixels; only what changes repaints.
        const int step = DefaultRowHeight() + (HasOption(dgRowLines) ? 1 : 0);
        const TRect area = BoxRect(indicatorOffset_, titleOffset_, ColCount() - 1, RowCount() - 1);
        ScrollWindow(0, -Distance * step, &area);
        if (HasOption(dgIndicator)) {
            InvalidateCell(0, oldIndicatorRow);
            InvalidateCell(0, Row());
        }
    }
    reshowEditor();
    // No paint here: a paint now would draw the whole window (the page
    // editor beside the grid too) once per step of a held key. The moved
    // pixels and what they left to paint wait in the grid's buffer for the
    // next paint, which shows the last step.
    if (!tabRowChange_ && Distance != 0) TopRowChanged();
}

void TvlCustomDBGrid::DataChanged() {
    countCursor_ = 0;
    if (GetDataSource() && GetDataSource()->State() == db::dsBrowse) HideCellControl();
    UpdateRowCount();
    UpdateScrollBar();
    UpdateActive();
    InvalidateEditor();
    Invalidate();
}

void TvlCustomDBGrid::RecordChanged(db::TField* Field) {
    if (Field) {
        int col = ColCount();
        for (int i = 0; i < GetFieldCount(); ++i)
            if (GetFields(i) == Field) col = i + indicatorOffset_;
        if (col < ColCount()) InvalidateCell(col, Row());
    } else {
        InvalidateRect(BoxRect(indicatorOffset_, Row(), ColCount() - 1, Row()));
    }
    db::TField* sel = GetSelectedField();
    if ((!Field || Field == sel) && sel && sel->Text() != editText_) {
        InvalidateEditor();
        if (TInplaceEdit* e = InplaceEditor()) {
            e->SetSelStart(static_cast<int>(e->Text().size()));
            e->SetSelLength(0);
        }
    }
}

void TvlCustomDBGrid::InvalidateIndicator() {
    if (HasOption(dgIndicator)) InvalidateCell(0, Row());
}

void TvlCustomDBGrid::WriteData() { dataLink_.UpdateRecord(); }

void TvlCustomDBGrid::UpdateData() {
    if (GetFieldCount() == 0) return;
    if (db::TField* f = GetSelectedField()) f->SetText(editText_);
}

// --- the sequence-number or simple scroll bar ---------------------------------------------

void TvlCustomDBGrid::UpdateScrollBar() {
    if (!showVertScrollBar_ || !dataLink_.Active()) return;
    db::TDataSet* ds = dataLink_.DataSet();
    std::uint32_t count = 0, seqNo = 0;
    sequenceMode_ = false;
    if (dynamic_cast<TvlTable*>(ds)) sequenceMode_ = ReadSequence(count, seqNo);
    int pos;
    if (sequenceMode_) {
        SetScrollRange(SB_VERT, 0, 200, false);
        const std::uint32_t n = std::max<std::uint32_t>(count, 2);
        pos = ds->Bof() ? 0 : ds->Eof() ? 200 : static_cast<int>((seqNo - 1) * 200 / (n - 1));
    } else {
        SetScrollRange(SB_VERT, 0, 4, false);
        pos = ds->Bof() ? 0 : ds->Eof() ? 4 : 2;
    }
    if (GetScrollPos(SB_VERT) != pos) SetScrollPos(SB_VERT, pos);
}

bool TvlCustomDBGrid::ReadSequence(std::uint32_t& count, std::uint32_t& seqNo) {
    db::TDataSet* ds = dataLink_.DataSet();
    // Standing on the active record through the dataset keeps its window's
    // place (handing out the plain handle would cost a bookmark per row on
    // every move); an insert or an empty table asks where the cursor stands.
    std::uint32_t h = ds->HandleOnActiveRecord();
    if (h == 0) {
        h = ds->Handle();
        if (h == 0) return false;
        ds->UpdateCursorPos();
    }
    // A cursor that could not answer is not asked again (an engine that
    // lacks the call says so each time).
    if (h == noSequenceCursor_) return false;
    // The bar does without sequence numbers: an engine's box saying it
    // cannot give them would only interrupt the user. Only this thread's
    // engine boxes are kept back, and only the engine's.
    qv::DbiQuietMessages quiet;
    // Moving does not change the count: it is read again after the
    // dataset's data change (post, delete, refresh, filter) or reopening.
    if (h != countCursor_) {
        countCursor_ = 0;
        if (qv::DbiGetRecordCount(h, countOfCursor_) == 0) countCursor_ = h;
    }
    if (countCursor_ == h && qv::DbiGetSeqNo(h, seqNo) == 0) {
        count = countOfCursor_;
        return true;
    }
    noSequenceCursor_ = h;
    return false;
}

bool TvlCustomDBGrid::MoveToSequence(std::uint32_t seqNo) {
    return qv::DbiSetToSeqNo(dataLink_.DataSet()->Handle(), seqNo) == 0;
}

void TvlCustomDBGrid::ScrollBarClicked(int code, int pos) {
    if (!dataLink_.Active()) return;
    db::TDataSet* ds = dataLink_.DataSet();
    if (!AcquireFocus()) return;
    db::RunUserAction([&] {
        switch (code) {
        case SB_LINEUP: PriorRow(); break;
        case SB_LINEDOWN: NextRow(false); break;
        case SB_PAGEUP: ds->MoveBy(-VisibleRowCount()); break;
        case SB_PAGEDOWN: ds->MoveBy(VisibleRowCount()); break;
        case SB_THUMBPOSITION:
            if (sequenceMode_ && pos > 0 && pos < 200) {
                std::uint32_t count = 0, now = 0;
                if (ReadSequence(count, now) && count > 0) {
                    const std::uint32_t seq =
                        std::min<std::uint32_t>(count, static_cast<std::uint32_t>(pos) * count / 200 + 1);
                    ds->CheckBrowseMode();
                    if (MoveToSequence(seq)) {
                        ds->ShowCursorRecord();
                        break;
                    }
                }
            }
            if (pos <= 0) ds->First();
            else if (pos >= (sequenceMode_ ? 200 : 4)) ds->Last();
            else if (!sequenceMode_ && pos == 1) ds->MoveBy(-VisibleRowCount());
            else if (!sequenceMode_ && pos == 3) ds->MoveBy(VisibleRowCount());
            break;
        case SB_TOP: ds->First(); break;
        case SB_BOTTOM: ds->Last(); break;
        default: break;
        }
    });
    UpdateScrollBar();
}

void TvlCustomDBGrid::WndProc(TMessage& Message) {
    if (Message.Msg == WM_VSCROLL) {
        ScrollBarClicked(LOWORD(Message.WParam), static_cast<short>(HIWORD(Message.WParam)));
        Message.Result = 0;
        return;
    }
    if (Message.Msg == CM_FONTCHANGED) {
        TCustomGrid::WndProc(Message);
        LayoutChanged();
        return;
    }
    if (Message.Msg == CM_PARENTFONTCHANGED) {
        TCustomGrid::WndProc(Message);
        if (ParentFont()) {
            copyingParentFont_ = true;
            try {
                titleFont_.Assign(Font());
            } catch (...) {
                copyingParentFont_ = false;
                throw;
            }
            copyingParentFont_ = false;
        }
        LayoutChanged();
        return;
    }
    TCustomGrid::WndProc(Message);
}

// --- moving ----------------------------------------------------------------------------

bool TvlCustomDBGrid::SelectCell(int ACol, int ARow) {
    if (layoutLock_ != 0 || inRowCount_ || !dataLink_.Active()) return true;
    const int want = ARow - titleOffset_;
    const int now = dataLink_.ActiveRecord();
    if (want != now && want >= 0) {
        db::RunUserAction([&] { dataLink_.DataSet()->MoveBy(want - now); });
        return false;
    }
    if (ACol != Col()) ColExit();  // entering is told once the column is current
    return true;
}

void TvlCustomDBGrid::ColEnter() {
    if (OnColEnter) OnColEnter(this);
}

void TvlCustomDBGrid::ColExit() {
    if (OnColExit) OnColExit(this);
}

bool TvlCustomDBGrid::OnColumnBorder(int X, int Y) const {
    if (!(TCustomGrid::Options() & goColSizing) || FixedRows() < 1) return false;
    constexpr int kZone = 3;  // as the grid base grabs a border
    const TRect title = CellRect(0, 0);
    if (Y < 0 || Y >= title.Bottom + GridLineWidth()) return false;
    for (int c = 0; c < ColCount(); ++c) {
        const TRect r = CellRect(c, 0);
        if (!r.IsEmpty() && std::abs(X - r.Right) <= kZone) return true;
    }
    return false;
}

void TvlCustomDBGrid::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (!AcquireFocus()) return;
    if (Button == mbLeft && (Shift & ssDouble)) return;  // the double click has run, and only it
    if (Button == mbLeft && OnColumnBorder(X, Y)) {
        // Sizing a column: what the editor holds is written first.
        if (dataLink_.Active()) WriteData();
        TCustomGrid::MouseDown(Button, Shift, X, Y);
        return;
    }
    const TGridCoord cell = MouseCoord(X, Y);
    if (cell.Y < 0 || cell.X < 0) {
        TControl::MouseDown(Button, Shift, X, Y);
        return;
    }
    auto pressTitle = [&] {
        if (titleButtons_ && Button == mbLeft && cell.X >= indicatorOffset_) {
            pressedCol_ = cell.X;
            pressedRow_ = cell.Y;
            InvalidateCell(cell.X, cell.Y);
        }
    };
    if (cell.Y < titleOffset_) {
        // Titles move and size columns unless they are buttons.
        if (HasOption(dgColumnResize) && !titleButtons_) TCustomGrid::MouseDown(Button, Shift, X, Y);
        else TControl::MouseDown(Button, Shift, X, Y);
        pressTitle();
        return;
    }
    if (dataLink_.Active()) {
        db::TDataSet* ds = dataLink_.DataSet();
        const int dataCol = cell.X - indicatorOffset_;
        if (cell.X == Col() && cell.Y == Row()) {
            if (!IsCustomControlCell(cell.X, cell.Y) && !IsBlobFamily(GetSelectedField())) ShowEditor();
        } else {
            if (cell.X >= FixedCols() && dataCol != GetSelectedIndex()) SetSelectedIndex(dataCol);
            if (cell.Y != Row()) {
                const int by = cell.Y - Row();
                db::RunUserAction([&] { ds->MoveBy(by); });
            }
        }
        // Dragging on from here past the top or bottom pages on a timer.
        if (Button == mbLeft) BeginSelecting();
        if (HasOption(dgMultiSelect)) {
            bool selectionColumn = false;
            if (db::TField* f = GetColField(dataCol); f && plat::CompareAnsi(f->FieldName, "selected", true) == 0) {
                std::string kind, params;
                GetControlTypeInfo(ds, f->FieldName, kind, params);
                selectionColumn = plat::CompareAnsi(kind, "CheckBox", true) == 0;
            }
            const bool ctrlOrShift = (Shift & (ssCtrl | ssShift)) != 0;
            if (!selectionColumn) {
                if (!ctrlOrShift) {
                    if (MultiSelectOptions & (1u << msoAutoUnselect)) {
                        UnselectAll();
                        SelectRecord();
                    }
                } else if (IsCurrentRecordSelected()) {
                    UnselectRecord();
                } else {
                    SelectRecord();
                }
            }
            if ((MultiSelectOptions & (1u << msoShiftSelect)) &&
                (ctrlOrShift || (MultiSelectOptions & (1u << msoAutoUnselect)))) {
                db::RunUserAction([&] {
                    ds->CheckBrowseMode();
                    shiftAnchor_ = ds->GetBookmark();
                });
            }
        }
    }
    Update();
    TControl::MouseDown(Button, Shift, X, Y);
}

void TvlCustomDBGrid::TimedScroll(unsigned Direction) {
    if (dataLink_.Active()) {
        db::TDataSet* ds = dataLink_.DataSet();
        // Past the top: to the record before the first one shown; past the
        // bottom: to the one after the last.
        if (Direction & gui::sdUp) {
            db::RunUserAction([&] { ds->MoveBy(-1 - dataLink_.ActiveRecord()); });
            Direction &= ~gui::sdUp;
        }
        if (Direction & gui::sdDown) {
            db::RunUserAction([&] { ds->MoveBy(dataLink_.RecordCount() - dataLink_.ActiveRecord()); });
            Direction &= ~gui::sdDown;
        }
    }
    if (Direction != 0) TCustomGrid::TimedScroll(Direction);
}

void TvlCustomDBGrid::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (pressedCol_ >= 0) {
        const int col = pressedCol_;
        pressedCol_ = pressedRow_ = -1;
        Invalidate();
        const TGridCoord cell = MouseCoord(X, Y);
        if (cell.X == col && cell.Y == 0)
            if (db::TField* f = GetColField(col - indicatorOffset_)) DoTitleButtonClick(f->FieldName);
        return;
    }
    TCustomGrid::MouseUp(Button, Shift, X, Y);
}

void TvlCustomDBGrid::DoExit() {
    try {
        db::TDataSet* ds = dataLink_.DataSet();
        if (dataLink_.Active() && HasOption(dgCancelOnExit) && ds->State() == db::dsInsert && !ds->Modified() &&
            !dataLink_.IsModified() && MayCancelOnExit())
            ds->Cancel();
        else if (dataLink_.Active())
            WriteData();
    } catch (...) {
        SetFocus();
        throw;
    }
    TCustomGrid::DoExit();
}

void TvlCustomDBGrid::ColumnMoved(int FromIndex, int ToIndex) {
    const int from = FromIndex - indicatorOffset_, to = ToIndex - indicatorOffset_;
    if (!UseTFields) {
        if (from >= 0 && to >= 0 && from < selected_.Count() && to < selected_.Count()) {
            const std::string a = selected_[from];
            selected_.SetString(from, selected_[to]);
            selected_.SetString(to, a);
            LayoutChanged();
        }
    } else if (dataLink_.Active() && GetFieldCount() > 0) {
        db::TField* f = GetFields(from);
        db::TField* other = GetFields(to);
        if (f && other) f->SetIndex(other->Index());
    }
    if (OnColumnMoved) OnColumnMoved(this, from, to);
}

void TvlCustomDBGrid::ColWidthsChanged() {
    TCustomGrid::ColWidthsChanged();
    if (layoutLock_ != 0 || !trackWidths_ || !dataLink_.Active()) return;
    ++layoutLock_;
    try {
        TCanvas& c = Canvas();
        c.Font().Assign(Font());
        const int zero = CharWidthOfZero(c);
        db::TDataSet* ds = dataLink_.DataSet();
        int line = 0;
        for (int i = 0; i < GetFieldCount(); ++i) {
            const int chars = (ColWidths(i + indicatorOffset_) + zero / 2 - 3) / zero;
            if (UseTFields) {
                if (db::TField* f = GetFields(i)) f->SetDisplayWidth(chars);
                continue;
            }
            while (line < selected_.Count() && !ds->FindField(SplitLine(selected_[line], '\t')[0])) ++line;
            if (line >= selected_.Count()) break;
            const auto pieces = SplitLine(selected_[line], '\t');
            selected_.SetString(line, pieces[0] + "\t" + std::to_string(chars) + "\t" + (pieces.size() > 2 ? pieces[2] : ""));
            ++line;
        }
        NotifyDesignerModified(this);
    } catch (...) {
        --layoutLock_;
        throw;
    }
    --layoutLock_;
    LayoutChanged();
}

// --- editing ---------------------------------------------------------------------------

std::string TvlCustomDBGrid::GetEditText(int, int) {
    db::TField* f = GetSelectedField();
    editText_ = f ? f->Text() : std::string();
    return editText_;
}

void TvlCustomDBGrid::SetEditText(int, int, const std::string& Value) { editText_ = Value; }

std::string TvlCustomDBGrid::GetEditMask(int, int) {
    db::TField* f = GetSelectedField();
    return f ? f->EditMask : std::string();
}

int TvlCustomDBGrid::GetEditLimit() {
    db::TField* f = GetSelectedField();
    return f && f->DataType() == db::ftString ? f->Size : 0;
}

bool TvlCustomDBGrid::CanEditAcceptKey(char Key) {
    db::TField* f = GetSelectedField();
    return dataLink_.Active() && GetFieldCount() > 0 && f && f->IsValidChar(Key);
}

bool TvlCustomDBGrid::CanEditShow() {
    return !ReadOnly && dataLink_.Active() && GetSelectedField() && TCustomGrid::CanEditShow();
}

bool TvlCustomDBGrid::CanEditModify() {
    if (ReadOnly || !dataLink_.Active() || dataLink_.ReadOnly() || GetFieldCount() == 0) return false;
    db::TField* f = GetSelectedField();
    if (!f) return false;
    const bool may = f->CanModify() || (EditCalculated && IsCalcOrLookupField(f) && !f->ReadOnly);
    if (!may) return false;
    bool editing = false;
    db::RunUserAction([&] { editing = dataLink_.Edit(); });
    if (editing) dataLink_.Modified();
    return editing;
}

// --- hooks -----------------------------------------------------------------------------

bool TvlCustomDBGrid::IsCustomControlCell(int, int) { return false; }

bool TvlCustomDBGrid::HighlightCell(int, int ARow, const std::string&, TGridDrawState AState) {
    if (HasOption(dgMultiSelect)) return IsSelectedRow(ARow - titleOffset_);
    if (!(AState & gdSelected)) return false;
    if (HasOption(dgAlwaysShowSelection)) return true;
    return Focused() || (InplaceEditor() && InplaceEditor()->Focused());
}

void TvlCustomDBGrid::DoCalcCellColors(db::TField* Field, TGridDrawState State, bool Highlight, TFont& AFont,
                                       TBrush& ABrush) {
    if (OnCalcCellColors) OnCalcCellColors(this, Field, State, Highlight, AFont, ABrush);
}

void TvlCustomDBGrid::DoTitleButtonClick(const std::string& AFieldName) {
    if (OnTitleButtonClick) OnTitleButtonClick(this, AFieldName);
}

void TvlCustomDBGrid::DoCalcTitleAttributes(const std::string& AFieldName, TFont& AFont, TBrush& ABrush,
                                            db::TAlignment& ATitleAlignment) {
    if (OnCalcTitleAttributes) OnCalcTitleAttributes(this, AFieldName, AFont, ABrush, ATitleAlignment);
}

TColor TvlCustomDBGrid::DataCellColor(int, int) { return Color(); }

void TvlCustomDBGrid::DrawDataCell(const TRect& Rect, db::TField* Field, TGridDrawState State) {
    if (OnDrawDataCell) OnDrawDataCell(this, Rect, Field, State);
}

void TvlCustomDBGrid::DefaultDrawDataCell(const TRect& Rect, db::TField* Field, TGridDrawState) {
    const std::string text = Field ? Field->DisplayText() : std::string();
    WriteText(Canvas(), Rect, 2, 2, text, Field ? Field->Alignment : db::taLeftJustify);
}

}  // namespace vl
