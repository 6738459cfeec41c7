// Pages and tabs, scroll bar and scroll box, splitter, spin edit, gauge and
// the file controls.
#include "platform/gui/tests/gui_fixture.h"

#include "platform/core/exceptions.h"
#include "platform/core/paths.h"
#include "platform/gui/file_controls.h"
#include "platform/gui/scroll_controls.h"
#include "platform/gui/spin_gauge.h"
#include "platform/gui/tabs.h"
#include "tests/support/test_support.h"

namespace guitest {
namespace {

using namespace gui;

class More : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        form->Show();
        ProcessEvents();
    }
};

TEST_F(More, PageControlShowsOnlyTheActiveSheetAndAsksBeforeAUsersChange) {
    auto* pc = new TPageControl(form);
    pc->SetParent(form);
    pc->SetBounds(0, 0, 300, 200);
    std::vector<TTabSheet*> sheets;
    for (const char* name : {"General", "Files", "Advanced"}) {
        auto* s = new TTabSheet(form);
        s->SetCaption(name);
        s->SetPageControl(pc);
        sheets.push_back(s);
    }
    EXPECT_EQ(pc->ActivePage(), sheets[0]);
    EXPECT_TRUE(sheets[0]->Visible());
    EXPECT_FALSE(sheets[1]->Visible());
    EXPECT_EQ(sheets[1]->BoundsRect(), pc->AdjustClientRect());
    bool allow = false;
    int changes = 0;
    pc->OnChanging = [&](TObject*, bool& ok) { ok = allow; };
    pc->OnChange = [&](TObject*) { ++changes; };
    TRect tab = pc->TabRect(2);
    Click(pc, {tab.Left + 3, tab.Top + 3});
    EXPECT_EQ(pc->ActivePageIndex(), 0);
    allow = true;
    Click(pc, {tab.Left + 3, tab.Top + 3});
    EXPECT_EQ(pc->ActivePageIndex(), 2);
    EXPECT_FALSE(sheets[0]->Visible());
    EXPECT_EQ(changes, 1);
    // Hidden tabs are skipped when cycling.
    sheets[0]->SetTabVisible(false);
    pc->SelectNextPage(true);
    EXPECT_EQ(pc->ActivePageIndex(), 1);
    EXPECT_TRUE(pc->TabRect(0).IsEmpty());
    delete sheets[1];  // the active page going away activates a neighbour
    EXPECT_EQ(pc->PageCount(), 2);
    EXPECT_NE(pc->ActivePage(), nullptr);
}

TEST_F(More, NotebookAndTabbedNotebookFollowTheirPageLists) {
    auto* nb = new TNotebook(form);
    nb->SetParent(form);
    nb->Pages().Clear();
    nb->Pages().Add("First");
    nb->Pages().Add("Second");
    int changed = 0;
    nb->OnPageChanged = [&](TObject*) { ++changed; };
    nb->SetActivePage("Second");
    EXPECT_EQ(nb->PageIndex(), 1);
    EXPECT_TRUE(nb->Page(1)->Visible());
    EXPECT_FALSE(nb->Page(0)->Visible());
    nb->SetActivePage("Nowhere");
    EXPECT_EQ(nb->PageIndex(), 1);
    EXPECT_EQ(changed, 1);

    auto* tn = new TTabbedNotebook(form);
    tn->SetParent(form);
    tn->Pages().SetText("One\r\nTwo\r\nThree");
    EXPECT_EQ(tn->PageCount(), 3);
    EXPECT_EQ(tn->Page(2)->Caption(), "Three");
    int wanted = -1;
    tn->OnChangeTab = [&](TObject*, int newTab, bool& ok) {
        wanted = newTab;
        ok = newTab != 1;
    };
    TRect two = tn->TabRect(1);
    Click(tn, {two.Left + 3, two.Top + 3});
    EXPECT_EQ(wanted, 1);
    EXPECT_EQ(tn->PageIndex(), 0);
    tn->SetActivePageName("Three");
    EXPECT_EQ(tn->ActivePageName(), "Three");
    tn->Pages().Delete(2);
    EXPECT_EQ(tn->PageCount(), 2);
}

TEST_F(More, TabSetChangesOnClickUnlessRefused) {
    auto* ts = new TTabSet(form);
    ts->SetParent(form);
    ts->SetBounds(0, 100, 300, 21);
    ts->Tabs().Add("Alpha");
    ts->Tabs().Add("Beta");
    ts->SetTabIndex(0);
    std::vector<int> asked;
    ts->OnChange = [&](TObject*, int t, bool& ok) { asked.push_back(t); };
    TRect beta = ts->TabRect(1);
    Click(ts, {beta.Left + 3, beta.Top + 3});
    EXPECT_EQ(ts->TabIndex(), 1);
    EXPECT_EQ(asked, std::vector<int>{1});
    ts->Tabs().Delete(1);
    EXPECT_EQ(ts->TabIndex(), 0);
}

TEST_F(More, OwnerDrawnTabSetMeasuresAndDrawsEachTabThroughItsEvents) {
    auto* ts = new TTabSet(form);
    ts->SetParent(form);
    ts->SetBounds(0, 100, 300, 30);
    for (const char* t : {"A", "B", "C"}) ts->Tabs().Add(t);
    ts->SetTabIndex(1);
    ts->SetStyle(tsOwnerDraw);
    ts->SetTabHeight(24);
    ts->OnMeasureTab = [](TObject*, int index, int& width) { width = 30 + 10 * index; };
    std::vector<std::pair<int, bool>> drawn;
    TColor brushSeen = clNone;
    ts->OnDrawTab = [&](TObject*, TCanvas& c, TRect r, int index, bool selected) {
        drawn.push_back({index, selected});
        if (selected) brushSeen = c.Brush().Color();
        c.Brush().SetColor(selected ? clLime : clRed);
        c.FillRect(r);
    };
    // Widths are the owner's plus the frame's padding, side by side.
    EXPECT_EQ(ts->TabRect(0).Width(), 42);
    EXPECT_EQ(ts->TabRect(1).Width(), 52);
    EXPECT_EQ(ts->TabRect(2).Left, ts->TabRect(1).Right);
    EXPECT_EQ(ts->TabRect(0).Height(), 24);
    TBitmap img;
    Grab(ts, img);
    ASSERT_EQ(drawn.size(), 3u);
    EXPECT_EQ(drawn[1], std::make_pair(1, true));
    EXPECT_EQ(drawn[2], std::make_pair(2, false));
    EXPECT_EQ(brushSeen, ts->SelectedColor);
    TRect b = ts->TabRect(1), c = ts->TabRect(2);
    EXPECT_EQ(img.Canvas().Pixel(b.Left + 10, b.Top + 10), clLime);
    EXPECT_EQ(img.Canvas().Pixel(c.Left + 10, c.Top + 10), clRed);
    // Clicks find the measured tabs.
    Click(ts, {c.Left + 5, c.Top + 5});
    EXPECT_EQ(ts->TabIndex(), 2);
}

TEST_F(More, ScrollBarMovesByLinesAndPagesWithinItsRange) {
    auto* sb = new TScrollBar(form);
    sb->SetParent(form);
    sb->SetBounds(0, 0, 200, 16);
    sb->SetParams(5, 0, 20);
    sb->LargeChange = 10;
    std::vector<int> changes;
    sb->OnChange = [&](TObject*) { changes.push_back(sb->Position()); };
    Click(sb, {5, 8});     // left arrow
    Click(sb, {195, 8});   // right arrow
    Click(sb, {180, 8});   // the track after the thumb
    Click(sb, {180, 8});   // clamped to the maximum
    EXPECT_EQ(changes, (std::vector<int>{4, 5, 15, 20}));
    sb->OnScroll = [](TObject*, TScrollCode, int& pos) { pos = 7; };
    sb->SetFocus();
    SendKey(sb, VK_HOME);
    EXPECT_EQ(sb->Position(), 7);
    EXPECT_THROW(sb->SetParams(0, 10, 5), plat::Exception);
}

TEST_F(More, ScrollBoxScrollsItsChildrenAndBringsOneIntoView) {
    auto* box = new TScrollBox(form);
    box->SetParent(form);
    box->SetBounds(0, 0, 100, 100);
    auto* far = new TCustomControl(form);
    far->SetParent(box);
    far->SetBounds(10, 300, 50, 20);
    box->UpdateScrollRanges();
    int lo, hi;
    box->GetScrollRange(SB_VERT, lo, hi);
    EXPECT_GT(hi, 200);
    box->ScrollInView(far);
    EXPECT_GE(far->Top(), 0);
    EXPECT_LE(far->Top() + far->Height(), box->ClientHeight());
    int pos = box->VertScrollBar().Position;
    box->Perform(WM_VSCROLL, MAKEWPARAM(SB_TOP, 0), 0);
    EXPECT_EQ(box->VertScrollBar().Position, 0);
    EXPECT_EQ(far->Top(), 300);
    EXPECT_GT(pos, 0);
}

TEST_F(More, SplitterResizesTheControlBesideItWithinMinSize) {
    auto* left = new TCustomControl(form);
    left->SetParent(form);
    left->SetAlign(alLeft);
    left->SetWidth(100);
    auto* split = new TSplitter(form);
    split->SetParent(form);
    split->SetLeft(100);
    split->SetAlign(alLeft);
    ASSERT_EQ(split->FindControl(), left);
    int moved = 0;
    split->OnMoved = [&](TObject*) { ++moved; };
    MouseDown(split, {1, 10});
    MouseMove(split, {41, 10}, ssLeft);
    MouseUp(split, {1, 10});  // the splitter has moved with the edge: 1 is now x 141
    EXPECT_EQ(left->Width(), 140);
    EXPECT_EQ(split->Left(), 140);
    EXPECT_EQ(moved, 1);
    MouseDown(split, {1, 10});
    MouseUp(split, {-500, 10});
    EXPECT_EQ(left->Width(), split->MinSize);
}

TEST_F(More, SpinEditStepsWithinLimitsAndTakesOnlyNumbers) {
    auto* spin = new TSpinEdit(form);
    spin->SetParent(form);
    spin->MinValue = 0;
    spin->MaxValue = 10;
    spin->Increment = 4;
    spin->SetValue(5);
    spin->SetFocus();
    SendKey(spin, VK_UP);
    EXPECT_EQ(spin->Value(), 9);
    SendKey(spin, VK_UP);
    EXPECT_EQ(spin->Value(), 10);
    TRect b = spin->ButtonRect();
    Click(spin, {b.Left + 3, b.Bottom - 3});
    EXPECT_EQ(spin->Value(), 6);
    spin->SelectAll();
    TypeText(spin, "1x2");
    EXPECT_EQ(spin->Text(), "12");
    EXPECT_EQ(spin->Value(), 10);  // out of range reads as the limit
    spin->SetValue(-3);
    EXPECT_EQ(spin->Value(), 0);
}

TEST_F(More, GaugeKeepsProgressInRangeAndDrawsTheBarToThePercentage) {
    auto* g = new TGauge(form);
    g->SetParent(form);
    g->SetBounds(0, 0, 102, 20);
    g->ShowText = false;
    g->ForeColor = clNavy;
    g->BackColor = clWhite;
    g->SetMaxValue(200);
    g->SetProgress(50);
    EXPECT_EQ(g->PercentDone(), 25);
    g->AddProgress(1000);
    EXPECT_EQ(g->Progress(), 200);
    g->SetProgress(100);
    TBitmap img;
    Grab(form, img);
    EXPECT_EQ(img.Canvas().Pixel(45, 10), clNavy);
    EXPECT_EQ(img.Canvas().Pixel(55, 10), clWhite);
}

// The percentage must read over the bar as well as beside it, even when the
// font has the bar's colour.
TEST_F(More, GaugeTextReadsOverTheBarAndBesideIt) {
    auto* g = new TGauge(form);
    g->SetParent(form);
    g->SetBounds(0, 0, 120, 30);
    g->BorderStyle = bsNone;
    g->ForeColor = clNavy;
    g->BackColor = clWhite;
    g->Font().SetColor(clNavy);
    g->Font().SetSize(14);
    g->SetProgress(50);  // the text straddles the bar's end at x = 60
    TBitmap img;
    Grab(form, img);
    int whiteOnBar = 0, navyBeside = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 120; ++x) {
            TColor p = img.Canvas().Pixel(x, y);
            if (x < 60 && p == clWhite) ++whiteOnBar;
            if (x >= 60 && p == clNavy) ++navyBeside;
        }
    EXPECT_GT(whiteOnBar, 10);
    EXPECT_GT(navyBeside, 10);
}

TEST_F(More, FileControlsListMatchingFilesAndFollowEachOther) {
    testsupport::TempDir tmp;
    std::string dir = tmp.path().string();
    for (const char* f : {"a.BMP", "b.gif", "c.txt", "d.bmp"}) testsupport::WriteFileBytes(tmp / f, "x");
    std::filesystem::create_directory(tmp / "sub");
    testsupport::WriteFileBytes(tmp / "sub" / "e.gif", "x");
    auto* files = new TFileListBox(form);
    files->SetParent(form);
    files->SetMask("*.bmp;*.GIF");
    files->SetDirectory(dir);
    std::vector<std::string> names;
    for (int i = 0; i < files->Items().Count(); ++i) names.push_back(files->Items()[i]);
    EXPECT_EQ(names, (std::vector<std::string>{"a.BMP", "b.gif", "d.bmp"}));
    auto* filter = new TFilterComboBox(form);
    filter->SetParent(form);
    filter->FileList = files;
    filter->SetFilter("Text|*.txt|Pictures|*.bmp;*.gif");
    EXPECT_EQ(files->Mask(), "*.txt");  // the first filter applies at once
    filter->SetFocus();
    SendKey(filter, VK_DOWN);
    EXPECT_EQ(filter->Mask(), "*.bmp;*.gif");
    SendKey(filter, VK_UP);
    ASSERT_EQ(files->Items().Count(), 1);
    EXPECT_EQ(files->Items()[0], "c.txt");
    auto* dirs = new TDirectoryListBox(form);
    dirs->SetParent(form);
    dirs->FileList = files;
    dirs->SetDirectory(dir);
    int sub = dirs->Items().IndexOf("sub");
    ASSERT_GE(sub, 0);
    dirs->SetItemIndex(sub);
    dirs->OpenCurrent();
    EXPECT_EQ(files->Directory(), dirs->Directory());
    EXPECT_EQ(files->Items().Count(), 0);  // the .txt filter is still in force
    files->SetMask("*.gif");
    ASSERT_EQ(files->Items().Count(), 1);
    files->SetItemIndex(0);
    EXPECT_EQ(files->FileName(), plat::JoinPath(dirs->Directory(), "e.gif"));
    files->ShowGlyphs = true;
    TBitmap img;
    Grab(files, img);
    TRect row = files->ItemRect(0);
    EXPECT_EQ(img.Canvas().Pixel(row.Left + 2, row.Top + std::max(0, (row.Height() - 12) / 2) + 5), clBlack);
    std::string before = dirs->Directory();
    dirs->SetDirectory(dir + "/no such folder");
    EXPECT_EQ(dirs->Directory(), before);
}

TEST_F(More, DriveComboListsMappedDrivesAndMovesItsFolderList) {
    testsupport::TempDir tmp;
    std::filesystem::create_directory(tmp / "inside");
    plat::SetDriveRoot('Q', tmp.path().string());
    auto* drives = new TDriveComboBox(form);
    drives->SetParent(form);
    auto* dirs = new TDirectoryListBox(form);
    dirs->SetParent(form);
    drives->DirList = dirs;
    EXPECT_NE(TDriveComboBox::AvailableDrives().find('Q'), std::string::npos);
    drives->SetDrive('q');
    EXPECT_EQ(drives->Drive(), 'Q');
    EXPECT_EQ(drives->Text(), "q:");
    EXPECT_GE(dirs->Items().IndexOf("inside"), 0);
    drives->SetDrive('?');  // not a drive: nothing changes
    EXPECT_EQ(drives->Drive(), 'Q');
    plat::SetDriveRoot('Q', "");
}

// With no drive mapped the combo still offers this system's root, chosen
// from the start, and choosing it lists the root's folders.
TEST_F(More, DriveComboOffersTheRootWhenNoDriveIsMapped) {
    testsupport::TempDir home;
    plat::SetDataHome(home.path().string());  // no drive_x folders under it
    ASSERT_EQ(TDriveComboBox::AvailableDrives(), "");
    auto* drives = new TDriveComboBox(form);
    drives->SetParent(form);
    auto* dirs = new TDirectoryListBox(form);
    dirs->SetParent(form);
    drives->DirList = dirs;
    ASSERT_EQ(drives->Items().Count(), 1);
    EXPECT_EQ(drives->Items()[0], "/");
    EXPECT_EQ(drives->Text(), "/");
    EXPECT_EQ(drives->Drive(), '/');
    drives->SetDrive('/');
    EXPECT_EQ(dirs->Directory(), "/");
    EXPECT_GE(dirs->Items().IndexOf("tmp"), 0);
    // A mapped drive comes first; the root stays offered after it.
    testsupport::TempDir q;
    plat::SetDriveRoot('Q', q.path().string());
    auto* both = new TDriveComboBox(form);
    both->SetParent(form);
    EXPECT_EQ(both->Items().Count(), 2);
    EXPECT_EQ(both->Items()[1], "/");
    plat::SetDriveRoot('Q', "");
    plat::SetDataHome("");
}

}  // namespace
}  // namespace guitest
