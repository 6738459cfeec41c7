// The program's own resources: named or numbered bitmaps (kept as packed
// DIBs, as a resource file holds them) and strings. They come from Qt
// resources compiled into the program (":/tavrin/bitmaps/<NAME>.bmp") or
// are registered in code (glyphs the program draws itself). Only the
// program's own module has resources; every other module name finds none.
#pragma once

#include <cstdint>
#include <string>

namespace gui {

class TBitmap;

using HMODULE = std::uint32_t;
constexpr int RT_BITMAP = 2;
constexpr int RT_STRING = 6;

// The program's own module (never 0).
HMODULE HInstance();
// The program's module for its own name (its executable's name, with or
// without ".EXE", in any letter case) or an empty name; 0 for any other.
HMODULE GetModuleHandle(const std::string& moduleName);
// The name GetModuleHandle recognises (tests may set it).
std::string ProgramModuleName();
void SetProgramModuleName(const std::string& name);

// A resource is named by text or by a number; a name that is a decimal
// number ("12") means the number, as MAKEINTRESOURCE would.
void RegisterResource(int type, const std::string& name, const std::string& bytes);
// A bitmap resource from a picture (stored as a 24-bit packed DIB).
void RegisterBitmapResource(const std::string& name, const TBitmap& bitmap);
void UnregisterResource(int type, const std::string& name);
// The resource's bytes, or nullptr when the module has no such resource.
const std::string* FindResource(HMODULE module, const std::string& name, int type);
// Loads a bitmap resource into `into`; false (and `into` untouched) when
// the module has no such bitmap or its bytes are no picture.
bool LoadBitmapResource(HMODULE module, const std::string& name, TBitmap& into);
// A string resource of the program; empty when missing.
std::string LoadResString(int id);

}  // namespace gui
