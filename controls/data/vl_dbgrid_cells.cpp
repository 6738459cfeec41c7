// Controls in the published grid's cells: found by the names in the
// dataset's ControlType lines, moved into the grid without a border, and
// shown over the current cell. Which control covers which cell is grid
// state that navigation, focus and data events change through
// SyncCellControl; painting only reads it.
#include "controls/data/vl_dbgrid.h"

#include "controls/data/vl_control_helpers.h"
#include "controls/data/vl_db_edit.h"
#include "data/vl_lines.h"
#include "platform/core/codepage.h"
#include "platform/gui/forms.h"
#include "richtext/io/text_reader.h"

#include <sstream>

namespace vl {

using namespace gui;

namespace {

bool SameText(const std::string& a, const std::string& b) { return plat::CompareAnsi(a, b, true) == 0; }

// The library's data-aware rich-text editor, known by its class name.
bool IsRichTextControl(const plat::TObject* control) {
    return control && control->InheritsFrom("TDBJDRichText");
}

struct FlagScope {
    bool& flag;
    explicit FlagScope(bool& f) : flag(f) { flag = true; }
    ~FlagScope() { flag = false; }
};

std::string FirstLineOf(const std::string& text) {
    const std::size_t end = text.find_first_of("\r\n");
    return end == std::string::npos ? text : text.substr(0, end);
}

}  // namespace

std::string RtfFirstLine(const std::string& rtf) {
    if (rtf.compare(0, 5, "{\\rtf") != 0) return FirstLineOf(rtf);
    richtext::TJDRTFText model;
    richtext::TJDRtfReader reader;
    reader.SetModel(&model);
    std::istringstream in(rtf);
    reader.Read(in);  // what was read before an error still counts
    const richtext::TParagraph* first = model.FirstParagraph();
    if (!first) return {};
    std::string text;
    // Object characters and other control codes are no text to show; a line
    // break inside the paragraph ends the first line.
    for (char c : model.ParagraphText(first)) {
        if (c == '\r' || c == '\n') break;
        if (static_cast<unsigned char>(c) >= 32 || c == '\t') text += c;
    }
    return text;
}

// --- finding and attaching ---------------------------------------------------------------

TWinControl* TvlDBGrid::FindCellControl(const std::string& name, const std::string& kind) {
    plat::TComponent* found = nullptr;
    const std::size_t dot = name.find('.');
    if (dot == std::string::npos) {
        TWinControl* root = HasEditControlOption(ecoSearchOwnerForm) ? FindOwningForm(this) : ParentForm();
        if (root && !name.empty()) found = root->FindComponent(name);
    } else {
        db::TDataSource* source = GetDataSource();
        db::TDataSet* ds = source ? source->DataSet() : nullptr;
        const std::string component = name.substr(dot + 1);
        if (ds && ds->Owner() && !component.empty()) found = ds->Owner()->FindComponent(component);
    }
    if (SameText(kind, "RichEdit") && IsRichTextControl(found)) return dynamic_cast<TWinControl*>(found);
    return dynamic_cast<TCustomEdit*>(found);
}

void TvlDBGrid::AttachControls() {
    db::TDataSource* source = GetDataSource();
    db::TDataSet* ds = source ? source->DataSet() : nullptr;
    if (!ds || IsLoading()) return;
    const bool designing = (ComponentState() & plat::csDesigning) != 0;
    if (controlsAttached_ && !designing) return;
    if (plat::StringList* lines = GetControlTypeProp(ds)) {
        for (int i = 0; i < lines->Count(); ++i) {
            const auto pieces = SplitLine((*lines)[i], ';');
            if (pieces.size() < 3) continue;
            const std::string& kind = pieces[1];
            if (!IsControlKind(kind) && !SameText(kind, "RichEdit")) continue;
            TWinControl* control = FindCellControl(pieces[2], kind);
            if (!control || designing) continue;
            control->Hide();
            control->SetParent(this);
            control->SetCtl3D(Ctl3D());
            control->Font().Assign(Font());
            if (auto* edit = dynamic_cast<TCustomEdit*>(control)) edit->SetBorderStyle(bsNone);
            bool known = false;
            for (CellControlEntry& e : cellControls_)
                if (e.field == pieces[0]) {
                    if (e.control && e.control != control) RemoveFreeNotification(e.control);
                    e.control = control;
                    known = true;
                }
            if (!known) cellControls_.push_back({pieces[0], control});
            FreeNotification(control);
        }
    }
    controlsAttached_ = true;
}

TWinControl* TvlDBGrid::ControlForField(const db::TField* field) const {
    if (!field) return nullptr;
    for (const CellControlEntry& e : cellControls_)
        if (e.control && e.field == field->FieldName) return e.control;
    return nullptr;
}

bool TvlDBGrid::IsCustomControlCell(int ACol, int) {
    return ControlForField(GetColField(ACol - IndicatorOffset())) != nullptr;
}

void TvlDBGrid::Notification(plat::TComponent* AComponent, plat::TOperation Operation) {
    TvlCustomDBGrid::Notification(AComponent, Operation);
    if (Operation != plat::opRemove) return;
    for (CellControlEntry& e : cellControls_)
        if (e.control == AComponent) e.control = nullptr;
    if (cellControl_ == AComponent) {
        cellControl_ = nullptr;
        cellControlCol_ = cellControlRow_ = -1;
    }
}

// --- the control over the current cell --------------------------------------------------

void TvlDBGrid::BindCellControl(TWinControl* control) {
    db::TField* field = GetSelectedField();
    if (!field) return;
    if (auto* edit = dynamic_cast<TvlDBCustomEdit*>(control)) {
        if (edit->DataSource() != GetDataSource()) edit->SetDataSource(GetDataSource());
        if (!SameText(edit->DataField(), field->FieldName)) edit->SetDataField(field->FieldName);
    } else {
        if (GetDataSourceProp(control) != GetDataSource()) SetDataSourceProp(control, GetDataSource());
        if (!SameText(GetDataFieldProp(control), field->FieldName)) SetDataFieldProp(control, field->FieldName);
    }
    if (control->Parent() != this) control->SetParent(this);
    control->SetCtl3D(false);
    if (auto* edit = dynamic_cast<TCustomEdit*>(control)) edit->SetBorderStyle(bsNone);
}

void TvlDBGrid::ShowCellControlOn(int ACol, int ARow) {
    TWinControl* control = cellControl_;
    const TRect r = CellRect(ACol, ARow);
    if (r.Right <= r.Left || r.Bottom <= r.Top) {
        // The cell has scrolled out of view.
        HideShownControl();
        return;
    }
    if (control->BoundsRect() != r) control->SetBoundsRect(r);
    if (control->Parent() != this) control->SetParent(this);
    const bool wasVisible = control->Visible();
    if (!wasVisible) {
        // A lookup combo shows the field's display text; other controls read
        // their field again.
        db::TField* field = GetSelectedField();
        if (control->InheritsFrom("TvlDBCustomLookupCombo")) {
            if (field) control->SetText(field->DisplayText());
        } else if (auto* edit = dynamic_cast<TvlDBCustomEdit*>(control)) {
            edit->DataLink().Reset();
        }
        control->Show();
        if (HasOption(dgAlwaysShowEditor) && control->CanFocus()) {
            control->SetFocus();
            if (auto* edit = dynamic_cast<TCustomEdit*>(control)) edit->SelectAll();
        }
    }
    cellControlCol_ = ACol;
    cellControlRow_ = ARow;
}

void TvlDBGrid::HideShownControl(bool refocus) {
    if (!cellControl_) return;
    TWinControl* control = cellControl_;
    if (refocus && control->Focused() && control->Parent() == this && CanFocus()) SetFocus();
    control->Hide();
    cellControl_ = nullptr;
    cellControlCol_ = cellControlRow_ = -1;
}

void TvlDBGrid::HideCellControl() { HideShownControl(); }

void TvlDBGrid::SyncCellControl() {
    if (syncing_) return;
    FlagScope guard(syncing_);
    TWinControl* want = nullptr;
    const bool designing = (ComponentState() & plat::csDesigning) != 0;
    if (DataLink().Active() && !designing && MayEdit() && Col() >= IndicatorOffset() && Row() >= TitleOffset()) {
        TWinControl* control = ControlForField(GetSelectedField());
        // A rich-text editor is opened by F2, never laid over the cell.
        if (control && !IsRichTextControl(control)) want = control;
    }
    if (cellControl_ && cellControl_ != want) HideShownControl();
    if (!want) return;
    const bool focused = Focused() || want->Focused();
    if (!focused) {
        if (want->Visible()) want->Hide();
        cellControl_ = nullptr;
        cellControlCol_ = cellControlRow_ = -1;
        return;
    }
    if (cellControl_ != want) BindCellControl(want);
    cellControl_ = want;
    ShowCellControlOn(Col(), Row());
}

// --- column, focus and writing -----------------------------------------------------------

void TvlDBGrid::ColEnter() {
    if (DataLink().Active() && MayEdit())
        if (TWinControl* control = ControlForField(GetSelectedField())) BindCellControl(control);
    TvlCustomDBGrid::ColEnter();
    SyncCellControl();
}

void TvlDBGrid::ColExit() {
    TvlCustomDBGrid::ColExit();
    const bool designing = (ComponentState() & plat::csDesigning) != 0;
    if (!designing && (Focused() || (cellControl_ && cellControl_->Focused()))) HideShownControl();
}

void TvlDBGrid::DoEnter() {
    TvlCustomDBGrid::DoEnter();
    SyncCellControl();
}

void TvlDBGrid::DoExit() {
    // The focus is on its way elsewhere: the control only hides.
    HideShownControl(false);
    TvlCustomDBGrid::DoExit();
}

void TvlDBGrid::WriteData() {
    TvlCustomDBGrid::WriteData();
    // The edit writes its text to the field when it is told it lost the focus.
    if (cellControl_ && cellControl_->Visible()) cellControl_->Perform(CM_EXIT, 0, 0);
}

}  // namespace vl
