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
    if (!IsDir(native)) {
        // Created with its parents: the design assumes the Windows directory exists.
        std::string partial;
        for (const std::string& part : SplitComponents(native)) {
            partial += "/" + part;
            ::mkdir(partial.c_str(), 0777);
        }
    }
    return SystemText(native);
}

// --- drives ------------------------------------------------------------------

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
    if (HasDriveLetter(path)) {
        base = DriveRoot(path[0]);
        rest = path.substr(2);  // "C:x" is taken as "C:\x"
    } else if (!path.empty() && IsPathDelimiter(path[0])) {
        base = "/";
    }
    bool missing = false;  // once a component is absent, nothing below it exists
    for (const std::string& comp : SplitComponents(rest)) {
        const std::string nativeComp = AnsiToUtf8(comp);
        if (comp == "." || comp == ".." || missing) {
            base = JoinNative(base, nativeComp);
            continue;
        }
        std::string exact = JoinNative(base, nativeComp);
        if (Exists(exact)) {
            base = std::move(exact);
            continue;
        }
        std::string found = FindEntryNoCase(base, nativeComp, comp);
        if (found.empty()) {
            missing = true;
            base = std::move(exact);
        } else {
            base = JoinNative(base, found);
        }
    }
    if (base.empty()) base = ".";
    return base;
}

std::string SystemText(std::string_view nativeName) { return Utf8ToAnsi(nativeName); }

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
