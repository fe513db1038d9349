#pragma once
// Part trees made through the child-part factory, and a part read from text
// the way the loader reads it.

#include "kestrel/parts/part.h"
#include "xml/sxml_parser.h"

#include <string>
#include <string_view>

namespace factory_test {

inline std::string rel(std::string_view name) {
    return "http://schemas.openxmlformats.org/officeDocument/2006/relationships/" + std::string(name);
}

// A package root holding one workbook part.
struct package {
    vex::part_container root;
    vex::xml_part_t* book = root.create_child(nullptr, rel("officeDocument"), nullptr, true);

    vex::xml_part_t* add(vex::xml_part_t* parent, std::string_view type, const char* id = nullptr) {
        return parent->create_part(rel(type).c_str(), id);
    }
};

// Hands every node of xml to the part, then keeps the parsed tree with it.
inline void read_part(vex::xml_part_t& part, const std::string& xml) {
    vex::xml::sxml::sxml_parser parser(vex::xml::sxml::load_options);
    size_t tail = 0;
    vex::xml::sxml::xml_node_t* cursor = nullptr;
    auto handler = [&](const vex::xml::sxml::xml_node_t* n) { return part.assign(n); };
    parser.parse("part", xml.data(), xml.size(), tail, cursor, handler);
    parser.parse("part", nullptr, 0, tail, cursor, handler);
    part.keep_nodes(parser.detach_nodes(), cursor);
}

// Writes the part through a fresh writer made for mode 2.
inline std::string write_part(vex::xml_part_t& part) {
    std::string out;
    part.create_xml_writer([&out](const char* p, unsigned n) { out.append(p, n); });
    part.create_output_handler(2);
    part.write();
    part.release_xml_writer();
    return out;
}

} // namespace factory_test
