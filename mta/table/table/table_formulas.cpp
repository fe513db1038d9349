#include "errors.h"
#include "mta/table/cell/string_pool.h"
#include "mta/table/formula_model/edit_reach.h"
#include "mta/table/formula_model/table_formula_model.h"
#include "mta/table/table/table.h"
#include "mta/types/imported_row_cells.h"
#include "run_message.h"
#include "sheet_limits.h"
#include "text_utils.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

namespace vex::mta {

namespace {

// Sorted by (column, row) as `key` gives them, each place once.
template <class T, class Key>
void in_column_order(std::vector<T>& items, Key key) {
    std::sort(items.begin(), items.end(), [&](const T& a, const T& b) { return key(a) < key(b); });
    items.erase(std::unique(items.begin(), items.end(), [&](const T& a, const T& b) { return key(a) == key(b); }),
                items.end());
}

std::string_view trim_blanks(std::string_view s) {
    while (!s.empty() && ascii_is_space(s.front())) s.remove_prefix(1);
    while (!s.empty() && ascii_is_space(s.back())) s.remove_suffix(1);
    return s;
}

// Whole numbers within this bound are exact as doubles and are kept in double
// blocks, so that a column of whole and fractional numbers stays one block.
constexpr int64_t exact_in_double = int64_t(1) << 53;

Column& column_of(Table& table, uint32_t col) {
    Column* column = table.columns().at(int(std::min<uint32_t>(col, INT32_MAX)));
    return column ? *column : table.create_column_if_not_exists(int(std::min<uint32_t>(col, INT32_MAX)));
}

// A formula's cached value as its result; a string-pool index becomes its text,
// with the escapes its reading kept.
void take_cached_result(const Table& table, const trival_cell_t& cell, formula::formula_cell& formula) {
    const auto kind = cell_value_kind(cell.value_kind);
    if (cell.value && (kind == cell_value_kind::text || kind == cell_value_kind::rich_text)) {
        bool kept = false;
        const std::string_view text = table.get_string_pool().string_at(std::get<int32_t>(*cell.value), nullptr, &kept);
        formula.set_result(text, kept);
    } else {
        formula.set_result(cell.value);
    }
}

bool is_wide_array(const formula::formula_attributes_t& a) noexcept {
    return a.type == 2 && a.ref.first.row != 0 && (a.ref.first.row != a.ref.last.row || a.ref.first.col != a.ref.last.col);
}

void store_imported(Table& table, int row, const trival_cell_t& cell) {
    const auto& value = cell.value;
    switch (cell_value_kind(cell.kind)) {
    case cell_value_kind::int32:
        column_of(table, cell.col).set_value(row, double(std::get<int32_t>(*value)));
        break;
    case cell_value_kind::int64: {
        const int64_t v = std::get<int64_t>(*value);
        if (v >= -exact_in_double && v <= exact_in_double)
            column_of(table, cell.col).set_value(row, double(v));
        else
            column_of(table, cell.col).set_value(row, v);
        break;
    }
    case cell_value_kind::number:
    case cell_value_kind::datetime:
        column_of(table, cell.col).set_value(row, std::get<double>(*value));
        break;
    case cell_value_kind::text:
        column_of(table, cell.col).set_value(row, mtv_string_type{std::get<int32_t>(*value)});
        break;
    case cell_value_kind::boolean:
        column_of(table, cell.col).set_value(row, std::get<bool>(*value));
        break;
    case cell_value_kind::formula: {
        const vex::coord_t at{int32_t(table.sheet_id()), row, int32_t(std::min<uint32_t>(cell.col, INT32_MAX)), 0, 0, 0};
        auto formula = std::make_unique<formula::formula_cell>(at, std::string(cell.formula), cell.attributes);
        formula->set_expression_escapes_kept(cell.formula_escapes_kept);
        take_cached_result(table, cell, *formula);
        table.get_formula_model()->import_formula(formula.get());
        formula.release();  // owned by its column now
        break;
    }
    case cell_value_kind::error:
        column_of(table, cell.col).set_value(row, mtv_error_type{int32_t(std::get<error_value_enum>(*value))});
        break;
    default:
        throw mta_error("Unknown cell value type found when storing cell value.");
    }
}

} // namespace

bool Table::set_formula(int row, int col, std::string_view text) {
    text = trim_blanks(text);
    if (!text.empty() && text.front() == '=') text = trim_blanks(text.substr(1));
    if (text.empty()) return refuse("The formula expression can not be empty.");
    if (!check_cell_writable__(row, col)) return false;
    try {
        formula_model_->set_formula({int32_t(sheet_id_), row, col, 0, 0, 0}, text);
    } catch (const formula_exception& e) {
        return refuse(e.message());
    }
    inherit_row_col_style__(row, col);
    values_set__(row, col, row, col, true);
    return true;
}

void Table::store_formula_cell(formula::formula_cell* cell) {
    ++formulas_stored_;
    if (is_wide_array(cell->attributes()))
        wide_array_firsts_.push_back(vex::range_t(cell->attributes().ref).order().first);
    create_column_if_not_exists(cell->col()).set_value(cell->row(), cell);
    if (!record_readers_) return;
    // Without tables every formula reads beyond its record: a row shift walks
    // them all, and lists them again only once one is there.
    if (tabledefs_.size() == 0) {
        record_readers_.reset();
        record_others_.clear();
        return;
    }
    if (!reads_beyond_record__(*cell, record_probe__())) return;
    record_others_.push_back(record_other__(*cell));
    // A cell set again and again is listed once more each time: the list
    // keeps to about what the sheet holds.
    if (record_others_.size() < 2 * record_others_compacted_ + 1024) return;
    in_cell_order__(record_others_);
    std::erase_if(record_others_, [&](const record_other_t& o) { return !get_formula_cell(o.at.row, o.at.col); });
    record_others_compacted_ = record_others_.size();
}

formula::formula_cell* Table::get_formula_cell(int row, int col) const {
    if (!is_valid_cell(row, col)) return nullptr;
    const Column* column = find_column(col);
    if (!column || size_t(row) > column->size()) return nullptr;
    const auto at = column->cell_at(row);
    return at.type == element_type_formula ? formula_block::at(*at.data, at.offset) : nullptr;
}

std::vector<vex::range_t> Table::wide_arrays(int last_row, int last_col) const {
    std::vector<vex::range_t> out;
    for (int c = 1; c <= std::min(last_col, columns_.count()); ++c) {
        const Column* column = find_column(c);
        if (!column) continue;
        for (const auto& block : column->cells()) {
            if (block.position >= static_cast<size_t>(last_row)) break;
            if (block.type != element_type_formula) continue;
            const size_t rows = std::min(block.size, static_cast<size_t>(last_row) - block.position);
            for (size_t i = 0; i < rows; ++i) {
                const formula::formula_attributes_t& a = formula_block::at(*block.data, i)->attributes();
                if (!is_wide_array(a)) continue;
                vex::range_t ref = a.ref;
                out.push_back(ref.order());
            }
        }
    }
    return out;
}

void Table::in_cell_order__(std::vector<formula::formula_cell*>& cells) {
    in_column_order(cells, [](const formula::formula_cell* c) { return std::pair(c->col(), c->row()); });
}

void Table::in_cell_order__(std::vector<vex::coord_t>& positions) {
    in_column_order(positions, [](const vex::coord_t& at) { return std::pair(at.col, at.row); });
}

void Table::in_cell_order__(std::vector<record_other_t>& others) {
    std::sort(others.begin(), others.end(), record_other_t::before);
    record_other_t::keep_farthest(others);
}

void Table::record_other_t::keep_farthest(std::vector<record_other_t>& others) {
    size_t kept = 0;
    for (size_t i = 0; i < others.size(); ++i) {
        if (kept && others[kept - 1].at.col == others[i].at.col && others[kept - 1].at.row == others[i].at.row) {
            others[kept - 1].reach = std::max(others[kept - 1].reach, others[i].reach);
            others[kept - 1].by_table = others[kept - 1].by_table || others[i].by_table;
        } else {
            others[kept++] = others[i];
        }
    }
    others.resize(kept);
}

std::vector<vex::range_t> Table::wide_arrays_among__(const std::vector<formula::formula_cell*>& cells, int last_row,
                                                     int last_col) {
    std::vector<vex::range_t> out;
    for (const formula::formula_cell* cell : cells) {
        const formula::formula_attributes_t& a = cell->attributes();
        if (cell->row() > last_row || cell->col() > last_col || !is_wide_array(a)) continue;
        vex::range_t ref = a.ref;
        out.push_back(ref.order());
    }
    return out;
}

std::vector<vex::range_t> Table::known_wide_arrays__() const {
    std::vector<vex::range_t> out;
    for (const vex::coord_t& first : wide_array_firsts_) {
        // The array may have gone since: the cell tells what stands there now.
        const formula::formula_cell* cell = get_formula_cell(first.row, first.col);
        if (!cell || !is_wide_array(cell->attributes())) continue;
        vex::range_t ref = cell->attributes().ref;
        out.push_back(ref.order());
    }
    return out;
}

bool Table::meets_wide_array(const vex::range_t& range) const {
    const auto arrays = known_wide_arrays__();
    return std::any_of(arrays.begin(), arrays.end(), [&](vex::range_t a) { return a.intersect(range).first.row != 0; });
}

bool Table::clear_of_wide_arrays(const vex::range_t& range) const {
    return !meets_wide_array(range) || refuse(msg_array_part);
}

bool Table::can_clear(const vex::range_t& range) const {
    for (vex::range_t a : known_wide_arrays__()) {
        const vex::range_t whole = a;
        const vex::range_t met = a.intersect(range);
        if (met.first.row != 0 && met != whole) return refuse(msg_array_part);
    }
    return true;
}

bool Table::check_outside_wide_array__(int row, int col) const {
    const int32_t grid = int32_t(sheet_id_);
    return clear_of_wide_arrays({{grid, row, col, 0, 0, 0}, {grid, row, col, 0, 0, 0}});
}

void Table::note_wide_arrays__() {
    if (wide_array_firsts_.empty()) return;
    wide_array_firsts_.clear();
    for (const vex::range_t& r : wide_arrays(std::numeric_limits<int>::max(), std::numeric_limits<int>::max()))
        wide_array_firsts_.push_back(r.first);
}

bool Table::set_formula_result(int row, int col, const std::optional<cell_t::value_type>& value) {
    formula::formula_cell* cell = get_formula_cell(row, col);
    // An array's first cell holds its formula, and a result there changes no
    // part of it; the other cells show parts of that result.
    const vex::coord_t first = cell ? vex::range_t(cell->attributes().ref).order().first : vex::coord_t{};
    const bool first_of_array = cell && is_wide_array(cell->attributes()) && first.row == row && first.col == col;
    if (!first_of_array && !check_outside_wide_array__(row, col)) return false;
    if (!cell) return refuse("This cell does not contain a formula.");
    // Its readers computed from the result it held: they lose theirs as after
    // a value set. Dropped first, so that a volatile formula keeps the result given.
    values_set__(row, col, row, col);
    cell->set_result(value);
    return true;
}

bool Table::holds_dropped_results() const {
    if (!dropped_results_) return false;
    bool found = false;
    for_each_formula_cell([&](const formula::formula_cell* cell) { found = found || cell->result_dropped(); });
    return found;
}

void Table::drop_formula_result(formula::formula_cell& cell) {
    if (!cell.drop_result()) return;
    note_dropped_result();
    // An array's other cells hold its values as plain ones; kept, they would
    // show what the dropped result gave. Formula cells inside stay.
    vex::range_t r = cell.attributes().ref;
    if (cell.attributes().type != 2 || r.first.row == 0) return;
    r.order();
    const size_t r1 = size_t(std::max(r.first.row, 1)) - 1, r2 = size_t(std::max(r.last.row, 1));
    for (int c = std::max(r.first.col, 1); c <= std::min(r.last.col, columns_.count()); ++c) {
        Column* column = find_column(c);
        if (!column) continue;
        std::vector<std::pair<int, int>> values;
        for (const auto& block : column->cells()) {
            if (block.position >= r2) break;
            const size_t end = block.position + block.size;
            const bool value = block.type != mdds::mtv::element_type_empty && block.type != element_type_formula;
            if (end > r1 && value) values.emplace_back(int(std::max(block.position, r1)) + 1, int(std::min(end, r2)));
        }
        const int32_t grid = int32_t(sheet_id_);
        for (const auto& [first, last] : values) {
            column->erase_values(first, last);
            if (values_watched_) on_values_set__({{grid, first, c, 1, 0, 0}, {grid, last, c, 1, 0, 0}});
        }
    }
}

void Table::remove_formulas(const vex::range_t& range) {
    formula_model_->remove_formulas(range);
}

void Table::set_imported_row_cells_(const imported_row_cells& imported) {
    const int row = int(std::min<uint32_t>(imported.row, INT32_MAX));
    // The row's columns are made under one lock, not one per cell.
    uint32_t widest = 0;
    for (const uint64_t i : imported.value_indexes) {
        const uint32_t col = imported.cells.at(i).col;
        if (col > widest && is_valid_col(int(std::min<uint32_t>(col, INT32_MAX)))) widest = col;
    }
    if (widest > 0) create_column_if_not_exists(int(widest));

    for (const uint64_t i : imported.value_indexes) store_imported(*this, row, imported.cells[i]);

    const uint16_t none = get_sheet_limits().default_style;
    for (const auto& run : imported.style_runs) {
        if (run.style == none) continue;
        for (uint64_t c = run.first_col; c <= run.last_col; ++c)
            column_of(*this, uint32_t(c)).set_xf(row, run.style);
    }
}

} // namespace vex::mta
