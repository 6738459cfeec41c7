// Shows the paragraph dialogs, the table picker and a form with a rich-text
// label over a wallpaper:
//   rtf_dialogs_demo [--screenshot DIR]
// With --screenshot one PNG per form is written into DIR and the program ends.
#include <cstring>
#include <string>

#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"
#include "richtext/controls/paragraph_dialogs.h"
#include "richtext/controls/rtf_label.h"

using namespace gui;
using namespace richtext;

namespace {

bool Shot(TForm* form, const std::string& dir, const std::string& name) {
    form->Show();
    guitest::ProcessEvents(200);
    return dir.empty() || guitest::SaveGrab(form, dir + "/" + name);
}

// A small checked paper in two soft colours.
void MakePaper(TBitmap& b) {
    b.SetSize(24, 24);
    TCanvas& c = b.Canvas();
    c.Brush().SetColor(static_cast<TColor>(0xF4EDE4));
    c.FillRect(Rect(0, 0, 24, 24));
    c.Brush().SetColor(static_cast<TColor>(0xE8D8C8));
    c.FillRect(Rect(0, 0, 12, 12));
    c.FillRect(Rect(12, 12, 24, 24));
}

}  // namespace

int main(int argc, char** argv) {
    InitApplication(argc, argv);
    std::string dir;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--screenshot") == 0) dir = argv[i + 1];
    Application->SetTitle("Paragraph and table dialogs");

    // The editor the dialogs work on, its first paragraph already formatted.
    auto* main = new TForm(Application);
    main->SetCaption("Rich-text label and wallpaper");
    main->SetBounds(100, 100, 460, 300);
    auto* wall = new TJDWallPaper(main);
    wall->SetParent(main);
    wall->SetAlign(alClient);
    TPicture paper;
    MakePaper(paper.Bitmap());
    wall->SetPicture(paper);
    wall->SetLeftOffset(6);
    auto* label = new TJDRichTextLabel(main);
    label->SetParent(main);
    label->SetBounds(16, 16, 420, 120);
    label->SetTransparent(true);
    label->SetText(
        "{\\rtf1{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red0\\green0\\blue128;}\\f0\\fs28\\b Welcome\\b0\\par"
        "\\fs20 This label shows {\\i formatted} text over the wallpaper; a click on "
        "{\\uldb\\cf1 the project settings}{\\v settings} follows the link.\\par}");
    auto* edit = new TJDCustomRtfEdit(main);
    edit->SetParent(main);
    edit->SetBounds(16, 150, 420, 100);
    edit->SetText("{\\rtf1 A paragraph with a border and indents.\\par Another paragraph.\\par}");
    edit->SetCPPosition(0);
    edit->SetParagraphBorder(0x40, 1, 0, 2);
    edit->SetParagraphIndents(360, 720, 360);
    Application->CreateForm(main);
    bool ok = Shot(main, dir, "label_wallpaper.png");

    auto* border = new TJDParagraphBord(Application, edit);
    ok = Shot(border, dir, "border.png") && ok;
    auto* prop = new TJDParagraphProp(Application, edit);
    ok = Shot(prop, dir, "paragraph.png") && ok;
    auto* pick = new TJDTableSelect(Application);
    if (!dir.empty()) {
        // The picture shows a pick of three rows and four columns under way.
        pick->Show();
        const int c = pick->CellSize();
        guitest::MouseDown(pick->Box, {c, c});
        guitest::MouseMove(pick->Box, {4 * c, 3 * c});
    }
    ok = Shot(pick, dir, "table_picker.png") && ok;
    if (!dir.empty()) {
        DoneApplication();
        return ok ? 0 : 1;
    }
    Application->Run();
    DoneApplication();
    return 0;
}
