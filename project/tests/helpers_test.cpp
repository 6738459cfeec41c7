#include "project/helpers.h"

#include "converter/shell.h"
#include "platform/core/files.h"
#include "platform/core/ini_file.h"
#include "platform/core/paths.h"
#include "platform/core/dialog_service.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(Helpers, SplitToStringsKeepsEmptyPieces) {
    struct Case {
        const char* text;
        const char* sep;
        std::vector<std::string> pieces;
    };
    const Case cases[] = {
        {"a,b,", ",", {"a", "b", ""}},
        {"", ",", {""}},
        {"one", ",", {"one"}},
        {",x", ",", {"", "x"}},
        {"a;;b", ";;", {"a", "b"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(editor::SplitToStrings(c.text, c.sep), c.pieces) << c.text;
        plat::StringList list;
        list.Add("before");
        editor::SplitToStrings(c.text, c.sep, list);
        EXPECT_EQ(list.Count(), static_cast<int>(c.pieces.size()) + 1);
    }
}

TEST(Helpers, ProjectFolderRule) {
    const std::string prog = "/home/u/tavrin";
    struct Case {
        const char* stored;
        std::string expected;
    };
    const Case cases[] = {
        {"C:\\Help\\Proj", "C:\\Help\\Proj"},
        {"d:/proj", "d:/proj"},
        {"\\srv\\proj", "\\srv\\proj"},
        {"/abs/proj", "/abs/proj"},
        {"Proj", plat::JoinPath(prog, "Proj")},
        {"ab", plat::JoinPath(prog, "ab")},
        {"Sub\\Proj", plat::JoinPath(prog, "Sub\\Proj")},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(editor::ProjectFolder(c.stored, prog), c.expected) << c.stored;
    EXPECT_EQ(editor::ProjectFolderOrProgramDir("", prog), prog);
    EXPECT_EQ(editor::ProjectFolderOrProgramDir("x", prog + "/"), plat::JoinPath(prog, "x"));
}

TEST(Helpers, IsValidFileNameAndDirectoryNameLeaveNothingBehind) {
    testsupport::TempDir tmp;
    const std::string dir = tmp.path().string();
    EXPECT_TRUE(editor::IsValidFileName(dir + "/newname"));
    EXPECT_TRUE(editor::IsValidFileName(dir + "/other.txt"));
    EXPECT_FALSE(editor::IsValidFileName(dir + "/missing/sub/name.txt"));
    EXPECT_TRUE(editor::IsValidDirectoryName(dir + "/a/b/c"));
    EXPECT_TRUE(fs::is_empty(tmp.path()));
    { std::ofstream(tmp / "plain") << "x"; }
    EXPECT_FALSE(editor::IsValidDirectoryName(dir + "/plain/sub"));
    EXPECT_TRUE(editor::IsValidFileName(dir + "/plain"));  // it would be "plain.x"
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator()), 1);
}

TEST(Helpers, EmptyDirectoryKeepsSubfoldersAndFindsTheProjectFile) {
    testsupport::TempDir tmp;
    fs::create_directories(tmp / "sub");
    for (const char* n : {"a.txt", "B.HPJ", "c"}) std::ofstream(tmp / n) << n;
    std::ofstream(tmp / "sub" / "inner.txt") << "in";
    const std::string dir = tmp.path().string();
    EXPECT_EQ(editor::FindHpjFile(dir), plat::JoinPath(dir, "B.HPJ"));
    editor::EmptyDirectory(dir);
    EXPECT_TRUE(fs::is_directory(tmp / "sub"));
    EXPECT_TRUE(fs::exists(tmp / "sub" / "inner.txt"));
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator()), 1);
    EXPECT_EQ(editor::FindHpjFile(dir), "");
}

TEST(Helpers, TruncateFileLastByte) {
    testsupport::TempDir tmp;
    std::ofstream(tmp / "f.hpj", std::ios::binary) << std::string("abc\0", 4);
    EXPECT_TRUE(editor::TruncateFileLastByte((tmp / "f.hpj").string()));
    EXPECT_EQ(ReadAll(tmp / "f.hpj"), "abc");
    EXPECT_FALSE(editor::TruncateFileLastByte((tmp / "none").string()));
}

TEST(Helpers, CopyFileByStreamReplacesTheTargetOnlyWhenComplete) {
    testsupport::TempDir tmp;
    const std::string big(300 * 1024, 'B');
    std::ofstream(tmp / "src", std::ios::binary) << big;
    std::ofstream(tmp / "dst", std::ios::binary) << "old target";
    const std::string src = (tmp / "src").string(), dst = (tmp / "dst").string();

    // Files may grow to 64 KB only: the copy fails part-way.
    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool failed = editor::CopyFileByStream(src, dst);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(failed);
    EXPECT_EQ(ReadAll(tmp / "dst"), "old target");
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator()), 2);

    EXPECT_TRUE(editor::CopyFileByStream(src, dst));
    EXPECT_EQ(ReadAll(tmp / "dst"), big);
    EXPECT_FALSE(editor::CopyFileByStream((tmp / "missing").string(), dst));
    EXPECT_EQ(ReadAll(tmp / "dst"), big);
}

TEST(Helpers, ExecAndWaitAnswersExitCodes) {
    EXPECT_EQ(editor::ExecAndWait({"/bin/true"}), 0);
    EXPECT_EQ(editor::ExecAndWait({"/bin/false"}), 1);
    EXPECT_EQ(editor::ExecAndWait({"/no/such/program"}), -1);
    EXPECT_EQ(editor::ExecAndWait({}), -1);
    // An argument with blanks arrives as one argument.
    EXPECT_EQ(editor::ExecAndWait({"/bin/sh", "-c", "test \"$1\" = \"a b c\" && test $# = 1", "sh", "a b c"}), 0);
}

TEST(Helpers, ShowWarningIsAPlainOkBox) {
    gui::ScriptedDialogService dialogs;
    gui::ScopedDialogService scope(dialogs);
    editor::ShowWarning("Warning", "Something is wrong");
    ASSERT_EQ(dialogs.Requests().size(), 1u);
    EXPECT_EQ(dialogs.Last().caption, "Warning");
    EXPECT_EQ(dialogs.Last().text, "Something is wrong");
    EXPECT_EQ(dialogs.Last().flags, gui::MB_OK);
    EXPECT_EQ(dialogs.Last().icon, gui::DialogIcon::None);
}

TEST(Helpers, ConverterIniHoldsTheTwelveDefaultsWhichTheConverterReads) {
    testsupport::TempDir tmp;
    plat::SetDataHome(tmp.path().string());
    // A language chosen in the converter survives.
    plat::WritePrivateProfileString("Options", "Language", "DEU", editor::ConverterIniPath());
    plat::WritePrivateProfileString("Options", "Toc", "1", editor::ConverterIniPath());
    editor::WriteConverterIni();
    EXPECT_EQ(editor::ConverterIniPath(), plat::JoinPath(plat::WindowsDir(), "Rendlow.ini"));
    EXPECT_EQ(ReadAll(fs::path(plat::WindowsDir()) / "Rendlow.ini"),
              "[Options]\r\nLanguage=DEU\r\nToc=0\r\nForPrint=0\r\nNoShg=0\r\nSplitRtf=0\r\nPageBreak=1\r\n"
              "EwSupport=0\r\nJumps=1\r\nPageLinks=0\r\nIndex=0\r\nBmpInRtf=0\r\nLocalize=0\r\nWordProcessor=1\r\n");
    fs::remove(fs::path(plat::WindowsDir()) / "Rendlow.ini");
    editor::WriteConverterIni();
    EXPECT_EQ(ReadAll(fs::path(plat::WindowsDir()) / "Rendlow.ini"),
              "[Options]\r\nForPrint=0\r\nNoShg=0\r\nSplitRtf=0\r\nPageBreak=1\r\nEwSupport=0\r\nJumps=1\r\n"
              "PageLinks=0\r\nIndex=0\r\nToc=0\r\nBmpInRtf=0\r\nLocalize=0\r\nWordProcessor=1\r\n");
    // The converter's own loader reads back what was written.
    std::size_t count = 0;
    const conv::OptionRow* rows = conv::OptionRows(&count);
    conv::ConversionFlags expected = 0;
    for (std::size_t i = 0; i < count; ++i)
        for (const editor::ConverterIniKey& k : editor::ConverterIniKeys())
            if (std::string(k.key) == rows[i].key && k.defaultValue) expected |= rows[i].bit;
    EXPECT_EQ(conv::LoadOptions(), conv::ApplyModeRule(expected));
    EXPECT_NE(expected, 0u);
    plat::SetDataHome("");
}

}  // namespace
