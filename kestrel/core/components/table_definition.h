#pragma once
// The component of a table part: the name of the sheet table the part holds,
// by which the worktable finds the part and the part's writer its table.

#include "coord.h"
#include "kestrel/core/components/component_base.h"

#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>

namespace vex {

class assign_for_table_definition;

class table_definition_t final : public component_base_t {
public:
    explicit table_definition_t(xml_part_t* part);
    ~table_definition_t() override;

    xml::sxml::status_t assign(const xml::sxml::xml_node_t* node) override;
    // The part's bytes are kept: a table the sheet's list refuses is written
    // back as read.
    bool keeps_every_node() const noexcept override { return true; }

    std::string_view get_name() const noexcept { return name_; }
    // What finds parts by their names is built again.
    void set_name(std::string_view name);

    // Structured references are not resolved on the table side: always empty.
    std::unordered_set<range_t> resolve_reference(const coord_t& position, std::string_view first, uint32_t items,
                                                  std::string_view second, std::string_view third) const;

private:
    std::unique_ptr<assign_for_table_definition> reader_;
    std::string name_;
};

} // namespace vex
