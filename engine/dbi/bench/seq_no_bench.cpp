// What the sequence-number calls cost a data grid's scroll bar: 200,000
// rows with a unique key index, then random jumps (DbiSetToSeqNo) and the
// number asked back (DbiGetSeqNo), in key order and in record order. The
// first call after a change counts the index pages once; later calls read
// only the pages on the cursor's path. Prints microseconds per call.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <vector>

#include "engine/api/dbi_api.h"
#include "engine/dbi/virt_eng.h"
#include "engine/client/client_session.h"
#include "engine/client/client_table.h"
#include "engine/client/type_conversion.h"
#include "engine/server/system_tables.h"

using namespace qv;

namespace {

constexpr std::int32_t kRows = 200000;
constexpr int kJumps = 2000;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "failed: %s\n", what);
    std::exit(1);
}

double Micros(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

}  // namespace

int main() {
    const auto dir = std::filesystem::temp_directory_path() / ("tavrin_seq_no_bench_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir / "sys");
    SetSystemTableDirectory((dir / "sys").string());
    if (DbiInit(nullptr) != 0) Fail("init");
    hDBIDb db = kNilHandle;
    const std::string folder = dir.string() + "/";
    if (DbiOpenDatabase(folder.c_str(), nullptr, 0, 0, nullptr, 0, nullptr, nullptr, db) != 0) Fail("database");
    FLDDesc id, title;
    id.fieldNumber = 1, id.name = "Id", id.fieldType = fldINT32;
    title.fieldNumber = 2, title.name = "Title", title.fieldType = fldZSTRING, title.units1 = 40;
    std::vector<std::uint8_t> fields(2 * FLDDesc::kSize), index(IDXDesc::kSize);
    id.Write(fields.data());
    title.Write(fields.data() + FLDDesc::kSize);
    IDXDesc x;
    x.name = "IdIdx", x.keyFieldCount = 1, x.keyFields[0] = 1, x.unique = 1;
    x.Write(index.data());
    CRTblDesc td;
    td.tableName = "Rows", td.fieldCount = 2, td.fieldDescs = fields.data(), td.indexCount = 1,
    td.indexDescs = index.data();
    if (DbiCreateTable(db, true, td) != 0) Fail("create");
    hDBICur byId = kNilHandle, natural = kNilHandle;
    if (DbiOpenTable(db, "Rows", nullptr, "IdIdx", nullptr, 0, 0, 0, 0, false, nullptr, byId) != 0) Fail("open");
    if (DbiOpenTable(db, "Rows", nullptr, nullptr, nullptr, 0, 0, 0, 0, false, nullptr, natural) != 0) Fail("open");
    std::vector<std::uint8_t> rec(256, 0);
    std::uint32_t tran = 0;
    if (DbiBeginTran(db, 0, tran) != 0) Fail("begin");
    for (std::int32_t i = 0; i < kRows; ++i) {
        const std::int32_t k = static_cast<std::int32_t>((std::int64_t(i) * 7919) % kRows);
        DbiInitRecord(byId, rec.data());
        DbiPutField(byId, 1, rec.data(), &k);
        DbiPutField(byId, 2, rec.data(), "A title of some forty characters or so");
        if (DbiInsertRecord(byId, 0, rec.data()) != 0) Fail("insert");
    }
    if (DbiEndTran(db, tran, 0) != 0) Fail("commit");
    std::mt19937 rng(7);
    std::printf("%d rows, %d jumps (microseconds per call)\n%-14s %10s %10s %10s\n", kRows, kJumps, "order",
                "first", "set", "get");
    for (auto [name, cur] : {std::pair{"key", byId}, std::pair{"record", natural}}) {
        using clock = std::chrono::steady_clock;
        std::uint32_t seq = 0;
        auto t0 = clock::now();
        if (DbiSetToSeqNo(cur, kRows / 2) != 0 || DbiGetSeqNo(cur, seq) != 0 || seq != kRows / 2) Fail("first");
        const double first = Micros(clock::now() - t0);
        std::vector<std::uint32_t> targets(kJumps);
        for (auto& t : targets) t = 1 + rng() % kRows;
        t0 = clock::now();
        for (std::uint32_t t : targets)
            if (DbiSetToSeqNo(cur, t) != 0) Fail("set");
        const double set = Micros(clock::now() - t0) / kJumps;
        t0 = clock::now();
        for (std::uint32_t t : targets) {
            if (DbiSetToSeqNo(cur, t) != 0 || DbiGetSeqNo(cur, seq) != 0 || seq != t) Fail("get");
        }
        const double both = Micros(clock::now() - t0) / kJumps;
        std::printf("%-14s %10.0f %10.1f %10.1f\n", name, first, set, both - set);
    }
    DbiCloseCursor(byId);
    DbiCloseCursor(natural);
    DbiCloseDatabase(db);
    DbiExit();
    SetSystemTableDirectory("");
    std::filesystem::remove_all(dir);
    return 0;
}
