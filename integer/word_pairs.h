// Two consecutive words of a magnitude taken as one 64-bit chunk, the first word in the
// low half, so that word loops can step two words at a time.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

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

}  // namespace VELD
