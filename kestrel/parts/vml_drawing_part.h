#pragma once
// A sheet's VML drawing part. A sheet may have two: the one its
// legacyDrawing names, which holds the comment notes (written from the
// sheet's comments) and any other shapes kept as read, and the one its
// legacyDrawingHF names, the header and footer pictures, kept byte for byte
// with the image parts it names.

#include "kestrel/core/components/vml_drawing.h"
#include "kestrel/parts/simple_part.h"

namespace vex {

class vml_drawing_part final : public described_part_t {
public:
    explicit vml_drawing_part(xml_part_t* parent);
    ~vml_drawing_part() override;

    vml_drawing_t* get_drawing() const noexcept { return static_cast<vml_drawing_t*>(get_component()); }
    // Named by its sheet's legacyDrawingHF.
    bool is_header_footer() const;
    // The first VML part of its worktable that is not the header and footer
    // one: the sheet's notes go there.
    bool holds_notes() const;
    // Nothing kept besides notes and no note read.
    bool is_empty() const override;
    bool parses_on_load() const override { return !is_header_footer(); }
    void create_output_handler(int mode) override;
};

// The sheet's notes part among the worktable part's children; null when none.
vml_drawing_part* notes_drawing_of(const xml_part_t& worktable_part);
// Its header and footer part; null when none.
vml_drawing_part* header_footer_drawing_of(const xml_part_t& worktable_part);

} // namespace vex
