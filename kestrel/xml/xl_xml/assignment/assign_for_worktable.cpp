#include "kestrel/xml/xl_xml/assignment/assign_for_worktable.h"

#include "datetime.h"
#include "errors.h"
#include "kestrel/core/components/shared_string_table.h"
#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worksheet.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/document/external_document.h"
#include "kestrel/document/xml_doc_access.h"
#include "kestrel/parts/part.h"
#include "kestrel/xml/xl_xml/assignment/assign_for_shared_string_table.h"
#include "mta/table/cell/string_pool.h"
#include "mta/types/rc_record.h"
#include "sheet_limits.h"
#include "text_utils.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace vex {

using xml::sxml::status_t;
using xml::sxml::xml_node_t;
using mta::cell_value_kind;

namespace {

constexpr uint8_t kind_of(cell_value_kind k) noexcept { return static_cast<uint8_t>(k); }

[[noreturn]] void bad_reference(const char* what, const char* text) {
    throw loading_error(std::string(what) + text);
}

// Digits of a fixed width; false when any is missing.
bool digits(std::string_view& s, size_t n, int& out) noexcept {
    if (s.size() < n) return false;
    int v = 0;
    for (size_t i = 0; i < n; ++i) {
        if (!ascii_is_digit(s[i])) return false;
        v = v * 10 + (s[i] - '0');
    }
    out = v;
    s.remove_prefix(n);
    return true;
}

bool take(std::string_view& s, char c) noexcept {
    if (s.empty() || s.front() != c) return false;
    s.remove_prefix(1);
    return true;
}

// What a cell element says, each the first attribute of its name, found in
// one pass: a million cells would otherwise search their attributes five times.
struct cell_attributes_t {
    const char* r = nullptr;
    const char* t = nullptr;
    const char* s = nullptr;
    const char* cm = nullptr;
    const char* vm = nullptr;
    const char* ph = nullptr;
};

cell_attributes_t cell_attributes(const xml::sxml::xml_attribute_t* a) noexcept {
    cell_attributes_t out;
    for (; a; a = a->next) {
        const char* n = a->name;
        const char** slot = nullptr;
        if (n[0] != '\0' && n[1] == '\0') {
            slot = n[0] == 'r' ? &out.r : n[0] == 't' ? &out.t : n[0] == 's' ? &out.s : nullptr;
        } else if (n[0] != '\0' && n[1] == 'm' && n[2] == '\0') {
            slot = n[0] == 'c' ? &out.cm : n[0] == 'v' ? &out.vm : nullptr;
        } else if (n[0] == 'p' && n[1] == 'h' && n[2] == '\0') {
            slot = &out.ph;
        }
        if (slot && !*slot) *slot = a->value;
    }
    return out;
}

// The styles are read before the sheets, so this is the file's count.
uint32_t cell_xf_count(const worktable_t& table) {
    const mta::style_manager_t* styles = table.get_style_manager();
    if (!styles) return 1;
    const auto lock = styles->lock();
    return static_cast<uint32_t>(std::min(styles->get_impl().cell_xfs.size(), mta::max_cell_xf_count));
}

} // namespace

std::optional<double> parse_date_text(std::string_view s, bool date1904) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, ms = 0;
    if (!digits(s, 4, year) || !take(s, '-') || !digits(s, 2, month) || !take(s, '-') || !digits(s, 2, day))
        return std::nullopt;
    if (!s.empty()) {
        if (!take(s, 'T') && !take(s, ' ')) return std::nullopt;
        if (!digits(s, 2, hour) || !take(s, ':') || !digits(s, 2, minute)) return std::nullopt;
        if (take(s, ':') && !digits(s, 2, second)) return std::nullopt;
        if (take(s, '.')) {
            int scale = 100;
            if (s.empty() || !ascii_is_digit(s.front())) return std::nullopt;
            for (; !s.empty() && ascii_is_digit(s.front()); s.remove_prefix(1), scale /= 10) ms += (s.front() - '0') * scale;
        }
        // A zone is ignored: the value is the wall-clock time written.
        int zh = 0, zm = 0;
        if (!take(s, 'Z') && (take(s, '+') || take(s, '-')))
            if (!digits(s, 2, zh) || (take(s, ':'), !digits(s, 2, zm))) return std::nullopt;
        if (!s.empty()) return std::nullopt;
    }
    if (!is_valid_date(year, unsigned(month), unsigned(day))) return std::nullopt;
    const double serial = date1904 ? encode_serial_datetime1904(year, month, day, hour, minute, second, ms)
                                   : encode_serial_datetime(year, month, day, hour, minute, second, ms);
    if (serial == invalid_serial_time || !std::isfinite(serial)) return std::nullopt;
    return serial;
}

mta::error_value_enum get_err_type(const char* text) noexcept {
    using e = mta::error_value_enum;
    const std::string_view t = text ? text : "";
    if (t == "#DIV/0!") return e::div0;
    if (t == "#NAME?") return e::name;
    if (t == "#VALUE!") return e::value;
    if (t == "#NULL!") return e::null;
    if (t == "#NUM!") return e::num;
    if (t == "#REF!") return e::ref;
    if (t == "#N/A") return e::na;
    if (t == "#GETTING_DATA") return e::getting_data;
    if (t == "#SPILL!") return e::spill;
    return e::value;
}

assign_for_worktable::assign_for_worktable(worktable_t& table, const shared_string_table_t* strings, bool date1904)
    : table_(table),
      strings_(strings),
      date1904_(date1904),
      full_read_(!table.get_part() || table.get_part()->is_complete()),
      xf_count_(cell_xf_count(table)),
      periphery_(table.periphery()) {
    if (full_read_) return;
    const worksheet_t* sheet = table.get_worksheet();
    const xml_part_t* book_part = sheet ? sheet->get_part()->get_parent() : nullptr;
    const auto* book = book_part ? dynamic_cast<const workbook_t*>(book_part->get_component()) : nullptr;
    const external_document_t* document = book ? book->external_document() : nullptr;
    if (!document) return;
    references_ = document->owner();
    table_name_ = table.name();
    sheet_name_ = book->sheet_name_of(sheet);
    book_path_ = document->path();
}

assign_for_worktable::~assign_for_worktable() = default;

mta::string_pool_t& assign_for_worktable::pool() const { return table_.get_string_pool(); }

status_t assign_for_worktable::assign(const xml_node_t* node) {
    if (!node || !node->name) return status_t::keep;
    // The child of the root the node is in; null for the root.
    const xml_node_t* section = node->parent ? node : nullptr;
    if (section)
        while (section->parent->parent) section = section->parent;
    // The cells first: they are nearly every node of a sheet.
    if (node_named(section, "sheetData")) return assign_sheet_data(*node);
    if (node_named(section, "cols")) return assign_cols(*node);
    if (node_named(section, "mergeCells")) return assign_merge_cells(*node);
    if (node_named(section, "hyperlinks")) return assign_hyperlinks(*node);
    if (node_named(section, "autoFilter")) return filter_reader_.read(*node, table_.sheet_extras().autofilter);
    if (node_named(section, "sortState")) return read_sort_state(*node, table_.sheet_extras().sort_state);
    if (section)
        if (const std::optional<status_t> s = periphery_.assign(*node, *section)) return *s;
    return status_t::keep;
}

status_t assign_for_worktable::assign_sheet_data(const xml_node_t& node) {
    // Inside an inline string: its items and runs.
    for (const xml_node_t* p = node.parent; p && !node_named(p, "c"); p = p->parent) {
        if (node_named(p, "is")) {
            if (!cell_open_ || !node_named(p->parent, "c")) return status_t::done;
            if (!inline_reader_) inline_reader_ = std::make_unique<assign_for_shared_string_table_t>(pool());
            inline_reader_->assign(&node);
            return status_t::done;
        }
    }
    const xml_node_t* parent = node.parent;
    // A node whose parent record is missing is ignored.
    if (node_named(&node, "row")) return node_named(parent, "sheetData") ? assign_row(node) : status_t::done;
    if (node_named(&node, "c")) return node_named(parent, "row") ? assign_c(node) : status_t::done;
    if (!node_named(parent, "c") || !cell_open_) return status_t::done;
    if (node_named(&node, "v")) return assign_v(node);
    if (node_named(&node, "f")) return assign_f(node);
    if (node_named(&node, "is")) return assign_is(node);
    return status_t::done;
}

status_t assign_for_worktable::assign_cols(const xml_node_t& node) {
    if (!node_named(&node, "col") || !node_named(node.parent, "cols") || !is_start(node)) return status_t::done;
    const auto* a = node.attributes;
    const int32_t first = int_or(get_attribute_value("min", a), 0);
    const int32_t last = int_or(get_attribute_value("max", a), 0);
    // A range outside the sheet or reversed is ignored.
    if (first > last || !get_sheet_limits().valid_col(first) || !get_sheet_limits().valid_col(last))
        return status_t::done;
    uint32_t flags = 0;
    if (flag_or(get_attribute_value("hidden", a), false)) flags |= mta::rc_record_t::hidden;
    if (flag_or(get_attribute_value("bestFit", a), false)) flags |= mta::rc_record_t::best_fit;
    if (flag_or(get_attribute_value("phonetic", a), false)) flags |= mta::rc_record_t::phonetic;
    if (flag_or(get_attribute_value("collapsed", a), false)) flags |= mta::rc_record_t::collapsed;
    // The store keeps a width only as a custom one. A col without
    // customWidth carrying the sheet's default width (as the writers put on
    // every col) has none of its own.
    const char* width = get_attribute_value("width", a);
    const double w = double_or(width, -1.0);
    const bool custom = flag_or(get_attribute_value("customWidth", a), false);
    if (w >= 0 && (custom || w != table_.get_default_col_width(0))) {
        table_.save_columns_width_(first, last, w);
        if (const std::optional<double> kept = table_.get_custom_col_width(first, first, 0))
            table_.sheet_extras().read_col_widths.try_emplace(*kept, w);
        flags |= mta::rc_record_t::custom_size;
        if (!custom) flags |= mta::rc_record_t::plain_width;
    }
    const int32_t level = int_or(get_attribute_value("outlineLevel", a), 0);
    if (level > 0 && level <= 7) {
        const bool collapsed = flag_or(get_attribute_value("collapsed", a), false);
        table_.set_col_outline_level(first, last, collapsed ? -level : level);
    }
    // A collapsed summary column closes the group on its left.
    if ((flags & mta::rc_record_t::collapsed) && table_.group_summary_right())
        table_.col_outline().collapse_group_before(first);
    const uint32_t xf = xf_of(int_or(get_attribute_value("style", a), 0));
    if (xf || flags) table_.set_col_record(first, last, xf | (flags << 16));
    return status_t::done;
}

status_t assign_for_worktable::assign_merge_cells(const xml_node_t& node) {
    if (!node_named(&node, "mergeCell") || !node_named(node.parent, "mergeCells") || !is_start(node))
        return status_t::done;
    const char* ref = get_attribute_value("ref", node.attributes);
    const range_t range = read_range(ref ? ref : "");
    if (!table_.merged_cells().record_loaded(range))
        throw loading_error(std::string("Merged ranges overlap: ") + ref);
    return status_t::done;
}

status_t assign_for_worktable::assign_hyperlinks(const xml_node_t& node) {
    if (!node_named(&node, "hyperlink") || !node_named(node.parent, "hyperlinks") || !is_start(node))
        return status_t::done;
    const auto* a = node.attributes;
    auto text = [&](const char* name) { return package_text(get_attribute_value(name, a)); };
    // A link without its cells has no place to go; saved, it would make the
    // sheet unreadable.
    const char* ref = get_attribute_value("ref", a);
    if (!ref) return status_t::done;
    worktable_t::pending_hyperlink_t link;
    link.range = read_range(ref);
    link.relationship_id = text("r:id");
    link.target = text("location");
    link.display = text("display");
    link.tooltip = text("tooltip");
    table_.sheet_extras().pending_hyperlinks.push_back(std::move(link));
    return status_t::done;
}

status_t assign_for_worktable::assign_row(const xml_node_t& node) {
    if (is_start(node)) {
        const sheet_limits_t& limits = get_sheet_limits();
        const auto* a = node.attributes;
        int64_t r = last_row_ + 1;
        if (const char* text = get_attribute_value("r", a)) {
            r = int_or(text, 0);
            if (!limits.valid_row(r)) bad_reference("Wrong row identifier: ", text);
        } else if (!limits.valid_row(r)) {
            throw loading_error("Wrong row identifier: " + std::to_string(r));
        }
        last_row_ = r;
        last_col_ = 0;
        const int row = static_cast<int>(r);
        if (!full_read_ && !is_referenced_row(row)) return status_t::done;
        row_accepted_ = true;
        uint32_t flags = 0;
        const bool custom_height = flag_or(get_attribute_value("customHeight", a), false);
        if (custom_height) flags |= mta::rc_record_t::custom_size;
        if (flag_or(get_attribute_value("hidden", a), false)) flags |= mta::rc_record_t::hidden;
        if (flag_or(get_attribute_value("thickTop", a), false)) flags |= mta::rc_record_t::thick_top;
        if (flag_or(get_attribute_value("thickBot", a), false)) flags |= mta::rc_record_t::thick_bottom;
        if (flag_or(get_attribute_value("ph", a), false)) flags |= mta::rc_record_t::phonetic;
        // A non-finite or negative height is ignored.
        const double ht = double_or(get_attribute_value("ht", a), -1.0);
        int32_t kept_height = 0;
        if (custom_height) {
            if (ht >= 0) table_.set_custom_row_height(row, row, ht, 0);
        } else if (ht >= 0) {
            // Not the row's own height for the host, but written back.
            flags |= mta::rc_record_t::read_height;
            kept_height = int32_t(mta::row_height_to_emu(ht, 0));
        }
        if (const char* level = get_attribute_value("outlineLevel", a)) {
            const int32_t l = int_or(level, 0);
            if (l != 0) table_.set_row_outline_level(row, row, l);
        }
        // collapsed on a summary row closes the group above it; on a row of
        // a group, that group.
        if (flag_or(get_attribute_value("collapsed", a), false)) {
            flags |= mta::rc_record_t::collapsed_row;
            if (!(table_.group_summary_below() && table_.row_outline().collapse_group_before(row)))
                table_.row_outline().set_outline_collapsed(row, true);
        }
        uint32_t style = 0;
        if (const char* s = get_attribute_value("s", a)) style = style_index(s);
        if (style || flags) table_.row_records().assign(row, row, {uint16_t(style), uint8_t(flags), kept_height});
    }
    if (is_end(node)) finish_row();
    return status_t::done;
}

status_t assign_for_worktable::assign_c(const xml_node_t& node) {
    if (!row_accepted_) return status_t::done;
    if (is_start(node)) {
        // Copied from a blank record, not built afresh: the compiler clears a
        // fresh one with a string instruction slow to start, and would do the
        // same for a const blank, whose contents it knows.
        static mta::trival_cell_t blank{};  // never written
        cell_ = blank;
        cell_text_ = false;
        cell_open_ = true;
        const cell_attributes_t a = cell_attributes(node.attributes);
        int64_t row = last_row_, col = last_col_ + 1;
        if (const char* r = a.r) {
            if (!parse_cell_reference(r, row, col)) bad_reference("Wrong cell reference: ", r);
        } else if (!get_sheet_limits().valid_col(col)) {
            throw loading_error("Wrong cell reference: column " + std::to_string(col));
        }
        if (row != last_row_) throw loading_error("xml file error: row is " + std::to_string(row));
        last_col_ = col;
        read_cell_metadata(a.cm, a.vm, a.ph, int32_t(row), int32_t(col));
        cell_.row = static_cast<uint32_t>(row);
        cell_.col = static_cast<uint32_t>(col);
        if (const char* t = a.t) {
            const std::string_view type = t;
            if (type == "n") cell_.kind = kind_of(cell_value_kind::number);
            else if (type == "b") cell_.kind = kind_of(cell_value_kind::boolean);
            else if (type == "s" || type == "inlineStr") cell_.kind = kind_of(cell_value_kind::text);
            else if (type == "str") cell_text_ = true;
            else if (type == "d") cell_.kind = kind_of(cell_value_kind::datetime);
            else if (type == "e") cell_.kind = kind_of(cell_value_kind::error);
        }
        if (const char* s = a.s) cell_.style = style_index(s);
    }
    if (is_end(node)) flush_cell();
    return status_t::done;
}

status_t assign_for_worktable::assign_v(const xml_node_t& node) {
    if (is_end(node)) assign_cell_value(node.text ? node.text : "", cell_);
    return status_t::done;
}

status_t assign_for_worktable::assign_f(const xml_node_t& node) {
    if (!full_read_ || !is_end(node)) return status_t::done;
    const auto* a = node.attributes;
    mta::formula::formula_attributes_t& f = cell_.attributes;
    static constexpr const char* flag_names[] = {"ca", "aca", "bx", "del1", "del2", "dt2D", "dtr"};
    for (size_t bit = 0; bit < std::size(flag_names); ++bit) {
        if (const char* v = get_attribute_value(flag_names[bit], a)) {
            if (flag_or(v, false))
                f.flags = static_cast<uint8_t>(f.flags | (1u << bit));
            else
                f.flags = static_cast<uint8_t>(f.flags & ~(1u << bit));
        }
    }
    int64_t row = 0, col = 0;
    if (const char* r1 = get_attribute_value("r1", a)) {
        if (!parse_cell_reference(r1, row, col)) bad_reference("Wrong cell reference: ", r1);
        f.r1.row = int32_t(row);
        f.r1.col = int32_t(col);
    }
    if (const char* r2 = get_attribute_value("r2", a)) {
        if (!parse_cell_reference(r2, row, col)) bad_reference("Wrong cell reference: ", r2);
        f.r2.row = int32_t(row);
        f.r2.col = int32_t(col);
    }
    if (const char* ref = get_attribute_value("ref", a)) {
        const range_t r = read_range(ref);
        f.ref.first.row = r.first.row;
        f.ref.first.col = r.first.col;
        f.ref.last.row = r.last.row;
        f.ref.last.col = r.last.col;
    }
    if (const char* si = get_attribute_value("si", a)) f.shared_index = uint_or(si, 0);
    if (const char* t = get_attribute_value("t", a)) f.type = read_enum("normal, shared, array, dataTable", t);
    if (cell_.kind != kind_of(cell_value_kind::formula)) cell_.value_kind = cell_.kind;
    cell_.kind = kind_of(cell_value_kind::formula);
    if (node.text) {
        std::string& text = formulas_.emplace_back(node.text);
        cell_.formula_escapes_kept = decode_x_escapes(text);
        cell_.formula = text;
    }
    return status_t::done;
}

status_t assign_for_worktable::assign_is(const xml_node_t& node) {
    if (!is_end(node)) return status_t::done;
    if (!inline_reader_) inline_reader_ = std::make_unique<assign_for_shared_string_table_t>(pool());
    const int32_t index = inline_reader_->finish_item();
    if (cell_.kind == kind_of(cell_value_kind::formula)) {
        cell_.value_kind = kind_of(cell_value_kind::text);
    } else {
        cell_.kind = kind_of(cell_value_kind::text);
    }
    cell_.value = index;
    return status_t::done;
}

// A style index past the file's formats is the default one.
uint32_t assign_for_worktable::style_index(const char* text) const {
    const std::optional<uint32_t> v = whole_uint(text);
    if (!v) throw loading_error("Cell data error.");
    return *v < xf_count_ ? *v : 0;
}

// Dynamic arrays and pictures in cells index the workbook's metadata part.
void assign_for_worktable::read_cell_metadata(const char* cm, const char* vm, const char* ph, int32_t row,
                                              int32_t col) {
    if (!cm && !vm && !ph) return;
    cell_metadata_t m;
    m.cell = uint_or(cm, 0);
    // No metadata part holds that many records: the index is none.
    if (const uint32_t index = uint_or(vm, 0); index <= cell_metadata_t::max_value) m.value = index;
    m.phonetic = flag_or(ph, false);
    if (m.cell || m.value || m.phonetic) table_.periphery().cell_metadata[{row, col}] = m;
}

bool assign_for_worktable::is_referenced_row(int32_t row) const {
    if (!references_) return false;
    const range_t cells{{0, row, 1}, {0, row, get_sheet_limits().last_col}};
    return references_->search_sheet_ranges(table_name_, sheet_name_, book_path_, cells);
}

void assign_for_worktable::flush_cell() {
    cell_open_ = false;
    row_.append(cell_);
}

void assign_for_worktable::finish_row() {
    row_accepted_ = false;
    if (!row_.cells.empty()) table_.set_imported_row_cells(row_);
    row_.clear();
    formulas_.clear();
}

void assign_for_worktable::assign_cell_value(const char* text, mta::trival_cell_t& cell) {
    try {
        if (cell.kind == kind_of(cell_value_kind::formula)) {
            // openpyxl writes "<v></v>" for a formula it never calculated: no
            // result, where an empty text result (t="str") stays a text.
            if (*text == '\0' && !cell_text_ && cell.value_kind != kind_of(cell_value_kind::text)) return;
            mta::trival_cell_t result;
            read_value(text, cell_text_ ? kind_of(cell_value_kind::text) + 100 : cell.value_kind, result);
            cell.value_kind = result.kind;
            cell.value = result.value;
        } else {
            read_value(text, cell_text_ ? kind_of(cell_value_kind::text) + 100 : cell.kind, cell);
        }
    } catch (const loading_error&) {
        throw;
    } catch (const std::exception&) {
        throw loading_error("Cell data error.");
    }
}

// kind 104: the text itself (t="str"), interned into the pool.
void assign_for_worktable::read_value(const char* text, uint8_t kind, mta::trival_cell_t& cell) {
    switch (kind) {
    case kind_of(cell_value_kind::none):
    case kind_of(cell_value_kind::int32):
    case kind_of(cell_value_kind::int64):
    case kind_of(cell_value_kind::number): {
        const std::optional<double> whole = cell_double(text);
        if (!whole) throw loading_error("Cell data error.");
        const double v = *whole;
        if (std::isnan(v)) {
            cell.kind = kind_of(cell_value_kind::error);
            cell.value = mta::error_value_enum::num;
            return;
        }
        const int storage = number_storage_kind(v);  // -0 stays a double, with its sign
        if (storage == 1) {
            cell.kind = kind_of(cell_value_kind::int32);
            cell.value = static_cast<int32_t>(v);
        } else if (storage == 2) {
            cell.kind = kind_of(cell_value_kind::int64);
            cell.value = static_cast<int64_t>(v);
        } else {
            cell.kind = kind_of(cell_value_kind::number);
            cell.value = v;
        }
        return;
    }
    case kind_of(cell_value_kind::text):
    case kind_of(cell_value_kind::rich_text): {
        const std::optional<uint32_t> position = whole_uint(text);
        const int32_t index = strings_ && position ? strings_->lookup_loaded_index(*position) : 0x7FFFFFFF;
        if (index == 0x7FFFFFFF) throw loading_error("Cell data error.");
        cell.kind = kind_of(cell_value_kind::text);
        cell.value = index;
        return;
    }
    case kind_of(cell_value_kind::text) + 100: {
        std::string decoded(text);
        const bool kept = decode_x_escapes(decoded);
        cell.kind = kind_of(cell_value_kind::text);
        cell.value = pool().add_string(0, decoded, kept);
        return;
    }
    case kind_of(cell_value_kind::boolean):
        cell.kind = kind;
        if (std::strcmp(text, "0") != 0 && std::strcmp(text, "1") != 0 && std::strcmp(text, "true") != 0 &&
            std::strcmp(text, "false") != 0)
            throw loading_error("Cell data error.");
        cell.value = flag_or(text, false);
        return;
    case kind_of(cell_value_kind::datetime): {
        const std::optional<double> serial = parse_date_text(text, date1904_);
        if (!serial) throw loading_error("Cell data error.");
        cell.kind = kind_of(cell_value_kind::number);
        cell.value = *serial;
        return;
    }
    case kind_of(cell_value_kind::error): {
        cell.kind = kind;
        const mta::error_value_enum code = get_err_type(text);
        cell.value = code;
        // A literal of a later application: kept to be written back.
        if (mta::error_literal(int32_t(code)) != text) {
            table_.periphery().error_literals[{int32_t(cell_.row), int32_t(cell_.col)}] = text;
            table_.watch_values();  // a value set in the cell replaces it
        }
        return;
    }
    default:
        throw loading_error("Cell data error.");
    }
}

} // namespace vex
