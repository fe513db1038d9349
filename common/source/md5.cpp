#include "md5.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace vex {

namespace {

// Per-round shift amounts and the sine-derived constants of RFC 1321 3.4.
constexpr uint8_t shifts[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

constexpr uint32_t sines[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

uint32_t load_le32(const uint8_t* p) noexcept {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

} // namespace

void md5_hasher::reset__() noexcept {
    state_ = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    length_ = 0;
    buffer_.fill(0);
    digest_.fill(0);
    finalised_ = false;
}

void md5_hasher::transform__(const uint8_t* block) noexcept {
    uint32_t m[16];
    for (int i = 0; i < 16; ++i) m[i] = load_le32(block + 4 * i);
    uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
    for (int i = 0; i < 64; ++i) {
        uint32_t f;
        int g;
        switch (i / 16) {
        case 0: f = (b & c) | (~b & d); g = i; break;
        case 1: f = (d & b) | (~d & c); g = (5 * i + 1) % 16; break;
        case 2: f = b ^ c ^ d; g = (3 * i + 5) % 16; break;
        default: f = c ^ (b | ~d); g = (7 * i) % 16; break;
        }
        const uint32_t next = b + std::rotl(a + f + sines[i] + m[g], shifts[i]);
        a = d;
        d = c;
        c = b;
        b = next;
    }
    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
}

void md5_hasher::update(const void* data, size_t n) noexcept {
    finalised_ = false;
    if (n == 0) return;
    auto p = static_cast<const uint8_t*>(data);
    size_t used = length_ % 64;
    length_ += n;
    if (used) {
        const size_t take = std::min(n, 64 - used);
        std::memcpy(buffer_.data() + used, p, take);
        p += take;
        n -= take;
        if (used + take < 64) return;
        transform__(buffer_.data());
    }
    for (; n >= 64; p += 64, n -= 64) transform__(p);
    std::memcpy(buffer_.data(), p, n);
}

std::string md5_hasher::hex_digest() {
    if (!finalised_) {
        // Pad a copy, so that the message can go on afterwards.
        md5_hasher tail = *this;
        const uint64_t bits = length_ * 8;
        uint8_t pad[72] = {0x80};
        const size_t used = length_ % 64;
        const size_t pad_len = (used < 56 ? 56 : 120) - used;
        for (int i = 0; i < 8; ++i) pad[pad_len + i] = uint8_t(bits >> (8 * i));
        tail.update(pad, pad_len + 8);
        for (int w = 0; w < 4; ++w)
            for (int i = 0; i < 4; ++i) digest_[4 * w + i] = uint8_t(tail.state_[w] >> (8 * i));
        finalised_ = true;
    }
    return to_hex(digest_.data(), digest_.size());
}

std::string md5_hasher::to_hex(const uint8_t* bytes, size_t n) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string out(2 * n, '\0');
    for (size_t i = 0; i < n; ++i) {
        out[2 * i] = digits[bytes[i] >> 4];
        out[2 * i + 1] = digits[bytes[i] & 15];
    }
    return out;
}

} // namespace vex
