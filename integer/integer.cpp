// Integer storage, construction, sign and parity, and comparison.
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "integer/integer.h"
#include "integer/kernels.h"

namespace VELD {

std::atomic<int> interruptRequested = 0;
void (*tickHook)() = nullptr;

void serviceInterruptFlag() {
    // Each request is taken back only if it is still there: an interrupt that replaced a
    // tick in the meantime must not be lost.
    int expected = TICK_DUE;
    if (interruptRequested.compare_exchange_strong(expected, 0)) {
        if (tickHook != nullptr) tickHook();
        return;
    }
    expected = INTERRUPT_DUE;
    interruptRequested.compare_exchange_strong(expected, 0);
    throw Exception(COMPUTATION_INTERRUPTED);
}

std::uint32_t* allocateWords(std::uint64_t n) {
    checkInterrupt();
    if (n > std::numeric_limits<std::uint32_t>::max()) throw Exception(NOT_ENOUGH_MEMORY);
    auto* array = new (std::nothrow) std::uint32_t[n];
    if (array == nullptr) throw Exception(NOT_ENOUGH_MEMORY);
    return array;
}

void Integer::createSpace(std::uint64_t n) {
    release();
    if (n == 0) return;
    if (n <= INLINE_WORDS) {
        words = small;
        length = static_cast<std::uint32_t>(n);
        return;
    }
    try {
        words = allocateWords(n);
    } catch (const Exception&) {
        negative = 0;  // left as a valid zero; it is only destroyed afterwards
        throw;
    }
    length = static_cast<std::uint32_t>(n);
}

void Integer::normalize() {
    length = kernels::significantWords(words, length);
    if (length == 0) {
        release();
        negative = 0;
    }
}

Integer::Integer(std::int32_t value) {
    if (value == 0) return;
    createSpace(1);
    // Two's complement negation in 32 bits, so -2147483648 gives the word 0x80000000.
    const auto bits = static_cast<std::uint32_t>(value);
    words[0] = value < 0 ? 0u - bits : bits;
    negative = value < 0 ? 1 : 0;
}

Integer Integer::fromMagnitude(std::uint64_t magnitude) {
    Integer value;
    value.createSpace(magnitude > 0xFFFFFFFFu ? 2 : magnitude != 0 ? 1 : 0);
    if (value.length == 2) {
        storePair(value.words, magnitude);
    } else if (value.length == 1) {
        value.words[0] = static_cast<std::uint32_t>(magnitude);
    }
    return value;
}

Integer Integer::fromWords(const std::uint32_t* magnitude, std::uint32_t count, bool negative) {
    Integer value;
    value.createSpace(count);
    if (count > 0) std::memcpy(value.words, magnitude, std::size_t{count} * sizeof(std::uint32_t));
    value.negative = negative ? 1 : 0;
    value.normalize();
    return value;
}

Integer::Integer(const Integer& other) {
    *this = other;
}

Integer& Integer::operator=(const Integer& other) {
    if (this == &other) return *this;
    if (other.length == 0) {
        release();
        negative = 0;
        return *this;
    }
    createSpace(other.length);
    std::memcpy(words, other.words, std::size_t{other.length} * sizeof(std::uint32_t));
    negative = other.isNegative() ? 1 : 0;
    return *this;
}

void Integer::negate() {
    negative = (negative == 0 && length > 0) ? 1 : 0;
}

Integer Integer::abs() const {
    Integer magnitude(*this);
    magnitude.negative = 0;
    return magnitude;
}

bool Integer::operator==(const Integer& other) const {
    return isNegative() == other.isNegative() && magnitude::compare(view(), other.view()) == 0;
}

// The one order; the other comparisons follow from it.
//   signs differ       -> the negative one is smaller
//   both negative      -> |other| < |this|
//   both non-negative  -> |this| < |other|
bool Integer::operator<(const Integer& other) const {
    if (isNegative() != other.isNegative()) return isNegative();
    if (isNegative()) return magnitude::compare(other.view(), view()) < 0;
    return magnitude::compare(view(), other.view()) < 0;
}

}  // namespace VELD
