// The calculator's fault messages, as the tests expect them word for word.
#pragma once

#include <string>

namespace VELD::testing {

inline const std::string INVALID = "Expression::parse() - Invalid expression.";
inline const std::string BAD_ORDER = "Expression::parse() - Bad operator/parameter order.";
inline const std::string TOO_MANU = "Expression::parse() - Too manu parameters.";
inline const std::string TOO_MANY = "Expression::parse() - Too many parameters.";
inline const std::string NO_OPERATION = "Expression::buildExpression() - No vaild operation.";
inline const std::string MISSING = "Expression::buildExpression() - Missing parameter(s).";
inline const std::string FACTORIAL_EXTRA =
    "Expression::buildExpression() - Too many paramters to factorial function.";
inline const std::string PREMATURE =
    "Expression::skipExpression() - Premature termination of expression string.";
inline const std::string ZERO_DENOMINATOR = "Rational::Rational() - Zero denominator,";
inline const std::string NOT_WHOLE = "Rational::operator Integer() - Denominator is not 1.";
inline const std::string N_LESS_THAN_K =
    "Integer::choose() - 'n' is less than 'k' in 'n choose k'.";
inline const std::string K_NEGATIVE = "Integer::choose() - 'k' is negative in 'n choose k'.";
inline const std::string NEGATIVE_FACTORIAL =
    "Integer::factorial() - Factorial of a negative number.";
inline const std::string NO_MEMORY = "Integer::createSpace() - Not enough memory for new numbers.";

}  // namespace VELD::testing
