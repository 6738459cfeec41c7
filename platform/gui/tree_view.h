// The tree view: nodes with text, data, images and children; expanding and
// collapsing with their events; buttons and lines; selection by mouse and
// keys; and loading from text where each line's leading tabs give its level.
#pragma once

#include "platform/core/exceptions.h"
#include "platform/core/streams.h"
#include "platform/gui/controls.h"
#include "platform/gui/image_list.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace gui {

class ETreeViewError : public plat::Exception {
public:
    explicit ETreeViewError(const std::string& message) : plat::Exception(message) {}
};

class TTreeView;
class TTreeNodes;

class TTreeNode {
public:
    const std::string& Text() const { return text_; }
    void SetText(const std::string& t);
    void* Data = nullptr;
    int ImageIndex = -1;
    int SelectedIndex = -1;
    TTreeNode* Parent() const { return parent_; }
    int Count() const { return static_cast<int>(children_.size()); }
    TTreeNode* Item(int index) const { return children_.at(index).get(); }
    bool HasChildren() const { return !children_.empty(); }
    // 0 for top-level nodes.
    int Level() const;
    // The position among its siblings.
    int Index() const;
    bool Expanded() const { return expanded_; }
    // Through the view's OnExpanding / OnCollapsing, which may refuse.
    void SetExpanded(bool e);
    void Expand(bool recurse);
    void Collapse(bool recurse);
    bool Selected() const;
    // All its parents expanded.
    bool IsVisible() const;
    // Expands the parents.
    void MakeVisible();
    TTreeNode* GetFirstChild() const { return children_.empty() ? nullptr : children_.front().get(); }
    TTreeNode* GetLastChild() const { return children_.empty() ? nullptr : children_.back().get(); }
    TTreeNode* GetNextSibling() const;
    TTreeNode* GetPrevSibling() const;
    // Depth first, through collapsed nodes too.
    TTreeNode* GetNext() const;
    // Depth first over shown nodes only.
    TTreeNode* GetNextVisible() const;
    TTreeNode* GetPrevVisible() const;
    void Delete();
    void DeleteChildren();
    TTreeView* TreeView() const { return view_; }
    // The row of the node in the view's client coordinates (empty when not shown).
    TRect DisplayRect(bool textOnly) const;

private:
    friend class TTreeNodes;
    friend class TTreeView;
    TTreeView* view_ = nullptr;
    TTreeNode* parent_ = nullptr;
    std::string text_;
    bool expanded_ = false;
    int index_ = 0;  // kept up to date by every change of the sibling list
    std::vector<std::unique_ptr<TTreeNode>> children_;
};

class TTreeNodes {
public:
    explicit TTreeNodes(TTreeView* view) : view_(view) {}
    // All nodes, depth first.
    int Count() const;
    TTreeNode* Item(int index) const;
    TTreeNode* GetFirstNode() const { return roots_.empty() ? nullptr : roots_.front().get(); }
    // After the last sibling of `sibling` (top level when null).
    TTreeNode* Add(TTreeNode* sibling, const std::string& text);
    TTreeNode* AddFirst(TTreeNode* sibling, const std::string& text);
    TTreeNode* AddChild(TTreeNode* parent, const std::string& text);
    TTreeNode* AddChildFirst(TTreeNode* parent, const std::string& text);
    // Before `sibling`.
    TTreeNode* Insert(TTreeNode* sibling, const std::string& text);
    void Delete(TTreeNode* node);
    void Clear();
    void BeginUpdate() { ++updating_; }
    void EndUpdate();

private:
    friend class TTreeNode;
    friend class TTreeView;
    std::vector<std::unique_ptr<TTreeNode>>& SiblingsOf(TTreeNode* parent);
    static void Renumber(std::vector<std::unique_ptr<TTreeNode>>& siblings, std::size_t from);
    TTreeNode* InsertAt(TTreeNode* parent, std::size_t at, const std::string& text);
    TTreeView* view_;
    std::vector<std::unique_ptr<TTreeNode>> roots_;
    int updating_ = 0;
};

using TTVChangedEvent = std::function<void(TObject* Sender, TTreeNode* Node)>;
using TTVChangingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowChange)>;
using TTVExpandingEvent = std::function<void(TObject* Sender, TTreeNode* Node, bool& AllowExpansion)>;
using TTVExpandedEvent = std::function<void(TObject* Sender, TTreeNode* Node)>;

class TTreeView : public TCustomControl {
public:
    explicit TTreeView(TComponent* AOwner);
    ~TTreeView() override;

    TTreeNodes& Items() { return *items_; }
    TTreeNode* Selected() const { return selected_; }
    // Through OnChanging (which may refuse); OnChange after.
    void SetSelected(TTreeNode* node);
    bool ShowButtons = true;
    bool ShowLines = true;
    bool ShowRoot = true;
    bool ReadOnly = false;
    bool HideSelection = true;
    int Indent = 19;
    TImageList* Images = nullptr;
    int ItemHeight() const;
    TTreeNode* TopItem() const { return top_; }
    void SetTopItem(TTreeNode* node);
    TTreeNode* GetNodeAt(int X, int Y) const;
    void FullExpand();
    void FullCollapse();
    // Sorts every level by text (without regard to case).
    void AlphaSort();

    // One node per non-empty line; its leading tabs are its level, which may
    // be at most one deeper than the line before. Raises ETreeViewError on a
    // line that skips levels and leaves the tree as it was.
    void LoadFromStream(plat::Stream& stream);
    void LoadFromFile(const std::string& fileName);
    void SaveToStream(plat::Stream& stream) const;
    void SaveToFile(const std::string& fileName) const;

    TTVChangedEvent OnChange;
    TTVChangingEvent OnChanging;
    TTVExpandingEvent OnExpanding;
    TTVExpandedEvent OnExpanded;
    TTVExpandingEvent OnCollapsing;
    TTVExpandedEvent OnCollapsed;
    TTVChangedEvent OnDeletion;

    void WndProc(TMessage& Message) override;

    // --- for the nodes ----------------------------------------------------------------
    bool CanExpand(TTreeNode* node);
    bool CanCollapse(TTreeNode* node);
    void Expanded(TTreeNode* node);
    void Collapsed(TTreeNode* node);
    void NodeGone(TTreeNode* node);
    void Changed();
    // The shown row of a node, or -1.
    int RowOf(const TTreeNode* node) const;
    // Where a node's image (or text) starts.
    int NodeLeft(const TTreeNode* node) const;

protected:
    void Paint() override;
    void KeyDown(unsigned& Key, TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void DblClick() override;

private:
    std::vector<TTreeNode*> VisibleNodes() const;
    void UpdateScrollBar();
    void ScrollIntoView(TTreeNode* node);
    std::unique_ptr<TTreeNodes> items_;
    TTreeNode* selected_ = nullptr;
    TTreeNode* top_ = nullptr;
};

}  // namespace gui
