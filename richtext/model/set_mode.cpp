#include "richtext/model/rtf_text.h"

namespace richtext {

std::uint16_t TJDSetModeControl::CurrentStyle() const { return editor ? editor->currentAttr.style : 0; }

int TJDSetModeControl::CurrentTextColor() const { return editor ? editor->currentAttr.TextColor() : 0; }

int TJDSetModeControl::CurrentBackColor() const { return editor ? editor->currentAttr.BackColor() : 0; }

std::string TJDSetModeControl::CurrentFontName() const {
    if (!editor || editor->currentAttr.font >= kMaxFonts) return std::string();
    return editor->Header().fontNames[editor->currentAttr.font];
}

int TJDSetModeControl::CurrentFontSize() const { return editor ? editor->currentAttr.size : 0; }

}  // namespace richtext
