#pragma once
// A vector that keeps its free room where it was last changed. Hosts edit rows
// in loops, first to last or back: each edit then moves the few entries between
// it and the last one, not every entry after it.

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <vector>

namespace vex::mta {

template <class T>
class gap_vector {
public:
    class const_iterator {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using pointer = const T*;
        using reference = const T&;

        const_iterator() = default;
        const_iterator(const gap_vector* v, size_t i) : v_(v), i_(i) {}
        reference operator*() const { return (*v_)[i_]; }
        pointer operator->() const { return &(*v_)[i_]; }
        reference operator[](difference_type n) const { return (*v_)[size_t(difference_type(i_) + n)]; }
        const_iterator& operator++() { return ++i_, *this; }
        const_iterator operator++(int) { const auto old = *this; ++i_; return old; }
        const_iterator& operator--() { return --i_, *this; }
        const_iterator operator--(int) { const auto old = *this; --i_; return old; }
        const_iterator& operator+=(difference_type n) { return i_ = size_t(difference_type(i_) + n), *this; }
        const_iterator& operator-=(difference_type n) { return *this += -n; }
        friend const_iterator operator+(const_iterator it, difference_type n) { return it += n; }
        friend const_iterator operator+(difference_type n, const_iterator it) { return it += n; }
        friend const_iterator operator-(const_iterator it, difference_type n) { return it -= n; }
        friend difference_type operator-(const const_iterator& a, const const_iterator& b) {
            return difference_type(a.i_) - difference_type(b.i_);
        }
        friend bool operator==(const const_iterator& a, const const_iterator& b) { return a.i_ == b.i_; }
        friend auto operator<=>(const const_iterator& a, const const_iterator& b) { return a.i_ <=> b.i_; }

    private:
        const gap_vector* v_ = nullptr;
        size_t i_ = 0;
    };

    size_t size() const noexcept { return buf_.size() - gap_len_; }
    bool empty() const noexcept { return size() == 0; }
    const T& operator[](size_t i) const noexcept { return buf_[slot__(i)]; }
    T& operator[](size_t i) noexcept { return buf_[slot__(i)]; }
    const T& front() const noexcept { return (*this)[0]; }
    const T& back() const noexcept { return (*this)[size() - 1]; }
    const_iterator begin() const noexcept { return {this, 0}; }
    const_iterator end() const noexcept { return {this, size()}; }

    void push_back(const T& value) { insert(size(), value); }

    void insert(size_t at, const T& value) {
        if (gap_len_ == 0) grow__(at);
        else move_gap__(at);
        buf_[gap_at_++] = value;
        --gap_len_;
    }

    // Removes [from, to).
    void erase(size_t from, size_t to) {
        if (from >= to) return;
        move_gap__(to);
        gap_len_ += to - from;
        gap_at_ = from;
    }

    // Keeps the first n.
    void truncate(size_t n) {
        if (n >= size()) return;
        move_gap__(size());
        buf_.resize(n);
        gap_at_ = n;
        gap_len_ = 0;
    }

    void assign(std::vector<T>&& values) {
        buf_ = std::move(values);
        gap_at_ = buf_.size();
        gap_len_ = 0;
    }

private:
    size_t slot__(size_t i) const noexcept { return i < gap_at_ ? i : i + gap_len_; }

    void move_gap__(size_t to) {
        if (to < gap_at_)
            std::move_backward(buf_.begin() + to, buf_.begin() + gap_at_, buf_.begin() + gap_at_ + gap_len_);
        else if (to > gap_at_)
            std::move(buf_.begin() + gap_at_ + gap_len_, buf_.begin() + to + gap_len_, buf_.begin() + gap_at_);
        gap_at_ = to;
    }

    // Room for as many again, opened at `at`.
    void grow__(size_t at) {
        const size_t n = size();
        const size_t room = std::max<size_t>(n, 2);
        std::vector<T> grown(n + room);
        std::move(buf_.begin(), buf_.begin() + at, grown.begin());
        std::move(buf_.begin() + at, buf_.end(), grown.begin() + at + room);
        buf_ = std::move(grown);
        gap_at_ = at;
        gap_len_ = room;
    }

    std::vector<T> buf_;
    size_t gap_at_ = 0;
    size_t gap_len_ = 0;
};

} // namespace vex::mta
