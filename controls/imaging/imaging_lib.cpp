#include "controls/imaging/imaging_lib.h"

#include "platform/core/codepage.h"
#include "platform/core/files.h"
#include "platform/core/format.h"
#include "platform/core/ini_file.h"
#include "platform/core/paths.h"
#include "platform/core/dialog_service.h"
#include "platform/gui/graphics.h"
#include "platform/win/message_queue.h"

#include <QImage>

#include <algorithm>

namespace controls {
namespace {

bool Result(std::int16_t code) {
    if (code < 1) {
        ShowImagingError(code);
        return false;
    }
    return true;
}

using ReadFn = std::int16_t (*)(std::string_view, int, int, QImage&, imaging::TProgressCallback);

bool Read(ReadFn fn, const std::string& fileName, int colorBits, bool dither, gui::TBitmap& bitmap,
          TImagingCallback cb) {
    QImage img;
    const std::int16_t code = fn(fileName, colorBits, dither ? 1 : 0, img, cb);
    // The bitmap always takes what the library gave: nothing after a failure.
    bitmap.SetImage(code >= 1 ? img : QImage());
    return Result(code);
}

// The whole file as text, opened with writing by others denied; false when
// it cannot be opened.
bool ReadTextFile(const std::string& fileName, std::string& text) {
    plat::File f;
    if (!f.Open(fileName, plat::FileAccess::Read, plat::FileShare::DenyWrite)) return false;
    const std::int64_t size = f.Size();
    text.assign(static_cast<std::size_t>(std::max<std::int64_t>(0, size)), '\0');
    const std::int64_t got = text.empty() ? 0 : f.Read(text.data(), text.size());
    text.resize(static_cast<std::size_t>(std::max<std::int64_t>(0, got)));
    return true;
}

// "1" in places 1..4 sets bold, italic, underline, strike-out.
gui::TFontStyles StyleFlags(const std::string& flags) {
    static const gui::TFontStyles bits[] = {gui::fsBold, gui::fsItalic, gui::fsUnderline, gui::fsStrikeOut};
    gui::TFontStyles style = 0;
    for (std::size_t i = 0; i < 4 && i < flags.size(); ++i)
        if (flags[i] == '1') style |= bits[i];
    return style;
}

}  // namespace

int LoadResolutionBits(TLoadResolution res, gui::TCanvas* canvas) {
    switch (res) {
    case lColorVga: return 0;
    case lMonoChrome: return 1;
    case lColor16: return 4;
    case lColor256: return 8;
    case lColorTrue: return 24;
    case lAutoMatic: break;
    }
    return ScreenColorBits(canvas);
}

bool DllImageInfo(const std::string& fileName, std::string& typeText, int numbers[5], std::string& secondText) {
    std::int16_t n[5] = {0, 0, 0, 0, 0};
    const std::int16_t code = imaging::ImageInfo(fileName, typeText, n, secondText);
    for (int i = 0; i < 5; ++i) numbers[i] = n[i];  // sign-extended
    return Result(code);
}

bool DllReadJPEG(const std::string& f, int bits, bool dither, gui::TBitmap& b, TImagingCallback cb) {
    return Read(imaging::ReadJPEG, f, bits, dither, b, cb);
}
bool DllReadGIF(const std::string& f, int bits, bool dither, gui::TBitmap& b, TImagingCallback cb) {
    return Read(imaging::ReadGIF, f, bits, dither, b, cb);
}
bool DllReadPCX(const std::string& f, int bits, bool dither, gui::TBitmap& b, TImagingCallback cb) {
    return Read(imaging::ReadPCX, f, bits, dither, b, cb);
}
bool DllReadBMP(const std::string& f, int bits, bool dither, gui::TBitmap& b, TImagingCallback cb) {
    return Read(imaging::ReadBMP, f, bits, dither, b, cb);
}
bool DllReadPNG(const std::string& f, int bits, bool dither, gui::TBitmap& b, TImagingCallback cb) {
    return Read(imaging::ReadPNG, f, bits, dither, b, cb);
}
bool DllReadTIFF(const std::string& f, int bits, bool dither, gui::TBitmap& b, TImagingCallback cb) {
    return Read(imaging::ReadTIFF, f, bits, dither, b, cb);
}

bool DllWriteGIF(const std::string& fileName, int colorBits, gui::TBitmap& bitmap, TImagingCallback cb) {
    const QImage* img = bitmap.Image();
    return Result(imaging::WriteGIF(fileName, colorBits, img ? *img : QImage(), cb));
}

gui::HMODULE ImagingDllHandle() { return kImagingModule; }

std::string LoadImagingString(gui::HMODULE module, std::uint16_t id) {
    if (module != kImagingModule) return {};
    return imaging::ImagingErrorText(id).substr(0, 255);  // a buffer of 256 characters
}

void ShowImagingError(int code) {
    const std::string text = LoadImagingString(ImagingDllHandle(), static_cast<std::uint16_t>(code));
    gui::MessageDlg(text, gui::mtError, gui::Buttons({gui::mbOK}), 0);
}

bool HasMciExtension(const std::string& ext) {
    std::string value = plat::GetProfileString("mci extensions", ext, "none");
    value = value.substr(0, 25);  // a buffer of 26 characters
    return plat::AnsiLowerCase(value) != "none";
}

std::string BuildMediaFilter() {
    static const char* const kMedia[][3] = {{"WAV", "*.WAV;", "|Wav|*.WAV"}, {"MID", "*.MID;", "|Mid|*.MID"},
                                            {"RMI", "*.RMI;", "|RMI|*.RMI"}, {"AVI", "*.AVI;", "|AVI|*.AVI"},
                                            {"MOV", "*.MOV;", "|Mov|*.MOV"}};
    bool has[5];
    for (int i = 0; i < 5; ++i) has[i] = HasMciExtension(kMedia[i][0]);
    std::string f = "All Media|*.BMP;*.CMS;*.GIF;*.JPG;*.PCX;*.PNG;*.SCM;*.TIF;";
    for (int i = 0; i < 5; ++i)
        if (has[i]) f += kMedia[i][1];
    f += "|BMP|*.BMP|CMS|*.CMS|GIF|*.GIF|JPG|*.JPG|PCX|*.PCX|PNG|*.PNG|RTF|*.RTF|SCM|*.SCM|TIF|*.TIF";
    for (int i = 0; i < 5; ++i)
        if (has[i]) f += kMedia[i][2];
    return f;
}

int ScreenColorBits(int bitsPerPixel) {
    if (bitsPerPixel <= 4) return 4;
    if (bitsPerPixel >= 16) return 24;
    return 8;
}

int ScreenColorBits(gui::TCanvas* canvas) {
    if (!canvas) return ScreenColorBits(24);  // the layer's screen has true colour
    return ScreenColorBits(canvas->GetDeviceCaps(gui::BITSPIXEL));
}

std::string ExtractBaseName(const std::string& fileName) {
    const std::size_t cut = fileName.find_last_of("\\/:");
    std::string name = cut == std::string::npos ? fileName : fileName.substr(cut + 1);
    name = name.substr(0, 64);
    return name.substr(0, name.find('.'));
}

void DibColorInfo(const std::uint8_t* header, std::size_t size, int& colors, std::size_t& bitsOffset) {
    imaging::DibColorInfo(header, size, colors, bitsOffset);
}

bool ReadResourceBitmap(const std::string& moduleName, const std::string& resName, gui::HWND, gui::TBitmap& bitmap) {
    const gui::HMODULE module = moduleName.empty() ? gui::HInstance() : gui::GetModuleHandle(moduleName);
    if (!module) return false;
    const std::string* data = gui::FindResource(module, resName, gui::RT_BITMAP);
    if (!data) return false;
    int colors = 0;
    std::size_t bits = 0;
    DibColorInfo(reinterpret_cast<const std::uint8_t*>(data->data()), data->size(), colors, bits);
    if (!bits) return false;
    // Palettes have no role on a true-colour surface: the DIB's colour
    // table is applied while it is decoded.
    const QImage img = imaging::DecodePackedDib(*data);
    if (img.isNull()) return false;
    bitmap.SetImage(img);
    return true;
}

bool ExtractBetweenTags(std::string& value, const std::string& text, const std::string& startTag,
                        const std::string& endTag) {
    value.clear();
    const std::size_t start = text.find(startTag);
    if (start == std::string::npos) return false;
    const std::size_t end = text.find(endTag);
    if (end == std::string::npos) return false;
    const std::size_t from = start + startTag.size();
    if (end > from) value = text.substr(from, end - from);
    return true;
}

void ApplyScrollMessageText(const std::string& text, gui::TFont& font, int& speed, gui::TColor& backColor,
                            std::string& message) {
    std::string v;
    if (!ExtractBetweenTags(v, text, "/fc|", "/fh|")) font.SetColor(255);
    else if (!v.empty()) font.SetColor(plat::StrToInt(v));
    if (!ExtractBetweenTags(v, text, "/fh|", "/fn|")) font.SetHeight(-13);
    else if (!v.empty()) font.SetHeight(plat::StrToInt(v));
    if (!ExtractBetweenTags(v, text, "/fn|", "/fs|")) font.SetName("SYSTEM");
    else if (!v.empty()) font.SetName(v);
    if (ExtractBetweenTags(v, text, "/fs|", "/ft|") && !v.empty()) font.SetSize(plat::StrToInt(v));
    if (!ExtractBetweenTags(v, text, "/ft|", "/bc|")) font.SetStyle(gui::fsBold);
    else font.SetStyle(StyleFlags(v));
    if (!ExtractBetweenTags(v, text, "/bc|", "/sp|")) backColor = 128;
    else if (!v.empty()) backColor = plat::StrToInt(v);
    if (!ExtractBetweenTags(v, text, "/sp|", "/sm|")) speed = 1;
    else if (!v.empty()) speed = plat::StrToInt(v);
    if (!ExtractBetweenTags(v, text, "/sm|", "/eo|")) message = " Invallid message format ! ";
    else if (!v.empty()) message = v;
}

bool ReadScrollMessageFile(const std::string& fileName, gui::TFont& font, int& speed, gui::TColor& backColor,
                           std::string& text) {
    if (!plat::FileExists(fileName)) return false;
    std::string content;
    if (!ReadTextFile(fileName, content)) return false;
    ApplyScrollMessageText(content, font, speed, backColor, text);
    return true;
}

void ApplyCreditsText(const std::string& text, gui::TFont& font, int& speed, gui::TColor& backColor,
                      plat::StringList& lines) {
    plat::StringList all;
    all.SetText(text);
    auto line = [&](int i) { return i < all.Count() ? all[i] : std::string(); };
    // Line 0 is a title for people; the settings follow it.
    font.SetColor(plat::StrToInt(line(1)));
    font.SetHeight(plat::StrToInt(line(2)));
    font.SetName(line(3));
    font.SetSize(plat::StrToInt(line(4)));
    font.SetStyle(StyleFlags(line(5)));
    backColor = plat::StrToInt(line(6));
    speed = plat::StrToInt(line(7));
    for (int i = 8; i < all.Count(); ++i) lines.Add(all[i]);
}

bool ReadCreditsFile(const std::string& fileName, gui::TFont& font, int& speed, gui::TColor& backColor,
                     plat::StringList& lines) {
    lines.Clear();
    if (!plat::FileExists(fileName)) return false;
    std::string content;
    if (!ReadTextFile(fileName, content)) return false;
    ApplyCreditsText(content, font, speed, backColor, lines);
    return true;
}

void PostScrollStep(gui::TWinControl* control) {
    if (control) plat::PostMessage(control->Handle(), WM_SCROLLSTEP, 0, 0);
}

void PostCreditsStep(gui::TWinControl* control) {
    if (control) plat::PostMessage(control->Handle(), WM_CREDITSSTEP, 0, 0);
}

}  // namespace controls
