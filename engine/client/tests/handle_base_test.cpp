#include "engine/client/handle_base.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "engine/client/base_session.h"
#include "engine/client/tests/fake_cursor.h"

namespace qv {
namespace {

using testing::FakeCursor;
using testing::FakeDatabase;
using testing::FakeSession;

class Plain : public TBapiListItem {
public:
    using TBapiListItem::TBapiListItem;
};

// The engine object's part in these tests: a root that owns the sessions.
struct Tree {
    Plain root{nullptr, nullptr};
    TBapiCollection sessions;
    FakeSession* session = new FakeSession(&root, &sessions, "S", nullptr);
    FakeDatabase* db = new FakeDatabase(session, nullptr, 0, 0, nullptr, 0, nullptr, nullptr);
    FakeCursor* cursor = new FakeCursor(db, &db->Cursors(), "T", "C:\\T.QVD");
};

TEST(HandleBase, LookupOfNilLiveStaleAndForeignHandles) {
    struct Case {
        const char* what;
        std::function<std::uint32_t(Tree&)> handle;
        bool found;
        bool asDatabase;
    };
    const Case cases[] = {
        {"nil", [](Tree&) { return kNilHandle; }, false, false},
        {"live database", [](Tree& t) { return t.db->Handle(); }, true, true},
        {"live cursor asked as database", [](Tree& t) { return t.cursor->Handle(); }, true, false},
        {"freed cursor",
         [](Tree& t) {
             std::uint32_t h = t.cursor->Handle();
             delete t.cursor;
             return h;
         },
         false, false},
        {"database freed with its session",
         [](Tree& t) {
             std::uint32_t h = t.db->Handle();
             delete t.session;
             return h;
         },
         false, false},
        {"id never handed out", [](Tree& t) { return t.cursor->Handle() + 1000; }, false, false},
    };
    for (const Case& c : cases) {
        Tree t;
        std::uint32_t h = c.handle(t);
        EXPECT_EQ(FindHandle(h) != nullptr, c.found) << c.what;
        EXPECT_EQ(HandleAs<TBaseDatabase>(h) != nullptr, c.asDatabase) << c.what;
    }
}

TEST(HandleBase, IdsCountUpAndAreNeverReused) {
    std::uint32_t first;
    {
        Plain a(nullptr, nullptr);
        first = a.Handle();
    }
    Plain b(nullptr, nullptr);
    Plain c(nullptr, nullptr);
    EXPECT_GT(b.Handle(), first);
    EXPECT_GT(c.Handle(), b.Handle());
    EXPECT_EQ(FindHandle(first), nullptr);
}

TEST(HandleBase, OwnerLinksFollowTheChainOfCreation) {
    Tree t;
    EXPECT_EQ(t.session->Parent(), &t.root);
    EXPECT_EQ(t.db->Parent(), t.session);
    EXPECT_EQ(t.db->Session(), t.session);
    EXPECT_EQ(t.cursor->Parent(), t.db);
    EXPECT_EQ(t.session->List(), &t.sessions);
    EXPECT_EQ(t.db->List(), &t.session->Databases());
    EXPECT_EQ(t.cursor->List(), &t.db->Cursors());
    EXPECT_EQ(t.root.List(), nullptr);
}

TEST(HandleBase, FreeingAnOwnerFreesEverythingBelowIt) {
    struct Case {
        const char* what;
        std::function<void(Tree&)> free;
        bool sessionLives, dbLives, cursorLives;
    };
    const Case cases[] = {
        {"cursor alone", [](Tree& t) { delete t.cursor; }, true, true, false},
        {"database", [](Tree& t) { delete t.db; }, true, false, false},
        {"session", [](Tree& t) { delete t.session; }, false, false, false},
        {"session list", [](Tree& t) { t.sessions.FreeAll(); }, false, false, false},
    };
    for (const Case& c : cases) {
        Tree t;
        std::uint32_t s = t.session->Handle(), d = t.db->Handle(), k = t.cursor->Handle();
        std::size_t before = LiveHandleCount();
        c.free(t);
        EXPECT_EQ(FindHandle(s) != nullptr, c.sessionLives) << c.what;
        EXPECT_EQ(FindHandle(d) != nullptr, c.dbLives) << c.what;
        EXPECT_EQ(FindHandle(k) != nullptr, c.cursorLives) << c.what;
        int freed = !c.sessionLives + !c.dbLives + !c.cursorLives;
        EXPECT_EQ(LiveHandleCount(), before - freed) << c.what;
    }
}

TEST(HandleBase, AnObjectFreedOnItsOwnLeavesItsList) {
    TBapiCollection list;
    auto* a = new Plain(nullptr, &list);
    auto* b = new Plain(nullptr, &list);
    auto* c = new Plain(nullptr, &list);
    EXPECT_EQ(b->ListIndex(), 1);
    delete b;
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Item(0), a);
    EXPECT_EQ(list.Item(1), c);
    EXPECT_EQ(c->ListIndex(), 1);
    Plain loose(nullptr, nullptr);
    EXPECT_EQ(loose.ListIndex(), 0);
}

TEST(HandleBase, SetResultRecordsOnlyNonZeroCodesAsLastError) {
    ResetClientErrorState();
    Plain h(nullptr, nullptr);
    struct Step {
        DBIResult code;
        DBIResult lastError;
    };
    const Step steps[] = {{0, kNoError}, {9990, 9990}, {0, 9990}, {10011, 10011}};
    for (const Step& s : steps) {
        EXPECT_EQ(h.SetResult(s.code), s.code);
        EXPECT_EQ(h.Result(), s.code);
        EXPECT_EQ(h.ResultOK(), s.code == 0);
        EXPECT_EQ(LastErrorCode(), s.lastError) << s.code;
    }
    // The quiet not-supported answer is stored in the handle only.
    ResetClientErrorState();
    EXPECT_EQ(h.NotSupported(), kDbiErrNotSupported);
    EXPECT_EQ(h.Result(), kDbiErrNotSupported);
    EXPECT_EQ(LastErrorCode(), kNoError);
}

TEST(HandleBase, DefaultPropertyOperations) {
    Plain h(nullptr, nullptr);
    std::uint16_t len = 77;
    char buf[8];
    EXPECT_EQ(h.GetProp(1, buf, sizeof buf, len), kDbiErrNotSupported);
    EXPECT_EQ(h.SetProp(1, 5), 0);
    EXPECT_EQ(h.CheckProp(1, 5), 0);
    EXPECT_EQ(h.PassError(1234), 1234);
}

TEST(HandleBase, ErrorContextIsCutAt255) {
    SetErrorContext(std::string(300, 'x'));
    EXPECT_EQ(ErrorContext().size(), 255u);
    ClearErrorContext();
    EXPECT_TRUE(ErrorContext().empty());
}

}  // namespace
}  // namespace qv
