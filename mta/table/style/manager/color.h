#pragma once
// A colour as a styles part writes it: any mix of auto, palette index, theme
// index with tint, and ARGB. Kept exactly as read so that a reloaded record is
// recognised as the one written.

#include <cstdint>

namespace vex::mta {

struct color_t {
    uint8_t auto_ = 0;      // "auto"
    uint16_t indexed = 0;   // legacy palette index
    uint16_t theme = 0;
    uint32_t rgb = 0;       // ARGB, alpha in the top byte
    double tint = 0.0;      // -1..1, kept at full precision

    bool is_blank() const noexcept {
        return auto_ == 0 && indexed == 0 && theme == 0 && rgb == 0 && tint == 0.0;
    }
    bool operator==(const color_t&) const = default;

    static color_t from_rgb(uint32_t argb) noexcept { color_t c; c.rgb = argb; return c; }
    static color_t from_theme(uint16_t theme, double tint = 0.0) noexcept {
        color_t c;
        c.theme = theme;
        c.tint = tint;
        return c;
    }
};

} // namespace vex::mta
