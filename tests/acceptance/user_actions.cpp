#include "tests/acceptance/user_actions.h"

#include "editor/forms/main_form.h"
#include "controls/db/db_grid.h"
#include "controls/richdb/db_rich_text.h"
#include "data/tables.h"
#include "platform/core/codepage.h"
#include "platform/core/paths.h"
#include "platform/gui/controls.h"
#include "platform/gui/forms.h"
#include "platform/gui/grids.h"

#include <QWidget>

#include <algorithm>
#include <cctype>

namespace acceptance {

namespace fs = std::filesystem;

gui::TComponent* FindOnForms(const std::string& name) {
    for (int i = 0; i < gui::Screen->FormCount(); ++i)
        if (gui::TComponent* c = gui::Screen->Forms(i)->FindComponent(name)) return c;
    return nullptr;
}

QWidget* MainWindowReady(User& u) {
    QWidget* main = u.WaitForMainWindow();
    if (!main) return nullptr;
    if (u.WindowShown("Tip of the Day")) {
        u.Activate(u.WaitForWindow("Tip of the Day"));
        u.Keys("Escape");
        u.WaitForWindowGone("Tip of the Day");
    }
    u.Activate(main);
    return main;
}

bool NewProjectByKeys(User& u, const std::string& name, const std::string& file, const std::string& title) {
    u.Activate(u.WaitForMainWindow());
    u.Keys("alt+f n");
    QWidget* wizard = u.WaitForWindow("New Help Project");
    if (!wizard) return false;
    u.Activate(wizard);
    u.Type(name);
    u.Keys("Tab");
    u.Type(file);
    u.Keys("Tab Tab Tab alt+n alt+n");
    // The title grid takes no focus by keys: the user clicks its first row.
    QWidget* grid = u.Gui([&] {
        auto* g = dynamic_cast<gui::TWinControl*>(FindOnForms("gridTopics"));
        return g ? g->Widget() : nullptr;
    });
    if (!grid) return false;
    u.ClickAt(grid, 100, 34);
    u.Type(title);
    // xdotool types a letter the keyboard map lacks (an accent) by mapping it
    // for a moment, and on a busy machine the program may read the key after
    // the map is back: what the cell holds is checked, and typed again.
    const std::string want = plat::Utf8ToAnsi(title);
    auto cellText = [&] {
        return u.Gui([&] {
            auto* g = dynamic_cast<db::TCustomDBGrid*>(FindOnForms("gridTopics"));
            gui::TInplaceEdit* e = g ? g->InplaceEditor() : nullptr;
            return e ? e->Text() : std::string();
        });
    };
    for (int again = 0; again < 3 && cellText() != want; ++again) {
        u.Keys("End shift+Home BackSpace");
        u.Type(title);
    }
    u.Keys("Return");
    u.Keys("alt+f");
    u.WaitForWindowGone("New Help Project");
    editor::TForm1* form = u.Form();
    return u.WaitUntil([&] { return form->ctx->mainTable->FieldByName("Application")->AsString() == name; });
}

std::string PageText(User& u) {
    editor::TForm1* form = u.Form();
    return u.Gui([&] { return form->HelpText->GetPlainText(); });
}

bool TypeIntoPage(User& u, const std::string& text) {
    editor::TForm1* form = u.Form();
    u.Click(u.Control("HelpText"));
    u.Keys("ctrl+End");
    u.Type(text);
    return u.WaitUntil([&] { return form->HelpText->GetPlainText().find(text) != std::string::npos; });
}

fs::path ProjectFolder(User& u) {
    editor::TForm1* form = u.Form();
    return u.Gui([&] { return fs::path(plat::NativePath(form->ctx->CurrentProjectFolder())); });
}

fs::path FileInAnyCase(const fs::path& folder, const std::string& name) {
    auto lower = [](std::string s) {
        std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
        return s;
    };
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec))
        if (lower(e.path().filename().string()) == lower(name)) return e.path();
    return {};
}

}  // namespace acceptance
