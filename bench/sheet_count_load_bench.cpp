// Loading packages of many small sheets: the time per sheet should not grow
// with the number of sheets.
#include "kestrel/document/xml_document.h"
#include "bench/package_parts.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

const std::string od = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

std::string relationship(const std::string& id, const std::string& type, const std::string& target) {
    return "<Relationship Id=\"" + id + "\" Type=\"" + od + type + "\" Target=\"" + target + "\"/>";
}

// A workbook of n sheets, each a worksheet part of its own with one cell.
std::string write_package(int n) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("plover_sheets_" + std::to_string(::getpid()) + "_" + std::to_string(n) + ".xlsx"))
                                 .string();
    using bench_package::add_entry;
    using bench_package::decl;
    const std::string sheet_type = "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml";
    std::string types = bench_package::content_types_head();
    std::string book = decl + "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                              "xmlns:r=\"" + od.substr(0, od.size() - 1) + "\"><sheets>";
    std::string book_rels = decl + "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                                   "relationships\">";
    for (int i = 1; i <= n; ++i) {
        const std::string k = std::to_string(i);
        types += "<Override PartName=\"/xl/worksheets/sheet" + k + ".xml\" ContentType=\"" + sheet_type + "\"/>";
        book += "<sheet name=\"Sheet" + k + "\" sheetId=\"" + k + "\" r:id=\"rId" + k + "\"/>";
        book_rels += relationship("rId" + k, "worksheet", "worksheets/sheet" + k + ".xml");
    }
    types += "</Types>";
    book += "</sheets></workbook>";
    book_rels += "</Relationships>";

    vex::zip_archive zip;
    zip.create_zip_file(path);
    add_entry(zip, "[Content_Types].xml", types);
    add_entry(zip, "_rels/.rels",
              decl + "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">" +
                  relationship("rId1", "officeDocument", "xl/workbook.xml") + "</Relationships>");
    add_entry(zip, "xl/workbook.xml", book);
    add_entry(zip, "xl/_rels/workbook.xml.rels", book_rels);
    for (int i = 1; i <= n; ++i)
        add_entry(zip, "xl/worksheets/sheet" + std::to_string(i) + ".xml",
                  decl + "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                         "<sheetData><row r=\"1\"><c r=\"A1\"><v>" + std::to_string(i) +
                         "</v></c></row></sheetData></worksheet>");
    zip.close();
    return path;
}

void BM_load_sheets(benchmark::State& state) {
    const int n = int(state.range(0));
    const std::string path = write_package(n);
    for (auto _ : state) {
        vex::xml_document_t doc;
        doc.load(path.c_str(), false);
        benchmark::DoNotOptimize(doc.workbook_part());
    }
    std::filesystem::remove(path);
    // Seconds per sheet.
    state.counters["per_sheet"] =
        benchmark::Counter(double(n), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_load_sheets)->Arg(1000)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
