#include "mta/table/utils/defined_names/defined_name_store.h"

#include "coord.h"
#include "mta/table/table/table.h"
#include "mta/table/utils/range_check.h"
#include "sheet_limits.h"

#include <algorithm>

namespace vex::mta {

size_t defined_name_key_hash::operator()(const defined_name_key_t& key) const noexcept {
    const uint64_t h = fnv1a_64(reinterpret_cast<const unsigned char*>(key.name.data()), key.name.size()) + 0x9e3779b9;
    const unsigned char id[4] = {static_cast<unsigned char>(key.local_sheet_id),
                                 static_cast<unsigned char>(key.local_sheet_id >> 8),
                                 static_cast<unsigned char>(key.local_sheet_id >> 16),
                                 static_cast<unsigned char>(key.local_sheet_id >> 24)};
    return h ^ (fnv1a_64(id, 4) + 0x9e3779b9 + (h << 6) + (h >> 2));
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

// One axis of a shift: `along` is the moving coordinate and its flag, `across`
// the band's coordinate.
struct axis_t {
    int32_t coord_t::*along;
    uint8_t coord_t::*may_move;
    int32_t coord_t::*across;
};

constexpr axis_t row_axis{&coord_t::row, &coord_t::flag1, &coord_t::col};
constexpr axis_t col_axis{&coord_t::col, &coord_t::flag2, &coord_t::row};

struct insertion_t {
    axis_t axis;
    int32_t grid_id;
    int band_first, band_last;
    int at, count, edge;  // edge: the table's last index along the axis

    bool in_band(const coord_t& c) const { return c.*axis.across >= band_first && c.*axis.across <= band_last; }
    bool in_area(const coord_t& c) const { return in_band(c) && c.*axis.along >= at && c.*axis.along <= edge; }
    // What would pass the sheet's edge stops at it, so no reference leaves the sheet.
    void move(coord_t& c) const { c.*axis.along = int32_t(std::min<int64_t>(int64_t(c.*axis.along) + count, edge)); }

    void apply(formula::token_t& token) const {
        if (token.opcode == formula::op_cell_ref) {
            auto& c = std::get<coord_t>(token.operand);
            if (c.grid_id == grid_id && c.*axis.may_move && in_area(c)) move(c);
        } else if (token.opcode == formula::op_range_ref) {
            auto& r = std::get<range_t>(token.operand);
            if (r.first.grid_id != grid_id) return;
            const bool first_moves = r.first.*axis.may_move, last_moves = r.last.*axis.may_move;
            if (first_moves && !last_moves) {
                if (in_area(r.first)) move(r.first);
            } else if (!first_moves && last_moves) {
                if (in_area(r.last)) move(r.last);
            } else if (first_moves && last_moves && in_band(r.first) && in_band(r.last)) {
                if (in_area(r.first) && in_area(r.last)) {
                    move(r.first);
                    move(r.last);
                } else if (r.first.*axis.along < at && in_area(r.last)) {
                    move(r.last);  // a range across the insertion grows by it
                }
            }
        }
    }
};

} // namespace

void defined_name_store_t::on_insert_rows(Table& table, int first_col, int last_col, int row, int count) {
    range_check_t check(table);
    // Checked on a copy: the names move by the count the cells move by.
    int checked = count;
    if (!check.check_insert_rows(row, checked) || !check.check_col_range(first_col, last_col)) return;
    const int edge = get_sheet_limits().first_row + int(table.row_count()) - 1;
    const insertion_t ins{row_axis, int32_t(table.sheet_id()), first_col, last_col, row, count, edge};
    for_each_token__([&](formula::token_t& token) { ins.apply(token); });
}

void defined_name_store_t::on_insert_cols(Table& table, int first_row, int last_row, int col, int count) {
    range_check_t check(table);
    int checked = count;
    if (!check.check_insert_cols(col, checked) || !check.check_row_range(first_row, last_row)) return;
    const int edge = get_sheet_limits().first_col + int(table.col_count()) - 1;
    const insertion_t ins{col_axis, int32_t(table.sheet_id()), first_row, last_row, col, count, edge};
    for_each_token__([&](formula::token_t& token) { ins.apply(token); });
}

} // namespace vex::mta
