// Buttons and their kin: push button, bitmap button, speed button, check
// box, radio button, group box and radio group. Each paints itself and
// clicks on a release inside it, on Space, or (default and cancel buttons)
// on Enter and Esc passed down from the form.
#pragma once

#include "platform/core/string_list.h"
#include "platform/gui/controls.h"
#include "platform/gui/forms.h"

#include <memory>
#include <vector>

namespace gui {

// Button messages of the system's buttons, for code that sends them.
constexpr UINT BM_GETCHECK = 0x00F0, BM_SETCHECK = 0x00F1, BM_GETSTATE = 0x00F2, BM_CLICK = 0x00F5;
constexpr WPARAM BST_UNCHECKED = 0, BST_CHECKED = 1, BST_INDETERMINATE = 2, BST_PUSHED = 4;

class TButtonControl : public TCustomControl {
public:
    explicit TButtonControl(TComponent* AOwner);
    void WndProc(TMessage& Message) override;

protected:
    // Pressed by the mouse or Space and not yet released.
    bool pressed_ = false;
    bool spaceDown_ = false;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void KeyDown(unsigned& Key, TShiftState Shift) override;
    void KeyUp(unsigned& Key, TShiftState Shift) override;
    // Alt plus the caption's accelerator, passed down from the form.
    virtual bool Accelerated(unsigned key);
    bool tracking_ = false;
};

class TButton : public TButtonControl {
public:
    explicit TButton(TComponent* AOwner);
    // Enter clicks the default button, Esc the cancel button.
    bool Default = false;
    bool Cancel = false;
    // Set on the form when clicked, which ends a modal form.
    TModalResult ModalResult = mrNone;
    void Click() override;
    void WndProc(TMessage& Message) override;

protected:
    void Paint() override;
};

enum TBitBtnKind { bkCustom, bkOK, bkCancel, bkHelp, bkYes, bkNo, bkClose, bkAbort, bkRetry, bkIgnore, bkAll };
enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
enum TButtonStyle { bsAutoDetect, bsWin31, bsNew };

class TBitBtn : public TButton {
public:
    explicit TBitBtn(TComponent* AOwner);
    TBitBtnKind Kind() const { return kind_; }
    // Sets the caption, modal result, default and cancel flags of the kind.
    void SetKind(TBitBtnKind k);
    TBitmap& Glyph() { return glyph_; }
    // How many images side by side the glyph holds: up, disabled, down.
    int NumGlyphs = 1;
    TButtonLayout Layout = blGlyphLeft;
    int Margin = -1;  // -1: centred
    int Spacing = 4;
    TButtonStyle Style = bsAutoDetect;
    void Click() override;

protected:
    void Paint() override;

private:
    TBitBtnKind kind_ = bkCustom;
    TBitmap glyph_;
};

enum TButtonState { bsUp, bsDisabled, bsDown, bsExclusive };

// A button without a window (tool bars): can stay down, alone or as one of
// a group (same GroupIndex, same parent) of which at most one is down.
class TSpeedButton : public TGraphicControl {
public:
    explicit TSpeedButton(TComponent* AOwner);
    int GroupIndex() const { return groupIndex_; }
    void SetGroupIndex(int g);
    bool Down() const { return down_; }
    // Putting one of a group down releases the others.
    void SetDown(bool d);
    bool AllowAllUp() const { return allowAllUp_; }
    void SetAllowAllUp(bool a);
    bool Flat = false;
    TBitmap& Glyph() { return glyph_; }
    int NumGlyphs = 1;
    TButtonLayout Layout = blGlyphLeft;
    int Margin = -1;
    int Spacing = 4;
    TButtonState State() const { return state_; }
    void Click() override;
    void WndProc(TMessage& Message) override;

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    // The part of the glyph for a state (NumGlyphs images side by side).
    TRect GlyphPart(TButtonState s) const;
    TButtonState state_ = bsUp;
    bool dragging_ = false;
    bool mouseInside_ = false;

private:
    void UpdateExclusive();
    int groupIndex_ = 0;
    bool down_ = false;
    bool allowAllUp_ = false;
    TBitmap glyph_;
};

// Draws a glyph-and-caption face as the bitmap and speed buttons do.
void DrawGlyphAndCaption(TCanvas& canvas, const TRect& client, TBitmap& glyph, int numGlyphs, int index,
                         const std::string& caption, TButtonLayout layout, int margin, int spacing, bool enabled,
                         TPoint offset);

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

class TCheckBox : public TButtonControl {
public:
    explicit TCheckBox(TComponent* AOwner);
    TCheckBoxState State() const { return state_; }
    // Raises OnClick when it changes.
    void SetState(TCheckBoxState s);
    bool Checked() const { return state_ == cbChecked; }
    void SetChecked(bool c) { SetState(c ? cbChecked : cbUnchecked); }
    bool AllowGrayed = false;
    TAlignment Alignment = taRightJustify;  // the caption right of the box
    // The next state in the cycle (grayed only with AllowGrayed).
    virtual void Toggle();
    void Click() override;
    void WndProc(TMessage& Message) override;

protected:
    void Paint() override;

private:
    TCheckBoxState state_ = cbUnchecked;
};

class TRadioButton : public TButtonControl {
public:
    explicit TRadioButton(TComponent* AOwner);
    bool Checked() const { return checked_; }
    // Checking one unchecks the radio buttons beside it; raises OnClick when checked.
    void SetChecked(bool c);
    TAlignment Alignment = taRightJustify;
    void Click() override;
    void WndProc(TMessage& Message) override;

protected:
    void Paint() override;

private:
    bool checked_ = false;
};

class TGroupBox : public TCustomControl {
public:
    explicit TGroupBox(TComponent* AOwner);
    // Below the caption, inside the frame.
    TRect AdjustClientRect() const override;

protected:
    void Paint() override;
};

class TRadioGroup : public TGroupBox {
public:
    explicit TRadioGroup(TComponent* AOwner);
    ~TRadioGroup() override;
    // One radio button per item, laid out in Columns.
    plat::StringList& Items() { return items_; }
    int ItemIndex() const { return itemIndex_; }
    // Raises OnClick when it changes; -1 clears.
    void SetItemIndex(int i);
    int Columns() const { return columns_; }
    void SetColumns(int c);
    // The radio button of an item (for tests and focus).
    TRadioButton* Button(int i) const { return buttons_.at(i); }

protected:
    void Resize() override;

private:
    void BuildButtons();
    void ArrangeButtons();
    plat::StringList items_;
    std::vector<TRadioButton*> buttons_;
    int itemIndex_ = -1;
    int columns_ = 1;
    bool updating_ = false;
};

}  // namespace gui
