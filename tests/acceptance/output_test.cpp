// What a user gets out of a project, each through its menu command by keys:
// a build on a machine without a help compiler, the HTML export through its
// wizard, and a backup through its dialog.
#include "tests/acceptance/user_actions.h"

#include "editor/backup/lzh_batch.h"
#include "editor/forms/main_form.h"
#include "editor/lzh/lzh_decoder.h"
#include "platform/core/paths.h"
#include "platform/gui/file_controls.h"
#include "platform/gui/forms.h"
#include "platform/gui/tabs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using acceptance::FileInAnyCase;
using acceptance::ProgramFolder;
using acceptance::RunProgram;
using acceptance::User;

std::string Captions(const std::vector<gui::DialogRequest>& boxes) {
    std::string out;
    for (const gui::DialogRequest& b : boxes) out += " [" + b.caption + ": " + b.text + "]";
    return out;
}

// Where an RTF's groups fail to nest: the offset of a "}" without its "{",
// or of the end with groups still open; npos when they nest.
std::size_t UnbalancedAt(const std::string& rtf) {
    long depth = 0;
    for (std::size_t i = 0; i < rtf.size(); ++i) {
        if (rtf[i] == '\\') {
            ++i;  // "\{", "\}" and "\\" are text
            continue;
        }
        if (rtf[i] == '{') ++depth;
        if (rtf[i] == '}' && --depth < 0) return i;
    }
    return depth == 0 ? std::string::npos : rtf.size();
}

// Compile by keys on a machine without a help compiler: the box that says
// so is answered with Return; its text.
std::string BuildWithoutACompiler(User& u, QWidget* main) {
    u.Activate(main);
    u.Keys("alt+c q");
    QWidget* shown = u.WaitForWindow("No Help Compiler", 30000);
    if (!shown) {
        ADD_FAILURE() << "no \"No Help Compiler\" box";
        return {};
    }
    const std::string box = u.Gui([&] {
        auto* m = qobject_cast<QMessageBox*>(shown);
        return m ? m->text().toStdString() : std::string();
    });
    u.Activate(shown);
    u.Keys("Return");
    EXPECT_TRUE(u.WaitForWindowGone("No Help Compiler"));
    EXPECT_TRUE(u.WaitForMainWindowAlone());
    return box;
}

TEST(Output, BuildWithoutAHelpCompilerSaysSoAndLeavesItsInput) {
    ProgramFolder home;
    std::string box;
    fs::path folder;
    std::vector<gui::DialogRequest> boxes;
    const int code = RunProgram([&](User& u) {
        QWidget* main = acceptance::MainWindowReady(u);
        ASSERT_TRUE(main);
        ASSERT_TRUE(acceptance::NewProjectByKeys(u, "Build", "BUILD"));
        ASSERT_TRUE(acceptance::TypeIntoPage(u, " Text the build writes"));
        folder = acceptance::ProjectFolder(u);
        box = BuildWithoutACompiler(u, main);
        boxes = u.Boxes();
    });
    EXPECT_EQ(code, 0);
    EXPECT_NE(box.find("No help compiler is installed"), std::string::npos) << box;
    EXPECT_NE(box.find("program folder " + home.path().string()), std::string::npos) << box;
    ASSERT_EQ(boxes.size(), 1u) << Captions(boxes);

    const fs::path rtfPath = FileInAnyCase(folder, "BUILD.rtf"), hpjPath = FileInAnyCase(folder, "BUILD.hpj");
    ASSERT_FALSE(rtfPath.empty()) << folder;
    ASSERT_FALSE(hpjPath.empty()) << folder;
    EXPECT_NE(box.find(rtfPath.filename().string()), std::string::npos) << box;
    const std::string rtf = testsupport::ReadFileBytes(rtfPath);
    EXPECT_EQ(rtf.rfind("{\\rtf1", 0), 0u) << rtf.substr(0, 40);
    EXPECT_EQ(UnbalancedAt(rtf), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("Text the build writes"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("Welcome"), std::string::npos) << rtf;

    // The help project's sections, in the order the compiler reads them.
    const std::string hpj = testsupport::ReadFileBytes(hpjPath);
    std::size_t at = 0;
    for (const char* section : {"[OPTIONS]", "[WINDOWS]", "[CONFIG]", "[MAP]", "[FILES]"}) {
        const std::size_t found = hpj.find(std::string(section) + "\r\n", at);
        ASSERT_NE(found, std::string::npos) << section << " missing or out of order:\n" << hpj;
        at = found;
    }
    // [FILES] names the topic file the build wrote.
    EXPECT_NE(hpj.find(rtfPath.string(), at), std::string::npos) << hpj;
}

// A title with an accented letter and braces reaches the compiler's input
// escaped in its footnotes: \'e9 for the letter, never the raw byte, which
// the compiler would read in its own code page.
TEST(Output, BuildEscapesAccentsAndBracesInFootnotes) {
    ProgramFolder home;
    fs::path folder;
    const int code = RunProgram([&](User& u) {
        QWidget* main = acceptance::MainWindowReady(u);
        ASSERT_TRUE(main);
        ASSERT_TRUE(acceptance::NewProjectByKeys(u, "Accents", "ACCENTS", "Caf\xC3\xA9 {x}"));
        ASSERT_TRUE(acceptance::TypeIntoPage(u, " Body"));
        folder = acceptance::ProjectFolder(u);
        EXPECT_NE(BuildWithoutACompiler(u, main).find("No help compiler is installed"), std::string::npos);
    });
    EXPECT_EQ(code, 0);
    const fs::path rtfPath = FileInAnyCase(folder, "ACCENTS.rtf");
    ASSERT_FALSE(rtfPath.empty()) << folder;
    const std::string rtf = testsupport::ReadFileBytes(rtfPath);
    EXPECT_EQ(UnbalancedAt(rtf), std::string::npos) << rtf;
    // The title footnote ("$") and the search keys ("K", the title again).
    for (const char mark : {'$', 'K'}) {
        const std::string opener = std::string("{\\cs16\\super ") + mark + "} ";
        const std::size_t at = rtf.find(opener);
        ASSERT_NE(at, std::string::npos) << mark << "\n" << rtf.substr(0, 2000);
        const std::string value = rtf.substr(at + opener.size(), rtf.find("}}\r\n", at) - at - opener.size());
        EXPECT_EQ(value, "Caf\\'e9 \\{x\\}") << mark;
    }
}

TEST(Output, HtmlExportWritesTheIndexPageWithThePageText) {
    ProgramFolder home;
    fs::path folder;
    std::vector<gui::DialogRequest> boxes;
    bool finished = false;
    const int code = RunProgram([&](User& u) {
        QWidget* main = acceptance::MainWindowReady(u);
        ASSERT_TRUE(main);
        ASSERT_TRUE(acceptance::NewProjectByKeys(u, "Web", "WEB"));
        ASSERT_TRUE(acceptance::TypeIntoPage(u, " Text for the web"));
        folder = acceptance::ProjectFolder(u);
        u.Activate(main);
        u.Keys("alt+f e");
        QWidget* wizard = u.WaitForWindow("Tavrin to HTML Wizard");
        ASSERT_TRUE(wizard);
        u.Activate(wizard);
        // The wizard's page: its notebook's index.
        auto page = [] {
            auto* book = dynamic_cast<gui::TNotebook*>(acceptance::FindOnForms("nbkSteps"));
            return book ? book->PageIndex() : -1;
        };
        auto atPage = [&](int wanted) {
            return u.WaitUntil([&] { return page() == wanted || QApplication::activeModalWidget() != wizard; }, 30000) &&
                   u.Gui([&] { return page() == wanted; });
        };
        ASSERT_TRUE(atPage(0));
        u.Keys("alt+n");
        ASSERT_TRUE(atPage(1)) << "shown:" << u.ShownWindows().back();
        u.Activate(wizard);
        u.Keys("alt+f");
        finished = atPage(2);
        ASSERT_TRUE(finished) << "shown:" << u.ShownWindows().back();
        u.Activate(wizard);
        u.Keys("alt+x");
        EXPECT_TRUE(u.WaitForWindowGone("Tavrin to HTML Wizard"));
        EXPECT_TRUE(u.WaitForMainWindowAlone());
        boxes = u.Boxes();
    });
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(boxes.empty()) << Captions(boxes);
    const fs::path html = FileInAnyCase(folder, "Html");
    ASSERT_FALSE(html.empty()) << folder;
    EXPECT_TRUE(fs::is_directory(FileInAnyCase(html, "Images")));
    const fs::path index = FileInAnyCase(html, "Index.htm");
    ASSERT_FALSE(index.empty()) << html;
    const std::string page = testsupport::ReadFileBytes(index);
    EXPECT_NE(page.find("<html"), std::string::npos) << page;
    EXPECT_NE(page.find("Welcome"), std::string::npos) << page;
    EXPECT_NE(page.find("Text for the web"), std::string::npos) << page;
}

TEST(Output, BackupWritesAnArchiveHoldingThePage) {
    ProgramFolder home;
    fs::path folder;
    std::vector<gui::DialogRequest> boxes;
    const int code = RunProgram([&](User& u) {
        QWidget* main = acceptance::MainWindowReady(u);
        ASSERT_TRUE(main);
        ASSERT_TRUE(acceptance::NewProjectByKeys(u, "Kept", "KEPT"));
        ASSERT_TRUE(acceptance::TypeIntoPage(u, " Text to keep safe"));
        u.Activate(main);
        u.Keys("alt+f b");
        QWidget* dialog = u.WaitForWindow("Tavrin Backups and Restores");
        ASSERT_TRUE(dialog);
        folder = u.Gui([] {
            auto* list = dynamic_cast<gui::TDirectoryListBox*>(acceptance::FindOnForms("DirectoryListBox1"));
            return list ? fs::path(plat::NativePath(list->Directory())) : fs::path();
        });
        u.Activate(dialog);
        u.Keys("alt+o");
        EXPECT_TRUE(u.WaitForWindowGone("Tavrin Backups and Restores"));
        // The archive is written while the progress window shows.
        EXPECT_TRUE(u.WaitForMainWindowAlone()) << "still shown: " << u.ShownWindows().size();
        boxes = u.Boxes();
    });
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(boxes.empty()) << Captions(boxes);
    const fs::path archive = FileInAnyCase(folder, "KEPT.KQB");
    ASSERT_FALSE(archive.empty()) << folder;
    EXPECT_GT(fs::file_size(archive), 0u);

    // Every member decodes to its size, and one of them holds the page.
    lzh::TLZHBatch batch;
    batch.SetArchiveFileName(archive.string());
    ASSERT_TRUE(batch.ValidArchive());
    ASSERT_GT(batch.ArchiveEntries().Count(), 0);
    const std::string bytes = testsupport::ReadFileBytes(archive);
    bool pageKept = false;
    for (int i = 0; i < batch.ArchiveEntries().Count(); ++i) {
        auto* m = static_cast<lzh::TArchiveMember*>(batch.ArchiveEntries().Objects(i));
        const std::string data = lzh::LZHDecompress(
            std::string_view(bytes).substr(static_cast<std::size_t>(batch.DataStart() + m->offset),
                                           static_cast<std::size_t>(m->compressedSize)),
            static_cast<std::size_t>(m->size));
        EXPECT_EQ(data.size(), static_cast<std::size_t>(m->size)) << m->name;
        pageKept = pageKept || data.find("Text to keep safe") != std::string::npos;
    }
    EXPECT_TRUE(pageKept) << "no member holds the page's text";
}

}  // namespace
