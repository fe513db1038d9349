#pragma once
// Fixed-size units handed out in runs from a chain of growing blocks, so that a
// store of many small nodes costs a few large allocations. Freed neighbours merge;
// a block goes back to the heap as soon as its last unit is released. Units are
// multiples of 8 bytes and 8-aligned, so any scalar fits without misalignment.
// Not thread-safe: the owner serialises every call.

#include <cstdint>
#include <vector>

namespace vex {

class memory_pool {
public:
    // side_arrays: every block also carries two zeroed arrays of its size.
    explicit memory_pool(uint64_t unit_size, bool side_arrays = false);
    ~memory_pool();
    memory_pool(const memory_pool&) = delete;
    memory_pool& operator=(const memory_pool&) = delete;

    // n consecutive units, or null for n = 0. More than 0xFFFFFFFF units throws
    // general_error.
    void* alloc(uint64_t n);
    // Gives back n units from p. A range outside every block, or wholly free
    // already, is ignored; one that is partly free throws general_error.
    void release(void* p, uint64_t n);

    uint64_t unit_size() const noexcept;
    // The capacity in units of each block, first to last.
    std::vector<uint64_t> block_capacities() const;

    class impl;

private:
    impl* impl_;
};

} // namespace vex
