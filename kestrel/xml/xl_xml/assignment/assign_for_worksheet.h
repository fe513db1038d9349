#pragma once
// The reader of a worksheet's sheet-level elements: views with their panes,
// selections and pivot selections, the sheet format defaults, print options, margins, page
// setup, header and footer, page breaks, the sheet's protection and its
// protected ranges. Nodes reach it once the
// worktable's reader has let them pass.

#include "kestrel/xml/xl_xml/assignment/shared_xml_assignment.h"
#include "xml/sxml_node.h"

namespace vex {

class worksheet_t;
class page_break_set_t;

class assign_for_worksheet_t final : public shared_xml_assignment {
public:
    explicit assign_for_worksheet_t(worksheet_t& sheet) noexcept : sheet_(sheet) {}

    xml::sxml::status_t root_handler(const xml::sxml::xml_node_t* node) {
        // The last reader a node meets: one kept would stay in memory to the end.
        const xml::sxml::status_t s = assign(node);
        return s == xml::sxml::status_t::keep && !keep_node_ ? xml::sxml::status_t::done : s;
    }
    // Section dispatch; keep for a node no section takes.
    xml::sxml::status_t assign(const xml::sxml::xml_node_t* node);
    worksheet_t& sheet() const noexcept { return sheet_; }

private:
    xml::sxml::status_t assign_sheet_views(const xml::sxml::xml_node_t& node);
    xml::sxml::status_t assign_sheet_format(const xml::sxml::xml_node_t& node);
    xml::sxml::status_t assign_print_options(const xml::sxml::xml_node_t& node);
    xml::sxml::status_t assign_page_margins(const xml::sxml::xml_node_t& node);
    xml::sxml::status_t assign_page_setup(const xml::sxml::xml_node_t& node);
    xml::sxml::status_t assign_header_footer(const xml::sxml::xml_node_t& node);
    xml::sxml::status_t assign_sheet_protection(const xml::sxml::xml_node_t& node);
    xml::sxml::status_t assign_protected_ranges(const xml::sxml::xml_node_t& node);
    xml::sxml::status_t assign_breaks(const xml::sxml::xml_node_t& node, page_break_set_t& breaks);
    xml::sxml::status_t keep_section(const xml::sxml::xml_node_t& node, const xml::sxml::xml_node_t& section);
    void keep_root_namespaces(const xml::sxml::xml_node_t& root);

    worksheet_t& sheet_;
    bool views_read_ = false;  // the default view goes once the file gives its own
    bool keep_node_ = false;   // the node belongs to a section being kept
};

} // namespace vex
