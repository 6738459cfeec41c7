#include "db_fixture.h"

using namespace db;

namespace dbtest {
namespace {

// A one-row table with a field of every kind.
class FieldsTest : public DbFixture {
protected:
    void SetUp() override {
        DbFixture::SetUp();
        t.DatabaseName = "/tmp/x";
        t.TableName = "kinds";
        const std::pair<const char*, TFieldType> kinds[] = {
            {"S", ftString}, {"I", ftInteger}, {"Sm", ftSmallint}, {"W", ftWord}, {"F", ftFloat},
            {"C", ftCurrency}, {"B", ftBCD}, {"Bo", ftBoolean}, {"D", ftDate}, {"T", ftTime},
            {"DT", ftDateTime}, {"A", ftAutoInc}, {"M", ftMemo}, {"Bl", ftBlob}, {"G", ftGraphic}};
        for (auto& [n, k] : kinds) t.FieldDefs().Add(n, k, k == ftString ? 5 : 0);
        t.CreateTable();
        t.Open();
        t.Append();
    }
    TTable t{nullptr};
};

TEST_F(FieldsTest, KindsMatchTheirTypes) {
    EXPECT_NE(dynamic_cast<TStringField*>(t.FieldByName("s")), nullptr);  // any letter case
    EXPECT_NE(dynamic_cast<TSmallintField*>(t.FieldByName("SM")), nullptr);
    EXPECT_NE(dynamic_cast<TWordField*>(t.FieldByName("W")), nullptr);
    EXPECT_NE(dynamic_cast<TIntegerField*>(t.FieldByName("A")), nullptr);
    EXPECT_NE(dynamic_cast<TCurrencyField*>(t.FieldByName("C")), nullptr);
    EXPECT_NE(dynamic_cast<TBCDField*>(t.FieldByName("B")), nullptr);
    EXPECT_NE(dynamic_cast<TDateField*>(t.FieldByName("D")), nullptr);
    EXPECT_NE(dynamic_cast<TTimeField*>(t.FieldByName("T")), nullptr);
    EXPECT_NE(dynamic_cast<TMemoField*>(t.FieldByName("M")), nullptr);
    EXPECT_NE(dynamic_cast<TGraphicField*>(t.FieldByName("G")), nullptr);
    EXPECT_TRUE(t.FieldByName("A")->ReadOnly);
    try {
        t.FieldByName("Missing");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Field 'Missing' not found");
    }
}

TEST_F(FieldsTest, TextInAndOut) {
    struct Case {
        const char* field;
        const char* typed;
        const char* asString;
        const char* display;
    };
    const Case cases[] = {
        {"S", "abcdefg", "abcde", "abcde"},          // cut to the field size
        {"I", " -42 ", "-42", "-42"},
        {"Sm", "32767", "32767", "32767"},
        {"W", "65535", "65535", "65535"},
        {"F", "2.5", "2.5", "2.5"},
        {"C", "1234.5", "1234.5", "$1,234.50"},
        {"Bo", "t", "True", "True"},                  // a prefix of the word will do
        {"Bo", "FALSE", "False", "False"},
        {"D", "2/29/2024", "2/29/2024", "2/29/2024"},
        {"T", "13:05", "13:05:00", "13:05:00"},
        {"DT", "12/31/1999 23:59:58", "12/31/1999 23:59:58", "12/31/1999 23:59:58"},
        {"M", "{\\rtf1 x}", "{\\rtf1 x}", "(Memo)"},
        {"I", "", "", ""},                            // blank text clears a number
    };
    for (const Case& c : cases) {
        TField* f = t.FieldByName(c.field);
        f->SetAsString(c.typed);
        EXPECT_EQ(f->AsString(), c.asString) << c.field << " " << c.typed;
        EXPECT_EQ(f->DisplayText(), c.display) << c.field << " " << c.typed;
    }
    EXPECT_TRUE(t.FieldByName("I")->IsNull());
    EXPECT_EQ(t.FieldByName("C")->Text(), "1234.50");
}

TEST_F(FieldsTest, BadValuesAreRefusedAndLeaveTheOldOne) {
    struct Case {
        const char* field;
        const char* typed;
    };
    const Case cases[] = {{"I", "12x"}, {"Sm", "32768"}, {"Sm", "-32769"}, {"W", "-1"}, {"W", "65536"},
                          {"F", "1.2.3"}, {"Bo", "maybe"}, {"D", "2/30/2023"}, {"D", "13/1/2000"},
                          {"T", "25:00"}, {"DT", "yesterday"}};
    for (const Case& c : cases) {
        TField* f = t.FieldByName(c.field);
        f->Clear();
        EXPECT_THROW(f->SetAsString(c.typed), plat::Exception) << c.field << " " << c.typed;
        EXPECT_TRUE(f->IsNull()) << c.field;
    }
    EXPECT_THROW(t.FieldByName("A")->SetAsInteger(5), EDatabaseError);  // read-only
}

TEST_F(FieldsTest, ValidCharactersPerKind) {
    struct Case {
        const char* field;
        const char* good;
        const char* bad;
    };
    const Case cases[] = {{"I", "0123456789+-", ".eA "}, {"F", "0123456789+-.eE", "x,$ "}, {"S", "aZ 9.,\xe9", ""}};
    for (const Case& c : cases) {
        TField* f = t.FieldByName(c.field);
        for (const char* p = c.good; *p; ++p) EXPECT_TRUE(f->IsValidChar(*p)) << c.field << " '" << *p << "'";
        for (const char* p = c.bad; *p; ++p) EXPECT_FALSE(f->IsValidChar(*p)) << c.field << " '" << *p << "'";
    }
}

TEST_F(FieldsTest, NamesWidthsAndOrder) {
    TField* s = t.FieldByName("S");
    EXPECT_EQ(s->DisplayName(), "S");
    s->DisplayLabel = "Short text";
    EXPECT_EQ(s->DisplayName(), "Short text");
    EXPECT_EQ(s->DisplayWidth(), 5);
    EXPECT_EQ(s->Index(), 0);
    s->SetIndex(3);
    EXPECT_EQ(t.Fields(3), s);
    EXPECT_EQ(s->FieldNo(), 1);  // the stored position does not move
    t.FieldByName("Sm")->SetAsInteger(7);
    EXPECT_EQ(t.FieldByName("Sm")->AsFloat(), 7.0);
    t.FieldByName("Bo")->SetAsBoolean(true);
    EXPECT_EQ(t.FieldByName("Bo")->AsInteger(), 1);
    t.FieldByName("Bo")->DisplayValues = "Y;N";
    EXPECT_EQ(t.FieldByName("Bo")->AsString(), "Y");
    t.FieldByName("Bo")->SetAsString("N");
    EXPECT_FALSE(t.FieldByName("Bo")->AsBoolean());
}

TEST_F(FieldsTest, ValidateAndChangeEvents) {
    TField* i = t.FieldByName("I");
    int changes = 0;
    i->OnChange = [&](TField*) { ++changes; };
    i->OnValidate = [](TField* f) {
        if (f->AsInteger() < 0) throw EDatabaseError("Negative");
    };
    i->SetAsInteger(5);
    EXPECT_THROW(i->SetAsInteger(-1), EDatabaseError);
    EXPECT_EQ(i->AsInteger(), 5);
    EXPECT_EQ(changes, 1);
}

TEST_F(FieldsTest, BlobLoadAndSaveThroughStreamsAndFiles) {
    std::string bytes("\0\x01\xff binary", 10);
    plat::MemoryStream in(bytes);
    auto* bl = dynamic_cast<TBlobField*>(t.FieldByName("Bl"));
    bl->LoadFromStream(in);
    EXPECT_EQ(bl->BlobSize(), 10);
    testsupport::TempDir dir;
    bl->SaveToFile((dir / "blob.bin").string());
    EXPECT_EQ(testsupport::ReadFileBytes(dir / "blob.bin"), bytes);
    auto* g = dynamic_cast<TBlobField*>(t.FieldByName("G"));
    g->LoadFromFile((dir / "blob.bin").string());
    EXPECT_EQ(g->AsString(), bytes);
    {
        // A read-write stream starts from the stored bytes and may cut them.
        auto s = t.CreateBlobStream(bl, bmReadWrite);
        s->SetPosition(3);
        static_cast<TBlobStream*>(s.get())->Truncate();
    }
    EXPECT_EQ(bl->AsString(), bytes.substr(0, 3));
    t.Post();
    EXPECT_EQ(bl->AsString(), bytes.substr(0, 3));
}

}  // namespace
}  // namespace dbtest
