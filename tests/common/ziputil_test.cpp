#include "ziputil.h"

#include "clients.h"
#include "errors.h"
#include "what_of.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
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
    std::string make(const std::string& leaf, const entry_list& entries,
                     std::uint64_t whole_entry_limit = vex::zip_archive::default_whole_entry_limit,
                     std::size_t piece = 5000) {
        const std::string file = path(leaf);
        vex::zip_archive zip;
        zip.set_whole_entry_limit(whole_entry_limit);
        zip.create_zip_file(file);
        for (const auto& [name, data] : entries) {
            zip.add_file_to_zip(name);
            for (std::size_t at = 0; at < data.size(); at += piece)
                zip.write_file_stream(name, data.data() + at, unsigned(std::min(piece, data.size() - at)));
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

    // Runs a Python 3 script in the test's directory; the caller requires
    // python3.
    void python(const std::string& script) {
        fs::create_directories(dir_);
        spill(path("make.py"), script);
        ASSERT_EQ(std::system(("cd '" + dir_.string() + "' && python3 make.py").c_str()), 0) << script;
    }

    fs::path dir_;
};

// What the command prints; a failing command adds a failure.
std::string output_of(const std::string& command) {
    std::string out;
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) {
        ADD_FAILURE() << "cannot run " << command;
        return out;
    }
    char buf[4096];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    EXPECT_EQ(::pclose(p), 0) << command;
    return out;
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

// Whatever the operation, a name present byte for byte means that entry.
TEST_F(zip_test, an_exact_name_wins_over_a_case_folded_one) {
    vex::zip_archive zip;
    zip.open_zip_file(make("both.zip", {{"xl/Workbook.xml", "upper"}, {"xl/workbook.xml", "lower!"}}));
    char buf[16];
    for (const auto& [name, data] : entry_list{{"xl/Workbook.xml", "upper"}, {"xl/workbook.xml", "lower!"}}) {
        EXPECT_EQ(zip.find_file_name(name), name);
        EXPECT_EQ(zip.file_size(name), data.size());
        EXPECT_EQ(zip.read_file(name, 100), data);
        EXPECT_EQ(read_in_chunks(zip, name, 4), data);
        ASSERT_EQ(zip.read(name, buf, unsigned(data.size()), true), int(data.size()));
        EXPECT_EQ(std::string(buf, data.size()), data);
    }
    EXPECT_EQ(zip.read_file("XL/WORKBOOK.XML", 100), "upper");  // else the first folded one
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

// minizip reads neither sizes held in zip64 extra fields nor entries counted
// past 65535 without the zip64 end records.
TEST_F(zip_test, zip64_archives_read_as_another_reader_writes_them) {
    REQUIRE_CLIENT("python3");
    // Zip64 local headers; sizes only in zip64 fields of the directory (both,
    // or only the uncompressed one beside an unknown extra block); a writer
    // that cannot seek back.
    python(R"(import io, struct, zipfile
def body(c, n): return b'<a>' + c * n + b'</a>'
with zipfile.ZipFile('local.zip', 'w') as z:
    for name, c, method in (('d.xml', b'd', zipfile.ZIP_DEFLATED), ('s.xml', b's', zipfile.ZIP_STORED)):
        with z.open(zipfile.ZipInfo(name), 'w', force_zip64=True) as f:
            f.write(body(c, 5000))
z = zipfile.ZipFile('local.zip')
limit = zipfile.ZIP64_LIMIT
zipfile.ZIP64_LIMIT = 100
for name, method in (('dir_d.zip', zipfile.ZIP_DEFLATED), ('dir_s.zip', zipfile.ZIP_STORED)):
    with zipfile.ZipFile(name, 'w', method) as z:
        z.writestr('a.xml', body(b'z', 3000))
zipfile.ZIP64_LIMIT = limit
b = bytearray(open('dir_d.zip', 'rb').read())
c = b.find(b'PK\x01\x02')
extra = c + 46 + struct.unpack_from('<H', b, c + 28)[0]
usize, csize = struct.unpack_from('<QQ', b, extra + 4)
struct.pack_into('<I', b, c + 20, csize)
struct.pack_into('<HHQHHI', b, extra, 1, 8, usize, 0x9999, 4, 0)
open('dir_u.zip', 'wb').write(b)
class pipe(io.RawIOBase):
    def __init__(self): self.data = bytearray()
    def writable(self): return True
    def write(self, d): self.data += d; return len(d)
out = pipe()
with zipfile.ZipFile(out, 'w', zipfile.ZIP_DEFLATED) as z:
    with z.open('p.xml', 'w', force_zip64=True) as f:
        f.write(body(b'p', 7000))
open('stream.zip', 'wb').write(out.data)
)");
    const auto body = [](char c, std::size_t n) { return "<a>" + std::string(n, c) + "</a>"; };
    const std::pair<const char*, entry_list> archives[] = {
        {"local.zip", {{"d.xml", body('d', 5000)}, {"s.xml", body('s', 5000)}}},
        {"dir_d.zip", {{"a.xml", body('z', 3000)}}},
        {"dir_s.zip", {{"a.xml", body('z', 3000)}}},
        {"dir_u.zip", {{"a.xml", body('z', 3000)}}},
        {"stream.zip", {{"p.xml", body('p', 7000)}}},
    };
    for (const auto& [file, entries] : archives) {
        vex::zip_archive zip;
        zip.open_zip_file(path(file));
        ASSERT_EQ(zip.entries().size(), entries.size()) << file;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const auto& [name, data] = entries[i];
            EXPECT_EQ(zip.entries()[i].name, name) << file;
            EXPECT_EQ(zip.file_size(name), data.size()) << file;
            EXPECT_EQ(zip.read_file(name, 1 << 20), data) << file;
            EXPECT_EQ(read_in_chunks(zip, name, 1000), data) << file;
            std::string whole(data.size(), '\0');
            EXPECT_EQ(zip.read(name, whole.data(), unsigned(whole.size()), true), int(data.size())) << file;
            EXPECT_EQ(what_of([&] { zip.read_file(name, data.size() - 1); }),
                      "archive error: file in zip is larger than " + std::to_string(data.size() - 1) + " bytes: " + name);
        }
    }
}

TEST_F(zip_test, past_65535_entries_the_zip64_end_records_are_written) {
    constexpr int count = 70000;
    const std::string file = path("many.zip");
    {
        vex::zip_archive zip;
        zip.create_zip_file(file);
        for (int i = 0; i < count; ++i) {
            const std::string name = std::to_string(i);
            zip.add_file_to_zip(name);
            zip.write_file_stream(name, name.data(), unsigned(name.size()));
        }
        zip.close();
    }
    vex::zip_archive zip;
    zip.open_zip_file(file);
    ASSERT_EQ(zip.entries().size(), std::size_t(count));
    EXPECT_EQ(zip.entries().back().name, "69999");
    EXPECT_EQ(zip.read_file("69999", 10), "69999");
    EXPECT_EQ(zip.read_file("65536", 10), "65536");
    zip.close();
    if (std::system("unzip -v >/dev/null 2>&1") == 0) {
        EXPECT_EQ(std::system(("unzip -tqq '" + file + "'").c_str()), 0);
    }
    REQUIRE_CLIENT("python3");
    spill(path("count.py"), "import sys, zipfile\nsys.exit(len(zipfile.ZipFile(sys.argv[1]).infolist()) != 70000)\n");
    EXPECT_EQ(std::system(("python3 '" + path("count.py") + "' '" + file + "'").c_str()), 0);
}

TEST_F(zip_test, entries_minizip_cannot_read_are_refused_before_any_byte) {
    REQUIRE_CLIENT("python3");
    // The encrypted one: a stored entry with the encryption bit set in both headers.
    python(R"(import zipfile
with zipfile.ZipFile('methods.zip', 'w') as z:
    z.writestr(zipfile.ZipInfo('bz.xml'), b'<a>bzip2</a>' * 50, zipfile.ZIP_BZIP2)
    z.writestr(zipfile.ZipInfo('xz.xml'), b'<a>lzma</a>' * 50, zipfile.ZIP_LZMA)
    z.writestr(zipfile.ZipInfo('secret.xml'), b'<a>plain bytes</a>', zipfile.ZIP_STORED)
    z.writestr(zipfile.ZipInfo('fine.xml'), b'<a/>', zipfile.ZIP_DEFLATED)
b = bytearray(open('methods.zip', 'rb').read())
for sig, flag, name in ((b'PK\x03\x04', 6, 30), (b'PK\x01\x02', 8, 46)):
    p = b.find(sig)
    while p >= 0:
        if b[p + name:p + name + 10] == b'secret.xml': b[p + flag] |= 1
        p = b.find(sig, p + 1)
open('methods.zip', 'wb').write(b)
)");
    vex::zip_archive zip;
    zip.open_zip_file(path("methods.zip"));
    const std::pair<const char*, const char*> refused[] = {
        {"bz.xml", " (compression method 12 is not supported)"},
        {"xz.xml", " (compression method 14 is not supported)"},
        {"secret.xml", " (encrypted)"},
    };
    for (const auto& [name, reason] : refused) {
        const std::string expected = std::string("archive error: can not open file in zip: ") + name + reason;
        std::string buf(1000, '#');
        EXPECT_EQ(what_of([&] { zip.read(name, buf.data(), unsigned(buf.size()), true); }), expected);
        EXPECT_EQ(what_of([&] { zip.read(name, buf.data(), unsigned(buf.size()), false); }), expected);
        EXPECT_EQ(buf, std::string(1000, '#'));
        EXPECT_EQ(what_of([&] { zip.read_file(name, 1000); }), expected);
    }
    EXPECT_EQ(zip.read_file("fine.xml", 10), "<a/>");
}

TEST_F(zip_test, a_name_twice_in_the_directory_is_refused) {
    vex::zip_archive zip;
    const std::string file = make("twice.zip", {{"a.xml", "first"}, {"b.xml", ""}, {"a.xml", "second"}});
    EXPECT_EQ(what_of([&] { zip.open_zip_file(file); }), "archive error: duplicate file name in zip: a.xml");
    EXPECT_TRUE(zip.entries().empty());
    // Names that differ in case only are two entries.
    zip.open_zip_file(make("cased.zip", {{"a.xml", "1"}, {"A.xml", "2"}}));
    EXPECT_EQ(zip.entries().size(), 2u);
}

// Entries sharing bytes let a small archive inflate far past its size, read
// through many names: refused when the archive opens.
TEST_F(zip_test, entries_whose_bytes_overlap_are_refused) {
    const std::string file = make("o.zip", {{"a.xml", std::string(4000, 'q')}, {"b.xml", "fine"}});
    const std::string bytes = slurp(file);
    const auto heads = central_headers(bytes);
    const std::string refused = "archive error: zip entries overlap: a.xml and b.xml";
    vex::zip_archive zip;

    std::string same = bytes;  // b names a's header and data
    for (const std::size_t field : {16u, 20u, 24u, 42u}) put(same, heads[1] + field, get(bytes, heads[0] + field));
    spill(path("same.zip"), same);
    EXPECT_EQ(what_of([&] { zip.open_zip_file(path("same.zip")); }), refused);
    EXPECT_TRUE(zip.entries().empty());

    // a's data reaching over b's header, as nested overlapping entries are made.
    const std::uint32_t reach = get(bytes, heads[1] + 42) + 10 - (get(bytes, heads[0] + 42) + 30 + 5);
    EXPECT_EQ(what_of([&] { zip.open_zip_file(patched(file, 1, reach)); }), refused);

    zip.open_zip_file(file);  // entries side by side
    EXPECT_EQ(zip.read_file("b.xml", 10), "fine");
}

// An entry read as held and added so is copied, not deflated again, in its
// place among entries written the usual way.
TEST_F(zip_test, entries_copied_as_held_read_back_the_same) {
    const std::string deflated = make("in.zip", {{"a.xml", std::string(40000, 'a')}, {"b.bin", noise(3000)}});
    std::string bytes = slurp(deflated);
    const auto heads = central_headers(bytes);
    ASSERT_EQ(get(bytes, heads[0] + 10, 2), 8u);
    vex::zip_archive in, out;
    in.open_zip_file(deflated);
    out.create_zip_file(path("out.zip"));
    for (const char* name : {"a.xml", "b.bin"}) {
        const vex::zip_stored_t how = in.stored_form(name);
        std::shared_ptr<char[]> held = std::make_shared<char[]>(how.stored_size);
        in.read_stored(name, held.get());
        out.add_stored_file(name, held, how);
    }
    out.add_file_to_zip("c.xml");  // written the usual way after them
    out.write_file_stream("c.xml", "after", 5);
    out.close();
    EXPECT_EQ(in.stored_form("a.xml").stored_size, get(bytes, heads[0] + 20));

    vex::zip_archive back;
    back.open_zip_file(path("out.zip"));
    EXPECT_EQ(back.read_file("a.xml", 1 << 20), std::string(40000, 'a'));
    EXPECT_EQ(back.read_file("b.bin", 1 << 20), noise(3000));
    EXPECT_EQ(back.read_file("c.xml", 1 << 20), "after");

    // An entry stored without compression is copied as stored.
    REQUIRE_CLIENT("python3");
    python("import zipfile\nzipfile.ZipFile('stored.zip', 'w', zipfile.ZIP_STORED).writestr('s.xml', 'plain ' * 500)\n");
    vex::zip_archive stored, copy;
    stored.open_zip_file(path("stored.zip"));
    const vex::zip_stored_t how = stored.stored_form("s.xml");
    EXPECT_EQ(how.method, 0);
    EXPECT_EQ(how.stored_size, how.size);
    std::shared_ptr<char[]> held = std::make_shared<char[]>(how.stored_size);
    stored.read_stored("s.xml", held.get());
    copy.create_zip_file(path("copy.zip"));
    copy.add_stored_file("s.xml", held, how);
    copy.close();
    back.open_zip_file(path("copy.zip"));
    std::string plain;
    for (int i = 0; i < 500; ++i) plain += "plain ";
    EXPECT_EQ(back.read_file("s.xml", 1 << 20), plain);
    EXPECT_EQ(back.stored_form("s.xml").method, 0);
}

TEST_F(zip_test, an_archive_without_entries_opens_empty) {
    vex::zip_archive zip;
    zip.open_zip_file(make("none.zip", {}));
    EXPECT_TRUE(zip.entries().empty());
    EXPECT_FALSE(zip.has_file(""));
    EXPECT_EQ(zip.file_size("a"), 0u);
    char c;
    EXPECT_EQ(what_of([&] { zip.read("a", &c, 1, true); }), "archive error: can not open file in zip: a");
    if (test_clients::found("python3")) {
        python("import zipfile\nzipfile.ZipFile('py.zip', 'w').close()\n");
        zip.open_zip_file(path("py.zip"));
        EXPECT_TRUE(zip.entries().empty());
    }
    // The end record alone, but claiming an entry, is no archive.
    std::string bytes = slurp(path("none.zip"));
    put(bytes, 8, 1, 2);
    spill(path("claims.zip"), bytes);
    EXPECT_EQ(what_of([&] { zip.open_zip_file(path("claims.zip")); }), "archive error: Can not open file: " + path("claims.zip"));
}

TEST_F(zip_test, names_beyond_ascii_carry_the_utf8_flag) {
    const std::string file = make("names.zip", {{"plain.xml", "a"}, {"\xc3\xa9t\xc3\xa9.xml", "b"}});
    const std::string bytes = slurp(file);
    std::vector<std::uint32_t> flags;
    for (std::size_t at : central_headers(bytes)) {
        flags.push_back(get(bytes, at + 8, 2) & 0x800);
        EXPECT_EQ(get(bytes, get(bytes, at + 42) + 6, 2) & 0x800, flags.back());  // the local header agrees
    }
    EXPECT_EQ(flags, (std::vector<std::uint32_t>{0, 0x800}));
}

// Another reader sees the same entries, deflated and stamped 1 February 1980.
TEST_F(zip_test, another_reader_agrees) {
    REQUIRE_CLIENT("python3");
    const std::string file = make("other.zip", sample);
    spill(path("check.py"), "import sys, zipfile\n"
                            "z = zipfile.ZipFile(sys.argv[1])\n"
                            "assert z.testzip() is None\n"
                            "for i in z.infolist(): print(i.filename, i.file_size, i.compress_type, *i.date_time)\n");
    std::string expected;
    for (const auto& [name, data] : sample) expected += name + " " + std::to_string(data.size()) + " 8 1980 2 1 0 0 0\n";
    EXPECT_EQ(output_of("python3 '" + path("check.py") + "' '" + file + "'"), expected);
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

// Deflated bytes that stop inside the stream (a compressed size too small)
// end the entry early, whole or in chunks, and say so.
TEST_F(zip_test, a_stream_cut_short_is_refused) {
    const std::string data = noise(50000);
    const std::string file = make("short.zip", {{"a.bin", data}, {"b.xml", "fine"}});
    const std::string cut = patched(file, 1, get(slurp(file), central_headers(slurp(file))[0] + 20) / 2);
    const std::string message = "archive error: file in zip ends before its declared size: a.bin";
    vex::zip_archive zip;
    zip.open_zip_file(cut);
    EXPECT_EQ(what_of([&] { zip.read_file("a.bin", 1 << 20); }), message);
    EXPECT_EQ(what_of([&] { read_in_chunks(zip, "a.bin", 4096); }), message);
    std::string whole(data.size(), '\0');
    EXPECT_EQ(what_of([&] { zip.read("a.bin", whole.data(), unsigned(whole.size()), true); }), message);
    EXPECT_EQ(zip.read_file("b.xml", 10), "fine");
}

// Room is made for what an entry's held bytes can inflate to: the declared
// size of an honest entry, far less for a short one declaring 2 GiB.
TEST_F(zip_test, an_entry_inflates_to_no_more_than_its_held_bytes_allow) {
    const std::string file = make("sizes.zip", {{"a.xml", std::string(40000, 'a')}, {"b.bin", noise(3000)}});
    vex::zip_archive zip;
    zip.open_zip_file(file);
    EXPECT_EQ(zip.inflatable_size("a.xml"), 40000u);
    EXPECT_EQ(zip.inflatable_size("b.bin"), 3000u);

    vex::zip_archive lying;
    lying.open_zip_file(patched(file, 2, 0x80000000u));
    const std::uint64_t held = lying.stored_form("a.xml").stored_size;
    EXPECT_EQ(lying.inflatable_size("a.xml"), held * 1032 + 1024);
    EXPECT_EQ(what_of([&] { lying.read_file("a.xml", 0x80000000u); }),
              "archive error: file in zip ends before its declared size: a.xml");
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

    // A large entry is deflated in the background: its write fails when it
    // reaches the file, at the latest when the archive is closed.
    const std::string big = noise(1 << 20);
    vex::zip_archive large;
    large.create_zip_file("/dev/full");
    large.add_file_to_zip("big.bin");
    large.write_file_stream("big.bin", big.data(), unsigned(big.size()));
    const std::string at_entry_end = what_of([&] { large.close_file_in_zip(); });
    if (at_entry_end != "no exception") {
        EXPECT_EQ(at_entry_end, "archive error: Failed to write file: big.bin");
    }
    EXPECT_EQ(what_of([&] { large.close(); }), "archive error: Failed to close the compressed file.");

    // Past the whole-entry limit an entry is deflated as it arrives, and fails so.
    vex::zip_archive streamed;
    streamed.set_whole_entry_limit(0);
    streamed.create_zip_file("/dev/full");
    streamed.add_file_to_zip("big.bin");
    const std::string twice = big + big;
    EXPECT_EQ(what_of([&] { streamed.write_file_stream("big.bin", twice.data(), unsigned(twice.size())); }),
              "archive error: Failed to write file: big.bin");
    EXPECT_EQ(what_of([&] { streamed.close(); }), "archive error: Failed to close the compressed file.");
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

namespace {

// Sheet-like text that deflates well, different for each seed.
std::string rows(std::size_t n, unsigned seed) {
    std::string s;
    std::mt19937 rng(seed);
    for (int r = 1; s.size() < n; ++r)
        s += "<row r=\"" + std::to_string(r) + "\"><c><v>" + std::to_string(rng() % 100000) + "</v></c></row>";
    s.resize(n);
    return s;
}

std::uint32_t zlib_crc(const std::string& s) {
    return std::uint32_t(crc32(0, reinterpret_cast<const Bytef*>(s.data()), uInt(s.size())));
}

} // namespace

// Archives written whole, in the background and streamed past the limit read back
// exactly, in the order the entries were added, through the wrapper and two
// other readers.
class zip_write_paths : public zip_test {
protected:
    void check(const std::string& file, const entry_list& entries) {
        vex::zip_archive zip;
        zip.open_zip_file(file);
        ASSERT_EQ(zip.entries().size(), entries.size());
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const auto& [name, data] = entries[i];
            ASSERT_EQ(zip.entries()[i].name, name);
            EXPECT_EQ(zip.file_size(name), data.size()) << name;
            EXPECT_TRUE(zip.read_file(name, data.size()) == data) << name;
        }
        zip.close();
        const std::string bytes = slurp(file);
        for (std::size_t at : central_headers(bytes)) EXPECT_EQ(get(bytes, at + 10, 2), 8u);  // deflated
        if (std::system("unzip -v >/dev/null 2>&1") == 0) {
            EXPECT_EQ(std::system(("unzip -tqq '" + file + "' >/dev/null").c_str()), 0);
        }
        REQUIRE_CLIENT("python3");
        spill(path("list.py"), "import sys, zipfile, zlib\n"
                               "z = zipfile.ZipFile(sys.argv[1])\n"
                               "assert z.testzip() is None\n"
                               "for i in z.infolist():\n"
                               "    d = z.read(i)\n"
                               "    print(i.filename, len(d), zlib.crc32(d), i.compress_type)\n");
        std::string expected;
        for (const auto& [name, data] : entries)
            expected += name + " " + std::to_string(data.size()) + " " + std::to_string(zlib_crc(data)) + " 8\n";
        EXPECT_EQ(output_of("python3 '" + path("list.py") + "' '" + file + "'"), expected);
    }
};

TEST_F(zip_write_paths, entries_around_the_switch_over_size) {
    constexpr std::size_t at = vex::zip_archive::threaded_entry_size;
    const entry_list entries = {
        {"empty_first.xml", ""},
        {"just_below.xml", rows(at - 1, 1)},
        {"at_switch_over.xml", rows(at, 2)},
        {"large1.xml", rows(6 * at + 123, 3)},
        {"small_after_large.xml", "<a/>"},
        {"empty_after_large.xml", ""},
        {"noise.bin", noise(2 * at + 7)},  // incompressible: stored blocks inside the deflate stream
        {"large2.xml", rows(3 * at, 4)},
        {"large3.xml", rows(3 * at, 5)},
        {"large4.xml", rows(3 * at, 6)},
        {"large5.xml", rows(3 * at, 7)},
        {"last.xml", "z"},
    };
    const std::string file = make("paths.zip", entries);
    check(file, entries);
    EXPECT_LT(fs::file_size(file), 6 * at);  // the sheet text deflated well below its 19 MB
}

TEST_F(zip_write_paths, an_entry_past_the_limit_streams_after_the_queued_ones) {
    constexpr std::size_t at = vex::zip_archive::threaded_entry_size;
    constexpr std::size_t limit = 8 * at;
    const entry_list entries = {
        // Still deflating when the next entry outgrows the limit, at its first
        // write (together within it, so nothing waits for them before).
        {"queued.xml", rows(at + 5, 8)},
        {"queued_small.xml", "<q/>"},
        {"queued2.xml", rows(limit - at - 100, 13)},
        {"streamed.xml", rows(limit + 1, 9)},
        {"exactly_the_limit.xml", rows(limit, 10)},
        {"empty.xml", ""},
        {"streamed_noise.bin", noise(limit + at)},
    };
    check(make("limit.zip", entries, limit, limit + at), entries);
}

// Entries of several pieces' size are deflated in pieces side by side and
// joined into one stream: text, incompressible bytes (stored blocks end the
// pieces on a byte boundary) and both in one entry.
TEST_F(zip_write_paths, entries_deflated_in_pieces_join_into_one_stream) {
    constexpr std::size_t mib = std::size_t(1) << 20;
    const entry_list entries = {
        {"text.xml", rows(21 * mib + 3, 15)},
        {"noise.bin", noise(9 * mib)},
        {"mixed.bin", rows(5 * mib, 16) + noise(4 * mib + 1) + rows(3 * mib, 17)},
        {"eight.xml", rows(8 * mib, 18)},
        {"small.xml", "<s/>"},
    };
    check(make("pieces.zip", entries, vex::zip_archive::default_whole_entry_limit, 1 << 16), entries);
}

// Entries deflating piece by piece as they arrive: pieces ending in stored
// blocks, an entry ending where a piece does, and one that outgrows the limit
// after several pieces, which the streamed rest continues.
TEST_F(zip_write_paths, pieces_deflate_while_the_entry_arrives) {
    constexpr std::size_t piece = vex::zip_archive::piece_size;
    const entry_list entries = {
        {"two_pieces.xml", rows(2 * piece, 19)},
        {"noise_then_text.bin", noise(piece + 7) + rows(piece, 20)},
        {"past_the_limit.xml", rows(3 * piece + piece / 2, 21) + noise(piece / 4)},
        {"after.xml", "<a/>"},
    };
    check(make("arriving.zip", entries, 3 * piece, 1 << 16), entries);
}

TEST_F(zip_write_paths, many_entries_with_large_ones_among_them) {
    entry_list entries;
    for (int i = 0; i < 600; ++i) {
        const std::string name = "xl/part" + std::to_string(i) + ".xml";
        if (i % 97 == 5) entries.emplace_back(name, rows(vex::zip_archive::threaded_entry_size + i, unsigned(i)));
        else if (i % 3 == 0) entries.emplace_back(name, "");
        else entries.emplace_back(name, rows(std::size_t(i) * 37, unsigned(i)));
    }
    check(make("many.zip", entries), entries);
}

TEST_F(zip_write_paths, destructor_writes_what_is_still_deflating) {
    const std::string file = path("left.zip");
    const std::string large = rows(3 * vex::zip_archive::threaded_entry_size, 11);
    {
        vex::zip_archive zip;
        zip.create_zip_file(file);
        zip.add_file_to_zip("large.xml");
        zip.write_file_stream("large.xml", large.data(), unsigned(large.size()));
        zip.add_file_to_zip("small.xml");  // ends the large entry
        zip.write_file_stream("small.xml", "s", 1);
    }
    check(file, {{"large.xml", large}, {"small.xml", "s"}});
}

// Entries from the read-ahead size on are inflated on another thread: chunked
// reads, leaving an entry half-read, restarting, and damage deep inside one
// behave as on the caller's thread.
TEST_F(zip_write_paths, large_entries_read_ahead_like_small_ones) {
    const std::string large = rows(3 * vex::zip_archive::read_ahead_size + 11, 12);
    const std::string other = noise(vex::zip_archive::read_ahead_size + 3);
    const std::string file = make("ahead.zip", {{"large.xml", large}, {"other.bin", other}});
    vex::zip_archive zip;
    zip.open_zip_file(file);
    std::vector<char> buf(8192);
    ASSERT_EQ(zip.read("large.xml", buf.data(), 8192, false), 8192);
    EXPECT_EQ(std::string(buf.data(), 8192), large.substr(0, 8192));
    EXPECT_TRUE(read_in_chunks(zip, "other.bin", 5000) == other);  // leaves large.xml half-read
    EXPECT_TRUE(read_in_chunks(zip, "large.xml", 8192) == large);  // from its start
    EXPECT_TRUE(read_in_chunks(zip, "large.xml", 100000) == large);
    EXPECT_EQ(what_of([&] { zip.read_file("large.xml", large.size() - 1); }),
              "archive error: file in zip is larger than " + std::to_string(large.size() - 1) + " bytes: large.xml");
    ASSERT_EQ(zip.read("large.xml", buf.data(), 8192, false), 8192);
    zip.close();  // with an entry half-read

    // Damage past the first megabyte of inflated text, and a stream cut short.
    const std::string bytes = slurp(file);
    const std::size_t data_at = get(bytes, central_headers(bytes)[0] + 42) + 30 + std::string("large.xml").size();
    std::string garbled = bytes;
    for (std::size_t i = 0; i < 64; ++i) garbled[data_at + get(bytes, central_headers(bytes)[0] + 20) * 3 / 4 + i] ^= 0x5A;
    spill(path("garbled.zip"), garbled);
    zip.open_zip_file(path("garbled.zip"));
    EXPECT_THROW(read_in_chunks(zip, "large.xml", 8192), archive_error);
    EXPECT_THROW(zip.read_file("large.xml", 1 << 30), archive_error);
    EXPECT_TRUE(zip.read_file("other.bin", 1 << 30) == other);
    zip.open_zip_file(patched(file, 1, get(bytes, central_headers(bytes)[0] + 20) / 2));
    EXPECT_EQ(what_of([&] { zip.read_file("large.xml", 1 << 30); }),
              "archive error: file in zip ends before its declared size: large.xml");
}
