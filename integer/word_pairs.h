// Two consecutive words of a magnitude taken as one 64-bit chunk, the first word in the
// low half, so that word loops can step two words at a time; and the carry arithmetic on
// such chunks.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "integer/assembly.h"
#if EXACTCALC_ASM
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

// x + y + flag, or x - y - flag when `subtract`, for a carry or borrow `flag` of 0 or 1;
// the carry or borrow out of the chunk replaces flag. On x86-64 this is the processor's
// add-with-carry or subtract-with-borrow, which chains through a loop.
template <bool subtract>
inline std::uint64_t withCarry(std::uint64_t x, std::uint64_t y, unsigned char& flag) {
#if EXACTCALC_ASM
    unsigned long long result;
    flag = subtract ? _subborrow_u64(flag, x, y, &result) : _addcarry_u64(flag, x, y, &result);
    return result;
#else
    std::uint64_t result;
    bool out, again;
    if constexpr (subtract) {
        out = __builtin_sub_overflow(x, y, &result);
        again = __builtin_sub_overflow(result, flag, &result);
    } else {
        out = __builtin_add_overflow(x, y, &result);
        again = __builtin_add_overflow(result, flag, &result);
    }
    flag = static_cast<unsigned char>(out | again);
    return result;
#endif
}

inline std::uint64_t addWithCarry(std::uint64_t x, std::uint64_t y, unsigned char& carry) {
    return withCarry<false>(x, y, carry);
}

// The same on the chunk at `pair`, the result written back in place. The chunk is loaded
// and stored through memcpy, which the compiler makes one move each, and which may be mixed
// freely with the 32-bit words it covers.
template <bool subtract>
inline void withCarryAt(std::uint32_t* pair, std::uint64_t y, unsigned char& flag) {
    storePair(pair, withCarry<subtract>(loadPair(pair), y, flag));
}

}  // namespace VELD
