// The main window's filter view, contents filter and preferences, offscreen:
// the grids' column filters through the small dialog, the Filter View's
// columns and kind colours, the contents filter word and its history, and
// the preferences that change the window's own controls.
#include "editor/forms/tests/main_window_fixture.h"
#include "editor/forms/main_form.h"
#include "editor/forms/main_options.h"

#include "project/project_tables.h"
#include "editor/options/page_filters.h"
#include "editor/options/ui/filter_forms.h"
#include "editor/options/ui/prefs_form.h"
#include "platform/core/paths.h"
#include "data/engine_driver.h"
#include "data/fields.h"
#include "data/tables.h"
#include "platform/core/dialog_service.h"
#include "platform/gui/gui_test_harness.h"
#include "platform/win/message_queue.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>

#include <cmath>
#include <map>

#include <filesystem>

namespace {

using editor::TForm1;

// Runs `act` on the top-level form named `name` once a modal loop shows it.
void WhenShown(const std::string& name, std::function<void(gui::TForm*)> act) {
    auto h = std::make_shared<plat::HWND>(0);
    *h = plat::AllocateHWnd([h, name, act](gui::TMessage& m) {
        if (m.Msg != gui::WM_USER + 17) return;
        gui::TForm* shown = nullptr;
        for (int i = 0; i < gui::Screen->FormCount(); ++i)
            if (gui::Screen->Forms(i)->Name() == name && gui::Screen->Forms(i)->Visible()) shown = gui::Screen->Forms(i);
        if (!shown) {
            plat::PostMessage(*h, gui::WM_USER + 17, 0, 0);
            return;
        }
        act(shown);
        plat::DeallocateHWnd(*h);
    });
    plat::PostMessage(*h, gui::WM_USER + 17, 0, 0);
}

class MainOptions : public ::testing::Test {
protected:
    void SetUp() override {
        home = (tmp.path() / "home").string();
        driver = editortest::UseProgramHome(home);
        form = editortest::StartMainWindow(home);
        ASSERT_TRUE(form->StartupOk());
        form->Show();
        guitest::ProcessEvents(20);
        ctx = form->ctx;
        ctx->mainTable->Append();
        ctx->mainTable->FieldByName("Application")->SetAsString("Demo");
        ctx->mainTable->Post();
        for (auto [id, kind] : {std::pair{10, "T"}, {20, "P"}, {30, "T"}}) {
            ctx->detailTable->Append();
            ctx->detailTable->FieldByName("HelpId")->SetAsInteger(id);
            ctx->detailTable->FieldByName("TopicPopup")->SetAsString(kind);
            ctx->detailTable->FieldByName("Title")->SetAsString("Page " + std::to_string(id));
            ctx->detailTable->Post();
        }
        commands = editor::FilterViewCommandsOf(*form);
        ASSERT_NE(commands, nullptr);
    }
    void TearDown() override {
        form.reset();
        db::Session().SetDriver(nullptr);
        driver.reset();
        plat::SetDataHome("");
    }
    std::vector<long> PageIds() {
        std::vector<long> ids;
        db::TDataSet* d = ctx->detailTable;
        for (d->First(); !d->Eof(); d->Next()) ids.push_back(static_cast<long>(d->FieldByName("HelpId")->AsInteger()));
        return ids;
    }
    void SelectColumn(editor::TViewGrid* grid, const std::string& field) {
        for (int i = 0; i < grid->GetFieldCount(); ++i)
            if (grid->GetFields(i)->FieldName == field) grid->SetSelectedIndex(i);
        ASSERT_EQ(grid->GetSelectedField()->FieldName, field);
    }
    testsupport::TempDir tmp;
    std::string home;
    std::shared_ptr<db::TEngineDriver> driver;
    gui::ScriptedDialogService dialogs;
    gui::ScopedDialogService scope{dialogs};
    std::unique_ptr<TForm1> form;
    editor::EditorContext* ctx = nullptr;
    editor::TFilterViewCommands* commands = nullptr;
};

TEST(FilterViewValues, KindColoursAndTheFilterViewFields) {
    struct Case {
        const char* field;
        const char* kind;
        bool coloured;
        long font;
    } cases[] = {
        {"TopicPopup", "T", true, 0xFF0000}, {"TopicPopup", "P", true, 0x008000},
        {"TopicPopup", "", true, 0x008000},  {"Title", "T", false, -1},
    };
    for (const auto& c : cases) {
        long font = -1, brush = -1;
        EXPECT_EQ(editor::FilterGridCellColours(c.field, c.kind, 0xFF0000, 0x008000, font, brush), c.coloured)
            << c.field << " " << c.kind;
        EXPECT_EQ(font, c.font) << c.field << " " << c.kind;
        EXPECT_EQ(brush, c.coloured ? 0xFFFFFF : -1) << c.field << " " << c.kind;
    }
    EXPECT_EQ(editor::FilterViewOnlyFields().size(), 11u);
}

TEST_F(MainOptions, TheFilterViewShowsTheExtraFieldsAndTheSplitViewHidesThem) {
    auto visible = [&](const char* name) { return ctx->detailTable->FieldByName(name)->Visible; };
    // Shown on the split view first: hidden.
    EXPECT_FALSE(visible("Keys"));
    EXPECT_FALSE(visible("ContextString"));
    EXPECT_TRUE(visible("Title"));
    const int splitColumns = form->detailGrid->GetFieldCount();
    form->TabBook->SetActivePageName(editor::kFilterViewPage);
    form->TabBookClick();
    for (const std::string& name : editor::FilterViewOnlyFields()) EXPECT_TRUE(visible(name.c_str())) << name;
    EXPECT_EQ(form->detailGrid->GetFieldCount(), splitColumns + 11);
    form->TabBook->SetActivePageName(editor::kSplitViewPage);
    form->TabBookClick();
    EXPECT_FALSE(visible("Keys"));
    EXPECT_EQ(form->detailGrid->GetFieldCount(), splitColumns);
    // The contents tab leaves the columns as they are.
    form->TabBook->SetActivePageName(editor::kContentsPage);
    form->TabBookClick();
    EXPECT_FALSE(visible("Keys"));
    // The controls were enabled again.
    EXPECT_FALSE(ctx->detailTable->ControlsDisabled());
}

TEST_F(MainOptions, TheFilterGridColoursTheKindColumn) {
    ctx->TopicColor = 0xFF0000;
    ctx->PopupColor = 0x008000;
    db::TDataSet* t = ctx->tblFilter;
    auto go = [t](long id) {
        for (t->First(); !t->Eof(); t->Next())
            if (t->FieldByName("HelpId")->AsInteger() == id) return true;
        return false;
    };
    ASSERT_TRUE(go(20));
    gui::TFont font;
    gui::TBrush brush;
    font.SetColor(gui::clBlack);
    brush.SetColor(gui::clSilver);
    form->filterGrid->OnCalcCellColors(form->filterGrid, t->FieldByName("TopicPopup"), 0, false, font, brush);
    EXPECT_EQ(font.Color(), static_cast<gui::TColor>(0x008000));
    EXPECT_EQ(brush.Color(), static_cast<gui::TColor>(0xFFFFFF));
    ASSERT_TRUE(go(10));
    form->filterGrid->OnCalcCellColors(form->filterGrid, t->FieldByName("TopicPopup"), 0, false, font, brush);
    EXPECT_EQ(font.Color(), static_cast<gui::TColor>(0xFF0000));
    // Another column keeps its colours.
    font.SetColor(gui::clBlack);
    brush.SetColor(gui::clSilver);
    form->filterGrid->OnCalcCellColors(form->filterGrid, t->FieldByName("Title"), 0, false, font, brush);
    EXPECT_EQ(font.Color(), gui::clBlack);
    EXPECT_EQ(brush.Color(), gui::clSilver);
}

TEST_F(MainOptions, AColumnFilterFromTheGridChangesOnlyItsOwnLines) {
    // A stored title criterion that the column filter must keep.
    editor::FilterValues v{};
    v[editor::flTitle] = "Page 30";
    ASSERT_TRUE(editor::ApplyPageFilter(*ctx, v));
    // The Filter View's grid offers "&Filter" in its pop-up menu.
    ASSERT_NE(gui::GetPopupMenu(form->filterGrid), nullptr);
    EXPECT_EQ(gui::GetPopupMenu(form->filterGrid)->Items()->Items(0)->Caption(), "&Filter");

    SelectColumn(form->filterGrid, "HelpId");
    std::string caption;
    WhenShown("frmMiniFilterGrid", [&](gui::TForm* f) {
        auto* mini = static_cast<editor::TfrmMiniFilter*>(f);
        caption = mini->Caption();
        mini->c.fHelpID->SetText("15");
        mini->c.fHelpIDTo->SetText("30");
        mini->SetModalResult(gui::mrOk);
    });
    commands->Filter3->Click();
    EXPECT_EQ(caption, "Filter on HelpID");
    const std::vector<std::string> lines = editor::StoredFilterLines(*ctx);
    ASSERT_EQ(lines.size(), 17u);
    EXPECT_EQ(lines[0], "HelpID >= 15");
    EXPECT_EQ(lines[1], "HelpID <= 30");
    EXPECT_EQ(lines[3], "Title = \"Page 30\"");
    EXPECT_EQ(PageIds(), (std::vector<long>{30}));

    // Cancel changes nothing.
    WhenShown("frmMiniFilterGrid", [](gui::TForm* f) {
        static_cast<editor::TfrmMiniFilter*>(f)->c.fHelpID->SetText("99");
        f->SetModalResult(gui::mrCancel);
    });
    EXPECT_FALSE(commands->FilterFromGridColumn(true));
    EXPECT_EQ(editor::StoredFilterLines(*ctx)[0], "HelpID >= 15");

    // A column without a criterion (the context string) opens nothing, in
    // the Filter View's grid and in the split view's, which knows three.
    SelectColumn(form->filterGrid, "ContextString");
    EXPECT_FALSE(commands->FilterFromGridColumn(true));
    SelectColumn(form->filterGrid, "Keys");
    ctx->detailTable->FieldByName("Keys")->Visible = true;
    ctx->detailTable->DataEvent(db::deLayoutChange, 0);
    SelectColumn(form->detailGrid, "Keys");
    EXPECT_FALSE(commands->FilterFromGridColumn(false));
    EXPECT_EQ(editor::StoredFilterLines(*ctx), lines);
}

TEST_F(MainOptions, TheContentsFilterWordAndItsHistory) {
    // Three contents entries, two of them under the word "web".
    db::TDataSet* c = ctx->cntTable;
    for (auto [seq, word] : {std::pair{1, "web"}, {2, ""}, {3, "web"}}) {
        c->Append();
        c->FieldByName("Sequence")->SetAsInteger(seq);
        c->FieldByName("Title")->SetAsString("Entry " + std::to_string(seq));
        c->FieldByName("Filter")->SetAsString(word);
        c->Post();
    }
    auto entries = [&] {
        int n = 0;
        for (c->First(); !c->Eof(); c->Next()) ++n;
        return n;
    };
    ASSERT_EQ(entries(), 3);
    // The word typed into the combo box is the project's; Filter Now applies it.
    form->TabBook->SetActivePageName(editor::kContentsPage);
    form->TabBookClick();
    form->SetActiveControl(commands->comboFilter);
    commands->comboFilter->SetFocus();
    guitest::TypeText(commands->comboFilter, "web");
    form->btnFilterNow->Click();
    EXPECT_EQ(ctx->mainTable->FieldByName("ContentsFilter")->AsString(), "web");
    EXPECT_EQ(entries(), 2);
    // Saved into the history, which the combo box offers.
    commands->SpeedButton1->Click();
    EXPECT_EQ(ctx->mainTable->State(), db::dsBrowse);
    EXPECT_EQ(editor::ContentsFilterHistory(*ctx), (std::vector<std::string>{"web"}));
    ASSERT_EQ(commands->comboFilter->Items().Count(), 1);
    EXPECT_EQ(commands->comboFilter->Items()[0], "web");
    // Ten more words: the oldest drops out; a word already there stays where it is.
    for (int i = 1; i <= 10; ++i) {
        commands->comboFilter->SetText("w" + std::to_string(i));
        commands->SpeedButton1->Click();
    }
    commands->comboFilter->SetText("w5");
    commands->SpeedButton1->Click();
    const std::vector<std::string> history = editor::ContentsFilterHistory(*ctx);
    ASSERT_EQ(history.size(), 10u);
    EXPECT_EQ(history.front(), "w10");
    EXPECT_EQ(history.back(), "w1");
    EXPECT_EQ(commands->comboFilter->Items().Count(), 10);
    EXPECT_EQ(commands->memoContentsFilterHistory->Lines().Count(), 10);
    // An empty word stores nothing; as the project's word it shows every entry.
    commands->comboFilter->SetText("");
    commands->SpeedButton1->Click();
    EXPECT_EQ(editor::ContentsFilterHistory(*ctx).size(), 10u);
    ctx->mainTable->Edit();
    ctx->mainTable->FieldByName("ContentsFilter")->SetAsString("");
    ctx->mainTable->Post();
    static_cast<gui::TMenuItem*>(form->FindComponent("FilterNow1"))->Click();
    EXPECT_EQ(entries(), 3);
}

TEST_F(MainOptions, PreferencesChangeTheGridFontAndTheTreeAtOnce) {
    EXPECT_EQ(form->detailGrid->Font().Size(), 8);
    EXPECT_TRUE(form->TreeView1->ShowLines);
    WhenShown("PrefsForm", [](gui::TForm* f) {
        auto* prefs = static_cast<editor::TPrefsForm*>(f);
        prefs->cbxGridFontSize->SetText("12");
        prefs->chkGridBold->SetChecked(true);
        prefs->xboxShowLines->SetChecked(false);
        prefs->xboxShowButtons->SetChecked(false);
        guitest::SendKey(prefs->cbxGridFontSize, 0x1B /* VK_ESCAPE */);
    });
    ASSERT_TRUE(guitest::ClickMenu(form.get(), {"&Tools", "Tavrin &Preferences"}));
    ASSERT_TRUE(guitest::WaitFor([&] { return form->detailGrid->Font().Size() == 12; }));
    EXPECT_TRUE(form->detailGrid->Font().Style() & gui::fsBold);
    EXPECT_FALSE(form->TreeView1->ShowLines);
    EXPECT_FALSE(form->TreeView1->ShowButtons);
    EXPECT_FALSE(form->TreeView1->ShowRoot);
    EXPECT_EQ(ctx->Settings.GridFontSize, 12);
}

}  // namespace

namespace {

double Luminance(QRgb c) {
    auto lin = [](int v) {
        const double s = v / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * lin(qRed(c)) + 0.7152 * lin(qGreen(c)) + 0.0722 * lin(qBlue(c));
}

// The contrast of the drawn text of an image against its background: the
// background is its most frequent colour, the text the colour that differs
// most from it among those covering at least a few pixels.
double TextContrast(const QImage& img) {
    std::map<QRgb, int> count;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) ++count[img.pixel(x, y) | 0xFF000000u];
    QRgb back = 0;
    int most = -1;
    for (const auto& [c, n] : count)
        if (n > most) back = c, most = n;
    const double lb = Luminance(back);
    double best = 1.0;
    for (const auto& [c, n] : count) {
        if (n < 4) continue;
        const double l = Luminance(c);
        best = std::max(best, (std::max(l, lb) + 0.05) / (std::min(l, lb) + 0.05));
    }
    return best;
}

}  // namespace

// Pages and popups are marked in readable colours: in the page grid's kind
// column and in the preferences' samples, at least 4.5:1 against their ground.
TEST_F(MainOptions, TopicAndPopupMarksAreReadable) {
    ctx->detailTable->First();
    form->TabBook->SetActivePageName(editor::kSplitViewPage);
    form->TabBookClick();
    guitest::ProcessEvents(20);
    int kindCol = -1;
    for (int i = 0; i < form->detailGrid->GetFieldCount(); ++i)
        if (form->detailGrid->GetFields(i)->FieldName == "TopicPopup") kindCol = i + form->detailGrid->FixedCols();
    ASSERT_GE(kindCol, 0);
    const QImage grid = form->detailGrid->Widget()->grab().toImage();
    const qreal k = grid.devicePixelRatio();
    // Data rows 0, 1, 2: pages 10 (topic, current, highlighted), 20 (popup), 30 (topic).
    for (int row : {1, 2}) {
        const gui::TRect r = form->detailGrid->CellRect(kindCol, form->detailGrid->FixedRows() + row);
        const QImage cell = grid.copy(QRect(QPoint(int(r.Left * k) + 1, int(r.Top * k) + 1),
                                            QPoint(int(r.Right * k) - 2, int(r.Bottom * k) - 2)));
        EXPECT_GE(TextContrast(cell), 4.5) << "row " << row;
    }
    double topic = 0, popup = 0;
    WhenShown("PrefsForm", [&](gui::TForm* f) {
        auto* prefs = static_cast<editor::TPrefsForm*>(f);
        guitest::ProcessEvents(10);
        topic = TextContrast(prefs->lblTopic->Parent()->Widget()->grab(
            QRect(prefs->lblTopic->Left(), prefs->lblTopic->Top(), prefs->lblTopic->Width(), prefs->lblTopic->Height())).toImage());
        popup = TextContrast(prefs->lblPopup->Parent()->Widget()->grab(
            QRect(prefs->lblPopup->Left(), prefs->lblPopup->Top(), prefs->lblPopup->Width(), prefs->lblPopup->Height())).toImage());
        guitest::SendKey(prefs->cbxGridFontSize, 0x1B /* VK_ESCAPE */);
    });
    ASSERT_TRUE(guitest::ClickMenu(form.get(), {"&Tools", "Tavrin &Preferences"}));
    ASSERT_TRUE(guitest::WaitFor([&] { return popup > 0; }));
    EXPECT_GE(topic, 4.5);
    EXPECT_GE(popup, 4.5);
}
