#include "editor/forms/main_resources.h"

#include "platform/core/streams.h"
#include "platform/gui/forms.h"
#include "platform/gui/program_resources.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace editor {

namespace {

using gui::TBitmap;
using gui::TCanvas;
using gui::TColor;

std::unique_ptr<TBitmap> Glyph(int w, int h, const std::function<void(TCanvas&)>& draw) {
    auto b = std::make_unique<TBitmap>(w, h);
    TCanvas& c = b->Canvas();
    c.Brush().SetColor(kGlyphTransparent);
    c.FillRect(gui::TRect{0, 0, w, h});
    draw(c);
    return b;
}

void Page(TCanvas& c, TColor paper, TColor ink) {
    c.Pen().SetColor(gui::clBlack);
    c.Brush().SetColor(paper);
    c.Rectangle(3, 1, 12, 14);
    c.Pen().SetColor(ink);
    for (int y = 4; y <= 11; y += 2) {
        c.MoveTo(5, y);
        c.LineTo(10, y);
    }
}

// A pointer: a white triangle with a black edge, its tip at 0,0.
void Arrow(TCanvas& c) {
    for (int y = 0; y <= 10; ++y) {
        const int w = y < 8 ? y : 7;
        for (int x = 0; x <= w; ++x) c.SetPixel(x, y, x == 0 || x == w || y == 10 ? gui::clBlack : gui::clWhite);
    }
}

}  // namespace

void RegisterMainWindowResources() {
    auto add = [](const char* name, const std::unique_ptr<TBitmap>& b) {
        if (!gui::FindResource(gui::HInstance(), name, gui::RT_BITMAP)) gui::RegisterBitmapResource(name, *b);
    };
    // Topic: a page with lines; popup: a yellow note.
    add("BITMAP_1", Glyph(15, 15, [](TCanvas& c) { Page(c, gui::clWhite, gui::clNavy); }));
    add("BITMAP_2", Glyph(15, 15, [](TCanvas& c) { Page(c, 0x80FFFF, gui::clMaroon); }));
    // Contents heading: a closed book; contents entry: a page with a "?".
    add("BITMAP_3", Glyph(15, 15, [](TCanvas& c) {
            c.Pen().SetColor(gui::clBlack);
            c.Brush().SetColor(gui::clNavy);
            c.Rectangle(2, 2, 12, 14);
            c.Pen().SetColor(gui::clWhite);
            c.MoveTo(4, 3);
            c.LineTo(4, 13);
        }));
    add("BITMAP_4", Glyph(15, 15, [](TCanvas& c) {
            Page(c, gui::clWhite, gui::clWhite);
            c.Font().SetSize(7);
            c.Font().SetColor(gui::clNavy);
            c.Brush().SetStyle(gui::bsClear);
            c.TextOut(5, 2, "?");
        }));
    add("CURSOR_1", Glyph(32, 32, [](TCanvas& c) {
            Arrow(c);
            c.Pen().SetColor(gui::clBlack);
            c.Brush().SetColor(gui::clWhite);
            c.Rectangle(10, 14, 20, 26);
        }));
    add("CURSOR_2", Glyph(32, 32, [](TCanvas& c) {
            Arrow(c);
            c.Pen().SetColor(gui::clGreen);
            c.MoveTo(10, 22);
            c.LineTo(22, 22);
            c.MoveTo(10, 23);
            c.LineTo(22, 23);
        }));
}

bool LoadProgramBitmap(const std::string& name, gui::TBitmap& into) {
    return gui::LoadBitmapResource(gui::HInstance(), name, into);
}

bool LoadMainWindowCursors() {
    bool ok = true;
    for (int n : {1, 2}) {
        TBitmap picture;
        if (!LoadProgramBitmap("CURSOR_" + std::to_string(n), picture)) {
            ok = false;
            continue;
        }
        picture.SetTransparentColor(kGlyphTransparent);
        gui::Screen->SetCursorImage(n, picture, gui::TPoint{0, 0});
    }
    return ok;
}

}  // namespace editor
