#include "mta/table/formula_model/table_formula_model.h"
#include "mta/table/cell/string_pool.h"
#include "mta/table/style/rc/cell_style_runs.h"
#include "run_message.h"
#include "text_utils.h"

namespace vex::mta {

namespace {

constexpr std::string_view cell_out_of_range = "Cell coordinate out of range.";
constexpr int32_t datetime_numfmt_id = 14;

} // namespace

bool Table::guard_cell__(int row, int col) const {
    if (tabledefs_.header_at(row, col)) return refuse("The cell is the header cell of table and cannot have a value set.");
    if (merged_cells_.is_covered(row, col)) return refuse("The cell has been merged and cannot set a value.");
    return check_outside_wide_array__(row, col);
}

Column* Table::writable_column__(int row, int col, bool force) {
    if (!is_valid_cell(row, col)) {
        set_run_message(cell_out_of_range);
        return nullptr;
    }
    if (!force && !check_cell_writable__(row, col)) return nullptr;
    if (Column* column = columns_.at(col)) return column;
    return &create_column_if_not_exists(col);
}

bool Table::set_num(int row, int col, double value) {
    Column* column = writable_column__(row, col, false);
    if (!column) return false;
    // Whole numbers too stay doubles: a column of whole and fractional numbers is
    // then one block, not a block per cell.
    column->set_value(row, value);
    inherit_row_col_style__(row, col);
    values_set__(row, col, row, col);
    return true;
}

bool Table::set_boolean(int row, int col, bool value) {
    Column* column = writable_column__(row, col, false);
    if (!column) return false;
    column->set_value(row, value);
    inherit_row_col_style__(row, col);
    values_set__(row, col, row, col);
    return true;
}

bool Table::set_error(int row, int col, error_value_enum value) {
    if (!is_valid_cell(row, col)) return refuse(cell_out_of_range);
    const auto code = static_cast<int32_t>(value);
    if (code < 0 || code >= error_value_count)
        return refuse("code: Invalid parameter value. Please refer to enum ErrorCodeEnum in enum.h");
    Column* column = writable_column__(row, col, false);
    if (!column) return false;
    column->set_value(row, mtv_error_type{code});
    inherit_row_col_style__(row, col);
    values_set__(row, col, row, col);
    return true;
}

bool Table::set_text(int row, int col, std::string_view text, bool force) {
    Column* column = writable_column__(row, col, force);
    if (!column) return false;
    if (text.empty()) {
        column->erase_values(row, row);
    } else {
        const int32_t index = get_string_pool().add_string(text.front() == ' ' ? 1 : 0, text);
        column->set_value(row, mtv_string_type{index});
    }
    inherit_row_col_style__(row, col);
    values_set__(row, col, row, col);
    return true;
}

bool Table::set_richtext(int row, int col, richtext_t text, const uint16_t* style, bool force) {
    if (!is_valid_cell(row, col)) return refuse(cell_out_of_range);
    if (style && !style_manager_of(*this).is_valid_xf_id(*style)) return refuse("No such style id.");
    Column* column = writable_column__(row, col, force);
    if (!column) return false;
    const int32_t index = get_string_pool().add_rich_text(std::move(text));
    column->set_value(row, mtv_string_type{index});
    inherit_row_col_style__(row, col);
    if (style) column->set_xf(row, *style);
    values_set__(row, col, row, col);
    return true;
}

bool Table::set_datetime(int row, int col, const vex::datetime_t& value, bool force) {
    if (!is_valid_cell(row, col)) return refuse(cell_out_of_range);
    if (!force && !check_cell_writable__(row, col)) return false;
    // A cell without a style of its own starts from its row's or column's style,
    // so that a date in a bold row stays bold.
    style_settings_t style = get_cell_style(row, col);
    style.set_numfmt_id(datetime_numfmt_id);
    const uint16_t xf = style_manager_of(*this).intern_style(style);
    Column& column = create_column_if_not_exists(col);
    column.set_value(row, ticks_to_serial(value));
    column.set_xf(row, xf);
    inherit_row_col_style__(row, col);
    values_set__(row, col, row, col);
    return true;
}

bool Table::clamp_range__(vex::range_t& range) const {
    range.order();
    const auto& limits = get_sheet_limits();
    const auto inside = [&](const vex::coord_t& p) { return limits.valid_row(p.row) && limits.valid_col(p.col); };
    if (!inside(range.first) && !inside(range.last)) return false;
    if (!is_valid_range(range)) {
        const int last_row = limits.first_row + static_cast<int>(row_count_) - 1;
        const int last_col = limits.first_col + static_cast<int>(col_count_) - 1;
        range.intersect({{range.first.grid_id, limits.first_row, limits.first_col, 1, 0, 0},
                         {range.first.grid_id, last_row, last_col, 1, 0, 0}});
    }
    return is_valid_range(range);
}

void Table::clear_contents(const vex::range_t& given) {
    vex::range_t range = given;
    if (!clamp_range__(range)) return;
    const int r1 = range.first.row, r2 = range.last.row;
    const int c2 = std::min(range.last.col, columns_.count());
    for (int c = range.first.col; c <= c2; ++c)
        if (Column* column = find_column(c)) column->erase_values(r1, r2);

    // A cell that took the style of its row or its column gives it back, borders
    // aside, and shows the record again.
    auto& m = style_manager_of(*this);
    const uint16_t none = default_xf();
    xf_memo_t memo;
    for (int c = range.first.col; c <= c2; ++c) {
        if (!find_column(c)) continue;
        const uint16_t col_xf = col_records_.value_at(c).xf;
        restyle_rows(*this, c, r1, r2, [&](uint16_t row_xf, uint16_t own) -> std::optional<uint16_t> {
            if (own == none || (row_xf == none) == (col_xf == none)) return std::nullopt;
            const uint16_t record_xf = row_xf != none ? row_xf : col_xf;
            if (own == record_xf) return none;
            return memo.get(own, record_xf, 0, [&]() -> std::optional<uint16_t> {
                auto a = m.get_style_settings(own);
                auto b = m.get_style_settings(record_xf);
                a.unapply_border();
                b.unapply_border();
                if (a == b) return none;
                return std::nullopt;
            });
        });
    }
    tabledefs_.on_clear_contents(range);
    trim_columns();
    values_set__(r1, range.first.col, r2, range.last.col);
}

void Table::drop_dependent_results__(int r1, int c1, int r2, int c2, bool new_formula) {
    const int32_t grid = int32_t(sheet_id_);
    if (!new_formula && reach_.generation != formula::cell_tracker_t::generation()) {
        reach_ = formula::get_cell_tracker().reach_of(grid);
        if (!reach_.may_reach(r1, c1, r2, c2)) return;
    }
    formula_model_->recalc({{{grid, r1, c1, 1, 0, 0}, {grid, r2, c2, 1, 0, 0}}}, false);
}

cell_t Table::get_cell(int row, int col) const {
    return cell_t(this, row, col);
}

bool Table::contains_formula(int row, int col) const {
    return is_valid_cell(row, col) && get_cell(row, col).kind() == cell_value_kind::formula;
}

} // namespace vex::mta
