// Integer division with remainder (base-2 long division), gcd and power.
#include <bit>
#include <cstring>
#include <utility>

#include "integer/integer.h"
#include "integer/kernels.h"
#include "integer/limits.h"
#include "integer/progress.h"

namespace VELD {

namespace {

using kernels::Wide;

// Leading zero bits of a 128-bit value, for a non-zero one.
int leadingZeros(Wide x) {
    const auto high = static_cast<std::uint64_t>(x >> 64);
    return high != 0 ? std::countl_zero(high)
                     : 64 + std::countl_zero(static_cast<std::uint64_t>(x));
}
int leadingZeros(std::uint64_t x) {
    return std::countl_zero(x);
}

// Base-2 long division of magnitudes of 64 or 128 bits at most, on registers, for a
// non-zero divisor: the divisor shifted under the dividend's top bit, then one quotient
// bit a step, while the remainder is not below the divisor. The steps whose shifted
// divisor is longer than the remainder give a bit of 0 and are taken together, so each
// pass makes a subtraction. Leaves the remainder in `remainder`.
template <typename Magnitude>
Magnitude smallQuotient(Magnitude& remainder, Magnitude divisor) {
    Magnitude quotient = 0;
    while (remainder >= divisor) {
        int m = leadingZeros(divisor) - leadingZeros(remainder);  // as long as the remainder
        if (remainder < divisor << m) --m;                        // then its bit is 0
        remainder -= divisor << m;
        quotient |= Magnitude{1} << m;
    }
    return quotient;
}

// The magnitude of an Integer of up to four words, and the Integer of a 128-bit magnitude.
Wide wideMagnitude(const Integer& x) {
    const std::uint32_t* w = x.getWords();
    Wide value = 0;
    for (std::uint32_t i = x.getLength(); i-- > 0;)
        value = value << 32 | w[i];
    return value;
}
Integer fromWide(Wide x) {
    const std::uint32_t words[4] = {
        static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(x >> 32),
        static_cast<std::uint32_t>(x >> 64), static_cast<std::uint32_t>(x >> 96)};
    std::uint32_t count = 4;
    while (count > 0 && words[count - 1] == 0)
        --count;
    return Integer::fromWords(words, count, false);
}

// Operands of up to four words are divided on a pair of registers.
constexpr std::uint32_t WIDE_WORDS = 4;

}  // namespace

Integer Integer::integerDivision(const Integer& divisor) {
    if (divisor.isZero()) throw Exception("Integer::integerDivision() - Division by zero.");
    if (compareMagnitudes(*this, divisor) < 0) {  // quotient 0, the dividend is the remainder
        Integer remainder(std::move(*this));
        return remainder;
    }
    if (divisor.isMagnitudeOne()) return Integer();  // the quotient is the dividend itself
    if (fitsRegister()) {                            // and so does the divisor, which is not longer
        std::uint64_t remainder = magnitude();
        const std::uint64_t quotient = smallQuotient(remainder, divisor.magnitude());
        const bool negativeDividend = isNegative();
        *this = fromMagnitude(quotient);
        if (negativeDividend) negate();
        return fromMagnitude(remainder);
    }
    if (length <= WIDE_WORDS) {
        Wide remainder = wideMagnitude(*this);
        const Wide quotient = smallQuotient(remainder, wideMagnitude(divisor));
        const bool negativeDividend = isNegative();
        *this = fromWide(quotient);
        if (negativeDividend) negate();
        return fromWide(remainder);
    }

    const bool watched = std::uint64_t{length} + divisor.length >= WATCHED_WORDS;
    const ProgressStep step(watched ? Step::quotient : Step::none, 1);
    if (watched && step.owns()) progress.next(1);
    // The divisor is only read, and this Integer changes only at the end, so the divisor
    // may be this Integer itself.
    Integer remainder = abs();
    const auto distance = static_cast<std::uint64_t>(highestBit() - divisor.highestBit());
    // The quotient's bits, 2^distance and below, each set at most once.
    Integer quotient;
    quotient.createSpace(distance / 32 + 1);
    std::memset(quotient.words, 0, std::size_t{quotient.length} * sizeof(std::uint32_t));
    remainder.longDivision(divisor, quotient.words);
    quotient.normalize();
    const bool negativeDividend = isNegative();
    *this = std::move(quotient);
    if (negativeDividend) negate();
    return remainder;
}

// |this| becomes |this| mod |divisor|, for |this| >= |divisor| > 0 and a divisor that is
// not this Integer; each quotient bit found is set in `quotient` when that is given.
void Integer::longDivision(const Integer& divisor, std::uint32_t* quotient) {
    const std::uint32_t* const divisorWords = divisor.words;
    const std::uint32_t divisorLength = divisor.length;
    const auto distance = static_cast<std::uint64_t>(highestBit() - divisor.highestBit());
    // The shifted divisor S = |divisor| * 2^m and the quotient bit B = 2^m are kept as the
    // bit offset m, from `distance` down. R < 2S holds at every step: at the first, S's top
    // bit is R's; after it, R < S and S halves. So one subtraction, at most, settles a
    // step's quotient bit. A step obtains
    // no storage, so the flag is tested every so many steps: about every 2^16 words
    // subtracted.
    std::uint64_t m = distance;
    kernels::InterruptPacer pacer(divisorLength);
    // With enough quotient bits to pay for them, the divisor is copied once at each of the
    // 32 bit offsets, so that every subtraction runs over aligned words.
    const std::uint32_t stride = divisorLength + 1;
    ScratchWords copies;
    const std::uint32_t* copyAt[32] = {};  // the copy at each offset, found without a product
    if (distance >= 128 && std::uint64_t{stride} * 32 <= (1u << 22)) {
        copies.allocate(std::uint64_t{stride} * 32);
        std::uint32_t* copy = copies.data();
        std::memcpy(copy, divisorWords, std::size_t{divisorLength} * sizeof(std::uint32_t));
        copy[divisorLength] = 0;
        copyAt[0] = copy;
        for (unsigned shift = 1; shift < 32; ++shift) {
            copy += stride;
            kernels::copyShifted(copy, divisorWords, divisorLength, shift);
            copyAt[shift] = copy;
        }
    }
    const std::uint64_t divisorBits = kernels::bitLength(divisorWords, divisorLength);
    // Each step costs the same, so the share done is that of the quotient's bits settled.
    const double perStep = 1.0 / (static_cast<double>(distance) + 1);
    for (;;) {
        const std::uint64_t remainderBits = kernels::bitLength(words, length);
        if (remainderBits < divisorBits) break;  // R < D
        // The steps whose S is longer than R each settle a quotient bit of 0: they are
        // taken together, down to the S as long as R.
        if (remainderBits < divisorBits + m) m = remainderBits - divisorBits;
        if (pacer.step()) progress.fraction = static_cast<double>(distance - m) * perStep;
        if (remainderBits > divisorBits + m ||
            kernels::compareSameLength(words, length, divisorWords, divisorLength, m) >= 0) {
            if (copies.empty()) {
                subtractShifted(divisorWords, divisorLength, m);  // R -= S
            } else {
                const std::uint32_t* shifted = copyAt[m % 32];
                subtractAt(shifted, stride - (shifted[divisorLength] == 0 ? 1 : 0),
                           static_cast<std::uint32_t>(m / 32));
            }
            if (quotient != nullptr) quotient[m / 32] |= 1u << (m % 32);  // Q += B
        }
        if (m == 0) break;  // S would drop below the divisor: R < S = D here
        --m;                // S and B halved
    }
}

// Euclidean steps, each the remainder of a base-2 long division. Only the remainders are
// wanted, so x is reduced in place; once both fit a pair of registers (four words) the
// same steps run there, and on one register once both fit 64 bits.
Integer gcd(const Integer& a, const Integer& b) {
    // A step with 1 as the divisor leaves a remainder of 0 at once: the gcd is 1, and the
    // other operand need not be copied (every whole number reduced has denominator 1).
    if (a.isMagnitudeOne() || b.isMagnitudeOne()) return Integer(1);
    // How many Euclidean steps there will be is not known: the note names the step alone.
    const bool watched = std::uint64_t{a.length} + b.length >= WATCHED_WORDS;
    const ProgressStep step(watched ? Step::reducing : Step::none, 0);
    Integer x = b > a ? b.abs() : a.abs();
    Integer y = b > a ? a.abs() : b.abs();
    if (y.isZero()) return x;  // gcd(a, 0) = |a|
    while (x.length > WIDE_WORDS || y.length > WIDE_WORDS) {
        if (y.isMagnitudeOne()) {
            x = Integer();
        } else if (compareMagnitudes(x, y) >= 0) {
            x.longDivision(y, nullptr);
        }
        std::swap(x, y);
        if (y.isZero()) return x;
    }
    Wide larger = wideMagnitude(x), smaller = wideMagnitude(y);
    while (smaller >> 64 != 0) {
        Wide remainder = larger;
        if (remainder >= smaller) smallQuotient(remainder, smaller);
        larger = smaller;
        smaller = remainder;
    }
    if (smaller == 0) return fromWide(larger);
    // Both fit 64 bits from here on, once the larger one has been reduced by the smaller.
    auto narrow = static_cast<std::uint64_t>(smaller);
    Wide wideRest = larger;
    smallQuotient(wideRest, smaller);
    std::uint64_t wider = narrow;
    narrow = static_cast<std::uint64_t>(wideRest);
    while (narrow != 0) {
        std::uint64_t remainder = wider;
        if (narrow == 1) {
            remainder = 0;  // what the division by one would leave, at once
        } else if (remainder >= narrow) {
            smallQuotient(remainder, narrow);
        }
        wider = narrow;
        narrow = remainder;
    }
    return Integer::fromMagnitude(wider);
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
    double resultBits = 0;
    auto baseBits = static_cast<double>(highestBit() + 1);
    for (std::uint64_t bit = 0; bit < bits; ++bit) {
        checkInterrupt();
        if ((exponent.words[bit / 32] >> (bit % 32) & 1u) != 0) {
            if (counted) {
                progress.next(resultBits == 0 ? 0 : cost::product(resultBits, baseBits));
                resultBits += baseBits;
            }
            result *= base;
        }
        if (bit + 1 < bits) {
            if (counted) {
                progress.next(cost::product(baseBits, baseBits));
                baseBits += baseBits;
            }
            base *= base;
        }
    }
    return result;
}

}  // namespace VELD
