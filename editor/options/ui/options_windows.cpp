#include "editor/options/ui/options_windows.h"

#include "project/editor_context.h"
#include "project/page_rules.h"
#include "project/project_tables.h"
#include "editor/options/preferences.h"
#include "editor/options/ui/filter_forms.h"
#include "editor/options/ui/font_forms.h"
#include "editor/options/ui/options_form.h"
#include "editor/options/ui/prefs_form.h"
#include "platform/core/paths.h"
#include "data/fields.h"
#include "platform/gui/gui_test_harness.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace editor {

const std::vector<std::string>& OptionsWindowClasses() {
    static const std::vector<std::string> names = {"TOptionsForm", "TPrefsForm", "TfrmFonts",
                                                   "TfrmFormat",   "TfrmFilter", "TfrmMiniFilter"};
    return names;
}

namespace {

bool Shoot(gui::TForm* form, const std::string& file, bool show = true) {
    if (show) form->Show();
    guitest::ProcessEvents(150);
    const bool ok = guitest::SaveGrab(form, file);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", file.c_str());
    return ok;
}

void SampleProject(EditorContext& ctx) {
    db::TDataSet* m = ctx.mainTable;
    m->First();
    if (!m->Eof()) return;
    m->Append();
    m->FieldByName("Application")->SetAsString("Sample");
    m->FieldByName("TitleFont")->SetAsString("Arial");
    m->FieldByName("TitleSize")->SetAsInteger(14);
    m->FieldByName("TitleColor")->SetAsInteger(4);
    m->FieldByName("TitleStyle")->SetAsString("[afsBold]");
    m->FieldByName("NonscrollColor")->SetAsInteger(0xC0C0C0);
    m->FieldByName("ScrollColor")->SetAsInteger(0xECFFFF);
    m->FieldByName("AddButton1")->SetAsString("Y");
    m->FieldByName("AddButton3")->SetAsString("Y");
    m->FieldByName("SecondaryWindow")->SetAsString("Second");
    m->FieldByName("Wx")->SetAsInteger(100);
    m->FieldByName("Wy")->SetAsInteger(100);
    m->FieldByName("Ww")->SetAsInteger(520);
    m->FieldByName("Wh")->SetAsInteger(600);
    m->FieldByName("Gx")->SetAsInteger(640);
    m->FieldByName("Gy")->SetAsInteger(300);
    m->FieldByName("Gw")->SetAsInteger(320);
    m->FieldByName("Gh")->SetAsInteger(400);
    m->FieldByName("DetailFilter")->SetAsString("HelpID >= 10\r\nHelpID <= 90\r\nTopicPopup = T\r\nTitle = \"Intro\"");
    m->Post();
    m->First();
}

}  // namespace

bool ShowOptionsWindow(const std::string& formClass, const std::string& pngFile, int& code) {
    const auto& names = OptionsWindowClasses();
    if (std::find(names.begin(), names.end(), formClass) == names.end()) return false;
    InstallProjectTables(plat::ProgramDir());
    auto ctx = std::make_unique<EditorContext>();
    ctx->ScreenFonts = {"Arial", "Courier New", "Symbol", "Times New Roman", "Wingdings"};
    ctx->ShowTipOfTheDayWindow = [](bool&) {};
    if (!ctx->FormCreate()) {
        code = 1;
        return true;
    }
    ctx->StartupDone = true;
    SampleProject(*ctx);
    ApplyProjectDisplaySettings(*ctx);
    bool ok = false;
    if (formClass == "TOptionsForm") {
        TOptionsForm f(gui::Application, *ctx);
        f.SetCaption("Tavrin Project Options for Sample");
        ok = Shoot(&f, pngFile);
        // The other two pages beside the first picture.
        for (int page = 1; page < 3; ++page) {
            f.notebook->SetPageIndex(page);
            std::string file = pngFile;
            const auto dot = file.rfind(".png");
            file.insert(dot == std::string::npos ? file.size() : dot, "_" + std::to_string(page + 1));
            ok = Shoot(&f, file, false) && ok;
        }
    } else if (formClass == "TPrefsForm") {
        TPrefsForm f(gui::Application, *ctx);
        f.Load(LoadPreferences(*ctx));
        ok = Shoot(&f, pngFile);
    } else if (formClass == "TfrmFonts") {
        TfrmFonts f(gui::Application, *ctx);
        f.Fill(CurrentFontRegistry(*ctx), ctx->ScreenFonts);
        ok = Shoot(&f, pngFile);
    } else if (formClass == "TfrmFormat") {
        TfrmFormat f(gui::Application, *ctx);
        ok = Shoot(&f, pngFile);
    } else if (formClass == "TfrmFilter") {
        TfrmFilter f(gui::Application, *ctx);
        ok = Shoot(&f, pngFile);
    } else {
        TfrmMiniFilter f(gui::Application);
        f.Prepare(FilterCriterion::HelpID, StoredFilterLines(*ctx));
        f.MouseX = 300;
        f.MouseY = 200;
        ok = Shoot(&f, pngFile);
    }
    code = ok ? 0 : 1;
    return true;
}

}  // namespace editor
