#include "mta/formula/token.h"

#include "what_of.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

using namespace vex::mta::formula;
using vex::coord_t;
using vex::range_t;

TEST(token, each_operand_kind_sets_its_opcode_and_alternative) {
    const coord_t a1{1, 1, 1, 1, 0, 0}, b2{1, 2, 2, 1, 1, 1};
    const struct {
        token_t token;
        int32_t opcode;
        size_t index;
    } cases[] = {
        {token_t(2.5), 700, 0},
        {token_t(true), 702, 1},
        {token_t("text"), 701, 2},  // not the bool constructor
        {token_t(vex::datetime_t{5, 7, 0}), 703, 3},
        {token_t(a1), 704, 4},
        {token_t(range_t{a1, b2}), 705, 5},
        {token_t(range_set_t{{a1, b2}}), 706, 6},
        {token_t(named_expression_t{"Total", 3}), 708, 7},
        {token_t(structured_reference_t{"", "Amount", "", 4}), 707, 8},
        {token_t(420u), 1000, 9},
        {token_t(matrix_t(2, 3)), 1001, 10},
        {token_t(formula_error(5)), -1, 11},
        {token_t(op_add), 300, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.token.opcode, c.opcode);
        EXPECT_EQ(c.token.operand.index(), c.index) << c.opcode;
        for (const auto& name : c.token.names) EXPECT_EQ(name, nullptr);
    }
    EXPECT_EQ(std::get<double>(cases[12].token.operand), 0.0);
    // The word of a date-time operand is always -1.
    const auto& dt = std::get<vex::datetime_t>(cases[3].token.operand);
    EXPECT_EQ(std::tuple(dt.ticks, dt.word, dt.flag), std::tuple(int64_t(5), -1, uint8_t(0)));
}

TEST(token, opcode_only_constructor_refuses_opcodes_that_need_an_operand) {
    for (int32_t opcode : {-1, 700, 701, 702, 703, 704, 705, 706, 707, 1000, 1001}) {
        EXPECT_EQ(what_of<std::invalid_argument>([&] { token_t{opcode}; }),
                  "This opcode cannot be instantiated by this constructor")
            << opcode;
    }
    // Everything else is accepted, numbers that are no opcode included.
    for (int32_t opcode : {0, 100, 200, 404, 708, 999, 1002, -2}) EXPECT_EQ(token_t{opcode}.opcode, opcode);
}

TEST(token, moving_hands_over_the_names_and_copying_duplicates_them) {
    token_t source(coord_t{0, 3, 4, 1, 1, 1});
    source.names[0] = std::make_unique<std::string>("C:\\dir\\[Book1]");
    source.names[2] = std::make_unique<std::string>("Sheet1");

    token_t copy(1.0);
    copy = source;
    EXPECT_NE(copy.names[0].get(), source.names[0].get());
    EXPECT_EQ(std::tuple(copy.opcode, *copy.names[2], copy.names[1].get()), std::tuple(704, "Sheet1", nullptr));

    const token_t moved = std::move(source);
    EXPECT_EQ(*moved.names[0], "C:\\dir\\[Book1]");
    EXPECT_EQ(source.opcode, 704);  // NOLINT: the moved-from token keeps its opcode
    for (const auto& name : source.names) EXPECT_EQ(name, nullptr);  // NOLINT
}

// Under AddressSanitizer a view into the freed buffer would be reported.
TEST(token, text_and_names_outlive_the_text_they_were_made_from) {
    auto buffer = std::make_unique<std::string>("\"a string long enough to live on the heap\"");
    const std::string_view quoted(*buffer);
    const token_t text(quoted.substr(1, quoted.size() - 2));
    const token_t name(named_expression_t{std::string(quoted.substr(3, 6))});
    buffer.reset();
    EXPECT_EQ(std::get<std::string>(text.operand), "a string long enough to live on the heap");
    EXPECT_EQ(std::get<named_expression_t>(name.operand).name, "string");
}

TEST(operand, ranges_and_errors_overwrite_their_own_kind_and_replace_others) {
    const coord_t a1{2, 1, 1, 1, 0, 0}, c3{2, 3, 3, 1, 1, 0};
    operand_t value(range_t{c3, c3});
    value.assign_range(a1, c3);
    EXPECT_EQ(std::get<range_t>(value), (range_t{a1, c3}));

    value = formula_error(4);
    EXPECT_EQ(std::get<formula_error>(value).message(), "Invalid reference");
    value = formula_error(2, "custom");
    EXPECT_EQ(std::get<formula_error>(value), formula_error(2, "custom"));

    value.assign_range(c3, a1);
    EXPECT_EQ(std::get<range_t>(value), (range_t{c3, a1}));
}
