// The filter compiler's buffers, byte by byte. Layout: a 10-byte header of
// five 16-bit words (version, total size, node count, node-area start,
// literal-pool start), 14-byte node slots with the root at node offset 0,
// then the literal pool. All values little-endian.
#include "data/filter_compiler.h"
#include "engine/api/dbi_api.h"
#include "engine/api/dbi_filter.h"
#include "platform/core/clock.h"
#include "platform/core/exceptions.h"
#include "platform/core/dialog_service.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using namespace vl;
using Bytes = std::vector<std::uint8_t>;

namespace {

const std::vector<TFilterField> kFields = {
    {"Title", db::ftString, 60},   {"HelpId", db::ftInteger, 0}, {"Price", db::ftFloat, 0},
    {"Stamp", db::ftDateTime, 0},  {"Made", db::ftDate, 0},      {"At", db::ftTime, 0},
    {"Active", db::ftBoolean, 0},  {"Amount", db::ftBCD, 2},     {"Small", db::ftSmallint, 0},
    {"Body", db::ftMemo, 0},       {"a", db::ftInteger, 0},      {"b", db::ftInteger, 0},
    {"c", db::ftInteger, 0},       {"DER", db::ftInteger, 0},
};

std::uint16_t U16(const Bytes& b, std::size_t at) { return static_cast<std::uint16_t>(b.at(at) | (b.at(at + 1) << 8)); }
std::uint32_t U32(const Bytes& b, std::size_t at) { return U16(b, at) | (static_cast<std::uint32_t>(U16(b, at + 2)) << 16); }
// A node by its offset in the node area.
std::size_t Node(const Bytes& b, std::uint32_t offset) { return U16(b, 6) + offset; }

void AppendLE(Bytes& b, std::uint64_t v, int n) {
    for (int i = 0; i < n; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

class FilterCompiler : public ::testing::Test {
protected:
    void SetUp() override { gui::SetDialogService(&dialogs); }
    void TearDown() override { gui::SetDialogService(nullptr); }
    Bytes Compile(const std::string& text) {
        auto out = FilterTextToExpr(text, kFields, &fault);
        EXPECT_TRUE(out.has_value()) << text;
        return out ? *out : Bytes{};
    }
    gui::ScriptedDialogService dialogs;
    TFilterFault fault = TFilterFault::None;
};

TEST_F(FilterCompiler, TitleEqualsIntroGivesSixtyFourBytes) {
    // Three nodes, emitted field, constant, operator into slots 2, 1, 0:
    //   header  01 00 | 40 00 (64) | 03 00 | 0a 00 | 34 00 (10 + 3 * 14 = 52)
    //   slot 0  binary: class 2, op 3 (=), left 28, right 14
    //   slot 1  constant: class 5, op 14, type 1 (string), size 6, value at 6
    //   slot 2  field: class 4, op 13, field-node count 1, name at 0
    //   pool    "Title\0" "Intro\0" (12 bytes): 10 + 42 + 12 = 64
    Bytes want;
    for (std::uint16_t w : {1, 64, 3, 10, 52}) AppendLE(want, w, 2);
    AppendLE(want, 2, 4); AppendLE(want, 3, 4); AppendLE(want, 28, 2); AppendLE(want, 14, 2); AppendLE(want, 0, 2);
    AppendLE(want, 5, 4); AppendLE(want, 14, 4); AppendLE(want, 1, 2); AppendLE(want, 6, 2); AppendLE(want, 6, 2);
    AppendLE(want, 4, 4); AppendLE(want, 13, 4); AppendLE(want, 1, 2); AppendLE(want, 0, 2); AppendLE(want, 0, 2);
    for (const char* s : {"Title", "Intro"}) want.insert(want.end(), s, s + std::strlen(s) + 1);
    EXPECT_EQ(Compile("Title = \"Intro\""), want);
    EXPECT_EQ(fault, TFilterFault::None);
    EXPECT_TRUE(dialogs.Requests().empty());
}

TEST_F(FilterCompiler, EachFieldTypeWritesItsConstant) {
    // The clock stands in 2026, so "96" is 1996.
    plat::FakeClock clock(1000, 46188.5);
    plat::ScopedClock scope(clock);
    auto i32 = [](std::int32_t v) { Bytes b; AppendLE(b, static_cast<std::uint32_t>(v), 4); return b; };
    auto i16 = [](std::uint16_t v) { Bytes b; AppendLE(b, v, 2); return b; };
    auto dbl = [](double v) { Bytes b(8); std::memcpy(b.data(), &v, 8); return b; };
    auto str = [](const char* s) { return Bytes(s, s + std::strlen(s) + 1); };
    struct Case {
        const char* text;
        std::uint16_t type;
        Bytes value;
    };
    const Case cases[] = {
        {"Title = Intro Page ", 1, str("Intro Page")},         // unquoted: trailing blanks go
        {"Price = 2.5", 7, dbl(2.5)},
        // 12/31/1996 is day 729024 from 1 Jan 0001 (day 1); 10:30 is 37 800 000 ms:
        // 729024 * 86 400 000 + 37 800 000 = 62 987 711 400 000.
        {"Stamp = \"12/31/96 10:30\"", 11, dbl(62987711400000.0)},
        {"Stamp = \"12/31/96\"", 11, dbl(729024.0 * 86400000.0)},
        {"Made = \"12/31/1996\"", 2, i32(729024)},
        {"At = \"10:30:15\"", 10, i32((10 * 3600 + 30 * 60 + 15) * 1000)},
        {"Active = \"True\"", 4, i16(1)},
        {"Active = \"no\"", 4, i16(0)},
        {"HelpId = 123", 6, i32(123)},
        {"HelpId = -5", 6, i32(-5)},
        {"Small = 70000", 5, i16(70000 & 0xFFFF)},              // the low 16 bits
    };
    for (const Case& c : cases) {
        Bytes b = Compile(c.text);
        ASSERT_EQ(U16(b, 4), 3) << c.text;
        const std::size_t k = Node(b, 14);  // the constant: second slot
        EXPECT_EQ(U32(b, k), 5u) << c.text;
        EXPECT_EQ(U16(b, k + 8), c.type) << c.text;
        EXPECT_EQ(U16(b, k + 10), c.value.size()) << c.text;
        const std::size_t at = U16(b, 8) + U16(b, k + 12);
        EXPECT_EQ(Bytes(b.begin() + at, b.begin() + at + c.value.size()), c.value) << c.text;
        EXPECT_EQ(U16(b, 2), b.size()) << c.text;  // sized exactly
    }
}

TEST_F(FilterCompiler, BcdConstantIsTheEnginesRecordOfTheNumber) {
    Bytes b = Compile("Amount = 12.25");
    const std::size_t k = Node(b, 14);
    EXPECT_EQ(U16(b, k + 8), 8);
    ASSERT_EQ(U16(b, k + 10), 34);
    const std::size_t at = U16(b, 8) + U16(b, k + 12);
    double back = 0;
    ASSERT_EQ(qv::BcdToDouble(&b[at], back), 0);
    EXPECT_DOUBLE_EQ(back, 12.25);
    // 1E100 has no BCD record: the conversion error, not a buffer of zeros.
    EXPECT_THROW(FilterTextToExpr("Amount = 1" + std::string(100, '0'), kFields), plat::EConvertError);
}

TEST_F(FilterCompiler, UnknownTypeConstantBecomesAFieldNode) {
    Bytes b = Compile("Body = Hello");
    const std::size_t k = Node(b, 14);
    EXPECT_EQ(U32(b, k), 4u);        // field node
    EXPECT_EQ(U16(b, k + 8), 2);     // the second field node written
    const std::size_t at = U16(b, 8) + U16(b, k + 10);
    EXPECT_STREQ(reinterpret_cast<const char*>(&b[at]), "Hello");
}

TEST_F(FilterCompiler, ConnectivesGroupFromTheLeft) {
    // The root is the last connective; its left side the first one.
    struct Case { const char* text; std::uint32_t root, left; };
    const Case cases[] = {
        {"a=1 AND b=2 OR c=3", 11, 10},
        {"a=1 OR b=2 AND c=3", 10, 11},
        {"a=1 and (b=2 or c=3)", 10, 3},  // brackets: the left side is "a=1"
    };
    for (const Case& c : cases) {
        Bytes b = Compile(c.text);
        const std::size_t root = Node(b, 0);
        EXPECT_EQ(U32(b, root + 4), c.root) << c.text;
        EXPECT_EQ(U32(b, Node(b, U16(b, root + 8)) + 4), c.left) << c.text;
        EXPECT_EQ(U16(b, 4), 11) << c.text;  // three comparisons of three nodes, two connectives
    }
    // "ORDER" after a comparison reads as OR and the name DER.
    Bytes b = Compile("a = 1 ORDER = 1");
    EXPECT_EQ(U32(b, Node(b, 0) + 4), 11u);
}

TEST_F(FilterCompiler, FieldNumbersCountFieldNodesInWritingOrder) {
    Bytes b = Compile("a=1 AND b=2");
    // Emission: a, 1, =, b, 2, =, AND: the field "a" is slot 6, "b" slot 3.
    EXPECT_EQ(U16(b, Node(b, 6 * 14) + 8), 1);
    EXPECT_EQ(U16(b, Node(b, 3 * 14) + 8), 2);
}

TEST_F(FilterCompiler, FailuresGiveNoBuffer) {
    struct Case { std::string text; TFilterFault fault; };
    const Case cases[] = {
        {"", TFilterFault::Syntax},
        {"Title = \"Intro", TFilterFault::Syntax},                  // open string
        {"(HelpId = 1", TFilterFault::Syntax},                      // missing ")"
        {"HelpId >=", TFilterFault::Syntax},                        // relop without a right side
        {"HelpId = 5 xyz", TFilterFault::TrailingText},             // a condition would be lost
        {"Title = John AND HelpId = 1", TFilterFault::TrailingText},  // the name runs on to "="
        {"Title = \"" + std::string(256, 'x') + "\"", TFilterFault::LiteralTooLong},
        {"Body = " + std::string(256, 'y'), TFilterFault::LiteralTooLong},
    };
    for (const Case& c : cases) {
        TFilterFault f = TFilterFault::None;
        EXPECT_FALSE(FilterTextToExpr(c.text, kFields, &f).has_value()) << c.text;
        EXPECT_EQ(f, c.fault) << c.text;
    }
    EXPECT_TRUE(dialogs.Requests().empty());
    // 255 characters still fit.
    EXPECT_TRUE(FilterTextToExpr("Title = \"" + std::string(255, 'x') + "\"", kFields).has_value());
}

TEST_F(FilterCompiler, ConstantOnTheLeftWarnsFieldNotFound) {
    TFilterFault f = TFilterFault::None;
    EXPECT_FALSE(FilterTextToExpr("5 = HelpId", kFields, &f).has_value());
    EXPECT_EQ(f, TFilterFault::FieldNotFound);
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Last().text, "5\r\nField not found in Table. ");
    EXPECT_EQ(dialogs.Last().icon, gui::DialogIcon::Warning);
}

TEST_F(FilterCompiler, UnreadableConstantRaisesTheConversionError) {
    for (const char* text : {"HelpId = abc", "Made = \"2/30/1996\"", "Price = abc", "Small = x1", "At = \"25:00\""})
        EXPECT_THROW(FilterTextToExpr(text, kFields), plat::EConvertError) << text;
}

// The nodes on the longest path down from the node at `offset`.
int Levels(const Bytes& b, std::uint32_t offset) {
    const std::size_t n = Node(b, offset);
    if (U32(b, n) != 2) return 1;
    return 1 + std::max(Levels(b, U16(b, n + 8)), Levels(b, U16(b, n + 10)));
}

// The constants of the tree's comparisons, left to right.
void Constants(const Bytes& b, std::uint32_t offset, std::vector<std::int32_t>& out) {
    const std::size_t n = Node(b, offset);
    if (U32(b, n) == 5) {
        std::int32_t v;
        std::memcpy(&v, &b.at(U16(b, 8) + U16(b, n + 12)), 4);
        out.push_back(v);
        return;
    }
    if (U32(b, n) != 2) return;
    Constants(b, U16(b, n + 8), out);
    Constants(b, U16(b, n + 10), out);
}

TEST_F(FilterCompiler, NegativeNumbersAreNumbers) {
    struct Case {
        const char* text;
        std::vector<std::int32_t> constants;
        std::uint32_t root;
    };
    const Case cases[] = {
        {"HelpId = -1", {-1}, 3},
        {"HelpId=-1", {-1}, 3},
        {"HelpId = -1 OR HelpId = 2", {-1, 2}, 11},
        {"HelpId >= -12 AND (HelpId <> -3)", {-12, -3}, 10},
        {"(HelpId = -1) OR (HelpId < -40)", {-1, -40}, 11},
    };
    for (const Case& c : cases) {
        Bytes b = Compile(c.text);
        if (b.empty()) continue;
        std::vector<std::int32_t> got;
        Constants(b, 0, got);
        EXPECT_EQ(got, c.constants) << c.text;
        EXPECT_EQ(U32(b, Node(b, 0) + 4), c.root) << c.text;
    }
    // A minus before a letter still starts a name.
    Bytes b = Compile("Title = -abc");
    const std::size_t k = Node(b, 14);
    EXPECT_STREQ(reinterpret_cast<const char*>(&b[U16(b, 8) + U16(b, k + 12)]), "-abc");
}

TEST_F(FilterCompiler, ARunOfOneConnectiveIsBalanced) {
    for (const char* op : {" OR ", " AND "}) {
        for (int n : {2, 10, 64, 65, 200, 1000}) {
            std::string text;
            std::vector<std::int32_t> want;
            for (int i = 1; i <= n; ++i) {
                text += (i > 1 ? op : "") + std::string("HelpId = ") + std::to_string(i * 3);
                want.push_back(i * 3);
            }
            Bytes b = Compile(text);
            ASSERT_FALSE(b.empty()) << op << n;
            EXPECT_EQ(U16(b, 4), 4 * n - 1) << op << n;
            int height = 0;
            while ((1 << height) < n) ++height;
            EXPECT_EQ(Levels(b, 0), height + 2) << op << n;  // the connectives, a comparison, its operands
            std::vector<std::int32_t> got;
            Constants(b, 0, got);
            EXPECT_EQ(got, want) << op << n;  // the terms keep their order
            // "HelpId" once in the pool, then one 4-byte constant per term.
            EXPECT_EQ(U16(b, 2) - U16(b, 8), 7 + 4 * n) << op << n;
            for (std::uint32_t slot = 0; slot < U16(b, 4); ++slot) {
                const std::size_t at = Node(b, slot * kFilterNodeSize);
                if (U32(b, at) == 4) {
                    EXPECT_EQ(U16(b, at + 10), 0) << op << n;
                }
            }
        }
    }
    // Runs of one connective after another: the earlier run is the first
    // term of the later one, so grouping stays from the left.
    Bytes b = Compile("a=1 OR a=2 OR a=3 AND b=4 AND b=5");
    const std::size_t root = Node(b, 0);
    EXPECT_EQ(U32(b, root + 4), 10u);
    const std::size_t left = Node(b, U16(b, root + 8));
    EXPECT_EQ(U32(b, left + 4), 11u);
    std::vector<std::int32_t> got;
    Constants(b, U16(b, root + 8), got);
    EXPECT_EQ(got, (std::vector<std::int32_t>{1, 2, 3}));
}

TEST_F(FilterCompiler, NestingAndDepthAreBounded) {
    auto nested = [](int depth) {
        return std::string(static_cast<std::size_t>(depth), '(') + "HelpId = 1" +
               std::string(static_cast<std::size_t>(depth), ')');
    };
    auto alternating = [](int terms) {
        std::string text = "HelpId = 0";
        for (int i = 1; i < terms; ++i) text += (i % 2 ? " OR " : " AND ") + std::string("HelpId = ") + std::to_string(i);
        return text;
    };
    auto repeated = [](const std::string& first, const std::string& more, int times) {
        std::string text = first;
        for (int i = 0; i < times; ++i) text += more;
        return text;
    };
    struct Case { std::string name, text; };
    const Case refused[] = {
        {"20000 brackets", nested(20000)},
        {"257 brackets", nested(kFilterMaxNesting + 1)},
        {"20000 alternating connectives", alternating(20000)},
        {"100 alternating connectives", alternating(100)},
        // ("+" and "*" start names too: a bracket after them keeps them apart.)
        {"20000 sums", repeated("(HelpId)", "+(HelpId)", 20000) + " = 1"},
        {"20000 products", repeated("HelpId = 1", " *(1)", 20000)},
        {"20000 nested ORs", repeated("", "HelpId = 1 OR (", 20000) + "HelpId = 2" + std::string(20000, ')')},
    };
    for (const Case& c : refused) {
        TFilterFault f = TFilterFault::None;
        EXPECT_FALSE(FilterTextToExpr(c.text, kFields, &f).has_value()) << c.name;
        EXPECT_EQ(f, TFilterFault::TooDeep) << c.name;
    }
    EXPECT_TRUE(dialogs.Requests().empty());
    // What the engine takes still compiles.
    Bytes b = Compile(nested(kFilterMaxNesting));
    EXPECT_EQ(U16(b, 4), 3);
    b = Compile(alternating(60));
    EXPECT_LE(Levels(b, 0), qv::kDbiMaxFilterLevels);
    // Past 64 KB of buffer: too large, not too deep.
    TFilterFault f = TFilterFault::None;
    EXPECT_FALSE(FilterTextToExpr(repeated("HelpId = 0", " OR HelpId = 1", 2000), kFields, &f).has_value());
    EXPECT_EQ(f, TFilterFault::TooLarge);
}

}  // namespace
