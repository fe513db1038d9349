#include "errors.h"
#include "mta/table/table/table.h"
#include "sheet_limits.h"

#include <cmath>

namespace vex::mta {

namespace {

bool all_default(const rc_hw<int, int64_t>& store, int a, int b) {
    return store.all_marker(a, b == 0 ? a : b);
}

std::optional<double> custom_size(const rc_hw<int, int64_t>& store, int64_t def, int a, int b, int unit,
                                  double (*to_unit)(int64_t, int)) {
    if (a > b) std::swap(a, b);
    if (a >= store.first() && b <= store.last() && store.any_marker(a, b)) return std::nullopt;
    return to_unit(store.get_sum_value(def, a, b), unit);
}

// Assigns `emu` over a..b, marks the records custom (a row's height kept as
// read gives way) and keeps the total current.
template <class Records>
void set_custom(rc_hw<int, int64_t>& store, Records& records, int64_t def, int64_t& total, int a, int b,
                int64_t emu) {
    const int64_t old = store.get_sum_value(def, a, b);
    store.assign(a, b, emu);
    std::vector<typename Records::span_t> spans;
    for (int i = a; i <= b;) {
        const size_t ri = *records.run_index_of(i);
        const int end = std::min(b, records.run_end(ri));
        rc_record_t record = records.runs()[ri].value;
        record.flags =
            uint8_t((record.flags | rc_record_t::custom_size) & ~(rc_record_t::read_height | rc_record_t::plain_width));
        record.height = 0;
        spans.push_back({i, end, record});
        i = end + 1;
    }
    records.assign_spans(spans);
    total = total - old + (int64_t(b) - a + 1) * emu;
}

void insert_sizes(rc_hw<int, int64_t>& store, int64_t def, int64_t& total, int at, int count) {
    if (count < 1 || at < store.first() || at > store.last()) return;
    const int64_t opened = std::min<int64_t>(count, int64_t(store.last()) - at + 1);
    const int from = static_cast<int>(std::max<int64_t>(at, int64_t(store.last()) - count + 1));
    const int64_t dropped = store.get_sum_value(def, from, store.last());
    store.insert(at, count);
    total += opened * def - dropped;
}

void delete_sizes(rc_hw<int, int64_t>& store, int64_t def, int64_t& total, int a, int b) {
    if (a > b) std::swap(a, b);
    if (a < store.first() || b > store.last()) return;
    const int64_t removed = store.get_sum_value(def, a, b);
    store.erase(a, b);
    total += (int64_t(b) - a + 1) * def - removed;
}

} // namespace

bool Table::is_default_row_height(int a, int b) const {
    return all_default(row_heights_, a, b);
}

bool Table::is_default_col_width(int a, int b) const {
    return all_default(col_widths_, a, b);
}

std::optional<double> Table::get_custom_row_height(int r1, int r2, int unit) const {
    return custom_size(row_heights_, default_row_height_, r1, r2, unit, emu_to_row_height);
}

std::optional<double> Table::get_custom_col_width(int c1, int c2, int unit) const {
    return custom_size(col_widths_, default_col_width_, c1, c2, unit, emu_to_col_width);
}

double Table::get_default_row_height(int unit) const {
    // Whole points, as the sheet writer states them.
    if (unit == 0) return double(default_row_height_ / emu_per_point);
    return emu_to_row_height(default_row_height_, unit);
}

double Table::get_default_col_width(int unit) const {
    return emu_to_col_width(default_col_width_, unit);
}

void Table::set_custom_row_height(int r1, int r2, double v, int unit) {
    if (r1 > r2 || !is_valid_row(r1) || !is_valid_row(r2) || !(v >= 0)) return;
    set_custom(row_heights_, row_records_, default_row_height_, extent_.height, r1, r2, row_height_to_emu(v, unit));
}

void Table::set_custom_col_width(int c1, int c2, double v, int unit) {
    if (c1 > c2 || !is_valid_col(c1) || !is_valid_col(c2) || !(v >= 0)) return;
    set_custom(col_widths_, col_records_, default_col_width_, extent_.width, c1, c2, col_width_to_emu(v, unit));
}

void Table::save_columns_width_(int first, int last, double width) {
    if (first > last) std::swap(first, last);
    if (!is_valid_col(first) || !is_valid_col(last)) throw loading_error("Error reading column width.");
    // A width that is no number or below zero is taken as zero rather than stored raw.
    const double chars = std::isnan(width) ? 0.0 : std::clamp(width, 0.0, double(get_sheet_limits().max_col_width));
    col_widths_.assign(first, last, static_cast<int64_t>(chars * 8 * double(emu_per_inch) / 96 + 0.5));
}

void Table::insert_row_sizes(int row, int count) {
    insert_sizes(row_heights_, default_row_height_, extent_.height, row, count);
}

void Table::delete_row_sizes(int r1, int r2) {
    delete_sizes(row_heights_, default_row_height_, extent_.height, r1, r2);
}

void Table::insert_col_sizes(int col, int count) {
    insert_sizes(col_widths_, default_col_width_, extent_.width, col, count);
}

void Table::delete_col_sizes(int c1, int c2) {
    delete_sizes(col_widths_, default_col_width_, extent_.width, c1, c2);
}

} // namespace vex::mta
