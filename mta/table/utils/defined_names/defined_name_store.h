#pragma once
// The defined names of a workbook. A table starts with a store of its own and
// hands out the one it uses.

namespace vex::mta {

class defined_name_store_t {};

} // namespace vex::mta
