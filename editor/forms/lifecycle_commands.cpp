// The life cycle's commands in the main window's menus.
#include "editor/forms/lifecycle_forms.h"
#include "editor/forms/main_form.h"
#include "editor/lifecycle/project_delete.h"
#include "editor/options/page_filters.h"
#include "controls/richdb/db_rich_text.h"

#include <memory>

namespace editor {

namespace {

gui::TMenuItem* Item(TForm1& form, const std::string& name, const std::string& caption,
                     std::function<void()> run) {
    auto* i = new gui::TMenuItem(&form);
    i->SetName(name);
    i->SetCaption(caption);
    if (run) i->OnClick = [run](gui::TObject*) { run(); };
    return i;
}

}  // namespace

void NewProjectCommand(TForm1& form) {
    EditorContext& ctx = *form.ctx;
    // A page editor with the focus gets its caret and attribute back when
    // the wizard is cancelled.
    richtext::TDBJDRichText* editor = nullptr;
    for (richtext::TDBJDRichText* e : {form.HelpText, form.FullTitleEditFld, form.maxHelpText})
        if (form.ActiveControl() == e) editor = e;
    int caret = 0;
    richtext::TJDCharAttr attr{};
    if (editor) {
        caret = editor->GetCPPosition();
        editor->GetCurrentAttr(attr);
    }
    try {
        for (vl::TvlTable* t : {ctx.detailTable, ctx.mainTable})
            if (t->IsEditing()) t->Post();
    } catch (const std::exception&) {
        return;
    }
    const gui::TCursor cursor = gui::Screen->Cursor();
    gui::Screen->SetCursor(gui::crHourGlass);
    auto wizard = std::make_unique<TNewAppForm>(&form, ctx);
    wizard->editNewApp->SetText("");
    // The hourglass covers the wizard's start, not the user's typing in it.
    gui::Screen->SetCursor(cursor);
    if (wizard->ShowModal() != gui::mrOk) {
        wizard.reset();
        gui::Screen->SetCursor(cursor);
        if (editor) {
            editor->SetCPPosition(caret);
            editor->SetCurrentAttr(attr);
        }
        return;
    }
    const std::string name = wizard->editNewApp->Text();
    wizard.reset();
    gui::Screen->SetCursor(cursor);
    ctx.mainTable->Refresh();
    ctx.mainTable->FindKey({db::TValue(name)});
    // The new project's look, and its RTF header, which its new pages start from.
    if (ctx.ApplyProjectDisplaySettings) ctx.ApplyProjectDisplaySettings();
    form.SetActiveControl(form.ApplicationFld);
    ctx.detailTable->vlFilter().Clear();
    ctx.detailTable->ApplyFilter();
    ctx.detailTable->Refresh();
    FilterTheFilterView(ctx);
}

void InstallLifecycleCommands(TForm1& form) {
    EditorContext& ctx = *form.ctx;
    TForm1* f = &form;
    InstallLifecycleFollowers(ctx, [f](const std::string& text) { f->StatusPanel->SetCaption(text); });
    auto wait = std::make_shared<std::unique_ptr<TWaitForm>>();
    auto* miNew = Item(form, "miNew", "&New Project...", [f] { NewProjectCommand(*f); });
    auto* miDelete = Item(form, "Deleteapplication1", "&Delete Project", [f, wait] {
        if (!*wait) *wait = std::make_unique<TWaitForm>(nullptr);
        DeleteProject(*f->ctx, [wait](const std::string& s) { (*wait)->ShowStatus(s); });
    });
    form.miFile->Insert(0, miNew);
    form.miFile->Insert(1, miDelete);

    auto* miInherit = Item(form, "miInherit", "&Inheritance", nullptr);
    auto* miFrom = Item(form, "miInheritFromMaster", "Inherit From a Master Topic",
                        [f] { InheritFromMaster(*f->ctx, ScreenInheritSelectDialog()); });
    auto* miBreak = Item(form, "miBreakInherit", "Break Inheritance", [f] { BreakInheritance(*f->ctx); });
    auto* miWho = Item(form, "miWhoInheritsFromMe", "Who Inherits From Me?",
                       [f] { ShowInheritors(*f->ctx, ScreenWhoInheritsDialog(*f->ctx)); });
    miInherit->OnClick = [f, miFrom, miBreak, miWho](gui::TObject*) {
        const db::TField* s = f->ctx->detailTable->Active() ? f->ctx->detailTable->FindField("InheritedStatus") : nullptr;
        const InheritMenuState m = InheritMenuFor(s ? s->AsString() : "");
        miFrom->Enabled = m.inherit;
        miBreak->Enabled = m.breakLink;
        miWho->Enabled = m.whoInherits;
    };
    for (gui::TMenuItem* i : {miFrom, miBreak, miWho}) miInherit->Add(i);
    // Between the page menus and the Compile menu.
    gui::TMenuItem* bar = form.MainMenu1->Items();
    const int at = form.miCompileMenu ? form.miCompileMenu->MenuIndex() : -1;
    bar->Insert(at >= 0 ? at : bar->Count(), miInherit);
}

}  // namespace editor
