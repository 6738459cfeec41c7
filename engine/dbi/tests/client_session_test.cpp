// The client session and database over a scripted transport: what they
// send, how they read answers, the login loop and its message boxes.
#include <gtest/gtest.h>

#include <deque>
#include <stdexcept>

#include "engine/base/qv_base.h"
#include "engine/comms/comms_packet.h"
#include "engine/client/client_session.h"
#include "engine/client/message_box.h"

using namespace qv;

namespace {

struct Sent {
    std::uint32_t id;
    std::vector<std::uint8_t> data;
};

// Answers attach attempts and requests from scripts and records them.
class ScriptedTransport : public IClientTransport {
public:
    std::vector<DBIResult>* attachAnswers;
    std::vector<std::pair<std::string, std::string>>* logins;
    std::vector<Sent>* sent;
    std::deque<std::pair<DBIResult, std::vector<std::uint8_t>>>* replies;
    bool connected = false;

    DBIResult Attach(const std::string&, const std::string& user, const std::string& password) override {
        logins->push_back({user, password});
        DBIResult rc = attachAnswers->empty() ? 0 : attachAnswers->front();
        if (!attachAnswers->empty()) attachAnswers->erase(attachAnswers->begin());
        connected = rc == 0;
        return rc;
    }
    bool Connected() const override { return connected; }
    DBIResult SendRequest(std::uint32_t id, const std::uint8_t* p, std::uint32_t n, bool,
                          std::vector<std::uint8_t>& reply) override {
        sent->push_back({id, std::vector<std::uint8_t>(p, p + n)});
        reply.clear();
        if (replies->empty()) return 0;
        auto r = replies->front();
        replies->pop_front();
        reply = r.second;
        return r.first;
    }
};

class ScriptedLogin : public ILoginDialogService {
public:
    std::deque<bool> answers;  // true: OK with a user and password
    int shown = 0;
    std::string server;
    bool Execute(const std::string& s, std::string& user, std::string& password) override {
        ++shown;
        server = s;
        bool ok = !answers.empty() && answers.front();
        if (!answers.empty()) answers.pop_front();
        if (ok) user = "ann", password = "pw";
        return ok;
    }
};

class ClientSessionTest : public ::testing::Test {
protected:
    std::vector<DBIResult> attachAnswers;
    std::vector<std::pair<std::string, std::string>> logins;
    std::vector<Sent> sent;
    std::deque<std::pair<DBIResult, std::vector<std::uint8_t>>> replies;
    RecordingMessageBoxService boxes;
    ScopedEngineMessageBoxService scope{boxes};
    ScriptedLogin login;
    TBapiCollection sessions;

    void SetUp() override {
        SetLoginDialogService(&login);
        SetClientTransportFactory([this](const std::string&) {
            auto t = std::make_unique<ScriptedTransport>();
            t->attachAnswers = &attachAnswers;
            t->logins = &logins;
            t->sent = &sent;
            t->replies = &replies;
            return t;
        });
    }
    void TearDown() override {
        sessions.FreeAll();
        SetLoginDialogService(nullptr);
        SetClientTransportFactory(nullptr);
    }
    TQVClientSession* NewSession() { return new TQVClientSession(nullptr, &sessions, "S", nullptr); }
    static std::vector<std::uint8_t> U32(std::uint32_t v) {
        std::vector<std::uint8_t> b(4);
        PutU32(b.data(), v);
        return b;
    }
};

TEST_F(ClientSessionTest, AttachesToTheDefaultServerWithoutAName) {
    TQVClientSession* s = NewSession();
    EXPECT_EQ(s->Result(), 0);
    EXPECT_TRUE(s->Connected());
    EXPECT_EQ(s->ServerName(), "TavrinServer");
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_EQ(logins[0].first, "");
    EXPECT_EQ(login.shown, 0);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ClientSessionTest, LoginDialogLoop) {
    struct Case {
        const char* what;
        std::vector<DBIResult> attach;
        std::deque<bool> dialog;
        int shown;
        bool connected;
    };
    const DBIResult bad = kDbiErrInvalidUserPass;
    for (const Case& c : {Case{"cancel at once", {bad}, {false}, 1, false},
                          Case{"second try logs in", {bad, bad, 0}, {true, true}, 2, true},
                          Case{"three failures end it", {bad, bad, bad, bad}, {true, true, true, true}, 3, false},
                          Case{"another error shows no dialog", {kDbiErrNotSupported}, {true}, 0, false}}) {
        attachAnswers = c.attach;
        login.answers = c.dialog;
        login.shown = 0;
        boxes.shown.clear();
        logins.clear();
        TQVClientSession* s = NewSession();
        EXPECT_EQ(login.shown, c.shown) << c.what;
        EXPECT_EQ(s->Connected(), c.connected) << c.what;
        EXPECT_EQ(s->Result() == 0, c.connected) << c.what;
        EXPECT_EQ(login.server, c.shown ? "TavrinServer" : login.server) << c.what;
        if (c.connected) {
            EXPECT_TRUE(boxes.shown.empty()) << c.what;
            EXPECT_EQ(logins.back().first, "ann") << c.what;
        } else {
            ASSERT_EQ(boxes.shown.size(), 1u) << c.what;
            EXPECT_EQ(boxes.shown[0].caption, "Dunmere Communications Error") << c.what;
        }
        delete s;
        login.server.clear();
    }
    attachAnswers = {bad};
    login.answers = {false};
    boxes.shown.clear();
    delete NewSession();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Unknown user name or password.");
}

TEST_F(ClientSessionTest, ATransportThatCannotStartIsAProtocolFailure) {
    SetClientTransportFactory([](const std::string&) -> std::unique_ptr<IClientTransport> {
        throw std::runtime_error("no server");
    });
    TQVClientSession* s = NewSession();
    EXPECT_NE(s->Result(), 0);
    EXPECT_FALSE(s->Connected());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Network Protocol Failure");
    EXPECT_EQ(boxes.shown[0].caption, "Dunmere Communications Error");
}

TEST(LoginDialogTest, OkNeedsAUserNameAndAPassword) {
    struct Case {
        const char* user;
        const char* password;
        bool closes;
        int focus;
    };
    for (const Case& c : {Case{"", "", false, 1}, Case{"", "pw", false, 1}, Case{"ann", "", false, 2},
                          Case{"ann", "pw", true, 0}}) {
        TQVLoginDialog d;
        d.UserNameEdt = c.user;
        d.PasswordEdt = c.password;
        EXPECT_EQ(d.BitBtn1Click(), c.closes) << c.user << "/" << c.password;
        EXPECT_EQ(d.focused, c.focus);
        EXPECT_EQ(d.beeps, c.closes ? 0 : 1);
    }
}

TEST_F(ClientSessionTest, AddAliasSendsTheCleanedPath) {
    TQVClientSession* s = NewSession();
    struct Case {
        const char* params;
        const char* path;
    };
    for (const Case& c : {Case{"PATH:\"C:\\data\";x", "C:\\data"}, Case{"C:\\plain", "C:\\plain"},
                          Case{"path:D:\\low;rest", "D:\\low"}}) {
        sent.clear();
        ASSERT_EQ(s->AddAlias(0, "Work", nullptr, c.params, true), 0) << c.params;
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].id, QvnmDatabaseAddAliasId);
        ASSERT_EQ(sent[0].data.size(), 252u);
        EXPECT_EQ(GetShortStringField(sent[0].data.data(), 32), "Work");
        EXPECT_EQ(GetShortStringField(sent[0].data.data() + 32, 220), c.path) << c.params;
    }
}

TEST_F(ClientSessionTest, DatabaseOpenTransactionsAndClose) {
    TQVClientSession* s = NewSession();
    replies.push_back({0, U32(41)});
    hDBIDb h = kNilHandle;
    ASSERT_EQ(s->OpenDatabase("/tmp/", nullptr, 0, 0, nullptr, 0, nullptr, nullptr, h), 0);
    ASSERT_EQ(sent.back().id, QvnmDatabaseOpenNoAliasId);
    ASSERT_EQ(sent.back().data.size(), 222u);
    EXPECT_EQ(sent.back().data[220], 1) << "read-write";
    EXPECT_EQ(sent.back().data[221], 1) << "shared";
    auto* db = HandleAs<TQVClientDatabase>(h);
    ASSERT_NE(db, nullptr);
    EXPECT_EQ(db->DatabaseId(), 41u);

    replies.push_back({0, U32(7)});
    std::uint32_t tran = 0;
    ASSERT_EQ(db->BeginTran(0, tran), 0);
    EXPECT_EQ(sent.back().id, QvnmStartTransactionId);
    EXPECT_EQ(sent.back().data.size(), 5u);
    const std::size_t before = sent.size();
    EXPECT_EQ(db->BeginTran(0, tran), kDbiErrTranInProgress);
    EXPECT_EQ(sent.size(), before) << "no request for the second begin";
    struct Case {
        std::uint32_t mode;
        std::uint8_t commit;
    };
    for (const Case& c : {Case{2, 0}, Case{0, 1}, Case{1, 1}}) {
        ASSERT_EQ(db->EndTran(tran, c.mode), 0);
        ASSERT_EQ(sent.back().data.size(), 5u);
        EXPECT_EQ(sent.back().data[4], c.commit) << c.mode;
        replies.push_back({0, U32(8)});
        ASSERT_EQ(db->BeginTran(0, tran), 0);
    }
    // A failed end keeps the transaction.
    replies.push_back({10243, {}});
    EXPECT_EQ(db->EndTran(tran, 0), 10243);
    EXPECT_TRUE(db->InTransaction());

    ASSERT_EQ(s->CloseDatabase(h), 0);
    EXPECT_EQ(h, kNilHandle);
    EXPECT_EQ(sent.back().id, QvnmDatabaseCloseId);
}

TEST_F(ClientSessionTest, ARefusedOpenLeavesNoDatabaseAndCloseOfAnUnopenedOneIsRefused) {
    TQVClientSession* s = NewSession();
    replies.push_back({10035, {}});
    hDBIDb h = 9;
    EXPECT_EQ(s->OpenDatabase("/tmp/", nullptr, 0, 0, nullptr, 0, nullptr, nullptr, h), 10035);
    EXPECT_EQ(h, kNilHandle);
    hDBIDb direct = kNilHandle;
    replies.push_back({10035, {}});
    DBDesc desc;
    desc.physicalPath = "/tmp/";
    EXPECT_EQ(s->OpenDatabaseByDesc(desc, nullptr, 0, 0, nullptr, 0, nullptr, nullptr, direct), 10035);
    ASSERT_NE(direct, kNilHandle) << "the base call hands the database back to its owner";
    EXPECT_EQ(s->CloseDatabase(direct), kDbiErrInvalidHandle);
    EXPECT_NE(FindHandle(direct), nullptr);
    delete FindHandle(direct);
}

}  // namespace
