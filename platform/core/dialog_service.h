// The one way the system asks the user something in a standard box: message
// boxes, the class library's message dialogs, ShowMessage and input boxes.
//
// Every call builds a DialogRequest and hands it to the service in force. The
// program installs a service that shows real Qt dialogs; tests install a
// ScriptedDialogService that answers from a script and records every request.
// It lives in platform/core and carries no Qt, so code below the user
// interface (the table engine) can raise boxes through it too.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace gui {

// --- Win32 message-box flags and results ------------------------------------
constexpr unsigned MB_OK = 0x0000;
constexpr unsigned MB_OKCANCEL = 0x0001;
constexpr unsigned MB_ABORTRETRYIGNORE = 0x0002;
constexpr unsigned MB_YESNOCANCEL = 0x0003;
constexpr unsigned MB_YESNO = 0x0004;
constexpr unsigned MB_RETRYCANCEL = 0x0005;
constexpr unsigned MB_ICONHAND = 0x0010;
constexpr unsigned MB_ICONSTOP = MB_ICONHAND;
constexpr unsigned MB_ICONERROR = MB_ICONHAND;
constexpr unsigned MB_ICONQUESTION = 0x0020;
constexpr unsigned MB_ICONEXCLAMATION = 0x0030;
constexpr unsigned MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr unsigned MB_ICONASTERISK = 0x0040;
constexpr unsigned MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr unsigned MB_DEFBUTTON1 = 0x0000;
constexpr unsigned MB_DEFBUTTON2 = 0x0100;
constexpr unsigned MB_DEFBUTTON3 = 0x0200;
constexpr unsigned MB_APPLMODAL = 0x0000;
constexpr unsigned MB_SYSTEMMODAL = 0x1000;
constexpr unsigned MB_TASKMODAL = 0x2000;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// --- the class library's dialog types, buttons and modal results -----------
enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

enum TMsgDlgBtn { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp };
// A set of TMsgDlgBtn as bits (1 << button).
using TMsgDlgButtons = std::uint32_t;
constexpr TMsgDlgButtons Buttons(std::initializer_list<TMsgDlgBtn> list) {
    TMsgDlgButtons set = 0;
    for (TMsgDlgBtn b : list) set |= 1u << b;
    return set;
}
constexpr TMsgDlgButtons mbYesNoCancel = (1u << mbYes) | (1u << mbNo) | (1u << mbCancel);
constexpr TMsgDlgButtons mbOKCancel = (1u << mbOK) | (1u << mbCancel);
constexpr TMsgDlgButtons mbAbortRetryIgnore = (1u << mbAbort) | (1u << mbRetry) | (1u << mbIgnore);

using TModalResult = int;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = IDOK;
constexpr TModalResult mrCancel = IDCANCEL;
constexpr TModalResult mrAbort = IDABORT;
constexpr TModalResult mrRetry = IDRETRY;
constexpr TModalResult mrIgnore = IDIGNORE;
constexpr TModalResult mrYes = IDYES;
constexpr TModalResult mrNo = IDNO;
constexpr TModalResult mrAll = mrNo + 1;
constexpr TModalResult mrNoToAll = mrAll + 1;
constexpr TModalResult mrYesToAll = mrNoToAll + 1;

// --- requests ----------------------------------------------------------------
enum class DialogKind { MessageBox, MessageDlg, ShowMessage, InputQuery };
enum class DialogIcon { None, Warning, Error, Information, Question };

struct DialogButton {
    std::string caption;  // Windows-1252, with '&' marking the accelerator
    int result = 0;       // what the call returns when this button is chosen
};

struct DialogRequest {
    DialogKind kind = DialogKind::MessageBox;
    std::string caption;
    std::string text;
    DialogIcon icon = DialogIcon::None;
    std::vector<DialogButton> buttons;
    int defaultButton = 0;  // index into buttons
    int cancelButton = -1;  // index chosen by Esc or the close box; -1: none
    std::string value;      // input boxes: the initial text
    unsigned flags = 0;     // message boxes: the MB_* flags as the caller passed them
};

struct DialogReply {
    int result = 0;     // one of the buttons' results
    std::string value;  // input boxes: the edited text
};

class DialogService {
public:
    virtual ~DialogService() = default;
    virtual DialogReply Run(const DialogRequest& request) = 0;
};

// The service in force. Without one installed, requests go to a headless
// service that prints them on stderr and answers with the default button.
DialogService& CurrentDialogService();
// Installs `service` (not owned); nullptr restores the headless default.
void SetDialogService(DialogService* service);
// Caption of ShowMessage and of message boxes without one: the application's title.
void SetDialogApplicationTitle(const std::string& title);
const std::string& DialogApplicationTitle();

// --- the calls ------------------------------------------------------------------
// Win32 MessageBox: returns IDOK, IDCANCEL, ... An empty caption reads "Error"
// as on Win32.
int MessageBox(const std::string& text, const std::string& caption, unsigned flags);
// The class library's message dialog: returns an mr* value.
int MessageDlg(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons, long helpCtx = 0);
void ShowMessage(const std::string& msg);
// True when the user confirmed; value then holds the edited text.
bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value);
// The edited text, or `defaultValue` when cancelled.
std::string InputBox(const std::string& caption, const std::string& prompt, const std::string& defaultValue);

// The request that each call would make; exposed so the Qt service and tests
// agree on captions and buttons.
DialogRequest MakeMessageBoxRequest(const std::string& text, const std::string& caption, unsigned flags);
DialogRequest MakeMessageDlgRequest(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons);

// A test double: answers from a script, in order, and records every request.
// An unscripted request is answered with its default button (and its initial
// value) and counted, so a test can insist that nothing unexpected was asked.
class ScriptedDialogService : public DialogService {
public:
    DialogReply Run(const DialogRequest& request) override;

    // Queues the answer for the next request: a button result.
    void Answer(int result) { script_.push_back({result, {}, false}); }
    // Queues the answer for the next input box.
    void AnswerInput(const std::string& value, bool ok = true) {
        script_.push_back({ok ? IDOK : IDCANCEL, value, true});
    }
    const std::vector<DialogRequest>& Requests() const { return requests_; }
    const DialogRequest& Last() const { return requests_.back(); }
    int Unscripted() const { return unscripted_; }
    std::size_t Pending() const { return script_.size(); }
    void Clear() {
        requests_.clear();
        script_.clear();
        unscripted_ = 0;
    }

private:
    struct Scripted {
        int result;
        std::string value;
        bool hasValue;
    };
    std::deque<Scripted> script_;
    std::vector<DialogRequest> requests_;
    int unscripted_ = 0;
};

// Installs a service for the lifetime of a scope.
class ScopedDialogService {
public:
    explicit ScopedDialogService(DialogService& service);
    ~ScopedDialogService();
    ScopedDialogService(const ScopedDialogService&) = delete;
    ScopedDialogService& operator=(const ScopedDialogService&) = delete;

private:
    DialogService* previous_;
};

}  // namespace gui
