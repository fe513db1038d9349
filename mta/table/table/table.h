#pragma once
// The cell store of one sheet. Cells are kept column by column in typed mdds
// blocks, so that runs of numbers or strings are contiguous; each column keeps its
// style indexes as runs beside them. Columns are made by the first write to them.

#include "coord.h"
#include "datetime.h"
#include "sheet_limits.h"
#include "mta/formula/cell_tracker.h"
#include "mta/table/cell/cell.h"
#include "mta/table/cell/cell_blocks.h"
#include "mta/table/cell/column_store.h"
#include "mta/table/cell/richtext.h"
#include "mta/table/style/manager/style_settings.h"
#include "mta/table/style/rc/rc_hw.h"
#include "mta/table/utils/cell_comment/comment_store.h"
#include "mta/table/utils/defined_names/defined_name_store.h"
#include "mta/table/utils/hyperlink/hyperlink_list.h"
#include "mta/table/utils/merged_cells.h"
#include "mta/table/utils/outline_store.h"
#include "mta/table/utils/run_store.h"
#include "mta/table/utils/table_definition/tabledef_list.h"
#include "mta/types/rc_record.h"

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

namespace mdds {
template <typename Trait>
class multi_type_matrix;
namespace mtm {
struct std_string_trait;
}
} // namespace mdds

namespace vex::mta {

class Table;
class imported_row_cells;
class style_manager_t;
class string_pool_t;
class table_registry_t;
struct band_shift_t;
struct workbook_shared_t;
class document_model_access;
namespace image {
class table_image_manager;
}
namespace formula {
struct edit_reach_t;
class formula_cell;
class formula_model_context;
class model_context;
class shared_shift_t;
class spelling_sheets_t;
class table_formula_model;
struct table_rename_t;
}

using xf_runs_t = run_store_t<uint16_t>;
using row_records_t = run_store_t<rc_record_t, row_record_equal, record_xf>;
using col_records_t = run_store_t<rc_record_t, col_record_equal, record_xf>;
using row_heights_t = rc_hw<int, int64_t>;
using col_widths_t = rc_hw<int, int64_t>;
// The values of a range, column-major (mdds/multi_type_matrix.hpp).
using range_matrix_t = mdds::multi_type_matrix<mdds::mtm::std_string_trait>;

// Where a table sits in its worksheet, in EMU. Width and height are the totals
// of all columns and all rows.
struct extent_t {
    int64_t left = 0;
    int64_t top = 0;
    int64_t width = 0;
    int64_t height = 0;
};

// One column: the values of every row of the table and their style indexes.
// Rows are 1-based here; the cell of row r sits at position r - 1.
class Column {
public:
    Column(Table& table, uint32_t rows);
    Column(const Column&) = delete;
    Column& operator=(const Column&) = delete;

    Table& table() const noexcept { return *table_; }
    uint32_t size() const noexcept { return static_cast<uint32_t>(cells_.size()); }
    const column_store_t& cells() const noexcept { return cells_; }
    const xf_runs_t& xf_runs() const noexcept { return xf_runs_; }

    // Stores one value of a block type (double, int32_t, int64_t, bool,
    // mtv_string_type, mtv_error_type, formula_cell*); a row outside the column
    // throws std::out_of_range. A formula cell passes to the column.
    template <class T>
    void set_value(int row, const T& value) {
        const auto pos = static_cast<size_t>(row) - 1;
        if (pos >= cells_.size()) {
            cells_.set(pos, value);  // the store's out-of-range error
            return;
        }
        if constexpr (std::is_same_v<T, formula::formula_cell*>) may_hold_formulas_ = true;
        if (may_hold_formulas_ && cells_.type_near_last_store(pos) == element_type_formula)
            release_formulas__(pos, pos);
        cells_.set(pos, value);
    }

    uint16_t get_xf(int row) const noexcept { return xf_runs_.value_at(int64_t(row) - 1); }
    void set_xf(int row, uint16_t xf) { xf_runs_.assign(int64_t(row) - 1, int64_t(row) - 1, xf); }
    void set_xf(int r1, int r2, uint16_t xf) { xf_runs_.assign(int64_t(r1) - 1, int64_t(r2) - 1, xf); }
    // Spans of rows, sorted and apart, written in one pass over the runs.
    void set_xf(std::vector<xf_runs_t::span_t> spans);
    void clear_styles(int r1, int r2);
    // Empties the cells of the rows; their styles stay.
    void erase_values(int r1, int r2);
    // Hands over the formula cell of the row, leaving the cell empty; null when
    // the row holds none.
    formula::formula_cell* take_formula(int row);

    column_store_t::const_position_type position_of(int row) const { return cells_.position(size_t(row) - 1); }
    column_store_t::cell_ref_t cell_at(int row) const { return cells_.cell_at(size_t(row) - 1); }

    bool has_content_in(int r1, int r2) const;
    // 0 when no cell holds a value or a non-default style index.
    int first_used_row() const;
    int last_used_row() const;
    bool is_blank() const noexcept;
    bool xf_runs_all_default() const noexcept {
        return xf_runs_.runs().size() == 1 && xf_runs_.runs()[0].value == xf_runs_.default_value();
    }

    // Opens n empty rows at `at`; what is pushed past the end is dropped.
    void insert_rows(int at, int n);
    // Removes the rows; the column is refilled with empty rows at the bottom.
    void delete_rows(int r1, int r2);
    // Hands the values and styles of rows [r1, r2] to the same rows of `dest`
    // (column number dest_col), leaving them empty here.
    void move_rows_to(int r1, int r2, Column& dest, int dest_col);
    // Formula cells in rows [r1, r2] take their row and the column number after a move.
    void renumber_formulas(int r1, int r2, int col);

private:
    // Tells the formula model before formula cells in [p1, p2] are erased or overwritten.
    void release_formulas__(size_t p1, size_t p2);

    Table* table_;
    column_store_t cells_;
    xf_runs_t xf_runs_;
    bool may_hold_formulas_ = false;  // until then no store has formulas to release
};

// The columns of a table, numbered from 1. A column beyond the count reads as
// empty with the default style index.
class columns_t {
public:
    explicit columns_t(Table& table);

    int count() const noexcept { return static_cast<int>(columns_.size()); }
    Column* at(int col) noexcept { return col >= 1 && col <= count() ? columns_[col - 1].get() : nullptr; }
    const Column* at(int col) const noexcept { return col >= 1 && col <= count() ? columns_[col - 1].get() : nullptr; }
    // Grows the collection up to col; col must be a valid column of the table.
    Column& get_or_create(int col);
    // Never beyond the table's column count.
    void resize(int n);

    // All 0 when nothing is in use. A cell is in use when it holds a value or a
    // non-default style index.
    int first_used_col() const;
    int first_used_row() const;
    // (0, 0): any row / any column.
    int last_used_col(int first_row, int last_row) const;
    int last_used_row(int first_col, int last_col) const;

    // The cell moves of the shifts; bands ordered and inside the table.
    void insert_rows(int first_col, int last_col, int row, int count);
    void delete_rows(int first_col, int last_col, int row, int count);
    void insert_cols(int first_row, int last_row, int col, int count);
    void delete_cols(int first_row, int last_row, int col, int count);

private:
    void renumber_from__(int col);

    Table* table_;
    std::vector<std::unique_ptr<Column>> columns_;
};

class Table {
public:
    // rows and cols are the extent from the sheet's first row and column. A
    // table made to join a workbook at once (register_grid next) makes no
    // styles, names, pictures or strings of its own, which it would drop there.
    Table(const extent_t& extent, unsigned rows, unsigned cols, bool joining = false);
    virtual ~Table();
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    // ---- identity and document ------------------------------------------------
    // The grid id: 0 until the table is registered.
    unsigned sheet_id() const noexcept { return sheet_id_; }
    bool registered() const noexcept { return registered_; }
    unsigned workbook_number() const noexcept { return workbook_; }
    // Joins the process's registry: a grid id and the workbook's shared objects in
    // place of the table's own. Done once; refused, with nothing changed, once the
    // table holds cells, names, styles or pictures of its own.
    bool register_grid(unsigned sheet_id, unsigned workbook);
    const std::string& name() const noexcept { return name_; }
    void set_name(const std::string& name);
    const extent_t& extent() const noexcept { return extent_; }
    void set_extent(const extent_t& extent) noexcept { extent_ = extent; }
    // Takes ownership; the previous access is deleted.
    void set_document_access(document_model_access* access);
    document_model_access* get_document_access() const noexcept { return document_access_.get(); }
    formula::table_formula_model* get_formula_model() const noexcept { return formula_model_.get(); }
    unsigned get_reference_mode() const;
    void get_sheet_name(std::string& out) const;
    // An empty third name is this sheet; the document resolves the others, asked
    // with the names in reverse order.
    bool resolve_grid_id(unsigned* out, std::string_view first, std::string_view second, std::string_view third) const;
    const vex::coord_t& current_cell() const noexcept { return current_cell_; }
    void set_current_cell(int row, int col);

    // ---- extent and positions -------------------------------------------------------
    uint32_t row_count() const noexcept { return row_count_; }
    uint32_t col_count() const noexcept { return col_count_; }
    // Inline: every value setter asks them.
    bool is_valid_row(int row) const noexcept { return uint64_t(int64_t(row) - first_row_) < row_count_; }
    bool is_valid_col(int col) const noexcept { return uint64_t(int64_t(col) - first_col_) < col_count_; }
    bool is_valid_cell(int row, int col) const noexcept { return is_valid_row(row) && is_valid_col(col); }
    bool is_valid_range(const vex::range_t& range) const noexcept;

    // ---- columns ------------------------------------------------------------------
    Column& create_column_if_not_exists(int col);
    // Null for a column not made yet.
    Column* find_column(int col);
    const Column* find_column(int col) const;
    const columns_t& columns() const noexcept { return columns_; }
    columns_t& columns() noexcept { return columns_; }

    int first_used_col() const { return columns_.first_used_col(); }
    int first_used_row() const { return columns_.first_used_row(); }
    int last_used_col(int r1, int r2) const { return columns_.last_used_col(r1, r2); }
    int last_used_row(int c1, int c2) const { return columns_.last_used_row(c1, c2); }
    // Drops the columns after the last one in use, keeping at least one.
    void trim_columns();

    // ---- row and column records ---------------------------------------------------
    const row_records_t& row_records() const noexcept { return row_records_; }
    row_records_t& row_records() noexcept { return row_records_; }
    const col_records_t& col_records() const noexcept { return col_records_; }
    col_records_t& col_records() noexcept { return col_records_; }
    int64_t default_row_height() const noexcept { return default_row_height_; }
    int64_t default_col_width() const noexcept { return default_col_width_; }

    // ---- merged ranges and table definitions ------------------------------------------
    const merged_cells_t& merged_cells() const noexcept { return merged_cells_; }
    merged_cells_t& merged_cells() noexcept { return merged_cells_; }
    const tabledef_list_t& tabledefs() const noexcept { return tabledefs_; }
    tabledef_list_t& tabledefs() noexcept { return tabledefs_; }
    // Inserting and deleting rows within a band of columns, and columns within a
    // band of rows (table_shift.cpp). Bounds come in either order. The guard runs
    // first: a refusal records its reason and changes nothing; then every store
    // keyed by row or column follows the cells.
    bool shift_range_down(int first_col, int last_col, int row, int count);
    bool shift_range_up(int first_col, int last_col, int first_row, int last_row);
    bool shift_range_right(int first_row, int last_row, int col, int count);
    bool shift_range_left(int first_row, int last_row, int first_col, int last_col);

    // ---- formulas, row import (table_formulas.cpp), range values (range_value.cpp) --
    // Stores the text without surrounding blanks and one leading '='. Refuses an
    // empty text ("The formula expression can not be empty."), a text the formula
    // model refuses (its reason) and a cell that may not take a value; the
    // position is checked by the caller.
    bool set_formula(int row, int col, std::string_view text);
    // Files a formula cell at its own position; the column then owns it.
    void store_formula_cell(formula::formula_cell* cell);
    // Null unless the cell holds a formula.
    formula::formula_cell* get_formula_cell(int row, int col) const;
    // Every formula cell of the sheet, column by column, top down.
    template <class F>
    void for_each_formula_cell(F f) const {
        for (int c = 1; c <= columns_.count(); ++c)
            for (const auto& block : columns_.at(c)->cells())
                if (block.type == element_type_formula)
                    for (size_t i = 0; i < block.size; ++i) f(formula_block::at(*block.data, i));
    }
    // The ranges, ordered, of the array formulas of several cells whose first
    // cell lies in the rows and columns up to the given ones.
    std::vector<vex::range_t> wide_arrays(int last_row, int last_col) const;
    // Whether an array formula of several cells has a cell in the range.
    bool meets_wide_array(const vex::range_t& range) const;
    // False, with the reason in the last message, when it does.
    bool clear_of_wide_arrays(const vex::range_t& range) const;
    // False, with the reason in the last message, when clearing the range
    // would empty part of an array formula of several cells and leave the rest.
    bool can_clear(const vex::range_t& range) const;
    // A cached result for a formula cell, refused on an array's cells but its
    // first; "This cell does not contain a formula." otherwise.
    bool set_formula_result(int row, int col, const std::optional<cell_t::value_type>& value);
    // The formula model dropped a formula's result that a change made stale.
    void note_dropped_result() noexcept { dropped_results_ = true; }
    // A change made the formula's result stale: it goes, and with an array's
    // the values its other cells show.
    void drop_formula_result(formula::formula_cell& cell);
    // Some formula of the sheet lost its result that way and has none yet:
    // readers of a saved copy must recompute.
    bool holds_dropped_results() const;
    void remove_formulas(const vex::range_t& range);
    // One parsed row, stored in one pass; throws mta_error for an unknown kind,
    // keeping the cells stored before it.
    virtual void set_imported_row_cells_(const imported_row_cells& row);
    // Throws mta_error for a corner outside the sheet. Formula cells read as empty,
    // errors as their literals, 64-bit integers as numbers.
    range_matrix_t get_range_value(const vex::range_t& range) const;

    // ---- services shared by the sheets of a workbook ------------------------------
    // The table's own object while it has one, else the workbook's.
    style_manager_t* get_style_manager() const noexcept;
    defined_name_store_t* get_defined_names() const noexcept;
    image::table_image_manager* get_image_manager() const noexcept;
    // The texts of the table's string cells; freed with the workbook.
    string_pool_t& get_string_pool() const noexcept;

    // The text of a string cell as the document's shared strings hold it; the
    // worktable answers it, a bare table has none.
    virtual const char* shared_string_at(int row, int col) const;
    // Told after the table list let a table go (removed, cleared or deleted
    // with its rows or columns); the worktable drops the table's part.
    virtual void on_table_removed__(std::string_view name);
    // Told when the table list comes to hold a table or a name kept from a
    // file, or to hold none: a name is checked against the sheets holding any.
    void on_tables_held__(bool held);
    // After the cells of a band moved, for what a derived store keeps by cell.
    virtual void on_shift__(const band_shift_t&) {}
    // A text written at a cell, rewritten as an edit of the workbook requires;
    // none when it stays.
    using text_rewrite_t =
        std::function<std::optional<std::string>(formula::model_context&, const vex::coord_t&, std::string_view)>;
    // After an edit rewrote the workbook's formulas, for formulas a derived
    // sheet keeps beside its cells: its ranges follow `shift`, given when its
    // own cells moved, and each text is rewritten as one at its first cell.
    virtual void follow_kept_formulas__(const band_shift_t* /*shift*/, const text_rewrite_t& /*text_of*/) {}
    // Whether follow_kept_texts__ has any text to follow: a sheet without
    // needs no visit when another sheet goes.
    virtual bool keeps_texts__() const { return tabledefs_.size() != 0; }
    // Every text the sheet keeps beside its cells through one edit: its table
    // parts' column formulas, then the derived sheet's.
    void follow_kept_texts__(const band_shift_t* shift, const text_rewrite_t& text_of);
    // Every sheet but `except` keeping texts beside its cells follows a
    // rewrite no shift comes with; the sheets that said so alone, not every one.
    void follow_keepers__(const text_rewrite_t& text_of, const Table* except);
    // Once an edit, on the sheet edited, renamed or going: for parts the
    // workbook keeps whole whose texts read its sheets (charts).
    virtual void follow_book_parts__(const text_rewrite_t& /*text_of*/) {}
    // After a setter gave the cells of a range new values (a style change is
    // none), for what a derived store keeps by cell; told only once asked for.
    virtual void on_values_set__(const vex::range_t&) {}
    // After a store moved a cell's value itself (a merge gathering its first
    // value), for what a derived store keeps by cell; the new cell was told of
    // as set already.
    virtual void on_value_moved__(int /*from_row*/, int /*from_col*/, int /*row*/, int /*col*/) {}
    void watch_values() noexcept { values_watched_ = true; }
    // A store that moved a value itself tells the sheet: the new cell took it
    // as from a setter, and what is kept by cell follows it.
    void value_moved(int from_row, int from_col, int row, int col) {
        values_set__(row, col, row, col);
        if (values_watched_) on_value_moved__(from_row, from_col, row, col);
    }

    // ---- cell values (table_values.cpp) ------------------------------------------------
    // A refused setter leaves its reason in the last message, returns false and
    // changes nothing: a position outside the table gives "Cell coordinate out of
    // range.". A stored value hands the cell what it shows, its row's or its
    // column's style, when it has none of its own. `force` skips the writability guard.
    bool set_num(int row, int col, double value);
    bool set_boolean(int row, int col, bool value);
    bool set_error(int row, int col, error_value_enum value);
    // An empty text empties the cell and keeps its style.
    bool set_text(int row, int col, std::string_view text, bool force = false);
    // A given style index must be a cell format of the style manager ("No such style id.").
    bool set_richtext(int row, int col, richtext_t text, const uint16_t* style = nullptr, bool force = false);
    // Stored as a serial number, with number format 14 over the style the cell shows.
    bool set_datetime(int row, int col, const vex::datetime_t& value, bool force = false);
    // Empties the cells, keeps their styles, and gives back the row or column
    // style a cell had taken. Corners outside the sheet are clamped to it.
    void clear_contents(const vex::range_t& range);
    // Throws mta_error for a position outside the table.
    cell_t get_cell(int row, int col) const;
    bool contains_formula(int row, int col) const;

    // ---- cell, row and column styles (style/rc/table_styles.cpp) -----------------------
    // A record is its style index in the low 16 bits and its flag byte above them.
    // Bad rows record "Row out of range.", bad columns "Column out of range."; the
    // getters then give 0 or false.
    uint32_t get_row_record(int row) const;
    uint32_t get_col_record(int col) const;
    void set_row_record(int r1, int r2, uint32_t record);
    void set_col_record(int c1, int c2, uint32_t record);
    bool row_hidden(int row) const;
    bool col_hidden(int col) const;
    void set_row_hidden(int row, bool hidden);
    void set_col_hidden(int col, bool hidden);

    // What the cell shows: its own style, else its row's when the row has one,
    // else its column's. Default settings for a position outside the table.
    style_settings_t get_cell_style(int row, int col) const;
    style_settings_t row_style(int row) const;
    style_settings_t col_style(int col) const;

    // Merges `s` over what the cell shows; "Invalid row or column." outside the table.
    void set_cell_style(int row, int col, const style_settings_t& s);
    // The ends may come in either order; a bad end changes nothing. The edges of
    // `s` go to the outer edges of the span, its inner edges between.
    void set_col_style(int c1, int c2, const style_settings_t& s);
    void set_row_style(int r1, int r2, const style_settings_t& s);
    void set_all_cols_style(const style_settings_t& s);
    void set_range_style(const vex::range_t& range, const style_settings_t& s);
    // The records lose their style and keep their flags; cells keep theirs.
    void remove_row_style(int r1, int r2);
    void remove_col_style(int c1, int c2);
    // Every cell of the range takes the default style index.
    void clear_styles(const vex::range_t& range);

    // ---- row heights and column widths (style/rc/table_sizes.cpp) ----------------------
    // Rows in unit 0 points, 1 inches, 2 millimetres; columns in 0 characters, 1
    // inches, 2 millimetres. With b = 0 only a is tested; an index outside the
    // table is never default.
    bool is_default_row_height(int a, int b) const;
    bool is_default_col_width(int a, int b) const;
    // The sum over the span (either order); nothing when one of it has the default
    // size. A span outside the table throws general_error "Key out of range.".
    std::optional<double> get_custom_row_height(int r1, int r2, int unit) const;
    std::optional<double> get_custom_col_width(int c1, int c2, int unit) const;
    double get_default_row_height(int unit) const;
    double get_default_col_width(int unit) const;
    // Nothing happens unless a <= b, both lie in the table and v is not negative.
    void set_custom_row_height(int r1, int r2, double v, int unit);
    void set_custom_col_width(int c1, int c2, double v, int unit);
    // A <col> width as a sheet file gives it, in characters without padding;
    // throws loading_error "Error reading column width." for a column outside.
    void save_columns_width_(int first, int last, double width);
    const row_heights_t& row_heights() const noexcept { return row_heights_; }
    const col_widths_t& col_widths() const noexcept { return col_widths_; }
    // Sizes follow inserted and deleted whole rows and columns: inserted ones take
    // the default, deleted ones go, the totals of the extent stay current.
    void insert_row_sizes(int row, int count);
    void delete_row_sizes(int r1, int r2);
    void insert_col_sizes(int col, int count);
    void delete_col_sizes(int c1, int c2);

    // ---- hyperlinks and comments ------------------------------------------------------
    const hyperlink_list_t& hyperlinks() const noexcept { return hyperlinks_; }
    hyperlink_list_t& hyperlinks() noexcept { return hyperlinks_; }
    // The reader's path: the kind is taken as given and the fonts are left alone.
    bool add_hyperlink(const vex::range_t& range, std::string_view target, bool external) {
        return hyperlinks_.add_record(range, target, false, external);
    }
    const comment_store_t& comments() const noexcept { return comments_; }
    comment_store_t& comments() noexcept { return comments_; }

    // ---- outlines and defined names (table_outline_names.cpp) ---------------------------
    const outline_store_t& row_outline() const noexcept { return row_outline_; }
    outline_store_t& row_outline() noexcept { return row_outline_; }
    const outline_store_t& col_outline() const noexcept { return col_outline_; }
    outline_store_t& col_outline() noexcept { return col_outline_; }
    // The level with its collapsed sign dropped; -1 outside the sheet.
    int64_t row_outline_level(int row) const noexcept { return row_outline_.outline_level(row); }
    int64_t col_outline_level(int col) const noexcept { return col_outline_.outline_level(col); }
    // Levels 0 to 8 only, else "Illegal outline level." and nothing changes.
    bool set_row_outline_level(int r1, int r2, int level);
    // Rows of [first, last] hidden or shown by `edit` (their hidden flags,
    // outline groups collapsed or expanded): the formulas reading them that
    // leave hidden rows out (SUBTOTAL, AGGREGATE) lose their results.
    void change_row_visibility(int first, int last, const std::function<void()>& edit);
    // Whether a row of [first, last] shows hidden, by its flag or a collapsed group.
    bool rows_hidden_in(int first, int last) const;
    // Any value, collapsed signs included, as a file gives them.
    void set_col_outline_level(int c1, int c2, int level) { col_outline_.set_level(c1, c2, level); }
    bool group_summary_below() const noexcept { return summary_below_; }
    void set_group_summary_below(bool below) noexcept { summary_below_ = below; }
    bool group_summary_right() const noexcept { return summary_right_; }
    void set_group_summary_right(bool right) noexcept { summary_right_ = right; }

    // In the store get_defined_names() chooses. A name is kept with its text and
    // the tokens the formula model parses from it at the current cell.
    const defined_name_entry_t* find_defined_name(const defined_name_key_t& key) const;
    bool has_defined_name(const defined_name_key_t& key) const;
    // The reader's path: "Duplicate defined name." for a key stored already; a
    // text that does not parse is kept without tokens.
    bool add_defined_name(std::string_view name, std::string_view expression, const defined_name_props_t& props,
                          uint32_t scope);
    // The host's path: "Defined name parsing error." for an expression without
    // tokens, "Please add the sheet name and '!' before the cell and range
    // references." for an unqualified reference, a parser error's own message,
    // "Invalid defined name." for a name other applications refuse, and
    // "Duplicate defined name." for one its scope holds in any case.
    bool set_defined_name(const defined_name_key_t& key, std::string_view expression);
    // The host's delete. The formulas reading the name, directly or through
    // other names, lose their results and are filed again without it.
    void delete_defined_name(const defined_name_key_t& key);
    // Names whose text gave no tokens, as one reading a name listed after it in
    // a file, and names reading a workbook name that their sheet's own name
    // listed after them hides, read again once the names are all stored.
    void reread_tokenless_names();
    // Whether a table of any sheet of the workbook other than `except`, or a
    // defined name of any scope, has the name in any case: table names are
    // unique in a workbook and share the formulas' names with defined names.
    bool table_name_taken(std::string_view name, const tabledef_t* except = nullptr) const;

private:
    friend class table_registry_t;
    void use_shared__(table_registry_t& registry, uint32_t grid_id, uint32_t workbook, workbook_shared_t& shared);
    // The sheets of this table's workbook, this one alone while unregistered.
    std::vector<Table*> workbook_sheets__() const;
    // The sheet of this table's workbook with the grid, found by its id; null
    // when there is none.
    Table* workbook_sheet__(uint32_t grid) const;
    // The sheets whose formulas may spell the name, in any case, in the order
    // of workbook_sheets__.
    std::vector<Table*> sheets_spelling__(std::string_view name) const;
    // The same for any of the names, each sheet once.
    std::vector<Table*> sheets_spelling__(const std::vector<std::string>& names) const;
    bool names_table__(std::string_view name, const tabledef_t* except) const;

    // False, with the reason in the last message, for a cell that may not take a
    // value. Most sheets have neither tables nor merges: that test is inline.
    bool check_cell_writable__(int row, int col) const {
        return (tabledefs_.size() == 0 && merged_cells_.empty() && wide_array_firsts_.empty()) ||
               guard_cell__(row, col);
    }
    bool guard_cell__(int row, int col) const;
    // False, with the reason in the last message, for a cell of an array
    // formula of several cells: it shows part of one result and holds no value.
    bool check_outside_wide_array__(int row, int col) const;
    // After cells moved: where the arrays of several cells now start.
    void note_wide_arrays__();
    // The ranges, ordered, of the arrays of several cells filed on the sheet.
    std::vector<vex::range_t> known_wide_arrays__() const;
    // Where defined names are parsed: the current cell on this sheet's grid.
    vex::coord_t name_origin__() const noexcept;
    // The column that takes a value at (row, col), or null with the refusal recorded.
    Column* writable_column__(int row, int col, bool force);
    // After a value is stored: a cell without a style of its own takes what it
    // showed, its row's style or its column's.
    // Most sheets style no row and no column, which one run of each tells inline.
    void inherit_row_col_style__(int row, int col) {
        const auto unstyled = [](const auto& store) {
            return store.runs().size() == 1 && store.runs().front().value.xf == store.default_value().xf;
        };
        if (!unstyled(row_records_) || !unstyled(col_records_)) hand_down_style__(row, col);
    }
    void hand_down_style__(int row, int col);
    // The range ordered and clamped to the table; false when nothing is left.
    bool clamp_range__(vex::range_t& range) const;
    // Without crossings_too the cells where styled rows cross the columns are
    // left as they are (the rows took the settings themselves).
    void col_span_style__(int c1, int c2, const style_settings_t& s, bool crossings_too = true);
    // One shift along rows or columns: insertions give the point and count in a
    // and b, deletions the span. Every store's guard runs before anything moves.
    bool shift__(bool rows, bool insert, int band_a, int band_b, int a, int b);
    struct record_other_t;
    // The formulas a row shift looks at, and the listed ones above it that it
    // passes over (they read no row it reaches).
    struct row_shift_formulas_t {
        std::vector<formula::formula_cell*> cells;
        std::vector<record_other_t> passed;
    };
    using row_shift_list_t = std::optional<row_shift_formulas_t>;
    // With `looked_at`, hands over the formulas a row shift looks at (row_shift_formulas__).
    bool can_shift__(bool rows, bool insert, int lo, int hi, int a, int b, row_shift_list_t* looked_at = nullptr) const;
    // The last index along the axis that the insertion would move: cells, merged
    // ranges, tables, links and comments; 0 when none.
    int last_pushed__(const band_shift_t& s) const;
    using stale_formulas_t = std::vector<std::pair<Table*, formula::formula_cell*>>;
    // The workbook's formula cells that move with the shift or name this sheet:
    // untracked, their texts and tokens rewritten; the parsed ones are returned
    // to be tracked again once the cells have moved, each sheet's shared
    // groups are left in `shared` to be settled then, and those that will
    // read other cells are added to `stale`.
    // With `only`, only those cells of this sheet are looked at. Where those of
    // this sheet that stay now stand goes to `seen`, but for the ones above
    // the shift reading only their own record.
    std::vector<formula::formula_cell*> rewrite_formulas__(const formula::edit_reach_t& reach,
                                                          const std::vector<formula::named_expression_t>& names,
                                                          std::vector<formula::shared_shift_t>& shared,
                                                          stale_formulas_t& stale,
                                                          const std::vector<formula::formula_cell*>* only = nullptr,
                                                          std::vector<vex::coord_t>* seen = nullptr);
    // The formulas a row shift must look at, column by column, top down: those
    // at or below its first row and the others listed; none unless the list holds.
    row_shift_list_t row_shift_formulas__(const band_shift_t& s) const;
    // Lists the formulas not reading only their own record after a row shift,
    // from those it could not pass over (`seen`, where they now stand).
    // The listed formulas it passed over stay listed.
    void note_record_readers__(const std::vector<vex::coord_t>& seen, std::vector<record_other_t> passed = {});
    // As wide_arrays(), among the given cells alone.
    // The cells in the sheet's own order, column by column, each once.
    static void in_cell_order__(std::vector<formula::formula_cell*>& cells);
    static void in_cell_order__(std::vector<vex::coord_t>& positions);
    static std::vector<vex::range_t> wide_arrays_among__(const std::vector<formula::formula_cell*>& cells,
                                                         int last_row, int last_col);
    // The formulas an edit left reading other cells than their results came
    // from, and those of the workbook reading the names, lose their results,
    // and so do the formulas reading them.
    // With `volatiles`, the volatile formulas (and those the tracker cannot
    // follow) lose their results even when nothing else does.
    void drop_stale_results__(stale_formulas_t stale, const std::vector<formula::named_expression_t>& names,
                              bool volatiles = false);
    // This sheet just placed among others: the formulas and names reading
    // spans that now hold it are filed again and lose their results, each
    // span told from the places of its ends, not the sheets between. False,
    // changing nothing, when the workbook cannot place the sheet.
    bool follow_arrival__(const std::function<void()>& reorder);
    // The formulas reading spans that read other sheets now, and those reading
    // the names over such spans, lose their results.
    void drop_span_results__(stale_formulas_t stale, std::vector<formula::named_expression_t> moved);
    // The range of an array or shared master whose cell goes to `to`, moved by
    // the shift when it is of the cell's own sheet (`s` not null).
    static void follow_formula_range__(formula::table_formula_model& model, formula::formula_cell& cell,
                                       const vex::coord_t& to, const band_shift_t* s);
    using tokens_rewrite_t = std::function<bool(std::vector<formula::token_t>&)>;
    // Every formula and defined name of the workbook whose text `may_name`
    // passes, rewritten; the formulas and names changed. `refile` files the
    // changed formulas with the tracker again, for references that now read
    // other cells.
    // `named`, when given, narrows the rewrite to the formulas and names filed
    // as spelling or reading any of its folded names (or "[" inside `around`),
    // and every formula of the sheet `whole_sheet` (a grid id; 0 for none).
    // `indexed`: every formula in reach spells one of `folded` (none is found
    // only as a table's reader), so only the sheets spelling them are read.
    struct rewrite_reach_t {
        std::vector<std::string> folded;
        vex::range_t around;
        int32_t whole_sheet = 0;
        bool indexed = false;
    };
    std::pair<stale_formulas_t, std::vector<formula::named_expression_t>>
    rewrite_workbook_formulas__(const std::function<bool(std::string_view)>& may_name, const text_rewrite_t& text_of,
                                const tokens_rewrite_t& tokens_of, bool refile, const rewrite_reach_t* named = nullptr);
    // The sheet's formula cells filed under the reach, each once, column by column.
    std::vector<formula::formula_cell*> cells_in_reach__(const rewrite_reach_t& reach) const;
public:
    // The sheet is about to leave its workbook: the formulas of the other
    // sheets and the names that reference it get #REF! in its place, as
    // spreadsheet applications do. Volatile formulas lose their results.
    void drop_references_to_sheet();
    // The sheet may hold texts kept beside its cells (validations, formats,
    // tables): a sheet going elsewhere looks at those it names. Loaded sheets
    // and sheets given a table say so.
    void note_kept_texts();
    // A span of sheets reads what the workbook's order puts between its ends:
    // `reorder` moves sheets (the one whose grid is `moved`, when known), or
    // this sheet has just `arrived` among them; then the formulas reading spans
    // are filed again, and those whose spans read other sheets lose their
    // results, as volatile formulas do.
    void follow_sheet_order(const std::function<void()>& reorder, bool arrived = false, uint32_t moved = 0);
    // The defined name is going: the formulas reading it, directly or through
    // other names, lose their results.
    void drop_results_reading_name(const formula::named_expression_t& name);
    // The workbook's list of sheets changed (a sheet added, inserted,
    // renamed, moved or deleted): the formulas reading it (SHEET, SHEETS)
    // lose their results.
    void follow_sheet_list();
    // A setting any formula may read changed (the date system): every
    // formula of the workbook loses its result.
    void drop_workbook_results();
    // The sheet takes a new name: every formula and defined name of the
    // workbook naming it names it so, and keeps its result.
    void rename_references_to_sheet(std::string_view new_name);
    // A table of the workbook took a new name or column name, or went: the
    // structured references naming it follow (their results stay), or become
    // #REF! and lose their results with their dependents'.
    void rewrite_table_references(const formula::table_rename_t& change);
    // This sheet now answers to its name (added, or renamed into it), or a
    // table of the workbook to `table` (made, or given that display name) or
    // a column of it to a new name: the formulas and names that spelled it
    // while nothing had it are read again, and those now reading other cells
    // are filed again and lose their results, as a name defined later has
    // its readers do, and as volatile formulas do.
    void follow_new_sheet_name();
    // With `before`, the table grew or shrank in place (a column taken in at
    // its left, its totals row shown or hidden) from that range: what read
    // its cells may read others now.
    void follow_new_table_name(std::string_view table, const vex::range_t* before = nullptr);

private:
    // A deletion is about to take tables or table columns: references to
    // them alone become #REF!, spans of columns narrow.
    void drop_references_to_lost_columns__(const band_shift_t& s);
    // The formulas of the workbook that may read a name of the key's spelling.
    stale_formulas_t name_readers__(const defined_name_key_t& key) const;
    // The tokenless names whose text spells `folded` (any, when empty) read
    // again, each at its own sheet.
    void reread_tokenless_names__(std::string_view folded);
    // A sheet's own names come before the workbook's: the names local to a
    // sheet that read a name of the spelling `folded` (any, when empty) in
    // another scope than the one they see now read again.
    void reread_names_seeing_other_scopes__(std::string_view folded);
    // The names parsed again, each at its own sheet; a text that gives no
    // tokens keeps those it had.
    void reread_names__(const std::vector<formula::named_expression_t>& names);
    // The formulas of the workbook reading one of the names (in any scope,
    // with `every_scope`), found by their spelling: the cost grows with the
    // readers, not with every formula.
    stale_formulas_t formulas_reading__(const std::vector<formula::named_expression_t>& names,
                                        bool every_scope = false) const;
    // Readers of a name that changed read their texts again; those now
    // filed otherwise are returned.
    static stale_formulas_t refile__(const stale_formulas_t& readers);
    // The formulas of the workbook the tracker files as reading any of the cells.
    stale_formulas_t readers_of__(const vex::range_t& cells) const;
    // The formulas of the workbook that may leave hidden rows out and read
    // any cell of the areas, found among those alone.
    stale_formulas_t hidden_row_readers__(const std::vector<vex::range_t>& areas) const;
    // The formulas of the workbook reading formula texts (FORMULATEXT).
    stale_formulas_t text_readers__() const;
    // The formulas of the workbook the sheets' spellers file under `mark`
    // that `keep` passes (all without one), sheet by sheet, each in column order.
    stale_formulas_t filed_under__(std::string_view mark,
                                   const std::function<bool(const formula::formula_cell&)>& keep = {}) const;
    // The formulas and names of the workbook whose texts pass `may_spell`,
    // and the readers of those names, read again; those now reading other
    // cells lose their results. Only the formulas the sheets' spellers file
    // under `filed_under`, a folded sheet or table name, are looked at, and
    // those `also` gives.
    void read_again_spelling__(std::string_view filed_under, const std::function<bool(std::string_view)>& may_spell,
                               stale_formulas_t also = {});
    void row_span_style__(int r1, int r2, const style_settings_t& s);
    // The cells of the range took new values: what is kept by cell hears of it,
    // and the formulas that read them, directly or through others, lose their
    // results, volatile ones with them. Cells that no formula reads cost no
    // lock; a new formula always runs the recalculation step, so that the
    // volatile formulas of its workbook lose theirs too.
    void values_set__(int r1, int c1, int r2, int c2, bool new_formula = false) {
        if (values_watched_) on_values_set__({{int32_t(sheet_id_), r1, c1, 1, 0, 0}, {int32_t(sheet_id_), r2, c2, 1, 0, 0}});
        if (!new_formula && reach_.generation == formula::cell_tracker_t::generation() && !reach_.may_reach(r1, c1, r2, c2))
            return;
        drop_dependent_results__(r1, c1, r2, c2, new_formula);
    }
    void drop_dependent_results__(int r1, int c1, int r2, int c2, bool new_formula);

    // Held while the column collection changes, and by look-ups that may run on
    // another thread than the writer's (recalculation).
    mutable std::mutex mutex_;
    uint32_t row_count_;
    uint32_t col_count_;
    const int32_t first_row_ = get_sheet_limits().first_row;
    const int32_t first_col_ = get_sheet_limits().first_col;
    row_records_t row_records_;
    col_records_t col_records_;
    unsigned sheet_id_ = 0;
    std::string name_;
    extent_t extent_;
    vex::coord_t current_cell_;
    outline_store_t row_outline_{get_sheet_limits().first_row, get_sheet_limits().last_row};
    outline_store_t col_outline_{get_sheet_limits().first_col, get_sheet_limits().last_col};
    bool summary_below_ = true;
    bool summary_right_ = true;
    merged_cells_t merged_cells_{this};
    tabledef_list_t tabledefs_{this};
    bool registered_ = false;
    unsigned workbook_ = 0;
    table_registry_t* registry_ = nullptr;
    // Its own styles, names, pictures and strings, while it stands alone.
    void make_own__();
    std::unique_ptr<style_manager_t> own_style_manager_;
    style_manager_t* shared_style_manager_ = nullptr;
    std::unique_ptr<defined_name_store_t> own_defined_names_;
    defined_name_store_t* shared_defined_names_ = nullptr;
    std::unique_ptr<image::table_image_manager> own_image_manager_;
    image::table_image_manager* shared_image_manager_ = nullptr;
    std::unique_ptr<string_pool_t> own_string_pool_;
    string_pool_t* shared_string_pool_ = nullptr;
    formula::spelling_sheets_t* shared_spellings_ = nullptr;
    bool kept_texts_noted_ = false;
    unsigned reference_mode_ = 1;
    std::unique_ptr<formula::formula_model_context> formula_context_;
    std::unique_ptr<formula::table_formula_model> formula_model_;
    std::unique_ptr<document_model_access> document_access_;
    columns_t columns_;
    int64_t default_row_height_ = 190500;  // 15 points
    int64_t default_col_width_ = 657225;   // 8 characters of 8 pixels plus 5 pixels padding
    row_heights_t row_heights_;
    col_widths_t col_widths_;
    comment_store_t comments_{this};
    hyperlink_list_t hyperlinks_{this};
    formula::cell_tracker_t::reach_t reach_;  // of this grid, while the tracker's generation holds
    bool dropped_results_ = false;
    // Where the arrays of several cells were filed, and set again after each
    // shift: a look at these cells answers for one cell without a walk over
    // every formula. Empty on most sheets, which then need no look at all.
    std::vector<vex::coord_t> wide_array_firsts_;
    // The formulas of the sheet a row shift must look at beside those it
    // moves, by position (some perhaps twice, or since gone): all but those
    // reading only their own record. Noted by a row shift or on a sheet
    // without formulas, kept up by each store, and holding while the tables
    // stand as they did or were only added to.
    struct record_readers_t {
        unsigned grid = 0;
        uint64_t tables = 0;  // the list's count of reshapes

        friend bool operator==(const record_readers_t&, const record_readers_t&) = default;
    };
    std::optional<record_readers_t> record_readers_;
    // With the last row of the sheet the formula may read: a row shift below
    // it passes it over.
    struct record_other_t {
        vex::coord_t at;
        int reach = std::numeric_limits<int>::max();
        bool by_table = false;  // a table's extent set the reach

        // Column by column, top down.
        static bool before(const record_other_t& a, const record_other_t& b) noexcept {
            return std::pair(a.at.col, a.at.row) < std::pair(b.at.col, b.at.row);
        }
        // Of entries in order, each position once with the farthest reach.
        static void keep_farthest(std::vector<record_other_t>& others);
    };
    std::vector<record_other_t> record_others_;
    size_t record_others_compacted_ = 0;
    record_readers_t record_readers_key__() const;
    // Whether a row shift that leaves the formula's row must look at it.
    bool reads_beyond_record__(const formula::formula_cell& cell, const formula::edit_reach_t& probe) const;
    record_other_t record_other__(const formula::formula_cell& cell) const;
    static void in_cell_order__(std::vector<record_other_t>& others);
    formula::edit_reach_t record_probe__() const;
    uint64_t formulas_stored_ = 0;
    static constexpr std::string_view msg_array_part =
        "This operation will change part of an array formula of several cells.";
    bool values_watched_ = false;
};

} // namespace vex::mta
