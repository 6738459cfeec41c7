// A transport for tests that carries nothing: connections are made by hand,
// sent packets and datagrams are recorded, and received packets are injected
// through Deliver (scrambled first, as a real peer with the same key would).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/comms/comms_protocol.h"

namespace qvtest {

class FakeProtocol : public qv::TqvBaseCommsProtocol {
public:
    FakeProtocol(std::string_view name, std::uint8_t role) : TqvBaseCommsProtocol(name, role) {}

    static FakeProtocol*& Last() {
        static FakeProtocol* last = nullptr;
        return last;
    }
    static std::unique_ptr<qv::TqvBaseCommsProtocol> Create(std::string_view name, std::uint8_t role) {
        auto p = std::make_unique<FakeProtocol>(name, role);
        Last() = p.get();
        return p;
    }

    void StartUp() override { ++startUps; }
    void Call(std::string_view, std::uint32_t& connId) override { connId = 0; }
    void HangUp(std::uint32_t connId) override {
        qv::TqvConnection* c = FindConnection(connId);
        if (!c || c->hangingUp) return;
        c->hangingUp = true;
        hungUp.push_back(connId);
        DoHangUp(connId);
        RemoveConnection(connId);
    }
    void Listen() override { listening = true; }
    std::intptr_t Send(std::uint32_t connId, const void* data, std::uint32_t len) override {
        if (!FindConnection(connId)) return 0;
        // Scrambled on the wire and descrambled by the peer: recorded as sent.
        std::string bytes(static_cast<const char*>(data), len);
        sent.push_back({connId, bytes});
        if (onSend) onSend(connId, bytes);
        return 1;
    }
    void StartDatagrams() override {}
    void SendDatagram(std::string_view target, const void* data, std::uint32_t len) override {
        datagrams.push_back({std::string(target), std::string(static_cast<const char*>(data), len)});
    }
    void StopDatagrams() override {}
    void Breathe() override {
        ++breaths;
        if (onBreathe) onBreathe();
        TqvBaseCommsProtocol::Breathe();
    }

    std::uint32_t Accept() {
        auto* c = new qv::TqvConnection(this);
        std::uint32_t id = c->Id();
        AddConnection(c);
        DoNewConnection(id);
        return id;
    }
    // A packet from the peer: scrambled with the shared key, then received.
    bool Deliver(std::uint32_t connId, std::string bytes) {
        auto* p = reinterpret_cast<std::uint8_t*>(bytes.data());
        Scramble(p, static_cast<std::uint32_t>(bytes.size()));
        return ReceiveData(connId, p, static_cast<std::uint32_t>(bytes.size()));
    }
    void RaiseDatagram(const std::string& source, const std::string& bytes) {
        DoDatagram(source, static_cast<std::uint32_t>(bytes.size()),
                   reinterpret_cast<const std::uint8_t*>(bytes.data()));
    }

    struct Packet {
        std::uint32_t connId;
        std::string bytes;  // as the peer sees them, descrambled
    };
    std::vector<Packet> sent;
    std::vector<std::pair<std::string, std::string>> datagrams;
    std::vector<std::uint32_t> hungUp;
    std::function<void(std::uint32_t, const std::string&)> onSend;
    std::function<void()> onBreathe;
    int startUps = 0;
    int breaths = 0;
    bool listening = false;
};

}  // namespace qvtest
