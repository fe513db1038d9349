#pragma once
// The reader of a drawing part. Each picture anchor goes into the drawing's
// map under the relationship id of its image, with the picture's XML, to be
// placed on the sheet when that image part loads; every other anchor (charts,
// shapes, groups, connectors, linked pictures) is kept as its XML, in
// document order among the pictures.

#include "kestrel/core/components/drawings.h"
#include "kestrel/xml/xl_xml/assignment/shared_xml_assignment.h"
#include "xml/sxml_node.h"

#include <cstdint>
#include <string>

namespace vex {

// An element and everything inside it as XML, in the package's form.
std::string node_subtree_xml(const xml::sxml::xml_node_t& node);

class assign_for_drawings_t final : public shared_xml_assignment {
public:
    explicit assign_for_drawings_t(drawings_t& drawings) noexcept : drawings_(drawings) {}

    xml::sxml::status_t assign(const xml::sxml::xml_node_t* node);

private:
    struct cell_t {
        int64_t row = 0, col = 0, row_offset = 0, col_offset = 0;
        bool bad = false;  // a value that is no number
    };

    void reset() noexcept;
    void start_anchor(const xml::sxml::xml_node_t& node);
    void end_anchor(const xml::sxml::xml_node_t& node);
    void read_cell(const xml::sxml::xml_node_t& node, cell_t& cell);
    void read_picture(const xml::sxml::xml_node_t& node);
    void read_position(const xml::sxml::xml_node_t& node);
    void read_size(const xml::sxml::xml_node_t& node);

    drawings_t& drawings_;
    bool open_ = false;  // an anchor's start was seen
    bool picture_ = false;
    bool linked_ = false;
    std::string relationship_id_;
    picture_anchor_t anchor_;
    cell_t from_, to_;
};

} // namespace vex
