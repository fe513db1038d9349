#include "kestrel/xml/xl_xml/writers/pivot_table_part_xml.h"

#include "kestrel/parts/pivot_table_part.h"
#include "text_utils.h"

#include <cstring>
#include <stdexcept>
#include <string_view>

namespace vex {

void pivot_table_part_xml::write() {
    xml::xml_stream_writer* w = part_.get_xml_writer();
    if (!w) throw std::runtime_error("no xml stream writer.");
    part_.children().clear_relationships();
    const xml::sxml::xml_node_t* node = part_.get_kept_tree();
    if (!node) return;
    w->write_raw(xml::standalone_declaration);
    while (node) {
        write_start_tag(*w, *node);
        node = w->write_node_rest(node);
    }
}

void pivot_table_part_xml::write_start_tag(xml::xml_stream_writer& w, const xml::sxml::xml_node_t& node) const {
    w.start_element(node.name);
    if (std::strcmp(node.name, "location") != 0) {
        w.write_attributes(node.attributes);
        return;
    }
    for (const auto* a = node.attributes; a; a = a->next) {
        if (std::string_view(a->name) == "ref") {
            w.write_attribute("ref", range_to_string(part_.get_pivot_table()->location()));
        } else {
            // As read: the attribute is already in the package's escaped form.
            xml::sxml::xml_attribute_t one = *a;
            one.next = nullptr;
            w.write_attributes(&one);
        }
    }
}

} // namespace vex
