#include "mta/table/utils/defined_names/defined_name_store.h"

#include "coord.h"
#include "mta/table/table/table.h"
#include "mta/formula/formula_error.h"
#include "mta/table/utils/band_shift.h"
#include "mta/table/utils/range_check.h"
#include "sheet_limits.h"

#include <algorithm>

namespace vex::mta {

size_t defined_name_key_hash::operator()(const defined_name_key_t& key) const noexcept {
    uint64_t h = fnv1a_64(reinterpret_cast<const unsigned char*>(key.name.data()), key.name.size());
    const int32_t id = static_cast<int32_t>(key.local_sheet_id);
    hash_combine(h, hash_values(&id, 1));
    return static_cast<size_t>(h);
}

defined_name_entry_t* defined_name_store_t::add(const defined_name_key_t& key, std::string_view expression,
                                                std::vector<formula::token_t>&& tokens) {
    if (contains(key)) return nullptr;
    auto node = std::make_unique<node_t>(
        node_t{std::string(key.name), key.local_sheet_id, {{}, std::string(expression), std::move(tokens)}});
    node_t* raw = node.get();
    names_.push_back(std::move(node));
    index_.emplace(raw->key(), raw);
    return &raw->entry;
}

bool defined_name_store_t::add_with_props(const defined_name_key_t& key, const defined_name_props_t& props,
                                          std::string_view expression, std::vector<formula::token_t>&& tokens) {
    defined_name_entry_t* entry = add(key, expression, std::move(tokens));
    if (!entry) return false;
    entry->props = props;
    return true;
}

std::string_view defined_name_store_t::name_at(size_t n) const noexcept {
    return n < names_.size() ? std::string_view(names_[n]->name) : std::string_view();
}

std::string_view defined_name_store_t::expression_at(size_t n) const noexcept {
    return n < names_.size() ? std::string_view(names_[n]->entry.expression) : std::string_view();
}

uint32_t defined_name_store_t::local_sheet_id_at(size_t n) const noexcept {
    return n < names_.size() ? names_[n]->local_sheet_id : workbook_scope;
}

bool defined_name_store_t::contains_name(std::string_view name) const noexcept {
    return std::any_of(names_.begin(), names_.end(), [&](const auto& node) { return node->name == name; });
}

const defined_name_entry_t* defined_name_store_t::find(const defined_name_key_t& key) const {
    const auto it = index_.find(key);
    return it == index_.end() ? nullptr : &it->second->entry;
}

defined_name_entry_t* defined_name_store_t::find(const defined_name_key_t& key) {
    const auto it = index_.find(key);
    return it == index_.end() ? nullptr : &it->second->entry;
}

const std::vector<formula::token_t>* defined_name_store_t::tokens_of(const defined_name_key_t& key) const {
    const defined_name_entry_t* entry = find(key);
    return entry ? &entry->tokens : nullptr;
}

bool defined_name_store_t::erase(const defined_name_key_t& key) {
    const auto it = index_.find(key);
    if (it == index_.end()) return false;
    const node_t* node = it->second;
    index_.erase(it);  // before the node, whose name the key views
    std::erase_if(names_, [&](const auto& n) { return n.get() == node; });
    return true;
}

void defined_name_store_t::remove_local_names(uint32_t sheet_id) {
    // The workbook scope is no sheet's id.
    if (sheet_id == workbook_scope) return;
    const auto removed = std::erase_if(names_, [&](const auto& n) { return n->local_sheet_id == sheet_id; });
    if (removed) rebuild_index__();
}

void defined_name_store_t::rebuild_index__() {
    index_.clear();
    for (const auto& n : names_) index_.emplace(n->key(), n.get());
}

namespace {

// A reference whose every cell is pushed past the table's edge names nothing of
// it: it becomes #REF!, as a clamped one would silently name another cell. A
// range whose last corner alone passes the edge is cut at it.
struct insertion_t {
    const band_shift_t& shift;
    int32_t grid_id;

    uint8_t may_move(const coord_t& c) const { return shift.rows ? c.flag1 : c.flag2; }
    bool in_area(const coord_t& c) const {
        return shift.in_band(c) && shift.along(c) >= shift.first && shift.along(c) <= shift.edge;
    }
    // One corner moving alone; false when it passes the edge.
    bool move(coord_t& c) const {
        int lo = shift.along(c), hi = lo;
        if (!shift.follow(lo, hi)) return false;
        shift.along(c) = lo;
        return true;
    }
    void apply(formula::token_t& token) const {
        if (token.opcode == formula::op_cell_ref) {
            auto& c = std::get<coord_t>(token.operand);
            if (c.grid_id == grid_id && may_move(c) && in_area(c) && !move(c)) become_ref_error(token);
        } else if (token.opcode == formula::op_range_ref) {
            auto& r = std::get<range_t>(token.operand);
            if (r.first.grid_id != grid_id) return;
            const bool first_moves = may_move(r.first), last_moves = may_move(r.last);
            if (first_moves && !last_moves) {
                if (in_area(r.first) && !move(r.first)) become_ref_error(token);
            } else if (!first_moves && last_moves) {
                if (in_area(r.last) && !move(r.last)) shift.along(r.last) = shift.edge;
            } else if (first_moves && last_moves && shift.in_band(r.first) && in_area(r.last)) {
                int lo = shift.along(r.first), hi = shift.along(r.last);
                if (!shift.follow(lo, hi)) return become_ref_error(token);
                shift.along(r.first) = lo;
                shift.along(r.last) = hi;
            }
        }
    }
    static void become_ref_error(formula::token_t& token) {
        token = formula::token_t(formula::formula_error(error_value_enum::ref));
    }
};

} // namespace

void defined_name_store_t::on_insert_rows(Table& table, int first_col, int last_col, int row, int count) {
    range_check_t check(table);
    // Checked on a copy: the names move by the count the cells move by.
    int checked = count;
    if (!check.check_insert_rows(row, checked) || !check.check_col_range(first_col, last_col)) return;
    on_shift(table, band_shift_t::inserting(true, first_col, last_col, row, count, last_row_of(table)));
}

void defined_name_store_t::on_insert_cols(Table& table, int first_row, int last_row, int col, int count) {
    range_check_t check(table);
    int checked = count;
    if (!check.check_insert_cols(col, checked) || !check.check_row_range(first_row, last_row)) return;
    on_shift(table, band_shift_t::inserting(false, first_row, last_row, col, count, last_col_of(table)));
}

void defined_name_store_t::on_shift(const Table& table, const band_shift_t& s) {
    if (!s.insert) return;  // deletions are the formula engine's
    const insertion_t ins{s, int32_t(table.sheet_id())};
    for_each_token__([&](formula::token_t& token) { ins.apply(token); });
}

} // namespace vex::mta
