#include "platform/core/dialog_service.h"

#include <cstdio>

namespace gui {

namespace {

// Headless default: nobody can answer, so say what was asked where a person
// running the program will see it, and take the default button.
class HeadlessDialogService final : public DialogService {
public:
    DialogReply Run(const DialogRequest& request) override {
        std::fprintf(stderr, "[%s] %s\n", request.caption.c_str(), request.text.c_str());
        DialogReply reply;
        if (!request.buttons.empty() && request.defaultButton >= 0 &&
            request.defaultButton < static_cast<int>(request.buttons.size()))
            reply.result = request.buttons[request.defaultButton].result;
        reply.value = request.value;
        return reply;
    }
};

HeadlessDialogService g_headless;
DialogService* g_service = nullptr;
std::string g_title = "Tavrin";

DialogIcon IconOfFlags(unsigned flags) {
    switch (flags & 0xF0) {
    case MB_ICONHAND: return DialogIcon::Error;
    case MB_ICONQUESTION: return DialogIcon::Question;
    case MB_ICONEXCLAMATION: return DialogIcon::Warning;
    case MB_ICONASTERISK: return DialogIcon::Information;
    default: return DialogIcon::None;
    }
}

int IndexOfResult(const std::vector<DialogButton>& buttons, int result) {
    for (std::size_t i = 0; i < buttons.size(); ++i)
        if (buttons[i].result == result) return static_cast<int>(i);
    return -1;
}

}  // namespace

DialogService& CurrentDialogService() { return g_service ? *g_service : g_headless; }
void SetDialogService(DialogService* service) { g_service = service; }
void SetDialogApplicationTitle(const std::string& title) { g_title = title; }
const std::string& DialogApplicationTitle() { return g_title; }

DialogRequest MakeMessageBoxRequest(const std::string& text, const std::string& caption, unsigned flags) {
    DialogRequest r;
    r.kind = DialogKind::MessageBox;
    r.caption = caption.empty() ? std::string("Error") : caption;
    r.text = text;
    r.icon = IconOfFlags(flags);
    r.flags = flags;
    switch (flags & 0x0F) {
    case MB_OKCANCEL: r.buttons = {{"OK", IDOK}, {"Cancel", IDCANCEL}}; break;
    case MB_ABORTRETRYIGNORE: r.buttons = {{"&Abort", IDABORT}, {"&Retry", IDRETRY}, {"&Ignore", IDIGNORE}}; break;
    case MB_YESNOCANCEL: r.buttons = {{"&Yes", IDYES}, {"&No", IDNO}, {"Cancel", IDCANCEL}}; break;
    case MB_YESNO: r.buttons = {{"&Yes", IDYES}, {"&No", IDNO}}; break;
    case MB_RETRYCANCEL: r.buttons = {{"&Retry", IDRETRY}, {"Cancel", IDCANCEL}}; break;
    default: r.buttons = {{"OK", IDOK}}; break;
    }
    int def = static_cast<int>((flags >> 8) & 0x0F);
    r.defaultButton = def < static_cast<int>(r.buttons.size()) ? def : 0;
    // Esc answers Cancel where there is one; a lone OK box closes with OK.
    r.cancelButton = IndexOfResult(r.buttons, IDCANCEL);
    if (r.cancelButton < 0 && r.buttons.size() == 1) r.cancelButton = 0;
    return r;
}

DialogRequest MakeMessageDlgRequest(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons) {
    static const char* const kCaptions[] = {"Warning", "Error", "Information", "Confirm", ""};
    static const DialogIcon kIcons[] = {DialogIcon::Warning, DialogIcon::Error, DialogIcon::Information,
                                        DialogIcon::Question, DialogIcon::None};
    static const char* const kButtonCaptions[] = {"&Yes", "&No", "OK", "Cancel", "&Abort", "&Retry",
                                                  "&Ignore", "&All", "N&o to All", "Yes to &All", "&Help"};
    static const int kResults[] = {mrYes, mrNo, mrOk, mrCancel, mrAbort, mrRetry, mrIgnore,
                                   mrAll, mrNoToAll, mrYesToAll, 0};
    DialogRequest r;
    r.kind = DialogKind::MessageDlg;
    r.caption = type == mtCustom ? g_title : kCaptions[type];
    r.text = msg;
    r.icon = kIcons[type];
    for (int b = mbYes; b <= mbHelp; ++b)
        if (buttons & (1u << b)) r.buttons.push_back({kButtonCaptions[b], kResults[b]});
    if (r.buttons.empty()) r.buttons.push_back({"OK", mrOk});
    // The default is OK or Yes when present, else the first button; Esc is
    // Cancel, else No, else OK.
    r.defaultButton = 0;
    int def = IndexOfResult(r.buttons, mrOk);
    if (def < 0) def = IndexOfResult(r.buttons, mrYes);
    if (def >= 0) r.defaultButton = def;
    r.cancelButton = IndexOfResult(r.buttons, mrCancel);
    if (r.cancelButton < 0) r.cancelButton = IndexOfResult(r.buttons, mrNo);
    if (r.cancelButton < 0) r.cancelButton = IndexOfResult(r.buttons, mrOk);
    return r;
}

int MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
    return CurrentDialogService().Run(MakeMessageBoxRequest(text, caption, flags)).result;
}

int MessageDlg(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons, long /*helpCtx*/) {
    return CurrentDialogService().Run(MakeMessageDlgRequest(msg, type, buttons)).result;
}

void ShowMessage(const std::string& msg) {
    DialogRequest r;
    r.kind = DialogKind::ShowMessage;
    r.caption = g_title;
    r.text = msg;
    r.buttons = {{"OK", mrOk}};
    r.cancelButton = 0;
    CurrentDialogService().Run(r);
}

bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value) {
    DialogRequest r;
    r.kind = DialogKind::InputQuery;
    r.caption = caption;
    r.text = prompt;
    r.value = value;
    r.buttons = {{"OK", mrOk}, {"Cancel", mrCancel}};
    r.cancelButton = 1;
    DialogReply reply = CurrentDialogService().Run(r);
    if (reply.result != mrOk) return false;
    value = reply.value;
    return true;
}

std::string InputBox(const std::string& caption, const std::string& prompt, const std::string& defaultValue) {
    std::string value = defaultValue;
    return InputQuery(caption, prompt, value) ? value : defaultValue;
}

DialogReply ScriptedDialogService::Run(const DialogRequest& request) {
    requests_.push_back(request);
    DialogReply reply;
    if (script_.empty()) {
        ++unscripted_;
        reply.result = request.buttons.empty() ? 0 : request.buttons[request.defaultButton].result;
        reply.value = request.value;
        return reply;
    }
    Scripted s = script_.front();
    script_.pop_front();
    reply.result = s.result;
    reply.value = s.hasValue ? s.value : request.value;
    return reply;
}

ScopedDialogService::ScopedDialogService(DialogService& service) : previous_(g_service) { g_service = &service; }
ScopedDialogService::~ScopedDialogService() { g_service = previous_; }

}  // namespace gui
