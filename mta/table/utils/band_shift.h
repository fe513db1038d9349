#pragma once
// How a span of rows or columns follows an insertion or a deletion on its axis:
// the indexes after the change point move, a span across it grows or shrinks, and
// a span whose indexes are all deleted or pushed off the end is gone.

#include "coord.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

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

// One insertion or deletion of rows within a band of columns, or of columns
// within a band of rows, as every store of a sheet follows it. The bounds are
// checked and ordered before one is made.
struct band_shift_t {
    bool rows = true;    // rows move, else columns
    bool insert = true;  // else a deletion
    int band_lo = 0;     // the band across the axis
    int band_hi = 0;
    int first = 0;  // an insertion's point, a deletion's first index
    int count = 0;  // indexes opened or deleted
    int edge = 0;   // the table's last index along the axis

    // From the arguments of an insertion or a deletion, bounds in either order.
    static band_shift_t inserting(bool rows, int band_a, int band_b, int at, int count, int edge) noexcept {
        return {rows, true, std::min(band_a, band_b), std::max(band_a, band_b), at, count, edge};
    }
    static band_shift_t deleting(bool rows, int band_a, int band_b, int a, int b, int edge) noexcept {
        const int64_t n = int64_t(std::max(a, b)) - std::min(a, b) + 1;
        return {rows, false, std::min(band_a, band_b), std::max(band_a, band_b), std::min(a, b), int(n), edge};
    }

    int last() const noexcept { return first + count - 1; }
    int32_t along(const coord_t& c) const noexcept { return rows ? c.row : c.col; }
    int32_t& along(coord_t& c) const noexcept { return rows ? c.row : c.col; }
    int32_t across(const coord_t& c) const noexcept { return rows ? c.col : c.row; }
    int32_t& across(coord_t& c) const noexcept { return rows ? c.col : c.row; }
    bool in_band(const coord_t& c) const noexcept { return across(c) >= band_lo && across(c) <= band_hi; }

    // The span along the axis follows; false when it goes.
    bool follow(int& lo, int& hi) const noexcept {
        return insert ? span_after_insert(lo, hi, first, count, edge) : span_after_delete(lo, hi, first, last());
    }
    // A range inside the band follows, one reaching outside it stays where it
    // is; false when it goes. The range comes back ordered.
    bool follow(vex::range_t& r) const noexcept {
        r.order();
        if (!in_band(r.first) || !in_band(r.last)) return true;
        int lo = along(r.first), hi = along(r.last);
        if (!follow(lo, hi)) return false;
        along(r.first) = lo;
        along(r.last) = hi;
        return true;
    }

    // A formula reference in sheet coordinates follows the cells it names;
    // false when they are all gone (#REF!). With `absolute_only` (a defined
    // name) a part without '$' along the axis never moves, and a range with one
    // such corner keeps the other corner's rules of its own.
    bool follow_reference(vex::range_t& r, bool absolute_only) const noexcept {
        // A whole column (row) stays whole: cut at row 2 it would miss the row inserted above.
        if (whole_along(r)) return true;
        const uint8_t a1 = rows ? r.first.flag1 : r.first.flag2;
        const uint8_t a2 = rows ? r.last.flag1 : r.last.flag2;
        if (!absolute_only || (a1 && a2)) return follow(r);
        if (!a1 && !a2) return true;
        // As for a range of two absolute corners: one the band cuts across stays,
        // since moving part of it would name other cells.
        if (!inside_band(across(r.first), across(r.last), band_lo, band_hi)) return true;
        coord_t& moving = a1 ? r.first : r.last;
        const auto in_block = [&](const coord_t& c) { return in_band(c) && along(c) >= first && along(c) <= last(); };
        if (insert) {
            if (!in_band(moving) || along(moving) < first || along(moving) > edge) return true;
            int lo = along(moving), hi = lo;
            if (follow(lo, hi)) along(moving) = lo;
            else if (a1) return false;
            else along(moving) = edge;
            return true;
        }
        const int lo_along = std::min(along(r.first), along(r.last)), hi_along = std::max(along(r.first), along(r.last));
        const int lo_across = std::min(across(r.first), across(r.last)), hi_across = std::max(across(r.first), across(r.last));
        if (lo_along > last()) {
            if (in_band(moving) && along(moving) <= edge) along(moving) -= count;
            return true;
        }
        if (hi_along < first || hi_across < band_lo || lo_across > band_hi) return true;
        const bool inside = lo_along >= first && hi_along <= last() && lo_across >= band_lo && hi_across <= band_hi;
        if (inside) return false;
        if (a1) return !in_block(r.first);
        return !(across(r.last) <= band_hi && along(r.last) <= last());
    }

    // An area the band cuts across follows cell by cell: its part inside the
    // band as a reference does, its parts beside the band staying, and cells an
    // insertion opens within its old bounds staying in it. The pieces left,
    // each with how far its cells moved along the axis, those that stayed
    // first, each lot as bands along the axis. False when the band does not
    // cut the area: it follows as a reference does.
    bool cut_area(vex::range_t r, std::vector<std::pair<vex::range_t, int>>& out) const {
        out.clear();
        r.order();
        if (!reaches(r) || whole_along(r) || (in_band(r.first) && in_band(r.last))) return false;
        struct piece_t {
            int lo, hi, x_lo, x_hi;
        };
        const int lo = along(r.first), hi = along(r.last);
        const int x_lo = std::max(across(r.first), band_lo), x_hi = std::min(across(r.last), band_hi);
        std::vector<piece_t> stayed, moved;
        if (across(r.first) < band_lo) stayed.push_back({lo, hi, across(r.first), band_lo - 1});
        if (across(r.last) > band_hi) stayed.push_back({lo, hi, band_hi + 1, across(r.last)});
        if (const int64_t opened_hi = std::min<int64_t>(hi, int64_t(first) + count - 1); insert && opened_hi >= lo)
            stayed.push_back({std::max(lo, first), int(opened_hi), x_lo, x_hi});
        int a = lo, b = hi;
        const int by = first > lo ? 0 : insert ? count : -count;
        if (follow(a, b)) (by ? moved : stayed).push_back({a, b, x_lo, x_hi});
        // Runs of indexes along the axis whose cells across are the same make one band.
        const auto add_bands = [&](const std::vector<piece_t>& pieces, int moved_by) {
            std::vector<int> cuts;
            for (const piece_t& p : pieces) cuts.insert(cuts.end(), {p.lo, p.hi + 1});
            std::sort(cuts.begin(), cuts.end());
            cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
            std::vector<std::pair<int, int>> run, now;
            int run_lo = 0, run_hi = 0;
            const auto flush = [&] {
                for (const auto& [x1, x2] : run) {
                    vex::range_t piece = r;
                    along(piece.first) = run_lo;
                    along(piece.last) = run_hi;
                    across(piece.first) = x1;
                    across(piece.last) = x2;
                    out.emplace_back(piece, moved_by);
                }
            };
            for (size_t i = 0; i + 1 < cuts.size(); ++i) {
                now.clear();
                for (const piece_t& p : pieces)
                    if (p.lo <= cuts[i] && p.hi >= cuts[i]) now.emplace_back(p.x_lo, p.x_hi);
                std::sort(now.begin(), now.end());
                size_t kept = 0;
                for (size_t j = 0; j < now.size(); ++j) {
                    if (kept && now[j].first <= now[kept - 1].second + 1)
                        now[kept - 1].second = std::max(now[kept - 1].second, now[j].second);
                    else now[kept++] = now[j];
                }
                now.resize(kept);
                if (!now.empty() && now == run && run_hi + 1 == cuts[i]) {
                    run_hi = cuts[i + 1] - 1;
                    continue;
                }
                flush();
                run = now;
                run_lo = cuts[i];
                run_hi = cuts[i + 1] - 1;
            }
            flush();
        };
        add_bands(stayed, 0);
        add_bands(moved, by);
        return true;
    }

    // Whether the shift moves or deletes any cell of the range.
    bool reaches(vex::range_t r) const noexcept {
        r.order();
        return across(r.last) >= band_lo && across(r.first) <= band_hi && along(r.last) >= first;
    }

    // Whether the shift moves or deletes some cells of the range and leaves the
    // others, so that a block such as an array formula cannot follow it whole.
    bool cuts(vex::range_t r) const noexcept {
        r.order();
        if (!reaches(r)) return false;
        if (!in_band(r.first) || !in_band(r.last)) return true;
        if (along(r.first) < first) return true;
        return !insert && along(r.first) <= last() && along(r.last) > last();
    }

    // Whether the shift adds or removes indexes of a block such as a table, or
    // takes it: a block moving whole, or left where it is, keeps its shape.
    bool reshapes(vex::range_t r) const noexcept {
        r.order();
        if (!reaches(r)) return false;
        if (!in_band(r.first) || !in_band(r.last)) return true;
        vex::range_t after = r;
        if (!follow(after)) return true;
        return along(after.last) - along(after.first) != along(r.last) - along(r.first);
    }

    // Whether the range spans the axis from its first index to the edge.
    bool whole_along(const vex::range_t& r) const noexcept {
        return std::min(along(r.first), along(r.last)) <= 1 && std::max(along(r.first), along(r.last)) >= edge;
    }

    // Whether what a reference reads may differ after the shift, followed as
    // follow_reference moves it. Only a range lying wholly before the band or
    // beside it, or wholly inside the cells the shift moves and moving whole,
    // reads the same cells in the same order: one the band reaches into or
    // across gains or loses cells, or has cells moved within it (a lookup, a
    // count or a position gives another answer though no value changed).
    bool changes_reading(vex::range_t r, bool absolute_only) const noexcept {
        r.order();
        if (!reaches(r)) return false;
        if (!in_band(r.first) || !in_band(r.last) || whole_along(r)) return true;
        const int moved_from = insert ? first : last() + 1;
        if (along(r.first) < moved_from) return true;
        if (insert && int64_t(along(r.last)) + count > edge) return true;  // pushed off, or cut at the edge
        if (!absolute_only) return false;
        vex::range_t kept = r, moved = r;
        if (!follow_reference(kept, true) || !follow(moved)) return true;
        kept.order();
        return kept != moved;
    }
};

} // namespace vex::mta
