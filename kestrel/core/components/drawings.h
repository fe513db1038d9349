#pragma once
// The component of a drawing part: the anchors of the drawing in document
// order. A picture anchor names its image relationship and waits for its
// image part to load; every other anchor (charts, shapes, groups,
// connectors) is kept as its XML and written back with its relationship ids
// renumbered.

#include "kestrel/core/components/component_base.h"
#include "kestrel/parts/part_container.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vex {

class assign_for_drawings_t;
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
    // The offsets in EMU as read (from column, from row, to column, to row):
    // whole pixels would move the picture a little on every save.
    std::array<int64_t, 4> offsets_emu{};
    // The xdr:pic and xdr:clientData elements as read, written back with the
    // picture.
    std::string picture_xml;
    std::string client_xml;
    // The whole anchor as read, written back while the picture waits: its
    // image part failed to load or never came.
    std::string anchor_xml;
    size_t order = 0;  // the pictures read before it
};

// An anchor that is not a picture, kept as read.
struct kept_anchor_t {
    std::string xml;
    size_t pictures_before = 0;  // its place among the pictures
};

class drawings_t final : public component_base_t {
public:
    using picture_map_t = std::multimap<std::string, picture_anchor_t>;

    explicit drawings_t(xml_part_t* part);
    ~drawings_t() override;

    xml::sxml::status_t assign(const xml::sxml::xml_node_t* node) override;

    // Pictures waiting for their image part, by "r:embed" id; one id may anchor
    // several pictures, kept in document order.
    picture_map_t& pictures() noexcept { return pictures_; }
    const picture_map_t& pictures() const noexcept { return pictures_; }
    void add_picture(std::string relationship_id, picture_anchor_t at);
    std::vector<kept_anchor_t>& kept_anchors() noexcept { return kept_; }
    const std::vector<kept_anchor_t>& kept_anchors() const noexcept { return kept_; }
    void add_kept_anchor(std::string xml) { kept_.push_back({std::move(xml), added_pictures_}); }
    // The namespace declarations of the drawing's root as read, which the
    // kept XML may use.
    const std::vector<std::pair<std::string, std::string>>& root_namespaces() const noexcept { return namespaces_; }
    void add_root_namespace(std::string name, std::string value) {
        namespaces_.emplace_back(std::move(name), std::move(value));
    }
    // The links the drawing's relationships held as read (hyperlinks, linked
    // pictures): the save lists them again after the children.
    const std::vector<relationship_t>& links() const noexcept { return links_; }
    // The xdr:pic element read for a placed picture; null for none.
    struct read_xml_t {
        std::string picture;
        std::string client;
        std::array<int64_t, 4> offsets_emu{};  // as picture_anchor_t's
    };
    const read_xml_t* picture_xml(int32_t image_id) const;
    // The sheet's image ids in the order the drawing is written: those read
    // here as the drawing stacked them, the others (added since) after them.
    std::vector<int32_t> in_drawing_order(std::vector<int32_t> image_ids) const;
    // The pictures still waiting, by the number of pictures read before each.
    std::vector<const picture_anchor_t*> waiting_pictures() const;

    // Anchors the waiting pictures of the image part (by its source Id) on
    // the worktable and lets go of those placed; the last id placed, or -1
    // when none was.
    int32_t insert_image(image_part_t& image, worktable_t& table);

private:
    std::unique_ptr<assign_for_drawings_t> reader_;
    picture_map_t pictures_;
    std::map<int32_t, read_xml_t> placed_xml_;
    // Image parts load in their own order, not the drawing's: each placed
    // picture's place among those read.
    std::map<int32_t, size_t> placed_order_;
    std::vector<std::pair<std::string, std::string>> namespaces_;
    std::vector<relationship_t> links_;
    std::vector<kept_anchor_t> kept_;
    size_t added_pictures_ = 0;
};

} // namespace vex
