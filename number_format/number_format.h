#pragma once
// The number-format code engine: a code such as "#,##0.00;[Red](#,##0.00)" or
// "[h]:mm:ss" is tokenized, split into up to four sections with their bracketed
// attributes, and answers one question: which kind of rule shows a given value.
// The style settings use that to tell a date cell from a number cell.

#include "number_format/rule.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vex::numfmt {

// Splits a code into tokens. Unknown bytes become literal text; the only failure
// is invalid UTF-8 in kept text ("Invalid character in format code."). Every
// search stops at the end of the code: the run ends at an unclosed "[" or quote,
// which unclosed() then reports and which makes the code invalid.
class CTokenizer {
public:
    explicit CTokenizer(std::string_view code) noexcept : code_(code) {}

    token_list run();

    // True when the last run met a "[" or quote without its closer.
    bool unclosed() const noexcept { return unclosed_; }

    static token_list tokenize(std::string_view code) { return CTokenizer(code).run(); }

private:
    bool read_bracket();
    bool read_general();
    bool read_single();
    bool read_datetime();
    bool read_exponent();
    bool hold_literal();
    void check_literal(size_t first, size_t last) const;   // both inclusive
    void push(token_t t);
    void flush_literal();
    size_t run_length(size_t from, char c) const noexcept;

    std::string_view code_;
    size_t literal_start_ = 0;
    size_t pos_ = 0;
    size_t literal_end_ = 0;
    std::optional<uint32_t> month_or_minute_;   // the last year or hour sub-kind
    bool unclosed_ = false;
    token_list tokens_;
};

// The part of a "[$€-407]" bracket after the "$"; stored, not interpreted.
struct locale_tag_t {
    std::string text;
};

// 1 black, 2 blue, 3 cyan, 4 green, 5 magenta, 6 red, 7 white, 8 yellow, or a
// palette number 1 to 56 from "[ColorN]" (named is then 0).
struct color_t {
    uint32_t named = 0;
    uint32_t number = 0;
};

struct section_t {
    enum kind_t : uint32_t { general = 1, other = 2, text = 3 };

    kind_t kind = other;
    std::optional<locale_tag_t> locale;
    uint32_t numeral_system = 0;   // 16 to 19 for "[DBNum1]" to "[DBNum4]"; 0 when absent
    std::optional<condition_t> condition;
    std::optional<color_t> color;
    std::unique_ptr<rule_base_t> rule;
};

class number_format_t {
public:
    // Parses at once; null and empty codes are allowed and have no sections.
    // Throws numfmt_error for invalid UTF-8 or a malformed condition number.
    explicit number_format_t(const char* code);
    ~number_format_t();
    number_format_t(number_format_t&&) noexcept;
    number_format_t& operator=(number_format_t&&) noexcept;

    // The type of the rule of the section that `value` selects; none for an
    // empty or invalid code.
    rule_type_enum get_format_type(double value) const noexcept;

    struct impl {
        explicit impl(const char* code);   // copies the code less leading/trailing spaces

        void parse();                       // once; a second call does nothing
        rule_type_enum get_format_type(double value) const noexcept;

        std::string code;
        std::vector<section_t> sections;    // empty when the code is invalid
        bool parsed = false;
        bool holdable = false;              // see check_host_code
    };

private:
    std::unique_ptr<impl> impl_;
};

// A code a host hands in must be one a workbook can hold: a bracket or quote
// left open, or more than four sections, makes other applications refuse the
// file. Throws numfmt_error "parsing error." for those, and whatever parsing
// throws. Codes read from files are kept as they are, unchecked.
void check_host_code(const char* code);

} // namespace vex::numfmt
