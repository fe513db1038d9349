#pragma once
// The merged ranges of a sheet. They sit in an R-tree, so that the value guard
// and the shift guards look only at the ranges near a cell or an area, however
// many the sheet holds. Stored ranges never overlap and never cover one cell.
//
// Nothing is erased from the tree: mdds 2.0's rtree::erase corrupts the tree
// once a removal empties nodes on two levels (a row insert with 1,578 merges
// crashed). A removed range stays as a dead entry that searches skip, and the
// tree is refilled once the dead outnumber the live.

#include "coord.h"
#include "mta/table/utils/rtree_key.h"

#include <mdds/rtree.hpp>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace vex::mta {

class Table;
struct band_shift_t;

// Small nodes: a point lookup, once per cell written, then checks a few dozen
// boxes instead of a few hundred.
struct small_node_rtree_trait {
    static constexpr size_t dimensions = 2;
    static constexpr size_t min_node_size = 3;
    static constexpr size_t max_node_size = 8;
    static constexpr size_t max_tree_depth = 100;
    static constexpr bool enable_forced_reinsertion = true;
    static constexpr size_t reinsertion_size = 3;
};

class merged_cells_t {
public:
    explicit merged_cells_t(Table* table);

    size_t size() const noexcept { return live_; }
    bool empty() const noexcept { return live_ == 0; }
    // The index-th range in search order, kept until the next change; "Index out
    // of range." and false otherwise.
    bool merged_range(int index, vex::range_t& out) const;
    std::vector<vex::range_t> get_all() const;
    // The sheet reader keeps the cells' styles; a host's merge resets them.
    bool merge(const vex::range_t& range, bool keep_styles);
    // A range as a sheet file gives it: recorded only, no cell touched; a bad
    // range or one meeting a recorded range is refused.
    bool record_loaded(const vex::range_t& range);
    // 1 when the merged range holding the cell was removed, else 0.
    int unmerge(int row, int col);

    // A cell inside a merged range other than its top-left one.
    bool is_covered(int row, int col) const;
    bool overlaps(const vex::range_t& range) const;
    // Every merged range meeting the range lies wholly inside it.
    bool all_within(const vex::range_t& range) const;
    // As all_within, and then those ranges are unmerged; nothing changes when false.
    bool remove_within(const vex::range_t& range);

    // Guards: false, with the reason in the last message, when the shift would
    // cut a merged range in two.
    bool can_insert_rows(int first_col, int last_col, int row, int count) const;
    bool can_insert_cols(int first_row, int last_row, int col, int count) const;
    bool can_delete_rows(int first_col, int last_col, int first_row, int last_row) const;
    bool can_delete_cols(int first_row, int last_row, int first_col, int last_col) const;
    // The guard again, then the ranges after the shift point move with their
    // cells; a range that loses rows (columns) to a deletion keeps what is left,
    // and goes when one cell or none is left.
    bool on_insert_rows(int first_col, int last_col, int row, int count);
    bool on_insert_cols(int first_row, int last_row, int col, int count);
    bool on_delete_rows(int first_col, int last_col, int first_row, int last_row);
    bool on_delete_cols(int first_row, int last_row, int first_col, int last_col);
    // The move alone, for a shift whose guards have passed.
    void shift(const band_shift_t& s);

private:
    // Values tell live from dead.
    using tree_t = mdds::rtree<rtree_key_t, bool, small_node_rtree_trait>;
    using box_t = tree_t::extent_type;

    bool add__(const vex::range_t& range);
    tree_t& tree__();
    void insert__(const box_t& extent);
    // Every range meeting the area lies inside it, else the unmerge refusal.
    bool area_allows__(const box_t& area) const;
    std::vector<box_t> found__(const box_t& area) const;
    void erase__(const box_t& extent);
    void pack__();
    const std::vector<box_t>& listed__() const;
    static box_t moved_area(const band_shift_t& s);
    // The unmerge guard, then the move.
    bool shift_if_allowed__(const band_shift_t& s);
    // Moves the top-left value of the range's cells into its first cell: where
    // that value came from, none when nothing moved.
    std::optional<std::pair<int, int>> gather_first_value__(const vex::range_t& range);

    // Made by the first merge: most sheets have none, and an empty tree
    // already takes two allocations.
    std::unique_ptr<tree_t> tree_;
    size_t live_ = 0;
    size_t dead_ = 0;
    // The live ranges in search order, empty after a change.
    mutable std::vector<box_t> list_;
    Table* table_;
};

} // namespace vex::mta
