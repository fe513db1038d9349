#include "kestrel/core/components/worktable.h"

#include "sheet_limits.h"

namespace vex {

worktable_t::worktable_t(xml_part_t* part)
    : component_base_t(part),
      mta::Table({}, static_cast<unsigned>(get_sheet_limits().row_count()),
                 static_cast<unsigned>(get_sheet_limits().col_count())) {}

} // namespace vex
