// The HTML export end to end on the engine's project tables: pages whose
// memos the text engine reads (jumps, a popup, a mark, pictures linked and
// referenced, a missing one, a metafile, an SHG with hotspots) are named in
// the export table and written into a folder.
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>

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
#include "helpbuild/tests/html_page_check.h"

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

    // Derivation: one head after "<html>" with the page's title and keywords,
    // one body with the colour, the background and the base font; the title
    // region comes first; the jump to "Topic2>main" resolves by its context
    // string; the popup is not exported and, like the missing page, stays
    // text and is logged; link colour tags go; the mark becomes an anchor;
    // the linked BMP and its "\{bmc\}" reference become one GIF; the SHG
    // reference becomes map1.
    EXPECT_EQ(ReadFile(fs::path(out) / "Index.htm"),
              "<html>\r\n"
              "<HEAD>\r\n<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1252\">\r\n"
              "<TITLE>Welcome</TITLE>\r\n<META HTTP-EQUIV=\"Keywords\" CONTENT=\"start,welcome\">\r\n</HEAD>\r\n"
              "<BODY BGCOLOR=\"#DDDDDD\" BACKGROUND=\"bkyellow.gif\" STYLE=\"font-family:'Arial';font-size:10pt\">\r\n"
              "<BASEFONT FACE=\"Arial\" COLOR=#000000>\r\n"
              "<p>Demo &amp; Co</p>\r\n<br>\r\n"
              "<p>See <A HREF=\"Topic2.htm\">next</A>, a note and gone.</p>\r\n"
              "<p><A NAME=\"Top\"></A>Top <IMG SRC=\"Images/logo.gif\" WIDTH=\"8\" HEIGHT=\"4\"> "
              "<IMG SRC=\"Images/logo.gif\"></p>\r\n"
              "<p><IMG SRC=\"Images/nav.gif\" USEMAP=\"#map1\">\r\n<MAP NAME=\"map1\">\r\n"
              "<AREA SHAPE=\"RECT\" COORDS=\"0,0,4,2\" HREF=\"Index.htm\">\r\n"
              "<AREA SHAPE=\"RECT\" COORDS=\"4,0,6,2\" HREF=\"Topic2.htm\">\r\n</MAP>\r\n</p>\r\n"
              "\r\n</BODY>\r\n</html>");
    const std::string two = ReadFile(fs::path(out) / "Topic2.htm");
    // "Top" is a mark of the other page: no link.
    EXPECT_NE(two.find("Back <A HREF=\"Index.htm\">home</A>, up."), std::string::npos) << two;
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

// Each help file of the corpus imported as a project (the converter program
// and the import) and exported, then walked as a browser would: every link
// opens a written page, an anchor of its page or a web address; no page
// shows the writer's escapes or an embedded window's reference; every page
// has a title; every picture is a GIF that exists or is logged.
struct HtmlCorpus : HtmlTables, ::testing::WithParamInterface<const char*> {};

TEST_P(HtmlCorpus, ImportedHelpFileExportsWithoutDeadLinksOrEscapes) {
    TAVRIN_REQUIRE_CORPUS();
    const std::string file = GetParam();
    const bool demist = file == "DEMIST.HLP";
    plat::SetDataHome(home.path().string());
    build::ImportEnvironment env = build::DefaultImportEnvironment();
    env.converterProgram = [] { return std::string(RENDLOW32_PROGRAM); };
    env.createProgress = [] { return std::make_unique<NullProgress>(); };
    env.readCntFile = [](editor::EditorContext&, const std::string&) { return true; };
    env.setCaption = [](const std::string&) {};
    build::ImportFields fields;
    {
        build::ImportSession session(*ctx, env);
        fields.helpFile = testsupport::CorpusFile("hlp/" + file).string();
        ASSERT_TRUE(session.ConvertHelpFile(fields)) << (dialogs.Requests().empty() ? "" : dialogs.Last().text);
        fields.application = "Corpus";
        ASSERT_TRUE(session.Finish(fields)) << (dialogs.Requests().empty() ? "" : dialogs.Last().text);
    }
    plat::SetDataHome("");
    ASSERT_TRUE(exp->SelectProject("Corpus"));
    const std::string conv = editor::ProjectFolder(exp->Field("GraphicsDir"), ctx->ProgramDir);
    exp->AssignHtmlFileNames(false, false);
    const int id = exp->Count();
    ASSERT_GT(id, demist ? 200 : 5);
    ASSERT_TRUE(exp->ValidateHtmlFileNames()) << (dialogs.Requests().empty() ? "" : dialogs.Last().text);

    NullProgress progress;
    HtmlExportLog log;
    HtmlExportOptions o = Options();
    o.project = "Corpus";
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
    int links = 0, gifs = 0, wmfs = 0, pages = 0;
    for (const auto& e : fs::directory_iterator(out)) {
        const std::string page = e.path().filename().string();
        EXPECT_NE(page.front(), '.') << page;
        if (e.path().extension() != ".htm") continue;
        ++pages;
        const std::string html = ReadFile(e.path());
        const std::vector<htmlcheck::Tag> tags = htmlcheck::Tags(html);
        std::set<std::string> anchors;
        for (const htmlcheck::Tag& t : tags)
            if (const std::string* n = t.name == "A" ? t.Find("NAME") : nullptr) anchors.insert(*n);
        for (const htmlcheck::Tag& t : tags) {
            if (t.name == "A" || t.name == "AREA") {
                for (const auto& [attribute, value] : t.attributes)
                    EXPECT_TRUE(attribute == "NAME" || attribute == "HREF" || attribute == "SHAPE" || attribute == "COORDS")
                        << page << ": " << attribute << "=" << value;
            }
            const std::string* href = t.name == "A" || t.name == "AREA" ? t.Find("HREF") : nullptr;
            if (!href) continue;
            ++links;
            if (!href->empty() && (*href)[0] == '#') {
                EXPECT_TRUE(anchors.count(href->substr(1))) << page << ": " << *href;
            } else if (href->rfind("http://", 0) != 0 && href->rfind("https://", 0) != 0 &&
                       href->rfind("mailto:", 0) != 0) {
                EXPECT_TRUE(!href->empty() && fs::is_regular_file(fs::path(out) / *href)) << page << ": " << *href;
            }
        }
        for (const htmlcheck::Tag& t : tags) {
            const std::string* src = t.name == "IMG" ? t.Find("SRC") : nullptr;
            if (!src) continue;
            ++gifs;
            if (!fs::exists(fs::path(out) / *src))
                EXPECT_TRUE(logged("\"" + page + "\", graphic not found") || logged("\"" + page + "\", WMF"))
                    << page << ": " << *src;
        }
        const std::string text = htmlcheck::Text(html);
        for (const char* escape : {"\\{", "\\}", "\\\\", "{ew", "\\{bm"})
            EXPECT_EQ(text.find(escape), std::string::npos) << page << ": " << escape << " in "
                                                            << text.substr(text.find(escape) > 40 ? text.find(escape) - 40 : 0, 100);
        EXPECT_FALSE(htmlcheck::Title(html).empty()) << page;
        EXPECT_EQ(htmlcheck::Count(tags, "HEAD"), 1) << page;
        EXPECT_EQ(htmlcheck::Count(tags, "BODY"), 1) << page;
    }
    EXPECT_EQ(pages, id);
    if (fs::exists(plat::NativePath(conv)))
        for (const auto& e : fs::directory_iterator(plat::NativePath(conv)))
            if (e.path().extension() == ".wmf") {
                ++wmfs;
                EXPECT_TRUE(logged("WMF files are not currently supported - \"" + conv + "\\" +
                                   e.path().filename().string() + "\""))
                    << e.path();
            }
    EXPECT_GT(links, demist ? 100 : 0);
    if (demist) {
        EXPECT_GT(gifs, 20);
        EXPECT_GT(wmfs, 0);
    }
    for (const std::string& l : problems)
        EXPECT_TRUE(l.find("unresolved link") != std::string::npos || l.find("WMF files") != std::string::npos ||
                    l.find("embedded window left out") != std::string::npos ||
                    l.find("unresolved SHG link") != std::string::npos || l.find("graphic not found") != std::string::npos)
            << l;
    std::printf("%s: %d pages, %d links, %d pictures, %zu log lines\n", file.c_str(), pages, links, gifs,
                problems.size());
    // To look at the pages in a browser: a folder to copy each export into.
    if (const char* keep = std::getenv("TAVRIN_KEEP_HTML_EXPORT")) {
        const fs::path to = fs::path(keep) / file.substr(0, file.find('.'));
        fs::remove_all(to);
        fs::create_directories(to);
        fs::copy(out, to, fs::copy_options::recursive);
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, HtmlCorpus,
                         ::testing::Values("DEMIST.HLP", "EUDORA.hlp", "PJDropFiles.hlp", "winfile.hlp"),
                         [](const auto& info) {
                             std::string n = info.param;
                             return n.substr(0, n.find('.'));
                         });

}  // namespace
