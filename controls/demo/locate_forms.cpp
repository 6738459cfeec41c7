// Demo form of the data-aware family: the locate dialog over a small table,
// with a field chosen and a value typed.

#include "controls/data/vl_locate_dialog.h"
#include "data/vl_table.h"
#include "controls/demo/demo_forms.h"
#include "platform/core/paths.h"
#include "data/engine_driver.h"
#include "platform/gui/gui_test_harness.h"
#include "platform/win/message_queue.h"

#include <cstdio>
#include <filesystem>

namespace {

int LocateForm(const std::string& out) {
    const auto dir = std::filesystem::temp_directory_path() / "controls_demo_locate";
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
        t.TableName = "Topics.QVD";
        t.FieldDefs().Add("HelpId", db::ftInteger, 0, true);
        t.FieldDefs().Add("Title", db::ftString, 40);
        t.FieldDefs().Add("Keywords", db::ftString, 60);
        t.FieldDefs().Add("Body", db::ftMemo);
        t.IndexDefs().Add("", "HelpId", db::ixPrimary);
        t.CreateTable();
        t.Open();
        const char* titles[] = {"Welcome", "Getting started", "Printing topics", "Glossary"};
        for (int i = 0; i < 4; ++i) {
            t.Append();
            t.FieldByName("HelpId")->SetAsInteger(i + 1);
            t.FieldByName("Title")->SetAsString(titles[i]);
            t.Post();
        }
        t.Close();

        vl::TvlTable table(nullptr);
        table.DatabaseName = folder;
        table.SetTableName("Topics.QVD");
        table.Open();
        db::TDataSource source(nullptr);
        source.SetDataSet(&table);
        vl::TvlLocateDialog locate(nullptr);
        locate.SetDataSource(&source);
        locate.SearchField = "Title";
        locate.FieldValue = "Print";
        plat::HWND shooter = plat::AllocateHWnd([&](gui::TMessage& m) {
            if (m.Msg != gui::WM_USER + 1 || !locate.Dialog()) return;
            vl::TvlLocateDlg& d = *locate.Dialog();
            guitest::ProcessEvents(50);
            const std::string file = out + "/locate.png";
            const bool ok = guitest::SaveGrab(&d, file);
            std::printf("%s %s\n", ok ? "wrote" : "could not write", file.c_str());
            code = ok ? 0 : 1;
            d.CancelButton->Click();
        });
        locate.OnInitDialog = [&](vl::TvlLocateDlg*) { plat::PostMessage(shooter, gui::WM_USER + 1, 0, 0); };
        locate.Execute();
        plat::DeallocateHWnd(shooter);
    }
    db::Session().SetDriver(nullptr);
    driver.reset();
    plat::SetDataHome("");
    std::filesystem::remove_all(dir);
    return code;
}

const demo::DemoRegistration kLocate{{"locate", "the locate dialog over a topic table", LocateForm}};

}  // namespace
