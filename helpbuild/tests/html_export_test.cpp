// The HTML export's string work: file names, colours, the head, links and
// marks, image maps, and pictures turned into GIF files.
#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <tuple>

#include "helpbuild/html_export.h"
#include "helpbuild/tests/html_page_check.h"
#include "converter/tests/hlp_builder.h"
#include "platform/imaging/codecs.h"
#include "tests/support/test_support.h"

namespace {

using namespace build;
namespace fs = std::filesystem;

// --- names ---------------------------------------------------------------------------

TEST(HtmlNames, ShortNamesAreCutAndNumberedWithinEightCharacters) {
    struct Case {
        const char* name;
        std::vector<std::string> taken;
        const char* expected;
    };
    const Case cases[] = {
        {"GettingS", {}, "GettingS"},
        {"GettingS", {"GETTINGS"}, "Getting1"},
        {"Main Menu", {}, "Main_Menu"},
        // Titles name pages too: what a file name cannot hold becomes "_".
        {"To: field", {}, "To__field"},
        {"a\\b/c*d?e\"f<g>h|i\tj", {}, "a_b_c_d_e_f_g_h_i_j"},
        {"To:_fiel", {"TO__FIEL"}, "To__fie1"},
        {"gettings", {"GETTINGS", "GETTING1"}, "getting2"},
        {"ab", {"AB"}, "ab1"},
        {"ABCDEFGH", {"ABCDEFGH", "ABCDEFG1", "ABCDEFG2", "ABCDEFG3", "ABCDEFG4", "ABCDEFG5", "ABCDEFG6",
                      "ABCDEFG7", "ABCDEFG8", "ABCDEFG9"},
         "ABCDEF10"},
    };
    for (const Case& c : cases) {
        HtmlNameList list(c.taken.begin(), c.taken.end());
        std::string got = MakeShortHtmlName(c.name, list);
        EXPECT_EQ(got, c.expected) << c.name;
        EXPECT_LE(got.size(), std::max<std::size_t>(8, std::string(c.name).size()));
    }
}

TEST(HtmlNames, PagesGetIndexFirstAndUniqueNamesAfter) {
    const std::vector<HtmlNameSource> pages = {
        {"Welcome", "Welcome", 1}, {"GettingStarted", "Getting started", 2}, {"GettingStuck", "Stuck", 3},
        {"", "Main Menu", 4},      {"index", "A page that would be index", 5}, {"INDEX", "Another", 6},
        {"", "", 123456}, {"", "", 123457},  // neither: named after the help id
        {"", "To: field", 7},                // a title a file cannot be named
    };
    EXPECT_EQ(AssignHtmlFileNames(pages, false),
              (std::vector<std::string>{"Index", "GettingS", "Getting1", "Main_Men", "index1", "INDEX2", "Page1234",
                                        "Page1231", "To__fiel"}));
    EXPECT_EQ(AssignHtmlFileNames(pages, true),
              (std::vector<std::string>{"Index", "GettingStarted", "GettingStuck", "Main_Menu", "index1", "INDEX2",
                                        "Page123456", "Page123457", "To__field"}));
    EXPECT_TRUE(AssignHtmlFileNames({}, false).empty());
}

TEST(HtmlNames, ColoursMapToTheirHtmlColours) {
    const std::pair<std::uint32_t, const char*> table[] = {
        {0x000000, "#000033"}, {0x000080, "#993300"}, {0x008000, "#008800"}, {0x008080, "#999966"},
        {0x800000, "#663399"}, {0x800080, "#993399"}, {0x808000, "#009999"}, {0x808080, "#999999"},
        {0xC0C0C0, "#DDDDDD"}, {0x0000FF, "#FF0000"}, {0x00FF00, "#00FF66"}, {0x00FFFF, "#FFFF00"},
        {0xFF0000, "#0066FF"}, {0xFF00FF, "#FF66CC"}, {0xFFFF00, "#00FFFF"}, {0xFFFFFF, "#FFFFFF"},
        {0x123456, "#FFFFCC"}, {0x80000005, "#FFFFCC"},
    };
    for (const auto& [colour, html] : table) EXPECT_EQ(ColorToHtmlColor(colour), html) << std::hex << colour;
}

// --- head ---------------------------------------------------------------------------------

TEST(HtmlHead, OneHeadThenOneBodyWithValuesEscaped) {
    const std::string page = "<html>\r\n<title></title><BASEFONT FACE=\"Arial\" COLOR=#000000>\r\n<p>x</p>\r\n\r\n</html>";
    HtmlPageHead head;
    head.title = "Fish & Chips";
    head.keys = "one;two";
    head.bgColor = "#FFFFFF";
    head.base = {"Arial", 10};
    EXPECT_EQ(InsertHtmlHead(page, head),
              "<html>\r\n<HEAD>\r\n<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1252\">\r\n"
              "<TITLE>Fish &amp; Chips</TITLE>\r\n<META HTTP-EQUIV=\"Keywords\" CONTENT=\"one,two\">\r\n</HEAD>\r\n"
              "<BODY BGCOLOR=\"#FFFFFF\" STYLE=\"font-family:'Arial';font-size:10pt\">\r\n"
              "<BASEFONT FACE=\"Arial\" COLOR=#000000>\r\n<p>x</p>\r\n\r\n</BODY>\r\n</html>");
    head.title = "<b>\"caf\xE9\"";
    head.keys = "a\"b;<c>&d";
    head.bgColor = "#000033";
    head.background = "my \"bk\".gif";
    head.base = {"Times' New\" Roman;}", 9};
    const std::string h = InsertHtmlHead(page, head);
    EXPECT_NE(h.find("<TITLE>&lt;b&gt;&quot;caf&#233;&quot;</TITLE>"), std::string::npos) << h;
    EXPECT_NE(h.find("CONTENT=\"a&quot;b,&lt;c&gt;&amp;d\">"), std::string::npos) << h;
    EXPECT_NE(h.find("<BODY BGCOLOR=\"#000033\" BACKGROUND=\"my &quot;bk&quot;.gif\" "
                     "STYLE=\"font-family:'Times New Roman';font-size:9pt\">"),
              std::string::npos)
        << h;
}

// --- links -----------------------------------------------------------------------------------

MemoryHtmlPages Pages() {
    MemoryHtmlPages p;
    const std::tuple<const char*, int, const char*> rows[] = {
        {"Index", 1, "Welcome"}, {"Topic2", 20, "Topic2"}, {"TopicX", 30, "TopicX"}, {"Shop", 40, "Shopping"}};
    for (const auto& [name, id, context] : rows) {
        HtmlExportRow r;
        r.name = name;
        r.helpId = id;
        r.contextString = context;
        p.rows.push_back(r);
    }
    return p;
}

std::string Link(const std::string& target, const std::string& text) {
    return "<FONT COLOR=#0000FF><A HREF=\"" + target + "\">" + text + "</A></FONT>";
}

TEST(HtmlLinks, JumpsResolveToFilesAndUnresolvedOnesAreLogged) {
    MemoryHtmlPages pages = Pages();
    struct Case {
        std::string target;
        std::string href;  // empty: unresolved, kept
    };
    const Case cases[] = {
        {"20", "Topic2.htm"},           {"1", "Index.htm"},           {"Topic2", "Topic2.htm"},
        {"topic2", "Topic2.htm"},       {"Topic2&gt;win", "Topic2.htm"}, {"Shopping@other.hlp", "Shop.htm"},
        {"welcome", "Index.htm"},       {"0", ""},                    {"Missing", ""},
        {"Missing&gt;main", ""},
        // "%" (no underline, no colour) and "*" (no colour) before a target
        // set the hot spot's look; the target is what follows.
        {"%Shopping", "Shop.htm"},      {"*Topic2&gt;win", "Topic2.htm"}, {"%20", "Topic2.htm"},
        {"%!Macro()", ""},
    };
    for (const Case& c : cases) {
        HtmlExportLog log;
        log.Start("Demo");
        const std::string out = RewriteHtmlLinks("<p>" + Link(c.target, "go") + "</p>", "Page7", pages, log);
        if (c.href.empty()) {
            EXPECT_EQ(out, "<p>go</p>") << c.target;
            std::string shown = c.target == "Missing&gt;main" ? "Missing>main" : c.target;
            EXPECT_EQ(log.Problems(),
                      std::vector<std::string>{"Page - \"Page7.htm\", unresolved link - \"" + shown + "\""});
        } else {
            EXPECT_EQ(out, "<p><A HREF=\"" + c.href + "\">go</A></p>") << c.target;
            EXPECT_FALSE(log.HasProblems()) << c.target;
        }
    }
}

TEST(HtmlLinks, MarksBecomeAnchorsAndOnlyWholeTargetsPointToThem) {
    MemoryHtmlPages pages = Pages();
    HtmlExportLog log;
    log.Start("Demo");
    // "Topic" is a mark of this page; "TopicX" is another page.
    const std::string page = "<p>" + Link("Topic", "here") + " and " + Link("TopicX", "there") +
                             "</p>\r\n<p>\\{mtj Topic\\}Section</p>\r\n<p>" + Link("Topic", "again") + "</p>";
    const std::string out = RewriteHtmlLinks(page, "Index", pages, log);
    EXPECT_EQ(out, "<p><A HREF=\"#Topic\">here</A> and <A HREF=\"TopicX.htm\">there</A></p>\r\n"
                   "<p><A NAME=\"Topic\"></A>Section</p>\r\n<p><A HREF=\"#Topic\">again</A></p>");
    EXPECT_FALSE(log.HasProblems()) << log.Text();
}

TEST(HtmlLinks, ColourTagsGoButTextBetweenStays) {
    MemoryHtmlPages pages = Pages();
    HtmlExportLog log;
    log.Start("Demo");
    // A coloured run before the link and styles around it stay as they are;
    // the link's own tag keeps its face.
    const std::string page = "<p><FONT COLOR=#FF0000>red</FONT> <b><FONT COLOR=#008000 FACE=\"Arial\">"
                             "<A HREF=\"20\">bold link</A></FONT></b> tail</p>";
    EXPECT_EQ(RewriteHtmlLinks(page, "Index", pages, log),
              "<p><FONT COLOR=#FF0000>red</FONT> <b><FONT FACE=\"Arial\"><A HREF=\"Topic2.htm\">bold link</A></FONT></b> "
              "tail</p>");
    // A link that no FONT tag directly surrounds keeps its neighbours.
    const std::string plain = "<p><FONT COLOR=#FF0000>x</FONT><A HREF=\"20\">y</A> <FONT COLOR=#FF0000>z</FONT></p>";
    EXPECT_EQ(RewriteHtmlLinks(plain, "Index", pages, log),
              "<p><FONT COLOR=#FF0000>x</FONT><A HREF=\"Topic2.htm\">y</A> <FONT COLOR=#FF0000>z</FONT></p>");
}

// Links one after another, as the writer gives a line of them: each loses its
// own colour tags only; a link whose </FONT> does not follow "</A>" keeps
// its tag, and a second colour close after a link is not taken twice.
TEST(HtmlLinks, EachLinkOfARowLosesOnlyItsOwnColourTags) {
    MemoryHtmlPages pages = Pages();
    const struct {
        std::string page, expected;
    } cases[] = {
        {Link("20", "a") + Link("Topic2", "b") + ", " + Link("40", "c"),
         "<A HREF=\"Topic2.htm\">a</A><A HREF=\"Topic2.htm\">b</A>, <A HREF=\"Shop.htm\">c</A>"},
        {"<FONT COLOR=#0000FF><A HREF=\"20\">a</A> </FONT>" + Link("1", "b"),
         "<FONT COLOR=#0000FF><A HREF=\"Topic2.htm\">a</A> </FONT><A HREF=\"Index.htm\">b</A>"},
        {"<FONT COLOR=#0000FF><A HREF=\"20\">a</A></FONT></FONT>",
         "<A HREF=\"Topic2.htm\">a</A></FONT>"},
        {"<i>" + Link("Missing", "m") + "</i>", "<i>m</i>"},
    };
    for (const auto& c : cases) {
        HtmlExportLog log;
        log.Start("Demo");
        EXPECT_EQ(RewriteHtmlLinks(c.page, "Index", pages, log), c.expected) << c.page;
    }
}

// --- image maps -------------------------------------------------------------------------------

TEST(HtmlImageMaps, AreasLinkToPagesMacrosAreLeftOutUnresolvedLogged) {
    MemoryHtmlPages pages = Pages();
    HtmlExportLog log;
    log.Start("Demo");
    const std::vector<ShgArea> areas = {
        {"20", false, 1, 2, 30, 20},
        {"Shopping", false, 40, 2, 10, 12},
        {"JumpId(`x.hlp',`y')", true, 0, 50, 64, 14},
        {"Nowhere", false, 5, 5, 5, 5},
        {"1", false, 0, 0, 8, 8},
    };
    EXPECT_EQ(ImageMapText(3, areas, "Topic2", "C:\\pics\\map.shg", pages, log),
              "<MAP NAME=\"map3\">\r\n"
              "<AREA SHAPE=\"RECT\" COORDS=\"1,2,31,22\" HREF=\"Topic2.htm\">\r\n"
              "<AREA SHAPE=\"RECT\" COORDS=\"40,2,50,14\" HREF=\"Shop.htm\">\r\n"
              "<AREA SHAPE=\"RECT\" COORDS=\"0,0,8,8\" HREF=\"Index.htm\">\r\n"
              "</MAP>\r\n");
    EXPECT_EQ(log.Problems(),
              std::vector<std::string>{"Page - \"Topic2.htm\", unresolved SHG link - \"Nowhere\" in C:\\pics\\map.shg\""});
    EXPECT_EQ(ImageMapText(4, {}, "Topic2", "x.shg", pages, log), "");
}

// --- pictures --------------------------------------------------------------------------------

QImage TestPicture(int w, int h, QRgb a, QRgb b) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.setPixel(x, y, (x + y) % 2 ? a : b);
    return img;
}

QImage DecodeGif(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    QImage img;
    if (imaging::DecodeImage(bytes, imaging::TImageKind::Gif, img) < 1) return {};
    return img.convertToFormat(QImage::Format_RGB32);
}

void WriteBytes(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

struct Pictures : ::testing::Test {
    testsupport::TempDir dir;
    std::string out, pics;
    HtmlGraphicsContext g;
    MemoryHtmlPages pages = Pages();
    HtmlExportLog log;
    void SetUp() override {
        out = (dir.path() / "Html").string();
        pics = (dir.path() / "pics").string();
        fs::create_directories(out + "/Images");
        fs::create_directories(pics);
        g.pictureFolder = pics;
        g.projectFolder = dir.path().string();
        g.outputDir = out;
        g.gifDir = out + "/Images";
        log.Start("Demo");
    }
};

TEST_F(Pictures, BitmapsBecomeGifsNamedInLowerCaseAndDistinct) {
    const QImage one = TestPicture(6, 4, qRgb(255, 0, 0), qRgb(0, 0, 255));
    const QImage two = TestPicture(3, 5, qRgb(0, 128, 0), qRgb(255, 255, 255));
    ASSERT_TRUE(one.save(QString::fromStdString(pics + "/A.bmp"), "BMP"));
    ASSERT_TRUE(two.save(QString::fromStdString(pics + "/a.png"), "PNG"));
    const std::string page = "<p><IMG SRC=\"A.bmp\" WIDTH=\"6\" HEIGHT=\"4\"><IMG SRC=\"a.png\" WIDTH=\"3\" "
                             "HEIGHT=\"5\">\\{bmc A.bmp\\}</p>";
    const std::string html = ConvertTopicGraphics(page, "Index", pages, g, log);
    EXPECT_EQ(html, "<p><IMG SRC=\"Images/a.gif\" WIDTH=\"6\" HEIGHT=\"4\"><IMG SRC=\"Images/a1.gif\" WIDTH=\"3\" "
                    "HEIGHT=\"5\"><IMG SRC=\"Images/a.gif\"></p>");
    EXPECT_FALSE(log.HasProblems()) << log.Text();
    EXPECT_EQ(DecodeGif(out + "/Images/a.gif"), one);
    EXPECT_EQ(DecodeGif(out + "/Images/a1.gif"), two);
}

TEST_F(Pictures, MissingWmfAndUnreadableShgAreLoggedAndLeftInPlace) {
    WriteBytes(fs::path(pics) / "chart.wmf", std::string(40, '\0'));
    WriteBytes(fs::path(pics) / "broken.shg", "not a picture container");
    const std::string page = "<p><IMG SRC=\"gone.bmp\" WIDTH=\"1\" HEIGHT=\"1\"><IMG SRC=\"chart.wmf\" WIDTH=\"1\" "
                             "HEIGHT=\"1\">\\{bml broken.shg\\}</p>";
    const std::string html = ConvertTopicGraphics(page, "Topic2", pages, g, log);
    EXPECT_EQ(html, "<p><IMG SRC=\"gone.bmp\" WIDTH=\"1\" HEIGHT=\"1\"><IMG SRC=\"chart.wmf\" WIDTH=\"1\" "
                    "HEIGHT=\"1\">broken.shg</p>");
    const std::string p = pics + "\\";  // the picture folder joined as the project names it
    EXPECT_EQ(log.Problems(),
              (std::vector<std::string>{
                  "Page - \"Topic2.htm\", graphic not found - \"" + p + "gone.bmp\"",
                  "Page - \"Topic2.htm\", WMF files are not currently supported - \"" + p + "chart.wmf\"",
                  "Page - \"Topic2.htm\", SHG file could not be read - \"" + p +
                      "broken.shg\". You may wish to replace the internal file with a Bitmap.",
              }));
}

std::string ShgWithHotspots() {
    const std::uint32_t w = 8, h = 4;
    const std::uint32_t row = ((4 * w + 31) / 32) * 4;
    std::string palette;
    for (std::uint32_t c : {0x000000FFu, 0x00FFFFFFu}) {
        for (int i = 0; i < 4; ++i) palette.push_back(static_cast<char>((c >> (8 * i)) & 0xFF));
    }
    std::string pixels(row * h, '\x01');
    const std::vector<hlptest::ShgHotspotDef> defs = {
        {0x00E3, 1, 2, 3, 1, "a", "Topic2"},
        {0x04E6, 4, 0, 2, 2, "b", "40"},
        {0x00C8, 0, 0, 8, 1, "c", "Exit()"},
    };
    return hlptest::ShgContainer(
        "lp", {hlptest::ShgBitmapImage(w, h, 4, 0, palette, 2, pixels, hlptest::ShgHotspotBlock(defs))});
}

TEST_F(Pictures, ShgGivesAGifAndAMapNumberedAcrossPages) {
    WriteBytes(fs::path(pics) / "nav.shg", ShgWithHotspots());
    g.mapCount = 4;  // earlier pages wrote four maps
    const std::string page = "<p><IMG SRC=\"nav.shg\" WIDTH=\"8\" HEIGHT=\"4\"></p><p>\\{bmc nav.shg\\}</p>";
    const std::string html = ConvertTopicGraphics(page, "Topic2", pages, g, log);
    const std::string map = "<AREA SHAPE=\"RECT\" COORDS=\"1,2,4,3\" HREF=\"Topic2.htm\">\r\n"
                            "<AREA SHAPE=\"RECT\" COORDS=\"4,0,6,2\" HREF=\"Shop.htm\">\r\n</MAP>\r\n";
    EXPECT_EQ(html, "<p><IMG SRC=\"Images/nav.gif\" USEMAP=\"#map5\" WIDTH=\"8\" HEIGHT=\"4\">\r\n"
                    "<MAP NAME=\"map5\">\r\n" + map + "</p><p><IMG SRC=\"Images/nav.gif\" USEMAP=\"#map6\">\r\n"
                    "<MAP NAME=\"map6\">\r\n" + map + "</p>");
    EXPECT_EQ(g.mapCount, 6);
    EXPECT_FALSE(log.HasProblems()) << log.Text();
    const QImage gif = DecodeGif(out + "/Images/nav.gif");
    ASSERT_EQ(gif.size(), QSize(8, 4));
    // Each byte holds two pixels, indexes 0 (blue, stored FF 00 00 00) and 1 (white).
    EXPECT_EQ(gif.pixel(0, 0), qRgb(0, 0, 255));
    EXPECT_EQ(gif.pixel(1, 0), qRgb(255, 255, 255));
}

TEST_F(Pictures, AbsoluteNamesStandAndGifsOutsideTheHtmlFolderAreNamedInFull) {
    const QImage one = TestPicture(2, 2, qRgb(1, 2, 3), qRgb(4, 5, 6));
    const std::string elsewhere = (dir.path() / "other").string();
    fs::create_directories(elsewhere);
    ASSERT_TRUE(one.save(QString::fromStdString(elsewhere + "/Logo.BMP"), "BMP"));
    g.gifDir = (dir.path() / "gifs").string();
    fs::create_directories(g.gifDir);
    const std::string html =
        ConvertTopicGraphics("<IMG SRC=\"" + elsewhere + "/Logo.BMP\">", "Index", pages, g, log);
    EXPECT_EQ(html, "<IMG SRC=\"" + g.gifDir + "/logo.gif\">");
    EXPECT_EQ(DecodeGif(g.gifDir + "/logo.gif"), one);
}

// --- writing --------------------------------------------------------------------------------------

TEST(HtmlFiles, WrittenInTheLetterCaseTheLinksUse) {
    testsupport::TempDir dir;
    const std::string folder = dir.path().string();
    WriteBytes(dir.path() / "index.htm", "old");
    ASSERT_TRUE(WriteFileExactCase(folder, "Index.htm", "new"));
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.path())) names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"Index.htm"});
    std::ifstream in(dir.path() / "Index.htm");
    std::string text;
    in >> text;
    EXPECT_EQ(text, "new");
    EXPECT_FALSE(WriteFileExactCase(folder + "/no/such/folder", "x.htm", "x"));
}

// A run writes many files through one folder object that lists the folder
// once: files it wrote itself, and files that were there, still give way
// to a later spelling.
TEST(HtmlFiles, OneFolderListedOnceStillKeepsOneSpellingPerName) {
    testsupport::TempDir dir;
    WriteBytes(dir.path() / "PAGE.HTM", "old");
    WriteBytes(dir.path() / "page.htm", "older");
    WriteBytes(dir.path() / "other.htm", "kept");
    ExactCaseFolder folder(dir.path().string());
    ASSERT_TRUE(folder.Write("Page.htm", "first"));
    ASSERT_TRUE(folder.Write("Two.htm", "2"));
    ASSERT_TRUE(folder.Write("PAGE.htm", "second"));
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.path())) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"PAGE.htm", "Two.htm", "other.htm"}));
    EXPECT_EQ(testsupport::ReadFileBytes((dir.path() / "PAGE.htm").string()), "second");
    EXPECT_EQ(testsupport::ReadFileBytes((dir.path() / "other.htm").string()), "kept");
    ExactCaseFolder missing((dir.path() / "missing").string());
    EXPECT_FALSE(missing.Write("x.htm", "x"));
}

}  // namespace

namespace {

TEST(HtmlRun, CancelStopsBeforeTheNextPageAndAFailedWriteIsReported) {
    testsupport::TempDir dir;
    build::MemoryHtmlPages pages;
    for (int i = 1; i <= 3; ++i) {
        build::HtmlExportRow r;
        r.name = "p" + std::to_string(i);
        r.helpId = i;
        r.topicPopup = "T";
        r.helpText = "{\\rtf1\\ansi Page " + std::to_string(i) + "\\par}";
        pages.rows.push_back(r);
    }
    build::HtmlExportOptions o;
    o.project = "Demo";
    o.outputDir = dir.path().string();
    o.gifDir = o.outputDir;
    build::NullProgress cancelled;
    cancelled.RequestCancel();
    build::HtmlExportLog log;
    EXPECT_EQ(build::ExportHtmlPages(pages, o, cancelled, log).outcome, build::HtmlExportOutcome::Cancelled);
    EXPECT_TRUE(fs::is_empty(dir.path()));

    build::NullProgress progress;
    build::HtmlExportResult r = build::ExportHtmlPages(pages, o, progress, log);
    EXPECT_EQ(r.outcome, build::HtmlExportOutcome::Written);
    EXPECT_EQ(r.pages, 3);
    EXPECT_EQ(progress.Percent(), 100);
    for (const char* f : {"Index.htm", "p2.htm", "p3.htm"}) EXPECT_TRUE(fs::exists(dir.path() / f)) << f;
    EXPECT_FALSE(fs::exists(dir.path() / "p1.htm"));

    o.outputDir = (dir.path() / "missing").string();
    r = build::ExportHtmlPages(pages, o, progress, log);
    EXPECT_EQ(r.outcome, build::HtmlExportOutcome::Failed);
    EXPECT_EQ(r.error, "The page Index.htm could not be written to " + o.outputDir + ".");
}

}  // namespace

namespace {

// An imported page keeps its anchors as "#" footnotes in the text (the
// glossary of DEMIST.HLP: a row of letters jumping to "glossa" ...): they
// become anchors the jumps point to, where the "#" showed as text before
// and the jumps were unresolved.
TEST(HtmlRun, AnchorFootnotesOfImportedPagesBecomeAnchors) {
    testsupport::TempDir dir;
    build::MemoryHtmlPages pages;
    const std::string anchor = "{\\cs16\\super #{\\*\\footnote \\pard\\plain {\\cs16\\super #} glossa}}";
    build::HtmlExportRow first;
    first.name = "Index";
    first.helpId = 1;
    first.contextString = "gloss";
    first.topicPopup = "T";
    first.helpText = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 {\\uldb A}{\\v glossa} {\\uldb Other}{\\v other}\\par " +
                     anchor + "Aggregate\\par}";
    build::HtmlExportRow other;
    other.name = "other";
    other.helpId = 2;
    other.contextString = "other";
    other.topicPopup = "T";
    other.helpText = "{\\rtf1\\ansi " + anchor + "Elsewhere\\par}";
    pages.rows = {first, other};
    build::HtmlExportOptions o;
    o.project = "Demo";
    o.outputDir = dir.path().string();
    o.gifDir = o.outputDir;
    build::NullProgress progress;
    build::HtmlExportLog log;
    ASSERT_EQ(build::ExportHtmlPages(pages, o, progress, log).outcome, build::HtmlExportOutcome::Written);
    const std::string index = testsupport::ReadFileBytes(dir.path() / "Index.htm");
    EXPECT_NE(index.find("<A HREF=\"#glossa\">A</A>"), std::string::npos) << index;
    EXPECT_NE(index.find("<A NAME=\"glossa\"></A>Aggregate"), std::string::npos) << index;
    EXPECT_NE(index.find("<A HREF=\"other.htm\">Other</A>"), std::string::npos) << index;
    EXPECT_EQ(index.find(">#<"), std::string::npos) << index;
    EXPECT_FALSE(log.HasProblems()) << log.Text();
}

}  // namespace


namespace {

// Literal text as RTF holds it.
std::string RtfText(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '{' || c == '}') out.push_back('\\');
        out.push_back(c);
    }
    return out;
}

struct ExportedPages {
    testsupport::TempDir dir;
    build::MemoryHtmlPages pages;
    build::HtmlExportLog log;
    build::HtmlExportResult result;
    void Add(const std::string& name, int id, const std::string& context, const std::string& title,
             const std::string& body) {
        build::HtmlExportRow r;
        r.name = name;
        r.helpId = id;
        r.contextString = context;
        r.topicPopup = "T";
        r.title = title;
        r.helpText = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 " + body + "\\par}";
        pages.rows.push_back(r);
    }
    void Run() {
        build::HtmlExportOptions o;
        o.project = "Demo";
        o.outputDir = dir.path().string();
        o.gifDir = o.outputDir;
        build::NullProgress progress;
        result = build::ExportHtmlPages(pages, o, progress, log);
    }
    std::string Page(const std::string& file) const { return testsupport::ReadFileBytes(dir.path() / file); }
    int Logged(const std::string& text) const {
        int n = 0;
        for (const std::string& l : log.Problems()) n += l.find(text) != std::string::npos;
        return n;
    }
};

// Each link of a page: its text -> its HREF as a browser reads it.
std::map<std::string, std::string> LinksByText(const std::string& html) {
    std::map<std::string, std::string> links;
    for (const htmlcheck::Tag& t : htmlcheck::Tags(html)) {
        const std::string* href = t.name == "A" ? t.Find("HREF") : nullptr;
        if (!href) continue;
        const std::size_t start = html.find('>', t.at) + 1, end = html.find("</A>", start);
        links[htmlcheck::Text(html.substr(start, end - start))] = *href;
    }
    return links;
}

// Mark names and jump targets are the author's text (an import takes any):
// quotes, angle brackets and ampersands in them must not end an attribute,
// and a target that names no written page (script, macros, other help
// files) must not become a link at all, only text.
TEST(HtmlLinks, CraftedMarksAndTargetsParseBackAndOnlyResolvedOnesLink) {
    const std::vector<std::string> marks = {"a\" onmouseover=\"alert(1)", "<script>x</script>", "R&D", "back\\slash",
                                            "plain"};
    struct Jump {
        std::string target, href;  // href empty: unresolved, shown as text
    };
    const std::vector<Jump> jumps = {
        {"20", "Topic2.htm"},
        {"AandB", "A&B.htm"},
        {"Topic2>main", "Topic2.htm"},
        {marks[0], "#" + marks[0]},
        {marks[1], "#" + marks[1]},
        {"r&d", "#R&D"},
        {marks[3], "#" + marks[3]},
        {"http://example.com/?a=1&b=\"2\"", "http://example.com/?a=1&b=\"2\""},
        {"mailto:help@example.com", "mailto:help@example.com"},
        {"javascript:alert(1)", ""},
        {"!ExecProgram(\"rm -rf /\")", ""},
        {"!AL(`glossary',1)", ""},
        {"%!AL(x)", ""},
        {"!EF(calc.exe)", ""},
        {"term@glossary.hlp", ""},
        {"Missing>main", ""},
        {"\"><script>alert(1)</script>", ""},
    };
    ExportedPages e;
    std::string body;
    for (const std::string& m : marks) body += "\\{mtj " + RtfText(m) + "\\}Section\\par ";
    for (std::size_t i = 0; i < jumps.size(); ++i)
        body += "{\\uldb jump" + std::to_string(i) + "}{\\v " + RtfText(jumps[i].target) + "} ";
    body += "{\\uldb again}{\\v javascript:alert(1)}";  // a second link to one target is logged once
    e.Add("Index", 1, "Welcome", "Welcome", body);
    e.Add("Topic2", 20, "Topic2", "Two", "Two");
    e.Add("A&B", 30, "AandB", "A and B", "Three");
    e.Run();
    ASSERT_EQ(e.result.outcome, build::HtmlExportOutcome::Written) << e.result.error;

    const std::string html = e.Page("Index.htm");
    std::set<std::string> names;
    for (const htmlcheck::Tag& t : htmlcheck::Tags(html)) {
        if (t.name != "A") continue;
        for (const auto& [attribute, value] : t.attributes)
            EXPECT_TRUE(attribute == "NAME" || attribute == "HREF") << attribute << "=" << value;
        if (const std::string* n = t.Find("NAME")) names.insert(*n);
    }
    EXPECT_EQ(names, std::set<std::string>(marks.begin(), marks.end()));

    const std::map<std::string, std::string> links = LinksByText(html);
    const std::string text = htmlcheck::Text(html);
    for (std::size_t i = 0; i < jumps.size(); ++i) {
        const std::string shown = "jump" + std::to_string(i);
        const auto link = links.find(shown);
        if (jumps[i].href.empty()) {
            EXPECT_EQ(link, links.end()) << jumps[i].target << " -> " << link->second;
            EXPECT_NE(text.find(shown), std::string::npos) << jumps[i].target;
            EXPECT_EQ(e.Logged("unresolved link - \"" + jumps[i].target + "\""), 1) << jumps[i].target;
        } else {
            ASSERT_NE(link, links.end()) << jumps[i].target;
            EXPECT_EQ(link->second, jumps[i].href) << jumps[i].target;
        }
    }
    EXPECT_EQ(links.count("again"), 0u);
    for (const auto& [shown, href] : links) {
        if (href[0] == '#' || href.rfind("http", 0) == 0 || href.rfind("mailto:", 0) == 0) continue;
        EXPECT_TRUE(fs::exists(e.dir.path() / href)) << shown << " -> " << href;
    }
}

// Text the writer escapes for the picture and mark references (braces,
// backslashes) is shown as written; an embedded window, which a browser
// cannot show, is left out and logged.
TEST(HtmlText, RtfEscapesShowAsTextAndEmbeddedWindowsAreLeftOut) {
    const struct {
        std::string rtf, shown;
    } cases[] = {
        {"Run 'c:\\\\windows\\\\calc.exe' now", "Run 'c:\\windows\\calc.exe' now"},
        {"Keys \\{Ctrl\\}+\\{F1\\}", "Keys {Ctrl}+{F1}"},
        {"A \\\\\\{ B", "A \\{ B"},
        {"x\\{ewc MVBMP2, ViewerBmp2, !logo.bmp\\}y", "xy"},
        {"x\\{ewl MVBMP2, ViewerBmp2, !logo.bmp\\}\\{ewr a, b, c\\}y", "xy"},
        {"\\{button Go,JI(`',`x')\\}", "{button Go,JI(`',`x')}"},
    };
    for (const auto& c : cases) {
        ExportedPages e;
        e.Add("Index", 1, "Welcome", "Welcome", c.rtf);
        e.Run();
        ASSERT_EQ(e.result.outcome, build::HtmlExportOutcome::Written) << e.result.error;
        const std::string text = htmlcheck::Text(e.Page("Index.htm"));
        EXPECT_NE(text.find(c.shown), std::string::npos) << c.rtf << "\n" << text;
        for (const std::string escape : {"\\{", "\\}", "\\\\", "{ew"})
            if (c.shown.find(escape) == std::string::npos)  // unless the author wrote it
                EXPECT_EQ(text.find(escape), std::string::npos) << c.rtf << " " << escape;
        const int windows = (c.rtf.find("{ewc") != std::string::npos) + (c.rtf.find("{ewl") != std::string::npos) +
                            (c.rtf.find("{ewr") != std::string::npos);
        EXPECT_EQ(e.Logged("embedded window left out"), windows) << c.rtf << "\n" << e.log.Text();
    }
}

// The rendered size of each run of text: a FONT tag's STYLE font size in
// points or its SIZE (the browsers' 1..7 scale in pixels), else the body's.
std::vector<std::pair<std::string, double>> TextSizes(const std::string& html) {
    static const double kSizePx[7] = {10, 13, 16, 18, 24, 32, 48};
    auto styleSize = [](const std::string* style, double& px) {
        if (!style) return false;
        const std::size_t at = style->find("font-size:");
        if (at == std::string::npos) return false;
        px = std::atof(style->c_str() + at + 10) * 4 / 3;  // points
        return true;
    };
    std::vector<std::pair<std::string, double>> runs;
    std::vector<double> stack{16};
    const std::vector<htmlcheck::Tag> tags = htmlcheck::Tags(html);
    for (std::size_t i = 0; i < tags.size(); ++i) {
        const htmlcheck::Tag& t = tags[i];
        double px = stack.back();
        if (t.name == "BODY") {
            if (styleSize(t.Find("STYLE"), px)) stack = {px};
        } else if (t.name == "FONT") {
            if (!styleSize(t.Find("STYLE"), px))
                if (const std::string* s = t.Find("SIZE")) px = kSizePx[std::clamp(std::atoi(s->c_str()), 1, 7) - 1];
            stack.push_back(px);
        } else if (t.name == "/FONT" && stack.size() > 1) {
            stack.pop_back();
        }
        const std::size_t from = html.find('>', t.at) + 1;
        const std::size_t to = i + 1 < tags.size() ? tags[i + 1].at : html.size();
        const std::string text = htmlcheck::Text(html.substr(from, to - from));
        if (!text.empty()) runs.emplace_back(text, stack.back());
    }
    return runs;
}

double SizeOf(const std::vector<std::pair<std::string, double>>& runs, const std::string& text) {
    for (const auto& [run, px] : runs)
        if (run.find(text) != std::string::npos) return px;
    ADD_FAILURE() << "no run holds " << text;
    return 0;
}

// One head holding the title, one body after it, and text sizes that keep
// their proportions in a browser (which ignores BASEFONT): 9-point text,
// a link in it and 10-point text.
TEST(HtmlPageFrame, OneHeadWithTheTitleOneBodyAndReadableSizes) {
    const struct {
        std::string title, expected;
    } titles[] = {
        {"Fish & \"Chips\" <b>", "Fish & \"Chips\" <b>"},
        {"Back\\slash {x}", "Back\\slash {x}"},
        {"", "Unnamed"},  // no title: the page's context string
    };
    for (const auto& c : titles) {
        ExportedPages e;
        e.Add("Index", 1, "Welcome", c.title, "\\fs18 small text {\\uldb link}{\\v 2} \\fs20 normal text");
        e.Add("Unnamed", 2, "Unnamed", c.title, "\\fs28 big text \\fs20 normal text");
        e.Run();
        ASSERT_EQ(e.result.outcome, build::HtmlExportOutcome::Written) << e.result.error;
        for (const char* file : {"Index.htm", "Unnamed.htm"}) {
            const std::string html = e.Page(file);
            const std::vector<htmlcheck::Tag> tags = htmlcheck::Tags(html);
            for (const char* once : {"HTML", "/HTML", "HEAD", "/HEAD", "TITLE", "/TITLE", "BODY", "/BODY"})
                EXPECT_EQ(htmlcheck::Count(tags, once), 1) << file << " " << once << "\n" << html;
            std::map<std::string, std::size_t> at;
            for (const htmlcheck::Tag& t : tags) at.emplace(t.name, t.at);
            EXPECT_LT(at["HEAD"], at["TITLE"]) << html;
            EXPECT_LT(at["/TITLE"], at["/HEAD"]) << html;
            EXPECT_LT(at["/HEAD"], at["BODY"]) << html;
            EXPECT_LT(at["BODY"], at["/BODY"]) << html;
            EXPECT_LT(at["/BODY"], at["/HTML"]) << html;
            const std::string expected = std::string(file) == "Index.htm" && c.title.empty() ? "Welcome" : c.expected;
            EXPECT_EQ(htmlcheck::Title(html), expected) << html;
        }
        const auto runs = TextSizes(e.Page("Index.htm"));
        const double small = SizeOf(runs, "small text"), link = SizeOf(runs, "link"),
                     normal = SizeOf(runs, "normal text");
        EXPECT_NEAR(small / normal, 0.9, 0.05) << e.Page("Index.htm");
        EXPECT_NEAR(link / small, 1.0, 0.02) << e.Page("Index.htm");  // a link keeps the size of its text
        EXPECT_GE(small, 11.5);  // 9 points at 96 dots per inch are 12 pixels
        const auto big = TextSizes(e.Page("Unnamed.htm"));
        EXPECT_NEAR(SizeOf(big, "big text") / SizeOf(big, "normal text"), 1.4, 0.1) << e.Page("Unnamed.htm");
    }
}

// A name made from a context string or title never starts with a dot: such
// a file would be hidden in the output folder.
TEST(HtmlNames, NoFileNameStartsWithADot) {
    const struct {
        std::string context, title;
    } cases[] = {{".bben7", "Bullets"}, {"..", "Dots"}, {"", ".profile"}, {".", ""}, {"a.b", "Dotted inside"}};
    ExportedPages e;
    e.Add("Index", 1, "first", "First", "Start");
    std::vector<build::HtmlNameSource> sources{{"first", "First", 1}};
    for (const auto& c : cases) sources.push_back({c.context, c.title, static_cast<std::int32_t>(sources.size() + 1)});
    for (bool longNames : {false, true}) {
        const std::vector<std::string> names = build::AssignHtmlFileNames(sources, longNames);
        for (const std::string& n : names) EXPECT_NE(n.front(), '.') << n;
        EXPECT_EQ(names[5], "a.b");
    }
    const std::vector<std::string> names = build::AssignHtmlFileNames(sources, true);
    for (std::size_t i = 1; i < sources.size(); ++i)
        e.Add(names[i], sources[i].helpId, sources[i].contextString, sources[i].title, "Text");
    e.Run();
    ASSERT_EQ(e.result.outcome, build::HtmlExportOutcome::Written) << e.result.error;
    int files = 0;
    for (const auto& entry : fs::directory_iterator(e.dir.path())) {
        ++files;
        EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
    }
    EXPECT_EQ(files, static_cast<int>(sources.size()));
}

}  // namespace
