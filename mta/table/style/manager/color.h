#pragma once
// A colour as a styles part writes it: any mix of auto, palette index, theme
// index with tint, and ARGB. Kept exactly as read so that a reloaded record is
// recognised as the one written.

#include <cstdint>

namespace vex::mta {

struct color_t {
    uint8_t auto_ = 0;      // "auto"
    uint8_t given = 0;      // given_* bits: a zero index or value is a colour too (theme 0 is white)
    uint16_t indexed = 0;   // legacy palette index
    uint16_t theme = 0;
    uint32_t rgb = 0;       // ARGB, alpha in the top byte
    double tint = 0.0;      // -1..1, kept at full precision

    enum : uint8_t { given_indexed = 1, given_theme = 2, given_rgb = 4 };
    bool has_indexed() const noexcept { return indexed || (given & given_indexed); }
    bool has_theme() const noexcept { return theme || (given & given_theme); }
    bool has_rgb() const noexcept { return rgb || (given & given_rgb); }

    bool is_blank() const noexcept { return !auto_ && !has_indexed() && !has_theme() && !has_rgb() && tint == 0.0; }
    bool operator==(const color_t& o) const noexcept {
        return auto_ == o.auto_ && indexed == o.indexed && theme == o.theme && rgb == o.rgb && tint == o.tint &&
               has_indexed() == o.has_indexed() && has_theme() == o.has_theme() && has_rgb() == o.has_rgb();
    }

    static color_t from_rgb(uint32_t argb) noexcept { color_t c; c.rgb = argb; return c; }
    static color_t from_theme(uint16_t theme, double tint = 0.0) noexcept {
        color_t c;
        c.theme = theme;
        c.given = given_theme;
        c.tint = tint;
        return c;
    }
};

} // namespace vex::mta
