#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "engine/server/server_cursor_nav.h"
#include "engine/server/tests/rebuild/rebuild_fixture.h"
#include "engine/storage/records.h"

using namespace qv;
using rbtest::PeopleDict;
using rbtest::Sorted;
namespace fs = std::filesystem;

namespace {

class RebuildTest : public ::testing::Test {
protected:
    std::vector<std::string> FilesLike(const std::string& prefix) {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(dir.path()))
            if (e.path().filename().string().rfind(prefix, 0) == 0) out.push_back(e.path().filename().string());
        return out;
    }
    bool NoLeftovers() {
        return FilesLike("_PACK").empty() && FilesLike("_REST").empty() && FilesLike("_OLD").empty() &&
               FilesLike("People.RB").empty();
    }
    std::uint32_t Deleted(const std::string& table) {
        std::uint32_t c = s.Open(table);
        TqvEngineLock g(s.engine);
        TqvTableInfo info;
        GetTableInfo(s.engine.Cursors().Find(c)->table->GetFile(0), info);
        s.engine.CursorClose(c);
        return info.deletedCount;
    }
    // Deletes every record whose id is a multiple of `every` (and the one with id `also`).
    void DeleteEvery(const std::string& table, int every, int also = -1) {
        std::uint32_t c = s.Open(table, "ById"), tr = 0;
        ASSERT_EQ(s.engine.TransactionStart(s.db, false, tr), 0);
        std::vector<std::uint8_t> r(PeopleDict().GetRecordLength());
        while (s.engine.RecordGetNext(c, false, r.data(), r.size()) == 0) {
            const auto id = static_cast<std::int32_t>(GetU32(r.data()));
            if (id % every == 0 || id == also) {
                ASSERT_EQ(s.engine.RecordDelete(c, nullptr, 0), 0);
            }
        }
        ASSERT_EQ(s.engine.TransactionCommit(tr), 0);
        s.engine.CursorClose(c);
    }
    // Appends a record to the data file only, past every index: what a
    // damaged index looks like.
    void AddBehindIndexes(const std::string& table, std::int32_t id, const std::string& name) {
        std::uint32_t c = s.Open(table);
        TqvEngineLock g(s.engine);
        std::uint32_t tr = 0;
        ASSERT_EQ(s.engine.TransactionStart(s.db, false, tr), 0);
        auto rec = s.Rec(PeopleDict(), id, name);
        std::uint32_t ref = 0;
        AddRecord(s.engine.Cursors().Find(c)->table->GetFile(0), ref, rec.data());
        ASSERT_EQ(s.engine.TransactionCommit(tr), 0);
        s.engine.CursorClose(c);
    }
    void ClearIndexOf(const std::string& table, std::uint32_t index) {
        std::uint32_t c = s.Open(table);
        TqvEngineLock g(s.engine);
        std::uint32_t tr = 0;
        ASSERT_EQ(s.engine.TransactionStart(s.db, false, tr), 0);
        TqvCursorNav n;
        FillIndexInfo(s.engine.Cursors().Find(c)->table, index, n);
        ClearIndex(n.ictx);
        ASSERT_EQ(s.engine.TransactionCommit(tr), 0);
        s.engine.CursorClose(c);
    }

    testsupport::TempDir dir;
    rbtest::Server s{dir.path().string()};
};

TEST_F(RebuildTest, PackDropsDeletedRecordsAndKeepsDataAndBlobs) {
    s.Build("People", 600);
    DeleteEvery("People", 3);
    const auto before = s.Rows("People", "ById");
    ASSERT_EQ(before.size(), 400u);
    const std::uint32_t freeBefore = Deleted("People");
    const auto size = fs::file_size(dir / "People.QVD");

    std::int32_t id = -1;
    ASSERT_EQ(s.rebuilder.TablePack(s.db, "People", id), 0);
    ASSERT_NE(id, -1);
    std::vector<std::uint8_t> last;
    EXPECT_EQ(s.Wait(id, &last), 0u);
    EXPECT_EQ(GetU32(last.data() + 8), 400u);   // total
    EXPECT_EQ(GetU32(last.data() + 12), 400u);  // read
    EXPECT_EQ(GetU32(last.data() + 16), 400u);  // written
    EXPECT_EQ(GetU32(last.data() + 20), 100u);
    // Read once when finished, then gone.
    std::uint8_t rec[32], found = 9;
    EXPECT_EQ(s.rebuilder.GetRebuildStatus(static_cast<std::uint32_t>(id), found, rec), 0);
    EXPECT_EQ(found, 0);

    EXPECT_EQ(s.Rows("People", "ById"), before);
    EXPECT_EQ(Sorted(s.Rows("People", "ByName")), Sorted(before));
    EXPECT_EQ(s.RecCount("People"), 400u);
    // The freed slots went with the blocks that held them.
    EXPECT_LT(Deleted("People"), freeBefore / 2);
    EXPECT_LT(fs::file_size(dir / "People.QVD"), size);
    EXPECT_TRUE(NoLeftovers());
    // The table is usable afterwards: a unique-key clash is still refused.
    std::uint32_t c = s.Open("People");
    auto dup = s.Rec(PeopleDict(), 1, "again");
    EXPECT_EQ(s.engine.RecordInsert(c, false, dup.data(), dup.size()), dbi::kKeyViolation);
    s.engine.CursorClose(c);
}

TEST_F(RebuildTest, PackKeepsAutoIncValuesAndNeverHandsOutOldOnes) {
    TqvDataDictionary d;
    d.AddField("Seq", "", qvftAutoInc, 0, 0, false);
    d.AddField("Name", "", qvftShortString, 10, 0, false);
    ASSERT_EQ(s.engine.BuildTable(s.db, false, d, 0, "Auto"), 0);
    std::uint32_t c = s.Open("Auto");
    std::vector<std::uint8_t> r(d.GetRecordLength());
    for (int i = 0; i < 6; ++i) {
        d.InitRecord(r.data());
        ASSERT_EQ(s.engine.RecordInsert(c, false, r.data(), r.size()), 0);
    }
    // The last two go: their numbers 5 and 6 are used up all the same.
    ASSERT_EQ(s.engine.SetToEnd(c), 0);
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(s.engine.RecordGetPrev(c, false, r.data(), r.size()), 0);
        ASSERT_EQ(s.engine.RecordDelete(c, nullptr, 0), 0);
    }
    s.engine.CursorClose(c);
    std::int32_t id = -1;
    ASSERT_EQ(s.rebuilder.TablePack(s.db, "Auto", id), 0);
    ASSERT_EQ(s.Wait(id), 0u);
    c = s.Open("Auto");
    std::vector<std::uint32_t> seqs;
    while (s.engine.RecordGetNext(c, false, r.data(), r.size()) == 0) seqs.push_back(GetU32(r.data()));
    EXPECT_EQ(seqs, (std::vector<std::uint32_t>{1, 2, 3, 4}));
    d.InitRecord(r.data());
    ASSERT_EQ(s.engine.RecordInsert(c, false, r.data(), r.size()), 0);
    ASSERT_EQ(s.engine.RecordGet(c, false, r.data(), r.size()), 0);
    EXPECT_EQ(GetU32(r.data()), 7u);
    s.engine.CursorClose(c);
}

TEST_F(RebuildTest, ProgressIsReportedWhileTheWorkerRuns) {
    s.Build("People", 500);
    std::int32_t id = -1;
    ASSERT_EQ(s.rebuilder.TablePack(s.db, "People", id), 0);
    std::vector<std::uint32_t> seen;
    std::uint8_t rec[32], found = 0;
    for (;;) {
        ASSERT_EQ(s.rebuilder.GetRebuildStatus(static_cast<std::uint32_t>(id), found, rec), 0);
        ASSERT_EQ(found, 1);
        if (rec[28]) break;
        const std::uint32_t read = GetU32(rec + 12);
        EXPECT_EQ(GetU32(rec + 8), 500u);
        EXPECT_EQ(read % 10, 0u);  // updated every ten records
        EXPECT_EQ(GetU32(rec + 20), read * 100 / 500);
        EXPECT_LE(GetU32(rec + 16), read);
        if (seen.empty() || seen.back() != read) seen.push_back(read);
    }
    EXPECT_EQ(GetU32(rec + 12), 500u);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    // Some step between the start and the end was seen.
    EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [](std::uint32_t r) { return r > 0 && r < 500; }));
}

TEST_F(RebuildTest, PackKeepsAUserRoutineIndexWorking) {
    TqvDataDictionary d = PeopleDict();
    d.AddUserIndex("Down", "", 0, 4, false, true, false);
    ASSERT_EQ(s.engine.BuildTable(s.db, false, d, 0, "People"), 0);
    TqvServerConfiguration& cfg = s.engine.Configuration();
    cfg.allowKeyProcLoading = true;
    ASSERT_TRUE(cfg.AddKeyProc(s.dir, "People", 3, REBUILD_KEYPROC_LIB, "BuildIdKey", "CompareIdKeysDown"));
    s.Fill("People", 30);
    DeleteEvery("People", 4);
    auto down = s.Rows("People", "Down");
    ASSERT_EQ(down.size(), 23u);
    ASSERT_EQ(rbtest::Field(down.front(), "Id"), "30");

    std::int32_t id = -1;
    ASSERT_EQ(s.rebuilder.TablePack(s.db, "People", id), 0);
    ASSERT_EQ(s.Wait(id), 0u);
    EXPECT_EQ(s.Rows("People", "Down"), down);
    // The copy's own binding went with the copy.
    EXPECT_EQ(cfg.KeyProcs().Count(), 1);
    EXPECT_TRUE(cfg.KeyProcs().Exists(s.dir, "People", 3));

    // Reindexing the user-routine index builds it through the routine too.
    ClearIndexOf("People", 3);
    ASSERT_TRUE(s.Rows("People", "Down").empty());
    ASSERT_EQ(s.rebuilder.TableReindex(s.db, "People", "Down", 0, id), 0);
    ASSERT_EQ(s.Wait(id), 0u);
    EXPECT_EQ(s.Rows("People", "Down"), down);
}

TEST_F(RebuildTest, PackOfAnEmptyTable) {
    s.Build("People", 0);
    std::int32_t id = -1;
    ASSERT_EQ(s.rebuilder.TablePack(s.db, "People", id), 0);
    std::vector<std::uint8_t> last;
    EXPECT_EQ(s.Wait(id, &last), 0u);
    EXPECT_EQ(GetU32(last.data() + 8), 0u);
    EXPECT_EQ(GetU32(last.data() + 20), 0u);
    EXPECT_TRUE(s.Rows("People").empty());
    EXPECT_TRUE(NoLeftovers());
}

// The data blocks of a base file by their heads, in block order: number and
// the ids of the live records each holds.
std::vector<std::pair<std::uint32_t, std::vector<std::int32_t>>> DataBlocks(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    const std::uint32_t bs = GetU32(bytes.data() + 12);
    const TqvDataDictionary d = PeopleDict();
    const std::uint32_t slot = d.GetRecordLength() + 4;
    std::vector<std::pair<std::uint32_t, std::vector<std::int32_t>>> out;
    for (std::uint32_t n = 1; (n + 1) * static_cast<std::size_t>(bs) <= bytes.size(); ++n) {
        const std::uint8_t* b = bytes.data() + static_cast<std::size_t>(n) * bs;
        if (std::memcmp(b, "QVDH", 4) != 0 || GetU32(b + 8) != n) continue;
        std::vector<std::int32_t> ids;
        for (std::uint32_t at = 32; at + slot <= bs; at += slot)
            if (GetU32(b + at) == 0) ids.push_back(static_cast<std::int32_t>(GetU32(b + at + 4 + d.FieldOffset(0))));
        out.emplace_back(n, ids);
    }
    return out;
}

void Overwrite(const fs::path& file, std::uint64_t at, std::uint8_t byte) {
    std::fstream f(file, std::ios::binary | std::ios::in | std::ios::out);
    f.seekp(static_cast<std::streamoff>(at));
    f.put(static_cast<char>(byte));
}

// A damaged table: the pack keeps every record it can still read, leaves out
// those of the damaged parts, and puts a table in its place that opens and
// reads whole through every index.
TEST(RebuildDamaged, PackKeepsTheRecordsItCanRead) {
    enum Damage { FirstHeadSignature, MiddleBlockNumber, CutBeforeLastDataBlock, BlobFileCutInHalf };
    for (Damage damage : {FirstHeadSignature, MiddleBlockNumber, CutBeforeLastDataBlock, BlobFileCutInHalf}) {
        SCOPED_TRACE(damage);
        testsupport::TempDir dir;
        const fs::path qvd = dir.path() / "People.QVD", qvb = dir.path() / "People.QVB";
        std::vector<std::string> before;
        {
            rbtest::Server a{dir.path().string()};
            a.Build("People", 900);
            before = a.Rows("People", "ById");
        }
        const auto blocks = DataBlocks(qvd);
        ASSERT_GE(blocks.size(), 4u);
        const std::uint32_t bs = 4096;
        std::set<std::int32_t> lost;
        switch (damage) {
            case FirstHeadSignature:
                Overwrite(qvd, std::uint64_t{blocks[0].first} * bs, 'X');
                lost.insert(blocks[0].second.begin(), blocks[0].second.end());
                break;
            case MiddleBlockNumber:
                Overwrite(qvd, std::uint64_t{blocks[2].first} * bs + 8, 0xEE);
                lost.insert(blocks[2].second.begin(), blocks[2].second.end());
                break;
            case CutBeforeLastDataBlock:
                fs::resize_file(qvd, std::uint64_t{blocks.back().first} * bs);
                lost.insert(blocks.back().second.begin(), blocks.back().second.end());
                break;
            case BlobFileCutInHalf:
                fs::resize_file(qvb, fs::file_size(qvb) / 2 / bs * bs);
                break;
        }
        rbtest::Server b{dir.path().string()};
        std::int32_t id = -1;
        ASSERT_EQ(b.rebuilder.TablePack(b.db, "People", id), 0);
        ASSERT_EQ(b.Wait(id), 0u);
        const auto after = b.Rows("People", "ById");
        if (damage == BlobFileCutInHalf) {
            // Rows without a note all stay; some with a note in the cut half go.
            for (const std::string& row : before)
                if (rbtest::Field(row, "Notes") == "null")
                    EXPECT_NE(std::find(after.begin(), after.end(), row), after.end()) << row;
            EXPECT_LT(after.size(), before.size());
            EXPECT_GT(after.size(), before.size() / 2);
            for (const std::string& row : after) EXPECT_NE(std::find(before.begin(), before.end(), row), before.end());
        } else {
            ASSERT_FALSE(lost.empty());
            std::vector<std::string> kept;
            for (const std::string& row : before)
                if (!lost.count(std::stoi(rbtest::Field(row, "Id")))) kept.push_back(row);
            EXPECT_EQ(after, kept);
        }
        EXPECT_EQ(Sorted(b.Rows("People", "ByName")), Sorted(after));
        EXPECT_EQ(b.RecCount("People"), after.size());
    }
}

TEST_F(RebuildTest, RestructureAddsDropsAndConvertsFields) {
    s.Build("People", 25);
    TqvDataDictionary nd;
    nd.AddField("Id", "", qvftInt32, 10, 0, true);
    nd.AddField("Label", "", qvftShortString, 40, 0, false);
    nd.AddField("Added", "", qvftInt32, 10, 0, true);  // new and required: zero
    nd.AddField("Notes", "", qvftBLOBFirst, 0, 0, false);
    nd.AddField("Spare", "", qvftInt32, 10, 0, false);  // new, optional: null
    nd.AddFile("", "QVB", 4096, 2);
    std::uint32_t label = 1;
    nd.AddIndex("ByLabel", "", 0, 1, &label, true, true, false);
    const auto before = s.Rows("People");

    std::int32_t id = -1;
    ASSERT_EQ(s.rebuilder.TableRestructure(s.db, "People", nd, {"Id", "Label=Name", "Notes"}, id), 0);
    ASSERT_EQ(s.Wait(id), 0u);

    const auto after = s.Rows("People");
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        // before: Id=..|Name=..|Notes=..   after: Id=..|Label=..|Added=0|Notes=..|Spare=null
        const std::string& b = before[i];
        const auto p1 = b.find("|Name="), p2 = b.find("|Notes=");
        const std::string expect = b.substr(0, p1) + "|Label=" + b.substr(p1 + 6, p2 - p1 - 6) + "|Added=0" +
                                   b.substr(p2) + "|Spare=null";
        EXPECT_EQ(after[i], expect);
    }
    // The new index is built and in order.
    auto byLabel = s.Rows("People", "ByLabel");
    EXPECT_EQ(byLabel.size(), after.size());
    EXPECT_TRUE(NoLeftovers());
}

TEST_F(RebuildTest, RestructureChangesATypeWithValuesConverted) {
    s.Build("People", 12);
    TqvDataDictionary nd;
    nd.AddField("Id", "", qvftDouble, 0, 0, true);
    nd.AddField("Name", "", qvftShortString, 8, 0, false);  // narrower
    std::int32_t id = -1;
    ASSERT_EQ(s.rebuilder.TableRestructure(s.db, "People", nd, {}, id), 0);
    ASSERT_EQ(s.Wait(id), 0u);
    std::uint32_t c = s.Open("People");
    const TqvDataDictionary& d = s.engine.Cursors().Find(c)->table->dictionary;
    ASSERT_EQ(d.FieldCount(), 2u);
    std::vector<std::uint8_t> r(d.GetRecordLength());
    int n = 0;
    while (s.engine.RecordGetNext(c, false, r.data(), r.size()) == 0) {
        ++n;
        std::uint64_t bits = 0;
        for (int k = 7; k >= 0; --k) bits = bits << 8 | r[static_cast<std::size_t>(k)];
        double v;
        std::memcpy(&v, &bits, sizeof v);
        EXPECT_EQ(v, static_cast<double>(n));
        const std::uint8_t* name = r.data() + d.FieldOffset(1);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(name + 1), name[0]), "N" + std::to_string(n));
    }
    EXPECT_EQ(n, 12);
    s.engine.CursorClose(c);
}

TEST_F(RebuildTest, RestructureRefusalsStartNothing) {
    s.Build("People", 5);
    const auto before = s.Rows("People");
    TqvDataDictionary nd = PeopleDict();
    nd.AddField("Extra", "", qvftInt32, 10, 0, false);
    TqvDataDictionary withUser = PeopleDict();
    withUser.AddUserIndex("Custom", "", 0, 8, true, true, false);
    struct Case {
        const TqvDataDictionary* dict;
        std::vector<std::string> map;
        DBIResult expect;
    } cases[] = {
        {&nd, {"Id", "Nope=Name"}, dbi::kInvalidFieldName},
        {&nd, {"Id", "Name=Nope"}, dbi::kInvalidFieldName},
        {&nd, {"Id", "Extra=Name"}, dbi::kIncompatibleFields},
        {&withUser, {}, dbi::kInvalidRestructure},
    };
    for (const Case& c : cases) {
        std::int32_t id = 5;
        EXPECT_EQ(s.rebuilder.TableRestructure(s.db, "People", *c.dict, c.map, id), c.expect);
        EXPECT_EQ(id, -1);
        EXPECT_TRUE(NoLeftovers());
        EXPECT_EQ(s.Rows("People"), before);
    }
    EXPECT_EQ(s.rebuilder.Statuses().Count(), 0);
    // Nothing of the attempts is left open: the table can be opened exclusively.
    std::uint32_t c = 0;
    EXPECT_EQ(s.engine.OpenTable(s.db, "People", "", 0, true, false, 0, nullptr, c), 0);
    s.engine.CursorClose(c);
}

TEST_F(RebuildTest, ReindexRebuildsAClearedIndexFromTheRecords) {
    s.Build("People", 30);
    AddBehindIndexes("People", 500, "Zed");
    ClearIndexOf("People", 1);
    ASSERT_TRUE(s.Rows("People", "ByName").empty());

    std::int32_t id = -1;
    ASSERT_EQ(s.rebuilder.TableReindex(s.db, "People", "ByName", 0, id), 0);
    std::vector<std::uint8_t> last;
    ASSERT_EQ(s.Wait(id, &last), 0u);
    EXPECT_EQ(GetU32(last.data() + 12), 31u);
    EXPECT_EQ(GetU32(last.data() + 16), 31u);
    const auto byName = s.Rows("People", "ByName");
    ASSERT_EQ(byName.size(), 31u);
    EXPECT_NE(byName.back().find("Name=Zed"), std::string::npos);
    // In name order.
    std::vector<std::string> names;
    for (const auto& row : byName) names.push_back(rbtest::Field(row, "Name"));
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
}

TEST_F(RebuildTest, ReindexWithARefusedKeyReportsItAndKeepsTheOldIndex) {
    s.Build("People", 20);
    // Id 1's slot is freed first, so the clashing record takes it and the
    // walk meets the clash before any other key.
    DeleteEvery("People", 100, 1);
    AddBehindIndexes("People", 7, "dup");  // Id 7 exists: the unique ById index cannot take it
    const auto before = s.Rows("People", "ById");
    ASSERT_EQ(before.size(), 19u);

    std::int32_t id = -1;
    ASSERT_EQ(s.rebuilder.TableReindex(s.db, "People", "ById", 0, id), 0);
    EXPECT_EQ(s.Wait(id), dbi::kKeyViolation);
    EXPECT_EQ(s.Rows("People", "ById"), before);
}

TEST_F(RebuildTest, TableOpenElsewhereStartsNoRebuild) {
    s.Build("People", 3);
    std::uint32_t c = s.Open("People");  // shared
    std::int32_t id = 0;
    EXPECT_EQ(s.rebuilder.TableReindex(s.db, "People", "ByName", 0, id), dbi::kNotExclusive);
    EXPECT_EQ(id, -1);
    EXPECT_EQ(s.rebuilder.TablePack(s.db, "People", id), dbi::kNotExclusive);
    EXPECT_EQ(id, -1);
    s.engine.CursorClose(c);
    EXPECT_EQ(s.rebuilder.TableReindex(s.db, "People", "NoSuch", 0, id), dbi::kIndexMissing);
    EXPECT_EQ(s.rebuilder.TablePack(s.db, "Missing", id), dbi::kTableMissing);
    EXPECT_EQ(s.rebuilder.TablePack(s.db, "../People", id), dbi::kInvalidTableName);
    EXPECT_EQ(s.rebuilder.TablePack(999999, "People", id), dbi::kInvalidHandle);
    EXPECT_EQ(id, -1);
    EXPECT_EQ(s.rebuilder.Statuses().Count(), 0);
    EXPECT_TRUE(NoLeftovers());
}

TEST_F(RebuildTest, TwoPacksInOneFolderUseDistinctCopies) {
    s.Build("People", 10);
    ASSERT_EQ(s.engine.BuildTable(s.db, false, PeopleDict(), 0, "Others"), 0);
    s.Fill("Others", 15);
    const auto people = s.Rows("People"), others = s.Rows("Others");
    std::int32_t a = -1, b = -1;
    {
        // Holding the engine lock keeps both workers waiting at their first step.
        TqvEngineLock g(s.engine);
        ASSERT_EQ(s.rebuilder.TablePack(s.db, "People", a), 0);
        ASSERT_EQ(s.rebuilder.TablePack(s.db, "Others", b), 0);
        EXPECT_TRUE(fs::exists(dir / "_PACK1.QVD"));
        EXPECT_TRUE(fs::exists(dir / "_PACK2.QVD"));
    }
    EXPECT_EQ(s.Wait(a), 0u);
    EXPECT_EQ(s.Wait(b), 0u);
    EXPECT_EQ(s.Rows("People"), people);
    EXPECT_EQ(s.Rows("Others"), others);
    EXPECT_TRUE(FilesLike("_PACK").empty());
}

TEST_F(RebuildTest, RebuildOutlivesTheClientThatStartedIt) {
    s.Build("People", 40);
    DeleteEvery("People", 4);
    const auto before = s.Rows("People");
    std::int32_t id = -1;
    {
        TqvEngineLock g(s.engine);
        ASSERT_EQ(s.rebuilder.TablePack(s.db, "People", id), 0);
        ASSERT_EQ(s.engine.ClientRemove(rbtest::Server::kClient), 0);
        s.rebuilder.ClientRemove(rbtest::Server::kClient);
    }
    s.rebuilder.WaitAll();
    std::uint8_t rec[32], found = 9;
    s.rebuilder.GetRebuildStatus(static_cast<std::uint32_t>(id), found, rec);
    EXPECT_EQ(found, 0);
    // A new client finds the table packed and whole.
    std::uint32_t hash;
    ASSERT_EQ(s.engine.ClientAdd(77, "B", "", hash), 0);
    ASSERT_EQ(s.engine.DatabaseOpenNoAlias(77, s.dir, true, true, s.db), 0);
    EXPECT_EQ(s.Rows("People"), before);
    EXPECT_EQ(s.RecCount("People"), 30u);
    EXPECT_TRUE(NoLeftovers());
    // The rebuild's own objects are gone.
    EXPECT_EQ(s.engine.Clients().Count(), 1);
}

TEST_F(RebuildTest, ShuttingDownStopsAWorkerAndLeavesTheTable) {
    s.Build("People", 50);
    const auto before = s.Rows("People");
    {
        rbtest::Server* srv = &s;
        std::int32_t id = -1;
        TqvSrRebuilder local(srv->engine);
        {
            TqvEngineLock g(srv->engine);
            ASSERT_EQ(local.TablePack(srv->db, "People", id), 0);
        }
        // `local` goes here: its worker stops or finishes, and is joined.
    }
    EXPECT_EQ(s.Rows("People"), before);
    EXPECT_TRUE(NoLeftovers());
}

}  // namespace
