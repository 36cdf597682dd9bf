// Integer division with remainder (base-2 long division), gcd and power.
#include <utility>

#include "integer/integer.h"
#include "integer/limits.h"

namespace VELD {

Integer Integer::integerDivision(const Integer& divisor) {
    if (divisor.isZero()) throw Exception("Integer::integerDivision() - Division by zero.");
    if (compareMagnitudes(*this, divisor) < 0) {  // quotient 0, the dividend is the remainder
        Integer remainder(std::move(*this));
        return remainder;
    }
    if (divisor.isMagnitudeOne()) return Integer();  // the quotient is the dividend itself

    // The divisor is copied before anything changes, so it may be this Integer itself.
    Integer remainder = abs();
    const Integer divisorMagnitude = divisor.abs();
    Integer shifted(divisorMagnitude);
    Integer bit(1);
    Integer quotient;
    const auto distance = static_cast<std::uint64_t>(highestBit() - divisor.highestBit());
    shifted.shiftLeft(distance);
    bit.shiftLeft(distance);
    // shifted = |divisor| * bit, with bit = 2^m for m from `distance` down; at most one
    // subtraction per step. The loop obtains no storage on steps without a subtraction,
    // so it tests for an interrupt itself.
    while (compareMagnitudes(remainder, divisorMagnitude) >= 0) {
        checkInterrupt();
        while (compareMagnitudes(remainder, shifted) >= 0) {
            remainder -= shifted;
            quotient += bit;
        }
        shifted.shiftRightOne();
        bit.shiftRightOne();
    }
    const bool negativeDividend = isNegative();
    *this = std::move(quotient);
    if (negativeDividend) negate();
    return remainder;
}

Integer gcd(const Integer& a, const Integer& b) {
    Integer x = b > a ? b.abs() : a.abs();
    Integer y = b > a ? a.abs() : b.abs();
    if (y.isZero()) return b;
    for (;;) {
        Integer remainder = x.integerDivision(y);
        x = std::move(y);
        y = std::move(remainder);
        if (y.isZero()) return x;
    }
}

// Square-and-multiply over the exponent's bits from the low end. The square after the
// exponent's top bit would never be used, so it is not computed.
Integer Integer::power(const Integer& exponent) const {
    refuseImpossiblePower(*this, exponent);
    Integer base(*this);
    Integer e(exponent);
    Integer result(1);
    while (e > Integer()) {
        if (e.isOdd()) result *= base;
        e.shiftRightOne();
        if (!e.isZero()) base *= base;
    }
    return result;
}

}  // namespace VELD
