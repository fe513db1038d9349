#pragma once
// Writes a sheet's drawing part: each picture of the sheet's image store at
// its anchor, and the anchors the drawing kept (charts, shapes, linked
// pictures) in their places among the pictures, their relationship ids
// renumbered for the save.

#include "kestrel/xml/xl_xml/writers/output_handler.h"

namespace vex {

class drawings_part_t;

class drawings_part_xml final : public output_handler {
public:
    explicit drawings_part_xml(drawings_part_t& part) noexcept : part_(part) {}
    // The save of the drawing and its children is over.
    ~drawings_part_xml() override;
    void write() override;
    // The links the drawing read, after its children's relationships.
    void write_relationships(xml::xml_stream_writer& w) override;

private:
    drawings_part_t& part_;
};

} // namespace vex
