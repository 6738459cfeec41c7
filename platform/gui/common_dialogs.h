// The common dialogs: open and save, font, colour, print, printer setup
// (modal: Execute returns true on OK), and find and replace (modeless:
// Execute shows them; their buttons raise OnFind and OnReplace with the
// options set).
//
// The modal ones go through a service, as the message boxes do: the
// program's shows Qt's dialogs, and tests install a scripted one that
// answers from a queue and records what was asked.
#pragma once

#include "platform/core/string_list.h"
#include "platform/gui/graphics.h"

#include <deque>
#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace gui {

// --- the service ---------------------------------------------------------------------
enum class CommonDialogKind { Open, Save, Font, Color, Print, PrinterSetup };

struct CommonDialogRequest {
    CommonDialogKind kind = CommonDialogKind::Open;
    std::string title;
    // Files.
    std::string filter;  // "Text files (*.txt)|*.txt|All files|*.*"
    int filterIndex = 1;
    std::string initialDir;
    std::string defaultExt;
    std::string fileName;
    bool multiSelect = false;
    bool fileMustExist = false;
    bool overwritePrompt = false;
    // Font.
    std::string fontName;
    int fontSize = 0;
    unsigned fontStyle = 0;
    TColor fontColor = clBlack;
    // Colour.
    TColor color = clBlack;
    // Print.
    int copies = 1;
    int fromPage = 0, toPage = 0, minPage = 0, maxPage = 0;
    int printRange = 0;  // TPrintRange
};

struct CommonDialogReply {
    bool ok = false;
    std::vector<std::string> files;  // chosen names, full paths
    int filterIndex = 1;
    std::string fontName;
    int fontSize = 0;
    unsigned fontStyle = 0;
    TColor fontColor = clBlack;
    TColor color = clBlack;
    int copies = 1;
    int fromPage = 0, toPage = 0;
    int printRange = 0;
};

class CommonDialogService {
public:
    virtual ~CommonDialogService() = default;
    virtual CommonDialogReply Run(const CommonDialogRequest& request) = 0;
};

// Answers in order; an unscripted request is cancelled and counted.
class ScriptedCommonDialogService : public CommonDialogService {
public:
    CommonDialogReply Run(const CommonDialogRequest& request) override;
    void Answer(const CommonDialogReply& reply) { script_.push_back(reply); }
    // OK with one file.
    void AnswerFile(const std::string& path, int filterIndex = 1);
    void AnswerCancel() { script_.push_back({}); }
    const std::vector<CommonDialogRequest>& Requests() const { return requests_; }
    int Unscripted() const { return unscripted_; }

private:
    std::deque<CommonDialogReply> script_;
    std::vector<CommonDialogRequest> requests_;
    int unscripted_ = 0;
};

// The service in force (not owned); nullptr restores Qt's dialogs.
void SetCommonDialogService(CommonDialogService* service);
CommonDialogService& CurrentCommonDialogService();

// --- the dialogs ----------------------------------------------------------------------
class TCommonDialog : public TComponent {
public:
    explicit TCommonDialog(TComponent* AOwner) : TComponent(AOwner) {}
    virtual bool Execute() = 0;
    // The dialog's Help button: the application's help for HelpContext
    // (its contents when 0), through its OnHelp and help hook.
    virtual void ShowHelp();
    long HelpContext = 0;
    bool Ctl3D = true;
};

using TOpenOptions = unsigned;
constexpr TOpenOptions ofReadOnly = 1u << 0, ofOverwritePrompt = 1u << 1, ofHideReadOnly = 1u << 2,
                       ofNoChangeDir = 1u << 3, ofShowHelp = 1u << 4, ofNoValidate = 1u << 5,
                       ofAllowMultiSelect = 1u << 6, ofExtensionDifferent = 1u << 7, ofPathMustExist = 1u << 8,
                       ofFileMustExist = 1u << 9, ofCreatePrompt = 1u << 10, ofShareAware = 1u << 11,
                       ofNoReadOnlyReturn = 1u << 12, ofNoTestFileCreate = 1u << 13;

class TOpenDialog : public TCommonDialog {
public:
    explicit TOpenDialog(TComponent* AOwner);
    // On OK: FileName is the (first) chosen file, Files all of them, and a
    // name without an extension gets DefaultExt.
    bool Execute() override;
    std::string FileName;
    plat::StringList& Files() { return files_; }
    std::string Filter;
    int FilterIndex = 1;
    std::string DefaultExt;
    std::string InitialDir;
    std::string Title;
    TOpenOptions Options = 0;

protected:
    virtual CommonDialogKind Kind() const { return CommonDialogKind::Open; }

private:
    plat::StringList files_;
};

class TSaveDialog : public TOpenDialog {
public:
    explicit TSaveDialog(TComponent* AOwner) : TOpenDialog(AOwner) {}

protected:
    CommonDialogKind Kind() const override { return CommonDialogKind::Save; }
};

using TFontDialogOptions = unsigned;
constexpr TFontDialogOptions fdAnsiOnly = 1, fdTrueTypeOnly = 2, fdEffects = 4, fdFixedPitchOnly = 8,
                             fdForceFontExist = 16, fdNoFaceSel = 32, fdNoSizeSel = 64, fdNoStyleSel = 128,
                             fdLimitSize = 256, fdShowHelp = 512, fdApplyButton = 1024;

class TFontDialog : public TCommonDialog {
public:
    explicit TFontDialog(TComponent* AOwner) : TCommonDialog(AOwner) {}
    bool Execute() override;
    TFont& Font() { return font_; }
    TFontDialogOptions Options = fdEffects;
    int MinFontSize = 0, MaxFontSize = 0;

private:
    TFont font_;
};

class TColorDialog : public TCommonDialog {
public:
    explicit TColorDialog(TComponent* AOwner) : TCommonDialog(AOwner) {}
    bool Execute() override;
    TColor Color = clBlack;
    plat::StringList CustomColors;
};

enum TPrintRange { prAllPages, prSelection, prPageNums };

class TPrintDialog : public TCommonDialog {
public:
    explicit TPrintDialog(TComponent* AOwner) : TCommonDialog(AOwner) {}
    // On OK the printer takes the copies.
    bool Execute() override;
    int Copies = 1;
    int FromPage = 0, ToPage = 0, MinPage = 0, MaxPage = 0;
    TPrintRange PrintRange = prAllPages;
    bool Collate = false;
    bool PrintToFile = false;
};

class TPrinterSetupDialog : public TCommonDialog {
public:
    explicit TPrinterSetupDialog(TComponent* AOwner) : TCommonDialog(AOwner) {}
    bool Execute() override;
};

using TFindOptions = unsigned;
constexpr TFindOptions frDown = 1u << 0, frFindNext = 1u << 1, frHideMatchCase = 1u << 2, frHideWholeWord = 1u << 3,
                       frHideUpDown = 1u << 4, frMatchCase = 1u << 5, frDisableMatchCase = 1u << 6,
                       frDisableUpDown = 1u << 7, frDisableWholeWord = 1u << 8, frReplace = 1u << 9,
                       frReplaceAll = 1u << 10, frWholeWord = 1u << 11, frShowHelp = 1u << 12;

class TFindDialog : public TCommonDialog {
public:
    explicit TFindDialog(TComponent* AOwner);
    ~TFindDialog() override;
    // Shows the dialog (or brings it forward) and returns at once.
    bool Execute() override;
    void CloseDialog();
    bool Showing() const;
    std::string FindText;
    TFindOptions Options = frDown;
    TPoint Position{-1, -1};  // -1: the system's choice
    TNotifyEvent OnFind;
    TNotifyEvent OnShow;
    TNotifyEvent OnClose;
    // The dialog window (created by Execute; nullptr before).
    QWidget* Window() const;

    // --- raised by the window's buttons ---------------------------------------------------
    virtual void Find();
    virtual void Replace();

protected:
    virtual bool IsReplace() const { return false; }
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

class TReplaceDialog : public TFindDialog {
public:
    explicit TReplaceDialog(TComponent* AOwner) : TFindDialog(AOwner) {}
    std::string ReplaceText;
    TNotifyEvent OnReplace;
    void Replace() override;

protected:
    bool IsReplace() const override { return true; }
};

}  // namespace gui
