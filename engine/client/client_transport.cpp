#include "engine/client/client_transport.h"

#include <algorithm>

namespace qv {

namespace {
ClientTransportFactory& Factory() {
    static ClientTransportFactory f;
    return f;
}
ILoginDialogService* g_login = nullptr;
}  // namespace

void SetClientTransportFactory(ClientTransportFactory factory) { Factory() = std::move(factory); }
const ClientTransportFactory& GetClientTransportFactory() { return Factory(); }

void SetLoginDialogService(ILoginDialogService* service) { g_login = service; }
ILoginDialogService* CurrentLoginDialogService() { return g_login; }

bool TQVLoginDialog::BitBtn1Click() {
    if (UserNameEdt.empty()) {
        focused = 1;
        ++beeps;
        return false;
    }
    if (PasswordEdt.empty()) {
        focused = 2;
        ++beeps;
        return false;
    }
    return true;
}

TqvRequestWriter& TqvRequestWriter::Str(const std::string& s, std::size_t width) {
    if (width == 0) return *this;
    std::uint8_t* f = Grow(width);
    std::memset(f, 0, width);
    const std::size_t n = std::min(s.size(), width - 1);
    f[0] = static_cast<std::uint8_t>(n);
    std::memcpy(f + 1, s.data(), n);
    return *this;
}

}  // namespace qv
