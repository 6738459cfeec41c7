#include "platform/core/ini_file.h"

#include "platform/core/codepage.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>

namespace plat {

namespace {

// Read-modify-write of one file must not interleave within the process.
std::mutex gWriteMutex;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && AnsiUpperCase(a) == AnsiUpperCase(b);
}

struct Line {
    std::string text;  // as read or as written
    bool entry = false;
    std::string key;
    std::string value;
};

struct Section {
    std::string name;
    std::string header;
    std::vector<Line> lines;
};

struct IniDocument {
    std::vector<Line> preamble;  // lines before the first section
    std::vector<Section> sections;

    Section* Find(std::string_view name) {
        for (Section& s : sections)
            if (SameName(s.name, name)) return &s;
        return nullptr;
    }
    const Section* Find(std::string_view name) const { return const_cast<IniDocument*>(this)->Find(name); }
};

const Line* FindKey(const Section& s, std::string_view key) {
    for (const Line& l : s.lines)
        if (l.entry && SameName(l.key, key)) return &l;
    return nullptr;
}

Line MakeEntry(std::string_view key, std::string_view value) {
    Line l;
    l.entry = true;
    l.key = key;
    l.value = value;
    l.text = std::string(key) + "=" + std::string(value);
    return l;
}

IniDocument Parse(const std::string& bytes) {
    IniDocument doc;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find('\n', pos);
        if (end == std::string::npos) end = bytes.size();
        std::string text = bytes.substr(pos, end - pos);
        pos = end + 1;
        if (!text.empty() && text.back() == '\r') text.pop_back();
        std::string_view t = Trim(text);
        if (!t.empty() && t.front() == '[') {
            std::size_t close = t.find(']');
            if (close != std::string_view::npos) {
                Section s;
                s.name = Trim(t.substr(1, close - 1));
                s.header = text;
                doc.sections.push_back(std::move(s));
                continue;
            }
        }
        Line line;
        line.text = text;
        std::size_t eq = t.find('=');
        if (!t.empty() && t.front() != ';' && eq != std::string_view::npos && eq > 0) {
            std::string_view key = Trim(t.substr(0, eq));
            std::string_view value = Trim(t.substr(eq + 1));
            if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
                value = value.substr(1, value.size() - 2);
            if (!key.empty()) {
                line.entry = true;
                line.key = key;
                line.value = value;
            }
        }
        (doc.sections.empty() ? doc.preamble : doc.sections.back().lines).push_back(std::move(line));
    }
    return doc;
}

std::string Serialize(const IniDocument& doc) {
    std::string out;
    for (const Line& l : doc.preamble) out += l.text + "\r\n";
    for (const Section& s : doc.sections) {
        out += s.header + "\r\n";
        for (const Line& l : s.lines) out += l.text + "\r\n";
    }
    return out;
}

IniDocument Load(const std::string& native) {
    std::ifstream in(native, std::ios::binary);
    if (!in) return {};
    std::ostringstream ss;
    ss << in.rdbuf();
    return Parse(ss.str());
}

// Applies `change` to the file's document and saves it when `change` says so.
template <typename Change>
bool Modify(std::string_view fileName, Change change) {
    std::lock_guard<std::mutex> lock(gWriteMutex);
    const std::string native = NativePath(ProfileFilePath(fileName));
    IniDocument doc = Load(native);
    if (!change(doc)) {
        SetLastError(ERROR_SUCCESS);
        return true;  // nothing to change
    }
    return WriteFileSafely(native, Serialize(doc), PathText::Native);
}

IniDocument LoadProfile(std::string_view fileName) { return Load(NativePath(ProfileFilePath(fileName))); }

std::optional<std::string> Lookup(std::string_view fileName, std::string_view section, std::string_view key) {
    IniDocument doc = LoadProfile(fileName);
    const Section* s = doc.Find(section);
    if (!s) return std::nullopt;
    const Line* l = FindKey(*s, key);
    if (!l) return std::nullopt;
    return l->value;
}

bool SetValue(std::string_view fileName, std::string_view section, std::string_view key, std::string_view value) {
    // Anything that would read back as another line kind is refused, not written.
    if (section.empty() || Trim(key).empty() || key.find('=') != std::string_view::npos ||
        Trim(key).front() == ';' || Trim(key).front() == '[' ||
        section.find_first_of("]\r\n") != std::string_view::npos || key.find_first_of("\r\n") != std::string_view::npos ||
        value.find_first_of("\r\n") != std::string_view::npos)
        return Fail(ERROR_INVALID_PARAMETER);
    return Modify(fileName, [&](IniDocument& doc) {
        Section* s = doc.Find(section);
        if (!s) {
            Section fresh;
            fresh.name = section;
            fresh.header = "[" + std::string(section) + "]";
            doc.sections.push_back(std::move(fresh));
            s = &doc.sections.back();
        }
        for (Line& l : s->lines) {
            if (l.entry && SameName(l.key, key)) {
                if (l.value == value) return false;
                l = MakeEntry(l.key, value);  // the key keeps its first spelling
                return true;
            }
        }
        // After the last line that is not blank, so blank separators stay at the end.
        std::size_t at = s->lines.size();
        while (at > 0 && Trim(s->lines[at - 1].text).empty()) --at;
        s->lines.insert(s->lines.begin() + static_cast<std::ptrdiff_t>(at), MakeEntry(Trim(key), value));
        return true;
    });
}

// Leading decimal number as GetPrivateProfileInt reads it.
int LeadingInt(std::string_view s) {
    std::size_t i = 0;
    bool neg = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) neg = s[i++] == '-';
    long long v = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        v = v * 10 + (s[i++] - '0');
        if (v > INT_MAX) v = static_cast<long long>(INT_MAX) + 1;  // saturate; cast below wraps like Win32
    }
    return static_cast<int>(neg ? -v : v);
}

// A whole integer the class library accepts; nullopt otherwise.
std::optional<int> ParseInt(std::string_view s) {
    s = Trim(s);
    bool neg = false;
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
        neg = s[0] == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (!s.empty() && s[0] == '$') {
        base = 16;
        s.remove_prefix(1);
    } else if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty()) return std::nullopt;
    long long v = 0;
    for (char c : s) {
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else return std::nullopt;
        v = v * base + d;
        if (v > 0xFFFFFFFFLL) return std::nullopt;
    }
    if (base == 10 && v > (neg ? 2147483648LL : 2147483647LL)) return std::nullopt;
    // Hex spells the 32-bit pattern: "$FFFFFFFF" is -1.
    return static_cast<int>(static_cast<std::uint32_t>(neg ? -v : v));
}

}  // namespace

std::string ProfileFilePath(std::string_view fileName) {
    if (fileName.find_first_of("\\/:") == std::string_view::npos) return JoinPath(WindowsDir(), fileName);
    return std::string(fileName);
}

std::string GetPrivateProfileString(std::string_view section, std::string_view key, std::string_view defaultValue,
                                    std::string_view fileName) {
    std::optional<std::string> v = Lookup(fileName, section, key);
    // Win32 strips trailing blanks from the default.
    std::string_view d = defaultValue;
    while (!d.empty() && (d.back() == ' ' || d.back() == '\t')) d.remove_suffix(1);
    return v ? *v : std::string(d);
}

int GetPrivateProfileInt(std::string_view section, std::string_view key, int defaultValue, std::string_view fileName) {
    std::optional<std::string> v = Lookup(fileName, section, key);
    return v ? LeadingInt(*v) : defaultValue;
}

bool WritePrivateProfileString(std::string_view section, std::string_view key, std::string_view value,
                               std::string_view fileName) {
    return SetValue(fileName, section, key, value);
}

bool DeletePrivateProfileKey(std::string_view section, std::string_view key, std::string_view fileName) {
    return Modify(fileName, [&](IniDocument& doc) {
        Section* s = doc.Find(section);
        if (!s) return false;
        for (auto it = s->lines.begin(); it != s->lines.end(); ++it) {
            if (it->entry && SameName(it->key, key)) {
                s->lines.erase(it);
                return true;
            }
        }
        return false;
    });
}

bool DeletePrivateProfileSection(std::string_view section, std::string_view fileName) {
    return Modify(fileName, [&](IniDocument& doc) {
        bool changed = false;
        for (auto it = doc.sections.begin(); it != doc.sections.end();) {
            if (SameName(it->name, section)) {
                it = doc.sections.erase(it);
                changed = true;
            } else {
                ++it;
            }
        }
        return changed;
    });
}

std::string GetProfileString(std::string_view section, std::string_view key, std::string_view defaultValue) {
    return GetPrivateProfileString(section, key, defaultValue, "WIN.INI");
}

int GetProfileInt(std::string_view section, std::string_view key, int defaultValue) {
    return GetPrivateProfileInt(section, key, defaultValue, "WIN.INI");
}

bool WriteProfileString(std::string_view section, std::string_view key, std::string_view value) {
    return WritePrivateProfileString(section, key, value, "WIN.INI");
}

// --- TIniFile -----------------------------------------------------------------

TIniFile::TIniFile(std::string_view fileName) : fileName_(ProfileFilePath(fileName)) {}

std::string TIniFile::ReadString(std::string_view section, std::string_view ident,
                                 std::string_view defaultValue) const {
    std::optional<std::string> v = Lookup(fileName_, section, ident);
    return v ? *v : std::string(defaultValue);
}

int TIniFile::ReadInteger(std::string_view section, std::string_view ident, int defaultValue) const {
    std::optional<std::string> v = Lookup(fileName_, section, ident);
    if (!v) return defaultValue;
    return ParseInt(*v).value_or(defaultValue);
}

bool TIniFile::ReadBool(std::string_view section, std::string_view ident, bool defaultValue) const {
    return ReadInteger(section, ident, defaultValue ? 1 : 0) != 0;
}

bool TIniFile::WriteString(std::string_view section, std::string_view ident, std::string_view value) {
    return SetValue(fileName_, section, ident, value);
}

bool TIniFile::WriteInteger(std::string_view section, std::string_view ident, int value) {
    return SetValue(fileName_, section, ident, std::to_string(value));
}

bool TIniFile::WriteBool(std::string_view section, std::string_view ident, bool value) {
    return SetValue(fileName_, section, ident, value ? "1" : "0");
}

std::vector<std::string> TIniFile::ReadSection(std::string_view section) const {
    std::vector<std::string> keys;
    IniDocument doc = LoadProfile(fileName_);
    if (const Section* s = doc.Find(section))
        for (const Line& l : s->lines)
            if (l.entry && FindKey(*s, l.key) == &l) keys.push_back(l.key);
    return keys;
}

std::vector<std::string> TIniFile::ReadSections() const {
    std::vector<std::string> names;
    IniDocument doc = LoadProfile(fileName_);
    for (const Section& s : doc.sections)
        if (doc.Find(s.name) == &s) names.push_back(s.name);
    return names;
}

std::vector<std::string> TIniFile::ReadSectionValues(std::string_view section) const {
    std::vector<std::string> out;
    IniDocument doc = LoadProfile(fileName_);
    if (const Section* s = doc.Find(section))
        for (const Line& l : s->lines)
            if (l.entry && FindKey(*s, l.key) == &l) out.push_back(l.key + "=" + l.value);
    return out;
}

bool TIniFile::EraseSection(std::string_view section) { return DeletePrivateProfileSection(section, fileName_); }

bool TIniFile::DeleteKey(std::string_view section, std::string_view ident) {
    return DeletePrivateProfileKey(section, ident, fileName_);
}

bool TIniFile::ValueExists(std::string_view section, std::string_view ident) const {
    return Lookup(fileName_, section, ident).has_value();
}

bool TIniFile::SectionExists(std::string_view section) const {
    return LoadProfile(fileName_).Find(section) != nullptr;
}

}  // namespace plat
