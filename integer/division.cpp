// Integer division with remainder, gcd and power: the signs settled here, the magnitudes
// divided on registers (small_values.h) or by long division (magnitude.h).
#include <bit>
#include <cstring>
#include <utility>

#include "integer/integer.h"
#include "integer/kernels.h"
#include "integer/limits.h"
#include "integer/progress.h"
#include "integer/small_values.h"

namespace VELD {

// The one rule of signs: the quotient, truncated toward zero, has the dividend's sign, and
// the remainder is |dividend| mod |divisor|, but for a dividend smaller than the divisor,
// which is its own remainder, sign and all.
Integer Integer::integerDivision(const Integer& divisor) {
    if (divisor.isZero()) throw Exception("Integer::integerDivision() - Division by zero.");
    if (magnitude::compare(view(), divisor.view()) < 0) {  // quotient 0
        Integer remainder(std::move(*this));
        return remainder;
    }
    if (divisor.isMagnitudeOne()) return Integer();  // the quotient is the dividend itself
    Integer remainder;
    Integer quotient = magnitudeQuotient(divisor.view(), remainder);
    if (isNegative()) quotient.negate();
    *this = std::move(quotient);
    return remainder;
}

// |this| / d, with |this| mod d in `remainder`, for |this| >= d > 1: on registers where
// this fits them (the divisor, not longer, does too), by long division on words otherwise.
// This Integer is only read, so the divisor may be this Integer itself.
Integer Integer::magnitudeQuotient(Magnitude d, Integer& remainder) const {
    if (fitsRegister()) {
        std::uint64_t rest = magnitude();
        const std::uint64_t quotient = small::quotient(rest, d.value());
        remainder = fromMagnitude(rest);
        return fromMagnitude(quotient);
    }
    if (length <= small::WIDE_WORDS) {
        kernels::Wide rest = small::wideOf(view());
        const kernels::Wide quotient = small::quotient(rest, small::wideOf(d));
        remainder = small::integerOf(rest);
        return small::integerOf(quotient);
    }
    const bool watched = std::uint64_t{length} + d.length >= WATCHED_WORDS;
    const ProgressStep step(watched ? Step::quotient : Step::none, 1);
    if (watched && step.owns()) progress.next(1);
    remainder = abs();
    // The quotient's bits, each set at most once: of an n-word dividend by an m-word
    // divisor, n - m + 1 words hold them.
    Integer quotient;
    const std::uint32_t count = length - d.length + 1;
    std::uint32_t* const bits = MagnitudeStorage::reserve(quotient, count);
    std::memset(bits, 0, std::size_t{count} * sizeof(std::uint32_t));
    Span rest = MagnitudeStorage::span(remainder);
    magnitude::longDivision(rest, d, bits);
    MagnitudeStorage::settle(remainder, rest.length);
    MagnitudeStorage::settle(quotient, count);
    return quotient;
}

Integer gcd(const Integer& a, const Integer& b) {
    return magnitude::gcd(a.view(), b.view());
}

// Square-and-multiply over the exponent's bits from the low end. The exponent is read a bit
// at a time where it lies, which is what halving it each step would bring to its low bit,
// so a long exponent (of a base 0) costs a step per bit, not a shift of all its words. The square
// after the exponent's top bit would never be used, so it is not computed. A negative or zero
// exponent gives 1.
Integer Integer::power(const Integer& exponent) const {
    refuseImpossiblePower(*this, exponent);
    Integer result(1);
    if (exponent.isNegative()) return result;
    // With a base of 1 or -1 every square is 1 and every product a copy (see shiftAndAdd):
    // the result is known from the exponent's lowest bit at once.
    if (isMagnitudeOne()) {
        if (isNegative() && exponent.isOdd()) result.negate();
        return result;
    }
    Integer base(*this);
    const std::uint64_t bits = kernels::bitLength(exponent.words, exponent.length);
    // Each product and square is an operation of the power step (cost::power), counted
    // when the exponent fits 64 bits (a longer one is of a base 0).
    const bool counted = watching() && exponent.fitsRegister();
    cost::PowerSizes sizes{0, static_cast<double>(highestBit() + 1)};
    InterruptPacer pacer;
    cost::squareAndMultiply(
        bits,
        [&](std::uint64_t bit) {
            pacer.pass(1);
            return (exponent.words[bit / 32] >> (bit % 32) & 1u) != 0;
        },
        [&] {
            if (counted) progress.next(sizes.nextProduct());
            result *= base;
        },
        [&] {
            if (counted) progress.next(sizes.nextSquare());
            base *= base;
        });
    return result;
}

}  // namespace VELD
