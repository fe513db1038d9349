#pragma once
// Reads the workbook part into its model: the conformance class, the book
// views, the sheet records (unbound until each worksheet part arrives), the
// defined names (waiting in the model until the sheets' cell stores exist),
// the date system, the calculation and reference modes, and the external
// references and pivot caches with the relationship ids of their parts. The
// conformance class is checked, and nothing else reads it.

#include "kestrel/xml/xl_xml/assignment/shared_xml_assignment.h"
#include "xml/sxml_node.h"

namespace vex {

class workbook_t;

class assign_for_workbook_t final : public shared_xml_assignment {
public:
    explicit assign_for_workbook_t(workbook_t& book) noexcept : book_(book) {}

    // Any node of the part: goes to the handler of the element below the
    // document element it lies in; done when handled, keep when not.
    xml::sxml::status_t assign(const xml::sxml::xml_node_t* node);
    // A node inside "sheets": each sheet element appends a record.
    xml::sxml::status_t assign_sheets(const xml::sxml::xml_node_t* node);
    // A node inside "definedNames": each definedName appends a pending name.
    xml::sxml::status_t assign_defined_names(const xml::sxml::xml_node_t* node);
    xml::sxml::status_t assign_book_views(const xml::sxml::xml_node_t* node);
    xml::sxml::status_t assign_workbook_pr(const xml::sxml::xml_node_t* node);
    xml::sxml::status_t assign_calc_pr(const xml::sxml::xml_node_t* node);
    // externalReference and pivotCache elements: a record each.
    xml::sxml::status_t assign_external_references(const xml::sxml::xml_node_t* node);
    xml::sxml::status_t assign_pivot_caches(const xml::sxml::xml_node_t* node);

private:
    // An element no reader takes is kept whole, at its schema place.
    xml::sxml::status_t keep_element(const xml::sxml::xml_node_t& node, const xml::sxml::xml_node_t& top);

    workbook_t& book_;
    int32_t place_ = -1;  // the schema place of the last element read
};

// The element directly below the document element that holds the node (the
// document element for itself); null for a null node.
const xml::sxml::xml_node_t* top_element_of(const xml::sxml::xml_node_t* node) noexcept;

} // namespace vex
