// The contents windows offscreen on the engine's tables: the add dialog's
// fields per kind, Enter, its refusals and the page pick; the footnotes
// dialog's fields, OK and Cancel; Load from File into the focused page
// editor; the explorer tree, its images, its empty-view message and its
// double click.
#include <gtest/gtest.h>

#include "helpbuild/contents/tests/contents_fixture.h"
#include "helpbuild/ui/cnt_add_form.h"
#include "helpbuild/ui/explorer_view.h"
#include "helpbuild/ui/footnotes_form.h"
#include "helpbuild/ui/page_load.h"
#include "platform/gui/common_dialogs.h"
#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"
#include "richtext/controls/rtf_edit.h"

namespace {

using namespace buildui;
using build::CntAddChoice;
using cnttest::ContentsFixture;

struct Pages : ::testing::Test, ContentsFixture {
    static void SetUpTestSuite() { gui::InitApplication(); }
    void Page(long id, const std::string& title, const std::string& cs) {
        db::TDataSet* d = ctx->detailTable;
        d->Append();
        d->FieldByName("HelpId")->SetAsInteger(id);
        d->FieldByName("TopicPopup")->SetAsString("T");
        d->FieldByName("Title")->SetAsString(title);
        d->FieldByName("ContextString")->SetAsString(cs);
        d->Post();
    }
};

TEST_F(Pages, AddDialogEnablesFieldsPerKind) {
    TCntAddForm form(gui::Application, *ctx);
    EXPECT_EQ(form.Caption(), "Edit Contents entry");
    EXPECT_EQ(form.rgrpEntryType->Columns(), 4);
    struct Case {
        CntAddChoice::Kind kind;
        bool topic, file;
        const char* label;
    };
    const Case cases[] = {{CntAddChoice::Heading, false, false, "Topic &ID:"},
                          {CntAddChoice::Topic, true, true, "Topic &ID:"},
                          {CntAddChoice::Macro, true, false, "&Macro:"},
                          {CntAddChoice::Include, false, false, "Topic &ID:"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.kind));
        form.SetKind(c.kind);  // the radio group's click runs the switch
        EXPECT_TRUE(form.editTitle->Enabled());
        EXPECT_EQ(form.editTopic->Enabled(), c.topic);
        EXPECT_EQ(form.Label2->Enabled(), c.topic);
        EXPECT_EQ(form.editTopic->Color(), c.topic ? gui::clWhite : gui::clSilver);
        EXPECT_EQ(form.editFile->Enabled(), c.file);
        EXPECT_EQ(form.editWindow->Enabled(), c.file);
        EXPECT_EQ(form.Label4->Enabled(), c.file);
        EXPECT_EQ(form.Label2->Caption(), c.label);
    }
}

TEST_F(Pages, AddDialogRefusesATopicWithoutTitleOrIdAndEnterPressesOk) {
    TCntAddForm form(gui::Application, *ctx);
    form.SetKind(CntAddChoice::Topic);
    form.Show();
    form.editTitle->SetFocus();
    guitest::SendKey(form.editTitle, gui::VK_RETURN);
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Last().caption, "Missing Title");
    EXPECT_EQ(dialogs.Last().text, "You need to enter a Title.");
    EXPECT_EQ(form.ModalResult(), gui::mrNone);
    form.editTitle->SetText("Intro");
    form.btnOkClick();
    EXPECT_EQ(dialogs.Last().caption, "Missing Topic ID");
    EXPECT_EQ(dialogs.Last().text, "You need to enter a destination jump for the Topic ID.");
    EXPECT_TRUE(form.editTopic->Focused());
    EXPECT_EQ(form.ModalResult(), gui::mrNone);
    form.editTopic->SetText("intro");
    form.editWindow->SetText("main");
    guitest::SendKey(form.editTopic, gui::VK_RETURN);
    EXPECT_EQ(form.ModalResult(), gui::mrOk);
    EXPECT_EQ(form.editTopic->Text(), "intro");  // Enter typed nothing
    CntAddChoice c = form.Choice();
    EXPECT_EQ(c.kind, CntAddChoice::Topic);
    EXPECT_EQ(c.title, "Intro");
    EXPECT_EQ(c.window, "main");
    EXPECT_EQ(dialogs.Requests().size(), 2u);

    // Other kinds close without checks.
    TCntAddForm heading(nullptr, *ctx);
    heading.btnOkClick();
    EXPECT_EQ(heading.ModalResult(), gui::mrOk);
}

TEST_F(Pages, AddDialogPicksAPageOfThisOrAnotherProject) {
    Page(12, "Printing", "");
    Page(13, "Setup", "setup");
    AddProject("Other", "other");
    Page(5, "Elsewhere", "far_away");
    ctx->mainTable->First();  // Demo is current again

    TCntAddForm form(gui::Application, *ctx);
    form.Show();
    EXPECT_EQ(form.mainTableApplication->AsString(), "Demo");
    form.SetKind(CntAddChoice::Topic);
    form.detailTable->First();  // Printing: no context string, its HelpId
    form.detailGrid->SetSelectedIndex(1);
    form.detailGridDblClick();
    EXPECT_EQ(form.editTopic->Text(), "12");
    EXPECT_EQ(form.editTitle->Text(), "Printing");
    EXPECT_EQ(form.editFile->Text(), "");
    form.detailTable->Next();  // Setup: its context string; the title stays
    form.detailGridDblClick();
    EXPECT_EQ(form.editTopic->Text(), "setup");
    EXPECT_EQ(form.editTitle->Text(), "Printing");
    form.detailGrid->SetSelectedIndex(0);  // the HelpId column
    form.detailGridDblClick();
    EXPECT_EQ(form.editTopic->Text(), "13");

    form.mainTable->Last();  // another project: its help file
    form.detailTable->First();
    form.detailGrid->SetSelectedIndex(2);
    form.detailGridDblClick();
    EXPECT_EQ(form.editTopic->Text(), "far_away");
    EXPECT_EQ(form.editFile->Text(), "demo.hlp");

    // Only while Topic is chosen.
    form.SetKind(CntAddChoice::Heading);
    form.editTopic->SetText("");
    form.detailGridDblClick();
    EXPECT_EQ(form.editTopic->Text(), "");
}

TEST_F(Pages, FootnotesDialogEditsThePage) {
    Page(1, "Intro", "intro");
    TFootnotesForm form(gui::Application);
    form.Bind(ctx->detailSource);
    EXPECT_EQ(form.Caption(), "Footnotes");
    EXPECT_EQ(form.editTopic->DataField(), "ContextString");
    EXPECT_EQ(form.editKeys->DataField(), "Keys");
    EXPECT_EQ(form.editB->DataField(), "BFootnote");
    EXPECT_EQ(form.editA->DataField(), "AFootnote");
    EXPECT_EQ(form.editMacro->DataField(), "MacroFootnote");
    form.Show();
    EXPECT_EQ(form.editTopic->Text(), "intro");

    db::TDataSet* d = ctx->detailTable;
    d->Edit();
    d->FieldByName("MacroFootnote")->SetAsString("BrowseButtons()");
    form.Button2Click();  // Cancel drops the edit
    EXPECT_EQ(d->State(), db::dsBrowse);
    EXPECT_EQ(d->FieldByName("MacroFootnote")->AsString(), "");
    d->Edit();
    d->FieldByName("BFootnote")->SetAsString("tips:0010");
    form.Button1Click();  // OK posts
    EXPECT_EQ(d->State(), db::dsBrowse);
    d->Refresh();
    EXPECT_EQ(d->FieldByName("BFootnote")->AsString(), "tips:0010");

    // A post that fails keeps the dialog open with the page still in edit.
    Page(2, "Second", "second");
    d->Last();
    d->Edit();
    d->FieldByName("HelpId")->SetAsInteger(1);  // taken
    form.Button1->Click();
    EXPECT_EQ(form.ModalResult(), gui::mrNone);
    EXPECT_EQ(d->State(), db::dsEdit);
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    d->Cancel();
}

TEST_F(Pages, LoadFromFileReplacesTheFocusedPageEditor) {
    gui::ScriptedCommonDialogService files;
    gui::SetCommonDialogService(&files);
    gui::TForm window(gui::Application);
    window.SetClientSize(400, 300);
    auto* helpText = new richtext::TJDCustomRtfEdit(&window);
    helpText->SetName("HelpText");
    helpText->SetParent(&window);
    helpText->SetBounds(0, 0, 400, 150);
    auto* other = new gui::TEdit(&window);
    other->SetName("editOther");
    other->SetParent(&window);
    other->SetBounds(0, 160, 200, 22);
    window.Show();
    testsupport::WriteFileBytes(home + "/page.rtf", "{\\rtf1\\ansi {\\b Bold} page\\par }");
    testsupport::WriteFileBytes(home + "/page.txt", "Plain text page\r\n");

    other->SetFocus();
    EXPECT_FALSE(LoadPageFromFile(&window, home));
    EXPECT_TRUE(files.Requests().empty());

    helpText->SetFocus();
    files.AnswerFile(home + "/page.rtf");
    ASSERT_TRUE(LoadPageFromFile(&window, home + "/proj"));
    ASSERT_EQ(files.Requests().size(), 1u);
    EXPECT_EQ(files.Requests()[0].title, "Load from File...");
    EXPECT_EQ(files.Requests()[0].filter,
              "Rich Text Format (*.RTF)|*.RTF|Text Files (*.TXT)|*.TXT|All Files (*.*)|*.*");
    EXPECT_EQ(files.Requests()[0].initialDir, home + "/proj");
    EXPECT_EQ(files.Requests()[0].defaultExt, "RTF");
    EXPECT_EQ(helpText->GetPlainText().substr(0, 9), "Bold page");

    files.AnswerFile(home + "/page.txt");
    ASSERT_TRUE(LoadPageFromFile(&window, home));
    EXPECT_EQ(helpText->GetPlainText().substr(0, 15), "Plain text page");

    files.AnswerCancel();
    EXPECT_FALSE(LoadPageFromFile(&window, home));
    EXPECT_EQ(helpText->GetPlainText().substr(0, 15), "Plain text page");
    gui::SetCommonDialogService(nullptr);
}

TEST_F(Pages, ExplorerTreeImagesAndEmptyView) {
    gui::TForm window(gui::Application);
    auto* tree = new gui::TTreeView(&window);
    tree->SetParent(&window);
    ExplorerView view(tree, *ctx);
    bool showing = true;
    view.explorerShowing = [&] { return showing; };

    view.LoadExplorerView();  // empty: tells how to make one
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Last().caption, kExplorerEmptyCaption);
    EXPECT_EQ(dialogs.Last().text, kExplorerEmptyText);
    showing = false;
    view.LoadExplorerView();
    SetProject("Compile", "16");
    showing = true;
    view.LoadExplorerView();
    EXPECT_EQ(dialogs.Requests().size(), 1u);

    SetProject("UserView", "Book\r\n\tPage\r\n\tChapter\r\n\t\tDeep\r\nLast\r\n");
    view.LoadExplorerView();
    gui::TTreeNodes& items = tree->Items();
    ASSERT_EQ(items.Count(), 5);
    gui::TTreeNode* book = items.GetFirstNode();
    EXPECT_EQ(book->Text(), "Book");
    EXPECT_EQ(book->ImageIndex, 0);
    EXPECT_EQ(book->GetFirstChild()->ImageIndex, 2);
    book->Expand(false);
    EXPECT_EQ(book->ImageIndex, 1);
    EXPECT_EQ(book->SelectedIndex, 1);
    book->Collapse(false);
    EXPECT_EQ(book->ImageIndex, 0);
    EXPECT_EQ(book->GetFirstChild()->GetNextSibling()->GetFirstChild()->Text(), "Deep");
    EXPECT_EQ(dialogs.Requests().size(), 1u);
}

TEST_F(Pages, ExplorerDoubleClickFindsThePage) {
    Page(12, "Printing", "");
    Page(13, "Setup", "Setup_Ctx");
    Page(14, "Other", "other");
    Fill({{1, 1, "H", "Book", "", ""},
          {2, 2, "T", "Setup", "setup_ctx", ""},
          {3, 2, "T", "Printing", "12", ""},
          {4, 2, "T", "Elsewhere", "far", "x.hlp"},
          {5, 1, "H", "Empty heading", "", ""}});
    gui::TForm window(gui::Application);
    auto* tree = new gui::TTreeView(&window);
    tree->SetParent(&window);
    ExplorerView view(tree, *ctx);
    FillExplorerTree(*tree, "Book\r\n\tSetup\r\n\tPrinting\r\n\tElsewhere\r\n\tUnknown\r\nEmpty heading\r\n");
    auto select = [&](const std::string& text) {
        for (gui::TTreeNode* n = tree->Items().GetFirstNode(); n; n = n->GetNext())
            if (n->Text() == text) return tree->SetSelected(n);
        ADD_FAILURE() << text;
    };
    db::TDataSet* d = ctx->detailTable;
    d->Last();

    select("Setup");
    view.TreeView1DblClick();
    EXPECT_EQ(d->FieldByName("HelpId")->AsInteger(), 13);
    select("Printing");  // a numeric jump is a HelpId
    view.TreeView1DblClick();
    EXPECT_EQ(d->FieldByName("HelpId")->AsInteger(), 12);
    EXPECT_TRUE(dialogs.Requests().empty());

    select("Elsewhere");
    view.TreeView1DblClick();
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Last().caption, kJumpNotFoundCaption);
    EXPECT_EQ(dialogs.Last().text, kJumpNotFoundText);
    EXPECT_EQ(d->FieldByName("HelpId")->AsInteger(), 12);  // the page stays
    select("Unknown");
    view.TreeView1DblClick();
    EXPECT_EQ(dialogs.Last().text, kJumpNotFoundText);
    select("Empty heading");
    view.TreeView1DblClick();
    EXPECT_EQ(dialogs.Last().text, std::string(kJumpNotFoundText) + kJumpNotFoundHeadingText);
    select("Book");  // a node with children does nothing
    view.TreeView1DblClick();
    EXPECT_EQ(dialogs.Requests().size(), 3u);
}

TEST_F(Pages, CorpusContentsFillsTheExplorerTree) {
    TAVRIN_REQUIRE_CORPUS();
    gui::TForm window(gui::Application);
    auto* tree = new gui::TTreeView(&window);
    tree->SetParent(&window);
    std::string cnt = testsupport::ReadFileBytes(testsupport::CorpusFile("hlp/Eudora.cnt"));
    FillExplorerTree(*tree, build::CntExplorerText(cnt));
    EXPECT_EQ(tree->Items().Count(), 261);
    EXPECT_EQ(tree->Items().GetFirstNode()->Text(), "What's New in Eudora Email 7.0");
}

}  // namespace
