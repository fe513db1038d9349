#include "mta/table/utils/cell_comment/comment_store.h"

#include "mta/table/utils/band_shift.h"
#include "mta/table/utils/range_check.h"
#include "sheet_limits.h"

#include <algorithm>

namespace vex::mta::utils::cell_comment {

bool comment_store_t::add(int row, int col, richtext_t text, std::string_view author) {
    const auto& lim = get_sheet_limits();
    if (!lim.valid_row(row) || !lim.valid_col(col)) return false;
    int id = -1;
    if (!author.empty()) {
        const auto [it, added] = author_ids_.try_emplace(std::string(author), static_cast<int>(authors_.size()));
        if (added) authors_.emplace_back(author);
        id = it->second;
    }
    const key_t key{row, col};
    comment_t comment{std::move(text), id, {}};
    if (const auto it = comments_.find(key); it != comments_.end()) {
        comment.shape = std::move(it->second.shape);
    } else if (const auto waiting = unplaced_shapes_.find(key); waiting != unplaced_shapes_.end()) {
        comment.shape = std::move(waiting->second);
        unplaced_shapes_.erase(waiting);
    }
    comments_.insert_or_assign(key, std::move(comment));
    return true;
}

void comment_store_t::set_loaded_shape(int row, int col, note_shape_t shape) {
    const key_t key{row, col};
    if (const auto it = comments_.find(key); it != comments_.end())
        it->second.shape = std::move(shape);
    else
        unplaced_shapes_.insert_or_assign(key, std::move(shape));
}

bool comment_store_t::remove(int row, int col) {
    return comments_.erase(key_t{row, col}) != 0;
}

int comment_store_t::author_id(int row, int col) const {
    const auto it = comments_.find(key_t{row, col});
    return it == comments_.end() ? -1 : it->second.author;
}

const richtext_t* comment_store_t::find(int row, int col) const {
    const auto it = comments_.find(key_t{row, col});
    return it == comments_.end() ? nullptr : &it->second.text;
}

std::vector<std::pair<int, int>> comment_store_t::positions() const {
    std::vector<std::pair<int, int>> out;
    out.reserve(comments_.size());
    for (const auto& entry : comments_) out.push_back(entry.first);
    return out;
}

void comment_store_t::shift(const band_shift_t& s) {
    std::map<key_t, comment_t> moved;
    for (auto& [key, comment] : comments_) {
        vex::range_t cell{{0, key.first, key.second, 0, 0, 0}, {0, key.first, key.second, 0, 0, 0}};
        if (!s.follow(cell)) continue;
        if (comment.shape && comment.shape->has_anchor) {
            std::array<int, 8>& a = comment.shape->anchor;
            const int rows = cell.first.row - key.first, cols = cell.first.col - key.second;
            for (const size_t i : {0, 4}) a[i] = std::max(a[i] + cols, 0);
            for (const size_t i : {2, 6}) a[i] = std::max(a[i] + rows, 0);
        }
        moved.emplace(key_t{cell.first.row, cell.first.col}, std::move(comment));
    }
    comments_ = std::move(moved);
}

int comment_store_t::last_row__() const {
    return table_ ? last_row_of(*table_) : get_sheet_limits().last_row;
}

int comment_store_t::last_col__() const {
    return table_ ? last_col_of(*table_) : get_sheet_limits().last_col;
}

} // namespace vex::mta::utils::cell_comment
