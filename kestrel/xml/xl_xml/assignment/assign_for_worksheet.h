#pragma once
// The reader of a worksheet's sheet-level elements (views, custom views, page
// setup, sheet format).
//
// Only the entry the worksheet component calls is here so far: the elements
// are read by the sheet reader itself, which comes with the part readers.
// Until then each node is let go once handled.

#include "xml/sxml_node.h"

namespace vex {

class worksheet_t;

class assign_for_worksheet_t {
public:
    explicit assign_for_worksheet_t(worksheet_t& sheet) noexcept : sheet_(sheet) {}

    xml::sxml::status_t root_handler(const xml::sxml::xml_node_t*) { return xml::sxml::status_t::done; }
    worksheet_t& sheet() const noexcept { return sheet_; }

private:
    worksheet_t& sheet_;
};

} // namespace vex
