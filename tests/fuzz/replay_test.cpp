// Every stored fuzzing input and every hostile file found so far, replayed
// through the ordinary build: each must load or fail with a message, and what
// loads must save and load again.
#include "fuzz_targets.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

std::string read_whole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void replay(std::string_view folder, bool required) {
    size_t files = 0;
    for (const plover_fuzz::target_t& target : plover_fuzz::targets()) {
        const fs::path dir = fs::path(PLOVER_FUZZ_DIR) / folder / target.name;
        if (!fs::is_directory(dir)) continue;
        for (const fs::directory_entry& f : fs::directory_iterator(dir)) {
            const std::string bytes = read_whole(f.path());
            SCOPED_TRACE(f.path().string());
            plover_fuzz::outcome_t o;
            ASSERT_NO_THROW(o = plover_fuzz::run(target, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                                 bytes.size()));
            if (!o.loaded || !o.saved) {
                EXPECT_FALSE(o.message.empty());
            }
            ++files;
        }
    }
    if (required) {
        EXPECT_GT(files, 0u);
    }
}

} // namespace

TEST(fuzz_replay, stored_inputs_load_or_fail_with_a_message) { replay("corpus", true); }

TEST(fuzz_replay, hostile_files_found_so_far_load_or_fail_with_a_message) { replay("regressions", false); }

TEST(fuzz_replay, the_base_package_loads) {
    std::ifstream in(PLOVER_FUZZ_BASE, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    const plover_fuzz::outcome_t o =
        plover_fuzz::run(*plover_fuzz::find_target("package"), reinterpret_cast<const std::uint8_t*>(bytes.data()),
                         bytes.size());
    EXPECT_TRUE(o.loaded) << o.message;
}
