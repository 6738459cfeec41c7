#include "richtext/spell/spell_files.h"

#include <cctype>
#include <chrono>
#include <filesystem>
#include <system_error>

#include "platform/core/paths.h"

namespace spell {

namespace fs = std::filesystem;

std::string FindFileNoCase(const std::string& path) {
    if (path.empty()) return {};
    std::string native = plat::NativePath(path);
    std::error_code ec;
    return fs::is_regular_file(native, ec) ? native : std::string();
}

std::int64_t NativeFileAge(const std::string& nativePath) {
    std::error_code ec;
    auto t = fs::last_write_time(nativePath, ec);
    if (ec) return 0;
    auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
    return ns == 0 ? 1 : ns;  // 0 is reserved for "no file"
}

int CopyDictionaries(const std::string& fromNative, const std::string& toNative) {
    std::error_code ec;
    if (!fs::is_directory(fromNative, ec)) return 0;
    fs::create_directories(toNative, ec);
    int copied = 0;
    for (const fs::directory_entry& e : fs::directory_iterator(fromNative, ec)) {
        if (!e.is_regular_file(ec)) continue;
        std::string ext = e.path().extension().string();
        for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (ext != ".dct" && ext != ".abb") continue;  // a dictionary and its abbreviations
        fs::path target = fs::path(toNative) / e.path().filename();
        // A dictionary of the same name in any letter case counts as there.
        std::string existing = FindFileNoCase(target.string());
        if (!existing.empty() && NativeFileAge(existing) >= NativeFileAge(e.path().string()) &&
            fs::file_size(existing, ec) == e.file_size(ec))
            continue;
        if (fs::copy_file(e.path(), existing.empty() ? target : fs::path(existing),
                          fs::copy_options::overwrite_existing, ec))
            ++copied;
    }
    return copied;
}

}  // namespace spell
