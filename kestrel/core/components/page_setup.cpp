#include "kestrel/core/components/page_setup.h"

#include <algorithm>

namespace vex {

namespace {

bool id_below(const page_break_t& b, uint32_t id) noexcept { return b.id < id; }

} // namespace

void page_break_set_t::set(const page_break_t& b) {
    const auto it = std::lower_bound(breaks_.begin(), breaks_.end(), b.id, id_below);
    if (it != breaks_.end() && it->id == b.id)
        *it = b;
    else
        breaks_.insert(it, b);
}

bool page_break_set_t::erase(uint32_t id) {
    const auto it = std::lower_bound(breaks_.begin(), breaks_.end(), id, id_below);
    if (it == breaks_.end() || it->id != id) return false;
    breaks_.erase(it);
    return true;
}

const page_break_t* page_break_set_t::find(uint32_t id) const noexcept {
    const auto it = std::lower_bound(breaks_.begin(), breaks_.end(), id, id_below);
    return it != breaks_.end() && it->id == id ? &*it : nullptr;
}

} // namespace vex
