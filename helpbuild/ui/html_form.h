// The "Tavrin to HTML Wizard": step 1 the export's details, step 2 the
// pages' file names in a grid, step 3 browsing the result. The export
// itself is build::ExportHtmlPages over the export table.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "project/progress.h"
#include "helpbuild/html_export.h"
#include "helpbuild/tables/table_html_export.h"
#include "project/editor_context.h"
#include "controls/data/vl_dbgrid.h"
#include "platform/gui/buttons.h"
#include "platform/gui/edits.h"
#include "platform/gui/forms.h"
#include "platform/gui/lists.h"
#include "platform/gui/std_controls.h"
#include "platform/gui/tabs.h"

namespace buildui {

// The page list of step 2, on the library's data grid.
class THtmlPageGrid : public vl::TvlDBGrid {
public:
    explicit THtmlPageGrid(gui::TComponent* owner) : vl::TvlDBGrid(owner) {}
    // Shows `ContextString` as "Htm Filename", `Title` and `HelpId` as
    // "HelpID" (the last two read-only) and hides every other field.
    void ShowExportColumns(db::TDataSet* exportTable);

    // Read-only columns are drawn black on silver.
    void DoCalcCellColors(db::TField* Field, gui::TGridDrawState State, bool Highlight, gui::TFont& AFont,
                          gui::TBrush& ABrush) override;
};

class TfrmHtml : public gui::TForm {
public:
    TfrmHtml(gui::TComponent* owner, editor::EditorContext& context);
    ~TfrmHtml() override;

    gui::TNotebook* nbkSteps;
    // step 1
    gui::TComboBox* fldProject;
    gui::TEdit* editDirectory;
    gui::TButton* btnDirectory;
    gui::TEdit* editGraphicsDir;
    gui::TButton* btnGraphicsDir;
    gui::TEdit* editBackground;
    gui::TButton* btnBackground;
    gui::TRadioGroup* rgpHtmFilenames;
    gui::TCheckBox* radIgnorePopups;
    // step 2
    THtmlPageGrid* gridTopics;
    gui::TButton* Button4;  // "&Delete"
    // step 3
    gui::TEdit* editBrowser;
    gui::TButton* btnBrowser;
    gui::TButton* btnBrowse;
    gui::TButton* btnExit;
    // bottom
    gui::TButton* btnCancel;
    gui::TButton* btnPrev;
    gui::TButton* btnNext;
    gui::TButton* btnFinish;
    gui::TEdit* editMapCount;
    // focus hints
    gui::TLabel *jdS1Project, *jdS1Directory, *jdS1GraphicsDir, *jdS1Background, *jdS1HtmlFilenames,
        *jdS1IgnorePopups, *jdS2HtmlPages, *jdS3Browser;

    // The export table and the project cursors of the wizard.
    build::TableHtmlExport& Export() { return *export_; }
    // The log of the last export.
    const build::HtmlExportLog& Log() const { return log_; }

    // --- hooks (the program's defaults; tests replace them) ---
    // The wait window of the long steps.
    std::function<std::unique_ptr<build::IProgress>()> createProgress;
    // Prints the export log.
    std::function<void(const std::string& text)> printLog;
    // Starts the browser without waiting; false when it could not start.
    std::function<bool(const std::vector<std::string>& argv)> startBrowser;
    // Lets the user choose a folder, starting at the given one; empty: cancelled.
    std::function<std::string(const std::string& start)> selectDirectory;

    void FormShow(gui::TObject* sender);
    void FormClose();
    void fldProjectChange(gui::TObject* sender);
    void btnNextClick(gui::TObject* sender);
    void btnPrevClick(gui::TObject* sender);
    void btnFinishClick(gui::TObject* sender);
    void btnBrowseClick(gui::TObject* sender);
    void btnBackgroundClick(gui::TObject* sender);
    void btnBrowserClick(gui::TObject* sender);
    void Button4Click(gui::TObject* sender);

private:
    void ResetDirectories();
    void ShowStep(int index);
    void Hint(gui::TWinControl* control, gui::TLabel* label);
    std::unique_ptr<build::IProgress> Wait(const std::string& text);

    editor::EditorContext& ctx_;
    std::unique_ptr<build::TableHtmlExport> export_;
    build::HtmlExportLog log_;
    std::string backgroundName_;
};

}  // namespace buildui
