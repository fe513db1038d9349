#pragma once
// The pivot table part: kept whole as parsed, with its location modelled so
// that moving the table on its sheet is written back.

#include "kestrel/core/components/pivot_table.h"
#include "kestrel/parts/simple_part.h"

namespace vex {

class pivot_table_part_t final : public described_part_t {
public:
    explicit pivot_table_part_t(xml_part_t* parent);
    ~pivot_table_part_t() override;

    pivot_table_t* get_pivot_table() const noexcept { return static_cast<pivot_table_t*>(get_component()); }
    void create_output_handler(int mode) override;
};

} // namespace vex
