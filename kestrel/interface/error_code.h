#pragma once
// Cell error values meet the host's ErrorCodeEnum here and nowhere else: the
// cell store counts "#NULL!" .. "#SPILL!" from 0, the boundary from 1 (0 there
// means no error).

#include "enum.h"
#include "mta/table/cell/cell.h"

#include <optional>

namespace vex {

constexpr int to_public_error_code(mta::error_value_enum value) noexcept {
    return static_cast<int>(value) + ERRORCODE_NULL;
}

// Nothing for a code outside ERRORCODE_NULL..ERRORCODE_SPILL (ERRORCODE_NONE included).
constexpr std::optional<mta::error_value_enum> from_public_error_code(int code) noexcept {
    if (code < ERRORCODE_NULL || code > ERRORCODE_SPILL) return std::nullopt;
    return static_cast<mta::error_value_enum>(code - ERRORCODE_NULL);
}

static_assert(ERRORCODE_SPILL - ERRORCODE_NULL + 1 == mta::error_value_count,
              "every cell error value has a public code");

} // namespace vex
