// Formulas parsed per second, from short arithmetic to long chains; the long
// chains show that parsing time grows linearly with the text.

#include "mta/formula/parser/formula_parser.h"
#include "mta/table/formula_model/table_formula_model.h"
#include "mta/table/table/table.h"
#include "mta/types/document_model_access.h"

#include <benchmark/benchmark.h>

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

void parse_repeatedly(benchmark::State& state, const std::string& formula) {
    sheet_t sheet;
    const vex::coord_t origin{1, 5, 5, 0, 0, 0};
    for (auto _ : state) {
        vex::mta::formula::formula_parser parser(sheet.context(), origin, formula);
        benchmark::DoNotOptimize(parser.parse());
        benchmark::DoNotOptimize(parser.tokens().data());
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * int64_t(formula.size()));
}

void BM_parse_short_arithmetic(benchmark::State& state) {
    parse_repeatedly(state, "1+2*3-4/5");
}
BENCHMARK(BM_parse_short_arithmetic);

void BM_parse_references_and_functions(benchmark::State& state) {
    parse_repeatedly(state, "SUM(A1:B10,Sheet2!$C$3)*IF(D4>0,D4,-D4)");
}
BENCHMARK(BM_parse_references_and_functions);

// A chain of cells and operators about `range(0)` bytes long.
void BM_parse_long_chain(benchmark::State& state) {
    std::string formula = "A1";
    for (int i = 2; formula.size() < size_t(state.range(0)); ++i)
        formula += (i % 3 ? "+B" : "*SUM(C1:D") + std::to_string(i) + (i % 3 ? "" : ")");
    parse_repeatedly(state, formula);
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_parse_long_chain)->RangeMultiplier(2)->Range(512, 16384)->Complexity(benchmark::oN);

} // namespace
