// The tree view: loading from tab-indented lines, expanding with its
// events, keys, buttons, deletion and images.
#include "platform/gui/tests/gui_fixture.h"

#include "platform/core/streams.h"
#include "platform/gui/tree_view.h"

namespace guitest {
namespace {

using namespace gui;

class Trees : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        tree = new TTreeView(form);
        tree->SetParent(form);
        tree->SetBounds(0, 0, 200, 200);
        form->Show();
        ProcessEvents();
    }
    void Load(const std::string& text) {
        plat::MemoryStream s(text);
        tree->LoadFromStream(s);
    }
    // "text/level" of every node, depth first.
    std::vector<std::string> Shape() {
        std::vector<std::string> out;
        for (TTreeNode* n = tree->Items().GetFirstNode(); n; n = n->GetNext())
            out.push_back(n->Text() + "/" + std::to_string(n->Level()));
        return out;
    }
    TTreeView* tree = nullptr;
};

TEST_F(Trees, LoadsTabIndentedLinesAsLevelsAndSavesThemBack) {
    const std::string text = "Contents\r\n\tIntroduction\r\n\tUsing\r\n\t\tMenus\r\n\t\tKeys\r\n\r\nIndex\r\n\tA\n";
    Load(text);
    EXPECT_EQ(Shape(), (std::vector<std::string>{"Contents/0", "Introduction/1", "Using/1", "Menus/2", "Keys/2",
                                                 "Index/0", "A/1"}));
    EXPECT_EQ(tree->Items().Count(), 7);
    EXPECT_EQ(tree->Items().Item(3)->Parent()->Text(), "Using");
    plat::MemoryStream out;
    tree->SaveToStream(out);
    EXPECT_EQ(out.Bytes(), "Contents\r\n\tIntroduction\r\n\tUsing\r\n\t\tMenus\r\n\t\tKeys\r\nIndex\r\n\tA\r\n");
}

TEST_F(Trees, ALineThatSkipsALevelIsRefusedAndTheTreeStaysAsItWas) {
    Load("One\n\tTwo\n");
    for (const char* bad : {"\tStarts deep\n", "Top\n\t\tToo deep\n"}) {
        plat::MemoryStream s(bad);
        EXPECT_THROW(tree->LoadFromStream(s), ETreeViewError) << bad;
        EXPECT_EQ(Shape(), (std::vector<std::string>{"One/0", "Two/1"}));
    }
    try {
        Load("Top\n\t\tToo deep\n");
        ADD_FAILURE() << "no error";
    } catch (const ETreeViewError& e) {
        EXPECT_EQ(e.Message(), "Invalid level (2) for item \"Too deep\"");
    }
}

TEST_F(Trees, ExpandingAsksFirstAndCanBeRefused) {
    Load("A\n\tA1\n\t\tA11\nB\n");
    TTreeNode* a = tree->Items().GetFirstNode();
    std::vector<std::string> log;
    bool allow = false;
    tree->OnExpanding = [&](TObject*, TTreeNode* n, bool& ok) {
        log.push_back("expanding " + n->Text());
        ok = allow;
    };
    tree->OnExpanded = [&](TObject*, TTreeNode* n) { log.push_back("expanded " + n->Text()); };
    a->SetExpanded(true);
    EXPECT_FALSE(a->Expanded());
    allow = true;
    a->SetExpanded(true);
    EXPECT_TRUE(a->Expanded());
    EXPECT_EQ(log, (std::vector<std::string>{"expanding A", "expanding A", "expanded A"}));
    EXPECT_TRUE(a->Item(0)->IsVisible());
    EXPECT_FALSE(a->Item(0)->Item(0)->IsVisible());
}

TEST_F(Trees, KeysWalkTheShownNodesAndExpandAndCollapse) {
    Load("A\n\tA1\n\tA2\nB\n");
    std::vector<std::string> changes;
    tree->OnChange = [&](TObject*, TTreeNode* n) { changes.push_back(n ? n->Text() : "-"); };
    tree->SetFocus();
    SendKey(tree, VK_DOWN);  // nothing selected: the first node
    SendKey(tree, VK_DOWN);  // A is collapsed: B
    EXPECT_EQ(tree->Selected()->Text(), "B");
    SendKey(tree, VK_UP);
    SendKey(tree, VK_RIGHT);  // expands A
    SendKey(tree, VK_RIGHT);  // into A1
    SendKey(tree, VK_DOWN);
    EXPECT_EQ(tree->Selected()->Text(), "A2");
    SendKey(tree, VK_LEFT);  // to the parent
    SendKey(tree, VK_LEFT);  // collapses it
    EXPECT_FALSE(tree->Selected()->Expanded());
    EXPECT_EQ(changes, (std::vector<std::string>{"A", "B", "A", "A1", "A2", "A"}));
}

TEST_F(Trees, ClickOnAButtonTogglesAndCollapsingMovesAHiddenSelectionUp) {
    Load("A\n\tA1\nB\n");
    TTreeNode* a = tree->Items().GetFirstNode();
    int h = tree->ItemHeight();
    int buttonX = tree->NodeLeft(a) - tree->Indent / 2;
    Click(tree, {buttonX, h / 2});
    EXPECT_TRUE(a->Expanded());
    Click(tree, {tree->NodeLeft(a) + 5, h + h / 2});
    EXPECT_EQ(tree->Selected()->Text(), "A1");
    Click(tree, {buttonX, h / 2});
    EXPECT_FALSE(a->Expanded());
    EXPECT_EQ(tree->Selected(), a);
    EXPECT_EQ(tree->GetNodeAt(5, h + 2)->Text(), "B");
}

TEST_F(Trees, DeletingASelectedBranchClearsTheSelectionAndRaisesDeletionChildrenFirst) {
    Load("A\n\tA1\n\tA2\nB\n");
    TTreeNode* a = tree->Items().GetFirstNode();
    tree->SetSelected(a->Item(1));
    std::vector<std::string> gone;
    tree->OnDeletion = [&](TObject*, TTreeNode* n) { gone.push_back(n->Text()); };
    a->Delete();
    EXPECT_EQ(gone, (std::vector<std::string>{"A2", "A1", "A"}));
    EXPECT_EQ(tree->Selected(), nullptr);
    EXPECT_EQ(Shape(), (std::vector<std::string>{"B/0"}));
}

TEST_F(Trees, ImagesShowTheNodesImageAndTheSelectedImageWhenSelected) {
    TImageList images(form);
    images.SetSize(8, 8);
    TBitmap strip(24, 8);
    for (auto [i, color] : {std::pair{0, clRed}, {1, clLime}, {2, clBlue}}) {
        strip.Canvas().Brush().SetColor(color);
        strip.Canvas().FillRect(Bounds(i * 8, 0, 8, 8));
    }
    ASSERT_EQ(images.AddMasked(strip, clFuchsia), 0);
    ASSERT_EQ(images.Count(), 3);
    tree->Images = &images;
    Load("A\nB\n");
    TTreeNode* a = tree->Items().GetFirstNode();
    a->ImageIndex = 0;
    a->SelectedIndex = 1;
    a->GetNextSibling()->ImageIndex = 2;
    auto pixelOf = [&](TTreeNode* n) {
        TBitmap img;
        Grab(tree, img);
        TRect r = n->DisplayRect(false);
        return img.Canvas().Pixel(tree->NodeLeft(n) + 4, r.Top + r.Height() / 2);
    };
    EXPECT_EQ(pixelOf(a), clRed);
    EXPECT_EQ(pixelOf(a->GetNextSibling()), clBlue);
    tree->SetSelected(a);
    EXPECT_EQ(pixelOf(a), clLime);
}

TEST_F(Trees, InsertDeleteAndSortKeepSiblingOrderAndIndexes) {
    Load("b\nd\n");
    TTreeNode* b = tree->Items().GetFirstNode();
    TTreeNode* d = b->GetNextSibling();
    TTreeNode* c = tree->Items().Insert(d, "c");
    TTreeNode* a = tree->Items().AddFirst(b, "a");
    TTreeNode* e = tree->Items().Add(b, "E");
    auto order = [&] {
        std::string s;
        for (TTreeNode* n = tree->Items().GetFirstNode(); n; n = n->GetNextSibling()) s += n->Text() + std::to_string(n->Index());
        return s;
    };
    EXPECT_EQ(order(), "a0b1c2d3E4");
    EXPECT_EQ(e->GetPrevSibling(), d);
    c->Delete();
    EXPECT_EQ(order(), "a0b1d2E3");
    tree->Items().AddFirst(nullptr, "Z");
    tree->AlphaSort();
    EXPECT_EQ(order(), "a0b1d2E3Z4");
    EXPECT_EQ(a->GetNextSibling(), b);
}

}  // namespace
}  // namespace guitest
