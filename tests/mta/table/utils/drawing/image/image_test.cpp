#include "mta/table/utils/drawing/image/image.h"

#include "image_fixtures.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace fixtures;
using vex::img::image_t;
using vex::img::image_type_enum;
using vex::img::pixel_size_t;

namespace {

struct sniffed {
    bool loaded;
    image_type_enum type;
    pixel_size_t size;
};

sniffed sniff(const bytes_t& b) {
    image_t image;
    const bool loaded = image.load_memory(b.data(), b.size());
    return {loaded, image.type(), image.pixel_size()};
}

struct sample {
    const char* name;
    bytes_t bytes;
    image_type_enum type;
    pixel_size_t size;
};

std::vector<sample> samples() {
    bytes_t big_header = dib(10, 4, 108, ((24 * 10 + 31) / 32) * 4 * 4);
    bytes_t core = dib(0, 0, 12);  // 16-bit width and height
    core[4] = 0x34, core[5] = 0x12, core[6] = 0x56, core[7] = 0;
    return {
        {"png", png(200, 100), image_type_enum::png, {200, 100}},
        {"gif", gif(300, 7), image_type_enum::gif, {300, 7}},
        {"jpeg", jpeg(13, 5), image_type_enum::jpeg, {13, 5}},
        {"bmp", bmp(33, 21), image_type_enum::bmp, {33, 21}},
        {"dib without file header", dib(17, 9), image_type_enum::bmp, {17, 9}},
        {"top-down bmp", bmp(4, -7), image_type_enum::bmp, {4, 7}},
        {"core header", core, image_type_enum::bmp, {0x1234, 0x56}},
        {"v4 header holding its rows", big_header, image_type_enum::bmp, {10, 4}},
        {"v5 header", dib(8, 8, 124), image_type_enum::bmp, {8, 8}},
        {"ico", ico(1, 2, 32, 48), image_type_enum::ico, {32, 48}},
        {"ico of 256 pixels", ico(1, 1, 0, 0), image_type_enum::ico, {256, 256}},
        {"cursor", ico(2, 1, 16, 0), image_type_enum::ico, {16, 256}},
        {"ico without entries", ico(1, 0, 0, 0), image_type_enum::ico, {0, 0}},
        {"tiff", tiff({{254, 0}, {256, 640}, {257, 480}, {258, 8}}), image_type_enum::tiff, {640, 480}},
        {"tiff without entries", tiff({}), image_type_enum::tiff, {0, 0}},
        {"tiff without height", tiff({{256, 9}}), image_type_enum::tiff, {9, 0}},
        {"wmf", wmf(0, 0, 1440, 720, 1440), image_type_enum::wmf, {96, 48}},
        {"wmf rounded", wmf(-100, 10, 900, 20, 1000), image_type_enum::wmf, {96, 1}},
        {"emf", emf(10, 20, 109, 69), image_type_enum::emf, {99, 49}},
    };
}

} // namespace

TEST(image_sniffer, every_format_with_its_pixel_size) {
    for (const sample& s : samples()) {
        const sniffed got = sniff(s.bytes);
        EXPECT_TRUE(got.loaded) << s.name;
        EXPECT_EQ(got.type, s.type) << s.name;
        EXPECT_EQ(got.size.width, s.size.width) << s.name;
        EXPECT_EQ(got.size.height, s.size.height) << s.name;
    }
}

TEST(image_sniffer, refused_headers_leave_the_image_empty) {
    bytes_t big_endian_tiff = {'M', 'M', 0, 42, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0};
    bytes_t tiff_far_directory = tiff({{256, 1}});
    set_le32(tiff_far_directory, 4, 0x7FFFFFF0);
    bytes_t wmf_bad_checksum = wmf(0, 0, 10, 10, 96);
    wmf_bad_checksum[20] ^= 1;
    bytes_t wmf_longer_than_data = wmf(0, 0, 10, 10, 96);
    set_le32(wmf_longer_than_data, 22 + 6, 13);
    bytes_t wmf_unknown_version = wmf(0, 0, 10, 10, 96);
    wmf_unknown_version[22 + 4] = 0x02;
    bytes_t emf_longer_than_data = emf(0, 0, 1, 1);
    set_le32(emf_longer_than_data, 48, 129);
    bytes_t emf_no_signature = emf(0, 0, 1, 1);
    emf_no_signature[40] = 'X';
    bytes_t jpeg_cut = jpeg(8, 8);
    jpeg_cut.resize(jpeg_cut.size() / 3);  // before the scan header

    const struct {
        const char* name;
        bytes_t bytes;
    } cases[] = {
        {"big-endian tiff", big_endian_tiff},
        {"tiff directory beyond the end", tiff_far_directory},
        {"wmf with a bad checksum", wmf_bad_checksum},
        {"wmf of 0 units per inch", wmf(0, 0, 10, 10, 0)},
        {"wmf of 2541 units per inch", wmf(0, 0, 10, 10, 2541)},
        {"wmf box upside down", wmf(0, 10, 10, 0, 96)},
        {"wmf longer than its bytes", wmf_longer_than_data},
        {"wmf of an unknown version", wmf_unknown_version},
        {"emf box right of left", emf(10, 0, 9, 5)},
        {"emf longer than its bytes", emf_longer_than_data},
        {"emf without signature", emf_no_signature},
        {"jpeg cut short", jpeg_cut},
        {"negative bmp width", dib(-5, 5)},
        {"v4 header whose rows do not fit", dib(10, 4, 108, 10)},
        {"v4 header of two planes", [] { auto b = dib(1, 1, 108, 16); b[12] = 2; return b; }()},
        {"header size below 40", dib(1, 1, 39)},
        {"png of 23 bytes", [] { auto b = png(1, 1); b.resize(23); return b; }()},
        {"gif of 9 bytes", [] { auto b = gif(1, 1); b.resize(9); return b; }()},
        {"ico with its entry cut", [] { auto b = ico(1, 1, 1, 1); b.resize(21); return b; }()},
        {"ico of type 3", ico(3, 1, 1, 1)},
        {"three bytes", {'G', 'I', 'F'}},
        {"text", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!', '!', '!', '!'}},
    };
    for (const auto& c : cases) {
        image_t image;
        EXPECT_FALSE(image.load_memory(c.bytes.data(), c.bytes.size())) << c.name;
        EXPECT_EQ(image.type(), image_type_enum::none) << c.name;
        EXPECT_EQ(image.byte_size(), 0u) << c.name;
        EXPECT_EQ(image.data(), nullptr) << c.name;
    }
    image_t image;
    EXPECT_FALSE(image.load_memory(nullptr, 10));
    const uint8_t one = 0;
    EXPECT_FALSE(image.load_memory(&one, 0));
}

// Every prefix of every sample is read within its bounds (the sanitizers watch)
// and is either refused or still the same format.
TEST(image_sniffer, truncated_samples_are_read_within_bounds) {
    for (const sample& s : samples()) {
        for (size_t n = 1; n < s.bytes.size(); ++n) {
            const bytes_t cut(s.bytes.begin(), s.bytes.begin() + n);
            const sniffed got = sniff(cut);
            if (got.loaded) {
                EXPECT_EQ(got.type, s.type) << s.name << " cut to " << n;
            }
        }
    }
}

TEST(image_sniffer, header_sizes_are_reported_not_trusted) {
    // JPEG dimensions patched in the frame header: nothing of the scan is read.
    bytes_t big = jpeg(8, 8);
    for (size_t i = 0; i + 8 < big.size(); ++i) {
        if (big[i] == 0xFF && big[i + 1] == 0xC0) {
            big[i + 5] = 60000 >> 8, big[i + 6] = 60000 & 0xFF;  // height
            big[i + 7] = 50000 >> 8, big[i + 8] = 50000 & 0xFF;  // width
            break;
        }
    }
    EXPECT_EQ(sniff(big).size, (pixel_size_t{50000, 60000}));
    EXPECT_EQ(sniff(png(0xFFFFFFFF, 0xFFFFFFFF)).size, (pixel_size_t{0xFFFFFFFF, 0xFFFFFFFF}));
    EXPECT_EQ(sniff(bmp(0x7FFFFFFF, INT32_MIN)).size, (pixel_size_t{0x7FFFFFFF, 0x80000000u}));
    EXPECT_FALSE(sniff(dib(0x7FFFFFFF, 0x7FFFFFFF, 200, 0xFFFFFFFF)).loaded);  // rows far beyond the stored size
    EXPECT_EQ(sniff(emf(INT32_MIN, INT32_MIN, INT32_MAX, 0)).size, (pixel_size_t{0xFFFFFFFF, 0x80000000u}));
    // A negative directory offset counts as 0: the header's own bytes are then
    // read as a directory too long for the data.
    bytes_t back = tiff({{256, 1}, {257, 1}});
    set_le32(back, 4, 0x80000000);
    EXPECT_FALSE(sniff(back).loaded);
}

TEST(image_sniffer, equality_is_over_the_bytes) {
    const bytes_t b = bmp(6, 6);
    image_t one, two, other;
    ASSERT_TRUE(one.load_memory(b.data(), b.size()));
    ASSERT_TRUE(two.load_memory(b.data(), b.size()));
    EXPECT_TRUE(one.equals(two));
    EXPECT_EQ(one.identity(), two.identity());
    EXPECT_EQ(one.identity().size(), 32u);
    EXPECT_NE(one.data(), two.data()) << "each holds a copy";

    bytes_t changed = b;
    changed.back() ^= 0xFF;  // pixel data: same format, same size
    ASSERT_TRUE(other.load_memory(changed.data(), changed.size()));
    EXPECT_EQ(other.pixel_size(), one.pixel_size());
    EXPECT_FALSE(one.equals(other));
    EXPECT_NE(one.identity(), other.identity());

    image_t empty_a, empty_b;
    EXPECT_TRUE(empty_a.equals(empty_b));
    EXPECT_FALSE(empty_a.equals(one));

    // Moving hands the bytes over.
    image_t moved = std::move(one);
    EXPECT_TRUE(moved.equals(two));
}

TEST(image_sniffer, files) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("plover_image_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const auto write = [&](const char* name, const bytes_t& b) {
        std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
        return (dir / name).string();
    };
    const bytes_t g = gif(5, 6);
    image_t from_file, from_memory;
    ASSERT_TRUE(from_file.load_file(write("a.gif", g)));
    ASSERT_TRUE(from_memory.load_memory(g.data(), g.size()));
    EXPECT_TRUE(from_file.equals(from_memory));
    EXPECT_EQ(from_file.byte_size(), g.size());

    // A failed load empties an image that held one.
    EXPECT_FALSE(from_file.load_file(write("three", {'G', 'I', 'F'})));
    EXPECT_EQ(from_file.type(), image_type_enum::none);
    EXPECT_EQ(from_file.byte_size(), 0u);
    image_t image;
    EXPECT_FALSE(image.load_file(write("empty", {})));
    EXPECT_FALSE(image.load_file(write("text", {'p', 'l', 'a', 'i', 'n', ' ', 't', 'e', 'x', 't', '.', '.', '.', '.'})));
    EXPECT_FALSE(image.load_file((dir / "missing.png").string()));
    EXPECT_FALSE(image.load_file(dir.string()));
    EXPECT_FALSE(image.load_file(""));
    fs::remove_all(dir);
}
