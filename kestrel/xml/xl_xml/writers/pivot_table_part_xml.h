#pragma once
// Writes a pivot table part back from the tree kept at load, with its location
// brought up to date.

#include "kestrel/xml/xl_xml/writers/output_handler.h"

namespace vex {

class pivot_table_part_t;

class pivot_table_part_xml : public output_handler {
public:
    explicit pivot_table_part_xml(pivot_table_part_t& part) noexcept : part_(part) {}
    void write() override;

private:
    void write_start_tag(xml::xml_stream_writer& w, const xml::sxml::xml_node_t& node) const;

    pivot_table_part_t& part_;
};

} // namespace vex
