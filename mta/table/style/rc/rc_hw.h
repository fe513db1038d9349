#pragma once
// Row heights or column widths of a sheet in EMU, as segments over the keys: a
// segment runs from its key up to the next one's. A key never given a size holds
// the marker, which stands for the table's default, so a sheet of a million rows
// costs a handful of segments. The segments sit in an ordered map, so a change
// costs the segments it touches: a sheet read row by row stays linear.

#include "errors.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <limits>
#include <map>
#include <optional>
#include <vector>

namespace vex::mta {

// 914400 per inch, 12700 per point, 9525 per pixel at 96 per inch, 36000 per mm.
inline constexpr int64_t emu_per_inch = 914400;
inline constexpr int64_t emu_per_point = 12700;
inline constexpr int64_t emu_per_mm = 36000;

// unit 0 points, 1 inches, 2 millimetres; capped at the sheet's highest row. 0 for
// any other unit or a value that is not a number.
int64_t row_height_to_emu(double value, int unit);
// unit 0 characters of 8 pixels with 5 pixels of padding, 1 inches, 2
// millimetres; capped at the sheet's widest column.
int64_t col_width_to_emu(double value, int unit);
// The reading side: EMU back into the unit, 0.0 for an unknown unit.
double emu_to_row_height(int64_t emu, int unit);
double emu_to_col_width(int64_t emu, int unit);

template <class K, class V>
class rc_hw {
public:
    static constexpr V marker = std::numeric_limits<V>::max();

    struct segment_t {
        K start;
        K end;  // inclusive
        V value;
    };

    // Keys first..last, all holding the marker.
    rc_hw(K first, K last) : first_(first), last_(last) {
        segs_.emplace(first, marker);
        segs_.emplace(K(last + 1), marker);
    }
    virtual ~rc_hw() = default;
    rc_hw(const rc_hw&) = delete;
    rc_hw& operator=(const rc_hw&) = delete;

    K first() const noexcept { return first_; }
    K last() const noexcept { return last_; }

    // Keys a..b (either order, clamped to the store) take v.
    void assign(K a, K b, V v) {
        if (a > b) std::swap(a, b);
        if (b < first_ || a > last_) return;
        a = std::max(a, first_);
        b = std::min(b, last_);
        auto seg = locate(a);
        if (seg->first < a) seg = segs_.emplace_hint(std::next(seg), a, seg->second);
        const K end = K(b + 1);  // last_ + 1 at most, the closing key
        V tail = seg->second;
        auto next = std::next(seg);
        while (next->first < end) {
            tail = next->second;
            next = segs_.erase(next);
        }
        if (next->first > end) next = segs_.emplace_hint(next, end, tail);
        seg->second = v;
        if (std::next(next) != segs_.end() && next->second == v) segs_.erase(next);
        if (seg != segs_.begin() && std::prev(seg)->second == v) segs_.erase(seg);
    }

    // The segment holding key k; nothing outside the store.
    std::optional<segment_t> lookup(K k) const {
        if (k < first_ || k > last_) return std::nullopt;
        const auto seg = locate(k);
        return segment_t{seg->first, K(std::next(seg)->first - 1), seg->second};
    }

    // The sum over keys i..j, a marker counting as `def`; 0 when i > j. Products
    // that overflow count as the largest value and the sum saturates.
    V get_sum_value(const V& def, K i, K j) const {
        if (i < first_ || i > last_ || j < first_ || j > last_) throw general_error("Key out of range.");
        if (i > j) return 0;
        V sum = 0;
        for (auto seg = locate(i), next = std::next(seg); next != segs_.end() && seg->first <= j; seg = next++) {
            const int64_t from = std::max<int64_t>(seg->first, i);
            const int64_t to = std::min<int64_t>(next->first - 1, j);
            V part;
            if (__builtin_mul_overflow(seg->second == marker ? def : seg->second, V(to - from + 1), &part))
                part = std::numeric_limits<V>::max();
            if (__builtin_add_overflow(sum, part, &sum))
                sum = part < 0 ? std::numeric_limits<V>::min() : std::numeric_limits<V>::max();
        }
        return sum;
    }

    // True when every key of a..b (either order) holds the marker; false when one
    // lies outside the store.
    bool all_marker(K a, K b) const { return !any_of(a, b, [](V v) { return v != marker; }); }
    // True when a key of a..b (either order) holds the marker; false when one lies
    // outside the store.
    bool any_marker(K a, K b) const { return any_of(a, b, [](V v) { return v == marker; }); }

    std::vector<segment_t> segments() const {
        std::vector<segment_t> out;
        out.reserve(segs_.size() - 1);
        for (auto s = segs_.begin(), next = std::next(s); next != segs_.end(); s = next++)
            out.push_back({s->first, K(next->first - 1), s->second});
        return out;
    }

    // Opens n marker keys at `at`; keys pushed past last() are dropped.
    void insert(K at, K n) {
        if (n < 1 || at < first_ || at > last_) return;
        std::vector<segment_t> out;
        bool opened = false;
        const auto open = [&] {
            if (!opened) push(out, {at, at, marker});
            opened = true;
        };
        for (const auto& s : segments()) {
            if (s.end < at) {
                push(out, s);
                continue;
            }
            if (s.start < at) push(out, s);
            open();
            const int64_t moved = std::max<int64_t>(s.start, at) + n;
            if (moved <= last_) push(out, {K(moved), s.end, s.value});
        }
        rebuild(out);
    }

    // Removes keys a..b (both in the store); later keys move down and the freed
    // tail holds the marker.
    void erase(K a, K b) {
        if (a > b || a < first_ || b > last_) return;
        const int64_t len = int64_t(b) - a + 1;
        std::vector<segment_t> out;
        for (const auto& s : segments()) {
            if (s.start < a) push(out, s);
            if (s.end > b) push(out, {K(std::max<int64_t>(s.start, int64_t(b) + 1) - len), s.end, s.value});
        }
        push(out, {K(last_ - len + 1), last_, marker});
        rebuild(out);
    }

private:
    using map_t = std::map<K, V>;

    // True for a span outside the store.
    template <class P>
    bool any_of(K a, K b, P&& pred) const {
        if (a > b) std::swap(a, b);
        if (a < first_ || b > last_) return true;
        for (auto seg = locate(a); std::next(seg) != segs_.end() && seg->first <= b; ++seg)
            if (pred(seg->second)) return true;
        return false;
    }

    // Segments in key order, the first starting at first(); equal neighbours join.
    static void push(std::vector<segment_t>& out, const segment_t& s) {
        if (!out.empty() && out.back().value == s.value) return;
        out.push_back(s);
    }

    void rebuild(const std::vector<segment_t>& segs) {
        segs_.clear();
        for (const auto& s : segs) segs_.emplace_hint(segs_.end(), s.start, s.value);
        segs_.emplace_hint(segs_.end(), K(last_ + 1), marker);
    }

    // The segment holding k, a key of the store.
    typename map_t::iterator locate(K k) { return std::prev(segs_.upper_bound(k)); }
    typename map_t::const_iterator locate(K k) const { return std::prev(segs_.upper_bound(k)); }

    K first_;
    K last_;
    // Segment starts and their values, closed by a marker at last() + 1.
    map_t segs_;
};

} // namespace vex::mta
