// The engine through the entry points against SQLite, on the same 20,000
// rows: an integer key with a unique index, a group number with a second
// index (100 rows a value) and a 40-character title. Phases: the insert
// (shuffled keys, one transaction), then, after closing and opening again,
// point look-ups, a full scan in key order, 1000 short key ranges and
// equality on the second index.
//
// Durability is the same on both sides: our transactions are journaled
// (the default for every transaction the API starts) and SQLite runs a
// rollback journal with synchronous FULL. Each run makes its tables anew;
// the program prints each phase's median over the runs (5 unless told,
// --runs N) and our time over SQLite's. By default the entry points go
// through the program's own transport (the client communications engine,
// which hands a request to its idle in-process server); with --in-process
// they reach a bare command handler: the difference is what that transport
// costs.
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "engine/api/dbi_api.h"
#include "engine/dbi/virt_eng.h"
#include "engine/client/client_session.h"
#include "engine/client/client_table.h"
#include "engine/dbi/in_process_server.h"
#include "engine/client/type_conversion.h"
#include "engine/server/system_tables.h"

using namespace qv;

namespace {

constexpr int kRows = 20000, kPerGroup = 100, kGroups = kRows / kPerGroup;
constexpr int kLookups = 5000, kRanges = 1000, kRangeWidth = 20, kGroupsRead = 50;

struct Workload {
    std::vector<std::int32_t> insertOrder, lookups, rangeStarts, groups;
    Workload() {
        insertOrder.resize(kRows);
        std::iota(insertOrder.begin(), insertOrder.end(), 1);
        std::mt19937 rng(7);
        std::shuffle(insertOrder.begin(), insertOrder.end(), rng);
        for (int i = 0; i < kLookups; ++i) lookups.push_back(1 + static_cast<std::int32_t>(rng() % kRows));
        for (int i = 0; i < kRanges; ++i)
            rangeStarts.push_back(1 + static_cast<std::int32_t>(rng() % (kRows - kRangeWidth)));
        for (int i = 0; i < kGroupsRead; ++i) groups.push_back(static_cast<std::int32_t>(rng() % kGroups));
    }
};
const Workload& W() {
    static Workload w;
    return w;
}

std::int32_t GroupOf(std::int32_t k) { return k % kGroups; }
std::string Title(std::int32_t k) {
    std::string s(40, 'a');
    for (int i = 0; i < 40; ++i) s[i] = static_cast<char>('a' + (k * 7 + i) % 26);
    return s;
}

std::filesystem::path Folder(const std::string& name) {
    auto p = std::filesystem::temp_directory_path() / ("tavrin_api_bench_" + std::to_string(::getpid())) / name;
    std::filesystem::remove_all(p);
    std::filesystem::create_directories(p);
    return p;
}

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "bench_engine_api: %s\n", what);
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

// ---- through the entry points ----

template <class T>
std::vector<std::uint8_t> Bytes(const T& value, int size) {
    std::vector<std::uint8_t> b(size, 0);
    value.Write(b.data());
    return b;
}

struct Api : Side {
    std::string dir;
    hDBIDb db = kNilHandle;
    hDBICur byId = kNilHandle, byGroup = kNilHandle;
    std::vector<std::uint8_t> rec, lo, hi;

    void Start() {
        SetSystemTableDirectory(Folder("sys").string());
        if (DbiInit(nullptr) != 0) Fail("init");
        if (DbiOpenDatabase(dir.c_str(), nullptr, 0, 0, nullptr, 0, nullptr, nullptr, db) != 0) Fail("database");
    }
    hDBICur Open(const char* index) {
        hDBICur c = kNilHandle;
        if (DbiOpenTable(db, "Pages", nullptr, index, nullptr, 0, 0, 0, 0, false, nullptr, c) != 0) Fail("open");
        std::vector<std::uint8_t> props(CURProps::kSize);
        DbiGetCursorProps(c, props.data());
        const std::uint32_t size = CURProps::Read(props.data()).recordBufferSize;
        rec.assign(size, 0), lo.assign(size, 0), hi.assign(size, 0);
        return c;
    }
    void Create() override {
        dir = Folder("api").string() + "/";
        Start();
        FLDDesc id, group, title;
        id.fieldNumber = 1, id.name = "Id", id.fieldType = fldINT32;
        group.fieldNumber = 2, group.name = "Grp", group.fieldType = fldINT32;
        title.fieldNumber = 3, title.name = "Title", title.fieldType = fldZSTRING, title.units1 = 40;
        std::vector<std::uint8_t> fields;
        for (const FLDDesc& f : {id, group, title}) {
            auto b = Bytes(f, FLDDesc::kSize);
            fields.insert(fields.end(), b.begin(), b.end());
        }
        IDXDesc x, g;
        x.name = "IdIdx", x.keyFieldCount = 1, x.keyFields[0] = 1, x.unique = 1;
        g.name = "GrpIdx", g.keyFieldCount = 1, g.keyFields[0] = 2, g.unique = 0;
        std::vector<std::uint8_t> indexes = Bytes(x, IDXDesc::kSize), gb = Bytes(g, IDXDesc::kSize);
        indexes.insert(indexes.end(), gb.begin(), gb.end());
        CRTblDesc td;
        td.tableName = "Pages", td.fieldCount = 3, td.fieldDescs = fields.data(), td.indexCount = 2,
        td.indexDescs = indexes.data();
        if (DbiCreateTable(db, true, td) != 0) Fail("create");
        byId = Open("IdIdx");
    }
    void Insert() override {
        std::uint32_t tran = 0;
        if (DbiBeginTran(db, 0, tran) != 0) Fail("begin");
        for (std::int32_t k : W().insertOrder) {
            const std::int32_t grp = GroupOf(k);
            DbiInitRecord(byId, rec.data());
            DbiPutField(byId, 1, rec.data(), &k);
            DbiPutField(byId, 2, rec.data(), &grp);
            DbiPutField(byId, 3, rec.data(), Title(k).c_str());
            if (DbiInsertRecord(byId, 0, rec.data()) != 0) Fail("insert");
        }
        if (DbiEndTran(db, tran, 0) != 0) Fail("commit");
    }
    void Reopen() override {
        Close();
        Start();
        byId = Open("IdIdx");
        byGroup = Open("GrpIdx");
    }
    std::int64_t Row(hDBICur c) {
        std::int32_t k = 0, grp = 0;
        char title[48];
        DbiGetField(c, 1, rec.data(), &k, nullptr);
        DbiGetField(c, 2, rec.data(), &grp, nullptr);
        DbiGetField(c, 3, rec.data(), title, nullptr);
        return k + grp + title[0];
    }
    std::int64_t Lookups() override {
        std::int64_t sum = 0;
        for (std::int32_t k : W().lookups) {
            DbiInitRecord(byId, lo.data());
            DbiPutField(byId, 1, lo.data(), &k);
            if (DbiGetRecordForKey(byId, false, 1, 0, lo.data(), rec.data()) != 0) Fail("look-up");
            sum += Row(byId);
        }
        return sum;
    }
    // Rows from the cursor's place to the end (of its range).
    std::int64_t Walk(hDBICur c, int expected) {
        std::int64_t sum = 0;
        int n = 0;
        while (DbiGetNextRecord(c, 0, rec.data(), nullptr) == 0) sum += Row(c), ++n;
        if (n != expected) Fail("row count");
        return sum;
    }
    std::int64_t Scan() override {
        DbiSetToBegin(byId);
        return Walk(byId, kRows);
    }
    std::int64_t Range(hDBICur c, std::uint16_t field, std::int32_t from, std::int32_t to, int expected) {
        DbiInitRecord(c, lo.data());
        DbiInitRecord(c, hi.data());
        DbiPutField(c, field, lo.data(), &from);
        DbiPutField(c, field, hi.data(), &to);
        if (DbiSetRange(c, false, 1, 0, lo.data(), true, 1, 0, hi.data(), true) != 0) Fail("range");
        DbiSetToBegin(c);
        return Walk(c, expected);
    }
    std::int64_t Ranges() override {
        std::int64_t sum = 0;
        for (std::int32_t from : W().rangeStarts) sum += Range(byId, 1, from, from + kRangeWidth - 1, kRangeWidth);
        DbiResetRange(byId);
        return sum;
    }
    std::int64_t Secondary() override {
        std::int64_t sum = 0;
        for (std::int32_t g : W().groups) sum += Range(byGroup, 2, g, g, kPerGroup);
        DbiResetRange(byGroup);
        return sum;
    }
    void Close() override {
        if (byId != kNilHandle) DbiCloseCursor(byId);
        if (byGroup != kNilHandle) DbiCloseCursor(byGroup);
        byId = byGroup = kNilHandle;
        DbiExit();
    }
};

// ---- SQLite ----

struct Sql : Side {
    sqlite3* db = nullptr;
    std::string file;
    void Exec(const char* sql) {
        if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) Fail(sql);
    }
    sqlite3_stmt* Prepare(const char* sql) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) != SQLITE_OK) Fail(sql);
        return s;
    }
    void Start() {
        if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) Fail("sqlite open");
        Exec("PRAGMA journal_mode=DELETE");
        Exec("PRAGMA synchronous=FULL");
    }
    void Create() override {
        file = (Folder("sqlite") / "bench.db").string();
        Start();
        Exec("CREATE TABLE Pages(Id INTEGER NOT NULL, Grp INTEGER NOT NULL, Title TEXT)");
        Exec("CREATE UNIQUE INDEX IdIdx ON Pages(Id)");
        Exec("CREATE INDEX GrpIdx ON Pages(Grp)");
    }
    void Insert() override {
        Exec("BEGIN");
        sqlite3_stmt* st = Prepare("INSERT INTO Pages VALUES(?, ?, ?)");
        for (std::int32_t k : W().insertOrder) {
            std::string t = Title(k);
            sqlite3_bind_int(st, 1, k);
            sqlite3_bind_int(st, 2, GroupOf(k));
            sqlite3_bind_text(st, 3, t.c_str(), -1, SQLITE_TRANSIENT);
            if (sqlite3_step(st) != SQLITE_DONE) Fail("sqlite insert");
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
        Exec("COMMIT");
    }
    void Reopen() override {
        Close();
        Start();
    }
    static std::int64_t Row(sqlite3_stmt* st) {
        return sqlite3_column_int(st, 0) + sqlite3_column_int(st, 1) + sqlite3_column_text(st, 2)[0];
    }
    std::int64_t Query(sqlite3_stmt* st, int expected) {
        std::int64_t sum = 0;
        int n = 0;
        while (sqlite3_step(st) == SQLITE_ROW) sum += Row(st), ++n;
        sqlite3_reset(st);
        if (n != expected) Fail("sqlite row count");
        return sum;
    }
    std::int64_t Lookups() override {
        sqlite3_stmt* st = Prepare("SELECT Id, Grp, Title FROM Pages WHERE Id = ?");
        std::int64_t sum = 0;
        for (std::int32_t k : W().lookups) {
            sqlite3_bind_int(st, 1, k);
            sum += Query(st, 1);
        }
        sqlite3_finalize(st);
        return sum;
    }
    std::int64_t Scan() override {
        sqlite3_stmt* st = Prepare("SELECT Id, Grp, Title FROM Pages ORDER BY Id");
        std::int64_t sum = Query(st, kRows);
        sqlite3_finalize(st);
        return sum;
    }
    std::int64_t Ranges() override {
        sqlite3_stmt* st = Prepare("SELECT Id, Grp, Title FROM Pages WHERE Id BETWEEN ? AND ? ORDER BY Id");
        std::int64_t sum = 0;
        for (std::int32_t from : W().rangeStarts) {
            sqlite3_bind_int(st, 1, from);
            sqlite3_bind_int(st, 2, from + kRangeWidth - 1);
            sum += Query(st, kRangeWidth);
        }
        sqlite3_finalize(st);
        return sum;
    }
    std::int64_t Secondary() override {
        sqlite3_stmt* st = Prepare("SELECT Id, Grp, Title FROM Pages WHERE Grp = ?");
        std::int64_t sum = 0;
        for (std::int32_t g : W().groups) {
            sqlite3_bind_int(st, 1, g);
            sum += Query(st, kPerGroup);
        }
        sqlite3_finalize(st);
        return sum;
    }
    void BeginRead() override { Exec("BEGIN"); }
    void EndRead() override { Exec("COMMIT"); }
    void Close() override {
        if (db) sqlite3_close(db);
        db = nullptr;
    }
};

const char* const kPhases[] = {"insert", "lookup", "scan", "ranges", "secondary"};

// One run of every phase; milliseconds by phase.
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
    bool inProcess = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) runs = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--in-process") == 0) inProcess = true;
    }
    if (inProcess) InstallInProcessTransport();
    Api api;
    Sql sql;
    std::map<std::string, std::vector<double>> ours, theirs;
    for (int r = 0; r < runs; ++r) {
        std::int64_t a = 0, b = 0;
        for (auto& [phase, ms] : Run(api, a)) ours[phase].push_back(ms);
        for (auto& [phase, ms] : Run(sql, b)) theirs[phase].push_back(ms);
        if (a != b) Fail("the two sides read different rows");
    }
    std::printf("%d rows, median of %d runs (ms)%s\n%-10s %10s %10s %8s\n", kRows, runs,
                inProcess ? ", in-process transport" : "", "phase", "api", "sqlite", "ratio");
    for (const char* phase : kPhases) {
        const double o = Median(ours[phase]), t = Median(theirs[phase]);
        std::printf("%-10s %10.1f %10.1f %8.2f\n", phase, o, t, o / t);
    }
    std::filesystem::remove_all(std::filesystem::temp_directory_path() /
                                ("tavrin_api_bench_" + std::to_string(::getpid())));
    return 0;
}
