#include "platform/gui/tabs.h"

#include "platform/core/codepage.h"
#include "platform/gui/controls_support.h"

#include <algorithm>

namespace gui {

std::vector<TRect> LayoutTabs(TCanvas& canvas, const std::vector<std::string>& captions, int top, int height) {
    std::vector<TRect> out;
    int x = 2;
    for (const std::string& c : captions) {
        TRect r{0, 0, 1000, 0};
        DrawText(canvas, c, r, DT_CALCRECT | DT_SINGLELINE);
        int w = r.Width() + 12;
        out.push_back(Bounds(x, top, w, height));
        x += w;
    }
    return out;
}

namespace {

void DrawTab(TCanvas& c, const TRect& r, const std::string& caption, bool active, TColor face) {
    TRect t = r;
    if (!active) {
        t.Top += 2;
    } else {
        InflateRect(t, 2, 0);
    }
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(face);
    c.FillRect(t);
    c.Pen().SetColor(clBtnHighlight);
    c.MoveTo(t.Left, t.Bottom - 1);
    c.LineTo(t.Left, t.Top);
    c.LineTo(t.Right - 1, t.Top);
    c.Pen().SetColor(clBtnShadow);
    c.LineTo(t.Right - 1, t.Bottom);
    TRect text = t;
    DrawCaption(c, caption, text, DT_CENTER | DT_VCENTER | DT_SINGLELINE, true);
}

}  // namespace

// ===========================================================================
// TTabSheet

TTabSheet::TTabSheet(TComponent* AOwner) : TCustomControl(AOwner) {
    ControlStyle |= csAcceptsControls;
    SetColor(clBtnFace);
    InitVisible(false);
}

TTabSheet::~TTabSheet() {
    if (pageControl_) pageControl_->RemovePage(this);
}

void TTabSheet::SetPageControl(TPageControl* pc) {
    if (pc == pageControl_) return;
    if (pageControl_) pageControl_->RemovePage(this);
    pageControl_ = nullptr;
    if (pc) pc->InsertPage(this);
}

int TTabSheet::PageIndex() const {
    if (!pageControl_) return -1;
    auto& p = pageControl_->pages_;
    return static_cast<int>(std::find(p.begin(), p.end(), this) - p.begin());
}

void TTabSheet::SetPageIndex(int index) {
    if (!pageControl_) return;
    auto& p = pageControl_->pages_;
    index = std::clamp(index, 0, static_cast<int>(p.size()) - 1);
    p.erase(std::find(p.begin(), p.end(), this));
    p.insert(p.begin() + index, this);
    pageControl_->Invalidate();
}

void TTabSheet::SetTabVisible(bool v) {
    tabVisible_ = v;
    if (pageControl_) {
        if (!v && pageControl_->active_ == this) pageControl_->SelectNextPage(true);
        pageControl_->Invalidate();
    }
}

// ===========================================================================
// TPageControl

TPageControl::TPageControl(TComponent* AOwner) : TCustomControl(AOwner) {
    InstallControlsSupport();
    SetBounds(0, 0, 289, 193);
    SetColor(clBtnFace);
    SetTabStop(true);
    ControlStyle |= csAcceptsControls;
}

TPageControl::~TPageControl() {
    for (TTabSheet* p : pages_) p->pageControl_ = nullptr;
}

void TPageControl::InsertPage(TTabSheet* page) {
    page->pageControl_ = this;
    pages_.push_back(page);
    page->SetParent(this);
    ArrangePages();
    if (!active_) SetActivePage(page);
    Invalidate();
}

void TPageControl::RemovePage(TTabSheet* page) {
    auto it = std::find(pages_.begin(), pages_.end(), page);
    if (it == pages_.end()) return;
    int index = static_cast<int>(it - pages_.begin());
    pages_.erase(it);
    page->pageControl_ = nullptr;
    if (active_ == page) {
        active_ = nullptr;
        if (!pages_.empty()) SetActivePage(pages_[std::min(index, PageCount() - 1)]);
    }
    Invalidate();
}

TRect TPageControl::AdjustClientRect() const {
    TRect r = ClientRect();
    r.Top += TabHeight + 2;
    InflateRect(r, -4, -4);
    r.Top -= 2;
    return r;
}

void TPageControl::ArrangePages() {
    TRect r = AdjustClientRect();
    for (TTabSheet* p : pages_) p->SetBoundsRect(r);
}

void TPageControl::Resize() {
    ArrangePages();
    TCustomControl::Resize();
}

void TPageControl::SetActivePage(TTabSheet* page) {
    if (page && page->pageControl_ != this) return;
    if (page == active_) return;
    TTabSheet* old = active_;
    active_ = page;
    if (page) {
        page->SetBoundsRect(AdjustClientRect());
        page->Show();
        page->BringToFront();
        if (page->OnShow) page->OnShow(page);
    }
    if (old) {
        old->Hide();
        if (old->OnHide) old->OnHide(old);
    }
    Invalidate();
}

int TPageControl::ActivePageIndex() const { return active_ ? active_->PageIndex() : -1; }

void TPageControl::SetActivePageIndex(int index) {
    SetActivePage(index >= 0 && index < PageCount() ? pages_[index] : nullptr);
}

bool TPageControl::ChangeByUser(TTabSheet* page) {
    if (page == active_) return true;
    bool allow = true;
    if (OnChanging) OnChanging(this, allow);
    if (!allow) return false;
    SetActivePage(page);
    if (OnChange) OnChange(this);
    return true;
}

void TPageControl::SelectNextPage(bool goForward) {
    int n = PageCount();
    if (n == 0) return;
    int start = std::max(0, ActivePageIndex());
    for (int k = 1; k <= n; ++k) {
        int i = ((start + (goForward ? k : -k)) % n + n) % n;
        if (pages_[i]->TabVisible()) {
            ChangeByUser(pages_[i]);
            return;
        }
    }
}

TRect TPageControl::TabRect(int index) {
    std::vector<std::string> captions;
    std::vector<int> map;
    for (int i = 0; i < PageCount(); ++i)
        if (pages_[i]->TabVisible()) {
            captions.push_back(pages_[i]->Caption());
            map.push_back(i);
        }
    TCanvas& c = Canvas();
    c.Font().Assign(Font());
    std::vector<TRect> rects = LayoutTabs(c, captions, 2, TabHeight);
    for (std::size_t k = 0; k < map.size(); ++k)
        if (map[k] == index) return rects[k];
    return {};
}

int TPageControl::IndexOfTabAt(int X, int Y) {
    for (int i = 0; i < PageCount(); ++i)
        if (TabRect(i).Contains({X, Y})) return i;
    return -1;
}

void TPageControl::Paint() {
    TCanvas& c = Canvas();
    c.Brush().SetColor(Color());
    c.FillRect(ClientRect());
    TRect body = Rect(0, TabHeight + 2, Width(), Height());
    TRect f = body;
    Frame3D(c, f, clBtnHighlight, cl3DDkShadow, 1);
    Frame3D(c, f, cl3DLight, clBtnShadow, 1);
    c.Font().Assign(Font());
    for (int i = 0; i < PageCount(); ++i) {
        TRect r = TabRect(i);
        if (r.IsEmpty() || pages_[i] == active_) continue;
        DrawTab(c, r, pages_[i]->Caption(), false, Color());
    }
    if (active_) {
        TRect r = TabRect(ActivePageIndex());
        if (!r.IsEmpty()) {
            r.Bottom += 2;
            DrawTab(c, r, active_->Caption(), true, Color());
        }
    }
    if (Focused() && active_) {
        TRect r = TabRect(ActivePageIndex());
        InflateRect(r, -3, -3);
        c.DrawFocusRect(r);
    }
}

void TPageControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == mbLeft) {
        int i = IndexOfTabAt(X, Y);
        if (i >= 0) {
            ChangeByUser(pages_[i]);
            if (CanFocus()) SetFocus();
        }
    }
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TPageControl::KeyDown(unsigned& Key, TShiftState Shift) {
    TCustomControl::KeyDown(Key, Shift);
    if (Key == VK_RIGHT || Key == VK_LEFT) {
        SelectNextPage(Key == VK_RIGHT);
        Key = 0;
    }
}

void TPageControl::WndProc(TMessage& m) {
    if (m.Msg == CM_DIALOGKEY && static_cast<unsigned>(m.WParam) == VK_TAB && (CurrentShiftState() & ssCtrl) &&
        Showing()) {
        // Ctrl+Tab from anywhere on the form turns the page.
        SelectNextPage(!(CurrentShiftState() & ssShift));
        m.Result = 1;
        return;
    }
    if (m.Msg == CM_DIALOGCHAR && Showing() && Enabled()) {
        // Alt and a tab's underlined letter shows that page, as a click would.
        for (TTabSheet* page : pages_)
            if (page->TabVisible() && IsAccel(static_cast<unsigned>(m.WParam), page->Caption())) {
                if (page != active_) ChangeByUser(page);
                m.Result = 1;
                return;
            }
    }
    if (m.Msg == WM_GETDLGCODE) {
        m.Result = DLGC_WANTARROWS;
        return;
    }
    if (m.Msg == CM_TEXTCHANGED || m.Msg == CM_FONTCHANGED) Invalidate();
    TCustomControl::WndProc(m);
}

// ===========================================================================
// TTabbedNotebook

TTabbedNotebook::TTabbedNotebook(TComponent* AOwner) : TPageControl(AOwner) {
    names_.OnChange = [this](plat::StringList&) { Sync(); };
    names_.Add("Default");
}

TTabbedNotebook::~TTabbedNotebook() { names_.OnChange = nullptr; }

void TTabbedNotebook::Sync() {
    if (syncing_) return;
    syncing_ = true;
    while (PageCount() > names_.Count()) delete Pages(PageCount() - 1);
    while (PageCount() < names_.Count()) {
        auto* sheet = new TTabSheet(this);
        sheet->SetPageControl(this);
    }
    for (int i = 0; i < names_.Count(); ++i) Pages(i)->SetCaption(names_[i]);
    Invalidate();
    syncing_ = false;
}

bool TTabbedNotebook::ChangeByUser(TTabSheet* page) {
    if (page == ActivePage()) return true;
    bool allow = true;
    if (OnChangeTab) OnChangeTab(this, page ? page->PageIndex() : -1, allow);
    return allow && TPageControl::ChangeByUser(page);
}

std::string TTabbedNotebook::ActivePageName() const { return ActivePage() ? ActivePage()->Caption() : std::string(); }

void TTabbedNotebook::SetActivePageName(const std::string& name) {
    int i = names_.IndexOf(name);
    if (i >= 0) SetActivePageIndex(i);
}

// ===========================================================================
// TNotebook

TPage::TPage(TComponent* AOwner) : TCustomControl(AOwner) {
    ControlStyle |= csAcceptsControls;
    SetColor(clBtnFace);
    InitVisible(false);
}

TNotebook::TNotebook(TComponent* AOwner) : TCustomControl(AOwner) {
    SetBounds(0, 0, 150, 150);
    SetColor(clBtnFace);
    ControlStyle |= csAcceptsControls;
    names_.OnChange = [this](plat::StringList&) { Sync(); };
    names_.Add("Default");
}

TNotebook::~TNotebook() { names_.OnChange = nullptr; }

void TNotebook::Sync() {
    if (syncing_) return;
    syncing_ = true;
    while (static_cast<int>(pages_.size()) > names_.Count()) {
        delete pages_.back();
        pages_.pop_back();
    }
    while (static_cast<int>(pages_.size()) < names_.Count()) {
        auto* page = new TPage(this);
        page->notebook_ = this;
        page->SetParent(this);
        page->SetAlign(alClient);
        pages_.push_back(page);
    }
    for (int i = 0; i < names_.Count(); ++i) pages_[i]->SetCaption(names_[i]);
    int want = pageIndex_ < 0 ? 0 : std::min(pageIndex_, names_.Count() - 1);
    pageIndex_ = -2;  // forces the pages' visibility to be set again
    syncing_ = false;
    SetPageIndex(want);
}

void TNotebook::SetPageIndex(int i) {
    if (i < 0 || i >= static_cast<int>(pages_.size()) || i == pageIndex_) return;
    bool real = pageIndex_ != -2;
    pageIndex_ = i;
    for (int k = 0; k < static_cast<int>(pages_.size()); ++k) pages_[k]->SetVisible(k == i);
    if (real && OnPageChanged) OnPageChanged(this);
}

std::string TNotebook::ActivePage() const {
    return pageIndex_ >= 0 && pageIndex_ < names_.Count() ? names_[pageIndex_] : std::string();
}

void TNotebook::SetActivePage(const std::string& name) {
    int i = names_.IndexOf(name);
    if (i >= 0) SetPageIndex(i);
}

// ===========================================================================
// TTabSet

TTabSet::TTabSet(TComponent* AOwner) : TCustomControl(AOwner) {
    InstallControlsSupport();
    SetBounds(0, 0, 185, 21);
    SetColor(clBtnFace);
    tabs_.OnChange = [this](plat::StringList&) {
        if (tabIndex_ >= tabs_.Count()) tabIndex_ = tabs_.Count() - 1;
        Invalidate();
    };
}

TTabSet::~TTabSet() { tabs_.OnChange = nullptr; }

void TTabSet::SetTabIndex(int i) {
    if (i < -1 || i >= tabs_.Count()) return;
    tabIndex_ = i;
    Invalidate();
}

void TTabSet::SetStyle(TTabStyle s) {
    style_ = s;
    Invalidate();
}

void TTabSet::SetTabHeight(int h) {
    tabHeight_ = std::max(1, h);
    Invalidate();
}

TRect TTabSet::TabRect(int index) {
    std::vector<std::string> captions;
    for (int i = 0; i < tabs_.Count(); ++i) captions.push_back(tabs_[i]);
    TCanvas& c = Canvas();
    c.Font().Assign(Font());
    int height = Height() - 2;
    if (style_ == tsOwnerDraw) height = std::min(height, tabHeight_);
    std::vector<TRect> rects = LayoutTabs(c, captions, 0, height);
    if (style_ == tsOwnerDraw && OnMeasureTab) {
        // The owner's widths, the tabs still side by side.
        int x = rects.empty() ? 2 : rects[0].Left;
        for (std::size_t i = 0; i < rects.size(); ++i) {
            int w = rects[i].Width() - 12;
            OnMeasureTab(this, static_cast<int>(i), w);
            w = std::max(0, w) + 12;
            rects[i] = Bounds(x, rects[i].Top, w, rects[i].Height());
            x += w;
        }
    }
    return index >= 0 && index < static_cast<int>(rects.size()) ? rects[index] : TRect{};
}

int TTabSet::ItemAtPos(TPoint p) {
    for (int i = 0; i < tabs_.Count(); ++i)
        if (TabRect(i).Contains(p)) return i;
    return -1;
}

void TTabSet::Paint() {
    TCanvas& c = Canvas();
    c.Brush().SetColor(Color());
    c.FillRect(ClientRect());
    c.Pen().SetColor(clBlack);
    c.MoveTo(0, 0);
    c.LineTo(Width(), 0);
    c.Font().Assign(Font());
    for (int i = 0; i < tabs_.Count(); ++i) {
        TRect r = TabRect(i);
        bool sel = i == tabIndex_;
        c.Brush().SetColor(sel ? SelectedColor : UnselectedColor);
        c.FillRect(r);
        c.Pen().SetColor(clBlack);
        c.MoveTo(r.Left, r.Top);
        c.LineTo(r.Left, r.Bottom);
        c.LineTo(r.Right, r.Bottom);
        c.LineTo(r.Right, r.Top - 1);
        TRect t = r;
        if (style_ == tsOwnerDraw && OnDrawTab) {
            // The face inside the frame is the owner's.
            TRect face = Rect(r.Left + 1, r.Top, r.Right, r.Bottom);
            c.Brush().SetStyle(bsSolid);
            c.Brush().SetColor(sel ? SelectedColor : UnselectedColor);
            c.Font().Assign(Font());
            OnDrawTab(this, c, face, i, sel);
            continue;
        }
        DrawCaption(c, tabs_[i], t, DT_CENTER | DT_VCENTER | DT_SINGLELINE, Enabled());
    }
}

void TTabSet::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomControl::MouseDown(Button, Shift, X, Y);
    if (Button != mbLeft) return;
    int i = ItemAtPos({X, Y});
    if (i < 0 || i == tabIndex_) return;
    bool allow = true;
    if (OnChange) OnChange(this, i, allow);
    if (!allow) return;
    SetTabIndex(i);
}

}  // namespace gui
