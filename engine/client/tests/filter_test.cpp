#include "engine/client/filter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "engine/client/cursor_base.h"
#include "engine/client/day_numbers.h"
#include "engine/client/tests/filter_tree.h"
#include "engine/client/tests/row_table.h"

namespace qv {
namespace {

using namespace qv::testing;

TqvDataDictionary ItemDict() {
    TqvDataDictionary d;
    d.AddField("Name", "", qvftNullString, 20, 0, false);  // 1: text
    d.AddField("Count", "", qvftInt32, 10, 0, false);      // 2: 32-bit
    d.AddField("Small", "", qvftInt16, 5, 0, false);       // 3: 16-bit
    d.AddField("Flag", "", qvftBoolean, 1, 0, false);      // 4: logical
    d.AddField("Price", "", qvftDouble, 8, 0, false);      // 5: float
    d.AddField("UCount", "", qvftWord16, 5, 0, false);     // 6: 16-bit unsigned
    d.AddField("Day", "", qvftDate, 8, 0, false);          // 7: date
    return d;
}

std::int32_t ApiDate(int y, int m, int d) {
    std::int32_t v = 0;
    DateEncode(m, d, y, v);
    return v;
}

ExprNode DateConst(int y, int m, int d) {
    std::int32_t v = ApiDate(y, m, d);
    return Const(2, std::string(reinterpret_cast<const char*>(&v), 4));
}

// Four rows: two full ones, one with only a name, one with no name.
struct Items {
    RowTable t{ItemDict()};
    std::vector<std::uint8_t> rec = t.NewRecord();

    Items() {
        auto add = [&](const char* name, std::int32_t count, std::int16_t small, bool flag, double price,
                       std::uint16_t ucount, std::int32_t day, bool full) {
            auto r = t.NewRecord();
            if (name != nullptr) t.SetText(r, 1, name);
            if (full) {
                t.SetInt32(r, 2, count);
                t.SetField(r, 3, &small, 2);
                std::uint16_t f = flag ? 1 : 0;
                t.SetField(r, 4, &f, 2);
                t.SetField(r, 5, &price, 8);
                t.SetField(r, 6, &ucount, 2);
                t.SetInt32(r, 7, day);
            }
            t.rows.push_back(r);
        };
        add("Apple", 10, -1, true, 2.5, 7, ApiDate(1999, 12, 31), true);
        add("apricot", -1, 2, false, 10.0, 300, ApiDate(2001, 1, 1), true);
        add("Banana", 0, 0, false, 0, 0, 0, false);
        add(nullptr, 0, 0, false, 0.0, 0, ApiDate(2001, 1, 1), true);
        t.Open();
    }

    // Which rows a filter with `tree` lets through, walking forwards.
    std::vector<bool> Passing(const std::vector<std::uint8_t>& tree) {
        TFilterListItem* f = nullptr;
        EXPECT_EQ(t.AddFilter(0, 0, false, tree.data(), nullptr, f), 0);
        EXPECT_EQ(t.ActivateFilter(f), 0);
        std::vector<bool> pass(t.rows.size(), false);
        for (std::size_t i = 0; i < t.rows.size(); ++i) pass[i] = f->Accepts(t.rows[i].data());
        t.DropFilter(f);
        return pass;
    }
};

using P = std::vector<bool>;
constexpr bool T = true, F = false;

TEST(Filter, ExpressionTable) {
    struct Case {
        const char* name;
        ExprNode tree;
        P expected;
    };
    const Case cases[] = {
        {"int32 equal", Compare(kOpEq, Field("Count"), Int32(10)), {T, F, F, F}},
        {"int32 greater (binary node)", Binary(kOpGt, Field("Count"), Int32(0)), {T, F, F, F}},
        {"int32 greater or equal", Compare(kOpGe, Field("Count"), Int32(0)), {T, F, F, T}},
        {"int32 less or equal", Compare(kOpLe, Field("Count"), Int32(0)), {F, T, F, T}},
        {"null never equals", Compare(kOpEq, Field("Count"), Int32(0)), {F, F, F, T}},
        {"null is not equal", Compare(kOpNe, Field("Count"), Int32(10)), {F, T, T, T}},
        {"null does not order", Compare(kOpLt, Field("Count"), Int32(2)), {F, T, F, T}},
        {"is blank", Unary(kOpIsBlank, Field("Count")), {F, F, T, F}},
        {"not blank", Unary(kOpNotBlank, Field("Name")), {T, T, T, F}},
        {"text case-sensitive", Compare(kOpEq, Field("Name"), Text("apple")), {F, F, F, F}},
        {"text case-insensitive", Compare(kOpEq, Field("Name"), Text("apple"), true), {T, F, F, F}},
        {"text partial 3", Compare(kOpEq, Field("name"), Text("apr"), false, 3), {F, T, F, F}},
        {"text partial 2 ignoring case", Compare(kOpEq, Field("NAME"), Text("AP"), true, 2), {T, T, F, F}},
        {"text order", Compare(kOpGt, Field("Name"), Text("B")), {F, T, T, F}},
        {"int32 against int16 numerically", Compare(kOpLt, Field("Count"), Int16(2)), {F, T, F, T}},
        {"int32 equal to int16 -1", Compare(kOpEq, Field("Count"), Int16(-1)), {F, T, F, F}},
        {"uint16 against int32", Compare(kOpEq, Field("UCount"), Int32(300)), {F, T, F, F}},
        {"logical", Compare(kOpEq, Field("Flag"), Logical(true)), {T, F, F, F}},
        {"float", Compare(kOpGe, Field("Price"), Float(10.0)), {F, T, F, F}},
        {"float against text", Compare(kOpEq, Field("Price"), Text("2.500000")), {T, F, F, F}},
        {"int16 against text", Compare(kOpEq, Field("Small"), Text("00002")), {F, T, F, F}},
        {"date", Compare(kOpGt, Field("Day"), DateConst(2000, 1, 1)), {F, T, F, T}},
        {"field to field", Compare(kOpGt, Field("Count"), Field("Small")), {T, F, F, F}},
        {"field to field, both null", Compare(kOpEq, Field("Count"), Field("Price")), {F, F, T, F}},
        {"unknown field is its text", Compare(kOpEq, Field("Name"), Field("\"Apple\"")), {T, F, F, F}},
        {"and", Binary(kOpAnd, Compare(kOpGt, Field("Count"), Int32(0)), Compare(kOpLt, Field("Small"), Int32(0))),
         {T, F, F, F}},
        {"or", Binary(kOpOr, Compare(kOpGt, Field("Count"), Int32(0)), Compare(kOpEq, Field("Name"), Text("Banana"))),
         {T, F, T, F}},
        {"not", Unary(kOpNot, Compare(kOpEq, Field("Count"), Int32(10))), {F, T, T, T}},
        {"not of a value is false", Unary(kOpNot, Field("Count")), {F, F, F, F}},
        {"continue 1", Continue(1), {T, T, T, T}},
        {"continue 0", Continue(0), {F, F, F, F}},
        {"unknown class", Raw(6, 0), {F, F, F, F}},
        {"unknown operator", Compare(12, Field("Count"), Int32(10)), {F, F, F, F}},
        {"empty field name", Compare(kOpEq, Field(""), Field("")), {F, F, F, F}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Items items;
        EXPECT_EQ(items.Passing(BuildTree(c.tree)), c.expected);
    }
}

std::int16_t RejectAll(std::uint32_t, void*, std::uint32_t) { return 0; }
std::int16_t OnlyClientDataRows(std::uint32_t clientData, void* record, std::uint32_t) {
    // Accepts the rows whose name (at byte 0) begins with the client data.
    return static_cast<std::uint8_t*>(record)[0] == clientData ? 1 : 0;
}

std::vector<std::string> Walk(Items& items) {
    std::vector<std::string> seen;
    items.t.SetToBegin();
    DBIResult rc;
    while ((rc = items.t.GetNextRecord(0, items.rec.data(), nullptr)) == 0) seen.push_back(items.t.Text(items.rec, 1));
    EXPECT_EQ(rc, kDbiErrEof);
    EXPECT_EQ(items.t.State(), kCursorAtEnd);
    return seen;
}

// Trees that do not hold together are refused when they are added: the add
// fails, no filter joins the cursor and every row stays in view. None reads
// outside the tree's copy.
void ExpectRefused(const std::vector<std::uint8_t>& tree) {
    Items items;
    TFilterListItem* f = nullptr;
    EXPECT_EQ(items.t.AddFilter(0, 0, false, tree.data(), nullptr, f), kDbiErrInvalidParam);
    EXPECT_EQ(f, nullptr);
    EXPECT_EQ(items.t.FilterCount(), 0);
    EXPECT_EQ(items.t.ActivateFilter(nullptr), 0);
    EXPECT_FALSE(items.t.FiltersActive());
    EXPECT_EQ(Walk(items).size(), 4u);
}

void Put16(std::vector<std::uint8_t>& t, std::size_t at, std::uint16_t v) {
    t[at] = static_cast<std::uint8_t>(v);
    t[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

// A tree of `count` binary AND nodes (12 bytes each) whose two operands are
// both the next node, ending in a continue node: every node is reached
// through two parents, so walking it as a tree takes 2^count steps.
std::vector<std::uint8_t> SharedChain(int count) {
    const std::size_t nodes = 12u * static_cast<std::size_t>(count) + 10;
    std::vector<std::uint8_t> t(10 + nodes, 0);
    Put16(t, 0, 1);
    Put16(t, 2, static_cast<std::uint16_t>(t.size()));
    Put16(t, 4, static_cast<std::uint16_t>(count + 1));
    Put16(t, 6, 10);
    Put16(t, 8, static_cast<std::uint16_t>(t.size()));
    for (int i = 0; i < count; ++i) {
        const std::size_t at = 10 + 12u * static_cast<std::size_t>(i);
        t[at] = kNodeBinary;
        t[at + 4] = kOpAnd;
        Put16(t, at + 8, static_cast<std::uint16_t>(12 * (i + 1)));
        Put16(t, at + 10, static_cast<std::uint16_t>(12 * (i + 1)));
    }
    const std::size_t last = 10 + 12u * static_cast<std::size_t>(count);
    t[last] = kNodeContinue;
    Put16(t, last + 8, 1);
    return t;
}

TEST(Filter, MalformedTreesAreRefused) {
    // The good tree: compare at 0 (16 bytes), field at 16 (12), constant at 28 (14).
    auto good = BuildTree(Compare(kOpEq, Field("Count"), Int32(10)));
    {
        Items items;
        EXPECT_EQ(items.Passing(good), (P{T, F, F, F}));
    }
    struct Case {
        const char* name;
        std::function<void(std::vector<std::uint8_t>&)> spoil;
    };
    const Case cases[] = {
        {"operand beyond the tree", [&](auto& t) { Put16(t, 10 + 12, 4000); }},
        {"node area beyond the tree", [&](auto& t) { Put16(t, 6, 60000); }},
        {"literal area beyond the tree", [&](auto& t) { Put16(t, 8, 60000); }},
        {"operand is the root itself", [&](auto& t) { Put16(t, 10 + 12, 0); }},
        {"second operand is the first", [&](auto& t) { Put16(t, 10 + 14, 16); }},
        {"constant longer than the tree", [&](auto& t) { Put16(t, 10 + 16 + 12 + 10, 5000); }},
        {"field name beyond the tree", [&](auto& t) { Put16(t, 10 + 16 + 10, 3000); }},
        {"size shorter than a header", [&](auto& t) { Put16(t, 2, 6); }},
        {"size cuts the last node", [&](auto& t) { Put16(t, 2, 10 + 16 + 12 + 6); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto tree = good;
        c.spoil(tree);
        ExpectRefused(tree);
    }
    // A name that runs to the end of the tree without a terminator.
    auto noNul = BuildTree(Unary(kOpNotBlank, Field("Name")));
    noNul.back() = 'X';
    ExpectRefused(noNul);
    // A not whose operand is itself.
    auto selfLoop = BuildTree(Unary(kOpNot, Continue(0)));
    Put16(selfLoop, 10 + 8, 0);
    ExpectRefused(selfLoop);
}

TEST(Filter, SharedNodesAreRefusedAtOnce) {
    // Shallow enough for the depth limit, but a walk would never end.
    ExpectRefused(SharedChain(50));
}

// The longest path from the root, counted in nodes, may hold 64 of them.
TEST(Filter, DeepTreesAreRefused) {
    auto chain = [](int levels) {
        ExprNode deep = Continue(1);
        for (int i = 1; i < levels; ++i) deep = Binary(kOpAnd, Continue(1), deep);
        return BuildTree(deep);
    };
    {
        Items items;
        EXPECT_EQ(items.Passing(chain(kMaxFilterDepth)), (P{T, T, T, T}));
        EXPECT_EQ(items.Passing(chain(20)), (P{T, T, T, T}));
    }
    for (int levels : {kMaxFilterDepth + 1, 200, 2700}) {
        SCOPED_TRACE(levels);
        ExpectRefused(chain(levels));
    }
    // Far deeper than any stack would take: a chain of 6000 nots.
    ExprNode nots = Continue(1);
    for (int i = 0; i < 6000; ++i) nots = Unary(kOpNot, nots);
    ExpectRefused(BuildTree(nots));
}

// ---- the cursor's filter calls ----------------------------------------------------------

TEST(Filter, CursorFilterCalls) {
    Items items;
    auto tree = BuildTree(Compare(kOpGe, Field("Count"), Int32(0)));
    TFilterListItem* f1 = nullptr;
    TFilterListItem* f2 = nullptr;
    ASSERT_EQ(items.t.AddFilter(7, 3, true, tree.data(), nullptr, f1), 0);
    ASSERT_NE(f1, nullptr);
    // Added but not active: nothing is hidden.
    EXPECT_FALSE(items.t.FiltersActive());
    EXPECT_EQ(Walk(items).size(), 4u);

    EXPECT_EQ(items.t.ActivateFilter(f1), 0);
    EXPECT_EQ(Walk(items), (std::vector<std::string>{"Apple", "<null>"}));

    // A second filter: a record passes only when both accept.
    ASSERT_EQ(items.t.AddFilter('A', 1, false, nullptr, reinterpret_cast<void*>(&OnlyClientDataRows), f2), 0);
    EXPECT_EQ(items.t.ActivateFilter(f2), 0);
    EXPECT_EQ(Walk(items), (std::vector<std::string>{"Apple"}));

    std::uint8_t info[kFilterInfoSize];
    EXPECT_EQ(items.t.GetFilterInfo(f2, info), 0);
    EXPECT_EQ(info[0], 1);                               // sequence
    EXPECT_EQ(info[6], 'A');                             // client data
    EXPECT_EQ(info[10], 1);                              // priority
    EXPECT_EQ(info[12], 0);                              // can-abort
    EXPECT_EQ(info[22], 1);                              // active
    EXPECT_EQ(items.t.GetFilterInfo(nullptr, info), 0);  // the first filter
    EXPECT_EQ(info[0], 0);
    EXPECT_EQ(info[6], 7);
    EXPECT_EQ(info[12], 1);

    EXPECT_EQ(items.t.DeactivateFilter(f1), 0);
    EXPECT_EQ(items.t.DeactivateFilter(f1), kDbiErrNotApplicable);
    EXPECT_TRUE(items.t.FiltersActive());
    EXPECT_EQ(items.t.DeactivateFilter(nullptr), 0);
    EXPECT_FALSE(items.t.FiltersActive());
    EXPECT_EQ(items.t.ActivateFilter(nullptr), 0);
    EXPECT_TRUE(items.t.FiltersActive());

    EXPECT_EQ(items.t.DropFilter(f2), 0);
    EXPECT_EQ(items.t.FilterCount(), 1);
    // A dropped filter's handle is no longer known.
    EXPECT_EQ(items.t.DropFilter(f2), kDbiErrNoSuchFilter);
    EXPECT_EQ(items.t.ActivateFilter(f2), kDbiErrNoSuchFilter);
    EXPECT_EQ(items.t.DeactivateFilter(f2), kDbiErrNoSuchFilter);
    EXPECT_EQ(items.t.GetFilterInfo(f2, info), kDbiErrNoSuchFilter);
    EXPECT_EQ(items.t.DropFilter(nullptr), 0);
    EXPECT_EQ(items.t.FilterCount(), 0);
    EXPECT_FALSE(items.t.FiltersActive());
    EXPECT_EQ(items.t.GetFilterInfo(nullptr, info), 0);
    EXPECT_EQ(info[6], 0);
    EXPECT_EQ(Walk(items).size(), 4u);
}

TEST(Filter, MovesWithoutABufferStillFilter) {
    Items items;
    auto tree = BuildTree(Compare(kOpEq, Field("Name"), Text("Banana")));
    TFilterListItem* f = nullptr;
    items.t.AddFilter(0, 0, false, tree.data(), nullptr, f);
    items.t.ActivateFilter(f);
    items.t.SetToBegin();
    EXPECT_EQ(items.t.GetNextRecord(0, nullptr, nullptr), 0);
    EXPECT_EQ(items.t.pos, 2);
    EXPECT_EQ(items.t.GetNextRecord(0, nullptr, nullptr), kDbiErrEof);
    // A filter asked about no record at all rejects it.
    EXPECT_FALSE(f->Accepts(nullptr));
}

TEST(Filter, CallbackRejectionWinsAndRejectingAllRunsToTheEnd) {
    Items items;
    auto accept = BuildTree(Continue(1));
    TFilterListItem* f = nullptr;
    items.t.AddFilter(0, 0, false, accept.data(), reinterpret_cast<void*>(&RejectAll), f);
    items.t.ActivateFilter(f);
    EXPECT_TRUE(Walk(items).empty());
    items.t.SetToEnd();
    EXPECT_EQ(items.t.GetPriorRecord(0, items.rec.data(), nullptr), kDbiErrBof);
    EXPECT_EQ(items.t.State(), kCursorAtBegin);
    std::uint32_t count = 9;
    EXPECT_EQ(items.t.GetRecordCount(count), 0);
    EXPECT_EQ(count, 0u);
}

}  // namespace
}  // namespace qv
