#include "number_format/rule.h"

#include "errors.h"
#include "text_utils.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace vex::numfmt {
namespace {

constexpr double tolerance = 1e-6;

bool is_digit_placeholder(const token_t& t, uint32_t sub) noexcept { return t.is(token_kind::digit, sub); }
bool is_digit_placeholder(const token_t& t) noexcept { return t.is(token_kind::digit); }

bool ends_in_digit(const token_t& t) noexcept {
    return t.is(token_kind::literal) && !t.text.empty() && ascii_is_digit(t.text.back());
}

token_t hash_placeholder() { return token_t{token_kind::digit, digit_sub::hash, 0, {}}; }
token_t group_separator() { return token_t{token_kind::group_separator, 0, 0, {}}; }

// The last run of decimal digits of a text, as atoi reads it, saturating at INT_MAX.
int32_t last_digit_run(std::string_view text) noexcept {
    size_t end = text.size();
    while (end > 0 && !ascii_is_digit(text[end - 1])) --end;
    size_t begin = end;
    while (begin > 0 && ascii_is_digit(text[begin - 1])) --begin;
    int64_t v = 0;
    for (size_t i = begin; i < end; ++i) v = std::min<int64_t>(INT32_MAX, v * 10 + (text[i] - '0'));
    return int32_t(v);
}

} // namespace

// ---- conditions ------------------------------------------------------------------------

std::optional<condition_t> condition_t::parse(std::string_view text) {
    struct op_text { std::string_view written; condition_op op; };
    static constexpr op_text ops[] = {{"<=", condition_op::less_equal}, {"<>", condition_op::not_equal},
                                      {"<", condition_op::less},        {">=", condition_op::greater_equal},
                                      {">", condition_op::greater},     {"=", condition_op::equal}};
    const op_text* found = nullptr;
    for (const auto& o : ops) {
        if (text.starts_with(o.written)) {
            found = &o;
            break;
        }
    }
    if (!found || text.size() == found->written.size()) return std::nullopt;

    const std::string number(text.substr(found->written.size()));
    char* end = nullptr;
    const int saved_errno = errno;
    errno = 0;
    const double value = c_strtod(number.c_str(), &end);
    const bool out_of_range = errno == ERANGE;
    errno = saved_errno;
    if (out_of_range) return std::nullopt;
    if (end != number.c_str() + number.size()) throw numfmt_error("parsing error.");
    return condition_t{false, found->op, value};
}

bool condition_t::holds(double v) const noexcept {
    const bool near = std::fabs(v - value) <= tolerance;
    switch (op) {
    case condition_op::equal: return near;
    case condition_op::greater: return v > value;
    case condition_op::greater_equal: return v > value || near;
    case condition_op::less: return v < value;
    case condition_op::less_equal: return v < value || near;
    case condition_op::not_equal: return std::fabs(v - value) > tolerance;
    case condition_op::always: return true;
    }
    return false;
}

// ---- number rule ------------------------------------------------------------------------

std::unique_ptr<number_rule_t> number_rule_t::parse(token_list tokens) {
    if (tokens.empty()) return nullptr;
    auto rule = std::make_unique<number_rule_t>();
    uint32_t percents = 0;

    for (size_t i = 0; i < tokens.size(); ++i) {
        token_t& t = tokens[i];
        if (t.is(token_kind::symbol, symbol_sub::dot)) {
            t = token_t{token_kind::decimal_point, 0, 0, {}};
            ++rule->decimal_points;
        } else if (t.is(token_kind::symbol, symbol_sub::percent)) {
            ++percents;
        } else if (t.is(token_kind::symbol, symbol_sub::comma)) {
            if (i > 0 && i + 1 < tokens.size() && is_digit_placeholder(tokens[i - 1]) &&
                is_digit_placeholder(tokens[i + 1])) {
                rule->grouping = true;
                t = group_separator();
            }
        } else if (is_digit_placeholder(t)) {
            ++rule->total_digits;
            if (rule->decimal_points == 0) ++rule->integer_digits;
        }
    }

    // Right to left, so that groups of three are counted from the decimal point.
    const uint32_t integer_digits = rule->integer_digits;
    uint32_t points_left = rule->decimal_points;
    uint32_t integers_left = integer_digits;
    uint32_t in_group = 0;
    token_list out;
    out.reserve(tokens.size() + 4);
    for (size_t i = tokens.size(); i-- > 0;) {
        token_t& t = tokens[i];
        if (rule->grouping && points_left == 0 && is_digit_placeholder(t)) {
            if (integer_digits <= 3 && --integers_left == 0) {
                // A short integer part is widened so that one group separator fits.
                if (integer_digits < 3) {
                    out.push_back(std::move(t));
                    out.push_back(hash_placeholder());
                    ++rule->integer_digits, ++rule->total_digits;
                }
                out.push_back(group_separator());
                out.push_back(hash_placeholder());
                ++rule->integer_digits, ++rule->total_digits;
                continue;
            }
            if (in_group == 3) {
                out.push_back(group_separator());
                in_group = 0;
            }
            ++in_group;
            out.push_back(std::move(t));
        } else if (t.is(token_kind::decimal_point)) {
            --points_left;
            out.push_back(std::move(t));
        } else if (t.is(token_kind::symbol) && t.sub_kind != symbol_sub::comma) {
            continue;
        } else {
            out.push_back(std::move(t));
        }
    }
    std::reverse(out.begin(), out.end());
    rule->tokens = std::move(out);
    rule->percent_scale = std::pow(100.0, double(percents));
    return rule;
}

// ---- date and time rule ------------------------------------------------------------------

std::unique_ptr<datetime_rule_t> datetime_rule_t::parse(token_list tokens) {
    if (tokens.empty()) return nullptr;
    auto rule = std::make_unique<datetime_rule_t>();
    bool elapsed = false;
    for (size_t i = 0; i < tokens.size(); ++i) {
        token_t& t = tokens[i];
        if (t.is(token_kind::datetime)) {
            if (t.sub_kind >= datetime_sub::ap_lower && t.sub_kind <= datetime_sub::am_pm) rule->am_pm = true;
            if (t.sub_kind >= datetime_sub::elapsed_hours && t.sub_kind <= datetime_sub::elapsed_seconds) {
                if (elapsed) return nullptr;
                elapsed = true;
            }
        } else if (t.is(token_kind::symbol, symbol_sub::dot)) {
            size_t zeros = 0;
            while (i + 1 + zeros < tokens.size() && is_digit_placeholder(tokens[i + 1 + zeros], digit_sub::zero))
                ++zeros;
            if (zeros > 0) {
                rule->tokens.push_back(
                    token_t{token_kind::datetime, datetime_sub::fractional_second, uint32_t(std::min<size_t>(zeros, 3)), {}});
                i += zeros;
            } else {
                rule->tokens.push_back(token_t{token_kind::literal, 0, 0, "."});
            }
            continue;
        }
        rule->tokens.push_back(std::move(t));
    }
    return rule;
}

// ---- scientific rule -----------------------------------------------------------------------

std::unique_ptr<scientific_rule_t> scientific_rule_t::parse(token_list tokens) {
    const auto e = std::find_if(tokens.begin(), tokens.end(), [](const token_t& t) { return t.is(token_kind::exponent); });
    if (e == tokens.end()) return nullptr;
    auto rule = std::make_unique<scientific_rule_t>();
    rule->mantissa = number_rule_t::parse(token_list(std::make_move_iterator(tokens.begin()), std::make_move_iterator(e)));
    rule->exponent = number_rule_t::parse(token_list(std::make_move_iterator(e + 1), std::make_move_iterator(tokens.end())));
    if (!rule->mantissa || !rule->exponent) return nullptr;
    return rule;
}

// ---- fraction rule ---------------------------------------------------------------------------

namespace {

// Rewrites the part after "/": zeros next to written digits join them ("?/1" "0"
// reads as a fixed 10). Nothing when the part mixes placeholders and literals in
// a way no denominator can be read from.
struct denominator_part {
    token_list tokens;
    int placeholders = 0;
};

std::optional<denominator_part> read_denominator(token_list in) {
    denominator_part d;
    token_list& out = d.tokens;
    bool closed = false;
    for (auto& t : in) {
        if (is_digit_placeholder(t)) {
            if (!out.empty() && ends_in_digit(out.back())) {
                if (t.sub_kind != digit_sub::zero) return std::nullopt;
                out.back().text.push_back('0');
                continue;
            }
            if (closed) return std::nullopt;
            ++d.placeholders;
            out.push_back(std::move(t));
        } else if (t.is(token_kind::literal)) {
            if (!t.text.empty() && ascii_is_digit(t.text.front())) {
                while (!out.empty() && is_digit_placeholder(out.back())) {
                    if (out.back().sub_kind != digit_sub::zero) return std::nullopt;
                    out.pop_back();
                    t.text.insert(t.text.begin(), '0');
                    if (--d.placeholders == 0) closed = false;
                }
                if (!out.empty() && ends_in_digit(out.back())) {
                    out.back().text += t.text;
                    if (d.placeholders != 0) closed = true;
                    continue;
                }
            }
            out.push_back(std::move(t));
            if (d.placeholders != 0) closed = true;
        } else {
            return std::nullopt;
        }
    }
    return d;
}

} // namespace

std::unique_ptr<fraction_rule_t> fraction_rule_t::parse(token_list tokens) {
    const auto bar = std::find_if(tokens.begin(), tokens.end(), [](const token_t& t) { return t.is(token_kind::fraction_bar); });
    if (bar == tokens.end()) return nullptr;
    token_list left(std::make_move_iterator(tokens.begin()), std::make_move_iterator(bar));
    token_list right(std::make_move_iterator(bar + 1), std::make_move_iterator(tokens.end()));

    // The numerator is the last placeholder run with whatever follows it; an
    // earlier placeholder makes everything before that run the integer part.
    const auto last_digit = std::find_if(left.rbegin(), left.rend(), [](const token_t& t) { return is_digit_placeholder(t); });
    if (last_digit == left.rend()) return nullptr;
    auto run_start = last_digit;
    while (run_start + 1 != left.rend() && is_digit_placeholder(*(run_start + 1))) ++run_start;
    const auto split = left.begin() + (left.rend() - run_start - 1);
    const bool has_integer = std::any_of(left.begin(), split, [](const token_t& t) { return is_digit_placeholder(t); });

    auto rule = std::make_unique<fraction_rule_t>();
    auto plain_integer = [](const std::unique_ptr<number_rule_t>& r) {
        return r && r->decimal_points == 0 && !r->grouping;
    };
    if (has_integer) {
        rule->integer_part = number_rule_t::parse(token_list(std::make_move_iterator(left.begin()), std::make_move_iterator(split)));
        if (!plain_integer(rule->integer_part)) return nullptr;
        rule->numerator = number_rule_t::parse(token_list(std::make_move_iterator(split), std::make_move_iterator(left.end())));
    } else {
        rule->numerator = number_rule_t::parse(std::move(left));
    }
    if (!plain_integer(rule->numerator)) return nullptr;

    auto denominator = read_denominator(std::move(right));
    if (!denominator) return nullptr;
    if (denominator->placeholders == 0) {
        bool any_literal = false;
        for (auto it = denominator->tokens.rbegin(); it != denominator->tokens.rend(); ++it) {
            if (!it->is(token_kind::literal)) continue;
            any_literal = true;
            const int32_t fixed = last_digit_run(it->text);
            if (fixed == INT32_MAX) continue;   // too long to be a denominator
            rule->fixed_denominator = fixed;
            break;
        }
        if (!any_literal) return nullptr;
    }
    rule->denominator = number_rule_t::parse(std::move(denominator->tokens));
    if (!rule->denominator) return nullptr;
    return rule;
}

} // namespace vex::numfmt
