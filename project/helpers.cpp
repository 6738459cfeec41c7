#include "project/helpers.h"

#include "platform/core/files.h"
#include "platform/core/ini_file.h"
#include "platform/core/last_error.h"
#include "platform/core/paths.h"
#include "platform/core/process.h"
#include "platform/core/safe_file.h"
#include "platform/core/dialog_service.h"

#include <vector>

namespace editor {

void ShowWarning(const std::string& caption, const std::string& text) {
    gui::MessageBox(text, caption, gui::MB_OK);
}

int ExecAndWait(const std::vector<std::string>& argv, int /*showState*/) {
    if (argv.empty() || argv.front().empty()) return -1;
    return plat::RunAndWait(argv);
}

std::string ConverterIniPath() { return plat::JoinPath(plat::WindowsDir(), "Rendlow.ini"); }

const std::vector<ConverterIniKey>& ConverterIniKeys() {
    static const std::vector<ConverterIniKey> keys = {
        {"ForPrint", 0}, {"NoShg", 0},    {"SplitRtf", 0}, {"PageBreak", 1}, {"EwSupport", 0}, {"Jumps", 1},
        {"PageLinks", 0}, {"Index", 0}, {"Toc", 0},      {"BmpInRtf", 0},  {"Localize", 0},  {"WordProcessor", 1},
    };
    return keys;
}

void WriteConverterIni() {
    plat::TIniFile ini(ConverterIniPath());
    for (const ConverterIniKey& k : ConverterIniKeys()) ini.WriteBool("Options", k.key, k.defaultValue != 0);
}

std::string ProjectFolder(const std::string& storedDir, const std::string& programDir) {
    if (storedDir.empty() || plat::HasDriveLetter(storedDir) || plat::IsPathDelimiter(storedDir.front()))
        return storedDir;
    return plat::JoinPath(plat::ExcludeTrailingBackslash(programDir), storedDir);
}

std::string ProjectFolderOrProgramDir(const std::string& storedDir, const std::string& programDir) {
    return storedDir.empty() ? programDir : ProjectFolder(storedDir, programDir);
}

bool CopyFileByStream(const std::string& source, const std::string& target) {
    plat::File in;
    if (!in.Open(source, plat::FileAccess::Read, plat::FileShare::DenyWrite)) return false;
    plat::SafeFileWriter out(target);
    if (!out.IsOpen()) return false;
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const std::int64_t got = in.Read(buffer.data(), buffer.size());
        if (got < 0) return false;
        if (got == 0) break;
        if (!out.Write(buffer.data(), static_cast<std::size_t>(got))) return false;
    }
    return out.Commit();
}

void EmptyDirectory(const std::string& directory) {
    plat::SearchRec rec;
    std::vector<std::string> names;
    if (plat::FindFirst(plat::JoinPath(directory, "*.*"), plat::faAnyFile, rec) == 0) {
        do {
            if (!rec.IsDirectory()) names.push_back(rec.Name);
        } while (plat::FindNext(rec) == 0);
        plat::FindClose(rec);
    }
    for (const std::string& n : names) plat::DeleteFile(plat::JoinPath(directory, n));
}

std::string FindHpjFile(const std::string& directory) {
    plat::SearchRec rec;
    std::string found;
    if (plat::FindFirst(plat::JoinPath(directory, "*.hpj"), 0, rec) == 0) {
        found = plat::JoinPath(directory, rec.Name);
        plat::FindClose(rec);
    }
    return found;
}

bool TruncateFileLastByte(const std::string& fileName) {
    plat::File f;
    if (!f.Open(fileName, plat::FileAccess::ReadWrite, plat::FileShare::Exclusive)) return false;
    const std::int64_t size = f.Size();
    if (size <= 0) return false;
    return f.Seek(size - 1) == size - 1 && f.SetEnd();
}

void SplitToStrings(const std::string& text, const std::string& separator, plat::StringList& list) {
    for (const std::string& piece : SplitToStrings(text, separator)) list.Add(piece);
}

std::vector<std::string> SplitToStrings(const std::string& text, const std::string& separator) {
    std::vector<std::string> pieces;
    if (separator.empty()) return {text};
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(separator, start);
        if (at == std::string::npos) break;
        pieces.push_back(text.substr(start, at - start));
        start = at + separator.size();
    }
    pieces.push_back(text.substr(start));
    return pieces;
}

bool IsValidFileName(const std::string& fileName) {
    if (fileName.empty()) return false;
    std::string name = fileName;
    if (plat::ExtractFileName(name).find('.') == std::string::npos) name += ".x";
    if (plat::FileExists(name)) return true;
    plat::File f;
    if (!f.Open(name, plat::FileAccess::Write, plat::FileShare::Exclusive, plat::FileDisposition::CreateNew))
        return plat::GetLastError() == plat::ERROR_ACCESS_DENIED;
    f.Close();
    plat::DeleteFile(name);
    return true;
}

bool IsValidDirectoryName(const std::string& directory) {
    if (directory.empty()) return false;
    if (plat::DirectoryExists(directory)) return true;
    // Makes the missing folders, then removes exactly those again.
    std::vector<std::string> made;
    std::string dir = plat::ExcludeTrailingBackslash(directory);
    std::vector<std::string> missing;
    while (!dir.empty() && !plat::DirectoryExists(dir)) {
        missing.push_back(dir);
        const std::string parent = plat::ExtractFileDir(dir);
        if (parent == dir) break;
        dir = parent;
    }
    bool ok = true;
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (!plat::CreateDir(*it)) { ok = false; break; }
        made.push_back(*it);
    }
    for (auto it = made.rbegin(); it != made.rend(); ++it) plat::RemoveDir(*it);
    return ok;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i) out += "\r\n";
        out += lines[i];
    }
    return out;
}

}  // namespace editor
