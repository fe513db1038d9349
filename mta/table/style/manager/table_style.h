#pragma once
// A table style read from a styles part ("tableStyles"). Kept as read.

#include <cstdint>
#include <string>
#include <vector>

namespace vex::mta {

struct table_style_element_t {
    // Index in "blankRow, firstColumn, ..., totalRow, wholeTable" (27 is wholeTable).
    uint32_t type = 27;
    int32_t dxfId = 0;
    int32_t size = 0;

    bool operator==(const table_style_element_t&) const = default;
};

struct table_style_t {
    bool table = false;
    bool pivot = false;
    std::string name;
    std::vector<table_style_element_t> elements;

    bool operator==(const table_style_t&) const = default;
};

} // namespace vex::mta
