#include "editor/forms/splash_form.h"

namespace editor {

TSplashForm::TSplashForm(gui::TComponent* AOwner) : gui::TForm(AOwner) {
    SetName("SplashForm");
    SetCaption("Tavrin");
    SetBorderStyle(gui::bsNone);
    Position = gui::poScreenCenter;
    SetBounds(0, 0, 420, 220);

    pnlFrame = new gui::TPanel(this);
    pnlFrame->SetParent(this);
    pnlFrame->SetAlign(gui::alClient);
    pnlFrame->SetBevelOuter(gui::bvRaised);
    pnlFrame->SetColor(gui::clNavy);

    lblName = new gui::TLabel(this);
    lblName->SetParent(pnlFrame);
    lblName->SetBounds(30, 40, 360, 60);
    lblName->SetCaption("Tavrin");
    lblName->SetTransparent(true);
    lblName->Font().SetName("Times New Roman");
    lblName->Font().SetSize(36);
    lblName->Font().SetStyle(gui::fsBold | gui::fsItalic);
    lblName->Font().SetColor(gui::clYellow);

    lblLine = new gui::TLabel(this);
    lblLine->SetParent(pnlFrame);
    lblLine->SetBounds(32, 110, 360, 24);
    lblLine->SetCaption("Help authoring for Windows Help files");
    lblLine->SetTransparent(true);
    lblLine->Font().SetSize(11);
    lblLine->Font().SetColor(gui::clWhite);

    lblStatus = new gui::TLabel(this);
    lblStatus->SetParent(pnlFrame);
    lblStatus->SetBounds(32, 170, 360, 20);
    lblStatus->SetCaption("Version 0.1    Opening the project tables...");
    lblStatus->SetTransparent(true);
    lblStatus->Font().SetColor(gui::clSilver);
}

}  // namespace editor
