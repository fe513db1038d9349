#pragma once
// Zip archives whose central records give sizes and local header offsets only
// in zip64 extra fields, as writers of large archives do.

#include <zlib.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zip64_test {

struct entry_t {
    std::string name, data;
    std::uint64_t declared_size = 0;  // 0: the data's own
    int header_of = -1;               // an earlier entry whose local header it names; -1: its own
    bool deflated = false;
    std::optional<std::uint64_t> held_size = std::nullopt;  // in the zip64 field; unset: the held data's own
};

struct layout_t {
    bool sizes = false, offsets = false, end_zip64 = false;  // the last: zip64 end record and locator
};

inline void put(std::string& out, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out += char(v >> 8 * i);
}

inline std::string raw_deflate(const std::string& data) {
    uLongf n = compressBound(uLong(data.size()));
    std::string out(n, '\0');
    compress(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(data.data()), uLong(data.size()));
    return out.substr(2, n - 6);  // without zlib's header and checksum
}

inline std::string build(const std::vector<entry_t>& entries, const layout_t& how) {
    constexpr std::uint64_t sat = 0xFFFFFFFF;
    std::string local, central;
    std::vector<std::uint64_t> offsets;
    for (const entry_t& e : entries) {
        const std::uint64_t size = e.declared_size ? e.declared_size : e.data.size();
        const std::uint64_t offset = e.header_of < 0 ? local.size() : offsets[std::size_t(e.header_of)];
        const std::string held = e.deflated ? raw_deflate(e.data) : e.data;
        offsets.push_back(local.size());
        std::string common;  // version needed, flags, method, time, date, checksum
        put(common, 45, 2), put(common, 0, 2), put(common, e.deflated ? 8 : 0, 2), put(common, 0x210000, 4);
        put(common, crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), uInt(e.data.size())), 4);
        if (e.header_of < 0) {
            local += "PK\x03\x04" + common;
            put(local, held.size(), 4), put(local, size, 4), put(local, e.name.size(), 4);
            local += e.name + held;
        }
        std::string extra;
        if (how.sizes) put(extra, size, 8), put(extra, e.held_size.value_or(held.size()), 8);
        if (how.offsets) put(extra, offset, 8);
        central += std::string("PK\x01\x02\x2D\0", 6) + common;  // made by 4.5
        put(central, how.sizes ? sat : held.size(), 4), put(central, how.sizes ? sat : size, 4);
        put(central, e.name.size(), 2), put(central, extra.empty() ? 0 : extra.size() + 4, 2);
        put(central, 0, 6), put(central, 0, 4), put(central, how.offsets ? sat : offset, 4);
        central += e.name;
        if (!extra.empty()) put(central, 1, 2), put(central, extra.size(), 2), central += extra;
    }
    std::string out = local + central;
    const std::uint64_t n = entries.size();
    const bool z = how.end_zip64;
    if (z) {
        const std::uint64_t record = out.size();
        out += "PK\x06\x06";
        put(out, 44, 8), put(out, 45 * 0x10001, 4), put(out, 0, 8);
        put(out, n, 8), put(out, n, 8), put(out, central.size(), 8), put(out, local.size(), 8);
        out += "PK\x06\x07";
        put(out, 0, 4), put(out, record, 8), put(out, 1, 4);
    }
    out += "PK\x05\x06";
    put(out, 0, 4), put(out, z ? 0xFFFF : n, 2), put(out, z ? 0xFFFF : n, 2);
    put(out, z ? sat : central.size(), 4), put(out, z ? sat : local.size(), 4), put(out, 0, 2);
    return out;
}

} // namespace zip64_test
