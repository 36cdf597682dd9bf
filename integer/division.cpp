// Integer division with remainder (base-2 long division), gcd and power.
#include <cstring>
#include <utility>

#include "integer/integer.h"
#include "integer/kernels.h"
#include "integer/limits.h"

namespace VELD {

Integer Integer::integerDivision(const Integer& divisor) {
    if (divisor.isZero()) throw Exception("Integer::integerDivision() - Division by zero.");
    if (compareMagnitudes(*this, divisor) < 0) {  // quotient 0, the dividend is the remainder
        Integer remainder(std::move(*this));
        return remainder;
    }
    if (divisor.isMagnitudeOne()) return Integer();  // the quotient is the dividend itself

    // The divisor is only read, and this Integer changes only at the end, so the divisor
    // may be this Integer itself.
    Integer remainder = abs();
    const std::uint32_t* const divisorWords = divisor.words;
    const std::uint32_t divisorLength = divisor.length;
    const auto distance = static_cast<std::uint64_t>(highestBit() - divisor.highestBit());
    // The quotient's bits, 2^distance and below, each set at most once.
    Integer quotient;
    quotient.createSpace(distance / 32 + 1);
    std::memset(quotient.words, 0, std::size_t{quotient.length} * sizeof(std::uint32_t));
    // The shifted divisor S = |divisor| * 2^m and the quotient bit B = 2^m are kept as the
    // bit offset m, from `distance` down; at most one subtraction per step. A step obtains
    // no storage, so the flag is tested every so many steps: about every 2^16 words
    // subtracted.
    std::uint64_t m = distance;
    const std::uint32_t checkEvery = kernels::stepsPerCheck(divisorLength);
    std::uint32_t untilCheck = 1;
    while (kernels::compareShifted(remainder.words, remainder.length, divisorWords, divisorLength,
                                   0) >= 0) {
        if (--untilCheck == 0) {
            checkInterrupt();
            untilCheck = checkEvery;
        }
        while (kernels::compareShifted(remainder.words, remainder.length, divisorWords,
                                       divisorLength, m) >= 0) {
            remainder.subtractShifted(divisorWords, divisorLength, m);  // R -= S
            quotient.words[m / 32] |= 1u << (m % 32);                   // Q += B
        }
        if (m == 0) break;  // S would drop below the divisor: R < S = D here
        --m;                // S and B halved
    }
    quotient.normalize();
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
