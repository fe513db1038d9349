#pragma once
// The readers of the parts that the worktable, styles and table-definition
// components own: the sheet data, the styles part and one table part.
//
// Only the entries the components call are here so far; the elements are read
// by the part readers, which come later. Until then the sheet-data reader
// leaves every node to the worksheet (status keep), and the others let it go.

#include "mta/table/style/manager/style_manager.h"
#include "xml/sxml_node.h"

namespace vex {

class worktable_t;
class table_definition_t;

class assign_for_worktable {
public:
    explicit assign_for_worktable(worktable_t& table) noexcept : table_(table) {}
    xml::sxml::status_t assign(const xml::sxml::xml_node_t*) { return xml::sxml::status_t::keep; }
    worktable_t& table() const noexcept { return table_; }

private:
    worktable_t& table_;
};

class assign_for_workbook_style_t {
public:
    explicit assign_for_workbook_style_t(mta::style_manager_t::impl& tables) noexcept : tables_(tables) {}
    xml::sxml::status_t assign(const xml::sxml::xml_node_t*) { return xml::sxml::status_t::done; }
    mta::style_manager_t::impl& tables() const noexcept { return tables_; }

private:
    mta::style_manager_t::impl& tables_;
};

class assign_for_table_definition {
public:
    assign_for_table_definition(table_definition_t& definition, worktable_t* table) noexcept
        : definition_(definition), table_(table) {}
    xml::sxml::status_t assign(const xml::sxml::xml_node_t*) { return xml::sxml::status_t::done; }
    table_definition_t& definition() const noexcept { return definition_; }
    worktable_t* table() const noexcept { return table_; }

private:
    table_definition_t& definition_;
    worktable_t* table_;
};

} // namespace vex
