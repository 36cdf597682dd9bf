// Integer addition, subtraction, increment and decrement.
#include <cstring>
#include <utility>

#include "integer/integer.h"
#include "integer/kernels.h"

namespace VELD {

// True when |a| + |b| (both non-zero) may need a word more than the longer operand: a
// carry can leave the top word only when the longer operand's top word is all ones or, for
// equal lengths, when either top word has bit 31 set.
bool sumMayGrow(const Integer& a, const Integer& b) {
    if (a.length != b.length) {
        const Integer& longer = a.length > b.length ? a : b;
        return longer.words[longer.length - 1] == 0xFFFFFFFFu;
    }
    return ((a.words[a.length - 1] | b.words[b.length - 1]) & 0x80000000u) != 0;
}

Integer addMagnitudes(const Integer& a, const Integer& b) {
    const Integer& longer = a.length >= b.length ? a : b;
    const Integer& shorter = a.length >= b.length ? b : a;
    const bool mayGrow = sumMayGrow(a, b);
    Integer sum;
    sum.createSpace(std::uint64_t{longer.length} + (mayGrow ? 1 : 0));
    std::memcpy(sum.words, longer.words, std::size_t{longer.length} * sizeof(std::uint32_t));
    const std::uint64_t carry = kernels::addInto(sum.words, shorter.words, shorter.length);
    const std::uint64_t out =
        kernels::addCarry(sum.words + shorter.length, longer.length - shorter.length, carry);
    if (mayGrow) sum.words[longer.length] = static_cast<std::uint32_t>(out);
    sum.normalize();
    return sum;
}

Integer subtractMagnitudes(const Integer& a, const Integer& b) {
    if (compareMagnitudes(a, b) < 0) {
        Integer difference = subtractMagnitudes(b, a);
        difference.negate();
        return difference;
    }
    Integer difference = a.abs();
    if (!difference.isZero()) difference.subtractAt(b.words, b.length, 0);
    return difference;
}

// |this| += |other| (both non-zero), in place when the sum fits the words this Integer
// has. A sum that may need a word more is built in a new array first, so a failed
// allocation changes nothing. The sign flag is left to the caller.
void Integer::addMagnitudeInPlace(const Integer& other) {
    if (length >= other.length && !sumMayGrow(*this, other)) {
        const std::uint64_t carry = kernels::addInto(words, other.words, other.length);
        kernels::addCarry(words + other.length, length - other.length, carry);
        return;
    }
    *this = addMagnitudes(*this, other);
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

void Integer::subtractAt(const std::uint32_t* magnitude, std::uint32_t count,
                         std::uint32_t offset) {
    const std::uint64_t borrow = kernels::subtractFrom(words + offset, magnitude, count);
    kernels::subtractBorrow(words + offset + count, length - offset - count, borrow);
    normalize();
}

void Integer::subtractShifted(const std::uint32_t* magnitude, std::uint32_t count,
                              std::uint64_t bits) {
    length = kernels::subtractAtBits(words, length, magnitude, count, bits);
    normalize();
}

// this += other, in place:
//   other zero               -> unchanged
//   this zero                -> other
//   same signs               -> |this| + |other|, with the common sign
//   signs differ, |this| >= |other| -> |this| - |other|, with the sign of this
//   signs differ, |this| <  |other| -> |other| - |this|, with the sign of other
Integer& Integer::operator+=(const Integer& other) {
    return addSigned(other, other.isNegative());
}

// this -= other is this += -other.
Integer& Integer::operator-=(const Integer& other) {
    return addSigned(other, !other.isNegative());
}

// Adds the magnitude of `other` taken with the sign `otherNegative`.
Integer& Integer::addSigned(const Integer& other, bool otherNegative) {
    if (other.isZero()) return *this;
    if (isZero()) {
        *this = other;
        negative = otherNegative ? 1 : 0;
        return *this;
    }
    if (isNegative() == otherNegative) {
        addMagnitudeInPlace(other);
        negative = otherNegative ? 1 : 0;
    } else if (compareMagnitudes(*this, other) >= 0) {
        subtractAt(other.words, other.length, 0);  // keeps the sign of this, unless zero
    } else {
        Integer difference = subtractMagnitudes(other, *this);
        difference.negative = otherNegative ? 1 : 0;
        *this = std::move(difference);
    }
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
