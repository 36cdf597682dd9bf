// Integer division with remainder (base-2 long division), gcd and power.
#include <limits>
#include <utility>

#include "integer/integer.h"

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

namespace {

// The most bits an Integer can hold: 32 for each word its length can count.
constexpr std::uint64_t MOST_BITS = 32ull * std::numeric_limits<std::uint32_t>::max();

// Refuses, before any work, a power whose result could not be held at all. |base| >= 2
// raised to e has at least highestBit(base) * e + 1 bits, so only sizes that are surely
// too large are refused.
void refuseImpossiblePower(const Integer& base, const Integer& exponent) {
    if (base.highestBit() == 0 || exponent.isNegative() || exponent.isZero()) return;
    const auto perFactor = static_cast<std::uint64_t>(base.highestBit());
    if (exponent.getLength() > 2) throw Exception(NOT_ENOUGH_MEMORY);
    std::uint64_t e = exponent.getWords()[0];
    if (exponent.getLength() == 2) e |= std::uint64_t{exponent.getWords()[1]} << 32;
    if (perFactor > (MOST_BITS - 1) / e) throw Exception(NOT_ENOUGH_MEMORY);
}

}  // namespace

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
