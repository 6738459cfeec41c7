#include "editor/forms/tip_form.h"

#include "platform/core/clock.h"

namespace editor {

TTipsForm::TTipsForm(gui::TComponent* AOwner) : gui::TForm(AOwner) {
    SetName("TipsForm");
    SetCaption("Tip of the Day");
    SetBorderStyle(gui::bsDialog);
    Position = gui::poScreenCenter;
    SetBounds(0, 0, 400, 260);

    pnlTip = new gui::TPanel(this);
    pnlTip->SetParent(this);
    pnlTip->SetBounds(10, 10, 290, 170);
    pnlTip->SetBevelOuter(gui::bvLowered);

    lblTitle = new gui::TLabel(this);
    lblTitle->SetParent(pnlTip);
    lblTitle->SetBounds(12, 10, 266, 20);
    lblTitle->SetCaption("Did you know...");

    lblTip = new gui::TLabel(this);
    lblTip->SetParent(pnlTip);
    lblTip->SetBounds(12, 40, 266, 120);
    lblTip->SetWordWrap(true);

    memoTips = new gui::TMemo(this);
    memoTips->SetParent(this);
    memoTips->SetVisible(false);

    chkShowOnStartup = new gui::TCheckBox(this);
    chkShowOnStartup->SetParent(this);
    chkShowOnStartup->SetBounds(10, 190, 200, 20);
    chkShowOnStartup->SetCaption(" &Show Tips at Startup");

    btnOk = new gui::TButton(this);
    btnOk->SetParent(this);
    btnOk->SetBounds(310, 10, 75, 25);
    btnOk->SetCaption("Ok");
    btnOk->Default = true;
    btnOk->Cancel = true;
    btnOk->ModalResult = gui::mrOk;

    btnNext = new gui::TButton(this);
    btnNext->SetParent(this);
    btnNext->SetBounds(310, 45, 75, 25);
    btnNext->SetCaption("&Next Tip");
    btnNext->OnClick = [this](gui::TObject*) { ShowRandomTip(); };
}

void TTipsForm::DoShow() {
    random_.seed(plat::GetTickCount());
    ShowRandomTip();
    gui::TForm::DoShow();
}

void TTipsForm::ShowRandomTip() {
    plat::StringList& lines = memoTips->Lines();
    if (lines.Count() == 0) {
        current_.clear();
    } else {
        std::uniform_int_distribution<int> pick(0, lines.Count() - 1);
        current_ = lines[pick(random_)];
    }
    lblTip->SetCaption(current_);
}

TTipOfTheDay::TTipOfTheDay(gui::TComponent* AOwner) : gui::TComponent(AOwner) {
    dialogFont_.SetName("MS Sans Serif");
    dialogFont_.SetSize(8);
    tipsFont_.SetName("MS Sans Serif");
    tipsFont_.SetSize(8);
}

bool TTipOfTheDay::Execute() {
    auto* form = new TTipsForm(gui::Application);
    form->SetCaption(Caption);
    form->memoTips->Lines().Assign(Tips);
    form->SetColor(DialogColor);
    form->pnlTip->SetColor(TipsBackgroundColor);
    form->lblTitle->SetCaption(TipsTitle);
    form->lblTitle->Font().Assign(dialogFont_);
    form->lblTip->Font().Assign(tipsFont_);
    form->chkShowOnStartup->SetChecked(ShowTipsOnStartup);
    if (!AllowShowTipsOnStartup) {
        form->SetHeight(218);
        form->chkShowOnStartup->SetVisible(false);
    }
    if (OnBeforeShow) OnBeforeShow(form);
    form->ShowModal();
    ShowTipsOnStartup = form->chkShowOnStartup->Checked();
    delete form;
    return true;
}

}  // namespace editor
