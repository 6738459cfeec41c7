// The bar's 16 x 16 icons, drawn here rather than loaded: a short mark per
// icon on a transparent-looking face. An unknown name gives an empty glyph.
#include <cctype>
#include <map>

#include "richtext/controls/tool_bar.h"

namespace richtext {

namespace {

struct TMark {
    const char* text;
    gui::TFontStyles style;
    gui::TColor color;
};

const std::map<std::string, TMark>& Marks() {
    static const std::map<std::string, TMark> marks = {
        {"NORMAL", {"N", 0, gui::clBlack}},       {"BOLD", {"B", gui::fsBold, gui::clBlack}},
        {"ITALIC", {"I", gui::fsItalic, gui::clBlack}}, {"UNDER", {"U", gui::fsUnderline, gui::clBlack}},
        {"SUPER", {"x\xB2", 0, gui::clBlack}},    {"SUB", {"x_", 0, gui::clBlack}},
        {"STRIKEOUT", {"S", gui::fsStrikeOut, gui::clBlack}}, {"HYPERLINK", {"L", gui::fsUnderline, gui::clBlue}},
        {"HIDDEN", {"H", 0, gui::clGray}},        {"RTFCODE", {"{}", 0, gui::clMaroon}},
        {"LEFT", {"=", 0, gui::clBlack}},         {"CENTER", {"=", 0, gui::clBlack}},
        {"JUSTIFIED", {"=", 0, gui::clBlack}},    {"RIGHT", {"=", 0, gui::clBlack}},
        {"NEW", {"N", 0, gui::clNavy}},           {"OPEN", {"O", 0, gui::clOlive}},
        {"SAVE", {"S", 0, gui::clNavy}},          {"CLOSE", {"C", 0, gui::clMaroon}},
        {"EXIT", {"X", 0, gui::clRed}},           {"PRINT", {"P", 0, gui::clBlack}},
        {"PRINTSETUP", {"Ps", 0, gui::clBlack}},  {"TOSTART", {"|<", 0, gui::clBlack}},
        {"PREV", {"<", 0, gui::clBlack}},         {"NEXT", {">", 0, gui::clBlack}},
        {"TOEND", {">|", 0, gui::clBlack}},       {"ADD", {"+", 0, gui::clGreen}},
        {"DEL", {"-", 0, gui::clRed}},            {"EDIT", {"E", 0, gui::clBlack}},
        {"CANCEL", {"x", 0, gui::clRed}},         {"POST", {"v", 0, gui::clGreen}},
        {"SELALL", {"A", 0, gui::clBlack}},       {"HIDESEL", {"a", 0, gui::clGray}},
        {"CUT", {"%", 0, gui::clBlack}},          {"COPY", {"C", 0, gui::clBlack}},
        {"PASTE", {"P", 0, gui::clTeal}},         {"FIND", {"?", 0, gui::clBlack}},
        {"REPLACE", {"R", 0, gui::clBlack}},      {"SPELL", {"abc", 0, gui::clRed}}};
    return marks;
}

}  // namespace

void JDToolIconGlyph(const std::string& resource, gui::TBitmap& bmp) {
    bmp.SetSize(0, 0);
    std::string key = resource;
    for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (key.rfind("JDI_", 0) != 0) return;
    auto it = Marks().find(key.substr(4));
    if (it == Marks().end()) return;
    bmp.SetSize(16, 16);
    gui::TCanvas& cv = bmp.Canvas();
    cv.Brush().SetColor(gui::clBtnFace);
    cv.FillRect({0, 0, 16, 16});
    const std::string k = it->first;
    if (k == "LEFT" || k == "CENTER" || k == "RIGHT" || k == "JUSTIFIED") {
        // Lines of text as the alignment sets them.
        cv.Brush().SetColor(gui::clBlack);
        for (int row = 0; row < 5; ++row) {
            int len = (row % 2) ? 9 : 13;
            if (k == "JUSTIFIED") len = 13;
            int x = k == "LEFT" || k == "JUSTIFIED" ? 1 : k == "RIGHT" ? 15 - len : (16 - len) / 2;
            cv.FillRect({x, 2 + row * 3, x + len, 3 + row * 3});
        }
        return;
    }
    cv.Brush().SetStyle(gui::bsClear);
    cv.Font().SetName("Arial");
    cv.Font().SetHeight(std::string(it->second.text).size() > 2 ? -9 : -13);
    cv.Font().SetStyle(it->second.style);
    cv.Font().SetColor(it->second.color);
    int w = cv.TextWidth(it->second.text), h = cv.TextHeight(it->second.text);
    cv.TextOut((16 - w) / 2, (16 - h) / 2, it->second.text);
    return;
}

}  // namespace richtext
