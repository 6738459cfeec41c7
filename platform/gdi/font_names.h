// The one mapping from the Windows font names documents and forms use to
// the installed families that stand in for them. Everything that measures
// or draws text (the canvas and the text engine's device over it) goes
// through it, so a name is never measured in one family and painted in another.
#pragma once

#include <string>
#include <string_view>

namespace plat {

// The installed family that stands in for a Windows font name ("Arial" ->
// "Liberation Sans"), letter case ignored; unknown names come back unchanged.
std::string InstalledFontFamily(std::string_view windowsName);

// Pi fonts ("Symbol", "Wingdings") hold their own characters: a document's
// byte in such a font is a slot of that font, not a Windows-1252 character,
// and no installed face has the slots. For those fonts, the Unicode character
// that shows the slot (Symbol's 0xB7 is the bullet); 0 for any other font or
// a slot we do not know, where the byte reads as Windows-1252.
bool IsPiFont(std::string_view windowsName);
char32_t PiFontCharToUnicode(std::string_view windowsName, unsigned char c);

}  // namespace plat
