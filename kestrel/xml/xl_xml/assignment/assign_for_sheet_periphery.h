#pragma once
// The readers of a sheet's less central sections: controls, cell watches,
// custom properties, data consolidation, data validations, ignored errors,
// scenarios and smart tags, and the anchor of embedded objects and controls.
//
// A handler that fills "the last" record ignores a node whose record does not
// exist. Validations, ignored errors and cell watches are written back from
// the model, so their nodes are done; the other sections answer keep, so that
// the sheet reader keeps their XML for the save.

#include "kestrel/core/components/sheet_periphery.h"
#include "kestrel/xml/xl_xml/assignment/shared_xml_assignment.h"
#include "xml/sxml_node.h"

#include <optional>

namespace vex {

// Reads one node of an anchor element: the anchor's own flags and order, or
// a cell or offset of its from or to corner. Other nodes are left alone.
void assign_anchor(const xml::sxml::xml_node_t& node, object_anchor_t& anchor);

class assign_for_sheet_periphery_t {
public:
    explicit assign_for_sheet_periphery_t(sheet_periphery_t& periphery) noexcept : model_(periphery) {}

    // Nothing for a node outside these sections (section is the node's
    // top-level ancestor).
    std::optional<xml::sxml::status_t> assign(const xml::sxml::xml_node_t& node, const xml::sxml::xml_node_t& section);

private:
    void assign_controls(const xml::sxml::xml_node_t& node);
    void assign_consolidation(const xml::sxml::xml_node_t& node);
    void assign_validations(const xml::sxml::xml_node_t& node);
    void assign_scenarios(const xml::sxml::xml_node_t& node);
    void assign_smart_tags(const xml::sxml::xml_node_t& node);

    sheet_periphery_t& model_;
};

} // namespace vex
