// Integer addition, subtraction, increment and decrement.
#include <cstring>
#include <utility>

#include "integer/integer.h"
#include "integer/kernels.h"
#include "integer/magnitude.h"

namespace VELD {

namespace {

// The one table of signs of a sum, a + b for non-zero a and b with the signs given:
//   same signs                 -> |a| + |b|, with the common sign
//   signs differ, |a| >= |b|   -> |a| - |b|, with the sign of a
//   signs differ, |a| <  |b|   -> |b| - |a|, with the sign of b
// (a difference of zero is never signed). a - b is a + (-b).
enum class SumRow { add, aLessB, bLessA };
SumRow sumRow(Magnitude a, bool aNegative, Magnitude b, bool bNegative) {
    if (aNegative == bNegative) return SumRow::add;
    return magnitude::compare(a, b) >= 0 ? SumRow::aLessB : SumRow::bLessA;
}

// a + b by the row of the table it falls in, for non-zero a and b.
Integer sumByRow(SumRow row, Magnitude a, bool aNegative, Magnitude b, bool bNegative) {
    Integer sum = row == SumRow::add      ? magnitude::add(a, b)
                  : row == SumRow::aLessB ? magnitude::subtract(a, b)
                                          : magnitude::subtract(b, a);
    if (row == SumRow::bLessA ? bNegative : aNegative) sum.negate();
    return sum;
}

Integer signedSum(Magnitude a, bool aNegative, Magnitude b, bool bNegative) {
    return sumByRow(sumRow(a, aNegative, b, bNegative), a, aNegative, b, bNegative);
}

}  // namespace

Integer Integer::operator+(const Integer& other) const {
    if (isZero()) return other;
    if (other.isZero()) return *this;
    return signedSum(view(), isNegative(), other.view(), other.isNegative());
}

Integer Integer::operator-(const Integer& other) const {
    if (isZero()) {
        Integer difference(other);
        difference.negate();
        return difference;
    }
    if (other.isZero()) return *this;
    return signedSum(view(), isNegative(), other.view(), !other.isNegative());
}

Integer& Integer::operator+=(const Integer& other) {
    return addSigned(other, other.isNegative());
}

Integer& Integer::operator-=(const Integer& other) {
    return addSigned(other, !other.isNegative());
}

// The same table, in place where the words allow: a sum that fits this Integer's words,
// and |this| - |other|, are made in them; a sum that may need a word more is built in a new
// array first, so a failed allocation changes nothing.
Integer& Integer::addSigned(const Integer& other, bool otherNegative) {
    if (other.isZero()) return *this;
    if (isZero()) {
        *this = other;
        negative = otherNegative ? 1 : 0;
        return *this;
    }
    const SumRow row = sumRow(view(), isNegative(), other.view(), otherNegative);
    Span own = MagnitudeStorage::span(*this);
    if (row == SumRow::add && magnitude::addInPlace(own, other.view())) return *this;
    if (row == SumRow::aLessB) {
        magnitude::subtractAt(own, other.view(), 0);  // keeps the sign of this, unless zero
        MagnitudeStorage::settle(*this, own.length);
        return *this;
    }
    *this = sumByRow(row, view(), isNegative(), other.view(), otherNegative);
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
