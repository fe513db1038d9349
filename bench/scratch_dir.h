#pragma once
// One scratch directory per benchmark process, removed at exit; children that
// leave with _exit keep it.

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

namespace bench_scratch {

inline const std::filesystem::path& dir() {
    static const struct scratch_t {
        std::filesystem::path path;
        scratch_t() {
            std::string t = (std::filesystem::temp_directory_path() / "plover_bench_XXXXXX").string();
            if (!::mkdtemp(t.data())) throw std::runtime_error("no scratch directory");
            path = t;
        }
        ~scratch_t() {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    } scratch;
    return scratch.path;
}

} // namespace bench_scratch
