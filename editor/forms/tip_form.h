// The tip of the day: TTipOfTheDay, the component on the main window that
// holds the tips and the look, and TTipsForm, the window it shows.
#pragma once

#include "platform/gui/buttons.h"
#include "platform/gui/edits.h"
#include "platform/gui/forms.h"
#include "platform/gui/graphics.h"
#include "platform/gui/std_controls.h"

#include <functional>
#include <random>
#include <string>

namespace editor {

class TTipsForm : public gui::TForm {
public:
    explicit TTipsForm(gui::TComponent* AOwner);

    gui::TPanel* pnlTip;
    gui::TLabel* lblTitle;
    gui::TLabel* lblTip;
    gui::TMemo* memoTips;  // hidden: the tips, one a line
    gui::TCheckBox* chkShowOnStartup;
    gui::TButton* btnOk;
    gui::TButton* btnNext;

    // Shows a random line of the tips (the same line may come again).
    void ShowRandomTip();
    const std::string& CurrentTip() const { return current_; }

protected:
    void DoShow() override;

private:
    std::mt19937 random_;
    std::string current_;
};

class TTipOfTheDay : public gui::TComponent {
public:
    explicit TTipOfTheDay(gui::TComponent* AOwner);

    std::string Caption = "Tip of the Day";
    plat::StringList Tips;
    gui::TFont& DialogFont() { return dialogFont_; }
    gui::TColor DialogColor = gui::clBtnFace;
    gui::TColor TipsBackgroundColor = 15532031;  // 0xECFFFF
    std::string TipsTitle = "Did you know...";
    gui::TFont& TipsFont() { return tipsFont_; }
    bool AllowShowTipsOnStartup = true;
    bool ShowTipsOnStartup = true;

    // Builds the window, shows it modally, takes the check box back into
    // ShowTipsOnStartup and frees the window; always True.
    bool Execute();
    // Called with the window before it is shown modally (screenshots, tests).
    std::function<void(TTipsForm*)> OnBeforeShow;

private:
    gui::TFont dialogFont_, tipsFont_;
};

}  // namespace editor
