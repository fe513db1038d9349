#include "mta/formula/parser/formula_parser.h"

#include "errors.h"
#include "mta/formula/model_context.h"
#include "mta/formula/parser/formula_lexer.h"
#include "mta/formula/parser/token_resolver.h"
#include "run_message.h"
#include "sheet_limits.h"
#include "text_utils.h"
#include "unicode.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <stdexcept>
#include <string>
#include <variant>

namespace vex::mta::formula {

namespace {

// A word the resolver found nothing for that reads no cell of this workbook
// now: a name a define would resolve (its readers are read again then), an
// error literal, or a reference into another workbook ("[1]Sheet1!A1",
// "'C:\\dir\\[Book]Sheet1'!A1").
bool reads_no_cells(std::string_view word) noexcept {
    if (word.empty() || word[0] == '#') return true;
    const size_t open = word.find('['), bang = word.find('!');
    if (open != std::string_view::npos) return bang != std::string_view::npos && word.find(']', open) < bang;
    return std::all_of(word.begin(), word.end(), [](char c) {
        return ascii_is_alpha(c) || ascii_is_digit(c) || c == '_' || c == '.' || c == '\\' || uint8_t(c) >= 0x80;
    });
}

// "S1!" or "!A1": a sheet qualifier without its reference or its sheet;
// "S1!!A1" or "S1!A1!": one qualifier too many; "''!A1": an empty sheet name;
// "'S1:S2:S3'!A1": more than the two ends of a span. Error literals end in "!"
// of their own ("#REF!", "Sheet1!#REF!").
bool malformed_qualifier(std::string_view word) noexcept {
    const size_t bang = qualifier_end(word);
    if (word.empty() || word[0] == '#' || bang == std::string_view::npos) return false;
    if (bang == 0 || bang + 1 == word.size()) return true;
    const std::string_view rest = word.substr(bang + 1);
    if (rest[0] != '#' && qualifier_end(rest) != std::string_view::npos) return true;
    const std::string_view sheet = word.substr(0, bang);
    if (sheet == "''") return true;
    // Another workbook's path may hold colons of its own.
    return sheet[0] == '\'' && sheet.find('[') == std::string_view::npos && std::ranges::count(sheet, ':') > 1;
}

// The sheet a qualified word spells, its quotes dropped; empty without one.
std::string_view qualifier_sheet(std::string_view word) noexcept {
    const size_t bang = qualifier_end(word);
    if (bang == std::string_view::npos) return {};
    std::string_view sheet = word.substr(0, bang);
    if (sheet.size() >= 2 && sheet.front() == '\'' && sheet.back() == '\'') sheet = sheet.substr(1, sheet.size() - 2);
    return sheet;
}

// One end of a span of sheets: "S1" or "'My S3'", no other workbook's.
bool span_sheet(std::string_view text) noexcept {
    if (text.empty() || text.find_first_of("![") != std::string_view::npos) return false;
    if (text.front() != '\'') return text.find('\'') == std::string_view::npos;
    return text.size() > 2 && text.back() == '\'' && word_is_closed(text);
}

} // namespace

class formula_parser::impl {
public:
    impl(model_context& context, const vex::coord_t& origin, std::string_view text);

    bool parse();
    std::vector<token_t>& tokens() noexcept { return tokens_; }

    std::vector<token_span_t>* spans_ = nullptr;
    bool lenient_ = false;
    bool quiet_ = false;
    bool fault_ = false;
    bool approximated_ = false;

private:
    bool next_is__(size_t i, lexeme_kind kind, char c) const noexcept;
    bool negation_here__() const noexcept;
    int32_t operator__(size_t& i) const noexcept;
    std::optional<token_t> separator__(size_t i);
    std::optional<token_t> number__(const lexeme_t& lexeme) const;
    std::optional<token_t> lines__(size_t& i);
    std::optional<token_t> span__(size_t& i);
    std::optional<token_t> span_lines__(size_t& i);
    bool span_apart__(size_t i) const noexcept;
    bool corners_apart__(size_t i, const vex::coord_t& corner) const noexcept;
    bool chain_apart__() const;
    std::optional<token_t> span_word__(size_t& i);
    std::optional<token_t> span_in_parts__(size_t& i);
    // The token of the lexeme at i, built where the caller keeps it; i moves on
    // past the lexemes it takes with it.
    std::optional<token_t> token_at__(size_t& i);
    std::optional<token_t> lenient_token_at__(size_t& i);
    void widen__(const vex::coord_t& cell);
    static bool is_span(const token_t& token) noexcept;
    void store__(token_t&& token, size_t begin, size_t end) {
        tokens_.push_back(std::move(token));
        if (spans_) spans_->push_back({uint32_t(begin), uint32_t(end)});
    }
    void store_pending__() {
        store__(std::move(*pending_), pending_begin_, pending_end_);
        pending_.reset();
    }

    vex::coord_t origin_;
    std::string_view text_;
    // The resolver of the reference style lives inside the parser: one
    // allocation less per formula.
    std::variant<std::monostate, excel_a1, excel_r1c1> styles_;
    token_resolver_t* resolver_ = nullptr;
    std::vector<lexeme_t> lexemes_;
    std::optional<token_t> pending_;
    size_t pending_begin_ = 0;
    size_t pending_end_ = 0;
    size_t pending_at_ = 0;  // its first lexeme
    std::vector<token_t> tokens_;
    bool in_array_ = false;
    // One entry per open parenthesis, true for a function call's: an argument
    // separator belongs to the innermost one only.
    std::vector<bool> parens_;
    uint32_t function_depth_ = 0;
};

formula_parser::impl::impl(model_context& context, const vex::coord_t& origin, std::string_view text)
    : origin_(origin), text_(text) {
    switch (context.get_reference_mode()) {
    case 3:
        resolver_ = &styles_.emplace<excel_a1>(origin_, text_, context);
        break;
    case 4:
        resolver_ = &styles_.emplace<excel_r1c1>();
        break;
    default:
        throw general_error("formula parser: cell reference mode error.");
    }
}

bool formula_parser::impl::next_is__(size_t i, lexeme_kind kind, char c) const noexcept {
    return i + 1 < lexemes_.size() && lexemes_[i + 1].kind == kind && text_[lexemes_[i + 1].begin] == c;
}

// After an operand, ")" or "}" a minus subtracts; anywhere else it negates.
bool formula_parser::impl::negation_here__() const noexcept {
    if (pending_ || tokens_.empty()) return true;
    const int32_t last = tokens_.back().opcode;
    switch (last) {
    case op_open_paren:
    case op_open_array:
    case op_semicolon:
    case op_array_col_sep:
    case op_array_row_sep:
    case op_arg_sep:
        return true;
    case op_percent:  // postfix: 5%-1 subtracts
        return false;
    default:
        return (last >= op_range && last <= op_intersect) || (last >= op_add && last <= 499);
    }
}

int32_t formula_parser::impl::operator__(size_t& i) const noexcept {
    int32_t op = classify_lexeme(lexemes_[i], text_);
    if (op == op_sub && negation_here__()) return op_neg;
    if (op == op_lt || op == op_gt) {
        if (next_is__(i, lexeme_operator, '=')) {
            ++i;
            return op == op_lt ? op_le : op_ge;
        }
        if (op == op_lt && next_is__(i, lexeme_operator, '>')) {
            ++i;
            return op_ne;
        }
    }
    return op;
}

std::optional<token_t> formula_parser::impl::separator__(size_t i) {
    const char c = text_[lexemes_[i].begin];
    if (is_formula_blank(c)) {
        // Between two operands a space intersects; next to anything else it is layout.
        if (tokens_.empty() || i == 0 || i + 1 == lexemes_.size()) return std::nullopt;
        // "&" has no opcode of its own, and a blank beside it is layout too.
        const auto near_operator = [&](const lexeme_t& l) {
            const int32_t op = classify_lexeme(l, text_);
            return l.kind == lexeme_operator || (op >= 100 && op <= 599);
        };
        if (near_operator(lexemes_[i - 1]) || near_operator(lexemes_[i + 1])) return std::nullopt;
        return std::optional<token_t>(std::in_place, int32_t(op_intersect));
    }
    switch (c) {
    case '(': {
        const bool call = !tokens_.empty() && tokens_.back().opcode == op_function;
        parens_.push_back(call);
        function_depth_ += call;
        break;
    }
    case ')':
        if (!parens_.empty()) {
            function_depth_ -= parens_.back();
            parens_.pop_back();
        }
        break;
    case '{':
        in_array_ = true;
        break;
    case '}':
        in_array_ = false;
        break;
    default:
        break;
    }
    int32_t op;
    if (in_array_ && c == resolver_->array_col_separator()) op = op_array_col_sep;
    else if (in_array_ && c == resolver_->array_row_separator()) op = op_array_row_sep;
    else if (!parens_.empty() && parens_.back() && c == resolver_->arg_separator()) op = op_arg_sep;
    else if (c == ',') op = op_union;
    else op = classify_lexeme(lexemes_[i], text_);
    return std::optional<token_t>(std::in_place, op);
}

std::optional<token_t> formula_parser::impl::number__(const lexeme_t& lexeme) const {
    // A number lexeme is digits with at most one point: from_chars reads the
    // usual ones exactly as strtod does, without a copy; the rest (a lone point,
    // values out of range) take the general path.
    const std::string_view digits = lexeme.text(text_);
    double quick = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), quick);
    if (ec == std::errc() && end == digits.data() + digits.size()) return std::optional<token_t>(std::in_place, quick);
    const auto value = parse_double(digits);
    if (!value || std::isinf(*value)) throw std::runtime_error("value overflow: " + std::string(text_.substr(lexeme.begin)));
    return token_t(*value);
}

// "1:3", "$A:$C", "Sheet1!$1:$1": three lexemes, one range over whole lines.
std::optional<token_t> formula_parser::impl::lines__(size_t& i) {
    if (i + 2 >= lexemes_.size() || !next_is__(i, lexeme_operator, ':')) return std::nullopt;
    const lexeme_t& last = lexemes_[i + 2];
    if (last.kind != lexeme_number && last.kind != lexeme_name) return std::nullopt;
    auto lines = resolver_->resolve_lines(lexemes_[i], last);
    if (lines) i += 2;
    return lines;
}

// "Sheet1:Sheet3!B5": three lexemes, one reference over a span of sheets.
std::optional<token_t> formula_parser::impl::span__(size_t& i) {
    if (i + 2 >= lexemes_.size() || !next_is__(i, lexeme_operator, ':') || lexemes_[i + 2].kind != lexeme_name)
        return std::nullopt;
    auto span = resolver_->resolve_span(lexemes_[i], lexemes_[i + 2]);
    if (span) i += 2;
    return span;
}

// "Sheet1:Sheet3!A:A": five lexemes, whole lines over a span of sheets. Its
// first sheet's name is never a cell, whatever it reads like.
std::optional<token_t> formula_parser::impl::span_lines__(size_t& i) {
    if (i + 4 >= lexemes_.size() || !next_is__(i, lexeme_operator, ':') || lexemes_[i + 2].kind != lexeme_name ||
        !next_is__(i + 2, lexeme_operator, ':') ||
        (lexemes_[i + 4].kind != lexeme_name && lexemes_[i + 4].kind != lexeme_number))
        return std::nullopt;
    auto span = resolver_->resolve_span_lines(lexemes_[i], lexemes_[i + 2], lexemes_[i + 4]);
    if (span) i += 4;
    return span;
}

// "S1:'My S3'!A1" or "'S1':S2!A1": a span of sheets quoted in parts, where
// applications quote it as one ('S1:My S3'!A1); "S1:S2:S3!A1" spans three.
bool formula_parser::impl::span_apart__(size_t i) const noexcept {
    if (i + 2 >= lexemes_.size() || !next_is__(i, lexeme_operator, ':') || lexemes_[i + 2].kind != lexeme_name)
        return false;
    const std::string_view first = lexemes_[i].text(text_);
    const std::string_view last = lexemes_[i + 2].text(text_);
    const size_t bang = qualifier_end(last);
    if (bang == std::string_view::npos || qualifier_end(first) != std::string_view::npos ||
        first.find('[') != std::string_view::npos)
        return false;
    const bool after = i >= 2 && lexemes_[i - 2].kind == lexeme_name && next_is__(i - 2, lexeme_operator, ':');
    const bool third = after && qualifier_end(lexemes_[i - 2].text(text_)) == std::string_view::npos;
    // "S2!A1:B2:'S2'!Foo": corners of one range on its sheet, no span.
    if (after && !third) return false;
    return third || first.find('\'') != std::string_view::npos ||
           last.substr(0, bang).find('\'') != std::string_view::npos;
}

// "Sheet1!A1:Sheet2!B2": a second corner naming another sheet than the first.
// Applications read it as a span of sheets, which is written Sheet1:Sheet2!A1:B2.
bool formula_parser::impl::corners_apart__(size_t i, const vex::coord_t& corner) const noexcept {
    const std::string_view second = qualifier_sheet(lexemes_[i].text(text_));
    if (second.empty()) return false;
    const int32_t grid = pending_->opcode == op_cell_ref ? std::get<vex::coord_t>(pending_->operand).grid_id
                                                        : std::get<vex::range_t>(pending_->operand).first.grid_id;
    if (grid != corner.grid_id) return true;
    // Sheets the workbook lacks share one grid: their spellings tell them apart.
    return grid == unknown_sheet_grid && !utf8_iequals(qualifier_sheet(lexemes_[pending_at_].text(text_)), second);
}

// "S3!A1:S1:S2!B2", "S1:S2!A1:S1!B2", "S1!A:S2!B", "S1!1:S2!2", "A1:B2:S1!C3":
// a run of operands joined by ":" whose qualifiers name other sheets than its
// first, follow a span or come after its second operand unqualified. Told by the text alone, so that a text is refused whatever sheets
// the workbook has when it is set.
bool formula_parser::impl::chain_apart__() const {
    const auto operand = [&](size_t i) {
        return i < lexemes_.size() && (lexemes_[i].kind == lexeme_name || lexemes_[i].kind == lexeme_number);
    };
    std::string_view first;  // the run's first qualifier, its quotes dropped
    bool span = false;
    for (size_t i = 0; i < lexemes_.size(); ++i) {
        if (!operand(i)) continue;
        for (size_t at = 0;; ++at) {
            const std::string_view word = lexemes_[i].text(text_);
            const size_t bang = lexemes_[i].kind == lexeme_name ? qualifier_end(word) : std::string_view::npos;
            // Error literals and other workbooks' references qualify no sheet here.
            const bool qualified = bang != std::string_view::npos && bang > 0 && word[0] != '#' &&
                                   word.find('[') > bang;
            const std::string_view sheet = qualified ? qualifier_sheet(word) : std::string_view();
            const bool spans = sheet.find(':') != std::string_view::npos;
            if (at == 0) {
                first = sheet;
                span = spans;
            } else if (!qualified && word[0] == '\'') {
                // "S1!A1:'S2':S3!B2": a quoted sheet name starts a span inside the range.
                return true;
            } else if (qualified) {
                // "S1:S2!A1": the run's first word is the span's first sheet.
                if (at == 1 && first.empty() && !spans) span = true;
                else if (span || spans || first.empty() || !utf8_iequals(first, sheet)) return true;
            }
            if (!next_is__(i, lexeme_operator, ':') || !operand(i + 2)) break;
            i += 2;
        }
    }
    return false;
}

// "S1:S3!Foo" or "Later:S3!A1": a span that reads no cells of the workbook
// (over a name, or from a sheet it lacks), read leniently as one word over its
// three lexemes, so that a rename writes its qualifier quoted as one. "A1:S3!B2"
// is a range from a cell.
std::optional<token_t> formula_parser::impl::span_word__(size_t& i) {
    // Inside a range ("S2!A1:B2:S2!Foo") it is no span's first sheet.
    if (!lenient_ || i + 2 >= lexemes_.size() || !next_is__(i, lexeme_operator, ':') ||
        lexemes_[i + 2].kind != lexeme_name || (i >= 2 && next_is__(i - 2, lexeme_operator, ':')))
        return std::nullopt;
    const std::string_view first = lexemes_[i].text(text_);
    const std::string_view last = lexemes_[i + 2].text(text_);
    const size_t bang = qualifier_end(last);
    if (bang == std::string_view::npos || bang == 0 || bang + 1 == last.size() || first[0] == '#' || last[0] == '#' ||
        !span_sheet(first) || !span_sheet(last.substr(0, bang)) || malformed_qualifier(last))
        return std::nullopt;
    const auto cell = [](const std::optional<token_t>& t) {
        return t && (t->opcode == op_cell_ref || t->opcode == op_range_ref);
    };
    std::optional<token_t> word = resolver_->resolve(lexemes_[i + 2]);
    if (cell(word) && cell(resolver_->resolve(lexemes_[i]))) return std::nullopt;
    i += 2;
    // What it reads is not known here.
    approximated_ = true;
    if (!word || word->opcode == op_error) return token_t(0.0);
    return word;
}

// Refused as written; read leniently as one reference over all its lexemes,
// so that a rename writes it quoted as one.
std::optional<token_t> formula_parser::impl::span_in_parts__(size_t& i) {
    fault_ = true;
    if (!lenient_) return std::nullopt;
    if (auto span = span_lines__(i)) return span;
    if (auto span = span__(i)) return span;
    i += 2;
    return resolver_->resolve(lexemes_[i]);
}

bool formula_parser::impl::is_span(const token_t& token) noexcept {
    return token.opcode == op_range_ref && spans_sheets(std::get<vex::range_t>(token.operand));
}

std::optional<token_t> formula_parser::impl::token_at__(size_t& i) {
    const lexeme_t& lexeme = lexemes_[i];
    switch (lexeme.kind) {
    case lexeme_operator:
        if (const int32_t op = operator__(i)) return std::optional<token_t>(std::in_place, op);
        return std::nullopt;
    case lexeme_separator:
        return separator__(i);
    case lexeme_number:
        if (auto lines = lines__(i)) return lines;
        return number__(lexeme);
    case lexeme_string:
        return std::optional<token_t>(std::in_place, lexeme.text(text_));
    case lexeme_name:
        if (span_apart__(i)) return span_in_parts__(i);
        if (malformed_qualifier(lexeme.text(text_))) {
            fault_ = true;
            return std::nullopt;
        }
        if (auto lines = lines__(i)) return lines;
        if (auto span = span__(i)) return span;
        if (auto span = span_lines__(i)) return span;
        if (auto word = span_word__(i)) return word;
        return resolver_->resolve(lexeme);
    default:
        return std::nullopt;
    }
}

std::optional<token_t> formula_parser::impl::lenient_token_at__(size_t& i) {
    const lexeme_t& lexeme = lexemes_[i];
    if (lexeme.kind == lexeme_unterminated_string) {
        fault_ = true;
        return token_t(std::string_view());
    }
    if (lexeme.kind == lexeme_name && !word_is_closed(lexeme.text(text_))) fault_ = true;
    std::optional<token_t> token;
    try {
        token = token_at__(i);
    } catch (const std::runtime_error&) {
        // A number out of range is still a number.
    }
    if (lexeme.kind == lexeme_separator || (token && token->opcode != op_error)) return token;
    if (lexeme.kind == lexeme_operator) {
        // An operator the parser lacks ("&") joins two operands: where one is
        // due it cannot stand in for a sign, as "+" would.
        if (negation_here__()) fault_ = true;
        return token_t(int32_t(op_add));
    }
    if (next_is__(i, lexeme_separator, '(')) return token_t(uint32_t(0));
    if (lexeme.kind == lexeme_name && !reads_no_cells(lexeme.text(text_))) approximated_ = true;
    return token_t(0.0);
}

// The range grows to cover the cell, compared on the sheet, not as stored
// offsets; each row and column keeps the absolute flag it was written with. A
// cell level with the last corner becomes that corner, so that $A$1:A1 keeps
// a relative second corner: filled down, it reads $A$1:A2.
void formula_parser::impl::widen__(const vex::coord_t& cell) {
    vex::coord_t first, last;
    if (pending_->opcode == op_cell_ref) {
        first = last = std::get<vex::coord_t>(pending_->operand);
    } else {
        const auto& range = std::get<vex::range_t>(pending_->operand);
        first = range.first;
        last = range.last;
    }
    const auto& lim = get_sheet_limits();
    const auto fold = [](int32_t& low_line, uint8_t& low_abs, int32_t& high_line, uint8_t& high_abs, int32_t line,
                         uint8_t abs, int32_t origin, int32_t count) {
        const int32_t low = absolute_line(low_line, low_abs, origin, count);
        const int32_t high = absolute_line(high_line, high_abs, origin, count);
        const int32_t at = absolute_line(line, abs, origin, count);
        if (at < low) {
            low_line = line;
            low_abs = abs;
        }
        if (at >= high) {
            high_line = line;
            high_abs = abs;
        }
    };
    fold(first.row, first.flag1, last.row, last.flag1, cell.row, cell.flag1, origin_.row, lim.row_count());
    fold(first.col, first.flag2, last.col, last.flag2, cell.col, cell.flag2, origin_.col, lim.col_count());
    token_t widened(vex::range_t{first, last});
    widened.names = std::move(pending_->names);
    pending_ = std::move(widened);
}

bool formula_parser::impl::parse() {
    if (text_.empty()) return true;
    formula_lexer lexer(text_);
    lexemes_ = std::move(lexer.run());
    if (chain_apart__()) {
        fault_ = true;
        if (!lenient_) {
            if (!quiet_) set_run_message("Error in parsing formula: " + std::string(text_));
            return false;
        }
    }
    tokens_.reserve(lexemes_.size());
    if (spans_) spans_->reserve(lexemes_.size());
    // A string lexeme starts after its quote; its span starts at the quote.
    const auto begin_of = [&](const lexeme_t& l) { return l.kind == lexeme_string ? l.begin - 1 : l.begin; };
    const auto end_of = [&](const lexeme_t& l) {
        return std::min<size_t>(l.kind == lexeme_string ? l.end + 2 : l.end + 1, text_.size());
    };
    for (size_t i = 0; i < lexemes_.size(); ++i) {
        const lexeme_t& lexeme = lexemes_[i];
        const size_t begin = begin_of(lexeme);
        std::optional<token_t> current = lenient_ ? lenient_token_at__(i) : token_at__(i);
        const size_t end = end_of(lexemes_[i]);
        if (!current) {
            if (lexeme.kind == lexeme_separator && is_formula_blank(text_[lexeme.begin])) continue;
            if (!quiet_) set_run_message("Error in parsing formula: " + std::string(lexeme.text(text_)));
            return false;
        }
        if (current->opcode == op_error) {
            const auto& error = std::get<formula_error>(current->operand);
            if (!quiet_) set_run_message(std::string(error.message()) + ": " + std::string(lexeme.text(text_)));
            return false;
        }
        // Nothing evaluates a span of sheets: the formula is kept as written,
        // and its lenient reading tells what it reads.
        if (!lenient_ && is_span(*current)) {
            if (!quiet_) set_run_message("Error in parsing formula: " + std::string(text_.substr(begin, end - begin)));
            return false;
        }
        // "S3!A1:S1:S2!B2": no range joins a cell to a span of sheets.
        if (pending_ && is_span(*current)) fault_ = true;
        bool folded = false;
        if (current->opcode == op_cell_ref && pending_ && corners_apart__(i, std::get<vex::coord_t>(current->operand))) {
            fault_ = true;
            if (!lenient_) {
                if (!quiet_)
                    set_run_message("Error in parsing formula: " +
                                    std::string(text_.substr(pending_begin_, end - pending_begin_)));
                return false;
            }
        }
        if (current->opcode == op_cell_ref && pending_) {
            widen__(std::get<vex::coord_t>(current->operand));
            pending_end_ = end;
            folded = true;
        }
        if ((current->opcode == op_cell_ref || (is_span(*current) && !pending_)) && i + 1 < lexemes_.size() &&
            classify_lexeme(lexemes_[i + 1], text_) == op_range) {
            if (!pending_) {
                pending_ = std::move(current);
                pending_begin_ = begin;
                pending_end_ = end;
                pending_at_ = i;
            }
            ++i;
            continue;
        }
        if (pending_) {
            const size_t colon = pending_end_;
            store_pending__();
            if (folded) continue;
            // A1:INDEX(...) ranges over what follows: the operator stays.
            store__(token_t(int32_t(op_range)), colon, colon + 1);
        }
        store__(std::move(*current), begin, end);
    }
    if (lenient_) {
        // "A1:" keeps its reference and shows the missing operand.
        if (pending_) {
            const size_t colon = pending_end_;
            store_pending__();
            store__(token_t(int32_t(op_range)), colon, colon + 1);
        }
        if (in_array_ || function_depth_ != 0) fault_ = true;
        return true;
    }
    if (in_array_ || function_depth_ != 0) throw std::runtime_error("Incomplete parentheses.");
    return true;
}

formula_parser::formula_parser(model_context& context, const vex::coord_t& origin, std::string_view text)
    : impl_(std::make_unique<impl>(context, origin, text)) {}

formula_parser::~formula_parser() = default;

bool formula_parser::parse() {
    return impl_->parse();
}

std::vector<token_t>& formula_parser::tokens() noexcept {
    return impl_->tokens();
}

void formula_parser::record_spans(std::vector<token_span_t>& spans) {
    impl_->spans_ = &spans;
}

void formula_parser::set_lenient() {
    impl_->lenient_ = true;
}

void formula_parser::set_quiet() {
    impl_->quiet_ = true;
}

bool formula_parser::syntax_fault() const noexcept {
    return impl_->fault_;
}

bool formula_parser::approximated() const noexcept {
    return impl_->approximated_;
}

} // namespace vex::mta::formula
