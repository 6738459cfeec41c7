// The HTML export end to end on the engine's project tables: pages whose
// memos the text engine reads (jumps, a popup, a mark, pictures linked and
// referenced, a missing one, a metafile, an SHG with hotspots) are named in
// the export table and written into a folder.
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <fstream>

#include "helpbuild/html_export.h"
#include "helpbuild/tables/table_html_export.h"
#include "helpbuild/import_project.h"
#include "converter/tests/hlp_builder.h"
#include "project/helpers.h"
#include "platform/core/paths.h"
#include "project/editor_context.h"
#include "project/project_tables.h"
#include "helpbuild/tables/tests/sync_counter.h"
#include "data/engine_driver.h"
#include "data/fields.h"
#include "platform/core/dialog_service.h"
#include "platform/imaging/codecs.h"
#include "tests/support/test_support.h"

namespace {

using namespace build;
namespace fs = std::filesystem;

std::string Rtf(const std::string& body) {
    return "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil Arial;}}{\\colortbl;\\red0\\green128\\blue0;}"
           "\\paperw12240\\paperh15840\\margl1880\\margr1880\\margt1440\\margb1440 \\plain\\f0\\fs20 " +
           body + "}";
}

std::string PicFile(const std::string& name) {
    return "{\\*\\picfile\\picw120\\pich60\\picwgoal120\\pichgoal60 \"" + name + "\"}";
}

std::string ReadFile(const fs::path& p) { return testsupport::ReadFileBytes(p); }

QImage Checker(int w, int h, QRgb a, QRgb b) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.setPixel(x, y, (x + y) % 3 ? a : b);
    return img;
}

QImage Gif(const fs::path& p) {
    QImage img;
    if (imaging::DecodeImage(ReadFile(p), imaging::TImageKind::Gif, img) < 1) return {};
    return img.convertToFormat(QImage::Format_RGB32);
}

std::string NavShg() {
    const std::uint32_t w = 8, h = 2, row = 4;
    std::string palette = std::string("\x00\x00\xFF\x00", 4) + std::string("\x00\xFF\x00\x00", 4);
    const std::vector<hlptest::ShgHotspotDef> defs = {
        {0x00E3, 0, 0, 4, 2, "home", "Welcome"},
        {0x04E6, 4, 0, 2, 2, "two", "3"},
        {0x00C8, 6, 0, 2, 2, "quit", "Exit()"},
    };
    return hlptest::ShgContainer(
        "lp", {hlptest::ShgBitmapImage(w, h, 4, 0, palette, 2, std::string(row * h, '\x10'),
                                       hlptest::ShgHotspotBlock(defs))});
}

using buildtest::SyncCounter;


struct HtmlTables : ::testing::Test {
    testsupport::TempDir home;
    std::shared_ptr<db::TEngineDriver> driver;
    std::unique_ptr<editor::EditorContext> ctx;
    std::unique_ptr<TableHtmlExport> exp;
    gui::ScriptedDialogService dialogs;
    std::unique_ptr<gui::ScopedDialogService> scoped;
    std::string project, pics, out;

    void SetUp() override {
        scoped = std::make_unique<gui::ScopedDialogService>(dialogs);
        driver = std::make_shared<db::TEngineDriver>();
        db::Session().SetDriver(driver);
        editor::InstallProjectTables(home.path().string());
        ctx = std::make_unique<editor::EditorContext>();
        ctx->ProgramDir = home.path().string();
        ctx->BindAlias();
        ctx->OpenTables();
        project = (home.path() / "demo").string();
        pics = project + "/Graphics";
        out = project + "/Html";
        fs::create_directories(pics);
        fs::create_directories(out + "/Images");
        db::TDataSet* m = ctx->mainTable;
        m->Append();
        Set(m, "Application", "Demo");
        Set(m, "ProjectDir", project);
        Set(m, "GraphicsDir", pics);
        m->FieldByName("ScrollColor")->SetAsInteger(0xC0C0C0);
        m->Post();
        exp = std::make_unique<TableHtmlExport>(*ctx);
    }
    void TearDown() override {
        exp.reset();
        ctx.reset();
        db::Session().SetDriver(nullptr);
    }
    static void Set(db::TDataSet* t, const char* field, const std::string& value) {
        t->FieldByName(field)->SetAsString(value);
    }
    void AddPage(int id, const char* kind, const std::string& context, const std::string& title,
                 const std::string& body, const std::string& keys = "", const std::string& fullTitle = "") {
        db::TDataSet* d = ctx->detailTable;
        d->Append();
        d->FieldByName("HelpId")->SetAsInteger(id);
        Set(d, "TopicPopup", kind);
        Set(d, "ContextString", context);
        Set(d, "Title", title);
        Set(d, "Keys", keys);
        Set(d, "HelpText", Rtf(body));
        Set(d, "FullTitle", fullTitle.empty() ? "" : Rtf(fullTitle));
        d->Post();
    }
    std::vector<std::string> Names() {
        std::vector<std::string> n;
        for (exp->tblHtml->First(); !exp->tblHtml->Eof(); exp->tblHtml->Next())
            n.push_back(exp->tblHtml->FieldByName("ContextString")->AsString());
        return n;
    }
    HtmlExportOptions Options() {
        HtmlExportOptions o;
        o.project = "Demo";
        o.outputDir = out;
        o.gifDir = out + "/Images";
        o.projectFolder = project;
        o.pictureFolder = pics;
        o.scrollColor = 0xC0C0C0;
        o.background = "bkyellow.gif";
        return o;
    }
};

TEST_F(HtmlTables, NamesComeFromContextStringsOrTitlesAndIndexIsReserved) {
    AddPage(1, "T", "Welcome", "Welcome", "a");
    AddPage(2, "T", "GettingStarted", "Getting started", "b");
    AddPage(3, "T", "GettingStuck", "Stuck", "c");
    AddPage(4, "T", "", "Main Menu", "d");
    AddPage(5, "P", "index", "A popup", "e");
    ASSERT_TRUE(exp->SelectProject("Demo"));
    exp->AssignHtmlFileNames(false, false);
    EXPECT_EQ(Names(), (std::vector<std::string>{"Index", "GettingS", "Getting1", "Main_Men", "index1"}));
    // The project's context strings are kept for the links.
    exp->tblHtml->First();
    EXPECT_EQ(exp->tblHtml->FieldByName("MacroFootnote")->AsString(), "Welcome");
    exp->AssignHtmlFileNames(true, true);
    EXPECT_EQ(Names(), (std::vector<std::string>{"Index", "GettingStarted", "GettingStuck", "Main_Menu"}));
    EXPECT_TRUE(exp->ValidateHtmlFileNames());
    EXPECT_TRUE(dialogs.Requests().empty());
}

// The export table is filled with one row a page and emptied again by the
// next export: row by row outside a transaction, each waited on disk syncs.
TEST_F(HtmlTables, FillingAndEmptyingTheExportTableSyncsOnceNotOncePerRow) {
    constexpr int kPages = 40;
    for (int id = 1; id <= kPages; ++id) AddPage(id, "T", "page" + std::to_string(id), "Page", "Text.");
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);  // the second run deletes the first run's rows
        long syncs = 0;
        {
            SyncCounter counter;
            exp->AssignHtmlFileNames(false, false);
            syncs = counter.Syncs();
        }
        EXPECT_LT(syncs, kPages);
        ASSERT_EQ(exp->Count(), kPages);
        std::vector<std::string> names = Names();
        EXPECT_EQ(names.front(), "Index");
        EXPECT_EQ(names.back(), "page40");
        // The rows are on disk for another cursor too.
        vl::TvlTable fresh(nullptr);
        fresh.DatabaseName = plat::IncludeTrailingBackslash(ctx->ProgramDir);
        fresh.TableName = kHtmlTableFile;
        fresh.Open();
        EXPECT_EQ(fresh.RecordCount(), kPages);
    }
}

// A page without a context string is named after its title; the names the
// export gives pass its own check (EUDORA.hlp has a page "To: field").
TEST_F(HtmlTables, NamesMadeFromTitlesPassTheCheck) {
    AddPage(1, "T", "start", "Start", "Text.");
    AddPage(2, "T", "", "To: field", "Text.");
    AddPage(3, "P", "", "A <b> \"c\"?", "Text.");
    exp->AssignHtmlFileNames(true, false);
    EXPECT_EQ(Names(), (std::vector<std::string>{"Index", "To__field", "A__b___c__"}));
    EXPECT_TRUE(exp->ValidateHtmlFileNames()) << (dialogs.Requests().empty() ? "" : dialogs.Last().text);
    EXPECT_TRUE(dialogs.Requests().empty());
}

TEST_F(HtmlTables, HandEditedNamesAreCheckedWithTheirWarnings) {
    AddPage(1, "T", "Welcome", "Welcome", "a");
    AddPage(2, "T", "Two", "Two", "b");
    AddPage(3, "T", "Three", "Three", "c");
    ASSERT_TRUE(exp->SelectProject("Demo"));
    exp->AssignHtmlFileNames(true, false);
    const std::pair<std::string, std::string> cases[] = {
        {"", "Every page needs a filename. Please ensure that all pages have filenames."},
        {"../escape", "The filename [../escape] is not valid. Please change it to a valid name."},
        {"two", "Each Page must have a Unique filename. You have used [two] as a page name, twice. Please make it "
                "unique."},
    };
    for (const auto& [name, text] : cases) {
        exp->tblHtml->Last();
        exp->tblHtml->Edit();
        Set(exp->tblHtml, "ContextString", name);
        exp->tblHtml->Post();
        dialogs.Clear();
        EXPECT_FALSE(exp->ValidateHtmlFileNames()) << name;
        ASSERT_EQ(dialogs.Requests().size(), 1u) << name;
        EXPECT_EQ(dialogs.Last().caption, "Warning");
        EXPECT_EQ(dialogs.Last().text, text);
    }
    exp->tblHtml->Last();
    exp->DeleteCurrentPage();
    EXPECT_EQ(Names(), (std::vector<std::string>{"Index", "Two"}));
}

TEST_F(HtmlTables, ExportWritesLinkedPagesGifsAndImageMaps) {
    const QImage logo = Checker(6, 3, qRgb(200, 0, 0), qRgb(0, 0, 120));
    ASSERT_TRUE(logo.save(QString::fromStdString(pics + "/Logo.bmp"), "BMP"));
    testsupport::WriteFileBytes(fs::path(pics) / "nav.shg", NavShg());
    testsupport::WriteFileBytes(fs::path(pics) / "chart.wmf", std::string(30, '\0'));

    AddPage(1, "T", "Welcome", "Welcome",
            "See {\\uldb next}{\\v Topic2>main}, {\\cf1\\ul a note}{\\v Note} and {\\uldb gone}{\\v Missing}."
            "\\par \\{mtj Top\\}Top " + PicFile("Logo.bmp") + " \\{bmc logo.bmp\\}\\par \\{bml nav.shg\\}",
            "start;welcome", "Demo & Co");
    AddPage(2, "P", "Note", "A note", "Popup text.");
    AddPage(3, "T", "Topic2", "Second topic",
            "Back {\\uldb home}{\\v 1}, {\\uldb up}{\\v Top}. " + PicFile("nav.shg") + PicFile("gone.bmp") +
                PicFile("chart.wmf"));
    ASSERT_TRUE(exp->SelectProject("Demo"));
    exp->AssignHtmlFileNames(true, true);  // " Ignore Popups"
    ASSERT_EQ(Names(), (std::vector<std::string>{"Index", "Topic2"}));

    NullProgress progress;
    HtmlExportLog log;
    HtmlExportResult r = ExportHtmlPages(*exp, Options(), progress, log);
    ASSERT_EQ(r.outcome, HtmlExportOutcome::Written) << r.error;
    EXPECT_EQ(r.pages, 2);

    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(out)) files.push_back(e.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"Images", "Index.htm", "Topic2.htm"}));

    // Derivation: the head goes after "<html>"; the title region comes first;
    // the jump to "Topic2>main" resolves by its context string, the popup is
    // not exported and is logged like the missing page; link colour tags go;
    // the mark becomes an anchor; the linked BMP and its "\{bmc\}" reference
    // become one GIF; the SHG reference becomes map1.
    EXPECT_EQ(ReadFile(fs::path(out) / "Index.htm"),
              "<html>\r\n"
              "<HEAD>\r\n<META HTTP-EQUIV=\"Keywords\" CONTENT=\"start,welcome\"><BODY BGCOLOR=\"#DDDDDD\">"
              "<BODY BACKGROUND=\"bkyellow.gif\"></HEAD>\r\n"
              "<title></title><BASEFONT FACE=\"Arial\" COLOR=#000000>\r\n"
              "<p>Demo &amp; Co</p>\r\n<br>\r\n"
              "<p>See <A HREF=\"Topic2.htm\">next</A>, <A HREF=\"Note\">a note</A> and "
              "<A HREF=\"Missing\">gone</A>.</p>\r\n"
              "<p><A NAME=\"Top\"></A>Top <IMG SRC=\"Images/logo.gif\" WIDTH=\"8\" HEIGHT=\"4\"> "
              "<IMG SRC=\"Images/logo.gif\"></p>\r\n"
              "<p><IMG SRC=\"Images/nav.gif\" USEMAP=\"#map1\">\r\n<MAP NAME=\"map1\">\r\n"
              "<AREA SHAPE=\"RECT\" COORDS=\"0,0,4,2\" HREF=\"Index.htm\">\r\n"
              "<AREA SHAPE=\"RECT\" COORDS=\"4,0,6,2\" HREF=\"Topic2.htm\">\r\n</MAP>\r\n</p>\r\n"
              "\r\n</html>");
    const std::string two = ReadFile(fs::path(out) / "Topic2.htm");
    EXPECT_NE(two.find("Back <A HREF=\"Index.htm\">home</A>, <A HREF=\"Top\">up</A>."), std::string::npos) << two;
    EXPECT_NE(two.find("<IMG SRC=\"Images/nav.gif\" USEMAP=\"#map2\" WIDTH=\"8\" HEIGHT=\"4\">\r\n"
                       "<MAP NAME=\"map2\">\r\n"),
              std::string::npos)
        << two;
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{
                               "Conversion Log for Project: Demo",
                               std::string(65, '-'),
                               "Page - \"Index.htm\", unresolved link - \"Note\"",
                               "Page - \"Index.htm\", unresolved link - \"Missing\"",
                               "Page - \"Topic2.htm\", unresolved link - \"Top\"",
                               "Page - \"Topic2.htm\", graphic not found - \"" + pics + "\\gone.bmp\"",
                               "Page - \"Topic2.htm\", WMF files are not currently supported - \"" + pics +
                                   "\\chart.wmf\"",
                           }));
    EXPECT_EQ(Gif(fs::path(out) / "Images/logo.gif"), logo);
    const QImage nav = Gif(fs::path(out) / "Images/nav.gif");
    ASSERT_EQ(nav.size(), QSize(8, 2));
    EXPECT_EQ(nav.pixel(0, 0), qRgb(0, 255, 0));
    EXPECT_EQ(nav.pixel(1, 0), qRgb(255, 0, 0));
}

}  // namespace

namespace {

// hlp/DEMIST.HLP imported as a project (the converter program and the
// import) and exported: every link names an exported file, a mark of its
// page, or is logged; every picture is a GIF that exists or is logged.
TEST_F(HtmlTables, ImportedHelpFileExportsWithEveryLinkAndPictureAccountedFor) {
    TAVRIN_REQUIRE_CORPUS();
    plat::SetDataHome(home.path().string());
    build::ImportEnvironment env = build::DefaultImportEnvironment();
    env.converterProgram = [] { return std::string(RENDLOW32_PROGRAM); };
    env.createProgress = [] { return std::make_unique<NullProgress>(); };
    env.readCntFile = [](editor::EditorContext&, const std::string&) { return true; };
    env.setCaption = [](const std::string&) {};
    build::ImportFields fields;
    {
        build::ImportSession session(*ctx, env);
        fields.helpFile = testsupport::CorpusFile("hlp/DEMIST.HLP").string();
        ASSERT_TRUE(session.ConvertHelpFile(fields)) << (dialogs.Requests().empty() ? "" : dialogs.Last().text);
        fields.application = "Demist";
        ASSERT_TRUE(session.Finish(fields)) << (dialogs.Requests().empty() ? "" : dialogs.Last().text);
    }
    plat::SetDataHome("");
    ASSERT_TRUE(exp->SelectProject("Demist"));
    const std::string conv = editor::ProjectFolder(exp->Field("GraphicsDir"), ctx->ProgramDir);
    exp->AssignHtmlFileNames(false, false);
    const int id = exp->Count();
    ASSERT_GT(id, 200);
    ASSERT_TRUE(exp->ValidateHtmlFileNames()) << (dialogs.Requests().empty() ? "" : dialogs.Last().text);

    NullProgress progress;
    HtmlExportLog log;
    HtmlExportOptions o = Options();
    o.pictureFolder = conv;
    o.background.clear();
    HtmlExportResult r = ExportHtmlPages(*exp, o, progress, log);
    ASSERT_EQ(r.outcome, HtmlExportOutcome::Written) << r.error;
    EXPECT_EQ(r.pages, id);

    const std::vector<std::string> problems = log.Problems();
    auto logged = [&](const std::string& text) {
        for (const std::string& l : problems)
            if (l.find(text) != std::string::npos) return true;
        return false;
    };
    int links = 0, gifs = 0, wmfs = 0;
    for (const auto& e : fs::directory_iterator(out)) {
        if (e.path().extension() != ".htm") continue;
        const std::string page = e.path().filename().string();
        const std::string html = ReadFile(e.path());
        for (std::size_t a = html.find("<A HREF=\""); a != std::string::npos; a = html.find("<A HREF=\"", a + 1)) {
            const std::size_t from = a + 9, quote = html.find('"', from);
            const std::string target = html.substr(from, quote - from);
            ++links;
            if (target[0] == '#') {
                EXPECT_NE(html.find("<A NAME=\"" + target.substr(1) + "\">"), std::string::npos) << page << target;
            } else if (!fs::exists(fs::path(out) / target)) {
                EXPECT_TRUE(logged("Page - \"" + page + "\", unresolved link - \"" + HtmlUnescape(target) + "\""))
                    << page << ": " << target;
            }
        }
        for (std::size_t a = html.find("<IMG SRC=\""); a != std::string::npos; a = html.find("<IMG SRC=\"", a + 1)) {
            const std::size_t from = a + 10, quote = html.find('"', from);
            const std::string src = html.substr(from, quote - from);
            EXPECT_TRUE(fs::exists(fs::path(out) / src)) << page << ": " << src;
            ++gifs;
        }
        EXPECT_EQ(html.find("\\{bm"), std::string::npos) << page;  // every reference was handled
    }
    for (const auto& e : fs::directory_iterator(plat::NativePath(conv)))
        if (e.path().extension() == ".wmf") {
            ++wmfs;
            EXPECT_TRUE(logged("WMF files are not currently supported - \"" + conv + "\\" +
                               e.path().filename().string() + "\""))
                << e.path();
        }
    EXPECT_GT(links, 100);
    EXPECT_GT(gifs, 20);
    EXPECT_GT(wmfs, 0);
    for (const std::string& l : problems)
        EXPECT_TRUE(l.find("unresolved link") != std::string::npos || l.find("WMF files") != std::string::npos) << l;
}

}  // namespace
