#include "data/vl_intl.h"

#include <gtest/gtest.h>

#include <map>

using namespace vl;

namespace {

constexpr unsigned kBold = 1;  // the fsBold bit of the controls' font styles

// The global instance is shared by the whole program: each test puts back
// what it changed by starting from a fresh copy of the defaults.
class Intl : public ::testing::Test {
protected:
    void SetUp() override {
        TvlIntl defaults(nullptr);
        global = &CreateGlobalIntl();
        defaults.CopyTextsToGlobal();
    }
    TvlIntl* global = nullptr;
};

TEST_F(Intl, DefaultsOfEveryGroup) {
    TvlIntl intl(nullptr);
    // Items per group, in the order of their properties.
    std::map<std::string, int> counts;
    std::map<std::string, std::string> firstItem;
    intl.ForEachText([&](const std::string& group, const std::string& item, std::string&) {
        if (counts[group]++ == 0) firstItem[group] = item;
    });
    const std::map<std::string, int> wantCounts = {
        {"UserMessages", 9}, {"LocateDialog", 18}, {"SearchDialog", 7}, {"FilterDialog", 40}, {"RichEdit", 34},
        {"RichEdit.MenuLabels", 28}, {"RichEdit.PopupMenuLabels", 13}, {"RichEdit.ParagraphDialog", 13},
        {"RichEdit.TabDialog", 10}};
    EXPECT_EQ(counts, wantCounts);
    EXPECT_EQ(firstItem["FilterDialog"], "BtnViewSummary");
    EXPECT_EQ(firstItem["RichEdit.TabDialog"], "TabDlgCaption");
    struct Case { const char* group; const char* item; const char* text; };
    const Case cases[] = {
        {"UserMessages", "vlDBGridDiscardChanges", "Discard changes to this record?"},
        {"UserMessages", "PictureValidateError", "Invalid characters. Field : "},
        {"UserMessages", "LocateNoMatches", "No matches found"},
        {"UserMessages", "MemoChangesWarning", "Changes have been made!  Are you sure you wish to cancel?"},
        {"UserMessages", "RecordViewExitWarning", "Changes have been made!  Do you wish to save your changes?"},
        {"LocateDialog", "MatchAnyLabel", "Partial Match &Anywhere"},
        {"LocateDialog", "FieldNameHint", "Select the field to search on"},
        {"SearchDialog", "StatusRecLabel", "Rec #"},
        {"SearchDialog", "SearchByHint", "Incremental searching and sorting order"},
        {"FilterDialog", "MatchAnyLabel", "Partial Match Any&where"},
        {"FilterDialog", "ViewSummaryNotText", "NOT"},
        {"RichEdit", "UnderlineButtonHint", "Underline | Formats the selection with a continuous underline (toggle)"},
        {"RichEdit", "NUMLockCaption", "NUM"},
        {"RichEdit.MenuLabels", "SelectallCaption", "Select A&ll"},
        {"RichEdit.MenuLabels", "HelpCaption", "Help"},
        {"RichEdit.PopupMenuLabels", "ParagraphCaption", "P&aragraph"},
        {"RichEdit.ParagraphDialog", "FirstLineEditCaption", "First line:"},
        {"RichEdit.TabDialog", "ClearAllButtonHint", "Clear all the tabs"},
    };
    for (const Case& c : cases) EXPECT_EQ(intl.Text(c.group, c.item), c.text) << c.group << "." << c.item;
    EXPECT_EQ(intl.UserMessages().LocateNoMatches, "No matches found");
    EXPECT_EQ(intl.RichEdit().MenuLabels().FileCaption, "&File");
    EXPECT_EQ(intl.BtnOKCaption, "&OK");
    EXPECT_EQ(intl.BtnCancelCaption, "Cancel");
    EXPECT_FALSE(intl.OKCancelBitmapped);
    EXPECT_FALSE(intl.Connected());
    EXPECT_EQ(intl.CheckBoxInGridStyle(), cbStyleAuto);
    EXPECT_EQ(intl.DialogFontStyle, 0u);
    EXPECT_EQ(intl.Text("UserMessages", "NoSuchItem"), "");
    EXPECT_FALSE(intl.SetText("NoSuchGroup", "LocateNoMatches", "x"));
}

TEST_F(Intl, VersionStaysThreeOh) {
    TvlIntl intl(nullptr);
    intl.SetVersionVelloric("9.9");
    EXPECT_EQ(intl.VersionVelloric(), "3.0");
}

TEST_F(Intl, ConnectedInstanceCopiesItsTexts) {
    TvlIntl local(nullptr);
    local.UserMessages().LocateNoMatches = "Nichts gefunden";
    local.RichEdit().TabDialog().TabDlgCaption = "Tabulator";
    local.BtnOKCaption = "&Ja";
    local.OKCancelBitmapped = true;
    local.DialogFontStyle = kBold;
    // Not connected: nothing leaves the instance.
    local.SetCheckBoxInGridStyle(cbStyleXmark);
    EXPECT_EQ(global->UserMessages().LocateNoMatches, "No matches found");
    EXPECT_EQ(global->CheckBoxInGridStyle(), cbStyleAuto);
    EXPECT_EQ(global->BtnOKCaption, "&OK");

    local.SetConnected(true);
    EXPECT_EQ(global->Text("UserMessages", "LocateNoMatches"), "Nichts gefunden");
    EXPECT_EQ(global->RichEdit().TabDialog().TabDlgCaption, "Tabulator");
    EXPECT_EQ(global->BtnOKCaption, "&Ja");
    EXPECT_TRUE(global->OKCancelBitmapped);
    EXPECT_EQ(global->DialogFontStyle, kBold);
    EXPECT_EQ(global->CheckBoxInGridStyle(), cbStyleXmark);
    EXPECT_EQ(global->Text("LocateDialog", "BtnFirst"), "Fi&rst");  // unchanged items copy as they are
    local.SetCheckBoxInGridStyle(cbStyleCheckmark);
    EXPECT_EQ(global->CheckBoxInGridStyle(), cbStyleCheckmark);

    // A connected instance loaded from a form copies when loading ends.
    TvlIntl loaded(nullptr);
    loaded.BeginLoading();
    loaded.UserMessages().LocateNoMatches = "Rien";
    loaded.SetConnected(true);
    EXPECT_EQ(global->UserMessages().LocateNoMatches, "Nichts gefunden");
    loaded.EndLoading();
    EXPECT_EQ(global->UserMessages().LocateNoMatches, "Rien");
}

TEST_F(Intl, GlobalInstanceIsMadeOnceForTheProcessOwner) {
    EXPECT_EQ(GlobalIntl(), global);
    EXPECT_EQ(&CreateGlobalIntl(), global);  // made once
    // Without the GUI no one owns it but the process; with it, the
    // application does (controls/data/tests/vl_dialog_style_test.cpp).
    EXPECT_EQ(global->Owner(), plat::ProcessOwner());
}

}  // namespace
