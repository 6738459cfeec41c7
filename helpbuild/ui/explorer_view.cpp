#include "helpbuild/ui/explorer_view.h"

#include "helpbuild/cnt_file.h"
#include "data/fields.h"
#include "platform/core/dialog_service.h"

#include <cctype>

namespace buildui {

using namespace gui;

namespace {

bool SameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool AllDigits(const std::string& s) {
    if (s.empty() || s.size() > 9) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// Three 16x16 pictures drawn in code: a closed book, an open book, a page.
void AddPictures(TImageList& list) {
    list.SetSize(16, 16);
    for (int kind = 0; kind < 3; ++kind) {
        TBitmap b;
        b.SetSize(16, 16);
        TCanvas& c = b.Canvas();
        c.Brush().SetColor(clWhite);
        c.FillRect({0, 0, 16, 16});
        c.Pen().SetColor(clBlack);
        if (kind == 0) {
            c.Brush().SetColor(clNavy);
            c.Rectangle(3, 1, 13, 15);
            c.Pen().SetColor(clYellow);
            c.MoveTo(5, 4);
            c.LineTo(11, 4);
        } else if (kind == 1) {
            c.Brush().SetColor(clWhite);
            c.Polygon({{1, 3}, {7, 4}, {7, 14}, {1, 13}});
            c.Polygon({{8, 4}, {14, 3}, {14, 13}, {8, 14}});
            c.Pen().SetColor(clNavy);
            c.MoveTo(2, 6), c.LineTo(6, 7);
            c.MoveTo(9, 7), c.LineTo(13, 6);
        } else {
            c.Brush().SetColor(clWhite);
            c.Polygon({{3, 1}, {10, 1}, {13, 4}, {13, 15}, {3, 15}});
            c.Brush().SetColor(clYellow);
            c.FillRect({5, 6, 11, 7});
            c.FillRect({5, 9, 11, 10});
            c.Pen().SetColor(clBlack);
            c.MoveTo(5, 12), c.LineTo(11, 12);
        }
        list.Add(b);
    }
}

}  // namespace

int ExplorerImageIndex(const TTreeNode* node) {
    if (!node->HasChildren()) return 2;
    return node->Expanded() ? 1 : 0;
}

void FillExplorerTree(TTreeView& tree, const std::string& explorerText) {
    TTreeNodes& items = tree.Items();
    items.BeginUpdate();
    items.Clear();
    std::vector<TTreeNode*> parents;  // the last node at each depth
    for (const build::ExplorerLine& line : build::ExplorerTreeLines(explorerText)) {
        parents.resize(static_cast<std::size_t>(line.depth));
        TTreeNode* node = line.depth == 0 ? items.Add(nullptr, line.text) : items.AddChild(parents.back(), line.text);
        parents.push_back(node);
    }
    for (TTreeNode* n = items.GetFirstNode(); n; n = n->GetNext()) n->ImageIndex = n->SelectedIndex = ExplorerImageIndex(n);
    items.EndUpdate();
}

ExplorerView::ExplorerView(TTreeView* tree, editor::EditorContext& ctx)
    : tree_(tree), ctx_(ctx), images_(std::make_unique<TImageList>(nullptr)) {
    AddPictures(*images_);
    tree_->Images = images_.get();
    tree_->ReadOnly = true;
    tree_->OnExpanded = [this](TObject*, TTreeNode* n) { UpdateImages(n); };
    tree_->OnCollapsed = [this](TObject*, TTreeNode* n) { UpdateImages(n); };
    tree_->OnDblClick = [this](TObject*) { TreeView1DblClick(); };
}

ExplorerView::~ExplorerView() {
    if (tree_->Images == images_.get()) tree_->Images = nullptr;
}

void ExplorerView::UpdateImages(TTreeNode* node) {
    if (!node) return;
    node->ImageIndex = node->SelectedIndex = ExplorerImageIndex(node);
    tree_->Invalidate();
}

void ExplorerView::LoadExplorerView() {
    db::TDataSet* main = ctx_.mainTable;
    std::string view;
    try {
        if (main->Active() && !main->IsEmpty()) view = main->FieldByName("UserView")->AsString();
    } catch (const std::exception&) {
        view.clear();
    }
    if (view.empty()) {
        bool tell = false;
        try {
            tell = explorerShowing && explorerShowing() && main->Active() &&
                   main->FieldByName("Compile")->AsString() != "16";
        } catch (const std::exception&) {
        }
        if (tell) MessageBox(kExplorerEmptyText, kExplorerEmptyCaption, MB_OK | MB_ICONINFORMATION);
        return;
    }
    FillExplorerTree(*tree_, view);
    if (ctx_.ProcessMessages) ctx_.ProcessMessages();
    tree_->Invalidate();
}

void ExplorerView::TreeView1DblClick() {
    TTreeNode* node = tree_->Selected();
    if (!node || node->HasChildren()) return;
    auto notFound = [](bool heading) {
        MessageBox(std::string(kJumpNotFoundText) + (heading ? kJumpNotFoundHeadingText : ""), kJumpNotFoundCaption,
                   MB_OK | MB_ICONINFORMATION);
    };
    db::TDataSet* cnt = ctx_.cntTable;
    bool found = false;
    for (cnt->First(); !cnt->Eof(); cnt->Next())
        if (SameText(cnt->FieldByName("Title")->AsString(), node->Text())) {
            found = true;
            break;
        }
    if (!found) {
        notFound(false);
        return;
    }
    const std::string jump = cnt->FieldByName("Jump")->AsString();
    if (jump.empty()) {
        notFound(true);
        return;
    }
    db::TDataSet* pages = ctx_.detailTable;
    db::TBookmark here = pages->IsEmpty() ? db::TBookmark() : pages->GetBookmark();
    // The automatic contents writes a HelpId where a page has no context string.
    const bool byId = AllDigits(jump);
    for (pages->First(); !pages->Eof(); pages->Next()) {
        if (SameText(pages->FieldByName("ContextString")->AsString(), jump) ||
            (byId && pages->FieldByName("HelpId")->AsInteger() == std::stoll(jump)))
            return;  // that page is the main window's current page now
    }
    if (!here.empty()) pages->GotoBookmark(here);
    notFound(false);
}

}  // namespace buildui
