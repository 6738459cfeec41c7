// Edit controls: the single-line edit and the memo. The text lives in the
// control (Windows-1252) and the control itself handles what the system's
// edit window would: characters in WM_CHAR, caret and selection keys in
// WM_KEYDOWN, the clipboard messages and the EM_* messages. So a descendant
// that swallows a key in KeyDown or KeyPress stops the edit from seeing it,
// as on Win32.
#pragma once

#include "platform/core/string_list.h"
#include "platform/gui/controls.h"
#include "platform/gui/forms.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace gui {

// Edit messages.
constexpr UINT EM_GETSEL = 0x00B0, EM_SETSEL = 0x00B1, EM_GETMODIFY = 0x00B8, EM_SETMODIFY = 0x00B9,
               EM_GETLINECOUNT = 0x00BA, EM_LINEINDEX = 0x00BB, EM_LINELENGTH = 0x00C1,
               EM_REPLACESEL = 0x00C2, EM_LIMITTEXT = 0x00C5, EM_CANUNDO = 0x00C6, EM_UNDO = 0x00C7,
               EM_LINEFROMCHAR = 0x00C9, EM_SETPASSWORDCHAR = 0x00CC, EM_EMPTYUNDOBUFFER = 0x00CD,
               EM_GETFIRSTVISIBLELINE = 0x00CE, EM_SETREADONLY = 0x00CF;

enum TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };
enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

class TCustomEdit : public TCustomControl {
public:
    explicit TCustomEdit(TComponent* AOwner);

    std::string Text() const override { return text_; }
    // Replaces the whole text (not a user edit: Modified stays), raises OnChange.
    void SetText(const std::string& s) override;

    int SelStart() const;
    void SetSelStart(int pos);
    int SelLength() const;
    void SetSelLength(int len);
    std::string SelText() const;
    // Replaces the selection (MaxLength applies); the caret ends after it.
    void SetSelText(const std::string& s);
    void SelectAll();
    void ClearSelection();
    void Clear();
    void CopyToClipboard();
    void CutToClipboard();
    void PasteFromClipboard();
    void Undo();
    bool CanUndo() const { return undoValid_; }

    bool Modified() const { return modified_; }
    void SetModified(bool m) { modified_ = m; }
    // 0: no limit. Limits what the user types or pastes, not SetText.
    int MaxLength() const { return maxLength_; }
    void SetMaxLength(int n) { maxLength_ = n < 0 ? 0 : n; }
    char PasswordChar() const { return passwordChar_; }
    void SetPasswordChar(char c);
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool r) { readOnly_ = r; }
    TEditCharCase CharCase() const { return charCase_; }
    void SetCharCase(TEditCharCase c);
    bool AutoSelect = true;
    bool HideSelection = true;
    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle s);

    TNotifyEvent OnChange;

    void WndProc(TMessage& Message) override;
    void DefaultHandler(TMessage& Message) override;

protected:
    virtual void Change();
    void Paint() override;
    void DoEnter() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void DblClick() override;

    // --- the edit engine, for descendants --------------------------------------------
    // Replaces the selection as the user would (read-only, MaxLength and
    // CharCase apply; Modified set); false when nothing could be inserted.
    bool UserReplaceSelection(const std::string& s);
    // Replaces characters [start, start+len) without any checks; no OnChange.
    void RawReplace(int start, int len, const std::string& s);
    void SetSelection(int anchor, int caret);
    int Caret() const { return caret_; }
    int Anchor() const { return anchor_; }
    // Handles a navigation key; true when it was one.
    bool NavigationKey(unsigned key, TShiftState shift);
    // Handles a character as the system edit does (Ctrl+C/V/X/Z, Backspace, text).
    void EditChar(char ch);
    void DeleteForward();
    void DeleteBackward();
    void SaveUndo();
    void UpdateCaret();
    void ScrollCaretIntoView();
    // Character offset nearest a client point.
    int PosFromPoint(int x, int y);
    // The caret's client point.
    TPoint PointFromPos(int pos);
    // What is shown: the password characters or the text.
    const std::string& DisplayText() const;
    int LineHeight();
    // Where the text is drawn (a combo's or spin edit's button is outside it).
    virtual TRect TextArea() const;

    // Rows as shown: [start, end) of each, without line ends; with WordWrap a
    // line longer than the text area is broken after its last blank that fits.
    // The rows are kept between calls: an edit re-wraps only the paragraph it
    // touches, and only until its rows meet the old ones again.
    const std::vector<std::pair<int, int>>& Rows() const;
    // The width of a row's text (kept with the rows).
    int RowWidth(int row) const;
    // The text changed: characters [start, start + oldLen) became newLen
    // others; start < 0: all of it. Descendants that keep something in step
    // with the text extend it.
    virtual void TextChanged(int start, int oldLen, int newLen);
    int LineOf(int pos) const;
    int LineStart(int line) const;
    int LineEnd(int line) const;
    int LineCount() const;

    bool multiLine_ = false;
    bool wantTabs_ = false;
    bool wantReturns_ = true;
    bool wordWrap_ = false;
    int topLine_ = 0;
    int scrollX_ = 0;

private:
    // The row cache and what it was wrapped for; a difference wraps anew.
    struct RowCache {
        std::vector<std::pair<int, int>> rows;
        std::vector<int> widths;  // -1: not measured yet
        bool valid = false;
        bool multiLine = false, wrap = false;
        int width = 0;
        char password = 0;
        std::size_t textSize = 0;
        TFont font;
        // The rows the last edit wrapped again (changedTo -1: all rows
        // below moved too); changedFrom -1: everything wrapped anew.
        int changedFrom = -1, changedTo = -1;
    };
    bool RowCacheCurrent() const;
    // Paints rows first..last again (last < 0: to the bottom).
    void InvalidateRows(int first, int last);
    void WrapAll() const;
    // Where the row starting at rs ends in a line ending at lineEnd.
    int NextRowEnd(TCanvas& c, const std::string& shown, int rs, int lineEnd, int avail) const;
    TCanvas& MeasureCanvas() const;

    mutable RowCache rowCache_;
    mutable std::string passwordText_;
    mutable std::unique_ptr<TCanvas> measure_;
    int anchor_ = 0, caret_ = 0;
    bool modified_ = false;
    int maxLength_ = 0;
    char passwordChar_ = 0;
    bool readOnly_ = false;
    TEditCharCase charCase_ = ecNormal;
    TBorderStyle borderStyle_ = bsSingle;
    std::string undoText_;
    int undoCaret_ = 0;
    bool undoValid_ = false;
    bool selecting_ = false;
};

class TEdit : public TCustomEdit {
public:
    explicit TEdit(TComponent* AOwner) : TCustomEdit(AOwner) {}
};

class TMemo : public TCustomEdit {
public:
    explicit TMemo(TComponent* AOwner);
    // The lines; changing them changes the text and the other way round.
    plat::StringList& Lines();
    bool WantTabs() const { return wantTabs_; }
    void SetWantTabs(bool w) { wantTabs_ = w; }
    bool WantReturns() const { return wantReturns_; }
    void SetWantReturns(bool w) { wantReturns_ = w; }
    // On by default, as in the class library.
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool w);
    TScrollStyle ScrollBars() const { return scrollBars_; }
    void SetScrollBars(TScrollStyle s);
    TAlignment Alignment = taLeftJustify;
    // Row and column of the caret (rows as shown).
    TPoint CaretPos() const;

    void WndProc(TMessage& Message) override;

protected:
    void Change() override;
    void TextChanged(int start, int oldLen, int newLen) override;

private:
    void UpdateScrollBars();
    int HorzScrollLimit();
    // Lines from the whole text, and where each starts in it.
    void SplitAllLines();
    plat::StringList lines_;
    // The text offset each entry of lines_ starts at, while they are in step.
    std::vector<int> lineStarts_;
    bool linesInStep_ = false;
    bool syncing_ = false;
    TScrollStyle scrollBars_ = ssNone;
};

}  // namespace gui
