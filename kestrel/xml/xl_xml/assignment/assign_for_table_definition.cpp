#include "kestrel/xml/xl_xml/assignment/assign_for_table_definition.h"

#include "kestrel/core/components/table_definition.h"
#include "kestrel/core/components/worktable.h"
#include "mta/table/utils/table_definition/tabledef_list.h"
#include "text_utils.h"

#include <cstring>

namespace vex {

using xml::sxml::status_t;
using xml::sxml::xml_node_t;

namespace {

namespace lists = filter_lists;

const char* attr(const xml_node_t& n, const char* name) noexcept { return get_attribute_value(name, n.attributes); }

// Absent keeps v.
void read_flag(const xml_node_t& n, const char* name, uint8_t& v) { v = flag_or(attr(n, name), v != 0) ? 1 : 0; }

void read_number(const xml_node_t& n, const char* name, int32_t& v) {
    if (const char* t = attr(n, name)) v = read_int(t);
}

void read_text(const xml_node_t& n, const char* name, std::string& v) {
    if (const char* t = attr(n, name)) v = package_text(t);
}

int32_t atoi_of(const xml_node_t& n, const char* name, int32_t fallback) noexcept {
    const char* t = attr(n, name);
    return t ? int_or(t, 0) : fallback;
}

double atof_of(const xml_node_t& n, const char* name) noexcept { return double_or(attr(n, name), 0.0); }

uint16_t short_of(const xml_node_t& n, const char* name) noexcept {
    const int32_t v = atoi_of(n, name, 0);
    return v >= 0 && v <= 0xFFFF ? uint16_t(v) : 0;
}

bool has_ancestor(const xml_node_t& node, std::string_view name) noexcept {
    for (const xml_node_t* p = &node; p; p = p->parent)
        if (node_named(p, name)) return true;
    return false;
}

void read_criteria(const xml_node_t& node, filter_column_t& f) {
    const std::string_view name = node.name;
    const std::string_view parent = node.parent && node.parent->name ? node.parent->name : "";
    if (name == "colorFilter") {
        auto c = std::make_unique<color_filter_t>();
        read_flag(node, "cellColor", c->cell_color);
        c->dxf_id = atoi_of(node, "dxfId", -1);
        f.color_filter = std::move(c);
    } else if (name == "customFilters") {
        auto c = std::make_unique<custom_filters_t>();
        read_flag(node, "and", c->and_);
        f.custom_filters = std::move(c);
    } else if (name == "customFilter") {
        if (parent != "customFilters" || !f.custom_filters) return;
        custom_filter_t one;
        if (const char* op = attr(node, "operator")) one.op = read_enum(lists::filter_operator, op);
        read_text(node, "val", one.value);
        f.custom_filters->filters.push_back(std::move(one));
    } else if (name == "dynamicFilter") {
        auto d = std::make_unique<dynamic_filter_t>();
        if (const char* t = attr(node, "type")) d->type = read_enum(lists::dynamic_filter, t);
        d->max_val_iso = atof_of(node, "maxValIso");
        d->val_iso = atof_of(node, "valIso");
        d->val = atof_of(node, "val");
        f.dynamic_filter = std::move(d);
    } else if (name == "filters") {
        auto v = std::make_unique<filters_t>();
        read_flag(node, "blank", v->blank);
        if (const char* t = attr(node, "calendarType")) v->calendar_type = read_enum(lists::calendar_type, t);
        f.filters = std::move(v);
    } else if (name == "filter") {
        if (parent != "filters" || !f.filters) return;
        if (const char* v = attr(node, "val")) f.filters->values.emplace_back(v);
    } else if (name == "dateGroupItem") {
        if (parent != "filters" || !f.filters) return;
        date_group_item_t g;
        if (const char* t = attr(node, "dateTimeGrouping")) g.grouping = read_enum(lists::date_grouping, t);
        g.year = short_of(node, "year");
        g.month = short_of(node, "month");
        g.day = short_of(node, "day");
        g.hour = short_of(node, "hour");
        g.minute = short_of(node, "minute");
        g.second = short_of(node, "second");
        f.filters->date_groups.push_back(g);
    } else if (name == "iconFilter") {
        auto i = std::make_unique<icon_filter_t>();
        i->icon_id = atoi_of(node, "iconId", -1);
        if (const char* t = attr(node, "iconSet")) i->icon_set = read_icon_set(t);
        f.icon_filter = std::move(i);
    } else if (name == "top10") {
        auto t = std::make_unique<top10_t>();
        read_flag(node, "top", t->top);
        read_flag(node, "percent", t->percent);
        t->val = atof_of(node, "val");
        t->filter_val = atof_of(node, "filterVal");
        f.top10 = std::move(t);
    }
}

} // namespace

uint32_t read_icon_set(const char* text) { return read_enum(lists::icon_set, text); }

status_t autofilter_reader_t::read(const xml_node_t& node, std::unique_ptr<autofilter_t>& slot) {
    if (!node.name) return status_t::done;
    if (node_named(&node, "autoFilter")) {
        if (is_start(node)) {
            slot = std::make_unique<autofilter_t>();
            in_column_ = false;
            if (const char* ref = attr(node, "ref"))
                slot->range = read_range(ref);
            else if (default_range_)
                slot->range = *default_range_;
            else
                slot.reset();
        }
        return status_t::done;
    }
    if (!slot) return status_t::done;
    if (has_ancestor(node, "sortState")) return read_sort_state(node, slot->sort_state);
    if (node_named(&node, "filterColumn")) {
        if (is_start(node)) {
            in_column_ = true;
            filter_column_t& c = slot->columns.emplace_back();
            c.col_id = atoi_of(node, "colId", -1);
            read_flag(node, "hiddenButton", c.hidden_button);
            read_flag(node, "showButton", c.show_button);
        }
        if (is_end(node)) in_column_ = false;
        return status_t::done;
    }
    if (in_column_ && is_start(node) && has_ancestor(node, "filterColumn")) read_criteria(node, slot->columns.back());
    return status_t::done;
}

status_t read_sort_state(const xml_node_t& node, std::unique_ptr<sort_state_t>& slot) {
    if (!is_start(node)) return status_t::done;
    if (node_named(&node, "sortState")) {
        slot = std::make_unique<sort_state_t>();
        slot->case_sensitive = flag_or(attr(node, "caseSensitive"), false);
        slot->column_sort = flag_or(attr(node, "columnSort"), false);
        if (const char* ref = attr(node, "ref")) slot->ref = read_range(ref);
        if (const char* m = attr(node, "sortMethod")) slot->sort_method = read_enum(lists::sort_method, m);
        return status_t::done;
    }
    if (!node_named(&node, "sortCondition") || !slot || !node_named(node.parent, "sortState")) return status_t::done;
    sort_condition_t& c = slot->conditions.emplace_back();
    read_text(node, "customList", c.custom_list);
    read_flag(node, "descending", c.descending);
    c.dxf_id = atoi_of(node, "dxfId", -1);
    c.icon_id = atoi_of(node, "iconId", -1);
    if (const char* s = attr(node, "iconSet")) c.icon_set = read_icon_set(s);
    if (const char* ref = attr(node, "ref")) c.ref = read_range(ref);
    if (const char* by = attr(node, "sortBy")) c.sort_by = read_enum(lists::sort_by, by);
    return status_t::done;
}

assign_for_table_definition::assign_for_table_definition(table_definition_t& definition, worktable_t* table)
    : definition_(definition), table_(table) {}

assign_for_table_definition::~assign_for_table_definition() = default;

status_t assign_for_table_definition::assign(const xml_node_t* node) {
    if (!node || !node->name) return status_t::done;
    if (node_depth(node) == 1) {
        if (!node_named(node, "table")) return status_t::done;
        if (is_start(*node)) read_table(*node);
        if (is_end(*node)) finish();
        return status_t::done;
    }
    const xml_node_t* section = node_ancestor_at_depth(node, 2);
    if (node_named(section, "tableColumns")) {
        if (is_start(*node)) read_column(*node);
        return status_t::done;
    }
    if (node_named(section, "tableStyleInfo")) {
        if (node == section && is_start(*node)) read_style_info(*node);
        return status_t::done;
    }
    if (node_named(section, "autoFilter")) return filter_reader_.read(*node, filter_);
    if (node_named(section, "sortState")) return read_sort_state(*node, sort_);
    return status_t::done;
}

void assign_for_table_definition::read_table(const xml_node_t& n) {
    read_text(n, "name", name_);
    read_text(n, "displayName", display_name_);
    read_text(n, "comment", comment_);
    read_text(n, "dataCellStyle", data_cell_style_);
    read_text(n, "headerRowCellStyle", header_row_cell_style_);
    read_text(n, "totalsRowCellStyle", totals_row_cell_style_);
    mta::tabledef_attributes_t& a = attributes_;
    int32_t id = -1;
    read_number(n, "id", id);
    a.id = id > 0 ? uint32_t(id) : 0;
    read_number(n, "connectionId", a.connectionId);
    read_number(n, "dataDxfId", a.dataDxfId);
    read_number(n, "tableBorderDxfId", a.tableBorderDxfId);
    read_number(n, "headerRowCount", a.headerRowCount);
    read_number(n, "headerRowDxfId", a.headerRowDxfId);
    read_number(n, "headerRowBorderDxfId", a.headerRowBorderDxfId);
    read_number(n, "totalsRowCount", a.totalsRowCount);
    read_number(n, "totalsRowDxfId", a.totalsRowDxfId);
    read_number(n, "totalsRowBorderDxfId", a.totalsRowBorderDxfId);
    read_flag(n, "insertRow", a.insertRow);
    read_flag(n, "insertRowShift", a.insertRowShift);
    read_flag(n, "totalsRowShown", a.totalsRowShown);
    a.totalsRowShownGiven = attr(n, "totalsRowShown") ? 1 : 0;
    read_flag(n, "published", a.published);
    if (const char* t = attr(n, "tableType")) type_ = read_enum(lists::table_type, t);
    if (const char* ref = attr(n, "ref")) {
        range_ = read_range(ref);
        has_range_ = true;
        // The filter covers the table but its totals row.
        range_t filtered = range_;
        if (a.totalsRowCount > 0 && filtered.last.row - a.totalsRowCount >= filtered.first.row)
            filtered.last.row -= a.totalsRowCount;
        filter_reader_.set_default_range(filtered);
    }
}

void assign_for_table_definition::read_column(const xml_node_t& n) {
    if (node_named(&n, "tableColumn")) {
        if (!node_named(n.parent, "tableColumns")) return;
        mta::tabledef_column_t c;
        read_text(n, "dataCellStyle", c.dataCellStyle);
        read_text(n, "headerRowCellStyle", c.headerRowCellStyle);
        read_text(n, "totalsRowCellStyle", c.totalsRowCellStyle);
        read_text(n, "name", c.name);
        read_text(n, "totalsRowLabel", c.totalsRowLabel);
        read_text(n, "uniqueName", c.uniqueName);
        read_number(n, "dataDxfId", c.dataDxfId);
        read_number(n, "headerRowDxfId", c.headerRowDxfId);
        read_number(n, "id", c.id);
        read_number(n, "queryTableFieldId", c.queryTableFieldId);
        read_number(n, "totalsRowDxfId", c.totalsRowDxfId);
        if (const char* f = attr(n, "totalsRowFunction")) c.totals_func = int32_t(read_enum(lists::totals_function, f));
        columns_.push_back(std::move(c));
        return;
    }
    // The column's children need the column.
    if (columns_.empty() || !node_named(n.parent, "tableColumn")) return;
    mta::tabledef_column_t& c = columns_.back();
    auto formula = [&](mta::tabledef_formula_t& f) {
        uint8_t array = f.array;
        read_flag(n, "array", array);
        f.array = array;
        if (const char* space = attr(n, "xml:space")) f.preserve_space = read_enum("___default, preserve", space) == 1;
        f.text = package_text(n.text);
    };
    if (node_named(&n, "calculatedColumnFormula")) {
        formula(c.calculated_formula);
    } else if (node_named(&n, "totalsRowFormula")) {
        formula(c.totals_formula);
    } else if (node_named(&n, "xmlColumnPr")) {
        uint8_t denormalized = 0;
        read_flag(n, "denormalized", denormalized);
        c.xml.denormalized = denormalized;
        read_number(n, "mapId", c.xml.mapId);
        read_text(n, "xmlDataType", c.xml.xmlDataType);
        read_text(n, "xpath", c.xml.xpath);
    }
}

void assign_for_table_definition::read_style_info(const xml_node_t& n) {
    has_style_info_ = true;
    read_text(n, "name", style_name_);
    read_flag(n, "showRowStripes", show_row_stripes_);
    read_flag(n, "showColumnStripes", show_col_stripes_);
    read_flag(n, "showFirstColumn", show_first_col_);
    read_flag(n, "showLastColumn", show_last_col_);
}

void assign_for_table_definition::finish() {
    if (finished_ || !table_) return;
    finished_ = true;
    // A table without its range stays out of the model and is written as read;
    // so does one the list refuses, which records why. Either keeps its name.
    mta::tabledef_t* t = has_range_ ? table_->tabledefs().add(int32_t(type_), name_.c_str(), range_) : nullptr;
    if (!t) {
        if (!name_.empty()) table_->tabledefs().keep_unloaded_name(name_);
        return;
    }
    if (attributes_.id == 0) attributes_.id = t->get_attributes().id;
    t->set_attributes(attributes_);
    t->set_display_name(display_name_);
    t->set_comment(comment_);
    // The workbook's own styles may come later in the package: the sheet checks
    // the name once everything is read.
    if (has_style_info_)
        t->keep_style_info(style_name_, show_row_stripes_, show_col_stripes_, show_first_col_, show_last_col_);
    else
        t->drop_style_info();
    t->set_data_cell_style(data_cell_style_);
    t->set_header_row_cell_style(header_row_cell_style_);
    t->set_totals_row_cell_style(totals_row_cell_style_);
    // A column list that does not span the range keeps the list's own columns.
    if (int64_t(columns_.size()) == int64_t(range_.last.col) - range_.first.col + 1) t->set_columns(columns_);
    t->set_autofilter(std::move(filter_));
    t->set_sort_state(std::move(sort_));
    definition_.set_name(name_);
}

} // namespace vex
