#include "controls/data/vl_memo_dialog.h"

#include "controls/data/vl_dialog_style.h"
#include "data/vl_intl.h"
#include "data/dataset.h"
#include "platform/core/dialog_service.h"

namespace vl {

using namespace gui;

namespace {
constexpr unsigned kKeyF2 = VK_F1 + 1;
}

TvlMemoLayout MemoDialogLayout(int formWidth, int formHeight, int dlgFrameHeight, int captionHeight, int okWidth,
                               bool editable, bool userButtons) {
    TvlMemoLayout l;
    const int w = formWidth - 20;
    const int h = formHeight - (2 * dlgFrameHeight + captionHeight + 53);
    l.memo = Rect(6, 6, 6 + w, 6 + h);
    l.buttonTop = h + 17;
    l.panelTop = l.memo.Bottom + 2;
    if (editable) {
        l.cancelLeft = w - (okWidth + 20);
        l.okLeft = w - 2 * (okWidth + 20);
    } else {
        l.cancelVisible = false;
        l.okLeft = userButtons ? 6 + w - okWidth - 25 : 6 + w / 2 - okWidth / 2;
    }
    return l;
}

// --- the window --------------------------------------------------------------------------

TvlMemoDlg::TvlMemoDlg(TComponent* AOwner) : TForm(AOwner) {
    SetCaption("Dialog");
    SetBounds(0, 0, 561, 395);
    Position = poScreenCenter;
    Memo = new TMemo(this);
    Memo->SetParent(this);
    Memo->SetBounds(0, 0, 545, 321);
    Memo->SetScrollBars(ssVertical);
    Memo->SetWantTabs(true);
    Memo->SetText("Memo");
    Memo->OnKeyDown = [this](TObject*, unsigned& Key, TShiftState Shift) { MemoKeyDown(Key, Shift); };
    UserButtonPanel = new TPanel(this);
    UserButtonPanel->SetParent(this);
    UserButtonPanel->SetBounds(0, 322, 237, 41);
    UserButtonPanel->SetBevelInner(bvRaised);
    UserButtonPanel->SetBevelOuter(bvLowered);
    UserButtonPanel->SetVisible(false);
    UserButton1 = new TButton(this);
    UserButton1->SetParent(UserButtonPanel);
    UserButton1->SetBounds(16, 8, 89, 26);
    UserButton1->SetCaption("UserButton1");
    UserButton1->SetVisible(false);
    UserButton2 = new TButton(this);
    UserButton2->SetParent(UserButtonPanel);
    UserButton2->SetBounds(128, 8, 89, 26);
    UserButton2->SetCaption("UserButton2");
    UserButton2->SetVisible(false);
    UserButton1->OnClick = [this](TObject*) {
        if (component_ && component_->OnUserButton1Click) component_->OnUserButton1Click(component_, this, Memo);
    };
    UserButton2->OnClick = [this](TObject*) {
        if (component_ && component_->OnUserButton2Click) component_->OnUserButton2Click(component_, this, Memo);
    };
    OKBtn = ApplyDialogStyle(this, dbkOK);
    OKBtn->SetTabOrder(1);
    OKBtn->OnClick = [this](TObject*) { okPressed_ = closingByOK_ = true; };
    CancelBtn = ApplyDialogStyle(this, dbkCancel);
    CancelBtn->SetTabOrder(2);
    OnShow = [this](TObject*) { FormShow(); };
    OnResize = [this](TObject*) { ResizeControls(); };
    OnCloseQuery = [this](TObject*, bool& CanClose) { FormCloseQuery(CanClose); };
    OnKeyPress = [](TObject*, char& Key) {
        if (Key == 27) Key = 0;  // the memo's Escape has closed the window already
    };
}

void TvlMemoDlg::ResizeControls() {
    if (!Memo || !OKBtn || !CancelBtn) return;
    const TvlMemoLayout l =
        MemoDialogLayout(Width(), Height(), GetSystemMetrics(SM_CYDLGFRAME), GetSystemMetrics(SM_CYCAPTION),
                         OKBtn->Width(), editable_, UserButtonPanel->Visible());
    Memo->SetBounds(l.memo.Left, l.memo.Top, l.memo.Width(), std::max(0, l.memo.Height()));
    OKBtn->SetBounds(l.okLeft, l.buttonTop, OKBtn->Width(), OKBtn->Height());
    OKBtn->SetVisible(true);
    CancelBtn->SetBounds(l.cancelLeft, l.buttonTop, CancelBtn->Width(), CancelBtn->Height());
    CancelBtn->SetVisible(l.cancelVisible);
    if (UserButtonPanel->Visible())
        UserButtonPanel->SetBounds(UserButtonPanel->Left(), l.panelTop, UserButtonPanel->Width(),
                                   UserButtonPanel->Height());
}

void TvlMemoDlg::FormShow() {
    if (shownOnce_) return;
    shownOnce_ = true;
    KeyPreview = true;
    TvlMemoDialog* c = component_;
    if (c) {
        Memo->Font().Assign(c->Font());
        SetCaption(c->Caption);
        if (c->DlgLeft == 0 && c->DlgTop == 0)
            SetBounds(Left(), Top(), c->DlgWidth, c->DlgHeight);
        else if (c->DlgLeft > 0 || c->DlgTop > 0)
            SetBounds(wanted_.Left, wanted_.Top, wanted_.Width(), wanted_.Height());
        const bool one = !c->UserButton1Caption.empty(), two = !c->UserButton2Caption.empty();
        if (one || two) {
            UserButtonPanel->SetBounds(Memo->Left() - 1, Memo->Top() + Memo->Height() + 2, UserButtonPanel->Width(),
                                       UserButtonPanel->Height());
            int right = 0;
            if (one) {
                UserButton1->SetCaption(c->UserButton1Caption);
                UserButton1->SetBounds(10, UserButton1->Top(), UserButton1->Width(), UserButton1->Height());
                UserButton1->SetVisible(true);
                right = 10 + UserButton1->Width();
            }
            if (two) {
                UserButton2->SetCaption(c->UserButton2Caption);
                UserButton2->SetBounds(one ? right + 15 : 15, UserButton2->Top(), UserButton2->Width(),
                                       UserButton2->Height());
                UserButton2->SetVisible(true);
                right = UserButton2->Left() + UserButton2->Width();
            }
            UserButtonPanel->SetBounds(UserButtonPanel->Left(), UserButtonPanel->Top(), right + 10,
                                       UserButtonPanel->Height());
            UserButtonPanel->SetVisible(true);
        }
    }
    if (TvlIntl* intl = GlobalIntl()) Font().SetStyle(intl->DialogFontStyle);
    ResizeControls();
    if (c) {
        c->dialog_ = this;
        c->NotifyInitDialog();
    }
    Memo->SetModified(false);
}

void TvlMemoDlg::MemoKeyDown(unsigned& Key, TShiftState Shift) {
    if ((Key == VK_RETURN && (Shift & ssCtrl)) || Key == kKeyF2) {
        Key = 0;
        okPressed_ = closingByOK_ = true;
        SetModalResult(mrOk);
    } else if (Key == VK_ESCAPE) {
        Key = 0;
        SetModalResult(mrCancel);
    }
}

void TvlMemoDlg::FormCloseQuery(bool& CanClose) {
    CanClose = true;
    if (Memo->Modified() && !closingByOK_) {
        const std::string text = CreateGlobalIntl().UserMessages().MemoChangesWarning;
        if (MessageDlg(text, mtConfirmation, Buttons({mbYes, mbNo})) == mrYes)
            SetModalResult(mrCancel);
        else
            CanClose = false;
    }
    closingByOK_ = false;
}

// --- the component -----------------------------------------------------------------------

TvlMemoDialog::TvlMemoDialog(TComponent* AOwner)
    : TComponent(AOwner), link_(std::make_unique<db::TDataLink>()), font_(std::make_unique<TFont>()) {}

TvlMemoDialog::~TvlMemoDialog() = default;

void TvlMemoDialog::NotifyInitDialog() {
    if (OnInitDialog) OnInitDialog(this, dialog_);
}

void TvlMemoDialog::NotifyCloseDialog() {
    if (OnCloseDialog) OnCloseDialog(this, dialog_);
}

bool TvlMemoDialog::Execute() {
    const bool editable = !(MemoAttributes & MemoAttr(mViewOnly));
    // The window is freed on every path, also when the field is missing.
    std::unique_ptr<TvlMemoDlg> dlg(new TvlMemoDlg(nullptr));
    TForm* ref = Screen ? Screen->ActiveForm() : nullptr;
    if (ref && ref->FormStyle() == fsStayOnTop) dlg->SetFormStyle(fsStayOnTop);
    dlg->component_ = this;
    db::TField* field = nullptr;
    db::TDataSource* src = link_->DataSource();
    if (src && src->DataSet() && !DataField.empty()) {
        field = src->DataSet()->FieldByName(DataField);
        dlg->Memo->SetText(field->AsString());
    } else {
        dlg->Memo->SetText("");
    }
    dlg->Memo->SetWordWrap((MemoAttributes & MemoAttr(mWordWrap)) != 0);
    dlg->SetBorderStyle((MemoAttributes & MemoAttr(mSizeable)) ? bsSizeable : bsDialog);
    dlg->editable_ = editable;
    if (!editable) {
        dlg->CancelBtn->SetVisible(false);
        dlg->Memo->SetReadOnly(true);
    }
    dlg->wanted_ = Rect(DlgLeft, DlgTop, DlgLeft + DlgWidth, DlgTop + DlgHeight);
    if (DlgLeft > 0 || DlgTop > 0) dlg->Position = poDesigned;
    bool result = false;
    try {
        result = dlg->ShowModal() == mrOk;
        NotifyCloseDialog();
        if (result && editable && field) {
            field->DataSet()->Edit();
            field->SetAsString(dlg->Memo->Text());
        }
    } catch (...) {
        dialog_ = nullptr;
        throw;
    }
    dialog_ = nullptr;
    return result;
}

}  // namespace vl
