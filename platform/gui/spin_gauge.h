// The spin edit (a number with up and down buttons), the spin button alone,
// and the gauge (progress shown as a bar, a pie, a needle or text).
#pragma once

#include "platform/gui/edits.h"

namespace gui {

class TSpinButton : public TCustomControl {
public:
    explicit TSpinButton(TComponent* AOwner);
    TNotifyEvent OnUpClick;
    TNotifyEvent OnDownClick;

protected:
    void Paint() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
    int pressed_ = 0;  // 1 up, -1 down
};

class TSpinEdit : public TCustomEdit {
public:
    explicit TSpinEdit(TComponent* AOwner);
    // The number shown; text that is not a number reads as MinValue.
    int Value() const;
    // Kept within MinValue..MaxValue when they differ.
    void SetValue(int v);
    int MinValue = 0;
    int MaxValue = 0;  // both 0: no limits
    int Increment = 1;
    // Typing allowed (the buttons and arrows work either way).
    bool EditorEnabled = true;
    TRect ButtonRect() const;

protected:
    TRect TextArea() const override;
    void KeyDown(unsigned& Key, TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void DoExit() override;
    void Paint() override;

private:
    int CheckValue(int v) const;
    void Step(int direction);
};

enum TGaugeKind { gkText, gkHorizontalBar, gkVerticalBar, gkPie, gkNeedle };

class TGauge : public TGraphicControl {
public:
    explicit TGauge(TComponent* AOwner);
    TGaugeKind Kind = gkHorizontalBar;
    int MinValue() const { return min_; }
    int MaxValue() const { return max_; }
    void SetMinValue(int v);
    void SetMaxValue(int v);
    int Progress() const { return progress_; }
    // Kept within MinValue..MaxValue.
    void SetProgress(int p);
    void AddProgress(int delta) { SetProgress(progress_ + delta); }
    // 0..100, rounded down.
    int PercentDone() const;
    TColor ForeColor = clBlack;
    TColor BackColor = clWhite;
    bool ShowText = true;
    TBorderStyle BorderStyle = bsSingle;

protected:
    void Paint() override;

private:
    int min_ = 0, max_ = 100, progress_ = 0;
};

}  // namespace gui
