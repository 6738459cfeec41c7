// The bar's 16 x 16 icons, drawn here rather than loaded. Character styles
// keep their letter, as users know them; every action and database icon is a
// small picture, so no two icons share a shape (a letter per icon gave one
// "C" to Close and Copy and one "P" to Print and Paste). An unknown name
// gives an empty glyph.
#include <cctype>
#include <functional>
#include <map>

#include "richtext/controls/tool_bar.h"

namespace richtext {

namespace {

using gui::TCanvas;
using gui::TColor;
using gui::TPoint;
using gui::TRect;

struct TMark {
    const char* text;
    gui::TFontStyles style;
    gui::TColor color;
};

const std::map<std::string, TMark>& Letters() {
    static const std::map<std::string, TMark> marks = {
        {"NORMAL", {"A", 0, gui::clBlack}},          {"BOLD", {"B", gui::fsBold, gui::clBlack}},
        {"ITALIC", {"I", gui::fsItalic, gui::clBlack}}, {"UNDER", {"U", gui::fsUnderline, gui::clBlack}},
        {"SUPER", {"x\xB2", 0, gui::clBlack}},       {"SUB", {"x_", 0, gui::clBlack}},
        {"STRIKEOUT", {"S", gui::fsStrikeOut, gui::clBlack}}, {"HYPERLINK", {"L", gui::fsUnderline, gui::clBlue}},
        {"HIDDEN", {"H", 0, gui::clGray}},           {"RTFCODE", {"{}", 0, gui::clMaroon}}};
    return marks;
}

void Fill(TCanvas& cv, TColor c, const TRect& r) {
    cv.Brush().SetStyle(gui::bsSolid);
    cv.Brush().SetColor(c);
    cv.FillRect(r);
}

void Frame(TCanvas& cv, TColor c, const TRect& r) {
    cv.Brush().SetStyle(gui::bsSolid);
    cv.Brush().SetColor(c);
    cv.FrameRect(r);
}

void Line(TCanvas& cv, TColor c, int width, std::initializer_list<TPoint> pts) {
    cv.Pen().SetColor(c);
    cv.Pen().SetWidth(width);
    cv.Pen().SetStyle(gui::psSolid);
    cv.Polyline(std::vector<TPoint>(pts));
    cv.Pen().SetWidth(1);
}

void Shape(TCanvas& cv, TColor c, std::initializer_list<TPoint> pts) {
    cv.Pen().SetColor(c);
    cv.Pen().SetWidth(1);
    cv.Brush().SetStyle(gui::bsSolid);
    cv.Brush().SetColor(c);
    cv.Polygon(std::vector<TPoint>(pts));
}

// A sheet of paper with a folded corner and lines of text.
void Page(TCanvas& cv, int l, int t, int r, int b, bool lines = true) {
    Fill(cv, gui::clWhite, {l, t, r, b});
    Frame(cv, gui::clBlack, {l, t, r, b});
    Line(cv, gui::clBlack, 1, {{r - 4, t}, {r - 4, t + 3}, {r - 1, t + 3}});
    if (lines)
        for (int y = t + 5; y < b - 2; y += 2) Line(cv, gui::clGray, 1, {{l + 2, y}, {r - 3, y}});
}

void Printer(TCanvas& cv, int dy) {
    Page(cv, 4, 1 + dy, 12, 7 + dy, false);
    Fill(cv, gui::clGray, {1, 7 + dy, 15, 13 + dy});
    Frame(cv, gui::clBlack, {1, 7 + dy, 15, 13 + dy});
    Fill(cv, gui::clBlack, {4, 10 + dy, 12, 11 + dy});
    Fill(cv, gui::clLime, {12, 8 + dy, 14, 9 + dy});
}

void Magnifier(TCanvas& cv, int x, int y, int d) {
    cv.Brush().SetStyle(gui::bsSolid);
    cv.Brush().SetColor(gui::clWhite);
    cv.Pen().SetColor(gui::clBlack);
    cv.Pen().SetWidth(2);
    cv.Ellipse(x, y, x + d, y + d);
    cv.Pen().SetWidth(1);
    Line(cv, gui::clMaroon, 3, {{x + d - 1, y + d - 1}, {x + d + 3, y + d + 3}});
}

const std::map<std::string, std::function<void(TCanvas&)>>& Pictures() {
    using gui::clBlack, gui::clBlue, gui::clGray, gui::clGreen, gui::clMaroon, gui::clNavy, gui::clOlive,
        gui::clRed, gui::clWhite, gui::clYellow;
    static const std::map<std::string, std::function<void(TCanvas&)>> pictures = {
        {"NEW",
         [](TCanvas& cv) {
             Page(cv, 3, 2, 13, 15);
             Shape(cv, clYellow, {{1, 3}, {3, 1}, {5, 3}, {3, 5}});
             Frame(cv, clOlive, {2, 2, 5, 5});
         }},
        {"OPEN",
         [](TCanvas& cv) {
             Shape(cv, clOlive, {{1, 4}, {5, 4}, {6, 5}, {13, 5}, {13, 13}, {1, 13}});
             Shape(cv, clYellow, {{3, 8}, {15, 8}, {13, 13}, {1, 13}});
             Line(cv, clBlack, 1, {{1, 13}, {13, 13}, {15, 8}, {3, 8}, {1, 13}});
         }},
        {"SAVE",
         [](TCanvas& cv) {
             Fill(cv, clNavy, {1, 1, 15, 15});
             Fill(cv, clWhite, {4, 2, 12, 7});
             Fill(cv, clGray, {5, 10, 11, 15});
             Fill(cv, clNavy, {6, 11, 8, 14});
         }},
        {"CLOSE",
         [](TCanvas& cv) {
             Page(cv, 2, 1, 12, 15);
             Line(cv, clRed, 2, {{7, 7}, {14, 14}});
             Line(cv, clRed, 2, {{14, 7}, {7, 14}});
         }},
        {"EXIT",
         [](TCanvas& cv) {
             Fill(cv, clMaroon, {2, 1, 9, 15});
             Fill(cv, clYellow, {7, 8, 8, 9});
             Line(cv, clGreen, 2, {{8, 5}, {15, 5}});
             Shape(cv, clGreen, {{12, 2}, {15, 5}, {12, 8}});
         }},
        {"PRINT", [](TCanvas& cv) { Printer(cv, 1); }},
        {"PRINTSETUP",
         [](TCanvas& cv) {
             Printer(cv, -1);
             Fill(cv, clBlue, {1, 13, 15, 16});
             Fill(cv, clWhite, {3, 14, 5, 15});
             Fill(cv, clWhite, {9, 14, 11, 15});
         }},
        {"TOSTART",
         [](TCanvas& cv) {
             Fill(cv, clBlack, {3, 3, 5, 13});
             Shape(cv, clBlack, {{12, 3}, {12, 12}, {6, 8}});
         }},
        {"PREV", [](TCanvas& cv) { Shape(cv, clBlack, {{11, 3}, {11, 12}, {5, 8}}); }},
        {"NEXT", [](TCanvas& cv) { Shape(cv, clBlack, {{5, 3}, {5, 12}, {11, 8}}); }},
        {"TOEND",
         [](TCanvas& cv) {
             Shape(cv, clBlack, {{4, 3}, {4, 12}, {10, 8}});
             Fill(cv, clBlack, {11, 3, 13, 13});
         }},
        {"ADD",
         [](TCanvas& cv) {
             Fill(cv, clGreen, {7, 2, 10, 14});
             Fill(cv, clGreen, {2, 7, 14, 10});
         }},
        {"DEL", [](TCanvas& cv) { Fill(cv, clRed, {2, 7, 14, 10}); }},
        {"EDIT",
         [](TCanvas& cv) {
             Line(cv, clYellow, 3, {{13, 2}, {4, 11}});
             Line(cv, clBlack, 1, {{14, 3}, {5, 12}});
             Shape(cv, clBlack, {{2, 14}, {3, 10}, {6, 13}});
         }},
        {"CANCEL",
         [](TCanvas& cv) {
             Line(cv, clRed, 3, {{3, 3}, {12, 12}});
             Line(cv, clRed, 3, {{12, 3}, {3, 12}});
         }},
        {"POST", [](TCanvas& cv) { Line(cv, clGreen, 3, {{2, 8}, {6, 12}, {13, 3}}); }},
        {"SELALL",
         [](TCanvas& cv) {
             Fill(cv, clNavy, {1, 2, 15, 14});
             for (int y = 4; y < 13; y += 3) Line(cv, clWhite, 1, {{3, y}, {13, y}});
         }},
        {"HIDESEL",
         [](TCanvas& cv) {
             cv.Pen().SetStyle(gui::psDot);
             cv.Pen().SetColor(clBlack);
             cv.Brush().SetStyle(gui::bsClear);
             cv.Rectangle(1, 2, 15, 14);
             cv.Pen().SetStyle(gui::psSolid);
             for (int y = 5; y < 12; y += 3) Line(cv, clGray, 1, {{4, y}, {12, y}});
         }},
        {"CUT",
         [](TCanvas& cv) {
             Line(cv, clBlack, 1, {{5, 1}, {10, 10}});
             Line(cv, clBlack, 1, {{10, 1}, {5, 10}});
             cv.Brush().SetStyle(gui::bsClear);
             cv.Pen().SetColor(clNavy);
             cv.Pen().SetWidth(2);
             cv.Ellipse(1, 10, 7, 15);
             cv.Ellipse(9, 10, 15, 15);
             cv.Pen().SetWidth(1);
         }},
        {"COPY",
         [](TCanvas& cv) {
             Page(cv, 1, 1, 10, 11);
             Page(cv, 6, 5, 15, 15);
         }},
        {"PASTE",
         [](TCanvas& cv) {
             Fill(cv, clMaroon, {1, 2, 11, 15});
             Fill(cv, clGray, {4, 1, 8, 4});
             Page(cv, 6, 6, 15, 15);
         }},
        {"FIND", [](TCanvas& cv) { Magnifier(cv, 2, 2, 8); }},
        {"REPLACE",
         [](TCanvas& cv) {
             Frame(cv, clBlack, {1, 1, 7, 7});
             Fill(cv, clBlue, {9, 9, 15, 15});
             Line(cv, clBlack, 1, {{4, 8}, {4, 12}, {7, 12}});
             Shape(cv, clBlack, {{7, 10}, {9, 12}, {7, 14}});
         }},
        {"SPELL",
         [](TCanvas& cv) {
             cv.Brush().SetStyle(gui::bsClear);
             cv.Font().SetName("Arial");
             cv.Font().SetHeight(-8);
             cv.Font().SetStyle(0);
             cv.Font().SetColor(clBlack);
             cv.TextOut(1, 0, "abc");
             Line(cv, clGreen, 2, {{4, 12}, {7, 15}, {14, 8}});
         }},
    };
    return pictures;
}

}  // namespace

void JDToolIconGlyph(const std::string& resource, gui::TBitmap& bmp) {
    bmp.SetSize(0, 0);
    std::string key = resource;
    for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (key.rfind("JDI_", 0) != 0) return;
    key = key.substr(4);
    const bool align = key == "LEFT" || key == "CENTER" || key == "RIGHT" || key == "JUSTIFIED";
    auto letter = Letters().find(key);
    auto picture = Pictures().find(key);
    if (!align && letter == Letters().end() && picture == Pictures().end()) return;
    bmp.SetSize(16, 16);
    gui::TCanvas& cv = bmp.Canvas();
    cv.Brush().SetColor(gui::clBtnFace);
    cv.FillRect({0, 0, 16, 16});
    if (align) {
        // Lines of text as the alignment sets them.
        cv.Brush().SetColor(gui::clBlack);
        for (int row = 0; row < 5; ++row) {
            int len = (row % 2) ? 9 : 13;
            if (key == "JUSTIFIED") len = 13;
            int x = key == "LEFT" || key == "JUSTIFIED" ? 1 : key == "RIGHT" ? 15 - len : (16 - len) / 2;
            cv.FillRect({x, 2 + row * 3, x + len, 3 + row * 3});
        }
        return;
    }
    if (picture != Pictures().end()) {
        picture->second(cv);
        return;
    }
    const TMark& m = letter->second;
    cv.Brush().SetStyle(gui::bsClear);
    cv.Font().SetName("Arial");
    cv.Font().SetHeight(std::string(m.text).size() > 2 ? -9 : -13);
    cv.Font().SetStyle(m.style);
    cv.Font().SetColor(m.color);
    int w = cv.TextWidth(m.text), h = cv.TextHeight(m.text);
    cv.TextOut((16 - w) / 2, (16 - h) / 2, m.text);
}

}  // namespace richtext
