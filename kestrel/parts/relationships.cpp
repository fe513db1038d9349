#include "kestrel/parts/relationships.h"

#include "kestrel/parts/entry_path.h"
#include "kestrel/parts/package_uris.h"
#include "kestrel/parts/part.h"

namespace vex {

namespace {

void start(xml::xml_stream_writer& w) {
    w.write_raw(xml::standalone_declaration);
    w.start_element("Relationships");
    w.write_attribute("xmlns", uri::package_relationships);
    w.close_start_tag();
}

void relationship(xml::xml_stream_writer& w, const xml_part_t& child, std::string_view target) {
    w.start_element("Relationship");
    w.write_attribute("Id", child.get_relationship_id());
    w.write_attribute("Type", child.get_relationship_type() ? child.get_relationship_type() : "");
    w.write_uri_attribute("Target", target);
    w.end_empty_element();
}

void finish(xml::xml_stream_writer& w) {
    w.end_element("Relationships");
    w.flush();
}

// A sheet's cells and everything anchored on them belong to its worktable part;
// the worksheet lists those in the worktable's place, beside any part kept
// whole under the worksheet itself, in the order the save numbers them.
template <typename F> void for_each_listed(const xml_part_t& part, F&& f) {
    for (const auto& c : part.get_child_parts()) {
        if (part.kind() == part_kind_enum::worksheet_part && c->kind() == part_kind_enum::worktable_part) {
            for (const auto& g : c->get_child_parts()) f(*g);
            continue;
        }
        f(*c);
    }
}

} // namespace

std::string relationship_entry_name(std::string_view entry_name) {
    if (entry_name.empty()) return std::string(package_relationships_entry);
    return entry_path::join(entry_path::parent(entry_name),
                            "_rels/" + std::string(entry_path::file_name(entry_name)) + ".rels");
}

void write_relationships(xml::xml_stream_writer& w, const part_container& root) {
    start(w);
    for (const auto& c : root)
        if (c->get_relationship_id()) relationship(w, *c, c->get_entry_name());
    finish(w);
}

void write_relationships(xml::xml_stream_writer& w, const xml_part_t& part) {
    start(w);
    const std::string_view folder = entry_path::parent(part.get_entry_name());
    for_each_listed(part, [&](const xml_part_t& c) {
        if (c.get_relationship_id()) relationship(w, c, entry_path::relative(c.get_entry_name(), folder));
    });
    if (output_handler* h = part.get_output_handler()) h->write_relationships(w);
    finish(w);
}

void write_link_relationship(xml::xml_stream_writer& w, const relationship_t& r, std::string_view id) {
    w.start_element("Relationship");
    w.write_attribute("Id", id);
    w.write_attribute("Type", r.type);
    w.write_uri_attribute("Target", r.target);
    if (!r.target_mode.empty())
        w.write_attribute("TargetMode", r.target_mode);
    else if (!r.internal)
        w.write_attribute("TargetMode", "External");
    w.end_empty_element();
}

void write_kept_relationships(xml::xml_stream_writer& w, const xml_part_t& part) {
    start(w);
    const std::string_view folder = entry_path::parent(part.get_entry_name());
    for (const relationship_t& r : part.get_relationships()) {
        // Links name no part: written as they were read.
        if (!r.internal || r.type == uri::hyperlink_relationship) {
            write_link_relationship(w, r, r.id);
            continue;
        }
        for (const auto& c : part.get_child_parts()) {
            const char* id = c->get_relationship_id();
            if (id && r.id == id) {
                relationship(w, *c, entry_path::relative(c->get_entry_name(), folder));
                break;
            }
        }
    }
    finish(w);
}

} // namespace vex
