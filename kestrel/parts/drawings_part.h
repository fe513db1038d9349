#pragma once
// The drawing part of a sheet: the parent of the image parts of the pictures
// anchored on the sheet, and of the charts and other parts its kept anchors
// reference.

#include "kestrel/core/components/drawings.h"
#include "kestrel/parts/simple_part.h"

#include <memory>
#include <string>
#include <string_view>

namespace vex {

namespace img {
class image_t;
}

class image_part_t;

class drawings_part_t final : public unread_model_part_t {
public:
    explicit drawings_part_t(xml_part_t* parent);
    ~drawings_part_t() override;

    drawings_t* get_drawings() const noexcept { return static_cast<drawings_t*>(get_component()); }

    // Places the pictures that wait for a loaded image child on the worktable.
    void on_child_loaded(xml_part_t* child) override;
    bool is_empty() const override;

    // Records a picture's image id with the part showing its bytes: the given
    // part, else one of this drawing holding the same bytes, else a new one.
    // Returns that part.
    image_part_t* register_image(int32_t id, const std::shared_ptr<const img::image_t>& image, image_part_t* part);

    // A kept anchor's XML with each relationship id it names given the id its
    // part has in this save.
    std::string kept_anchor_for_save(std::string_view xml) const;
};

} // namespace vex
