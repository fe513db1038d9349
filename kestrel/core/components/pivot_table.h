#pragma once
// The model of a pivot table part: where the table sits on its sheet. The rest
// of the part is kept as parsed and written back around it.

#include "coord.h"
#include "kestrel/core/components/component_base.h"

namespace vex {

class pivot_table_t : public component_base_t {
public:
    using component_base_t::component_base_t;

    // Keeps every node; a location without "ref" fails the load.
    xml::sxml::status_t assign(const xml::sxml::xml_node_t* node) override;
    bool keeps_every_node() const noexcept override { return true; }

    const range_t& location() const noexcept { return location_; }
    void set_location(const range_t& r) noexcept { location_ = r; }

private:
    range_t location_{};
};

} // namespace vex
