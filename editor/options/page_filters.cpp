#include "editor/options/page_filters.h"

#include "controls/dates/tool_edit.h"
#include "project/helpers.h"
#include "data/fields.h"
#include "platform/core/dialog_service.h"
#include "platform/core/string_list.h"

#include <algorithm>
#include <cctype>

namespace editor {

namespace {

bool SameNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

std::string Trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    const auto e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

struct LineForm {
    const char* prefix;  // up to and including the value's opening quote, if any
    bool quoted;
};
const LineForm kForms[kFilterLineCount] = {
    {"HelpID >= ", false},         {"HelpID <= ", false},        {"TopicPopup = ", false},
    {"Title = \"", true},          {"Keys = \"", true},          {"BrowseName = \"", true},
    {"BrowseID >= ", false},       {"BrowseID <= ", false},      {"ModifiedDate >= \"", true},
    {"ModifiedDate <= \"", true},  {"ModifiedTime >= \"", true}, {"ModifiedTime <= \"", true},
    {"Version = \"", true},        {"CompileFor = \"", true},    {"Revised = \"", true},
    {"UserFlag = \"", true},       {"UserField = \"", true}};

void FilterErrorBox() {
    gui::MessageBox("There was a problem setting this filter. Please re-check your criteria. If you want to see "
                    "examples of what filters can be applied, press F1 when you've closed this message box.",
                    "Filter Error", 0x40 /* MB_ICONINFORMATION */);
}

void StoreLines(EditorContext& ctx, const std::vector<std::string>& lines) {
    try {
        db::TDataSet* m = ctx.mainTable;
        // The lines are the project's: with no project row an edit would
        // insert a blank one.
        if (!m->IsEditing() && (!m->Active() || m->IsEmpty())) return;
        if (!m->IsEditing()) m->Edit();
        m->FieldByName("DetailFilter")->SetAsString(JoinLines(lines));
        m->Post();
    } catch (const std::exception&) {
        // The filter is in force; only its memory failed.
        try {
            ctx.mainTable->Cancel();
        } catch (const std::exception&) {
        }
    }
}

}  // namespace

std::vector<std::string> BuildFilterLines(const FilterValues& values) {
    std::vector<std::string> lines;
    for (int i = 0; i < kFilterLineCount; ++i) {
        std::string v = values[static_cast<std::size_t>(i)];
        if ((i == flModifiedDateFrom || i == flModifiedDateTo) && zb::DateTextIsEmpty(v)) v.clear();
        if (v.empty())
            lines.push_back(i == flHelpIdFrom ? "HelpID >= 0" : " ");
        else
            lines.push_back(std::string(kForms[i].prefix) + v + (kForms[i].quoted ? "\"" : ""));
    }
    return lines;
}

FilterValues ReadFilterLines(const std::vector<std::string>& lines) {
    FilterValues v;
    for (int i = 0; i < kFilterLineCount && i < static_cast<int>(lines.size()); ++i) {
        const std::string& line = lines[static_cast<std::size_t>(i)];
        std::string& out = v[static_cast<std::size_t>(i)];
        switch (i) {
        case flHelpIdFrom:
        case flHelpIdTo:
        case flBrowseIdFrom:
        case flBrowseIdTo: {
            const char* op = (i == flHelpIdFrom || i == flBrowseIdFrom) ? ">=" : "<=";
            const auto at = line.find(op);
            if (at != std::string::npos && at + 3 <= line.size()) out = line.substr(at + 3);
            if (i == flHelpIdFrom && out == "0") out.clear();
            break;
        }
        case flTopicPopup:
            // The stored line keeps its blank; the control shows the letter.
            if (line.find("TopicPopup =") != std::string::npos && line.size() > 12) out = Trim(line.substr(12));
            break;
        default: {
            const auto at = line.find(kForms[i].prefix);
            if (at != std::string::npos) {
                const std::size_t from = at + std::char_traits<char>::length(kForms[i].prefix);
                if (line.size() > from) out = line.substr(from, line.size() - 1 - from);
            }
            break;
        }
        }
    }
    return v;
}

int QuotedFilterValue(const FilterValues& values) {
    for (int i = 0; i < kFilterLineCount; ++i)
        if (values[static_cast<std::size_t>(i)].find('"') != std::string::npos) return i;
    return -1;
}

std::vector<std::string> StoredFilterLines(EditorContext& ctx) { return plat::SplitLines(ctx.mainTable->FieldStr("DetailFilter")); }

void FilterTheFilterView(EditorContext& ctx) {
    vl::TvlTable* view = ctx.tblFilter;
    if (view == nullptr) return;
    // The Filter View shows the filtered pages: its table takes the page
    // table's lines. A text the language rejects was reported for the page
    // table already; the view then shows every page, as the page table does.
    view->vlFilter().Assign(ctx.detailTable->vlFilter());
    try {
        view->ApplyFilter();
    } catch (const std::exception&) {
    }
}

bool ApplyPageFilter(EditorContext& ctx, const FilterValues& values) {
    if (QuotedFilterValue(values) >= 0) {
        ShowWarning("Warning", "A filter value cannot contain a double quote (\"). Please remove it and apply again.");
        return false;
    }
    const std::vector<std::string> lines = BuildFilterLines(values);
    vl::TvlTable* d = ctx.detailTable;
    d->vlFilter().Clear();
    for (const auto& l : lines) d->vlFilter().Add(l);
    // A text the filter language rejects (the library may raise a conversion
    // error for it) is reported and still stored, like any failed filter.
    bool ok = false;
    try {
        ok = d->ApplyFilter();
    } catch (const std::exception&) {
        ok = false;
    }
    if (!ok) FilterErrorBox();
    FilterTheFilterView(ctx);
    StoreLines(ctx, lines);
    return ok;
}

bool RestoreDetailFilter(EditorContext& ctx) {
    vl::TvlTable* d = ctx.detailTable;
    // Re-applying the same filter (a tab change does) keeps the page the
    // user is on when it still passes.
    const bool hadRow = d->Active() && !d->IsEmpty();
    const db::TBookmark here = hadRow ? d->GetBookmark() : db::TBookmark();
    d->vlFilter().Clear();
    for (const auto& l : StoredFilterLines(ctx)) d->vlFilter().Add(l);
    bool ok = false;
    try {
        ok = d->ApplyFilter();
    } catch (const std::exception&) {
        ok = false;
    }
    if (!ok) FilterErrorBox();
    FilterTheFilterView(ctx);
    if (ok && hadRow) {
        try {
            if (d->BookmarkValid(here)) d->GotoBookmark(here);
        } catch (const std::exception&) {
            // The page no longer passes: the filter's first page shows.
        }
    }
    return ok;
}

void ClearPageFilters(EditorContext& ctx) { ApplyPageFilter(ctx, FilterValues{}); }

MiniFilterSpec MiniFilterSpecOf(FilterCriterion c) {
    switch (c) {
    case FilterCriterion::HelpID: return {"Filter on HelpID", "HelpID", "HelpID", {flHelpIdFrom, flHelpIdTo}};
    case FilterCriterion::TopicPopup: return {"Filter on Topic/Popup", "Topic/Popup", "TopicPopup", {flTopicPopup}};
    case FilterCriterion::Title: return {"Filter on Title", "Title", "Title", {flTitle}};
    case FilterCriterion::Keys: return {"Filter on Search Keys", "Search Keys", "Keys", {flKeys}};
    case FilterCriterion::BrowseName: return {"Filter on Browse Name", "Browse Name", "BrowseName", {flBrowseName}};
    case FilterCriterion::BrowseID: return {"Filter on BrowseID", "BrowseID", "BrowseID", {flBrowseIdFrom, flBrowseIdTo}};
    case FilterCriterion::ModifiedDate:
        return {"Filter on Modified Date", "Modified Date", "ModifiedDate", {flModifiedDateFrom, flModifiedDateTo}};
    case FilterCriterion::ModifiedTime:
        return {"Filter on Modified Time", "Modified Time", "Time", {flModifiedTimeFrom, flModifiedTimeTo}};
    case FilterCriterion::Version: return {"Filter on Version", "Version", "Version", {flVersion}};
    case FilterCriterion::CompileFor: return {"Filter on Compile For", "Compile For", "CompileFor", {flCompileFor}};
    case FilterCriterion::Revised: return {"Filter on Revised", "Revised", "Revised", {flRevised}};
    case FilterCriterion::UserFlag: return {"Filter on Flag", "Flag", "Flag", {flUserFlag}};
    case FilterCriterion::UserField: return {"Filter on User Field", "User Field", "UserField", {flUserField}};
    case FilterCriterion::None: break;
    }
    return {};
}

FilterCriterion CriterionOfField(const std::string& fieldName, bool splitViewGrid) {
    static const char* const names[] = {"HelpID",       "TopicPopup",   "Title",   "Keys",       "BrowseName",
                                        "BrowseID",     "ModifiedDate", "ModifiedTime", "Version", "CompileFor",
                                        "Revised",      "UserFlag",     "UserField"};
    const int count = splitViewGrid ? 3 : 13;
    for (int i = 0; i < count; ++i)
        if (SameNoCase(fieldName, names[i])) return static_cast<FilterCriterion>(i);
    return FilterCriterion::None;
}

bool ApplyColumnFilter(EditorContext& ctx, FilterCriterion c, const std::vector<std::string>& values) {
    const MiniFilterSpec spec = MiniFilterSpecOf(c);
    if (spec.lines.empty()) return false;
    FilterValues v = ReadFilterLines(StoredFilterLines(ctx));
    for (std::size_t i = 0; i < spec.lines.size() && i < values.size(); ++i)
        v[static_cast<std::size_t>(spec.lines[i])] = values[i];
    return ApplyPageFilter(ctx, v);
}

MiniPlacement PlaceMiniFilter(int screenWidth, int screenHeight, int dialogWidth, int dialogHeight, int x, int y) {
    MiniPlacement p;
    p.top = screenHeight < dialogHeight + y ? y - (dialogHeight + 10) : y + 10;
    p.left = screenWidth < dialogWidth / 2 + x ? screenWidth - dialogWidth : x - dialogWidth / 2;
    if (p.left < 0) p.left = 0;
    return p;
}

bool AddToFilterHistory(std::vector<std::string>& history, const std::string& word) {
    if (word.empty() || std::find(history.begin(), history.end(), word) != history.end()) return false;
    history.insert(history.begin(), word);
    if (history.size() > 10) history.resize(10);
    return true;
}

std::vector<std::string> ContentsFilterHistory(EditorContext& ctx) { return plat::SplitLines(ctx.mainTable->FieldStr("PmFilter")); }

void SaveContentsFilterWord(EditorContext& ctx, const std::string& word) {
    std::vector<std::string> history = ContentsFilterHistory(ctx);
    if (!AddToFilterHistory(history, word)) return;
    db::TDataSet* m = ctx.mainTable;
    if (!m->IsEditing()) m->Edit();
    m->FieldByName("PmFilter")->SetAsString(JoinLines(history));
    m->Post();
}

bool ApplyContentsFilter(EditorContext& ctx) {
    vl::TvlTable* c = ctx.cntTable;
    if (c->IsEditing()) {
        try {
            c->Post();
        } catch (const std::exception&) {
        }
    }
    c->vlFilter().Clear();
    const std::string word = ctx.mainTable->FieldStr("ContentsFilter");
    if (!word.empty() && word.find('"') == std::string::npos) c->vlFilter().Add("Filter = \"" + word + "\"");
    return c->ApplyFilter();
}

void InstallFilterFollowers(EditorContext& ctx) {
    ctx.Hooks.RefreshPageFilters = [&ctx] { RestoreDetailFilter(ctx); };
    ctx.Hooks.ApplyContentsFilter = [&ctx] { ApplyContentsFilter(ctx); };
}

}  // namespace editor
