// Digits on registers, for print (printing.cpp): the powers of ten below 2^64, a digit as
// the schoolbook subtractions take it, a block of digits found from windows of the
// remainder and the power, and the multiples of a power that a block subtracts, in the
// forms that keep them short.
#pragma once

#include <array>
#include <cstdint>

#include "integer/kernels.h"
#include "integer/tens.h"

namespace VELD::printing {

using kernels::Wide;

// Digits settled together: 10^16 < 2^54, so that a block's number, times a 64-bit window
// of the power, stays within a pair of registers.
inline constexpr unsigned BLOCK = 16;

// 10^k for k up to 19 (10^19 < 2^64), built by steps of ten once and kept for every print.
inline constexpr unsigned REGISTER_DIGITS = 20;
inline constexpr auto TEN_POWERS = [] {
    std::array<std::uint64_t, REGISTER_DIGITS> powers{};
    powers[0] = 1;
    for (unsigned k = 1; k < REGISTER_DIGITS; ++k)
        powers[k] = timesTen(powers[k - 1]);
    return powers;
}();

// The schoolbook digit of r for the power p: what the subtractions of 8p, 4p, 2p and p,
// each made when it fits, take from r, which keeps the rest; above 9 when r >= 10p. Each
// is kept by a conditional move, not a branch, as which way each goes is as good as random;
// whether it fits is asked without shifting p out of its register (or pair).
template <typename T>
unsigned takeDigit(T& r, T p) {
    unsigned digit = 0;
    for (int shift = 3; shift >= 0; --shift) {
        const bool taken = p <= r >> shift;
        r = taken ? r - (p << shift) : r;
        digit |= (taken ? 1u : 0u) << shift;
    }
    return digit;
}

// Writes the digits of r for the power of ten 10^k, for r < 10^(k+1): k + 1 digits, with
// leading zeros when r < 10^k. Returns the end of the digits.
inline char* writeDigits(char* out, std::uint64_t r, unsigned k) {
    for (;;) {
        *out++ = static_cast<char>('0' + takeDigit(r, TEN_POWERS[k]));
        if (k-- == 0) return out;
    }
}

// Bits [offset, offset + 64) of the magnitude a[0..n); zero beyond its words.
inline std::uint64_t bitsAt(const std::uint32_t* a, std::uint32_t n, std::uint64_t offset) {
    auto word = [&](std::uint64_t k) -> std::uint64_t { return k < n ? a[k] : 0; };
    const std::uint64_t k = offset / 32;
    const auto shift = static_cast<unsigned>(offset % 32);
    const std::uint64_t low = word(k) | word(k + 1) << 32;
    return shift == 0 ? low : (low >> shift) | (word(k + 2) << (64 - shift));
}

// A block's number, with whether the windows it was found from settle it.
struct Block {
    std::uint64_t value;
    bool certain;
};

// The block of n digits (1 to BLOCK) that r holds above the power of ten P, for
// r < 10^n P, found from windows of r (128 bits) and P (64) at one bit offset; the digits
// are written to `out` (see register_digits.cpp).
Block blockFromWindows(char* out, Wide rw, std::uint64_t pw, unsigned n, bool exact);

// Words of the longest odd part whose products print sums on registers.
inline constexpr std::uint32_t SHORT_POWER = 16;

// product = f[0..n) * times, for n <= SHORT_POWER and times below 2^54, summed on registers;
// returns the count of product's words (n + 3 at most), high zeros dropped.
std::uint32_t wordsTimesRegister(std::uint32_t* product, const std::uint32_t* f, std::uint32_t n,
                                 kernels::SignedBits times);

// times as a sum of signed multiples of P and 3P at bit offsets: the width-3 window form,
// a digit of 1, 3, -3 or -1 at an offset and none in the two above it, so a quarter of the
// offsets carry one. [0] holds the offsets of P, [1] those of 3P.
struct WindowForm {
    std::uint64_t plus[2] = {};
    std::uint64_t minus[2] = {};
};
WindowForm windowForm(std::uint64_t times);

}  // namespace VELD::printing
