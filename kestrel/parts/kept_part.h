#pragma once
// A part the package carries without modelling it: a relationship type newer
// than the kinds (threaded comments, rich values, sensitivity labels...), or a
// known kind where its parent may not hold it (header pictures under a VML
// drawing, a drawing under a chart sheet). Its type, bytes and relationships
// are kept and it is saved back as it came.

#include "kestrel/parts/part.h"

#include <string>
#include <string_view>

namespace vex {

namespace detail {
// Holds the type text before the part base points at it.
struct kept_relationship_type {
    std::string text;
};
} // namespace detail

class kept_part_t final : private detail::kept_relationship_type, public xml_part_t {
public:
    kept_part_t(xml_part_t* parent, std::string_view relationship_type);
    ~kept_part_t() override;
};

} // namespace vex
