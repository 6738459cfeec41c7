#include "project/page_marks.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/test_support.h"

namespace {

using editor::PictureKind;

TEST(PageMarks, ColorToColorIndexFollowsTheStandardOrder) {
    struct Case { std::int64_t color; int index; };
    const Case cases[] = {{0x000000, 0}, {0x000080, 1}, {0x008000, 2}, {0x008080, 3}, {0x800000, 4},
                          {0x800080, 5}, {0x808000, 6}, {0x808080, 7}, {0xC0C0C0, 8}, {0x0000FF, 9},
                          {0x00FF00, 10}, {0x00FFFF, 11}, {0xFF0000, 12}, {0xFF00FF, 13}, {0xFFFF00, 14},
                          {0xFFFFFF, 15}, {0x123456, 0}, {0xC0C0C1, 0}, {-1, 0}, {0x1000000, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(editor::ColorToColorIndex(c.color), c.index) << std::hex << c.color;
        if (c.index) {
            EXPECT_EQ(editor::StandardColor(c.index), c.color);
        }
    }
}

TEST(PageMarks, PictureReferences) {
    struct Case {
        PictureKind kind;
        bool transparent;
        const char* dir;
        const char* base;
        const char* expected;
    };
    const Case cases[] = {
        {PictureKind::Centre, true, "C:\\HELP\\pic", "C:\\HELP", "bmct pic\\a.bmp"},
        {PictureKind::Centre, false, "c:\\help\\Pic\\Sub", "C:\\HELP\\", "bmc Pic\\Sub\\a.bmp"},
        {PictureKind::Left, false, "C:\\HELP", "c:\\help", "bml a.bmp"},
        // A folder whose name only starts with the base is not below it.
        {PictureKind::Right, false, "C:\\HELPER\\pic", "C:\\HELP", "bmr C:\\HELPER\\pic\\a.bmp"},
        {PictureKind::Right, true, "C:\\", "D:\\X", "bmrt C:\\a.bmp"},
        {PictureKind::Left, false, "C:\\", "", "bml C:\\a.bmp"},
        {PictureKind::Centre, false, "D:/art/x", "", "bmc D:\\art\\x\\a.bmp"},
        {PictureKind::Centre, false, "C:\\other", "C:\\HELP", "bmc C:\\other\\a.bmp"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(editor::PictureReference(c.kind, c.transparent, c.dir, "a.bmp", c.base), c.expected) << c.dir;
}

TEST(PageMarks, ReferencesParseBackIntoTheirParts) {
    auto p = editor::ParsePictureReference("bmrt pic\\sub\\x.bmp");
    ASSERT_TRUE(p.valid);
    EXPECT_EQ(p.kind, PictureKind::Right);
    EXPECT_TRUE(p.transparent);
    EXPECT_EQ(p.alignment, "bmrt");
    EXPECT_EQ(p.path, "pic\\sub\\x.bmp");
    EXPECT_EQ(p.directory, "pic\\sub");
    EXPECT_EQ(p.fileName, "x.bmp");
    p = editor::ParsePictureReference("bml C:\\x.wmf");
    ASSERT_TRUE(p.valid);
    EXPECT_EQ(p.kind, PictureKind::Left);
    EXPECT_FALSE(p.transparent);
    EXPECT_EQ(p.directory, "C:\\");
    EXPECT_FALSE(editor::ParsePictureReference("bmq x.bmp").valid);
    EXPECT_FALSE(editor::ParsePictureReference("nothing").valid);
}

TEST(PageMarks, TheShgTwinIsFoundInAnyCase) {
    testsupport::TempDir tmp;
    std::string dir = tmp.path().string();
    std::ofstream(tmp.path() / "Pic.Bmp") << "x";
    std::ofstream(tmp.path() / "pic.shg") << "x";
    std::ofstream(tmp.path() / "lone.SHG") << "x";
    EXPECT_FALSE(editor::FindShgTwin(dir, "pic.shg").empty());
    EXPECT_FALSE(editor::FindShgTwin(dir, "PIC.SHG").empty());
    EXPECT_TRUE(editor::FindShgTwin(dir, "lone.SHG").empty());
    EXPECT_TRUE(editor::HasExtension("a.sHg", ".SHG"));
    EXPECT_FALSE(editor::HasExtension("a.bmp", ".SHG"));
}

TEST(PageMarks, PageListLinesAreByteExact) {
    EXPECT_EQ(editor::PageListHeading(false), "HelpID   T/P Title");
    EXPECT_EQ(editor::PageListHeading(true),
              "HelpID   T/P Title                                              Context String");
    EXPECT_EQ(editor::PageListHeading(true).size(), 64u + 14u);
    EXPECT_EQ(editor::PageListRule(false), std::string(63, '-'));
    EXPECT_EQ(editor::PageListRule(true), std::string(117, '-'));
    EXPECT_EQ(editor::PageListLine(false, 12, "T", "Intro", "ctx"), "12        T  Intro");
    std::string wide = editor::PageListLine(true, 12, "P", "Intro", "ctx_intro");
    EXPECT_EQ(wide, "12        P  Intro" + std::string(59, ' ') + "ctx_intro");
    // Ten digits are not cut and the blank after them stays.
    EXPECT_EQ(editor::PageListLine(false, 1234567890, "T", "Long", ""), "1234567890 T  Long");
    // A long title is not cut either.
    std::string title(70, 'x');
    EXPECT_EQ(editor::PageListLine(true, 1, "T", title, "c"), "1         T  " + title + "c");
}

TEST(PageMarks, ListCodesMacrosAndTargets) {
    const int codes[] = {2, 3, 5, 4, 7, 6, 1};
    for (int i = 0; i < editor::kListChoiceCount; ++i) EXPECT_EQ(editor::ListCodeForChoice(i), codes[i]);
    EXPECT_STREQ(editor::ListChoiceName(3), "Capital Letters");
    EXPECT_EQ(editor::MacroTarget("Exit()"), "!Exit()");
    EXPECT_EQ(editor::MacroTarget("!Exit()"), "!Exit()");
    EXPECT_EQ(editor::ChooseJumpTarget("typed", "ctx", 5), "typed");
    EXPECT_EQ(editor::ChooseJumpTarget("", "ctx", 5), "ctx");
    EXPECT_EQ(editor::ChooseJumpTarget("", "", 5), "5");
    EXPECT_TRUE(editor::IsNumericTarget("120"));
    EXPECT_FALSE(editor::IsNumericTarget("a12"));
    EXPECT_FALSE(editor::IsNumericTarget(""));
}

TEST(PageMarks, GraphicsStartDirectory) {
    testsupport::TempDir tmp;
    std::string prog = tmp.path().string();
    std::filesystem::create_directories(tmp.path() / "art");
    EXPECT_EQ(editor::GraphicsStartDirectory("art", prog), prog + "\\art");
    EXPECT_EQ(editor::GraphicsStartDirectory("missing", prog), prog + "\\pic");
    EXPECT_EQ(editor::GraphicsStartDirectory("", prog), prog + "\\pic");
    EXPECT_EQ(editor::GraphicsStartDirectory("Q:\\nowhere\\at\\all", prog), prog + "\\pic");
}

}  // namespace
