#include "controls/data/vl_dialog_style.h"

#include "data/vl_intl.h"
#include "platform/gui/forms.h"

namespace vl {

namespace {

constexpr int kDesignPixelsPerInch = 96;
constexpr int kButtonWidth = 77, kButtonHeight = 24, kBitmappedButtonHeight = 27;

int Scaled(int pixels) {
    const int ppi = gui::Screen ? gui::Screen->PixelsPerInch() : kDesignPixelsPerInch;
    return (pixels * ppi + kDesignPixelsPerInch / 2) / kDesignPixelsPerInch;
}

}  // namespace

gui::TButton* ApplyDialogStyle(gui::TComponent* owner, int kind) {
    TvlIntl& intl = CreateGlobalIntl();
    gui::TButton* button;
    if (intl.OKCancelBitmapped) {
        auto* b = new gui::TBitBtn(owner);
        b->Font().SetName("MS Sans Serif");
        b->Font().SetHeight(-11);
        b->Font().SetColor(gui::clBtnText);
        b->Font().SetStyle(intl.DialogFontStyle);
        b->SetBounds(b->Left(), b->Top(), Scaled(kButtonWidth), Scaled(kBitmappedButtonHeight));
        button = b;
    } else {
        button = new gui::TButton(owner);
        button->SetBounds(button->Left(), button->Top(), Scaled(kButtonWidth), Scaled(kButtonHeight));
    }
    if (auto* parent = dynamic_cast<gui::TWinControl*>(owner)) button->SetParent(parent);
    switch (kind) {
    case dbkOK:
        button->SetCaption(intl.BtnOKCaption);
        button->ModalResult = gui::mrOk;
        break;
    case dbkCancel:
        button->SetCaption(intl.BtnCancelCaption);
        button->ModalResult = gui::mrCancel;
        button->Cancel = true;
        break;
    default: break;
    }
    return button;
}

}  // namespace vl
