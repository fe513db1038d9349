#pragma once
// Writes back what a loaded sheet held beyond the main writers' elements: the
// sheet properties, validations, ignored errors and cell watches from the
// model, and every section kept as read, each at its place in the sheet
// schema's element order. The worksheet writer calls `write_before` ahead of
// each element it writes itself.

#include "xml/xml_stream_writer.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

namespace vex {

struct sheet_periphery_t;
class worktable_t;
class xml_part_t;

// Relationship Ids as read to the Ids the save gives the same parts.
using relationship_ids_t = std::unordered_map<std::string, std::string>;
// Those of a sheet's parts, from its worktable part (null gives none).
relationship_ids_t saved_relationship_ids(const xml_part_t* table_part);

// Writes an element kept as read, with its attributes, texts and children;
// with ids, relationship Ids it names (r: attributes) go out as renumbered.
void write_kept_element(xml::xml_stream_writer& w, const xml::sxml::xml_node_t& root,
                        const relationship_ids_t* ids = nullptr);

class sheet_periphery_xml {
public:
    // table may be null: only the outline defaults are written then.
    sheet_periphery_xml(xml::xml_stream_writer& w, const worktable_t* table);

    // The root's namespace declarations the kept elements may use.
    void write_root_namespaces();
    // sheetPr: kept attributes and children, the outline flags and the fit to
    // page from the model.
    void write_sheet_pr(bool fit_to_page = false);
    // Every held section that the schema puts before `next` and after what
    // was written so far; an empty `next` writes all that is left.
    void write_before(std::string_view next);

private:
    void write_section(std::size_t index);
    void write_data_validations();
    void write_ignored_errors();
    void write_cell_watches();

    xml::xml_stream_writer& w_;
    const worktable_t* table_;
    const sheet_periphery_t* model_;
    // Kept sections name the sheet's parts (embedded objects, controls) by
    // the Ids they were read with.
    relationship_ids_t ids_;
    std::size_t position_ = 0;
};

} // namespace vex
