#pragma once
// Run-length values over one axis of a sheet: style indexes down a column, row and
// column records, outline levels. Styling a million rows costs one run, not a
// million entries.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <type_traits>
#include <vector>

#include "gap_vector.h"

namespace vex::mta {

template <class V>
bool equal_values(const V& a, const V& b) {
    return a == b;
}

// Runs are sorted by start; a run covers its start up to the next run's start minus
// one, the last one up to last(). No two neighbouring runs hold equal values.
// With KeyOf (a function object giving a value's uint16_t key), the store also
// tells where the runs of each key start, so that a change over the whole store
// asks for each key's new value once.
template <class V, bool (*Eq)(const V&, const V&) = equal_values<V>, class KeyOf = void>
class run_store_t {
public:
    struct run_t {
        uint32_t start;
        V value;
    };

    static constexpr bool indexed = !std::is_void_v<KeyOf>;

    run_store_t(int32_t first, int32_t last, V default_value)
        : first_(first), last_(last), default_(std::move(default_value)) {
        if (first < 0 || last < first) throw std::invalid_argument("run store bounds out of order");
        runs_.push_back({static_cast<uint32_t>(first), default_});
    }

    int32_t first() const noexcept { return first_; }
    int32_t last() const noexcept { return last_; }
    const V& default_value() const noexcept { return default_; }
    const gap_vector<run_t>& runs() const noexcept { return runs_; }

    // The last index the run at i covers.
    int32_t run_end(size_t i) const noexcept {
        return i + 1 < runs_.size() ? static_cast<int32_t>(runs_[i + 1].start) - 1 : last_;
    }

    std::optional<size_t> run_index_of(int64_t index) const noexcept {
        if (index < first_ || index > last_) return std::nullopt;
        auto it = std::upper_bound(runs_.begin(), runs_.end(), index,
                                   [](int64_t i, const run_t& r) { return i < static_cast<int64_t>(r.start); });
        return static_cast<size_t>(it - runs_.begin()) - 1;
    }

    // The starts of each key's runs, in order; with KeyOf only. Read from the
    // runs when asked: only a change over the whole store asks, and it costs
    // every run anyway.
    std::map<uint16_t, std::vector<uint32_t>> starts_by_key() const requires indexed {
        std::map<uint16_t, std::vector<uint32_t>> out;
        for (const auto& r : runs_) out[KeyOf{}(r.value)].push_back(r.start);
        return out;
    }

    // The default outside [first, last].
    const V& value_at(int64_t index) const noexcept {
        const auto i = run_index_of(index);
        return i ? runs_[*i].value : default_;
    }

    // True when every index of [a, b] (clamped) holds the default.
    bool all_default_in(int64_t a, int64_t b) const noexcept {
        if (a > b) std::swap(a, b);
        a = std::max<int64_t>(a, first_);
        b = std::min<int64_t>(b, last_);
        if (a > b) return true;
        for (size_t i = *run_index_of(a); i < runs_.size() && runs_[i].start <= b; ++i)
            if (!Eq(runs_[i].value, default_)) return false;
        return true;
    }

    void assign(int64_t a, int64_t b, const V& value) {
        if (a > b) std::swap(a, b);
        if (b < first_ || a > last_) return;
        a = std::max<int64_t>(a, first_);
        b = std::min<int64_t>(b, last_);
        const size_t ia = *run_index_of(a);
        const size_t ib = *run_index_of(b);
        // What follows b keeps the value it had.
        std::optional<run_t> tail;
        if (b < last_ && (ib + 1 == runs_.size() || runs_[ib + 1].start != b + 1))
            tail = run_t{static_cast<uint32_t>(b + 1), runs_[ib].value};
        const size_t erase_from = runs_[ia].start == a ? ia : ia + 1;
        runs_.erase(erase_from, ib + 1);
        size_t at = erase_from;
        runs_.insert(at, run_t{static_cast<uint32_t>(a), value});
        if (tail) runs_.insert(at + 1, *tail);
        merge_around__(at, at + (tail ? 2 : 1));
    }

    struct span_t {
        int64_t first;
        int64_t last;
        V value;
    };

    // assign for many spans, sorted and apart, in one pass over the runs: restyling
    // a column of many runs costs their number, not its square.
    void assign_spans(const std::vector<span_t>& spans) {
        // Nothing to change costs nothing: restyling finds no change often.
        if (spans.empty()) return;
        // One span changes in place: a sheet read row by row stays linear.
        if (spans.size() == 1 && spans[0].first <= spans[0].last)
            return assign(spans[0].first, spans[0].last, spans[0].value);
        std::vector<run_t> out;
        out.reserve(runs_.size() + 2 * spans.size());
        size_t i = 0;
        const auto keep = [&](int64_t a, int64_t b) {  // the old runs over [a, b]
            while (run_end(i) < a) ++i;
            for (size_t j = i; j < runs_.size() && runs_[j].start <= b; ++j)
                push_merged__(out, run_t{static_cast<uint32_t>(std::max<int64_t>(runs_[j].start, a)), runs_[j].value});
        };
        int64_t next = first_;
        for (const auto& s : spans) {
            const int64_t a = std::max<int64_t>(s.first, first_), b = std::min<int64_t>(s.last, last_);
            if (a > b) continue;
            if (a < next) throw std::invalid_argument("run store spans out of order");
            if (a > next) keep(next, a - 1);
            push_merged__(out, run_t{static_cast<uint32_t>(a), s.value});
            next = b + 1;
        }
        if (next <= last_) keep(next, last_);
        runs_.assign(std::move(out));
    }

    // Removes [a, b]; later indexes move down by its length and the freed tail
    // takes the default.
    void erase(int64_t a, int64_t b) {
        if (a > b || a < first_ || b > last_) return;
        const auto len = static_cast<uint32_t>(b - a + 1);
        std::vector<run_t> out;
        out.reserve(runs_.size() + 1);
        for (size_t i = 0; i < runs_.size(); ++i) {
            const int64_t s = runs_[i].start;
            const int64_t e = run_end(i);
            if (e < a) {
                push_merged__(out, runs_[i]);
            } else if (s > b) {
                push_merged__(out, run_t{static_cast<uint32_t>(s - len), runs_[i].value});
            } else if (s < a) {
                push_merged__(out, runs_[i]);  // keeps its part before a
            } else if (e > b) {
                push_merged__(out, run_t{static_cast<uint32_t>(a), runs_[i].value});  // its part after b
            }
        }
        runs_.assign(std::move(out));
        const int64_t tail = last_ - static_cast<int64_t>(len) + 1;
        if (runs_.empty()) runs_.push_back({static_cast<uint32_t>(first_), default_});
        if (tail <= last_) assign(tail, last_, default_);
    }

    // Opens n default indexes at `at`; what is pushed past last() is dropped.
    void insert(int64_t at, int64_t n) {
        if (n < 1 || at < first_ || at > last_) return;
        const size_t i = *run_index_of(at);
        size_t keep = runs_.size();
        for (size_t j = i + 1; j < runs_.size(); ++j) {
            const int64_t moved = runs_[j].start + n;
            if (moved > last_) {
                keep = j;
                break;
            }
            runs_[j].start = static_cast<uint32_t>(moved);
        }
        runs_.truncate(keep);
        assign(at, std::min<int64_t>(at + n - 1, last_), default_);
    }

private:
    static void push_merged__(std::vector<run_t>& out, const run_t& r) {
        if (!out.empty() && Eq(out.back().value, r.value)) return;
        out.push_back(r);
    }

    // Joins equal neighbours within the runs [from - 1, to].
    void merge_around__(size_t from, size_t to) {
        size_t lo = from > 0 ? from - 1 : 0;
        size_t hi = std::min(to, runs_.size() - 1);
        for (size_t j = hi; j > lo; --j)
            if (Eq(runs_[j - 1].value, runs_[j].value)) runs_.erase(j, j + 1);
    }

    int32_t first_;
    int32_t last_;
    V default_;
    gap_vector<run_t> runs_;
};

} // namespace vex::mta
