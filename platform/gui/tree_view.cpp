#include "platform/gui/tree_view.h"

#include "platform/core/codepage.h"
#include "platform/core/string_list.h"
#include "platform/gui/controls_support.h"

#include <algorithm>

namespace gui {

// ===========================================================================
// TTreeNode

void TTreeNode::SetText(const std::string& t) {
    text_ = t;
    if (view_) view_->Changed();
}

int TTreeNode::Level() const {
    int n = 0;
    for (TTreeNode* p = parent_; p; p = p->parent_) ++n;
    return n;
}

int TTreeNode::Index() const { return index_; }

TTreeNode* TTreeNode::GetNextSibling() const {
    const auto& sibs = view_->Items().SiblingsOf(parent_);
    int i = Index();
    return i + 1 < static_cast<int>(sibs.size()) ? sibs[i + 1].get() : nullptr;
}

TTreeNode* TTreeNode::GetPrevSibling() const {
    const auto& sibs = view_->Items().SiblingsOf(parent_);
    int i = Index();
    return i > 0 ? sibs[i - 1].get() : nullptr;
}

TTreeNode* TTreeNode::GetNext() const {
    if (!children_.empty()) return children_.front().get();
    for (const TTreeNode* n = this; n; n = n->parent_)
        if (TTreeNode* s = n->GetNextSibling()) return s;
    return nullptr;
}

TTreeNode* TTreeNode::GetNextVisible() const {
    if (expanded_ && !children_.empty()) return children_.front().get();
    for (const TTreeNode* n = this; n; n = n->parent_)
        if (TTreeNode* s = n->GetNextSibling()) return s;
    return nullptr;
}

TTreeNode* TTreeNode::GetPrevVisible() const {
    TTreeNode* prev = GetPrevSibling();
    if (!prev) return parent_;
    while (prev->expanded_ && !prev->children_.empty()) prev = prev->children_.back().get();
    return prev;
}

bool TTreeNode::Selected() const { return view_ && view_->Selected() == this; }

bool TTreeNode::IsVisible() const {
    for (TTreeNode* p = parent_; p; p = p->parent_)
        if (!p->expanded_) return false;
    return true;
}

void TTreeNode::MakeVisible() {
    for (TTreeNode* p = parent_; p; p = p->parent_) p->SetExpanded(true);
}

void TTreeNode::SetExpanded(bool e) {
    if (e == expanded_) return;
    if (e) {
        if (!view_->CanExpand(this)) return;
        expanded_ = true;
        view_->Expanded(this);
    } else {
        if (!view_->CanCollapse(this)) return;
        expanded_ = false;
        view_->Collapsed(this);
    }
}

void TTreeNode::Expand(bool recurse) {
    SetExpanded(true);
    if (recurse)
        for (auto& c : children_) c->Expand(true);
}

void TTreeNode::Collapse(bool recurse) {
    SetExpanded(false);
    if (recurse)
        for (auto& c : children_) c->Collapse(true);
}

void TTreeNode::Delete() { view_->Items().Delete(this); }

void TTreeNode::DeleteChildren() {
    while (!children_.empty()) view_->Items().Delete(children_.back().get());
}

TRect TTreeNode::DisplayRect(bool textOnly) const {
    int row = view_->RowOf(this);
    if (row < 0) return {};
    int h = view_->ItemHeight();
    TRect r = Rect(0, row * h, view_->ClientWidth(), row * h + h);
    if (textOnly) {
        r.Left = view_->NodeLeft(this);
        if (view_->Images) r.Left += view_->Images->Width() + 2;
    }
    return r;
}

// ===========================================================================
// TTreeNodes

void TTreeNodes::Renumber(std::vector<std::unique_ptr<TTreeNode>>& siblings, std::size_t from) {
    for (std::size_t i = from; i < siblings.size(); ++i) siblings[i]->index_ = static_cast<int>(i);
}

std::vector<std::unique_ptr<TTreeNode>>& TTreeNodes::SiblingsOf(TTreeNode* parent) {
    return parent ? parent->children_ : roots_;
}

TTreeNode* TTreeNodes::InsertAt(TTreeNode* parent, std::size_t at, const std::string& text) {
    auto node = std::make_unique<TTreeNode>();
    node->view_ = view_;
    node->parent_ = parent;
    node->text_ = text;
    auto& sibs = SiblingsOf(parent);
    at = std::min(at, sibs.size());
    TTreeNode* raw = node.get();
    sibs.insert(sibs.begin() + static_cast<std::ptrdiff_t>(at), std::move(node));
    Renumber(sibs, at);  // appending, as loading does, renumbers one node only
    if (!updating_) view_->Changed();
    return raw;
}

TTreeNode* TTreeNodes::Add(TTreeNode* sibling, const std::string& text) {
    TTreeNode* parent = sibling ? sibling->parent_ : nullptr;
    return InsertAt(parent, SiblingsOf(parent).size(), text);
}

TTreeNode* TTreeNodes::AddFirst(TTreeNode* sibling, const std::string& text) {
    return InsertAt(sibling ? sibling->parent_ : nullptr, 0, text);
}

TTreeNode* TTreeNodes::AddChild(TTreeNode* parent, const std::string& text) {
    return InsertAt(parent, SiblingsOf(parent).size(), text);
}

TTreeNode* TTreeNodes::AddChildFirst(TTreeNode* parent, const std::string& text) { return InsertAt(parent, 0, text); }

TTreeNode* TTreeNodes::Insert(TTreeNode* sibling, const std::string& text) {
    if (!sibling) return Add(nullptr, text);
    return InsertAt(sibling->parent_, static_cast<std::size_t>(sibling->Index()), text);
}

int TTreeNodes::Count() const {
    int n = 0;
    for (TTreeNode* node = GetFirstNode(); node; node = node->GetNext()) ++n;
    return n;
}

TTreeNode* TTreeNodes::Item(int index) const {
    if (index < 0) return nullptr;
    TTreeNode* node = GetFirstNode();
    for (int i = 0; node && i < index; ++i) node = node->GetNext();
    return node;
}

void TTreeNodes::Delete(TTreeNode* node) {
    if (!node) return;
    // Children go first, so each deletion event sees a whole node.
    while (!node->children_.empty()) Delete(node->children_.back().get());
    view_->NodeGone(node);
    auto& sibs = SiblingsOf(node->parent_);
    auto it = std::find_if(sibs.begin(), sibs.end(), [&](const auto& p) { return p.get() == node; });
    if (it != sibs.end()) {
        std::size_t at = static_cast<std::size_t>(it - sibs.begin());
        sibs.erase(it);
        Renumber(sibs, at);
    }
    if (!updating_) view_->Changed();
}

void TTreeNodes::Clear() {
    BeginUpdate();
    while (!roots_.empty()) Delete(roots_.back().get());
    EndUpdate();
}

void TTreeNodes::EndUpdate() {
    if (updating_ > 0 && --updating_ == 0) view_->Changed();
}

// ===========================================================================
// TTreeView

TTreeView::TTreeView(TComponent* AOwner) : TCustomControl(AOwner), items_(std::make_unique<TTreeNodes>(this)) {
    InstallControlsSupport();
    SetBounds(0, 0, 121, 97);
    SetColor(clWindow);
    SetTabStop(true);
}

TTreeView::~TTreeView() {
    // The nodes go without events: the view is half gone.
    OnDeletion = nullptr;
    OnChange = nullptr;
    items_->roots_.clear();
    selected_ = top_ = nullptr;
}

int TTreeView::ItemHeight() const {
    TCanvas c;
    c.Font().Assign(const_cast<TTreeView*>(this)->Font());
    int h = c.TextHeight("Wg") + 2;
    if (Images) h = std::max(h, Images->Height() + 1);
    return std::max(h, 16);
}

std::vector<TTreeNode*> TTreeView::VisibleNodes() const {
    std::vector<TTreeNode*> out;
    for (TTreeNode* n = items_->GetFirstNode(); n; n = n->GetNextVisible()) out.push_back(n);
    return out;
}

int TTreeView::RowOf(const TTreeNode* node) const {
    std::vector<TTreeNode*> nodes = VisibleNodes();
    auto top = std::find(nodes.begin(), nodes.end(), top_);
    auto it = std::find(nodes.begin(), nodes.end(), node);
    if (it == nodes.end()) return -1;
    int topIndex = top == nodes.end() ? 0 : static_cast<int>(top - nodes.begin());
    int row = static_cast<int>(it - nodes.begin()) - topIndex;
    return row < 0 ? -1 : row;
}

int TTreeView::NodeLeft(const TTreeNode* node) const {
    return 2 + Indent * (node->Level() + ((ShowRoot && (ShowButtons || ShowLines)) ? 1 : 0));
}

TTreeNode* TTreeView::GetNodeAt(int X, int Y) const {
    if (Y < 0 || X < 0) return nullptr;
    std::vector<TTreeNode*> nodes = VisibleNodes();
    auto top = std::find(nodes.begin(), nodes.end(), top_);
    int index = (top == nodes.end() ? 0 : static_cast<int>(top - nodes.begin())) + Y / ItemHeight();
    return index < static_cast<int>(nodes.size()) ? nodes[index] : nullptr;
}

void TTreeView::SetSelected(TTreeNode* node) {
    if (node == selected_) return;
    bool allow = true;
    if (OnChanging && node) OnChanging(this, node, allow);
    if (!allow) return;
    selected_ = node;
    if (node) {
        node->MakeVisible();
        ScrollIntoView(node);
    }
    Invalidate();
    if (OnChange) OnChange(this, node);
}

void TTreeView::SetTopItem(TTreeNode* node) {
    top_ = node;
    UpdateScrollBar();
    Invalidate();
}

void TTreeView::ScrollIntoView(TTreeNode* node) {
    std::vector<TTreeNode*> nodes = VisibleNodes();
    auto it = std::find(nodes.begin(), nodes.end(), node);
    if (it == nodes.end()) return;
    int index = static_cast<int>(it - nodes.begin());
    auto top = std::find(nodes.begin(), nodes.end(), top_);
    int topIndex = top == nodes.end() ? 0 : static_cast<int>(top - nodes.begin());
    int rows = std::max(1, ClientHeight() / ItemHeight());
    if (index < topIndex) topIndex = index;
    else if (index >= topIndex + rows) topIndex = index - rows + 1;
    SetTopItem(nodes[topIndex]);
}

void TTreeView::UpdateScrollBar() {
    std::vector<TTreeNode*> nodes = VisibleNodes();
    int rows = std::max(1, ClientHeight() / ItemHeight());
    int n = static_cast<int>(nodes.size());
    auto top = std::find(nodes.begin(), nodes.end(), top_);
    int topIndex = top == nodes.end() ? 0 : static_cast<int>(top - nodes.begin());
    if (n > rows) {
        SetScrollBarRange(this, SB_VERT, 0, n - rows);
        SetScrollPos(SB_VERT, topIndex);
    } else {
        SetScrollBarRange(this, SB_VERT, 0, 0);
    }
}

bool TTreeView::CanExpand(TTreeNode* node) {
    bool allow = true;
    if (OnExpanding) OnExpanding(this, node, allow);
    return allow;
}

bool TTreeView::CanCollapse(TTreeNode* node) {
    bool allow = true;
    if (OnCollapsing) OnCollapsing(this, node, allow);
    return allow;
}

void TTreeView::Expanded(TTreeNode* node) {
    Changed();
    if (OnExpanded) OnExpanded(this, node);
}

void TTreeView::Collapsed(TTreeNode* node) {
    // A selection hidden inside moves up to the collapsed node.
    for (TTreeNode* p = selected_ ? selected_->parent_ : nullptr; p; p = p->parent_)
        if (p == node) {
            SetSelected(node);
            break;
        }
    if (top_ && !top_->IsVisible()) top_ = nullptr;
    Changed();
    if (OnCollapsed) OnCollapsed(this, node);
}

void TTreeView::NodeGone(TTreeNode* node) {
    if (OnDeletion) OnDeletion(this, node);
    if (top_ == node) top_ = nullptr;
    if (selected_ == node) {
        selected_ = nullptr;
        if (OnChange) OnChange(this, nullptr);
    }
}

void TTreeView::Changed() {
    if (items_->updating_) return;
    if (top_ && !top_->IsVisible()) top_ = nullptr;
    UpdateScrollBar();
    Invalidate();
}

void TTreeView::FullExpand() {
    items_->BeginUpdate();
    for (auto& r : items_->roots_) r->Expand(true);
    items_->EndUpdate();
}

void TTreeView::FullCollapse() {
    items_->BeginUpdate();
    for (auto& r : items_->roots_) r->Collapse(true);
    items_->EndUpdate();
}

namespace {
void SortLevel(std::vector<std::unique_ptr<TTreeNode>>& nodes) {
    std::stable_sort(nodes.begin(), nodes.end(), [](const auto& a, const auto& b) {
        return plat::CompareAnsi(a->Text(), b->Text(), true) < 0;
    });
}
}  // namespace

void TTreeView::AlphaSort() {
    SortLevel(items_->roots_);
    TTreeNodes::Renumber(items_->roots_, 0);
    for (TTreeNode* n = items_->GetFirstNode(); n; n = n->GetNext()) {
        SortLevel(n->children_);
        TTreeNodes::Renumber(n->children_, 0);
    }
    Changed();
}

void TTreeView::LoadFromStream(plat::Stream& stream) {
    plat::StringList lines;
    lines.LoadFromStream(stream);
    // Parsed into a list of (level, text) first: a bad line leaves the tree untouched.
    std::vector<std::pair<int, std::string>> parsed;
    int prevLevel = -1;
    for (int i = 0; i < lines.Count(); ++i) {
        const std::string& line = lines[i];
        std::size_t tabs = line.find_first_not_of('\t');
        if (tabs == std::string::npos) continue;  // blank (or only tabs)
        int level = static_cast<int>(tabs);
        if (level > prevLevel + 1)
            throw ETreeViewError("Invalid level (" + std::to_string(level) + ") for item \"" + line.substr(tabs) + "\"");
        parsed.push_back({level, line.substr(tabs)});
        prevLevel = level;
    }
    items_->BeginUpdate();
    items_->Clear();
    std::vector<TTreeNode*> path;  // the last node at each level
    for (auto& [level, text] : parsed) {
        path.resize(level);
        TTreeNode* parent = level > 0 ? path[level - 1] : nullptr;
        path.push_back(items_->AddChild(parent, text));
    }
    items_->EndUpdate();
}

void TTreeView::LoadFromFile(const std::string& fileName) {
    plat::FileStream f(fileName, plat::fmOpenRead | plat::fmShareDenyWrite);
    LoadFromStream(f);
}

void TTreeView::SaveToStream(plat::Stream& stream) const {
    plat::StringList lines;
    for (TTreeNode* n = items_->GetFirstNode(); n; n = n->GetNext()) lines.Add(std::string(n->Level(), '\t') + n->Text());
    lines.SaveToStream(stream);
}

void TTreeView::SaveToFile(const std::string& fileName) const {
    plat::FileStream f(fileName, plat::fmCreate);
    SaveToStream(f);
}

// --- painting and input -------------------------------------------------------------------

void TTreeView::Paint() {
    TCanvas& c = Canvas();
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(Color());
    c.FillRect(ClientRect());
    c.Font().Assign(Font());
    int h = ItemHeight();
    std::vector<TTreeNode*> nodes = VisibleNodes();
    auto top = std::find(nodes.begin(), nodes.end(), top_);
    int start = top == nodes.end() ? 0 : static_cast<int>(top - nodes.begin());
    for (int i = start, row = 0; i < static_cast<int>(nodes.size()) && row * h < ClientHeight(); ++i, ++row) {
        TTreeNode* n = nodes[i];
        int y = row * h;
        int x = NodeLeft(n);
        int mid = y + h / 2;
        bool hasLineSpace = n->Level() > 0 || ShowRoot;
        if (ShowLines && hasLineSpace) {
            c.Pen().SetColor(clGray);
            c.Pen().SetStyle(psDot);
            int lx = x - Indent / 2;
            c.MoveTo(lx, mid);
            c.LineTo(x - 1, mid);
            c.MoveTo(lx, n->GetPrevSibling() || n->Parent() ? y : mid);
            c.LineTo(lx, n->GetNextSibling() ? y + h : mid);
            // The lines of the ancestors that have siblings below.
            int ax = lx;
            for (TTreeNode* a = n->Parent(); a; a = a->Parent()) {
                ax -= Indent;
                if (a->GetNextSibling() && (a->Level() > 0 || ShowRoot)) {
                    c.MoveTo(ax, y);
                    c.LineTo(ax, y + h);
                }
            }
            c.Pen().SetStyle(psSolid);
        }
        if (ShowButtons && n->HasChildren() && hasLineSpace) {
            int bx = x - Indent / 2;
            TRect box = Rect(bx - 4, mid - 4, bx + 5, mid + 5);
            c.Brush().SetColor(clWindow);
            c.Pen().SetColor(clGray);
            c.Rectangle(box);
            c.Pen().SetColor(clBlack);
            c.MoveTo(bx - 2, mid);
            c.LineTo(bx + 3, mid);
            if (!n->Expanded()) {
                c.MoveTo(bx, mid - 2);
                c.LineTo(bx, mid + 3);
            }
        }
        if (Images) {
            int index = n->Selected() && n->SelectedIndex >= 0 ? n->SelectedIndex : n->ImageIndex;
            Images->Draw(c, x, y + (h - Images->Height()) / 2, index);
            x += Images->Width() + 2;
        }
        bool sel = n->Selected() && (Focused() || !HideSelection);
        TRect tr = Rect(x, y, x + c.TextWidth(n->Text()) + 4, y + h);
        c.Brush().SetStyle(bsSolid);
        c.Brush().SetColor(sel ? clHighlight : Color());
        c.FillRect(tr);
        c.Font().SetColor(sel ? clHighlightText : Font().Color());
        c.Brush().SetStyle(bsClear);
        c.TextOut(x + 2, y + (h - c.TextHeight("Wg")) / 2, n->Text());
        if (sel && Focused()) c.DrawFocusRect(tr);
    }
}

void TTreeView::KeyDown(unsigned& Key, TShiftState Shift) {
    TCustomControl::KeyDown(Key, Shift);
    if (Key == 0) return;
    TTreeNode* s = selected_;
    std::vector<TTreeNode*> nodes = VisibleNodes();
    if (nodes.empty()) return;
    if (!s) {
        if (Key == VK_UP || Key == VK_DOWN || Key == VK_HOME || Key == VK_END) {
            SetSelected(nodes.front());
            Key = 0;
        }
        return;
    }
    switch (Key) {
    case VK_UP:
        if (TTreeNode* p = s->GetPrevVisible()) SetSelected(p);
        break;
    case VK_DOWN:
        if (TTreeNode* n = s->GetNextVisible()) SetSelected(n);
        break;
    case VK_HOME: SetSelected(nodes.front()); break;
    case VK_END: SetSelected(nodes.back()); break;
    case VK_LEFT:
        if (s->Expanded() && s->HasChildren()) s->SetExpanded(false);
        else if (s->Parent()) SetSelected(s->Parent());
        break;
    case VK_RIGHT:
        if (!s->HasChildren()) break;
        if (!s->Expanded()) s->SetExpanded(true);
        else SetSelected(s->GetFirstChild());
        break;
    case VK_ADD: s->SetExpanded(true); break;
    case VK_SUBTRACT: s->SetExpanded(false); break;
    case VK_MULTIPLY: s->Expand(true); break;
    default: return;
    }
    Key = 0;
}

void TTreeView::KeyPress(char& Key) {
    TCustomControl::KeyPress(Key);
    if (Key == '+' && selected_) {
        selected_->SetExpanded(true);
        Key = 0;
    } else if (Key == '-' && selected_) {
        selected_->SetExpanded(false);
        Key = 0;
    }
}

void TTreeView::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == mbLeft) {
        if (CanFocus() && !Focused()) SetFocus();
        if (TTreeNode* n = GetNodeAt(X, Y)) {
            int bx = NodeLeft(n) - Indent / 2;
            bool onButton = ShowButtons && n->HasChildren() && X >= bx - 6 && X <= bx + 6 && (n->Level() > 0 || ShowRoot);
            if (onButton) n->SetExpanded(!n->Expanded());
            else SetSelected(n);
        }
    }
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TTreeView::DblClick() {
    if (selected_ && selected_->HasChildren()) selected_->SetExpanded(!selected_->Expanded());
    TCustomControl::DblClick();
}

void TTreeView::WndProc(TMessage& m) {
    switch (m.Msg) {
    case WM_GETDLGCODE: m.Result = DLGC_WANTARROWS | DLGC_WANTCHARS; return;
    case WM_VSCROLL: {
        std::vector<TTreeNode*> nodes = VisibleNodes();
        if (nodes.empty()) return;
        auto top = std::find(nodes.begin(), nodes.end(), top_);
        int topIndex = top == nodes.end() ? 0 : static_cast<int>(top - nodes.begin());
        int rows = std::max(1, ClientHeight() / ItemHeight());
        int maxTop = std::max(0, static_cast<int>(nodes.size()) - rows);
        switch (LOWORD(m.WParam)) {
        case SB_LINEUP: --topIndex; break;
        case SB_LINEDOWN: ++topIndex; break;
        case SB_PAGEUP: topIndex -= rows; break;
        case SB_PAGEDOWN: topIndex += rows; break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK: topIndex = HIWORD(m.WParam); break;
        case SB_TOP: topIndex = 0; break;
        case SB_BOTTOM: topIndex = maxTop; break;
        default: return;
        }
        SetTopItem(nodes[std::clamp(topIndex, 0, maxTop)]);
        return;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        TCustomControl::WndProc(m);
        Invalidate();
        return;
    default: TCustomControl::WndProc(m); return;
    }
}

}  // namespace gui
