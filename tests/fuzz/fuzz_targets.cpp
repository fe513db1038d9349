#include "fuzz_targets.h"

#include "plover.h"
#include "ziputil.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <unistd.h>

namespace plover_fuzz {

namespace fs = std::filesystem;

namespace {

struct base_entry_t {
    std::string name;
    std::string bytes;
};

const std::vector<base_entry_t>& base_package() {
    static const std::vector<base_entry_t> entries = [] {
        std::vector<base_entry_t> out;
        vex::zip_archive zip;
        zip.open_zip_file(PLOVER_FUZZ_BASE);
        for (const vex::zip_entry_t& e : zip.entries()) out.push_back({e.name, zip.read_file(e.name, e.size)});
        return out;
    }();
    return entries;
}

// One file per process and purpose, so that parallel fuzzing jobs and test
// runs do not meet.
fs::path scratch(std::string_view what) {
    return fs::temp_directory_path() /
           ("plover-fuzz-" + std::to_string(::getpid()) + "-" + std::string(what) + ".xlsx");
}

std::string read_whole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void write_whole(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string message() {
    const char* m = run_msg();
    return m ? m : "";
}

} // namespace

const std::vector<target_t>& targets() {
    static const std::vector<target_t> all = {
        {"package", ""},
        {"content_types", "[Content_Types].xml"},
        {"relationships", "xl/_rels/workbook.xml.rels"},
        {"workbook", "xl/workbook.xml"},
        {"sheet", "xl/worksheets/sheet1.xml"},
        {"sheet_relationships", "xl/worksheets/_rels/sheet1.xml.rels"},
        {"styles", "xl/styles.xml"},
        {"shared_strings", "xl/sharedStrings.xml"},
        {"table", "xl/tables/table1.xml"},
        {"drawing", "xl/drawings/drawing1.xml"},
        {"comments", "xl/comments1.xml"},
        {"vml", "xl/drawings/vmlDrawing1.vml"},
    };
    return all;
}

const target_t* find_target(std::string_view name) {
    for (const target_t& t : targets())
        if (t.name == name) return &t;
    return nullptr;
}

std::string package_for(const target_t& target, const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    if (target.entry.empty()) return std::string(input);
    const fs::path path = scratch("part");
    {
        vex::zip_archive zip;
        zip.create_zip_file(path.string());
        for (const base_entry_t& e : base_package()) {
            const std::string_view bytes = e.name == target.entry ? input : std::string_view(e.bytes);
            zip.add_file_to_zip(e.name);
            zip.write_file_stream(e.name, bytes.data(), unsigned(bytes.size()));
            zip.close_file_in_zip();
        }
        zip.close();
    }
    std::string bytes = read_whole(path);
    fs::remove(path);
    return bytes;
}

outcome_t run(const target_t& target, const std::uint8_t* data, std::size_t size) {
    outcome_t outcome;
    const fs::path in = scratch("in");
    const fs::path out = scratch("out");
    write_whole(in, package_for(target, data, size));
    if (plover_document_t* doc = load_document(in.string().c_str())) {
        outcome.loaded = true;
        outcome.saved = doc_save(doc, out.string().c_str()) != 0;
        if (!outcome.saved) outcome.message = message();
        doc_release(doc);
        // What the library wrote it must read again.
        if (outcome.saved) {
            plover_document_t* again = load_document(out.string().c_str());
            if (!again) throw std::runtime_error("the saved copy does not load: " + message());
            doc_release(again);
        }
    } else {
        outcome.message = message();
    }
    std::error_code ec;
    fs::remove(in, ec);
    fs::remove(out, ec);
    return outcome;
}

} // namespace plover_fuzz
