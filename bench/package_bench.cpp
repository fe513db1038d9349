// Loading and saving a package of 1,000,000 cells (100,000 rows x 10) through
// the document object, beside zlib inflating and deflating the same sheet bytes
// at the same level: compression is the floor of a save, inflation of a load.
// The sheet is read into the cell store and written by a generating stand-in
// until the sheet writer exists.
#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worksheet.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/document/xml_document.h"
#include "kestrel/parts/part.h"
#include "kestrel/xml/xl_xml/writers/stand_in_writer.h"
#include "xml/sxml_parser.h"
#include "ziputil.h"

#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <zlib.h>

#include <charconv>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int sheet_rows = 100000;
constexpr int sheet_cols = 10;
constexpr const char* sheet_entry = "xl/worksheets/sheet1.xml";
constexpr const char* main_ns = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr const char* od = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

// Numbers as a sheet writer puts them: whole and fractional, of varied length.
void write_sheet(vex::xml::xml_stream_writer& w) {
    char text[32];
    w.write_raw("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n");
    w.start_element("worksheet");
    w.write_attribute("xmlns", main_ns);
    w.write_attribute("xmlns:r", od);
    w.close_start_tag();
    w.start_element("sheetData");
    w.close_start_tag();
    std::uint32_t seed = 2463534242u;
    for (int row = 1; row <= sheet_rows; ++row) {
        const std::string_view r(text, std::to_chars(text, text + sizeof text, row).ptr);
        const std::string row_text(r);
        w.start_element("row");
        w.write_attribute("r", row_text);
        w.close_start_tag();
        for (int col = 0; col < sheet_cols; ++col) {
            seed ^= seed << 13;
            seed ^= seed >> 17;
            seed ^= seed << 5;
            char ref[16] = {char('A' + col)};
            std::memcpy(ref + 1, row_text.data(), row_text.size());
            w.start_element("c");
            w.write_attribute("r", std::string_view(ref, row_text.size() + 1));
            w.close_start_tag();
            w.start_element("v");
            w.close_start_tag();
            const double value = col % 2 ? double(seed % 100000) : double(seed % 10000000) / 100.0;
            w.write_text(std::string_view(text, std::to_chars(text, text + sizeof text, value).ptr));
            w.end_element("v");
            w.end_element("c");
        }
        w.end_element("row");
    }
    w.end_element("sheetData");
    w.end_element("worksheet");
}

class generating_writer final : public vex::output_handler {
public:
    explicit generating_writer(vex::xml_part_t& part) : part_(part) {}
    void write() override { write_sheet(*part_.get_xml_writer()); }

private:
    vex::xml_part_t& part_;
};

std::unique_ptr<vex::output_handler> make_generating_writer(vex::xml_part_t& part) {
    return std::make_unique<generating_writer>(part);
}

// The workbook: its sheet list, so that the saved package loads again.
class workbook_writer final : public vex::output_handler {
public:
    explicit workbook_writer(vex::xml_part_t& part) : part_(part) {}
    void write() override {
        vex::xml::xml_stream_writer& w = *part_.get_xml_writer();
        w.start_element("workbook");
        w.write_attribute("xmlns", main_ns);
        w.write_attribute("xmlns:r", od);
        w.close_start_tag();
        w.start_element("sheets");
        w.close_start_tag();
        int n = 0;
        for (const auto& child : part_.get_child_parts()) {
            if (child->kind() != vex::part_kind_enum::worksheet_part || !child->get_relationship_id()) continue;
            const std::string id = std::to_string(++n);
            w.start_element("sheet");
            w.write_attribute("name", "Sheet" + id);
            w.write_attribute("sheetId", id);
            w.write_attribute("r:id", child->get_relationship_id());
            w.end_empty_element();
        }
        w.end_element("sheets");
        w.end_element("workbook");
    }

private:
    vex::xml_part_t& part_;
};

std::unique_ptr<vex::output_handler> make_workbook_writer(vex::xml_part_t& part) {
    return std::make_unique<workbook_writer>(part);
}

void install_writers(vex::xml_document_t& doc) {
    doc.stand_in_writers().set(vex::part_kind_enum::worksheet_part, &make_generating_writer);
    doc.stand_in_writers().set(vex::part_kind_enum::workbook_part, &make_workbook_writer);
}

struct counts_t {
    std::uint64_t cells = 0;
    std::uint64_t value_bytes = 0;
} counted;

vex::xml::sxml::status_t count_cells(const vex::xml::sxml::xml_node_t* node) {
    if (node->closed && node->kind == vex::xml::sxml::node_kind::element && node->name) {
        if (std::strcmp(node->name, "c") == 0) ++counted.cells;
        else if (std::strcmp(node->name, "v") == 0 && node->text) counted.value_bytes += std::strlen(node->text);
    }
    return vex::xml::sxml::status_t::done;
}

void add_entry(vex::zip_archive& zip, const std::string& name, const std::string& bytes) {
    zip.add_file_to_zip(name);
    zip.write_file_stream(name, bytes.data(), unsigned(bytes.size()));
    zip.close_file_in_zip();
}

// The files, made once: a one-sheet package with an empty sheet, and that
// package saved with the generated sheet.
struct fixture_t {
    fs::path dir;
    std::string seed;
    std::string saved;
    std::string sheet_xml;    // the generated sheet's bytes
    std::string sheet_zlib;   // zlib's deflating of them

    fixture_t() {
        std::string t = (fs::temp_directory_path() / "plover_package_bench_XXXXXX").string();
        dir = ::mkdtemp(t.data());
        seed = (dir / "seed.xlsx").string();
        saved = (dir / "saved.xlsx").string();
        const std::string decl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
        const std::string pr = "http://schemas.openxmlformats.org/package/2006/relationships";
        vex::zip_archive zip;
        zip.create_zip_file(seed);
        add_entry(zip, "[Content_Types].xml",
                  decl + "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                         "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                         "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                         "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
                         "<Override PartName=\"/xl/worksheets/sheet1.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
                         "</Types>");
        add_entry(zip, "_rels/.rels",
                  decl + "<Relationships xmlns=\"" + pr + "\"><Relationship Id=\"rId1\" Type=\"" + od +
                      "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>");
        add_entry(zip, "xl/workbook.xml",
                  decl + "<workbook xmlns=\"" + main_ns + "\" xmlns:r=\"" + od +
                      "\"><sheets><sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>");
        add_entry(zip, "xl/_rels/workbook.xml.rels",
                  decl + "<Relationships xmlns=\"" + pr + "\"><Relationship Id=\"rId1\" Type=\"" + od +
                      "/worksheet\" Target=\"worksheets/sheet1.xml\"/></Relationships>");
        add_entry(zip, sheet_entry, decl + "<worksheet xmlns=\"" + main_ns + "\"><sheetData/></worksheet>");
        zip.close();

        {
            vex::xml::xml_stream_writer w([this](const char* data, unsigned size) { sheet_xml.append(data, size); });
            write_sheet(w);
            w.flush();
        }
        sheet_zlib = zlib_deflate(sheet_xml);

        vex::xml_document_t doc;
        install_writers(doc);
        doc.load(seed.c_str(), false);
        doc.save(saved.c_str(), 2);
    }
    ~fixture_t() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    static std::string zlib_deflate(const std::string& in) {
        z_stream z{};
        deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        std::string out(deflateBound(&z, uLong(in.size())), '\0');
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
        z.avail_in = uInt(in.size());
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = uInt(out.size());
        deflate(&z, Z_FINISH);
        out.resize(out.size() - z.avail_out);
        deflateEnd(&z);
        return out;
    }
};

fixture_t& fixture() {
    static fixture_t f;
    return f;
}

void report_bytes(benchmark::State& state) {
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(fixture().sheet_xml.size()));
    state.counters["sheet_bytes"] = double(fixture().sheet_xml.size());
}

void BM_package_save_1m_cells(benchmark::State& state) {
    fixture_t& f = fixture();
    vex::xml_document_t doc;
    install_writers(doc);
    doc.load(f.seed.c_str(), false);
    const std::string out = (f.dir / "out.xlsx").string();
    for (auto _ : state) doc.save(out.c_str(), 2);
    vex::zip_archive zip;
    zip.open_zip_file(out);
    if (zip.file_size(sheet_entry) != f.sheet_xml.size()) state.SkipWithError("the saved sheet differs");
    state.counters["package_bytes"] = double(fs::file_size(out));
    report_bytes(state);
}
BENCHMARK(BM_package_save_1m_cells)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_package_load_1m_cells(benchmark::State& state) {
    fixture_t& f = fixture();
    bool complete = false;
    for (auto _ : state) {
        vex::xml_document_t doc;
        doc.load(f.saved.c_str(), false);
        const vex::worksheet_t* sheet = doc.workbook()->sheet_at(0);
        const vex::worktable_t* table = sheet ? sheet->worktable() : nullptr;
        complete = table && table->get_cell(sheet_rows, sheet_cols).get_num().has_value();
    }
    if (!complete) state.SkipWithError("cells were lost");
    state.counters["cells"] = double(std::uint64_t(sheet_rows) * sheet_cols);
    report_bytes(state);
}
BENCHMARK(BM_package_load_1m_cells)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// The load's two halves apart, as the load drives them (chunks of 8 KiB): the
// archive's chunked read of the sheet entry, and the parser over its bytes.
constexpr unsigned load_chunk = 8192;

void BM_sheet_chunked_read(benchmark::State& state) {
    const fixture_t& f = fixture();
    vex::zip_archive zip;
    zip.open_zip_file(f.saved);
    std::vector<char> buffer(load_chunk);
    std::uint64_t total = 0;
    for (auto _ : state) {
        total = 0;
        while (const int n = zip.read(sheet_entry, buffer.data(), load_chunk, false)) total += unsigned(n);
    }
    if (total != f.sheet_xml.size()) state.SkipWithError("short read");
    report_bytes(state);
}
BENCHMARK(BM_sheet_chunked_read)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_sheet_parse_only(benchmark::State& state) {
    const fixture_t& f = fixture();
    vex::xml::sxml::sxml_parser parser(vex::xml::sxml::load_options);
    std::vector<char> buffer(load_chunk);
    for (auto _ : state) {
        counted = {};
        parser.reset();
        vex::xml::sxml::xml_node_t* root = nullptr;
        std::size_t tail = 0;
        for (std::size_t at = 0; at < f.sheet_xml.size();) {
            const std::size_t n = std::min<std::size_t>(load_chunk - tail, f.sheet_xml.size() - at);
            std::memcpy(buffer.data() + tail, f.sheet_xml.data() + at, n);
            at += n;
            const std::size_t length = tail + n;
            parser.parse(sheet_entry, buffer.data(), length, tail, root, &count_cells);
            if (tail) std::memmove(buffer.data(), buffer.data() + length - tail, tail);
        }
        parser.parse(sheet_entry, nullptr, 0, tail, root, &count_cells);
    }
    if (counted.cells != std::uint64_t(sheet_rows) * sheet_cols) state.SkipWithError("cells were lost");
    report_bytes(state);
}
BENCHMARK(BM_sheet_parse_only)->Unit(benchmark::kMillisecond)->UseRealTime();

// The peers: the same sheet bytes in memory, zlib at its default level.
void BM_zlib_deflate_sheet(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(fixture_t::zlib_deflate(fixture().sheet_xml).size());
    state.counters["deflated_bytes"] = double(fixture().sheet_zlib.size());
    report_bytes(state);
}
BENCHMARK(BM_zlib_deflate_sheet)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_zlib_inflate_sheet(benchmark::State& state) {
    const fixture_t& f = fixture();
    std::string out(f.sheet_xml.size(), '\0');
    for (auto _ : state) {
        z_stream z{};
        inflateInit2(&z, -MAX_WBITS);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(f.sheet_zlib.data()));
        z.avail_in = uInt(f.sheet_zlib.size());
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = uInt(out.size());
        if (inflate(&z, Z_FINISH) != Z_STREAM_END) state.SkipWithError("inflate failed");
        inflateEnd(&z);
    }
    report_bytes(state);
}
BENCHMARK(BM_zlib_inflate_sheet)->Unit(benchmark::kMillisecond)->UseRealTime();

// What the archive deflates with, for comparison with the peer.
void BM_libdeflate_deflate_sheet(benchmark::State& state) {
    const fixture_t& f = fixture();
    libdeflate_compressor* c = libdeflate_alloc_compressor(6);
    std::vector<char> out(libdeflate_deflate_compress_bound(c, f.sheet_xml.size()));
    std::size_t n = 0;
    for (auto _ : state) {
        n = libdeflate_deflate_compress(c, f.sheet_xml.data(), f.sheet_xml.size(), out.data(), out.size());
        benchmark::DoNotOptimize(n);
    }
    libdeflate_free_compressor(c);
    state.counters["deflated_bytes"] = double(n);
    report_bytes(state);
}
BENCHMARK(BM_libdeflate_deflate_sheet)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
