#include "mta/formula/parser/formula_lexer.h"

#include "mta/formula/token.h"
#include "text_utils.h"

namespace vex::mta::formula {

namespace {

constexpr bool is_separator(char c) noexcept {
    return is_formula_blank(c) || c == '(' || c == ')' || c == ',' || c == ';' || c == '{' || c == '}';
}

constexpr bool is_operator(char c) noexcept {
    switch (c) {
    case '%': case '&': case '*': case '+': case '-': case '/': case ':': case '<': case '=': case '>': case '^':
        return true;
    default:
        return false;
    }
}

constexpr bool ends_word(char c) noexcept { return is_separator(c) || is_operator(c); }

} // namespace

std::vector<lexeme_t>& formula_lexer::run() {
    lexemes_.clear();
    // Short formulas are often a lexeme a character ("1+2*3"): no regrowth for them.
    lexemes_.reserve(text_.size() / 2 + 8);
    cursor_ = 0;
    while (cursor_ < text_.size()) {
        start_ = cursor_;
        const char c = text_[cursor_];
        lexeme_t lexeme;
        if (is_formula_blank(c)) {
            while (cursor_ + 1 < text_.size() && is_formula_blank(text_[cursor_ + 1])) ++cursor_;
            lexeme = {lexeme_separator, start_, cursor_++};
        } else if (is_separator(c)) {
            lexeme = {lexeme_separator, start_, cursor_++};
        } else if (is_operator(c)) {
            lexeme = {lexeme_operator, start_, cursor_++};
        } else if (c == '"') {
            lexeme = string_literal__();
        } else {
            lexeme = word__();
        }
        // One place that appends, field by field: a whole-record copy from the
        // stack stalls on the narrower stores that built it.
        lexeme_t& added = lexemes_.emplace_back();
        added.kind = lexeme.kind;
        added.begin = lexeme.begin;
        added.end = lexeme.end;
    }
    return lexemes_;
}

lexeme_t formula_lexer::string_literal__() {
    const size_t first = ++cursor_;
    while (cursor_ < text_.size()) {
        if (text_[cursor_] == '"') {
            if (cursor_ + 1 < text_.size() && text_[cursor_ + 1] == '"') {
                cursor_ += 2;
                continue;
            }
            // An empty literal has end before begin: its text is empty.
            return {lexeme_string, first, cursor_++ - 1};
        }
        ++cursor_;
    }
    return {lexeme_unterminated_string, first, text_.size() - 1};
}

lexeme_t formula_lexer::word__() {
    bool point = false;
    while (cursor_ < text_.size()) {
        const char c = text_[cursor_];
        if (ascii_is_digit(c)) {
            ++cursor_;
        } else if (c == '.' && !point) {
            point = true;
            ++cursor_;
        } else {
            break;
        }
    }
    if (cursor_ > start_ && (cursor_ == text_.size() || ends_word(text_[cursor_])))
        return {lexeme_number, start_, cursor_ - 1};
    // Quotes and brackets may hold any character, operators and blanks included.
    // Inside brackets a quote escapes the next character, so Table1[a']b] closes once.
    char closers[64];
    size_t depth = 0;
    while (cursor_ < text_.size()) {
        const char c = text_[cursor_];
        if (depth == 0) {
            if (ends_word(c) && cursor_ > start_) break;
        } else if (c == closers[depth - 1]) {
            --depth;
            ++cursor_;
            continue;
        } else if (closers[depth - 1] == '\'') {
            ++cursor_;
            continue;
        } else if (c == '\'' && cursor_ + 1 < text_.size()) {
            cursor_ += 2;
            continue;
        }
        if ((c == '\'' || c == '[') && depth < sizeof closers) closers[depth++] = c == '[' ? ']' : '\'';
        ++cursor_;
    }
    return {lexeme_name, start_, cursor_ - 1};
}

bool word_is_closed(std::string_view word) noexcept {
    // The same walk as word__: inside brackets a quote escapes the next character.
    char closers[64];
    size_t depth = 0;
    for (size_t i = 0; i < word.size(); ++i) {
        const char c = word[i];
        if (depth > 0 && c == closers[depth - 1]) {
            --depth;
            continue;
        }
        if (depth > 0 && closers[depth - 1] == '\'') continue;
        if (depth > 0 && c == '\'') {
            if (++i == word.size()) return false;
            continue;
        }
        if (c == ']') return false;
        if (c == '\'' || c == '[') {
            if (depth == sizeof closers) return false;
            closers[depth++] = c == '[' ? ']' : '\'';
        }
    }
    return depth == 0;
}

std::vector<std::string_view> name_words(std::string_view text) {
    std::vector<std::string_view> out;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !ends_word(text[i]) && text[i] != '!') continue;
        if (i > start) out.push_back(text.substr(start, i - start));
        start = i + 1;
    }
    return out;
}

size_t qualifier_end(std::string_view text) noexcept {
    bool quoted = false;
    int depth = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c != '\'') continue;
            if (i + 1 < text.size() && text[i + 1] == '\'') ++i;
            else quoted = false;
        } else if (depth > 0) {
            if (c == '\'') ++i;  // escapes the next character of a column name
            else if (c == '[') ++depth;
            else if (c == ']') --depth;
        } else if (c == '\'') {
            quoted = true;
        } else if (c == '[') {
            ++depth;
        } else if (c == '!') {
            return i;
        }
    }
    return std::string_view::npos;
}

int32_t classify_lexeme(const lexeme_t& lexeme, std::string_view text) noexcept {
    switch (lexeme.kind) {
    case lexeme_operator:
        switch (text[lexeme.begin]) {
        case '%': return op_percent;
        case '*': return op_mul;
        case '+': return op_add;
        case '-': return op_sub;
        case '/': return op_div;
        case ':': return op_range;
        case '<': return op_lt;
        case '=': return op_eq;
        case '>': return op_gt;
        case '^': return op_pow;
        default: return 0;
        }
    case lexeme_separator:
        switch (text[lexeme.begin]) {
        case ' ': case '\t': case '\n': case '\r': return op_space;
        case '(': return op_open_paren;
        case ')': return op_close_paren;
        case ',': return op_comma;
        case ';': return op_semicolon;
        case '{': return op_open_array;
        case '}': return op_close_array;
        default: return 0;
        }
    case lexeme_number: return op_number;
    case lexeme_string: return op_string;
    default: return 0;
    }
}

} // namespace vex::mta::formula
