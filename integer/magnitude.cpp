#include "integer/magnitude.h"

#include <cstring>
#include <utility>

#include "integer/integer.h"
#include "integer/progress.h"
#include "integer/small_values.h"

namespace VELD {

std::uint32_t* MagnitudeStorage::reserve(Integer& x, std::uint64_t n) {
    x.createSpace(n);
    x.negative = 0;
    return x.words;
}

Span MagnitudeStorage::span(Integer& x) {
    return {x.words, x.length};
}

void MagnitudeStorage::settle(Integer& x, std::uint32_t length) {
    x.length = length;
    x.normalize();
}

namespace magnitude {

Integer copy(Magnitude a) {
    Integer value;
    if (a.isZero()) return value;
    std::uint32_t* const words = MagnitudeStorage::reserve(value, a.length);
    std::memcpy(words, a.words, std::size_t{a.length} * sizeof(std::uint32_t));
    return value;
}

bool sumMayGrow(Magnitude a, Magnitude b) {
    if (a.length != b.length) {
        const Magnitude longer = a.length > b.length ? a : b;
        return longer.words[longer.length - 1] == 0xFFFFFFFFu;
    }
    return ((a.words[a.length - 1] | b.words[b.length - 1]) & 0x80000000u) != 0;
}

Integer add(Magnitude a, Magnitude b) {
    const Magnitude longer = a.length >= b.length ? a : b;
    const Magnitude shorter = a.length >= b.length ? b : a;
    const bool mayGrow = sumMayGrow(a, b);
    Integer sum;
    // Counted 64 bits wide: a length no Integer can hold is refused, not wrapped.
    std::uint32_t* const words =
        MagnitudeStorage::reserve(sum, std::uint64_t{longer.length} + (mayGrow ? 1 : 0));
    const std::uint32_t total = longer.length + (mayGrow ? 1 : 0);
    std::memcpy(words, longer.words, std::size_t{longer.length} * sizeof(std::uint32_t));
    const std::uint64_t carry = kernels::addInto(words, shorter.words, shorter.length);
    const std::uint64_t out =
        kernels::addCarry(words + shorter.length, longer.length - shorter.length, carry);
    if (mayGrow) words[longer.length] = static_cast<std::uint32_t>(out);
    MagnitudeStorage::settle(sum, total);
    return sum;
}

Integer subtract(Magnitude a, Magnitude b) {
    Integer difference = copy(a);
    if (difference.isZero()) return difference;
    Span rest = MagnitudeStorage::span(difference);
    subtractAt(rest, b, 0);
    MagnitudeStorage::settle(difference, rest.length);
    return difference;
}

bool addInPlace(Span& a, Magnitude b) {
    if (a.length < b.length || sumMayGrow(a, b)) return false;
    const std::uint64_t carry = kernels::addInto(a.words, b.words, b.length);
    kernels::addCarry(a.words + b.length, a.length - b.length, carry);
    return true;
}

void subtractAt(Span& a, Magnitude b, std::uint32_t offset) {
    const std::uint64_t borrow = kernels::subtractFrom(a.words + offset, b.words, b.length);
    kernels::subtractBorrow(a.words + offset + b.length, a.length - offset - b.length, borrow);
    a.length = kernels::significantWords(a.words, a.length);
}

void subtractShifted(Span& a, Magnitude b, std::uint64_t bits) {
    a.length = kernels::subtractAtBits(a.words, a.length, b.words, b.length, bits);
}

// The shifted divisor S = d * 2^m and the quotient bit B = 2^m are kept as the bit offset
// m, from the distance between the top bits down. R < 2S holds at every step: at the
// first, S's top bit is R's; after it, R < S and S halves. So one subtraction, at most,
// settles a step's quotient bit. A step obtains no storage, so the flag is tested every so
// many steps: about every 2^16 words subtracted.
void longDivision(Span& r, Magnitude d, std::uint32_t* quotient) {
    const std::uint64_t divisorBits = kernels::bitLength(d.words, d.length);
    const std::uint64_t distance = kernels::bitLength(r.words, r.length) - divisorBits;
    std::uint64_t m = distance;
    InterruptPacer pacer(d.length);
    // With enough quotient bits to pay for them, the divisor is copied once at each of the
    // 32 bit offsets, so that every subtraction runs over aligned words.
    const std::uint32_t stride = d.length + 1;
    ScratchWords copies;
    const std::uint32_t* copyAt[32] = {};  // the copy at each offset, found without a product
    if (distance >= 128 && std::uint64_t{stride} * 32 <= (1u << 22)) {
        copies.allocate(std::uint64_t{stride} * 32);
        std::uint32_t* copy = copies.data();
        std::memcpy(copy, d.words, std::size_t{d.length} * sizeof(std::uint32_t));
        copy[d.length] = 0;
        copyAt[0] = copy;
        for (unsigned shift = 1; shift < 32; ++shift) {
            copy += stride;
            kernels::copyShifted(copy, d.words, d.length, shift);
            copyAt[shift] = copy;
        }
    }
    // Each step costs the same, so the share done is that of the quotient's bits settled.
    const double perStep = 1.0 / (static_cast<double>(distance) + 1);
    for (;;) {
        const std::uint64_t remainderBits = kernels::bitLength(r.words, r.length);
        if (remainderBits < divisorBits) break;  // R < D
        // The steps whose S is longer than R each settle a quotient bit of 0: they are
        // taken together, down to the S as long as R.
        if (remainderBits < divisorBits + m) m = remainderBits - divisorBits;
        if (pacer.step()) progress.fraction = static_cast<double>(distance - m) * perStep;
        if (remainderBits > divisorBits + m ||
            kernels::compareSameLength(r.words, r.length, d.words, d.length, m) >= 0) {
            if (copies.empty()) {
                subtractShifted(r, d, m);  // R -= S
            } else {
                const std::uint32_t* shifted = copyAt[m % 32];
                subtractAt(r, {shifted, stride - (shifted[d.length] == 0 ? 1u : 0u)},
                           static_cast<std::uint32_t>(m / 32));
            }
            if (quotient != nullptr) quotient[m / 32] |= 1u << (m % 32);  // Q += B
        }
        if (m == 0) break;  // S would drop below the divisor: R < S = D here
        --m;                // S and B halved
    }
}

// Euclidean steps, each the remainder of a base-2 long division. Only the remainders are
// wanted, so x is reduced in place; once both fit a pair of registers (four words) the
// same steps run there (small_values.h).
Integer gcd(Magnitude a, Magnitude b) {
    // A step with 1 as the divisor leaves a remainder of 0 at once: the gcd is 1, and the
    // other operand need not be copied (every whole number reduced has denominator 1).
    if (a.isOne() || b.isOne()) return Integer(1);
    // How many Euclidean steps there will be is not known: the note names the step alone.
    const bool watched = std::uint64_t{a.length} + b.length >= WATCHED_WORDS;
    const ProgressStep step(watched ? Step::reducing : Step::none, 0);
    const bool bLarger = compare(b, a) > 0;
    Integer x = copy(bLarger ? b : a);
    Integer y = copy(bLarger ? a : b);
    if (y.isZero()) return x;  // gcd(a, 0) = a
    while (x.view().length > small::WIDE_WORDS || y.view().length > small::WIDE_WORDS) {
        if (y.view().isOne()) {
            x = Integer();
        } else if (compare(x.view(), y.view()) >= 0) {
            Span rest = MagnitudeStorage::span(x);
            longDivision(rest, y.view(), nullptr);
            MagnitudeStorage::settle(x, rest.length);
        }
        std::swap(x, y);
        if (y.isZero()) return x;
    }
    return small::gcd(small::wideOf(x.view()), small::wideOf(y.view()));
}

}  // namespace magnitude

}  // namespace VELD
