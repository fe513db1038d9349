#pragma once
#include <cstdint>

namespace vex {

// The bounds of every sheet; read-only after it is built on first use.
struct sheet_limits_t {
    int32_t first_row = 1;
    int32_t last_row = 1048576;
    int32_t first_col = 1;
    int32_t last_col = 16384;
    uint16_t default_style = 0;
    int32_t max_row_height = 409;  // points
    int32_t max_col_width = 255;   // characters

    int32_t row_count() const noexcept { return last_row - first_row + 1; }
    int32_t col_count() const noexcept { return last_col - first_col + 1; }
    bool valid_row(int64_t r) const noexcept { return r >= first_row && r <= last_row; }
    bool valid_col(int64_t c) const noexcept { return c >= first_col && c <= last_col; }
};

const sheet_limits_t& get_sheet_limits();

} // namespace vex
