// The speed button with a multi-state glyph: flat look that lights up under
// the mouse, grouping, a drop-down menu and an auto-repeat timer; and the
// cache of glyph images it draws from. The repeat timer is a gui::TTimer,
// so it runs on the platform clock and tests drive it with a fake one.
#pragma once

#include "platform/gui/buttons.h"
#include "platform/gui/controls.h"
#include "platform/gui/forms.h"
#include "platform/gui/graphics.h"
#include "platform/gui/menus.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace zb {

using gui::TBitmap;
using gui::TButtonLayout;
using gui::TButtonStyle;
using gui::TCanvas;
using gui::TColor;
using gui::TComponent;
using gui::TPoint;
using gui::TRect;

// Glyph states; the fifth image of a glyph shows a flat button at rest.
enum TZbButtonState { zbsUp = 0, zbsDisabled = 1, zbsDown = 2, zbsExclusive = 3, zbsInactive = 4 };

// Where glyph and caption go inside a button (client coordinates).
struct ButtonLayoutResult {
    TPoint glyphPos;
    TRect textBounds;
};
ButtonLayoutResult CalcButtonLayout(const TRect& client, TPoint glyphSize, TPoint textSize, TButtonLayout layout,
                                    int margin, int spacing, bool dropDownMark);

class TZbButtonGlyph {
public:
    TZbButtonGlyph();
    TBitmap& Glyph() { return glyph_; }
    // Copies the picture; NumGlyphs becomes width div height when the width
    // is an exact multiple of the height (more than 5 counts as 1), else 1.
    void SetGlyph(const TBitmap& glyph);
    int NumGlyphs() const { return numGlyphs_; }
    void SetNumGlyphs(int n);
    TColor TransparentColor() const { return transparentColor_; }
    // The image of a state, generated on first use; -1 without a glyph.
    int CreateButtonGlyph(TZbButtonState state);
    TBitmap* Image(int index) { return index >= 0 && index < int(images_.size()) ? images_[index].get() : nullptr; }
    // Forgets the generated images (colours or enabled state changed).
    void Invalidate();
    // Draws glyph and caption; returns the caption's rectangle.
    TRect Draw(TCanvas& canvas, const TRect& client, TPoint offset, const std::string& caption, TButtonLayout layout,
               int margin, int spacing, TZbButtonState state, bool transparent, bool dropDownMark, bool wordWrap);
    gui::TNotifyEvent OnChange;

private:
    TBitmap glyph_;
    int numGlyphs_ = 1;
    TColor transparentColor_ = gui::clFuchsia;
    std::vector<std::unique_ptr<TBitmap>> images_;
    std::array<int, 5> indexes_{-1, -1, -1, -1, -1};
};

class TZbSpeedButton : public gui::TGraphicControl {
public:
    explicit TZbSpeedButton(TComponent* AOwner);
    ~TZbSpeedButton() override;

    bool AllowAllUp() const { return allowAllUp_; }
    void SetAllowAllUp(bool v);
    bool AllowTimer() const { return allowTimer_; }
    // Clearing it frees the timer.
    void SetAllowTimer(bool v);
    int GroupIndex() const { return groupIndex_; }
    void SetGroupIndex(int v);
    bool Down() const { return down_; }
    void SetDown(bool v);
    gui::TPopupMenu* DropDownMenu() const { return dropDownMenu_; }
    void SetDropDownMenu(gui::TPopupMenu* m);
    bool Flat() const { return flat_; }
    void SetFlat(bool v);
    TBitmap& Glyph() { return glyph_.Glyph(); }
    void SetGlyph(const TBitmap& b);
    bool GrayedInactive() const { return grayedInactive_; }
    void SetGrayedInactive(bool v);
    unsigned InitPause = 500;
    unsigned RepeatInterval = 100;
    TButtonLayout Layout() const { return layout_; }
    void SetLayout(TButtonLayout l);
    int Margin() const { return margin_; }
    void SetMargin(int m);
    bool MarkDropDown() const { return markDropDown_; }
    void SetMarkDropDown(bool v);
    int NumGlyphs() const { return glyph_.NumGlyphs(); }
    void SetNumGlyphs(int n);
    int Spacing() const { return spacing_; }
    void SetSpacing(int s);
    TButtonStyle Style() const { return style_; }
    void SetStyle(TButtonStyle s);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool v);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool v);

    TZbButtonState State() const { return state_; }
    bool MouseInControl() const { return mouseInControl_; }
    TZbButtonGlyph& ButtonGlyph() { return glyph_; }
    // The repeat timer, while there is one (tests).
    gui::TTimer* RepeatTimer() const { return timer_; }
    // The state the glyph shows when painted now.
    TZbButtonState PaintState() const;

    void Click() override;
    // Another button of the group went down or changed the group's AllowAllUp.
    void ButtonPressed(TZbSpeedButton* sender);
    // Re-reads whether the mouse is over the button.
    void UpdateTracking();
    void WndProc(gui::TMessage& Message) override;

protected:
    void Paint() override;
    void MouseDown(gui::TMouseButton Button, gui::TShiftState Shift, int X, int Y) override;
    void MouseMove(gui::TShiftState Shift, int X, int Y) override;
    void MouseUp(gui::TMouseButton Button, gui::TShiftState Shift, int X, int Y) override;
    void TimerExpired();

private:
    void GroupChanged();
    void StopTimer();
    TZbButtonGlyph glyph_;
    bool allowAllUp_ = false;
    bool allowTimer_ = false;
    int groupIndex_ = 0;
    bool down_ = false;
    gui::TPopupMenu* dropDownMenu_ = nullptr;
    bool flat_ = false;
    bool grayedInactive_ = false;
    TButtonLayout layout_ = gui::blGlyphTop;
    int margin_ = -1;
    bool markDropDown_ = true;
    int spacing_ = 1;
    TButtonStyle style_ = gui::bsAutoDetect;
    bool transparent_ = false;
    bool wordWrap_ = false;
    TZbButtonState state_ = zbsUp;
    bool dragging_ = false;
    bool mouseInControl_ = false;
    bool mouseOver_ = false;
    bool menuTracking_ = false;
    gui::TTimer* timer_ = nullptr;
};

// The auto-repeating button of the calendars.
class TZbTimerSpeedButton : public TZbSpeedButton {
public:
    explicit TZbTimerSpeedButton(TComponent* AOwner);
};

// The checkerboard of down buttons, shared while buttons exist.
TBitmap* SpeedButtonPattern();

}  // namespace zb
