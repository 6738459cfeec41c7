#include "project/editor_context.h"
#include "project/project_tables.h"
#include "editor_test_support.h"

#include "data/picture_validator.h"
#include "data/vl_lines.h"
#include "platform/core/files.h"
#include "data/fields.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace {

using editor::EditorContext;

// The tables as the editor documents them, written out independently of the
// installer: "name:type[size]" with S string, I Integer, H Smallint,
// D DateTime, M Memo.
const std::map<std::string, std::string> kExpected = {
    {"TvrnMAIN.QVD",
     "Application:S25 DosName:S32 HelpTitle:S50 LastModified:D LastCompiled:D WholeRtf:M DummyField:M Comments:M "
     "Glossary:S1 GlossaryAppendix:S1 GenerateIndex:S1 Wx:H Wy:H Ww:H Wh:H Gx:H Gy:H Gw:H Gh:H GraphicsDir:S150 "
     "AutogenerateContents:S1 Win95Contents:S1 Compile:S2 TitleFont:S50 TitleColor:H TitleSize:H TitleStyle:S33 "
     "PopupFont:S50 PopupColor:H PopupSize:H PopupStyle:S33 Compress:S6 AutogeneratePRJfile:S1 Citation:M "
     "Copyright:S255 IconFile:S100 NonscrollColor:I ScrollColor:I AddButton1:S1 AddButton2:S1 AddButton3:S1 "
     "AddButton4:S1 AddButton5:S1 AddButton6:S1 AddButton7:S1 AutoSize:S1 StayOnTop:S1 SecondaryWindow:S8 "
     "SecondaryWindowColor:I SecondaryWindowTitle:S50 SecondStayOnTop:S1 CopyToDir:S150 CopyToDirOverwrite:S1 "
     "Spare1:S1 Spare2:I Spare3:S25 AutoGenerateCntFile:S1 ProjectDir:S150 CntTabs:M CntLinkFiles:M "
     "CntIndexFiles:M CoLetWindowsDecide:S1 ForceTopicTitleConsistent:S1 AutoAddTopicsToMaxTitle:S1 "
     "DefaultTextFont:S50 DefaultTextSize:H DefaultTextColor:H DefaultTextStyle:S33 Alignment:S7 "
     "DefaultTitleGraphic:S150 SecondAutosizeHeight:S1 16bitName:S35 HtmlHelpName:S35 UseFilteredPagesOnly:S1 "
     "DetailFilter:M UserView:M PmFilter:M RequiresCompile:S1 ContentsFilter:S20"},
    {"TvrnITEM.QVD",
     "Application:S25 HelpId:I TopicPopup:S1 Title:S255 HelpText:M Keys:S255 BrowseName:S15 BrowseId:I "
     "FullTitle:M TitleUserModified:S1 BFootnote:S80 InheritedId:I InheritedApplication:S25 InheritedStatus:S9 "
     "MacroFootnote:S255 IDHelp:S1 ContextString:S255 Indent:H Prepared:M AFootnote:S80 XFootnote:S80 "
     "ModifiedDate:D ModifiedTime:D Version:S5 CompileFor:S2 Revised:S1 UserFlag:S1 UserField:S15"},
    {"TvrnPREF.QVD",
     "TopicColor:I PopupColor:I Word path:S40 Rendlow path:S40 Psp path:S40 Glossary option:S3 "
     "DisplayExtraFootnotes:S1 IncludeNonscroll:S1 HcpPath:S60 HcwPath:S60 HtmlPath:S60 "
     "ForceTopicTitleConsistent:S1 RtfHeader:M"},
    {"TvrnCNT.QVD",
     "Application:S25 Sequence:H Level:H EntryType:S1 Title:S255 Jump:S255 HelpFile:S40 Filter:S20"},
    {"TvrnREFI.QVD", "Application:S25 HelpId:I ReferencedBy:I"},
    {"Tvrnfont.QVD", "Application:S25 RtfHeader:M FontList:M"},
};

const std::string kFilterFields =
    "Application:S25 HelpId:I TopicPopup:S1 Title:S255 ModifiedDate:D ModifiedTime:D CompileFor:S2 Version:S5 Revised:S1 "
    "UserFlag:S1 UserField:S15 BrowseId:I BrowseName:S15 ContextString:S255 Keys:S255";

std::string Describe(const db::TDataSet& t) {
    std::string out;
    for (int i = 0; i < t.FieldCount(); ++i) {
        const db::TField* f = t.Fields(i);
        if (!out.empty()) out += ' ';
        out += f->FieldName + ':';
        switch (f->DataType()) {
            case db::ftString: out += "S" + std::to_string(f->Size); break;
            case db::ftInteger: out += "I"; break;
            case db::ftSmallint: out += "H"; break;
            case db::ftDateTime: out += "D"; break;
            case db::ftMemo: out += "M"; break;
            default: out += "?"; break;
        }
    }
    return out;
}

struct OpenContext {
    edtest::ProgramFolder folder;
    EditorContext ctx;
    OpenContext() {
        ctx.ProgramDir = folder.dir;
        ctx.BindAlias();
        ctx.OpenTables();
    }
};

TEST(ProjectTables, FreshFolderGetsEveryTableAndNothingIsTouchedTwice) {
    edtest::ProgramFolder folder(false);
    std::vector<std::string> created = editor::InstallProjectTables(folder.dir);
    std::vector<std::string> all;
    for (const auto& s : editor::ProjectTableSchemas()) all.push_back(s.fileName);
    EXPECT_EQ(created, all);
    for (const char* f : {"TvrnMAIN.QVD", "TvrnITEM.QVD", "TvrnCNT.QVD", "TvrnPREF.QVD", "TvrnREFI.QVD",
                          "TvrnInh.QVD", "Tvrnfont.QVD", "TvrnWIZ.QVD", "TvrnWIZT.QVD"})
        EXPECT_TRUE(plat::FileExists(folder.Path(f))) << f;

    // A table file already there (here: not even a table) is left alone.
    plat::DeleteFile(folder.Path("TvrnREFI.QVD"));
    { std::ofstream(folder.Path("tvrnrefi.qvd")) << "keep me"; }
    created = editor::InstallProjectTables(folder.dir);
    EXPECT_TRUE(created.empty());
    std::ifstream in(folder.Path("tvrnrefi.qvd"));
    std::stringstream s;
    s << in.rdbuf();
    EXPECT_EQ(s.str(), "keep me");
}

TEST(ProjectTables, TheTwelveStartupComponentsOpenThroughTheAliasWithTheirSchema) {
    OpenContext o;
    EditorContext& ctx = o.ctx;
    const std::map<std::string, std::string> files = {
        {"detailTable", "TvrnITEM.QVD"},  {"mainTable", "TvrnMAIN.QVD"},    {"detailFilterTable", "TvrnITEM.QVD"},
        {"CdetailTable", "TvrnITEM.QVD"}, {"tblFilter", ""},                {"prefsTable", "TvrnPREF.QVD"},
        {"inheritTable", "TvrnITEM.QVD"}, {"refIntegTable", "TvrnREFI.QVD"}, {"cntTable", "TvrnCNT.QVD"},
        {"cntShadow", "TvrnCNT.QVD"},     {"tblContext", "TvrnITEM.QVD"},   {"tblFont", "Tvrnfont.QVD"},
    };
    std::vector<std::string> order;
    for (vl::TvlTable* t : ctx.StartupTables()) {
        order.push_back(t->Name());
        ASSERT_TRUE(t->Active()) << t->Name();
        EXPECT_EQ(t->DatabaseName, "Tavrin");
        EXPECT_EQ(ctx.Table(t->Name()), t);
        EXPECT_TRUE(t->SyncSQLByRange && !t->NarrowSearch && t->ValidateWithMask()) << t->Name();
        const std::string& file = files.at(t->Name());
        EXPECT_EQ(Describe(*t), file.empty() ? kFilterFields : kExpected.at(file)) << t->Name();
        if (file.empty()) EXPECT_FALSE(t->FieldByName("Application")->Visible);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"detailTable", "mainTable", "detailFilterTable", "CdetailTable",
                                               "tblFilter", "prefsTable", "inheritTable", "refIntegTable",
                                               "cntTable", "cntShadow", "tblContext", "tblFont"}));
    for (const char* n : {"tblBackup", "tblBackTo", "tblBackFrom"}) {
        EXPECT_FALSE(ctx.Table(n)->Active());
        EXPECT_EQ(ctx.Table(n)->DatabaseName, "Tavrin");
    }
    EXPECT_FALSE(ctx.tblInh->Active());
    ctx.tblInh->Open();
    EXPECT_EQ(Describe(*ctx.tblInh), "Application:S25 HelpId:I InheritedApplication:S25 InheritedId:I InheritedTitle:S255");
}

TEST(ProjectTables, ShippedRowsArePreferencesAndThreeSchemes) {
    OpenContext o;
    EditorContext& ctx = o.ctx;
    ctx.prefsTable->First();
    EXPECT_EQ(ctx.prefsTable->RecordCount(), 1);
    ctx.LoadPageColours();
    EXPECT_EQ(ctx.TopicColor, 0xFF0000);
    EXPECT_EQ(ctx.PopupColor, 0x008000);
    EXPECT_EQ(ctx.prefsTable->FieldByName("RtfHeader")->AsString(), editor::GenericProjectRtfHeader());

    db::TTable wiz(nullptr);
    wiz.DatabaseName = "Tavrin";
    wiz.TableName = "TvrnWIZ.QVD";
    wiz.Open();
    EXPECT_EQ(wiz.RecordCount(), 3);
    for (wiz.First(); !wiz.Eof(); wiz.Next()) {
        EXPECT_FALSE(wiz.FieldByName("ColorScheme")->AsString().empty());
        const std::string compile = wiz.FieldByName("Compile")->AsString();
        EXPECT_TRUE(compile == "16" || compile == "32");
        EXPECT_EQ(wiz.FieldByName("Autogenerate Contents")->AsString(), "Y");
    }
    db::TTable titles(nullptr);
    titles.DatabaseName = "Tavrin";
    titles.TableName = "TvrnWIZT.QVD";
    titles.SetIndexName("Seq");
    titles.Open();
    EXPECT_EQ(Describe(titles), "Seq:I Title:S65");
    EXPECT_EQ(titles.RecordCount(), 0);
}

TEST(ProjectTables, AFullLengthProjectNameLinksItsPagesAndContents) {
    OpenContext o;
    EditorContext& ctx = o.ctx;
    const std::string longName(25, 'P');
    for (const std::string& name : {std::string("Other"), longName}) {
        ctx.mainTable->Append();
        ctx.mainTable->FieldByName("Application")->SetAsString(name);
        ctx.mainTable->Post();
    }
    ASSERT_TRUE(ctx.mainTable->FindKey({db::TValue{longName}}));
    for (int id : {1000, 2000}) {
        ctx.detailTable->Append();
        ctx.detailTable->FieldByName("HelpId")->SetAsInteger(id);
        ctx.detailTable->FieldByName("Title")->SetAsString(std::string(255, 'T'));
        ctx.detailTable->Post();
        ctx.cntTable->Append();
        ctx.cntTable->FieldByName("Sequence")->SetAsInteger(id / 1000);
        ctx.cntTable->FieldByName("Jump")->SetAsString(std::string(255, 'J'));
        ctx.cntTable->Post();
    }
    EXPECT_EQ(ctx.detailTable->FieldByName("Application")->AsString(), longName);
    EXPECT_EQ(ctx.CurrentProjectFolder(), "");
    ctx.mainTable->Edit();
    ctx.mainTable->FieldByName("ProjectDir")->SetAsString("Projects\\Long");
    ctx.mainTable->FieldByName("GraphicsDir")->SetAsString("C:\\Pictures");
    ctx.mainTable->Post();
    EXPECT_EQ(ctx.CurrentProjectFolder(), plat::JoinPath(o.folder.dir, "Projects\\Long"));
    EXPECT_EQ(ctx.CurrentGraphicsFolder(), "C:\\Pictures");
    EXPECT_EQ(ctx.detailTable->RecordCount(), 2);
    EXPECT_EQ(ctx.cntTable->RecordCount(), 2);
    EXPECT_EQ(ctx.tblContext->RecordCount(), 2);
    EXPECT_EQ(ctx.detailTable->FieldByName("Title")->AsString().size(), 255u);
    ASSERT_TRUE(ctx.mainTable->FindKey({db::TValue{std::string("Other")}}));
    EXPECT_EQ(ctx.detailTable->RecordCount(), 0);
    EXPECT_EQ(ctx.cntShadow->RecordCount(), 0);
    ASSERT_TRUE(ctx.mainTable->FindKey({db::TValue{longName}}));
    EXPECT_EQ(ctx.cntShadow->RecordCount(), 2);
    EXPECT_EQ(ctx.cntShadow->FieldByName("Jump")->AsString(), std::string(255, 'J'));
}

TEST(ProjectTables, APageKindTypedInLowerCaseIsStoredInUpperCase) {
    OpenContext o;
    EditorContext& ctx = o.ctx;
    ctx.mainTable->Append();
    ctx.mainTable->FieldByName("Application")->SetAsString("Demo");
    ctx.mainTable->Post();
    bool autoFill = false, gridFlag = false;
    std::string mask;
    vl::GetFieldPictureMask(ctx.detailTable, "TopicPopup", false, autoFill, gridFlag, mask);
    EXPECT_EQ(mask, "&");
    // What the page grid and edit do with a key stroke: the mask forces case.
    std::string typed = "t";
    vl::TvlPictureValidator validator(mask, autoFill);
    ASSERT_TRUE(validator.IsValidInput(typed, false));
    ctx.detailTable->Append();
    ctx.detailTable->FieldByName("HelpId")->SetAsInteger(1);
    ctx.detailTable->FieldByName("TopicPopup")->SetAsString(typed);
    ctx.detailTable->Post();
    ctx.detailTable->Refresh();
    EXPECT_EQ(ctx.detailTable->FieldByName("TopicPopup")->AsString(), "T");
    // A digit does not pass the mask, so a post refuses it.
    ctx.detailTable->Edit();
    ctx.detailTable->FieldByName("TopicPopup")->SetAsString("1");
    EXPECT_THROW(ctx.detailTable->Post(), std::exception);
    ctx.detailTable->Cancel();
}

TEST(ProjectTables, ApplyFilterJoinsTheLinesAsTheLibraryDoes) {
    OpenContext o;
    EditorContext& ctx = o.ctx;
    ctx.mainTable->Append();
    ctx.mainTable->FieldByName("Application")->SetAsString("Demo");
    ctx.mainTable->Post();
    const char* kinds = "TPTPT";
    for (int i = 1; i <= 5; ++i) {
        ctx.detailTable->Append();
        ctx.detailTable->FieldByName("HelpId")->SetAsInteger(i * 1000);
        ctx.detailTable->FieldByName("TopicPopup")->SetAsString(std::string(1, kinds[i - 1]));
        ctx.detailTable->Post();
    }
    vl::TvlTable* t = ctx.detailFilterTable;
    t->vlFilter().Clear();
    t->vlFilter().Add("TopicPopup = \"T\" \t ");
    t->vlFilter().Add("   ");
    t->vlFilter().Add("HelpId > 1000");
    EXPECT_EQ(t->BuildFilterText(), "TopicPopup = \"T\" AND (HelpId > 1000)");
    auto visible = [t] {
        std::vector<std::int64_t> ids;
        for (t->First(); !t->Eof(); t->Next()) ids.push_back(t->FieldByName("HelpId")->AsInteger());
        return ids;
    };
    ASSERT_TRUE(t->ApplyFilter());
    EXPECT_EQ(visible(), (std::vector<std::int64_t>{3000, 5000}));
    t->vlFilter().Clear();
    ASSERT_TRUE(t->ApplyFilter());
    EXPECT_EQ(visible().size(), 5u);
}

}  // namespace

namespace {

TEST(ProjectTables, AProgramFolderWithALongPathOpensItsTablesThroughTheAlias) {
    edtest::ProgramFolder folder(false);
    // Near the 219 characters an engine folder path may hold.
    std::string deep = folder.dir + "/";
    while (deep.size() < 205) deep += "x";
    deep += "/tables";
    ASSERT_LE(deep.size(), 219u);
    std::filesystem::create_directories(deep);
    editor::InstallProjectTables(deep);
    EditorContext ctx;
    ctx.ProgramDir = deep;
    ctx.BindAlias();
    ctx.OpenTables();
    EXPECT_TRUE(ctx.mainTable->Active());
    ctx.mainTable->Append();
    ctx.mainTable->FieldByName("Application")->SetAsString("Deep");
    ctx.mainTable->Post();
    EXPECT_GT(std::filesystem::file_size(deep + "/TvrnMAIN.QVD"), 0u);
}

}  // namespace
