// The real server across a process boundary: a child process runs the server
// engine and its command handler behind a server comms engine on TCP/IP; this
// process connects over loopback as a client would and walks through the
// request catalogue, checking every reply's id, code and payload. What the
// in-process tests cannot show is shown here: the framing, scrambling and
// reassembly of real requests and replies on a socket, stream requests, replies
// of several packets, and the handler seeing a network transport.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "engine/comms/tests/net_test_harness.h"
#include "engine/comms/winsock_protocol.h"
#include "engine/server/request_catalogue.h"
#include "engine/server/server_engine.h"
#include "engine/server/tests/dispatch/handler_fixture.h"
#include "engine/storage/dictionary.h"
#include "platform/core/streams.h"
#include "tests/support/child_process.h"
#include "tests/support/test_support.h"


using namespace qv;
using qvtest::Bytes;
using qvtest::Payload;
using qvtest::Sub;
using qvtest::U32Bytes;

namespace {

struct Answer {
    std::uint32_t id = 0;
    std::uint16_t code = 0xFFFF;
    bool isStream = false;
    Bytes data;
};

class TcpCatalogueTest : public ::testing::Test {
protected:
    testsupport::TempDir dir;  // the server's database folder
    testsupport::ChildProcess server;
    std::unique_ptr<qvtest::EchoClient> client;
    std::uint32_t seed = 0;
    TqvDataDictionary dict;
    std::uint32_t recLen = 0;
    std::vector<std::uint32_t> wireIds;  // ids of the reply messages as they arrived
    std::vector<Bytes> wireData;         // their payloads, when they came in one packet

    void SetUp() override {
        ASSERT_TRUE(plat::BindMessageThread());
        dict.AddField("Id", "", qvftInt32, 10, 0, true);
        dict.AddField("Name", "", qvftShortString, 20, 0, false);
        dict.AddField("Notes", "", qvftBLOBFirst, 0, 0, false);
        dict.AddFile("", "QVB", 4096, 2);
        std::uint32_t name = 1, id = 0;
        dict.AddIndex("ByName", "", 0, 1, &name, true, true, false);
        dict.AddIndex("ById", "", 0, 1, &id, false, true, false);
        recLen = dict.GetRecordLength();

        TqvWinsockPorts ports;
        ports.tcpServerPort = ports.tcpServerDatagramPort = ports.tcpClientDatagramPort = 0;
        ports.spxServerSocket = ports.ipxServerDatagramSocket = ports.ipxClientDatagramSocket = 0;
        client = std::make_unique<qvtest::EchoClient>(TqvTCPIPProtocol::Create("Client", kQvRoleClient));
        auto* t = dynamic_cast<TqvWinsockProtocol*>(client->proto.get());
        ASSERT_NE(t, nullptr);
        auto gather = client->proto->OnReceiveData;
        client->proto->OnReceiveData = [this, gather](TqvBaseCommsProtocol& p, std::uint32_t id, std::uint32_t len,
                                                      std::uint8_t* d) {
            if (len >= kQvMsgHeaderSize) {
                TqvMsgHeader h = ReadMsgHeader(d);
                if (h.firstPacket && h.messageId != QvnmAcknowledge) {
                    wireIds.push_back(h.messageId);
                    wireData.push_back(h.lastPacket ? Bytes(d + kQvMsgHeaderSize, d + len) : Bytes());
                }
            }
            return gather(p, id, len, d);
        };

        ASSERT_TRUE(server.Start({SERVER_PEER_PATH, "20000"}));
        std::istringstream ready(server.ReadLine(10000));
        std::string word;
        unsigned port = 0;
        ready >> word >> port >> seed;
        ASSERT_EQ(word, "READY");
        ASSERT_NE(port, 0u);
        ports.tcpServerPort = static_cast<std::uint16_t>(port);
        t->SetPorts(ports);
        client->proto->Call("127.0.0.1", client->connId);
        ASSERT_NE(client->connId, 0u);
    }
    void TearDown() override {
        client.reset();
        plat::ProcessMessages();
    }

    // Frames a request as a client does; TCP/IP needs no acknowledgements.
    void Send(std::uint32_t msgId, const Bytes& data, bool asStream = false) {
        const auto total = static_cast<std::uint32_t>(data.size());
        std::uint32_t off = 0;
        for (bool first = true;; first = false) {
            const std::uint32_t n = std::min(total - off, kQvMaxPacketData);
            TqvMsgHeader h;
            h.messageId = msgId;
            h.packetLength = kQvMsgHeaderSize + n;
            h.totalLength = total;
            h.clientId = client->clientId;
            h.firstPacket = first;
            h.lastPacket = off + n == total;
            h.dataIsStream = asStream ? 1 : 0;
            Bytes p(kQvMsgHeaderSize);
            WriteMsgHeader(p.data(), h);
            p.insert(p.end(), data.begin() + off, data.begin() + off + n);
            ASSERT_NE(client->proto->Send(client->connId, p.data(), static_cast<std::uint32_t>(p.size())), 0u);
            if (h.lastPacket) break;
            off += n;
        }
    }
    // One request and every message its reply unpacks into: a multipart
    // reply leaves the client's queue as its parts, in order (bounded wait).
    std::vector<Answer> AskParts(std::uint32_t msgId, const Bytes& data, bool asStream = false) {
        std::vector<Answer> parts;
        const std::size_t heard = wireIds.size();
        Send(msgId, data, asStream);
        if (!qvtest::PumpUntil([&] { return !client->replies.IsEmpty(); })) {
            ADD_FAILURE() << "no reply to request " << msgId;
            return parts;
        }
        while (TqvDataMessage* m = client->replies.GetHead()) {
            Answer a;
            a.id = m->messageId;
            a.code = static_cast<std::uint16_t>(m->errorCode);
            a.isStream = m->isStream != 0;
            const std::uint8_t* p = m->Bytes();
            a.data = p ? Bytes(p, p + m->dataLength) : Bytes();
            client->replies.RemoveHead();
            parts.push_back(std::move(a));
        }
        EXPECT_EQ(wireIds.size(), heard + 1) << "one reply message on the wire for request " << msgId;
        return parts;
    }
    // A request answered by one plain message.
    Answer Ask(std::uint32_t msgId, const Bytes& data, bool asStream = false) {
        std::vector<Answer> parts = AskParts(msgId, data, asStream);
        EXPECT_EQ(parts.size(), 1u) << "request " << msgId;
        if (parts.empty()) return Answer{};
        EXPECT_EQ(wireIds.back(), parts[0].id);
        return parts[0];
    }
    static std::uint32_t U32At(const Answer& a, std::size_t at = 0) {
        return a.data.size() >= at + 4 ? GetU32(a.data.data() + at) : 0xFFFFFFFF;
    }

    // Attach: client id, version 10700, the server's seed as is (open
    // server), not secure; then both ends scramble with the seed.
    void Attach() {
        Answer a = Ask(QvnmAttachServer, Payload().Str("Tavrin", 32).Str("", 32).b);
        EXPECT_EQ(a.id, QvnmAttachServer);
        EXPECT_EQ(a.code, 0);
        ASSERT_EQ(a.data.size(), 13u);
        const std::uint32_t clientId = U32At(a);
        EXPECT_NE(clientId, 0u);
        EXPECT_EQ(a.data, Payload().U32(clientId).U32(10700).U32(seed).U8(0).b);
        EXPECT_EQ(Bytes(a.data.begin() + 4, a.data.begin() + 8), (Bytes{0xCC, 0x29, 0, 0}));
        client->clientId = clientId;
        client->proto->SetKeyStreamSeed(seed);
    }
    std::uint32_t OpenDatabase() {
        Answer a = Ask(QvnmDatabaseOpenNoAlias, Payload().Str(dir.path().string(), 220).U8(1).U8(1).b);
        EXPECT_EQ(a.id, QvnmDatabaseOpenNoAlias);
        EXPECT_EQ(a.code, 0);
        EXPECT_EQ(a.data.size(), 4u);
        return U32At(a);
    }
    void BuildTable(std::uint32_t db) {
        plat::MemoryStream s;
        dict.WriteToStream(s);
        Answer a = Ask(QvnmBuildTable, Payload().U32(db).U8(0).Str("People", 32).Raw(s.Bytes()).b, true);
        EXPECT_EQ(a.id, QvnmBuildTable);
        EXPECT_EQ(a.code, 0);
        EXPECT_TRUE(a.data.empty());
    }
    // Opens People on `index`: the cursor, and the bookmark size a client
    // works out from the dictionary and index number that come back.
    std::uint32_t OpenTable(std::uint32_t db, const std::string& index, std::uint32_t& bmSize) {
        Answer a = Ask(QvnmOpenTable, Payload().U32(db).Str("People", 32).Str(index, 32).U32(0).U8(1).U8(1).b);
        EXPECT_EQ(a.id, QvnmOpenTable);
        EXPECT_EQ(a.code, 0);
        EXPECT_TRUE(a.isStream);
        plat::MemoryStream s(std::string(a.data.begin(), a.data.end()));
        std::uint8_t c[4] = {}, n[4] = {};
        s.ReadBuffer(c, 4);
        TqvDataDictionary back;
        back.ReadFromStream(s);
        s.ReadBuffer(n, 4);
        EXPECT_EQ(s.Position(), s.Size());
        EXPECT_EQ(back.GetRecordLength(), recLen);
        EXPECT_EQ(back.IndexCount(), 3u);  // the two of ours after the record-order one
        const std::uint32_t indexNr = GetU32(n);
        EXPECT_EQ(indexNr, index == "ByName" ? 1u : 2u);  
        bmSize = indexNr < back.IndexCount() ? back.IndexKeyLength(indexNr) + 20 : 0;
        return GetU32(c);
    }
    Bytes Rec(std::int32_t id, const std::string& name) {
        Bytes r(recLen);
        dict.InitRecord(r.data());
        std::uint8_t v[4];
        PutU32(v, static_cast<std::uint32_t>(id));
        dict.SetRecordField(0, r.data(), v);
        Bytes s(dict.FieldLength(1), 0);
        s[0] = static_cast<std::uint8_t>(name.size());
        std::memcpy(s.data() + 1, name.data(), name.size());
        dict.SetRecordField(1, r.data(), s.data());
        return r;
    }
    // A multipart reply, sent as one message of id 255 and unpacked by the
    // client's queue into its parts: the request's own code (inserts only,
    // then the record re-read as a RecordGet), the record, and a bookmark of
    // `bmSize` bytes, which is handed back. When the first part carries an
    // error the queue hands out that part only; the container on the wire is
    // then checked byte for byte against `record` and `bookmark`.
    Bytes RecordReply(std::uint32_t msgId, const Bytes& payload, std::uint16_t code, const Bytes& record,
                      std::uint32_t bmSize, const Bytes& bookmark = {}) {
        const bool isInsert = msgId == QvnmRecordInsert;
        std::vector<Answer> parts = AskParts(msgId, payload);
        EXPECT_EQ(wireIds.empty() ? 0u : wireIds.back(), QvnmMultipart);
        if (code != 0) {
            EXPECT_EQ(parts.size(), 1u);
            if (parts.empty()) return {};
            EXPECT_EQ(parts[0].id, msgId);
            EXPECT_EQ(parts[0].code, code);
            EXPECT_TRUE(parts[0].data.empty());
            Bytes want = Sub(msgId, code, {});
            if (isInsert) {
                for (const Bytes& part : {Sub(QvnmRecordGet, 0, record), Sub(QvnmGetBookmark, 0, bookmark)})
                    want.insert(want.end(), part.begin(), part.end());
                EXPECT_EQ(wireData.back(), want);
            } else {
                const Bytes& got = wireData.back();
                EXPECT_EQ(Bytes(got.begin(), got.begin() + std::min<std::size_t>(got.size(), 12)), want);
            }
            return {};
        }
        std::size_t at = 0;
        if (isInsert) {
            EXPECT_GE(parts.size(), 1u);
            if (parts.empty()) return {};
            EXPECT_EQ(parts[0].id, msgId);
            EXPECT_EQ(parts[0].code, 0);
            EXPECT_TRUE(parts[0].data.empty());
            ++at;
        }
        EXPECT_EQ(parts.size(), at + 2);
        if (parts.size() != at + 2) return {};
        EXPECT_EQ(parts[at].id, isInsert ? QvnmRecordGet : msgId);
        EXPECT_EQ(parts[at].code, 0);
        EXPECT_EQ(parts[at].data, record);
        EXPECT_EQ(parts[at + 1].id, QvnmGetBookmark);
        EXPECT_EQ(parts[at + 1].code, 0);
        EXPECT_EQ(parts[at + 1].data.size(), bmSize);
        return parts[at + 1].data;
    }
    // Detach is answered with nothing; the server then ends by itself, and
    // its end of the connection with it.
    void Detach() {
        Answer a = Ask(QvnmDetachServer, {});
        EXPECT_EQ(a.id, QvnmDetachServer);
        EXPECT_EQ(a.code, 0);
        EXPECT_TRUE(a.data.empty());
        EXPECT_TRUE(qvtest::PumpUntil([&] { return client->hangUps == 1; }));
        ASSERT_TRUE(server.WaitExit(10000));
        EXPECT_EQ(server.ExitCode(), 0);
    }
};

TEST_F(TcpCatalogueTest, ASessionBuildsATableAndReadsItsRecordsAndBlobsBack) {
    Attach();
    Answer add = Ask(QvnmSessionAdd, {});
    ASSERT_EQ(add.code, 0);
    ASSERT_EQ(add.data.size(), 4u);
    const std::uint32_t sid = U32At(add);
    EXPECT_EQ(Ask(QvnmSessionSetCurrent, U32Bytes(sid)).code, 0);
    Answer current = Ask(QvnmSessionGetCurrent, {});
    EXPECT_EQ(current.code, 0);
    EXPECT_EQ(current.data, U32Bytes(sid));

    const std::uint32_t db = OpenDatabase();
    BuildTable(db);
    // The server wrote the table into the folder named over the wire.
    bool built = false;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        built |= e.path().extension() == ".QVD" || e.path().extension() == ".qvd";
    EXPECT_TRUE(built);
    Answer tables = Ask(QvnmDatabaseTableList, Payload().U32(db).Str("", 36).b);
    ASSERT_EQ(tables.code, 0);
    ASSERT_EQ(tables.data.size(), 48u);
    EXPECT_EQ(GetShortStringField(tables.data.data(), 32), "People");

    std::uint32_t bmSize = 0;
    const std::uint32_t cursor = OpenTable(db, "ById", bmSize);
    ASSERT_GT(bmSize, 20u);

    // Inserted out of order; each answer re-reads the new record and gives its bookmark.
    struct Row {
        std::int32_t id;
        const char* name;
    };
    const Row rows[] = {{3, "Ann"}, {1, "Cy"}, {2, "Bob"}};
    std::vector<Bytes> bookmarks;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.id);
        const Bytes rec = Rec(row.id, row.name);
        bookmarks.push_back(RecordReply(QvnmRecordInsert, Payload().U32(cursor).U32(recLen).U32(bmSize).U8(0).Raw(rec).b,
                                        0, rec, bmSize));
    }
    // A duplicate id breaks the unique ById index: refused, current record re-read.
    RecordReply(QvnmRecordInsert, Payload().U32(cursor).U32(recLen).U32(bmSize).U8(0).Raw(Rec(1, "Dee")).b,
                dbi::kKeyViolation, Rec(2, "Bob"), bmSize, bookmarks[2]);
    EXPECT_EQ(Ask(QvnmGetTableRecCount, U32Bytes(cursor)).data, U32Bytes(3));

    // Read back in ById order, each with the bookmark its insert reported.
    EXPECT_EQ(Ask(QvnmSetToBegin, U32Bytes(cursor)).code, 0);
    const Bytes readPayload = Payload().U32(cursor).U32(recLen).U32(bmSize).U8(0).b;
    const int byIdOrder[] = {1, 2, 0};  // indexes into rows
    for (int i : byIdOrder) {
        SCOPED_TRACE(rows[i].id);
        EXPECT_EQ(RecordReply(QvnmRecordGetNext, readPayload, 0, Rec(rows[i].id, rows[i].name), bmSize),
                  bookmarks[i]);
    }
    RecordReply(QvnmRecordGetNext, readPayload, dbi::kAtEnd, {}, bmSize);

    // The same records by name, after a switch of index on the same cursor.
    EXPECT_EQ(Ask(QvnmSwitchToIndex, Payload().U32(cursor).Str("ByName", 32).U32(0).U8(0).b).code, 0);
    std::uint32_t nameBm = 0;
    const std::uint32_t byName = OpenTable(db, "ByName", nameBm);
    EXPECT_EQ(Ask(QvnmCursorClose, U32Bytes(byName)).code, 0);
    EXPECT_EQ(Ask(QvnmSetToBegin, U32Bytes(cursor)).code, 0);
    for (const Row& want : {rows[0], rows[2], rows[1]}) {
        SCOPED_TRACE(want.name);
        RecordReply(QvnmRecordGetNext, Payload().U32(cursor).U32(recLen).U32(nameBm).U8(0).b, 0, Rec(want.id, want.name),
                    nameBm);
    }

    // A BLOB larger than one packet each way: the write arrives in five
    // packets, the read's answer leaves in five.
    Answer created = Ask(QvnmCreateBLOB, U32Bytes(cursor));
    ASSERT_EQ(created.code, 0);
    ASSERT_EQ(created.data.size(), 4u);
    const std::uint32_t nr = U32At(created);
    const std::string blob = qvtest::Pattern(9000, 5);
    Answer wrote = Ask(QvnmWriteBLOB, Payload().U32(cursor).U32(nr).U32(0).U32(9000).Raw(blob).b);
    EXPECT_EQ(wrote.code, 0);
    EXPECT_TRUE(wrote.data.empty());
    EXPECT_EQ(Ask(QvnmGetBLOBLength, Payload().U32(cursor).U32(nr).b).data, U32Bytes(9000));
    Answer whole = Ask(QvnmReadBLOB, Payload().U32(cursor).U32(nr).U32(0).U32(9000).b);
    EXPECT_EQ(whole.code, 0);
    EXPECT_EQ(whole.data, Payload().U32(9000).Raw(blob).b);
    // Past the end only what is there travels.
    Answer tail = Ask(QvnmReadBLOB, Payload().U32(cursor).U32(nr).U32(8990).U32(100).b);
    EXPECT_EQ(tail.code, 0);
    EXPECT_EQ(tail.data, Payload().U32(10).Raw(blob.substr(8990)).b);
    EXPECT_EQ(Ask(QvnmFreeBLOB, Payload().U32(cursor).U32(nr).b).code, 0);

    EXPECT_EQ(Ask(QvnmCursorClose, U32Bytes(cursor)).code, 0);
    EXPECT_EQ(Ask(QvnmCursorClose, U32Bytes(cursor)).code, dbi::kInvalidHandle);
    EXPECT_EQ(Ask(QvnmDatabaseClose, U32Bytes(db)).code, 0);
    EXPECT_EQ(Ask(QvnmSessionClose, U32Bytes(sid)).code, 0);
    Detach();
}

// A client across the network may not have the server read a file from its
// own disk; the refusal leaves the connection and the table as they were.
TEST_F(TcpCatalogueTest, AFileBlobNamingAServerPathIsRefused) {
    Attach();
    const std::uint32_t db = OpenDatabase();
    BuildTable(db);
    std::uint32_t bmSize = 0;
    const std::uint32_t cursor = OpenTable(db, "ById", bmSize);
    RecordReply(QvnmRecordInsert, Payload().U32(cursor).U32(recLen).U32(bmSize).U8(0).Raw(Rec(1, "Ann")).b, 0,
                Rec(1, "Ann"), bmSize);

    const std::filesystem::path file = dir / "note.txt";
    testsupport::WriteFileBytes(file, "server-side file");
    const std::string path = file.string();
    ASSERT_LT(path.size(), 256u);
    Answer refused = Ask(QvnmAddFileBLOB, Payload().U32(cursor).U8(static_cast<std::uint8_t>(path.size())).Raw(path).b);
    EXPECT_EQ(refused.id, QvnmAddFileBLOB);
    EXPECT_EQ(refused.code, dbi::kRights);
    EXPECT_TRUE(refused.data.empty());

    EXPECT_EQ(Ask(QvnmGetTableRecCount, U32Bytes(cursor)).data, U32Bytes(1));
    EXPECT_EQ(Ask(QvnmCursorClose, U32Bytes(cursor)).code, 0);
    EXPECT_EQ(Ask(QvnmDatabaseClose, U32Bytes(db)).code, 0);
    Detach();
}

}  // namespace
