// Integer addition, subtraction, increment and decrement.
#include <cstring>
#include <utility>

#include "integer/integer.h"

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
    std::uint64_t carry = 0;
    std::uint32_t i = 0;
    for (; i < shorter.length; ++i) {
        carry += std::uint64_t{longer.words[i]} + shorter.words[i];
        sum.words[i] = static_cast<std::uint32_t>(carry);
        carry >>= 32;
    }
    for (; i < longer.length; ++i) {
        carry += longer.words[i];
        sum.words[i] = static_cast<std::uint32_t>(carry);
        carry >>= 32;
    }
    if (mayGrow) sum.words[i] = static_cast<std::uint32_t>(carry);
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
    std::uint32_t borrow = 0;
    std::uint32_t i = 0;
    for (; i < b.length; ++i) {
        const std::uint64_t subtrahend = std::uint64_t{b.words[i]} + borrow;
        difference.words[i] = static_cast<std::uint32_t>(a.words[i] - subtrahend);
        borrow = a.words[i] < subtrahend ? 1 : 0;
    }
    for (; i < a.length; ++i) {
        difference.words[i] = a.words[i] - borrow;
        borrow = a.words[i] < borrow ? 1 : 0;
    }
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
