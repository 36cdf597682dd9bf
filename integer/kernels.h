// Word-vector kernels: the loops that every Integer operation is composed of. Magnitudes
// are arrays of 32-bit words, least significant first; `n` counts words. No kernel
// allocates or looks at a sign.
//
// The shifted kernels treat b << shift (shift < 32) as n words plus an outflow: the bits
// of b that leave word n-1 together with the carry or borrow. They return that outflow,
// for the caller to settle in the words above with addCarry or subtractBorrow.
//
// The kernels whose long loops exist in x86-64 assembly (kernels_x86_64.h) take the path
// they run as a template argument, which defaults to the path this build uses. The
// portable path is plain C++ and is what every other processor runs; the tests run both on
// the same tables.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <utility>

#include "integer/assembly.h"
#include "integer/interrupt.h"
#include "integer/tens.h"
#include "integer/word_pairs.h"

namespace VELD::kernels {

using Word = std::uint32_t;

enum class Path { portable, assembly };
// The path of this build: assembly where EXACTCALC_ASM is set.
inline constexpr Path NATIVE = EXACTCALC_ASM ? Path::assembly : Path::portable;

// The words the kernels have worked on, a pass of k stages over n words counting k n:
// counted only in the build that tests the progress models against the work done
// (EXACTCALC_WORK_COUNT). Elsewhere nothing is counted and nothing is paid.
#ifdef EXACTCALC_WORK_COUNT
inline std::uint64_t wordsWorked = 0;
inline void countWords(std::uint64_t n) {
    wordsWorked += n;
}
#else
inline void countWords(std::uint64_t) {}
#endif

// a[0..n) += (or -= when `subtract`) the chunks that next(i) gives for words i and i+1,
// from word i on with the carry or borrow `flag`. Four chunks a step, so that the carry or
// borrow passes from chunk to chunk without leaving the processor's flag, then the chunks
// left one at a time. Returns the carry or borrow out, and leaves i at the odd last word,
// if any.
template <bool subtract, typename Next>
inline unsigned char chainChunks(Word* a, std::uint32_t n, std::uint32_t& i, Next next,
                                 unsigned char flag) {
    for (; i + 7 < n; i += 8) {
        withCarryAt<subtract>(a + i, next(i), flag);
        withCarryAt<subtract>(a + i + 2, next(i + 2), flag);
        withCarryAt<subtract>(a + i + 4, next(i + 4), flag);
        withCarryAt<subtract>(a + i + 6, next(i + 6), flag);
    }
    for (; i + 1 < n; i += 2)
        withCarryAt<subtract>(a + i, next(i), flag);
    return flag;
}

// The last word a[i] op= low (a word) with the carry or borrow `flag`; returns the carry or
// borrow out.
template <bool subtract>
inline std::uint64_t lastWordWithCarry(Word* a, std::uint64_t low, unsigned char flag) {
    const std::uint64_t word = *a;
    const std::uint64_t result = subtract ? word - low - flag : word + low + flag;
    *a = static_cast<Word>(result);
    return subtract ? (word < low + flag ? 1 : 0) : result >> 32;
}

// The long loops of a path, each over a[0..8k) for the largest k with 8k <= n, returning
// 8k; the kernels below finish the words left in C++. The portable path has none (k is
// 0): its kernels run their C++ loops over every word. The assembly path's are in
// kernels_x86_64.h.
template <Path>
struct Steps {
    // a[0..8k) += or -= b[0..8k), with the carry or borrow `flag` in and out.
    template <bool subtract>
    static std::uint32_t aligned(Word*, const Word*, std::uint32_t, unsigned char&) {
        return 0;
    }
    // a[0..8k) += or -= the chunks of b[0..8k) << shift, with `below` the chunk below b[0]
    // (unshifted) and `flag` the carry or borrow, both in and out.
    template <bool subtract>
    static std::uint32_t shifted(Word*, const Word*, std::uint32_t, unsigned, std::uint64_t&,
                                 unsigned char&) {
        return 0;
    }
    // a[0..8k) through four TimesFiveStage stages, each chunk through all four in turn.
    static std::uint32_t timesFourFives(Word*, std::uint32_t, TimesFiveStage*) { return 0; }
};

}  // namespace VELD::kernels

#if EXACTCALC_ASM
#include "integer/kernels_x86_64.h"
#endif

namespace VELD::kernels {

// a[0..n) += b[0..n), or -= when `subtract`, with the carry or borrow `flag` in; returns
// the carry or borrow out (0 or 1).
template <bool subtract, Path path = NATIVE>
inline std::uint64_t combineInto(Word* a, const Word* b, std::uint32_t n, unsigned char flag) {
    countWords(n);
    std::uint32_t i = Steps<path>::template aligned<subtract>(a, b, n, flag);
    flag = chainChunks<subtract>(
        a, n, i, [b](std::uint32_t at) { return loadPair(b + at); }, flag);
    if (i == n) return flag;
    return lastWordWithCarry<subtract>(a + i, b[i], flag);
}

// a[0..n) += b[0..n); returns the carry out (0 or 1). `carry` is the carry in.
template <Path path = NATIVE>
inline std::uint64_t addInto(Word* a, const Word* b, std::uint32_t n, unsigned char carry = 0) {
    return combineInto<false, path>(a, b, n, carry);
}

// a[0..n) -= b[0..n); returns the borrow out (0 or 1). `borrow` is the borrow in.
template <Path path = NATIVE>
inline std::uint64_t subtractFrom(Word* a, const Word* b, std::uint32_t n,
                                  unsigned char borrow = 0) {
    return combineInto<true, path>(a, b, n, borrow);
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

    // a[0..8k) += or -= the chunks from word 0 on, through the path's long loop (see
    // Steps); `flag` is the carry or borrow in and out. Returns 8k.
    template <Path path, bool subtract>
    std::uint32_t runSteps(Word* a, std::uint32_t n, unsigned char& flag) {
        return Steps<path>::template shifted<subtract>(a, b, n, shift, previous, flag);
    }

private:
    const Word* b;
    unsigned shift;
    std::uint64_t previous = 0;  // the chunk below, unshifted
};

// a[0..n) += (b[0..n) << shift), or -= when `subtract`; returns the outflow into word n,
// or still owed by it (below 2^33).
template <bool subtract, Path path = NATIVE>
inline std::uint64_t combineShiftedInto(Word* a, const Word* b, std::uint32_t n, unsigned shift) {
    countWords(n);
    ShiftedChunks shifted(b, shift);
    unsigned char flag = 0;
    std::uint32_t i = shifted.runSteps<path, subtract>(a, n, flag);
    flag = chainChunks<subtract>(
        a, n, i, [&shifted](std::uint32_t at) { return shifted(at); }, flag);
    if (i == n) return flag + shifted.spilled();
    const std::uint64_t moved = shifted.lastWord(i);
    return (moved >> 32) + lastWordWithCarry<subtract>(a + i, moved & 0xFFFFFFFFu, flag);
}

// a[0..n) += (b[0..n) << shift); returns the outflow into word n (below 2^33).
template <Path path = NATIVE>
inline std::uint64_t addShiftedInto(Word* a, const Word* b, std::uint32_t n, unsigned shift) {
    return combineShiftedInto<false, path>(a, b, n, shift);
}

// a[0..n) -= (b[0..n) << shift); returns the outflow still owed by word n (below 2^33).
template <Path path = NATIVE>
inline std::uint64_t subtractShiftedFrom(Word* a, const Word* b, std::uint32_t n, unsigned shift) {
    return combineShiftedInto<true, path>(a, b, n, shift);
}

// The count of a[0..n) with its high zero words dropped.
inline std::uint32_t significantWords(const Word* a, std::uint32_t n) {
    while (n > 0 && a[n - 1] == 0)
        --n;
    return n;
}

// a[0..n) -= b[0..bn) << bits, for a normal magnitude a at least that much; returns a's
// count afterwards, high zeros dropped.
inline std::uint32_t subtractAtBits(Word* a, std::uint32_t n, const Word* b, std::uint32_t bn,
                                    std::uint64_t bits) {
    const auto offset = static_cast<std::uint32_t>(bits / 32);
    const std::uint64_t owed = subtractShiftedFrom(a + offset, b, bn, bits % 32);
    subtractBorrow(a + offset + bn, n - offset - bn, owed);
    return significantWords(a, n);
}

// a[0..n] = b[0..n) << shift, for 0 < shift < 32: n + 1 words.
inline void copyShifted(Word* a, const Word* b, std::uint32_t n, unsigned shift) {
    countWords(n);
    ShiftedChunks shifted(b, shift);
    std::uint32_t i = 0;
    for (; i + 1 < n; i += 2)
        storePair(a + i, shifted(i));
    const std::uint64_t last = i < n ? shifted.lastWord(i) : shifted.spilled();
    a[i] = static_cast<Word>(last);
    if (i < n) a[i + 1] = static_cast<Word>(last >> 32);
}

// a[0..n) <<= shift in place, for 0 < shift < 32, from the top word down; returns the bits
// that leave word n-1.
inline Word shiftLeftInPlace(Word* a, std::uint32_t n, unsigned shift) {
    const Word out = a[n - 1] >> (32 - shift);
    for (std::uint32_t i = n - 1; i > 0; --i)
        a[i] = (a[i] << shift) | (a[i - 1] >> (32 - shift));
    a[0] <<= shift;
    return out;
}

// a[0..n) >>= shift in place, for 0 < shift < 32, from the bottom word up; the bits that
// leave word 0 are dropped.
inline void shiftRightInPlace(Word* a, std::uint32_t n, unsigned shift) {
    for (std::uint32_t i = 0; i + 1 < n; ++i)
        a[i] = (a[i] >> shift) | (a[i + 1] << (32 - shift));
    a[n - 1] >>= shift;
}

// a[0..n) through `steps` stages of Stage fused into one pass, each chunk going through
// them in turn, from the low end; returns what leaves word n-1. `lead` may take the first
// words through the stages first and returns how many it took. The chunk after the last
// takes what leaves the top: the odd last word with its outflow, or the outflow alone (a
// stage over a zero chunk gives what was left of the one before).
template <typename Stage, unsigned steps, typename Lead>
std::uint64_t throughStages(Word* a, std::uint32_t n, Lead lead) {
    Stage stage[steps];
    auto all = [&stage](std::uint64_t x) {
        for (Stage& step : stage)
            x = step(x);
        return x;
    };
    std::uint32_t i = lead(a, n, stage);
    for (; i + 1 < n; i += 2)
        storePair(a + i, all(loadPair(a + i)));
    const std::uint64_t top = all(i < n ? a[i] : 0);
    if (i == n) return top;
    a[i] = static_cast<Word>(top);
    return top >> 32;
}

inline constexpr auto noLead = [](Word*, std::uint32_t, auto*) { return std::uint32_t{0}; };

// a[0..n) *= 5^steps in place, a pass of `steps` stages of times five; returns what
// leaves word n-1 (below 2^10).
template <unsigned steps, Path path = NATIVE>
std::uint64_t timesFives(Word* a, std::uint32_t n) {
    countWords(std::uint64_t{steps} * n);
    if constexpr (steps == 4) {
        return throughStages<TimesFiveStage, steps>(a, n, Steps<path>::timesFourFives);
    } else {
        return throughStages<TimesFiveStage, steps>(a, n, noLead);
    }
}

// a[0..n) /= 5^steps in place, for a multiple of it (nothing leaves the top); returns the
// new count of words, high zeros dropped.
template <unsigned steps>
std::uint32_t exactFifths(Word* a, std::uint32_t n) {
    countWords(std::uint64_t{steps} * n);
    throughStages<ExactFifthStage, steps>(a, n, noLead);
    return significantWords(a, n);
}

__extension__ typedef unsigned __int128 Wide;

// A number below 2^62 as plus - minus, with no two neighbouring bits set in plus | minus
// (its non-adjacent form): a third of the bits set, where plain binary has half. From
// three halves of the number, its bits compared with the half's.
struct SignedBits {
    std::uint64_t plus;
    std::uint64_t minus;
};
inline SignedBits nonAdjacentForm(std::uint64_t q) {
    const std::uint64_t half = q >> 1;
    const std::uint64_t changed = half ^ (q + half);
    return {(q + half) & changed, half & changed};
}

// x * (plus - minus) on a pair of registers, for a product below 2^128: x << p added for
// each set bit p of plus and subtracted for each of minus, modulo 2^128.
inline Wide signedProduct(std::uint64_t x, SignedBits times) {
    Wide sum = 0;
    for (std::uint64_t bits = times.plus; bits != 0; bits &= bits - 1)
        sum += static_cast<Wide>(x) << std::countr_zero(bits);
    for (std::uint64_t bits = times.minus; bits != 0; bits &= bits - 1)
        sum -= static_cast<Wide>(x) << std::countr_zero(bits);
    return sum;
}

// x * driver on a pair of registers, for a product below 2^128: x << p added for each set
// bit p of the driver.
inline Wide wideProduct(std::uint64_t x, std::uint64_t driver) {
    return signedProduct(x, {driver, 0});
}

// a[0..n) += high:low, a value of up to 96 bits (high below 2^32), for n >= 3; the carry
// runs on above the three words it covers, and what leaves word n-1 is dropped.
inline void addWide(Word* a, std::uint32_t n, std::uint64_t low, std::uint64_t high) {
    countWords(1);
    unsigned char carry = 0;
    withCarryAt<false>(a, low, carry);
    const std::uint64_t top = std::uint64_t{a[2]} + high + carry;
    a[2] = static_cast<Word>(top);
    if ((top >> 32) != 0) addCarry(a + 3, n - 3, top >> 32);
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

// The set bits of a 64-bit chunk, likewise.
inline unsigned setBits64(std::uint64_t x) {
    x = x - ((x >> 1) & 0x5555555555555555u);
    x = (x & 0x3333333333333333u) + ((x >> 2) & 0x3333333333333333u);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
    x += x >> 8;
    x += x >> 16;
    x += x >> 32;
    return static_cast<unsigned>(x & 0x7Fu);
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

// Sign of a - b * 2^bits, for normal magnitudes a (an words, an > 0) and b (bn words) of
// which a and b * 2^bits have the same bit length.
inline int compareSameLength(const Word* a, std::uint32_t an, const Word* b, std::uint32_t bn,
                             std::uint64_t bits) {
    // The shifted b's top word is word an-1 too. Word k of b << bits is made of
    // b[k - offset] and the top of b[k - offset - 1].
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

// Sign of a - b * 2^bits, for normal magnitudes a (an words) and b (bn words).
inline int compareShifted(const Word* a, std::uint32_t an, const Word* b, std::uint32_t bn,
                          std::uint64_t bits) {
    const std::uint64_t aBits = bitLength(a, an);
    const std::uint64_t bBits = bn == 0 ? 0 : bitLength(b, bn) + bits;
    if (aBits != bBits) return aBits < bBits ? -1 : 1;
    return an == 0 ? 0 : compareSameLength(a, an, b, bn, bits);
}

}  // namespace VELD::kernels
