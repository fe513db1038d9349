#pragma once
// MD5 digests (RFC 1321). A picture's identity is the digest of its bytes, so
// equal pictures are found without comparing every byte of every pair.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace vex {

class md5_hasher {
public:
    md5_hasher() noexcept { reset__(); }
    md5_hasher(const void* data, size_t n) noexcept {
        reset__();
        update(data, n);
    }

    void update(const void* data, size_t n) noexcept;
    // 32 lower-case hexadecimal characters of the bytes fed so far. Taking the
    // digest does not end the message: a later update continues it.
    std::string hex_digest();

    static std::string to_hex(const uint8_t* bytes, size_t n);

private:
    void reset__() noexcept;
    void transform__(const uint8_t* block) noexcept;

    std::array<uint32_t, 4> state_;
    uint64_t length_;  // bytes fed so far
    std::array<uint8_t, 64> buffer_;
    std::array<uint8_t, 16> digest_;
    bool finalised_;
};

} // namespace vex
