#pragma once
// Zip archives built byte by byte, with the central records deferring to zip64
// extra fields as writers of large archives do: the local headers carry the
// true sizes (or none, past 4 GiB), the central records saturate the sizes,
// the local header offsets or both, and give them in the zip64 field.

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zip64_test {

struct entry_t {
    std::string name;
    std::string data;
    bool deflated = false;
    // Declared in place of the data's size; 0: the data's own.
    std::uint64_t declared_size = 0;
    // Names the local header of this entry instead of its own; -1: its own.
    int header_of = -1;
};

struct layout_t {
    bool sizes = false;     // both sizes only in the zip64 field
    bool offsets = false;   // the local header offset only in the zip64 field
    bool end_zip64 = false; // the zip64 end record and locator, the end record saturated
};

inline void put(std::string& out, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out += char(v >> 8 * i);
}

inline std::string raw_deflate(const std::string& data) {
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, data.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

inline std::string build(const std::vector<entry_t>& entries, const layout_t& how) {
    constexpr std::uint32_t saturated = 0xFFFFFFFF;
    std::string local, central;
    std::vector<std::uint64_t> offsets;
    for (const entry_t& e : entries) {
        const std::string held = e.deflated ? raw_deflate(e.data) : e.data;
        const auto crc = crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), static_cast<uInt>(e.data.size()));
        const std::uint64_t size = e.declared_size ? e.declared_size : e.data.size();
        const std::uint16_t method = e.deflated ? 8 : 0;
        offsets.push_back(local.size());
        const std::uint64_t offset = e.header_of < 0 ? local.size() : offsets[std::size_t(e.header_of)];
        std::string common;  // version needed to the name length
        put(common, 45, 2), put(common, 0, 2), put(common, method, 2);
        put(common, 0, 2), put(common, 0x21, 2);  // 00:00:00, 1 January 1980
        put(common, crc, 4);
        if (e.header_of < 0) {
            local += "PK\x03\x04" + common;
            put(local, held.size(), 4), put(local, size, 4);
            put(local, e.name.size(), 2), put(local, 0, 2);
            local += e.name + held;
        }
        std::string extra;
        if (how.sizes) put(extra, size, 8), put(extra, held.size(), 8);
        if (how.offsets) put(extra, offset, 8);
        central += "PK\x01\x02";
        put(central, 45, 2);
        central += common;
        put(central, how.sizes ? saturated : held.size(), 4), put(central, how.sizes ? saturated : size, 4);
        put(central, e.name.size(), 2), put(central, extra.empty() ? 0 : extra.size() + 4, 2);
        put(central, 0, 2), put(central, 0, 2), put(central, 0, 2), put(central, 0, 4);
        put(central, how.offsets ? saturated : offset, 4);
        central += e.name;
        if (!extra.empty()) put(central, 1, 2), put(central, extra.size(), 2), central += extra;
    }
    std::string out = local + central;
    const std::uint64_t count = entries.size();
    if (how.end_zip64) {
        const std::uint64_t record = out.size();
        out += "PK\x06\x06";
        put(out, 44, 8), put(out, 45, 2), put(out, 45, 2), put(out, 0, 4), put(out, 0, 4);
        put(out, count, 8), put(out, count, 8), put(out, central.size(), 8), put(out, local.size(), 8);
        out += "PK\x06\x07";
        put(out, 0, 4), put(out, record, 8), put(out, 1, 4);
    }
    out += "PK\x05\x06";
    put(out, 0, 2), put(out, 0, 2);
    put(out, how.end_zip64 ? 0xFFFF : count, 2), put(out, how.end_zip64 ? 0xFFFF : count, 2);
    put(out, how.end_zip64 ? saturated : central.size(), 4), put(out, how.end_zip64 ? saturated : local.size(), 4);
    put(out, 0, 2);
    return out;
}

} // namespace zip64_test
