// The commands on page text: entering the page editors, character
// formatting, saving a page to a file, hot spots (topic jumps, popups,
// macros) with their jump-reference rows, pictures, lists and tables,
// printing and spell checking. Each works on one editor and the editor's
// context; the dialogs they need come through `PageTextUi`, so the main
// window gives its forms and tests give a script.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "project/editor_context.h"
#include "project/page_marks.h"
#include "project/page_text.h"
#include "richtext/model/jd_txt_def.h"

namespace gui {
class TCanvas;
class TWinControl;
}
namespace richtext {
class TJDCustomRtfEdit;
class TJDCustomRichText;
class TDBJDRichText;
}  // namespace richtext
namespace spell {
class TJDSpellDlg;
}

namespace editor {

inline constexpr const char* kFormatNeedsSelection = "Please highlight the text to format Bold";
inline constexpr const char* kSpellMoveToText = "Move to the help text field to spellcheck";
inline constexpr const char* kSpellComplete = "Spellcheck complete";
inline constexpr const char* kLinkGone = "This link no longer exists.";
inline constexpr const char* kJumpExistsCaption = "A Jump already exists here";
inline constexpr const char* kSaveProblem = "There was a problem trying to save this to file.";

enum class HotSpotKind { Topic, Popup, Macro };
enum class CharFormat { Bold, Italic, Underline, Normal };

// What the jump-change form answered.
enum class JumpChange { Cancel, Keep, Clear, Follow };

// A picture the picture dialog chose.
struct PictureChoice {
    std::string directory;
    std::string fileName;
    PictureKind kind = PictureKind::Centre;
    bool transparent = false;
};

// The dialogs the commands ask. Each returns false when cancelled.
class PageTextUi {
public:
    virtual ~PageTextUi() = default;
    // TJumpsForm over the project's topics or popups: the typed target, or
    // the chosen row's context string and help id.
    virtual bool ChooseJumpTarget(bool popups, std::string& typed, std::string& context, std::int64_t& helpId) = 0;
    // TMacroForm: the macro text (empty when the memo was emptied).
    virtual bool EditMacro(std::string& text) = 0;
    virtual JumpChange ChangeJump(const std::string& target) = 0;
    // TGraphicDlg, starting in `startDir` with `preset` chosen.
    virtual bool ChoosePicture(const std::string& startDir, PictureChoice& choice) = 0;
    // TGraphicFilenameForm: 0 OK, 4 delete, 5 modify.
    virtual int ShowPictureReference(const std::string& alignment, const std::string& fileName) = 0;
    // TfrmBullets: the chosen list (0 Bullet ... 6 None).
    virtual bool ChooseList(int& choice) = 0;
    // TJDTableSelect: rows, columns, borders.
    virtual bool ChooseTable(int& rows, int& cols, bool& borders) = 0;
    // "Go Back?" after following a link.
    virtual bool AskGoBack() = 0;
};

// What the page commands need besides the editor.
struct PageTextHost {
    EditorContext* ctx = nullptr;
    PageTextUi* ui = nullptr;
    // The project RTF header an empty page starts from, and the default
    // attributes of new body and title text.
    std::string HeaderRtf;
    richtext::TJDCharAttr DefaultTextAttr{}, DefaultTitleAttr{};
    // False: new text takes the header's own attribute.
    bool HasDefaultAttrs = true;
    // The project's default fonts (text and title) as the display settings
    // give them; when set they win over the attributes above, their font
    // looked up by name in the editor that takes them.
    struct DefaultFont {
        TitleFont font;
        unsigned style = 0;
    };
    std::optional<DefaultFont> DefaultTextFont, DefaultTitleFont;
    // The project font list (bullets need "Symbol").
    std::vector<std::string> ProjectFonts;
    // The status panel; a beep with the exclamation sound.
    std::function<void(const std::string&)> SetStatus;
    std::function<void()> Beep;
    std::string StatusText;
    void Status(const std::string& s);
    void DoBeep();
};

// --- entering and formatting -------------------------------------------------------------
// Entering a body (or title) editor bound to the page table: nothing when
// it has a selection; the modified flag is cleared; only a page whose stored
// field is empty takes the project header and the default attribute.
void EnterPageEditor(PageTextHost& host, richtext::TJDCustomRtfEdit& editor, bool title);
// True when the text of a stored page field holds anything: a page with
// pictures or a table but no letters, or RTF that could not be read, is
// never replaced.
bool StoredPageHasContent(const std::string& stored);
// Bold, italic and underline switch only their own bit on the selection;
// Normal clears the three but leaves hidden targets and the hot-spot text
// before them whole. Without a selection: a beep and the status text.
bool FormatSelection(PageTextHost& host, richtext::TJDCustomRtfEdit* editor, CharFormat format);
// The insert attribute of a default font in `editor`: its current attribute
// with the font (registered by name), size (0 keeps it), colour number and
// style bits given.
richtext::TJDCharAttr DefaultAttribute(richtext::TJDCustomRtfEdit& editor, const TitleFont& font, unsigned style);
// Ends the bordered block at the paragraph holding the cursor, so the
// paragraph after it starts a block of its own. False (nothing changed)
// without an editor, on a paragraph without a border or when the page may
// not change.
bool EndParagraphBorder(richtext::TJDCustomRtfEdit* editor);
// Leaving the title editor: while the page row is being edited its text
// goes into the stored field at once, so the field holds what the editor
// shows. False when nothing was written.
bool LeaveTitleEditor(richtext::TDBJDRichText& editor);

// Writes the editor to `fileName` as RTF, text or HTML by the extension (in
// any case), through a temporary file renamed over the old one; a failure
// leaves the old file and warns. `write` replaces the editor's own writer
// (tests inject failures).
bool SaveCurrentPage(richtext::TJDCustomRtfEdit* editor, const std::string& fileName,
                     std::function<void(const std::string& tempName)> write = {});

// Cut, copy, paste and select all by the focused control: a page editor
// (a paste puts the page into edit state first), a data-aware edit, and
// nothing for anything else (the page grid). False when nothing ran.
enum class ClipAction { Cut, Copy, Paste, SelectAll };
bool ClipboardCommand(gui::TWinControl* focused, ClipAction action);

// --- hot spots -------------------------------------------------------------------------------
// The current page's help id (0 without one).
std::int64_t CurrentPageHelpId(EditorContext& ctx);
// Marks the selection of `editor` as a hot spot: asks the target through
// the host's dialog, types it hidden after the text and adds the
// jump-reference row for topic and popup jumps. False when nothing changed.
bool MakeHotSpot(PageTextHost& host, richtext::TJDCustomRtfEdit* editor, HotSpotKind kind);
// The mark itself, with the target given (no dialog, no reference row).
bool MarkSelection(PageTextHost& host, richtext::TJDCustomRtfEdit& editor, HotSpotKind kind,
                   const std::string& target);
// The help id a target names in the current project (a context string or a
// number of a page of it); -1 when none.
std::int64_t ResolveJumpTarget(EditorContext& ctx, const std::string& target);
// Adds the jump-reference row once, only when the target resolves.
bool AddJumpReference(EditorContext& ctx, const std::string& target, std::int64_t referencedBy);
// A hot-spot click: edits or removes a macro, or shows the jump-change
// form and follows, clears or keeps the jump.
void HotSpotClicked(PageTextHost& host, richtext::TJDCustomRtfEdit* editor, const std::string& text,
                    const std::string& target);
// Removes the hot spot whose hidden target is found from the cursor on.
bool RemoveHotSpot(richtext::TJDCustomRtfEdit& editor, const std::string& target);
// Moves the page table to the page a target names; false (and the
// warning) when it no longer exists.
bool FollowLink(PageTextHost& host, const std::string& target);

// --- pictures, lists and tables -------------------------------------------------------------
// Inserts the chosen picture with its reference; a ".SHG" without its
// ".BMP" twin is typed as "{reference}". A picture that cannot be loaded
// warns and inserts nothing.
bool InsertPictureChoice(richtext::TJDCustomRtfEdit& editor, const PictureChoice& choice);
bool InsertGraphicCommand(PageTextHost& host, richtext::TJDCustomRtfEdit* editor);
// The picture object at (or one before) the cursor and its reference.
bool FindPictureAtCursor(richtext::TJDCustomRtfEdit& editor, int& pos, std::string& reference);
void ShowGraphicFilename(PageTextHost& host, richtext::TJDCustomRtfEdit* editor);
bool BulletsCommand(PageTextHost& host, richtext::TJDCustomRtfEdit* editor);
bool CreateTableCommand(PageTextHost& host, richtext::TJDCustomRtfEdit* editor);

// --- printing --------------------------------------------------------------------------------
// The page footer: a line along the top of the rectangle, then
// " <page> - <help title>" half a text height below it.
void DrawPageFooter(gui::TCanvas& canvas, int x, int y, int w, int h, int page, const std::string& helpTitle);
// Fills `printer` with the project's page list (one line a page of
// CdetailTable) in Courier New, 6 point wide or 10 point narrow.
void FillPageList(EditorContext& ctx, richtext::TJDCustomRtfEdit& printer, bool wide);
// Fills and prints it; the footer names the project's help title. `wait`
// shows "Printing..." before and "" (hidden) after, also when printing fails.
void PrintPageList(EditorContext& ctx, richtext::TJDCustomRtfEdit& printer, bool wide,
                   const std::function<void(const std::string&)>& wait = {});
// Prints one page editor's text whole.
void PrintThisPage(richtext::TJDCustomRtfEdit& page, richtext::TJDCustomRtfEdit& printer, const std::string& title);

// --- spelling --------------------------------------------------------------------------------
// The check of one editor; the spell dialog in the program, a script in tests.
class PageSpeller {
public:
    virtual ~PageSpeller() = default;
    virtual void Open() = 0;
    // 2 when the user ended the check.
    virtual int Check(richtext::TJDCustomRtfEdit& editor) = 0;
    virtual void Close() = 0;
};
// The rich-text spell dialog as a PageSpeller.
class DialogSpeller : public PageSpeller {
public:
    explicit DialogSpeller(spell::TJDSpellDlg& dlg) : dlg_(dlg) {}
    void Open() override;
    int Check(richtext::TJDCustomRtfEdit& editor) override;
    void Close() override;

private:
    spell::TJDSpellDlg& dlg_;
};
enum class SpellScope { FromCursor, CurrentPage };
// One editor from the cursor or from its top; without an editor only the
// move-to-field prompt and a beep.
bool SpellPage(PageTextHost& host, PageSpeller& speller, richtext::TJDCustomRtfEdit* editor, SpellScope scope);
// Every page of the page table (from the first or the current one) through
// `editor`, which is bound to it; a cancelled page stops the run there.
bool SpellAllPages(PageTextHost& host, PageSpeller& speller, richtext::TJDCustomRtfEdit* editor, bool fromCurrent);

}  // namespace editor
