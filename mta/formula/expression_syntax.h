#pragma once
// Whether a token list, as the parser stores it, is one complete expression with
// nothing left over. Nothing is evaluated and no name is expanded: "1+", "(1+2"
// and "(1)(2)" are refused, "SUM(A2:A3)", "IF(A1,,1)" and "{1,2;3,4}" accepted.

#include "mta/formula/token.h"

#include <span>

namespace vex::mta::formula {

bool is_complete_expression(std::span<const token_t> tokens);

} // namespace vex::mta::formula
