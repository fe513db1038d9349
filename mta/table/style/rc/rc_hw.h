#pragma once
// Row heights or column widths of a sheet in EMU, as segments over the keys: a
// segment runs from its key up to the next one's. A key never given a size holds
// the marker, which stands for the table's default, so a sheet of a million rows
// costs a handful of segments. Leaves come from a pool; a sorted index over them
// is rebuilt on the first lookup after a change.

#include "errors.h"
#include "pool/memory_pool.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>
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
    rc_hw(K first, K last) : pool_(sizeof(leaf)), first_(first), last_(last) {
        head_ = make(first, marker, make(K(last + 1), marker, nullptr));
    }
    virtual ~rc_hw() { clear_list(); }
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
        auto [seg, prev] = locate(a);
        if (seg->key < a) {
            seg->next = make(a, seg->value, seg->next);
            prev = seg;
            seg = seg->next;
        }
        const int64_t end = int64_t(b) + 1;
        V tail = seg->value;
        while (seg->next->key < end) {
            leaf* gone = seg->next;
            tail = gone->value;
            seg->next = gone->next;
            drop(gone);
        }
        if (seg->next->key > end) seg->next = make(K(end), tail, seg->next);
        seg->value = v;
        if (seg->next->next && seg->next->value == v) {
            leaf* gone = seg->next;
            seg->next = gone->next;
            drop(gone);
        }
        if (prev && prev->value == v) {
            prev->next = seg->next;
            drop(seg);
        }
        indexed_ = false;
    }

    // The segment holding key k; nothing outside the store.
    std::optional<segment_t> lookup(K k) const {
        if (k < first_ || k > last_) return std::nullopt;
        const leaf* seg = locate(k).first;
        return segment_t{seg->key, K(seg->next->key - 1), seg->value};
    }

    // The sum over keys i..j, a marker counting as `def`; 0 when i > j. Products
    // that overflow count as the largest value and the sum saturates.
    V get_sum_value(const V& def, K i, K j) const {
        if (i < first_ || i > last_ || j < first_ || j > last_) throw general_error("Key out of range.");
        if (i > j) return 0;
        V sum = 0;
        for (const leaf* seg = locate(i).first; seg->next && seg->key <= j; seg = seg->next) {
            const int64_t from = std::max<int64_t>(seg->key, i);
            const int64_t to = std::min<int64_t>(seg->next->key - 1, j);
            V part;
            if (__builtin_mul_overflow(seg->value == marker ? def : seg->value, V(to - from + 1), &part))
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
        for (const leaf* s = head_; s->next; s = s->next) out.push_back({s->key, K(s->next->key - 1), s->value});
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
    struct leaf {
        K key;
        V value;
        leaf* next;
    };

    leaf* make(K key, V value, leaf* next) {
        return new (pool_.alloc(1)) leaf{key, value, next};
    }
    void drop(leaf* l) { pool_.release(l, 1); }

    void clear_list() {
        while (head_) {
            leaf* next = head_->next;
            drop(head_);
            head_ = next;
        }
    }

    // True for a span outside the store.
    template <class P>
    bool any_of(K a, K b, P&& pred) const {
        if (a > b) std::swap(a, b);
        if (a < first_ || b > last_) return true;
        for (const leaf* seg = locate(a).first; seg->next && seg->key <= b; seg = seg->next)
            if (pred(seg->value)) return true;
        return false;
    }

    // Segments in key order, the first starting at first(); equal neighbours join.
    static void push(std::vector<segment_t>& out, const segment_t& s) {
        if (!out.empty() && out.back().value == s.value) return;
        out.push_back(s);
    }

    void rebuild(const std::vector<segment_t>& segs) {
        clear_list();
        leaf* tail = head_ = make(K(last_ + 1), marker, nullptr);
        for (auto it = segs.rbegin(); it != segs.rend(); ++it) tail = head_ = make(it->start, it->value, tail);
        indexed_ = false;
    }

    // The leaf whose segment holds k (a key of the store) and the one before it.
    std::pair<leaf*, leaf*> locate(K k) const {
        if (!indexed_) {
            index_.clear();
            for (leaf* s = head_; s->next; s = s->next) index_.push_back(s);
            indexed_ = true;
        }
        const auto it = std::upper_bound(index_.begin(), index_.end(), k,
                                         [](K key, const leaf* l) { return key < l->key; });
        const size_t at = static_cast<size_t>(it - index_.begin()) - 1;
        return {index_[at], at ? index_[at - 1] : nullptr};
    }

    memory_pool pool_;
    K first_;
    K last_;
    leaf* head_ = nullptr;
    mutable std::vector<leaf*> index_;
    mutable bool indexed_ = false;
};

} // namespace vex::mta
