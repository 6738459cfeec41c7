// Printing as the author does it in the program: File › Print this Page on
// a long page, with no printer installed, puts every line on paper (a PDF
// the program names and tells the user of), once and in order.
#include "tests/acceptance/user_actions.h"

#include "controls/richdb/db_rich_text.h"
#include "editor/forms/main_form.h"
#include "platform/core/process.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <vector>
#include <chrono>
#include <thread>

namespace {

namespace fs = std::filesystem;
using acceptance::ProgramFolder;
using acceptance::RunProgram;
using acceptance::User;

// HOME pointed at a folder of the test's own while it lives: the PDF of a
// print without a printer goes to the user's documents.
class HomeFolder {
public:
    HomeFolder() {
        if (const char* h = std::getenv("HOME")) old_ = h;
        ::setenv("HOME", tmp_.path().c_str(), 1);
    }
    ~HomeFolder() {
        if (old_) ::setenv("HOME", old_->c_str(), 1);
        else ::unsetenv("HOME");
    }
    const fs::path& path() const { return tmp_.path(); }

private:
    testsupport::TempDir tmp_;
    std::optional<std::string> old_;
};

std::vector<fs::path> Pdfs(const fs::path& under) {
    std::vector<fs::path> found;
    for (const auto& e : fs::recursive_directory_iterator(under))
        if (e.is_regular_file() && e.path().extension() == ".pdf") found.push_back(e.path());
    return found;
}

TEST(Print, PrintThisPagePutsEveryLineOfALongPageOnPaper) {
    const std::string tool = plat::FindProgram("pdftotext");
    if (tool.empty()) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    ProgramFolder home;
    HomeFolder user;
    constexpr int kRows = 300;
    std::vector<gui::DialogRequest> boxes;
    const int code = RunProgram([&](User& u) {
        ASSERT_TRUE(acceptance::MainWindowReady(u));
        ASSERT_TRUE(acceptance::NewProjectByKeys(u, "Printed", "PRINTED"));
        editor::TForm1* form = u.Form();
        u.Click(u.Control("HelpText"));
        u.Gui([&] {
            std::string text;
            for (int i = 0; i < kRows; ++i) text += "row " + std::to_string(i) + " of a page longer than its pane\r\n";
            form->HelpText->SetText(text);
        });
        u.Keys("alt+f");
        u.Keys("p");
        u.Keys("Return");
        // No printer: the program says where the pages went, and the box goes with Enter.
        ASSERT_TRUE(u.WaitUntil([&] { return !Pdfs(user.path()).empty(); }, 30000)) << "no PDF was written";
        for (int look = 0; look < 200 && u.Boxes().empty(); ++look)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        boxes = u.Boxes();
        u.Keys("Return");
    });
    EXPECT_EQ(code, 0);
    const std::vector<fs::path> pdfs = Pdfs(user.path());
    ASSERT_EQ(pdfs.size(), 1u);
    EXPECT_EQ(pdfs[0].filename(), "Welcome.pdf");  // named after the page printed
    ASSERT_FALSE(boxes.empty());
    EXPECT_NE(boxes.back().text.find(pdfs[0].string()), std::string::npos) << boxes.back().text;
    const fs::path txt = user.path() / "page.txt";
    ASSERT_EQ(plat::RunAndWait({tool, pdfs[0].string(), txt.string()}), 0);
    const std::string text = testsupport::ReadFileBytes(txt);
    std::vector<int> rows, all(kRows);
    const std::regex row("row (\\d+) of");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), row); it != std::sregex_iterator(); ++it)
        rows.push_back(std::stoi((*it)[1].str()));
    for (int i = 0; i < kRows; ++i) all[static_cast<std::size_t>(i)] = i;
    EXPECT_EQ(rows, all);
}

}  // namespace
