// Integer decimal text out: print, by powers of ten built up by multiplication and stepped
// down by exact division by ten.
#include <algorithm>
#include <cstring>
#include <limits>

#include "integer/integer.h"
#include "integer/kernels.h"
#include "integer/tens.h"
#include "integer/word_pairs.h"

namespace VELD {

namespace {

constexpr char OVERFLOW_NOTICE[] = "Printing overflow!";

__extension__ typedef unsigned __int128 Wide;

// A multiple of five: x + (x << 2), with the two bits that leave the chunk below (spill)
// and the carry out of its sum.
class FiveTimes {
public:
    std::uint64_t operator()(std::uint64_t x) {
        const std::uint64_t four = (x << 2) | spill;
        spill = x >> 62;
        return addWithCarry(x, four, carry);
    }

private:
    std::uint64_t spill = 0;
    unsigned char carry = 0;
};

// a[0..n) *= 5^steps in place: that many steps of five fused into one pass, each chunk
// going through them in turn; returns what leaves word n-1 (below 2^10). The chunk after
// the last takes what leaves the top: the odd last word with its outflow, or the outflow
// alone (a step over a zero chunk gives what was left of the one before).
template <unsigned steps>
std::uint64_t timesFive(std::uint32_t* a, std::uint32_t n) {
    checkInterrupt();
    FiveTimes stage[steps];
    auto all = [&stage](std::uint64_t x) {
        for (FiveTimes& times : stage)
            x = times(x);
        return x;
    };
    std::uint32_t i = 0;
    for (; i + 1 < n; i += 2)
        storePair(a + i, all(loadPair(a + i)));
    const std::uint64_t top = all(i < n ? a[i] : 0);
    if (i == n) return top;
    a[i] = static_cast<std::uint32_t>(top);
    return top >> 32;
}

// a[0..n) /= 5 in place, for a multiple of five; returns the new count of words.
std::uint32_t fifthOf(std::uint32_t* a, std::uint32_t n) {
    checkInterrupt();
    ExactFifth fifth;
    std::uint32_t i = 0;
    for (; i + 1 < n; i += 2)
        storePair(a + i, fifth(loadPair(a + i)));
    if (i < n) a[i] = static_cast<std::uint32_t>(fifth(a[i]));
    while (n > 0 && a[n - 1] == 0)
        --n;
    return n;
}

// x * digit as 68 bits: the low chunk, and what it carries above (below 16) into `high`.
// One shifted addition per set bit of the digit.
template <unsigned digit>
std::uint64_t timesDigit(std::uint64_t x, std::uint64_t& high) {
    std::uint64_t low = 0;
    high = 0;
    auto add = [&](unsigned shift) {
        std::uint64_t part = x << shift;
#if defined(__GNUC__)
        asm("" : "+r"(part));  // not to be folded into a multiplication
#endif
        low += part;
        high += (shift == 0 ? 0 : x >> (64 - shift)) + (low < part ? 1 : 0);
    };
    if constexpr ((digit & 1) != 0) add(0);
    if constexpr ((digit & 2) != 0) add(1);
    if constexpr ((digit & 4) != 0) add(2);
    if constexpr ((digit & 8) != 0) add(3);
    return low;
}

// One digit's step of print, in one pass over the odd part f of the power of ten
// P = f << e: the remainder r loses digit * P, and f is divided by five. For a digit
// from 1 to 9 with digit * P <= r. Returns the new count of f's words; r is left for
// the caller to normalise.
template <unsigned digit>
std::uint32_t subtractAndStepDown(std::uint32_t* r, std::uint32_t rCount, std::uint32_t* f,
                                  std::uint32_t fCount, std::uint64_t e) {
    checkInterrupt();
    std::uint32_t* const at = r + e / 32;  // r's words from P's lowest one that is not zero
    const std::uint32_t above = rCount - static_cast<std::uint32_t>(e / 32);
    const auto shift = static_cast<unsigned>(e % 32);
    std::uint64_t carried = 0;  // what digit * f carries into the next chunk
    std::uint64_t spill = 0;    // what the shift by e moves into the next chunk
    unsigned char borrow = 0;
    ExactFifth fifth;
    // The chunk of digit * f that x begins, with the carry from the chunk below.
    auto multiple = [&](std::uint64_t x) {
        std::uint64_t high;
        const std::uint64_t low = timesDigit<digit>(x, high);
        const std::uint64_t sum = low + carried;
        carried = high + (sum < low ? 1 : 0);
        return sum;
    };
    std::uint32_t i = 0;
    for (; i + 1 < fCount; i += 2) {
        const std::uint64_t x = loadPair(f + i);
        const std::uint64_t chunk = multiple(x);
        const std::uint64_t moved = (chunk << shift) | spill;
        spill = (chunk >> 1) >> (63 - shift);
        subtractWithBorrowAt(at + i, moved, borrow);
        storePair(f + i, fifth(x));
    }
    // What is left above: the odd last word's multiple, or only the carries.
    const std::uint64_t x = i < fCount ? f[i] : 0;
    const Wide rest =
        ((static_cast<Wide>(multiple(x)) + (static_cast<Wide>(carried) << 64)) << shift) | spill;
    kernels::subtractBorrow(at + i, above - i, rest + borrow);
    if (i < fCount) f[i] = static_cast<std::uint32_t>(fifth(x));
    while (fCount > 0 && f[fCount - 1] == 0)
        --fCount;
    return fCount;
}

// Bits [offset, offset + 64) of the magnitude a[0..n); zero beyond its words.
std::uint64_t bitsAt(const std::uint32_t* a, std::uint32_t n, std::uint64_t offset) {
    auto word = [&](std::uint64_t k) -> std::uint64_t { return k < n ? a[k] : 0; };
    const std::uint64_t k = offset / 32;
    const auto shift = static_cast<unsigned>(offset % 32);
    const std::uint64_t low = word(k) | word(k + 1) << 32;
    return shift == 0 ? low : (low >> shift) | (word(k + 2) << (64 - shift));
}

// The digit r / P for r < 10 P, P = f << e, found from the top 60 bits of P and r's bits at
// the same place by the four subtractions of 8P, 4P, 2P and P on registers; -1 when
// the bits below could change it. With P's window p and r's window w, w = digit * p + rest
// and rest < p, so r < (digit + 1) P always; and r >= digit * P is certain when
// rest >= digit, since P < (p + 1) 2^offset. Only the exact windows of a P of 60 bits or
// fewer settle every case.
int estimateDigit(const std::uint32_t* r, std::uint32_t rCount, const std::uint32_t* f,
                  std::uint32_t fCount, std::uint64_t e) {
    const std::uint64_t fBits = kernels::bitLength(f, fCount);
    const std::uint64_t offset = fBits + e > 60 ? fBits + e - 60 : 0;
    const std::uint64_t p =
        offset >= e ? bitsAt(f, fCount, offset - e) : bitsAt(f, fCount, 0) << (e - offset);
    std::uint64_t rest = bitsAt(r, rCount, offset);
    unsigned digit = 0;
    for (unsigned shift = 4; shift-- > 0;) {
        if (p <= rest >> shift) {
            rest -= p << shift;
            digit |= 1u << shift;
        }
    }
    return digit <= 9 && (offset == 0 || rest >= digit) ? static_cast<int>(digit) : -1;
}

// subtractAndStepDown for the digit found; a digit of 0 only steps P down.
std::uint32_t stepDown(int digit, std::uint32_t* r, std::uint32_t rCount, std::uint32_t* f,
                       std::uint32_t fCount, std::uint64_t e) {
    switch (digit) {
        case 1:
            return subtractAndStepDown<1>(r, rCount, f, fCount, e);
        case 2:
            return subtractAndStepDown<2>(r, rCount, f, fCount, e);
        case 3:
            return subtractAndStepDown<3>(r, rCount, f, fCount, e);
        case 4:
            return subtractAndStepDown<4>(r, rCount, f, fCount, e);
        case 5:
            return subtractAndStepDown<5>(r, rCount, f, fCount, e);
        case 6:
            return subtractAndStepDown<6>(r, rCount, f, fCount, e);
        case 7:
            return subtractAndStepDown<7>(r, rCount, f, fCount, e);
        case 8:
            return subtractAndStepDown<8>(r, rCount, f, fCount, e);
        case 9:
            return subtractAndStepDown<9>(r, rCount, f, fCount, e);
        default:
            return fifthOf(f, fCount);
    }
}

// Writes the digits of r for the power of ten p with p <= r < 10 p (or r < 10 for p = 1),
// on registers; returns the end of the digits.
char* writeDigits(char* out, std::uint64_t r, std::uint64_t p) {
    for (;;) {
        unsigned digit = 0;
        for (int shift = 3; shift >= 0; --shift) {
            if (p <= r >> shift) {  // p << shift <= r
                r -= p << shift;
                digit |= 1u << shift;
            }
        }
        *out++ = static_cast<char>('0' + digit);
        if (p == 1) return out;
        p = ExactFifth()(p >> 1);
    }
}

// Writes the cut notice, or nothing for a capacity of 0; returns the shortfall.
std::int32_t overflowNotice(char* buffer, std::uint32_t capacity, std::uint64_t needed) {
    const std::uint32_t shown = std::min<std::uint32_t>(capacity, sizeof OVERFLOW_NOTICE);
    if (shown > 0) {
        std::memcpy(buffer, OVERFLOW_NOTICE, shown);
        buffer[shown - 1] = '\0';
    }
    return static_cast<std::int32_t>(
        std::min<std::uint64_t>(needed - capacity, std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

// The text is an optional '-' and the digits of the magnitude. When it and its NUL do not
// fit, the buffer gets "Printing overflow!" cut to the capacity (nothing at all for zero)
// and the result is the number of bytes more that were needed.
//
// The number of digits d is found by building 10^d up from 1 until it exceeds the
// magnitude r. Then each digit, from the first, is what subtractions of the power of ten
// P take from r: of 8P, 4P, 2P and P in turn, each made when it fits, since r < 10P. Then
// P steps down by ten.
std::int32_t Integer::print(char* buffer, std::uint32_t capacity) const {
    if (isZero()) {
        if (capacity < 2) return static_cast<std::int32_t>(2 - capacity);
        std::memcpy(buffer, "0", 2);
        return 0;
    }
    return fitsRegister() ? printSmall(buffer, capacity) : printLong(buffer, capacity);
}

// On registers, for a magnitude of 64 bits at most.
std::int32_t Integer::printSmall(char* buffer, std::uint32_t capacity) const {
    constexpr std::uint64_t LARGEST_POWER = 10000000000000000000u;  // 10^19 < 2^64 < 10^20
    std::uint64_t remainder = magnitude();
    std::uint64_t power = 1;
    std::uint32_t digits = 0;
    bool beyond = false;  // 10^digits is past 64 bits
    while (power <= remainder) {
        ++digits;
        if (power == LARGEST_POWER) {
            beyond = true;
            break;
        }
        power = tenTimes(power);
    }
    if (!beyond) power = ExactFifth()(power >> 1);

    const std::uint64_t needed = digits + 1 + (isNegative() ? 1 : 0);
    if (needed > capacity) return overflowNotice(buffer, capacity, needed);
    char* out = buffer;
    if (isNegative()) *out++ = '-';
    *writeDigits(out, remainder, power) = '\0';
    return 0;
}

// The power of ten P = 10^e is held as its odd part 5^e and the bit offset e: stepping up
// multiplies the odd part by five and adds one to the offset, stepping down divides it by
// five and takes one off, and P is compared with the remainder and subtracted from it at
// that offset. So the steps by ten work on 70% of the words, and P's zero bits are never
// touched. Each digit is settled from the top words where they tell it, and then one pass
// over the odd part subtracts digit * P and steps P down; the few digits the top words
// leave open are found by the four subtractions in full.
std::int32_t Integer::printLong(char* buffer, std::uint32_t capacity) const {
    Integer remainder = abs();
    // 5^d <= 10^(d-1) * 10 <= 10 r < 16 r: the odd part never needs more than a word more
    // than r.
    Integer odd;
    odd.createSpace(std::uint64_t{length} + 1);
    std::uint32_t* const five = odd.words;
    std::uint32_t count = 1;  // words of the odd part in use
    five[0] = 1;
    std::uint64_t exponent = 0;
    auto fits = [&](std::uint64_t shift) {  // P << shift <= remainder
        return kernels::compareShifted(remainder.words, remainder.length, five, count,
                                       exponent + shift) >= 0;
    };
    // Up by ten while P <= r.
    const std::uint64_t remainderBits = kernels::bitLength(remainder.words, remainder.length);
    for (;;) {
        // 10^k P < 2^(bits of P + 4k - 1): while that is at most r's top power of two, k
        // steps are taken in one pass.
        const std::uint64_t bits = kernels::bitLength(five, count) + exponent;
        const unsigned steps = bits + 16 <= remainderBits ? 4 : bits + 8 <= remainderBits ? 2 : 1;
        if (steps == 1 && !fits(0)) break;
        const std::uint64_t out = steps == 4   ? timesFive<4>(five, count)
                                  : steps == 2 ? timesFive<2>(five, count)
                                               : timesFive<1>(five, count);
        if (out != 0) five[count++] = static_cast<std::uint32_t>(out);
        exponent += steps;
    }
    const std::uint64_t digits = exponent;
    count = fifthOf(five, count);
    --exponent;

    const std::uint64_t needed = digits + 1 + (isNegative() ? 1 : 0);
    if (needed > capacity) return overflowNotice(buffer, capacity, needed);
    char* out = buffer;
    if (isNegative()) *out++ = '-';
    for (;; --exponent) {
        if (remainder.isZero()) {  // every digit left is 0
            std::memset(out, '0', exponent + 1);
            out += exponent + 1;
            break;
        }
        if (exponent < 19) {  // P < 10^19 and r < 10 P: the rest goes on registers
            const std::uint64_t odd = count == 2 ? loadPair(five) : five[0];  // 5^18 < 2^42
            out = writeDigits(out, remainder.magnitude(), odd << exponent);
            break;
        }
        int digit = estimateDigit(remainder.words, remainder.length, five, count, exponent);
        if (digit < 0) {
            digit = 0;
            for (unsigned shift = 4; shift-- > 0;) {
                if (fits(shift)) {
                    remainder.subtractShifted(five, count, exponent + shift);
                    digit |= 1 << shift;
                }
            }
            count = fifthOf(five, count);
        } else {
            count = stepDown(digit, remainder.words, remainder.length, five, count, exponent);
            remainder.normalize();
        }
        *out++ = static_cast<char>('0' + digit);
    }
    *out = '\0';
    return 0;
}

}  // namespace VELD
