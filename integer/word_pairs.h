// Two consecutive words of a magnitude taken as one 64-bit chunk, the first word in the
// low half, so that word loops can step two words at a time; and the carry arithmetic on
// such chunks.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "integer/assembly.h"
#if VELD_ASM
#include <immintrin.h>
#endif

namespace VELD {

inline std::uint64_t loadPair(const std::uint32_t* pair) {
    if constexpr (std::endian::native == std::endian::little) {
        std::uint64_t chunk;
        std::memcpy(&chunk, pair, sizeof chunk);
        return chunk;
    } else {
        return pair[0] | std::uint64_t{pair[1]} << 32;
    }
}

inline void storePair(std::uint32_t* pair, std::uint64_t chunk) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(pair, &chunk, sizeof chunk);
    } else {
        pair[0] = static_cast<std::uint32_t>(chunk);
        pair[1] = static_cast<std::uint32_t>(chunk >> 32);
    }
}

// x + y + carry, for a carry of 0 or 1; the carry out of the chunk replaces carry. On
// x86-64 this is the processor's add-with-carry, which chains through a loop.
inline std::uint64_t addWithCarry(std::uint64_t x, std::uint64_t y, unsigned char& carry) {
#if VELD_ASM
    unsigned long long sum;
    carry = _addcarry_u64(carry, x, y, &sum);
    return sum;
#else
    std::uint64_t sum;
    const bool out = __builtin_add_overflow(x, y, &sum);
    carry = static_cast<unsigned char>(out | __builtin_add_overflow(sum, carry, &sum));
    return sum;
#endif
}

// x - y - borrow, for a borrow of 0 or 1; the borrow out of the chunk replaces borrow.
inline std::uint64_t subtractWithBorrow(std::uint64_t x, std::uint64_t y, unsigned char& borrow) {
#if VELD_ASM
    unsigned long long difference;
    borrow = _subborrow_u64(borrow, x, y, &difference);
    return difference;
#else
    std::uint64_t difference;
    const bool out = __builtin_sub_overflow(x, y, &difference);
    borrow =
        static_cast<unsigned char>(out | __builtin_sub_overflow(difference, borrow, &difference));
    return difference;
#endif
}

// The same on the chunk at `pair`, the result written back in place: x86-64's
// add-with-carry and subtract-with-borrow then read and write the words directly, and
// the carry stays in the processor's flag from chunk to chunk. The integer code is built
// without type-based alias analysis, so that a chunk written so and the 32-bit words it
// covers may be mixed.
inline void addWithCarryAt(std::uint32_t* pair, std::uint64_t y, unsigned char& carry) {
#if VELD_ASM
    carry = _addcarry_u64(carry, loadPair(pair), y, reinterpret_cast<unsigned long long*>(pair));
#else
    storePair(pair, addWithCarry(loadPair(pair), y, carry));
#endif
}

inline void subtractWithBorrowAt(std::uint32_t* pair, std::uint64_t y, unsigned char& borrow) {
#if VELD_ASM
    borrow = _subborrow_u64(borrow, loadPair(pair), y, reinterpret_cast<unsigned long long*>(pair));
#else
    storePair(pair, subtractWithBorrow(loadPair(pair), y, borrow));
#endif
}

}  // namespace VELD
