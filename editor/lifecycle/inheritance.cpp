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

std::string Project(const EditorContext& ctx) {
    return ctx.mainTable->Active() && !ctx.mainTable->IsEmpty() ? ctx.mainTable->FieldStr("Application") : "";
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
    if (d->IsEditing()) {
        try {
            d->Post();
        } catch (const std::exception&) {
            return false;
        }
    }
    return !d->IsEditing();
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
    page->ClearField("InheritedApplication");
    page->ClearField("InheritedId");
    page->ClearField("InheritedStatus");
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
    const bool topic = ctx.detailTable->FieldStr("TopicPopup") == "T";
    r.caption = topic ? "Select a Topic to Inherit From" : "Select a Popup to Inherit From";
    r.pageFilter = {"InheritedStatus <> \"Inherited\"", topic ? "TopicPopup = \"T\"" : "TopicPopup = \"P\""};
    return r;
}

bool InheritFromMaster(EditorContext& ctx, const InheritSelectDialog& dialog) {
    if (!LeaveEditMode(ctx)) return false;
    vl::TvlTable* d = ctx.detailTable;
    if (d->FieldStr("InheritedStatus") == "Inherited") {
        ShowWarning("Warning", kAlreadyInheritsText);
        return false;
    }
    if (HasPlainText(d->FieldStr("HelpText")) &&
        gui::MessageBox(kOverwriteQuestionText, "Overwrite current text?", gui::MB_YESNO) != gui::IDYES)
        return false;
    InheritChoice choice;
    if (!dialog || !dialog(MakeInheritSelectRequest(ctx), choice)) return false;
    auto pages = PageTable();
    if (!FindPage(pages.get(), choice.application, choice.helpId)) return false;
    const std::string body = pages->FieldStr("HelpText");
    const std::string title = pages->FieldStr("FullTitle");
    try {
        if (!d->IsEditing()) d->Edit();
        d->SetFieldStr("InheritedApplication", choice.application);
        d->FieldByName("InheritedId")->SetAsInteger(choice.helpId);
        d->SetFieldStr("InheritedStatus", "Inherited");
        d->SetFieldStr("HelpText", body);
        d->ClearField("FullTitle");
        d->SetFieldStr("FullTitle", title);
        d->SetFieldStr("TitleUserModified", "Y");
        d->Post();
    } catch (const std::exception&) {
        try {
            d->Cancel();
        } catch (const std::exception&) {
        }
        return false;
    }
    ctx.Settings.kqIniSettings.LastInheritedFrom = choice.application;
    if (pages->FieldStr("InheritedStatus") != "Master") {
        pages->Edit();
        pages->SetFieldStr("InheritedStatus", "Master");
        pages->ClearField("InheritedId");
        pages->ClearField("InheritedApplication");
        pages->Post();
    }
    OpenInheritTable(ctx);
    try {
        vl::TvlTable* inh = ctx.tblInh;
        inh->Append();
        inh->SetFieldStr("Application", choice.application);
        inh->FieldByName("HelpId")->SetAsInteger(choice.helpId);
        inh->SetFieldStr("InheritedApplication", Project(ctx));
        inh->FieldByName("InheritedId")->SetAsInteger(d->FieldInt("HelpId"));
        inh->SetFieldStr("InheritedTitle", d->FieldStr("Title"));
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
    const std::string masterApp = d->FieldStr("InheritedApplication");
    const long masterId = d->FieldInt("InheritedId");
    try {
        SetFilter(inh, {Quoted("Application", masterApp), Number("HelpID", masterId),
                        Quoted("InheritedApplication", d->FieldStr("Application")), Number("InheritedId", d->FieldInt("HelpId"))});
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
        out.push_back({inh.FieldStr("InheritedApplication"), inh.FieldInt("InheritedId"), inh.FieldStr("InheritedTitle")});
    return out;
}

void ShowInheritors(EditorContext& ctx, const WhoInheritsDialog& dialog) {
    if (!LeaveEditMode(ctx)) return;
    vl::TvlTable* d = ctx.detailTable;
    if (d->FieldStr("InheritedStatus") != "Master") {
        ShowWarning("Warning", kOnlyMasterText);
        return;
    }
    const std::string project = Project(ctx);
    const long helpId = d->FieldInt("HelpId");
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
            if (d->FieldInt("HelpId") == id) return;
    };
    go(rows[selected].application, rows[selected].helpId);
    if (gui::MessageBox("Go back to the Master page?", "Go Back?", gui::MB_YESNO | gui::MB_ICONINFORMATION) ==
        gui::IDYES)
        go(project, helpId);
}

bool UpdateInheritedPages(EditorContext& ctx, std::function<void(const std::string&)> status) {
    OpenInheritTable(ctx);
    vl::TvlTable* d = ctx.detailTable;
    const std::string body = d->FieldStr("HelpText");
    const std::string title = d->FieldStr("FullTitle");
    vl::TvlTable* inh = ctx.tblInh;
    inh->Refresh();
    SetFilter(inh, {Quoted("Application", d->FieldStr("Application")), Number("HelpId", d->FieldInt("HelpId"))});
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
        if (FindPage(pages.get(), inh->FieldStr("InheritedApplication"), inh->FieldInt("InheritedId"))) {
            try {
                pages->Edit();
                pages->SetFieldStr("HelpText", body);
                if (title.empty())
                    pages->ClearField("FullTitle");
                else
                    pages->SetFieldStr("FullTitle", title);
                pages->SetFieldStr("TitleUserModified", "N");
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
    const long newId = d->FieldInt("HelpId");
    const long prev = ctx.PrevHelpId;
    if (newId == prev) return;
    const std::string app = d->FieldStr("Application");
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
            if (FindPage(pages.get(), inh->FieldStr("InheritedApplication"), inh->FieldInt("InheritedId"))) {
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
    const std::string newName = d->FieldStr("ContextString");
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
    for (refs->First(); !refs->Eof(); refs->Next()) referring.push_back(refs->FieldInt("ReferencedBy"));
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
        while (!refs->Eof() && refs->FieldInt("ReferencedBy") != by) refs->Next();
        if (refs->Eof()) continue;
        if (!FindPage(pages.get(), app, by)) {
            refs->Delete();
            continue;
        }
        std::string body = pages->FieldStr("HelpText");
        std::string title = pages->FieldStr("FullTitle");
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
            pages->SetFieldStr("HelpText", body);
            pages->SetFieldStr("FullTitle", title);
            pages->SetFieldStr("TitleUserModified", "N");
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
            const long target = refs->FieldInt("HelpId");
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
        UpdateJumpIntegrity(*c, c->detailTable->FieldInt("HelpId"), &text);
        if (status && !text.empty()) status(text);
    };
    ctx.Hooks.ReachInheritedCopies = [c](long, const std::string&) { RenumberInheritanceLinks(*c); };
    ctx.Hooks.PassMasterText = [c, status] { UpdateInheritedPages(*c, status); };
}

}  // namespace editor
