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
using T = vex::img::image_type_enum;

namespace {

struct sample {
    const char* name;
    bytes_t bytes;
    image_type_enum type;
    pixel_size_t size;
};

std::vector<sample> samples() {
    bytes_t core = dib(0, 0, 12);
    core[4] = 0x34, core[5] = 0x12, core[6] = 0x56;  // 16-bit width and height
    return {
        {"png", png(200, 100), T::png, {200, 100}},
        {"gif", gif(300, 7), T::gif, {300, 7}},
        {"jpeg", jpeg(13, 5), T::jpeg, {13, 5}},
        {"bmp", bmp(33, 21), T::bmp, {33, 21}},
        {"dib without file header", dib(17, 9), T::bmp, {17, 9}},
        {"top-down bmp", bmp(4, -7), T::bmp, {4, 7}},
        {"core header", core, T::bmp, {0x1234, 0x56}},
        {"v4 header holding its rows", dib(10, 4, 108, 32 * 4), T::bmp, {10, 4}},
        {"v5 header", dib(8, 8, 124), T::bmp, {8, 8}},
        {"ico", ico(1, 2, 32, 48), T::ico, {32, 48}},
        {"cursor of 256 pixels", ico(2, 1, 0, 0), T::ico, {256, 256}},
        {"ico without entries", ico(1, 0, 0, 0), T::ico, {0, 0}},
        {"tiff", tiff({{254, 0}, {256, 640}, {257, 480}, {258, 8}}), T::tiff, {640, 480}},
        {"tiff without entries", tiff({}), T::tiff, {0, 0}},
        {"wmf", wmf(0, 0, 1440, 720, 1440), T::wmf, {96, 48}},
        {"wmf rounded", wmf(-100, 10, 900, 20, 1000), T::wmf, {96, 1}},
        {"emf", emf(10, 20, 109, 69), T::emf, {99, 49}},
    };
}

image_t loaded(const bytes_t& b) {
    image_t image;
    image.load_memory(b.data(), b.size());
    return image;
}

bytes_t with(bytes_t b, size_t at, uint32_t v) { return set_le32(b, at, v), b; }

} // namespace

TEST(image_sniffer, every_format_with_its_pixel_size) {
    for (const sample& s : samples()) {
        const image_t image = loaded(s.bytes);
        EXPECT_EQ(image.type(), s.type) << s.name;
        EXPECT_EQ(image.pixel_size(), s.size) << s.name << ": " << image.pixel_size().width;
        // Every prefix is read within its bounds (the sanitizers watch) and is
        // refused or still the same format.
        for (size_t n = 1; n < s.bytes.size(); ++n) {
            const auto type = loaded(bytes_t(s.bytes.begin(), s.bytes.begin() + n)).type();
            EXPECT_TRUE(type == T::none || type == s.type) << s.name << " cut to " << n;
        }
    }
}

TEST(image_sniffer, refused_headers_leave_the_image_empty) {
    bytes_t jpeg_cut = jpeg(8, 8);
    jpeg_cut.resize(jpeg_cut.size() / 3);  // before the scan header
    bytes_t two_planes = dib(1, 1, 108, 16);
    two_planes[12] = 2;
    const struct {
        const char* name;
        bytes_t bytes;
    } cases[] = {
        {"big-endian tiff", {'M', 'M', 0, 42, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0}},
        {"tiff directory beyond the end", with(tiff({{256, 1}}), 4, 0x7FFFFFF0)},
        {"tiff directory at 0, too long", with(tiff({{256, 1}}), 4, 0x80000000)},
        {"wmf with a bad checksum", with(wmf(0, 0, 10, 10, 96), 18, 1)},
        {"wmf of 0 units per inch", wmf(0, 0, 10, 10, 0)},
        {"wmf of 2541 units per inch", wmf(0, 0, 10, 10, 2541)},
        {"wmf box upside down", wmf(0, 10, 10, 0, 96)},
        {"wmf longer than its bytes", with(wmf(0, 0, 10, 10, 96), 28, 13)},
        {"wmf of an unknown version", with(wmf(0, 0, 10, 10, 96), 26, 0x0200)},
        {"emf box right of left", emf(10, 0, 9, 5)},
        {"emf longer than its bytes", with(emf(0, 0, 1, 1), 48, 129)},
        {"emf without signature", with(emf(0, 0, 1, 1), 40, 0)},
        {"jpeg cut short", jpeg_cut},
        {"negative bmp width", dib(-5, 5)},
        {"v4 header whose rows do not fit", dib(10, 4, 108, 10)},
        {"huge v4 header rows", dib(0x7FFFFFFF, 0x7FFFFFFF, 200, 0xFFFFFFFF)},
        {"v4 header of two planes", two_planes},
        {"header size below 40", dib(1, 1, 39)},
        {"ico of type 3", ico(3, 1, 1, 1)},
        {"three bytes", {'G', 'I', 'F'}},
        {"text", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!', '!', '!', '!'}},
    };
    for (const auto& c : cases) {
        image_t image;
        EXPECT_FALSE(image.load_memory(c.bytes.data(), c.bytes.size())) << c.name;
        EXPECT_EQ(image.type( ), T::none) << c.name;
        EXPECT_EQ(image.data(), nullptr) << c.name;
    }
    image_t image;
    EXPECT_FALSE(image.load_memory(nullptr, 10));
    EXPECT_FALSE(image.load_memory("GIF89a", 0));
}

TEST(image_sniffer, header_sizes_are_reported_not_trusted) {
    bytes_t big = jpeg(8, 8);  // frame header patched to 50000 x 60000: no scan is read
    const uint8_t marker[] = {0xFF, 0xC0}, size[] = {0xEA, 0x60, 0xC3, 0x50};
    const auto sof = std::search(big.begin(), big.end(), marker, marker + 2);
    ASSERT_NE(sof, big.end());
    std::copy_n(size, 4, sof + 5);
    EXPECT_EQ(loaded(big).pixel_size(), (pixel_size_t{50000, 60000}));
    EXPECT_EQ(loaded(png(0xFFFFFFFF, 0xFFFFFFFF)).pixel_size(), (pixel_size_t{0xFFFFFFFF, 0xFFFFFFFF}));
    EXPECT_EQ(loaded(bmp(0x7FFFFFFF, INT32_MIN)).pixel_size(), (pixel_size_t{0x7FFFFFFF, 0x80000000u}));
    EXPECT_EQ(loaded(emf(INT32_MIN, INT32_MIN, INT32_MAX, 0)).pixel_size(), (pixel_size_t{0xFFFFFFFF, 0x80000000u}));
}

TEST(image_sniffer, equality_is_over_the_bytes) {
    const bytes_t b = bmp(6, 6);
    bytes_t changed = b;
    changed.back() ^= 0xFF;  // pixel data: same format, same size
    const image_t one = loaded(b), two = loaded(b), other = loaded(changed);
    EXPECT_TRUE(one.equals(two));
    EXPECT_EQ(one.identity(), two.identity());
    EXPECT_EQ(one.identity().size(), 32u);
    EXPECT_EQ(other.pixel_size(), one.pixel_size());
    EXPECT_FALSE(one.equals(other));
    EXPECT_NE(one.identity(), other.identity());
    EXPECT_FALSE(image_t().equals(one));
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
    image_t image;
    ASSERT_TRUE(image.load_file(write("a.gif", g)));
    EXPECT_TRUE(image.equals(loaded(g)));
    // A failed load empties an image that held one.
    EXPECT_FALSE(image.load_file(write("three", {'G', 'I', 'F'})));
    EXPECT_EQ(image.type( ), T::none);
    EXPECT_EQ(image.byte_size(), 0u);
    for (const std::string& bad : {write("empty", {}), write("text", bytes_t(20, 'x')), (dir / "missing").string(),
                                   dir.string(), std::string()})
        EXPECT_FALSE(image.load_file(bad)) << bad;
    fs::remove_all(dir);
}
