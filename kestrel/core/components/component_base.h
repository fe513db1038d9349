#pragma once
// The model a package part owns. It is handed every node of its part's XML on
// load (ending with the document element's close) and read by the part's writer
// on save. Each component keeps its own reader, made on the first node and
// dropped at the end.

#include "xml/sxml_node.h"

namespace vex {

class xml_document_t;
class xml_part_t;

class component_base_t {
public:
    explicit component_base_t(xml_part_t* part) noexcept : part_(part) {}
    virtual ~component_base_t() = default;
    component_base_t(const component_base_t&) = delete;
    component_base_t& operator=(const component_base_t&) = delete;

    virtual xml::sxml::status_t assign(const xml::sxml::xml_node_t* node) = 0;
    // True for a model that keeps every node of its part (nothing reads it
    // yet, or its writer writes the tree back): the loader then keeps the
    // part's bytes, and the tree is parsed from them when first asked for, as
    // a tree costs several times the bytes it is parsed from.
    virtual bool keeps_every_node() const noexcept { return false; }
    // Passes code to the components of the owning part's children.
    virtual void notify_children(int code);
    virtual void notify(int code);

    xml_part_t* get_part() const noexcept { return part_; }
    // The component of the workbook part above the owning part; throws as
    // xml_part_t::get_workbook_part does.
    component_base_t* get_workbook() const;
    // The document of that workbook; null without a workbook model.
    xml_document_t* get_document() const;

private:
    xml_part_t* part_;
};

} // namespace vex
