// "Footnotes": the page's footnote fields in larger edits, bound to the
// main window's page data source; and page loading from a file into the
// focused page editor.
#pragma once

#include "controls/db/db_controls.h"
#include "data/data_source.h"
#include "platform/gui/buttons.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_controls.h"

namespace buildui {

inline constexpr long kFootnotesHelpContext = 9585;

class TFootnotesForm : public gui::TForm {
public:
    explicit TFootnotesForm(gui::TComponent* owner);
    ~TFootnotesForm() override;

    gui::TGroupBox* GroupBox1;
    db::TDBEdit* editTopic;
    db::TDBEdit* editKeys;
    db::TDBEdit* editB;
    db::TDBEdit* editA;
    db::TDBEdit* editMacro;
    gui::TButton* Button1;
    gui::TButton* Button2;
    gui::TButton* Button3;

    // Binds the five edits to the page source with their fields.
    void Bind(db::TDataSource* pages);
    void Button1Click();
    void Button2Click();
    void Button3Click();

private:
    db::TDataSource* pages_ = nullptr;
};

// The "Footnotes" button of the maximised view: posts a pending edit of the
// page, then shows the dialog on the page source with the caption
// "Footnotes for " + the project.
void ShowFootnotesEditor(db::TDataSource* pages, const std::string& project);

}  // namespace buildui
