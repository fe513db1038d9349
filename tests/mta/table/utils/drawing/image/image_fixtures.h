#pragma once
// Small pictures of every format the sniffer knows, built byte by byte with the
// pixel size each header states; JPEG comes from the JPEG library itself.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace fixtures {

using bytes_t = std::vector<uint8_t>;

struct builder {
    bytes_t b;
    builder& u8(std::initializer_list<uint8_t> v) { return b.insert(b.end(), v), *this; }
    builder& u16(uint32_t v) { return u8({uint8_t(v), uint8_t(v >> 8)}); }
    builder& u32(uint32_t v) { return u16(v).u16(v >> 16); }
    builder& be32(uint32_t v) { return u8({uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}); }
    builder& to(size_t n) { return b.resize(n, 0), *this; }
    operator bytes_t() const { return b; }
};

inline void set_le32(bytes_t& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

inline bytes_t png(uint32_t w, uint32_t h) {
    return builder().u8({0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R'}).be32(w).be32(h).to(33);
}
inline bytes_t gif(uint16_t w, uint16_t h) { return builder().u8({'G', 'I', 'F', '8', '9', 'a'}).u16(w).u16(h).to(14); }

// An info header of `size` bytes (planes 1, 24 bits) and a little pixel data.
inline bytes_t dib(int32_t w, int32_t h, uint32_t size = 40, uint32_t image_bytes = 0) {
    return builder().u32(size).u32(w).u32(h).u16(1).u16(24).u32(0).u32(image_bytes).to(std::max(size, 40u) + 4);
}
inline bytes_t bmp(int32_t w, int32_t h) {
    builder b = builder().u8({'B', 'M'}).u32(14 + 44).u32(0).u32(54);
    for (uint8_t byte : dib(w, h)) b.u8({byte});
    return b;
}

// `count` entries of the stored width and height (0 is 256).
inline bytes_t ico(uint16_t type, uint16_t count, uint8_t w, uint8_t h) {
    builder b = builder().u16(0).u16(type).u16(count);
    for (int i = 0; i < count; ++i) b.u8({w, h, 0, 0}).u16(1).u16(32).u32(40).u32(6 + 16 * count);
    return b;
}

// Little-endian, one directory of LONG entries.
inline bytes_t tiff(std::initializer_list<std::pair<uint16_t, uint32_t>> entries) {
    builder b = builder().u8({'I', 'I', 42, 0}).u32(8).u16(uint16_t(entries.size()));
    for (auto [tag, value] : entries) b.u16(tag).u16(4).u32(1).u32(value);
    return b.u32(0);
}

// A placeable header over a standard header and the end record.
inline bytes_t wmf(int16_t left, int16_t top, int16_t right, int16_t bottom, uint16_t per_inch) {
    builder b = builder().u32(0x9AC6CDD7).u16(0).u16(left).u16(top).u16(right).u16(bottom).u16(per_inch).u32(0);
    uint16_t checksum = 0;
    for (size_t i = 0; i < 20; i += 2) checksum ^= uint16_t(b.b[i] | b.b[i + 1] << 8);
    return b.u16(checksum).u16(1).u16(9).u16(0x0300).u32(12).u16(0).u32(3).u16(0).u32(3).u16(0);
}

inline bytes_t emf(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    return builder().u32(1).u32(108).u32(left).u32(top).u32(right).u32(bottom).to(40)
        .u32(0x464D4520).u32(0x10000).u32(128).to(108).u32(14).u32(20).to(128);
}

inline bytes_t jpeg(unsigned w, unsigned h) {
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = w;
    info.image_height = h;
    info.input_components = 1;
    info.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(w, 0x80);
    for (JSAMPROW rows[] = {row.data()}; info.next_scanline < h;) jpeg_write_scanlines(&info, rows, 1);
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    bytes_t b(out, out + size);
    std::free(out);
    return b;
}

} // namespace fixtures
