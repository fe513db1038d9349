#pragma once
// Errors of the package layer.

#include "errors.h"

#include <source_location>
#include <string>

namespace vex {

// Raised by the child-part factory of the package tree. Its location is always
// this header, whatever the throw site, so that diagnostics group these errors
// together.
class part_container_error : public general_error {
public:
    explicit part_container_error(std::string message)
        : general_error("part container", std::move(message), here()) {}

private:
    static std::source_location here() {
        return std::source_location::current();
    }
};

} // namespace vex
