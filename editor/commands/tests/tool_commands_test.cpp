// The outside-program commands with a fake program that logs its argument
// vector: paths with blanks arrive whole, the converter's exit code counts,
// the converter's settings return to their defaults, missing programs warn.
#include <functional>

#include "editor/commands/tests/commands_fixture.h"
#include "editor/commands/tool_commands.h"
#include "project/helpers.h"
#include "platform/core/paths.h"
#include "richtext/view/rtf_text_io.h"
#include "tests/support/test_support.h"

namespace {

using namespace cmdtest;
using editor::ToolResult;

struct Tools : CommandsFixture {
    editor::ToolUi ui;
    std::string hlp;
    Tools() {
        hlp = folder + "/demo.HLP";
        Write(hlp, "help file");
    }
    std::map<std::string, std::string> ConverterIni() {
        plat::TIniFile ini(editor::ConverterIniPath());
        std::map<std::string, std::string> v;
        for (const auto& k : editor::ConverterIniKeys()) v[k.key] = ini.ReadString("Options", k.key, "?");
        return v;
    }
    void ExpectConverterDefaults() {
        auto v = ConverterIni();
        for (const auto& k : editor::ConverterIniKeys()) EXPECT_EQ(v[k.key], std::to_string(k.defaultValue)) << k.key;
    }
};

TEST_F(Tools, ConverterExitCodeDecidesTheQuestionAndTheDefaultsComeBack) {
    Install(home.Path("Rendlow32"));
    ctx->ConverterPresent = true;
    editor::RtfDocumentOptions seen;
    bool first = true;
    // Remove underlines off, so Jumps goes to the converter as 1 during the run.
    ui.showDocDialog = [&](editor::RtfDocumentOptions& o) {
        if (first) seen = o;
        first = false;
        o.removeUnderlines = false;
        o.createToc = true;
        return true;
    };
    struct Case {
        const char* exitCode;
        ToolResult result;
        bool asked;
    } cases[] = {{"2", ToolResult::Done, true}, {"1", ToolResult::Failed, false}};
    for (const Case& c : cases) {
        dialogs.Clear();
        fs::remove(log);
        ::setenv("TAVRIN_FAKE_EXIT", c.exitCode, 1);
        dialogs.Answer(gui::IDNO);
        EXPECT_EQ(editor::ConvertHelpFileToRtf(*ctx, ui), c.result) << c.exitCode;
        auto starts = Starts();
        ASSERT_EQ(starts.size(), 1u);
        EXPECT_EQ(starts[0][0], "Rendlow32");
        EXPECT_EQ(fs::path(starts[0][1]), fs::canonical(folder));
        ASSERT_EQ(starts[0].size(), 3u);
        EXPECT_EQ(starts[0][2], hlp);
        ASSERT_NE(LastBox(), nullptr);
        if (c.asked) {
            EXPECT_EQ(LastBox()->caption, "Load Rtf Document?");
            EXPECT_EQ(LastBox()->text, "Do you wish to load this Rtf Document in your favorite Word Processor now?");
        } else {
            EXPECT_EQ(LastBox()->caption, "Warning");
            for (const auto& r : dialogs.Requests()) EXPECT_NE(r.caption, "Load Rtf Document?");
        }
        ExpectConverterDefaults();
    }
    EXPECT_TRUE(seen.removeUnderlines);
    // The choices are remembered for the next time.
    auto o = editor::ReadRtfDocumentOptions(home.Path("Tavrin.ini"));
    EXPECT_FALSE(o.removeUnderlines);
    EXPECT_TRUE(o.createToc);
}

TEST_F(Tools, ConverterSeesTheChosenOptionsWhileItRuns) {
    // A converter that copies its settings file into the project folder.
    const std::string script = home.Path("Rendlow32");
    Write(script, "#!/bin/sh\ncp \"" + plat::NativePath(editor::ConverterIniPath()) + "\" ./seen.ini\nexit 2\n");
    fs::permissions(script, fs::perms::owner_all);
    ctx->ConverterPresent = true;
    ui.showDocDialog = [](editor::RtfDocumentOptions& o) {
        o.removeUnderlines = true;
        o.createPageBreaks = true;
        o.graphicsIn = false;
        return true;
    };
    dialogs.Answer(gui::IDNO);
    EXPECT_EQ(editor::ConvertHelpFileToRtf(*ctx, ui), ToolResult::Done);
    plat::TIniFile seen(folder + "/seen.ini");
    EXPECT_EQ(seen.ReadString("Options", "ForPrint", ""), "1");
    EXPECT_EQ(seen.ReadString("Options", "Jumps", ""), "0");  // underlines removed: no hot-spot look
    EXPECT_EQ(seen.ReadString("Options", "PageBreak", ""), "1");
    EXPECT_EQ(seen.ReadString("Options", "BmpInRtf", ""), "0");
    ExpectConverterDefaults();
}

TEST_F(Tools, ConverterRefusalsAndAMissingConverter) {
    ctx->ConverterPresent = true;
    fs::remove(hlp);
    EXPECT_EQ(editor::ConvertHelpFileToRtf(*ctx, ui), ToolResult::Refused);
    EXPECT_EQ(LastBox()->text, "Please compile your Help project first. There is no help file to process.");
    Write(hlp, "help file");
    ui.showDocDialog = [](editor::RtfDocumentOptions&) { return false; };
    EXPECT_EQ(editor::ConvertHelpFileToRtf(*ctx, ui), ToolResult::Cancelled);
}

TEST_F(Tools, OutsideProgramsGetTheirArgumentVectors) {
    const std::string paint = Install(home.Path("tools dir/my paint"));
    const std::string word = Install(home.Path("tools dir/word proc"));
    const std::string kwgen = Install(home.Path("tools dir/kwgen.exe"));
    const std::string viewer = Install(home.Path("tools dir/text viewer"));
    ::setenv("RENDLOW_VIEWER", viewer.c_str(), 1);
    Write(folder + "/demo.ERR", "error 1\n");
    SetPaths("PaintPackage", paint);
    SetPaths("WordProcessor", word);
    Write(folder + "/demo.rtf", "{\\rtf1}");
    Write(folder + "/demo.hpj", "[OPTIONS]");
    ctx->Settings.DelphiKwgen = kwgen;

    EXPECT_EQ(editor::StartPaintPackage(*ctx), ToolResult::Started);
    EXPECT_EQ(editor::StartWordProcessor(*ctx), ToolResult::Started);
    EXPECT_EQ(editor::GenerateKeywordFile(*ctx, ui), ToolResult::Started);
    EXPECT_EQ(editor::ShowErrorLog(*ctx), ToolResult::Started);
    ::unsetenv("RENDLOW_VIEWER");
    auto starts = Starts(4);
    ASSERT_EQ(starts.size(), 4u);
    std::map<std::string, std::vector<std::string>> byName;
    for (auto& s : starts) byName[s[0]] = std::vector<std::string>(s.begin() + 2, s.end());
    EXPECT_EQ(byName["my paint"], std::vector<std::string>{});
    EXPECT_EQ(byName["word proc"], std::vector<std::string>{folder + "/demo.rtf"});
    EXPECT_EQ(byName["kwgen.exe"], (std::vector<std::string>{folder + "/demo.hpj", folder + "/demo.kwf"}));
    EXPECT_EQ(byName["text viewer"], std::vector<std::string>{folder + "/demo.ERR"});
    EXPECT_EQ(dialogs.Requests().size(), 0u);
}

TEST_F(Tools, MissingProgramsAndSettingsWarn) {
    SetPaths("PaintPackage", home.Path("no such paint"));
    EXPECT_EQ(editor::StartPaintPackage(*ctx), ToolResult::NotStarted);
    EXPECT_EQ(LastBox()->text, "Could not start " + home.Path("no such paint") + ".");
    EXPECT_EQ(editor::StartWordProcessor(*ctx), ToolResult::Refused);
    EXPECT_EQ(LastBox()->caption, "No Word Processor selected");
    EXPECT_EQ(editor::StartShed(*ctx), ToolResult::Refused);
    EXPECT_EQ(LastBox()->text, "Could not find the SHED.EXE file. Please place it in your Tavrin directory.");
    EXPECT_EQ(editor::GenerateKeywordFile(*ctx, ui), ToolResult::Refused);
    EXPECT_EQ(LastBox()->text, "You need to Compile your Project first, before you can generate a keyword file.");
    // A remembered generator that is gone is forgotten, and the user is asked.
    Write(folder + "/demo.hpj", "[OPTIONS]");
    ctx->Settings.DelphiKwgen = home.Path("gone/kwgen.exe");
    std::string offered;
    ui.chooseKwgen = [&](std::string& p) {
        offered = p;
        p = home.Path("elsewhere/kwgen.exe");
        return true;
    };
    EXPECT_EQ(editor::GenerateKeywordFile(*ctx, ui), ToolResult::Refused);
    EXPECT_EQ(offered, "kwgen.exe");
    EXPECT_EQ(LastBox()->text, home.Path("elsewhere/kwgen.exe") + " not found.");
    EXPECT_EQ(ctx->Settings.DelphiKwgen, "");
}

// The error log opens through the desktop's viewer (RENDLOW_VIEWER, the
// RtfViewer key of Rendlow.ini, else xdg-open), never a Windows program; a
// log that cannot be shown gives a box naming the file and the reason.
TEST_F(Tools, TheErrorLogOpensInTheViewerOrTheBoxSaysWhyNot) {
    const std::string viewer = Install(home.Path("tools dir/text viewer"));
    ::setenv("RENDLOW_VIEWER", viewer.c_str(), 1);
    // A 16-bit build's log carries the 16-bit name.
    Write(folder + "/demo16.ERR", "error 1\n");
    ctx->mainTable->Edit();
    ctx->mainTable->FieldByName("Compile")->SetAsString("16");
    ctx->mainTable->FieldByName("16bitName")->SetAsString("demo16");
    ctx->mainTable->Post();
    EXPECT_EQ(editor::ShowErrorLog(*ctx), ToolResult::Started);
    auto starts = Starts();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0][0], "text viewer");
    EXPECT_EQ(std::vector<std::string>(starts[0].begin() + 2, starts[0].end()),
              std::vector<std::string>{folder + "/demo16.ERR"});
    EXPECT_TRUE(dialogs.Requests().empty());

    const std::string path = ::getenv("PATH") ? ::getenv("PATH") : "";
    const std::string emptyDir = home.Path("no programs");
    fs::create_directories(emptyDir);
    struct Case {
        const char* name;
        std::function<void()> setUp;
        std::string reason;
    } cases[] = {
        {"the configured viewer is gone",
         [&] { ::setenv("RENDLOW_VIEWER", home.Path("gone viewer").c_str(), 1); },
         "the viewer " + home.Path("gone viewer") + " could not be started."},
        {"no viewer on the system",
         [&] {
             ::unsetenv("RENDLOW_VIEWER");
             ::setenv("PATH", emptyDir.c_str(), 1);
         },
         "no program is set up to show text files."},
        {"no log yet", [&] { fs::remove(folder + "/demo16.ERR"); },
         "there is no such file. The help compiler writes it when a compile fails."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ::setenv("RENDLOW_VIEWER", viewer.c_str(), 1);
        fs::remove(log);
        dialogs.Clear();
        c.setUp();
        const ToolResult result = editor::ShowErrorLog(*ctx);
        ::setenv("PATH", path.c_str(), 1);
        EXPECT_EQ(result, ToolResult::NotStarted);
        ASSERT_EQ(dialogs.Requests().size(), 1u);
        EXPECT_EQ(LastBox()->text, "Could not open the error log " + folder + "/demo16.ERR: " + c.reason);
        EXPECT_FALSE(fs::exists(log));
    }
    ::unsetenv("RENDLOW_VIEWER");
}

TEST_F(Tools, ShedStartsInThePicturesFolder) {
    Install(home.Path("SHED.EXE"));
    fs::create_directories(home.Path("pics"));
    ctx->mainTable->Edit();
    ctx->mainTable->FieldByName("GraphicsDir")->SetAsString("pics");
    ctx->mainTable->Post();
    const std::string before = fs::current_path().string();
    EXPECT_EQ(editor::StartShed(*ctx), ToolResult::Started);
    auto starts = Starts();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(fs::path(starts[0][1]), fs::canonical(home.Path("pics")));
    EXPECT_EQ(fs::current_path().string(), before);
}

TEST_F(Tools, CopyHelpFileSavesTheChoiceAndCopies) {
    const std::string target = home.Path("out dir/demo.HLP");
    fs::create_directories(home.Path("out dir"));
    editor::CopyToState shown;
    ui.showCopyToDialog = [&](editor::CopyToState& s) {
        shown = s;
        s.path = target;
        s.overwrite = true;
        return true;
    };
    EXPECT_EQ(editor::CopyHelpFileTo(*ctx, ui), ToolResult::Done);
    EXPECT_EQ(shown.heading, "Copy demo.HLP to");
    EXPECT_FALSE(shown.overwriteVisible);
    EXPECT_EQ(testsupport::ReadFileBytes(target), "help file");
    EXPECT_EQ(ctx->mainTable->FieldByName("CopyToDir")->AsString(), target);
    EXPECT_EQ(ctx->mainTable->FieldByName("CopyToDirOverwrite")->AsString(), "Y");
    EXPECT_EQ(editor::CopyHelpFileTo(*ctx, ui), ToolResult::Done);
    EXPECT_TRUE(shown.overwriteVisible);
    EXPECT_TRUE(shown.overwrite);

    // The dialog's OK on an existing target: asks unless " Overwrite?" is on.
    bool overwrite = false;
    dialogs.Answer(gui::mrCancel);
    EXPECT_FALSE(editor::CopyToAccepted(target, overwrite));
    EXPECT_EQ(LastBox()->text, "Overwrite existing file? ");
    dialogs.Answer(gui::mrYes);
    EXPECT_TRUE(editor::CopyToAccepted(target, overwrite));
    EXPECT_TRUE(overwrite);
    EXPECT_TRUE(editor::CopyToAccepted(home.Path("out dir/new.HLP"), overwrite = false));

    fs::remove(hlp);
    EXPECT_EQ(editor::CopyHelpFileTo(*ctx, ui), ToolResult::Refused);
    EXPECT_EQ(LastBox()->text, "Please compile your Help project first. There is no help file to copy.");
}

TEST_F(Tools, TheRealConverterWritesADocumentOurReaderLoads) {
    TAVRIN_REQUIRE_CORPUS();
    fs::copy_file(RENDLOW32_PROGRAM, home.Path("Rendlow32"));
    fs::copy_file(testsupport::CorpusFile("hlp/DEMIST.HLP"), hlp, fs::copy_options::overwrite_existing);
    ctx->ConverterPresent = true;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    dialogs.Answer(gui::IDNO);
    EXPECT_EQ(editor::ConvertHelpFileToRtf(*ctx, ui), ToolResult::Done);
    // The converter names its document after the help file, letter case aside.
    const std::string rtfPath = plat::NativePath(folder + "/demo.rtf");
    ASSERT_TRUE(fs::exists(rtfPath));
    richtext::TJDRTFTextIo engine;
    engine.LoadFromFile(rtfPath);
    int paragraphs = 0;
    for (richtext::TParagraph* p = engine.FirstParagraph(); p; p = p->next) ++paragraphs;
    EXPECT_GT(paragraphs, 10);
    ExpectConverterDefaults();
}

}  // namespace

namespace {

// Records the meter and cancels when asked to at a given call.
struct MeterProgress : build::IProgress {
    std::vector<int>* percents;
    bool* cancel;
    int cancelAt;
    MeterProgress(std::vector<int>* p, bool* c, int at) : percents(p), cancel(c), cancelAt(at) {}
    void SetStatus(const std::string&) override {}
    void SetPercent(int p) override {
        percents->push_back(p);
        if (cancelAt >= 0 && static_cast<int>(percents->size()) == cancelAt) *cancel = true;
    }
    void Show() override {}
    void ProcessMessages() override {}
    bool CancelRequested() const override { return *cancel; }
    void ClearCancel() override { *cancel = false; }
};

struct Printable : Tools {
    std::vector<int> percents;
    bool cancel = false;
    std::string status;
    Printable() {
        ctx->ConverterPresent = false;
        // The build's checks run first, the compiler's presence among them.
        Install(home.Path("hcw"));
        for (int id : {1000, 2000, 3000, 4000}) {
            db::TDataSet* d = ctx->detailTable;
            d->Append();
            d->FieldByName("HelpId")->SetAsInteger(id);
            d->FieldByName("TopicPopup")->SetAsString("T");
            d->FieldByName("Title")->SetAsString("Page " + std::to_string(id));
            d->FieldByName("HelpText")->SetAsString("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\plain body " +
                                                    std::to_string(id) + "\\par}");
            d->Post();
        }
        ui.setStatusText = [this](const std::string& s) { status = s; };
    }
    void Progress(int cancelAt) {
        ui.createProgress = [this, cancelAt]() -> std::unique_ptr<build::IProgress> {
            return std::make_unique<MeterProgress>(&percents, &cancel, cancelAt);
        };
    }
};

TEST_F(Printable, WithoutTheConverterTheDocumentIsWrittenWholeOrNotAtAll) {
    Progress(-1);
    EXPECT_EQ(editor::ConvertHelpFileToRtf(*ctx, ui), ToolResult::Done);
    EXPECT_EQ(status, "Rtf file generated.");
    // Meter: 0, 3, then round(100 x done / pages) - 3 but at least 0 per page.
    EXPECT_EQ(percents, (std::vector<int>{0, 3, 0, 22, 47, 72, 100}));
    const std::string rtf = testsupport::ReadFileBytes(folder + "/demo.rtf");
    EXPECT_EQ(rtf.back(), '}');
    richtext::TJDRTFTextIo engine;
    engine.LoadFromFile(folder + "/demo.rtf");
    int breaks = 0;
    for (richtext::TParagraph* p = engine.FirstParagraph(); p; p = p->next)
        if (p->flags & richtext::kParPageBreak) ++breaks;
    EXPECT_EQ(breaks, 3);
    for (const char* body : {"body 1000", "body 4000"}) EXPECT_NE(rtf.find(body), std::string::npos);
    for (const auto& e : fs::directory_iterator(folder))
        EXPECT_EQ(e.path().filename().string().find("~tmp"), std::string::npos);
}

TEST_F(Printable, ACancelledRunLeavesNoFileAndKeepsTheOldDocument) {
    Write(folder + "/demo.rtf", "OLD");
    Progress(4);  // cancel after the second page's meter
    EXPECT_EQ(editor::ConvertHelpFileToRtf(*ctx, ui), ToolResult::Cancelled);
    EXPECT_EQ(testsupport::ReadFileBytes(folder + "/demo.rtf"), "OLD");
    std::size_t files = 0;
    for (const auto& e : fs::directory_iterator(folder)) files += e.is_regular_file();
    EXPECT_EQ(files, 2u);  // the help file and the old document
    EXPECT_FALSE(cancel);
}

}  // namespace
