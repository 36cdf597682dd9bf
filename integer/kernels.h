// Word-vector kernels: the loops that every Integer operation is composed of. Magnitudes
// are arrays of 32-bit words, least significant first; `n` counts words. No kernel
// allocates or looks at a sign.
//
// The shifted kernels treat b << shift (shift < 32) as n words plus an outflow: the bits
// of b that leave word n-1 together with the carry or borrow. They return that outflow,
// for the caller to settle in the words above with addCarry or subtractBorrow.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <utility>

#include "integer/word_pairs.h"

namespace VELD::kernels {

using Word = std::uint32_t;

// a[0..n) op= the chunks that next(i) gives for words i and i+1, where op is
// addWithCarryAt or subtractWithBorrowAt. Four chunks a step, so that the carry or borrow
// passes from chunk to chunk without leaving the processor's flag, then the chunks left
// one at a time. Returns the carry or borrow out, and leaves i at the odd last word, if any.
// The loop starts at word i with the carry or borrow `flag`.
template <void (*op)(Word*, std::uint64_t, unsigned char&), typename Next>
inline unsigned char chainChunks(Word* a, std::uint32_t n, std::uint32_t& i, Next next,
                                 unsigned char flag = 0) {
    for (; i + 7 < n; i += 8) {
        op(a + i, next(i), flag);
        op(a + i + 2, next(i + 2), flag);
        op(a + i + 4, next(i + 4), flag);
        op(a + i + 6, next(i + 6), flag);
    }
    for (; i + 1 < n; i += 2)
        op(a + i, next(i), flag);
    return flag;
}

#if defined(__x86_64__) && defined(__GNUC__)
// Pieces of the four-chunk loops in assembly below: a's four chunks into the registers d0
// to d3, and back from them, then on to the next four chunks of a and b and round again
// while steps are left. The step leaves the carry flag alone.
// clang-format off
#define VELD_LOAD_A                                                                           \
        "movq (%[a]), %[d0]\n\t"                                                              \
        "movq 8(%[a]), %[d1]\n\t"                                                             \
        "movq 16(%[a]), %[d2]\n\t"                                                            \
        "movq 24(%[a]), %[d3]\n\t"
#define VELD_STORE_A_AND_STEP                                                                 \
        "movq %[d0], (%[a])\n\t"                                                              \
        "movq %[d1], 8(%[a])\n\t"                                                             \
        "movq %[d2], 16(%[a])\n\t"                                                            \
        "movq %[d3], 24(%[a])\n\t"                                                            \
        "leaq 32(%[a]), %[a]\n\t"                                                             \
        "leaq 32(%[b]), %[b]\n\t"                                                             \
        "decl %[steps]\n\t"                                                                   \
        "jnz 1b\n\t"
// clang-format on
#endif

// a[0..8k) += or -= b[0..8k), for the largest k with 8k <= n, on x86-64 (elsewhere k is
// 0), with the carry or borrow `flag` in and out; returns 8k. Four chunks a step. Only
// moves, lea and dec run between the additions, and none of them touches the carry flag,
// so it passes from step to step inside the processor: saving and restoring it would put
// two more instructions on the chain that every chunk waits for.
template <bool subtract>
inline std::uint32_t alignedSteps(Word* a, const Word* b, std::uint32_t n, unsigned char& flag) {
#if defined(__x86_64__) && defined(__GNUC__)
    std::uint32_t steps = n / 8;
    if (steps == 0) return 0;
    std::uint64_t d0, d1, d2, d3;
    // clang-format off
#define VELD_CHAIN_OP(op)                                                                      \
    asm volatile("addb $0xff, %[flag]\n\t"                                                    \
        "1:\n\t"                                                                              \
        VELD_LOAD_A                                                                           \
        op " (%[b]), %[d0]\n\t"                                                               \
        op " 8(%[b]), %[d1]\n\t"                                                              \
        op " 16(%[b]), %[d2]\n\t"                                                             \
        op " 24(%[b]), %[d3]\n\t"                                                             \
        VELD_STORE_A_AND_STEP                                                                 \
        "setc %[flag]"                                                                        \
        : [a] "+r"(a), [b] "+r"(b), [steps] "+r"(steps), [flag] "+q"(flag), [d0] "=&r"(d0),   \
          [d1] "=&r"(d1), [d2] "=&r"(d2), [d3] "=&r"(d3)                                      \
        :                                                                                     \
        : "cc", "memory")
    if constexpr (subtract) {
        VELD_CHAIN_OP("sbbq");
    } else {
        VELD_CHAIN_OP("adcq");
    }
#undef VELD_CHAIN_OP
    // clang-format on
    return n / 8 * 8;
#else
    (void)a, (void)b, (void)n, (void)flag;
    return 0;
#endif
}

// a[0..n) += b[0..n); returns the carry out (0 or 1).
inline std::uint64_t addInto(Word* a, const Word* b, std::uint32_t n) {
    unsigned char carry = 0;
    std::uint32_t i = alignedSteps<false>(a, b, n, carry);
    carry = chainChunks<addWithCarryAt>(
        a, n, i, [b](std::uint32_t at) { return loadPair(b + at); }, carry);
    if (i == n) return carry;
    const std::uint64_t sum = std::uint64_t{a[i]} + b[i] + carry;
    a[i] = static_cast<Word>(sum);
    return sum >> 32;
}

// a[0..n) -= b[0..n); returns the borrow out (0 or 1).
inline std::uint64_t subtractFrom(Word* a, const Word* b, std::uint32_t n) {
    unsigned char borrow = 0;
    std::uint32_t i = alignedSteps<true>(a, b, n, borrow);
    borrow = chainChunks<subtractWithBorrowAt>(
        a, n, i, [b](std::uint32_t at) { return loadPair(b + at); }, borrow);
    if (i == n) return borrow;
    const std::uint64_t subtrahend = std::uint64_t{b[i]} + borrow;
    const Word word = a[i];
    a[i] = static_cast<Word>(word - subtrahend);
    return word < subtrahend ? 1 : 0;
}

// a[0..n) += amount (below 2^33), the carry running up through the words; returns what
// runs out of word n-1.
inline std::uint64_t addCarry(Word* a, std::uint32_t n, std::uint64_t amount) {
    for (std::uint32_t i = 0; i < n && amount != 0; ++i) {
        amount += a[i];
        a[i] = static_cast<Word>(amount);
        amount >>= 32;
    }
    return amount;
}

// a[0..n) -= amount (64 or 128 bits wide), the borrow running up through the words;
// returns what is still owed above word n-1.
template <typename Amount>
inline Amount subtractBorrow(Word* a, std::uint32_t n, Amount amount) {
    for (std::uint32_t i = 0; i < n && amount != 0; ++i) {
        const auto low = static_cast<Word>(amount);
        const Word word = a[i];
        a[i] = static_cast<Word>(word - low);
        amount = (amount >> 32) + (word < low ? 1 : 0);
    }
    return amount;
}

// The bits of the 64-bit chunk `chunk` that leave it when shifted left by `shift` (< 32).
inline std::uint64_t spillOf(std::uint64_t chunk, unsigned shift) {
    return (chunk >> 1) >> (63 - shift);
}

// The top 64 bits of (high:low) << shift, for shift < 64: high shifted, with the top bits
// of low below it. Kept as the chunk below unshifted, it needs no spill carried over.
inline std::uint64_t shiftedPair(std::uint64_t high, std::uint64_t low, unsigned shift) {
    return (high << shift) | ((low >> 1) >> (63 - shift));
}

// The chunks of b << shift, in order from the lowest: each takes in the bits that leave
// the chunk below it.
class ShiftedChunks {
public:
    ShiftedChunks(const Word* b, unsigned shift) : b(b), shift(shift) {}
    std::uint64_t operator()(std::uint32_t at) {
        const std::uint64_t chunk = loadPair(b + at);
        const std::uint64_t moved = shiftedPair(chunk, previous, shift);
        previous = chunk;
        return moved;
    }
    // Word `at`, the last, with the spill below it: up to 64 bits.
    std::uint64_t lastWord(std::uint32_t at) const {
        return (std::uint64_t{b[at]} << shift) | spilled();
    }
    std::uint64_t spilled() const { return spillOf(previous, shift); }

    // a[0..8k) += or -= the chunks from word 0 on, for the largest k with 8k <= n, on x86-64
    // (elsewhere k is 0); `flag` is the carry or borrow in and out. Returns 8k.
    template <bool subtract>
    std::uint32_t runSteps(Word* a, std::uint32_t n, unsigned char& flag);

private:
    const Word* b;
    unsigned shift;
    std::uint64_t previous = 0;  // the chunk below, unshifted
};

#if defined(__x86_64__) && defined(__GNUC__)
// a[0..8·steps) += or -= the chunks of b[0..8·steps) << shift, four chunks a step, with
// `below` the chunk below b[0] (unshifted) and `flag` the carry or borrow in; both are
// left as the loop leaves them. The shifts that form the chunks clobber the processor's
// flag, so all four are formed first, then added to or subtracted from a's four chunks,
// loaded into registers, in one run with the flag restored before it and saved after it.
// The shift is part of the instruction: a shift by a register takes more work, and so
// does adding into memory directly.
template <bool subtract, unsigned shift>
void shiftedSteps(Word* a, const Word* b, std::uint32_t steps, std::uint64_t& below,
                  unsigned char& flag) {
    std::uint64_t c0, c1, c2, c3, d0, d1, d2, d3;
    // clang-format off
#define VELD_CHAIN_OP(op)                                                                        \
    asm volatile("1:\n\t"                                                                               \
        "movq (%[b]), %[c0]\n\t"                                                                 \
        "movq 8(%[b]), %[c1]\n\t"                                                                \
        "movq 16(%[b]), %[c2]\n\t"                                                               \
        "movq 24(%[b]), %[c3]\n\t"                                                               \
        "shldq %[s], %[c2], %[c3]\n\t"                                                           \
        "shldq %[s], %[c1], %[c2]\n\t"                                                           \
        "shldq %[s], %[c0], %[c1]\n\t"                                                           \
        "shldq %[s], %[below], %[c0]\n\t"                                                        \
        "movq 24(%[b]), %[below]\n\t"                                                            \
        VELD_LOAD_A                                                                              \
        "addb $0xff, %[flag]\n\t"                                                                \
        op " %[c0], %[d0]\n\t"                                                                   \
        op " %[c1], %[d1]\n\t"                                                                   \
        op " %[c2], %[d2]\n\t"                                                                   \
        op " %[c3], %[d3]\n\t"                                                                   \
        "setc %[flag]\n\t"                                                                       \
        VELD_STORE_A_AND_STEP                                                                    \
        : [a] "+r"(a), [b] "+r"(b), [steps] "+r"(steps), [below] "+r"(below), [flag] "+q"(flag), \
          [c0] "=&r"(c0), [c1] "=&r"(c1), [c2] "=&r"(c2), [c3] "=&r"(c3), [d0] "=&r"(d0),        \
          [d1] "=&r"(d1), [d2] "=&r"(d2), [d3] "=&r"(d3)                                         \
        : [s] "i"(shift)                                                                         \
        : "cc", "memory")
    if constexpr (subtract) {
        VELD_CHAIN_OP("sbbq");
    } else {
        VELD_CHAIN_OP("adcq");
    }
#undef VELD_CHAIN_OP
    // clang-format on
}

template <bool subtract, unsigned... shifts>
constexpr auto shiftedStepTable(std::integer_sequence<unsigned, shifts...>) {
    using Steps = void (*)(Word*, const Word*, std::uint32_t, std::uint64_t&, unsigned char&);
    return std::array<Steps, sizeof...(shifts)>{&shiftedSteps<subtract, shifts>...};
}

template <bool subtract>
inline constexpr auto shiftedStepsBy =
    shiftedStepTable<subtract>(std::make_integer_sequence<unsigned, 32>{});
#endif

template <bool subtract>
inline std::uint32_t ShiftedChunks::runSteps(Word* a, std::uint32_t n, unsigned char& flag) {
#if defined(__x86_64__) && defined(__GNUC__)
    if (n < 8) return 0;
    shiftedStepsBy<subtract>[shift](a, b, n / 8, previous, flag);
    return n / 8 * 8;
#else
    (void)a, (void)n, (void)flag;
    return 0;
#endif
}

// a[0..n) += (b[0..n) << shift); returns the outflow into word n (below 2^33).
inline std::uint64_t addShiftedInto(Word* a, const Word* b, std::uint32_t n, unsigned shift) {
    ShiftedChunks shifted(b, shift);
    unsigned char carry = 0;
    std::uint32_t i = shifted.runSteps<false>(a, n, carry);
    carry = chainChunks<addWithCarryAt>(
        a, n, i, [&shifted](std::uint32_t at) { return shifted(at); }, carry);
    if (i == n) return carry + shifted.spilled();
    const std::uint64_t moved = shifted.lastWord(i);
    const std::uint64_t sum = std::uint64_t{a[i]} + static_cast<Word>(moved) + carry;
    a[i] = static_cast<Word>(sum);
    return (sum >> 32) + (moved >> 32);
}

// a[0..n] = b[0..n) << shift, for 0 < shift < 32: n + 1 words.
inline void copyShifted(Word* a, const Word* b, std::uint32_t n, unsigned shift) {
    ShiftedChunks shifted(b, shift);
    std::uint32_t i = 0;
    for (; i + 1 < n; i += 2)
        storePair(a + i, shifted(i));
    const std::uint64_t last = i < n ? shifted.lastWord(i) : shifted.spilled();
    a[i] = static_cast<Word>(last);
    if (i < n) a[i + 1] = static_cast<Word>(last >> 32);
}

__extension__ typedef unsigned __int128 Wide;

// x * driver on a pair of registers, for a product below 2^128: x << p added for each set
// bit p of the driver.
inline Wide timesSetBits(std::uint64_t x, std::uint64_t driver) {
    Wide sum = 0;
    for (std::uint64_t bits = driver; bits != 0; bits &= bits - 1)
        sum += static_cast<Wide>(x) << std::countr_zero(bits);
    return sum;
}

// a[0..n) += high:low, a value of up to 96 bits (high below 2^32), for n >= 3; the carry
// runs on above the three words it covers, and what leaves word n-1 is dropped.
inline void addWide(Word* a, std::uint32_t n, std::uint64_t low, std::uint64_t high) {
    unsigned char carry = 0;
    addWithCarryAt(a, low, carry);
    const std::uint64_t top = std::uint64_t{a[2]} + high + carry;
    a[2] = static_cast<Word>(top);
    if ((top >> 32) != 0) addCarry(a + 3, n - 3, top >> 32);
}

// a[0..n) -= (b[0..n) << shift); returns the outflow still owed by word n (below 2^33).
inline std::uint64_t subtractShiftedFrom(Word* a, const Word* b, std::uint32_t n, unsigned shift) {
    ShiftedChunks shifted(b, shift);
    unsigned char borrow = 0;
    std::uint32_t i = shifted.runSteps<true>(a, n, borrow);
    borrow = chainChunks<subtractWithBorrowAt>(
        a, n, i, [&shifted](std::uint32_t at) { return shifted(at); }, borrow);
    if (i == n) return borrow + shifted.spilled();
    const std::uint64_t moved = shifted.lastWord(i);
    const std::uint64_t subtrahend = (moved & 0xFFFFFFFFu) + borrow;
    const Word word = a[i];
    a[i] = static_cast<Word>(word - subtrahend);
    return (moved >> 32) + (word < subtrahend ? 1 : 0);
}

// How many steps over `count` words make about 2^16 words (within a factor of two): how
// often loops that obtain no storage test the interrupt flag.
inline std::uint32_t stepsPerCheck(std::uint32_t count) {
    const auto width = static_cast<unsigned>(std::bit_width(count));
    return width >= 16 ? 1u : 1u << (16 - width);
}

// The set bits of a word, by adding neighbouring fields: without a processor instruction
// for it, std::popcount is a library call.
inline unsigned setBits(Word x) {
    x = x - ((x >> 1) & 0x55555555u);
    x = (x & 0x33333333u) + ((x >> 2) & 0x33333333u);
    x = (x + (x >> 4)) & 0x0F0F0F0Fu;
    x += x >> 8;
    x += x >> 16;
    return x & 0x3Fu;
}

// Sign of a - b: a and b both n words.
inline int compareWords(const Word* a, const Word* b, std::uint32_t n) {
    for (std::uint32_t i = n; i-- > 0;) {
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    }
    return 0;
}

// Number of significant bits of a normal magnitude of n words (top word non-zero).
inline std::uint64_t bitLength(const Word* a, std::uint32_t n) {
    return n == 0 ? 0 : 32 * std::uint64_t{n} - static_cast<unsigned>(std::countl_zero(a[n - 1]));
}

// Sign of a - b * 2^bits, for normal magnitudes a (an words) and b (bn words).
inline int compareShifted(const Word* a, std::uint32_t an, const Word* b, std::uint32_t bn,
                          std::uint64_t bits) {
    const std::uint64_t aBits = bitLength(a, an);
    const std::uint64_t bBits = bn == 0 ? 0 : bitLength(b, bn) + bits;
    if (aBits != bBits) return aBits < bBits ? -1 : 1;
    if (an == 0) return 0;
    // Same bit length, so the shifted b's top word is word an-1 too. Word k of b << bits
    // is made of b[k - offset] and the top of b[k - offset - 1].
    const std::uint64_t offset = bits / 32;
    const unsigned shift = static_cast<unsigned>(bits % 32);
    for (std::uint64_t k = an; k-- > offset;) {
        const std::uint64_t j = k - offset;
        const std::uint64_t pair =
            (j < bn ? std::uint64_t{b[j]} << 32 : 0) | (j > 0 ? b[j - 1] : 0);
        const auto word = static_cast<Word>((pair << shift) >> 32);
        if (a[k] != word) return a[k] < word ? -1 : 1;
    }
    for (std::uint64_t k = offset; k-- > 0;) {
        if (a[k] != 0) return 1;
    }
    return 0;
}

#undef VELD_LOAD_A
#undef VELD_STORE_A_AND_STEP

}  // namespace VELD::kernels
