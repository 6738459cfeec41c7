// What the spell checker needs from the controls whose text it checks, and
// from the user interface around it. The checker itself has no Qt: the
// user-interface library installs a TSpellEnvironment that shows its forms,
// and tests install a scripted one.
#pragma once

#include <memory>
#include <string>

#include "platform/core/component.h"

namespace spell {

// A standard edit control's text (Windows-1252) and selection.
class IEditText {
public:
    virtual ~IEditText() = default;
    virtual std::string GetText() const = 0;
    virtual int GetSelStart() const = 0;
    virtual int GetSelLength() const = 0;
    virtual void SetSelection(int start, int length) = 0;
    virtual void ReplaceSelection(const std::string& text) = 0;
    virtual bool GetModified() const = 0;
    virtual void SetModified(bool modified) = 0;
};

// A rich-text edit control's word scan and selection. The rich-text edit
// control implements it (the checker finds it with dynamic_cast on the
// control); TEngineWordSource implements it over a bare engine.
class IRichEditWordScan {
public:
    virtual ~IRichEditWordScan() = default;
    virtual void ResetWordScan() = 0;
    virtual void WordScanFromCursor() = 0;
    // The next word (Windows-1252); empty at the end of the text.
    virtual std::string NextWord() = 0;
    virtual void SelectFoundWord() = 0;
    virtual void SetSelText(const std::string& text) = 0;
    virtual int GetSelStart() const = 0;
    virtual int GetSelLength() const = 0;
    virtual void SetSelStart(int pos) = 0;
    virtual void SetSelLength(int len) = 0;
    virtual bool GetModified() const = 0;
    virtual void SetModified(bool modified) = 0;
};

// The word-count window: one for all buffers.
class IWordCountView {
public:
    virtual ~IWordCountView() = default;
    virtual bool Visible() const = 0;
    virtual void ShowCounting() = 0;
    virtual void SetCounts(int total, int unique) = 0;
};

class ISpellDialog;
enum TDialogTypes { dtWordPerfect, dtMSWord, dtWordPro96 };

class TSpellEnvironment {
public:
    virtual ~TSpellEnvironment() = default;
    // Handles what is pending, then returns.
    virtual void ProcessMessages() {}
    // Waits for one event and handles it (the loop waiting for the user).
    virtual void WaitMessage() {}
    virtual void SetHourGlass(bool /*on*/) {}
    virtual void DisableTaskWindows(ISpellDialog* /*except*/) {}
    virtual void EnableTaskWindows() {}
    // The dialog form of a layout; nullptr when there is no user interface.
    virtual std::unique_ptr<ISpellDialog> CreateDialog(TDialogTypes style);
    // The edit-control view of a control; nullptr when it is none.
    virtual std::unique_ptr<IEditText> EditTextOf(plat::TComponent* /*control*/) { return nullptr; }
    virtual bool IsWindowedControl(plat::TComponent* /*control*/) { return false; }
    // Brings a control into view (pages of notebooks it sits on).
    virtual void RevealControl(plat::TComponent* /*control*/) {}
    virtual IWordCountView* WordCountView() { return nullptr; }
};

// The environment in force; a headless one until another is installed.
TSpellEnvironment& SpellEnvironment();
// Installs `env` (not owned); nullptr restores the headless one.
void SetSpellEnvironment(TSpellEnvironment* env);

}  // namespace spell
