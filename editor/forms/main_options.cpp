// The main window's side of the page filters and the preferences.
#include "editor/forms/main_options.h"

#include "helpbuild/ui/explorer_view.h"
#include "editor/forms/main_form.h"
#include "editor/options/page_filters.h"
#include "editor/options/ui/filter_forms.h"
#include "data/fields.h"

namespace editor {

const std::vector<std::string>& FilterViewOnlyFields() {
    static const std::vector<std::string> names = {"CompileFor", "Revised",       "Version",      "UserFlag",
                                                   "UserField",  "BrowseId",      "BrowseName",   "ContextString",
                                                   "ModifiedDate", "ModifiedTime", "Keys"};
    return names;
}

bool FilterGridCellColours(const std::string& fieldName, const std::string& topicPopup, long topicColour,
                           long popupColour, long& font, long& brush) {
    if (fieldName != "TopicPopup") return false;
    font = topicPopup == "T" ? topicColour : popupColour;
    brush = 0xFFFFFF;
    return true;
}

namespace {

gui::TMenuItem* Item(gui::TComponent* owner, const std::string& name, const std::string& caption,
                     std::function<void()> run) {
    auto* i = new gui::TMenuItem(owner);
    i->SetName(name);
    i->SetCaption(caption);
    i->OnClick = [run](gui::TObject*) { run(); };
    return i;
}

gui::TButton* Button(gui::TComponent* owner, gui::TWinControl* parent, const char* name, const std::string& caption,
                     int x, int w) {
    auto* b = gui::MakeControl<gui::TButton>(parent, owner, name, x, 6, w, 24);
    b->SetCaption(caption);
    return b;
}

}  // namespace

TFilterViewCommands::TFilterViewCommands(TForm1& form) : gui::TComponent(&form), form_(form) {
    SetName("FilterViewCommands");
    EditorContext& ctx = *form.ctx;

    // Contents tab: the filter word above the contents grid, its history beside it.
    gui::TTabSheet* page = form.TabBook->Page(3);
    pnlCntFilter = gui::MakeControl<gui::TPanel>(page, &form, "pnlCntFilter", 0, 0, 600, 64);
    pnlCntFilter->SetAlign(gui::alTop);
    pnlCntFilter->SetBevelOuter(gui::bvNone);
    pnlCntFilter->SetCaption("");
    gui::MakeControl<gui::TLabel>(pnlCntFilter, &form, "lblCntFilter", 8, 10, 36, 15)->SetCaption("Filter:");
    comboFilter = gui::MakeControl<db::TDBComboBox>(pnlCntFilter, &form, "comboFilter", 46, 6, 150, 22);
    comboFilter->SetDataSource(ctx.mainSource);
    comboFilter->SetDataField("ContentsFilter");
    SpeedButton1 = Button(&form, pnlCntFilter, "SpeedButton1", "+", 198, 24);
    SpeedButton1->SetHint("Save text to available list|Saves the current text for later retrieval from the drop down list");
    SpeedButton1->SetShowHint(true);
    gui::MakeControl<gui::TLabel>(pnlCntFilter, &form, "lblCntHistory", 236, 10, 50, 15)->SetCaption("History:");
    memoContentsFilterHistory =
        gui::MakeControl<db::TDBMemo>(pnlCntFilter, &form, "memoContentsFilterHistory", 288, 4, 200, 56);
    memoContentsFilterHistory->SetDataSource(ctx.mainSource);
    memoContentsFilterHistory->SetDataField("PmFilter");
    memoContentsFilterHistory->SetReadOnly(true);
    memoContentsFilterHistory->SetScrollBars(gui::ssVertical);
    SpeedButton1->OnClick = [this](gui::TObject*) { SpeedButton1Click(); };
    if (form.btnFilterNow) {
        auto previous = form.btnFilterNow->OnClick;
        form.btnFilterNow->OnClick = [this, previous](gui::TObject* sender) {
            TakeTypedWord();
            if (previous) previous(sender);
        };
    }

    // The Filter View grid's pop-up menu.
    popFilterGrid = new gui::TPopupMenu(&form);
    popFilterGrid->SetName("popFilterGrid");
    Filter3 = Item(&form, "Filter3", "&Filter", [this] { FilterFromGridColumn(true); });
    popFilterGrid->Items()->Add(Filter3);
    gui::SetPopupMenu(form.filterGrid, popFilterGrid);
    TViewGrid* grid = form.filterGrid;
    grid->OnMouseDown = [this, grid](gui::TObject*, gui::TMouseButton button, gui::TShiftState, int x, int y) {
        if (button != gui::mbRight) return;
        const gui::TPoint p = grid->ClientToScreen({x, y});
        MouseX = p.x;
        MouseY = p.y;
    };
}

bool TFilterViewCommands::FilterFromGridColumn(bool filterGrid) {
    TViewGrid* grid = filterGrid ? form_.filterGrid : form_.detailGrid;
    const db::TField* field = grid->GetSelectedField();
    const FilterCriterion criterion = CriterionOfField(field ? field->FieldName : std::string(), !filterGrid);
    if (criterion == FilterCriterion::None) return false;
    TfrmMiniFilter* mini = MiniFilter();
    mini->MouseX = MouseX;
    mini->MouseY = MouseY;
    return RunColumnFilter(*form_.ctx, *mini, criterion);
}

TfrmMiniFilter* TFilterViewCommands::MiniFilter() {
    if (auto* mini = dynamic_cast<TfrmMiniFilter*>(form_.FindComponent("frmMiniFilterGrid"))) return mini;
    auto* mini = new TfrmMiniFilter(&form_);
    mini->SetName("frmMiniFilterGrid");
    return mini;
}

void TFilterViewCommands::TakeTypedWord() {
    db::TDataSet* m = form_.ctx->mainTable;
    try {
        if (m->IsEditing()) m->UpdateRecord();
    } catch (const std::exception&) {
        // A refused value has said why; the stored word applies.
    }
}

void TFilterViewCommands::SpeedButton1Click() {
    const std::string word = comboFilter->Text();
    if (word.empty()) return;
    EditorContext& ctx = *form_.ctx;
    try {
        SaveContentsFilterWord(ctx, word);
    } catch (const std::exception&) {
        // A refused post has said why; the history stays as stored.
    }
    LoadContentsFilterHistory();
}

void TFilterViewCommands::LoadContentsFilterHistory() {
    plat::StringList items;
    for (const std::string& line : ContentsFilterHistory(*form_.ctx)) items.Add(line);
    comboFilter->Items().Assign(items);
}

void InstallFilterViewCommands(TForm1& form) {
    auto* commands = new TFilterViewCommands(form);
    EditorContext& ctx = *form.ctx;
    ctx.Hooks.LoadContentsFilterHistory = [commands] { commands->LoadContentsFilterHistory(); };
    TForm1* f = &form;
    form.filterGrid->OnCalcCellColors = [f](gui::TObject*, db::TField* field, gui::TGridDrawState, bool,
                                            gui::TFont& font, gui::TBrush& brush) {
        if (!field) return;
        db::TDataSet* t = f->ctx->tblFilter;
        const db::TField* kind = t->FindField("TopicPopup");
        long fontColour = 0, brushColour = 0;
        if (FilterGridCellColours(field->FieldName, kind ? kind->AsString() : std::string(), f->ctx->TopicColor,
                                  f->ctx->PopupColor, fontColour, brushColour)) {
            font.SetColor(static_cast<gui::TColor>(fontColour));
            brush.SetColor(static_cast<gui::TColor>(brushColour));
        }
    };
}

TFilterViewCommands* FilterViewCommandsOf(TForm1& form) {
    return dynamic_cast<TFilterViewCommands*>(form.FindComponent("FilterViewCommands"));
}

void SetViewColumns(TForm1& form) {
    const std::string view = form.CurrentView();
    if (view != kFilterViewPage && view != kSplitViewPage) return;
    const bool visible = view == kFilterViewPage;
    db::TDataSet* t = form.ctx->detailTable;
    bool changed = false;
    t->DisableControls();
    try {
        for (const std::string& name : FilterViewOnlyFields())
            if (db::TField* f = t->FindField(name); f && f->Visible != visible) {
                f->Visible = visible;
                changed = true;
            }
    } catch (...) {
        t->EnableControls();
        throw;
    }
    t->EnableControls();
    if (changed && t->Active()) t->DataEvent(db::deLayoutChange, 0);
    form.FitPageGridTitle();
}

void ApplyPreferencesToWindow(TForm1& form) {
    const ProgramSettings& s = form.ctx->Settings;
    form.detailGrid->Font().SetStyle(s.GridFontBold ? gui::fsBold : 0);
    form.detailGrid->Font().SetSize(s.GridFontSize);
    form.FitPageGridTitle();
    form.detailGrid->Invalidate();
    form.TreeView1->ShowButtons = s.kqIniSettings.TreeShowButtons;
    form.TreeView1->ShowRoot = s.kqIniSettings.TreeShowButtons;
    form.TreeView1->ShowLines = s.kqIniSettings.TreeShowLines;
    form.TreeView1->Invalidate();
}

}  // namespace editor
