#include "platform/gui/edits.h"

#include "platform/core/codepage.h"
#include "platform/gui/clipboard.h"
#include "platform/gui/controls_support.h"

#include <algorithm>
#include <cstring>

namespace gui {

namespace {

constexpr int kInset = 3;

bool IsWordChar(unsigned char c) { return plat::IsCharAlphaNumeric(c) || c == '_'; }

}  // namespace

TCustomEdit::TCustomEdit(TComponent* AOwner) : TCustomControl(AOwner) {
    InstallControlsSupport();
    SetBounds(0, 0, 121, 21);
    SetColor(clWindow);
    SetTabStop(true);
    SetCursor(crIBeam);
    ControlStyle |= csSetCaption | csDoubleClicks;
}

// --- lines ----------------------------------------------------------------------------

TCanvas& TCustomEdit::MeasureCanvas() const {
    if (!measure_) measure_ = std::make_unique<TCanvas>();
    measure_->Font().Assign(const_cast<TCustomEdit*>(this)->Font());
    return *measure_;
}

bool TCustomEdit::RowCacheCurrent() const {
    const RowCache& rc = rowCache_;
    return rc.valid && rc.multiLine == multiLine_ && rc.wrap == wordWrap_ && rc.password == passwordChar_ &&
           rc.textSize == text_.size() && rc.width == TextArea().Width() &&
           rc.font == const_cast<TCustomEdit*>(this)->Font();
}

// avail <= 0: no wrapping.
int TCustomEdit::NextRowEnd(TCanvas& c, const std::string& shown, int rs, int lineEnd, int avail) const {
    auto width = [&](int end) { return c.TextWidth(shown.substr(rs, end - rs)); };
    if (avail <= 0 || rs >= lineEnd || width(lineEnd) <= avail) return lineEnd;
    // The longest start of the rest that fits (one character at least):
    // widths grow with the text, so a binary search finds it.
    int fits = rs + 1;
    if (width(fits) <= avail) {
        int hi = lineEnd;  // known not to fit
        while (hi - fits > 1) {
            int mid = fits + (hi - fits) / 2;
            if (width(mid) <= avail) fits = mid;
            else hi = mid;
        }
    }
    // Break after the last blank that fits; a word wider than the whole row
    // is broken where it stops fitting.
    for (int i = fits; i > rs; --i)
        if (shown[i - 1] == ' ') return i;
    return fits;
}

void TCustomEdit::WrapAll() const {
    RowCache& rc = rowCache_;
    rc.rows.clear();
    rc.multiLine = multiLine_;
    rc.password = passwordChar_;
    rc.textSize = text_.size();
    rc.width = TextArea().Width();
    rc.font.PixelsPerInch = const_cast<TCustomEdit*>(this)->Font().PixelsPerInch;
    rc.font.Assign(const_cast<TCustomEdit*>(this)->Font());
    rc.wrap = wordWrap_;
    rc.widths.clear();
    rc.valid = true;
    int n = static_cast<int>(text_.size());
    if (!multiLine_) {
        rc.rows.push_back({0, n});
        rc.widths.assign(1, -1);
        return;
    }
    const int avail = wordWrap_ ? rc.width : 0;
    TCanvas& c = MeasureCanvas();
    const std::string& shown = DisplayText();
    for (int s = 0;;) {
        std::size_t nl = text_.find('\n', static_cast<std::size_t>(s));
        int lineEnd = nl == std::string::npos ? n : static_cast<int>(nl > 0 && text_[nl - 1] == '\r' ? nl - 1 : nl);
        for (int rs = s;;) {
            int re = NextRowEnd(c, shown, rs, lineEnd, avail);
            rc.rows.push_back({rs, re});
            if (re >= lineEnd) break;
            rs = re;
        }
        if (nl == std::string::npos) break;
        s = static_cast<int>(nl) + 1;
    }
    rc.widths.assign(rc.rows.size(), -1);
}

const std::vector<std::pair<int, int>>& TCustomEdit::Rows() const {
    if (!RowCacheCurrent()) WrapAll();
    return rowCache_.rows;
}

int TCustomEdit::RowWidth(int row) const {
    const auto& rows = Rows();
    if (row < 0 || row >= static_cast<int>(rows.size())) return 0;
    int& w = rowCache_.widths[static_cast<std::size_t>(row)];
    if (w < 0) w = MeasureCanvas().TextWidth(DisplayText().substr(rows[row].first, rows[row].second - rows[row].first));
    return w;
}

void TCustomEdit::TextChanged(int start, int oldLen, int newLen) {
    RowCache& rc = rowCache_;
    const int delta = newLen - oldLen;
    // Anything but an edit of rows that are current wraps everything anew, when next asked.
    bool current = start >= 0 && multiLine_ && rc.valid && rc.textSize + delta == text_.size();
    if (current) {
        rc.textSize = text_.size();
        current = RowCacheCurrent();
    }
    rc.changedFrom = -1;
    if (!current) {
        rc.valid = false;
        return;
    }
    std::vector<std::pair<int, int>>& rows = rc.rows;
    // The paragraph the edit starts in: its rows before the edit are as they were.
    auto firstAfter = std::upper_bound(rows.begin(), rows.end(), start,
                                       [](int pos, const std::pair<int, int>& r) { return pos < r.first; });
    std::size_t from = static_cast<std::size_t>(std::max<std::ptrdiff_t>(0, firstAfter - rows.begin() - 1));
    while (from > 0 && text_[static_cast<std::size_t>(rows[from].first) - 1] != '\n') --from;
    // Wrap from there until a row starts where an old row started (shifted
    // past the edit): from that row on nothing differs.
    const int n = static_cast<int>(text_.size());
    const int avail = wordWrap_ ? rc.width : 0;
    TCanvas& c = MeasureCanvas();
    const std::string& shown = DisplayText();
    std::vector<std::pair<int, int>> fresh;
    std::size_t to = rows.size();
    auto meets = [&](int rowStart) {
        if (rowStart < start + newLen || rowStart >= n) return false;
        auto it = std::lower_bound(rows.begin() + static_cast<std::ptrdiff_t>(from), rows.end(), rowStart - delta,
                                   [](const std::pair<int, int>& r, int pos) { return r.first < pos; });
        if (it == rows.end() || it->first != rowStart - delta) return false;
        to = static_cast<std::size_t>(it - rows.begin());
        return true;
    };
    bool met = false;
    for (int s = rows[from].first; !met;) {
        std::size_t nl = text_.find('\n', static_cast<std::size_t>(s));
        int lineEnd = nl == std::string::npos ? n : static_cast<int>(nl > 0 && text_[nl - 1] == '\r' ? nl - 1 : nl);
        for (int rs = s;;) {
            int re = NextRowEnd(c, shown, rs, lineEnd, avail);
            fresh.push_back({rs, re});
            if (re >= lineEnd) break;
            rs = re;
            if ((met = meets(rs))) break;
        }
        if (met || nl == std::string::npos) break;
        s = static_cast<int>(nl) + 1;
        met = meets(s);
    }
    for (std::size_t i = to; i < rows.size(); ++i) rows[i].first += delta, rows[i].second += delta;
    const auto f = static_cast<std::ptrdiff_t>(from), t = static_cast<std::ptrdiff_t>(to);
    rows.erase(rows.begin() + f, rows.begin() + t);
    rows.insert(rows.begin() + f, fresh.begin(), fresh.end());
    rc.widths.erase(rc.widths.begin() + f, rc.widths.begin() + t);
    rc.widths.insert(rc.widths.begin() + f, fresh.size(), -1);
    rc.changedFrom = static_cast<int>(from);
    rc.changedTo = fresh.size() == to - from ? static_cast<int>(from + fresh.size()) - 1 : -1;
}

int TCustomEdit::LineCount() const { return static_cast<int>(Rows().size()); }

int TCustomEdit::LineStart(int line) const {
    const auto& rows = Rows();
    if (line <= 0) return 0;
    return line < static_cast<int>(rows.size()) ? rows[line].first : static_cast<int>(text_.size());
}

int TCustomEdit::LineEnd(int line) const {
    const auto& rows = Rows();
    line = std::clamp(line, 0, static_cast<int>(rows.size()) - 1);
    return rows[line].second;
}

int TCustomEdit::LineOf(int pos) const {
    const auto& rows = Rows();
    pos = std::clamp(pos, 0, static_cast<int>(text_.size()));
    // The last row starting at or before pos.
    auto it = std::upper_bound(rows.begin(), rows.end(), pos,
                               [](int p, const std::pair<int, int>& r) { return p < r.first; });
    return std::max(0, static_cast<int>(it - rows.begin()) - 1);
}

// --- text and selection -------------------------------------------------------------------

void TCustomEdit::SetText(const std::string& s) {
    std::string t = s;
    if (charCase_ == ecUpperCase) t = plat::AnsiUpperCase(t);
    if (charCase_ == ecLowerCase) t = plat::AnsiLowerCase(t);
    if (t == text_) return;
    text_ = t;
    TextChanged(-1, 0, 0);
    anchor_ = caret_ = 0;
    topLine_ = scrollX_ = 0;
    undoValid_ = false;
    Invalidate();
    UpdateCaret();
    Change();
}

int TCustomEdit::SelStart() const { return std::min(anchor_, caret_); }
int TCustomEdit::SelLength() const { return std::abs(caret_ - anchor_); }
std::string TCustomEdit::SelText() const { return text_.substr(SelStart(), SelLength()); }

void TCustomEdit::SetSelection(int anchor, int caret) {
    int n = static_cast<int>(text_.size());
    const int oldLow = std::min(anchor_, caret_), oldHigh = std::max(anchor_, caret_);
    const int oldTop = topLine_, oldScrollX = scrollX_;
    anchor_ = std::clamp(anchor, 0, n);
    caret_ = std::clamp(caret, 0, n);
    ScrollCaretIntoView();
    // Only the rows whose selection changed are painted again, unless the text scrolled.
    if (multiLine_ && topLine_ == oldTop && scrollX_ == oldScrollX)
        InvalidateRows(LineOf(std::min({oldLow, anchor_, caret_})), LineOf(std::max({oldHigh, anchor_, caret_})));
    else
        Invalidate();
    UpdateCaret();
}

void TCustomEdit::InvalidateRows(int first, int last) {
    if (!multiLine_ || !HandleAllocated()) {
        Invalidate();
        return;
    }
    TRect area = TextArea();
    int lh = LineHeight();
    int top = std::max(0, area.Top + (first - topLine_) * lh);
    int bottom = last < 0 ? Height() : std::min(Height(), area.Top + (last - topLine_ + 1) * lh);
    if (bottom > top) InvalidateRect(Rect(0, top, Width(), bottom));
}

void TCustomEdit::SetSelStart(int pos) { SetSelection(pos, pos); }
void TCustomEdit::SetSelLength(int len) { SetSelection(SelStart(), SelStart() + std::max(0, len)); }

void TCustomEdit::SelectAll() { SetSelection(0, static_cast<int>(text_.size())); }

void TCustomEdit::RawReplace(int start, int len, const std::string& s) {
    int n = static_cast<int>(text_.size());
    start = std::clamp(start, 0, n);
    len = std::clamp(len, 0, n - start);
    text_.replace(start, len, s);
    TextChanged(start, len, static_cast<int>(s.size()));
    anchor_ = caret_ = start + static_cast<int>(s.size());
    const int oldTop = topLine_, oldScrollX = scrollX_;
    ScrollCaretIntoView();
    // The rows the edit wrapped again, and all below them when their number changed.
    const RowCache& rc = rowCache_;
    if (multiLine_ && rc.valid && rc.changedFrom >= 0 && topLine_ == oldTop && scrollX_ == oldScrollX)
        InvalidateRows(rc.changedFrom, rc.changedTo);
    else
        Invalidate();
    UpdateCaret();
}

void TCustomEdit::SaveUndo() {
    undoText_ = text_;
    undoCaret_ = caret_;
    undoValid_ = true;
}

bool TCustomEdit::UserReplaceSelection(const std::string& s) {
    if (readOnly_) {
        MessageBeep(0);
        return false;
    }
    std::string t = s;
    if (!multiLine_) t = t.substr(0, std::min(t.find('\r'), t.find('\n')));
    if (charCase_ == ecUpperCase) t = plat::AnsiUpperCase(t);
    if (charCase_ == ecLowerCase) t = plat::AnsiLowerCase(t);
    if (maxLength_ > 0) {
        int room = maxLength_ - (static_cast<int>(text_.size()) - SelLength());
        if (room <= 0 && !t.empty()) {
            MessageBeep(0);
            return false;
        }
        if (static_cast<int>(t.size()) > room) t.resize(std::max(0, room));
    }
    if (t.empty() && SelLength() == 0) return false;
    SaveUndo();
    RawReplace(SelStart(), SelLength(), t);
    modified_ = true;
    Change();
    return true;
}

void TCustomEdit::SetSelText(const std::string& s) {
    std::string t = s;
    if (maxLength_ > 0) {
        int room = maxLength_ - (static_cast<int>(text_.size()) - SelLength());
        t.resize(std::clamp(static_cast<int>(t.size()), 0, std::max(0, room)));
    }
    SaveUndo();
    RawReplace(SelStart(), SelLength(), t);
    Change();
}

void TCustomEdit::ClearSelection() {
    if (SelLength() > 0) UserReplaceSelection("");
}

void TCustomEdit::Clear() { SetText(""); }

void TCustomEdit::CopyToClipboard() {
    // A password is never copied out.
    if (passwordChar_ || SelLength() == 0) return;
    Clipboard()->SetAsText(SelText());
}

void TCustomEdit::CutToClipboard() {
    if (passwordChar_ || SelLength() == 0 || readOnly_) return;
    CopyToClipboard();
    ClearSelection();
}

void TCustomEdit::PasteFromClipboard() {
    if (!IsClipboardFormatAvailable(CF_TEXT)) return;
    UserReplaceSelection(Clipboard()->AsText());
}

void TCustomEdit::Undo() {
    if (!undoValid_ || readOnly_) return;
    std::string t = undoText_;
    int c = undoCaret_;
    SaveUndo();  // a second undo redoes, as the system edit does
    text_ = t;
    TextChanged(-1, 0, 0);
    SetSelection(c, c);
    modified_ = true;
    Change();
}

void TCustomEdit::SetPasswordChar(char c) {
    passwordChar_ = c;
    rowCache_.valid = false;
    Invalidate();
}

void TCustomEdit::SetCharCase(TEditCharCase c) {
    charCase_ = c;
    if (c == ecUpperCase) SetText(plat::AnsiUpperCase(text_));
    if (c == ecLowerCase) SetText(plat::AnsiLowerCase(text_));
}

void TCustomEdit::SetBorderStyle(TBorderStyle s) {
    borderStyle_ = s;
    Invalidate();
}

void TCustomEdit::Change() {
    if (OnChange) OnChange(this);
}

// --- keys -------------------------------------------------------------------------------------

void TCustomEdit::DeleteForward() {
    if (SelLength() == 0) {
        if (caret_ >= static_cast<int>(text_.size())) return;
        int len = (text_[caret_] == '\r' && caret_ + 1 < static_cast<int>(text_.size()) && text_[caret_ + 1] == '\n') ? 2 : 1;
        anchor_ = caret_ + len;
    }
    UserReplaceSelection("");
}

void TCustomEdit::DeleteBackward() {
    if (SelLength() == 0) {
        if (caret_ == 0) return;
        int len = (caret_ >= 2 && text_[caret_ - 1] == '\n' && text_[caret_ - 2] == '\r') ? 2 : 1;
        anchor_ = caret_ - len;
    }
    UserReplaceSelection("");
}

bool TCustomEdit::NavigationKey(unsigned key, TShiftState shift) {
    bool extend = shift & ssShift;
    bool word = shift & ssCtrl;
    int n = static_cast<int>(text_.size());
    int pos = caret_;
    auto isCrLfAt = [&](int p) { return p >= 0 && p + 1 < n && text_[p] == '\r' && text_[p + 1] == '\n'; };
    switch (key) {
    case VK_LEFT:
        if (!extend && SelLength() > 0 && !word) pos = SelStart();
        else if (word) {
            while (pos > 0 && !IsWordChar(text_[pos - 1])) --pos;
            while (pos > 0 && IsWordChar(text_[pos - 1])) --pos;
        } else if (pos > 0) pos -= isCrLfAt(pos - 2) ? 2 : 1;
        break;
    case VK_RIGHT:
        if (!extend && SelLength() > 0 && !word) pos = SelStart() + SelLength();
        else if (word) {
            while (pos < n && IsWordChar(text_[pos])) ++pos;
            while (pos < n && !IsWordChar(text_[pos])) ++pos;
        } else if (pos < n) pos += isCrLfAt(pos) ? 2 : 1;
        break;
    case VK_HOME: pos = word ? 0 : LineStart(LineOf(pos)); break;
    case VK_END: pos = word ? n : LineEnd(LineOf(pos)); break;
    case VK_UP:
    case VK_DOWN: {
        if (!multiLine_) return false;
        int line = LineOf(pos) + (key == VK_UP ? -1 : 1);
        if (line < 0 || line >= LineCount()) break;
        TPoint p = PointFromPos(pos);
        int col = p.x;
        int start = LineStart(line), end = LineEnd(line);
        // Keep the column in pixels, as the system edit does.
        int best = start;
        const std::string& shown = DisplayText();
        TCanvas& c = Canvas();
        c.Font().Assign(Font());
        for (int i = start; i <= end; ++i) {
            int x = kInset - scrollX_ + c.TextWidth(shown.substr(start, i - start));
            if (x <= col) best = i;
        }
        pos = best;
        break;
    }
    default: return false;
    }
    SetSelection(extend ? anchor_ : pos, pos);
    return true;
}

void TCustomEdit::EditChar(char ch) {
    auto u = static_cast<unsigned char>(ch);
    switch (u) {
    case 3: CopyToClipboard(); return;
    case 22: PasteFromClipboard(); return;
    case 24: CutToClipboard(); return;
    case 26: Undo(); return;
    case 1: SelectAll(); return;
    case 8: DeleteBackward(); return;
    case 13:
        if (multiLine_ && wantReturns_) UserReplaceSelection("\r\n");
        return;
    case 9:
        if (multiLine_ && wantTabs_) UserReplaceSelection("\t");
        return;
    default:
        if (u < 32 || u == 127) return;
        UserReplaceSelection(std::string(1, ch));
    }
}

void TCustomEdit::WndProc(TMessage& m) {
    switch (m.Msg) {
    case WM_GETDLGCODE: {
        LRESULT code = DLGC_WANTARROWS | DLGC_WANTCHARS;
        if (multiLine_ && wantTabs_) code |= DLGC_WANTTAB;
        if (multiLine_ && wantReturns_) code |= DLGC_WANTALLKEYS;
        m.Result = code;
        return;
    }
    case WM_SETFOCUS:
        TCustomControl::WndProc(m);
        UpdateCaret();
        return;
    case WM_KILLFOCUS:
        if (CaretOwner() == (HandleAllocated() ? Handle() : 0)) DestroyCaret();
        TCustomControl::WndProc(m);
        Invalidate();
        return;
    default: TCustomControl::WndProc(m); return;
    }
}

void TCustomEdit::DefaultHandler(TMessage& m) {
    switch (m.Msg) {
    case WM_KEYDOWN: {
        unsigned key = static_cast<unsigned>(m.WParam);
        TShiftState shift = CurrentShiftState();
        if (key == VK_DELETE) {
            if (shift & ssShift) CutToClipboard();
            else DeleteForward();
            m.Result = 1;
            return;
        }
        if (key == VK_INSERT) {
            if (shift & ssShift) PasteFromClipboard();
            else if (shift & ssCtrl) CopyToClipboard();
            m.Result = 1;
            return;
        }
        m.Result = NavigationKey(key, shift) ? 1 : 0;
        return;
    }
    case WM_CHAR: EditChar(static_cast<char>(m.WParam & 0xFF)); m.Result = 0; return;
    case WM_CUT: CutToClipboard(); return;
    case WM_COPY: CopyToClipboard(); return;
    case WM_PASTE: PasteFromClipboard(); return;
    case WM_CLEAR: ClearSelection(); return;
    case WM_UNDO:
    case EM_UNDO: m.Result = undoValid_ ? 1 : 0; Undo(); return;
    case EM_CANUNDO: m.Result = undoValid_ ? 1 : 0; return;
    case EM_EMPTYUNDOBUFFER: undoValid_ = false; return;
    case WM_SETTEXT:
        SetText(m.LParam ? reinterpret_cast<const char*>(m.LParam) : "");
        m.Result = 1;
        return;
    case WM_GETTEXTLENGTH: m.Result = static_cast<LRESULT>(text_.size()); return;
    case WM_GETTEXT: {
        auto size = static_cast<std::size_t>(m.WParam);
        char* buf = reinterpret_cast<char*>(m.LParam);
        if (!buf || size == 0) {
            m.Result = 0;
            return;
        }
        std::size_t n = std::min(size - 1, text_.size());
        std::memcpy(buf, text_.data(), n);
        buf[n] = 0;
        m.Result = static_cast<LRESULT>(n);
        return;
    }
    case EM_GETSEL: {
        int s = SelStart(), e = SelStart() + SelLength();
        if (m.WParam) *reinterpret_cast<std::uint32_t*>(m.WParam) = static_cast<std::uint32_t>(s);
        if (m.LParam) *reinterpret_cast<std::uint32_t*>(m.LParam) = static_cast<std::uint32_t>(e);
        m.Result = MAKELPARAM(s, e);
        return;
    }
    case EM_SETSEL: {
        auto s = static_cast<int>(static_cast<std::intptr_t>(m.WParam));
        auto e = static_cast<int>(m.LParam);
        int n = static_cast<int>(text_.size());
        if (s == -1) SetSelection(caret_, caret_);
        else SetSelection(s, e < 0 ? n : e);
        return;
    }
    case EM_REPLACESEL: SetSelText(m.LParam ? reinterpret_cast<const char*>(m.LParam) : ""); return;
    case EM_GETMODIFY: m.Result = modified_ ? 1 : 0; return;
    case EM_SETMODIFY: modified_ = m.WParam != 0; return;
    case EM_LIMITTEXT: SetMaxLength(static_cast<int>(m.WParam)); return;
    case EM_SETREADONLY: readOnly_ = m.WParam != 0; m.Result = 1; return;
    case EM_SETPASSWORDCHAR: SetPasswordChar(static_cast<char>(m.WParam)); return;
    case EM_GETLINECOUNT: m.Result = LineCount(); return;
    case EM_LINEFROMCHAR: m.Result = LineOf(static_cast<int>(static_cast<std::intptr_t>(m.WParam)) < 0 ? caret_ : static_cast<int>(m.WParam)); return;
    case EM_LINEINDEX: {
        auto line = static_cast<int>(static_cast<std::intptr_t>(m.WParam));
        if (line < 0) line = LineOf(caret_);
        m.Result = line < LineCount() ? LineStart(line) : -1;
        return;
    }
    case EM_LINELENGTH: {
        int line = LineOf(static_cast<int>(m.WParam));
        m.Result = LineEnd(line) - LineStart(line);
        return;
    }
    case EM_GETFIRSTVISIBLELINE: m.Result = topLine_; return;
    default: TCustomControl::DefaultHandler(m); return;
    }
}

// --- painting and the caret -------------------------------------------------------------

const std::string& TCustomEdit::DisplayText() const {
    if (!passwordChar_) return text_;
    passwordText_.assign(text_.size(), passwordChar_);
    return passwordText_;
}

int TCustomEdit::LineHeight() {
    TCanvas& c = Canvas();
    c.Font().Assign(Font());
    return std::max(1, c.TextHeight("Wg"));
}

TRect TCustomEdit::TextArea() const {
    TRect r = ClientRect();
    InflateRect(r, -kInset, borderStyle_ == bsNone ? 0 : -kInset + 1);
    return r;
}

TPoint TCustomEdit::PointFromPos(int pos) {
    int line = LineOf(pos);
    int start = LineStart(line);
    TCanvas& c = Canvas();
    c.Font().Assign(Font());
    int x = kInset - scrollX_ + c.TextWidth(DisplayText().substr(start, pos - start));
    int y = TextArea().Top + (line - topLine_) * LineHeight();
    return {x, y};
}

int TCustomEdit::PosFromPoint(int x, int y) {
    int lh = LineHeight();
    int line = multiLine_ ? std::clamp(topLine_ + (y - TextArea().Top) / lh, 0, LineCount() - 1) : 0;
    int start = LineStart(line), end = LineEnd(line);
    const std::string& shown = DisplayText();
    TCanvas& c = Canvas();
    int best = start;
    int bestDist = 1 << 30;
    for (int i = start; i <= end; ++i) {
        int px = kInset - scrollX_ + c.TextWidth(shown.substr(start, i - start));
        int d = std::abs(px - x);
        if (d < bestDist) {
            bestDist = d;
            best = i;
        }
    }
    return best;
}

void TCustomEdit::ScrollCaretIntoView() {
    if (!HandleAllocated() && Width() <= 0) return;
    TRect area = TextArea();
    if (multiLine_) {
        int lh = LineHeight();
        int visible = std::max(1, area.Height() / lh);
        int line = LineOf(caret_);
        if (line < topLine_) topLine_ = line;
        if (line >= topLine_ + visible) topLine_ = line - visible + 1;
    }
    TCanvas& c = Canvas();
    c.Font().Assign(Font());
    int start = LineStart(LineOf(caret_));
    int x = c.TextWidth(DisplayText().substr(start, caret_ - start));
    int w = std::max(1, area.Width());
    if (x - scrollX_ > w) scrollX_ = x - w + w / 3;
    if (x < scrollX_) scrollX_ = std::max(0, x - w / 3);
}

void TCustomEdit::UpdateCaret() {
    if (!HandleAllocated() || !Focused()) return;
    HWND h = Handle();
    if (CaretOwner() != h) CreateCaret(h, 1, LineHeight());
    TPoint p = PointFromPos(caret_);
    SetCaretPos(p.x, p.y);
    ShowCaret(h);
}

void TCustomEdit::Paint() {
    TCanvas& c = Canvas();
    TRect r = ClientRect();
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(Enabled() ? Color() : clBtnFace);
    c.FillRect(r);
    if (borderStyle_ != bsNone) {
        TRect f = r;
        Frame3D(c, f, clBtnShadow, clBtnHighlight, 1);
        Frame3D(c, f, cl3DDkShadow, cl3DLight, 1);
    }
    c.Font().Assign(Font());
    if (!Enabled()) c.Font().SetColor(clGrayText);
    TRect area = TextArea();
    TRect paintArea = c.ClipRect();
    c.SetClipRect(area);
    const std::string& shown = DisplayText();
    int lh = LineHeight();
    bool showSel = SelLength() > 0 && (Focused() || !HideSelection);
    int selA = SelStart(), selB = SelStart() + SelLength();
    const std::vector<std::pair<int, int>>& rows = Rows();
    int lines = static_cast<int>(rows.size());
    for (int line = topLine_; line < lines; ++line) {
        int y = area.Top + (line - topLine_) * lh;
        if (y > area.Bottom) break;
        // Rows outside what is being painted are left alone.
        if (y + lh <= paintArea.Top || y >= paintArea.Bottom) continue;
        int start = rows[line].first, end = rows[line].second;
        int x = kInset - scrollX_;
        auto segment = [&](int a, int b, bool sel) {
            if (b <= a) return;
            // The colour first: choosing one makes a clear brush solid again.
            c.Brush().SetColor(clHighlight);
            c.Brush().SetStyle(sel ? bsSolid : bsClear);
            c.Font().SetColor(sel ? clHighlightText : (Enabled() ? Font().Color() : clGrayText));
            c.TextOut(x, y, shown.substr(a, b - a));
            x = c.PenPos().x;  // TextOut leaves the pen after the text
        };
        if (showSel) {
            int a = std::clamp(selA, start, end), b = std::clamp(selB, start, end);
            segment(start, a, false);
            segment(a, b, true);
            segment(b, end, false);
        } else {
            segment(start, end, false);
        }
    }
    c.ResetClip();
}

void TCustomEdit::DoEnter() {
    // Tabbing into a single-line edit selects its text.
    if (AutoSelect && !multiLine_ && !selecting_) SelectAll();
    TCustomControl::DoEnter();
}

void TCustomEdit::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == mbLeft) {
        selecting_ = true;
        if (CanFocus() && !Focused()) SetFocus();
        int pos = PosFromPoint(X, Y);
        SetSelection((Shift & ssShift) ? anchor_ : pos, pos);
    }
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TCustomEdit::MouseMove(TShiftState Shift, int X, int Y) {
    if (selecting_ && (Shift & ssLeft)) SetSelection(anchor_, PosFromPoint(X, Y));
    TCustomControl::MouseMove(Shift, X, Y);
}

void TCustomEdit::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    selecting_ = false;
    TCustomControl::MouseUp(Button, Shift, X, Y);
}

void TCustomEdit::DblClick() {
    int a = caret_, b = caret_;
    while (a > 0 && IsWordChar(text_[a - 1])) --a;
    while (b < static_cast<int>(text_.size()) && IsWordChar(text_[b])) ++b;
    SetSelection(a, b);
    TCustomControl::DblClick();
}

// ===========================================================================
// TMemo

TMemo::TMemo(TComponent* AOwner) : TCustomEdit(AOwner) {
    multiLine_ = true;
    wordWrap_ = true;
    AutoSelect = false;
    SetBounds(0, 0, 185, 89);
    lines_.OnChange = [this](plat::StringList& l) {
        if (syncing_) return;
        syncing_ = true;
        std::string t = l.Text();
        // The last line has no line end of its own in the edit.
        if (t.size() >= 2 && t.compare(t.size() - 2, 2, "\r\n") == 0) t.resize(t.size() - 2);
        SetText(t);
        syncing_ = false;
    };
}

plat::StringList& TMemo::Lines() { return lines_; }

namespace {

// The lines of a text as the string list splits them: a line ends at CR,
// LF or CR LF, and a line starts only where text follows. Calls
// line(start, end) for each line starting at `from` (a line start) until
// `stop` answers true for a line's start.
template <class Line, class Stop>
void ForEachLine(const std::string& t, std::size_t from, Line line, Stop stop) {
    for (std::size_t i = from; i < t.size();) {
        if (i != from && stop(static_cast<int>(i))) return;
        std::size_t e = t.find_first_of("\r\n", i);
        if (e == std::string::npos) e = t.size();
        line(static_cast<int>(i), static_cast<int>(e));
        if (e < t.size() && t[e] == '\r') ++e;
        if (e < t.size() && t[e] == '\n') ++e;
        i = e;
    }
}

bool EndsWithLineEnd(const std::string& t) { return t.size() >= 2 && t.compare(t.size() - 2, 2, "\r\n") == 0; }

}  // namespace

void TMemo::SplitAllLines() {
    syncing_ = true;
    lines_.SetText(text_);
    // A final empty line after a line end is a line of the memo.
    if (EndsWithLineEnd(text_)) lines_.Add("");
    syncing_ = false;
    lineStarts_.clear();
    ForEachLine(text_, 0, [&](int start, int) { lineStarts_.push_back(start); }, [](int) { return false; });
    if (EndsWithLineEnd(text_)) lineStarts_.push_back(static_cast<int>(text_.size()));
    linesInStep_ = static_cast<int>(lineStarts_.size()) == lines_.Count();
}

void TMemo::TextChanged(int start, int oldLen, int newLen) {
    TCustomEdit::TextChanged(start, oldLen, newLen);
    if (syncing_) {
        // The lines were set and the text follows them: where each starts is found when next needed.
        linesInStep_ = false;
        return;
    }
    if (start < 0 || !linesInStep_) {
        SplitAllLines();
        return;
    }
    // Split again from the line before the edit (a CR there may now pair
    // with an LF) until a line starts where an old one did, past the edit.
    const int delta = newLen - oldLen;
    const int oldSize = static_cast<int>(text_.size()) - delta;
    auto firstAfter = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), start);
    std::size_t from = static_cast<std::size_t>(std::max<std::ptrdiff_t>(0, firstAfter - lineStarts_.begin() - 2));
    std::size_t to = lineStarts_.size();
    const int fromPos = from < lineStarts_.size() ? lineStarts_[from] : 0;
    std::vector<int> starts;
    std::vector<std::string> texts;
    ForEachLine(
        text_, static_cast<std::size_t>(fromPos),
        [&](int s, int e) {
            starts.push_back(s);
            texts.push_back(text_.substr(static_cast<std::size_t>(s), static_cast<std::size_t>(e - s)));
        },
        [&](int s) {
            if (s < start + newLen || s - delta >= oldSize) return false;
            auto it = std::lower_bound(lineStarts_.begin() + static_cast<std::ptrdiff_t>(from), lineStarts_.end(), s - delta);
            if (it == lineStarts_.end() || *it != s - delta) return false;
            to = static_cast<std::size_t>(it - lineStarts_.begin());
            return true;
        });
    if (to == lineStarts_.size() && EndsWithLineEnd(text_)) {
        starts.push_back(static_cast<int>(text_.size()));
        texts.emplace_back();
    }
    for (std::size_t i = to; i < lineStarts_.size(); ++i) lineStarts_[i] += delta;
    const auto f = static_cast<std::ptrdiff_t>(from), t = static_cast<std::ptrdiff_t>(to);
    lineStarts_.erase(lineStarts_.begin() + f, lineStarts_.begin() + t);
    lineStarts_.insert(lineStarts_.begin() + f, starts.begin(), starts.end());
    syncing_ = true;
    lines_.BeginUpdate();
    int at = static_cast<int>(from);
    const int oldCount = static_cast<int>(to - from), newCount = static_cast<int>(texts.size());
    for (int i = 0; i < std::min(oldCount, newCount); ++i) lines_.SetString(at + i, std::move(texts[static_cast<std::size_t>(i)]));
    for (int i = newCount; i < oldCount; ++i) lines_.Delete(at + newCount);
    for (int i = oldCount; i < newCount; ++i) lines_.Insert(at + i, std::move(texts[static_cast<std::size_t>(i)]));
    lines_.EndUpdate();
    syncing_ = false;
}

void TMemo::Change() {
    UpdateScrollBars();
    TCustomEdit::Change();
}

TPoint TMemo::CaretPos() const {
    int line = LineOf(Caret());
    return {Caret() - LineStart(line), line};
}

void TMemo::SetWordWrap(bool w) {
    wordWrap_ = w;
    topLine_ = 0;
    ScrollCaretIntoView();
    UpdateScrollBars();
    Invalidate();
}

void TMemo::SetScrollBars(TScrollStyle s) {
    scrollBars_ = s;
    UpdateScrollBars();
}

int TMemo::HorzScrollLimit() {
    // The widest row past the text area: how far the text can scroll.
    int widest = 0;
    for (int row = 0; row < LineCount(); ++row) widest = std::max(widest, RowWidth(row));
    return std::max(0, widest + 2 * kInset - TextArea().Width());
}

void TMemo::UpdateScrollBars() {
    int lines = LineCount();
    if (scrollBars_ == ssVertical || scrollBars_ == ssBoth) {
        SetScrollBarRange(this, SB_VERT, 0, std::max(0, lines - 1));
        SetScrollPos(SB_VERT, topLine_);
    }
    // Wrapped text never needs to scroll sideways.
    if ((scrollBars_ == ssHorizontal || scrollBars_ == ssBoth) && !wordWrap_) {
        SetScrollBarRange(this, SB_HORZ, 0, HorzScrollLimit());
        SetScrollPos(SB_HORZ, scrollX_);
    } else {
        SetScrollBarRange(this, SB_HORZ, 0, 0);
    }
}

void TMemo::WndProc(TMessage& m) {
    if (m.Msg == WM_HSCROLL) {
        int limit = HorzScrollLimit();
        int page = std::max(1, TextArea().Width() - LineHeight());
        int step = std::max(1, LineHeight() / 2);
        // Left and right share the codes of up and down.
        switch (LOWORD(m.WParam)) {
        case SB_LINEUP: scrollX_ -= step; break;
        case SB_LINEDOWN: scrollX_ += step; break;
        case SB_PAGEUP: scrollX_ -= page; break;
        case SB_PAGEDOWN: scrollX_ += page; break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK: scrollX_ = HIWORD(m.WParam); break;
        case SB_TOP: scrollX_ = 0; break;
        case SB_BOTTOM: scrollX_ = limit; break;
        default: return;
        }
        scrollX_ = std::clamp(scrollX_, 0, limit);
        SetScrollPos(SB_HORZ, scrollX_);
        Invalidate();
        UpdateCaret();
        return;
    }
    if (m.Msg == WM_VSCROLL) {
        int lines = LineCount();
        int code = LOWORD(m.WParam);
        int page = std::max(1, ClientHeight() / LineHeight());
        switch (code) {
        case SB_LINEUP: --topLine_; break;
        case SB_LINEDOWN: ++topLine_; break;
        case SB_PAGEUP: topLine_ -= page; break;
        case SB_PAGEDOWN: topLine_ += page; break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK: topLine_ = HIWORD(m.WParam); break;
        case SB_TOP: topLine_ = 0; break;
        case SB_BOTTOM: topLine_ = lines - 1; break;
        default: break;
        }
        topLine_ = std::clamp(topLine_, 0, std::max(0, lines - 1));
        SetScrollPos(SB_VERT, topLine_);
        Invalidate();
        UpdateCaret();
        return;
    }
    int oldScrollX = scrollX_;
    TCustomEdit::WndProc(m);
    // A new width wraps the text again.
    if (m.Msg == WM_SIZE) UpdateScrollBars();
    // The caret moved the text sideways: the bar follows.
    else if (scrollX_ != oldScrollX && (scrollBars_ == ssHorizontal || scrollBars_ == ssBoth) && !wordWrap_)
        SetScrollPos(SB_HORZ, scrollX_);
}

}  // namespace gui
