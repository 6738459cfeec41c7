// The main window's Contents page: the contents grid with the current
// entry's fields, the buttons of the contents commands and the Contents
// menu (each entry presses its button), and the contents file's extra lines
// (link files, index files, tabs) switched by a tab set.
#include "editor/forms/main_form.h"

#include "helpbuild/contents/contents_tables.h"
#include "helpbuild/ui/cnt_add_form.h"
#include "helpbuild/ui/explorer_view.h"
#include "editor/options/page_filters.h"

namespace editor {

namespace {

struct CntCommand {
    gui::TSpeedButton* TForm1::*button;
    const char* buttonName;
    const char* buttonCaption;
    const char* itemName;
    const char* itemCaption;
    const char* hint;
};

// The commands "Add Above" to "Write the CNT" are the ones the menu
// enables on the Contents page only; "Filter Now" comes last.
const CntCommand kCommands[] = {
    {&TForm1::btnCntAddAbove, "btnCntAddAbove", "Add &Above", "AddAbove1", "Add &Above",
     "Adds a new contents entry above the current entry"},
    {&TForm1::btnCntAddBelow, "btnCntAddBelow", "Add &Below", "AddBelow1", "Add &Below",
     "Adds a new contents entry below the current entry"},
    {&TForm1::btnCntMoveRight, "btnCntMoveRight", " Move &Right", "MoveRight1", "Move &Right",
     "Moves the current entry and all sub-entries, one level to the right"},
    {&TForm1::btnCntMoveLeft, "btnCntMoveLeft", "Move &Left", "MoveLeft1", "Move &Left",
     "Moves the current entry one level to the left"},
    {&TForm1::btnCntDeleteEntry, "btnCntDeleteEntry", "&Delete Entry", "DeleteEntry1", "&Delete Entry",
     "Deletes the current contents entry"},
    {&TForm1::btnCntClearAll, "btnCntClearAll", "Cl&ear All", "ClearAll1", "&Clear All", "Empties the Contents"},
    {&TForm1::btnCntReadCnt, "btnCntReadCnt", "R&ead in a CNT", "ReadinaCNT1", "R&ead in a CNT",
     "Reads a contents file into the project's contents"},
    {&TForm1::btnCntWriteCnt, "btnCntWriteCnt", "&Write the CNT", "WritetheCNT1", "&Write the CNT",
     "Writes the project's contents file"},
    {&TForm1::btnFilterNow, "btnFilterNow", "Filter Now", "FilterNow1", "&Filter Now",
     "Shows the entries of the contents filter"},
};
constexpr int kEnabledOnContentsOnly = 8;

db::TDBEdit* MakeEntryField(TForm1* form, gui::TWinControl* parent, const std::string& name,
                            const std::string& field, int x, int w) {
    auto* e = new db::TDBEdit(form);
    e->SetName(name);
    e->SetParent(parent);
    e->SetBounds(x, 22, w, 22);
    e->SetDataSource(form->ctx->cntSource);
    e->SetDataField(field);
    return e;
}

gui::TLabel* MakeEntryLabel(TForm1* form, gui::TWinControl* parent, const std::string& caption, int x,
                            gui::TWinControl* field) {
    auto* l = new gui::TLabel(form);
    l->SetParent(parent);
    l->SetBounds(x, 4, 120, 16);
    l->SetCaption(caption);
    l->SetFocusControl(field);
    return l;
}

}  // namespace

void TForm1::BuildContentsPage() {
    gui::TTabSheet* page = TabBook->Page(3);
    Panel16 = new gui::TPanel(this);
    Panel16->SetName("Panel16");
    Panel16->SetParent(page);
    Panel16->SetAlign(gui::alClient);
    Panel16->SetBevelOuter(gui::bvNone);

    pnlCntButtons = new gui::TPanel(this);
    pnlCntButtons->SetName("pnlCntButtons");
    pnlCntButtons->SetParent(Panel16);
    pnlCntButtons->SetAlign(gui::alTop);
    pnlCntButtons->SetHeight(28);
    pnlCntButtons->SetBevelOuter(gui::bvNone);
    miContentsMenu = new gui::TMenuItem(this);
    miContentsMenu->SetName("miContentsMenu");
    miContentsMenu->SetCaption("Co&ntents");
    int x = 4;
    for (const CntCommand& c : kCommands) {
        auto* b = new gui::TSpeedButton(this);
        b->SetName(c.buttonName);
        b->SetParent(pnlCntButtons);
        b->SetCaption(c.buttonCaption);
        b->SetHint(std::string(c.itemCaption) + "|" + c.hint);
        const int width = 6 * static_cast<int>(std::string(c.buttonCaption).size()) + 14;
        b->SetBounds(x, 2, width, 24);
        x += width + 2;
        this->*(c.button) = b;
        auto* i = new gui::TMenuItem(this);
        i->SetName(c.itemName);
        i->SetCaption(c.itemCaption);
        i->Hint = c.hint;
        // Each entry presses its button.
        i->OnClick = [b](gui::TObject*) {
            if (b->Enabled()) b->Click();
        };
        miContentsMenu->Add(i);
    }
    // Filter Now serves the Contents page alone; the tab change enables it.
    btnFilterNow->SetEnabled(false);

    // The current entry's fields and the contents file's extra lines.
    pnlCntEntry = new gui::TPanel(this);
    pnlCntEntry->SetName("pnlCntEntry");
    pnlCntEntry->SetParent(Panel16);
    pnlCntEntry->SetAlign(gui::alBottom);
    pnlCntEntry->SetHeight(130);
    pnlCntEntry->SetBevelOuter(gui::bvNone);
    // Every letter of "Title" is a menu's or a tab's; the jump's label has
    // one of its own.
    editCntTitle = MakeEntryField(this, pnlCntEntry, "editCntTitle", "Title", 8, 260);
    MakeEntryLabel(this, pnlCntEntry, "Title", 8, editCntTitle);
    editCntJump = MakeEntryField(this, pnlCntEntry, "editCntJump", "Jump", 276, 200);
    MakeEntryLabel(this, pnlCntEntry, "J&ump", 276, editCntJump);
    tabCntExtras = new gui::TTabSet(this);
    tabCntExtras->SetName("tabCntExtras");
    tabCntExtras->SetParent(pnlCntEntry);
    tabCntExtras->SetBounds(8, 104, 468, 22);
    nbCntExtras = new gui::TNotebook(this);
    nbCntExtras->SetName("nbCntExtras");
    nbCntExtras->SetParent(pnlCntEntry);
    nbCntExtras->SetBounds(8, 50, 468, 54);
    const std::pair<const char*, db::TDBMemo* TForm1::*> extras[] = {
        {"Link Files", &TForm1::memoCntLinkFiles}, {"Index Files", &TForm1::memoCntIndexFiles},
        {"Tabs", &TForm1::memoCntTabs}};
    const char* const fields[] = {"CntLinkFiles", "CntIndexFiles", "CntTabs"};
    plat::StringList names;
    for (const auto& e : extras) names.Add(e.first);
    tabCntExtras->Tabs().Assign(names);
    nbCntExtras->Pages().Assign(names);
    for (int i = 0; i < 3; ++i) {
        auto* m = new db::TDBMemo(this);
        m->SetName(std::string("memo") + fields[i]);
        m->SetParent(nbCntExtras->Page(i));
        m->SetAlign(gui::alClient);
        m->SetDataSource(ctx->mainSource);
        m->SetDataField(fields[i]);
        this->*(extras[i].second) = m;
    }
    tabCntExtras->SetTabIndex(0);

    cntGrid->SetParent(Panel16);
    // A hidden page may be sized before it shows: its parts and the view
    // change arrange it as well.
    for (gui::TWinControl* c : std::initializer_list<gui::TWinControl*>{page, Panel16, pnlCntButtons})
        c->OnResize = [this, page](gui::TObject*) {
            ArrangeLater(page, contentsPending_, [this] { ArrangeContentsPage(); });
        };
    ArrangeContentsPage();
}

void TForm1::ArrangeContentsPage() {
    gui::TTabSheet* page = TabBook->Page(3);
    // The buttons in rows as wide as the page.
    constexpr int kButtonHeight = 24;
    const int width = std::max(1, pnlCntButtons->ClientWidth());
    int x = 4, y = 2;
    for (const CntCommand& c : kCommands) {
        gui::TSpeedButton* b = this->*(c.button);
        if (x > 4 && x + b->Width() > width - 2) {
            x = 4;
            y += kButtonHeight + 2;
        }
        b->SetBounds(x, y, b->Width(), kButtonHeight);
        x += b->Width() + 2;
    }
    const int buttons = y + kButtonHeight + 2;
    if (pnlCntButtons->Height() != buttons) pnlCntButtons->SetHeight(buttons);

    // Height for a few rows of the grid: the filter history and the entry's
    // extra lines shrink first, down to a line each.
    auto* filter = dynamic_cast<gui::TPanel*>(FindComponent("pnlCntFilter"));
    auto* history = dynamic_cast<gui::TWinControl*>(FindComponent("memoContentsFilterHistory"));
    constexpr int kEntryMost = 130, kEntryLeast = 100, kFilterMost = 64, kFilterLeast = 36, kGridRows = 6;
    const int grid = (kGridRows + 1) * (cntGrid->DefaultRowHeight() + cntGrid->GridLineWidth()) + 20;
    int short_ = kFilterMost + buttons + kEntryMost + grid - page->ClientHeight();
    const int entry = kEntryMost - std::clamp(short_, 0, kEntryMost - kEntryLeast);
    short_ -= kEntryMost - entry;
    const int filterHeight = kFilterMost - std::clamp(short_, 0, kFilterMost - kFilterLeast);
    if (pnlCntEntry->Height() != entry) pnlCntEntry->SetHeight(entry);
    nbCntExtras->SetBounds(8, 50, nbCntExtras->Width(), entry - 50 - 26);
    tabCntExtras->SetBounds(8, entry - 26, tabCntExtras->Width(), 22);
    if (filter && filter->Height() != filterHeight) filter->SetHeight(filterHeight);
    if (history) history->SetBounds(history->Left(), 4, history->Width(), filterHeight - 8);
}

void TForm1::WireContentsPage() {
    auto hooks = [this] {
        build::ContentsHooks h;
        h.loadExplorerView = [this] {
            if (Explorer) Explorer->LoadExplorerView();
        };
        h.runAddDialog = [this](build::CntAddChoice& choice) { return buildui::RunCntAddDialog(*ctx, choice); };
        h.setStatus = [this](const std::string& text) { StatusPanel->SetCaption(text); };
        h.beep = [] { gui::MessageBeep(0); };
        h.busyCursor = [](bool busy) { gui::Screen->SetCursor(busy ? gui::crHourGlass : gui::crDefault); };
        return h;
    };
    // A failed command has said why; the rows stay as the engine left them.
    auto run = [](gui::TSpeedButton* b, std::function<void()> command) {
        b->OnClick = [command](gui::TObject*) {
            try {
                command();
            } catch (const std::exception&) {
            }
        };
    };
    run(btnCntAddAbove, [this, hooks] { build::AddContentsEntry(*ctx, true, hooks()); });
    run(btnCntAddBelow, [this, hooks] { build::AddContentsEntry(*ctx, false, hooks()); });
    run(btnCntMoveRight, [this, hooks] { build::MoveContentsEntryRight(*ctx, hooks()); });
    run(btnCntMoveLeft, [this, hooks] { build::MoveContentsEntryLeft(*ctx, hooks()); });
    btnCntDeleteEntry->OnClick = [this](gui::TObject*) { btnCntDeleteEntryClick(); };
    btnCntClearAll->OnClick = [this](gui::TObject*) { btnCntClearAllClick(); };
    run(btnCntReadCnt, [this, hooks] { build::ReadCntFile(*ctx, hooks()); });
    run(btnCntWriteCnt, [this, hooks] { build::WriteCntFile(*ctx, hooks()); });
    btnFilterNow->OnClick = [this](gui::TObject*) { btnFilterNowClick(); };
    miContentsMenu->OnClick = [this](gui::TObject*) { UpdateContentsMenuItems(); };
    gui::TMenuItem* bar = MainMenu1->Items();
    const int at = miTools ? miTools->MenuIndex() : -1;
    bar->Insert(at >= 0 ? at : bar->Count(), miContentsMenu);

    // The navigator follows the contents while the author works in them.
    Panel16->OnEnter = [this](gui::TObject*) {
        FollowInNavigator(ctx->cntTable);
        try {
            if (ctx->cntShadow->Active()) ctx->cntShadow->Refresh();
        } catch (const std::exception&) {
        }
    };
    Panel16->OnExit = [this](gui::TObject*) { FollowInNavigator(ctx->mainTable); };
    editCntJump->OnDblClick = [this](gui::TObject*) { ContentsJumpToPage(); };
    tabCntExtras->OnChange = [this](gui::TObject*, int tab, bool&) { nbCntExtras->SetPageIndex(tab); };
}

void TForm1::UpdateContentsMenuItems() {
    const bool on = CurrentView() == kContentsPage;
    for (int i = 0; i < kEnabledOnContentsOnly && i < miContentsMenu->Count(); ++i)
        miContentsMenu->Items(i)->Enabled = on;
}

void TForm1::btnCntDeleteEntryClick() {
    db::TDataSet* c = ctx->cntTable;
    try {
        if (!c->Active() || c->IsEmpty()) return;
        c->Edit();
        c->Delete();
    } catch (const std::exception&) {
        // Silently: the entry stays.
    }
}

void TForm1::btnCntClearAllClick() {
    try {
        build::ClearAllContents(*ctx);
    } catch (const std::exception&) {
    }
}

void TForm1::btnFilterNowClick() {
    try {
        ApplyContentsFilter(*ctx);
    } catch (const std::exception&) {
    }
}

void TForm1::ShowContentsExtrasPage() { nbCntExtras->SetPageIndex(std::max(0, tabCntExtras->TabIndex())); }

}  // namespace editor
