// The one way the engine shows a message box. The engine never needs a
// display: the program connects its dialog service here, tests install a
// recording service, and without either the text goes to stderr.
#pragma once

#include <string>
#include <vector>

namespace qv {

// Flags and answers with their Win32 values, as the callers pass them.
constexpr unsigned kMbOk = 0x0000;
constexpr unsigned kMbIconInformation = 0x0040;
constexpr unsigned kMbTaskModal = 0x2000;
constexpr int kIdOk = 1;

class EngineMessageBoxService {
public:
    virtual ~EngineMessageBoxService() = default;
    // Blocks until the box is closed; returns the button pressed (kIdOk ...).
    virtual int Show(const std::string& caption, const std::string& text, unsigned flags) = 0;
};

// Installs `service` (not owned); nullptr restores the stderr fallback.
void SetEngineMessageBoxService(EngineMessageBoxService* service);
EngineMessageBoxService* CurrentEngineMessageBoxService();

// Caption and text are Windows-1252.
int EngineMessageBox(const std::string& caption, const std::string& text, unsigned flags);

// Records every box and answers with a fixed button.
class RecordingMessageBoxService : public EngineMessageBoxService {
public:
    struct Entry {
        std::string caption;
        std::string text;
        unsigned flags = 0;
    };
    int Show(const std::string& caption, const std::string& text, unsigned flags) override;

    std::vector<Entry> shown;
    int answer = kIdOk;
};

// Installs a service for the lifetime of a scope and restores the previous one.
class ScopedEngineMessageBoxService {
public:
    explicit ScopedEngineMessageBoxService(EngineMessageBoxService& service);
    ~ScopedEngineMessageBoxService();
    ScopedEngineMessageBoxService(const ScopedEngineMessageBoxService&) = delete;
    ScopedEngineMessageBoxService& operator=(const ScopedEngineMessageBoxService&) = delete;

private:
    EngineMessageBoxService* previous_;
};

}  // namespace qv
