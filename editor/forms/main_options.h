// The main window's side of the page filters and the preferences: the
// grids' column filters, the Filter View's columns and its kind colours,
// the contents tab's filter word with its history, and the preferences
// that change the window's own controls.
#pragma once

#include "controls/db/db_controls.h"
#include "platform/gui/buttons.h"
#include "platform/gui/menus.h"
#include "platform/gui/std_controls.h"

#include <string>
#include <vector>

namespace editor {

class TForm1;
class TfrmMiniFilter;

// The page fields the Filter View shows and the Split View hides.
const std::vector<std::string>& FilterViewOnlyFields();
// The Filter View grid's colours of one cell: the kind column takes the
// topic colour for a topic and the popup colour otherwise, on white. False
// (colours untouched) for any other column.
bool FilterGridCellColours(const std::string& fieldName, const std::string& topicPopup, long topicColour,
                           long popupColour, long& font, long& brush);

// The controls and the small filter dialog this part adds to the window;
// found as the form's component "FilterViewCommands".
class TFilterViewCommands : public gui::TComponent {
public:
    explicit TFilterViewCommands(TForm1& form);

    // The contents tab's filter word above its page ("Filter Now" is the page's own button).
    gui::TPanel* pnlCntFilter;
    db::TDBComboBox* comboFilter;
    gui::TButton* SpeedButton1;  // saves the word into the history
    db::TDBMemo* memoContentsFilterHistory;
    // The Filter View grid's pop-up menu ("&Filter"; the page grid has its own).
    gui::TPopupMenu* popFilterGrid;
    gui::TMenuItem* Filter3;
    // The small filter dialog, made once and shared with the page grid's
    // column filter (the window's component "frmMiniFilterGrid").
    TfrmMiniFilter* MiniFilter();
    // Where the last right click in the Filter View grid was, on the screen.
    int MouseX = 0, MouseY = 0;

    // Column filter from the split-view grid (false) or the Filter View grid (true).
    bool FilterFromGridColumn(bool filterGrid);
    // Before "Filter Now": a word still being typed becomes the project's.
    void TakeTypedWord();
    void SpeedButton1Click();
    // The history lines into the combo box's items.
    void LoadContentsFilterHistory();

private:
    TForm1& form_;
};

// Adds the controls above, fills the display hooks of the contents filter
// and colours the Filter View grid.
void InstallFilterViewCommands(TForm1& form);
TFilterViewCommands* FilterViewCommandsOf(TForm1& form);
// The Filter View shows the extra page fields, the Split View hides them;
// the page table's controls are disabled meanwhile.
void SetViewColumns(TForm1& form);
// The split-view grid's font and the explorer tree's buttons and lines
// from the settings, after the preferences changed them.
void ApplyPreferencesToWindow(TForm1& form);

}  // namespace editor
