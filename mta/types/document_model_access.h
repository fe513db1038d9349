#pragma once
// The document as a cell store sees it. The worktable hands one to its table,
// which owns it from then on.

#include <string>
#include <string_view>

namespace vex::mta {

class document_model_access {
public:
    virtual ~document_model_access() = default;
    // 3 for A1, 4 for R1C1.
    virtual unsigned get_reference_mode() const = 0;
    virtual std::string get_sheet_name(unsigned grid_id) const = 0;
    // The grid id of the sheet the three names give.
    virtual unsigned get_grid_id(std::string_view book, std::string_view sheet, std::string_view name) const = 0;
};

} // namespace vex::mta
