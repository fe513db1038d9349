#include "mta/table/utils/merged_cells.h"

#include "mta/table/formula_model/edit_reach.h"
#include "mta/table/formula_model/table_formula_model.h"
#include "mta/table/table/table.h"
#include "mta/table/utils/band_shift.h"
#include "mta/table/utils/range_check.h"
#include "run_message.h"
#include "sheet_limits.h"
#include "text_utils.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

namespace vex::mta {

namespace {

using box_t = mdds::rtree<rtree_key_t, bool, small_node_rtree_trait>::extent_type;

constexpr std::string_view would_unmerge = "This operation will cause some merged cells to unmerge.";

box_t extent_of(int r1, int c1, int r2, int c2) {
    return {{r1, c1}, {r2, c2}};
}

box_t extent_of(const vex::range_t& r) {
    return extent_of(r.first.row, r.first.col, r.last.row, r.last.col);
}

vex::range_t range_of(const box_t& e, int32_t grid_id) {
    const auto at = [](rtree_key_t k) { return static_cast<int>(k); };
    return {{grid_id, at(e.start.d[0]), at(e.start.d[1]), 1, 0, 0}, {grid_id, at(e.end.d[0]), at(e.end.d[1]), 1, 0, 0}};
}

// "(2,2,4,4)"
std::string range_text(const vex::range_t& r) {
    return concat({"(", std::to_string(r.first.row), ",", std::to_string(r.first.col), ",", std::to_string(r.last.row),
                   ",", std::to_string(r.last.col), ")"});
}

// "(3, 3) - (3, 4)", or "(3, 3)" for one point.
std::string extent_text(const box_t& e) {
    const auto point = [](const auto& p) {
        return concat({"(", std::to_string(p.d[0]), ", ", std::to_string(p.d[1]), ")"});
    };
    std::string text = point(e.start);
    if (e.start != e.end) text += " - ", text += point(e.end);
    return text;
}

} // namespace

merged_cells_t::merged_cells_t(Table* table) : table_(table) {}

merged_cells_t::tree_t& merged_cells_t::tree__() {
    if (!tree_) tree_ = std::make_unique<tree_t>();
    return *tree_;
}

std::vector<box_t> merged_cells_t::found__(const box_t& area) const {
    std::vector<box_t> out;
    if (!tree_) return out;
    const auto hits = std::as_const(*tree_).search(area, tree_t::search_type::overlap);
    for (auto it = hits.begin(); it != hits.end(); ++it)
        if (*it) out.push_back(it.extent());
    return out;
}

void merged_cells_t::insert__(const box_t& extent) {
    tree__().insert(extent, true);
    ++live_;
    list_.clear();
}

void merged_cells_t::erase__(const box_t& extent) {
    if (!tree_) return;
    auto hits = tree_->search(extent, tree_t::search_type::match);
    auto it = hits.begin();
    while (it != hits.end() && !*it) ++it;
    if (it == hits.end()) return;
    *it = false;
    --live_;
    ++dead_;
    list_.clear();
    if (dead_ > live_ && dead_ >= 64) pack__();
}

// Refilled in place: a tree mdds 2.0 moves (its bulk loader's result
// included) keeps parent pointers into the old root, and later inserts crash.
void merged_cells_t::pack__() {
    const std::vector<box_t> live = found__(tree_->extent());
    tree_->clear();
    for (const auto& e : live) tree_->insert(e, true);
    dead_ = 0;
    list_.clear();
}

const std::vector<box_t>& merged_cells_t::listed__() const {
    if (list_.empty() && live_ > 0) list_ = found__(tree_->extent());
    return list_;
}

bool merged_cells_t::merged_range(int index, vex::range_t& out) const {
    if (index < 0 || static_cast<size_t>(index) >= size()) return refuse("Index out of range.");
    out = range_of(listed__()[static_cast<size_t>(index)], static_cast<int32_t>(table_->sheet_id()));
    return true;
}

std::vector<vex::range_t> merged_cells_t::get_all() const {
    std::vector<vex::range_t> out;
    const auto id = static_cast<int32_t>(table_->sheet_id());
    for (const auto& e : listed__()) out.push_back(range_of(e, id));
    return out;
}

bool merged_cells_t::add__(const vex::range_t& range) {
    const box_t wanted = extent_of(range);
    const auto found = found__(wanted);
    for (const auto& e : found) {
        if (wanted.contains(e)) {
            return refuse("The range" + range_text(range) + " intersects with another merged cells " + extent_text(e) +
                          ". merging cells failed.");
        }
    }
    for (const auto& e : found) erase__(e);
    insert__(wanted);
    return true;
}

bool merged_cells_t::merge(const vex::range_t& given, bool keep_styles) {
    if (!table_->is_valid_range(given)) return refuse("The range" + range_text(given) + " is invalid.");
    vex::range_t range = given;
    range.order();
    // Compared by position only: a one-cell range is never stored.
    if (range.first.row == range.last.row && range.first.col == range.last.col) return true;
    if (!table_->tabledefs().is_free_of_tables(range)) return refuse("Merge cell range includes table.");
    // An array formula over several cells shows its values in all of them: a
    // merge would hide some and gather none.
    if (table_->meets_wide_array(range)) return refuse("Merge cell range includes an array formula of several cells.");
    if (!add__(range)) return false;

    const int r1 = range.first.row, c1 = range.first.col, r2 = range.last.row, c2 = range.last.col;
    if (c1 > table_->columns().count()) return true;
    // The first cell's new value makes the results of the formulas reading it stale.
    if (const auto from = gather_first_value__(range)) table_->value_moved(from->first, from->second, r1, c1);
    if (c1 < c2) table_->clear_contents({{range.first.grid_id, r1, c1 + 1, 1, 0, 0}, {range.first.grid_id, r2, c2, 1, 0, 0}});
    if (r1 < r2) table_->clear_contents({{range.first.grid_id, r1 + 1, c1, 1, 0, 0}, {range.first.grid_id, r2, c1, 1, 0, 0}});
    if (!keep_styles) table_->set_range_style(range, style_settings_t{});
    return true;
}

bool merged_cells_t::record_loaded(const vex::range_t& given) {
    if (!table_->is_valid_range(given)) return refuse("The range" + range_text(given) + " is invalid.");
    vex::range_t range = given;
    range.order();
    if (range.first.row == range.last.row && range.first.col == range.last.col) return true;
    const box_t wanted = extent_of(range);
    const auto found = found__(wanted);
    if (!found.empty())
        return refuse("The range" + range_text(range) + " intersects with another merged cells " +
                      extent_text(found.front()) + ". merging cells failed.");
    insert__(wanted);
    return true;
}


std::optional<std::pair<int, int>> merged_cells_t::gather_first_value__(const vex::range_t& range) {
    const int r1 = range.first.row, c1 = range.first.col, r2 = range.last.row;
    const int c2 = std::min(range.last.col, table_->columns().count());
    // The first value in reading order: the lowest row, then the leftmost column.
    int best_row = 0, best_col = 0;
    for (int c = c1; c <= c2; ++c) {
        const Column* column = table_->find_column(c);
        if (!column) continue;
        const auto& cells = column->cells();
        auto [it, offset] = cells.position(static_cast<size_t>(r1) - 1);
        for (; it != cells.end() && it->position < static_cast<size_t>(r2); ++it, offset = 0) {
            if (it->type == mdds::mtv::element_type_empty) continue;
            const int row = static_cast<int>(it->position + offset) + 1;
            if (best_row == 0 || row < best_row) best_row = row, best_col = c;
            break;
        }
    }
    if (best_row == 0 || (best_row == r1 && best_col == c1)) return std::nullopt;

    Column& source = *table_->find_column(best_col);
    const size_t pos = static_cast<size_t>(best_row) - 1;
    const auto& cells = source.cells();
    const auto copy = [&](const auto& value) { table_->create_column_if_not_exists(c1).set_value(r1, value); };
    switch (cells.get_type(pos)) {
    case mdds::mtv::element_type_boolean:
        copy(cells.get<bool>(pos));
        break;
    case mdds::mtv::element_type_int32:
        copy(cells.get<int32_t>(pos));
        break;
    case mdds::mtv::element_type_int64:
        copy(cells.get<int64_t>(pos));
        break;
    case mdds::mtv::element_type_double:
        copy(cells.get<double>(pos));
        break;
    case element_type_string_index:
        copy(cells.get<mtv_string_type>(pos));
        break;
    case element_type_error:
        copy(cells.get<mtv_error_type>(pos));
        break;
    case element_type_formula:
        // The cell moves with its ownership: a copied pointer would be deleted
        // again when the source is cleared.
        if (formula::formula_cell* cell = source.take_formula(best_row)) {
            formula::table_formula_model* model = table_->get_formula_model();
            // A cell of a shared group keeps the text it read as where it was;
            // away from the group it is a formula of its own.
            if (std::optional<std::string> own = model->shared_text(*cell))
                formula::table_formula_model::stand_alone(*cell, std::move(*own));
            vex::coord_t at = cell->position();
            at.row = r1;
            at.col = c1;
            cell->set_position(at);
            // A one-cell array formula covers the cell it stands in.
            if (formula::formula_attributes_t a = cell->attributes(); a.type == 2 && a.ref.first.row != 0) {
                a.ref.first.row = a.ref.last.row = r1;
                a.ref.first.col = a.ref.last.col = c1;
                cell->set_attributes(a);
            }
            copy(cell);
            model->track_moved(cell);
            // Its result goes where what it reads is where it stands (ROW(), its own row's record).
            if (formula::reads_its_place(cell->parsed ? &cell->tokens : nullptr)) table_->drop_formula_result(*cell);
        }
        break;
    default:
        return std::nullopt;
    }
    return std::pair{best_row, best_col};
}

int merged_cells_t::unmerge(int row, int col) {
    if (!table_->is_valid_cell(row, col)) return 0;
    const auto found = found__(extent_of(row, col, row, col));
    if (found.empty()) return 0;
    erase__(found.front());
    return 1;
}

bool merged_cells_t::is_covered(int row, int col) const {
    if (!tree_) return false;
    const auto hits = std::as_const(*tree_).search(tree_t::point_type{row, col}, tree_t::search_type::overlap);
    for (auto it = hits.begin(); it != hits.end(); ++it)
        if (*it && it.extent().start != tree_t::point_type{row, col}) return true;
    return false;
}

bool merged_cells_t::overlaps(const vex::range_t& given) const {
    vex::range_t range = given;
    range.order();
    if (!tree_) return false;
    const auto hits = std::as_const(*tree_).search(extent_of(range), tree_t::search_type::overlap);
    return std::any_of(hits.begin(), hits.end(), [](bool live) { return live; });
}

bool merged_cells_t::all_within(const vex::range_t& given) const {
    vex::range_t range = given;
    range.order();
    const box_t area = extent_of(range);
    const auto found = found__(area);
    return std::all_of(found.begin(), found.end(), [&](const box_t& e) { return area.contains(e); });
}

bool merged_cells_t::remove_within(const vex::range_t& given) {
    if (!all_within(given)) return false;
    vex::range_t range = given;
    range.order();
    for (const auto& e : found__(extent_of(range))) erase__(e);
    return true;
}

bool merged_cells_t::area_allows__(const box_t& area) const {
    const auto found = found__(area);
    const bool inside = std::all_of(found.begin(), found.end(), [&](const box_t& e) { return area.contains(e); });
    return inside || refuse(would_unmerge);
}

bool merged_cells_t::can_insert_rows(int c1, int c2, int row, int) const {
    if (!table_->is_valid_row(row)) return refuse("Starting row out of range.");
    if (!table_->is_valid_col(c1) || !table_->is_valid_col(c2)) return refuse("Column out of range.");
    return area_allows__(extent_of(row, std::min(c1, c2), last_row_of(*table_), std::max(c1, c2)));
}

bool merged_cells_t::can_insert_cols(int r1, int r2, int col, int count) const {
    const range_check_t check(*table_);
    if (!check.check_insert_cols(col, count) || !check.check_row_range(r1, r2)) return false;
    return area_allows__(extent_of(r1, col, r2, last_col_of(*table_)));
}

bool merged_cells_t::can_delete_rows(int c1, int c2, int r1, int r2) const {
    const range_check_t check(*table_);
    if (!check.check_delete_rows(r1, r2) || !check.check_col_range(c1, c2)) return false;
    return area_allows__(extent_of(r1, c1, last_row_of(*table_), c2));
}

bool merged_cells_t::can_delete_cols(int r1, int r2, int c1, int c2) const {
    const range_check_t check(*table_);
    if (!check.check_delete_cols(c1, c2) || !check.check_row_range(r1, r2)) return false;
    return area_allows__(extent_of(r1, c1, r2, last_col_of(*table_)));
}

// The area a shift moves: from its first index to the table's edge, within the band.
merged_cells_t::box_t merged_cells_t::moved_area(const band_shift_t& s) {
    return s.rows ? extent_of(s.first, s.band_lo, s.edge, s.band_hi) : extent_of(s.band_lo, s.first, s.band_hi, s.edge);
}

void merged_cells_t::shift(const band_shift_t& s) {
    const int axis = s.rows ? 0 : 1;
    const box_t area = moved_area(s);
    // Where the range goes; false when it goes away.
    const auto follow = [&](box_t& e) {
        int lo = static_cast<int>(e.start.d[axis]), hi = static_cast<int>(e.end.d[axis]);
        if (!s.follow(lo, hi)) return false;
        e.start.d[axis] = lo;
        e.end.d[axis] = hi;
        return e.start != e.end;
    };
    const std::vector<box_t> found = found__(area);
    if (found.size() * 2 > live_) {
        // Most ranges move: one refill, in place, costs less than a search and
        // an insertion per range.
        std::vector<box_t> kept;
        for (box_t e : found__(tree_->extent()))
            if (!e.intersects(area) || follow(e)) kept.push_back(e);
        tree_->clear();
        for (const auto& e : kept) tree_->insert(e, true);
        live_ = kept.size();
        dead_ = 0;
        list_.clear();
        return;
    }
    std::vector<box_t> moved;
    for (box_t e : found) {
        erase__(e);
        if (follow(e)) moved.push_back(e);
    }
    // Inserted after every erase, so a moved range never meets one not yet moved.
    for (const auto& m : moved) insert__(m);
}

bool merged_cells_t::shift_if_allowed__(const band_shift_t& s) {
    if (!area_allows__(moved_area(s))) return false;
    shift(s);
    return true;
}

// The counts move every store alike: the checks validate them, a shortened count
// would leave the ranges behind their cells.
bool merged_cells_t::on_insert_rows(int c1, int c2, int row, int count) {
    const range_check_t check(*table_);
    int checked = count;
    if (!check.check_insert_rows(row, checked) || !check.check_col_range(c1, c2)) return false;
    return shift_if_allowed__(band_shift_t::inserting(true, c1, c2, row, count, last_row_of(*table_)));
}

bool merged_cells_t::on_insert_cols(int r1, int r2, int col, int count) {
    const range_check_t check(*table_);
    int checked = count;
    if (!check.check_insert_cols(col, checked) || !check.check_row_range(r1, r2)) return false;
    return shift_if_allowed__(band_shift_t::inserting(false, r1, r2, col, count, last_col_of(*table_)));
}

bool merged_cells_t::on_delete_rows(int c1, int c2, int r1, int r2) {
    const range_check_t check(*table_);
    if (!check.check_delete_rows(r1, r2) || !check.check_col_range(c1, c2)) return false;
    return shift_if_allowed__(band_shift_t::deleting(true, c1, c2, r1, r2, last_row_of(*table_)));
}

bool merged_cells_t::on_delete_cols(int r1, int r2, int c1, int c2) {
    const range_check_t check(*table_);
    if (!check.check_delete_cols(c1, c2) || !check.check_row_range(r1, r2)) return false;
    return shift_if_allowed__(band_shift_t::deleting(false, r1, r2, c1, c2, last_col_of(*table_)));
}

} // namespace vex::mta
