#include "richtext/controls/status_bar.h"

#include <algorithm>
#include <cctype>

#include "platform/gui/graphics.h"

namespace richtext {

namespace {
constexpr const char* kKindNames[] = {"stGauge", "stHelp",  "stIndex", "stOutline", "stStatus",  "stInsert",
                                      "stCaps",  "stNum",   "stXPos",  "stYPos",    "stDate",    "stTime",
                                      "stPage",  "stLine",  "stChanged", "stFont",  "stStyle",   "stUnit",
                                      "stTxtFmt", "stName", "stFileName", "stPathName"};

bool SameText(const std::string& a, const char* b) {
    std::string l = a, r = b;
    for (char& c : l) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (char& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return l == r;
}
}  // namespace

const char* JDStatusKindName(TJDStatusKind kind) { return kind < stString ? kKindNames[kind] : "stString"; }

TJDStatusBarBasic::TJDStatusBarBasic(gui::TComponent* AOwner) : gui::TCustomControl(AOwner) {
    SetBounds(Left(), Top(), 300, 22);
    declarations_.OnChange = [this](plat::StringList&) { Rebuild(); };
}

TJDStatusBarBasic::~TJDStatusBarBasic() { declarations_.OnChange = nullptr; }

int TJDStatusBarBasic::TextWidthOf(const std::string& s) {
    gui::TCanvas& cv = Canvas();
    cv.Font().Assign(Font());
    return cv.TextWidth(s);
}

void TJDStatusBarBasic::Rebuild() {
    if (IsLoading() || Destroying()) return;
    count_ = 0;
    for (int i = 0; i < declarations_.Count() && count_ < kMaxDeclared; ++i) {
        const std::string& line = declarations_[i];
        if (line.empty()) continue;
        TJDStatusItem item;
        item.line = i;
        size_t p = 0;
        if (p < line.size() && line[p] == '@') item.flags |= jdsNoFrame, ++p;
        if (p < line.size() && line[p] == '$') item.flags |= jdsShifted, ++p;
        if (p < line.size() && line[p] == '%') item.flags |= jdsGrey, ++p;
        while (p < line.size() && std::isdigit(static_cast<unsigned char>(line[p])))
            item.declaredWidth = std::min(100000, item.declaredWidth * 10 + (line[p++] - '0'));
        size_t eq = line.find('=', p);
        std::string name = line.substr(p, eq == std::string::npos ? std::string::npos : eq - p);
        item.kind = stString;
        for (int k = 0; k < stString; ++k)
            if (SameText(name, kKindNames[k])) item.kind = static_cast<TJDStatusKind>(k);
        // Without "=" the item shows its kind's name (the line less its marks).
        item.text = eq == std::string::npos ? name : line.substr(eq + 1);
        item.width = item.declaredWidth ? item.declaredWidth : TextWidthOf(item.text);
        if (item.width < 10) item.width = 30;
        items_[count_++] = item;
    }
    if (autoGauge_) {
        TJDStatusItem g;
        g.text = "Gauge";
        g.line = -1;
        g.kind = stGauge;
        g.declaredWidth = g.width = gaugeWidth_ < 10 ? 30 : gaugeWidth_;
        items_[count_++] = g;
    }
    if (count_ > 0) {
        if (OnChange) OnChange(this);
        if (Editor) Editor->UpdateStatusBar();
    }
    LayoutItems();
    Invalidate();
}

void TJDStatusBarBasic::LayoutItems() {
    if (count_ == 0) return;
    int client = ClientWidth();
    long sum = 0;
    for (int i = 0; i < count_; ++i) sum += items_[i].width;
    int avail = client - 4 - 2 * (count_ - 1);
    if (sum >= client - 4) {
        // Too wide: every item shrinks in proportion; the last takes the rest.
        int x = 2;
        for (int i = 0; i < count_; ++i) {
            TJDStatusItem& it = items_[i];
            it.left = x;
            it.width = i == count_ - 1 ? std::max(0, client - 2 - x)
                                       : static_cast<int>(std::max<long>(0, it.width * (long)std::max(0, avail) / sum));
            x += it.width + 2;
        }
        return;
    }
    int x = 2;
    for (int i = 0; i < count_; ++i) {
        items_[i].left = x;
        x += items_[i].width + 2;
    }
    bool gaugeLast = items_[count_ - 1].line == -1;
    if (gaugeLast) {
        TJDStatusItem& g = items_[count_ - 1];
        g.left = client - 2 - g.width;
        if (count_ > 1) {
            TJDStatusItem& before = items_[count_ - 2];
            before.width = std::max(before.width, g.left - 2 - before.left);
        }
    } else {
        TJDStatusItem& last = items_[count_ - 1];
        last.width = client - 2 - last.left;
    }
}

void TJDStatusBarBasic::SetAutoGauge(bool on, int width) {
    autoGauge_ = on;
    gaugeWidth_ = width;
    Rebuild();
}

void TJDStatusBarBasic::SetGaugeValue(int percent) {
    gaugeValue_ = std::clamp(percent, 0, 100);
    Invalidate();
}

void TJDStatusBarBasic::SetSizeGrip(bool v) {
    sizeGrip_ = v;
    Invalidate();
}

void TJDStatusBarBasic::SetItemColor(int index, gui::TColor c) {
    if (index >= 0 && index < count_) items_[index].color = c;
    Invalidate();
}

void TJDStatusBarBasic::SetItemText(TJDStatusKind kind, const std::string& text) {
    for (int i = 0; i < count_; ++i) {
        if (items_[i].kind != kind) continue;
        if (!text.empty()) items_[i].text = text;
        if (Visible() && HandleAllocated()) PaintItem(Canvas(), i);
        return;
    }
}

int TJDStatusBarBasic::ItemAt(int x) const {
    for (int i = 0; i < count_; ++i)
        if (x >= items_[i].left && x < items_[i].left + items_[i].width) return i;
    return -1;
}

void TJDStatusBarBasic::SetAlignment(TJDStatusAlign a) {
    alignment_ = a;
    Invalidate();
}

void TJDStatusBarBasic::PaintGauge(gui::TCanvas& cv, const TJDStatusItem& item) {
    gui::TRect r{item.left, 2, item.left + item.width, ClientHeight() - 2};
    gui::Frame3D(cv, r, gui::clBtnShadow, gui::clBtnHighlight, 1);
    cv.Brush().SetColor(gui::clBtnFace);
    cv.FillRect(r);
    int filled = r.Width() * gaugeValue_ / 100;
    cv.Brush().SetColor(gui::clNavy);
    // Blocks with a gap every 4 pixels.
    for (int x = r.Left; x < r.Left + filled; x += 4)
        cv.FillRect({x, r.Top + 1, std::min(x + 3, r.Left + filled), r.Bottom - 1});
}

void TJDStatusBarBasic::PaintSizeGrip(gui::TCanvas& cv) {
    int right = ClientWidth(), bottom = ClientHeight();
    for (int i = 0; i < 15; i += 4) {
        cv.Pen().SetColor(gui::clBtnHighlight);
        cv.MoveTo(right - 15 + i, bottom);
        cv.LineTo(right, bottom - 15 + i);
        cv.Pen().SetColor(gui::clBtnShadow);
        cv.MoveTo(right - 14 + i, bottom);
        cv.LineTo(right, bottom - 14 + i);
    }
}

void TJDStatusBarBasic::PaintItem(gui::TCanvas& cv, int index) {
    if (index < 0 || index >= count_) return;
    ++paintCount_;
    const TJDStatusItem& it = items_[index];
    if (it.kind == stGauge) {
        PaintGauge(cv, it);
        return;
    }
    gui::TRect r{it.left, 2, it.left + it.width, ClientHeight() - 2};
    if (!(it.flags & jdsNoFrame)) gui::Frame3D(cv, r, gui::clBtnShadow, gui::clBtnHighlight, 1);
    cv.Brush().SetColor((it.flags & jdsColorBack) ? it.color : gui::clBtnFace);
    cv.FillRect(r);
    cv.Font().Assign(Font());
    cv.Font().SetColor((it.flags & jdsGrey) ? gui::clBtnShadow : (it.flags & jdsColorText) ? it.color : gui::clBlack);
    int th = cv.TextHeight("Xy");
    int y = alignment_ == saLeft ? 3 : alignment_ == saRight ? ClientHeight() - th - 2 : (ClientHeight() - th) / 2;
    y = std::max(3, y);
    int x = r.Left + 2 + ((it.flags & jdsShifted) ? 1 : 0);
    cv.Brush().SetStyle(gui::bsClear);
    cv.TextRect(r, x, y, it.text);
    cv.Brush().SetStyle(gui::bsSolid);
}

void TJDStatusBarBasic::PaintItems(gui::TCanvas& cv) {
    for (int i = 0; i < count_; ++i) PaintItem(cv, i);
}

void TJDStatusBarBasic::AdjustHeight() {
    gui::TCanvas& cv = Canvas();
    cv.Font().Assign(Font());
    int need = cv.TextHeight("Xy") + 4;
    if (need > Height()) SetHeight(need);
}

void TJDStatusBarBasic::Paint() {
    gui::TCanvas& cv = Canvas();
    cv.Brush().SetColor(gui::clBtnFace);
    cv.FillRect(ClientRect());
    if (Visible()) PaintItems(cv);
    if (sizeGrip_) PaintSizeGrip(cv);
}

void TJDStatusBarBasic::Resize() {
    gui::TCustomControl::Resize();
    // The widths come from the declarations again, then fit the new width.
    Rebuild();
}

void TJDStatusBarBasic::FontChanged() {
    gui::TCustomControl::FontChanged();
    AdjustHeight();
    Rebuild();
}

void TJDStatusBarBasic::Loaded() {
    gui::TCustomControl::Loaded();
    Rebuild();
}

void TJDStatusBarBasic::MouseDown(gui::TMouseButton Button, gui::TShiftState Shift, int X, int Y) {
    gui::TCustomControl::MouseDown(Button, Shift, X, Y);
    int i = ItemAt(X);
    if (i >= 0 && OnItemClick) OnItemClick(this, items_[i].left, items_[i].width, items_[i].line, items_[i].kind);
}

}  // namespace richtext
