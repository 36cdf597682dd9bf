// Integer multiplication (the additions are magnitude::shiftAndAdd's), and the bit shifts.
#include <bit>
#include <cstring>
#include <utility>

#include "integer/integer.h"
#include "integer/kernels.h"
#include "integer/progress.h"

namespace VELD {

// The operand with no more clear bits than the other (counted over whole words) is the
// multiplicand, and the other drives; a tie, or a zero left operand, keeps this one as the
// multiplicand. Of two operands of equal length the one with fewer set bits drives, so
// fewer additions are made; of unequal lengths the longer may drive with more set bits
// (0xFFFFFFFF times four words of 0xFFFFFFFE drives with 124).
//   signs:  + * + = +,  + * - = -,  - * + = -,  - * - = +,  zero never signed
Integer Integer::operator*(const Integer& other) const {
    // A long product on its own is a step of the note; within another step it is one of
    // that step's operations.
    if (length + other.length >= WATCHED_WORDS && !watching()) {
        const ProgressStep step(Step::product, 1);
        progress.next(1);
        return multiply(other);
    }
    return multiply(other);
}

Integer Integer::multiply(const Integer& other) const {
    // A factor of 1 makes the product a copy whichever operand drives (see shiftAndAdd), so
    // the roles need not be counted then.
    const bool thisMultiplies =
        isZero() || isMagnitudeOne() || other.isMagnitudeOne() ||
        (!other.isZero() && magnitude::isMultiplicand(view(), other.view()));
    Integer product = thisMultiplies ? magnitude::shiftAndAdd(view(), other.view())
                                     : magnitude::shiftAndAdd(other.view(), view());
    if (isNegative() != other.isNegative()) product.negate();
    return product;
}

Integer& Integer::operator*=(const Integer& other) {
    *this = *this * other;
    return *this;
}

std::int64_t Integer::highestBit() const {
    if (isZero()) return 0;
    return 32 * (std::int64_t{length} - 1) + 31 - std::countl_zero(words[length - 1]);
}

// The shift of shiftLeft by one bit, the sign kept.
void Integer::shiftLeftOne() {
    const std::int32_t sign = negative;
    shiftLeft(1);
    negative = sign;
}

void Integer::shiftRightOne() {
    if (isZero()) return;
    kernels::shiftRightInPlace(words, length, 1);
    normalize();
}

void Integer::shiftLeft(std::uint64_t bits) {
    if (isZero()) return;
    if (bits == 0) {  // the magnitude as it stands
        negative = 0;
        return;
    }
    const std::uint64_t wordShift = bits / 32;
    const unsigned bitShift = static_cast<unsigned>(bits % 32);
    const std::uint32_t count = length;
    std::uint32_t* const source = words;
    if (wordShift == 0 && (source[count - 1] >> (32 - bitShift)) == 0) {
        // Nothing leaves the top word: shift in place, from the top down.
        kernels::shiftLeftInPlace(source, count, bitShift);
        negative = 0;
        return;
    }
    Integer shifted;
    shifted.createSpace(count + wordShift + (bitShift != 0 ? 1 : 0));
    std::memset(shifted.words, 0, wordShift * sizeof(std::uint32_t));
    std::uint32_t* const target = shifted.words + wordShift;
    if (bitShift == 0) {
        std::memcpy(target, source, std::size_t{count} * sizeof(std::uint32_t));
    } else {
        kernels::copyShifted(target, source, count, bitShift);
    }
    shifted.normalize();
    *this = std::move(shifted);
}

}  // namespace VELD
