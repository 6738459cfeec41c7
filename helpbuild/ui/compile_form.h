// The "Hold on..." progress window every long operation shows: a status
// panel, two pictures that take turns every half second, a segmented meter
// and a Cancel button that sets the operation's cancel request.
#pragma once

#include <functional>
#include <memory>

#include "project/progress.h"
#include "controls/misc/small_controls.h"
#include "platform/gui/buttons.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_controls.h"

namespace buildui {

class TCompileForm : public gui::TForm, public build::IProgress {
public:
    // `cancelFlag`: the program's shared cancel request; null: the form's own.
    explicit TCompileForm(gui::TComponent* owner, bool* cancelFlag = nullptr);

    gui::TPanel* pnlStatus;
    gui::TImage* imgMonkLeft;
    gui::TImage* imgMonkRight;
    gui::TButton* Button1;
    misc::TW95Meter* W95Meter1;
    gui::TTimer* Timer1;

    void Timer1Timer(gui::TObject* sender);
    void Button1Click(gui::TObject* sender);

    // --- IProgress ---
    void SetStatus(const std::string& text) override;
    void SetPercent(int percent) override;
    void Show() override;
    void ProcessMessages() override;
    bool CancelRequested() const override { return *cancel_; }
    void ClearCancel() override { *cancel_ = false; }

private:
    bool ownCancel_ = false;
    bool* cancel_;
};

// The progress window as a long operation creates it: owned by the
// application, sharing the program's cancel request; freed by the operation.
std::function<std::unique_ptr<build::IProgress>()> CompileFormFactory(bool* cancelFlag);

}  // namespace buildui
