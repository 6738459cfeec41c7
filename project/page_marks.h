// The rules of page text that need no window: colour indexes of popups,
// picture references, the page-list lines, list codes and macro texts.
#pragma once

#include <cstdint>
#include <string>

namespace editor {

// Style bits of page text.
inline constexpr std::uint16_t kMarkBold = 0x0001;
inline constexpr std::uint16_t kMarkItalic = 0x0002;
inline constexpr std::uint16_t kMarkUnderline = 0x0004;  // also the popup hot spot
inline constexpr std::uint16_t kMarkJump = 0x0010;       // topic jump and macro hot spot
inline constexpr std::uint16_t kMarkHidden = 0x0100;     // the target after a hot spot
inline constexpr std::uint16_t kMarkProtected = 0x0200;

// Longest hot-spot text a mark is made from.
inline constexpr int kMaxHotSpotLength = 100;

// A colour (0x00BBGGRR) as its index in the standard colour order; 0 for
// any colour outside the sixteen.
int ColorToColorIndex(std::int64_t color);
// The sixteen colours in that order (every page header carries them).
std::int64_t StandardColor(int index);

// Picture placement: "bml", "bmr", "bmc".
enum class PictureKind { Left = 0, Right = 1, Centre = 2 };
const char* PictureKindCode(PictureKind kind);

// The reference of a picture file: kind, "t" when transparent, a blank and
// the path, relative to baseDir when `directory` lies in it (folder by
// folder, without regard to case), else absolute. Separators are "\".
std::string PictureReference(PictureKind kind, bool transparent, const std::string& directory,
                             const std::string& fileName, const std::string& baseDir);
// Whether `directory` is `baseDir` or lies below it; `rest` gets the part
// after it (no leading separator).
bool DirectoryBelow(const std::string& baseDir, const std::string& directory, std::string& rest);

struct PictureReferenceParts {
    bool valid = false;
    PictureKind kind = PictureKind::Centre;
    bool transparent = false;
    std::string alignment;  // up to the first blank ("bmct")
    std::string path;       // the rest
    std::string directory;  // path up to its last separator ("" when none)
    std::string fileName;
};
PictureReferenceParts ParsePictureReference(const std::string& reference);

// The ".BMP" twin of a ".SHG" file in `directory`, found in any letter
// case; "" when there is none.
std::string FindShgTwin(const std::string& directory, const std::string& shgName);
bool HasExtension(const std::string& fileName, const std::string& upperExt);

// Where the picture dialog starts: an absolute `GraphicsDir` that exists,
// a relative one under the program folder that exists, else the program
// folder's "pic".
std::string GraphicsStartDirectory(const std::string& graphicsDir, const std::string& programDir);

// The lines of the printed page list (without the paragraph end).
std::string PageListHeading(bool wide);
std::string PageListRule(bool wide);
std::string PageListLine(bool wide, std::int64_t helpId, const std::string& topicPopup, const std::string& title,
                         const std::string& contextString);

// The list choices of the bullets dialog in their order: "Bullet",
// "Numbered", "Letters", "Capital Letters", "Roman", "Capital Roman",
// "None"; their list codes for the text engine.
int ListCodeForChoice(int choice);
const char* ListChoiceName(int choice);
inline constexpr int kListChoiceCount = 7;

// A macro target: a leading "!" added when missing.
std::string MacroTarget(const std::string& text);
// The jump target: the typed text, else the row's context string, else its help id.
std::string ChooseJumpTarget(const std::string& typed, const std::string& contextString, std::int64_t helpId);
// Whether a target is a whole decimal number.
bool IsNumericTarget(const std::string& target);

}  // namespace editor
