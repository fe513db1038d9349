// The printing operations of the worksheet component.

#include "kestrel/core/components/worksheet.h"

#include "kestrel/core/components/worktable.h"
#include "run_message.h"
#include "sheet_limits.h"

#include <cmath>

namespace vex {

namespace {

constexpr uint32_t no_break = 0xFFFFFFFF;

uint32_t break_at(const page_break_set_t& set, int32_t index) {
    if (index < 0 || uint64_t(index) >= set.size()) {
        set_run_message("Index out of range.");
        return no_break;
    }
    return set[size_t(index)].id + 1;
}

// A break at a 1-based position spanning `span` cells from the first.
void put_break(page_break_set_t& set, int32_t position, bool add, int32_t first, uint32_t span) {
    const uint32_t id = uint32_t(position - 1);
    if (!add) {
        set.erase(id);
        return;
    }
    page_break_t b;
    b.id = id;
    b.min = uint32_t(first - 1);
    b.max = b.min + (span ? span - 1 : 0);
    set.set(b);
}

void store_margin(page_margins_t& m, double page_margins_t::*to, double v) noexcept {
    if (!std::isfinite(v)) return;
    m.*to = v > 0.0 ? v : 0.0;  // never a saved "-0"
    m.written = true;
}

} // namespace

uint32_t worksheet_t::row_break(int32_t index) const { return break_at(settings_.print.row_breaks, index); }

uint32_t worksheet_t::col_break(int32_t index) const { return break_at(settings_.print.col_breaks, index); }

bool worksheet_t::set_row_break(int32_t row, bool add) {
    const sheet_limits_t& limits = get_sheet_limits();
    if (!limits.valid_row(row)) return refuse("Row out of range.");
    const uint32_t cols = worktable_ ? worktable_->col_count() : uint32_t(limits.col_count());
    put_break(settings_.print.row_breaks, row, add, limits.first_col, cols);
    return true;
}

bool worksheet_t::set_col_break(int32_t col, bool add) {
    const sheet_limits_t& limits = get_sheet_limits();
    if (!limits.valid_col(col)) return refuse("Column out of range.");
    const uint32_t rows = worktable_ ? worktable_->row_count() : uint32_t(limits.row_count());
    put_break(settings_.print.col_breaks, col, add, limits.first_row, rows);
    return true;
}

bool worksheet_t::print_gridlines() const noexcept {
    const print_options_t& o = settings_.print.options;
    return o.grid_lines && o.grid_lines_set;
}

void worksheet_t::set_print_gridlines(bool on) {
    print_options_t& o = settings_.print.options;
    o.grid_lines = on;
    if (on) o.grid_lines_set = true;
}

void worksheet_t::set_left_margin(double v) { store_margin(settings_.print.margins, &page_margins_t::left, v); }
void worksheet_t::set_right_margin(double v) { store_margin(settings_.print.margins, &page_margins_t::right, v); }
void worksheet_t::set_top_margin(double v) { store_margin(settings_.print.margins, &page_margins_t::top, v); }
void worksheet_t::set_bottom_margin(double v) { store_margin(settings_.print.margins, &page_margins_t::bottom, v); }
void worksheet_t::set_header_margin(double v) { store_margin(settings_.print.margins, &page_margins_t::header, v); }
void worksheet_t::set_footer_margin(double v) { store_margin(settings_.print.margins, &page_margins_t::footer, v); }

bool worksheet_t::set_paper(int32_t id) {
    if (id < page_setup_t::first_paper || id > page_setup_t::last_paper)
        return refuse("No such paper id, please refer to the paper id in enum.h.");
    settings_.print.page_setup.paper_size = uint32_t(id);
    return true;
}

void worksheet_t::set_print_scale(int32_t percent) {
    if (percent >= 10 && percent <= 400) settings_.print.page_setup.scale = uint32_t(percent);
}

void worksheet_t::set_fit_page_height(int32_t pages) {
    if (pages < 1) return;
    settings_.print.page_setup.fit_to_height = uint32_t(pages);
    settings_.print.fit_to_page = true;
}

void worksheet_t::set_fit_page_width(int32_t pages) {
    if (pages < 1) return;
    settings_.print.page_setup.fit_to_width = uint32_t(pages);
    settings_.print.fit_to_page = true;
}

} // namespace vex
