// "Edit Contents entry": the dialog of the contents commands Add Above and
// Add Below. The kind of entry enables its fields; a topic's Topic ID can
// be picked from the pages of any project (a double click in the page grid).
#pragma once

#include "helpbuild/contents/contents_tables.h"
#include "controls/data/vl_locate_dialog.h"
#include "data/vl_table.h"
#include "project/editor_context.h"
#include "controls/db/db_controls.h"
#include "controls/db/db_grid.h"
#include "platform/gui/buttons.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_controls.h"

namespace buildui {

inline constexpr long kCntAddHelpContext = 9530;

class TCntAddForm : public gui::TForm {
public:
    TCntAddForm(gui::TComponent* owner, editor::EditorContext& ctx);
    ~TCntAddForm() override;

    db::TDataSource* mainSource;
    vl::TvlTable* mainTable;
    db::TDataSource* detailSource;
    vl::TvlTable* detailTable;
    gui::TRadioGroup* rgrpEntryType;
    gui::TLabel* Label1;
    gui::TEdit* editTitle;
    gui::TLabel* Label2;
    gui::TEdit* editTopic;
    gui::TLabel* Label3;
    gui::TEdit* editFile;
    gui::TLabel* Label4;
    gui::TEdit* editWindow;
    gui::TGroupBox* GroupBox1;
    db::TCustomDBGrid* DBGrid1;
    db::TDBNavigator* DBNavigator1;
    db::TCustomDBGrid* detailGrid;
    gui::TButton* btnOk;
    gui::TButton* Button2;
    gui::TButton* Button3;
    vl::TvlLocateDialog* loc;
    gui::TSpeedButton* SpeedButton1;
    db::TField* mainTableApplication = nullptr;
    db::TField* mainTableDosName = nullptr;
    db::TField* detailTableHelpId = nullptr;
    db::TField* detailTableTitle = nullptr;
    db::TField* detailTableContextString = nullptr;
    db::TField* detailTableApplication = nullptr;

    // The kind chosen, as the radio group's index.
    build::CntAddChoice::Kind Kind() const;
    void SetKind(build::CntAddChoice::Kind kind);
    // What the fields hold.
    build::CntAddChoice Choice() const;

    void FormShow();
    void rgrpEntryTypeClick();
    void detailGridDblClick();
    void SpeedButton1Click();
    void btnOkClick();
    void Button3Click();

private:
    void EnableEdit(gui::TEdit* edit, gui::TLabel* label, bool on);
    editor::EditorContext& ctx_;
};

// The add dialog as the contents commands run it: preselected kind, modal,
// the fields taken on OK.
bool RunCntAddDialog(editor::EditorContext& ctx, build::CntAddChoice& choice);

}  // namespace buildui
