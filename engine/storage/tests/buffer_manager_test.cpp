#include "engine/storage/buffer_manager.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "engine/base/qv_exceptions.h"
#include "engine/storage/file_access.h"
#include "engine/storage/journal.h"
#include "engine/storage/tests/storage_test_util.h"
#include "tests/support/test_support.h"

namespace qv {
namespace {

using testing::OpenFile;
using testing::Words;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;
namespace fs = std::filesystem;

constexpr std::uint32_t N1 = 0xFFFFFFFFu;

// A file of a header and `blocks` data blocks, each filled with `fill`.
void MakeTable(OpenFile& t, int blocks, char fill) {
    t.Create(4096);
    t.Run(2, false, [&] {
        for (int i = 0; i < blocks; ++i) {
            std::uint32_t n;
            std::uint8_t* b = GetNewBlock(t.f.get(), t.Header(true), n);
            std::memcpy(b, "QVDH", 4);
            PutU32(b + 4, N1);
            std::memset(b + 32, fill, 4096 - 32);
        }
    });
}

char Fill(OpenFile& t, std::uint32_t n) { return static_cast<char>(GetBlock(t.f.get(), n, false)[100]); }

void SetFill(OpenFile& t, std::uint32_t n, char fill) {
    std::memset(GetBlock(t.f.get(), n, true) + 32, fill, 4096 - 32);
}

// The page table against an ordered map through random puts, erases and
// look-ups on few files and blocks, so that probe runs collide, wrap round
// the table's end and close up after erases.
TEST(PageTable, MatchesAMapThroughRandomPutsAndErases) {
    TqvPageTable table;
    std::map<std::pair<std::uint32_t, std::uint32_t>, TqvbmRAMPage*> model;
    std::vector<TqvbmRAMPage> pages(64);
    std::uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    for (int step = 0; step < 200000; ++step) {
        const std::uint32_t file = next() % 5, block = next() % 300;
        const std::uint32_t what = next() % 10;
        TqvbmRAMPage* page = &pages[next() % pages.size()];
        if (what < 4) {
            table.Put(file, block, page);
            model[{file, block}] = page;
        } else if (what < 7) {
            table.Erase(file, block);
            model.erase({file, block});
        } else if (what < 8) {
            // Erasing on behalf of another page leaves the entry alone.
            auto it = model.find({file, block});
            table.Erase(file, block, page);
            if (it != model.end() && it->second == page) model.erase(it);
        }
        auto it = model.find({file, block});
        ASSERT_EQ(table.Find(file, block), it == model.end() ? nullptr : it->second) << "step " << step;
        if (step % 5000 == 0) {
            ASSERT_EQ(table.Size(), model.size());
            for (const auto& [k, v] : model) ASSERT_EQ(table.Find(k.first, k.second), v);
            std::size_t seen = 0;
            table.ForEach([&](TqvbmRAMPage*) { ++seen; });
            ASSERT_EQ(seen, model.size());
        }
    }
}

TEST(BufferManager, PagesTouchedInOneOperationAreNotEvicted) {
    testsupport::TempDir dir;
    {
        OpenFile maker((dir / "P.QVD").string());
        MakeTable(maker, 4, 'a');
    }
    OpenFile t((dir / "P.QVD").string());
    t.Open();
    t.bm.SetPageLimit(2);
    t.bm.BeginAccess();
    std::uint8_t* b1 = GetBlock(t.f.get(), 1, false);
    GetBlock(t.f.get(), 2, false);
    GetBlock(t.f.get(), 3, false);
    // Header page + three blocks: the limit is soft inside the window.
    EXPECT_EQ(t.bm.PageCount(), 4u);
    EXPECT_EQ(b1[100], 'a');
    t.bm.EndAccess();
    GetBlock(t.f.get(), 4, false);  // reuses the least recently used clean page (block 1)
    EXPECT_EQ(t.bm.PageCount(), 4u);
    GetBlock(t.f.get(), 2, false);  // still cached: no new page
    EXPECT_EQ(t.bm.PageCount(), 4u);
    GetBlock(t.f.get(), 1, false);  // was evicted: read again into the LRU page (block 3)
    EXPECT_EQ(t.bm.PageCount(), 4u);
    EXPECT_EQ(Fill(t, 1), 'a');
}

TEST(BufferManager, ACommittedPageKeepsItsPlaceInTheEvictionOrder) {
    testsupport::TempDir dir;
    const std::string path = (dir / "L.QVD").string();
    {
        OpenFile maker(path);
        MakeTable(maker, 4, 'a');
    }
    OpenFile t(path);
    t.Open();
    t.bm.SetPageLimit(4);  // the header and three blocks
    t.f->transaction = 5;
    t.bm.StartTransaction(5, false, "");
    SetFill(t, 1, 'z');  // used first, then bound until the commit
    GetBlock(t.f.get(), 2, false);
    GetBlock(t.f.get(), 3, false);
    t.bm.CommitTransaction(5);
    t.f->transaction = 0;
    // Changed behind the cache: a block read again from disk shows 'd'.
    {
        std::fstream out(path, std::ios::in | std::ios::out | std::ios::binary);
        for (int n = 1; n <= 3; ++n) {
            out.seekp(4096 * n + 100);
            out.put('d');
        }
    }
    GetBlock(t.f.get(), 4, false);  // evicts block 1, the least recently used
    EXPECT_EQ(t.bm.PageCount(), 4u);
    EXPECT_EQ(Fill(t, 3), 'a');  // cached
    EXPECT_EQ(Fill(t, 1), 'd');  // read again, in place of block 2
    EXPECT_EQ(Fill(t, 3), 'a');
    EXPECT_EQ(Fill(t, 2), 'd');
    EXPECT_EQ(t.bm.PageCount(), 4u);
}

TEST(BufferManager, BoundPagesSurviveEvictionAndRollbackRestoresDisk) {
    testsupport::TempDir dir;
    OpenFile t((dir / "R.QVD").string());
    MakeTable(t, 6, 'a');
    t.bm.SetPageLimit(2);
    t.f->transaction = 7;
    t.bm.StartTransaction(7, false, "");
    SetFill(t, 1, 'z');
    for (std::uint32_t n = 2; n <= 6; ++n) GetBlock(t.f.get(), n, false);
    EXPECT_EQ(Fill(t, 1), 'z');  // never evicted while bound
    t.bm.StartTransaction(7, false, "");  // an existing number changes nothing
    EXPECT_TRUE(t.bm.HasTransaction(7));
    t.bm.RollbackTransaction(7);
    EXPECT_FALSE(t.bm.HasTransaction(7));
    EXPECT_EQ(Fill(t, 1), 'a');
    EXPECT_EQ(ReadFileBytes((dir / "R.QVD").string())[4096 + 100], 'a');
}

TEST(BufferManager, APageBoundToAnotherTransactionIsAnInternalError) {
    testsupport::TempDir dir;
    OpenFile t((dir / "X.QVD").string());
    MakeTable(t, 2, 'a');
    t.f->transaction = 8;
    t.bm.StartTransaction(8, false, "");
    SetFill(t, 1, 'q');
    t.f->transaction = 9;
    t.bm.StartTransaction(9, false, "");
    try {
        GetBlock(t.f.get(), 1, true);
        FAIL();
    } catch (const EqvServerException& e) {
        EXPECT_EQ(e.ErrorNumber(), 74);
    }
    t.bm.RollbackTransaction(9);
    t.bm.CommitTransaction(8);
    EXPECT_EQ(Fill(t, 1), 'q');
}

// Records every change the layer makes, and a copy of the journal at the
// moment the table file is first written.
class Recorder final : public TqvFileAccess {
public:
    explicit Recorder(const std::string& journal) : journal_(journal) {}
    std::vector<std::string> log;
    std::string journalAtFirstTableWrite;

    int Open(const std::string& n, bool rw, bool sh, bool cr, bool wt, int& e) override {
        int h = os_.Open(n, rw, sh, cr, wt, e);
        if (h >= 0) names_[h] = fs::path(n).filename().string();
        return h;
    }
    bool Close(int h, int& e) override { return os_.Close(h, e); }
    bool Flush(int h, int& e) override {
        log.push_back("sync " + names_[h]);
        return os_.Flush(h, e);
    }
    std::int64_t Size(int h, int& e) override { return os_.Size(h, e); }
    std::int64_t ReadAt(int h, std::uint64_t p, void* b, std::size_t c, int& e) override {
        return os_.ReadAt(h, p, b, c, e);
    }
    std::int64_t WriteAt(int h, std::uint64_t p, const void* b, std::size_t c, int& e) override {
        if (names_[h] == "J.QVD" && journalAtFirstTableWrite.empty()) journalAtFirstTableWrite = ReadFileBytes(journal_);
        log.push_back("write " + names_[h] + " " + std::to_string(p));
        return os_.WriteAt(h, p, b, c, e);
    }
    bool SetEndOfFile(int h, std::uint64_t p, int& e) override { return os_.SetEndOfFile(h, p, e); }
    bool Delete(const std::string& n, int& e) override {
        log.push_back("delete " + fs::path(n).filename().string());
        return os_.Delete(n, e);
    }
    bool Rename(const std::string& a, const std::string& b, int& e) override { return os_.Rename(a, b, e); }

private:
    TqvPosixFileAccess os_;
    std::map<int, std::string> names_;
    std::string journal_;
};

TEST(FailSafe, JournalRecordsAndOrderOfWrites) {
    testsupport::TempDir dir;
    std::string path = (dir / "J.QVD").string();
    OpenFile t(path);
    MakeTable(t, 8, 'a');
    t.Close();
    std::string journal = (dir / "1.QV$").string();
    Recorder rec(journal);
    QvInstallFileAccess(&rec);
    t.Open();
    t.f->transaction = 3;
    t.bm.StartTransaction(3, true, (dir / "1.tmp").string());
    EXPECT_FALSE(fs::exists(journal)) << "made by the first write, not at the start";
    SetFill(t, 7, 'b');
    SetFill(t, 7, 'c');  // second change: no second before-image
    SetFill(t, 6, 'd');
    t.bm.CommitTransaction(3);
    QvInstallFileAccess(nullptr);

    // The table lies beside the journal, so its record names it by file name.
    const std::string name = "J.QVD";
    auto recordHead = [&](std::uint32_t block) {
        // "JFRH", the block, block size 4096, 1 = before-image, the name zero-filled to 260 bytes.
        return "JFRH" + Words({block, 4096, 1}) + name + std::string(260 - name.size(), '\0');
    };
    const std::string& j = rec.journalAtFirstTableWrite;
    ASSERT_EQ(j.size(), 8u + 2 * (276 + 4096));
    EXPECT_EQ(j.substr(0, 8), "JQVH" + Words({0}));  // a rollback journal: recovery undoes
    EXPECT_EQ(j.substr(8, 276), recordHead(7));
    EXPECT_EQ(j.substr(8 + 276 + 32, 10), std::string(10, 'a'));  // before-image of block 7
    std::size_t second = 8 + 276 + 4096;
    EXPECT_EQ(j.substr(second, 276), recordHead(6));
    EXPECT_EQ(j.substr(second + 276 + 32, 10), std::string(10, 'a'));  // before-image of block 6

    // Head and before-images go out in one write and one sync before the
    // table is touched; neighbouring blocks go out in one write; the table
    // is made durable, then the journal's removal commits.
    std::vector<std::string> expected = {
        "write 1.QV$ 0", "sync 1.QV$",      // head and both before-images
        "write J.QVD 24576", "sync J.QVD",  // blocks 6 and 7 at 6 * 4096
        "delete 1.QV$"};
    EXPECT_EQ(rec.log, expected);
    EXPECT_FALSE(fs::exists(journal));
    EXPECT_EQ(Fill(t, 7), 'c');
    EXPECT_EQ(Fill(t, 6), 'd');
    t.Close();
    t.Open();
    EXPECT_EQ(Fill(t, 7), 'c');
    EXPECT_EQ(Fill(t, 6), 'd');
}

// A transaction that reads and changes nothing writes nothing at all: no
// journal is made and nothing is synced.
TEST(FailSafe, ATransactionThatChangesNothingTouchesNoFile) {
    testsupport::TempDir dir;
    std::string path = (dir / "N.QVD").string();
    OpenFile t(path);
    MakeTable(t, 2, 'a');
    t.Close();
    Recorder rec((dir / "1.QV$").string());
    QvInstallFileAccess(&rec);
    t.Open();
    t.f->transaction = 3;
    t.bm.StartTransaction(3, true, (dir / "1.tmp").string());
    EXPECT_EQ(Fill(t, 1), 'a');
    t.bm.CommitTransaction(3);
    QvInstallFileAccess(nullptr);
    EXPECT_EQ(rec.log, std::vector<std::string>{});
    EXPECT_FALSE(fs::exists(dir / "1.QV$"));
}

// A copy of a folder taken while it held a journal recovers on its own: the
// journal's records name the files beside it, not the folder it came from.
TEST(Recovery, ACopiedFolderRecoversWithItsOwnJournal) {
    testsupport::TempDir dir;
    const fs::path original = dir / "original", copy = dir / "copy";
    fs::create_directories(original);
    std::string path = (original / "J.QVD").string();
    OpenFile t(path);
    MakeTable(t, 8, 'a');
    t.Close();
    const std::string before = ReadFileBytes(path);
    Recorder rec((original / "1.QV$").string());
    QvInstallFileAccess(&rec);
    t.Open();
    t.f->transaction = 3;
    t.bm.StartTransaction(3, true, (original / "1.tmp").string());
    SetFill(t, 7, 'c');
    t.bm.CommitTransaction(3);
    QvInstallFileAccess(nullptr);
    t.Close();
    ASSERT_FALSE(rec.journalAtFirstTableWrite.empty());
    const std::string after = ReadFileBytes(path);
    ASSERT_NE(after, before);

    // The copy holds the table as the commit wrote it and the journal it
    // had not removed yet; the original folder is gone, so nothing can be
    // read or written there. Recovery puts the copy's table back.
    fs::create_directories(copy);
    WriteFileBytes(copy / "J.QVD", after);
    WriteFileBytes(copy / "1.QV$", rec.journalAtFirstTableWrite);
    fs::remove_all(original);
    OpenFile c((copy / "J.QVD").string());
    c.Open();
    EXPECT_FALSE(fs::exists(copy / "1.QV$"));
    EXPECT_FALSE(fs::exists(original));
    EXPECT_EQ(Fill(c, 7), 'a');
    EXPECT_EQ(Fill(c, 6), 'a');
    c.Close();
    EXPECT_EQ(ReadFileBytes(copy / "J.QVD"), before);
}

// Progress written part-way: the before-images reach the disk (one sync of
// the journal) before the first overwrite of a table block, and each later
// write of progress syncs the before-images taken since.
TEST(FailSafe, BeforeImagesAreSyncedBeforeProgressOverwritesTheTable) {
    testsupport::TempDir dir;
    std::string path = (dir / "J.QVD").string();
    OpenFile t(path);
    MakeTable(t, 8, 'a');
    t.Close();
    Recorder rec((dir / "1.QV$").string());
    QvInstallFileAccess(&rec);
    t.Open();
    t.f->transaction = 3;
    t.bm.StartTransaction(3, true, (dir / "1.tmp").string());
    SetFill(t, 7, 'b');
    t.bm.FlushTransaction(3);
    SetFill(t, 6, 'c');
    t.bm.FlushTransaction(3);
    t.bm.RollbackTransaction(3);
    QvInstallFileAccess(nullptr);
    std::vector<std::string> expected = {
        "write 1.QV$ 0",                                   // head and before-image of block 7
        "sync 1.QV$", "write J.QVD 28672", "sync J.QVD",   // durable, then block 7
        "write 1.QV$ 4380",                                // before-image of block 6
        "sync 1.QV$", "write J.QVD 24576", "sync J.QVD"};  // durable, then block 6
    ASSERT_GE(rec.log.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(rec.log.begin(), rec.log.begin() + expected.size()), expected);
    EXPECT_EQ(Fill(t, 7), 'a');
    EXPECT_EQ(Fill(t, 6), 'a');
}

// Progress written part-way (FlushTransaction) and then rolled back: the
// table file is byte for byte what it was, length included, whether the file
// is still open at the rollback or was closed in between.
TEST(FailSafe, RollbackAfterFlushedProgressRestoresTheFile) {
    for (bool closeFirst : {false, true}) {
        SCOPED_TRACE(closeFirst ? "file closed before the rollback" : "file open");
        testsupport::TempDir dir;
        std::string path = (dir / "R.QVD").string();
        OpenFile t(path);
        MakeTable(t, 4, 'a');
        t.Close();
        const std::string before = ReadFileBytes(path);
        t.Open();
        t.f->transaction = 5;
        t.bm.StartTransaction(5, true, (dir / "5").string());
        SetFill(t, 1, 'b');
        std::uint32_t added = 0;
        std::memset(GetNewBlock(t.f.get(), t.Header(true), added) + 32, 'n', 4096 - 32);
        ASSERT_EQ(added, 5u);
        t.bm.FlushTransaction(5);
        ASSERT_NE(ReadFileBytes(path), before) << "the flush reached the file";
        SetFill(t, 1, 'c');  // changed again after the flush
        SetFill(t, 2, 'd');
        t.bm.FlushTransaction(5);
        SetFill(t, 3, 'e');  // never flushed
        if (closeFirst) t.Close();
        t.bm.RollbackTransaction(5);
        EXPECT_EQ(ReadFileBytes(path), before);
        EXPECT_FALSE(fs::exists(dir / "5.QV$"));
        if (!closeFirst) {
            // The cache reads the restored blocks, not the flushed ones.
            EXPECT_EQ(Fill(t, 1), 'a');
            EXPECT_EQ(Fill(t, 2), 'a');
            EXPECT_EQ(Fill(t, 3), 'a');
        }
        t.Close();
        t.Open();
        EXPECT_EQ(Fill(t, 1), 'a');
        EXPECT_EQ(ReadFileBytes(path), before);
    }
}

char DiskFill(const std::string& path, std::uint32_t n) { return ReadFileBytes(path)[n * 4096 + 100]; }

// A record names a table beside its journal by file name, so a deep folder
// journals fine; a full path that does not fit its field is refused.
TEST(FailSafe, JournalPathThatDoesNotFitIsRefused) {
    for (bool beside : {true, false}) {
        SCOPED_TRACE(beside ? "journal beside the table" : "journal in another folder");
        testsupport::TempDir dir;
        fs::path deep = dir.path();
        while (deep.string().size() < 270) deep /= std::string(40, 'd');
        fs::create_directories(deep);
        const fs::path journalDir = beside ? deep : dir.path();
        OpenFile t((deep / "L.QVD").string());
        MakeTable(t, 1, 'a');
        t.f->transaction = 4;
        t.bm.StartTransaction(4, true, (journalDir / "4").string());
        if (beside) {
            SetFill(t, 1, 'x');
            t.bm.CommitTransaction(4);
            EXPECT_EQ(DiskFill((deep / "L.QVD").string(), 1), 'x');
        } else {
            try {
                SetFill(t, 1, 'x');
                FAIL();
            } catch (const EqvServerException& e) {
                EXPECT_EQ(e.ErrorNumber(), 73);
            }
            t.bm.RollbackTransaction(4);
            EXPECT_EQ(Fill(t, 1), 'a');
        }
        EXPECT_FALSE(fs::exists(journalDir / "4.QV$"));
    }
}

// ---- recovery ----------------------------------------------------------------------------

std::string Image(char fill) {
    std::string b(4096, fill);
    std::memcpy(b.data(), "QVDH", 4);
    PutU32(b.data() + 4, N1);
    PutU32(b.data() + 8, 1);
    return b;
}


struct RecoveryCase {
    const char* what;
    std::uint32_t state;
    bool torn;          // a last record cut short
    bool outside;       // a record names a file in another folder
    char expectedFill;  // of block 1 after opening; 0: opening raises 73
};

TEST(Recovery, LeftoverJournalsAreAppliedOnOpen) {
    const RecoveryCase cases[] = {
        {"complete: roll forward", 1, false, false, 'n'},
        {"incomplete: roll back", 0, false, false, 'o'},
        {"incomplete with a torn record", 0, true, false, 'o'},
        {"complete but torn", 1, true, false, 0},
        {"names a file elsewhere", 1, false, true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::TempDir dir;
        std::string path = (dir / "T.QVD").string();
        {
            OpenFile t(path);
            MakeTable(t, 1, 'o');
        }
        // The table was half-written ('h') when the process died.
        std::string bytes = ReadFileBytes(path);
        std::memset(bytes.data() + 4096 + 32, 'h', 100);
        WriteFileBytes(path, bytes);
        std::string target = c.outside ? (dir / "sub" / "T.QVD").string() : QvJournalFullPath(path);
        std::string j = "JQVH" + Words({c.state});
        j += EncodeJournalRecordHead(1, 4096, true, target) + Image('o');
        j += EncodeJournalRecordHead(1, 4096, false, target) + Image('n');
        if (c.torn) j += EncodeJournalRecordHead(1, 4096, false, target) + Image('x').substr(0, 100);
        WriteFileBytes(dir / "5.QV$", j);

        OpenFile t(path);
        if (c.expectedFill == 0) {
            try {
                t.Open();
                FAIL();
            } catch (const EqvServerException& e) {
                EXPECT_EQ(e.ErrorNumber(), 73);
            }
            EXPECT_TRUE(fs::exists(dir / "5.QV$"));  // kept for a closer look
            continue;
        }
        t.Open();
        EXPECT_FALSE(fs::exists(dir / "5.QV$"));
        EXPECT_EQ(DiskFill(path, 1), c.expectedFill);
        EXPECT_EQ(ReadFileBytes(path)[4096 + 32], c.expectedFill);  // the torn part too
    }
}

TEST(Recovery, MalformedJournalHeads) {
    struct Case {
        const char* what;
        std::string bytes;
        QvRecovery result;  // None: raises 73 and the journal stays
    } cases[] = {
        {"head never completed", "JQV", QvRecovery::RolledBack},
        {"empty", "", QvRecovery::RolledBack},
        {"not a journal", "XQVH" + Words({1}), QvRecovery::None},
        {"unknown state", "JQVH" + Words({2}), QvRecovery::None},
        {"no records yet", "JQVH" + Words({0}), QvRecovery::RolledBack},
        {"head never synced", std::string(8, '\0'), QvRecovery::RolledBack},
        {"head never synced, records behind it", std::string(8, '\0') + std::string(276 + 4096, 'x'),
         QvRecovery::RolledBack},
        {"complete with a bad record", "JQVH" + Words({1}) + std::string(276 + 4096, 'x'), QvRecovery::None},
    };
    for (const auto& c : cases) {
        testsupport::TempDir dir;
        WriteFileBytes(dir / "9.QV$", c.bytes);
        std::string j = (dir / "9.QV$").string();
        if (c.result == QvRecovery::None) {
            try {
                QvRecoverJournal(j);
                ADD_FAILURE() << c.what;
            } catch (const EqvServerException& e) {
                EXPECT_EQ(e.ErrorNumber(), 73) << c.what;
            }
            EXPECT_TRUE(fs::exists(j)) << c.what;
        } else {
            EXPECT_EQ(QvRecoverJournal(j), c.result) << c.what;
            EXPECT_FALSE(fs::exists(j)) << c.what;
        }
    }
}

TEST(Recovery, JournalOfARunningTransactionIsLeftAlone) {
    testsupport::TempDir dir;
    OpenFile t((dir / "A.QVD").string());
    MakeTable(t, 1, 'a');
    t.f->transaction = 6;
    t.bm.StartTransaction(6, true, (dir / "6").string());
    SetFill(t, 1, 'b');
    t.bm.FlushTransaction(6);  // progress written: the journal is on disk
    SetFill(t, 1, 'c');
    EXPECT_EQ(QvRecoverJournal((dir / "6.QV$").string()), QvRecovery::InUse);
    OpenFile other((dir / "B.QVD").string());
    other.Create(4096);  // opening another table of the folder recovers nothing
    EXPECT_TRUE(fs::exists(dir / "6.QV$"));
    t.bm.CommitTransaction(6);
    EXPECT_EQ(Fill(t, 1), 'c');
    EXPECT_FALSE(fs::exists(dir / "6.QV$"));
}

// ---- faults during a commit --------------------------------------------------------------

// The transaction under test: every data block moves from version `from` to
// `from`+1, one block is freed and two are added, so the header changes too.
void Transaction(OpenFile& t, const std::string& journal, char from) {
    t.f->transaction = 11;
    t.bm.StartTransaction(11, true, journal);
    for (std::uint32_t n = 1; n <= 6; ++n) SetFill(t, n, static_cast<char>(from + 1));
    FreeBlock(t.f.get(), t.Header(true), 6);
    for (int i = 0; i < 2; ++i) {
        std::uint32_t n;
        std::uint8_t* b = GetNewBlock(t.f.get(), t.Header(true), n);
        std::memcpy(b, "QVDH", 4);
        std::memset(b + 32, from + 1, 4096 - 32);
    }
    t.bm.CommitTransaction(11);
}

// 'a' state: blocks 1-6 hold 'a', 7 blocks. 'b' state: blocks 1-5 and 6, 7
// hold 'b' (6 was freed and reused), 8 blocks, nothing free.
std::string CheckState(const std::string& path) {
    OpenFile t(path);
    t.Open();
    const std::uint8_t* h = t.Header();
    std::uint32_t count = GetU32(h + hdr::kBlockCount), free = GetU32(h + hdr::kFreeCount);
    std::string fills;
    for (std::uint32_t n = 1; n < count; ++n) fills.push_back(Fill(t, n));
    return std::to_string(count) + "/" + std::to_string(free) + "/" + fills;
}

const char* kOld = "7/0/aaaaaa";
const char* kNew = "8/0/bbbbbbb";

TEST(CommitFaults, AFailedWriteLeavesTheOldOrTheNewState) {
    testsupport::TempDir dir;
    std::string path = (dir / "W.QVD").string();
    std::string journal = (dir / "2").string();
    TqvPosixFileAccess os;
    TqvFaultFileAccess faults(os);
    int oldSeen = 0, newSeen = 0;
    for (long k = 1;; ++k) {
        {
            OpenFile t(path);
            MakeTable(t, 6, 'a');
        }
        bool failed = false;
        {
            OpenFile t(path);
            t.Open();
            faults.Reset();
            faults.FailAt(k);
            QvInstallFileAccess(&faults);
            try {
                Transaction(t, journal, 'a');
            } catch (const EqvException&) {
                failed = true;
                t.bm.RollbackTransaction(11);
            }
            QvInstallFileAccess(nullptr);
        }
        EXPECT_FALSE(fs::exists(dir / "2.QV$")) << k;  // the rollback cleaned up
        std::string state = CheckState(path);
        EXPECT_TRUE(state == kOld || state == kNew) << "fault at " << k << ": " << state;
        (state == kOld ? oldSeen : newSeen)++;
        DeleteTableFiles(path);
        if (!failed) break;
        ASSERT_LT(k, 200);
    }
    EXPECT_GT(oldSeen, 0);
    // A failed write before the journal's removal is rolled back; the run
    // that ends the loop failed only that removal, or nothing.
    EXPECT_EQ(newSeen, 1);
}

TEST(CommitFaults, AProcessKilledAnywhereInACommitRecoversToOldOrNew) {
    testsupport::TempDir dir;
    std::string path = (dir / "K.QVD").string();
    std::string journal = (dir / "3").string();
    int oldSeen = 0, newSeen = 0;
    for (long k = 1;; ++k) {
        {
            OpenFile t(path);
            MakeTable(t, 6, 'a');
        }
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            // The child dies at the k-th change it makes (a write is cut in half).
            TqvPosixFileAccess os;
            TqvFaultFileAccess faults(os);
            faults.ExitAt(k);
            QvInstallFileAccess(&faults);
            int code = 0;
            try {
                OpenFile t(path);
                t.Open();
                Transaction(t, journal, 'a');
            } catch (...) {
                code = 3;
            }
            _exit(code);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        int code = WEXITSTATUS(status);
        ASSERT_TRUE(code == 0 || code == 77) << "child failed at " << k;
        std::string state = CheckState(path);  // opening recovers
        EXPECT_TRUE(state == kOld || state == kNew) << "killed at " << k << ": " << state;
        (state == kOld ? oldSeen : newSeen)++;
        EXPECT_FALSE(fs::exists(dir / "3.QV$")) << k;
        DeleteTableFiles(path);
        if (code == 0) break;
        ASSERT_LT(k, 200);
    }
    // The journal's removal commits: a process killed at any step before
    // it recovers the old state, one that finished has the new.
    EXPECT_GT(oldSeen, 1);
    EXPECT_EQ(newSeen, 1);
}

// Ends the process at one chosen step of a commit: the first write to a
// table file (".QVD"), which follows the journal's sync, or the journal's
// removal, which follows the table's sync. Journal deletes can also fail
// instead (EIO) without ending anything.
class StopAt final : public TqvFileAccess {
public:
    enum Step { FirstTableWrite, JournalRemoval, FailJournalDeletes };
    explicit StopAt(Step s) : step_(s) {}
    int deleteFailures = 0;

    int Open(const std::string& n, bool rw, bool sh, bool cr, bool wt, int& e) override {
        int h = os_.Open(n, rw, sh, cr, wt, e);
        if (h >= 0) table_[h] = fs::path(n).extension() == ".QVD";
        return h;
    }
    bool Close(int h, int& e) override { return os_.Close(h, e); }
    bool Flush(int h, int& e) override { return os_.Flush(h, e); }
    std::int64_t Size(int h, int& e) override { return os_.Size(h, e); }
    std::int64_t ReadAt(int h, std::uint64_t p, void* b, std::size_t c, int& e) override {
        return os_.ReadAt(h, p, b, c, e);
    }
    std::int64_t WriteAt(int h, std::uint64_t p, const void* b, std::size_t c, int& e) override {
        if (step_ == FirstTableWrite && table_[h]) ::_exit(77);
        return os_.WriteAt(h, p, b, c, e);
    }
    bool SetEndOfFile(int h, std::uint64_t p, int& e) override { return os_.SetEndOfFile(h, p, e); }
    bool Delete(const std::string& n, int& e) override {
        const bool journal = fs::path(n).extension() == ".QV$";
        if (journal && step_ == JournalRemoval) ::_exit(77);
        if (journal && step_ == FailJournalDeletes) {
            ++deleteFailures;
            e = EIO;
            return false;
        }
        return os_.Delete(n, e);
    }
    bool Rename(const std::string& a, const std::string& b, int& e) override { return os_.Rename(a, b, e); }

private:
    Step step_;
    TqvPosixFileAccess os_;
    std::map<int, bool> table_;
};

// A commit killed once its journal is durable, before the table is written,
// or once the table is written and durable, before the journal goes: the
// journal is on disk and the next open rolls the table back to the old state.
TEST(CommitFaults, AProcessKilledAroundTheTableWritesRecoversTheOldState) {
    for (StopAt::Step step : {StopAt::FirstTableWrite, StopAt::JournalRemoval}) {
        SCOPED_TRACE(step == StopAt::FirstTableWrite ? "before the table write" : "before the journal goes");
        testsupport::TempDir dir;
        std::string path = (dir / "S.QVD").string();
        {
            OpenFile t(path);
            MakeTable(t, 6, 'a');
        }
        const std::string before = ReadFileBytes(path);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            StopAt stop(step);
            QvInstallFileAccess(&stop);
            try {
                OpenFile t(path);
                t.Open();
                Transaction(t, (dir / "4").string(), 'a');
            } catch (...) {
                _exit(3);
            }
            _exit(0);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_EQ(WEXITSTATUS(status), 77);
        ASSERT_TRUE(fs::exists(dir / "4.QV$"));
        if (step == StopAt::FirstTableWrite)
            EXPECT_EQ(ReadFileBytes(path), before);
        else
            EXPECT_NE(ReadFileBytes(path), before);
        EXPECT_EQ(CheckState(path), kOld);  // opening recovers
        EXPECT_FALSE(fs::exists(dir / "4.QV$"));
    }
}

// A journal that cannot be removed gets a zeroed, durable head instead: the
// commit stands, and the next open finds a journal that undoes nothing.
TEST(CommitFaults, AJournalThatCannotBeRemovedIsVoidedAndTheCommitStands) {
    testsupport::TempDir dir;
    std::string path = (dir / "V.QVD").string();
    {
        OpenFile t(path);
        MakeTable(t, 6, 'a');
    }
    StopAt failing(StopAt::FailJournalDeletes);
    {
        OpenFile t(path);
        t.Open();
        QvInstallFileAccess(&failing);
        Transaction(t, (dir / "5").string(), 'a');
        QvInstallFileAccess(nullptr);
    }
    EXPECT_EQ(failing.deleteFailures, 2);  // the removal, and the one after the head was zeroed
    ASSERT_TRUE(fs::exists(dir / "5.QV$"));
    EXPECT_EQ(ReadFileBytes(dir / "5.QV$").substr(0, 8), std::string(8, '\0'));
    EXPECT_EQ(CheckState(path), kNew);
    EXPECT_FALSE(fs::exists(dir / "5.QV$"));
}

// Reads, writes, commits, rollbacks and flushes of fail-safe and ordinary
// transactions in a cache far smaller than the file, against a model of the
// committed bytes: every read shows what the model holds, and the cache's own
// bookkeeping (eviction order, maps, free pages) stays sound after each step.
TEST(BufferManager, AMixOfTransactionsInASmallCacheKeepsContentsAndBookkeeping) {
    testsupport::TempDir dir;
    const std::string path = (dir / "M.QVD").string();
    constexpr std::uint32_t kBlocks = 12;
    OpenFile t(path);
    MakeTable(t, kBlocks, 'a');
    t.bm.SetPageLimit(5);
    ASSERT_TRUE(t.bm.PagesSound());
    std::map<std::uint32_t, char> committed;
    for (std::uint32_t n = 1; n <= kBlocks; ++n) committed[n] = 'a';
    std::mt19937 random(61);
    auto pick = [&](std::uint32_t lo, std::uint32_t hi) {
        return std::uniform_int_distribution<std::uint32_t>(lo, hi)(random);
    };
    for (std::uint32_t tr = 10; tr < 130; ++tr) {
        SCOPED_TRACE("transaction " + std::to_string(tr));
        const bool failSafe = tr % 3 == 0;
        t.f->transaction = tr;
        t.bm.StartTransaction(tr, failSafe, (dir / std::to_string(tr)).string());
        std::map<std::uint32_t, char> pending = committed;
        bool flushed = false;
        const std::uint32_t steps = pick(1, 12);
        for (std::uint32_t s = 0; s < steps; ++s) {
            const std::uint32_t n = pick(1, kBlocks);
            switch (pick(0, 3)) {
            case 0: {
                const char c = static_cast<char>('b' + pick(0, 20));
                SetFill(t, n, c);
                pending[n] = c;
                break;
            }
            case 3:
                // Progress written early is undone by a rollback only with a journal.
                if (failSafe) {
                    t.bm.FlushTransaction(tr);
                    flushed = true;
                    break;
                }
                [[fallthrough]];
            default:
                ASSERT_EQ(Fill(t, n), pending[n]) << "block " << n;
            }
        }
        if (pick(0, 2) == 0) {
            t.bm.RollbackTransaction(tr);
        } else {
            t.bm.CommitTransaction(tr);
            committed = pending;
        }
        t.f->transaction = 0;
        ASSERT_TRUE(t.bm.PagesSound()) << (flushed ? "after a flush" : "");
        ASSERT_LE(t.bm.PageCount(), 1 + kBlocks);
        for (std::uint32_t n = 1; n <= kBlocks; ++n) ASSERT_EQ(Fill(t, n), committed[n]) << "block " << n;
        ASSERT_TRUE(t.bm.PagesSound());
    }
    t.Close();
    for (std::uint32_t n = 1; n <= kBlocks; ++n) EXPECT_EQ(DiskFill(path, n), committed[n]) << "block " << n;
}

}  // namespace
}  // namespace qv
