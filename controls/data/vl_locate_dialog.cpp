#include "controls/data/vl_locate_dialog.h"

#include "controls/data/vl_dialog_style.h"
#include "data/vl_intl.h"
#include "data/fields.h"
#include "platform/core/dialog_service.h"

#include <memory>

namespace vl {

namespace {

void Box(const std::string& text, gui::TMsgDlgType type) {
    gui::MessageDlg(text, type, gui::Buttons({gui::mbOK}));
}

bool Listed(const db::TField* f, TvlFieldSelection selection) {
    const db::TFieldType t = f->DataType();
    if (t == db::ftBlob || t == db::ftGraphic) return false;  // memo fields are listed
    return selection == fsAllFields || f->Visible;
}

template <class C> C* Make(gui::TWinControl* parent, gui::TComponent* owner, int l, int t, int w, int h) {
    auto* c = new C(owner);
    c->SetParent(parent);
    c->SetBounds(l, t, w, h);
    return c;
}

}  // namespace

std::string LocateFieldLabel(const db::TField* field) {
    std::string label = field->DisplayName();
    for (char& c : label)
        if (c == '~') c = ' ';
    return label;
}

// ---- the component -----------------------------------------------------------

TvlLocateDialog::TvlLocateDialog(gui::TComponent* AOwner) : gui::TComponent(AOwner) {}

TvlLocateDialog::~TvlLocateDialog() {
    if (dataSource_) dataSource_->RemoveFreeNotification(this);
}

void TvlLocateDialog::SetDataSource(db::TDataSource* source) {
    if (source == dataSource_) return;
    if (dataSource_) dataSource_->RemoveFreeNotification(this);
    dataSource_ = source;
    if (dataSource_) dataSource_->FreeNotification(this);
}

void TvlLocateDialog::Notification(gui::TComponent* AComponent, gui::TOperation Operation) {
    gui::TComponent::Notification(AComponent, Operation);
    if (Operation == gui::opRemove && AComponent == dataSource_) dataSource_ = nullptr;
}

db::TDataSet* TvlLocateDialog::ActiveDataSet() const {
    db::TDataSet* ds = dataSource_ ? dataSource_->DataSet() : nullptr;
    return ds && ds->Active() ? ds : nullptr;
}

void TvlLocateDialog::DoInitDialog() {
    if (OnInitDialog) OnInitDialog(dialog_);
}

bool TvlLocateDialog::Execute() {
    db::TDataSet* ds = ActiveDataSet();
    if (!ds) {
        // Nothing was searched, so this is no success.
        Box("DataSource does not reference an active DataSet", gui::mtError);
        return false;
    }
    auto form = std::make_unique<TvlLocateDlg>(nullptr, this, ds);
    TvlLocateDlg& f = *form;
    f.FieldNameComboBox->Items().Clear();
    f.FieldNameComboBox->SetSorted(SortFields == fsSortByFieldName);
    f.FirstButton->Default = DefaultButton == dbFindFirst;
    f.NextButton->Default = DefaultButton == dbFindNext;
    for (int i = 0; i < ds->FieldCount(); ++i)
        if (Listed(ds->Fields(i), FieldSelection)) f.FieldNameComboBox->Items().Add(LocateFieldLabel(ds->Fields(i)));
    if (db::TField* field = SearchField.empty() ? nullptr : ds->FindField(SearchField)) {
        f.SearchValue->SetText(FieldValue);
        f.FieldNameComboBox->SetItemIndex(f.FieldNameComboBox->Items().IndexOf(LocateFieldLabel(field)));
    } else {
        f.SearchValue->SetText("");
    }
    f.CaseSensitiveCheckBox->SetChecked(CaseSensitive);
    f.ExactMatchBtn->SetChecked(MatchType == mtExactMatch);
    f.PartialMatchStartBtn->SetChecked(MatchType == mtPartialMatchStart);
    f.PartialMatchAnyBtn->SetChecked(MatchType == mtPartialMatchAny);
    f.SetCaption(Caption);

    const bool ok = f.ShowModal() == gui::mrOk;
    MatchType = f.ChosenMatchType();
    CaseSensitive = f.CaseSensitiveCheckBox->Checked();
    FieldValue = f.SearchValue->Text();
    SearchField = f.ChosenFieldName();
    dialog_ = nullptr;
    return ok;
}

bool TvlLocateDialog::Find(bool first) {
    db::TDataSet* ds = ActiveDataSet();
    if (!ds) {
        Box("DataSource does not refer to an active table!", gui::mtWarning);
        return false;
    }
    if (FieldValue.empty()) {
        DefaultButton = first ? dbFindFirst : dbFindNext;
        return Execute();
    }
    const bool found = LocateFieldValue(first, ds, SearchField, FieldValue, MatchType, CaseSensitive);
    if (!found && ShowMessages) {
        TvlUserMessagesIntl& texts = CreateGlobalIntl().UserMessages();
        Box(first ? texts.LocateNoMatches : texts.LocateNoMoreMatches, gui::mtInformation);
    }
    return found;
}

bool TvlLocateDialog::FindFirst() { return Find(true); }
bool TvlLocateDialog::FindNext() { return Find(false); }

// ---- the form ------------------------------------------------------------------

TvlLocateDlg::TvlLocateDlg(gui::TComponent* AOwner, TvlLocateDialog* owner, db::TDataSet* dataSet)
    : gui::TForm(AOwner), locate_(owner), dataSet_(dataSet) {
    SetName("vlLocateDlg");
    SetCaption("Locate Value");
    SetBorderStyle(gui::bsDialog);
    Position = gui::poScreenCenter;
    SetClientSize(212, 238);
    Font().SetName("MS Sans Serif");
    Font().SetHeight(-11);
    Font().SetStyle(gui::fsBold);
    Font().SetColor(gui::clBlack);

    ValueGroup = Make<gui::TGroupBox>(this, this, 8, 4, 196, 48);
    ValueGroup->SetCaption("Field &Value");
    SearchValue = Make<gui::TEdit>(ValueGroup, this, 8, 18, 180, 21);
    SearchValue->SetName("SearchValue");
    SearchValue->SetTabOrder(0);

    SearchTypeGroup = Make<gui::TGroupBox>(this, this, 8, 56, 196, 100);
    SearchTypeGroup->SetCaption("&Search Type");
    SearchTypeGroup->SetTabOrder(1);
    CaseSensitiveCheckBox = Make<gui::TCheckBox>(SearchTypeGroup, this, 8, 16, 180, 17);
    CaseSensitiveCheckBox->SetCaption("&Case-sensitive");
    auto* rule = Make<gui::TPanel>(SearchTypeGroup, this, 8, 36, 180, 2);
    rule->SetBevelOuter(gui::bvLowered);
    ExactMatchBtn = Make<gui::TRadioButton>(SearchTypeGroup, this, 8, 42, 180, 17);
    ExactMatchBtn->SetCaption("&Exact Match");
    PartialMatchStartBtn = Make<gui::TRadioButton>(SearchTypeGroup, this, 8, 60, 180, 17);
    PartialMatchStartBtn->SetCaption("&Partial Match at Beginning");
    PartialMatchStartBtn->SetChecked(true);
    PartialMatchAnyBtn = Make<gui::TRadioButton>(SearchTypeGroup, this, 8, 78, 180, 17);
    PartialMatchAnyBtn->SetCaption("Partial Match &Anywhere");

    FieldsGroup = Make<gui::TGroupBox>(this, this, 8, 160, 196, 44);
    FieldsGroup->SetCaption("&Fields");
    FieldsGroup->SetTabOrder(2);
    FieldNameComboBox = Make<gui::TComboBox>(FieldsGroup, this, 8, 16, 180, 21);
    FieldNameComboBox->SetName("FieldNameComboBox");
    FieldNameComboBox->SetStyle(gui::csDropDownList);
    FieldNameComboBox->SetSorted(true);

    FirstButton = Make<gui::TButton>(this, this, 8, 208, 60, 27);
    FirstButton->SetCaption("Fi&rst");
    FirstButton->SetTabOrder(3);
    NextButton = Make<gui::TButton>(this, this, 72, 208, 60, 27);
    NextButton->SetCaption("&Next");
    NextButton->SetTabOrder(4);
    NextButton->Default = true;

    CancelButton = ApplyDialogStyle(this, dbkCancel);
    CancelButton->SetParent(this);
    CancelButton->SetTabOrder(5);
    const int ppi = gui::Screen ? gui::Screen->PixelsPerInch() : 96;
    const int w = 72 * ppi / 96, h = 27 * ppi / 96;
    CancelButton->SetBounds(FieldsGroup->Left() + FieldsGroup->Width() - 1 - w, NextButton->Top(), w, h);
    CancelButton->Cancel = true;
    CancelButton->ModalResult = gui::mrCancel;
    SetActiveControl(SearchValue);

    FirstButton->OnClick = [this](gui::TObject* s) { FindFirst(s); };
    NextButton->OnClick = [this](gui::TObject* s) { FindNextBtnClick(s); };
    OnShow = [this](gui::TObject* s) { FormShow(s); };
    FieldNameComboBox->OnEnter = [this](gui::TObject*) {
        // Enter belongs to the list while it has the focus.
        savedDefault_ = FirstButton->Default ? FirstButton : NextButton;
        savedDefault_->Default = false;
    };
    FieldNameComboBox->OnExit = [this](gui::TObject*) {
        if (savedDefault_) savedDefault_->Default = true;
        savedDefault_ = nullptr;
    };
    FieldNameComboBox->OnChange = [this](gui::TObject*) {
        SearchValue->SetText("");
        if (!FieldNameComboBox->DroppedDown() && Showing()) SearchValue->SetFocus();
    };
    FieldNameComboBox->OnKeyDown = [this](gui::TObject*, unsigned& key, gui::TShiftState) {
        if (key == gui::VK_RETURN && FieldNameComboBox->DroppedDown()) {
            FieldNameComboBox->SetDroppedDown(false);
            SearchValue->SetFocus();
            key = 0;
        }
    };
}

std::string TvlLocateDlg::ChosenFieldName() const {
    const int i = FieldNameComboBox->ItemIndex();
    if (i < 0 || !dataSet_) return {};
    const std::string label = FieldNameComboBox->Items()[i];
    for (int pass = 0; pass < 2; ++pass)
        for (int k = 0; k < dataSet_->FieldCount(); ++k) {
            db::TField* f = dataSet_->Fields(k);
            if ((f->FieldKind != db::fkData) != (pass == 1)) continue;
            if (LocateFieldLabel(f) == label) return f->FieldName;
        }
    return {};
}

TvlLocateMatchType TvlLocateDlg::ChosenMatchType() const {
    if (ExactMatchBtn->Checked()) return mtExactMatch;
    if (PartialMatchStartBtn->Checked()) return mtPartialMatchStart;
    return mtPartialMatchAny;
}

bool TvlLocateDlg::Search(bool fromBeginning) {
    const std::string field = ChosenFieldName();
    const bool found = !field.empty() && LocateFieldValue(fromBeginning, dataSet_, field, SearchValue->Text(),
                                                          ChosenMatchType(), CaseSensitiveCheckBox->Checked());
    if (found) {
        SetModalResult(gui::mrOk);
    } else {
        TvlUserMessagesIntl& texts = CreateGlobalIntl().UserMessages();
        Box(fromBeginning ? texts.LocateNoMatches : texts.LocateNoMoreMatches, gui::mtInformation);
    }
    return found;
}

void TvlLocateDlg::FindFirst(gui::TObject*) { Search(true); }
void TvlLocateDlg::FindNextBtnClick(gui::TObject*) { Search(false); }

void TvlLocateDlg::FormShow(gui::TObject*) {
    TvlIntl& intl = CreateGlobalIntl();
    TvlLocateDialogIntl& t = intl.LocateDialog();
    Font().SetStyle(intl.DialogFontStyle);
    ValueGroup->SetCaption(t.FieldValueLabel);
    SearchTypeGroup->SetCaption(t.SearchTypeLabel);
    CaseSensitiveCheckBox->SetCaption(t.CaseSensitiveLabel);
    ExactMatchBtn->SetCaption(t.MatchExactLabel);
    PartialMatchStartBtn->SetCaption(t.MatchStartLabel);
    PartialMatchAnyBtn->SetCaption(t.MatchAnyLabel);
    FieldsGroup->SetCaption(t.FieldsLabel);
    FirstButton->SetCaption(t.BtnFirst);
    NextButton->SetCaption(t.BtnNext);
    CancelButton->SetCaption(t.BtnCancel);
    SearchValue->SetHint(t.FieldValueHint);
    CaseSensitiveCheckBox->SetHint(t.CaseSensitiveHint);
    ExactMatchBtn->SetHint(t.MatchExactHint);
    PartialMatchStartBtn->SetHint(t.MatchStartHint);
    PartialMatchAnyBtn->SetHint(t.MatchAnyHint);
    FirstButton->SetHint(t.BtnFirstHint);
    NextButton->SetHint(t.BtnNextHint);
    FieldNameComboBox->SetHint(t.FieldNameHint);
    locate_->dialog_ = this;
    locate_->DoInitDialog();
}

}  // namespace vl
