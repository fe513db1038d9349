#include "mta/table/table/table.h"

#include "errors.h"
#include "mta/table/cell/cell_getters.h"
#include "mta/table/cell/string_pool.h"
#include "mta/table/formula_model/table_formula_model.h"
#include "mta/table/sample_styles.h"
#include "mta/types/imported_row_cells.h"

#include <gtest/gtest.h>

#include <mdds/multi_type_matrix.hpp>

#include <variant>

using vex::mta::cell_value_kind;
using vex::mta::error_value_enum;
using vex::mta::imported_row_cells;
using vex::mta::Table;
using vex::mta::trival_cell_t;
using vex::mta::cell_getters::get_error;
using vex::mta::cell_getters::get_formula_expr;
using vex::mta::cell_getters::get_num;
using vex::mta::cell_getters::get_text;
using sample::last_message;

namespace {

constexpr unsigned all_rows = 1048576, all_cols = 16384;

trival_cell_t record(uint32_t row, uint32_t col, cell_value_kind kind, std::optional<vex::mta::cell_t::value_type> v,
                     uint32_t style = 0) {
    trival_cell_t c;
    c.row = row;
    c.col = col;
    c.kind = uint8_t(kind);
    c.style = style;
    c.value = std::move(v);
    return c;
}

trival_cell_t formula_record(uint32_t row, uint32_t col, std::string_view text, cell_value_kind cached_kind,
                             std::optional<vex::mta::cell_t::value_type> cached) {
    trival_cell_t c = record(row, col, cell_value_kind::formula, std::move(cached));
    c.formula = text;
    c.value_kind = uint8_t(cached_kind);
    return c;
}

vex::range_t range(int r1, int c1, int r2, int c2) {
    return {{0, r1, c1, 1, 0, 0}, {0, r2, c2, 1, 0, 0}};
}

} // namespace

TEST(table_formulas, texts_are_trimmed_once_and_empty_ones_refused) {
    const struct {
        const char* given;
        const char* stored;
    } cases[] = {
        {"  =1+2  ", "1+2"}, {"\t= SUM(A1:A3)\n", "SUM(A1:A3)"}, {"==1", "=1"}, {"A1 & \" \"", "A1 & \" \""},
        {"=", nullptr},      {"   ", nullptr},                    {"= \t", nullptr}, {"", nullptr},
    };
    Table t({}, all_rows, all_cols);
    int row = 0;
    for (const auto& c : cases) {
        ++row;
        vex::set_run_message("before");
        EXPECT_EQ(t.set_formula(row, 2, c.given), c.stored != nullptr) << c.given;
        if (c.stored) {
            EXPECT_STREQ(get_formula_expr(t, row, 2), c.stored);
            EXPECT_EQ(last_message(), "before");
        } else {
            EXPECT_EQ(last_message(), "The formula expression can not be empty.");
            EXPECT_FALSE(t.contains_formula(row, 2));
        }
    }
}

TEST(table_formulas, formula_cells_replace_and_are_replaced) {
    Table t({}, all_rows, all_cols);
    t.set_num(4, 3, 1.5);
    ASSERT_TRUE(t.set_formula(4, 3, "A1"));
    ASSERT_NE(t.get_formula_cell(4, 3), nullptr);
    EXPECT_EQ(t.get_formula_cell(4, 3)->position(), (vex::coord_t{0, 4, 3, 0, 0, 0}));
    ASSERT_TRUE(t.set_formula(4, 3, "B1"));  // the first cell is freed (AddressSanitizer)
    EXPECT_EQ(t.get_formula_cell(4, 3)->expression(), "B1");
    EXPECT_EQ(t.get_formula_cell(3, 3), nullptr);
    EXPECT_EQ(t.get_formula_cell(4, 99), nullptr) << "column not made";
    EXPECT_EQ(t.get_formula_cell(0, 3), nullptr);
    t.set_text(4, 3, "text");
    EXPECT_EQ(t.get_formula_cell(4, 3), nullptr);
}

TEST(table_formulas, cached_results_of_each_kind) {
    Table t({}, all_rows, all_cols);
    t.set_num(1, 1, 5);
    EXPECT_FALSE(t.set_formula_result(1, 1, 2.0));
    EXPECT_EQ(last_message(), "This cell does not contain a formula.");
    EXPECT_FALSE(t.set_formula_result(9, 9, 2.0));

    ASSERT_TRUE(t.set_formula(1, 2, "A1*2"));
    EXPECT_EQ(vex::mta::cell_getters::cell_type(t, 1, 2), -1) << "no result yet";
    EXPECT_EQ(get_num(t, 1, 2), 0.0);
    EXPECT_EQ(last_message(),
              "The cell does not contain a numerical value or is a formula cell that has not been calculated yet.");
    EXPECT_EQ(get_error(t, 1, 2), -1);
    EXPECT_EQ(last_message(), "The cell is a formula cell that has not been calculated yet");
    EXPECT_TRUE(t.set_formula_result(1, 2, std::nullopt)) << "an empty value changes nothing";
    EXPECT_EQ(vex::mta::cell_getters::cell_type(t, 1, 2), -1);

    EXPECT_TRUE(t.set_formula_result(1, 2, int64_t(1) << 40));
    EXPECT_EQ(vex::mta::cell_getters::cell_type(t, 1, 2), 1);
    EXPECT_EQ(get_num(t, 1, 2), 1099511627776.0);
    EXPECT_EQ(get_error(t, 1, 2), -1);

    const std::string scratch = "abc";
    EXPECT_TRUE(t.set_formula_result(1, 2, std::string_view(scratch)));
    EXPECT_EQ(vex::mta::cell_getters::cell_type(t, 1, 2), 2);
    EXPECT_STREQ(get_text(t, 1, 2), "abc");

    EXPECT_TRUE(t.set_formula_result(1, 2, true));
    EXPECT_EQ(vex::mta::cell_getters::cell_type(t, 1, 2), 3);
    EXPECT_TRUE(vex::mta::cell_getters::get_boolean(t, 1, 2));

    EXPECT_TRUE(t.set_formula_result(1, 2, vex::datetime_t{vex::ticks_per_day, 7, 1}));
    EXPECT_EQ(vex::mta::cell_getters::cell_type(t, 1, 2), 4);
    EXPECT_EQ(vex::mta::cell_getters::get_datetime(t, 1, 2), vex::ticks_to_serial({vex::ticks_per_day, 7, 1}));
    const auto& result = *t.get_formula_cell(1, 2)->result();
    EXPECT_EQ(std::get<vex::datetime_t>(result).word, -1);

    EXPECT_TRUE(t.set_formula_result(1, 2, error_value_enum::div0));
    EXPECT_EQ(vex::mta::cell_getters::cell_type(t, 1, 2), 5);
    EXPECT_EQ(get_error(t, 1, 2), 2);
    EXPECT_EQ(std::get<vex::mta::formula::formula_error>(*t.get_formula_cell(1, 2)->result()).code(), 2u);
    EXPECT_STREQ(get_formula_expr(t, 1, 2), "A1*2") << "the text stays";
}

TEST(table_import, a_row_of_every_kind_with_style_runs) {
    Table t({}, all_rows, all_cols);
    const int32_t pooled = t.get_string_pool().add_string(0, "imported text");
    imported_row_cells row;
    row.append(record(7, 1, cell_value_kind::int32, int32_t{-3}, 4));
    row.append(record(7, 2, cell_value_kind::number, 2.5, 4));
    row.append(record(7, 3, cell_value_kind::none, std::nullopt, 4));  // styled, no value
    row.append(record(7, 4, cell_value_kind::text, pooled));
    row.append(record(7, 5, cell_value_kind::boolean, true));
    row.append(record(7, 6, cell_value_kind::error, error_value_enum::na));
    row.append(record(7, 7, cell_value_kind::int64, int64_t(1) << 53));
    row.append(record(7, 8, cell_value_kind::int64, (int64_t(1) << 53) + 1));
    row.append(record(7, 9, cell_value_kind::datetime, 45000.25));
    row.append(formula_record(7, 10, "A7+B7", cell_value_kind::number, 1.5));
    row.append(formula_record(7, 11, "D7", cell_value_kind::text, pooled));
    row.append(formula_record(7, 12, "1/0", cell_value_kind::error, error_value_enum::div0));
    row.append(formula_record(7, 13, "NOW()", cell_value_kind::none, std::nullopt));
    ASSERT_EQ(row.style_runs.size(), 2u);
    EXPECT_EQ(row.style_runs[0].last_col, 3u);
    EXPECT_EQ(row.value_indexes.size(), 12u);
    t.set_imported_row_cells_(row);

    const cell_value_kind kinds[] = {cell_value_kind::number,  cell_value_kind::number, cell_value_kind::none,
                                     cell_value_kind::text,    cell_value_kind::boolean, cell_value_kind::error,
                                     cell_value_kind::number,  cell_value_kind::int64,  cell_value_kind::number,
                                     cell_value_kind::formula, cell_value_kind::formula, cell_value_kind::formula,
                                     cell_value_kind::formula};
    for (int c = 1; c <= 13; ++c) EXPECT_EQ(t.get_cell(7, c).kind(), kinds[c - 1]) << c;
    for (int c = 1; c <= 3; ++c) EXPECT_EQ(t.get_cell(7, c).style_index(), 4) << c;
    EXPECT_EQ(t.get_cell(7, 4).style_index(), 0);
    EXPECT_EQ(get_num(t, 7, 1), -3.0);
    EXPECT_EQ(get_num(t, 7, 8), 9007199254740993.0);
    EXPECT_EQ(get_num(t, 7, 10), 1.5);
    EXPECT_STREQ(get_text(t, 7, 11), "imported text");
    EXPECT_EQ(get_error(t, 7, 12), 2);
    EXPECT_EQ(vex::mta::cell_getters::cell_type(t, 7, 13), -1);
    EXPECT_STREQ(get_formula_expr(t, 7, 10), "A7+B7");
}

TEST(table_import, refusals_keep_what_was_stored_before) {
    Table t({}, all_rows, all_cols);
    imported_row_cells row;
    row.append(record(2, 1, cell_value_kind::number, 1.0));
    row.append(record(2, 2, cell_value_kind::rich_text, int32_t{0}));
    row.append(record(2, 3, cell_value_kind::number, 3.0));
    try {
        t.set_imported_row_cells_(row);
        FAIL();
    } catch (const mta_error& e) {
        EXPECT_EQ(e.message(), "Unknown cell value type found when storing cell value.");
    }
    EXPECT_EQ(get_num(t, 2, 1), 1.0);
    EXPECT_EQ(t.get_cell(2, 3).kind(), cell_value_kind::none);

    const struct {
        trival_cell_t cell;
        const char* what;
    } hostile[] = {
        {record(3, 1, cell_value_kind(10), 1.0), "unknown kind"},
        {record(3, 1, cell_value_kind::number, int32_t{1}), "wrong alternative"},
        {record(3, 16385, cell_value_kind::number, 1.0), "column past the sheet"},
        {record(3, 0, cell_value_kind::number, 1.0), "column 0"},
        {record(0, 1, cell_value_kind::number, 1.0), "row 0"},
    };
    for (const auto& h : hostile) {
        imported_row_cells bad;
        bad.append(h.cell);
        EXPECT_ANY_THROW(t.set_imported_row_cells_(bad)) << h.what;
    }
    imported_row_cells stray;
    stray.value_indexes.push_back(3);
    EXPECT_THROW(t.set_imported_row_cells_(stray), std::out_of_range);

    imported_row_cells mixed;
    mixed.append(record(5, 1, cell_value_kind::number, 1.0));
    try {
        mixed.append(record(6, 2, cell_value_kind::number, 1.0));
        FAIL();
    } catch (const loading_error& e) {
        EXPECT_EQ(e.message(), "xml file error: row is 6");
    }
}

TEST(table_import, rows_filled_down_a_column_stay_one_block) {
    Table t({}, all_rows, all_cols);
    imported_row_cells row;
    for (uint32_t r = 1; r <= 1000; ++r) {
        row.clear();
        row.append(record(r, 1, cell_value_kind::int32, int32_t(r)));
        row.append(record(r, 2, cell_value_kind::number, r + 0.5));
        t.set_imported_row_cells_(row);
    }
    EXPECT_EQ(t.find_column(1)->cells().block_size(), 2u);
    EXPECT_EQ(t.find_column(2)->cells().block_size(), 2u);
    EXPECT_EQ(get_num(t, 1000, 2), 1000.5);

    // Stores after erasing, inserting and deleting rows land where they are asked to.
    vex::mta::Column& column = *t.find_column(2);
    column.erase_values(10, 20);
    column.set_value(15, 7.0);
    column.insert_rows(5, 3);
    column.set_value(6, 8.0);
    column.delete_rows(1, 2);
    column.set_value(999, 9.0);
    EXPECT_EQ(get_num(t, 16, 2), 7.0);
    EXPECT_EQ(get_num(t, 4, 2), 8.0);
    EXPECT_EQ(get_num(t, 999, 2), 9.0);
    EXPECT_EQ(get_num(t, 1, 2), 3.5);
    EXPECT_EQ(t.get_cell(12, 2).kind(), cell_value_kind::none);
}

TEST(table_range_value, matrix_shape_and_element_types) {
    Table t({}, all_rows, all_cols);
    t.create_column_if_not_exists(1).set_value(1, int32_t{7});
    t.set_num(2, 1, 7.0);
    t.create_column_if_not_exists(1).set_value(3, int64_t(1) << 40);
    t.set_text(4, 1, "#DIV/0!");
    t.set_error(5, 1, error_value_enum::div0);
    t.set_boolean(6, 1, true);
    t.set_formula(7, 1, "1+1");
    t.set_formula_result(7, 1, 2.0);
    t.set_error(2, 2, error_value_enum::spill);

    const auto m = t.get_range_value(range(1, 1, 8, 4));
    EXPECT_EQ(m.size(), (vex::mta::range_matrix_t::size_pair_type{8, 4})) << "past the last column";
    EXPECT_EQ(m.get_type(0, 0), mdds::mtm::element_integer);
    EXPECT_EQ(m.get_type(1, 0), mdds::mtm::element_numeric);
    EXPECT_EQ(m.get_type(2, 0), mdds::mtm::element_numeric);
    EXPECT_EQ(m.get_numeric(2, 0), 1099511627776.0);
    EXPECT_EQ(m.get_string(3, 0), "#DIV/0!");
    EXPECT_EQ(m.get_string(4, 0), "#DIV/0!");
    EXPECT_TRUE(m.get_boolean(5, 0));
    EXPECT_EQ(m.get_type(6, 0), mdds::mtm::element_empty) << "a formula gives no value";
    EXPECT_EQ(m.get_string(1, 1), "#SPILL!");
    EXPECT_EQ(m.get_type(0, 3), mdds::mtm::element_empty);

    EXPECT_EQ(t.get_range_value(range(3, 1, 3, 1)).size(), (vex::mta::range_matrix_t::size_pair_type{1, 1}));
    EXPECT_EQ(t.get_range_value(range(3, 1, 3, 1)).get_numeric(0, 0), 1099511627776.0);
    const auto beyond = t.get_range_value(range(1, 100, 3, 101));
    EXPECT_EQ(beyond.size(), (vex::mta::range_matrix_t::size_pair_type{3, 2}));
    EXPECT_EQ(beyond.get_type(2, 1), mdds::mtm::element_empty);
    const auto reversed = t.get_range_value(range(4, 1, 3, 1));
    EXPECT_EQ(reversed.get_string(1, 0), "#DIV/0!");
    const auto tail = t.get_range_value(range(1048570, 1, 1048576, 2));
    EXPECT_EQ(tail.size(), (vex::mta::range_matrix_t::size_pair_type{7, 2}));
    // The formula engine's range operands read the same matrix.
    const auto& context = t.get_formula_model()->context();
    EXPECT_EQ(context.get_range_value(range(1, 1, 8, 4)).get_string(4, 0), "#DIV/0!");
    EXPECT_EQ(context.get_formula_cell({0, 7, 1, 0, 0, 0}), t.get_formula_cell(7, 1));
    for (const auto& bad : {range(0, 1, 2, 2), range(1, 1, 1048577, 1), range(1, 16385, 1, 1)})
        EXPECT_THROW(t.get_range_value(bad), mta_error);
}

// The attributes and the interpreter's value live out of line; what a cell reads
// back is what it was given, defaults included.
TEST(table_import, formula_records_keep_their_attributes_and_values_out_of_line) {
    using vex::mta::formula::formula_attributes_t;
    using vex::mta::formula::formula_cell;
    EXPECT_LE(sizeof(formula_cell), 200u);

    Table t({}, all_rows, all_cols);
    imported_row_cells row;
    trival_cell_t shared = formula_record(2, 1, "B2*2", cell_value_kind::number, 4.0);
    shared.attributes.type = 1;
    shared.attributes.shared_index = 3;
    shared.attributes.flags = 0x21;
    shared.attributes.ref = range(2, 1, 9, 1);
    row.append(shared);
    row.append(formula_record(2, 2, "C2", cell_value_kind::none, std::nullopt));
    t.set_imported_row_cells_(row);
    ASSERT_TRUE(t.set_formula(3, 1, "A2+1"));

    const formula_cell* imported = t.get_formula_cell(2, 1);
    ASSERT_NE(imported, nullptr);
    EXPECT_EQ(imported->attributes(), shared.attributes);
    EXPECT_EQ(get_num(t, 2, 1), 4.0);
    for (const auto& [r, c] : {std::pair{2, 2}, std::pair{3, 1}}) {
        const formula_cell* plain = t.get_formula_cell(r, c);
        ASSERT_NE(plain, nullptr);
        EXPECT_EQ(plain->attributes(), formula_attributes_t{});
        EXPECT_EQ(plain->attributes().ref.first.flag0, 1);
        EXPECT_FALSE(plain->stored_value().has_value());
    }

    // A second value replaces the first; a cleared result does not touch it.
    formula_cell* cell = t.get_formula_cell(3, 1);
    cell->store_value(vex::mta::formula::operand_t{2.5});
    cell->store_value(vex::mta::formula::operand_t{std::string("text")});
    cell->clear_result();
    ASSERT_TRUE(cell->stored_value().has_value());
    EXPECT_EQ(std::get<std::string>(*cell->stored_value()), "text");
}
