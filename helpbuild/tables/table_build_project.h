// The build's view of the project tables the editor holds: the current
// project row of `mainTable`, its pages through `CdetailTable` (the build's
// page set), the contents rows through `cntShadow`, and the RTF header from
// the font registry or the preferences row.
#pragma once

#include <cstdint>
#include <optional>

#include "helpbuild/build_project.h"
#include "data/bulk_transaction.h"
#include "project/editor_context.h"

namespace build {

class TableBuildProject : public IBuildProject {
public:
    explicit TableBuildProject(editor::EditorContext& context) : ctx_(context) {}

    // The program setting that makes builds take the header of the font registry.
    bool useFontRegistry = false;
    // The region colours the main window last applied to its views; when
    // unset, the project row's colours (white and silver when unreadable).
    std::optional<std::uint32_t> scrollColor, nonscrollColor;

    ProjectFields Project() override;
    bool PostPendingEdits() override;
    void SetCompile(const std::string& value) override;
    void SelectBuildPages(bool filteredOnly) override;
    int PageCount() override;
    bool FirstPage() override;
    bool NextPage() override;
    PageRow CurrentPage(bool withTexts) override;
    std::string CurrentPrepared() override;
    void StorePrepared(const std::string& record, const std::string* helpText) override;
    // One engine transaction on the page table's database, kept when the
    // project goes without an end.
    void BeginStoringRecords() override;
    void EndStoringRecords(bool keep) override;
    std::string HeaderRtf() override;
    void ReplaceContents(const std::vector<ContentsRow>& rows) override;

private:
    editor::EditorContext& ctx_;
    std::optional<db::TBulkTransaction> storing_;
};

}  // namespace build

#include <functional>

#include "helpbuild/build_driver.h"
#include "helpbuild/compile_options.h"

namespace build {

// A build environment on the editor's program-wide values: its cancel
// request, the forced 16-bit build, its help file and help hook. The caller
// adds the windows' hooks (options dialog, progress window, error log,
// contents file, focus, status panel).
BuildEnvironment MakeBuildEnvironment(editor::EditorContext& context);

// The compile options dialog on the current row of `mainTable`.
class TableCompileOptions : public ICompileOptionsData {
public:
    explicit TableCompileOptions(editor::EditorContext& context) : ctx_(context) {}

    // The main window's contents filter history (its memo's lines).
    std::function<std::vector<std::string>()> history;
    // The main window's contents filter command.
    std::function<void()> applyContentsFilter;

    std::string Field(const std::string& name) override;
    void EditField(const std::string& name, const std::string& value) override;
    bool Editing() override;
    void Post() override;
    void CancelEdit() override;
    std::vector<std::string> ContentsFilterHistory() override { return history ? history() : std::vector<std::string>{}; }
    void ApplyContentsFilter() override {
        if (applyContentsFilter) applyContentsFilter();
    }

private:
    editor::EditorContext& ctx_;
};

}  // namespace build
