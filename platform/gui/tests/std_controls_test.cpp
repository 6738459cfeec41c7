// The simple controls: sizes, layout and what they paint.
#include "gui_fixture.h"

#include "platform/gui/std_controls.h"

namespace guitest {
namespace {

using namespace gui;

class StdControls : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        form->Show();
    }
    TBitmap img;
};

TEST_F(StdControls, LabelSizesItselfToItsCaptionAndPaintsIt) {
    auto* label = new TLabel(form);
    label->SetParent(form);
    label->SetLeft(10);
    label->SetCaption("Short");
    int w1 = label->Width();
    label->SetCaption("A much longer caption");
    EXPECT_GT(label->Width(), w1);
    TCanvas measure;
    measure.Font().Assign(label->Font());
    EXPECT_EQ(label->Width(), measure.TextWidth("A much longer caption"));
    EXPECT_EQ(label->Height(), measure.TextHeight("A"));
    label->SetAutoSize(false);
    label->SetCaption("x");
    EXPECT_EQ(label->Width(), measure.TextWidth("A much longer caption"));
    label->SetColor(clYellow);
    Grab(label, img);
    EXPECT_EQ(img.Canvas().Pixel(label->Width() - 1, 0), clYellow);
    int ink = 0;
    for (int x = 0; x < 10; ++x)
        for (int y = 0; y < label->Height(); ++y) ink += img.Canvas().Pixel(x, y) != clYellow;
    EXPECT_GT(ink, 0);
}

TEST_F(StdControls, AltAndTheLabelsAcceleratorFocusItsControl) {
    auto* first = new Recorder(form);
    first->SetParent(form);
    first->SetTabStop(true);
    auto* target = new Recorder(form);
    target->SetParent(form);
    target->SetBounds(0, 50, 50, 20);
    auto* label = new TLabel(form);
    label->SetParent(form);
    label->SetCaption("&Name && more");
    label->SetFocusControl(target);
    first->SetFocus();
    SendKey(first, 'X', ssAlt);  // not the accelerator
    EXPECT_EQ(form->ActiveControl(), first);
    SendKey(first, 'N', ssAlt);
    EXPECT_EQ(form->ActiveControl(), target);
    EXPECT_TRUE(IsAccel('n', "&Name"));
    EXPECT_FALSE(IsAccel('m', "&&more"));
    // The link is weak: freeing the control clears it.
    delete target;
    EXPECT_EQ(label->FocusControl(), nullptr);
    first->SetFocus();
    SendKey(first, 'N', ssAlt);
    EXPECT_EQ(form->ActiveControl(), first);
}

TEST_F(StdControls, LabelFollowsItsParentsColourUntilGivenOne) {
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    auto* label = new TLabel(form);
    label->SetParent(panel);
    EXPECT_EQ(label->Color(), panel->Color());
    panel->SetColor(clTeal);
    EXPECT_EQ(label->Color(), clTeal);
    label->SetColor(clRed);
    panel->SetColor(clBlue);
    EXPECT_EQ(label->Color(), clRed);
}

TEST_F(StdControls, PanelBevelsAreLightTopLeftAndDarkBottomRight) {
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    panel->SetBounds(0, 0, 50, 30);
    Grab(panel, img);
    TCanvas& c = img.Canvas();
    EXPECT_EQ(c.Pixel(0, 0), clWhite);      // raised outer bevel: highlight
    EXPECT_EQ(c.Pixel(49, 29), clGray);     // shadow
    EXPECT_EQ(c.Pixel(25, 15), clSilver);   // face
    panel->SetBevelOuter(bvLowered);
    Grab(panel, img);
    EXPECT_EQ(img.Canvas().Pixel(0, 0), clGray);
    EXPECT_EQ(img.Canvas().Pixel(49, 29), clWhite);
    panel->SetBorderStyle(bsSingle);
    Grab(panel, img);
    EXPECT_EQ(img.Canvas().Pixel(0, 0), clBlack);
    EXPECT_EQ(panel->AdjustClientRect(), Rect(2, 2, 48, 28));
}

TEST_F(StdControls, BevelLinesAndShapes) {
    auto* bevel = new TBevel(form);
    bevel->SetParent(form);
    bevel->SetBounds(10, 10, 40, 10);
    bevel->SetShape(bsTopLine);
    Grab(bevel, img);
    EXPECT_EQ(img.Canvas().Pixel(20, 0), clGray);
    EXPECT_EQ(img.Canvas().Pixel(20, 1), clWhite);
    EXPECT_EQ(img.Canvas().Pixel(20, 5), clSilver);  // the form shows through
    bevel->SetStyle(bsRaised);
    Grab(bevel, img);
    EXPECT_EQ(img.Canvas().Pixel(20, 0), clWhite);

    auto* shape = new TShape(form);
    shape->SetParent(form);
    shape->SetBounds(60, 10, 40, 20);
    shape->SetShape(stCircle);
    shape->Brush().SetColor(clLime);
    Grab(shape, img);
    EXPECT_EQ(img.Canvas().Pixel(20, 10), clLime);   // centre
    EXPECT_EQ(img.Canvas().Pixel(2, 10), clSilver);  // left of the circle: background
    EXPECT_EQ(img.Canvas().Pixel(0, 0), clSilver);
}

TEST_F(StdControls, PaintBoxAndImagePaintWhatTheyHold) {
    auto* box = new TPaintBox(form);
    box->SetParent(form);
    box->SetBounds(0, 0, 30, 30);
    int paints = 0;
    box->OnPaint = [&](TObject*) {
        ++paints;
        box->Canvas().Brush().SetColor(clRed);
        box->Canvas().FillRect(Rect(0, 0, 10, 10));
    };
    Grab(box, img);
    EXPECT_GT(paints, 0);
    EXPECT_EQ(img.Canvas().Pixel(5, 5), clRed);
    EXPECT_EQ(img.Canvas().Pixel(15, 15), clSilver);
    // Canvas coordinates are the box's own, clipped to it.
    box->SetLeft(40);
    Grab(box, img);
    EXPECT_EQ(img.Canvas().Pixel(5, 5), clRed);

    auto* image = new TImage(form);
    image->SetParent(form);
    image->SetBounds(100, 0, 40, 40);
    TBitmap& b = image->Picture().Bitmap();
    b.SetSize(4, 4);
    b.Canvas().Brush().SetColor(clBlue);
    b.Canvas().FillRect(Rect(0, 0, 4, 4));
    Grab(image, img);
    EXPECT_EQ(img.Canvas().Pixel(3, 3), clBlue);
    EXPECT_EQ(img.Canvas().Pixel(10, 10), clSilver);
    image->SetStretch(true);
    Grab(image, img);
    EXPECT_EQ(img.Canvas().Pixel(35, 35), clBlue);
    image->SetStretch(false);
    image->SetAutoSize(true);
    b.SetSize(8, 6);
    EXPECT_EQ(image->Width(), 8);
    EXPECT_EQ(image->Height(), 6);
}

}  // namespace
}  // namespace guitest
