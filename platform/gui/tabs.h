// Pages and tabs: the page control with its tab sheets, the tabbed
// notebook, the notebook (pages without tabs, chosen by index or name) and
// the tab set (a strip of tabs, usually over a notebook).
#pragma once

#include "platform/core/string_list.h"
#include "platform/gui/controls.h"

#include <functional>
#include <string>
#include <vector>

namespace gui {

using TTabChangingEvent = std::function<void(TObject* Sender, bool& AllowChange)>;
using TTabChangeEvent = std::function<void(TObject* Sender, int NewTab, bool& AllowChange)>;

// Lays tabs side by side from x = 2: each as wide as its caption plus padding.
std::vector<TRect> LayoutTabs(TCanvas& canvas, const std::vector<std::string>& captions, int top, int height);

class TPageControl;

class TTabSheet : public TCustomControl {
public:
    explicit TTabSheet(TComponent* AOwner);
    ~TTabSheet() override;
    TPageControl* PageControl() const { return pageControl_; }
    // Puts the sheet on a page control (the last page), or takes it off.
    void SetPageControl(TPageControl* pc);
    int PageIndex() const;
    void SetPageIndex(int index);
    bool TabVisible() const { return tabVisible_; }
    void SetTabVisible(bool v);
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;

private:
    friend class TPageControl;
    TPageControl* pageControl_ = nullptr;
    bool tabVisible_ = true;
};

class TPageControl : public TCustomControl {
public:
    explicit TPageControl(TComponent* AOwner);
    ~TPageControl() override;
    int PageCount() const { return static_cast<int>(pages_.size()); }
    TTabSheet* Pages(int index) const { return pages_.at(index); }
    TTabSheet* ActivePage() const { return active_; }
    // Changing the page in code raises no OnChanging or OnChange.
    void SetActivePage(TTabSheet* page);
    int ActivePageIndex() const;
    void SetActivePageIndex(int index);
    // The next (or previous) page with a visible tab, wrapping; through
    // OnChanging and OnChange as a user's choice.
    void SelectNextPage(bool goForward);
    int TabHeight = 20;
    TTabChangingEvent OnChanging;
    TNotifyEvent OnChange;
    // The area the sheets fill.
    TRect AdjustClientRect() const override;
    // A tab's rectangle; empty for a hidden tab.
    TRect TabRect(int index);
    // The page whose tab is at a client point, -1 for none.
    int IndexOfTabAt(int X, int Y);
    void WndProc(TMessage& Message) override;

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void KeyDown(unsigned& Key, TShiftState Shift) override;
    void Resize() override;
    // A user's change: OnChanging may refuse, OnChange after.
    virtual bool ChangeByUser(TTabSheet* page);

private:
    friend class TTabSheet;
    void InsertPage(TTabSheet* page);
    void RemovePage(TTabSheet* page);
    void ArrangePages();
    std::vector<TTabSheet*> pages_;
    TTabSheet* active_ = nullptr;
};

// A page control whose pages are made from a list of names.
class TTabbedNotebook : public TPageControl {
public:
    explicit TTabbedNotebook(TComponent* AOwner);
    ~TTabbedNotebook() override;
    // One page per line; changing the list adds, removes and renames pages.
    plat::StringList& Pages() { return names_; }
    using TPageControl::Pages;
    int PageIndex() const { return ActivePageIndex(); }
    void SetPageIndex(int i) { SetActivePageIndex(i); }
    std::string ActivePageName() const;
    void SetActivePageName(const std::string& name);
    // The page (a tab sheet) at an index, to put controls on.
    TTabSheet* Page(int index) const { return Pages(index); }
    // With the new tab's index; may refuse.
    TTabChangeEvent OnChangeTab;

protected:
    bool ChangeByUser(TTabSheet* page) override;

private:
    void Sync();
    plat::StringList names_;
    bool syncing_ = false;
};

class TNotebook;

class TPage : public TCustomControl {
public:
    explicit TPage(TComponent* AOwner);
    TNotebook* Notebook() const { return notebook_; }

private:
    friend class TNotebook;
    TNotebook* notebook_ = nullptr;
};

class TNotebook : public TCustomControl {
public:
    explicit TNotebook(TComponent* AOwner);
    ~TNotebook() override;
    // One page per line (the line is the page's name).
    plat::StringList& Pages() { return names_; }
    int PageIndex() const { return pageIndex_; }
    void SetPageIndex(int i);
    std::string ActivePage() const;
    // Unknown names leave the page as it is.
    void SetActivePage(const std::string& name);
    TPage* Page(int index) const { return pages_.at(index); }
    TNotifyEvent OnPageChanged;

private:
    void Sync();
    plat::StringList names_;
    std::vector<TPage*> pages_;
    int pageIndex_ = -1;
    bool syncing_ = false;
};

enum TTabStyle { tsStandard, tsOwnerDraw };
// An owner-drawn tab's width (the caption's width as it comes in).
using TMeasureTabEvent = std::function<void(TObject* Sender, int Index, int& TabWidth)>;
// Draws an owner-drawn tab's face inside its frame; the canvas comes with
// the tab's colour as brush and the tab set's font.
using TDrawTabEvent = std::function<void(TObject* Sender, TCanvas& TabCanvas, TRect R, int Index, bool Selected)>;

class TTabSet : public TCustomControl {
public:
    explicit TTabSet(TComponent* AOwner);
    ~TTabSet() override;
    plat::StringList& Tabs() { return tabs_; }
    int TabIndex() const { return tabIndex_; }
    // In code: raises no OnChange.
    void SetTabIndex(int i);
    TColor SelectedColor = clBtnFace;
    TColor UnselectedColor = clWindow;
    // tsOwnerDraw: OnMeasureTab sizes the tabs, OnDrawTab draws their faces,
    // TabHeight high.
    TTabStyle Style() const { return style_; }
    void SetStyle(TTabStyle s);
    int TabHeight() const { return tabHeight_; }
    void SetTabHeight(int h);
    TMeasureTabEvent OnMeasureTab;
    TDrawTabEvent OnDrawTab;
    // A user's click: OnChange with the new tab (may refuse), then OnClick.
    TTabChangeEvent OnChange;
    TRect TabRect(int index);
    int ItemAtPos(TPoint p);

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
    plat::StringList tabs_;
    int tabIndex_ = -1;
    TTabStyle style_ = tsStandard;
    int tabHeight_ = 20;
};

}  // namespace gui
