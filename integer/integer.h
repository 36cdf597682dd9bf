#pragma once

#include <cstdint>
#include <cstring>

#include "common/exception.h"
#include "integer/interrupt.h"
#include "integer/magnitude.h"
#include "integer/scratch_words.h"
#include "integer/word_pairs.h"

namespace VELD {

class Rational;

// Raised whenever word storage cannot be obtained, or an Integer would need more words
// than its length field can count.
inline constexpr const char* NOT_ENOUGH_MEMORY =
    "Integer::createSpace() - Not enough memory for new numbers.";

// A signed integer of any size in sign-magnitude form over 32-bit words, least
// significant word first.
//
// Normal form, true between operations: the top word (word length-1) is non-zero, and
// zero has length 0, no array and a clear sign flag. The array holds at least `length`
// words and belongs to this Integer alone (copies are deep). Every operation that may
// leave high zero words ends with normalize().
//
// Work areas that are not values (padded powers, shifted copies) are ScratchWords, never
// Integers.
//
// Magnitudes of up to INLINE_WORDS words are held in the Integer itself, so that everyday
// values cost no allocation; longer ones have an array of their own on the heap. Either
// way `words` points at them.
//
// The arithmetic on magnitudes is the magnitude layer's (magnitude.h), which builds its
// results in an Integer's storage through MagnitudeStorage; the operators here settle the
// signs, once each: one table for sums and differences (addition.cpp), the product's
// sign (multiplication.cpp), and one rule for a quotient and its remainder (division.cpp).
class Integer {
public:
    // Magnitudes of up to this many words are held inside the Integer.
    static constexpr std::uint32_t INLINE_WORDS = 4;

    Integer() noexcept = default;
    Integer(std::int32_t value);
    // The decimal numeral at the start of `text`, with an optional leading '-'.
    explicit Integer(const char* text);
    Integer(const Integer& other);
    Integer(Integer&& other) noexcept { take(other); }
    ~Integer() {
        if (onHeap()) delete[] words;
    }

    Integer& operator=(const Integer& other);
    // A heap array is taken over; words held inside are copied.
    Integer& operator=(Integer&& other) noexcept {
        if (this != &other) {
            release();
            take(other);
        }
        return *this;
    }

    bool isNegative() const { return length != 0 && negative != 0; }
    bool isZero() const { return length == 0; }
    void negate();
    Integer abs() const;
    bool isEven() const { return length == 0 || (words[0] & 1u) == 0; }
    bool isOdd() const { return !isEven(); }
    // True when the magnitude is exactly 1.
    bool isMagnitudeOne() const { return length == 1 && words[0] == 1; }

    bool operator==(const Integer& other) const;
    bool operator!=(const Integer& other) const { return !(*this == other); }
    bool operator<(const Integer& other) const;
    bool operator>(const Integer& other) const { return other < *this; }
    bool operator<=(const Integer& other) const { return !(other < *this); }
    bool operator>=(const Integer& other) const { return other <= *this; }

    Integer operator+(const Integer& other) const;
    Integer operator-(const Integer& other) const;
    Integer& operator+=(const Integer& other);
    Integer& operator-=(const Integer& other);
    Integer& operator++(int);
    Integer& operator--(int);

    Integer operator*(const Integer& other) const;
    Integer& operator*=(const Integer& other);
    // Position of the most significant set bit; 0 for zero. 64 bits wide, since a value
    // can hold up to 32 * (2^32 - 1) bits.
    std::int64_t highestBit() const;
    void shiftLeftOne();
    void shiftRightOne();
    // Replaces the value by |value| * 2^bits.
    void shiftLeft(std::uint64_t bits);

    // Leaves the quotient (truncated toward zero, with the sign of the dividend) in this
    // Integer and returns the remainder.
    Integer integerDivision(const Integer& divisor);
    // This Integer raised to `exponent`; 1 for an exponent of 0 or below.
    Integer power(const Integer& exponent) const;

    Integer factorial() const;
    // This Integer (n) choose k, as a fraction with denominator 1.
    Rational choose(const Integer& k) const;

    void multiplyByTen();
    void divideByTen();
    // Writes the decimal text and a NUL into `buffer`; returns 0 when they fitted,
    // otherwise the number of bytes more that were needed (see printing.cpp).
    std::int32_t print(char* buffer, std::uint32_t capacity) const;
    // Words of powers of ten one print may keep at once (48 MB); tests lower it to reach
    // the layouts of much longer values with short ones.
    static std::uint64_t printStoreLimit;

    // The value with the given magnitude words (least significant first) and sign, for
    // tests and benchmarks that need operands of a particular shape.
    static Integer fromWords(const std::uint32_t* magnitude, std::uint32_t count, bool negative);

    // The value with magnitude `magnitude`, non-negative.
    static Integer fromMagnitude(std::uint64_t magnitude);
    // True when the magnitude fits 64 bits: the operations take it on registers.
    bool fitsRegister() const { return length <= 2; }
    // The magnitude, for one that fits 64 bits.
    std::uint64_t magnitude() const {
        return length == 0 ? 0 : length == 1 ? words[0] : loadPair(words);
    }

    // The magnitude's words, for the magnitude layer (magnitude.h).
    Magnitude view() const { return {words, length}; }

    // The representation as it stands, for tests' checks of the normal form.
    std::int32_t getNegativeFlag() const { return negative; }
    std::uint32_t getLength() const { return length; }
    const std::uint32_t* getWords() const { return words; }

private:
    // Replaces the storage by n words of unspecified content and sets length to n. The
    // count is taken 64 bits wide so that callers' size arithmetic never wraps: a count
    // that `length` cannot hold is refused like an allocation that fails.
    void createSpace(std::uint64_t n);
    // The steps by ten, for a magnitude whose words below `first` are zero (and, dividing,
    // bit 0 of word `first` too): they start there.
    void multiplyByTenFrom(std::uint32_t first);
    void divideByTenFrom(std::uint32_t first);
    // Reads the digits at `text` on, for a numeral's value read so far, non-negative.
    void readMoreDigits(const char* text);
    // print for magnitudes that fit 64 bits, on registers, and for longer ones; LongPrint
    // holds the steps of the second (printing.cpp).
    std::int32_t printSmall(char* buffer, std::uint32_t capacity) const;
    std::int32_t printLong(char* buffer, std::uint32_t capacity) const;
    struct LongPrint;
    // Restores the normal form after high words may have become zero.
    void normalize();
    // Drops the array, leaving length 0; the sign flag is untouched.
    void release() noexcept {
        if (onHeap()) delete[] words;
        words = nullptr;
        length = 0;
    }
    // Takes over other's value, for a this that holds no array; other is left zero.
    void take(Integer& other) noexcept {
        negative = other.negative;
        length = other.length;
        if (other.onHeap()) {
            words = other.words;
        } else if (other.words != nullptr) {
            std::memcpy(small, other.small, sizeof small);
            words = small;
        }
        other.negative = 0;
        other.length = 0;
        other.words = nullptr;
    }
    // |this| / d, with |this| mod d in `remainder`, for |this| >= d > 1: integerDivision
    // without the signs.
    Integer magnitudeQuotient(Magnitude d, Integer& remainder) const;
    // The product behind operator*, its roles settled by the role rule.
    Integer multiply(const Integer& other) const;
    // The in-place sum behind += and -=: adds |other| with the sign `otherNegative`.
    Integer& addSigned(const Integer& other, bool otherNegative);

    friend class MagnitudeStorage;

    // True when `words` is an array on the heap, not the words held inside.
    bool onHeap() const { return words != nullptr && words != small; }

    std::int32_t negative = 0;
    std::uint32_t length = 0;
    std::uint32_t* words = nullptr;
    std::uint32_t small[INLINE_WORDS];
};

// Greatest common divisor of |a| and |b|; never negative.
Integer gcd(const Integer& a, const Integer& b);
// low * (low + 1) * ... * high for non-negative bounds given in either order.
Integer rangeProduct(const Integer& low, const Integer& high);

}  // namespace VELD
