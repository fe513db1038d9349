#include "ziputil.h"

#include "errors.h"
#include "what_of.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

using entry_list = std::vector<std::pair<std::string, std::string>>;

// Incompressible bytes, the same on every run.
std::string noise(std::size_t n) {
    std::mt19937 rng(7);
    std::string s(n, '\0');
    for (auto& c : s) c = char(rng());
    return s;
}

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void spill(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
}

// Little-endian fields of the zip headers.
std::uint32_t get(const std::string& b, std::size_t at, int bytes = 4) {
    std::uint32_t v = 0;
    while (bytes-- > 0) v = v << 8 | std::uint8_t(b[at + bytes]);
    return v;
}
void put(std::string& b, std::size_t at, std::uint32_t v, int bytes = 4) {
    for (int i = 0; i < bytes; ++i) b[at + i] = char(v >> 8 * i);
}

// Offsets of the central directory headers, read from the end record.
std::vector<std::size_t> central_headers(const std::string& zip) {
    const std::size_t end = zip.rfind("PK\x05\x06");
    std::vector<std::size_t> at;
    for (std::size_t p = get(zip, end + 16), n = get(zip, end + 10, 2); n > 0; --n) {
        at.push_back(p);
        p += 46 + get(zip, p + 28, 2) + get(zip, p + 30, 2) + get(zip, p + 32, 2);
    }
    return at;
}

class zip_test : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir_ = fs::temp_directory_path() / ("plover_zip_" + std::to_string(::getpid()) + "_" + test));
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const std::string& leaf) const { return (dir_ / leaf).string(); }

    // Each entry arrives through a sink bound to the archive, in pieces, as a
    // part writer hands over its buffer.
    std::string make(const std::string& leaf, const entry_list& entries) {
        const std::string file = path(leaf);
        vex::zip_archive zip;
        zip.create_zip_file(file);
        for (const auto& [name, data] : entries) {
            zip.add_file_to_zip(name);
            for (std::size_t at = 0; at < data.size(); at += 5000)
                zip.write_file_stream(name, data.data() + at, unsigned(std::min<std::size_t>(5000, data.size() - at)));
            zip.close_file_in_zip();
        }
        zip.close();
        return file;
    }

    // Rewrites the CRC and sizes of the first entry in both of its headers.
    std::string patched(const std::string& file, int field, std::uint32_t value) {
        std::string bytes = slurp(file);
        const std::size_t central = central_headers(bytes).at(0);
        const std::size_t local = get(bytes, central + 42);
        put(bytes, central + 16 + field * 4, value);
        put(bytes, local + 14 + field * 4, value);
        spill(file + ".bad", bytes);
        return file + ".bad";
    }

    fs::path dir_;
};

std::string read_in_chunks(vex::zip_archive& zip, std::string_view name, unsigned room) {
    std::string out;
    std::vector<char> buf(room);
    while (int n = zip.read(name, buf.data(), room, false)) {
        EXPECT_LE(unsigned(n), room);
        out.append(buf.data(), std::size_t(n));
    }
    return out;
}

const entry_list sample = {
    {"[Content_Types].xml", "<?xml version=\"1.0\"?><Types/>"},
    {"xl/workbook.xml", std::string(20000, 'w')},
    {"xl/media/image1.png", noise(70000)},
    {"docProps/empty.xml", ""},
};

} // namespace

TEST_F(zip_test, round_trip_lists_finds_and_reads) {
    vex::zip_archive zip;
    zip.open_zip_file(make("made/on/demand/book.xlsx", sample));
    ASSERT_EQ(zip.entries().size(), sample.size());
    for (std::size_t i = 0; i < sample.size(); ++i) {
        const auto& [name, data] = sample[i];
        EXPECT_EQ(zip.entries()[i].name, name);
        EXPECT_EQ(zip.file_size(name), data.size());
        EXPECT_EQ(zip.find_file_name(name), name);
        std::string whole(data.size(), '\0');
        EXPECT_EQ(zip.read(name, whole.data(), unsigned(whole.size()), true), int(data.size()));
        EXPECT_EQ(whole, data);
        EXPECT_EQ(zip.read_file(name, data.size()), data);
        EXPECT_EQ(read_in_chunks(zip, name, 8192), data);
    }
    EXPECT_TRUE(zip.has_file("[Content_Types].xml"));
    EXPECT_TRUE(zip.has_file("image1.png"));
    EXPECT_TRUE(zip.has_file(""));
    EXPECT_FALSE(zip.has_file("xl/workbook"));
    EXPECT_EQ(zip.file_size("nothing"), 0u);
    zip.close();
}

TEST_F(zip_test, chunks_switch_restart_and_zero_room) {
    const std::string big = noise(30000);
    vex::zip_archive zip;
    zip.open_zip_file(make("c.zip", {{"a.xml", big}, {"b.xml", "bee"}}));
    EXPECT_EQ(read_in_chunks(zip, "a.xml", 7), big);
    EXPECT_EQ(read_in_chunks(zip, "a.xml", 65536), big);  // starts again after the end

    char buf[16];
    ASSERT_EQ(zip.read("a.xml", buf, 10, false), 10);
    EXPECT_EQ(zip.read("a.xml", buf, 0, false), 0);  // no room is not the end
    ASSERT_EQ(zip.read("a.xml", buf, 4, false), 4);
    EXPECT_EQ(std::string(buf, 4), big.substr(10, 4));

    ASSERT_EQ(zip.read("b.xml", buf, 16, false), 3);  // another name leaves a.xml
    ASSERT_EQ(zip.read("a.xml", buf, 4, false), 4);
    EXPECT_EQ(std::string(buf, 4), big.substr(0, 4));

    std::string whole(big.size(), '\0');  // a whole read mid-way starts over
    EXPECT_EQ(zip.read("a.xml", whole.data(), unsigned(whole.size()), true), int(big.size()));
    EXPECT_EQ(whole, big);
}

TEST_F(zip_test, lookup_folds_ascii_case_only) {
    vex::zip_archive zip;
    zip.open_zip_file(make("k.zip", {{"xl/Workbook.xml", "wb"}, {"\xc3\xa9t\xc3\xa9.xml", "summer"}}));
    EXPECT_EQ(zip.read_file("XL/WORKBOOK.XML", 100), "wb");
    EXPECT_EQ(zip.find_file_name("XL/WORKBOOK.XML"), "");
    EXPECT_EQ(zip.file_size("xl/workbook.xml"), 0u);
    EXPECT_EQ(zip.read_file("\xc3\xa9T\xc3\xa9.xml", 100), "summer");
    EXPECT_EQ(what_of([&] { zip.read_file("\xc3\x89t\xc3\x89.xml", 100); }),
              "archive error: can not open file in zip: \xc3\x89t\xc3\x89.xml");
}

TEST_F(zip_test, names_past_256_bytes_round_trip) {
    const std::string name = "xl/" + std::string(300, 'n') + ".xml";
    vex::zip_archive zip;
    zip.open_zip_file(make("long.zip", {{name, "long"}}));
    ASSERT_EQ(zip.entries().size(), 1u);
    EXPECT_EQ(zip.entries()[0].name, name);
    std::string upper = name;
    upper[5] = 'N';
    EXPECT_EQ(zip.read_file(upper, 10), "long");

    vex::zip_archive writer;
    writer.create_zip_file(path("longer.zip"));
    const std::string too_long(65536, 'x');
    EXPECT_EQ(what_of([&] { writer.add_file_to_zip(too_long); }),
              "archive error: Failed to add '" + too_long + "' to the compressed file.");
    writer.close();
}

// 0xFFFF in the end record may be a saturated count, so minizip walks on past
// the last entry; an archive of exactly that many must still list whole.
TEST_F(zip_test, an_archive_of_65535_entries_lists_whole) {
    constexpr std::uint32_t count = 0xFFFF;
    std::string local, central;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::string name = std::to_string(i);
        std::string l(30, '\0'), c(46, '\0');
        put(l, 0, 0x04034b50), put(l, 4, 10, 2), put(l, 26, name.size(), 2);
        put(c, 0, 0x02014b50), put(c, 4, 20, 2), put(c, 6, 10, 2), put(c, 28, name.size(), 2), put(c, 42, local.size());
        local += l + name;
        central += c + name;
    }
    std::string end(22, '\0');
    put(end, 0, 0x06054b50), put(end, 8, count, 2), put(end, 10, count, 2);
    put(end, 12, central.size()), put(end, 16, local.size());
    fs::create_directories(dir_);
    spill(path("many.zip"), local + central + end);

    vex::zip_archive zip;
    zip.open_zip_file(path("many.zip"));
    ASSERT_EQ(zip.entries().size(), count);
    EXPECT_EQ(zip.read_file("65534", 0), "");
}

// Another reader sees the same entries, deflated and stamped 1 February 1980.
TEST_F(zip_test, another_reader_agrees) {
    if (std::system("python3 -c 'import zipfile' >/dev/null 2>&1") != 0) GTEST_SKIP() << "no python3";
    const std::string file = make("other.zip", sample);
    spill(path("check.py"), "import sys, zipfile\n"
                            "z = zipfile.ZipFile(sys.argv[1])\n"
                            "assert z.testzip() is None\n"
                            "for i in z.infolist(): print(i.filename, i.file_size, i.compress_type, *i.date_time)\n");
    std::string expected, out;
    for (const auto& [name, data] : sample) expected += name + " " + std::to_string(data.size()) + " 8 1980 2 1 0 0 0\n";
    FILE* p = ::popen(("python3 '" + path("check.py") + "' '" + file + "'").c_str(), "r");
    ASSERT_NE(p, nullptr);
    char buf[512];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    EXPECT_EQ(::pclose(p), 0);
    EXPECT_EQ(out, expected);
}

TEST_F(zip_test, refusals_name_what_failed) {
    vex::zip_archive zip;
    for (const char* p : {"", "dir/", "dir\\"})
        EXPECT_EQ(what_of([&] { zip.create_zip_file(p); }), "archive error: The saved file name cannot be empty.");
    const std::string missing = path("missing.zip");
    EXPECT_EQ(what_of([&] { zip.open_zip_file(missing); }), "archive error: Can not open file: " + missing);
    fs::create_directories(dir_);
    spill(path("plain.txt"), "not a zip");
    EXPECT_EQ(what_of([&] { zip.open_zip_file(path("plain.txt")); }),
              "archive error: Can not open file: " + path("plain.txt"));
    EXPECT_EQ(what_of([&] { zip.create_zip_file(dir_.string() + "/."); }),
              "archive error: Can not create file: '" + dir_.string() +
                  "/.'. Please check if the file has been opened or if the file name is illegal.");
    EXPECT_THROW(zip.create_zip_file(path("plain.txt/x.zip")), fs::filesystem_error);

    EXPECT_EQ(what_of([&] { zip.add_file_to_zip("a"); }), "archive error: Failed to add 'a' to the compressed file.");
    EXPECT_EQ(what_of([&] { zip.write_file_stream("a", "x", 1); }), "archive error: Failed to write file: a");
    zip.close_file_in_zip();  // nothing open: nothing to do
    char c;
    EXPECT_EQ(what_of([&] { zip.read("a", &c, 1, true); }), "archive error: can not open file in zip: a");

    zip.open_zip_file(make("r.zip", {{"a", "x"}}));
    EXPECT_EQ(what_of([&] { zip.read("b", &c, 1, true); }), "archive error: can not open file in zip: b");
}

TEST_F(zip_test, hostile_archives_fail_cleanly) {
    const std::string file = make("h.zip", {{"a.xml", std::string(4000, 'q')}, {"b.xml", "fine"}});
    const std::string bytes = slurp(file);
    const auto saved = [&](const std::string& leaf, const std::string& b) { return spill(path(leaf), b), path(leaf); };
    const std::string checksum = "archive error: checksum mismatch in file in zip: a.xml";
    const std::string cut_short = "archive error: file in zip ends before its declared size: a.xml";
    vex::zip_archive zip;

    const std::string cut = saved("cut.zip", bytes.substr(0, bytes.size() / 2));
    EXPECT_EQ(what_of([&] { zip.open_zip_file(cut); }), "archive error: Can not open file: " + cut);
    std::string extra_entries = bytes;  // the end record claims more entries than follow
    put(extra_entries, extra_entries.rfind("PK\x05\x06") + 8, 3u << 16 | 3u);
    EXPECT_EQ(what_of([&] { zip.open_zip_file(saved("count.zip", extra_entries)); }),
              "archive error: can not get file list in zip file.");

    zip.open_zip_file(patched(file, 0, get(bytes, central_headers(bytes)[0] + 16) ^ 1));
    EXPECT_EQ(what_of([&] { zip.read_file("a.xml", 1 << 20); }), checksum);
    EXPECT_EQ(what_of([&] { read_in_chunks(zip, "a.xml", 1000); }), checksum);
    EXPECT_EQ(zip.read_file("b.xml", 10), "fine");  // the rest stays readable

    // A declared size far past the data must not be believed, for allocation
    // nor for completeness.
    char buf[8192];
    zip.open_zip_file(patched(file, 2, 0xFFFFFFF0u));
    EXPECT_EQ(zip.file_size("a.xml"), 0xFFFFFFF0u);
    EXPECT_EQ(what_of([&] { zip.read_file("a.xml", 1 << 20); }), cut_short);
    EXPECT_EQ(what_of([&] { zip.read("a.xml", buf, sizeof buf, true); }), cut_short);
    // A smaller declared size stops the inflating early, and the checksum tells.
    zip.open_zip_file(patched(file, 2, 100));
    EXPECT_EQ(what_of([&] { zip.read_file("a.xml", 1 << 20); }), checksum);

    std::string garbled = bytes;  // deflate data that does not inflate
    garbled.replace(get(bytes, central_headers(bytes)[0] + 42) + 30 + 5, 8, 8, char(0xFF));
    zip.open_zip_file(saved("garbled.zip", garbled));
    EXPECT_THROW(zip.read_file("a.xml", 1 << 20), archive_error);
    zip.close();
}

TEST_F(zip_test, reads_stop_at_the_callers_bound) {
    const std::string bomb(8 << 20, '\0');
    vex::zip_archive zip;
    zip.open_zip_file(make("bomb.zip", {{"bomb.xml", bomb}}));
    EXPECT_EQ(what_of([&] { zip.read_file("bomb.xml", 65536); }),
              "archive error: file in zip is larger than 65536 bytes: bomb.xml");
    char room[1000];
    EXPECT_EQ(what_of([&] { zip.read("bomb.xml", room, sizeof room, true); }),
              "archive error: file in zip is larger than 1000 bytes: bomb.xml");
    EXPECT_EQ(zip.read_file("bomb.xml", bomb.size()).size(), bomb.size());
}

TEST_F(zip_test, a_full_disk_is_never_reported_as_success) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    vex::zip_archive small;
    small.create_zip_file("/dev/full");
    small.add_file_to_zip("a.xml");
    small.write_file_stream("a.xml", "tiny", 4);  // still in a buffer
    EXPECT_EQ(what_of([&] { small.close_file_in_zip(); }), "archive error: Failed to write file: a.xml");
    EXPECT_EQ(what_of([&] { small.close(); }), "archive error: Failed to close the compressed file.");

    const std::string big = noise(1 << 20);
    vex::zip_archive large;
    large.create_zip_file("/dev/full");
    large.add_file_to_zip("big.bin");
    EXPECT_EQ(what_of([&] { large.write_file_stream("big.bin", big.data(), unsigned(big.size())); }),
              "archive error: Failed to write file: big.bin");
    EXPECT_EQ(what_of([&] { large.close(); }), "archive error: Failed to close the compressed file.");
}

TEST_F(zip_test, destructor_closes_without_throwing) {
    const std::string file = path("left.zip");
    {
        vex::zip_archive zip;
        zip.create_zip_file(file);
        zip.add_file_to_zip("open.xml");
        zip.write_file_stream("open.xml", "still open", 10);
    }
    vex::zip_archive zip;
    zip.open_zip_file(file);
    EXPECT_EQ(zip.read_file("open.xml", 100), "still open");
    char c;
    zip.read("open.xml", &c, 1, false);  // an entry left open on purpose
}
