#include "tests/acceptance/user_harness.h"

#include "editor/forms/editor_app.h"
#include "editor/forms/main_form.h"
#include "platform/core/paths.h"
#include "platform/gui/controls.h"
#include "platform/gui/forms.h"
#include "platform/win/message_queue.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QSet>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace acceptance {

namespace fs = std::filesystem;

ProgramFolder::ProgramFolder() : home_(tmp_.path() / "home") {
    fs::create_directories(home_);
    ::setenv("TAVRIN_HOME", home_.c_str(), 1);
    plat::SetDataHome(home_.string());
}

ProgramFolder::~ProgramFolder() {
    plat::SetDataHome("");
    ::unsetenv("TAVRIN_HOME");
}

namespace {

using Clock = std::chrono::steady_clock;

QWidget* ShownWindow(const QString& title) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowTitle() == title) return w;
    return nullptr;
}

// What a user leaves open when a test stops early would keep the program's
// loop inside it; everything but the main window is closed, innermost first.
void CloseLeftovers(User& u) {
    for (int round = 0; round < 50; ++round) {
        const bool closed = u.Gui([&] {
            auto* f = gui::Application ? dynamic_cast<editor::TForm1*>(gui::Application->MainForm()) : nullptr;
            QWidget* main = f ? f->Widget() : nullptr;
            QWidget* top = QApplication::activeModalWidget();
            if (!top)
                for (QWidget* w : QApplication::topLevelWidgets())
                    if (w->isVisible() && w != main && w->isWindow() && !(w->windowFlags() & Qt::Popup)) top = w;
            if (!top) return false;
            top->close();
            if (top->isVisible()) top->hide();
            return true;
        });
        if (!closed) return;
    }
}

// Notes each box on its way to the service the program installed.
class BoxRecorder : public gui::DialogService {
public:
    BoxRecorder(gui::DialogService& shows, std::vector<gui::DialogRequest>& seen) : shows_(shows), seen_(seen) {}
    gui::DialogReply Run(const gui::DialogRequest& request) override {
        seen_.push_back(request);
        return shows_.Run(request);
    }

private:
    gui::DialogService& shows_;
    std::vector<gui::DialogRequest>& seen_;
};

}  // namespace

std::vector<gui::DialogRequest> User::Boxes() {
    return Gui([&] {
        const std::size_t from = std::min(startupBoxes_, boxes_.size());
        return std::vector<gui::DialogRequest>(boxes_.begin() + static_cast<std::ptrdiff_t>(from), boxes_.end());
    });
}

void User::RunOnGui(const std::function<void()>& question) {
    if (ended) throw std::runtime_error("the program has ended");
    // A question the program does not take up in time is withdrawn, so a
    // program stuck (or ended) fails the test instead of hanging it.
    struct Call {
        std::mutex m;
        std::condition_variable cv;
        bool done = false, withdrawn = false;
        std::string error;
    };
    auto call = std::make_shared<Call>();
    QMetaObject::invokeMethod(
        qApp,
        [call, &question] {
            std::unique_lock lock(call->m);
            if (call->withdrawn) return;
            try {
                question();
            } catch (const std::exception& e) {
                call->error = e.what();
            }
            call->done = true;
            call->cv.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(call->m);
    if (!call->cv.wait_for(lock, std::chrono::seconds(20), [&] { return call->done; })) {
        call->withdrawn = true;
        throw std::runtime_error("the program does not answer");
    }
    if (!call->error.empty()) throw std::runtime_error("the program's side failed: " + call->error);
}

namespace {
QWidget* MainWidget() {
    auto* f = gui::Application ? dynamic_cast<editor::TForm1*>(gui::Application->MainForm()) : nullptr;
    return f ? f->Widget() : nullptr;
}
}  // namespace

bool User::Quit(int ms) {
    QWidget* main = Gui([] { return MainWidget(); });
    if (!main || !Gui([&] { return main->isVisible(); })) return true;
    Activate(main);
    Keys("alt+f x");
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
        if (ended || !Gui([&] { return MainWidget() && MainWidget()->isVisible(); })) return true;
        if (QWidget* box = Gui([] { return QApplication::activeModalWidget(); })) {
            Activate(box);
            Keys("Return");
            WaitUntil([&] { return QApplication::activeModalWidget() != box; }, 5000);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
    }
    return false;
}

editor::TForm1* User::Form() {
    return Gui([] {
        return gui::Application ? dynamic_cast<editor::TForm1*>(gui::Application->MainForm()) : nullptr;
    });
}

QWidget* User::WaitForMainWindow(int ms) {
    QWidget* main = nullptr;
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
        main = Gui([] {
            auto* f = gui::Application ? dynamic_cast<editor::TForm1*>(gui::Application->MainForm()) : nullptr;
            QWidget* w = f ? f->Widget() : nullptr;
            return w && w->isVisible() && w->windowHandle() && w->windowHandle()->isExposed() ? w : nullptr;
        });
        if (main) break;
        QWidget* box = Gui([] { return QApplication::activeModalWidget(); });
        if (box) {
            Activate(box);
            Keys("Return");
            WaitUntil([&] { return QApplication::activeModalWidget() != box; }, 5000);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
    }
    if (!main) {
        ADD_FAILURE() << "the main window did not show";
        return nullptr;
    }
    // The start-up's deferred work (the first start's help, the tip) comes
    // once the window is painted: its box is answered too.
    WaitUntil([] {
        auto* f = gui::Application ? dynamic_cast<editor::TForm1*>(gui::Application->MainForm()) : nullptr;
        return !f || !f->DeferredStartupWaiting();
    }, ms);
    // A message posted now is handled after the start-up's, inside its box when one came.
    auto through = std::make_shared<std::atomic<bool>>(false);
    const plat::HWND barrier = Gui([&] {
        plat::HWND h = plat::AllocateHWnd([through](plat::TMessage&) { *through = true; });
        plat::PostMessage(h, plat::WM_USER, 0, 0);
        return h;
    });
    WaitUntil([&] { return through->load(); }, ms);
    Gui([&] { plat::DeallocateHWnd(barrier); });
    for (int box = 0; box < 5; ++box) {
        QWidget* shown = Gui([] { return QApplication::activeModalWidget(); });
        if (!shown) break;
        Activate(shown);
        Keys("Return");
        WaitUntil([&] { return QApplication::activeModalWidget() != shown; }, 5000);
    }
    Gui([&] { startupBoxes_ = boxes_.size(); });
    Activate(main);
    return main;
}

bool User::WaitUntil(const std::function<bool()>& seen, int ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        if (Gui([&] { return seen(); })) return true;
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
}

QWidget* User::WaitForWindow(const std::string& title, int ms) {
    QWidget* found = nullptr;
    const QString t = QString::fromStdString(title);
    WaitUntil([&] { return (found = ShownWindow(t)) != nullptr; }, ms);
    if (!found) {
        std::string shown;
        for (const std::string& s : ShownWindows()) shown += " \"" + s + "\"";
        ADD_FAILURE() << "no window \"" << title << "\" showed; shown:" << shown;
        return nullptr;
    }
    // Shown is not yet painted: wait until the server has mapped it.
    WaitUntil([&] { return found->windowHandle() && found->windowHandle()->isExposed(); }, ms);
    return found;
}

bool User::WindowShown(const std::string& title) {
    const QString t = QString::fromStdString(title);
    return Gui([&] { return ShownWindow(t) != nullptr; });
}

std::vector<std::string> User::ShownWindows() {
    return Gui([] {
        std::vector<std::string> out;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible()) out.push_back(w->windowTitle().toStdString());
        return out;
    });
}

bool User::WaitForWindowGone(const std::string& title, int ms) {
    const QString t = QString::fromStdString(title);
    return WaitUntil([&] { return ShownWindow(t) == nullptr; }, ms);
}

bool User::WaitForMainWindowAlone(int ms) {
    return WaitUntil(
        [] {
            QWidget* main = MainWidget();
            // A hint under the mouse is no window of a command.
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->isVisible() && w != main && w->windowType() != Qt::ToolTip) return false;
            return true;
        },
        ms);
}

void User::Activate(QWidget* window) {
    if (!window) return;
    const unsigned long id = Gui([&] {
        window->raise();
        window->activateWindow();
        return static_cast<unsigned long>(window->winId());
    });
    if (!WaitUntil([&] { return QApplication::activeWindow() == window; }, 2000)) {
        // No window manager runs: the focus is set on the server directly.
        RunXdotool({"windowfocus", "--sync", std::to_string(id)});
        WaitUntil([&] { return QApplication::activeWindow() == window; }, 5000);
    }
}

void User::RunXdotool(const std::vector<std::string>& args) {
    std::vector<std::string> all = {"xdotool"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, "xdotool", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) throw std::runtime_error("xdotool could not be started");
    const auto end = Clock::now() + std::chrono::seconds(20);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) != pid) {
        if (Clock::now() > end) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            throw std::runtime_error("xdotool did not finish");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("xdotool failed: " + all[1]);
}

void User::Keys(const std::string& keys) {
    std::vector<std::string> args = {"key", "--delay", "40"};
    std::size_t at = 0;
    while (at < keys.size()) {
        const std::size_t space = keys.find(' ', at);
        const std::string one = keys.substr(at, space == std::string::npos ? std::string::npos : space - at);
        if (!one.empty()) args.push_back(one);
        if (space == std::string::npos) break;
        at = space + 1;
    }
    RunXdotool(args);
}

void User::Type(const std::string& text) { RunXdotool({"type", "--delay", "30", text}); }

QPoint User::OnScreen(QWidget* widget, int x, int y) {
    // Qt places widgets in device-independent pixels; the X server, and so
    // xdotool, counts the screen's own pixels. At a scale factor other than
    // 1 the two differ, and a click at Qt's coordinates lands elsewhere.
    return Gui([&] {
        const QPointF logical = widget->mapToGlobal(QPointF(x, y));
        const QScreen* screen = widget->screen();
        const QPointF origin = screen ? QPointF(screen->geometry().topLeft()) : QPointF();
        const qreal ratio = widget->devicePixelRatio();
        return (origin + (logical - origin) * ratio).toPoint();
    });
}

void User::ClickAt(QWidget* widget, int x, int y) {
    const QPoint at = OnScreen(widget, x, y);
    RunXdotool({"mousemove", "--sync", std::to_string(at.x()), std::to_string(at.y())});
    RunXdotool({"click", "1"});
}

void User::RightClickAt(QWidget* widget, int x, int y) {
    const QPoint at = OnScreen(widget, x, y);
    RunXdotool({"mousemove", "--sync", std::to_string(at.x()), std::to_string(at.y())});
    RunXdotool({"click", "3"});
}

void User::DoubleClickAt(QWidget* widget, int x, int y) {
    const QPoint at = OnScreen(widget, x, y);
    RunXdotool({"mousemove", "--sync", std::to_string(at.x()), std::to_string(at.y())});
    RunXdotool({"click", "--repeat", "2", "--delay", "80", "1"});
}

void User::Click(QWidget* widget) {
    const QSize size = Gui([&] { return widget->size(); });
    ClickAt(widget, size.width() / 2, size.height() / 2);
}

void User::Click(gui::TControl* control) {
    // A graphic control (a speed button) paints on its windowed parent.
    struct Place {
        QWidget* widget = nullptr;
        QPoint centre;
    };
    const Place place = Gui([&] {
        Place p;
        if (auto* w = dynamic_cast<gui::TWinControl*>(control)) {
            p.widget = w->Widget();
            p.centre = QPoint(w->Width() / 2, w->Height() / 2);
            return p;
        }
        if (gui::TWinControl* parent = control->Parent()) {
            p.widget = parent->Widget();
            p.centre = QPoint(control->Left() + control->Width() / 2, control->Top() + control->Height() / 2);
        }
        return p;
    });
    if (!place.widget) throw std::runtime_error("the control is not on the screen");
    ClickAt(place.widget, place.centre.x(), place.centre.y());
}

QImage User::Grab(QWidget* widget) {
    return Gui([&] {
        const QRect r(widget->mapToGlobal(QPoint(0, 0)), widget->size());
        return QGuiApplication::primaryScreen()->grabWindow(0, r.x(), r.y(), r.width(), r.height()).toImage();
    });
}

QRect User::RectIn(QWidget* widget, QWidget* part) {
    return Gui([&] { return QRect(part->mapTo(widget, QPoint(0, 0)), part->size()); });
}

QWidget* User::WidgetOf(gui::TControl* control) {
    return Gui([&] {
        auto* w = dynamic_cast<gui::TWinControl*>(control);
        return w ? w->Widget() : nullptr;
    });
}

gui::TControl* User::Control(const std::string& name) {
    editor::TForm1* form = Form();
    if (!form) throw std::runtime_error("no main window");
    return Gui([&] { return dynamic_cast<gui::TControl*>(form->FindComponent(name)); });
}

int RunProgram(const std::function<void(User&)>& user) {
    User u;
    std::atomic<bool> done{false};
    std::thread person([&] {
        // The program makes its application object first.
        while (!QCoreApplication::instance() && !u.ended) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        try {
            user(u);
        } catch (const std::exception& e) {
            ADD_FAILURE() << "the user could not go on: " << e.what();
        }
        try {
            if (!u.ended) CloseLeftovers(u);
            if (!u.ended) u.Quit();
        } catch (const std::exception&) {
        }
        done = true;
        if (!u.ended) QMetaObject::invokeMethod(qApp, [] {}, Qt::QueuedConnection);
    });
    char name[] = "tavrin";
    char* argv[] = {name, nullptr};
    // The program's own wait, Qt's events and the window messages both,
    // while the user works.
    const int code = editor::RunTavrin(1, argv, [&](editor::TForm1&) {
        // The program's own service stays for the next run in this process.
        gui::DialogService& shows = gui::CurrentDialogService();
        BoxRecorder recorder(shows, u.boxes_);
        gui::SetDialogService(&recorder);
        while (!done) {
            gui::Application->HandleMessage();
            // Started inside a box's loop (the tip at start-up), this loop
            // runs within a delivery of posted events, and Qt leaves the
            // user's later questions queued: they are delivered here.
            QCoreApplication::sendPostedEvents();
        }
        gui::SetDialogService(&shows);
    });
    u.ended = true;
    person.join();
    return code;
}

int DarkPixels(const QImage& image, const QRect& rect) {
    int n = 0;
    const QRect r = rect.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (qGray(image.pixel(x, y)) < 110) ++n;
    return n;
}

double LitShare(const QImage& image) {
    if (image.isNull()) return 0;
    long lit = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) != 0) ++lit;
    return static_cast<double>(lit) / (static_cast<double>(image.width()) * image.height());
}

int Colours(const QImage& image, int cap) {
    QSet<QRgb> seen;
    for (int y = 0; y < image.height() && seen.size() < cap; ++y)
        for (int x = 0; x < image.width() && seen.size() < cap; ++x) seen.insert(image.pixel(x, y) & 0xFFFFFF);
    return static_cast<int>(seen.size());
}

}  // namespace acceptance
