#pragma once
// Cuts a formula's text into lexemes: operators, separators, numbers, string
// literals and names. Everything name-like (functions, references, defined names,
// structured references) is one name lexeme; the resolvers decide what it is.

#include <cstdint>
#include <string_view>
#include <vector>

namespace vex::mta::formula {

enum lexeme_kind : uint32_t {
    lexeme_unterminated_string = 0,
    lexeme_operator = 1,
    lexeme_separator = 2,
    lexeme_number = 3,
    lexeme_string = 4,  // the characters between the quotes, doubled quotes as written
    lexeme_name = 5,
};

// begin and end are positions in the text, end inclusive.
struct lexeme_t {
    uint32_t kind = lexeme_name;
    uint64_t begin = 0;
    uint64_t end = 0;

    std::string_view text(std::string_view formula) const noexcept {
        return formula.substr(begin, end - begin + 1);
    }
};

class formula_lexer {
public:
    explicit formula_lexer(std::string_view text) : text_(text) {}

    // The lexemes of the whole text; an empty text gives none.
    std::vector<lexeme_t>& run();
    const std::vector<lexeme_t>& lexemes() const noexcept { return lexemes_; }

private:
    lexeme_t string_literal__();
    lexeme_t word__();

    std::string_view text_;
    size_t start_ = 0;
    size_t cursor_ = 0;
    std::vector<lexeme_t> lexemes_;
};

// Space, tab, line feed and carriage return: layout between lexemes. A run of
// them is one separator lexeme; inside quotes and brackets they are characters.
constexpr bool is_formula_blank(char c) noexcept { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Whether every quote and bracket a name lexeme opens is closed, and no bracket
// closes that was not opened.
bool word_is_closed(std::string_view word) noexcept;

// The "!" that ends the sheet qualifier of a reference's text ("Sheet1!A1",
// "'It''s'!A1", "S1:'My S3'!A1"), npos when there is none: a quoted sheet name
// may hold one, and a structured reference's brackets hold column names.
size_t qualifier_end(std::string_view text) noexcept;

// The stretches of a text that a name it reads may be spelled as: between the
// characters that end a word, and after a "!". A name a parser finds is one of
// them; most of them are not names.
std::vector<std::string_view> name_words(std::string_view text);

// The opcode a lexeme stands for while parsing; 0 for names, unterminated
// strings and "&".
int32_t classify_lexeme(const lexeme_t& lexeme, std::string_view text) noexcept;

} // namespace vex::mta::formula
