// The data grid over a real engine table: layout (row and title heights,
// column widths from fields, Selected lines and titles), the option mapping,
// the scroll bar's two modes, the buffer window and scrolling; and its cell
// painting, rendered offscreen and probed.
#include "data/tests/engine_fixture.h"
#include "controls/data/vl_db_grid.h"
#include "data/vl_intl.h"
#include "platform/gui/forms.h"
#include "platform/gui/gui_test_harness.h"

#include <gtest/gtest.h>

namespace {

using namespace gui;
using namespace vl;

// Counts layouts and answers sequence numbers when told to.
class ProbeGrid : public TvlCustomDBGrid {
public:
    using TvlCustomDBGrid::TvlCustomDBGrid;
    int layouts = 0;
    bool answerSequence = false;
    std::uint32_t count = 0, seqNo = 0;
    void LayoutChanged() override {
        ++layouts;
        TvlCustomDBGrid::LayoutChanged();
    }
    bool ReadSequence(std::uint32_t& c, std::uint32_t& s) override {
        if (!answerSequence) return TvlCustomDBGrid::ReadSequence(c, s);
        c = count;
        s = seqNo;
        return true;
    }
};

class GridTest : public vltest::EngineTables {
protected:
    void SetUp() override {
        InitApplication();
        EngineTables::SetUp();
        MakePageTable(40);
        form = new TForm(Application);
        form->SetBounds(10, 10, 600, 400);
        source = std::make_unique<db::TDataSource>(nullptr);
        source->SetDataSet(pages.get());
        grid = new ProbeGrid(form);
        grid->SetParent(form);
        grid->SetBounds(0, 0, 560, 200);
    }
    void TearDown() override {
        delete form;
        source.reset();
        EngineTables::TearDown();
    }
    void Open() {
        pages->Open();
        grid->SetDataSource(source.get());
    }
    int TextHeight(const TFont& font) {
        grid->Canvas().Font().Assign(font);
        return grid->Canvas().TextHeight("W");
    }
    int TextWidth(const std::string& s) {
        grid->Canvas().Font().Assign(grid->Font());
        return grid->Canvas().TextWidth(s);
    }
    TForm* form = nullptr;
    std::unique_ptr<db::TDataSource> source;
    ProbeGrid* grid = nullptr;
};

TEST_F(GridTest, RowAndTitleHeightsFollowPercentLinesAndTitleLines) {
    Open();
    const int h = TextHeight(grid->Font()), th = TextHeight(grid->TitleFont());
    struct {
        int percent, titleLines;
        bool rowLines;
    } cases[] = {{100, 1, true}, {150, 1, true}, {100, 2, true}, {100, 3, false}, {50, 1, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.percent);
        TvlDBGridOptions o = grid->Options();
        o = c.rowLines ? (o | Opt(dgRowLines)) : (o & ~Opt(dgRowLines));
        grid->SetOptions(o);
        grid->SetRowHeightPercent(c.percent);
        grid->SetTitleLines(c.titleLines);
        EXPECT_EQ(grid->DefaultRowHeight(), (h + 2 + (c.rowLines ? 1 : 0)) * c.percent / 100);
        EXPECT_EQ(grid->RowHeights(1), grid->DefaultRowHeight());
        EXPECT_EQ(grid->RowHeights(0), th * c.titleLines + 4 + (c.rowLines ? 0 : 1));
    }
    // Values below 1 store 100 (percent) or are ignored (lines), without a layout.
    grid->SetRowHeightPercent(50);
    const int layouts = grid->layouts;
    grid->SetRowHeightPercent(0);
    EXPECT_EQ(grid->RowHeightPercent(), 100);
    grid->SetTitleLines(0);
    EXPECT_EQ(grid->TitleLines(), 1);
    EXPECT_EQ(grid->layouts, layouts);
}

TEST_F(GridTest, ColumnWidthsComeFromFieldsTitlesAndSelectedLinesAndGoBack) {
    pages->Open();
    pages->FieldByName("HelpId")->SetDisplayWidth(3);
    pages->FieldByName("HelpId")->DisplayLabel = "A rather long~Id";
    pages->FieldByName("Title")->SetDisplayWidth(20);
    pages->FieldByName("Body")->Visible = false;
    grid->SetDataSource(source.get());
    const int zero = TextWidth("0");
    ASSERT_EQ(grid->GetFieldCount(), 5);  // Application, HelpId, Title, TopicPopup, Cost
    EXPECT_EQ(grid->ColCount(), 6);
    EXPECT_EQ(grid->ColWidths(0), 11);
    grid->Canvas().Font().Assign(grid->TitleFont());
    EXPECT_EQ(grid->ColWidths(2), std::max(3 * zero + 4, grid->Canvas().TextWidth("A rather long") + 4));
    EXPECT_EQ(grid->ColWidths(3), 20 * zero + 4);
    // A user's resize goes back into the field's display width.
    grid->SetColWidths(3, 10 * zero + 4);
    EXPECT_EQ(pages->FieldByName("Title")->DisplayWidth(), (10 * zero + 4 + zero / 2 - 3) / zero);

    // Selected lines: a missing field's line goes, the next takes its place.
    grid->SetDataSource(nullptr);
    grid->UseTFields = false;
    plat::StringList lines;
    lines.Add("Title\t12\tHeading");
    lines.Add("Missing\t5\tGone");
    lines.Add("HelpId\t6\tNumber");
    grid->SetSelected(lines);
    grid->LayoutChanged();
    EXPECT_EQ(grid->ColCount(), 4);  // inactive: one column per line
    grid->SetDataSource(source.get());
    ASSERT_EQ(grid->Selected().Count(), 2);
    EXPECT_EQ(grid->Selected()[1], "HelpId\t6\tNumber");
    ASSERT_EQ(grid->GetFieldCount(), 2);
    EXPECT_EQ(grid->GetFields(0)->FieldName, "Title");
    EXPECT_GE(grid->ColWidths(1), 12 * zero + 4);
    grid->SetColWidths(2, 9 * zero + 4);
    EXPECT_EQ(grid->Selected()[1], "HelpId\t9\tNumber");
}

TEST_F(GridTest, OptionsMapToTheGridAndReLayOutOnlyWhereTheyMust) {
    Open();
    struct {
        TvlDBGridOption option;
        TGridOptions gridOptions;  // what it adds to the base grid's options
        bool relayout;
    } cases[] = {
        {dgColLines, goFixedVertLine | goVertLine, true},
        {dgRowLines, goFixedHorzLine | goHorzLine, true},
        {dgColumnResize, goColSizing | goColMoving, false},
        {dgTabs, goTabs, false},
        {dgAlwaysShowEditor, goAlwaysShowEditor, true},
        {dgWordWrap, 0, false},
        {dgConfirmDelete, 0, false},
        {dgMultiSelect, 0, false},
        {dgPerfectRowFit, 0, true},
        {dgTitles, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.option);
        const TvlDBGridOptions with = grid->Options() | Opt(c.option);
        const TvlDBGridOptions without = grid->Options() & ~Opt(c.option);
        grid->SetOptions(without);
        const int layouts = grid->layouts;
        const TGridOptions before = grid->TCustomGrid::Options();
        grid->SetOptions(with);
        EXPECT_EQ(grid->layouts - layouts, c.relayout ? 1 : 0);
        EXPECT_EQ(grid->TCustomGrid::Options() & ~before, c.gridOptions);
        grid->SetOptions(with);  // unchanged: nothing happens
        EXPECT_EQ(grid->layouts - layouts, c.relayout ? 1 : 0);
    }
    // Editing only without row select.
    grid->SetOptions(grid->Options() | Opt(dgRowSelect));
    EXPECT_FALSE(grid->TCustomGrid::Options() & goEditing);
    EXPECT_TRUE(grid->TCustomGrid::Options() & goRowSelect);
    grid->SetOptions(grid->Options() & ~Opt(dgRowSelect));
    EXPECT_TRUE(grid->TCustomGrid::Options() & goEditing);
    // Tab stops: read-only and calculated columns are passed over.
    pages->FieldByName("Application")->ReadOnly = true;
    grid->LayoutChanged();
    EXPECT_FALSE(grid->TabStops(1));
    EXPECT_TRUE(grid->TabStops(2));
}

TEST_F(GridTest, TheBufferHoldsTheVisibleRowsAndScrollingMovesTheDataset) {
    Open();
    form->Show();
    const int visible = grid->VisibleRowCount();
    ASSERT_GT(visible, 3);
    EXPECT_EQ(grid->DataLink().BufferCount(), visible);
    EXPECT_EQ(grid->RowCount(), visible + 1);
    EXPECT_EQ(grid->TopRow(), 1);
    int topChanges = 0;
    grid->OnTopRowChanged = [&](plat::TObject*) { ++topChanges; };
    // Down to the last visible row: no scroll yet.
    pages->MoveBy(visible - 1);
    EXPECT_EQ(grid->Row(), visible);
    topChanges = 0;
    pages->MoveBy(1);  // one row further: the data area scrolls by one
    EXPECT_EQ(topChanges, 1);
    EXPECT_EQ(grid->Row(), visible);
    EXPECT_EQ(grid->TopRow(), 1);  // the grid's own top row never moves
    topChanges = 0;
    pages->MoveBy(100);  // a jump of more than a page also tells
    EXPECT_EQ(topChanges, 1);
    EXPECT_TRUE(pages->Eof());
    EXPECT_EQ(pages->FieldByName("HelpId")->AsInteger(), 40);
    EXPECT_EQ(grid->Row(), visible);
}

TEST_F(GridTest, TheScrollBarInSimpleAndInSequenceMode) {
    Open();
    int lo = 0, hi = 0;
    // Whether this engine's table cursor tells sequence numbers or not, no
    // box interrupts the user.
    grid->UpdateScrollBar();
    EXPECT_TRUE(dialogs.Requests().empty());
    if (!grid->SequenceScrollBar()) {
        grid->GetScrollRange(SB_VERT, lo, hi);
        EXPECT_EQ(hi, 4);
        EXPECT_EQ(grid->GetScrollPos(SB_VERT), 0);  // at the first record
        pages->MoveBy(5);
        EXPECT_EQ(grid->GetScrollPos(SB_VERT), 2);
        pages->Last();
        EXPECT_EQ(grid->GetScrollPos(SB_VERT), 4);
    }
    // Sequence mode: 0..200 by the record's number in the count.
    grid->answerSequence = true;
    struct {
        std::uint32_t count, seqNo;
        int moveFromFirst, pos;
    } cases[] = {{40, 11, 10, 51}, {40, 20, 19, 97}, {1, 1, 0, 0}, {40, 1, 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.seqNo);
        pages->First();
        pages->MoveBy(c.moveFromFirst);
        grid->count = c.count;
        grid->seqNo = c.seqNo;
        grid->UpdateScrollBar();
        EXPECT_TRUE(grid->SequenceScrollBar());
        grid->GetScrollRange(SB_VERT, lo, hi);
        EXPECT_EQ(hi, 200);
        EXPECT_EQ(grid->GetScrollPos(SB_VERT), c.pos);
    }
    pages->Last();
    grid->count = 40;
    grid->seqNo = 40;
    grid->UpdateScrollBar();
    EXPECT_EQ(grid->GetScrollPos(SB_VERT), 200);
}

TEST_F(GridTest, TheSequenceBarFollowsMovesAndTheCountFollowsAppendAndDelete) {
    Open();
    form->Show();
    grid->UpdateScrollBar();
    if (!grid->SequenceScrollBar()) GTEST_SKIP() << "this table cursor tells no sequence numbers";
    // Position (seq - 1) * 200 / (count - 1) on the eleventh record.
    auto posAt11 = [&] {
        pages->First();
        pages->MoveBy(10);
        EXPECT_EQ(pages->FieldByName("HelpId")->AsInteger(), 11);
        return grid->GetScrollPos(SB_VERT);
    };
    EXPECT_EQ(posAt11(), 10 * 200 / 39);
    // The dataset stays usable around the reads: moves land where they should.
    pages->MoveBy(5);
    EXPECT_EQ(pages->FieldByName("HelpId")->AsInteger(), 16);
    EXPECT_EQ(grid->GetScrollPos(SB_VERT), 15 * 200 / 39);
    pages->Append();
    pages->FieldByName("Application")->SetAsString("Demo");
    pages->FieldByName("HelpId")->SetAsInteger(41);
    pages->Post();
    EXPECT_EQ(posAt11(), 10 * 200 / 40);
    for (int id : {41, 40}) {
        pages->Last();
        ASSERT_EQ(pages->FieldByName("HelpId")->AsInteger(), id);
        pages->Delete();
    }
    EXPECT_EQ(posAt11(), 10 * 200 / 38);
    pages->Close();
    pages->Open();
    EXPECT_EQ(posAt11(), 10 * 200 / 38);
}

TEST(GridPainting, WrappedTextDrawsOneFittingLineAsPlainTextAndBreaksTheRest) {
    InitApplication();
    auto draw = [](bool wrapped, const std::string& text, int width) {
        auto b = std::make_unique<TBitmap>(width, 48);
        TCanvas& c = b->Canvas();
        c.Brush().SetColor(clWhite);
        c.FillRect(Rect(0, 0, width, 48));
        c.Font().SetColor(clBlack);
        if (wrapped) WriteWrappedText(c, Rect(0, 0, width, 48), 3, 2, text, db::taLeftJustify);
        else WriteText(c, Rect(0, 0, width, 48), 3, 2, text, db::taLeftJustify);
        return b;
    };
    auto same = [](TBitmap& a, TBitmap& b) {
        for (int y = 0; y < a.Height(); ++y)
            for (int x = 0; x < a.Width(); ++x)
                if (a.Canvas().Pixel(x, y) != b.Canvas().Pixel(x, y)) return false;
        return true;
    };
    struct {
        std::string text;
        int width;
        bool asPlain;
    } cases[] = {
        {"Page 12", 160, true},
        {"", 160, true},
        {"  two words ", 160, true},
        {"Seite \xe4\xf6\xfc", 160, true},           // past ASCII: measured, still one line
        {"one two three four five six", 40, false},  // too wide: broken at blanks
        {"Page\r\nnext", 160, false},                // a line end always breaks
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        auto wrapped = draw(true, c.text, c.width), plain = draw(false, c.text, c.width);
        EXPECT_EQ(same(*wrapped, *plain), c.asPlain);
    }
}

// --- painting ---------------------------------------------------------------------------

TEST(GridPainting, CopyModesSizeModesAndBlobHeaders) {
    struct {
        const char* name;
        TCopyMode mode;
    } copies[] = {{"Source Copy", 13369376},     {"Source Paint", 15597702},     {"Source And", 8913094},
                  {"Source Invert", 6684742},    {"Source Erase", 4457256},      {"Not Source Copy", 3342344},
                  {"Not Source Erase", 1114278}, {"Merge Paint", 12255782},      {"source copy", 13369376},
                  {"Blend", 13369376},           {"", 13369376}};
    for (const auto& c : copies) EXPECT_EQ(CopyModeOfName(c.name), c.mode) << c.name;

    // A 40 x 20 picture in a 30 x 18 cell at (100, 50).
    const TRect cell = Rect(100, 50, 130, 68);
    struct {
        const char* name;
        bool drawn;
        TRect dest, source;
    } sizes[] = {
        {"Original Size", true, Rect(101, 51, 130, 68), Rect(0, 0, 29, 17)},
        {"Stretch To Fit", true, cell, Rect(0, 0, 40, 20)},
        // w = 40 * 18 / 20 = 36 > 30: source width 40 * 30 / 36 = 33.
        {"Fit Height", true, Rect(101, 50, 130, 67), Rect(0, 0, 33, 20)},
        // h = 20 * 30 / 40 = 15.
        {"Fit Width", true, Rect(101, 50, 130, 64), Rect(0, 0, 40, 20)},
        {"Tiled", false, {}, {}},
    };
    for (const auto& s : sizes) {
        TRect dest, source;
        EXPECT_EQ(BitmapPlacement(SizeModeOfName(s.name), 40, 20, cell, dest, source), s.drawn) << s.name;
        if (!s.drawn) continue;
        EXPECT_EQ(dest, s.dest) << s.name;
        EXPECT_EQ(source, s.source) << s.name;
    }
    TRect d, src;
    EXPECT_FALSE(BitmapPlacement(smFitWidth, 40, 2, cell, d, src));  // too flat to show

    const std::string body = "BMpicture";
    auto header = [](std::uint32_t len) {
        std::string h = {1, 0, 0, 1};
        for (int i = 0; i < 4; ++i) h += static_cast<char>(len >> (8 * i) & 0xFF);
        return h;
    };
    EXPECT_EQ(StripBlobHeader(header(9) + body), body);
    EXPECT_EQ(StripBlobHeader(header(8) + body), header(8) + body);  // length does not match
    EXPECT_EQ(StripBlobHeader(body), body);
    EXPECT_EQ(StripBlobHeader(header(0)), "");
}

class GridPaintTest : public GridTest {
protected:
    // The grid as drawn, without focus.
    TBitmap& Shot() {
        form->Show();
        guitest::ProcessEvents(10);
        guitest::Grab(grid, shot);
        return shot;
    }
    TColor At(int x, int y) { return shot.Canvas().Pixel(x, y); }
    // Black pixels in column x between rows top and bottom (inclusive).
    std::vector<int> BlackRows(int x, int top, int bottom) {
        std::vector<int> rows;
        for (int y = top; y <= bottom; ++y)
            if (At(x, y) == clBlack) rows.push_back(y);
        return rows;
    }
    TBitmap shot;
};

TEST_F(GridPaintTest, CheckBoxesInBothStylesTheYellowIndicatorTitlesAndAlignment) {
    plat::StringList types;
    types.Add("TopicPopup;CheckBox;t;P");
    pages->SetControlType(types);
    pages->Open();
    pages->FieldByName("HelpId")->DisplayLabel = "Help~Id";
    pages->FieldByName("Application")->SetDisplayWidth(8);
    pages->FieldByName("Title")->SetDisplayWidth(10);
    grid->SetTitleLines(2);
    grid->SetIndicatorColor(icYellow);
    grid->SetDataSource(source.get());
    CreateGlobalIntl().SetCheckBoxInGridStyle(cbStyleCheckmark);
    Shot();

    // Row 1 holds HelpId 1, "T": checked ("t" ignores case); row 2 "P": not.
    const int topicCol = 4;
    const TRect c1 = grid->CellRect(topicCol, 1), c2 = grid->CellRect(topicCol, 2);
    const int l = (c1.Left + c1.Right - 10) / 2, t = (c1.Top + c1.Bottom - 10) / 2, b = t + 10;
    const int spans[7][2] = {{4, 3}, {5, 2}, {6, 1}, {5, 2}, {4, 3}, {3, 4}, {2, 5}};
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(i);
        const std::vector<int> rows = BlackRows(l + 2 + i, t + 1, b - 1);
        ASSERT_FALSE(rows.empty());
        EXPECT_EQ(rows.front(), t + spans[i][0]);
        EXPECT_EQ(rows.back(), b - spans[i][1]);
    }
    const int l2 = (c2.Left + c2.Right - 10) / 2, t2 = (c2.Top + c2.Bottom - 10) / 2;
    EXPECT_TRUE(BlackRows(l2 + 5, t2 + 1, t2 + 9).empty());  // unchecked: an empty box
    EXPECT_EQ(At(l2 + 5, t2 + 5), ColorToRGB(clWindow));

    // The indicator: yellow on the title colour, in the current row only.
    auto yellowIn = [&](const TRect& r) {
        int n = 0;
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x) n += At(x, y) == RGB(255, 255, 0);
        return n;
    };
    EXPECT_GT(yellowIn(grid->CellRect(0, 1)), 10);
    EXPECT_EQ(yellowIn(grid->CellRect(0, 2)), 0);

    // "Help~Id" on two lines: ink in the top and in the bottom half of the
    // title (smoothed text has few pure black pixels: dark ones count).
    auto dark = [&](int x, int y) {
        const TColor c = At(x, y);
        return (c & 0xFF) < 100 && (c >> 8 & 0xFF) < 100 && (c >> 16 & 0xFF) < 100;
    };
    auto inkRows = [&](const TRect& r) {
        std::vector<int> rows;
        for (int y = r.Top + 2; y < r.Bottom - 2; ++y)
            for (int x = r.Left + 2; x < r.Right - 2; ++x)
                if (dark(x, y)) {
                    rows.push_back(y);
                    break;
                }
        return rows;
    };
    const TRect title = grid->CellRect(2, 0);
    const std::vector<int> ink = inkRows(title);
    ASSERT_FALSE(ink.empty());
    const int middle = (title.Top + title.Bottom) / 2;
    EXPECT_LT(ink.front(), middle);
    EXPECT_GT(ink.back(), middle);

    // Numbers sit right: the HelpId cell's ink is in its right part.
    const TRect num = grid->CellRect(2, 3);
    int leftmost = num.Right;
    for (int y = num.Top + 1; y < num.Bottom - 1; ++y)
        for (int x = num.Left + 1; x < num.Right - 1; ++x)
            if (dark(x, y)) leftmost = std::min(leftmost, x);
    EXPECT_GT(leftmost, num.Left + (num.Right - num.Left) / 2);

    // The cross style: an X in the checked box.
    CreateGlobalIntl().SetCheckBoxInGridStyle(cbStyleXmark);
    Shot();
    EXPECT_EQ(At(l + 2, t + 2), clBlack);
    EXPECT_EQ(At(l + 7, t + 2), clBlack);
    EXPECT_EQ(At(l + 5, t + 5), clBlack);
    EXPECT_NE(At(l + 5, t + 2), clBlack);
    CreateGlobalIntl().SetCheckBoxInGridStyle(cbStyleAuto);
}

}  // namespace
