#include "mta/table/utils/hyperlink/hyperlink_list.h"

#include "errors.h"
#include "mta/table/formula_model/table_formula_model.h"
#include "mta/table/style/rc/cell_style_runs.h"
#include "mta/table/table/table.h"
#include "mta/table/utils/band_shift.h"
#include "mta/table/utils/defined_names/defined_name_store.h"
#include "mta/table/utils/range_check.h"
#include "run_message.h"
#include "sheet_limits.h"
#include "text_utils.h"

namespace vex::mta {

namespace {

constexpr uint16_t hyperlink_theme_color = 10;
constexpr int32_t single_underline = 1;

// Reads "$?LETTERS" or "$?DIGITS" as one part of an A1 reference; 0 when absent
// or beyond the sheet.
int read_part(std::string_view& s, bool letters) {
    std::string_view t = s;
    if (!t.empty() && t.front() == '$') t.remove_prefix(1);
    int64_t v = 0;
    size_t n = 0;
    while (n < t.size() && (letters ? ascii_is_alpha(t[n]) : ascii_is_digit(t[n]))) {
        v = letters ? add_column_letter(v, t[n]) : add_row_digit(v, t[n]);
        if (v > get_sheet_limits().last_row) return 0;
        ++n;
    }
    const auto& lim = get_sheet_limits();
    if (n == 0 || !(letters ? lim.valid_col(v) : lim.valid_row(v))) return 0;
    s = t.substr(n);
    return static_cast<int>(v);
}

// A cell ("B3"), a cell range ("A1:C9"), whole columns ("A:C") or whole rows
// ("2:5"), each part optionally absolute.
bool is_a1_area(std::string_view s) {
    std::string_view t = s;
    if (read_part(t, true)) {
        if (t.empty()) return false;  // a bare column
        if (t.front() == ':') {
            t.remove_prefix(1);
            return read_part(t, true) && t.empty();
        }
        if (!read_part(t, false)) return false;
        if (t.empty()) return true;
        if (t.front() != ':') return false;
        t.remove_prefix(1);
        return read_part(t, true) && read_part(t, false) && t.empty();
    }
    t = s;
    if (!read_part(t, false) || t.empty() || t.front() != ':') return false;
    t.remove_prefix(1);
    return read_part(t, false) && t.empty();
}

bool is_unquoted_sheet_char(char c) {
    return ascii_is_alpha(c) || ascii_is_digit(c) || c == '_' || c == '.' || static_cast<unsigned char>(c) >= 0x80;
}

// Strips "Sheet1!" or "'My sheet'!" from the front; false when a qualifier is
// malformed.
bool strip_sheet(std::string_view& s) {
    if (!s.empty() && s.front() == '\'') {
        size_t i = 1;
        for (; i < s.size(); ++i) {
            if (s[i] != '\'') continue;
            if (i + 1 < s.size() && s[i + 1] == '\'') {
                ++i;
                continue;
            }
            break;
        }
        if (i >= s.size() || i == 1 || i + 1 >= s.size() || s[i + 1] != '!') return false;
        s.remove_prefix(i + 2);
        return true;
    }
    const size_t bang = s.find('!');
    if (bang == std::string_view::npos) return true;
    if (bang == 0) return false;
    for (size_t i = 0; i < bang; ++i)
        if (!is_unquoted_sheet_char(s[i])) return false;
    s.remove_prefix(bang + 1);
    return true;
}

// Whether the text names a defined name the sheet can see: its own or the workbook's.
bool names_defined_name(const Table& table, std::string_view name) {
    const auto* names = table.get_defined_names();
    return names && (names->contains({name, table.sheet_id()}) || names->contains({name, workbook_scope}));
}

} // namespace

bool is_internal_link_target(std::string_view address, const std::function<bool(std::string_view)>& is_name) {
    std::string_view s = address;
    if (!strip_sheet(s) || s.empty()) return false;
    return is_a1_area(s) || (is_name && is_name(s));
}

bool hyperlink_list_t::internal_address__(std::string_view address) const {
    // The address parses as one cell, range or defined name. Trying it leaves
    // the last message as it was.
    const std::string before = get_run_message().str();
    std::vector<formula::token_t> tokens;
    bool parsed = true;
    try {
        const vex::coord_t origin{int32_t(table_->sheet_id()), 1, 1, 0, 0, 0};
        table_->get_formula_model()->parse_formula(tokens, origin, address);
    } catch (const general_error& e) {
        // A sheet without a reference mode the parser knows reads addresses by their form.
        parsed = e.category() != "general";
        tokens.clear();
    } catch (const std::exception&) {
        tokens.clear();
    }
    set_run_message(before);
    if (!parsed)
        return is_internal_link_target(address, [this](std::string_view name) { return names_defined_name(*table_, name); });
    if (tokens.size() != 1) return false;
    const int32_t op = tokens.front().opcode;
    return op == formula::op_cell_ref || op == formula::op_range_ref || op == formula::op_name;
}

bool hyperlink_list_t::add(const vex::range_t& range, std::string_view address) {
    if (!add_record(range, address, true, true)) return false;
    restyle__(range, true);
    return true;
}

bool hyperlink_list_t::add_record(const vex::range_t& range, std::string_view address, bool parse, bool external) {
    if (!table_->is_valid_range(range)) return false;
    if (parse) external = !internal_address__(address);
    hyperlink_t link;
    link.range = range;
    link.external = external ? "yes" : "";
    link.address = address;
    links_.made().push_back(std::move(link));
    appended__();
    return true;
}

bool hyperlink_list_t::add_loaded(const vex::range_t& range, std::string rel_id, std::string display,
                                  std::string location, std::string tooltip) {
    hyperlink_t link;
    link.range = range;
    link.external = rel_id.empty() ? "" : "yes";
    if (rel_id.empty()) link.address = location;
    link.rel_id = std::move(rel_id);
    link.display = std::move(display);
    link.location = std::move(location);
    link.tooltip = std::move(tooltip);
    links_.made().push_back(std::move(link));
    appended__();
    return true;
}

void hyperlink_list_t::set_address(size_t index, std::string_view address) {
    if (index < links_.size()) links_.made()[index].address = address;
}

void hyperlink_list_t::remove(size_t index) {
    if (index >= links_.size()) return;
    std::deque<hyperlink_t>& links = links_.made();
    const vex::range_t range = links[index].range;
    links.erase(links.begin() + static_cast<std::ptrdiff_t>(index));
    indexed_ = false;
    restyle__(range, false);
}

vex::range_t hyperlink_list_t::range_at(size_t index) const noexcept {
    if (index < links_.size()) return links_.get()[index].range;
    vex::range_t empty;
    empty.first.flag0 = empty.last.flag0 = 1;
    return empty;
}

bool hyperlink_list_t::is_external(size_t index) const noexcept {
    return index < links_.size() && !links_.get()[index].external.empty();
}

std::string_view hyperlink_list_t::address_at(size_t index) const noexcept {
    return index < links_.size() ? std::string_view(links_.get()[index].address) : std::string_view();
}

namespace {

uint64_t cell_key(int row, int col) noexcept { return uint64_t(uint32_t(row)) << 32 | uint32_t(col); }

bool holds(vex::range_t a, int row, int col) noexcept {
    a.order();
    return row >= a.first.row && row <= a.last.row && col >= a.first.col && col <= a.last.col;
}

} // namespace

void hyperlink_list_t::appended__() {
    if (!indexed_) return;
    const int i = static_cast<int>(links_.size() - 1);
    const vex::range_t& r = links_.get().back().range;
    try {
        if (r.first.row == r.last.row && r.first.col == r.last.col) by_cell_.try_emplace(cell_key(r.first.row, r.first.col), i);
        else wide_.push_back(i);
    } catch (...) {
        indexed_ = false;  // made again when next asked
    }
}

int hyperlink_list_t::index_of(int row, int col) const noexcept {
    try {
        if (!indexed_) {
            by_cell_.clear();
            wide_.clear();
            for (size_t i = 0; i < links_.size(); ++i) {
                const vex::range_t& r = links_.get()[i].range;
                if (r.first.row == r.last.row && r.first.col == r.last.col)
                    by_cell_.try_emplace(cell_key(r.first.row, r.first.col), static_cast<int>(i));
                else wide_.push_back(static_cast<int>(i));
            }
            indexed_ = true;
        }
        const auto one = by_cell_.find(cell_key(row, col));
        const int found = one == by_cell_.end() ? -1 : one->second;
        for (const int i : wide_) {
            if (found >= 0 && i > found) break;
            if (holds(links_.get()[size_t(i)].range, row, col)) return i;
        }
        return found;
    } catch (...) {
        indexed_ = false;
    }
    for (size_t i = 0; i < links_.size(); ++i)
        if (holds(links_.get()[i].range, row, col)) return static_cast<int>(i);
    return -1;
}

// Only the stored runs of each column are visited, so a link over the whole
// sheet costs its columns and their runs, not its cells.
void hyperlink_list_t::restyle__(const vex::range_t& range, bool linked) {
    if (!table_->is_valid_range(range)) return;
    vex::range_t a = range;
    a.order();
    auto& m = style_manager_of(*table_);
    xf_memo_t memo;
    for (int c = a.first.col; c <= a.last.col; ++c) {
        const uint16_t col_xf = table_->col_records().value_at(c).xf;
        restyle_rows(*table_, c, a.first.row, a.last.row, [&](uint16_t row_xf, uint16_t own) {
            return memo.get(own, row_xf, col_xf, [&] {
                style_settings_t s = shown_style(m, own, row_xf, col_xf);
                font_t font = s.font();
                font.color = linked ? color_t::from_theme(hyperlink_theme_color) : color_t{};
                font.underline = linked ? single_underline : 0;
                s.set_font(font);
                return std::optional(m.intern_style(s));
            });
        });
    }
    table_->trim_columns();
}

void hyperlink_list_t::shift(const band_shift_t& s) {
    links_.erase_if([&](hyperlink_t& link) { return !s.follow(link.range); });
    indexed_ = false;
}

} // namespace vex::mta
