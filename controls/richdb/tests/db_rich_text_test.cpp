// The data-aware rich-text editor on a real engine table in a temporary
// folder: an RTF memo field and a string field, through a table and a data
// source, with keys and the tool bar as a user drives them.
#include <gtest/gtest.h>
#include "platform/core/dialog_service.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/paths.h"
#include "platform/core/streams.h"
#include "data/engine_driver.h"
#include "data/tables.h"
#include "platform/gui/clipboard.h"
#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"
#include "controls/richdb/db_rich_text.h"
#include "tests/support/test_support.h"

namespace richtext {
namespace {
using namespace gui;

const char* const kBodies[] = {
    "{\\rtf1{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 First \\b page\\b0  body.\\par Second paragraph of it.\\par}",
    "{\\rtf1{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 Another page.\\par}",
    "",
};

class DbRichText : public ::testing::Test {
protected:
    void SetUp() override {
        InitApplication();
        SetClipboardBackend(&clip);
        std::filesystem::create_directories(dir.path() / "home");
        plat::SetDataHome((dir.path() / "home").string());
        driver = std::make_shared<db::TEngineDriver>();
        db::Session().SetDriver(driver);
        {
            db::TTable t(nullptr);
            Bind(t);
            t.FieldDefs().Add("Id", db::ftInteger, 0, true);
            t.FieldDefs().Add("Title", db::ftString, 60);
            t.FieldDefs().Add("Body", db::ftMemo);
            t.IndexDefs().Add("", "Id", db::ixPrimary);
            t.CreateTable();
            t.Open();
            int id = 1;
            std::string longBody = "{\\rtf1{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 ";
            for (int i = 0; i < 80; ++i) longBody += "Paragraph " + std::to_string(i) + " of a long page.\\par ";
            longBody += "}";
            std::vector<std::string> bodies(std::begin(kBodies), std::end(kBodies));
            bodies.push_back(longBody);
            for (const std::string& body : bodies) {
                t.Append();
                t.FieldByName("Id")->SetAsInteger(id);
                t.FieldByName("Title")->SetAsString("Title " + std::to_string(id++));
                t.FieldByName("Body")->SetAsString(body);
                t.Post();
            }
            t.Close();
        }
        Bind(table);
        form = new TForm(Application);
        form->SetBounds(40, 40, 640, 460);
        source = new db::TDataSource(form);
        source->SetDataSet(&table);
        bar = new TJDToolBar(form);
        bar->SetParent(form);
        bar->SetAlign(alTop);
        bar->Setsel_DatabaseIcons((1u << (SelPost + 1)) - 1);
        edit = new TDBJDRichText(form);
        edit->SetParent(form);
        edit->SetBounds(0, 60, 600, 200);
        edit->SetJDToolBar(bar);
        edit->SetDataSource(source);
        edit->SetDataField("Body");
        title = new TDBJDRichText(form);
        title->SetParent(form);
        title->SetBounds(0, 270, 600, 60);
        title->SetDataSource(source);
        title->SetDataField("Title");
        form->Show();
        guitest::ProcessEvents();
    }
    void TearDown() override {
        delete form;
        table.Close();
        db::Session().SetDriver(nullptr);
        driver.reset();
        plat::SetDataHome("");
        SetClipboardBackend(nullptr);
    }
    void Bind(db::TTable& t) {
        t.DatabaseName = dir.path().string() + "/";
        t.TableName = "PAGES.QVD";
    }
    void Open() {
        table.Open();
        guitest::ProcessEvents();
    }
    std::string Saved(TDBJDRichText& e) {
        plat::MemoryStream s;
        e.SaveToStream(s);
        return s.DataString();
    }
    bool Enabled(int num) { return bar->Icon(bar->FindIcon("", jdgDatabase, num)).button->Enabled(); }

    testsupport::TempDir dir;
    gui::ScriptedDialogService boxes;
    gui::ScopedDialogService scope{boxes};
    MemoryClipboardBackend clip;
    std::shared_ptr<db::TEngineDriver> driver;
    db::TTable table{nullptr};
    TForm* form = nullptr;
    db::TDataSource* source = nullptr;
    TJDToolBar* bar = nullptr;
    TDBJDRichText* edit = nullptr;
    TDBJDRichText* title = nullptr;
};

TEST_F(DbRichText, RecordsLoadTypingEntersEditKeepingTheViewAndPostRoundTrips) {
    Open();
    EXPECT_EQ(edit->GetPlainText(), "First page body.\rSecond paragraph of it.\r");
    EXPECT_TRUE(edit->MemoLoaded());
    table.Next();
    EXPECT_EQ(edit->GetPlainText(), "Another page.\r");
    table.First();
    edit->SetFocus();
    guitest::ProcessEvents();
    // A selection and a cursor placed before the first change survive the
    // reload that entering edit state brings.
    edit->Engine().SetSelPosLen(6, 4);  // "page"
    const std::int32_t top = edit->Engine().TopOffset;
    ASSERT_EQ(table.State(), db::dsBrowse);
    ASSERT_TRUE(edit->CanEdit());
    EXPECT_EQ(table.State(), db::dsEdit);
    EXPECT_EQ(edit->GetSelStart(), 6);
    EXPECT_EQ(edit->GetSelLength(), 4);
    EXPECT_EQ(edit->GetCPPosition(), 10);
    EXPECT_EQ(edit->Engine().TopOffset, top);
    table.Cancel();
    // Scrolled down a long page, the view stays where it was.
    table.Last();
    TJDRTFTextInput& e = edit->Engine();
    edit->SetCPPosition(700);
    e.ScrollTo(true, 4, 300);
    ASSERT_GT(e.TopOffset, 0);
    const std::int32_t scrolled = e.TopOffset;
    e.SetSelPosLen(690, 8);
    ASSERT_TRUE(edit->CanEdit());
    EXPECT_EQ(table.State(), db::dsEdit);
    EXPECT_EQ(e.TopOffset, scrolled);
    EXPECT_EQ(edit->GetSelStart(), 690);
    EXPECT_EQ(edit->GetSelLength(), 8);
    table.Cancel();
    table.First();
    // The first typed character: dsEdit, and the character lands where the caret was.
    edit->SetCPPosition(5);
    guitest::TypeText(edit, "X");
    EXPECT_EQ(table.State(), db::dsEdit);
    EXPECT_EQ(edit->GetPlainText().substr(0, 12), "FirstX page ");
    EXPECT_EQ(edit->GetCPPosition(), 6);
    EXPECT_TRUE(Enabled(9));  // Post and Cancel are on once modified
    const std::string bytes = Saved(*edit);
    table.Post();
    EXPECT_EQ(table.FieldByName("Body")->AsString(), bytes);
    EXPECT_FALSE(Enabled(9));  // and off after the post
    EXPECT_FALSE(Enabled(6));
    table.Next();
    table.First();
    EXPECT_EQ(Saved(*edit), bytes);
    EXPECT_EQ(edit->GetPlainText().substr(0, 12), "FirstX page ");
}

TEST_F(DbRichText, EveryPageComesLaidOutFromItsStartWithItsAttributesOnTheBar) {
    bar->Setsel_ListBoxes((1u << (SelParColor + 1)) - 1);
    Open();
    table.Next();
    table.Edit();
    table.FieldByName("Body")->SetAsString("{\\rtf1{\\fonttbl{\\f0 Arial;}}\\f0\\fs48\\b Big page.\\par}");
    table.Post();
    table.First();
    TJDTBCombo* sizes = bar->Combo(2);
    ASSERT_NE(sizes, nullptr);
    auto shownSize = [&] { return sizes->ItemIndex() < 0 ? std::string() : sizes->Items()[sizes->ItemIndex()]; };
    auto firstLineHeight = [&] { return int(edit->Engine().FirstParagraph()->lines->textHeight); };
    const int smallHeight = firstLineHeight();
    ASSERT_GT(smallHeight, 0);
    struct Step {
        void (db::TDataSet::*move)();
        const char* text;
        const char* size;
        bool big;
    } steps[] = {
        {&db::TDataSet::Next, "Big page.\r", "24", true},
        {&db::TDataSet::Prior, "First page body.\rSecond paragraph of it.\r", "10", false},
        {&db::TDataSet::Next, "Big page.\r", "24", true},
    };
    for (const Step& st : steps) {
        (table.*st.move)();
        guitest::ProcessEvents();
        EXPECT_EQ(edit->GetPlainText(), st.text);
        EXPECT_EQ(edit->GetCPPosition(), 0) << st.text;
        EXPECT_EQ(shownSize(), st.size) << st.text;
        if (st.big) EXPECT_GT(firstLineHeight(), smallHeight * 2) << st.text;
        else EXPECT_EQ(firstLineHeight(), smallHeight) << st.text;
        EXPECT_FALSE(edit->Modified) << st.text;
        EXPECT_EQ(table.State(), db::dsBrowse);
    }
}

TEST_F(DbRichText, EscapeRestoresTheFieldsText) {
    Open();
    edit->SetFocus();
    guitest::ProcessEvents();
    edit->SetCPPosition(0);
    guitest::TypeText(edit, "zz");
    ASSERT_EQ(edit->GetPlainText().substr(0, 7), "zzFirst");
    guitest::SendKey(edit, VK_ESCAPE);
    EXPECT_EQ(edit->GetPlainText().substr(0, 5), "First");
}

TEST_F(DbRichText, EmptyBlobAutoDisplayAndThePlainStringField) {
    edit->Font().SetName("Courier New");
    edit->Font().SetSize(14);
    edit->Loaded();
    Open();
    table.Next();
    table.Next();
    EXPECT_TRUE(edit->IsEmpty());
    EXPECT_EQ(edit->Engine().Header().fontNames[edit->Engine().currentAttr.font], "Courier New");
    EXPECT_EQ(edit->Engine().currentAttr.size, 14);
    // AutoDisplay off: the field's name in parentheses until Enter or a double click.
    table.FieldByName("Body")->DisplayLabel = "HelpText";
    edit->SetAutoDisplay(false);
    table.First();
    EXPECT_EQ(edit->GetPlainText(), "(HelpText)");
    EXPECT_FALSE(edit->MemoLoaded());
    edit->SetFocus();
    guitest::ProcessEvents();
    guitest::TypeText(edit, "a");  // other keys do nothing
    EXPECT_EQ(edit->GetPlainText(), "(HelpText)");
    EXPECT_EQ(table.State(), db::dsBrowse);
    guitest::SendKey(edit, VK_RETURN);
    EXPECT_EQ(edit->GetPlainText().substr(0, 5), "First");
    table.Next();
    EXPECT_EQ(edit->GetPlainText(), "(HelpText)");
    guitest::DoubleClick(edit, {20, 10});
    EXPECT_EQ(edit->GetPlainText(), "Another page.\r");
    // The string field: plain text in, plain text out.
    table.First();
    EXPECT_EQ(title->GetPlainText(), "Title 1");
    title->SetFocus();
    guitest::ProcessEvents();
    title->SetCPPosition(7);
    guitest::TypeText(title, "b");
    table.Post();
    EXPECT_EQ(table.FieldByName("Title")->AsString(), "Title 1b");
}

TEST_F(DbRichText, DatabaseIconsFollowTheDataset) {
    // Without an active dataset all nine are off.
    for (int n = 1; n <= 9; ++n) EXPECT_FALSE(Enabled(n)) << n;
    Open();
    struct Row {
        const char* where;
        bool prior, next, edit, post;
    } rows[] = {{"first", false, true, true, false}, {"middle", true, true, true, false}, {"last", true, false, true, false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.where);
        if (std::string(r.where) == "first") table.First();
        else if (std::string(r.where) == "middle") table.Next();
        else table.Last();
        edit->UpdateDatabaseIcons();
        EXPECT_EQ(Enabled(2), r.prior);
        EXPECT_EQ(Enabled(7), r.prior);
        EXPECT_EQ(Enabled(1), r.next);
        EXPECT_EQ(Enabled(8), r.next);
        EXPECT_EQ(Enabled(5), r.edit);
        EXPECT_EQ(Enabled(9), r.post);
    }
    // The icons drive the dataset.
    TJdSelNr kind = jdSelIconDown;
    edit->IconSelection(kind, "", jdgDatabase, 7);
    EXPECT_EQ(kind, 0);
    EXPECT_TRUE(table.Bof());
    kind = jdSelIconDown;
    edit->IconSelection(kind, "", jdgDatabase, 5);
    EXPECT_EQ(table.State(), db::dsEdit);
    kind = jdSelIconDown;
    edit->IconSelection(kind, "", jdgDatabase, 6);
    EXPECT_EQ(table.State(), db::dsBrowse);
    // Read-only: no Edit icon.
    edit->SetReadOnly(true);
    edit->UpdateDatabaseIcons();
    EXPECT_FALSE(Enabled(5));
    // No data source: all off.
    edit->SetDataSource(nullptr);
    for (int n = 1; n <= 9; ++n) EXPECT_FALSE(Enabled(n)) << n;
}

TEST_F(DbRichText, RefusedChangesAndHarmlessActionsNeverEnterEdit) {
    Open();
    edit->SetFocus();
    guitest::ProcessEvents();
    // Selecting, copying and scrolling leave the dataset browsing.
    edit->SetCPPosition(0);
    guitest::SendKey(edit, VK_RIGHT, ssShift);
    guitest::SendKey(edit, VK_END, ssShift);
    edit->Perform(WM_COPY, 0, 0);
    edit->Perform(WM_VSCROLL, 1, 0);
    EXPECT_EQ(table.State(), db::dsBrowse);
    EXPECT_FALSE(edit->Modified);
    // A read-only editor refuses typing, paste, cut, Delete and Shift+Ins.
    edit->SetReadOnly(true);
    const std::string before = edit->GetPlainText();
    guitest::TypeText(edit, "q");
    edit->Perform(WM_PASTE, 0, 0);
    edit->Perform(WM_CUT, 0, 0);
    guitest::SendKey(edit, VK_DELETE);
    guitest::SendKey(edit, VK_INSERT, ssShift);
    EXPECT_EQ(edit->GetPlainText(), before);
    EXPECT_EQ(table.State(), db::dsBrowse);
    EXPECT_FALSE(edit->Modified);
    // A read-only field refuses as well.
    edit->SetReadOnly(false);
    table.FieldByName("Body")->ReadOnly = true;
    guitest::TypeText(edit, "q");
    guitest::SendKey(edit, VK_DELETE);
    EXPECT_EQ(edit->GetPlainText(), before);
    EXPECT_EQ(table.State(), db::dsBrowse);
    EXPECT_FALSE(edit->Modified);
    // A data source that goes is unlinked.
    delete source;
    source = nullptr;
    EXPECT_EQ(edit->DataSource(), nullptr);
    EXPECT_EQ(title->DataSource(), nullptr);
}

}  // namespace
}  // namespace richtext
