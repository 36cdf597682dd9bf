#include "integer/limits.h"

#include <limits>

#include "integer/kernels.h"

namespace VELD {

namespace {

// The most bits an Integer can hold: 32 for each word its length field can count.
constexpr std::uint64_t MOST_BITS = 32ull * std::numeric_limits<std::uint32_t>::max();

// The magnitude of x when it fits 64 bits.
bool smallMagnitude(const Integer& x, std::uint64_t& value) {
    if (!x.fitsRegister()) return false;
    value = x.magnitude();
    return true;
}

// True when x * y > MOST_BITS - 1, for x below 2^38: the product is formed exactly by
// shift-and-add on a pair of registers (below 2^102), as every product here is.
bool beyondMostBits(std::uint64_t x, std::uint64_t y) {
    return kernels::wideProduct(y, x) > MOST_BITS - 1;
}

}  // namespace

// |base| >= 2 raised to e > 0 has at least highestBit(base) * e + 1 bits.
void refuseImpossiblePower(const Integer& base, const Integer& exponent) {
    if (base.highestBit() == 0 || exponent.isNegative() || exponent.isZero()) return;
    const auto perFactor = static_cast<std::uint64_t>(base.highestBit());
    std::uint64_t e = 0;
    if (!smallMagnitude(exponent, e) || beyondMostBits(perFactor, e)) {
        throw Exception(NOT_ENOUGH_MEMORY);
    }
}

// n! >= (n/e)^n > (n/4)^n >= 2^(n * (bits(n) - 3)), so n! has more than n * (bits(n) - 3)
// bits.
void refuseImpossibleFactorial(const Integer& n) {
    const std::int64_t bits = n.highestBit() + 1;
    if (bits <= 3) return;
    const auto perFactor = static_cast<std::uint64_t>(bits - 3);
    std::uint64_t value = 0;
    if (!smallMagnitude(n, value) || beyondMostBits(perFactor, value)) {
        throw Exception(NOT_ENOUGH_MEMORY);
    }
}

// Each factor is at least first >= 2^highestBit(first), so the product of `count` of them
// has more than count * highestBit(first) bits.
void refuseImpossibleRange(const Integer& first, const Integer& count) {
    if (first.highestBit() == 0 || count.isZero()) return;
    const auto perFactor = static_cast<std::uint64_t>(first.highestBit());
    std::uint64_t factors = 0;
    if (!smallMagnitude(count, factors) || beyondMostBits(perFactor, factors)) {
        throw Exception(NOT_ENOUGH_MEMORY);
    }
}

}  // namespace VELD
