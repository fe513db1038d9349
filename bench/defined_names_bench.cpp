// Defining a name through the exports beside 1,000 and 100,000 formulas that
// do not read it (the cost per name should not grow with them), and a name of
// 300 separate cells deleted and defined again, over the same cells or others,
// while 100 or 1,000 formulas read it (the cost should grow with the readers,
// no faster). Last, a reader of a chain of 20 or 40 names each reading the
// next twice (nm_0 = nm_1+nm_1, ...), filed when set and when its book is
// loaded: read once per name, twice the names cost about twice as much; read
// again at each use, each name would double the cost. Then a sheet added
// beside 1,000 and 100,000 formulas. Last, 2,000 and 8,000 names in chains,
// in layers of 4 each reading all 4 of the next, and in chains kept without
// tokens (each reads a span of sheets): defined one by one, loaded from files
// listing them from the first name or from the deepest, and a row inserted
// beside them. Each costs what it changes: 8,000 within about 4 times 2,000.
// Then a host's loops beside many names: local names defined and sheets added.

#include "bench/memory_counters.h"
#include "bench/scratch_dir.h"
#include "plover.h"
#include "bench/package_parts.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

struct book_t {
    plover_document_t* doc = nullptr;
    plover_workbook_t* wb = nullptr;
    plover_worksheet_t* ws = nullptr;

    book_t() : doc(doc_create()), wb(doc_get_workbook(doc)), ws(wb_add_worksheet(wb, "Sheet1")) {}
    ~book_t() { doc_release(doc); }
    book_t(const book_t&) = delete;
    book_t& operator=(const book_t&) = delete;
};

constexpr int names_per_round = 100;

void defined_names_define_beside(benchmark::State& state) {
    const int formulas = int(state.range(0));
    book_t book;
    for (int row = 1; row <= formulas; ++row) ws_set_formula(book.ws, row, 2, ("A" + std::to_string(row) + "*2").c_str());
    std::vector<std::string> names;
    for (int i = 0; i < names_per_round; ++i) names.push_back("Rate" + std::to_string(i));
    for (auto _ : state) {
        for (const std::string& name : names) wb_set_defined_name(book.wb, name.c_str(), "Sheet1!$A$1", nullptr);
        state.PauseTiming();
        while (wb_defined_name_num(book.wb) > 0) wb_delete_defined_name(book.wb, 0);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * names_per_round);
}
BENCHMARK(defined_names_define_beside)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// The same beside 1,000 or 10,000 names defined before, none read by a formula.
void defined_names_define_among(benchmark::State& state) {
    const int before = int(state.range(0));
    book_t book;
    for (int i = 0; i < before; ++i) wb_set_defined_name(book.wb, ("Old" + std::to_string(i)).c_str(), "Sheet1!$A$1", nullptr);
    std::vector<std::string> names;
    for (int i = 0; i < names_per_round; ++i) names.push_back("Rate" + std::to_string(i));
    for (auto _ : state) {
        for (const std::string& name : names) wb_set_defined_name(book.wb, name.c_str(), "Sheet1!$A$1", nullptr);
        state.PauseTiming();
        while (wb_defined_name_num(book.wb) > before) wb_delete_defined_name(book.wb, before);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * names_per_round);
}
BENCHMARK(defined_names_define_among)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// 300 separate cells of column A, every other row from `first`.
std::string separate_cells(int first) {
    std::string cells;
    for (int i = 0; i < 300; ++i) cells += (i ? ",Sheet1!$A$" : "Sheet1!$A$") + std::to_string(first + 2 * i);
    return cells;
}

// Deleted and defined again over the same cells, or (`elsewhere`) over the
// cells between them, as each round alternates.
void redefine(benchmark::State& state, bool elsewhere) {
    const int readers = int(state.range(0));
    book_t book;
    const std::string cells[] = {separate_cells(1), separate_cells(elsewhere ? 2 : 1)};
    wb_set_defined_name(book.wb, "Cells", cells[0].c_str(), nullptr);
    for (int row = 1; row <= readers; ++row) ws_set_formula(book.ws, row, 3, "SUM(Cells)");
    size_t round = 0;
    for (auto _ : state) {
        wb_delete_defined_name(book.wb, 0);
        wb_set_defined_name(book.wb, "Cells", cells[++round % 2].c_str(), nullptr);
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}

void defined_names_redefine_read_by(benchmark::State& state) { redefine(state, false); }
BENCHMARK(defined_names_redefine_read_by)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

void defined_names_redefine_elsewhere_read_by(benchmark::State& state) { redefine(state, true); }
BENCHMARK(defined_names_redefine_elsewhere_read_by)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

void define_chain(plover_workbook_t* wb, int length) {
    for (int i = length - 1; i >= 0; --i) {
        const std::string next = "nm_" + std::to_string(i + 1);
        const std::string text = i == length - 1 ? "Sheet1!$A$1" : next + "+" + next;
        wb_set_defined_name(wb, ("nm_" + std::to_string(i)).c_str(), text.c_str(), nullptr);
    }
}

// Whether D1 (nm_0, its result given) loses its result when A1 changes.
bool follows_last_cell(plover_worksheet_t* ws) {
    ws_set_formula_num(ws, 1, 4, 7);
    ws_set_num(ws, 1, 1, 2);
    return ws_cell_type(ws, 1, 4) != CELLTYPE_NUMBER;
}

// Growth of the resident high-water mark over the resident bytes at `since`.
size_t peak_growth(size_t since) {
    return bench_memory::status_bytes("VmHWM") - std::min(since, bench_memory::status_bytes("VmHWM"));
}

// Each round files D1 anew while no name's reading is kept: a name defined
// and deleted beside the chain forgets them all.
void defined_names_file_chain_reader(benchmark::State& state) {
    book_t book;
    define_chain(book.wb, int(state.range(0)));
    size_t peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        wb_set_defined_name(book.wb, "Other", "Sheet1!$B$1", nullptr);
        wb_delete_defined_name(book.wb, wb_defined_name_num(book.wb) - 1);
        bench_memory::reset_peak_rss();
        const size_t before = bench_memory::status_bytes("VmRSS");
        state.ResumeTiming();
        ws_set_formula(book.ws, 1, 4, "nm_0");
        state.PauseTiming();
        peak = std::max(peak, peak_growth(before));
        state.ResumeTiming();
    }
    if (!follows_last_cell(book.ws)) state.SkipWithError("the reader does not follow the chain's cell");
    state.counters["peak_rss_growth"] = double(peak);
}
BENCHMARK(defined_names_file_chain_reader)->Arg(20)->Arg(40)->Iterations(500)->Unit(benchmark::kMicrosecond);

void defined_names_load_chain(benchmark::State& state) {
    const std::string path = (bench_scratch::dir() / ("chain" + std::to_string(state.range(0)) + ".xlsx")).string();
    {
        book_t book;
        define_chain(book.wb, int(state.range(0)));
        ws_set_formula(book.ws, 1, 4, "nm_0");
        ws_set_formula_num(book.ws, 1, 4, 7);
        doc_save(book.doc, path.c_str());
    }
    size_t peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        bench_memory::reset_peak_rss();
        const size_t before = bench_memory::status_bytes("VmRSS");
        state.ResumeTiming();
        plover_document_t* doc = doc_load(path.c_str());
        state.PauseTiming();
        peak = std::max(peak, peak_growth(before));
        if (!doc || !follows_last_cell(wb_get_sheet(doc_get_workbook(doc), 0)))
            state.SkipWithError("the loaded reader does not follow the chain's cell");
        doc_release(doc);
        state.ResumeTiming();
    }
    state.counters["peak_rss_growth"] = double(peak);
}
BENCHMARK(defined_names_load_chain)->Arg(20)->Arg(40)->Iterations(200)->Unit(benchmark::kMicrosecond);

// A sheet added beside 1,000 or 100,000 formulas, half of them naming another
// sheet: formulas that named it before it existed are read again, and only
// those should be looked at.
void defined_names_add_sheet_beside(benchmark::State& state) {
    const int formulas = int(state.range(0));
    book_t book;
    wb_add_worksheet(book.wb, "Data");
    for (int row = 1; row <= formulas; ++row)
        ws_set_formula(book.ws, row, 2, (std::string(row % 2 ? "Data!A" : "A") + std::to_string(row) + "*2").c_str());
    int added = 0;
    for (auto _ : state)
        for (int i = 0; i < names_per_round / 10; ++i) wb_add_worksheet(book.wb, ("Later" + std::to_string(++added)).c_str());
    state.SetItemsProcessed(added);
}
BENCHMARK(defined_names_add_sheet_beside)->Arg(1000)->Arg(100000)->Iterations(10)->Unit(benchmark::kMicrosecond);


enum shape_t { chain, layers, spans };
const char* const shape_words[] = {"chain", "layers", "spans"};

// The names of a shape, deepest first. The deepest read column B of Sheet1;
// the first is nm_0 (L0_0 for layers).
std::vector<std::pair<std::string, std::string>> shape_names(shape_t shape, int n) {
    std::vector<std::pair<std::string, std::string>> out;
    if (shape == layers) {
        const int depth = n / 4;
        const auto name = [](int layer, int k) { return "L" + std::to_string(layer) + "_" + std::to_string(k); };
        for (int layer = depth - 1; layer >= 0; --layer)
            for (int k = 0; k < 4; ++k) {
                std::string text = "Sheet1!$B$" + std::to_string(k + 1);
                if (layer + 1 < depth)
                    text = name(layer + 1, 0) + "+" + name(layer + 1, 1) + "+" + name(layer + 1, 2) + "+" + name(layer + 1, 3);
                out.emplace_back(name(layer, k), std::move(text));
            }
        return out;
    }
    for (int i = n - 1; i >= 0; --i) {
        const std::string next = "nm_" + std::to_string(i + 1);
        std::string text = i == n - 1 ? "Sheet1!$B$1" : shape == spans ? next + "+SUM(S1:S2!$A$1)" : next + "+" + next;
        out.emplace_back("nm_" + std::to_string(i), std::move(text));
    }
    return out;
}

// A book of sheets Sheet1, S1 and S2 listing the shape's names from the first
// (`first_first`) or from the deepest, with 2,000 cells of Sheet1 reading the first.
std::string write_shape(shape_t shape, int n, bool first_first) {
    const std::string path = (bench_scratch::dir() / (std::string(shape_words[shape]) + std::to_string(n) +
                                                      (first_first ? "_first" : "_deepest") + ".xlsx"))
                                 .string();
    if (std::filesystem::exists(path)) return path;
    using bench_package::add_entry;
    using bench_package::decl;
    const std::string od = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    const std::string main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    const std::string sheet_type = "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";
    std::string types = bench_package::content_types_head();
    std::string book = decl + "<workbook xmlns=\"" + main + "\" xmlns:r=\"" + od + "\"><sheets>";
    std::string rels = decl + "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    const char* const sheets[] = {"Sheet1", "S1", "S2"};
    for (int i = 1; i <= 3; ++i) {
        const std::string k = std::to_string(i);
        types += "<Override PartName=\"/xl/worksheets/sheet" + k + ".xml\" ContentType=\"" + sheet_type + "\"/>";
        book += "<sheet name=\"" + std::string(sheets[i - 1]) + "\" sheetId=\"" + k + "\" r:id=\"rId" + k + "\"/>";
        rels += "<Relationship Id=\"rId" + k + "\" Type=\"" + od + "/worksheet\" Target=\"worksheets/sheet" + k + ".xml\"/>";
    }
    auto names = shape_names(shape, n);
    if (first_first) std::reverse(names.begin(), names.end());
    book += "</sheets><definedNames>";
    for (const auto& [name, text] : names) book += "<definedName name=\"" + name + "\">" + text + "</definedName>";
    book += "</definedNames></workbook>";
    std::string first = "<worksheet xmlns=\"" + main + "\"><sheetData>";
    const std::string reads = shape == layers ? "L0_0" : "nm_0";
    for (int row = 1; row <= 2000; ++row) {
        const std::string r = std::to_string(row);
        first += "<row r=\"" + r + "\">" + (row == 1 ? "<c r=\"B1\"><v>1</v></c>" : "") + "<c r=\"D" + r +
                 "\"><f>" + reads + "</f><v>7</v></c></row>";
    }
    first += "</sheetData></worksheet>";
    vex::zip_archive zip;
    zip.create_zip_file(path);
    add_entry(zip, "[Content_Types].xml", types + "</Types>");
    add_entry(zip, "_rels/.rels",
              decl + "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                     "<Relationship Id=\"rId1\" Type=\"" + od + "/officeDocument\" Target=\"xl/workbook.xml\"/>"
                     "</Relationships>");
    add_entry(zip, "xl/workbook.xml", book);
    add_entry(zip, "xl/_rels/workbook.xml.rels", rels + "</Relationships>");
    add_entry(zip, "xl/worksheets/sheet1.xml", decl + first);
    for (int i = 2; i <= 3; ++i)
        add_entry(zip, "xl/worksheets/sheet" + std::to_string(i) + ".xml",
                  decl + "<worksheet xmlns=\"" + main + "\"><sheetData/></worksheet>");
    zip.close();
    return path;
}

void shape_label(benchmark::State& state) {
    state.SetLabel(std::string(shape_words[state.range(0)]) + (state.range(2) ? ", first name first" : ", deepest first"));
}

// Every name defined through the exports, deepest first (a name is refused
// before those it reads, and a span of sheets through the exports).
void defined_names_define_shape(benchmark::State& state) {
    const auto names = shape_names(shape_t(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        state.PauseTiming();
        auto book = std::make_unique<book_t>();
        state.ResumeTiming();
        for (const auto& [name, text] : names)
            if (!wb_set_defined_name(book->wb, name.c_str(), text.c_str(), nullptr)) state.SkipWithError(run_msg());
        state.PauseTiming();
        book.reset();
        state.ResumeTiming();
    }
    shape_label(state);
}
BENCHMARK(defined_names_define_shape)
    ->ArgsProduct({{chain, layers}, {2000, 8000}, {0}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// The book loaded, its 2,000 readers of the first name filed.
void defined_names_load_shape(benchmark::State& state) {
    const std::string path = write_shape(shape_t(state.range(0)), int(state.range(1)), state.range(2) != 0);
    for (auto _ : state) {
        plover_document_t* doc = doc_load(path.c_str());
        state.PauseTiming();
        if (!doc) state.SkipWithError(run_msg());
        doc_release(doc);
        state.ResumeTiming();
    }
    shape_label(state);
}
BENCHMARK(defined_names_load_shape)
    ->ArgsProduct({{chain, layers, spans}, {2000, 8000}, {0, 1}})
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);

// One row inserted at the top of Sheet1 of the loaded book: every name and
// every reader moves.
void defined_names_insert_beside_shape(benchmark::State& state) {
    const std::string path = write_shape(shape_t(state.range(0)), int(state.range(1)), state.range(2) != 0);
    plover_document_t* doc = doc_load(path.c_str());
    if (!doc) {
        state.SkipWithError(run_msg());
        return;
    }
    plover_worksheet_t* ws = wb_get_sheet(doc_get_workbook(doc), 0);
    for (auto _ : state)
        if (!ws_insert_row(ws, 1, 1)) state.SkipWithError(run_msg());
    doc_release(doc);
    shape_label(state);
}
BENCHMARK(defined_names_insert_beside_shape)
    ->ArgsProduct({{chain, layers, spans}, {2000, 8000}, {0, 1}})
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);

// A host's loops beside 2,000 or 8,000 names of Sheet1's cells: names local
// to Sheet1 defined one by one, and 200 sheets added one by one. Neither
// should read every name for each call: 8,000 within about 4 times 2,000.
void defined_names_local_defined_one_by_one(benchmark::State& state) {
    const int count = int(state.range(0));
    for (auto _ : state) {
        book_t book;
        for (int i = 0; i < count; ++i)
            wb_set_defined_name(book.wb, ("nm_" + std::to_string(i)).c_str(),
                                ("Sheet1!$A$" + std::to_string(i + 1) + "*2").c_str(), "Sheet1");
    }
}
BENCHMARK(defined_names_local_defined_one_by_one)->Arg(2000)->Arg(8000)->Iterations(2)->Unit(benchmark::kMillisecond);

void defined_names_sheets_added_beside(benchmark::State& state) {
    const int count = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto book = std::make_unique<book_t>();
        for (int i = 0; i < count; ++i)
            wb_set_defined_name(book->wb, ("nm_" + std::to_string(i)).c_str(),
                                ("Sheet1!$A$" + std::to_string(i + 1) + "*2").c_str(), nullptr);
        state.ResumeTiming();
        for (int i = 0; i < 200; ++i) wb_add_worksheet(book->wb, nullptr);
        state.PauseTiming();
        book.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(defined_names_sheets_added_beside)->Arg(2000)->Arg(8000)->Iterations(2)->Unit(benchmark::kMillisecond);

// A name local to each of 1,000 or 4,000 sheets (a print area, say) defined
// sheet by sheet, then deleted from the last: a call reads the names and
// tables of the name's spelling, not every sheet, so 4,000 cost within about
// 6 times 1,000.
void defined_names_local_to_each_sheet(benchmark::State& state) {
    const int n = int(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto book = std::make_unique<book_t>();
        std::vector<std::string> sheets;
        for (int i = 0; i < n; ++i) {
            wb_add_worksheet(book->wb, nullptr);
            sheets.emplace_back(wb_sheet_name(book->wb, int(wb_sheet_count(book->wb)) - 1));
        }
        state.ResumeTiming();
        for (const std::string& sheet : sheets)
            if (!wb_set_defined_name(book->wb, "Area", "Sheet1!$A$1:$B$2", sheet.c_str())) state.SkipWithError(run_msg());
        for (int i = n - 1; i >= 0; --i) wb_delete_defined_name(book->wb, i);
        state.PauseTiming();
        if (wb_defined_name_num(book->wb) != 0) state.SkipWithError("a name was kept");
        book.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(defined_names_local_to_each_sheet)->Arg(1000)->Arg(4000)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);

} // namespace
