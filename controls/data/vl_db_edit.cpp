#include "controls/data/vl_db_edit.h"

#include "controls/data/picture_validator.h"
#include "controls/data/vl_lines.h"
#include "platform/db/db_errors.h"
#include "platform/gui/dialog_service.h"
#include "platform/gui/forms.h"
#include "platform/win/message_queue.h"

namespace vl {

using namespace gui;

namespace {
// Takes the focus back after a refused exit, once the focus change is over.
constexpr UINT kRefocus = CM_BASE + 0x231;
}  // namespace

// =====================================================================================
// the picture settings

bool TvlDBPicture::Bound() const {
    auto* edit = dynamic_cast<TvlDBCustomEdit*>(owner_);
    return edit && edit->DataSource() && edit->DataSource()->DataSet() && !edit->DataField().empty();
}

std::string TvlDBPicture::PictureMask() const {
    if (!Bound()) return mask_;
    auto* edit = static_cast<TvlDBCustomEdit*>(owner_);
    bool autoFill = true, second = true;
    std::string mask;
    GetFieldPictureMask(edit->DataSource()->DataSet(), edit->DataField(), true, autoFill, second, mask);
    return mask;
}

bool TvlDBPicture::AutoFill() const {
    if (!Bound()) return autoFill_;
    auto* edit = static_cast<TvlDBCustomEdit*>(owner_);
    bool autoFill = true, second = true;
    std::string mask;
    GetFieldPictureMask(edit->DataSource()->DataSet(), edit->DataField(), true, autoFill, second, mask);
    return mask.empty() ? autoFill_ : autoFill;
}

void TvlDBPicture::SetPictureMask(const std::string& mask) {
    if (!Bound()) {
        mask_ = mask;
        return;
    }
    auto* edit = static_cast<TvlDBCustomEdit*>(owner_);
    db::TDataSet* ds = edit->DataSource()->DataSet();
    if (!GetTableFieldPicture(ds, edit->DataField()).empty()) {
        MessageDlg("Picture mask already defined in Paradox table. ", mtWarning, Buttons({mbOK}));
        return;
    }
    mask_ = mask;
    SetFieldPictureMask(ds, edit->DataField(), mask, false, true, true, true, AutoFill());
}

void TvlDBPicture::SetAutoFill(bool on) {
    autoFill_ = on;
    if (!Bound()) return;
    auto* edit = static_cast<TvlDBCustomEdit*>(owner_);
    const std::string mask = PictureMask();
    if (!mask.empty())
        SetFieldPictureMask(edit->DataSource()->DataSet(), edit->DataField(), mask, false, true, true, true, on);
}

void TvlDBPicture::SetAllowInvalidExit(bool on) {
    if (!Bound()) allowInvalidExit_ = on;
}

void TvlDBPicture::Assign(const TvlDBPicture& other) {
    SetPictureMask(other.PictureMask());
    SetAutoFill(other.AutoFill());
}

// =====================================================================================
// the mask edit

TvlCustomMaskEdit::TvlCustomMaskEdit(plat::TComponent* AOwner) : TCustomMaskEdit(AOwner) {}

void TvlCustomMaskEdit::ReportCheckValue(bool Passes) {
    if (OnCheckValue) OnCheckValue(this, Passes);
}

bool TvlCustomMaskEdit::TestPictureText(const std::string& text) {
    const std::string mask = picture_.PictureMask();
    bool ok = true;
    if (!text.empty() && !mask.empty()) {
        TvlPictureValidator v(mask, picture_.AutoFill());
        std::string work = text;
        ok = IsPicComplete(v.MatchPictureMask(work, false));
    }
    ReportCheckValue(ok);
    return ok;
}

void TvlCustomMaskEdit::KeyPress(char& Key) {
    TCustomMaskEdit::KeyPress(Key);
    pictureAccepted_ = false;
    if (Key == 0 || !HasPictureMask()) return;
    const std::string text = Text();
    const int start = SelStart(), length = SelLength();
    const auto u = static_cast<unsigned char>(Key);
    if (u == 8) {
        if (OnCheckValue && !ReadOnly()) {
            std::string after = text;
            if (length > 0) after.erase(static_cast<std::size_t>(start), static_cast<std::size_t>(length));
            else if (start > 0) after.erase(static_cast<std::size_t>(start - 1), 1);
            BeginPictureEdit();
            TestPictureText(after);
        }
        return;
    }
    if (u < 32) return;
    const std::string typed = text.substr(0, static_cast<std::size_t>(start)) + Key +
                              text.substr(static_cast<std::size_t>(std::min<int>(start + length, text.size())));
    // Past MaxLength the edit's own limit refuses the key, before the picture
    // could write a longer text itself.
    if (MaxLength() > 0 && static_cast<int>(typed.size()) > MaxLength()) return;
    TvlPictureValidator v(picture_.PictureMask(), picture_.AutoFill());
    std::string work = typed;
    const TvlPicResult r = v.MatchPictureMask(work, picture_.AutoFill());
    // The caret goes after the key and whatever the picture filled in behind it.
    const int caret = start + 1 + static_cast<int>(work.size()) - static_cast<int>(typed.size());
    bool complete = false;
    if (IsPicComplete(r)) {
        complete = true;
        if (!ReadOnly()) {
            BeginPictureEdit();
            if (BorderStyle() != bsNone) {
                SetText(work);
                Key = 0;
                SetSelStart(std::min<int>(caret, static_cast<int>(work.size())));
            } else {
                // The last character is typed the normal way.
                Key = work.back();
                SetText(work.substr(0, work.size() - 1));
                SetSelStart(std::min<int>(caret - 1, static_cast<int>(work.size()) - 1));
            }
            SetSelLength(0);
            SetModified(true);
        }
        pictureAccepted_ = true;
    } else if (IsPicIncomplete(r)) {
        if (!ReadOnly()) {
            BeginPictureEdit();
            SetText(work);
            SetSelStart(std::min<int>(caret, static_cast<int>(work.size())));
            SetSelLength(0);
            SetModified(true);
            Key = 0;
        }
        pictureAccepted_ = true;
    } else if (start + length >= static_cast<int>(text.size())) {
        // A key the picture refuses at the end of the text: a beep, nothing typed.
        Key = 0;
        MessageBeep(0);
        return;
    }
    if (!ReadOnly()) ReportCheckValue(complete);
}

void TvlCustomMaskEdit::DoExit() {
    TCustomMaskEdit::DoExit();
    invalidExit_ = false;
    if (refocusPending_) return;  // leaving again before the focus came back
    if (HasPictureMask() && Modified() && !picture_.AllowInvalidExit() && !TestPictureText(Text())) {
        SelectAll();
        SetModified(true);
        MessageBeep(0);
        invalidExit_ = true;
        // The focus comes back once, when the focus change under way is over.
        refocusPending_ = true;
        plat::PostMessage(Handle(), kRefocus, 0, 0);
    }
}

void TvlCustomMaskEdit::WndProc(TMessage& Message) {
    if (Message.Msg == kRefocus) {
        refocusPending_ = false;
        if (CanFocus()) SetFocus();
        SelectAll();
        return;
    }
    TCustomMaskEdit::WndProc(Message);
}

// =====================================================================================
// the data-aware edit

TvlDBCustomEdit::TvlDBCustomEdit(plat::TComponent* AOwner) : TvlCustomMaskEdit(AOwner) {
    dataLink_.SetControl(this);
    dataLink_.OnDataChange = [this] { DataChange(); };
    dataLink_.OnEditingChange = [this] {};
    dataLink_.OnUpdateData = [this] { UpdateData(); };
}

TvlDBCustomEdit::~TvlDBCustomEdit() {
    dataLink_.OnDataChange = nullptr;
    dataLink_.OnUpdateData = nullptr;
    dataLink_.SetDataSource(nullptr);
}

void TvlDBCustomEdit::SetDataSource(db::TDataSource* source) {
    dataLink_.SetDataSource(source);
    if (source) source->FreeNotification(this);
    DataChange();
}

void TvlDBCustomEdit::Notification(plat::TComponent* AComponent, plat::TOperation Operation) {
    TvlCustomMaskEdit::Notification(AComponent, Operation);
    if (Operation == plat::opRemove && AComponent == DataSource()) dataLink_.SetDataSource(nullptr);
}

void TvlDBCustomEdit::DataChange() {
    db::TField* f = dataLink_.Field();
    if (!f) {
        SetText("");
        return;
    }
    if (!HasPictureMask()) SetMaxLength(f->DataType() == db::ftString ? f->Size : 0);
    const bool memo = f->DataType() == db::ftMemo;
    if (Focused() && dataLink_.CanModify()) SetText(memo ? f->AsString() : f->Text());
    else SetText(memo ? f->AsString() : f->DisplayText());
    SetModified(false);
}

void TvlDBCustomEdit::BeginPictureEdit() {
    if (dataLink_.Field()) dataLink_.Edit();
}

void TvlDBCustomEdit::KeyPress(char& Key) {
    const auto u = static_cast<unsigned char>(Key);
    if ((u >= 32 || u == 8) && dataLink_.Field()) {
        if (ReadOnly() || !dataLink_.Edit()) {
            Key = 0;  // a record that cannot be edited takes no keys
            return;
        }
    }
    TvlCustomMaskEdit::KeyPress(Key);
}

void TvlDBCustomEdit::Change() {
    if (dataLink_.Field()) dataLink_.Modified();
    TvlCustomMaskEdit::Change();
}

void TvlDBCustomEdit::UpdateData() {
    db::TField* f = dataLink_.Field();
    if (ReadOnly() || !f) return;
    if (HasPictureMask()) {
        db::TDataSet* ds = f->DataSet();
        IvlDataSet* vl = AsVlDataSet(ds);
        if (vl && vl->ValidateWithMask() && !TestPictureText(Text())) {
            if (vl->OnInvalidValue) vl->OnInvalidValue(ds, f);
            else throw EDBEditError("Invalid input value");
        }
    } else {
        ValidateEdit();
    }
    if (!Modified() && !dataLink_.IsModified()) return;
    if (f->DataType() == db::ftMemo) f->SetAsString(StoredText());
    else f->SetText(StoredText());
}

void TvlDBCustomEdit::DoExit() {
    try {
        dataLink_.UpdateRecord();
    } catch (...) {
        SelectAll();
        SetFocus();
        SetModified(true);
        throw;
    }
    TvlCustomMaskEdit::DoExit();
}

}  // namespace vl
