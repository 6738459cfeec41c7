// A small form with the layer's simple controls, for looking at by eye.
// With --screenshot FILE it paints itself into FILE (PNG) and exits.
#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"
#include "platform/gui/std_controls.h"

#include <cstring>
#include <string>

using namespace gui;

namespace {

// A custom control that paints a framed, centred text and counts clicks.
class TFramedText : public TCustomControl {
public:
    explicit TFramedText(TComponent* owner) : TCustomControl(owner) { SetColor(clWindow); }
    int clicks = 0;

protected:
    void Paint() override {
        TCanvas& c = Canvas();
        c.Brush().SetColor(Color());
        c.FillRect(ClientRect());
        c.Brush().SetColor(clNavy);
        c.FrameRect(ClientRect());
        TRect r = ClientRect();
        c.Brush().SetStyle(bsClear);
        c.Font().SetColor(clNavy);
        std::string text = "Custom control: " + std::to_string(clicks) + " clicks";
        DrawText(c, text, r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    void MouseDown(TMouseButton b, TShiftState s, int x, int y) override {
        ++clicks;
        Invalidate();
        TCustomControl::MouseDown(b, s, x, y);
    }
};

}  // namespace

int main(int argc, char** argv) {
    InitApplication(argc, argv);
    std::string screenshot;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--screenshot") == 0) screenshot = argv[i + 1];

    Application->SetTitle("Tavrin GUI demo");
    auto* form = new TForm(Application);
    form->SetCaption("Tavrin GUI demo");
    form->SetBounds(100, 100, 420, 320);
    form->Position = poScreenCenter;

    auto* top = new TPanel(form);
    top->SetParent(form);
    top->SetAlign(alTop);
    top->SetHeight(36);
    top->SetCaption("A panel aligned to the top");

    auto* status = new TPanel(form);
    status->SetParent(form);
    status->SetAlign(alBottom);
    status->SetHeight(22);
    status->SetBevelOuter(bvLowered);
    status->SetAlignment(taLeftJustify);
    status->SetCaption(" Ready");

    auto* label = new TLabel(form);
    label->SetParent(form);
    label->SetBounds(12, 48, 100, 16);
    label->SetCaption("&Label with an accelerator");

    auto* bevel = new TBevel(form);
    bevel->SetParent(form);
    bevel->SetBounds(12, 70, 388, 2);
    bevel->SetShape(bsTopLine);

    auto* custom = new TFramedText(form);
    custom->SetParent(form);
    custom->SetBounds(12, 82, 250, 60);

    auto* shape = new TShape(form);
    shape->SetParent(form);
    shape->SetBounds(276, 82, 60, 60);
    shape->SetShape(stEllipse);
    shape->Brush().SetColor(clYellow);

    auto* square = new TShape(form);
    square->SetParent(form);
    square->SetBounds(344, 82, 56, 56);
    square->Brush().SetColor(clTeal);

    auto* box = new TPaintBox(form);
    box->SetParent(form);
    box->SetBounds(12, 152, 190, 100);
    box->OnPaint = [box](TObject*) {
        TCanvas& c = box->Canvas();
        c.Brush().SetColor(clWhite);
        c.Rectangle(0, 0, box->Width(), box->Height());
        c.Pen().SetColor(clRed);
        for (int i = 0; i < 5; ++i) {
            c.MoveTo(10, 10 + i * 18);
            c.LineTo(180, 90 - i * 18);
        }
        c.Brush().SetStyle(bsClear);
        c.TextOut(8, 80, "TPaintBox");
    };

    auto* image = new TImage(form);
    image->SetParent(form);
    image->SetBounds(214, 152, 96, 96);
    TBitmap& bmp = image->Picture().Bitmap();
    bmp.SetSize(96, 96);
    for (int y = 0; y < 96; y += 12)
        for (int x = 0; x < 96; x += 12) {
            bmp.Canvas().Brush().SetColor(((x + y) / 12) % 2 ? clBlue : clWhite);
            bmp.Canvas().FillRect(Bounds(x, y, 12, 12));
        }

    auto* inner = new TPanel(form);
    inner->SetParent(form);
    inner->SetBounds(320, 152, 80, 96);
    inner->SetBevelInner(bvLowered);
    inner->SetBevelWidth(2);
    inner->SetCaption("Bevels");

    Application->CreateForm(form);
    form->Show();
    if (!screenshot.empty()) {
        guitest::ProcessEvents(200);
        bool ok = guitest::SaveGrab(form, screenshot);
        DoneApplication();
        return ok ? 0 : 1;
    }
    Application->Run();
    DoneApplication();
    return 0;
}
