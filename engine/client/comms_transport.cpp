#include "engine/client/comms_transport.h"

#include "platform/core/streams.h"

namespace qv {

TqvCommsTransport::TqvCommsTransport(const std::string& clientName)
    : comms_(std::make_unique<TqvClientCommsEngine>(clientName)) {
    comms_->StartInProcessServer();
}

TqvCommsTransport::~TqvCommsTransport() {
    if (comms_->IsConnected()) comms_->Detach();
}

DBIResult TqvCommsTransport::Attach(const std::string&, const std::string& user, const std::string& password) {
    // Inside the program there is one server, whatever name the settings give.
    return comms_->Attach(kQvInProcessServerName, user, password);
}

DBIResult TqvCommsTransport::SendRequest(std::uint32_t messageId, const std::uint8_t* request, std::uint32_t length,
                                         bool requestIsStream, std::vector<std::uint8_t>& reply) {
    reply.clear();
    // Replies come back whole into a stream, whatever their length; the
    // request goes as a stream too when it was built as one.
    plat::MemoryStream out;
    plat::MemoryStream in(std::string(reinterpret_cast<const char*>(request), request != nullptr ? length : 0));
    const bool noData = !requestIsStream && length == 0;
    DBIResult rc = comms_->SendRequestStream(messageId, noData ? nullptr : &in, &out);
    if (rc != 0) return rc;
    // A reply in parts has been taken apart on arrival; the part with this
    // request's own id is the one that came back here.
    reply.assign(out.Bytes().begin(), out.Bytes().end());
    return 0;
}

void InstallCommsTransport() {
    SetClientTransportFactory(
        [](const std::string& clientName) { return std::make_unique<TqvCommsTransport>(clientName); });
}

}  // namespace qv
