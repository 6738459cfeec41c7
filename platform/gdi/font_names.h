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

}  // namespace plat
