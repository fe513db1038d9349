#pragma once
// The model of a worksheet part: the sheet's settings and the worktables it
// made, whose parts hold everything anchored on the sheet.
//
// Only what the part tree asks of it is here so far; views, page setup and
// the reader come with the worksheet component itself.

#include "kestrel/core/components/component_base.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vex {

class worktable_t;

class worksheet_t : public component_base_t {
public:
    struct child_worktable {
        std::string relationship_id;
        worktable_t* worktable;
    };

    using component_base_t::component_base_t;

    xml::sxml::status_t assign(const xml::sxml::xml_node_t*) override { return xml::sxml::status_t::keep; }

    // The worktables this sheet made, in creation order.
    const std::vector<child_worktable>& worktables() const noexcept { return worktables_; }
    void record_worktable(std::string relationship_id, worktable_t* worktable);
    bool has_worktable(const component_base_t* c) const noexcept;
    // The part of the first recorded worktable; null before there is one.
    xml_part_t* worktable_part() const noexcept;

    xml_part_t* printer_settings() const noexcept { return printer_settings_; }
    void set_printer_settings(xml_part_t* part) noexcept { printer_settings_ = part; }

    // The first worktable child's table takes the name (an empty one is
    // ignored); without a worktable child nothing happens.
    void set_sheet_name(std::string_view name);
    // The first worktable child whose table has that name; null for an empty
    // name or none.
    worktable_t* worktable_by_name(std::string_view name) const noexcept;
    // After a load: each worktable child finishes its own relations.
    bool finish_relations();

    // Summed over the sheet's worktables.
    uint64_t hyperlink_count() const noexcept;

private:
    std::vector<child_worktable> worktables_;
    xml_part_t* printer_settings_ = nullptr;
};

} // namespace vex
