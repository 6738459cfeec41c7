// Importing compiled help files into the project tables through the real
// converter: the project row, pages, folders, failures that leave nothing
// behind, and the round trip through a full build.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <cctype>
#include <sstream>
#include <tuple>
#include <filesystem>
#include <map>
#include <set>

#include "helpbuild/contents/contents_tables.h"
#include "helpbuild/import_project.h"
#include "converter/topic_stream.h"
#include "helpbuild/tables/table_build_project.h"
#include "helpbuild/tests/build_fixture.h"
#include "project/editor_context.h"
#include "project/helpers.h"
#include "engine/api/dbi_api.h"
#include "platform/core/codepage.h"
#include "platform/core/ini_file.h"
#include "platform/core/string_list.h"
#include "project/tests/editor_test_support.h"
#include "data/fields.h"
#include "richtext/io/text_reader.h"
#include "platform/core/dialog_service.h"
#include "tests/support/converter_rtf.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;

class CancellingProgress : public build::IProgress {
public:
    explicit CancellingProgress(int cancelAt) : cancelAt_(cancelAt) {}
    void SetStatus(const std::string&) override {}
    void SetPercent(int) override {}
    void Show() override {}
    void ProcessMessages() override {
        if (++calls_ == cancelAt_) cancel_ = true;
    }
    bool CancelRequested() const override { return cancel_; }
    void ClearCancel() override { cancel_ = false; }

private:
    int cancelAt_;
    int calls_ = 0;
    bool cancel_ = false;
};

struct ImportFixture {
    edtest::ProgramFolder folder;
    editor::EditorContext ctx;
    gui::ScriptedDialogService dialogs;
    gui::ScopedDialogService scoped{dialogs};
    build::ImportEnvironment env = build::DefaultImportEnvironment();
    int cancelAt = -1;
    std::vector<std::string> cntFiles;
    std::vector<std::string> captions;

    ImportFixture() {
        ctx.ProgramDir = folder.dir;
        ctx.BindAlias();
        ctx.OpenTables();
        Reset();
    }
    // The environment of a fresh fixture (the tables keep their rows).
    void Reset() {
        plat::SetDataHome(folder.dir);  // a build fixture in between points it elsewhere
        env = build::DefaultImportEnvironment();
        cancelAt = -1;
        cntFiles.clear();
        captions.clear();
        env.converterProgram = [] { return std::string(RENDLOW32_PROGRAM); };
        env.createProgress = [this] { return std::make_unique<CancellingProgress>(cancelAt); };
        env.readCntFile = [this](editor::EditorContext& c, const std::string& path) {
            cntFiles.push_back(path + "|" + c.mainTable->FieldByName("Application")->AsString());
            return true;
        };
        env.setCaption = [this](const std::string& c) { captions.push_back(c); };
    }

    // Converts and imports `helpFile` as project `name`; false when either step refused.
    bool Import(const std::string& helpFile, const std::string& name, build::ImportFields* out = nullptr,
                std::vector<std::string>* converted = nullptr) {
        build::ImportSession session(ctx, env);
        build::ImportFields f;
        f.helpFile = helpFile;
        if (!session.ConvertHelpFile(f)) return false;
        EXPECT_TRUE(fs::exists(plat::NativePath(session.TempFolder())));
        if (converted)
            for (const auto& e : fs::directory_iterator(plat::NativePath(session.TempFolder())))
                converted->push_back(e.path().filename().string());
        f.application = name;
        if (out) *out = f;
        return session.Finish(f);
    }
    // A converter that leaves these files and ends with 2.
    void Converter(std::vector<std::pair<std::string, std::string>> files) {
        env.run = [files](const std::vector<std::string>&, const std::string& folder) {
            for (const auto& [name, text] : files) testsupport::WriteFileBytes(fs::path(plat::NativePath(folder)) / name, text);
            return 2;
        };
    }
    int Projects() {
        int n = 0;
        for (ctx.mainTable->First(); !ctx.mainTable->Eof(); ctx.mainTable->Next()) ++n;
        return n;
    }
    int AllPages() {
        vl::TvlTable t(nullptr);
        t.DatabaseName = editor::kTavrinAlias;
        t.TableName = editor::kItemTableFile;
        t.Open();
        return t.RecordCount();
    }
    std::string Messages() const {
        std::string s;
        for (const gui::DialogRequest& r : dialogs.Requests()) s += r.caption + ": " + r.text + "\n";
        return s;
    }
    // Nothing but the program's own files in the program folder.
    std::set<std::string> Folders() const {
        std::set<std::string> s;
        for (const auto& e : fs::directory_iterator(folder.dir))
            if (e.is_directory() && e.path().filename() != "windows") s.insert(e.path().filename().string());
        return s;
    }
};

TEST(ImportProject, PJDropFilesBecomesAProject) {
    TAVRIN_REQUIRE_CORPUS();
    ImportFixture fx;
    // The converter's own last run asked for a printable document; the import
    // writes the project-mode settings before it starts the converter.
    plat::WritePrivateProfileString("Options", "ForPrint", "1", editor::ConverterIniPath());
    build::ImportFields f;
    ASSERT_TRUE(fx.Import(testsupport::CorpusFile("hlp/PJDropFiles.hlp").string(), "Drop Files", &f)) << fx.Messages();
    EXPECT_EQ(plat::GetPrivateProfileString("Options", "ForPrint", "", editor::ConverterIniPath()), "0");
    EXPECT_EQ(f.helpTitle, "DelphiDabbler Drop Files Component Help");
    EXPECT_EQ(f.fileName, "PJDropFiles");
    EXPECT_EQ(f.directory, fx.folder.dir + "/PJDropFiles");
    EXPECT_EQ(f.graphicsDir, fx.folder.dir + "/PJDropFiles/Graphics");

    vl::TvlTable& main = *fx.ctx.mainTable;
    ASSERT_TRUE(main.FindKey({db::TValue{std::string("Drop Files")}}));
    // The new row against the defaults of an imported project.
    const std::map<std::string, std::string> want = {
        {"DosName", "PJDropFiles"}, {"HelpTitle", "DelphiDabbler Drop Files Component Help"},
        {"ProjectDir", f.directory}, {"GraphicsDir", f.graphicsDir},
        {"ScrollColor", "16777215"}, {"NonscrollColor", "16777215"}, {"AutogenerateContents", "N"},
        {"Win95Contents", "N"}, {"Compile", "32"}, {"DefaultTextFont", "Arial"}, {"DefaultTextSize", "10"},
        {"DefaultTextColor", "0"}, {"DefaultTextStyle", "[]"}, {"TitleFont", "Arial"}, {"TitleSize", "12"},
        {"TitleColor", "0"}, {"TitleStyle", "[afsBold]"}, {"PopupFont", "Arial"}, {"PopupSize", "10"},
        {"PopupColor", "0"}, {"PopupStyle", "[afsBold]"}, {"AutogeneratePRJfile", "Y"},
        {"AutoSize", "Y"}, {"StayOnTop", "1"}, {"AutoGenerateCntFile", "N"},
        // The help file's own settings over the defaults: its compression,
        // no buttons (it has no [CONFIG]), no window position (no [WINDOWS]),
        // and its default topic kept for the build.
        {"Compress", "FALSE"}, {"AddButton1", "N"}, {"AddButton2", "N"}, {"AddButton3", "N"},
        {"CoLetWindowsDecide", "Y"}, {"SecondaryWindow", ""}, {"Comments", "[OPTIONS]\r\nCONTENTS=8a4onl\r\n"}};
    for (const auto& [field, value] : want) EXPECT_EQ(main.FieldByName(field)->AsString(), value) << field;
    EXPECT_NE(main.FieldByName("Copyright")->AsString().find("PD Johnson"), std::string::npos);

    // One page per converted page; the contents topic is first and a topic.
    vl::TvlTable& pages = *fx.ctx.CdetailTable;
    pages.First();
    // The converter's two empty sections at the end are no pages.
    EXPECT_EQ(pages.RecordCount(), 85);
    EXPECT_EQ(pages.FieldByName("ContextString")->AsString(), "8a4onl");
    EXPECT_EQ(pages.FieldByName("TopicPopup")->AsString(), "T");
    EXPECT_EQ(pages.FieldByName("Title")->AsString(), "PJDropFiles unit");
    EXPECT_EQ(pages.FieldByName("Keys")->AsString(), "PJDropFiles;PJDropFiles unit");
    const std::string body = pages.FieldByName("HelpText")->AsString();
    EXPECT_NE(body.find("\\uldb TPJDropFiles\\uldb0{\\v cone0x3vu}"), std::string::npos);
    EXPECT_NE(pages.FieldByName("FullTitle")->AsString().find("PJDropFiles unit"), std::string::npos);

    // The converter's output is in the project's folders; the temporary folder is gone.
    EXPECT_TRUE(fs::exists(plat::NativePath(f.directory + "/PJDropFiles.HPJ")));
    EXPECT_TRUE(fs::exists(plat::NativePath(f.directory + "/PJDropFiles.RTF")));
    EXPECT_TRUE(fs::is_directory(plat::NativePath(f.directory + "/Backups")));
    int pictures = 0;
    for (const auto& e : fs::directory_iterator(plat::NativePath(f.graphicsDir)))
        pictures += e.path().extension() == ".bmp";
    EXPECT_EQ(pictures, 5);
    EXPECT_FALSE(fs::exists(fx.folder.dir + "/~KqTemp"));
    EXPECT_TRUE(fx.cntFiles.empty());
    EXPECT_EQ(fx.captions.back(), "");
}

// The editor installs its page rules at start-up, and the import meets them:
// every help file of the corpus comes in whole, without a box, each topic a
// page, and the converter's context strings with a "." as they are.
TEST(ImportWithEditorRules, EveryCorpusHelpFileComesInWhole) {
    TAVRIN_REQUIRE_CORPUS();
    std::vector<fs::path> helpFiles;
    for (const auto& e : fs::directory_iterator(testsupport::CorpusDir() / "hlp")) {
        std::string ext = e.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
        if (ext == ".hlp") helpFiles.push_back(e.path());
    }
    std::sort(helpFiles.begin(), helpFiles.end());
    ASSERT_GE(helpFiles.size(), 4u);
    ImportFixture fx;
    build::InstallEditorRules(fx.ctx);
    int n = 0;
    for (const fs::path& help : helpFiles) {
        SCOPED_TRACE(help.filename().string());
        const std::string name = "Imported " + std::to_string(++n);
        build::ImportSession session(fx.ctx, fx.env);
        build::ImportFields f;
        f.helpFile = help.string();
        ASSERT_TRUE(session.ConvertHelpFile(f)) << fx.Messages();
        std::string rtf;
        std::set<std::string> dotted;  // the converter's context strings with a "."
        for (const auto& e : fs::directory_iterator(plat::NativePath(session.TempFolder())))
            if (e.path().extension() == ".RTF" || e.path().extension() == ".rtf") {
                rtf = testsupport::ReadFileBytes(e.path());
                // A page's context string is its first "#" footnote (others
                // stay anchors in its text): "#{\footnote" ... the reference
                // "#}", then the string up to "}", the converter's line breaks aside.
                const std::string mark = "#{\\footnote", separator = "\\page\\pard\n";
                for (std::size_t at = 0; at < rtf.size();) {
                    std::size_t end = rtf.find(separator, at);
                    if (end == std::string::npos) end = rtf.size();
                    std::size_t from = rtf.find(mark, at);
                    if (from < end) from = rtf.find("#}", from + mark.size());
                    if (from < end) {
                        std::string context;
                        for (std::size_t i = from + 2; i < end && rtf[i] != '}'; ++i)
                            if (rtf[i] != '\r' && rtf[i] != '\n') context += rtf[i];
                        context.erase(0, context.find_first_not_of(' '));
                        if (context.find('.') != std::string::npos) dotted.insert(context);
                    }
                    at = end + separator.size();
                }
            }
        ASSERT_FALSE(rtf.empty());
        f.application = name;
        ASSERT_TRUE(session.Finish(f)) << fx.Messages();
        EXPECT_TRUE(fx.dialogs.Requests().empty()) << fx.Messages();
        for (const std::string& line : session.Log()) EXPECT_EQ(line.find("not imported"), std::string::npos) << line;

        ASSERT_TRUE(fx.ctx.mainTable->FindKey({db::TValue{name}}));
        vl::TvlTable& pages = *fx.ctx.CdetailTable;
        pages.Refresh();
        EXPECT_EQ(static_cast<std::size_t>(pages.RecordCount()), testsupport::ConverterTopicCount(rtf));
        std::set<std::string> storedDotted;
        for (pages.First(); !pages.Eof(); pages.Next()) {
            const std::string title = pages.FieldByName("Title")->AsString();
            const std::string kind = pages.FieldByName("TopicPopup")->AsString();
            EXPECT_TRUE(!title.empty() || kind == "P") << pages.FieldByName("HelpId")->AsString();
            const std::string context = pages.FieldByName("ContextString")->AsString();
            if (context.find('.') != std::string::npos) storedDotted.insert(context);
        }
        EXPECT_EQ(storedDotted, dotted);
        fx.dialogs.Clear();
    }
}

// The import's rule for context strings: what the help compiler takes is
// kept, a "." included; blanks around it go; the rest leaves the page
// without one.
TEST(ImportRules, ContextStrings) {
    using V = build::ContextStringVerdict;
    const struct {
        std::string given;
        V verdict;
        std::string stored;
    } cases[] = {
        {"MyFirstPage", V::Kept, "MyFirstPage"},
        {"my_page2", V::Kept, "my_page2"},
        {"Ind6.2.qz", V::Kept, "Ind6.2.qz"},
        {".66h5d", V::Kept, ".66h5d"},
        {"jay7n.", V::Kept, "jay7n."},
        {"", V::Kept, ""},
        {std::string(255, 'a'), V::Kept, std::string(255, 'a')},
        {" con.s_phx", V::Mapped, "con.s_phx"},
        {"Index\t ", V::Mapped, "Index"},
        // What the compiler cannot take becomes a name it can: each other
        // character a "_", cut to the longest it takes.
        {"My Page", V::Mapped, "My_Page"},
        {"a-b", V::Mapped, "a_b"},
        {"go!", V::Mapped, "go_"},
        {"caf\xe9", V::Mapped, "caf_"},
        {"ctx\"<>;=[]\\{}", V::Mapped, "ctx__________"},
        {" x y ", V::Mapped, "x_y"},
        {std::string(256, 'a'), V::Mapped, std::string(255, 'a')},
        {"   ", V::Refused, ""},
    };
    for (const auto& c : cases) {
        std::string stored = "left over";
        EXPECT_EQ(build::TakeImportedContextString(c.given, stored), c.verdict) << c.given;
        EXPECT_EQ(stored, c.stored) << c.given;
    }
}

// What the import stores: a page needs a help id and a kind; a popup may be
// untitled, a topic may not; an empty trailing section is no page at all.
TEST(ImportRules, PagesAndEmptySections) {
    build::ImportedPage popup;
    popup.helpId = 100;
    popup.topicPopup = "P";
    popup.helpText = "{\\rtf1\\ansi\\pard Some text\\par}";
    EXPECT_EQ(build::ImportedPageRefusal(popup), "");
    build::ImportedPage topic = popup;
    topic.topicPopup = "T";
    EXPECT_EQ(build::ImportedPageRefusal(topic), "it is a topic without a title");
    topic.title = "Overview";
    EXPECT_EQ(build::ImportedPageRefusal(topic), "");
    build::ImportedPage noId = topic;
    noId.helpId.reset();
    EXPECT_EQ(build::ImportedPageRefusal(noId), "it has no help id");
    build::ImportedPage noKind = topic;
    noKind.topicPopup = "";
    EXPECT_EQ(build::ImportedPageRefusal(noKind), "it is neither a topic nor a popup");

    build::ImportedPage empty;
    empty.helpText = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\pard\\plain \\par}";
    EXPECT_TRUE(build::IsEmptyImportedSection(empty));
    for (auto fill : std::vector<std::function<void(build::ImportedPage&)>>{
             [](build::ImportedPage& p) { p.title = "T"; },
             [](build::ImportedPage& p) { p.contextString = "c.x"; },
             [](build::ImportedPage& p) { p.keys = "k"; },
             [](build::ImportedPage& p) { p.browseId = 1; },
             [](build::ImportedPage& p) { p.helpText = "{\\rtf1\\ansi\\pard x\\par}"; },
         }) {
        build::ImportedPage p = empty;
        fill(p);
        EXPECT_FALSE(build::IsEmptyImportedSection(p));
    }
}

// A page the tables refuse (here a row a crashed run left under the new
// project's name and one of its help ids) is left out and logged; the other
// pages and the project still come in, with the editor's rules installed.
TEST(ImportWithEditorRules, UnstorablePageIsSkippedAndLogged) {
    TAVRIN_REQUIRE_CORPUS();
    ImportFixture fx;
    build::InstallEditorRules(fx.ctx);
    const std::string help = testsupport::CorpusFile("hlp/PJDropFiles.hlp").string();
    std::vector<build::ImportedPage> probe;
    {
        build::ImportSession session(fx.ctx, fx.env);
        build::ImportFields f;
        f.helpFile = help;
        ASSERT_TRUE(session.ConvertHelpFile(f)) << fx.Messages();
        f.application = "Probe";
        ASSERT_TRUE(session.Finish(f)) << fx.Messages();
        probe = session.Pages();
    }
    ASSERT_GT(probe.size(), 10u);
    const build::ImportedPage& taken = probe[5];
    {
        vl::TvlTable t(nullptr);
        t.DatabaseName = editor::kTavrinAlias;
        t.TableName = editor::kItemTableFile;
        t.Open();
        t.Append();
        t.FieldByName("Application")->SetAsString("Drop Files");
        t.FieldByName("HelpId")->SetAsInteger(*taken.helpId);
        t.FieldByName("TopicPopup")->SetAsString("T");
        t.FieldByName("Title")->SetAsString("Left over");
        t.Post();
    }
    build::ImportSession session(fx.ctx, fx.env);
    build::ImportFields f;
    f.helpFile = help;
    ASSERT_TRUE(session.ConvertHelpFile(f)) << fx.Messages();
    f.application = "Drop Files";
    ASSERT_TRUE(session.Finish(f)) << fx.Messages();
    EXPECT_TRUE(fx.dialogs.Requests().empty()) << fx.Messages();
    std::vector<std::string> skipped;
    for (const std::string& line : session.Log())
        if (line.find("not imported") != std::string::npos) skipped.push_back(line);
    ASSERT_EQ(skipped.size(), 1u);
    EXPECT_EQ(skipped[0].rfind("Page " + std::to_string(*taken.helpId) + " \"" + taken.title + "\" was not imported: ", 0), 0u)
        << skipped[0];
    EXPECT_EQ(session.Pages().size(), probe.size() - 1);
    const std::string log = testsupport::ReadFileBytes(plat::NativePath(f.directory + "/Import.log"));
    EXPECT_NE(log.find(skipped[0]), std::string::npos);
    ASSERT_TRUE(fx.ctx.mainTable->FindKey({db::TValue{std::string("Drop Files")}}));
    vl::TvlTable& pages = *fx.ctx.CdetailTable;
    pages.Refresh();
    // The imported pages and the row that was there before.
    EXPECT_EQ(static_cast<std::size_t>(pages.RecordCount()), probe.size());
}

// Context strings the compiler cannot take come in renamed, and every jump
// to them (pages, contents, map) follows; the log names each renaming and
// each footnote not taken as it came, with its page.
TEST(ImportWithEditorRules, ContextStringsRenamedAndJumpsFollow) {
    TAVRIN_REQUIRE_CORPUS();
    ImportFixture fx;
    const std::string head = "{\\rtf1\\ansi {\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red0\\green0\\blue0;}\n";
    auto note = [](char l, const std::string& v) { return std::string("{") + l + "{\\footnote{" + l + "} " + v + "}}\n"; };
    const std::string rtf =
        head + note('$', "Bad") + note('#', "ctx\"<>;=[]\\\\\\{\\}") + "Bad page\\par\\page\n" +
        note('$', "Other") + note('#', "My_Page") +
        "{\\strike to bad}{\\v ctx\"<>;=[]\\\\\\{\\}}\\par {\\strike to mine}{\\v My Page>main}\\par\\page\n" +
        note('$', std::string(300, 't')) + note('#', "My Page") + "Long title\\par\\page\n}";
    fx.Converter({{"x.hpj", "[OPTIONS]\r\nTitle=T\r\n[FILES]\r\nx.rtf\r\n[MAP]\r\nMy_Page 10\r\n"},
                  {"x.rtf", rtf},
                  {"x.cnt", ":Base x.hlp\r\n1 Mine=My Page\r\n1 Theirs=My_Page\r\n"}});
    fx.env.readCntFile = [&fx](editor::EditorContext& c, const std::string& path) {
        fx.cntFiles.push_back(path);
        return build::ReadCntFileInto(c, path);
    };
    build::ImportSession session(fx.ctx, fx.env);
    build::ImportFields f;
    f.helpFile = testsupport::CorpusFile("hlp/PJDropFiles.hlp").string();
    ASSERT_TRUE(session.ConvertHelpFile(f)) << fx.Messages();
    f.application = "Renamed";
    ASSERT_TRUE(session.Finish(f)) << fx.Messages();
    std::map<std::string, std::string> textOf;  // context string -> page text
    std::map<std::string, int> idOf;
    for (fx.ctx.CdetailTable->First(); !fx.ctx.CdetailTable->Eof(); fx.ctx.CdetailTable->Next()) {
        const std::string c = fx.ctx.CdetailTable->FieldByName("ContextString")->AsString();
        textOf[c] = fx.ctx.CdetailTable->FieldByName("HelpText")->AsString();
        idOf[c] = fx.ctx.CdetailTable->FieldByName("HelpId")->AsInteger();
    }
    const std::string bad = "ctx__________";
    ASSERT_EQ(textOf.size(), 3u);
    ASSERT_TRUE(textOf.count(bad));
    ASSERT_TRUE(textOf.count("My_Page"));
    ASSERT_TRUE(textOf.count("My_Page_2"));  // "My_Page" was taken
    EXPECT_EQ(idOf["My_Page"], 10);
    const std::string& other = textOf["My_Page"];
    EXPECT_NE(other.find("{\\v " + bad + "}"), std::string::npos) << other;
    EXPECT_NE(other.find("{\\v My_Page_2>main}"), std::string::npos) << other;
    ASSERT_EQ(fx.cntFiles.size(), 1u);
    const std::string cnt = testsupport::ReadFileBytes(plat::NativePath(fx.cntFiles[0]));
    EXPECT_NE(cnt.find("1 Mine=My_Page_2\r\n1 Theirs=My_Page\r\n"), std::string::npos) << cnt;
    std::string log;
    for (const std::string& line : session.Log()) log += line + "\n";
    for (const std::string& said : {std::string("\"My Page\" stored as \"My_Page_2\""),
                                    "\"ctx\"<>;=[]\\{}\" stored as \"" + bad + "\"",
                                    std::string("\"$\" footnote of 300 characters")})
        EXPECT_NE(log.find(said), std::string::npos) << said << " in\n" << log;
    // The footnote's line names its page.
    const std::string page = "Page " + std::to_string(idOf["My_Page_2"]) + ":";
    ASSERT_NE(log.find("\"$\" footnote"), log.npos);
    EXPECT_EQ(log.substr(log.rfind('\n', log.find("\"$\" footnote")) + 1, page.size()), page) << log;
}

// A footnote far too long for its field, of any letter, keeps the page's
// other footnotes (title, context string, keywords) as stored values, and
// the log names it.
TEST(ImportWithEditorRules, AHugeFootnoteLeavesTheRestOfThePageStored) {
    TAVRIN_REQUIRE_CORPUS();
    const std::string head = "{\\rtf1\\ansi {\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red0\\green0\\blue0;}\n";
    auto note = [](char l, const std::string& v) { return std::string("{") + l + "{\\footnote{" + l + "} " + v + "}}\n"; };
    const std::string huge(100000, 'h');
    int n = 0;
    for (const char letter : {'K', 'A', '+', '!', '$', '#'}) {
        SCOPED_TRACE(std::string(1, letter));
        // The huge one comes first; the page's own title, string and keys after it.
        std::string rtf = head + note(letter, huge);
        if (letter != '$') rtf += note('$', "Kept title");
        if (letter != '#') rtf += note('#', "kept_ctx");
        rtf += note('K', "alpha;beta") + "Body text\\par\\page\n}";
        ImportFixture fx;
        fx.Converter({{"x.hpj", "[OPTIONS]\r\nTitle=T\r\n[FILES]\r\nx.rtf\r\n"}, {"x.rtf", rtf}});
        build::ImportSession session(fx.ctx, fx.env);
        build::ImportFields f;
        f.helpFile = testsupport::CorpusFile("hlp/PJDropFiles.hlp").string();
        ASSERT_TRUE(session.ConvertHelpFile(f)) << fx.Messages();
        f.application = "Huge" + std::to_string(++n);
        ASSERT_TRUE(session.Finish(f)) << fx.Messages();
        db::TDataSet& t = *fx.ctx.CdetailTable;
        t.First();
        ASSERT_FALSE(t.Eof());
        if (letter != '$') EXPECT_EQ(t.FieldByName("Title")->AsString(), "Kept title");
        if (letter != '#') EXPECT_EQ(t.FieldByName("ContextString")->AsString(), "kept_ctx");
        const std::string keys = t.FieldByName("Keys")->AsString();
        EXPECT_NE(keys.find("alpha"), std::string::npos) << keys;
        EXPECT_NE(keys.find("beta"), std::string::npos) << keys;
        EXPECT_NE(t.FieldByName("HelpText")->AsString().find("Body text"), std::string::npos);
        std::string log;
        for (const std::string& line : session.Log()) log += line + "\n";
        EXPECT_NE(log.find("100000 characters"), std::string::npos) << log.substr(0, 2000);
    }
}

// An RTF with broken groups still comes in, and the author is told which
// pages to check; a sound one says nothing.
TEST(ImportWithEditorRules, PagesWithBrokenGroupsAreNamedToTheAuthor) {
    TAVRIN_REQUIRE_CORPUS();
    const std::string head = "{\\rtf1\\ansi {\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red0\\green0\\blue0;}\n";
    auto page = [](const std::string& title, const std::string& ctx, const std::string& body) {
        return "{${\\footnote{$} " + title + "}}{#{\\footnote{#} " + ctx + "}}" + body + "\\par\\page\n";
    };
    struct Case {
        std::string rtf;
        std::vector<std::string> named;  // the pages the message names
    } cases[] = {
        {head + page("One", "one", "a") + page("Two", "two", "b") + "}", {}},
        {head + page("One", "one", "a") + page("Two", "two", "{\\b b}}") + page("Three", "three", "{\\i c") + "}",
         {"\"Two\"", "\"Three\""}},
    };
    int n = 0;
    for (const Case& c : cases) {
        ImportFixture fx;
        fx.Converter({{"x.hpj", "[OPTIONS]\r\nTitle=T\r\n[FILES]\r\nx.rtf\r\n"}, {"x.rtf", c.rtf}});
        ASSERT_TRUE(fx.Import(testsupport::CorpusFile("hlp/PJDropFiles.hlp").string(), "Broken" + std::to_string(++n)))
            << fx.Messages();
        if (c.named.empty()) {
            EXPECT_TRUE(fx.dialogs.Requests().empty()) << fx.Messages();
            continue;
        }
        ASSERT_EQ(fx.dialogs.Requests().size(), 1u) << fx.Messages();
        const std::string text = fx.dialogs.Last().text;
        EXPECT_NE(text.find("broken"), std::string::npos) << text;
        EXPECT_EQ(text.find("\"One\""), std::string::npos) << text;
        for (const std::string& name : c.named) EXPECT_NE(text.find(name), std::string::npos) << text;
    }
}

// Help ids at the ends of their range come in as they are, from the map and
// from a page's own number; a page without one gets one no page has.
TEST(ImportWithEditorRules, HelpIdsAtTheEndsOfTheirRangeAreKept) {
    TAVRIN_REQUIRE_CORPUS();
    const std::string head = "{\\rtf1\\ansi {\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red0\\green0\\blue0;}\n";
    auto page = [](const std::string& first, const std::string& second, const std::string& title) {
        std::string p = "{${\\footnote{$} " + title + "}}{#{\\footnote{#} " + first + "}}";
        if (!second.empty()) p += "{#{\\footnote{#} " + second + "}}";
        return p + "text\\par\\page\n";
    };
    ImportFixture fx;
    build::InstallEditorRules(fx.ctx);
    fx.Converter({{"x.hpj", "[OPTIONS]\r\nTitle=T\r\n[FILES]\r\nx.rtf\r\n[MAP]\r\n#define lowest -2147483648\r\n"
                            "highest 2147483647\r\nneg -7\r\n"},
                  {"x.rtf", head + page("lowest", "", "Lowest") + page("highest", "", "Highest") +
                                page("-2147483647", "own", "Own") + page("neg", "", "Neg") + page("free", "", "Free") +
                                "}"}});
    ASSERT_TRUE(fx.Import(testsupport::CorpusFile("hlp/PJDropFiles.hlp").string(), "Ids")) << fx.Messages();
    std::map<std::string, std::int64_t> idOf;
    for (fx.ctx.CdetailTable->First(); !fx.ctx.CdetailTable->Eof(); fx.ctx.CdetailTable->Next())
        idOf[fx.ctx.CdetailTable->FieldByName("Title")->AsString()] =
            fx.ctx.CdetailTable->FieldByName("HelpId")->AsInteger();
    ASSERT_EQ(idOf.size(), 5u) << fx.Messages();
    const struct {
        const char* title;
        std::int64_t id;
    } want[] = {{"Lowest", INT32_MIN}, {"Highest", INT32_MAX}, {"Own", -2147483647LL}, {"Neg", -7}};
    for (const auto& w : want) EXPECT_EQ(idOf[w.title], w.id) << w.title;
    std::set<std::int64_t> ids;
    for (const auto& [t, id] : idOf) ids.insert(id);
    EXPECT_EQ(ids.size(), 5u);  // "Free" got an id of its own
}

TEST(ImportProject, FailuresLeaveNothingBehind) {
    TAVRIN_REQUIRE_CORPUS();
    const std::string help = testsupport::CorpusFile("hlp/PJDropFiles.hlp").string();
    testsupport::TempDir files;
    const std::string bytes = testsupport::ReadFileBytes(help);
    testsupport::WriteFileBytes(files / "damaged.hlp", bytes.substr(0, 600) + std::string(4000, '\x7f'));
    testsupport::WriteFileBytes(files / "text.hlp", "This is not a help file at all.\r\n");
    struct Case {
        std::string name;
        std::string helpFile;
        std::function<void(ImportFixture&)> setUp;
        std::string project;
        std::string message;  // a part of the one message shown
    };
    std::vector<Case> cases = {
        {"damaged", (files / "damaged.hlp").string(), nullptr, "P", "damaged.hlp could not be converted"},
        {"not a help file", (files / "text.hlp").string(), nullptr, "P", "text.hlp could not be converted"},
        {"converter ends with 1", help,
         [](ImportFixture& fx) { fx.env.run = [](const std::vector<std::string>&, const std::string&) { return 1; }; }, "P",
         "ended with code 1"},
        {"no converter", help, [](ImportFixture& fx) { fx.env.converterProgram = [] { return std::string(); }; }, "P",
         "Rendlow32 could not be found"},
        {"missing help file", (files / "none.hlp").string(), nullptr, "P", "This help file could not be found"},
        {"taken name", help,
         [](ImportFixture& fx) {
             fx.ctx.mainTable->Append();
             fx.ctx.mainTable->FieldByName("Application")->SetAsString("Taken");
             fx.ctx.mainTable->Post();
         },
         "TAKEN", "This Help Project already exists"},
        {"no help project file", help, [](ImportFixture& fx) { fx.Converter({}); }, "P", "wrote no help project file"},
        {"no [FILES]", help, [](ImportFixture& fx) { fx.Converter({{"x.hpj", "[OPTIONS]\r\nTitle=T\r\n"}}); }, "P",
         "No RTF File"},
        {"no RTF named", help, [](ImportFixture& fx) { fx.Converter({{"x.hpj", "[OPTIONS]\r\nTitle=T\r\n[FILES]\r\nx.doc\r\n"}}); }, "P",
         "No RTF File"},
        {"RTF missing", help, [](ImportFixture& fx) { fx.Converter({{"x.hpj", "[OPTIONS]\r\nTitle=T\r\n[FILES]\r\nx.rtf\r\n"}}); }, "P",
         "RTF File not found"},
        {"no font table", help,
         [](ImportFixture& fx) {
             fx.Converter({{"x.hpj", "[OPTIONS]\r\nTitle=T\r\n[FILES]\r\nx.rtf\r\n"}, {"x.rtf", "{\\rtf1 {\\colortbl;} x}"}});
         },
         "P", "does not have a font table"},
        {"no colour table", help,
         [](ImportFixture& fx) {
             fx.Converter({{"x.hpj", "[OPTIONS]\r\nTitle=T\r\n[FILES]\r\nx.rtf\r\n"}, {"x.rtf", "{\\rtf1 {\\fonttbl{\\f0 A;}} x}"}});
         },
         "P", "does not have a color table"},
        {"several topic files", help,
         [](ImportFixture& fx) {
             const std::string rtf = "{\\rtf1 {\\fonttbl{\\f0 A;}}{\\colortbl;} x}";
             fx.Converter({{"x.hpj", "[OPTIONS]\r\nTitle=T\r\n[FILES]\r\nx.rtf\r\n; a comment\r\nmore.rtf\r\nlast.RTF\r\n"},
                           {"x.rtf", rtf}, {"more.rtf", rtf}, {"last.RTF", rtf}});
         },
         "P", "more.rtf, last.RTF"},
        {"cancel while splitting", help, [](ImportFixture& fx) { fx.cancelAt = 20; }, "P", ""},
        {"cancel while storing pages", help, [](ImportFixture& fx) { fx.cancelAt = 100; }, "P", ""},
        {"name too long", help, nullptr, std::string(26, 'n'), "maximum of 25 Characters"},
        {"no name", help, nullptr, "", "You need to provide a Project name"},
    };
    // One program folder for all: each case must leave it as it found it.
    ImportFixture fx;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fx.Reset();
        if (c.setUp) c.setUp(fx);
        const int projects = fx.Projects();
        const std::set<std::string> folders = fx.Folders();
        fx.dialogs.Clear();
        EXPECT_FALSE(fx.Import(c.helpFile, c.project));
        if (c.message.empty()) {
            EXPECT_TRUE(fx.dialogs.Requests().empty()) << fx.Messages();
        } else {
            ASSERT_EQ(fx.dialogs.Requests().size(), 1u) << fx.Messages();
            EXPECT_NE(fx.Messages().find(c.message), std::string::npos) << fx.Messages();
        }
        EXPECT_EQ(fx.Projects(), projects);
        EXPECT_EQ(fx.AllPages(), 0);
        EXPECT_EQ(fx.Folders(), folders);
    }
    // 25 characters are accepted.
    fx.Reset();
    EXPECT_TRUE(fx.Import(help, std::string(25, 'n'))) << fx.Messages();
}

TEST(ImportProject, ContentsFileComesAlongInAnyCase) {
    TAVRIN_REQUIRE_CORPUS();
    testsupport::TempDir files;
    fs::copy_file(testsupport::CorpusFile("hlp/PJDropFiles.hlp"), files / "Drop.hlp");
    testsupport::WriteFileBytes(files / "DROP.CNT", ":Base Drop.hlp\r\n1 Drop\r\n");
    ImportFixture fx;
    build::ImportFields f;
    ASSERT_TRUE(fx.Import((files / "Drop.hlp").string(), "Drop", &f)) << fx.Messages();
    ASSERT_EQ(fx.cntFiles.size(), 1u);
    EXPECT_EQ(fx.cntFiles[0], f.directory + "/DROP.CNT|Drop");
    EXPECT_EQ(testsupport::ReadFileBytes(plat::NativePath(f.directory + "/DROP.CNT")), ":Base Drop.hlp\r\n1 Drop\r\n");
}

// A help project in source form (no converter): the project takes the base
// name of its HLP option ("HLP=.\PJDropFiles.hlp") and its "{\strike}{\v}"
// jumps become the double underlines the pages and the HTML export know.
TEST(ImportProject, HelpProjectInSourceFormKeepsItsNameAndJumps) {
    TAVRIN_REQUIRE_CORPUS();
    ImportFixture fx;
    build::ImportSession session(fx.ctx, fx.env);
    build::ImportFields f;
    f.hpjPath = testsupport::CorpusFile("hpj/ddablib-dropfiles/PJDropFiles.hpj").string();
    f.application = "Drop Source";
    f.directory = fx.folder.dir + "/DropSource";
    ASSERT_TRUE(session.Finish(f)) << fx.Messages();
    ASSERT_TRUE(fx.ctx.mainTable->FindKey({db::TValue{std::string("Drop Source")}}));
    EXPECT_EQ(fx.ctx.mainTable->FieldByName("DosName")->AsString(), "PJDropFiles");
    vl::TvlTable& pages = *fx.ctx.CdetailTable;
    // The source ends with a "\page" before its closing brace: no page after it.
    EXPECT_EQ(pages.RecordCount(), 85);
    std::size_t jumps = 0, struck = 0;
    for (pages.First(); !pages.Eof(); pages.Next()) {
        const std::string body = pages.FieldByName("FullTitle")->AsString() + pages.FieldByName("HelpText")->AsString();
        for (std::size_t at = body.find("\\uldb "); at != std::string::npos; at = body.find("\\uldb ", at + 1)) ++jumps;
        for (std::size_t at = body.find("{\\strike "); at != std::string::npos; at = body.find("{\\strike ", at + 1))
            ++struck;
    }
    // The source has 356 jumps, all "{\strike text}{\v target}".
    EXPECT_EQ(jumps, 356u);
    EXPECT_EQ(struck, 0u);
}

// The contents file names the author's context strings; the converted pages
// carry strings of the same hash. Each contents jump of the help file's own
// takes its page's string; one to another file, a macro, a help id, an
// unknown string and a page's own string stay as they are.
TEST(ImportProject, ContentsJumpsReachTheirConvertedPages) {
    TAVRIN_REQUIRE_CORPUS();
    testsupport::TempDir files;
    fs::copy_file(testsupport::CorpusFile("hlp/PJDropFiles.hlp"), files / "Drop.hlp");
    // IDH_DF_CLASS and IDH_FDF_CLASS are topics of the source project.
    const std::string cnt = ":Base Drop.hlp\r\n1 Drop\r\n2 Class=IDH_DF_CLASS\r\n2 Form = IDH_FDF_CLASS>main\r\n"
                            "2 Other=IDH_DF_CLASS@other.hlp\r\n2 Run=!Exit()\r\n2 Gone=no_such_topic\r\n"
                            "2 Own=8a4onl\n2 Id=50\n2 Last=IDH_DF_CLASS";
    testsupport::WriteFileBytes(files / "Drop.cnt", cnt);
    ImportFixture fx;
    fx.env.readCntFile = [&fx](editor::EditorContext& c, const std::string& path) {
        fx.cntFiles.push_back(path);
        return build::ReadCntFileInto(c, path);
    };
    build::ImportFields f;
    ASSERT_TRUE(fx.Import((files / "Drop.hlp").string(), "Drop", &f)) << fx.Messages();
    std::map<std::string, std::string> titleOf;  // context string -> title
    for (fx.ctx.CdetailTable->First(); !fx.ctx.CdetailTable->Eof(); fx.ctx.CdetailTable->Next())
        titleOf[fx.ctx.CdetailTable->FieldByName("ContextString")->AsString()] =
            fx.ctx.CdetailTable->FieldByName("Title")->AsString();
    ASSERT_EQ(fx.cntFiles.size(), 1u);
    const std::string written = testsupport::ReadFileBytes(plat::NativePath(fx.cntFiles[0]));
    const std::vector<std::string> lines = plat::SplitLines(written);
    ASSERT_EQ(lines.size(), 10u) << written;
    auto jumpOf = [](const std::string& line) { return line.substr(line.find('=') + 1); };
    const std::string cls = jumpOf(lines[2]);
    ASSERT_TRUE(titleOf.count(cls)) << written;
    EXPECT_EQ(titleOf[cls], "TPJDropFiles");
    EXPECT_EQ(conv::ContextHash(cls), conv::ContextHash("IDH_DF_CLASS"));
    const std::string form = jumpOf(lines[3]);
    ASSERT_EQ(form.substr(form.size() - 5), ">main");
    EXPECT_TRUE(titleOf.count(form.substr(1, form.size() - 6))) << written;
    EXPECT_EQ(lines[4], "2 Other=IDH_DF_CLASS@other.hlp");
    EXPECT_EQ(lines[5], "2 Run=!Exit()");
    EXPECT_EQ(lines[6], "2 Gone=no_such_topic");
    EXPECT_EQ(lines[7], "2 Own=8a4onl");
    EXPECT_EQ(lines[8], "2 Id=50");
    EXPECT_EQ(lines[9], "2 Last=" + cls);
    // Line ends as they were.
    EXPECT_EQ(written.substr(0, 24), ":Base Drop.hlp\r\n1 Drop\r\n");
    EXPECT_NE(written.find("8a4onl\n2 Id=50\n2 Last="), std::string::npos);
    // The project's contents rows take the same jumps.
    ASSERT_TRUE(fx.ctx.mainTable->FindKey({db::TValue{std::string("Drop")}}));
    std::set<std::string> jumps;
    for (fx.ctx.cntShadow->First(); !fx.ctx.cntShadow->Eof(); fx.ctx.cntShadow->Next())
        jumps.insert(fx.ctx.cntShadow->FieldByName("Jump")->AsString());
    EXPECT_TRUE(jumps.count(cls)) << written;
    EXPECT_FALSE(jumps.count("IDH_FDF_CLASS"));
}

// A real contents file names its pages by the author's strings, some with
// blanks and "( , : -" in them; after the import every one of its 228 jumps
// names a page of the project.
TEST(ImportProject, EveryJumpOfARealContentsFileNamesAPage) {
    TAVRIN_REQUIRE_CORPUS();
    testsupport::TempDir files;
    fs::copy_file(testsupport::CorpusFile("hlp/EUDORA.hlp"), files / "EUDORA.hlp");
    fs::copy_file(testsupport::CorpusFile("hlp/Eudora.cnt"), files / "EUDORA.cnt");
    ImportFixture fx;
    fx.env.readCntFile = [&fx](editor::EditorContext& c, const std::string& path) {
        fx.cntFiles.push_back(path);
        return build::ReadCntFileInto(c, path);
    };
    ASSERT_TRUE(fx.Import((files / "EUDORA.hlp").string(), "Eudora")) << fx.Messages();
    std::set<std::string> pages;
    for (fx.ctx.CdetailTable->First(); !fx.ctx.CdetailTable->Eof(); fx.ctx.CdetailTable->Next())
        pages.insert(plat::AnsiUpperCase(fx.ctx.CdetailTable->FieldByName("ContextString")->AsString()));
    ASSERT_EQ(fx.cntFiles.size(), 1u);
    const std::string written = testsupport::ReadFileBytes(plat::NativePath(fx.cntFiles[0]));
    int jumps = 0;
    std::vector<std::string> missing;
    for (const std::string& line : plat::SplitLines(written)) {
        const std::size_t eq = line.find('=');
        if (line.empty() || !std::isdigit(static_cast<unsigned char>(line[0])) || eq == std::string::npos) continue;
        ++jumps;
        std::string jump = line.substr(eq + 1);
        jump = jump.substr(0, jump.find_first_of("@>"));
        if (!pages.count(plat::AnsiUpperCase(jump))) missing.push_back(line);
    }
    EXPECT_EQ(jumps, 228);
    EXPECT_TRUE(missing.empty()) << missing.size() << " jumps name no page, first: " << missing.front();
}

// --- the round trip: converter -> import -> full build ------------------------------

namespace roundtrip {

// What a page says through its footnotes, compared as sets.
struct PageFacts {
    std::string title;
    std::set<std::string> keywords;
    std::set<std::string> contexts;  // its context string and anchors
    std::string browse;              // "name|number"
    bool operator<(const PageFacts& o) const {
        return std::tie(title, keywords, contexts, browse) < std::tie(o.title, o.keywords, o.contexts, o.browse);
    }
    bool operator==(const PageFacts& o) const { return !(*this < o) && !(o < *this); }
};

std::string Describe(const PageFacts& p) {
    std::string s = "[" + p.title + "] K{";
    for (auto& k : p.keywords) s += k + ",";
    s += "} #{";
    for (auto& c : p.contexts) s += c + ",";
    return s + "} +" + p.browse;
}

std::string TrimmedCopy(std::string s) {
    while (!s.empty() && s.front() == ' ') s.erase(0, 1);
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

void AddKeywords(PageFacts& p, const std::string& value) {
    std::size_t start = 0;
    for (std::size_t i = 0; i <= value.size(); ++i)
        if (i == value.size() || value[i] == ';') {
            std::string k = TrimmedCopy(value.substr(start, i - start));
            if (!k.empty()) p.keywords.insert(k);
            start = i + 1;
        }
}

std::string Browse(const std::string& value) {
    std::size_t colon = value.find(':');
    std::string name, number = value;
    if (colon != std::string::npos) {
        name = TrimmedCopy(value.substr(0, colon));
        if (name.size() < 2) name.clear();
        number = TrimmedCopy(value.substr(colon + 1));
    }
    auto n = build::ReadInteger(number);
    if (!n && name.empty()) return "";
    return name + "|" + (n ? std::to_string(*n) : std::string());
}

// The converter's pages, read on their own terms: pages end at "\page";
// each footnote is "{X{\footnote{X} text}}", its text escaped RTF.
std::vector<PageFacts> ConverterPages(const std::string& rtf) {
    std::vector<PageFacts> pages(1);
    for (std::size_t i = 0; i < rtf.size(); ++i) {
        if (rtf[i] == '\\') {
            std::size_t j = i + 1;
            while (j < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[j]))) ++j;
            if (j == i + 1) {
                ++i;  // an escaped character
                continue;
            }
            if (rtf.compare(i, j - i, "\\page") == 0) pages.emplace_back();
            i = j - 1;
            continue;
        }
        if (rtf[i] != '{' || i + 14 >= rtf.size()) continue;
        const char x = rtf[i + 1];
        const std::string opener = std::string(1, x) + "{\\footnote{" + x + "} ";
        if (rtf.compare(i + 1, opener.size(), opener) != 0) continue;
        std::string value;
        std::size_t k = i + 1 + opener.size();
        for (; k < rtf.size() && rtf[k] != '}'; ++k) {
            if (rtf[k] == '\r' || rtf[k] == '\n') continue;
            if (rtf[k] == '\\' && k + 1 < rtf.size()) {
                if (rtf[k + 1] == '\'' && k + 3 < rtf.size()) {
                    value += static_cast<char>(std::stoi(rtf.substr(k + 2, 2), nullptr, 16));
                    k += 3;
                } else {
                    value += rtf[++k];
                }
                continue;
            }
            value += rtf[k];
        }
        PageFacts& p = pages.back();
        if (x == '$' && p.title.empty()) p.title = value;
        if (x == 'K') AddKeywords(p, value);
        if (x == '#') p.contexts.insert(value);
        if (x == '+' && p.browse.empty()) p.browse = Browse(value);
        i = k;
    }
    return pages;
}

// The built pages, read back by the importer's own splitter.
std::vector<PageFacts> BuiltPages(const std::string& rtf) {
    build::SplitResult split = build::ImportRtfTopics(rtf);
    EXPECT_EQ(split.status, build::SplitResult::Status::Ok);
    std::vector<PageFacts> pages;
    for (const build::ImportedPage& page : split.pages) {
        PageFacts p;
        p.title = page.title;
        AddKeywords(p, page.keys);
        if (!page.contextString.empty()) p.contexts.insert(page.contextString);
        // Footnotes too long for their fields and anchors stay in the text.
        for (const std::string* text : {&page.helpText, &page.fullTitle})
            for (const build::RtfFootnote& f : build::FindFootnotes(*text)) {
                if (f.letter == '#') p.contexts.insert(f.value);
                if (f.letter == 'K') AddKeywords(p, f.value);
                if (f.letter == '$' && p.title.empty()) p.title = f.value;
                if (f.letter == '+' && p.browse.empty()) p.browse = Browse(f.value);
            }
        if (page.browseId || !page.browseName.empty())
            p.browse = page.browseName + "|" + (page.browseId ? std::to_string(*page.browseId) : std::string());
        pages.push_back(p);
    }
    return pages;
}

}  // namespace roundtrip

TEST(ImportRoundTrip, EveryCorpusHelpFileThroughImportAndFullBuild) {
    TAVRIN_REQUIRE_CORPUS();
    std::vector<fs::path> helpFiles;
    for (const auto& e : fs::directory_iterator(testsupport::CorpusDir() / "hlp"))
        if (build::SameText(e.path().extension().string(), ".hlp")) helpFiles.push_back(e.path());
    std::sort(helpFiles.begin(), helpFiles.end());
    ASSERT_FALSE(helpFiles.empty());
    ImportFixture fx;
    for (const fs::path& help : helpFiles) {
        SCOPED_TRACE(help.filename().string());
        fx.Reset();
        // The program's own contents reader, recorded.
        fx.env.readCntFile = [&fx](editor::EditorContext& c, const std::string& path) {
            fx.cntFiles.push_back(path);
            return build::ReadCntFileInto(c, path);
        };
        const std::string name = help.stem().string();
        build::ImportFields f;
        std::vector<std::string> converted;
        ASSERT_TRUE(fx.Import(help.string(), name, &f, &converted)) << fx.Messages();

        // The converter's own output, now in the project folder.
        std::string hpjName, rtfName;
        std::size_t pictures = 0;
        for (const std::string& name : converted) {
            const std::string ext = fs::path(name).extension().string();
            if (build::SameText(ext, ".hpj")) hpjName = name;
            else if (build::SameText(ext, ".rtf")) rtfName = name;
            else if (!build::SameText(ext, ".cnt")) ++pictures;
        }
        const std::string convertedHpj = testsupport::ReadFileBytes(plat::NativePath(f.directory + "/" + hpjName));
        const std::string convertedRtf = testsupport::ReadFileBytes(plat::NativePath(f.directory + "/" + rtfName));
        std::size_t inGraphics = 0;
        for (const auto& e : fs::directory_iterator(plat::NativePath(f.graphicsDir))) inGraphics += e.is_regular_file();
        EXPECT_EQ(inGraphics, pictures);

        // A full build of the imported project on the tables, with the fake compiler.
        for (const char* tool : {"hcw", "HCP.EXE", "WinHlp32"})
            fs::copy_file(FAKE_HELP_TOOL, fs::path(fx.folder.dir) / tool, fs::copy_options::overwrite_existing);
        ASSERT_TRUE(fx.ctx.mainTable->FindKey({db::TValue{name}}));
        std::map<std::string, std::string> kindOf;
        {
            vl::TvlTable& t = *fx.ctx.CdetailTable;
            t.First();
            EXPECT_EQ(t.FieldByName("TopicPopup")->AsString(), "T");
            for (; !t.Eof(); t.Next())
                kindOf[t.FieldByName("ContextString")->AsString()] = t.FieldByName("TopicPopup")->AsString();
        }
        build::TableBuildProject project(fx.ctx);
        build::BuildEnvironment benv = build::MakeBuildEnvironment(fx.ctx);
        benv.createProgress = [] { return std::make_unique<build::NullProgress>(); };
        // Every page read and cached record outside a transaction is synced
        // to disk on its own: one transaction around the build keeps it quick.
        std::uint32_t tr = 0;
        ASSERT_EQ(qv::DbiBeginTran(fx.ctx.mainTable->DBHandle(), 0, tr), 0);
        ASSERT_EQ(build::RunFullCompile(project, benv, false), build::BuildOutcome::Compiled) << fx.Messages();
        ASSERT_EQ(qv::DbiEndTran(fx.ctx.mainTable->DBHandle(), tr, 0), 0);
        const std::string builtRtf = testsupport::ReadFileBytes(plat::NativePath(f.directory + "/" + f.fileName + ".rtf"));
        const std::string builtHpj = testsupport::ReadFileBytes(plat::NativePath(f.directory + "/" + f.fileName + ".HPJ"));

        // One built page per converted page, with the same footnotes.
        std::vector<roundtrip::PageFacts> want = roundtrip::ConverterPages(convertedRtf);
        std::vector<roundtrip::PageFacts> got = roundtrip::BuiltPages(builtRtf);
        // Intended difference: a topic the help file left untitled comes back
        // titled "Unknown", since the editor keeps no topic without a title.
        for (roundtrip::PageFacts& p : got)
            if (p.title == build::kUntitledTopicTitle) p.title.clear();
        // Sections without any footnote carry nothing to compare here: the
        // converter ends its RTF with empty ones, which the import drops, and
        // keeps a footnote-less section that has text as an untitled popup.
        // The page count is checked against the converter's in the import's
        // own corpus test.
        const auto bare = [](const roundtrip::PageFacts& p) {
            return roundtrip::Describe(p) == roundtrip::Describe(roundtrip::PageFacts{});
        };
        want.erase(std::remove_if(want.begin(), want.end(), bare), want.end());
        got.erase(std::remove_if(got.begin(), got.end(), bare), got.end());
        ASSERT_EQ(got.size(), want.size());
        std::sort(want.begin(), want.end());
        std::sort(got.begin(), got.end());
        for (std::size_t i = 0; i < want.size(); ++i)
            ASSERT_EQ(roundtrip::Describe(got[i]), roundtrip::Describe(want[i])) << "page " << i;

        // The project's settings come back. [OPTIONS]: the same title,
        // compression, copyright and default topic.
        // Intended difference: a help file without a copyright gets the
        // build's default line.
        for (const char* key : {"Title", "Compress", "Copyright", "Contents"}) {
            std::string want = build::HpjValue(convertedHpj, "OPTIONS", key);
            if (want.empty() && std::string(key) == "Copyright") want = "Created with Tavrin";
            EXPECT_EQ(build::HpjValue(builtHpj, "OPTIONS", key), want) << key;
        }
        // [CONFIG]: the same macros in the same order; none when it had none.
        const auto macros = [](const std::string& hpj) {
            std::vector<std::string> m;
            for (const std::string& line : build::HpjSection(hpj, "CONFIG").value_or(std::vector<std::string>{}))
                if (!roundtrip::TrimmedCopy(line).empty()) m.push_back(roundtrip::TrimmedCopy(line));
            return m;
        };
        EXPECT_EQ(macros(builtHpj), macros(convertedHpj));
        // [WINDOWS]: every window by name with its position and colours.
        // Intended differences: the main window's caption is left to TITLE,
        // and a region colour the help file left out is written as the
        // project's (white).
        const auto windows = [](const std::string& hpj) {
            std::map<std::string, std::vector<std::string>> w;
            for (const std::string& line : build::HpjSection(hpj, "WINDOWS").value_or(std::vector<std::string>{})) {
                const std::size_t eq = line.find('=');
                if (eq == std::string::npos) continue;
                std::vector<std::string> f = build::WindowValueFields(line.substr(eq + 1));
                f.resize(5);
                if (roundtrip::TrimmedCopy(line.substr(0, eq)) == "main") f[0].clear();
                for (std::size_t i = 3; i < 5; ++i)
                    if (f[i].empty()) f[i] = "(255,255,255)";
                w[roundtrip::TrimmedCopy(line.substr(0, eq))] = f;
            }
            return w;
        };
        const auto convertedWindows = windows(convertedHpj);
        for (const auto& [window, fields] : convertedWindows) {
            SCOPED_TRACE(window);
            ASSERT_TRUE(windows(builtHpj).count(window)) << builtHpj;
            EXPECT_EQ(windows(builtHpj).at(window), fields);
        }
        // [MAP]: every id of the help file, a context string's further ids
        // too. Intended difference: a page the map left out gets its line.
        std::set<std::pair<std::string, std::int32_t>> builtMap;
        for (const build::ContextMapEntry& m : build::ReadHpjMap(builtHpj)) builtMap.emplace(m.contextString, m.helpId);
        for (const build::ContextMapEntry& m : build::ReadHpjMap(convertedHpj))
            EXPECT_TRUE(builtMap.count({m.contextString, m.helpId})) << m.contextString << " " << m.helpId;

        // Each mapped context string of a topic keeps its first id, the
        // default topic too unless a popup would come first (then it takes
        // the lowest id, and its mapped id stays in [MAP], checked above).
        const std::string contents = build::HpjValue(convertedHpj, "OPTIONS", "Contents");
        std::map<std::string, std::int32_t> built;
        for (const build::ContextMapEntry& m : build::ReadHpjMap(builtHpj)) built.emplace(m.contextString, m.helpId);
        std::set<std::string> seen;
        int checked = 0;
        for (const build::ContextMapEntry& m : build::ReadHpjMap(convertedHpj)) {
            if (!seen.insert(m.contextString).second) continue;
            if (kindOf.count(m.contextString) == 0 || kindOf[m.contextString] != "T") continue;
            if (m.contextString == contents && built[m.contextString] != m.helpId) {
                EXPECT_TRUE(builtMap.count({m.contextString, m.helpId}));
                EXPECT_LT(built[m.contextString], m.helpId);
                continue;
            }
            ASSERT_TRUE(built.count(m.contextString)) << m.contextString;
            EXPECT_EQ(built[m.contextString], m.helpId) << m.contextString;
            ++checked;
        }
        if (!build::ReadHpjMap(convertedHpj).empty()) EXPECT_GT(checked, 0);
        // A contents file beside the help file reaches the contents reader.
        bool hasCnt = false;
        for (const auto& e : fs::directory_iterator(help.parent_path()))
            hasCnt = hasCnt || build::SameText(e.path().filename().string(), help.stem().string() + ".cnt");
        EXPECT_EQ(fx.cntFiles.size(), hasCnt ? 1u : 0u);
        // Its entries are the new project's contents (one row a line, the
        // ":" lines aside).
        int entries = 0;
        if (hasCnt)
            for (const std::string& line : plat::SplitLines(testsupport::ReadFileBytes(plat::NativePath(fx.cntFiles[0]))))
                entries += !line.empty() && line[0] != ':';
        ASSERT_TRUE(fx.ctx.mainTable->FindKey({db::TValue{name}}));
        EXPECT_EQ(fx.ctx.cntShadow->RecordCount(), entries) << fx.Messages();
        if (hasCnt) EXPECT_GT(entries, 200);
    }
}

}  // namespace

namespace {

// The plain text of an RTF document, paragraphs joined by "\n".
std::string PlainText(const std::string& rtf) {
    richtext::TJDRTFText model;
    richtext::TJDRtfReader reader;
    reader.SetModel(&model);
    std::istringstream in(rtf);
    reader.Read(in);
    std::string text;
    for (auto* p = model.FirstParagraph(); p; p = p->next) text += model.ParagraphText(p) + "\n";
    return text;
}

TEST(ImportRoundTrip, OwnBuildOfAFixtureProjectComesBackTheSame) {
    buildtest::BuildFixture b;
    b.cancelAtPercent = 1000;  // never
    const std::string anchor = "{\\cs16\\super #{\\*\\footnote \\pard\\plain {\\cs16\\super #} anchor1}}";
    b.AddPage(10, "T", "intro", "Intro", "{\\rtf1\\ansi See {\\uldb Other}{\\v other} and {\\ul Pop}{\\v pop}. " + anchor +
                                          "Anchor here.\\par Second paragraph.}",
              "{\\rtf1\\ansi {\\b Intro} title}");
    b.project.pages.back().keys = "alpha;beta";
    b.project.pages.back().browseName = "seq";
    b.project.pages.back().browseId = "1";
    b.project.pages.back().macroFootnote = "CB(\"b\",\"x\")";
    b.project.pages.back().bFootnote = "bnote";
    b.project.pages.back().aFootnote = "akey";
    b.AddPage(20, "T", "other", "Other", "{\\rtf1\\ansi Second page}", "");
    b.AddPage(30, "P", "pop", "", "{\\rtf1\\ansi Popup text}", "");
    b.AddPage(40, "T", "", "Caf\xe9", "{\\rtf1\\ansi Without a context string}", "{\\rtf1\\ansi Caf\\'e9}");
    ASSERT_EQ(b.Full(), build::BuildOutcome::Compiled) << b.Messages();

    build::SplitResult split = build::ImportRtfTopics(b.Read("demo.rtf"));
    ASSERT_EQ(split.status, build::SplitResult::Status::Ok);
    build::AssignImportedHelpIds(split.pages, build::ReadHpjMap(b.Read("demo.HPJ")), "");
    ASSERT_EQ(split.pages.size(), b.project.pages.size());
    for (std::size_t i = 0; i < split.pages.size(); ++i) {
        const build::PageRow& want = b.project.pages[i];
        build::ImportedPage got = split.pages[i];
        SCOPED_TRACE(want.title);
        EXPECT_EQ(*got.helpId, want.helpId);
        EXPECT_EQ(got.contextString, want.contextString);
        EXPECT_EQ(got.title, want.title);
        EXPECT_EQ(got.keys, want.keys);
        EXPECT_EQ(got.browseName, want.browseName);
        EXPECT_EQ(got.browseId ? std::to_string(*got.browseId) : "", want.browseId);
        EXPECT_EQ(got.macroFootnote, want.macroFootnote);
        EXPECT_EQ(got.bFootnote, want.bFootnote);
        EXPECT_EQ(got.aFootnote, want.aFootnote);
        EXPECT_EQ(got.topicPopup, want.topicPopup);
        got.helpText = build::ConvertImportedJumps(got.helpText, split.colourMap);
        EXPECT_EQ(PlainText(got.helpText), PlainText(want.helpText));
        if (want.topicPopup == "T" && !want.fullTitle.empty()) {
            EXPECT_EQ(PlainText(got.fullTitle), PlainText(want.fullTitle));
        } else {
            EXPECT_TRUE(got.fullTitle.empty()) << got.fullTitle;
        }
    }
    // The jumps keep their marks and targets; the anchor is a footnote again.
    const std::string& body = split.pages[0].helpText;
    EXPECT_NE(body.find("\\uldb Other"), std::string::npos) << body;
    EXPECT_NE(body.find("\\v other"), std::string::npos) << body;
    EXPECT_NE(body.find("\\ul Pop"), std::string::npos) << body;
    EXPECT_NE(body.find("\\v pop"), std::string::npos) << body;
    std::vector<build::RtfFootnote> anchors = build::FindFootnotes(body);
    ASSERT_EQ(anchors.size(), 1u);
    EXPECT_EQ(anchors[0].value, "anchor1");
}

}  // namespace
