// Demo forms of the date and button controls and of the small controls: a
// date edit with its calendar dropped down, the date dialog, and a form with
// a splitter, meters, handles, panels and speed buttons.

#include "controls/dates/pick_date.h"
#include "controls/dates/tool_edit.h"
#include "controls/dates/zb_ctrls.h"
#include "controls/demo/demo_forms.h"
#include "controls/misc/handles.h"
#include "controls/misc/small_controls.h"
#include "platform/core/datetime.h"
#include "platform/gui/gui_test_harness.h"
#include "platform/gui/std_controls.h"


#include <cstdio>

namespace {

using namespace gui;

bool Report(bool ok, const std::string& file) {
    std::printf("%s %s\n", ok ? "wrote" : "could not write", file.c_str());
    return ok;
}

// The form with a drop-down drawn where it floats over it: the pop-up is a
// window of its own, so a grab of the form alone would miss it.
bool SaveWithPopup(TForm* form, TWinControl* popup, const std::string& file) {
    guitest::ProcessEvents(50);
    return Report(demo::SaveWithFloatingWindow(form, popup, file), file);
}

TLabel* Caption(TForm* form, int x, int y, const std::string& text) {
    auto* l = new TLabel(form);
    l->SetParent(form);
    l->SetBounds(x, y, 200, 16);
    l->SetCaption(text);
    return l;
}

int DatesForm(const std::string& out) {
    auto* form = new TForm(Application);
    form->SetCaption("Date edit");
    form->SetClientSize(300, 200);
    form->SetColor(clBtnFace);
    Caption(form, 10, 10, "Due date:");
    auto* edit = new zb::TDateEdit(form);
    edit->SetParent(form);
    edit->SetBounds(120, 8, 121, 21);
    edit->SetDate(plat::EncodeDate(1999, 8, 13));
    auto* other = new zb::TDateEdit(form);
    other->SetParent(form);
    other->SetBounds(120, 160, 121, 21);
    other->SetCalendarStyle(zb::csDialog);
    Caption(form, 10, 162, "Dialog style:");
    form->Show();
    edit->SetFocus();
    edit->ShowPopup();
    int code = SaveWithPopup(form, edit->Popup(), out + "/dates.png") ? 0 : 1;
    edit->HidePopup(false);

    zb::TSelectDateDlg dlg(nullptr);
    dlg.Calendar()->SetCalendarDate(plat::EncodeDate(1999, 8, 13));
    dlg.Show();
    guitest::ProcessEvents(50);
    if (!Report(guitest::SaveGrab(&dlg, out + "/datedialog.png"), out + "/datedialog.png")) code = 1;
    dlg.Hide();
    return code;
}

std::unique_ptr<TBitmap> Tile() {
    auto b = std::make_unique<TBitmap>(8, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) b->Canvas().SetPixel(x, y, (x + y) % 4 < 2 ? RGB(200, 220, 240) : RGB(170, 190, 230));
    return b;
}

int SmallForm(const std::string& out) {
    auto* form = new TForm(Application);
    form->SetCaption("Small controls");
    form->SetClientSize(460, 300);
    form->SetColor(clBtnFace);

    auto* split = new misc::TTwoWaySplitter(form);
    split->SetParent(form);
    split->SetBounds(10, 10, 200, 120);
    split->SetBevelOuter(bvLowered);
    split->SetBarPosition(40);
    for (const char* text : {"Left pane", "Right pane"}) {
        auto* pane = new TPanel(form);
        pane->SetParent(split);
        pane->SetCaption(text);
        pane->SetColor(clWindow);
    }
    split->ArrangePanes();

    Caption(form, 220, 10, "Meters (60%, 25%):");
    auto* meter = new misc::TW95Meter(form);
    meter->SetParent(form);
    meter->SetBounds(220, 30, 200, 18);
    meter->SetPercent(60);
    auto* upright = new misc::TW95Meter(form);
    upright->SetParent(form);
    upright->SetBounds(430, 10, 20, 120);
    upright->SetPercent(25);
    upright->SetEdgeStyle(misc::st95Raised);

    auto* shadow = new misc::TShadowPanel(form);
    shadow->SetParent(form);
    shadow->SetBounds(220, 60, 90, 50);
    shadow->SetCaption("Shadow");

    auto* bkgd = new misc::TBkgdPanel(form);
    bkgd->SetParent(form);
    bkgd->SetBounds(10, 145, 200, 60);
    bkgd->Background().Assign(*Tile());
    bkgd->SetBevelInner(bvLowered);

    auto* target = new TPanel(form);
    target->SetParent(form);
    target->SetBounds(240, 150, 100, 50);
    target->SetCaption("Sized");
    auto* handle = new misc::TStretchHandle(form);
    handle->Attach(target);

    auto* image = new misc::TTransImage(form);
    image->SetParent(form);
    image->SetBounds(370, 150, 40, 40);
    TBitmap pic(32, 32);
    pic.Canvas().Brush().SetColor(clWhite);
    pic.Canvas().FillRect(Rect(0, 0, 32, 32));
    pic.Canvas().Brush().SetColor(clRed);
    pic.Canvas().Ellipse(2, 2, 30, 30);
    image->Center = true;
    image->Bitmap().Assign(pic);

    const char* captions[] = {"Bold", "Italic", "Menu"};
    for (int i = 0; i < 3; ++i) {
        auto* b = new zb::TZbSpeedButton(form);
        b->SetParent(form);
        b->SetBounds(10 + i * 62, 230, 60, 25);
        b->SetCaption(captions[i]);
        b->SetLayout(blGlyphLeft);
        if (i < 2) b->SetGroupIndex(1);
        if (i == 0) b->SetDown(true);
    }
    auto* menu = new TPopupMenu(form);
    static_cast<zb::TZbSpeedButton*>(form->Controls(form->ControlCount() - 1))->SetDropDownMenu(menu);
    auto* flat = new zb::TZbSpeedButton(form);
    flat->SetParent(form);
    flat->SetBounds(200, 230, 60, 25);
    flat->SetCaption("Flat");
    flat->SetFlat(true);
    auto* off = new zb::TZbSpeedButton(form);
    off->SetParent(form);
    off->SetBounds(264, 230, 60, 25);
    off->SetCaption("Disabled");
    off->SetEnabled(false);

    form->Show();
    guitest::ProcessEvents(50);
    return Report(guitest::SaveGrab(form, out + "/small.png"), out + "/small.png") ? 0 : 1;
}

const demo::DemoRegistration kDates{{"dates", "a date edit with its calendar open, and the date dialog", DatesForm}};
const demo::DemoRegistration kSmall{{"small", "splitter, meters, handles, panels and speed buttons", SmallForm}};

}  // namespace
