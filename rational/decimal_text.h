// A fraction's value as decimal text with a given number of places after the point, for
// scripts that want to see how big a value is.
#pragma once

#include <cstdint>
#include <string>

#include "rational/rational.h"

namespace VELD {

// The most places decimalText is asked for.
inline constexpr std::uint32_t MOST_PLACES = 1000000;

// `value` in decimal: exactly, with its trailing zeros dropped (and the point with them),
// where its expansion ends within `places` digits after the point ("0.125", "7"); else
// rounded to `places` digits, half away from zero, and marked "~" as not exact ("~0.667",
// "~-0.667", "~1.000"). Obtained by one long division, |numerator| 10^places over
// |denominator|; interruptible like every long computation.
std::string decimalText(const Rational& value, std::uint32_t places);

}  // namespace VELD
