#include "engine/client/message_box.h"

namespace qv {

namespace {
thread_local bool tShown = true;
}  // namespace

int EngineMessageBox(const std::string& caption, const std::string& text, unsigned flags) {
    if (!tShown) return kIdOk;
    return gui::MessageBox(text, caption, flags);
}

void SetEngineMessagesShown(bool shown) { tShown = shown; }
bool EngineMessagesShown() { return tShown; }

gui::DialogReply RecordingMessageBoxService::Run(const gui::DialogRequest& request) {
    shown.push_back({request.caption, request.text, request.flags});
    return {answer, request.value};
}

}  // namespace qv
