#include <gtest/gtest.h>

#include <QGuiApplication>

#include <cstdlib>
#include <QImage>

#include "platform/gdi/qt_device.h"
#include "richtext/view/text_input.h"

namespace richtext {
namespace {

// One application for the whole run, freed at its end so leak checks stay quiet.
class QtApp : public ::testing::Environment {
public:
    void TearDown() override {
        delete QGuiApplication::instance();
    }
};
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new QtApp);

void EnsureApp() {
    static int argc = 1;
    static char name[] = "richtext_layout_qt_tests";
    static char* argv[] = {name, nullptr};
    // Started from a shell without a display: offscreen unless one is chosen.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (!QGuiApplication::instance()) new QGuiApplication(argc, argv);
}

int DarkPixels(const QImage& img, int left, int top, int right, int bottom) {
    int n = 0;
    for (int y = std::max(top, 0); y < std::min(bottom, img.height()); ++y)
        for (int x = std::max(left, 0); x < std::min(right, img.width()); ++x)
            if (qGray(img.pixel(x, y)) < 128) ++n;
    return n;
}

TEST(QtRendering, ShortDocumentDrawsTextInItsLineBoxes) {
    EnsureApp();
    QImage img(300, 120, QImage::Format_RGB32);
    img.fill(Qt::white);
    plat::TQtDevice dev(&img, 96, 96);
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
    EXPECT_GT(DarkPixels(img, 0, l1->top, r1 + 2, l1->top + l1->height), 30);
    EXPECT_GT(DarkPixels(img, 0, l2->top, r2 + 2, l2->top + l2->height), 60);
    EXPECT_EQ(DarkPixels(img, r1 + 10, l1->top, 300, l1->top + l1->height), 0);
    EXPECT_EQ(DarkPixels(img, 0, l2->top + l2->height + 1, 300, 120), 0);
    // Line 2 is wider than line 1, as its text is longer.
    EXPECT_GT(r2, r1);
}

TEST(QtRendering, SelectionPaintsTheHighlight) {
    EnsureApp();
    QImage img(200, 40, QImage::Format_RGB32);
    img.fill(Qt::white);
    plat::TQtDevice dev(&img, 96, 96);
    TJDRTFTextInput t;
    t.SetCanvas(&dev);
    t.SetWindowSize(200, 40);
    t.InputString("abcdef");
    t.SetSelPosLen(0, 3);
    t.Repaint();
    int x = t.XOfPosition(t.FirstParagraph(), t.FirstParagraph()->lines, 1);
    QColor c(img.pixel(x, 1));
    EXPECT_EQ(c, QColor(0x0A, 0x24, 0x6A));  // highlight COLORREF 0x6A240A
}

// A device-dependent bitmap of a document is drawn, not a grey frame: a
// black 16 x 16 monochrome bitmap (all bits 0) fills its place with black.
TEST(QtRendering, DeviceDependentBitmapOfADocumentIsDrawn) {
    EnsureApp();
    QImage img(200, 60, QImage::Format_RGB32);
    img.fill(Qt::white);
    plat::TQtDevice dev(&img, 96, 96);
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
    EXPECT_EQ(DarkPixels(img, r.left + 2, r.top + 2, r.right - 2, r.bottom - 2), (r.Width() - 4) * (r.Height() - 4));
}

}  // namespace
}  // namespace richtext
