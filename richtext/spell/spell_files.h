// File lookup for the spell checker. Dictionary and user-file names arrive in
// any letter case and with "\" or "/" (system text); the platform's path layer
// finds them on disk.
#pragma once

#include <cstdint>
#include <string>

namespace spell {

// The native path of an existing file named `path` (system text, letter case
// ignored); empty when there is none.
std::string FindFileNoCase(const std::string& path);

// Modification time of a file (native path) in nanoseconds since the epoch;
// 0 when missing. Finer than the DOS file date, so a rewrite within the same
// two seconds is still seen.
std::int64_t NativeFileAge(const std::string& nativePath);

// Copies the dictionaries (*.dct) of a folder, with their abbreviation lists
// (*.abb), into another (the program folder at start-up) where they are
// missing or older; returns how many files it copied.
int CopyDictionaries(const std::string& fromNative, const std::string& toNative);

}  // namespace spell
