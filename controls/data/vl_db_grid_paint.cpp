// How the data grid paints its cells: titles (optionally push buttons and
// several lines), the indicator glyphs, text cells, check boxes and pictures
// chosen by the dataset's ControlType lines, and the 3-D cell borders.
#include "controls/data/vl_db_grid.h"

#include "data/vl_helpers.h"
#include "data/vl_intl.h"
#include "data/vl_lines.h"
#include "platform/core/codepage.h"
#include "platform/core/streams.h"
#include "platform/gui/forms.h"

#include <algorithm>

namespace vl {

using namespace gui;

namespace {

constexpr TColor kGrey = RGB(128, 128, 128);

void Line(TCanvas& c, TColor colour, int x1, int y1, int x2, int y2) {
    c.Pen().SetColor(colour);
    c.MoveTo(x1, y1);
    c.LineTo(x2, y2);
}

// The check box's edges and (when checked) the mark, on any canvas.
void PaintBox(TCanvas& c, const TRect& box, bool checked, bool cross) {
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(clWindow);
    c.FillRect(box);
    const int l = box.Left, t = box.Top, r = box.Right, b = box.Bottom;
    // Outer top and left grey, inner top and left black; inner bottom and
    // right grey text, outer bottom and right white.
    Line(c, kGrey, l - 1, b, l - 1, t - 1);
    Line(c, kGrey, l - 1, t - 1, r + 1, t - 1);
    Line(c, clBlack, l, b - 1, l, t);
    Line(c, clBlack, l, t, r, t);
    Line(c, clGrayText, l, b, r, b);
    Line(c, clGrayText, r, b, r, t - 1);
    Line(c, clWhite, l - 1, b + 1, r + 2, b + 1);
    Line(c, clWhite, r + 1, b + 1, r + 1, t - 2);
    if (!checked) return;
    if (!cross) {
        // Seven one-pixel strokes.
        static const int kTop[7] = {4, 5, 6, 5, 4, 3, 2};
        static const int kBottom[7] = {3, 2, 1, 2, 3, 4, 5};
        for (int i = 0; i < 7; ++i) Line(c, clBlack, l + 2 + i, t + kTop[i], l + 2 + i, b - kBottom[i] + 1);
        return;
    }
    // Two diagonals, two pixels wide.
    for (int i = 0; i < 7; ++i) {
        for (int w = 0; w < 2; ++w) {
            c.SetPixel(l + 2 + i + w, t + 2 + i, clBlack);
            c.SetPixel(r - 3 - i - w, t + 2 + i, clBlack);
        }
    }
}

}  // namespace

void TvlCustomDBGrid::DrawCheckBox(const TRect& box, int, bool checked, int) {
    const TvlCheckBoxInGridStyle style = CreateGlobalIntl().CheckBoxInGridStyle();
    // Windows 4 and later draw check marks: so does the automatic style here.
    const bool cross = style == cbStyleXmark;
    if (!cross) {
        PaintBox(Canvas(), box, checked, false);
        return;
    }
    TBitmap bitmap(std::max(1, Width()), std::max(1, Height()));
    PaintBox(bitmap.Canvas(), box, checked, true);
    const TRect from = Rect(box.Left - 1, box.Top - 1, box.Right + 2, box.Bottom + 2);
    const TCopyMode saved = Canvas().CopyMode;
    Canvas().CopyMode = cmSrcCopy;
    Canvas().CopyRect(from, bitmap.Canvas(), from);
    Canvas().CopyMode = saved;
}

void TvlCustomDBGrid::WriteTitle(const TRect& rect, const std::string& text, db::TAlignment alignment) {
    TCanvas& c = Canvas();
    const int shift = pressedCol_ >= 0 ? 1 : 0;
    const int lineHeight = std::max(1, c.TextHeight("W"));
    const int n = titleLines_ == 1 ? 1 : static_cast<int>(std::count(text.begin(), text.end(), '~')) + 1;
    const int rowHeight = RowHeights(0);
    const int y = static_cast<int>(rowHeight * 0.5 - lineHeight * n * 0.5);
    if (titleLines_ == 1) {
        WriteText(c, rect, 3 + shift, y + shift, text, alignment);
        return;
    }
    // The first line fills the cell's background; the rest go one under another.
    const std::vector<std::string> lines = SplitLine(text, '~');
    int top = rect.Top + y + shift;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        TRect r = rect;
        if (i > 0) {
            r.Top = top;
            c.Brush().SetStyle(bsClear);
        }
        WriteText(c, r, 3 + shift, top - r.Top, lines[i], alignment);
        top += lineHeight + (i == 0 ? 1 : 0);
    }
    c.Brush().SetStyle(bsSolid);
}

void TvlCustomDBGrid::WriteCellText(const TRect& rect, const std::string& text, db::TAlignment alignment) {
    const int shift = pressedCol_ >= 0 ? 1 : 0;
    if (HasOption(dgWordWrap)) WriteWrappedText(Canvas(), rect, 3 + shift, 2 + shift, text, alignment);
    else WriteText(Canvas(), rect, 3 + shift, 2 + shift, text, alignment);
}

void TvlCustomDBGrid::DrawIndicator(const TRect& rect) {
    TCanvas& c = Canvas();
    c.FillRect(rect);
    if (dataLink_.ActiveRecord() != paintDataRow_) return;
    db::TDataSetState st = dataLink_.DataSet()->State();
    const TBitmap& glyph = IndicatorGlyph(st == db::dsEdit ? 1 : st == db::dsInsert ? 2 : 0);
    const int x = rect.Left + (rect.Right - rect.Left - glyph.Width()) / 2 + 1;
    const int y = rect.Top + (rect.Bottom - rect.Top - glyph.Height()) / 2;
    const TRect src = Rect(0, 0, glyph.Width(), glyph.Height());
    const TRect dst = Rect(x, y, x + glyph.Width(), y + glyph.Height());
    TBitmap& g = const_cast<TBitmap&>(glyph);
    if (indicatorColor_ == icBlack) {
        c.CopyMode = cmSrcAnd;  // white is transparent
        c.CopyRect(dst, g.Canvas(), src);
    } else {
        // Black becomes yellow, white the cell's background.
        TBitmap yellow(glyph.Width(), glyph.Height());
        for (int py = 0; py < glyph.Height(); ++py)
            for (int px = 0; px < glyph.Width(); ++px)
                yellow.Canvas().SetPixel(px, py, g.Canvas().Pixel(px, py) == clBlack ? RGB(255, 255, 0)
                                                                                     : c.Brush().Color());
        c.CopyMode = cmSrcCopy;
        c.CopyRect(dst, yellow.Canvas(), src);
    }
    c.CopyMode = cmSrcCopy;
    selectedRow_ = titleOffset_ + paintDataRow_;
}

void TvlCustomDBGrid::PaintCellBackground(int ACol, int ARow, const TRect& rect, TGridDrawState AState,
                                          db::TField* field, const std::string& text, bool& highlight) {
    TCanvas& c = Canvas();
    highlight = HighlightCell(ACol, ARow, text, AState);
    c.Brush().SetStyle(bsSolid);
    if (AState & gdFixed) c.Brush().SetColor(TitleColor);
    else c.Brush().SetColor(DataCellColor(ACol, ARow));
    if (highlight) {
        c.Brush().SetColor(clHighlight);
        c.Font().SetColor(clHighlightText);
    }
    DoCalcCellColors(field, AState, highlight, c.Font(), c.Brush());
    brushIsWhite_ = ColorToRGB(c.Brush().Color()) == RGB(255, 255, 255);
}

bool TvlCustomDBGrid::DrawControlTypeCell(int ACol, int ARow, const TRect& rect, TGridDrawState AState) {
    const int dataCol = ACol - indicatorOffset_, dataRow = ARow - titleOffset_;
    if (dataRow < 0 || dataCol < 0 || dataCol >= GetFieldCount() || !dataLink_.Active()) return false;
    db::TDataSet* ds = dataLink_.DataSet();
    if (!IsVlDataSet(ds)) return false;
    db::TField* field = GetFields(dataCol);
    if (!field) return false;
    std::string kind, params;
    GetControlTypeInfo(ds, field->FieldName, kind, params);
    const bool checkBox = plat::CompareAnsi(kind, "CheckBox", true) == 0;
    const bool bitmap = plat::CompareAnsi(kind, "Bitmap", true) == 0;
    if (!checkBox && !bitmap) return false;
    const auto pieces = SplitLine(params, ';');
    const std::string first = pieces.size() > 0 ? pieces[0] : "", second = pieces.size() > 1 ? pieces[1] : "";
    TCanvas& c = Canvas();
    const int saved = dataLink_.ActiveRecord();
    dataLink_.SetActiveRecord(dataRow);
    paintDataCol_ = dataCol;
    paintDataRow_ = dataRow;
    try {
        bool highlight = false;
        std::string text;
        GetFieldText(dataCol, text);
        PaintCellBackground(ACol, ARow, rect, AState, field, text, highlight);
        if (checkBox) {
            if (field->Calculated() && plat::CompareAnsi(field->FieldName, "selected", true) == 0)
                text = IsCurrentRecordSelected() ? first : second;
            c.FillRect(rect);
            if (highlight && DefaultDrawing && !HasOption(dgRowSelect) && Focused()) {
                c.DrawFocusRect(rect);
                focusRectDrawn_ = true;
            }
            const int l = (rect.Left + rect.Right - 10) / 2, t = (rect.Top + rect.Bottom - 10) / 2;
            DrawCheckBox(Rect(l, t, l + 10, t + 10), ACol, plat::CompareAnsi(text, first, true) == 0, ARow);
        } else {
            c.FillRect(rect);
            const bool inserting = ds->State() == db::dsInsert && dataRow == saved;
            if (!inserting) {
                TBitmap picture;
                try {
                    const std::string bytes = StripBlobHeader(field->AsString());
                    if (!bytes.empty()) {
                        plat::MemoryStream stream(bytes);
                        picture.LoadFromStream(stream);
                    }
                } catch (const std::exception&) {
                    picture.Assign(TBitmap());
                }
                TRect dest, source;
                if (!picture.Empty() &&
                    BitmapPlacement(SizeModeOfName(first), picture.Width(), picture.Height(), rect, dest, source)) {
                    const TCopyMode was = c.CopyMode;
                    c.CopyMode = CopyModeOfName(second);
                    c.CopyRect(dest, picture.Canvas(), source);
                    c.CopyMode = was;
                }
            }
            if (highlight) {
                c.Brush().SetColor(clHighlight);
                c.FrameRect(rect);
                bordersDrawn_ = true;
            }
        }
    } catch (...) {
        dataLink_.SetActiveRecord(saved);
        throw;
    }
    dataLink_.SetActiveRecord(saved);
    DrawCellBorders(rect, ACol, AState, ARow);
    return true;
}

void TvlCustomDBGrid::DrawCell(int ACol, int ARow, TRect ARect, TGridDrawState AState) {
    focusRectDrawn_ = bordersDrawn_ = false;
    TCanvas& c = Canvas();
    c.Brush().SetStyle(bsSolid);
    if (AState & gdFixed) {
        c.Font().Assign(titleFont_);
        c.Brush().SetColor(TitleColor);
    } else {
        c.Font().Assign(Font());
        c.Brush().SetColor(Color());
    }
    if (DrawControlTypeCell(ACol, ARow, ARect, AState)) return;
    const int dataCol = ACol - indicatorOffset_, dataRow = ARow - titleOffset_;
    if (dataRow < 0) {
        db::TAlignment alignment = titleAlignment_;
        std::string title;
        if (dataCol >= 0 && dataCol < GetFieldCount()) {
            db::TField* f = GetFields(dataCol);
            DoCalcTitleAttributes(f ? f->FieldName : std::string(), c.Font(), c.Brush(), alignment);
            if (f) title = f->DisplayLabel.empty() ? f->FieldName : f->DisplayLabel;
            WriteTitle(ARect, title, alignment);
            if (titleButtons_) {
                bordersDrawn_ = true;
                const int l = ARect.Left, t = ARect.Top, r = ARect.Right, b = ARect.Bottom;
                if (pressedCol_ < 0) {
                    Line(c, kGrey, l, t, l, b - 1);
                    Line(c, kGrey, l, b - 1, r - 1, b - 1);
                    Line(c, kGrey, r - 1, b - 1, r - 1, t);
                    Line(c, clBtnHighlight, l, t, l, b);
                    Line(c, clBtnHighlight, l + 1, t, r - 1, t);
                    Line(c, clBtnShadow, l, b - 1, r, b - 1);
                } else {
                    Line(c, clBlack, l, t, l, b);
                    Line(c, clBlack, l, t, r, t);
                    Line(c, kGrey, l + 1, t + 1, l + 1, b - 1);
                    Line(c, kGrey, l + 1, b - 1, r, b - 1);
                    Line(c, clBtnHighlight, r, b - 1, r, t - 1);
                }
            }
        } else {
            WriteTitle(ARect, "", alignment);
        }
        DrawCellBorders(ARect, ACol, AState, ARow);
        return;
    }
    if (!dataLink_.Active()) {
        c.FillRect(ARect);
        return;
    }
    if (dataCol < 0) {
        paintDataRow_ = dataRow;
        DrawIndicator(ARect);
        DrawCellBorders(ARect, ACol, AState, ARow);
        return;
    }
    const int saved = dataLink_.ActiveRecord();
    try {
        dataLink_.SetActiveRecord(dataRow);
        paintDataCol_ = dataCol;
        paintDataRow_ = dataRow;
        db::TField* field = GetColField(dataCol);
        std::string text;
        GetFieldText(dataCol, text);
        bool highlight = false;
        PaintCellBackground(ACol, ARow, ARect, AState, field, text, highlight);
        const db::TAlignment alignment = field ? field->Alignment : db::taLeftJustify;
        if (DefaultDrawing) WriteCellText(ARect, text, alignment);
        else c.FillRect(ARect);
        DrawDataCell(ARect, field, AState);
        if (DefaultDrawing && highlight && !HasOption(dgRowSelect) && (Focused() || (InplaceEditor() && InplaceEditor()->Focused()))) {
            c.DrawFocusRect(ARect);
            focusRectDrawn_ = true;
        }
    } catch (...) {
        dataLink_.SetActiveRecord(saved);
        throw;
    }
    dataLink_.SetActiveRecord(saved);
    DrawCellBorders(ARect, ACol, AState, ARow);
}

void TvlCustomDBGrid::DrawCellBorders(const TRect& rect, int ACol, TGridDrawState AState, int ARow) {
    TCanvas& c = Canvas();
    const bool fixed = (AState & gdFixed) != 0;
    const bool titleRow = ARow < titleOffset_, indicatorCol = ACol < indicatorOffset_;
    const bool white = ColorToRGB(Color()) == RGB(255, 255, 255);
    if (!titleRow && !indicatorCol && white) {
        if (brushIsWhite_) return;
        if (c.Brush().Color() == clHighlight && HighlightCell(ACol, ARow, "", AState)) return;
    }
    const int l = rect.Left, t = rect.Top, r = rect.Right - 1, b = rect.Bottom - 1;
    const bool rowLines = HasOption(dgRowLines);
    if (HasOption(dgColLines)) {
        if (!rowLines) {
            Line(c, clBtnHighlight, l, b, l, t - 1);
            if (ACol > 0) Line(c, clBtnShadow, r, b, r, t - 1);
        } else if (brushIsWhite_ && !fixed) {
            Line(c, clBtnHighlight, l, b, l, t);
        } else {
            if (!focusRectDrawn_) Line(c, clBtnHighlight, l, b, l, t);
            Line(c, fixed ? clBlack : clBtnShadow, r, b, r, t);
        }
    }
    if (white && !rowLines && titleRow) Line(c, clBlack, l, b - 1, r, b - 1);
    if (!rowLines) {
        if (titleRow) Line(c, clBtnHighlight, l, t, r, t);
        return;
    }
    if (brushIsWhite_ && !fixed) {
        Line(c, clBtnHighlight, l, t, r, t);
        return;
    }
    if (!focusRectDrawn_) Line(c, clBtnHighlight, l, t, r, t);
    Line(c, fixed ? clBlack : clBtnShadow, l, b, r + 1, b);
}

}  // namespace vl
