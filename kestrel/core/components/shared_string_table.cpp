#include "kestrel/core/components/shared_string_table.h"

namespace vex {

uint32_t shared_string_table_t::save_index_of(uint32_t pool_index) {
    ++save_references_;
    const auto [at, added] = save_positions_.try_emplace(pool_index, static_cast<uint32_t>(save_order_.size()));
    if (added) save_order_.push_back(pool_index);
    return at->second;
}

void shared_string_table_t::reset_save_indices() noexcept {
    save_positions_.clear();
    save_order_.clear();
    save_references_ = 0;
}

} // namespace vex
