#include "helpbuild/ui/compile_form.h"

namespace buildui {

using namespace gui;

namespace {

// A small robed figure with one arm raised; the two pictures differ in the arm.
void DrawFigure(TImage* image, bool leftArm) {
    TCanvas& c = image->ImageCanvas();
    c.Brush().SetColor(clSilver);
    c.FillRect({0, 0, 84, 61});
    c.Pen().SetColor(clBlack);
    c.Brush().SetColor(clMaroon);
    c.Polygon({{42, 18}, {58, 58}, {26, 58}});  // robe
    c.Brush().SetColor(RGB(240, 200, 160));
    c.Ellipse(35, 4, 49, 18);                    // head
    c.Pen().SetWidth(3);
    c.Pen().SetColor(clMaroon);
    if (leftArm) {
        c.MoveTo(38, 26);
        c.LineTo(22, 10);
        c.MoveTo(46, 26);
        c.LineTo(56, 40);
    } else {
        c.MoveTo(46, 26);
        c.LineTo(62, 10);
        c.MoveTo(38, 26);
        c.LineTo(28, 40);
    }
    c.Pen().SetWidth(1);
}

}  // namespace

TCompileForm::TCompileForm(TComponent* owner, bool* cancelFlag)
    : TForm(owner), cancel_(cancelFlag ? cancelFlag : &ownCancel_) {
    // Borderless first, so the client size set next is the window's.
    SetBorderStyle(bsNone);
    SetClientSize(271, 170);
    SetColor(clSilver);
    SetFormStyle(fsStayOnTop);
    Position = poScreenCenter;

    pnlStatus = new TPanel(this);
    pnlStatus->SetParent(this);
    pnlStatus->SetName("pnlStatus");
    pnlStatus->SetBounds(8, 8, 255, 25);
    pnlStatus->SetBevelOuter(bvLowered);
    pnlStatus->Font().SetName("MS Sans Serif");
    pnlStatus->Font().SetSize(8);
    pnlStatus->Font().SetStyle(fsBold);
    pnlStatus->SetCaption("Loading Tavrin, Please wait...");

    imgMonkLeft = new TImage(this);
    imgMonkLeft->SetParent(this);
    imgMonkLeft->SetName("imgMonkLeft");
    imgMonkLeft->SetBounds(93, 39, 84, 61);
    DrawFigure(imgMonkLeft, true);
    imgMonkRight = new TImage(this);
    imgMonkRight->SetParent(this);
    imgMonkRight->SetName("imgMonkRight");
    imgMonkRight->SetBounds(93, 39, 84, 61);
    DrawFigure(imgMonkRight, false);
    imgMonkRight->SetVisible(false);

    W95Meter1 = new misc::TW95Meter(this);
    W95Meter1->SetParent(this);
    W95Meter1->SetName("W95Meter1");
    W95Meter1->SetBounds(10, 106, 250, 20);
    W95Meter1->SetSegmentWidth(7);

    Button1 = new TButton(this);
    Button1->SetParent(this);
    Button1->SetName("Button1");
    Button1->SetCaption("&Cancel");
    Button1->SetBounds(98, 136, 75, 25);
    Button1->OnClick = [this](TObject* s) { Button1Click(s); };

    Timer1 = new TTimer(this);
    Timer1->SetName("Timer1");
    Timer1->SetInterval(500);
    Timer1->SetOnTimer([this](TObject* s) { Timer1Timer(s); });

    // Releasing the right mouse button on the form closes it.
    OnMouseUp = [this](TObject*, TMouseButton button, TShiftState, int, int) {
        if (button == mbRight) Close();
    };
    OnActivate = [this](TObject*) { Repaint(); };
}

void TCompileForm::Timer1Timer(TObject*) {
    const bool left = imgMonkLeft->Visible();
    imgMonkRight->SetVisible(left);
    imgMonkLeft->SetVisible(!left);
}

void TCompileForm::Button1Click(TObject*) {
    ProcessMessages();
    Button1->SetCaption("Hold on...");
    *cancel_ = true;
}

void TCompileForm::SetStatus(const std::string& text) { pnlStatus->SetCaption(text); }

void TCompileForm::SetPercent(int percent) { W95Meter1->SetPercent(percent); }

void TCompileForm::Show() { TForm::Show(); }

void TCompileForm::ProcessMessages() {
    if (Application) Application->ProcessMessages();
}

std::function<std::unique_ptr<build::IProgress>()> CompileFormFactory(bool* cancelFlag) {
    return [cancelFlag]() -> std::unique_ptr<build::IProgress> {
        return std::make_unique<TCompileForm>(Application, cancelFlag);
    };
}

}  // namespace buildui
