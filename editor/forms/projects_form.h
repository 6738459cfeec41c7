// Projects at a glance: a grid over the project table, from which File |
// Open Project picks the project to work on.
#pragma once

#include "data/vl_table.h"
#include "controls/db/db_grid.h"
#include "data/data_source.h"
#include "platform/gui/buttons.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_controls.h"

#include <string>

namespace editor {

class TProjectsForm : public gui::TForm {
public:
    explicit TProjectsForm(gui::TComponent* AOwner);
    ~TProjectsForm() override;

    // Its own cursor on the project table (alias "Tavrin", primary index).
    vl::TvlTable* mainTable;
    db::TDataSource* mainSource;
    db::TCustomDBGrid* ProjectGrid;
    gui::TPanel* pnlButtons;
    gui::TButton* btnOk;
    gui::TButton* btnCancel;

    // Opens the table and puts the cursor on the project; false when the
    // name is not there (the cursor stays on the first row).
    bool GoToProject(const std::string& application);
    // The project the cursor is on; "" when the table is empty.
    std::string SelectedProject() const;
};

}  // namespace editor
