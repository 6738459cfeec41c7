// The options' windows offscreen on installed project tables: the desktop
// miniature, writes only on the user's action, the popup group stored before
// enforcement, preferences closed with Esc, the filter dialogs and the font
// registry's refusal.
#include "project/tests/editor_test_support.h"
#include "editor/options/ui/filter_forms.h"
#include "editor/options/ui/font_forms.h"
#include "editor/options/ui/options_form.h"
#include "editor/options/ui/prefs_form.h"
#include "data/fields.h"
#include "platform/core/dialog_service.h"
#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"

#include <gtest/gtest.h>

namespace {

using editor::EditorContext;

class OptionsForms : public ::testing::Test {
protected:
    static void SetUpTestSuite() { gui::InitApplication(); }
    edtest::ProgramFolder folder;
    gui::ScriptedDialogService dialogs;
    gui::ScopedDialogService scope{dialogs};
    std::unique_ptr<EditorContext> ctx;

    void SetUp() override {
        ctx = std::make_unique<EditorContext>();
        ctx->ProgramDir = folder.dir;
        ctx->ScreenFonts = {"Arial", "Courier"};
        ctx->ShowTipOfTheDayWindow = [](bool&) {};
        ASSERT_TRUE(ctx->FormCreate());
        ctx->StartupDone = true;
        auto* m = ctx->mainTable;
        m->Append();
        m->FieldByName("Application")->SetAsString("Demo");
        m->FieldByName("Wx")->SetAsInteger(200);
        m->FieldByName("Ww")->SetAsInteger(400);
        m->FieldByName("Wh")->SetAsInteger(400);
        m->FieldByName("Compile")->SetAsString("32");
        m->Post();
        ASSERT_TRUE(m->FindKey({db::TValue(std::string("Demo"))}));
    }
    std::string Main(const char* field) { return ctx->mainTable->FieldByName(field)->AsString(); }
};

TEST_F(OptionsForms, DraggingTheMainMiniatureToTheLeftEdgeStoresZero) {
    editor::TOptionsForm f(gui::Application, *ctx);
    f.Show();
    f.notebook->SetPageIndex(2);
    guitest::ProcessEvents();
    // Showing the form wrote nothing.
    EXPECT_TRUE(ctx->mainTable->FieldByName("LastModified")->IsNull());
    EXPECT_EQ(f.mainEdits[0]->Text(), "200");
    const int left = f.pnlMainMini->Left();
    EXPECT_EQ(left, 200 / editor::ScaleFactor(f.pnlDesktop->ClientWidth()));
    guitest::MouseDown(f.pnlMainMini, {5, 5});
    guitest::MouseMove(f.pnlMainMini, {5 - left - 30, 5});
    guitest::MouseUp(f.pnlMainMini, {5 - left - 30, 5});
    EXPECT_EQ(f.pnlMainMini->Left(), 0);
    EXPECT_EQ(Main("Wx"), "0");
    EXPECT_EQ(f.mainEdits[0]->Text(), "0");
    // Spinning down at 0 stays at 0.
    f.Spin(false, 0, false);
    EXPECT_EQ(Main("Wx"), "0");
    f.Hide();
}

TEST_F(OptionsForms, ResizingAMiniatureByItsEdgesStoresItsSize) {
    editor::TOptionsForm f(gui::Application, *ctx);
    f.Show();
    f.notebook->SetPageIndex(2);
    guitest::ProcessEvents();
    const int fx = editor::ScaleFactor(f.pnlDesktop->ClientWidth());
    const int fy = editor::ScaleFactor(f.pnlDesktop->ClientHeight());
    const int left = f.pnlMainMini->Left(), top = f.pnlMainMini->Top();
    const int w = f.pnlMainMini->Width(), h = f.pnlMainMini->Height();
    // The bottom-right corner, 10 pixels right and 6 down: the corner
    // follows, the top-left stays.
    guitest::MouseDown(f.pnlMainMini, {w - 1, h - 1});
    guitest::MouseMove(f.pnlMainMini, {w + 9, h + 5});
    guitest::MouseUp(f.pnlMainMini, {w + 9, h + 5});
    EXPECT_EQ(f.pnlMainMini->Left(), left);
    EXPECT_EQ(f.pnlMainMini->Top(), top);
    EXPECT_EQ(f.pnlMainMini->Width(), w + 10);
    EXPECT_EQ(f.pnlMainMini->Height(), h + 6);
    EXPECT_EQ(Main("Wx"), std::to_string(left * fx));
    EXPECT_EQ(Main("Wh"), std::to_string((h + 6) * fy));
    EXPECT_EQ(f.mainEdits[3]->Text(), Main("Wh"));
    // The right edge pulled far past the desktop stops at its edge.
    const int w2 = f.pnlMainMini->Width();
    guitest::MouseDown(f.pnlMainMini, {w2 - 2, 20});
    guitest::MouseMove(f.pnlMainMini, {w2 + 1000, 20});
    guitest::MouseUp(f.pnlMainMini, {w2 + 1000, 20});
    EXPECT_EQ(f.pnlMainMini->Left() + f.pnlMainMini->Width(), f.pnlDesktop->ClientWidth());
    EXPECT_EQ(f.pnlMainMini->Left(), left);
    // The left edge dragged right shrinks from the left and keeps the right edge.
    const int right = f.pnlMainMini->Left() + f.pnlMainMini->Width();
    guitest::MouseDown(f.pnlMainMini, {1, 20});
    guitest::MouseMove(f.pnlMainMini, {21, 20});
    guitest::MouseUp(f.pnlMainMini, {21, 20});
    EXPECT_EQ(f.pnlMainMini->Left(), left + 20);
    EXPECT_EQ(f.pnlMainMini->Left() + f.pnlMainMini->Width(), right);
    EXPECT_EQ(Main("Wx"), std::to_string((left + 20) * fx));
    f.Hide();
}

TEST_F(OptionsForms, OnlyTheUsersClickWritesAndEnforceStoresThePopupGroupFirst) {
    editor::TOptionsForm f(gui::Application, *ctx);
    f.Show();
    guitest::ProcessEvents();
    EXPECT_EQ(Main("Compile"), "32");
    f.notebook->SetPageIndex(1);
    guitest::ProcessEvents();
    guitest::Click(f.compile16bit, {4, 8});
    EXPECT_EQ(Main("Compile"), "16");

    f.SelectGroup(editor::OptionGroup::PopupTitle);
    EXPECT_EQ(f.grpSettings->Caption(), "Popup Title Defaults");
    f.cbxTextFont->SetText("Courier");
    f.cbxTextColor->SetItemIndex(f.cbxTextColor->Items().IndexOf("Navy"));
    std::string fontWhenEnforcing;
    f.RunEnforce = [&] { fontWhenEnforcing = Main("PopupFont"); };
    f.EnforceNowClick();
    EXPECT_EQ(fontWhenEnforcing, "Courier");
    EXPECT_EQ(Main("PopupColor"), "4");
    f.Hide();
}

TEST_F(OptionsForms, TheFolderButtonKeepsTheFolderOnCancel) {
    ctx->mainTable->Edit();
    ctx->mainTable->FieldByName("ProjectDir")->SetAsString("gone");
    ctx->mainTable->Post();
    editor::TOptionsForm f(gui::Application, *ctx);
    f.ChooseFolder = [](const std::string&, const std::string&, std::string&) { return false; };
    f.Show();
    dialogs.Clear();
    f.FolderClick("ProjectDir");
    EXPECT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(Main("ProjectDir"), "gone");
    EXPECT_EQ(f.editProjectDir->Text(), "gone");
    f.Hide();
}

TEST_F(OptionsForms, PreferencesClosedWithEscKeepTheChanges) {
    editor::TPrefsForm f(gui::Application, *ctx);
    ctx->Settings.kqIniSettings.DictionaryName = "Nowhere.dct";
    f.Load(editor::LoadPreferences(*ctx));
    EXPECT_EQ(f.listDictionary->Items()[f.listDictionary->ItemIndex()], "British");
    f.Show();
    f.cbxGridFontSize->SetText("11");
    guitest::SendKey(f.cbxGridFontSize, 0x1B /* VK_ESCAPE */);
    EXPECT_EQ(f.ModalResult(), gui::mrOk);
    editor::ApplyPreferences(*ctx, f.Values());
    EXPECT_EQ(ctx->Settings.GridFontSize, 11);
    EXPECT_EQ(ctx->Settings.kqIniSettings.DictionaryName, "British.dct");
    f.Hide();
}

TEST_F(OptionsForms, FilterDialogsFillFromTheStoredLines) {
    ctx->mainTable->Edit();
    ctx->mainTable->FieldByName("DetailFilter")
        ->SetAsString("HelpID >= 0\r\nHelpID <= 90\r\nTopicPopup = T\r\nTitle = \"Intro\"");
    ctx->mainTable->Post();
    editor::TfrmFilter full(gui::Application, *ctx);
    full.Show();
    EXPECT_EQ(full.c.fHelpID->Text(), "");
    EXPECT_EQ(full.c.fHelpIDTo->Text(), "90");
    EXPECT_EQ(full.c.fTopicPopup->Text(), "T");
    EXPECT_EQ(full.c.fTitle->Text(), "Intro");
    full.c.fKeys->SetText("setup");
    EXPECT_TRUE(editor::ApplyFieldFilter(full));
    EXPECT_EQ(editor::StoredFilterLines(*ctx)[4], "Keys = \"setup\"");
    full.Hide();

    editor::TfrmMiniFilter mini(gui::Application);
    mini.Prepare(editor::FilterCriterion::ModifiedTime, editor::StoredFilterLines(*ctx));
    EXPECT_EQ(mini.Caption(), "Filter on Modified Time");
    EXPECT_EQ(mini.pnl->Caption(), "Modified Time");
    EXPECT_EQ(mini.nb->ActivePage(), "Time");
    EXPECT_EQ(mini.nb->Pages().Count(), 13);
    EXPECT_TRUE(mini.c.fModifiedTime->Parent() == mini.nb->Page(mini.nb->PageIndex()));
    mini.c.fModifiedTimeTo->SetText("12:00");
    EXPECT_EQ(mini.CriterionValues(), (std::vector<std::string>{"", "12:00"}));
}

TEST_F(OptionsForms, RegistryOkWithNoFontIsRefused) {
    ctx->Settings.kqIniSettings.UseFontRegistry = true;
    editor::TfrmFonts f(gui::Application, *ctx);
    f.Fill({"Arial"}, ctx->ScreenFonts);
    f.Show();
    EXPECT_EQ(f.listAvailable->Items().Count(), 1);  // Courier; Arial is in use
    guitest::Click(f.btnRemoveAll, {5, 5});
    EXPECT_EQ(f.listUsed->Items().Count(), 0);
    dialogs.Clear();
    guitest::Click(f.btnOK, {5, 5});
    EXPECT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(f.ModalResult(), gui::mrNone);
    guitest::Click(f.btnAddAll, {5, 5});
    guitest::Click(f.btnOK, {5, 5});
    EXPECT_EQ(f.ModalResult(), gui::mrOk);
    EXPECT_EQ(editor::CurrentFontRegistry(*ctx), (std::vector<std::string>{"Arial", "Courier"}));
    f.Hide();
}

TEST_F(OptionsForms, SynchronisationRunsInTheProgressWindow) {
    ctx->Settings.kqIniSettings.UseFontRegistry = true;
    ASSERT_TRUE(editor::StoreFontRegistry(*ctx, {"Arial", "Symbol"}));
    vl::TvlTable t(nullptr);
    t.DatabaseName = editor::kTavrinAlias;
    t.SetTableName(editor::kItemTableFile);
    t.Open();
    t.Append();
    t.FieldByName("Application")->SetAsString("Demo");
    t.FieldByName("HelpId")->SetAsInteger(1);
    t.FieldByName("TopicPopup")->SetAsString("T");
    t.FieldByName("Title")->SetAsString("One");
    t.FieldByName("HelpText")->SetAsString(
        "{\\rtf1\\ansi{\\fonttbl{\\f0\\fnil\\charset0 Courier;}{\\f1\\fnil\\charset0 Symbol;}}"
        "{\\colortbl\\red0\\green0\\blue0;}\\f1 x\\par\r\n}");
    t.Post();
    ctx->CdetailTable->Refresh();
    dialogs.Answer(gui::mrYes);
    EXPECT_EQ(editor::miSynchFontsClick(*ctx), editor::FontSyncResult::Done);
    ctx->CdetailTable->First();
    const std::string body = ctx->CdetailTable->FieldByName("HelpText")->AsString();
    EXPECT_NE(body.find("\\f1 x"), std::string::npos) << body;
    EXPECT_NE(body.find("{\\f0\\fnil\\charset0 Arial;}"), std::string::npos);
    EXPECT_FALSE(ctx->CdetailTable->FieldByName("Prepared")->AsString().empty());
    EXPECT_EQ(dialogs.Last().text, "Font Synchronization complete!");
}

}  // namespace
