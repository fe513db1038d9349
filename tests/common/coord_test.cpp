#include "coord.h"

#include <gtest/gtest.h>

#include <unordered_set>

TEST(range_hash, over_the_six_numbers_in_little_endian_bytes) {
    const vex::range_t r{{1, 2, 3, 0, 0, 0}, {1, 4, 5, 0, 0, 0}};
    EXPECT_EQ(r.hash(), 0xbcab80a0b0590532ull);
    const vex::range_t negative{{0, -1, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}};
    EXPECT_EQ(negative.hash(), 0x634b35e526285cf1ull);
}

TEST(range_hash, ignores_flag_bytes_but_not_positions) {
    const vex::range_t plain{{1, 2, 3, 0, 0, 0}, {1, 4, 5, 0, 0, 0}};
    vex::range_t flagged = plain;
    flagged.first.flag0 = 1;
    flagged.first.flag1 = 7;
    flagged.last.flag2 = 255;
    EXPECT_EQ(std::hash<vex::range_t>{}(flagged), std::hash<vex::range_t>{}(plain));

    // Every one of the six numbers takes part, and their order matters.
    std::unordered_set<size_t> seen{plain.hash()};
    for (int field = 0; field < 6; ++field) {
        vex::range_t r = plain;
        int32_t* values[6] = {&r.first.grid_id, &r.first.row, &r.first.col, &r.last.grid_id, &r.last.row, &r.last.col};
        ++*values[field];
        EXPECT_TRUE(seen.insert(r.hash()).second) << "field " << field;
    }
    const vex::range_t swapped{{1, 3, 2, 0, 0, 0}, {1, 4, 5, 0, 0, 0}};
    EXPECT_NE(swapped.hash(), plain.hash());
}
