#include "gui_fixture.h"

#include <QTimer>

#include <cstdlib>

namespace guitest {

using namespace gui;

namespace {

bool Interesting(UINT m) {
    return (m >= WM_KEYFIRST && m <= WM_KEYLAST) || (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST) ||
           m == WM_SETFOCUS || m == WM_KILLFOCUS || m == WM_SIZE || m == WM_VSCROLL || m == WM_HSCROLL ||
           m == CM_ENTER || m == CM_EXIT || m == CM_FONTCHANGED || m == CM_PARENTFONTCHANGED ||
           m == CM_DIALOGKEY || m == CM_CTL3DCHANGED || m == CM_TEXTCHANGED || (m >= WM_USER && m < CM_BASE);
}

// The Qt application lives for the whole test program.
class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override { InitApplication(); }
};

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

}  // namespace

void Recorder::WndProc(TMessage& m) {
    if (Interesting(m.Msg)) log.push_back(m);
    if (m.Msg == WM_GETDLGCODE) {
        m.Result = dlgCode;
        return;
    }
    TCustomControl::WndProc(m);
}

void Recorder::Paint() {
    ++paints;
    TCanvas& c = Canvas();
    c.Brush().SetColor(clWhite);
    c.FillRect(ClientRect());
    c.Brush().SetColor(clNavy);
    c.FrameRect(ClientRect());
    c.Brush().SetStyle(bsClear);
    c.Font().SetName("Arial");
    c.Font().SetSize(16);
    c.Font().SetColor(clBlack);
    TRect r = ClientRect();
    DrawText(c, "Hi", r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void GuiTest::SetUp() {
    InitApplication();
    form = new TForm(Application);
    form->SetBounds(50, 50, 320, 240);
    form->SetCaption("Test form");
    watchdog = std::make_unique<QTimer>();
    watchdog->setSingleShot(true);
    QObject::connect(watchdog.get(), &QTimer::timeout, [] {
        for (int i = 0; Screen && i < Screen->FormCount(); ++i)
            if (Screen->Forms(i)->Modal()) {
                ADD_FAILURE() << "a modal loop did not end";
                Screen->Forms(i)->SetModalResult(-1);
            }
    });
    watchdog->start(10000);
}

void GuiTest::TearDown() {
    watchdog.reset();
    delete form;
    ProcessEvents();
}

}  // namespace guitest

// The system's font configuration library keeps a cache it never frees; that
// is not ours to fix, and the leak checker would fail every GUI run on it.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }
