#include "engine/client/client_comms_engine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

#include "engine/comms/comms_packet.h"
#include "engine/server/rebuild.h"
#include "engine/server/request_catalogue.h"
#include "engine/server/system_tables.h"
#include "engine/storage/dictionary.h"
#include "engine/storage/field_types.h"
#include "platform/core/clock.h"
#include "platform/core/paths.h"
#include "platform/win/message_queue.h"
#include "tests/support/test_support.h"

using namespace qv;
namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

bool TableFileExists(const fs::path& dir, const std::string& table) {
    for (const auto& e : fs::directory_iterator(dir)) {
        std::string stem = e.path().stem().string(), want = table;
        for (auto* s : {&stem, &want})
            for (char& c : *s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (stem == want) return true;
    }
    return false;
}

// Answers the transport-level requests like the server does, and hands the
// rest to a script: tests decide per request what (and whether) to answer.
class ScriptedHandler : public TqvCommandHandlerBase {
public:
    explicit ScriptedHandler(TqvServerCommsEngine& comms) : comms(comms) {}
    void Dispatch(TqvDataMessage& msg) override {
        const std::uint8_t* p = msg.Bytes();
        Bytes data = p ? Bytes(p, p + msg.dataLength) : Bytes();
        ++seen[msg.messageId];
        if (msg.messageId == QvnmAttachServer) {
            Bytes rep(13, 0);
            PutU32(rep.data(), msg.clientId);
            PutU32(rep.data() + 4, version);
            PutU32(rep.data() + 8, comms.GetKeyStreamSeed());
            comms.SendReply(msg.messageId, msg.clientId, 0, rep.data(), 13);
            return;
        }
        if (msg.messageId == QvnmCheckSecureComms) {
            comms.SendReply(msg.messageId, msg.clientId, 0, nullptr, 0);
            return;
        }
        if (script) script(msg, data);
    }
    void Reply(const TqvDataMessage& msg, std::uint16_t code, const Bytes& data, std::uint32_t id = 0) {
        comms.SendReply(id ? id : msg.messageId, msg.clientId, code, data.data(),
                        static_cast<std::uint32_t>(data.size()));
    }

    TqvServerCommsEngine& comms;
    std::uint32_t version = 10700;
    std::map<std::uint32_t, int> seen;
    std::function<void(TqvDataMessage&, const Bytes&)> script;
};

class ClientCommsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(plat::BindMessageThread());
        plat::SetDataHome(home.path().string());
        SetSystemTableDirectory("");
        SetServerKeywordFile("");
    }
    void TearDown() override {
        plat::ProcessMessages();
        plat::SetDataHome("");
    }

    // A client whose server runs the scripted handler; `h` points at it.
    std::unique_ptr<TqvClientCommsEngine> Scripted(ScriptedHandler*& h) {
        auto c = std::make_unique<TqvClientCommsEngine>("Tester");
        c->StartInProcessServer([&h](TqvServerEngine&, TqvServerCommsEngine& comms) {
            auto made = std::make_unique<ScriptedHandler>(comms);
            h = made.get();
            return made;
        });
        return c;
    }

    plat::FakeClock clock{50000};
    plat::ScopedClock scope{clock};
    testsupport::TempDir home;
};

TEST_F(ClientCommsTest, InProcessServerServesRequestsAndKeepsItsConfigurationAcrossStarts) {
    {
        TqvClientCommsEngine client("Tavrin");
        client.StartInProcessServer();
        ASSERT_NE(client.ServerEngine(), nullptr);
        EXPECT_EQ(TqvServerEngine::Instance(), client.ServerEngine());
        // The first start stores the default administrator at once.
        EXPECT_TRUE(TableFileExists(home.path(), "QVSUser"));
        EXPECT_FALSE(TableFileExists(home.path(), "QVSALIAS"));
        ASSERT_EQ(client.Attach("SingleEXE", "", ""), 0);
        EXPECT_TRUE(client.IsConnected());
        EXPECT_EQ(client.ServerName(), "SingleEXE");
        EXPECT_NE(client.ClientId(), 0u);

        // A database by path, a table built from a dictionary and opened.
        Bytes open(222, 0);
        const std::string dir = home.path().string();
        open[0] = static_cast<std::uint8_t>(dir.size());
        std::memcpy(&open[1], dir.data(), dir.size());
        open[220] = 1;
        open[221] = 1;
        std::uint8_t dbReply[4] = {};
        ASSERT_EQ(client.SendRequest(QvnmDatabaseOpenNoAlias, open.data(), 222, dbReply, 4), 0);
        const std::uint32_t db = GetU32(dbReply);
        TqvDataDictionary d;
        d.AddField("Title", "", qvftShortString, 40, 0, true);
        ASSERT_EQ(ClientBuildTable(&client, db, false, "c:\\work\\Topics.qvd", d), 0);
        Bytes openTable(74, 0);
        PutU32(openTable.data(), db);
        openTable[4] = 6;
        std::memcpy(&openTable[5], "Topics", 6);
        openTable[72] = 1;
        openTable[73] = 1;
        // A short payload is refused by the server, and nothing is copied.
        plat::MemoryStream refused;
        ASSERT_EQ(client.SendRequestStream(QvnmOpenTable, nullptr, &refused), dbi::kInvalidParameter);
        EXPECT_EQ(refused.Size(), 0);
        plat::MemoryStream req(std::string(openTable.begin(), openTable.end()));
        plat::MemoryStream rep;
        // A request stream is sent from its start whatever its position.
        req.SetPosition(50);
        ASSERT_EQ(client.SendRequestStream(QvnmOpenTable, &req, &rep), 0);
        ASSERT_GE(rep.Size(), 8);
        TqvSrCursor* cursor = nullptr;
        EXPECT_EQ(client.ServerEngine()->FindCursor(GetU32(rep.Memory()), cursor), 0);

        ASSERT_EQ(ClientAddAlias(&client, "Docs", dir), 0);
        client.ServerEngine()->Configuration().GeneralInfo()->MaxPages = 321;
    }
    EXPECT_EQ(TqvServerEngine::Instance(), nullptr);
    EXPECT_TRUE(TableFileExists(home.path(), "QVSALIAS"));
    EXPECT_TRUE(TableFileExists(home.path(), "QVSInfo"));
    EXPECT_TRUE(TableFileExists(home.path(), "Topics"));

    TqvClientCommsEngine again("Tavrin");
    again.StartInProcessServer();
    TqvServerConfiguration& cfg = again.ServerEngine()->Configuration();
    EXPECT_TRUE(cfg.Aliases().Exists("Docs"));
    EXPECT_EQ(cfg.GeneralInfo()->MaxPages, 321u);
    ASSERT_EQ(cfg.Users().Count(), 1);
    EXPECT_EQ(cfg.Users().Item(0)->UserName(), DefaultUserName());
    ASSERT_EQ(again.Attach("SingleEXE", "", ""), 0);
    EXPECT_EQ(ClientDeleteAlias(&again, "Docs"), 0);
    EXPECT_FALSE(cfg.Aliases().Exists("Docs"));
}

// An alias table that could not be read at start is not replaced at
// shutdown by the (empty) list that stood in for it.
TEST_F(ClientCommsTest, UnreadableAliasTableSurvivesShutdown) {
    {
        TqvClientCommsEngine client("Tavrin");
        client.StartInProcessServer();
        for (int i = 0; i < 40; ++i)
            client.ServerEngine()->Configuration().AddAlias("Keep" + std::to_string(i), home.path().string());
    }
    std::string file;
    for (const auto& e : fs::directory_iterator(home.path()))
        if (e.path().stem() == "QVSALIAS") file = e.path().string();
    ASSERT_FALSE(file.empty());
    // The header and dictionary stay whole; the last data block is spoiled,
    // so the table opens (and could be renamed) but not be read to its end.
    std::string junk = testsupport::ReadFileBytes(file);
    ASSERT_GT(junk.size(), 3 * 4096u);
    std::fill(junk.end() - 4096, junk.end(), '\xFF');
    testsupport::WriteFileBytes(file, junk);
    {
        TqvClientCommsEngine client("Tavrin");
        client.StartInProcessServer();
        EXPECT_EQ(client.ServerEngine()->Configuration().Aliases().Count(), 0);
    }
    EXPECT_TRUE(testsupport::ReadFileBytes(file) == junk) << "the unreadable alias table was replaced";
    EXPECT_TRUE(TableFileExists(home.path(), "QVSInfo"));  // the readable one is still saved
}

TEST_F(ClientCommsTest, AliasRequestsCutNamesAndAnswerWithoutAClient) {
    TqvClientCommsEngine client("Tavrin");
    client.StartInProcessServer();
    ASSERT_EQ(client.Attach("SingleEXE", "", ""), 0);
    const std::string longName(40, 'N');
    ASSERT_EQ(ClientAddAlias(&client, longName, home.path().string()), 0);
    EXPECT_TRUE(client.ServerEngine()->Configuration().Aliases().Exists(longName.substr(0, 31)));
    EXPECT_EQ(ClientDeleteAlias(&client, longName), 0);
    EXPECT_EQ(client.ServerEngine()->Configuration().Aliases().Count(), 0);
    EXPECT_EQ(ClientAddAlias(nullptr, "A", "/a"), 9990);
    EXPECT_EQ(ClientDeleteAlias(nullptr, "A"), 9990);
    bool finished = true;
    TqvRebuildStatusRecord status;
    EXPECT_EQ(ClientGetRebuildStatus(nullptr, 5, finished, status), 9990);
    // The dispatcher knows no rebuild 5.
    EXPECT_EQ(ClientGetRebuildStatus(&client, 5, finished, status), 8712);
}

// Sizes around the packet limit travel whole both ways (the echo handler
// sends the payload back), with acknowledgements between the packets; and
// the same when the request is handed over.
TEST_F(ClientCommsTest, RequestsAndRepliesOfEverySizeTravelWhole) {
    struct Restore {
        ~Restore() { SetHandOverToIdleServer(true); }
    } restore;
    for (bool handOver : {false, true}) {
        SetHandOverToIdleServer(handOver);
        ScriptedHandler* h = nullptr;
        auto client = Scripted(h);
        ASSERT_EQ(client->Attach("SingleEXE", "", ""), 0);
        bool queued = false;
        h->script = [&](TqvDataMessage& msg, const Bytes& data) {
            queued = !client->ServerComms()->MessageQueue().Idle();
            h->Reply(msg, 0, data);
        };
        for (std::uint32_t size : {0u, 1u, 2024u, 2025u, 4048u, 5000u}) {
            Bytes req(size);
            for (std::uint32_t i = 0; i < size; ++i) req[i] = static_cast<std::uint8_t>(i * 7 + size);
            Bytes rep(size + 10, 0xEE);
            ASSERT_EQ(client->SendRequest(3000, req.data(), size, rep.data(), size + 10), 0) << size;
            EXPECT_TRUE(std::equal(req.begin(), req.end(), rep.begin())) << size;
            EXPECT_EQ(rep[size], 0xEE) << size;  // nothing beyond the reply's data
            EXPECT_EQ(queued, !handOver) << size;
        }
        EXPECT_EQ(h->seen[3000], 6);
    }
}

// Once attached, a request in memory goes to the idle server's handler
// without entering its queue, whatever its size, and comes back whole; the
// attach, its key check and streamed requests still travel as packets. A
// batch reply is split as one from the wire would be.
TEST_F(ClientCommsTest, RequestsAfterTheAttachGoStraightToTheIdleServer) {
    ScriptedHandler* h = nullptr;
    auto client = Scripted(h);
    std::map<std::uint32_t, bool> queued;
    TqvServerCommsEngine* comms = client->ServerComms();
    h->script = [&](TqvDataMessage& msg, const Bytes& data) {
        queued[msg.messageId] = !comms->MessageQueue().Idle();
        if (msg.messageId == 3005) {
            Bytes batch(2 * kQvSubMsgHeaderSize + 5, 0);
            std::uint8_t* next = PutBatchEntry(batch.data(), 3005, 0, false, "AB", 2);
            PutBatchEntry(next, 3006, 0, false, "CDE", 3);
            h->Reply(msg, 0, batch, QvnmBatchReply);
            return;
        }
        h->Reply(msg, 0, data);
    };
    ASSERT_EQ(client->Attach("SingleEXE", "", ""), 0);

    for (std::uint32_t size : {0u, 40u, 5000u}) {
        Bytes req(size);
        for (std::uint32_t i = 0; i < size; ++i) req[i] = static_cast<std::uint8_t>(i * 13 + 1);
        Bytes rep(size, 0);
        ASSERT_EQ(client->SendRequest(3000 + size, req.data(), size, rep.data(), size), 0) << size;
        EXPECT_EQ(rep, req) << size;
        EXPECT_FALSE(queued[3000 + size]) << size;
    }
    plat::MemoryStream streamed(std::string("PQR")), back;
    ASSERT_EQ(client->SendRequestStream(3001, &streamed, &back), 0);
    EXPECT_EQ(std::string(static_cast<const char*>(back.Memory()), 3), "PQR");
    EXPECT_TRUE(queued[3001]);

    char buf[4] = {};
    ASSERT_EQ(client->SendRequest(3005, nullptr, 0, buf, 4), 0);
    EXPECT_EQ(std::string(buf, 2), "AB");
    EXPECT_FALSE(queued[3005]);
    EXPECT_TRUE(comms->MessageQueue().Idle());
}

TEST_F(ClientCommsTest, ReplyIsCutToTheBufferAndAnErrorCopiesNothing) {
    ScriptedHandler* h = nullptr;
    auto client = Scripted(h);
    ASSERT_EQ(client->Attach("SingleEXE", "", ""), 0);
    h->script = [&](TqvDataMessage& msg, const Bytes&) {
        h->Reply(msg, msg.messageId == 3001 ? 10024 : 0, Bytes(100, 0x5A));
    };
    Bytes buf(50, 0);
    EXPECT_EQ(client->SendRequest(3000, nullptr, 0, buf.data(), 40), 0);
    EXPECT_EQ(std::count(buf.begin(), buf.end(), 0x5A), 40);
    EXPECT_EQ(buf[40], 0);
    Bytes untouched(50, 0);
    EXPECT_EQ(client->SendRequest(3001, nullptr, 0, untouched.data(), 50), 10024);
    EXPECT_EQ(std::count(untouched.begin(), untouched.end(), 0), 50);
}

TEST_F(ClientCommsTest, AttachChecksTheServerVersion) {
    struct Case {
        std::uint32_t version;
        DBIResult result;
    } cases[] = {{10700, 0}, {10799, 0}, {20000, 0}, {10699, 12039}, {0, 12039}};
    for (const Case& c : cases) {
        ScriptedHandler* h = nullptr;
        auto client = Scripted(h);
        h->version = c.version;
        EXPECT_EQ(client->Attach("SingleEXE", "", ""), c.result) << c.version;
        EXPECT_EQ(client->IsConnected(), c.result == 0) << c.version;
        EXPECT_EQ(h->seen[QvnmCheckSecureComms], c.result == 0 ? 1 : 0) << c.version;
    }
}

// With USELOGIN in the keyword file only known users with their password
// get in; the key stream is seeded from the password, so a wrong one cannot
// even pass the secure-comms check.
TEST_F(ClientCommsTest, SecureServerChecksUserAndPassword) {
    testsupport::WriteFileBytes(home / "keys.ini", "USELOGIN=1\r\n");
    SetServerKeywordFile((home / "keys.ini").string());
    struct Case {
        std::string user, password;
        DBIResult result;
    } cases[] = {{DefaultUserName(), "Plovermint", 0},
                 {DefaultUserName(), "plovermint", 10036},
                 {"Nobody", "Plovermint", 10036}};
    for (const Case& c : cases) {
        TqvClientCommsEngine client("Tavrin");
        client.StartInProcessServer();
        ASSERT_TRUE(client.ServerEngine()->Configuration().GeneralInfo()->IsSecure);
        EXPECT_EQ(client.Attach("SingleEXE", c.user, c.password), c.result) << c.user << "/" << c.password;
        if (c.result == 0) {
            bool finished = false;
            TqvRebuildStatusRecord status;
            EXPECT_EQ(ClientGetRebuildStatus(&client, 0xFFFFFFFFu, finished, status), 0);
            EXPECT_TRUE(finished);
            EXPECT_EQ(status.bytes[28], 1);
        }
    }
    SetServerKeywordFile("");
}

TEST_F(ClientCommsTest, NoServerMeansNoConnection) {
    TqvClientCommsEngine client("Lonely");
    EXPECT_EQ(client.Attach("SingleEXE", "", ""), 11278);
    EXPECT_EQ(client.SendRequest(3000, nullptr, 0, nullptr, 0), 11278);
}

TEST_F(ClientCommsTest, FailedHandlerStartLeavesNoServerListening) {
    TqvClientCommsEngine client("Tester");
    EXPECT_THROW(client.StartInProcessServer([](TqvServerEngine&, TqvServerCommsEngine&)
                                                 -> std::unique_ptr<TqvCommandHandlerBase> {
        throw std::runtime_error("no handler");
    }),
                 std::runtime_error);
    EXPECT_EQ(client.ServerComms(), nullptr);
    EXPECT_EQ(client.Attach("SingleEXE", "", ""), 11278);
}

// Replies that no exchange is waiting for are dropped; an exchange takes
// only a reply to its own request, never one queued before it was sent.
TEST_F(ClientCommsTest, StrayAndEarlierRepliesAreNeverTakenForALaterRequest) {
    ScriptedHandler* h = nullptr;
    auto client = Scripted(h);
    ASSERT_EQ(client->Attach("SingleEXE", "", ""), 0);
    h->script = [&](TqvDataMessage& msg, const Bytes&) {
        if (msg.messageId == 3000) {
            // A stray answer to a request nobody sent yet, then the real one.
            h->Reply(msg, 0, {'S', 'T', 'A', 'L', 'E'}, 3001);
            h->Reply(msg, 0, {'O', 'N', 'E'});
        } else if (msg.messageId == 3001) {
            h->Reply(msg, 0, {'F', 'R', 'E', 'S', 'H'});
        } else if (msg.messageId == 3002) {
            // Answered twice: the second copy outlives the exchange.
            h->Reply(msg, 0, {'O', 'L', 'D'});
            h->Reply(msg, 0, {'O', 'L', 'D'});
        }
    };
    char buf[8] = {};
    ASSERT_EQ(client->SendRequest(3000, nullptr, 0, buf, 8), 0);
    EXPECT_EQ(std::string(buf, 3), "ONE");
    ASSERT_EQ(client->SendRequest(3001, nullptr, 0, buf, 8), 0);
    EXPECT_EQ(std::string(buf, 5), "FRESH");
    EXPECT_EQ(h->seen[3001], 1);  // it was asked, not answered from the queue

    ASSERT_EQ(client->SendRequest(3002, nullptr, 0, buf, 8), 0);
    h->script = [&](TqvDataMessage& msg, const Bytes&) { h->Reply(msg, 0, {'N', 'E', 'W'}); };
    ASSERT_EQ(client->SendRequest(3002, nullptr, 0, buf, 8), 0);
    EXPECT_EQ(std::string(buf, 3), "NEW");
    EXPECT_EQ(h->seen[3002], 2);
}

// A silent server: the wait ends after 30 seconds with the loss code, the
// client detaches (its detach request gets no answer either, and that does
// not recurse), and later requests find no connection.
TEST_F(ClientCommsTest, SilentServerTimesOutAndDetaches) {
    ScriptedHandler* h = nullptr;
    auto client = Scripted(h);
    ASSERT_EQ(client->Attach("SingleEXE", "", ""), 0);
    const std::uint32_t start = plat::GetTickCount();
    int turns = 0;
    client->onWaiting = [&] {
        ++turns;
        clock.Advance(250);
    };
    EXPECT_EQ(client->SendRequest(3000, nullptr, 0, nullptr, 0), 11276);
    EXPECT_GE(plat::GetTickCount() - start, 30000u);
    EXPECT_LT(turns, 400);
    EXPECT_FALSE(client->IsConnected());
    EXPECT_EQ(client->ServerName(), "");
    EXPECT_EQ(h->seen[QvnmDetachServer], 1);
    EXPECT_EQ(client->SendRequest(3000, nullptr, 0, nullptr, 0), 11278);
    // A fresh attach works again.
    client->onWaiting = nullptr;
    EXPECT_EQ(client->Attach("SingleEXE", "", ""), 0);
}

class LockConflictTest : public ClientCommsTest {
protected:
    void SetUp() override {
        ClientCommsTest::SetUp();
        client = std::make_unique<TqvClientCommsEngine>("Tavrin");
        client->StartInProcessServer();
        ASSERT_EQ(client->Attach("SingleEXE", "", ""), 0);
        engine = client->ServerEngine();
        // A second party inside the server holds the table's write lock.
        std::uint32_t hash = 0, db = 0;
        ASSERT_EQ(engine->ClientAdd(777, "other", "", hash), 0);
        ASSERT_EQ(engine->DatabaseOpenNoAlias(777, home.path().string(), true, true, db), 0);
        TqvDataDictionary d;
        d.AddField("Id", "", qvftInt32, 4, 0, true);
        ASSERT_EQ(engine->BuildTable(db, false, d, 0, "Locked"), 0);
        ASSERT_EQ(engine->OpenTable(db, "Locked", "", 0, true, true, 0, nullptr, holder), 0);
        ASSERT_EQ(engine->AcqTableLock(holder, 2), 0);

        // The client's own cursor on the same table.
        Bytes open(222, 0);
        const std::string dir = home.path().string();
        open[0] = static_cast<std::uint8_t>(dir.size());
        std::memcpy(&open[1], dir.data(), dir.size());
        open[220] = open[221] = 1;
        std::uint8_t rep[4];
        ASSERT_EQ(client->SendRequest(QvnmDatabaseOpenNoAlias, open.data(), 222, rep, 4), 0);
        Bytes ot(74, 0);
        PutU32(ot.data(), GetU32(rep));
        ot[4] = 6;
        std::memcpy(&ot[5], "Locked", 6);
        ot[72] = ot[73] = 1;
        plat::MemoryStream req(std::string(ot.begin(), ot.end())), out;
        ASSERT_EQ(client->SendRequestStream(QvnmOpenTable, &req, &out), 0);
        mine = GetU32(out.Memory());
    }
    DBIResult AskForWriteLock() {
        std::uint8_t req[5];
        PutU32(req, mine);
        req[4] = 2;
        return client->SendRequest(QvnmAcqTableLock, req, 5, nullptr, 0);
    }

    std::unique_ptr<TqvClientCommsEngine> client;
    TqvServerEngine* engine = nullptr;
    std::uint32_t holder = 0, mine = 0;
};

// The conflicting request is deferred by the server and retried while the
// client waits, so it succeeds as soon as the other party lets go.
TEST_F(LockConflictTest, DeferredRequestIsRetriedWhileTheClientWaits) {
    const std::uint32_t start = plat::GetTickCount();
    int deferredSeen = 0;
    client->onWaiting = [&] {
        deferredSeen = std::max(deferredSeen, client->ServerComms()->MessageQueue().DeferredCount());
        clock.Advance(20);
        if (plat::GetTickCount() - start >= 1000 && holder != 0) {
            EXPECT_EQ(engine->RelTableLock(holder, true, 2), 0);
            holder = 0;
        }
    };
    EXPECT_EQ(AskForWriteLock(), 0);
    EXPECT_EQ(deferredSeen, 1);  // it waited in the server's queue, not in a loop of its own
    EXPECT_EQ(holder, 0u);
    EXPECT_LT(plat::GetTickCount() - start, 2000u);
    EXPECT_TRUE(client->IsConnected());
}

// A conflict that lasts answers with the conflict once the request's own
// deadline passes, well before the reply wait would give up.
TEST_F(LockConflictTest, LastingConflictAnswersWithTheLockError) {
    const std::uint32_t start = plat::GetTickCount();
    client->onWaiting = [&] { clock.Advance(50); };
    EXPECT_EQ(AskForWriteLock(), dbi::kRecordLocked);
    const std::uint32_t took = plat::GetTickCount() - start;
    EXPECT_GE(took, 10000u);
    EXPECT_LT(took, 12000u);
    EXPECT_TRUE(client->IsConnected());
}

}  // namespace

// The 771 reply as the catalogue lays it out, built by hand: the server's
// record and the client's reading must both agree with it.
TEST(RebuildStatusReply, ServerAndClientShareTheCatalogueLayout) {
    plat::FakeClock clock{1000};
    plat::ScopedClock scope{clock};
    qv::TqvSrRebuildStatus status(9, 3, 40);  // total 40, started at tick 1000
    clock.Advance(500);
    status.Update(20, 10, 7);
    status.MarkFinished();
    std::vector<std::uint8_t> golden(33, 0);
    auto put = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) golden[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    put(0, 1000);  // start tick
    put(4, 1500);  // last update
    put(8, 40);    // total
    put(12, 20);   // read
    put(16, 10);   // written
    put(20, 50);   // percent
    put(24, 7);    // result
    golden[28] = 1;  // finished
    golden[32] = 1;  // found
    std::vector<std::uint8_t> server(33, 0);
    status.Record(server.data());
    server[32] = 1;
    EXPECT_EQ(server, golden);

    bool finished = false;
    TqvRebuildStatusRecord record;
    ASSERT_EQ(QvReadRebuildStatusReply(golden.data(), golden.size(), finished, record), 0);
    EXPECT_TRUE(finished);
    EXPECT_TRUE(std::equal(record.bytes.begin(), record.bytes.end(), golden.begin()));
    golden[28] = 0;
    ASSERT_EQ(QvReadRebuildStatusReply(golden.data(), golden.size(), finished, record), 0);
    EXPECT_FALSE(finished) << "byte 28, not byte 0, is the finished flag";
    golden[32] = 0;
    EXPECT_EQ(QvReadRebuildStatusReply(golden.data(), golden.size(), finished, record), 8712);
    golden[32] = 1;
    EXPECT_EQ(QvReadRebuildStatusReply(golden.data(), 32, finished, record), 8712) << "a short reply";
}
