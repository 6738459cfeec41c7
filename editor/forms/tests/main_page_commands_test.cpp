// The page-text commands as the main window's menus run them.
#include "editor/forms/tests/main_window_fixture.h"
#include "editor/forms/main_form.h"
#include "editor/forms/page_dialogs.h"

#include "project/project_tables.h"
#include "platform/core/paths.h"
#include "data/engine_driver.h"
#include "data/fields.h"
#include "data/tables.h"
#include "platform/gui/clipboard.h"
#include "platform/core/dialog_service.h"
#include "platform/gui/gui_test_harness.h"
#include "platform/gui/printer.h"
#include "editor/forms/lifecycle_forms.h"
#include "editor/lifecycle/project_wizard.h"
#include "project/page_text.h"
#include <QMenu>
#include "controls/richdb/db_rich_text.h"
#include "tests/support/test_support.h"
#include "richtext/spell/spell_files.h"
#include "richtext/spell/spell_dlg.h"
#include "editor/forms/page_commands.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>

#include <filesystem>
#include <fstream>

namespace {

class MainPageCommands : public ::testing::Test {
protected:
    void SetUp() override {
        gui::SetClipboardBackend(&clip);
        home = (tmp.path() / "home").string();
        driver = editortest::UseProgramHome(home);
        form = editortest::StartMainWindow(home);
        ASSERT_TRUE(form->StartupOk());
        editor::InstallPageCommands(*form);
        form->Show();
        guitest::ProcessEvents(20);
        ctx = form->ctx;
        ctx->mainTable->Append();
        ctx->mainTable->FieldByName("Application")->SetAsString("Demo");
        ctx->mainTable->Post();
        ctx->detailTable->Append();
        ctx->detailTable->FieldByName("HelpId")->SetAsInteger(10);
        ctx->detailTable->FieldByName("TopicPopup")->SetAsString("T");
        ctx->detailTable->FieldByName("Title")->SetAsString("Page");
        ctx->detailTable->FieldByName("HelpText")->SetAsString("{\\rtf1{\\fonttbl{\\f0 Arial;}}\\f0 Some words.\\par}");
        ctx->detailTable->Post();
        guitest::ProcessEvents(20);
    }
    void TearDown() override {
        form.reset();
        db::Session().SetDriver(nullptr);
        driver.reset();
        plat::SetDataHome("");
        gui::SetClipboardBackend(nullptr);
    }
    void Focus(gui::TWinControl* c) {
        form->SetActiveControl(c);
        c->SetFocus();
        guitest::ProcessEvents(10);
    }
    gui::TMenuItem* Menu(const char* name) { return static_cast<gui::TMenuItem*>(form->FindComponent(name)); }

    testsupport::TempDir tmp;
    std::string home;
    std::shared_ptr<db::TEngineDriver> driver;
    gui::MemoryClipboardBackend clip;
    gui::ScriptedDialogService dialogs;
    gui::ScopedDialogService scope{dialogs};
    std::unique_ptr<editor::TForm1> form;
    editor::EditorContext* ctx = nullptr;
};

TEST_F(MainPageCommands, SpellWithTheGridFocusedOnlyAsksToMoveToTheText) {
    Focus(form->detailGrid);
    int beeps = gui::MessageBeepCount();
    std::size_t asked = dialogs.Requests().size();
    ASSERT_NE(Menu("FromCursorPosition1"), nullptr);
    Menu("FromCursorPosition1")->Click();
    EXPECT_EQ(form->StatusPanel->Caption(), "Move to the help text field to spellcheck");
    EXPECT_EQ(gui::MessageBeepCount(), beeps + 1);
    EXPECT_EQ(dialogs.Requests().size(), asked);
}

TEST_F(MainPageCommands, BoldFromTheFormatMenuOnTheFocusedPageEditor) {
    Focus(form->HelpText);
    form->HelpText->SetSelStart(0);
    form->HelpText->SetSelLength(4);
    Menu("miBold")->Click();
    EXPECT_TRUE(form->HelpText->Engine().FirstParagraph()->lines->attrs[0].style & 0x0001);
    // Without a selection: the status text.
    form->HelpText->SetSelLength(0);
    Menu("miItalics")->Click();
    EXPECT_EQ(form->StatusPanel->Caption(), "Please highlight the text to format Bold");
}

TEST_F(MainPageCommands, PasteWithTheGridFocusedDoesNothing) {
    gui::Clipboard()->SetAsText("pasted ");
    Focus(form->detailGrid);
    std::string before = form->HelpText->GetPlainText();
    Menu("miPaste")->Click();
    EXPECT_EQ(form->HelpText->GetPlainText(), before);
    EXPECT_EQ(ctx->detailTable->State(), db::dsBrowse);
    // Into the focused page editor the paste goes, the page in edit state.
    Focus(form->HelpText);
    form->HelpText->SetCPPosition(0);
    Menu("miPaste")->Click();
    EXPECT_EQ(form->HelpText->GetPlainText().rfind("pasted Some", 0), 0u);
    EXPECT_EQ(ctx->detailTable->State(), db::dsEdit);
}

TEST_F(MainPageCommands, ThePopUpMenuOffersMarksOnlyForASelection) {
    auto* pop = static_cast<gui::TPopupMenu*>(form->FindComponent("popHelp"));
    ASSERT_NE(pop, nullptr);
    EXPECT_EQ(gui::GetPopupMenu(form->HelpText), pop);
    Focus(form->HelpText);
    form->HelpText->SetSelStart(0);
    form->HelpText->SetSelLength(0);
    pop->OnPopup(pop);
    EXPECT_FALSE(Menu("popTopicJump")->Enabled);
    EXPECT_FALSE(Menu("popMacro")->Enabled);
    EXPECT_FALSE(Menu("popShowGraphicFilename")->Visible);
    form->HelpText->SetSelLength(4);
    pop->OnPopup(pop);
    EXPECT_TRUE(Menu("popTopicJump")->Enabled);
    EXPECT_TRUE(Menu("popPopupJump")->Enabled);
}

TEST_F(MainPageCommands, TheFormatMenuNeedsAPageEditor) {
    const char* const formats[] = {"miNormal",           "miBold",             "miItalics",           "miUnderline",
                                   "miParagraphspacing", "miParagraphBorders", "miParagraphBorderEnd"};
    for (gui::TWinControl* focused : {static_cast<gui::TWinControl*>(form->detailGrid),
                                      static_cast<gui::TWinControl*>(form->HelpText)}) {
        Focus(focused);
        Menu("miFormat")->Click();
        for (const char* name : formats) EXPECT_EQ(Menu(name)->Enabled, focused == form->HelpText) << name;
    }
    // Border End on the body editor ends the block at the cursor's paragraph.
    form->HelpText->SelectAll();
    form->HelpText->SetParagraphBorder(0x0040, 1, 0, 0);
    form->HelpText->SetSelLength(0);
    form->HelpText->SetCPPosition(0);
    Menu("miParagraphBorderEnd")->Click();
    EXPECT_TRUE(form->HelpText->Engine().FirstParagraph()->border & 0x0002);
}

TEST_F(MainPageCommands, TheRulerFollowsThePopUpAndIsKeptForTheNextStart) {
    auto* ruler = dynamic_cast<gui::TControl*>(form->FindComponent("JDRuler2"));
    ASSERT_NE(ruler, nullptr);
    EXPECT_EQ(form->HelpText->JDRuler(), ruler);
    // Above the split view's page editor, beside the page grid.
    EXPECT_EQ(ruler->Parent(), form->HelpText->Parent());
    EXPECT_EQ(form->HelpText->Parent()->Parent(), form->splitViewSplitter);
    EXPECT_FALSE(ruler->Visible());
    auto* pop = static_cast<gui::TPopupMenu*>(form->FindComponent("popHelp"));
    Focus(form->HelpText);
    pop->OnPopup(pop);
    EXPECT_FALSE(Menu("miRuler")->Checked());
    EXPECT_FALSE(Menu("miApplyNonscrollStyle")->Visible);
    Menu("miRuler")->Click();
    EXPECT_TRUE(ruler->Visible());
    EXPECT_TRUE(ctx->Settings.RulerInSplitView);
    EXPECT_LT(ruler->Top(), form->HelpText->Top());
    pop->OnPopup(pop);
    EXPECT_TRUE(Menu("miRuler")->Checked());
    Menu("miRuler")->Click();
    EXPECT_FALSE(ruler->Visible());
    EXPECT_FALSE(ctx->Settings.RulerInSplitView);
}

TEST_F(MainPageCommands, ThePopUpOpensOnlyOverTheFocusedPageEditor) {
    auto* pop = static_cast<gui::TPopupMenu*>(form->FindComponent("popHelp"));
    EXPECT_FALSE(pop->AutoPopup);
    Focus(form->detailGrid);
    form->HelpText->OnMouseUp(form->HelpText, gui::mbRight, 0, 5, 5);
    EXPECT_EQ(pop->ShownMenu(), nullptr);
    Focus(form->HelpText);
    form->HelpText->OnMouseUp(form->HelpText, gui::mbLeft, 0, 5, 5);
    EXPECT_EQ(pop->ShownMenu(), nullptr);
    form->HelpText->OnMouseUp(form->HelpText, gui::mbRight, 0, 5, 5);
    ASSERT_NE(pop->ShownMenu(), nullptr);
    pop->ShownMenu()->close();
}

TEST_F(MainPageCommands, LeavingTheTitleEditorPutsItsTextIntoTheField) {
    form->TabBook->SetActivePageName(editor::kMaxViewPage);
    form->TabBookClick();
    guitest::ProcessEvents(20);
    Focus(form->FullTitleEditFld);
    form->FullTitleEditFld->SetCPPosition(0);
    ASSERT_TRUE(form->FullTitleEditFld->CanEdit());
    form->FullTitleEditFld->InputString("Page heading");
    ASSERT_EQ(ctx->detailTable->State(), db::dsEdit);
    Focus(form->ApplicationFld);
    EXPECT_NE(ctx->detailTable->FieldByName("FullTitle")->AsString().find("Page heading"), std::string::npos);
    EXPECT_EQ(form->TableStatus->Caption(), "");
    EXPECT_EQ(ctx->detailTable->State(), db::dsEdit);
}

TEST_F(MainPageCommands, NewPagesTakeTheProjectsDefaultFonts) {
    ctx->mainTable->Edit();
    ctx->mainTable->FieldByName("DefaultTextFont")->SetAsString("Courier New");
    ctx->mainTable->FieldByName("DefaultTextSize")->SetAsInteger(14);
    ctx->mainTable->FieldByName("DefaultTextStyle")->SetAsString("[afsBold,afsItalic]");
    ctx->mainTable->Post();
    ASSERT_TRUE(ctx->StartupDone);
    ctx->ApplyProjectDisplaySettings();
    // The page is added from the page list, and the user then enters its editor.
    Focus(form->detailGrid);
    ctx->detailTable->Append();
    ctx->detailTable->FieldByName("HelpId")->SetAsInteger(11);
    ctx->detailTable->FieldByName("TopicPopup")->SetAsString("T");
    ctx->detailTable->FieldByName("Title")->SetAsString("Empty");
    ctx->detailTable->Post();
    guitest::ProcessEvents(20);
    ASSERT_TRUE(form->HelpText->GetPlainText().empty());
    Focus(form->HelpText);
    richtext::TJDCharAttr a;
    form->HelpText->GetCurrentAttr(a);
    EXPECT_EQ(form->HelpText->Engine().Header().fontNames[a.font], "Courier New");
    EXPECT_EQ(a.size, 14);
    EXPECT_EQ(a.style & 0x0007, 0x0003);
}

TEST_F(MainPageCommands, TheSpellButtonChecksOrOffersItsRanges) {
    auto* popSpell = static_cast<gui::TPopupMenu*>(form->FindComponent("popSpell"));
    ASSERT_NE(popSpell, nullptr);
    for (const char* name : {"FromCursorPosition1", "FromTopofPage1", "AllPages1", "FromCurrentPage1"})
        EXPECT_EQ(Menu(name)->GetParentMenu(), popSpell) << name;
    // The tool bar's button.
    gui::TSpeedButton* button = form->sbtnSpell;
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->OnMouseUp);
    Focus(form->detailGrid);
    int beeps = gui::MessageBeepCount();
    button->OnMouseUp(button, gui::mbLeft, 0, 2, 2);
    EXPECT_EQ(popSpell->ShownMenu(), nullptr);
    // Tools | Spell Check clicks it: the grid is no page editor.
    Menu("miSpellCheck")->Click();
    EXPECT_EQ(form->StatusPanel->Caption(), "Move to the help text field to spellcheck");
    EXPECT_EQ(gui::MessageBeepCount(), beeps + 1);
    form->StatusPanel->SetCaption("");
    button->Click();
    EXPECT_EQ(form->StatusPanel->Caption(), "Move to the help text field to spellcheck");
    // The right button offers the ranges at the mouse.
    button->OnMouseUp(button, gui::mbRight, 0, 2, 2);
    ASSERT_NE(popSpell->ShownMenu(), nullptr);
    EXPECT_EQ(popSpell->PopupComponent, button);
    popSpell->ShownMenu()->close();
}

TEST_F(MainPageCommands, PrintingThePageListLeavesNoWaitWindow) {
    auto* wait = dynamic_cast<gui::TForm*>(form->FindComponent("PageCommandSet")->FindComponent("WaitForm"));
    ASSERT_NE(wait, nullptr);
    auto pdf = tmp.path() / "list.pdf";
    gui::Printer()->OutputFileName = pdf.string();
    Menu("miPrintPageList")->Click();
    gui::Printer()->OutputFileName.clear();
    EXPECT_GT(std::filesystem::file_size(pdf), 0u);
    EXPECT_FALSE(wait->Visible());
    EXPECT_EQ(static_cast<editor::TWaitForm*>(wait)->lblStatus->Caption(), "Printing...");
}

}  // namespace

namespace {

int DarkPixels(const QImage& img) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += qGray(img.pixel(x, y)) < 110;
    return n;
}

}  // namespace

// A project made by the wizard from each colour scheme: text typed into a
// new page is stored in a dark colour and shows on the page's background.
TEST_F(MainPageCommands, EverySchemesNewPageShowsTypedTextDark) {
    vl::TvlTable schemes(nullptr);
    schemes.DatabaseName = editor::kTavrinAlias;
    schemes.SetTableName(editor::kWizTableFile);
    schemes.Open();
    int made = 0;
    for (schemes.First(); !schemes.Eof(); schemes.Next(), ++made) {
        const std::string scheme = schemes.FieldByName("ColorScheme")->AsString();
        SCOPED_TRACE(scheme);
        // The preset's own colour numbers are dark colours of the table.
        for (const char* f : {"HelpColor", "TitleColor"}) {
            const long n = static_cast<long>(schemes.FieldByName(f)->AsInteger());
            EXPECT_NE(editor::ScreenColourOf(static_cast<int>(n)), 0xFFFFFF) << f;
        }
        editor::WizardInput in;
        in.name = "Scheme" + std::to_string(made);
        in.fileName = "SCH" + std::to_string(made);
        in.helpTitle = scheme;
        in.directory = (tmp.path() / in.name).string();
        ASSERT_TRUE(editor::CreateProject(*ctx, in, &schemes, nullptr));
        ctx->mainTable->Refresh();
        ASSERT_TRUE(ctx->mainTable->FindKey({db::TValue(in.name)}));
        if (ctx->ApplyProjectDisplaySettings) ctx->ApplyProjectDisplaySettings();
        ctx->detailTable->Refresh();
        ctx->detailTable->Append();
        ctx->detailTable->FieldByName("HelpId")->SetAsInteger(10);
        ctx->detailTable->FieldByName("TopicPopup")->SetAsString("T");
        ctx->detailTable->FieldByName("Title")->SetAsString("New page");
        ctx->detailTable->Post();
        guitest::ProcessEvents(20);
        const int before = DarkPixels(form->HelpText->Widget()->grab().toImage());
        Focus(form->HelpText);
        guitest::TypeText(form->HelpText, "WWWW MMMM WWWW");
        guitest::ProcessEvents(10);
        ASSERT_EQ(form->HelpText->GetPlainText().rfind("WWWW MMMM WWWW", 0), 0u) << form->HelpText->GetPlainText();
        const richtext::TJDCharAttr a = form->HelpText->Engine().FirstParagraph()->lines->attrs[0];
        EXPECT_NE(editor::ScreenColourOf(a.TextColor()), 0xFFFFFF) << int(a.TextColor());
        EXPECT_GT(DarkPixels(form->HelpText->Widget()->grab().toImage()), before + 40);
        ctx->detailTable->Post();
        const std::string stored = ctx->detailTable->FieldByName("HelpText")->AsString();
        EXPECT_EQ(stored.find("\\cf15"), std::string::npos) << stored;
    }
    EXPECT_EQ(made, 3);
}

// A jump shows in the page editor as a jump: the hyperlink colour and an
// underline under its words, nothing of either under plain words.
TEST_F(MainPageCommands, JumpTextIsMarkedInThePageEditor) {
    ctx->detailTable->Edit();
    ctx->detailTable->FieldByName("HelpText")->SetAsString(
        "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red0\\green0\\blue0;}\\f0\\fs24 "
        "Plain WWWW then {\\uldb JUMPWORD}{\\v target_ctx} and MMMM.\\par}");
    ctx->detailTable->Post();
    if (ctx->ApplyProjectDisplaySettings) ctx->ApplyProjectDisplaySettings();
    guitest::ProcessEvents(20);
    richtext::TDBJDRichText* e = form->HelpText;
    ASSERT_EQ(e->GetPlainText().rfind("Plain WWWW then JUMPWORD", 0), 0u) << e->GetPlainText();
    const QImage shot = e->Widget()->grab().toImage();
    if (const char* keep = std::getenv("TAVRIN_KEEP_GRABS")) shot.save(QString::fromUtf8(keep) + "/jump.png");
    const qreal k = shot.devicePixelRatio();
    richtext::TJDRTFTextInput& t = e->Engine();
    // The box of the characters [from, to) on screen, in image pixels.
    auto box = [&](int from, int to) {
        richtext::TTextPointer a, b;
        EXPECT_TRUE(t.PositionToPointer(from, a));
        EXPECT_TRUE(t.PositionToPointer(to, b));
        const int x0 = t.XOfPosition(a.par, a.line, a.pos) + t.LeftOffset + t.leftMargin;
        const int x1 = t.XOfPosition(b.par, b.line, b.pos) + t.LeftOffset + t.leftMargin;
        const int y0 = a.line->top - t.TopOffset + t.topMargin;
        return QRect(QPoint(int(x0 * k), int(y0 * k)), QPoint(int(x1 * k) - 1, int((y0 + a.line->height) * k) - 1));
    };
    struct Mark {
        int coloured = 0;   // pixels of a clearly blue hue
        bool lined = false; // a row inked across the words' width
    };
    auto mark = [&](const QRect& r) {
        Mark m;
        for (int y = r.top(); y <= r.bottom(); ++y) {
            const bool lower = y > (r.top() + r.bottom()) / 2;  // where an underline runs
            int inked = 0;
            for (int x = r.left(); x <= r.right(); ++x) {
                const QRgb c = shot.pixel(x, y);
                m.coloured += qBlue(c) > qRed(c) + 80 && qBlue(c) > qGreen(c) + 80;
                inked += qGray(c) < 200;
            }
            m.lined = m.lined || (lower && inked >= r.width() * 9 / 10);
        }
        return m;
    };
    const int m4 = static_cast<int>(e->GetPlainText().find("MMMM"));  // after the hidden target
    const Mark jump = mark(box(16, 24)), plain = mark(box(6, 10)), after = mark(box(m4, m4 + 4));
    EXPECT_GT(jump.coloured, 10);
    EXPECT_TRUE(jump.lined);
    for (const Mark& m : {plain, after}) {
        EXPECT_EQ(m.coloured, 0);
        EXPECT_FALSE(m.lined);
    }
}

// The author's own words are kept in USERDCT.DIC beside the dictionaries:
// the page editors' spell component takes a word listed there as correct,
// and one that is in neither file as misspelt.
TEST_F(MainPageCommands, AWordOfTheUsersDictionaryIsNotReported) {
    ASSERT_GT(spell::CopyDictionaries(TAVRIN_DICT_DIR, home), 0);
    {
        std::ofstream user(home + "/USERDCT.DIC", std::ios::binary);
        user << "tavrinish\r\n";
    }
    auto* set = form->FindComponent("PageCommandSet");
    ASSERT_NE(set, nullptr);
    auto* speller = dynamic_cast<spell::TJDSpellDlg*>(set->FindComponent("JDSpellDlg1"));
    ASSERT_NE(speller, nullptr);
    speller->DictionaryName = ctx->SpellDictionaryName;
    EXPECT_TRUE(speller->IsWord("Tavrinish"));
    EXPECT_TRUE(speller->IsWord("words"));
    EXPECT_FALSE(speller->IsWord("Qzxvrinish"));
    EXPECT_FALSE(speller->ShowGlyphs());
}
