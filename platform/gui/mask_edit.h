// The edit with an edit mask. A mask has up to three fields separated by
// ';': the picture, whether literals are kept in Text ('0' drops them), and
// the character shown in empty places (default '_'). In the picture:
//   L letter, required      l letter, optional
//   A letter or digit, req. a letter or digit, optional
//   C any character, req.   c any character, optional
//   0 digit, required       9 digit, optional
//   # digit or sign, opt.   > upper case from here   < lower case   <> as typed
//   \ the next character is a literal   : and / the time and date separators
//   _ a literal blank
//   ! text is fitted to the end of the places, so the blanks of empty
//     optional places lead (and are trimmed from the start of a Text
//     without literals, where otherwise trailing ones are)
// Everything else is a literal. The edit text has one character per place:
// literals stay put, typing fills the next free place and skips literals.
// Text has a blank for every empty place (and the literals when kept).
#pragma once

#include "platform/core/exceptions.h"
#include "platform/gui/edits.h"

#include <string>
#include <vector>

namespace gui {

class EDBEditError : public plat::Exception {
public:
    explicit EDBEditError(const std::string& message) : plat::Exception(message) {}
};

// A parsed mask; usable without a control (tests, FormatMaskText).
class EditMaskPicture {
public:
    explicit EditMaskPicture(const std::string& mask = "");
    bool Empty() const { return places_.empty(); }
    int Length() const { return static_cast<int>(places_.size()); }
    bool SaveLiterals() const { return saveLiterals_; }
    // '!' in the mask: text fits against the end.
    bool Reverse() const { return reverse_; }
    char Blank() const { return blank_; }
    bool IsLiteral(int i) const { return places_.at(i).literal; }
    bool IsRequired(int i) const { return places_.at(i).required; }
    // The character as it would be stored at place i (case applied), or 0
    // when it does not fit there.
    char Accept(int i, char ch) const;
    // The edit text with every place empty.
    std::string EmptyEditText() const;
    // Text (literals kept or not) -> edit text, fitting characters in order.
    std::string EditTextFromText(const std::string& text) const;
    std::string TextFromEditText(const std::string& editText) const;
    // The first required place left empty, or -1.
    int FirstMissing(const std::string& editText) const;

private:
    struct Place {
        bool literal = false;
        char ch = 0;       // the literal
        char kind = 0;     // L l A a C c 0 9 #
        bool required = false;
        int letterCase = 0;  // 1 upper, -1 lower
    };
    std::vector<Place> places_;
    bool saveLiterals_ = true;
    bool reverse_ = false;
    char blank_ = '_';
};

// The text formatted by a mask, as the edit would show it.
std::string FormatMaskText(const std::string& editMask, const std::string& value);

class TCustomMaskEdit : public TCustomEdit {
public:
    explicit TCustomMaskEdit(TComponent* AOwner);
    const std::string& EditMask() const { return mask_; }
    void SetEditMask(const std::string& mask);
    bool IsMasked() const { return !picture_.Empty(); }
    // One character per place, blanks shown as the blank character.
    std::string EditText() const { return text_; }
    void SetEditText(const std::string& s);
    // With a mask: the text as the mask saves it.
    std::string Text() const override;
    void SetText(const std::string& s) override;
    // Raises EDBEditError when a required place is empty, the caret put there.
    virtual void ValidateEdit();
    // Undoes the changes since the control was entered.
    void Reset();

protected:
    void KeyDown(unsigned& Key, TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void DoEnter() override;
    void DoExit() override;
    void WndProc(TMessage& Message) override;
    // A character that does not fit.
    virtual void ValidateError();
    const EditMaskPicture& Picture() const { return picture_; }

private:
    int NextPlace(int pos) const;
    int PrevPlace(int pos) const;
    void MaskedInsert(const std::string& s);
    void MaskedDelete(int from, int to);
    // Moves what was typed in the part ending at `end` to the part's end.
    void FitPartToEnd(std::string& e, int end) const;
    std::string mask_;
    // Where the caret went past a literal by itself after a key, and the
    // text then; -1 when the last key did not.
    int skippedTo_ = -1;
    std::string skippedText_;
    EditMaskPicture picture_;
    std::string enterText_;
    bool validating_ = false;
};

class TMaskEdit : public TCustomMaskEdit {
public:
    explicit TMaskEdit(TComponent* AOwner) : TCustomMaskEdit(AOwner) {}
};

}  // namespace gui
