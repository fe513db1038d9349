#include "mta/table/utils/table_definition/filter_shift.h"

#include "mta/table/sample_styles.h"
#include "mta/table/utils/band_shift.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using sample::range;
using vex::mta::band_shift_t;

namespace {

constexpr int last_row = 1048576, last_col = 16384;

std::string a1(const vex::range_t& r) {
    const auto col = [](int c) {
        std::string s;
        for (; c > 0; c = (c - 1) / 26) s.insert(s.begin(), char('A' + (c - 1) % 26));
        return s;
    };
    return col(r.first.col) + std::to_string(r.first.row) + ":" + col(r.last.col) + std::to_string(r.last.row);
}

// C2:F9 filtered on its columns 0, 2 and 3 (C, E, F), sorted on E then C.
vex::autofilter_t sample_filter() {
    vex::autofilter_t f;
    f.range = range(2, 3, 9, 6);
    for (const int id : {0, 2, 3}) f.columns.emplace_back().col_id = id;
    f.sort_state = std::make_unique<vex::sort_state_t>();
    f.sort_state->ref = range(3, 3, 9, 6);
    f.sort_state->conditions.emplace_back().ref = range(3, 5, 9, 5);
    f.sort_state->conditions.emplace_back().ref = range(3, 3, 9, 3);
    return f;
}

std::string described(const vex::autofilter_t& f) {
    std::string out = a1(f.range) + " ids";
    for (const auto& c : f.columns) out += " " + std::to_string(c.col_id);
    if (!f.sort_state) return out + "; no sort";
    out += "; sort " + a1(f.sort_state->ref) + " keys";
    for (const auto& k : f.sort_state->conditions) out += " " + a1(k.ref);
    return out;
}

} // namespace

TEST(filter_shift, filter_columns_keep_naming_their_sheet_columns) {
    const struct {
        const char* name;
        band_shift_t shift;
        std::string expected;  // "gone" when the filter goes
    } rows[] = {
        {"columns opened before", band_shift_t::inserting(false, 1, last_row, 2, 2, last_col),
         "E2:H9 ids 0 2 3; sort E3:H9 keys G3:G9 E3:E9"},
        {"column opened inside", band_shift_t::inserting(false, 1, last_row, 4, 1, last_col),
         "C2:G9 ids 0 3 4; sort C3:G9 keys F3:F9 C3:C9"},
        {"column opened after", band_shift_t::inserting(false, 1, last_row, 7, 1, last_col),
         "C2:F9 ids 0 2 3; sort C3:F9 keys E3:E9 C3:C9"},
        {"filtered column deleted", band_shift_t::deleting(false, 1, last_row, 5, 5, last_col),
         "C2:E9 ids 0 2; sort C3:E9 keys C3:C9"},
        {"columns deleted across the start", band_shift_t::deleting(false, 1, last_row, 2, 4, last_col),
         "B2:C9 ids 0 1; sort B3:C9 keys B3:B9"},
        {"columns deleted whole", band_shift_t::deleting(false, 1, last_row, 3, 6, last_col), "gone"},
        {"rows opened inside", band_shift_t::inserting(true, 1, last_col, 5, 2, last_row),
         "C2:F11 ids 0 2 3; sort C3:F11 keys E3:E11 C3:C11"},
        {"sorted rows deleted", band_shift_t::deleting(true, 1, last_col, 3, 9, last_row), "C2:F2 ids 0 2 3; no sort"},
        {"band across the filter", band_shift_t::inserting(true, 4, 6, 1, 3, last_row),
         "C2:F9 ids 0 2 3; sort C3:F9 keys E3:E9 C3:C9"},
        {"band across the filter, columns", band_shift_t::deleting(false, 5, 9, 3, 3, last_col),
         "C2:F9 ids 0 2 3; sort C3:F9 keys E3:E9 C3:C9"},
        {"filter pushed partly off the end", band_shift_t::inserting(false, 1, last_row, 1, last_col - 3, last_col),
         "XFD2:XFD9 ids 0; sort XFD3:XFD9 keys XFD3:XFD9"},
        {"filter pushed off the end", band_shift_t::inserting(false, 1, last_row, 1, last_col - 2, last_col), "gone"},
    };
    for (const auto& r : rows) {
        vex::autofilter_t f = sample_filter();
        const bool kept = vex::mta::follow_shift(f, r.shift);
        EXPECT_EQ(kept ? described(f) : "gone", r.expected) << r.name;
    }
}

TEST(filter_shift, a_column_taken_at_the_front_widens_filter_and_sort) {
    vex::autofilter_t f = sample_filter();
    vex::mta::take_column_before(f, 3);
    EXPECT_EQ(described(f), "B2:F9 ids 1 3 4; sort B3:F9 keys E3:E9 C3:C9");
    vex::mta::take_column_before(f, 3);  // no longer its first column
    EXPECT_EQ(described(f), "B2:F9 ids 1 3 4; sort B3:F9 keys E3:E9 C3:C9");
}
