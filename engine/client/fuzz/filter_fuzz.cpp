// Arbitrary filter expression trees evaluated against records of a small
// table: full rows, a row of nulls and a row of extreme values. The tree's
// declared size is set to the input's size, since the API copies as many
// bytes as the header declares; everything within is untrusted.
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "engine/client/filter.h"
#include "engine/client/tests/row_table.h"

namespace {

qv::testing::RowTable& Table() {
    static qv::testing::RowTable* table = [] {
        qv::TqvDataDictionary d;
        d.AddField("Name", "", qv::qvftNullString, 20, 0, false);
        d.AddField("Count", "", qv::qvftInt32, 10, 0, false);
        d.AddField("Small", "", qv::qvftInt16, 5, 0, false);
        d.AddField("Flag", "", qv::qvftBoolean, 1, 0, false);
        d.AddField("Price", "", qv::qvftDouble, 8, 0, false);
        d.AddField("UCount", "", qv::qvftWord16, 5, 0, false);
        d.AddField("Day", "", qv::qvftDate, 8, 0, false);
        d.AddField("Memo", "", qv::qvftNullString, 400, 0, false);
        auto* t = new qv::testing::RowTable(d);
        auto full = t->NewRecord();
        t->SetText(full, 1, "Apple");
        t->SetInt32(full, 2, 10);
        std::int16_t s = -1;
        t->SetField(full, 3, &s, 2);
        double p = 2.5;
        t->SetField(full, 5, &p, 8);
        t->SetText(full, 8, std::string(399, 'm'));
        t->rows.push_back(full);
        t->rows.push_back(t->NewRecord());
        auto extreme = t->NewRecord();
        t->SetText(extreme, 1, std::string(20, '\xFF'));
        t->SetInt32(extreme, 2, std::numeric_limits<std::int32_t>::min());
        double big = 1e308;
        t->SetField(extreme, 5, &big, 8);
        t->rows.push_back(extreme);
        t->Open();
        return t;
    }();
    return *table;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < qv::kFilterHeaderSize || size > 65535) return 0;
    std::vector<std::uint8_t> tree(data, data + size);
    tree[2] = static_cast<std::uint8_t>(size);
    tree[3] = static_cast<std::uint8_t>(size >> 8);
    qv::testing::RowTable& t = Table();
    qv::TFilterListItem* f = nullptr;
    t.AddFilter(0, 0, false, tree.data(), nullptr, f);
    t.ActivateFilter(f);
    // Through the cursor's filter step, both ways.
    std::vector<std::uint8_t> rec(t.RecordSize());
    t.SetToBegin();
    while (t.GetNextRecord(0, rec.data(), nullptr) == 0) {
    }
    while (t.GetPriorRecord(0, rec.data(), nullptr) == 0) {
    }
    t.DropFilter(nullptr);
    return 0;
}
