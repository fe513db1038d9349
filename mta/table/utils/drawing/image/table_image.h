#pragma once
// The pictures of a workbook. A table starts with a manager of its own and hands
// out the one it uses.

namespace vex::mta::image {

class table_image_manager {};

} // namespace vex::mta::image
