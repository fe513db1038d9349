#pragma once
// A differential format read from a styles part ("dxfs"): only the parts that
// differ from their defaults. Kept as read.

#include "mta/table/style/manager/alignment.h"
#include "mta/table/style/manager/border.h"
#include "mta/table/style/manager/fill.h"
#include "mta/table/style/manager/font.h"
#include "mta/table/style/manager/protection.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vex::mta {

struct dxf_numfmt_t {
    int32_t id = 0;
    std::string code;

    bool operator==(const dxf_numfmt_t&) const = default;
};

// The order of the font flags in dxf_t::font_flags_off.
inline constexpr const char* font_flag_order[] = {"b", "i", "strike", "condense", "extend", "outline", "shadow"};

struct dxf_t {
    std::optional<dxf_numfmt_t> numfmt;
    std::optional<font_t> font;
    std::optional<fill_t> fill;
    std::optional<border_t> border;
    std::optional<alignment_t> alignment;
    std::optional<protection_t> protection;
    // The font flags the format turns off ("<b val="0"/>"), one bit each in the
    // order of font_flag_order; a font flag on is in the font itself.
    uint8_t font_flags_off = 0;

    bool operator==(const dxf_t&) const = default;
};

} // namespace vex::mta
