// The HTML export over the project tables: the wizard's own project table
// and page list (`mainTable`, `tblItems`), the export table `TvrnHtml.QVD`
// (`tblHtml`, one row per exported page, `ContextString` its file name and
// `MacroFootnote` the page's context string in the project) and the second
// cursor `tblLoc` on it, read once per export to find the pages that links
// and image-map areas name.
//
// The export table is the program's own work table, made on first use with
// the page table's fields. It is emptied and filled in one engine
// transaction each, so an export syncs once instead of once per row.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "helpbuild/html_export.h"
#include "data/vl_table.h"
#include "project/editor_context.h"
#include "data/data_source.h"

namespace build {

inline constexpr const char* kHtmlTableFile = "TvrnHtml.QVD";

class TableHtmlExport : public IHtmlExportPages {
public:
    explicit TableHtmlExport(editor::EditorContext& context);
    ~TableHtmlExport() override;

    vl::TvlTable* mainTable;  // the wizard's own cursor on the project table
    db::TDataSource* mainSource;
    vl::TvlTable* tblItems;   // the chosen project's pages
    vl::TvlTable* tblHtml;    // the export table
    db::TDataSource* srcHtml;
    vl::TvlTable* tblLoc;     // second cursor on the export table

    // Every project name in key order.
    std::vector<std::string> ProjectNames();
    // Positions the wizard's project table; false when there is no such project.
    bool SelectProject(const std::string& application);
    std::string Field(const std::string& name);

    // Fills the export table from the project's pages (topics only when
    // `ignorePopups`) and gives each its file name.
    void AssignHtmlFileNames(bool longNames, bool ignorePopups);
    bool ExportTableOpen() const;
    // Checks the names as they stand (edited by hand too): each refusal is a
    // warning box; false at the first.
    bool ValidateHtmlFileNames();
    // The "&Delete" button: the current row of the page list goes.
    void DeleteCurrentPage();

    // --- IHtmlExportPages ---
    int Count() override;
    bool First() override;
    bool Next() override;
    HtmlExportRow Current(bool withTexts) override;
    bool FindByHelpId(std::int32_t helpId, std::string& name) override;
    bool FindByContextString(const std::string& contextString, std::string& name) override;

private:
    void OpenExportTable();
    void IndexLookups();
    editor::EditorContext& ctx_;
    std::unique_ptr<plat::TComponent> owner_;
    bool indexed_ = false;
    std::map<std::int32_t, std::string> byHelpId_;
    std::map<std::string, std::string> byContext_;
};

}  // namespace build
