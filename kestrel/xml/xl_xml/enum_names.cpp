#include "kestrel/xml/xl_xml/enum_names.h"

#include <stdexcept>
#include <string>

namespace vex {

void throw_enum_subscript(int64_t value) {
    throw std::runtime_error("Enumeration subscript out of bounds: " + std::to_string(value) + "\"");
}

} // namespace vex
