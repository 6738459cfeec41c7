// Records and a B-tree index against SQLite on the same 100,000 rows (an
// integer key, a 100-byte string, one unique index on the key): a bulk
// insert in one transaction, point look-ups by key, a full scan in key
// order. Each side runs once per phase; after the runs the program prints
// our time over SQLite's per phase and the peak resident memory.
//
// Both sides get the same cache: our buffer manager's page limit and
// SQLite's cache_size are set to the same number of bytes, large enough
// that the insert transaction fits (its pages stay bound until commit).
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
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

constexpr int kRows = 100000;
constexpr std::size_t kPageLimit = 4000;  // 16 MB of 4096-byte pages
constexpr std::uint32_t kStringLength = 100;

struct Rows {
    std::vector<std::int32_t> insertOrder, lookupOrder;
    Rows() {
        insertOrder.resize(kRows);
        std::iota(insertOrder.begin(), insertOrder.end(), 1);
        lookupOrder = insertOrder;
        std::mt19937 rng(42);
        std::shuffle(insertOrder.begin(), insertOrder.end(), rng);
        std::shuffle(lookupOrder.begin(), lookupOrder.end(), rng);
    }
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
        auto d = std::filesystem::temp_directory_path() / "tavrin_storage_bench";
        std::filesystem::remove_all(d);
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

// ---- ours -------------------------------------------------------------------------------

struct Ours {
    TqvBufferManager bm;
    TbtdFileInfoPtr f;
    TqvDataDictionary d{4096};
    TqvKeyContext keyContext;
    std::uint32_t tr = 1;
    std::size_t peakPages = 0;

    Ours() {
        bm.SetPageLimit(kPageLimit);
        d.SetTableName("Bench");
        d.AddField("K", "", qvftInt32, 0, 0, true);
        d.AddField("S", "", qvftNullString, kStringLength, 0, true);
        std::uint32_t fields[] = {0};
        d.AddIndex("ByK", "", 0, 1, fields, false, true, false);
        keyContext.keyLength = d.IndexKeyLength(1);
        keyContext.dictionary = &d;
        keyContext.index = 1;
    }
    TqvIndexContext Context() {
        TqvIndexContext c;
        c.file = f.get();
        c.index = 1;
        c.compare = QvCompareKeysProc;
        c.compareContext = &keyContext;
        return c;
    }
    std::vector<std::uint8_t> Record(std::int32_t k) const {
        std::vector<std::uint8_t> rec(d.GetRecordLength());
        Fill(rec, k);
        return rec;
    }
    void Fill(std::vector<std::uint8_t>& rec, std::int32_t k) const {
        d.InitRecord(rec.data());
        std::uint8_t v[4];
        PutU32(v, static_cast<std::uint32_t>(k));
        d.SetRecordField(0, rec.data(), v);
        std::string s = Rows::Text(k);
        std::vector<std::uint8_t> sv(d.FieldLength(1), 0);
        std::memcpy(sv.data(), s.data(), s.size());
        d.SetRecordField(1, rec.data(), sv.data());
    }
    void Create() {
        std::string path = (Folder() / "OURS.QVD").string();
        std::filesystem::remove(path);
        f = NewFileInfo(path, "QVD", 4096);
        f->bufferManager = &bm;
        OpenTableFile(f.get(), true, false, true, false);
        f->transaction = tr;
        bm.StartTransaction(tr, false, "");
        InitHeaderBlock(GetFreshBlock(f.get(), 0), 4096, d.GetRecordLength(), d.IndexCount(), d.FieldCount(), false);
        CreateIndexHeaderBlock(f.get());
        DefineIndex(f.get(), 1, d.IndexKeyLength(1), false, false);
        bm.CommitTransaction(tr);
    }
    void Note() { peakPages = std::max(peakPages, bm.PageCount()); }

    void Insert() {
        f->transaction = ++tr;
        bm.StartTransaction(tr, false, "");
        TqvIndexContext c = Context();
        std::vector<std::uint8_t> key(d.IndexKeyLength(1));
        for (std::int32_t k : TheRows().insertOrder) {
            // One engine operation: the access window around it.
            bm.BeginAccess();
            std::vector<std::uint8_t> rec = Record(k);
            std::uint32_t ref;
            AddRecord(f.get(), ref, rec.data());
            d.BuildKey(1, rec.data(), key.data());
            if (!AddKey(c, key.data(), ref)) std::abort();
            bm.EndAccess();
        }
        bm.CommitTransaction(tr);
        Note();
    }
    std::uint64_t Lookups() {
        TqvIndexContext c = Context();
        std::vector<std::uint8_t> rec(d.GetRecordLength()), key(d.IndexKeyLength(1));
        std::vector<std::uint8_t> probe(d.GetRecordLength());
        std::uint64_t sum = 0;
        for (std::int32_t k : TheRows().lookupOrder) {
            bm.BeginAccess();
            Fill(probe, k);  // the key built from a record buffer, as the engine does
            d.BuildKey(1, probe.data(), key.data());
            TqvCursorPath path;
            std::uint32_t ref = 0;
            if (!FindKey(c, key.data(), ref, 0, path)) std::abort();
            ReadRecord(f.get(), ref, rec.data());
            sum += rec[4];
            bm.EndAccess();
        }
        Note();
        return sum;
    }
    std::uint64_t Scan() {
        TqvIndexContext c = Context();
        std::vector<std::uint8_t> rec(d.GetRecordLength()), key(d.IndexKeyLength(1));
        TqvCursorPath path;
        std::uint32_t ref;
        std::uint64_t sum = 0;
        int n = 0;
        bm.BeginAccess();
        while (NextKey(c, key.data(), ref, path)) {
            ReadRecord(f.get(), ref, rec.data());
            sum += rec[4];
            // A cursor reads a batch of rows per request: the window ends
            // now and then so that the cache can recycle pages.
            if (++n % 64 == 0) {
                bm.EndAccess();
                bm.BeginAccess();
            }
        }
        bm.EndAccess();
        if (n != kRows) std::abort();
        Note();
        return sum;
    }
};

// ---- SQLite -----------------------------------------------------------------------------

struct Peer {
    sqlite3* db = nullptr;
    void Create() {
        std::string path = (Folder() / "peer.db").string();
        std::filesystem::remove(path);
        if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) std::abort();
        Exec(("PRAGMA cache_size=-" + std::to_string(kPageLimit * 4)).c_str());
        Exec("CREATE TABLE t(k INTEGER NOT NULL, s TEXT NOT NULL)");
        Exec("CREATE UNIQUE INDEX tk ON t(k)");
    }
    void Exec(const char* sql) {
        if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) std::abort();
    }
    sqlite3_stmt* Prepare(const char* sql) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) != SQLITE_OK) std::abort();
        return s;
    }
    void Insert() {
        Exec("BEGIN");
        sqlite3_stmt* s = Prepare("INSERT INTO t(k, s) VALUES(?, ?)");
        for (std::int32_t k : TheRows().insertOrder) {
            std::string text = Rows::Text(k);
            sqlite3_bind_int(s, 1, k);
            sqlite3_bind_text(s, 2, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
            if (sqlite3_step(s) != SQLITE_DONE) std::abort();
            sqlite3_reset(s);
        }
        sqlite3_finalize(s);
        Exec("COMMIT");
    }
    std::uint64_t Lookups() {
        Exec("BEGIN");
        sqlite3_stmt* s = Prepare("SELECT k, s FROM t WHERE k = ?");
        std::uint64_t sum = 0;
        for (std::int32_t k : TheRows().lookupOrder) {
            sqlite3_bind_int(s, 1, k);
            if (sqlite3_step(s) != SQLITE_ROW) std::abort();
            sum += static_cast<unsigned char>(reinterpret_cast<const char*>(sqlite3_column_text(s, 1))[0]);
            sqlite3_reset(s);
        }
        sqlite3_finalize(s);
        Exec("COMMIT");
        return sum;
    }
    std::uint64_t Scan() {
        Exec("BEGIN");
        sqlite3_stmt* s = Prepare("SELECT k, s FROM t ORDER BY k");
        std::uint64_t sum = 0;
        int n = 0;
        while (sqlite3_step(s) == SQLITE_ROW) {
            sum += static_cast<unsigned char>(reinterpret_cast<const char*>(sqlite3_column_text(s, 1))[0]);
            ++n;
        }
        sqlite3_finalize(s);
        Exec("COMMIT");
        if (n != kRows) std::abort();
        return sum;
    }
    ~Peer() {
        if (db) sqlite3_close(db);
    }
};

Ours* ours = nullptr;
Peer* peer = nullptr;
long peakAfterOurs = 0;

long PeakResidentKB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// Remembers each benchmark's time per run for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> times;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) times[r.benchmark_name()] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
};

void Register(const char* name, void (*body)(benchmark::State&)) {
    benchmark::RegisterBenchmark(name, body)->Iterations(1)->Unit(benchmark::kMillisecond);
}

}  // namespace

int main(int argc, char** argv) {
    TheRows();
    Ours o;
    Peer p;
    ours = &o;
    peer = &p;
    // Phases run in registration order, all of ours first so that the peak
    // memory after them is ours alone; look-ups and scans use the rows the
    // insert phase stored.
    Register("ours/insert", [](benchmark::State& s) {
        for (auto _ : s) {
            s.PauseTiming();
            ours->Create();
            s.ResumeTiming();
            ours->Insert();
        }
    });
    Register("ours/lookup", [](benchmark::State& s) {
        for (auto _ : s) benchmark::DoNotOptimize(ours->Lookups());
    });
    Register("ours/scan", [](benchmark::State& s) {
        for (auto _ : s) benchmark::DoNotOptimize(ours->Scan());
        peakAfterOurs = PeakResidentKB();
    });
    Register("sqlite/insert", [](benchmark::State& s) {
        for (auto _ : s) {
            s.PauseTiming();
            peer->Create();
            s.ResumeTiming();
            peer->Insert();
        }
    });
    Register("sqlite/lookup", [](benchmark::State& s) {
        for (auto _ : s) benchmark::DoNotOptimize(peer->Lookups());
    });
    Register("sqlite/scan", [](benchmark::State& s) {
        for (auto _ : s) benchmark::DoNotOptimize(peer->Scan());
    });
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char* phase : {"insert", "lookup", "scan"}) {
        auto a = reporter.times.find(std::string("ours/") + phase + "/iterations:1");
        auto b = reporter.times.find(std::string("sqlite/") + phase + "/iterations:1");
        if (a != reporter.times.end() && b != reporter.times.end() && b->second > 0)
            std::printf("%-7s ours/sqlite = %.2f\n", phase, a->second / b->second);
    }
    std::printf("buffer pages: peak %zu, limit %zu (%zu KB of blocks)\n", o.peakPages, kPageLimit, kPageLimit * 4);
    std::printf("peak resident memory: %ld KB after our phases, %ld KB at the end\n", peakAfterOurs,
                PeakResidentKB());
    benchmark::Shutdown();
    return 0;
}
