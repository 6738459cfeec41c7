#include "project/page_rules.h"

#include "project/helpers.h"
#include "project/project_tables.h"
#include "platform/core/codepage.h"
#include "platform/core/exceptions.h"
#include "platform/core/files.h"
#include "platform/core/clock.h"
#include "platform/core/datetime.h"
#include <cmath>
#include "data/bulk_transaction.h"
#include "data/db_errors.h"
#include "data/fields.h"
#include "data/tables.h"
#include "platform/core/dialog_service.h"
#include "platform/core/string_list.h"

#include <cctype>
#include <memory>

namespace editor {

namespace {

using db::TValue;

std::string ProjectName(const EditorContext& ctx) {
    if (!ctx.mainTable->Active() || ctx.mainTable->IsEmpty()) return {};
    return ctx.mainTable->FieldStr("Application");
}

std::string ProjectFilter(const std::string& name) { return "Application = \"" + name + "\""; }

[[noreturn]] void Refuse(const std::string& text) {
    ShowWarning("Warning", text);
    db::Abort();
}

std::string ScratchText(const EditorContext& ctx) {
    if (!ctx.ScratchStream) return {};
    return ctx.ScratchStream->Bytes();
}

void SetScratchText(EditorContext& ctx, const std::string& text) {
    ctx.ScratchStream = std::make_unique<plat::MemoryStream>();
    if (!text.empty()) ctx.ScratchStream->Write(text.data(), static_cast<long>(text.size()));
}

bool IsYes(const std::string& text) { return text == "Y" || text == "y"; }

// The table's changes go to disk right after a post (the engine writes
// through, so there is nothing more to do than to keep the moment).
void SaveChanges(db::TDataSet*) {}

void HelpIdValidate(EditorContext& ctx, db::TField* field) {
    if (field->IsNull()) return;
    try {
        db::TDataSet* t = field->DataSet();
        t->FieldByName("TitleUserModified")->SetAsString("N");
        if (t->FieldStr("TopicPopup") == "T" && t->FieldInt("BrowseId") <= 0) {
            t->FieldByName("TopicPopup")
                ->SetAsString(ctx.PreviousTopicPopup.empty() ? "T" : ctx.PreviousTopicPopup);
            if (t->FieldStr("TopicPopup") == "T" && ctx.Settings.kqIniSettings.SynchBrowseIDs)
                t->FieldByName("BrowseId")->SetAsInteger(field->AsInteger());
        }
    } catch (const std::exception&) {
        db::Abort();
    }
}

// Whether another page of the project has this help id.
bool HelpIdTaken(EditorContext& ctx, const std::string& project, long helpId) {
    vl::TvlTable* c = ctx.CdetailTable;
    if (c->vlFilter().Count() > 0) {
        c->vlFilter().Clear();
        c->ApplyFilter();
    }
    if (!c->Active()) c->Open();
    const db::TBookmark place = c->IsEmpty() ? db::TBookmark() : c->GetBookmark();
    const bool found = c->db::TTable::FindKey({TValue(project), TValue(static_cast<std::int64_t>(helpId))});
    if (!place.empty() && c->BookmarkValid(place)) c->GotoBookmark(place);
    return found;
}

void DetailBeforePost(EditorContext& ctx, db::TDataSet* t) {
    try {
        const bool inserting = t->State() == db::dsInsert;
        const bool noId = t->FieldByName("HelpId")->IsNull();
        const std::string title = t->FieldStr("Title");
        if ((noId && title.empty()) || (title.empty() && inserting && !HasPlainText(t->FieldStr("HelpText")))) {
            t->Cancel();
            db::Abort();
        }
        // Every page belongs to the current project; with none it would be stored under no project.
        if (ProjectName(ctx).empty() && t->FieldStr("Application").empty()) Refuse(kNoProjectText);
        if (noId) Refuse(kNoHelpIdText);
        if (t->FieldStr("TopicPopup").empty()) Refuse(kNoTopicPopupText);
        if (title.empty()) Refuse(kNoTitleText);
        t->FieldByName("TitleUserModified")->SetAsString("N");
        const plat::TDateTime now = plat::Now();
        t->FieldByName("ModifiedDate")->SetAsDateTime(std::floor(now));
        t->FieldByName("ModifiedTime")->SetAsDateTime(now);
        const long helpId = t->FieldInt("HelpId");
        // An edit that changed the id is checked as well: the engine's own
        // key error would otherwise be all the user sees.
        if ((inserting || helpId != ctx.PrevHelpId) &&
            HelpIdTaken(ctx, t->FieldStr("Application").empty() ? ProjectName(ctx) : t->FieldStr("Application"),
                        helpId))
            Refuse(kDuplicateHelpIdText);
        if (ctx.Hooks.SyncTopicTitleFields) ctx.Hooks.SyncTopicTitleFields(*t);
    } catch (const plat::EAbort&) {
        throw;
    } catch (const std::exception&) {
        db::Abort();
    }
}

// Writes the page's title into its title region (topic) or its body
// (popup) when the page body holds no plain text and the target holds no
// picture, table or other content beyond plain text.
bool WriteAutoTitle(EditorContext& ctx, long helpId, const std::string& app, bool popup) {
    vl::TvlTable* c = ctx.CdetailTable;
    if (!c->Active()) c->Open();
    if (!c->db::TTable::FindKey({TValue(app), TValue(static_cast<std::int64_t>(helpId))})) return false;
    const char* target = popup ? "HelpText" : "FullTitle";
    const std::string stored = c->FieldStr(target);
    // A popup body is written only when it holds nothing at all; a title
    // region (rewritten after each post) only while it holds nothing but text.
    if (popup ? !IsEmptyText(stored) : !HoldsOnlyText(stored)) return false;
    TitleFont font;
    const char* prefix = popup ? "Popup" : "Title";
    font.name = ctx.mainTable->FieldStr((std::string(prefix) + "Font").c_str());
    font.size = static_cast<int>(ctx.mainTable->FieldInt((std::string(prefix) + "Size").c_str()));
    font.colour = static_cast<int>(ctx.mainTable->FieldInt((std::string(prefix) + "Color").c_str()));
    font.style = ctx.mainTable->FieldStr((std::string(prefix) + "Style").c_str());
    c->Edit();
    c->FieldByName(target)->SetAsString(WriteTitleText(ScratchText(ctx), c->FieldStr("Title"), font));
    c->Post();
    c->First();
    return true;
}

void DetailAfterPost(EditorContext& ctx, db::TDataSet* t) {
    // The closing post of a context being destroyed: the other tables may be gone.
    if (ctx.Destroying()) return;
    try {
        SaveChanges(t);
        const std::string kind = t->FieldStr("TopicPopup");
        const long helpId = t->FieldInt("HelpId");
        const std::string app = t->FieldStr("Application");
        const std::string context = t->FieldStr("ContextString");
        if (!HasPlainText(t->FieldStr("HelpText"))) {
            bool written = false;
            if (kind == "T" && IsYes(ctx.mainTable->FieldStr("AutoAddTopicsToMaxTitle")))
                written = WriteAutoTitle(ctx, helpId, app, false);
            else if (kind == "P")
                written = WriteAutoTitle(ctx, helpId, app, true);
            // The page's editors show what was written through the other cursor.
            if (written) t->Refresh();
        }
        if (ctx.ProcessMessages) ctx.ProcessMessages();
        const bool wasEdit = ctx.PrevHelpId != 0 || !ctx.PrevContextString.empty();
        if (wasEdit && (helpId != ctx.PrevHelpId || context != ctx.PrevContextString)) {
            if (ctx.Hooks.RebuildJumpReferences) ctx.Hooks.RebuildJumpReferences(ctx.PrevHelpId, ctx.PrevContextString);
            if (ctx.Hooks.UpdateContentsJumps)
                ctx.Hooks.UpdateContentsJumps(ctx.PrevHelpId, ctx.PrevContextString, helpId, context);
            if (ctx.Hooks.ReachInheritedCopies) ctx.Hooks.ReachInheritedCopies(ctx.PrevHelpId, ctx.PrevContextString);
        }
        if (t->FieldStr("InheritedStatus") == "Master" && ctx.Hooks.PassMasterText) ctx.Hooks.PassMasterText();
    } catch (const plat::EAbort&) {
        throw;
    } catch (const std::exception&) {
        db::Abort();
    }
}

void DetailAfterInsert(EditorContext& ctx, db::TDataSet* t) {
    ctx.PrevHelpId = 0;
    ctx.PrevContextString.clear();
    const std::string header = ScratchText(ctx);
    try {
        if (!header.empty()) t->FieldByName("HelpText")->SetAsString(header);
    } catch (const std::exception&) {
    }
    try {
        if (!header.empty()) t->FieldByName("FullTitle")->SetAsString(header);
    } catch (const std::exception&) {
    }
    try {
        const long id = NextFreeHelpId(ctx, t->Eof());
        if (id != 0) t->FieldByName("HelpId")->SetAsInteger(id);
    } catch (const std::exception&) {
    }
    try {
        if (ctx.PreviousTopicPopup.empty()) ctx.PreviousTopicPopup = "T";
        t->FieldByName("TopicPopup")->SetAsString(ctx.PreviousTopicPopup);
    } catch (const std::exception&) {
    }
    try {
        t->FieldByName("CompileFor")->SetAsString(ctx.mainTable->FieldStr("Compile"));
    } catch (const std::exception&) {
    }
    try {
        if (ctx.Hooks.PageInserted) ctx.Hooks.PageInserted();
    } catch (const std::exception&) {
    }
}

bool settingContext = false;

void ContextStringChange(EditorContext& ctx, db::TField* field) {
    if (settingContext) return;
    const std::string value = field->AsString();
    if (value.empty() || value == ctx.PrevContextString) return;
    try {
        if (!HasOnlyContextCharacters(value)) {
            ShowWarning("Warning", kInvalidContextStringText);
            settingContext = true;
            try {
                field->SetAsString(ctx.PrevContextString);
            } catch (...) {
            }
            settingContext = false;
            db::Abort();
        }
        std::string owner;
        FindContextStringOwner(ctx, value, owner);
        if (!owner.empty()) {
            settingContext = true;
            try {
                field->SetAsString("");
            } catch (...) {
            }
            settingContext = false;
            ShowWarning("Warning", "This Context String is already used by page \"" + owner +
                                       "\". Please re-enter a unique context string.");
            db::Abort();
        }
    } catch (const plat::EAbort&) {
        throw;
    } catch (const std::exception&) {
    }
}

void MainApplicationValidate(EditorContext& ctx, db::TField* field) {
    db::TDataSet* t = ctx.mainTable;
    if (t->State() == db::dsInsert || t->State() == db::dsSetKey) return;
    const std::string name = field->AsString();
    if (name == ctx.OldApplicationName || ctx.OldApplicationName.empty()) return;
    const int answer = gui::MessageDlg(kRenameQuestionText, gui::mtConfirmation, gui::Buttons({gui::mbYes, gui::mbNo}));
    if (answer != gui::mrYes) db::Abort();  // the field keeps the old name
    RenameProject(ctx, name);
}

void InstallFieldRules(EditorContext& ctx) {
    vl::TvlTable* d = ctx.detailTable;
    if (d->Active()) {
        EditorContext* c = &ctx;
        if (db::TField* f = d->FindField("HelpId")) f->OnValidate = [c](db::TField* x) { HelpIdValidate(*c, x); };
        if (db::TField* f = d->FindField("TopicPopup"))
            f->OnValidate = [c](db::TField* x) {
                if (!x->AsString().empty()) ApplyTopicPopupDefaults(*c);
            };
        if (db::TField* f = d->FindField("ContextString"))
            f->OnChange = [c](db::TField* x) { ContextStringChange(*c, x); };
    }
    if (ctx.mainTable->Active()) {
        EditorContext* c = &ctx;
        if (db::TField* f = ctx.mainTable->FindField("Application"))
            f->OnValidate = [c](db::TField* x) { MainApplicationValidate(*c, x); };
    }
}

}  // namespace

void InstallPageRules(EditorContext& ctx) {
    EditorContext* c = &ctx;
    vl::TvlTable* d = ctx.detailTable;
    d->BeforeInsert = [c](db::TDataSet* t) {
        c->PreviousTopicPopup = t->IsEmpty() ? std::string() : t->FieldStr("TopicPopup");
        c->PreviousHelpId = t->IsEmpty() ? 0 : t->FieldInt("HelpId");
    };
    d->AfterInsert = [c](db::TDataSet* t) { DetailAfterInsert(*c, t); };
    d->BeforeEdit = [c](db::TDataSet* t) {
        c->PrevHelpId = t->FieldInt("HelpId");
        c->PrevContextString = t->FieldStr("ContextString");
    };
    d->BeforePost = [c](db::TDataSet* t) { DetailBeforePost(*c, t); };
    d->AfterPost = [c](db::TDataSet* t) { DetailAfterPost(*c, t); };
    d->BeforeClose = [](db::TDataSet* t) {
        if (t->IsEditing()) t->Post();
    };
    d->AfterOpen = [c](db::TDataSet*) { InstallFieldRules(*c); };

    vl::TvlTable* m = ctx.mainTable;
    m->BeforeEdit = [c](db::TDataSet* t) {
        c->OldApplicationName = t->FieldStr("Application").substr(0, kApplicationSize);
    };
    m->BeforePost = [](db::TDataSet* t) {
        try {
            t->FieldByName("LastModified")->SetAsDateTime(plat::Now());
        } catch (const std::exception&) {
            db::Abort();
        }
    };
    m->AfterPost = [](db::TDataSet* t) { SaveChanges(t); };
    m->BeforeClose = [](db::TDataSet* t) {
        if (t->IsEditing()) t->Post();
    };
    m->AfterOpen = [c](db::TDataSet*) { InstallFieldRules(*c); };
    ctx.prefsTable->BeforeClose = [](db::TDataSet* t) {
        if (t->IsEditing()) t->Post();
    };
    ctx.cntTable->AfterPost = [](db::TDataSet* t) { SaveChanges(t); };
    ctx.CdetailTable->AfterPost = [](db::TDataSet* t) { SaveChanges(t); };
    InstallFieldRules(ctx);
}

long NextFreeHelpId(EditorContext& ctx, bool appended) {
    try {
        const std::string app = ProjectName(ctx);
        vl::TvlTable* t = ctx.detailFilterTable;
        if (!t->Active()) t->Open();
        t->vlFilter().Clear();
        t->vlFilter().Add(ProjectFilter(app));
        t->ApplyFilter();
        if (!t->db::TTable::FindKey({TValue(app), TValue(static_cast<std::int64_t>(ctx.PreviousHelpId))})) return 1000;
        const long a = t->FieldInt("HelpId");
        t->Prior();
        const long p = t->Bof() && t->FieldInt("HelpId") == a ? a : t->FieldInt("HelpId");
        if (appended) return p == a ? a + 1000 : a + (a - p);
        const long g = a - p;
        if (g <= 1) return 0;
        if (g <= 100) return p + 1;
        if (g <= 500) return p + 100;
        if (g <= 1000) return p + 500;
        return p + 1000;
    } catch (const std::exception&) {
        return 0;
    }
}

bool HasOnlyContextCharacters(const std::string& text) {
    if (text.empty()) return false;
    for (char ch : text) {
        const unsigned char u = static_cast<unsigned char>(ch);
        if (!((u < 128 && std::isalnum(u)) || ch == '_')) return false;
    }
    return true;
}

bool MakeContextString(EditorContext& ctx, const std::string& text, std::string* derived) {
    const std::string candidate = DeriveContextString(text);
    std::optional<std::string> free = build::FreeContextString(
        candidate, kTypedContextSuffixMax, [&ctx](const std::string& contextString) {
            std::string owner;
            FindContextStringOwner(ctx, contextString, owner);
            return !owner.empty();
        });
    // An empty candidate is nobody's and equals no text.
    if (candidate.empty()) free = candidate;
    if (!free) return false;
    if (derived) *derived = *free;
    return plat::CompareAnsi(*free, text, true) == 0;
}

void FindContextStringOwner(EditorContext& ctx, const std::string& contextString, std::string& ownerTitle) {
    ownerTitle.clear();
    if (contextString.empty()) return;
    try {
        vl::TvlTable* t = ctx.tblContext;
        if (!t->Active()) t->Open();
        const db::TDataSet* d = ctx.detailTable;
        // The current page: its stored id while edited, none while inserted.
        const bool haveCurrent = d->Active() && !d->IsEmpty() && d->State() != db::dsInsert;
        const long currentId = !haveCurrent ? -1 : d->State() == db::dsEdit ? ctx.PrevHelpId : d->FieldInt("HelpId");
        const std::string app = ProjectName(ctx);
        for (t->First(); !t->Eof(); t->Next()) {
            if (t->FieldStr("Application") != app) continue;
            if (plat::CompareAnsi(t->FieldStr("ContextString"), contextString, true) != 0) continue;
            if (haveCurrent && t->FieldInt("HelpId") == currentId) continue;
            ownerTitle = t->FieldStr("Title");
            return;
        }
    } catch (const std::exception&) {
        db::Abort();
    }
}

void LookupHelpIdByContext(EditorContext& ctx, const std::string& contextString, std::string& helpId) {
    helpId.clear();
    try {
        vl::TvlTable* t = ctx.tblContext;
        if (!t->Active()) t->Open();
        const std::string app = ProjectName(ctx);
        for (t->First(); !t->Eof(); t->Next())
            if (t->FieldStr("Application") == app &&
                plat::CompareAnsi(t->FieldStr("ContextString"), contextString, true) == 0) {
                helpId = t->FieldStr("HelpId");
                return;
            }
    } catch (const std::exception&) {
        db::Abort();
    }
}

void ApplyTopicPopupDefaults(EditorContext& ctx) {
    db::TDataSet* t = ctx.detailTable;
    const std::string kind = t->FieldStr("TopicPopup");
    if (kind.empty()) return;
    t->FieldByName("TitleUserModified")->SetAsString("N");
    if (kind == "P")
        t->FieldByName("BrowseId")->Clear();
    else if (t->FieldByName("BrowseId")->IsNull() && !t->FieldByName("HelpId")->IsNull())
        t->FieldByName("BrowseId")->SetAsInteger(t->FieldByName("HelpId")->AsInteger());
}

std::string ResolveGraphicsDir(EditorContext& ctx) {
    const std::string stored = ctx.mainTable->FieldStr("GraphicsDir");
    if (stored.size() < 3) return stored;
    const std::string dir = ProjectFolder(stored, ctx.ProgramDir);
    if (dir == stored) return dir;  // absolute
    return plat::DirectoryExists(dir) ? dir : std::string();
}

void PostPendingEdits(EditorContext& ctx) {
    vl::TvlTable* d = ctx.detailTable;
    const db::TBookmark place = d->Active() && !d->IsEmpty() && d->State() == db::dsBrowse ? d->GetBookmark() : db::TBookmark();
    for (vl::TvlTable* t : {ctx.mainTable, ctx.detailTable}) {
        if (!t->Active() || t->IsEmpty()) continue;
        if (t->IsEditing())
            t->Post();
        else
            t->Edit();
    }
    if (!place.empty() && d->BookmarkValid(place)) d->GotoBookmark(place);
}

void miSaveClick(EditorContext& ctx) {
    vl::TvlTable* d = ctx.detailTable;
    if (d->IsEditing()) d->Post();
    d->DisableControls();
    try {
        PostPendingEdits(ctx);
    } catch (...) {
        d->EnableControls();
        throw;
    }
    d->EnableControls();
}

namespace {

// Moves every row whose `field` holds `from` to `to`, on a work table over
// one table file.
void MoveRows(vl::TvlTable* t, const std::string& field, const std::string& from, const std::string& to) {
    t->vlFilter().Clear();
    t->vlFilter().Add(field + " = \"" + from + "\"");
    t->ApplyFilter();
    t->First();
    // A posted row leaves the filter, so the loop always works on the first row left.
    while (!t->Eof() && !t->IsEmpty()) {
        t->Edit();
        t->FieldByName(field)->SetAsString(to);
        t->Post();
        t->First();
    }
    t->vlFilter().Clear();
    t->ApplyFilter();
}

bool ProjectNameTaken(EditorContext& ctx, const std::string& name, const std::string& except) {
    vl::TvlTable probe(nullptr);
    probe.DatabaseName = kTavrinAlias;
    probe.SetTableName(kMainTableFile);
    probe.Open();
    for (probe.First(); !probe.Eof(); probe.Next()) {
        const std::string app = probe.FieldStr("Application");
        if (app == except) continue;
        if (plat::CompareAnsi(app, name, true) == 0) return true;
    }
    (void)ctx;
    return false;
}

}  // namespace

void RenameProject(EditorContext& ctx, const std::string& newName) {
    const std::string oldName = ctx.OldApplicationName;
    if (ProjectNameTaken(ctx, newName, oldName))
        Refuse("The Help Application name " + newName + " is already used by another project. Please choose another name.");
    // The engine binds to a transaction the table files open when it
    // starts: every file the rename writes is opened first.
    vl::TvlTable* links = ctx.tblInh;
    const bool linksWereOpen = links->Active();
    if (!linksWereOpen) {
        links->DatabaseName = kTavrinAlias;
        links->Open();
    }
    for (vl::TvlTable* t : {ctx.detailFilterTable, ctx.refIntegTable, ctx.cntTable, ctx.tblFont})
        if (!t->Active()) t->Open();
    struct CloseLinks {
        vl::TvlTable* t;
        bool keep;
        ~CloseLinks() {
            if (!keep) t->Close();
        }
    } closeLinks{links, linksWereOpen};
    db::TDatabase database(nullptr);
    database.DatabaseName = "TavrinRename";
    database.AliasName = kTavrinAlias;
    database.Open();
    db::TBulkTransaction transaction(database, db::TBulkTransaction::TakeBack);
    if (!transaction.Own()) db::DatabaseError("The project's tables are busy in another transaction");
    vl::TvlTable* work = ctx.tblBackFrom;
    try {
        vl::TvlTable* pages = ctx.detailFilterTable;
        if (!pages->Active()) pages->Open();
        MoveRows(pages, "Application", oldName, newName);
        MoveRows(pages, "InheritedApplication", oldName, newName);
        struct Move {
            const char* table;
            const char* field;
        };
        for (Move m : {Move{"TvrnREFI", "Application"}, Move{"TvrnCNT", "Application"}, Move{"Tvrnfont", "Application"},
                       Move{"TvrnInh", "Application"}, Move{"TvrnInh", "InheritedApplication"}}) {
            work->Close();
            work->DatabaseName = kTavrinAlias;
            work->SetTableName(std::string(m.table) + ".QVD");
            work->Open();
            MoveRows(work, m.field, oldName, newName);
        }
        work->vlFilter().Clear();
        work->Close();
        work->DatabaseName.clear();
        work->SetTableName("");
        if (!transaction.Commit()) db::DatabaseError("The renamed project could not be saved");
    } catch (...) {
        transaction.Rollback();
        try {
            work->vlFilter().Clear();
            work->Close();
            work->DatabaseName.clear();
            work->SetTableName("");
            ctx.detailFilterTable->vlFilter().Clear();
            ctx.detailFilterTable->ApplyFilter();
            for (vl::TvlTable* t : {ctx.detailFilterTable, ctx.cntTable, ctx.tblFont, ctx.refIntegTable})
                if (t->Active() && t->State() == db::dsBrowse) t->Refresh();
        } catch (...) {
        }
        throw;
    }
    for (vl::TvlTable* t : {ctx.detailFilterTable, ctx.cntTable, ctx.tblFont, ctx.refIntegTable, ctx.CdetailTable,
                            ctx.tblContext})
        try {
            if (t->Active() && t->State() == db::dsBrowse) t->Refresh();
        } catch (const std::exception&) {
        }
}

bool DeleteTopic(EditorContext& ctx, std::string& status) {
    status.clear();
    vl::TvlTable* d = ctx.detailTable;
    if (!d->Active() || d->IsEmpty()) return false;
    if (gui::MessageDlg(kDeleteTopicQuestionText, gui::mtConfirmation, gui::Buttons({gui::mbYes, gui::mbNo})) !=
        gui::mrYes)
        return false;
    if (d->IsEditing()) d->Cancel();
    const std::string helpIdText = d->FieldStr("HelpId");
    if (helpIdText.empty() || helpIdText == "0") {
        d->Delete();
        return true;
    }
    const long helpId = d->FieldInt("HelpId");
    const std::string context = d->FieldStr("ContextString");
    const std::string app = ProjectName(ctx);
    vl::TvlTable* refs = ctx.refIntegTable;
    if (!refs->Active()) refs->Open();
    refs->vlFilter().Clear();
    refs->vlFilter().Add("Application = \"" + app + "\"");
    refs->vlFilter().Add("HelpId = " + std::to_string(helpId));
    refs->ApplyFilter();
    refs->First();
    int removed = 0;
    if (!refs->IsEmpty()) {
        if (gui::MessageDlg(kJumpIntegrityQuestionText, gui::mtConfirmation, gui::Buttons({gui::mbYes, gui::mbNo})) !=
            gui::mrYes) {
            refs->vlFilter().Clear();
            refs->ApplyFilter();
            return false;
        }
        vl::TvlTable* c = ctx.CdetailTable;
        if (!c->Active()) c->Open();
        // The referring pages and their reference rows go in one transaction,
        // kept as far as it got, as page-by-page posts were.
        db::TBulkTransaction transaction(*c, db::TBulkTransaction::Keep);
        while (!refs->IsEmpty()) {
            refs->First();
            const long by = refs->FieldInt("ReferencedBy");
            if (c->db::TTable::FindKey({TValue(app), TValue(static_cast<std::int64_t>(by))})) {
                int n = 0;
                const std::string body = RemoveJumpTargets(c->FieldStr("HelpText"), context, helpId, n);
                int m = 0;
                const std::string title = RemoveJumpTargets(c->FieldStr("FullTitle"), context, helpId, m);
                c->Edit();
                if (n) c->FieldByName("HelpText")->SetAsString(body);
                if (m) c->FieldByName("FullTitle")->SetAsString(title);
                c->FieldByName("TitleUserModified")->SetAsString("N");
                c->Post();
                removed += n + m;
            }
            refs->Delete();
        }
        if (!transaction.Commit()) db::DatabaseError("The pages that jumped to the topic could not be saved");
        refs->vlFilter().Clear();
        refs->ApplyFilter();
    }
    d->Delete();
    if (removed > 0)
        status = "Jump Integrity updated " + std::to_string(removed) + " references for helpId " + helpIdText;
    return true;
}

namespace {

bool FindFontRow(EditorContext& ctx, const std::string& app) {
    vl::TvlTable* f = ctx.tblFont;
    if (!f->Active()) f->Open();
    return f->db::TTable::FindKey({TValue(app)});
}

}  // namespace

bool BuildFontRegistryHeader(EditorContext& ctx) {
    const std::string app = ProjectName(ctx);
    if (!FindFontRow(ctx, app)) {
        ShowWarning("Warning", "The project " + app + " has no font registry; its RTF header was left unchanged.");
        return false;
    }
    vl::TvlTable* f = ctx.tblFont;
    const std::string header = BuildRtfHeaderFromFonts(plat::SplitLines(f->FieldStr("FontList")));
    if (header.empty()) {
        ShowWarning("Warning", "The font registry of " + app + " lists no font; its RTF header was left unchanged.");
        return false;
    }
    f->Edit();
    f->FieldByName("RtfHeader")->SetAsString(header);
    f->Post();
    SetScratchText(ctx, header);
    return true;
}

void BuildProgramRtfHeader(EditorContext& ctx) {
    const std::string header = BuildRtfHeaderFromFonts(ctx.memoScreenFonts.empty() ? ctx.ScreenFonts : ctx.memoScreenFonts);
    vl::TvlTable* p = ctx.prefsTable;
    if (!p->Active()) p->Open();
    if (!header.empty()) {
        p->First();
        if (p->IsEmpty())
            p->Append();
        else
            p->Edit();
        p->FieldByName("RtfHeader")->SetAsString(header);
        p->Post();
    }
    SetScratchText(ctx, p->FieldStr("RtfHeader"));
}

void LoadProgramRtfHeader(EditorContext& ctx) {
    vl::TvlTable* p = ctx.prefsTable;
    if (!p->Active()) p->Open();
    p->First();
    const std::string header = p->IsEmpty() ? std::string() : p->FieldStr("RtfHeader");
    SetScratchText(ctx, header);
    if (header.size() < 10) {
        ctx.ScratchStream.reset();
        BuildProgramRtfHeader(ctx);
    }
}

DisplaySettings ApplyProjectDisplaySettings(EditorContext& ctx) {
    DisplaySettings s;
    if (!ctx.StartupDone) return s;
    s.applied = true;
    vl::TvlTable* prefs = ctx.prefsTable;
    try {
        prefs->First();
        s.topicJumpColour = static_cast<long>(prefs->FieldByName("TopicColor")->AsInteger());
    } catch (const std::exception&) {
        s.topicJumpColour = 0xFF0000;
    }
    try {
        s.popupJumpColour = static_cast<long>(prefs->FieldByName("PopupColor")->AsInteger());
    } catch (const std::exception&) {
        s.popupJumpColour = 0xC0C0C0;
    }
    vl::TvlTable* m = ctx.mainTable;
    auto colour = [m](const char* field, long fallback) {
        try {
            const db::TField* f = m->FieldByName(field);
            return f->IsNull() ? fallback : static_cast<long>(f->AsInteger());
        } catch (const std::exception&) {
            return fallback;
        }
    };
    s.nonscrollColour = colour("NonscrollColor", 0xC0C0C0);
    s.scrollColour = colour("ScrollColor", 0xFFFFFF);
    if (ctx.Hooks.RefreshPageFilters) ctx.Hooks.RefreshPageFilters();
    if (ctx.Hooks.LoadContentsFilterHistory) ctx.Hooks.LoadContentsFilterHistory();
    if (ctx.Hooks.ApplyContentsFilter) ctx.Hooks.ApplyContentsFilter();
    if (ctx.Hooks.LoadExplorerView) ctx.Hooks.LoadExplorerView();
    auto font = [m](const char* prefix) {
        TitleFont f;
        const std::string p = prefix;
        f.name = m->FieldStr((p + "Font").c_str());
        f.size = static_cast<int>(m->FieldInt((p + "Size").c_str()));
        f.colour = static_cast<int>(m->FieldInt((p + "Color").c_str()));
        f.style = m->FieldStr((p + "Style").c_str());
        return f;
    };
    s.pageTitle = font("Title");
    s.popupTitle = font("Popup");
    s.pageText = font("DefaultText");
    s.pageTextStyle = TextStyleBits(s.pageText.style);
    const std::string app = ProjectName(ctx);
    if (ctx.Settings.kqIniSettings.UseFontRegistry && !app.empty()) {
        vl::TvlTable* f = ctx.tblFont;
        if (!FindFontRow(ctx, app)) {
            f->Append();
            f->FieldByName("Application")->SetAsString(app);
            f->Post();
            FindFontRow(ctx, app);
        }
        if (f->FieldStr("FontList").empty()) {
            const auto& list = m->FieldStr("Compile") == "16" ? DefaultFontList16() : DefaultFontList32();
            f->Edit();
            f->FieldByName("FontList")->SetAsString(JoinLines(list));
            f->FieldByName("RtfHeader")->SetAsString(GenericProjectRtfHeader());
            f->Post();
        }
        SetScratchText(ctx, f->FieldStr("RtfHeader"));
        s.fontList = plat::SplitLines(f->FieldStr("FontList"));
    }
    if (ctx.ShowDisplaySettings) ctx.ShowDisplaySettings(s);
    return s;
}

}  // namespace editor
