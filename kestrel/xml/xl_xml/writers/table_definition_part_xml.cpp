#include "kestrel/xml/xl_xml/writers/table_definition_part_xml.h"

#include "kestrel/core/components/table_definition.h"
#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/parts/package_uris.h"
#include "kestrel/parts/part.h"
#include "kestrel/xml/xl_xml/enum_names.h"
#include "mta/table/style/manager/style_manager.h"
#include "mta/table/utils/table_definition/tabledef_list.h"
#include "sheet_limits.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <unordered_set>

namespace vex {

namespace {

namespace lists = filter_lists;

#define VEX_FILTER_NAMES(table, list) \
    constexpr auto table = split_enum_names<enum_name_count(list)>(list)
VEX_FILTER_NAMES(table_type_names, lists::table_type);
VEX_FILTER_NAMES(totals_function_names, lists::totals_function);
VEX_FILTER_NAMES(operator_names, lists::filter_operator);
VEX_FILTER_NAMES(dynamic_names, lists::dynamic_filter);
VEX_FILTER_NAMES(calendar_names, lists::calendar_type);
VEX_FILTER_NAMES(grouping_names, lists::date_grouping);
VEX_FILTER_NAMES(icon_set_names, lists::icon_set);
VEX_FILTER_NAMES(sort_method_names, lists::sort_method);
VEX_FILTER_NAMES(sort_by_names, lists::sort_by);
#undef VEX_FILTER_NAMES

constexpr std::string_view markup_compatibility = "http://schemas.openxmlformats.org/markup-compatibility/2006";
constexpr std::string_view revision = "http://schemas.microsoft.com/office/spreadsheetml/2014/revision";
constexpr std::string_view revision3 = "http://schemas.microsoft.com/office/spreadsheetml/2016/revision3";
constexpr int32_t totals_custom = 4;

// Table names hold no blanks.
std::string table_name_text(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (c == ' ') c = '_';
    return out;
}

void number_attribute(xml::xml_stream_writer& w, std::string_view name, int64_t v) {
    w.write_attribute(name, number_text(v));
}

void text_attribute(xml::xml_stream_writer& w, std::string_view name, std::string_view v) {
    if (!v.empty()) w.write_attribute(name, v);
}

void flag_attribute(xml::xml_stream_writer& w, std::string_view name, bool v) {
    if (v) w.write_attribute(name, "1");
}

void formula_element(xml::xml_stream_writer& w, std::string_view name, const mta::tabledef_formula_t& f) {
    w.start_element(name);
    flag_attribute(w, "array", f.array);
    if (f.preserve_space) w.write_attribute("xml:space", "preserve");
    w.close_start_tag();
    w.write_text(f.text);
    w.end_element(name);
}

// Without a name the table shows no style, as its producer wrote it.
void write_style_info(xml::xml_stream_writer& w, const mta::tabledef_style_info_t& info) {
    w.start_element("tableStyleInfo");
    if (!info.name.empty()) w.write_attribute("name", info.name);
    w.write_attribute("showFirstColumn", info.first_col ? "1" : "0");
    w.write_attribute("showLastColumn", info.last_col ? "1" : "0");
    w.write_attribute("showRowStripes", info.row_stripes ? "1" : "0");
    w.write_attribute("showColumnStripes", info.col_stripes ? "1" : "0");
    w.end_empty_element();
}

// The dxf count and cell style names of the kept styles bytes.
struct kept_styles_t {
    size_t dxfs = 0;
    std::unordered_set<std::string> names;
};

kept_styles_t scan_kept_styles(std::string_view xml) {
    kept_styles_t out;
    for (size_t at = xml.find("<dxf"); at != std::string_view::npos; at = xml.find("<dxf", at + 4)) {
        const char next = at + 4 < xml.size() ? xml[at + 4] : '\0';
        if (next == '>' || next == '/' || next == ' ') ++out.dxfs;
    }
    for (size_t at = xml.find("<cellStyle "); at != std::string_view::npos; at = xml.find("<cellStyle ", at + 1)) {
        const size_t end = xml.find('>', at);
        const size_t n = xml.find(" name=\"", at);
        if (n == std::string_view::npos || n > end) continue;
        const size_t close = xml.find('"', n + 7);
        if (close != std::string_view::npos) out.names.emplace(xml.substr(n + 7, close - n - 7));
    }
    return out;
}

} // namespace

written_styles_t written_styles_of(const xml_part_t& part) {
    written_styles_t out;
    const auto* book = dynamic_cast<const workbook_t*>(part.get_workbook());
    const component_base_t* styles = book ? book->styles() : nullptr;
    const xml_part_t* styles_part = styles ? styles->get_part() : nullptr;
    if (styles_part && styles_part->get_raw_data()) {
        auto kept = std::make_shared<kept_styles_t>(
            scan_kept_styles({styles_part->get_raw_data(), styles_part->get_raw_size()}));
        out.has_dxf = [kept](int32_t id) { return id >= 0 && size_t(id) < kept->dxfs; };
        out.has_cell_style = [kept](std::string_view name) { return kept->names.contains(std::string(name)); };
        return out;
    }
    const worktable_t* first = book ? book->first_worktable() : nullptr;
    const mta::style_manager_t* manager = first ? first->get_style_manager() : nullptr;
    if (!manager) {
        out.has_dxf = [](int32_t) { return false; };
        out.has_cell_style = [](std::string_view) { return false; };
        return out;
    }
    out.has_dxf = [manager](int32_t id) {
        const auto lock = manager->lock();
        return id >= 0 && size_t(id) < manager->get_impl().dxfs.size();
    };
    out.has_cell_style = [manager](std::string_view name) {
        const auto lock = manager->lock();
        return manager->get_impl().named_styles.contains(name);
    };
    return out;
}

void write_sort_state(xml::xml_stream_writer& w, const sort_state_t& sort) {
    w.start_element("sortState");
    if (sort.sort_method != 0) w.write_attribute("sortMethod", enum_name_or_empty(sort_method_names, sort.sort_method));
    flag_attribute(w, "columnSort", sort.column_sort);
    flag_attribute(w, "caseSensitive", sort.case_sensitive);
    w.write_attribute("ref", range_to_string_unchecked(sort.ref));
    if (sort.conditions.empty()) {
        w.end_empty_element();
        return;
    }
    w.close_start_tag();
    for (const sort_condition_t& c : sort.conditions) {
        w.start_element("sortCondition");
        flag_attribute(w, "descending", c.descending);
        if (c.sort_by != 0) w.write_attribute("sortBy", enum_name_or_empty(sort_by_names, c.sort_by));
        if (c.dxf_id >= 0) number_attribute(w, "dxfId", c.dxf_id);
        text_attribute(w, "customList", c.custom_list);
        if (c.icon_id >= 0) {
            number_attribute(w, "iconId", c.icon_id);
            w.write_attribute("iconSet", enum_name_or_empty(icon_set_names, c.icon_set));
        }
        w.write_attribute("ref", range_to_string_unchecked(c.ref));
        w.end_empty_element();
    }
    w.end_element("sortState");
}

namespace {

// A filter column holds one kind of criteria: the first the record has.
void write_criteria(xml::xml_stream_writer& w, const filter_column_t& f) {
    if (const color_filter_t* c = f.color_filter.get()) {
        w.start_element("colorFilter");
        if (c->dxf_id >= 0) number_attribute(w, "dxfId", c->dxf_id);
        if (!c->cell_color) w.write_attribute("cellColor", "0");
        w.end_empty_element();
    } else if (const custom_filters_t* c = f.custom_filters.get()) {
        w.start_element("customFilters");
        flag_attribute(w, "and", c->and_);
        w.close_start_tag();
        for (const custom_filter_t& one : c->filters) {
            w.start_element("customFilter");
            w.write_attribute("operator", enum_name_or_empty(operator_names, one.op));
            w.write_attribute("val", one.value);
            w.end_empty_element();
        }
        w.end_element("customFilters");
    } else if (const dynamic_filter_t* d = f.dynamic_filter.get()) {
        w.start_element("dynamicFilter");
        w.write_attribute("type", enum_name_or_empty(dynamic_names, d->type));
        if (d->val != 0) w.write_attribute("val", number_text(d->val));
        w.end_empty_element();
    } else if (const filters_t* v = f.filters.get()) {
        w.start_element("filters");
        flag_attribute(w, "blank", v->blank);
        if (v->calendar_type != 0) w.write_attribute("calendarType", enum_name_or_empty(calendar_names, v->calendar_type));
        w.close_start_tag();
        for (const std::string& value : v->values) {
            w.start_element("filter");
            w.write_attribute("val", value);
            w.end_empty_element();
        }
        for (const date_group_item_t& g : v->date_groups) {
            w.start_element("dateGroupItem");
            const std::pair<std::string_view, uint16_t> parts[] = {{"year", g.year},     {"month", g.month},
                                                                   {"day", g.day},       {"hour", g.hour},
                                                                   {"minute", g.minute}, {"second", g.second}};
            for (const auto& [name, value] : parts)
                if (value) number_attribute(w, name, value);
            w.write_attribute("dateTimeGrouping", enum_name_or_empty(grouping_names, g.grouping));
            w.end_empty_element();
        }
        w.end_element("filters");
    } else if (const icon_filter_t* i = f.icon_filter.get()) {
        w.start_element("iconFilter");
        w.write_attribute("iconSet", enum_name_or_empty(icon_set_names, i->icon_set));
        if (i->icon_id >= 0) number_attribute(w, "iconId", i->icon_id);
        w.end_empty_element();
    } else if (const top10_t* t = f.top10.get()) {
        w.start_element("top10");
        w.write_attribute("top", t->top ? "1" : "0");
        flag_attribute(w, "percent", t->percent);
        w.write_attribute("val", number_text(t->val));
        if (t->filter_val != 0) w.write_attribute("filterVal", number_text(t->filter_val));
        w.end_empty_element();
    }
}

} // namespace

void write_autofilter(xml::xml_stream_writer& w, const autofilter_t& f) {
    // A range that does not parse would make the part unreadable.
    if (!get_sheet_limits().valid_row(f.range.first.row) || !get_sheet_limits().valid_col(f.range.first.col)) return;
    w.start_element("autoFilter");
    w.write_attribute("ref", range_to_string_unchecked(f.range));
    if (f.columns.empty() && !f.sort_state) {
        w.end_empty_element();
        return;
    }
    w.close_start_tag();
    for (const filter_column_t& c : f.columns) {
        w.start_element("filterColumn");
        number_attribute(w, "colId", c.col_id);
        flag_attribute(w, "hiddenButton", c.hidden_button);
        if (!c.show_button) w.write_attribute("showButton", "0");
        w.close_start_tag();
        write_criteria(w, c);
        w.end_element("filterColumn");
    }
    if (f.sort_state) write_sort_state(w, *f.sort_state);
    w.end_element("autoFilter");
}

void table_definition_part_xml::write_table(xml::xml_stream_writer& w, const mta::tabledef_t& t, std::string_view name,
                                            const written_styles_t& styles) {
    const mta::tabledef_attributes_t a = t.get_attributes();
    auto dxf = [&](std::string_view attr, int32_t id) {
        if (id >= 0 && styles.has_dxf(id)) number_attribute(w, attr, id);
    };
    auto cell_style = [&](std::string_view attr, std::string_view style) {
        if (!style.empty() && styles.has_cell_style(style)) w.write_attribute(attr, style);
    };
    w.start_element("table");
    w.write_attribute("xmlns", uri::spreadsheetml_main);
    w.write_attribute("xmlns:mc", markup_compatibility);
    w.write_attribute("mc:Ignorable", "xr xr3");
    w.write_attribute("xmlns:xr", revision);
    w.write_attribute("xmlns:xr3", revision3);
    w.write_attribute("name", table_name_text(name));
    text_attribute(w, "comment", t.comment());
    if (a.connectionId >= 0) number_attribute(w, "connectionId", a.connectionId);
    cell_style("dataCellStyle", t.data_cell_style());
    dxf("dataDxfId", a.dataDxfId);
    if (!t.display_name().empty()) w.write_attribute("displayName", table_name_text(t.display_name()));
    dxf("headerRowBorderDxfId", a.headerRowBorderDxfId);
    cell_style("headerRowCellStyle", t.header_row_cell_style());
    if (a.headerRowCount >= 0) number_attribute(w, "headerRowCount", a.headerRowCount);
    dxf("headerRowDxfId", a.headerRowDxfId);
    number_attribute(w, "id", a.id);
    flag_attribute(w, "insertRow", a.insertRow);
    flag_attribute(w, "insertRowShift", a.insertRowShift);
    flag_attribute(w, "published", a.published);
    w.write_attribute("ref", range_to_string_unchecked(t.range()));
    dxf("tableBorderDxfId", a.tableBorderDxfId);
    if (t.table_type() != 0) w.write_attribute("tableType", enum_name_or_empty(table_type_names, uint32_t(t.table_type())));
    dxf("totalsRowBorderDxfId", a.totalsRowBorderDxfId);
    cell_style("totalsRowCellStyle", t.totals_row_cell_style());
    if (a.totalsRowCount > 0) number_attribute(w, "totalsRowCount", a.totalsRowCount);
    dxf("totalsRowDxfId", a.totalsRowDxfId);
    if (a.totalsRowShown || a.totalsRowShownGiven) w.write_attribute("totalsRowShown", a.totalsRowShown ? "1" : "0");
    w.close_start_tag();

    if (const autofilter_t* f = t.autofilter()) write_autofilter(w, *f);
    if (const sort_state_t* s = t.sort_state()) write_sort_state(w, *s);

    const int n = t.column_count();
    w.start_element("tableColumns");
    number_attribute(w, "count", n);
    w.close_start_tag();
    for (int i = 0; i < n; ++i) {
        const mta::tabledef_column_t c = t.column_at(i);
        w.start_element("tableColumn");
        number_attribute(w, "id", c.id);
        text_attribute(w, "uniqueName", c.uniqueName);
        w.write_attribute("name", c.name);
        const bool has_totals_formula = !c.totals_formula.text.empty();
        if (c.totals_func != 0 && (c.totals_func != totals_custom || has_totals_formula))
            w.write_attribute("totalsRowFunction", enum_name_or_empty(totals_function_names, uint32_t(c.totals_func)));
        text_attribute(w, "totalsRowLabel", c.totalsRowLabel);
        if (c.queryTableFieldId >= 0) number_attribute(w, "queryTableFieldId", c.queryTableFieldId);
        dxf("headerRowDxfId", c.headerRowDxfId);
        dxf("dataDxfId", c.dataDxfId);
        dxf("totalsRowDxfId", c.totalsRowDxfId);
        cell_style("headerRowCellStyle", c.headerRowCellStyle);
        cell_style("dataCellStyle", c.dataCellStyle);
        cell_style("totalsRowCellStyle", c.totalsRowCellStyle);
        const bool calculated = !c.calculated_formula.text.empty();
        const bool mapped = c.xml.mapId >= 0;
        if (!calculated && !has_totals_formula && !mapped) {
            w.end_empty_element();
            continue;
        }
        w.close_start_tag();
        if (calculated) formula_element(w, "calculatedColumnFormula", c.calculated_formula);
        if (has_totals_formula) formula_element(w, "totalsRowFormula", c.totals_formula);
        if (mapped) {
            w.start_element("xmlColumnPr");
            number_attribute(w, "mapId", c.xml.mapId);
            w.write_attribute("xpath", c.xml.xpath);
            flag_attribute(w, "denormalized", c.xml.denormalized);
            w.write_attribute("xmlDataType", c.xml.xmlDataType);
            w.end_empty_element();
        }
        w.end_element("tableColumn");
    }
    w.end_element("tableColumns");

    if (t.has_style_info()) write_style_info(w, t.style_info());
    w.end_element("table");
}

void table_definition_part_xml::write() {
    xml::xml_stream_writer* w = part_.get_xml_writer();
    if (!w) throw std::runtime_error("no xml stream writer.");
    const auto* definition = dynamic_cast<const table_definition_t*>(part_.get_component());
    const xml_part_t* parent = part_.get_parent();
    const auto* table = parent ? dynamic_cast<const worktable_t*>(parent->get_component()) : nullptr;
    const mta::tabledef_t* found =
        definition && table && !definition->get_name().empty() ? table->tabledefs().find(definition->get_name()) : nullptr;
    w->write_raw(xml::standalone_declaration);
    if (found) {
        write_table(*w, *found, definition->get_name(), written_styles_of(part_));
        return;
    }
    // A table the model does not hold goes back as it was read.
    const xml::sxml::xml_node_t* node = part_.get_kept_tree();
    while (node) {
        w->start_element(node->name);
        w->write_attributes(node->attributes);
        node = w->write_node_rest(node);
    }
}

} // namespace vex
