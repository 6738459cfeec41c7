#include "engine/client/base_database.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/client/cursor_link.h"
#include "engine/client/message_box.h"
#include "engine/client/tests/fake_cursor.h"

namespace qv {
namespace {

using testing::CursorLog;
using testing::FakeCursor;
using testing::FakeDatabase;
using testing::FakeSession;

struct Fixture {
    TBapiCollection sessions;
    FakeSession* session = new FakeSession(nullptr, &sessions, "S", nullptr);
    FakeDatabase* db = new FakeDatabase(session, nullptr, 0, 0, nullptr, 0, nullptr, nullptr);
    FakeCursor* Open(const std::string& table, const std::string& full) {
        return new FakeCursor(db, &db->Cursors(), table, full, &db->log);
    }
};

TEST(BaseDatabase, Properties) {
    Fixture f;
    char buf[20];
    std::uint16_t len = 0;
    EXPECT_EQ(f.db->GetProp(2, buf, 20, len), 0);
    EXPECT_STREQ(buf, "STANDARD");
    EXPECT_EQ(len, 9);
    EXPECT_EQ(f.db->GetProp(0x00050002, buf, 4, len), 0);  // only the low word counts
    EXPECT_STREQ(buf, "STA");
    EXPECT_EQ(len, 9);
    EXPECT_EQ(f.db->GetProp(0, buf, 20, len), 0);
    EXPECT_EQ(GetU16(buf), 14);
    EXPECT_EQ(len, 2);
    EXPECT_EQ(f.db->GetProp(7, buf, 20, len), kDbiErrNotSupported);
    EXPECT_EQ(len, 0);
    struct Case {
        std::uint32_t property, value;
        DBIResult result;
    };
    const Case cases[] = {{0, 0, 0}, {0, 1, kDbiErrNotSupported}, {2, 5, kDbiErrNotSupported},
                          {0x10002, 0, 0}, {3, 9, 0}};
    for (const Case& c : cases) EXPECT_EQ(f.db->CheckProp(c.property, c.value), c.result) << c.property;
    EXPECT_FALSE(f.db->IsSQLBased());
}

std::vector<std::uint8_t> OptParams(const std::vector<std::pair<std::string, std::string>>& params,
                                    std::vector<std::uint8_t>& values) {
    std::vector<std::uint8_t> descs(params.size() * FLDDesc::kSize);
    values.clear();
    for (std::size_t i = 0; i < params.size(); ++i) {
        FLDDesc d;
        d.name = params[i].first;
        d.offset = static_cast<std::uint16_t>(values.size());
        d.length = static_cast<std::uint16_t>(params[i].second.size() + 1);
        d.Write(descs.data() + i * FLDDesc::kSize);
        values.insert(values.end(), params[i].second.begin(), params[i].second.end());
        values.push_back(0);
    }
    return descs;
}

TEST(BaseDatabase, UserNameFromOptionalParameters) {
    struct Case {
        std::vector<std::pair<std::string, std::string>> params;
        std::string user;
    };
    const Case cases[] = {
        {{{"PATH", "C:\\X"}, {"USER NAME", "alice"}}, "alice"},
        {{{"user name", "bob"}}, "bob"},
        {{{"USERNAME", "carol"}}, ""},
        {{{"USER NAME", std::string(40, 'u')}}, std::string(31, 'u')},
    };
    for (const Case& c : cases) {
        TBapiCollection sessions;
        auto* s = new FakeSession(nullptr, &sessions, "S", nullptr);
        std::vector<std::uint8_t> values;
        std::vector<std::uint8_t> descs = OptParams(c.params, values);
        auto* db = new FakeDatabase(s, nullptr, 1, 2, "secret", static_cast<std::uint16_t>(c.params.size()),
                                    descs.data(), values.data());
        EXPECT_EQ(db->UserName(), c.user);
        EXPECT_EQ(db->Password(), "secret");
        EXPECT_EQ(db->OpenMode(), 1u);
        EXPECT_EQ(db->ShareMode(), 2u);
    }
}

TEST(BaseDatabase, DirectoryAndDescriptor) {
    DBDesc desc;
    desc.name = "Work";
    desc.physicalPath = "C:\\Work\\";
    TBapiCollection sessions;
    auto* s = new FakeSession(nullptr, &sessions, "S", nullptr);
    auto* db = new FakeDatabase(s, &desc, 0, 0, nullptr, 0, nullptr, nullptr);
    char dir[261];
    EXPECT_EQ(db->GetDirectory(dir), 0);
    EXPECT_STREQ(dir, "C:\\Work\\");
    EXPECT_EQ(db->SetDirectory("D:\\Other"), 0);
    db->GetDirectory(dir);
    EXPECT_STREQ(dir, "D:\\Other");
    EXPECT_EQ(db->Desc().name, "Work");
}

TEST(BaseDatabase, CountAndFindOpenCursors) {
    Fixture f;
    FakeCursor* a = f.Open("Orders", "C:\\DATA\\ORDERS.QVD");
    f.Open("orders", "C:\\DATA\\ORDERS.QVD");
    FakeCursor* c = f.Open("Items", "C:\\OTHER\\ITEMS.QVD");
    std::uint16_t n = 9;
    EXPECT_EQ(f.db->CountOpenCursors("ORDERS", n), 0);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(f.db->CountOpenCursors("Nothing", n), kDbiErrNoSuchTable);
    EXPECT_EQ(n, 0);

    struct Case {
        const char* name;
        DBIResult result;
        FakeCursor* cursor;
    };
    const Case cases[] = {
        {"Orders", 0, a},
        {"c:\\other\\items.qvd", 0, c},  // a path: full names
        {"Items.qvd", kDbiErrNoSuchTable, nullptr},  // has a dot, so a path, and no full name matches
        {"ITEMS", 0, c},
        {"C:\\DATA\\ORDERS.QVD;Primary", 0, a},  // FindOpenCursorByName cuts at ";"
        {nullptr, kDbiErrInvalidParam, nullptr},
    };
    for (const Case& k : cases) {
        TBapiListItem* found = reinterpret_cast<TBapiListItem*>(1);
        EXPECT_EQ(f.db->FindOpenCursorByName(k.name, found), k.result) << (k.name ? k.name : "(nil)");
        if (k.result == 0) {
            EXPECT_EQ(found, k.cursor) << k.name;
        }
    }
    Fixture empty;
    TBapiListItem* found = nullptr;
    EXPECT_EQ(empty.db->FindOpenCursor("Orders", found), kDbiErrInvalidParam);
}

TEST(BaseDatabase, CursorsWithoutFullNameAreNotFound) {
    Fixture f;
    f.Open("Orders", "");
    TBapiListItem* found = nullptr;
    EXPECT_EQ(f.db->FindOpenCursor("Orders", found), kDbiErrNoSuchTable);
}

TEST(BaseDatabase, TableExistsReadsTheSystemTableList) {
    Fixture f;
    f.db->tables = {"Main", "Items"};
    bool found = false;
    EXPECT_EQ(f.db->TableExists("ITEMS", found), 0);
    EXPECT_TRUE(found);
    EXPECT_TRUE(f.db->lastSystemFlag);
    EXPECT_EQ(f.db->TableExists("Missing", found), kDbiErrEof);  // the last read's result
    EXPECT_FALSE(found);
    // Each list cursor was closed and freed.
    EXPECT_EQ(f.db->Cursors().Count(), 0);
    EXPECT_EQ(f.db->log.destroyed, 2);
}

TEST(BaseDatabase, OperationsOnATableOpenItForTheCallWhenNoCursorIsGiven) {
    struct Case {
        const char* what;
        DBIResult openResult;
        DBIResult opResult;
        bool withCursor;
    };
    const Case cases[] = {
        {"opened here, succeeds", 0, 0, false},
        {"opened here, operation fails", 0, 10253, false},
        {"open fails", 10024, 0, false},
        {"given cursor", 0, 0, true},
    };
    for (const Case& c : cases) {
        Fixture f;
        f.db->openTableResult = c.openResult;
        f.db->cursorOperationResult = c.opResult;
        hDBICur given = kNilHandle;
        FakeCursor* mine = nullptr;
        if (c.withCursor) {
            mine = f.Open("T", "C:\\T.QVD");
            given = mine->Handle();
        }
        IDXDesc idx;
        idx.name = "ByKey";
        idx.indexId = 3;
        std::vector<std::uint8_t> idxBytes(IDXDesc::kSize);
        idx.Write(idxBytes.data());

        auto run = [&](auto op) {
            int before = f.db->log.destroyed;
            if (mine != nullptr) mine->operationResult = c.opResult;
            DBIResult rc = op();
            DBIResult want = c.openResult != 0 ? c.openResult : c.opResult;
            EXPECT_EQ(rc, want) << c.what;
            // A cursor opened for the call is freed whatever the result.
            EXPECT_EQ(f.db->log.destroyed - before, c.withCursor ? 0 : 1) << c.what;
        };
        run([&] { return f.db->EmptyTable(given, "T", nullptr); });
        run([&] { return f.db->AddIndex(given, "T", nullptr, idxBytes.data(), nullptr); });
        run([&] { return f.db->DeleteIndex(given, "T", nullptr, "ByKey", nullptr, 0); });
        if (!c.withCursor) {
            EXPECT_EQ(f.db->lastShareMode, 1u) << c.what;  // exclusive
            EXPECT_EQ(f.db->Cursors().Count(), 0) << c.what;
        } else {
            EXPECT_EQ(f.db->log.emptied, 1);
            EXPECT_EQ(f.db->log.indexesAdded, 1);
            EXPECT_EQ(f.db->log.lastIndexName, "ByKey");
        }
    }
}

TEST(BaseDatabase, AddIndexOpensTheTableWithTheDescriptorsIndexId) {
    Fixture f;
    IDXDesc idx;
    idx.indexId = 3;
    std::vector<std::uint8_t> idxBytes(IDXDesc::kSize);
    idx.Write(idxBytes.data());
    EXPECT_EQ(f.db->AddIndex(kNilHandle, "T", nullptr, idxBytes.data(), nullptr), 0);
    EXPECT_EQ(f.db->lastIndexId, 3);
    EXPECT_EQ(f.db->AddIndex(kNilHandle, "T", nullptr, nullptr, nullptr), kDbiErrInvalidParam);
}

TEST(BaseDatabase, StaleOrForeignCursorHandlesAreRefused) {
    Fixture f;
    FakeCursor* c = f.Open("T", "C:\\T.QVD");
    hDBICur stale = c->Handle();
    delete c;
    EXPECT_EQ(f.db->EmptyTable(stale, "T", nullptr), kDbiErrInvalidHandle);
    EXPECT_EQ(f.db->EmptyTable(f.session->Handle(), "T", nullptr), kDbiErrInvalidHandle);
}

TEST(BaseDatabase, EmptyListUsesThePlainCursorFactory) {
    Fixture f;
    hDBICur h = 77;
    SetPlainCursorFactory(nullptr);
    EXPECT_EQ(f.db->OpenEmptyList(h), kDbiErrInvalidHandle);
    EXPECT_EQ(h, kNilHandle);
    SetPlainCursorFactory([](TBaseDatabase* db, TBapiCollection* list) -> TBapiListItem* {
        return new FakeCursor(db, list, "", "", nullptr);
    });
    EXPECT_EQ(f.db->OpenEmptyList(h), 0);
    EXPECT_NE(HandleAs<FakeCursor>(h), nullptr);
    EXPECT_EQ(f.db->Cursors().Count(), 1);
    SetPlainCursorFactory(nullptr);
}

TEST(BaseDatabase, TransactionInfoAndFixedAnswers) {
    Fixture f;
    std::uint8_t info[10];
    std::memset(info, 0xEE, sizeof info);
    EXPECT_EQ(f.db->GetTranInfo(0, info), 0);
    for (std::uint8_t b : info) EXPECT_EQ(b, 0);
    EXPECT_EQ(f.db->GetLdNameFromDB("T", nullptr), kDbiErrNotApplicable);
    EXPECT_EQ(f.db->CloseHook(), 0);
    hDBICur h = 0;
    EXPECT_EQ(f.db->OpenFileList("*.QVD", h), 0);  // through the table list
    EXPECT_FALSE(f.db->lastSystemFlag);
}

TEST(BaseDatabase, UnsupportedCallsChangeNothing) {
    Fixture f;
    RecordingMessageBoxService boxes;
    ScopedEngineMessageBoxService scope(boxes);
    f.Open("T", "C:\\T.QVD");
    std::uint32_t tran = 5;
    EXPECT_EQ(f.db->BeginTran(1, tran), kDbiErrNotSupported);
    EXPECT_EQ(tran, 5u);
    EXPECT_FALSE(f.db->InTransaction());
    EXPECT_EQ(f.db->DeleteTable("T", nullptr), kDbiErrNotSupported);
    EXPECT_EQ(f.db->Cursors().Count(), 1);
    EXPECT_EQ(boxes.shown.size(), 2u);
}

}  // namespace
}  // namespace qv
