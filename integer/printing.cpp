// Integer decimal text out: print, by powers of ten built up by multiplication, and the
// digits taken from the value by subtracting them.
#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstring>
#include <limits>

#include "integer/integer.h"
#include "integer/kernels.h"
#include "integer/tens.h"
#include "integer/word_pairs.h"

namespace VELD {

namespace {

constexpr char OVERFLOW_NOTICE[] = "Printing overflow!";

using kernels::Wide;

// A multiple of five: x + (x << 2), with the two bits that leave the chunk below (the top
// of `below`, that chunk as it came in) and the carry out of its sum.
struct FiveTimes {
    std::uint64_t operator()(std::uint64_t x) {
        const std::uint64_t four = (x << 2) | (below >> 62);
        below = x;
        return addWithCarry(x, four, carry);
    }

    std::uint64_t below = 0;
    unsigned char carry = 0;
};

// a[0..n) through `steps` stages of Stage fused into one pass, each chunk going through
// them in turn, from the low end; returns what leaves word n-1. `lead` may take the first
// words through the stages first and returns how many it took. The chunk after the last
// takes what leaves the top: the odd last word with its outflow, or the outflow alone (a
// stage over a zero chunk gives what was left of the one before).
template <typename Stage, unsigned steps, typename Lead>
std::uint64_t throughStages(std::uint32_t* a, std::uint32_t n, Lead lead) {
    checkInterrupt();
    Stage stage[steps];
    auto all = [&stage](std::uint64_t x) {
        for (Stage& step : stage)
            x = step(x);
        return x;
    };
    std::uint32_t i = lead(a, n, stage);
    for (; i + 1 < n; i += 2)
        storePair(a + i, all(loadPair(a + i)));
    const std::uint64_t top = all(i < n ? a[i] : 0);
    if (i == n) return top;
    a[i] = static_cast<std::uint32_t>(top);
    return top >> 32;
}

constexpr auto noLead = [](std::uint32_t*, std::uint32_t, auto*) { return std::uint32_t{0}; };

#if defined(__x86_64__) && defined(__GNUC__)
// a[0..8k) through four stages of FiveTimes, for the largest k with 8k <= n; returns 8k.
// Four chunks a step go through each stage together, so that a stage's carry stays in the
// processor's flag across them; each stage's chunk below and carry wait in `stage` while
// the others run. The shift of each stage is formed before its additions, as it clobbers
// the flag.
std::uint32_t fourFifthSteps(std::uint32_t* a, std::uint32_t n, FiveTimes* stage) {
    static_assert(sizeof(FiveTimes) == 16 && offsetof(FiveTimes, carry) == 8);
    std::uint32_t steps = n / 8;
    if (steps == 0) return 0;
    std::uint64_t x0, x1, x2, x3, t0, t1, t2, t3, below;
    unsigned char carry;
    // clang-format off
#define VELD_FIVE_STAGE(k)                                                                     \
        "movq " #k "*16(%[stage]), %[below]\n\t"                                              \
        "movq %[x0], %[t0]\n\t"                                                                \
        "movq %[x1], %[t1]\n\t"                                                                \
        "movq %[x2], %[t2]\n\t"                                                                \
        "movq %[x3], %[t3]\n\t"                                                                \
        "shldq $2, %[x2], %[t3]\n\t"                                                           \
        "shldq $2, %[x1], %[t2]\n\t"                                                           \
        "shldq $2, %[x0], %[t1]\n\t"                                                           \
        "shldq $2, %[below], %[t0]\n\t"                                                        \
        "movq %[x3], " #k "*16(%[stage])\n\t"                                                 \
        "movb " #k "*16+8(%[stage]), %[carry]\n\t"                                            \
        "addb $0xff, %[carry]\n\t"                                                             \
        "adcq %[t0], %[x0]\n\t"                                                                \
        "adcq %[t1], %[x1]\n\t"                                                                \
        "adcq %[t2], %[x2]\n\t"                                                                \
        "adcq %[t3], %[x3]\n\t"                                                                \
        "setc " #k "*16+8(%[stage])\n\t"
    asm volatile("1:\n\t"
        "movq (%[a]), %[x0]\n\t"
        "movq 8(%[a]), %[x1]\n\t"
        "movq 16(%[a]), %[x2]\n\t"
        "movq 24(%[a]), %[x3]\n\t"
        VELD_FIVE_STAGE(0) VELD_FIVE_STAGE(1) VELD_FIVE_STAGE(2) VELD_FIVE_STAGE(3)
        "movq %[x0], (%[a])\n\t"
        "movq %[x1], 8(%[a])\n\t"
        "movq %[x2], 16(%[a])\n\t"
        "movq %[x3], 24(%[a])\n\t"
        "leaq 32(%[a]), %[a]\n\t"
        "decl %[steps]\n\t"
        "jnz 1b"
        : [a] "+r"(a), [steps] "+r"(steps), [x0] "=&r"(x0), [x1] "=&r"(x1), [x2] "=&r"(x2),
          [x3] "=&r"(x3), [t0] "=&r"(t0), [t1] "=&r"(t1), [t2] "=&r"(t2), [t3] "=&r"(t3),
          [below] "=&r"(below), [carry] "=&q"(carry)
        : [stage] "r"(stage)
        : "cc", "memory");
#undef VELD_FIVE_STAGE
    // clang-format on
    return n / 8 * 8;
}
#endif

// a[0..n) *= 5^steps in place; returns what leaves word n-1 (below 2^10).
template <unsigned steps>
std::uint64_t timesFive(std::uint32_t* a, std::uint32_t n) {
#if defined(__x86_64__) && defined(__GNUC__)
    if constexpr (steps == 4) return throughStages<FiveTimes, steps>(a, n, fourFifthSteps);
#endif
    return throughStages<FiveTimes, steps>(a, n, noLead);
}

// a[0..n) /= 5^steps in place, for a multiple of it (nothing leaves the top); returns the
// new count of words.
template <unsigned steps>
std::uint32_t fifthsOf(std::uint32_t* a, std::uint32_t n) {
    throughStages<ExactFifth, steps>(a, n, noLead);
    while (n > 0 && a[n - 1] == 0)
        --n;
    return n;
}

// Digits settled together: 10^16 < 2^54, so that a block's number, times a 64-bit window
// of the power, stays within a pair of registers.
constexpr unsigned BLOCK = 16;

// Words a power is kept in: its count rounded up to whole four-chunk steps of the shifted
// subtraction, the words above it zero, so that no subtraction of it has a ragged end.
constexpr std::uint32_t STEP_WORDS = 8;
constexpr std::uint64_t keptWords(std::uint64_t count) {
    return (count + STEP_WORDS - 1) / STEP_WORDS * STEP_WORDS;
}

// Words of stored powers of ten that print may hold at once. Beyond this the powers are
// stepped down from the highest instead, by exact division.
constexpr std::uint64_t STORE_LIMIT = std::uint64_t{1} << 21;

// 10^k for k below BLOCK.
constexpr auto TEN_POWERS = [] {
    std::array<std::uint64_t, BLOCK> powers{};
    powers[0] = 1;
    for (unsigned k = 1; k < BLOCK; ++k)
        powers[k] = powers[k - 1] * 10;
    return powers;
}();

// v as it is, hidden from the optimiser, so that shifts and additions of it are not folded
// into a multiplication.
Wide opaque(Wide v) {
    auto low = static_cast<std::uint64_t>(v);
    auto high = static_cast<std::uint64_t>(v >> 64);
#if defined(__GNUC__)
    asm("" : "+r"(low), "+r"(high));
#endif
    return static_cast<Wide>(high) << 64 | low;
}

// 10v = 8v + 2v on a pair of registers; v below 2^124.
Wide tenTimes(Wide v) {
    return opaque(v << 3) + (v << 1);
}

// Bits [offset, offset + 64) of the magnitude a[0..n); zero beyond its words.
std::uint64_t bitsAt(const std::uint32_t* a, std::uint32_t n, std::uint64_t offset) {
    auto word = [&](std::uint64_t k) -> std::uint64_t { return k < n ? a[k] : 0; };
    const std::uint64_t k = offset / 32;
    const auto shift = static_cast<unsigned>(offset % 32);
    const std::uint64_t low = word(k) | word(k + 1) << 32;
    return shift == 0 ? low : (low >> shift) | (word(k + 2) << (64 - shift));
}

// A block's number, with whether the windows it was found from settle it.
struct Block {
    std::uint64_t value;
    bool certain;
};

// The block of n digits (1 to BLOCK) that r holds above the power of ten P, for
// r < 10^n P: the digits of r / P. They are found from windows of r and P taken at one bit
// offset, r's of 128 bits and P's of 64 (its top bits, or all of them), as print finds
// every digit: from the highest power of ten down, each digit is what the subtractions of
// 8, 4, 2 and 1 times the power take from the remainder, and the powers pw * 10^k are
// built up by steps of ten first. The digits are written to `out`.
//
// The window number w = floor(rw / pw) is r / P when P's window is all of P (`exact`).
// Otherwise P < (pw + 1) 2^offset and r >= rw 2^offset, so r >= w P is certain when what
// is left of rw, rw - w pw, is at least w; and r < (w + 1) P always, as the rest is
// below pw. When not certain, r / P is w or w - 1, with pw >= 2^63 and w < 2^54; a
// "digit" above 9 (rw >= 10^n pw) leaves r / P = 10^n - 1.
Block blockFromWindows(char* out, Wide rw, std::uint64_t pw, unsigned n, bool exact) {
    Wide powers[BLOCK];
    powers[0] = pw;
    for (unsigned k = 1; k < n; ++k)
        powers[k] = tenTimes(powers[k - 1]);
    std::uint64_t value = 0;
    bool valid = true;
    for (unsigned k = n; k-- > 0;) {
        // The digit is how many of the power's multiples up to ten fit in rw: the
        // comparisons do not wait for one another, and only the digit's subtraction, of 8,
        // 4, 2 and 1 times the power by its bits, waits for them. Masks, not branches, as
        // which way each goes is as good as random.
        const Wide p1 = powers[k], p2 = opaque(p1 << 1), p4 = opaque(p1 << 2), p8 = opaque(p1 << 3);
        const Wide multiples[] = {p1,      p2,           p2 + p1, p4,      p4 + p1,
                                  p4 + p2, p4 + p2 + p1, p8,      p8 + p1, p8 + p2};
        unsigned digit = 0;
        for (const Wide& multiple : multiples)
            digit += multiple <= rw ? 1 : 0;
        auto ifBit = [digit](unsigned bit, Wide part) {
            return part & -static_cast<Wide>(digit >> bit & 1);
        };
        rw -= ifBit(3, p8) + ifBit(2, p4) + ifBit(1, p2) + ifBit(0, p1);
        valid = valid && digit <= 9;
        *out++ = static_cast<char>('0' + digit);
        value = tenTimes(value) + digit;
    }
    if (!valid) return {TEN_POWERS[n - 1] * 10 - 1, false};
    return {value, exact || rw >= value};
}

// Words of the longest odd part whose products print sums on registers.
constexpr std::uint32_t SHORT_POWER = 8;

// product = f[0..n) * times, for n <= SHORT_POWER and times below 2^54: for each 64-bit
// chunk of f, f << s for each set bit s of times is summed on a pair of registers, with
// what the chunk below carried. Returns the count of product's words, high zeros dropped.
std::uint32_t shortProduct(std::uint32_t* product, const std::uint32_t* f, std::uint32_t n,
                           std::uint64_t times) {
    std::uint64_t carried = 0;
    std::uint32_t i = 0;
    auto chunkTimes = [&](std::uint64_t x) {
        const Wide sum = kernels::timesSetBits(x, times) + carried;
        carried = static_cast<std::uint64_t>(sum >> 64);
        return static_cast<std::uint64_t>(sum);
    };
    for (; i + 1 < n; i += 2)
        storePair(product + i, chunkTimes(loadPair(f + i)));
    const std::uint64_t top = chunkTimes(i < n ? f[i] : 0);
    storePair(product + i, top);
    if (i < n) product[i + 2] = static_cast<std::uint32_t>(carried);  // the rest: below 2^22
    std::uint32_t count = i + (i < n ? 3 : 2);
    while (count > 0 && product[count - 1] == 0)
        --count;
    return count;
}

// Words the store needs to hold every 5^(BLOCK k) that print may use for a remainder of
// `bits` bits, each with its count of words after it; 0 when that is more than
// STORE_LIMIT. Such a power is used when 10^(BLOCK k) <= r, so below 2^bits, and its digit
// is within the capacity. 10^16 has more than 53 bits and 5^16 fewer than 38.
std::uint64_t storeSize(std::uint64_t bits, std::uint32_t capacity) {
    std::uint64_t total = 0;
    for (std::uint64_t exponent = 0, tenBits = 0, fiveBits = 32;
         exponent < capacity && tenBits < bits; exponent += BLOCK, tenBits += 53, fiveBits += 38) {
        total += keptWords((fiveBits >> 5) + 1) + 1;
        if (total > STORE_LIMIT) return 0;
    }
    return total;
}

// Writes the digits of r for the power of ten p, for r < 10 p: as many as p has zeros and
// one more, with leading zeros when r < p. On registers; returns the end of the digits.
char* writeDigits(char* out, std::uint64_t r, std::uint64_t p) {
    for (;;) {
        unsigned digit = 0;
        for (int shift = 3; shift >= 0; --shift) {
            // p << shift <= r, taken by a mask as above
            const unsigned taken = p <= r >> shift ? 1 : 0;
            r -= (p << shift) & -static_cast<std::uint64_t>(taken);
            digit |= taken << shift;
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
// multiplies the odd part by five and adds one to the offset, and P is compared with the
// remainder and subtracted from it at that offset. So the steps work on 70% of the words,
// and P's zero bits are never touched.
//
// On the way up, every BLOCK-th power is kept. The digits are then settled a block at a
// time, from the highest: the block's digits are found from the top words of the remainder
// and of the block's lowest power P, and one pass subtracts their number times P. The powers
// in between are never needed in full. When keeping every block's power would take more
// than STORE_LIMIT words, only the highest is kept, and it is stepped down from block to
// block by exact division by 5^BLOCK.
std::int32_t Integer::printLong(char* buffer, std::uint32_t capacity) const {
    // r, with zero words above it for the kept powers' zero words to be subtracted from.
    const std::uint64_t room = std::uint64_t{length} + STEP_WORDS;
    Integer remainder;
    remainder.createSpace(room);
    std::memcpy(remainder.words, words, std::size_t{length} * sizeof(std::uint32_t));
    std::memset(remainder.words + length, 0, STEP_WORDS * sizeof(std::uint32_t));
    remainder.length = length;
    const std::uint64_t remainderBits = kernels::bitLength(remainder.words, remainder.length);
    // 5^d <= 10^(d-1) * 10 <= 10 r < 16 r: the odd part never needs more than a word more
    // than r.
    Integer odd;
    odd.createSpace(std::uint64_t{length} + 1);
    std::uint32_t* const five = odd.words;
    std::uint32_t count = 1;  // words of the odd part in use
    five[0] = 1;
    std::uint64_t exponent = 0;

    // The kept powers' odd parts, one after another, each followed by its count of words.
    const std::uint64_t storeNeeded = storeSize(remainderBits, capacity);
    const bool keepAll = storeNeeded != 0;
    Integer store;
    store.createSpace(keepAll ? storeNeeded : keptWords(std::uint64_t{length} + 1) + 1);
    std::uint64_t stored = 0;  // words of the store in use
    auto keep = [&]() {
        if (!keepAll) stored = 0;
        const std::uint64_t kept = keptWords(count);
        std::memcpy(store.words + stored, five, std::size_t{count} * sizeof(std::uint32_t));
        std::memset(store.words + stored + count, 0, (kept - count) * sizeof(std::uint32_t));
        stored += kept;
        store.words[stored++] = count;
    };

    // Up by ten while P <= r.
    for (;;) {
        // 10^k P < 2^(bits of P + 4k - 1): while that is at most r's top power of two, k
        // steps are taken in one pass. Four steps at a time never pass a multiple of BLOCK.
        const std::uint64_t bits = kernels::bitLength(five, count) + exponent;
        const unsigned steps = bits + 16 <= remainderBits ? 4 : bits + 8 <= remainderBits ? 2 : 1;
        if (steps == 1 &&
            kernels::compareShifted(remainder.words, remainder.length, five, count, exponent) < 0)
            break;
        if (exponent % BLOCK == 0 && exponent < capacity) keep();
        const std::uint64_t out = steps == 4   ? timesFive<4>(five, count)
                                  : steps == 2 ? timesFive<2>(five, count)
                                               : timesFive<1>(five, count);
        if (out != 0) five[count++] = static_cast<std::uint32_t>(out);
        exponent += steps;
    }
    const std::uint64_t digits = exponent;
    const std::uint64_t needed = digits + 1 + (isNegative() ? 1 : 0);
    if (needed > capacity) return overflowNotice(buffer, capacity, needed);
    char* out = buffer;
    if (isNegative()) *out++ = '-';

    // The store's last power is the top block's: the highest 10^(BLOCK k) <= r.
    const std::uint64_t topBlock = (digits - 1) / BLOCK;
    std::uint32_t* power = nullptr;
    std::uint32_t powerCount = 0;
    for (std::uint64_t block = topBlock; block > 0; --block) {
        if (keepAll || block == topBlock) {
            powerCount = store.words[stored - 1];
            stored -= keptWords(powerCount) + 1;
            power = store.words + stored;
        } else {
            for (unsigned step = 0; step < BLOCK; step += 4)
                powerCount = fifthsOf<4>(power, powerCount);
        }
        const std::uint64_t e = BLOCK * block;
        const auto n = static_cast<unsigned>(block == topBlock ? digits - e : BLOCK);
        if (remainder.isZero()) {  // every digit left is 0
            std::memset(out, '0', n + e);
            out += n + e;
            *out = '\0';
            return 0;
        }
        // P's top 64 bits, or all of them, and r's 128 bits from the same offset.
        const std::uint64_t powerBits = kernels::bitLength(power, powerCount) + e;
        const std::uint64_t offset = powerBits > 64 ? powerBits - 64 : 0;
        const std::uint64_t pw = offset >= e ? bitsAt(power, powerCount, offset - e)
                                             : bitsAt(power, powerCount, 0) << (e - offset);
        const Wide rw = bitsAt(remainder.words, remainder.length, offset) |
                        static_cast<Wide>(bitsAt(remainder.words, remainder.length, offset + 64))
                            << 64;
        // r -= times * P, for times * P <= r: P shifted by each set bit of times, subtracted.
        // A short P's product is summed on registers first and subtracted once.
        auto subtractTimes = [&](std::uint64_t times) {
            checkInterrupt();
            if (powerCount <= SHORT_POWER) {
                std::uint32_t product[SHORT_POWER + 2];
                const std::uint32_t productCount = shortProduct(product, power, powerCount, times);
                if (productCount != 0) remainder.subtractShifted(product, productCount, e);
                return;
            }
            const auto kept = static_cast<std::uint32_t>(keptWords(powerCount));
            for (std::uint64_t bits = times; bits != 0; bits &= bits - 1) {
                const std::uint64_t at = e + std::countr_zero(bits);
                const auto offset = static_cast<std::uint32_t>(at / 32);
                std::uint32_t* const from = remainder.words + offset;
                const std::uint64_t owed = kernels::subtractShiftedFrom(from, power, kept, at % 32);
                kernels::subtractBorrow(from + kept, room - offset - kept, owed);
            }
            remainder.normalize();
        };
        const Block found = blockFromWindows(out, rw, pw, n, offset <= e);
        std::uint64_t value = found.value;
        if (found.certain) {
            subtractTimes(value);
        } else {
            // r / P is value or value - 1 (value is at least 1 here): take value - 1 times P,
            // then P once more if it fits. The digits written from the windows are replaced by
            // those of the number settled.
            subtractTimes(value - 1);
            if (kernels::compareShifted(remainder.words, remainder.length, power, powerCount, e) >=
                0) {
                remainder.subtractShifted(power, powerCount, e);
            } else {
                --value;
            }
            writeDigits(out, value, TEN_POWERS[n - 1]);
        }
        out += n;
    }
    // The last block, below 10^BLOCK < 2^64, on registers.
    const auto n = static_cast<unsigned>(topBlock == 0 ? digits : BLOCK);
    *writeDigits(out, remainder.magnitude(), TEN_POWERS[n - 1]) = '\0';
    return 0;
}

}  // namespace VELD
