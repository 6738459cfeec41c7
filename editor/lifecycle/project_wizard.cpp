#include "editor/lifecycle/project_wizard.h"

#include "project/helpers.h"
#include "project/page_text.h"
#include "project/project_tables.h"
#include "project/title_rules.h"
#include "platform/core/codepage.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "data/bulk_transaction.h"
#include "data/fields.h"
#include "platform/core/dialog_service.h"

#include <cctype>
#include <filesystem>
#include <memory>
#include <set>

namespace editor {

namespace fs = std::filesystem;

namespace {

std::unique_ptr<vl::TvlTable> OpenWorkTable(const std::string& file, const std::string& filterLine = "") {
    auto t = std::make_unique<vl::TvlTable>(nullptr);
    t->DatabaseName = kTavrinAlias;
    t->SetTableName(file);
    t->Open();
    if (!filterLine.empty()) {
        t->vlFilter().Add(filterLine);
        t->ApplyFilter();
    }
    return t;
}

std::string ProjectLine(const std::string& name) { return "Application = \"" + name + "\""; }

void CancelQuietly(db::TDataSet* t) {
    try {
        if (t->IsEditing()) t->Cancel();
    } catch (const std::exception&) {
    }
}

// Makes each missing folder; answers the ones this run made, deepest last.
std::vector<std::string> MakeFolders(const std::vector<std::string>& folders, bool ignoreErrors) {
    std::vector<std::string> made;
    for (const std::string& f : folders) {
        const std::string native = plat::NativePath(f);
        std::error_code ec;
        if (fs::is_directory(native, ec)) continue;
        // Parents made on the way count as this run's too.
        std::vector<std::string> chain;
        for (fs::path p = native; !p.empty() && !fs::exists(p, ec); p = p.parent_path()) {
            chain.insert(chain.begin(), p.string());
            if (p == p.parent_path()) break;
        }
        fs::create_directories(native, ec);
        if (ec && !ignoreErrors) throw std::runtime_error("Cannot create the folder " + f);
        for (const std::string& c : chain)
            if (fs::is_directory(c, ec)) made.push_back(c);
    }
    return made;
}

void RemoveFolders(const std::vector<std::string>& made) {
    for (auto it = made.rbegin(); it != made.rend(); ++it) {
        std::error_code ec;
        fs::remove(*it, ec);  // only when empty: a folder never loses a file here
    }
}

// Deletes every row of the project in one table; used to undo a run.
void DeleteProjectRows(const std::string& file, const std::string& name) {
    try {
        auto t = OpenWorkTable(file, ProjectLine(name));
        while (!t->IsEmpty()) {
            t->First();
            t->Delete();
        }
    } catch (const std::exception&) {
    }
}

void UndoRun(const std::string& name, bool projectPosted, const std::vector<std::string>& folders) {
    if (projectPosted)
        for (const char* file : {kItemTableFile, kRefiTableFile, kCntTableFile, kFontTableFile, kMainTableFile})
            DeleteProjectRows(file, name);
    RemoveFolders(folders);
}

const char* const kPresetFields[] = {
    "TitleFont", "TitleSize", "TitleColor", "TitleStyle", "PopupFont", "PopupSize", "PopupColor", "PopupStyle",
    "NonscrollColor", "ScrollColor", "Compress", "AutogeneratePRJfile", "AddButton1", "AddButton2", "AddButton3",
    "AddButton4", "AddButton5", "AddButton6", "AddButton7", "AutoSize", "StayOnTop", "SecondaryWindow",
    "SecondaryWindowColor", "SecondaryWindowTitle", "SecondStayOnTop", "AutoGenerateCntFile"};

void CopyPresetField(db::TDataSet* scheme, db::TDataSet* row, const char* from, const char* to) {
    const db::TField* s = scheme ? scheme->FindField(from) : nullptr;
    db::TField* d = row->FindField(to);
    if (s && d) d->SetValue(s->Value());
}

std::string FontListText(bool sixteen) {
    std::string text;
    for (const std::string& f : sixteen ? DefaultFontList16() : DefaultFontList32()) text += f + "\r\n";
    return text;
}

bool CreateFresh(EditorContext& ctx, const WizardInput& in, db::TDataSet* scheme, db::TDataSet* titles) {
    const WindowPlacement w = PlacementFor(in.size, in.left, in.right, in.top);
    const std::string dir = in.directory;
    std::vector<std::string> made;
    auto main = OpenWorkTable(kMainTableFile);
    try {
        made = MakeFolders({dir, dir + "\\Graphics", dir + "\\Backups"}, false);
    } catch (const std::exception&) {
        RemoveFolders(made);
        ShowWarning("Warning", "The Project directory cannot be used. Please ensure it uses standard characters and "
                               "complies with Windows naming conventions.");
        return false;
    }
    try {
        main->Append();
        main->SetFieldStr("Application", in.name);
        main->SetFieldStr("DosName", in.fileName);
        main->SetFieldStr("16bitName", in.fileName);
        main->SetFieldStr("UseFilteredPagesOnly", "Y");
        main->SetFieldStr("HelpTitle", in.helpTitle);
        main->SetFieldInt("Wx", w.x);
        main->SetFieldInt("Wy", w.y);
        main->SetFieldInt("Ww", w.w);
        main->SetFieldInt("Wh", w.h);
        for (const char* g : {"Gx", "Gy", "Gw", "Gh", "CoLetWindowsDecide"}) CopyPresetField(scheme, main.get(), g, g);
        main->SetFieldStr("GraphicsDir", dir + "\\Graphics");
        const std::string icon = plat::JoinPath(ctx.ProgramDir, "Tavrin.ico");
        if (plat::FileExists(icon)) main->SetFieldStr("IconFile", ctx.ProgramDir + "\\Tavrin.ico");
        main->SetFieldStr("ProjectDir", dir);
        CopyPresetField(scheme, main.get(), "Autogenerate Contents", "AutogenerateContents");
        CopyPresetField(scheme, main.get(), "Win95 Contents", "Win95Contents");
        CopyPresetField(scheme, main.get(), "Compile", "Compile");
        CopyPresetField(scheme, main.get(), "HelpFont", "DefaultTextFont");
        CopyPresetField(scheme, main.get(), "HelpSize", "DefaultTextSize");
        CopyPresetField(scheme, main.get(), "HelpColor", "DefaultTextColor");
        CopyPresetField(scheme, main.get(), "HelpStyle", "DefaultTextStyle");
        for (const char* f : kPresetFields) CopyPresetField(scheme, main.get(), f, f);
        main->SetFieldStr("AutoAddTopicsToMaxTitle", "Y");
        if (LifecycleSeams().beforeProjectPost) LifecycleSeams().beforeProjectPost();
        main->Post();
    } catch (const std::exception&) {
        CancelQuietly(main.get());
        UndoRun(in.name, false, made);
        ShowWarning("Warning", kFailedToPostText);
        return false;
    }
    // No preset chosen: the scheme's values are empty.
    const std::string compile = scheme ? scheme->FieldStr("Compile") : std::string();
    const bool sixteen = compile == "16";
    const std::string header = GenericProjectRtfHeader();
    try {
        auto font = OpenWorkTable(kFontTableFile);
        font->Append();
        font->SetFieldStr("Application", in.name);
        font->SetFieldStr("FontList", FontListText(sixteen));
        font->SetFieldStr("RtfHeader", header);
        font->Post();
    } catch (const std::exception&) {
        ShowWarning("Warning", kFailedToPostText);
    }
    if (!titles) return true;
    TitleFont look;
    if (scheme) {
        look.name = scheme->FieldStr("TitleFont");
        look.size = static_cast<int>(scheme->FieldInt("TitleSize"));
        look.colour = static_cast<int>(scheme->FieldInt("TitleColor"));
        look.style = scheme->FieldStr("TitleStyle");
    }
    std::set<std::string> used;  // lower-cased context strings of this run's pages
    auto taken = [&](const std::string& c) { return used.count(plat::AnsiLowerCase(c)) != 0; };
    auto items = OpenWorkTable(kItemTableFile);
    // One transaction for the pages; a page that fails is reported alone.
    db::TBulkTransaction transaction(*items, db::TBulkTransaction::Keep);
    long counter = 0;
    for (titles->First(); !titles->Eof(); titles->Next()) {
        const std::string title = titles->FieldStr("Title");
        if (title.empty()) continue;
        counter += 1000;
        try {
            items->Append();
            items->SetFieldStr("Application", in.name);
            items->SetFieldInt("HelpId", counter);
            items->SetFieldStr("TopicPopup", "T");
            items->SetFieldStr("Title", title);
            items->SetFieldStr("Keys", title);
            items->SetFieldInt("BrowseId", counter);
            items->SetFieldStr("CompileFor", compile == "32" ? "32" : "16");
            items->SetFieldStr("FullTitle", WriteTitleText(header, title, look));
            const std::string context = WizardContextString(title, taken);
            items->SetFieldStr("ContextString", context);
            items->Post();
            if (!context.empty()) used.insert(plat::AnsiLowerCase(context));
        } catch (const std::exception&) {
            CancelQuietly(items.get());
            ShowWarning("Warning", kFailedToPostText);
        }
    }
    if (!transaction.Commit()) ShowWarning("Warning", kFailedToPostText);
    return true;
}

// Copies every row of the template in one table under the new name; a row
// that cannot be posted is reported and the next one follows.
void CopyTemplateRows(const std::string& file, const std::string& templ, const std::string& name) {
    std::vector<std::vector<db::TValue>> rows;
    {
        auto src = OpenWorkTable(file, ProjectLine(templ));
        for (src->First(); !src->Eof(); src->Next()) {
            std::vector<db::TValue> row;
            for (int i = 0; i < src->FieldCount(); ++i) row.push_back(src->Fields(i)->Value());
            rows.push_back(std::move(row));
        }
    }
    auto dst = OpenWorkTable(file);
    const int appField = dst->FindField("Application") ? dst->FindField("Application")->Index() : 0;
    db::TBulkTransaction transaction(*dst, db::TBulkTransaction::Keep);
    for (const auto& row : rows) {
        try {
            dst->Append();
            for (int i = 0; i < dst->FieldCount() && i < static_cast<int>(row.size()); ++i)
                if (i != appField) dst->Fields(i)->SetValue(row[i]);
            dst->Fields(appField)->SetAsString(name);
            dst->Post();
        } catch (const std::exception&) {
            CancelQuietly(dst.get());
            gui::ShowMessage(kFailedToPostText);
        }
    }
    if (!transaction.Commit()) gui::ShowMessage(kFailedToPostText);
}

bool CopyFromTemplate(EditorContext& ctx, const WizardInput& in,
                      const std::function<void(const std::string&)>& progress) {
    if (progress) progress(kCreatingProjectText);
    struct Close {
        const std::function<void(const std::string&)>& p;
        ~Close() {
            if (p) p("");
        }
    } close{progress};
    const std::string dir = in.directory;
    std::string templateGraphics;
    std::vector<std::string> made;
    {
        auto src = OpenWorkTable(kMainTableFile, ProjectLine(in.templateName));
        if (src->IsEmpty()) {
            ShowWarning("Warning", kFailedToPostText);
            return false;
        }
        templateGraphics = src->FieldStr("GraphicsDir");
        made = MakeFolders({dir, dir + "\\Graphics", dir + "\\Backups"}, true);
        auto main = OpenWorkTable(kMainTableFile);
        try {
            main->Append();
            for (int i = 1; i < src->FieldCount() && i < main->FieldCount(); ++i)
                main->Fields(i)->SetValue(src->Fields(i)->Value());
            main->SetFieldStr("Application", in.name);
            main->SetFieldStr("DosName", in.fileName);
            main->SetFieldStr("HelpTitle", in.helpTitle);
            main->SetFieldStr("GraphicsDir", dir + "\\Graphics");
            // Builds of the copy go to its own folder, not the template's.
            main->SetFieldStr("ProjectDir", dir);
            if (LifecycleSeams().beforeProjectPost) LifecycleSeams().beforeProjectPost();
            main->Post();
        } catch (const std::exception&) {
            CancelQuietly(main.get());
            UndoRun(in.name, false, made);
            ShowWarning("Warning", kFailedToPostText);
            return false;
        }
    }
    for (const char* file : {kItemTableFile, kRefiTableFile, kCntTableFile, kFontTableFile})
        CopyTemplateRows(file, in.templateName, in.name);
    // The template's pictures, unless it already uses the new folder.
    const std::string from = ProjectFolder(templateGraphics, ctx.ProgramDir);
    const std::string to = dir + "\\Graphics";
    std::error_code ec;
    if (!from.empty() && plat::CompareAnsi(from, to, true) != 0 && fs::is_directory(plat::NativePath(from), ec)) {
        for (const auto& e : fs::directory_iterator(plat::NativePath(from), ec)) {
            if (!e.is_regular_file(ec)) continue;
            CopyFileByStream(e.path().string(), to + "\\" + e.path().filename().string());
        }
    }
    return true;
}

}  // namespace

ProjectCreationSeams& LifecycleSeams() {
    static ProjectCreationSeams seams;
    return seams;
}

WindowPlacement PlacementFor(WizardSize size, bool left, bool right, bool top) {
    switch (size) {
        case WizardSize::Full:
            return {0, 0, 1023, 1023};
        case WizardSize::Half:
            if (left) return {0, 0, 512, 1023};
            if (right) return {510, 0, 513, 1023};
            if (top) return {0, 0, 1023, 512};
            return {0, 510, 1023, 513};
        case WizardSize::Quarter:
            if (top) return left ? WindowPlacement{0, 0, 512, 511} : WindowPlacement{511, 0, 512, 512};
            return left ? WindowPlacement{0, 511, 512, 512} : WindowPlacement{511, 512, 511, 512};
        case WizardSize::LetWindowsDecide:
            break;
    }
    return {511, 157, 503, 813};
}

Step1Field RunStep1Checks(const WizardInput& in) {
    struct Check {
        bool failed;
        Step1Field field;
        const char* caption;
        const char* text;
    };
    const Check checks[] = {
        {in.name.empty(), Step1Field::Name, "Project name", "You need to provide a Project name before continuing."},
        {in.fileName.empty(), Step1Field::FileName, "File name", "You need to provide a File name before continuing."},
        {in.helpTitle.empty(), Step1Field::HelpTitle, "Help Title",
         "You need to provide a Help Title before continuing."},
        {in.directory.empty(), Step1Field::Directory, "Project directory",
         "You need to provide a Project directory before continuing."},
        {in.name.size() > 25, Step1Field::Name, "Project name",
         "Your Project name can only contain a maximum of 25 Characters. it needs to be shortened."},
        {in.fileName.size() > 32, Step1Field::FileName, "File name",
         "Your File name can only contain a maximum of 32 Characters. it needs to be shortened."},
        {in.helpTitle.size() > 50, Step1Field::HelpTitle, "Help Title",
         "Your Projects Help Title can only contain a maximum of 50 Characters. it needs to be shortened."},
    };
    for (const Check& c : checks) {
        if (!c.failed) continue;
        ShowWarning(c.caption, c.text);
        return c.field;
    }
    if (!IsValidDirectoryName(in.directory)) {
        ShowWarning("Warning", "The Project directory cannot be used. Please ensure it uses standard characters and "
                               "complies with Windows naming conventions.");
        return Step1Field::Directory;
    }
    return Step1Field::None;
}

bool ProjectExists(const std::string& name) {
    auto main = OpenWorkTable(kMainTableFile);
    for (main->First(); !main->Eof(); main->Next())
        if (plat::CompareAnsi(main->FieldStr("Application"), name, true) == 0) return true;
    return false;
}

std::string FindFreeContextString(const std::string& candidate,
                                  const std::function<bool(const std::string&)>& taken) {
    if (!taken(candidate)) return {};
    for (int i = 1; i <= 50; ++i) {
        const std::string v = candidate + std::to_string(i);
        if (!taken(v)) return v;
    }
    return candidate + "a";
}

std::string WizardContextString(const std::string& title, const std::function<bool(const std::string&)>& taken) {
    const std::string base = build::DeriveContextString(title);
    if (base.empty()) return {};
    if (FindFreeContextString(base, taken).empty()) return base;
    for (int i = 2; i <= 49; ++i) {
        const std::string v = base + std::to_string(i);
        if (FindFreeContextString(v, taken).empty()) return v;
    }
    return {};
}

void ClearTitles(db::TDataSet& titles) {
    while (!titles.IsEmpty()) {
        titles.First();
        titles.Delete();
    }
}

namespace {

void RenumberTitles(db::TDataSet& t) {
    // The rows are written anew in their order, so no renumbered row meets
    // another's Seq on the way.
    std::vector<std::string> order;
    for (t.First(); !t.Eof(); t.Next()) order.push_back(t.FieldStr("Title"));
    ClearTitles(t);
    long seq = 0;
    for (const std::string& s : order) {
        seq += 10;
        t.Append();
        t.SetFieldInt("Seq", seq);
        t.SetFieldStr("Title", s);
        t.Post();
    }
}

void LocateSeq(db::TDataSet& t, long seq) {
    for (t.First(); !t.Eof(); t.Next())
        if (t.FieldInt("Seq") == seq) return;
}

}  // namespace

void AppendTitle(db::TDataSet& titles, const std::string& title) {
    long last = 0;
    if (!titles.IsEmpty()) {
        titles.Last();
        last = titles.FieldInt("Seq");
    }
    titles.Append();
    titles.SetFieldInt("Seq", last + 10);
    titles.SetFieldStr("Title", title);
    titles.Post();
}

void InsertTitleBefore(db::TDataSet& titles, const std::string& title) {
    if (titles.IsEmpty()) {
        AppendTitle(titles, title);
        return;
    }
    // The current row's place among the rows in Seq order.
    long current = titles.FieldInt("Seq");
    int index = 0;
    for (titles.First(); !titles.Eof() && titles.FieldInt("Seq") != current; titles.Next()) ++index;
    long before = 0;
    if (index > 0) {
        titles.Prior();
        before = titles.FieldInt("Seq");
    }
    if (current - before < 2) {
        RenumberTitles(titles);
        current = 10L * (index + 1);
        before = 10L * index;
    }
    titles.Append();
    titles.SetFieldInt("Seq", before + (current - before) / 2);
    titles.SetFieldStr("Title", title);
    titles.Post();
    LocateSeq(titles, before + (current - before) / 2);
}

void MoveTitleUp(db::TDataSet& titles) {
    if (titles.IsEmpty()) return;
    const std::string title = titles.FieldStr("Title");
    if (title.empty()) return;
    const long seq = titles.FieldInt("Seq");
    titles.Prior();
    const bool atTop = titles.FieldInt("Seq") == seq;
    if (atTop) return;
    const long above = titles.FieldInt("Seq");
    LocateSeq(titles, seq);
    titles.Delete();
    LocateSeq(titles, above);
    InsertTitleBefore(titles, title);
}

void MoveTitleDown(db::TDataSet& titles) {
    if (titles.IsEmpty()) return;
    const std::string title = titles.FieldStr("Title");
    if (title.empty()) return;
    const long seq = titles.FieldInt("Seq");
    titles.Next();
    if (titles.Eof() || titles.FieldInt("Seq") == seq) return;
    titles.Next();
    const bool pastLast = titles.Eof();
    const long target = pastLast ? 0 : titles.FieldInt("Seq");
    LocateSeq(titles, seq);
    titles.Delete();
    if (pastLast) {
        AppendTitle(titles, title);
        titles.Last();
    } else {
        LocateSeq(titles, target);
        InsertTitleBefore(titles, title);
    }
}

bool CreateProject(EditorContext& ctx, const WizardInput& input, db::TDataSet* scheme, db::TDataSet* titles,
                   const std::function<void(const std::string&)>& progress) {
    if (input.templateName.empty() || input.templateName == kNoTemplate)
        return CreateFresh(ctx, input, scheme, titles);
    return CopyFromTemplate(ctx, input, progress);
}

bool FinishWizard(EditorContext& ctx, const WizardInput& input, db::TDataSet* scheme, db::TDataSet* titles,
                  const std::function<void(const std::string&)>& progress) {
    if (titles && titles->IsEditing()) titles->Post();
    if (RunStep1Checks(input) != Step1Field::None) return false;
    if (ProjectExists(input.name)) {
        gui::MessageDlg(kProjectExistsText, gui::mtInformation, gui::Buttons({gui::mbOK}));
        return false;
    }
    const bool ok = CreateProject(ctx, input, scheme, titles, progress);
    if (ok && ctx.mainTable->Active()) ctx.mainTable->Refresh();
    return ok;
}

}  // namespace editor
