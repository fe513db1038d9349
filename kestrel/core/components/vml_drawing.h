#pragma once
// The model of a VML drawing part: how many comment shapes the part holds.
// The comment shapes are written from the sheet's comments, so nothing of the
// shapes themselves is kept; the parser frees their nodes once handled.

#include "kestrel/core/components/component_base.h"

#include <cstddef>

namespace vex {

class vml_drawing_t : public component_base_t {
public:
    using component_base_t::component_base_t;

    // Counts each v:shape that carries both an x:Row and an x:Column (VML rows
    // and columns count from 0, so 0 counts too).
    xml::sxml::status_t assign(const xml::sxml::xml_node_t* node) override;
    size_t shape_count() const noexcept { return shapes_; }

private:
    size_t shapes_ = 0;
    bool pending_shape_ = false;
    bool pending_row_ = false;
    bool pending_column_ = false;
};

} // namespace vex
