#include "richtext/view/word_scan.h"

#include <algorithm>

namespace richtext {

namespace {

// Hyperlink text (underlined or double-underlined) and the hidden jump
// target after it are not prose: the scan passes over them.
bool SkippedWord(const TJDCharAttr& a) {
    return (a.style & (0x0004 | 0x0010 | 0x0100)) != 0;
}

}  // namespace

void TJDWordScan::ResetWordScan() {
    finder_.SetText(&engine_);
    finder_.FinderToStart();
    started_ = true;
    fromCursor_ = false;
}

std::string TJDWordScan::NextWord() {
    finder_.SetText(&engine_);
    if (!started_) {
        finder_.FinderToStart();
        started_ = true;
    }
    finder_.Wildcard = '*';
    finder_.WordSeparator = ' ';
    finder_.WholeWords = true;
    // The scan keeps its place between words; it is re-placed from an
    // absolute position only when it starts at the cursor.
    finder_.positioned = true;
    if (fromCursor_) {
        int pos, line, par, inPar;
        engine_.GetCursor(pos, line, par, inPar);
        finder_.FinderMoveTo(pos);
    }
    fromCursor_ = false;
    std::string word;
    while (word.empty()) {
        if (!finder_.Next("*")) return std::string();
        TJDCharAttr a;
        finder_.FoundAttr(a);
        if (SkippedWord(a)) continue;
        word = finder_.FoundText();
    }
    return word;
}

void TJDWordScan::SelectFoundWord() {
    if (finder_.FoundLength() <= 0) return;
    int start = finder_.FoundPosition(), len = finder_.FoundLength();
    engine_.SetSelPosLen(start, len);
    engine_.SetCursor(start, 0);
    engine_.SetCursor(start + len, 0);
    // SetCursor drops nothing; select again so both ends hold.
    engine_.SetSelPosLen(start, len);
    if (engine_.Canvas()) engine_.ScrollToCursor();
    fromCursor_ = true;
}

int TJDWordScan::GetSelStart() const {
    int start, len;
    return engine_.GetSelection(start, len) ? start : 0;
}

int TJDWordScan::GetSelLength() const {
    int start, len;
    return engine_.GetSelection(start, len) ? len : 0;
}

bool TJDWordScan::SetSelText(const std::string& s) {
    if (engine_.readOnly) return false;
    if (s.empty()) {
        engine_.DeleteSelection();
        if (engine_.Canvas()) engine_.Repaint();
        return true;
    }
    std::string text = s.substr(0, 255);
    int p = GetSelStart();
    if (GetSelLength() <= 0) {
        engine_.DropSelection();
        engine_.SetCursor(0, 0);
        return false;
    }
    TTextPos at = engine_.PositionOf(p);
    TJDCharAttr attr = engine_.currentAttr;
    if (at.line && at.pos < at.line->Length() && static_cast<std::size_t>(at.pos) < at.line->attrs.size())
        attr = at.line->attrs[static_cast<std::size_t>(at.pos)];
    if (!engine_.DeleteSelection()) return false;
    engine_.SetCursor(p, 0);
    engine_.SetCurrentAttr(attr);
    engine_.InputString(text);
    engine_.SetSelPosLen(p, static_cast<int>(text.size()));
    if (engine_.Canvas()) engine_.Repaint();
    return true;
}

}  // namespace richtext
