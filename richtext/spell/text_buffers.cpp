#include "richtext/spell/text_buffers.h"

#include <algorithm>
#include <unordered_set>

#include "platform/core/codepage.h"
#include "platform/core/dialog_service.h"
#include "richtext/spell/dictionary.h"

namespace spell {

bool IsBufferWordChar(unsigned char c) {
    return c == '\'' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
           (c >= 0x80 && c <= 0xA5);
}

std::string PlainApostrophes(std::string ansi) {
    for (char& c : ansi)
        if (c == '\x91' || c == '\x92') c = '\'';
    return ansi;
}

std::string KeepApostropheSuffix(const std::string& original, std::string replacement) {
    const std::size_t at = original.find_first_of("'\x92");
    if (at == std::string::npos || at == 0) return replacement;
    const std::size_t own = replacement.find_first_of("'\x91\x92");
    if (own == std::string::npos) return replacement + original.substr(at);
    if (original[at] == '\x92') std::replace(replacement.begin(), replacement.end(), '\'', '\x92');
    return replacement;
}

// --- TAbsBuffer ------------------------------------------------------------------

std::string TAbsBuffer::WordAsInText(const std::string& oemWord) const { return plat::OemToAnsi(oemWord); }

void TAbsBuffer::Reset() {
    TextLength = 0;
    Position = 1;
    aborted_ = false;
}

unsigned char TAbsBuffer::Current() const {
    std::size_t i = static_cast<std::size_t>(Position - 1);
    return i < Buffer.size() ? static_cast<unsigned char>(Buffer[i]) : 0;
}

std::string TAbsBuffer::AbortOnLongWord(const std::string& word) {
    aborted_ = true;
    gui::MessageBox("Aborting spell check (Invalid word): \r\n" + plat::OemToAnsi(word.substr(0, kMaxBufferWord)),
                    "Spell Checker", gui::MB_OK | gui::MB_ICONSTOP);
    return std::string();
}

void TAbsBuffer::WordCount(int& total, int& unique) {
    Reset();
    LoadText();
    total = unique = 0;
    std::unordered_set<std::string> seen;
    TSpellEnvironment& env = SpellEnvironment();
    IWordCountView* view = env.WordCountView();
    if (view && !view->Visible()) view->ShowCounting();
    for (;;) {
        std::string w = GetNextWord();
        if (w.empty()) break;
        for (char& c : w)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        ++total;
        seen.insert(w);
        if (view) view->SetCounts(total, static_cast<int>(seen.size()));
        env.ProcessMessages();
        if (view && !view->Visible()) {
            total = 0;
            seen.clear();
            break;
        }
    }
    unique = static_cast<int>(seen.size());
}

// --- TPCharBuffer ------------------------------------------------------------------

TPCharBuffer::TPCharBuffer(const char* text) : source_(text) {
    Reset();
    LoadText();
}

std::unique_ptr<TPCharBuffer> TPCharBuffer::CreateFromText(const char* text) {
    return std::make_unique<TPCharBuffer>(text);
}

std::int32_t TPCharBuffer::GetSize() const {
    return static_cast<std::int32_t>(source_ ? std::char_traits<char>::length(source_) + 1 : 1);
}

void TPCharBuffer::LoadText() {
    Buffer.assign(source_ ? source_ : "");
    Buffer.push_back('\0');
    TextLength = static_cast<std::int32_t>(Buffer.size());
}

std::string TPCharBuffer::GetNextWord() {
    WordStart = WordEnd = Position;
    AllDigits = true;
    std::string word;
    bool inTag = false;
    // An unclosed "<" hides the rest of the text, but never reads past it.
    while (Position < TextLength && (!IsBufferWordChar(Current()) || inTag)) {
        if (SupportHTML) {
            if (Current() == '>' && inTag) inTag = false;
            else if (Current() == '<') inTag = true;
        }
        ++Position;
    }
    if (Position >= TextLength) return std::string();
    WordStart = Position;
    while (Position < TextLength && IsBufferWordChar(Current())) {
        unsigned char c = Current();
        word.push_back(static_cast<char>(c));
        ++Position;
        if (c < '0' || c > '9') AllDigits = false;
        WordEnd = Position;
        if (word.size() >= kMaxBufferWord) return AbortOnLongWord(word);
    }
    return word;
}

void TPCharBuffer::BackToWordStart() {
    while (Position > 1 && IsBufferWordChar(Current())) --Position;
}

void TPCharBuffer::ReplaceWord(const std::string& text) {
    std::string oem = plat::AnsiToOem(text);
    std::size_t at = static_cast<std::size_t>(WordStart - 1);
    std::size_t len = static_cast<std::size_t>(WordEnd - WordStart);
    if (at + len >= Buffer.size()) return;
    Buffer.replace(at, len, oem);
    std::int32_t delta = static_cast<std::int32_t>(oem.size()) - static_cast<std::int32_t>(len);
    TextLength += delta;
    Position += delta;
    WordEnd += delta;
}

std::string TPCharBuffer::Text() const {
    return Buffer.empty() ? std::string() : Buffer.substr(0, Buffer.size() - 1);
}

// --- TCEBuffer ------------------------------------------------------------------------

TCEBuffer::TCEBuffer(IEditText& edit, plat::TComponent* control) : edit_(edit), control_(control) {
    Reset();
    LoadText();
}

std::int32_t TCEBuffer::GetSize() const { return static_cast<std::int32_t>(edit_.GetText().size() + 1); }

void TCEBuffer::LoadText() {
    Buffer = plat::AnsiToOem(edit_.GetText());
    Buffer.push_back('\0');
    TextLength = static_cast<std::int32_t>(Buffer.size());
}

void TCEBuffer::SelectWord() { edit_.SetSelection(WordStart - 1, WordEnd - WordStart); }

void TCEBuffer::ReplaceWord(const std::string& text) {
    SelectWord();
    std::int32_t before = static_cast<std::int32_t>(edit_.GetText().size());
    edit_.ReplaceSelection(text);
    // The control may have taken less than asked (its length limit): the
    // change of its text length is what moves the scan.
    LoadText();
    std::int32_t delta = TextLength - 1 - before;
    Position += delta;
    WordEnd += delta;
}

// --- TJDBuf -----------------------------------------------------------------------------

TJDBuf::TJDBuf(IRichEditWordScan& editor, plat::TComponent* control) : editor_(editor), control_(control) {
    Reset();
}

std::string TJDBuf::GetNextWord() {
    AllDigits = true;
    lastWord_ = editor_.NextWord();
    // Looked up with a plain apostrophe: the dictionary has no typographic one.
    std::string word = plat::AnsiToOem(PlainApostrophes(lastWord_));
    if (word.size() >= kMaxBufferWord) return AbortOnLongWord(word);
    for (unsigned char c : word)
        if (c < '0' || c > '9') AllDigits = false;
    if (word.empty()) AllDigits = false;
    return word;
}

std::string TJDBuf::WordAsInText(const std::string& oemWord) const {
    return lastWord_.empty() ? TAbsBuffer::WordAsInText(oemWord) : lastWord_;
}

void TJDBuf::BackToWordStart() { editor_.WordScanFromCursor(); }

void TJDBuf::SelectWord() { editor_.SelectFoundWord(); }

void TJDBuf::ReplaceWord(const std::string& text) {
    editor_.SetSelText(text);
    Modified = true;
}

void TJDBuf::WordCount(int& total, int& unique) {
    editor_.ResetWordScan();
    TAbsBuffer::WordCount(total, unique);
}

}  // namespace spell
