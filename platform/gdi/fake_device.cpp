#include "platform/gdi/fake_device.h"

#include <algorithm>
#include <cstdio>

namespace plat {

std::string RectText(const TRect& r) {
    return "[" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + "]";
}

void TFakeDevice::SelectFont(const TFontSpec& font) { font_ = font; }

int TFakeDevice::FontHeight() const {
    int h = (font_.pointSize * fontPpi_ + 36) / 72;
    return std::max(h, 1);
}

int TFakeDevice::CharWidth() const { return std::max(FontHeight() / 2, 1) + (font_.bold ? 1 : 0); }

bool TFakeDevice::GetTextMetrics(TTextMetric& tm) {
    if (failMetrics) return false;
    tm.height = FontHeight();
    tm.ascent = tm.height - tm.height / 5;
    tm.descent = tm.height - tm.ascent;
    tm.externalLeading = 0;
    return true;
}

void TFakeDevice::GetCharWidths(std::array<std::int32_t, 256>& widths) { widths.fill(CharWidth()); }

TSize TFakeDevice::TextExtent(std::string_view text) {
    return {static_cast<int>(text.size()) * CharWidth(), FontHeight()};
}

void TFakeDevice::SetPen(COLORREF c, int width, TPenStyle style) {
    penColor_ = c;
    penWidth_ = width;
    penStyle_ = style;
}

void TFakeDevice::SetClipRect(const TRect* r) {
    clipped_ = r != nullptr;
    if (r) clip_ = *r;
}

// --- recording -------------------------------------------------------------

namespace {
std::string Hex(COLORREF c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%06X", static_cast<unsigned>(c & 0xFFFFFF));
    return buf;
}
}  // namespace

void TRecordingDevice::Add(std::string line) {
    if (!filter.empty()) {
        bool keep = false;
        for (const auto& f : filter)
            if (line.compare(0, f.size(), f) == 0) keep = true;
        if (!keep) return;
    }
    log.push_back(std::move(line));
}

std::vector<std::string> TRecordingDevice::Calls(const std::string& word) const {
    std::vector<std::string> out;
    for (const auto& l : log)
        if (l.compare(0, word.size(), word) == 0 && (l.size() == word.size() || l[word.size()] == ' '))
            out.push_back(l);
    return out;
}

void TRecordingDevice::SelectFont(const TFontSpec& font) {
    TFakeDevice::SelectFont(font);
    std::string s = "font " + font.name + " " + std::to_string(font.pointSize);
    if (font.bold) s += " bold";
    if (font.italic) s += " italic";
    if (font.strikeOut) s += " strike";
    Add(std::move(s));
}

void TRecordingDevice::SetTextColor(COLORREF c) {
    TFakeDevice::SetTextColor(c);
    Add("textcolor " + Hex(c));
}

void TRecordingDevice::SetBkColor(COLORREF c) {
    TFakeDevice::SetBkColor(c);
    Add("bkcolor " + Hex(c));
}

void TRecordingDevice::SetPen(COLORREF c, int width, TPenStyle style) {
    TFakeDevice::SetPen(c, width, style);
    Add("pen " + Hex(c) + " " + std::to_string(width) +
        (style == TPenStyle::Solid ? " solid" : style == TPenStyle::Dot ? " dot" : " dash"));
}

void TRecordingDevice::SetClipRect(const TRect* r) {
    TFakeDevice::SetClipRect(r);
    Add(r ? "clip " + RectText(*r) : std::string("clip none"));
}

void TRecordingDevice::ExtTextOut(int x, int y, const TRect* rect, bool opaque, bool clip, std::string_view text,
                                  const int* dx) {
    std::string s = "text " + std::to_string(x) + "," + std::to_string(y) + " '" + std::string(text) + "'";
    if (dx) {
        s += " dx=";
        for (std::size_t i = 0; i < text.size(); ++i) s += (i ? "," : "") + std::to_string(dx[i]);
    }
    if (opaque) s += " opaque " + Hex(bkColor_);
    if (clip) s += " clip";
    if (rect) s += " " + RectText(*rect);
    Add(std::move(s));
}

void TRecordingDevice::FillRect(const TRect& r, COLORREF c) { Add("fill " + RectText(r) + " " + Hex(c)); }

void TRecordingDevice::Line(int x1, int y1, int x2, int y2) {
    Add("line " + std::to_string(x1) + "," + std::to_string(y1) + " " + std::to_string(x2) + "," +
        std::to_string(y2));
}

void TRecordingDevice::FrameRect(const TRect& r) { Add("frame " + RectText(r)); }

void TRecordingDevice::ScrollDC(int dx, int dy, const TRect& area) {
    Add("scroll " + std::to_string(dx) + "," + std::to_string(dy) + " " + RectText(area));
}

void TRecordingDevice::StretchPicture(const TRect& dst, const TGraphic* picture) {
    Add(std::string("picture ") + RectText(dst) + (picture ? "" : " none"));
}

}  // namespace plat
