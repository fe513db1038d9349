#pragma once
// An interned cell format record: what a "cellStyleXfs" or "cellXfs" entry
// holds. Cells, rows and columns refer to a cell xf by its 16-bit position.

#include "mta/table/style/manager/alignment.h"
#include "mta/table/style/manager/protection.h"

#include <cstdint>

namespace vex::mta {

struct xf_t {
    uint32_t xfId = 0;       // cell xf: its style xf; style xf: the style it was rebuilt from
    uint32_t numFmtId = 0;
    uint32_t fontId = 0;
    uint32_t fillId = 0;
    uint32_t borderId = 0;
    alignment_t alignment;
    protection_t protection;
    uint8_t pivotButton = 0;
    uint8_t quotePrefix = 0;
    uint32_t applied = 0;    // the apply bits of style_settings_t

    // The equality of interning, the parent included: a cell keeps the named
    // style it was given even where another style looks the same.
    bool operator==(const xf_t&) const = default;
};

} // namespace vex::mta
