// The life cycle's windows offscreen: the wizard's steps and Finish, and
// what the inheritance dialogs list.
#include "editor/forms/lifecycle_forms.h"

#include "project/project_tables.h"
#include "platform/core/paths.h"
#include "data/engine_driver.h"
#include "data/fields.h"
#include "platform/core/dialog_service.h"
#include "platform/gui/gui_test_harness.h"
#include "platform/win/message_queue.h"
#include "controls/richdb/db_rich_text.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

class LifecycleForms : public ::testing::Test {
protected:
    testsupport::TempDir tmp;
    std::string home;
    std::shared_ptr<db::TEngineDriver> driver;
    gui::ScriptedDialogService dialogs;
    gui::ScopedDialogService scope{dialogs};
    std::unique_ptr<editor::EditorContext> ctx;

    void SetUp() override {
        home = (tmp.path() / "home").string();
        std::filesystem::create_directories(home);
        plat::SetDataHome(home);
        driver = std::make_shared<db::TEngineDriver>();
        db::Session().SetDriver(driver);
        editor::InstallProjectTables(home);
        ctx = std::make_unique<editor::EditorContext>();
        ctx->ProgramDir = home;
        ctx->ScreenFonts = {"Arial"};
        ctx->ShowTipOfTheDayWindow = [](bool&) {};
        ASSERT_TRUE(ctx->FormCreate());
    }
    void TearDown() override {
        ctx.reset();
        db::Session().SetDriver(nullptr);
        driver.reset();
        plat::SetDataHome("");
    }
    void AddRow(const char* file, std::initializer_list<std::pair<const char*, std::string>> fields) {
        vl::TvlTable t(nullptr);
        t.DatabaseName = editor::kTavrinAlias;
        t.SetTableName(file);
        t.Open();
        t.Append();
        for (const auto& [k, v] : fields) t.FieldByName(k)->SetAsString(v);
        t.Post();
    }
};

TEST_F(LifecycleForms, WizardStepsAndFinish) {
    editor::TNewAppForm form(nullptr, *ctx);
    form.Show();
    EXPECT_EQ(form.Notebook->ActivePage(), "Step1");
    EXPECT_FALSE(form.NextClick());
    EXPECT_EQ(dialogs.Last().caption, "Project name");
    EXPECT_EQ(form.Notebook->ActivePage(), "Step1");

    form.editNewApp->SetText("Quarter");
    form.editFilename->SetText("QUART");
    form.editHelpTitle->SetText("Quarter help");
    form.editDirectory->SetText(home + "/quarter");
    ASSERT_TRUE(form.NextClick());
    EXPECT_EQ(form.Notebook->ActivePage(), "Step2");
    EXPECT_TRUE(form.btnPrev->Enabled());
    // The third preset: a quarter at the top right.
    form.tblWiz->First();
    form.tblWiz->Next();
    form.tblWiz->Next();
    EXPECT_TRUE(form.chk25->Checked());
    EXPECT_TRUE(form.chkRight->Checked());
    EXPECT_TRUE(form.chkTop->Checked());
    ASSERT_TRUE(form.NextClick());
    EXPECT_EQ(form.Notebook->ActivePage(), "Step3");
    EXPECT_FALSE(form.btnNext->Enabled());
    form.PrevClick();
    EXPECT_EQ(form.Notebook->ActivePage(), "Step2");
    EXPECT_TRUE(form.btnNext->Enabled());
    for (const char* t : {"One", "Two"}) editor::AppendTitle(*form.tblTopics, t);
    ASSERT_TRUE(form.FinishClick());
    EXPECT_EQ(form.ModalResult(), gui::mrOk);

    vl::TvlTable main(nullptr);
    main.DatabaseName = editor::kTavrinAlias;
    main.SetTableName(editor::kMainTableFile);
    main.SetIndexName(editor::kPrimaryIndex);
    main.Open();
    ASSERT_TRUE(main.FindKey({db::TValue("Quarter")}));
    EXPECT_EQ(main.FieldByName("Wx")->AsInteger(), 511);
    EXPECT_EQ(main.FieldByName("Wh")->AsInteger(), 512);
    EXPECT_EQ(main.FieldByName("Compile")->AsString(), "16");
}

// Each field's hint, wrapped to the hint's width, fits the hint's height:
// no line of it is cut off.
TEST_F(LifecycleForms, EveryStepOneHintFitsItsPlace) {
    editor::TNewAppForm form(nullptr, *ctx);
    form.Show();
    guitest::ProcessEvents();
    for (gui::TWinControl* field : {static_cast<gui::TWinControl*>(form.editNewApp),
                                    static_cast<gui::TWinControl*>(form.editFilename),
                                    static_cast<gui::TWinControl*>(form.editHelpTitle),
                                    static_cast<gui::TWinControl*>(form.editDirectory),
                                    static_cast<gui::TWinControl*>(form.lboxApplication)}) {
        SCOPED_TRACE(field->Name());
        field->SetFocus();
        guitest::ProcessEvents();
        const std::string hint = form.lblHint->Caption();
        ASSERT_FALSE(hint.empty());
        gui::TBitmap paper;
        paper.SetSize(10, 10);
        paper.Canvas().Font().Assign(form.lblHint->Font());
        gui::TRect r{0, 0, form.lblHint->Width(), 0};
        gui::DrawText(paper.Canvas(), hint, r, gui::DT_CALCRECT | gui::DT_WORDBREAK);
        EXPECT_LE(r.Width(), form.lblHint->Width()) << hint;
        EXPECT_LE(r.Height(), form.lblHint->Height()) << hint;
        EXPECT_TRUE(form.lblHint->WordWrap());
    }
}

TEST_F(LifecycleForms, EnterMovesToTheNextFieldAndADuplicateNameIsRefusedOnExit) {
    AddRow(editor::kMainTableFile, {{"Application", "Existing"}});
    editor::TNewAppForm form(nullptr, *ctx);
    form.Show();
    guitest::ProcessEvents(20);
    form.editNewApp->SetFocus();
    guitest::TypeText(form.editNewApp, "Fresh");
    guitest::SendKey(form.editNewApp, 0x0D);
    guitest::ProcessEvents(20);
    EXPECT_EQ(form.ActiveControl(), form.editFilename);
    EXPECT_EQ(form.editHelpTitle->Text(), "Fresh");  // taken from the name while no folder is set
    EXPECT_EQ(form.ModalResult(), 0);
    guitest::TypeText(form.editFilename, "FR");
    guitest::SendKey(form.editFilename, 0x0D);
    guitest::ProcessEvents(20);
    EXPECT_EQ(form.editDirectory->Text(), home + "/FR");  // native, in the case typed

    form.editNewApp->SetText("EXISTING");
    form.editNewApp->SetFocus();
    form.editFilename->SetFocus();
    guitest::ProcessEvents(20);
    ASSERT_FALSE(dialogs.Requests().empty());
    EXPECT_EQ(dialogs.Last().text, editor::kProjectExistsText);
}

// The whole wizard by keys alone, as the focused control receives them:
// the steps are reached with Alt+N, the titles typed into the grid with
// Down between them, and Finish with Alt+F.
TEST_F(LifecycleForms, TheWizardIsUsedByKeysAlone) {
    editor::TNewAppForm form(nullptr, *ctx);
    form.Show();
    guitest::ProcessEvents(20);
    auto focused = [&] {
        gui::TWinControl* c = form.ActiveControl();
        return c ? c : static_cast<gui::TWinControl*>(&form);
    };
    auto key = [&](unsigned vk, gui::TShiftState shift = 0) {
        guitest::SendKey(focused(), vk, shift);
        guitest::ProcessEvents(10);
    };
    // Each character to whatever has the focus by then, as a keyboard types.
    auto type = [&](const std::string& text) {
        for (char ch : text) {
            guitest::TypeText(focused(), std::string(1, ch));
            guitest::ProcessEvents(0);
        }
    };
    constexpr unsigned kTab = 0x09, kEnter = 0x0D, kDown = 0x28, kEscape = 0x1B;
    type("Keys");
    key(kTab);
    type("KEYS");
    key(kTab);
    key(kTab);
    ASSERT_EQ(form.ActiveControl(), form.editDirectory);
    form.editDirectory->SelectAll();
    type(home + "/keys");
    key('N', gui::ssAlt);
    ASSERT_EQ(form.Notebook->ActivePage(), "Step2");
    EXPECT_TRUE(form.ActiveControl() && form.ActiveControl()->Enabled());
    key('N', gui::ssAlt);
    ASSERT_EQ(form.Notebook->ActivePage(), "Step3");
    // The focus is where the titles are typed, not on the disabled Next.
    ASSERT_EQ(form.ActiveControl(), form.gridTopics);
    type("First page");
    key(kDown);
    type("Second page");
    key(kEnter);
    key(kDown);
    type("Dropped");
    key(kEscape);  // the cell's text goes
    key(kEscape);  // and the row being inserted
    ASSERT_EQ(form.ModalResult(), 0);  // the wizard stays
    EXPECT_EQ(form.tblTopics->State(), db::dsBrowse);
    std::vector<std::string> titles;
    for (form.tblTopics->First(); !form.tblTopics->Eof(); form.tblTopics->Next())
        titles.push_back(form.tblTopics->FieldByName("Title")->AsString());
    EXPECT_EQ(titles, (std::vector<std::string>{"First page", "Second page"}));
    key('F', gui::ssAlt);
    EXPECT_EQ(form.ModalResult(), gui::mrOk);
}

TEST_F(LifecycleForms, ChoosingATemplateSkipsTheSteps) {
    AddRow(editor::kMainTableFile, {{"Application", "Existing"}});
    editor::TNewAppForm form(nullptr, *ctx);
    ASSERT_EQ(form.lboxApplication->Items().Count(), 2);
    EXPECT_EQ(form.lboxApplication->Items()[0], "[none]");
    form.lboxApplication->SetItemIndex(1);
    form.lboxApplication->OnClick(form.lboxApplication);
    EXPECT_FALSE(form.btnNext->Enabled());
    EXPECT_EQ(form.Input().templateName, "Existing");
}

TEST_F(LifecycleForms, InheritDialogsListWhatMayBeChosen) {
    for (const char* p : {"Here", "There"}) AddRow(editor::kMainTableFile, {{"Application", p}});
    AddRow(editor::kItemTableFile, {{"Application", "There"}, {"HelpId", "1"}, {"TopicPopup", "T"}});
    AddRow(editor::kItemTableFile, {{"Application", "There"}, {"HelpId", "2"}, {"TopicPopup", "P"}});
    AddRow(editor::kItemTableFile,
           {{"Application", "There"}, {"HelpId", "3"}, {"TopicPopup", "T"}, {"InheritedStatus", "Inherited"}});
    AddRow(editor::kItemTableFile,
           {{"Application", "There"}, {"HelpId", "4"}, {"TopicPopup", "T"}, {"InheritedStatus", "Master"}});
    AddRow(editor::kInhTableFile, {{"Application", "There"}, {"HelpId", "4"}, {"InheritedApplication", "Here"},
                                   {"InheritedId", "9"}, {"InheritedTitle", "Nine"}});
    editor::InheritSelectRequest r;
    r.currentProject = "Here";
    r.caption = "Select a Topic to Inherit From";
    r.pageFilter = {"InheritedStatus <> \"Inherited\"", "TopicPopup = \"T\""};
    editor::TfrmInheritSelect select(nullptr, r);
    EXPECT_EQ(select.Caption(), "Select a Topic to Inherit From");
    EXPECT_EQ(select.lblProject->Caption(), "There");
    std::vector<long> ids;
    for (select.tblItems->First(); !select.tblItems->Eof(); select.tblItems->Next())
        ids.push_back(static_cast<long>(select.tblItems->FieldByName("HelpId")->AsInteger()));
    EXPECT_EQ(ids, (std::vector<long>{1, 4}));
    EXPECT_EQ(select.Choice().application, "There");

    // A master page's HelpId is white on maroon; the other cells keep the grid's colours.
    struct Colours {
        const char* field;
        const char* status;
        bool coloured;
    } colours[] = {{"HelpId", "Master", true}, {"HelpId", "", false}, {"HelpId", "Inherited", false},
                   {"Title", "Master", false}};
    for (const auto& c : colours) {
        long font = -1, brush = -1;
        EXPECT_EQ(editor::InheritSelectCellColours(c.field, c.status, font, brush), c.coloured) << c.field << c.status;
        EXPECT_EQ(font, c.coloured ? 0xFFFFFF : -1);
        EXPECT_EQ(brush, c.coloured ? 0x000080 : -1);
    }
    select.Show();
    guitest::ProcessEvents(20);
    gui::TBitmap shot;
    guitest::Grab(select.vlDBGrid1, shot);
    auto maroonShare = [&](int col, int row) {
        const gui::TRect r = select.vlDBGrid1->CellRect(col, row);
        int maroon = 0, all = 0;
        for (int y = r.Top + 1; y < r.Bottom - 1; ++y)
            for (int x = r.Left + 1; x < r.Right - 1; ++x, ++all) maroon += shot.Canvas().Pixel(x, y) == 0x000080;
        return all ? static_cast<double>(maroon) / all : 0.0;
    };
    const int idCol = select.vlDBGrid1->IndicatorOffset();
    const int firstRow = select.vlDBGrid1->TitleOffset();
    EXPECT_LT(maroonShare(idCol, firstRow), 0.05);       // page 1
    EXPECT_GT(maroonShare(idCol, firstRow + 1), 0.5);    // page 4, the master
    EXPECT_LT(maroonShare(idCol + 1, firstRow + 1), 0.05);  // its title
    select.Hide();

    editor::TfrmInhWho who(nullptr, "There", 4);
    EXPECT_EQ(who.Caption(), "Who Inherits From Me?");
    ASSERT_FALSE(who.tblInh->IsEmpty());
    EXPECT_EQ(who.tblInh->FieldByName("InheritedTitle")->AsString(), "Nine");
}

}  // namespace

#include "editor/forms/main_form.h"

namespace {

class LifecycleMenus : public ::testing::Test {
protected:
    testsupport::TempDir tmp;
    std::shared_ptr<db::TEngineDriver> driver;
    gui::ScriptedDialogService dialogs;
    gui::ScopedDialogService scope{dialogs};
    std::unique_ptr<editor::TForm1> form;

    void SetUp() override {
        const std::string home = (tmp.path() / "home").string();
        std::filesystem::create_directories(home);
        plat::SetDataHome(home);
        driver = std::make_shared<db::TEngineDriver>();
        db::Session().SetDriver(driver);
        editor::InstallProjectTables(home);
        form = std::make_unique<editor::TForm1>(nullptr);
        form->SuppressTipWindow = true;
        form->ctx->ProgramDir = home;
        form->FormCreate();
        ASSERT_TRUE(form->StartupOk());
        form->Show();
        guitest::ProcessEvents(20);
        auto* ctx = form->ctx;
        for (const char* p : {"Gone", "Kept"}) {
            ctx->mainTable->Append();
            ctx->mainTable->FieldByName("Application")->SetAsString(p);
            ctx->mainTable->Post();
            ctx->detailTable->Append();
            ctx->detailTable->FieldByName("HelpId")->SetAsInteger(10);
            ctx->detailTable->FieldByName("TopicPopup")->SetAsString("T");
            ctx->detailTable->FieldByName("Title")->SetAsString("Page");
            ctx->detailTable->Post();
        }
        dialogs.Clear();
    }
    void TearDown() override {
        form.reset();
        db::Session().SetDriver(nullptr);
        driver.reset();
        plat::SetDataHome("");
    }
    gui::TMenuItem* Find(const char* name) { return dynamic_cast<gui::TMenuItem*>(form->FindComponent(name)); }
};

TEST_F(LifecycleMenus, CancellingTheWizardPutsThePageEditorsCaretBack) {
    auto* ctx = form->ctx;
    ASSERT_TRUE(ctx->mainTable->FindKey({db::TValue("Kept")}));
    ctx->detailTable->Edit();
    ctx->detailTable->FieldByName("HelpText")->SetAsString("{\\rtf1{\\fonttbl{\\f0 Arial;}}\\f0 Some words on the page.\\par}");
    ctx->detailTable->Post();
    form->SetActiveControl(form->HelpText);
    form->HelpText->SetFocus();
    guitest::ProcessEvents(10);
    form->HelpText->SetCPPosition(6);
    ASSERT_EQ(form->HelpText->GetCPPosition(), 6) << form->HelpText->GetPlainText();
    ASSERT_EQ(form->ActiveControl(), form->HelpText);
    richtext::TJDCharAttr attr;
    form->HelpText->GetCurrentAttr(attr);
    bool shown = false;
    auto cancelWhenShown = [&] {
        plat::HWND h = 0;
        h = plat::AllocateHWnd([&](gui::TMessage& m) {
            if (m.Msg != gui::WM_USER + 11) return;
            auto* wizard = dynamic_cast<editor::TNewAppForm*>(form->FindComponent("NewAppForm"));
            if (!wizard || !wizard->Visible()) {
                plat::PostMessage(h, gui::WM_USER + 11, 0, 0);
                return;
            }
            shown = true;
            // While the wizard runs the editor's caret and attribute move.
            form->HelpText->SetCPPosition(1);
            richtext::TJDCharAttr bold = attr;
            bold.style |= 1;
            form->HelpText->SetCurrentAttr(bold);
            wizard->SetModalResult(gui::mrCancel);
            plat::DeallocateHWnd(h);
        });
        plat::PostMessage(h, gui::WM_USER + 11, 0, 0);
    };
    cancelWhenShown();
    editor::NewProjectCommand(*form);
    EXPECT_TRUE(shown);
    EXPECT_EQ(form->HelpText->GetCPPosition(), 6);
    richtext::TJDCharAttr after;
    form->HelpText->GetCurrentAttr(after);
    EXPECT_EQ(after.style, attr.style);
    EXPECT_EQ(gui::Screen->Cursor(), gui::crDefault);
    EXPECT_EQ(ctx->mainTable->FieldByName("Application")->AsString(), "Kept");
}

TEST_F(LifecycleMenus, InheritanceMenuFollowsThePageAndDeleteProjectRemovesIt) {
    auto* ctx = form->ctx;
    ASSERT_TRUE(ctx->mainTable->FindKey({db::TValue("Kept")}));
    ctx->detailTable->Edit();
    ctx->detailTable->FieldByName("InheritedStatus")->SetAsString("Master");
    ctx->detailTable->Post();
    gui::TMenuItem* menu = Find("miInherit");
    ASSERT_NE(menu, nullptr);
    menu->OnClick(menu);
    EXPECT_FALSE(Find("miInheritFromMaster")->Enabled);
    EXPECT_FALSE(Find("miBreakInherit")->Enabled);
    EXPECT_TRUE(Find("miWhoInheritsFromMe")->Enabled);

    ASSERT_TRUE(ctx->mainTable->FindKey({db::TValue("Gone")}));
    dialogs.Answer(gui::mrYes);
    ASSERT_TRUE(guitest::ClickMenu(form.get(), {"&File", "&Delete Project"}));
    guitest::ProcessEvents(20);
    EXPECT_EQ(dialogs.Requests().at(0).text,
              "WARNING! This will permanently delete this Help Project. Are you sure you want to delete Gone?");
    ctx->mainTable->Refresh();
    EXPECT_FALSE(ctx->mainTable->FindKey({db::TValue("Gone")}));
    EXPECT_TRUE(ctx->mainTable->FindKey({db::TValue("Kept")}));
}

}  // namespace
