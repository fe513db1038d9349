#pragma once

#include <string_view>

namespace vex::mta {

// A text whose first or last byte is white space must be written with
// xml:space="preserve", or a reader drops the blanks.
constexpr bool needs_preserve_space(std::string_view text) noexcept {
    auto edge = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    return !text.empty() && (edge(text.front()) || edge(text.back()));
}

} // namespace vex::mta
