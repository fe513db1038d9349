#include "kestrel/parts/part_container.h"

#include "opendoc_exceptions.h"

#include <string>

namespace vex {

// Until the part kinds and their classes exist, no relationship type names a
// part the package can make.
xml_part_t* part_container::create_child(xml_part_t*, std::string_view relationship_type, const char*, bool) {
    throw part_container_error("Relationship type " + std::string(relationship_type) + " does not exist.");
}

} // namespace vex
