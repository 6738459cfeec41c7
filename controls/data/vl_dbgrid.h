// The published data grid the editor's forms place on their pages. On top of
// the grid core it applies the dataset's Selected, ControlType and
// PictureMasks lines, shows memo cells as "(Memo)" or their first line and
// edits them in the memo dialog, toggles check-box cells, lets other
// controls of the form edit cells (combos, edits, rich-text editors), keeps
// user-fixed columns and selects several records by bookmark.
//
// Which control shows over which cell is grid state: navigation and data
// events move it (SyncCellControl), painting never does, so a repaint cannot
// move a control. A cell control is found by name on the owning form (or the
// parent form without ecoSearchOwnerForm), or as "Form.Component" among the
// dataset owner's components, and sits in the grid without a border.
//
// The dataset's lines apply when the link becomes active; a dataset that is
// not one of the library's is refused with a message and left unbound.
// Rich-text cells show the first line of their plain text and pass F2 and
// a double click to the rich-text editor. A check-box cell toggles by Space
// and by a click: a single one with ecoCheckboxSingleClick, else a double.
#pragma once

#include "controls/data/vl_db_grid.h"
#include "controls/data/vl_memo_dialog.h"
#include "platform/gui/edits.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vl {

class TvlDBGrid;

enum TvlEditControlOption { ecoCheckboxSingleClick, ecoSearchOwnerForm };
using TvlEditControlOptions = std::uint8_t;
constexpr TvlEditControlOptions EditCtl(TvlEditControlOption o) { return static_cast<TvlEditControlOptions>(1u << o); }

using TvlMemoOpenEvent = std::function<void(TvlDBGrid* Grid, TvlMemoDialog* MemoDialog)>;
using TvlMemoCloseEvent = std::function<void(TvlDBGrid* Grid, bool Cancel)>;
using TvlSelectRecordEvent = std::function<void(TvlDBGrid* Grid, bool Selecting, bool& Accept)>;

// The first line of the plain text of an RTF value (empty for none); a value
// that is no RTF gives its own first line.
std::string RtfFirstLine(const std::string& rtf);

class TvlDBGrid : public TvlCustomDBGrid {
public:
    explicit TvlDBGrid(plat::TComponent* AOwner);
    ~TvlDBGrid() override;

    // --- published properties beyond the core's ------------------------------------
    TvlMemoAttributes MemoAttributes() const { return memoAttributes_; }
    // Applies the dataset's lines again.
    void SetMemoAttributes(TvlMemoAttributes value);
    // Repaints when the colour changes.
    void SetTitleColor(gui::TColor value);
    // Data columns kept fixed at the left, the indicator not counted. A
    // negative value is refused with "Invalid value for FixedCols" (and, while
    // designing, one that leaves no scrolling column).
    int FixedCols() const { return userFixedCols_; }
    void SetFixedCols(int value);
    TvlEditControlOptions EditControlOptions = EditCtl(ecoSearchOwnerForm);
    bool HasEditControlOption(TvlEditControlOption o) const { return (EditControlOptions & EditCtl(o)) != 0; }
    TvlMemoOpenEvent OnMemoOpen;
    TvlMemoCloseEvent OnMemoClose;
    TvlSelectRecordEvent OnMultiSelectRecord;

    // --- entry points of the editor's forms -----------------------------------------
    int GetCurrentCol() const { return Col(); }
    db::TField* GetCurrentField() const;
    // Selects the first column whose field's name matches (any case).
    void SelectFieldByName(const std::string& Name);

    // --- cells ----------------------------------------------------------------------
    // Memo fields that are no rich-text cells.
    bool IsMemoCell(int ACol) const;
    bool IsRichEditCell(int ACol) const;
    bool IsCheckBoxCell(int ACol) const;
    // The grid may edit: editing on, not read-only.
    bool MayEdit() const { return HasOption(dgEditing) && !ReadOnly; }
    // Opens the memo dialog on the current cell (unless mDisableDialog).
    void EditMemo();
    // Flips the current check-box cell between its on- and off-values.
    void ToggleCheckBox();

    // --- controls in cells ----------------------------------------------------------
    // The control named in a ControlType line: a plain name on the search
    // form, "Form.Component" among the dataset owner's components; nullptr
    // when missing or of the wrong kind.
    gui::TWinControl* FindCellControl(const std::string& name, const std::string& kind);
    // The control that edits the field's cells (attached from its line).
    gui::TWinControl* ControlForField(const db::TField* field) const;
    // The control now over the grid, and the cell it covers.
    gui::TWinControl* CellControl() const { return cellControl_; }
    int CellControlCol() const { return cellControlCol_; }
    int CellControlRow() const { return cellControlRow_; }
    // Brings the control over the current cell up to date: shown on it when
    // the grid (or the control) has the focus and the cell may be edited,
    // hidden otherwise.
    void SyncCellControl();
    bool ControlsAttached() const { return controlsAttached_; }

    // --- multi-selection ------------------------------------------------------------
    int SelectedCount() const { return static_cast<int>(bookmarks_.size()); }
    const std::vector<std::string>& SelectedBookmarks() const { return bookmarks_; }
    // "T" or "F" per visible row.
    const plat::StringList& RowMarks() const { return rowMarks_; }

    // --- hooks of the core ------------------------------------------------------------
    void LayoutChanged() override;
    void Scroll(int Distance) override;
    void SetColumnAttributes() override;
    void LinkActive(bool Value) override;
    bool IsCustomControlCell(int ACol, int ARow) override;
    gui::TColor DataCellColor(int ACol, int ARow) override;
    void RefreshSelectionMarks() override;
    void HideCellControl() override;
    void UnselectAll() override;
    void DataChanged() override;
    void WriteData() override;
    void SelectRecord() override;
    void UnselectRecord() override;
    bool MayCancelOnExit() override { return true; }
    void ColEnter() override;
    void ColExit() override;
    void GetFieldText(int ACol, std::string& Text) override;
    bool IsSelectedRow(int dataRow) override;
    bool IsCurrentRecordSelected() override;

protected:
    void Loaded() override;
    void Notification(plat::TComponent* AComponent, plat::TOperation Operation) override;
    bool CanEditShow() override;
    void KeyDown(unsigned& Key, gui::TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void MouseDown(gui::TMouseButton Button, gui::TShiftState Shift, int X, int Y) override;
    void DblClick() override;
    void DoEnter() override;
    void DoExit() override;
    void TopLeftChanged() override;
    void Resize() override;
    void WndProc(gui::TMessage& Message) override;

private:
    struct CellControlEntry {
        std::string field;
        gui::TWinControl* control;
    };
    void ApplyDataSetLines();
    void AttachControls();
    void BindCellControl(gui::TWinControl* control);
    void ShowCellControlOn(int ACol, int ARow);
    // Hides the control over the grid; with `refocus` a control that has the
    // focus first hands it back to the grid.
    void HideShownControl(bool refocus = true);
    // The field's display text as its cell shows it.
    std::string CellText(int dataCol);
    std::string MemoText(db::TField* field, bool currentRow);
    bool CheckBoxValues(const db::TField* field, std::string& on, std::string& off) const;
    bool SelectBookmark(const std::string& bookmark, bool selecting);
    void SelectRange(const std::string& from, const std::string& to);
    std::string CurrentBookmark();

    TvlMemoAttributes memoAttributes_ = MemoAttr(mSizeable) | MemoAttr(mWordWrap);
    bool applying_ = false, linesApplied_ = false, controlsAttached_ = false;
    bool linking_ = false, loaded_ = false, syncing_ = false;
    int userFixedCols_ = 0;
    std::vector<std::string> bookmarks_;
    std::string anchor_;
    plat::StringList rowMarks_;
    std::vector<CellControlEntry> cellControls_;
    gui::TWinControl* cellControl_ = nullptr;
    int cellControlCol_ = -1, cellControlRow_ = -1;
};

}  // namespace vl
