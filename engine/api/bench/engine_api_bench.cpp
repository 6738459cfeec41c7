// 20,000 rows (an integer key, a 40-character title, one unique index on
// the key) inserted in one transaction and read back in key order, three
// ways in one run:
//   api     through the entry points, with the in-process server reached
//           through the client communications engine (packets, queue,
//           window messages), as the program runs;
//   direct  through the entry points, each request handed straight to the
//           server's command handler (no packets);
//   server  straight on a server engine, no client and no requests;
//   sqlite  SQLite's prepared statements.
// After the runs the program prints each over sqlite per phase: api minus
// direct is the packet protocol's share, direct minus server the client
// layer's and the request building's (one payload and one record copy each
// way per call), server minus sqlite the storage's.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "engine/api/dbi_api.h"
#include "engine/api/in_process_server.h"
#include "engine/server/system_tables.h"
#include "engine/client/type_conversion.h"
#include "engine/server/server_engine.h"
#include "platform/core/streams.h"

using namespace qv;

namespace {

constexpr int kRows = 20000;

std::vector<std::int32_t> InsertOrder() {
    std::vector<std::int32_t> v(kRows);
    std::iota(v.begin(), v.end(), 1);
    std::mt19937 rng(7);
    std::shuffle(v.begin(), v.end(), rng);
    return v;
}

std::string Title(std::int32_t k) {
    std::string s(40, 'a');
    for (int i = 0; i < 40; ++i) s[i] = static_cast<char>('a' + (k * 7 + i) % 26);
    return s;
}

std::filesystem::path Folder(const char* name) {
    auto p = std::filesystem::temp_directory_path() / ("tavrin_api_bench_" + std::to_string(::getpid())) / name;
    std::filesystem::remove_all(p);
    std::filesystem::create_directories(p);
    return p;
}

std::vector<std::uint8_t> Bytes(const auto& write, int size) {
    std::vector<std::uint8_t> b(size, 0);
    write.Write(b.data());
    return b;
}

// ---- through the entry points ----

struct Api {
    hDBIDb db = kNilHandle;
    hDBICur cur = kNilHandle;
    std::uint32_t recSize = 0;

    void Open(const char* table) {
        SetSystemTableDirectory(Folder("sys").string());
        if (DbiInit(nullptr) != 0) std::abort();
        std::string dir = Folder(table).string() + "/";
        DbiOpenDatabase(dir.c_str(), nullptr, 0, 0, nullptr, 0, nullptr, nullptr, db);
        FLDDesc id, title;
        id.fieldNumber = 1, id.name = "Id", id.fieldType = fldINT32;
        title.fieldNumber = 2, title.name = "Title", title.fieldType = fldZSTRING, title.units1 = 40;
        std::vector<std::uint8_t> fields = Bytes(id, FLDDesc::kSize), t = Bytes(title, FLDDesc::kSize);
        fields.insert(fields.end(), t.begin(), t.end());
        IDXDesc x;
        x.name = "IdIdx", x.keyFieldCount = 1, x.keyFields[0] = 1, x.unique = 1;
        std::vector<std::uint8_t> index = Bytes(x, IDXDesc::kSize);
        CRTblDesc td;
        td.tableName = table, td.fieldCount = 2, td.fieldDescs = fields.data(), td.indexCount = 1,
        td.indexDescs = index.data();
        if (DbiCreateTable(db, true, td) != 0) std::abort();
        if (DbiOpenTable(db, table, nullptr, nullptr, nullptr, 0, 0, 0, 0, false, nullptr, cur) != 0) std::abort();
        std::vector<std::uint8_t> props(CURProps::kSize);
        DbiGetCursorProps(cur, props.data());
        recSize = CURProps::Read(props.data()).recordBufferSize;
    }
};

Api g_api;

void ApiInsert(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<std::uint8_t> rec(g_api.recSize);
        std::uint32_t tran = 0;
        DbiBeginTran(g_api.db, 0, tran);
        for (std::int32_t k : InsertOrder()) {
            DbiInitRecord(g_api.cur, rec.data());
            DbiPutField(g_api.cur, 1, rec.data(), &k);
            DbiPutField(g_api.cur, 2, rec.data(), Title(k).c_str());
            if (DbiInsertRecord(g_api.cur, 0, rec.data()) != 0) state.SkipWithError("insert");
        }
        DbiEndTran(g_api.db, tran, 0);
    }
}

void ApiScan(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<std::uint8_t> rec(g_api.recSize);
        DbiSetToBegin(g_api.cur);
        std::int64_t sum = 0;
        int n = 0;
        char title[48];
        while (DbiGetNextRecord(g_api.cur, 0, rec.data(), nullptr) == 0) {
            std::int32_t k = 0;
            DbiGetField(g_api.cur, 1, rec.data(), &k, nullptr);
            DbiGetField(g_api.cur, 2, rec.data(), title, nullptr);
            sum += k + title[0];
            ++n;
        }
        if (n != kRows) state.SkipWithError("scan count");
        benchmark::DoNotOptimize(sum);
    }
}

// ---- straight on a server engine ----

struct Direct {
    std::unique_ptr<TqvServerEngine> engine;
    std::uint32_t db = 0, cursor = 0;
    TqvDataDictionary dict;

    // The table is made through the API (same layout) and then opened by a
    // server engine of its own.
    void Open() {
        Api maker;
        maker.Open("Direct");
        DbiExit();
        engine = std::make_unique<TqvServerEngine>();
        std::uint32_t hash = 0;
        engine->ClientAdd(1, "bench", "", hash);
        std::string dir = (std::filesystem::temp_directory_path() /
                           ("tavrin_api_bench_" + std::to_string(::getpid())) / "Direct")
                              .string() + "/";
        engine->DatabaseOpenNoAlias(1, dir, true, true, db);
        plat::MemoryStream s;
        if (engine->OpenTable(db, "Direct", "", 0, true, true, 0, &s, cursor) != 0) std::abort();
        s.SetPosition(4);
        dict.ReadFromStream(s);
    }
};

Direct g_direct;

void DirectInsert(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<std::uint8_t> rec(g_direct.dict.GetRecordLength());
        std::uint32_t tran = 0;
        g_direct.engine->TransactionStart(g_direct.db, false, tran);
        const TqvFieldDescriptor& f0 = g_direct.dict.Field(0);
        const TqvFieldDescriptor& f1 = g_direct.dict.Field(1);
        for (std::int32_t k : InsertOrder()) {
            g_direct.dict.InitRecord(rec.data());
            FieldValueFromApi(f0.type, rec.data() + f0.offset, f0.length, &k, 4);
            std::string t = Title(k);
            FieldValueFromApi(f1.type, rec.data() + f1.offset, f1.length, t.c_str(), t.size() + 1);
            // Not-null flags for both fields.
            rec[g_direct.dict.DataLength()] = 0;
            if (g_direct.engine->RecordInsert(g_direct.cursor, false, rec.data(), rec.size()) != 0)
                state.SkipWithError("insert");
        }
        g_direct.engine->TransactionCommit(tran);
    }
}

void DirectScan(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<std::uint8_t> rec(g_direct.dict.GetRecordLength());
        g_direct.engine->SetToBegin(g_direct.cursor);
        int n = 0;
        std::int64_t sum = 0;
        while (g_direct.engine->RecordGetNext(g_direct.cursor, false, rec.data(), rec.size()) == 0) {
            sum += rec[0];
            ++n;
        }
        if (n != kRows) state.SkipWithError("scan count");
        benchmark::DoNotOptimize(sum);
    }
}

// ---- SQLite ----

sqlite3* g_sql = nullptr;

void SqlOpen() {
    std::string file = (Folder("sqlite") / "bench.db").string();
    sqlite3_open(file.c_str(), &g_sql);
    sqlite3_exec(g_sql, "CREATE TABLE Pages(Id INTEGER NOT NULL, Title TEXT); CREATE UNIQUE INDEX IdIdx ON Pages(Id);",
                 nullptr, nullptr, nullptr);
}

void SqlInsert(benchmark::State& state) {
    for (auto _ : state) {
        sqlite3_exec(g_sql, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(g_sql, "INSERT INTO Pages VALUES(?, ?)", -1, &st, nullptr);
        for (std::int32_t k : InsertOrder()) {
            std::string t = Title(k);
            sqlite3_bind_int(st, 1, k);
            sqlite3_bind_text(st, 2, t.c_str(), -1, SQLITE_TRANSIENT);
            if (sqlite3_step(st) != SQLITE_DONE) state.SkipWithError("insert");
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
        sqlite3_exec(g_sql, "COMMIT", nullptr, nullptr, nullptr);
    }
}

void SqlScan(benchmark::State& state) {
    for (auto _ : state) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(g_sql, "SELECT Id, Title FROM Pages ORDER BY Id", -1, &st, nullptr);
        int n = 0;
        std::int64_t sum = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            sum += sqlite3_column_int(st, 0) + sqlite3_column_text(st, 1)[0];
            ++n;
        }
        sqlite3_finalize(st);
        if (n != kRows) state.SkipWithError("scan count");
        benchmark::DoNotOptimize(sum);
    }
}

class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> ms;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            const std::string name = r.benchmark_name();
            ms[name.substr(0, name.find("/iterations"))] = r.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv) {
    auto reg = [](const char* name, void (*body)(benchmark::State&)) {
        benchmark::RegisterBenchmark(name, body)->Iterations(1)->Unit(benchmark::kMillisecond);
    };
    reg("api/insert", [](benchmark::State& s) {
        g_api.Open("Pages");
        ApiInsert(s);
    });
    reg("api/scan", ApiScan);
    reg("direct/insert", [](benchmark::State& s) {
        DbiExit();
        g_api = Api{};
        InstallInProcessTransport();
        g_api.Open("Pages2");
        ApiInsert(s);
    });
    reg("direct/scan", ApiScan);
    reg("server/insert", [](benchmark::State& s) {
        DbiExit();
        g_direct.Open();
        DirectInsert(s);
    });
    reg("server/scan", DirectScan);
    reg("sqlite/insert", [](benchmark::State& s) {
        g_direct.engine.reset();
        SqlOpen();
        SqlInsert(s);
    });
    reg("sqlite/scan", SqlScan);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char* phase : {"insert", "scan"}) {
        auto get = [&](const char* side) {
            auto it = reporter.ms.find(std::string(side) + "/" + phase);
            return it == reporter.ms.end() ? 0.0 : it->second;
        };
        const double a = get("api"), d = get("direct"), v = get("server"), q = get("sqlite");
        if (a <= 0 || q <= 0) continue;
        std::printf("%-7s api/sqlite = %.2f  direct/sqlite = %.2f  server/sqlite = %.2f\n", phase, a / q, d / q,
                    v / q);
        std::printf("%-7s of api: packets %.0f%%, client and requests %.0f%%, storage %.0f%%\n", phase,
                    100.0 * (a - d) / a, 100.0 * (d - v) / a, 100.0 * v / a);
    }
    sqlite3_close(g_sql);
    std::filesystem::remove_all(std::filesystem::temp_directory_path() /
                                ("tavrin_api_bench_" + std::to_string(::getpid())));
    return 0;
}
