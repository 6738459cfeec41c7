#include "controls/db/db_grid.h"

#include "controls/db/db_controls.h"

#include <algorithm>

namespace db {

TCustomDBGrid::TCustomDBGrid(gui::TComponent* AOwner) : gui::TCustomGrid(AOwner) {
    SetOptions(Options() | gui::goEditing);
    SetColCount(2);
    SetRowCount(2);
}

TCustomDBGrid::~TCustomDBGrid() { link_.SetDataSource(nullptr); }

void TCustomDBGrid::SetDataSource(TDataSource* source) {
    link_.SetDataSource(source);
    LinkActive();
}

int TCustomDBGrid::DataRowsFit() const {
    int h = std::max(1, DefaultRowHeight());
    return std::max(1, Height() / h - 1);
}

void TCustomDBGrid::Resize() {
    gui::TCustomGrid::Resize();
    if (link_.Active()) {
        link_.SetBufferCount(DataRowsFit());
        UpdateRows();
    }
}

void TCustomDBGrid::LinkActive() {
    updating_ = true;
    fields_.clear();
    if (link_.Active()) {
        TDataSet* ds = link_.DataSet();
        for (int i = 0; i < ds->FieldCount(); ++i)
            if (ds->Fields(i)->Visible) fields_.push_back(ds->Fields(i));
        link_.SetBufferCount(DataRowsFit());
    }
    SetColCount(1 + std::max(1, FieldCount()));
    for (int i = 0; i < FieldCount(); ++i)
        SetColWidths(i + 1, std::clamp(fields_[i]->DisplayWidth() * 8, 24, 300));
    SetColWidths(0, 12);
    updating_ = false;
    UpdateRows();
}

void TCustomDBGrid::UpdateRows() {
    updating_ = true;
    int rows = link_.Active() ? std::max(1, link_.RecordCount()) : 1;
    SetRowCount(1 + rows);
    if (link_.Active()) {
        int r = 1 + std::clamp(link_.ActiveRecord(), 0, rows - 1);
        if (Row() != r) MoveColRow(Col(), r, true, true);
    }
    updating_ = false;
    InvalidateGrid();
}

TField* TCustomDBGrid::SelectedField() const {
    int i = SelectedIndex();
    return i >= 0 && i < FieldCount() ? fields_[i] : nullptr;
}

void TCustomDBGrid::SetSelectedIndex(int index) {
    if (index >= 0 && index < FieldCount()) SetCol(index + FixedCols());
}

std::string TCustomDBGrid::CellText(int ACol, int ARow) {
    if (!link_.Active()) return {};
    if (ARow == 0) return ACol >= 1 && ACol - 1 < FieldCount() ? fields_[ACol - 1]->DisplayName() : std::string();
    int rec = ARow - 1;
    if (rec >= link_.RecordCount()) return {};
    if (ACol == 0) {
        if (rec != link_.ActiveRecord()) return {};
        TDataSetState s = link_.DataSet()->State();
        return s == dsInsert ? "*" : s == dsEdit ? "I" : ">";
    }
    if (ACol - 1 >= FieldCount()) return {};
    int saved = link_.ActiveRecord();
    link_.SetActiveRecord(rec);
    std::string text = fields_[ACol - 1]->DisplayText();
    link_.SetActiveRecord(saved);
    return text;
}

void TCustomDBGrid::DrawCell(int ACol, int ARow, gui::TRect ARect, gui::TGridDrawState AState) {
    gui::TCustomGrid::DrawCell(ACol, ARow, ARect, AState);
    Canvas().TextRect(ARect, ARect.Left + 2, ARect.Top + 2, CellText(ACol, ARow));
}

bool TCustomDBGrid::SelectCell(int ACol, int ARow) {
    if (updating_ || !link_.Active()) return true;
    int want = ARow - 1;
    int now = link_.ActiveRecord();
    if (want != now) {
        // The grid's row follows the dataset, which moves by the difference.
        RunUserAction([&] { link_.DataSet()->MoveBy(want - now); });
        return false;
    }
    return true;
}

void TCustomDBGrid::KeyDown(unsigned& Key, gui::TShiftState Shift) {
    if (link_.Active()) {
        TDataSet* ds = link_.DataSet();
        const gui::TShiftState mods = Shift & (gui::ssShift | gui::ssAlt | gui::ssCtrl);
        if (Key == gui::VK_BACK && mods == gui::ssAlt) {
            // The undo key drops the row's pending change, a new row with it.
            CancelRow();
            Key = 0;
            return;
        }
        if (Key == gui::VK_DOWN) {
            // Down from the last row begins a new one, so a list is typed
            // row after row; an untouched new row is not followed by another.
            const bool untouched = ds->State() == dsInsert && !ds->Modified() && pendingCol_ < 0 &&
                                   !(EditorMode() && InplaceEditor() && InplaceEditor()->Modified());
            if (!untouched) {
                RunUserAction([this, ds] {
                    ds->Next();
                    if (ds->Eof() && !ReadOnly && ds->CanModify()) ds->Append();
                });
                HideEditor();
            }
            Key = 0;
            return;
        }
        if (Key == gui::VK_UP) {
            RunUserAction([ds] { ds->Prior(); });
            Key = 0;
            return;
        }
    }
    gui::TCustomGrid::KeyDown(Key, Shift);
}

void TCustomDBGrid::KeyPress(char& Key) {
    // Esc drops the row's pending change, a new row with it; a cell being
    // typed in has already had its text put back by the first Esc.
    if (Key == 27 && link_.Active() && link_.Editing()) {
        CancelRow();
        Key = 0;
        return;
    }
    gui::TCustomGrid::KeyPress(Key);
}

void TCustomDBGrid::CancelRow() {
    HideEditor();
    pendingCol_ = -1;
    RunUserAction([this] { link_.DataSet()->Cancel(); });
}

bool TCustomDBGrid::CanEditShow() {
    return !ReadOnly && link_.Active() && SelectedField() && SelectedField()->CanModify() &&
           gui::TCustomGrid::CanEditShow();
}

bool TCustomDBGrid::CanEditModify() {
    if (ReadOnly || !SelectedField() || !SelectedField()->CanModify()) return false;
    bool editing = false;
    RunUserAction([&] { editing = link_.Edit(); });
    return editing;
}

std::string TCustomDBGrid::GetEditText(int ACol, int) {
    if (!link_.Active() || ACol < 1 || ACol - 1 >= FieldCount()) return {};
    return fields_[ACol - 1]->Text();
}

void TCustomDBGrid::SetEditText(int ACol, int, const std::string& Value) {
    // Kept until the record is posted or the cell is left.
    pendingCol_ = ACol;
    pendingText_ = Value;
    if (link_.Editing()) RunUserAction([this] { UpdateData(); });
}

void TCustomDBGrid::UpdateData() {
    if (pendingCol_ < 1 || pendingCol_ - 1 >= FieldCount()) return;
    int col = pendingCol_;
    pendingCol_ = -1;
    fields_[col - 1]->SetText(pendingText_);
}

namespace {
const bool kGridPropsPublished = [] {
    plat::RegisterProperty<TCustomDBGrid>(plat::ObjectProperty<TCustomDBGrid, TDataSource>(
        "DataSource", [](const TCustomDBGrid& g) { return g.DataSource(); },
        [](TCustomDBGrid& g, TDataSource* s) { g.SetDataSource(s); }));
    return true;
}();
}  // namespace

}  // namespace db
