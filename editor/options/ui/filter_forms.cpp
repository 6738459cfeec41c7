#include "editor/options/ui/filter_forms.h"

#include "editor/options/ui/ui_util.h"
#include "platform/core/paths.h"

namespace editor {

using namespace gui;
using optionsui::MakeControl;

std::array<TCustomEdit*, kFilterLineCount> FilterControls::All() const {
    return {fHelpID,       fHelpIDTo,     fTopicPopup,      fTitle,    fKeys,       fBrowseName,
            fBrowseID,     fBrowseIDTo,   fModifiedDate,    fModifiedDateTo, fModifiedTime, fModifiedTimeTo,
            fVersion,      fCompileFor,   fRevised,         fFlag,     fUserField};
}

FilterValues FilterControls::Values() const {
    FilterValues v;
    const auto all = All();
    for (int i = 0; i < kFilterLineCount; ++i)
        if (all[static_cast<std::size_t>(i)]) v[static_cast<std::size_t>(i)] = all[static_cast<std::size_t>(i)]->Text();
    return v;
}

void FilterControls::SetValues(const FilterValues& v) {
    const auto all = All();
    for (int i = 0; i < kFilterLineCount; ++i) {
        TCustomEdit* e = all[static_cast<std::size_t>(i)];
        const std::string& value = v[static_cast<std::size_t>(i)];
        if (!e) continue;
        // A pick list shows a value only by choosing its item.
        if (auto* box = dynamic_cast<TComboBox*>(e); box && box->Style() == csDropDownList)
            box->SetItemIndex(box->Items().IndexOf(value));
        else
            e->SetText(value);
    }
}

namespace {

void Label(TWinControl* parent, TComponent* owner, const char* name, const char* caption, int x, int y, int w = 90) {
    MakeControl<TLabel>(parent, owner, name, x, y + 3, w, 15)->SetCaption(caption);
}

TComboBox* Choice(TWinControl* parent, TComponent* owner, const char* name, std::initializer_list<const char*> items,
                  int x, int y, int w) {
    auto* box = MakeControl<TComboBox>(parent, owner, name, x, y, w, 22);
    for (const char* i : items) box->Items().Add(i);
    box->SetStyle(csDropDownList);
    return box;
}

// The criteria controls laid out on one parent (the full dialog).
void LayOutAll(FilterControls& c, TWinControl* p, TComponent* o) {
    int y = 10;
    const int row = 28;
    Label(p, o, "lblHelpID", "HelpID:", 12, y);
    Label(p, o, "lblHelpIDFrom", ">=", 104, y, 18);
    c.fHelpID = MakeControl<TEdit>(p, o, "fHelpID", 124, y, 80, 22);
    Label(p, o, "lblHelpIDTo", "<=", 214, y, 18);
    c.fHelpIDTo = MakeControl<TEdit>(p, o, "fHelpIDTo", 234, y, 80, 22);
    y += row;
    Label(p, o, "lblTopicPopup", "Topic/Popup:", 12, y);
    c.fTopicPopup = Choice(p, o, "fTopicPopup", {"", "T", "P"}, 124, y, 60);
    y += row;
    Label(p, o, "lblTitle", "Title:", 12, y);
    c.fTitle = MakeControl<TEdit>(p, o, "fTitle", 124, y, 300, 22);
    y += row;
    Label(p, o, "lblKeys", "Search Keys:", 12, y);
    c.fKeys = MakeControl<TEdit>(p, o, "fKeys", 124, y, 300, 22);
    y += row;
    Label(p, o, "lblBrowseName", "Browse name:", 12, y);
    c.fBrowseName = MakeControl<TEdit>(p, o, "fBrowseName", 124, y, 190, 22);
    y += row;
    Label(p, o, "lblBrowseID", "Browse ID:", 12, y);
    Label(p, o, "lblBrowseFrom", ">=", 104, y, 18);
    c.fBrowseID = MakeControl<TEdit>(p, o, "fBrowseID", 124, y, 80, 22);
    Label(p, o, "lblBrowseTo", "<=", 214, y, 18);
    c.fBrowseIDTo = MakeControl<TEdit>(p, o, "fBrowseIDTo", 234, y, 80, 22);
    y += row;
    Label(p, o, "lblModifiedDate", "Modified date:", 12, y);
    Label(p, o, "lblDateFrom", ">=", 104, y, 18);
    c.fModifiedDate = MakeControl<zb::TDateEdit>(p, o, "fModifiedDate", 124, y, 100, 22);
    Label(p, o, "lblDateTo", "<=", 234, y, 18);
    c.fModifiedDateTo = MakeControl<zb::TDateEdit>(p, o, "fModifiedDateTo", 254, y, 100, 22);
    y += row;
    Label(p, o, "lblTime", "Time:", 12, y);
    Label(p, o, "lblTimeFrom", ">=", 104, y, 18);
    c.fModifiedTime = MakeControl<TEdit>(p, o, "fModifiedTime", 124, y, 80, 22);
    Label(p, o, "lblTimeTo", "<=", 214, y, 18);
    c.fModifiedTimeTo = MakeControl<TEdit>(p, o, "fModifiedTimeTo", 234, y, 80, 22);
    y += row;
    Label(p, o, "lblVersion", "Version:", 12, y);
    c.fVersion = MakeControl<TEdit>(p, o, "fVersion", 124, y, 80, 22);
    Label(p, o, "lblCompileFor", "Compile For:", 214, y);
    c.fCompileFor = Choice(p, o, "fCompileFor", {"", "16", "32", "HH"}, 304, y, 60);
    y += row;
    Label(p, o, "lblRevised", "Revised:", 12, y);
    c.fRevised = Choice(p, o, "fRevised", {"", "Y", "N"}, 124, y, 60);
    Label(p, o, "lblFlag", "Flag:", 214, y);
    c.fFlag = MakeControl<TEdit>(p, o, "fFlag", 304, y, 60, 22);
    y += row;
    Label(p, o, "lblUserField", "User Field:", 12, y);
    c.fUserField = MakeControl<TEdit>(p, o, "fUserField", 124, y, 300, 22);
}

TButton* Btn(TWinControl* p, TComponent* o, const char* name, const char* caption, int x, int y) {
    auto* b = MakeControl<TButton>(p, o, name, x, y, 92, 25);
    b->SetCaption(caption);
    return b;
}

}  // namespace

TfrmFilter::TfrmFilter(TComponent* owner, EditorContext& ctx) : TForm(owner), ctx_(ctx) {
    SetName("frmFilter");
    SetCaption("Filter");
    SetClientSize(440, 384);
    Position = poScreenCenter;
    LayOutAll(c, this, this);
    Button1 = Btn(this, this, "Button1", "&Apply", 12, 348);
    Button5 = Btn(this, this, "Button5", "A&pply and Close", 96 + 12, 348);
    Button5->SetWidth(112);
    Button4 = Btn(this, this, "Button4", "&Reset All", 226, 348);
    Button2 = Btn(this, this, "Button2", "&Cancel", 226 + 98, 348);
    Button2->SetWidth(50);
    Button2->Cancel = true;
    Button2->ModalResult = mrCancel;
    Button3 = Btn(this, this, "Button3", "&Help", 380, 348);
    Button3->SetWidth(50);
    Button1->OnClick = [this](TObject* s) { Button1Click(s); };
    Button5->OnClick = [this](TObject* s) { Button5Click(s); };
    Button4->OnClick = [this](TObject*) { resetAll(); };
    Button3->OnClick = [this](TObject*) {
        ctx_.HelpFile = plat::JoinPath(ctx_.ProgramDir, "Tavrin.hlp");
        ctx_.ShowHelp(kHelpContext, 15200);
    };
    OnShow = [this](TObject* s) { FormShow(s); };
    SetBorderStyle(bsDialog);
}

void TfrmFilter::resetAll() { c.SetValues(FilterValues{}); }

void TfrmFilter::FormShow(TObject*) {
    resetAll();
    c.SetValues(ReadFilterLines(StoredFilterLines(ctx_)));
}

bool TfrmFilter::Apply() { return ApplyPageFilter(ctx_, c.Values()); }
void TfrmFilter::Button1Click(TObject*) { Apply(); }

void TfrmFilter::Button5Click(TObject* s) {
    Button1Click(s);
    SetModalResult(mrOk);
}

void PrepareFieldFilter(TfrmFilter& dialog) { dialog.FormShow(nullptr); }
bool ApplyFieldFilter(TfrmFilter& dialog) { return dialog.Apply(); }

// --- the small dialog ---------------------------------------------------------------------------

TfrmMiniFilter::TfrmMiniFilter(TComponent* owner) : TForm(owner) {
    SetName("frmMiniFilter");
    SetCaption("Filter");
    SetClientSize(270, 120);
    pnl = MakeControl<TGroupBox>(this, this, "pnl", 8, 4, 254, 74);
    nb = MakeControl<TNotebook>(pnl, this, "nb", 6, 16, 242, 52);
    nb->Pages().SetString(0, "HelpID");  // the notebook starts with one page
    for (const char* page : {"TopicPopup", "Title", "Keys", "BrowseName", "BrowseID", "ModifiedDate", "Time", "Version",
                             "CompileFor", "Revised", "Flag", "UserField"})
        nb->Pages().Add(page);
    auto page = [this](int i) { return nb->Page(i); };
    auto range = [this](TWinControl* p, const char* a, const char* b, TEdit*& from, TEdit*& to) {
        MakeControl<TLabel>(p, this, (std::string(a) + "Lbl").c_str(), 0, 6, 16, 15)->SetCaption(">=");
        from = MakeControl<TEdit>(p, this, a, 18, 2, 96, 22);
        MakeControl<TLabel>(p, this, (std::string(b) + "Lbl").c_str(), 122, 6, 16, 15)->SetCaption("<=");
        to = MakeControl<TEdit>(p, this, b, 140, 2, 96, 22);
    };
    range(page(0), "fHelpID", "fHelpIDTo", c.fHelpID, c.fHelpIDTo);
    c.fTopicPopup = MakeControl<TComboBox>(page(1), this, "fTopicPopup", 0, 2, 60, 22);
    for (const char* i : {"", "T", "P"}) c.fTopicPopup->Items().Add(i);
    c.fTitle = MakeControl<TEdit>(page(2), this, "fTitle", 0, 2, 236, 22);
    c.fKeys = MakeControl<TEdit>(page(3), this, "fKeys", 0, 2, 236, 22);
    c.fBrowseName = MakeControl<TEdit>(page(4), this, "fBrowseName", 0, 2, 236, 22);
    range(page(5), "fBrowseID", "fBrowseIDTo", c.fBrowseID, c.fBrowseIDTo);
    c.fModifiedDate = MakeControl<zb::TDateEdit>(page(6), this, "fModifiedDate", 0, 2, 112, 22);
    c.fModifiedDateTo = MakeControl<zb::TDateEdit>(page(6), this, "fModifiedDateTo", 122, 2, 112, 22);
    range(page(7), "fModifiedTime", "fModifiedTimeTo", c.fModifiedTime, c.fModifiedTimeTo);
    c.fVersion = MakeControl<TEdit>(page(8), this, "fVersion", 0, 2, 120, 22);
    c.fCompileFor = MakeControl<TComboBox>(page(9), this, "fCompileFor", 0, 2, 60, 22);
    for (const char* i : {"", "16", "32", "HH"}) c.fCompileFor->Items().Add(i);
    c.fRevised = MakeControl<TComboBox>(page(10), this, "fRevised", 0, 2, 60, 22);
    for (const char* i : {"", "Y", "N"}) c.fRevised->Items().Add(i);
    c.fFlag = MakeControl<TEdit>(page(11), this, "fFlag", 0, 2, 80, 22);
    c.fUserField = MakeControl<TEdit>(page(12), this, "fUserField", 0, 2, 236, 22);
    Button1 = MakeControl<TButton>(this, this, "Button1", 104, 86, 75, 25);
    Button1->SetCaption("&OK");
    Button1->Default = true;
    Button1->ModalResult = mrOk;
    Button2 = MakeControl<TButton>(this, this, "Button2", 187, 86, 75, 25);
    Button2->SetCaption("&Cancel");
    Button2->Cancel = true;
    Button2->ModalResult = mrCancel;
    OnShow = [this](TObject* s) { FormShow(s); };
    SetBorderStyle(bsDialog);
}

void TfrmMiniFilter::Prepare(FilterCriterion criterion, const std::vector<std::string>& storedLines) {
    criterion_ = criterion;
    const MiniFilterSpec spec = MiniFilterSpecOf(criterion);
    SetCaption(spec.caption);
    pnl->SetCaption(spec.group);
    nb->SetActivePage(spec.page);
    c.SetValues(ReadFilterLines(storedLines));
    const auto all = c.All();
    if (!spec.lines.empty()) {
        TCustomEdit* first = all[static_cast<std::size_t>(spec.lines[0])];
        SetActiveControl(first);
    }
}

std::vector<std::string> TfrmMiniFilter::CriterionValues() const {
    std::vector<std::string> out;
    const auto all = c.All();
    for (FilterLine l : MiniFilterSpecOf(criterion_).lines) out.push_back(all[static_cast<std::size_t>(l)]->Text());
    return out;
}

void TfrmMiniFilter::FormShow(TObject*) {
    const MiniPlacement p =
        PlaceMiniFilter(Screen->Width(), Screen->Height(), Width(), Height(), MouseX, MouseY);
    SetLeft(p.left);
    SetTop(p.top);
}

bool RunColumnFilter(EditorContext& ctx, TfrmMiniFilter& mini, FilterCriterion criterion) {
    if (criterion == FilterCriterion::None) return false;
    mini.Prepare(criterion, StoredFilterLines(ctx));
    if (mini.ShowModal() != mrOk) return false;
    return ApplyColumnFilter(ctx, criterion, mini.CriterionValues());
}

}  // namespace editor
