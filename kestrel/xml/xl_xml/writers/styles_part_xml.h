#pragma once
// Writes the styles part from the workbook's style manager: number formats,
// fonts, fills, borders, the style and cell formats, the named styles, the
// differential formats, the table styles and the colour tables, then the
// extension list a load kept. A record's position in the manager is its index
// in the part, so nothing is renumbered.

#include "kestrel/xml/xl_xml/writers/output_handler.h"
#include "mta/table/style/manager/style_manager.h"

namespace vex {

class xml_part_t;

class styles_part_xml : public output_handler {
public:
    explicit styles_part_xml(xml_part_t& part) noexcept : part_(part) {}
    void write() override;

private:
    using impl_t = mta::style_manager_t::impl;

    void write_num_fmts(const impl_t& t);
    void write_num_fmt(int32_t id, std::string_view code);
    void write_fonts(const impl_t& t);
    void write_font(std::string_view element, const mta::font_t& f, uint8_t flags_off = 0);
    void write_fills(const impl_t& t);
    void write_fill(const mta::fill_t& f, bool differential = false);
    void write_pattern_fill(const mta::pattern_fill_t& p, bool differential);
    void write_gradient_fill(const mta::gradient_fill_t& g);
    void write_borders(const impl_t& t);
    void write_border(const mta::border_t& b, bool differential = false);
    void write_edge(std::string_view element, const mta::border_edge_t& e);
    void write_cell_style_xfs(const impl_t& t);
    void write_cell_xfs(const impl_t& t);
    void write_xf(const mta::xf_t& x, bool style_xf);
    void write_alignment(const mta::alignment_t& a, bool always = false);
    void write_protection(const mta::protection_t& p, bool always = false);
    void write_cell_styles(const impl_t& t);
    void write_cell_style(const mta::named_style_t& s);
    void write_dxfs(const impl_t& t);
    void write_dxf(const mta::dxf_t& d);
    void write_table_styles(const impl_t& t);
    void write_colors(const impl_t& t);
    void start_list(std::string_view element, size_t count);

    xml_part_t& part_;
    xml::xml_stream_writer* w_ = nullptr;
    size_t style_xf_count_ = 0;
};

} // namespace vex
