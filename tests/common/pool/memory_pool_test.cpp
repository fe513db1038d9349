#include "pool/memory_pool.h"

#include "errors.h"
#include "what_of.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

using vex::memory_pool;

namespace {

bool aligned8(const void* p) { return reinterpret_cast<uintptr_t>(p) % 8 == 0; }

} // namespace

// Units hold 64-bit values, so sizes round up to a multiple of 8.
TEST(memory_pool, unit_sizes_are_multiples_of_eight) {
    const std::pair<uint64_t, uint64_t> cases[] = {{0, 8}, {1, 8}, {8, 8}, {9, 16}, {12, 16}, {56, 56}, {57, 64}};
    for (const auto& [asked, unit] : cases) EXPECT_EQ(memory_pool(asked).unit_size(), unit) << asked;
}

TEST(memory_pool, blocks_grow_by_half_again) {
    memory_pool pool(24);
    std::vector<void*> units;
    for (int i = 0; i < 2 + 3 + 4 + 6 + 9 + 13; ++i) units.push_back(pool.alloc(1));
    EXPECT_EQ(pool.block_capacities(), (std::vector<uint64_t>{2, 3, 4, 6, 9, 13}));
    for (void* p : units) {
        EXPECT_TRUE(aligned8(p));
        std::memset(p, 0xAB, 24);  // the whole unit is ours: ASan would catch an overrun
    }
    memory_pool big(8);
    EXPECT_NE(big.alloc(5), nullptr);
    EXPECT_EQ(big.block_capacities(), std::vector<uint64_t>{5});
}

TEST(memory_pool, every_unit_is_aligned_for_64_bit_values) {
    for (uint64_t size : {1u, 9u, 12u, 20u, 57u}) {
        memory_pool pool(size, true);
        for (int i = 0; i < 40; ++i) {
            auto* p = static_cast<int64_t*>(pool.alloc(1 + i % 3));
            ASSERT_TRUE(aligned8(p)) << size;
            *p = i;  // UBSan checks the alignment of this store
        }
    }
}

TEST(memory_pool, freed_units_are_reused_and_merged) {
    memory_pool pool(16);
    char* a = static_cast<char*>(pool.alloc(1));
    char* b = static_cast<char*>(pool.alloc(1));
    ASSERT_EQ(b, a + 16);  // both in the first block of 2
    char* c = static_cast<char*>(pool.alloc(3));  // a block of 3
    pool.release(a, 1);
    EXPECT_EQ(pool.alloc(1), a);
    // Freeing a and b lets a two-unit run fit where they were.
    pool.release(b, 1);
    pool.release(a, 1);
    EXPECT_EQ(pool.block_capacities(), std::vector<uint64_t>{3});  // the emptied block went back
    pool.release(c + 16, 1);
    pool.release(c + 32, 1);
    EXPECT_EQ(pool.alloc(2), c + 16);
}

TEST(memory_pool, releasing_the_first_block_keeps_the_rest_reachable) {
    memory_pool pool(8);
    void* first = pool.alloc(2);
    void* second = pool.alloc(1);
    pool.release(first, 2);
    EXPECT_EQ(pool.block_capacities(), std::vector<uint64_t>{3});
    pool.release(second, 1);
    EXPECT_TRUE(pool.block_capacities().empty());
    EXPECT_NE(pool.alloc(1), nullptr);
}

TEST(memory_pool, hostile_releases_and_requests) {
    memory_pool pool(8);
    EXPECT_EQ(pool.alloc(0), nullptr);
    EXPECT_EQ(what_of<general_error>([&] { pool.alloc(0x100000000ull); }),
              "general error: error: Out of the maximum quantity that can be allocated at a time.");
    char* a = static_cast<char*>(pool.alloc(1));
    char* b = static_cast<char*>(pool.alloc(1));
    pool.alloc(3);
    pool.release(a, 1);
    pool.release(a, 1);  // twice: wholly free, ignored
    EXPECT_EQ(what_of<general_error>([&] { pool.release(a, 2); }),
              "general error: error: There are unallocated units in the released units.");
    // Past the end of the block would reach the next allocation's header.
    EXPECT_EQ(what_of<general_error>([&] { pool.release(b, 2); }),
              "general error: error: There are unallocated units in the released units.");
    int outside = 0;
    pool.release(&outside, 1);  // not ours: ignored
    pool.release(nullptr, 1);
    EXPECT_EQ(pool.block_capacities(), (std::vector<uint64_t>{2, 3}));
    EXPECT_EQ(pool.alloc(1), a);
}

// A run freed just before a free run further on joins it, so a request of
// their joint length fits there.
TEST(memory_pool, a_freed_run_merges_with_the_free_run_after_it) {
    memory_pool pool(8);
    char* c = static_cast<char*>(pool.alloc(5));
    pool.release(c, 1);
    pool.release(c + 24, 2);  // units 3 and 4
    pool.release(c + 16, 1);  // unit 2: after the first free run, just before the second
    EXPECT_EQ(pool.alloc(3), c + 16);
    EXPECT_EQ(pool.block_capacities(), std::vector<uint64_t>{5});
}
