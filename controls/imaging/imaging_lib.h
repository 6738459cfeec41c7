// The one unit that talks to the imaging library: the enumerations the
// picture and media components publish, one wrapper per library operation,
// the display of the library's error texts, and the routines the picture,
// media and open-dialog units share (the media filter, the screen's colour
// depth, base names, resource bitmaps, the two text-effect file readers and
// the posters of their step messages).
#pragma once

#include "platform/core/string_list.h"
#include "platform/gui/controls.h"
#include "platform/gui/program_resources.h"
#include "platform/imaging/codecs.h"

#include <cstdint>
#include <string>

namespace controls {

enum TLoadResolution { lColorVga, lMonoChrome, lColor16, lColor256, lColorTrue, lAutoMatic };
enum TSaveResolution { sColorVga, sMonoChrome, sColor16, sColor256, sColorTrue, sJpegGray, sAutoMatic };
enum TTiffCompression { sNONE, sCCITT, sLZW, sPACKBITS };

// The callback value handed to the readers and the writer (nullptr: none).
using TImagingCallback = imaging::TProgressCallback;

// Messages that step the text effects.
constexpr gui::UINT WM_SCROLLSTEP = gui::WM_USER + 1;   // 1025
constexpr gui::UINT WM_CREDITSSTEP = gui::WM_USER + 2;  // 1026

// Colour bits for the readers from a load resolution (lAutoMatic: the
// screen's, through `canvas`, or a plain screen when there is none).
int LoadResolutionBits(TLoadResolution res, gui::TCanvas* canvas);

// The wrappers: each calls the library's operation; a code below 1 shows
// the library's error text and gives False. A failed read leaves the
// bitmap empty.
bool DllImageInfo(const std::string& fileName, std::string& typeText, int numbers[5], std::string& secondText);
bool DllReadJPEG(const std::string& fileName, int colorBits, bool dither, gui::TBitmap& bitmap, TImagingCallback cb);
bool DllReadGIF(const std::string& fileName, int colorBits, bool dither, gui::TBitmap& bitmap, TImagingCallback cb);
bool DllReadPCX(const std::string& fileName, int colorBits, bool dither, gui::TBitmap& bitmap, TImagingCallback cb);
bool DllReadBMP(const std::string& fileName, int colorBits, bool dither, gui::TBitmap& bitmap, TImagingCallback cb);
bool DllReadPNG(const std::string& fileName, int colorBits, bool dither, gui::TBitmap& bitmap, TImagingCallback cb);
bool DllReadTIFF(const std::string& fileName, int colorBits, bool dither, gui::TBitmap& bitmap, TImagingCallback cb);
bool DllWriteGIF(const std::string& fileName, int colorBits, gui::TBitmap& bitmap, TImagingCallback cb);

// The imaging library's module: its texts live there, not in the program's.
constexpr gui::HMODULE kImagingModule = 0x10000000;
gui::HMODULE ImagingDllHandle();
// The library's text for string id `id` of `module` (empty when it has none).
std::string LoadImagingString(gui::HMODULE module, std::uint16_t id);
// The library's text of an error code (string (u16)code) in an error box.
void ShowImagingError(int code);

// True when [mci extensions] of WIN.INI has key `ext` with a value other than "none".
bool HasMciExtension(const std::string& ext);
// The open dialog's filter of all picture, effect and registered media types.
std::string BuildMediaFilter();
// 4, 8 or 24 from a surface's bits per pixel.
int ScreenColorBits(int bitsPerPixel);
int ScreenColorBits(gui::TCanvas* canvas);
// The part after the last "\", "/" or ":", at most 64 characters, cut before its first ".".
std::string ExtractBaseName(const std::string& fileName);
// Colour count and pixel offset of a packed DIB; both 0 when unreadable.
void DibColorInfo(const std::uint8_t* header, std::size_t size, int& colors, std::size_t& bitsOffset);
// A bitmap resource of a module (empty name: the program's own); False
// when the module or the resource is not there or cannot be decoded.
bool ReadResourceBitmap(const std::string& moduleName, const std::string& resName, gui::HWND wnd,
                        gui::TBitmap& bitmap);

// The text-effect files. Both give False for a missing file (the first
// changing nothing, the second after clearing `lines`); a malformed number
// raises plat::EConvertError.
bool ReadScrollMessageFile(const std::string& fileName, gui::TFont& font, int& speed, gui::TColor& backColor,
                           std::string& text);
bool ReadCreditsFile(const std::string& fileName, gui::TFont& font, int& speed, gui::TColor& backColor,
                     plat::StringList& lines);
// The text between the first startTag and the first endTag of `text`.
bool ExtractBetweenTags(std::string& value, const std::string& text, const std::string& startTag,
                        const std::string& endTag);
// The scroll-message rules applied to a file's text (ReadScrollMessageFile's work).
void ApplyScrollMessageText(const std::string& text, gui::TFont& font, int& speed, gui::TColor& backColor,
                            std::string& message);
// The credits rules applied to a file's text (ReadCreditsFile's work).
void ApplyCreditsText(const std::string& text, gui::TFont& font, int& speed, gui::TColor& backColor,
                      plat::StringList& lines);

void PostScrollStep(gui::TWinControl* control);
void PostCreditsStep(gui::TWinControl* control);

}  // namespace controls
