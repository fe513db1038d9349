#include "mta/formula/token.h"

#include "what_of.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <vector>

using namespace vex::mta::formula;
using vex::coord_t;
using vex::range_t;

TEST(token, each_operand_kind_sets_its_opcode_and_alternative) {
    const coord_t a1{1, 1, 1, 1, 0, 0}, b2{1, 2, 2, 1, 1, 1};
    const std::vector<std::pair<token_t, std::pair<int32_t, size_t>>> cases = [&] {
        std::vector<std::pair<token_t, std::pair<int32_t, size_t>>> v;
        v.emplace_back(token_t(2.5), std::pair(700, 0));
        v.emplace_back(token_t(true), std::pair(702, 1));
        v.emplace_back(token_t("text"), std::pair(701, 2));  // not the bool constructor
        v.emplace_back(token_t(vex::datetime_t{5, 7, 0}), std::pair(703, 3));
        v.emplace_back(token_t(a1), std::pair(704, 4));
        v.emplace_back(token_t(range_t{a1, b2}), std::pair(705, 5));
        v.emplace_back(token_t(range_set_t{{a1, b2}}), std::pair(706, 6));
        v.emplace_back(token_t(named_expression_t{"Total", 3}), std::pair(708, 7));
        v.emplace_back(token_t(structured_reference_t{"", "Amount", "", 4}), std::pair(707, 8));
        v.emplace_back(token_t(420u), std::pair(1000, 9));
        v.emplace_back(token_t(matrix_t(2, 3)), std::pair(1001, 10));
        v.emplace_back(token_t(formula_error(5)), std::pair(-1, 11));
        v.emplace_back(token_t(op_add), std::pair(300, 0));
        return v;
    }();
    for (const auto& [token, expected] : cases) {
        EXPECT_EQ(token.opcode, expected.first);
        EXPECT_EQ(token.operand.index(), expected.second) << token.opcode;
        for (const auto& name : token.names) EXPECT_EQ(name, nullptr);
    }
    EXPECT_EQ(std::get<double>(token_t(op_open_paren).operand), 0.0);
    // The word of a date-time operand is always -1.
    const auto& dt = std::get<vex::datetime_t>(cases[3].first.operand);
    EXPECT_EQ(std::tuple(dt.ticks, dt.word, dt.flag), std::tuple(int64_t(5), -1, uint8_t(0)));
}

TEST(token, opcode_only_constructor_refuses_opcodes_that_need_an_operand) {
    for (int32_t opcode : {-1, 700, 701, 702, 703, 704, 705, 706, 707, 1000, 1001}) {
        EXPECT_EQ(what_of<std::invalid_argument>([&] { token_t{opcode}; }),
                  "This opcode cannot be instantiated by this constructor")
            << opcode;
    }
    // Everything else is accepted, numbers that are no opcode included.
    for (int32_t opcode : {0, 100, 111, 200, 404, 708, 999, 1002, -2}) EXPECT_EQ(token_t{opcode}.opcode, opcode);
}

TEST(token, moving_hands_over_the_names_and_copying_duplicates_them) {
    token_t source(coord_t{0, 3, 4, 1, 1, 1});
    source.names[0] = std::make_unique<std::string>("C:\\dir\\[Book1]");
    source.names[2] = std::make_unique<std::string>("Sheet1");

    const token_t copy = source;
    ASSERT_NE(copy.names[0], nullptr);
    EXPECT_NE(copy.names[0].get(), source.names[0].get());
    EXPECT_EQ(*copy.names[2], "Sheet1");
    EXPECT_EQ(copy.names[1], nullptr);

    token_t moved = std::move(source);
    EXPECT_EQ(*moved.names[0], "C:\\dir\\[Book1]");
    EXPECT_EQ(source.opcode, 704);  // NOLINT: the moved-from token keeps its opcode
    for (const auto& name : source.names) EXPECT_EQ(name, nullptr);  // NOLINT

    token_t target(1.0);
    target = copy;
    EXPECT_EQ(target.opcode, 704);
    EXPECT_EQ(*target.names[2], "Sheet1");
    target = target;  // NOLINT: self-assignment changes nothing
    EXPECT_EQ(*target.names[2], "Sheet1");
}

// Under AddressSanitizer a view into the freed buffer would be reported.
TEST(token, text_and_names_outlive_the_text_they_were_made_from) {
    auto buffer = std::make_unique<std::string>("\"a string long enough to live on the heap\"");
    const std::string_view quoted(*buffer);
    token_t text(quoted.substr(1, quoted.size() - 2));
    token_t name(named_expression_t{std::string(quoted.substr(3, 6)), 0xFFFFFFFF});
    buffer.reset();
    EXPECT_EQ(std::get<std::string>(text.operand), "a string long enough to live on the heap");
    EXPECT_EQ(std::get<named_expression_t>(name.operand).name, "string");
}

TEST(operand, assign_range_overwrites_a_range_or_replaces_other_alternatives) {
    const coord_t a1{2, 1, 1, 1, 0, 0}, c3{2, 3, 3, 1, 1, 0};
    operand_t held(range_t{c3, c3});
    held.assign_range(a1, c3);
    EXPECT_EQ(std::get<range_t>(held), (range_t{a1, c3}));

    operand_t text(std::in_place_type<std::string>, "x");
    text.assign_range(c3, a1);
    ASSERT_EQ(text.index(), size_t(operand_t::range_index));
    EXPECT_EQ(std::get<range_t>(text), (range_t{c3, a1}));
}

TEST(operand, an_error_replaces_any_alternative_and_overwrites_an_error) {
    operand_t cell(coord_t{1, 5, 4, 1, 1, 1});
    cell = formula_error(4);
    ASSERT_EQ(cell.index(), size_t(operand_t::error_index));
    EXPECT_EQ(std::get<formula_error>(cell).message(), "Invalid reference");

    cell = formula_error(2, "custom");
    EXPECT_EQ(std::get<formula_error>(cell), formula_error(2, "custom"));
}
