#pragma once
// One element of a parsed formula: its opcode and its operand. Stored defined
// names and formula cells own vectors of them; reference tokens are rewritten in
// place when rows or columns move.

#include "coord.h"
#include "datetime.h"

#include <cstdint>
#include <string_view>
#include <variant>

namespace vex::mta::formula {

enum opcode_t : int32_t {
    op_number = 700,
    op_cell_ref = 704,
    op_range_ref = 705,
};

// The operand kinds in their fixed order: code switches on the index, so kinds
// are only ever appended.
using operand_t = std::variant<double, bool, std::string_view, vex::datetime_t, vex::coord_t, vex::range_t>;

struct token_t {
    token_t(double number) : opcode(op_number), operand(number) {}
    token_t(const vex::coord_t& cell) : opcode(op_cell_ref), operand(cell) {}
    token_t(const vex::range_t& range) : opcode(op_range_ref), operand(range) {}

    int32_t opcode;
    operand_t operand;
};

} // namespace vex::mta::formula
