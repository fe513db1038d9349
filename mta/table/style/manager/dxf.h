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

struct dxf_t {
    std::optional<dxf_numfmt_t> numfmt;
    std::optional<font_t> font;
    std::optional<fill_t> fill;
    std::optional<border_t> border;
    std::optional<alignment_t> alignment;
    std::optional<protection_t> protection;

    bool operator==(const dxf_t&) const = default;
};

} // namespace vex::mta
