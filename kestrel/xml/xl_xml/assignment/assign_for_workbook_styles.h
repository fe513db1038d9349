#pragma once
// Reads the styles part into a set of style tables: number formats, fonts,
// fills, borders, style and cell formats, named styles, differential formats,
// table styles and the colour tables. Records keep their positions in the
// part, so the indexes cells and rows carry stay valid.

#include "kestrel/core/components/workbook_style.h"
#include "kestrel/xml/xl_xml/assignment/shared_xml_assignment.h"
#include "mta/table/style/manager/style_manager.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace vex {

// The extension list, which no table holds, goes to `kept` as read.
class assign_for_workbook_style_t final : public shared_xml_assignment {
public:
    assign_for_workbook_style_t(mta::style_manager_t::impl& tables, styles_kept_t& kept) noexcept
        : tables_(tables), kept_(kept) {}

    xml::sxml::status_t assign(const xml::sxml::xml_node_t* node);
    // After the last node: the part's own number-format ids become the ids
    // their codes were given, and the tables are completed (record 0 of every
    // list, "normal", ids past their lists made 0).
    void finish();
    mta::style_manager_t::impl& tables() const noexcept { return tables_; }

private:
    using node_t = xml::sxml::xml_node_t;
    using status_t = xml::sxml::status_t;

    status_t num_fmts(const node_t& n, size_t depth);
    status_t fonts(const node_t& n, size_t depth);
    status_t fills(const node_t& n, size_t depth);
    status_t borders(const node_t& n, size_t depth);
    status_t xfs(const node_t& n, size_t depth, bool style_xfs);
    status_t cell_styles(const node_t& n, size_t depth);
    status_t dxfs(const node_t& n, size_t depth);
    status_t table_styles(const node_t& n, size_t depth);
    status_t colors(const node_t& n, size_t depth);
    status_t extensions(const node_t& n, size_t depth);

    // The parts of a fill, border or format below their own element, at
    // `rel` levels under it.
    status_t fill_child(const node_t& n, size_t rel, mta::fill_t& fill);
    status_t border_child(const node_t& n, size_t rel, mta::border_t& border, bool differential);
    void read_num_fmt(const node_t& n, mta::dxf_numfmt_t& out);
    status_t dxf_font_child(const node_t& n);

    mta::style_manager_t::impl& tables_;
    styles_kept_t& kept_;
    std::vector<std::pair<std::string, std::string>> root_namespaces_;  // as declared on styleSheet
    std::unordered_map<int32_t, int32_t> numfmt_ids_;   // the part's id -> the id its code got
    mta::font_t font_;
    mta::fill_t fill_;
    mta::border_t border_;
    mta::dxf_t dxf_;
    mta::dxf_numfmt_t dxf_numfmt_;
};

// A colour element (color, fgColor, bgColor, ...) into c, from zero: auto as a
// flag; indexed and theme as numbers (text without digits fails the part);
// rgb as at most its first eight hex digits, clearing the theme; theme clearing
// rgb; tint within -1..1. Shared by every reader that meets colours.
void read_color(const xml::sxml::xml_node_t& node, mta::color_t& c);

} // namespace vex
