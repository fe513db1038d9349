#pragma once
// The fill part of a style: a pattern fill and a gradient fill side by side,
// as a styles-part <fill> can hold either.

#include "mta/table/style/manager/color.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace vex::mta {

struct pattern_fill_t {
    // Index in "none, solid, mediumGray, darkUp, darkDown, darkVertical,
    // darkHorizontal, darkGray, darkGrid, darkTrellis, gray0625, gray125, lightUp,
    // lightDown, lightVertical, lightHorizontal, lightTrellis, lightGray, lightGrid".
    uint32_t type = 0;
    color_t fg;
    color_t bg;

    bool operator==(const pattern_fill_t&) const = default;
};

struct gradient_stop_t {
    color_t color;
    double position = 0.0;

    bool operator==(const gradient_stop_t&) const = default;
};

struct gradient_fill_t {
    int32_t type = 0;   // 0 linear, 1 path
    double left = 0.0;
    double right = 0.0;
    double top = 0.0;
    double bottom = 0.0;
    double degree = 0.0;
    std::vector<gradient_stop_t> stops;

    // The geometry is compared with a tolerance of 1e-6 (it passes through
    // six-decimal text); the stops exactly.
    bool operator==(const gradient_fill_t& o) const noexcept {
        const auto near = [](double a, double b) { return std::fabs(a - b) <= 1e-6; };
        return type == o.type && near(degree, o.degree) && near(left, o.left) && near(right, o.right) &&
               near(top, o.top) && near(bottom, o.bottom) && stops == o.stops;
    }
};

struct fill_t {
    pattern_fill_t pattern;
    gradient_fill_t gradient;

    bool operator==(const fill_t&) const = default;
};

} // namespace vex::mta
