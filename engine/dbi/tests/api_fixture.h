// An engine started through the entry points over a temporary folder, with
// the pages table most tests use: an integer help id, a 40-character title
// and a memo body, indexed on the help id.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/api/dbi_api.h"
#include "engine/dbi/virt_eng.h"
#include "engine/client/client_session.h"
#include "engine/client/client_table.h"
#include "engine/dbi/virt_eng.h"
#include "engine/client/client_session.h"
#include "engine/client/client_table.h"
#include "engine/client/message_box.h"
#include "engine/client/type_conversion.h"
#include "engine/server/system_tables.h"
#include "platform/core/paths.h"
#include "tests/support/test_support.h"

namespace apitest {

using namespace qv;

constexpr std::uint16_t kHelpId = 1, kTitle = 2, kBody = 3;

inline std::vector<std::uint8_t> FieldDesc(std::uint16_t number, const std::string& name, std::uint16_t type,
                                           std::uint16_t subType, std::int16_t units) {
    FLDDesc f;
    f.fieldNumber = number;
    f.name = name;
    f.fieldType = type;
    f.subType = subType;
    f.units1 = units;
    std::vector<std::uint8_t> b(FLDDesc::kSize, 0);
    f.Write(b.data());
    return b;
}

inline std::vector<std::uint8_t> IndexDesc(const std::string& name, std::vector<std::uint16_t> fields, bool unique) {
    IDXDesc x;
    x.name = name;
    x.keyFieldCount = static_cast<std::uint16_t>(fields.size());
    for (std::size_t i = 0; i < fields.size(); ++i) x.keyFields[i] = fields[i];
    x.unique = unique ? 1 : 0;
    std::vector<std::uint8_t> b(IDXDesc::kSize, 0);
    x.Write(b.data());
    return b;
}

class ApiTest : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    RecordingMessageBoxService boxes;
    ScopedEngineMessageBoxService scope{boxes};
    hDBIDb db = kNilHandle;

    void SetUp() override {
        // The in-process server keeps its configuration tables here, and the
        // client its aliases in the data folder: both in this test's folder.
        std::filesystem::create_directories(dir / "sys");
        SetSystemTableDirectory((dir / "sys").string());
        std::filesystem::create_directories(dir / "home");
        plat::SetDataHome((dir / "home").string());
        ASSERT_EQ(DbiInit(nullptr), 0);
    }
    void TearDown() override {
        DbiExit();
        SetSystemTableDirectory("");
        plat::SetDataHome("");
        // The next engine starts with the program's own transport again.
        SetClientTransportFactory(nullptr);
    }

    std::string Folder() const { return dir.path().string() + "/"; }

    void OpenDb() {
        ASSERT_EQ(DbiOpenDatabase(Folder().c_str(), nullptr, 0, 0, nullptr, 0, nullptr, nullptr, db), 0);
        ASSERT_NE(db, kNilHandle);
    }

    void CreatePages(const char* name = "Pages") {
        std::vector<std::uint8_t> fields;
        for (const auto& f : {FieldDesc(1, "HelpId", fldINT32, 0, 0), FieldDesc(2, "Title", fldZSTRING, 0, 40),
                              FieldDesc(3, "Body", fldBLOB, fldstMEMO, 0)})
            fields.insert(fields.end(), f.begin(), f.end());
        std::vector<std::uint8_t> index = IndexDesc("HelpIdx", {1}, true);
        CRTblDesc td;
        td.tableName = name;
        td.fieldCount = 3;
        td.fieldDescs = fields.data();
        td.indexCount = 1;
        td.indexDescs = index.data();
        ASSERT_EQ(DbiCreateTable(db, false, td), 0);
    }

    // On the help-id index unless told otherwise; `share` 1 opens exclusively.
    hDBICur OpenPages(const char* index = "HelpIdx", const char* name = "Pages", std::uint32_t share = 0) {
        hDBICur cur = kNilHandle;
        EXPECT_EQ(DbiOpenTable(db, name, nullptr, index, nullptr, 0, 0, share, 0, false, nullptr, cur), 0);
        return cur;
    }

    static std::uint32_t RecordSize(hDBICur cur) {
        std::vector<std::uint8_t> props(CURProps::kSize, 0);
        EXPECT_EQ(DbiGetCursorProps(cur, props.data()), 0);
        return CURProps::Read(props.data()).recordBufferSize;
    }

    // Inserts one page; `body` empty leaves the memo null.
    static void Insert(hDBICur cur, std::int32_t id, const std::string& title, const std::string& body = {}) {
        std::vector<std::uint8_t> rec(RecordSize(cur), 0xCC);
        ASSERT_EQ(DbiInitRecord(cur, rec.data()), 0);
        ASSERT_EQ(DbiPutField(cur, kHelpId, rec.data(), &id), 0);
        ASSERT_EQ(DbiPutField(cur, kTitle, rec.data(), title.c_str()), 0);
        if (!body.empty()) {
            ASSERT_EQ(DbiPutBlob(cur, rec.data(), kBody, 0, static_cast<std::uint32_t>(body.size()), body.data()), 0);
        }
        ASSERT_EQ(DbiInsertRecord(cur, 0, rec.data()), 0);
    }

    static std::int32_t IdOf(hDBICur cur, const std::vector<std::uint8_t>& rec) {
        std::int32_t id = -1;
        bool blank = true;
        EXPECT_EQ(DbiGetField(cur, kHelpId, rec.data(), &id, &blank), 0);
        EXPECT_FALSE(blank);
        return id;
    }

    static std::string TitleOf(hDBICur cur, const std::vector<std::uint8_t>& rec) {
        char title[64] = {};
        bool blank = true;
        EXPECT_EQ(DbiGetField(cur, kTitle, rec.data(), title, &blank), 0);
        return title;
    }

    // Help ids from the current position to the end (forwards) or the
    // beginning (backwards), and the result that ended the walk.
    static std::vector<std::int32_t> Walk(hDBICur cur, bool forwards, DBIResult* end = nullptr) {
        std::vector<std::int32_t> ids;
        std::vector<std::uint8_t> rec(RecordSize(cur), 0);
        DBIResult rc;
        while ((rc = forwards ? DbiGetNextRecord(cur, 0, rec.data(), nullptr)
                              : DbiGetPriorRecord(cur, 0, rec.data(), nullptr)) == 0)
            ids.push_back(IdOf(cur, rec));
        if (end != nullptr) *end = rc;
        return ids;
    }

    // The key of the current index for a help id.
    static std::vector<std::uint8_t> KeyFor(hDBICur cur, std::int32_t id) {
        std::vector<std::uint8_t> rec(RecordSize(cur), 0), key(1024, 0);
        EXPECT_EQ(DbiInitRecord(cur, rec.data()), 0);
        EXPECT_EQ(DbiPutField(cur, kHelpId, rec.data(), &id), 0);
        EXPECT_EQ(DbiExtractKey(cur, rec.data(), key.data()), 0);
        return key;
    }
};

}  // namespace apitest
