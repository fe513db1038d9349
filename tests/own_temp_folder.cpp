// Every test process writes under a temporary folder of its own, made before the
// first test and removed after the last: tests name their files freely there, and
// two runs of the suite on one machine never remove each other's files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

namespace {

class own_temp_folder : public testing::Environment {
public:
    void SetUp() override {
        std::string t = (std::filesystem::temp_directory_path() / "plover_tests_XXXXXX").string();
        if (::mkdtemp(t.data()) == nullptr) throw std::runtime_error("no temporary folder for the tests: " + t);
        dir_ = t;
        // temp_directory_path() reads TMPDIR on every call.
        ::setenv("TMPDIR", t.c_str(), 1);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

private:
    std::filesystem::path dir_;
};

[[maybe_unused]] const testing::Environment* const registered =
    testing::AddGlobalTestEnvironment(new own_temp_folder);

} // namespace
