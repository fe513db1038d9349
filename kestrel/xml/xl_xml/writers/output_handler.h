#pragma once
// The writer of one package part, made by the part for a save and dropped once
// the part and its descendants are written.

#include "xml/xml_stream_writer.h"

namespace vex {

class output_handler {
public:
    virtual ~output_handler() = default;
    // Writes the part through the part's stream writer.
    virtual void write() = 0;
    // Adds the relationships of the part that are not its children (a sheet's
    // hyperlinks) after the children's, in the part's relationship part.
    virtual void write_relationships(xml::xml_stream_writer&) {}
};

} // namespace vex
