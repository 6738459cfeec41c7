// The engine drawing through the one device over the GUI canvas: into a
// bitmap, into a control's back buffer (seen in its grab) and onto a
// printer's page (read back from the PDF as text).
#include <gtest/gtest.h>

#include <QImage>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>

#include <unistd.h>

#include "platform/gui/canvas_device.h"
#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"
#include "platform/gui/printer.h"
#include "richtext/view/text_input.h"
#include "tests/support/child_process.h"
#include "tests/support/test_support.h"

namespace richtext {
namespace {

// Started from a shell without a display: offscreen unless one is chosen.
const bool kOffscreenByDefault = [] {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return true;
}();

int DarkPixels(gui::TBitmap& b, int left, int top, int right, int bottom) {
    const QImage& img = *b.Image();
    int n = 0;
    for (int y = std::max(top, 0); y < std::min(bottom, img.height()); ++y)
        for (int x = std::max(left, 0); x < std::min(right, img.width()); ++x)
            if (qGray(img.pixel(x, y)) < 128) ++n;
    return n;
}

void White(gui::TBitmap& b, int w, int h) {
    b.SetSize(w, h);
    b.Canvas().Brush().SetColor(gui::clWhite);
    b.Canvas().FillRect(gui::Rect(0, 0, w, h));
}

TEST(CanvasRendering, ShortDocumentDrawsTextInItsLineBoxes) {
    gui::InitApplication();
    gui::TBitmap bmp;
    White(bmp, 300, 120);
    gui::TCanvasDevice dev(bmp.Canvas());
    TJDRTFTextInput t;
    t.currentAttr.size = 12;
    t.InputString("Hello");
    t.SetCanvas(&dev);
    t.SetWindowSize(300, 120);
    t.InputString("\rWorld of text");
    t.FormatAll();
    t.Repaint();

    TParagraph* p1 = t.FirstParagraph();
    TParagraph* p2 = p1->next;
    ASSERT_NE(p2, nullptr);
    TLine* l1 = p1->lines;
    TLine* l2 = p2->lines;
    int r1 = t.XOfPosition(p1, l1, l1->Length());
    int r2 = t.XOfPosition(p2, l2, l2->Length());
    // Ink inside each line's box, and only there.
    EXPECT_GT(DarkPixels(bmp, 0, l1->top, r1 + 2, l1->top + l1->height), 30);
    EXPECT_GT(DarkPixels(bmp, 0, l2->top, r2 + 2, l2->top + l2->height), 60);
    EXPECT_EQ(DarkPixels(bmp, r1 + 10, l1->top, 300, l1->top + l1->height), 0);
    EXPECT_EQ(DarkPixels(bmp, 0, l2->top + l2->height + 1, 300, 120), 0);
    // Line 2 is wider than line 1, as its text is longer.
    EXPECT_GT(r2, r1);
    // The engine lays out by character advances: those the canvas gives for the same font.
    gui::TCanvas& c = bmp.Canvas();
    c.Font().SetName("Arial");
    c.Font().SetHeight(-gui::MulDiv(12, 96, 72));
    int w[256];
    c.GetCharWidths(0, 255, w);
    EXPECT_EQ(r1 - t.XOfPosition(p1, l1, 0), w['H'] + w['e'] + 2 * w['l'] + w['o']);
}

TEST(CanvasRendering, SelectionPaintsTheHighlight) {
    gui::InitApplication();
    gui::TBitmap bmp;
    White(bmp, 200, 40);
    gui::TCanvasDevice dev(bmp.Canvas());
    TJDRTFTextInput t;
    t.SetCanvas(&dev);
    t.SetWindowSize(200, 40);
    t.InputString("abcdef");
    t.SetSelPosLen(0, 3);
    t.Repaint();
    int x = t.XOfPosition(t.FirstParagraph(), t.FirstParagraph()->lines, 1);
    EXPECT_EQ(bmp.Canvas().Pixel(x, 1), gui::RGB(0x0A, 0x24, 0x6A));  // highlight COLORREF 0x6A240A
}

// A windowed control that shows an engine's text through a device over its
// own canvas, which lives as long as the control.
class TEngineView : public gui::TCustomControl {
public:
    explicit TEngineView(gui::TComponent* owner) : gui::TCustomControl(owner) { SetColor(gui::clWhite); }
    void Attach() {
        device = std::make_unique<gui::TCanvasDevice>(Canvas());
        engine.SetCanvas(device.get());
        engine.SetWindowSize(Width(), Height());
    }
    TJDRTFTextInput engine;
    std::unique_ptr<gui::TCanvasDevice> device;

protected:
    void Paint() override {
        gui::TRect r = Canvas().ClipRect();
        engine.PaintRect(r.Left, r.Top, r.Width(), r.Height());
    }
};

TEST(CanvasRendering, EnginePaintsALineIntoAControlsBackBuffer) {
    gui::InitApplication();
    auto* form = new gui::TForm(gui::Application);
    form->SetBounds(0, 0, 400, 200);
    auto* view = new TEngineView(form);
    view->SetParent(form);
    view->SetBounds(10, 10, 300, 100);
    form->Show();
    view->engine.currentAttr.size = 14;
    view->engine.InputString("Engine text");
    view->Attach();
    view->engine.FormatAll();
    view->Invalidate();

    gui::TBitmap grab;
    guitest::Grab(view, grab);
    ASSERT_EQ(grab.Width(), 300);
    TParagraph* p = view->engine.FirstParagraph();
    TLine* l = p->lines;
    int right = view->engine.XOfPosition(p, l, l->Length());
    EXPECT_GT(DarkPixels(grab, 0, l->top, right + 2, l->top + l->height), 40);
    EXPECT_EQ(DarkPixels(grab, right + 8, 0, 300, 100), 0);
    EXPECT_EQ(DarkPixels(grab, 0, l->top + l->height + 1, 300, 100), 0);
    delete form;
}

std::filesystem::path FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        std::filesystem::path p = std::filesystem::path(dir) / name;
        if (!dir.empty() && ::access(p.c_str(), X_OK) == 0) return p;
    }
    return {};
}

TEST(CanvasRendering, EnginePrintsALineWhoseTextReadsBackFromThePdf) {
    std::filesystem::path pdftotext = FindProgram("pdftotext");
    if (pdftotext.empty()) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    gui::InitApplication();
    testsupport::TempDir tmp;
    std::string pdf = (tmp / "engine.pdf").string();
    gui::TPrinter printer;
    printer.SetResolution(300);
    printer.OutputFileName = pdf;
    printer.BeginDoc();
    {
        gui::TCanvasDevice dev(printer.Canvas());
        TJDRTFTextInput t;
        t.currentAttr.size = 12;
        t.InputString("Printed through the engine");
        t.SetCanvas(&dev);
        t.SetWindowSize(printer.PageWidth(), printer.PageHeight());
        t.FormatAll();
        t.Repaint();
        t.SetCanvas(nullptr);
    }
    printer.EndDoc();

    testsupport::ChildProcess child;
    ASSERT_TRUE(child.Start({pdftotext.string(), pdf, "-"}));
    std::string text, line;
    for (int i = 0; i < 20; ++i) {
        line = child.ReadLine(5000);
        if (line.empty() && child.WaitExit(0)) break;
        text += line + "\n";
    }
    ASSERT_TRUE(child.WaitExit(5000));
    EXPECT_EQ(child.ExitCode(), 0);
    EXPECT_NE(text.find("Printed through the engine"), std::string::npos) << text;
}

// A device-dependent bitmap of a document is drawn, not a grey frame: a
// black 16 x 16 monochrome bitmap (all bits 0) fills its place with black.
TEST(CanvasRendering, DeviceDependentBitmapOfADocumentIsDrawn) {
    gui::InitApplication();
    gui::TBitmap bmp;
    White(bmp, 200, 60);
    gui::TCanvasDevice dev(bmp.Canvas());
    TJDRTFTextInput t;
    std::string rows(16 * 2 * 2, '0');
    t.LoadFromString("{\\rtf1 {\\pict\\wbitmap0\\wbmbitspixel1\\wbmplanes1\\wbmwidthbytes2\\picw16\\pich16"
                     "\\picwgoal240\\pichgoal240 " + rows + "}}");
    t.SetCanvas(&dev);
    t.SetWindowSize(200, 60);
    t.FormatAll();
    t.Repaint();
    ASSERT_EQ(t.PaintedObjects().size(), 1u);
    plat::TRect r = t.PaintedObjects()[0].rect;
    ASSERT_GE(r.Width(), 14);
    ASSERT_GE(r.Height(), 14);
    // Inside the picture every pixel is black (a frame would leave the inside white).
    EXPECT_EQ(DarkPixels(bmp, r.left + 2, r.top + 2, r.right - 2, r.bottom - 2), (r.Width() - 4) * (r.Height() - 4));
}

}  // namespace
}  // namespace richtext
