#include "mta/table/utils/table_definition/tabledef.h"

#include "errors.h"
#include "mta/table/style/manager/builtin_numfmts.h"
#include "mta/table/table/table.h"
#include "mta/table/utils/table_definition/filter_shift.h"
#include "run_message.h"
#include "sheet_limits.h"
#include "unicode.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <optional>
#include <utility>

namespace vex::mta {

namespace {

std::atomic<uint32_t>& table_id_counter() {
    static std::atomic<uint32_t> counter{0};
    return counter;
}

constexpr std::string_view column_out_of_range = "The column index is out of range.";

// The number after "column" (any case) in a generated column name: leading
// blanks and a sign allowed, digits up to the first other character.
std::optional<int32_t> generated_number(std::string_view name) {
    constexpr std::string_view prefix = "column";
    if (name.size() <= prefix.size()) return std::nullopt;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char c = name[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return std::nullopt;
    }
    std::string_view rest = name.substr(prefix.size());
    while (!rest.empty() && (rest.front() == ' ' || (rest.front() >= '\t' && rest.front() <= '\r')))
        rest.remove_prefix(1);
    bool negative = false;
    if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
        negative = rest.front() == '-';
        rest.remove_prefix(1);
    }
    // Digits only: from_chars would take a second sign.
    if (rest.empty() || rest.front() < '0' || rest.front() > '9') return std::nullopt;
    int64_t value = 0;
    const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
    if (ec != std::errc{}) return std::nullopt;
    if (negative) value = -value;
    if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(value);
}

} // namespace

uint32_t next_table_id() noexcept {
    return table_id_counter().fetch_add(1) + 1;
}

void reserve_table_id(uint32_t id) noexcept {
    auto& counter = table_id_counter();
    uint32_t seen = counter.load();
    while (seen < id && !counter.compare_exchange_weak(seen, id)) {
    }
}

tabledef_t::tabledef_t() = default;

tabledef_t::tabledef_t(Table* owner, std::string display_name, uint32_t id, const vex::range_t& range)
    : owner_(owner), range_(range), display_name_(std::move(display_name)) {
    attributes_.id = id;
    const int width = range.last.col - range.first.col + 1;
    for (int k = 0; k < width; ++k) {
        tabledef_column_t column;
        column.name = "Column" + std::to_string(k + 1);
        columns_.push_back(std::move(column));
    }
    renumber__();
    rebuild_column_index();
}

tabledef_t::~tabledef_t() = default;

vex::range_t tabledef_t::header_range() const noexcept {
    vex::range_t r = range_;
    r.last.row = r.first.row;
    return r;
}

tabledef_style_info_t tabledef_t::style_info() const noexcept {
    return {style_name_, row_stripes_, col_stripes_, first_col_, last_col_};
}

tabledef_column_t tabledef_t::column_at(int i) const {
    if (i < 0 || i >= column_count()) return {};
    return columns_[size_t(i)];
}

std::string_view tabledef_t::column_name(int i) const noexcept {
    if (i < 0 || i >= column_count()) return {};
    return columns_[size_t(i)].name;
}

int32_t tabledef_t::totals_row_func(int i) const noexcept {
    if (i < 0 || i >= column_count()) return 0;
    return columns_[size_t(i)].totals_func;
}

std::string tabledef_t::next_column_name() const {
    int64_t largest = 0;
    for (const auto& c : columns_)
        if (auto n = generated_number(c.name)) largest = std::max<int64_t>(largest, *n);
    return "column" + std::to_string(largest < 1 ? 1 : largest + 1);
}

void tabledef_t::set_display_name(std::string_view name) {
    if (name.empty() || name == display_name_) return;
    std::string before = std::exchange(display_name_, std::string(name));
    if (owner_) owner_->tabledefs().on_display_renamed(*this, before);
}

void tabledef_t::set_comment(std::string_view text) {
    if (!text.empty()) comment_ = text;
}

void tabledef_t::set_style_name(std::string_view name) {
    if (!is_builtin_table_style(name)) return;
    style_name_ = name;
    has_style_info_ = true;
}

void tabledef_t::set_data_cell_style(std::string_view name) {
    if (!name.empty()) data_cell_style_ = name;
}

void tabledef_t::set_header_row_cell_style(std::string_view name) {
    if (!name.empty()) header_row_cell_style_ = name;
}

void tabledef_t::set_totals_row_cell_style(std::string_view name) {
    if (!name.empty()) totals_row_cell_style_ = name;
}

bool tabledef_t::set_style_info(std::string_view name, uint8_t row_stripes, uint8_t col_stripes, uint8_t first_col,
                                uint8_t last_col) {
    if (!is_builtin_table_style(name)) return refuse("No such table style: " + std::string(name));
    keep_style_info(name, row_stripes, col_stripes, first_col, last_col);
    return true;
}

void tabledef_t::keep_style_info(std::string_view name, uint8_t row_stripes, uint8_t col_stripes, uint8_t first_col,
                                 uint8_t last_col) {
    style_name_ = name;
    has_style_info_ = true;
    row_stripes_ = row_stripes;
    col_stripes_ = col_stripes;
    first_col_ = first_col;
    last_col_ = last_col;
}

void tabledef_t::drop_style_info() noexcept {
    style_name_.clear();
    has_style_info_ = false;
    row_stripes_ = col_stripes_ = first_col_ = last_col_ = 0;
}

void tabledef_t::set_attributes(const tabledef_attributes_t& attributes) {
    reserve_table_id(attributes.id);
    attributes_ = attributes;
    if (owner_) owner_->tabledefs().note_reshaped();
    // The list's index holds ranges alone (a header row is asked of the table
    // itself), so it stays as it is: a load sets these on every table it adds.
}

void tabledef_t::set_totals_row_shown_flag(int32_t v) {
    if (v == 0 || v == 1) attributes_.totalsRowCount = v;
    if (owner_) owner_->tabledefs().note_reshaped();
}

void tabledef_t::set_totals_row_func(int i, int32_t code) {
    if (i >= 0 && i < column_count()) columns_[size_t(i)].totals_func = code;
}

void tabledef_t::set_totals_row_label(std::string_view text) {
    if (!text.empty() && !columns_.empty()) columns_.front().totalsRowLabel = text;
}

void tabledef_t::set_columns(std::deque<tabledef_column_t>& columns) {
    if (int64_t(columns.size()) != int64_t(range_.last.col) - range_.first.col + 1)
        throw mta_error("The number of columns added does not match the number of columns in table.");
    columns_.swap(columns);
    rebuild_column_index();
    if (holds_formulas_) return;
    holds_formulas_ = std::any_of(columns_.begin(), columns_.end(), [](const tabledef_column_t& c) {
        return !c.calculated_formula.text.empty() || !c.totals_formula.text.empty();
    });
    if (holds_formulas_ && owner_) owner_->tabledefs().on_formulas_held();
}

void tabledef_t::set_autofilter(std::unique_ptr<tabledef_autofilter_t> record) {
    autofilter_ = std::move(record);
}

void tabledef_t::set_sort_state(std::unique_ptr<tabledef_sort_state_t> record) {
    sort_state_ = std::move(record);
}

void tabledef_t::set_range(const vex::range_t& range) {
    const bool moved = range != range_;
    range_ = range;
    if (owner_) {
        owner_->tabledefs().invalidate_index();
        owner_->tabledefs().note_reshaped();
    }
    if (moved) fit_filter__();
}

void tabledef_t::fit_filter__() {
    if (!autofilter_) return;
    vex::range_t& f = autofilter_->range;
    const vex::range_t old = vex::range_t(f).order();
    vex::range_t want = vex::range_t(range_).order();
    want.last.row = std::max(want.first.row, want.last.row - (attributes_.totalsRowCount > 0 ? 1 : 0));
    // Filter columns count from the filter's first column.
    const int offset = old.first.col - want.first.col, width = want.last.col - want.first.col;
    std::erase_if(autofilter_->columns, [&](vex::filter_column_t& c) {
        if (c.col_id < 0) return false;
        c.col_id += offset;
        return c.col_id < 0 || c.col_id > width;
    });
    f.first.grid_id = f.last.grid_id = want.first.grid_id;
    f.first.row = want.first.row;
    f.first.col = want.first.col;
    f.last.row = want.last.row;
    f.last.col = want.last.col;
}

void tabledef_t::follow_shift(const band_shift_t& s) {
    if (autofilter_ && !mta::follow_shift(*autofilter_, s)) autofilter_.reset();
    if (sort_state_ && !mta::follow_shift(*sort_state_, s)) sort_state_.reset();
}

void tabledef_t::rewrite_formulas(const formula_rewrite_t& rewrite) {
    if (!holds_formulas_) return;
    // Inside the table, where a bare "[Qty]" names it.
    const int data_row = std::min(range_.first.row + (has_header() ? 1 : 0), range_.last.row);
    for (size_t i = 0; i < columns_.size(); ++i) {
        const int col = range_.first.col + int(i);
        const std::pair<tabledef_formula_t*, int> formulas[] = {{&columns_[i].calculated_formula, data_row},
                                                                {&columns_[i].totals_formula, range_.last.row}};
        for (const auto& [formula, row] : formulas) {
            if (formula->text.empty()) continue;
            if (auto text = rewrite({range_.first.grid_id, row, col, 0, 0, 0}, formula->text))
                formula->text = std::move(*text);
        }
    }
}

void tabledef_t::renumber__() {
    int32_t id = 0;
    for (auto& c : columns_) c.id = ++id;
}

void tabledef_t::rebuild_column_index() {
    column_index_.clear();
    column_index_.reserve(columns_.size());
    for (size_t i = 0; i < columns_.size(); ++i) column_index_[utf8_fold_case(columns_[i].name)] = static_cast<int>(i);
    repeated_names_ = column_index_.size() != columns_.size();
}

bool tabledef_t::column_name_taken__(std::string_view name, int except) const {
    const auto it = column_index_.find(utf8_fold_case(name));
    if (it == column_index_.end()) return false;
    if (it->second != except) return true;
    // A file may name two columns alike; the index keeps the later one.
    for (int j = 0; j < column_count(); ++j)
        if (j != except && utf8_iequals(columns_[size_t(j)].name, name)) return true;
    return false;
}

void tabledef_t::write_header__(int i) {
    if (!owner_ || !has_header()) return;
    owner_->set_text(range_.first.row, range_.first.col + i, columns_[size_t(i)].name, true);
}

bool tabledef_t::insert_column(int i, std::string_view name) {
    if (i < 0 || i >= column_count()) return refuse(column_out_of_range);
    if (range_.last.col >= get_sheet_limits().last_col)
        return refuse("The rightmost column of the table is already the largest column number.");
    if (column_name_taken__(name, -1)) return refuse("The column name already exists.");
    if (!owner_ || !owner_->shift_range_right(range_.first.row, range_.last.row, range_.first.col + i, 1))
        return false;
    if (i > 0) {
        // The shift put a generated column at i; it takes the name asked for.
        if (columns_[size_t(i)].name != name) set_column_name(i, name);
        return true;
    }
    // Inserting at the first column moved the whole table right: it takes the
    // new sheet column back as its first.
    tabledef_column_t column;
    column.name = name;
    columns_.push_front(std::move(column));
    renumber__();
    rebuild_column_index();
    vex::range_t r = range_;
    if (autofilter_) take_column_before(*autofilter_, r.first.col);
    if (sort_state_) take_column_before(*sort_state_, r.first.col);
    const vex::range_t before = range_;
    --r.first.col;
    set_range(r);
    write_header__(0);
    reshaped__(before);
    return true;
}

bool tabledef_t::set_column_name(int i, std::string_view name) {
    if (i < 0 || i >= column_count()) return refuse(column_out_of_range);
    // Applications take names alike but for case for one column; the column's
    // own name may change its case, not stay as it is.
    if (columns_[size_t(i)].name == name || column_name_taken__(name, i))
        return refuse("The setting column name already exists.");
    // A name read twice from a file keeps its other column: the index is
    // rebuilt then, and patched otherwise, so renaming every column of a wide
    // table costs each rename one column.
    if (repeated_names_) {
        columns_[size_t(i)].name = name;
        rebuild_column_index();
    } else {
        const std::string old = utf8_fold_case(columns_[size_t(i)].name);
        std::string folded = utf8_fold_case(name);
        columns_[size_t(i)].name = name;
        column_index_.erase(old);
        column_index_[std::move(folded)] = i;
    }
    write_header__(i);
    return true;
}

bool tabledef_t::delete_column(std::string_view name) {
    if (name.empty()) return false;
    for (int i = 0; i < column_count(); ++i) {
        if (columns_[size_t(i)].name != name) continue;
        const int col = range_.first.col + i;
        // The shift may destroy this table when it was its last column.
        return owner_ && owner_->shift_range_left(range_.first.row, range_.last.row, col, col);
    }
    return refuse("No such column: " + std::string(name));
}

bool tabledef_t::delete_column_by_index(int i) {
    if (i < 0 || i >= column_count()) return refuse("Index out of range.");
    const int col = range_.first.col + i;
    return owner_ && owner_->shift_range_left(range_.first.row, range_.last.row, col, col);
}

bool tabledef_t::set_display_total(bool on) {
    if (!owner_) return false;
    const int c1 = range_.first.col, c2 = range_.last.col;
    if (on && attributes_.totalsRowCount == 0) {
        const int row = range_.last.row + 1;
        constexpr std::string_view no_room =
            "The totals row would leave the sheet or overlap another table or merged range.";
        const vex::range_t totals{{range_.first.grid_id, row, c1, 1, 0, 0}, {range_.first.grid_id, row, c2, 1, 0, 0}};
        if (!owner_->is_valid_row(row) || owner_->tabledefs().intersects(totals) ||
            owner_->merged_cells().overlaps(totals))
            return refuse(no_room);
        for (int c = c1; c <= c2; ++c) {
            const Column* column = owner_->find_column(c);
            if (column && column->cells().get_type(size_t(row) - 1) != mdds::mtv::element_type_empty)
                return refuse("The totals row would overwrite cells below the table.");
        }
        const vex::range_t before = range_;
        vex::range_t r = range_;
        r.last.row = row;
        // Counted first: the filter fits the records the new range holds.
        attributes_.totalsRowCount = 1;
        set_range(r);
        std::string label = "Total";
        if (!columns_.empty()) {
            if (columns_.front().totalsRowLabel.empty()) columns_.front().totalsRowLabel = label;
            label = columns_.front().totalsRowLabel;
        }
        owner_->set_text(row, c1, label, true);
        reshaped__(before);
    } else if (!on && attributes_.totalsRowCount == 1 && range_.last.row > range_.first.row) {
        const int row = range_.last.row;
        owner_->clear_contents({{range_.first.grid_id, row, c1, 1, 0, 0}, {range_.first.grid_id, row, c2, 1, 0, 0}});
        const vex::range_t before = range_;
        vex::range_t r = range_;
        --r.last.row;
        attributes_.totalsRowCount = 0;
        set_range(r);
        reshaped__(before);
    }
    return true;
}

void tabledef_t::reshaped__(const vex::range_t& before) {
    if (owner_) owner_->follow_new_table_name(display_name(), &before);
}

void tabledef_t::remove_columns(int first, int last) {
    if (first > last || first < 0 || last >= column_count()) return;
    columns_.erase(columns_.begin() + first, columns_.begin() + last + 1);
    renumber__();
    rebuild_column_index();
    vex::range_t r = range_;
    r.last.col -= last - first + 1;
    set_range(r);
}

void tabledef_t::insert_generated_columns(int p, int n) {
    if (p < 0 || p > column_count() || n < 1) return;
    for (int k = 0; k < n; ++k) {
        tabledef_column_t column;
        column.name = next_column_name();
        columns_.insert(columns_.begin() + p + k, std::move(column));
        write_header__(p + k);
    }
    renumber__();
    rebuild_column_index();
    vex::range_t r = range_;
    r.last.col += n;
    set_range(r);
}

} // namespace vex::mta
