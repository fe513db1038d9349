#include "kestrel/core/components/sheet_view.h"

#include <algorithm>

namespace vex {

bool sqref_t::add(const range_t& r) {
    if (std::find(ranges_.begin(), ranges_.end(), r) != ranges_.end()) return false;
    ranges_.push_back(r);
    return true;
}

} // namespace vex
