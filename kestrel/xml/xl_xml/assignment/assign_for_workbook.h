#pragma once
// Reads the workbook part into its model: the sheet records (unbound until
// each worksheet part arrives) and the defined names, which wait in the model
// until the sheets' cell stores exist.
//
// Only the sheet list and the defined names are read so far; the views, the
// external references and the pivot caches come with the rest of the readers.

#include "xml/sxml_node.h"

namespace vex {

class workbook_t;

class assign_for_workbook_t {
public:
    explicit assign_for_workbook_t(workbook_t& book) noexcept : book_(book) {}

    // Any node of the part: goes to the handler of the element below the
    // document element it lies in; done when handled, keep when not.
    xml::sxml::status_t assign(const xml::sxml::xml_node_t* node);
    // A node inside "sheets": each sheet element appends a record.
    xml::sxml::status_t assign_sheets(const xml::sxml::xml_node_t* node);
    // A node inside "definedNames": each definedName appends a pending name.
    xml::sxml::status_t assign_defined_names(const xml::sxml::xml_node_t* node);

private:
    workbook_t& book_;
};

// The element directly below the document element that holds the node (the
// document element for itself); null for a null node.
const xml::sxml::xml_node_t* top_element_of(const xml::sxml::xml_node_t* node) noexcept;

} // namespace vex
