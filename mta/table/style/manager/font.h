#pragma once
// The font part of a style: the attributes of a styles-part <font>.

#include "mta/table/style/manager/color.h"

#include <cstdint>
#include <string>

namespace vex::mta {

struct font_t {
    std::string name;
    double size = 0.0;          // points
    color_t color;
    int32_t family = 0;         // "family", 0..5
    int32_t scheme = 0;         // 0 none, 1 minor, 2 major
    int32_t charset = 0;
    int32_t underline = 0;      // none, single, singleAccounting, double, doubleAccounting
    int32_t vert_align = 0;     // baseline, subscript, superscript
    uint8_t bold = 0;
    uint8_t italic = 0;
    uint8_t strikeout = 0;
    uint8_t outline = 0;
    uint8_t shadow = 0;
    uint8_t condense = 0;
    uint8_t extend = 0;

    // No name, size 0, blank colour, every attribute and flag 0.
    bool is_empty() const noexcept { return *this == font_t{}; }
    bool operator==(const font_t&) const = default;
};

} // namespace vex::mta
