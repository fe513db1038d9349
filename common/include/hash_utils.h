#pragma once
// The hashes of the library's own maps: FNV-1a over bytes, one way of folding a
// value into a seed, and a text hash that looks strings up by view.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

namespace vex {

// FNV-1a 64 over the bytes.
uint64_t fnv1a_64(const unsigned char* bytes, size_t n) noexcept;

inline void hash_combine(uint64_t& seed, uint64_t value) noexcept {
    seed ^= value + 0x9e3779b9ull + (seed << 6) + (seed >> 2);
}

// For maps keyed by std::string that are searched with a view (std::equal_to<>).
struct string_hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
};

} // namespace vex
