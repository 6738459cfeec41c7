// The life cycle's windows on their own, for pictures of them.
#include "editor/forms/lifecycle_forms.h"

#include "project/project_tables.h"
#include "platform/core/paths.h"
#include "data/fields.h"
#include "data/tables.h"

#include <algorithm>

namespace editor {

namespace {

void BindAlias() {
    InstallProjectTables(plat::ProgramDir());
    try {
        db::Session().DeleteAlias(kTavrinAlias);
    } catch (const std::exception&) {
        // None yet.
    }
    db::Session().AddStandardAlias(kTavrinAlias, plat::ProgramDir(), "");
}

void AddRow(const char* file, std::initializer_list<std::pair<const char*, std::string>> fields) {
    vl::TvlTable t(nullptr);
    t.DatabaseName = kTavrinAlias;
    t.SetTableName(file);
    t.Open();
    t.Append();
    for (const auto& [k, v] : fields) t.FieldByName(k)->SetAsString(v);
    t.Post();
}

// Two small projects, one page inheriting from the other, when the folder has none.
void SampleProjects() {
    vl::TvlTable main(nullptr);
    main.DatabaseName = kTavrinAlias;
    main.SetTableName(kMainTableFile);
    main.Open();
    if (!main.IsEmpty()) return;
    main.Close();
    for (const char* p : {"User Guide", "Reference"}) AddRow(kMainTableFile, {{"Application", p}});
    const char* const titles[] = {"Getting started", "Installing", "Your first project", "Printing"};
    for (int i = 0; i < 4; ++i) {
        AddRow(kItemTableFile, {{"Application", "Reference"},
                                {"HelpId", std::to_string(1000 * (i + 1))},
                                {"TopicPopup", "T"},
                                {"Title", titles[i]},
                                {"InheritedStatus", i == 0 ? "Master" : ""}});
    }
    AddRow(kItemTableFile, {{"Application", "User Guide"}, {"HelpId", "1000"}, {"TopicPopup", "T"},
                            {"Title", "Welcome"}, {"InheritedStatus", "Inherited"},
                            {"InheritedApplication", "Reference"}, {"InheritedId", "1000"}});
    AddRow(kInhTableFile, {{"Application", "Reference"}, {"HelpId", "1000"}, {"InheritedApplication", "User Guide"},
                           {"InheritedId", "1000"}, {"InheritedTitle", "Welcome"}});
}

}  // namespace

int ShowLifecycleForm(const std::string& name, const std::string& view, const std::string& file,
                      const std::function<bool(gui::TControl*, const std::string&)>& shoot) {
    const std::string names[] = {"TNewAppForm", "TdlgSelectDirectory", "TfrmInheritSelect", "TfrmInhWho",
                                 "TWaitForm"};
    if (std::find(std::begin(names), std::end(names), name) == std::end(names)) return -1;
    BindAlias();
    SampleProjects();
    if (name == "TNewAppForm") {
        EditorContext ctx;
        ctx.ProgramDir = plat::ProgramDir();
        TNewAppForm form(gui::Application, ctx);
        form.editNewApp->SetText("My Product");
        form.editFilename->SetText("MYPROD");
        form.editHelpTitle->SetText("My Product Help");
        form.editDirectory->SetText(plat::DisplayPath(plat::JoinPath(plat::ProgramDir(), "MYPROD")));
        for (const char* t : {"Welcome", "Installing", "Menus and commands"}) AppendTitle(*form.tblTopics, t);
        form.tblTopics->First();
        if (view == "Step2" || view == "Step3") form.NextClick();
        if (view == "Step3") form.NextClick();
        form.Show();
        return shoot(&form, file) ? 0 : 1;
    }
    if (name == "TdlgSelectDirectory") {
        TdlgSelectDirectory dlg(gui::Application);
        dlg.SetDirectory(plat::ProgramDir());
        dlg.Show();
        return shoot(&dlg, file) ? 0 : 1;
    }
    if (name == "TfrmInheritSelect") {
        InheritSelectRequest r;
        r.currentProject = "User Guide";
        r.startProject = "Reference";
        r.caption = "Select a Topic to Inherit From";
        r.pageFilter = {"InheritedStatus <> \"Inherited\"", "TopicPopup = \"T\""};
        TfrmInheritSelect dlg(gui::Application, r);
        dlg.Show();
        return shoot(&dlg, file) ? 0 : 1;
    }
    if (name == "TfrmInhWho") {
        TfrmInhWho dlg(gui::Application, "Reference", 1000);
        dlg.Show();
        return shoot(&dlg, file) ? 0 : 1;
    }
    TWaitForm wait(gui::Application);
    wait.ShowStatus(kCreatingProjectText);
    return shoot(&wait, file) ? 0 : 1;
}

}  // namespace editor
