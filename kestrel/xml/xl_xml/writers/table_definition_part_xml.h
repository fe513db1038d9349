#pragma once
// Writes a table part from its table in the sheet's table list, and the
// autoFilter and sortState elements that tables and sheets share. A part whose
// table the list does not hold (one it refused on load) is written as read.

#include "kestrel/xml/xl_xml/writers/output_handler.h"
#include "mta/table/utils/table_definition/autofilter.h"

#include <cstddef>
#include <functional>
#include <string_view>

namespace vex {

class xml_part_t;

namespace mta {
class tabledef_t;
}

// What the save writes of the workbook's styles, by which a table names them.
struct written_styles_t {
    // Null when the count is unknown (styles kept as read): every id stands.
    std::function<bool(int32_t)> has_dxf;
    std::function<bool(std::string_view)> has_cell_style;
};
// The styles of the workbook above the part.
written_styles_t written_styles_of(const xml_part_t& part);

void write_autofilter(xml::xml_stream_writer& w, const autofilter_t& filter);
void write_sort_state(xml::xml_stream_writer& w, const sort_state_t& sort);

class table_definition_part_xml final : public output_handler {
public:
    explicit table_definition_part_xml(xml_part_t& part) noexcept : part_(part) {}
    void write() override;

    // The table element alone, for a table of the given name.
    static void write_table(xml::xml_stream_writer& w, const mta::tabledef_t& table, std::string_view name,
                            const written_styles_t& styles);

private:
    xml_part_t& part_;
};

} // namespace vex
