// Tables found by name. A host adds 1,000 or 4,000 tables one by one, gives
// each a display name, and deletes them, first to last and last to first: each
// call finds tables and their parts by their names through an index, so 4,000
// cost within about 6 times 1,000. One row inserted
// below everything beside 500, 1,000 or 2,000 tables, each read by two
// formulas, costs what the insert moves: 2,000 within about 6 times 500 and
// 1,000. Last, 100 display names and 100 column renames beside 1,000 or
// 100,000 formulas naming no table: a rename reads only the formulas spelling
// the table, so 100,000 within about 3 times 1,000.

#include "plover.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace {

struct book_t {
    plover_document_t* doc = doc_create();
    plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Sheet1");
    ~book_t() { doc_release(doc); }
};

std::string numbered(const char* prefix, int i) {
    return prefix + std::to_string(i);
}

// Tables Tb_1.. one under the other, a blank row between: A1:B3, A5:B7, ...
std::vector<plover_tabledef_t*> add_tables(book_t& book, int n) {
    std::vector<plover_tabledef_t*> out;
    for (int i = 0; i < n; ++i)
        out.push_back(ws_add_tabledef(book.ws, numbered("Tb_", i + 1).c_str(), i * 4 + 1, 1, i * 4 + 3, 2));
    return out;
}

// Each round on a fresh book: `timed` runs on it, with the n tables added
// beforehand (untimed) when `with_tables`; `check` then says what went wrong.
template <class Timed, class Check>
void on_fresh_book(benchmark::State& state, bool with_tables, Timed timed, Check check) {
    const int n = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto book = std::make_unique<book_t>();
        std::vector<plover_tabledef_t*> tables;
        if (with_tables) tables = add_tables(*book, n);
        state.ResumeTiming();
        timed(*book, tables, n);
        state.PauseTiming();
        if (const char* fault = check(*book, tables, n)) state.SkipWithError(fault);
        book.reset();
        state.ResumeTiming();
    }
}

void table_names_added(benchmark::State& state) {
    on_fresh_book(
        state, false, [](book_t& book, auto&, int n) { add_tables(book, n); },
        [](book_t& book, auto&, int n) { return ws_tabledef_count(book.ws) != n ? "a table was refused" : nullptr; });
}
BENCHMARK(table_names_added)->Arg(1000)->Arg(4000)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);

void table_names_displayed(benchmark::State& state) {
    on_fresh_book(
        state, true,
        [](book_t&, auto& tables, int n) {
            for (int i = 0; i < n; ++i) td_set_display_name(tables[size_t(i)], numbered("Shown_", i + 1).c_str());
        },
        [](book_t&, auto& tables, int n) {
            return std::string(td_display_name(tables.back())) != numbered("Shown_", n) ? "a display name was refused"
                                                                                          : nullptr;
        });
}
BENCHMARK(table_names_displayed)->Arg(1000)->Arg(4000)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);

void table_names_deleted(benchmark::State& state) {
    on_fresh_book(
        state, true,
        [](book_t& book, auto&, int n) {
            for (int i = 0; i < n; ++i) ws_delete_tabledef(book.ws, numbered("Tb_", i + 1).c_str());
        },
        [](book_t& book, auto&, int) { return ws_tabledef_count(book.ws) != 0 ? "a table was kept" : nullptr; });
}
BENCHMARK(table_names_deleted)->Arg(1000)->Arg(4000)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);


void table_names_deleted_back(benchmark::State& state) {
    on_fresh_book(
        state, true,
        [](book_t& book, auto&, int n) {
            for (int i = n; i >= 1; --i) ws_delete_tabledef(book.ws, numbered("Tb_", i).c_str());
        },
        [](book_t& book, auto&, int) { return ws_tabledef_count(book.ws) != 0 ? "a table was kept" : nullptr; });
}
BENCHMARK(table_names_deleted_back)->Arg(1000)->Arg(4000)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);

// Each table's columns named c1 and c2, and beside it SUM(Tb_k[c1]) and
// COUNT(Tb_k[#All]); one row inserted below everything, then deleted untimed.
void table_names_insert_below(benchmark::State& state) {
    const int n = int(state.range(0));
    book_t book;
    for (plover_tabledef_t* td : add_tables(book, n)) {
        td_set_col_name(td, 0, "c1");
        td_set_col_name(td, 1, "c2");
    }
    for (int i = 0; i < n; ++i) {
        const std::string table = numbered("Tb_", i + 1);
        ws_set_formula(book.ws, i * 4 + 1, 4, ("SUM(" + table + "[c1])").c_str());
        ws_set_formula(book.ws, i * 4 + 2, 4, ("COUNT(" + table + "[#All])").c_str());
    }
    const int below = n * 4 + 10;
    for (auto _ : state) {
        if (!ws_insert_row(book.ws, below, 1)) state.SkipWithError("the insert was refused");
        state.PauseTiming();
        ws_delete_row(book.ws, below, below);
        state.ResumeTiming();
    }
}
BENCHMARK(table_names_insert_below)
    ->Arg(500)
    ->Arg(1000)
    ->Arg(2000)
    ->Iterations(3)
    ->Repetitions(3)
    ->Unit(benchmark::kMillisecond);

// 100 display names, then 100 column renames, of one table beside formulas
// that name none.
void table_names_renamed_beside(benchmark::State& state) {
    const int formulas = int(state.range(0));
    const bool columns = state.range(1) != 0;
    book_t book;
    for (int row = 1; row <= formulas; ++row) ws_set_formula(book.ws, row, 2, ("A" + std::to_string(row) + "*2").c_str());
    plover_tabledef_t* td = ws_add_tabledef(book.ws, "Tb", 1, 10, 3, 11);
    const std::string first = td_col_name(td, 0);
    ws_set_formula(book.ws, 1, 13, ("SUM(Tb[" + first + "])").c_str());
    int round = 0;
    for (auto _ : state) {
        for (int i = 0; i < 100; ++i, ++round) {
            const std::string name = numbered(columns ? "Col_" : "Shown_", round);
            if (columns) td_set_col_name(td, 0, name.c_str());
            else td_set_display_name(td, name.c_str());
        }
    }
    const std::string expected = columns ? "SUM(Tb[" + numbered("Col_", round - 1) + "])"
                                         : "SUM(" + numbered("Shown_", round - 1) + "[" + first + "])";
    const char* text = ws_get_formula_expr(book.ws, 1, 13);
    if (!text || expected != text)
        state.SkipWithError(("the formula did not follow the renames: " + std::string(text ? text : "")).c_str());
}
BENCHMARK(table_names_renamed_beside)
    ->Args({1000, 0})
    ->Args({100000, 0})
    ->Args({1000, 1})
    ->Args({100000, 1})
    ->Iterations(3)
    ->Repetitions(3)
    ->Unit(benchmark::kMillisecond);


// Every column of one wide table renamed in turn, 500 and 2,000 columns: a
// rename costs its column, not the table's width.
void table_columns_renamed(benchmark::State& state) {
    const int n = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto book = std::make_unique<book_t>();
        plover_tabledef_t* td = ws_add_tabledef(book->ws, "Wide", 1, 1, 3, n);
        state.ResumeTiming();
        for (int i = 0; i < n; ++i) td_set_col_name(td, i, numbered("Field_", i + 1).c_str());
        state.PauseTiming();
        const bool missed = std::string(td_col_name(td, n - 1)) != numbered("Field_", n);
        book.reset();
        state.ResumeTiming();
        if (missed) {
            state.SkipWithError("a column kept its name");
            break;
        }
    }
}
BENCHMARK(table_columns_renamed)->Arg(500)->Arg(2000)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);

} // namespace
