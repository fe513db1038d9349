#pragma once
// The model of a sheet's VML drawing part. Comment notes are written again
// from the sheet's comment store, so the load hands each note's state (shown
// or not, size, colours, anchor) to that store, lets the shape go and counts
// it; every other shape (form buttons and the like) is kept as read,
// with the shapetypes and whatever else the part holds, and written back.

#include "kestrel/core/components/component_base.h"

#include <cstddef>

namespace vex {

class vml_drawing_t : public component_base_t {
public:
    using component_base_t::component_base_t;

    // A top-level v:shape whose x:ClientData has ObjectType "Note" is a note;
    // the shape layout is written anew; the rest stays in the part's tree.
    xml::sxml::status_t assign(const xml::sxml::xml_node_t* node) override;
    // Notes read.
    size_t shape_count() const noexcept { return notes_; }
    // Top-level elements kept that are neither shapetypes nor notes.
    size_t kept_shape_count() const noexcept { return kept_; }

private:
    void place_note(const xml::sxml::xml_node_t& shape);

    size_t notes_ = 0;
    size_t kept_ = 0;
    const xml::sxml::xml_node_t* shape_ = nullptr;  // the top-level v:shape in hand
    bool in_note_ = false;
};

} // namespace vex
