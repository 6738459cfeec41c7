// Reading a 20 000-row page table through the library's table without a
// filter and through an expression filter that every row passes, in the
// same run: after a warm-up of each, the two reads take turns (which one
// goes first alternates), and the program prints the median of each and
// the filtered median as a ratio of the unfiltered one. Setting the filter
// is outside the timed reads.
//
// Usage: bench_filter [--rounds N]  (15 rounds by default)
#include "data/bench/bench_page_table.h"
#include "platform/core/dialog_service.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using vlbench::kRows;

constexpr const char* kFilter = "HelpId >= 0 AND (TopicPopup <> \"X\")";

void SetFilter(vl::TvlTable& table, const char* filter) {
    plat::StringList lines;
    if (filter[0]) lines.Add(filter);
    table.SetvlFilter(lines);
}

// One read of every row the table shows; its time in milliseconds.
double ReadAll(vl::TvlTable& table) {
    const auto start = std::chrono::steady_clock::now();
    int n = 0;
    std::int64_t sum = 0;
    for (table.First(); !table.Eof(); table.Next()) {
        sum += table.FieldByName("HelpId")->AsInteger();
        ++n;
    }
    const auto end = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(sum);
    if (n != kRows) {
        std::fprintf(stderr, "bench_filter: read %d rows, not %d\n", n, kRows);
        std::exit(1);
    }
    return std::chrono::duration<double, std::milli>(end - start).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = 15;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
            rounds = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: bench_filter [--rounds N]\n");
            return 1;
        }
    }
    if (rounds < 1) rounds = 1;
    gui::ScriptedDialogService boxes;
    gui::ScopedDialogService boxScope(boxes);
    vlbench::PageTable setup;
    setup.Make();
    vl::TvlTable& table = *setup.table;

    // Warm: each way once, untimed.
    SetFilter(table, "");
    ReadAll(table);
    SetFilter(table, kFilter);
    ReadAll(table);

    std::vector<double> plain, filtered;
    for (int r = 0; r < rounds; ++r) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool withFilter = (turn == 0) == (r % 2 == 1);
            SetFilter(table, withFilter ? kFilter : "");
            (withFilter ? filtered : plain).push_back(ReadAll(table));
        }
    }
    const double u = Median(plain), f = Median(filtered);
    std::printf("%d rows, %d rounds: unfiltered median %.2f ms, filtered median %.2f ms\n", kRows, rounds, u, f);
    std::printf("filtered/unfiltered = %.2f (goal: at most 1.5)\n", f / u);
    return 0;
}
