#pragma once
// The error a formula produces: a code from 1 ("#NULL!") to 9 ("#SPILL!") and an
// optional text. Cells keep it as a result; the engine also throws it.

#include "mta/table/cell/cell.h"

#include <cstdint>
#include <exception>
#include <string>

namespace vex::mta::formula {

class formula_error : public std::exception {
public:
    explicit formula_error(uint32_t code, std::string text = {}) : code_(code), text_(std::move(text)) {}
    // The error a cell error value stands for: its value plus one.
    static formula_error from_error_value(error_value_enum e) { return formula_error(uint32_t(e) + 1); }

    uint32_t code() const noexcept { return code_; }
    const std::string& text() const noexcept { return text_; }
    // Codes without a cell error value show as "#REF!".
    error_value_enum to_error_value() const noexcept {
        return code_ >= 1 && code_ <= uint32_t(error_value_count) ? error_value_enum(code_ - 1) : error_value_enum::ref;
    }

private:
    uint32_t code_;
    std::string text_;
};

} // namespace vex::mta::formula
