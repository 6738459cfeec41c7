#include "engine/client/message_box.h"

#include <atomic>
#include <cstdio>

#include "platform/core/codepage.h"

namespace qv {
namespace {

std::atomic<EngineMessageBoxService*> g_service{nullptr};

}  // namespace

void SetEngineMessageBoxService(EngineMessageBoxService* service) { g_service.store(service); }

EngineMessageBoxService* CurrentEngineMessageBoxService() { return g_service.load(); }

int EngineMessageBox(const std::string& caption, const std::string& text, unsigned flags) {
    if (EngineMessageBoxService* s = g_service.load()) return s->Show(caption, text, flags);
    // No display connected: the message must not be lost silently.
    std::fprintf(stderr, "[%s] %s\n", plat::AnsiToUtf8(caption).c_str(), plat::AnsiToUtf8(text).c_str());
    return kIdOk;
}

int RecordingMessageBoxService::Show(const std::string& caption, const std::string& text, unsigned flags) {
    shown.push_back({caption, text, flags});
    return answer;
}

ScopedEngineMessageBoxService::ScopedEngineMessageBoxService(EngineMessageBoxService& service)
    : previous_(g_service.load()) {
    g_service.store(&service);
}

ScopedEngineMessageBoxService::~ScopedEngineMessageBoxService() { g_service.store(previous_); }

}  // namespace qv
