// The progress dialog: the bar's text and colours, warnings cut at their
// first line feed, phases in the order the conversion runs them, the end of
// a run, and an abort answered Yes in a separate process.

#include <gtest/gtest.h>
#include "tests/support/test_support.h"

#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <unistd.h>

#include <optional>
#include <set>

#include "converter/converter_strings.h"
#include "converter/project_writer.h"
#include "converter/shell.h"
#include "converter/ui/progress.h"
#include "converter/ui/run.h"
#include "converter/ui/tests/ui_test_support.h"
#include "converter/ui/ui_texts.h"
#include "platform/core/clock.h"
#include "platform/core/ini_file.h"
#include "tests/support/child_process.h"

namespace conv::ui {
namespace {

namespace fs = std::filesystem;
using test::UiFixture;
constexpr ConversionFlags kPrint = kForPrint | kNoShg;

TEST(DisplayAvailable, WindowsOnlyWithADisplayThatIsNotOffScreen) {
    struct {
        const char* display;
        const char* wayland;
        const char* qpa;
        bool available;
    } cases[] = {
        {":0", nullptr, nullptr, true},        {nullptr, "wayland-0", nullptr, true},
        {nullptr, nullptr, nullptr, false},    {"", "", nullptr, false},
        {":0", nullptr, "offscreen", false},   {":0", nullptr, "xcb", true},
        {nullptr, nullptr, "offscreen", false}, {":0", nullptr, "minimal", false},
    };
    const char* names[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
    std::optional<std::string> saved[3];
    for (int i = 0; i < 3; ++i)
        if (const char* v = std::getenv(names[i])) saved[i] = v;
    for (const auto& c : cases) {
        const char* values[] = {c.display, c.wayland, c.qpa};
        for (int i = 0; i < 3; ++i) {
            if (values[i]) ::setenv(names[i], values[i], 1);
            else ::unsetenv(names[i]);
        }
        EXPECT_EQ(DisplayAvailable(), c.available)
            << (c.display ? c.display : "-") << " " << (c.wayland ? c.wayland : "-") << " " << (c.qpa ? c.qpa : "-");
    }
    for (int i = 0; i < 3; ++i) {
        if (saved[i]) ::setenv(names[i], saved[i]->c_str(), 1);
        else ::unsetenv(names[i]);
    }
}

TEST(ProgressBarText, PercentOfTheRange) {
    struct {
        int position, range;
        const char* text;
    } cases[] = {
        {0, 100, "  0%"}, {50, 100, " 50%"}, {100, 100, "100%"}, {150, 100, "100%"},
        {1, 3, " 33%"},   {5, 0, "100%"},    {0, 0, "  0%"},     {500, 1000, " 50%"},
    };
    for (const auto& c : cases) EXPECT_EQ(ProgressBarText(c.position, c.range).toStdString(), c.text);
}

TEST(ProgressBar, FilledPartBlueTheRestWhite) {
    test::App();
    ProgressBar bar;
    bar.resize(200, 20);
    struct {
        int position;
        int filled;
    } cases[] = {{0, 1}, {50, 101}, {100, 200}};
    for (const auto& c : cases) {
        bar.setPosition(c.position);
        EXPECT_EQ(bar.filledWidth(), c.filled) << c.position;
        EXPECT_EQ(bar.text(), ProgressBarText(c.position, 100));
        const QImage image = bar.grab().toImage();
        // Sample the top row, away from the text.
        for (int x : {0, 40, 99, 103, 160, 199}) {
            const QColor expected = x < c.filled ? QColor(0, 0, 255) : QColor(Qt::white);
            EXPECT_EQ(image.pixelColor(x, 1), expected) << "position " << c.position << " x " << x;
        }
    }
    // The range message: a position of 50 in 200 is a quarter.
    bar.setRange(200);
    bar.setPosition(50);
    EXPECT_EQ(bar.text().toStdString(), " 25%");
    bar.addPosition(50);
    EXPECT_EQ(bar.text().toStdString(), " 50%");
}

class Progress : public ::testing::Test, public UiFixture {};

TEST_F(Progress, WarningsAreCutAtTheFirstLineFeed) {
    ProgressDialog d;
    d.addWarning({31, {"PICTURE.BMP"}});
    d.addWarning({16, {0x12}});
    d.addWarning({17, {}});
    ASSERT_EQ(d.warnings()->count(), 3);
    EXPECT_EQ(d.warnings()->item(0)->text().toStdString(), "Can't create PICTURE.BMP.");
    EXPECT_EQ(d.warnings()->item(1)->text().toStdString(), "Illegal bitmap reference 0x0012");
    EXPECT_EQ(d.warnings()->item(2)->text().toStdString(), "Table formatting not supported");
}

// One row per distinct line, in the order of first coming, with its count.
TEST_F(Progress, RepeatedWarningsShareARowAndTheEndSaysComplete) {
    ProgressDialog d;
    d.setPhase(5);
    d.setPosition(40);
    const HelpWarning map{10, {-1}};
    for (int i = 0; i < 500; ++i) {
        d.addWarning(map);
        if (i == 3) d.addWarning({17, {}});
        if (i == 200) d.addWarning({19, {175}});
        if (i == 300) d.addWarning({17, {}});
    }
    d.addWarning({19, {941}});
    d.addWarning({31, {"PICTURE.BMP"}});
    d.showComplete();
    QListWidget* list = Control<QListWidget>(&d, kIdWarnings);
    ASSERT_NE(list, nullptr);
    std::vector<std::string> rows;
    for (int i = 0; i < list->count(); ++i) rows.push_back(list->item(i)->text().toStdString());
    EXPECT_EQ(rows, (std::vector<std::string>{
                        "Lookup for topic offset 0xFFFFFFFF for MAP failed (500 times)",
                        "Table formatting not supported (2 times)",
                        "Topic #175 does not have a context ID",
                        "Topic #941 does not have a context ID",
                        "Can't create PICTURE.BMP.",
                    }));
    EXPECT_EQ(d.phaseLabel()->text().toStdString(), "Conversion complete");
    EXPECT_EQ(d.bar()->text().toStdString(), "100%");
}

// Between refreshes the list stays as it was; a refresh that is due, or
// forced, brings every row and count at once.
TEST_F(Progress, WarningsReachTheListAtRefreshes) {
    plat::FakeClock clock;
    plat::ScopedClock use(clock);
    ProgressDialog d;
    QListWidget* list = Control<QListWidget>(&d, kIdWarnings);
    ASSERT_NE(list, nullptr);
    auto rows = [&] {
        std::vector<std::string> r;
        for (int i = 0; i < list->count(); ++i) r.push_back(list->item(i)->text().toStdString());
        return r;
    };
    d.addWarning({17, {}});
    d.refresh();  // the first one always
    EXPECT_EQ(rows(), std::vector<std::string>{"Table formatting not supported"});
    struct {
        const char* step;
        int warnings;
        std::uint32_t advance;
        bool now;
        std::vector<std::string> shown;
    } steps[] = {
        {"not yet due", 3, ProgressDialog::kRefreshMs - 1, false, {"Table formatting not supported"}},
        {"due", 0, 1, false, {"Table formatting not supported (4 times)"}},
        {"a new line, not due", 1, 50, false, {"Table formatting not supported (4 times)"}},
        {"forced", 0, 0, true, {"Table formatting not supported (5 times)"}},
    };
    for (const auto& s : steps) {
        for (int i = 0; i < s.warnings; ++i) d.addWarning({17, {}});
        clock.Advance(s.advance);
        d.refresh(s.now);
        EXPECT_EQ(rows(), s.shown) << s.step;
    }
    // Across the wrap of the tick count.
    clock.SetTick(0xFFFFFFF0u);
    d.refresh(true);
    d.addWarning({46, {}});
    clock.Advance(ProgressDialog::kRefreshMs);
    d.refresh();
    EXPECT_EQ(rows(), (std::vector<std::string>{"Table formatting not supported (5 times)", "Illegal phrase reference"}));
}

// EUDORA.hlp's [MAP] names one missing topic 3,630 times: the list shows
// it on one row with its count, between the warnings before and after it.
TEST_F(Progress, RepeatedWarningTakesOneRowWithItsCount) {
    TAVRIN_REQUIRE_CORPUS();
    plat::WritePrivateProfileString("Options", "ForPrint", "0", "Rendlow.ini");
    const fs::path file = CopyCorpus("EUDORA.hlp", work() / "in");
    ConversionSession session;
    ASSERT_EQ(session.Convert(file.string(), LoadOptions() | kShowProgress), ConversionSession::Result::Done);
    ASSERT_NE(session.dialog(), nullptr);
    QListWidget* list = session.dialog()->warnings();
    std::vector<std::string> rows;
    for (int i = 0; i < std::min(list->count(), 10); ++i) rows.push_back(list->item(i)->text().toStdString());
    EXPECT_EQ(list->count(), 4);
    EXPECT_EQ(rows, (std::vector<std::string>{
                        "File created by HCRTF (Windows NT/Windows 95). handling incomplete",
                        "Lookup for topic offset 0xFFFFFFFF for MAP failed (3630 times)",
                        "Topic #175 does not have a context ID",
                        "Topic #941 does not have a context ID",
                    }));
}

// At the end of a run the dialog says the conversion is complete, with the
// bar full, in the language of the run; not the last phase it went through.
TEST_F(Progress, EndOfRunSaysTheConversionIsComplete) {
    TAVRIN_REQUIRE_CORPUS();
    const fs::path file = CopyCorpus("winfile.hlp", work() / "in");
    struct {
        int language;
        const char* text;
    } cases[] = {
        {kLanguageEnglish, "Conversion complete"},
        {kLanguageGerman, "Umwandlung abgeschlossen"},
        {kLanguageSpanish, "Conversi\u00f3n terminada"},
    };
    for (const auto& c : cases) {
        SetLanguageOffset(c.language);
        ConversionSession session;
        ASSERT_EQ(session.Convert(file.string(), LoadOptions() | kShowProgress), ConversionSession::Result::Done);
        QString label, bar;
        Hooks().onRunDone = [&](ProgressDialog& d) {
            label = d.phaseLabel()->text();
            bar = d.bar()->text();
            d.cancelButton()->click();
        };
        session.Done(LoadOptions());
        EXPECT_EQ(label.toStdString(), c.text);
        EXPECT_EQ(bar.toStdString(), "100%") << c.text;
    }
}

TEST_F(Progress, PhasesComeInTheOrderOfTheConversion) {
    TAVRIN_REQUIRE_CORPUS();
    // Source mode runs every phase.
    plat::WritePrivateProfileString("Options", "ForPrint", "0", "Rendlow.ini");
    const fs::path file = CopyCorpus("winfile.hlp", work() / "in");
    std::vector<int> phases;
    ProgressDialog* dialog = nullptr;
    Hooks().onProgressShown = [&](ProgressDialog& d) {
        dialog = &d;
        d.onPhase = [&](int id) { phases.push_back(id); };
    };
    ConversionSession session;
    ASSERT_EQ(session.Convert(file.string(), LoadOptions() | kShowProgress), ConversionSession::Result::Done);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle().toStdString(), "Help-File conversion " + file.string());
    // Context file, bitmaps, baggage, map, keywords, browse sequences,
    // topics: each once, in this order (a phase without work may be left out).
    const std::vector<int> order = {4, 2, 3, 5, 1, 6, 7};
    std::vector<int> known;
    for (int p : phases)
        if (std::find(order.begin(), order.end(), p) != order.end()) known.push_back(p);
    EXPECT_EQ(known.back(), 7);
    for (std::size_t i = 1; i < known.size(); ++i) {
        const auto a = std::find(order.begin(), order.end(), known[i - 1]);
        const auto b = std::find(order.begin(), order.end(), known[i]);
        EXPECT_LT(a, b) << known[i - 1] << " before " << known[i];
    }
    EXPECT_EQ(phases.size(), known.size());
    EXPECT_GE(known.size(), 5u);
    EXPECT_EQ(dialog->phaseLabel()->text(), LocalString(7));
    EXPECT_EQ(dialog->bar()->position(), 100);
    EXPECT_TRUE(fs::exists(work() / "winfile.HPJ"));
    // Not finished: the button is still Cancel and View is off.
    EXPECT_EQ(dialog->cancelButton()->text(), "&Cancel");
    EXPECT_FALSE(dialog->viewButton()->isEnabled());
}

TEST_F(Progress, EndOfRunOffersOkAndViewUnlessSplit) {
    TAVRIN_REQUIRE_CORPUS();
    const fs::path file = CopyCorpus("winfile.hlp", work() / "in");
    std::vector<std::string> opened;
    SetDocumentOpener([&](const std::string& p) { opened.push_back(p); });
    for (bool split : {false, true}) {
        const ConversionFlags flags = LoadOptions() | kShowProgress | (split ? kSplitRtf : 0);
        ConversionSession session;
        ASSERT_EQ(session.Convert(file.string(), flags), ConversionSession::Result::Done);
        bool viewEnabled = !split;
        Hooks().onRunDone = [&](ProgressDialog& d) {
            viewEnabled = d.viewButton()->isEnabled();
            EXPECT_EQ(d.cancelButton()->text(), "&Ok");
            EXPECT_TRUE(d.cancelButton()->isDefault());
            if (viewEnabled) d.viewButton()->click();
            d.cancelButton()->click();
        };
        session.Done(flags);
        EXPECT_EQ(viewEnabled, !split);
        EXPECT_EQ(session.dialog(), nullptr);
    }
    EXPECT_EQ(opened, (std::vector<std::string>{"winfile.RTF"}));
}

// A viewer that cannot start, or a launcher that finds nothing to open the
// document with, is told in a box: the program has windows, so nobody reads
// its terminal. Both ways to a view: View at the end of a run, and -v.
TEST_F(Progress, AViewerThatFailsIsToldInABox) {
    TAVRIN_REQUIRE_CORPUS();
    const fs::path file = CopyCorpus("winfile.hlp", work() / "in");
    const fs::path giveUp = work() / "gives-up";
    testsupport::WriteFileBytes(giveUp, "#!/bin/sh\necho \"xdg-open: no method available for opening '$1'\" >&2\nexit 3\n");
    fs::permissions(giveUp, fs::perms::owner_all);
    struct {
        std::string viewer;
        QString reason;
    } viewers[] = {
        {(work() / "no-such-viewer").string(), "The program was not found."},
        {giveUp.string(), "xdg-open: no method available for opening 'winfile.RTF'"},
    };
    const char* saved = std::getenv("RENDLOW_VIEWER");
    const std::string savedViewer = saved ? saved : "";
    for (const auto& v : viewers) {
        ::setenv("RENDLOW_VIEWER", v.viewer.c_str(), 1);
        for (bool commandLine : {false, true}) {
            std::vector<QString> boxes;
            Hooks().showViewError = [&](const QString&, const QString& text) { boxes.push_back(text); };
            if (commandLine) {
                EXPECT_EQ(RunConverterWindows("-v " + file.string()), 2);
            } else {
                ConversionSession session;
                ASSERT_EQ(session.Convert(file.string(), LoadOptions() | kShowProgress), ConversionSession::Result::Done);
                Hooks().onRunDone = [](ProgressDialog& d) {
                    d.viewButton()->click();
                    d.cancelButton()->click();
                };
                session.Done(LoadOptions());
            }
            ASSERT_EQ(boxes.size(), 1u) << v.viewer << (commandLine ? " -v" : " View");
            EXPECT_TRUE(boxes[0].contains("winfile.RTF")) << boxes[0].toStdString();
            EXPECT_TRUE(boxes[0].contains(QString::fromStdString(v.viewer))) << boxes[0].toStdString();
            EXPECT_TRUE(boxes[0].contains(v.reason)) << boxes[0].toStdString();
        }
    }
    if (saved) ::setenv("RENDLOW_VIEWER", savedViewer.c_str(), 1);
    else ::unsetenv("RENDLOW_VIEWER");
}

TEST_F(Progress, FatalErrorIsShownAndEndsTheRun) {
    testsupport::WriteFileBytes(work() / "bad.hlp", std::string(64, 'x'));
    QString title, text;
    Hooks().showFatal = [&](const QString& t, const QString& m) {
        title = t;
        text = m;
    };
    ConversionSession session;
    EXPECT_EQ(session.Convert((work() / "bad.hlp").string(), LoadOptions() | kShowProgress),
              ConversionSession::Result::Fatal);
    EXPECT_EQ(title, "Rendlow Severe Problem");
    EXPECT_FALSE(text.isEmpty());
}

// The files below `dirs`, without the document itself and the help file.
std::set<fs::path> ScratchFiles(const std::vector<fs::path>& dirs) {
    std::set<fs::path> files;
    for (const fs::path& d : dirs)
        for (const auto& e : fs::recursive_directory_iterator(d))
            if (e.is_regular_file() && e.path().extension() != ".RTF" && e.path().extension() != ".hlp")
                files.insert(e.path());
    return files;
}

TEST_F(Progress, AbortThroughTheCallbackRemovesScratchPicturesAndKeepsTheDocument) {
    TAVRIN_REQUIRE_CORPUS();
    // Pictures embedded in the document are made as scratch files first.
    const fs::path file = CopyCorpus("winfile.hlp", work() / "in");
    const fs::path scratch = "/tmp/rlw" + std::to_string(::getpid());
    fs::create_directories(scratch);
    // Set for the conversion only; unset again when they were not set.
    struct Env {
        const char* name;
        std::optional<std::string> old;
    } envs[] = {{"TEMP", {}}, {"TMPDIR", {}}};
    for (Env& e : envs) {
        if (const char* v = std::getenv(e.name)) e.old = v;
        ::setenv(e.name, scratch.c_str(), 1);
    }
    ConversionRequest request;
    request.path = file.string();
    request.flags = kPrint | kBmpInRtf | kShowProgress;
    std::set<fs::path> during;
    std::vector<int> liveWarnings;
    std::vector<HelpWarning> warnings;
    auto progress = [&](int, int phase) {
        if (phase != 7) return;
        during = ScratchFiles({work(), scratch});
        throw ConversionAborted{};
    };
    auto onWarning = [&](const HelpWarning& w) { liveWarnings.push_back(w.number); };
    EXPECT_THROW(ConvertHelpFile(request, &warnings, progress, onWarning), ConversionAborted);
    const std::set<fs::path> after = ScratchFiles({work(), scratch});
    for (const Env& e : envs) {
        if (e.old) ::setenv(e.name, e.old->c_str(), 1);
        else ::unsetenv(e.name);
    }
    fs::remove_all(scratch);
    EXPECT_FALSE(during.empty());
    EXPECT_TRUE(after.empty()) << after.size() << " left, e.g. " << (after.empty() ? "" : after.begin()->string());
    // Every warning was reported as it was found.
    std::vector<int> numbers;
    for (const HelpWarning& w : warnings) numbers.push_back(w.number);
    EXPECT_EQ(liveWarnings, numbers);
}

TEST_F(Progress, AbortAnsweredYesEndsWithCode1AndKeepsWhatWasWritten) {
    TAVRIN_REQUIRE_CORPUS();
    plat::WritePrivateProfileString("Options", "ForPrint", "0", "Rendlow.ini");
    const fs::path file = CopyCorpus("winfile.hlp", work() / "in");
    struct {
        const char* answer;
        int code;
    } cases[] = {{"yes", 1}, {"no", 2}};
    for (const auto& c : cases) {
        const fs::path out = work() / c.answer;
        fs::create_directories(out);
        fs::current_path(out);
        testsupport::ChildProcess child;
        ASSERT_TRUE(child.Start({CONVERTER_UI_ABORT_HELPER, c.answer, file.string()}));
        EXPECT_EQ(child.ReadLine(30000), "asked") << c.answer;
        ASSERT_TRUE(child.WaitExit(60000)) << c.answer;
        EXPECT_EQ(child.ExitCode(), c.code) << c.answer;
        // The project was written before the topics; it stays.
        const std::string hpj = testsupport::ReadFileBytes(out / "winfile.HPJ");
        EXPECT_NE(hpj.find("[options]"), std::string::npos) << c.answer;
        EXPECT_TRUE(fs::exists(out / "winfile.RTF")) << c.answer;
    }
    // The aborted run stopped inside the topics: its RTF is shorter.
    EXPECT_LT(fs::file_size(work() / "yes" / "winfile.RTF"), fs::file_size(work() / "no" / "winfile.RTF"));
}

}  // namespace
}  // namespace conv::ui
