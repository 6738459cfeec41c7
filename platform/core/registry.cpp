#include "platform/core/registry.h"

#include "platform/core/codepage.h"
#include "platform/core/last_error.h"
#include "platform/core/paths.h"
#include "platform/core/safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

namespace plat {

constexpr std::uint32_t ERROR_INVALID_DATA = 13;

struct RegKeyNode {
    std::string name;
    std::vector<std::unique_ptr<RegKeyNode>> children;
    std::vector<std::pair<std::string, RegValue>> values;

    RegKeyNode* Child(std::string_view n) {
        for (auto& c : children)
            if (AnsiUpperCase(c->name) == AnsiUpperCase(n)) return c.get();
        return nullptr;
    }
    std::pair<std::string, RegValue>* Value(std::string_view n) {
        for (auto& v : values)
            if (AnsiUpperCase(v.first) == AnsiUpperCase(n)) return &v;
        return nullptr;
    }
};

namespace {

std::vector<std::string> SplitKeyPath(std::string_view path) {
    std::vector<std::string> parts;
    std::string cur;
    for (char c : path) {
        if (c == '\\') {
            if (!cur.empty()) parts.push_back(std::move(cur));
            cur.clear();
        } else {
            cur.push_back(c);
        }
    }
    if (!cur.empty()) parts.push_back(std::move(cur));
    return parts;
}

std::string Quote(std::string_view s) {
    std::string out = "\"";
    for (char ch : s) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c == '\\' || c == '"') {
            out.push_back('\\');
            out.push_back(ch);
        } else if (c < 0x20 || c == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        } else {
            out.push_back(ch);
        }
    }
    return out + "\"";
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads quoted strings and bare words from one line; false on any malformation.
bool Tokenize(std::string_view line, std::vector<std::string>& tokens) {
    std::size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t') {
            ++i;
            continue;
        }
        std::string tok;
        if (line[i] == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char c = line[i++];
                if (c == '"') {
                    closed = true;
                    break;
                }
                if (c != '\\') {
                    tok.push_back(c);
                    continue;
                }
                if (i >= line.size()) return false;
                char e = line[i++];
                if (e == '\\' || e == '"') {
                    tok.push_back(e);
                } else if (e == 'x' && i + 1 < line.size() && HexDigit(line[i]) >= 0 && HexDigit(line[i + 1]) >= 0) {
                    tok.push_back(static_cast<char>(HexDigit(line[i]) * 16 + HexDigit(line[i + 1])));
                    i += 2;
                } else {
                    return false;
                }
            }
            if (!closed) return false;
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t') tok.push_back(line[i++]);
        }
        tokens.push_back(std::move(tok));
    }
    return true;
}

void SerializeNode(const RegKeyNode& node, std::vector<std::string>& path, std::string& out) {
    out += "key";
    for (const std::string& p : path) out += " " + Quote(p);
    out += "\r\n";
    for (const auto& [name, v] : node.values) {
        if (v.kind == RegValue::Kind::String)
            out += "sz " + Quote(name) + " " + Quote(v.text) + "\r\n";
        else
            out += "dword " + Quote(name) + " " + std::to_string(v.number) + "\r\n";
    }
    for (const auto& c : node.children) {
        path.push_back(c->name);
        SerializeNode(*c, path, out);
        path.pop_back();
    }
}

bool Succeed() {
    SetLastError(ERROR_SUCCESS);
    return true;
}

}  // namespace

// --- RegistryStore ------------------------------------------------------------

RegistryStore::RegistryStore(std::string nativeFile)
    : file_(std::move(nativeFile)), machine_(std::make_unique<RegKeyNode>()), user_(std::make_unique<RegKeyNode>()) {
    machine_->name = "HKEY_LOCAL_MACHINE";
    user_->name = "HKEY_CURRENT_USER";
}

RegistryStore::~RegistryStore() = default;

RegistryStore& RegistryStore::Default() {
    static std::mutex m;
    static std::map<std::string, std::unique_ptr<RegistryStore>> stores;
    std::lock_guard<std::mutex> lock(m);
    std::string file = DataHome() + "/registry.txt";
    auto& slot = stores[file];
    if (!slot) slot = std::make_unique<RegistryStore>(file);
    return *slot;
}

RegKeyNode* RegistryStore::RootNode(HKEY root) {
    if (root == HKEY_LOCAL_MACHINE) return machine_.get();
    if (root == HKEY_CURRENT_USER) return user_.get();
    return nullptr;
}

RegKeyNode* RegistryStore::Walk(HKEY root, std::string_view path, bool create) {
    RegKeyNode* node = RootNode(root);
    if (!node) return nullptr;
    for (const std::string& part : SplitKeyPath(path)) {
        RegKeyNode* next = node->Child(part);
        if (!next) {
            if (!create) return nullptr;
            auto fresh = std::make_unique<RegKeyNode>();
            fresh->name = part;
            next = fresh.get();
            node->children.push_back(std::move(fresh));
        }
        node = next;
    }
    return node;
}

void RegistryStore::RefreshLocked() {
    if (file_.empty()) return;
    struct stat st;
    std::int64_t stamp[3] = {-1, -1, -1};
    if (::stat(file_.c_str(), &st) == 0)
        stamp[0] = static_cast<std::int64_t>(st.st_ino), stamp[1] = st.st_size,
        stamp[2] = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    if (std::equal(stamp, stamp + 3, fileStamp_)) return;
    std::copy(stamp, stamp + 3, fileStamp_);
    machine_->children.clear();
    machine_->values.clear();
    user_->children.clear();
    user_->values.clear();
    if (stamp[0] == -1) return;
    std::ifstream in(file_, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    Load(ss.str());
}

void RegistryStore::Load(const std::string& bytes) {
    RegKeyNode* current = nullptr;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find('\n', pos);
        if (end == std::string::npos) end = bytes.size();
        std::string_view line(bytes.data() + pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        std::vector<std::string> t;
        if (!Tokenize(line, t) || t.empty()) continue;
        if (t[0] == "key" && t.size() >= 2) {
            HKEY root = t[1] == "HKEY_LOCAL_MACHINE" ? HKEY_LOCAL_MACHINE
                        : t[1] == "HKEY_CURRENT_USER" ? HKEY_CURRENT_USER
                                                      : 0;
            current = nullptr;
            if (!root) continue;
            std::string path;
            for (std::size_t i = 2; i < t.size(); ++i) {
                if (t[i].empty() || t[i].find('\\') != std::string::npos) {
                    path.clear();
                    root = 0;
                    break;
                }
                path += "\\" + t[i];
            }
            if (root) current = Walk(root, path, true);
        } else if (current && t[0] == "sz" && t.size() == 3) {
            if (!current->Value(t[1])) current->values.push_back({t[1], RegValue{RegValue::Kind::String, t[2], 0}});
        } else if (current && t[0] == "dword" && t.size() == 3) {
            char* endp = nullptr;
            errno = 0;
            long long v = std::strtoll(t[2].c_str(), &endp, 10);
            if (errno || !endp || *endp || t[2].empty() || v < INT32_MIN || v > INT32_MAX) continue;
            if (!current->Value(t[1]))
                current->values.push_back({t[1], RegValue{RegValue::Kind::Integer, {}, static_cast<std::int32_t>(v)}});
        }
    }
}

std::string RegistryStore::Serialize() const {
    std::string out = "TAVRIN REGISTRY 1\r\n";
    std::vector<std::string> path;
    for (const RegKeyNode* root : {machine_.get(), user_.get()}) {
        path = {root->name};
        SerializeNode(*root, path, out);
    }
    return out;
}

bool RegistryStore::SaveLocked() {
    if (file_.empty()) return Succeed();
    const std::string bytes = Serialize();
    // The data folder may not exist yet on a first run.
    const std::string dir = file_.substr(0, file_.find_last_of('/'));
    struct stat folder;
    if (!dir.empty() && ::stat(dir.c_str(), &folder) != 0)
        for (std::size_t i = 1; i <= dir.size(); ++i)
            if (i == dir.size() || dir[i] == '/') ::mkdir(dir.substr(0, i).c_str(), 0777);
    if (!WriteFileSafely(file_, bytes, PathText::Native, 0600)) return false;
    struct stat st;
    if (::stat(file_.c_str(), &st) == 0) {
        fileStamp_[0] = static_cast<std::int64_t>(st.st_ino);
        fileStamp_[1] = st.st_size;
        fileStamp_[2] = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    }
    return Succeed();
}

bool RegistryStore::KeyExists(HKEY root, std::string_view path) {
    std::lock_guard<std::mutex> lock(mutex_);
    RefreshLocked();
    return Walk(root, path, false) != nullptr;
}

bool RegistryStore::CreateKey(HKEY root, std::string_view path) {
    std::lock_guard<std::mutex> lock(mutex_);
    RefreshLocked();
    if (!RootNode(root)) return Fail(ERROR_INVALID_HANDLE);
    if (Walk(root, path, false)) return Succeed();
    Walk(root, path, true);
    return SaveLocked();
}

bool RegistryStore::DeleteKey(HKEY root, std::string_view path) {
    std::lock_guard<std::mutex> lock(mutex_);
    RefreshLocked();
    std::vector<std::string> parts = SplitKeyPath(path);
    if (parts.empty()) return Fail(ERROR_ACCESS_DENIED);
    std::string parentPath;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) parentPath += "\\" + parts[i];
    RegKeyNode* parent = Walk(root, parentPath, false);
    if (!parent) return Fail(ERROR_FILE_NOT_FOUND);
    auto& ch = parent->children;
    auto it = std::find_if(ch.begin(), ch.end(),
                           [&](const auto& c) { return AnsiUpperCase(c->name) == AnsiUpperCase(parts.back()); });
    if (it == ch.end()) return Fail(ERROR_FILE_NOT_FOUND);
    ch.erase(it);
    return SaveLocked();
}

std::vector<std::string> RegistryStore::SubKeyNames(HKEY root, std::string_view path) {
    std::lock_guard<std::mutex> lock(mutex_);
    RefreshLocked();
    std::vector<std::string> names;
    if (RegKeyNode* n = Walk(root, path, false))
        for (const auto& c : n->children) names.push_back(c->name);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return AnsiUpperCase(a) < AnsiUpperCase(b);
    });
    return names;
}

std::vector<std::string> RegistryStore::ValueNames(HKEY root, std::string_view path) {
    std::lock_guard<std::mutex> lock(mutex_);
    RefreshLocked();
    std::vector<std::string> names;
    if (RegKeyNode* n = Walk(root, path, false))
        for (const auto& v : n->values) names.push_back(v.first);
    return names;
}

bool RegistryStore::ReadValue(HKEY root, std::string_view path, std::string_view name, RegValue& out) {
    std::lock_guard<std::mutex> lock(mutex_);
    RefreshLocked();
    RegKeyNode* n = Walk(root, path, false);
    if (!n) return Fail(ERROR_FILE_NOT_FOUND);
    auto* v = n->Value(name);
    if (!v) return Fail(ERROR_FILE_NOT_FOUND);
    out = v->second;
    return Succeed();
}

bool RegistryStore::WriteValue(HKEY root, std::string_view path, std::string_view name, const RegValue& value) {
    std::lock_guard<std::mutex> lock(mutex_);
    RefreshLocked();
    RegKeyNode* n = Walk(root, path, false);
    if (!n) return Fail(ERROR_FILE_NOT_FOUND);
    if (auto* v = n->Value(name))
        v->second = value;
    else
        n->values.push_back({std::string(name), value});
    return SaveLocked();
}

bool RegistryStore::DeleteValue(HKEY root, std::string_view path, std::string_view name) {
    std::lock_guard<std::mutex> lock(mutex_);
    RefreshLocked();
    RegKeyNode* n = Walk(root, path, false);
    if (!n) return Fail(ERROR_FILE_NOT_FOUND);
    auto it = std::find_if(n->values.begin(), n->values.end(),
                           [&](const auto& v) { return AnsiUpperCase(v.first) == AnsiUpperCase(name); });
    if (it == n->values.end()) return Fail(ERROR_FILE_NOT_FOUND);
    n->values.erase(it);
    return SaveLocked();
}

// --- TRegistry ----------------------------------------------------------------------

TRegistry::TRegistry(RegistryStore& store) : store_(store) {}

void TRegistry::SetRootKey(HKEY root) {
    CloseKey();
    root_ = root;
}

std::string TRegistry::Resolve(std::string_view key) const {
    std::string joined = (!key.empty() && key[0] == '\\') ? std::string(key) : current_ + "\\" + std::string(key);
    std::string out;
    for (const std::string& part : SplitKeyPath(joined)) out += (out.empty() ? "" : "\\") + part;
    return out;
}

bool TRegistry::OpenKey(std::string_view key, bool canCreate) {
    std::string path = Resolve(key);
    if (!store_.KeyExists(root_, path)) {
        if (!canCreate) return Fail(ERROR_FILE_NOT_FOUND);
        if (!store_.CreateKey(root_, path)) return false;
    }
    current_ = std::move(path);
    open_ = true;
    return Succeed();
}

void TRegistry::CloseKey() {
    current_.clear();
    open_ = false;
}

bool TRegistry::CreateKey(std::string_view key) {
    std::string path = Resolve(key);
    if (store_.KeyExists(root_, path)) return Fail(ERROR_ALREADY_EXISTS);
    return store_.CreateKey(root_, path);
}

bool TRegistry::DeleteKey(std::string_view key) { return store_.DeleteKey(root_, Resolve(key)); }
bool TRegistry::KeyExists(std::string_view key) { return store_.KeyExists(root_, Resolve(key)); }
bool TRegistry::HasSubKeys() { return !store_.SubKeyNames(root_, current_).empty(); }
std::vector<std::string> TRegistry::GetKeyNames() { return store_.SubKeyNames(root_, current_); }
std::vector<std::string> TRegistry::GetValueNames() { return store_.ValueNames(root_, current_); }

bool TRegistry::ValueExists(std::string_view name) {
    RegValue v;
    return store_.ReadValue(root_, current_, name, v);
}

std::string TRegistry::ReadString(std::string_view name, std::string_view defaultValue) {
    RegValue v;
    if (!store_.ReadValue(root_, current_, name, v)) return std::string(defaultValue);
    if (v.kind != RegValue::Kind::String) return Fail(ERROR_INVALID_DATA), std::string(defaultValue);
    return v.text;
}

std::int32_t TRegistry::ReadInteger(std::string_view name, std::int32_t defaultValue) {
    RegValue v;
    if (!store_.ReadValue(root_, current_, name, v)) return defaultValue;
    if (v.kind != RegValue::Kind::Integer) return Fail(ERROR_INVALID_DATA), defaultValue;
    return v.number;
}

bool TRegistry::ReadBool(std::string_view name, bool defaultValue) {
    return ReadInteger(name, defaultValue ? 1 : 0) != 0;
}

bool TRegistry::WriteString(std::string_view name, std::string_view value) {
    return store_.WriteValue(root_, current_, name, RegValue{RegValue::Kind::String, std::string(value), 0});
}

bool TRegistry::WriteInteger(std::string_view name, std::int32_t value) {
    return store_.WriteValue(root_, current_, name, RegValue{RegValue::Kind::Integer, {}, value});
}

bool TRegistry::WriteBool(std::string_view name, bool value) { return WriteInteger(name, value ? 1 : 0); }

bool TRegistry::DeleteValue(std::string_view name) { return store_.DeleteValue(root_, current_, name); }

}  // namespace plat
