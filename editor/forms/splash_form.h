// The splash window shown while the main window is built.
#pragma once

#include "platform/gui/forms.h"
#include "platform/gui/std_controls.h"

namespace editor {

class TSplashForm : public gui::TForm {
public:
    explicit TSplashForm(gui::TComponent* AOwner);
    gui::TPanel* pnlFrame;
    gui::TLabel* lblName;
    gui::TLabel* lblLine;
    gui::TLabel* lblStatus;
};

}  // namespace editor
