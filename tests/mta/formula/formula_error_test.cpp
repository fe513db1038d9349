#include "mta/formula/formula_error.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

using vex::mta::error_value_enum;
using vex::mta::formula::formula_error;

TEST(formula_error, codes_give_their_default_text_and_error_value) {
    struct case_t {
        uint32_t code;
        const char* message;
        int32_t error_value;
    };
    const case_t cases[] = {
        {0, "", 3},                 {1, "Range disjoint", 0}, {2, "Divided by zero", 1},
        {3, "Incompatible type", 2}, {4, "Invalid reference", 3}, {5, "Undefined name", 4},
        {6, "Outside domain", 5},    {7, "Invalid range", 6},  {8, "Invalid value", 7},
        {9, "Spill error", 8},       {10, "", 3},              {0xFFFFFFFF, "", 3},
    };
    for (const auto& c : cases) {
        const formula_error e(c.code);
        EXPECT_EQ(e.code(), c.code);
        EXPECT_EQ(e.message(), c.message) << c.code;
        EXPECT_STREQ(e.what(), c.message) << c.code;
        EXPECT_EQ(static_cast<int32_t>(e.to_error_value()), c.error_value) << c.code;
    }
}

TEST(formula_error, error_values_map_to_the_next_code) {
    EXPECT_EQ(formula_error(error_value_enum::null).code(), 1u);
    const formula_error spill(error_value_enum::spill);
    EXPECT_EQ(spill.code(), 9u);
    EXPECT_EQ(spill.message(), "Spill error");
    EXPECT_EQ(spill.to_error_value(), error_value_enum::spill);
    // Values outside the nine have no code.
    for (int32_t v : {9, -1}) {
        const formula_error e{static_cast<error_value_enum>(v)};
        EXPECT_EQ(e.code(), 0u);
        EXPECT_EQ(e.message(), "");
        EXPECT_EQ(e.to_error_value(), error_value_enum::ref);
    }
}

TEST(formula_error, given_text_wins_and_copies_keep_it) {
    formula_error copy(1);
    copy = formula_error(4, "undefined name");
    EXPECT_EQ(copy, formula_error(4, "undefined name"));
    EXPECT_STREQ(copy.what(), "undefined name");
    EXPECT_EQ(formula_error(2, std::string()).message(), "Divided by zero");
}

// Run under ThreadSanitizer: reading a message must not write to the error.
TEST(formula_error, message_is_read_from_two_threads) {
    const formula_error e(7);
    std::string seen[2];
    std::thread a([&] { seen[0] = e.message(); });
    std::thread b([&] { seen[1] = e.what(); });
    a.join();
    b.join();
    EXPECT_EQ(seen[0], "Invalid range");
    EXPECT_EQ(seen[1], "Invalid range");
}
