#include "platform/core/paths.h"

#include "platform/core/codepage.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <mutex>
#include <vector>

namespace plat {

namespace {

std::mutex gMutex;
std::string gDataHomeOverride;
std::map<char, std::string> gDriveRoots;  // upper-case letter -> native root

std::string EnvOrEmpty(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string StripTrailingSlashes(std::string p) {
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

bool Exists(const std::string& native) {
    struct stat st;
    return ::lstat(native.c_str(), &st) == 0;
}

bool IsDir(const std::string& native) {
    struct stat st;
    return ::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::vector<std::string> SplitComponents(std::string_view rest) {
    std::vector<std::string> parts;
    std::string cur;
    for (char c : rest) {
        if (IsPathDelimiter(c)) {
            if (!cur.empty()) parts.push_back(std::move(cur));
            cur.clear();
        } else {
            cur.push_back(c);
        }
    }
    if (!cur.empty()) parts.push_back(std::move(cur));
    return parts;
}

// The entry of `dir` whose name equals `ansiName` ignoring case; "" when none.
// An exact match wins; among case variants the smallest name in byte order,
// so the choice does not depend on directory order.
std::string FindEntryNoCase(const std::string& dir, const std::string& nativeName,
                            const std::string& ansiName) {
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return {};
    const std::string wanted = AnsiUpperCase(ansiName);
    std::string best;
    while (struct dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        if (name == nativeName) {
            best = name;
            break;
        }
        if (AnsiUpperCase(Utf8ToAnsi(name)) == wanted && (best.empty() || name < best)) best = name;
    }
    ::closedir(d);
    return best;
}

// Creates the folder and its parents (mkdir -p); errors show up when the
// folder is used.
void MakeFolders(const std::string& native) {
    std::string partial;
    for (const std::string& part : SplitComponents(native)) {
        partial += "/" + part;
        ::mkdir(partial.c_str(), 0777);
    }
}

// One character of a native (UTF-8) name: its code point and length, or
// length 1 and a negative code point for a byte that starts no valid sequence.
long DecodeNative(std::string_view s, std::size_t i, std::size_t& len) {
    const auto c = static_cast<unsigned char>(s[i]);
    len = 1;
    if (c < 0x80) return c;
    int extra;
    long cp;
    if ((c & 0xE0) == 0xC0) { extra = 1; cp = c & 0x1F; }
    else if ((c & 0xF0) == 0xE0) { extra = 2; cp = c & 0x0F; }
    else if ((c & 0xF8) == 0xF0) { extra = 3; cp = c & 0x07; }
    else return -1;
    for (int k = 1; k <= extra; ++k) {
        if (i + k >= s.size()) return -1;
        const auto cc = static_cast<unsigned char>(s[i + k]);
        if ((cc & 0xC0) != 0x80) return -1;
        cp = (cp << 6) | (cc & 0x3F);
    }
    static const long kMin[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
    len = static_cast<std::size_t>(extra) + 1;
    return cp;
}

void AppendHex(std::string& out, unsigned long v, int digits) {
    static const char kHex[] = "0123456789ABCDEF";
    char buf[8];
    int n = 0;
    do {
        buf[n++] = kHex[v & 0xF];
        v >>= 4;
    } while (v || n < digits);
    while (n) out.push_back(buf[--n]);
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// An escape of SystemText at `i` ("<U+XXXX>" or "<xHH>"): appends the native
// bytes it stands for and returns its length, or 0 when there is none.
std::size_t DecodeEscape(std::string_view s, std::size_t i, std::string& out) {
    if (s[i] != '<' || i + 3 >= s.size()) return 0;
    std::size_t close = s.find('>', i);
    if (close == std::string_view::npos) return 0;
    std::string_view body = s.substr(i + 1, close - i - 1);
    unsigned long v = 0;
    auto hexRun = [&](std::string_view h, std::size_t minLen, std::size_t maxLen) {
        if (h.size() < minLen || h.size() > maxLen) return false;
        for (char c : h) {
            int d = HexValue(c);
            if (d < 0) return false;
            v = v * 16 + static_cast<unsigned long>(d);
        }
        return true;
    };
    if (body.size() >= 2 && (body[0] == 'U' || body[0] == 'u') && body[1] == '+') {
        if (!hexRun(body.substr(2), 4, 6) || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return 0;
        // Only what SystemText writes this way: never a separator, a dot or
        // any other character that has a byte of its own.
        if (v != '<' && UnicodeToAnsiChar(static_cast<char32_t>(v)) >= 0) return 0;
        AppendUtf8(out, static_cast<char32_t>(v));
    } else if (!body.empty() && (body[0] == 'x' || body[0] == 'X')) {
        if (!hexRun(body.substr(1), 2, 2) || v < 0x80) return 0;
        out += static_cast<char>(v);
    } else {
        return 0;
    }
    return close - i + 1;
}

std::string JoinNative(const std::string& base, const std::string& name) {
    if (base.empty()) return name;
    if (base.back() == '/') return base + name;
    return base + "/" + name;
}

}  // namespace

// --- data folders ------------------------------------------------------------

std::string DataHome() {
    {
        std::lock_guard<std::mutex> lock(gMutex);
        if (!gDataHomeOverride.empty()) return gDataHomeOverride;
    }
    std::string home = EnvOrEmpty("TAVRIN_HOME");
    if (!home.empty()) return StripTrailingSlashes(home);
    std::string xdg = EnvOrEmpty("XDG_DATA_HOME");
    if (!xdg.empty()) return StripTrailingSlashes(xdg) + "/tavrin";
    std::string user = EnvOrEmpty("HOME");
    if (user.empty()) user = "/tmp";
    return StripTrailingSlashes(user) + "/.local/share/tavrin";
}

void SetDataHome(const std::string& nativePath) {
    std::lock_guard<std::mutex> lock(gMutex);
    gDataHomeOverride = nativePath.empty() ? std::string() : StripTrailingSlashes(nativePath);
}

std::string ProgramDir() { return SystemText(DataHome()); }

std::string WindowsDir() {
    std::string native = DataHome() + "/windows";
    // Created with its parents: the design assumes the Windows directory exists.
    if (!IsDir(native)) MakeFolders(native);
    return SystemText(native);
}

// --- drives ------------------------------------------------------------------

namespace {

// A drive whose folder nobody chose: the one under the data folder.
bool IsDefaultDriveRoot(char letter) {
    const char upper = static_cast<char>(CharUpper(static_cast<unsigned char>(letter)));
    {
        std::lock_guard<std::mutex> lock(gMutex);
        if (gDriveRoots.count(upper)) return false;
    }
    return EnvOrEmpty((std::string("TAVRIN_DRIVE_") + upper).c_str()).empty();
}

}  // namespace

std::string DriveRoot(char letter) {
    const char upper = static_cast<char>(CharUpper(static_cast<unsigned char>(letter)));
    {
        std::lock_guard<std::mutex> lock(gMutex);
        auto it = gDriveRoots.find(upper);
        if (it != gDriveRoots.end()) return it->second;
    }
    std::string env = EnvOrEmpty((std::string("TAVRIN_DRIVE_") + upper).c_str());
    if (!env.empty()) return StripTrailingSlashes(env);
    const char lower = static_cast<char>(CharLower(static_cast<unsigned char>(letter)));
    return DataHome() + "/drive_" + lower;
}

void SetDriveRoot(char letter, const std::string& nativeRoot) {
    const char upper = static_cast<char>(CharUpper(static_cast<unsigned char>(letter)));
    std::lock_guard<std::mutex> lock(gMutex);
    if (nativeRoot.empty())
        gDriveRoots.erase(upper);
    else
        gDriveRoots[upper] = StripTrailingSlashes(nativeRoot);
}

void ResetDriveRoots() {
    std::lock_guard<std::mutex> lock(gMutex);
    gDriveRoots.clear();
}

// --- resolution --------------------------------------------------------------

std::string NativePath(std::string_view path) {
    std::string base;  // native, already resolved
    std::string_view rest = path;
    bool rooted = false;
    if (HasDriveLetter(path)) {
        base = DriveRoot(path[0]);
        rest = path.substr(2);  // "C:x" is taken as "C:\x"
        rooted = true;
        // A fresh data folder has no drive folders yet; a default drive is
        // made on first use so that "C:\file" can be written.
        if (!IsDir(base) && IsDefaultDriveRoot(path[0])) MakeFolders(base);
    } else if (!path.empty() && IsPathDelimiter(path[0])) {
        base = "/";
        rooted = true;
    }
    // The resolved path after each component, so ".." can step back; at a
    // root (a drive's folder above all) it stays there, as on Win32, and
    // never reaches the folders above the drive.
    std::vector<std::string> trail{base};
    std::vector<bool> absent{false};
    std::vector<bool> up{false};  // the step was a ".." above a relative start
    for (const std::string& comp : SplitComponents(rest)) {
        if (comp == ".") continue;
        if (comp == "..") {
            if (trail.size() > 1 && !up.back()) {
                trail.pop_back();
                absent.pop_back();
                up.pop_back();
            } else if (!rooted) {
                // A relative path may climb above the current folder.
                trail.push_back(JoinNative(trail.back(), ".."));
                absent.push_back(false);
                up.push_back(true);
            }
            continue;
        }
        const std::string& at = trail.back();
        const std::string nativeComp = NativeName(comp);
        std::string exact = JoinNative(at, nativeComp);
        up.push_back(false);
        // Once a component is absent, nothing below it exists.
        if (absent.back() || Exists(exact)) {
            absent.push_back(absent.back());
            trail.push_back(std::move(exact));
            continue;
        }
        std::string found = FindEntryNoCase(at, nativeComp, comp);
        absent.push_back(found.empty());
        trail.push_back(found.empty() ? std::move(exact) : JoinNative(at, found));
    }
    base = trail.back();
    if (base.empty()) base = ".";
    return base;
}

std::string NativeName(std::string_view ansi) {
    if (ansi.find('<') == std::string_view::npos) return AnsiToUtf8(ansi);
    std::string out;
    std::size_t run = 0;
    for (std::size_t i = 0; i < ansi.size();) {
        std::string decoded;
        if (std::size_t n = DecodeEscape(ansi, i, decoded)) {
            out += AnsiToUtf8(ansi.substr(run, i - run));
            out += decoded;
            i += n;
            run = i;
        } else {
            ++i;
        }
    }
    out += AnsiToUtf8(ansi.substr(run));
    return out;
}

std::string SystemText(std::string_view nativeName) {
    std::string out;
    out.reserve(nativeName.size());
    for (std::size_t i = 0; i < nativeName.size();) {
        std::size_t len = 1;
        const long cp = DecodeNative(nativeName, i, len);
        const int b = cp < 0 || cp == '<' ? -1 : UnicodeToAnsiChar(static_cast<char32_t>(cp));
        if (b >= 0) {
            out += static_cast<char>(b);
        } else if (cp >= 0) {
            out += "<U+";
            AppendHex(out, static_cast<unsigned long>(cp), 4);
            out += '>';
        } else {
            out += "<x";
            AppendHex(out, static_cast<unsigned char>(nativeName[i]), 2);
            out += '>';
        }
        i += len;
    }
    return out;
}

std::string DisplayPath(std::string_view path) {
    if (path.empty()) return {};
    std::string shown = SystemText(NativePath(path));
    if (IsPathDelimiter(path.back()) && shown.back() != '/') shown += '/';
    return shown;
}

// --- tests on path text ------------------------------------------------------

bool IsPathDelimiter(char c) { return c == '\\' || c == '/'; }

bool HasDriveLetter(std::string_view path) {
    return path.size() >= 2 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

bool IsAbsolutePath(std::string_view path) {
    if (HasDriveLetter(path)) return path.size() >= 3 && IsPathDelimiter(path[2]);
    return !path.empty() && IsPathDelimiter(path[0]);
}

bool HasWildcards(std::string_view path) { return path.find_first_of("*?") != std::string_view::npos; }

// --- path text helpers -------------------------------------------------------

namespace {
// Index of the last "\", "/" or ":" in `path`, or npos.
std::size_t LastDelimiter(std::string_view path) { return path.find_last_of("\\/:"); }
}  // namespace

std::string ExtractFilePath(std::string_view path) {
    std::size_t i = LastDelimiter(path);
    return i == std::string_view::npos ? std::string() : std::string(path.substr(0, i + 1));
}

std::string ExtractFileDir(std::string_view path) {
    std::size_t i = LastDelimiter(path);
    if (i == std::string_view::npos) return {};
    // Keep the separator of a root ("C:\", "\") so the result still names the root.
    if (i > 0 && IsPathDelimiter(path[i]) && !IsPathDelimiter(path[i - 1]) && path[i - 1] != ':')
        return std::string(path.substr(0, i));
    return std::string(path.substr(0, i + 1));
}

std::string ExtractFileName(std::string_view path) {
    std::size_t i = LastDelimiter(path);
    return std::string(i == std::string_view::npos ? path : path.substr(i + 1));
}

std::string ExtractFileExt(std::string_view path) {
    std::size_t i = path.find_last_of(".\\/:");
    if (i == std::string_view::npos || path[i] != '.') return {};
    return std::string(path.substr(i));
}

std::string ExtractFileDrive(std::string_view path) {
    if (HasDriveLetter(path)) return std::string(path.substr(0, 2));
    if (path.size() >= 2 && IsPathDelimiter(path[0]) && IsPathDelimiter(path[1])) {
        // "\\server\share": up to the separator after the share name.
        std::size_t server = path.find_first_of("\\/", 2);
        if (server == std::string_view::npos) return {};
        std::size_t share = path.find_first_of("\\/", server + 1);
        return std::string(path.substr(0, share));
    }
    return {};
}

std::string ChangeFileExt(std::string_view path, std::string_view ext) {
    std::size_t i = path.find_last_of(".\\/:");
    std::string_view stem = (i != std::string_view::npos && path[i] == '.') ? path.substr(0, i) : path;
    return std::string(stem) + std::string(ext);
}

std::string IncludeTrailingBackslash(std::string_view path) {
    if (!path.empty() && IsPathDelimiter(path.back())) return std::string(path);
    return std::string(path) + "\\";
}

std::string ExcludeTrailingBackslash(std::string_view path) {
    std::string s(path);
    while (!s.empty() && IsPathDelimiter(s.back())) s.pop_back();
    return s;
}

std::string JoinPath(std::string_view dir, std::string_view name) {
    if (dir.empty()) return std::string(name);
    if (IsPathDelimiter(dir.back())) return std::string(dir) + std::string(name);
    return std::string(dir) + "\\" + std::string(name);
}

std::string ExpandFileName(std::string_view path) {
    std::string full;
    if (IsAbsolutePath(path)) {
        full = path;
    } else if (HasDriveLetter(path)) {
        full = std::string(path.substr(0, 2)) + "\\" + std::string(path.substr(2));
    } else {
        char buf[4096];
        const char* cwd = ::getcwd(buf, sizeof buf);
        full = (cwd ? SystemText(cwd) : std::string("/")) + "/" + std::string(path);
    }
    std::string prefix;
    std::string_view rest = full;
    char sep = '/';
    if (HasDriveLetter(full)) {
        prefix = full.substr(0, 2) + "\\";
        rest = std::string_view(full).substr(2);
        sep = '\\';
    } else {
        std::string drive = ExtractFileDrive(full);  // UNC
        if (!drive.empty()) {
            prefix = drive + "\\";
            rest = std::string_view(full).substr(drive.size());
            sep = '\\';
        } else {
            prefix = "/";
        }
    }
    std::vector<std::string> out;
    for (std::string& comp : SplitComponents(rest)) {
        if (comp == ".") continue;
        if (comp == "..") {
            if (!out.empty()) out.pop_back();
            continue;
        }
        out.push_back(std::move(comp));
    }
    std::string result = prefix;
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (i) result.push_back(sep);
        result += out[i];
    }
    return result;
}

// --- wildcards ---------------------------------------------------------------

namespace {

// "*" and "?" glob, case-insensitive, linear with one back-track point.
bool Glob(std::string_view name, std::string_view mask) {
    std::size_t n = 0, m = 0;
    std::size_t starM = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == '*') {
            starM = m++;
            starN = n;
        } else if (m < mask.size() &&
                   (mask[m] == '?' || CharUpper(static_cast<unsigned char>(mask[m])) ==
                                          CharUpper(static_cast<unsigned char>(name[n])))) {
            ++m;
            ++n;
        } else if (starM != std::string_view::npos) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*') ++m;
    return m == mask.size();
}

}  // namespace

bool MatchesMask(std::string_view name, std::string_view mask) {
    if (name.empty() || mask.empty()) return false;
    if (Glob(name, mask)) return true;
    if (mask.size() >= 2 && mask.substr(mask.size() - 2) == ".*")
        return Glob(name, mask.substr(0, mask.size() - 2));
    if (mask.back() == '.' && name.find('.') == std::string_view::npos) {
        std::string_view stem = mask;
        while (!stem.empty() && stem.back() == '.') stem.remove_suffix(1);
        return !stem.empty() && Glob(name, stem);
    }
    return false;
}

}  // namespace plat
