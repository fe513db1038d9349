#pragma once
// The table definitions of one sheet, by name and in the order they were added
// (the index a host sees stays put). Tables never overlap each other, nor cut a
// merged range. An R-tree over the table ranges, rebuilt after a table moved,
// answers the per-cell header guard without walking every table; the names and
// display names, folded, find a table without comparing every other's.

#include "mta/table/utils/merged_cells.h"
#include "mta/table/utils/rtree_key.h"
#include "mta/table/utils/table_definition/tabledef.h"

#include <mdds/rtree.hpp>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace vex::mta {

class Table;
struct band_shift_t;

// Whether a host may give a table this name: letters, digits, "_", "." and
// "\", no digit first, neither TRUE nor FALSE, and not readable as an A1 or
// R1C1 reference (other applications rename such tables when they open the
// file, and formulas could not name them).
bool is_valid_table_name(std::string_view name) noexcept;

class tabledef_list_t {
public:
    explicit tabledef_list_t(Table* owner);
    ~tabledef_list_t();
    tabledef_list_t(const tabledef_list_t&) = delete;
    tabledef_list_t& operator=(const tabledef_list_t&) = delete;

    // Null, with the reason in the last message, when refused. Writes no cells:
    // the caller writes the header names.
    tabledef_t* add(int32_t type, const char* name, const vex::range_t& range);
    // Null (empty) when absent or when the name is empty.
    tabledef_t* find(std::string_view name) const;
    std::string_view find_name(std::string_view name) const;
    // The table formulas name so: by its display name, case ignored as
    // applications compare table names; null when none.
    tabledef_t* find_display(std::string_view display_name) const;
    // Whether a table other than `except` has the folded name as its name or
    // display name, or a table the loader did not take had it.
    bool names_table(const std::string& folded, const tabledef_t* except) const;
    // The table's display name was `before`: it is found by its new one.
    void on_display_renamed(const tabledef_t& table, std::string_view before);
    // A table of the list was given calculated or totals formulas.
    void on_formulas_held() noexcept { ++holding_formulas_; }
    // Whether any table holds such formulas: most lists have none to rewrite.
    bool holds_formulas() const noexcept { return holding_formulas_ != 0; }
    // "Table definition index out of range." and an empty view past the end.
    std::string_view name_at(size_t i) const;
    size_t size() const noexcept { return entries_.size() - holes_; }
    void remove(std::string_view name);
    // The table keeps its place, display name and columns; null when refused.
    tabledef_t* rename(std::string_view old_name, std::string_view new_name);
    std::vector<std::pair<std::string_view, tabledef_t*>> all() const;
    // Names of the sheet's tables the loader did not take: their parts go back
    // as read, so no other table may take such a name.
    void keep_unloaded_name(std::string_view name);
    const std::vector<std::string>& unloaded_names() const noexcept { return unloaded_names_; }

    bool intersects(const vex::range_t& range) const;
    bool is_free_of_tables(const vex::range_t& range) const { return !intersects(range); }
    // The table whose header row holds the cell, or null.
    const tabledef_t* header_at(int row, int col) const;
    // After a clear: tables inside the range go, header names in it come back.
    void on_clear_contents(const vex::range_t& cleared);

    // Guards: false, with the reason in the last message, when the shift would
    // tear a table apart.
    bool check_insert_rows(int first_col, int last_col, int row) const;
    bool check_delete_rows(int first_col, int last_col, int first_row, int last_row) const;
    bool check_insert_columns(int first_row, int last_row, int col) const;
    bool check_delete_columns(int first_row, int last_row, int first_col) const;
    // The guard again, then the tables move, grow, shrink or go with their cells.
    bool on_insert_rows(int first_col, int last_col, int row, int n);
    bool on_delete_rows(int first_col, int last_col, int first_row, int last_row);
    bool on_insert_columns(int first_row, int last_row, int col, int n);
    bool on_delete_columns(int first_row, int last_row, int first_col, int last_col);
    // The move alone, for a shift whose guards have passed.
    void shift(const band_shift_t& s);
    // What a deletion takes of a table it meets: the whole table, or its
    // columns first..last (0-based).
    struct loss_t {
        const tabledef_t* table = nullptr;
        int first = 0;
        int last = -1;

        bool whole() const noexcept { return first > last; }
    };
    // Read before the shift, while the tables still hold what it takes.
    std::vector<loss_t> losses(const band_shift_t& s) const;

    // A table's range changed.
    void invalidate_index() noexcept { index_valid_ = false; }
    // Counts each change of a table's range, display name, header or totals
    // row, and each table gone: what formulas read of the tables stays while
    // the count does, tables added aside.
    uint64_t reshapes() const noexcept { return reshapes_; }
    void note_reshaped() noexcept { ++reshapes_; }

private:
    struct entry_t {
        std::string name;
        std::unique_ptr<tabledef_t> table;  // null: a hole a table left
        uint64_t order = 0;                  // of adding, rising along the list
    };
    // Tables by a folded name, in list order.
    using folded_index_t = std::unordered_map<std::string, std::vector<std::pair<uint64_t, tabledef_t*>>>;
    static void file__(folded_index_t& index, std::string_view name, uint64_t order, tabledef_t* table);
    static void unfile__(folded_index_t& index, std::string_view name, const tabledef_t* table);
    using index_t = mdds::rtree<rtree_key_t, tabledef_t*, small_node_rtree_trait>;

    const index_t& index__() const;
    void unindex__(const tabledef_t& table);
    size_t position_of__(std::string_view name) const;
    size_t position_of__(const tabledef_t* table) const;
    // Destroys the tables; each leaves a hole in the list until it is packed.
    void erase_doomed__(const std::vector<const tabledef_t*>& doomed);
    // Tells the owner when the list comes to hold a table or a kept name, or none.
    void tell_held__();
    void pack__() const;
    // The tables meeting rows [r1, r2] x columns [c1, c2], in list order.
    std::vector<tabledef_t*> in_area__(int r1, int c1, int r2, int c2) const;
    // The tables a shift moves or takes.
    std::vector<tabledef_t*> in_shift__(const band_shift_t& s) const;

    Table* owner_;
    mutable std::vector<entry_t> entries_;
    mutable size_t holes_ = 0;
    std::unordered_map<std::string, tabledef_t*> by_name_;
    folded_index_t by_folded_name_;
    folded_index_t by_display_;
    std::unordered_map<const tabledef_t*, uint64_t> order_of_;  // of adding, which is the list order
    uint64_t added_ = 0;
    size_t holding_formulas_ = 0;
    // Made with the first table: a sheet without tables keeps no tree.
    mutable std::unique_ptr<index_t> index_;
    mutable bool index_valid_ = true;
    mutable size_t index_dead_ = 0;  // null entries left by deleted tables
    std::vector<std::string> unloaded_names_;
    std::unordered_set<std::string> unloaded_folded_;
    bool told_held_ = false;
    uint64_t reshapes_ = 0;
};

} // namespace vex::mta
