// The one way the engine shows a message box: through the platform's dialog
// service (platform/core/dialog_service.h, no Qt), the same seam every other
// box of the program takes. The program installs its Qt dialogs there; tests
// install a recording service; with neither, the headless default prints the
// box on stderr and answers with its default button.
#pragma once

#include "platform/core/dialog_service.h"

#include <string>
#include <vector>

namespace qv {

// Flags and answers with their Win32 values, as the callers pass them.
constexpr unsigned kMbOk = gui::MB_OK;
constexpr unsigned kMbIconInformation = gui::MB_ICONINFORMATION;
constexpr unsigned kMbTaskModal = gui::MB_TASKMODAL;
constexpr int kIdOk = gui::IDOK;

// Caption and text are Windows-1252. Returns the button pressed (kIdOk ...);
// kIdOk without a box while the calling thread has them turned off.
int EngineMessageBox(const std::string& caption, const std::string& text, unsigned flags);

// Whether EngineMessageBox shows its boxes on the calling thread (on by
// default). Per thread, not per process: a caller that handles the result
// codes itself turns them off without silencing anyone else.
void SetEngineMessagesShown(bool shown);
bool EngineMessagesShown();

// A dialog service for tests that records every box and answers with a fixed
// button.
class RecordingMessageBoxService : public gui::DialogService {
public:
    struct Entry {
        std::string caption;
        std::string text;
        unsigned flags = 0;
    };
    gui::DialogReply Run(const gui::DialogRequest& request) override;

    std::vector<Entry> shown;
    int answer = kIdOk;
};

// Installs a recording service for the lifetime of a scope and restores the
// one before it.
class ScopedEngineMessageBoxService {
public:
    explicit ScopedEngineMessageBoxService(RecordingMessageBoxService& service) : scope_(service) {}

private:
    gui::ScopedDialogService scope_;
};

}  // namespace qv
