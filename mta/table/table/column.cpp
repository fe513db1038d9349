#include "mta/table/table/table.h"

#include "errors.h"
#include "mta/table/formula_model/table_formula_model.h"
#include "sheet_limits.h"

#include <algorithm>
#include <stdexcept>

namespace vex::mta {

namespace {

// Clamps 1-based rows to [1, size] as 0-based positions; false when nothing is left.
bool clamp_rows(int r1, int r2, size_t size, size_t& p1, size_t& p2) {
    if (r1 > r2) std::swap(r1, r2);
    r1 = std::max(r1, 1);
    if (r2 < r1 || static_cast<size_t>(r1) > size) return false;
    p1 = static_cast<size_t>(r1) - 1;
    p2 = std::min(static_cast<size_t>(r2), size) - 1;
    return true;
}

} // namespace

Column::Column(Table& table, uint32_t rows)
    : table_(&table),
      cells_(rows),
      xf_runs_(0, static_cast<int32_t>(rows) - 1, get_sheet_limits().default_style) {}

void Column::set_xf(std::vector<xf_runs_t::span_t> spans) {
    for (auto& s : spans) {
        --s.first;
        --s.last;
    }
    xf_runs_.assign_spans(spans);
}

void Column::clear_styles(int r1, int r2) {
    xf_runs_.assign(int64_t(r1) - 1, int64_t(r2) - 1, get_sheet_limits().default_style);
}

void Column::erase_values(int r1, int r2) {
    size_t p1, p2;
    if (!clamp_rows(r1, r2, cells_.size(), p1, p2)) return;
    release_formulas__(p1, p2);
    cells_.set_empty(p1, p2);
}

formula::formula_cell* Column::take_formula(int row) {
    const size_t pos = static_cast<size_t>(row) - 1;
    if (row < 1 || pos >= cells_.size() || cells_.get_type(pos) != element_type_formula) return nullptr;
    release_formulas__(pos, pos);
    return cells_.release<formula::formula_cell*>(pos);
}

bool Column::has_content_in(int r1, int r2) const {
    size_t p1, p2;
    if (!clamp_rows(r1, r2, cells_.size(), p1, p2)) return false;
    if (!xf_runs_.all_default_in(int64_t(p1), int64_t(p2))) return true;
    auto [it, offset] = cells_.position(p1);
    for (; it != cells_.end() && it->position <= p2; ++it)
        if (it->type != mdds::mtv::element_type_empty) return true;
    return false;
}

int Column::first_used_row() const {
    int value_row = 0;
    for (auto it = cells_.begin(); it != cells_.end(); ++it) {
        if (it->type != mdds::mtv::element_type_empty) {
            value_row = static_cast<int>(it->position) + 1;
            break;
        }
    }
    int style_row = 0;
    const auto& runs = xf_runs_.runs();
    for (const auto& r : runs) {
        if (r.value != xf_runs_.default_value()) {
            style_row = static_cast<int>(r.start) + 1;
            break;
        }
    }
    if (value_row == 0 || style_row == 0) return std::max(value_row, style_row);
    return std::min(value_row, style_row);
}

int Column::last_used_row() const {
    const int value_row = static_cast<int>(cells_.valued_end());
    int style_row = 0;
    const auto& runs = xf_runs_.runs();
    for (size_t i = runs.size(); i-- > 0;) {
        if (runs[i].value != xf_runs_.default_value()) {
            style_row = xf_runs_.run_end(i) + 1;
            break;
        }
    }
    return std::max(value_row, style_row);
}

bool Column::is_blank() const noexcept {
    return xf_runs_all_default() && cells_.all_empty();
}

void Column::insert_rows(int at, int n) {
    const size_t size = cells_.size();
    if (n < 1 || at < 1 || static_cast<size_t>(at) > size) return;
    const size_t count = std::min(static_cast<size_t>(n), size - (at - 1));
    // The rows pushed off the end go first, so the formulas there are released.
    erase_values(static_cast<int>(size - count) + 1, static_cast<int>(size));
    cells_.insert_empty(at - 1, count);
    cells_.resize(size);
    xf_runs_.insert(int64_t(at) - 1, static_cast<int64_t>(count));
}

void Column::delete_rows(int r1, int r2) {
    if (r1 > r2) throw std::out_of_range("Start row is larger than the end row.");
    size_t p1, p2;
    if (!clamp_rows(r1, r2, cells_.size(), p1, p2)) return;
    const size_t size = cells_.size();
    release_formulas__(p1, p2);
    cells_.erase(p1, p2);
    cells_.resize(size);
    xf_runs_.erase(int64_t(p1), int64_t(p2));
}

void Column::move_rows_to(int r1, int r2, Column& dest, int dest_col) {
    size_t p1, p2;
    if (&dest == this || !clamp_rows(r1, r2, cells_.size(), p1, p2) || p2 >= dest.cells_.size()) return;
    // What the destination held goes first, its formulas released on the way.
    dest.erase_values(r1, r2);
    const auto& runs = xf_runs_.runs();
    for (size_t i = *xf_runs_.run_index_of(int64_t(p1)); i < runs.size() && runs[i].start <= p2; ++i) {
        const int64_t a = std::max<int64_t>(runs[i].start, int64_t(p1));
        const int64_t b = std::min<int64_t>(xf_runs_.run_end(i), int64_t(p2));
        dest.xf_runs_.assign(a, b, runs[i].value);
    }
    xf_runs_.assign(int64_t(p1), int64_t(p2), get_sheet_limits().default_style);
    // transfer hands formula cells over without deleting them.
    cells_.transfer(p1, p2, dest.cells_, p1);
    if (may_hold_formulas_) {
        dest.may_hold_formulas_ = true;
        dest.renumber_formulas(static_cast<int>(p1) + 1, static_cast<int>(p2) + 1, dest_col);
    }
}

void Column::renumber_formulas(int r1, int r2, int col) {
    size_t p1, p2;
    if (!may_hold_formulas_ || !clamp_rows(r1, r2, cells_.size(), p1, p2)) return;
    auto [it, offset] = cells_.position(p1);
    for (; it != cells_.end() && it->position <= p2; ++it) {
        if (it->type != element_type_formula) continue;
        for (size_t i = 0; i < it->size; ++i) {
            formula::formula_cell* cell = formula_block::at(*it->data, i);
            vex::coord_t pos = cell->position();
            pos.row = static_cast<int32_t>(it->position + i) + 1;
            pos.col = col;
            cell->set_position(pos);
        }
    }
}

void Column::release_formulas__(size_t p1, size_t p2) {
    auto* model = table_->get_formula_model();
    if (!model || !may_hold_formulas_) return;
    auto [it, offset] = cells_.position(p1);
    bool removed = false;
    for (; it != cells_.end() && it->position <= p2; ++it) {
        if (it->type != element_type_formula) continue;
        if (!removed) {
            // The cell knows its column; the column does not.
            const int col = formula_block::at(*it->data, 0)->col();
            const int id = static_cast<int>(table_->sheet_id());
            const int r1 = static_cast<int>(p1) + 1, r2 = static_cast<int>(p2) + 1;
            model->remove_formulas(vex::range_t{{id, r1, col, 1, 0, 0}, {id, r2, col, 1, 0, 0}});
            removed = true;
        }
        const bool spelled = model->spells_names();
        const size_t first = std::max(p1, it->position), last = std::min(p2, it->position + it->size - 1);
        for (size_t p = first; p <= last; ++p) {
            formula::formula_cell* cell = formula_block::at(*it->data, p - it->position);
            model->master_leaving(*cell);
            if (spelled) model->forget_names(cell);
        }
    }
}

// ---- columns_t ---------------------------------------------------------------------

columns_t::columns_t(Table& table) : table_(&table) {
    columns_.push_back(std::make_unique<Column>(table, table.row_count()));
}

Column& columns_t::get_or_create(int col) {
    if (!table_->is_valid_col(col)) throw mta_error("fatal error: column out of range.");
    if (col > count()) resize(col);
    return *columns_[col - 1];
}

void columns_t::resize(int n) {
    n = std::clamp(n, 0, static_cast<int>(table_->col_count()));
    while (count() > n) columns_.pop_back();
    while (count() < n) columns_.push_back(std::make_unique<Column>(*table_, table_->row_count()));
}

int columns_t::first_used_col() const {
    for (int c = 1; c <= count(); ++c)
        if (!columns_[c - 1]->is_blank()) return c;
    return 0;
}

int columns_t::first_used_row() const {
    int best = 0;
    for (const auto& column : columns_) {
        const int r = column->first_used_row();
        if (r != 0 && (best == 0 || r < best)) best = r;
    }
    return best;
}

int columns_t::last_used_col(int first_row, int last_row) const {
    const bool any_row = first_row == 0 && last_row == 0;
    for (int c = count(); c >= 1; --c) {
        const Column& column = *columns_[c - 1];
        if (any_row ? !column.is_blank() : column.has_content_in(first_row, last_row)) return c;
    }
    return 0;
}

void columns_t::insert_rows(int first_col, int last_col, int row, int count) {
    for (int c = std::max(first_col, 1); c <= std::min(last_col, this->count()); ++c) {
        Column& column = *columns_[c - 1];
        column.insert_rows(row, count);
        column.renumber_formulas(row, static_cast<int>(column.size()), c);
    }
}

void columns_t::delete_rows(int first_col, int last_col, int row, int count) {
    if (count < 1) return;
    for (int c = std::max(first_col, 1); c <= std::min(last_col, this->count()); ++c) {
        Column& column = *columns_[c - 1];
        column.delete_rows(row, row + count - 1);
        column.renumber_formulas(row, static_cast<int>(column.size()), c);
    }
}

void columns_t::insert_cols(int first_row, int last_row, int col, int count) {
    const int limit = static_cast<int>(table_->col_count());
    if (count < 1 || col < 1 || col > limit) return;
    if (first_row == 1 && last_row == static_cast<int>(table_->row_count())) {
        // Whole columns: the column objects move, no cell is copied.
        if (col > this->count()) return;
        const int opened = std::min(count, limit - col + 1);
        for (int i = 0; i < opened; ++i)
            columns_.insert(columns_.begin() + (col - 1), std::make_unique<Column>(*table_, table_->row_count()));
        while (this->count() > limit) {
            columns_.back()->erase_values(1, static_cast<int>(table_->row_count()));
            columns_.pop_back();
        }
        renumber_from__(col + count);
        return;
    }
    const int used = last_used_col(first_row, last_row);
    if (col > used) return;
    if (used + count > this->count()) resize(used + count);
    for (int k = std::min(used, this->count() - count); k >= col; --k)
        columns_[k - 1]->move_rows_to(first_row, last_row, *columns_[k + count - 1], k + count);
}

void columns_t::delete_cols(int first_row, int last_row, int col, int count) {
    if (count < 1 || col < 1) return;
    if (first_row == 1 && last_row == static_cast<int>(table_->row_count())) {
        const int end = std::min(col + count - 1, this->count());
        if (col > end) return;
        // The formula model hears of the dying cells before they go.
        for (int c = col; c <= end; ++c) columns_[c - 1]->erase_values(1, static_cast<int>(table_->row_count()));
        columns_.erase(columns_.begin() + (col - 1), columns_.begin() + end);
        if (columns_.empty()) columns_.push_back(std::make_unique<Column>(*table_, table_->row_count()));
        renumber_from__(col);
        return;
    }
    const int n = this->count();
    for (int j = col + count; j <= n; ++j)
        columns_[j - 1]->move_rows_to(first_row, last_row, *columns_[j - count - 1], j - count);
    // Rows of the band left behind at the right end: what stayed there is gone.
    for (int j = std::max(col, n - count + 1); j <= n; ++j) {
        columns_[j - 1]->erase_values(first_row, last_row);
        columns_[j - 1]->clear_styles(first_row, last_row);
    }
    resize(std::max(last_used_col(0, 0), 1));
}

void columns_t::renumber_from__(int col) {
    for (int c = std::max(col, 1); c <= count(); ++c)
        columns_[c - 1]->renumber_formulas(1, static_cast<int>(table_->row_count()), c);
}

int columns_t::last_used_row(int first_col, int last_col) const {
    if (first_col == 0 && last_col == 0) {
        first_col = 1;
        last_col = count();
    }
    if (first_col > last_col) std::swap(first_col, last_col);
    first_col = std::max(first_col, 1);
    last_col = std::min(last_col, count());
    int best = 0;
    for (int c = first_col; c <= last_col; ++c) best = std::max(best, columns_[c - 1]->last_used_row());
    return best;
}

} // namespace vex::mta
