#include "helpbuild/contents/contents_tables.h"

#include "project/helpers.h"
#include "project/page_rules.h"
#include "platform/core/exceptions.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/safe_file.h"
#include "platform/core/string_list.h"
#include "data/bulk_transaction.h"
#include "data/fields.h"
#include "platform/gui/common_dialogs.h"
#include "platform/core/dialog_service.h"
#include "richtext/view/rtf_text_io.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace build {

namespace {


std::string ProgramDirOf(editor::EditorContext& ctx) {
    return ctx.ProgramDir.empty() ? plat::ProgramDir() : ctx.ProgramDir;
}

std::string Project(editor::EditorContext& ctx) { return ctx.mainTable->FieldStr("Application"); }

// The contents belong to the current project: with none, the commands have
// nothing to work on, and an edit of the empty project table would insert a
// blank project row.
bool HasProject(editor::EditorContext& ctx) { return ctx.mainTable->Active() && !ctx.mainTable->IsEmpty(); }

std::string AddMemoLines(const std::string& memo, const std::vector<std::string>& add) {
    plat::StringList l;
    l.SetText(memo);
    for (const std::string& s : add) l.Add(s);
    return l.Text();
}

void ClearShadowFilter(editor::EditorContext& ctx) {
    ctx.cntShadow->vlFilter().Clear();
    ctx.cntShadow->ApplyFilter();
}

// Goes to the row with that Sequence unless the shadow stands on it already.
bool GotoSequence(editor::EditorContext& ctx, int seq) {
    vl::TvlTable* s = ctx.cntShadow;
    if (!s->IsEmpty() && s->FieldInt("Sequence") == seq) return true;
    for (s->First(); !s->Eof(); s->Next())
        if (s->FieldInt("Sequence") == seq) return true;
    return false;
}

void EditProject(editor::EditorContext& ctx) {
    if (!ctx.mainTable->IsEditing()) ctx.mainTable->Edit();
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    plat::File f;
    if (!f.Open(path, plat::FileAccess::Read, plat::FileShare::DenyNone)) return false;
    std::int64_t size = f.Size();
    if (size < 0) return false;
    bytes.resize(static_cast<std::size_t>(size));
    return size == 0 || f.Read(bytes.data(), bytes.size()) == size;
}

void Busy(const ContentsHooks& hooks, bool on) {
    if (hooks.busyCursor) hooks.busyCursor(on);
}

bool Confirm(const std::string& text) {
    return gui::MessageDlg(text, gui::mtConfirmation, gui::Buttons({gui::mbYes, gui::mbNo})) == gui::mrYes;
}

// Filter text for "field equals value": only when the value can be quoted.
bool QuotedEquals(const char* field, const std::string& value, std::string& line) {
    if (value.find('"') != std::string::npos) return false;
    line = std::string(field) + " = \"" + value + "\"";
    return true;
}

// Every contents row of the current project and the project's contents lists go.
void DeleteProjectContents(editor::EditorContext& ctx) {
    vl::TvlTable* s = ctx.cntShadow;
    ClearShadowFilter(ctx);
    for (s->First(); !s->IsEmpty(); s->First()) s->Delete();
    EditProject(ctx);
    ctx.mainTable->SetFieldStr("CntTabs", "");
    ctx.mainTable->SetFieldStr("CntLinkFiles", "");
    ctx.mainTable->SetFieldStr("CntIndexFiles", "");
    ctx.mainTable->Post();
}

// A command's rows share one transaction; a commit the engine refuses has
// lost them all, which the author hears of as of a failed post.
void CommitRows(db::TBulkTransaction& rows) {
    if (!rows.Commit()) throw std::runtime_error("the contents could not be saved");
}

}  // namespace

// --- contents file ------------------------------------------------------------------

std::string CntFilePath(editor::EditorContext& ctx) {
    std::string folder = editor::ProjectFolderOrProgramDir(ctx.mainTable->FieldStr("ProjectDir"), ProgramDirOf(ctx));
    return folder + "\\" + ctx.mainTable->FieldStr("DosName") + ".cnt";
}

std::vector<CntEntry> ContentsEntries(editor::EditorContext& ctx, bool withContentsFilter) {
    vl::TvlTable* s = ctx.cntShadow;
    if (withContentsFilter)
        s->vlFilter().Assign(ctx.cntTable->vlFilter());
    else
        s->vlFilter().Clear();
    s->ApplyFilter();
    std::vector<CntEntry> rows;
    for (s->First(); !s->Eof(); s->Next())
        rows.push_back({static_cast<int>(s->FieldInt("Level")), s->FieldStr("EntryType"), s->FieldStr("Title"),
                        s->FieldStr("Jump"), s->FieldStr("HelpFile")});
    return rows;
}

CntHeader ContentsHeader(editor::EditorContext& ctx) {
    CntHeader h;
    h.dosName = ctx.mainTable->FieldStr("DosName");
    h.helpTitle = ctx.mainTable->FieldStr("HelpTitle");
    h.lists.tabs = plat::SplitLines(ctx.mainTable->FieldStr("CntTabs"));
    h.lists.indexFiles = plat::SplitLines(ctx.mainTable->FieldStr("CntIndexFiles"));
    h.lists.linkFiles = plat::SplitLines(ctx.mainTable->FieldStr("CntLinkFiles"));
    return h;
}

bool WriteCntFile(editor::EditorContext& ctx, const ContentsHooks& hooks) {
    if (!HasProject(ctx)) return false;
    Busy(hooks, true);
    bool written = false;
    try {
        // The assembly buffer of the project row starts empty, as every build's does.
        EditProject(ctx);
        ctx.mainTable->FieldByName("DummyField")->Clear();
        ctx.mainTable->Post();
        const std::string target = CntFilePath(ctx);
        std::vector<CntEntry> rows = ContentsEntries(ctx, true);
        if (rows.empty()) {
            // Nothing to write: the old file goes, as the contents are empty now.
            plat::DeleteFile(target);
        } else {
            std::string refusal;
            std::string text = AssembleCntFile(ContentsHeader(ctx), rows, &refusal);
            if (!refusal.empty()) {
                // The old file stays: a file that reads back otherwise is worse than none written.
                gui::MessageBox(refusal, kCntSaveFailedCaption, gui::MB_OK | gui::MB_ICONINFORMATION);
            } else {
                written = plat::WriteFileSafely(target, text);
                if (!written)
                    gui::MessageBox(kCntSaveFailedText, kCntSaveFailedCaption, gui::MB_OK | gui::MB_ICONINFORMATION);
            }
            Busy(hooks, false);
            if (ctx.ProcessMessages) ctx.ProcessMessages();
        }
    } catch (const std::exception& e) {
        if (ctx.ReportError) ctx.ReportError(e.what());
    }
    WriteContentsExplorerText(ctx, hooks);
    ClearShadowFilter(ctx);
    Busy(hooks, false);
    return written;
}

void WriteContentsExplorerText(editor::EditorContext& ctx, const ContentsHooks& hooks) {
    if (!HasProject(ctx)) return;
    std::string bytes;
    const std::string path = CntFilePath(ctx);
    if (!plat::FileExists(path) || !ReadWholeFile(path, bytes)) return;
    std::string view = CntExplorerText(bytes);
    if (view.empty()) return;
    EditProject(ctx);
    ctx.mainTable->SetFieldStr("UserView", view + "\r\n");
    ctx.mainTable->Post();
    if (hooks.loadExplorerView) hooks.loadExplorerView();
}

bool ReadCntFileInto(editor::EditorContext& ctx, const std::string& fileName) {
    if (!HasProject(ctx)) return false;
    std::string bytes;
    if (!ReadWholeFile(fileName, bytes)) {
        editor::ShowWarning("Warning", "The file, " + fileName + ", could not be read in.");
        return false;
    }
    // The whole file is checked before anything is deleted.
    CntReadResult parsed = ParseCntFile(bytes);
    if (!parsed.Ok()) {
        editor::ShowWarning("Warning", "The file, " + fileName + ", could not be read in. " + parsed.error);
        return false;
    }
    if (parsed.entries.size() > static_cast<std::size_t>(kMaxContentsRows)) {
        editor::ShowWarning("Warning", "The file, " + fileName + ", could not be read in. It holds more than " +
                                           std::to_string(kMaxContentsRows) + " contents entries.");
        return false;
    }
    vl::TvlTable* s = ctx.cntShadow;
    ClearShadowFilter(ctx);
    s->First();
    const bool replace = !s->IsEmpty();
    if (replace && !Confirm(kCntReplaceQuestion)) return false;
    // The old rows go and the new come in as one transaction: one disk sync
    // for thousands of rows, and a failure half way keeps the old contents.
    // Inside the import's own transaction the rows join that one.
    db::TBulkTransaction transaction(*s, db::TBulkTransaction::TakeBack);
    try {
        if (replace) DeleteProjectContents(ctx);
        if (!parsed.lists.tabs.empty() || !parsed.lists.linkFiles.empty() || !parsed.lists.indexFiles.empty()) {
            EditProject(ctx);
            ctx.mainTable->SetFieldStr("CntTabs", AddMemoLines(ctx.mainTable->FieldStr("CntTabs"), parsed.lists.tabs));
            ctx.mainTable->SetFieldStr("CntLinkFiles",
                                       AddMemoLines(ctx.mainTable->FieldStr("CntLinkFiles"), parsed.lists.linkFiles));
            ctx.mainTable->SetFieldStr("CntIndexFiles",
                                       AddMemoLines(ctx.mainTable->FieldStr("CntIndexFiles"), parsed.lists.indexFiles));
            ctx.mainTable->Post();
        }
        const std::string project = Project(ctx);
        vl::TvlTable* t = ctx.cntTable;
        int c = 0;
        for (const CntEntry& e : parsed.entries) {
            t->Append();
            t->SetFieldStr("Application", project);
            t->SetFieldInt("Sequence", ++c);
            t->SetFieldInt("Level", e.level);
            t->SetFieldStr("EntryType", e.entryType);
            t->SetFieldStr("Title", e.title);
            t->SetFieldStr("Jump", e.jump);
            t->SetFieldStr("HelpFile", e.helpFile);
            t->Post();
        }
        CommitRows(transaction);
    } catch (...) {
        if (transaction.Rollback()) {
            ctx.cntTable->Refresh();
            ctx.mainTable->Refresh();
        }
        throw;
    }
    ctx.cntTable->First();
    return true;
}

void ReadCntFile(editor::EditorContext& ctx, const ContentsHooks& hooks) {
    if (!HasProject(ctx)) return;
    gui::TOpenDialog odReadCnt(nullptr);
    odReadCnt.Title = "Read in a Contents file";
    odReadCnt.Filter = "Contents files (*.cnt)|*.cnt|All files|*.*";
    odReadCnt.DefaultExt = "cnt";
    if (!odReadCnt.Execute()) return;
    ReadCntFileInto(ctx, odReadCnt.FileName);
}

void ReadCntFileForImport(editor::EditorContext& ctx, const ContentsHooks& hooks) {
    const std::string fileName = CntFilePath(ctx);
    if (!plat::FileExists(fileName)) return;
    ReadCntFileInto(ctx, fileName);
}

// --- contents editing ---------------------------------------------------------------

void ShiftContentsSequence(editor::EditorContext& ctx, int from, bool below) {
    vl::TvlTable* s = ctx.cntShadow;
    ClearShadowFilter(ctx);
    s->First();
    if (s->IsEmpty()) return;
    // From the last row back: every row after `from` moves on, so the gap
    // opens without two rows sharing a number on the way.
    db::TBulkTransaction transaction(*s);
    for (s->Last(); !s->Bof(); s->Prior()) {
        int seq = s->FieldInt("Sequence");
        if (seq == from) {
            if (!below) {
                s->Edit();
                s->SetFieldInt("Sequence", seq + 1);
                s->Post();
            }
            break;
        }
        s->Edit();
        s->SetFieldInt("Sequence", seq + (below ? 2 : 1));
        s->Post();
        // The post moved the row along the index: back to where the walk was.
        if (!GotoSequence(ctx, seq + (below ? 2 : 1))) break;
    }
    CommitRows(transaction);
}

PrevContentsEntry GetPrevContentsEntry(editor::EditorContext& ctx, int seq) {
    vl::TvlTable* s = ctx.cntShadow;
    PrevContentsEntry r;
    if (!GotoSequence(ctx, seq)) return r;
    s->Prior();
    if (s->Bof()) GotoSequence(ctx, seq);  // the first row is its own previous entry
    r.sequence = s->FieldInt("Sequence");
    r.level = s->FieldInt("Level");
    r.entryType = s->FieldStr("EntryType");
    return r;
}

int GetSubtreeMaxLevel(editor::EditorContext& ctx, int seq) {
    vl::TvlTable* s = ctx.cntShadow;
    if (!GotoSequence(ctx, seq)) return 0;
    const int top = s->FieldInt("Level");
    int result = 0;
    for (s->Next(); !s->Eof(); s->Next()) {
        if (s->FieldStr("EntryType") == "I") continue;
        int level = s->FieldInt("Level");
        if (level < top) break;
        result = std::max(result, level);
    }
    return result;
}

void ShiftContentsSubtree(editor::EditorContext& ctx, int seq, bool right) {
    vl::TvlTable* s = ctx.cntShadow;
    if (!GotoSequence(ctx, seq)) return;
    const int top = s->FieldInt("Level") + (right ? -1 : 1);
    db::TBulkTransaction transaction(*s);
    for (s->Next(); !s->Eof(); s->Next()) {
        if (s->FieldStr("EntryType") == "I") continue;
        int level = s->FieldInt("Level");
        if (level < top) break;
        if (top == 1 && level == 1 && s->FieldStr("EntryType") == "H") break;
        s->Edit();
        s->SetFieldInt("Level", std::clamp(level + (right ? 1 : -1), 1, 9));
        s->Post();
    }
    CommitRows(transaction);
}

void AddContentsEntryWith(editor::EditorContext& ctx, bool above, const CntAddChoice& choice) {
    if (!HasProject(ctx)) return;
    vl::TvlTable* t = ctx.cntTable;
    const bool empty = t->IsEmpty();
    int L = empty ? 1 : std::max(1, static_cast<int>(t->FieldInt("Level")));
    const std::string currentType = empty ? std::string() : t->FieldStr("EntryType");
    const bool H = currentType == "H";
    const int P = empty ? 0 : t->FieldInt("Sequence");
    int seq;
    if (above) {
        seq = P;
        if (!empty) ShiftContentsSequence(ctx, P, false);
    } else if (P < 1) {
        seq = empty ? 2 : P + 1;
        if (!empty) ShiftContentsSequence(ctx, P, true);
    } else {
        ShiftContentsSequence(ctx, P, true);
        seq = P + 1;
    }
    if (currentType == "T" && choice.kind == CntAddChoice::Heading && L > 1) L = L - 1;
    if (ctx.mainTable->FieldStr("AutogenerateContents") == "Y") {
        EditProject(ctx);
        ctx.mainTable->SetFieldStr("AutogenerateContents", "N");
        ctx.mainTable->Post();
    }
    t->Refresh();
    t->Append();
    t->SetFieldStr("Application", Project(ctx));
    t->SetFieldInt("Sequence", seq);
    // Levels stay within 1..9: a topic next to a level-9 heading stays at 9.
    const int childLevel = std::min(9, H ? L + 1 : L);
    switch (choice.kind) {
    case CntAddChoice::Heading:
        t->SetFieldStr("Title", choice.title);
        t->SetFieldStr("EntryType", "H");
        t->SetFieldInt("Level", L);
        break;
    case CntAddChoice::Topic:
        t->SetFieldStr("Title", choice.title);
        t->SetFieldStr("EntryType", "T");
        t->SetFieldInt("Level", childLevel);
        t->SetFieldStr("Jump", choice.topic);
        t->SetFieldStr("HelpFile", choice.window.empty() ? choice.file : choice.file + ">" + choice.window);
        break;
    case CntAddChoice::Macro:
        t->SetFieldStr("Title", choice.title);
        t->SetFieldStr("EntryType", "M");
        t->SetFieldInt("Level", childLevel);
        t->SetFieldStr("Jump", choice.topic);
        break;
    case CntAddChoice::Include:
        t->SetFieldStr("Title", ":include " + choice.title);
        t->SetFieldStr("EntryType", "I");
        t->SetFieldInt("Level", 1);
        break;
    }
    t->Post();
}

void AddContentsEntry(editor::EditorContext& ctx, bool above, const ContentsHooks& hooks) {
    if (!HasProject(ctx)) return;
    CntAddChoice choice;
    vl::TvlTable* t = ctx.cntTable;
    if (!t->IsEmpty() && t->FieldStr("EntryType") == "T") choice.kind = CntAddChoice::Topic;
    if (!hooks.runAddDialog || !hooks.runAddDialog(choice)) return;
    AddContentsEntryWith(ctx, above, choice);
}

void MoveContentsEntryRight(editor::EditorContext& ctx, const ContentsHooks& hooks) {
    vl::TvlTable* t = ctx.cntTable;
    int L, S;
    std::string kind;
    try {
        if (t->IsEmpty()) return;
        kind = t->FieldStr("EntryType");
        L = t->FieldInt("Level");
        S = t->FieldInt("Sequence");
    } catch (const std::exception&) {
        return;
    }
    if (kind != "H" && kind != "T") {
        editor::ShowWarning("Warning", kOnlyHeadingsOrTopics);
        return;
    }
    if (L >= 9) {
        editor::ShowWarning("Maximum Level", kMaxLevelText);
        return;
    }
    ClearShadowFilter(ctx);
    PrevContentsEntry prev = GetPrevContentsEntry(ctx, S);
    const bool prevTopic = prev.entryType == "T" || prev.entryType == "M";
    if (kind == "H") {
        if ((prevTopic && prev.level == L) || (prev.entryType == "H" && L > prev.level)) {
            editor::ShowWarning("Warning", kSkipLevelText);
            return;
        }
    } else if (prevTopic || (prev.entryType == "H" && L > prev.level)) {
        if (!Confirm(kLooksWrongQuestion)) return;
    }
    int M = GetSubtreeMaxLevel(ctx, S);
    if (M >= 9) {
        editor::ShowWarning("Warning", kSubLevelsAtMaxText);
        return;
    }
    t->Edit();
    t->SetFieldInt("Level", L + 1);
    t->Post();
    if (M > 0) ShiftContentsSubtree(ctx, S, true);
    t->Refresh();
}

void MoveContentsEntryLeft(editor::EditorContext& ctx, const ContentsHooks& hooks) {
    vl::TvlTable* t = ctx.cntTable;
    int L, S;
    std::string kind;
    try {
        if (t->IsEmpty()) return;
        kind = t->FieldStr("EntryType");
        L = t->FieldInt("Level");
        S = t->FieldInt("Sequence");
    } catch (const std::exception&) {
        return;
    }
    if (kind != "H" && kind != "T") {
        editor::ShowWarning("Warning", kOnlyHeadingsOrTopics);
        return;
    }
    if (L <= 1) {
        if (hooks.beep) hooks.beep();
        if (hooks.setStatus) hooks.setStatus(kFarLeftText);
        return;
    }
    ClearShadowFilter(ctx);
    PrevContentsEntry prev = GetPrevContentsEntry(ctx, S);
    auto setLevel = [&] {
        t->Edit();
        t->SetFieldInt("Level", L - 1);
        t->Post();
    };
    if (kind == "H") {
        int M = GetSubtreeMaxLevel(ctx, S);
        setLevel();
        if (M > 0) ShiftContentsSubtree(ctx, S, false);
    } else if (prev.entryType == "T" || prev.entryType == "M") {
        int M = GetSubtreeMaxLevel(ctx, S);
        bool withSub = M > 0 && Confirm(kMoveSubEntriesQuestion);
        setLevel();
        if (withSub) ShiftContentsSubtree(ctx, S, false);
    } else {
        setLevel();
    }
    t->Refresh();
}

void ClearAllContents(editor::EditorContext& ctx) {
    if (!HasProject(ctx)) return;
    if (!Confirm(kClearContentsQuestion)) return;
    db::TBulkTransaction transaction(*ctx.cntShadow);
    DeleteProjectContents(ctx);
    CommitRows(transaction);
    ctx.cntTable->Refresh();
}

void UpdateContentsJumps(editor::EditorContext& ctx, long prevHelpId, const std::string& prevContextString,
                         long newHelpId, const std::string& newContextString) {
    if (prevHelpId == 0 && prevContextString.empty()) return;
    const bool idChanged = newHelpId != prevHelpId;
    // An empty old context string matches headings and includes, never a jump.
    const bool contextChanged = !prevContextString.empty() && newContextString != prevContextString;
    if (!idChanged && !contextChanged) return;
    const std::string oldId = std::to_string(prevHelpId);
    std::vector<std::string> conditions;
    bool filterable = true;
    std::string line;
    if (idChanged) {
        filterable = QuotedEquals("Jump", oldId, line);
        conditions.push_back(line);
    }
    if (contextChanged) {
        filterable = filterable && QuotedEquals("Jump", prevContextString, line);
        conditions.push_back(line);
    }
    vl::TvlTable* s = ctx.cntShadow;
    s->vlFilter().Clear();
    if (filterable) {
        std::string text = conditions[0];
        for (std::size_t i = 1; i < conditions.size(); ++i) text += " OR " + conditions[i];
        s->vlFilter().Add(text);
    }
    s->ApplyFilter();
    // Every row is decided on its old jump once, then changed: a new jump
    // that matches the other rule is not changed a second time.
    std::vector<std::pair<db::TBookmark, std::string>> changes;
    for (s->First(); !s->Eof(); s->Next()) {
        const std::string jump = s->FieldStr("Jump");
        if (idChanged && jump == oldId)
            changes.emplace_back(s->GetBookmark(), std::to_string(newHelpId));
        else if (contextChanged && jump == prevContextString)
            changes.emplace_back(s->GetBookmark(), newContextString);
    }
    ClearShadowFilter(ctx);
    {
        db::TBulkTransaction transaction(*s);
        for (auto& [mark, jump] : changes) {
            s->GotoBookmark(mark);
            s->Edit();
            s->SetFieldStr("Jump", jump);
            s->Post();
        }
        CommitRows(transaction);
    }
    ctx.cntTable->Refresh();
}

// --- title rules --------------------------------------------------------------------

bool ContextStringOwned(editor::EditorContext& ctx, const std::string& contextString, long exceptHelpId) {
    vl::TvlTable* c = ctx.tblContext;
    auto same = [](const std::string& a, const std::string& b) {
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
                   return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
               });
    };
    for (c->First(); !c->Eof(); c->Next()) {
        if (c->FieldByName("HelpId")->AsInteger() == exceptHelpId) continue;
        if (same(c->FieldStr("ContextString"), contextString)) return true;
    }
    return false;
}

bool RtfBodyIsEmpty(const std::string& rtf) {
    if (rtf.empty()) return true;
    richtext::TJDRTFTextIo engine;
    engine.LoadFromString(rtf);
    richtext::TJDRtfStrings lines(engine);
    for (int i = 0; i < lines.Count(); ++i)
        if (!lines.Get(i).empty()) return false;
    return true;
}

void SyncTopicTitleFields(editor::EditorContext& ctx, db::TDataSet& page, std::function<bool()> bodyEmpty) {
    try {
        TitleRulePage p;
        p.title = page.FieldByName("Title")->AsString();
        if (p.title.empty()) return;
        p.titleUserModified = page.FieldByName("TitleUserModified")->AsString();
        p.topicPopup = page.FieldByName("TopicPopup")->AsString();
        p.keys = page.FieldByName("Keys")->AsString();
        p.contextString = page.FieldByName("ContextString")->AsString();
        p.helpId = static_cast<long>(page.FieldByName("HelpId")->AsInteger());
        p.browseId = static_cast<long>(page.FieldByName("BrowseId")->AsInteger());
        p.bodyEmpty = bodyEmpty ? bodyEmpty() : RtfBodyIsEmpty(page.FieldByName("HelpText")->AsString());
        const long self = p.helpId;
        ApplyTitleRules(p, ctx.Settings.PopupsHaveAutoSearchKeys,
                        [&](const std::string& cs) { return ContextStringOwned(ctx, cs, self); });
        auto put = [&](const char* field, const std::string& v) {
            if (page.FieldByName(field)->AsString() != v) page.FieldByName(field)->SetAsString(v);
        };
        put("TitleUserModified", p.titleUserModified);
        put("Keys", p.keys);
        put("ContextString", p.contextString);
        if (page.FieldByName("BrowseId")->AsInteger() != p.browseId) page.FieldByName("BrowseId")->SetAsInteger(p.browseId);
    } catch (const plat::EAbort&) {
        throw;
    } catch (const std::exception&) {
        throw plat::EAbort("");
    }
}

void InstallEditorRules(editor::EditorContext& ctx) {
    editor::InstallPageRules(ctx);
    // These take the context itself, not a window: a post while the window
    // is being destroyed still reaches them.
    ctx.Hooks.SyncTopicTitleFields = [c = &ctx](db::TDataSet& page) { SyncTopicTitleFields(*c, page); };
    ctx.Hooks.UpdateContentsJumps = [c = &ctx](long prevId, const std::string& prevContext, long id,
                                               const std::string& context) {
        UpdateContentsJumps(*c, prevId, prevContext, id, context);
    };
}

}  // namespace build
