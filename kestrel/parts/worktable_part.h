#pragma once
// The library's own part of a sheet's cell data: it holds everything anchored
// on the sheet and is written into its worksheet's entry.
//
// Only the model is bound here so far; the tree operations of the worktable
// part come with its drawings and tables.

#include "kestrel/core/components/worktable.h"
#include "kestrel/parts/simple_part.h"

namespace vex {

class worktable_part_t final : public described_part_t {
public:
    explicit worktable_part_t(xml_part_t* parent);
    worktable_t* get_worktable() const noexcept { return static_cast<worktable_t*>(get_component()); }
};

} // namespace vex
