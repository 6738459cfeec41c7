// Every RTF file of the corpus loads, and the help project's topics keep
// their page breaks, footnotes and jump targets.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "richtext/io/tests/rtf_test_util.h"
#include "tests/support/test_support.h"

namespace {

using namespace richtext;

class CorpusFile : public ::testing::TestWithParam<const char*> {};

TEST_P(CorpusFile, LoadsWithoutError) {
    TAVRIN_REQUIRE_CORPUS();
    std::string bytes = testsupport::ReadFileBytes(testsupport::CorpusFile(GetParam()));
    ASSERT_FALSE(bytes.empty());
    auto l = rtftest::ReadRtf(bytes);
    EXPECT_EQ(l.result, 0);
    // The whole file was consumed up to its closing brace.
    std::size_t lastBrace = bytes.find_last_of('}');
    EXPECT_EQ(static_cast<std::size_t>(l.endPos), lastBrace + 1);
    EXPECT_GT(l.model->TextLength(), 0);
}

INSTANTIATE_TEST_SUITE_P(All, CorpusFile,
                         ::testing::Values("rtf/rtfpipe-footnotes.rtf", "rtf/rtfpipe-image_from_strings.rtf",
                                           "rtf/rtfpipe-tables_from_web1.rtf", "rtf/rtfpipe-nested_table_report.rtf",
                                           "rtf/rtfparserkit-testUnicode.rtf", "hpj/ddablib-dropfiles/PJDropFiles.rtf",
                                           "hpj/eudora71/HtmlWh.rtf", "hpj/eudora71/Dialogs.rtf",
                                           "hpj/eudora71/Eudora.rtf", "hpj/eudora71/menus.rtf",
                                           "hpj/eudora71/Options.rtf"));

// Counts a pattern in the raw file text.
std::size_t CountInFile(const std::string& bytes, const std::regex& re) {
    return static_cast<std::size_t>(std::distance(std::sregex_iterator(bytes.begin(), bytes.end(), re),
                                                  std::sregex_iterator()));
}

TEST(CorpusHelpProject, TopicsKeepPageBreaksFootnotesAndJumpTargets) {
    TAVRIN_REQUIRE_CORPUS();
    std::string bytes = testsupport::ReadFileBytes(testsupport::CorpusFile("hpj/ddablib-dropfiles/PJDropFiles.rtf"));
    // Counted from the file's own text: \page words, \footnote groups, and
    // hidden groups "{\v target}" that follow jump text.
    std::size_t pages = CountInFile(bytes, std::regex(R"(\\page(?![a-z]))"));
    std::size_t footnotes = CountInFile(bytes, std::regex(R"(\\footnote(?![a-z]))"));
    std::size_t hiddenGroups = CountInFile(bytes, std::regex(R"(\{\\v )"));
    ASSERT_EQ(pages, 85u);

    auto l = rtftest::ReadRtf(bytes);
    ASSERT_EQ(l.result, 0);
    const TJDRTFText& m = *l.model;

    std::size_t breaks = 0, hiddenRuns = 0, marks = 0;
    for (TParagraph* p = m.FirstParagraph(); p; p = p->next) {
        if (p->flags & kParPageBreak) ++breaks;
        for (TLine* ln = p->lines; ln; ln = ln->next)
            for (std::size_t i = 0; i < ln->attrs.size(); ++i) {
                bool hidden = ln->attrs[i].style & kStyleHidden;
                if (hidden && (i == 0 || !(ln->attrs[i - 1].style & kStyleHidden))) ++hiddenRuns;
                if (ln->attrs[i].style & kStyleFootnote) {
                    ++marks;
                    EXPECT_NE(m.FindFootnote(ln->attrs[i].tag), nullptr);
                }
            }
    }
    EXPECT_EQ(breaks, pages);
    EXPECT_EQ(m.Footnotes().size(), footnotes);
    EXPECT_EQ(marks, footnotes);
    EXPECT_EQ(hiddenRuns, hiddenGroups);

    // The first topic's footnotes: mark and text without the copy of the mark.
    ASSERT_GE(m.Footnotes().size(), 4u);
    EXPECT_EQ(m.Footnotes()[0]->mark, '#');
    EXPECT_EQ(m.Footnotes()[0]->text, "IDH_PJDROPFILES");
    EXPECT_EQ(m.Footnotes()[1]->mark, '$');
    EXPECT_EQ(m.Footnotes()[1]->text, "PJDropFiles unit");
    // A jump: struck-out text followed by its hidden target.
    const TJDCharAttr* jump = rtftest::AttrOf(m, "TPJDropFiles");
    const TJDCharAttr* target = rtftest::AttrOf(m, "IDH_DF_CLASS");
    ASSERT_TRUE(jump && target);
    EXPECT_TRUE(jump->style & kStyleStrikeOut);
    EXPECT_TRUE(target->style & kStyleHidden);
}

}  // namespace
