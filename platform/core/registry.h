// A registry of our own: two roots (HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER),
// keys addressed by "\"-separated paths whose names are matched without
// regard to letter case and keep the case they were created with, and
// string and integer values. The default store lives in the text file
// "registry.txt" in the data folder, rewritten atomically after every
// change and read again when another process has changed it; a store
// without a file serves tests.
//
// File format (Windows-1252 text, one item a line, CR LF or LF):
//   TAVRIN REGISTRY 1
//   key "HKEY_LOCAL_MACHINE" "Software" "Ashcomb"      a key: root, then names
//   sz "ServerName" "TavrinServer"                     a string value of that key
//   dword "Port" 2048                                  an integer value
// Quoted text escapes "\" as \\, a quote as \" and control bytes as \xHH.
// Lines that do not parse are skipped.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

using HKEY = std::uint32_t;
constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;

struct RegValue {
    enum class Kind { String, Integer };
    Kind kind = Kind::String;
    std::string text;
    std::int32_t number = 0;
};

struct RegKeyNode;

class RegistryStore {
public:
    // nativeFile empty: kept in memory only.
    explicit RegistryStore(std::string nativeFile = {});
    ~RegistryStore();
    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;

    // The store of the current data folder (one per folder, never freed).
    static RegistryStore& Default();

    // Paths are "\"-separated below the root; empty names are ignored.
    bool KeyExists(HKEY root, std::string_view path);
    // Creates the key and its missing parents.
    bool CreateKey(HKEY root, std::string_view path);
    // Deletes the key with everything below it; the root itself cannot go.
    bool DeleteKey(HKEY root, std::string_view path);
    // Sub-key names sorted without regard to case; empty when the key is missing.
    std::vector<std::string> SubKeyNames(HKEY root, std::string_view path);
    // Value names in the order they were first written.
    std::vector<std::string> ValueNames(HKEY root, std::string_view path);
    bool ReadValue(HKEY root, std::string_view path, std::string_view name, RegValue& out);
    // The key must exist (2 otherwise).
    bool WriteValue(HKEY root, std::string_view path, std::string_view name, const RegValue& value);
    bool DeleteValue(HKEY root, std::string_view path, std::string_view name);

    const std::string& FileName() const { return file_; }

private:
    RegKeyNode* RootNode(HKEY root);
    RegKeyNode* Walk(HKEY root, std::string_view path, bool create);
    void RefreshLocked();
    bool SaveLocked();
    void Load(const std::string& bytes);
    std::string Serialize() const;

    std::mutex mutex_;
    std::string file_;
    std::unique_ptr<RegKeyNode> machine_;
    std::unique_ptr<RegKeyNode> user_;
    // What the file looked like when last read or written, to notice other writers.
    std::int64_t fileStamp_[3] = {-1, -1, -1};
};

// The class library's registry object over a store.
class TRegistry {
public:
    explicit TRegistry(RegistryStore& store = RegistryStore::Default());

    HKEY RootKey() const { return root_; }
    void SetRootKey(HKEY root);  // closes the current key

    // A path starting with "\" starts at the root, any other at the current key.
    bool OpenKey(std::string_view key, bool canCreate);
    bool OpenKeyReadOnly(std::string_view key) { return OpenKey(key, false); }
    void CloseKey();
    // The open key's path below the root ("Software\Ashcomb"); empty at the root.
    const std::string& CurrentPath() const { return current_; }

    bool CreateKey(std::string_view key);
    bool DeleteKey(std::string_view key);
    bool KeyExists(std::string_view key);
    bool HasSubKeys();
    std::vector<std::string> GetKeyNames();
    std::vector<std::string> GetValueNames();

    bool ValueExists(std::string_view name);
    // Missing values give the default and leave 2 (file not found) in GetLastError;
    // a value of the other kind gives the default and 13 (invalid data).
    std::string ReadString(std::string_view name, std::string_view defaultValue = {});
    std::int32_t ReadInteger(std::string_view name, std::int32_t defaultValue = 0);
    bool ReadBool(std::string_view name, bool defaultValue = false);
    bool WriteString(std::string_view name, std::string_view value);
    bool WriteInteger(std::string_view name, std::int32_t value);
    bool WriteBool(std::string_view name, bool value);
    bool DeleteValue(std::string_view name);

private:
    std::string Resolve(std::string_view key) const;

    RegistryStore& store_;
    HKEY root_ = HKEY_CURRENT_USER;
    std::string current_;
    bool open_ = false;
};

}  // namespace plat
