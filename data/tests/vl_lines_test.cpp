#include "data/tests/engine_fixture.h"
#include "data/vl_lines.h"
#include "data/db_errors.h"
#include "data/fields.h"

#include <gtest/gtest.h>

using namespace vl;

namespace {

class VlLinesTest : public vltest::EngineTables {
protected:
    void SetUp() override {
        EngineTables::SetUp();
        MakePageTable(3);
        pages->Open();
    }
    plat::StringList& Masks() { return pages->PictureMasks(); }
};

TEST_F(VlLinesTest, PictureMaskLinesGiveMaskAndFlags) {
    struct {
        const char* line;
        const char* field;
        const char* mask;
        bool autoFill, second;
    } cases[] = {
        {"Title\t&*?\tT\tF", "TITLE", "&*?", true, false},
        {"Title\t###\tF\tT", "title", "###", false, true},
        {"Title\t###", "Title", "###", false, false},  // missing flags are not "T"
        {"Title", "Title", "", false, false},
        {"HelpId\t###\tT\tT", "Title", "", true, true},  // no line for the field
    };
    for (auto& c : cases) {
        Masks().Clear();
        Masks().Add(c.line);
        bool autoFill = false, second = false;
        std::string mask = "stale";
        GetFieldPictureMask(pages.get(), c.field, true, autoFill, second, mask);
        EXPECT_EQ(mask, c.mask) << c.line;
        EXPECT_EQ(autoFill, c.autoFill) << c.line;
        EXPECT_EQ(second, c.second) << c.line;
    }
    // Not one of the library's datasets: no lines, defaults.
    db::TTable plain(nullptr);
    bool a = false, s = false;
    std::string m = "x";
    GetFieldPictureMask(&plain, "Title", true, a, s, m);
    EXPECT_TRUE(a && s && m.empty());
    EXPECT_EQ(GetPictureMasksProp(&plain), nullptr);
}

TEST_F(VlLinesTest, SetFieldPictureMaskKeepsWhatItMustNotReplace) {
    struct {
        const char* before;  // "" for no line
        const char* mask;
        bool replSecond, replFill, replMask, second, fill;
        const char* after;   // "" for no line
    } cases[] = {
        {"", "###", true, true, true, false, true, "Title\t###\tT\tF"},
        {"", "", true, true, true, true, true, ""},
        {"title\t###\tT\tT", "##", true, true, true, false, false, "Title\t##\tF\tF"},
        {"title\t###\tT\tT", "##", false, false, true, false, false, "Title\t##\tT\tT"},
        {"title\t###\tF\tT", "##", true, false, false, false, true, "Title\t###\tF\tF"},
        {"title\t###\tT\tT", "", true, true, true, true, true, ""},
        {"title\t###\tT\tT", "", true, true, false, false, false, "Title\t###\tF\tF"},
    };
    for (auto& c : cases) {
        Masks().Clear();
        Masks().Add("HelpId\t#\tT\tT");
        if (*c.before) Masks().Add(c.before);
        SetFieldPictureMask(pages.get(), "Title", c.mask, c.replSecond, c.replFill, c.replMask, c.second, c.fill);
        ASSERT_EQ(Masks()[0], "HelpId\t#\tT\tT") << c.before;
        if (*c.after) {
            ASSERT_EQ(Masks().Count(), 2) << c.before;
            EXPECT_EQ(Masks()[1], c.after) << c.before;
        } else {
            EXPECT_EQ(Masks().Count(), 1) << c.before;
        }
    }
}

TEST_F(VlLinesTest, ControlTypeLines) {
    auto& ct = pages->ControlType();
    ct.Add("Title;LookupCombo;Form2.Combo;x");
    ct.Add("Body");
    ct.Add("title;Combo;Other");
    struct {
        const char* field;
        const char* kind;
        const char* params;
    } cases[] = {{"Title", "LookupCombo", "Form2.Combo;x"}, {"title", "Combo", "Other"}, {"Body", "", ""},
                 {"Cost", "", ""}};
    for (auto& c : cases) {
        std::string kind = "?", params = "?";
        GetControlTypeInfo(pages.get(), c.field, kind, params);
        EXPECT_EQ(kind, c.kind) << c.field;
        EXPECT_EQ(params, c.params) << c.field;
    }
    for (const char* k : {"CustomEdit", "lookupcombo", "COMBO"}) EXPECT_TRUE(IsControlKind(k)) << k;
    for (const char* k : {"RichEdit", "", "Combos"}) EXPECT_FALSE(IsControlKind(k)) << k;
}

TEST_F(VlLinesTest, StaleLinesArePurgedWithTheirLinks) {
    auto& lf = pages->LookupFields();
    auto& ll = pages->LookupLinks();
    auto& ct = pages->ControlType();
    lf.Add("Gone;db;T.QVD;Name;Idx");
    lf.Add("title;db;T.QVD;Name;Idx");
    lf.Add("Missing;db;T.QVD;Name;Idx");
    ll.Add("A;B");
    ll.Add("C;D");
    ll.Add("E;F");
    ct.Add("Body;RichEdit");
    ct.Add("Nothing;Combo;X");
    PurgeMissingFieldLines(pages.get(), &lf, &ll, &ct);
    ASSERT_EQ(lf.Count(), 1);
    EXPECT_EQ(lf[0], "title;db;T.QVD;Name;Idx");
    ASSERT_EQ(ll.Count(), 1);
    EXPECT_EQ(ll[0], "C;D");
    ASSERT_EQ(ct.Count(), 1);
    EXPECT_EQ(ct[0], "Body;RichEdit");
    EXPECT_TRUE(PurgeStaleControlTypes(nullptr, pages.get()));
}

TEST_F(VlLinesTest, SelectedLinesRoundTrip) {
    plat::StringList sel;
    sel.Add("title\t25\tTopic title");
    sel.Add("NoSuchField\t9\tX");
    sel.Add("HelpId\t6\tId");
    ApplySelectedFields(pages.get(), sel);
    EXPECT_FALSE(pages->ControlsDisabled());
    EXPECT_FALSE(pages->FieldByName("Application")->Visible);
    EXPECT_EQ(pages->FieldByName("Title")->Index(), 0);
    EXPECT_EQ(pages->FieldByName("HelpId")->Index(), 2);

    plat::StringList stored;
    StoreSelectedFields(pages.get(), stored);
    ASSERT_EQ(stored.Count(), 2);
    EXPECT_EQ(stored[0], "Title\t25\tTopic title");
    EXPECT_EQ(stored[1], "HelpId\t6\tId");

    int index = -1;
    EXPECT_TRUE(FindSelectedField(stored, "helpid", index));
    EXPECT_EQ(index, 1);
    EXPECT_FALSE(FindSelectedField(stored, "Body", index));
}

TEST(VlFieldText, TypesAndMasks) {
    struct {
        db::TFieldType type;
        const char* text;
        bool valid;
    } cases[] = {
        {db::ftInteger, "-12", true}, {db::ftSmallint, "1.5", false}, {db::ftAutoInc, "x", false},
        {db::ftFloat, "1.5", true},   {db::ftBCD, "2.25", true},      {db::ftBCD, "abc", false},
        {db::ftCurrency, "z", false}, {db::ftString, "anything", true}, {db::ftMemo, "", true},
    };
    for (auto& c : cases) EXPECT_EQ(IsValidFieldText(c.type, c.text), c.valid) << c.text;
    EXPECT_FALSE(IsNumericFieldType(db::ftBCD));
    EXPECT_TRUE(IsNumericFieldType(db::ftCurrency));
    EXPECT_FALSE(IsNumericFieldType(db::ftString));

    EXPECT_TRUE(IsValidPictureText("", "x"));
    EXPECT_TRUE(IsValidPictureText("###", "123"));
    EXPECT_TRUE(IsValidPictureText("###", ""));
    EXPECT_FALSE(IsValidPictureText("###", "12"));
    EXPECT_FALSE(IsValidPictureText("[#", "1"));  // a malformed mask accepts nothing typed
}

TEST_F(VlLinesTest, AMaskFailureStopsThePostAndKeepsTheRecord) {
    Masks().Add("Title\t*&\tT\tF");
    db::TDataSet* badSet = nullptr;
    db::TField* badField = nullptr;
    pages->OnInvalidValue = [&](db::TDataSet* ds, db::TField* f) {
        badSet = ds;
        badField = f;
    };
    pages->First();
    pages->Edit();
    pages->FieldByName("Title")->SetAsString("Page1");
    try {
        pages->Post();
        FAIL() << "the post went through";
    } catch (const db::EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Invalid characters. Field : Title");
    }
    EXPECT_EQ(badSet, pages.get());
    EXPECT_EQ(badField, pages->FieldByName("Title"));
    EXPECT_EQ(pages->State(), db::dsEdit);
    EXPECT_EQ(pages->FieldByName("Title")->AsString(), "Page1");

    // A matching text posts; without the switch nothing is checked.
    pages->FieldByName("Title")->SetAsString("pagE");
    pages->Post();
    EXPECT_EQ(pages->State(), db::dsBrowse);
    EXPECT_EQ(pages->FieldByName("Title")->AsString(), "pagE");  // checked, not rewritten
    pages->SetValidateWithMask(false);
    pages->Edit();
    pages->FieldByName("Title")->SetAsString("Page 9");
    pages->Post();
    EXPECT_EQ(pages->FieldByName("Title")->AsString(), "Page 9");
}

}  // namespace
