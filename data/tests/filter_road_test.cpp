// Filters from vlFilter lines and OnFilter through to the engine, on real
// engine tables in a temporary folder.
#include "data/tests/engine_fixture.h"

#include "data/filter_compiler.h"
#include "data/vl_helpers.h"
#include "engine/api/dbi_api.h"
#include "platform/core/exceptions.h"
#include "platform/win/message_queue.h"

#include <gtest/gtest.h>

#include <functional>

using namespace vl;
using Ids = std::vector<int>;

namespace {

// The Win32 key messages and keys the queue carries (the GUI's own names
// for them live above this layer).
constexpr unsigned WM_KEYDOWN = 0x0100, WM_KEYFIRST = 0x0100, WM_KEYLAST = 0x0108;
constexpr plat::WPARAM VK_ESCAPE = 0x1B;

Ids Range(int from, int to) {
    Ids out;
    for (int i = from; i <= to; ++i) out.push_back(i);
    return out;
}

class FilterRoad : public vltest::EngineTables {
protected:
    void SetUp() override {
        EngineTables::SetUp();
        MakePageTable(20);
    }
    // A window that key presses are meant for; it keeps those delivered to it.
    plat::HWND KeyWindow() {
        if (!keyWindow_)
            keyWindow_ = plat::AllocateHWnd([this](plat::TMessage& m) {
                if (m.Msg == WM_KEYDOWN) delivered.push_back(m.WParam);
                m.Result = 0;
            });
        return keyWindow_;
    }
    void PressKey(plat::WPARAM vk) { plat::PostMessage(KeyWindow(), WM_KEYDOWN, vk, 1); }
    std::vector<plat::WPARAM> delivered;
    plat::HWND keyWindow_ = 0;
    void SetLines(std::initializer_list<const char*> lines) {
        plat::StringList l;
        for (const char* s : lines) l.Add(s);
        pages->SetvlFilter(l);
    }
    // Drops whatever key input a test left queued.
    void TearDown() override {
        plat::MSG m;
        while (plat::PeekMessage(m, 0, WM_KEYFIRST, WM_KEYLAST, plat::PM_REMOVE)) {}
        if (keyWindow_) plat::DeallocateHWnd(keyWindow_);
        EngineTables::TearDown();
    }
};

TEST_F(FilterRoad, ExpressionLinesShowTheMatchingRows) {
    pages->Open();
    SetLines({"HelpId >= 5"});
    EXPECT_EQ(ShownIds(), Range(5, 20));
    EXPECT_NE(pages->ExprFilterHandle(), 0u);
    SetLines({"TopicPopup = \"T\""});
    EXPECT_EQ(ShownIds(), (Ids{1, 4, 7, 10, 13, 16, 19}));
    // Two lines: "HelpId >= 5 AND (TopicPopup = "T")".
    SetLines({"HelpId >= 5", "", "TopicPopup = \"T\"  "});
    EXPECT_EQ(pages->BuildFilterText(), "HelpId >= 5 AND (TopicPopup = \"T\")");
    EXPECT_EQ(ShownIds(), (Ids{7, 10, 13, 16, 19}));
    // Case counts in string comparisons.
    SetLines({"TopicPopup = \"t\""});
    EXPECT_EQ(ShownIds(), Ids{});
    EXPECT_TRUE(dialogs.Requests().empty());
}

TEST_F(FilterRoad, LinesSetOnAClosedTableApplyAtOpen) {
    SetLines({"HelpId < 4"});
    EXPECT_TRUE(dialogs.Requests().empty());
    EXPECT_EQ(pages->ExprFilterHandle(), 0u);
    pages->Open();
    EXPECT_EQ(pages->FieldByName("HelpId")->AsInteger(), 1);
    EXPECT_EQ(ShownIds(), Range(1, 3));
    // Closing takes the filter with the cursor; opening brings it back.
    pages->Close();
    EXPECT_EQ(pages->ExprFilterHandle(), 0u);
    pages->Open();
    EXPECT_EQ(ShownIds(), Range(1, 3));
    SetLines({});
    EXPECT_EQ(ShownIds(), Range(1, 20));
    EXPECT_EQ(pages->ExprFilterHandle(), 0u);
}

TEST_F(FilterRoad, AFailedRecompileKeepsTheOldFilter) {
    pages->Open();
    SetLines({"HelpId > 15"});
    const TFilterHandle before = pages->ExprFilterHandle();
    for (const char* bad : {"HelpId > ", "HelpId = 5 xyz", "(HelpId = 1"}) {
        dialogs.Clear();
        SetLines({bad});
        ASSERT_EQ(dialogs.Requests().size(), 1u) << bad;
        EXPECT_EQ(dialogs.Last().text, "Fail to set filter");
        EXPECT_EQ(ShownIds(), Range(16, 20)) << bad;
        EXPECT_EQ(pages->ExprFilterHandle(), before);
    }
    // The old filter can still be dropped.
    SetLines({});
    EXPECT_EQ(ShownIds(), Range(1, 20));
}

TEST_F(FilterRoad, AConversionErrorChangesNothing) {
    pages->Open();
    SetLines({"HelpId > 15"});
    pages->Last();
    plat::StringList l;
    l.Add("HelpId = abc");
    EXPECT_THROW(pages->SetvlFilter(l), plat::EConvertError);
    EXPECT_EQ(pages->FieldByName("HelpId")->AsInteger(), 20);  // the cursor did not move
    EXPECT_EQ(ShownIds(), Range(16, 20));
}

TEST_F(FilterRoad, RefusedFilterLeavesTheOldOneInForce) {
    pages->Open();
    SetLines({"HelpId > 15"});
    const TFilterHandle before = pages->ExprFilterHandle();
    // The engine takes the new filter but will not switch it on.
    static int added = 0, dropped = 0;
    added = dropped = 0;
    static const TFilterEntryPoints refuseActivation = {
        [](std::uint32_t c, std::uint32_t d, std::uint16_t p, bool a, const void* e, void* cb, std::uint32_t& f) {
            ++added;
            return qv::DbiAddFilter(c, d, p, a, e, cb, f);
        },
        [](std::uint32_t, std::uint32_t) -> std::uint16_t { return 10243; },
        qv::DbiDeactivateFilter,
        [](std::uint32_t c, std::uint32_t f) {
            ++dropped;
            return qv::DbiDropFilter(c, f);
        }};
    SetFilterEntryPoints(&refuseActivation);
    dialogs.Clear();
    SetLines({"HelpId < 3"});
    SetFilterEntryPoints(nullptr);
    EXPECT_EQ(added, 1);
    EXPECT_EQ(dropped, 1);  // the new one, not the old one
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Last().text, "Fail to set filter");
    EXPECT_EQ(pages->ExprFilterHandle(), before);
    pages->First();
    EXPECT_EQ(ShownIds(), Range(16, 20));
    // A refused add leaves the old one as well.
    static const TFilterEntryPoints refuseAdd = {
        [](std::uint32_t, std::uint32_t, std::uint16_t, bool, const void*, void*, std::uint32_t&) -> std::uint16_t {
            return 10243;
        },
        qv::DbiActivateFilter, qv::DbiDeactivateFilter, qv::DbiDropFilter};
    SetFilterEntryPoints(&refuseAdd);
    EXPECT_FALSE(pages->ApplyFilter());
    SetFilterEntryPoints(nullptr);
    EXPECT_EQ(pages->ExprFilterHandle(), before);
    EXPECT_EQ(ShownIds(), Range(16, 20));
}

TEST_F(FilterRoad, OnFilterAndLinesTogether) {
    int calls = 0;
    pages->SetOnFilter([&](db::TDataSet* ds, bool& accept) {
        ++calls;
        accept = ds->FieldByName("HelpId")->AsInteger() % 2 == 0;
    });
    SetLines({"HelpId <= 10"});
    pages->Open();
    EXPECT_GT(calls, 0);
    EXPECT_EQ(ShownIds(), (Ids{2, 4, 6, 8, 10}));
    // Switching the option off shows every row the expression lets through.
    SetFilterEnabled(pages.get(), false);
    EXPECT_EQ(ShownIds(), Range(1, 10));
    pages->SetOnFilterOptions(kDefaultFilterOptions);
    pages->SetOnFilter(nullptr);
    EXPECT_EQ(ShownIds(), Range(1, 10));
}

TEST_F(FilterRoad, EscapeAtTheHundredthCallShowsAllRows) {
    ASSERT_TRUE(plat::BindMessageThread());
    int escapedAt = -1;
    pages->SetOnFilterOptions(kDefaultFilterOptions | ofoCancelOnEscape);
    pages->OnFilterEscape = [&](db::TDataSet*) { escapedAt = pages->FilterCalls(); };
    int calls = 0;
    pages->SetOnFilter([&](db::TDataSet* ds, bool& accept) {
        ++calls;
        accept = ds->FieldByName("HelpId")->AsInteger() <= 3;
    });
    pages->Open();
    EXPECT_EQ(ShownIds(), Range(1, 3));
    ASSERT_LT(calls, 100);
    PressKey(VK_ESCAPE);
    while (escapedAt < 0 && calls < 1000) ShownIds();
    EXPECT_EQ(escapedAt, 100);
    EXPECT_FALSE(pages->OnFilterOptions() & ofoEnabled);
    EXPECT_TRUE(pages->OnFilterOptions() & ofoCancelOnEscape);
    EXPECT_EQ(ShownIds(), Range(1, 20));
    plat::MSG m;
    EXPECT_FALSE(plat::PeekMessage(m, 0, WM_KEYFIRST, WM_KEYLAST, plat::PM_NOREMOVE));
}

TEST_F(FilterRoad, AnotherKeySurvivesTheEscapePolling) {
    ASSERT_TRUE(plat::BindMessageThread());
    pages->SetOnFilterOptions(kDefaultFilterOptions | ofoCancelOnEscape);
    int calls = 0;
    pages->SetOnFilter([&](db::TDataSet* ds, bool& accept) {
        ++calls;
        accept = ds->FieldByName("HelpId")->AsInteger() <= 3;
    });
    pages->Open();
    PressKey('A');
    PressKey(VK_ESCAPE);
    while (calls < 250) ShownIds();
    EXPECT_TRUE(pages->OnFilterOptions() & ofoEnabled);
    EXPECT_EQ(ShownIds(), Range(1, 3));
    // Both keys reach their window in their order: the one typed first is
    // not eaten, and the Escape behind it is not taken past it.
    for (int i = 0; i < 10 && delivered.size() < 2; ++i) plat::ProcessMessages();
    EXPECT_EQ(delivered, (std::vector<plat::WPARAM>{'A', VK_ESCAPE}));
}

// ---- long and deep filters, against a plain evaluation of the same rows -----------

constexpr int kRows = 120;

// One comparison of a chain: HelpId against a number, or TopicPopup
// against a letter.
struct Term {
    std::string op;
    int value = 0;
    char popup = 0;
    std::string Text() const {
        if (popup) return "TopicPopup " + op + " \"" + std::string(1, popup) + "\"";
        return "HelpId " + op + " " + std::to_string(value);
    }
    bool Holds(int id) const {
        if (popup) {
            const char mine = id % 3 == 1 ? 'T' : 'P';
            return op == "=" ? mine == popup : mine != popup;
        }
        if (op == "=") return id == value;
        if (op == "<>") return id != value;
        if (op == "<") return id < value;
        if (op == ">") return id > value;
        if (op == "<=") return id <= value;
        return id >= value;
    }
};

// A chain: its first term, then connectives with terms.
struct Chain {
    std::vector<Term> terms;
    std::vector<std::string> connectives;  // one fewer than the terms
    std::string Text() const {
        std::string text = terms[0].Text();
        for (std::size_t i = 1; i < terms.size(); ++i) text += " " + connectives[i - 1] + " " + terms[i].Text();
        return text;
    }
    // AND and OR have the same precedence and group from the left.
    Ids Expected() const {
        Ids out;
        for (int id = 1; id <= kRows; ++id) {
            bool acc = terms[0].Holds(id);
            for (std::size_t i = 1; i < terms.size(); ++i)
                acc = connectives[i - 1] == "AND" ? (acc && terms[i].Holds(id)) : (acc || terms[i].Holds(id));
            if (acc) out.push_back(id);
        }
        return out;
    }
};

class LongFilters : public vltest::EngineTables {
protected:
    void SetUp() override {
        EngineTables::SetUp();
        MakePageTable(kRows);
        pages->Open();
    }
    void SetText(const std::string& text) {
        plat::StringList l;
        l.Add(text);
        pages->SetvlFilter(l);
    }
};

TEST_F(LongFilters, ARunOfOneConnectiveShowsWhatItSays) {
    for (const char* connective : {"OR", "AND"}) {
        for (int n : {10, 64, 65, 200, 1000}) {
            SCOPED_TRACE(std::string(connective) + " of " + std::to_string(n));
            Chain chain;
            // Even numbers from 0 to 158 in a scattered order: about half the
            // rows pass either way, so an empty table is always wrong.
            for (int k = 1; k <= n; ++k) {
                chain.terms.push_back({std::string(connective) == "OR" ? "=" : "<>", 2 * ((k * 37) % 80)});
                if (k > 1) chain.connectives.push_back(connective);
            }
            const Ids want = chain.Expected();
            ASSERT_FALSE(want.empty());
            dialogs.Clear();
            SetText(chain.Text());
            EXPECT_TRUE(dialogs.Requests().empty());
            EXPECT_EQ(ShownIds(), want);
        }
    }
}

TEST_F(LongFilters, MixedChainsGroupFromTheLeft) {
    static const char* const kOps[] = {"=", "<>", "<", ">", "<=", ">="};
    std::uint32_t seed = 12345;
    auto next = [&](std::uint32_t below) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % below;
    };
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        Chain chain;
        std::string connective = "OR";
        std::uint32_t left = 0;  // terms to go in this run
        const int n = round < 3 ? 30 : 200;
        for (int k = 0; k < n; ++k) {
            Term t;
            t.op = kOps[next(6)];
            if (next(5) == 0) {
                t.op = next(2) ? "=" : "<>";
                t.popup = next(2) ? 'T' : 'P';
            } else {
                t.value = static_cast<int>(next(kRows + 10));
            }
            chain.terms.push_back(t);
            if (k == 0) continue;
            if (left == 0) {
                connective = connective == "OR" ? "AND" : "OR";
                left = round < 3 ? 1 + next(3) : 5 + next(8);
            }
            --left;
            chain.connectives.push_back(connective);
        }
        dialogs.Clear();
        SetText(chain.Text());
        EXPECT_TRUE(dialogs.Requests().empty());
        EXPECT_EQ(ShownIds(), chain.Expected()) << chain.Text();
    }
}

TEST_F(LongFilters, TooDeepIsRefusedAndTheRowsStay) {
    SetText("HelpId > 100");
    const TFilterHandle before = pages->ExprFilterHandle();
    std::string alternating = "HelpId = 0";
    for (int i = 1; i < 100; ++i) alternating += (i % 2 ? " OR " : " AND ") + std::string("HelpId = ") + std::to_string(i);
    const std::string texts[] = {
        std::string(20000, '(') + "HelpId = 1" + std::string(20000, ')'),
        alternating,
    };
    for (const std::string& text : texts) {
        dialogs.Clear();
        SetText(text);
        ASSERT_EQ(dialogs.Requests().size(), 1u);
        EXPECT_EQ(dialogs.Last().text, "Fail to set filter");
        EXPECT_EQ(pages->ExprFilterHandle(), before);
        EXPECT_EQ(ShownIds(), Range(101, kRows));
    }
}

void Put16(std::vector<std::uint8_t>& t, std::size_t at, std::uint32_t v) {
    t[at] = static_cast<std::uint8_t>(v);
    t[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

// A header and `count` not nodes (class 1, operator 9, 10 bytes), each the
// operand of the one before, ending in a continue node (class 7) of 1;
// `link` gives each not's operand offset instead.
std::vector<std::uint8_t> NotChain(int count, std::function<std::uint32_t(int)> link = nullptr) {
    std::vector<std::uint8_t> t(10 + 10 * static_cast<std::size_t>(count + 1), 0);
    Put16(t, 0, 1);
    Put16(t, 2, static_cast<std::uint32_t>(t.size()));
    Put16(t, 4, static_cast<std::uint32_t>(count + 1));
    Put16(t, 6, 10);
    Put16(t, 8, static_cast<std::uint32_t>(t.size()));
    for (int i = 0; i <= count; ++i) {
        const std::size_t at = 10 + 10 * static_cast<std::size_t>(i);
        t[at] = i < count ? 1 : 7;
        t[at + 4] = i < count ? 9 : 0;
        Put16(t, at + 8, i < count ? (link ? link(i) : 10 * static_cast<std::uint32_t>(i + 1)) : 1);
    }
    return t;
}

TEST_F(LongFilters, TheEngineRefusesTreesItCannotRun) {
    SetText("HelpId > 100");
    struct Case {
        const char* name;
        std::vector<std::uint8_t> tree;
        bool taken;
    };
    const Case cases[] = {
        {"two nots", NotChain(2), true},
        {"63 nots", NotChain(63), true},
        {"64 nots", NotChain(64), false},
        {"6000 nots", NotChain(6000), false},
        {"a not that is its own operand", NotChain(3, [](int i) { return i == 2 ? 20u : 10u * (i + 1); }), false},
        {"a not pointing back at the root", NotChain(3, [](int i) { return i == 2 ? 0u : 10u * (i + 1); }), false},
        {"a not pointing past the tree", NotChain(3, [](int i) { return i == 2 ? 900u : 10u * (i + 1); }), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        qv::hDBIFilter added = 0;
        const auto rc = qv::DbiAddFilter(pages->Handle(), 0, 1, false, c.tree.data(), nullptr, added);
        if (c.taken) {
            EXPECT_EQ(rc, 0);
            EXPECT_NE(added, 0u);
            EXPECT_EQ(qv::DbiDropFilter(pages->Handle(), added), 0);
        } else {
            EXPECT_EQ(rc, qv::kDbiErrInvalidParam);
            EXPECT_EQ(added, 0u);
        }
        EXPECT_EQ(ShownIds(), Range(101, kRows));
    }
}

TEST_F(LongFilters, NegativeNumbersReadAsNumbers) {
    pages->Append();
    pages->FieldByName("Application")->SetAsString("Demo");
    pages->FieldByName("HelpId")->SetAsInteger(-1);
    pages->Post();
    struct Case {
        std::vector<const char*> lines;
        Ids shown;
    };
    const Case cases[] = {
        {{"HelpId = -1"}, {-1}},
        {{"HelpId = -1 OR HelpId = 3"}, {-1, 3}},
        {{"HelpId >= -1", "HelpId < 3"}, {-1, 1, 2}},
        {{"HelpId < -1"}, {}},
        {{"HelpId > -2 AND HelpId <> -1 AND HelpId <= 2"}, {1, 2}},
    };
    for (const Case& c : cases) {
        plat::StringList l;
        for (const char* line : c.lines) l.Add(line);
        dialogs.Clear();
        EXPECT_NO_THROW(pages->SetvlFilter(l)) << c.lines[0];
        EXPECT_TRUE(dialogs.Requests().empty()) << c.lines[0];
        EXPECT_EQ(ShownIds(), c.shown) << c.lines[0];
    }
}

}  // namespace
