#pragma once
// The alignment part of a style.

#include <cstdint>

namespace vex::mta {

struct alignment_t {
    int32_t relative_indent = 0;
    int32_t indent = 0;
    int32_t reading_order = 0;
    int32_t text_rotation = 0;   // 0..90 up, 91..180 down
    int32_t horizontal = 0;      // general, left, center, right, fill, justify, centerContinuous, distributed
    int32_t vertical = 0;        // bottom, center, top, justify, distributed
    uint8_t wrap_text = 0;
    uint8_t shrink_to_fit = 0;
    uint8_t justify_last_line = 0;

    bool operator==(const alignment_t&) const = default;
};

} // namespace vex::mta
