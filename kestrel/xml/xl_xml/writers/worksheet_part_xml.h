#pragma once
// Writes a sheet entry: the worksheet part's own elements (views, formats,
// printing, protection) with the worktable writer's cell-level elements at
// their places, in the order of the sheet schema, and the sheet's external
// hyperlinks as relationships after its children's.

#include "kestrel/xml/xl_xml/writers/output_handler.h"
#include "kestrel/xml/xl_xml/writers/sheet_periphery_xml.h"

#include <cstdint>

namespace vex {

class workbook_t;
class worksheet_part_t;
class worksheet_t;
class worktable_t;
struct sheet_view_t;
struct pivot_selection_t;
struct pivot_area_t;
struct pivot_reference_t;
class page_break_set_t;

class worksheet_part_xml : public output_handler {
public:
    explicit worksheet_part_xml(worksheet_part_t& part) noexcept : part_(part) {}
    void write() override;
    void write_relationships(xml::xml_stream_writer& w) override;

private:
    void write_entry(const workbook_t* book);
    // The number of the first hyperlink relationship: one past the children's.
    uint64_t first_link_id() const;
    void write_dimension(const worktable_t* table);
    void write_sheet_views(const worksheet_t& sheet, const workbook_t* book);
    void write_sheet_view(const sheet_view_t& view, bool selected, const relationship_ids_t& ids);
    void write_pivot_selection(const pivot_selection_t& selection, const relationship_ids_t& ids);
    void write_pivot_area(const pivot_area_t& area);
    void write_pivot_reference(const pivot_reference_t& reference);
    void write_sheet_format(const worksheet_t& sheet);
    void write_protection(const worksheet_t& sheet);
    void write_protected_ranges(const worksheet_t& sheet);
    void write_print_options(const worksheet_t& sheet);
    void write_page_margins(const worksheet_t& sheet);
    void write_page_setup(const worksheet_t& sheet);
    void write_header_footer(const worksheet_t& sheet);
    void write_breaks(std::string_view element, const page_break_set_t& breaks);

    worksheet_part_t& part_;
    xml::xml_stream_writer* w_ = nullptr;
};

} // namespace vex
