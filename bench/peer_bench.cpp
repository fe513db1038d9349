// Saving and loading a workbook of 1,000,000 random numbers and 100,000
// distinct shared strings (100,000 rows by 11 columns) against two peers:
// libxlsxwriter writes the same workbook (zlib's default level, as ours), and
// orcus-xlsx loads the file libxlsxwriter wrote into its model without output.
// Each side runs in its own child process, timed from fork to reaping; its
// peak memory is the child's ru_maxrss. Counters are medians over the runs,
// the two sides alternating which goes first.

#include "bench/scratch_dir.h"
#include "plover.h"

#include <xlsxwriter.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <malloc.h>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int rows = 100000, number_cols = 10;  // the 11th column holds the strings
constexpr int runs = 5;

struct workbook_data_t {
    std::vector<double> numbers;       // row by row
    std::vector<std::string> strings;  // one per row, all distinct
};

const workbook_data_t& data() {
    static const workbook_data_t d = [] {
        workbook_data_t w;
        std::mt19937_64 gen(20261207);
        std::uniform_real_distribution<double> value(-1e6, 1e6);
        std::uniform_int_distribution<int> length(4, 24), letter('a', 'z');
        w.numbers.reserve(size_t(rows) * number_cols);
        for (int i = 0; i < rows * number_cols; ++i) w.numbers.push_back(value(gen));
        w.strings.reserve(rows);
        for (int r = 0; r < rows; ++r) {
            std::string s(size_t(length(gen)), ' ');
            for (char& c : s) c = char(letter(gen));
            w.strings.push_back(s + ' ' + std::to_string(r));  // the number keeps them distinct
        }
        return w;
    }();
    return d;
}

bool save_plover(const std::string& path) {
    const workbook_data_t& d = data();
    plover_document_t* doc = doc_create();
    if (!doc) return false;
    plover_worksheet_t* ws = wb_add_worksheet(doc_get_workbook(doc), "Sheet1");
    bool ok = ws != nullptr;
    for (int r = 0; ok && r < rows; ++r) {
        for (int c = 0; c < number_cols; ++c) ok &= ws_set_num(ws, r + 1, c + 1, d.numbers[size_t(r) * number_cols + c]) != 0;
        ok &= ws_set_text(ws, r + 1, number_cols + 1, d.strings[size_t(r)].c_str()) != 0;
    }
    ok = ok && doc_save(doc, path.c_str()) == 1;
    doc_release(doc);
    return ok;
}

bool save_libxlsxwriter(const std::string& path) {
    const workbook_data_t& d = data();
    lxw_workbook* wb = workbook_new(path.c_str());
    if (!wb) return false;
    lxw_worksheet* ws = workbook_add_worksheet(wb, "Sheet1");
    bool ok = ws != nullptr;
    for (int r = 0; ok && r < rows; ++r) {
        for (int c = 0; c < number_cols; ++c)
            ok &= worksheet_write_number(ws, lxw_row_t(r), lxw_col_t(c), d.numbers[size_t(r) * number_cols + c], nullptr) ==
                  LXW_NO_ERROR;
        ok &= worksheet_write_string(ws, lxw_row_t(r), lxw_col_t(number_cols), d.strings[size_t(r)].c_str(), nullptr) ==
              LXW_NO_ERROR;
    }
    return workbook_close(wb) == LXW_NO_ERROR && ok;
}

// Every cell is in the loaded sheet; a few are compared with what was written
// (libxlsxwriter keeps 16 significant digits of a number).
bool load_plover(const std::string& path) {
    const workbook_data_t& d = data();
    plover_document_t* doc = load_document(path.c_str());
    if (!doc) return false;
    plover_worksheet_t* ws = wb_get_sheet(doc_get_workbook(doc), 0);
    int last_row = 0, last_col = 0;
    bool ok = ws && ws_last_data_cell(ws, &last_row, &last_col) && last_row == rows && last_col == number_cols + 1;
    for (int r = 0; ok && r < rows; r += 9973)
        ok = std::fabs(ws_get_num(ws, r + 1, 1) - d.numbers[size_t(r) * number_cols]) <= 1e-9 &&
             d.strings[size_t(r)] == ws_get_text(ws, r + 1, number_cols + 1);
    doc_release(doc);
    return ok;
}

struct child_run_t {
    double seconds = 0;
    double cpu_seconds = 0;  // user and system, every thread
    double peak_mb = 0;      // ru_maxrss
    bool ok = false;      // exit status 0
    bool exited = false;  // by exit, not by a signal
};

// Runs work in a forked child whose exit status is whether it succeeded.
child_run_t run_child(const std::function<bool()>& work) {
    malloc_trim(0);  // the child starts from what the parent holds
    child_run_t run;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid < 0) return run;
    if (pid == 0) {
        bool ok = false;
        try {
            ok = work();
        } catch (...) {
        }
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid) return run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.cpu_seconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                      double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    run.peak_mb = double(usage.ru_maxrss) / 1024;  // KiB on Linux
    run.exited = WIFEXITED(status);
    run.ok = run.exited && WEXITSTATUS(status) == 0;
    return run;
}

// orcus-xlsx loads the whole file into its document and writes nothing. Its
// exit status is 1 after a good load and 0 after some failures, so a run
// succeeds when it ends normally with nothing on stderr.
bool exec_orcus(const std::string& path, const std::string& errors) {
    const int null_fd = ::open("/dev/null", O_WRONLY);
    const int err_fd = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (null_fd < 0 || err_fd < 0) return false;
    ::dup2(null_fd, STDOUT_FILENO);
    ::dup2(err_fd, STDERR_FILENO);
    ::execlp("orcus-xlsx", "orcus-xlsx", "--output-format", "none", path.c_str(), static_cast<char*>(nullptr));
    return false;
}

bool orcus_ran(const child_run_t& run, const std::string& errors) {
    std::error_code ec;
    return run.exited && std::filesystem::file_size(errors, ec) == 0 && !ec;
}

// Whether orcus-xlsx reads every cell of the file: its check dump has a line per cell.
bool orcus_reads_every_cell(const std::string& path) {
    const std::string dump = (bench_scratch::dir() / "orcus_check.txt").string();
    const child_run_t run = run_child([&] {
        const int null_fd = ::open("/dev/null", O_WRONLY);
        if (null_fd < 0) return false;
        ::dup2(null_fd, STDOUT_FILENO);
        ::dup2(null_fd, STDERR_FILENO);
        ::execlp("orcus-xlsx", "orcus-xlsx", "--dump-check", "-o", dump.c_str(), path.c_str(), static_cast<char*>(nullptr));
        return false;
    });
    std::ifstream in(dump);
    long cells = 0;
    for (std::string line; std::getline(in, line);) cells += line.rfind("Sheet1/", 0) == 0;
    return run.exited && cells == long(rows) * (number_cols + 1);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// peer_ok judges a peer's run; by default, by its exit status.
void compare(benchmark::State& state, const char* ours_name, const std::function<bool()>& ours,
             const char* peer_name, const std::function<bool()>& peer,
             const std::function<bool(const child_run_t&)>& peer_ok = [](const child_run_t& r) { return r.ok; }) {
    data();  // built before the children, who inherit it alike
    std::vector<double> ours_s, peer_s, ours_cpu, peer_cpu, ours_mb, peer_mb;
    for (auto _ : state) {
        for (int i = 0; i < runs; ++i) {
            child_run_t a, b;
            if (i % 2 == 0) {
                a = run_child(ours);
                b = run_child(peer);
            } else {
                b = run_child(peer);
                a = run_child(ours);
            }
            if (!a.ok || !peer_ok(b)) {
                state.SkipWithError(!a.ok ? "our side failed" : "the peer failed");
                return;
            }
            ours_s.push_back(a.seconds), peer_s.push_back(b.seconds);
            ours_cpu.push_back(a.cpu_seconds), peer_cpu.push_back(b.cpu_seconds);
            ours_mb.push_back(a.peak_mb), peer_mb.push_back(b.peak_mb);
        }
    }
    const std::string ours_prefix = ours_name, peer_prefix = peer_name;
    state.counters[ours_prefix + "_s"] = median(ours_s);
    state.counters[peer_prefix + "_s"] = median(peer_s);
    state.counters[ours_prefix + "_cpu_s"] = median(ours_cpu);
    state.counters[peer_prefix + "_cpu_s"] = median(peer_cpu);
    state.counters[ours_prefix + "_MB"] = median(ours_mb);
    state.counters[peer_prefix + "_MB"] = median(peer_mb);
    state.counters["time_ratio"] = median(ours_s) / median(peer_s);
    state.counters["memory_ratio"] = median(ours_mb) / median(peer_mb);
}

void BM_save_vs_libxlsxwriter(benchmark::State& state) {
    const std::string ours = (bench_scratch::dir() / "plover.xlsx").string(), peer = (bench_scratch::dir() / "libxlsxwriter.xlsx").string();
    compare(state, "plover", [&] { return save_plover(ours); }, "libxlsxwriter", [&] { return save_libxlsxwriter(peer); });
}
BENCHMARK(BM_save_vs_libxlsxwriter)->Iterations(1)->Unit(benchmark::kSecond);

void BM_load_vs_orcus(benchmark::State& state) {
    const std::string path = (bench_scratch::dir() / "written_by_libxlsxwriter.xlsx").string();
    if (!run_child([&] { return save_libxlsxwriter(path); }).ok) {
        state.SkipWithError("libxlsxwriter could not write the file");
        return;
    }
    if (!orcus_reads_every_cell(path)) {
        state.SkipWithError("orcus-xlsx does not read every cell");
        return;
    }
    const std::string errors = (bench_scratch::dir() / "orcus_errors.txt").string();
    compare(state, "plover", [&] { return load_plover(path); }, "orcus", [&] { return exec_orcus(path, errors); },
            [&](const child_run_t& run) { return orcus_ran(run, errors); });
}
BENCHMARK(BM_load_vs_orcus)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
