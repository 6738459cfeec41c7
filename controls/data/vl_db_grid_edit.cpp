#include "controls/data/vl_db_grid_edit.h"

#include "data/picture_validator.h"
#include "controls/data/vl_db_grid.h"
#include "data/vl_lines.h"
#include "controls/db/db_controls.h"
#include "platform/gui/controls_support.h"
#include "platform/gui/forms.h"

#include <algorithm>

namespace vl {

using namespace gui;

// =====================================================================================
// the in-place editor

TvlInplaceEdit::TvlInplaceEdit(TvlCustomDBGrid* grid) : TInplaceEdit(grid), dbGrid_(grid) {
    wordWrapFlag_ = grid->HasOption(dgWordWrap);
    RecreateWindow();
}

void TvlInplaceEdit::RecreateWindow() {
    // A borderless edit is a multi-line one, so that text can wrap in it.
    multiLine_ = true;
    wordWrap_ = wordWrapFlag_;
    wantReturns_ = false;
    topLine_ = 0;
    scrollX_ = 0;
    ++generation_;
    Invalidate();
}

void TvlInplaceEdit::SetWordWrap(bool value) {
    wordWrapFlag_ = value;
    RecreateWindow();
}

bool TvlInplaceEdit::HasPictureMask() const { return useMask_ && !picture_.PictureMask().empty(); }

void TvlInplaceEdit::ReportCheck(bool passes) {
    if (dbGrid_->OnCheckValue) dbGrid_->OnCheckValue(this, passes);
}

bool TvlInplaceEdit::ValidatePictureText(const std::string& text) {
    bool ok = true;
    if (!text.empty() && HasPictureMask()) {
        TvlPictureValidator v(picture_.PictureMask(), picture_.AutoFill());
        std::string work = text;
        ok = IsPicComplete(v.MatchPictureMask(work, false));
    }
    ReportCheck(ok);
    return ok;
}

void TvlInplaceEdit::LoadColumnPicture() {
    db::TDataSet* ds = dbGrid_->DataLink().DataSet();
    db::TField* f = dbGrid_->GetSelectedField();
    if (!ds || !f) return;
    bool autoFill = true, useInGrid = true;
    std::string mask;
    GetFieldPictureMask(ds, f->FieldName, false, autoFill, useInGrid, mask);
    picture_.SetPictureMask(mask);
    picture_.SetAutoFill(autoFill);
    picture_.SetAllowInvalidExit(false);
    useMask_ = useInGrid;
}

void TvlInplaceEdit::UpdateContents() {
    SetEditMask(dbGrid_->GetEditMask(dbGrid_->Col(), dbGrid_->Row()));
    SetText(dbGrid_->GetEditText(dbGrid_->Col(), dbGrid_->Row()));
    SetMaxLength(IsMasked() ? MaxLength() : dbGrid_->GetEditLimit());
    SetReadOnly(false);
    SetModified(false);
}

bool TvlInplaceEdit::MayModify() { return dbGrid_->CanEditModify(); }

void TvlInplaceEdit::KeyDown(unsigned& Key, TShiftState Shift) {
    const bool enterToTab = (dbGrid_->KeyOptions & (1u << dgEnterToTab)) != 0;
    if (Key == VK_ESCAPE) {
        // The grid cancels: the cell's typing first, then the record's.
        dbGrid_->EditorKeyDown(Key, Shift);
        if (Key == 0) return;
    }
    if ((Key == VK_RETURN && enterToTab) || (Key == VK_DELETE && (Shift & ssCtrl))) {
        // The grid decides: a move to the next cell, or the record's deletion.
        if (dbGrid_->CanFocus() && !dbGrid_->Focused()) dbGrid_->SetFocus();
        dbGrid_->EditorKeyDown(Key, Shift);
        Key = 0;
        Invalidate();
        return;
    }
    // Delete, Shift+Delete (cut) and Shift+Insert (paste) change the cell.
    if ((Key == VK_DELETE || (Key == VK_INSERT && (Shift & ssShift))) && !MayModify()) {
        Key = 0;
        return;
    }
    TInplaceEdit::KeyDown(Key, Shift);
}

void TvlInplaceEdit::KeyUp(unsigned& Key, TShiftState Shift) {
    if (Key == VK_RETURN && (dbGrid_->KeyOptions & (1u << dgEnterToTab))) Key = VK_TAB;
    const unsigned key = Key;
    TInplaceEdit::KeyUp(Key, Shift);
    if (key == VK_DELETE && dbGrid_->OnCheckValue) ValidatePictureText(Text());
}

void TvlInplaceEdit::KeyPress(char& Key) {
    if (Key == '\r' && (dbGrid_->KeyOptions & (1u << dgEnterToTab))) Key = '\t';
    // Characters, Backspace, Ctrl+V and Ctrl+X change the cell.
    const auto typed = static_cast<unsigned char>(Key);
    if ((typed >= 32 || typed == 8 || typed == 22 || typed == 24) && !MayModify()) {
        Key = 0;
        return;
    }
    TInplaceEdit::KeyPress(Key);
    if (Key == 0 || !HasPictureMask()) return;
    const auto u = static_cast<unsigned char>(Key);
    const std::string text = Text();
    const int start = SelStart(), length = SelLength();
    if (u == 8) {
        if (dbGrid_->OnCheckValue) {
            std::string after = text;
            if (length > 0) after.erase(static_cast<std::size_t>(start), static_cast<std::size_t>(length));
            else if (start > 0 && !after.empty()) after.erase(static_cast<std::size_t>(start - 1), 1);
            ValidatePictureText(after);
        }
        return;
    }
    if (u < 32) return;
    const std::string candidate = text.substr(0, static_cast<std::size_t>(start)) + Key +
                                  text.substr(static_cast<std::size_t>(std::min<int>(start + length, text.size())));
    // Typing into the middle of the text that makes it longer is checked
    // only when the cell is left.
    if (start > 0 && start < static_cast<int>(text.size()) && candidate.size() > text.size()) return;
    TvlPictureValidator v(picture_.PictureMask(), picture_.AutoFill());
    std::string work = candidate;
    const TvlPicResult r = v.MatchPictureMask(work, picture_.AutoFill());
    // After the key and whatever the picture filled in behind it.
    const int caret = start + 1 + static_cast<int>(work.size()) - static_cast<int>(candidate.size());
    bool handled = false;
    if (IsPicComplete(r)) {
        // The last character is typed by the edit itself.
        const std::string head = work.size() < 2 ? std::string() : work.substr(0, work.size() - 1);
        SetText(head);
        dbGrid_->SetEditText(dbGrid_->Col(), dbGrid_->Row(), head);
        SetSelStart(std::clamp(caret - 1, 0, static_cast<int>(head.size())));
        SetSelLength(0);
        SetModified(true);
        Key = work.empty() ? Key : work.back();
    } else if (IsPicIncomplete(r)) {
        SetText(work);
        dbGrid_->SetEditText(dbGrid_->Col(), dbGrid_->Row(), work);
        SetSelStart(std::clamp(caret, 0, static_cast<int>(work.size())));
        SetSelLength(0);
        SetModified(true);
        Key = 0;
        handled = true;
    } else if (start + length < static_cast<int>(text.size())) {
        handled = true;  // typing over characters that are there
    } else {
        Key = 0;
        MessageBeep(0);
    }
    ReportCheck(!handled);
}

void TvlInplaceEdit::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_SETFOCUS:
        TInplaceEdit::WndProc(Message);
        if (dbGrid_->DataLink().DataSet() && dbGrid_->GetSelectedField()) {
            LoadColumnPicture();
            ValidatePictureText(dbGrid_->GetSelectedField()->Text());
        }
        return;
    case WM_CHAR:
    case WM_KEYDOWN:
    case WM_PASTE: {
        const bool paste = Message.Msg == WM_PASTE || (Message.Msg == WM_CHAR && (Message.WParam & 0xFF) == 22) ||
                           (Message.Msg == WM_KEYDOWN && Message.WParam == VK_INSERT &&
                            (CurrentShiftState() & ssShift));
        if (Message.Msg == WM_PASTE && !MayModify()) return;
        const std::string before = Text();
        TInplaceEdit::WndProc(Message);
        // What was pasted is a change of the record: the dataset goes into
        // edit state and the cell counts as changed.
        if (paste && !dbGrid_->ReadOnly && Text() != before) {
            db::RunUserAction([&] {
                if (dbGrid_->DataLink().Edit()) dbGrid_->DataLink().Modified();
            });
        }
        return;
    }
    case CM_FONTCHANGED:
        TInplaceEdit::WndProc(Message);
        Invalidate();  // the text area follows the font's line height
        return;
    default: TInplaceEdit::WndProc(Message); return;
    }
}

TRect TvlInplaceEdit::TextArea() const {
    const int margin = BorderStyle() == bsNone ? 2 : 0;
    return Rect(margin, margin, ClientWidth(), ClientHeight() - 1);
}

// =====================================================================================
// the indicator button

TvlIButton::TvlIButton(plat::TComponent* AOwner) : TSpeedButton(AOwner) {}

TvlIButton::~TvlIButton() {
    if (TvlCustomDBGrid* g = ParentGrid(); g && g->IndicatorButton() == this) g->SetIndicatorButton(nullptr);
}

TvlCustomDBGrid* TvlIButton::ParentGrid() const { return dynamic_cast<TvlCustomDBGrid*>(Parent()); }

void TvlIButton::Loaded() {
    TSpeedButton::Loaded();
    if (TvlCustomDBGrid* g = ParentGrid()) g->SetIndicatorButton(this);
}

void TvlIButton::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    // The button never moves right of or below the corner.
    if (ALeft > 0) ALeft = 0;
    if (ATop > 0) ATop = 0;
    const bool resized = AWidth != Width() || AHeight != Height();
    TSpeedButton::SetBounds(ALeft, ATop, AWidth, AHeight);
    TvlCustomDBGrid* g = ParentGrid();
    if (resized && g && !IsLoading() && g->IndicatorButton() == this) {
        g->SetIndicatorWidth(AWidth - 1);
        g->LayoutChanged();
    }
}

void TvlIButton::Paint() { TSpeedButton::Paint(); }

}  // namespace vl
