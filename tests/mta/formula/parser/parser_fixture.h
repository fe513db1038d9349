#pragma once
// A sheet with document access for parser tests: the workbook has Sheet1 (grid 1),
// Sheet2 (2), "My sheet" (5) and "It's" (6); names are found ignoring ASCII case.

#include "mta/formula/formula_model_context.h"
#include "mta/formula/parser/formula_parser.h"
#include "mta/table/formula_model/table_formula_model.h"
#include "mta/table/table/table.h"
#include "mta/types/document_model_access.h"
#include "run_message.h"
#include "text_utils.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace parser_test {

struct fake_workbook : vex::mta::document_model_access {
    unsigned mode = 3;

    unsigned get_reference_mode() const override { return mode; }
    std::string get_sheet_name(unsigned) const override { return {}; }
    std::unordered_set<vex::range_t> resolve_table_reference(const vex::coord_t&, std::string_view, uint32_t,
                                                             std::string_view, std::string_view) const override {
        return {};
    }
    unsigned get_sheet_grid_id(std::string_view name) const override {
        const std::pair<const char*, unsigned> sheets[] = {{"Sheet1", 1}, {"Sheet2", 2}, {"My sheet", 5}, {"It's", 6}};
        for (const auto& [sheet, id] : sheets)
            if (vex::ascii_iequals(name, sheet)) return id;
        return 0;
    }
    unsigned get_grid_id(std::string_view, std::string_view, std::string_view) const override { return 0xFFFFFFFF; }
};

struct parser_fixture : ::testing::Test {
    vex::mta::Table table{{}, 100, 20};
    fake_workbook* workbook = new fake_workbook;
    std::string text;  // outlives the parser, as the formula model's text does
    std::vector<vex::mta::formula::token_t> tokens;

    parser_fixture() { table.set_document_access(workbook); }

    vex::mta::formula::model_context& context() { return table.get_formula_model()->context(); }

    // The parse result; the tokens land in `tokens`.
    bool parse(std::string_view formula, const vex::coord_t& origin = {7, 1, 1, 0, 0, 0}) {
        text = formula;
        vex::mta::formula::formula_parser parser(context(), origin, text);
        const bool ok = parser.parse();
        tokens = std::move(parser.tokens());
        return ok;
    }

    std::vector<int32_t> opcodes(std::string_view formula) {
        EXPECT_TRUE(parse(formula)) << formula << ": " << vex::get_run_message().str();
        std::vector<int32_t> out;
        for (const auto& token : tokens) out.push_back(token.opcode);
        return out;
    }

    // The one token a formula gives.
    const vex::mta::formula::token_t& only(std::string_view formula) {
        EXPECT_TRUE(parse(formula)) << formula << ": " << vex::get_run_message().str();
        EXPECT_EQ(tokens.size(), 1u) << formula;
        if (tokens.empty()) tokens.emplace_back(0.0);
        return tokens.front();
    }
};

} // namespace parser_test
