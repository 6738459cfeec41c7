// The horizontal ruler above a rich-text editor: the text width with a scale
// in centimetres or inches, the current paragraph's three indents as drag
// handles and its tab stops. Dragging a handle or clicking for a tab stop
// changes the paragraph through the attached editor.
#pragma once

#include <functional>

#include "platform/gui/std_controls.h"
#include "richtext/controls/tool_bar.h"
#include "richtext/model/jd_txt_def.h"

namespace richtext {

struct TTextHeader;

constexpr TJdSelNr jdSelRuler = 9;
constexpr int jdgRuler = 0x700;
// Ruler elements (the numbers sent with group jdgRuler).
constexpr int jdrNone = 0, jdrRightIndent = 1, jdrLeftIndent = 2, jdrFirstIndent = 3;
// "Unchanged" for SetIndents.
constexpr int jdrUnchanged = -9999;

enum TJDRulerUnits { Centimeter, Inch };

using TJDRulerSelectEvent = std::function<void(gui::TObject* Sender, TJdSelNr& Typ, int& group, int& num, int changing)>;

// What an editor that follows the ruler implements (the rich-text component
// does): `changing` is 1 while a drag runs and 0 when it ends.
class TJDRulerClient {
public:
    virtual ~TJDRulerClient() = default;
    virtual void RulerChanged(TJdSelNr& kind, int changing, int group, int num) = 0;
};

class TJDRuler : public gui::TPanel {
public:
    explicit TJDRuler(gui::TComponent* AOwner);
    ~TJDRuler() override;

    TJDRulerUnits Units() const { return units_; }
    void SetUnits(TJDRulerUnits u);
    int XOffset() const { return xOffset_; }
    void SetXOffset(int x);
    bool ShowNumbers() const { return showNumbers_; }
    void SetShowNumbers(bool v);
    TTabKind NewTabKind = TTabKind::tkAll;
    TJDRulerSelectEvent OnSelection;
    TJDRulerSelectEvent WhileSelection;

    // --- attachment (the editor does this as the caret moves) ------------------------
    TJDCustomRtfEdit* Editor() const { return editor_; }
    void SetEditor(TJDCustomRtfEdit* editor);
    TTextHeader* Header() const { return header_; }
    // Repaints; also writes the header's metric flag from Units.
    void SetHeader(TTextHeader* header);
    // Ruler x of the text's left edge before scrolling.
    int PageLeft() const { return pageLeft_; }
    void SetPageLeft(int x);
    // Twips, each jdrUnchanged to keep it; a negative value is ignored and a
    // value that puts its handle off the text width is put back.
    void SetIndents(int left, int first, int right);
    int LeftIndent() const { return left_; }
    int FirstIndent() const { return first_; }
    int RightIndent() const { return right_; }
    // Forget the tab stops painted last (the paragraph changed).
    void TabsChanged() { Invalidate(); }

    // --- geometry ----------------------------------------------------------------
    int Resolution() const;
    int PixelsToTwips(int px) const;
    int TwipsToPixels(int twips) const;
    // Position in the text in twips of a ruler x (may lie outside the text).
    int XToPage(int x) const;
    int PageToX(int twips) const;
    // Width of the text area in twips.
    int PageWidthTwips() const;
    gui::TRect HandleRect(int element) const;
    int Dragging() const { return dragging_; }
    // Scale step in pixels.
    int ScaleStep() const;

protected:
    void Paint() override;
    void MouseDown(gui::TMouseButton Button, gui::TShiftState Shift, int X, int Y) override;
    void MouseMove(gui::TShiftState Shift, int X, int Y) override;
    void MouseUp(gui::TMouseButton Button, gui::TShiftState Shift, int X, int Y) override;
    void Notification(gui::TComponent* AComponent, gui::TOperation Operation) override;

private:
    static constexpr int kHandle = 4;
    void Report(bool ending);
    bool TabClick(int x);
    void DrawHandles(gui::TCanvas& c);
    void DrawTabs(gui::TCanvas& c);
    void DrawScale(gui::TCanvas& c);

    TJDCustomRtfEdit* editor_ = nullptr;
    TTextHeader* header_ = nullptr;
    TJDRulerUnits units_ = Centimeter;
    int xOffset_ = 0;
    bool showNumbers_ = true;
    int pageLeft_ = 0;
    int left_ = 0, first_ = 0, right_ = 0;
    int dragging_ = jdrNone;
    bool carryFirst_ = false;
    bool overHandle_ = false;
    gui::TCursor keptCursor_ = gui::crDefault;
};

}  // namespace richtext
