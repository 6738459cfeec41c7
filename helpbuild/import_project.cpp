#include "helpbuild/import_project.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <sstream>

#include "helpbuild/contents/contents_tables.h"
#include "helpbuild/hpj_writer.h"
#include "converter/topic_stream.h"
#include "project/editor_context.h"
#include "project/import_journal.h"
#include "project/helpers.h"
#include "project/page_text.h"
#include "project/project_tables.h"
#include "data/bulk_transaction.h"
#include "platform/core/codepage.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/safe_file.h"
#include "platform/core/process.h"
#include "data/fields.h"
#include "platform/core/dialog_service.h"

namespace build {

namespace fs = std::filesystem;

namespace {

constexpr const char* kWizardCaption = "Tavrin Import Wizard";
constexpr const char* kProjectNotFound =
    "Please enter the name of a valid Project. You can use the ellipsis button on the right of the WinHelp Project "
    "field to help you locate a Project.";

void Info(const std::string& caption, const std::string& text) {
    gui::MessageBox(text, caption, gui::MB_OK | gui::MB_ICONINFORMATION);
}

bool ReadWholeFile(const std::string& path, std::string& out) {
    std::ifstream in(plat::NativePath(path), std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    out = s.str();
    return !in.bad();
}

std::string Native(const std::string& path) { return plat::NativePath(path); }

bool WriteWholeFile(const std::string& path, const std::string& bytes) { return plat::WriteFileSafely(path, bytes); }

// A name in a folder, with the separator the folder already uses.
std::string Join(const std::string& folder, const std::string& name) {
    if (folder.find('/') == std::string::npos) return plat::JoinPath(folder, name);
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

bool SameFileName(const std::string& a, const std::string& b) { return SameText(a, b); }

// The new row's field, with text cut to the field's size.
void SetText(db::TDataSet& t, const char* name, const std::string& value) {
    db::TField* f = t.FieldByName(name);
    if (f->Size > 0 && value.size() > static_cast<std::size_t>(f->Size)) f->SetAsString(value.substr(0, f->Size));
    else f->SetAsString(value);
}

// Context strings the import renamed: the old string in upper case -> the new.
using RenamedContexts = std::map<std::string, std::string>;

// The new name of a jump target ("ctx", "ctx>window", "ctx@file.hlp", with
// "%" or "*" before it); "" when it names no renamed string. The whole
// target is tried first: an old string may hold ">" or "@" itself.
std::string RenamedTarget(const std::string& target, const RenamedContexts& renamed) {
    const std::size_t lead = !target.empty() && (target[0] == '%' || target[0] == '*') ? 1 : 0;
    const std::string name = target.substr(lead);
    auto it = renamed.find(plat::AnsiUpperCase(name));
    if (it != renamed.end()) return target.substr(0, lead) + it->second;
    const std::size_t cut = name.find_first_of(">@");
    if (cut == std::string::npos) return {};
    it = renamed.find(plat::AnsiUpperCase(name.substr(0, cut)));
    if (it == renamed.end()) return {};
    return target.substr(0, lead) + it->second + name.substr(cut);
}

// Rewrites the hidden text after each "\v" (a jump's target) that names a
// renamed context string. The hidden text is read with its escapes ("\\",
// "\{", "\}", "\'hh") and ends at a brace or another control word.
std::string RewriteJumpTargets(const std::string& rtf, const RenamedContexts& renamed) {
    if (renamed.empty()) return rtf;
    std::string out;
    std::size_t copied = 0;
    for (std::size_t pos = rtf.find("\\v"); pos != std::string::npos; pos = rtf.find("\\v", pos + 1)) {
        if (pos > 0 && rtf[pos - 1] == '\\') continue;  // an escaped backslash, not a word
        std::size_t at = pos + 2;
        if (at < rtf.size() && (std::isalpha(static_cast<unsigned char>(rtf[at])) || rtf[at] == '0')) continue;
        if (at < rtf.size() && rtf[at] == ' ') ++at;
        std::string target;
        std::size_t end = at;
        while (end < rtf.size() && rtf[end] != '{' && rtf[end] != '}') {
            if (rtf[end] != '\\') {
                if (rtf[end] != '\r' && rtf[end] != '\n') target += rtf[end];
                ++end;
                continue;
            }
            if (end + 1 < rtf.size() && (rtf[end + 1] == '\\' || rtf[end + 1] == '{' || rtf[end + 1] == '}')) {
                target += rtf[end + 1];
                end += 2;
            } else if (end + 3 < rtf.size() && rtf[end + 1] == '\'' && std::isxdigit(static_cast<unsigned char>(rtf[end + 2])) &&
                       std::isxdigit(static_cast<unsigned char>(rtf[end + 3]))) {
                target += static_cast<char>(std::stoi(rtf.substr(end + 2, 2), nullptr, 16));
                end += 4;
            } else {
                break;  // another control word ends the hidden run
            }
        }
        const std::string to = RenamedTarget(target, renamed);
        if (to.empty()) continue;
        out.append(rtf, copied, at - copied);
        out += to;  // a valid name needs no escapes
        copied = end;
        pos = end - 1;
    }
    out.append(rtf, copied, std::string::npos);
    return out;
}

// A compiled help file keeps only the hashes of its context strings, so the
// converter names each page by a string of the same hash ("95ew0l"); the
// contents file beside it still names the author's strings
// ("Configuring_Eudora"). Each contents jump to no page's context string
// whose hash is that of exactly one page's takes that page's string, so the
// contents reach their pages in the project too (the help compiler, which
// goes by the hash, sees no difference).
std::string MatchContentsJumpsToPages(const std::string& cnt, const std::vector<ImportedPage>& pages,
                                      const RenamedContexts& renamed) {
    std::set<std::string> names;
    std::map<std::uint32_t, std::vector<std::string>> byHash;
    for (const ImportedPage& p : pages)
        if (!p.contextString.empty() && names.insert(plat::AnsiUpperCase(p.contextString)).second)
            byHash[conv::ContextHash(p.contextString)].push_back(p.contextString);
    std::string out;
    out.reserve(cnt.size());
    for (std::size_t at = 0; at < cnt.size();) {
        std::size_t end = cnt.find_first_of("\r\n", at);
        if (end == std::string::npos) end = cnt.size();
        std::string line = cnt.substr(at, end - at);
        // "level title=jump[@file][>window]"; ":" lines and macros stay.
        std::size_t eq = std::string::npos;
        for (std::size_t i = 0; i < line.size(); ++i)
            if (line[i] == '\\') ++i;
            else if (line[i] == '=') {
                eq = i;
                break;
            }
        if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0])) && eq != std::string::npos) {
            std::size_t from = eq + 1;
            while (from < line.size() && line[from] == ' ') ++from;
            std::size_t to = line.find_first_of("@>", from);
            if (to == std::string::npos) to = line.size();
            while (to > from && line[to - 1] == ' ') --to;
            const std::string jump = line.substr(from, to - from);
            // A number is a help id, "@" another file's, "!" a macro.
            const bool ownFile = line.find('@', from) == std::string::npos;
            const bool number = jump.find_first_not_of("0123456789") == std::string::npos;
            const auto rename = renamed.find(plat::AnsiUpperCase(jump));
            if (ownFile && rename != renamed.end()) {
                line.replace(from, to - from, rename->second);
            } else if (ownFile && !number && jump[0] != '!' && !names.count(plat::AnsiUpperCase(jump))) {
                auto it = byHash.find(conv::ContextHash(jump));
                if (it != byHash.end() && it->second.size() == 1) line.replace(from, to - from, it->second.front());
            }
        }
        out += line;
        std::size_t next = end;  // after one CR LF, LF or CR
        if (next < cnt.size() && cnt[next] == '\r') ++next;
        if (next < cnt.size() && cnt[next] == '\n' && (next == end || cnt[next - 1] == '\r')) ++next;
        out.append(cnt, end, next - end);
        at = next;
    }
    return out;
}

// The default buttons the writer makes of AddButton1-3, in its order.
const char* const kDefaultButtons[] = {"CreateButton(\"btn_print\",\"&Print\",\"Print()\")", "BrowseButtons()",
                                       "CreateButton(\"btn_close\",\"E&xit\",\"Exit()\")"};

std::string TrimmedText(const std::string& s) {
    const std::size_t a = s.find_first_not_of(" \t"), b = s.find_last_not_of(" \t");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

// The converted project's settings onto the new row (after its defaults):
// what a field holds goes there, the rest into `kept` for the writer.
void TakeConvertedSettings(db::TDataSet& main, const ConvertedSettings& s, KeptHpjLines& kept) {
    auto set = [&](const char* name, const std::string& v) { SetText(main, name, v); };
    if (!s.compress.empty()) set("Compress", s.compress);
    if (!s.contents.empty()) kept.options.push_back("CONTENTS=" + s.contents);
    ProjectFields p;
    p.compile = main.FieldByName("Compile")->AsString();
    p.coLetWindowsDecide = "Y";
    if (!s.mainWindow.empty()) {
        const std::vector<std::string> w = WindowValueFields(s.mainWindow);
        std::string xywh[4];
        if (w.size() > 1 && ReadPositionGroup(w[1], xywh) && !(xywh[0] + xywh[1] + xywh[2] + xywh[3]).empty()) {
            p.coLetWindowsDecide = "N";
            const char* names[] = {"Wx", "Wy", "Ww", "Wh"};
            for (int i = 0; i < 4; ++i)
                if (!xywh[i].empty()) main.FieldByName(names[i])->SetAsInteger(std::atoi(xywh[i].c_str()));
        }
        if (w.size() > 5 && TrimmedText(w[5]) == "1") set("StayOnTop", "Y");
    }
    set("CoLetWindowsDecide", p.coLetWindowsDecide);
    // The first further window goes into the secondary window's fields when
    // they give back the very line; any other window is kept as it was.
    const std::string S = ColorToRgbString(static_cast<std::uint32_t>(main.FieldByName("ScrollColor")->AsInteger()));
    const std::string N = ColorToRgbString(static_cast<std::uint32_t>(main.FieldByName("NonscrollColor")->AsInteger()));
    bool secondaryTaken = false;
    for (const std::string& line : s.otherWindows) {
        const std::size_t eq = line.find('=');
        if (!secondaryTaken && eq != std::string::npos) {
            ProjectFields q = p;
            q.secondaryWindow = TrimmedText(line.substr(0, eq));
            std::vector<std::string> w = WindowValueFields(line.substr(eq + 1));
            std::string title = w.empty() ? std::string() : TrimmedText(w[0]);
            if (title.size() >= 2 && title.front() == '"' && title.back() == '"') title = title.substr(1, title.size() - 2);
            q.secondaryWindowTitle = title;
            std::string xywh[4];
            if (w.size() > 1 && ReadPositionGroup(w[1], xywh)) {
                q.gx = xywh[0], q.gy = xywh[1], q.gw = xywh[2], q.gh = xywh[3];
            }
            const bool onTop = w.size() > 5 && TrimmedText(w[5]) == "1";
            const std::string written = SecondaryWindowLine(q, S, N) + (onTop ? ",1" : "");
            if (q.secondaryWindow.size() <= 8 && title.size() <= 50 && WindowNameRefusal(q.secondaryWindow, title).empty() &&
                written == line) {
                secondaryTaken = true;
                set("SecondaryWindow", q.secondaryWindow);
                set("SecondaryWindowTitle", title);
                set("SecondStayOnTop", onTop ? "Y" : "N");
                const char* names[] = {"Gx", "Gy", "Gw", "Gh"};
                for (int i = 0; i < 4; ++i)
                    if (!xywh[i].empty()) main.FieldByName(names[i])->SetAsInteger(std::atoi(xywh[i].c_str()));
                continue;
            }
        }
        kept.windows.push_back(line);
    }
    // The default buttons as flags when the macros are just those; anything
    // else is the help file's own and is kept as it was, without defaults.
    std::vector<std::string> config;
    for (const std::string& line : s.config) config.push_back(TrimmedText(line));
    bool onlyDefaults = true;
    std::size_t next = 0;
    bool flag[3] = {false, false, false};
    for (const std::string& line : config) {
        while (next < 3 && line != kDefaultButtons[next]) ++next;
        if (next == 3) {
            onlyDefaults = false;
            break;
        }
        flag[next++] = true;
    }
    for (int i = 0; i < 3; ++i) set(("AddButton" + std::to_string(i + 1)).c_str(), onlyDefaults && flag[i] ? "Y" : "N");
    if (!onlyDefaults) kept.config = s.config;
}

}  // namespace

const std::vector<NewProjectDefaults>& ImportedProjectDefaults() {
    static const std::vector<NewProjectDefaults> kDefaults = {
        {"AutogenerateContents", "N"}, {"Win95Contents", "N"},        {"Compile", "32"},
        {"DefaultTextFont", "Arial"},  {"DefaultTextSize", "10"},     {"DefaultTextColor", "0"},
        {"DefaultTextStyle", "[]"},    {"TitleFont", "Arial"},        {"TitleSize", "12"},
        {"TitleColor", "0"},           {"TitleStyle", "[afsBold]"},   {"PopupFont", "Arial"},
        {"PopupSize", "10"},           {"PopupColor", "0"},           {"PopupStyle", "[afsBold]"},
        {"Compress", "OFF"},           {"AutogeneratePRJfile", "Y"},  {"AddButton1", "Y"},
        {"AddButton2", "Y"},           {"AddButton3", "Y"},           {"AutoSize", "Y"},
        {"StayOnTop", "1"},            {"AutoGenerateCntFile", "N"},
    };
    return kDefaults;
}

ContextStringVerdict TakeImportedContextString(const std::string& value, std::string& stored) {
    const std::size_t from = value.find_first_not_of(" \t");
    const std::size_t to = value.find_last_not_of(" \t");
    const std::string trimmed = from == std::string::npos ? std::string() : value.substr(from, to - from + 1);
    bool allowed = !trimmed.empty() && trimmed.size() <= kMaxContextStringLength;
    std::string valid = trimmed.substr(0, kMaxContextStringLength);
    for (char& ch : valid) {
        const unsigned char u = static_cast<unsigned char>(ch);
        if (!((u < 128 && std::isalnum(u)) || ch == '_' || ch == '.')) {
            allowed = false;
            ch = '_';
        }
    }
    if (value.empty()) {
        stored.clear();
        return ContextStringVerdict::Kept;
    }
    if (trimmed.empty()) {
        stored.clear();
        return ContextStringVerdict::Refused;
    }
    // A name the compiler cannot take becomes one it can, so the page keeps
    // its jumps (the caller renames them too).
    stored = allowed ? trimmed : valid;
    return stored == value ? ContextStringVerdict::Kept : ContextStringVerdict::Mapped;
}

std::string ImportedPageRefusal(const ImportedPage& page) {
    if (!page.helpId) return "it has no help id";
    if (page.topicPopup != "T" && page.topicPopup != "P") return "it is neither a topic nor a popup";
    if (page.topicPopup == "T" && page.title.empty()) return "it is a topic without a title";
    return {};
}

bool IsEmptyImportedSection(const ImportedPage& p) {
    return p.title.empty() && p.fullTitle.empty() && p.contextString.empty() && p.keys.empty() &&
           p.browseName.empty() && !p.browseId && p.macroFootnote.empty() && p.bFootnote.empty() &&
           p.aFootnote.empty() && !p.helpId && editor::IsEmptyText(p.helpText);
}

ImportEnvironment DefaultImportEnvironment() {
    ImportEnvironment env;
    env.converterProgram = [] { return editor::FindConverterProgram(); };
    env.writeConverterIni = [] { editor::WriteConverterIni(); };
    env.readCntFile = [](editor::EditorContext& ctx, const std::string& cntPath) { return ReadCntFileInto(ctx, cntPath); };
    env.run = [](const std::vector<std::string>& argv, const std::string& folder) {
        // The converter reads its settings from the same data folder as we do.
        ::setenv("TAVRIN_HOME", plat::DataHome().c_str(), 1);
        return plat::RunAndWait(argv, Native(folder));
    };
    return env;
}

ImportSession::ImportSession(editor::EditorContext& ctx, ImportEnvironment env) : ctx_(ctx), env_(std::move(env)) {
    if (!env_.createProgress) env_.createProgress = [] { return std::make_unique<NullProgress>(); };
    if (!env_.setCaption) env_.setCaption = [](const std::string&) {};
}

ImportSession::~ImportSession() { RemoveTempFolder(); }

std::string ImportSession::TempFolder() const { return Join(ctx_.ProgramDir, editor::kImportTempFolderName); }

void ImportSession::RemoveTempFolder() {
    std::error_code ec;
    fs::remove_all(Native(TempFolder()), ec);
}

bool ImportSession::ConvertHelpFile(ImportFields& fields) {
    if (fields.helpFile.empty()) {
        editor::ShowWarning("No Help File selected", "Please enter a help file or select Cancel to quit.");
        return false;
    }
    if (!plat::FileExists(fields.helpFile)) {
        editor::ShowWarning("Warning", "This help file could not be found. Please re-enter.");
        return false;
    }
    const std::string program = env_.converterProgram ? env_.converterProgram() : std::string();
    if (program.empty()) {
        editor::ShowWarning("Warning", "The converter program Rendlow32 could not be found, so " + fields.helpFile +
                                           " cannot be imported.");
        return false;
    }
    // A fresh temporary folder: nothing of an earlier run may be taken along.
    RemoveTempFolder();
    const std::string temp = TempFolder();
    std::error_code ec;
    fs::create_directories(Native(temp), ec);
    if (ec) {
        editor::ShowWarning("Warning", "The folder " + temp + " could not be made.");
        return false;
    }
    // A contents file beside the help file (same base name, any case) comes
    // along, so the help file's contents reach the project.
    const fs::path help = Native(fields.helpFile);
    const std::string cntName = help.stem().string() + ".cnt";
    for (const auto& entry : fs::directory_iterator(help.parent_path(), ec))
        if (entry.is_regular_file() && SameFileName(entry.path().filename().string(), cntName)) {
            fs::copy_file(entry.path(), fs::path(Native(temp)) / entry.path().filename(),
                          fs::copy_options::overwrite_existing, ec);
            break;
        }
    if (env_.writeConverterIni) env_.writeConverterIni();
    const int code = env_.run ? env_.run({program, help.string()}, temp) : -1;
    const std::string hpj = editor::FindHpjFile(temp);
    if (code != 2 || hpj.empty()) {
        RemoveTempFolder();
        std::string text = "The help file " + fields.helpFile + " could not be converted: the converter ended with code " +
                           std::to_string(code);
        text += hpj.empty() ? " and wrote no help project file." : ".";
        editor::ShowWarning("Warning", text);
        return false;
    }
    fields.hpjPath = hpj;
    std::string hpjText;
    if (!ReadWholeFile(hpj, hpjText)) {
        RemoveTempFolder();
        Info("Project not found", kProjectNotFound);
        return false;
    }
    ConvertedOptions o = ReadConvertedOptions(hpjText, hpj, ctx_.ProgramDir);
    fields.helpTitle = o.helpTitle;
    fields.fileName = o.fileName;
    fields.directory = o.directory;
    if (fields.graphicsDir.empty()) fields.graphicsDir = o.graphicsDir;
    fields.copyright = o.copyright;
    return true;
}

bool ImportSession::ValidateFields(const ImportFields& f) {
    struct Check {
        bool failed;
        const char* caption;
        const char* text;
    } checks[] = {
        {f.application.empty(), "Project name", "You need to provide a Project name before continuing."},
        {f.fileName.empty(), "File name", "You need to provide a File name before continuing."},
        {f.helpTitle.empty(), "Help Title", "You need to provide a Help Title before continuing."},
        {f.directory.empty(), "Project directory", "You need to provide a Project directory before continuing."},
        {f.application.size() > 25, "Project name",
         "Your Project name can only contain a maximum of 25 Characters. it needs to be shortened."},
        {f.fileName.size() > 32, "File name",
         "Your File name can only contain a maximum of 32 Characters. it needs to be shortened."},
        {f.helpTitle.size() > 50, "Help Title",
         "Your Projects Help Title can only contain a maximum of 50 Characters. it needs to be shortened."},
    };
    for (const Check& c : checks)
        if (c.failed) {
            editor::ShowWarning(c.caption, c.text);
            return false;
        }
    if (!editor::IsValidDirectoryName(f.directory)) {
        editor::ShowWarning("Warning",
                            "The Project directory cannot be used. Please ensure it uses standard characters and "
                            "complies with Windows naming conventions.");
        return false;
    }
    return true;
}

bool ImportSession::ProjectExists(const std::string& name) {
    vl::TvlTable& t = *ctx_.mainTable;
    for (t.First(); !t.Eof(); t.Next())
        if (SameText(t.FieldByName("Application")->AsString(), name)) return true;
    return false;
}

void ImportSession::RemoveProject(const std::string& name) {
    vl::TvlTable& main = *ctx_.mainTable;
    if (main.State() != db::dsBrowse) main.Cancel();
    for (main.First(); !main.Eof(); main.Next()) {
        if (main.FieldByName("Application")->AsString() != name) continue;
        for (vl::TvlTable* detail : {ctx_.detailTable, ctx_.cntTable}) {
            if (detail->State() != db::dsBrowse) detail->Cancel();
            detail->First();
            while (!detail->IsEmpty() && !detail->Eof()) detail->Delete();
        }
        main.Delete();
        return;
    }
}

bool ImportSession::Finish(const ImportFields& given) {
    // Once the import has begun the converted files are used up: the
    // temporary folder goes whatever happens. Before that (a field to
    // correct) it stays for the next try, and goes with the session.
    struct Cleanup {
        ImportSession* self;
        bool started = false;
        ~Cleanup() {
            if (started) self->RemoveTempFolder();
            self->env_.setCaption("");
        }
    } cleanup{this};
    pages_.clear();
    log_.clear();
    ImportFields f = given;
    std::string hpj;
    if (f.hpjPath.empty() || !plat::FileExists(f.hpjPath)) {
        Info("Project not found", kProjectNotFound);
        return false;
    }
    env_.setCaption("Reading Project...");
    if (!ReadWholeFile(f.hpjPath, hpj)) {
        editor::ShowWarning("Warning", "This project could not be read in.");
        return false;
    }
    // Fields left empty take what the help project file says.
    if (f.helpTitle.empty()) f.helpTitle = HpjValue(hpj, "OPTIONS", "Title");
    if (f.fileName.empty()) f.fileName = ReadConvertedOptions(hpj, f.hpjPath, ctx_.ProgramDir).fileName;
    if (f.directory.empty()) f.directory = plat::ExtractFileDir(f.hpjPath);
    if (f.graphicsDir.empty()) f.graphicsDir = Join(f.directory, "Graphics");
    if (!ValidateFields(f)) return false;
    // The name is checked before anything is made.
    if (ProjectExists(f.application)) {
        gui::MessageDlg("This Help Project already exists. Please choose a different name", gui::mtInformation,
                        gui::TMsgDlgButtons(1u << gui::mbOK));
        return false;
    }
    cleanup.started = true;

    FilesEntry files = ReadHpjFiles(hpj);
    // A help project without a [FILES] section has no topics to import
    // either: said as plainly as one whose first file is no RTF.
    if (files.status != FilesEntry::Status::Found) {
        Info("No RTF File",
             "Each project file, (hpj), must contain at least one RTF file directly after its [Files] section. None "
             "were found in this Project.");
        return false;
    }
    // Only one topic file becomes pages: a project naming more is refused,
    // naming what would be left out, rather than imported in part.
    {
        std::vector<std::string> others;
        bool first = true;
        for (const std::string& line : HpjSection(hpj, "FILES").value_or(std::vector<std::string>{})) {
            const std::size_t a = line.find_first_not_of(" \t");
            if (a == std::string::npos || line[a] == ';') continue;
            if (!first) others.push_back(line.substr(a, line.find_last_not_of(" \t") - a + 1));
            first = false;
        }
        if (!others.empty()) {
            std::string names;
            for (const std::string& n : others) names += (names.empty() ? "" : ", ") + n;
            Info("Several RTF Files", "This project names more than one RTF file in its [Files] section, and only " +
                                          files.name + " could be imported. The project was not imported, so that " +
                                          "nothing is left out without a word: " + names + ".");
            return false;
        }
    }
    std::string rtfPath = Join(plat::ExtractFileDir(f.hpjPath), files.name);
    if (!plat::FileExists(rtfPath)) rtfPath = Join(TempFolder(), plat::ExtractFileName(files.name));
    if (!plat::FileExists(rtfPath)) {
        Info("RTF File not found",
             "The RTF file could not be found. You may edit the Project directory path or place the file's full path "
             "in the [Files] section of the hpj file.");
        return false;
    }
    std::string rtf;
    if (!ReadWholeFile(rtfPath, rtf)) {
        Info("Problems with the RTF File", "The RTF file could not be read in. It may be in use or corrupted.");
        return false;
    }

    std::unique_ptr<IProgress> progress = env_.createProgress();
    progress->SetStatus("Importing...");
    progress->SetPercent(3);
    progress->Show();
    progress->ProcessMessages();

    env_.setCaption("Building Map...");
    std::vector<ContextMapEntry> map = ReadHpjMap(hpj);
    SplitResult split = ImportRtfTopics(rtf, [&](std::size_t, std::size_t, int percent) {
        progress->ProcessMessages();
        if (progress->CancelRequested()) {
            progress->ClearCancel();
            return false;
        }
        progress->SetPercent(3 + percent * 67 / 100);
        return true;
    });
    if (split.status == SplitResult::Status::NoFontTable || split.status == SplitResult::Status::NoColourTable) {
        Info("Problems with the RTF File",
             std::string("This RTF File does not have a ") +
                 (split.status == SplitResult::Status::NoFontTable ? "font" : "color") +
                 " table defined and cannot be successfully read in.");
        return false;
    }
    if (split.status == SplitResult::Status::Cancelled) return false;
    // The converter ends its RTF with an empty section after the last topic:
    // no page, and no help id spent on it.
    while (!split.pages.empty() && IsEmptyImportedSection(split.pages.back())) split.pages.pop_back();
    env_.setCaption("Assigning HelpIDs...");
    AssignImportedHelpIds(split.pages, map, HpjValue(hpj, "OPTIONS", "Contents"));
    if (f.convertJumps) {
        env_.setCaption("Converting Jumps...");
        for (ImportedPage& p : split.pages) {
            p.helpText = ConvertImportedJumps(p.helpText, split.colourMap);
            if (!p.fullTitle.empty()) p.fullTitle = ConvertImportedJumps(p.fullTitle, split.colourMap);
        }
    }

    // Context strings under the import's rule: a name the compiler cannot
    // take is renamed to one it can and no other page has, and every jump
    // to it follows.
    RenamedContexts renamed;
    {
        std::set<std::string> taken;
        for (const ImportedPage& p : split.pages) {
            std::string context;
            if (TakeImportedContextString(p.contextString, context) == ContextStringVerdict::Kept && !context.empty())
                taken.insert(plat::AnsiUpperCase(context));
        }
        for (ImportedPage& p : split.pages) {
            std::string context;
            const ContextStringVerdict verdict = TakeImportedContextString(p.contextString, context);
            const std::string name = "Page " + (p.helpId ? std::to_string(*p.helpId) : std::string("without help id")) +
                                     (p.title.empty() ? std::string() : " \"" + p.title + "\"");
            if (verdict == ContextStringVerdict::Mapped) {
                const std::string upperOld = plat::AnsiUpperCase(p.contextString);
                if (auto it = renamed.find(upperOld); it != renamed.end()) {
                    context = it->second;  // the same string twice: one name
                } else {
                    const std::string base = context;
                    for (int n = 2; taken.count(plat::AnsiUpperCase(context)); ++n) {
                        const std::string suffix = "_" + std::to_string(n);
                        context = base.substr(0, kMaxContextStringLength - suffix.size()) + suffix;
                    }
                    taken.insert(plat::AnsiUpperCase(context));
                    renamed[upperOld] = context;
                }
                log_.push_back(name + ": context string \"" + p.contextString + "\" stored as \"" + context + "\".");
            } else if (verdict == ContextStringVerdict::Refused) {
                log_.push_back(name + ": context string \"" + p.contextString +
                               "\" is not one the help compiler takes; the page has none.");
            }
            p.contextString = context;
            for (const std::string& n : p.notes) log_.push_back(name + ": " + n + ".");
        }
        for (ImportedPage& p : split.pages) {
            p.helpText = RewriteJumpTargets(p.helpText, renamed);
            if (!p.fullTitle.empty()) p.fullTitle = RewriteJumpTargets(p.fullTitle, renamed);
        }
        for (ContextMapEntry& m : map)
            if (auto it = renamed.find(plat::AnsiUpperCase(m.contextString)); it != renamed.end())
                m.contextString = it->second;
    }

    // What the import makes outside the tables is written down, then made;
    // the tables take the project row, its pages and contents in one
    // transaction after that. A kill anywhere leaves the whole project, or
    // files the next start takes away (editor::ClearInterruptedImport).
    editor::ImportJournal journal;
    journal.project = f.application;
    for (const std::string& dir : {f.directory, f.graphicsDir, Join(f.directory, "Backups")})
        if (!plat::DirectoryExists(dir) &&
            std::find(journal.folders.begin(), journal.folders.end(), dir) == journal.folders.end())
            journal.folders.push_back(dir);
    // The converter's output moves into the project's folders: the help
    // project file, the RTF and a contents file to the project folder,
    // everything else (the pictures) to the graphics folder.
    std::string cntPath;
    std::vector<std::pair<fs::path, std::string>> moves;
    {
        std::error_code ec;
        bool hpjMoved = false, cntMoved = false;
        std::vector<fs::path> entries;
        for (const auto& e : fs::directory_iterator(Native(TempFolder()), ec))
            if (e.is_regular_file()) entries.push_back(e.path());
        std::sort(entries.begin(), entries.end());
        for (const fs::path& from : entries) {
            const std::string ext = from.extension().string();
            std::string toDir = f.graphicsDir;
            if ((SameText(ext, ".hpj") && !hpjMoved) || SameText(ext, ".rtf") || (SameText(ext, ".cnt") && !cntMoved)) {
                toDir = f.directory;
                hpjMoved = hpjMoved || SameText(ext, ".hpj");
                if (SameText(ext, ".cnt")) {
                    cntMoved = true;
                    cntPath = Join(f.directory, plat::SystemText(from.filename().string()));
                }
            }
            const std::string to = Join(toDir, plat::SystemText(from.filename().string()));
            moves.emplace_back(from, to);
            const bool inNewFolder =
                std::find(journal.folders.begin(), journal.folders.end(), toDir) != journal.folders.end();
            if (!inNewFolder && !plat::FileExists(to)) journal.files.push_back(to);
        }
    }
    bool rowPosted = false;
    // The project row and its pages go in as one engine transaction: one disk
    // sync for the lot instead of one a row, and a failure takes them all back.
    std::optional<db::TBulkTransaction> transaction;
    auto fail = [&] {
        transaction.reset();  // takes back what it holds
        for (vl::TvlTable* t : {ctx_.mainTable, ctx_.detailTable, ctx_.cntTable}) {
            if (t->State() != db::dsBrowse) t->Cancel();
            t->Refresh();
        }
        if (rowPosted) RemoveProject(f.application);
        std::error_code ec;
        for (const std::string& file : journal.files) fs::remove(Native(file), ec);
        for (auto it = journal.folders.rbegin(); it != journal.folders.rend(); ++it) fs::remove_all(Native(*it), ec);
        editor::EndImportJournal(ctx_.ProgramDir);
        return false;
    };
    if (!editor::BeginImportJournal(ctx_.ProgramDir, journal)) {
        editor::ShowWarning("Warning", "The import could not write down its work in " + ctx_.ProgramDir + ".");
        editor::EndImportJournal(ctx_.ProgramDir);
        return false;
    }
    for (const std::string& dir : journal.folders)
        if (!plat::ForceDirectories(dir)) {
            editor::ShowWarning("Warning", "The folder " + dir + " could not be made.");
            return fail();
        }
    for (const auto& [from, to] : moves) {
        if (!editor::CopyFileByStream(plat::SystemText(from.string()), to)) {
            editor::ShowWarning("Warning", "The file " + plat::SystemText(from.string()) + " could not be copied to " +
                                               plat::ExtractFileDir(to) + ".");
            return fail();
        }
        std::error_code ec;
        fs::remove(from, ec);
    }
    try {
        WindowColours colours = ReadWindowColours(hpj);
        vl::TvlTable& main = *ctx_.mainTable;
        // The pages' own cursor carries none of the editor's page rules. The
        // engine binds to a transaction the table files open when it starts,
        // so it is opened first.
        vl::TvlTable pageTable(nullptr);
        pageTable.DatabaseName = editor::kTavrinAlias;
        pageTable.TableName = editor::kItemTableFile;
        pageTable.Open();
        transaction.emplace(main, db::TBulkTransaction::TakeBack);
        main.Append();
        SetText(main, "Application", f.application);
        SetText(main, "DosName", f.fileName);
        SetText(main, "HelpTitle", f.helpTitle);
        SetText(main, "ProjectDir", f.directory);
        SetText(main, "GraphicsDir", f.graphicsDir);
        SetText(main, "Copyright", f.copyright);
        main.FieldByName("ScrollColor")->SetAsInteger(colours.scroll);
        main.FieldByName("NonscrollColor")->SetAsInteger(colours.nonscroll);
        for (const NewProjectDefaults& d : ImportedProjectDefaults()) main.FieldByName(d.name)->SetAsString(d.value);
        KeptHpjLines keptLines;
        TakeConvertedSettings(main, ReadConvertedSettings(hpj), keptLines);
        main.Post();
        rowPosted = true;
        if (!main.FindKey({db::TValue{f.application}})) return fail();

        env_.setCaption("Assigning HelpIDs...");
        const std::size_t count = split.pages.size();
        std::vector<bool> stored(count, false);
        for (std::size_t i = 0; i < count; ++i) {
            ImportedPage& p = split.pages[i];
            progress->ProcessMessages();
            if (progress->CancelRequested()) {
                progress->ClearCancel();
                return fail();
            }
            progress->SetPercent(70 + static_cast<int>(std::lround(27.0 * static_cast<double>(i + 1) / count)));
            const std::string name = "Page " + (p.helpId ? std::to_string(*p.helpId) : std::string("without help id")) +
                                     (p.title.empty() ? std::string() : " \"" + p.title + "\"");
            // A topic the help file gave no title (a browse member, a title
            // region without a "$"): the editor needs one.
            if (p.topicPopup == "T" && p.title.empty()) {
                p.title = kUntitledTopicTitle;
                log_.push_back(name + ": a topic without a title, titled \"" + p.title + "\".");
            }
            std::string refusal = ImportedPageRefusal(p);
            if (refusal.empty()) {
                try {
                    pageTable.Append();
                    SetText(pageTable, "Application", f.application);
                    pageTable.FieldByName("HelpId")->SetAsInteger(*p.helpId);
                    SetText(pageTable, "TopicPopup", p.topicPopup);
                    SetText(pageTable, "Title", p.title);
                    SetText(pageTable, "ContextString", p.contextString);
                    SetText(pageTable, "Keys", p.keys);
                    SetText(pageTable, "BrowseName", p.browseName);
                    if (p.browseId) pageTable.FieldByName("BrowseId")->SetAsInteger(*p.browseId);
                    SetText(pageTable, "MacroFootnote", p.macroFootnote);
                    SetText(pageTable, "BFootnote", p.bFootnote);
                    SetText(pageTable, "AFootnote", p.aFootnote);
                    SetText(pageTable, "TitleUserModified", "N");
                    pageTable.FieldByName("HelpText")->SetAsString(p.helpText);
                    if (!p.fullTitle.empty()) pageTable.FieldByName("FullTitle")->SetAsString(p.fullTitle);
                    pageTable.Post();
                    stored[i] = true;
                } catch (const std::exception& e) {
                    if (pageTable.State() != db::dsBrowse) pageTable.Cancel();
                    refusal = e.what();
                }
            }
            if (!stored[i]) log_.push_back(name + " was not imported: " + refusal + ".");
        }
        // The map's ids no stored page carries (a context string's further
        // ids, ids of strings no page has) are kept for the build.
        std::set<std::pair<std::string, std::int32_t>> carried;
        for (std::size_t i = 0; i < count; ++i)
            if (stored[i]) carried.emplace(plat::AnsiUpperCase(split.pages[i].contextString), *split.pages[i].helpId);
        for (const ContextMapEntry& m : map) {
            if (carried.count({plat::AnsiUpperCase(m.contextString), m.helpId})) continue;
            if (!MapContextRefusal(m.contextString).empty()) {
                log_.push_back("Map entry \"" + m.contextString + "\" " + std::to_string(m.helpId) +
                               " was not kept: " + MapContextRefusal(m.contextString) + ".");
                continue;
            }
            keptLines.map.push_back(m.contextString + " " + std::to_string(m.helpId));
        }
        if (!keptLines.Empty()) {
            main.Edit();
            main.FieldByName("Comments")->SetAsString(FormatKeptHpjLines(keptLines));
            main.Post();
        }
        // What was left out is no page of the project: its jumps and the
        // contents name no page of it either.
        std::vector<ImportedPage> kept;
        for (std::size_t i = 0; i < count; ++i)
            if (stored[i]) kept.push_back(std::move(split.pages[i]));
        split.pages = std::move(kept);
        if (!cntPath.empty()) {
            std::string cnt;
            if (ReadWholeFile(cntPath, cnt)) {
                const std::string matched = MatchContentsJumpsToPages(cnt, split.pages, renamed);
                if (matched != cnt && !WriteWholeFile(cntPath, matched)) {
                    editor::ShowWarning("Warning", "The file " + cntPath + " could not be written.");
                    return fail();
                }
            }
        }
        if (!cntPath.empty() && env_.readCntFile) {
            main.FindKey({db::TValue{f.application}});
            env_.readCntFile(ctx_, cntPath);
        }
        if (!transaction->Commit()) throw std::runtime_error("the tables could not be saved");
        transaction.reset();
        editor::EndImportJournal(ctx_.ProgramDir);
        pageTable.Close();
        progress->SetPercent(100);
    } catch (const std::exception& e) {
        editor::ShowWarning("Warning", std::string("The project could not be created: ") + e.what());
        return fail();
    }
    pages_ = std::move(split.pages);
    ctx_.mainTable->FindKey({db::TValue{f.application}});
    // The editor's page table shows what went in beside it.
    if (ctx_.detailTable->Active() && ctx_.detailTable->State() == db::dsBrowse) ctx_.detailTable->Refresh();
    if (!log_.empty()) {
        std::string text;
        for (const std::string& line : log_) text += line + "\r\n";
        WriteWholeFile(Join(f.directory, "Import.log"), text);
    }
    // Broken groups can leave footnote text in a page's body: the author
    // is told which pages to look at.
    std::string damaged;
    int damagedCount = 0;
    for (const ImportedPage& p : pages_) {
        if (!p.damagedGroups) continue;
        if (++damagedCount <= 20)
            damaged += "\r\nPage " + (p.helpId ? std::to_string(*p.helpId) : std::string("without help id")) +
                       (p.title.empty() ? std::string() : " \"" + p.title + "\"");
    }
    if (damagedCount > 20) damaged += "\r\nand " + std::to_string(damagedCount - 20) + " more";
    if (damagedCount > 0)
        Info("Damaged RTF", "The project was imported, but the RTF groups of these pages are broken, so footnote text "
                            "may show in their text. Please check them (Import.log in the project folder lists them):" +
                                damaged);
    return true;
}

}  // namespace build
