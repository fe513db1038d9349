// Saving and loading a sheet of 1,000, 2,000 and 4,000 pictures, each of its
// own bytes, with a table: the time per picture should not grow with their
// number (the drawing's anchors, its image parts and their relationships).
#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worksheet.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/document/xml_document.h"
#include "mta/table/utils/drawing/image/table_image.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

void put_be32(std::vector<uint8_t>& b, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) b.push_back(uint8_t(v >> shift));
}

// A PNG header of the given size: only headers are read.
std::vector<uint8_t> png(uint32_t width, uint32_t height) {
    std::vector<uint8_t> b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    put_be32(b, 13);
    for (char c : {'I', 'H', 'D', 'R'}) b.push_back(uint8_t(c));
    put_be32(b, width);
    put_be32(b, height);
    for (uint8_t v : {8, 2, 0, 0, 0}) b.push_back(v);
    put_be32(b, 0);  // CRC, not checked
    return b;
}

struct scratch {
    fs::path dir;
    scratch() {
        std::string t = (fs::temp_directory_path() / "plover_drawing_XXXXXX").string();
        dir = ::mkdtemp(t.data());
    }
    ~scratch() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

// A workbook of one sheet holding n pictures down column B and a table.
void fill(vex::xml_document_t& doc, int64_t n) {
    doc.create_package();
    vex::worktable_t* table = doc.workbook()->insert_worksheet("Pictures", 0)->create_worktable__(1048576, 16384, {});
    for (int64_t i = 0; i < n; ++i) {
        const std::vector<uint8_t> bytes = png(uint32_t(16 + i % 64), uint32_t(8 + i / 64));
        table->add_one_cell_image_from_memory(bytes.data(), bytes.size(), int32_t(i * 3 + 1), 2, 0, 0, 1.0, 1, 1);
    }
    vex::range_t r{};
    r.first.row = 1, r.first.col = 5, r.last.row = 20, r.last.col = 7;
    table->add_tabledef("Stock", r, nullptr);
}

void BM_save_pictures(benchmark::State& state) {
    scratch s;
    vex::xml_document_t doc;
    fill(doc, state.range(0));
    const std::string out = (s.dir / "out.xlsx").string();
    for (auto _ : state) doc.save(out.c_str(), 2);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_load_pictures(benchmark::State& state) {
    scratch s;
    const std::string path = (s.dir / "in.xlsx").string();
    {
        vex::xml_document_t doc;
        fill(doc, state.range(0));
        doc.save(path.c_str(), 2);
    }
    for (auto _ : state) {
        vex::xml_document_t doc;
        doc.load(path.c_str(), false);
        const vex::worktable_t* table = doc.workbook()->sheet_at(0)->worktable();
        if (table->get_image_manager()->image_num(table->sheet_id()) != state.range(0))
            state.SkipWithError("pictures lost");
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(BM_save_pictures)->Arg(1000)->Arg(2000)->Arg(4000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_load_pictures)->Arg(1000)->Arg(2000)->Arg(4000)->Unit(benchmark::kMillisecond);
