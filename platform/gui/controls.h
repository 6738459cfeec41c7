// Controls. A TControl has a place in its parent, a font, a colour, a
// cursor and a hint, and handles messages through WndProc. A TWinControl also
// has a window handle in the headless window layer and a Qt widget that shows
// it: Qt's input, focus, size and paint events reach the control as Win32
// messages through that handle, so message handlers written for Win32 work
// unchanged, and SendMessage/PostMessage to the handle reach the control.
// A TGraphicControl has no window: it paints on its parent and gets its mouse
// messages from it.
//
// Painting: every windowed control paints into a back-buffer image; WM_PAINT
// repaints the invalidated part of it (the control's own drawing, then its
// graphic children), and the widget shows the buffer. Drawing on a control's
// canvas outside WM_PAINT therefore stays on screen until the next repaint,
// as it does on Win32.
#pragma once

#include "platform/gui/component.h"
#include "platform/gui/graphics.h"

#include <memory>
#include <string>
#include <vector>

class QWidget;
class QImage;

namespace gui {

class TWinControl;
class TForm;
class ControlWidget;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

// ControlStyle flags.
using TControlStyle = unsigned;
constexpr TControlStyle csAcceptsControls = 0x01, csCaptureMouse = 0x02, csDesignInteractive = 0x04,
                        csClickEvents = 0x08, csFramed = 0x10, csSetCaption = 0x20, csOpaque = 0x40,
                        csDoubleClicks = 0x80, csFixedWidth = 0x100, csFixedHeight = 0x200,
                        csNoDesignVisible = 0x400, csReplicatable = 0x800, csNoStdEvents = 0x1000;

using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = std::function<void(TObject* Sender, unsigned& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;

// In-process drag and drop between controls (text from other programs comes
// by the clipboard). The source is the control that began the drag.
enum TDragMode { dmManual, dmAutomatic };
enum TDragState { dsDragEnter, dsDragLeave, dsDragMove };
class TControl;
using TDragOverEvent =
    std::function<void(TObject* Sender, TObject* Source, int X, int Y, TDragState State, bool& Accept)>;
using TDragDropEvent = std::function<void(TObject* Sender, TObject* Source, int X, int Y)>;
// The control under a screen point (graphic controls included), or nullptr.
TControl* FindDragTarget(TPoint screenPoint);

// The shift state packed in a mouse message's wParam, and the reverse.
TShiftState MouseFlagsToShiftState(WPARAM flags);
// The shift state of the keyboard now (Shift, Ctrl, Alt).
TShiftState KeyboardShiftState();
// "short|long": the part before the bar, and the part after it (the whole
// text when there is no bar).
std::string GetShortHint(const std::string& hint);
std::string GetLongHint(const std::string& hint);
// True when `text` marks `ch` as its accelerator ("&File" for 'f' or 'F').
bool IsAccel(unsigned ch, const std::string& text);

class TControl : public TComponent {
public:
    explicit TControl(TComponent* AOwner);
    ~TControl() override;

    TWinControl* Parent() const { return parent_; }
    virtual void SetParent(TWinControl* AParent);

    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
    void SetTop(int v) { SetBounds(left_, v, width_, height_); }
    void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
    void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
    virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
    TRect BoundsRect() const { return Bounds(left_, top_, width_, height_); }
    void SetBoundsRect(const TRect& r) { SetBounds(r.Left, r.Top, r.Width(), r.Height()); }
    virtual TRect ClientRect() const { return Rect(0, 0, width_, height_); }
    int ClientWidth() const { return ClientRect().Width(); }
    int ClientHeight() const { return ClientRect().Height(); }
    void SetClientSize(int w, int h);
    // Client point <-> screen point.
    TPoint ClientToScreen(TPoint p) const;
    TPoint ScreenToClient(TPoint p) const;
    // Top-left of the client area in screen coordinates.
    virtual TPoint ClientOrigin() const;

    TAlign Align() const { return align_; }
    void SetAlign(TAlign a);
    bool Visible() const { return visible_; }
    virtual void SetVisible(bool v);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible, and so are all its parents.
    bool Showing() const;
    bool Enabled() const { return enabled_; }
    virtual void SetEnabled(bool e);

    TFont& Font() { return *font_; }
    bool ParentFont() const { return parentFont_; }
    void SetParentFont(bool v);
    TColor Color() const { return color_; }
    void SetColor(TColor c);
    bool ParentColor() const { return parentColor_; }
    void SetParentColor(bool v);
    TCursor Cursor() const { return cursor_; }
    void SetCursor(TCursor c);
    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& h);
    // F1 over the control asks the application's help for the first non-zero
    // context from the control outwards through its parents.
    long HelpContext = 0;
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool v);
    // The class library's Caption and Text are one string.
    const std::string& Caption() const { return text_; }
    void SetCaption(const std::string& s) { SetText(s); }
    virtual std::string Text() const { return text_; }
    virtual void SetText(const std::string& s);

    TControlStyle ControlStyle = csCaptureMouse | csClickEvents | csSetCaption | csDoubleClicks;
    // The sunken 3-D look; a change sends CM_CTL3DCHANGED, and children that
    // follow their parent's setting get CM_PARENTCTL3DCHANGED.
    bool Ctl3D() const { return ctl3D_; }
    void SetCtl3D(bool v);
    bool ParentCtl3D() const { return parentCtl3D_; }
    void SetParentCtl3D(bool v);

    virtual void Invalidate();
    // Invalidates and paints at once.
    virtual void Repaint();
    void Refresh() { Repaint(); }
    // Paints what is invalid now.
    virtual void Update();
    void BringToFront();
    void SendToBack();

    // Mouse capture: while held, mouse messages go to this control wherever the mouse is.
    bool MouseCapture() const;
    void SetMouseCapture(bool capture);

    // Handles a message at once, through WindowProc.
    LRESULT Perform(UINT Msg, WPARAM WParam, LPARAM LParam);
    // The message entry; replaceable (subclassing), WndProc by default.
    plat::TWndMethod WindowProc;
    virtual void WndProc(TMessage& Message);
    // What happens to messages nobody handled.
    virtual void DefaultHandler(TMessage& Message);

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TNotifyEvent OnResize;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;

    // Dragging: with dmAutomatic a left press begins a drag at once. While
    // a drag runs the source keeps the mouse; moves ask the control under
    // the mouse (DragOver) and the release drops on it when it accepted.
    TDragMode DragMode = dmManual;
    TDragOverEvent OnDragOver;
    TDragDropEvent OnDragDrop;
    void BeginDrag(bool Immediate);
    // Ends the running drag of this control; with drop, on the control under the mouse.
    void EndDrag(bool drop);
    bool Dragging() const;
    // The control whose drag runs, or nullptr.
    static TControl* DragSource();
    // Accept is preset to whether OnDragOver is assigned.
    virtual void DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept);
    virtual void DragDrop(TObject* Source, int X, int Y);

    virtual void Click();
    virtual void DblClick();

    // The form the control sits on, or nullptr.
    TForm* ParentForm() const;

protected:
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseMove(TShiftState Shift, int X, int Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void Resize();
    virtual void FontChanged();
    virtual void Notification(TComponent* AComponent, TOperation Operation) override;
    // Applies bounds to whatever shows the control.
    virtual void BoundsChanged() {}
    virtual void VisibleChanged() {}
    virtual void CursorChanged() {}
    virtual void HintChanged() {}
    void InvalidateInParent();
    // The starting visibility, set by constructors without any notification.
    void InitVisible(bool v) { visible_ = v; }

    TWinControl* parent_ = nullptr;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    std::string text_;

private:
    friend class TWinControl;
    friend class ControlWidget;
    void HandleMouseDown(TMessage& m, TMouseButton button, bool dbl);
    void HandleMouseUp(TMessage& m, TMouseButton button);

    TAlign align_ = alNone;
    bool visible_ = true;
    bool enabled_ = true;
    std::unique_ptr<TFont> font_;
    bool parentFont_ = true;
    bool updatingParentFont_ = false;
    TColor color_ = clWindow;
    bool parentColor_ = false;
    TCursor cursor_ = crDefault;
    std::string hint_;
    bool showHint_ = false;
    bool ctl3D_ = true;
    bool parentCtl3D_ = true;
    bool clicked_ = false;  // a left press happened inside; the release may click
};

class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent* AOwner);
    ~TWinControl() override;

    // The window handle, created on first use (and re-created after a change of parent).
    HWND Handle();
    bool HandleAllocated() const { return handle_ != 0; }
    void HandleNeeded() { Handle(); }

    int ControlCount() const { return static_cast<int>(controls_.size()); }
    TControl* Controls(int index) const { return controls_.at(index); }
    // The visible, enabled control with a point (client coordinates), the
    // topmost first; windowed children only when allowWinControls.
    TControl* ControlAtPos(TPoint p, bool allowDisabled = false, bool allowWinControls = false) const;
    bool ContainsControl(const TControl* c) const;

    int TabOrder() const;
    void SetTabOrder(int order);
    bool TabStop() const { return tabStop_; }
    void SetTabStop(bool v) { tabStop_ = v; }
    // Raises plat::Exception when the control cannot take the focus.
    virtual void SetFocus();
    bool Focused() const;
    virtual bool CanFocus() const;
    // The next (or previous) control in tab order after `current`, among
    // this control's descendants.
    TWinControl* FindNextControl(TWinControl* current, bool goForward, bool checkTabStop, bool checkParent) const;
    void SelectNext(TWinControl* current, bool goForward, bool checkTabStop);
    void GetTabOrderList(std::vector<TWinControl*>& list) const;

    // Marks part of the client area for repainting.
    void InvalidateRect(const TRect& r);
    // Moves the picture of the client area (or of `area`) by dx, dy and
    // invalidates what is uncovered; without `area` child controls move too.
    void ScrollWindow(int dx, int dy, const TRect* area = nullptr);
    void Invalidate() override;
    void Repaint() override;
    void Update() override;
    void SetVisible(bool v) override;
    void SetEnabled(bool e) override;
    void SetText(const std::string& s) override;
    TPoint ClientOrigin() const override;
    // The bounds less the window's scroll bars.
    TRect ClientRect() const override;
    // Width taken by the shown vertical scroll bar and height by the horizontal one.
    TPoint ScrollBarSpace() const;
    // Arranges aligned children.
    void Realign();
    // The area children are aligned in (the client area less borders).
    virtual TRect AdjustClientRect() const { return ClientRect(); }

    // Window scroll bars (0 horizontal, 1 vertical), shown while the range is non-empty.
    void SetScrollRange(int bar, int minPos, int maxPos, bool redraw = true);
    void SetScrollPos(int bar, int pos, bool redraw = true);
    int GetScrollPos(int bar) const;
    void GetScrollRange(int bar, int& minPos, int& maxPos) const;
    void ShowScrollBar(int bar, bool show);

    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TKeyEvent OnKeyDown;
    TKeyEvent OnKeyUp;
    TKeyPressEvent OnKeyPress;

    void WndProc(TMessage& Message) override;
    void DefaultHandler(TMessage& Message) override;
    // Sends a message to every child (CM_PARENTFONTCHANGED and the like).
    void NotifyControls(UINT msg);

    QWidget* Widget() const;
    // The back buffer the control paints into (null before the first paint).
    QImage* BackBuffer() const;
    // Paints the control into an image of its size, as it looks now.
    void PaintTo(TBitmap& bitmap);

protected:
    virtual void KeyDown(unsigned& Key, TShiftState Shift);
    virtual void KeyUp(unsigned& Key, TShiftState Shift);
    virtual void KeyPress(char& Key);
    virtual void DoEnter();
    virtual void DoExit();
    // WM_PAINT: the background, the control's own drawing, its graphic children.
    virtual void PaintHandler(TMessage& Message);
    virtual void PaintWindow() {}
    void PaintControls(TCanvas& canvas, const TRect& clip);
    virtual void EraseBackground(TCanvas& canvas, const TRect& clip);
    // Windows that want the keys a dialog would take answer WM_GETDLGCODE.
    bool DoKeyDown(TMessage& m);
    bool DoKeyUp(TMessage& m);
    bool DoKeyPress(TMessage& m);
    void BoundsChanged() override;
    void VisibleChanged() override;
    void CursorChanged() override;
    void HintChanged() override;
    void AlignControls(TRect rect);
    // The widget that shows the control; a form makes a top-level one.
    virtual QWidget* CreateWidget();
    // The canvas that paints into the back buffer (forms and custom controls publish it).
    TCanvas& WindowCanvas();
    void DestroyHandle();
    void CreateHandle();

private:
    friend class TControl;
    friend class ControlWidget;
    friend class TForm;
    friend class TGraphicControl;
    void InsertControl(TControl* c);
    void RemoveControl(TControl* c);
    void EnsureWidget();
    void PaintWidget(const TRect& rect);
    void EnsureBuffer();
    void ScrollBarAction(int bar, int action);
    void LayoutScrollBars();

    HWND handle_ = 0;
    std::vector<TControl*> controls_;
    std::vector<TWinControl*> tabList_;
    bool tabStop_ = false;
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A windowed control that paints itself on its own canvas in Paint.
class TCustomControl : public TWinControl {
public:
    explicit TCustomControl(TComponent* AOwner);
    TCanvas& Canvas() { return WindowCanvas(); }
    TNotifyEvent OnPaint;

protected:
    virtual void Paint();
    void PaintWindow() override;
};

// A control without a window that paints on its parent.
class TGraphicControl : public TControl {
public:
    explicit TGraphicControl(TComponent* AOwner);
    ~TGraphicControl() override;
    // Bound to the parent's buffer at the control's place (empty before it has a parent).
    TCanvas& Canvas();
    void WndProc(TMessage& Message) override;

protected:
    virtual void Paint();

private:
    friend class TWinControl;
    void PaintOn(QImage* buffer, TPoint origin, const TRect& clip);
    std::unique_ptr<TCanvas> canvas_;
};

// A control made in code as a form's designer would make it: owned,
// parented, named and placed in one call.
template <class T>
T* MakeControl(TWinControl* parent, TComponent* owner, const char* name, int x, int y, int w, int h) {
    auto* c = new T(owner);
    c->SetParent(parent);
    c->SetName(name);
    c->SetBounds(x, y, w, h);
    return c;
}

}  // namespace gui
