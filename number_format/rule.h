#pragma once
// Tokens of a number-format code, the conditions a section may carry, and the
// rules built from one section's tokens. The engine only classifies values, so a
// rule keeps its structure and type; nothing renders through it.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vex::numfmt {

// What a code says about a value; 3 is what makes a number cell a date.
enum class rule_type_enum : uint32_t {
    none = 0,        // no section: the code is empty or invalid
    general = 1,
    number = 2,
    datetime = 3,
    fraction = 4,
    scientific = 5,
    empty = 6,       // an empty section between two ";"
    literal = 7,     // literal text only
    text = 8,        // "@"
};

enum class token_kind : uint32_t {
    symbol = 1,             // sub-kind: see symbol_sub
    general = 2,
    digit = 3,              // sub-kind: see digit_sub
    datetime = 4,           // sub-kind: see datetime_sub, with a count
    fraction_bar = 5,
    exponent = 6,
    text_placeholder = 7,
    literal = 8,
    decimal_point = 9,      // made by the number rule
    scaling_comma = 11,     // made by the number rule
    group_separator = 12,   // made by the number rule
    space = 13,             // "_" and the character whose width it takes
    fill = 14,              // "*" and the character it repeats
    section_separator = 15,
};

namespace symbol_sub {
inline constexpr uint32_t bracket = 1;
inline constexpr uint32_t dot = 6;
inline constexpr uint32_t percent = 7;
inline constexpr uint32_t comma = 9;
}

namespace digit_sub {
inline constexpr uint32_t zero = 0;
inline constexpr uint32_t hash = 1;
inline constexpr uint32_t question = 2;
}

namespace datetime_sub {
inline constexpr uint32_t ap_lower = 1;       // "a/p"
inline constexpr uint32_t ap_upper_p = 2;     // "a/P"
inline constexpr uint32_t ap_upper_a = 3;     // "A/p"
inline constexpr uint32_t ap_upper = 4;       // "A/P"
inline constexpr uint32_t am_pm = 5;          // "AM/PM" in any case
inline constexpr uint32_t weekday = 6;        // "aaa"
inline constexpr uint32_t buddhist_year = 7;  // "b"
inline constexpr uint32_t era_year = 8;       // "e"
inline constexpr uint32_t era = 9;            // "g"
inline constexpr uint32_t year = 10;
inline constexpr uint32_t month = 11;
inline constexpr uint32_t day = 12;
inline constexpr uint32_t hour = 13;
inline constexpr uint32_t minute = 14;
inline constexpr uint32_t second = 15;
inline constexpr uint32_t fractional_second = 16;
inline constexpr uint32_t elapsed_hours = 17;
inline constexpr uint32_t elapsed_minutes = 18;
inline constexpr uint32_t elapsed_seconds = 19;
}

// One token. Kinds that carry no sub-kind, count or text leave them 0 or empty.
struct token_t {
    token_kind kind{};
    uint32_t sub_kind = 0;
    uint32_t count = 0;
    std::string text;

    bool is(token_kind k) const noexcept { return kind == k; }
    bool is(token_kind k, uint32_t sub) const noexcept { return kind == k && sub_kind == sub; }
};

using token_list = std::vector<token_t>;

enum class condition_op : uint32_t {
    equal = 1,
    greater = 2,
    greater_equal = 3,
    less = 4,
    less_equal = 5,
    not_equal = 6,
    always = 7,   // only ever added by the parser
};

// A "[>=100]"-style condition. Equality is tested with an absolute tolerance of
// 1e-6, whatever the magnitude.
struct condition_t {
    bool implied = false;   // added by the parser, not written in the code
    condition_op op = condition_op::always;
    double value = 0.0;

    // Reads a bracket text. Nothing when the text is no condition (no operator,
    // nothing after it, or a number out of range); throws numfmt_error
    // "parsing error." when the operator is followed by more than a number.
    static std::optional<condition_t> parse(std::string_view text);

    bool holds(double v) const noexcept;
};

struct rule_base_t {
    explicit rule_base_t(rule_type_enum t) noexcept : type(t) {}
    virtual ~rule_base_t() = default;
    rule_type_enum type;
};

// General, literal-only and text sections keep their tokens as written.
struct general_rule_t : rule_base_t {
    explicit general_rule_t(token_list t) : rule_base_t(rule_type_enum::general), tokens(std::move(t)) {}
    token_list tokens;
};

struct literal_rule_t : rule_base_t {
    explicit literal_rule_t(token_list t) : rule_base_t(rule_type_enum::literal), tokens(std::move(t)) {}
    token_list tokens;
};

struct text_rule_t : rule_base_t {
    explicit text_rule_t(token_list t) : rule_base_t(rule_type_enum::text), tokens(std::move(t)) {}
    token_list tokens;
};

struct empty_rule_t : rule_base_t {
    empty_rule_t() noexcept : rule_base_t(rule_type_enum::empty) {}
};

struct number_rule_t : rule_base_t {
    number_rule_t() noexcept : rule_base_t(rule_type_enum::number) {}

    // Null for an empty list. Also builds the parts of fractions and exponents.
    static std::unique_ptr<number_rule_t> parse(token_list tokens);

    uint32_t decimal_points = 0;
    uint32_t integer_digits = 0;   // placeholders before the first decimal point
    uint32_t total_digits = 0;
    bool grouping = false;
    double percent_scale = 1.0;    // 100 per "%"
    double thousands_scale = 1.0;
    token_list tokens;
};

struct datetime_rule_t : rule_base_t {
    datetime_rule_t() noexcept : rule_base_t(rule_type_enum::datetime) {}

    // Null for an empty list or a second elapsed-time unit.
    static std::unique_ptr<datetime_rule_t> parse(token_list tokens);

    token_list tokens;
    bool am_pm = false;
};

struct fraction_rule_t : rule_base_t {
    fraction_rule_t() noexcept : rule_base_t(rule_type_enum::fraction) {}

    // Null without a "/", without numerator digits, for a denominator that is
    // neither placeholders nor digits, or an integer part or numerator with a
    // decimal point or grouping.
    static std::unique_ptr<fraction_rule_t> parse(token_list tokens);

    std::unique_ptr<number_rule_t> integer_part;   // null when there is none
    std::unique_ptr<number_rule_t> numerator;
    std::unique_ptr<number_rule_t> denominator;
    int32_t fixed_denominator = 0;                 // 0 unless written as digits
};

struct scientific_rule_t : rule_base_t {
    scientific_rule_t() noexcept : rule_base_t(rule_type_enum::scientific) {}

    // Null when the mantissa or the exponent is refused.
    static std::unique_ptr<scientific_rule_t> parse(token_list tokens);

    std::unique_ptr<number_rule_t> mantissa;
    std::unique_ptr<number_rule_t> exponent;
};

} // namespace vex::numfmt
