#pragma once
// Writes the cell-level elements of a sheet entry from the sheet's cell store:
// columns, rows and cells, merges, hyperlinks and the r:ids of what is
// anchored on the sheet. The worksheet writer calls the element writers at
// their places on its own stream; `write` alone makes a whole sheet entry.

#include "kestrel/parts/part_kind.h"
#include "kestrel/xml/xl_xml/writers/output_handler.h"

#include <cstdint>
#include <string_view>

namespace vex {

class shared_string_table_t;
class worktable_t;
class xml_part_t;

namespace mta {
class Column;
struct rc_record_t;
namespace formula {
class formula_cell;
}
} // namespace mta

class worktable_part_xml : public output_handler {
public:
    explicit worktable_part_xml(xml_part_t& part) noexcept : part_(part) {}
    void write() override;

    // Points the element writers at a stream and a cell store; strings go to
    // the workbook's shared strings when given, else inline.
    void bind(xml::xml_stream_writer& w, const worktable_t& table, shared_string_table_t* strings) noexcept {
        w_ = &w;
        table_ = &table;
        strings_ = strings;
    }

    void write_cols();
    void write_sheet_data();
    // The sheet's autoFilter and sortState.
    void write_auto_filter();
    void write_merge_cells();
    // External links take r:ids numbered from `first` in list order.
    void write_hyperlinks(uint64_t first);
    void write_drawing();
    void write_legacy_drawing();
    void write_legacy_drawing_hf();
    void write_picture();
    void write_table_parts();

    // The external hyperlinks of the store: each takes one relationship.
    static uint64_t external_link_count(const worktable_t& table) noexcept;

private:
    struct column_cursor;
    struct row_cursor {
        int32_t row = 0;
        bool open = false;
    };
    struct cell_walk;

    void write_cell_range(int32_t r1, int32_t r2, cell_walk& walk);
    void write_row_start(int32_t row, const mta::rc_record_t& record);
    bool row_collapsed(int32_t row, int64_t level, bool collapsed);
    // The collapsed mark a row or column was read with, while it still holds.
    bool kept_collapsed_holds(int32_t row) const;
    bool kept_col_collapsed_holds(int32_t col) const;
    bool summary_col_collapsed(int32_t col) const;
    // Writes the `c` element at the cursor's position with style xf (0: none).
    void write_cell(int32_t row, int32_t col, column_cursor& c, uint16_t xf);
    void write_number_value(double v);
    void write_formula(const mta::formula::formula_cell& cell, std::string_view ref, uint16_t xf);
    void write_string_cell(std::string_view ref, uint16_t xf, int32_t pool_index);
    void start_cell(std::string_view ref, std::string_view type, uint16_t xf);
    std::string_view read_literal_or(std::string_view literal) const;
    // `escapes_kept`: a text read with escapes decoding kept, written back as read.
    void write_v(std::string_view text, bool escapes_kept = false);
    void write_child_rid(std::string_view element, part_kind_enum kind);
    void write_rid(std::string_view element, const xml_part_t* child);

    xml_part_t& part_;
    xml::xml_stream_writer* w_ = nullptr;
    const worktable_t* table_ = nullptr;
    shared_string_table_t* strings_ = nullptr;
    int32_t cell_row_ = 0;  // the cell being written, for its metadata indexes
    int32_t cell_col_ = 0;
    int cell_type_ = 0;  // the block type of the cell being written
    struct {
        int64_t from = 0;  // the row of a collapsed group whose summary was last looked up
        int64_t row = 0;   // that summary
        int64_t level = 0;
        bool marked = false;  // that summary, or an outer one, carries the file's mark
    } summary_;
};

} // namespace vex
