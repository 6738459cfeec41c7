#include "platform/net/netbios.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/core/threads.h"

namespace plat {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kMaxFrame = 65536;
constexpr std::size_t kMaxDatagram = 2048;
constexpr UCHAR kDirected = 0;
constexpr UCHAR kBroadcast = 1;

struct Name {
    int lana = 0;
    UCHAR num = 0;
    UCHAR name[16] = {};
    int listenFd = -1;
    int udpFd = -1;
    fs::path file;
};

struct Session {
    int fd = -1;
    std::vector<UCHAR> in;
    bool closed = false;
};

std::string Hex(const UCHAR* p, std::size_t n) {
    static const char* digits = "0123456789abcdef";
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

bool ProcessAlive(long pid) { return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM); }

int LoopbackSocket(int type, std::uint16_t& port) {
    int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0 ||
        (type == SOCK_STREAM && ::listen(fd, 16) != 0)) {
        ::close(fd);
        return -1;
    }
    port = ntohs(a.sin_port);
    return fd;
}

bool SendAll(int fd, const UCHAR* p, std::size_t n) {
    while (n > 0) {
        ssize_t w = ::send(fd, p, n, MSG_NOSIGNAL);
        if (w < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN) {
                pollfd pf{fd, POLLOUT, 0};
                if (::poll(&pf, 1, 5000) <= 0) return false;
                continue;
            }
            return false;
        }
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

class Service {
public:
    ~Service() {
        if (thread_.joinable()) {
            stop_ = true;
            Wake();
            thread_.join();
        }
        for (Name& n : names_) DropName(n);
        for (auto& [k, s] : sessions_) ::close(s.fd);
        if (wake_[0] >= 0) ::close(wake_[0]);
        if (wake_[1] >= 0) ::close(wake_[1]);
    }

    void Configure(const std::string& dir, int lanas) {
        std::lock_guard<std::mutex> g(mutex_);
        dir_ = dir;
        lanaCount_ = lanas < 1 ? 1 : (lanas > 254 ? 254 : lanas);
    }

    UCHAR Submit(NCB* ncb);

private:
    // ---- helpers under the lock ----
    fs::path Dir() {
        if (dir_.empty()) {
            const char* env = std::getenv("TAVRIN_NETBIOS_DIR");
            dir_ = env && *env ? env : (fs::temp_directory_path() / ("tavrin-netbios-" + std::to_string(::getuid())));
        }
        return dir_;
    }
    fs::path LanaDir(int lana) { return Dir() / ("lana" + std::to_string(lana)); }
    Name* FindName(int lana, const UCHAR* name) {
        for (Name& n : names_)
            if (n.lana == lana && std::memcmp(n.name, name, 16) == 0) return &n;
        return nullptr;
    }
    Name* FindNum(int lana, UCHAR num) {
        for (Name& n : names_)
            if (n.lana == lana && n.num == num) return &n;
        return nullptr;
    }
    // The ports a name is registered with; false when unknown or its owner died.
    bool LookUp(int lana, const UCHAR* name, std::uint16_t& tcp, std::uint16_t& udp) {
        std::ifstream f(LanaDir(lana) / Hex(name, 16));
        long pid = 0;
        if (!(f >> pid >> tcp >> udp)) return false;
        return ProcessAlive(pid);
    }
    void DropName(Name& n) {
        std::error_code ec;
        fs::remove(n.file, ec);
        CloseFd(n.listenFd);
        CloseFd(n.udpFd);
    }
    // Closes a descriptor the service thread may be polling: only after its
    // current poll round, so the kernel object really goes.
    void CloseFd(int fd) {
        if (fd < 0) return;
        closeLater_.push_back(fd);
    }
    void Complete(NCB* ncb, UCHAR rc) {
        ncb->ncb_retcode = rc;
        done_.push_back({ncb, ncb->ncb_post, ncb->ncb_event, rc});
    }
    void FlushLocked(std::unique_lock<std::mutex>& g);
    void Wake() {
        if (wake_[1] >= 0) {
            char c = 1;
            [[maybe_unused]] auto n = ::write(wake_[1], &c, 1);
        }
    }
    void EnsureThread() {
        if (thread_.joinable()) return;
        if (::pipe2(wake_, O_NONBLOCK | O_CLOEXEC) != 0) wake_[0] = wake_[1] = -1;
        thread_ = std::thread([this] { Run(); });
    }
    void Run();
    bool TryFinishReceive(NCB* ncb);
    void Accept(Name& n);
    void ReadSession(Session& s);
    void ReadDatagram(Name& n);

    UCHAR AddName(NCB* ncb);
    UCHAR DeleteName(NCB* ncb);
    UCHAR Call(NCB* ncb);
    UCHAR HangUp(NCB* ncb);
    UCHAR Send(NCB* ncb);
    UCHAR SendDatagram(NCB* ncb, bool broadcast);
    UCHAR Cancel(NCB* target);

    struct Done {
        NCB* ncb;
        void (*post)(NCB*);
        Event* event;
        UCHAR rc;
    };

    std::mutex mutex_;
    std::string dir_;
    int lanaCount_ = 1;
    std::vector<Name> names_;
    std::map<std::pair<int, int>, Session> sessions_;
    std::vector<NCB*> pending_;
    std::vector<Done> done_;
    std::vector<int> closeLater_;
    UCHAR nextNum_[256] = {};
    UCHAR nextLsn_[256] = {};
    std::thread thread_;
    std::atomic<bool> stop_{false};
    int wake_[2] = {-1, -1};
    bool polling_ = false;
    std::uint64_t round_ = 0;
    std::condition_variable roundDone_;
};

void Service::FlushLocked(std::unique_lock<std::mutex>& g) {
    // Descriptors go once no poll holds them.
    if (!closeLater_.empty()) {
        if (polling_ && std::this_thread::get_id() != thread_.get_id()) {
            std::uint64_t before = round_;
            Wake();
            roundDone_.wait(g, [&] { return round_ != before || stop_; });
        }
        for (int fd : closeLater_) ::close(fd);
        closeLater_.clear();
    }
    std::vector<Done> done;
    done.swap(done_);
    g.unlock();
    for (const Done& d : done) {
        // Completion code last but for the signal: the owner may reuse the
        // NCB once it sees it, so the signal's target was read before.
        __atomic_store_n(&d.ncb->ncb_cmd_cplt, d.rc, __ATOMIC_RELEASE);
        if (d.post)
            d.post(d.ncb);
        else if (d.event)
            d.event->SetEvent();
    }
    g.lock();
}

UCHAR Service::Submit(NCB* ncb) {
    if (ncb == nullptr) return NRC_ILLCMD;
    UCHAR cmd = ncb->ncb_command & 0x7F;
    bool async = (ncb->ncb_command & ASYNCH) != 0;
    std::unique_lock<std::mutex> g(mutex_);
    auto immediate = [&](UCHAR rc) {
        ncb->ncb_retcode = rc;
        ncb->ncb_cmd_cplt = rc;
        return rc;
    };
    if (cmd == NCBENUM) {
        if (ncb->ncb_buffer == nullptr || ncb->ncb_length < 1 + lanaCount_) return immediate(NRC_BUFLEN);
        ncb->ncb_buffer[0] = static_cast<UCHAR>(lanaCount_);
        for (int i = 0; i < lanaCount_; ++i) ncb->ncb_buffer[1 + i] = static_cast<UCHAR>(i);
        return immediate(NRC_GOODRET);
    }
    switch (cmd) {
        case NCBRESET: case NCBADDNAME: case NCBDELNAME: case NCBCALL: case NCBHANGUP: case NCBSEND:
        case NCBDGSEND: case NCBDGSENDBC: case NCBCANCEL: case NCBLISTEN: case NCBRECV: case NCBDGRECV:
        case NCBDGRECVBC:
            break;
        default:
            return immediate(NRC_ILLCMD);
    }
    if (ncb->ncb_lana_num >= lanaCount_) return immediate(NRC_BRIDGE);
    bool waits = cmd == NCBLISTEN || cmd == NCBRECV || cmd == NCBDGRECV || cmd == NCBDGRECVBC;
    if (waits) {
        // Only asynchronously here: nothing in this system waits on them
        // synchronously.
        if (!async) return immediate(NRC_ILLCMD);
        if (ncb->ncb_buffer == nullptr && cmd != NCBLISTEN) return immediate(NRC_BUFLEN);
        ncb->ncb_retcode = ncb->ncb_cmd_cplt = NRC_PENDING;
        pending_.push_back(ncb);
        EnsureThread();
        Wake();
        return NRC_GOODRET;
    }
    UCHAR rc;
    switch (cmd) {
        case NCBRESET: rc = NRC_GOODRET; break;
        case NCBADDNAME: rc = AddName(ncb); break;
        case NCBDELNAME: rc = DeleteName(ncb); break;
        case NCBCALL: rc = Call(ncb); break;
        case NCBHANGUP: rc = HangUp(ncb); break;
        case NCBSEND: rc = Send(ncb); break;
        case NCBDGSEND: rc = SendDatagram(ncb, false); break;
        case NCBDGSENDBC: rc = SendDatagram(ncb, true); break;
        default: rc = Cancel(reinterpret_cast<NCB*>(ncb->ncb_buffer)); break;
    }
    if (!async) {
        ncb->ncb_retcode = ncb->ncb_cmd_cplt = rc;
        FlushLocked(g);
        return rc;
    }
    // Done already, but reported the asynchronous way.
    ncb->ncb_retcode = ncb->ncb_cmd_cplt = NRC_PENDING;
    Complete(ncb, rc);
    FlushLocked(g);
    return NRC_GOODRET;
}

UCHAR Service::AddName(NCB* ncb) {
    int lana = ncb->ncb_lana_num;
    if (FindName(lana, ncb->ncb_name)) return NRC_DUPNAME;
    std::uint16_t tcp, udp;
    if (LookUp(lana, ncb->ncb_name, tcp, udp)) return NRC_DUPNAME;
    if (names_.size() >= 250) return NRC_NAMTFUL;
    Name n;
    n.lana = lana;
    std::memcpy(n.name, ncb->ncb_name, 16);
    n.listenFd = LoopbackSocket(SOCK_STREAM, tcp);
    n.udpFd = LoopbackSocket(SOCK_DGRAM, udp);
    std::error_code ec;
    fs::create_directories(LanaDir(lana), ec);
    n.file = LanaDir(lana) / Hex(n.name, 16);
    fs::path tmp = n.file;
    tmp += "." + std::to_string(::getpid());
    bool ok = n.listenFd >= 0 && n.udpFd >= 0;
    if (ok) {
        std::ofstream f(tmp);
        f << ::getpid() << ' ' << tcp << ' ' << udp << '\n';
        ok = static_cast<bool>(f);
    }
    if (ok) fs::rename(tmp, n.file, ec), ok = !ec;
    if (!ok) {
        fs::remove(tmp, ec);
        if (n.listenFd >= 0) ::close(n.listenFd);
        if (n.udpFd >= 0) ::close(n.udpFd);
        return NRC_SYSTEM;
    }
    // Name numbers 2..254 (1 is the adapter's own in the real thing).
    UCHAR& next = nextNum_[lana];
    do {
        next = static_cast<UCHAR>(next < 2 || next >= 254 ? 2 : next + 1);
    } while (FindNum(lana, next));
    n.num = next;
    ncb->ncb_num = n.num;
    names_.push_back(n);
    EnsureThread();
    Wake();
    return NRC_GOODRET;
}

UCHAR Service::DeleteName(NCB* ncb) {
    int lana = ncb->ncb_lana_num;
    for (std::size_t i = 0; i < names_.size(); ++i) {
        Name& n = names_[i];
        if (n.lana != lana || std::memcmp(n.name, ncb->ncb_name, 16) != 0) continue;
        // Commands waiting on the name end with it.
        for (std::size_t k = 0; k < pending_.size();) {
            NCB* p = pending_[k];
            UCHAR c = p->ncb_command & 0x7F;
            bool onName = p->ncb_lana_num == lana &&
                          ((c == NCBLISTEN && std::memcmp(p->ncb_name, n.name, 16) == 0) ||
                           ((c == NCBDGRECV || c == NCBDGRECVBC) && p->ncb_num == n.num));
            if (onName) {
                Complete(p, NRC_NAMERR);
                pending_.erase(pending_.begin() + static_cast<long>(k));
            } else {
                ++k;
            }
        }
        DropName(n);
        names_.erase(names_.begin() + static_cast<long>(i));
        return NRC_GOODRET;
    }
    return NRC_NAMERR;
}

UCHAR Service::Call(NCB* ncb) {
    int lana = ncb->ncb_lana_num;
    std::uint16_t tcp, udp;
    if (!LookUp(lana, ncb->ncb_callname, tcp, udp)) return NRC_NOCALL;
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return NRC_SYSTEM;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(tcp);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || !SendAll(fd, ncb->ncb_name, 16)) {
        ::close(fd);
        return NRC_NOCALL;
    }
    UCHAR& next = nextLsn_[lana];
    for (int tries = 0; tries < 255; ++tries) {
        next = static_cast<UCHAR>(next == 0 || next >= 254 ? 1 : next + 1);
        if (!sessions_.count({lana, next})) {
            sessions_[{lana, next}].fd = fd;
            ncb->ncb_lsn = next;
            Wake();
            return NRC_GOODRET;
        }
    }
    ::close(fd);
    return NRC_LOCTFUL;
}

UCHAR Service::HangUp(NCB* ncb) {
    auto it = sessions_.find({ncb->ncb_lana_num, ncb->ncb_lsn});
    if (it == sessions_.end()) return NRC_SNUMOUT;
    for (std::size_t k = 0; k < pending_.size();) {
        NCB* p = pending_[k];
        if ((p->ncb_command & 0x7F) == NCBRECV && p->ncb_lana_num == ncb->ncb_lana_num && p->ncb_lsn == ncb->ncb_lsn) {
            Complete(p, NRC_SCLOSED);
            pending_.erase(pending_.begin() + static_cast<long>(k));
        } else {
            ++k;
        }
    }
    ::shutdown(it->second.fd, SHUT_RDWR);
    CloseFd(it->second.fd);
    sessions_.erase(it);
    return NRC_GOODRET;
}

UCHAR Service::Send(NCB* ncb) {
    auto it = sessions_.find({ncb->ncb_lana_num, ncb->ncb_lsn});
    if (it == sessions_.end()) return NRC_SNUMOUT;
    if (it->second.closed) return NRC_SCLOSED;
    if (ncb->ncb_length != 0 && ncb->ncb_buffer == nullptr) return NRC_BUFLEN;
    std::vector<UCHAR> frame(4 + ncb->ncb_length);
    std::uint32_t len = ncb->ncb_length;
    for (int i = 0; i < 4; ++i) frame[static_cast<std::size_t>(i)] = static_cast<UCHAR>(len >> (8 * i));
    if (len) std::memcpy(frame.data() + 4, ncb->ncb_buffer, len);
    if (!SendAll(it->second.fd, frame.data(), frame.size())) return NRC_SCLOSED;
    return NRC_GOODRET;
}

UCHAR Service::SendDatagram(NCB* ncb, bool broadcast) {
    int lana = ncb->ncb_lana_num;
    Name* self = FindNum(lana, ncb->ncb_num);
    if (!self) return NRC_ILLNN;
    if (ncb->ncb_length != 0 && ncb->ncb_buffer == nullptr) return NRC_BUFLEN;
    std::size_t len = ncb->ncb_length < kMaxDatagram ? ncb->ncb_length : kMaxDatagram;
    std::vector<UCHAR> msg(17 + len);
    msg[0] = broadcast ? kBroadcast : kDirected;
    std::memcpy(msg.data() + 1, self->name, 16);
    if (len) std::memcpy(msg.data() + 17, ncb->ncb_buffer, len);
    auto sendTo = [&](std::uint16_t port) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(port);
        ::sendto(self->udpFd, msg.data(), msg.size(), MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&a), sizeof a);
    };
    if (!broadcast) {
        std::uint16_t tcp, udp;
        // A datagram to a name nobody holds is simply lost.
        if (LookUp(lana, ncb->ncb_callname, tcp, udp)) sendTo(udp);
        return NRC_GOODRET;
    }
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(LanaDir(lana), ec)) {
        if (entry.path().filename().string().size() != 32) continue;  // not a name file
        std::ifstream f(entry.path());
        long pid = 0;
        std::uint16_t tcp = 0, udp = 0;
        if ((f >> pid >> tcp >> udp) && ProcessAlive(pid)) sendTo(udp);
    }
    return NRC_GOODRET;
}

UCHAR Service::Cancel(NCB* target) {
    for (std::size_t k = 0; k < pending_.size(); ++k) {
        if (pending_[k] != target) continue;
        pending_.erase(pending_.begin() + static_cast<long>(k));
        Complete(target, NRC_CMDCAN);
        return NRC_GOODRET;
    }
    return NRC_CANOCCR;
}

bool Service::TryFinishReceive(NCB* ncb) {
    auto it = sessions_.find({ncb->ncb_lana_num, ncb->ncb_lsn});
    if (it == sessions_.end()) {
        Complete(ncb, NRC_SNUMOUT);
        return true;
    }
    Session& s = it->second;
    if (s.in.size() >= 4) {
        std::uint32_t len = s.in[0] | s.in[1] << 8 | s.in[2] << 16 | static_cast<std::uint32_t>(s.in[3]) << 24;
        if (s.in.size() >= 4 + static_cast<std::size_t>(len)) {
            std::uint32_t n = len < ncb->ncb_length ? len : ncb->ncb_length;
            if (n) std::memcpy(ncb->ncb_buffer, s.in.data() + 4, n);
            ncb->ncb_length = static_cast<WORD>(n);
            s.in.erase(s.in.begin(), s.in.begin() + 4 + len);
            Complete(ncb, n < len ? NRC_INCOMP : NRC_GOODRET);
            return true;
        }
    }
    if (s.closed) {
        Complete(ncb, NRC_SCLOSED);
        return true;
    }
    return false;
}

void Service::Accept(Name& n) {
    NCB* listen = nullptr;
    std::size_t at = 0;
    for (; at < pending_.size(); ++at) {
        NCB* p = pending_[at];
        if ((p->ncb_command & 0x7F) == NCBLISTEN && p->ncb_lana_num == n.lana &&
            std::memcmp(p->ncb_name, n.name, 16) == 0) {
            listen = p;
            break;
        }
    }
    if (!listen) return;
    int fd = ::accept4(n.listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    // The caller's name comes first, at once on loopback.
    UCHAR caller[16];
    std::size_t got = 0;
    while (got < 16) {
        pollfd pf{fd, POLLIN, 0};
        if (::poll(&pf, 1, 1000) <= 0) break;
        ssize_t r = ::recv(fd, caller + got, 16 - got, 0);
        if (r <= 0) break;
        got += static_cast<std::size_t>(r);
    }
    if (got < 16) {
        ::close(fd);
        return;
    }
    UCHAR& next = nextLsn_[n.lana];
    for (int tries = 0; tries < 255; ++tries) {
        next = static_cast<UCHAR>(next == 0 || next >= 254 ? 1 : next + 1);
        if (sessions_.count({n.lana, next})) continue;
        sessions_[{n.lana, next}].fd = fd;
        listen->ncb_lsn = next;
        std::memcpy(listen->ncb_callname, caller, 16);
        pending_.erase(pending_.begin() + static_cast<long>(at));
        Complete(listen, NRC_GOODRET);
        return;
    }
    ::close(fd);
}

void Service::ReadSession(Session& s) {
    UCHAR buf[4096];
    for (;;) {
        ssize_t r = ::recv(s.fd, buf, sizeof buf, MSG_DONTWAIT);
        if (r > 0) {
            s.in.insert(s.in.end(), buf, buf + r);
            if (s.in.size() >= 4) {
                std::uint32_t len = s.in[0] | s.in[1] << 8 | s.in[2] << 16 | static_cast<std::uint32_t>(s.in[3]) << 24;
                if (len > kMaxFrame) {  // not our partner's framing: end the session
                    s.closed = true;
                    return;
                }
            }
            if (s.in.size() > 4 * kMaxFrame) return;  // let receivers drain first
            continue;
        }
        if (r == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) s.closed = true;
        return;
    }
}

void Service::ReadDatagram(Name& n) {
    UCHAR buf[17 + kMaxDatagram];
    ssize_t r = ::recv(n.udpFd, buf, sizeof buf, MSG_DONTWAIT);
    if (r < 17) return;
    UCHAR kind = buf[0];
    UCHAR want = kind == kBroadcast ? NCBDGRECVBC : NCBDGRECV;
    for (std::size_t k = 0; k < pending_.size(); ++k) {
        NCB* p = pending_[k];
        if ((p->ncb_command & 0x7F) != want || p->ncb_lana_num != n.lana || p->ncb_num != n.num) continue;
        std::size_t len = static_cast<std::size_t>(r) - 17;
        std::size_t copy = len < p->ncb_length ? len : p->ncb_length;
        std::memcpy(p->ncb_buffer, buf + 17, copy);
        p->ncb_length = static_cast<WORD>(copy);
        std::memcpy(p->ncb_callname, buf + 1, 16);
        pending_.erase(pending_.begin() + static_cast<long>(k));
        Complete(p, copy < len ? NRC_INCOMP : NRC_GOODRET);
        return;
    }
    // Nobody waits for this kind on the name: the datagram is lost.
}

void Service::Run() {
    std::unique_lock<std::mutex> g(mutex_);
    while (!stop_) {
        // Receives that can finish from what is buffered, finish now.
        for (std::size_t k = 0; k < pending_.size();) {
            NCB* p = pending_[k];
            if ((p->ncb_command & 0x7F) == NCBRECV && TryFinishReceive(p))
                pending_.erase(pending_.begin() + static_cast<long>(k));
            else
                ++k;
        }
        FlushLocked(g);
        std::vector<pollfd> fds;
        for (NCB* p : pending_) {
            UCHAR c = p->ncb_command & 0x7F;
            if (c == NCBLISTEN) {
                if (Name* n = FindName(p->ncb_lana_num, p->ncb_name)) fds.push_back({n->listenFd, POLLIN, 0});
            } else if (c == NCBRECV) {
                auto it = sessions_.find({p->ncb_lana_num, p->ncb_lsn});
                if (it != sessions_.end() && !it->second.closed) fds.push_back({it->second.fd, POLLIN, 0});
            } else if (Name* n = FindNum(p->ncb_lana_num, p->ncb_num)) {
                fds.push_back({n->udpFd, POLLIN, 0});
            }
        }
        fds.push_back({wake_[0], POLLIN, 0});
        polling_ = true;
        g.unlock();
        int ready = ::poll(fds.data(), fds.size(), 50);
        g.lock();
        polling_ = false;
        ++round_;
        roundDone_.notify_all();
        if (ready <= 0) continue;
        if (fds.back().revents) {
            char buf[64];
            while (::read(wake_[0], buf, sizeof buf) > 0) {
            }
        }
        for (std::size_t i = 0; i + 1 < fds.size(); ++i) {
            if (fds[i].revents == 0 || (fds[i].revents & POLLNVAL)) continue;
            int fd = fds[i].fd;
            for (Name& n : names_) {
                if (n.listenFd == fd) Accept(n);
                if (n.udpFd == fd) ReadDatagram(n);
            }
            for (auto& [key, s] : sessions_)
                if (s.fd == fd && !s.closed) ReadSession(s);
        }
    }
}

Service& TheService() {
    static Service s;
    return s;
}

}  // namespace

UCHAR Netbios(NCB* ncb) { return TheService().Submit(ncb); }

void NetbiosConfigure(const std::string& registryDir, int lanaCount) { TheService().Configure(registryDir, lanaCount); }

}  // namespace plat
