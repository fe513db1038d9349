#include "mta/table/cell/column_store.h"

#include <algorithm>

namespace vex::mta {

column_store_t::column_store_t(size_t rows) : runs_(rows), size_(rows) {
    reset_hint__();
}

size_t column_store_t::block_size() const noexcept {
    size_t n = 0;
    for (size_t i = 0; i < runs_.size(); ++i) n += runs_[i].cells.block_size();
    return n;
}

column_store_t::const_position_type column_store_t::position(size_t pos) const {
    const size_t i = run_of__(checked__(pos));
    const auto [it, offset] = runs_[i].cells.position(pos - runs_[i].base);
    return {const_iterator(this, i, it), offset};
}

mdds::mtv::element_t column_store_t::get_type(size_t pos) const {
    const run_t& r = runs_[run_of__(checked__(pos))];
    return r.cells.get_type(pos - r.base);
}

bool column_store_t::all_empty() const noexcept {
    for (size_t i = 0; i < runs_.size(); ++i) {
        const cell_run_store_t& cells = runs_[i].cells;
        if (cells.block_size() > 1 || (cells.block_size() == 1 && cells.begin()->type != mdds::mtv::element_type_empty))
            return false;
    }
    return true;
}

size_t column_store_t::valued_end() const {
    for (size_t i = runs_.size(); i-- > 0;)
        for (auto it = runs_[i].cells.rbegin(); it != runs_[i].cells.rend(); ++it)
            if (it->type != mdds::mtv::element_type_empty) return runs_[i].base + it->position + it->size;
    return 0;
}

mdds::mtv::element_t column_store_t::type_near_last_store(size_t pos) {
    const size_t i = run_near_hint__(checked__(pos));
    run_t& r = runs_[i];
    return i == hint_run_ ? r.cells.position(hint_, pos - r.base).first->type : r.cells.get_type(pos - r.base);
}

void column_store_t::set_empty(size_t p1, size_t p2) {
    if (p1 > p2) return;
    checked__(p2);
    const size_t first = run_of__(p1), last = run_of__(p2);
    for (size_t i = first; i <= last; ++i) {
        run_t& r = runs_[i];
        const size_t a = std::max(p1, r.base), b = std::min(p2, r.base + r.cells.size() - 1);
        // The hint is built in place, as in set().
        new (&hint_) cell_run_store_t::iterator(r.cells.set_empty(a - r.base, b - r.base));
        hint_run_ = i;
    }
    settle__(first, last);
}

void column_store_t::insert_empty(size_t pos, size_t n) {
    if (n == 0) return;
    if (pos > size_) throw std::out_of_range("The position is outside the column.");
    const size_t i = pos == size_ ? runs_.size() - 1 : run_of__(pos);
    run_t& r = runs_[i];
    if (pos == size_) r.cells.resize(r.cells.size() + n);
    else r.cells.insert_empty(pos - r.base, n);
    size_ += n;
    rebase__(i + 1);
    for (size_t k = i; runs_[k].cells.block_size() > max_run_blocks; ++k) split__(k);
    reset_hint__();
}

void column_store_t::erase(size_t p1, size_t p2) {
    if (p1 > p2) std::swap(p1, p2);
    checked__(p2);
    const size_t first = run_of__(p1), last = run_of__(p2);
    for (size_t i = last + 1; i-- > first;) {
        run_t& r = runs_[i];
        const size_t a = std::max(p1, r.base), b = std::min(p2, r.base + r.cells.size() - 1);
        if (a == r.base && b + 1 == r.base + r.cells.size() && runs_.size() > 1) runs_.erase(i);
        else r.cells.erase(a - r.base, b - r.base);
    }
    size_ -= p2 - p1 + 1;
    rebase__(first);
    const size_t at = std::min(first, runs_.size() - 1);
    settle__(at > 0 ? at - 1 : at, at);
    reset_hint__();
}

void column_store_t::resize(size_t n) {
    if (n == size_) return;
    if (n < size_)
        while (runs_.size() > 1 && runs_.back().base >= n) runs_.pop_back();
    run_t& last = runs_.back();
    last.cells.resize(n - last.base);
    size_ = n;
    settle__(runs_.size() - 1, runs_.size() - 1);
    reset_hint__();
}

void column_store_t::transfer(size_t p1, size_t p2, column_store_t& dest, size_t dest_pos) {
    if (p1 > p2) std::swap(p1, p2);
    checked__(p2);
    if (dest_pos + (p2 - p1) >= dest.size_)
        throw std::out_of_range("Destination vector is too small for the elements being transferred.");
    const size_t first = run_of__(p1), last = run_of__(p2);
    const size_t dest_first = dest.run_of__(dest_pos);
    size_t dest_last = dest_first;
    for (size_t at = p1; at <= p2;) {
        run_t& r = runs_[run_of__(at)];
        const size_t to = dest_pos + (at - p1);
        dest_last = dest.run_of__(to);
        run_t& d = dest.runs_[dest_last];
        const size_t n = std::min(std::min(p2, r.base + r.cells.size() - 1) - at, d.base + d.cells.size() - 1 - to) + 1;
        r.cells.transfer(at - r.base, at - r.base + n - 1, d.cells, to - d.base);
        at += n;
    }
    for (size_t k = dest_last + 1; k-- > dest_first;)
        for (size_t j = k; dest.runs_[j].cells.block_size() > max_run_blocks; ++j) dest.split__(j);
    dest.reset_hint__();
    settle__(first, last);
}

size_t column_store_t::run_of__(size_t pos) const {
    // The last run starting at or before pos.
    size_t lo = 0, hi = runs_.size();
    while (hi - lo > 1) {
        const size_t mid = lo + (hi - lo) / 2;
        (runs_[mid].base <= pos ? lo : hi) = mid;
    }
    return lo;
}

void column_store_t::reset_hint__() {
    hint_run_ = 0;
    hint_ = runs_[0].cells.begin();
}

void column_store_t::rebase__(size_t from) {
    if (from == 0) runs_[0].base = 0;
    for (size_t i = std::max<size_t>(from, 1); i < runs_.size(); ++i)
        runs_[i].base = runs_[i - 1].base + runs_[i - 1].cells.size();
}

void column_store_t::split__(size_t i) {
    run_t& r = runs_[i];
    auto it = r.cells.begin();
    std::advance(it, std::ptrdiff_t(max_run_blocks / 2));
    split__(i, it->position);
}

void column_store_t::split__(size_t i, size_t at) {
    run_t& r = runs_[i];
    // The new run is in place before any cell moves: a failed allocation
    // leaves every cell where it was.
    runs_.insert(i + 1, std::make_unique<run_t>(run_t{r.base + at, cell_run_store_t(r.cells.size() - at)}));
    // A transfer hands formula cells over without deleting them.
    r.cells.transfer(at, r.cells.size() - 1, runs_[i + 1].cells, 0);
    r.cells.resize(at);
    reset_hint__();
}

void column_store_t::join__(size_t i) {
    run_t& r = runs_[i];
    run_t& next = runs_[i + 1];
    const size_t at = r.cells.size(), n = next.cells.size();
    r.cells.resize(at + n);
    if (n > 0) next.cells.transfer(0, n - 1, r.cells, at);
    runs_.erase(i + 1);
}

void column_store_t::settle__(size_t first, size_t last) {
    const size_t runs = runs_.size();
    last = std::min(last, runs - 1);
    for (size_t i = last + 1; i-- > first && runs_.size() > 1;) {
        if (i >= runs_.size()) continue;
        if (runs_[i].cells.size() == 0) {
            runs_.erase(i);
            continue;
        }
        const size_t blocks = runs_[i].cells.block_size();
        if (i + 1 < runs_.size() && blocks + runs_[i + 1].cells.block_size() <= max_run_blocks / 4) join__(i);
        else if (i > 0 && runs_[i - 1].cells.block_size() + blocks <= max_run_blocks / 4) join__(i - 1);
    }
    if (runs_.size() != runs) reset_hint__();
}

} // namespace vex::mta
