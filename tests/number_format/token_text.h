#pragma once
// Tokens written out compactly, so a test states a whole token list in one line:
// placeholders as written, "dt<sub-kind>:<count>", literals in single quotes.

#include "number_format/rule.h"

#include <string>

namespace numfmt_test {

inline std::string token_text(const vex::numfmt::token_t& t) {
    using vex::numfmt::token_kind;
    switch (t.kind) {
    case token_kind::symbol:
        switch (t.sub_kind) {
        case vex::numfmt::symbol_sub::bracket: return "[" + t.text + "]";
        case vex::numfmt::symbol_sub::dot: return ".";
        case vex::numfmt::symbol_sub::percent: return "%";
        case vex::numfmt::symbol_sub::comma: return ",";
        }
        return "sym" + std::to_string(t.sub_kind);
    case token_kind::general: return "G";
    case token_kind::digit: return t.sub_kind == 0 ? "0" : t.sub_kind == 1 ? "#" : "?";
    case token_kind::datetime: return "dt" + std::to_string(t.sub_kind) + ":" + std::to_string(t.count);
    case token_kind::fraction_bar: return "/";
    case token_kind::exponent: return "E";
    case token_kind::text_placeholder: return "@";
    case token_kind::literal: return "'" + t.text + "'";
    case token_kind::decimal_point: return "dp";
    case token_kind::scaling_comma: return "sc";
    case token_kind::group_separator: return "gs";
    case token_kind::space: return "_" + t.text;
    case token_kind::fill: return "*" + t.text;
    case token_kind::section_separator: return ";";
    }
    return "?kind";
}

inline std::string tokens_text(const vex::numfmt::token_list& list) {
    std::string out;
    for (const auto& t : list) {
        if (!out.empty()) out += ' ';
        out += token_text(t);
    }
    return out;
}

} // namespace numfmt_test
