#include "engine/comms/netbios_protocol.h"

#include <cstring>
#include <mutex>
#include <random>
#include <thread>
#include <unistd.h>

#include "engine/base/qv_exceptions.h"
#include "engine/base/string_resource.h"
#include "platform/core/clock.h"
#include "platform/core/threads.h"
#include "platform/win/message_queue.h"

namespace qv {

namespace {

constexpr std::uint8_t kAsync = plat::ASYNCH;

std::atomic<int> gActiveWaitThreads{0};

// Blocks completing through the post routine, kept alive until it ran.
std::mutex gPostMutex;
std::map<const plat::NCB*, TqvNCBRef>& PostHeld() {
    static std::map<const plat::NCB*, TqvNCBRef> held;
    return held;
}

// The events of the wait threads have one owner, this pool. A wait thread
// wakes as soon as its event is set, while the completing side may still be
// inside SetEvent; had the thread owned the event, it would free it under
// that call. Pooled events are only ever reused, and a late wake-up left on
// a reused one is harmless: its waiter finds the event unset and waits on.
class WaitEvents {
public:
    plat::Event* Take() {
        std::lock_guard<std::mutex> g(mutex_);
        if (free_.empty()) {
            all_.push_back(std::make_unique<plat::Event>(false, false));
            return all_.back().get();
        }
        plat::Event* e = free_.back();
        free_.pop_back();
        return e;
    }
    void Give(plat::Event* e) {
        std::lock_guard<std::mutex> g(mutex_);
        free_.push_back(e);
    }

private:
    std::mutex mutex_;
    std::vector<std::unique_ptr<plat::Event>> all_;
    std::vector<plat::Event*> free_;
};

WaitEvents& Events() {
    // Never freed: a detached wait thread may outlive every other object.
    static WaitEvents* events = new WaitEvents;
    return *events;
}

void Signal(const TqvNCBRef& t) {
    if (t->notifyWindow != 0)
        plat::PostMessage(t->notifyWindow, kQvWmNCBComplete, 0, reinterpret_cast<plat::LPARAM>(t.get()));
    else
        t->done = 1;
}

void NCBPostRoutine(plat::NCB* ncb) {
    TqvNCBRef t;
    {
        std::lock_guard<std::mutex> g(gPostMutex);
        auto it = PostHeld().find(ncb);
        if (it == PostHeld().end()) return;
        t = it->second;
        PostHeld().erase(it);
    }
    Signal(t);
}

std::string NameText(const std::uint8_t* field) {
    std::size_t n = 0;
    while (n < 16 && field[n] != 0) ++n;
    return std::string(reinterpret_cast<const char*>(field), n);
}

std::string TrimBlanks(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

[[noreturn]] void RaiseOutOfMemory(std::size_t size) {
    RaiseQvException(QvExceptionClass::NetBIOS, QvTable::General, 133, {static_cast<unsigned long>(size)});
}

}  // namespace

void NCBInit(plat::NCB& ncb, std::uint8_t lana) {
    ncb = plat::NCB{};
    std::memset(ncb.ncb_callname, ' ', 16);
    std::memset(ncb.ncb_name, ' ', 16);
    ncb.ncb_lana_num = lana;
}

void PutNetBIOSName(std::uint8_t* field, std::string_view name) {
    std::memset(field, ' ', 16);
    std::memcpy(field, name.data(), name.size() < 16 ? name.size() : 16);
}

std::string MakeClientName() {
    // Seeded from the tick count; the process id and a counter are mixed in
    // so that two clients started within one tick (or one fake-clock tick)
    // do not draw the same name and fail to register the second.
    static std::atomic<std::uint32_t> counter{0};
    std::uint32_t seed = plat::GetTickCount() ^ (static_cast<std::uint32_t>(::getpid()) << 16) ^
                         (counter.fetch_add(1) * 2654435761u);
    std::minstd_rand rng(seed == 0 ? 1 : seed);
    std::string name = "QVC_";
    for (int i = 0; i < 11; ++i) name += static_cast<char>('A' + rng() % 26);
    return name;
}

std::string ServerNetBIOSName(std::string_view serverName) {
    std::string_view n = serverName.substr(0, serverName.find('.'));
    return std::string(n.substr(0, 15));
}

bool IsNetBIOSInstalled() {
    plat::NCB ncb;
    NCBInit(ncb, 0);
    ncb.ncb_command = plat::NCBINVALID;
    std::uint8_t rc = plat::Netbios(&ncb);
    return rc == plat::NRC_ILLCMD || rc == 35;
}

std::atomic<int>& TqvNetBIOSProtocol::MaxWaitThreads() {
    static std::atomic<int> limit{32};
    return limit;
}

int TqvNetBIOSProtocol::ActiveWaitThreads() { return gActiveWaitThreads.load(); }

// ---- connection ----------------------------------------------------------------

TqvNetBIOSConnection::TqvNetBIOSConnection(TqvNetBIOSProtocol* owner_, std::uint8_t lsn_, std::uint8_t lana_,
                                           plat::HWND wnd)
    : TqvConnection(owner_), lsn(lsn_), lana(lana_), notifyWindow(wnd) {}

TqvNetBIOSConnection::~TqvNetBIOSConnection() {
    if (!closed) static_cast<TqvNetBIOSProtocol*>(owner)->CloseConnection(this);
}

// ---- transport -------------------------------------------------------------------

TqvNetBIOSProtocol::TqvNetBIOSProtocol(std::string_view name, std::uint8_t role)
    : TqvBaseCommsProtocol(name, role) {
    if (!IsNetBIOSInstalled()) RaiseQvExceptionNoArgs(QvExceptionClass::NetBIOS, QvTable::General, 132);
    notifyWindow_ = plat::AllocateHWnd([this](plat::TMessage& m) { NetBIOSWndProc(m); });
    if (notifyWindow_ == 0) RaiseQvExceptionNoArgs(QvExceptionClass::Comms, QvTable::General, 128);
    general_ = NewNCB(0, 0, 0, 256);

    // The adapters: ENUM, else probe 0-15 with the invalid command.
    plat::NCB& g = general_->ncb;
    NCBInit(g, 0);
    g.ncb_command = plat::NCBENUM;
    g.ncb_buffer = general_->buffer.data();
    g.ncb_length = 256;
    if (plat::Netbios(&g) == plat::NRC_GOODRET) {
        for (int i = 0; i < general_->buffer[0]; ++i) lanas_.push_back(general_->buffer[1 + i]);
    } else {
        for (std::uint8_t lana = 0; lana < 16; ++lana) {
            NCBInit(g, lana);
            g.ncb_command = plat::NCBINVALID;
            if (plat::Netbios(&g) == plat::NRC_ILLCMD) lanas_.push_back(lana);
        }
    }
    for (std::uint8_t lana : lanas_) {
        NCBInit(g, lana);
        g.ncb_command = plat::NCBRESET;
        g.ncb_lsn = 254;  // sessions
        g.ncb_num = 254;  // names
        plat::Netbios(&g);
    }
    nameNumbers_.assign(lanas_.size(), 0);
    listenNcbs_.resize(lanas_.size());
    dgReceive_.resize(lanas_.size());
    dgReceiveBc_.resize(lanas_.size());
    dgSend_.resize(lanas_.size());
    dgSendBc_.resize(lanas_.size());
}

TqvNetBIOSProtocol::~TqvNetBIOSProtocol() {
    // Waiting for cancelled commands below breathes the transport; whatever
    // completes meanwhile must not reach owners that are going away.
    OnReceiveData = nullptr;
    OnDatagram = nullptr;
    OnNewConnection = nullptr;
    OnIdle = nullptr;
    OnHangUp = nullptr;
    StopDatagrams();
    for (auto& n : dgSend_)
        if (n) CancelAndWait(n);
    for (auto& n : dgSendBc_)
        if (n) CancelAndWait(n);
    for (auto& n : listenNcbs_)
        if (n) CancelAndWait(n);
    // Connections close here, while this object is whole; the base
    // destructor then only frees them.
    for (int i = ConnectionCount() - 1; i >= 0; --i) {
        auto* conn = static_cast<TqvNetBIOSConnection*>(FindConnection(ConnectionIdAt(i)));
        if (conn) CloseConnection(conn);
    }
    for (std::size_t i = 0; i < lanas_.size() && namesAdded_ > 0; ++i) {
        if (nameNumbers_[i] == 0) continue;
        plat::NCB ncb;
        NCBInit(ncb, lanas_[i]);
        ncb.ncb_command = plat::NCBDELNAME;
        PutNetBIOSName(ncb.ncb_name, ownName_);
        plat::Netbios(&ncb);
    }
    plat::DeallocateHWnd(notifyWindow_);
    notifyWindow_ = 0;
}

std::unique_ptr<TqvBaseCommsProtocol> TqvNetBIOSProtocol::Create(std::string_view name, std::uint8_t role) {
    return std::make_unique<TqvNetBIOSProtocol>(name, role);
}

TqvNCBRef TqvNetBIOSProtocol::NewNCB(std::uint8_t command, std::uint8_t lana, plat::HWND wnd,
                                     std::size_t bufferSize) {
    TqvNCBRef t;
    try {
        t = std::make_shared<TqvNCB>();
        t->buffer.assign(bufferSize, 0);
    } catch (const std::bad_alloc&) {
        RaiseOutOfMemory(sizeof(TqvNCB) + bufferSize);
    }
    NCBInit(t->ncb, lana);
    t->ncb.ncb_command = command;
    t->notifyWindow = wnd;
    if (bufferSize) {
        t->ncb.ncb_buffer = t->buffer.data();
        t->ncb.ncb_length = static_cast<plat::WORD>(bufferSize);
    }
    t->savedLength = static_cast<std::uint32_t>(bufferSize);
    live_[t.get()] = t;
    return t;
}

void TqvNetBIOSProtocol::Forget(const TqvNCBRef& ncb) {
    if (ncb) live_.erase(ncb.get());
}

std::uint8_t TqvNetBIOSProtocol::Issue(const TqvNCBRef& t) {
    plat::NCB& n = t->ncb;
    t->done = 0;
    n.ncb_cmd_cplt = plat::NRC_PENDING;
    bool threaded = false;
    plat::Event* event = nullptr;
    if (gActiveWaitThreads.fetch_add(1) < MaxWaitThreads().load()) {
        try {
            event = Events().Take();
            std::thread([t, event] {
                event->WaitFor(plat::INFINITE_WAIT);
                Events().Give(event);
                Signal(t);
                gActiveWaitThreads.fetch_sub(1);
            }).detach();
            threaded = true;
        } catch (...) {
            if (event != nullptr) Events().Give(event);
            threaded = false;
        }
    }
    if (!threaded) gActiveWaitThreads.fetch_sub(1);
    if (threaded) {
        n.ncb_event = event;
        n.ncb_post = nullptr;
    } else {
        n.ncb_event = nullptr;
        n.ncb_post = &NCBPostRoutine;
        std::lock_guard<std::mutex> g(gPostMutex);
        PostHeld()[&n] = t;
    }
    std::uint8_t rc = plat::Netbios(&n);
    if (rc != plat::NRC_GOODRET) {
        // Refused at once: nothing will complete it, so end its wait here.
        n.ncb_retcode = n.ncb_cmd_cplt = rc;
        if (threaded)
            event->SetEvent();
        else
            NCBPostRoutine(&n);
    }
    return rc;
}

void TqvNetBIOSProtocol::WaitNCB(TqvNCB& ncb, std::int32_t ms) {
    TqvTimeout limit;
    QvSetTimeout(limit, ms);
    // A block without a window is done once its completion has also been
    // signalled: until then the wait thread still reads it, and the caller
    // must not issue it again.
    auto pending = [&] {
        return __atomic_load_n(&ncb.ncb.ncb_cmd_cplt, __ATOMIC_ACQUIRE) == plat::NRC_PENDING ||
               (ncb.notifyWindow == 0 && ncb.done.load() == 0);
    };
    while (pending()) {
        if (ms >= 0 && QvTimeoutExpired(limit)) return;
        Breathe();
        plat::WaitMessage(2);
    }
}

void TqvNetBIOSProtocol::CancelAndWait(const TqvNCBRef& t) {
    if (!t) return;
    if (__atomic_load_n(&t->ncb.ncb_cmd_cplt, __ATOMIC_ACQUIRE) == plat::NRC_PENDING) {
        plat::NCB cancel;
        NCBInit(cancel, t->ncb.ncb_lana_num);
        cancel.ncb_command = plat::NCBCANCEL;
        cancel.ncb_buffer = reinterpret_cast<std::uint8_t*>(&t->ncb);
        plat::Netbios(&cancel);
    }
    TqvTimeout limit;
    QvSetTimeout(limit, 500);
    while (!t->done) {
        if (QvTimeoutExpired(limit) || notifyWindow_ == 0) break;
        Breathe();
        plat::WaitMessage(2);
    }
    t->done = 1;
    Forget(t);
}

void TqvNetBIOSProtocol::StartUp() {
    ownName_ = IsServer() ? ServerNetBIOSName(GetServerName()) : MakeClientName();
    for (std::size_t i = 0; i < lanas_.size(); ++i) {
        plat::NCB& g = general_->ncb;
        NCBInit(g, lanas_[i]);
        g.ncb_command = plat::NCBADDNAME | kAsync;
        PutNetBIOSName(g.ncb_name, ownName_);
        general_->notifyWindow = 0;
        CheckNetBIOSResult(Issue(general_));
        WaitNCB(*general_, -1);
        if (g.ncb_retcode != plat::NRC_GOODRET)
            RaiseQvException(QvExceptionClass::NetBIOS, QvTable::General, 134,
                             {ownName_, static_cast<int>(lanas_[i]), static_cast<int>(g.ncb_retcode)});
        nameNumbers_[i] = g.ncb_num;
        ++namesAdded_;
    }
    SetNetworkName(ownName_);
}

void TqvNetBIOSProtocol::IssueListen(std::uint8_t i) {
    if (listenNcbs_[i]) Forget(listenNcbs_[i]);
    auto t = NewNCB(plat::NCBLISTEN | kAsync, lanas_[i], notifyWindow_, 0);
    PutNetBIOSName(t->ncb.ncb_callname, "*");
    PutNetBIOSName(t->ncb.ncb_name, ownName_);
    listenNcbs_[i] = t;
    CheckNetBIOSResult(Issue(t));
}

void TqvNetBIOSProtocol::Listen() {
    if (!IsServer()) RaiseQvExceptionNoArgs(QvExceptionClass::Comms, QvTable::General, 130);
    if (listening_) return;
    EnsureStarted();
    for (std::size_t i = 0; i < lanas_.size(); ++i) IssueListen(static_cast<std::uint8_t>(i));
    listening_ = 1;
}

void TqvNetBIOSProtocol::Call(std::string_view serverName, std::uint32_t& connId) {
    if (IsServer()) RaiseQvExceptionNoArgs(QvExceptionClass::Comms, QvTable::General, 129);
    connId = 0;
    if (serverName.empty()) return;
    EnsureStarted();
    std::string name, address;
    SplitServerName(serverName, name, address);
    std::string target = ServerNetBIOSName(name);
    for (std::uint8_t lana : lanas_) {
        auto t = NewNCB(plat::NCBCALL | kAsync, lana, notifyWindow_, 0);
        PutNetBIOSName(t->ncb.ncb_callname, target);
        PutNetBIOSName(t->ncb.ncb_name, ownName_);
        std::uint8_t rc = Issue(t);
        if (rc == plat::NRC_GOODRET) WaitNCB(*t, kQvNetBIOSCallTimeoutMs);
        std::uint8_t done = __atomic_load_n(&t->ncb.ncb_cmd_cplt, __ATOMIC_ACQUIRE);
        if (done == plat::NRC_PENDING) {
            CancelAndWait(t);
            continue;
        }
        Forget(t);
        if (done != plat::NRC_GOODRET) continue;
        auto* conn = new TqvNetBIOSConnection(this, t->ncb.ncb_lsn, lana, notifyWindow_);
        conn->partnerName = target;
        std::uint32_t id = conn->Id();
        AddConnection(conn);
        StartReceive(conn);
        connId = id;
        return;
    }
}

void TqvNetBIOSProtocol::StartReceive(TqvNetBIOSConnection* conn) {
    if (conn->receiveNcb) Forget(conn->receiveNcb);
    auto t = NewNCB(plat::NCBRECV | kAsync, conn->lana, notifyWindow_, kQvMaxPacketSize);
    t->ncb.ncb_lsn = conn->lsn;
    conn->receiveNcb = t;
    Issue(t);
}

void TqvNetBIOSProtocol::CloseConnection(TqvNetBIOSConnection* conn) {
    if (conn->closed) return;
    conn->closed = true;
    CancelAndWait(conn->receiveNcb);
    CancelAndWait(conn->sendNcb);
    plat::NCB h;
    NCBInit(h, conn->lana);
    h.ncb_command = plat::NCBHANGUP;
    h.ncb_lsn = conn->lsn;
    plat::Netbios(&h);
}

void TqvNetBIOSProtocol::HangUp(std::uint32_t connId) {
    auto* conn = static_cast<TqvNetBIOSConnection*>(FindConnection(connId));
    if (!conn || conn->hangingUp) return;
    conn->hangingUp = true;
    DoHangUp(connId);
    if ((conn = static_cast<TqvNetBIOSConnection*>(FindConnection(connId))) != nullptr) CloseConnection(conn);
    RemoveConnection(connId);
}

std::intptr_t TqvNetBIOSProtocol::Send(std::uint32_t connId, const void* data, std::uint32_t len) {
    auto* conn = static_cast<TqvNetBIOSConnection*>(FindConnection(connId));
    if (!conn || conn->closed) return 0;
    if (len > kQvMaxPacketSize) len = kQvMaxPacketSize;
    if (len != 0 && data == nullptr) return 0;
    // A block per send: the previous one may still be on its way, and its
    // buffer must stay as it was until then.
    if (conn->sendNcb) Forget(conn->sendNcb);
    auto t = NewNCB(plat::NCBSEND | kAsync, conn->lana, 0, len);
    t->ncb.ncb_lsn = conn->lsn;
    if (len) std::memcpy(t->buffer.data(), data, len);
    Scramble(t->buffer.data(), len);
    t->ncb.ncb_length = static_cast<plat::WORD>(len);
    conn->sendNcb = t;
    std::uint8_t rc = Issue(t);
    if (rc != plat::NRC_GOODRET) {
        HangUp(connId);
        CheckNetBIOSResult(rc);
    }
    return len == 0 ? 1 : static_cast<std::intptr_t>(len);
}

void TqvNetBIOSProtocol::StartDatagrams() {
    if (datagramsOpen_) return;
    EnsureStarted();
    for (std::size_t i = 0; i < lanas_.size(); ++i) {
        auto r = NewNCB(plat::NCBDGRECV | kAsync, lanas_[i], notifyWindow_, kQvNetBIOSDatagramSize);
        r->ncb.ncb_num = nameNumbers_[i];
        dgReceive_[i] = r;
        CheckNetBIOSResult(Issue(r));
        auto b = NewNCB(plat::NCBDGRECVBC | kAsync, lanas_[i], notifyWindow_, kQvNetBIOSDatagramSize);
        b->ncb.ncb_num = nameNumbers_[i];
        dgReceiveBc_[i] = b;
        CheckNetBIOSResult(Issue(b));
    }
    datagramsOpen_ = 1;
}

void TqvNetBIOSProtocol::StopDatagrams() {
    for (auto& n : dgReceive_) {
        CancelAndWait(n);
        n.reset();
    }
    for (auto& n : dgReceiveBc_) {
        CancelAndWait(n);
        n.reset();
    }
    datagramsOpen_ = 0;
}

void TqvNetBIOSProtocol::SendDatagram(std::string_view target, const void* data, std::uint32_t len) {
    if (len > kQvNetBIOSDatagramSize) len = kQvNetBIOSDatagramSize;
    if (len != 0 && data == nullptr) return;
    EnsureStarted();
    bool broadcast = target.empty();
    for (std::size_t i = 0; i < lanas_.size(); ++i) {
        auto& slot = broadcast ? dgSendBc_[i] : dgSend_[i];
        // One broadcast at a time per adapter.
        if (slot && broadcast) WaitNCB(*slot, 1000);
        if (slot) Forget(slot);
        auto t = NewNCB((broadcast ? plat::NCBDGSENDBC : plat::NCBDGSEND) | kAsync, lanas_[i], 0, len);
        t->ncb.ncb_num = nameNumbers_[i];
        if (!broadcast) PutNetBIOSName(t->ncb.ncb_callname, target.substr(0, 16));
        if (len) std::memcpy(t->buffer.data(), data, len);
        t->ncb.ncb_length = static_cast<plat::WORD>(len);
        slot = t;
        Issue(t);
    }
}

void TqvNetBIOSProtocol::Breathe() {
    plat::MSG msg;
    if (notifyWindow_ != 0 && plat::PeekMessage(msg, notifyWindow_, 0, 0, plat::PM_REMOVE)) {
        plat::TranslateMessage(msg);
        plat::DispatchMessage(msg);
    }
    TqvBaseCommsProtocol::Breathe();
}

std::uint8_t TqvNetBIOSProtocol::LanaOf(std::uint32_t connId) {
    auto* conn = static_cast<TqvNetBIOSConnection*>(FindConnection(connId));
    return conn ? conn->lana : 0xFF;
}

TqvNetBIOSConnection* TqvNetBIOSProtocol::FindByReceive(const TqvNCB* ncb) {
    TqvPadLockGuard g(ConnectionLock());
    for (int i = 0, n = ConnectionCount(); i < n; ++i) {
        auto* conn = static_cast<TqvNetBIOSConnection*>(FindConnection(ConnectionIdAt(i)));
        if (conn && conn->receiveNcb.get() == ncb) return conn;
    }
    return nullptr;
}

void TqvNetBIOSProtocol::NetBIOSWndProc(plat::TMessage& msg) {
    if (msg.Msg != kQvWmNCBComplete) {
        msg.Result = plat::DefWindowProc(notifyWindow_, msg.Msg, msg.WParam, msg.LParam);
        return;
    }
    msg.Result = 0;
    auto it = live_.find(reinterpret_cast<const TqvNCB*>(msg.LParam));
    if (it == live_.end()) return;  // a block given up on: nothing to do
    TqvNCBRef t = it->second;
    plat::NCB& n = t->ncb;
    std::uint8_t rc = n.ncb_retcode;
    switch (n.ncb_command & 0x7F) {
        case plat::NCBLISTEN: {
            std::uint8_t index = 0;
            bool ours = false;
            for (std::size_t i = 0; i < listenNcbs_.size(); ++i)
                if (listenNcbs_[i] == t) index = static_cast<std::uint8_t>(i), ours = true;
            t->done = 1;
            if (!ours) return;
            if (rc == plat::NRC_GOODRET) {
                auto* conn = new TqvNetBIOSConnection(this, n.ncb_lsn, n.ncb_lana_num, notifyWindow_);
                conn->partnerName = NameText(n.ncb_callname);
                std::uint32_t id = conn->Id();
                AddConnection(conn);
                StartReceive(conn);
                DoNewConnection(id);
            }
            // Listen on; a cancelled or failed listen (the name is gone)
            // would only fail again.
            if (rc == plat::NRC_GOODRET && listening_) IssueListen(index);
            return;
        }
        case plat::NCBRECV: {
            TqvNetBIOSConnection* conn = FindByReceive(t.get());
            t->done = 1;
            if (!conn || conn->closed || conn->hangingUp) return;
            std::uint32_t id = conn->Id();
            if (rc == plat::NRC_GOODRET) {
                std::uint32_t len = n.ncb_length <= kQvMaxPacketSize ? n.ncb_length : kQvMaxPacketSize;
                bool taken = ReceiveData(id, t->buffer.data(), len);
                auto* still = static_cast<TqvNetBIOSConnection*>(FindConnection(id));
                if (taken && still && !still->closed && !still->hangingUp) StartReceive(still);
            } else if (rc == plat::NRC_SNUMOUT || rc == plat::NRC_SCLOSED || rc == plat::NRC_SABORT) {
                HangUp(id);
            }
            return;
        }
        case plat::NCBDGRECV:
        case plat::NCBDGRECVBC: {
            t->done = 1;
            if (rc != plat::NRC_GOODRET) return;
            std::uint32_t len = n.ncb_length <= kQvNetBIOSDatagramSize ? n.ncb_length : kQvNetBIOSDatagramSize;
            DoDatagram(TrimBlanks(NameText(n.ncb_callname)), len, t->buffer.data());
            // The same receive again, unless the handler stopped datagrams.
            if (!live_.count(t.get())) return;
            n.ncb_length = static_cast<plat::WORD>(kQvNetBIOSDatagramSize);
            Issue(t);
            return;
        }
        default:
            t->done = 1;
            return;
    }
}

}  // namespace qv
