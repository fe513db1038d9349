#pragma once
// The bytes of a picture placed on a sheet, with the format and pixel size read
// from its header. Only headers are read: nothing is decoded, and no size found in
// a header decides how much memory is taken.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace vex::img {

enum class image_type_enum : uint32_t { none = 0, bmp, jpeg, png, gif, tiff, wmf, emf, ico };

struct pixel_size_t {
    uint32_t width = 0;
    uint32_t height = 0;

    friend bool operator==(const pixel_size_t&, const pixel_size_t&) = default;
};

class image_t {
public:
    image_t() = default;
    virtual ~image_t() = default;
    image_t(image_t&&) noexcept = default;
    image_t& operator=(image_t&&) noexcept = default;
    image_t(const image_t&) = delete;
    image_t& operator=(const image_t&) = delete;

    // False when the file cannot be read, holds fewer than 4 bytes or more than
    // 4 GiB, is no format known here or holds only part of its header; the
    // image is then empty.
    bool load_file(std::string_view path);
    // Copies the bytes; false, leaving the image empty, as for a file. A
    // header cut after the fields read is taken.
    bool load_memory(const void* bytes, size_t n);
    // As load_memory, but keeps the first n bytes of the block instead of a
    // copy: a picture read from a package is held once, by its part and here.
    bool load_shared(std::shared_ptr<const char[]> block, size_t n);

    image_type_enum type() const noexcept { return type_; }
    pixel_size_t pixel_size() const noexcept { return size_; }
    uint32_t byte_size() const noexcept { return byte_size_; }
    const uint8_t* data() const noexcept { return bytes_.get(); }
    // The MD5 digest of the bytes in lower-case hexadecimal.
    const std::string& identity() const noexcept { return identity_; }

    // Same bytes, and so the same format, size and identity.
    bool equals(const image_t& other) const noexcept;

private:
    bool take__(std::shared_ptr<const uint8_t[]> bytes, uint32_t n);
    void clear__() noexcept;

    std::shared_ptr<const uint8_t[]> bytes_;
    uint32_t byte_size_ = 0;
    image_type_enum type_ = image_type_enum::none;
    std::string identity_;
    pixel_size_t size_;
};

} // namespace vex::img
