// The main window's views and navigation: the keys the form previews, the
// focus cycle, the tab change, the page commands, Find, the compiled help,
// and the read-outs.
#include "editor/forms/main_form.h"

#include "helpbuild/contents/contents_tables.h"
#include "helpbuild/ui/explorer_view.h"
#include "controls/data/vl_locate_dialog.h"
#include "project/helpers.h"
#include "editor/forms/main_options.h"
#include "editor/forms/projects_form.h"
#include "editor/options/page_filters.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/core/process.h"
#include "data/fields.h"
#include "platform/core/dialog_service.h"

#include <algorithm>
#include "controls/richdb/db_rich_text.h"

namespace editor {

namespace {

constexpr unsigned kVkPrior = 0x21, kVkNext = 0x22;
constexpr unsigned kVkBack = 0x08, kVkInsert = 0x2D, kVkDelete = 0x2E, kVkF3 = 0x72, kVkF4 = 0x73, kVkF5 = 0x74,
                   kVkF9 = 0x78;

void PostIfEditing(db::TDataSet* t) {
    if (t->IsEditing()) t->Post();
}

}  // namespace

void TForm1::BuildCommands() {
    auto item = [this](const std::string& name, const std::string& caption, gui::TShortCut key = 0) {
        auto* i = new gui::TMenuItem(this);
        i->SetName(name);
        i->SetCaption(caption);
        i->ShortCut = key;
        return i;
    };
    pnlTools = new gui::TPanel(this);
    pnlTools->SetName("pnlTools");
    pnlTools->SetParent(this);
    pnlTools->SetAlign(gui::alTop);
    pnlTools->SetHeight(28);
    pnlTools->SetBevelOuter(gui::bvNone);
    BuildToolBar();

    miSave = item("miSave", "&Save", gui::ShortCut('S', gui::ssCtrl));
    miSave->OnClick = [this](gui::TObject*) {
        try {
            miSaveClick(*ctx);
        } catch (const std::exception&) {
            // A refused post has said why; the row stays as typed.
        }
    };
    miViewCompiledHelp = item("miViewCompiledHelp", "View Compiled &Help");
    miViewCompiledHelp->OnClick = [this](gui::TObject*) { ShowHelpBtnClick(); };
    miOpenProject = item("miOpenProject", "&Open Project", gui::ShortCut('O', gui::ssCtrl));
    miOpenProject->OnClick = [this](gui::TObject*) { sbtnGlanceClick(); };
    sbtnGlance->OnClick = [this](gui::TObject*) { sbtnGlanceClick(); };
    miFile->Insert(0, miOpenProject);
    miFile->Insert(1, miSave);
    miFile->Insert(2, miViewCompiledHelp);

    miEdit = item("miEdit", "&Edit");
    InsertTopic1 = item("InsertTopic1", "&Insert Topic", gui::ShortCut(kVkInsert, 0));
    InsertTopic1->OnClick = [this](gui::TObject*) { InsertTopic1Click(); };
    DeleteTopic1 = item("DeleteTopic1", "&Delete Topic", gui::ShortCut(kVkDelete, gui::ssCtrl));
    DeleteTopic1->OnClick = [this](gui::TObject*) { DeleteTopic1Click(); };
    miFind = item("miFind", "&Find");
    miFind->OnClick = [this](gui::TObject*) { sbtnLocateClick(); };
    miUndoRecord = item("miUndoRecord", "&Undo record", gui::ShortCut(kVkBack, gui::ssAlt));
    miUndoRecord->OnClick = [this](gui::TObject*) { UndoRecord(); };
    for (gui::TMenuItem* i : {InsertTopic1, DeleteTopic1, miFind, miUndoRecord}) miEdit->Add(i);
    MainMenu1->Items()->Insert(1, miEdit);

    miHelpContents = item("miHelpContents", "&Contents");
    miHelpContents->OnClick = [this](gui::TObject*) { HelpContentsClick(); };
    miHowDoI = item("miHowDoI", "H&ow do I..?");
    miHowDoI->OnClick = [this](gui::TObject*) { ctx->ShowHelp(kHelpContext, 2100); };
    miHelp->Insert(0, miHelpContents);
    miHelp->Insert(1, miHowDoI);

    KeyPreview = true;
    OnKeyUp = [this](gui::TObject*, unsigned& key, gui::TShiftState shift) { FormKeyUp(key, shift); };
    // Enter in a single-line data-aware edit moves on; Page Up and Page Down
    // in the project fields move between projects.
    OnKeyPress = [this](gui::TObject*, char& key) {
        if (key == '\r' && dynamic_cast<db::TDBEdit*>(ActiveControl())) {
            key = 0;
            SelectNext(ActiveControl(), true, true);
        }
    };
    OnKeyDown = [this](gui::TObject*, unsigned& key, gui::TShiftState) {
        gui::TWinControl* a = ActiveControl();
        if (a != ApplicationFld && a != DosNameFld && a != HelpTitleFld) return;
        if (key != kVkPrior && key != kVkNext) return;
        try {
            if (key == kVkPrior)
                ctx->mainTable->Prior();
            else
                ctx->mainTable->Next();
        } catch (const std::exception&) {
        }
        key = 0;
    };
    TabBook->OnChange = [this](gui::TObject*) { TabBookClick(); };
    RunLocateDialog = [this](db::TDataSource* source, const std::string& field) {
        vl::TvlLocateDialog dialog(this);
        dialog.SetDataSource(source);
        dialog.SearchField = field;
        dialog.Execute();
    };
    StartHelpViewer = [](const std::string& helpFile) {
        return plat::StartProcess({"WinHlp32.exe", helpFile});
    };
}

void TForm1::WireViews() {
    // The page rules and the title and contents-jump rules they call.
    build::InstallEditorRules(*ctx);
    // The views show one project: its name is the project field's, not a
    // column's. The page grid edits a page's short fields only: a memo's
    // cell would take typed text raw into its RTF. The Filter View adds its
    // own columns (SetViewColumns). The contents grid draws an entry as its
    // icon and title, indented by level; the entry fields show the rest.
    auto show = [](db::TDataSet* t, const std::vector<std::string>& names) {
        for (int i = 0; i < t->FieldCount(); ++i) {
            db::TField* f = t->Fields(i);
            f->Visible = std::find(names.begin(), names.end(), f->FieldName) != names.end();
        }
    };
    std::vector<std::string> pageColumns = {"HelpId", "TopicPopup", "Title"};
    for (const std::string& n : FilterViewOnlyFields()) pageColumns.push_back(n);
    show(ctx->detailTable, pageColumns);
    show(ctx->cntTable, {"Title", "Filter"});
    // The page filter and the contents filter follow the display settings.
    InstallFilterFollowers(*ctx);
    // The explorer tree of the contents.
    Explorer = std::make_unique<buildui::ExplorerView>(TreeView1, *ctx);
    ctx->Hooks.LoadExplorerView = [this] { Explorer->LoadExplorerView(); };
    ctx->ApplyProjectDisplaySettings = [c = ctx] { editor::ApplyProjectDisplaySettings(*c); };
    ctx->ShowDisplaySettings = [this](const DisplaySettings& s) { ApplyDisplay(s); };
    ctx->SyncScreenFonts = [this](bool unchanged) {
        if (unchanged)
            LoadProgramRtfHeader(*ctx);
        else
            BuildProgramRtfHeader(*ctx);
    };
    // The table-state read-out follows the three tables' states.
    for (db::TDataSource* s : {ctx->mainSource, ctx->detailSource, ctx->prefsSource})
        s->OnStateChange = [this](db::TDataSource*) { ShowTableState(); };
    // A change of page in the max view shows or hides the title region.
    // A change of project: the page editors find pictures in its graphics
    // folder, and the page table starts at the project's first page.
    ctx->mainSource->OnDataChange = [this](db::TDataSource*, db::TField* field) {
        if (field) return;
        try {
            const std::string pictures = ResolveGraphicsDir(*ctx);
            for (richtext::TDBJDRichText* e : {HelpText, maxHelpText, FullTitleEditFld}) e->SetHTMLFilePath(pictures);
            db::TDataSet* d = ctx->detailTable;
            if (d->Active() && d->State() == db::dsBrowse) {
                d->DisableControls();
                try {
                    d->First();
                } catch (...) {
                    d->EnableControls();
                    throw;
                }
                d->EnableControls();
            }
        } catch (const std::exception&) {
        }
    };
    ctx->detailSource->OnDataChange = [this](db::TDataSource*, db::TField* field) {
        if (!field && CurrentView() == kMaxViewPage) ShowMaxViewTitle();
    };
    for (richtext::TDBJDRichText* e : {HelpText, maxHelpText, FullTitleEditFld}) {
        auto show = [this, e](void*) { ShowCursorPosition(e); };
        e->OnXPosChanged() = show;
        e->OnYPosChanged() = show;
    }
    HelpText->OnExit = [this](gui::TObject*) { TableStatus->SetCaption(""); };
    // A new page row: the page grid's cursor ends in the help id column
    // (by way of the title, so the grid shows the row's start).
    ctx->Hooks.PageInserted = [this] {
        gui::TWinControl* active = ActiveControl();
        if (!active || (active != detailGrid && active->Parent() != detailGrid)) return;
        auto select = [this](const std::string& name) {
            for (int i = 0; i < detailGrid->GetFieldCount(); ++i)
                if (detailGrid->GetFields(i)->FieldName == name) detailGrid->SetSelectedIndex(i);
        };
        for (const char* name : {"HelpId", "Title", "HelpId"}) select(name);
    };
    detailGrid->OnDblClick = [this](gui::TObject*) { PageGridDblClick(); };
    detailGrid->OnResize = [this](gui::TObject*) { FitPageGridTitle(); };
    // The contents title fills its grid too: no sideways bar takes a row.
    cntGrid->OnResize = [this](gui::TObject*) { FitGridTitle(cntGrid, false); };
    detailGrid->OnEnter = [this](gui::TObject*) { PageGridEnter(); };
    cntGrid->OnDblClick = [this](gui::TObject*) { ContentsJumpToPage(); };
    detailGrid->OnCalcCellColors = [this](gui::TObject*, db::TField* field, gui::TGridDrawState, bool highlight,
                                          gui::TFont& font, gui::TBrush& brush) {
        if (!highlight) PageGridCellColors(field, font, brush);
    };
    cntGrid->DefaultDrawing = false;
    cntGrid->OnDrawDataCell = [this](gui::TObject*, gui::TRect rect, db::TField* field, gui::TGridDrawState) {
        DrawContentsGridCell(rect, field);
    };
    pnlMaxSplitter->OnBarPosition = [this](gui::TObject*, int position) {
        ctx->Settings.NonscrollSplitterPos = position;
    };
    splitViewSplitter->OnBarPosition = [this](gui::TObject*, int position) {
        ctx->Settings.SplitViewSplitterPos = position;
    };
}

bool DrawContentsCell(CellPainter& painter, const gui::TRect& cell, const std::string& fieldName,
                      const std::string& entryType, int level, const std::string& title, int bitmapWidth) {
    if (fieldName == "Filter" || entryType == "I") return false;
    painter.FillRect(cell);
    painter.DrawIcon(cell.Left + 2 + (level - 1) * 15, cell.Top, entryType == "H" ? "BITMAP_3" : "BITMAP_4");
    const int x = level <= 1 ? cell.Left + bitmapWidth + 8 : level == 2 ? cell.Left + 38 : cell.Left + 8 + level * 15;
    painter.TextOut(x, cell.Top, title);
    return true;
}

namespace {

// The grid's canvas, icons copied with red as the see-through colour.
class CanvasPainter : public CellPainter {
public:
    CanvasPainter(gui::TCanvas& canvas, const gui::TBitmap* bitmaps) : canvas_(canvas), bitmaps_(bitmaps) {}
    void FillRect(const gui::TRect& rect) override { canvas_.FillRect(rect); }
    void DrawIcon(int x, int y, const std::string& bitmap) override {
        const gui::TBitmap& b = bitmaps_[bitmap == "BITMAP_3" ? 2 : 3];
        if (b.Width() <= 0) return;
        canvas_.BrushCopy(gui::TRect{x, y, x + 15, y + b.Height()}, b, gui::TRect{0, 0, 15, b.Height()}, 0x0000FF);
    }
    void TextOut(int x, int y, const std::string& text) override { canvas_.TextOut(x, y, text); }

private:
    gui::TCanvas& canvas_;
    const gui::TBitmap* bitmaps_;
};

}  // namespace

void TForm1::DrawContentsGridCell(const gui::TRect& rect, db::TField* field) {
    db::TDataSet* t = ctx->cntTable;
    const std::string type = t->FindField("EntryType") ? t->FieldByName("EntryType")->AsString() : std::string();
    const int level = t->FindField("Level") ? static_cast<int>(t->FieldByName("Level")->AsInteger()) : 1;
    const std::string title = t->FindField("Title") ? t->FieldByName("Title")->AsString() : std::string();
    CanvasPainter painter(cntGrid->Canvas(), Bitmaps);
    if (!DrawContentsCell(painter, rect, field ? field->FieldName : std::string(), type, level, title,
                          Bitmaps[3].Width()))
        cntGrid->DefaultDrawDataCell(rect, field, 0);
}

void TForm1::PageGridCellColors(db::TField* field, gui::TFont& font, gui::TBrush& brush) {
    if (!field) return;
    db::TDataSet* t = ctx->detailTable;
    if (field->FieldName == "HelpId") {
        const std::string status = t->FindField("InheritedStatus") ? t->FieldByName("InheritedStatus")->AsString() : "";
        if (status == "Master") {
            font.SetColor(0xFFFFFF);
            brush.SetColor(0x000080);
        } else if (status == "Inherited") {
            font.SetColor(0);
            brush.SetColor(0x00FFFF);
        }
    } else if (field->FieldName == "TopicPopup") {
        const std::string kind = field->AsString();
        if (kind == "T") font.SetColor(static_cast<gui::TColor>(ctx->TopicColor));
        if (kind == "P") font.SetColor(static_cast<gui::TColor>(ctx->PopupColor));
        brush.SetColor(0xFFFFFF);
    }
}

void TForm1::ApplyDisplay(const DisplaySettings& s) {
    for (richtext::TDBJDRichText* e : {HelpText, maxHelpText, FullTitleEditFld})
        ShowJumpText(*e, s.topicJumpColour);
    FullTitleEditFld->SetColor(static_cast<gui::TColor>(s.nonscrollColour));
    HelpText->SetColor(static_cast<gui::TColor>(s.scrollColour));
    maxHelpText->SetColor(static_cast<gui::TColor>(s.scrollColour));
    // The bars offer the fonts the pages' header holds: the project's
    // registry, or the program-wide list built from the screen's fonts.
    const std::vector<std::string>& fonts = !s.fontList.empty() ? s.fontList : ctx->memoScreenFonts;
    for (richtext::TJDToolBar* bar : {JDToolBar1, JDToolBar2}) bar->SetFontNames(fonts);
}

void TForm1::FitPageGridTitle() { FitGridTitle(detailGrid, true); }

void TForm1::FitGridTitle(TViewGrid* g, bool titleLast) {
    const int n = g->GetFieldCount();
    int at = -1;
    for (int i = 0; i < n; ++i)
        if (g->GetFields(i)->FieldName == "Title") at = i;
    // The page grid only with the title last: the Filter View's columns scroll.
    if (at < 0 || (titleLast && at != n - 1) || g->ColCount() != n + g->IndicatorOffset()) return;
    db::TField* title = g->GetFields(at);
    const int line = g->GridLineWidth();
    int used = line;
    for (int c = 0; c < g->ColCount(); ++c)
        if (c != at + g->IndicatorOffset()) used += g->ColWidths(c) + line;
    gui::TCanvas& canvas = g->Canvas();
    canvas.Font().Assign(g->Font());
    const int zero = std::max(1, canvas.TextWidth("0"));
    // A column holds its characters and 4 pixels; a few characters at least.
    constexpr int kLeastChars = 8;
    const int chars = std::max(kLeastChars, (g->ClientWidth() - used - 4) / zero);
    if (chars == title->DisplayWidth()) return;
    title->SetDisplayWidth(chars);
    g->LayoutChanged();
}

void TForm1::UndoRecord() {
    // The details first: a master's cancel makes its details check their
    // browse mode, which would post the very edits being undone.
    for (db::TDataSet* t : {static_cast<db::TDataSet*>(ctx->detailTable), static_cast<db::TDataSet*>(ctx->cntTable),
                            static_cast<db::TDataSet*>(ctx->mainTable), static_cast<db::TDataSet*>(ctx->prefsTable)})
        try {
            if (t->Active()) t->Cancel();
        } catch (const std::exception&) {
        }
}

std::string TForm1::CurrentView() const { return TabBook->ActivePageName(); }

richtext::TDBJDRichText* TForm1::ActivePageEditor() const {
    gui::TWinControl* active = ActiveControl();
    if (!active) return nullptr;
    for (richtext::TDBJDRichText* e : {HelpText, maxHelpText, FullTitleEditFld})
        if (active->Name() == e->Name()) return e;
    return nullptr;
}

void TForm1::FormKeyUp(unsigned& Key, gui::TShiftState Shift) {
    const gui::TShiftState mods = Shift & (gui::ssShift | gui::ssAlt | gui::ssCtrl);
    if (Key == kVkF3) {
        FocusCycle();
    } else if (Key == kVkF4 || Key == kVkF5) {
        // A menu item that carries the key has run the command as the key went down.
        if (!MenuKeyTaken(Key)) (Key == kVkF4 ? sbtnTopicJump : sbtnPopup)->Click();
    } else if (Key == kVkBack && mods == gui::ssAlt) {
        // Edit › Undo record carries the key and has run as it went down
        // (also when Alt is let go first, as a key-up would miss).
        if (!MenuKeyTaken(Key, gui::ssAlt)) UndoRecord();
    } else if (Key == 'Z' && mods == gui::ssCtrl) {
        sbtnLocateClick();
    } else if (Key == kVkF9 && mods != gui::ssAlt && mods != gui::ssShift && mods != gui::ssCtrl) {
        db::TDataSet* d = ctx->detailTable;
        const db::TBookmark place = d->Active() && !d->IsEmpty() && !d->IsEditing() ? d->GetBookmark() : db::TBookmark();
        try {
            for (db::TDataSet* t : {static_cast<db::TDataSet*>(ctx->mainTable), static_cast<db::TDataSet*>(d),
                                    static_cast<db::TDataSet*>(ctx->prefsTable)}) {
                if (!t->Active() || t->IsEmpty()) continue;
                if (t->IsEditing())
                    t->Post();
                else
                    t->Edit();
            }
            if (!place.empty() && d->BookmarkValid(place) && !d->IsEditing()) d->GotoBookmark(place);
        } catch (const std::exception&) {
            // A refusal has said why.
        }
    }
}

void TForm1::FocusCycle() {
    gui::TWinControl* active = ActiveControl();
    const std::string view = CurrentView();
    auto projectField = [&] { return active == ApplicationFld || active == DosNameFld || active == HelpTitleFld; };
    try {
        if (view == kSplitViewPage) {
            if (active == detailGrid) {
                db::TDataSet* d = ctx->detailTable;
                if (d->State() == db::dsInsert && d->FieldByName("TopicPopup")->AsString() == "P") {
                    d->Post();
                    d->Edit();
                    HelpText->SetCPPosition(0x0FFFFFFF);
                    SetActiveControl(HelpText);
                    auto attr = HelpText->Engine().currentAttr;
                    attr.style = 0;
                    HelpText->Engine().SetCurrentAttr(attr);
                    return;
                }
                if (d->IsEditing()) {
                    try {
                        d->Post();
                        d->Edit();
                    } catch (const std::exception&) {
                    }
                }
                SetActiveControl(HelpText);
            } else if (active == HelpText) {
                SetActiveControl(ApplicationFld);
            } else {
                SetActiveControl(detailGrid);
            }
        } else if (view == kMaxViewPage) {
            if (active == FullTitleEditFld)
                SetActiveControl(maxHelpText);
            else if (active == maxHelpText) {
                gui::TWinControl* first = nullptr;
                for (int i = 0; i < pnlMax->ControlCount() && !first; ++i)
                    first = dynamic_cast<gui::TWinControl*>(pnlMax->Controls(i));
                if (first)
                    SetActiveControl(first);
                else
                    SetActiveControl(ApplicationFld);
            } else if (projectField()) {
                SetActiveControl(FullTitleEditFld->Visible() ? static_cast<gui::TWinControl*>(FullTitleEditFld)
                                                            : maxHelpText);
            } else {
                SetActiveControl(ApplicationFld);
            }
        } else if (view == kFilterViewPage) {
            SetActiveControl(projectField() ? static_cast<gui::TWinControl*>(filterGrid) : ApplicationFld);
        } else if (view == kContentsPage) {
            SetActiveControl(projectField() ? static_cast<gui::TWinControl*>(cntGrid) : ApplicationFld);
        }
    } catch (const std::exception&) {
        // Errors while moving the focus are nobody's business.
    }
}

void TForm1::ShowMaxViewTitle() {
    const bool popup = ctx->detailTable->Active() && !ctx->detailTable->IsEmpty() &&
                       ctx->detailTable->FieldByName("TopicPopup")->AsString() == "P";
    if (popup) {
        if (FullTitleEditFld->Visible() && pnlMaxSplitter->BarPosition() > 0)
            ctx->Settings.NonscrollSplitterPos = pnlMaxSplitter->BarPosition() & 0x7F;
        if (ActiveControl() == FullTitleEditFld) SetActiveControl(maxHelpText);
        FullTitleEditFld->SetVisible(false);
        pnlMaxSplitter->SetBarPosition(0);
    } else {
        FullTitleEditFld->SetVisible(true);
        int position = ctx->Settings.NonscrollSplitterPos;
        if (position < 0) position = 0;
        if (position > 100) position = 100;
        pnlMaxSplitter->SetBarPosition(position);
    }
}

void TForm1::TabBookClick() {
    try {
        PostIfEditing(ctx->detailTable);
        if (ctx->Hooks.RefreshPageFilters) ctx->Hooks.RefreshPageFilters();
        SetViewColumns(*this);
        if (CurrentView() == kMaxViewPage) ShowMaxViewTitle();
        PostIfEditing(ctx->detailTable);
        PostIfEditing(ctx->mainTable);
    } catch (const std::exception&) {
        // A refused post has said why; the row stays in its editing state.
    }
    btnFilterNow->SetEnabled(CurrentView() == kContentsPage);
    if (CurrentView() == kContentsPage) ArrangeContentsPage();
    // A view chosen by its key leaves the focus on the page just hidden,
    // where keys would reach nothing the author sees: the view's own
    // editor or grid takes it.
    gui::TWinControl* active = ActiveControl();
    if (active && !active->Showing() && Visible()) {
        const std::string view = CurrentView();
        gui::TWinControl* next = view == kSplitViewPage  ? static_cast<gui::TWinControl*>(HelpText)
                                 : view == kMaxViewPage  ? static_cast<gui::TWinControl*>(maxHelpText)
                                 : view == kFilterViewPage ? static_cast<gui::TWinControl*>(filterGrid)
                                                           : static_cast<gui::TWinControl*>(cntGrid);
        if (next->CanFocus()) next->SetFocus();
    }
}

void TForm1::SpeedButton6Click() {
    db::TDataSet* d = ctx->detailTable;
    try {
        const db::TBookmark place = d->Active() && !d->IsEmpty() && !d->IsEditing() ? d->GetBookmark() : db::TBookmark();
        PostIfEditing(d);
        PostIfEditing(ctx->mainTable);
        if (!place.empty() && d->BookmarkValid(place)) d->GotoBookmark(place);
    } catch (const std::exception&) {
    }
}

void TForm1::InsertTopic1Click() {
    gui::TWinControl* active = ActiveControl();
    if (active != detailGrid && active != filterGrid) return;
    try {
        ctx->detailTable->Insert();
    } catch (const std::exception&) {
    }
}

void TForm1::DeleteTopic1Click() {
    if (CurrentView() == kContentsPage) {
        try {
            if (ctx->cntTable->Active() && !ctx->cntTable->IsEmpty()) ctx->cntTable->Delete();
        } catch (const std::exception&) {
        }
        return;
    }
    std::string status;
    try {
        if (DeleteTopic(*ctx, status) && !status.empty()) StatusPanel->SetCaption(status);
    } catch (const std::exception&) {
    }
}

void TForm1::FollowInNavigator(db::TDataSet* table) {
    ctx->activeSource->SetDataSet(table);
    DBNavigator1->SetDataSource(ctx->activeSource);
}

void TForm1::PageGridEnter() {
    FollowInNavigator(ctx->detailTable);
    try {
        if (ctx->ProcessMessages) ctx->ProcessMessages();
        db::TDataSet* d = ctx->detailTable;
        // A project without pages starts its first page at once, in the HelpId column.
        if (d->Active() && d->IsEmpty() && !d->IsEditing() && !ctx->mainTable->IsEmpty()) {
            d->Insert();
            if (ctx->ProcessMessages) ctx->ProcessMessages();
            for (const char* name : {"HelpId", "Title", "HelpId"})
                for (int i = 0; i < detailGrid->GetFieldCount(); ++i)
                    if (detailGrid->GetFields(i) && detailGrid->GetFields(i)->FieldName == name) detailGrid->SetSelectedIndex(i);
        }
    } catch (const std::exception&) {
    }
}

void TForm1::ContentsJumpToPage() {
    db::TDataSet* c = ctx->cntTable;
    if (!c->Active() || c->IsEmpty()) return;
    const std::string jump = c->FieldByName("Jump")->AsString();
    if (jump.empty()) return;
    auto isNumber = [](const std::string& s) {
        if (s.empty()) return false;
        for (char ch : s)
            if (ch < '0' || ch > '9') return false;
        return s.size() < 10;
    };
    std::string id = jump;
    if (!isNumber(jump)) {
        LookupHelpIdByContext(*ctx, jump, id);
        if (id.empty()) {
            gui::MessageBeep(0);
            StatusPanel->SetCaption("Context string not found");
            return;
        }
    }
    vl::TvlTable* d = ctx->detailTable;
    if (!d->db::TTable::FindKey({db::TValue(ctx->mainTable->FieldByName("Application")->AsString()),
                                 db::TValue(static_cast<std::int64_t>(std::stoll(id)))})) {
        gui::MessageBeep(0);
        StatusPanel->SetCaption("Help id not found");
        return;
    }
    TabBook->SetActivePageName(kSplitViewPage);
    TabBookClick();
}

void TForm1::PageGridDblClick() {
    db::TField* field = detailGrid->GetSelectedField();
    if (!field || field->FieldName != "TopicPopup") return;
    try {
        db::TDataSet* d = ctx->detailTable;
        if (!d->IsEditing()) d->Edit();
        field->SetAsString(field->AsString() == "T" ? "P" : "T");
    } catch (const std::exception&) {
    }
}

void TForm1::sbtnLocateClick() {
    const std::string view = CurrentView();
    gui::TWinControl* active = ActiveControl();
    if (view == kSplitViewPage && active == HelpText) {
        HelpText->ShowFindDialog();
        return;
    }
    if (view == kMaxViewPage && (active == maxHelpText || active == FullTitleEditFld)) {
        static_cast<richtext::TDBJDRichText*>(active)->ShowFindDialog();
        return;
    }
    if (auto* edit = dynamic_cast<db::TDBEdit*>(active)) {
        LocateInSource(edit->DataSource(), edit->DataField());
    } else if (auto* grid = dynamic_cast<TViewGrid*>(active)) {
        db::TField* f = grid->GetSelectedField();
        LocateInSource(grid->GetDataSource(), f ? f->FieldName : std::string());
    }
}

void TForm1::LocateInSource(db::TDataSource* source, const std::string& fieldName) {
    try {
        if (!source || !source->DataSet() || !source->DataSet()->FindField(fieldName))
            throw std::runtime_error("no field");
        if (RunLocateDialog) RunLocateDialog(source, fieldName);
    } catch (const std::exception&) {
        ShowWarning("Warning", "Locate problem : Source or field does not exist.");
    }
}

void TForm1::ShowHelpBtnClick() {
    vl::TvlTable* m = ctx->mainTable;
    if (!m->Active() || m->IsEmpty()) return;
    const std::string dir = ProjectFolderOrProgramDir(m->FieldByName("ProjectDir")->AsString(), ctx->ProgramDir);
    if (!plat::DirectoryExists(dir)) {
        ShowWarning("Warning", "The directory, " + dir +
                                   ", does not exist. Please change it from the Compiler Options page in Project "
                                   "Options [F6].");
        return;
    }
    plat::SetCurrentDir(dir);
    std::string name = m->FieldByName("DosName")->AsString();
    if (m->FieldByName("Compile")->AsString() == "16") {
        if (m->FieldByName("16bitName")->AsString().empty()) {
            try {
                if (!m->IsEditing()) m->Edit();
                m->FieldByName("16bitName")->SetAsString(name);
                m->Post();
            } catch (const std::exception&) {
            }
        }
        name = m->FieldByName("16bitName")->AsString();
    }
    const std::string file = plat::JoinPath(dir, name + ".HLP");
    if (!plat::FileExists(file)) {
        ShowWarning("Warning",
                    "You must first Compile your .HLP file before you can view it. Press Enter to close this "
                    "message and press F8 to Compile.");
        return;
    }
    if (!StartHelpViewer || !StartHelpViewer(file))
        ShowWarning("Warning", "The help viewer WinHlp32.exe could not be started.");
}

void TForm1::sbtnGlanceClick() {
    try {
        PostIfEditing(ctx->mainTable);
    } catch (const std::exception&) {
        return;
    }
    SetActiveControl(ApplicationFld);
    TProjectsForm glance(this);
    const std::string current =
        ctx->mainTable->IsEmpty() ? std::string() : ctx->mainTable->FieldByName("Application")->AsString();
    glance.GoToProject(current);
    if (glance.ShowModal() != gui::mrOk) return;
    const std::string chosen = glance.SelectedProject();
    if (!chosen.empty()) ctx->mainTable->FindKey({db::TValue(chosen)});
}

void TForm1::HelpContentsClick() {
    const std::string file = plat::JoinPath(ctx->ProgramDir, "Tavrin.HLP");
    if (!plat::FileExists(file)) {
        ShowWarning("Warning", "Tavrin.HLP was not found.");
        return;
    }
    if (!StartHelpViewer || !StartHelpViewer(file))
        ShowWarning("Warning", "The help viewer WinHlp32.exe could not be started.");
}

void TForm1::ShowTableState() {
    std::string text;
    for (db::TDataSet* t : {static_cast<db::TDataSet*>(ctx->mainTable), static_cast<db::TDataSet*>(ctx->detailTable),
                            static_cast<db::TDataSet*>(ctx->prefsTable)}) {
        if (t->State() == db::dsEdit) text = "Edit";
        if (t->State() == db::dsInsert) text = "Inserting new record";
    }
    TableStatus->SetCaption(text);
}

void TForm1::ShowCursorPosition(richtext::TDBJDRichText* editor) {
    int pos = 0, line = 0, par = 0, posInPar = 0;
    editor->GetCursorInfo(pos, line, par, posInPar);
    TableStatus->SetCaption("Line:" + std::to_string(editor->GetPageLine()) + ", Pos:" + std::to_string(posInPar + 1));
}

}  // namespace editor
