// Builds end to end with fake compilers and viewer in the program folder:
// the whole project RTF, the compiler's arguments and folder, the viewer or
// the error log, cancel, the meter, the record cache and the partial build.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "helpbuild/build_driver.h"
#include "helpbuild/tests/build_fixture.h"
#include "platform/core/paths.h"

namespace {

using namespace build;
using buildtest::BuildFixture;
namespace fs = std::filesystem;

TEST(BuildDriver, Full32BitBuildWritesTheWholeFileAndShowsTheHelp) {
    BuildFixture f;
    f.AddPage(1, "T", "intro", "One", "Body one", "One");
    f.AddPage(2, "P", "", "Pop", "Pop body", "ignored title");
    ASSERT_EQ(f.Full(), BuildOutcome::Compiled) << f.Messages();
    EXPECT_EQ(f.Read("demo.rtf"),
              f.Head() + "{}\r\n{\\ftnbj }" + BuildFixture::Opener('#') + "1}}\r\n" + BuildFixture::Opener('#') +
                  "intro}}\r\n" + BuildFixture::Opener('$') + "One}}\r\n" + "{\\pard\\plain \\keepn {" +
                  BuildFixture::kPlain + "One}\r\n\\par \\pard }{" + BuildFixture::kPlain + "Body one}\r\n" +
                  "\\page\r\n" + BuildFixture::Opener('#') + "2}}\r\n" + BuildFixture::Opener('$') + "Pop}}\r\n" +
                  "{" + BuildFixture::kPlain + "Pop body}\r\n" + "}");
    // The compiler got native paths as arguments and the project folder as its folder.
    EXPECT_EQ(f.Read("compiler.log"), "hcw /C|/E|" + f.folder + "/demo.HPJ cwd=" + f.folder + "\n");
    EXPECT_EQ(f.WaitAndRead("viewer.log"), f.folder + "/demo.HLP\n");
    EXPECT_EQ(f.helpFiles, (std::vector<std::string>{f.project.fields.projectDir + "\\demo.HLP",
                                                     plat::ProgramDir() + "\\Tavrin.HLP"}));
    EXPECT_TRUE(f.dialogs.Requests().empty()) << f.Messages();
    EXPECT_FALSE(fs::exists(f.Path("demo.rtf.~tmp")));
    EXPECT_FALSE(fs::exists(f.Path("demo.HPJ.~tmp")));
    // Both pages are in the context map.
    EXPECT_NE(f.Read("demo.HPJ").find("[MAP]\r\nintro     1\r\n2     2\r\n\r\n[FILES]\r\n"), std::string::npos);
}

TEST(BuildDriver, Full16BitBuildUsesThe16BitNameAndLeadsWithTheContentsPage) {
    BuildFixture f;
    f.project.fields.compile = "16";
    f.project.fields.autogenerateContents = "Y";
    // Short names only: relative to the program folder.
    f.project.fields.projectDir = "proj";
    f.AddPage(1, "T", "", "First", "a", "");
    f.AddPage(2, "P", "", "Pop", "b", "");
    f.AddPage(3, "T", "third", "Third", "c", "");
    ASSERT_EQ(f.Full(), BuildOutcome::Compiled) << f.Messages();
    const std::string rtf = f.Read("demo16.rtf");
    const std::string contents = "\r\n{\\plain \\b\\f0\\cf2\\fs40 Contents\\par}\r\n"
                                 "{\\b\\f0\\cf2\\fs24 {\\uldb First}{\\v 1}}\\par\r\n"
                                 "{\\b\\f0\\cf2\\fs24 {\\uldb Third}{\\v 3}}\\par\r\n"
                                 "\\page\r\n";
    // Header, contents page, the first record without a page break of its own, "}".
    using B = BuildFixture;
    const std::string body = "{" + B::kPlain;
    EXPECT_EQ(rtf, f.Head() + "{}\r\n{\\ftnbj }" + contents +                                            //
                       B::Opener('#') + "1}}\r\n" + B::Opener('$') + "First}}\r\n" + body + "a}\r\n" +  //
                       "\\page\r\n" + B::Opener('#') + "2}}\r\n" + B::Opener('$') + "Pop}}\r\n" + body +
                       "b}\r\n" + "\\page\r\n" + B::Opener('#') + "3}}\r\n" + B::Opener('#') + "third}}\r\n" +
                       B::Opener('$') + "Third}}\r\n" + body + "c}\r\n" + "}");
    EXPECT_FALSE(fs::exists(f.Path("demo.rtf")));
    EXPECT_TRUE(fs::exists(f.Path("demo16.HPJ")));
    EXPECT_EQ(f.Read("compiler.log"), "hcp " + f.folder + "/demo16.HPJ cwd=" + f.folder + "\n");
    // 16 bit: the help call of the application shows the index, no viewer.
    EXPECT_EQ(f.shownHelp, plat::ProgramDir() + "\\proj\\demo16.HLP 3 0");
    EXPECT_FALSE(fs::exists(f.Path("viewer.log")));
    EXPECT_EQ(f.cntWrites, 0);
}

TEST(BuildDriver, FailedCompileShowsTheWarningAndTheErrorLog) {
    BuildFixture f;
    f.AddPage(1, "T", "", "One", "x", "");
    setenv("TAVRIN_FAKE_HC_FAIL", "1", 1);
    BuildOutcome outcome = f.Full();
    unsetenv("TAVRIN_FAKE_HC_FAIL");
    EXPECT_EQ(outcome, BuildOutcome::CompileFailed);
    ASSERT_EQ(f.dialogs.Requests().size(), 1u);
    EXPECT_EQ(f.dialogs.Last().caption, "Warning");
    EXPECT_EQ(f.dialogs.Last().text, "The Compile was unsuccesful. The Error Log will now be displayed.");
    EXPECT_EQ(f.errorLogs, 1);
    EXPECT_TRUE(fs::exists(f.Path("demo.ERR")));
    EXPECT_FALSE(fs::exists(f.Path("viewer.log")));
}

TEST(BuildDriver, CancelAfterPageTwoRunsNoCompilerAndKeepsTheOldRtf) {
    BuildFixture f;
    for (int id = 1; id <= 4; ++id) f.AddPage(id, "T", "", "P" + std::to_string(id), "text", "");
    testsupport::WriteFileBytes(f.Path("demo.rtf"), "OLD");
    f.cancelAtPercent = static_cast<int>(std::lround(100.0 * 3 / 4 - 3));  // set while page 3 comes up
    EXPECT_EQ(f.Full(), BuildOutcome::Cancelled);
    EXPECT_EQ(f.Read("demo.rtf"), "OLD");
    EXPECT_FALSE(fs::exists(f.Path("demo.rtf.~tmp")));
    EXPECT_FALSE(fs::exists(f.Path("compiler.log")));
    EXPECT_FALSE(fs::exists(f.Path("demo.HPJ")));
    EXPECT_EQ(f.project.prepared, 2);
    EXPECT_FALSE(f.cancelFlag);  // cleared for the next operation
    EXPECT_TRUE(f.dialogs.Requests().empty());
}

TEST(BuildDriver, MeterShowsThreeThenEachPagesShare) {
    BuildFixture f;
    for (int id = 1; id <= 3; ++id) f.AddPage(id, "T", "", "", "t", "");
    ASSERT_EQ(f.Full(), BuildOutcome::Compiled) << f.Messages();
    // round(100 * i / 3 - 3): 30.3, 63.7, 97.
    EXPECT_EQ(f.percents, (std::vector<int>{0, 3, 30, 64, 97}));
    EXPECT_EQ(f.statuses, (std::vector<std::string>{"Parsing Topics...", "Compiling Help File..."}));
}

TEST(BuildDriver, RecordCacheAndPageBreaksFollowTheBuildNotTheRecord) {
    BuildFixture f;
    for (int id = 1; id <= 3; ++id) f.AddPage(id, "T", "", "", "text " + std::to_string(id), "");
    ASSERT_EQ(f.Full(), BuildOutcome::Compiled) << f.Messages();
    EXPECT_EQ(f.project.prepared, 3);
    const std::string first = f.Read("demo.rtf");
    // Stored records carry no page break.
    for (const PageRow& p : f.project.pages) EXPECT_EQ(p.prepared.find("\\page"), std::string::npos);

    // A second build prepares nothing and writes the same file.
    const int reads = f.project.textReads;
    ASSERT_EQ(f.Full(), BuildOutcome::Compiled);
    EXPECT_EQ(f.project.prepared, 3);
    EXPECT_EQ(f.project.textReads, reads);
    EXPECT_EQ(f.Read("demo.rtf"), first);

    // A changed page alone is prepared again.
    f.project.pages[1].titleUserModified = "N";
    f.project.pages[1].helpText = BuildFixture::Memo("changed");
    ASSERT_EQ(f.Full(), BuildOutcome::Compiled);
    EXPECT_EQ(f.project.prepared, 4);
    EXPECT_NE(f.Read("demo.rtf").find("changed"), std::string::npos);

    // Without the first page the cached second record starts the file, with no "\page" before it.
    f.project.pages.erase(f.project.pages.begin());
    ASSERT_EQ(f.Full(), BuildOutcome::Compiled);
    EXPECT_EQ(f.project.prepared, 4);
    const std::string rtf = f.Read("demo.rtf");
    const std::string head = f.Head() + "{}\r\n{\\ftnbj }";
    EXPECT_EQ(rtf.substr(0, head.size() + 20), head + BuildFixture::Opener('#').substr(0, 20));
    EXPECT_EQ(rtf.find("\\page"), rtf.find("\\page\r\n" + BuildFixture::Opener('#') + "3}}"));
}

TEST(BuildDriver, EmptyBodyIsStoredAsTwoBlanks) {
    BuildFixture f;
    f.AddPage(1, "T", "", "", "", "");
    ASSERT_EQ(f.Full(), BuildOutcome::Compiled) << f.Messages();
    EXPECT_EQ(f.project.pages[0].helpText, BuildFixture::Memo("  "));
    EXPECT_NE(f.Read("demo.rtf").find("{" + BuildFixture::kPlain + "  }\r\n}"), std::string::npos);
}

TEST(BuildDriver, PartialBuildWithoutRtfRunsAFullBuildWithoutTheDialog) {
    BuildFixture f;
    f.AddPage(1, "T", "", "One", "x", "");
    ASSERT_EQ(f.Partial(), BuildOutcome::Compiled) << f.Messages();
    EXPECT_EQ(f.optionDialogs, 0);
    EXPECT_TRUE(fs::exists(f.Path("demo.rtf")));
    EXPECT_EQ(f.Read("demo.HPJ").find("CONTENTS=Index"), std::string::npos);

    // With the RTF there: a fresh partial project file over the same RTF.
    const std::string rtf = f.Read("demo.rtf");
    f.AddPage(2, "P", "pop", "", "y", "");
    ASSERT_EQ(f.Partial(), BuildOutcome::Compiled) << f.Messages();
    EXPECT_EQ(f.Read("demo.rtf"), rtf);
    EXPECT_NE(f.Read("demo.HPJ").find("[OPTIONS]\r\nCONTENTS=Index\r\n"), std::string::npos);
    EXPECT_NE(f.Read("demo.HPJ").find("1     1\r\npop     2\r\n"), std::string::npos);
}

TEST(BuildDriver, OptionsDialogCancelledDoesNothing) {
    BuildFixture f;
    f.AddPage(1, "T", "", "One", "x", "");
    f.optionsAnswer = false;
    EXPECT_EQ(f.Full(true), BuildOutcome::Refused);
    EXPECT_EQ(f.optionDialogs, 1);
    EXPECT_FALSE(fs::exists(f.Path("demo.rtf")));
    f.optionsAnswer = true;
    EXPECT_EQ(f.Full(true), BuildOutcome::Compiled);
}

TEST(BuildDriver, ContentsFileIsWrittenBeforeA32BitCompileOnly) {
    BuildFixture f;
    f.project.fields.autoGenerateCntFile = "Y";
    f.project.fields.autogenerateContents = "Y";
    f.AddPage(1, "T", "intro", "One", "x", "");
    f.AddPage(2, "T", "", "Two", "y", "");
    f.AddPage(3, "P", "", "Pop", "z", "");
    ASSERT_EQ(f.Full(), BuildOutcome::Compiled) << f.Messages();
    EXPECT_EQ(f.cntWrites, 1);
    // The compiler found the contents file when it ran.
    EXPECT_NE(f.Read("compiler.log").find(" cnt\n"), std::string::npos);
    // 32 bit: the automatic contents are rows, not a page.
    ASSERT_EQ(f.project.contents.size(), 3u);
    EXPECT_EQ(f.project.contents[0].title, "Contents");
    EXPECT_EQ(f.project.contents[0].entryType, "H");
    EXPECT_EQ(f.project.contents[1].jump, "intro");
    EXPECT_EQ(f.project.contents[2].jump, "2");
    EXPECT_EQ(f.project.contents[2].sequence, 3);
    EXPECT_EQ(f.project.contents[2].level, 2);
    EXPECT_EQ(f.Read("demo.rtf").find("Contents\\par"), std::string::npos);

    // No hook installed: nothing to write, the build goes on.
    f.env.writeCntFile = nullptr;
    EXPECT_EQ(f.Full(), BuildOutcome::Compiled);
}

TEST(BuildDriver, APageRowThatCannotBeSavedStopsTheBuildAndKeepsTheOldRtf) {
    BuildFixture f;
    f.AddPage(1, "T", "", "One", "x", "");
    testsupport::WriteFileBytes(f.Path("demo.rtf"), "OLD");
    f.project.storeFails = true;
    EXPECT_EQ(f.Full(), BuildOutcome::Failed);
    EXPECT_EQ(f.Messages(), "Warning: The build was stopped: the page row cannot be saved\n");
    EXPECT_EQ(f.Read("demo.rtf"), "OLD");
    EXPECT_FALSE(fs::exists(f.Path("demo.rtf.~tmp")));
    EXPECT_FALSE(fs::exists(f.Path("compiler.log")));
}

TEST(BuildDriver, AProjectFolderTooLongForTheProjectFileRefusesTheBuildBeforeAnythingIsWritten) {
    BuildFixture f(std::string(240, 'p'));
    f.AddPage(1, "T", "", "One", "x", "");
    EXPECT_EQ(f.Full(), BuildOutcome::Refused);
    ASSERT_EQ(f.dialogs.Requests().size(), 1u);
    EXPECT_NE(f.dialogs.Last().text.find("its ERRORLOG line would be longer than 255 characters"), std::string::npos);
    EXPECT_TRUE(f.percents.empty());  // no progress window
    EXPECT_FALSE(fs::exists(f.Path("demo.rtf")));
    EXPECT_EQ(f.project.prepared, 0);
}

TEST(BuildDriver, ProjectFolderWithBlanksCompiles) {
    BuildFixture f("my help project");
    f.AddPage(1, "T", "", "One", "x", "");
    ASSERT_EQ(f.Full(), BuildOutcome::Compiled) << f.Messages();
    EXPECT_EQ(f.Read("compiler.log"), "hcw /C|/E|" + f.folder + "/demo.HPJ cwd=" + f.folder + "\n");
}

TEST(BuildDriver, OldHelpFileAndIndexCacheGoBeforeTheRun) {
    BuildFixture f;
    f.AddPage(1, "T", "", "One", "x", "");
    testsupport::WriteFileBytes(f.Path("demo.GID"), "cache");
    testsupport::WriteFileBytes(f.Path("demo.hlp"), "old");
    setenv("TAVRIN_FAKE_HC_FAIL", "1", 1);
    BuildOutcome outcome = f.Full();
    unsetenv("TAVRIN_FAKE_HC_FAIL");
    EXPECT_EQ(outcome, BuildOutcome::CompileFailed);
    EXPECT_FALSE(fs::exists(f.Path("demo.GID")));
    EXPECT_FALSE(fs::exists(f.Path("demo.hlp")));
}

TEST(BuildDriver, CompilerThatCannotStartGetsItsOwnWarning) {
    BuildFixture f;
    f.AddPage(1, "T", "", "One", "x", "");
    ASSERT_EQ(f.Full(), BuildOutcome::Compiled);
    // The partial build does not check for the compiler first; a file the
    // system cannot run is not a missing compiler.
    fs::permissions(fs::path(plat::ProgramDir()) / "hcw", fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(f.Partial(), BuildOutcome::CompilerMissing);
    ASSERT_EQ(f.dialogs.Requests().size(), 1u);
    EXPECT_NE(f.dialogs.Last().text.find("The help compiler HCW.EXE could not be started."), std::string::npos);
    EXPECT_EQ(f.errorLogs, 0);
}

// The partial build without a compiler: a fresh project file (and the
// contents file of a 32-bit project) over the RTF of an earlier build, and
// the box that says where they are; the old RTF is not touched.
TEST(BuildDriver, PartialBuildWithoutTheCompilerWritesTheProjectFileAndSaysWhere) {
    struct Case {
        bool sixteen;
        std::string base, files, tool;
    } cases[] = {{false, "demo", "demo.HPJ, demo.cnt.", "HCW.EXE"}, {true, "demo16", "demo16.HPJ.", "HCP.EXE"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.base);
        BuildFixture f;
        f.baseName = "demo";
        f.project.fields.autoGenerateCntFile = "Y";
        if (c.sixteen) {
            f.project.fields.compile = "16";
            f.project.fields.projectDir = "proj";  // short names only
        }
        f.AddPage(1, "T", "intro", "One", "x", "");
        f.AddPage(2, "P", "pop", "Pop", "y", "");
        testsupport::WriteFileBytes(f.Path(c.base + ".rtf"), "{\\rtf1 earlier}");
        fs::remove(f.home / "HCP.EXE");
        fs::remove(f.home / "hcw");

        EXPECT_EQ(f.Partial(), BuildOutcome::NotCompiled) << f.Messages();
        EXPECT_EQ(f.Read(c.base + ".rtf"), "{\\rtf1 earlier}");
        const std::string hpj = f.Read(c.base + ".HPJ");
        EXPECT_EQ(hpj.rfind("[OPTIONS]\r\nCONTENTS=Index\r\n", 0), 0u) << hpj;
        EXPECT_NE(hpj.find("[MAP]\r\nintro     1\r\npop     2\r\n"), std::string::npos) << hpj;
        EXPECT_EQ(f.cntWrites, c.sixteen ? 0 : 1);
        EXPECT_FALSE(fs::exists(f.Path("compiler.log")));
        EXPECT_EQ(f.errorLogs, 0);
        ASSERT_EQ(f.dialogs.Requests().size(), 1u) << f.Messages();
        const std::string& text = f.dialogs.Last().text;
        EXPECT_NE(text.find("No help compiler is installed, so no help file was made. The compiler's input was "
                            "written to " + f.folder + ": " + c.files),
                  std::string::npos)
            << text;
        EXPECT_NE(text.find(c.tool), std::string::npos) << text;
    }
}

}  // namespace

// A killed build leaves its temporary files beside the project's; the next
// build of the project clears them, however it ends.
TEST(BuildDriver, TemporaryFilesAKilledBuildLeftAreClearedByTheNext) {
    struct Case {
        const char* what;
        bool storeFails;
        BuildOutcome outcome;
    };
    const Case cases[] = {
        {"the next build compiles", false, BuildOutcome::Compiled},
        {"the next build is stopped by a page row", true, BuildOutcome::Failed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BuildFixture f;
        f.AddPage(1, "T", "", "One", "x", "");
        for (const char* stale : {"demo.rtf.~tmp", "demo.HPJ.~tmp", "demo.cnt.~tmp"})
            testsupport::WriteFileBytes(f.Path(stale), "left by a killed build");
        testsupport::WriteFileBytes(f.Path("notes.txt.~tmp"), "not the build's");
        f.project.storeFails = c.storeFails;
        EXPECT_EQ(f.Full(), c.outcome) << f.Messages();
        for (const char* stale : {"demo.rtf.~tmp", "demo.HPJ.~tmp", "demo.cnt.~tmp"})
            EXPECT_FALSE(fs::exists(f.Path(stale))) << stale;
        EXPECT_EQ(f.Read("notes.txt.~tmp"), "not the build's");
    }
}
