#pragma once
// The shared-strings part and its model.

#include "kestrel/core/components/shared_string_table.h"
#include "kestrel/parts/simple_part.h"

namespace vex {

class shared_string_table_part_t final : public described_part_t {
public:
    explicit shared_string_table_part_t(xml_part_t* parent);
    shared_string_table_t* get_strings() const noexcept { return static_cast<shared_string_table_t*>(get_component()); }
    void create_output_handler(int mode) override;
};

} // namespace vex
