#include "mta/table/utils/cell_comment/comment_store.h"

#include "mta/table/utils/band_shift.h"
#include "mta/table/utils/range_check.h"
#include "sheet_limits.h"


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
    comments_.insert_or_assign(key_t{row, col}, comment_t{std::move(text), id});
    return true;
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
        if (s.follow(cell)) moved.emplace(key_t{cell.first.row, cell.first.col}, std::move(comment));
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
