#pragma once

#include <cstdint>

#include "integer/integer.h"

namespace VELD {

// An exact fraction of two Integers, each with its own sign. Made from a pair it is in
// lowest terms, which is the only normalisation: the denominator keeps whatever sign the
// arithmetic gave it, so one value may be stored as 1 over -2 or as -1 over 2, and every
// operation that depends on the sign works it out from both parts. The denominator is
// never zero.
class Rational {
public:
    // value over 1.
    explicit Rational(Integer value);
    // numerator over denominator, reduced; a zero denominator is refused.
    Rational(const Integer& numerator, const Integer& denominator);
    Rational(Integer&& numerator, Integer&& denominator);

    // True when the numerator is non-zero and exactly one of the two parts is negative.
    bool isNegative() const;

    Rational operator+(const Rational& other) const;
    Rational operator-(const Rational& other) const;
    Rational operator*(const Rational& other) const;
    Rational operator/(const Rational& other) const;
    // Both parts raised to the exponent; a negative exponent gives the reciprocal raised to
    // its magnitude.
    Rational power(const Integer& exponent) const;

    // The whole number this value is; refused when the denominator is not 1 or -1.
    explicit operator Integer() const;

    // Writes "-" for a negative value, the numerator's magnitude and, unless the
    // denominator's magnitude is 1, " / " and the denominator's magnitude, with a NUL.
    // Returns 0 when everything fitted, otherwise a positive shortfall.
    std::int32_t print(char* buffer, std::uint32_t capacity) const;

    const Integer& getNumerator() const { return numerator; }
    const Integer& getDenominator() const { return denominator; }

private:
    // Divides both parts by their greatest common divisor.
    void reduce();

    Integer numerator;
    Integer denominator;
};

}  // namespace VELD
