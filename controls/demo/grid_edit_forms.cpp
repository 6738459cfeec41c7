// Demo form of editing in the published grid: a page table whose CompileFor
// column is edited by a drop-down combo shown over the current cell (open,
// with its list), Revised as a Y/N check box, the memo shown by its first
// line, and the first column kept fixed.

#include "controls/data/vl_db_combo.h"
#include "controls/data/vl_dbgrid.h"
#include "data/vl_table.h"
#include "controls/demo/demo_forms.h"
#include "platform/core/paths.h"
#include "data/engine_driver.h"
#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"


#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace {

using namespace gui;

void MakeTable(const std::string& folder) {
    db::TTable t(nullptr);
    t.DatabaseName = folder;
    t.TableName = "Detail.QVD";
    t.FieldDefs().Add("HelpId", db::ftInteger, 0, true);
    t.FieldDefs().Add("Title", db::ftString, 40);
    t.FieldDefs().Add("TopicPopup", db::ftString, 1);
    t.FieldDefs().Add("CompileFor", db::ftString, 4);
    t.FieldDefs().Add("Revised", db::ftString, 1);
    t.FieldDefs().Add("Body", db::ftMemo);
    t.IndexDefs().Add("", "HelpId", db::ixPrimary);
    t.CreateTable();
    t.Open();
    const char* titles[] = {"Welcome", "Getting started", "Printing topics", "Glossary", "Keyboard keys",
                            "Menus",   "The toolbar",     "Saving your work", "Finding text"};
    const char* targets[] = {"16", "32", "HH"};
    for (int i = 0; i < 9; ++i) {
        t.Append();
        t.FieldByName("HelpId")->SetAsInteger(100 + i);
        t.FieldByName("Title")->SetAsString(titles[i]);
        t.FieldByName("TopicPopup")->SetAsString(i % 3 == 1 ? "P" : "T");
        t.FieldByName("CompileFor")->SetAsString(targets[i % 3]);
        t.FieldByName("Revised")->SetAsString(i % 2 == 0 ? "Y" : "N");
        t.FieldByName("Body")->SetAsString(std::string("About ") + titles[i] + "\r\nMore text on the next line.");
        t.Post();
    }
    t.Close();
}


int GridEditForm(const std::string& out) {
    const auto dir = std::filesystem::temp_directory_path() / "controls_demo_grid_edit";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "home");
    plat::SetDataHome((dir / "home").string());
    auto driver = std::make_shared<db::TEngineDriver>();
    db::Session().SetDriver(driver);
    const std::string folder = dir.string() + "/";
    int code = 1;
    {
        MakeTable(folder);
        vl::TvlTable table(nullptr);
        table.DatabaseName = folder;
        table.SetTableName("Detail.QVD");
        table.ControlType().Add("CompileFor;Combo;vlDBCombobox1");
        table.ControlType().Add("Revised;CheckBox;Y;N");
        table.PictureMasks().Add("TopicPopup\t&\tT\tT");
        table.Open();
        table.FieldByName("HelpId")->DisplayLabel = "Help~Id";
        table.FieldByName("TopicPopup")->DisplayLabel = "Topic or~popup";
        table.FieldByName("CompileFor")->DisplayLabel = "Compile~for";
        table.FieldByName("Title")->SetDisplayWidth(18);
        table.FieldByName("Body")->SetDisplayWidth(24);
        db::TDataSource source(nullptr);
        source.SetDataSet(&table);

        auto* form = new TForm(Application);
        form->SetCaption("Editing in the data grid");
        form->SetClientSize(600, 260);
        form->SetColor(clBtnFace);
        auto* combo = new vl::TvlDBComboBox(form);
        combo->SetName("vlDBCombobox1");
        combo->SetParent(form);
        combo->Style = csDropDownList;
        combo->Items().Add("16");
        combo->Items().Add("32");
        combo->Items().Add("HH");
        auto* grid = new vl::TvlDBGrid(form);
        grid->SetParent(form);
        grid->SetBounds(8, 8, 584, 244);
        grid->SetTitleLines(2);
        grid->SetMemoAttributes(vl::MemoAttr(vl::mSizeable) | vl::MemoAttr(vl::mGridShow));
        grid->SetOptions(grid->Options() & ~vl::Opt(vl::dgWordWrap));
        grid->SetDataSource(&source);
        grid->SetFixedCols(1);
        form->Show();
        table.MoveBy(2);
        grid->SetFocus();
        grid->SelectFieldByName("CompileFor");
        combo->SetFocus();
        combo->DropDown();
        guitest::ProcessEvents(50);
        const std::string file = out + "/grid-edit.png";
        // The list is a window of its own: it is drawn where it floats.
        const bool ok = combo->IsDroppedDown() && demo::SaveWithFloatingWindow(form, combo->List(), file);
        combo->CloseUp(false);
        std::printf("%s %s\n", ok ? "wrote" : "could not write", file.c_str());
        code = ok ? 0 : 1;
        grid->SetDataSource(nullptr);
        delete form;
    }
    db::Session().SetDriver(nullptr);
    driver.reset();
    plat::SetDataHome("");
    std::filesystem::remove_all(dir);
    return code;
}

const demo::DemoRegistration kGridEdit{
    {"grid-edit", "editing in the published grid: a combo over its cell, check boxes, a memo's first line",
     GridEditForm}};

}  // namespace
