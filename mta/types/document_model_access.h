#pragma once
// The document as a cell store sees it. The worktable hands one to its table,
// which owns it from then on.

#include "coord.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace vex::mta {

class document_model_access {
public:
    virtual ~document_model_access() = default;
    // 3 for A1, 4 for R1C1.
    virtual unsigned get_reference_mode() const = 0;
    virtual std::string get_sheet_name(unsigned grid_id) const = 0;
    // The ranges of a structured reference made at `position`.
    virtual std::unordered_set<vex::range_t> resolve_table_reference(const vex::coord_t& position,
                                                                     std::string_view first, uint32_t items,
                                                                     std::string_view second,
                                                                     std::string_view third) const = 0;
    // The grid id of this workbook's sheet of that name, ASCII case ignored; 0 when
    // there is none.
    virtual unsigned get_sheet_grid_id(std::string_view sheet_name) const = 0;
    // The grid ids of this workbook's sheets from the one of `first` to the one
    // of `last`, in its order; the two alone when it lacks either.
    virtual std::vector<uint32_t> get_sheet_span(uint32_t first, uint32_t last) const { return {first, last}; }
    // The place in this workbook's order of the sheet of that grid id, all ones
    // when it has none; and the grid id of the sheet at a place, 0 when none is.
    virtual uint32_t get_sheet_position(uint32_t) const { return UINT32_MAX; }
    virtual uint32_t get_grid_at(uint32_t) const { return 0; }
    // The grid id of a reference named by three names, handed out on first use.
    virtual unsigned get_grid_id(std::string_view first, std::string_view second, std::string_view third) const = 0;
};

} // namespace vex::mta
