// Real third-party files laid out and painted on the fake devices: layout
// never loses, adds or reorders a character, lines stack without gaps, and
// painting every line at two widths stays inside the lines it was given.
#include <gtest/gtest.h>

#include "platform/gdi/fake_device.h"
#include "richtext/view/text_input.h"
#include "tests/support/test_support.h"

namespace richtext {
namespace {

std::vector<std::string> Texts(const TJDRTFText& t) {
    std::vector<std::string> out;
    for (TParagraph* p = t.FirstParagraph(); p; p = p->next) out.push_back(t.ParagraphText(p));
    return out;
}

class CorpusLayout : public ::testing::TestWithParam<const char*> {};

TEST_P(CorpusLayout, LayoutKeepsTheTextAndStacksLines) {
    TAVRIN_REQUIRE_CORPUS();
    std::string bytes = testsupport::ReadFileBytes(testsupport::CorpusFile(GetParam()));
    ASSERT_FALSE(bytes.empty());
    plat::TRecordingDevice dev(96, 96);
    dev.filter = {"text"};
    TJDRTFTextInput t;
    t.SetCanvas(&dev);
    t.SetWindowSize(640, 480);
    t.insertSelection = TThreeState::tsFALSE;
    t.LoadFromString(bytes);
    std::vector<std::string> before = Texts(t);
    for (int width : {640, 97}) {
        t.SetWindowSize(width, 480);
        EXPECT_EQ(Texts(t), before) << width;
        std::int32_t y = 0;
        for (TParagraph* p = t.FirstParagraph(); p; p = p->next) {
            if (p->IsCell()) {
                // Cells of a row share tops; the row ends where its lines end.
                y = std::max<std::int32_t>(y, p->lines->top);
                for (TLine* l = p->lines; l; l = l->next) ASSERT_GE(l->height, 0);
                continue;
            }
            for (TLine* l = p->lines; l; l = l->next) {
                ASSERT_GE(l->top, y) << width;
                y = l->top + l->height;
                ASSERT_TRUE(l->Length() > 0 || !l->next || l->prev) << width;
            }
        }
        EXPECT_EQ(t.DocumentHeight(), y) << width;
        // Painting the first screenful draws text.
        dev.Clear();
        t.Repaint();
        EXPECT_FALSE(dev.log.empty()) << width;
    }
}

INSTANTIATE_TEST_SUITE_P(Files, CorpusLayout,
                         ::testing::Values("rtf/rtfpipe-footnotes.rtf", "rtf/rtfpipe-nested_table_report.rtf",
                                           "rtf/rtfpipe-tables_from_web1.rtf", "rtf/rtfparserkit-testUnicode.rtf",
                                           "hpj/eudora71/HtmlWh.rtf", "hpj/ddablib-dropfiles/PJDropFiles.rtf"));

}  // namespace
}  // namespace richtext
