// Small archives whose central records give sizes and offsets only in zip64
// extra fields, and archives of more entries than the plain end record counts.

#include "ziputil.h"

#include "errors.h"
#include "tests/zip64_support.h"
#include "what_of.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using zip64_test::entry_t;
using zip64_test::layout_t;

namespace {

struct zip64_files : ::testing::Test {
    fs::path dir;
    void SetUp() override {
        const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        dir = fs::temp_directory_path() / ("plover_zip64_" + std::to_string(::getpid()) + "_" + test);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string write(const std::string& leaf, const std::string& bytes) const {
        const std::string p = (dir / leaf).string();
        std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
        return p;
    }
};

std::string body(char c, std::size_t n) { return "<a>" + std::string(n, c) + "</a>"; }

std::string in_chunks(vex::zip_archive& zip, const std::string& name) {
    std::string out, chunk(700, '\0');
    while (const int n = zip.read(name, chunk.data(), unsigned(chunk.size()), false)) out.append(chunk.data(), n);
    return out;
}

} // namespace

// Once "can not open file in zip: ..." for every deferred offset, and for
// sizes the local header gives while the central record defers them.
TEST_F(zip64_files, sizes_and_offsets_only_in_the_zip64_field_are_read) {
    const std::vector<entry_t> entries = {
        {"[Content_Types].xml", body('c', 40)},
        {"stored.xml", body('s', 5000)},
        {"deflated.xml", body('d', 20000), true},
        {"empty.xml", ""},
    };
    const struct {
        const char* what;
        layout_t how;
    } layouts[] = {
        {"sizes", {true, false, false}},
        {"offsets", {false, true, false}},
        {"sizes and offsets", {true, true, false}},
        {"all, with the zip64 end records", {true, true, true}},
        {"plain, with the zip64 end records", {false, false, true}},
    };
    for (const auto& l : layouts) {
        const std::string file = write("a.zip", zip64_test::build(entries, l.how));
        vex::zip_archive zip;
        ASSERT_EQ(what_of([&] { zip.open_zip_file(file); }), "no exception") << l.what;
        ASSERT_EQ(zip.entries().size(), entries.size()) << l.what;
        for (const entry_t& e : entries) {
            EXPECT_EQ(zip.file_size(e.name), e.data.size()) << l.what << " " << e.name;
            EXPECT_EQ(zip.read_file(e.name, 1 << 20), e.data) << l.what << " " << e.name;
            EXPECT_EQ(in_chunks(zip, e.name), e.data) << l.what << " " << e.name;
            // As held: written back by a save without inflating.
            const vex::zip_stored_t held = zip.stored_form(e.name);
            std::string stored(held.stored_size, '\0');
            zip.read_stored(e.name, stored.data());
            EXPECT_EQ(stored, e.deflated ? zip64_test::raw_deflate(e.data) : e.data) << l.what << " " << e.name;
        }
        zip.close();
    }
}

// The guards hold for what zip64 fields declare: sizes past the bound, and
// two entries naming one local header through their offsets.
TEST_F(zip64_files, declared_zip64_sizes_and_offsets_meet_the_guards) {
    const layout_t all{true, true, false};
    vex::zip_archive zip;
    zip.open_zip_file(write("big.zip", zip64_test::build({{"big.xml", body('b', 100), false, 6ull << 30}}, all)));
    EXPECT_EQ(zip.file_size("big.xml"), 6ull << 30);
    EXPECT_EQ(zip.inflatable_size("big.xml"), 107u);  // never room for what it declares
    EXPECT_EQ(what_of([&] { zip.read_file("big.xml", 1 << 20); }),
              "archive error: file in zip is larger than 1048576 bytes: big.xml");
    zip.close();

    const std::string shared = write("shared.zip", zip64_test::build({{"a.xml", body('a', 100)},
                                                                      {"b.xml", body('a', 100), false, 0, 0}},
                                                                     all));
    EXPECT_EQ(what_of([&] { zip.open_zip_file(shared); }), "archive error: zip entries overlap: a.xml and b.xml");
}

// Once "can not open file in zip" past the 65535th: 100,018 entries, each
// record deferring to zip64 fields.
TEST_F(zip64_files, more_entries_than_the_plain_end_record_counts) {
    std::vector<entry_t> entries;
    for (int i = 0; i < 100018; ++i) entries.push_back({"e" + std::to_string(i), std::to_string(i)});
    const std::string file = write("many.zip", zip64_test::build(entries, {true, true, true}));
    vex::zip_archive zip;
    zip.open_zip_file(file);
    ASSERT_EQ(zip.entries().size(), entries.size());
    for (const int i : {0, 65534, 65535, 65536, 100017})
        EXPECT_EQ(zip.read_file("e" + std::to_string(i), 10), std::to_string(i)) << i;
}
