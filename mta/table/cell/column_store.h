#pragma once
// The values of one column: position r - 1 holds the cell of row r.
//
// mdds keeps a store's blocks in flat arrays, so emptying one cell near the top
// of a column of many blocks moves every block after it. The column is kept as
// runs of rows instead, each its own mdds store of a bounded number of blocks:
// such an edit moves the blocks of its run only. A column of few blocks is one
// run and behaves as a plain store.

#include "mta/table/cell/cell_blocks.h"

#include <cstddef>
#include <iterator>
#include <memory>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <utility>
#include <vector>

namespace vex::mta {

class column_store_t {
    struct run_t {
        size_t base;  // the column position of the run's first row
        cell_run_store_t cells;
    };

    // The runs in row order. The first is held in place: most columns are one
    // run, and a sheet may hold thousands of columns.
    class run_list_t {
    public:
        explicit run_list_t(size_t rows) : first_{0, cell_run_store_t(rows)} {}
        size_t size() const noexcept { return more_.size() + 1; }
        run_t& operator[](size_t i) noexcept { return i == 0 ? first_ : *more_[i - 1]; }
        const run_t& operator[](size_t i) const noexcept { return i == 0 ? first_ : *more_[i - 1]; }
        run_t& back() noexcept { return (*this)[size() - 1]; }
        const run_t& back() const noexcept { return (*this)[size() - 1]; }
        // Places a new run at i, i > 0.
        void insert(size_t i, std::unique_ptr<run_t> run) {
            more_.insert(more_.begin() + std::ptrdiff_t(i) - 1, std::move(run));
        }
        void erase(size_t i) {
            if (i == 0) {
                first_.base = more_.front()->base;
                first_.cells.swap(more_.front()->cells);
                i = 1;
            }
            more_.erase(more_.begin() + std::ptrdiff_t(i) - 1);
        }
        void pop_back() { more_.pop_back(); }

    private:
        run_t first_;
        std::vector<std::unique_ptr<run_t>> more_;
    };

public:
    using size_type = size_t;

    // A block as the column sees it: its position counts from the column's top.
    struct block_t {
        mdds::mtv::element_t type = mdds::mtv::element_type_empty;
        size_t position = 0;
        size_t size = 0;
        mdds::mtv::base_element_block* data = nullptr;
    };

    // Walks the blocks top down, run after run. Two blocks met in a row may
    // have the same type when a run ends between them.
    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = block_t;
        using difference_type = std::ptrdiff_t;
        using pointer = const block_t*;
        using reference = const block_t&;

        const_iterator() = default;
        reference operator*() const noexcept { return node_; }
        pointer operator->() const noexcept { return &node_; }
        const_iterator& operator++() {
            ++it_;
            settle__();
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator old = *this;
            ++*this;
            return old;
        }
        bool operator==(const const_iterator& o) const noexcept {
            return run_ == o.run_ && (store_ == nullptr || run_ >= store_->runs_.size() || it_ == o.it_);
        }

    private:
        friend class column_store_t;
        const_iterator(const column_store_t* store, size_t run, cell_run_store_t::const_iterator it)
            : store_(store), run_(run), it_(it) {
            settle__();
        }
        // Steps over the ends of runs and fills the node. The end of a run is
        // told by the block index mdds keeps in the node: building the run's
        // end iterator to compare with costs more than the step.
        void settle__() {
            const auto& runs = store_->runs_;
            while (run_ < runs.size() && it_->__private_data.block_index >= runs[run_].cells.block_size())
                if (++run_ < runs.size()) it_ = runs[run_].cells.begin();
            if (run_ < runs.size()) node_ = {it_->type, runs[run_].base + it_->position, it_->size, it_->data};
        }

        const column_store_t* store_ = nullptr;
        size_t run_ = 0;
        cell_run_store_t::const_iterator it_;
        block_t node_;
    };
    using const_position_type = std::pair<const_iterator, size_t>;

    explicit column_store_t(size_t rows);
    column_store_t(const column_store_t&) = delete;
    column_store_t& operator=(const column_store_t&) = delete;

    size_t size() const noexcept { return size_; }
    size_t block_size() const noexcept;
    const_iterator begin() const { return {this, 0, runs_[0].cells.begin()}; }
    const_iterator end() const { return {this, runs_.size(), {}}; }
    // The block holding the position and the offset in it.
    const_position_type position(size_t pos) const;
    // What one position holds: its block's type and data, and the offset in
    // it. Cheaper than position() for a single read: no walk is set up.
    struct cell_ref_t {
        mdds::mtv::element_t type;
        const mdds::mtv::base_element_block* data;
        size_t offset;
    };
    cell_ref_t cell_at(size_t pos) const {
        const run_t& r = runs_[run_of__(checked__(pos))];
        const auto found = r.cells.position(pos - r.base);
        return {found.first->type, found.first->data, found.second};
    }
    mdds::mtv::element_t get_type(size_t pos) const;
    bool is_empty(size_t pos) const { return get_type(pos) == mdds::mtv::element_type_empty; }
    template <class T>
    T get(size_t pos) const {
        const run_t& r = runs_[run_of__(checked__(pos))];
        return r.cells.template get<T>(pos - r.base);
    }
    template <class Block>
    static typename Block::value_type get(const const_position_type& pos) {
        return Block::at(*pos.first->data, pos.second);
    }
    // Whether no position holds a value.
    bool all_empty() const noexcept;
    // One past the last position holding a value; 0 when none does.
    size_t valued_end() const;

    // The type at the position, found from where the last store was.
    mdds::mtv::element_t type_near_last_store(size_t pos);
    // Stores one value of a block type; a formula cell passes to the column.
    template <class T>
    void set(size_t pos, const T& value) {
        const size_t i = run_near_hint__(checked__(pos));
        run_t& r = runs_[i];
        // The new hint is built in place: assigned from a returned temporary it
        // is copied wider than it was written, which stalls every store.
        static_assert(std::is_trivially_destructible_v<cell_run_store_t::iterator>);
        const cell_run_store_t::iterator hint = i == hint_run_ ? hint_ : r.cells.begin();
        new (&hint_) cell_run_store_t::iterator(r.cells.set(hint, pos - r.base, value));
        hint_run_ = i;
        if (r.cells.block_size() > max_run_blocks) {
            // A column filled top down grows at its last valued block, before
            // the empty rest: the new run starts there, and nothing stored moves.
            if (hint_->__private_data.block_index + 2 >= r.cells.block_size()) split__(i, hint_->position);
            else split__(i);
        }
    }
    void set_empty(size_t p1, size_t p2);
    // Hands over the value at the position, leaving it empty.
    template <class T>
    T release(size_t pos) {
        const size_t i = run_of__(checked__(pos));
        T value = runs_[i].cells.template release<T>(pos - runs_[i].base);
        settle__(i, i);
        return value;
    }
    // Opens n empty positions at pos; the column grows by n.
    void insert_empty(size_t pos, size_t n);
    // Removes the positions; the column shrinks.
    void erase(size_t p1, size_t p2);
    // Grows with empty positions at the end, or drops the last ones.
    void resize(size_t n);
    // Moves the values of [p1, p2] to dest from dest_pos on, leaving them
    // empty here; what dest held there is overwritten.
    void transfer(size_t p1, size_t p2, column_store_t& dest, size_t dest_pos);

private:
    // Past this a run is cut in two; a run emptied this far joins a neighbour.
    static constexpr size_t max_run_blocks = 256;

    size_t checked__(size_t pos) const {
        if (pos >= size_) throw std::out_of_range("The position is outside the column.");
        return pos;
    }
    size_t run_of__(size_t pos) const;
    size_t run_near_hint__(size_t pos) const {
        const run_t& h = runs_[hint_run_];
        return pos >= h.base && pos - h.base < h.cells.size() ? hint_run_ : run_of__(pos);
    }
    void reset_hint__();
    void rebase__(size_t from);
    // Cuts run i in two at a block of its middle, or at the position given.
    void split__(size_t i);
    void split__(size_t i, size_t at);
    void join__(size_t i);
    // After runs first..last lost blocks or rows: empty runs go, small ones join.
    void settle__(size_t first, size_t last);

    run_list_t runs_;
    size_t size_ = 0;
    size_t hint_run_ = 0;
    cell_run_store_t::iterator hint_;
};

} // namespace vex::mta
