#include "coord.h"

#include <algorithm>

namespace vex {

uint64_t fnv1a_64(const unsigned char* bytes, size_t n) noexcept {
    uint64_t h = 0xcbf29ce484222325ull;
    for (size_t i = 0; i < n; ++i) {
        h ^= bytes[i];
        h *= 0x100000001b3ull;
    }
    return h;
}

uint64_t hash_values(const int32_t* values, size_t n) noexcept {
    uint64_t seed = 0;
    for (size_t i = 0; i < n; ++i) {
        const auto v = static_cast<uint32_t>(values[i]);
        const unsigned char bytes[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                                        static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
        const uint64_t h = fnv1a_64(bytes, 4);
        hash_combine(seed, h);
    }
    return seed;
}

size_t range_t::hash() const noexcept {
    const int32_t values[6] = {first.grid_id, first.row, first.col, last.grid_id, last.row, last.col};
    return static_cast<size_t>(hash_values(values, 6));
}

range_t& range_t::intersect(const range_t& other) noexcept {
    const bool rows = first.row <= other.last.row && other.first.row <= last.row;
    const bool cols = first.col <= other.last.col && other.first.col <= last.col;
    if (rows && cols) {
        first.row = std::max(first.row, other.first.row);
        first.col = std::max(first.col, other.first.col);
        last.row = std::min(last.row, other.last.row);
        last.col = std::min(last.col, other.last.col);
    } else {
        first = last = coord_t{0, 0, 0, 1, 0, 0};
    }
    return *this;
}

} // namespace vex
