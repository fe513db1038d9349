// Writing one 50 MB entry through the archive against deflating the same bytes
// with zlib alone, in memory: the gap is what the archive layer costs.
#include "ziputil.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <charconv>
#include <cstdint>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t entry_bytes = 50u << 20;
constexpr std::size_t block = 64u << 10;  // what a part writer hands over at a time

// Sheet-like XML: rows of numeric cells, about as compressible as real parts.
const std::string& sheet_xml() {
    static const std::string text = [] {
        std::string s;
        s.reserve(entry_bytes + 256);
        std::uint32_t seed = 88172645u;
        char digits[16];
        for (int row = 1; s.size() < entry_bytes; ++row) {
            s += "<row r=\"";
            s.append(digits, std::to_chars(digits, digits + 16, row).ptr);
            s += "\">";
            for (char col = 'A'; col <= 'H'; ++col) {
                seed ^= seed << 13;
                seed ^= seed >> 17;
                seed ^= seed << 5;
                s += "<c r=\"";
                s += col;
                s.append(digits, std::to_chars(digits, digits + 16, row).ptr);
                s += "\"><v>";
                s.append(digits, std::to_chars(digits, digits + 16, seed % 1000000).ptr);
                s += "</v></c>";
            }
            s += "</row>";
        }
        s.resize(entry_bytes);
        return s;
    }();
    return text;
}

void BM_zip_write_50mb_entry(benchmark::State& state) {
    const std::string& data = sheet_xml();
    const std::string file =
        (std::filesystem::temp_directory_path() / ("plover_zip_bench_" + std::to_string(::getpid()) + ".zip")).string();
    for (auto _ : state) {
        vex::zip_archive zip;
        zip.create_zip_file(file);
        zip.add_file_to_zip("xl/worksheets/sheet1.xml");
        for (std::size_t at = 0; at < data.size(); at += block)
            zip.write_file_stream("xl/worksheets/sheet1.xml", data.data() + at,
                                  unsigned(std::min(block, data.size() - at)));
        zip.close_file_in_zip();
        zip.close();
    }
    state.counters["archive_bytes"] = double(std::filesystem::file_size(file));
    std::filesystem::remove(file);
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(data.size()));
}
BENCHMARK(BM_zip_write_50mb_entry)->Unit(benchmark::kMillisecond)->UseRealTime();

// Raw deflate at the default level, the same block size, output dropped.
void BM_zlib_deflate_50mb(benchmark::State& state) {
    const std::string& data = sheet_xml();
    std::vector<unsigned char> out(block);
    std::uint64_t compressed = 0;
    for (auto _ : state) {
        z_stream z{};
        deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        compressed = 0;
        for (std::size_t at = 0; at < data.size(); at += block) {
            const std::size_t n = std::min(block, data.size() - at);
            z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data() + at));
            z.avail_in = uInt(n);
            const int flush = at + n == data.size() ? Z_FINISH : Z_NO_FLUSH;
            do {
                z.next_out = out.data();
                z.avail_out = uInt(out.size());
                deflate(&z, flush);
                compressed += out.size() - z.avail_out;
            } while (z.avail_out == 0);
        }
        deflateEnd(&z);
        benchmark::DoNotOptimize(compressed);
    }
    state.counters["deflated_bytes"] = double(compressed);
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(data.size()));
}
BENCHMARK(BM_zlib_deflate_50mb)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
