#include "editor/commands/compile_commands.h"

#include "helpbuild/tables/table_build_project.h"
#include "project/page_rules.h"
#include "platform/core/files.h"
#include "platform/core/dialog_service.h"

#include <exception>

namespace editor {

namespace {

// Puts back what a build command changed, on every way out.
class CompileRestore {
public:
    CompileRestore(EditorContext& ctx, CompileHooks& hooks, bool full)
        : ctx_(ctx), hooks_(hooks), full_(full), folder_(plat::GetCurrentDir()) {
        db::TDataSet* pages = ctx_.detailTable;
        if (full_ && pages->Active() && !pages->IsEmpty()) bookmark_ = pages->GetBookmark();
    }
    void ControlsDisabled() { disabled_ = true; }
    ~CompileRestore() {
        if (full_ && hooks_.reattachEditors) hooks_.reattachEditors();
        if (hooks_.setBusyCursor) hooks_.setBusyCursor(false);
        if (!folder_.empty()) plat::SetCurrentDir(folder_);
        if (!full_) return;
        // As on a change of project: absolute as stored, else the program
        // folder's when it exists, else none.
        if (hooks_.setGraphicsFolder) {
            std::string graphics;
            try {
                graphics = ResolveGraphicsDir(ctx_);
            } catch (const std::exception&) {
            }
            hooks_.setGraphicsFolder(graphics);
        }
        db::TDataSet* pages = ctx_.detailTable;
        try {
            if (!bookmark_.empty() && pages->Active() && pages->BookmarkValid(bookmark_))
                pages->GotoBookmark(bookmark_);
        } catch (const std::exception&) {
        }
        if (disabled_) pages->EnableControls();
    }

private:
    EditorContext& ctx_;
    CompileHooks& hooks_;
    bool full_;
    std::string folder_;
    db::TBookmark bookmark_;
    bool disabled_ = false;
};

}  // namespace

build::BuildOutcome FullCompileCommand(EditorContext& ctx, CompileHooks& hooks, bool showOptions) {
    CompileRestore restore(ctx, hooks, true);
    if (hooks.detachEditors) hooks.detachEditors();
    db::TDataSet* pages = ctx.detailTable;
    if (pages->IsEditing()) {
        try {
            pages->Post();
        } catch (const std::exception&) {
            gui::MessageBox(kLatestChangesText, kLatestChangesCaption, gui::MB_ICONINFORMATION);
            return build::BuildOutcome::Refused;
        }
    }
    pages->DisableControls();
    restore.ControlsDisabled();
    build::TableBuildProject project(ctx);
    return build::RunFullCompile(project, hooks.env, showOptions);
}

build::BuildOutcome PartialCompileCommand(EditorContext& ctx, CompileHooks& hooks) {
    CompileRestore restore(ctx, hooks, false);
    if (hooks.setBusyCursor) hooks.setBusyCursor(true);
    build::TableBuildProject project(ctx);
    return build::RunPartialCompile(project, hooks.env);
}

void PostPageAndProject(EditorContext& ctx) {
    for (db::TDataSet* t : {static_cast<db::TDataSet*>(ctx.detailTable), static_cast<db::TDataSet*>(ctx.mainTable)}) {
        if (!t->IsEditing()) continue;
        try {
            t->Post();
        } catch (const std::exception&) {
        }
    }
}

}  // namespace editor
