#include "kestrel/core/components/pivot_table.h"

#include "text_utils.h"

#include <cstring>

namespace vex {

using xml::sxml::status_t;

status_t pivot_table_t::assign(const xml::sxml::xml_node_t* node) {
    if (!node || !is_element(*node) || !node->name || std::strcmp(node->name, "location") != 0) return status_t::keep;
    const char* ref = get_attribute_value("ref", node->attributes);
    if (!ref) return status_t::error;
    string_to_cell_range(ref, location_);
    return status_t::keep;
}

} // namespace vex
