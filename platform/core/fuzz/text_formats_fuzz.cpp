// Arbitrary bytes as an ini file, a registry file and a command line: every
// reader must cope without a crash, and a command line must survive a
// join/split round trip.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "platform/core/ini_file.h"
#include "platform/core/process.h"
#include "platform/core/registry.h"

namespace {

// One scratch folder per process, under the temporary folder, removed when
// the process ends: a run leaves nothing behind.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "tavrin-fuzz-XXXXXX").string();
        if (mkdtemp(tmpl.data())) path_ = tmpl;
        else std::abort();  // no place to write: the target cannot run
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string File(const char* name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string ScratchFile(const char* name) {
    static ScratchFolder folder;
    return folder.File(name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string iniPath = ScratchFile("fuzz.ini");
    {
        std::ofstream out(iniPath, std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    plat::TIniFile ini(iniPath);
    for (const std::string& section : ini.ReadSections())
        for (const std::string& key : ini.ReadSection(section)) (void)ini.ReadString(section, key, "");

    const std::string regPath = ScratchFile("registry.txt");
    {
        std::ofstream out(regPath, std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    plat::RegistryStore store(regPath);
    for (const std::string& key : store.SubKeyNames(plat::HKEY_CURRENT_USER, ""))
        for (const std::string& value : store.ValueNames(plat::HKEY_CURRENT_USER, key)) {
            plat::RegValue v;
            (void)store.ReadValue(plat::HKEY_CURRENT_USER, key, value, v);
        }

    std::vector<std::string> args = plat::SplitCommandLine(bytes);
    std::string joined = plat::JoinCommandLine(args);
    if (plat::SplitCommandLine(joined) != args) std::abort();
    return 0;
}
