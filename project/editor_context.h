// The editor without its windows: the project table components under the
// names the rest of the program uses, the program-wide values of the main
// window, and its start-up and shut-down. It reaches the user only through
// the dialog service, the help hook, the process layer, the clock and the
// hooks below; the main window is a thin shell that fills those hooks and
// copies its controls' state in and out. Its deferred start-up and
// after-paste work are posted to a message window of its own, so they run
// without the main window.
#pragma once

#include "data/vl_table.h"
#include "data/bag.h"
#include "project/settings.h"
#include "platform/core/component.h"
#include "platform/core/streams.h"
#include "data/data_source.h"
#include "platform/win/win_types.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace editor {

// Help commands as the help hook receives them.
inline constexpr unsigned kHelpContext = 0x0001;
inline constexpr unsigned kHelpQuit = 0x0002;
// The help context of the first-run help page and of the repair question.
inline constexpr long kFirstRunHelpContext = 2010;
inline constexpr long kTablesFailedHelpContext = 9460;
// Posted to the editor's window: deferred start-up work, and the header
// repair after a paste into a page editor.
inline constexpr unsigned kWmDeferredStartup = 0x0400 + 42;  // 1066
inline constexpr unsigned kWmAfterPaste = 0x0400 + 43;       // 1067

inline constexpr const char* kTablesFailedText =
    "One or more tables could not be opened. If you know that the BDE was successfully installed then answer "
    "[Yes] to load the Table Repair Centre otherwise answer [No] and re-install the BDE. Do you wish to load the "
    "Table Repair Centre now?";

// The start-up question when another program holds the folder's tables.
std::string TablesInUseText(const std::string& folder);

struct DamagedTable;  // table_repair.h
// The start-up question for a damaged table that a rebuild can read; the
// damaged file would be kept as `copyName`.
std::string TableDamagedText(const std::string& folder, const DamagedTable& table, const std::string& copyName);
// The start-up message for a damaged table that does not even open.
std::string TableUnreadableText(const std::string& folder, const DamagedTable& table);
// What a user is told to do when a table turns out damaged while the program runs.
inline constexpr const char* kDamagedTableAdvice =
    "Close Tavrin and start it again: it offers to rebuild the table from the rows it can still read.";

// One help request as the hook saw it.
struct HelpRequest {
    std::string helpFile;
    unsigned command = 0;
    long data = 0;
};

using HelpHook = std::function<bool(const std::string& helpFile, unsigned command, long data)>;

// The program's help: records every request and, for anything but a quit,
// warns "<file> not found." when the help file is missing. Installed by
// default; the program's window layer may replace it.
class RecordingHelp {
public:
    bool operator()(const std::string& helpFile, unsigned command, long data);
    const std::vector<HelpRequest>& Requests() const { return requests_; }
    void Clear() { requests_.clear(); }

private:
    std::vector<HelpRequest> requests_;
};

struct DisplaySettings;  // page_rules.h

class EditorContext : public plat::TComponent {
public:
    explicit EditorContext(plat::TComponent* owner = nullptr);
    ~EditorContext() override;

    // --- the table components (owned, found by name as well) -------------------
    vl::TvlTable* mainTable;
    vl::TvlTable* detailTable;
    vl::TvlTable* CdetailTable;
    vl::TvlTable* detailFilterTable;
    vl::TvlTable* inheritTable;
    vl::TvlTable* tblContext;
    vl::TvlTable* tblFilter;
    vl::TvlTable* cntTable;
    vl::TvlTable* cntShadow;
    vl::TvlTable* prefsTable;
    vl::TvlTable* refIntegTable;
    vl::TvlTable* tblInh;
    vl::TvlTable* tblFont;
    vl::TvlTable* tblBackup;
    vl::TvlTable* tblBackTo;
    vl::TvlTable* tblBackFrom;
    db::TDataSource* mainSource;
    db::TDataSource* detailSource;
    db::TDataSource* CdetailSource;
    db::TDataSource* srcContext;
    db::TDataSource* srcFilter;
    db::TDataSource* cntSource;
    db::TDataSource* prefsSource;
    db::TDataSource* srcFont;
    // Follows whichever table the active view edits.
    db::TDataSource* activeSource;

    // A table component by name (without regard to case); nullptr when none.
    vl::TvlTable* Table(const std::string& name) const;
    // The twelve components start-up opens, in the order it opens them.
    std::vector<vl::TvlTable*> StartupTables() const;

    // --- program-wide values --------------------------------------------------------
    std::string ProgramDir;  // the program directory, without a trailing separator
    std::string HelpFile;    // the program's own help file
    bool StartupDone = false;
    bool CancelRequested = false;
    bool ConverterPresent = false;
    bool Force16BitCompile = false;
    std::int64_t TopicColor = 0xFF0000;
    std::int64_t PopupColor = 0xC0C0C0;
    std::unique_ptr<plat::MemoryStream> ScratchStream;

    // --- services -------------------------------------------------------------------
    // Help requests go here; a RecordingHelp by default.
    HelpHook Help;
    RecordingHelp& DefaultHelp() { return *defaultHelp_; }
    bool ShowHelp(unsigned command, long data);

    // Binds the alias "Tavrin" to the program directory: deletes it and adds
    // it again. Results are ignored, as a moved program folder needs no repair.
    void BindAlias();
    // Closes each startup table, points it at the alias and opens it; then
    // points the three work tables at the alias without opening them and
    // opens the project table once more. Throws what the engine raised.
    void OpenTables();
    // Reads the page colours from the preferences table's first row; a field
    // that cannot be read gives blue for topics and silver for popups.
    void LoadPageColours();
    // True when another process holds one of the program folder's tables
    // (ours must be closed).
    bool TablesInUse() const;

    // --- settings, start-up and shut-down --------------------------------------------
    ProgramSettings Settings;
    misc::TBag* Bag1;
    // The screen's font names, given by the window layer (tests give their own).
    std::vector<std::string> ScreenFonts;
    // The font-list check: the sorted screen fonts, the [FontList] keys, and
    // whether they agree.
    std::vector<std::string> memoScreenFonts, memoIniFonts;
    bool FontsUnchanged = true;
    // The dictionary both spell dialogs get (the stored name stays in Settings).
    std::string SpellDictionaryName;

    // Hooks the windows and later features fill; each may stay empty.
    std::function<void()> ProcessMessages;           // pending messages; the queue by default
    std::function<void(bool& showOnStartup)> ShowTipOfTheDayWindow;  // modal tip window
    std::function<void(bool fontsUnchanged)> SyncScreenFonts;        // project header fonts
    std::function<void()> ApplyProjectDisplaySettings;
    std::function<void()> ApplyPageFilterView;
    std::function<void()> FocusPageEditor;           // the split view's page editor
    std::function<void(const std::string& message)> ReportError;     // a message dialog by default
    std::function<void()> AfterPaste;                // re-applies the project header
    // Sends message 1066 on its way; the window waits until it has been
    // painted, so the tip or the help comes over a window, not a black hole.
    std::function<void()> PostDeferredStartup;

    // Features of other parts of the editor that the page and project rules
    // call at fixed points; each may stay empty.
    struct RuleHooks {
        // Before a page post, after the checks: the title-derived fields.
        std::function<void(db::TDataSet& page)> SyncTopicTitleFields;
        // After a post that changed a page's HelpId or context string.
        std::function<void(long prevHelpId, const std::string& prevContextString)> RebuildJumpReferences;
        std::function<void(long prevHelpId, const std::string& prevContextString, long newHelpId,
                           const std::string& newContextString)>
            UpdateContentsJumps;
        std::function<void(long prevHelpId, const std::string& prevContextString)> ReachInheritedCopies;
        // After a post of a page whose InheritedStatus is "Master".
        std::function<void()> PassMasterText;
        // Display settings: the page filters, the contents filter and the explorer.
        std::function<void()> RefreshPageFilters;
        std::function<void()> LoadContentsFilterHistory;
        std::function<void()> ApplyContentsFilter;
        std::function<void()> LoadExplorerView;
        // After a new page row took its defaults: the page grid's cursor
        // goes to the help id, where the user types first.
        std::function<void()> PageInserted;
    };
    RuleHooks Hooks;
    // The window layer's part of the display settings (colours, attributes,
    // font boxes); the argument is an editor::DisplaySettings.
    std::function<void(const DisplaySettings&)> ShowDisplaySettings;

    // Values the page and project rules remember between table events.
    std::string PreviousTopicPopup;
    long PreviousHelpId = 0;
    long PrevHelpId = 0;
    std::string PrevContextString;
    std::string OldApplicationName;

    // Start-up of the main window, headless part. False when the tables
    // could not be opened: the question has been asked and the program must
    // end with a non-zero exit code.
    bool FormCreate();
    // Selects the last project, runs the display hooks, sets StartupDone and
    // posts the deferred start-up when the tip is on.
    void FormShow();
    // Message 1066: the first-run help page, or the tip of the day.
    void WMDeferredStartup();
    bool FirstRun() const;
    // Posts every table being edited; false when one stays in edit.
    bool PostAllPendingEdits();
    // False (the window stays) when a table cannot be posted; a rule's
    // error is reported.
    bool FormCloseQuery();
    // Saves the grid layout and the settings; exceptions other than a font
    // line's pass to the caller.
    void FormClose();
    // The page editors' paste guard: allows the paste and posts 1067.
    void HelpTextBeforePasteEvent(bool& allow);

    // The current project's folders by the project-folder rule ("" when the
    // project table has no current row or the field is empty).
    std::string CurrentProjectFolder() const;
    std::string CurrentGraphicsFolder() const;

    // The window (of the window layer) that receives the editor's posted messages.
    plat::HWND Handle() const { return handle_; }

private:
    void HandleMessage(plat::TMessage& message);
    vl::TvlTable* MakeTable(const std::string& name, const std::string& fileName);
    db::TDataSource* MakeSource(const std::string& name, db::TDataSet* dataSet);

    std::unique_ptr<RecordingHelp> defaultHelp_;
    plat::HWND handle_ = 0;
};

// Where the converter program is: the program directory, beside the running
// program, or PATH; "" when it is nowhere.
std::string FindConverterProgram();

}  // namespace editor
