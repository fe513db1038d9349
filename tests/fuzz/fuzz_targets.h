#pragma once
// What the fuzzers feed the library: a whole file, or one entry of a fixed
// valid package replaced, so that the XML readers are reached past the zip
// layer. The same functions replay the stored inputs as ordinary tests.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plover_fuzz {

struct target_t {
    std::string_view name;   // the corpus folder
    std::string_view entry;  // the entry replaced; empty: the input is the file
};

const std::vector<target_t>& targets();
const target_t* find_target(std::string_view name);

// The package the input stands for.
std::string package_for(const target_t& target, const std::uint8_t* data, std::size_t size);

struct outcome_t {
    bool loaded = false;
    bool saved = false;
    std::string message;  // run_msg() after a failure
};

// Loads the package, saves what loaded and reloads the copy; a failure must
// leave a message.
outcome_t run(const target_t& target, const std::uint8_t* data, std::size_t size);

} // namespace plover_fuzz
