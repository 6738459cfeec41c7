// The help-authoring program as its user meets it, on a fresh program folder:
// what the window shows at start-up, a project made through the wizard,
// typing into a page, the spell check, the HTML export, a backup, and a
// restart that keeps it all.
#include "tests/acceptance/user_actions.h"

#include "editor/forms/main_form.h"
#include "controls/richdb/db_rich_text.h"
#include "data/tables.h"
#include "platform/gui/controls.h"
#include "platform/gui/edits.h"
#include "platform/gui/forms.h"
#include "project/import_journal.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstring>
#include <chrono>
#include <filesystem>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using acceptance::NewProjectByKeys;
using acceptance::PageText;
using acceptance::ProgramFolder;
using acceptance::RunProgram;
using acceptance::User;

constexpr const char* kMainTitle = "Tavrin";

TEST(Program, StartsOnAFreshFolderWithAPaintedWindow) {
    ProgramFolder home;
    std::string title;
    double lit = 0;
    int colours = 0;
    const int code = RunProgram([&](User& u) {
        QWidget* w = u.WaitForMainWindow();
        if (!w) return;
        // The tip of the day may come first; it goes with Escape.
        if (u.WindowShown("Tip of the Day")) {
            u.Activate(u.WaitForWindow("Tip of the Day"));
            u.Keys("Escape");
            u.WaitForWindowGone("Tip of the Day");
        }
        title = u.Gui([&] { return w->windowTitle().toStdString(); });
        u.WaitUntil([&] { return w->windowHandle() && w->windowHandle()->isExposed(); });
        const QImage shot = u.Grab(w);
        lit = acceptance::LitShare(shot);
        colours = acceptance::Colours(shot);
    });
    EXPECT_EQ(code, 0);
    EXPECT_NE(title.find(kMainTitle), std::string::npos) << title;
    EXPECT_GT(lit, 0.9) << "the window is black where it should be painted";
    EXPECT_GE(colours, 4) << "the window shows almost nothing";
    EXPECT_TRUE(fs::exists(home / "TvrnMAIN.QVD") || fs::exists(home / "tvrnmain.qvd"));
}

// A second start on a program folder whose tables another program holds: it
// says the folder is in use, Cancel closes it, and Retry after the other
// program ended starts it. The other program's lock on the page table is
// taken here, as a running Tavrin's is.
TEST(Program, ASecondStartOnABusyFolderSaysItIsInUse) {
    ProgramFolder home;
    ASSERT_EQ(RunProgram([](User& u) { u.WaitForMainWindow(); }), 0);
    struct Case {
        const char* what;
        const char* key;
        bool releaseFirst;
        bool started;
    };
    for (const Case& c : {Case{"cancel", "Escape", false, false}, Case{"retry", "", true, true}}) {
        SCOPED_TRACE(c.what);
        int fd = -1;
        for (const auto& e : fs::directory_iterator(home.path()))
            if (e.path().filename().string() == "TvrnITEM.QVD" || e.path().filename().string() == "tvrnitem.qvd")
                fd = ::open(e.path().c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
        std::string text;
        bool mainShown = false;
        const int code = RunProgram([&](User& u) {
            QWidget* box = u.WaitForWindow("Warning");
            if (!box) return;
            text = u.Gui([&] {
                for (QMessageBox* m : {qobject_cast<QMessageBox*>(box)})
                    if (m) return m->text().toStdString();
                return std::string();
            });
            if (const char* shot = std::getenv("TAVRIN_SHOT_DIR")) {
                u.WaitUntil([&] { return box->windowHandle() && box->windowHandle()->isExposed(); });
                u.Grab(box).save(QString::fromStdString(std::string(shot) + "/in_use_" + c.what + ".png"));
            }
            if (c.releaseFirst) ::close(std::exchange(fd, -1));
            u.Activate(box);
            if (c.releaseFirst) {
                // Retry is clicked: the user answers the question the box asks.
                QWidget* retry = u.Gui([&]() -> QWidget* {
                    for (QPushButton* b : box->findChildren<QPushButton*>())
                        if (b->text().remove('&') == "Retry") return b;
                    return nullptr;
                });
                ASSERT_NE(retry, nullptr);
                u.Click(retry);
            } else {
                u.Keys(c.key);
            }
            if (c.started) mainShown = u.WaitForMainWindow() != nullptr;
        });
        if (fd >= 0) ::close(fd);
        EXPECT_NE(text.find("in use"), std::string::npos) << text;
        EXPECT_NE(text.find(home.path().string()), std::string::npos) << text;
        EXPECT_EQ(text.find("Repair"), std::string::npos) << text;
        EXPECT_EQ(mainShown, c.started);
        if (c.started) {
            EXPECT_EQ(code, 0);
        } else {
            EXPECT_NE(code, 0);
        }
    }
}

// The page table's file in the program folder, in whatever case it has.
fs::path PageTableFile(const ProgramFolder& home) {
    return acceptance::FileInAnyCase(home.path(), "TvrnITEM.QVD");
}

std::uint32_t U32At(const std::string& bytes, std::size_t at) {
    std::uint32_t v = 0;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
}

// Numbers of the data blocks of a table file, found by their heads.
std::vector<std::uint32_t> DataBlocks(const std::string& bytes) {
    const std::uint32_t bs = U32At(bytes, 12);
    std::vector<std::uint32_t> out;
    for (std::uint32_t n = 1; (n + 1) * static_cast<std::size_t>(bs) <= bytes.size(); ++n)
        if (bytes.compare(static_cast<std::size_t>(n) * bs, 4, "QVDH") == 0 &&
            U32At(bytes, static_cast<std::size_t>(n) * bs + 8) == n)
            out.push_back(n);
    return out;
}

int PageRows(const fs::path& home) {
    db::TTable t(nullptr);
    t.DatabaseName = home.string() + "/";
    t.TableName = "TvrnITEM.QVD";
    t.Open();
    return t.RecordCount();
}

// The text of the standard box titled `title`, once it shows.
std::string BoxText(User& u, QWidget* box) {
    return u.Gui([&] {
        auto* m = qobject_cast<QMessageBox*>(box);
        return m ? m->text().toStdString() : std::string();
    });
}

void ClickButton(User& u, QWidget* box, const char* caption) {
    QWidget* button = u.Gui([&]() -> QWidget* {
        for (QPushButton* b : box->findChildren<QPushButton*>())
            if (b->text().remove('&') == caption) return b;
        return nullptr;
    });
    ASSERT_NE(button, nullptr) << caption;
    u.Activate(box);
    u.Click(button);
}

// A damaged page table met at start-up, byte-flipped or cut short: the box
// names it and offers a rebuild; Yes rebuilds it from the pages that can be
// read, keeps the damaged file beside it and the program starts with the
// table; No ends the program with the files as they were.
TEST(Program, ADamagedPageTableIsOfferedARebuildAtStart) {
    ProgramFolder home;
    constexpr int kPages = 40;
    ASSERT_EQ(RunProgram([&](User& u) {
                  ASSERT_TRUE(acceptance::MainWindowReady(u));
                  u.Gui([&] {
                      db::TTable t(nullptr);
                      t.DatabaseName = home.path().string() + "/";
                      t.TableName = "TvrnITEM.QVD";
                      t.Open();
                      for (int i = 1; i <= kPages; ++i) {
                          t.Append();
                          t.FieldByName("Application")->SetAsString("Proj");
                          t.FieldByName("HelpId")->SetAsInteger(i);
                          t.FieldByName("Title")->SetAsString("Page " + std::to_string(i));
                          t.FieldByName("HelpText")->SetAsString("text " + std::string(400, 'x'));
                          t.Post();
                      }
                  });
              }),
              0);
    const fs::path table = PageTableFile(home);
    ASSERT_FALSE(table.empty());
    const std::string whole = testsupport::ReadFileBytes(table);
    const std::vector<std::uint32_t> blocks = DataBlocks(whole);
    ASSERT_GE(blocks.size(), 4u);
    const std::size_t bs = U32At(whole, 12);
    std::string flipped = whole;
    flipped[blocks[1] * bs + 1] ^= 0x20;
    const std::string cut = whole.substr(0, blocks.back() * bs);
    struct Case {
        const char* what;
        const std::string* damaged;
        const char* answer;
    };
    for (const Case& c : {Case{"byte flipped, No", &flipped, "No"}, Case{"byte flipped, Yes", &flipped, "Yes"},
                          Case{"cut short, Yes", &cut, "Yes"}}) {
        SCOPED_TRACE(c.what);
        testsupport::WriteFileBytes(table, *c.damaged);
        const fs::path copy = home / "TvrnITEM-damaged.QVD";
        fs::remove(copy);
        const bool yes = std::string(c.answer) == "Yes";
        std::string question, report;
        int rows = -1;
        const int code = RunProgram([&](User& u) {
            QWidget* box = u.WaitForWindow("Confirm", 20000);
            ASSERT_TRUE(box) << "no question; shown: " << u.ShownWindows().size();
            question = BoxText(u, box);
            if (const char* shot = std::getenv("TAVRIN_SHOT_DIR")) {
                u.WaitUntil([&] { return box->windowHandle() && box->windowHandle()->isExposed(); });
                u.Grab(box).save(QString::fromStdString(std::string(shot) + "/damaged_question.png"));
            }
            ClickButton(u, box, c.answer);
            if (!yes) return;
            QWidget* done = u.WaitForWindow("Information", 20000);
            ASSERT_TRUE(done);
            report = BoxText(u, done);
            u.Activate(done);
            u.Keys("Return");
            ASSERT_TRUE(acceptance::MainWindowReady(u));
            rows = u.Gui([&] { return PageRows(home.path()); });
        });
        EXPECT_NE(question.find("The table TvrnITEM.QVD in " + home.path().string() + " is damaged"),
                  std::string::npos)
            << question;
        EXPECT_NE(question.find("TvrnITEM-damaged.QVD"), std::string::npos) << question;
        if (!yes) {
            EXPECT_NE(code, 0);
            EXPECT_EQ(testsupport::ReadFileBytes(table), *c.damaged);
            EXPECT_FALSE(fs::exists(copy));
            continue;
        }
        EXPECT_EQ(code, 0);
        EXPECT_NE(report.find("TvrnITEM-damaged.QVD"), std::string::npos) << report;
        EXPECT_GT(rows, 0);
        EXPECT_LT(rows, kPages);
        EXPECT_NE(report.find(std::to_string(rows) + " rows"), std::string::npos) << report;
        ASSERT_TRUE(fs::exists(copy));
        EXPECT_EQ(testsupport::ReadFileBytes(copy), *c.damaged);
        testsupport::WriteFileBytes(table, whole);
    }
}

TEST(Program, SpellShowsTheDialogForAMisspeltWord) {
    ProgramFolder home;
    std::string word, typed;
    const int code = RunProgram([&](User& u) {
        ASSERT_TRUE(NewProjectByKeys(u, "Spell", "SPELL"));
        editor::TForm1* form = u.Form();
        u.Click(u.Control("HelpText"));
        u.Keys("ctrl+End");
        u.Type(" Teh quikc");
        u.WaitUntil([&] { return form->HelpText->GetPlainText().find("quikc") != std::string::npos; });
        typed = PageText(u);
        u.Click(u.Control("sbtnSpell"));
        QWidget* dialog = u.WaitForWindow("Spelling");
        ASSERT_TRUE(dialog) << "typed: " << typed;
        word = u.Gui([&] {
            for (int i = 0; i < gui::Screen->FormCount(); ++i)
                if (auto* e = dynamic_cast<gui::TCustomEdit*>(gui::Screen->Forms(i)->FindComponent("edtCurWord")))
                    return e->Text();
            return std::string();
        });
        u.Activate(dialog);
        u.Keys("Escape");
    });
    EXPECT_EQ(code, 0);
    EXPECT_NE(typed.find("Teh quikc"), std::string::npos) << typed;
    EXPECT_EQ(word, "Teh");
}

TEST(Program, SpellWithoutItsDictionarySaysWhichFileIsMissing) {
    ProgramFolder home;
    std::string box;
    const int code = RunProgram([&](User& u) {
        ASSERT_TRUE(NewProjectByKeys(u, "Nodict", "NODICT"));
        u.Click(u.Control("HelpText"));
        u.Type("Teh");
        for (const auto& e : fs::directory_iterator(home.path()))
            if (e.path().extension() == ".dct" || e.path().extension() == ".DCT") fs::remove(e.path());
        u.Click(u.Control("sbtnSpell"));
        QWidget* shown = u.WaitForWindow("Dictionary not found");
        ASSERT_TRUE(shown);
        box = u.Gui([&] {
            auto* m = qobject_cast<QMessageBox*>(shown);
            return m ? m->text().toStdString() : std::string();
        });
        u.Activate(shown);
        u.Keys("Return");
        EXPECT_FALSE(u.WindowShown("Spelling"));
    });
    EXPECT_EQ(code, 0);
    EXPECT_NE(box.find((home.path() / "British.dct").string()), std::string::npos) << box;
    EXPECT_EQ(box.find("Dictionary not found :"), std::string::npos) << box;
}

// With nothing to check, Spell says why instead of reporting a check that
// never looked at a word: on a fresh folder there is no project, and a new
// project's page list starts empty.
TEST(Program, SpellWithNothingToCheckSaysWhy) {
    ProgramFolder home;
    std::string noProject;
    const int code = RunProgram([&](User& u) {
        QWidget* w = u.WaitForMainWindow();
        ASSERT_TRUE(w);
        if (u.WindowShown("Tip of the Day")) {
            u.Activate(u.WaitForWindow("Tip of the Day"));
            u.Keys("Escape");
            u.WaitForWindowGone("Tip of the Day");
        }
        u.Click(u.Control("sbtnSpell"));
        QWidget* shown = u.WaitForWindow("Spell Check");
        ASSERT_TRUE(shown);
        noProject = u.Gui([&] {
            auto* m = qobject_cast<QMessageBox*>(shown);
            return m ? m->text().toStdString() : std::string();
        });
        u.Activate(shown);
        u.Keys("Return");
        u.WaitForWindowGone("Spell Check");
        EXPECT_FALSE(u.WindowShown("Spelling"));
    });
    EXPECT_EQ(code, 0);
    EXPECT_NE(noProject.find("no project"), std::string::npos) << noProject;
}

// An import the user killed (the machine went down, the program was ended)
// before its commit left a project folder, the converter's temporary folder
// and the import's journal, but no project row. The next start takes them
// away, so the user never meets a project folder that is no project; a
// folder a project row names stays.
TEST(Program, StartAfterAKilledImportLeavesNoHalfProject) {
    ProgramFolder home;
    const fs::path killed = home.path().parent_path() / "Killed";
    fs::create_directories(killed / "Graphics");
    testsupport::WriteFileBytes(killed / "Killed.hpj", "[OPTIONS]\r\n");
    fs::create_directories(home / "~KqTemp");
    testsupport::WriteFileBytes(home / "~KqTemp" / "Killed.rtf", "{\\rtf1 }");
    const fs::path kept = home.path().parent_path() / "Kept";
    fs::create_directories(kept);
    testsupport::WriteFileBytes(kept / "mine.txt", "the user's own file");
    editor::ImportJournal journal;
    journal.project = "Killed";
    journal.folders = {killed.string(), (killed / "Graphics").string()};
    ASSERT_TRUE(editor::BeginImportJournal(home.path().string(), journal));

    std::vector<std::string> projects;
    const int code = RunProgram([&](User& u) {
        ASSERT_TRUE(u.WaitForMainWindow());
        editor::TForm1* form = u.Form();
        projects = u.Gui([&] {
            std::vector<std::string> names;
            vl::TvlTable& main = *form->ctx->mainTable;
            for (main.First(); !main.Eof(); main.Next()) names.push_back(main.FieldByName("Application")->AsString());
            return names;
        });
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(std::count(projects.begin(), projects.end(), "Killed"), 0);
    EXPECT_FALSE(fs::exists(killed)) << "a project folder without a project";
    EXPECT_FALSE(fs::exists(home / "~KqTemp"));
    EXPECT_FALSE(fs::exists(home / "~KqImport.lst"));
    EXPECT_TRUE(fs::exists(kept / "mine.txt")) << "a folder the import did not make went";
}

}  // namespace

namespace {

// A line typed into the page editor shows on the screen: where the editor
// was blank, dark glyphs appear.
TEST(Program, TypedTextShowsInThePageEditor) {
    ProgramFolder home;
    int before = 0, after = 0;
    std::string typed;
    const int code = RunProgram([&](User& u) {
        ASSERT_TRUE(acceptance::MainWindowReady(u));
        ASSERT_TRUE(NewProjectByKeys(u, "Typed", "TYPED"));
        QWidget* editor = u.WidgetOf(u.Control("HelpText"));
        ASSERT_TRUE(editor);
        u.Click(u.Control("HelpText"));
        u.Keys("ctrl+End Return");
        const QRect all = u.RectIn(editor, editor);
        before = acceptance::DarkPixels(u.Grab(editor), all);
        const std::string line = "MWHB mwhb MWHB mwhb MWHB";
        u.Type(line);
        editor::TForm1* form = u.Form();
        u.WaitUntil([&] { return form->HelpText->GetPlainText().find(line) != std::string::npos; });
        typed = PageText(u);
        // The editor repaints on its own time: looked at until the glyphs show.
        for (int look = 0; look < 80 && after <= before + 300; ++look) {
            if (look) std::this_thread::sleep_for(std::chrono::milliseconds(25));
            after = acceptance::DarkPixels(u.Grab(editor), all);
        }
    });
    EXPECT_EQ(code, 0);
    EXPECT_NE(typed.find("MWHB mwhb MWHB mwhb MWHB"), std::string::npos) << typed;
    // Two dozen bold-shaped glyphs darken hundreds of pixels at any font size.
    EXPECT_GT(after, before + 300) << "before " << before << ", after " << after << ": the typed text does not show";
}

// File › Exit and a new start on the same program folder: the project is
// there and its page holds what was typed.
TEST(Program, RestartOnTheSameFolderKeepsTheProjectAndItsPage) {
    ProgramFolder home;
    bool quit = false;
    const int first = RunProgram([&](User& u) {
        ASSERT_TRUE(acceptance::MainWindowReady(u));
        ASSERT_TRUE(NewProjectByKeys(u, "Kept Over", "KEEP"));
        ASSERT_TRUE(acceptance::TypeIntoPage(u, " Text over a restart"));
        quit = u.Quit();
    });
    EXPECT_EQ(first, 0);
    ASSERT_TRUE(quit);

    std::string project, text, title;
    std::vector<gui::DialogRequest> boxes;
    const int second = RunProgram([&](User& u) {
        ASSERT_TRUE(acceptance::MainWindowReady(u));
        editor::TForm1* form = u.Form();
        u.Gui([&] {
            project = form->ctx->mainTable->FieldByName("Application")->AsString();
            title = form->ctx->detailTable->FieldByName("Title")->AsString();
        });
        text = PageText(u);
        boxes = u.Boxes();
    });
    EXPECT_EQ(second, 0);
    EXPECT_EQ(project, "Kept Over");
    EXPECT_EQ(title, "Welcome");
    EXPECT_NE(text.find("Text over a restart"), std::string::npos) << text;
    for (const gui::DialogRequest& b : boxes) ADD_FAILURE() << "a box came: " << b.caption << ": " << b.text;
}

}  // namespace
