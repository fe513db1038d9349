// Saving and loading a sheet of 1,000, 2,000 and 4,000 comments: the comments
// part and the VML notes are written from the comment store and read back
// into it. The time per comment should stay flat as the count grows.
#include "kestrel/core/components/workbook.h"
#include "kestrel/core/components/worksheet.h"
#include "kestrel/core/components/worktable.h"
#include "kestrel/document/xml_document.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::string scratch_path(const char* name) {
    return (fs::temp_directory_path() / ("plover_comments_" + std::to_string(::getpid()) + name)).string();
}

// Comments down two columns, two runs each, from three authors.
void fill(vex::xml_document_t& doc, int count) {
    doc.create_package();
    vex::worksheet_t* sheet = doc.workbook()->insert_worksheet("Notes", ~0ull);
    vex::worktable_t* table = sheet->create_worktable__(1048576, 16384, {});
    static const char* const authors[] = {"Ann", "Bo", "Cy"};
    for (int i = 0; i < count; ++i) {
        vex::mta::richtext_t text;
        vex::mta::richtext_segment_t head;
        head.text = authors[i % 3];
        head.text += ":";
        head.font.bold = 1;
        text.append(head);
        vex::mta::richtext_segment_t body;
        body.text = " note number " + std::to_string(i);
        text.append(body);
        table->comments().add(i / 2 + 1, i % 2 + 1, std::move(text), authors[i % 3]);
    }
}

size_t comments_of(const vex::xml_document_t& doc) { return doc.workbook()->sheet_at(0)->worktable()->comments().size(); }

void bm_save_comments(benchmark::State& state) {
    const int count = int(state.range(0));
    vex::xml_document_t doc;
    fill(doc, count);
    const std::string path = scratch_path("_save.xlsx");
    for (auto _ : state) doc.save(path.c_str(), 2);
    vex::xml_document_t check;
    check.load(path.c_str(), false);
    if (comments_of(check) != size_t(count)) state.SkipWithError("the saved sheet lost comments");
    fs::remove(path);
    state.SetItemsProcessed(state.iterations() * count);
}

void bm_load_comments(benchmark::State& state) {
    const int count = int(state.range(0));
    const std::string path = scratch_path("_load.xlsx");
    {
        vex::xml_document_t doc;
        fill(doc, count);
        doc.save(path.c_str(), 2);
    }
    size_t loaded = 0;
    for (auto _ : state) {
        vex::xml_document_t doc;
        doc.load(path.c_str(), false);
        loaded = comments_of(doc);
        benchmark::DoNotOptimize(loaded);
    }
    if (loaded != size_t(count)) state.SkipWithError("the load lost comments");
    fs::remove(path);
    state.SetItemsProcessed(state.iterations() * count);
}

} // namespace

BENCHMARK(bm_save_comments)->Arg(1000)->Arg(2000)->Arg(4000)->Unit(benchmark::kMillisecond);
BENCHMARK(bm_load_comments)->Arg(1000)->Arg(2000)->Arg(4000)->Unit(benchmark::kMillisecond);
