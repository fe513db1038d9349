#include "mta/table/utils/table_definition/tabledef_list.h"

#include "mta/table/table/table.h"
#include "mta/table/utils/band_shift.h"
#include "mta/table/utils/range_check.h"
#include "run_message.h"
#include "sheet_limits.h"
#include "text_utils.h"
#include "unicode.h"

#include <algorithm>
#include <utility>

namespace vex::mta {

namespace {

constexpr std::string_view would_move = "The operation would move cells in a table.";

mdds::rtree<rtree_key_t, tabledef_t*, small_node_rtree_trait>::extent_type extent_of(const vex::range_t& r) {
    return {{r.first.row, r.first.col}, {r.last.row, r.last.col}};
}

bool overlap(const vex::range_t& r, int r1, int c1, int r2, int c2) {
    return r.first.row <= r2 && r1 <= r.last.row && r.first.col <= c2 && c1 <= r.last.col;
}

// The table's columns (0-based) a column deletion takes; first above last when none.
std::pair<int, int> lost_columns(const band_shift_t& s, const vex::range_t& table) {
    if (s.rows || s.insert) return {0, -1};
    return {std::max(s.first, table.first.col) - table.first.col, std::min(s.last(), table.last.col) - table.first.col};
}

} // namespace

bool is_valid_table_name(std::string_view name) noexcept {
    if (name.empty() || ascii_is_digit(name.front())) return false;
    // Bytes of multi-byte characters count as letters. Anything else would end
    // the name inside a structured reference ("a[b[v]").
    const auto allowed = [](char c) {
        return ascii_is_alpha(c) || ascii_is_digit(c) || c == '_' || c == '.' || c == '\\' ||
               static_cast<unsigned char>(c) >= 0x80;
    };
    if (!std::all_of(name.begin(), name.end(), allowed)) return false;
    // A formula reads these as the two logical values, not as the table.
    if (ascii_iequals(name, "TRUE") || ascii_iequals(name, "FALSE")) return false;
    return !reads_as_cell_reference(name);
}

tabledef_list_t::tabledef_list_t(Table* owner) : owner_(owner) {}

tabledef_list_t::~tabledef_list_t() = default;

const tabledef_list_t::index_t& tabledef_list_t::index__() const {
    if (!index_) index_ = std::make_unique<index_t>();
    if (!index_valid_) {
        // Refilled in place, not packed and moved in: a tree mdds 2.0 moves keeps
        // parent pointers into its old root, and the next insert crashes.
        index_->clear();
        for (const auto& e : entries_)
            if (e.table) index_->insert(extent_of(e.table->range()), e.table.get());
        index_valid_ = true;
        index_dead_ = 0;
    }
    return *index_;
}

void tabledef_list_t::unindex__(const tabledef_t& table) {
    // Left in the tree as a null entry, not erased: mdds 2.0's rtree::erase can
    // drop other entries with the one it takes out. Rebuilt once the dead
    // outnumber the live four times, so a host deleting tables one by one
    // pays for a quarter of an insert a table, not for every table each time.
    if (!index_) return invalidate_index();
    auto hits = index_->search(extent_of(table.range()), index_t::search_type::overlap);
    for (auto it = hits.begin(); it != hits.end(); ++it)
        if (*it == &table) {
            *it = nullptr;
            if (++index_dead_ > 4 * size() && index_dead_ >= 64) invalidate_index();
            return;
        }
    invalidate_index();
}

size_t tabledef_list_t::position_of__(std::string_view name) const {
    const tabledef_t* table = find(name);
    return table ? position_of__(table) : entries_.size();
}

// Entries stay in the order tables came, holes and all: found by that order.
size_t tabledef_list_t::position_of__(const tabledef_t* table) const {
    const auto order = order_of_.find(table);
    if (order == order_of_.end()) return entries_.size();
    const auto it = std::lower_bound(entries_.begin(), entries_.end(), order->second,
                                     [](const entry_t& e, uint64_t o) { return e.order < o; });
    return it != entries_.end() && it->table.get() == table ? size_t(it - entries_.begin()) : entries_.size();
}

tabledef_t* tabledef_list_t::add(int32_t type, const char* name, const vex::range_t& given) {
    if (type != 0) {
        set_run_message("This table type is not supported.");
        return nullptr;
    }
    const std::string_view key = name ? name : "";
    if (key.empty()) {
        set_run_message("Table name cannot be empty.");
        return nullptr;
    }
    vex::range_t range = given;
    range.first.grid_id = range.last.grid_id = static_cast<int32_t>(owner_->sheet_id());
    if (find(key)) {
        set_run_message("Table name already exists.");
        return nullptr;
    }
    if (intersects(range)) {
        set_run_message("The range intersects with other ranges.");
        return nullptr;
    }
    if (!owner_->merged_cells().all_within(range)) {
        set_run_message("The range of the table includes a partial area of merged cells.");
        return nullptr;
    }
    auto table = std::make_unique<tabledef_t>(owner_, std::string(key), next_table_id(), range);
    tabledef_t* added = table.get();
    const uint64_t order = added_++;
    entries_.push_back({std::string(key), std::move(table), order});
    by_name_.emplace(std::string(key), added);
    order_of_.emplace(added, order);
    file__(by_folded_name_, key, order, added);
    file__(by_display_, added->display_name(), order, added);
    // Kept current while it is: a sheet filled with tables never rebuilds it.
    if (index_valid_) {
        index__();
        index_->insert(extent_of(range), added);
    }
    owner_->merged_cells().remove_within(range);
    tell_held__();
    return added;
}

void tabledef_list_t::tell_held__() {
    const bool held = size() != 0 || !unloaded_names_.empty();
    if (held == told_held_) return;
    told_held_ = held;
    owner_->on_tables_held__(held);
}

tabledef_t* tabledef_list_t::find(std::string_view name) const {
    if (name.empty()) return nullptr;
    const auto it = by_name_.find(std::string(name));
    return it == by_name_.end() ? nullptr : it->second;
}

void tabledef_list_t::file__(folded_index_t& index, std::string_view name, uint64_t order, tabledef_t* table) {
    auto& tables = index[utf8_fold_case(name)];
    const auto at = std::lower_bound(tables.begin(), tables.end(), order,
                                     [](const auto& entry, uint64_t o) { return entry.first < o; });
    tables.insert(at, {order, table});
}

void tabledef_list_t::unfile__(folded_index_t& index, std::string_view name, const tabledef_t* table) {
    const auto it = index.find(utf8_fold_case(name));
    if (it == index.end()) return;
    std::erase_if(it->second, [&](const auto& entry) { return entry.second == table; });
    if (it->second.empty()) index.erase(it);
}

tabledef_t* tabledef_list_t::find_display(std::string_view display_name) const {
    if (display_name.empty()) return nullptr;
    const auto it = by_display_.find(utf8_fold_case(display_name));
    return it == by_display_.end() ? nullptr : it->second.front().second;
}

bool tabledef_list_t::names_table(const std::string& folded, const tabledef_t* except) const {
    for (const folded_index_t* index : {&by_folded_name_, &by_display_})
        if (const auto it = index->find(folded); it != index->end())
            for (const auto& entry : it->second)
                if (entry.second != except) return true;
    return unloaded_folded_.contains(folded);
}

void tabledef_list_t::on_display_renamed(const tabledef_t& table, std::string_view before) {
    note_reshaped();
    const auto order = order_of_.find(&table);
    if (order == order_of_.end()) return;
    unfile__(by_display_, before, &table);
    file__(by_display_, table.display_name(), order->second, const_cast<tabledef_t*>(&table));
}

void tabledef_list_t::keep_unloaded_name(std::string_view name) {
    unloaded_names_.emplace_back(name);
    unloaded_folded_.insert(utf8_fold_case(name));
    tell_held__();
}

std::string_view tabledef_list_t::find_name(std::string_view name) const {
    if (name.empty()) return {};
    const size_t i = position_of__(name);
    return i < entries_.size() ? std::string_view(entries_[i].name) : std::string_view();
}

std::string_view tabledef_list_t::name_at(size_t i) const {
    pack__();
    if (i >= entries_.size()) {
        set_run_message("Table definition index out of range.");
        return {};
    }
    return entries_[i].name;
}

void tabledef_list_t::erase_doomed__(const std::vector<const tabledef_t*>& doomed) {
    std::vector<entry_t*> found;
    for (const tabledef_t* t : doomed)
        if (const size_t i = position_of__(t); i < entries_.size()) found.push_back(&entries_[i]);
    if (found.empty()) return;
    note_reshaped();
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    // Left as holes: a host deleting tables one by one moves no other table.
    std::vector<std::unique_ptr<tabledef_t>> going;
    std::vector<std::string> gone;
    for (entry_t* e : found) {
        tabledef_t* table = e->table.get();
        by_name_.erase(e->name);
        unfile__(by_folded_name_, e->name, table);
        unfile__(by_display_, table->display_name(), table);
        order_of_.erase(table);
        if (table->holds_formulas()) --holding_formulas_;
        if (index_valid_) unindex__(*table);
        going.push_back(std::move(e->table));
        gone.push_back(std::move(e->name));
        e->name.clear();
        ++holes_;
    }
    if (holes_ > entries_.size() / 2) pack__();
    tell_held__();
    going.clear();
    for (const std::string& name : gone) owner_->on_table_removed__(name);
}

void tabledef_list_t::pack__() const {
    if (holes_ == 0) return;
    std::erase_if(entries_, [](const entry_t& e) { return !e.table; });
    holes_ = 0;
}

void tabledef_list_t::remove(std::string_view name) {
    const tabledef_t* table = find(name);
    if (table) erase_doomed__({table});
}

tabledef_t* tabledef_list_t::rename(std::string_view old_name, std::string_view new_name) {
    if (old_name.empty() || new_name.empty()) return nullptr;
    if (find(new_name)) {
        set_run_message("The new name already exists.");
        return nullptr;
    }
    const size_t i = position_of__(old_name);
    if (i == entries_.size()) return nullptr;
    tabledef_t* table = entries_[i].table.get();
    note_reshaped();
    by_name_.erase(entries_[i].name);
    unfile__(by_folded_name_, entries_[i].name, table);
    entries_[i].name = new_name;
    by_name_.emplace(std::string(new_name), table);
    file__(by_folded_name_, new_name, order_of_.at(table), table);
    return table;
}

std::vector<std::pair<std::string_view, tabledef_t*>> tabledef_list_t::all() const {
    std::vector<std::pair<std::string_view, tabledef_t*>> out;
    out.reserve(size());
    for (const auto& e : entries_)
        if (e.table) out.emplace_back(e.name, e.table.get());
    return out;
}

bool tabledef_list_t::intersects(const vex::range_t& given) const {
    if (size() == 0) return false;
    vex::range_t r = given;
    r.order();
    const auto hits = index__().search(extent_of(r), index_t::search_type::overlap);
    return std::any_of(hits.begin(), hits.end(), [](const tabledef_t* t) { return t != nullptr; });
}

const tabledef_t* tabledef_list_t::header_at(int row, int col) const {
    if (size() == 0) return nullptr;
    const auto hits = index__().search(index_t::point_type{row, col}, index_t::search_type::overlap);
    for (auto it = hits.begin(); it != hits.end(); ++it) {
        const tabledef_t* t = *it;
        if (t && t->has_header() && t->range().first.row == row) return t;
    }
    return nullptr;
}

void tabledef_list_t::on_clear_contents(const vex::range_t& cleared) {
    if (size() == 0) return;
    std::vector<tabledef_t*> met;
    const auto hits = index__().search(extent_of(cleared), index_t::search_type::overlap);
    for (auto it = hits.begin(); it != hits.end(); ++it)
        if (*it) met.push_back(*it);
    const auto inside = [&](const tabledef_t& t) {
        const auto& r = t.range();
        return r.first.row >= cleared.first.row && r.last.row <= cleared.last.row &&
               r.first.col >= cleared.first.col && r.last.col <= cleared.last.col;
    };
    for (tabledef_t* t : met) {
        const int row = t->range().first.row;
        if (inside(*t) || !t->has_header() || row < cleared.first.row || row > cleared.last.row) continue;
        const int c1 = std::max(cleared.first.col, t->range().first.col);
        const int c2 = std::min(cleared.last.col, t->range().last.col);
        for (int c = c1; c <= c2; ++c)
            owner_->set_text(row, c, t->column_name(c - t->range().first.col), true);
    }
    std::vector<const tabledef_t*> doomed;
    for (const tabledef_t* t : met)
        if (inside(*t)) doomed.push_back(t);
    erase_doomed__(doomed);
}

std::vector<tabledef_t*> tabledef_list_t::in_area__(int r1, int c1, int r2, int c2) const {
    std::vector<tabledef_t*> out;
    for (const auto& e : entries_)
        if (e.table && overlap(e.table->range(), r1, c1, r2, c2)) out.push_back(e.table.get());
    return out;
}

bool tabledef_list_t::check_insert_rows(int c1, int c2, int row) const {
    const range_check_t check(*owner_);
    int count = 1;
    if (!check.check_insert_rows(row, count) || !check.check_col_range(c1, c2)) return false;
    for (const tabledef_t* t : in_area__(row, c1, last_row_of(*owner_), c2))
        if (c1 > t->range().first.col || c2 < t->range().last.col) return refuse(would_move);
    return true;
}

bool tabledef_list_t::check_insert_columns(int r1, int r2, int col) const {
    const range_check_t check(*owner_);
    int count = 1;
    if (!check.check_insert_cols(col, count) || !check.check_row_range(r1, r2)) return false;
    for (const tabledef_t* t : in_area__(r1, col, r2, last_col_of(*owner_)))
        if (r1 > t->range().first.row || r2 < t->range().last.row) return refuse(would_move);
    return true;
}

bool tabledef_list_t::check_delete_columns(int r1, int r2, int c1) const {
    const range_check_t check(*owner_);
    int c2 = c1;
    if (!check.check_delete_cols(c1, c2) || !check.check_row_range(r1, r2)) return false;
    for (const tabledef_t* t : in_area__(r1, c1, r2, last_col_of(*owner_)))
        if (r1 > t->range().first.row || r2 < t->range().last.row) return refuse(would_move);
    return true;
}

bool tabledef_list_t::check_delete_rows(int c1, int c2, int r1, int r2) const {
    const range_check_t check(*owner_);
    if (!check.check_delete_rows(r1, r2) || !check.check_col_range(c1, c2)) return false;
    for (const tabledef_t* t : in_area__(r1, c1, last_row_of(*owner_), c2)) {
        const auto& r = t->range();
        if (c1 > r.first.col || c2 < r.last.col) return refuse(would_move);
        if (r1 == r.first.row + 1) return refuse("The operation would delete all cells in a table.");
        if (r2 >= r.first.row && r2 < r.last.row) return refuse("The operation would delete table header.");
    }
    return true;
}

bool tabledef_list_t::on_insert_rows(int c1, int c2, int row, int n) {
    if (!check_insert_rows(c1, c2, row)) return false;
    shift(band_shift_t::inserting(true, c1, c2, row, n, last_row_of(*owner_)));
    return true;
}

bool tabledef_list_t::on_insert_columns(int r1, int r2, int col, int n) {
    if (!check_insert_columns(r1, r2, col)) return false;
    shift(band_shift_t::inserting(false, r1, r2, col, n, last_col_of(*owner_)));
    return true;
}

bool tabledef_list_t::on_delete_rows(int c1, int c2, int r1, int r2) {
    if (!check_delete_rows(c1, c2, r1, r2)) return false;
    shift(band_shift_t::deleting(true, c1, c2, r1, r2, last_row_of(*owner_)));
    return true;
}

bool tabledef_list_t::on_delete_columns(int r1, int r2, int c1, int c2) {
    if (!check_delete_columns(r1, r2, std::min(c1, c2))) return false;
    shift(band_shift_t::deleting(false, r1, r2, c1, c2, last_col_of(*owner_)));
    return true;
}

std::vector<tabledef_t*> tabledef_list_t::in_shift__(const band_shift_t& s) const {
    return s.rows ? in_area__(s.first, s.band_lo, s.edge, s.band_hi) : in_area__(s.band_lo, s.first, s.band_hi, s.edge);
}

std::vector<tabledef_list_t::loss_t> tabledef_list_t::losses(const band_shift_t& s) const {
    std::vector<loss_t> out;
    if (s.insert) return out;
    for (const tabledef_t* t : in_shift__(s)) {
        vex::range_t r = t->range();
        if (!s.follow(r)) {
            out.push_back({t});
            continue;
        }
        const auto [p1, p2] = lost_columns(s, t->range());
        if (p1 <= p2) out.push_back({t, p1, p2});
    }
    return out;
}

void tabledef_list_t::shift(const band_shift_t& s) {
    // Picked before anything moves: a moved table may land on the deleted span.
    std::vector<const tabledef_t*> doomed;
    for (tabledef_t* t : in_shift__(s)) {
        const vex::range_t old = t->range();
        vex::range_t r = old;
        if (!s.follow(r)) {
            doomed.push_back(t);
            continue;
        }
        t->follow_shift(s);
        if (r == old) continue;
        if (s.rows) {
            // The last row went, and with it the totals row when there was one.
            if (!s.insert && old.last.row <= s.last()) t->set_totals_row_shown_flag(0);
            t->set_range(r);
            continue;
        }
        // Columns carry their records: those opened inside the table are made,
        // the table's own deleted ones go.
        if (s.insert && old.first.col < s.first) {
            t->insert_generated_columns(s.first - old.first.col, s.count);
            continue;
        }
        if (!s.insert) {
            const auto [p1, p2] = lost_columns(s, old);
            if (p1 <= p2) t->remove_columns(p1, p2);
        }
        t->set_range(r);
    }
    erase_doomed__(doomed);
}

} // namespace vex::mta
