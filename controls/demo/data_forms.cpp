// Demo forms of the data-aware controls that work beside a grid or another
// table: the lookup combo with its list open, the incremental search
// moving a grid, and the grid's in-place editor open on a text cell.

#include "controls/data/vl_dbgrid.h"
#include "controls/data/vl_incremental_search.h"
#include "controls/db/db_controls.h"
#include "controls/demo/demo_forms.h"
#include "data/engine_driver.h"
#include "data/vl_table.h"
#include "platform/core/paths.h"
#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"
#include "platform/gui/lists.h"
#include "platform/gui/std_controls.h"

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>

namespace {

using namespace gui;

const char* const kTitles[] = {"Welcome",       "Getting started", "Printing topics",  "Glossary",
                               "Keyboard keys", "Menus",           "The toolbar",      "Saving your work",
                               "Finding text",  "Index",           "Contents",         "Troubleshooting",
                               "Glossary of terms used in the help project and in its windows"};

// An engine in a folder of its own for one form, removed afterwards.
class DemoTables {
public:
    explicit DemoTables(const std::string& name)
        : dir_(std::filesystem::temp_directory_path() / ("controls_demo_" + name)) {
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_ / "home");
        plat::SetDataHome((dir_ / "home").string());
        driver_ = std::make_shared<db::TEngineDriver>();
        db::Session().SetDriver(driver_);
    }
    ~DemoTables() {
        db::Session().SetDriver(nullptr);
        driver_.reset();
        plat::SetDataHome("");
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::string Folder() const { return dir_.string() + "/"; }

    // Pages.QVD: HelpId, Title (indexed as ByTitle), WindowId.
    void MakePages(int rows) {
        db::TTable t(nullptr);
        t.DatabaseName = Folder();
        t.TableName = "Pages.QVD";
        t.FieldDefs().Add("HelpId", db::ftInteger, 0, true);
        t.FieldDefs().Add("Title", db::ftString, 80);
        t.FieldDefs().Add("WindowId", db::ftInteger);
        t.IndexDefs().Add("", "HelpId", db::ixPrimary);
        t.IndexDefs().Add("ByTitle", "Title", db::ixCaseInsensitive);
        t.CreateTable();
        t.Open();
        for (int i = 0; i < rows; ++i) {
            t.Append();
            t.FieldByName("HelpId")->SetAsInteger(100 + i);
            t.FieldByName("Title")->SetAsString(kTitles[i % 13]);
            t.FieldByName("WindowId")->SetAsInteger(1 + i % 3);
            t.Post();
        }
        t.Close();
    }
    // Windows.QVD: Id and Name, the list a lookup shows.
    void MakeWindows() {
        db::TTable t(nullptr);
        t.DatabaseName = Folder();
        t.TableName = "Windows.QVD";
        t.FieldDefs().Add("Id", db::ftInteger, 0, true);
        t.FieldDefs().Add("Name", db::ftString, 30);
        t.IndexDefs().Add("", "Id", db::ixPrimary);
        t.CreateTable();
        t.Open();
        const char* names[] = {"Main window", "Glossary pop-up", "Procedure window"};
        for (int i = 0; i < 3; ++i) {
            t.Append();
            t.FieldByName("Id")->SetAsInteger(i + 1);
            t.FieldByName("Name")->SetAsString(names[i]);
            t.Post();
        }
        t.Close();
    }

private:
    std::filesystem::path dir_;
    std::shared_ptr<db::TEngineDriver> driver_;
};

bool Report(bool ok, const std::string& file) {
    std::printf("%s %s\n", ok ? "wrote" : "could not write", file.c_str());
    return ok;
}

TLabel* Caption(TForm* form, int x, int y, const std::string& text) {
    auto* l = new TLabel(form);
    l->SetParent(form);
    l->SetBounds(x, y, 120, 16);
    l->SetCaption(text);
    return l;
}

int LookupForm(const std::string& out) {
    DemoTables tables("lookup");
    tables.MakePages(6);
    tables.MakeWindows();
    vl::TvlTable pages(nullptr), windows(nullptr);
    pages.DatabaseName = windows.DatabaseName = tables.Folder();
    pages.SetTableName("Pages.QVD");
    windows.SetTableName("Windows.QVD");
    pages.Open();
    windows.Open();
    db::TDataSource pageSource(nullptr), windowSource(nullptr);
    pageSource.SetDataSet(&pages);
    windowSource.SetDataSet(&windows);

    auto* form = new TForm(Application);
    form->SetCaption("Lookup combo");
    form->SetClientSize(340, 200);
    form->SetColor(clBtnFace);
    Caption(form, 10, 14, "Page:");
    auto* title = new db::TDBEdit(form);
    title->SetParent(form);
    title->SetBounds(110, 10, 220, 21);
    title->SetDataSource(&pageSource);
    title->SetDataField("Title");
    Caption(form, 10, 46, "Shown in window:");
    auto* lookup = new db::TDBLookupComboBox(form);
    lookup->SetParent(form);
    lookup->SetBounds(110, 42, 220, 21);
    lookup->KeyField = "Id";
    lookup->ListField = "Name";
    lookup->SetListSource(&windowSource);
    lookup->SetDataSource(&pageSource);
    lookup->SetDataField("WindowId");
    form->Show();
    pages.MoveBy(3);  // "Glossary", shown in the main window
    lookup->SetFocus();
    lookup->SetDroppedDown(true);
    guitest::ProcessEvents(50);
    const std::string file = out + "/lookup.png";
    const bool ok = lookup->DroppedDown() && demo::SaveWithFloatingWindow(form, lookup->ListBox(), file);
    lookup->SetDroppedDown(false);
    delete form;
    return Report(ok, file) ? 0 : 1;
}

int SearchForm(const std::string& out) {
    DemoTables tables("search");
    tables.MakePages(13);
    vl::TvlTable pages(nullptr);
    pages.DatabaseName = tables.Folder();
    pages.SetTableName("Pages.QVD");
    pages.SetIndexName("ByTitle");
    pages.Open();
    db::TDataSource source(nullptr);
    source.SetDataSet(&pages);

    auto* form = new TForm(Application);
    form->SetCaption("Incremental search");
    form->SetClientSize(460, 280);
    form->SetColor(clBtnFace);
    Caption(form, 10, 14, "Find title:");
    auto* search = new vl::TvlIncrementalSearch(form);
    search->SetParent(form);
    search->SetBounds(90, 10, 200, 21);
    search->ShowMatchText = true;
    search->SearchField = "Title";
    search->SetDataSource(&source);
    auto* grid = new vl::TvlDBGrid(form);
    grid->SetParent(form);
    grid->SetBounds(10, 40, 440, 230);
    grid->SetDataSource(&source);
    pages.FieldByName("Title")->SetDisplayWidth(30);
    form->Show();
    search->SetFocus();
    // Typed as a user types: the search runs a moment after each key.
    for (char key : std::string("glo")) {
        guitest::TypeText(search, std::string(1, key));
        guitest::ProcessEvents(400);
    }
    const std::string file = out + "/search.png";
    const bool ok = search->Focused() && guitest::SaveGrab(form, file);
    grid->SetDataSource(nullptr);
    delete form;
    return Report(ok, file) ? 0 : 1;
}

int InplaceForm(const std::string& out) {
    DemoTables tables("inplace");
    tables.MakePages(13);
    vl::TvlTable pages(nullptr);
    pages.DatabaseName = tables.Folder();
    pages.SetTableName("Pages.QVD");
    pages.Open();
    db::TDataSource source(nullptr);
    source.SetDataSet(&pages);

    auto* form = new TForm(Application);
    form->SetCaption("In-place editor");
    form->SetClientSize(460, 240);
    form->SetColor(clBtnFace);
    auto* grid = new vl::TvlDBGrid(form);
    grid->SetParent(form);
    grid->SetBounds(10, 10, 440, 220);
    pages.FieldByName("Title")->SetDisplayWidth(26);
    grid->SetDataSource(&source);
    form->Show();
    pages.Last();  // the long title, longer than its cell
    grid->SetFocus();
    grid->SelectFieldByName("Title");
    grid->ShowEditor();
    guitest::ProcessEvents(50);
    TInplaceEdit* editor = grid->InplaceEditor();
    if (editor) {
        editor->SetSelStart(9);
        editor->SetSelLength(2);
    }
    guitest::ProcessEvents(50);
    const std::string file = out + "/inplace.png";
    const bool ok = editor && editor->Visible() && guitest::SaveGrab(form, file);
    grid->SetDataSource(nullptr);
    delete form;
    return Report(ok, file) ? 0 : 1;
}

const demo::DemoRegistration kLookup{{"lookup", "the lookup combo with its list of another table open", LookupForm}};
const demo::DemoRegistration kSearch{
    {"search", "the incremental search moving a grid on the same table, three keys typed", SearchForm}};
const demo::DemoRegistration kInplace{{"inplace", "the grid's in-place editor open on a text cell", InplaceForm}};

}  // namespace
