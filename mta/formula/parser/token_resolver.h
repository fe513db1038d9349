#pragma once
// Reference resolvers: what a name lexeme of a formula denotes in one cell
// reference style, and which characters separate arguments and array items.

#include "coord.h"
#include "mta/formula/parser/formula_lexer.h"
#include "mta/formula/token.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace vex::mta::formula {

class model_context;

// The grid of a reference to a sheet that the workbook does not have. Own sheets
// count up from 1 and other workbooks' references down from all ones, so no
// sheet ever has it and no rewrite of a real sheet moves such a reference.
inline constexpr int32_t unknown_sheet_grid = 0x7FFFFFFF;

class token_resolver_t {
public:
    virtual ~token_resolver_t() = default;
    // The token a name lexeme stands for; none when the style knows no names.
    virtual std::optional<token_t> resolve(const lexeme_t& lexeme) = 0;
    virtual char array_col_separator() const = 0;
    virtual char array_row_separator() const = 0;
    virtual char arg_separator() const = 0;
    // A whole-row or whole-column range written as two lexemes around ":"
    // ("1:3", "$A:$C", "Sheet1!$1:$1"); none when they are not one.
    virtual std::optional<token_t> resolve_lines(const lexeme_t& first, const lexeme_t& last) = 0;
    // "Sheet1:Sheet3!B5" written as two lexemes around ":": a range whose corners
    // lie on the span's first and last sheets; none when they are not one.
    virtual std::optional<token_t> resolve_span(const lexeme_t&, const lexeme_t&) { return std::nullopt; }
    // "Sheet1:Sheet3!A:A" written as three lexemes around two ":": whole rows
    // or columns over a span of sheets; none when they are not one.
    virtual std::optional<token_t> resolve_span_lines(const lexeme_t&, const lexeme_t&, const lexeme_t&) {
        return std::nullopt;
    }
};

class excel_token_resolver_t : public token_resolver_t {
public:
    char array_col_separator() const override { return ','; }
    char array_row_separator() const override { return ';'; }
    char arg_separator() const override { return ','; }
};

class excel_a1 final : public excel_token_resolver_t {
public:
    // The resolver reads the text and the origin; the parser keeps both alive.
    excel_a1(const vex::coord_t& origin, std::string_view text, model_context& context)
        : origin_(origin), text_(text), context_(context) {}

    std::optional<token_t> resolve(const lexeme_t& lexeme) override;
    std::optional<token_t> resolve_lines(const lexeme_t& first, const lexeme_t& last) override;
    std::optional<token_t> resolve_span(const lexeme_t& first, const lexeme_t& last) override;
    std::optional<token_t> resolve_span_lines(const lexeme_t& first, const lexeme_t& middle,
                                              const lexeme_t& last) override;

private:
    std::optional<token_t> lines__(int32_t grid, int32_t last_grid, std::string_view head, std::string_view tail) const;
    bool span__(std::string_view first_sheet, std::string_view last_sheet, std::string_view cell);
    bool plain_cell__(std::string_view text, int32_t grid);
    bool sheet_qualified__(size_t bang);
    bool quoted__();
    bool qualified__(std::string_view sheet, std::string_view rest);
    bool external_cell__(std::string_view inner, std::string_view cell);
    bool structured__(size_t bracket);
    bool called__(const lexeme_t& lexeme) const noexcept;
    bool unqualified_name__(std::string_view name);
    bool name__(std::string_view name, uint32_t scope);
    int32_t sheet_grid__(std::string_view sheet) const;

    const vex::coord_t& origin_;
    std::string_view text_;
    model_context& context_;
    std::string_view view_;
    std::optional<token_t> result_;
};

class excel_r1c1 final : public excel_token_resolver_t {
public:
    std::optional<token_t> resolve(const lexeme_t&) override { return std::nullopt; }
    std::optional<token_t> resolve_lines(const lexeme_t&, const lexeme_t&) override { return std::nullopt; }
};

} // namespace vex::mta::formula

namespace vex::mta::formula {

// A row or column of a reference on the sheet, and back: a relative part is an
// offset from the origin counted from 1, wrapping around the sheet's count.
int32_t absolute_line(int32_t stored, bool absolute, int32_t origin, int32_t count) noexcept;
int32_t stored_line(int32_t line, bool absolute, int32_t origin, int32_t count) noexcept;

} // namespace vex::mta::formula
