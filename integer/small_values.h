// Magnitudes of up to 64 or 128 bits, on registers: the one place the operations take them
// there (products of two 64-bit values, quotients and remainders, the last steps of a
// gcd), and the Integer made of such a value.
#pragma once

#include <bit>
#include <cstdint>

#include "integer/kernels.h"
#include "integer/magnitude.h"

namespace VELD {

class Integer;

namespace small {

using kernels::Wide;

// Operands of up to this many words are divided on a pair of registers.
inline constexpr std::uint32_t WIDE_WORDS = 4;

// The magnitude of up to WIDE_WORDS words as one 128-bit value.
inline Wide wideOf(Magnitude x) {
    Wide value = 0;
    for (std::uint32_t i = x.length; i-- > 0;)
        value = value << 32 | x.words[i];
    return value;
}

// The non-negative Integer of a 128-bit magnitude.
Integer integerOf(Wide x);

// m * d on a pair of registers: m << p added for each set bit p of d.
Integer product(std::uint64_t m, std::uint64_t d);

// Leading zero bits of a non-zero value of 64 or 128 bits.
inline int leadingZeros(Wide x) {
    const auto high = static_cast<std::uint64_t>(x >> 64);
    return high != 0 ? std::countl_zero(high)
                     : 64 + std::countl_zero(static_cast<std::uint64_t>(x));
}
inline int leadingZeros(std::uint64_t x) {
    return std::countl_zero(x);
}

// Base-2 long division on registers, for a non-zero divisor: the divisor shifted under the
// dividend's top bit, then one quotient bit a step, while the remainder is not below the
// divisor. The steps whose shifted divisor is longer than the remainder give a bit of 0
// and are taken together, so each pass makes a subtraction. Leaves the remainder in
// `remainder`.
template <typename T>
T quotient(T& remainder, T divisor) {
    T bits = 0;
    while (remainder >= divisor) {
        int m = leadingZeros(divisor) - leadingZeros(remainder);  // as long as the remainder
        if (remainder < divisor << m) --m;                        // then its bit is 0
        remainder -= divisor << m;
        bits |= T{1} << m;
    }
    return bits;
}

// gcd(larger, smaller) by the same Euclidean steps as the words', for larger >= smaller.
Integer gcd(Wide larger, Wide smaller);

}  // namespace small

}  // namespace VELD
