#include "integer/small_values.h"

#include "integer/integer.h"

namespace VELD::small {

Integer integerOf(Wide x) {
    if (x >> 64 == 0) return Integer::fromMagnitude(static_cast<std::uint64_t>(x));
    Integer value;
    std::uint32_t* const words = MagnitudeStorage::reserve(value, 4);
    storePair(words, static_cast<std::uint64_t>(x));
    storePair(words + 2, static_cast<std::uint64_t>(x >> 64));
    MagnitudeStorage::settle(value, 4);
    return value;
}

Integer product(std::uint64_t m, std::uint64_t d) {
    return integerOf(kernels::wideProduct(m, d));
}

// Once the smaller fits 64 bits, so does the larger after one step: the rest runs on one
// register.
Integer gcd(Wide larger, Wide smaller) {
    while (smaller >> 64 != 0) {
        Wide remainder = larger;
        if (remainder >= smaller) quotient(remainder, smaller);
        larger = smaller;
        smaller = remainder;
    }
    if (smaller == 0) return integerOf(larger);
    auto narrow = static_cast<std::uint64_t>(smaller);
    Wide wideRest = larger;
    quotient(wideRest, smaller);
    std::uint64_t wider = narrow;
    narrow = static_cast<std::uint64_t>(wideRest);
    while (narrow != 0) {
        std::uint64_t remainder = wider;
        if (narrow == 1) {
            remainder = 0;  // what the division by one would leave, at once
        } else if (remainder >= narrow) {
            quotient(remainder, narrow);
        }
        wider = narrow;
        narrow = remainder;
    }
    return Integer::fromMagnitude(wider);
}

}  // namespace VELD::small
