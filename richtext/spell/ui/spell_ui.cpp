#include "richtext/spell/ui/spell_ui.h"

#include "platform/gui/tabs.h"
#include "richtext/spell/ui/spell_forms.h"

namespace spellui {

using namespace gui;

TQtSpellEnvironment::~TQtSpellEnvironment() = default;


void TQtSpellEnvironment::ProcessMessages() {
    if (Application) Application->ProcessMessages();
}

void TQtSpellEnvironment::WaitMessage() {
    if (Application) Application->HandleMessage();
}

void TQtSpellEnvironment::SetHourGlass(bool on) {
    if (Screen) Screen->SetCursor(on ? crHourGlass : crDefault);
}

void TQtSpellEnvironment::DisableTaskWindows(spell::ISpellDialog* except) {
    EnableTaskWindows();
    disabled_ = gui::DisableTaskWindows(dynamic_cast<TForm*>(except));
}

void TQtSpellEnvironment::EnableTaskWindows() {
    gui::EnableTaskWindows(disabled_);
    disabled_.clear();
}

std::unique_ptr<spell::ISpellDialog> TQtSpellEnvironment::CreateDialog(spell::TDialogTypes style) {
    return CreateSpellDialog(style);
}

std::unique_ptr<spell::IEditText> TQtSpellEnvironment::EditTextOf(plat::TComponent* control) {
    if (auto* edit = dynamic_cast<TCustomEdit*>(control)) return std::make_unique<TEditTextAdapter>(*edit);
    return nullptr;
}

bool TQtSpellEnvironment::IsWindowedControl(plat::TComponent* control) {
    return dynamic_cast<TWinControl*>(control) != nullptr;
}

void TQtSpellEnvironment::RevealControl(plat::TComponent* component) {
    auto* control = dynamic_cast<TControl*>(component);
    for (int steps = 0; control && steps < 999; ++steps, control = control->Parent()) {
        if (control->Showing() || dynamic_cast<TForm*>(control)) break;
        if (auto* sheet = dynamic_cast<TTabSheet*>(control)) {
            if (sheet->PageControl()) sheet->PageControl()->SetActivePage(sheet);
        } else if (auto* page = dynamic_cast<TPage*>(control)) {
            if (TNotebook* book = page->Notebook()) {
                for (int i = 0; i < book->Pages().Count(); ++i)
                    if (book->Page(i) == page) book->SetPageIndex(i);
            }
        }
    }
}

// The window belongs to the application; the watch forgets it when the
// application frees it, and the next count makes a new one.
class TQtSpellEnvironment::TFormWatch : public plat::TComponent {
public:
    TFormWatch() : plat::TComponent(nullptr) {}
    TWordForm* form = nullptr;

protected:
    void Notification(plat::TComponent* c, plat::TOperation op) override {
        if (op == plat::opRemove && c == form) form = nullptr;
        plat::TComponent::Notification(c, op);
    }
};

TQtSpellEnvironment::TQtSpellEnvironment() : watch_(std::make_unique<TFormWatch>()) {}

TWordForm* TQtSpellEnvironment::WordForm() { return watch_->form; }

spell::IWordCountView* TQtSpellEnvironment::WordCountView() {
    if (!watch_->form && Application) {
        watch_->form = new TWordForm(Application);
        watch_->FreeNotification(watch_->form);
    }
    return watch_->form;
}

TQtSpellEnvironment& InstallSpellUi() {
    static TQtSpellEnvironment env;
    spell::SetSpellEnvironment(&env);
    return env;
}

}  // namespace spellui
