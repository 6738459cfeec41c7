// File lookup for the spell checker. Dictionary and user-file names arrive in
// any letter case and with "\" or "/"; these helpers find the file on disk.
#pragma once

#include <cstdint>
#include <string>

namespace spell {

// The native path of an existing file named `path` without regard to letter
// case at each component; empty when there is none.
std::string FindFileNoCase(const std::string& path);

// The platform's "Windows directory" (a folder inside the program's data folder).
std::string SpellWindowsDirectory();

// The folder part of a path, with its trailing separator ("" when none).
std::string ExtractFileDir(const std::string& path);
// The name part of a path.
std::string ExtractFileName(const std::string& path);
// True when the path names a folder ("a\b", "/a", "C:x").
bool HasDirectory(const std::string& path);

// Modification time of a file in nanoseconds since the epoch; 0 when missing.
std::int64_t FileAge(const std::string& path);

}  // namespace spell
