#include "pool/memory_pool.h"

#include "errors.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace vex {

namespace {

constexpr uint64_t max_units = 0xFFFFFFFFull;

// The first unit of a free run: its length and the unit index of the next free
// run of the block (0: none; the next run always lies further on).
struct free_record {
    uint32_t length;
    uint32_t next;
};

struct block_t {
    uint64_t capacity;
    uint64_t used;
    uint64_t longest_length;
    unsigned char* first_free;
    unsigned char* longest;
    unsigned char* side[2];
    block_t* next;

    unsigned char* units() noexcept { return reinterpret_cast<unsigned char*>(this + 1); }
};

static_assert(sizeof(block_t) % 8 == 0, "units must stay 8-aligned after the header");

} // namespace

class memory_pool::impl {
public:
    impl(uint64_t unit, bool side_arrays)
        : side_arrays_(side_arrays), unit_(unit <= 8 ? 8 : (unit + 7) / 8 * 8) {}

    ~impl() {
        while (first_) {
            block_t* next = first_->next;
            free_block(first_);
            first_ = next;
        }
    }

    void* alloc(uint64_t n) {
        if (n > max_units) throw general_error("error: Out of the maximum quantity that can be allocated at a time.");
        if (n == 0) return nullptr;
        block_t* last = nullptr;
        for (block_t* b = first_; b; b = b->next) {
            if (b->longest_length >= n) return serve(b, n);
            last = b;
        }
        uint64_t capacity = last ? last->capacity + last->capacity / 2 : 2;
        capacity = std::min(std::max(capacity, n), max_units);
        block_t* b = make_block(capacity);
        (last ? last->next : first_) = b;
        return serve(b, n);
    }

    void release(void* pointer, uint64_t n) {
        if (n == 0 || !pointer) return;
        auto* p = static_cast<unsigned char*>(pointer);
        block_t* prev_block = nullptr;
        block_t* b = first_;
        for (; b; prev_block = b, b = b->next)
            if (p >= b->units() && p < b->units() + b->capacity * unit_) break;
        if (!b || (p - b->units()) % unit_ != 0) return;
        if (!if_in_free(b, p, n)) return;
        if (n == b->used) {
            (prev_block ? prev_block->next : first_) = b->next;
            free_block(b);
            return;
        }
        add_free_run(b, p, n);
        b->used -= n;
    }

    uint64_t unit_size() const noexcept { return unit_; }

    std::vector<uint64_t> capacities() const {
        std::vector<uint64_t> out;
        for (const block_t* b = first_; b; b = b->next) out.push_back(b->capacity);
        return out;
    }

private:
    free_record record(const unsigned char* run) const noexcept {
        free_record r;
        std::memcpy(&r, run, sizeof r);
        return r;
    }
    void set_record(unsigned char* run, uint64_t length, unsigned char* next, block_t* b) const noexcept {
        const free_record r{static_cast<uint32_t>(length), next ? index_of(b, next) : 0u};
        std::memcpy(run, &r, sizeof r);
    }
    uint32_t index_of(block_t* b, const unsigned char* unit) const noexcept {
        return static_cast<uint32_t>((unit - b->units()) / static_cast<std::ptrdiff_t>(unit_));
    }
    unsigned char* next_of(block_t* b, const unsigned char* run) const noexcept {
        const uint32_t next = record(run).next;
        return next ? b->units() + uint64_t{next} * unit_ : nullptr;
    }
    void set_next(block_t* b, unsigned char* run, unsigned char* next) const noexcept {
        set_record(run, record(run).length, next, b);
    }

    block_t* make_block(uint64_t capacity) {
        const uint64_t bytes = capacity * unit_;
        void* memory = ::operator new(sizeof(block_t) + bytes);
        auto* b = new (memory) block_t{capacity, 0, capacity, nullptr, nullptr, {nullptr, nullptr}, nullptr};
        b->first_free = b->longest = b->units();
        set_record(b->first_free, capacity, nullptr, b);
        if (side_arrays_) {
            try {
                b->side[0] = new unsigned char[bytes]();
                b->side[1] = new unsigned char[bytes]();
            } catch (...) {
                free_block(b);
                throw;
            }
        }
        return b;
    }

    static void free_block(block_t* b) noexcept {
        delete[] b->side[0];
        delete[] b->side[1];
        b->~block_t();
        ::operator delete(b);
    }

    // First fit over the block's free runs, which hold a run of n at least.
    void* serve(block_t* b, uint64_t n) {
        unsigned char* prev = nullptr;
        unsigned char* run = b->first_free;
        while (record(run).length < n) {
            prev = run;
            run = next_of(b, run);
        }
        const uint64_t length = record(run).length;
        unsigned char* next = next_of(b, run);
        unsigned char* replacement = next;
        if (length > n) {
            replacement = run + n * unit_;
            set_record(replacement, length - n, next, b);
        }
        if (prev)
            set_next(b, prev, replacement);
        else
            b->first_free = replacement;
        if (run == b->longest) find_longest(b);
        b->used += n;
        return run;
    }

    void find_longest(block_t* b) const noexcept {
        b->longest = nullptr;
        b->longest_length = 0;
        for (unsigned char* r = b->first_free; r; r = next_of(b, r)) {
            if (record(r).length > b->longest_length) {
                b->longest_length = record(r).length;
                b->longest = r;
            }
        }
    }

    // False when [p, p + n) lies wholly in a free run; throws when it is partly free
    // or passes the end of the block.
    bool if_in_free(block_t* b, const unsigned char* p, uint64_t n) const {
        const auto start = static_cast<uint64_t>(p - b->units()) / unit_;
        if (n > b->capacity - start)
            throw general_error("error: There are unallocated units in the released units.");
        const uint64_t end = start + n;
        for (unsigned char* r = b->first_free; r; r = next_of(b, r)) {
            const uint64_t rs = index_of(b, r), re = rs + record(r).length;
            if (start >= rs && end <= re) return false;
            if (start < re && rs < end)
                throw general_error("error: There are unallocated units in the released units.");
        }
        return true;
    }

    void add_free_run(block_t* b, unsigned char* p, uint64_t n) const noexcept {
        const auto end_of = [&](const unsigned char* r) { return r + uint64_t{record(r).length} * unit_; };
        unsigned char* first = b->first_free;
        if (!first) {
            set_record(p, n, nullptr, b);
            b->first_free = b->longest = p;
            b->longest_length = n;
            return;
        }
        if (p < first) {
            if (p + n * unit_ == first) {
                set_record(p, n + record(first).length, next_of(b, first), b);
                if (b->longest == first) b->longest = p;
                if (record(p).length > b->longest_length) {
                    b->longest = p;
                    b->longest_length = record(p).length;
                }
            } else {
                set_record(p, n, first, b);
                if (n >= b->longest_length) {
                    b->longest = p;
                    b->longest_length = n;
                }
            }
            b->first_free = p;
            return;
        }
        unsigned char* before = first;
        for (unsigned char* r = next_of(b, first); r && r < p; r = next_of(b, r)) before = r;
        unsigned char* run = before;
        if (end_of(before) == p) {
            set_record(before, record(before).length + n, next_of(b, before), b);
        } else {
            set_record(p, n, next_of(b, before), b);
            set_next(b, before, p);
            run = p;
        }
        unsigned char* next = next_of(b, run);
        if (next && end_of(run) == next) {
            if (b->longest == next) b->longest = run;
            set_record(run, record(run).length + record(next).length, next_of(b, next), b);
        }
        if (record(run).length > b->longest_length || b->longest == run) {
            b->longest = run;
            b->longest_length = record(run).length;
        }
    }

    bool side_arrays_;
    uint64_t unit_;
    block_t* first_ = nullptr;
};

memory_pool::memory_pool(uint64_t unit_size, bool side_arrays) : impl_(new impl(unit_size, side_arrays)) {}

memory_pool::~memory_pool() {
    delete impl_;
}

void* memory_pool::alloc(uint64_t n) {
    return impl_->alloc(n);
}

void memory_pool::release(void* p, uint64_t n) {
    impl_->release(p, n);
}

uint64_t memory_pool::unit_size() const noexcept {
    return impl_->unit_size();
}

std::vector<uint64_t> memory_pool::block_capacities() const {
    return impl_->capacities();
}

} // namespace vex
