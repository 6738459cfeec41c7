// The index, sequence-number, permanent-table and stored-procedure entry
// points: what each answers on a table cursor, an in-memory table, nil and
// stale handles, and that each reaches the operation of its handle.
#include <cstring>

#include "engine/dbi/tests/api_fixture.h"
#include "engine/client/mem_table.h"

using namespace qv;
using apitest::ApiTest;
using apitest::FieldDesc;
using apitest::IndexDesc;

namespace {

class EntryPointTest : public ApiTest {};

TEST_F(EntryPointTest, EachCallAnswersWhatItsHandleOperationAnswers) {
    OpenDb();
    CreatePages();
    hDBICur cur = OpenPages();
    ASSERT_NE(cur, kNilHandle);
    Insert(cur, 1, "One");
    hDBICur stale = OpenPages();
    const hDBICur staleValue = stale;
    ASSERT_EQ(DbiCloseCursor(stale), 0);
    std::vector<std::uint8_t> descs(IDXDesc::kSize * 4, 0xEE);
    std::uint32_t seq = 0;
    hDBICur list = kNilHandle;
    hDBIStmt stmt = 77;

    struct Case {
        const char* call;
        std::function<DBIResult(hDBICur, hDBIDb)> run;
        DBIResult onTable;    // a table cursor and an open database
        bool reportsNotSupported;
    };
    const Case cases[] = {
        {"DbiOpenIndex", [&](hDBICur c, hDBIDb) { return DbiOpenIndex(c, "HelpIdx", 0); }, kDbiErrNotApplicable, false},
        {"DbiCloseIndex", [&](hDBICur c, hDBIDb) { return DbiCloseIndex(c, "HelpIdx", 0); }, kDbiErrNotApplicable,
         false},
        {"DbiGetIndexDescs", [&](hDBICur c, hDBIDb) { return DbiGetIndexDescs(c, descs.data()); }, 0, false},
        {"DbiGetSeqNo", [&](hDBICur c, hDBIDb) { return DbiGetSeqNo(c, seq); }, 0, false},
        {"DbiSetToSeqNo", [&](hDBICur c, hDBIDb) { return DbiSetToSeqNo(c, 1); }, 0, false},
        {"DbiMakePermanent", [&](hDBICur c, hDBIDb) { return DbiMakePermanent(c, "Kept", false); },
         kDbiErrNotSupported, true},
        {"DbiOpenSPParamList", [&](hDBICur, hDBIDb d) { return DbiOpenSPParamList(d, "Proc", false, 0, list); },
         kDbiErrNotSupported, true},
        {"DbiQPrepareProc", [&](hDBICur, hDBIDb d) { return DbiQPrepareProc(d, "Proc", 0, nullptr, nullptr, stmt); },
         kDbiErrNotSupported, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        const std::size_t boxesBefore = boxes.shown.size();
        EXPECT_EQ(c.run(cur, db), c.onTable);
        EXPECT_EQ(boxes.shown.size() > boxesBefore, c.reportsNotSupported) << "not-supported report";
        if (c.onTable != 0) {
            EXPECT_EQ(LastErrorCode(), c.onTable) << "kept as the last error";
        }
        EXPECT_EQ(c.run(kNilHandle, kNilHandle), kDbiErrInvalidHandle) << "nil handle";
        EXPECT_EQ(c.run(staleValue, staleValue), kDbiErrInvalidHandle) << "stale handle";
    }
    EXPECT_EQ(seq, 1u) << "the one record is the first";
    EXPECT_EQ(list, kNilHandle);
    EXPECT_EQ(stmt, kNilHandle) << "no statement is made";

    // The index descriptors land one after another, as DbiGetIndexDesc
    // gives them.
    std::vector<std::uint8_t> one(IDXDesc::kSize, 0);
    ASSERT_EQ(DbiGetIndexDesc(cur, 1, one.data()), 0);
    EXPECT_EQ(std::memcmp(descs.data(), one.data(), IDXDesc::kSize), 0);
    EXPECT_EQ(IDXDesc::Read(descs.data()).name, "HelpIdx");
    EXPECT_EQ(DbiGetIndexDescs(cur, nullptr), kDbiErrInvalidParam);

    // Statement calls: no database makes statements, so every handle is invalid.
    for (hDBIStmt h : {hDBIStmt(kNilHandle), hDBIStmt(cur), hDBIStmt(12345)}) {
        EXPECT_EQ(DbiQSetParams(h, 0, nullptr, nullptr), kDbiErrInvalidHandle) << h;
        EXPECT_EQ(DbiQSetProcParams(h, 0, nullptr, nullptr), kDbiErrInvalidHandle) << h;
    }
    DbiCloseCursor(cur);
}

TEST_F(EntryPointTest, SequenceNumbersOfAnInMemoryTableThroughTheEntryPoints) {
    std::vector<FLDDesc> fields(1);
    fields[0].name = "Id";
    fields[0].fieldType = fldINT32;
    fields[0].length = 4;
    auto* mem = new TMemTable(nullptr, nullptr, nullptr, fields, 0);
    const hDBICur h = mem->Handle();
    for (std::int32_t id : {30, 10, 20}) {
        std::vector<std::uint8_t> rec(mem->RecordSize(), 0);
        PutU32(rec.data(), static_cast<std::uint32_t>(id));
        ASSERT_EQ(mem->InsertRecord(0, rec.data()), 0);
    }
    std::uint32_t seq = 99;
    ASSERT_EQ(DbiSetToBegin(h), 0);
    EXPECT_EQ(DbiGetSeqNo(h, seq), kDbiErrNoCurrRec) << "no row is current before the first";
    struct Case {
        std::uint32_t seqNo;
        DBIResult result;
        std::int32_t id;  // of the row that becomes current
    };
    // Sequence numbers follow the order of insertion.
    for (const Case& c : {Case{2, 0, 10}, Case{1, 0, 30}, Case{3, 0, 20}, Case{4, kDbiErrEof, 0}}) {
        SCOPED_TRACE(c.seqNo);
        EXPECT_EQ(DbiSetToSeqNo(h, c.seqNo), c.result);
        if (c.result != 0) continue;
        std::vector<std::uint8_t> rec(mem->RecordSize(), 0);
        ASSERT_EQ(DbiGetRecord(h, 0, rec.data(), nullptr), 0);
        EXPECT_EQ(static_cast<std::int32_t>(GetU32(rec.data())), c.id);
        ASSERT_EQ(DbiGetSeqNo(h, seq), 0);
        EXPECT_EQ(seq, c.seqNo);
    }
    delete mem;
}

}  // namespace
