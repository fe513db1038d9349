#include "mta/formula/formula_model_context.h"

#include "mta/table/formula_model/table_formula_model.h"
#include "mta/table/table/table.h"
#include "mta/table/utils/defined_names/defined_name_store.h"
#include "mta/types/document_model_access.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

using vex::coord_t;
using vex::range_t;
using vex::mta::Table;
using vex::mta::formula::formula_cell;
using vex::mta::formula::formula_model_context;

namespace {

// Records what the context asks of the document.
struct fake_access : vex::mta::document_model_access {
    unsigned mode = 3;
    unsigned grid_id = 4294967295u;
    mutable std::vector<std::string> asked;

    unsigned get_reference_mode() const override { return mode; }
    std::string get_sheet_name(unsigned id) const override { return "Sheet" + std::to_string(id); }
    std::unordered_set<range_t> resolve_table_reference(const coord_t& at, std::string_view first, uint32_t items,
                                                        std::string_view second,
                                                        std::string_view third) const override {
        asked.assign({std::string(first), std::to_string(items), std::string(second), std::string(third)});
        return {range_t{at, at}};
    }
    unsigned get_sheet_grid_id(std::string_view name) const override { return name == "Sheet2" ? 2 : 0; }
    unsigned get_grid_id(std::string_view first, std::string_view second, std::string_view third) const override {
        asked.assign({std::string(first), std::string(second), std::string(third)});
        return grid_id;
    }
};

struct context_test : ::testing::Test {
    Table table{{}, 100, 20};
    formula_model_context& context = table.get_formula_model()->context();

    fake_access& give_access() {
        auto* access = new fake_access;
        table.set_document_access(access);
        return *access;
    }
};

} // namespace

TEST_F(context_test, separators_follow_the_reference_mode) {
    // Without document access the table's own word, 1, is the mode.
    EXPECT_EQ(context.get_reference_mode(), 1u);
    EXPECT_TRUE(context.is_arg_separator(','));

    auto& access = give_access();
    for (unsigned mode : {0u, 1u, 2u, 3u, 4u, 5u}) {
        access.mode = mode;
        const bool known = mode >= 1 && mode <= 4;
        EXPECT_EQ(context.get_reference_mode(), mode);
        EXPECT_EQ(context.is_arg_separator(','), known) << mode;
        EXPECT_EQ(context.is_array_col_separator(','), known) << mode;
        EXPECT_EQ(context.is_array_row_separator(';'), known) << mode;
        EXPECT_FALSE(context.is_arg_separator(';')) << mode;
        EXPECT_FALSE(context.is_array_row_separator(',')) << mode;
    }
}

TEST_F(context_test, grid_ids_of_qualified_references_need_the_document) {
    uint32_t id = 77;
    EXPECT_TRUE(context.get_grid_id(id, "", "", ""));
    EXPECT_EQ(id, 0u);  // the own grid; an unregistered table has 0
    id = 77;
    EXPECT_FALSE(context.get_grid_id(id, "book", "Sheet2", "path"));
    EXPECT_EQ(id, 77u);

    auto& access = give_access();
    EXPECT_TRUE(context.get_grid_id(id, "book", "Sheet2", "path"));
    EXPECT_EQ(id, 4294967295u);
    EXPECT_EQ(access.asked, (std::vector<std::string>{"path", "Sheet2", "book"}));
}

TEST_F(context_test, sheets_are_found_by_name_through_the_document) {
    EXPECT_EQ(context.get_sheet_grid_id("Sheet2"), 0u);
    give_access();
    EXPECT_EQ(context.get_sheet_grid_id("Sheet2"), 2u);
    EXPECT_EQ(context.get_sheet_grid_id("Sheet9"), 0u);
}

TEST_F(context_test, sheet_size_is_the_own_extent_whatever_the_id) {
    const range_t extent{{0, 1, 1, 1, 0, 0}, {0, 100, 20, 1, 0, 0}};
    for (int32_t sheet : {0, 1, 5, -3}) EXPECT_EQ(context.get_sheet_size(sheet), extent) << sheet;
    EXPECT_EQ(context.get_sheet(0), nullptr);
    EXPECT_EQ(context.get_sheet(1), nullptr);
    EXPECT_FALSE(context.sheet_exists(-3));
}

TEST_F(context_test, names_and_table_references_come_from_the_table) {
    table.set_name("Data");
    EXPECT_EQ(context.get_table_name(), "Data");
    EXPECT_EQ(context.get_sheet_id(), 0);
    EXPECT_EQ(context.get_sheet_name(), "");
    EXPECT_EQ(context.get_name_store(), table.get_defined_names());
    ASSERT_TRUE(table.add_defined_name("Rate", "0.2", {}, vex::mta::workbook_scope));
    EXPECT_TRUE(context.has_named_expression({"Rate", vex::mta::workbook_scope}));
    EXPECT_FALSE(context.has_named_expression({"Rate", 0}));
    ASSERT_NE(context.get_named_expression({"Rate", vex::mta::workbook_scope}), nullptr);
    EXPECT_EQ(context.get_named_expression({"Rate", 0}), nullptr);
    EXPECT_EQ(context.get_formula_model(), table.get_formula_model());

    const coord_t at{0, 2, 3, 1, 0, 0};
    EXPECT_TRUE(context.resolve_table_reference(at, "Table1", 4, "Amount", "").empty());
    auto& access = give_access();
    EXPECT_EQ(context.get_sheet_name(), "Sheet0");
    EXPECT_EQ(context.resolve_table_reference(at, "Table1", 4, "Amount", ""), (vex::mta::formula::range_set_t{{at, at}}));
    EXPECT_EQ(access.asked, (std::vector<std::string>{"Table1", "4", "Amount", ""}));
}

TEST_F(context_test, cells_are_read_and_formula_cells_stored_on_this_sheet) {
    table.set_num(3, 2, 2.5);
    EXPECT_EQ(std::get<double>(context.get_cell_value(3, 2).value()), 2.5);
    EXPECT_FALSE(context.get_cell_value(4, 2).has_value());
    EXPECT_EQ(context.get_formula_cell({0, 3, 2, 1, 0, 0}), nullptr);    // a number
    EXPECT_EQ(context.get_formula_cell({0, 7, 7, 1, 0, 0}), nullptr);    // a column never made
    EXPECT_EQ(context.get_formula_cell({0, 101, 2, 1, 0, 0}), nullptr);  // outside the sheet
    EXPECT_EQ(context.get_formula_cell({0, 3, 21, 1, 0, 0}), nullptr);

    auto* cell = new formula_cell({0, 5, 2, 1, 0, 0}, "1+1");
    context.store_formula_cell(cell);
    EXPECT_EQ(context.get_formula_cell({0, 5, 2, 1, 0, 0}), cell);
    EXPECT_EQ(context.get_formula_cell({9, 5, 2, 1, 0, 0}), cell);  // the grid id is not looked at

    // A row outside the column store fails there, and the cell stays the caller's.
    auto outside = std::make_unique<formula_cell>(coord_t{0, 101, 2, 1, 0, 0}, "2");
    EXPECT_ANY_THROW(context.store_formula_cell(outside.get()));
    EXPECT_EQ(context.get_formula_cell({0, 5, 2, 1, 0, 0}), cell);
}
