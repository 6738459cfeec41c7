// Golden help project files for the full and the partial build, 16 and 32
// bit, over the layout's edge cases; colour texts; refused long paths.
#include <gtest/gtest.h>

#include "helpbuild/hpj_writer.h"
#include "platform/core/paths.h"
#include "tests/support/test_support.h"

namespace {

using namespace build;

class HpjWriter : public ::testing::Test {
protected:
    void SetUp() override {
        plat::SetDataHome(home.path().string());
        folder = (home.path() / "proj").string();
    }
    void TearDown() override { plat::SetDataHome(""); }

    ProjectFields Base() {
        ProjectFields p;
        p.application = "Demo";
        p.helpTitle = "Demo Help";
        p.dosName = "demo";
        p.name16 = "demo16";
        p.compile = "32";
        p.coLetWindowsDecide = "Y";
        p.stayOnTop = "Y";
        p.addButton1 = p.addButton2 = p.addButton3 = "Y";
        p.wx = "0";
        p.wy = "0";
        p.ww = "1024";
        p.wh = "768";
        return p;
    }
    HpjResult Compose(const ProjectFields& p, HpjKind kind, std::vector<MapEntry> pages = {}) {
        HpjInput in;
        in.kind = kind;
        in.project = p;
        in.project.graphicsFolder = ResolveFolder(p.graphicsDir, false);
        in.programDir = plat::ProgramDir();
        in.projectFolder = folder;
        in.pages = std::move(pages);
        in.setStatusText = [this](const std::string& s) { status = s; };
        return ComposeHpj(in);
    }

    testsupport::TempDir home;
    std::string folder;
    std::string status;
};

TEST_F(HpjWriter, Full32BitWithDefaults) {
    HpjResult r = Compose(Base(), HpjKind::Full, {{"T", 10, "intro"}, {"P", 11, ""}, {"T", 12, ""}});
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.text,
              "[OPTIONS]\r\n"
              "TITLE=Demo Help\r\n"
              "ERRORLOG=" + folder + "/demo.ERR\r\n"
              "WARNING=1\r\n"
              "COMPRESS=FALSE\r\n"
              "COPYRIGHT=Created with Tavrin\r\n"
              "\r\n"
              "BMROOT=.\\Graphics\r\n"
              "\r\n"
              "[WINDOWS]\r\n"
              "main=,,,(255,255,255),(192,192,192),1\r\n"
              "\r\n"
              "[CONFIG]\r\n"
              "CreateButton(\"btn_print\",\"&Print\",\"Print()\")\r\n"
              "BrowseButtons()\r\n"
              "CreateButton(\"btn_close\",\"E&xit\",\"Exit()\")\r\n"
              "\r\n"
              "[MAP]\r\n"
              // Popups are mapped too: context-sensitive help reaches them.
              "intro     10\r\n"
              "11     11\r\n"
              "12     12\r\n"
              "\r\n"
              "[FILES]\r\n" + folder + "/demo.RTF\r\n");
    EXPECT_EQ(status, "");
}

TEST_F(HpjWriter, Partial16BitWithEveryOption) {
    testsupport::WriteFileBytes(home / "tavrin.ico", "icon");
    testsupport::WriteFileBytes(home / "own.ico", "icon");
    ProjectFields p = Base();
    p.compile = "16";
    p.stayOnTop = "N";
    p.compress = "HIGH";
    p.copyright = "(c) Me";
    p.citation = "Line one\r\nLine two";
    p.iconFile = (home / "own.ico").string();
    p.graphicsDir = "pics";
    p.secondaryWindow = "sec";
    p.secondaryWindowTitle = "Second";
    p.secondaryWindowColor = "0";
    p.secondStayOnTop = "Y";
    p.gx = "1024";
    p.gy = "1023";
    p.gw = "20";
    p.gh = "";
    p.addButton2 = "N";
    p.scrollColor = 0x0000FF;
    p.nonscrollColor = 0x8000000F;  // the button face: a system colour
    HpjResult r = Compose(p, HpjKind::Partial, {{"T", 1, "a"}});
    ASSERT_TRUE(r.ok) << r.message;
    const std::string home_ = home.path().string();
    EXPECT_EQ(r.text,
              "[OPTIONS]\r\n"
              "CONTENTS=Index\r\n"
              "TITLE=Demo Help\r\n"
              "ERRORLOG=" + folder + "/demo16.ERR\r\n"
              "WARNING=1\r\n"
              "COMPRESS=HIGH\r\n"
              "COPYRIGHT=(c) Me\r\n"
              "CITATION=Line one\r\n"
              "Line two\r\n"
              "ICON=" + home_ + "/own.ico\r\n"
              "BMROOT=" + home_ + "/pics\r\n"
              "\r\n"
              "[WINDOWS]\r\n"
              // Not 32 bit: the stored position, 1024 written as 1023.
              "main=,(0,0,1023,768),,(255,0,0),(192,192,192)\r\n"
              "sec=\"Second\",(1023,1023,20,),,(255,0,0),(192,192,192),1\r\n"
              "\r\n"
              "[CONFIG]\r\n"
              "CreateButton(\"btn_print\",\"&Print\",\"Print()\")\r\n"
              "CreateButton(\"btn_close\",\"E&xit\",\"Exit()\")\r\n"
              "\r\n"
              "[MAP]\r\n"
              "a     1\r\n"
              "\r\n"
              "[FILES]\r\n" + folder + "/demo16.RTF\r\n");
}

TEST_F(HpjWriter, Full16BitAndPartial32Bit) {
    ProjectFields p = Base();
    p.compile = "16";
    p.addButton1 = p.addButton2 = p.addButton3 = "N";
    p.stayOnTop = "N";
    // 16 bit: the stored position even when Windows is to decide; every name the 16-bit one.
    EXPECT_EQ(Compose(p, HpjKind::Full, {{"P", 5, "pop"}}).text,
              "[OPTIONS]\r\nTITLE=Demo Help\r\nERRORLOG=" + folder +
                  "/demo16.ERR\r\nWARNING=1\r\nCOMPRESS=FALSE\r\nCOPYRIGHT=Created with Tavrin\r\n\r\n"
                  "BMROOT=.\\Graphics\r\n\r\n[WINDOWS]\r\nmain=,(0,0,1023,768),,(255,255,255),(192,192,192)\r\n\r\n"
                  "[CONFIG]\r\n\r\n[MAP]\r\npop     5\r\n\r\n[FILES]\r\n" +
                  folder + "/demo16.RTF\r\n");
    p.compile = "32";
    EXPECT_EQ(Compose(p, HpjKind::Partial).text,
              "[OPTIONS]\r\nCONTENTS=Index\r\nTITLE=Demo Help\r\nERRORLOG=" + folder +
                  "/demo.ERR\r\nWARNING=1\r\nCOMPRESS=FALSE\r\nCOPYRIGHT=Created with Tavrin\r\n\r\n"
                  "BMROOT=.\\Graphics\r\n\r\n[WINDOWS]\r\nmain=,,,(255,255,255),(192,192,192)\r\n\r\n"
                  "[CONFIG]\r\n\r\n[MAP]\r\n\r\n[FILES]\r\n" +
                  folder + "/demo.RTF\r\n");
}

TEST_F(HpjWriter, IconRule) {
    ProjectFields p = Base();
    // No icon anywhere: no line.
    EXPECT_EQ(Compose(p, HpjKind::Full).text.find("ICON="), std::string::npos);
    // The program's icon, found in any case.
    testsupport::WriteFileBytes(home / "Tavrin.Ico", "icon");
    EXPECT_NE(Compose(p, HpjKind::Full).text.find("ICON=" + home.path().string() + "/Tavrin.Ico\r\n"),
              std::string::npos);
    // A named icon with Win32 separators is written as the file it names.
    testsupport::WriteFileBytes(home / "own.ico", "icon");
    p.iconFile = home.path().string() + "\\OWN.ICO";
    EXPECT_NE(Compose(p, HpjKind::Full).text.find("ICON=" + home.path().string() + "/own.ico\r\n"),
              std::string::npos);
    // A named icon that is missing: no line, a status text.
    p.iconFile = (home / "gone.ico").string();
    EXPECT_EQ(Compose(p, HpjKind::Full).text.find("ICON="), std::string::npos);
    EXPECT_EQ(status, "WARNING: Icon - " + p.iconFile + " does not exist.");
}

TEST_F(HpjWriter, SecondaryWindowColourAndLetWindowsDecide) {
    ProjectFields p = Base();
    p.stayOnTop = "";
    p.secondaryWindow = "w2";
    p.secondaryWindowTitle = "T";
    p.secondaryWindowColor = "65280";  // green
    std::string t = Compose(p, HpjKind::Full).text;
    EXPECT_NE(t.find("main=,,,(255,255,255),(192,192,192)\r\nw2=\"T\",,,(0,255,0),(192,192,192)\r\n\r\n"),
              std::string::npos)
        << t;
}

TEST_F(HpjWriter, ComposedLinesAreCutPathLinesRefuse) {
    ProjectFields p = Base();
    p.helpTitle = std::string(300, 't');
    HpjResult r = Compose(p, HpjKind::Full);
    ASSERT_TRUE(r.ok);
    EXPECT_NE(r.text.find("TITLE=" + std::string(249, 't') + "\r\n"), std::string::npos);

    // A line break inside a value cannot start a section of its own.
    p.helpTitle = "Title\r\n[FILES]\r\nevil.rtf";
    EXPECT_NE(Compose(p, HpjKind::Full).text.find("TITLE=Title  [FILES]  evil.rtf\r\n"), std::string::npos);

    struct Case {
        const char* name;
        std::string graphicsDir, folder, label;
    };
    const std::string deep = "/" + std::string(250, 'g');
    Case cases[] = {
        {"graphics folder", deep, folder, "BMROOT"},
        {"project folder", "", "/" + std::string(250, 'p'), "ERRORLOG"},
    };
    for (const Case& c : cases) {
        ProjectFields q = Base();
        q.graphicsDir = c.graphicsDir;
        folder = c.folder;
        HpjResult refused = Compose(q, HpjKind::Full);
        EXPECT_FALSE(refused.ok) << c.name;
        EXPECT_EQ(refused.text, "") << c.name;
        EXPECT_NE(refused.message.find("its " + c.label + " line would be longer than 255 characters"),
                  std::string::npos)
            << refused.message;
    }
}

// The sections of a written file in order, and every line that opens a
// section or a comment it was not written to open.
struct Shape {
    std::vector<std::string> heads;
    std::vector<std::string> stray;
};
Shape ShapeOf(const std::string& text) {
    Shape s;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find("\r\n", at);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(at, end - at);
        at = end + 2;
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos) continue;
        if (line == "[OPTIONS]" || line == "[WINDOWS]" || line == "[CONFIG]" || line == "[MAP]" || line == "[FILES]")
            s.heads.push_back(line);
        else if (line[first] == '[' || line[first] == ';')
            s.stray.push_back(line);
        // Only the writer's own lines may hold a bare CR or LF.
        if (line.find_first_of("\r\n") != std::string::npos) s.stray.push_back(line);
    }
    return s;
}
const std::vector<std::string> kHeads = {"[OPTIONS]", "[WINDOWS]", "[CONFIG]", "[MAP]", "[FILES]"};

TEST_F(HpjWriter, CitationLinesOpenNoSectionOrComment) {
    const char* citations[] = {
        "Mine\r\n[CONFIG]\r\nExit()",
        "Mine\r\n[FILES]\r\nother.rtf",
        "Mine\n  [MAP]\nx 1",
        "Mine\r; not a comment\rmore",
        "[WINDOWS]\r\nsec=\"x\"",
    };
    for (const char* citation : citations) {
        ProjectFields p = Base();
        p.citation = citation;
        HpjResult r = Compose(p, HpjKind::Full, {{"T", 1, "a"}});
        ASSERT_TRUE(r.ok) << r.message;
        const Shape s = ShapeOf(r.text);
        EXPECT_EQ(s.heads, kHeads) << citation;
        EXPECT_TRUE(s.stray.empty()) << citation << "\n" << r.text;
        // The citation's words are all still there.
        EXPECT_NE(r.text.find("CITATION=" + std::string(citation).substr(0, citation[0] == '[' ? 9 : 4)), std::string::npos)
            << r.text;
    }
    // An ordinary second line stays a line of its own.
    ProjectFields p = Base();
    p.citation = "one\r\ntwo";
    EXPECT_NE(Compose(p, HpjKind::Full).text.find("CITATION=one\r\ntwo\r\n"), std::string::npos);
}

TEST_F(HpjWriter, SecondaryWindowThatCannotBeWrittenIsRefusedByName) {
    struct Case {
        const char* name;
        const char* title;
        bool ok;
    } cases[] = {
        {"sec", "Second", true},      {"(w95sec)", "", true},    {"a=\"b", "t", false}, {"a,b", "t", false},
        {"a;b", "t", false},          {"[x]", "t", false},       {"a b", "t", false},   {"sec", "say \"hi\"", false},
        {"sec", "two\r\nlines", false},
    };
    for (const Case& c : cases) {
        ProjectFields p = Base();
        p.secondaryWindow = c.name;
        p.secondaryWindowTitle = c.title;
        HpjResult r = Compose(p, HpjKind::Full);
        EXPECT_EQ(r.ok, c.ok) << c.name << " / " << c.title;
        if (c.ok) {
            EXPECT_EQ(ShapeOf(r.text).heads, kHeads);
            EXPECT_NE(r.text.find("\r\n" + std::string(c.name) + "=\"" + c.title + "\","), std::string::npos) << r.text;
        } else {
            EXPECT_NE(r.message.find("secondary window"), std::string::npos) << r.message;
            const std::string named = std::string(c.title).find_first_of("\"\r") != std::string::npos
                                          ? std::string("its title")
                                          : "\"" + std::string(c.name) + "\"";
            EXPECT_NE(r.message.find(named), std::string::npos) << r.message;
        }
    }
}

TEST_F(HpjWriter, ContextStringThatCannotStandInMapIsRefusedByName) {
    struct Case {
        const char* context;
        bool ok;
    } cases[] = {
        {"intro", true},  {"a.b_c9", true}, {"a;b=c", false}, {"a b", false}, {"a\tb", false},
        {"#define", false}, {"[FILES]", false}, {"a\r\nb", false}, {"x=1", false},
    };
    for (const Case& c : cases) {
        HpjResult r = Compose(Base(), HpjKind::Full, {{"T", 10, "first"}, {"T", 77, c.context}});
        EXPECT_EQ(r.ok, c.ok) << c.context;
        if (c.ok) {
            EXPECT_NE(r.text.find("\r\n" + std::string(c.context) + "     77\r\n"), std::string::npos);
        } else {
            EXPECT_NE(r.message.find("page 77"), std::string::npos) << r.message;
            EXPECT_NE(r.message.find("[MAP]"), std::string::npos) << r.message;
        }
    }
}

TEST_F(HpjWriter, KeptLinesOfAnImportGoBackToTheirSections) {
    KeptHpjLines kept;
    kept.options = {"CONTENTS=kxa4r4"};
    kept.windows = {"(w95sec)=,(583,102,409,593),,(255,255,219),(255,255,219)"};
    kept.config = {"RR(`Inetwh32.dll',`INETWH_Initialize',`')", "BrowseButtons()"};
    kept.map = {"1o_cvb 73137", "1o_cvb 73138"};
    const std::string memo = FormatKeptHpjLines(kept);
    const KeptHpjLines back = ParseKeptHpjLines(memo);
    EXPECT_EQ(back.options, kept.options);
    EXPECT_EQ(back.windows, kept.windows);
    EXPECT_EQ(back.config, kept.config);
    EXPECT_EQ(back.map, kept.map);
    ProjectFields p = Base();
    p.addButton1 = p.addButton2 = p.addButton3 = "N";
    // A memo edited by hand: lines that would open a section are not written.
    p.keptHpj = memo + "[CONFIG]\r\n[FILES]\r\n; note\r\nExit()\r\n";
    HpjResult full = Compose(p, HpjKind::Full, {{"T", 73136, "1o_cvb"}});
    ASSERT_TRUE(full.ok) << full.message;
    EXPECT_EQ(ShapeOf(full.text).heads, kHeads);
    EXPECT_TRUE(ShapeOf(full.text).stray.empty()) << full.text;
    EXPECT_NE(full.text.find("BMROOT=.\\Graphics\r\nCONTENTS=kxa4r4\r\n\r\n[WINDOWS]\r\n"), std::string::npos) << full.text;
    EXPECT_NE(full.text.find(",1\r\n" + kept.windows[0] + "\r\n\r\n[CONFIG]\r\n" + kept.config[0] + "\r\n" + kept.config[1] +
                             "\r\nExit()\r\n\r\n[MAP]\r\n1o_cvb     73136\r\n1o_cvb 73137\r\n1o_cvb 73138\r\n\r\n[FILES]"),
              std::string::npos)
        << full.text;
    // The partial build names its own default topic.
    HpjResult partial = Compose(p, HpjKind::Partial);
    ASSERT_TRUE(partial.ok);
    EXPECT_EQ(partial.text.find("kxa4r4"), std::string::npos) << partial.text;
    EXPECT_NE(partial.text.find("CONTENTS=Index"), std::string::npos);
}

TEST(HpjText, ColourTexts) {
    struct Case {
        std::uint32_t color;
        const char* text;
    } cases[] = {
        {0x000000, "(0,0,0)"},        {0xFFFFFF, "(255,255,255)"}, {0x0000FF, "(255,0,0)"},
        {0x123456, "(86,52,18)"},     {0x80000005, "(255,255,255)"},  // window
        {0x8000000F, "(192,192,192)"},                                 // button face
        {0x80000002, "(0,0,128)"},                                     // active caption
    };
    for (const Case& c : cases) EXPECT_EQ(ColorToRgbString(c.color), c.text) << std::hex << c.color;
}

TEST(HpjText, MapLines) {
    EXPECT_EQ(MapLine({"T", 12, "ctx"}), "ctx     12");
    EXPECT_EQ(MapLine({"T", 40, ""}), "40     40");
    EXPECT_EQ(MapLine({"P", 7, "pop"}), "pop     7");
}

}  // namespace
