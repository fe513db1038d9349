#pragma once
// Small pictures of every format the sniffer knows, built byte by byte with the
// pixel size each header states. JPEG comes from the JPEG library itself.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace fixtures {

using bytes_t = std::vector<uint8_t>;

inline void put(bytes_t& b, std::initializer_list<uint8_t> v) { b.insert(b.end(), v); }
inline void le16(bytes_t& b, uint32_t v) { put(b, {uint8_t(v), uint8_t(v >> 8)}); }
inline void le32(bytes_t& b, uint32_t v) { put(b, {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}); }
inline void be32(bytes_t& b, uint32_t v) { put(b, {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}); }
inline void set_le32(bytes_t& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

inline bytes_t png(uint32_t width, uint32_t height) {
    bytes_t b = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    be32(b, width);
    be32(b, height);
    put(b, {8, 6, 0, 0, 0, 0x12, 0x34, 0x56, 0x78});  // depth, colour, methods, CRC
    return b;
}

inline bytes_t gif(uint16_t width, uint16_t height) {
    bytes_t b = {'G', 'I', 'F', '8', '9', 'a'};
    le16(b, width);
    le16(b, height);
    put(b, {0, 0, 0, ';'});
    return b;
}

// A 40-byte info header; `header_size` other than 40 pads it to that size.
inline bytes_t dib(int32_t width, int32_t height, uint32_t header_size = 40, uint32_t image_size = 0) {
    bytes_t b;
    le32(b, header_size);
    le32(b, uint32_t(width));
    le32(b, uint32_t(height));
    le16(b, 1);   // planes
    le16(b, 24);  // bits per pixel
    le32(b, 0);   // no compression
    le32(b, image_size);
    le32(b, 2835);
    le32(b, 2835);
    le32(b, 0);  // colours used
    le32(b, 0);
    b.resize(std::max<size_t>(header_size, 40) + 4, 0);  // a little pixel data
    return b;
}

inline bytes_t bmp(int32_t width, int32_t height) {
    bytes_t b = {'B', 'M'};
    const bytes_t info = dib(width, height);
    le32(b, uint32_t(14 + info.size()));
    le32(b, 0);
    le32(b, 54);
    b.insert(b.end(), info.begin(), info.end());
    return b;
}

// The first entry's stored width and height (0 is 256).
inline bytes_t ico(uint16_t type, uint16_t count, uint8_t width, uint8_t height) {
    bytes_t b;
    le16(b, 0);
    le16(b, type);
    le16(b, count);
    for (uint16_t i = 0; i < count; ++i) {
        put(b, {width, height, 0, 0});
        le16(b, 1);
        le16(b, 32);
        le32(b, 40);
        le32(b, uint32_t(6 + 16 * count));
    }
    return b;
}

// Little-endian, one directory with the given (tag, value) entries.
inline bytes_t tiff(std::initializer_list<std::pair<uint16_t, uint32_t>> entries) {
    bytes_t b = {'I', 'I', 42, 0};
    le32(b, 8);
    le16(b, uint16_t(entries.size()));
    for (auto [tag, value] : entries) {
        le16(b, tag);
        le16(b, 4);  // LONG
        le32(b, 1);
        le32(b, value);
    }
    le32(b, 0);
    return b;
}

// A placeable header over a standard header and the end-of-file record.
inline bytes_t wmf(int16_t left, int16_t top, int16_t right, int16_t bottom, uint16_t per_inch) {
    bytes_t b;
    le32(b, 0x9AC6CDD7);
    le16(b, 0);
    for (int16_t v : {left, top, right, bottom}) le16(b, uint16_t(v));
    le16(b, per_inch);
    le32(b, 0);
    uint16_t checksum = 0;
    for (size_t i = 0; i < 20; i += 2) checksum ^= uint16_t(b[i] | b[i + 1] << 8);
    le16(b, checksum);
    le16(b, 1);       // in memory
    le16(b, 9);       // header words
    le16(b, 0x0300);  // version
    le32(b, 12);      // words in the metafile: header 9, end record 3
    le16(b, 0);
    le32(b, 3);
    le16(b, 0);
    le32(b, 3);  // end-of-file record
    le16(b, 0);
    return b;
}

inline bytes_t emf(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    bytes_t b;
    le32(b, 1);    // header record
    le32(b, 108);  // its size
    for (int32_t v : {left, top, right, bottom}) le32(b, uint32_t(v));
    for (int32_t v : {0, 0, 2540, 1270}) le32(b, uint32_t(v));  // frame, 0.01 mm
    le32(b, 0x464D4520);
    le32(b, 0x10000);
    le32(b, 128);  // file size: header and end record
    b.resize(108, 0);
    le32(b, 14);  // end-of-file record
    le32(b, 20);
    b.resize(128, 0);
    return b;
}

// A real grey JPEG of the given size.
inline bytes_t jpeg(unsigned width, unsigned height) {
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = width;
    info.image_height = height;
    info.input_components = 1;
    info.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(width);
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) row[x] = JSAMPLE((x * 31 + y * 17) & 0xFF);
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    bytes_t b(out, out + size);
    std::free(out);
    return b;
}

} // namespace fixtures
