// Reading the converted help project file: options, window colours, map, files.
#include <gtest/gtest.h>

#include "helpbuild/import_hpj.h"

namespace {

using build::FilesEntry;

TEST(ImportHpj, SectionLinesEndAtCrLfAndCrLf) {
    const auto section = build::HpjSection("[OPTIONS]\ra\rb\nc\r\n\r\nd\r\n[MAP]\r\nx", "options");
    ASSERT_TRUE(section.has_value());
    EXPECT_EQ(*section, (std::vector<std::string>{"a", "b", "c", "", "d"}));
    EXPECT_EQ(build::HpjValue("[OPTIONS]\rTITLE=Lone CR\rCOPYRIGHT=x", "OPTIONS", "Title"), "Lone CR");
}

TEST(ImportHpj, OptionsInAnyCaseWithDefaults) {
    struct Case {
        const char* hpj;
        const char* path;
        const char* title;
        const char* file;
        const char* dir;
        const char* graphics;
        const char* copyright;
        const char* contents;
    } cases[] = {
        // The converter writes a lower-case section head and "CopyRight".
        {"[options]\r\nCompress=FALSE\r\nTitle=Drop Files Help\r\nContents=8a4onl\r\nCopyRight=(c) 1998\r\n\r\n[Map]\r\n",
         "/tmp/~KqTemp/PJDropFiles.HPJ", "Drop Files Help", "PJDropFiles", "/prog/PJDropFiles",
         "/prog/PJDropFiles/Graphics", "(c) 1998", "8a4onl"},
        // HLP and BMROOT win over the defaults; keys in any case.
        // (HLP's base name: the build adds the extensions.)
        {"[OPTIONS]\nhlp=demo32.hlp\nbmroot=C:\\pics\ntitle = Spaced \n", "/t/demo.hpj", "Spaced", "demo32",
         "/prog/demo", "C:\\pics", "", ""},
        // HLP with a folder, as the corpus projects write it.
        {"[OPTIONS]\r\nHLP=.\\PJDropFiles.hlp\r\n", "/t/PJDropFiles.hpj", "", "PJDropFiles", "/prog/PJDropFiles",
         "/prog/PJDropFiles/Graphics", "", ""},
        {"[OPTIONS]\nHLP=..\\out/Eudora.hlp\n", "/t/Eudora.hpj", "", "Eudora", "/prog/Eudora", "/prog/Eudora/Graphics", "", ""},
        // No [OPTIONS]: everything from the file name; a second extension goes.
        {"[MAP]\nx 1\n", "/t/a.b.hpj", "", "a.b", "/prog/a", "/prog/a/Graphics", "", ""},
        // Keys of another section are not options.
        {"[WINDOWS]\nTitle=No\n[OPTIONS]\nCOPYRIGHT=Me\n", "/t/X.HPJ", "", "X", "/prog/X", "/prog/X/Graphics", "Me", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hpj);
        build::ConvertedOptions o = build::ReadConvertedOptions(c.hpj, c.path, "/prog");
        EXPECT_EQ(o.helpTitle, c.title);
        EXPECT_EQ(o.fileName, c.file);
        EXPECT_EQ(o.directory, c.dir);
        EXPECT_EQ(o.graphicsDir, c.graphics);
        EXPECT_EQ(o.copyright, c.copyright);
        EXPECT_EQ(o.contents, c.contents);
    }
    // A program folder written the Win32 way gets backslashes.
    EXPECT_EQ(build::ReadConvertedOptions("", "C:\\t\\h.hpj", "C:\\Prog").directory, "C:\\Prog\\h");
}

TEST(ImportHpj, WindowColoursByFields) {
    struct Case {
        const char* hpj;
        std::uint32_t scroll, nonscroll;
    } cases[] = {
        {"[OPTIONS]\nTitle=x\n", 0xFFFFFF, 0xFFFFFF},                                       // no section
        {"[WINDOWS]\nmain=\"Help\",(0,0,1023,1023),0,(255,255,219),(192,192,192)\n", 0xDBFFFF, 0xC0C0C0},
        {"[Windows]\nmain=,(133,0,419,348),,,\n", 0xFFFFFF, 0xFFFFFF},                     // no colours
        {"[windows]\nmain=\"A, B (C)\",(1,2,3,4),1,(0,0,128),(128,0,0)\n", 0x800000, 0x000080},  // caption with comma
        {"[WINDOWS]\nmain=Caption,,0,(r255),(x16711680)\n", 255, 0xFF0000},                // one part; no position group
        {"[WINDOWS]\nmain=Caption\n", 0xFFFFFF, 0xFFFFFF},                                  // caption only
        {"[WINDOWS]\nmain=,(1,2,3,4),0,(300,0,0),(1,2)\n", 0xFFFFFF, 0xFFFFFF},            // bad numbers keep white
        {"[WINDOWS]\n\nmain=,(1,2,3,4),0,(1,2,3)\n(sec)=,,,(9,9,9),(9,9,9)\n", 0x030201, 0xFFFFFF},  // first window only
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hpj);
        build::WindowColours w = build::ReadWindowColours(c.hpj);
        EXPECT_EQ(w.scroll, c.scroll);
        EXPECT_EQ(w.nonscroll, c.nonscroll);
    }
}

TEST(ImportHpj, MapLines) {
    const char* hpj =
        "[MAP]\r\n"
        "#define z1er 98776\r\n"
        "#DEFINE Upper 12\r\n"
        "#define lower\t\t13\r\n"
        "tabbed\t14\r\n"
        "  spaced    15  \r\n"
        "#include <other.h>\r\n"
        "#include other.h 16\r\n"
        "bad x17\r\n"
        "#define missing\r\n"
        "; comment 18\r\n"
        "\r\n"
        "hex 0x20\r\n"
        "neg -5\r\n"
        "[FILES]\r\n"
        "after 99\r\n";
    std::vector<build::ContextMapEntry> map = build::ReadHpjMap(hpj);
    std::vector<std::pair<std::string, int>> got;
    for (const auto& m : map) got.emplace_back(m.contextString, m.helpId);
    EXPECT_EQ(got, (std::vector<std::pair<std::string, int>>{
                       {"z1er", 98776}, {"Upper", 12}, {"lower", 13}, {"tabbed", 14}, {"spaced", 15}, {"hex", 32}, {"neg", -5}}));
    EXPECT_TRUE(build::ReadHpjMap("[OPTIONS]\nTitle=x\n").empty());
}

TEST(ImportHpj, FilesSection) {
    struct Case {
        const char* hpj;
        FilesEntry::Status status;
        const char* name;
    } cases[] = {
        {"[Files]\r\nPJDropFiles.RTF\r\n", FilesEntry::Status::Found, "PJDropFiles.RTF"},
        {"[FILES]\n\n  topics.rtf  \nsecond.rtf\n", FilesEntry::Status::Found, "topics.rtf"},
        {"[FILES]\ntopics.doc\n", FilesEntry::Status::NotRtf, ""},
        {"[FILES]\n[MAP]\n", FilesEntry::Status::NotRtf, ""},
        {"[OPTIONS]\n", FilesEntry::Status::NoSection, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hpj);
        FilesEntry e = build::ReadHpjFiles(c.hpj);
        EXPECT_EQ(e.status, c.status);
        EXPECT_EQ(e.name, c.name);
    }
}

TEST(ImportHpj, Integers) {
    EXPECT_EQ(build::ReadInteger(" 42 "), 42);
    EXPECT_EQ(build::ReadInteger("$FF"), 255);
    EXPECT_EQ(build::ReadInteger("0x80000000"), INT32_MIN);
    EXPECT_EQ(build::ReadInteger("-2140535832"), -2140535832);
    EXPECT_FALSE(build::ReadInteger("3000000000"));
    EXPECT_FALSE(build::ReadInteger("12a"));
    EXPECT_FALSE(build::ReadInteger(""));
    EXPECT_FALSE(build::ReadInteger("Unknown"));
}

}  // namespace
