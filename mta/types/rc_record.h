#pragma once
// What a row or a column carries besides its cells: a style index and flags.

#include <cstdint>

namespace vex::mta {

struct rc_record_t {
    static constexpr uint8_t custom_size = 1;  // custom height (rows) or width (columns)
    // Rows: read with collapsed="1", which goes back on this row.
    static constexpr uint8_t collapsed_row = 2;
    static constexpr uint8_t hidden = 4;
    // Kept from a loaded sheet and written back.
    static constexpr uint8_t thick_top = 8;      // rows
    static constexpr uint8_t thick_bottom = 16;  // rows
    static constexpr uint8_t best_fit = 8;       // columns
    static constexpr uint8_t collapsed = 16;     // columns
    static constexpr uint8_t phonetic = 32;      // rows and columns
    // Rows: ht read without customHeight. The host sees the default height;
    // the row is written back with this one until the host sets its own.
    static constexpr uint8_t read_height = 64;
    // Columns: a width read without customWidth (or with it false), written
    // back so until the host sets its own.
    static constexpr uint8_t plain_width = 64;
    // The column flags that make two column records differ.
    static constexpr uint8_t col_flags = 0x7f;

    uint16_t xf = 0;
    uint8_t flags = 0;
    int32_t height = 0;  // rows: the read_height, in EMU
};

inline bool row_record_equal(const rc_record_t& a, const rc_record_t& b) {
    return a.xf == b.xf && a.flags == b.flags && a.height == b.height;
}

// What row and column records are found by when restyled.
struct record_xf {
    uint16_t operator()(const rc_record_t& r) const noexcept { return r.xf; }
};

// A host's width beside one read without customWidth stays a run of its
// own, written with customWidth.
inline bool col_record_equal(const rc_record_t& a, const rc_record_t& b) {
    return a.xf == b.xf && (a.flags & rc_record_t::col_flags) == (b.flags & rc_record_t::col_flags);
}

} // namespace vex::mta
