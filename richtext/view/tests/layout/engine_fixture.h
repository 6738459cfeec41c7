// A text engine on the fake device at 72 dots per inch: a 10-point
// character is 5 pixels wide, lines are 10 pixels high with ascent 8, and
// 20 twips make one pixel. The left indent adds the 1-pixel edge, so a
// window W pixels wide leaves W - 1 pixels for the text.
#pragma once

#include <string>
#include <vector>

#include "platform/gdi/fake_device.h"
#include "richtext/view/text_input.h"

namespace richtext::testing {

struct Engine {
    plat::TRecordingDevice device{72, 72};
    TJDRTFTextInput text;

    // Paragraphs separated by '\r'; characters get the current attribute.
    explicit Engine(const std::string& content, int window = 400, int height = 200) {
        TTextHeader& h = text.Header();
        h.pageWidth = 20 * 1000;  // 1000 px page text width at 72 dpi
        h.marginLeft = h.marginRight = 0;
        h.pageHeight = 20 * 100;  // 100 px page text height
        h.marginTop = h.marginBottom = 0;
        Fill(content);
        text.SetCanvas(&device);
        text.SetWindowSize(window, height);
        text.FormatAll();
        text.cursor = {text.FirstParagraph(), text.FirstParagraph()->lines, 0};
    }

    void Fill(const std::string& content) {
        TParagraph* p = text.FirstParagraph();
        for (char c : content) {
            if (c == '\r') {
                p = text.NewParagraph(p);
                continue;
            }
            TLine* l = TJDRTFText::LastLine(p);
            text.ReplaceInLine(l, l->Length(), 0, std::string(1, c), &text.currentAttr);
        }
    }

    TParagraph* Par(int i) const { return text.ParagraphAt(i); }

    static std::vector<std::string> Lines(const TParagraph* p) {
        std::vector<std::string> out;
        for (const TLine* l = p->lines; l; l = l->next) out.push_back(l->text);
        return out;
    }
    std::vector<std::string> Lines(int par = 0) const { return Lines(Par(par)); }

    // All text, paragraphs joined by '|'.
    std::string All() const {
        std::string s;
        for (TParagraph* p = text.FirstParagraph(); p; p = p->next) {
            if (p != text.FirstParagraph()) s += '|';
            s += text.ParagraphText(p);
        }
        return s;
    }

    int CursorAbs() const { return text.AbsolutePosition(text.cursor); }
    // As a click would: the column for up and down follows.
    void Place(int absolute) {
        text.cursor = text.PositionOf(absolute);
        text.desiredX = text.XOfPosition(text.cursor.par, text.cursor.line, text.cursor.pos);
    }
};

}  // namespace richtext::testing
