// The main window: a thin shell over the editor's context. It lays out the
// project fields, the four views of the notebook and the read-outs, runs the
// context's start-up and shut-down, and copies the state of its controls in
// and out of the settings. The views' behaviour comes with their own code.
//
// Each tool-bar button runs its menu item's command by the item's name, so
// button and menu never disagree; F4 and F5 press the jump buttons only when
// no menu item carries the key (that item has run as the key went down).
#pragma once

#include <memory>

#include "controls/data/vl_db_grid.h"
#include "controls/misc/small_controls.h"
#include "editor/commands/compile_commands.h"
#include "project/editor_context.h"
#include "project/page_rules.h"
#include "editor/forms/tip_form.h"
#include "controls/db/db_controls.h"
#include "controls/db/db_grid.h"
#include "platform/gui/buttons.h"
#include "platform/gui/forms.h"
#include "platform/gui/menus.h"
#include "platform/gui/std_controls.h"
#include "platform/gui/tabs.h"
#include "platform/gui/tree_view.h"
#include "controls/richdb/db_rich_text.h"

#include <functional>
#include <vector>

namespace richtext {
class TJDCustomRtfEdit;
}

namespace buildui {
class ExplorerView;
}

namespace editor {

// The captions the code tells the views apart by. Their letters are their
// own in the window: no menu of the bar, no other tab and no label of the
// project fields shares one.
inline constexpr const char* kSplitViewPage = "&Split View";
inline constexpr const char* kMaxViewPage = "&Max View";
inline constexpr const char* kFilterViewPage = "Filter &View";
inline constexpr const char* kContentsPage = "C&ontents";

// The views' grids.
using TViewGrid = vl::TvlCustomDBGrid;

// Where the contents grid draws an entry's cell: the icon ("BITMAP_3" for
// headings, "BITMAP_4" for the rest) at the entry's level, the title beside
// it. Entries of type "I" and the "Filter" column are the grid's own.
class CellPainter {
public:
    virtual ~CellPainter() = default;
    virtual void FillRect(const gui::TRect& rect) = 0;
    virtual void DrawIcon(int x, int y, const std::string& bitmap) = 0;
    virtual void TextOut(int x, int y, const std::string& text) = 0;
};
// False when the grid draws the cell as usual.
bool DrawContentsCell(CellPainter& painter, const gui::TRect& cell, const std::string& fieldName,
                      const std::string& entryType, int level, const std::string& title, int bitmapWidth);

// Gives a page editor the look of jump text: the colour (0x00BBGGRR) and
// an underline, so a jump stands out from the words around it.
void ShowJumpText(richtext::TJDCustomRtfEdit& editor, long colour);

// The main window's smallest size.
inline constexpr int kMainWindowMinWidth = 480, kMainWindowMinHeight = 360;
// Its size at the first start.
inline constexpr int kMainWindowFirstWidth = 1024, kMainWindowFirstHeight = 720;

// The tips the main window's tip of the day offers.
plat::StringList MainWindowTips();

class TForm1 : public gui::TForm {
public:
    explicit TForm1(gui::TComponent* AOwner);
    ~TForm1() override;

    EditorContext* ctx;

    gui::TMainMenu* MainMenu1;
    gui::TMenuItem* miFile;
    gui::TMenuItem* miExit;
    gui::TMenuItem* miHelp;
    gui::TMenuItem* miShowHints;
    gui::TMenuItem* miTipOfTheDay;
    gui::TMenuItem* miBackup;
    gui::TMenuItem* miImport;
    gui::TMenuItem* miExport;
    gui::TMenuItem* miCompileMenu;
    gui::TMenuItem* miCompile;
    gui::TMenuItem* QuickCompile1;
    gui::TMenuItem* miRecompile;
    gui::TMenuItem* miErrorLog;
    gui::TMenuItem* miDelphiKwf;
    gui::TMenuItem* miTools;
    gui::TMenuItem* miFilterMenu = nullptr;
    gui::TMenuItem* miGenerateUserRtfFile;
    gui::TMenuItem* miCopyTo;
    gui::TMenuItem* miShed;
    gui::TMenuItem* miPaint;
    gui::TMenuItem* miWord;

    // The import and export wizards, when the program has them; their menu
    // items are disabled otherwise.
    std::function<void()> ImportWizard, ExportWizard;

    gui::TPanel* Panel6;
    gui::TLabel* lblApplication;
    gui::TLabel* lblDosName;
    gui::TLabel* lblHelpTitle;
    db::TDBEdit* ApplicationFld;
    db::TDBEdit* DosNameFld;
    db::TDBEdit* HelpTitleFld;
    gui::TButton* sbtnGlance;
    db::TDBNavigator* DBNavigator1;

    gui::TTabbedNotebook* TabBook;
    misc::TTwoWaySplitter* splitViewSplitter;
    gui::TPageControl* PageControl1;
    gui::TTabSheet* TabSheet1;
    gui::TTabSheet* TabSheet2;
    TViewGrid* detailGrid;
    gui::TTreeView* TreeView1;
    // The contents explorer over TreeView1.
    std::unique_ptr<buildui::ExplorerView> Explorer;
    // The split view's page editor, on its pane under its formatting bar.
    gui::TPanel* pnlHelpText;
    richtext::TJDToolBar* JDToolBar1;
    richtext::TDBJDRichText* HelpText;

    gui::TPanel* pnlInherit;
    gui::TLabel* lblInherit;
    misc::TTwoWaySplitter* pnlMaxSplitter;
    // The max view's formatting bar, over the title and the page text.
    richtext::TJDToolBar* JDToolBar2;
    richtext::TDBJDRichText* FullTitleEditFld;
    richtext::TDBJDRichText* maxHelpText;
    gui::TPanel* pnlMax;
    // Hidden: holds the project's RTF header that pasted text takes over.
    richtext::TJDCustomRtfEdit* jdProjectRtfHeader;

    TViewGrid* filterGrid;
    TViewGrid* cntGrid;

    gui::TPanel* pnlStatus;
    gui::TPanel* TableStatus;
    gui::TPanel* StatusPanel;

    // Commands of the views.
    gui::TMenuItem* miOpenProject;
    gui::TMenuItem* miHelpContents;
    gui::TMenuItem* miHowDoI;
    gui::TMenuItem* miSave;
    gui::TMenuItem* miViewCompiledHelp;
    gui::TMenuItem* miEdit;
    gui::TMenuItem* InsertTopic1;
    gui::TMenuItem* DeleteTopic1;
    gui::TMenuItem* miFind;
    gui::TMenuItem* miUndoRecord;
    gui::TPanel* pnlTools;
    gui::TSpeedButton* SpeedButton6;
    gui::TSpeedButton* sbtnLocate;
    gui::TSpeedButton* ShowHelpBtn;

    // The rest of the tool bar (main_toolbar.cpp). Speed buttons take no
    // focus, so a command finds the control the author was working in.
    gui::TSpeedButton *sbtnNew, *SpeedButton5, *sbtnCut, *sbtnCopy, *sbtnPaste, *sbtnSelectAll, *sbtnReplace;
    gui::TSpeedButton *sbtnTopicJump, *sbtnPopup, *sbtnMacro, *sbtnGraphic, *sbtnBullets, *sbtnCreateTable;
    gui::TSpeedButton *sbtnCompile, *sbtnPartCompile, *sbtnErrorLog, *sbtnOptions, *sbtnSpell, *sbtnCopyTo;
    gui::TSpeedButton *sbtnShed, *sbtnPaint, *sbtnWord, *SpeedButton4, *sbtnHelp, *sbtnExit;
    // "Footnotes" in the max view.
    gui::TSpeedButton* SpeedButton2;
    gui::TMenuItem* miHelpSearch;
    // The page grid's pop-up and the "What's this" pop-up of the buttons.
    gui::TPopupMenu* popGrid;
    gui::TMenuItem *Filter2, *miGridWhatsThis, *miGridPrintPageList;
    gui::TPopupMenu* popWhatsThis;
    gui::TMenuItem* WhatsThis1;

    // The Contents page (main_contents_page.cpp): the entry fields, the
    // commands and the contents file's extra lines.
    gui::TPanel* Panel16;
    gui::TPanel* pnlCntButtons;
    gui::TSpeedButton *btnCntAddAbove, *btnCntAddBelow, *btnCntMoveRight, *btnCntMoveLeft, *btnCntDeleteEntry,
        *btnCntClearAll, *btnCntReadCnt, *btnCntWriteCnt, *btnFilterNow;
    gui::TPanel* pnlCntEntry;
    db::TDBEdit *editCntTitle, *editCntJump;
    gui::TTabSet* tabCntExtras;
    gui::TNotebook* nbCntExtras;
    db::TDBMemo *memoCntLinkFiles, *memoCntIndexFiles, *memoCntTabs;
    gui::TMenuItem* miContentsMenu;

    TTipOfTheDay* TipOfTheDay1;
    // The pictures the grids draw ("BITMAP_1".."BITMAP_4").
    gui::TBitmap Bitmaps[4];

    // False when start-up could not open the tables: the program ends
    // with a non-zero exit code.
    bool StartupOk() const { return startupOk_; }
    // The splash window, freed when the main window has been shown.
    gui::TForm* Splash = nullptr;
    // Screenshots and scripted runs show no modal tip window.
    bool SuppressTipWindow = false;
    // The start-up's message 1066 waits for the window's first paint.
    bool DeferredStartupWaiting() const { return deferredStartupWaiting_; }

    void FormCreate();
    void FormShow();
    void FormCloseQuery(bool& CanClose);
    void FormClose();
    // The application's hint handler.
    void ShowApplicationHint();

    // --- views and navigation ---------------------------------------------------------
    // The form's key-up: F3, F4, F5, Alt+Backspace, Ctrl+Z, F9.
    void FormKeyUp(unsigned& Key, gui::TShiftState Shift);
    void FocusCycle();
    // Edit | Undo record, Alt+Backspace: pending edits of the four tables are dropped.
    void UndoRecord();
    // The page grid's title column takes the width its pane has left, so
    // the short columns stay in view and no horizontal bar shows.
    void FitPageGridTitle();
    // The title column of `grid` takes the width the other columns leave
    // (with `titleLast`, only while the title is the last column).
    void FitGridTitle(TViewGrid* grid, bool titleLast);
    void TabBookClick();
    void SpeedButton6Click();
    void InsertTopic1Click();
    void DeleteTopic1Click();
    void sbtnLocateClick();
    void LocateInSource(db::TDataSource* source, const std::string& fieldName);
    void ShowHelpBtnClick();
    // File | Open Project and the "..." button: projects at a glance.
    void sbtnGlanceClick();
    // Help | Contents: the program's own help file in the viewer.
    void HelpContentsClick();
    // The notebook page shown, by caption.
    std::string CurrentView() const;
    // The locate dialog; tests put a recorder here.
    std::function<void(db::TDataSource* source, const std::string& fieldName)> RunLocateDialog;
    // Starts the help viewer with a compiled help file, without waiting.
    std::function<bool(const std::string& helpFile)> StartHelpViewer;
    // The page editor named by the active control ("" when none).
    richtext::TDBJDRichText* ActivePageEditor() const;
    // Message 1067: the active page editor takes over the project header.
    void WMAfterPaste();

    // --- tool bar, pop-ups and the Contents page ------------------------------------------
    // Runs a menu item's command by the item's name, whatever its menu state;
    // false when there is none.
    bool ClickMenuItem(const std::string& name);
    // Whether a menu item carries this key (no shift) as its short-cut.
    bool MenuKeyTaken(unsigned key, gui::TShiftState shift = 0);
    // Edit menu states, as the menu opens.
    void UpdateEditMenuItems();
    // Contents menu states: only on the Contents page.
    void UpdateContentsMenuItems();
    // Help | Search: the program help's index.
    void HelpSearchClick();
    // The page grid pop-up's "What's this?": the column's pop-up help.
    void GridWhatsThisClick();
    // popWhatsThis: the pop-up help of the control that opened it.
    void WhatsThisClick();
    // The new-page button: the wizard from a project field, else a new page.
    void sbtnNewClick();
    // "Footnotes": the footnotes editor; the page editor keeps its caret.
    void SpeedButton2Click();
    // The footnotes editor; tests put a recorder here.
    std::function<void()> RunFootnotesEditor;
    void btnCntDeleteEntryClick();
    void btnCntClearAllClick();
    void btnFilterNowClick();
    // Start-up: the extras notebook shows the page its tab set selects.
    void ShowContentsExtrasPage();

    // Hidden page editors on the second page cursor: a full build takes them
    // off their fields and puts them back after.
    richtext::TDBJDRichText* jdCFullTitle = nullptr;
    richtext::TDBJDRichText* jdCHelpText = nullptr;

    // The build, backup and outside-program commands with this window's
    // dialogs and progress window.
    void sbtnCompileClick(bool showOptions);
    void sbtnPartCompileClick();
    void BackupClick();

private:
    void BuildMenu();
    void BuildCommandMenus();
    CompileHooks MakeCompileHooks();
    void BuildProjectFields();
    void BuildViews();
    void BuildStatus();
    void ApplySettingsToControls();
    void TakeSettingsFromControls();
    void BuildCommands();
    void BuildToolBar();
    // Places the tool bar's buttons in rows as wide as the window.
    void ArrangeToolButtons();
    std::vector<std::vector<gui::TSpeedButton*>> toolRows_;
    int toolsArrangedWidth_ = -1;
    bool toolsArrangePending_ = false;
    // The project fields and their navigator as wide as the window allows:
    // the fields narrow first, then the navigator takes a row of its own.
    void ArrangeProjectFields();
    // The Contents page on a short or narrow window: its buttons wrap into
    // rows, and the filter history and the entry's extra lines give up
    // height before the contents grid does.
    void ArrangeContentsPage();
    // Runs `arrange` once the alignment under way is over (once per round).
    void ArrangeLater(gui::TWinControl* control, bool& pending, std::function<void()> arrange);
    bool projectFieldsPending_ = false, contentsPending_ = false;
    void WireToolBar();
    void BuildContentsPage();
    void WireContentsPage();
    void BuildHiddenPageEditors();
    void WireViews();
    void ShowMaxViewTitle();
    void ShowTableState();
    void ShowCursorPosition(richtext::TDBJDRichText* editor);
    void ApplyDisplay(const DisplaySettings& s);
    void PageGridDblClick();
    void PageGridEnter();
    // A double click on a contents entry shows the page it jumps to.
    void ContentsJumpToPage();
    void FollowInNavigator(db::TDataSet* table);
    void DrawContentsGridCell(const gui::TRect& rect, db::TField* field);
    void PageGridCellColors(db::TField* field, gui::TFont& font, gui::TBrush& brush);
    bool startupOk_ = true;
    // Message 1066 once the window is on the screen and painted.
    void PostDeferredStartupWhenPainted();
    bool deferredStartupWaiting_ = false;
};

}  // namespace editor
