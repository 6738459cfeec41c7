#include "richtext/spell/spell_files.h"

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

}  // namespace spell
