// The main window's tool bar, the Edit menu's states, the program help's
// index, the page grid's pop-up, the "What's this" pop-up and the
// "Footnotes" button of the max view.
//
// Buttons whose command lives on a menu item run that item's command by
// the item's name, so the button and the menu always do the same thing,
// whichever part of the program installed the item.
#include "editor/forms/main_form.h"

#include "helpbuild/ui/footnotes_form.h"
#include "project/helpers.h"
#include "editor/options/page_filters.h"
#include "editor/options/ui/filter_forms.h"
#include "platform/core/codepage.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "platform/gui/clipboard.h"
#include "controls/richdb/db_rich_text.h"

#include <QObject>
#include <QWidget>

#include <algorithm>
#include <iterator>

namespace editor {

namespace {

constexpr unsigned kHelpContextPopup = 0x0008, kHelpPartialKey = 0x0105;

struct ToolButton {
    gui::TSpeedButton* TForm1::*member;
    const char* name;
    const char* caption;
    const char* hint;
};

// In tool-bar order; a gap of 6 pixels separates the groups.
const ToolButton kRow1[] = {
    {&TForm1::sbtnNew, "sbtnNew", "New", "New Topic/Popup|Adds a new Topic/Popup page"},
    {&TForm1::SpeedButton5, "SpeedButton5", "Open", "Open Project|Shows the projects at a glance"},
    {&TForm1::SpeedButton6, "SpeedButton6", "Save", "Save|Saves the current page and project"},
    {&TForm1::ShowHelpBtn, "ShowHelpBtn", "View Help", "View Compiled Help|Shows the compiled help file"},
    {nullptr, nullptr, nullptr, nullptr},
    {&TForm1::sbtnCut, "sbtnCut", "Cut", "Cut|Cuts the selection to the clipboard"},
    {&TForm1::sbtnCopy, "sbtnCopy", "Copy", "Copy|Copies the selection to the clipboard"},
    {&TForm1::sbtnPaste, "sbtnPaste", "Paste", "Paste|Pastes the clipboard's text"},
    {&TForm1::sbtnSelectAll, "sbtnSelectAll", "Sel All", "Select All|Selects all of the focused field"},
    {&TForm1::sbtnLocate, "sbtnLocate", "Find", "Find|Locates a value in the current field [Ctrl+Z]"},
    {&TForm1::sbtnReplace, "sbtnReplace", "Replace", "Replace|Replaces text in the page"},
    {nullptr, nullptr, nullptr, nullptr},
    {&TForm1::sbtnTopicJump, "sbtnTopicJump", "Jump", "Topic Jump|Makes the selection a jump to a topic [F4]"},
    {&TForm1::sbtnPopup, "sbtnPopup", "Popup", "Popup Jump|Makes the selection a jump to a popup [F5]"},
    {&TForm1::sbtnMacro, "sbtnMacro", "Macro", "Macro|Makes the selection run a macro"},
    {&TForm1::sbtnGraphic, "sbtnGraphic", "Graphic", "Graphic|Inserts a picture"},
    {&TForm1::sbtnBullets, "sbtnBullets", "Bullets", "Bullets and Numbering|Makes the paragraphs a list"},
    {&TForm1::sbtnCreateTable, "sbtnCreateTable", "Table", "Table|Inserts a table"},
};
const ToolButton kRow2[] = {
    {&TForm1::sbtnCompile, "sbtnCompile", "Compile", "Compile|Compiles your current Help Project into a .HLP file"},
    {&TForm1::sbtnPartCompile, "sbtnPartCompile", "Partial", "Partial Compile|Compiles the filtered pages [F7]"},
    {&TForm1::sbtnErrorLog, "sbtnErrorLog", "Error Log", "View Error Log|Shows the last compile's messages"},
    {&TForm1::sbtnOptions, "sbtnOptions", "Options", "Project Options|Shows the project's options [F6]"},
    {nullptr, nullptr, nullptr, nullptr},
    {&TForm1::sbtnSpell, "sbtnSpell", "Spell", "Spell Check|Checks the spelling of the page"},
    {&TForm1::sbtnCopyTo, "sbtnCopyTo", "Copy To", "Copy Help File To..|Copies the compiled help file"},
    {&TForm1::sbtnShed, "sbtnShed", "Shed", "Shed|Starts the hotspot editor"},
    {&TForm1::sbtnPaint, "sbtnPaint", "Paint", "Paint package|Starts the paint package"},
    {&TForm1::sbtnWord, "sbtnWord", "Word", "Word Processor|Starts the word processor"},
    {&TForm1::SpeedButton4, "SpeedButton4", "Filter",
     "Filter|Displays the Filter screen where you can enter your filter criteria"},
    {nullptr, nullptr, nullptr, nullptr},
    {&TForm1::sbtnHelp, "sbtnHelp", "Help", "Help|Shows Tavrin's help"},
    {&TForm1::sbtnExit, "sbtnExit", "Exit", "Exit|Ends Tavrin"},
};
constexpr int kRowHeight = 24;

gui::TMenuItem* FindShortCut(gui::TMenuItem* item, gui::TShortCut sc) {
    if (item->ShortCut == sc) return item;
    for (int i = 0; i < item->Count(); ++i)
        if (gui::TMenuItem* found = FindShortCut(item->Items(i), sc)) return found;
    return nullptr;
}

}  // namespace

void TForm1::BuildToolBar() {
    // Above the project fields, right under the menu.
    pnlTools->SetTop(Panel6->Top() - 1);
    auto row = [this](const ToolButton* first, const ToolButton* last) {
        std::vector<gui::TSpeedButton*> buttons;
        for (const ToolButton* b = first; b != last; ++b) {
            if (!b->member) {
                buttons.push_back(nullptr);  // the gap between groups
                continue;
            }
            auto* button = new gui::TSpeedButton(this);
            button->SetName(b->name);
            button->SetParent(pnlTools);
            button->SetCaption(b->caption);
            button->SetHint(b->hint);
            const int width = std::max(34, 6 * static_cast<int>(std::string(b->caption).size()) + 14);
            button->SetBounds(0, 0, width, kRowHeight);
            // Copy To and Word are reached from the Tools menu only: their
            // buttons stay hidden and take no room in the row.
            const std::string name = b->name;
            if (name == "sbtnCopyTo" || name == "sbtnWord") button->SetVisible(false);
            this->*(b->member) = button;
            buttons.push_back(button);
        }
        toolRows_.push_back(buttons);
    };
    row(std::begin(kRow1), std::end(kRow1));
    row(std::begin(kRow2), std::end(kRow2));
    ArrangeToolButtons();
    // A narrower window (a doubled scale, a small screen) wraps the rows
    // instead of cutting them off. The panel's own alignment is under way
    // as it is resized, so the buttons are placed once that is over.
    pnlTools->OnResize = [this](gui::TObject*) {
        if (pnlTools->ClientWidth() == toolsArrangedWidth_ || toolsArrangePending_ || !pnlTools->Widget()) return;
        toolsArrangePending_ = true;
        QMetaObject::invokeMethod(
            pnlTools->Widget(),
            [this] {
                toolsArrangePending_ = false;
                ArrangeToolButtons();
            },
            Qt::QueuedConnection);
    };

    miHelpSearch = new gui::TMenuItem(this);
    miHelpSearch->SetName("miHelpSearch");
    miHelpSearch->SetCaption("&Search");

    // The page grid's pop-up.
    popGrid = new gui::TPopupMenu(this);
    popGrid->SetName("popGrid");
    auto item = [this](gui::TPopupMenu* menu, const std::string& name, const std::string& caption) {
        auto* i = new gui::TMenuItem(this);
        i->SetName(name);
        i->SetCaption(caption);
        menu->Items()->Add(i);
        return i;
    };
    Filter2 = item(popGrid, "Filter2", "&Filter");
    miGridWhatsThis = item(popGrid, "miGridWhatsThis", "&What's this?");
    miGridPrintPageList = item(popGrid, "miGridPrintPageList", "&Print Page List");
    popWhatsThis = new gui::TPopupMenu(this);
    popWhatsThis->SetName("popWhatsThis");
    WhatsThis1 = item(popWhatsThis, "WhatsThis1", "What's this?");

    // "Footnotes" in the max view's footnote panel.
    SpeedButton2 = new gui::TSpeedButton(this);
    SpeedButton2->SetName("SpeedButton2");
    SpeedButton2->SetParent(pnlMax);
    SpeedButton2->SetCaption("Footnotes");
    SpeedButton2->SetHint("Footnotes|Edits the page's footnotes");
    SpeedButton2->SetBounds(8, 8, 80, 24);
}

void TForm1::ArrangeToolButtons() {
    const int width = pnlTools->ClientWidth();
    toolsArrangedWidth_ = width;
    int y = 2;
    for (const std::vector<gui::TSpeedButton*>& buttons : toolRows_) {
        int x = 4;
        for (gui::TSpeedButton* b : buttons) {
            if (!b) {
                x += 6;
                continue;
            }
            if (!b->Visible()) continue;
            if (x > 4 && x + b->Width() > width - 2) {
                y += kRowHeight + 2;
                x = 4;
            }
            b->SetBounds(x, y, b->Width(), kRowHeight);
            x += b->Width() + 1;
        }
        y += kRowHeight + 2;
    }
    pnlTools->SetHeight(y);
}

bool TForm1::ClickMenuItem(const std::string& name) {
    // The item's state is the menu's: the Edit menu disables its page
    // commands while it is open outside a page editor, and the button must
    // still work once the author is back in one.
    auto* i = dynamic_cast<gui::TMenuItem*>(FindComponent(name));
    if (!i) return false;
    i->Click();
    return true;
}

void TForm1::WireToolBar() {
    auto menu = [this](gui::TSpeedButton* b, const char* item) {
        b->OnClick = [this, item](gui::TObject*) { ClickMenuItem(item); };
    };
    SpeedButton6->OnClick = [this](gui::TObject*) { SpeedButton6Click(); };
    sbtnLocate->OnClick = [this](gui::TObject*) { sbtnLocateClick(); };
    ShowHelpBtn->OnClick = [this](gui::TObject*) { ShowHelpBtnClick(); };
    sbtnNew->OnClick = [this](gui::TObject*) { sbtnNewClick(); };
    SpeedButton5->OnClick = [this](gui::TObject*) { sbtnGlanceClick(); };
    menu(sbtnCut, "miCut");
    menu(sbtnCopy, "miCopy");
    menu(sbtnPaste, "miPaste");
    menu(sbtnSelectAll, "miSelectAll");
    menu(sbtnReplace, "miReplace");
    menu(sbtnTopicJump, "miTopicJump");
    menu(sbtnPopup, "miPopupJump");
    menu(sbtnMacro, "miMacro");
    menu(sbtnGraphic, "miGraphic");
    menu(sbtnBullets, "miBullets");
    menu(sbtnCreateTable, "miCreateTable");
    menu(sbtnCompile, "miCompile");
    menu(sbtnPartCompile, "miRecompile");
    menu(sbtnErrorLog, "miErrorLog");
    menu(sbtnOptions, "miOptions");
    menu(sbtnSpell, "miSpellCheck");
    menu(sbtnCopyTo, "miCopyTo");
    menu(sbtnShed, "miShed");
    menu(sbtnPaint, "miPaint");
    menu(sbtnWord, "miWord");
    menu(SpeedButton4, "FFilter1");
    sbtnHelp->OnClick = [this](gui::TObject*) { HelpContentsClick(); };
    sbtnExit->OnClick = [this](gui::TObject*) { Close(); };
    // The menu's Exit clicks the button.
    miExit->OnClick = [this](gui::TObject*) { sbtnExit->Click(); };

    miEdit->OnClick = [this](gui::TObject*) { UpdateEditMenuItems(); };
    miHelpSearch->OnClick = [this](gui::TObject*) { HelpSearchClick(); };
    miHelp->Insert(1, miHelpSearch);

    Filter2->OnClick = [this](gui::TObject*) {
        const FilterCriterion c =
            CriterionOfField(detailGrid->GetSelectedField() ? detailGrid->GetSelectedField()->FieldName : "", true);
        if (c == FilterCriterion::None) return;
        auto* mini = dynamic_cast<TfrmMiniFilter*>(FindComponent("frmMiniFilterGrid"));
        if (!mini) {
            mini = new TfrmMiniFilter(this);
            mini->SetName("frmMiniFilterGrid");
        }
        const gui::TRect cell = detailGrid->CellRect(detailGrid->Col(), detailGrid->Row());
        const gui::TPoint at = detailGrid->ClientToScreen({cell.Left, cell.Bottom});
        mini->MouseX = at.x;
        mini->MouseY = at.y;
        RunColumnFilter(*ctx, *mini, c);
    };
    miGridWhatsThis->OnClick = [this](gui::TObject*) { GridWhatsThisClick(); };
    miGridPrintPageList->OnClick = [this](gui::TObject*) { ClickMenuItem("miPrintPageList"); };
    popGrid->OnPopup = [this](gui::TObject*) { miGridWhatsThis->Visible = false; };
    gui::SetPopupMenu(detailGrid, popGrid);

    WhatsThis1->OnClick = [this](gui::TObject*) { WhatsThisClick(); };
    ShowHelpBtn->OnMouseUp = [this](gui::TObject*, gui::TMouseButton button, gui::TShiftState, int x, int y) {
        if (button != gui::mbRight) return;  // a left click views the help file
        popWhatsThis->PopupComponent = ShowHelpBtn;
        const gui::TPoint at = ShowHelpBtn->ClientToScreen({x, y});
        popWhatsThis->Popup(at.x, at.y);
        popWhatsThis->PopupComponent = ShowHelpBtn;
    };

    SpeedButton2->OnClick = [this](gui::TObject*) { SpeedButton2Click(); };
    RunFootnotesEditor = [this] {
        const std::string project =
            ctx->mainTable->IsEmpty() ? std::string() : ctx->mainTable->FieldByName("Application")->AsString();
        buildui::ShowFootnotesEditor(ctx->detailSource, project);
    };
}

bool TForm1::MenuKeyTaken(unsigned key, gui::TShiftState shift) {
    for (int i = 0; i < MainMenu1->Items()->Count(); ++i)
        if (FindShortCut(MainMenu1->Items()->Items(i), gui::ShortCut(key, shift))) return true;
    return false;
}

void TForm1::UpdateEditMenuItems() {
    const std::string view = CurrentView();
    gui::TWinControl* a = ActiveControl();
    const bool inPage = (view == kSplitViewPage && a == HelpText) ||
                        (view == kMaxViewPage && (a == maxHelpText || a == FullTitleEditFld));
    for (const char* name : {"miReplace", "miSelectAll", "miTopicJump", "miPopupJump", "miGraphic", "miMacro"})
        if (auto* i = dynamic_cast<gui::TMenuItem*>(FindComponent(name))) i->Enabled = inPage;
    if (auto* paste = dynamic_cast<gui::TMenuItem*>(FindComponent("miPaste"))) {
        bool text = false;
        try {
            text = gui::Clipboard()->HasFormat(gui::CF_TEXT);
        } catch (const std::exception&) {
        }
        paste->Enabled = text;
    }
}

void TForm1::HelpSearchClick() {
    gui::Application->HelpFile = plat::JoinPath(ctx->ProgramDir, "Tavrin.hlp");
    gui::Application->HelpCommand(kHelpPartialKey, 0);
}

void TForm1::GridWhatsThisClick() {
    const std::string file = plat::JoinPath(ctx->ProgramDir, "Tavrin.HLP");
    if (!plat::FileExists(file)) {
        ShowWarning("Warning", "Tavrin.HLP was not found.");
        return;
    }
    gui::Application->HelpFile = file;
    const db::TField* f = detailGrid->GetSelectedField();
    if (!f) return;
    struct Topic {
        const char* field;
        long context;
    };
    static const Topic kTopics[] = {{"HelpID", 9504}, {"TopicPopup", 900011}, {"Title", 900005}, {"ContextString", 9503}};
    for (const Topic& t : kTopics)
        if (plat::CompareAnsi(f->FieldName, t.field, true) == 0) {
            gui::Application->HelpCommand(kHelpContextPopup, t.context);
            return;
        }
}

void TForm1::WhatsThisClick() {
    auto* control = dynamic_cast<gui::TControl*>(popWhatsThis->PopupComponent);
    if (!control) return;
    gui::Application->HelpCommand(kHelpContextPopup, control->HelpContext);
}

void TForm1::sbtnNewClick() {
    gui::TWinControl* a = ActiveControl();
    if (a == ApplicationFld || a == DosNameFld || a == HelpTitleFld) {
        ClickMenuItem("miNew");
        return;
    }
    // A new page goes in from the page list the author sees.
    if (CurrentView() != kFilterViewPage && CurrentView() != kSplitViewPage) {
        TabBook->SetActivePageName(kSplitViewPage);
        TabBookClick();
    }
    try {
        SetActiveControl(CurrentView() == kFilterViewPage ? filterGrid : detailGrid);
    } catch (const std::exception&) {
        return;
    }
    InsertTopic1Click();
}

void TForm1::SpeedButton2Click() {
    richtext::TDBJDRichText* editor = ActivePageEditor();
    int caret = 0;
    richtext::TJDCharAttr attr;
    if (editor) {
        caret = editor->GetCPPosition();
        editor->GetCurrentAttr(attr);
    }
    gui::Screen->SetCursor(gui::crHourGlass);
    try {
        if (RunFootnotesEditor) RunFootnotesEditor();
    } catch (const std::exception&) {
        gui::Screen->SetCursor(gui::crDefault);
        throw;
    }
    gui::Screen->SetCursor(gui::crDefault);
    if (editor) {
        editor->SetCPPosition(caret);
        editor->SetCurrentAttr(attr);
    }
}

}  // namespace editor
