// The seventeen filter lines, the history and the small dialog's place.
#include "editor/options/page_filters.h"

#include <gtest/gtest.h>

namespace {

using namespace editor;

std::vector<std::string> Blank16() { return std::vector<std::string>(16, " "); }

TEST(FilterLines, BuiltAndReadBack) {
    // All empty.
    std::vector<std::string> expected = {"HelpID >= 0"};
    for (const auto& b : Blank16()) expected.push_back(b);
    EXPECT_EQ(BuildFilterLines(FilterValues{}), expected);
    EXPECT_EQ(ReadFilterLines(expected), FilterValues{});  // 0 shows as empty

    FilterValues v;
    v[flHelpIdFrom] = "100";
    v[flHelpIdTo] = "200";
    v[flTopicPopup] = "T";
    v[flTitle] = "Intro";
    v[flBrowseIdTo] = "7";
    v[flModifiedDateFrom] = "  /  /    ";  // a blank date of any year width
    v[flModifiedDateTo] = "12/31/99";
    v[flModifiedTimeFrom] = "10:00";
    v[flCompileFor] = "32";
    v[flUserField] = "x y";
    const auto lines = BuildFilterLines(v);
    ASSERT_EQ(lines.size(), 17u);
    EXPECT_EQ(lines[0], "HelpID >= 100");
    EXPECT_EQ(lines[1], "HelpID <= 200");
    EXPECT_EQ(lines[2], "TopicPopup = T");
    EXPECT_EQ(lines[3], "Title = \"Intro\"");
    EXPECT_EQ(lines[7], "BrowseID <= 7");
    EXPECT_EQ(lines[8], " ");
    EXPECT_EQ(lines[9], "ModifiedDate <= \"12/31/99\"");
    EXPECT_EQ(lines[10], "ModifiedTime >= \"10:00\"");
    EXPECT_EQ(lines[13], "CompileFor = \"32\"");
    EXPECT_EQ(lines[16], "UserField = \"x y\"");
    FilterValues back = ReadFilterLines(lines);
    FilterValues want = v;
    want[flModifiedDateFrom].clear();
    EXPECT_EQ(back, want);
    // The stored topic/popup line keeps its blank; the control shows "T".
    EXPECT_EQ(lines[2].substr(12), " T");
    EXPECT_EQ(back[flTopicPopup], "T");
    EXPECT_EQ(ReadFilterLines({"HelpID >= 0", " ", "TopicPopup = P"})[flTopicPopup], "P");
}

TEST(FilterLines, ShortStoredListFillsWhatItHas) {
    const FilterValues v = ReadFilterLines({"HelpID >= 5", "HelpID <= 9", " ", "Title = \"A\""});
    EXPECT_EQ(v[flHelpIdFrom], "5");
    EXPECT_EQ(v[flTitle], "A");
    for (int i = flKeys; i < kFilterLineCount; ++i) EXPECT_TRUE(v[static_cast<std::size_t>(i)].empty());
    EXPECT_EQ(ReadFilterLines({}), FilterValues{});
}

TEST(FilterLines, QuotesAreFound) {
    FilterValues v;
    EXPECT_EQ(QuotedFilterValue(v), -1);
    v[flKeys] = "say \"hi\"";
    EXPECT_EQ(QuotedFilterValue(v), flKeys);
}

TEST(FilterLines, ColumnCriteria) {
    EXPECT_EQ(CriterionOfField("HelpId", true), FilterCriterion::HelpID);
    EXPECT_EQ(CriterionOfField("Keys", true), FilterCriterion::None);
    EXPECT_EQ(CriterionOfField("ContextString", true), FilterCriterion::None);
    EXPECT_EQ(CriterionOfField("Keys", false), FilterCriterion::Keys);
    EXPECT_EQ(CriterionOfField("ModifiedTime", false), FilterCriterion::ModifiedTime);
    const MiniFilterSpec s = MiniFilterSpecOf(FilterCriterion::ModifiedTime);
    EXPECT_EQ(s.caption, "Filter on Modified Time");
    EXPECT_EQ(s.page, "Time");
    ASSERT_EQ(s.lines.size(), 2u);
    EXPECT_EQ(s.lines[1], flModifiedTimeTo);
    EXPECT_EQ(MiniFilterSpecOf(FilterCriterion::UserFlag).group, "Flag");
}

TEST(FilterHistory, TenMostRecent) {
    std::vector<std::string> h;
    for (int i = 1; i <= 10; ++i) EXPECT_TRUE(AddToFilterHistory(h, "w" + std::to_string(i)));
    EXPECT_EQ(h.front(), "w10");
    EXPECT_EQ(h.back(), "w1");
    // A duplicate is neither added nor moved.
    EXPECT_FALSE(AddToFilterHistory(h, "w3"));
    EXPECT_EQ(h[7], "w3");
    EXPECT_FALSE(AddToFilterHistory(h, ""));
    // The eleventh drops the oldest.
    EXPECT_TRUE(AddToFilterHistory(h, "w11"));
    ASSERT_EQ(h.size(), 10u);
    EXPECT_EQ(h.front(), "w11");
    EXPECT_EQ(h.back(), "w2");
    // Exact comparison: another letter case is a new word.
    EXPECT_TRUE(AddToFilterHistory(h, "W11"));
}

TEST(MiniFilter, Placement) {
    struct Case {
        int x, y, left, top;
    } cases[] = {
        {400, 300, 400 - 100, 310},     // beside the mouse
        {400, 700, 300, 700 - 160},     // too low: above the mouse
        {750, 300, 800 - 200, 310},     // too far right: flush with the right edge
        {50, 300, 0, 310},              // negative left becomes 0
    };
    for (const auto& c : cases) {
        const MiniPlacement p = PlaceMiniFilter(800, 768, 200, 150, c.x, c.y);
        EXPECT_EQ(p.left, c.left) << c.x << "," << c.y;
        EXPECT_EQ(p.top, c.top) << c.x << "," << c.y;
    }
}

}  // namespace
