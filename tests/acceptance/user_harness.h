// The program as its user meets it: started through the same start-up
// routine as main() on a program folder of the test's own, on the X server
// the test runs under, and driven by key presses and mouse clicks that go
// through that server to the focused window.
//
// The person at the keyboard is a thread of its own. The program's loop
// keeps running on the main thread the whole time, also inside the modal
// windows the user's keys open, so the user can answer those windows just as
// a person does. The user looks at the program only through Gui(), which
// runs a question on the program's thread and waits for the answer.
#pragma once

#include "platform/core/dialog_service.h"
#include "tests/support/test_support.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>

#include <atomic>

#include <filesystem>
#include <functional>
#include <type_traits>
#include <string>
#include <vector>

class QWidget;

namespace editor {
class TForm1;
}
namespace gui {
class TControl;
}

namespace acceptance {

// A program folder (TAVRIN_HOME) for one test, kept across restarts and
// removed with the object.
class ProgramFolder {
public:
    ProgramFolder();
    ~ProgramFolder();
    ProgramFolder(const ProgramFolder&) = delete;
    ProgramFolder& operator=(const ProgramFolder&) = delete;
    const std::filesystem::path& path() const { return home_; }
    std::filesystem::path operator/(const std::string& name) const { return home_ / name; }

private:
    testsupport::TempDir tmp_;
    std::filesystem::path home_;
};

class User {
public:
    // The main window once the program made it (nullptr before); touch it
    // only inside Gui().
    editor::TForm1* Form();
    // Waits until the main window is on the screen and its start-up is over,
    // answering with Enter the boxes the program shows on the way (the first
    // start's help, the tip of the day).
    QWidget* WaitForMainWindow(int ms = 20000);

    // Runs `question` on the program's thread and returns its answer.
    template <class F>
    auto Gui(F&& question) -> decltype(question()) {
        if constexpr (std::is_void_v<decltype(question())>) {
            RunOnGui([&] { question(); });
        } else {
            decltype(question()) answer{};
            RunOnGui([&] { answer = question(); });
            return answer;
        }
    }

    // Polls `seen` (run on the program's thread) until it holds; false
    // after `ms`.
    bool WaitUntil(const std::function<bool()>& seen, int ms = 10000);
    // The visible top-level window whose title is `title`; fails the test
    // and answers nullptr when none shows within `ms`.
    QWidget* WaitForWindow(const std::string& title, int ms = 10000);
    // Whether such a window shows now.
    bool WindowShown(const std::string& title);
    // Titles of the visible top-level windows (for failure messages).
    std::vector<std::string> ShownWindows();
    // Waits until `title` no longer shows.
    bool WaitForWindowGone(const std::string& title, int ms = 10000);

    // Waits until the main window is the only window shown: a command's
    // progress windows and boxes are gone, so the command has ended.
    bool WaitForMainWindowAlone(int ms = 30000);

    // Gives `window` the keyboard focus, as a click on its title bar does,
    // and waits until the program takes it.
    void Activate(QWidget* window);
    // Key presses through the X server to the focused window, in xdotool's
    // names: Keys("alt+f"), Keys("Tab Tab Return").
    void Keys(const std::string& keys);
    // Text typed through the X server to the focused window.
    void Type(const std::string& text);
    // A left click in the middle of `widget` (or at `at`, in its coordinates).
    void Click(QWidget* widget);
    void ClickAt(QWidget* widget, int x, int y);
    // A right click there (a pop-up menu's way).
    void RightClickAt(QWidget* widget, int x, int y);
    // A double click there.
    void DoubleClickAt(QWidget* widget, int x, int y);
    void Click(gui::TControl* control);

    // What the screen shows where `widget` is, read from the X server.
    QImage Grab(QWidget* widget);
    // The part of a grab inside `widget`'s child `part`.
    QRect RectIn(QWidget* widget, QWidget* part);

    QWidget* WidgetOf(gui::TControl* control);
    // The control named `name` on the main window (menu items excluded).
    gui::TControl* Control(const std::string& name);

    // File › Exit, answering with Enter whatever the program asks on the
    // way out; true when the main window went.
    bool Quit(int ms = 20000);

    // Every standard box the program asked through since its start-up was
    // over (WaitForMainWindow), in order; each still went to the screen for
    // the user.
    std::vector<gui::DialogRequest> Boxes();

    // Set when the program's loop has ended: questions fail from then on.
    std::atomic<bool> ended{false};

private:
    friend int RunProgram(const std::function<void(User&)>& user);
    // Read and written on the program's thread only.
    std::vector<gui::DialogRequest> boxes_;
    // How many of them came in the start-up.
    std::size_t startupBoxes_ = 0;
    void RunOnGui(const std::function<void()>& question);
    void RunXdotool(const std::vector<std::string>& args);
    // Where a point of `widget` is in the X server's own pixels.
    QPoint OnScreen(QWidget* widget, int x, int y);
};

// Starts the program on the folder the environment names, as main() does,
// with `user` at the keyboard from the start; the program is closed when
// `user` returns (unless the user closed it). Answers the program's exit code.
int RunProgram(const std::function<void(User&)>& user);

// Pixels of `image` inside `rect` darker than a light background.
int DarkPixels(const QImage& image, const QRect& rect);
// The share (0..1) of `image`'s pixels that are not black.
double LitShare(const QImage& image);
// How many different colours `image` holds (up to `cap`).
int Colours(const QImage& image, int cap = 64);

}  // namespace acceptance
