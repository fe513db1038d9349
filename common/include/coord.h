#pragma once
// Cell positions and rectangular ranges, shared by the parser, the model and the
// formula engine.

#include "hash_utils.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>

namespace vex {

struct coord_t {
    int32_t grid_id = 0;
    int32_t row = 0;
    int32_t col = 0;
    // Formula-engine flags, carried unchanged by the model: the second allows the
    // row to move, the third the column, when references follow shifted cells.
    uint8_t flag0 = 0;
    uint8_t flag1 = 0;
    uint8_t flag2 = 0;

    friend bool operator==(const coord_t&, const coord_t&) = default;
};

// FNV-1a 64 over the four little-endian bytes of each value, folded into one seed.
uint64_t hash_values(const int32_t* values, size_t n) noexcept;

struct range_t {
    coord_t first;
    coord_t last;

    friend bool operator==(const range_t&, const range_t&) = default;

    // Puts the smaller row and the smaller column in the first corner; the other
    // fields stay with their corners.
    range_t& order() noexcept {
        if (first.row > last.row) std::swap(first.row, last.row);
        if (first.col > last.col) std::swap(first.col, last.col);
        return *this;
    }

    // Narrows this range to its overlap with other; a range that is never a valid
    // cell range when they do not overlap.
    range_t& intersect(const range_t& other) noexcept;

    // Whether the cell's row and column lie between the corners, in either order.
    bool holds(const coord_t& c) const noexcept {
        const range_t r = range_t(*this).order();
        return c.row >= r.first.row && c.row <= r.last.row && c.col >= r.first.col && c.col <= r.last.col;
    }

    // Over grid id, row and column of both corners; the flag bytes take no part.
    size_t hash() const noexcept;
};

} // namespace vex

template <>
struct std::hash<vex::range_t> {
    size_t operator()(const vex::range_t& r) const noexcept { return r.hash(); }
};
