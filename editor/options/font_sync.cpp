#include "editor/options/font_sync.h"

#include "helpbuild/build_driver.h"
#include "helpbuild/tables/table_build_project.h"
#include "project/helpers.h"
#include "project/page_rules.h"
#include "editor/options/font_tables.h"
#include "data/bulk_transaction.h"
#include "data/fields.h"
#include "platform/core/dialog_service.h"
#include "platform/core/string_list.h"
#include "richtext/view/rtf_text_io.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace editor {

namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool LessNoCase(const std::string& a, const std::string& b) { return Lower(a) < Lower(b); }

bool FindFontRow(EditorContext& ctx) {
    vl::TvlTable* f = ctx.tblFont;
    if (!f->Active()) f->Open();
    return f->db::TTable::FindKey({db::TValue(ctx.mainTable->FieldStr("Application"))});
}

void ApplyDisplay(EditorContext& ctx) {
    if (ctx.ApplyProjectDisplaySettings)
        ctx.ApplyProjectDisplaySettings();
    else
        ApplyProjectDisplaySettings(ctx);
}

}  // namespace

// --- registry dialog ------------------------------------------------------------------------

void FontRegistryLists::Fill(const std::vector<std::string>& registry, const std::vector<std::string>& screenFonts) {
    used = registry;
    available.clear();
    for (const auto& f : screenFonts) {
        const bool inUse = std::any_of(used.begin(), used.end(), [&](const std::string& u) { return Lower(u) == Lower(f); });
        if (!inUse) available.push_back(f);
    }
    std::sort(used.begin(), used.end(), LessNoCase);
    std::sort(available.begin(), available.end(), LessNoCase);
    usedIndex = used.empty() ? -1 : 0;
    availableIndex = available.empty() ? -1 : 0;
}

namespace {

void MoveOne(std::vector<std::string>& from, int& fromIndex, std::vector<std::string>& to, int& toIndex) {
    if (fromIndex < 0 || fromIndex >= static_cast<int>(from.size())) return;
    const std::string name = from[static_cast<std::size_t>(fromIndex)];
    from.erase(from.begin() + fromIndex);
    auto at = std::lower_bound(to.begin(), to.end(), name, LessNoCase);
    toIndex = static_cast<int>(at - to.begin());
    to.insert(at, name);
    if (fromIndex >= static_cast<int>(from.size())) fromIndex = from.empty() ? -1 : static_cast<int>(from.size()) - 1;
}

void MoveAll(std::vector<std::string>& from, int& fromIndex, std::vector<std::string>& to, int& toIndex) {
    to.insert(to.end(), from.begin(), from.end());
    std::sort(to.begin(), to.end(), LessNoCase);
    from.clear();
    fromIndex = -1;
    toIndex = to.empty() ? -1 : 0;
}

}  // namespace

void FontRegistryLists::MoveToUsed() { MoveOne(available, availableIndex, used, usedIndex); }
void FontRegistryLists::MoveToAvailable() { MoveOne(used, usedIndex, available, availableIndex); }
void FontRegistryLists::AllToUsed() { MoveAll(available, availableIndex, used, usedIndex); }
void FontRegistryLists::AllToAvailable() { MoveAll(used, usedIndex, available, availableIndex); }

std::vector<std::string> CurrentFontRegistry(EditorContext& ctx) {
    if (!FindFontRow(ctx)) return {};
    return plat::SplitLines(ctx.tblFont->FieldStr("FontList"), plat::EmptyLines::Skip);
}

bool StoreFontRegistry(EditorContext& ctx, const std::vector<std::string>& used) {
    if (used.empty()) {
        ShowWarning("Warning", "Please choose at least one font for the project before pressing OK.");
        return false;
    }
    std::vector<std::string> sorted = used;
    std::sort(sorted.begin(), sorted.end(), LessNoCase);
    vl::TvlTable* f = ctx.tblFont;
    if (!FindFontRow(ctx)) {
        f->Append();
        f->FieldByName("Application")->SetAsString(ctx.mainTable->FieldStr("Application"));
    } else {
        f->Edit();
    }
    f->FieldByName("FontList")->SetAsString(JoinLines(sorted));
    f->Post();
    BuildFontRegistryHeader(ctx);
    ApplyDisplay(ctx);
    return true;
}

// --- synchronisation ---------------------------------------------------------------------------

void PrepareBuildRecord(EditorContext& ctx) {
    build::TableBuildProject project(ctx);
    project.useFontRegistry = ctx.Settings.kqIniSettings.UseFontRegistry;
    try {
        build::WriteProjectTopics(project);
    } catch (const std::exception&) {
        // The page keeps TitleUserModified "N": the next build prepares it and reports it.
    }
}

std::string InstalledHeader(EditorContext& ctx) {
    if (ctx.Settings.kqIniSettings.UseFontRegistry) return FindFontRow(ctx) ? ctx.tblFont->FieldStr("RtfHeader") : "";
    vl::TvlTable* p = ctx.prefsTable;
    if (!p->Active()) p->Open();
    p->First();
    return p->IsEmpty() ? std::string() : p->FieldStr("RtfHeader");
}

FontSyncResult SynchroniseFonts(EditorContext& ctx, build::IProgress& progress, const FontSyncOptions& options,
                                int* pagesRewritten) {
    if (pagesRewritten) *pagesRewritten = 0;
    if (options.ask &&
        gui::MessageDlg("This Procedure takes a looooong time! Do you wish to proceed now?", gui::mtConfirmation,
                        (1u << gui::mbYes) | (1u << gui::mbNo) | (1u << gui::mbHelp), 11206) != gui::mrYes)
        return FontSyncResult::Declined;
    const std::string header = InstalledHeader(ctx);
    RtfTables headerTables;
    if (!ParseRtfTables(header, headerTables)) {
        ShowWarning("Warning", "The fonts cannot be synchronized: the RTF header has no readable font and colour "
                               "table. Open the Project Font Registry and press OK to build it again.");
        return FontSyncResult::NoHeader;
    }
    if (ctx.detailTable->IsEditing()) ctx.detailTable->Post();
    vl::TvlTable* c = ctx.CdetailTable;
    c->vlFilter().Clear();
    c->ApplyFilter();
    const int n = std::max(1, c->RecordCount());
    int counter = 1;
    progress.ClearCancel();
    progress.SetStatus("Synchronizing fonts...");
    progress.SetPercent(0);
    progress.Show();
    progress.ProcessMessages();
    progress.SetPercent(3);
    // The pages' posts share one engine transaction: each would otherwise wait
    // on its own disk syncs. It ends on every way out, keeping what was
    // rewritten, as page-by-page posts kept it before.
    db::TBulkTransaction transaction(*c, db::TBulkTransaction::Keep);
    auto endTransaction = [&transaction] {
        if (!transaction.Commit()) ShowWarning("Warning", "The synchronized fonts could not all be saved.");
    };
    for (c->First(); !c->Eof(); c->Next()) {
        // Both fields of a page go in one post.
        bool rewritten = false;
        for (const char* field : {"FullTitle", "HelpText"}) {
            const std::string text = c->FieldStr(field);
            std::string out;
            if (!SynchroniseFieldFonts(text, header, out)) continue;
            if (!c->IsEditing()) c->Edit();
            if (out != text) c->FieldByName(field)->SetAsString(out);
            rewritten = true;
        }
        if (rewritten) {
            c->FieldByName("TitleUserModified")->SetAsString("N");
            c->Post();
            if (pagesRewritten) ++*pagesRewritten;
        }
        if (progress.CancelRequested() || ctx.CancelRequested) {
            endTransaction();
            return FontSyncResult::Cancelled;
        }
        if (c->FieldStr("TitleUserModified") != "Y") {
            progress.ProcessMessages();
            if (options.prepareRecord) options.prepareRecord();
        }
        ++counter;
        progress.SetPercent(static_cast<int>(std::lround(counter * 100.0 / n)));
    }
    endTransaction();
    ctx.detailTable->Refresh();
    gui::MessageDlg("Font Synchronization complete!", gui::mtInformation, 1u << gui::mbOK);
    return FontSyncResult::Done;
}

// --- enforcement -----------------------------------------------------------------------------------

std::string EnforceFieldFormatting(const std::string& rtf, const std::string* font, int size, int colour) {
    if (rtf.empty() || (!font && size <= 0 && colour < 0)) return rtf;
    richtext::TJDRTFTextIo text;
    text.LoadFromString(rtf);
    if (text.IsEmpty()) return rtf;
    int fontNumber = -1;
    if (font && !font->empty()) fontNumber = text.AddFontName(*font);
    bool changed = false;
    for (richtext::TParagraph* p = text.FirstParagraph(); p; p = p->next)
        for (richtext::TLine* l = p->lines; l; l = l->next)
        for (auto& a : l->attrs) {
            if (a.style & (richtext::kStyleObject)) continue;
            if (fontNumber >= 0 && a.font != fontNumber) {
                a.font = static_cast<std::uint8_t>(fontNumber);
                changed = true;
            }
            if (size > 0) {
                const auto s = static_cast<std::uint8_t>(std::min(size, 255));
                if (a.size != s) {
                    a.size = s;
                    changed = true;
                }
            }
            if (colour >= 0 && colour <= 15 && a.TextColor() != colour) {
                a.SetTextColor(static_cast<unsigned>(colour));
                changed = true;
            }
        }
    return changed ? text.SaveToString() : rtf;
}

bool EnforceFormatting(EditorContext& ctx, const EnforceChoice& choice, int* pagesChanged) {
    if (pagesChanged) *pagesChanged = 0;
    if (!choice.font && !choice.size && !choice.nonscrollColour && !choice.colour) {
        gui::MessageBox("Please check an option or select Cancel.", "Nothing Selected", 0);
        return false;
    }
    db::TDataSet* m = ctx.mainTable;
    const std::string textFont = m->FieldStr("DefaultTextFont"), titleFont = m->FieldStr("TitleFont");
    vl::TvlTable* c = ctx.CdetailTable;
    c->vlFilter().Clear();
    c->ApplyFilter();
    // One transaction for the pages, kept on every way out as page-by-page
    // posts were.
    db::TBulkTransaction transaction(*c, db::TBulkTransaction::Keep);
    for (c->First(); !c->Eof(); c->Next()) {
        if (ctx.ProcessMessages) ctx.ProcessMessages();
        const std::string body = c->FieldStr("HelpText"), title = c->FieldStr("FullTitle");
        const std::string newBody =
            EnforceFieldFormatting(body, choice.font ? &textFont : nullptr,
                                   choice.size ? static_cast<int>(m->FieldInt("DefaultTextSize")) : 0,
                                   choice.colour ? static_cast<int>(m->FieldInt("DefaultTextColor")) : -1);
        const std::string newTitle =
            EnforceFieldFormatting(title, choice.font ? &titleFont : nullptr,
                                   choice.size ? static_cast<int>(m->FieldInt("TitleSize")) : 0,
                                   choice.nonscrollColour ? static_cast<int>(m->FieldInt("TitleColor")) : -1);
        if (newBody == body && newTitle == title) continue;
        c->Edit();
        if (newBody != body) c->FieldByName("HelpText")->SetAsString(newBody);
        if (newTitle != title) c->FieldByName("FullTitle")->SetAsString(newTitle);
        c->FieldByName("TitleUserModified")->SetAsString("N");
        c->Post();
        if (pagesChanged) ++*pagesChanged;
    }
    if (!transaction.Commit()) ShowWarning("Warning", "The enforced formatting could not all be saved.");
    c->First();
    ctx.detailTable->Refresh();
    return true;
}

}  // namespace editor
