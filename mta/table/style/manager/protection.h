#pragma once
// The protection part of a style. Cells are locked unless a style says otherwise.

#include <cstdint>

namespace vex::mta {

struct protection_t {
    uint8_t hidden = 0;
    uint8_t locked = 1;

    bool operator==(const protection_t&) const = default;
};

} // namespace vex::mta
