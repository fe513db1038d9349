// Filling a sheet's cell store: cells per second and heap bytes per cell, for
// numbers and for pooled strings, row by row and column by column.

#include "mta/table/cell/string_pool.h"
#include "mta/table/table/table.h"

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

namespace {

using vex::mta::Table;

// Large blocks are mapped on their own and counted apart.
size_t heap_in_use() {
    const auto m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

// A field of /proc/self/status in bytes; 0 when it cannot be read.
size_t status_bytes(const std::string& field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field + ":", 0) == 0) return size_t(std::stoull(line.substr(field.size() + 1))) * 1024;
    return 0;
}

// Restarts the resident high-water mark, so that it covers one fill only.
bool reset_peak_rss() {
    malloc_trim(0);  // or a fill reuses pages still resident from the last one
    std::ofstream out("/proc/self/clear_refs");
    out << "5";
    return bool(out.flush());
}

// Peak heap over a fill, sampled every few thousand cells.
class heap_watch {
public:
    heap_watch() : base_(heap_in_use()), peak_(base_) {}
    void sample(size_t n) {
        if ((n & 0x3fff) == 0) peak_ = std::max(peak_, heap_in_use());
    }
    double peak_per_cell(size_t cells) {
        peak_ = std::max(peak_, heap_in_use());
        return double(peak_ - base_) / double(cells);
    }
    double now_per_cell(size_t cells) const { return double(heap_in_use() - base_) / double(cells); }

private:
    size_t base_;
    size_t peak_;
};

template <class Fill>
void run(benchmark::State& state, int rows, int cols, Fill fill) {
    const size_t cells = size_t(rows) * size_t(cols);
    double peak = 0, kept = 0, peak_rss = 0;
    for (auto _ : state) {
        const bool rss = reset_peak_rss();
        const size_t rss_before = status_bytes("VmRSS");
        heap_watch watch;
        {
            Table table({}, 1048576, 16384);
            fill(table, rows, cols, watch);
            kept = watch.now_per_cell(cells);
            peak = watch.peak_per_cell(cells);
            if (rss) peak_rss = double(status_bytes("VmHWM") - rss_before) / double(cells);
            state.PauseTiming();
        }
        state.ResumeTiming();
    }
    state.SetItemsProcessed(int64_t(state.iterations() * cells));
    state.counters["peak_bytes_per_cell"] = peak;
    state.counters["bytes_per_cell"] = kept;
    state.counters["peak_rss_per_cell"] = peak_rss;
}

constexpr int number_rows = 500000, number_cols = 20;  // 10,000,000 numbers
constexpr int string_rows = 100000, string_cols = 10;  // 1,000,000 strings
constexpr int distinct_strings = 100000;

void numbers_by_row(Table& t, int rows, int cols, heap_watch& w) {
    size_t n = 0;
    for (int r = 1; r <= rows; ++r)
        for (int c = 1; c <= cols; ++c) {
            t.create_column_if_not_exists(c).set_value(r, double(r) * 0.5 + c);
            w.sample(++n);
        }
}

void numbers_by_column(Table& t, int rows, int cols, heap_watch& w) {
    size_t n = 0;
    for (int c = 1; c <= cols; ++c) {
        auto& column = t.create_column_if_not_exists(c);
        for (int r = 1; r <= rows; ++r) {
            column.set_value(r, double(r) * 0.5 + c);
            w.sample(++n);
        }
    }
}

// The store keeps only indexes: one pool outside the measured tables serves them all.
vex::mta::string_pool_t& pool() {
    static vex::mta::string_pool_t p;
    return p;
}

const std::vector<std::string>& texts() {
    static const std::vector<std::string> all = [] {
        std::vector<std::string> v;
        for (int i = 0; i < distinct_strings; ++i) v.push_back("text " + std::to_string(i * 7919));
        // Interned once up front, so that the heap figures are the store's own.
        for (const auto& s : v) pool().add_string(0, s);
        return v;
    }();
    return all;
}

void set_text(vex::mta::Column& column, int row, const std::string& text) {
    column.set_value(row, vex::mta::mtv_string_type{pool().add_string(0, text)});
}

void strings_by_row(Table& t, int rows, int cols, heap_watch& w) {
    const auto& all = texts();
    size_t n = 0;
    for (int r = 1; r <= rows; ++r)
        for (int c = 1; c <= cols; ++c) {
            set_text(t.create_column_if_not_exists(c), r, all[n % all.size()]);
            w.sample(++n);
        }
}

void strings_by_column(Table& t, int rows, int cols, heap_watch& w) {
    const auto& all = texts();
    size_t n = 0;
    for (int c = 1; c <= cols; ++c) {
        auto& column = t.create_column_if_not_exists(c);
        for (int r = 1; r <= rows; ++r) {
            set_text(column, r, all[n % all.size()]);
            w.sample(++n);
        }
    }
}

void BM_cell_store_numbers_row_major(benchmark::State& s) { run(s, number_rows, number_cols, numbers_by_row); }
void BM_cell_store_numbers_column_major(benchmark::State& s) { run(s, number_rows, number_cols, numbers_by_column); }
void BM_cell_store_strings_row_major(benchmark::State& s) {
    texts();
    run(s, string_rows, string_cols, strings_by_row);
}
void BM_cell_store_strings_column_major(benchmark::State& s) {
    texts();
    run(s, string_rows, string_cols, strings_by_column);
}

BENCHMARK(BM_cell_store_numbers_row_major)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_cell_store_numbers_column_major)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_cell_store_strings_row_major)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_cell_store_strings_column_major)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
