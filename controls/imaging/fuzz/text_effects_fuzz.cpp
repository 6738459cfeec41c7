// The two text-effect formats on any text: settings change or a conversion
// error is raised; nothing else may escape, and nothing is read out of bounds.
#include "controls/imaging/imaging_lib.h"

#include "platform/core/exceptions.h"
#include "platform/gui/graphics.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    gui::TFont font;
    int speed = 0;
    gui::TColor back = 0;
    std::string message;
    try {
        controls::ApplyScrollMessageText(text, font, speed, back, message);
    } catch (const plat::EConvertError&) {
    }
    plat::StringList lines;
    try {
        controls::ApplyCreditsText(text, font, speed, back, lines);
    } catch (const plat::EConvertError&) {
    }
    return 0;
}
