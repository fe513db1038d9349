#include "mta/table/utils/cell_comment/comment_store.h"

#include "mta/table/utils/band_shift.h"
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

template <class F>
void comment_store_t::reposition__(F&& move) {
    std::map<key_t, comment_t> moved;
    for (auto& [key, comment] : comments_) {
        int row = key.first, col = key.second;
        if (move(row, col)) moved.emplace(key_t{row, col}, std::move(comment));
    }
    comments_ = std::move(moved);
}

void comment_store_t::insert_rows(int first_col, int last_col, int row, int count) {
    const int last = get_sheet_limits().last_row;
    reposition__([&](int& r, int& c) {
        int hi = r;
        return !inside_band(c, c, first_col, last_col) || span_after_insert(r, hi, row, count, last);
    });
}

void comment_store_t::delete_rows(int first_col, int last_col, int first_row, int last_row) {
    reposition__([&](int& r, int& c) {
        int hi = r;
        return !inside_band(c, c, first_col, last_col) || span_after_delete(r, hi, first_row, last_row);
    });
}

void comment_store_t::insert_cols(int first_row, int last_row, int col, int count) {
    const int last = get_sheet_limits().last_col;
    reposition__([&](int& r, int& c) {
        int hi = c;
        return !inside_band(r, r, first_row, last_row) || span_after_insert(c, hi, col, count, last);
    });
}

void comment_store_t::delete_cols(int first_row, int last_row, int first_col, int last_col) {
    reposition__([&](int& r, int& c) {
        int hi = c;
        return !inside_band(r, r, first_row, last_row) || span_after_delete(c, hi, first_col, last_col);
    });
}

} // namespace vex::mta::utils::cell_comment
