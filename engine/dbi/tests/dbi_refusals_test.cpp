// Input the engine must refuse with a result instead of crashing, cutting
// it short or storing something else: damaged index headers, tables no
// file can hold, dates outside the stored years, keys of too many fields.
#include <cstring>
#include <fstream>

#include "engine/dbi/tests/api_fixture.h"
#include "engine/client/day_numbers.h"
#include "engine/storage/btree.h"
#include "engine/storage/table_file.h"

using namespace qv;
using apitest::ApiTest;
using apitest::FieldDesc;
using apitest::IndexDesc;

namespace {

constexpr DBIResult kIndexCorrupt = 8965;

class RefusalTest : public ApiTest {
protected:
    // Overwrites `size` bytes at `offset` of the index header block of a
    // closed table's file.
    void PatchIndexHeader(const std::string& table, std::uint32_t offset, std::uint32_t value, int size) {
        const std::string path = Folder() + table + ".QVD";
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        ASSERT_TRUE(f) << path;
        std::uint8_t head[100] = {};
        f.read(reinterpret_cast<char*>(head), sizeof head);
        const std::uint32_t blockSize = GetU32(head + hdr::kBlockSize);
        const std::uint32_t block = GetU32(head + hdr::kIndexHeader);
        std::uint8_t bytes[4];
        PutU32(bytes, value);
        f.seekp(static_cast<std::streamoff>(block) * blockSize + offset);
        f.write(reinterpret_cast<const char*>(bytes), size);
        ASSERT_TRUE(f);
    }

    static CRTblDesc Desc(const char* name, const std::vector<std::uint8_t>& fields, std::uint16_t fieldCount,
                          const std::vector<std::uint8_t>& indexes = {}, std::uint16_t indexCount = 0) {
        CRTblDesc td;
        td.tableName = name;
        td.fieldCount = fieldCount;
        td.fieldDescs = fields.empty() ? nullptr : fields.data();
        td.indexCount = indexCount;
        td.indexDescs = indexes.empty() ? nullptr : indexes.data();
        return td;
    }
};

TEST_F(RefusalTest, AnIndexHeaderUnlikeTheDictionaryIsRefusedWhenTheTableOpens) {
    struct Case {
        const char* what;
        std::uint32_t offset;
        std::uint32_t value;
        int size;
    };
    // Slot 1 is the help-id index: a unique key of 4 bytes.
    const Case cases[] = {
        {"key length 4 -> 600", ihdr::kKeyLength + 2, 600, 2},
        {"key length 4 -> 2", ihdr::kKeyLength + 2, 2, 2},
        {"unique index marked as allowing duplicates", ihdr::kFlags + 1, ihdr::kAllowDuplicates, 1},
        {"index marked as holding references only", ihdr::kFlags + 1, ihdr::kRefOnly, 1},
    };
    OpenDb();
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = "Pages" + std::to_string(n++);
        CreatePages(name.c_str());
        hDBICur cur = OpenPages("HelpIdx", name.c_str());
        for (int id = 1; id <= 5; ++id) Insert(cur, id * 10, "Title " + std::to_string(id));
        ASSERT_EQ(DbiCloseCursor(cur), 0);
        PatchIndexHeader(name, c.offset, c.value, c.size);

        hDBICur damaged = kNilHandle;
        EXPECT_EQ(DbiOpenTable(db, name.c_str(), nullptr, "HelpIdx", nullptr, 0, 0, 0, 0, false, nullptr, damaged),
                  kIndexCorrupt);
        EXPECT_EQ(damaged, kNilHandle);
        EXPECT_EQ(DbiOpenTable(db, name.c_str(), nullptr, nullptr, nullptr, 0, 0, 0, 0, false, nullptr, damaged),
                  kIndexCorrupt)
            << "the table is refused on any index";
        if (damaged != kNilHandle) {
            // Before the check this read keys of the stored length into the
            // cursor's 4-byte key.
            std::vector<std::uint8_t> rec(RecordSize(damaged), 0);
            std::int32_t id = 30;
            DbiGetRecordForKey(damaged, false, 1, 0, &id, rec.data());
            DbiCloseCursor(damaged);
        }
    }
    // An undamaged table of the same folder still opens.
    CreatePages("Sound");
    hDBICur sound = OpenPages("HelpIdx", "Sound");
    EXPECT_NE(sound, kNilHandle);
    DbiCloseCursor(sound);
}

TEST_F(RefusalTest, TablesNoFileCanHoldAnswerAnErrorAndTheProcessLives) {
    OpenDb();
    std::vector<std::uint8_t> tooLong;
    for (const auto& f : {FieldDesc(1, "A", fldZSTRING, 0, 4000), FieldDesc(2, "B", fldZSTRING, 0, 1000)})
        tooLong.insert(tooLong.end(), f.begin(), f.end());
    struct Case {
        const char* what;
        CRTblDesc desc;
    };
    const Case cases[] = {
        {"two text fields of 4000 and 1000", Desc("TooLong", tooLong, 2)},
        {"no fields", Desc("Empty", {}, 0)},
    };
    CreatePages();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_NE(DbiCreateTable(db, false, c.desc), 0);
        EXPECT_NE(LastErrorCode(), 0);
        // The same description as the new shape of an existing table.
        CRTblDesc restructure = c.desc;
        restructure.tableName = "Pages";
        EXPECT_NE(DbiDoRestructure(db, 1, restructure, nullptr, nullptr, nullptr, false), 0);
    }
    // The engine goes on working.
    hDBICur cur = OpenPages();
    Insert(cur, 7, "Still here");
    std::uint32_t count = 0;
    EXPECT_EQ(DbiGetRecordCount(cur, count), 0);
    EXPECT_EQ(count, 1u);
    DbiCloseCursor(cur);
}

// The API date (day 1 = 1 January of year 1) of any proleptic date.
std::int32_t ApiDate(int y, int m, int d) {
    auto civil = [](int y, int m, int d) {
        y -= m <= 2;
        const int era = (y >= 0 ? y : y - 399) / 400;
        const int yoe = y - era * 400;
        const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
        const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
        return era * 146097 + doe;
    };
    return civil(y, m, d) - civil(1, 1, 1) + 1;
}

TEST_F(RefusalTest, DatesOutsideTheStoredYearsAreRefusedNotStoredBlank) {
    OpenDb();
    std::vector<std::uint8_t> fields;
    for (const auto& f : {FieldDesc(1, "Id", fldINT32, 0, 0), FieldDesc(2, "When", fldDATE, 0, 0)})
        fields.insert(fields.end(), f.begin(), f.end());
    ASSERT_EQ(DbiCreateTable(db, false, Desc("Dates", fields, 2)), 0);
    hDBICur cur = OpenPages(nullptr, "Dates");
    ASSERT_NE(cur, kNilHandle);
    struct Case {
        int y, m, d;
        DBIResult result;
    };
    const Case cases[] = {
        {1600, 1, 1, 0},     {3999, 12, 31, 0},   {2024, 2, 29, 0},          {1599, 12, 31, kDbiErrOutOfRange},
        {4000, 1, 1, kDbiErrOutOfRange}, {50, 6, 1, kDbiErrOutOfRange}, {99, 12, 31, kDbiErrOutOfRange},
        {1, 1, 1, kDbiErrOutOfRange},
    };
    std::vector<std::uint8_t> rec(RecordSize(cur), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.y) + "-" + std::to_string(c.m) + "-" + std::to_string(c.d));
        ASSERT_EQ(DbiInitRecord(cur, rec.data()), 0);
        const std::int32_t value = ApiDate(c.y, c.m, c.d);
        EXPECT_EQ(DbiPutField(cur, 2, rec.data(), &value), c.result);
        std::int32_t back = 0;
        bool blank = false;
        ASSERT_EQ(DbiGetField(cur, 2, rec.data(), &back, &blank), 0);
        if (c.result == 0) {
            EXPECT_FALSE(blank);
            int y = 0, m = 0, d = 0;
            DateDecode(back, y, m, d);
            EXPECT_EQ(std::vector<int>({y, m, d}), std::vector<int>({c.y, c.m, c.d}));
        } else {
            EXPECT_TRUE(blank) << "a refused value leaves the field as it was";
        }
    }
    DbiCloseCursor(cur);
}

TEST_F(RefusalTest, AnIndexOfMoreThanSixteenKeyFieldsIsRefusedNotCutShort) {
    OpenDb();
    std::vector<std::uint8_t> fields;
    for (std::uint16_t i = 1; i <= 17; ++i) {
        auto f = FieldDesc(i, "F" + std::to_string(i), fldINT32, 0, 0);
        fields.insert(fields.end(), f.begin(), f.end());
    }
    std::vector<std::uint16_t> sixteen;
    for (std::uint16_t i = 1; i <= 16; ++i) sixteen.push_back(i);
    // The descriptor holds 16 field numbers; the count says 17.
    auto overlong = [&](const char* name) {
        std::vector<std::uint8_t> x = IndexDesc(name, sixteen, false);
        IDXDesc d = IDXDesc::Read(x.data());
        d.keyFieldCount = 17;
        d.Write(x.data());
        return x;
    };
    struct Case {
        const char* what;
        std::uint16_t count;
        DBIResult result;
    };
    for (const Case& c : {Case{"16 key fields", 16, 0}, Case{"17 key fields", 17, kDbiErrInvalidParam}}) {
        SCOPED_TRACE(c.what);
        const std::string name = "Wide" + std::to_string(c.count);
        std::vector<std::uint8_t> index = c.count == 16 ? IndexDesc("All", sixteen, false) : overlong("All");
        EXPECT_EQ(DbiCreateTable(db, false, Desc(name.c_str(), fields, 17, index, 1)), c.result);
        // The same key added to a table that exists.
        const std::string plain = "Plain" + std::to_string(c.count);
        ASSERT_EQ(DbiCreateTable(db, false, Desc(plain.c_str(), fields, 17)), 0);
        EXPECT_EQ(DbiAddIndex(db, kNilHandle, plain.c_str(), nullptr, index.data(), nullptr), c.result);
    }
}

}  // namespace
