#pragma once
// Turns the text of one formula, written at one cell, into tokens in source
// order: operators and parentheses stay infix, chains of cells joined by ":"
// fold into range tokens, and every name goes to the reference resolver of the
// sheet's reference style. The interpreter orders the tokens by precedence.

#include "coord.h"
#include "mta/formula/token.h"

#include <memory>
#include <string_view>
#include <vector>

namespace vex::mta::formula {

class model_context;

// Where a stored token was written: text offsets [begin, end).
struct token_span_t {
    uint32_t begin = 0;
    uint32_t end = 0;
};

class formula_parser {
public:
    // The text has no leading "=". It is not copied: the caller keeps it alive
    // while the parser lives. Throws general_error for a reference mode other
    // than A1 (3) or R1C1 (4).
    formula_parser(model_context& context, const vex::coord_t& origin, std::string_view text);
    ~formula_parser();
    formula_parser(const formula_parser&) = delete;
    formula_parser& operator=(const formula_parser&) = delete;

    // True when the whole text became tokens. False after a lexeme that makes no
    // token or an undefined name, with the reason in the last message. Throws
    // std::runtime_error for a number that does not convert ("value overflow: ")
    // and for an open function call or constant array ("Incomplete parentheses.").
    bool parse();
    std::vector<token_t>& tokens() noexcept;

    // Before parse(): one span per stored token goes to `spans`.
    void record_spans(std::vector<token_span_t>& spans);
    // Before parse(): nothing fails and nothing is recorded in the last message.
    // What the vocabulary lacks stands in as a placeholder of the kind its place
    // needs ("&" an operator, an unknown name an operand or a function), so the
    // tokens still show the syntax and every reference the text holds.
    void set_lenient();
    // Before parse(): a failure leaves the last message alone.
    void set_quiet();
    // After a lenient parse: an unterminated string, an unbalanced quote or
    // bracket in a name, or a function call or array left open.
    bool syntax_fault() const noexcept;
    // After a lenient parse: a placeholder stands for a name that may read
    // cells the tokens do not show (neither a name that a define would
    // resolve, an error literal nor a reference into another workbook).
    bool approximated() const noexcept;

    class impl;

private:
    std::unique_ptr<impl> impl_;
};

} // namespace vex::mta::formula
