#pragma once
// The reader of the sheet data, which the worktable component owns.
//
// It takes the rows and cells of sheetData, a row at a time, into the cell
// store's row import, and the columns, merged ranges and hyperlinks into the
// store, the sheet's autoFilter and sortState beside it; every other section
// of the sheet entry is left to the worksheet (status keep).

#include "kestrel/xml/xl_xml/assignment/assign_for_sheet_periphery.h"
#include "kestrel/xml/xl_xml/assignment/assign_for_table_definition.h"
#include "kestrel/xml/xl_xml/assignment/shared_xml_assignment.h"
#include "mta/table/style/manager/style_manager.h"
#include "mta/types/imported_row_cells.h"
#include "xml/sxml_node.h"

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vex {

class worktable_t;
class shared_string_table_t;
class xml_doc_access;
class assign_for_shared_string_table_t;
namespace mta {
class string_pool_t;
}

// An ISO-8601 date, with an optional time ("T" or a blank) and zone (ignored),
// as a serial of the given date system; nullopt when it is no such date.
std::optional<double> parse_date_text(std::string_view text, bool date1904);
// A cell error literal; "#SPILL!" is the internal spill error, and any other
// unknown text reads as "#VALUE!".
mta::error_value_enum get_err_type(const char* text) noexcept;

class assign_for_worktable final : public shared_xml_assignment {
public:
    // strings: the loaded shared-strings part (null without one).
    assign_for_worktable(worktable_t& table, const shared_string_table_t* strings = nullptr,
                         bool date1904 = false);
    ~assign_for_worktable() override;

    xml::sxml::status_t assign(const xml::sxml::xml_node_t* node);
    worktable_t& table() const noexcept { return table_; }

private:
    xml::sxml::status_t assign_sheet_data(const xml::sxml::xml_node_t& node);
    xml::sxml::status_t assign_cols(const xml::sxml::xml_node_t& node);
    xml::sxml::status_t assign_merge_cells(const xml::sxml::xml_node_t& node);
    xml::sxml::status_t assign_hyperlinks(const xml::sxml::xml_node_t& node);
    xml::sxml::status_t assign_row(const xml::sxml::xml_node_t& node);
    xml::sxml::status_t assign_c(const xml::sxml::xml_node_t& node);
    xml::sxml::status_t assign_v(const xml::sxml::xml_node_t& node);
    xml::sxml::status_t assign_f(const xml::sxml::xml_node_t& node);
    xml::sxml::status_t assign_is(const xml::sxml::xml_node_t& node);
    // The cell's metadata indexes and phonetic flag, kept by cell.
    void read_cell_metadata(const char* cm, const char* vm, const char* ph, int32_t row, int32_t col);
    void flush_cell();
    void finish_row();
    // Throws loading_error "Cell data error." for a value the cell cannot take.
    void assign_cell_value(const char* text, mta::trival_cell_t& cell);
    void read_value(const char* text, uint8_t kind, mta::trival_cell_t& cell);
    mta::string_pool_t& pool() const;
    // A cell format index as the cells keep it: one past the loaded list reads as 0.
    uint32_t xf_of(int32_t v) const noexcept { return v > 0 && uint32_t(v) < xf_count_ ? uint32_t(v) : 0; }
    uint32_t style_index(const char* text) const;
    // In a selective read, whether a reference of the workbook that opened
    // this one names a cell of the row.
    bool is_referenced_row(int32_t row) const;

    worktable_t& table_;
    const shared_string_table_t* strings_;
    bool date1904_;
    bool full_read_;
    // In a selective read: the access whose references choose the rows
    // (null: no row is read), and the names the sheet goes by there.
    const xml_doc_access* references_ = nullptr;
    std::string table_name_, sheet_name_, book_path_;
    uint32_t xf_count_;
    mta::trival_cell_t cell_;
    bool cell_text_ = false;  // t="str": the value is the text itself
    bool cell_open_ = false;
    mta::imported_row_cells row_;
    bool row_accepted_ = false;
    int64_t last_row_ = 0;
    int64_t last_col_ = 0;
    std::deque<std::string> formulas_;  // the row's formula texts, alive until it is handed over
    std::unique_ptr<assign_for_shared_string_table_t> inline_reader_;
    autofilter_reader_t filter_reader_;
    assign_for_sheet_periphery_t periphery_;
};

} // namespace vex
