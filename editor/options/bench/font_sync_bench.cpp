// Font synchronisation of a 1,000-page project against the least the same
// work costs through the text engine: loading each page's two fields,
// saving them and posting the page. Prints both times and their ratio.
#include "project/editor_context.h"
#include "project/page_rules.h"
#include "project/page_text.h"
#include "project/project_tables.h"
#include "editor/options/font_sync.h"
#include "platform/core/paths.h"
#include "data/engine_driver.h"
#include "data/fields.h"
#include "data/tables.h"
#include "platform/core/dialog_service.h"
#include "richtext/view/rtf_text_io.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::string PageText(int i) {
    std::string fonts = "{\\f0\\fnil\\charset0 Courier;}{\\f3\\fnil\\charset0 Symbol;}{\\f7\\fnil\\charset0 Times New Roman;}"
                        "{\\f12\\fnil\\charset0 Arial;}";
    std::string body;
    for (int p = 0; p < 12; ++p) {
        body += "\\f7\\fs20 Paragraph " + std::to_string(p) + " of page " + std::to_string(i) +
                " explains a feature in plain words, \\f12 with a run in another font\\f0 and one more, "
                "{\\uldb jump text}{\\v target_" + std::to_string(p) + "}\\f3 x\\par ";
    }
    return "{\\rtf1\\ansi\\deff0\\deftab720{\\fonttbl" + fonts +
           "}{\\colortbl\\red0\\green0\\blue0;\\red128\\green0\\blue0;}"
           "\\paperw12240\\paperh15840\\margl1880\\margr1880\\margt1440\\margb1440" + body + "\r\n}";
}

double Seconds(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

}  // namespace

int main() {
    const fs::path dir = fs::temp_directory_path() / ("tavrin-fontsync-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    plat::SetDataHome(dir.string());
    auto driver = std::make_shared<db::TEngineDriver>();
    db::Session().SetDriver(driver);
    editor::InstallProjectTables(dir.string());
    double syncSeconds = 0, engineSeconds = 0;
    {
        editor::EditorContext ctx;
        ctx.ProgramDir = dir.string();
        ctx.ScreenFonts = {"Arial"};
        ctx.ShowTipOfTheDayWindow = [](bool&) {};
        if (!ctx.FormCreate()) return 1;
        ctx.StartupDone = true;
        ctx.mainTable->Append();
        ctx.mainTable->FieldByName("Application")->SetAsString("Bench");
        ctx.mainTable->Post();
        ctx.mainTable->FindKey({db::TValue(std::string("Bench"))});
        ctx.Settings.kqIniSettings.UseFontRegistry = true;
        ctx.tblFont->Append();
        ctx.tblFont->FieldByName("Application")->SetAsString("Bench");
        ctx.tblFont->Post();
        editor::StoreFontRegistry(ctx, {"Arial", "Courier", "Courier New", "Symbol", "Times New Roman"});
        {
            vl::TvlTable t(nullptr);
            t.DatabaseName = editor::kTavrinAlias;
            t.SetTableName(editor::kItemTableFile);
            t.Open();
            for (int i = 1; i <= 1000; ++i) {
                t.Append();
                t.FieldByName("Application")->SetAsString("Bench");
                t.FieldByName("HelpId")->SetAsInteger(i);
                t.FieldByName("TopicPopup")->SetAsString("T");
                t.FieldByName("Title")->SetAsString("Page " + std::to_string(i));
                t.FieldByName("FullTitle")->SetAsString(PageText(0).substr(0, 400) + "\\f7 Title\r\n}");
                t.FieldByName("HelpText")->SetAsString(PageText(i));
                t.Post();
            }
        }
        ctx.CdetailTable->Refresh();
        ctx.detailTable->Refresh();

        // The same fields loaded, saved and posted through the text engine.
        auto start = std::chrono::steady_clock::now();
        vl::TvlTable* c = ctx.CdetailTable;
        for (c->First(); !c->Eof(); c->Next()) {
            c->Edit();
            for (const char* field : {"FullTitle", "HelpText"}) {
                richtext::TJDRTFTextIo text;
                text.LoadFromString(c->FieldByName(field)->AsString());
                c->FieldByName(field)->SetAsString(text.SaveToString());
            }
            c->FieldByName("TitleUserModified")->SetAsString("N");
            c->Post();
        }
        engineSeconds = Seconds(start);

        build::NullProgress progress;
        editor::FontSyncOptions o;
        o.ask = false;
        int pages = 0;
        start = std::chrono::steady_clock::now();
        editor::SynchroniseFonts(ctx, progress, o, &pages);
        syncSeconds = Seconds(start);
        std::printf("pages synchronised: %d\n", pages);
    }
    db::Session().SetDriver(nullptr);
    driver.reset();
    plat::SetDataHome("");
    std::error_code ec;
    fs::remove_all(dir, ec);
    std::printf("load, save and post through the text engine: %.3f s\n", engineSeconds);
    std::printf("font synchronisation:                        %.3f s\n", syncSeconds);
    std::printf("ratio (synchronisation / engine): %.2f\n", engineSeconds > 0 ? syncSeconds / engineSeconds : 0.0);
    return 0;
}
