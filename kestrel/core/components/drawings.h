#pragma once
// The component of a drawing part: the anchors of the drawing in document
// order. A picture anchor names its image relationship and waits for its
// image part to load; every other anchor (charts, shapes, groups,
// connectors) is kept as its XML and written back with its relationship ids
// renumbered.

#include "kestrel/core/components/component_base.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace vex {

class image_part_t;
class worktable_t;

// Where a picture sits, with the values the worktable's image operations take.
struct picture_anchor_t {
    int32_t type = 2;  // 0 absolute, 1 one-cell, 2 two-cell
    // absolute
    int32_t x = 0, y = 0;
    // one-cell
    int32_t row = 0, col = 0, row_offset = 0, col_offset = 0;
    // absolute and one-cell
    int32_t width = 0, height = 0;
    double scale = 1.0;
    // two-cell
    int32_t edit_as = 2;
    int32_t from_col = 0, from_col_offset = 0, from_row = 0, from_row_offset = 0;
    int32_t to_col = 0, to_col_offset = 0, to_row = 0, to_row_offset = 0;
};

// An anchor that is not a picture, kept as read.
struct kept_anchor_t {
    std::string xml;
    size_t pictures_before = 0;  // its place among the pictures
};

class drawings_t final : public component_base_t {
public:
    using picture_map_t = std::multimap<std::string, picture_anchor_t>;

    explicit drawings_t(xml_part_t* part) noexcept : component_base_t(part) {}

    // Until the drawing reader comes every node is kept.
    xml::sxml::status_t assign(const xml::sxml::xml_node_t*) override { return xml::sxml::status_t::keep; }

    // Pictures waiting for their image part, by "r:embed" id; one id may anchor
    // several pictures, kept in document order.
    picture_map_t& pictures() noexcept { return pictures_; }
    const picture_map_t& pictures() const noexcept { return pictures_; }
    void add_picture(std::string relationship_id, const picture_anchor_t& at);
    std::vector<kept_anchor_t>& kept_anchors() noexcept { return kept_; }
    const std::vector<kept_anchor_t>& kept_anchors() const noexcept { return kept_; }
    void add_kept_anchor(std::string xml) { kept_.push_back({std::move(xml), added_pictures_}); }

    // Anchors the waiting pictures of the image part (by its source Id) on
    // the worktable and lets them go; the last id placed, or -1 when none was.
    int32_t insert_image(image_part_t& image, worktable_t& table);

private:
    picture_map_t pictures_;
    std::vector<kept_anchor_t> kept_;
    size_t added_pictures_ = 0;
};

} // namespace vex
