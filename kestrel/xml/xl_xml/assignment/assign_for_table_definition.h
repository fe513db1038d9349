#pragma once
// The reader of a table part, and the readers of the autoFilter and sortState
// elements that tables and sheets share. A table enters the sheet's table list
// when its element ends, with everything read of it.

#include "kestrel/xml/xl_xml/assignment/shared_xml_assignment.h"
#include "mta/table/utils/table_definition/tabledef.h"
#include "xml/sxml_node.h"

#include <deque>
#include <memory>
#include <optional>
#include <string>

namespace vex {

class table_definition_t;
class worktable_t;

// The index of an icon-set name ("3Arrows" ...); throws the enumeration error
// for a name not in the list.
uint32_t read_icon_set(const char* text);

// Reads an autoFilter element and everything inside it into the record in a
// slot, every filterColumn in order; criteria without their parent record are
// ignored.
class autofilter_reader_t {
public:
    xml::sxml::status_t read(const xml::sxml::xml_node_t& node, std::unique_ptr<autofilter_t>& slot);
    // What a filter without a range of its own covers; without one, such a
    // filter is dropped: written back, it would not load.
    void set_default_range(const range_t& range) noexcept { default_range_ = range; }

private:
    bool in_column_ = false;
    std::optional<range_t> default_range_;
};

// Reads a sortState element and its sortCondition into the record in a slot.
xml::sxml::status_t read_sort_state(const xml::sxml::xml_node_t& node, std::unique_ptr<sort_state_t>& slot);

class assign_for_table_definition final : public shared_xml_assignment {
public:
    assign_for_table_definition(table_definition_t& definition, worktable_t* table);
    ~assign_for_table_definition() override;

    xml::sxml::status_t assign(const xml::sxml::xml_node_t* node);
    table_definition_t& definition() const noexcept { return definition_; }
    worktable_t* table() const noexcept { return table_; }

private:
    void read_table(const xml::sxml::xml_node_t& node);
    void read_column(const xml::sxml::xml_node_t& node);
    void read_style_info(const xml::sxml::xml_node_t& node);
    void finish();

    table_definition_t& definition_;
    worktable_t* table_;
    bool finished_ = false;
    uint32_t type_ = 0;
    range_t range_{};
    bool has_range_ = false;
    mta::tabledef_attributes_t attributes_;
    std::string name_, display_name_, comment_;
    std::string data_cell_style_, header_row_cell_style_, totals_row_cell_style_;
    std::string style_name_;
    bool has_style_info_ = false;
    uint8_t show_row_stripes_ = 0, show_col_stripes_ = 0, show_first_col_ = 0, show_last_col_ = 0;
    std::deque<mta::tabledef_column_t> columns_;
    std::unique_ptr<autofilter_t> filter_;
    std::unique_ptr<sort_state_t> sort_;
    autofilter_reader_t filter_reader_;
};

} // namespace vex
