// Integer addition, subtraction, increment and decrement.
#include <cstring>
#include <utility>

#include "integer/integer.h"
#include "integer/word_pairs.h"

namespace VELD {

Integer addMagnitudes(const Integer& a, const Integer& b) {
    const Integer& longer = a.length >= b.length ? a : b;
    const Integer& shorter = a.length >= b.length ? b : a;
    // A carry can leave the top word only when the longer operand's top word is all ones
    // or, for equal lengths, when either top word has bit 31 set.
    const std::uint32_t top = longer.words[longer.length - 1];
    const bool mayGrow = a.length == b.length
                             ? ((top | shorter.words[shorter.length - 1]) & 0x80000000u) != 0
                             : top == 0xFFFFFFFFu;
    Integer sum;
    sum.createSpace(std::uint64_t{longer.length} + (mayGrow ? 1 : 0));
    // Locals, so that the stores through `out` need not reload the fields.
    const std::uint32_t* const big = longer.words;
    const std::uint32_t* const small = shorter.words;
    std::uint32_t* const out = sum.words;
    const std::uint32_t common = shorter.length;
    const std::uint32_t count = longer.length;
    std::uint64_t carry = 0;
    std::uint32_t i = 0;
    for (; i + 1 < common; i += 2) {
        std::uint64_t total;
        const bool carryOut =
            __builtin_add_overflow(loadPair(big + i), loadPair(small + i), &total);
        carry = static_cast<std::uint64_t>(carryOut | __builtin_add_overflow(total, carry, &total));
        storePair(out + i, total);
    }
    if (i < common) {
        carry += std::uint64_t{big[i]} + small[i];
        out[i++] = static_cast<std::uint32_t>(carry);
        carry >>= 32;
    }
    // The longer operand's own words: the carry runs on while they are all ones, and the
    // rest is copied.
    for (; i < count && carry != 0; ++i) {
        carry += big[i];
        out[i] = static_cast<std::uint32_t>(carry);
        carry >>= 32;
    }
    if (i < count) std::memcpy(out + i, big + i, std::size_t{count - i} * sizeof(std::uint32_t));
    if (mayGrow) out[count] = static_cast<std::uint32_t>(carry);
    sum.normalize();
    return sum;
}

Integer subtractMagnitudes(const Integer& a, const Integer& b) {
    if (compareMagnitudes(a, b) < 0) {
        Integer difference = subtractMagnitudes(b, a);
        difference.negate();
        return difference;
    }
    Integer difference;
    difference.createSpace(a.length);
    const std::uint32_t* const top = a.words;
    const std::uint32_t* const bottom = b.words;
    std::uint32_t* const out = difference.words;
    const std::uint32_t common = b.length;
    const std::uint32_t count = a.length;
    std::uint64_t borrow = 0;
    std::uint32_t i = 0;
    for (; i + 1 < common; i += 2) {
        std::uint64_t remainder;
        const bool borrowOut =
            __builtin_sub_overflow(loadPair(top + i), loadPair(bottom + i), &remainder);
        borrow = static_cast<std::uint64_t>(borrowOut |
                                            __builtin_sub_overflow(remainder, borrow, &remainder));
        storePair(out + i, remainder);
    }
    if (i < common) {
        const std::uint64_t subtrahend = std::uint64_t{bottom[i]} + borrow;
        out[i] = static_cast<std::uint32_t>(top[i] - subtrahend);
        borrow = top[i] < subtrahend ? 1 : 0;
        ++i;
    }
    // The borrow runs on through zero words of a, and the rest is copied.
    for (; i < count && borrow != 0; ++i) {
        out[i] = top[i] - 1;
        borrow = top[i] == 0 ? 1 : 0;
    }
    if (i < count) std::memcpy(out + i, top + i, std::size_t{count - i} * sizeof(std::uint32_t));
    difference.normalize();
    return difference;
}

// this + other:
//   either zero       -> the other one
//   same signs        -> |this| + |other|, with the common sign
//   this >= 0 > other -> |this| - |other|
//   this < 0 <= other -> |other| - |this|
Integer Integer::operator+(const Integer& other) const {
    if (isZero()) return other;
    if (other.isZero()) return *this;
    if (isNegative() == other.isNegative()) {
        Integer sum = addMagnitudes(*this, other);
        sum.negative = isNegative() ? 1 : 0;
        return sum;
    }
    return isNegative() ? subtractMagnitudes(other, *this) : subtractMagnitudes(*this, other);
}

// this - other:
//   this zero         -> -other
//   other zero        -> this
//   both >= 0         -> |this| - |other|
//   both < 0          -> |other| - |this|
//   signs differ      -> |this| + |other|, with the sign of this
Integer Integer::operator-(const Integer& other) const {
    if (isZero()) {
        Integer difference(other);
        difference.negate();
        return difference;
    }
    if (other.isZero()) return *this;
    if (isNegative() == other.isNegative()) {
        return isNegative() ? subtractMagnitudes(other, *this) : subtractMagnitudes(*this, other);
    }
    Integer difference = addMagnitudes(*this, other);
    difference.negative = isNegative() ? 1 : 0;
    return difference;
}

Integer& Integer::operator+=(const Integer& other) {
    if (!other.isZero()) *this = *this + other;
    return *this;
}

Integer& Integer::operator-=(const Integer& other) {
    if (!other.isZero()) *this = *this - other;
    return *this;
}

Integer& Integer::operator++(int) {
    if (isNegative()) {
        negate();
        (*this)--;
        negate();
        return *this;
    }
    // Ripple the carry through the words that are all ones; when it runs past the top
    // word, the value is 2^(32 * length) and needs one word more. The grown array is
    // obtained before anything changes, so a failure leaves the value intact.
    std::uint32_t i = 0;
    while (i < length && words[i] == 0xFFFFFFFFu)
        ++i;
    if (i < length) {
        std::memset(words, 0, std::size_t{i} * sizeof(std::uint32_t));
        ++words[i];
        return *this;
    }
    Integer grown;
    grown.createSpace(std::uint64_t{length} + 1);
    std::memset(grown.words, 0, std::size_t{length} * sizeof(std::uint32_t));
    grown.words[length] = 1;
    *this = std::move(grown);
    return *this;
}

Integer& Integer::operator--(int) {
    if (isNegative()) {
        negate();
        (*this)++;
        negate();
        return *this;
    }
    if (isZero()) {
        createSpace(1);
        words[0] = 1;
        negative = 1;
        return *this;
    }
    // Ripple the borrow upward while a decremented word wraps to all ones.
    std::uint32_t i = 0;
    while (words[i]-- == 0) {
        if (++i == length) throw Exception("Integer::operator--() - Zero number got length.");
    }
    normalize();
    return *this;
}

}  // namespace VELD
