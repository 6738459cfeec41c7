#include "platform/gui/mask_edit.h"

#include "platform/core/codepage.h"
#include "platform/core/format_settings.h"
#include "platform/gui/clipboard.h"
#include "platform/gui/controls_support.h"
#include "platform/win/message_queue.h"

#include <algorithm>

namespace gui {

namespace {
// Posted to itself after a failed validation on exit.
constexpr UINT kRefocusMessage = CM_BASE + 0x201;
}  // namespace

// ===========================================================================
// EditMaskPicture

EditMaskPicture::EditMaskPicture(const std::string& mask) {
    // The fields are split at the last two unescaped ';' only when they look
    // like fields, so a ';' literal earlier in the picture survives.
    std::vector<std::size_t> seps;
    for (std::size_t i = 0; i < mask.size(); ++i) {
        if (mask[i] == '\\') {
            ++i;
            continue;
        }
        if (mask[i] == ';') seps.push_back(i);
    }
    std::string picture = mask;
    if (seps.size() >= 2 && seps.back() + 2 == mask.size() && seps[seps.size() - 2] + 2 == seps.back()) {
        std::size_t a = seps[seps.size() - 2];
        saveLiterals_ = mask[a + 1] != '0';
        blank_ = mask[seps.back() + 1];
        picture = mask.substr(0, a);
    } else if (!seps.empty() && seps.back() + 2 == mask.size()) {
        saveLiterals_ = mask[seps.back() + 1] != '0';
        picture = mask.substr(0, seps.back());
    }
    int letterCase = 0;
    for (std::size_t i = 0; i < picture.size(); ++i) {
        char c = picture[i];
        Place p;
        switch (c) {
        case '!': reverse_ = true; continue;
        case '>':
            if (i + 1 < picture.size() && picture[i + 1] == '<') {
                letterCase = 0;
                ++i;
            } else {
                letterCase = 1;
            }
            continue;
        case '<': letterCase = -1; continue;
        case '\\':
            if (i + 1 >= picture.size()) continue;
            p.literal = true;
            p.ch = picture[++i];
            break;
        case 'L': case 'A': case 'C': case '0':
            p.kind = c;
            p.required = true;
            break;
        case 'l': case 'a': case 'c': case '9': case '#':
            p.kind = c;
            break;
        case '_': p.literal = true; p.ch = ' '; break;
        // The separators the user's settings name, so a date reads back.
        case '/': p.literal = true; p.ch = plat::CurrentFormatSettings().DateSeparator; break;
        case ':': p.literal = true; p.ch = plat::CurrentFormatSettings().TimeSeparator; break;
        default: p.literal = true; p.ch = c; break;
        }
        p.letterCase = letterCase;
        places_.push_back(p);
    }
}

char EditMaskPicture::Accept(int i, char ch) const {
    if (i < 0 || i >= Length()) return 0;
    const Place& p = places_[i];
    if (p.literal) return 0;
    auto u = static_cast<unsigned char>(ch);
    if (u < 32) return 0;
    bool ok = false;
    switch (p.kind) {
    case 'L': case 'l': ok = plat::IsCharAlpha(u); break;
    case 'A': case 'a': ok = plat::IsCharAlphaNumeric(u); break;
    case 'C': case 'c': ok = true; break;
    case '0': case '9': ok = ch >= '0' && ch <= '9'; break;
    case '#': ok = (ch >= '0' && ch <= '9') || ch == '+' || ch == '-'; break;
    default: break;
    }
    if (!ok) return 0;
    if (p.letterCase > 0) return static_cast<char>(plat::CharUpper(u));
    if (p.letterCase < 0) return static_cast<char>(plat::CharLower(u));
    return ch;
}

std::string EditMaskPicture::EmptyEditText() const {
    std::string s;
    for (const Place& p : places_) s += p.literal ? p.ch : blank_;
    return s;
}

std::string EditMaskPicture::EditTextFromText(const std::string& text) const {
    std::string out = EmptyEditText();
    if (reverse_) {
        // Fitted from the end, so the places left empty are the leading ones.
        std::size_t at = text.size();
        for (int i = Length() - 1; i >= 0 && at > 0; --i) {
            if (places_[i].literal) {
                if (saveLiterals_ && text[at - 1] == places_[i].ch) --at;
                continue;
            }
            char fit = Accept(i, text[--at]);
            if (fit) out[i] = fit;
        }
        return out;
    }
    std::size_t at = 0;
    for (int i = 0; i < Length() && at < text.size(); ++i) {
        if (places_[i].literal) {
            // Saved literals are in the text at their places.
            if (saveLiterals_ && text[at] == places_[i].ch) ++at;
            continue;
        }
        char ch = text[at++];
        char fit = Accept(i, ch);
        if (fit) out[i] = fit;
    }
    return out;
}

std::string EditMaskPicture::TextFromEditText(const std::string& editText) const {
    std::string out;
    for (int i = 0; i < Length() && i < static_cast<int>(editText.size()); ++i) {
        if (places_[i].literal) {
            if (saveLiterals_) out += places_[i].ch;
            continue;
        }
        out += editText[i] == blank_ ? ' ' : editText[i];
    }
    // With the literals, empty places read as blanks and stay (an empty date
    // mask reads "  /  /  "). Without them, the blanks of empty places at
    // the end are dropped, or at the start when '!' fits text to the end.
    if (!saveLiterals_) {
        if (reverse_) out.erase(0, out.find_first_not_of(' ') == std::string::npos ? out.size() : out.find_first_not_of(' '));
        else out.erase(out.find_last_not_of(' ') + 1);
    }
    return out;
}

int EditMaskPicture::FirstMissing(const std::string& editText) const {
    for (int i = 0; i < Length(); ++i)
        if (places_[i].required && (i >= static_cast<int>(editText.size()) || editText[i] == blank_ || editText[i] == ' '))
            return i;
    return -1;
}

std::string FormatMaskText(const std::string& editMask, const std::string& value) {
    EditMaskPicture p(editMask);
    if (p.Empty()) return value;
    std::string edit = p.EditTextFromText(value);
    // Shown with literals, and blanks in empty places.
    for (int i = 0; i < p.Length(); ++i)
        if (!p.IsLiteral(i) && edit[i] == p.Blank()) edit[i] = ' ';
    return edit;
}

// ===========================================================================
// TCustomMaskEdit

TCustomMaskEdit::TCustomMaskEdit(TComponent* AOwner) : TCustomEdit(AOwner) {}

void TCustomMaskEdit::SetEditMask(const std::string& mask) {
    std::string old = IsMasked() ? Text() : text_;
    mask_ = mask;
    picture_ = EditMaskPicture(mask);
    SetMaxLength(picture_.Empty() ? 0 : picture_.Length());
    if (IsMasked()) SetEditText(picture_.EditTextFromText(old));
    else TCustomEdit::SetText(old);
}

void TCustomMaskEdit::SetEditText(const std::string& s) {
    if (!IsMasked()) {
        TCustomEdit::SetText(s);
        return;
    }
    // Whatever is given is fitted place by place; it never changes the length.
    std::string e = picture_.EmptyEditText();
    for (int i = 0; i < picture_.Length() && i < static_cast<int>(s.size()); ++i)
        if (!picture_.IsLiteral(i)) {
            char fit = picture_.Accept(i, s[i]);
            if (fit) e[i] = fit;
        }
    TCustomEdit::SetText(e);
}

std::string TCustomMaskEdit::Text() const {
    return IsMasked() ? picture_.TextFromEditText(text_) : text_;
}

void TCustomMaskEdit::SetText(const std::string& s) {
    if (IsMasked()) TCustomEdit::SetText(picture_.EditTextFromText(s));
    else TCustomEdit::SetText(s);
}

int TCustomMaskEdit::NextPlace(int pos) const {
    while (pos < picture_.Length() && picture_.IsLiteral(pos)) ++pos;
    return pos;
}

int TCustomMaskEdit::PrevPlace(int pos) const {
    --pos;
    while (pos >= 0 && picture_.IsLiteral(pos)) --pos;
    return pos;
}

void TCustomMaskEdit::MaskedDelete(int from, int to) {
    std::string e = text_;
    for (int i = std::max(0, from); i < to && i < picture_.Length(); ++i)
        if (!picture_.IsLiteral(i)) e[i] = picture_.Blank();
    if (e == text_) {
        SetSelection(from, from);
        return;
    }
    SaveUndo();
    RawReplace(0, static_cast<int>(text_.size()), e);
    SetSelection(from, from);
    SetModified(true);
    Change();
}

void TCustomMaskEdit::FitPartToEnd(std::string& e, int end) const {
    int start = end;
    while (start > 0 && !picture_.IsLiteral(start - 1)) --start;
    std::string typed;
    for (int i = start; i < end; ++i)
        if (e[i] != picture_.Blank()) typed += e[i];
    std::string part(end - start, picture_.Blank());
    part.replace(part.size() - typed.size(), typed.size(), typed);
    for (int i = start; i < end; ++i)
        if (part[i - start] != picture_.Blank() && !picture_.Accept(i, part[i - start])) return;
    e.replace(start, end - start, part);
}

void TCustomMaskEdit::MaskedInsert(const std::string& s) {
    if (ReadOnly()) {
        MessageBeep(0);
        return;
    }
    std::string e = text_;
    int pos = SelStart();
    int selEnd = SelStart() + SelLength();
    // The caret skipped a literal by itself after the last key: that literal,
    // typed now, is the one already passed, and only this once.
    const bool afterSkip = skippedTo_ >= 0 && pos == skippedTo_ && selEnd == pos && skippedText_ == text_;
    skippedTo_ = -1;
    // Typing over a selection empties it first.
    for (int i = pos; i < selEnd && i < picture_.Length(); ++i)
        if (!picture_.IsLiteral(i)) e[i] = picture_.Blank();
    bool any = false, swallowed = false;
    for (std::size_t k = 0; k < s.size(); ++k) {
        const char ch = s[k];
        int place = NextPlace(pos);
        // A literal typed where it stands just moves past it.
        if (pos < picture_.Length() && picture_.IsLiteral(pos) && text_[pos] == ch) {
            ++pos;
            continue;
        }
        char fit = place < picture_.Length() ? picture_.Accept(place, ch) : 0;
        if (!fit && k == 0 && afterSkip && pos > 0 && picture_.IsLiteral(pos - 1) && e[pos - 1] == ch) {
            swallowed = true;
            continue;
        }
        if (!fit) {
            // A separator typed early ends the part and jumps past the literal it names.
            int lit = pos;
            while (lit < picture_.Length() && !(picture_.IsLiteral(lit) && e[lit] == ch)) ++lit;
            if (lit < picture_.Length() && ch != ' ' && std::ispunct(static_cast<unsigned char>(ch))) {
                // Fitted to the end, the digits typed so far keep their value.
                if (picture_.Reverse()) {
                    int end = pos;
                    while (end < picture_.Length() && !picture_.IsLiteral(end)) ++end;
                    FitPartToEnd(e, end);
                    any = any || e != text_;
                }
                pos = lit + 1;
                continue;
            }
            break;
        }
        e[place] = fit;
        pos = place + 1;
        any = true;
    }
    if (!any && e == text_) {
        // Only a key that neither fits nor moves the caret is refused.
        if (!swallowed && pos == SelStart()) ValidateError();
        if (pos != SelStart()) SetSelection(pos, pos);
        return;
    }
    SaveUndo();
    RawReplace(0, static_cast<int>(text_.size()), e);
    SetSelection(NextPlace(pos), NextPlace(pos));
    if (NextPlace(pos) > pos && s.size() == 1) {
        skippedTo_ = NextPlace(pos);
        skippedText_ = text_;
    }
    SetModified(true);
    Change();
}

void TCustomMaskEdit::ValidateError() { MessageBeep(0); }

void TCustomMaskEdit::ValidateEdit() {
    if (!IsMasked()) return;
    int missing = picture_.FirstMissing(text_);
    if (missing < 0) return;
    SetSelection(missing, missing);
    throw EDBEditError("Invalid input value.  Use escape key to abandon changes");
}

void TCustomMaskEdit::Reset() {
    if (!Modified()) return;
    SetEditText(enterText_);
    SetModified(false);
}

void TCustomMaskEdit::KeyDown(unsigned& Key, TShiftState Shift) {
    TCustomEdit::KeyDown(Key, Shift);
    if (!IsMasked() || Key == 0) return;
    if (Key == VK_DELETE && !(Shift & ssShift)) {
        int a = SelStart(), b = SelStart() + SelLength();
        if (b == a) b = a + 1;
        if (!ReadOnly()) MaskedDelete(a, b);
        Key = 0;
    } else if (Key == VK_DELETE || (Key == VK_INSERT && (Shift & ssShift))) {
        // Cut and paste through the masked paths.
        Perform(Key == VK_DELETE ? WM_CUT : WM_PASTE, 0, 0);
        Key = 0;
    }
}

void TCustomMaskEdit::KeyPress(char& Key) {
    TCustomEdit::KeyPress(Key);
    if (!IsMasked() || Key == 0) return;
    auto u = static_cast<unsigned char>(Key);
    if (u == 27) {
        Reset();
        Key = 0;
        return;
    }
    if (u == 8) {
        if (!ReadOnly()) {
            if (SelLength() > 0) MaskedDelete(SelStart(), SelStart() + SelLength());
            else {
                int prev = PrevPlace(SelStart());
                if (prev >= 0) MaskedDelete(prev, prev + 1);
            }
        }
        Key = 0;
        return;
    }
    if (u == 3 || u == 22 || u == 24 || u == 26 || u == 1) return;  // the edit's own clipboard and undo keys
    if (u < 32) return;
    MaskedInsert(std::string(1, Key));
    Key = 0;
}

void TCustomMaskEdit::WndProc(TMessage& m) {
    if (m.Msg == kRefocusMessage) {
        if (CanFocus()) SetFocus();
        validating_ = false;
        return;
    }
    if (IsMasked()) {
        switch (m.Msg) {
        case WM_CUT:
            CopyToClipboard();
            if (!ReadOnly()) MaskedDelete(SelStart(), SelStart() + SelLength());
            return;
        case WM_CLEAR:
            if (!ReadOnly()) MaskedDelete(SelStart(), SelStart() + SelLength());
            return;
        case WM_PASTE:
            if (IsClipboardFormatAvailable(CF_TEXT)) MaskedInsert(Clipboard()->AsText());
            return;
        default: break;
        }
    }
    TCustomEdit::WndProc(m);
}

void TCustomMaskEdit::DoEnter() {
    // Coming back after a failed validation keeps the text to return to.
    if (!validating_) enterText_ = text_;
    TCustomEdit::DoEnter();
}

void TCustomMaskEdit::DoExit() {
    // An incomplete entry keeps the focus and says why, instead of raising
    // out of the focus change.
    if (validating_) return;
    try {
        if (Modified()) ValidateEdit();
    } catch (const EDBEditError& e) {
        // The focus is taken back once the focus change under way is over;
        // until then further exits are not validated again.
        validating_ = true;
        MessageDlg(e.Message(), mtError, Buttons({mbOK}));
        plat::PostMessage(Handle(), kRefocusMessage, 0, 0);
        return;
    }
    TCustomEdit::DoExit();
}

}  // namespace gui
