#include "engine/client/message_box.h"

namespace qv {

int EngineMessageBox(const std::string& caption, const std::string& text, unsigned flags) {
    return gui::MessageBox(text, caption, flags);
}

gui::DialogReply RecordingMessageBoxService::Run(const gui::DialogRequest& request) {
    shown.push_back({request.caption, request.text, request.flags});
    return {answer, request.value};
}

}  // namespace qv
