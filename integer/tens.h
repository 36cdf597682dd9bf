// The steps by ten and five, shared by reading and printing, each written once: 10v = 8v +
// 2v on registers and a chunk at a time, 5v = 4v + v, and the exact inverse of the second,
// division by five (after a shift by one, division by ten).
#pragma once

#include <cstdint>
#include <type_traits>

#include "integer/word_pairs.h"

namespace VELD {

// v as it is, hidden from the optimiser, so that shifts and additions of it are not folded
// into a multiplication: on one register (64 bits) or a pair (128). At compile time, v.
template <typename T>
constexpr T opaque(T v) {
    if (std::is_constant_evaluated()) return v;
#if defined(__GNUC__)
    if constexpr (sizeof(T) > sizeof(std::uint64_t)) {
        auto low = static_cast<std::uint64_t>(v);
        auto high = static_cast<std::uint64_t>(v >> 64);
        asm("" : "+r"(low), "+r"(high));
        return static_cast<T>(high) << 64 | low;
    } else {
        asm("" : "+r"(v));
    }
#endif
    return v;
}

// v + (v << shift) or, for a negative shift, v - (v << -shift), kept as one shift and one
// addition.
inline std::uint64_t plusShifted(std::uint64_t v, int shift) {
    const std::uint64_t moved = opaque(shift >= 0 ? v << shift : v << -shift);
    return shift >= 0 ? v + moved : v - moved;
}

// 10v = 8v + 2v, kept as two shifts and one addition: on one register for v below 2^60,
// on a pair (a 128-bit T) for v below 2^124. The words' form is TimesTenStage, below.
template <typename T>
constexpr T timesTen(T v) {
    return opaque(static_cast<T>(v << 3)) + (v << 1);
}

// A sum of two shifted copies of the words, a chunk at a time from the low end:
// (x << High) + (x << Low), each copy taking the bits that leave the chunk below (the top of
// `below`, that chunk as it came in), and the carry out of the sum. The layout is fixed:
// the assembly's four-stage loop of times five keeps each stage's `below` at offset 0 and
// its carry in the byte at offset 8.
template <unsigned High, unsigned Low>
struct ShiftedSumStage {
    std::uint64_t operator()(std::uint64_t x) {
        const std::uint64_t high = (x << High) | (below >> (64 - High));
        std::uint64_t low = x;
        if constexpr (Low != 0) low = (x << Low) | (below >> (64 - Low));
        below = x;
        return addWithCarry(low, high, carry);
    }

    std::uint64_t below = 0;
    unsigned char carry = 0;
};

// 10x = 8x + 2x and 5x = 4x + x, on words.
using TimesTenStage = ShiftedSumStage<3, 1>;
using TimesFiveStage = ShiftedSumStage<2, 0>;

// Exact division by five, 64 bits a step from the low end: y is the chunk of the quotient
// with 4y + y = the dividend's chunk, less what 4y and the sum carried out of the chunk
// below (its top two bits, and the carry). Bit by bit this is the recurrence
// y(n) = x(n) ^ y(n-2) ^ carry, the carry out the majority of the three. Within a chunk,
//     y = z - 4y (mod 2^64), where z = dividend - topTwo - carry,
// and put into itself the recurrence doubles the bits it settles at each round:
//     y = (z - 4z) + 16y = z1 + 16y, then y = (z1 + 16 z1) + 256y, and so on,
// until after the rounds for 4, 16, 256, 2^16 and 2^32 the term in y has left the chunk.
class ExactFifthStage {
public:
    std::uint64_t operator()(std::uint64_t dividend) {
        std::uint64_t y = dividend - topTwo - carry;
        y = plusShifted(y, -2);
        y = plusShifted(y, 4);
        y = plusShifted(y, 8);
        y = plusShifted(y, 16);
        y = plusShifted(y, 32);
        addWithCarry(y, (y << 2) | topTwo, carry);  // only its carry out is wanted
        topTwo = y >> 62;
        return y;
    }

private:
    std::uint64_t topTwo = 0;
    unsigned char carry = 0;
};

}  // namespace VELD
