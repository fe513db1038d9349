#include "kestrel/core/components/component_base.h"

#include "kestrel/parts/part.h"

namespace vex {

void component_base_t::notify_children(int code) {
    for (const auto& child : part_->get_child_parts())
        if (component_base_t* c = child->get_component()) c->notify(code);
}

void component_base_t::notify(int) {}

component_base_t* component_base_t::get_workbook() const {
    return part_->get_workbook_part()->get_component();
}

xml_document_t* component_base_t::get_document() const { return part_->get_document(); }

} // namespace vex
