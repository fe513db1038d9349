// Formulas parsed per second, from short arithmetic to long chains; the long
// chains show that parsing time grows linearly with the text. Each text is
// parsed once, untimed, to check that it parses; the peer, ixion's
// parse_formula_string, parses the same texts in the same run.

#include "mta/formula/parser/formula_parser.h"
#include "mta/table/formula_model/table_formula_model.h"
#include "mta/table/table/table.h"
#include "mta/types/document_model_access.h"

#include <benchmark/benchmark.h>
#include <ixion/formula.hpp>
#include <ixion/formula_name_resolver.hpp>
#include <ixion/formula_tokens.hpp>
#include <ixion/model_context.hpp>

#include <algorithm>
#include <memory>
#include <string>

namespace {

struct a1_workbook : vex::mta::document_model_access {
    unsigned get_reference_mode() const override { return 3; }
    std::string get_sheet_name(unsigned) const override { return {}; }
    std::unordered_set<vex::range_t> resolve_table_reference(const vex::coord_t&, std::string_view, uint32_t,
                                                             std::string_view, std::string_view) const override {
        return {};
    }
    unsigned get_sheet_grid_id(std::string_view name) const override { return name == "Sheet2" ? 2 : 0; }
    unsigned get_grid_id(std::string_view, std::string_view, std::string_view) const override { return 0; }
};

struct sheet_t {
    vex::mta::Table table{{}, 1048576, 16384};
    sheet_t() { table.set_document_access(new a1_workbook); }
    vex::mta::formula::model_context& context() { return table.get_formula_model()->context(); }
};

const vex::coord_t origin{1, 5, 5, 0, 0, 0};

void parse_repeatedly(benchmark::State& state, const std::string& formula) {
    sheet_t sheet;
    {
        vex::mta::formula::formula_parser parser(sheet.context(), origin, formula);
        if (!parser.parse() || parser.tokens().empty()) {
            state.SkipWithError("the formula did not parse");
            return;
        }
    }
    for (auto _ : state) {
        vex::mta::formula::formula_parser parser(sheet.context(), origin, formula);
        benchmark::DoNotOptimize(parser.parse());
        benchmark::DoNotOptimize(parser.tokens().data());
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * int64_t(formula.size()));
}

// The peer: two sheets, so that Sheet2 resolves, and the Excel A1 syntax.
void ixion_parse_repeatedly(benchmark::State& state, const std::string& formula) {
    ixion::model_context cxt(ixion::rc_size_t(1048576, 16384));
    cxt.append_sheet("Sheet1");
    cxt.append_sheet("Sheet2");
    const auto resolver = ixion::formula_name_resolver::get(ixion::formula_name_resolver_t::excel_a1, &cxt);
    const ixion::abs_address_t pos(0, origin.row - 1, origin.col - 1);
    {
        const auto tokens = ixion::parse_formula_string(cxt, pos, *resolver, formula);
        const bool parsed = !tokens.empty() && std::none_of(tokens.begin(), tokens.end(), [](const auto& t) {
            const auto op = t->get_opcode();
            return op == ixion::fop_error || op == ixion::fop_unknown || op == ixion::fop_named_expression;
        });
        if (!parsed) {
            state.SkipWithError("the formula did not parse");
            return;
        }
    }
    for (auto _ : state) {
        auto tokens = ixion::parse_formula_string(cxt, pos, *resolver, formula);
        benchmark::DoNotOptimize(tokens.data());
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * int64_t(formula.size()));
}

// A chain of cells and operators about `bytes` long.
std::string chain(size_t bytes) {
    std::string formula = "A1";
    for (int i = 2; formula.size() < bytes; ++i)
        formula += (i % 3 ? "+B" : "*SUM(C1:D") + std::to_string(i) + (i % 3 ? "" : ")");
    return formula;
}

const std::string short_arithmetic = "1+2*3-4/5";
const std::string cell_arithmetic = "A1+B2*3-C4/2";
const std::string nested_calls = "SUM(A1:B10)+IF(C3>0,VLOOKUP(D4,Sheet2!A:B,2,FALSE),0)";

void BM_parse_short_arithmetic(benchmark::State& state) {
    parse_repeatedly(state, short_arithmetic);
}
void BM_ixion_parse_short_arithmetic(benchmark::State& state) {
    ixion_parse_repeatedly(state, short_arithmetic);
}
BENCHMARK(BM_parse_short_arithmetic);
BENCHMARK(BM_ixion_parse_short_arithmetic);

void BM_parse_cell_arithmetic(benchmark::State& state) {
    parse_repeatedly(state, cell_arithmetic);
}
void BM_ixion_parse_cell_arithmetic(benchmark::State& state) {
    ixion_parse_repeatedly(state, cell_arithmetic);
}
BENCHMARK(BM_parse_cell_arithmetic);
BENCHMARK(BM_ixion_parse_cell_arithmetic);

void BM_parse_nested_calls(benchmark::State& state) {
    parse_repeatedly(state, nested_calls);
}
void BM_ixion_parse_nested_calls(benchmark::State& state) {
    ixion_parse_repeatedly(state, nested_calls);
}
BENCHMARK(BM_parse_nested_calls);
BENCHMARK(BM_ixion_parse_nested_calls);

void BM_parse_chain_2k(benchmark::State& state) {
    parse_repeatedly(state, chain(2048));
}
void BM_ixion_parse_chain_2k(benchmark::State& state) {
    ixion_parse_repeatedly(state, chain(2048));
}
BENCHMARK(BM_parse_chain_2k);
BENCHMARK(BM_ixion_parse_chain_2k);

void BM_parse_references_and_functions(benchmark::State& state) {
    parse_repeatedly(state, "SUM(A1:B10,Sheet2!$C$3)*IF(D4>0,D4,-D4)");
}
BENCHMARK(BM_parse_references_and_functions);

void BM_parse_long_chain(benchmark::State& state) {
    parse_repeatedly(state, chain(size_t(state.range(0))));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_parse_long_chain)->RangeMultiplier(2)->Range(512, 16384)->Complexity(benchmark::oN);

} // namespace
