#include "converter/project_writer.h"

#include <cstdlib>
#include <fstream>

#include "converter/converter_strings.h"
#include "converter/pictures.h"
#include "converter/rtf_head.h"
#include "converter/topic_stream.h"
#include "converter/topic_writer.h"
#include "platform/core/codepage.h"
#include "platform/core/ini_file.h"
#include "platform/core/paths.h"

namespace conv {

namespace {

std::string FileNamePart(const std::string& path) {
    std::size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

bool WriteBytesFile(const std::string& name, const char* data, std::size_t n) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(data, static_cast<std::streamsize>(n));
    out.close();
    if (!out) throw HelpFileError("Can't write. Disk Full?");
    return true;
}

enum class Section { Options, Config, Windows, Groups };

}  // namespace

std::string ProjectValue(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text)
        if (c >= 0x20 && c != 0x7F) out += static_cast<char>(c);
    return out;
}

std::string ProjectLineStart(std::string_view text) {
    std::string out = ProjectValue(text);
    if (!out.empty() && (out[0] == '[' || out[0] == ';')) out.insert(0, " ");
    return out;
}

namespace {

std::string CString(const std::string& data, std::size_t at, std::size_t max) {
    if (at >= data.size()) return {};
    std::string s = data.substr(at, max);
    return s.substr(0, s.find('\0'));
}

}  // namespace

OutputNames MakeOutputNames(const std::string& path, ConversionFlags flags) {
    OutputNames n;
    n.helpPath = path;
    std::string file = FileNamePart(path);
    if (file.find('.') == std::string::npos) {
        n.helpPath += ".HLP";
        file += ".HLP";
    }
    file = SafeFileName(file);
    std::size_t dot = file.rfind('.');
    std::string stem = dot == std::string::npos ? file : file.substr(0, dot);
    if (stem.empty()) stem = "unnamed";
    n.projectFile = stem + ".HPJ";
    n.baseName = (flags & kSplitRtf) ? stem.substr(0, 6) : stem;
    return n;
}

std::string WindowLine(const std::string& d) {
    auto u16 = [&](std::size_t at) -> int {
        return at + 2 <= d.size() ? GetU16(reinterpret_cast<const std::uint8_t*>(d.data()) + at) : 0;
    };
    auto byte = [&](std::size_t at) -> int { return at < d.size() ? static_cast<std::uint8_t>(d[at]) : 0; };
    const int flags = u16(0);
    std::string line = ProjectLineStart(CString(d, 12, 9)) + "=";
    if (flags & 0x04) line += "\"" + ProjectValue(CString(d, 21, 51)) + "\"";
    line += ",";
    if (flags & 0x78) {
        line += "(";
        if (flags & 0x08) line += std::to_string(u16(72));
        line += ",";
        if (flags & 0x10) line += std::to_string(u16(74));
        line += ",";
        if (flags & 0x20) line += std::to_string(u16(76));
        line += ",";
        if (flags & 0x40) line += std::to_string(u16(78));
        line += ")";
    }
    line += ",";
    if (flags & 0x80) line += std::to_string(u16(80));
    line += ",";
    if (flags & 0x100) line += FormatString("(%d,%d,%d)", byte(82), byte(83), byte(84));
    line += ",";
    if (flags & 0x200) line += FormatString("(%d,%d,%d)", byte(86), byte(87), byte(88));
    line += "\n";
    return line;
}

std::string GroupLine(const std::string& data) {
    std::string text = data.substr(0, data.find('\0'));
    std::string line = "Group=";
    std::size_t dot = text.find('.');
    if (dot == std::string::npos) {
        line += ProjectValue(text);
    } else {
        line += ProjectValue(text.substr(0, dot)) + ", ";
        if (dot + 5 < text.size()) line += ProjectValue(text.substr(dot + 5));
    }
    return line + "\n";
}

void WriteProjectOptions(Conversion& hf, RtfOutput& project) {
    const int sysFlags = hf.file.systemHeader.flags;
    project.Printf("[options]\nCompress=%s\n", sysFlags == 0 ? "FALSE" : sysFlags == 4 ? "HIGH" : "MEDIUM");
    if (hf.file.isHC30) {
        SystemInfo info;
        ReadSystemInfo(hf, info);
        if (info.title) project.Printf("Title=%s\n", ProjectValue(*info.title).c_str());
        return;
    }
    // Option lines belong under [options]; they are held back until the
    // records are walked so a window or macro record before them does not
    // put them into its section.
    std::string options, config, windows, groups;
    const bool forPrint = hf.options.flags & kForPrint;
    for (const SystemRecord& r : ReadSystemRecords(hf)) {
        // Every value from the file stays on its own line.
        const std::string text = ProjectValue(r.data.substr(0, r.data.find('\0')));
        switch (r.type) {
        case 1:
            if (!text.empty()) options += "Title=" + text + "\n";
            break;
        case 2:
            if (text.size() > 2) options += "CopyRight=" + text + "\n";
            break;
        case 3:
            if (r.data.size() >= 4) {
                const std::uint32_t t = GetU32(reinterpret_cast<const std::uint8_t*>(r.data.data()));
                if (auto name = ContextNameForTopic(hf, t >= 5 ? t - 5 : 0, t + 5))
                    options += "Contents=" + ProjectValue(*name) + "\n";
            }
            break;
        case 4: config += ProjectLineStart(text) + "\n"; break;
        case 5:
            if (!forPrint) {
                options += "ICON=ICON.ICO\n";
                WriteBytesFile("ICON.ICO", r.data.data(), r.data.size());
                NoteOutputName(hf, "ICON.ICO");
            }
            break;
        case 6: {
            windows += WindowLine(r.data);
            const int wflags = r.data.size() >= 2 ? GetU16(reinterpret_cast<const std::uint8_t*>(r.data.data())) : 0;
            if ((wflags & 0x02) && hf.state.windowNames.size() < static_cast<std::size_t>(kMaxWindowNames))
                hf.state.windowNames.push_back(CString(r.data, 12, 9));
            break;
        }
        case 8: options += "Citation= " + text + "\n"; break;
        case 13: groups += GroupLine(r.data); break;
        default: break;
        }
    }
    project.Write(options);
    if (!config.empty()) project.Write("\n[Config]\n" + config);
    if (!windows.empty()) project.Write("\n[Windows]\n" + windows);
    if (!groups.empty()) project.Write("\n[GROUPS]\n" + groups);
}

void WriteProjectBitmaps(Conversion& hf, RtfOutput& project) {
    // Pictures of a document that embeds them live only while it is written:
    // in a private folder (never a fixed name in a shared one).
    const std::string temp = (hf.options.flags & kBmpInRtf) ? PictureFolder(hf) : std::string();
    project.Write("\n[Bitmaps]\n");
    const std::size_t count = hf.file.directoryEntries.size();
    for (std::size_t i = 0; i < count; ++i) {
        const DirectoryEntry& e = hf.file.directoryEntries[i];
        SetProgress(hf, static_cast<int>(40 * i / count), 2);
        std::string name = e.name;
        if (!name.empty() && name[0] == '|') name.erase(0, 1);
        if (name.compare(0, 2, "bm") != 0) continue;
        const std::string plain = SafeFileName(name);
        const std::string base = !temp.empty() ? temp + "/" + plain : plain;
        const std::string file = ConvertPicture(hf, e.offset, e.size, base);
        if (!InPictureFolder(hf, file)) NoteOutputName(hf, file);
        project.Printf("%s\n", file.c_str());
        RecordPictureFile(hf, ParseDecimal(std::string_view(name).substr(2)), file);
    }
}

namespace {

std::string NameKey(const std::string& name) {
    std::string key = name;
    for (char& c : key) c = static_cast<char>(plat::CharUpper(static_cast<unsigned char>(c)));
    return key;
}

// True when `name` is one of the run's own outputs (the project, an RTF
// file, ICON.ICO) or a file it already wrote. Names compare without
// regard to case: the files meet a case-blind help compiler.
bool NameTaken(const Conversion& hf, const std::string& name) {
    const std::string key = NameKey(name);
    if (hf.state.writtenNames.count(key)) return true;
    // <base>.RTF, or with split files <base><n>.RTF.
    const std::string base = NameKey(hf.options.rtfBaseName);
    if (key.size() < base.size() + 4 || key.compare(0, base.size(), base) != 0 ||
        key.compare(key.size() - 4, 4, ".RTF") != 0)
        return false;
    const std::string middle = key.substr(base.size(), key.size() - base.size() - 4);
    if (!(hf.options.flags & kSplitRtf)) return middle.empty();
    return !middle.empty() && middle.find_first_not_of("0123456789") == std::string::npos;
}

// `name`, or the first "<stem>_<n><ext>" no output of the run has.
std::string UniqueOutputName(const Conversion& hf, const std::string& name) {
    if (!NameTaken(hf, name)) return name;
    const std::size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
    const std::string ext = dot == std::string::npos ? std::string() : name.substr(dot);
    for (int n = 1;; ++n) {
        std::string candidate = stem + "_" + std::to_string(n) + ext;
        if (!NameTaken(hf, candidate)) return candidate;
    }
}

}  // namespace

void NoteOutputName(Conversion& hf, const std::string& name) { hf.state.writtenNames.insert(NameKey(name)); }

void WriteProjectBaggage(Conversion& hf, RtfOutput& project) {
    project.Write("\n[Baggage]\n");
    const std::size_t count = hf.file.directoryEntries.size();
    for (std::size_t i = 0; i < count; ++i) {
        const DirectoryEntry& e = hf.file.directoryEntries[i];
        SetProgress(hf, static_cast<int>(41 + 3 * i / count), 3);
        if (e.name.empty() || e.name[0] == '|' || e.name.compare(0, 2, "bm") == 0) continue;
        const std::string plain = SafeFileName(e.name);
        const std::uint64_t end = static_cast<std::uint64_t>(e.offset) + e.size;
        if (end > hf.state.stream.Size()) continue;
        // Baggage never replaces the run's own files, nor another baggage
        // file whose name came out the same.
        const std::string name = UniqueOutputName(hf, plain);
        if (!WriteBytesFile(name, reinterpret_cast<const char*>(hf.state.stream.Data() + e.offset), e.size)) continue;
        NoteOutputName(hf, name);
        if (name != plain) AddWarning(hf, kWarnOutputRenamed, {plain, name});
        project.Printf("%s\n", name.c_str());
    }
}

void WriteProjectMap(Conversion& hf, RtfOutput& project) {
    if (!hf.file.ctxoMap.present()) return;
    project.Write("\n[Map]\n");
    const std::uint8_t* p = hf.state.stream.Data() + hf.file.ctxoMap.offset;
    const std::uint32_t size = hf.file.ctxoMap.size;
    if (size < 2) return;
    const std::uint32_t count = GetU16(p);
    for (std::uint32_t i = 0; i < count && 2 + 8ull * (i + 1) <= size; ++i) {
        SetProgress(hf, static_cast<int>(47 + 3 * i / count), 5);
        const auto number = static_cast<std::int32_t>(GetU32(p + 2 + 8 * i));
        const std::uint32_t offset = GetU32(p + 6 + 8 * i);
        std::optional<std::string> name =
            hf.file.isHC30 ? LookupTopicMap(hf, offset) : ContextNameForTopic(hf, offset, offset);
        if (name)
            project.Printf("#define %s %ld\n", ProjectValue(*name).c_str(), static_cast<long>(number));
        else
            AddWarning(hf, 10, {static_cast<unsigned long>(offset)});
    }
}

void RunCollectPass(Conversion& hf) {
    RtfOutput none;
    WriteTopics(hf, "dummy", none, false);
}

void ConvertHelpFile(const ConversionRequest& request, std::vector<HelpWarning>* warnings,
                     std::function<void(int, int)> progress,
                     std::function<void(const HelpWarning&)> onWarning) {
    const OutputNames names = MakeOutputNames(request.path, request.flags);
    std::unique_ptr<HelpFileData> file = ReadHelpFile(plat::NativePath(names.helpPath), request.flags);
    if (!file) throw HelpFileError(FormatString("Can't open File %s", names.helpPath.c_str()));
    ConvertReadHelpFile(*file, request, warnings, std::move(progress), std::move(onWarning));
}

void ConvertReadHelpFile(const HelpFileData& file, const ConversionRequest& request,
                         std::vector<HelpWarning>* warnings, std::function<void(int, int)> progress,
                         std::function<void(const HelpWarning&)> onWarning) {
    const OutputNames names = MakeOutputNames(request.path, request.flags);
    const bool forPrint = request.flags & kForPrint;
    ConvertOptions options;
    options.flags = request.flags;
    options.progress = std::move(progress);
    options.onWarning = std::move(onWarning);
    options.rtfBaseName = names.baseName;
    options.wordProcessor = forPrint ? plat::GetPrivateProfileInt(kIniSection, "WordProcessor", 0, kIniFile) : 0;
    RtfOutput project;
    {
        Conversion hf(file, options);
        // Reading may already have found some.
        if (hf.options.onWarning)
            for (const HelpWarning& w : hf.state.warnings) hf.options.onWarning(w);
        if (!forPrint) NoteOutputName(hf, names.projectFile);
        if (!forPrint && !project.OpenFile(names.projectFile))
            throw HelpFileError(FormatString("Can't open File %s", names.projectFile.c_str()));
        try {
            if (!forPrint || (hf.options.flags & kPageLinks)) LoadContextTable(hf);
            WriteProjectOptions(hf, project);
            WriteProjectBitmaps(hf, project);
            if (!forPrint) {
                WriteProjectBaggage(hf, project);
                WriteProjectMap(hf, project);
            }
            if (!forPrint || (hf.options.flags & kIndex)) {
                SetProgress(hf, 0, 1);
                if (auto k = LoadKeywordIndex(hf, hf.file.kwBtree, hf.file.kwData)) hf.state.kTable = std::move(*k);
                if (auto a = LoadKeywordIndex(hf, hf.file.awBtree, hf.file.awData)) hf.state.aTable = std::move(*a);
                ResetKeywordLookups(hf);
            }
            WriteFontTable(hf, nullptr);
            if (hf.options.flags & kBrowseSequences) RunCollectPass(hf);
            WriteTopics(hf, names.baseName, project, true);
        } catch (...) {
            if (warnings) *warnings = hf.state.warnings;
            // Scratch pictures go; the output written so far stays.
            RemovePictureFiles(hf);
            throw;
        }
        if (warnings) *warnings = hf.state.warnings;
        RemovePictureFiles(hf);
    }
    project.Close();
}

}  // namespace conv
