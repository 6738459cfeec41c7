// The rich-text component: the edit control joined to its tool bar, ruler,
// status bar, an optional status label, two optional external scroll bars
// and the one find and one replace dialog that all editors share. Whichever
// editor has the focus owns the bars and the dialogs.
//
// The library's texts and language are process-wide, so every editor and bar
// speaks the same one. Opening a file reads it into a scratch text first, so
// a file the readers refuse leaves the editor's text as it was.
#pragma once

#include <array>
#include <iosfwd>
#include <memory>
#include <string>

#include "platform/core/streams.h"
#include "platform/gui/common_dialogs.h"
#include "platform/gui/scroll_controls.h"
#include "platform/gui/std_controls.h"
#include "richtext/controls/rtf_edit.h"
#include "richtext/controls/ruler.h"
#include "richtext/controls/status_bar.h"
#include "richtext/controls/tool_bar.h"

namespace richtext {

// --- the library's texts -------------------------------------------------------------------
// Ids of the English texts; the German ones are id + 100.
enum : int {
    jdtFileFilter = 56001,
    jdtAbortQuestion = 56002,
    jdtReady = 56003,
    jdtReading = 56004,
    jdtWriting = 56005,
    jdtFormatting = 56006,
    jdtFormatting2 = 56007,
    jdtInitMemory = 56008,
    jdtNoSelection = 56009,
    jdtRich = 56010,
    jdtPlain = 56011,
    jdtInternalError = 56012,
    jdtDeleteTabs = 56013,
};
// A text by its English id in the language in force; a German id (id + 100)
// is read as it is. Empty for an unknown id.
std::string JDRichTextString(int id);
// The language of every editor's texts, and the decimal character with it.
TJDToolLanguage JDLanguage();
void SetJDLanguage(TJDToolLanguage language);
char JDDecimalChar();

// The shared dialogs, created on first use with the application as owner.
void InitJDRichUnit();
gui::TFindDialog* JDFindDialog();
gui::TReplaceDialog* JDReplaceDialog();

class TJDCustomRichText;

// Through this object the engine reports cursor moves and changes to the
// bars. It pushes only what changed since the last report, so walking the
// cursor through a text with the bars attached stays cheap.
class TJDRichTextSetMode : public TJDSetModeControl {
public:
    explicit TJDRichTextSetMode(TJDCustomRichText& editor);
    ~TJDRichTextSetMode() override;

    void RefreshParagraph() override;
    void RefreshAttributes() override;
    void HeaderChanged() override;
    // The next reports push everything again (a bar was attached).
    void Forget();

    TJDRTFTextInput* Engine = nullptr;
    TJDCustomToolPanel* ToolBar = nullptr;
    TJDRuler* Ruler = nullptr;
    TJDCustomRichText* Editor = nullptr;
    bool SelectionPresent = false;

private:
    bool paraKnown_ = false, attrKnown_ = false;
    const TParagraph* par_ = nullptr;
    int first_ = 0, left_ = 0, right_ = 0, alignment_ = -1, parColor_ = -1;
    std::array<std::uint16_t, 4> tabs_{};
    TJDCharAttr attr_{};
    std::string fontName_;
};

class TJDCustomRichText : public TJDCustomRtfEdit,
                          public TJDBarClient,
                          public TJDStatusClient,
                          public TJDRulerClient {
public:
    explicit TJDCustomRichText(gui::TComponent* AOwner);
    ~TJDCustomRichText() override;

    // --- links ----------------------------------------------------------------------------
    TJDRuler* JDRuler() const { return ruler_; }
    void SetJDRuler(TJDRuler* ruler);
    TJDStatusBarBasic* StatusBar() const { return statusBar_; }
    void SetStatusBar(TJDStatusBarBasic* bar);
    TJDCustomToolPanel* JDToolBar() const { return toolBar_; }
    void SetJDToolBar(TJDCustomToolPanel* bar);
    gui::TLabel* StatusLabel() const { return statusLabel_; }
    void SetStatusLabel(gui::TLabel* label);
    gui::TScrollBar* ExternVerScrollBar() const { return verBar_; }
    void SetExternVerScrollBar(gui::TScrollBar* bar);
    gui::TScrollBar* ExternHorScrollBar() const { return horBar_; }
    void SetExternHorScrollBar(gui::TScrollBar* bar);

    gui::TNotifyEvent StartSpellCheck;
    std::string TemplateName;
    // Global to all editors.
    TJDToolLanguage Language() const { return JDLanguage(); }
    void SetLanguage(TJDToolLanguage language) { SetJDLanguage(language); }
    const std::string& FileName() const { return fileName_; }
    // The file's name without folder and extension.
    std::string DocumentTitle() const override;
    // 0 after a successful open or save, 11 when the text may not be
    // changed, 10 while an open dialog is pending.
    int ResultCode() const { return resultCode_; }
    TJDRichTextSetMode& SetMode() { return *setMode_; }
    bool HiddenStyle() const { return hiddenStyle_; }
    TCharacterAttr& GetHyperlinkTextAttr() { return HyperlinkTextAttr(); }
    // Folder the readers try for pictures the text names.
    std::string PictureBaseDir() const { return HTMLFilePath(); }
    void SetPictureBaseDir(const std::string& dir) { SetHTMLFilePath(dir); }

    // --- overridden operations of the edit control -------------------------------------
    void Reformat() override;
    void DoEditState(bool selectionMarked, bool clipboardNotEmpty) override;
    void UpdateHorzScrollBar() override;
    void UpdateVertScrollBar() override;
    void RulerChanged(TJdSelNr& kind, int changing, int group, int num) override;
    void IconSelection(TJdSelNr& typ, const std::string& name, int group, int num) override;
    void ListSelection(TJdSelNr& typ, const std::string& str, int num) override;
    void UpdateStatusBar() override;

    // --- own operations ----------------------------------------------------------------
    virtual void DetachBars();
    virtual void AttachBars();
    virtual void LoadFromStream(std::istream& in);
    virtual void SaveToStream(std::ostream& out);
    // The same over the platform's streams (fields, memory).
    virtual void LoadFromStream(plat::Stream& in);
    virtual void SaveToStream(plat::Stream& out);
    virtual void SaveSelectionToStream(std::ostream& out);
    // Raises ERichTextError (or the file error) on failure; the file name
    // becomes `name` only on success.
    virtual void SaveToFile(const std::string& name);
    // Raises on failure and leaves text and file name as they were.
    virtual void LoadFromFile(const std::string& name);

    void Clear();
    TJDTextFinder* GetFinder() override;
    void ShowFindDialog();
    void ShowReplaceDialog();
    void ShowStatusText(const std::string& s);
    // The tool bar's file actions (open, save, close): dialogs, questions and
    // errors go through the platform's dialog services.
    void FileOpen();
    void FileSave();
    void FileClose();

    void WndProc(gui::TMessage& Message) override;

    // Gives the ruler this editor, the header, its place and scroll offset
    // (and the caret paragraph's indents when asked).
    void ConnectRuler(bool withIndents);
    // The ruler's x of the text's left edge before scrolling.
    int RulerPageLeft() const;
    // The set-mode object follows the caret's hidden style.
    void SetHiddenStyleFromCaret(bool hidden);

    // The shared dialogs' handlers (public so a form may call them).
    void DialogFind(gui::TObject* Sender);
    void DialogReplace(gui::TObject* Sender);

protected:
    void Notification(gui::TComponent* AComponent, gui::TOperation Operation) override;

private:
    void StyleBit(std::uint16_t bit, bool on);
    void ExternScroll(bool vertical, gui::TScrollCode code, int pos);
    void ShowError(const std::string& what);
    void PrepareFinder(const gui::TFindDialog& dialog);
    void UpdateRulerLink();
    std::array<gui::TColor, 16>& ColorTable();

    std::unique_ptr<TJDTextFinder> dialogFinder_;
    bool finderOwned_ = true;
    std::unique_ptr<TJDRichTextSetMode> setMode_;
    bool hiddenStyle_ = false;
    std::string fileName_;
    int resultCode_ = 0;
    TJDRuler* ruler_ = nullptr;
    TJDStatusBarBasic* statusBar_ = nullptr;
    TJDCustomToolPanel* toolBar_ = nullptr;
    gui::TLabel* statusLabel_ = nullptr;
    gui::TScrollBar* verBar_ = nullptr;
    gui::TScrollBar* horBar_ = nullptr;
    std::array<gui::TColor, 16> colors_{};
};

class TJDRichText : public TJDCustomRichText {
public:
    using TJDCustomRichText::TJDCustomRichText;
};

}  // namespace richtext
