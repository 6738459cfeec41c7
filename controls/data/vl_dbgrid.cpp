// The published grid: properties, the dataset's lines, memo and check-box
// cells, user-fixed columns and multi-selection. Controls in cells are in
// vl_dbgrid_cells.cpp.
#include "controls/data/vl_dbgrid.h"

#include "controls/data/vl_control_helpers.h"
#include "controls/data/vl_db_combo.h"
#include "controls/data/vl_db_edit.h"
#include "data/vl_helpers.h"
#include "data/vl_lines.h"
#include "platform/core/codepage.h"
#include "controls/db/db_controls.h"
#include "platform/core/dialog_service.h"
#include "platform/gui/forms.h"
#include "platform/win/message_queue.h"

#include <algorithm>

namespace vl {

using namespace gui;

namespace {

const char kForeignDataSet[] =
    "vlGrid must use descendent of TvlTable, TvlQuery, TvlQBE, TvlStoredProc, TvlClientDataSet.";
const char kInvalidFixedCols[] = "Invalid value for FixedCols";
const char kMemoCellText[] = "(Memo)";
constexpr std::size_t kMemoShownBytes = 255;

bool SameText(const std::string& a, const std::string& b) { return plat::CompareAnsi(a, b, true) == 0; }

// Clears a flag on every way out of a scope.
struct FlagScope {
    bool& flag;
    explicit FlagScope(bool& f) : flag(f) { flag = true; }
    ~FlagScope() { flag = false; }
};

}  // namespace

TvlDBGrid::TvlDBGrid(plat::TComponent* AOwner) : TvlCustomDBGrid(AOwner) {}

TvlDBGrid::~TvlDBGrid() {
    // The controls in cells are the form's: they leave the grid rather than
    // going with it.
    for (const CellControlEntry& e : cellControls_) {
        if (!e.control) continue;
        RemoveFreeNotification(e.control);
        if (e.control->Parent() == this) {
            e.control->Hide();
            e.control->SetParent(FindOwningForm(this) != this ? FindOwningForm(this) : nullptr);
        }
    }
    cellControls_.clear();
    cellControl_ = nullptr;
    bookmarks_.clear();
}

// --- properties ------------------------------------------------------------------------

void TvlDBGrid::SetMemoAttributes(TvlMemoAttributes value) {
    memoAttributes_ = value;
    ApplyDataSetLines();
    Invalidate();
}

void TvlDBGrid::SetTitleColor(TColor value) {
    if (value == TitleColor) return;
    TitleColor = value;
    Invalidate();
}

void TvlDBGrid::SetFixedCols(int value) {
    const bool designing = (ComponentState() & plat::csDesigning) != 0;
    db::TDataSet* ds = DataLink().DataSet();
    // A negative count is refused at run time too: the layout could do
    // nothing sensible with it.
    if (value < 0 || (designing && ds && ds->Active() && IndicatorOffset() + value >= ColCount())) {
        MessageDlg(kInvalidFixedCols, mtWarning, Buttons({mbOK}));
        return;
    }
    userFixedCols_ = value;
    LayoutChanged();
}

// --- entry points ------------------------------------------------------------------------

db::TField* TvlDBGrid::GetCurrentField() const {
    db::TDataSet* ds = const_cast<TvlDBGrid*>(this)->DataLink().DataSet();
    if (!ds || !ds->Active()) return nullptr;
    return GetColField(Col() - IndicatorOffset());
}

void TvlDBGrid::SelectFieldByName(const std::string& Name) {
    if (!DataLink().Active()) return;
    for (int i = 0; i < GetFieldCount(); ++i) {
        db::TField* f = GetColField(i);
        if (f && SameText(f->FieldName, Name)) {
            SetSelectedIndex(i);
            return;
        }
    }
}

// --- the dataset's lines -----------------------------------------------------------------

void TvlDBGrid::ApplyDataSetLines() {
    if (applying_) return;
    db::TDataSource* source = GetDataSource();
    db::TDataSet* ds = source ? source->DataSet() : nullptr;
    if (!ds) return;
    if (!IsVlDataSet(ds)) {
        MessageDlg(kForeignDataSet, mtInformation, Buttons({mbOK}));
        SetDataSource(nullptr);
        return;
    }
    FlagScope guard(applying_);
    AttachControls();
    const bool designing = (ComponentState() & plat::csDesigning) != 0;
    ds->DisableControls();
    try {
        PurgeMissingFieldLines(ds, GetLookupFieldsProp(ds), GetLookupLinksProp(ds), GetControlTypeProp(ds));
        PurgeStaleControlTypes(FindOwningForm(this), ds);
        bool calculated = false;
        for (int i = 0; i < ds->FieldCount(); ++i) calculated = calculated || ds->Fields(i)->Calculated();
        if (Selected().Count() > 0 && (designing || !calculated)) {
            if (UseTFields) {
                ApplySelectedFields(ds, Selected());
            } else {
                controlsAttached_ = false;
                AttachControls();
                LayoutChanged();
            }
        }
    } catch (...) {
        ds->EnableControls();
        throw;
    }
    ds->EnableControls();
    if (designing) UpdateRowCount();
    linesApplied_ = true;
}

void TvlDBGrid::LinkActive(bool Value) {
    {
        FlagScope guard(linking_);
        TvlCustomDBGrid::LinkActive(Value);
    }
    if (Value) ApplyDataSetLines();
    else HideShownControl();
}

void TvlDBGrid::Loaded() {
    TvlCustomDBGrid::Loaded();
    loaded_ = true;
    if (!controlsAttached_) {
        AttachControls();
        LayoutChanged();
    }
}

void TvlDBGrid::WndProc(TMessage& Message) {
    if (Message.Msg == CM_CTL3DCHANGED) {
        // The look changed: the lines are applied again, and the class
        // library's own handling is left out.
        if (ControlStyle & csFramed) ApplyDataSetLines();
        return;
    }
    TvlCustomDBGrid::WndProc(Message);
}

// --- layout ------------------------------------------------------------------------------

void TvlDBGrid::LayoutChanged() {
    TvlCustomDBGrid::LayoutChanged();
    RefreshSelectionMarks();
    SyncCellControl();
}

void TvlDBGrid::SetColumnAttributes() {
    TvlCustomDBGrid::SetColumnAttributes();
    db::TDataSet* ds = DataLink().DataSet();
    if (!ds) return;
    const bool designing = (ComponentState() & plat::csDesigning) != 0;
    if (UseTFields && !linking_ && designing && linesApplied_) StoreSelectedFields(ds, Selected());
    const int fixed = IndicatorOffset() + userFixedCols_;
    if (fixed != TCustomGrid::FixedCols() && ds->Active() && fixed < ColCount()) {
        TCustomGrid::SetFixedCols(fixed);
        // Only the fixed columns lose their tab stop: Tab still reaches the
        // first scrolling column.
        for (int c = 0; c < fixed; ++c) SetTabStops(c, false);
    }
    if (!DataLink().Active()) return;
    for (int i = 0; i < GetFieldCount(); ++i) {
        db::TField* f = GetFields(i);
        if (!f || !f->Calculated()) continue;
        const int col = i + IndicatorOffset();
        if (col < TCustomGrid::FixedCols()) continue;
        std::string kind, params;
        GetControlTypeInfo(ds, f->FieldName, kind, params);
        if (IsCustomControlCell(col, Row()) || SameText(kind, "CheckBox") || SameText(kind, "Bitmap"))
            SetTabStops(col, true);
    }
}

TColor TvlDBGrid::DataCellColor(int ACol, int ARow) {
    if (ACol < IndicatorOffset() + userFixedCols_ && ACol < TCustomGrid::FixedCols()) return TitleColor;
    return TvlCustomDBGrid::DataCellColor(ACol, ARow);
}

void TvlDBGrid::Scroll(int Distance) {
    TvlCustomDBGrid::Scroll(Distance);
    RefreshSelectionMarks();
    SyncCellControl();
}

void TvlDBGrid::DataChanged() {
    TvlCustomDBGrid::DataChanged();
    RefreshSelectionMarks();
    SyncCellControl();
}

void TvlDBGrid::TopLeftChanged() {
    TvlCustomDBGrid::TopLeftChanged();
    SyncCellControl();
}

void TvlDBGrid::Resize() {
    TvlCustomDBGrid::Resize();
    SyncCellControl();
}

// --- cells -------------------------------------------------------------------------------

bool TvlDBGrid::IsRichEditCell(int ACol) const {
    db::TField* f = GetColField(ACol - IndicatorOffset());
    db::TDataSet* ds = const_cast<TvlDBGrid*>(this)->DataLink().DataSet();
    if (!f || !ds) return false;
    std::string kind, params;
    GetControlTypeInfo(ds, f->FieldName, kind, params);
    return SameText(kind, "RichEdit");
}

bool TvlDBGrid::IsMemoCell(int ACol) const {
    db::TField* f = GetColField(ACol - IndicatorOffset());
    return f && f->DataType() == db::ftMemo && !IsRichEditCell(ACol);
}

bool TvlDBGrid::CheckBoxValues(const db::TField* field, std::string& on, std::string& off) const {
    db::TDataSet* ds = const_cast<TvlDBGrid*>(this)->DataLink().DataSet();
    if (!field || !ds) return false;
    std::string kind, params;
    GetControlTypeInfo(ds, field->FieldName, kind, params);
    if (!SameText(kind, "CheckBox")) return false;
    const auto pieces = SplitLine(params, ';');
    on = pieces.size() > 0 ? pieces[0] : std::string();
    off = pieces.size() > 1 ? pieces[1] : std::string();
    return true;
}

bool TvlDBGrid::IsCheckBoxCell(int ACol) const {
    std::string on, off;
    return CheckBoxValues(GetColField(ACol - IndicatorOffset()), on, off);
}

std::string TvlDBGrid::MemoText(db::TField* field, bool) {
    if (!(memoAttributes_ & MemoAttr(mGridShow))) return kMemoCellText;
    std::string text;
    try {
        text = field->AsString();
    } catch (const std::exception&) {
        return kMemoCellText;
    }
    if (text.size() > kMemoShownBytes) text.resize(kMemoShownBytes);
    if (!HasOption(dgWordWrap)) {
        const std::size_t end = text.find_first_of("\r\n");
        if (end != std::string::npos) text.resize(end);
    }
    return text;
}

std::string TvlDBGrid::CellText(int dataCol) {
    db::TField* f = GetColField(dataCol);
    if (!f) return {};
    const int col = dataCol + IndicatorOffset();
    if (IsRichEditCell(col)) {
        try {
            return RtfFirstLine(f->AsString());
        } catch (const std::exception&) {
            return {};
        }
    }
    if (IsMemoCell(col)) return MemoText(f, false);
    std::string text = f->DisplayText();
    if (auto* edit = dynamic_cast<TvlDBCustomEdit*>(ControlForField(f))) {
        std::string shown;
        if (edit->GridDisplayText(f->AsString(), shown)) text = shown;
    }
    return text;
}

void TvlDBGrid::GetFieldText(int ACol, std::string& Text) { Text = CellText(ACol); }

bool TvlDBGrid::CanEditShow() {
    const int col = Col();
    // Memo, rich-text, check-box and control cells are edited otherwise.
    if (IsMemoCell(col) || IsRichEditCell(col) || IsCheckBoxCell(col) || IsCustomControlCell(col, Row()))
        return false;
    return TvlCustomDBGrid::CanEditShow();
}

void TvlDBGrid::EditMemo() {
    if (memoAttributes_ & MemoAttr(mDisableDialog)) return;
    db::TField* f = GetSelectedField();
    if (!f) return;
    auto dialog = std::make_unique<TvlMemoDialog>(this);
    dialog->SetDataSource(GetDataSource());
    dialog->DataField = f->FieldName;
    dialog->MemoAttributes = memoAttributes_;
    std::string caption = f->DisplayLabel.empty() ? f->FieldName : f->DisplayLabel;
    std::replace(caption.begin(), caption.end(), '~', ' ');
    dialog->Caption = caption;
    dialog->SetFont(Font());
    dialog->DlgLeft = -1;
    if (!MayEdit() || f->ReadOnly) dialog->MemoAttributes |= MemoAttr(mViewOnly);
    if (OnMemoOpen) OnMemoOpen(this, dialog.get());
    const bool ok = dialog->Execute();
    if (OnMemoClose) OnMemoClose(this, !ok);
    dialog.reset();
    InvalidateCell(Col(), Row());
    InvalidateEditor();
}

void TvlDBGrid::ToggleCheckBox() {
    db::TField* f = GetSelectedField();
    std::string on, off;
    if (!f || !MayEdit() || f->ReadOnly || !CheckBoxValues(f, on, off)) return;
    db::TDataSource* source = GetDataSource();
    db::TDataSet* ds = DataLink().DataSet();
    if (!source || !ds) return;
    const bool editing = ds->IsEditing();
    if (!source->AutoEdit && !editing) return;
    if (f->Calculated() && SameText(f->FieldName, "selected")) {
        // The check box of a calculated "selected" field is the record's mark.
        if (IsCurrentRecordSelected()) UnselectRecord();
        else SelectRecord();
        InvalidateCell(Col(), Row());
        return;
    }
    db::RunUserAction([&] {
        if (!DataLink().Edit()) return;
        f->SetText(SameText(f->Text(), on) ? off : on);
    });
    InvalidateCell(Col(), Row());
}

// --- keys and mouse ----------------------------------------------------------------------

void TvlDBGrid::KeyDown(unsigned& Key, TShiftState Shift) {
    constexpr unsigned kKeyF2 = VK_F1 + 1;
    if (DataLink().Active() && GetSelectedField()) {
        const int col = Col();
        TWinControl* control = IsCustomControlCell(col, Row()) ? ControlForField(GetSelectedField()) : nullptr;
        const bool rich = IsRichEditCell(col);
        if (Key == VK_DOWN && (Shift & ssAlt) && control && !rich) {
            SyncCellControl();
            if (control->Visible() && control->CanFocus()) {
                control->SetFocus();
                PostKeyStroke(control->Handle(), VK_DOWN, VK_MENU);
                Key = 0;
                return;
            }
        }
        if (Key == kKeyF2) {
            if (rich) {
                // The rich-text editor opens itself on F2.
                if (control) control->Perform(WM_KEYDOWN, kKeyF2, 0);
                InvalidateCell(col, Row());
                Key = 0;
                return;
            }
            if (IsMemoCell(col)) {
                Key = 0;
                EditMemo();
                return;
            }
            if (control) {
                SyncCellControl();
                if (control->Visible() && control->CanFocus()) control->SetFocus();
                if (dynamic_cast<TvlDBCustomEdit*>(control) && TvlDBComboBox::IsEditKey(Key))
                    control->Perform(WM_KEYDOWN, Key, 0);
                Key = 0;
                return;
            }
        }
    }
    TvlCustomDBGrid::KeyDown(Key, Shift);
}

void TvlDBGrid::KeyPress(char& Key) {
    if (DataLink().Active() && GetSelectedField()) {
        const int col = Col();
        if (Key == ' ' && IsCheckBoxCell(col)) {
            Key = 0;
            ToggleCheckBox();
            return;
        }
        if (IsMemoCell(col) || IsRichEditCell(col) || IsCustomControlCell(col, Row())) {
            const bool typed = Key == '\b' || static_cast<unsigned char>(Key) >= 32;
            if (MayEdit() && typed) {
                SyncCellControl();
                if (cellControl_ && cellControl_->Visible() && cellControl_->CanFocus()) {
                    cellControl_->SetFocus();
                    if (auto* edit = dynamic_cast<TCustomEdit*>(cellControl_)) edit->SelectAll();
                    plat::PostMessage(cellControl_->Handle(), WM_CHAR, static_cast<unsigned char>(Key), 0);
                }
            }
            Key = 0;
            return;
        }
    }
    TvlCustomDBGrid::KeyPress(Key);
}

void TvlDBGrid::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    const TGridCoord cell = MouseCoord(X, Y);
    // The press itself may select the clicked record: the range starts at
    // the record selected before it.
    const std::string anchor = anchor_;
    TvlCustomDBGrid::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft || !DataLink().Active()) return;
    const bool onCurrent = cell.X == Col() && cell.Y == Row() && cell.X >= IndicatorOffset() &&
                           cell.Y >= TitleOffset();
    if (onCurrent) {
        if (!(Shift & ssDouble) && HasEditControlOption(ecoCheckboxSingleClick) && IsCheckBoxCell(cell.X))
            ToggleCheckBox();
        // A click on the current cell brings back its hidden control.
        SyncCellControl();
    }
    if (HasOption(dgMultiSelect) && (Shift & ssShift) && !anchor.empty() && cell.Y >= TitleOffset()) {
        const std::string clicked = CurrentBookmark();
        if (!clicked.empty()) SelectRange(anchor, clicked);
    }
}

void TvlDBGrid::DblClick() {
    TvlCustomDBGrid::DblClick();
    if (!DataLink().Active() || !GetSelectedField()) return;
    const int col = Col();
    if (IsRichEditCell(col)) {
        if (TWinControl* control = ControlForField(GetSelectedField())) control->Perform(WM_KEYDOWN, VK_F1 + 1, 0);
        InvalidateCell(col, Row());
        return;
    }
    if (IsMemoCell(col)) {
        EditMemo();
        return;
    }
    if (!HasEditControlOption(ecoCheckboxSingleClick) && IsCheckBoxCell(col)) ToggleCheckBox();
}

// --- multi-selection ---------------------------------------------------------------------

std::string TvlDBGrid::CurrentBookmark() {
    db::TDataSet* ds = DataLink().DataSet();
    return ds && ds->Active() ? ds->GetBookmark() : std::string();
}

namespace {

bool SameBookmark(db::TDataSet* ds, const std::string& a, const std::string& b) {
    if (a == b) return true;
    try {
        return ds->CompareBookmarks(a, b) == 0;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace

bool TvlDBGrid::SelectBookmark(const std::string& bookmark, bool selecting) {
    if (bookmark.empty()) return false;
    bool accept = true;
    if (OnMultiSelectRecord) OnMultiSelectRecord(this, selecting, accept);
    if (!accept) return false;
    db::TDataSet* ds = DataLink().DataSet();
    auto it = std::find_if(bookmarks_.begin(), bookmarks_.end(),
                           [&](const std::string& b) { return SameBookmark(ds, b, bookmark); });
    if (selecting) {
        if (it == bookmarks_.end()) bookmarks_.push_back(bookmark);
        anchor_ = bookmark;
    } else if (it != bookmarks_.end()) {
        bookmarks_.erase(it);
    }
    return true;
}

void TvlDBGrid::SelectRecord() {
    if (SelectBookmark(CurrentBookmark(), true)) {
        RefreshSelectionMarks();
        Invalidate();
    }
}

void TvlDBGrid::UnselectRecord() {
    if (SelectBookmark(CurrentBookmark(), false)) {
        RefreshSelectionMarks();
        Invalidate();
    }
}

void TvlDBGrid::UnselectAll() {
    bookmarks_.clear();
    for (int i = 0; i < rowMarks_.Count(); ++i) rowMarks_.SetString(i, "F");
    Invalidate();
}

void TvlDBGrid::SelectRange(const std::string& from, const std::string& to) {
    db::TDataSet* ds = DataLink().DataSet();
    int order = 0;
    try {
        order = ds->CompareBookmarks(from, to);
    } catch (const std::exception&) {
        return;
    }
    ds->DisableControls();
    try {
        ds->GotoBookmark(from);
        for (;;) {
            const std::string here = ds->GetBookmark();
            SelectBookmark(here, true);
            if (SameBookmark(ds, here, to)) break;
            if (order < 0) ds->Next();
            else ds->Prior();
            if (ds->Eof() || ds->Bof()) break;
        }
        ds->GotoBookmark(to);
    } catch (...) {
        ds->EnableControls();
        throw;
    }
    ds->EnableControls();
    anchor_ = to;
    RefreshSelectionMarks();
    Invalidate();
}

void TvlDBGrid::RefreshSelectionMarks() {
    rowMarks_.Clear();
    if (!DataLink().Active()) return;
    db::TDataSet* ds = DataLink().DataSet();
    const int rows = DataLink().RecordCount();
    if (bookmarks_.empty()) {
        for (int i = 0; i < rows; ++i) rowMarks_.Add("F");
        return;
    }
    const int saved = DataLink().ActiveRecord();
    try {
        for (int i = 0; i < rows; ++i) {
            DataLink().SetActiveRecord(i);
            const std::string here = ds->GetBookmark();
            const bool on = !here.empty() && std::any_of(bookmarks_.begin(), bookmarks_.end(), [&](const std::string& b) {
                return SameBookmark(ds, b, here);
            });
            rowMarks_.Add(on ? "T" : "F");
        }
    } catch (...) {
        DataLink().SetActiveRecord(saved);
        throw;
    }
    DataLink().SetActiveRecord(saved);
}

bool TvlDBGrid::IsSelectedRow(int dataRow) {
    return dataRow >= 0 && dataRow < rowMarks_.Count() && rowMarks_[dataRow] == "T";
}

bool TvlDBGrid::IsCurrentRecordSelected() {
    if (bookmarks_.empty()) return false;
    db::TDataSet* ds = DataLink().DataSet();
    const std::string here = CurrentBookmark();
    return !here.empty() && std::any_of(bookmarks_.begin(), bookmarks_.end(),
                                        [&](const std::string& b) { return SameBookmark(ds, b, here); });
}

}  // namespace vl
