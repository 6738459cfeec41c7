// Demo form of the data grid: a page table with a two-line title, a check-box
// column from the table's ControlType lines and the indicator on the current
// record.

#include "controls/data/vl_db_grid.h"
#include "controls/data/vl_table.h"
#include "controls/demo/demo_forms.h"
#include "platform/core/paths.h"
#include "platform/db/engine_driver.h"
#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"

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
        form->SetClientSize(520, 260);
        form->SetColor(clBtnFace);
        auto* grid = new vl::TvlCustomDBGrid(form);
        grid->SetParent(form);
        grid->SetBounds(8, 8, 504, 244);
        grid->SetTitleLines(2);
        grid->SetDataSource(&source);
        form->Show();
        table.MoveBy(3);
        grid->SetFocus();
        grid->SetSelectedIndex(1);
        guitest::ProcessEvents(50);
        const std::string file = out + "/grid.png";
        const bool ok = guitest::SaveGrab(form, file);
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
