#include "platform/gdi/font_names.h"

#include "platform/core/codepage.h"

namespace plat {

std::string InstalledFontFamily(std::string_view windowsName) {
    struct Entry {
        const char* windows;
        const char* installed;
    };
    // The Liberation families share the advance widths of the fonts they replace.
    static const Entry kMap[] = {
        {"Arial", "Liberation Sans"},          {"Helvetica", "Liberation Sans"},
        {"MS Sans Serif", "Liberation Sans"},  {"Microsoft Sans Serif", "Liberation Sans"},
        {"Helv", "Liberation Sans"},           {"System", "Liberation Sans"},
        {"Tahoma", "Liberation Sans"},         {"Verdana", "Liberation Sans"},
        {"Segoe UI", "Liberation Sans"},       {"Small Fonts", "Liberation Sans"},
        {"Arial Narrow", "Liberation Sans Narrow"},
        {"Times New Roman", "Liberation Serif"}, {"Times", "Liberation Serif"},
        {"MS Serif", "Liberation Serif"},      {"Tms Rmn", "Liberation Serif"},
        {"Georgia", "Liberation Serif"},       {"Book Antiqua", "Liberation Serif"},
        {"Courier New", "Liberation Mono"},    {"Courier", "Liberation Mono"},
        {"Fixedsys", "Liberation Mono"},       {"Terminal", "Liberation Mono"},
        {"Lucida Console", "Liberation Mono"},
    };
    for (const Entry& e : kMap)
        if (CompareAnsi(windowsName, e.windows, true) == 0) return e.installed;
    return std::string(windowsName);
}

}  // namespace plat
