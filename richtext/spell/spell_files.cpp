#include "richtext/spell/spell_files.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace spell {

namespace fs = std::filesystem;

namespace {

bool SameNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

std::string FindFileNoCase(const std::string& path) {
    if (path.empty()) return {};
    std::string native = path;
    for (char& c : native)
        if (c == '\\') c = '/';
    std::error_code ec;
    if (fs::is_regular_file(native, ec)) return native;

    // Walk the components, matching each one against the folder's entries.
    bool absolute = native.front() == '/';
    fs::path cur = absolute ? fs::path("/") : fs::path();
    std::size_t pos = 0;
    while (pos <= native.size()) {
        std::size_t slash = native.find('/', pos);
        if (slash == std::string::npos) slash = native.size();
        std::string part = native.substr(pos, slash - pos);
        pos = slash + 1;
        if (part.empty() || part == "." || part == "..") {
            if (part == "..") cur /= "..";
            continue;
        }
        fs::path folder = cur.empty() ? fs::path(".") : cur;
        if (fs::exists(folder / part, ec)) {
            cur /= part;
            continue;
        }
        bool found = false;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            std::string name = it->path().filename().string();
            if (SameNoCase(name, part)) {
                cur /= name;
                found = true;
                break;
            }
        }
        if (!found) return {};
    }
    if (cur.empty() || !fs::is_regular_file(cur, ec)) return {};
    return cur.string();
}

std::string SpellWindowsDirectory() {
    std::string home;
    if (const char* h = std::getenv("TAVRIN_HOME"); h && *h) {
        home = h;
    } else if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x) {
        home = std::string(x) + "/tavrin";
    } else if (const char* u = std::getenv("HOME"); u && *u) {
        home = std::string(u) + "/.local/share/tavrin";
    } else {
        home = ".";
    }
    return home + "/windows";
}

std::string ExtractFileDir(const std::string& path) {
    std::size_t i = path.size();
    while (i > 0 && !IsSeparator(path[i - 1]) && path[i - 1] != ':') --i;
    return path.substr(0, i);
}

std::string ExtractFileName(const std::string& path) { return path.substr(ExtractFileDir(path).size()); }

bool HasDirectory(const std::string& path) { return !ExtractFileDir(path).empty(); }

std::int64_t FileAge(const std::string& path) {
    std::string found = FindFileNoCase(path);
    if (found.empty()) return 0;
    std::error_code ec;
    auto t = fs::last_write_time(found, ec);
    if (ec) return 0;
    auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
    return ns == 0 ? 1 : ns;  // 0 is reserved for "no file"
}

}  // namespace spell
