// Small visual components: a panel split in two panes by a draggable bar, a
// segmented progress meter, a panel with a drop shadow, a panel with a
// tiled background and a bitmap control with a transparent colour.
// Qt cannot draw on the screen itself, so the splitter's drag feedback is
// a frame window over the panel, removed on release.
#pragma once

#include "platform/gui/controls.h"
#include "platform/gui/graphics.h"
#include "platform/gui/std_controls.h"

#include <memory>
#include <vector>

class QRubberBand;

namespace misc {

using gui::TBitmap;
using gui::TColor;
using gui::TComponent;
using gui::TRect;

enum TSplitDirection { sdHorizontal, sdVertical };
using TSplitMove = std::function<void(gui::TObject* Sender, int Percent)>;
using TSplitPosition = std::function<void(gui::TObject* Sender, int Percent)>;

class TTwoWaySplitter : public gui::TPanel {
public:
    explicit TTwoWaySplitter(TComponent* AOwner);
    ~TTwoWaySplitter() override;
    TSplitDirection SplitDirection() const { return direction_; }
    void SetSplitDirection(TSplitDirection d);
    int BarPosition() const { return barPosition_; }
    void SetBarPosition(int percent);
    int BarWidth() const { return barWidth_; }
    void SetBarWidth(int w);
    TColor BarColor() const { return barColor_; }
    void SetBarColor(TColor c);
    bool Locked = false;
    gui::TCursor DragCursor() const { return dragCursor_; }
    void SetDragCursor(gui::TCursor c) { dragCursor_ = c; }
    TSplitMove OnSplitMove;
    TSplitPosition OnBarPosition;

    // The client rectangle less border, frame and bevels.
    TRect InnerRect() const;
    TRect BarRect() const;
    void ArrangePanes();
    bool Dragging() const { return dragging_; }
    // Whether a dropped control would be taken (fewer than two children).
    bool AcceptsDrop() const { return ControlCount() < 2; }

protected:
    void Paint() override;
    void Resize() override;
    void MouseDown(gui::TMouseButton Button, gui::TShiftState Shift, int X, int Y) override;
    void MouseMove(gui::TShiftState Shift, int X, int Y) override;
    void MouseUp(gui::TMouseButton Button, gui::TShiftState Shift, int X, int Y) override;

private:
    void ShowFeedback();
    void HideFeedback();
    TSplitDirection direction_ = sdVertical;
    int barPosition_ = 50;
    int barWidth_ = 5;
    TColor barColor_ = gui::clBtnFace;
    gui::TCursor dragCursor_ = gui::crHSplit;
    gui::TCursor keptCursor_ = gui::crDefault;
    bool overBar_ = false;
    bool dragging_ = false;
    bool arranging_ = false;
    QRubberBand* feedback_ = nullptr;
};

enum TEdgeStyle95 { st95None, st95Lowered, st95Raised };

class TW95Meter : public gui::TGraphicControl {
public:
    explicit TW95Meter(TComponent* AOwner);
    int Percent() const { return percent_; }
    void SetPercent(int value);
    int SegmentWidth() const { return segmentWidth_; }
    void SetSegmentWidth(int v);
    int SegmentGap() const { return segmentGap_; }
    void SetSegmentGap(int v);
    TColor SegmentColor() const { return segmentColor_; }
    void SetSegmentColor(TColor c);
    TColor BackGroundColor() const { return backColor_; }
    void SetBackGroundColor(TColor c);
    TEdgeStyle95 EdgeStyle() const { return edgeStyle_; }
    void SetEdgeStyle(TEdgeStyle95 s);
    // The segments the current percentage shows.
    std::vector<TRect> Segments() const;

protected:
    void Paint() override;

private:
    int percent_ = 0;
    int segmentWidth_ = 8;
    int segmentGap_ = 2;
    TColor segmentColor_ = gui::clNavy;
    TColor backColor_ = gui::clBtnFace;
    TEdgeStyle95 edgeStyle_ = st95Lowered;
};

class TShadowPanel : public gui::TPanel {
public:
    explicit TShadowPanel(TComponent* AOwner);
    ~TShadowPanel() override;
    int ShadowWidth() const { return shadowWidth_; }
    void SetShadowWidth(int w);
    gui::TPanel* Shadow() const { return shadow_; }
    void SetParent(gui::TWinControl* AParent) override;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;

private:
    void PlaceShadow();
    int shadowWidth_ = 8;
    gui::TPanel* shadow_ = nullptr;
};

class TBkgdPanel : public gui::TPanel {
public:
    explicit TBkgdPanel(TComponent* AOwner);
    TBitmap& Background() { return background_; }

protected:
    void Paint() override;

private:
    TBitmap background_;
};

class TTransImage : public gui::TGraphicControl {
public:
    explicit TTransImage(TComponent* AOwner);
    TBitmap& Bitmap() { return bitmap_; }
    bool AutoSize = false;
    bool Center = false;
    bool Stretch = false;
    bool Transparent = true;
    // Monochrome: white where the transparent colour is.
    const TBitmap& Mask() const { return mask_; }
    // The image with the transparent colour blacked out.
    const TBitmap& Image() const { return image_; }

protected:
    void Paint() override;

private:
    void BitmapChanged();
    TBitmap bitmap_;
    TBitmap mask_;
    TBitmap image_;
    bool building_ = false;
};

}  // namespace misc
