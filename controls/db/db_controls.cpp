#include "controls/db/db_controls.h"

#include "platform/core/codepage.h"
#include "platform/core/dialog_service.h"

namespace db {

namespace {
constexpr unsigned kVkEscape = 27;

// Characters that change an edit's text (printables, Backspace, Ctrl+V, Ctrl+X).
bool ChangesText(char k) {
    auto c = static_cast<unsigned char>(k);
    return c >= 32 || c == 8 || c == 22 || c == 24;
}
}  // namespace

bool RunUserAction(const std::function<void()>& action) {
    try {
        action();
        return true;
    } catch (const plat::EAbort&) {
    } catch (const std::exception& e) {
        gui::MessageDlg(e.what(), gui::mtError, 1u << gui::mbOK);
    }
    return false;
}

namespace {

// The link knows its control; a focus request for the field (a required
// field left empty on Post, say) moves the focus to it when it can take it.
void OwnLink(TFieldDataLink& link, gui::TControl* control) {
    link.SetControl(control);
    link.OnFocusControl = [control](TField*) {
        auto* win = dynamic_cast<gui::TWinControl*>(control);
        if (!win || !win->CanFocus()) return false;
        win->SetFocus();
        return true;
    };
}

}  // namespace

// ---- edit --------------------------------------------------------------------

TDBEdit::TDBEdit(gui::TComponent* AOwner) : gui::TEdit(AOwner) {
    OwnLink(link_, this);
    link_.OnDataChange = [this] { DataChange(); };
    link_.OnEditingChange = [this] { SetReadOnly(readOnly_ || !link_.CanModify()); };
    link_.OnActiveChange = [this] { SetReadOnly(readOnly_ || !link_.CanModify()); };
    link_.OnUpdateData = [this] { UpdateData(); };
}

TDBEdit::~TDBEdit() { link_.SetDataSource(nullptr); }

void TDBEdit::SetReadOnlyField(bool on) {
    readOnly_ = on;
    link_.SetReadOnly(on);
    SetReadOnly(on || !link_.CanModify());
}

void TDBEdit::DataChange() {
    showing_ = true;
    TField* f = link_.Field();
    if (!f) SetText("");
    else if (link_.Editing()) SetText(f->Text());
    else SetText(f->DisplayText());
    SetModified(false);
    showing_ = false;
}

void TDBEdit::UpdateData() {
    if (TField* f = link_.Field()) f->SetText(Text());
}

void TDBEdit::KeyDown(unsigned& Key, gui::TShiftState Shift) {
    gui::TEdit::KeyDown(Key, Shift);
    if (Key == kVkEscape && link_.Editing()) {
        // Escape puts back what the field holds.
        link_.Reset();
        SelectAll();
        Key = 0;
    }
}

void TDBEdit::KeyPress(char& Key) {
    gui::TEdit::KeyPress(Key);
    if (Key == 0 || !ChangesText(Key)) return;
    TField* f = link_.Field();
    if (f && static_cast<unsigned char>(Key) >= 32 && !f->IsValidChar(Key)) {
        Key = 0;
        return;
    }
    bool editing = false;
    if (f) RunUserAction([&] { editing = link_.Edit(); });
    if (!editing) Key = 0;
}

void TDBEdit::Change() {
    if (!showing_) link_.Modified();
    gui::TEdit::Change();
}

void TDBEdit::DoExit() {
    // Leaving the control hands its text to the field. A value the field
    // refuses is reported; the text and the edit state stay, so nothing typed is lost.
    if (link_.Editing() && link_.IsModified()) {
        if (!RunUserAction([this] { link_.UpdateRecord(); })) {
            link_.Modified();
            SelectAll();
        }
    }
    gui::TEdit::DoExit();
}

// ---- memo --------------------------------------------------------------------

TDBMemo::TDBMemo(gui::TComponent* AOwner) : gui::TMemo(AOwner) {
    OwnLink(link_, this);
    link_.OnDataChange = [this] {
        showing_ = true;
        SetText(link_.Field() ? link_.Field()->AsString() : std::string());
        SetModified(false);
        showing_ = false;
    };
    link_.OnUpdateData = [this] {
        if (link_.Field()) link_.Field()->SetAsString(Text());
    };
}

TDBMemo::~TDBMemo() { link_.SetDataSource(nullptr); }

void TDBMemo::KeyPress(char& Key) {
    gui::TMemo::KeyPress(Key);
    if (Key == 0 || !(ChangesText(Key) || Key == '\r')) return;
    bool editing = false;
    if (link_.Field()) RunUserAction([&] { editing = link_.Edit(); });
    if (!editing) Key = 0;
}

void TDBMemo::Change() {
    if (!showing_) link_.Modified();
    gui::TMemo::Change();
}

void TDBMemo::DoExit() {
    if (link_.Editing() && link_.IsModified() && !RunUserAction([this] { link_.UpdateRecord(); }))
        link_.Modified();
    gui::TMemo::DoExit();
}

// ---- label text --------------------------------------------------------------

TDBText::TDBText(gui::TComponent* AOwner) : gui::TLabel(AOwner) {
    OwnLink(link_, this);
    link_.OnDataChange = [this] { SetCaption(link_.Field() ? link_.Field()->DisplayText() : std::string()); };
}

TDBText::~TDBText() { link_.SetDataSource(nullptr); }

// ---- check box ---------------------------------------------------------------

TDBCheckBox::TDBCheckBox(gui::TComponent* AOwner) : gui::TCheckBox(AOwner) {
    OwnLink(link_, this);
    link_.OnDataChange = [this] { DataChange(); };
    link_.OnUpdateData = [this] {
        TField* f = link_.Field();
        if (!f) return;
        if (f->DataType() == ftBoolean) f->SetAsBoolean(Checked());
        else f->SetAsString(Checked() ? ValueChecked : ValueUnchecked);
    };
}

TDBCheckBox::~TDBCheckBox() { link_.SetDataSource(nullptr); }

void TDBCheckBox::DataChange() {
    showing_ = true;
    TField* f = link_.Field();
    bool on = false;
    if (f && !f->IsNull()) {
        on = f->DataType() == ftBoolean ? f->AsBoolean()
                                         : plat::CompareAnsi(f->AsString(), ValueChecked, true) == 0;
    }
    SetChecked(on);
    showing_ = false;
}

void TDBCheckBox::Click() {
    if (showing_) {
        gui::TCheckBox::Click();
        return;
    }
    // A click on a control that cannot edit is undone.
    bool editing = false;
    if (link_.Field()) RunUserAction([&] { editing = link_.Edit(); });
    if (!editing) {
        DataChange();
        return;
    }
    gui::TCheckBox::Click();
    link_.Modified();
    if (!RunUserAction([this] { link_.UpdateRecord(); })) DataChange();
}

// ---- combo box ---------------------------------------------------------------

TDBComboBox::TDBComboBox(gui::TComponent* AOwner) : gui::TCustomComboBox(AOwner) {
    OwnLink(link_, this);
    link_.OnDataChange = [this] {
        showing_ = true;
        std::string t = link_.Field() ? link_.Field()->Text() : std::string();
        int i = Items().IndexOf(t);
        if (i >= 0) SetItemIndex(i); else SetText(t);
        SetModified(false);
        showing_ = false;
    };
    link_.OnUpdateData = [this] {
        if (link_.Field()) link_.Field()->SetText(Text());
    };
}

TDBComboBox::~TDBComboBox() { link_.SetDataSource(nullptr); }

void TDBComboBox::KeyPress(char& Key) {
    gui::TCustomComboBox::KeyPress(Key);
    if (Key == 0 || !ChangesText(Key)) return;
    bool editing = false;
    if (link_.Field()) RunUserAction([&] { editing = link_.Edit(); });
    if (!editing) Key = 0;
}

void TDBComboBox::Change() {
    if (!showing_ && link_.Field()) {
        // Picking from the list edits as typing does. Going into edit state
        // shows the stored value again, so the pick is put back afterwards.
        std::string picked = Text();
        bool wasEditing = link_.Editing();
        bool editing = false;
        RunUserAction([&] { editing = link_.Edit(); });
        if (editing) {
            if (!wasEditing && Text() != picked) {
                showing_ = true;
                SetText(picked);
                showing_ = false;
            }
            link_.Modified();
        }
    }
    gui::TCustomComboBox::Change();
}

void TDBComboBox::DoExit() {
    if (link_.Editing() && link_.IsModified() && !RunUserAction([this] { link_.UpdateRecord(); }))
        link_.Modified();
    gui::TCustomComboBox::DoExit();
}

// ---- lookup combo box --------------------------------------------------------

TDBLookupComboBox::TDBLookupComboBox(gui::TComponent* AOwner) : gui::TCustomComboBox(AOwner) {
    OwnLink(link_, this);
    SetStyle(gui::csDropDownList);
    link_.OnDataChange = [this] { DataChange(); };
    link_.OnUpdateData = [this] {
        if (link_.Field()) link_.Field()->SetAsString(KeyValue());
    };
    listLink_.OnActiveChange = [this] { RefreshList(); };
}

TDBLookupComboBox::~TDBLookupComboBox() {
    link_.SetDataSource(nullptr);
    listLink_.SetDataSource(nullptr);
}

void TDBLookupComboBox::SetListSource(TDataSource* source) {
    listLink_.SetDataSource(source);
    RefreshList();
}

void TDBLookupComboBox::RefreshList() {
    showing_ = true;
    Items().Clear();
    keys_.clear();
    TDataSet* ds = listLink_.DataSet();
    if (ds && ds->Active() && !KeyField.empty() && !ListField.empty()) {
        TBookmark bm = ds->GetBookmark();
        ds->DisableControls();
        try {
            for (ds->First(); !ds->Eof(); ds->Next()) {
                keys_.push_back(ds->FieldByName(KeyField)->AsString());
                Items().Add(ds->FieldByName(ListField)->DisplayText());
            }
            if (!bm.empty()) ds->GotoBookmark(bm);
        } catch (...) {
            ds->EnableControls();
            showing_ = false;
            throw;
        }
        ds->EnableControls();
    }
    showing_ = false;
    DataChange();
}

std::string TDBLookupComboBox::KeyValue() const {
    // The shown text names the row: while the list changes its selection the
    // index may not have caught up yet.
    int i = const_cast<TDBLookupComboBox*>(this)->Items().IndexOf(Text());
    if (i < 0) i = ItemIndex();
    return i >= 0 && i < static_cast<int>(keys_.size()) ? keys_[i] : std::string();
}

void TDBLookupComboBox::SelectKey(const std::string& key) {
    int found = -1;
    for (std::size_t i = 0; i < keys_.size(); ++i)
        if (plat::CompareAnsi(keys_[i], key, true) == 0) found = static_cast<int>(i);
    SetItemIndex(found);
}

void TDBLookupComboBox::DataChange() {
    showing_ = true;
    SelectKey(link_.Field() ? link_.Field()->AsString() : std::string());
    showing_ = false;
}

void TDBLookupComboBox::Change() {
    if (!showing_ && link_.Field()) {
        // Going into edit state shows the stored key again: take the pick first.
        std::string picked = KeyValue();
        bool done = RunUserAction([&] {
            if (!link_.Edit()) throw plat::EAbort("not editable");
            link_.Field()->SetAsString(picked);
        });
        if (!done) DataChange();
    }
    gui::TCustomComboBox::Change();
}

// ---- navigator ---------------------------------------------------------------

TDBNavigator::TDBNavigator(gui::TComponent* AOwner) : gui::TCustomControl(AOwner) {
    static const char* const hints[kNavigateButtonCount] = {
        "First record", "Prior record", "Next record", "Last record", "Insert record",
        "Delete record", "Edit record", "Post edit", "Cancel edit", "Refresh data"};
    static const char* const captions[kNavigateButtonCount] = {"|<", "<", ">", ">|", "+", "-", "^", "OK", "X", "R"};
    for (int i = 0; i < kNavigateButtonCount; ++i) {
        auto* b = new gui::TSpeedButton(this);
        b->SetParent(this);
        b->SetHint(hints[i]);
        b->SetCaption(captions[i]);
        auto which = static_cast<TNavigateBtn>(i);
        b->OnClick = [this, which](gui::TObject*) {
            if (!RunUserAction([&] { BtnClick(which); })) UpdateButtons();
        };
        buttons_[i] = b;
    }
    SetBounds(0, 0, 240, 25);
    UpdateButtons();
}

TDBNavigator::~TDBNavigator() { link_.SetDataSource(nullptr); }

void TDBNavigator::SetDataSource(TDataSource* source) {
    link_.SetDataSource(source);
    UpdateButtons();
}

void TDBNavigator::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    gui::TCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
    LayoutButtons();
}

void TDBNavigator::LayoutButtons() {
    if (!buttons_[0]) return;
    int w = Width() / kNavigateButtonCount;
    for (int i = 0; i < kNavigateButtonCount; ++i) buttons_[i]->SetBounds(i * w, 0, w, Height());
}

void TDBNavigator::UpdateButtons() {
    if (!buttons_[0]) return;
    TDataSet* ds = link_.Active() ? link_.DataSet() : nullptr;
    bool active = ds != nullptr;
    bool editing = active && ds->IsEditing();
    bool canModify = active && ds->CanModify();
    bool empty = !active || ds->IsEmpty();
    bool upOk = active && !ds->Bof() && !editing;
    bool downOk = active && !ds->Eof() && !editing;
    buttons_[nbFirst]->SetEnabled(upOk);
    buttons_[nbPrior]->SetEnabled(upOk);
    buttons_[nbNext]->SetEnabled(downOk);
    buttons_[nbLast]->SetEnabled(downOk);
    buttons_[nbInsert]->SetEnabled(canModify);
    buttons_[nbDelete]->SetEnabled(canModify && !empty);
    buttons_[nbEdit]->SetEnabled(canModify && !editing && !empty);
    buttons_[nbPost]->SetEnabled(canModify && editing);
    buttons_[nbCancel]->SetEnabled(canModify && editing);
    buttons_[nbRefresh]->SetEnabled(active);
}

void TDBNavigator::BtnClick(TNavigateBtn b) {
    TDataSet* ds = link_.Active() ? link_.DataSet() : nullptr;
    if (ds) {
        switch (b) {
        case nbFirst: ds->First(); break;
        case nbPrior: ds->Prior(); break;
        case nbNext: ds->Next(); break;
        case nbLast: ds->Last(); break;
        case nbInsert: ds->Insert(); break;
        case nbEdit: ds->Edit(); break;
        case nbCancel: ds->Cancel(); break;
        case nbPost: ds->Post(); break;
        case nbRefresh: ds->Refresh(); break;
        case nbDelete:
            if (!ConfirmDelete ||
                gui::MessageDlg("Delete record?", gui::mtConfirmation, (1u << gui::mbOK) | (1u << gui::mbCancel)) ==
                    gui::mrOk)
                ds->Delete();
            break;
        }
    }
    UpdateButtons();
    if (OnClick) OnClick(this, b);
}

// ---- published properties ----------------------------------------------------

namespace {

template <typename C>
void PublishDataSource() {
    plat::RegisterProperty<C>(plat::ObjectProperty<C, TDataSource>(
        "DataSource", [](const C& c) { return c.DataSource(); }, [](C& c, TDataSource* s) { c.SetDataSource(s); }));
}

template <typename C>
void PublishDataField() {
    PublishDataSource<C>();
    plat::RegisterProperty<C>(plat::StrProperty<C>(
        "DataField", [](const C& c) { return c.DataField(); }, [](C& c, const std::string& v) { c.SetDataField(v); }));
}

// A control is bound to a cell or a field by these names (the grid's
// in-cell controls, the editor's forms), whatever its class.
const bool kDataControlPropsPublished = [] {
    PublishDataField<TDBEdit>();
    PublishDataField<TDBMemo>();
    PublishDataField<TDBText>();
    PublishDataField<TDBCheckBox>();
    PublishDataField<TDBComboBox>();
    PublishDataField<TDBLookupComboBox>();
    PublishDataSource<TDBNavigator>();
    return true;
}();

}  // namespace

}  // namespace db
