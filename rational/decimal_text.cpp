#include "rational/decimal_text.h"

#include <vector>

namespace VELD {

std::string decimalText(const Rational& value, std::uint32_t places) {
    const Integer denominator = value.getDenominator().abs();
    Integer quotient = value.getNumerator().abs() * Integer(10).power(Integer(places));
    const Integer remainder = quotient.integerDivision(denominator);
    const bool exact = remainder.isZero();
    if (!exact && remainder + remainder >= denominator) quotient += Integer(1);
    // The digits of the quotient, at least places + 1 of them.
    std::vector<char> text(static_cast<std::size_t>(quotient.highestBit() + 1) / 3 + 3);
    quotient.print(text.data(), static_cast<std::uint32_t>(text.size()));
    std::string digits(text.data());
    if (digits.size() <= places) digits.insert(0, places + 1 - digits.size(), '0');
    std::string whole = digits.substr(0, digits.size() - places);
    std::string fraction = digits.substr(digits.size() - places);
    if (exact) fraction.erase(fraction.find_last_not_of('0') + 1);
    std::string result = exact ? "" : "~";
    if (value.isNegative()) result += '-';
    result += whole;
    if (!fraction.empty()) result.append(".").append(fraction);
    return result;
}

}  // namespace VELD
