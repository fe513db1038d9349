#include "kestrel/core/components/table_definition.h"

#include "kestrel/core/components/worktable.h"
#include "kestrel/parts/part.h"
#include "kestrel/xml/xl_xml/assignment/assign_for_table_definition.h"

namespace vex {

using xml::sxml::status_t;

table_definition_t::table_definition_t(xml_part_t* part) : component_base_t(part) {}

table_definition_t::~table_definition_t() = default;

void table_definition_t::set_name(std::string_view name) {
    name_ = name;
    part_container::table_part_changed();
}

status_t table_definition_t::assign(const xml::sxml::xml_node_t* node) {
    if (!reader_) {
        const xml_part_t* parent = get_part() ? get_part()->get_parent() : nullptr;
        auto* table = parent ? dynamic_cast<worktable_t*>(parent->get_component()) : nullptr;
        reader_ = std::make_unique<assign_for_table_definition>(*this, table);
    }
    // The reader finishes the table on the end node: an empty root element
    // comes once, as its start and its end.
    const status_t s = reader_->assign(node);
    if (is_end_of_document(node)) {
        reader_.reset();
        return status_t::done;
    }
    return s;
}

std::unordered_set<range_t> table_definition_t::resolve_reference(const coord_t&, std::string_view, uint32_t,
                                                                  std::string_view, std::string_view) const {
    return {};
}

} // namespace vex
