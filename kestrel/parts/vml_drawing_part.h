#pragma once
// The VML drawing part, which holds a sheet's comment shapes. Its writer comes
// with the part writers.

#include "kestrel/core/components/vml_drawing.h"
#include "kestrel/parts/simple_part.h"

namespace vex {

class vml_drawing_part final : public described_part_t {
public:
    explicit vml_drawing_part(xml_part_t* parent);
    ~vml_drawing_part() override;

    vml_drawing_t* get_drawing() const noexcept { return static_cast<vml_drawing_t*>(get_component()); }
    // Nothing kept and no comment shape read.
    bool is_empty() const override;
};

} // namespace vex
