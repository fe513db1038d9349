#pragma once
// Memory figures for benchmarks: live heap bytes, /proc/self/status fields, and
// a restart of the resident high-water mark.

#include <malloc.h>

#include <cstddef>
#include <fstream>
#include <string>

namespace bench_memory {

inline size_t heap_in_use() {
    const auto m = mallinfo2();
    return m.uordblks + m.hblkhd;  // large blocks are mapped apart
}

// A field of /proc/self/status in bytes; 0 when it cannot be read.
inline size_t status_bytes(const char* field) {
    std::ifstream in("/proc/self/status");
    const std::string prefix = std::string(field) + ":";
    for (std::string line; std::getline(in, line);)
        if (line.rfind(prefix, 0) == 0) return size_t(std::stoull(line.substr(prefix.size()))) * 1024;
    return 0;
}

// Restarts the resident high-water mark, so that it covers one fill only.
inline bool reset_peak_rss() {
    malloc_trim(0);  // or a fill reuses pages still resident from the last one
    std::ofstream out("/proc/self/clear_refs");
    out << "5";
    return bool(out.flush());
}

} // namespace bench_memory
