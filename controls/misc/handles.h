// Grab handles that move and size the controls attached to them. Qt cannot
// draw on the screen itself, so the drag's rectangle is shown by a frame
// window over the parent, removed on release.
#pragma once

#include "platform/core/exceptions.h"
#include "platform/gui/controls.h"

#include <vector>

class QRubberBand;

namespace misc {

class EBadChild : public plat::Exception {
public:
    explicit EBadChild(const std::string& message) : plat::Exception(message) {}
};

class TStretchHandle : public gui::TCustomControl {
public:
    explicit TStretchHandle(gui::TComponent* AOwner);
    ~TStretchHandle() override;

    gui::TColor SecondaryColor = gui::RGB(128, 128, 128);
    bool Locked = false;
    int GridX() const { return gridX_; }
    void SetGridX(int v) { gridX_ = std::clamp(v, 1, 255); }
    int GridY() const { return gridY_; }
    void SetGridY(int v) { gridY_ = std::clamp(v, 1, 255); }
    bool SnapToGrid() const { return gridX_ >= 2 || gridY_ >= 2; }

    // Raises EBadChild for a form.
    void Attach(gui::TControl* control);
    void Detach(gui::TControl* control);
    void ReleaseAll();
    int ChildCount() const { return static_cast<int>(children_.size()); }
    gui::TControl* Children(int i) const { return children_.at(i); }
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;

    // A point snapped down to the grid.
    gui::TPoint Snap(gui::TPoint p) const;
    // The grab square under a point: 0 none, 1..8 clockwise from the top-left corner.
    int GrabAt(gui::TPoint p) const;
    // `r` sized by moving the side or corner `grab` by (dx, dy), keeping the
    // opposite edges and at least 5 x 5.
    static gui::TRect SizedRect(gui::TRect r, int grab, int dx, int dy);

protected:
    void Paint() override;
    void MouseDown(gui::TMouseButton Button, gui::TShiftState Shift, int X, int Y) override;
    void MouseMove(gui::TShiftState Shift, int X, int Y) override;
    void MouseUp(gui::TMouseButton Button, gui::TShiftState Shift, int X, int Y) override;
    void Notification(gui::TComponent* AComponent, gui::TOperation Operation) override;

private:
    void Rebound();
    // Passes a press or release on to the parent's control under the point.
    void PassOn(gui::UINT msg, int X, int Y);
    void ShowFeedback(const gui::TRect& parentRect);
    void HideFeedback();
    std::vector<gui::TControl*> children_;
    int gridX_ = 1, gridY_ = 1;
    enum { kNone, kMoving, kSizing } mode_ = kNone;
    int grab_ = 0;
    gui::TPoint start_;
    gui::TRect dragRect_;
    bool rebounding_ = false;
    QRubberBand* feedback_ = nullptr;
};

}  // namespace misc
