// The word scan an edit control offers the spell checker, over its editing
// engine: the text word by word (the finder's word rules, hyperlink and
// hidden text left out), selecting the word last found, and replacing the
// selection as the control's own SetSelText does.
#pragma once

#include <string>

#include "richtext/view/text_finder.h"
#include "richtext/view/text_input.h"

namespace richtext {

class TJDWordScan {
public:
    explicit TJDWordScan(TJDRTFTextInput& engine) : engine_(engine) {}

    // Back to the start of the text.
    void ResetWordScan();
    // The next NextWord starts at the cursor.
    void WordScanFromCursor() { fromCursor_ = true; }
    // The next word (Windows-1252), empty at the end of the text.
    std::string NextWord();
    // Selects the word last found and moves the cursor to its end; the scan
    // goes on after it.
    void SelectFoundWord();

    int GetSelStart() const;
    int GetSelLength() const;
    void SetSelStart(int pos) { engine_.SetSelStart(pos); }
    void SetSelLength(int len) { engine_.SetSelLength(len); }
    // Replaces the selection by `s` (at most 255 characters) in the attribute
    // of its first character and selects the new text; without a selection
    // nothing is inserted and the cursor goes to 0. Empty `s` deletes.
    // False when the text refused the change.
    bool SetSelText(const std::string& s);

    TJDTextFinder& Finder() { return finder_; }
    TJDRTFTextInput& Engine() { return engine_; }

private:
    TJDRTFTextInput& engine_;
    TJDTextFinder finder_;
    bool started_ = false;
    bool fromCursor_ = false;
};

}  // namespace richtext
