// Peak resident bytes a load takes per byte of a picture the package holds:
// a PNG of 64, 128 and 256 MB (its header, then zeros, so that the package
// stays small), placed on a sheet. The picture's bytes are read once from the
// package; the sheet's image record and the part that saves them share them.
// Each load runs in a child process, from a restarted high-water mark.

#include "bench/memory_counters.h"
#include "bench/scratch_dir.h"
#include "plover.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// A book whose one sheet shows a picture of `mb` MB.
const std::string& book_with_picture_of(size_t mb) {
    static std::map<size_t, std::string> made;
    std::string& path = made[mb];
    if (!path.empty()) return path;
    const std::filesystem::path dir = bench_scratch::dir();
    const std::string picture = (dir / ("picture" + std::to_string(mb) + ".png")).string();
    {
        std::vector<char> bytes(mb << 20, 0);
        const unsigned char header[] = {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R',
                                        0,    0,   4,   0,   0,  0,  4,  0,  8, 6, 0, 0, 0};
        std::copy(std::begin(header), std::end(header), bytes.begin());
        std::ofstream(picture, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    }
    plover_document_t* doc = doc_create();
    plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Pictures");
    path = (dir / ("picture" + std::to_string(mb) + ".xlsx")).string();
    if (ws_add_image_with_one_cell(ws, picture.c_str(), 2, 2, 0, 0, 1.0, 0, 0) < 1 || !doc_save(doc, path.c_str()))
        path.clear();
    doc_release(doc);
    std::filesystem::remove(picture);
    return path;
}

// The resident peak a load of path adds, from a child process; -1 on failure.
double load_peak(const std::string& path) {
    int pipe_ends[2];
    if (path.empty() || ::pipe(pipe_ends) != 0) return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        double added = -1;
        if (bench_memory::reset_peak_rss()) {
            const double start = double(bench_memory::status_bytes("VmRSS"));
            plover_document_t* doc = doc_load(path.c_str());
            if (doc) added = double(bench_memory::status_bytes("VmHWM")) - start;
            doc_release(doc);
        }
        const bool sent = ::write(pipe_ends[1], &added, sizeof added) == sizeof added;
        _exit(sent ? 0 : 1);
    }
    ::close(pipe_ends[1]);
    double added = -1;
    const bool got = child > 0 && ::read(pipe_ends[0], &added, sizeof added) == sizeof added;
    ::close(pipe_ends[0]);
    if (child > 0) ::waitpid(child, nullptr, 0);
    return got ? added : -1;
}

// range(0): MB of the picture.
void BM_load_peak_picture(benchmark::State& state) {
    const size_t mb = size_t(state.range(0));
    const std::string& path = book_with_picture_of(mb);
    double peak = -1;
    for (auto _ : state) peak = load_peak(path);
    if (peak < 0) state.SkipWithError("the load failed or the peak could not be measured");
    state.counters["picture_MB"] = double(mb);
    state.counters["peak_MB"] = peak / (1 << 20);
    state.counters["peak_per_byte"] = peak / double(mb << 20);
}
BENCHMARK(BM_load_peak_picture)->Arg(64)->Arg(128)->Arg(256)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
