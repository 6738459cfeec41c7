#include "project/project_tables.h"

#include "platform/core/codepage.h"
#include "platform/core/files.h"
#include "platform/core/paths.h"
#include "data/fields.h"
#include "data/tables.h"

#include <functional>

namespace editor {

namespace {

using db::TFieldDef;
using db::TIndexDef;

TFieldDef F(const std::string& name, db::TFieldType type, int size = 0) {
    TFieldDef f;
    f.Name = name;
    f.DataType = type;
    f.Size = size;
    return f;
}
TFieldDef S(const std::string& name, int size) { return F(name, db::ftString, size); }
TFieldDef Small(const std::string& name) { return F(name, db::ftSmallint); }
TFieldDef Int(const std::string& name) { return F(name, db::ftInteger); }
TFieldDef Memo(const std::string& name) { return F(name, db::ftMemo); }
TFieldDef Stamp(const std::string& name) { return F(name, db::ftDateTime); }

TIndexDef X(const std::string& name, const std::string& fields, unsigned options) {
    TIndexDef x;
    x.Name = name;
    x.Fields = fields;
    x.Options = options;
    return x;
}
TIndexDef Primary(const std::string& fields) { return X(kPrimaryIndex, fields, db::ixPrimary | db::ixUnique); }

std::vector<TFieldDef> MainFields() {
    std::vector<TFieldDef> f = {
        S("Application", kApplicationSize), S("DosName", 32), S("HelpTitle", 50),
        Stamp("LastModified"), Stamp("LastCompiled"),
        Memo("WholeRtf"), Memo("DummyField"), Memo("Comments"),
        S("Glossary", 1), S("GlossaryAppendix", 1), S("GenerateIndex", 1),
        Small("Wx"), Small("Wy"), Small("Ww"), Small("Wh"),
        Small("Gx"), Small("Gy"), Small("Gw"), Small("Gh"),
        S("GraphicsDir", 150), S("AutogenerateContents", 1), S("Win95Contents", 1), S("Compile", 2),
        S("TitleFont", 50), Small("TitleColor"), Small("TitleSize"), S("TitleStyle", 33),
        S("PopupFont", 50), Small("PopupColor"), Small("PopupSize"), S("PopupStyle", 33),
        S("Compress", 6), S("AutogeneratePRJfile", 1), Memo("Citation"), S("Copyright", 255),
        S("IconFile", 100), Int("NonscrollColor"), Int("ScrollColor"),
    };
    for (int i = 1; i <= 7; ++i) f.push_back(S("AddButton" + std::to_string(i), 1));
    std::vector<TFieldDef> rest = {
        S("AutoSize", 1), S("StayOnTop", 1), S("SecondaryWindow", 8), Int("SecondaryWindowColor"),
        S("SecondaryWindowTitle", 50), S("SecondStayOnTop", 1), S("CopyToDir", 150), S("CopyToDirOverwrite", 1),
        S("Spare1", 1), Int("Spare2"), S("Spare3", 25), S("AutoGenerateCntFile", 1), S("ProjectDir", 150),
        Memo("CntTabs"), Memo("CntLinkFiles"), Memo("CntIndexFiles"),
        S("CoLetWindowsDecide", 1), S("ForceTopicTitleConsistent", 1), S("AutoAddTopicsToMaxTitle", 1),
        S("DefaultTextFont", 50), Small("DefaultTextSize"), Small("DefaultTextColor"), S("DefaultTextStyle", 33),
        S("Alignment", 7), S("DefaultTitleGraphic", 150), S("SecondAutosizeHeight", 1),
        S("16bitName", 35), S("HtmlHelpName", 35), S("UseFilteredPagesOnly", 1),
        Memo("DetailFilter"), Memo("UserView"), Memo("PmFilter"), S("RequiresCompile", 1), S("ContentsFilter", 20),
    };
    f.insert(f.end(), rest.begin(), rest.end());
    return f;
}

std::vector<TFieldDef> ItemFields() {
    // Titles of imported help files run longer than the 50 characters the
    // editor itself types, so the title holds 255.
    return {
        S("Application", kApplicationSize), Int("HelpId"), S("TopicPopup", 1), S("Title", 255),
        Memo("HelpText"), S("Keys", 255), S("BrowseName", 15), Int("BrowseId"), Memo("FullTitle"),
        S("TitleUserModified", 1), S("BFootnote", 80), Int("InheritedId"),
        S("InheritedApplication", kApplicationSize), S("InheritedStatus", 9), S("MacroFootnote", 255),
        S("IDHelp", 1), S("ContextString", 255), Small("Indent"), Memo("Prepared"),
        S("AFootnote", 80), S("XFootnote", 80), Stamp("ModifiedDate"), Stamp("ModifiedTime"),
        S("Version", 5), S("CompileFor", 2), S("Revised", 1), S("UserFlag", 1), S("UserField", 15),
    };
}

std::vector<TFieldDef> PrefFields() {
    return {
        Int("TopicColor"), Int("PopupColor"), S("Word path", 40), S("Rendlow path", 40), S("Psp path", 40),
        S("Glossary option", 3), S("DisplayExtraFootnotes", 1), S("IncludeNonscroll", 1),
        S("HcpPath", 60), S("HcwPath", 60), S("HtmlPath", 60), S("ForceTopicTitleConsistent", 1),
        Memo("RtfHeader"),
    };
}

std::vector<TFieldDef> CntFields() {
    return {
        S("Application", kApplicationSize), Small("Sequence"), Small("Level"), S("EntryType", 1),
        S("Title", 255), S("Jump", 255), S("HelpFile", 40), S("Filter", 20),
    };
}

std::vector<TFieldDef> WizFields() {
    std::vector<TFieldDef> f = {
        S("ColorScheme", 30), S("PosLeft", 1), S("PosTop", 1), S("PosRight", 1),
        S("Size100", 1), S("Size50", 1), S("Size25", 1),
        S("TitleFont", 50), Small("TitleSize"), Small("TitleColor"), S("TitleStyle", 33),
        S("HelpFont", 50), Small("HelpSize"), Small("HelpColor"), S("HelpStyle", 33),
        S("PopupFont", 50), Small("PopupSize"), Small("PopupColor"), S("PopupStyle", 33),
        Int("NonscrollColor"), Int("ScrollColor"),
        Small("Gx"), Small("Gy"), Small("Gw"), Small("Gh"),
        S("CoLetWindowsDecide", 1), S("Autogenerate Contents", 1), S("Win95 Contents", 1),
        S("Compile", 2), S("Compress", 6), S("AutogeneratePRJfile", 1),
    };
    for (int i = 1; i <= 7; ++i) f.push_back(S("AddButton" + std::to_string(i), 1));
    std::vector<TFieldDef> rest = {
        S("AutoSize", 1), S("StayOnTop", 1), S("SecondaryWindow", 8), Int("SecondaryWindowColor"),
        S("SecondaryWindowTitle", 50), S("SecondStayOnTop", 1), S("AutoGenerateCntFile", 1),
    };
    f.insert(f.end(), rest.begin(), rest.end());
    return f;
}

std::vector<TableSchema> BuildSchemas() {
    return {
        {kMainTableFile, MainFields(), {Primary("Application")}},
        {kItemTableFile, ItemFields(), {Primary("Application;HelpId")}},
        {kCntTableFile, CntFields(), {X("AppSequence", "Application;Sequence", 0)}},
        {kPrefTableFile, PrefFields(), {}},
        {kRefiTableFile,
         {S("Application", kApplicationSize), Int("HelpId"), Int("ReferencedBy")},
         {Primary("Application;HelpId;ReferencedBy")}},
        {kInhTableFile,
         {S("Application", kApplicationSize), Int("HelpId"), S("InheritedApplication", kApplicationSize),
          Int("InheritedId"), S("InheritedTitle", 255)},
         {X("0", "Application;HelpId", 0)}},
        {kFontTableFile, {S("Application", kApplicationSize), Memo("RtfHeader"), Memo("FontList")},
         {Primary("Application")}},
        {kWizTableFile, WizFields(), {}},
        {kWizTitlesTableFile, {Int("Seq"), S("Title", 65)}, {X("Seq", "Seq", 0)}},
    };
}

void Set(db::TDataSet& t, const std::string& field, const std::string& value) {
    t.FieldByName(field)->SetAsString(value);
}
void Set(db::TDataSet& t, const std::string& field, std::int64_t value) {
    t.FieldByName(field)->SetAsInteger(value);
}

void SeedPreferences(db::TTable& t) {
    t.Append();
    Set(t, "TopicColor", std::int64_t{0xFF0000});
    // Popups in green: silver, the colour of an unreadable field, is too
    // pale to read on the white of the grid and the pages.
    Set(t, "PopupColor", std::int64_t{0x008000});
    Set(t, "Glossary option", "No");
    Set(t, "DisplayExtraFootnotes", "N");
    Set(t, "IncludeNonscroll", "Y");
    Set(t, "ForceTopicTitleConsistent", "N");
    Set(t, "RtfHeader", GenericProjectRtfHeader());
    t.Post();
}

struct Scheme {
    const char* name;
    const char* posLeft;
    const char* posTop;
    const char* size100;
    const char* size50;
    const char* size25;
    const char* titleFont;
    int titleSize, titleColor;
    const char* titleStyle;
    const char* helpFont;
    int helpSize, helpColor;
    const char* helpStyle;
    int popupColor;
    std::int64_t nonscrollColor, scrollColor;
    const char* compile;
};

void SeedSchemes(db::TTable& t) {
    // Colour numbers index the project colour table in the generic header's
    // order: 0 black, 4 navy, 9 red, 12 blue (15 is white, never text).
    // Screen colours are 0x00BBGGRR.
    const Scheme schemes[] = {
        {"Classic (navy titles on cream)", "Y", "Y", "N", "Y", "N", "Arial", 14, 4, "[afsBold]", "Arial", 10, 0,
         "[]", 0, 0xE1FFFF, 0xFFFFFF, "32"},
        {"Plain (black on white)", "Y", "Y", "Y", "N", "N", "Times New Roman", 12, 0, "[afsBold]",
         "Times New Roman", 10, 0, "[]", 0, 0xFFFFFF, 0xFFFFFF, "32"},
        {"Bold (red titles on silver)", "N", "Y", "N", "N", "Y", "Arial", 16, 9, "[afsBold,afsItalic]", "Arial",
         10, 0, "[]", 12, 0xC0C0C0, 0xFFFFFF, "16"},
    };
    for (const Scheme& s : schemes) {
        t.Append();
        Set(t, "ColorScheme", s.name);
        Set(t, "PosLeft", s.posLeft);
        Set(t, "PosTop", s.posTop);
        Set(t, "PosRight", std::string(s.posLeft) == "Y" ? "N" : "Y");
        Set(t, "Size100", s.size100);
        Set(t, "Size50", s.size50);
        Set(t, "Size25", s.size25);
        Set(t, "TitleFont", s.titleFont);
        Set(t, "TitleSize", std::int64_t{s.titleSize});
        Set(t, "TitleColor", std::int64_t{s.titleColor});
        Set(t, "TitleStyle", s.titleStyle);
        Set(t, "HelpFont", s.helpFont);
        Set(t, "HelpSize", std::int64_t{s.helpSize});
        Set(t, "HelpColor", std::int64_t{s.helpColor});
        Set(t, "HelpStyle", s.helpStyle);
        Set(t, "PopupFont", s.helpFont);
        Set(t, "PopupSize", std::int64_t{s.helpSize});
        Set(t, "PopupColor", std::int64_t{s.popupColor});
        Set(t, "PopupStyle", "[afsBold]");
        Set(t, "NonscrollColor", s.nonscrollColor);
        Set(t, "ScrollColor", s.scrollColor);
        Set(t, "Gx", std::int64_t{100});
        Set(t, "Gy", std::int64_t{100});
        Set(t, "Gw", std::int64_t{500});
        Set(t, "Gh", std::int64_t{400});
        Set(t, "CoLetWindowsDecide", "N");
        Set(t, "Autogenerate Contents", "Y");
        Set(t, "Win95 Contents", "Y");
        Set(t, "Compile", s.compile);
        Set(t, "Compress", "None");
        Set(t, "AutogeneratePRJfile", "Y");
        for (int i = 1; i <= 7; ++i) Set(t, "AddButton" + std::to_string(i), i <= 3 ? "Y" : "N");
        Set(t, "AutoSize", "N");
        Set(t, "StayOnTop", "N");
        Set(t, "SecondaryWindow", "second");
        Set(t, "SecondaryWindowColor", s.scrollColor);
        Set(t, "SecondaryWindowTitle", "More Help");
        Set(t, "SecondStayOnTop", "N");
        Set(t, "AutoGenerateCntFile", "Y");
        t.Post();
    }
}

}  // namespace

const std::vector<TableSchema>& ProjectTableSchemas() {
    static const std::vector<TableSchema> schemas = BuildSchemas();
    return schemas;
}

const TableSchema* FindTableSchema(const std::string& fileName) {
    for (const TableSchema& s : ProjectTableSchemas())
        if (plat::CompareAnsi(s.fileName, fileName, true) == 0) return &s;
    return nullptr;
}

std::string GenericProjectRtfHeader() {
    static const char* const fonts[] = {"Arial",        "Courier",  "Courier New", "Fixedsys", "MS Sans Serif",
                                        "Sans Serif",   "Roman",    "Script",      "Small Fonts", "Symbol",
                                        "System",       "Terminal", "Times New Roman", "Wingdings"};
    // black, maroon, green, olive, navy, purple, teal, gray, silver, red,
    // lime, yellow, blue, fuchsia, aqua, white
    static const int colours[16][3] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},     {128, 128, 0},
                                       {0, 0, 128},     {128, 0, 128}, {0, 128, 128},   {128, 128, 128},
                                       {192, 192, 192}, {255, 0, 0},   {0, 255, 0},     {255, 255, 0},
                                       {0, 0, 255},     {255, 0, 255}, {0, 255, 255},   {255, 255, 255}};
    std::string h = "{\\rtf1\\ansi\\deff0\\deftab720{\\fonttbl";
    for (int i = 0; i < 14; ++i)
        h += "{\\f" + std::to_string(i) + "\\fnil\\charset0 " + fonts[i] + ";}";
    h += "}{\\colortbl";
    for (const auto& c : colours)
        h += "\\red" + std::to_string(c[0]) + "\\green" + std::to_string(c[1]) + "\\blue" + std::to_string(c[2]) + ";";
    h += "}\\paperw12240\\paperh15840\\margl1880\\margr1880\\margt1440\\margb1440{\\plain\\f0\\fs20\\cf0 }}";
    return h;
}

std::vector<std::string> InstallProjectTables(const std::string& folder) {
    std::vector<std::string> created;
    const std::string dir = plat::IncludeTrailingBackslash(folder);
    for (const TableSchema& s : ProjectTableSchemas()) {
        db::TTable t(nullptr);
        t.DatabaseName = dir;
        t.TableName = s.fileName;
        // A file in any letter case counts: the path layer finds it so.
        if (plat::FileExists(plat::JoinPath(folder, s.fileName)) || t.Exists()) continue;
        t.FieldDefs().Assign(s.fields);
        t.IndexDefs().Assign(s.indexes);
        t.CreateTable();
        created.push_back(s.fileName);
        std::function<void(db::TTable&)> seed;
        if (s.fileName == kPrefTableFile) seed = SeedPreferences;
        if (s.fileName == kWizTableFile) seed = SeedSchemes;
        if (!seed) continue;
        t.Open();
        seed(t);
        t.Close();
    }
    return created;
}

}  // namespace editor
