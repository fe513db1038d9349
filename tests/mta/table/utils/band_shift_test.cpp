#include "mta/table/utils/band_shift.h"

#include <gtest/gtest.h>

#include <string>

using vex::mta::band_shift_t;

namespace {

vex::range_t cells(int r1, int c1, int r2, int c2) {
    return {{1, r1, c1, 1, 1, 1}, {1, r2, c2, 1, 1, 1}};
}

} // namespace

// Rows 3..4 opened or deleted over every column, or over columns 2..3 alone:
// only a range before the band, beside it, or moving whole reads as it did.
TEST(band_shift, a_range_the_band_reaches_into_or_across_reads_otherwise) {
    const band_shift_t edits[] = {
        band_shift_t::inserting(true, 1, 16384, 3, 2, 1048576),
        band_shift_t::deleting(true, 1, 16384, 3, 4, 1048576),
        band_shift_t::inserting(true, 2, 3, 3, 2, 1048576),
    };
    // c changes what it reads, s reads the same: one per edit.
    const struct {
        vex::range_t range;
        const char* outcomes;
    } rows[] = {
        {cells(1, 1, 2, 1), "sss"},              // before the band
        {cells(1, 1, 3, 1), "ccs"},              // across its start (beside a band of columns)
        {cells(3, 2, 5, 2), "scs"},              // moving whole, but deleted in part
        {cells(5, 2, 9, 3), "sss"},              // after it, moving whole
        {cells(5, 1, 9, 2), "ssc"},              // after it, half in a band of columns
        {cells(1, 1, 1048576, 1), "ccs"},        // a whole column
        {cells(1, 2, 1048576, 2), "ccc"},        // a whole column in the band
        {cells(1048575, 2, 1048576, 2), "csc"},  // pushed off the end
    };
    for (const auto& r : rows) {
        std::string got;
        for (const band_shift_t& e : edits) got += e.changes_reading(r.range, false) ? 'c' : 's';
        EXPECT_EQ(got, r.outcomes) << r.range.first.row << "," << r.range.first.col;
    }
}
