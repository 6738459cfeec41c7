// The scroll bar control, the scroll box (a panel whose children scroll)
// and the splitter that resizes the control beside it.
#pragma once

#include "platform/gui/controls.h"

#include <functional>

namespace gui {

enum TScrollBarKind { sbHorizontal, sbVertical };
enum TScrollCode { scLineUp, scLineDown, scPageUp, scPageDown, scPosition, scTrack, scTop, scBottom, scEndScroll };
using TScrollEvent = std::function<void(TObject* Sender, TScrollCode ScrollCode, int& ScrollPos)>;

class TScrollBar : public TCustomControl {
public:
    explicit TScrollBar(TComponent* AOwner);
    TScrollBarKind Kind() const { return kind_; }
    void SetKind(TScrollBarKind k);
    int Min() const { return min_; }
    int Max() const { return max_; }
    int Position() const { return position_; }
    // Kept within Min..Max; raises OnChange when it moves.
    void SetPosition(int p);
    // Raises plat::Exception when min > max.
    void SetParams(int APosition, int AMin, int AMax);
    int SmallChange = 1;
    int LargeChange = 1;
    TNotifyEvent OnChange;
    // Before a move by the user; the handler may change the new position.
    TScrollEvent OnScroll;
    // A user's scroll: OnScroll, then the position.
    void Scroll(TScrollCode code, int pos);

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void KeyDown(unsigned& Key, TShiftState Shift) override;
    void WndProc(TMessage& Message) override;

private:
    int Length() const { return kind_ == sbHorizontal ? Width() : Height(); }
    int Thickness() const { return kind_ == sbHorizontal ? Height() : Width(); }
    TRect ThumbRect() const;
    int PosFromOffset(int offset) const;
    TScrollBarKind kind_ = sbHorizontal;
    int min_ = 0, max_ = 100, position_ = 0;
    bool dragging_ = false;
    int dragOffset_ = 0;
};

// One scroll bar of a scroll box.
struct TControlScrollBar {
    int Position = 0;
    int Range = 0;     // the extent of the content; 0: from the children
    int Increment = 8;
};

class TScrollBox : public TCustomControl {
public:
    explicit TScrollBox(TComponent* AOwner);
    TControlScrollBar& HorzScrollBar() { return horz_; }
    TControlScrollBar& VertScrollBar() { return vert_; }
    bool AutoScroll = true;
    // Scrolls so that the control (a child) shows whole.
    void ScrollInView(TControl* control);
    // Moves the content to a position of each bar.
    void ScrollTo(int x, int y);
    // Recomputes the ranges from the children and shows the bars as needed.
    void UpdateScrollRanges();
    void WndProc(TMessage& Message) override;

protected:
    void Resize() override;

private:
    TControlScrollBar horz_, vert_;
};

enum TResizeStyle { rsNone, rsLine, rsUpdate, rsPattern };

// Drags the edge of the control aligned just before it on the same side.
class TSplitter : public TGraphicControl {
public:
    explicit TSplitter(TComponent* AOwner);
    int MinSize = 30;
    TResizeStyle ResizeStyle = rsUpdate;
    TNotifyEvent OnMoved;
    // The control it resizes (nullptr when none is beside it).
    TControl* FindControl() const;

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
    void ApplyDelta(int delta);
    TControl* target_ = nullptr;
    TPoint downAt_;
    int startSize_ = 0;
};

}  // namespace gui
