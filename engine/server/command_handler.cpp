#include "engine/server/command_handler.h"

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "engine/base/qv_base.h"
#include "engine/base/qv_exceptions.h"
#include "engine/comms/single_user_protocol.h"
#include "engine/server/server_log.h"
#include "platform/core/streams.h"

namespace qv {

static_assert(kQvIndexDescriptorBytes == kQvIndexDescriptorSize, "request 1305 carries one index descriptor");

namespace {

constexpr std::uint32_t kServerVersion = 10700;
// Nothing larger can travel as one message, so no reply buffer is ever sized
// beyond it, whatever lengths and counts a request names.
constexpr std::uint64_t kMaxReply = kQvMaxMessageData;

void PutU32(std::vector<std::uint8_t>& v, std::uint32_t x) {
    std::uint8_t b[4];
    qv::PutU32(b, x);
    v.insert(v.end(), b, b + 4);
}

std::vector<std::uint8_t> U32Reply(std::uint32_t x) {
    std::vector<std::uint8_t> v;
    PutU32(v, x);
    return v;
}

}  // namespace

// One request on its way through the handler: bounds-checked field access,
// logging under the switch, the rights check, the retry rule and the reply.
class TqvServerCommandHandler::Request {
public:
    Request(TqvServerCommandHandler& h, TqvDataMessage& m, const TqvRequestInfo& i)
        : handler(h), msg(m), info(i), p(m.Bytes()), n(HeldBytes(m)), logging(ServerDebugLog() && ServerLogStarted()) {}

    // The bytes actually held, never more than the length the message claims.
    static std::uint32_t HeldBytes(const TqvDataMessage& m) {
        if (!m.Bytes()) return 0;
        const std::uint64_t held = m.isStream ? static_cast<std::uint64_t>(m.stream->Size()) : m.data.size();
        return static_cast<std::uint32_t>(std::min<std::uint64_t>(held, m.dataLength));
    }

    TqvServerCommandHandler& handler;
    TqvDataMessage& msg;
    const TqvRequestInfo& info;
    const std::uint8_t* p;
    std::uint32_t n;
    bool logging;
    bool done = false;

    // Callers have checked the size before any of these.
    std::uint32_t U32(std::size_t at) const { return GetU32(p + at); }
    std::uint8_t U8(std::size_t at) const { return p[at]; }
    std::string Str(std::size_t at, std::size_t width) const { return GetShortStringField(p + at, width); }

    // A variable payload must be exactly what its own fields announce.
    bool Fits(std::uint64_t wanted) {
        if (wanted == n) return true;
        Reply(dbi::kInvalidParameter);
        return false;
    }
    void Log(std::string_view fmt, std::initializer_list<QvArg> args) {
        if (logging) WriteServerLog(QvFormat(fmt, args));
    }
    void Hex(std::string_view title, std::size_t size, const void* data) {
        if (logging) WriteServerLogHex(title, size, data);
    }
    bool RightsOk() {
        if (info.rights == 0) return true;
        DBIResult r = handler.engine_.CheckClientRights(msg.clientId, info.rights);
        if (r == 0) return true;
        Reply(r);
        return false;
    }
    // The retry rule: a conflict on a request that still has time is left
    // for the queue to present again.
    bool Deferred(DBIResult r) {
        if (info.retryCode == 0 || r != info.retryCode || !msg.timeLeft) return false;
        msg.retry = 1;
        done = true;
        Log("  *ERROR*  %x -- retrying until %d", {unsigned(r), msg.deadline});
        return true;
    }
    void Reply(DBIResult r, const std::uint8_t* data = nullptr, std::uint32_t len = 0, bool isStream = false,
               const std::function<void()>& logReply = {}, std::uint32_t replyId = 0) {
        if (done) return;
        done = true;
        if (msg.messageId == QvnmDetachServerJustInCase) return;  // never answered
        if (r != 0) data = nullptr, len = 0;
        handler.send_(replyId ? replyId : msg.messageId, msg.clientId, r, isStream, data, len);
        if (logging) {
            if (r == 0 && logReply) logReply();
            WriteServerLog(QvFormat("  *ERROR*  %x", {unsigned(r)}));
        }
    }
    void Reply(DBIResult r, const std::vector<std::uint8_t>& data, const std::function<void()>& logReply = {}) {
        Reply(r, data.data(), static_cast<std::uint32_t>(data.size()), false, logReply);
    }
    void ReplyStream(DBIResult r, const plat::MemoryStream& s, const std::function<void()>& logReply = {}) {
        Reply(r, reinterpret_cast<const std::uint8_t*>(s.Memory()), static_cast<std::uint32_t>(s.Bytes().size()),
              true, logReply);
    }
};

TqvServerCommandHandler::TqvServerCommandHandler(TqvServerEngine& engine, TqvServerCommsEngine& comms)
    : engine_(engine),
      rebuilder_(std::make_unique<TqvSrRebuilder>(engine)),
      singleUser_(dynamic_cast<TqvSingleUserProtocol*>(&comms.Transport()) != nullptr),
      keySeed_([&comms] { return comms.GetKeyStreamSeed(); }) {
    send_ = [&comms](std::uint32_t id, std::uint32_t client, std::uint16_t code, bool isStream,
                     const std::uint8_t* data, std::uint32_t len) {
        if (isStream && code == 0) {
            plat::MemoryStream s(std::string(reinterpret_cast<const char*>(data), len));
            comms.SendReplyStream(id, client, code, &s);
        } else {
            comms.SendReply(id, client, code, data, len);
        }
    };
}

TqvServerCommandHandler::TqvServerCommandHandler(TqvServerEngine& engine, TqvReplySender sender, bool singleUser,
                                                 std::function<std::uint32_t()> keySeed)
    : engine_(engine),
      rebuilder_(std::make_unique<TqvSrRebuilder>(engine)),
      send_(std::move(sender)),
      singleUser_(singleUser), keySeed_(std::move(keySeed)) {}

void TqvServerCommandHandler::Dispatch(TqvDataMessage& msg) {
    const TqvRequestInfo* info = FindRequest(msg.messageId);
    if (!info) {
        // Answered rather than dropped: a client would otherwise sit out its
        // whole time-out on a request nobody will ever answer.
        send_(msg.messageId, msg.clientId, kQvErrNotSupported, false, nullptr, 0);
        return;
    }
    Request r(*this, msg, *info);
    if (r.logging) {
        WriteServerLog(info->heading);
        WriteServerLog(QvFormat("  ClientID %d", {msg.clientId}));
    }
    try {
        bool sizeOk = info->rule == TqvPayloadRule::Exact      ? r.n == info->size
                      : info->rule == TqvPayloadRule::Variable ? r.n >= info->size
                                                               : true;
        if (!sizeOk)
            r.Reply(dbi::kInvalidParameter);
        else
            Run(r);
    } catch (const std::bad_alloc&) {
        r.Reply(dbi::kNoMemory);
    } catch (const std::exception& e) {
        r.Reply(TqvServerEngine::ExceptionToResult(e));
    }
    // A method that neither replied nor deferred is a fault in the method;
    // the client still gets an answer.
    if (!r.done && msg.messageId != QvnmDetachServerJustInCase) r.Reply(dbi::kUnknownServerError);
}

void TqvServerCommandHandler::Run(Request& r) {
    const std::uint32_t id = r.msg.messageId;
    switch (id) {
        case QvnmAttachServer: return nmAttachServer(r);
        case QvnmDetachServer:
        case QvnmDetachServerJustInCase: return nmDetachServer(r);
        case QvnmCheckSecureComms: return nmCheckSecureComms(r);
        default: break;
    }
    if (id < 512) return nmDatabase(r);
    if (id < 768) return nmSession(r);
    if (id < 1024) return nmRebuild(r);
    if (id < 1280) return nmTransaction(r);
    if (id < 1536) return nmTable(r);
    if (id < 1792) return nmBLOB(r);
    if (id < 2048) return nmCursor(r);
    if (id <= QvnmRecordGetPrev) return nmRecordRead(r);
    if (id == QvnmRecordInsert || id == QvnmRecordModify) return nmRecordChange(r);
    return nmRecordOther(r);
}

// ---- connection ---------------------------------------------------------------------------

void TqvServerCommandHandler::nmAttachServer(Request& r) {
    std::string name = r.Str(0, 32), user = r.Str(32, 32);
    r.Log("  Name     [%s]", {name});
    r.Log("  UserID   [%s]", {user});
    std::uint32_t hash = 0;
    DBIResult res = engine_.ClientAdd(r.msg.clientId, name, user, hash);
    const bool secure = engine_.Configuration().GeneralInfo()->IsSecure;
    std::uint32_t code = keySeed_ ? keySeed_() : 0;
    if (secure) code ^= hash;
    std::vector<std::uint8_t> rep = U32Reply(r.msg.clientId);
    PutU32(rep, kServerVersion);
    PutU32(rep, code);
    rep.push_back(secure ? 1 : 0);
    r.Reply(res, rep, [&] {
        r.Log("  ClientID %d", {r.msg.clientId});
        r.Log("  VersionNumber %d", {kServerVersion});
        r.Log("  Code %d", {code});
        r.Log("  IsSecure %d", {secure ? 1 : 0});
    });
}

void TqvServerCommandHandler::nmDetachServer(Request& r) {
    DBIResult res = engine_.ClientRemove(r.msg.clientId);
    rebuilder_->ClientRemove(r.msg.clientId);
    if (r.msg.messageId == QvnmDetachServerJustInCase) {
        r.done = true;  // the client has gone; nobody waits for this answer
        r.Log("  *ERROR*  %x", {unsigned(res)});
        return;
    }
    r.Reply(res);
}

void TqvServerCommandHandler::nmCheckSecureComms(Request& r) { r.Reply(0); }

// ---- databases and aliases ----------------------------------------------------------------

void TqvServerCommandHandler::nmDatabase(Request& r) {
    std::uint32_t dbId = 0;
    switch (r.msg.messageId) {
        case QvnmDatabaseOpen:
        case QvnmDatabaseOpenNoAlias: {
            const bool byAlias = r.msg.messageId == QvnmDatabaseOpen;
            const std::size_t w = byAlias ? 32 : 220;
            std::string name = r.Str(0, w);
            std::uint8_t openMode = r.U8(w), shareMode = r.U8(w + 1);
            r.Log(byAlias ? "  Alias    [%s]" : "  Path     [%s]", {name});
            r.Log("  OpenMode %d", {openMode});
            r.Log("  ShrMode  %d", {shareMode});
            if (!r.RightsOk()) return;
            // The mode bytes: 1 read-write and 1 shared.
            DBIResult res = byAlias ? engine_.DatabaseOpen(r.msg.clientId, name, openMode != 0, shareMode != 0, dbId)
                                    : engine_.DatabaseOpenNoAlias(r.msg.clientId, name, openMode != 0,
                                                                  shareMode != 0, dbId);
            return r.Reply(res, U32Reply(dbId), [&] { r.Log("  DBase ID %d", {dbId}); });
        }
        case QvnmDatabaseClose:
            r.Log("  DBaseID  %d", {r.U32(0)});
            return r.Reply(engine_.DatabaseClose(r.U32(0)));
        case QvnmDatabaseAliasList: {
            if (!r.RightsOk()) return;
            plat::MemoryStream s;
            DBIResult res = engine_.DatabaseAliasList(s);
            return r.ReplyStream(res, s, [&] { r.Hex("  List", s.Bytes().size(), s.Memory()); });
        }
        case QvnmDatabaseTableList: {
            std::string mask = r.Str(4, 36);
            r.Log("  DBaseID  %d", {r.U32(0)});
            r.Log("  Mask     [%s]", {mask});
            if (!r.RightsOk()) return;
            plat::MemoryStream s;
            DBIResult res = engine_.DatabaseTableList(r.U32(0), mask, s);
            return r.ReplyStream(res, s, [&] { r.Hex("  List", s.Bytes().size(), s.Memory()); });
        }
        case QvnmDatabaseAddAlias:
        case QvnmDatabaseChgAliasPath: {
            const bool add = r.msg.messageId == QvnmDatabaseAddAlias;
            std::string alias = r.Str(0, 32), path = r.Str(32, 220);
            r.Log("  Alias    [%s]", {alias});
            r.Log(add ? "  Path     [%s]" : "  NewPath  [%s]", {path});
            if (!r.RightsOk()) return;
            return r.Reply(add ? engine_.DatabaseAddAlias(alias, path) : engine_.DatabaseChgAliasPath(alias, path));
        }
        case QvnmDatabaseInTrans: {
            r.Log("  DBaseID  %d", {r.U32(0)});
            if (!r.RightsOk()) return;
            bool in = false;
            DBIResult res = engine_.DatabaseInTrans(r.U32(0), in);
            std::vector<std::uint8_t> rep{static_cast<std::uint8_t>(in ? 1 : 0)};
            return r.Reply(res, rep, [&] { r.Log("  InTrans  %d", {in ? 1 : 0}); });
        }
        case QvnmDatabaseDeleteAlias: {
            std::string alias = r.Str(0, 32);
            r.Log("  Alias    [%s]", {alias});
            if (!r.RightsOk()) return;
            return r.Reply(engine_.DatabaseDeleteAlias(alias));
        }
        default: return;
    }
}

// ---- sessions -------------------------------------------------------------------------------

void TqvServerCommandHandler::nmSession(Request& r) {
    const std::uint32_t client = r.msg.clientId;
    std::uint32_t session = 0;
    switch (r.msg.messageId) {
        case QvnmSessionAdd: {
            DBIResult res = engine_.SessionAdd(client, session);
            return r.Reply(res, U32Reply(session), [&] { r.Log("  Session  %d", {session}); });
        }
        case QvnmSessionGetCurrent: {
            DBIResult res = engine_.SessionGetCurrent(client, session);
            return r.Reply(res, U32Reply(session), [&] { r.Log("  Session  %d", {session}); });
        }
        case QvnmSessionClose:
            r.Log("  Session  %d", {r.U32(0)});
            return r.Reply(engine_.SessionClose(client, r.U32(0)));
        case QvnmSessionSetCurrent:
            r.Log("  Session  %d", {r.U32(0)});
            return r.Reply(engine_.SessionSetCurrent(client, r.U32(0)));
        default: return;
    }
}

// ---- rebuilds ------------------------------------------------------------------------------
// The three rebuilds start a worker and answer its id at once; the client
// polls 771 for progress and the final result.

void TqvServerCommandHandler::nmRebuild(Request& r) {
    std::int32_t rebuild = -1;
    DBIResult res = 0;
    switch (r.msg.messageId) {
        case QvnmReindexTable: {
            std::string table = r.Str(4, 32), index = r.Str(36, 32);
            r.Log("  DBase ID %d", {r.U32(0)});
            r.Log("  TblName  [%s]", {table});
            r.Log("  InxName  [%s]", {index});
            r.Log("  InxNum   %d", {r.U32(68)});
            if (!r.RightsOk()) return;
            res = rebuilder_->TableReindex(r.U32(0), table, index, r.U32(68), rebuild);
            return r.Reply(res, U32Reply(static_cast<std::uint32_t>(rebuild)),
                           [&] { r.Log("  RbldID   %d", {rebuild}); });
        }
        case QvnmPackTable: {
            std::string table = r.Str(4, 32);
            r.Log("  DBase ID %d", {r.U32(0)});
            r.Log("  TblName  [%s]", {table});
            if (!r.RightsOk()) return;
            res = rebuilder_->TablePack(r.U32(0), table, rebuild);
            return r.Reply(res, U32Reply(static_cast<std::uint32_t>(rebuild)),
                           [&] { r.Log("  RbldID   %d", {rebuild}); });
        }
        case QvnmRestructureTable: {
            if (r.n < 36) return r.Reply(dbi::kInvalidParameter);
            plat::MemoryStream s(std::string(reinterpret_cast<const char*>(r.p), r.n));
            s.SetPosition(36);
            TqvDataDictionary dict;
            std::vector<std::string> map;
            try {
                dict.ReadFromStream(s);
                std::uint8_t len = 0;
                while (s.Read(&len, 1) == 1 && len != 0) {
                    std::string line(len, '\0');
                    if (s.Read(line.data(), len) != len) return r.Reply(dbi::kInvalidParameter);
                    map.push_back(std::move(line));
                }
            } catch (const std::exception&) {
                return r.Reply(dbi::kInvalidParameter);
            }
            std::string table = r.Str(4, 32);
            r.Log("  DBase ID %d", {r.U32(0)});
            r.Log("  TblName  [%s]", {table});
            r.Hex("  Dictionary", r.n - 36, r.p + 36);
            if (map.empty()) r.Log("  FieldMap nil", {});
            for (std::size_t i = 0; i < map.size(); ++i)
                r.Log(i == 0 ? "  FieldMap [%s]" : "           [%s]", {map[i]});
            if (!r.RightsOk()) return;
            res = rebuilder_->TableRestructure(r.U32(0), table, dict, map, rebuild);
            return r.Reply(res, U32Reply(static_cast<std::uint32_t>(rebuild)),
                           [&] { r.Log("  ReBldID %d", {rebuild}); });
        }
        case QvnmGetRebuildStatus: {
            r.Log("  RebldID  %d", {r.U32(0)});
            if (!r.RightsOk()) return;
            std::vector<std::uint8_t> rep(kRebuildRecordSize + 1, 0);
            std::uint8_t found = 0;
            res = rebuilder_->GetRebuildStatus(r.U32(0), found, rep.data());
            rep[kRebuildRecordSize] = found;
            return r.Reply(res, rep, [&] { r.Log("  IsThere  %d", {found}); });
        }
        default: return;
    }
}

// ---- transactions ------------------------------------------------------------------------------

void TqvServerCommandHandler::nmTransaction(Request& r) {
    if (r.msg.messageId == QvnmStartTransaction) {
        r.Log("  DBase ID %d", {r.U32(0)});
        r.Log("  FailSafe %d", {r.U8(4)});
        std::uint32_t tr = 0;
        DBIResult res = engine_.TransactionStart(r.U32(0), r.U8(4) != 0, tr);
        if (r.Deferred(res)) return;
        return r.Reply(res, U32Reply(tr), [&] { r.Log("  TransID  %d", {tr}); });
    }
    r.Log("  Trans ID %d", {r.U32(0)});
    r.Log("  Commit?  %d", {r.U8(4)});
    // Any non-zero byte commits.
    r.Reply(r.U8(4) ? engine_.TransactionCommit(r.U32(0)) : engine_.TransactionRollback(r.U32(0)));
}

// ---- tables ----------------------------------------------------------------------------------

void TqvServerCommandHandler::nmTable(Request& r) {
    switch (r.msg.messageId) {
        case QvnmOpenTable: {
            std::string table = r.Str(4, 32), index = r.Str(36, 32);
            r.Log("  DBase ID %d", {r.U32(0)});
            r.Log("  TblName  [%s]", {table});
            r.Log("  InxName  [%s]", {index});
            r.Log("  InxNum   %d", {r.U32(68)});
            r.Log("  OpenMode %d", {r.U8(72)});
            r.Log("  ShrMode  %d", {r.U8(73)});
            if (!r.RightsOk()) return;
            plat::MemoryStream s;
            std::uint32_t cursor = 0;
            DBIResult res = engine_.OpenTable(r.U32(0), table, index, r.U32(68), r.U8(72) != 0, r.U8(73) != 0, 0,
                                              &s, cursor);
            return r.ReplyStream(res, s, [&] { r.Hex("  Dictionary, etc", s.Bytes().size(), s.Memory()); });
        }
        case QvnmAcqTableLock: {
            r.Log("  CursorID %d", {r.U32(0)});
            r.Log("  LockType %d", {r.U8(4)});
            if (!r.RightsOk()) return;
            DBIResult res = engine_.AcqTableLock(r.U32(0), r.U8(4));
            if (r.Deferred(res)) return;
            return r.Reply(res);
        }
        case QvnmRelTableLock:
            r.Log("  CursorID %d", {r.U32(0)});
            r.Log("  AllLocks %d", {r.U8(4)});
            r.Log("  LockType %d", {r.U8(5)});
            return r.Reply(engine_.RelTableLock(r.U32(0), r.U8(4) != 0, r.U8(5)));
        case QvnmIsTableLocked: {
            r.Log("  CursorID %d", {r.U32(0)});
            r.Log("  LockType %d", {r.U8(4)});
            if (!r.RightsOk()) return;
            bool locked = false;
            DBIResult res = engine_.IsTableLocked(r.U32(0), r.U8(4), locked);
            std::vector<std::uint8_t> rep{static_cast<std::uint8_t>(locked ? 1 : 0)};
            return r.Reply(res, rep, [&] { r.Log("  Locked?  %d", {locked ? 1 : 0}); });
        }
        case QvnmGetTableDictionary: {
            std::string table = r.Str(4, 32);
            r.Log("  DBase ID %d", {r.U32(0)});
            r.Log("  TblName  [%s]", {table});
            if (!r.RightsOk()) return;
            plat::MemoryStream s;
            DBIResult res = engine_.GetTableDictionary(r.U32(0), table, s, 0);
            return r.ReplyStream(res, s, [&] { r.Hex("  Dictionary", s.Bytes().size(), s.Memory()); });
        }
        case QvnmBuildTable: {
            if (r.n < 37) return r.Reply(dbi::kInvalidParameter);
            std::string table = r.Str(5, 32);
            plat::MemoryStream s(std::string(reinterpret_cast<const char*>(r.p), r.n));
            s.SetPosition(37);
            TqvDataDictionary dict;
            try {
                dict.ReadFromStream(s);
            } catch (const std::exception&) {
                return r.Reply(dbi::kInvalidParameter);
            }
            if (s.Position() != static_cast<std::int64_t>(r.n)) return r.Reply(dbi::kInvalidParameter);
            r.Log("  DBase ID %d", {r.U32(0)});
            r.Log("  OverWrite %d", {r.U8(4)});
            r.Log("  TblName  [%s]", {table});
            r.Hex("  Dictionary", r.n - 37, r.p + 37);
            if (!r.RightsOk()) return;
            return r.Reply(engine_.BuildTable(r.U32(0), r.U8(4) != 0, dict, 0, table));
        }
        case QvnmDeleteTable: {
            std::string table = r.Str(4, 32);
            r.Log("  DBase ID %d", {r.U32(0)});
            r.Log("  TblName  [%s]", {table});
            if (!r.RightsOk()) return;
            return r.Reply(engine_.DeleteTable(r.U32(0), table));
        }
        case QvnmRenameTable: {
            std::string from = r.Str(4, 32), to = r.Str(36, 32);
            r.Log("  DBase ID %d", {r.U32(0)});
            r.Log("  OldTblName  [%s]", {from});
            r.Log("  NewTblName  [%s]", {to});
            if (!r.RightsOk()) return;
            return r.Reply(engine_.RenameTable(r.U32(0), from, to));
        }
        case QvnmGetTableRecCount: {
            r.Log("  CursorID %d", {r.U32(0)});
            if (!r.RightsOk()) return;
            std::uint32_t count = 0;
            DBIResult res = engine_.GetTableRecCount(r.U32(0), count);
            return r.Reply(res, U32Reply(count), [&] { r.Log("  Count   %d", {count}); });
        }
        case QvnmEmptyTable: {
            std::string table = r.Str(8, 32);
            r.Log("  DBase ID %d", {r.U32(0)});
            r.Log("  CursorID %d", {r.U32(4)});
            r.Log("  TblName  [%s]", {table});
            if (!r.RightsOk()) return;
            return r.Reply(engine_.EmptyTable(r.U32(0), r.U32(4), table));
        }
        case QvnmAddIndex: {
            std::string table = r.Str(8, 32);
            r.Log("  DBase ID %d", {r.U32(0)});
            r.Log("  CursorID %d", {r.U32(4)});
            r.Log("  TblName  [%s]", {table});
            if (!r.RightsOk()) return;
            TqvIndexDescriptor d;
            try {
                d = DecodeIndexDescriptor(r.p + 40, kQvIndexDescriptorBytes);
            } catch (const std::exception&) {
                return r.Reply(dbi::kInvalidIndexDescriptor);
            }
            std::uint32_t db = r.U32(0);
            DBIResult res = engine_.AddIndex(db, r.U32(4), d, table);
            // The engine builds the new index's keys as part of the change;
            // no rebuild runs on after the reply, so its id is 0 (unknown to
            // the status query, which reads as finished).
            std::uint32_t rebuild = 0;
            return r.Reply(res, U32Reply(rebuild), [&] { r.Log("  RebuildID %x", {rebuild}); });
        }
        case QvnmDropIndex: {
            std::string table = r.Str(8, 32), index = r.Str(40, 32);
            r.Log("  DBase ID %d", {r.U32(0)});
            r.Log("  CursorID %d", {r.U32(4)});
            r.Log("  TblName  [%s]", {table});
            r.Log("  InxName  [%s]", {index});
            r.Log("  IndexID  [%d]", {r.U32(72)});
            if (!r.RightsOk()) return;
            return r.Reply(engine_.DropIndex(r.U32(0), r.U32(4), r.U32(72), index, table));
        }
        case QvnmSetTableAutoIncValue:
            r.Log("  CursorID %d", {r.U32(0)});
            r.Log("  Value %d", {r.U32(4)});
            if (!r.RightsOk()) return;
            return r.Reply(engine_.SetTableAutoIncValue(r.U32(0), r.U32(4)));
        default: return;
    }
}

// ---- BLOBs --------------------------------------------------------------------------------------

void TqvServerCommandHandler::nmBLOB(Request& r) {
    const std::uint32_t cursor = r.U32(0);
    r.Log("  CursorID %d", {cursor});
    switch (r.msg.messageId) {
        case QvnmCreateBLOB: {
            if (!r.RightsOk()) return;
            std::uint32_t nr = 0;
            DBIResult res = engine_.CreateBLOB(cursor, nr);
            if (r.Deferred(res)) return;
            return r.Reply(res, U32Reply(nr), [&] { r.Log("  BLOBNr   %d", {nr}); });
        }
        case QvnmDeleteBLOB:
        case QvnmFreeBLOB: {
            const bool del = r.msg.messageId == QvnmDeleteBLOB;
            r.Log(del ? "  BLOBNr   %d" : "  BLOBNr %d", {r.U32(4)});
            if (!r.RightsOk()) return;
            DBIResult res = del ? engine_.DeleteBLOB(cursor, r.U32(4)) : engine_.FreeBLOB(cursor, r.U32(4));
            if (r.Deferred(res)) return;
            return r.Reply(res);
        }
        case QvnmReadBLOB: {
            const std::uint32_t nr = r.U32(4), offset = r.U32(8), len = r.U32(12);
            r.Log("  BLOBNr %d", {nr});
            r.Log("  Offset %d", {offset});
            r.Log("  Len %d", {len});
            if (!r.RightsOk()) return;
            // What is asked beyond one message's worth could never be sent.
            const std::uint32_t want = static_cast<std::uint32_t>(std::min<std::uint64_t>(len, kMaxReply - 4));
            std::vector<std::uint8_t> rep(std::size_t(want) + 4, 0);
            std::uint32_t got = 0;
            DBIResult res = engine_.ReadBLOB(cursor, nr, offset, want, rep.data() + 4, want, got);
            got = std::min(got, want);
            qv::PutU32(rep.data(), got);
            rep.resize(std::size_t(got) + 4);
            return r.Reply(res, rep, [&] {
                r.Log("  BytesRead %d", {got});
                r.Hex("  BLOB", got, rep.data() + 4);
            });
        }
        case QvnmGetBLOBLength: {
            r.Log("  BLOBNr   %d", {r.U32(4)});
            if (!r.RightsOk()) return;
            std::uint32_t len = 0;
            DBIResult res = engine_.GetBLOBLength(cursor, r.U32(4), len);
            return r.Reply(res, U32Reply(len), [&] { r.Log("  BLOBLen  %d", {len}); });
        }
        case QvnmTruncateBLOB: {
            r.Log("  BLOBNr   %d", {r.U32(4)});
            r.Log("  BLOBLen  %d", {r.U32(8)});
            if (!r.RightsOk()) return;
            DBIResult res = engine_.TruncateBLOB(cursor, r.U32(4), r.U32(8));
            if (r.Deferred(res)) return;
            return r.Reply(res);
        }
        case QvnmWriteBLOB: {
            const std::uint32_t len = r.U32(12);
            if (!r.Fits(16ull + len)) return;
            r.Log("  BLOBNr %d", {r.U32(4)});
            r.Log("  Offset %d", {r.U32(8)});
            r.Log("  Len %d", {len});
            r.Hex("  BLOB", len, r.p + 16);
            if (!r.RightsOk()) return;
            DBIResult res = engine_.WriteBLOB(cursor, r.U32(4), r.U32(8), len, r.p + 16, len);
            if (r.Deferred(res)) return;
            return r.Reply(res);
        }
        case QvnmAddFileBLOB: {
            const std::uint8_t len = r.U8(4);
            if (!r.Fits(5ull + len)) return;
            std::string file(reinterpret_cast<const char*>(r.p + 5), len);
            r.Log("  FileName %s", {file});
            if (!r.RightsOk()) return;
            // The file is named on the server's disk: only a client inside
            // this process may do that, never one across the network.
            if (!singleUser_) return r.Reply(dbi::kRights);
            std::uint32_t nr = 0;
            DBIResult res = engine_.AddFileBLOB(cursor, file, nr);
            if (r.Deferred(res)) return;
            return r.Reply(res, U32Reply(nr), [&] { r.Log("  BLOBNr   %d", {nr}); });
        }
        default: return;
    }
}

// ---- cursors --------------------------------------------------------------------------------------

void TqvServerCommandHandler::nmCursor(Request& r) {
    const std::uint32_t cursor = r.U32(0);
    const std::uint32_t id = r.msg.messageId;
    if (id == QvnmSetToCursor) {
        r.Log("  DestCursor %d", {cursor});
        r.Log("  SrcCursor  %d", {r.U32(4)});
        return r.Reply(engine_.SetToCursor(cursor, r.U32(4)));
    }
    r.Log("  CursorID %d", {cursor});
    switch (id) {
        case QvnmSetToBegin: return r.Reply(engine_.SetToBegin(cursor));
        case QvnmSetToEnd: return r.Reply(engine_.SetToEnd(cursor));
        case QvnmCursorClose: return r.Reply(engine_.CursorClose(cursor));
        case QvnmResetRange: return r.Reply(engine_.ResetRange(cursor));
        case QvnmGetBookmark: {
            const std::uint32_t size = r.U32(4);
            r.Log("  BM Size  %d", {size});
            std::string bm;
            DBIResult res = engine_.GetBookmark(cursor, bm);
            // The client reads exactly the size it named; another size is its mistake.
            if (res == 0 && bm.size() != size) res = dbi::kBookmarkMismatch;
            return r.Reply(res, reinterpret_cast<const std::uint8_t*>(bm.data()), static_cast<std::uint32_t>(bm.size()),
                           false, [&] { r.Hex("  Bookmark", bm.size(), bm.data()); });
        }
        case QvnmSetToBookmark: {
            const std::uint32_t size = r.U32(4);
            if (!r.Fits(8ull + size)) return;
            r.Log("  BM Size  %d", {size});
            r.Hex("  Bookmark", size, r.p + 8);
            return r.Reply(engine_.SetToBookmark(cursor, r.p + 8, size));
        }
        case QvnmSetToKey: {
            const std::uint32_t len = r.U32(14);
            if (!r.Fits(18ull + len)) return;
            r.Log("  Action   %d", {r.U8(4)});
            r.Log("  DrctKey  %d", {r.U8(5)});
            r.Log("  FldCount %d", {r.U32(6)});
            r.Log("  PartLen  %d", {r.U32(10)});
            r.Log("  DataLen  %d", {len});
            r.Hex("  Data", len, r.p + 18);
            return r.Reply(engine_.SetToKey(cursor, r.U8(4), r.U8(5) != 0, r.U32(6), r.U32(10), r.p + 18, len));
        }
        case QvnmSwitchToIndex: {
            std::string index = r.Str(4, 32);
            r.Log("  InxName  [%s]", {index});
            r.Log("  InxNum   %d", {r.U32(36)});
            r.Log("  PosnRec  %d", {r.U8(40)});
            return r.Reply(engine_.SwitchToIndex(cursor, index, r.U32(36), r.U8(40) != 0));
        }
        case QvnmSetRange: {
            const std::uint32_t len1 = r.U32(13), len2 = r.U32(26);
            if (!r.Fits(31ull + len1 + len2)) return;
            TqvServerEngine::RangeEnd a, b;
            a.fieldCount = r.U32(5), a.partialLength = r.U32(9), a.inclusive = r.U8(17) != 0;
            b.fieldCount = r.U32(18), b.partialLength = r.U32(22), b.inclusive = r.U8(30) != 0;
            if (len1) a.data = r.p + 31, a.size = len1;
            if (len2) b.data = r.p + 31 + len1, b.size = len2;
            r.Log("  DirectKey %d", {r.U8(4)});
            r.Log("  KeyLen1 %d", {len1});
            r.Log("  FieldCount1 %d", {a.fieldCount});
            r.Log("  PartialLen1 %d", {a.partialLength});
            r.Log("  KeyIncl1 %d", {r.U8(17)});
            r.Hex("  Key1", len1, a.data);
            r.Log("  KeyLen2 %d", {len2});
            r.Log("  FieldCount2 %d", {b.fieldCount});
            r.Log("  PartialLen2 %d", {b.partialLength});
            r.Log("  KeyIncl2 %d", {r.U8(30)});
            r.Hex("  Key2", len2, b.data);
            return r.Reply(engine_.SetRange(cursor, r.U8(4) != 0, a, b));
        }
        case QvnmCompareBookmarks: {
            const std::uint32_t size = r.U32(4);
            if (!r.Fits(8ull + 2ull * size)) return;
            r.Log("  BM Size  %d", {size});
            r.Hex("  BM1", size, r.p + 8);
            r.Hex("  BM2", size, r.p + 8 + size);
            if (!r.RightsOk()) return;
            std::string b1(reinterpret_cast<const char*>(r.p + 8), size);
            std::string b2(reinterpret_cast<const char*>(r.p + 8 + size), size);
            int cmp = 0;
            DBIResult res = engine_.CompareBookmarks(cursor, b1, b2, cmp);
            // Only the sign travels, whatever magnitude the comparison gave.
            std::int32_t sign = cmp < 0 ? -1 : cmp > 0 ? 1 : 0;
            return r.Reply(res, U32Reply(static_cast<std::uint32_t>(sign)), [&] { r.Log("  Compare  %d", {sign}); });
        }
        case QvnmGetSeqNo: {
            std::uint32_t seq = 0;
            DBIResult res = engine_.GetSeqNo(cursor, seq);
            return r.Reply(res, U32Reply(seq), [&] { r.Log("  SeqNo    %d", {seq}); });
        }
        case QvnmSetToSeqNo:
            r.Log("  SeqNo    %d", {r.U32(4)});
            return r.Reply(engine_.SetToSeqNo(cursor, r.U32(4)));
        case QvnmCursorClone: {
            r.Log("  OpenMode %d", {r.U8(4)});
            if (!r.RightsOk()) return;
            std::uint32_t clone = 0;
            DBIResult res = engine_.CursorClone(cursor, r.U8(4) != 0, clone);
            return r.Reply(res, U32Reply(clone), [&] { r.Log("  CursorID %d", {clone}); });
        }
        default: return;
    }
}

// ---- records ---------------------------------------------------------------------------------------
// The multipart replies are built in one buffer: the engine writes each
// record and bookmark straight behind its 12-byte sub-header.

namespace {

// Fills the bookmark sub-message at `pos` and returns the position after it.
std::uint8_t* PutBookmark(TqvServerEngine& engine, std::uint32_t cursor, std::uint32_t bmSize, std::uint8_t* pos) {
    DBIResult code = dbi::kBookmarkMismatch;
    std::uint32_t len = 0;
    if (bmSize != 0) {
        std::string bm;
        code = engine.GetBookmark(cursor, bm);
        if (code == 0 && bm.size() != bmSize) code = dbi::kBookmarkMismatch;
        if (code == 0) {
            std::copy(bm.begin(), bm.end(), pos + kQvSubMsgHeaderSize);
            len = bmSize;
        }
    }
    return WriteSubMessage(pos, QvnmGetBookmark, code, len, false);
}

}  // namespace

void TqvServerCommandHandler::nmRecordRead(Request& r) {
    const std::uint32_t id = r.msg.messageId, cursor = r.U32(0), recLen = r.U32(4), bmSize = r.U32(8);
    const bool lock = r.U8(12) != 0;
    r.Log("  CursorID %d", {cursor});
    r.Log("  LockType %d", {r.U8(12)});
    r.Log("  RecLen   %d", {recLen});
    r.Log("  BMSize   %d", {bmSize});
    if (!r.RightsOk()) return;
    const std::uint64_t total = 2ull * kQvSubMsgHeaderSize + recLen + bmSize;
    if (total > kMaxReply) return r.Reply(dbi::kInvalidParameter);
    std::vector<std::uint8_t> buf(total, 0);
    std::uint8_t* rec = recLen ? buf.data() + kQvSubMsgHeaderSize : nullptr;
    DBIResult res = id == QvnmRecordGet       ? engine_.RecordGet(cursor, lock, rec, recLen)
                    : id == QvnmRecordGetNext ? engine_.RecordGetNext(cursor, lock, rec, recLen)
                                              : engine_.RecordGetPrev(cursor, lock, rec, recLen);
    if (r.Deferred(res)) return;
    if (res != 0 && rec) std::fill(rec, rec + recLen, 0);
    std::uint8_t* pos = WriteSubMessage(buf.data(), id, res, res ? 0 : recLen, false);
    std::uint8_t* end = PutBookmark(engine_, cursor, bmSize, pos);
    const std::uint32_t shown = res ? 0u : recLen;
    r.Reply(0, buf.data(), static_cast<std::uint32_t>(end - buf.data()), false,
            [&] {
                r.Hex("  Record", shown, rec);
                WriteServerLog("CursorGetBookmark (multipart)");
                TqvSubMsgHeader h = ReadSubMsgHeader(pos);
                r.Hex("  Bookmark", h.length - kQvSubMsgHeaderSize, pos + kQvSubMsgHeaderSize);
            },
            QvnmMultipart);
}

void TqvServerCommandHandler::nmRecordChange(Request& r) {
    const std::uint32_t id = r.msg.messageId, cursor = r.U32(0), recLen = r.U32(4), bmSize = r.U32(8);
    const std::uint8_t flag = r.U8(12);
    if (!r.Fits(13ull + recLen)) return;
    r.Log("  CursorID %d", {cursor});
    r.Log("  RecLen   %d", {recLen});
    r.Log("  BMSize   %d", {bmSize});
    r.Log(id == QvnmRecordInsert ? "  LockType %d" : "  RelLock  %d", {flag});
    if (!r.RightsOk()) return;
    const std::uint64_t total = 3ull * kQvSubMsgHeaderSize + recLen + bmSize;
    if (total > kMaxReply) return r.Reply(dbi::kInvalidParameter);
    std::vector<std::uint8_t> record(r.p + 13, r.p + 13 + recLen);
    DBIResult res = id == QvnmRecordInsert ? engine_.RecordInsert(cursor, flag != 0, record.data(), recLen)
                                           : engine_.RecordModify(cursor, record.data(), recLen, flag != 0);
    if (r.Deferred(res)) return;
    std::vector<std::uint8_t> buf(total, 0);
    std::uint8_t* pos = WriteSubMessage(buf.data(), id, res, 0, false);
    // The current record is read again whatever the change's outcome, so the
    // client's buffer shows what the table now holds.
    std::uint8_t* rec = recLen ? pos + kQvSubMsgHeaderSize : nullptr;
    DBIResult reread = engine_.RecordGet(cursor, false, rec, recLen);
    if (reread != 0 && rec) std::fill(rec, rec + recLen, 0);
    const std::uint32_t shown = reread ? 0u : recLen;
    std::uint8_t* bmPos = WriteSubMessage(pos, QvnmRecordGet, reread, shown, false);
    std::uint8_t* end = PutBookmark(engine_, cursor, bmSize, bmPos);
    r.Reply(0, buf.data(), static_cast<std::uint32_t>(end - buf.data()), false,
            [&] {
                WriteServerLog("RecordGet (multipart)");
                r.Hex("  Record", shown, rec);
                WriteServerLog("CursorGetBookmark (multipart)");
                TqvSubMsgHeader h = ReadSubMsgHeader(bmPos);
                r.Hex("  Bookmark", h.length - kQvSubMsgHeaderSize, bmPos + kQvSubMsgHeaderSize);
            },
            QvnmMultipart);
}

void TqvServerCommandHandler::nmRecordOther(Request& r) {
    const std::uint32_t cursor = r.U32(0);
    switch (r.msg.messageId) {
        case QvnmRecordRelLock:
            r.Log("  CursorID %d", {cursor});
            r.Log("  AllLocks %d", {r.U8(4)});
            return r.Reply(engine_.RecordRelLock(cursor, r.U8(4) != 0));
        case QvnmRecordDelete: {
            const std::uint32_t recLen = r.U32(4);
            r.Log("  CursorID %d", {cursor});
            r.Log("  RecLen   %d", {recLen});
            if (!r.RightsOk()) return;
            if (recLen > kMaxReply) return r.Reply(dbi::kInvalidParameter);
            std::vector<std::uint8_t> rec(recLen, 0);
            DBIResult res = engine_.RecordDelete(cursor, recLen ? rec.data() : nullptr, recLen);
            if (r.Deferred(res)) return;
            return r.Reply(res, rec, [&] { r.Hex("  Record", rec.size(), rec.data()); });
        }
        case QvnmRecordExtractKey: {
            const std::uint32_t keyLen = r.U32(4);
            const bool current = r.U8(8) != 0;
            r.Log("  CursorID %d", {cursor});
            r.Log("  KeyLen   %d", {keyLen});
            r.Log("  ForCurrRec %d", {r.U8(8)});
            if (!r.RightsOk()) return;
            if (keyLen > kMaxReply) return r.Reply(dbi::kInvalidParameter);
            std::string key;
            DBIResult res = engine_.RecordExtractKey(cursor, current ? nullptr : r.p + 9, current ? 0 : r.n - 9, key);
            if (res == 0 && key.size() != keyLen) res = dbi::kInvalidParameter;
            std::vector<std::uint8_t> rep(key.begin(), key.end());
            return r.Reply(res, rep, [&] { r.Hex("  Key", rep.size(), rep.data()); });
        }
        case QvnmRecordGetForKey: {
            const std::uint32_t recLen = r.U32(13), dataLen = r.U32(17);
            if (!r.Fits(25ull + dataLen)) return;
            r.Log("  CursorID %d", {cursor});
            r.Log("  DrctKey  %d", {r.U8(4)});
            r.Log("  FldCount %d", {r.U32(5)});
            r.Log("  PartLen  %d", {r.U32(9)});
            r.Log("  RecLen   %d", {recLen});
            r.Log("  DataLen  %d", {dataLen});
            r.Log("  BMSize   %d", {r.U32(21)});
            r.Hex("  Data", dataLen, r.p + 25);
            if (!r.RightsOk()) return;
            if (recLen > kMaxReply) return r.Reply(dbi::kInvalidParameter);
            // Look-ups come one after another: one buffer serves them all.
            std::vector<std::uint8_t>& rec = recordScratch_;
            rec.assign(recLen, 0);
            DBIResult res = engine_.RecordGetForKey(cursor, r.U8(4) != 0, r.U32(5), r.U32(9), r.p + 25, dataLen,
                                                    rec.data(), recLen);
            return r.Reply(res, rec, [&] { r.Hex("  Record", rec.size(), rec.data()); });
        }
        case QvnmRecordGetBatch: {
            const std::uint32_t recLen = r.U32(4), count = r.U32(8);
            r.Log("  CursorID %d", {cursor});
            r.Log("  RecLen   %d", {recLen});
            r.Log("  RecCount %d", {count});
            if (!r.RightsOk()) return;
            // Both factors come from the client: the product is checked in
            // 64 bits before anything is allocated.
            const std::uint64_t body = std::uint64_t(count) * recLen;
            if (body + 4 > kMaxReply) return r.Reply(dbi::kInvalidParameter);
            std::vector<std::uint8_t> rep(body + 4, 0);
            std::uint32_t got = 0;
            DBIResult res = engine_.RecordGetBatch(cursor, count, recLen, rep.data() + 4, body, got);
            qv::PutU32(rep.data(), got);
            // Only the records read travel: a short batch (the end, or a
            // range's end) is not padded out.
            rep.resize(4 + std::size_t(got) * recLen);
            return r.Reply(res, rep);
        }
        case QvnmRecordSkipBack: {
            r.Log("  CursorID %d", {cursor});
            r.Log("  Count    %d", {r.U32(4)});
            if (!r.RightsOk()) return;
            return r.Reply(engine_.RecordSkipBack(cursor, r.U32(4)));
        }
        case QvnmRecordInsertBatch: {
            const std::uint32_t recLen = r.U32(4), count = r.U32(8);
            const std::uint64_t body = std::uint64_t(count) * recLen;
            if (std::uint64_t(count) * 4 > kMaxReply) return r.Reply(dbi::kInvalidParameter);
            if (!r.Fits(12 + body)) return;
            r.Log("  CursorID %d", {cursor});
            r.Log("  RecCount %d", {count});
            r.Log("  RecLen   %d", {recLen});
            if (!r.RightsOk()) return;
            std::vector<std::uint8_t> records(r.p + 12, r.p + 12 + body);
            std::vector<DBIResult> results;
            DBIResult res = engine_.RecordInsertBatch(cursor, count, records.data(), recLen, body, results);
            if (r.Deferred(res)) return;
            std::vector<std::uint8_t> rep(std::size_t(count) * 4, 0);
            for (std::size_t i = 0; i < results.size() && i < count; ++i) qv::PutU32(rep.data() + i * 4, results[i]);
            return r.Reply(res, rep);
        }
        default: return;
    }
}

}  // namespace qv
