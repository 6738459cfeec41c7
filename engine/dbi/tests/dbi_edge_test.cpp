// The edges of the entry points: initialising twice, calls without an
// engine, nil, stale and wrong-kind handles, the ends of a table, and the
// faults the client guards against (large BLOBs, failed index builds,
// unknown databases, freeing a BLOB while on another row).
#include <cstring>

#include "engine/dbi/in_process_server.h"
#include "engine/dbi/tests/api_fixture.h"
#include "engine/client/filter.h"
#include "engine/client/tests/filter_tree.h"
#include "engine/storage/file_access.h"

using namespace qv;
using apitest::ApiTest;

namespace {

TEST(EngineLifecycleTest, InitTwiceKeepsTheFirstEngineAndExitIsAlwaysSafe) {
    testsupport::TempDir sys;
    SetSystemTableDirectory(sys.path().string());
    EXPECT_EQ(DbiExit(), 0) << "exit without init";
    ASSERT_EQ(DbiInit(nullptr), 0);
    TVirtEng* first = VirtEng();
    ASSERT_NE(first, nullptr);
    hDBISes ses = kNilHandle;
    ASSERT_EQ(DbiGetCurrSession(ses), 0);
    EXPECT_NE(ses, kNilHandle) << "DbiInit starts one session";
    EXPECT_EQ(DbiInit(nullptr), kDbiErrAlreadyInit);
    EXPECT_EQ(VirtEng(), first);
    EXPECT_EQ(DbiShutdownStep(), 0);
    EXPECT_EQ(DbiExit(), 0);
    EXPECT_EQ(VirtEng(), nullptr);
    EXPECT_EQ(DbiExit(), 0);
    SetSystemTableDirectory("");
}

TEST(EngineLifecycleTest, CallsWithoutAnEngineAnswerNoSessionInsteadOfCrashing) {
    ASSERT_EQ(VirtEng(), nullptr);
    hDBIDb db = kNilHandle;
    std::uint32_t count = 0;
    void* ld = nullptr;
    EXPECT_EQ(DbiOpenDatabase("x", nullptr, 0, 0, nullptr, 0, nullptr, nullptr, db), kDbiErrInvalidSesHandle);
    EXPECT_EQ(DbiGetRecordCount(1, count), kDbiErrInvalidSesHandle);
    EXPECT_EQ(OsLdLoadBySymbName("x", ld), kDbiErrNotApplicable);
    EXPECT_EQ(OsLdUnloadObj(ld), kDbiErrNotApplicable);
}

class EdgeTest : public ApiTest {};

TEST_F(EdgeTest, NilStaleAndWrongKindHandlesAnswerInvalidHandle) {
    OpenDb();
    CreatePages();
    hDBICur open = OpenPages();
    hDBICur closed = OpenPages();
    const hDBICur staleValue = closed;
    ASSERT_EQ(DbiCloseCursor(closed), 0);
    EXPECT_EQ(closed, kNilHandle) << "closing clears the caller's handle";
    hDBISes ses = kNilHandle;
    ASSERT_EQ(DbiGetCurrSession(ses), 0);

    std::vector<std::uint8_t> rec(RecordSize(open), 0);
    std::uint32_t count = 0;
    struct Case {
        const char* what;
        hDBICur handle;
    };
    for (const Case& c : {Case{"nil", kNilHandle}, Case{"closed cursor", staleValue}, Case{"database", db},
                          Case{"session", ses}, Case{"never issued", 0x7FFFFFF0u}}) {
        EXPECT_EQ(DbiGetNextRecord(c.handle, 0, rec.data(), nullptr), kDbiErrInvalidHandle) << c.what;
        EXPECT_EQ(DbiSetToBegin(c.handle), kDbiErrInvalidHandle) << c.what;
        EXPECT_EQ(DbiGetRecordCount(c.handle, count), kDbiErrInvalidHandle) << c.what;
        EXPECT_EQ(DbiInsertRecord(c.handle, 0, rec.data()), kDbiErrInvalidHandle) << c.what;
        hDBICur copy = c.handle;
        EXPECT_EQ(DbiCloseCursor(copy), kDbiErrInvalidHandle) << c.what;
        EXPECT_EQ(LastErrorCode(), kDbiErrInvalidHandle) << c.what;
    }
    hDBICur notDb = kNilHandle;
    EXPECT_EQ(DbiOpenTable(open, "Pages", nullptr, nullptr, nullptr, 0, 0, 0, 0, false, nullptr, notDb),
              kDbiErrInvalidHandle)
        << "a cursor handle is no database";
    // The open cursor still works after all that.
    EXPECT_EQ(DbiSetToBegin(open), 0);
    hDBIDb closedDb = db;
    ASSERT_EQ(DbiCloseDatabase(closedDb), 0);
    EXPECT_EQ(DbiSetToBegin(open), kDbiErrInvalidHandle) << "closing a database frees its cursors";
    EXPECT_EQ(DbiCloseDatabase(db), kDbiErrInvalidHandle) << "a database closed twice";
}

// The entry points keep the cursor they found last; closing it must not
// leave that cursor reachable through its old number.
TEST_F(EdgeTest, ACursorUsedJustBeforeItsCloseIsGoneAfterIt) {
    OpenDb();
    CreatePages();
    hDBICur c = OpenPages();
    const hDBICur number = c;
    std::uint32_t count = 0;
    ASSERT_EQ(DbiGetRecordCount(c, count), 0);
    ASSERT_EQ(DbiCloseCursor(c), 0);
    EXPECT_EQ(DbiGetRecordCount(number, count), kDbiErrInvalidHandle);
    EXPECT_EQ(DbiSetToBegin(number), kDbiErrInvalidHandle);
    // A cursor opened afterwards gets a number of its own and works.
    hDBICur other = OpenPages();
    EXPECT_NE(other, number);
    EXPECT_EQ(DbiGetRecordCount(other, count), 0);
    EXPECT_EQ(DbiGetRecordCount(number, count), kDbiErrInvalidHandle);
}

TEST_F(EdgeTest, SessionHandles) {
    // Every session starts a server of its own; the direct in-process
    // transport lets several stand side by side in one test.
    DbiExit();
    InstallInProcessTransport();
    ASSERT_EQ(DbiInit(nullptr), 0);
    hDBISes first = kNilHandle;
    ASSERT_EQ(DbiGetCurrSession(first), 0);
    EXPECT_EQ(DbiSetCurrSession(kNilHandle), kDbiErrInvalidSesHandle);
    std::vector<std::uint8_t> info(SESInfo::kSize, 0);
    EXPECT_EQ(DbiGetSesInfo(info.data()), kDbiErrInvalidSesHandle);
    hDBISes none = first;
    EXPECT_EQ(DbiGetCurrSession(none), kDbiErrInvalidSesHandle);
    EXPECT_EQ(none, kNilHandle);
    ASSERT_EQ(DbiSetCurrSession(first), 0);
    EXPECT_EQ(DbiGetSesInfo(info.data()), 0);

    hDBISes second = kNilHandle;
    ASSERT_EQ(DbiStartSession("Second", second, nullptr), 0);
    hDBISes current = kNilHandle;
    ASSERT_EQ(DbiGetCurrSession(current), 0);
    EXPECT_EQ(current, second);
    ASSERT_EQ(DbiCloseSession(second), 0);
    EXPECT_EQ(second, kNilHandle);
    ASSERT_EQ(DbiGetCurrSession(current), 0);
    EXPECT_EQ(current, first) << "the first remaining session becomes current";
    hDBISes stale = current;
    ASSERT_EQ(DbiCloseSession(current), 0);
    EXPECT_EQ(DbiCloseSession(stale), kDbiErrInvalidSesHandle);
    EXPECT_EQ(DbiGetCurrSession(current), kDbiErrInvalidSesHandle) << "the last session closed leaves none";
}

TEST_F(EdgeTest, ClientObjectAndItsProperty) {
    hDBIObj client = kNilHandle;
    ASSERT_EQ(DbiGetObjFromName(kObjClient, nullptr, client), 0);
    EXPECT_EQ(client, VirtEng()->Handle());
    ASSERT_EQ(DbiSetProp(client, TVirtEng::kClientProperty, 0xA1B2C3D4u), 0);
    std::uint8_t value[8] = {};
    std::uint16_t len = 99;
    ASSERT_EQ(DbiGetProp(client, TVirtEng::kClientProperty, value, sizeof value, len), 0);
    EXPECT_EQ(len, 4);
    std::uint32_t v = 0;
    std::memcpy(&v, value, 4);
    EXPECT_EQ(v, 0xA1B2C3D4u);
    EXPECT_EQ(DbiGetProp(client, 0x1234, value, sizeof value, len), kDbiErrNotSupported);
    EXPECT_EQ(DbiGetProp(kNilHandle, TVirtEng::kClientProperty, value, sizeof value, len), kDbiErrInvalidParam);
    EXPECT_EQ(DbiSetProp(kNilHandle, 1, 1), kDbiErrInvalidParam);
    hDBIObj other = 5;
    EXPECT_EQ(DbiGetObjFromName(3, "x", other), kDbiErrNotSupported);
    EXPECT_EQ(other, kNilHandle);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(boxes.shown[0].text.find("GETOBJFROMNAME"), std::string::npos);
}

TEST(NameToBufferTest, DropsABracketedTagAndTheCharacterAfterIt) {
    struct Case {
        const char* in;
        const char* out;
    };
    for (const Case& c : {Case{"[S] Work", "Work"}, Case{"Work", "Work"}, Case{"[S]Work", "ork"},
                          Case{"A [x] B", "A B"}, Case{"[open", "[open"}, Case{"]x[", "]x["}, Case{"[S]", ""},
                          Case{"", ""}}) {
        EXPECT_EQ(NameToBuffer(c.in), c.out) << c.in;
    }
    EXPECT_EQ(NameToBuffer(nullptr), "");
    EXPECT_EQ(NameToBuffer(std::string(400, 'n').c_str()).size(), TVirtEng::kNameBufferSize - 1);
}

TEST(TranslateRecordStructureTest, CopiesExactlyTheFieldDescriptors) {
    std::vector<std::uint8_t> src(3 * FLDDesc::kSize + 10), dest(3 * FLDDesc::kSize + 10, 0xEE);
    for (std::size_t i = 0; i < src.size(); ++i) src[i] = static_cast<std::uint8_t>(i);
    ASSERT_EQ(DbiTranslateRecordStructure(nullptr, 3, src.data(), nullptr, nullptr, dest.data(), false), 0);
    EXPECT_TRUE(std::equal(src.begin(), src.begin() + 186, dest.begin()));
    EXPECT_EQ(dest[186], 0xEE);
    EXPECT_EQ(DbiTranslateRecordStructure(nullptr, 1, nullptr, nullptr, nullptr, dest.data(), false),
              kDbiErrInvalidParam);
}

TEST_F(EdgeTest, DatabasesByNameAndTag) {
    // An unknown name is an error, never a database on an empty path.
    hDBIDb h = 77;
    EXPECT_EQ(DbiOpenDatabase("NoSuchAlias", nullptr, 0, 0, nullptr, 0, nullptr, nullptr, h), kDbiErrUnknownDb);
    EXPECT_EQ(h, kNilHandle);
    // A bracketed tag in front of a path is dropped.
    std::string tagged = "[S] " + Folder();
    ASSERT_EQ(DbiOpenDatabase(tagged.c_str(), nullptr, 0, 0, nullptr, 0, nullptr, nullptr, h), 0);
    std::vector<std::uint8_t> desc(DBDesc::kSize, 0);
    ASSERT_EQ(DbiGetDatabaseDesc(tagged.c_str(), desc.data()), 0);
    EXPECT_EQ(DBDesc::Read(desc.data()).physicalPath, Folder());
    EXPECT_FALSE(IsSQLBased(h));
    EXPECT_FALSE(IsSQLBased(kNilHandle));
    // A folder that does not exist is refused by the server, and no handle stays.
    hDBIDb missing = 5;
    std::string gone = Folder() + "gone/";
    EXPECT_NE(DbiOpenDatabase(gone.c_str(), nullptr, 0, 0, nullptr, 0, nullptr, nullptr, missing), 0);
    EXPECT_EQ(missing, kNilHandle);
}

TEST_F(EdgeTest, AnAliasOpensItsFolderWithOrWithoutATag) {
    const std::string params = "PATH:\"" + Folder() + "\";junk";
    ASSERT_EQ(DbiAddAlias(0, "Work", nullptr, params.c_str(), false), 0);
    for (const char* name : {"Work", "work", "[S] Work"}) {
        hDBIDb h = kNilHandle;
        ASSERT_EQ(DbiOpenDatabase(name, nullptr, 0, 0, nullptr, 0, nullptr, nullptr, h), 0) << name;
        db = h;
        std::vector<std::uint8_t> desc(DBDesc::kSize, 0);
        ASSERT_EQ(DbiGetDatabaseDesc(name, desc.data()), 0) << name;
        EXPECT_EQ(DBDesc::Read(desc.data()).name, "Work") << name;
        EXPECT_EQ(DbiCloseDatabase(h), 0) << name;
    }
    // A table made through the alias lands in the folder.
    ASSERT_EQ(DbiOpenDatabase("Work", nullptr, 0, 0, nullptr, 0, nullptr, nullptr, db), 0);
    CreatePages();
    EXPECT_TRUE(std::filesystem::exists(dir / "Pages.QVD"));
}

TEST_F(EdgeTest, EndsOfATable) {
    OpenDb();
    CreatePages();
    hDBICur cur = OpenPages();
    std::vector<std::uint8_t> rec(RecordSize(cur), 0);
    struct Step {
        const char* what;
        DBIResult (*call)(hDBICur, void*);
        DBIResult want;
    };
    auto next = [](hDBICur c, void* r) { return DbiGetNextRecord(c, 0, r, nullptr); };
    auto prior = [](hDBICur c, void* r) { return DbiGetPriorRecord(c, 0, r, nullptr); };
    auto get = [](hDBICur c, void* r) { return DbiGetRecord(c, 0, r, nullptr); };
    // On an empty table, in this order on one cursor.
    for (const Step& s : {Step{"record right after open", +get, kDbiErrNoCurrRec},
                          Step{"next on empty", +next, kDbiErrEof}, Step{"record at the end", +get, kDbiErrEof},
                          Step{"next again at the end", +next, kDbiErrEof},
                          Step{"prior on empty", +prior, kDbiErrBof},
                          Step{"record at the beginning", +get, kDbiErrBof}}) {
        EXPECT_EQ(s.call(cur, rec.data()), s.want) << s.what;
    }
    Insert(cur, 1, "only");
    ASSERT_EQ(DbiSetToBegin(cur), 0);
    for (const Step& s : {Step{"first", +next, 0}, Step{"past the last", +next, kDbiErrEof},
                          Step{"back onto it", +prior, 0}, Step{"before the first", +prior, kDbiErrBof}}) {
        EXPECT_EQ(s.call(cur, rec.data()), s.want) << s.what;
    }
    std::vector<std::uint8_t> desc(IDXDesc::kSize, 0);
    // Index 0 is the physical order, 1 the help-id index; there is no 2.
    EXPECT_EQ(DbiGetIndexDesc(cur, 1, desc.data()), 0);
    EXPECT_EQ(IDXDesc::Read(desc.data()).name, "HelpIdx");
    EXPECT_EQ(DbiGetIndexDesc(cur, 2, desc.data()), kDbiErrEof);
    std::vector<std::uint8_t> vchk(VCHKDesc::kSize, 0);
    EXPECT_EQ(DbiGetVchkDesc(cur, 1, vchk.data()), kDbiErrObjNotFound);
}

TEST_F(EdgeTest, RecordChangesDeleteAndModify) {
    OpenDb();
    CreatePages();
    hDBICur cur = OpenPages();
    for (int id = 1; id <= 3; ++id) Insert(cur, id, "t" + std::to_string(id));
    std::vector<std::uint8_t> rec(RecordSize(cur), 0);
    ASSERT_EQ(DbiGetRecordForKey(cur, true, 0, 0, KeyFor(cur, 2).data(), rec.data()), 0);
    ASSERT_EQ(DbiPutField(cur, apitest::kTitle, rec.data(), "changed"), 0);
    ASSERT_EQ(DbiModifyRecord(cur, rec.data(), true), 0);
    ASSERT_EQ(DbiGetRecordForKey(cur, true, 0, 0, KeyFor(cur, 3).data(), rec.data()), 0);
    ASSERT_EQ(DbiDeleteRecord(cur, rec.data()), 0);
    EXPECT_EQ(IdOf(cur, rec), 3) << "the deleted record comes back in the buffer";
    ASSERT_EQ(DbiSetToBegin(cur), 0);
    EXPECT_EQ(Walk(cur, true), (std::vector<std::int32_t>{1, 2}));
    ASSERT_EQ(DbiGetRecordForKey(cur, true, 0, 0, KeyFor(cur, 2).data(), rec.data()), 0);
    EXPECT_EQ(TitleOf(cur, rec), "changed");
    // A duplicate key is refused and the table keeps two rows.
    std::vector<std::uint8_t> dup(RecordSize(cur), 0);
    ASSERT_EQ(DbiInitRecord(cur, dup.data()), 0);
    std::int32_t one = 1;
    ASSERT_EQ(DbiPutField(cur, apitest::kHelpId, dup.data(), &one), 0);
    EXPECT_NE(DbiInsertRecord(cur, 0, dup.data()), 0);
    std::uint32_t count = 0;
    ASSERT_EQ(DbiGetRecordCount(cur, count), 0);
    EXPECT_EQ(count, 2u);
}

TEST_F(EdgeTest, BlobsLargerThan64KbTravelWhole) {
    OpenDb();
    CreatePages();
    hDBICur cur = OpenPages();
    std::string big(3 * 1024 * 1024 + 17, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 131) >> 3);
    Insert(cur, 1, "big", big);
    std::vector<std::uint8_t> rec(RecordSize(cur), 0);
    ASSERT_EQ(DbiGetRecordForKey(cur, true, 0, 0, KeyFor(cur, 1).data(), rec.data()), 0);
    std::uint32_t size = 0;
    ASSERT_EQ(DbiGetBlobSize(cur, rec.data(), apitest::kBody, size), 0);
    EXPECT_EQ(size, big.size());
    std::string back(big.size() + 100, '\0');
    std::uint32_t read = 0;
    ASSERT_EQ(DbiGetBlob(cur, rec.data(), apitest::kBody, 0, static_cast<std::uint32_t>(back.size()), back.data(),
                         read), 0);
    EXPECT_EQ(read, big.size()) << "a read past the end stops at the end";
    back.resize(read);
    EXPECT_TRUE(back == big);
    // A read from an offset in the middle.
    std::string part(70000, '\0');
    ASSERT_EQ(DbiGetBlob(cur, rec.data(), apitest::kBody, 100000, 70000, part.data(), read), 0);
    EXPECT_EQ(read, 70000u);
    EXPECT_EQ(part, big.substr(100000, 70000));
}

TEST_F(EdgeTest, BlobCallsOnNullAndBrokenFields) {
    OpenDb();
    CreatePages();
    hDBICur cur = OpenPages();
    std::vector<std::uint8_t> rec(RecordSize(cur), 0);
    ASSERT_EQ(DbiInitRecord(cur, rec.data()), 0);
    std::uint32_t size = 9, read = 9;
    char buf[8] = {};
    EXPECT_EQ(DbiGetBlobSize(cur, rec.data(), apitest::kBody, size), 0);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(DbiGetBlob(cur, rec.data(), apitest::kBody, 0, 8, buf, read), 0);
    EXPECT_EQ(read, 0u);
    EXPECT_EQ(DbiTruncateBlob(cur, rec.data(), apitest::kBody, 0), 0);
    EXPECT_EQ(DbiTruncateBlob(cur, rec.data(), apitest::kBody, 5), kDbiErrInvalidBlobOffset);
    EXPECT_EQ(DbiGetBlobSize(cur, rec.data(), 9, size), kDbiErrOutOfRange);
    EXPECT_EQ(DbiGetBlobSize(cur, nullptr, apitest::kBody, size), kDbiErrInvalidParam);
    // A field marked present whose number is 0 is a broken buffer.
    ASSERT_EQ(DbiPutBlob(cur, rec.data(), apitest::kBody, 0, 3, "abc"), 0);
    std::uint32_t nr = 0;
    std::vector<std::uint8_t> fld(FLDDesc::kSize * 3, 0);
    ASSERT_EQ(DbiGetFieldDescs(cur, fld.data()), 0);
    const std::uint16_t off = FLDDesc::Read(fld.data() + 2 * FLDDesc::kSize).offset;
    std::memcpy(&nr, rec.data() + off, 4);
    EXPECT_NE(nr, 0u) << "PutBlob stored a new BLOB number in the buffer";
    std::memset(rec.data() + off, 0, 4);
    EXPECT_EQ(DbiGetBlobSize(cur, rec.data(), apitest::kBody, size), kDbiErrInvalidBlobHandle);
}

TEST_F(EdgeTest, FreeingAnEmptyBlobNeverWritesTheBufferOverAnotherRow) {
    OpenDb();
    CreatePages();
    hDBICur cur = OpenPages();
    // Row 1 owns an empty BLOB; row 2 is someone else's.
    std::vector<std::uint8_t> row1(RecordSize(cur), 0);
    ASSERT_EQ(DbiInitRecord(cur, row1.data()), 0);
    std::int32_t one = 1;
    ASSERT_EQ(DbiPutField(cur, apitest::kHelpId, row1.data(), &one), 0);
    ASSERT_EQ(DbiPutField(cur, apitest::kTitle, row1.data(), "owner"), 0);
    ASSERT_EQ(DbiPutBlob(cur, row1.data(), apitest::kBody, 0, 0, nullptr), 0);
    ASSERT_EQ(DbiInsertRecord(cur, 0, row1.data()), 0);
    Insert(cur, 2, "bystander", "keep me");

    // The cursor sits on row 2 while the caller frees row 1's BLOB.
    std::vector<std::uint8_t> rec(RecordSize(cur), 0);
    ASSERT_EQ(DbiGetRecordForKey(cur, true, 0, 0, KeyFor(cur, 2).data(), rec.data()), 0);
    EXPECT_EQ(DbiFreeBlob(cur, row1.data(), apitest::kBody), kDbiErrBlobModified);
    ASSERT_EQ(DbiGetRecordForKey(cur, true, 0, 0, KeyFor(cur, 2).data(), rec.data()), 0);
    EXPECT_EQ(TitleOf(cur, rec), "bystander");
    std::string body(7, '\0');
    std::uint32_t read = 0;
    ASSERT_EQ(DbiGetBlob(cur, rec.data(), apitest::kBody, 0, 7, body.data(), read), 0);
    EXPECT_EQ(body, "keep me");
    ASSERT_EQ(DbiSetToBegin(cur), 0);
    EXPECT_EQ(Walk(cur, true), (std::vector<std::int32_t>{1, 2}));
}

TEST_F(EdgeTest, FreeingAnEmptyBlobOnItsOwnRowClearsTheField) {
    OpenDb();
    CreatePages();
    hDBICur cur = OpenPages();
    std::vector<std::uint8_t> rec(RecordSize(cur), 0);
    ASSERT_EQ(DbiInitRecord(cur, rec.data()), 0);
    std::int32_t one = 1;
    ASSERT_EQ(DbiPutField(cur, apitest::kHelpId, rec.data(), &one), 0);
    ASSERT_EQ(DbiPutBlob(cur, rec.data(), apitest::kBody, 0, 0, nullptr), 0);
    ASSERT_EQ(DbiInsertRecord(cur, 0, rec.data()), 0);
    ASSERT_EQ(DbiGetRecordForKey(cur, true, 0, 0, KeyFor(cur, 1).data(), rec.data()), 0);
    EXPECT_EQ(DbiFreeBlob(cur, rec.data(), apitest::kBody), 0);
    std::vector<std::uint8_t> again(RecordSize(cur), 0);
    ASSERT_EQ(DbiGetRecord(cur, 0, again.data(), nullptr), 0);
    bool blank = false;
    std::uint32_t nr = 0;
    ASSERT_EQ(DbiGetField(cur, apitest::kBody, again.data(), &nr, &blank), 0);
    EXPECT_TRUE(blank) << "the row on the server no longer names the freed BLOB";
}

TEST_F(EdgeTest, ReadingBlobsOutsideATransactionWritesAndSyncsNothing) {
    OpenDb();
    CreatePages();
    hDBICur cur = OpenPages();
    constexpr int kRows = 20;
    for (int i = 1; i <= kRows; ++i) Insert(cur, i, "page " + std::to_string(i), "body of page " + std::to_string(i));
    std::vector<std::uint8_t> empty(RecordSize(cur), 0);
    ASSERT_EQ(DbiInitRecord(cur, empty.data()), 0);
    std::int32_t id = kRows + 1;
    ASSERT_EQ(DbiPutField(cur, apitest::kHelpId, empty.data(), &id), 0);
    ASSERT_EQ(DbiPutBlob(cur, empty.data(), apitest::kBody, 0, 0, nullptr), 0);
    ASSERT_EQ(DbiInsertRecord(cur, 0, empty.data()), 0);

    // Counts every write, sync, truncation, delete and rename in the process.
    TqvFaultFileAccess counting(QvFileAccess());
    QvInstallFileAccess(&counting);
    struct Restore {
        ~Restore() { QvInstallFileAccess(nullptr); }
    } restore;
    std::vector<std::uint8_t> rec(RecordSize(cur), 0);
    for (int i = 1; i <= kRows; ++i) {
        ASSERT_EQ(DbiGetRecordForKey(cur, true, 0, 0, KeyFor(cur, i).data(), rec.data()), 0);
        ASSERT_EQ(DbiOpenBlob(cur, rec.data(), apitest::kBody, 0), 0);
        std::uint32_t size = 0, read = 0;
        ASSERT_EQ(DbiGetBlobSize(cur, rec.data(), apitest::kBody, size), 0);
        std::string body(size, '\0');
        ASSERT_EQ(DbiGetBlob(cur, rec.data(), apitest::kBody, 0, size, body.data(), read), 0);
        EXPECT_EQ(body, "body of page " + std::to_string(i));
        EXPECT_EQ(DbiFreeBlob(cur, rec.data(), apitest::kBody), 0);
    }
    EXPECT_EQ(counting.Count(), 0) << "reads and frees of BLOBs with data touched the disk";
    // An empty BLOB still goes, through its own journaled transaction.
    ASSERT_EQ(DbiGetRecordForKey(cur, true, 0, 0, KeyFor(cur, kRows + 1).data(), rec.data()), 0);
    EXPECT_EQ(DbiFreeBlob(cur, rec.data(), apitest::kBody), 0);
    EXPECT_GT(counting.Count(), 0);
    bool blank = false;
    std::uint32_t nr = 0;
    ASSERT_EQ(DbiGetRecord(cur, 0, rec.data(), nullptr), 0);
    ASSERT_EQ(DbiGetField(cur, apitest::kBody, rec.data(), &nr, &blank), 0);
    EXPECT_TRUE(blank);
}

TEST_F(EdgeTest, AddIndexReportsAFailedBuildAndANewIndexIsUsable) {
    OpenDb();
    CreatePages();
    hDBICur shared = OpenPages();
    EXPECT_NE(DbiAddIndex(db, shared, "Pages", nullptr, apitest::IndexDesc("T", {2}, false).data(), nullptr), 0)
        << "building an index needs the table to itself";
    ASSERT_EQ(DbiCloseCursor(shared), 0);
    hDBICur cur = OpenPages("HelpIdx", "Pages", 1);
    auto indexCount = [&] {
        std::vector<std::uint8_t> props(CURProps::kSize, 0);
        EXPECT_EQ(DbiGetCursorProps(cur, props.data()), 0);
        return CURProps::Read(props.data()).indexes;
    };
    // On an empty table every index builds; rows added later are in it.
    ASSERT_EQ(DbiAddIndex(db, cur, "Pages", nullptr, apitest::IndexDesc("TitleIdx", {2, 1}, false).data(), nullptr),
              0);
    EXPECT_EQ(indexCount(), 3) << "physical order, help id, title";
    Insert(cur, 1, "b");
    Insert(cur, 2, "a");
    Insert(cur, 3, "b");
    struct Case {
        const char* what;
        std::vector<std::uint8_t> desc;
        DBIResult code;  // 0: any failure
    };
    // A refused build answers failure and leaves no index behind.
    for (const Case& c : {Case{"no such field", apitest::IndexDesc("Bad", {9}, false), 0},
                          Case{"a name already used", apitest::IndexDesc("HelpIdx", {2}, false), 0},
                          Case{"unique over duplicate titles", apitest::IndexDesc("TitleU", {2}, true), 9729}}) {
        const DBIResult r = DbiAddIndex(db, cur, "Pages", nullptr, c.desc.data(), nullptr);
        if (c.code != 0)
            EXPECT_EQ(r, c.code) << c.what;
        else
            EXPECT_NE(r, 0) << c.what;
        EXPECT_EQ(indexCount(), 3) << c.what;
    }
    ASSERT_EQ(DbiSwitchToIndex(cur, "titleidx", nullptr, 0, false), 0);
    ASSERT_EQ(DbiSetToBegin(cur), 0);
    EXPECT_EQ(Walk(cur, true), (std::vector<std::int32_t>{2, 1, 3}));
    // Over rows already there the keys of those rows are built: a walk of
    // the new index reaches every row, in key order.
    ASSERT_EQ(DbiAddIndex(db, cur, "Pages", nullptr, apitest::IndexDesc("TitleOnly", {2}, false).data(), nullptr),
              0);
    EXPECT_EQ(indexCount(), 4);
    ASSERT_EQ(DbiSwitchToIndex(cur, "TitleOnly", nullptr, 0, false), 0);
    ASSERT_EQ(DbiSetToBegin(cur), 0);
    std::vector<std::int32_t> walked = Walk(cur, true);
    ASSERT_EQ(walked.size(), 3u);
    EXPECT_EQ(walked[0], 2);  // "a" before both "b" rows
    // Rows changed afterwards keep the new index up to date.
    Insert(cur, 4, "0");
    ASSERT_EQ(DbiSetToBegin(cur), 0);
    EXPECT_EQ(Walk(cur, true).front(), 4);
}

TEST_F(EdgeTest, GetRecordOnARowTheFilterRefusesMovesOnToTheNextItAccepts) {
    OpenDb();
    CreatePages();
    hDBICur cur = OpenPages();
    for (int id = 1; id <= 3; ++id) Insert(cur, id, "x");
    using namespace qv::testing;
    std::vector<std::uint8_t> tree = BuildTree(Compare(kOpEq, Field("HelpId"), Int32(3)));
    hDBIFilter filter = 0;
    ASSERT_EQ(DbiAddFilter(cur, 0, 1, false, tree.data(), nullptr, filter), 0);
    ASSERT_EQ(DbiActivateFilter(cur, filter), 0);
    std::vector<std::uint8_t> rec(RecordSize(cur), 0);
    // Key searches are the server's and ignore the filter.
    ASSERT_EQ(DbiGetRecordForKey(cur, true, 0, 0, KeyFor(cur, 1).data(), rec.data()), 0);
    ASSERT_EQ(DbiGetRecord(cur, 0, rec.data(), nullptr), 0);
    EXPECT_EQ(IdOf(cur, rec), 3);
    // Nothing after 3 passes: the cursor ends up at the end.
    ASSERT_EQ(DbiDeactivateFilter(cur, filter), 0);
    tree = BuildTree(Compare(kOpEq, Field("HelpId"), Int32(2)));
    hDBIFilter two = 0;
    ASSERT_EQ(DbiAddFilter(cur, 0, 1, false, tree.data(), nullptr, two), 0);
    ASSERT_EQ(DbiActivateFilter(cur, two), 0);
    ASSERT_EQ(DbiGetRecordForKey(cur, true, 0, 0, KeyFor(cur, 3).data(), rec.data()), 0);
    EXPECT_EQ(DbiGetRecord(cur, 0, rec.data(), nullptr), kDbiErrEof);
    EXPECT_EQ(DbiGetNextRecord(cur, 0, rec.data(), nullptr), kDbiErrEof);
    EXPECT_EQ(DbiGetPriorRecord(cur, 0, rec.data(), nullptr), 0);
    EXPECT_EQ(IdOf(cur, rec), 2);
}

TEST_F(EdgeTest, CloneAndSetToCursorShareTheTable) {
    OpenDb();
    CreatePages();
    hDBICur cur = OpenPages();
    for (int id = 1; id <= 3; ++id) Insert(cur, id, "x");
    std::vector<std::uint8_t> rec(RecordSize(cur), 0);
    ASSERT_EQ(DbiGetRecordForKey(cur, true, 0, 0, KeyFor(cur, 2).data(), rec.data()), 0);
    hDBICur clone = kNilHandle;
    ASSERT_EQ(DbiCloneCursor(cur, true, false, clone), 0);
    ASSERT_NE(clone, kNilHandle);
    hDBICur other = OpenPages();
    ASSERT_EQ(DbiSetToCursor(other, cur), 0);
    ASSERT_EQ(DbiGetRecord(other, 0, rec.data(), nullptr), 0);
    EXPECT_EQ(IdOf(other, rec), 2);
    EXPECT_EQ(DbiSetToCursor(kNilHandle, cur), kDbiErrInvalidHandle);
    ASSERT_EQ(DbiSetToBegin(clone), 0);
    EXPECT_EQ(Walk(clone, true), (std::vector<std::int32_t>{1, 2, 3}));
}

}  // namespace
