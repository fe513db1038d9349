#include "kestrel/core/components/worksheet.h"

#include "kestrel/core/components/worktable.h"

#include <algorithm>

namespace vex {

void worksheet_t::record_worktable(std::string relationship_id, worktable_t* worktable) {
    worktables_.push_back({std::move(relationship_id), worktable});
}

bool worksheet_t::has_worktable(const component_base_t* c) const noexcept {
    return c && std::any_of(worktables_.begin(), worktables_.end(),
                            [&](const child_worktable& w) { return w.worktable == c; });
}

xml_part_t* worksheet_t::worktable_part() const noexcept {
    return worktables_.empty() || !worktables_.front().worktable ? nullptr : worktables_.front().worktable->get_part();
}

uint64_t worksheet_t::hyperlink_count() const noexcept {
    uint64_t n = 0;
    for (const child_worktable& w : worktables_)
        if (w.worktable) n += w.worktable->hyperlink_count();
    return n;
}

} // namespace vex
