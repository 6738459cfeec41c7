// The formatting bar above a rich-text editor: icon buttons in groups and
// up to six combo boxes. A press or a choice goes to the attached editor as
// an icon or list selection; the editor reports the caret's attributes back
// through ShowSelection and SetIconDown/Up. Bars chain through NextToolBar so
// one editor drives several of them. The icons are drawn in code, so the
// bar needs no resource files.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "platform/gui/buttons.h"
#include "platform/gui/lists.h"
#include "platform/gui/std_controls.h"

namespace richtext {

class TJDCustomRtfEdit;

// Selection kinds sent to the editor and to the events.
using TJdSelNr = int;
constexpr TJdSelNr jdSelFontName = 1, jdSelFontSize = 2, jdSelFontColor = 3, jdSelBackColor = 4, jdSelStyle = 5,
                   jdSelIconDown = 6, jdSelIconUp = 7, jdSelParColor = 10;

// Icon groups.
constexpr int jdgStyle = 0x100, jdgAlign = 0x200, jdgEdit = 0x300, jdgFile = 0x400, jdgPrint = 0x500,
              jdgDatabase = 0x600;

// What an editor that takes the bar's choices implements (the rich-text
// component does); the bar finds it on the attached editor.
class TJDBarClient {
public:
    virtual ~TJDBarClient() = default;
    virtual void IconSelection(TJdSelNr& typ, const std::string& name, int group, int num) = 0;
    virtual void ListSelection(TJdSelNr& typ, const std::string& str, int num) = 0;
};

using TJDSelectEvent = std::function<void(gui::TObject* Sender, TJdSelNr& Typ, const std::string& str, int num)>;
using TJDIconSelectEvent =
    std::function<void(gui::TObject* Sender, TJdSelNr& Typ, const std::string& str, int group, int num, int index)>;

// The chain and the operations the editor calls; each here only passes the
// call on to NextToolBar.
class TJDCustomToolPanel : public gui::TPanel {
public:
    explicit TJDCustomToolPanel(gui::TComponent* AOwner);
    ~TJDCustomToolPanel() override;

    virtual void AttachEditor(TJDCustomRtfEdit* editor);
    // Return the icon's previous down state (false when none matched).
    virtual bool SetIconDown(const std::string& name, int group, int number);
    virtual bool SetIconUp(const std::string& name, int group, int number);
    virtual void EnableIcon(const std::string& name, int group, bool enabled, int number);
    virtual void ShowSelection(TJdSelNr kind, int number, const std::string& text);
    virtual void ShowFontAttributes(const gui::TFont& font, gui::TColor background, bool withBackground);

    TJDCustomToolPanel* NextToolBar() const { return next_; }
    void SetNextToolBar(TJDCustomToolPanel* next);
    TJDCustomRtfEdit* Editor() const { return editor_; }
    bool Locked = false;
    // The colour table (16 entries) the colour combos show.
    const gui::TColor* ColorTable() const { return colorTable_; }
    void SetColorTable(const gui::TColor* table) { colorTable_ = table; }

protected:
    void Notification(gui::TComponent* AComponent, gui::TOperation Operation) override;
    // Runs `call` on NextToolBar under the re-entry guard; a guard already
    // set means the chain leads back here: the chain is broken and said so.
    void PassOn(const std::function<void(TJDCustomToolPanel&)>& call);
    TJDCustomRtfEdit* editor_ = nullptr;
    const gui::TColor* colorTable_ = nullptr;

private:
    TJDCustomToolPanel* next_ = nullptr;
    bool inChain_ = false;
};

class TJDTBCombo : public gui::TComboBox {
public:
    explicit TJDTBCombo(gui::TComponent* AOwner);
    void WndProc(gui::TMessage& Message) override;
    // Set when an item was chosen from the open list: the editor gets the
    // focus back once the list has closed, not while the user still chooses.
    bool ChosenWhileDropped = false;
};

enum TJDStatusIcon { SelNormal, SelBold, SelItalic, SelUnder, SelHyperLink, SelStrikeOut, SelSuper, SelSub,
                     SelLeft, SelHidden, SelRTFCode, SelRight, SelBlock, SelCenter };
enum TJDActionIcon { SelExit, SelNew, SelOpen, SelSave, SelClose, SelPrint, SelPrintSetup };
enum TJDDatabaseIcon { SelToStart, SelNext, SelPrev, SelToEnd, SelEdit, SelAdd, SelDel, SelCancel, SelPost };
enum TJDEditIcon { SelCopy, SelCut, SelPaste, SelSelAll, SelHideSel, SelFind, SelReplace, SelSpellCheck };
enum TJDListBox { SelFontName, SelFontSize, SelFontColor, SelBackgroundColor, SelStyle, SelParColor };
enum TJDFontChoice { fsPrinterFonts, fsScreenFonts };

// Sets as bit masks over the enumerations above.
using TJDIconSet = unsigned;
template <class E>
constexpr TJDIconSet JDSet(std::initializer_list<E> elements) {
    TJDIconSet s = 0;
    for (E e : elements) s |= 1u << e;
    return s;
}

class TJDToolBar : public TJDCustomToolPanel {
public:
    explicit TJDToolBar(gui::TComponent* AOwner);
    ~TJDToolBar() override;

    void AttachEditor(TJDCustomRtfEdit* editor) override;
    bool SetIconDown(const std::string& name, int group, int number) override;
    bool SetIconUp(const std::string& name, int group, int number) override;
    void EnableIcon(const std::string& name, int group, bool enabled, int number) override;
    void ShowSelection(TJdSelNr kind, int number, const std::string& text) override;
    void ShowFontAttributes(const gui::TFont& font, gui::TColor background, bool withBackground) override;

    TJDIconSet sel_StatusIcons() const { return statusIcons_; }
    void Setsel_StatusIcons(TJDIconSet s);
    TJDIconSet sel_ActionIcons() const { return actionIcons_; }
    void Setsel_ActionIcons(TJDIconSet s);
    TJDIconSet sel_DatabaseIcons() const { return databaseIcons_; }
    void Setsel_DatabaseIcons(TJDIconSet s);
    TJDIconSet sel_EditIcons() const { return editIcons_; }
    void Setsel_EditIcons(TJDIconSet s);
    TJDIconSet sel_ListBoxes() const { return listBoxes_; }
    void Setsel_ListBoxes(TJDIconSet s);
    TJDFontChoice FontChoice() const { return fontChoice_; }
    void SetFontChoice(TJDFontChoice c);
    // The names the font-name combo lists instead of the FontChoice's fonts
    // (a document whose font table must stay within a known set); an empty
    // list goes back to the FontChoice's fonts.
    const std::vector<std::string>& FontNames() const { return fontNames_; }
    void SetFontNames(const std::vector<std::string>& names);
    int FontSizeFrom = 0, FontSizeTo = 0;
    bool ShowFont() const { return showFont_; }
    void SetShowFont(bool v);
    int WidthBetweenGroups() const { return widthBetweenGroups_; }
    void SetWidthBetweenGroups(int v);
    void SetEnabled(bool e) override;
    // Reading it when empty fills it again with the default lines.
    plat::StringList& Hints();
    gui::TComponent* UpdateObject = nullptr;
    std::string UpdateObjectName;
    TJDSelectEvent OnSelection;
    TJDIconSelectEvent OnIconSelection;
    gui::TNotifyEvent OnChange;

    // --- the icon table -------------------------------------------------
    struct TIcon {
        std::string name;  // resource name
        int id = 0, group = 0, number = 0;
        gui::TSpeedButton* button = nullptr;
    };
    static constexpr int kMaxIcons = 49;
    int IconCount() const { return static_cast<int>(icons_.size()); }
    const TIcon& Icon(int index) const { return icons_.at(index); }
    // The first icon by name (when given, without regard to case), else by
    // group and number; -1 when none.
    int FindIcon(const std::string& name, int group, int number) const;
    // The combo of a tag (1 font name, 2 size, 3 text colour, 5 background,
    // 4 style, 6 paragraph colour), nullptr when not shown.
    TJDTBCombo* Combo(int tag) const;
    // Lays out icons and combos again.
    void Relayout();
    // The shared click handler of buttons and combos.
    void ItemClicked(gui::TObject* Sender);
    // Gives the focus back to the control that had it before the bar.
    void ReturnFocus();
    void Loaded() override;

protected:
    void Resize() override;

private:
    static constexpr int kBarHeight = 31;
    // Step 4 of the layout: combos and buttons placed in rows.
    void PlaceItems();
    int placedWidth_ = -1;
    bool placePending_ = false;
    void AddIcon(const char* name, int group, int number);
    void BuildCombos();
    void FillFontNames(TJDTBCombo& combo);
    void DrawFontItem(TJDTBCombo& combo, int index, gui::TRect rect, gui::TOwnerDrawState state);
    void DrawColorItem(TJDTBCombo& combo, int index, gui::TRect rect, gui::TOwnerDrawState state);
    std::string HintFor(const std::string& resource);
    void ApplyToUpdateObject(TJdSelNr kind, int value, const std::string& text, int number);
    bool SetIconState(const std::string& name, int group, int number, bool down);

    TJDIconSet statusIcons_ = 0, actionIcons_ = 0, databaseIcons_ = 0, editIcons_ = 0, listBoxes_ = 0;
    TJDFontChoice fontChoice_ = fsScreenFonts;
    std::vector<std::string> fontNames_;
    bool showFont_ = false;
    int widthBetweenGroups_ = 0;
    plat::StringList hints_;
    std::vector<TIcon> icons_;
    std::vector<gui::TSpeedButton*> buttons_;
    std::array<TJDTBCombo*, 7> combos_{};  // by tag
    std::array<gui::TColor, 16> colors_{};
    std::vector<bool> enabledKept_;
    bool keptStates_ = false;
    // Per font item: 0 not yet known, 1 scalable, 2 not.
    std::vector<char> trueType_;
};

// The global watcher of the focused control: after an action the bar gives
// the focus back to the last control that is not one of its combos.
class TJDTBRCTRL : public gui::TObject {
public:
    TJDTBRCTRL();
    ~TJDTBRCTRL() override;
    gui::TWinControl* LastControl = nullptr;
    void ActiveControlChanged(gui::TObject* Sender);

private:
    gui::TNotifyEvent chained_;
};

// The bar's glyph of an icon's resource name (case ignored); empty when
// the name is unknown.
void JDToolIconGlyph(const std::string& resource, gui::TBitmap& bmp);

// The watcher while any tool panel exists (nullptr otherwise).
TJDTBRCTRL* ToolBarFocusWatcher();

}  // namespace richtext
