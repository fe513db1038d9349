#include "mta/table/utils/outline_store.h"

#include "run_message.h"

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

namespace vex::mta {

namespace {

// Levels are compared and negated in 64 bits: a level read from a file may be
// INT32_MIN, whose magnitude has no 32-bit form.
int64_t magnitude(int32_t v) noexcept {
    return v < 0 ? -int64_t(v) : int64_t(v);
}

int32_t to_level(int64_t v) noexcept {
    return int32_t(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

} // namespace

int64_t outline_store_t::outline_level(int64_t index, bool& collapsed) const noexcept {
    collapsed = false;
    const auto i = runs_.run_index_of(index);
    if (!i) return -1;
    const int32_t v = runs_.runs()[*i].value;
    collapsed = v < 0;
    return magnitude(v);
}

int64_t outline_store_t::next_shallower(int64_t index) const noexcept {
    const auto at = runs_.run_index_of(index);
    if (!at) return int64_t(last()) + 1;
    const int64_t own = magnitude(runs_.runs()[*at].value);
    for (size_t i = *at + 1; i < runs_.runs().size(); ++i)
        if (magnitude(runs_.runs()[i].value) < own) return runs_.runs()[i].start;
    return int64_t(last()) + 1;
}

int64_t outline_store_t::max_outline_level() const noexcept {
    int64_t m = 0;
    for (const auto& r : runs_.runs()) m = std::max(m, magnitude(r.value));
    return m;
}

bool outline_store_t::group_outline(int64_t a, int64_t b, bool collapsed) {
    const int64_t lo = std::min(a, b), hi = std::max(a, b);
    if (lo < first() || hi > last()) return true;
    const auto& runs = runs_.runs();
    for (size_t i = *runs_.run_index_of(lo); i < runs.size() && runs[i].start <= hi; ++i) {
        if (magnitude(runs[i].value) >= max_group_level)
            return refuse("The highest level of the outline is " + std::to_string(max_group_level) + ".");
    }
    change_level__(true, lo, hi, collapsed);
    return true;
}

void outline_store_t::ungroup_outline(int64_t a, int64_t b) {
    const int64_t lo = std::min(a, b), hi = std::max(a, b);
    if (lo < first() || hi > last()) return;
    change_level__(false, lo, hi, false);
}

void outline_store_t::change_level__(bool group, int64_t lo, int64_t hi, bool collapsed) {
    const auto& runs = runs_.runs();
    std::vector<runs_t::span_t> spans;
    for (size_t i = *runs_.run_index_of(lo); i < runs.size() && runs[i].start <= hi; ++i) {
        const int64_t v = runs[i].value;
        int64_t next;
        if (group) {
            next = v >= 0 ? v + 1 : v - 1;
            if (collapsed && next > 0) next = -next;
        } else {
            next = v > 0 ? v - 1 : v < 0 ? v + 1 : 0;
        }
        spans.push_back({std::max<int64_t>(runs[i].start, lo), std::min<int64_t>(runs_.run_end(i), hi), to_level(next)});
    }
    runs_.assign_spans(spans);
}

void outline_store_t::set_outline_collapsed(int64_t index, bool collapsed) {
    const auto i = runs_.run_index_of(index);
    if (!i) return;
    const int64_t m = magnitude(runs_.runs()[*i].value);
    runs_.assign(index, index, to_level(collapsed ? -m : m));
}

bool outline_store_t::collapse_group_before(int64_t index) {
    const auto at = runs_.run_index_of(index);
    if (!at || index <= first()) return false;
    const int64_t own = magnitude(runs_.runs()[*at].value);
    std::vector<runs_t::span_t> spans;
    for (size_t i = *runs_.run_index_of(index - 1) + 1; i-- > 0;) {
        const int64_t m = magnitude(runs_.runs()[i].value);
        if (m <= own) break;
        spans.push_back({int64_t(runs_.runs()[i].start), std::min<int64_t>(runs_.run_end(i), index - 1), to_level(-m)});
    }
    if (spans.empty()) return false;
    std::reverse(spans.begin(), spans.end());
    runs_.assign_spans(spans);
    return true;
}

std::optional<bool> outline_store_t::group_before_collapsed(int64_t index) const {
    const auto at = runs_.run_index_of(index);
    if (!at || index <= first()) return std::nullopt;
    const int64_t own = magnitude(runs_.runs()[*at].value);
    std::optional<bool> collapsed;
    for (size_t i = *runs_.run_index_of(index - 1) + 1; i-- > 0;) {
        const int32_t v = runs_.runs()[i].value;
        if (magnitude(v) <= own) break;
        if (v > 0) return false;
        collapsed = true;
    }
    return collapsed;
}

std::optional<int32_t> outline_store_t::first_non_default() const noexcept {
    for (const auto& r : runs_.runs())
        if (r.value != runs_.default_value()) return int32_t(r.start);
    return std::nullopt;
}

std::optional<int32_t> outline_store_t::last_non_default() const noexcept {
    const auto& runs = runs_.runs();
    if (runs.back().value != runs_.default_value()) return last();
    if (runs.size() > 1) return int32_t(runs.back().start) - 1;
    return std::nullopt;
}

bool outline_store_t::can_insert(int64_t at) const {
    if (at != first() && runs_.run_index_of(at - 1) && magnitude(runs_.value_at(at - 1)) == std::numeric_limits<int32_t>::max())
        return refuse("Out of range.");
    return true;
}

bool outline_store_t::insert(int64_t at, int64_t count) {
    if (!can_insert(at)) return false;
    runs_.insert(at, count);
    return true;
}

void outline_store_t::erase(int64_t at, int64_t count) {
    if (count < 1) return;
    runs_.erase(at, at + count - 1);
}

} // namespace vex::mta
