#pragma once
// Styling spans of a sheet run by run. A column's rows are cut where the row
// record's style or the cell's own style changes, and each piece is restyled as
// a whole, so that styling or clearing a whole column or sheet costs time in the
// stored runs, not in the million rows.

#include "mta/table/style/manager/style_manager.h"
#include "mta/table/table/table.h"
#include "sheet_limits.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

namespace vex::mta {

inline uint16_t default_xf() noexcept { return get_sheet_limits().default_style; }

// Throws mta_error for a table without one.
style_manager_t& style_manager_of(const Table& table);

// What a cell without a style of its own shows: its row's style when the row
// has one, else its column's, as spreadsheet applications show a cell without
// a record; the default style when neither is styled.
style_settings_t row_col_style(const style_manager_t& m, uint16_t row_xf, uint16_t col_xf);
// What a cell shows: its own style, else its row's or its column's as above.
style_settings_t shown_style(const style_manager_t& m, uint16_t own_xf, uint16_t row_xf, uint16_t col_xf);

// Remembers the new style index per combination of old ones within one
// operation, so that each distinct combination is merged and interned once.
class xf_memo_t {
public:
    template <class F>
    std::optional<uint16_t> get(uint16_t a, uint16_t b, uint16_t c, F&& compute) {
        const uint64_t key = uint64_t{a} << 32 | uint64_t{b} << 16 | c;
        const auto it = known_.find(key);
        if (it != known_.end()) return it->second;
        const std::optional<uint16_t> xf = compute();
        known_.emplace(key, xf);
        return xf;
    }

private:
    std::unordered_map<uint64_t, std::optional<uint16_t>> known_;
};

// Calls f(first_row, last_row, row_xf, own_xf) for the pieces of rows r1..r2
// (valid rows, r1 <= r2) of a column over which both indexes stay the same. A
// column not made yet has the default index everywhere.
template <class F>
void for_each_style_piece(const Table& table, const Column* column, int r1, int r2, F&& f) {
    const auto& rows = table.row_records();
    for (int r = r1; r <= r2;) {
        const size_t ri = *rows.run_index_of(r);
        int end = std::min(r2, rows.run_end(ri));
        uint16_t own = default_xf();
        if (column) {
            const auto& runs = column->xf_runs();
            const size_t ci = *runs.run_index_of(int64_t(r) - 1);
            end = std::min(end, runs.run_end(ci) + 1);
            own = runs.runs()[ci].value;
        }
        f(r, end, rows.runs()[ri].value.xf, own);
        r = end + 1;
    }
}

// Rows of one column and the style index each span takes, in row order.
using xf_spans_t = std::vector<xf_runs_t::span_t>;

// Adds to `out` the rows r1..r2 of a column (after any rows already in it)
// whose index next(row_xf, own_xf) changes; nullopt keeps the cell's own. A
// null column is one not made yet.
template <class F>
void collect_restyles(const Table& table, const Column* column, int r1, int r2, F&& next, xf_spans_t& out) {
    for_each_style_piece(table, column, r1, r2, [&](int a, int b, uint16_t row_xf, uint16_t own) {
        const std::optional<uint16_t> xf = next(row_xf, own);
        if (!xf || *xf == own) return;
        if (!out.empty() && out.back().last + 1 == a && out.back().value == *xf)
            out.back().last = b;
        else
            out.push_back({a, b, *xf});
    });
}

template <class F>
void collect_restyles(const Table& table, int col, int r1, int r2, F&& next, xf_spans_t& out) {
    collect_restyles(table, table.find_column(col), r1, r2, next, out);
}

// Writes the spans in one pass; the column is made only when there are any.
inline void write_restyles(Table& table, int col, const xf_spans_t& spans) {
    if (!spans.empty()) table.create_column_if_not_exists(col).set_xf(spans);
}

template <class F>
void restyle_rows(Table& table, int col, int r1, int r2, F&& next) {
    xf_spans_t spans;
    collect_restyles(table, col, r1, r2, next, spans);
    write_restyles(table, col, spans);
}

// restyle_records over a whole store that knows its runs by index: only the
// runs of an index that changes are visited, so laying a style over every row
// costs the rows it changes. next is asked in the order of each index's first
// run, as a walk down the runs asks it, so new styles are made in that order.
template <class Store, class F>
void restyle_every_record(Store& store, F&& next) {
    struct key_runs_t {
        uint32_t first;
        uint16_t xf;
        const std::vector<uint32_t>* starts;
    };
    std::vector<key_runs_t> keys;
    const auto by_key = store.starts_by_key();
    for (const auto& [xf, starts] : by_key) keys.push_back({starts.front(), xf, &starts});
    std::sort(keys.begin(), keys.end(), [](const key_runs_t& x, const key_runs_t& y) { return x.first < y.first; });
    std::vector<typename Store::span_t> spans;
    for (const key_runs_t& k : keys) {
        const uint16_t to = next(k.xf);
        if (to == k.xf) continue;
        for (const uint32_t start : *k.starts) {
            const size_t ri = *store.run_index_of(start);
            rc_record_t record = store.runs()[ri].value;
            record.xf = to;
            spans.push_back({start, store.run_end(ri), record});
        }
    }
    std::sort(spans.begin(), spans.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
    store.assign_spans(spans);
}

// Gives the records a..b of a row or column store the index next(old index),
// keeping their flags.
template <class Store, class F>
void restyle_records(Store& store, int a, int b, F&& next) {
    std::vector<typename Store::span_t> spans;
    if constexpr (Store::indexed) {
        if (a <= store.first() && b >= store.last()) return restyle_every_record(store, next);
    }
    for (int i = a; i <= b;) {
        const size_t ri = *store.run_index_of(i);
        const int end = std::min(b, store.run_end(ri));
        rc_record_t record = store.runs()[ri].value;
        const uint16_t xf = next(record.xf);
        if (xf != record.xf) {
            record.xf = xf;
            spans.push_back({i, end, record});
        }
        i = end + 1;
    }
    store.assign_spans(spans);
}

template <class Store>
bool has_styled_records(const Store& store) {
    return std::any_of(store.runs().begin(), store.runs().end(),
                       [](const auto& run) { return run.value.xf != default_xf(); });
}

} // namespace vex::mta
