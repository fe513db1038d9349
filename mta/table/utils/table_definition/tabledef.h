#pragma once
// A table definition: a named rectangle of a sheet with a header row of column
// names, data rows, an optional totals row, a table style and the per-column
// attributes of its table part. Changing the columns changes the sheet too: a
// column comes and goes with a sheet column inside the table's rows, and the
// header and totals texts live in the sheet's cells.

#include "coord.h"
#include "mta/table/utils/table_definition/autofilter.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace vex::mta {

class Table;
struct band_shift_t;

// The attributes of a table element; -1 is "not set".
struct tabledef_attributes_t {
    uint32_t id = 0;
    int32_t connectionId = -1;
    int32_t dataDxfId = -1;
    int32_t tableBorderDxfId = -1;
    int32_t headerRowCount = 1;
    int32_t headerRowDxfId = -1;
    int32_t headerRowBorderDxfId = -1;
    int32_t totalsRowCount = 0;  // 1 while the totals row is shown
    int32_t totalsRowDxfId = -1;
    int32_t totalsRowBorderDxfId = -1;
    uint8_t insertRow = 0;
    uint8_t insertRowShift = 0;
    uint8_t totalsRowShown = 0;
    uint8_t published = 0;
    // The file gave totalsRowShown: written back even when clear, for its
    // absence means shown.
    uint8_t totalsRowShownGiven = 0;

    bool operator==(const tabledef_attributes_t&) const = default;
};

// A formula of a table column, kept as read.
struct tabledef_formula_t {
    std::string text;
    bool array = false;
    bool preserve_space = false;

    bool operator==(const tabledef_formula_t&) const = default;
};

// The XML mapping of a table column, kept as read.
struct tabledef_xml_column_t {
    bool denormalized = false;
    int32_t mapId = -1;
    std::string xmlDataType;
    std::string xpath;

    bool operator==(const tabledef_xml_column_t&) const = default;
};

struct tabledef_column_t {
    int32_t id = -1;  // 1-based position
    int32_t dataDxfId = -1;
    int32_t headerRowDxfId = -1;
    int32_t queryTableFieldId = -1;
    int32_t totalsRowDxfId = -1;
    // Stored order: none, average, count, countNums, custom, min, max, stdDev, sum, var.
    int32_t totals_func = 0;
    std::string name;  // the header text
    std::string uniqueName;
    std::string totalsRowLabel;
    std::string dataCellStyle;
    std::string headerRowCellStyle;
    std::string totalsRowCellStyle;
    tabledef_formula_t calculated_formula;
    tabledef_formula_t totals_formula;
    tabledef_xml_column_t xml;

    bool operator==(const tabledef_column_t&) const = default;
};

// The autoFilter and sortState elements of a table part.
using tabledef_autofilter_t = vex::autofilter_t;
using tabledef_sort_state_t = vex::sort_state_t;

// What a new table shows, and a loaded one whose style the workbook lacks.
inline constexpr std::string_view default_table_style = "TableStyleMedium2";

struct tabledef_style_info_t {
    std::string_view name;
    uint8_t row_stripes = 0;
    uint8_t col_stripes = 0;
    uint8_t first_col = 0;
    uint8_t last_col = 0;
};

// Table ids are process-wide and never handed out twice: the next one is above
// every id made or read so far.
uint32_t next_table_id() noexcept;
void reserve_table_id(uint32_t id) noexcept;

class tabledef_t {
public:
    tabledef_t();
    tabledef_t(Table* owner, std::string display_name, uint32_t id, const vex::range_t& range);
    ~tabledef_t();
    tabledef_t(const tabledef_t&) = delete;
    tabledef_t& operator=(const tabledef_t&) = delete;

    // ---- reading -------------------------------------------------------------------
    const vex::range_t& range() const noexcept { return range_; }
    // The first row of the range.
    vex::range_t header_range() const noexcept;
    // No header row: no header cell is guarded or written.
    bool has_header() const noexcept { return attributes_.headerRowCount > 0; }
    std::string_view display_name() const noexcept { return display_name_; }
    std::string_view comment() const noexcept { return comment_; }
    std::string_view style_name() const noexcept { return style_name_; }
    std::string_view data_cell_style() const noexcept { return data_cell_style_; }
    std::string_view header_row_cell_style() const noexcept { return header_row_cell_style_; }
    std::string_view totals_row_cell_style() const noexcept { return totals_row_cell_style_; }
    tabledef_style_info_t style_info() const noexcept;
    // False for a table read without a style element: it is written without one.
    bool has_style_info() const noexcept { return has_style_info_; }
    tabledef_attributes_t get_attributes() const { return attributes_; }
    const tabledef_autofilter_t* autofilter() const noexcept { return autofilter_.get(); }
    const tabledef_sort_state_t* sort_state() const noexcept { return sort_state_.get(); }
    int column_count() const noexcept { return static_cast<int>(columns_.size()); }
    // A fresh record (id -1, empty texts) for i out of range.
    tabledef_column_t column_at(int i) const;
    // Empty for i out of range.
    std::string_view column_name(int i) const noexcept;
    // 0 for i out of range.
    int32_t totals_row_func(int i) const noexcept;
    int32_t totals_row_shown() const noexcept { return attributes_.totalsRowCount; }
    uint8_t row_strips() const noexcept { return row_stripes_; }
    int32_t table_type() const noexcept { return table_type_; }
    // "column" and one more than the largest number of a "columnN" name (any case).
    std::string next_column_name() const;

    // ---- setting, without touching the sheet -------------------------------------------
    void set_display_name(std::string_view name);  // an empty name is ignored
    void set_comment(std::string_view text);        // an empty text is ignored
    // Built-in table style names only; others are ignored.
    void set_style_name(std::string_view name);
    // Named cell styles: any non-empty name is kept.
    void set_data_cell_style(std::string_view name);
    void set_header_row_cell_style(std::string_view name);
    void set_totals_row_cell_style(std::string_view name);
    // "No such table style: <name>" and false for a name that is not built in.
    bool set_style_info(std::string_view name, uint8_t row_stripes, uint8_t col_stripes, uint8_t first_col,
                        uint8_t last_col);
    // The reader's: the style element as read, a workbook's own style name or
    // none (empty) included.
    void keep_style_info(std::string_view name, uint8_t row_stripes, uint8_t col_stripes, uint8_t first_col,
                         uint8_t last_col);
    // The reader's, for a table part without a style element: no style, no stripes.
    void drop_style_info() noexcept;
    void set_row_strips(uint8_t flag) noexcept {
        row_stripes_ = flag;
        has_style_info_ = true;
    }
    // The id read with the record is never handed out to a new table.
    void set_attributes(const tabledef_attributes_t& attributes);
    // 0 or 1; the range and the cells stay as they are.
    void set_totals_row_shown_flag(int32_t v);
    void set_totals_row_func(int i, int32_t code);
    // The first column's label; ignored when empty or without columns.
    void set_totals_row_label(std::string_view text);
    // Swaps in the given columns; mta_error when their number is not the width.
    void set_columns(std::deque<tabledef_column_t>& columns);
    void set_autofilter(std::unique_ptr<tabledef_autofilter_t> record);
    void set_sort_state(std::unique_ptr<tabledef_sort_state_t> record);
    // The table list moves and resizes the table with the cells it covers.
    void set_range(const vex::range_t& range);
    // The filter and sort ranges follow the cells they cover; one whose cells
    // are all gone goes.
    void follow_shift(const band_shift_t& s);
    // The columns' calculated and totals formulas, each given as it reads at
    // a cell of its column, take the rewritten text where one is returned.
    using formula_rewrite_t = std::function<std::optional<std::string>(const vex::coord_t&, std::string_view)>;
    void rewrite_formulas(const formula_rewrite_t& rewrite);
    // Whether a column was given such a formula (only read tables have them).
    bool holds_formulas() const noexcept { return holds_formulas_; }

    // ---- changing the sheet --------------------------------------------------------------
    // A refusal leaves its reason in the last message and returns false. A
    // column name another column has in any case is refused.
    bool insert_column(int i, std::string_view name);
    bool set_column_name(int i, std::string_view name);
    bool delete_column(std::string_view name);
    bool delete_column_by_index(int i);
    // Shows or hides the totals row below the data. Showing it is refused when
    // the row would leave the sheet, meet another table or a merged range, or
    // overwrite values.
    bool set_display_total(bool on);

    // Used by the table list when the sheet shifts under the table.
    void remove_columns(int first, int last);
    void insert_generated_columns(int p, int n);
    void rebuild_column_index();

private:
    // Columns' ids become their positions from 1.
    void renumber__();
    void write_header__(int i);
    // The table grew or shrank by itself, no shift moving its readers: those
    // now reading other cells are filed again and lose their results.
    void reshaped__(const vex::range_t& before);
    // An edit grew, shrank or moved the table: its filter covers its header
    // and data rows again.
    void fit_filter__();
    // Whether a column other than `except` has the name in any case.
    bool column_name_taken__(std::string_view name, int except) const;

    Table* owner_ = nullptr;
    int32_t table_type_ = 0;
    vex::range_t range_;
    tabledef_attributes_t attributes_;
    std::unordered_map<std::string, int> column_index_;   // by the name's case fold
    bool repeated_names_ = false;                          // two columns share a fold (a loaded file)
    std::deque<tabledef_column_t> columns_;
    std::string display_name_;
    std::string comment_;
    std::string style_name_{default_table_style};
    bool has_style_info_ = true;
    uint8_t row_stripes_ = 1;
    uint8_t col_stripes_ = 0;
    uint8_t first_col_ = 0;
    uint8_t last_col_ = 0;
    std::string data_cell_style_ = "TableStyleMedium2";
    std::string header_row_cell_style_;
    std::string totals_row_cell_style_;
    std::unique_ptr<tabledef_autofilter_t> autofilter_;
    std::unique_ptr<tabledef_sort_state_t> sort_state_;
    bool holds_formulas_ = false;
};

} // namespace vex::mta
