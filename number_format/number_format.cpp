#include "number_format/number_format.h"

#include "errors.h"
#include "text_utils.h"

#include <utf8.h>

#include <algorithm>
#include <array>
#include <climits>

namespace vex::numfmt {
namespace {

constexpr const char* invalid_character = "Invalid character in format code.";

// Length of the UTF-8 sequence a lead byte starts; 0 when it starts none.
size_t utf8_sequence_length(unsigned char lead) noexcept {
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    if ((lead & 0xF8) == 0xF0) return 4;
    return 0;
}

bool istarts_with(std::string_view text, std::string_view prefix) noexcept {
    return text.size() >= prefix.size() && ascii_iequals(text.substr(0, prefix.size()), prefix);
}

token_t make_token(token_kind kind, uint32_t sub = 0, uint32_t count = 0) {
    return token_t{kind, sub, count, {}};
}

token_t make_literal(std::string_view text) {
    return token_t{token_kind::literal, 0, 0, std::string(text)};
}

} // namespace

// ---- tokenizer -------------------------------------------------------------------

token_list CTokenizer::run() {
    literal_start_ = pos_ = literal_end_ = 0;
    month_or_minute_.reset();
    unclosed_ = false;
    tokens_.clear();
    while (pos_ < code_.size() && !unclosed_) {
        if (read_bracket() || read_general() || read_single() || read_datetime() || read_exponent() ||
            hold_literal())
            continue;
        literal_end_ = ++pos_;
    }
    if (!unclosed_) flush_literal();
    return std::move(tokens_);
}

void CTokenizer::flush_literal() {
    if (literal_end_ > literal_start_) {
        check_literal(literal_start_, literal_end_ - 1);
        tokens_.push_back(make_literal(code_.substr(literal_start_, literal_end_ - literal_start_)));
    }
    literal_start_ = literal_end_ = pos_;
}

// Readers call this with the position already past their token, so the pending
// literal ends where the token began.
void CTokenizer::push(token_t t) {
    flush_literal();
    tokens_.push_back(std::move(t));
}

void CTokenizer::check_literal(size_t first, size_t last) const {
    if (first > last || last >= code_.size() || !utf8::is_valid(code_.begin() + first, code_.begin() + last + 1))
        throw numfmt_error(invalid_character);
}

bool CTokenizer::read_bracket() {
    if (code_[pos_] != '[') return false;
    const size_t close = code_.find(']', pos_ + 1);
    if (close == std::string_view::npos) {
        unclosed_ = true;
        return true;
    }
    token_t t = make_token(token_kind::symbol, symbol_sub::bracket);
    t.text = code_.substr(pos_ + 1, close - pos_ - 1);
    pos_ = close + 1;
    push(std::move(t));
    return true;
}

bool CTokenizer::read_general() {
    if (!istarts_with(code_.substr(pos_), "general")) return false;
    pos_ += 7;
    push(make_token(token_kind::general));
    return true;
}

bool CTokenizer::read_single() {
    token_t t;
    switch (code_[pos_]) {
    case '#': t = make_token(token_kind::digit, digit_sub::hash); break;
    case '0': t = make_token(token_kind::digit, digit_sub::zero); break;
    case '?': t = make_token(token_kind::digit, digit_sub::question); break;
    case '%': t = make_token(token_kind::symbol, symbol_sub::percent); break;
    case ',': t = make_token(token_kind::symbol, symbol_sub::comma); break;
    case '.': t = make_token(token_kind::symbol, symbol_sub::dot); break;
    case '/': t = make_token(token_kind::fraction_bar); break;
    case ';': t = make_token(token_kind::section_separator); break;
    case '@': t = make_token(token_kind::text_placeholder); break;
    default: return false;
    }
    ++pos_;
    push(std::move(t));
    return true;
}

// Only "e" runs are case-sensitive: "E" is left to the exponent reader.
size_t CTokenizer::run_length(size_t from, char c) const noexcept {
    size_t n = 0;
    if (c == 'e')
        while (from + n < code_.size() && code_[from + n] == 'e') ++n;
    else
        while (from + n < code_.size() && ascii_to_lower(code_[from + n]) == ascii_to_lower(c)) ++n;
    return n;
}

bool CTokenizer::read_datetime() {
    namespace dt = datetime_sub;
    const std::string_view rest = code_.substr(pos_);
    uint32_t sub = 0, count = 0;
    size_t length = 0;

    static constexpr std::array<std::pair<std::string_view, uint32_t>, 4> short_ampm{
        {{"a/p", dt::ap_lower}, {"A/p", dt::ap_upper_a}, {"a/P", dt::ap_upper_p}, {"A/P", dt::ap_upper}}};
    for (const auto& [text, s] : short_ampm) {
        if (rest.starts_with(text)) {
            sub = s;
            length = 3;
            break;
        }
    }
    if (sub == 0 && istarts_with(rest, "am/pm")) {
        sub = dt::am_pm;
        length = 5;
    }
    if (sub == 0) {
        const char c = rest[0];
        const size_t n = run_length(pos_, c);
        switch (ascii_to_lower(c)) {
        case 'a':
            // One or two "a" start nothing: they stay literal text.
            if (n < 3) return false;
            sub = dt::weekday, count = n == 3 ? 3 : 4;
            break;
        case 'b': sub = dt::buddhist_year, count = n <= 2 ? 2 : 4; break;
        case 'e': {
            if (c != 'e') return false;
            // "0.00e+00": an "e" right before the sign belongs to the exponent.
            size_t k = n;
            if (pos_ + k < code_.size() && (code_[pos_ + k] == '+' || code_[pos_ + k] == '-')) --k;
            if (k == 0) return false;
            sub = dt::era_year, count = k == 1 ? 1 : 2;
            length = k;
            break;
        }
        case 'g': sub = dt::era, count = n >= 3 ? 3 : uint32_t(n); break;
        case 'y':
            sub = dt::year, count = n <= 2 ? 2 : 4;
            month_or_minute_ = dt::year;
            break;
        case 'm':
            if (n >= 3) sub = dt::month, count = n >= 6 ? 4 : uint32_t(n);
            else {
                const bool after_hour = month_or_minute_ == dt::hour;
                sub = after_hour ? dt::minute : dt::month, count = uint32_t(n);
            }
            break;
        case 'd': sub = dt::day, count = n >= 4 ? 4 : uint32_t(n); break;
        case 'h':
            sub = dt::hour, count = n == 1 ? 1 : 2;
            month_or_minute_ = dt::hour;
            break;
        case 's': sub = dt::second, count = n == 1 ? 1 : 2; break;
        default: return false;
        }
        if (length == 0) length = n;
    }
    pos_ += length;
    push(make_token(token_kind::datetime, sub, count));
    return true;
}

bool CTokenizer::read_exponent() {
    const std::string_view rest = code_.substr(pos_);
    if (!istarts_with(rest, "e+") && !istarts_with(rest, "e-")) return false;
    pos_ += 2;
    push(make_token(token_kind::exponent));
    return true;
}

bool CTokenizer::hold_literal() {
    const char opener = code_[pos_];
    if (opener == '*' || opener == '\\' || opener == '_') {
        const token_kind kind = opener == '\\' ? token_kind::literal
                                : opener == '*' ? token_kind::fill
                                                : token_kind::space;
        token_t t = make_token(kind);
        if (pos_ + 1 == code_.size()) {
            // Nothing follows: the opener stands for itself.
            t = make_literal(code_.substr(pos_, 1));
            ++pos_;
        } else {
            const size_t len = utf8_sequence_length(static_cast<unsigned char>(code_[pos_ + 1]));
            if (len == 0 || pos_ + 1 + len > code_.size()) throw numfmt_error(invalid_character);
            check_literal(pos_ + 1, pos_ + len);
            t.text = code_.substr(pos_ + 1, len);
            pos_ += 1 + len;
        }
        push(std::move(t));
        return true;
    }
    if (opener != '"') return false;
    const size_t close = code_.find('"', pos_ + 1);
    if (close == std::string_view::npos) {
        unclosed_ = true;
        return true;
    }
    check_literal(pos_, close);
    token_t t = make_literal(code_.substr(pos_, close - pos_ + 1));
    pos_ = close + 1;
    push(std::move(t));
    return true;
}

// ---- sections ------------------------------------------------------------------------

namespace {

struct section_flags {
    bool general = false, digit = false, datetime = false, fraction = false, exponent = false,
         text = false, literal = false;
};

std::unique_ptr<rule_base_t> make_rule(token_list tokens, const section_flags& f) {
    if (tokens.empty()) return std::make_unique<empty_rule_t>();
    if (f.general) return std::make_unique<general_rule_t>(std::move(tokens));
    if (f.datetime) return datetime_rule_t::parse(std::move(tokens));
    if (f.fraction) return fraction_rule_t::parse(std::move(tokens));
    if (f.exponent) return scientific_rule_t::parse(std::move(tokens));
    if (f.digit) return number_rule_t::parse(std::move(tokens));
    if (f.text) return std::make_unique<text_rule_t>(std::move(tokens));
    if (f.literal) return std::make_unique<literal_rule_t>(std::move(tokens));
    return nullptr;
}

// "[h]", "[mm]", "[SS]": the whole text is one of those letters, repeated.
std::optional<uint32_t> elapsed_unit(std::string_view text) noexcept {
    if (text.empty()) return std::nullopt;
    const char c = ascii_to_lower(text[0]);
    for (char x : text)
        if (ascii_to_lower(x) != c) return std::nullopt;
    switch (c) {
    case 'h': return datetime_sub::elapsed_hours;
    case 'm': return datetime_sub::elapsed_minutes;
    case 's': return datetime_sub::elapsed_seconds;
    default: return std::nullopt;
    }
}

// As atoi reads it, saturating instead of overflowing.
long leading_integer(std::string_view text) noexcept {
    size_t i = 0;
    while (i < text.size() && ascii_is_space(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long v = 0;
    for (; i < text.size() && ascii_is_digit(text[i]); ++i) v = v >= INT_MAX ? INT_MAX : v * 10 + (text[i] - '0');
    return negative ? -v : v;
}

std::optional<color_t> parse_color(std::string_view text) {
    static constexpr std::array<std::string_view, 8> names{"black", "blue",  "cyan",  "green",
                                                           "magenta", "red", "white", "yellow"};
    for (size_t i = 0; i < names.size(); ++i)
        if (ascii_iequals(text, names[i])) return color_t{uint32_t(i + 1), 0};
    if (text.size() >= 6 && istarts_with(text, "color")) {
        const long n = leading_integer(text.substr(5));
        if (n >= 1 && n <= 56) return color_t{0, uint32_t(n)};
    }
    return std::nullopt;
}

class section_parser {
public:
    // False when the code is invalid.
    bool run(token_list tokens) {
        for (auto& t : tokens) {
            if (t.is(token_kind::symbol, symbol_sub::bracket)) {
                if (!read_bracket(t.text)) return false;
                continue;
            }
            if (t.is(token_kind::section_separator)) {
                if (!finish()) return false;
                continue;
            }
            switch (t.kind) {
            case token_kind::general: flags_.general = true; break;
            case token_kind::digit: flags_.digit = true; break;
            case token_kind::datetime: flags_.datetime = true; break;
            case token_kind::fraction_bar: flags_.fraction = true; break;
            case token_kind::exponent: flags_.exponent = true; break;
            case token_kind::literal: flags_.literal = true; break;
            case token_kind::text_placeholder:
                if (flags_.text) return false;
                flags_.text = true;
                break;
            default: break;
            }
            if ((flags_.general && flags_.text) || (flags_.datetime && (flags_.general || flags_.text))) return false;
            tokens_.push_back(std::move(t));
        }
        return tokens_.empty() || finish();
    }

    std::vector<section_t> sections;
    bool has_text_placeholder() const noexcept { return flags_.text; }

private:
    bool read_bracket(std::string_view text) {
        if (auto unit = elapsed_unit(text)) {
            tokens_.push_back(make_token(token_kind::datetime, *unit, uint32_t(text.size())));
            flags_.datetime = true;
        } else if (auto c = condition_t::parse(text)) {
            current_.condition = *c;
        } else if (auto colour = parse_color(text)) {
            current_.color = *colour;
        } else if (text.starts_with('$')) {
            current_.locale = locale_tag_t{std::string(text.substr(1))};
        } else if (text.size() == 6 && istarts_with(text, "dbnum") && text[5] >= '1' && text[5] <= '4') {
            current_.numeral_system = 16 + uint32_t(text[5] - '1');
        } else {
            return false;
        }
        return true;
    }

    bool finish() {
        auto rule = make_rule(std::move(tokens_), flags_);
        if (!rule) return false;
        current_.kind = rule->type == rule_type_enum::general ? section_t::general
                        : rule->type == rule_type_enum::text  ? section_t::text
                                                              : section_t::other;
        current_.rule = std::move(rule);
        sections.push_back(std::move(current_));
        current_ = section_t{};
        tokens_.clear();
        const bool text = flags_.text;   // one "@" per code
        flags_ = section_flags{};
        flags_.text = text;
        return true;
    }

    section_t current_;
    token_list tokens_;
    section_flags flags_;
};

rule_type_enum type_of(const section_t& s) noexcept { return s.rule->type; }

// Drops invalid section sets and gives unconditioned leading sections the
// conditions their position implies.
void validate(std::vector<section_t>& sections, bool has_text_placeholder) {
    const size_t n = sections.size();
    if (n == 0) return;
    if (n > 4 || (n == 4 && !has_text_placeholder) ||
        (n >= 3 && sections[2].kind != section_t::text && sections[2].condition)) {
        sections.clear();
        return;
    }
    const size_t m = type_of(sections.back()) == rule_type_enum::text ? n - 1 : n;
    auto& first = sections[0];
    if (m < 2 && !first.condition) {
        first.condition = condition_t{true, condition_op::always, 0.0};
        return;
    }
    if (!first.condition) {
        const auto op = n > 1 && sections[1].condition ? condition_op::greater : condition_op::greater_equal;
        first.condition = condition_t{true, op, 0.0};
    }
    if (n < 2) return;
    if (!sections[1].condition) sections[1].condition = condition_t{true, condition_op::less, 0.0};
}

std::string trimmed_code(const char* code) {
    if (!code) return {};
    std::string_view s(code);
    const size_t first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return std::string(s.substr(first, s.find_last_not_of(' ') - first + 1));
}

} // namespace

number_format_t::impl::impl(const char* c) : code(trimmed_code(c)) {}

void number_format_t::impl::parse() {
    if (parsed) return;
    parsed = true;
    CTokenizer tokenizer(code);
    token_list tokens = tokenizer.run();
    if (tokenizer.unclosed()) return;
    const auto separators = std::count_if(tokens.begin(), tokens.end(),
                                          [](const token_t& t) { return t.is(token_kind::section_separator); });
    holdable = separators < 4;
    section_parser p;
    if (!p.run(std::move(tokens))) return;
    sections = std::move(p.sections);
    validate(sections, p.has_text_placeholder());
}

rule_type_enum number_format_t::impl::get_format_type(double value) const noexcept {
    if (sections.empty()) return rule_type_enum::none;
    const section_t& first = sections.front();
    if (first.kind == section_t::text) return type_of(first);
    for (const auto& s : sections)
        if (s.condition && s.condition->holds(value)) return type_of(s);
    return type_of(first);
}

number_format_t::number_format_t(const char* code) : impl_(std::make_unique<impl>(code)) { impl_->parse(); }
number_format_t::~number_format_t() = default;
number_format_t::number_format_t(number_format_t&&) noexcept = default;
number_format_t& number_format_t::operator=(number_format_t&&) noexcept = default;

rule_type_enum number_format_t::get_format_type(double value) const noexcept {
    return impl_ ? impl_->get_format_type(value) : rule_type_enum::none;
}

void check_host_code(const char* code) {
    number_format_t::impl parsed(code);
    parsed.parse();
    if (!parsed.holdable) throw numfmt_error("parsing error.");
}

} // namespace vex::numfmt
