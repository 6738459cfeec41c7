// Filters from vlFilter lines and OnFilter through to the engine, on real
// engine tables in a temporary folder.
#include "data/tests/engine_fixture.h"

#include "data/filter_compiler.h"
#include "data/vl_helpers.h"
#include "engine/api/dbi_api.h"
#include "platform/core/exceptions.h"
#include "platform/win/message_queue.h"

#include <gtest/gtest.h>

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

}  // namespace
