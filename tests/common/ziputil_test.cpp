#include "ziputil.h"

#include "errors.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

using entry_list = std::vector<std::pair<std::string, std::string>>;

// Incompressible bytes, the same on every run.
std::string noise(std::size_t n, std::uint32_t seed = 2463534242u) {
    std::string s(n, '\0');
    for (auto& c : s) {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        c = char(seed);
    }
    return s;
}

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void spill(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
}

std::uint32_t u32(const std::string& b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | std::uint8_t(b[at + i]);
    return v;
}
unsigned u16(const std::string& b, std::size_t at) { return std::uint8_t(b[at]) | std::uint8_t(b[at + 1]) << 8; }
void put32(std::string& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = char(v >> 8 * i);
}
void put16(std::string& b, std::size_t at, unsigned v) {
    b[at] = char(v);
    b[at + 1] = char(v >> 8);
}

// Offsets of the central directory headers, read from the end record.
std::vector<std::size_t> central_headers(const std::string& zip) {
    const std::size_t end = zip.rfind("PK\x05\x06");
    std::vector<std::size_t> at;
    for (std::size_t p = u32(zip, end + 16), n = u16(zip, end + 10); n > 0; --n) {
        at.push_back(p);
        p += 46 + u16(zip, p + 28) + u16(zip, p + 30) + u16(zip, p + 32);
    }
    return at;
}

class zip_test : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("plover_zip_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
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
            using namespace std::placeholders;
            const std::function<void(const char*, unsigned int)> sink =
                std::bind(&vex::zip_archive::write_file_stream, &zip, std::string_view(name), _1, _2);
            for (std::size_t at = 0; at < data.size(); at += 5000)
                sink(data.data() + at, unsigned(std::min<std::size_t>(5000, data.size() - at)));
            zip.close_file_in_zip();
        }
        zip.close();
        return file;
    }

    // Rewrites the CRC and sizes of the first entry in both of its headers.
    std::string patched(const std::string& file, int field, std::uint32_t value) {
        std::string bytes = slurp(file);
        const std::size_t central = central_headers(bytes).at(0);
        const std::size_t local = u32(bytes, central + 42);
        put32(bytes, central + 16 + field * 4, value);
        put32(bytes, local + 14 + field * 4, value);
        spill(file + ".bad", bytes);
        return file + ".bad";
    }

    fs::path dir_;
};

template <typename F>
std::string failure_of(F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no failure";
}

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
    const std::string file = make("made/on/demand/book.xlsx", sample);
    vex::zip_archive zip;
    zip.open_zip_file(file);
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
    const std::string file = make("c.zip", {{"a.xml", big}, {"b.xml", "bee"}});
    vex::zip_archive zip;
    zip.open_zip_file(file);
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
    const std::string file = make("k.zip", {{"xl/Workbook.xml", "wb"}, {"\xc3\xa9t\xc3\xa9.xml", "summer"}});
    vex::zip_archive zip;
    zip.open_zip_file(file);
    EXPECT_EQ(zip.read_file("XL/WORKBOOK.XML", 100), "wb");
    EXPECT_EQ(zip.find_file_name("XL/WORKBOOK.XML"), "");
    EXPECT_EQ(zip.file_size("xl/workbook.xml"), 0u);
    EXPECT_EQ(zip.read_file("\xc3\xa9T\xc3\xa9.xml", 100), "summer");
    EXPECT_EQ(failure_of([&] { zip.read_file("\xc3\x89t\xc3\x89.xml", 100); }),
              "archive error: can not open file in zip: \xc3\x89t\xc3\x89.xml");
}

TEST_F(zip_test, names_past_256_bytes_round_trip) {
    const std::string name = "xl/" + std::string(300, 'n') + ".xml";
    const std::string file = make("long.zip", {{name, "long"}});
    vex::zip_archive zip;
    zip.open_zip_file(file);
    ASSERT_EQ(zip.entries().size(), 1u);
    EXPECT_EQ(zip.entries()[0].name, name);
    std::string upper = name;
    upper[5] = 'N';
    EXPECT_EQ(zip.read_file(upper, 10), "long");

    vex::zip_archive writer;
    writer.create_zip_file(path("longer.zip"));
    const std::string too_long(65536, 'x');
    EXPECT_EQ(failure_of([&] { writer.add_file_to_zip(too_long); }),
              "archive error: Failed to add '" + too_long + "' to the compressed file.");
    writer.close();
}

TEST_F(zip_test, entries_are_deflated_and_stamped_1_february_1980) {
    const std::string bytes = slurp(make("stamp.zip", sample));
    const auto headers = central_headers(bytes);
    ASSERT_EQ(headers.size(), sample.size());
    for (const std::size_t at : headers) {
        EXPECT_EQ(u16(bytes, at + 10), 8u);                // deflate
        EXPECT_EQ(u16(bytes, at + 12), 0u);                // 00:00:00
        EXPECT_EQ(u16(bytes, at + 14), (2u << 5) | 1u);    // 1980-02-01
    }
    EXPECT_EQ(u16(bytes, bytes.rfind("PK\x05\x06") + 20), 0u);  // no archive comment
}

TEST_F(zip_test, another_reader_agrees) {
    const std::string file = make("other.zip", sample);
    const std::string script = path("check.py");
    spill(script,
          "import sys, zipfile\n"
          "z = zipfile.ZipFile(sys.argv[1])\n"
          "assert z.testzip() is None\n"
          "for i in z.infolist():\n"
          "    print(i.filename, i.file_size, i.compress_type, *i.date_time)\n");
    std::string expected;
    for (const auto& [name, data] : sample) expected += name + " " + std::to_string(data.size()) + " 8 1980 2 1 0 0 0\n";

    auto run = [](const std::string& command, std::string& out) {
        FILE* p = ::popen(command.c_str(), "r");
        if (!p) return false;
        char buf[512];
        while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
        return ::pclose(p) == 0;
    };
    std::string out;
    if (std::system("python3 -c 'import zipfile' >/dev/null 2>&1") == 0) {
        ASSERT_TRUE(run("python3 '" + script + "' '" + file + "'", out)) << out;
        EXPECT_EQ(out, expected);
    } else if (std::system("unzip -v >/dev/null 2>&1") == 0) {
        ASSERT_TRUE(run("unzip -tq '" + file + "' && unzip -l '" + file + "'", out)) << out;
        for (const auto& [name, data] : sample) EXPECT_NE(out.find(name), std::string::npos) << name;
        EXPECT_NE(out.find("02-01-1980 00:00"), std::string::npos) << out;
    } else {
        GTEST_SKIP() << "neither python3 nor unzip is installed";
    }
}

TEST_F(zip_test, refusals_name_what_failed) {
    vex::zip_archive zip;
    for (const char* p : {"", "dir/", "dir\\"})
        EXPECT_EQ(failure_of([&] { zip.create_zip_file(p); }), "archive error: The saved file name cannot be empty.");
    const std::string missing = path("missing.zip");
    EXPECT_EQ(failure_of([&] { zip.open_zip_file(missing); }), "archive error: Can not open file: " + missing);
    fs::create_directories(dir_);
    spill(path("plain.txt"), "not a zip");
    EXPECT_EQ(failure_of([&] { zip.open_zip_file(path("plain.txt")); }),
              "archive error: Can not open file: " + path("plain.txt"));
    EXPECT_EQ(failure_of([&] { zip.create_zip_file(dir_.string() + "/."); }),
              "archive error: Can not create file: '" + dir_.string() +
                  "/.'. Please check if the file has been opened or if the file name is illegal.");
    EXPECT_THROW(zip.create_zip_file(path("plain.txt/x.zip")), fs::filesystem_error);

    EXPECT_EQ(failure_of([&] { zip.add_file_to_zip("a"); }), "archive error: Failed to add 'a' to the compressed file.");
    EXPECT_EQ(failure_of([&] { zip.write_file_stream("a", "x", 1); }), "archive error: Failed to write file: a");
    zip.close_file_in_zip();  // nothing open: nothing to do
    char c;
    EXPECT_EQ(failure_of([&] { zip.read("a", &c, 1, true); }), "archive error: can not open file in zip: a");

    zip.open_zip_file(make("r.zip", {{"a", "x"}}));
    EXPECT_EQ(failure_of([&] { zip.read("b", &c, 1, true); }), "archive error: can not open file in zip: b");
}

TEST_F(zip_test, hostile_archives_fail_cleanly) {
    const std::string text(4000, 'q');
    const std::string file = make("h.zip", {{"a.xml", text}, {"b.xml", "fine"}});
    const std::string bytes = slurp(file);
    vex::zip_archive zip;

    spill(path("cut.zip"), bytes.substr(0, bytes.size() / 2));
    EXPECT_EQ(failure_of([&] { zip.open_zip_file(path("cut.zip")); }),
              "archive error: Can not open file: " + path("cut.zip"));

    std::string extra_entries = bytes;  // the end record claims more entries than follow
    const std::size_t end = extra_entries.rfind("PK\x05\x06");
    put16(extra_entries, end + 8, 3);
    put16(extra_entries, end + 10, 3);
    spill(path("count.zip"), extra_entries);
    EXPECT_EQ(failure_of([&] { zip.open_zip_file(path("count.zip")); }),
              "archive error: can not get file list in zip file.");

    char buf[8192];
    zip.open_zip_file(patched(file, 0, u32(bytes, central_headers(bytes)[0] + 16) ^ 1));
    EXPECT_EQ(failure_of([&] { zip.read_file("a.xml", 1 << 20); }),
              "archive error: checksum mismatch in file in zip: a.xml");
    EXPECT_EQ(failure_of([&] { read_in_chunks(zip, "a.xml", 1000); }),
              "archive error: checksum mismatch in file in zip: a.xml");
    EXPECT_EQ(zip.read_file("b.xml", 10), "fine");  // the rest stays readable

    // A declared size far past the data must not be believed, for allocation
    // nor for completeness.
    zip.open_zip_file(patched(file, 2, 0xFFFFFFF0u));
    EXPECT_EQ(zip.file_size("a.xml"), 0xFFFFFFF0u);
    EXPECT_EQ(failure_of([&] { zip.read_file("a.xml", 1 << 20); }),
              "archive error: file in zip ends before its declared size: a.xml");
    EXPECT_EQ(failure_of([&] { zip.read("a.xml", buf, sizeof buf, true); }),
              "archive error: file in zip ends before its declared size: a.xml");

    // A smaller declared size stops the inflating early, and the checksum tells.
    zip.open_zip_file(patched(file, 2, 100));
    EXPECT_EQ(failure_of([&] { zip.read_file("a.xml", 1 << 20); }),
              "archive error: checksum mismatch in file in zip: a.xml");

    std::string garbled = bytes;  // deflate data that does not inflate
    const std::size_t data = u32(bytes, central_headers(bytes)[0] + 42) + 30 + 5;
    for (std::size_t i = data; i < data + 8; ++i) garbled[i] = char(0xFF);
    spill(path("garbled.zip"), garbled);
    zip.open_zip_file(path("garbled.zip"));
    EXPECT_THROW(zip.read_file("a.xml", 1 << 20), archive_error);
    zip.close();
}

TEST_F(zip_test, reads_stop_at_the_callers_bound) {
    const std::string bomb(8 << 20, '\0');
    vex::zip_archive zip;
    zip.open_zip_file(make("bomb.zip", {{"bomb.xml", bomb}}));
    EXPECT_EQ(failure_of([&] { zip.read_file("bomb.xml", 65536); }),
              "archive error: file in zip is larger than 65536 bytes: bomb.xml");
    char room[1000];
    EXPECT_EQ(failure_of([&] { zip.read("bomb.xml", room, sizeof room, true); }),
              "archive error: file in zip is larger than 1000 bytes: bomb.xml");
    EXPECT_EQ(zip.read_file("bomb.xml", bomb.size()).size(), bomb.size());
}

TEST_F(zip_test, a_full_disk_is_never_reported_as_success) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    vex::zip_archive small;
    small.create_zip_file("/dev/full");
    small.add_file_to_zip("a.xml");
    small.write_file_stream("a.xml", "tiny", 4);  // still in a buffer
    EXPECT_EQ(failure_of([&] { small.close_file_in_zip(); }), "archive error: Failed to write file: a.xml");
    EXPECT_EQ(failure_of([&] { small.close(); }), "archive error: Failed to close the compressed file.");

    const std::string big = noise(1 << 20);
    vex::zip_archive large;
    large.create_zip_file("/dev/full");
    large.add_file_to_zip("big.bin");
    EXPECT_EQ(failure_of([&] { large.write_file_stream("big.bin", big.data(), unsigned(big.size())); }),
              "archive error: Failed to write file: big.bin");
    EXPECT_EQ(failure_of([&] { large.close(); }), "archive error: Failed to close the compressed file.");
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
