#pragma once
// A deque made with its first element. An empty std::deque already holds a
// block of half a kilobyte; a sheet keeps lists that mostly stay empty, and a
// book of thousands of sheets pays for each of them when it is built, when it
// is released and in the cache between.

#include <cstddef>
#include <deque>
#include <optional>

namespace vex::mta {

template <class T>
class lazy_deque {
public:
    using deque_type = std::deque<T>;

    const deque_type& get() const noexcept { return d_ ? *d_ : none__(); }
    // The deque, made when it is not yet: for every change.
    deque_type& made() {
        if (!d_) d_.emplace();
        return *d_;
    }
    // Erases the elements p holds true for; making nothing when there are none.
    template <class P>
    void erase_if(P p) {
        if (d_) std::erase_if(*d_, p);
    }
    size_t size() const noexcept { return d_ ? d_->size() : 0; }
    bool empty() const noexcept { return size() == 0; }

private:
    static const deque_type& none__() noexcept {
        // Never destroyed: lists may outlive the statics.
        static const deque_type* const none = new deque_type();
        return *none;
    }

    std::optional<deque_type> d_;
};

} // namespace vex::mta
