// Magnitudes: the layer between the word kernels (kernels.h) and Integer, as Go's nat is
// apart from its Int. A Magnitude is a read-only view of a value's words in normal form
// (least significant first, no high zero word, none at all for zero) and has no sign; a
// Span is one whose words are changed in place, its length kept normal. The operations
// here never look at a sign: the results they build in an Integer's storage (through
// MagnitudeStorage, the one door into it) are non-negative, and Integer settles the sign
// of its operators once, by its rules.
#pragma once

#include <cstdint>

#include "integer/kernels.h"
#include "integer/word_pairs.h"

namespace VELD {

class Integer;

struct Magnitude {
    const std::uint32_t* words = nullptr;
    std::uint32_t length = 0;

    bool isZero() const { return length == 0; }
    bool isOne() const { return length == 1 && words[0] == 1; }
    // True when it fits 64 bits (two words): the operations take it on registers.
    bool fitsRegister() const { return length <= 2; }
    // The value, for one that fits 64 bits.
    std::uint64_t value() const {
        return length == 0 ? 0 : length == 1 ? words[0] : loadPair(words);
    }
};

struct Span {
    std::uint32_t* words;
    std::uint32_t length;
    operator Magnitude() const { return {words, length}; }
};

// The one door from this layer into an Integer's storage: words obtained for a result being
// built, a value's words to change in place, and its normal form restored after.
class MagnitudeStorage {
public:
    // n words of unspecified content in place of x's value; x's sign is cleared.
    static std::uint32_t* reserve(Integer& x, std::uint64_t n);
    static Span span(Integer& x);
    // x takes the length `length` (its words below it as they are) and its normal form.
    static void settle(Integer& x, std::uint32_t length);
};

namespace magnitude {

// Sign of a - b: negative, zero or positive.
inline int compare(Magnitude a, Magnitude b) {
    if (a.length != b.length) return a.length < b.length ? -1 : 1;
    return kernels::compareWords(a.words, b.words, a.length);
}

// a as a non-negative Integer.
Integer copy(Magnitude a);

// True when a + b (both non-zero) may need a word more than the longer: a carry can leave
// the top word only when the longer one's top word is all ones or, for equal lengths,
// when either top word has bit 31 set.
bool sumMayGrow(Magnitude a, Magnitude b);
// a + b, both non-zero.
Integer add(Magnitude a, Magnitude b);
// a - b, for a >= b.
Integer subtract(Magnitude a, Magnitude b);
// a += b in place, both non-zero, when a has the words for the sum (not sumMayGrow, and
// a no shorter than b); false, with a untouched, when it has not.
bool addInPlace(Span& a, Magnitude b);
// a -= b * 2^bits in place, for a at least that much.
void subtractShifted(Span& a, Magnitude b, std::uint64_t bits);
// a -= b * 2^(32 offset) in place, for a at least that much.
void subtractAt(Span& a, Magnitude b, std::uint32_t offset);

// True when a has no more clear bits than b, counted over whole words: a is then the
// multiplicand of a * b, and b the driver.
bool isMultiplicand(Magnitude a, Magnitude b);
// multiplicand * driver, one shifted addition per set bit of the driver (shift_and_add.cpp).
Integer shiftAndAdd(Magnitude multiplicand, Magnitude driver);

// r becomes r mod d by base-2 long division, for r >= d > 0 (d's words not r's); each
// quotient bit found is set in `quotient` (zeroed words, enough of them) when it is given.
void longDivision(Span& r, Magnitude d, std::uint32_t* quotient);
// The greatest common divisor of a and b.
Integer gcd(Magnitude a, Magnitude b);

}  // namespace magnitude

}  // namespace VELD
