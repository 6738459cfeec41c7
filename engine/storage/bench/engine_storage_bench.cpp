// Records and B-tree indexes against SQLite on the same 100,000 rows (an
// integer key with a unique index, a group number with a second index, 100
// rows a value, and a 100-byte string). Phases: the insert (shuffled keys,
// one transaction), then, after closing and opening the files again, point
// look-ups, a full scan in key order, 1000 short key ranges and equality on
// the second index.
//
// Durability is the same on both sides: our transaction is journaled and
// SQLite runs a rollback journal with synchronous FULL. Both get the same
// cache: our buffer manager's page limit and SQLite's cache_size are the
// same number of bytes. Each run makes its files anew; the program prints
// each phase's median over the runs (5 unless told, --runs N), our time
// over SQLite's, and the peak resident memory.
#include <sqlite3.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "engine/storage/btree.h"
#include "engine/storage/buffer_manager.h"
#include "engine/storage/dictionary.h"
#include "engine/storage/records.h"
#include "engine/storage/table_file.h"

using namespace qv;

namespace {

constexpr int kRows = 100000, kPerGroup = 100, kGroups = kRows / kPerGroup;
constexpr int kLookups = 20000, kRanges = 1000, kRangeWidth = 20, kGroupsRead = 100;
constexpr std::size_t kPageLimit = 4000;  // 16 MB of 4096-byte pages
constexpr std::uint32_t kStringLength = 100;

struct Rows {
    std::vector<std::int32_t> insertOrder, lookups, rangeStarts, groups;
    Rows() {
        insertOrder.resize(kRows);
        std::iota(insertOrder.begin(), insertOrder.end(), 1);
        std::mt19937 rng(42);
        std::shuffle(insertOrder.begin(), insertOrder.end(), rng);
        for (int i = 0; i < kLookups; ++i) lookups.push_back(1 + static_cast<std::int32_t>(rng() % kRows));
        for (int i = 0; i < kRanges; ++i)
            rangeStarts.push_back(1 + static_cast<std::int32_t>(rng() % (kRows - kRangeWidth)));
        for (int i = 0; i < kGroupsRead; ++i) groups.push_back(static_cast<std::int32_t>(rng() % kGroups));
    }
    static std::int32_t Group(std::int32_t k) { return k % kGroups; }
    static std::string Text(std::int32_t k) {
        std::string s(kStringLength, 'a');
        for (std::uint32_t i = 0; i < kStringLength; ++i) s[i] = static_cast<char>('a' + (k * 7 + i) % 26);
        return s;
    }
};

const Rows& TheRows() {
    static Rows rows;
    return rows;
}

std::filesystem::path Folder() {
    static std::filesystem::path dir = [] {
        auto d = std::filesystem::temp_directory_path() / ("tavrin_storage_bench_" + std::to_string(::getpid()));
        std::filesystem::remove_all(d);
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "bench_engine_storage: %s\n", what);
    std::exit(1);
}

// A side of the comparison: each phase returns a checksum of what it read.
struct Side {
    virtual ~Side() = default;
    virtual void Create() = 0;
    virtual void Insert() = 0;
    virtual void Reopen() = 0;
    virtual std::int64_t Lookups() = 0;
    virtual std::int64_t Scan() = 0;
    virtual std::int64_t Ranges() = 0;
    virtual std::int64_t Secondary() = 0;
    virtual void Close() = 0;
    // Around each read phase: SQLite reads in one transaction, as a program
    // holding a database open would, not locking and checking the file again
    // for every statement.
    virtual void BeginRead() {}
    virtual void EndRead() {}
};

// ---- ours -------------------------------------------------------------------------------

struct Ours : Side {
    std::unique_ptr<TqvBufferManager> bm;
    TbtdFileInfoPtr f;
    TqvDataDictionary d{4096};
    TqvKeyContext keys[3];
    std::uint32_t tr = 1;
    std::size_t peakPages = 0;
    std::string path = (Folder() / "OURS.QVD").string();
    std::string journal = (Folder() / "1.QV$").string();

    Ours() {
        d.SetTableName("Bench");
        d.AddField("K", "", qvftInt32, 0, 0, true);
        d.AddField("G", "", qvftInt32, 0, 0, true);
        d.AddField("S", "", qvftNullString, kStringLength, 0, true);
        std::uint32_t byK[] = {0}, byG[] = {1};
        d.AddIndex("ByK", "", 0, 1, byK, false, true, false);
        d.AddIndex("ByG", "", 0, 1, byG, true, true, false);
        for (std::uint32_t i : {1u, 2u}) {
            keys[i].keyLength = d.IndexKeyLength(i);
            keys[i].dictionary = &d;
            keys[i].index = i;
        }
    }
    TqvIndexContext Context(std::uint32_t index) {
        TqvIndexContext c;
        c.file = f.get();
        c.index = index;
        c.compare = QvKeyCompareProcFor(d, index);  // the routine the server's cursors use
        c.compareContext = &keys[index];
        c.keyLength = d.IndexKeyLength(index);
        return c;
    }
    void Fill(std::vector<std::uint8_t>& rec, std::int32_t k) const {
        d.InitRecord(rec.data());
        std::uint8_t v[4];
        PutU32(v, static_cast<std::uint32_t>(k));
        d.SetRecordField(0, rec.data(), v);
        PutU32(v, static_cast<std::uint32_t>(Rows::Group(k)));
        d.SetRecordField(1, rec.data(), v);
        std::string s = Rows::Text(k);
        std::vector<std::uint8_t> sv(d.FieldLength(2), 0);
        std::memcpy(sv.data(), s.data(), s.size());
        d.SetRecordField(2, rec.data(), sv.data());
    }
    void Open(bool create) {
        bm = std::make_unique<TqvBufferManager>();
        bm->SetPageLimit(kPageLimit);
        f = NewFileInfo(path, "QVD", 4096);
        f->bufferManager = bm.get();
        OpenTableFile(f.get(), true, false, create, false);
    }
    void Create() override {
        std::filesystem::remove(path);
        Open(true);
        f->transaction = ++tr;
        bm->StartTransaction(tr, true, journal);
        InitHeaderBlock(GetFreshBlock(f.get(), 0), 4096, d.GetRecordLength(), d.IndexCount(), d.FieldCount(), false);
        CreateIndexHeaderBlock(f.get());
        DefineIndex(f.get(), 1, d.IndexKeyLength(1), false, false);
        DefineIndex(f.get(), 2, d.IndexKeyLength(2), false, true);
        bm->CommitTransaction(tr);
    }
    void Note() { peakPages = std::max(peakPages, bm->PageCount()); }

    void Insert() override {
        f->transaction = ++tr;
        bm->StartTransaction(tr, true, journal);
        TqvIndexContext c1 = Context(1), c2 = Context(2);
        std::vector<std::uint8_t> rec(d.GetRecordLength()), k1(d.IndexKeyLength(1)), k2(d.IndexKeyLength(2));
        for (std::int32_t k : TheRows().insertOrder) {
            // One engine operation: the access window around it.
            bm->BeginAccess();
            Fill(rec, k);
            std::uint32_t ref;
            AddRecord(f.get(), ref, rec.data());
            d.BuildKey(1, rec.data(), k1.data());
            if (!AddKey(c1, k1.data(), ref)) Fail("duplicate key");
            d.BuildKey(2, rec.data(), k2.data());
            AddKey(c2, k2.data(), ref);
            bm->EndAccess();
        }
        bm->CommitTransaction(tr);
        f->transaction = 0;
        Note();
    }
    void Close() override {
        if (!f) return;
        bm->RemoveFile(f.get());
        CloseTableFile(f.get());
        f.reset();
    }
    void Reopen() override {
        Close();
        Open(false);
    }
    std::int64_t Row(const std::vector<std::uint8_t>& rec) const {
        return static_cast<std::int32_t>(GetU32(rec.data() + d.Field(0).offset)) +
               static_cast<std::int32_t>(GetU32(rec.data() + d.Field(1).offset)) + rec[d.Field(2).offset];
    }
    std::int64_t Lookups() override {
        TqvIndexContext c = Context(1);
        std::vector<std::uint8_t> rec(d.GetRecordLength()), key(d.IndexKeyLength(1)), probe(d.GetRecordLength());
        std::int64_t sum = 0;
        for (std::int32_t k : TheRows().lookups) {
            bm->BeginAccess();
            Fill(probe, k);  // the key built from a record buffer, as the engine does
            d.BuildKey(1, probe.data(), key.data());
            TqvCursorPath path;
            std::uint32_t ref = 0;
            if (!FindKey(c, key.data(), ref, 0, path)) Fail("key missing");
            ReadRecord(f.get(), ref, rec.data());
            sum += Row(rec);
            bm->EndAccess();
        }
        Note();
        return sum;
    }
    // Rows of `index` from the first key not below `from`'s while the key
    // compares at most equal to `to`'s (every row when `from` is null).
    std::int64_t Walk(std::uint32_t index, const std::int32_t* from, std::int32_t to, int expected) {
        TqvIndexContext c = Context(index);
        std::vector<std::uint8_t> rec(d.GetRecordLength()), key(d.IndexKeyLength(index)), last(key.size());
        TqvCursorPath path;
        std::uint32_t ref = 0;
        std::int64_t sum = 0;
        int n = 0;
        bm->BeginAccess();
        bool on;
        if (from != nullptr) {
            Fill(rec, 0);
            std::uint8_t v[4];
            PutU32(v, static_cast<std::uint32_t>(to));
            d.SetRecordField(index - 1, rec.data(), v);
            d.BuildKey(index, rec.data(), last.data());
            PutU32(v, static_cast<std::uint32_t>(*from));
            d.SetRecordField(index - 1, rec.data(), v);
            d.BuildKey(index, rec.data(), key.data());
            FindKey(c, key.data(), ref, 2, path);
            on = CurrentKey(c, key.data(), ref, path);
        } else {
            on = NextKey(c, key.data(), ref, path);
        }
        // A cursor reads a batch of rows per request, as the server does:
        // one forward walk of the index and one record reader per batch,
        // and the window ends between batches so that the cache can recycle
        // pages.
        std::unique_ptr<TqvForwardWalk> walk;
        std::unique_ptr<TqvRecordReader> reader = std::make_unique<TqvRecordReader>(f.get());
        while (on && (from == nullptr || QvCompareKeysProc(key.data(), last.data(), &keys[index]) <= 0)) {
            reader->Read(ref, rec.data());
            sum += Row(rec);
            if (++n % 64 == 0) {
                walk.reset();
                bm->EndAccess();
                bm->BeginAccess();
                reader = std::make_unique<TqvRecordReader>(f.get());
            }
            if (!walk) walk = std::make_unique<TqvForwardWalk>(c);
            on = walk->Next(key.data(), ref, path);
        }
        walk.reset();
        reader.reset();
        bm->EndAccess();
        if (n != expected) Fail("row count");
        return sum;
    }
    std::int64_t Scan() override {
        std::int64_t sum = Walk(1, nullptr, 0, kRows);
        Note();
        return sum;
    }
    std::int64_t Ranges() override {
        std::int64_t sum = 0;
        for (std::int32_t from : TheRows().rangeStarts) sum += Walk(1, &from, from + kRangeWidth - 1, kRangeWidth);
        return sum;
    }
    std::int64_t Secondary() override {
        std::int64_t sum = 0;
        for (std::int32_t g : TheRows().groups) sum += Walk(2, &g, g, kPerGroup);
        Note();
        return sum;
    }
};

// ---- SQLite -----------------------------------------------------------------------------

struct Peer : Side {
    sqlite3* db = nullptr;
    std::string path = (Folder() / "peer.db").string();
    void Start() {
        if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) Fail("sqlite open");
        Exec(("PRAGMA cache_size=-" + std::to_string(kPageLimit * 4)).c_str());
        Exec("PRAGMA journal_mode=DELETE");
        Exec("PRAGMA synchronous=FULL");
    }
    void Create() override {
        std::filesystem::remove(path);
        Start();
        Exec("CREATE TABLE t(k INTEGER NOT NULL, g INTEGER NOT NULL, s TEXT NOT NULL)");
        Exec("CREATE UNIQUE INDEX tk ON t(k)");
        Exec("CREATE INDEX tg ON t(g)");
    }
    void Exec(const char* sql) {
        if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) Fail(sql);
    }
    sqlite3_stmt* Prepare(const char* sql) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) != SQLITE_OK) Fail(sql);
        return s;
    }
    void Insert() override {
        Exec("BEGIN");
        sqlite3_stmt* s = Prepare("INSERT INTO t(k, g, s) VALUES(?, ?, ?)");
        for (std::int32_t k : TheRows().insertOrder) {
            std::string text = Rows::Text(k);
            sqlite3_bind_int(s, 1, k);
            sqlite3_bind_int(s, 2, Rows::Group(k));
            sqlite3_bind_text(s, 3, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
            if (sqlite3_step(s) != SQLITE_DONE) Fail("sqlite insert");
            sqlite3_reset(s);
        }
        sqlite3_finalize(s);
        Exec("COMMIT");
    }
    void Reopen() override {
        Close();
        Start();
    }
    std::int64_t Query(sqlite3_stmt* st, int expected) {
        std::int64_t sum = 0;
        int n = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            sum += sqlite3_column_int(st, 0) + sqlite3_column_int(st, 1) +
                   static_cast<unsigned char>(reinterpret_cast<const char*>(sqlite3_column_text(st, 2))[0]);
            ++n;
        }
        sqlite3_reset(st);
        if (n != expected) Fail("sqlite row count");
        return sum;
    }
    std::int64_t Lookups() override {
        sqlite3_stmt* s = Prepare("SELECT k, g, s FROM t WHERE k = ?");
        std::int64_t sum = 0;
        for (std::int32_t k : TheRows().lookups) {
            sqlite3_bind_int(s, 1, k);
            sum += Query(s, 1);
        }
        sqlite3_finalize(s);
        return sum;
    }
    std::int64_t Scan() override {
        sqlite3_stmt* s = Prepare("SELECT k, g, s FROM t ORDER BY k");
        std::int64_t sum = Query(s, kRows);
        sqlite3_finalize(s);
        return sum;
    }
    std::int64_t Ranges() override {
        sqlite3_stmt* s = Prepare("SELECT k, g, s FROM t WHERE k BETWEEN ? AND ? ORDER BY k");
        std::int64_t sum = 0;
        for (std::int32_t from : TheRows().rangeStarts) {
            sqlite3_bind_int(s, 1, from);
            sqlite3_bind_int(s, 2, from + kRangeWidth - 1);
            sum += Query(s, kRangeWidth);
        }
        sqlite3_finalize(s);
        return sum;
    }
    std::int64_t Secondary() override {
        sqlite3_stmt* s = Prepare("SELECT k, g, s FROM t WHERE g = ?");
        std::int64_t sum = 0;
        for (std::int32_t g : TheRows().groups) {
            sqlite3_bind_int(s, 1, g);
            sum += Query(s, kPerGroup);
        }
        sqlite3_finalize(s);
        return sum;
    }
    void BeginRead() override { Exec("BEGIN"); }
    void EndRead() override { Exec("COMMIT"); }
    void Close() override {
        if (db) sqlite3_close(db);
        db = nullptr;
    }
};

long PeakResidentKB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

const char* const kPhases[] = {"insert", "lookup", "scan", "ranges", "secondary"};

std::map<std::string, double> Run(Side& s, std::int64_t& check) {
    std::map<std::string, double> ms;
    auto time = [&](const char* phase, const std::function<std::int64_t()>& body) {
        auto t0 = std::chrono::steady_clock::now();
        check += body();
        ms[phase] = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    };
    s.Create();
    time("insert", [&] {
        s.Insert();
        return std::int64_t(0);
    });
    s.Reopen();
    auto read = [&](std::int64_t (Side::*phase)()) {
        s.BeginRead();
        std::int64_t sum = (s.*phase)();
        s.EndRead();
        return sum;
    };
    time("lookup", [&] { return read(&Side::Lookups); });
    time("scan", [&] { return read(&Side::Scan); });
    time("ranges", [&] { return read(&Side::Ranges); });
    time("secondary", [&] { return read(&Side::Secondary); });
    s.Close();
    return ms;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));
    TheRows();
    Ours ours;
    Peer peer;
    std::map<std::string, std::vector<double>> a, b;
    long peakAfterOurs = 0;
    for (int r = 0; r < runs; ++r) {
        std::int64_t x = 0, y = 0;
        for (auto& [phase, ms] : Run(ours, x)) a[phase].push_back(ms);
        if (r == 0) peakAfterOurs = PeakResidentKB();
        for (auto& [phase, ms] : Run(peer, y)) b[phase].push_back(ms);
        if (x != y) Fail("the two sides read different rows");
    }
    std::printf("%d rows, median of %d runs (ms)\n%-10s %10s %10s %8s\n", kRows, runs, "phase", "ours", "sqlite",
                "ratio");
    for (const char* phase : kPhases) {
        const double o = Median(a[phase]), t = Median(b[phase]);
        std::printf("%-10s %10.1f %10.1f %8.2f\n", phase, o, t, o / t);
    }
    std::printf("buffer pages: peak %zu, limit %zu (%zu KB of blocks)\n", ours.peakPages, kPageLimit, kPageLimit * 4);
    std::printf("peak resident memory: %ld KB after our first run, %ld KB at the end\n", peakAfterOurs,
                PeakResidentKB());
    std::filesystem::remove_all(Folder());
    return 0;
}
