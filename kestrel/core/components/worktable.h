#pragma once
// The model of a sheet's cell data, owned by the sheet's worktable part.
//
// Only what the part tree and the worksheet ask of it is here so far: the cell
// store, its reader and its images come with the worktable component itself.

#include "kestrel/core/components/component_base.h"

#include "mta/table/table/table.h"

#include <cstdint>
#include <string>

namespace vex {

class worktable_t : public component_base_t {
public:
    using component_base_t::component_base_t;

    xml::sxml::status_t assign(const xml::sxml::xml_node_t*) override { return xml::sxml::status_t::keep; }

    // Every hyperlink of the sheet, internal ones included: each external one
    // is a relationship of the sheet's entry.
    uint64_t hyperlink_count() const noexcept { return hyperlinks_; }
    void set_hyperlink_count(uint64_t n) noexcept { hyperlinks_ = n; }

    // What the worktable takes from its cell store: the sheet's name, grid id
    // and extents.
    const std::string& name() const noexcept { return name_; }
    void set_name(const std::string& name) {
        if (!name.empty()) name_ = name;
    }
    unsigned sheet_id() const noexcept { return sheet_id_; }
    void set_sheet_id(unsigned id) noexcept { sheet_id_ = id; }
    uint32_t row_count() const noexcept { return rows_; }
    uint32_t col_count() const noexcept { return cols_; }
    void set_counts(uint32_t rows, uint32_t cols) noexcept { rows_ = rows, cols_ = cols; }
    const mta::extent_t& extent() const noexcept { return extent_; }
    void set_extent(const mta::extent_t& extent) noexcept { extent_ = extent; }

    // Resolves hyperlink targets from the relationships the worksheet handed
    // over; true when done.
    bool after_loading__() { return true; }

private:
    uint64_t hyperlinks_ = 0;
    std::string name_;
    unsigned sheet_id_ = 0;
    uint32_t rows_ = 0;
    uint32_t cols_ = 0;
    mta::extent_t extent_{};
};

} // namespace vex
