// The status line of a rich-text editor: framed items declared as lines of
// text ("@$%120stFileName=untitled"), each of a kind the editor knows how to
// fill, plus an optional progress gauge at the right edge.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "platform/core/string_list.h"
#include "platform/gui/controls.h"

namespace richtext {

enum TJDStatusKind : unsigned char {
    stGauge, stHelp, stIndex, stOutline, stStatus, stInsert, stCaps, stNum, stXPos, stYPos, stDate, stTime,
    stPage, stLine, stChanged, stFont, stStyle, stUnit, stTxtFmt, stName, stFileName, stPathName, stString
};
// The kind names as declarations spell them (stString has none).
const char* JDStatusKindName(TJDStatusKind kind);

// Item flags.
constexpr unsigned char jdsNoFrame = 1, jdsShifted = 2, jdsGrey = 4, jdsColorText = 8, jdsColorBack = 0x10;

struct TJDStatusItem {
    std::string text;
    int line = 0;  // the declaring line, -1 for the automatic gauge
    TJDStatusKind kind = stString;
    int declaredWidth = 0;
    int left = 0, width = 0;
    unsigned char flags = 0;
    gui::TColor color = gui::clBlack;
};

enum TJDStatusAlign { saLeft, saCenter, saRight };

// What a linked editor does when the items were rebuilt.
class TJDStatusClient {
public:
    virtual ~TJDStatusClient() = default;
    virtual void UpdateStatusBar() = 0;
};

using TJDStatusItemClick = std::function<void(gui::TObject* Sender, int left, int width, int line, TJDStatusKind kind)>;

class TJDStatusBarBasic : public gui::TCustomControl {
public:
    explicit TJDStatusBarBasic(gui::TComponent* AOwner);
    ~TJDStatusBarBasic() override;

    // 23 declared items and the automatic gauge.
    static constexpr int kMaxDeclared = 23;
    static constexpr int kSlots = 24;

    // Changing the declarations rebuilds the items.
    plat::StringList& Items() { return declarations_; }
    int ItemCount() const { return count_; }
    const TJDStatusItem& Item(int index) const { return items_.at(index); }

    bool AutoGauge() const { return autoGauge_; }
    void SetAutoGauge(bool on, int width);
    int GaugeValue() const { return gaugeValue_; }
    void SetGaugeValue(int percent);
    bool SizeGrip() const { return sizeGrip_; }
    void SetSizeGrip(bool v);
    void SetItemColor(int index, gui::TColor c);
    TJDStatusClient* Editor = nullptr;
    gui::TNotifyEvent OnChange;
    TJDStatusItemClick OnItemClick;

    // First item of the kind: a non-empty text replaces its text; the item
    // is repainted when found and the bar is visible.
    void SetItemText(TJDStatusKind kind, const std::string& text);
    // The item of a point, -1 when none.
    int ItemAt(int x) const;
    // How often an item was painted (each item paint counts one).
    int PaintCount() const { return paintCount_; }

    // --- own virtual operations ------------------------------------------------------
    virtual void SetAlignment(TJDStatusAlign a);
    virtual void PaintGauge(gui::TCanvas& cv, const TJDStatusItem& item);
    virtual void PaintSizeGrip(gui::TCanvas& cv);
    virtual void PaintItem(gui::TCanvas& cv, int index);
    virtual void PaintItems(gui::TCanvas& cv);
    virtual void AdjustHeight();
    virtual void LayoutItems();

    void Loaded() override;
    TJDStatusAlign Alignment() const { return alignment_; }

protected:
    void Paint() override;
    void Resize() override;
    void FontChanged() override;
    void MouseDown(gui::TMouseButton Button, gui::TShiftState Shift, int X, int Y) override;

private:
    void Rebuild();
    int TextWidthOf(const std::string& s);

    plat::StringList declarations_;
    std::array<TJDStatusItem, kSlots> items_{};
    int count_ = 0;
    bool autoGauge_ = false;
    int gaugeWidth_ = 100;
    int gaugeValue_ = 0;
    TJDStatusAlign alignment_ = saLeft;
    bool sizeGrip_ = false;
    int paintCount_ = 0;
};

}  // namespace richtext
