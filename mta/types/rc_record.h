#pragma once
// What a row or a column carries besides its cells: a style index and flags.

#include <cstdint>

namespace vex::mta {

struct rc_record_t {
    static constexpr uint8_t custom_size = 1;  // custom height (rows) or width (columns)
    static constexpr uint8_t hidden = 4;

    uint16_t xf = 0;
    uint8_t flags = 0;
};

inline bool row_record_equal(const rc_record_t& a, const rc_record_t& b) {
    return a.xf == b.xf && a.flags == b.flags;
}

// Columns compare the six low flag bits only.
inline bool col_record_equal(const rc_record_t& a, const rc_record_t& b) {
    return a.xf == b.xf && (a.flags & 0x3f) == (b.flags & 0x3f);
}

} // namespace vex::mta
