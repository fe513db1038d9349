#pragma once
// One cell read out of a sheet: its value, how the value is stored, its public
// type and its style index. A snapshot is made, read and dropped within one call;
// its text views point into the string pool or a formula cell, which outlive it.

#include "datetime.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace vex::mta {

class Table;
class richtext_t;
struct trival_cell_t;
namespace formula {
class formula_cell;
}

// The cell error values and, in this order, their literals.
enum class error_value_enum : int32_t {
    null,          // "#NULL!"
    div0,          // "#DIV/0!"
    value,         // "#VALUE!"
    ref,           // "#REF!"
    name,          // "#NAME?"
    num,           // "#NUM!"
    na,            // "#N/A"
    getting_data,  // "#GETTING_DATA"
    spill,         // "#SPILL!"
};
inline constexpr int32_t error_value_count = 9;
// The literal of an error value; empty for a code outside the nine.
std::string_view error_literal(int32_t code) noexcept;

// How a value is stored; the sheet reader's parsed cells use the same codes.
enum class cell_value_kind : uint8_t {
    none = 0,
    int32 = 1,
    int64 = 2,
    number = 3,     // double
    text = 4,
    rich_text = 5,
    boolean = 6,
    datetime = 7,
    formula = 8,
    error = 9,
};

// The type a host sees.
enum class cell_type_values : int32_t {
    uncalculated = 0,  // a formula cell without a result yet
    empty = 1,
    number = 2,
    text = 3,
    boolean = 4,
    datetime = 5,      // a number whose format shows it as a date or time
    error = 6,
};

class cell_t {
public:
    using value_type = std::variant<int32_t, int64_t, double, std::string_view, vex::datetime_t, bool,
                                    formula::formula_cell*, error_value_enum>;

    // Throws mta_error "Fatal error: Illegal cell coordinates." for a position
    // outside the table.
    cell_t(const Table* table, int row, int col);
    // A parsed cell as the sheet reader gathered it; its type stays empty, texts
    // excepted. A text's value must be its string-pool index.
    cell_t(const Table* table, const trival_cell_t& cell);

    int row() const noexcept { return row_; }
    int col() const noexcept { return col_; }
    uint16_t style_index() const noexcept { return style_index_; }
    // -1 unless the cell holds text.
    int32_t string_index() const noexcept { return string_index_; }
    cell_value_kind kind() const noexcept { return kind_; }
    const std::optional<value_type>& value() const noexcept { return value_; }

    // The stored type, a number shown as a date refined to datetime. The format
    // is asked about 0.0, not the cell's own value, so a negative number under a
    // date format still counts as a date.
    cell_type_values get_cell_type();

    // Each of these is empty when the cell holds something else; a value that
    // does not match its kind throws std::bad_variant_access.
    std::optional<double> get_num() const;                 // numbers, date-time values as serials
    std::optional<std::string_view> get_text() const;      // plain and rich text
    std::optional<bool> get_boolean() const;
    std::optional<vex::datetime_t> get_datetime();         // numbers of datetime type too
    std::optional<error_value_enum> get_error() const;
    // Empty for a cell without a formula.
    std::string_view get_formula_expr() const;
    // Owned by the string pool; null unless the cell holds rich text.
    const richtext_t* get_richtext() const;

    // Throws mta_error for a value outside the nine.
    static std::string get_error_string(error_value_enum e);

private:
    void get_cell__();

    const Table* table_;
    int32_t row_;
    int32_t col_;
    uint16_t style_index_;
    int32_t string_index_ = -1;
    std::optional<value_type> value_;
    cell_value_kind kind_ = cell_value_kind::none;
    cell_type_values type_ = cell_type_values::empty;
};

} // namespace vex::mta
