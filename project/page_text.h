// Page text work the rules do on a headless text engine: whether a stored
// page holds plain characters, the removal of jumps to a deleted page, a
// title typed into a page or title region, and the RTF headers built from a
// font list.
#pragma once

#include <string>
#include <vector>

namespace editor {

// Style bits of page text.
inline constexpr unsigned kStyleUnderline = 0x0004;
inline constexpr unsigned kStyleHotSpot = 0x0010;
inline constexpr unsigned kStyleHidden = 0x0100;
inline constexpr unsigned kStyleJumpMark = 0x0200;

// Whether stored RTF (or plain text) holds a visible character other than
// blanks: hidden text, pictures and paragraph ends do not count.
bool HasPlainText(const std::string& rtf);
// Whether stored RTF holds nothing at all: no visible or hidden character,
// no picture or other object, no table.
bool IsEmptyText(const std::string& rtf);
// Whether stored RTF holds no picture, other object or table.
bool HoldsOnlyText(const std::string& rtf);

// Removes from a page's stored RTF every jump to a page: each hidden run
// that equals the context string (any letter case; never when it is empty)
// or the help id as text, whole runs only. The visible run just before
// each loses its hot-spot bits and its colour. `removed` counts the runs.
// Other jumps stay. The text is rewritten by the engine's writer; when
// nothing matched the stored text comes back unchanged.
std::string RemoveJumpTargets(const std::string& rtf, const std::string& contextString, long helpId, int& removed);

// A title typed into a text that starts from `headerRtf` (empty: the
// engine's own header), in one font: name, size in points (0 keeps the
// default), colour number 0..15 and a style text ("[afsBold]" and so on).
struct TitleFont {
    std::string name;
    int size = 0;
    int colour = 0;
    std::string style;
};
std::string WriteTitleText(const std::string& headerRtf, const std::string& title, const TitleFont& font);
// The style bits of a title style text: "[afsBold]" bold,
// "[afsBold,afsItalic]" bold italic, "[afsBold,afsItalic,afsUnderline]"
// bold italic underlined; anything else none.
unsigned TitleStyleBits(const std::string& style);
// The style bits of the page-text default: "[afsBold]", "[afsBold,afsItalic]",
// "[afsItalic]"; anything else none.
unsigned TextStyleBits(const std::string& style);

// The RTF header of a font list: every font in list order (font i of the
// list is font number i), the sixteen standard colours in their order, the
// page settings, and the last two characters of the written document. Empty
// when the list holds no font name.
std::string BuildRtfHeaderFromFonts(const std::vector<std::string>& fonts);

// The sixteen standard colours as red, green, blue.
struct StandardColour {
    int red, green, blue;
};
const StandardColour* StandardColours();  // 16 entries
// The screen colour (0x00BBGGRR) of a colour number; black outside 0..15.
long ScreenColourOf(int colourNumber);

// The default font lists of an empty registry.
const std::vector<std::string>& DefaultFontList16();
const std::vector<std::string>& DefaultFontList32();

}  // namespace editor
