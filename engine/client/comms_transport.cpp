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
    // Replies come back whole, whatever their length; a reply in parts has
    // been taken apart on arrival and the part with this request's own id
    // is the one that comes back here. A request with data goes marked as
    // a stream, as it always has.
    const bool noData = !requestIsStream && length == 0;
    return comms_->SendRequestBytes(messageId, noData ? nullptr : request, noData ? 0 : length, !noData, reply);
}

void InstallCommsTransport() {
    SetClientTransportFactory(
        [](const std::string& clientName) { return std::make_unique<TqvCommsTransport>(clientName); });
}

}  // namespace qv
