#include "mta/formula/formula_error.h"

#include <array>

namespace vex::mta::formula {

namespace {

constexpr std::array<std::string_view, 9> default_texts = {
    "Range disjoint",  "Divided by zero", "Incompatible type", "Invalid reference", "Undefined name",
    "Outside domain",  "Invalid range",   "Invalid value",     "Spill error",
};

bool has_default_text(uint32_t code) noexcept {
    return code >= 1 && code <= default_texts.size();
}

uint32_t code_of(error_value_enum e) noexcept {
    const auto v = static_cast<int32_t>(e);
    return v >= 0 && v < error_value_count ? uint32_t(v) + 1 : 0;
}

} // namespace

formula_error::formula_error(error_value_enum e) : formula_error(code_of(e)) {}

formula_error::formula_error(uint32_t code) : formula_error(code, std::string()) {}

formula_error::formula_error(uint32_t code, std::string&& text) : code_(code), text_(std::move(text)) {
    if (text_.empty() && has_default_text(code_)) text_ = default_texts[code_ - 1];
}

error_value_enum formula_error::to_error_value() const noexcept {
    return has_default_text(code_) ? error_value_enum(code_ - 1) : error_value_enum::ref;
}

} // namespace vex::mta::formula
