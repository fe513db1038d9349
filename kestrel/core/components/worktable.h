#pragma once
// The model of a sheet's cell data, owned by the sheet's worktable part: a
// package component and, at the same time, the sheet's cell store.
//
// Only what the part tree and the workbook ask of it is here so far: its
// reader, images and sheet extras come with the worktable component itself.

#include "kestrel/core/components/component_base.h"
#include "mta/table/table/table.h"

#include <cstdint>

namespace vex {

class worktable_t : public component_base_t, public mta::Table {
public:
    // A store over the whole sheet.
    explicit worktable_t(xml_part_t* part);

    xml::sxml::status_t assign(const xml::sxml::xml_node_t*) override { return xml::sxml::status_t::keep; }

    // Every hyperlink of the sheet, internal ones included: each external one
    // is a relationship of the sheet's entry.
    uint64_t hyperlink_count() const noexcept { return hyperlinks_; }
    void set_hyperlink_count(uint64_t n) noexcept { hyperlinks_ = n; }

    // Resolves hyperlink targets from the relationships the worksheet handed
    // over; true when done.
    bool after_loading__() { return true; }

private:
    uint64_t hyperlinks_ = 0;
};

} // namespace vex
