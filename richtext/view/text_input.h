// The editing engine every edit control owns: cursor and selection, typed
// characters, Backspace, Delete, Enter and form feed, character and paragraph
// formats, tables and objects, and the guard around protected text. It
// tells its owner about every change through the services' method pointers.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "richtext/view/text_paint.h"

namespace richtext {

// ApplyAttribute masks.
enum : std::uint32_t {
    amFont = 0x01,
    amSize = 0x02,
    amTextColor = 0x04,
    amBackColor = 0x08,
    amStyleOr = 0x10,      // template's style bits added
    amStyleSet = 0x20,     // character styles, hidden and code bits replaced
    amStyleReplace = 0x40, // bold, italic, underline, strike, super- and subscript replaced
    amStyleClear = 0x80,   // template's style bits removed
};

class TJDRTFTextInput : public TJDRTFTextPaint {
public:
    explicit TJDRTFTextInput(TJDMemoryFormat format = TJDMemoryFormat::fmRichText);

    bool readOnly = false;
    bool KeepCurrentAttr = false;
    bool EditHidden = false;
    bool FullReformatPending = false;
    bool InputRunning = false;
    bool NoBlockMarking = false;
    bool SelectionAnchored = false;

    // --- cursor ------------------------------------------------------------------
    void SetCursor(TParagraph* par, TLine* line, int pos);
    // By absolute position or absolute line; the set-mode object is refreshed.
    bool SetCursor(int pos, int absLine);
    void CursorLeft(int count, bool extend, bool scroll);
    void CursorRight(int count, bool extend, bool scroll);
    void CursorUp(int count, bool extend, bool scroll);
    void CursorDown(int count, bool extend, bool scroll);
    void WordLeft(int count, bool extend, bool scroll);
    void WordRight(int count, bool extend, bool scroll);
    void MoveCursor(int kind, bool extend);
    virtual void CursorToPoint(int x, int y, bool extend, bool scroll);
    void UpdateCurrentAttr();

    // --- absolute positions (paragraph ends count one character) ---------------------------
    int AbsolutePosition(const TTextPos& p) const;
    TTextPos PositionOf(int absolute) const;

    // --- selection ---------------------------------------------------------------------
    void SetSelectionEnd(int which, TParagraph* par, TLine* line, int pos);
    bool GetSelection(int& start, int& length) const;
    void SetSelPosLen(int start, int length);
    void SetSelStart(int start);
    void SetSelLength(int length);
    void SelectObjectChars(std::uint16_t tag, std::uint16_t id);
    // Copies at most count - 1 selected characters (paragraph ends as CR) and a NUL.
    int GetSelectedChars(char* chars, TJDCharAttr* entries, int count);
    bool DeleteSelection();
    void DropSelection();
    bool SelectionEmpty() const;

    // --- typing ------------------------------------------------------------------
    virtual void InputString(const std::string& text);

    // --- character formats ----------------------------------------------------------
    // One character (line nullptr: the current insert attribute).
    virtual void ApplyCharAttr(TLine* line, int index, std::uint32_t mask, const TJDCharAttr& tmpl);
    virtual void ApplyAttribute(std::uint32_t mask, const TJDCharAttr& tmpl);
    void SetSelStyleBit(std::uint16_t bit, bool on);

    // --- paragraph formats -------------------------------------------------------------
    void SetIndents(int first, int left, int right);
    void SetAlignment(std::uint8_t alignment);
    void SetTabs(std::uint64_t slots, bool add);
    void SetSpacing(int mode, int before, int after, int lineSpacing);
    void SetBorders(std::uint32_t border, int widthTwips, int colorIndex, int spacing);
    void SetShading(std::uint8_t shading, std::uint8_t percent);
    void SetNumbering(int style, int level);
    bool InsertTableAtCursor(int rows, int cols, bool borders);
    void InsertObjectAtCursor(std::shared_ptr<plat::TGraphic> object, int id, int widthTwips, int heightTwips);

    void ClearText() override;

    // Loading replaces the text: it is laid out again and the cursor's
    // attribute becomes the insert attribute.
    TJDLoadFormat LoadFromStream(std::istream& in);
    TJDLoadFormat LoadFromStream(plat::Stream& stream);
    TJDLoadFormat LoadFromString(const std::string& bytes);
    TJDLoadFormat LoadFromFile(const std::string& fileName);

private:
    void AfterLoad();
    int TypeChar(unsigned char c);
    int TypeEnter(bool formFeed);
    int TypeDelete();
    int TypeBackspace();
    void SaveForUndo();
    void BeginMove(bool extend);
    void EndMove(bool extend, bool scroll, bool keepDesiredX = false);
    bool StepLeft();
    bool StepRight();
    bool LineUp();
    bool LineDown();
    bool IsZeroWidth(const TLine* line, int pos) const;
    void RemoveRange(TParagraph* par, int from, int to);
    TLine* LineAtOffset(TParagraph* par, int& offset) const;
    int ParagraphLength(const TParagraph* par) const;
    template <typename F>
    void ForSelectedParagraphs(F f);
    void Relayout();
    void RefreshSetMode();

    TParagraph* lastUndoPar_ = nullptr;
    bool selStartGiven_ = false, selLengthGiven_ = false;
    int givenSelStart_ = 0, givenSelLength_ = 0;
    TJDCharAttr lastReportedAttr_{};
};

}  // namespace richtext
