#pragma once
// The coordinate type of every rtree over sheet cells. Node splits compare
// squared distances between boxes: across 1,048,576 rows they pass the range
// of an int, so keys are 64-bit.

#include <cstdint>

namespace vex::mta {

using rtree_key_t = int64_t;

} // namespace vex::mta
