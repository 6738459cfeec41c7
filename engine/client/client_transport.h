// How a client session reaches its server: one request, one reply. The
// session owns one transport; which kind it gets (the in-process server, a
// network connection, a recorder in tests) is decided by the factory the
// program installs before the first session starts.
//
// Also the little-endian request writer the client classes build their
// payloads with, and the login dialog seam.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/client/handle_base.h"

namespace qv {

// Request ids of the protocol, as the client sends them.
constexpr std::uint32_t QvnmAttachServerId = 1, QvnmDetachServerId = 2, QvnmMultipartId = 255;
constexpr std::uint32_t QvnmDatabaseCloseId = 257, QvnmDatabaseAddAliasId = 260, QvnmDatabaseOpenNoAliasId = 261,
                        QvnmDatabaseDeleteAliasId = 263;
constexpr std::uint32_t QvnmPackTableId = 769, QvnmRestructureTableId = 770, QvnmGetRebuildStatusId = 771, QvnmStartTransactionId = 1024, QvnmEndTransactionId = 1025;
constexpr std::uint32_t QvnmOpenTableId = 1280, QvnmAcqTableLockId = 1296, QvnmRelTableLockId = 1297,
                        QvnmIsTableLockedId = 1298, QvnmGetTableDictionaryId = 1299, QvnmBuildTableId = 1300,
                        QvnmDeleteTableId = 1301, QvnmRenameTableId = 1302, QvnmGetTableRecCountId = 1303,
                        QvnmEmptyTableId = 1304, QvnmAddIndexId = 1305, QvnmDropIndexId = 1306;
constexpr std::uint32_t QvnmCreateBLOBId = 1536, QvnmReadBLOBId = 1538, QvnmGetBLOBLengthId = 1539,
                        QvnmTruncateBLOBId = 1540, QvnmWriteBLOBId = 1541, QvnmFreeBLOBId = 1542;
constexpr std::uint32_t QvnmSetToBeginId = 1792, QvnmSetToEndId = 1793, QvnmCursorCloseId = 1794,
                        QvnmGetBookmarkId = 1795, QvnmSetToBookmarkId = 1796, QvnmSetToKeyId = 1797,
                        QvnmSwitchToIndexId = 1798, QvnmSetRangeId = 1799, QvnmResetRangeId = 1800,
                        QvnmCompareBookmarksId = 1801, QvnmCursorCloneId = 1802, QvnmSetToCursorId = 1803,
                        QvnmGetSeqNoId = 1804, QvnmSetToSeqNoId = 1805;
constexpr std::uint32_t QvnmRecordGetId = 2048, QvnmRecordGetNextId = 2049, QvnmRecordGetPrevId = 2050,
                        QvnmRecordRelLockId = 2051, QvnmRecordDeleteId = 2052, QvnmRecordInsertId = 2053,
                        QvnmRecordModifyId = 2054, QvnmRecordExtractKeyId = 2055, QvnmRecordGetForKeyId = 2056,
                        QvnmRecordGetBatchId = 2057, QvnmRecordSkipBackId = 2059;

class IClientTransport {
public:
    virtual ~IClientTransport() = default;
    // Attaches this client to `server`; the server's result.
    virtual DBIResult Attach(const std::string& server, const std::string& user, const std::string& password) = 0;
    virtual bool Connected() const = 0;
    // Sends one request and waits for its answer; the reply's bytes replace
    // `reply`. A reply of several parts is reduced to its first part: its
    // code is the result and its data the reply.
    virtual DBIResult SendRequest(std::uint32_t messageId, const std::uint8_t* request, std::uint32_t length,
                                  bool requestIsStream, std::vector<std::uint8_t>& reply) = 0;
};

// Makes the transport of a new session; may throw when the transport
// cannot be started. `clientName` is at most 63 characters.
using ClientTransportFactory = std::function<std::unique_ptr<IClientTransport>(const std::string& clientName)>;
void SetClientTransportFactory(ClientTransportFactory factory);
const ClientTransportFactory& GetClientTransportFactory();

// The login dialog of a server that wants a user name and password. The
// program connects its form here; tests install a scripted one. Without
// one, a login is cancelled.
class ILoginDialogService {
public:
    virtual ~ILoginDialogService() = default;
    // Shows the dialog for `serverName`; true with the entered names on OK.
    virtual bool Execute(const std::string& serverName, std::string& userName, std::string& password) = 0;
};
void SetLoginDialogService(ILoginDialogService* service);
ILoginDialogService* CurrentLoginDialogService();

// The form's state and its OK rule: the dialog closes with OK only when
// both a user name and a password were entered.
class TQVLoginDialog {
public:
    static constexpr const char* kCaption = "Dunmere Server Login";
    std::string ServerLbl;
    std::string UserNameEdt;
    std::string PasswordEdt;
    // Which edit takes the focus after a refused OK: 0 none, 1 user, 2 password.
    int focused = 0;
    int beeps = 0;
    // True when the dialog closes with the OK result.
    bool BitBtn1Click();
};

// Little-endian request payloads, field by field. Most requests are a few
// fields and a record: they are built in place, and only a larger one (a
// dictionary, a batch) moves to the heap.
class TqvRequestWriter {
public:
    TqvRequestWriter() = default;
    TqvRequestWriter(const TqvRequestWriter&) = delete;
    TqvRequestWriter& operator=(const TqvRequestWriter&) = delete;

    TqvRequestWriter& U8(std::uint8_t v) { return Raw(&v, 1); }
    TqvRequestWriter& U32(std::uint32_t v) {
        const std::uint8_t b[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                                   static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
        return Raw(b, 4);
    }
    // A length-prefixed string in a field of `width` bytes, cut to width - 1.
    TqvRequestWriter& Str(const std::string& s, std::size_t width);
    // `n` bytes from `p`, or `n` zero bytes when `p` is null.
    TqvRequestWriter& Raw(const void* p, std::size_t n) {
        if (n == 0) return *this;
        std::uint8_t* at = Grow(n);
        if (p == nullptr) std::memset(at, 0, n);
        else std::memcpy(at, p, n);
        return *this;
    }
    std::uint32_t Size() const { return static_cast<std::uint32_t>(size_); }
    const std::uint8_t* Data() const { return heap_.empty() ? small_ : heap_.data(); }

private:
    // Room for `n` more bytes at the end; where they go.
    std::uint8_t* Grow(std::size_t n) {
        const std::size_t at = size_;
        size_ += n;
        if (heap_.empty() && size_ <= sizeof small_) return small_ + at;
        if (heap_.empty()) heap_.assign(small_, small_ + at);
        heap_.resize(size_);
        return heap_.data() + at;
    }
    std::uint8_t small_[192];
    std::size_t size_ = 0;
    std::vector<std::uint8_t> heap_;
};

}  // namespace qv
