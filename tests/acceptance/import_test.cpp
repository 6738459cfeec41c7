// Every compiled help file of the corpus imported as a user does it: File ›
// Import Wizard, the file's path typed on its first page, the project named
// on the second, Finish. The converter is where the program looks for it, in the
// program folder.
#include "tests/acceptance/user_actions.h"

#include "editor/forms/main_form.h"
#include "data/tables.h"
#include "platform/gui/controls.h"
#include "platform/gui/forms.h"
#include "platform/gui/std_controls.h"
#include "platform/gui/tabs.h"
#include "tests/support/converter_rtf.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <thread>

namespace {

namespace fs = std::filesystem;
using acceptance::ProgramFolder;
using acceptance::RunProgram;
using acceptance::User;

constexpr const char* kWizard = "Tavrin Import Wizard";

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

std::vector<fs::path> CorpusHelpFiles() {
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(testsupport::CorpusDir() / "hlp"))
        if (Lower(e.path().extension().string()) == ".hlp") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

// What one import left for the user to see.
struct Imported {
    std::string file;
    std::size_t topics = 0;          // the converter's, counted in its RTF
    std::string current;              // the project the main window shows
    int pages = -1;                   // the pages the page table holds
    int gridRows = -1, gridFits = -1;  // the page list's data rows, and how many fit
    int gridDark = 0;                 // dark pixels of the page list's grab
    std::string closeCaption;          // the wizard's cancel button after Finish
};

std::string Text(const std::string& name) {
    auto* c = dynamic_cast<gui::TButton*>(acceptance::FindOnForms(name));
    return c ? c->Caption() : std::string();
}

TEST(Import, EveryCorpusHelpFileBecomesAProjectOfItsTopics) {
    if (!testsupport::CorpusAvailable()) GTEST_SKIP() << testsupport::CorpusMissingMessage();
    const std::vector<fs::path> helpFiles = CorpusHelpFiles();
    ASSERT_GE(helpFiles.size(), 4u);
    ProgramFolder home;
    // Where the program looks for its converter first.
    fs::create_symlink(RENDLOW32_PROGRAM, home / "Rendlow32");

    std::vector<Imported> seen;
    std::vector<gui::DialogRequest> boxes;
    int emptyGridDark = 0;
    const int code = RunProgram([&](User& u) {
        QWidget* main = acceptance::MainWindowReady(u);
        ASSERT_TRUE(main);
        editor::TForm1* form = u.Form();
        QWidget* grid = u.WidgetOf(u.Control("detailGrid"));
        ASSERT_TRUE(grid);
        // A fresh folder has no project: the list shows its column titles only.
        emptyGridDark = acceptance::DarkPixels(u.Grab(grid), u.RectIn(grid, grid));
        int n = 0;
        for (const fs::path& help : helpFiles) {
            Imported r;
            r.file = help.filename().string();
            const std::string name = "Imported " + std::to_string(++n);

            u.Activate(main);
            u.Keys("alt+f i");
            QWidget* wizard = u.WaitForWindow(kWizard);
            ASSERT_TRUE(wizard) << r.file;
            u.Activate(wizard);
            u.Type(help.string());
            u.Keys("alt+n");
            // The second page comes once the converter has written its files.
            const bool converted = u.WaitUntil(
                [&] {
                    auto* book = dynamic_cast<gui::TNotebook*>(acceptance::FindOnForms("nbkSteps"));
                    return (book && book->ActivePage() == "Step2") || QApplication::activeModalWidget() != wizard;
                },
                60000);
            ASSERT_TRUE(converted) << r.file << ": the wizard did not turn to its second page";
            ASSERT_TRUE(u.Gui([&] { return QApplication::activeModalWidget() == wizard; }))
                << r.file << ": a window came over the wizard: " << u.ShownWindows().back();
            for (const auto& e : fs::directory_iterator(home / "~KqTemp"))
                if (Lower(e.path().extension().string()) == ".rtf")
                    r.topics = testsupport::ConverterTopicCount(testsupport::ReadFileBytes(e.path()));
            u.Activate(u.WaitForWindow(kWizard));
            u.Type(name);
            u.Keys("alt+f");
            // Finished: the wizard offers Close instead of Cancel (or a box
            // came over it, which fails the test below).
            u.WaitUntil([&] { return Text("Button1") == "&Close" || QApplication::activeModalWidget() != wizard; },
                        60000);
            r.closeCaption = u.Gui([] { return Text("Button1"); });
            u.Activate(u.WaitForWindow(kWizard));
            u.Keys("Escape");
            EXPECT_TRUE(u.WaitForWindowGone(kWizard)) << r.file;

            u.Activate(main);
            u.WaitUntil([&] { return form->ctx->mainTable->FieldByName("Application")->AsString() == name; });
            u.Gui([&] {
                r.current = form->ctx->mainTable->FieldByName("Application")->AsString();
                r.pages = form->ctx->detailTable->RecordCount();
                auto* g = form->detailGrid;
                r.gridRows = g->RowCount() - g->TitleOffset();
                r.gridFits = g->VisibleRowCount();
            });
            // The list repaints on its own time: looked at until its titles show.
            for (int look = 0; look < 80 && r.gridDark <= emptyGridDark + 200; ++look) {
                if (look) std::this_thread::sleep_for(std::chrono::milliseconds(25));
                r.gridDark = acceptance::DarkPixels(u.Grab(grid), u.RectIn(grid, grid));
            }
            seen.push_back(r);
        }
        boxes = u.Boxes();
    });
    EXPECT_EQ(code, 0);
    for (const gui::DialogRequest& b : boxes) ADD_FAILURE() << "a box came: " << b.caption << ": " << b.text;
    ASSERT_EQ(seen.size(), helpFiles.size());
    for (std::size_t i = 0; i < seen.size(); ++i) {
        const Imported& r = seen[i];
        SCOPED_TRACE(r.file);
        EXPECT_EQ(r.closeCaption, "&Close");
        EXPECT_EQ(r.current, "Imported " + std::to_string(i + 1));
        EXPECT_GT(r.topics, 0u);
        EXPECT_EQ(static_cast<std::size_t>(r.pages), r.topics);
        // The list holds a row for each page that fits, and their titles show.
        EXPECT_EQ(r.gridRows, std::min(r.pages, r.gridFits));
        EXPECT_GT(r.gridDark, emptyGridDark + 200) << "the page list shows no titles";
    }
}

}  // namespace
