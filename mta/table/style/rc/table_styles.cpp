#include "errors.h"
#include "mta/table/style/rc/cell_style_runs.h"
#include "run_message.h"

namespace vex::mta {

namespace {

constexpr std::string_view bad_row = "Row out of range.";
constexpr std::string_view bad_col = "Column out of range.";

uint32_t pack(const rc_record_t& r) noexcept { return uint32_t{r.xf} | uint32_t{r.flags} << 16; }

rc_record_t unpack(uint32_t v) noexcept {
    return {static_cast<uint16_t>(v & 0xffff), static_cast<uint8_t>(v >> 16 & 0xff)};
}

template <class Store>
void set_hidden_flag(Store& store, int index, bool hidden) {
    rc_record_t r = store.value_at(index);
    r.flags = hidden ? uint8_t(r.flags | rc_record_t::hidden) : uint8_t(r.flags & ~rc_record_t::hidden);
    store.assign(index, index, r);
}

// Column c's valued cells, as spans of rows.
std::vector<std::pair<int, int>> valued_spans(const Column& column) {
    std::vector<std::pair<int, int>> spans;
    for (const auto& block : column.cells()) {
        if (block.type == mdds::mtv::element_type_empty) continue;
        const int first = static_cast<int>(block.position) + 1;
        const int last = static_cast<int>(block.position + block.size);
        if (!spans.empty() && spans.back().second + 1 == first)
            spans.back().second = last;
        else
            spans.emplace_back(first, last);
    }
    return spans;
}

// Style xf with `s` set over it. The memo belongs to one `s`.
uint16_t laid_over(style_manager_t& m, xf_memo_t& memo, uint16_t xf, const style_settings_t& s) {
    return *memo.get(xf, 0, 0, [&] {
        auto cur = m.get_style_settings(xf);
        cur.take(s);
        return std::optional(m.intern_style(cur));
    });
}

// Lays `s` over column c's styled runs and over its valued cells that have no
// style of their own; empty unstyled cells keep showing the column record.
void apply_style(Table& table, int c, const style_settings_t& s) {
    const Column* column = table.find_column(c);
    if (!column) return;
    auto& m = style_manager_of(table);
    const uint16_t col_xf = table.col_records().value_at(c).xf;
    const uint16_t none = default_xf();
    // The styled runs take `s` whatever their rows show: walked run by run,
    // not cut by the row records, they cost what the column holds.
    xf_memo_t memo;
    xf_spans_t styled;
    const auto& runs = column->xf_runs();
    for (size_t i = 0; i < runs.runs().size(); ++i) {
        const uint16_t own = runs.runs()[i].value;
        if (own == none) continue;
        const uint16_t xf = laid_over(m, memo, own, s);
        if (xf != own) styled.push_back({int64_t{runs.runs()[i].start} + 1, int64_t{runs.run_end(i)} + 1, xf});
    }
    write_restyles(table, c, styled);
    xf_memo_t plain;
    xf_spans_t spans;
    for (const auto& [first, last] : valued_spans(*column)) {
        collect_restyles(table, c, first, last, [&](uint16_t row_xf, uint16_t own) -> std::optional<uint16_t> {
            if (own != none) return std::nullopt;
            return plain.get(row_xf, 0, 0, [&] {
                auto cur = row_col_style(m, row_xf, col_xf);
                cur.take(s);
                return std::optional(m.intern_style(cur));
            });
        }, spans);
    }
    write_restyles(table, c, spans);
}

// Sets `part` over the style of records a..b, inner borders included.
template <class Store>
void merge_into_records(style_manager_t& m, Store& store, int a, int b, const style_settings_t& part) {
    xf_memo_t memo;
    restyle_records(store, a, b, [&](uint16_t xf) {
        return *memo.get(xf, 0, 0, [&] {
            auto cur = m.get_style_settings(xf);
            cur.take_with_inner_borders(part);
            return std::optional(m.intern_style(cur));
        });
    });
}

// Where a styled row crosses column c within rows r1..r2, a cell without a
// style of its own showed its row's: it takes that with `s` laid over it.
void take_crossing_styles(Table& table, style_manager_t& m, xf_memo_t& memo, int c, int r1, int r2,
                          const style_settings_t& s) {
    restyle_rows(table, c, r1, r2, [&](uint16_t row_xf, uint16_t own) -> std::optional<uint16_t> {
        if (row_xf == default_xf() || own != default_xf()) return std::nullopt;
        return laid_over(m, memo, row_xf, s);
    });
}

// Rows r1..r2 of column c take `s` set over what each cell shows. The memo
// belongs to one `s`.
void merge_over_shown(Table& table, style_manager_t& m, xf_memo_t& memo, int c, int r1, int r2,
                      const style_settings_t& s) {
    const uint16_t col_xf = table.col_records().value_at(c).xf;
    restyle_rows(table, c, r1, r2, [&](uint16_t row_xf, uint16_t own) {
        return memo.get(own, row_xf, col_xf, [&] {
            auto cur = shown_style(m, own, row_xf, col_xf);
            cur.take(s);
            return std::optional(m.intern_style(cur));
        });
    });
}

} // namespace

style_manager_t& style_manager_of(const Table& table) {
    style_manager_t* m = table.get_style_manager();
    if (!m) throw mta_error("the sheet has no style manager.");
    return *m;
}

style_settings_t row_col_style(const style_manager_t& m, uint16_t row_xf, uint16_t col_xf) {
    return m.get_style_settings(row_xf != default_xf() ? row_xf : col_xf);
}

style_settings_t shown_style(const style_manager_t& m, uint16_t own_xf, uint16_t row_xf, uint16_t col_xf) {
    return own_xf != default_xf() ? m.get_style_settings(own_xf) : row_col_style(m, row_xf, col_xf);
}

// ---- records -----------------------------------------------------------------------

uint32_t Table::get_row_record(int row) const {
    if (!is_valid_row(row)) {
        set_run_message(bad_row);
        return 0;
    }
    return pack(row_records_.value_at(row));
}

uint32_t Table::get_col_record(int col) const {
    if (!is_valid_col(col)) {
        set_run_message(bad_col);
        return 0;
    }
    return pack(col_records_.value_at(col));
}

void Table::set_row_record(int r1, int r2, uint32_t record) {
    if (!is_valid_row(r1) || !is_valid_row(r2)) return set_run_message(bad_row);
    row_records_.assign(std::min(r1, r2), std::max(r1, r2), unpack(record));
}

void Table::set_col_record(int c1, int c2, uint32_t record) {
    if (!is_valid_col(c1) || !is_valid_col(c2)) return set_run_message(bad_col);
    col_records_.assign(std::min(c1, c2), std::max(c1, c2), unpack(record));
}

bool Table::row_hidden(int row) const {
    if (!is_valid_row(row)) {
        set_run_message(bad_row);
        return false;
    }
    return (row_records_.value_at(row).flags & rc_record_t::hidden) != 0;
}

bool Table::col_hidden(int col) const {
    if (!is_valid_col(col)) {
        set_run_message(bad_col);
        return false;
    }
    return (col_records_.value_at(col).flags & rc_record_t::hidden) != 0;
}

void Table::set_row_hidden(int row, bool hidden) {
    if (!is_valid_row(row)) return set_run_message(bad_row);
    set_hidden_flag(row_records_, row, hidden);
}

void Table::set_col_hidden(int col, bool hidden) {
    if (!is_valid_col(col)) return set_run_message(bad_col);
    set_hidden_flag(col_records_, col, hidden);
}

// ---- reading styles ------------------------------------------------------------------

style_settings_t Table::get_cell_style(int row, int col) const {
    if (!is_valid_cell(row, col)) return {};
    const Column* column = find_column(col);
    const uint16_t own = column ? column->get_xf(row) : default_xf();
    return shown_style(style_manager_of(*this), own, row_records_.value_at(row).xf, col_records_.value_at(col).xf);
}

style_settings_t Table::row_style(int row) const {
    if (!is_valid_row(row)) {
        set_run_message(bad_row);
        return {};
    }
    return style_manager_of(*this).get_style_settings(row_records_.value_at(row).xf);
}

style_settings_t Table::col_style(int col) const {
    if (!is_valid_col(col)) {
        set_run_message(bad_col);
        return {};
    }
    return style_manager_of(*this).get_style_settings(col_records_.value_at(col).xf);
}

// ---- setting styles ------------------------------------------------------------------

void Table::set_cell_style(int row, int col, const style_settings_t& s) {
    if (!is_valid_cell(row, col)) return set_run_message("Invalid row or column.");
    auto& m = style_manager_of(*this);
    style_settings_t cur = get_cell_style(row, col);
    cur.take(m.adopt_numfmt(s));
    const uint16_t xf = m.intern_style(cur);
    create_column_if_not_exists(col).set_xf(row, xf);
}

void Table::hand_down_style__(int row, int col) {
    // The records first: without a row or column style there is nothing to take.
    const uint16_t row_xf = row_records_.value_at(row).xf;
    const uint16_t col_xf = col_records_.value_at(col).xf;
    if (row_xf == default_xf() && col_xf == default_xf()) return;
    const Column* column = find_column(col);
    if (column && column->get_xf(row) != default_xf()) return;
    auto& m = style_manager_of(*this);
    const uint16_t xf = m.intern_style(row_col_style(m, row_xf, col_xf));
    create_column_if_not_exists(col).set_xf(row, xf);
}

void Table::set_col_style(int c1, int c2, const style_settings_t& given) {
    if (!is_valid_col(c1) || !is_valid_col(c2)) return;
    const style_settings_t s = style_manager_of(*this).adopt_numfmt(given);
    if (c1 > c2) std::swap(c1, c2);
    if (c1 == c2) return col_span_style__(c1, c1, s);
    const int first = get_sheet_limits().first_col;
    const style_settings_t middle = s.for_middle_col();
    if (c1 == first && c2 == first + static_cast<int>(col_count_) - 1 && s.for_first_col() == middle &&
        s.for_last_col() == middle) {
        // Every column takes the same settings: so do the styled rows, and
        // their cells without a style of their own show them through the row.
        auto& m = style_manager_of(*this);
        xf_memo_t memo;
        restyle_records(row_records_, get_sheet_limits().first_row, get_sheet_limits().first_row + int(row_count_) - 1,
                        [&](uint16_t xf) { return xf == default_xf() ? xf : laid_over(m, memo, xf, middle); });
        return col_span_style__(c1, c2, middle, false);
    }
    col_span_style__(c1, c1, s.for_first_col());
    if (c2 - c1 > 1) col_span_style__(c1 + 1, c2 - 1, s.for_middle_col());
    col_span_style__(c2, c2, s.for_last_col());
}

void Table::set_row_style(int r1, int r2, const style_settings_t& given) {
    if (!is_valid_row(r1) || !is_valid_row(r2)) return;
    const style_settings_t s = style_manager_of(*this).adopt_numfmt(given);
    if (r1 > r2) std::swap(r1, r2);
    if (r1 == r2) return row_span_style__(r1, r1, s);
    row_span_style__(r1, r1, s.for_first_row());
    if (r2 - r1 > 1) row_span_style__(r1 + 1, r2 - 1, s.for_middle_row());
    row_span_style__(r2, r2, s.for_last_row());
}

void Table::set_all_cols_style(const style_settings_t& s) {
    const int first = get_sheet_limits().first_col;
    set_col_style(first, first + static_cast<int>(col_count_) - 1, s);
}

// Columns c1..c2 all take the same settings t.
void Table::col_span_style__(int c1, int c2, const style_settings_t& t, bool crossings_too) {
    auto& m = style_manager_of(*this);
    merge_into_records(m, col_records_, c1, c2, t.for_middle_row());
    const bool styled_rows = crossings_too && has_styled_records(row_records_);
    const int first_row = get_sheet_limits().first_row;
    const int last_row = first_row + static_cast<int>(row_count_) - 1;
    // Columns not made yet hold no cells to restyle: a call over the whole
    // sheet costs the columns made, not the 16,384.
    const int made = std::min(c2, columns_.count());
    xf_memo_t crossings;
    for (int c = c1; c <= (styled_rows ? c2 : made); ++c) {
        if (c <= made) apply_style(*this, c, t);
        if (styled_rows) take_crossing_styles(*this, m, crossings, c, first_row, last_row, t);
    }
}

// Rows r1..r2 all take the same settings t.
void Table::row_span_style__(int r1, int r2, const style_settings_t& t) {
    auto& m = style_manager_of(*this);
    const style_settings_t inner = t.for_middle_col_single_row();
    xf_memo_t records;
    const auto new_record = [&](uint16_t xf) {
        return *records.get(xf, 0, 0, [&] {
            auto cur = m.get_style_settings(xf);
            cur.take_with_inner_borders(inner);
            return std::optional(m.intern_style(cur));
        });
    };

    // The cells first, while the records still tell what each showed: each
    // takes the row style over that. Where a styled column crosses the rows,
    // a cell without a style of its own needs none when its row's new style
    // shows the same, so that rows over styled columns cost no cells.
    xf_memo_t cells, crossings;
    const auto next_of = [&](uint16_t col_xf, xf_memo_t& memo, bool crossing) {
        return [&m, &inner, &new_record, memo = &memo, col_xf, crossing](uint16_t row_xf, uint16_t own) {
            return memo->get(own, row_xf, col_xf, [&]() -> std::optional<uint16_t> {
                auto cur = shown_style(m, own, row_xf, col_xf);
                cur.take(inner);
                const uint16_t xf = m.intern_style(cur);
                if (crossing && own == default_xf() && xf == new_record(row_xf)) return std::nullopt;
                return xf;
            });
        };
    };
    const auto restyle = [&](int c, xf_memo_t& memo, bool crossing) {
        restyle_rows(*this, c, r1, r2, next_of(col_records_.value_at(c).xf, memo, crossing));
    };
    const int made = columns_.count();
    for (int c = 1; c <= made; ++c) {
        const Column* column = find_column(c);
        if (column && !column->is_blank()) restyle(c, cells, false);
    }
    // Columns not made yet show their record alike down the rows: what one of
    // a run of records takes, each takes, so a whole row over a styled sheet
    // costs the columns made, not the 16,384.
    const auto& col_runs = col_records_.runs();
    for (size_t i = 0; i < col_runs.size(); ++i) {
        if (col_runs[i].value.xf == default_xf()) continue;
        const int first = static_cast<int>(col_runs[i].start), last = col_records_.run_end(i);
        for (int c = first; c <= std::min(last, made); ++c) {
            const Column* column = find_column(c);
            if (!column || column->is_blank()) restyle(c, crossings, true);
        }
        xf_spans_t unmade;
        collect_restyles(*this, nullptr, r1, r2, next_of(col_runs[i].value.xf, crossings, true), unmade);
        if (unmade.empty()) continue;
        for (int c = std::max(first, made + 1); c <= last; ++c) write_restyles(*this, c, unmade);
    }
    restyle_records(row_records_, r1, r2, new_record);
}

void Table::set_range_style(const vex::range_t& given, const style_settings_t& settings) {
    vex::range_t range = given;
    if (!clamp_range__(range)) return;
    const style_settings_t s = style_manager_of(*this).adopt_numfmt(settings);
    const int r1 = range.first.row, r2 = range.last.row, c1 = range.first.col, c2 = range.last.col;
    const auto& limits = get_sheet_limits();
    if (r1 == limits.first_row && r2 == limits.first_row + static_cast<int>(row_count_) - 1) {
        set_col_style(c1, c2, s);
        return trim_columns();
    }
    if (c1 == limits.first_col && c2 == limits.first_col + static_cast<int>(col_count_) - 1) {
        set_row_style(r1, r2, s);
        return trim_columns();
    }

    // Each cell takes the settings of its place in the block, over what it shows.
    auto& m = style_manager_of(*this);
    const auto block = [&](int ca, int cb, int ra, int rb, const style_settings_t& v) {
        if (ca > cb || ra > rb) return;
        xf_memo_t memo;
        for (int c = ca; c <= cb; ++c) merge_over_shown(*this, m, memo, c, ra, rb, v);
    };
    const auto rows = [&](int ca, int cb, const style_settings_t& col) {
        block(ca, cb, r1, r1, col.for_first_row());
        block(ca, cb, r1 + 1, r2 - 1, col.for_middle_row());
        block(ca, cb, r2, r2, col.for_last_row());
    };
    if (r1 != r2 && c1 != c2) {
        rows(c1, c1, s.for_first_col());
        rows(c1 + 1, c2 - 1, s.for_middle_col());
        rows(c2, c2, s.for_last_col());
    } else if (c1 != c2) {
        block(c1, c1, r1, r1, s.for_first_col_single_row());
        block(c1 + 1, c2 - 1, r1, r1, s.for_middle_col_single_row());
        block(c2, c2, r1, r1, s.for_last_col_single_row());
    } else if (r1 != r2) {
        rows(c1, c1, s);
    } else {
        block(c1, c1, r1, r1, s);
    }
    trim_columns();
}

void Table::remove_row_style(int r1, int r2) {
    if (!is_valid_row(r1) || !is_valid_row(r2) || r1 > r2) return;
    restyle_records(row_records_, r1, r2, [](uint16_t) { return default_xf(); });
}

void Table::remove_col_style(int c1, int c2) {
    if (!is_valid_col(c1) || !is_valid_col(c2) || c1 > c2) return;
    restyle_records(col_records_, c1, c2, [](uint16_t) { return default_xf(); });
}

void Table::clear_styles(const vex::range_t& given) {
    vex::range_t range = given;
    if (!clamp_range__(range)) return;
    const int last = std::min(range.last.col, columns_.count());
    for (int c = range.first.col; c <= last; ++c)
        if (Column* column = find_column(c)) column->clear_styles(range.first.row, range.last.row);
    trim_columns();
}

} // namespace vex::mta
