#include "engine/client/base_session.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/client/cursor_link.h"
#include "engine/client/error_texts.h"
#include "engine/client/tests/fake_cursor.h"
#include "platform/core/codepage.h"
#include "platform/core/files.h"

namespace qv {
namespace {

using testing::FakeCursor;
using testing::FakeDatabase;
using testing::FakeSession;

struct Fixture {
    Fixture() { ResetClientErrorState(); }
    TBapiCollection sessions;
    FakeSession* session = new FakeSession(nullptr, &sessions, "Default", "C:\\NET");
};

TEST(BaseSession, ConstructionCutsNameAndDirectories) {
    TBapiCollection sessions;
    auto* s = new FakeSession(nullptr, &sessions, std::string(40, 'n').c_str(), std::string(300, 'd').c_str());
    EXPECT_EQ(s->Name(), std::string(31, 'n'));
    EXPECT_EQ(s->NetDir(), std::string(260, 'd'));
    EXPECT_EQ(s->PrivateDir(), s->NetDir());
    auto* t = new FakeSession(nullptr, &sessions, nullptr, nullptr);
    EXPECT_EQ(t->Name(), "");
    EXPECT_EQ(t->PrivateDir(), "");
    EXPECT_EQ(sessions.Count(), 2);
}

TEST(BaseSession, DescriptorOfAPathNeedsNoDatabaseList) {
    Fixture f;
    std::vector<std::uint8_t> raw(DBDesc::kSize);
    EXPECT_EQ(f.session->GetDatabaseDesc("C:\\Data", raw.data()), 0);
    DBDesc d = DBDesc::Read(raw.data());
    EXPECT_EQ(d.name, "PATH");
    EXPECT_EQ(d.description, "PATH");
    EXPECT_EQ(d.physicalPath, "C:\\Data\\");
    EXPECT_EQ(d.dbType, "STANDARD");
    EXPECT_EQ(f.session->databaseListOpens, 0);
    EXPECT_EQ(f.session->DescCache().Count(), 1);
    // The second call is answered from the cache.
    std::vector<std::uint8_t> again(DBDesc::kSize);
    EXPECT_EQ(f.session->GetDatabaseDesc("c:\\data", again.data()), 0);
    EXPECT_EQ(again, raw);
    EXPECT_EQ(f.session->DescCache().Count(), 1);
    EXPECT_EQ(f.session->Databases().Count(), 0);
}

TEST(BaseSession, DescriptorOfAnAliasComesFromTheDatabaseList) {
    Fixture f;
    f.session->aliases = {{"Tavrin", "C:\\TAVRIN"}, {"Work", "D:\\WORK"}};
    struct Case {
        const char* name;
        DBIResult result;
        const char* path;
    };
    const Case cases[] = {
        {"work", 0, "D:\\WORK"},
        {"TAVRIN", 0, "C:\\TAVRIN"},
        {"Missing", kDbiErrUnknownDb, nullptr},
        {"", kDbiErrUnknownDb, nullptr},
        {nullptr, kDbiErrUnknownDb, nullptr},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> raw(DBDesc::kSize, 0);
        EXPECT_EQ(f.session->GetDatabaseDesc(c.name, raw.data()), c.result) << (c.name ? c.name : "(nil)");
        if (c.path != nullptr) {
            DBDesc d = DBDesc::Read(raw.data());
            EXPECT_EQ(d.physicalPath, c.path);
            EXPECT_EQ(d.dbType, "QV");  // flag 1 keeps the list's type
        }
    }
    // Each look-up closed and freed its list cursor.
    EXPECT_EQ(f.session->FurtherList().Count(), 0);
    EXPECT_EQ(f.session->listLog.destroyed, f.session->databaseListOpens);
    // The failed look-up left its name as the error context.
    EXPECT_EQ(ErrorContext(), "Missing");
    // A second look-up of a known alias is answered from the cache.
    int opens = f.session->databaseListOpens;
    std::vector<std::uint8_t> raw(DBDesc::kSize);
    EXPECT_EQ(f.session->GetDatabaseDesc("WORK", raw.data()), 0);
    EXPECT_EQ(f.session->databaseListOpens, opens);
}

TEST(BaseSession, UnknownDatabaseContextReachesTheErrorString) {
    Fixture f;
    DBDesc d;
    EXPECT_EQ(f.session->GetDatabaseDescByName("Nowhere", d, 1), kDbiErrUnknownDb);
    EXPECT_EQ(ErrorContext(), "Nowhere");
    ClearErrorContext();
}

TEST(BaseSession, OpenAndCloseDatabase) {
    Fixture f;
    f.session->aliases = {{"Work", "D:\\WORK"}};
    hDBIDb db = kNilHandle;
    EXPECT_EQ(f.session->OpenDatabase("Work", nullptr, 0, 0, nullptr, 0, nullptr, nullptr, db), 0);
    auto* obj = HandleAs<FakeDatabase>(db);
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(obj->Desc().physicalPath, "D:\\WORK");
    EXPECT_EQ(obj->Parent(), f.session);
    new FakeCursor(obj, &obj->Cursors(), "T", "D:\\WORK\\T.QVD");
    hDBIDb kept = db;
    EXPECT_EQ(f.session->CloseDatabase(db), 0);
    EXPECT_EQ(db, kNilHandle);
    EXPECT_EQ(FindHandle(kept), nullptr);
    EXPECT_EQ(f.session->Databases().Count(), 0);
    // Closing again, with the stale handle or with nil, is refused.
    EXPECT_EQ(f.session->CloseDatabase(kept), kDbiErrInvalidHandle);
    EXPECT_EQ(f.session->CloseDatabase(db), kDbiErrInvalidHandle);
    // So is a handle of another kind.
    hDBIDb notADb = f.session->Handle();
    EXPECT_EQ(f.session->CloseDatabase(notADb), kDbiErrInvalidHandle);
    EXPECT_NE(FindHandle(f.session->Handle()), nullptr);

    EXPECT_EQ(f.session->OpenDatabase(nullptr, nullptr, 0, 0, nullptr, 0, nullptr, nullptr, db), kDbiErrUnknownDb);
    EXPECT_EQ(f.session->OpenDatabase("Nope", nullptr, 0, 0, nullptr, 0, nullptr, nullptr, db), kDbiErrUnknownDb);
}

TEST(BaseSession, BaseSessionOpensNoDatabase) {
    TBapiCollection sessions;
    auto* s = new TBaseSession(nullptr, &sessions, "S", nullptr);
    hDBIDb db = 5;
    EXPECT_EQ(s->OpenDatabase("C:\\X", nullptr, 0, 0, nullptr, 0, nullptr, nullptr, db), kDbiErrInvalidHandle);
    // Without the registry list installed, an alias cannot be looked up.
    SetRegistryDatabaseListFactory(nullptr);
    EXPECT_EQ(s->OpenDatabase("Alias", nullptr, 0, 0, nullptr, 0, nullptr, nullptr, db), kDbiErrUnknownDb);
    hDBIDb def = 9;
    EXPECT_EQ(s->GetDefaultDatabase(def), 0);
    EXPECT_EQ(def, kNilHandle);
}

TEST(BaseSession, Properties) {
    Fixture f;
    char buf[512];
    std::uint16_t len = 0;
    std::string cwd = plat::GetCurrentDir();
    EXPECT_EQ(f.session->GetProp(TBaseSession::kPropCurrentDir, buf, sizeof buf, len), 0);
    EXPECT_EQ(std::string(buf), cwd);
    EXPECT_EQ(len, cwd.size() + 1);
    EXPECT_EQ(f.session->SetProp(TBaseSession::kPropValue, 0xA1B2C3D4), 0);
    EXPECT_EQ(f.session->GetProp(TBaseSession::kPropValue, buf, sizeof buf, len), 0);
    EXPECT_EQ(len, 4);
    EXPECT_EQ(GetU32(buf), 0xA1B2C3D4u);
    EXPECT_EQ(f.session->SetProp(0x1234, 1), 0);
    EXPECT_EQ(f.session->GetProp(0x1234, buf, sizeof buf, len), kDbiErrNotSupported);
    EXPECT_EQ(len, 0);
}

TEST(BaseSession, SessionInformation) {
    TBapiCollection sessions;
    new FakeSession(nullptr, &sessions, "First", nullptr);
    auto* s = new FakeSession(nullptr, &sessions, "Second", "C:\\NET");
    s->SetLockWait(300);
    auto* db1 = new FakeDatabase(s, nullptr, 0, 0, nullptr, 0, nullptr, nullptr);
    auto* db2 = new FakeDatabase(s, nullptr, 0, 0, nullptr, 0, nullptr, nullptr);
    new FakeCursor(db1, &db1->Cursors(), "A", "A");
    new FakeCursor(db2, &db2->Cursors(), "B", "B");
    new FakeCursor(db2, &db2->Cursors(), "C", "C");
    std::vector<std::uint8_t> raw(SESInfo::kSize);
    EXPECT_EQ(s->GetSesInfo(raw.data()), 0);
    SESInfo info = SESInfo::Read(raw.data());
    EXPECT_EQ(info.sessionId, 1);  // its index in the engine's list
    EXPECT_EQ(info.name, "Second");
    EXPECT_EQ(info.databaseCount, 2);
    EXPECT_EQ(info.openCursorCount, 3);
    EXPECT_EQ(info.lockWait, 300);
    EXPECT_EQ(info.netDir, "C:\\NET");
    EXPECT_EQ(info.privateDir, "C:\\NET");

    std::vector<std::uint8_t> sys(TBaseSession::kSysInfoSize, 0xEE);
    EXPECT_EQ(s->GetSysInfo(sys.data()), 0);
    EXPECT_EQ(GetU16(sys.data() + 32), 2);
    EXPECT_STREQ(reinterpret_cast<char*>(sys.data() + 34), "C:\\NET");
    std::vector<std::uint8_t> count(TBaseSession::kSessionCountSize, 0xEE);
    EXPECT_EQ(s->GetSessionCount(count.data()), 0);
    EXPECT_EQ(GetU16(count.data() + 8), 2);
    std::vector<std::uint8_t> cfg(TBaseSession::kSysConfigSize, 0xEE);
    EXPECT_EQ(s->GetSysConfig(cfg.data()), 0);
    EXPECT_EQ(GetU32(cfg.data()), 1u);
    EXPECT_EQ(GetU32(cfg.data() + 4), 1u);
    EXPECT_EQ(cfg[8], 0);
    std::uint16_t n = 0;
    EXPECT_EQ(s->CountTableCursors("b", n), 0);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(s->CountTableCursors(nullptr, n), kDbiErrInvalidHandle);
    EXPECT_EQ(s->GetDriverCount(n), kDbiErrTooManyDrivers);
    EXPECT_EQ(s->GetEngineName(), "Dunmere");
}

TEST(BaseSession, ErrorInformation) {
    Fixture f;
    f.session->SetResult(10024);
    std::vector<std::uint8_t> info(TBaseSession::kErrorInfoSize, 0xEE);
    EXPECT_EQ(f.session->GetErrorInfo(true, info.data()), 0);
    EXPECT_EQ(GetU16(info.data()), 10024);
    EXPECT_STREQ(reinterpret_cast<char*>(info.data() + 2), "Table does not exist.");
    EXPECT_STREQ(reinterpret_cast<char*>(info.data() + 130), "BDE Error: 10024");
    EXPECT_EQ(info[641], 0);
    char text[kDbiMaxMsgLen + 1];
    EXPECT_EQ(f.session->GetErrorString(12289, text), 0);
    EXPECT_STREQ(text, "Not Supported");
    std::uint32_t native = 0;
    EXPECT_EQ(f.session->GetErrorEntry(1, native, nullptr), 0);
    SetLastNativeError(10036);
    EXPECT_EQ(f.session->GetErrorEntry(1, native, nullptr), 10036);
    EXPECT_EQ(native, 10036u);
    EXPECT_EQ(f.session->GetErrorEntry(2, native, nullptr), 0);
    ResetClientErrorState();
}

TEST(BaseSession, OemAndAnsiConversion) {
    Fixture f;
    const char oem[] = "\x82\x9A";  // CP437 e-acute, U-umlaut
    char ansi[3] = {};
    bool translated = true;
    EXPECT_EQ(f.session->NativeToAnsi(nullptr, ansi, oem, 2, translated), 0);
    EXPECT_FALSE(translated);
    EXPECT_EQ(std::string(ansi, 2), "\xE9\xDC");
    char back[3] = {};
    EXPECT_EQ(f.session->AnsiToNative(nullptr, back, ansi, 2, translated), 0);
    EXPECT_EQ(std::string(back, 2), std::string(oem, 2));
}

TEST(BaseSession, ConfigurationRecords) {
    Fixture f;
    FLDDesc d1, d2;
    d1.name = "A";
    d1.length = 3;
    d2.name = "B";
    d2.offset = 3;
    d2.length = 2;
    std::vector<std::uint8_t> descs(2 * FLDDesc::kSize);
    d1.Write(descs.data());
    d2.Write(descs.data() + FLDDesc::kSize);
    const std::uint8_t values[5] = {'x', 'y', 0, 7, 8};
    EXPECT_EQ(f.session->CfgAddRecord(0, "\\DRIVERS\\QV", 2, descs.data(), values), 0);

    std::uint16_t count = 0;
    std::vector<std::uint8_t> gotDescs(2 * FLDDesc::kSize);
    std::uint8_t gotValues[5] = {};
    EXPECT_EQ(f.session->CfgGetRecord(0, "\\DRIVERS\\QV", count, gotDescs.data(), gotValues), 0);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(gotDescs, descs);
    EXPECT_EQ(std::memcmp(gotValues, values, 5), 0);
    // The path is compared exactly.
    EXPECT_EQ(f.session->CfgGetRecord(0, "\\drivers\\qv", count, nullptr, nullptr), 0);
    EXPECT_EQ(count, 0);
    // Adding an existing path changes nothing.
    const std::uint8_t other[5] = {1, 1, 1, 1, 1};
    EXPECT_EQ(f.session->CfgAddRecord(0, "\\DRIVERS\\QV", 2, descs.data(), other), 0);
    EXPECT_EQ(f.session->CfgRecords().Count(), 1);
    f.session->CfgGetRecord(0, "\\DRIVERS\\QV", count, nullptr, gotValues);
    EXPECT_EQ(gotValues[3], 7);
    // Modifying replaces the values.
    EXPECT_EQ(f.session->CfgModifyRecord(0, "\\DRIVERS\\QV", 2, descs.data(), other), 0);
    f.session->CfgGetRecord(0, "\\DRIVERS\\QV", count, nullptr, gotValues);
    EXPECT_EQ(gotValues[3], 1);
    EXPECT_EQ(f.session->CfgModifyRecord(0, "\\NONE", 2, descs.data(), other), 0);
    // Dropping frees the record.
    EXPECT_EQ(f.session->CfgDropRecord(0, "\\DRIVERS\\QV"), 0);
    EXPECT_EQ(f.session->CfgRecords().Count(), 0);
    EXPECT_EQ(f.session->CfgDropRecord(0, "\\DRIVERS\\QV"), 0);
}

TEST(BaseSession, SmallFixedAnswers) {
    Fixture f;
    void* ld = nullptr;
    EXPECT_EQ(f.session->GetLdObj(0, ld), 0);
    EXPECT_NE(ld, nullptr);
    void* ld2 = nullptr;
    f.session->GetLdObj(0, ld2);
    EXPECT_EQ(ld, ld2);
    EXPECT_FALSE(f.session->IsDefault());
    EXPECT_EQ(f.session->SetCallbackContext(42), 0);
    EXPECT_EQ(f.session->CallbackContext(), 42u);
    EXPECT_EQ(f.session->CheckRefresh(), 0);
    EXPECT_EQ(f.session->CloseAllDatabases(), 0);
    std::vector<std::uint8_t> buf(TBaseSession::kClientInfoSize, 0xEE);
    EXPECT_EQ(f.session->GetClientInfo(buf.data()), 0);
    EXPECT_EQ(buf, std::vector<std::uint8_t>(TBaseSession::kClientInfoSize, 0));
    char user[256];
    EXPECT_EQ(f.session->GetNetUserName(user), 0);
    f.session->SetPrivateDir("C:\\PRIV");
    EXPECT_EQ(f.session->PrivateDir(), "C:\\PRIV");
}

}  // namespace
}  // namespace qv
