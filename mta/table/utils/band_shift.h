#pragma once
// How a span of rows or columns follows an insertion or a deletion on its axis:
// the indexes after the change point move, a span across it grows or shrinks, and
// a span whose indexes are all deleted or pushed off the end is gone.

#include <algorithm>
#include <cstdint>

namespace vex::mta {

// The span [lo, hi] lies within the band [band_lo, band_hi] of the other axis.
inline bool inside_band(int lo, int hi, int band_lo, int band_hi) noexcept {
    return std::min(lo, hi) >= band_lo && std::max(lo, hi) <= band_hi;
}

// count indexes opened at `at`; false when the span is pushed past `last`.
inline bool span_after_insert(int& lo, int& hi, int at, int count, int last) noexcept {
    if (lo > hi) std::swap(lo, hi);
    int64_t l = lo, h = hi;
    if (count < 1) return true;
    if (at <= l) {
        l += count;
        h += count;
    } else if (at <= h) {
        h += count;
    }
    if (l > last) return false;
    lo = static_cast<int>(l);
    hi = static_cast<int>(std::min<int64_t>(h, last));
    return true;
}

// Indexes first..last (ordered) removed; false when the whole span goes.
inline bool span_after_delete(int& lo, int& hi, int first, int last) noexcept {
    if (lo > hi) std::swap(lo, hi);
    if (first > last || hi < first) return true;
    const int n = last - first + 1;
    if (lo > last) {
        lo -= n;
        hi -= n;
        return true;
    }
    const int new_lo = std::min(lo, first);
    const int new_hi = hi > last ? hi - n : first - 1;
    if (new_hi < new_lo) return false;
    lo = new_lo;
    hi = new_hi;
    return true;
}

} // namespace vex::mta
