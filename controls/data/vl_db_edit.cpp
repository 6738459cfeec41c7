#include "controls/data/vl_db_edit.h"

#include "data/picture_validator.h"
#include "controls/data/vl_db_grid.h"
#include "data/vl_lines.h"
#include "platform/core/clock.h"
#include "platform/core/format_settings.h"
#include "data/db_errors.h"
#include "platform/core/dialog_service.h"
#include "platform/gui/forms.h"
#include "platform/win/message_queue.h"

#include <algorithm>
#include <cctype>

namespace vl {

using namespace gui;

namespace {
// Takes the focus back after a refused exit, once the focus change is over.
constexpr UINT kRefocus = CM_BASE + 0x231;
}  // namespace

// =====================================================================================
// date auto-fill

bool DateAutoFill(std::string& text, TvlEditDataType kind, plat::TDateTime now) {
    if (kind == vlDefault) return false;
    const plat::FormatSettings& fs = plat::CurrentFormatSettings();
    const char ds = fs.DateSeparator, ts = fs.TimeSeparator;
    std::string format = fs.ShortDateFormat;
    for (char& ch : format) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    const plat::DateOrder order = plat::GetDateOrder(fs.ShortDateFormat);
    const char parts[3] = {order == plat::DateOrder::MDY   ? 'm'
                           : order == plat::DateOrder::DMY ? 'd'
                                                           : 'y',
                           order == plat::DateOrder::YMD ? 'm' : order == plat::DateOrder::MDY ? 'd' : 'm',
                           order == plat::DateOrder::YMD ? 'd' : 'y'};
    int year, month, day, hour, minute, second, ms;
    plat::DecodeDate(now, year, month, day);
    plat::DecodeTime(now, hour, minute, second, ms);
    auto two = [](int v) { return (v < 10 ? "0" : "") + std::to_string(v); };
    auto endsWith = [&](char c) { return !text.empty() && text.back() == c; };

    if (kind == vlEdtDate || kind == vlEdtDateTime) {
        const std::size_t blank = text.find(' ');
        const std::string date = text.substr(0, blank);
        const int seps = static_cast<int>(std::count(date.begin(), date.end(), ds));
        const bool dateDone = seps >= 2 && !(date.back() == ds);
        if (!dateDone) {
            if (!text.empty() && !endsWith(ds)) {
                text += ds;
                return true;
            }
            const char part = parts[std::min(seps, 2)];
            if (part == 'd') text += format.find("dd") != std::string::npos ? two(day) : std::to_string(day);
            else if (part == 'm') text += format.find("mm") != std::string::npos ? two(month) : std::to_string(month);
            else text += format.find("yyyy") != std::string::npos ? std::to_string(year) : two(year % 100);
            if (seps + 1 < 3 && !endsWith(ds) && seps < 2) text += ds;
            return true;
        }
        if (kind == vlEdtDate) return false;
        if (blank == std::string::npos) {
            text += ' ';
            return true;
        }
    }
    // The time: after the blank of a date-time, or the whole text.
    const std::size_t start = kind == vlEdtDateTime ? text.find(' ') + 1 : 0;
    std::string time = text.substr(start);
    while (!time.empty() && time.front() == ' ') time.erase(0, 1);
    const bool ampm = !fs.TimeAMString.empty() && !fs.TimePMString.empty();
    const int seps = static_cast<int>(std::count(time.begin(), time.end(), ts));
    const bool endsSep = !time.empty() && time.back() == ts;
    if (ampm) {
        std::string upper = time;
        for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        auto endsWithText = [&](std::string s) {
            for (char& ch : s) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            return upper.size() >= s.size() && upper.compare(upper.size() - s.size(), s.size(), s) == 0;
        };
        if (endsWithText(fs.TimeAMString) || endsWithText(fs.TimePMString)) return false;
    } else if (seps >= 2 && !endsSep) {
        return false;
    }
    if (time.empty()) {
        const int h = ampm ? (hour % 12 == 0 ? 12 : hour % 12) : hour;
        text += std::to_string(h) + ts;
        return true;
    }
    if (!endsSep && seps < 2) {
        text += ts;
        return true;
    }
    if (seps == 1) {
        text += two(minute) + ts;
        return true;
    }
    if (ampm) {
        // The mark instead of the seconds; a separator left before it would
        // make the time unreadable, so it goes.
        if (endsSep) text.pop_back();
        if (!endsWith(' ')) text += ' ';
        text += hour >= 12 ? fs.TimePMString : fs.TimeAMString;
        return true;
    }
    text += two(second);
    return true;
}

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

TvlCustomMaskEdit::TvlCustomMaskEdit(plat::TComponent* AOwner) : TCustomMaskEdit(AOwner) { RecreateWnd(); }

unsigned TvlCustomMaskEdit::WindowStyle() const {
    using namespace edit_style;
    // A single-line edit scrolls sideways; returns and vertical scrolling
    // come only from the properties below.
    unsigned style = ES_AUTOHSCROLL;
    style &= ~(ES_WANTRETURN | ES_AUTOVSCROLL);
    if (BorderStyle() == bsNone || WordWrap) style |= ES_MULTILINE;
    if (WordWrap) {
        style |= ES_AUTOVSCROLL;
        style &= ~ES_AUTOHSCROLL;
    }
    if (WantReturns) style |= ES_WANTRETURN;
    if (ShowVertScrollBar) style |= WS_VSCROLL;
    return style;
}

void TvlCustomMaskEdit::RecreateWnd() {
    using namespace edit_style;
    const unsigned style = WindowStyle();
    multiLine_ = (style & ES_MULTILINE) != 0;
    wordWrap_ = (style & ES_AUTOVSCROLL) != 0 && (style & ES_AUTOHSCROLL) == 0;
    wantReturns_ = (style & ES_WANTRETURN) != 0;
    topLine_ = 0;
    scrollX_ = 0;
    Invalidate();
}

void TvlCustomMaskEdit::SetWordWrap(bool on) {
    WordWrap = on;
    RecreateWnd();
}

void TvlCustomMaskEdit::SetWantReturns(bool on) {
    WantReturns = on;
    RecreateWnd();
}

void TvlCustomMaskEdit::SetShowVertScrollBar(bool on) {
    ShowVertScrollBar = on;
    RecreateWnd();
}

TRect TvlCustomMaskEdit::EditRect() const {
    // (0, 0) to (width - 1, height + 1) inside the frame (2, 2) without one;
    // the frame is painted inside the client area here, so a bordered
    // edit's rectangle starts 2 pixels in.
    if (BorderStyle() == bsNone) return Rect(2, 2, ClientWidth() - 1, ClientHeight() + 1);
    constexpr int frame = 2;
    return Rect(frame, frame, ClientWidth() - 2 * frame - 1 + frame, ClientHeight() - 2 * frame + 1 + frame);
}

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
    // Showing the field's value is no change to the record.
    showingField_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{showingField_};
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

TvlEditDataType TvlDBCustomEdit::DateKind() const {
    if (db::TField* f = dataLink_.Field()) {
        switch (f->DataType()) {
        case db::ftDate: return vlEdtDate;
        case db::ftTime: return vlEdtTime;
        case db::ftDateTime: return vlEdtDateTime;
        default: return vlDefault;
        }
    }
    return DataSource() ? vlDefault : UnboundDataType;
}

void TvlDBCustomEdit::KeyPress(char& Key) {
    const auto u = static_cast<unsigned char>(Key);
    if (u == 27) {
        Reset();
        Key = 0;
        return;
    }
    // Space fills in the next part of today's date or the time.
    if (Key == ' ' && AutoFillDate && DateKind() != vlDefault && !(picture_.AutoFill() && HasPictureMask())) {
        const std::string text = Text();
        const bool all = SelLength() > 0 && SelLength() == static_cast<int>(text.size());
        if (all || SelStart() >= static_cast<int>(text.size())) {
            Key = 0;
            if (ReadOnly()) {
                MessageBeep(0);
                return;
            }
            if (dataLink_.Field() && !dataLink_.Edit()) return;
            std::string work = all ? std::string() : text;
            if (DateAutoFill(work, DateKind(), plat::Now())) {
                SetText(work);
                SetSelStart(static_cast<int>(work.size()));
                SetSelLength(0);
                SetModified(true);
                if (OnCheckValue) TestPictureText(work);
            }
            return;
        }
    }
    if ((u >= 32 || u == 8) && dataLink_.Field()) {
        if (ReadOnly() || !dataLink_.Edit()) {
            Key = 0;  // a record that cannot be edited takes no keys
            return;
        }
    }
    TvlCustomMaskEdit::KeyPress(Key);
}

void TvlDBCustomEdit::KeyDown(unsigned& Key, TShiftState Shift) {
    auto* grid = dynamic_cast<TvlCustomDBGrid*>(Parent());
    if (!grid) {
        TvlCustomMaskEdit::KeyDown(Key, Shift);
        return;
    }
    // Inside a grid cell the keys that move between records or cells are
    // the grid's.
    const bool ctrl = (Shift & ssCtrl) != 0, alt = (Shift & ssAlt) != 0, shift = (Shift & ssShift) != 0;
    const int length = static_cast<int>(Text().size());
    const bool atStart = SelStart() == 0 && SelLength() == 0;
    const bool atEnd = SelStart() == length && SelLength() == 0;
    const bool always = grid->HasOption(dgAlwaysShowEditor);
    bool toGrid = false;
    switch (Key) {
    case VK_ESCAPE: toGrid = !Modified(); break;
    case VK_UP: case VK_DOWN: case VK_PRIOR: case VK_NEXT: toGrid = !alt; break;
    case VK_INSERT: toGrid = !shift; break;
    case VK_DELETE: toGrid = ctrl; break;
    case VK_LEFT: case VK_HOME: toGrid = always && (ctrl || atStart); break;
    case VK_RIGHT: case VK_END: toGrid = always && (ctrl || atEnd); break;
    case VK_TAB: toGrid = grid->HasOption(dgTabs); break;
    case VK_RETURN: toGrid = !(WantReturns && !ctrl); break;
    default: break;
    }
    if (Key == VK_F1 + 1) {  // F2: the caret to the end, no selection
        TvlCustomMaskEdit::KeyDown(Key, Shift);
        SetSelStart(length);
        SetSelLength(0);
        return;
    }
    if (!toGrid) {
        TvlCustomMaskEdit::KeyDown(Key, Shift);
        return;
    }
    if (Key == VK_TAB || Key == VK_RETURN) grid->SetFocus();
    grid->EditorKeyDown(Key, Shift);
    Key = 0;
}

void TvlDBCustomEdit::WndProc(TMessage& Message) {
    // A scroll inside a grid cell starts by taking the focus.
    if (Message.Msg == WM_VSCROLL && dynamic_cast<TvlCustomDBGrid*>(Parent()) && !Focused() && CanFocus()) SetFocus();
    if (Message.Msg == WM_CUT || Message.Msg == WM_PASTE) {
        const bool paste = Message.Msg == WM_PASTE;
        if (paste && !dataLink_.Field() && ReadOnly()) return;
        // The record goes into edit state first; one that cannot be edited
        // keeps its text.
        if (dataLink_.Field() && (ReadOnly() || !dataLink_.Edit())) return;
        TvlCustomMaskEdit::WndProc(Message);
        if (paste && HasPictureMask() && !Text().empty()) {
            // A pasted text gets the literals the picture fills in.
            std::string work = Text();
            TvlPictureValidator v(picture_.PictureMask(), picture_.AutoFill());
            const TvlPicResult r = v.MatchPictureMask(work, true);
            if (work != Text() && (IsPicComplete(r) || IsPicIncomplete(r))) {
                SetText(work);
                SetSelStart(static_cast<int>(work.size()));
            }
        }
        SetModified(true);
        if (dataLink_.Field()) dataLink_.Modified();
        if (OnCheckValue) TestPictureText(Text());
        return;
    }
    TvlCustomMaskEdit::WndProc(Message);
}

void TvlDBCustomEdit::DoEnter() {
    enterText_ = Text();
    TvlCustomMaskEdit::DoEnter();
}

void TvlDBCustomEdit::Reset() {
    if (dataLink_.Field()) dataLink_.Reset();
    else SetText(enterText_);
    SelectAll();
    SetModified(false);
    if (OnCheckValue) TestPictureText(Text());
}

void TvlDBCustomEdit::KeyUp(unsigned& Key, TShiftState Shift) {
    TvlCustomMaskEdit::KeyUp(Key, Shift);
    if (Key == VK_DELETE && OnCheckValue) TestPictureText(Text());
}

gui::TAlignment TvlDBCustomEdit::ShownAlignment() const {
    db::TField* f = dataLink_.Field();
    if (!f) return taLeftJustify;
    return f->Alignment == db::taRightJustify ? taRightJustify
           : f->Alignment == db::taCenter    ? taCenter
                                             : taLeftJustify;
}

void TvlDBCustomEdit::Paint() {
    const TAlignment align = ShownAlignment();
    // Focused, or left-aligned, the edit paints itself; otherwise the text
    // sits in the field's alignment inside the editing rectangle.
    if (Focused() || align == taLeftJustify || multiLine_) {
        TvlCustomMaskEdit::Paint();
        return;
    }
    TCanvas& c = Canvas();
    TRect r = ClientRect();
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(Enabled() ? Color() : clBtnFace);
    c.FillRect(r);
    if (BorderStyle() != bsNone) {
        TRect f = r;
        Frame3D(c, f, clBtnShadow, clBtnHighlight, 1);
        Frame3D(c, f, cl3DDkShadow, cl3DLight, 1);
    }
    c.Font().Assign(Font());
    if (!Enabled()) c.Font().SetColor(clGrayText);
    const TRect area = EditRect();
    const std::string& shown = DisplayText();
    const int margin = 2 + (BorderStyle() == bsNone ? 0 : 2);
    const int w = c.TextWidth(shown);
    const int x = align == taRightJustify ? area.Right - margin - w : area.Left + (area.Width() - w) / 2;
    c.SetClipRect(area);
    c.Brush().SetStyle(bsClear);
    c.TextOut(std::max(area.Left, x), area.Top + (BorderStyle() == bsNone ? 0 : 2), shown);
}

void TvlDBCustomEdit::Change() {
    if (dataLink_.Field() && !showingField_) dataLink_.Modified();
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
