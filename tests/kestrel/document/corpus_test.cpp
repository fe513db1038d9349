// Every package of the shared corpus loads, and saves (with stand-in writers
// for the modelled parts) as an archive that unzip and Python's zipfile accept,
// every part kept as bytes coming back byte for byte.

#include "kestrel/document/xml_document.h"

#include "errors.h"
#include "kestrel/parts/part.h"
#include "tests/clients.h"
#include "tests/kestrel/document/package_support.h"
#include "text_utils.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <exception>
#include <string>
#include <thread>
#include <vector>

using namespace package_test;

namespace {

struct outcome {
    std::string file;
    std::vector<std::string> faults;
    entries_t saved;
    size_t kept = 0;  // parts compared byte for byte
};

// Each part held as bytes, with the entry it was read from.
void collect_kept(const vex::xml_part_t& part, std::vector<std::pair<const vex::xml_part_t*, std::string>>& out) {
    if (part.get_raw_data()) out.emplace_back(&part, part.get_entry_name());
    for (const auto& child : part.get_child_parts()) collect_kept(*child, out);
}

outcome round_trip(const std::string& file, const std::string& out_dir) {
    outcome r{file, {}, {}, 0};
    const std::string in = std::string(PLOVER_CORPUS) + file;
    const std::string out = out_dir + "/" + file;
    try {
        vex::xml_document_t doc;
        const stand_in_writers writers(doc);
        doc.load(in.c_str(), false);
        std::vector<std::pair<const vex::xml_part_t*, std::string>> kept;
        for (const auto& child : doc.package_root()) collect_kept(*child, kept);
        doc.save(out.c_str(), 2);
        const entries_t original = read_zip(in);
        r.saved = read_zip(out);
        for (const auto& [part, loaded_from] : kept) {
            const std::string saved = find(r.saved, part->get_entry_name());
            if (saved != find(original, loaded_from))
                r.faults.push_back(loaded_from + " saved as " + part->get_entry_name() + " differs");
            ++r.kept;
        }
    } catch (const std::exception& e) {
        r.faults.push_back(e.what());
    }
    return r;
}

// What a shell command prints, with its exit status.
std::pair<int, std::string> run(const std::string& command) {
    std::string text;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return {-1, "cannot run: " + command};
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
    return {::pclose(pipe), text};
}

constexpr const char* zipfile_check = R"(
import glob, sys, zipfile
bad = []
for path in sorted(glob.glob(sys.argv[1] + '/*')):
    try:
        with zipfile.ZipFile(path) as z:
            names = z.namelist()
            if len(names) != len(set(names)):
                bad.append(path + ': a name twice')
            first = z.testzip()
            if first:
                bad.append(path + ': bad entry ' + first)
    except Exception as e:
        bad.append(path + ': ' + str(e))
print('\n'.join(bad))
sys.exit(1 if bad else 0)
)";

} // namespace

TEST(corpus, every_package_loads_and_saves_a_sound_archive_keeping_its_bytes) {
    REQUIRE_CORPUS();
    REQUIRE_CLIENT("python3");
    REQUIRE_CLIENT("unzip");
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(PLOVER_CORPUS))
        if (e.is_regular_file()) files.push_back(e.path().filename().string());
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty()) << "no package in " << PLOVER_CORPUS;

    scratch_dir dir;
    std::vector<outcome> outcomes(files.size());
    std::atomic<size_t> next{0};
    const unsigned workers = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < workers; ++t)
        threads.emplace_back([&] {
            for (size_t i; (i = next.fetch_add(1)) < files.size();) outcomes[i] = round_trip(files[i], dir.path);
        });
    for (std::thread& t : threads) t.join();

    size_t kept = 0;
    for (const outcome& r : outcomes) {
        for (const std::string& fault : r.faults) ADD_FAILURE() << r.file << ": " << fault;
        if (r.faults.empty()) expect_no_dangling_targets(r.saved);
        kept += r.kept;
    }
    EXPECT_GT(kept, files.size());  // themes at least: the comparison ran

    const std::string quoted = vex::concat({"'", dir.path.string(), "'"});
    const auto [unzip_status, unzip_text] =
        run("for f in " + quoted + "/*; do unzip -tqq \"$f\" >/dev/null || echo \"$f\"; done");
    EXPECT_EQ(unzip_status, 0) << unzip_text;
    EXPECT_EQ(unzip_text, "");
    const auto [python_status, python_text] = run("python3 -c \"" + std::string(zipfile_check) + "\" " + quoted);
    EXPECT_EQ(python_status, 0) << python_text;
}
