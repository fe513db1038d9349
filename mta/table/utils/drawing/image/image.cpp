#include "mta/table/utils/drawing/image/image.h"

#include "md5.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <limits>

#include <jpeglib.h>
#include <jerror.h>

namespace vex::img {

namespace {

// Metafile extents are logical units; pictures are placed at the screen's 96 dpi.
constexpr int32_t screen_dpi = 96;
constexpr uint64_t max_image_bytes = std::numeric_limits<uint32_t>::max();

// Every read is checked against the end: a header cut short is not the format.
struct header_view {
    const uint8_t* data;
    uint64_t size;

    bool has(uint64_t offset, uint64_t n) const noexcept { return offset <= size && n <= size - offset; }
    uint8_t u8(uint64_t at) const noexcept { return data[at]; }
    uint16_t le16(uint64_t at) const noexcept { return uint16_t(data[at] | data[at + 1] << 8); }
    uint32_t le32(uint64_t at) const noexcept {
        return uint32_t(data[at]) | uint32_t(data[at + 1]) << 8 | uint32_t(data[at + 2]) << 16 |
               uint32_t(data[at + 3]) << 24;
    }
    uint32_t be32(uint64_t at) const noexcept {
        return uint32_t(data[at]) << 24 | uint32_t(data[at + 1]) << 16 | uint32_t(data[at + 2]) << 8 |
               uint32_t(data[at + 3]);
    }
    int16_t s16(uint64_t at) const noexcept { return static_cast<int16_t>(le16(at)); }
    int32_t s32(uint64_t at) const noexcept { return static_cast<int32_t>(le32(at)); }
};

uint32_t magnitude(int32_t v) noexcept {
    return v < 0 ? uint32_t(0) - uint32_t(v) : uint32_t(v);
}

// A file header is optional: a bare DIB starts with its info header.
bool sniff_bmp(const header_view& v, pixel_size_t& size) {
    if (!v.has(0, 14)) return false;
    const uint64_t info = v.u8(0) == 'B' && v.u8(1) == 'M' ? 14 : 0;
    if (!v.has(info, 40)) return false;
    const uint32_t header_size = v.le32(info);
    if (header_size == 12) {
        size = {v.le16(info + 4), v.le16(info + 6)};
        return true;
    }
    if (header_size < 40) return false;
    const int32_t width = v.s32(info + 4);
    const int32_t height = v.s32(info + 8);
    if (width < 0) return false;
    if (header_size != 40 && header_size != 64 && header_size != 124) {
        if (v.le16(info + 12) != 1 || v.le32(info + 32) != 0) return false;
        // The stored image size must hold every row, each padded to 4 bytes.
        const int64_t row_bytes = (int64_t(v.le16(info + 14)) * width + 31) / 32 * 4;
        if (height > 0 && row_bytes > int64_t(v.le32(info + 20)) / height) return false;
    }
    size = {uint32_t(width), magnitude(height)};  // top-down rows store a negative height
    return true;
}

struct jpeg_failure {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    bool ran_out;  // the header went on past the bytes
};

[[noreturn]] void jpeg_fail(j_common_ptr info) {
    std::longjmp(reinterpret_cast<jpeg_failure*>(info->err)->jump, 1);
}
void jpeg_note(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) reinterpret_cast<jpeg_failure*>(info->err)->ran_out = true;
}
void jpeg_no_output(j_common_ptr) {}

// Nothing with a destructor may live here: a library error leaves by longjmp.
bool read_jpeg_header(const header_view& v, pixel_size_t& size, bool& ran_out) {
    jpeg_decompress_struct info;
    std::memset(&info, 0, sizeof info);  // destroyable even when creation fails
    jpeg_failure failure;
    failure.ran_out = false;
    info.err = jpeg_std_error(&failure.manager);
    failure.manager.error_exit = jpeg_fail;
    failure.manager.emit_message = jpeg_note;
    failure.manager.output_message = jpeg_no_output;
    if (setjmp(failure.jump)) {
        jpeg_destroy_decompress(&info);
        ran_out = failure.ran_out;
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, v.data, static_cast<unsigned long>(v.size));
    const bool found = jpeg_read_header(&info, TRUE) == JPEG_HEADER_OK;
    if (found) size = {info.image_width, info.image_height};
    jpeg_destroy_decompress(&info);
    ran_out = failure.ran_out;
    return found;
}

bool sniff_jpeg(const header_view& v, pixel_size_t& size) {
    bool ran_out = false;
    return read_jpeg_header(v, size, ran_out);
}

bool sniff_png(const header_view& v, pixel_size_t& size) {
    static constexpr uint8_t signature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
    if (!v.has(0, 24) || std::memcmp(v.data, signature, 8) != 0) return false;
    size = {v.be32(16), v.be32(20)};
    return true;
}

bool sniff_gif(const header_view& v, pixel_size_t& size) {
    if (!v.has(0, 10) || std::memcmp(v.data, "GIF8", 4) != 0) return false;
    size = {v.le16(6), v.le16(8)};
    return true;
}

// Little-endian files only.
bool sniff_tiff(const header_view& v, pixel_size_t& size) {
    if (!v.has(0, 8) || v.le16(0) != 0x4949 || v.le16(2) != 42) return false;
    const int32_t first = v.s32(4);
    uint64_t at = first < 0 ? 0 : uint64_t(first);
    if (!v.has(at, 2)) return false;
    const unsigned entries = v.le16(at);
    at += 2;
    pixel_size_t found;
    for (unsigned i = 0; i < entries && (found.width == 0 || found.height == 0); ++i, at += 12) {
        if (!v.has(at, 12)) return false;
        const uint16_t tag = v.le16(at);
        if (tag == 256) found.width = v.le32(at + 8);
        if (tag == 257) found.height = v.le32(at + 8);
    }
    size = found;
    return true;
}

// Logical units at `per_inch` to screen pixels, rounded.
uint32_t to_screen_pixels(int32_t units, int32_t per_inch) {
    return uint32_t((units * screen_dpi + per_inch / 2) / per_inch);
}

// A placeable header followed by a standard metafile header that fits the bytes.
bool sniff_wmf(const header_view& v, pixel_size_t& size) {
    constexpr uint64_t meta = 22;
    if (!v.has(0, meta) || v.le32(0) != 0x9AC6CDD7) return false;
    uint16_t checksum = 0;
    for (uint64_t at = 0; at < 20; at += 2) checksum ^= v.le16(at);
    const int32_t per_inch = v.le16(14);
    if (checksum != v.le16(20) || per_inch < 1 || per_inch > 2540) return false;

    if (!v.has(meta, 18)) return false;
    const uint16_t type = v.le16(meta), header_words = v.le16(meta + 2), version = v.le16(meta + 4);
    const uint64_t bytes = uint64_t(v.le32(meta + 6)) * 2;
    if ((type != 1 && type != 2) || header_words != 9 || (version != 0x0100 && version != 0x0300)) return false;
    if (bytes < 18 || !v.has(meta, bytes)) return false;

    const int32_t left = v.s16(6), top = v.s16(8), right = v.s16(10), bottom = v.s16(12);
    if (right < left || bottom < top) return false;
    size = {to_screen_pixels(right - left, per_inch), to_screen_pixels(bottom - top, per_inch)};
    return true;
}

bool sniff_emf(const header_view& v, pixel_size_t& size) {
    if (!v.has(0, 108) || v.le32(0) != 1 || v.le32(40) != 0x464D4520) return false;
    const uint32_t header_bytes = v.le32(4), file_bytes = v.le32(48);
    if (header_bytes < 88 || header_bytes > file_bytes || file_bytes > v.size) return false;
    const int64_t left = v.s32(8), top = v.s32(12), right = v.s32(16), bottom = v.s32(20);
    if (right < left || bottom < top) return false;
    size = {uint32_t(right - left), uint32_t(bottom - top)};
    return true;
}

// An entry stores 256 pixels as 0.
bool sniff_ico(const header_view& v, pixel_size_t& size) {
    if (!v.has(0, 6) || v.le16(0) != 0) return false;
    const uint16_t type = v.le16(2);
    if (type != 1 && type != 2) return false;
    if (v.le16(4) == 0) {
        size = {};
        return true;
    }
    if (!v.has(6, 16)) return false;
    const auto pixels = [](uint8_t stored) { return stored == 0 ? 256u : uint32_t(stored); };
    size = {pixels(v.u8(6)), pixels(v.u8(7))};
    return true;
}

image_type_enum sniff(const header_view& v, pixel_size_t& size) {
    using sniffer = bool (*)(const header_view&, pixel_size_t&);
    static constexpr struct {
        image_type_enum type;
        sniffer test;
    } order[] = {{image_type_enum::bmp, sniff_bmp},   {image_type_enum::jpeg, sniff_jpeg},
                 {image_type_enum::png, sniff_png},   {image_type_enum::gif, sniff_gif},
                 {image_type_enum::tiff, sniff_tiff}, {image_type_enum::wmf, sniff_wmf},
                 {image_type_enum::emf, sniff_emf},   {image_type_enum::ico, sniff_ico}};
    for (const auto& [type, test] : order) {
        if (test(v, size)) return type;
    }
    size = {};
    return image_type_enum::none;
}

// Whether the bytes hold all of the header the format was known by: the
// sniffers read only the fields they need, and some accept a header cut
// after them.
bool whole_header(image_type_enum type, const header_view& v) {
    switch (type) {
    case image_type_enum::bmp: {
        const uint64_t info = v.u8(0) == 'B' && v.u8(1) == 'M' ? 14 : 0;
        return v.has(info, v.le32(info));
    }
    case image_type_enum::jpeg: {
        pixel_size_t size;
        bool ran_out = false;
        return read_jpeg_header(v, size, ran_out) && !ran_out;
    }
    case image_type_enum::png: return v.has(0, 8 + 8 + 13 + 4);  // signature, then the IHDR chunk and its CRC
    case image_type_enum::gif: return v.has(0, 6 + 7);            // signature, then the logical screen descriptor
    case image_type_enum::tiff: {
        const int32_t first = v.s32(4);
        const uint64_t at = first < 0 ? 0 : uint64_t(first);
        return v.has(at, 2) && v.has(at + 2, uint64_t(v.le16(at)) * 12 + 4);  // entries, then the next offset
    }
    case image_type_enum::ico: return v.has(6, uint64_t(v.le16(4)) * 16);
    case image_type_enum::wmf:
    case image_type_enum::emf: return true;  // checked whole by their sniffers
    case image_type_enum::none: break;
    }
    return false;
}

struct file_closer {
    void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};

} // namespace

bool image_t::load_file(std::string_view path) {
    clear__();
    const std::string name(path);
    std::unique_ptr<std::FILE, file_closer> file(std::fopen(name.c_str(), "rb"));
    if (!file || std::fseek(file.get(), 0, SEEK_END) != 0) return false;
    const long end = std::ftell(file.get());
    if (end < 4 || uint64_t(end) > max_image_bytes || std::fseek(file.get(), 0, SEEK_SET) != 0) return false;
    const auto n = static_cast<uint32_t>(end);
    auto bytes = std::make_unique_for_overwrite<uint8_t[]>(n);
    if (std::fread(bytes.get(), 1, n, file.get()) != n) return false;
    if (!take__(std::move(bytes), n)) return false;
    if (whole_header(type_, header_view{bytes_.get(), byte_size_})) return true;
    clear__();
    return false;
}

bool image_t::load_memory(const void* bytes, size_t n) {
    clear__();
    if (!bytes || n == 0 || n > max_image_bytes) return false;
    auto copy = std::make_unique_for_overwrite<uint8_t[]>(n);
    std::memcpy(copy.get(), bytes, n);
    return take__(std::move(copy), static_cast<uint32_t>(n));
}

bool image_t::load_shared(std::shared_ptr<const char[]> block, size_t n) {
    clear__();
    if (!block || n == 0 || n > max_image_bytes) return false;
    const auto* bytes = reinterpret_cast<const uint8_t*>(block.get());
    return take__(std::shared_ptr<const uint8_t[]>(std::move(block), bytes), static_cast<uint32_t>(n));
}

bool image_t::take__(std::shared_ptr<const uint8_t[]> bytes, uint32_t n) {
    pixel_size_t size;
    const image_type_enum type = sniff(header_view{bytes.get(), n}, size);
    if (type == image_type_enum::none) return false;
    identity_ = md5_hasher(bytes.get(), n).hex_digest();
    bytes_ = std::move(bytes);
    byte_size_ = n;
    type_ = type;
    size_ = size;
    return true;
}

void image_t::clear__() noexcept {
    bytes_.reset();
    byte_size_ = 0;
    type_ = image_type_enum::none;
    identity_.clear();
    size_ = {};
}

bool image_t::equals(const image_t& other) const noexcept {
    return byte_size_ == other.byte_size_ && type_ == other.type_ && size_ == other.size_ &&
           identity_ == other.identity_ && (byte_size_ == 0 || std::memcmp(data(), other.data(), byte_size_) == 0);
}

} // namespace vex::img
