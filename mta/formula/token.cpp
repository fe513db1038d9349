#include "mta/formula/token.h"

#include "unicode.h"

#include <stdexcept>

namespace vex::mta::formula {

bool operator==(const named_expression_t& a, const named_expression_t& b) noexcept {
    return a.scope == b.scope && utf8_iequals(a.name, b.name);
}

void operand_t::assign_range(const vex::coord_t& first, const vex::coord_t& last) {
    if (auto* range = std::get_if<vex::range_t>(this))
        *range = {first, last};
    else
        emplace<vex::range_t>(vex::range_t{first, last});
}

token_t::token_t(std::string_view text) : opcode(op_string), operand(std::in_place_type<std::string>, text) {}

token_t::token_t(const vex::datetime_t& value)
    : opcode(op_datetime), operand(vex::datetime_t{value.ticks, -1, value.flag}) {}

token_t::token_t(int32_t code) : opcode(code) {
    switch (code) {
    case op_error:
    case op_number:
    case op_string:
    case op_boolean:
    case op_datetime:
    case op_cell_ref:
    case op_range_ref:
    case op_range_set:
    case op_table_ref:
    case op_function:
    case op_matrix:
        throw std::invalid_argument("This opcode cannot be instantiated by this constructor");
    default:
        break;
    }
}

namespace {

std::array<std::unique_ptr<std::string>, 3> copy_names(const std::array<std::unique_ptr<std::string>, 3>& names) {
    std::array<std::unique_ptr<std::string>, 3> copy;
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i]) copy[i] = std::make_unique<std::string>(*names[i]);
    return copy;
}

} // namespace

token_t::token_t(const token_t& other)
    : opcode(other.opcode), operand(other.operand), names(copy_names(other.names)) {}

token_t& token_t::operator=(const token_t& other) {
    if (this != &other) {
        auto copied = copy_names(other.names);
        operand = other.operand;
        opcode = other.opcode;
        names = std::move(copied);
    }
    return *this;
}

} // namespace vex::mta::formula
