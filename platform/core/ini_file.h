// Profile (ini) files: the Win32 profile calls and the class library's
// ini-file class over one reader and writer.
//
// Sections and keys are found without regard to letter case and keep the
// case they were written with; the first of duplicate sections or keys
// wins. Text is Windows-1252 bytes, untouched. Lines end in CR LF on write
// (LF or CR LF on read). Lines that are neither "[section]", "key=value",
// a ";" comment nor blank are skipped on read and kept as they were on
// write. A value in matching double or single quotes reads without them.
// A missing or unreadable file reads as empty. Every write rewrites the
// whole file through a temporary file and a rename, so a crash leaves the
// old file or the new one, never half of one. A file name without a folder
// names a file in the Windows directory, as on Win32.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace plat {

// The path a profile call with `fileName` works on.
std::string ProfileFilePath(std::string_view fileName);

std::string GetPrivateProfileString(std::string_view section, std::string_view key, std::string_view defaultValue,
                                    std::string_view fileName);
// The leading decimal number of the value (0 when it has none); the default
// only when the key is missing.
int GetPrivateProfileInt(std::string_view section, std::string_view key, int defaultValue,
                         std::string_view fileName);
bool WritePrivateProfileString(std::string_view section, std::string_view key, std::string_view value,
                               std::string_view fileName);
// What Win32 does with a null value or a null key.
bool DeletePrivateProfileKey(std::string_view section, std::string_view key, std::string_view fileName);
bool DeletePrivateProfileSection(std::string_view section, std::string_view fileName);

// WIN.INI in the Windows directory.
std::string GetProfileString(std::string_view section, std::string_view key, std::string_view defaultValue);
int GetProfileInt(std::string_view section, std::string_view key, int defaultValue);
bool WriteProfileString(std::string_view section, std::string_view key, std::string_view value);

// The class library's ini-file object. Every call reads (or rewrites) the
// file, so two objects on one file, or two processes, see each other's writes.
class TIniFile {
public:
    explicit TIniFile(std::string_view fileName);
    const std::string& FileName() const { return fileName_; }

    std::string ReadString(std::string_view section, std::string_view ident, std::string_view defaultValue) const;
    // Decimal or hex ("$1F", "0x1F") with an optional sign; the default otherwise.
    int ReadInteger(std::string_view section, std::string_view ident, int defaultValue) const;
    // "0" is false, any other number true; the default when not a number.
    bool ReadBool(std::string_view section, std::string_view ident, bool defaultValue) const;
    bool WriteString(std::string_view section, std::string_view ident, std::string_view value);
    bool WriteInteger(std::string_view section, std::string_view ident, int value);
    bool WriteBool(std::string_view section, std::string_view ident, bool value);  // "1" / "0"

    // Keys of a section, in file order.
    std::vector<std::string> ReadSection(std::string_view section) const;
    std::vector<std::string> ReadSections() const;
    // "key=value" for each key of the section, in file order.
    std::vector<std::string> ReadSectionValues(std::string_view section) const;
    bool EraseSection(std::string_view section);
    bool DeleteKey(std::string_view section, std::string_view ident);
    bool ValueExists(std::string_view section, std::string_view ident) const;
    bool SectionExists(std::string_view section) const;

private:
    std::string fileName_;
};

}  // namespace plat
