// The grid's keyboard navigation: every vertical move is a move of the
// dataset; a move past the last record may append one, and an untouched
// appended record is dropped again when the user goes back up.
#include "data/picture_validator.h"
#include "controls/data/vl_db_grid.h"
#include "controls/data/vl_db_grid_edit.h"
#include "data/vl_intl.h"
#include "data/vl_lines.h"
#include "controls/db/db_controls.h"
#include "platform/core/dialog_service.h"
#include "platform/gui/mask_edit.h"

namespace vl {

using namespace gui;

namespace {

constexpr unsigned kKeyF2 = VK_F1 + 1;
const char kInvalidInputValue[] = "Invalid input value.  Use escape key to abandon changes";

bool IsBlob(const db::TField* f) { return f && f->IsBlob(); }

}  // namespace

bool TvlCustomDBGrid::AcquireFocus() {
    if (!acquireFocus_ || !CanFocus()) return true;
    if (!Focused()) SetFocus();
    return Focused() || (InplaceEditor() && InplaceEditor()->Focused());
}

bool TvlCustomDBGrid::MayAppend() {
    db::TDataSet* ds = dataLink_.DataSet();
    // A read-only grid never grows its dataset, whatever key led here.
    return !ReadOnly && ds->CanModify() && HasOption(dgEditing) && (KeyOptions & (1u << dgAllowInsert)) != 0;
}

void TvlCustomDBGrid::NextRow(bool mayAppend) {
    db::TDataSet* ds = dataLink_.DataSet();
    if (ds->State() == db::dsInsert && !ds->Modified() && !dataLink_.IsModified()) {
        if (ds->Eof()) return;
        ds->Cancel();
    } else if (ds->Eof() && dataLink_.ActiveRecord() >= 0 && dataLink_.ActiveRecord() < dataLink_.RecordCount() - 1 &&
               ds->State() != db::dsInsert) {
        dataLink_.SetActiveRecord(dataLink_.ActiveRecord() + 1);
    } else {
        ds->Next();
    }
    if (mayAppend && ds->Eof() && MayAppend()) {
        HideCellControl();
        ds->Append();
    }
}

void TvlCustomDBGrid::PriorRow() {
    db::TDataSet* ds = dataLink_.DataSet();
    if (ds->State() == db::dsInsert && !ds->Modified() && ds->Eof() && !dataLink_.IsModified())
        ds->Cancel();
    else if (ds->Bof() && dataLink_.ActiveRecord() > 0)
        dataLink_.SetActiveRecord(dataLink_.ActiveRecord() - 1);
    else
        ds->Prior();
}

void TvlCustomDBGrid::TabCell(bool back) {
    const int count = GetFieldCount();
    if (count == 0) return;
    const int start = GetSelectedIndex();
    int i = start;
    tabRowChange_ = true;
    try {
        for (;;) {
            i += back ? -1 : 1;
            if (i >= count) {
                HideCellControl();
                NextRow();
                i = 0;
            } else if (i < 0) {
                HideCellControl();
                PriorRow();
                i = count - 1;
            }
            if (i == start) break;
            if (TabStops(i + indicatorOffset_)) {
                SetSelectedIndex(i);
                break;
            }
        }
    } catch (...) {
        tabRowChange_ = false;
        throw;
    }
    tabRowChange_ = false;
}

bool TvlCustomDBGrid::CanGridAcceptKey(unsigned, TShiftState) {
    return dataLink_.Active() && GetFieldCount() > 0;
}

bool TvlCustomDBGrid::CheckColumnExit() {
    TInplaceEdit* editor = InplaceEditor();
    db::TField* f = GetSelectedField();
    if (!editor || !f || !dataLink_.IsModified()) return true;
    db::TDataSet* ds = dataLink_.DataSet();
    bool autoFill = true, useInGrid = true;
    std::string mask;
    GetFieldPictureMask(ds, f->FieldName, false, autoFill, useInGrid, mask);
    if (!useInGrid || mask.empty()) return true;
    std::string text = editor->Text();
    if (text.empty()) return true;
    TvlPictureValidator v(mask, autoFill);
    bool ok = IsPicComplete(v.MatchPictureMask(text, false));
    if (OnCheckValue) OnCheckValue(editor, ok);
    if (ok) return true;
    if (auto* e = dynamic_cast<TvlInplaceEdit*>(editor); e && e->Picture().AllowInvalidExit()) return true;
    editor->SelectAll();
    dataLink_.Modified();
    if (TvlInvalidValueEvent handler = GetOnInvalidValueProp(ds)) {
        handler(ds, f);
        return false;
    }
    throw EDBEditError(kInvalidInputValue);
}

void TvlCustomDBGrid::SetSelectedIndex(int value) {
    if (!CheckColumnExit()) return;
    if (dataLink_.Active()) WriteData();
    int target = std::min(value, GetFieldCount() - 1);
    target = std::max(target, 0);
    target = std::max(target, FixedCols() - indicatorOffset_);
    if (target == GetSelectedIndex()) return;
    const int before = Col();
    ColExit();
    if (Col() != before) return;
    HideEditor();
    const int col = target + indicatorOffset_;
    if (col >= ColCount()) return;
    // A column change never moves the dataset, also while the grid's row
    // still trails a record just appended (SelectCell would post it).
    ++layoutLock_;
    try {
        SetCol(col);
    } catch (...) {
        --layoutLock_;
        throw;
    }
    --layoutLock_;
    if (HasOption(dgAlwaysShowEditor) && !tabRowChange_ && !IsCustomControlCell(col, Row()) &&
        !IsBlob(GetSelectedField()))
        ShowEditor();
    ColEnter();
}

void TvlCustomDBGrid::DeleteCurrentRecord() {
    db::TDataSet* ds = dataLink_.DataSet();
    if (!(KeyOptions & (1u << dgAllowDelete)) || ReadOnly || !ds->CanModify() || !HasOption(dgEditing)) return;
    if (HasOption(dgConfirmDelete) &&
        MessageDlg("Delete record?", mtConfirmation, Buttons({mbOK, mbCancel})) != mrOk)
        return;
    db::RunUserAction([ds] { ds->Delete(); });
    HideEditor();
}

void TvlCustomDBGrid::KeyPress(char& Key) {
    if (Key == '\r' && (KeyOptions & (1u << dgEnterToTab))) Key = '\t';
    if (Key == '\r' && !HasOption(dgAlwaysShowEditor) && dataLink_.Active())
        db::RunUserAction([&] { WriteData(); });
    TCustomGrid::KeyPress(Key);
}

void TvlCustomDBGrid::KeyDown(unsigned& Key, TShiftState Shift) {
    if (OnKeyDown) OnKeyDown(this, Key, Shift);
    if (Key == 0 || !CanGridAcceptKey(Key, Shift)) return;
    db::TDataSet* ds = dataLink_.DataSet();
    const bool ctrl = Shift & ssCtrl;
    const bool rowSelect = HasOption(dgRowSelect);
    const unsigned key = Key;
    auto run = [&](auto&& action) {
        Key = 0;
        db::RunUserAction(action);
    };
    switch (key) {
    case VK_UP:
        if (ctrl) run([&] { ds->MoveBy(-dataLink_.ActiveRecord()); });
        else run([&] { PriorRow(); });
        break;
    case VK_DOWN:
        if (ctrl) run([&] { ds->MoveBy(dataLink_.BufferCount() - dataLink_.ActiveRecord() - 1); });
        else run([&] { NextRow(); });
        break;
    case VK_LEFT:
        if (ctrl) run([&] { SetSelectedIndex(0); });
        else if (rowSelect) run([&] { PriorRow(); });
        else run([&] { SetSelectedIndex(GetSelectedIndex() - 1); });
        break;
    case VK_RIGHT:
        if (ctrl) run([&] { SetSelectedIndex(GetFieldCount() - 1); });
        else if (rowSelect) run([&] { NextRow(); });
        else run([&] { SetSelectedIndex(GetSelectedIndex() + 1); });
        break;
    case VK_PRIOR:
        if (ctrl) run([&] { ds->MoveBy(-dataLink_.ActiveRecord()); });
        else run([&] { ds->MoveBy(-VisibleRowCount()); });
        break;
    case VK_NEXT:
        if (ctrl) run([&] { ds->MoveBy(dataLink_.BufferCount() - dataLink_.ActiveRecord() - 1); });
        else run([&] { ds->MoveBy(VisibleRowCount()); });
        break;
    case VK_HOME:
        if (ctrl || ds->FieldCount() == 1 || rowSelect) run([&] { ds->First(); });
        else run([&] { SetSelectedIndex(0); });
        break;
    case VK_END:
        if (ctrl || ds->FieldCount() == 1 || rowSelect) run([&] { ds->Last(); });
        else run([&] { SetSelectedIndex(GetFieldCount() - 1); });
        break;
    case VK_TAB:
        if (!(Shift & ssAlt)) run([&] { TabCell(Shift & ssShift); });
        break;
    case VK_RETURN:
        if (KeyOptions & (1u << dgEnterToTab)) run([&] { TabCell(Shift & ssShift); });
        break;
    case VK_ESCAPE:
        Key = 0;
        dataLink_.Reset();
        if (!HasOption(dgAlwaysShowEditor)) {
            HideEditor();
        } else if (OnCheckValue && InplaceEditor()) {
            std::string text = InplaceEditor()->Text();
            bool autoFill = true, useInGrid = true;
            std::string mask;
            if (db::TField* f = GetSelectedField())
                GetFieldPictureMask(ds, f->FieldName, false, autoFill, useInGrid, mask);
            bool ok = true;
            if (useInGrid && !mask.empty() && !text.empty()) {
                TvlPictureValidator v(mask, autoFill);
                ok = IsPicComplete(v.MatchPictureMask(text, false));
            }
            OnCheckValue(InplaceEditor(), ok);
        }
        break;
    case VK_INSERT:
        if (!ctrl && !ReadOnly && HasOption(dgEditing) && (KeyOptions & (1u << dgAllowInsert)))
            run([&] { ds->Insert(); });
        break;
    case kKeyF2:
        if (db::TField* f = GetSelectedField(); f && !f->IsBlob() && !IsCustomControlCell(Col(), Row())) {
            Key = 0;
            ShowEditor();
        }
        break;
    case VK_DELETE:
        if (ctrl) {
            Key = 0;
            DeleteCurrentRecord();
        }
        break;
    default: break;
    }
}

}  // namespace vl
