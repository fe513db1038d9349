#pragma once
// One element of a parsed formula: an opcode and the operand it needs. The parser
// makes tokens, the interpreter consumes them in stored order; formula cells and
// defined names own vectors of them.

#include "coord.h"
#include "datetime.h"
#include "mta/formula/formula_error.h"

// mdds's vectors, included once for every column and matrix. GCC 12 at -O3
// inlines a std::vector growth inside multi_type_vector::set_cell_to_empty_block
// and warns of a store into an empty array on a path that never runs with an
// empty vector (-Warray-bounds): a false positive in mdds's own code, whose
// lines take their warning state from here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
#include <mdds/multi_type_matrix.hpp>
#include <mdds/multi_type_vector.hpp>
#pragma GCC diagnostic pop

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <variant>

namespace vex::mta::formula {

// Ranges serve as classes while parsing: 100s punctuation and separators, 200s
// reference operators, 300s arithmetic, 400s comparison.
enum opcode_t : int32_t {
    op_error = -1,
    op_open_paren = 100,
    op_close_paren = 101,
    op_open_array = 104,
    op_close_array = 105,
    op_semicolon = 106,
    op_comma = 107,          // only while classifying
    op_array_col_sep = 108,
    op_array_row_sep = 109,
    op_arg_sep = 110,
    op_space = 111,          // only while classifying
    op_range = 200,
    op_union = 201,
    op_intersect = 202,
    op_add = 300,
    op_sub = 301,
    op_mul = 302,
    op_div = 303,
    op_neg = 304,
    op_pow = 305,
    op_percent = 306,
    op_eq = 400,
    op_ne = 401,
    op_lt = 402,
    op_gt = 403,
    op_le = 404,
    op_ge = 405,
    op_number = 700,
    op_string = 701,
    op_boolean = 702,
    op_datetime = 703,
    op_cell_ref = 704,
    op_range_ref = 705,
    op_range_set = 706,
    op_table_ref = 707,
    op_name = 708,
    op_function = 1000,
    op_matrix = 1001,
};

using range_set_t = std::unordered_set<vex::range_t>;
using matrix_t = mdds::multi_type_matrix<mdds::mtm::std_string_trait>;

// A defined name as a formula names it. The name is owned: a name may be parsed
// from a caller's temporary text.
struct named_expression_t {
    std::string name;
    uint32_t scope = 0xFFFFFFFF;  // a sheet's grid id, or all ones for the workbook

    // A name reads the same in any case ("rate" is Rate).
    friend bool operator==(const named_expression_t& a, const named_expression_t& b) noexcept;
};

// Table1[[#Data],[Amount]:[Total]]: the table and up to two columns, with the
// item word (1 headers, 2 this row, 4 data, 8 totals, 16 all).
struct structured_reference_t {
    std::string table;
    std::string first_column;
    std::string second_column;
    uint32_t items = 2;

    friend bool operator==(const structured_reference_t&, const structured_reference_t&) = default;
};

// The alternatives' order is fixed: tokens, the interpreter and the value
// operators switch on index().
struct operand_t
    : std::variant<double, bool, std::string, vex::datetime_t, vex::coord_t, vex::range_t, range_set_t,
                   named_expression_t, structured_reference_t, uint32_t, matrix_t, formula_error> {
    using variant::variant;
    using variant::operator=;

    enum : size_t {
        number_index, boolean_index, text_index, datetime_index, cell_index, range_index, range_set_index,
        name_index, table_ref_index, function_index, matrix_index, error_index,
    };

    // Overwrites a range in place; any other alternative becomes a range.
    void assign_range(const vex::coord_t& first, const vex::coord_t& last);
};

// A reference over a span of sheets ("Sheet1:Sheet3!B5"): its corners lie on
// the span's end sheets.
inline bool spans_sheets(const vex::range_t& r) noexcept {
    return r.first.grid_id != r.last.grid_id;
}

struct token_t {
    int32_t opcode = op_number;
    operand_t operand{0.0};
    // The book path, a second part and the sheet of a cell reference into another
    // workbook; null otherwise. Declared after the operand, so freed before it.
    std::array<std::unique_ptr<std::string>, 3> names;

    explicit token_t(double value) : opcode(op_number), operand(value) {}
    explicit token_t(std::string_view text);
    explicit token_t(const char* text) : token_t(std::string_view(text)) {}
    explicit token_t(bool value) : opcode(op_boolean), operand(value) {}
    explicit token_t(const vex::datetime_t& value);
    token_t(const vex::coord_t& cell) : opcode(op_cell_ref), operand(cell) {}
    token_t(const vex::range_t& range) : opcode(op_range_ref), operand(range) {}
    explicit token_t(const range_set_t& ranges) : opcode(op_range_set), operand(ranges) {}
    explicit token_t(structured_reference_t&& ref) : opcode(op_table_ref), operand(std::move(ref)) {}
    explicit token_t(named_expression_t name) : opcode(op_name), operand(std::move(name)) {}
    explicit token_t(uint32_t function_id) : opcode(op_function), operand(function_id) {}
    explicit token_t(matrix_t&& values) : opcode(op_matrix), operand(std::move(values)) {}
    explicit token_t(const formula_error& e) : opcode(op_error), operand(e) {}
    // Tokens without an operand; throws std::invalid_argument for an opcode that needs one.
    explicit token_t(int32_t opcode);

    token_t(const token_t& other);
    token_t& operator=(const token_t& other);
    token_t(token_t&&) noexcept = default;
    token_t& operator=(token_t&&) noexcept = default;
    ~token_t() = default;
};

} // namespace vex::mta::formula
