#pragma once
// The writer of one package part, made by the part for a save and dropped once
// the part and its descendants are written.

#include "coord.h"
#include "text_utils.h"
#include "xml/xml_stream_writer.h"

#include <charconv>
#include <cmath>
#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vex {

class output_handler {
public:
    virtual ~output_handler() = default;
    // Writes the part through the part's stream writer.
    virtual void write() = 0;
    // Adds the relationships of the part that are not its children (a sheet's
    // hyperlinks) after the children's, in the part's relationship part.
    virtual void write_relationships(xml::xml_stream_writer&) {}
};

// A number as the parts write it, formatted on the stack: integers in plain
// decimal, doubles in their shortest round-trip form. A part's double
// attribute cannot carry NaN or infinity in a form its readers take, so
// those are written as 0.
class number_text {
public:
    template <std::integral T>
    explicit number_text(T v) noexcept : size_(static_cast<uint8_t>(std::to_chars(buf_, buf_ + sizeof buf_, v).ptr - buf_)) {}
    explicit number_text(double v) noexcept {
        if (!std::isfinite(v) || v == 0.0) v = 0.0;  // also drops the sign of -0
        // The shortest form of ten million is 1e+07, which readers take for a
        // float: whole numbers that a double holds exactly go out in digits.
        constexpr double exact_limit = 9007199254740992.0;  // 2^53
        if (std::fabs(v) < exact_limit && v == std::trunc(v))
            size_ = static_cast<uint8_t>(std::to_chars(buf_, buf_ + sizeof buf_, static_cast<int64_t>(v)).ptr - buf_);
        else
            size_ = static_cast<uint8_t>(std::to_chars(buf_, buf_ + sizeof buf_, v).ptr - buf_);
    }
    std::string_view view() const noexcept { return {buf_, size_}; }
    operator std::string_view() const noexcept { return view(); }

private:
    char buf_[32];
    uint8_t size_ = 0;
};

// A range in A1 form; a one-cell range as its cell.
inline std::string range_text(const range_t& r) {
    return r.first.row == r.last.row && r.first.col == r.last.col ? row_col_to_string(r.first.row, r.first.col)
                                                                  : range_to_string_unchecked(r);
}

// Ranges as a reference list: blank-separated, in the order given.
inline std::string range_list_text(const std::vector<range_t>& ranges) {
    std::string out;
    for (const range_t& r : ranges) {
        if (!out.empty()) out += ' ';
        out += range_text(r);
    }
    return out;
}

} // namespace vex
