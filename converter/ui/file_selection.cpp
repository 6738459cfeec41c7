#include "converter/ui/file_selection.h"

#include <cctype>
#include <map>
#include <mutex>
#include <new>
#include <system_error>

#include "converter/help_file.h"
#include "platform/core/codepage.h"

namespace conv::ui {

namespace fs = std::filesystem;

namespace {

std::optional<HelpFileInfo> Probe(const fs::path& path) {
    try {
        std::unique_ptr<HelpFile> hf = OpenHelpFile(path, kProbe);
        if (!hf) return std::nullopt;
        SystemInfo info;
        ReadSystemInfo(*hf, info);
        HelpFileInfo result;
        if (info.title) result.title = plat::AnsiToUtf8(*info.title);
        if (info.copyright) result.copyright = plat::AnsiToUtf8(*info.copyright);
        FreeSystemInfo(info);
        return result;
    } catch (const HelpFileError&) {
        return std::nullopt;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

// The field is checked on every keystroke: a file that has not changed is
// not read again.
struct CachedProbe {
    std::uintmax_t size;
    fs::file_time_type written;
    std::optional<HelpFileInfo> info;
};
std::mutex gCacheMutex;
std::map<std::string, CachedProbe> gCache;

}  // namespace

std::optional<HelpFileInfo> ProbeHelpFile(const fs::path& path) {
    std::error_code ec;
    // Only plain files: a fifo or device named *.hlp would block or never end.
    if (!fs::is_regular_file(path, ec)) return std::nullopt;
    const std::uintmax_t size = fs::file_size(path, ec);
    const fs::file_time_type written = fs::last_write_time(path, ec);
    {
        std::lock_guard<std::mutex> lock(gCacheMutex);
        auto it = gCache.find(path.string());
        if (!ec && it != gCache.end() && it->second.size == size && it->second.written == written)
            return it->second.info;
    }
    std::optional<HelpFileInfo> info = Probe(path);
    if (!ec) {
        std::lock_guard<std::mutex> lock(gCacheMutex);
        if (gCache.size() >= 256) gCache.clear();
        gCache[path.string()] = {size, written, info};
    }
    return info;
}

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

fs::path Resolve(const fs::path& folder, const std::string& name) {
    fs::path p(name);
    return p.is_absolute() ? p : folder / p;
}

std::string Trim(std::string_view text) {
    std::size_t a = 0, b = text.size();
    while (a < b && IsBlank(text[a])) ++a;
    while (b > a && IsBlank(text[b - 1])) --b;
    return std::string(text.substr(a, b - a));
}

}  // namespace

std::vector<std::string> SplitFileNameField(std::string_view text, const fs::path& folder) {
    const std::string whole = Trim(text);
    std::vector<std::string> names;
    if (whole.empty()) return names;
    if (whole.find('"') == std::string::npos) {
        std::error_code ec;
        if (fs::is_regular_file(Resolve(folder, whole), ec)) return {whole};
    }
    std::size_t i = 0;
    while (i < whole.size()) {
        if (IsBlank(whole[i])) {
            ++i;
        } else if (whole[i] == '"') {
            const std::size_t end = whole.find('"', i + 1);
            std::string name = whole.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1);
            if (!name.empty()) names.push_back(std::move(name));
            i = end == std::string::npos ? whole.size() : end + 1;
        } else {
            std::size_t end = i;
            while (end < whole.size() && !IsBlank(whole[end]) && whole[end] != '"') ++end;
            names.push_back(whole.substr(i, end - i));
            i = end;
        }
    }
    return names;
}

std::string JoinFileNames(const std::vector<std::string>& names) {
    if (names.size() == 1) return names.front();
    std::string text;
    for (const std::string& n : names) {
        if (!text.empty()) text += ' ';
        text += '"' + n + '"';
    }
    return text;
}

FileSelection ValidateSelectedFiles(const fs::path& folder, std::string_view fieldText) {
    FileSelection sel;
    const std::vector<std::string> names = SplitFileNameField(fieldText, folder);
    if (names.empty()) return sel;
    for (const std::string& name : names) {
        fs::path path = Resolve(folder, name);
        std::error_code ec;
        if (!fs::exists(path, ec) && path.filename().string().find('.') == std::string::npos) {
            for (const char* ext : {".HLP", ".hlp"}) {
                fs::path withExt = path;
                withExt += ext;
                if (fs::exists(withExt, ec)) {
                    path = withExt;
                    break;
                }
            }
        }
        std::optional<HelpFileInfo> info = ProbeHelpFile(path);
        if (!info) {
            sel.titles.clear();
            sel.paths.clear();
            return sel;
        }
        sel.titles.push_back(info->title.empty() ? path.filename().string() : info->title);
        sel.paths.push_back(path);
    }
    sel.valid = true;
    return sel;
}

bool HasListedExtension(const fs::path& name) {
    const std::string file = name.filename().string();
    const std::size_t dot = file.rfind('.');
    if (dot == std::string::npos) return false;
    std::string ext = file.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return ext == "HLP" || ext == "MVB";
}

}  // namespace conv::ui
