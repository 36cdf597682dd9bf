// The steps by ten and five on 64-bit chunks, shared by reading and printing: 10v = 8v + 2v
// and 5v = 4v + v, and the exact inverse of the second, division by five (after a shift by
// one, division by ten).
#pragma once

#include <cstdint>

#include "integer/word_pairs.h"

namespace VELD {

// v + (v << shift) or, for a negative shift, v - (v << -shift), kept as one shift and one
// addition: the compiler is not let to fold a chain of them into a multiplication.
inline std::uint64_t plusShifted(std::uint64_t v, int shift) {
    std::uint64_t moved = shift >= 0 ? v << shift : v << -shift;
#if defined(__GNUC__)
    asm("" : "+r"(moved));
#endif
    return shift >= 0 ? v + moved : v - moved;
}

// 10v = 8v + 2v, on one register: a value below 2^60 times ten.
inline std::uint64_t timesTen(std::uint64_t v) {
    return plusShifted(v << 1, 2);
}

// A multiple of five a chunk at a time, from the low end: x + (x << 2), with the two bits
// that leave the chunk below (the top of `below`, that chunk as it came in) and the carry
// out of its sum. The layout is fixed: the assembly's four-stage loop keeps each stage's
// `below` at offset 0 and its carry in the byte at offset 8.
struct TimesFiveStage {
    std::uint64_t operator()(std::uint64_t x) {
        const std::uint64_t four = (x << 2) | (below >> 62);
        below = x;
        return addWithCarry(x, four, carry);
    }

    std::uint64_t below = 0;
    unsigned char carry = 0;
};

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
