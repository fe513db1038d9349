#include "kestrel/core/components/vml_drawing.h"

#include <string_view>

namespace vex {

using xml::sxml::status_t;

status_t vml_drawing_t::assign(const xml::sxml::xml_node_t* node) {
    if (!node || !is_element(*node) || !node->name) return status_t::done;
    const std::string_view name = node->name;
    if (name == "v:shape") {
        // A shape's anchor never carries over to the next shape.
        pending_shape_ = true;
        pending_row_ = pending_column_ = false;
    } else if (name == "x:Row") {
        pending_row_ = true;
    } else if (name == "x:Column") {
        pending_column_ = true;
    }
    if (pending_shape_ && pending_row_ && pending_column_) {
        ++shapes_;
        pending_shape_ = pending_row_ = pending_column_ = false;
    }
    return status_t::done;
}

} // namespace vex
