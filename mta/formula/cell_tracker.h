#pragma once
// Which formulas depend on a changed range, and in which order formulas must be
// evaluated so that each comes after those it reads. One tracker serves the
// process; it guards itself with one lock that is never held while calling out.

#include "coord.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace vex::mta::formula {

class formula_cell;
class model_context;

// A graph over ranges, built for one ordering: nodes and neighbours keep
// their insertion order, so every ordering of the same input is the same.
class range_graph_t {
public:
    void add_node(const vex::range_t& range) { node__(range); }
    // `from` is evaluated after `to`; an edge given twice counts once.
    void add_edge(const vex::range_t& from, const vex::range_t& to);
    bool contains(const vex::range_t& range) const { return index_.contains(range); }
    size_t size() const noexcept { return nodes_.size(); }
    // Depth-first post-order without recursion: each node after its neighbours.
    // A cycle is entered once; the node entered first comes last.
    std::vector<vex::range_t> topological_order() const;

private:
    size_t node__(const vex::range_t& range);

    std::vector<vex::range_t> nodes_;
    std::unordered_map<vex::range_t, size_t> index_;
    std::vector<std::vector<size_t>> neighbours_;
    std::unordered_set<uint64_t> edges_;
};

class cell_tracker_t {
public:
    cell_tracker_t();
    ~cell_tracker_t();
    cell_tracker_t(const cell_tracker_t&) = delete;
    cell_tracker_t& operator=(const cell_tracker_t&) = delete;

    // Scans the cell's references, records them and its range, marks it registered.
    void register_formula(formula_cell* cell);
    // Forgets the cell's references, its range and its volatile mark.
    void unregister_formula(formula_cell* cell);
    // The same for many cells at once, each range they read visited once.
    void unregister_formulas(std::span<formula_cell* const> cells);
    // Whether the cell is filed, unparked, with the references its tokens read
    // now; throws as register_formula does for a range it cannot hold.
    bool files_as_read(formula_cell* cell);
    // Files what the cell reads now against what it was filed with, when it
    // still reads those in their order but for fewer left out than gained (a
    // sheet came into a span it reads) or for a few ranges (a sheet left a
    // span or moved inside it): a span costs the grids that changed, not its
    // width. False, changing nothing, when it reads otherwise or is not filed.
    bool file_gains(formula_cell* cell);
    // A sheet came inside a span the cell reads, whose ranges are filed one
    // per sheet in the workbook's order from `first` (the range of the sheet
    // `first_grid`) on: files the range on `grid` at `at`, between those of the
    // sheets `before` and `after`, costing the one range, not the span's
    // width. False, changing nothing, when the filing holds other ranges there
    // or the cell is not filed.
    struct span_gain_t {
        size_t first = 0;
        uint32_t first_grid = 0;
        size_t at = 0;
        uint32_t before = 0;
        uint32_t after = 0;
        uint32_t grid = 0;
    };
    bool file_span_gain(const formula_cell& cell, const span_gain_t& gain);
    void add(const vex::range_t& formula_range, const vex::range_t& referenced);
    void remove(const vex::range_t& referenced, const vex::range_t& formula_range);
    void add_volatile(const vex::range_t& formula_range);
    // Formulas whose results are gone leave the dependency index: a change
    // finds them no more until unpark(), which brings back the formula and the
    // parked formulas it reads, so that a result kept downstream is found;
    // registering a formula brings back those it reads alike.
    void park(const std::vector<vex::range_t>& formula_ranges);
    void unpark(const vex::range_t& formula_range);

    // Formula ranges overlapping the range, which must lie on one grid.
    std::vector<vex::range_t> query(const vex::range_t& range) const;
    // Whether a formula of the grid is filed as losing its result on any change.
    bool holds_volatile_on(uint32_t grid) const;
    // Formula ranges that reference anything overlapping the range.
    std::vector<vex::range_t> dependents_of(const vex::range_t& range) const;
    // Every formula to recompute after `changed` (and the volatile ones and
    // `extra`), precedents first.
    std::vector<vex::range_t> get_dirty_ranges(const std::unordered_set<vex::range_t>& changed,
                                               const std::unordered_set<vex::range_t>* extra = nullptr) const;
    // The formulas of the context's own grid, or of those overlapping `range`
    // on it, precedents first.
    std::vector<vex::range_t> order_all(model_context& context) const;
    std::vector<vex::range_t> order_range(const vex::range_t& range, model_context& context) const;
    // Drops everything recorded on a grid that goes away.
    void purge_grid(int32_t grid_id);

    // Which cells of one grid formulas read: the box around every range the
    // formulas read there (none when `reads` is clear). Valid while
    // generation() stays the same, so a caller may keep it and look without
    // the lock. A volatile formula holding a result reads every cell.
    struct reach_t {
        uint64_t generation = ~uint64_t(0);
        bool reads = false;
        bool volatiles = false;
        vex::range_t box{};
        // False only when no formula reads any of the cells.
        bool may_reach(int32_t r1, int32_t c1, int32_t r2, int32_t c2) const noexcept {
            return volatiles ||
                   (reads && r1 <= box.last.row && box.first.row <= r2 && c1 <= box.last.col && box.first.col <= c2);
        }
    };
    reach_t reach_of(int32_t grid_id) const;
    // Moves on with every change of what any tracker records: one counter for
    // all, so that a look needs no tracker at hand.
    static uint64_t generation() noexcept { return generation_.load(std::memory_order_acquire); }

private:
    // A formula read for registering, not yet filed.
    struct pending_t {
        vex::range_t source;
        std::vector<vex::range_t> references;
        bool is_volatile;
    };

public:
    // While held, forgetting formulas leaves the trees as they are, so that
    // formulas registered again in bulk (a shift moves them all) revive the
    // entries they left instead of rebuilding the trees and inserting anew.
    // The last release rebuilds the trees that are mostly dead.
    class compaction_hold_t {
    public:
        explicit compaction_hold_t(cell_tracker_t& tracker);
        ~compaction_hold_t();
        compaction_hold_t(const compaction_hold_t&) = delete;
        compaction_hold_t& operator=(const compaction_hold_t&) = delete;

    private:
        cell_tracker_t& tracker_;
    };

    // Formulas registered together, as a sheet being loaded registers them:
    // add() reads each cell as register_formula does, and the batch files all
    // of them when it ends, building each tree that held nothing in one bulk
    // load instead of one insertion per entry. Until then a change finds none
    // of them.
    class batch_t {
    public:
        explicit batch_t(cell_tracker_t& tracker) : tracker_(tracker) {}
        ~batch_t();
        batch_t(const batch_t&) = delete;
        batch_t& operator=(const batch_t&) = delete;

        // Throws as register_formula does, before the cell counts as registered.
        void add(formula_cell* cell);

    private:
        cell_tracker_t& tracker_;
        std::vector<pending_t> pending_;
    };

private:
    struct state;
    std::vector<vex::range_t> order__(const std::vector<vex::range_t>& formulas, model_context& context) const;
    static pending_t read__(formula_cell& cell);
    void file__(std::vector<pending_t>& pending);

    static void changed__() noexcept { generation_.fetch_add(1, std::memory_order_release); }

    mutable std::mutex mutex_;
    std::unique_ptr<state> state_;
    static inline std::atomic<uint64_t> generation_{0};
};

// Built on first use and never destroyed.
cell_tracker_t& get_cell_tracker();

} // namespace vex::mta::formula
