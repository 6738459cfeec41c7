// The library's data grid: the records of a dataset as rows, a list of its
// fields as columns. The grid holds only as many rows as fit; scrolling moves
// the dataset, never the grid's own top row. Titles may span several lines
// ("~" breaks them), cells may be check boxes or pictures by the dataset's
// ControlType lines, and the indicator column shows the record's state.
//
// The indicator glyphs (VLDBGARROW, VLDBEDIT, VLDBINSERT) are drawn here and
// kept as program resources, so a resource of that name replaces them. The
// vertical bar follows the engine's sequence numbers where the cursor gives
// them, else it tells only top, middle and bottom. Moving down or tabbing
// past the last record appends unless the grid is read-only or inserts are
// off, and leaving an appended row untouched drops it. Titles move and size
// columns unless they are buttons; a button clicks on release over the
// title it was pressed on. bench_grid pages rows with the published grid
// against the plain data grid (controls/db/db_grid.h).
#pragma once

#include "data/vl_dataset.h"
#include "data/data_source.h"
#include "data/fields.h"
#include "platform/gui/grids.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vl {

enum TvlDBGridOption {
    dgEditing, dgAlwaysShowEditor, dgTitles, dgIndicator, dgColumnResize, dgColLines, dgRowLines, dgTabs,
    dgRowSelect, dgAlwaysShowSelection, dgConfirmDelete, dgCancelOnExit, dgWordWrap, dgPerfectRowFit, dgMultiSelect
};
using TvlDBGridOptions = std::uint16_t;
constexpr TvlDBGridOptions Opt(TvlDBGridOption o) { return static_cast<TvlDBGridOptions>(1u << o); }
constexpr TvlDBGridOptions kDefaultGridOptions =
    Opt(dgEditing) | Opt(dgTitles) | Opt(dgIndicator) | Opt(dgColumnResize) | Opt(dgColLines) | Opt(dgRowLines) |
    Opt(dgTabs) | Opt(dgConfirmDelete) | Opt(dgCancelOnExit) | Opt(dgWordWrap);

enum TvlDBGridKeyOption { dgEnterToTab, dgAllowDelete, dgAllowInsert };
using TvlDBGridKeyOptions = std::uint8_t;
enum TvlMultiSelectOption { msoAutoUnselect, msoShiftSelect };
using TvlMultiSelectOptions = std::uint8_t;
enum TIndicatorColorType { icBlack, icYellow };

using TTitleButtonClickEvent = std::function<void(plat::TObject* Sender, const std::string& AFieldName)>;
using TCalcCellColorsEvent = std::function<void(plat::TObject* Sender, db::TField* Field, gui::TGridDrawState State,
                                                bool Highlight, gui::TFont& AFont, gui::TBrush& ABrush)>;
using TCalcTitleAttributesEvent = std::function<void(plat::TObject* Sender, const std::string& AFieldName,
                                                     gui::TFont& AFont, gui::TBrush& ABrush,
                                                     db::TAlignment& ATitleAlignment)>;
using TvlDrawDataCellEvent =
    std::function<void(plat::TObject* Sender, gui::TRect Rect, db::TField* Field, gui::TGridDrawState State)>;
using TvlValidateEvent = std::function<void(plat::TObject* Sender, bool PassesPictureTest)>;


class TvlCustomDBGrid;
class TvlIButton;

class TvlGridDataLink : public db::TDataLink {
public:
    explicit TvlGridDataLink(TvlCustomDBGrid* grid) : grid_(grid) {}
    ~TvlGridDataLink() override;
    // Maps the named field; false when the dataset has none.
    bool AddMapping(const std::string& fieldName);
    void ClearMapping();
    void Modified() { modified_ = true; }
    bool IsModified() const { return modified_; }
    // No dataset, or one that made its fields from its definitions.
    bool GetDefaultFields() const;
    int FieldCount() const { return static_cast<int>(map_.size()); }
    int Capacity() const { return static_cast<int>(map_.capacity()); }
    db::TField* GetFields(int i) const;
    // Escape: a pending cell edit is dropped; otherwise, after the user
    // agrees, the record's changes are (a new record with none goes at once).
    void Reset();

protected:
    void ActiveChanged() override;
    void DataSetChanged() override;
    void DataSetScrolled(int distance) override;
    void EditingChanged() override;
    void LayoutChanged() override;
    void RecordChanged(db::TField* field) override;
    void UpdateData() override;

private:
    friend class TvlCustomDBGrid;
    TvlCustomDBGrid* grid_;
    std::vector<std::int32_t> map_;
    bool modified_ = false;
    bool inUpdateData_ = false;
};

// Cell painting helpers the grids share.
// The raster operation of a "Bitmap" cell's copy-mode name; SRCCOPY for any other.
gui::TCopyMode CopyModeOfName(const std::string& name);
enum TvlBitmapSizeMode { smOriginal, smStretch, smFitHeight, smFitWidth, smUnknown };
TvlBitmapSizeMode SizeModeOfName(const std::string& name);
// Where a picture of w x h goes in `cell` and which part of it: false when
// nothing is drawn.
bool BitmapPlacement(TvlBitmapSizeMode mode, int w, int h, const gui::TRect& cell, gui::TRect& dest,
                     gui::TRect& source);
// The bytes of a picture blob less the 8-byte header some writers put in
// front (16-bit 1, 16-bit 256, 32-bit length of the rest).
std::string StripBlobHeader(const std::string& blob);
void WriteText(gui::TCanvas& canvas, const gui::TRect& rect, int dx, int dy, const std::string& text,
               db::TAlignment alignment);
// WriteText's way for a brush colour the device can only dither: the text is
// drawn on the shared bitmap filled with the brush, then copied to the cell.
void WriteDitheredText(gui::TCanvas& canvas, const gui::TRect& rect, int dx, int dy, const std::string& text,
                       db::TAlignment alignment);
void WriteWrappedText(gui::TCanvas& canvas, const gui::TRect& rect, int dx, int dy, const std::string& text,
                      db::TAlignment alignment);

class TvlCustomDBGrid : public gui::TCustomGrid {
public:
    explicit TvlCustomDBGrid(plat::TComponent* AOwner);
    ~TvlCustomDBGrid() override;

    // --- properties ----------------------------------------------------------------
    TvlDBGridOptions Options() const { return options_; }
    void SetOptions(TvlDBGridOptions value);
    bool HasOption(TvlDBGridOption o) const { return (options_ & Opt(o)) != 0; }
    TvlDBGridKeyOptions KeyOptions = (1u << dgAllowDelete) | (1u << dgAllowInsert);
    TvlMultiSelectOptions MultiSelectOptions = 0;
    bool ReadOnly = false;
    bool DefaultDrawing = true;
    bool UseTFields = true;
    bool EditCalculated = false;
    gui::TFont& TitleFont() { return titleFont_; }
    void SetTitleFont(const gui::TFont& font);
    gui::TColor TitleColor = gui::clBtnFace;
    db::TAlignment TitleAlignment() const { return titleAlignment_; }
    void SetTitleAlignment(db::TAlignment a);
    int TitleLines() const { return titleLines_; }
    void SetTitleLines(int n);
    bool TitleButtons() const { return titleButtons_; }
    void SetTitleButtons(bool on);
    TIndicatorColorType IndicatorColor() const { return indicatorColor_; }
    void SetIndicatorColor(TIndicatorColorType c);
    int RowHeightPercent() const { return rowHeightPercent_; }
    void SetRowHeightPercent(int percent);
    bool ShowVertScrollBar() const { return showVertScrollBar_; }
    void SetShowVertScrollBar(bool on);
    bool ShowHorzScrollBar() const;
    void SetShowHorzScrollBar(bool on);
    plat::StringList& Selected() { return selected_; }
    void SetSelected(const plat::StringList& lines) { selected_.Assign(lines); }
    int IndicatorWidth() const { return indicatorWidth_; }
    void SetIndicatorWidth(int w);
    db::TDataSource* GetDataSource() const { return dataLink_.DataSource(); }
    void SetDataSource(db::TDataSource* source);
    TvlGridDataLink& DataLink() { return dataLink_; }
    // The button in the top-left corner cell; its width sets the indicator
    // column's and its height the least title height.
    TvlIButton* IndicatorButton() const { return indicatorButton_; }
    void SetIndicatorButton(TvlIButton* button);

    gui::TNotifyEvent OnColEnter, OnColExit, OnTopRowChanged;
    TvlDrawDataCellEvent OnDrawDataCell;
    TCalcCellColorsEvent OnCalcCellColors;
    TCalcTitleAttributesEvent OnCalcTitleAttributes;
    TTitleButtonClickEvent OnTitleButtonClick;
    TvlValidateEvent OnCheckValue;
    gui::TMovedEvent OnColumnMoved;

    // --- operations ----------------------------------------------------------------
    db::TField* GetSelectedField() const;
    int GetFieldCount() const { return dataLink_.FieldCount(); }
    db::TField* GetFields(int index) const { return dataLink_.GetFields(index); }
    db::TField* GetColField(int index) const;
    int GetSelectedIndex() const { return Col() - indicatorOffset_; }
    void SetSelectedIndex(int value);
    int ColToFieldIndex(int ACol) const { return HasOption(dgIndicator) ? ACol - 1 : ACol; }
    int RowToDataRow(int ARow) const { return HasOption(dgTitles) ? ARow - 1 : ARow; }
    int TitleOffset() const { return titleOffset_; }
    int IndicatorOffset() const { return indicatorOffset_; }
    void DefaultDrawDataCell(const gui::TRect& Rect, db::TField* Field, gui::TGridDrawState State);
    void UpdateScrollBar();
    void UpdateRowCount();
    void UpdateActive();
    void UpdateData();
    void RecordChanged(db::TField* Field);
    void InvalidateIndicator();
    // The height at which the grid ends with its last whole row (dgPerfectRowFit):
    // the present height when another row still fits or the grid is no taller.
    int PerfectRowFitHeight() const;
    // The vertical bar is in sequence mode (record numbers from the engine).
    bool SequenceScrollBar() const { return sequenceMode_; }
    // The text and mask the in-place editor gets.
    std::string GetEditText(int ACol, int ARow) override;
    void SetEditText(int ACol, int ARow, const std::string& Value) override;
    std::string GetEditMask(int ACol, int ARow) override;
    int GetEditLimit() override;
    bool CanEditModify() override;
    // The bitmaps of the indicator (arrow, edit, insert), shared by all grids.
    static const gui::TBitmap& IndicatorGlyph(int which);

    // --- hooks the published grid extends -------------------------------------------
    virtual void LayoutChanged();
    virtual void Scroll(int Distance);
    virtual bool HighlightCell(int ACol, int ARow, const std::string& Value, gui::TGridDrawState AState);
    virtual void DefineFieldMap();
    virtual void SetColumnAttributes();
    virtual void LinkActive(bool Value);
    virtual bool IsCustomControlCell(int ACol, int ARow);
    virtual void DoCalcCellColors(db::TField* Field, gui::TGridDrawState State, bool Highlight, gui::TFont& AFont,
                                  gui::TBrush& ABrush);
    virtual void DoTitleButtonClick(const std::string& AFieldName);
    virtual void DoCalcTitleAttributes(const std::string& AFieldName, gui::TFont& AFont, gui::TBrush& ABrush,
                                       db::TAlignment& ATitleAlignment);
    virtual gui::TColor DataCellColor(int ACol, int ARow);
    virtual void DrawCheckBox(const gui::TRect& box, int ACol, bool checked, int ARow);
    virtual void RefreshSelectionMarks() {}
    virtual void HideCellControl() {}
    virtual void UnselectAll() {}
    virtual void DataChanged();
    virtual void TopRowChanged();
    virtual void WriteData();
    virtual void SelectRecord() {}
    virtual void UnselectRecord() {}
    virtual void CalcRowHeights();
    virtual bool MayCancelOnExit() { return true; }
    virtual void ColEnter();
    virtual void ColExit();
    virtual void GetFieldText(int ACol, std::string& Text);
    virtual void DrawDataCell(const gui::TRect& Rect, db::TField* Field, gui::TGridDrawState State);
    virtual bool IsSelectedRow(int dataRow) { return false; }
    virtual bool IsCurrentRecordSelected() { return false; }
    // Takes the focus when the grid should; false when neither the grid nor
    // its editor then has it.
    bool AcquireFocus();

    // The title row's height and a data row's, as laid out.
    int DefaultDataRowHeight() const { return DefaultRowHeight(); }
    int PressedTitleCol() const { return pressedCol_; }
    // The bookmark a Shift range of a multi-selection starts from (the last
    // record clicked with msoShiftSelect).
    const std::string& ShiftAnchor() const { return shiftAnchor_; }

protected:
    void DrawCell(int ACol, int ARow, gui::TRect ARect, gui::TGridDrawState AState) override;
    bool SelectCell(int ACol, int ARow) override;
    bool CanEditShow() override;
    bool CanEditAcceptKey(char Key) override;
    void ColumnMoved(int FromIndex, int ToIndex) override;
    void ColWidthsChanged() override;
    void KeyDown(unsigned& Key, gui::TShiftState Shift) override;
    // Enter (dgEnterToTab: as Tab) writes the cell's text to its field
    // unless the editor always shows.
    void KeyPress(char& Key) override;
    void MouseDown(gui::TMouseButton Button, gui::TShiftState Shift, int X, int Y) override;
    void MouseUp(gui::TMouseButton Button, gui::TShiftState Shift, int X, int Y) override;
    void TimedScroll(unsigned Direction) override;
    void Resize() override;
    void DoExit() override;
    void WndProc(gui::TMessage& Message) override;
    // The grid's editor is a TvlInplaceEdit (vl_db_grid_edit.h).
    gui::TInplaceEdit* CreateEditor() override;
    // The cursor's record count and the current record's sequence number;
    // false when the engine cannot tell.
    virtual bool ReadSequence(std::uint32_t& count, std::uint32_t& seqNo);
    virtual bool MoveToSequence(std::uint32_t seqNo);
    void ScrollBarClicked(int code, int pos);

    // Keyboard navigation (vl_dbgrid_nav.cpp): rows move the dataset, a
    // move past the last record may append, Tab walks the tab-stop columns.
    // A move past the last record appends only when `mayAppend` (the
    // scroll bar never appends).
    void NextRow(bool mayAppend = true);
    void PriorRow();
    void TabCell(bool back);
    bool CanGridAcceptKey(unsigned Key, gui::TShiftState Shift);
    // False when the editor's text fails the column's grid mask; the
    // dataset's OnInvalidValue has then run, or the error is raised.
    bool CheckColumnExit();
    void DeleteCurrentRecord();
    bool MayAppend();
    // The press is on a column border in the title row (column sizing).
    bool OnColumnBorder(int X, int Y) const;

    // Painting pieces.
    void WriteTitle(const gui::TRect& rect, const std::string& text, db::TAlignment alignment);
    void WriteCellText(const gui::TRect& rect, const std::string& text, db::TAlignment alignment);
    void DrawCellBorders(const gui::TRect& rect, int ACol, gui::TGridDrawState AState, int ARow);
    bool DrawControlTypeCell(int ACol, int ARow, const gui::TRect& rect, gui::TGridDrawState AState);
    void DrawIndicator(const gui::TRect& rect);
    void PaintCellBackground(int ACol, int ARow, const gui::TRect& rect, gui::TGridDrawState AState,
                             db::TField* field, const std::string& text, bool& highlight);

    TvlGridDataLink dataLink_{this};
    int paintDataCol_ = -1, paintDataRow_ = -1;
    bool focusRectDrawn_ = false, bordersDrawn_ = false, brushIsWhite_ = false;

private:
    friend class TvlGridDataLink;

    TvlDBGridOptions options_ = 0;
    gui::TFont titleFont_;
    db::TAlignment titleAlignment_ = db::taLeftJustify;
    int titleLines_ = 1;
    bool titleButtons_ = false;
    TIndicatorColorType indicatorColor_ = icBlack;
    int rowHeightPercent_ = 100;
    bool showVertScrollBar_ = false;
    plat::StringList selected_;
    int indicatorWidth_ = 11;
    bool acquireFocus_ = true;
    bool trackWidths_ = true;
    int titleOffset_ = 1, indicatorOffset_ = 1;
    int layoutLock_ = 0;
    bool inRowCount_ = false;
    bool inColWidths_ = false;
    std::string editText_;
    int pressedCol_ = -1, pressedRow_ = -1;
    int selectedRow_ = -1;
    bool sequenceMode_ = false;
    std::uint32_t noSequenceCursor_ = 0;
    std::uint32_t countCursor_ = 0;  // the cursor countOfCursor_ was read from; 0: read again
    std::uint32_t countOfCursor_ = 0;
    bool tabRowChange_ = false;
    TvlIButton* indicatorButton_ = nullptr;
    std::string shiftAnchor_;
    // The title font follows the grid's while ParentFont is set; a change
    // made to it otherwise sets the grid's own font apart.
    void TitleFontChanged();
    void ApplyPerfectRowFit();
    bool copyingParentFont_ = false;
};

}  // namespace vl
