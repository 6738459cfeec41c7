#include "engine/client/cursor_base.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "engine/client/base_database.h"
#include "engine/client/list_cursors.h"
#include "engine/client/message_box.h"
#include "engine/client/tests/fake_cursor.h"
#include "engine/client/tests/row_table.h"
#include "engine/client/type_conversion.h"

namespace qv {
namespace {

using testing::RowTable;

// Application (text, 21 bytes at 0), HelpId (32-bit, 4 bytes at 21). Index
// 0 is the dictionary's own sequence index; index 1 orders by both fields,
// as the page table does, and is the cursor's current index.
TqvDataDictionary PageDict() {
    TqvDataDictionary d;
    d.SetTableName("PAGES");
    d.AddField("Application", "", qvftNullString, 20, 0, false);
    d.AddField("HelpId", "", qvftInt32, 10, 0, false);
    const std::uint32_t both[2] = {0, 1};
    d.AddIndex("QV$PRIMARY", "", 0, 2, both, false, true, false);
    const std::uint32_t id[1] = {1};
    d.AddIndex("ByHelpId", "", 0, 1, id, true, true, false);
    return d;
}

struct Pages {
    RowTable t{PageDict(), 1};
    std::vector<std::uint8_t> rec = t.NewRecord();

    explicit Pages(std::vector<std::pair<std::string, int>> rows = {{"A", 1}, {"A", 2}, {"B", 1}, {"C", 5}}) {
        for (auto& [app, id] : rows) {
            auto r = t.NewRecord();
            t.SetText(r, 1, app);
            t.SetInt32(r, 2, id);
            t.rows.push_back(r);
        }
        t.Open();
    }
    std::string Current() { return t.Text(rec, 1) + std::to_string(t.Int32(rec, 2)); }
    // The key of the first index for (app, id).
    std::vector<std::uint8_t> Key(const std::string& app, int id) {
        auto r = t.NewRecord();
        t.SetText(r, 1, app);
        t.SetInt32(r, 2, id);
        std::vector<std::uint8_t> k(kMaxKeyLength, 0);
        t.ExtractKeyPrecise(r.data(), k.data());
        return k;
    }
    std::vector<std::string> WalkForward() {
        std::vector<std::string> seen;
        t.SetToBegin();
        while (t.GetNextRecord(0, rec.data(), nullptr) == 0) seen.push_back(Current());
        return seen;
    }
    std::vector<std::string> WalkBackward() {
        std::vector<std::string> seen;
        t.SetToEnd();
        while (t.GetPriorRecord(0, rec.data(), nullptr) == 0) seen.push_back(Current());
        return seen;
    }
};

// ---- the position states ----------------------------------------------------------------

TEST(CursorBase, StateTable) {
    using Step = std::function<DBIResult(Pages&)>;
    Step next = [](Pages& p) { return p.t.GetNextRecord(0, p.rec.data(), nullptr); };
    Step prior = [](Pages& p) { return p.t.GetPriorRecord(0, p.rec.data(), nullptr); };
    Step get = [](Pages& p) { return p.t.GetRecord(0, p.rec.data(), nullptr); };
    Step begin = [](Pages& p) { return p.t.SetToBegin(); };
    Step end = [](Pages& p) { return p.t.SetToEnd(); };
    Step del = [](Pages& p) { return p.t.DeleteRecord(nullptr); };
    Step close = [](Pages& p) { return p.t.CloseCursor(); };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        DBIResult last;
        std::uint8_t state;
        const char* current;  // the record buffer after the last step, or nullptr
    };
    const Case cases[] = {
        {"record right after open", {get}, kDbiErrNoCurrRec, kCursorUnpositioned, nullptr},
        {"first move after open", {next}, 0, kCursorOnRecord, "A1"},
        {"prior after open takes the last", {prior}, 0, kCursorOnRecord, "C5"},
        {"record at the beginning", {begin, get}, kDbiErrBof, kCursorAtBegin, nullptr},
        {"record at the end", {end, get}, kDbiErrEof, kCursorAtEnd, nullptr},
        {"prior at the beginning", {begin, prior}, kDbiErrBof, kCursorAtBegin, nullptr},
        {"next at the end", {end, next}, kDbiErrEof, kCursorAtEnd, nullptr},
        {"next past the last", {next, next, next, next, next}, kDbiErrEof, kCursorAtEnd, nullptr},
        {"next after running off the end", {end, next, prior}, 0, kCursorOnRecord, "C5"},
        {"re-read on a record", {next, next, get}, 0, kCursorOnRecord, "A2"},
        {"next after a delete", {next, next, del, next}, 0, kCursorOnRecord, "B1"},
        {"prior after a delete", {next, next, del, prior}, 0, kCursorOnRecord, "A1"},
        {"record after a delete is the following one", {next, next, del, get}, 0, kCursorOnRecord, "B1"},
        {"record after deleting the last", {end, prior, del, get}, 0, kCursorOnRecord, "B1"},
        {"closed cursor", {next, close, next}, kDbiErrInvalidHandle, kCursorClosed, nullptr},
        {"closed cursor backwards", {close, prior}, kDbiErrInvalidHandle, kCursorClosed, nullptr},
        {"closed cursor cannot be positioned", {close, begin, next}, kDbiErrInvalidHandle, kCursorClosed, nullptr},
        {"record of a closed cursor", {next, close, get}, kDbiErrInvalidHandle, kCursorClosed, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Pages p;
        DBIResult rc = 0;
        for (const Step& s : c.steps) rc = s(p);
        EXPECT_EQ(rc, c.last);
        EXPECT_EQ(p.t.State(), c.state);
        if (c.current != nullptr) {
            EXPECT_EQ(p.Current(), c.current);
        }
    }
}

TEST(CursorBase, WalksBothWaysAndEmptyTableEndsAtOnce) {
    Pages p;
    EXPECT_EQ(p.WalkForward(), (std::vector<std::string>{"A1", "A2", "B1", "C5"}));
    EXPECT_EQ(p.WalkBackward(), (std::vector<std::string>{"C5", "B1", "A2", "A1"}));
    Pages empty(std::vector<std::pair<std::string, int>>{});
    EXPECT_EQ(empty.t.GetNextRecord(0, empty.rec.data(), nullptr), kDbiErrEof);
    EXPECT_EQ(empty.t.GetPriorRecord(0, empty.rec.data(), nullptr), kDbiErrBof);
}

TEST(CursorBase, RelativeRecordAndBlockRead) {
    Pages p;
    p.t.SetToBegin();
    EXPECT_EQ(p.t.GetRelativeRecord(0, 0, p.rec.data(), nullptr), kDbiErrInvalidParam);
    EXPECT_EQ(p.t.GetRelativeRecord(3, 0, p.rec.data(), nullptr), 0);
    EXPECT_EQ(p.Current(), "B1");
    EXPECT_EQ(p.t.GetRelativeRecord(-2, 0, p.rec.data(), nullptr), 0);
    EXPECT_EQ(p.Current(), "A1");
    EXPECT_EQ(p.t.GetRelativeRecord(9, 0, p.rec.data(), nullptr), kDbiErrEof);

    p.t.SetToBegin();
    std::uint32_t n = 10;
    std::vector<std::uint8_t> block(10 * p.t.RecordSize(), 0xEE);
    EXPECT_EQ(p.t.ReadBlock(n, block.data()), kDbiErrEof);
    EXPECT_EQ(n, 4u);
    std::vector<std::uint8_t> third(block.begin() + 2 * p.t.RecordSize(), block.begin() + 3 * p.t.RecordSize());
    EXPECT_EQ(p.t.Text(third, 1), "B");
    EXPECT_EQ(block[4 * p.t.RecordSize()], 0xEE);  // nothing past the last record
    n = 1;
    EXPECT_EQ(p.t.ReadBlock(n, nullptr), kDbiErrInvalidParam);
    // More than 16 bits of places would wrap onto the start of the block.
    n = 65536 / p.t.RecordSize() + 1;
    EXPECT_EQ(p.t.ReadBlock(n, block.data()), kDbiErrInvalidParam);
}

TEST(CursorBase, RecordCountKeepsThePosition) {
    Pages p;
    p.t.SetToBegin();
    p.t.GetNextRecord(0, p.rec.data(), nullptr);
    p.t.GetNextRecord(0, p.rec.data(), nullptr);
    std::uint32_t count = 0;
    EXPECT_EQ(p.t.GetRecordCount(count), 0);
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(p.t.GetRecord(0, p.rec.data(), nullptr), 0);
    EXPECT_EQ(p.Current(), "A2");
    // At the beginning the cursor stays there, so a walk still starts at the first.
    p.t.SetToBegin();
    EXPECT_EQ(p.t.GetRecordCount(count), 0);
    EXPECT_EQ(p.t.GetNextRecord(0, p.rec.data(), nullptr), 0);
    EXPECT_EQ(p.Current(), "A1");
}

TEST(CursorBase, EmptyTableDeletesEveryRecordInTheRange) {
    Pages p;
    auto from = p.Key("A", 2), to = p.Key("B", 1);
    p.t.SetRange(true, 0, 0, from.data(), true, 0, 0, to.data(), true);
    EXPECT_EQ(p.t.DeleteAllRecords(), 0);
    p.t.ResetRange();
    EXPECT_EQ(p.WalkForward(), (std::vector<std::string>{"A1", "C5"}));

    Pages all;
    EXPECT_EQ(all.t.EmptyTable(), 0);
    EXPECT_EQ(all.t.opens, 2);  // reopened exclusively for the call
    EXPECT_TRUE(all.t.rows.empty());
    EXPECT_EQ(all.t.ShareModeValue(), 0u);
    EXPECT_EQ(all.t.State(), kCursorAtBegin);
}

// ---- SetToCursor and bookmarks ----------------------------------------------------------

TEST(CursorBase, SetToCursorMovesTheDestinationOnly) {
    Pages src, dst;
    src.t.SetToBegin();
    for (int i = 0; i < 3; ++i) src.t.GetNextRecord(0, src.rec.data(), nullptr);
    dst.t.SetToBegin();
    EXPECT_EQ(src.t.SetToCursor(&dst.t), 0);
    EXPECT_EQ(dst.t.State(), kCursorOnRecord);
    EXPECT_EQ(dst.t.GetRecord(0, dst.rec.data(), nullptr), 0);
    EXPECT_EQ(dst.Current(), "B1");
    EXPECT_EQ(dst.t.GetNextRecord(0, dst.rec.data(), nullptr), 0);
    EXPECT_EQ(dst.Current(), "C5");
    // The source still stands on its own record.
    EXPECT_EQ(src.t.State(), kCursorOnRecord);
    EXPECT_EQ(src.t.GetRecord(0, src.rec.data(), nullptr), 0);
    EXPECT_EQ(src.Current(), "B1");

    EXPECT_EQ(src.t.SetToCursor(nullptr), kDbiErrInvalidParam);
    // A source with no current record has no bookmark to lend.
    src.t.SetToEnd();
    dst.t.SetToBegin();
    EXPECT_EQ(src.t.SetToCursor(&dst.t), kDbiErrNoCurrRec);
    EXPECT_EQ(dst.t.State(), kCursorAtBegin);
}

TEST(CursorBase, CompareBookMarks) {
    Pages p;
    p.t.SetToBegin();
    std::vector<std::uint8_t> a(256), b(256);
    p.t.GetNextRecord(0, p.rec.data(), nullptr);
    ASSERT_EQ(p.t.GetBookMark(a.data()), 0);
    p.t.GetNextRecord(0, p.rec.data(), nullptr);
    ASSERT_EQ(p.t.GetBookMark(b.data()), 0);
    // The base compares bookmarks as keys; this cursor's keys are its rows' keys.
    auto ka = p.Key("A", 1), kb = p.Key("A", 2);
    std::int16_t r = 7;
    EXPECT_EQ(p.t.CompareBookMarks(nullptr, kb.data(), r), kDbiErrInvalidParam);
    EXPECT_EQ(p.t.CompareBookMarks(ka.data(), nullptr, r), kDbiErrInvalidParam);
    EXPECT_EQ(p.t.CompareBookMarks(ka.data(), ka.data(), r), 0);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(p.t.CompareBookMarks(ka.data(), kb.data(), r), 0);
    EXPECT_EQ(r, -1);
    EXPECT_EQ(p.t.CompareBookMarks(kb.data(), ka.data(), r), 0);
    EXPECT_EQ(r, 1);
}

// ---- ranges -----------------------------------------------------------------------------

TEST(CursorBase, RangesForwardsAndBackwards) {
    struct Case {
        const char* name;
        std::pair<std::string, int> start, end;
        bool hasStart, hasEnd, startIncl, endIncl;
        std::uint16_t fields;
        std::vector<std::string> forward;
    };
    const Case cases[] = {
        {"inclusive both", {"A", 2}, {"B", 1}, true, true, true, true, 0, {"A2", "B1"}},
        {"exclusive both", {"A", 1}, {"C", 5}, true, true, false, false, 0, {"A2", "B1"}},
        {"start only", {"B", 1}, {}, true, false, true, true, 0, {"B1", "C5"}},
        {"end only, exclusive", {}, {"B", 1}, false, true, true, false, 0, {"A1", "A2"}},
        {"first key field only", {"A", 0}, {"A", 0}, true, true, true, true, 1, {"A1", "A2"}},
        {"empty range", {"B", 2}, {"B", 3}, true, true, true, true, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Pages p;
        auto k1 = p.Key(c.start.first, c.start.second), k2 = p.Key(c.end.first, c.end.second);
        ASSERT_EQ(p.t.SetRange(true, c.fields, 0, c.hasStart ? k1.data() : nullptr, c.startIncl, c.fields, 0,
                               c.hasEnd ? k2.data() : nullptr, c.endIncl),
                  0);
        EXPECT_EQ(p.WalkForward(), c.forward);
        std::vector<std::string> backward(c.forward.rbegin(), c.forward.rend());
        EXPECT_EQ(p.WalkBackward(), backward);
    }
    Pages p;
    auto k = p.Key("B", 1);
    p.t.SetRange(true, 0, 0, k.data(), true, 0, 0, nullptr, true);
    p.t.ResetRange();
    EXPECT_EQ(p.WalkForward().size(), 4u);
}

TEST(CursorBase, RangeGivenAsARecordBecomesAKey) {
    Pages p;
    auto r = p.t.NewRecord();
    p.t.SetText(r, 1, "A");
    p.t.SetInt32(r, 2, 2);
    ASSERT_EQ(p.t.SetRange(false, 0, 0, r.data(), true, 0, 0, nullptr, true), 0);
    // The caller's buffer may change afterwards; the bound keeps its key.
    p.t.SetText(r, 1, "Z");
    EXPECT_EQ(p.WalkForward(), (std::vector<std::string>{"A2", "B1", "C5"}));
}

// A key longer than 256 bytes: rows that agree in their first 300
// characters are told apart only by the rest of the key.
TEST(CursorBase, LongRangeKeysAreKeptWhole) {
    TqvDataDictionary d;
    d.AddField("Text", "", qvftNullString, 700, 0, false);
    const std::uint32_t f[1] = {0};
    d.AddIndex("ByText", "", 0, 1, f, false, true, false);
    RowTable t(d, 1);
    std::string common(300, 'a');
    for (char c : {'b', 'c', 'd', 'e'}) {
        auto r = t.NewRecord();
        t.SetText(r, 1, common + c);
        t.rows.push_back(r);
    }
    t.Open();
    auto key = [&](char c) {
        auto r = t.NewRecord();
        t.SetText(r, 1, common + c);
        std::vector<std::uint8_t> k(kMaxKeyLength, 0);
        t.ExtractKeyPrecise(r.data(), k.data());
        return k;
    };
    auto from = key('c'), to = key('d');
    ASSERT_EQ(t.SetRange(true, 0, 0, from.data(), true, 0, 0, to.data(), true), 0);
    std::vector<char> seen;
    auto rec = t.NewRecord();
    t.SetToBegin();
    while (t.GetNextRecord(0, rec.data(), nullptr) == 0) seen.push_back(t.Text(rec, 1)[300]);
    EXPECT_EQ(seen, (std::vector<char>{'c', 'd'}));
    EXPECT_EQ(std::memcmp(t.RangeStart().data.data(), from.data(), 701), 0);
}

TEST(CursorBase, SetToKey) {
    Pages p;
    auto k = p.Key("B", 0);
    // Positioned before "B1": the next move reads it... the position is on it.
    EXPECT_EQ(p.t.SetToKey(kKeySearchGtEq, true, 1, 0, k.data()), 0);
    EXPECT_EQ(p.t.GetRecord(0, p.rec.data(), nullptr), 0);
    EXPECT_EQ(p.Current(), "B1");
    auto z = p.Key("Z", 0);
    EXPECT_EQ(p.t.SetToKey(kKeySearchGt, true, 1, 0, z.data()), kDbiErrEof);
    EXPECT_EQ(p.t.State(), kCursorAtEnd);
    EXPECT_EQ(p.t.SetToKey(kKeySearchEq, true, 1, 0, z.data()), kDbiErrEof);
}

// ---- fields -----------------------------------------------------------------------------

TEST(CursorBase, FieldAccessEdges) {
    Pages p;
    std::uint8_t buf[64] = {};
    bool blank = false;
    EXPECT_EQ(p.t.GetField(0, p.rec.data(), buf, &blank), kDbiErrOutOfRange);
    EXPECT_TRUE(blank);
    EXPECT_EQ(p.t.GetField(3, p.rec.data(), buf, &blank), kDbiErrOutOfRange);
    EXPECT_EQ(p.t.GetField(1, nullptr, buf, &blank), kDbiErrInvalidParam);
    EXPECT_EQ(p.t.PutField(0, p.rec.data(), buf), kDbiErrOutOfRange);
    EXPECT_EQ(p.t.PutField(1, nullptr, buf), kDbiErrInvalidParam);

    auto r = p.t.NewRecord();
    EXPECT_EQ(p.t.GetField(2, r.data(), buf, &blank), 0);
    EXPECT_TRUE(blank);
    std::int32_t v = -42;
    EXPECT_EQ(p.t.PutField(2, r.data(), &v), 0);
    EXPECT_EQ(p.t.GetField(2, r.data(), nullptr, &blank), 0);
    EXPECT_FALSE(blank);
    EXPECT_EQ(p.t.Int32(r, 2), -42);

    std::vector<std::uint8_t> descs(2 * FLDDesc::kSize);
    EXPECT_EQ(p.t.GetFieldDescs(descs.data()), 0);
    EXPECT_EQ(FLDDesc::Read(descs.data() + FLDDesc::kSize).name, "HelpId");
    FLDDesc found;
    EXPECT_EQ(p.t.FindFieldDesc(22, 4, found), 0);
    EXPECT_EQ(found.name, "HelpId");
    EXPECT_EQ(p.t.DropCacheItem(9), kDbiErrInvalidParam);
}

TEST(CursorBase, CompareValuesByType) {
    TBaseTable t(nullptr, nullptr, 0, 0, "T");
    auto bytes = [](auto v) {
        std::vector<std::uint8_t> b(16, 0);
        std::memcpy(b.data(), &v, sizeof v);
        return b;
    };
    auto text = [](const char* s) {
        std::vector<std::uint8_t> b(16, 0);
        std::memcpy(b.data(), s, std::strlen(s));
        return b;
    };
    std::uint8_t ext1[16] = {}, ext2[16] = {};
    QvLongDoubleToExtended(1.5L, ext1);
    QvLongDoubleToExtended(-2.0L, ext2);
    struct Case {
        const char* name;
        std::uint16_t type;
        std::vector<std::uint8_t> a, b;
        bool ci;
        std::uint32_t len;
        int expected;
    };
    const Case cases[] = {
        {"text", 1, text("abc"), text("abd"), false, 8, -1},
        {"text case-sensitive", 1, text("abc"), text("ABC"), false, 8, 1},
        {"text case-insensitive", 1, text("abc"), text("ABC"), true, 8, 0},
        {"text partial", 1, text("abcX"), text("abcY"), false, 3, 0},
        {"text stops at NUL", 1, text("ab\0x"), text("ab\0y"), false, 8, 0},
        {"date", 2, bytes(std::int32_t{-5}), bytes(std::int32_t{3}), false, 4, -1},
        {"logical false before true", 4, bytes(std::uint16_t{0}), bytes(std::uint16_t{7}), false, 2, -1},
        {"logical true equals true", 4, bytes(std::uint16_t{1}), bytes(std::uint16_t{7}), false, 2, 0},
        {"int16 signed", 5, bytes(std::int16_t{-1}), bytes(std::int16_t{1}), false, 2, -1},
        {"int16 one byte signed", 5, bytes(std::uint16_t{0x01FF}), bytes(std::uint16_t{0x0001}), false, 1, -1},
        {"int32", 6, bytes(std::int32_t{100000}), bytes(std::int32_t{-100000}), false, 4, 1},
        {"float", 7, bytes(2.5), bytes(2.25), false, 8, 1},
        {"time", 10, bytes(std::int32_t{1000}), bytes(std::int32_t{1000}), false, 4, 0},
        {"uint16 unsigned", 12, bytes(std::uint16_t{0xFFFF}), bytes(std::uint16_t{1}), false, 2, 1},
        {"uint16 one byte", 12, bytes(std::uint16_t{0x0102}), bytes(std::uint16_t{0x0201}), false, 1, 1},
        {"uint32 unsigned", 13, bytes(std::uint32_t{0x80000000u}), bytes(std::uint32_t{1}), false, 4, 1},
        {"extended", 14, std::vector<std::uint8_t>(ext1, ext1 + 16), std::vector<std::uint8_t>(ext2, ext2 + 16), false, 10, 1},
        {"bytes", 9, text("\x01\x02"), text("\x01\x03"), false, 2, -1},
        {"type 0 always equal", 0, text("a"), text("b"), false, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(t.CompareValues(c.type, c.a.data(), c.b.data(), c.ci, c.len), c.expected);
    }
}

// ---- index resolution -------------------------------------------------------------------

TEST(CursorBase, ResolveIndex) {
    struct Case {
        const char* given;
        DBIResult rc;
        std::uint16_t number;
        const char* name;
    };
    const Case cases[] = {
        {"@Application@HelpId", 0, 1, "QV$PRIMARY"},
        {"@helpid", 0, 2, "ByHelpId"},
        {"Application;HelpId", 0, 1, "QV$PRIMARY"},
        {"2", 0, 2, "ByHelpId"},
        {"1", 0, 1, "QV$PRIMARY"},
        {"qv$primary", 0, 1, "QV$PRIMARY"},
        {"BYHELPID", 0, 2, "ByHelpId"},
        {"7", 0, 7, ""},  // a number the cursor cannot describe goes on as a number
        {"Unknown", 0, 0, "Unknown"},
        {"@HelpId@Application", kDbiErrInvalidHandle, 0, ""},  // no such index: the read past the last fails
        {"@Nope", kDbiErrInvalidIndexName, 0, ""},
        {"@", kDbiErrInvalidIndexName, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.given);
        Pages p;
        std::uint16_t number = 99;
        std::string name = "unset";
        EXPECT_EQ(p.t.ResolveIndex(c.given, number, name), c.rc);
        if (c.rc == 0) {
            EXPECT_EQ(number, c.number);
            EXPECT_EQ(name, c.name);
        }
    }
}

// ---- calls the base answers itself ------------------------------------------------------

TEST(CursorBase, NotSupportedCallsShowTheirNameEachTime) {
    RecordingMessageBoxService boxes;
    ScopedEngineMessageBoxService scope(boxes);
    TBaseTable t(nullptr, nullptr, 0, 0, "T");
    std::vector<std::uint8_t> buf(1300, 0);
    hDBICur cur = 0;
    struct Case {
        const char* call;
        std::function<DBIResult()> run;
    };
    const Case cases[] = {
        {"GETBOOKMARK", [&] { return t.GetBookMark(buf.data()); }},
        {"SETBOOKMARK", [&] { return t.SetToBookMark(buf.data()); }},
        {"REINDEXTABLE", [&] { return t.ReindexTable(); }},
        {"INSERTRECORD", [&] { return t.AppendRecord(buf.data()); }},
        {"DELETERECORD", [&] { return t.DeleteRecord(nullptr); }},
        {"GETVCHKDESC", [&] { return t.GetVchkDesc(1, buf.data()); }},
        {"SWITCHTOINDEX", [&] { return t.SwitchToIndex("X", nullptr, 0, false); }},
        {"OPENBLOB", [&] { return t.OpenBlob(buf.data(), 1, 0); }},
        {"BEGINLINKMODE", [&] { return t.BeginLinkMode(cur); }},
        {"ADDINDEX", [&] { return t.AddIndex(buf.data(), nullptr); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        for (int i = 0; i < 2; ++i) {
            std::size_t before = boxes.shown.size();
            EXPECT_EQ(c.run(), kDbiErrNotSupported);
            ASSERT_EQ(boxes.shown.size(), before + 1);
            EXPECT_EQ(boxes.shown.back().text, std::string("BDE Call DBI") + c.call + " not supported.");
        }
    }
    std::uint32_t n = 0;
    std::size_t before = boxes.shown.size();
    EXPECT_EQ(t.GetRecordNo(n), kDbiErrNotSupported);
    EXPECT_EQ(t.SetToRecordNo(1), kDbiErrNotSupported);
    EXPECT_EQ(boxes.shown.size(), before);
}

TEST(CursorBase, FixedAnswers) {
    RecordingMessageBoxService boxes;
    ScopedEngineMessageBoxService scope(boxes);
    TBaseTable t(nullptr, nullptr, 1, 1, "T");
    std::uint8_t buf[16] = {};
    std::uint16_t len = 0;
    EXPECT_EQ(t.GetProp(0x00050000, buf, sizeof buf, len), 0);
    EXPECT_EQ(len, 2);
    EXPECT_EQ(buf[0], 11);
    EXPECT_EQ(t.GetProp(1, buf, sizeof buf, len), 0);
    EXPECT_EQ(len, 0);
    EXPECT_EQ(t.GetProp(5, buf, sizeof buf, len), 0);
    EXPECT_EQ(len, 4);
    EXPECT_EQ(t.CheckProp(0, 1), kDbiErrNotSupported);
    EXPECT_EQ(t.CheckProp(0x10001, 0), 0);
    EXPECT_EQ(t.CheckProp(7, 1), 0);
    EXPECT_EQ(t.Open(), kDbiErrInvalidHandle);
    EXPECT_EQ(t.OpenIndex("X", 0), kDbiErrNotApplicable);
    EXPECT_EQ(t.InitRecord(nullptr), kDbiErrInvalidParam);
    std::int16_t r = 0;
    EXPECT_EQ(t.CompareKeys(nullptr, buf, r, 0, 0), kDbiErrInvalidHandle);
    EXPECT_EQ(t.FreeBlob(buf, 1), 0);
    std::uint16_t locks = 9;
    EXPECT_EQ(t.IsTableLocked(0, locks), 0);
    EXPECT_EQ(locks, 0);
    EXPECT_EQ(t.ForceReread(), 0);
    EXPECT_TRUE(t.RereadPending());
    t.SetNameAsOpened("   C:\\DATA\\T.QVD  ");
    EXPECT_STREQ(t.NameAsOpened(), "C:\\DATA\\T.QVD");
    EXPECT_EQ(TBaseTable::SearchCondition(true, true), kKeySearchGtEq);
    EXPECT_EQ(TBaseTable::SearchCondition(false, true), kKeySearchGt);
    EXPECT_EQ(TBaseTable::SearchCondition(false, false), kKeySearchLt);
    EXPECT_EQ(TBaseTable::SearchCondition(true, false), kKeySearchLtEq);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST(CursorBase, CursorProps) {
    Pages p;
    std::vector<std::uint8_t> raw(CURProps::kSize, 0xCC);
    ASSERT_EQ(p.t.GetCursorProps(raw.data()), 0);
    CURProps c = CURProps::Read(raw.data());
    EXPECT_EQ(c.fields, 2);
    EXPECT_EQ(c.recordSize, 25);  // 21 + 4 bytes of data; the null bits follow
    EXPECT_EQ(c.keySize, 25);
    EXPECT_EQ(c.bookmarkSize, 256);
    EXPECT_EQ(c.seqNums, -1);
    EXPECT_EQ(c.rights, 255);
    EXPECT_EQ(raw[426], 0);  // zero-filled to the end
}

// ---- the plain cursor of the database base ---------------------------------------------

TEST(CursorBase, EmptyListOpensThroughTheDatabase) {
    InstallListCursorFactories();
    testing::FakeSession* session = nullptr;
    TBapiCollection sessions;
    session = new testing::FakeSession(nullptr, &sessions, "S", nullptr);
    auto* db = new testing::FakeDatabase(session, nullptr, 0, 0, nullptr, 0, nullptr, nullptr);
    hDBICur cur = kNilHandle;
    EXPECT_EQ(db->OpenEmptyList(cur), 0);
    auto* list = HandleAs<TBaseTable>(cur);
    ASSERT_NE(list, nullptr);
    std::uint8_t rec[8];
    EXPECT_EQ(list->GetNextRecord(0, rec, nullptr), kDbiErrEof);
    EXPECT_EQ(list->GetPriorRecord(0, rec, nullptr), kDbiErrBof);
    delete session;
    EXPECT_EQ(FindHandle(cur), nullptr);
}

}  // namespace
}  // namespace qv
