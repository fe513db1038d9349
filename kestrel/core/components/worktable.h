#pragma once
// The model of a sheet's cell data, owned by the sheet's worktable part.
//
// Only what the part tree asks of it is here so far: the cell store, its
// reader and its images come with the worktable component itself.

#include "kestrel/core/components/component_base.h"

#include <cstdint>

namespace vex {

class worktable_t : public component_base_t {
public:
    using component_base_t::component_base_t;

    xml::sxml::status_t assign(const xml::sxml::xml_node_t*) override { return xml::sxml::status_t::keep; }

    // Every hyperlink of the sheet, internal ones included: each external one
    // is a relationship of the sheet's entry.
    uint64_t hyperlink_count() const noexcept { return hyperlinks_; }
    void set_hyperlink_count(uint64_t n) noexcept { hyperlinks_ = n; }

private:
    uint64_t hyperlinks_ = 0;
};

} // namespace vex
