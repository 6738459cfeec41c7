#include "editor/lifecycle/inheritance.h"

#include "project/helpers.h"
#include "project/page_text.h"
#include "project/project_tables.h"
#include "platform/core/codepage.h"
#include "data/bulk_transaction.h"
#include "data/fields.h"
#include "platform/core/dialog_service.h"
#include "richtext/view/rtf_text_io.h"

#include <memory>

namespace editor {

namespace {

using db::TValue;

std::string Str(const db::TDataSet* t, const char* field) {
    const db::TField* f = t ? t->FindField(field) : nullptr;
    return f ? f->AsString() : std::string();
}

long Int(const db::TDataSet* t, const char* field) {
    const db::TField* f = t ? t->FindField(field) : nullptr;
    return f && !f->IsNull() ? static_cast<long>(f->AsInteger()) : 0;
}

void Set(db::TDataSet* t, const char* field, const std::string& v) {
    if (db::TField* f = t->FindField(field)) f->SetAsString(v);
}

void Clear(db::TDataSet* t, const char* field) {
    if (db::TField* f = t->FindField(field)) f->Clear();
}

bool Editing(const db::TDataSet* t) {
    return t->State() == db::dsEdit || t->State() == db::dsInsert || t->State() == db::dsSetKey;
}

std::string Project(const EditorContext& ctx) {
    return ctx.mainTable->Active() && !ctx.mainTable->IsEmpty() ? Str(ctx.mainTable, "Application") : "";
}

std::string Quoted(const std::string& field, const std::string& v) { return field + " = \"" + v + "\""; }
std::string Number(const std::string& field, long v) { return field + " = " + std::to_string(v); }

void SetFilter(vl::TvlTable* t, std::initializer_list<std::string> lines) {
    t->vlFilter().Clear();
    for (const std::string& l : lines) t->vlFilter().Add(l);
    t->ApplyFilter();
}

void ClearFilter(vl::TvlTable* t) {
    t->vlFilter().Clear();
    t->ApplyFilter();
}

// Posts the page being edited; false when the command must end.
bool LeaveEditMode(EditorContext& ctx) {
    vl::TvlTable* d = ctx.detailTable;
    if (!d->Active() || d->IsEmpty()) return false;
    if (Editing(d)) {
        try {
            d->Post();
        } catch (const std::exception&) {
            return false;
        }
    }
    return !Editing(d);
}

std::unique_ptr<vl::TvlTable> PageTable() {
    auto t = std::make_unique<vl::TvlTable>(nullptr);
    t->DatabaseName = kTavrinAlias;
    t->SetTableName(kItemTableFile);
    t->SetIndexName(kPrimaryIndex);
    t->Open();
    return t;
}

bool FindPage(vl::TvlTable* pages, const std::string& app, long helpId) {
    return pages->db::TTable::FindKey({TValue(app), TValue(static_cast<std::int64_t>(helpId))});
}

void ClearInheritance(db::TDataSet* page) {
    page->Edit();
    Clear(page, "InheritedApplication");
    Clear(page, "InheritedId");
    Clear(page, "InheritedStatus");
    page->Post();
}

bool IsIdChar(char c) {
    return c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

}  // namespace

void OpenInheritTable(EditorContext& ctx) {
    if (ctx.tblInh->Active()) return;
    ctx.tblInh->DatabaseName = kTavrinAlias;
    ctx.tblInh->SetTableName("TvrnInh");
    ctx.tblInh->Open();
}

InheritMenuState InheritMenuFor(const std::string& status) {
    if (status == "Master") return {false, false, true};
    if (status == "Inherited") return {false, true, false};
    return {true, false, false};
}

InheritSelectRequest MakeInheritSelectRequest(EditorContext& ctx) {
    InheritSelectRequest r;
    r.currentProject = Project(ctx);
    r.startProject = ctx.Settings.kqIniSettings.LastInheritedFrom;
    const bool topic = Str(ctx.detailTable, "TopicPopup") == "T";
    r.caption = topic ? "Select a Topic to Inherit From" : "Select a Popup to Inherit From";
    r.pageFilter = {"InheritedStatus <> \"Inherited\"", topic ? "TopicPopup = \"T\"" : "TopicPopup = \"P\""};
    return r;
}

bool InheritFromMaster(EditorContext& ctx, const InheritSelectDialog& dialog) {
    if (!LeaveEditMode(ctx)) return false;
    vl::TvlTable* d = ctx.detailTable;
    if (Str(d, "InheritedStatus") == "Inherited") {
        ShowWarning("Warning", kAlreadyInheritsText);
        return false;
    }
    if (HasPlainText(Str(d, "HelpText")) &&
        gui::MessageBox(kOverwriteQuestionText, "Overwrite current text?", gui::MB_YESNO) != gui::IDYES)
        return false;
    InheritChoice choice;
    if (!dialog || !dialog(MakeInheritSelectRequest(ctx), choice)) return false;
    auto pages = PageTable();
    if (!FindPage(pages.get(), choice.application, choice.helpId)) return false;
    const std::string body = Str(pages.get(), "HelpText");
    const std::string title = Str(pages.get(), "FullTitle");
    try {
        if (!Editing(d)) d->Edit();
        Set(d, "InheritedApplication", choice.application);
        d->FieldByName("InheritedId")->SetAsInteger(choice.helpId);
        Set(d, "InheritedStatus", "Inherited");
        Set(d, "HelpText", body);
        Clear(d, "FullTitle");
        Set(d, "FullTitle", title);
        Set(d, "TitleUserModified", "Y");
        d->Post();
    } catch (const std::exception&) {
        try {
            d->Cancel();
        } catch (const std::exception&) {
        }
        return false;
    }
    ctx.Settings.kqIniSettings.LastInheritedFrom = choice.application;
    if (Str(pages.get(), "InheritedStatus") != "Master") {
        pages->Edit();
        Set(pages.get(), "InheritedStatus", "Master");
        Clear(pages.get(), "InheritedId");
        Clear(pages.get(), "InheritedApplication");
        pages->Post();
    }
    OpenInheritTable(ctx);
    try {
        vl::TvlTable* inh = ctx.tblInh;
        inh->Append();
        Set(inh, "Application", choice.application);
        inh->FieldByName("HelpId")->SetAsInteger(choice.helpId);
        Set(inh, "InheritedApplication", Project(ctx));
        inh->FieldByName("InheritedId")->SetAsInteger(Int(d, "HelpId"));
        Set(inh, "InheritedTitle", Str(d, "Title"));
        inh->Post();
    } catch (const std::exception&) {
        try {
            ctx.tblInh->Cancel();
        } catch (const std::exception&) {
        }
    }
    for (vl::TvlTable* t : {ctx.inheritTable, ctx.CdetailTable})
        if (t->Active() && t->State() == db::dsBrowse) t->Refresh();
    return true;
}

bool BreakInheritance(EditorContext& ctx) {
    OpenInheritTable(ctx);
    if (!LeaveEditMode(ctx)) return false;
    vl::TvlTable* d = ctx.detailTable;
    vl::TvlTable* inh = ctx.tblInh;
    const std::string masterApp = Str(d, "InheritedApplication");
    const long masterId = Int(d, "InheritedId");
    try {
        SetFilter(inh, {Quoted("Application", masterApp), Number("HelpID", masterId),
                        Quoted("InheritedApplication", Str(d, "Application")), Number("InheritedId", Int(d, "HelpId"))});
        if (!inh->IsEmpty()) {
            inh->First();
            inh->Delete();
        }
    } catch (const std::exception&) {
    }
    try {
        SetFilter(inh, {Quoted("Application", masterApp), Number("HelpID", masterId)});
        if (inh->IsEmpty()) {
            auto pages = PageTable();
            if (FindPage(pages.get(), masterApp, masterId)) ClearInheritance(pages.get());
        }
    } catch (const std::exception&) {
    }
    try {
        ClearFilter(inh);
        ClearInheritance(d);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

std::vector<Inheritor> ListInheritors(const std::string& application, long helpId) {
    std::vector<Inheritor> out;
    vl::TvlTable inh(nullptr);
    inh.DatabaseName = kTavrinAlias;
    inh.SetTableName(kInhTableFile);
    inh.Open();
    SetFilter(&inh, {Quoted("Application", application), Number("HelpId", helpId)});
    for (inh.First(); !inh.Eof(); inh.Next())
        out.push_back({Str(&inh, "InheritedApplication"), Int(&inh, "InheritedId"), Str(&inh, "InheritedTitle")});
    return out;
}

void ShowInheritors(EditorContext& ctx, const WhoInheritsDialog& dialog) {
    if (!LeaveEditMode(ctx)) return;
    vl::TvlTable* d = ctx.detailTable;
    if (Str(d, "InheritedStatus") != "Master") {
        ShowWarning("Warning", kOnlyMasterText);
        return;
    }
    const std::string project = Project(ctx);
    const long helpId = Int(d, "HelpId");
    const std::vector<Inheritor> rows = ListInheritors(project, helpId);
    int selected = 0;
    if (!dialog || dialog(rows, selected) != 4) return;
    if (rows.empty()) {
        ClearInheritance(d);
        return;
    }
    if (selected < 0 || selected >= static_cast<int>(rows.size())) selected = 0;
    auto go = [&](const std::string& app, long id) {
        if (!ctx.mainTable->FindKey({TValue(app)})) return;
        for (d->First(); !d->Eof(); d->Next())
            if (Int(d, "HelpId") == id) return;
    };
    go(rows[selected].application, rows[selected].helpId);
    if (gui::MessageBox("Go back to the Master page?", "Go Back?", gui::MB_YESNO | gui::MB_ICONINFORMATION) ==
        gui::IDYES)
        go(project, helpId);
}

bool UpdateInheritedPages(EditorContext& ctx, std::function<void(const std::string&)> status) {
    OpenInheritTable(ctx);
    vl::TvlTable* d = ctx.detailTable;
    const std::string body = Str(d, "HelpText");
    const std::string title = Str(d, "FullTitle");
    vl::TvlTable* inh = ctx.tblInh;
    inh->Refresh();
    SetFilter(inh, {Quoted("Application", Str(d, "Application")), Number("HelpId", Int(d, "HelpId"))});
    if (inh->IsEmpty()) {
        ClearFilter(inh);
        return true;
    }
    if (status) status(kUpdatingInheritanceText);
    bool complete = true;
    auto pages = PageTable();
    // The pages share one transaction; each page's failure is its own.
    db::TBulkTransaction transaction(*pages, db::TBulkTransaction::Keep);
    inh->First();
    while (!inh->Eof()) {
        if (FindPage(pages.get(), Str(inh, "InheritedApplication"), Int(inh, "InheritedId"))) {
            try {
                pages->Edit();
                Set(pages.get(), "HelpText", body);
                if (title.empty())
                    Clear(pages.get(), "FullTitle");
                else
                    Set(pages.get(), "FullTitle", title);
                Set(pages.get(), "TitleUserModified", "N");
                pages->Post();
            } catch (const std::exception&) {
                try {
                    pages->Cancel();
                } catch (const std::exception&) {
                }
                complete = false;
            }
            inh->Next();
        } else {
            inh->Delete();  // the inheriting page is gone
        }
    }
    if (!transaction.Commit()) complete = false;
    ClearFilter(inh);
    if (!complete) ShowWarning("Warning", kInheritanceIncompleteText);
    if (status) status("");
    for (vl::TvlTable* t : {ctx.inheritTable, ctx.CdetailTable})
        if (t->Active() && t->State() == db::dsBrowse) t->Refresh();
    return complete;
}

bool UpdateInheritedPages(EditorContext& ctx) { return UpdateInheritedPages(ctx, {}); }

void RenumberInheritanceLinks(EditorContext& ctx) {
    vl::TvlTable* d = ctx.detailTable;
    const long newId = Int(d, "HelpId");
    const long prev = ctx.PrevHelpId;
    if (newId == prev) return;
    const std::string app = Str(d, "Application");
    try {
        OpenInheritTable(ctx);
        vl::TvlTable* inh = ctx.tblInh;
        // Links in which the page inherits.
        SetFilter(inh, {Quoted("InheritedApplication", app), Number("InheritedID", prev)});
        while (!inh->IsEmpty()) {
            inh->First();
            inh->Edit();
            inh->FieldByName("InheritedId")->SetAsInteger(newId);
            inh->Post();
        }
        // Links in which it is the master: the rows and the inheriting pages
        // must name the new id, or the master's text would reach no one.
        SetFilter(inh, {Quoted("Application", app), Number("HelpId", prev)});
        auto pages = PageTable();
        while (!inh->IsEmpty()) {
            inh->First();
            if (FindPage(pages.get(), Str(inh, "InheritedApplication"), Int(inh, "InheritedId"))) {
                pages->Edit();
                pages->FieldByName("InheritedId")->SetAsInteger(newId);
                pages->Post();
            }
            inh->Edit();
            inh->FieldByName("HelpId")->SetAsInteger(newId);
            inh->Post();
        }
        ClearFilter(inh);
    } catch (const std::exception&) {
        try {
            ClearFilter(ctx.tblInh);
        } catch (const std::exception&) {
        }
    }
}

std::string RewriteJumpTargets(const std::string& rtf, const std::string& from, const std::string& to, int& count) {
    count = 0;
    if (rtf.empty() || from.empty()) return rtf;
    richtext::TJDRTFTextIo io;
    io.LoadFromString(rtf);
    if (!io.RichText()) return rtf;
    for (richtext::TParagraph* p = io.FirstParagraph(); p; p = p->next)
        for (richtext::TLine* l = p->lines; l; l = l->next) {
            int i = 0;
            while (i < l->Length()) {
                const bool hidden = !l->attrs.empty() && (l->attrs[i].style & kStyleHidden);
                if (!hidden) {
                    ++i;
                    continue;
                }
                int e = i;
                while (e < l->Length() && (l->attrs[e].style & kStyleHidden)) ++e;
                const std::string run = l->text.substr(i, e - i);
                const std::size_t n = from.size();
                const bool whole = run.size() >= n && plat::CompareAnsi(run.substr(0, n), from, true) == 0 &&
                                   (run.size() == n || !IsIdChar(run[n]));
                if (whole) {
                    const richtext::TJDCharAttr look = l->attrs[i];
                    io.ReplaceInLine(l, i, static_cast<int>(n), to, &look);
                    ++count;
                    e = e - static_cast<int>(n) + static_cast<int>(to.size());
                }
                i = e;
            }
        }
    if (count == 0) return rtf;
    return io.SaveToString();
}

int UpdateJumpIntegrity(EditorContext& ctx, long newHelpId, std::string* status) {
    vl::TvlTable* d = ctx.detailTable;
    const std::string app = Project(ctx);
    const long prev = ctx.PrevHelpId;
    const std::string prevName = ctx.PrevContextString;
    const std::string newName = Str(d, "ContextString");
    const bool idChanged = newHelpId != prev;
    // A first context string has no targets to rewrite.
    const bool nameChanged = !prevName.empty() && plat::CompareAnsi(newName, prevName, false) != 0;
    if (!idChanged && !nameChanged) return 0;
    // A cleared context string leaves its jumps on the page's help id.
    const std::string nameTarget = newName.empty() ? std::to_string(newHelpId) : newName;
    vl::TvlTable* refs = ctx.refIntegTable;
    if (!refs->Active()) refs->Open();
    SetFilter(refs, {Quoted("Application", app), Number("HelpId", prev)});
    std::vector<long> referring;
    for (refs->First(); !refs->Eof(); refs->Next()) referring.push_back(Int(refs, "ReferencedBy"));
    auto pages = PageTable();
    auto other = std::make_unique<vl::TvlTable>(nullptr);  // finds a row the moved one would meet
    other->DatabaseName = kTavrinAlias;
    other->SetTableName(kRefiTableFile);
    other->SetIndexName(kPrimaryIndex);
    other->Open();
    // The referring pages and the reference rows share one transaction.
    db::TBulkTransaction transaction(*pages, db::TBulkTransaction::Keep);
    int counter = 0;
    for (long by : referring) {
        refs->First();
        while (!refs->Eof() && Int(refs, "ReferencedBy") != by) refs->Next();
        if (refs->Eof()) continue;
        if (!FindPage(pages.get(), app, by)) {
            refs->Delete();
            continue;
        }
        std::string body = Str(pages.get(), "HelpText");
        std::string title = Str(pages.get(), "FullTitle");
        int n = 0;
        auto pass = [&](const std::string& from, const std::string& to) {
            int a = 0, b = 0;
            body = RewriteJumpTargets(body, from, to, a);
            title = RewriteJumpTargets(title, from, to, b);
            n += a + b;
        };
        if (idChanged) pass(std::to_string(prev), std::to_string(newHelpId));
        if (nameChanged) pass(prevName, nameTarget);
        try {
            pages->Edit();
            Set(pages.get(), "HelpText", body);
            Set(pages.get(), "FullTitle", title);
            Set(pages.get(), "TitleUserModified", "N");
            pages->Post();
            counter += n;
        } catch (const std::exception&) {
            try {
                pages->Cancel();
            } catch (const std::exception&) {
            }
        }
        if (idChanged) {
            // The pair may be recorded already under the new id.
            if (other->db::TTable::FindKey({TValue(app), TValue(static_cast<std::int64_t>(newHelpId)),
                                            TValue(static_cast<std::int64_t>(by))})) {
                refs->Delete();
            } else {
                refs->Edit();
                refs->FieldByName("HelpId")->SetAsInteger(newHelpId);
                refs->Post();
            }
        }
    }
    // The jumps this page makes follow its new id too.
    if (idChanged) {
        SetFilter(refs, {Quoted("Application", app), Number("ReferencedBy", prev)});
        while (!refs->IsEmpty()) {
            refs->First();
            const long target = Int(refs, "HelpId");
            if (other->db::TTable::FindKey({TValue(app), TValue(static_cast<std::int64_t>(target)),
                                            TValue(static_cast<std::int64_t>(newHelpId))})) {
                refs->Delete();
            } else {
                refs->Edit();
                refs->FieldByName("ReferencedBy")->SetAsInteger(newHelpId);
                refs->Post();
            }
        }
    }
    if (!transaction.Commit()) {
        ShowWarning("Warning", "The pages that jump to this page could not all be saved.");
        counter = 0;
    }
    ClearFilter(refs);
    if (ctx.CdetailTable->Active() && ctx.CdetailTable->State() == db::dsBrowse) ctx.CdetailTable->Refresh();
    if (counter > 0 && status)
        *status = "Jump Integrity updated " + std::to_string(counter) + " references for helpId " + std::to_string(prev);
    return counter;
}

void InstallLifecycleFollowers(EditorContext& ctx, std::function<void(const std::string&)> status) {
    EditorContext* c = &ctx;
    ctx.Hooks.RebuildJumpReferences = [c, status](long, const std::string&) {
        std::string text;
        UpdateJumpIntegrity(*c, Int(c->detailTable, "HelpId"), &text);
        if (status && !text.empty()) status(text);
    };
    ctx.Hooks.ReachInheritedCopies = [c](long, const std::string&) { RenumberInheritanceLinks(*c); };
    ctx.Hooks.PassMasterText = [c, status] { UpdateInheritedPages(*c, status); };
}

}  // namespace editor
