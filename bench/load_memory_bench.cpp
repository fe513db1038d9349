// Peak resident bytes a package load takes per byte of the part it is about,
// for three parts of about 64 MB expanded: shared strings (a part whose model
// keeps every node), a worksheet (streamed) and a kept part of an unknown kind
// (read raw). Beside them, the same shared strings parsed into a node tree, the
// form such a part used to be kept in. Each load runs in a child process, whose
// peak is measured from a reset high-water mark.
//
// Hostile shapes beside their easy twins: two million shared-string items all
// equal beside two million distinct ones, and a kept part that inflates to
// 256 MB beside one of 1 MB, loaded and saved.

#include "bench/scratch_dir.h"
#include "kestrel/document/xml_document.h"
#include "kestrel/parts/part.h"
#include "ziputil.h"

#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr size_t part_bytes = 64u << 20;
const std::string main_ns = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const std::string od = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
const std::string decl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";

std::string number(long v) {
    char buf[24];
    return {buf, size_t(std::to_chars(buf, buf + sizeof buf, v).ptr - buf)};
}

// Strings of 5 to 40 characters, some with an escaped character.
std::string shared_strings_xml() {
    std::string s = decl + "<sst xmlns=\"" + main_ns + "\">";
    for (long i = 0; s.size() < part_bytes; ++i) {
        s += "<si><t>";
        s.append(size_t(i % 36), char('a' + i % 26));
        s += i % 7 ? " item " : " &amp; ";
        s += number(i % 10000);
        s += "</t></si>";
    }
    return s + "</sst>";
}

std::string worksheet_xml() {
    std::string s = decl + "<worksheet xmlns=\"" + main_ns + "\"><sheetData>";
    for (long r = 1; s.size() < part_bytes; ++r) {
        const std::string row = number(r);
        s += "<row r=\"" + row + "\">";
        for (char col = 'A'; col <= 'F'; ++col)
            s += std::string("<c r=\"") + col + row + "\"><v>" + number(r * (col - 'A' + 3)) + "</v></c>";
        s += "</row>";
    }
    return s + "</sheetData></worksheet>";
}

std::string rels(const std::string& body) {
    return decl + "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">" + body +
           "</Relationships>";
}

std::string rel(const std::string& id, const std::string& type, const std::string& target) {
    return "<Relationship Id=\"" + id + "\" Type=\"" + type + "\" Target=\"" + target + "\"/>";
}

std::string override_of(const std::string& part, const std::string& type) {
    return "<Override PartName=\"/" + part + "\" ContentType=\"" + type + "\"/>";
}

struct package_t {
    std::string path;
    size_t bytes = 0;  // of the part measured
};

// Writes a part's bytes into the open entry.
using part_writer_t = std::function<void(vex::zip_archive&, const std::string& entry)>;

// A workbook with one more part of the given relationship type and content type,
// `bytes` long, which `write` writes; with_sheet adds an empty sheet, which a
// save needs.
package_t make_package(const std::string& name, const std::string& type, const std::string& entry,
                       const std::string& content_type, size_t bytes, const part_writer_t& write,
                       bool with_sheet = false) {
    const std::filesystem::path& dir = bench_scratch::dir();
    const std::string ct =
        decl + "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
               "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
               "<Default Extension=\"xml\" ContentType=\"application/xml\"/>" +
        override_of("xl/workbook.xml", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml") +
        override_of("xl/" + entry, content_type) +
        (with_sheet ? override_of("xl/worksheets/empty.xml",
                                  "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml")
                    : "") +
        "</Types>";
    const std::string sheet_record = type == od + "worksheet" ? "<sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/>"
                                     : with_sheet             ? "<sheet name=\"S\" sheetId=\"1\" r:id=\"rId2\"/>"
                                                              : "";
    std::vector<std::pair<std::string, std::string>> entries = {
        {"[Content_Types].xml", ct},
        {"_rels/.rels", rels(rel("rId1", od + "officeDocument", "xl/workbook.xml"))},
        {"xl/workbook.xml", decl + "<workbook xmlns=\"" + main_ns + "\" xmlns:r=\"" + od.substr(0, od.size() - 1) +
                                "\"><sheets>" + sheet_record + "</sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels",
         rels(rel("rId1", type, entry) + (with_sheet ? rel("rId2", od + "worksheet", "worksheets/empty.xml") : ""))},
    };
    if (with_sheet)
        entries.emplace_back("xl/worksheets/empty.xml",
                             decl + "<worksheet xmlns=\"" + main_ns + "\"><sheetData/></worksheet>");
    package_t p{(dir / name).string(), bytes};
    vex::zip_archive z;
    z.create_zip_file(p.path);
    for (const auto& [n, b] : entries) {
        z.add_file_to_zip(n);
        z.write_file_stream(n, b.data(), static_cast<unsigned>(b.size()));
        z.close_file_in_zip();
        if (n == "xl/workbook.xml") {
            z.add_file_to_zip("xl/" + entry);
            write(z, "xl/" + entry);
            z.close_file_in_zip();
        }
    }
    z.close();
    return p;
}

package_t make_package(const std::string& name, const std::string& type, const std::string& entry,
                       const std::string& content_type, const std::string& xml, bool with_sheet = false) {
    return make_package(
        name, type, entry, content_type, xml.size(),
        [&](vex::zip_archive& z, const std::string& n) { z.write_file_stream(n, xml.data(), unsigned(xml.size())); },
        with_sheet);
}

const package_t& shared_strings_package() {
    static const package_t p = make_package("strings.xlsx", od + "sharedStrings", "sharedStrings.xml",
                                            "application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml",
                                            shared_strings_xml());
    return p;
}

const package_t& worksheet_package() {
    static const package_t p = make_package("sheet.xlsx", od + "worksheet", "worksheets/sheet1.xml",
                                            "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml",
                                            worksheet_xml());
    return p;
}

const package_t& kept_package() {
    static const package_t p = make_package("kept.xlsx", "http://example.com/relationships/blob", "blob.xml",
                                            "application/xml", shared_strings_xml());
    return p;
}

long status_kib(const char* field) {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.starts_with(field)) return std::strtol(line.c_str() + std::strlen(field), nullptr, 10);
    return -1;
}

// The peak resident bytes `work` adds, measured in a child process; -1 when the
// work failed or the peak cannot be reset.
double child_peak(const std::function<void()>& work) {
    int fds[2];
    if (::pipe(fds) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        double peak = -1;
        // "5" resets the high-water mark to the present size.
        if (std::ofstream("/proc/self/clear_refs") << "5") {
            const long before = status_kib("VmRSS:");
            try {
                work();
                peak = double(status_kib("VmHWM:") - before) * 1024;
            } catch (...) {
            }
        }
        if (::write(fds[1], &peak, sizeof peak) != sizeof peak) _exit(1);
        _exit(0);
    }
    ::close(fds[1]);
    double peak = -1;
    if (::read(fds[0], &peak, sizeof peak) != sizeof peak) peak = -1;
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return peak;
}

void report(benchmark::State& state, const package_t& p, const std::function<void()>& work) {
    double peak = -1;
    for (auto _ : state) peak = child_peak(work);
    if (peak < 0) state.SkipWithError("the load failed or the peak could not be measured");
    state.counters["part_MB"] = double(p.bytes) / (1 << 20);
    state.counters["peak_MB"] = peak / (1 << 20);
    state.counters["peak_per_byte"] = peak / double(p.bytes);
}

void load(const package_t& p) {
    vex::xml_document_t doc;
    doc.load(p.path.c_str(), false);
}

void BM_load_peak_shared_strings(benchmark::State& state) {
    const package_t& p = shared_strings_package();
    report(state, p, [&] { load(p); });
}
BENCHMARK(BM_load_peak_shared_strings)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_load_peak_worksheet(benchmark::State& state) {
    const package_t& p = worksheet_package();
    report(state, p, [&] { load(p); });
}
BENCHMARK(BM_load_peak_worksheet)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_load_peak_kept_part(benchmark::State& state) {
    const package_t& p = kept_package();
    report(state, p, [&] { load(p); });
}
BENCHMARK(BM_load_peak_kept_part)->Iterations(1)->Unit(benchmark::kMillisecond);

// The shared strings as a node tree: what asking a loaded part for its tree costs.
void BM_tree_peak_shared_strings(benchmark::State& state) {
    const package_t& p = shared_strings_package();
    report(state, p, [&] {
        vex::xml_document_t doc;
        doc.load(p.path.c_str(), false);
        for (const auto& child : doc.workbook_part()->get_child_parts())
            if (!child->get_kept_tree()) throw std::runtime_error("no tree");
    });
}
BENCHMARK(BM_tree_peak_shared_strings)->Iterations(1)->Unit(benchmark::kMillisecond);

// count items of 10 letters: all one text, or each its own.
std::string strings_of(long count, bool distinct) {
    std::string s = decl + "<sst xmlns=\"" + main_ns + "\">";
    s.reserve(size_t(count) * 22 + 200);
    std::string text = "abcdefghij";
    for (long i = 0; i < count; ++i) {
        if (distinct)
            for (long v = i, k = 9; k >= 0; --k, v /= 26) text[size_t(k)] = char('a' + v % 26);
        s += "<si><t>" + text + "</t></si>";
    }
    return s + "</sst>";
}

const package_t& strings_package(bool distinct) {
    static package_t p[2];
    if (p[distinct].path.empty())
        p[distinct] = make_package(distinct ? "distinct.xlsx" : "identical.xlsx", od + "sharedStrings",
                                   "sharedStrings.xml",
                                   "application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml",
                                   strings_of(2000000, distinct));
    return p[distinct];
}

// range(0): 1 distinct items, 0 one text.
void BM_load_peak_shared_strings_items(benchmark::State& state) {
    const package_t& p = strings_package(state.range(0) != 0);
    report(state, p, [&] { load(p); });
    state.SetLabel(state.range(0) ? "distinct" : "identical");
}
BENCHMARK(BM_load_peak_shared_strings_items)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

const package_t& kept_package_of(size_t bytes) {
    static std::map<size_t, package_t> made;
    auto& p = made[bytes];
    if (p.path.empty()) {
        std::string xml = decl + "<blob>";
        while (xml.size() < bytes) xml += "<item value=\"0\"/>";
        p = make_package("kept" + number(long(bytes)) + ".xlsx", "http://example.com/relationships/blob", "blob.xml",
                         "application/xml", xml + "</blob>", true);
    }
    return p;
}

// range(0): MB the kept part inflates to.
void BM_load_save_peak_kept_part(benchmark::State& state) {
    const package_t& p = kept_package_of(size_t(state.range(0)) << 20);
    const std::string out = (bench_scratch::dir() / "kept_saved.xlsx").string();
    report(state, p, [&] {
        vex::xml_document_t doc;
        doc.load(p.path.c_str(), false);
        doc.save(out.c_str(), 2);
    });
    state.counters["file_KB"] = double(std::filesystem::file_size(p.path)) / 1024;
}
BENCHMARK(BM_load_save_peak_kept_part)->Arg(256)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

// A theme that inflates to `mb` MB: the same color scheme over and over, so
// that 1 GB deflates to about 1 MB.
const package_t& theme_package_of(size_t mb) {
    static std::map<size_t, package_t> made;
    auto& p = made[mb];
    if (p.path.empty()) {
        const std::string head = decl + "<a:theme xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
                                        "name=\"Office\"><a:themeElements>";
        const std::string tail = "</a:themeElements></a:theme>";
        std::string scheme;
        while (scheme.size() < (1u << 20)) scheme += "<a:clrScheme name=\"Office\"><a:dk1><a:sysClr val=\"windowText\"/></a:dk1></a:clrScheme>";
        const size_t bytes = head.size() + scheme.size() * mb + tail.size();
        p = make_package("theme" + number(long(mb)) + ".xlsx", od + "theme", "theme/theme1.xml",
                         "application/vnd.openxmlformats-officedocument.theme+xml", bytes,
                         [&](vex::zip_archive& z, const std::string& n) {
                             z.write_file_stream(n, head.data(), unsigned(head.size()));
                             for (size_t i = 0; i < mb; ++i) z.write_file_stream(n, scheme.data(), unsigned(scheme.size()));
                             z.write_file_stream(n, tail.data(), unsigned(tail.size()));
                         }, true);
    }
    return p;
}

// range(0): MB the theme inflates to; loaded and saved.
void BM_load_save_peak_theme(benchmark::State& state) {
    const package_t& p = theme_package_of(size_t(state.range(0)));
    const std::string out = (bench_scratch::dir() / "theme_saved.xlsx").string();
    report(state, p, [&] {
        vex::xml_document_t doc;
        doc.load(p.path.c_str(), false);
        doc.save(out.c_str(), 2);
    });
    state.counters["file_KB"] = double(std::filesystem::file_size(p.path)) / 1024;
}
BENCHMARK(BM_load_save_peak_theme)->Arg(1024)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

// The small theme package with the theme's declared size set to 2 GiB in both
// of its headers: the load fails, as the entry ends early.
std::string declaring_2_gib() {
    const package_t& small = theme_package_of(1);
    std::ifstream in(small.path, std::ios::binary);
    std::string zip(std::istreambuf_iterator<char>(in), {});
    const std::string entry = "xl/theme/theme1.xml";
    const uint32_t size = 0x80000000u;
    const auto patch = [&](std::string_view signature, size_t size_at, size_t name_length_at, size_t name_at) {
        for (size_t at = zip.find(signature); at != std::string::npos; at = zip.find(signature, at + 4)) {
            uint16_t length = 0;
            std::memcpy(&length, zip.data() + at + name_length_at, 2);
            if (std::string_view(zip).substr(at + name_at, length) == entry) std::memcpy(zip.data() + at + size_at, &size, 4);
        }
    };
    patch(std::string_view("PK\x03\x04", 4), 22, 26, 30);
    patch(std::string_view("PK\x01\x02", 4), 24, 28, 46);
    const std::string path = (bench_scratch::dir() / "declares_2_gib.xlsx").string();
    std::ofstream(path, std::ios::binary).write(zip.data(), std::streamsize(zip.size()));
    return path;
}

// The load that fails, with 256 MB of address space to spare: "fits" is 1 when
// it fails as the entry ends early, 0 when it ran out of room first.
void BM_load_short_entry_declaring_2_gib(benchmark::State& state) {
    const std::string path = declaring_2_gib();
    double fits = -1;
    for (auto _ : state) {
        fits = child_peak([&] {
            const rlimit limit{rlim_t(status_kib("VmSize:")) * 1024 + (rlim_t(256) << 20), RLIM_INFINITY};
            if (::setrlimit(RLIMIT_AS, &limit) != 0) throw std::runtime_error("no limit");
            try {
                load({path, 0});
            } catch (const std::bad_alloc&) {
                throw;
            } catch (const std::exception& e) {
                if (std::string_view(e.what()).find("file in zip ends before its declared size") == std::string_view::npos) throw;
                return;
            }
            throw std::runtime_error("loaded");
        });
    }
    // child_peak gives the peak, or -1 for an exception.
    state.counters["fits"] = fits >= 0 ? 1 : 0;
    state.counters["file_KB"] = double(std::filesystem::file_size(path)) / 1024;
}
BENCHMARK(BM_load_short_entry_declaring_2_gib)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
