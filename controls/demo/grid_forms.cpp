// Demo form of the data grid: a page table with a two-line title, a check-box
// column from the table's ControlType lines and the indicator on the current
// record.

#include "controls/data/vl_db_combo.h"
#include "controls/data/vl_db_edit.h"
#include "controls/data/vl_db_grid.h"
#include "data/vl_table.h"
#include "controls/demo/demo_forms.h"
#include "platform/core/paths.h"
#include "data/engine_driver.h"
#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"
#include "platform/gui/std_controls.h"


#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace {

using namespace gui;

int GridForm(const std::string& out) {
    const auto dir = std::filesystem::temp_directory_path() / "controls_demo_grid";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "home");
    plat::SetDataHome((dir / "home").string());
    auto driver = std::make_shared<db::TEngineDriver>();
    db::Session().SetDriver(driver);
    const std::string folder = dir.string() + "/";
    int code = 1;
    {
        db::TTable t(nullptr);
        t.DatabaseName = folder;
        t.TableName = "Pages.QVD";
        t.FieldDefs().Add("HelpId", db::ftInteger, 0, true);
        t.FieldDefs().Add("Title", db::ftString, 40);
        t.FieldDefs().Add("TopicPopup", db::ftString, 1);
        t.FieldDefs().Add("Printed", db::ftString, 1);
        t.FieldDefs().Add("Cost", db::ftFloat);
        t.IndexDefs().Add("", "HelpId", db::ixPrimary);
        t.CreateTable();
        t.Open();
        const char* titles[] = {"Welcome",         "Getting started", "Printing topics", "Glossary",
                                "Keyboard keys",   "Menus",           "The toolbar",     "Saving your work",
                                "Finding text",    "Index",           "Contents",        "Troubleshooting"};
        for (int i = 0; i < 12; ++i) {
            t.Append();
            t.FieldByName("HelpId")->SetAsInteger(100 + i);
            t.FieldByName("Title")->SetAsString(titles[i]);
            t.FieldByName("TopicPopup")->SetAsString(i % 3 == 1 ? "P" : "T");
            t.FieldByName("Printed")->SetAsString(i % 2 == 0 ? "y" : "n");
            t.FieldByName("Cost")->SetAsFloat(i * 1.25);
            t.Post();
        }
        t.Close();

        vl::TvlTable table(nullptr);
        table.DatabaseName = folder;
        table.SetTableName("Pages.QVD");
        plat::StringList types;
        types.Add("Printed;CheckBox;Y;N");
        table.SetControlType(types);
        table.Open();
        table.FieldByName("HelpId")->DisplayLabel = "Help~Id";
        table.FieldByName("TopicPopup")->DisplayLabel = "Topic or~popup";
        table.FieldByName("Title")->SetDisplayWidth(22);
        db::TDataSource source(nullptr);
        source.SetDataSet(&table);

        auto* form = new TForm(Application);
        form->SetCaption("Data grid");
        form->SetClientSize(520, 330);
        form->SetColor(clBtnFace);
        auto* grid = new vl::TvlCustomDBGrid(form);
        grid->SetParent(form);
        grid->SetBounds(8, 8, 504, 220);
        auto label = [&](int x, int y, const char* text) {
            auto* l = new TLabel(form);
            l->SetParent(form);
            l->SetBounds(x, y, 80, 16);
            l->SetCaption(text);
        };
        label(8, 242, "Title:");
        auto* title = new vl::TvlDBEdit(form);
        title->SetParent(form);
        title->SetBounds(90, 238, 200, 21);
        title->SetDataSource(&source);
        title->SetDataField("Title");
        label(8, 270, "Help id:");
        auto* id = new vl::TvlDBEdit(form);
        id->SetParent(form);
        id->SetBounds(90, 266, 80, 21);
        id->SetDataSource(&source);
        id->SetDataField("HelpId");
        id->Picture().SetPictureMask("###");
        label(300, 242, "Kind:");
        auto* kind = new vl::TvlDBComboBox(form);
        kind->SetParent(form);
        kind->SetBounds(350, 238, 140, 21);
        kind->MapList = true;
        kind->Items().Add("Topic\tT");
        kind->Items().Add("Popup\tP");
        kind->Items().Add("Macro\tM");
        kind->SetDataSource(&source);
        kind->SetDataField("TopicPopup");
        grid->SetTitleLines(2);
        grid->SetDataSource(&source);
        form->Show();
        table.MoveBy(3);
        grid->SetFocus();
        grid->SetSelectedIndex(1);
        kind->SetFocus();
        kind->DropDown();
        guitest::ProcessEvents(50);
        const std::string file = out + "/grid.png";
        // The form with the open list drawn where it floats over it: the
        // list is a window of its own, so a grab of the form would miss it.
        const bool ok = demo::SaveWithFloatingWindow(form, kind->List(), file);
        kind->CloseUp(false);
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

const demo::DemoRegistration kGrid{{"grid", "the data grid over a page table", GridForm}};

}  // namespace
