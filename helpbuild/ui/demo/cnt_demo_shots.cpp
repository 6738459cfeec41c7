#include "helpbuild/ui/demo/cnt_demo_shots.h"

#include "helpbuild/cnt_file.h"
#include "helpbuild/ui/cnt_add_form.h"
#include "helpbuild/ui/explorer_view.h"
#include "helpbuild/ui/footnotes_form.h"
#include "project/editor_context.h"
#include "project/project_tables.h"
#include "platform/core/paths.h"
#include "data/engine_driver.h"
#include "data/fields.h"
#include "data/tables.h"
#include "platform/gui/gui_test_harness.h"

#include <cstdlib>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

namespace buildui {

namespace {

std::string CorpusContents() {
#ifndef TAVRIN_DEFAULT_CORPUS_DIR
#define TAVRIN_DEFAULT_CORPUS_DIR "../shared/corpus"
#endif
    const char* dir = std::getenv("TAVRIN_CORPUS_DIR");
    std::filesystem::path p = std::filesystem::path(dir ? dir : TAVRIN_DEFAULT_CORPUS_DIR) / "hlp" / "Eudora.cnt";
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    if (!s.str().empty()) return s.str();
    // Without the corpus: a small contents of our own.
    return "1 Getting started\n2 Welcome=welcome\n2 Installing=install\n1 Reference\n2 Menus=menus\n"
           "3 File menu=file_menu\n3 Edit menu=edit_menu\n2 Shortcut keys=keys\n";
}

void Page(db::TDataSet* d, int id, const char* title, const char* cs) {
    d->Append();
    d->FieldByName("HelpId")->SetAsInteger(id);
    d->FieldByName("TopicPopup")->SetAsString("T");
    d->FieldByName("Title")->SetAsString(title);
    d->FieldByName("ContextString")->SetAsString(cs);
    d->FieldByName("Keys")->SetAsString(title);
    d->Post();
}

}  // namespace

bool WriteContentsScreenshots(const std::string& dir) {
    std::filesystem::path home = std::filesystem::temp_directory_path() /
                                 ("tavrin-cnt-demo-" + std::to_string(static_cast<long>(::getpid())));
    std::filesystem::create_directories(home);
    bool ok = false;
    {
        plat::SetDataHome(home.string());
        auto driver = std::make_shared<db::TEngineDriver>();
        db::Session().SetDriver(driver);
        editor::InstallProjectTables(home.string());
        {
            editor::EditorContext ctx;
            ctx.ProgramDir = home.string();
            ctx.BindAlias();
            ctx.OpenTables();
            for (const char* name : {"Eudora", "UserGuide"}) {
                ctx.mainTable->Append();
                ctx.mainTable->FieldByName("Application")->SetAsString(name);
                ctx.mainTable->FieldByName("DosName")->SetAsString(name);
                ctx.mainTable->Post();
            }
            ctx.mainTable->First();
            db::TDataSet* d = ctx.detailTable;
            Page(d, 1, "Configuring Eudora", "Configuring_Eudora");
            Page(d, 2, "Tip of the Day", "Tip_of_the_Day");
            Page(d, 3, "Online Help", "Online_Help");
            Page(d, 4, "Registering Eudora", "");
            d->First();
            d->Next();
            d->Edit();
            d->FieldByName("BFootnote")->SetAsString("tips:0010");
            d->FieldByName("MacroFootnote")->SetAsString("BrowseButtons()");
            d->Post();

            auto* add = new TCntAddForm(gui::Application, ctx);
            add->SetKind(build::CntAddChoice::Topic);
            add->rgrpEntryTypeClick();
            add->editTitle->SetText("Tip of the Day");
            add->editTopic->SetText("Tip_of_the_Day");
            add->editWindow->SetText("main");
            add->Show();

            auto* notes = new TFootnotesForm(gui::Application);
            notes->Bind(ctx.detailSource);
            notes->SetCaption("Footnotes for Eudora");
            notes->Show();

            auto* window = new gui::TForm(gui::Application);
            window->SetCaption("Explorer");
            window->SetClientSize(320, 420);
            auto* tree = new gui::TTreeView(window);
            tree->SetName("TreeView1");
            tree->SetParent(window);
            tree->SetAlign(gui::alClient);
            tree->ShowRoot = false;
            auto view = std::make_unique<ExplorerView>(tree, ctx);
            ctx.mainTable->Edit();
            ctx.mainTable->FieldByName("UserView")->SetAsString(build::CntExplorerText(CorpusContents()));
            ctx.mainTable->Post();
            view->LoadExplorerView();
            gui::TTreeNode* first = tree->Items().GetFirstNode();
            if (first && first->GetNextSibling()) {
                gui::TTreeNode* howTo = first->GetNextSibling();
                howTo->Expand(false);
                if (howTo->GetFirstChild()) howTo->GetFirstChild()->Expand(false);
                if (howTo->GetFirstChild() && howTo->GetFirstChild()->GetFirstChild())
                    tree->SetSelected(howTo->GetFirstChild()->GetFirstChild());
            }
            window->Show();
            guitest::ProcessEvents(50);
            ok = guitest::SaveGrab(add, dir + "/cnt_add.png") && guitest::SaveGrab(notes, dir + "/footnotes.png") &&
                 guitest::SaveGrab(window, dir + "/explorer.png");
            view.reset();  // it lets go of the tree, which goes with its window
            delete window;
            delete notes;
            delete add;
        }
        db::Session().SetDriver(nullptr);
        plat::SetDataHome("");
    }
    std::error_code ec;
    std::filesystem::remove_all(home, ec);
    return ok;
}

}  // namespace buildui
