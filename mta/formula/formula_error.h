#pragma once
// The error value of the formula engine: a code with its message. It travels as a
// value (an operand, a cell's result) and is thrown as well.

#include "mta/table/cell/cell.h"

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace vex::mta::formula {

class formula_error : public std::exception {
public:
    // Codes 1 to 9 stand for the cell error values 0 to 8; other codes carry no
    // default text and show as #REF!.
    explicit formula_error(error_value_enum e);
    explicit formula_error(uint32_t code);
    formula_error(uint32_t code, std::string&& text);

    uint32_t code() const noexcept { return code_; }
    // The text given, else the code's default text. Never writes: errors are read
    // from several threads at once.
    std::string_view message() const noexcept { return text_; }
    const char* what() const noexcept override { return text_.c_str(); }
    error_value_enum to_error_value() const noexcept;

    friend bool operator==(const formula_error& a, const formula_error& b) noexcept {
        return a.code_ == b.code_ && a.text_ == b.text_;
    }

private:
    uint32_t code_;
    std::string text_;
};

} // namespace vex::mta::formula
