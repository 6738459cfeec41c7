// The simple controls: label, panel with bevels, bevel, paint box, image and shape.
#pragma once

#include "platform/gui/controls.h"
#include "platform/gui/forms.h"

namespace gui {

enum TTextLayout { tlTop, tlCenter, tlBottom };

class TLabel : public TGraphicControl {
public:
    explicit TLabel(TComponent* AOwner);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment a);
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool a);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool w);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool t);
    TTextLayout Layout() const { return layout_; }
    void SetLayout(TTextLayout l);
    bool ShowAccelChar = true;
    // Alt plus the accelerator of the caption focuses this control (a weak
    // link: cleared when the control is freed).
    TWinControl* FocusControl() const { return focusControl_; }
    void SetFocusControl(TWinControl* c);
    void WndProc(TMessage& Message) override;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void Paint() override;
    void AdjustBounds();
    unsigned TextFlags() const;

private:
    TAlignment alignment_ = taLeftJustify;
    bool autoSize_ = true;
    bool wordWrap_ = false;
    bool transparent_ = false;
    TTextLayout layout_ = tlTop;
    TWinControl* focusControl_ = nullptr;
};

enum TPanelBevel { bvNone, bvLowered, bvRaised, bvSpace };

class TPanel : public TCustomControl {
public:
    explicit TPanel(TComponent* AOwner);
    TPanelBevel BevelInner() const { return bevelInner_; }
    void SetBevelInner(TPanelBevel b);
    TPanelBevel BevelOuter() const { return bevelOuter_; }
    void SetBevelOuter(TPanelBevel b);
    int BevelWidth() const { return bevelWidth_; }
    void SetBevelWidth(int w);
    int BorderWidth() const { return borderWidth_; }
    void SetBorderWidth(int w);
    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle s);
    TAlignment Alignment() const { return alignment_; }
    void SetAlignment(TAlignment a);
    // Client area less border and bevels: where aligned children go.
    TRect AdjustClientRect() const override;

protected:
    void Paint() override;

private:
    TPanelBevel bevelInner_ = bvNone;
    TPanelBevel bevelOuter_ = bvRaised;
    int bevelWidth_ = 1;
    int borderWidth_ = 0;
    TBorderStyle borderStyle_ = bsNone;
    TAlignment alignment_ = taCenter;
};

enum TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
enum TBevelStyle { bsLowered, bsRaised };

class TBevel : public TGraphicControl {
public:
    explicit TBevel(TComponent* AOwner);
    TBevelShape Shape() const { return shape_; }
    void SetShape(TBevelShape s);
    TBevelStyle Style() const { return style_; }
    void SetStyle(TBevelStyle s);

protected:
    void Paint() override;

private:
    TBevelShape shape_ = bsBox;
    TBevelStyle style_ = bsLowered;
};

class TPaintBox : public TGraphicControl {
public:
    explicit TPaintBox(TComponent* AOwner);
    TNotifyEvent OnPaint;

protected:
    void Paint() override;
};

class TImage : public TGraphicControl {
public:
    explicit TImage(TComponent* AOwner);
    ~TImage() override;
    TPicture& Picture() { return picture_; }
    bool Stretch() const { return stretch_; }
    void SetStretch(bool s);
    bool Center() const { return center_; }
    void SetCenter(bool c);
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool a);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool t);
    // Drawing on an image draws on its bitmap (made the control's size when empty).
    TCanvas& ImageCanvas();

protected:
    void Paint() override;

private:
    void PictureChanged();
    TPicture picture_;
    bool stretch_ = false;
    bool center_ = false;
    bool autoSize_ = false;
    bool transparent_ = false;
};

enum TShapeType { stRectangle, stSquare, stRoundRect, stRoundSquare, stEllipse, stCircle };

class TShape : public TGraphicControl {
public:
    explicit TShape(TComponent* AOwner);
    TShapeType Shape() const { return shape_; }
    void SetShape(TShapeType s);
    TPen& Pen() { return pen_; }
    TBrush& Brush() { return brush_; }

protected:
    void Paint() override;

private:
    TShapeType shape_ = stRectangle;
    TPen pen_;
    TBrush brush_;
};

}  // namespace gui
