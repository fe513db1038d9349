#pragma once
// Relationship parts as the save writes them: one Relationship per listed
// child, Ids as renumbered, targets relative to the part's folder (the package
// root's are its children's entry names).

#include "xml/xml_stream_writer.h"

#include <string>
#include <string_view>

namespace vex {

class part_container;
struct relationship_t;
class xml_part_t;

inline constexpr std::string_view package_relationships_entry = "_rels/.rels";

// The relationship part of the part stored as entry_name: its folder, then
// "_rels/", its file name and ".rels". An empty name is the package root's.
std::string relationship_entry_name(std::string_view entry_name);

// The package root's relationship part.
void write_relationships(xml::xml_stream_writer& w, const part_container& root);
// A part's: its children with an Id (for a worksheet, its worktable's children
// instead), then what its writer adds. Flushes the writer.
void write_relationships(xml::xml_stream_writer& w, const xml_part_t& part);

// A part written as its bytes: the records it was read with, in their order,
// with its children's current entry names; links (External records and
// hyperlinks) as they were.
void write_kept_relationships(xml::xml_stream_writer& w, const xml_part_t& part);
// One link record as it was read, under the given Id.
void write_link_relationship(xml::xml_stream_writer& w, const relationship_t& r, std::string_view id);

} // namespace vex
