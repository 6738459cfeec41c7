// Text buffers the spell check walks word by word: over a character array,
// over a standard edit control and over a rich-text edit control's word
// scan. Words come out in the OEM code page (the dictionary's); positions
// are 1-based; the text's own copy grows with the text.
#pragma once

#include <cstdint>
#include <string>

#include "richtext/spell/text_sources.h"

namespace spell {

// The apostrophe, digits, ASCII letters and the OEM letters 0x80-0xA5.
bool IsBufferWordChar(unsigned char c);

// The word with typographic apostrophes (Windows-1252 0x91, 0x92) made plain,
// as the dictionary holds them.
std::string PlainApostrophes(std::string ansi);
// The correction `replacement` for the word `original` (both Windows-1252):
// without an apostrophe of its own it keeps the original's suffix from its
// apostrophe on ("’s"); its plain apostrophe becomes the original's kind.
std::string KeepApostropheSuffix(const std::string& original, std::string replacement);

// Words reach at most this many characters; one that reaches it ends the scan.
constexpr std::size_t kMaxBufferWord = 50;

class TAbsBuffer {
public:
    virtual ~TAbsBuffer() = default;
    TAbsBuffer(const TAbsBuffer&) = delete;
    TAbsBuffer& operator=(const TAbsBuffer&) = delete;

    std::int32_t TextLength = 0;  // characters including the closing zero
    std::int32_t WordStart = 1, WordEnd = 1;
    bool AllDigits = false;
    bool SupportHTML = false;
    std::string Buffer;  // the working copy, zero-terminated
    std::int32_t Position = 1;

    void Reset();
    unsigned char Current() const;

    virtual std::int32_t GetSize() const { return 28671; }
    // The next word (OEM), empty at the end of the text or after a word too
    // long to be one (Aborted() then).
    virtual std::string GetNextWord() = 0;
    virtual void BackToWordStart() = 0;
    virtual void LoadText() = 0;
    virtual void SelectWord() {}
    // The word last returned (OEM) as the text has it (Windows-1252).
    virtual std::string WordAsInText(const std::string& oemWord) const;
    // Puts `text` (Windows-1252) in place of the word last returned.
    virtual void ReplaceWord(const std::string& text) = 0;
    virtual void WordCount(int& total, int& unique);

    // The text source's modified flag and control (nullptr: not a control).
    virtual bool SourceModified() const { return false; }
    virtual void SetSourceModified(bool) {}
    virtual plat::TComponent* SourceControl() const { return nullptr; }
    // The last scan ended on a word too long to be one.
    bool Aborted() const { return aborted_; }

protected:
    TAbsBuffer() = default;
    // Reports a word that reached kMaxBufferWord characters and ends the scan.
    std::string AbortOnLongWord(const std::string& word);
    bool aborted_ = false;
};

// A zero-terminated OEM text. A replacement is written into the buffer's
// own copy (Text() reads it back); the source array is never changed.
class TPCharBuffer : public TAbsBuffer {
public:
    explicit TPCharBuffer(const char* text);
    static std::unique_ptr<TPCharBuffer> CreateFromText(const char* text);

    std::int32_t GetSize() const override;
    std::string GetNextWord() override;
    void BackToWordStart() override;
    void LoadText() override;
    void ReplaceWord(const std::string& text) override;
    // The text as it stands after replacements, without the closing zero.
    std::string Text() const;

protected:
    TPCharBuffer() = default;
    const char* source_ = nullptr;
};

// A standard edit control's text, converted to OEM. A replacement goes into
// the control and the copy is read again, so later positions stay right.
class TCEBuffer : public TPCharBuffer {
public:
    TCEBuffer(IEditText& edit, plat::TComponent* control = nullptr);

    std::int32_t GetSize() const override;
    void LoadText() override;
    void SelectWord() override;
    void ReplaceWord(const std::string& text) override;
    bool SourceModified() const override { return edit_.GetModified(); }
    void SetSourceModified(bool m) override { edit_.SetModified(m); }
    plat::TComponent* SourceControl() const override { return control_; }

private:
    IEditText& edit_;
    plat::TComponent* control_;
};

// A rich-text edit control: words come from the control's own word scan,
// from where that scan stands.
class TJDBuf : public TPCharBuffer {
public:
    TJDBuf(IRichEditWordScan& editor, plat::TComponent* control = nullptr);

    bool Modified = false;  // set by the first replacement

    std::string GetNextWord() override;
    // The user edited the text: the scan goes on from the cursor.
    void BackToWordStart() override;
    void LoadText() override {}
    void SelectWord() override;
    void ReplaceWord(const std::string& text) override;
    void WordCount(int& total, int& unique) override;
    bool SourceModified() const override { return editor_.GetModified(); }
    void SetSourceModified(bool m) override { editor_.SetModified(m); }
    plat::TComponent* SourceControl() const override { return control_; }
    std::string WordAsInText(const std::string& oemWord) const override;

private:
    IRichEditWordScan& editor_;
    plat::TComponent* control_;
    std::string lastWord_;  // the editor's word as it gave it, Windows-1252
};

}  // namespace spell
