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
