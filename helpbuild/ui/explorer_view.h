// The explorer view: the read-only tree on the main window's "Explorer" tab
// that shows the last written contents file. It is filled from the project's
// `UserView` text (tab-indented lines); closed books, open books and pages
// mark its nodes; a double click on a leaf makes the page it names current,
// by context string or, where the contents named a page by number, HelpId.
#pragma once

#include "project/editor_context.h"
#include "platform/gui/image_list.h"
#include "platform/gui/tree_view.h"

#include <functional>
#include <memory>
#include <string>

namespace buildui {

inline constexpr const char* kExplorerEmptyCaption = "Explorer View:- Nothing to Display";
inline constexpr const char* kExplorerEmptyText =
    "The Explorer View is generated every time you select \"Contents | Write the Cnt\". To generate the Explorer "
    "view, move to the Contents Tab, and select the above menu option and then return to Contents View to see the "
    "results.";
inline constexpr const char* kJumpNotFoundCaption = "Jump not found";
inline constexpr const char* kJumpNotFoundText =
    "If you are filtering on either the Contents or Help Pages then the destination of this jump may not be found. "
    "Also, if you are pointing to a context string in a different help file, it will not be found.";
inline constexpr const char* kJumpNotFoundHeadingText =
    " Or this may be a heading which has no sub-pages, which would not appear in the compiled CNT file.";

// Node images: 0 closed book, 1 open book, 2 page.
int ExplorerImageIndex(const gui::TTreeNode* node);

// Fills a tree from explorer text; each node gets its image.
void FillExplorerTree(gui::TTreeView& tree, const std::string& explorerText);

class ExplorerView {
public:
    // Takes over the tree's images and its expand, collapse and double-click events.
    ExplorerView(gui::TTreeView* tree, editor::EditorContext& ctx);
    ~ExplorerView();

    // Whether the explorer tab shows (the split view is the notebook's page
    // and the explorer tab is active); the empty-view message needs it.
    std::function<bool()> explorerShowing;

    // From the project's UserView; an empty view leaves the tree alone and,
    // on a 32-bit project whose explorer tab shows, tells how to make one.
    void LoadExplorerView();
    void TreeView1DblClick();
    void UpdateImages(gui::TTreeNode* node);

    gui::TTreeView* Tree() const { return tree_; }
    gui::TImageList* Images() const { return images_.get(); }

private:
    gui::TTreeView* tree_;
    editor::EditorContext& ctx_;
    std::unique_ptr<gui::TImageList> images_;
};

}  // namespace buildui
