// Integer decimal text: reading a numeral, and printing by powers of ten. Both rest on
// multiplyByTen (10x = 8x + 2x) and its exact inverse divideByTen.
#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <utility>

#include "integer/integer.h"
#include "integer/word_pairs.h"

namespace VELD {

namespace {

constexpr char OVERFLOW_NOTICE[] = "Printing overflow!";

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// v + (v << shift) or, for a negative shift, v - (v << -shift), kept as one shift and one
// addition: the compiler is not let to fold a chain of them into a multiplication.
std::uint64_t plusShifted(std::uint64_t v, int shift) {
    std::uint64_t moved = shift >= 0 ? v << shift : v << -shift;
#if defined(__GNUC__)
    asm("" : "+r"(moved));
#endif
    return shift >= 0 ? v + moved : v - moved;
}

}  // namespace

Integer::Integer(const char* text) {
    const bool minus = *text == '-';
    if (minus) ++text;
    if (!isDigit(*text))
        throw Exception("Integer::Integer() - Failed to parse Integer. Bad string.");
    // Built in a local so that a failure part-way releases what was obtained. One
    // one-word Integer holds each digit in turn.
    Integer value;
    Integer digit(1);
    for (; isDigit(*text); ++text) {
        value.multiplyByTen();
        if (*text == '0') continue;
        digit.words[0] = static_cast<std::uint32_t>(*text - '0');
        value += digit;
    }
    if (minus) value.negate();
    *this = std::move(value);
}

// 10x = 8x + 2x, each shifted copy taking the bits that leave the chunk below it. The
// words are taken two at a time, as 64-bit chunks. The product is written in place when
// the top word has room for it, and into an array one word longer otherwise.
void Integer::multiplyByTen() {
    if (length == 0) return;
    std::uint32_t first = 0;
    while (words[first] == 0)
        ++first;
    multiplyByTenFrom(first);
}

// Low zero words stay zero and send nothing upward, so the product starts at word
// `first`, below which every word is zero.
void Integer::multiplyByTenFrom(std::uint32_t first) {
    const bool grows = words[length - 1] > 0x19999998u;  // 10 * 0x19999998 + 9 < 2^32
    // A product one word longer needs a new array, unless the words held inside have room.
    const bool inPlace = !grows || (words == small && length < SMALL_WORDS);
    std::uint32_t* product = words;
    if (inPlace) {
        checkInterrupt();
    } else {
        product = allocateWords(std::uint64_t{length} + 1);
    }
    std::uint64_t previous = 0;
    unsigned char carry = 0;
    auto tenTimes = [&](std::uint64_t chunk) {
        const std::uint64_t eight = (chunk << 3) | (previous >> 61);
        const std::uint64_t two = (chunk << 1) | (previous >> 63);
        previous = chunk;
        return addWithCarry(eight, two, carry);
    };
    // Locals, so that the stores through `product` need not reload the fields.
    const std::uint32_t count = length;
    const std::uint32_t* const source = words;
    std::uint32_t i = first;
    if (!inPlace) std::memset(product, 0, std::size_t{i} * sizeof(std::uint32_t));
    for (; i + 1 < count; i += 2)
        storePair(product + i, tenTimes(loadPair(source + i)));
    // The last word, when the count is odd, and the bits that leave the top.
    std::uint64_t top = tenTimes(i < count ? source[i] : 0);
    if (i < count) {
        product[i] = static_cast<std::uint32_t>(top);
        top >>= 32;
    }
    if (!grows) return;
    product[length] = static_cast<std::uint32_t>(top);
    if (!inPlace) {
        if (onHeap()) delete[] words;
        words = product;
    }
    ++length;
    normalize();
}

// Solves x = 2y + 8y for y from the low end. Bit by bit this is the recurrence
// y(n) = x(n+1) ^ y(n-2) ^ carry, with the carry out the majority of the three: the sum
// y + 4y, built up from bit 0, must reproduce x shifted right by one. Here the recurrence
// is run 64 bits a step. Within a chunk, with the top two bits of the chunk below (which
// 4y moves into this chunk) and the carry out of the chunk below,
//     y = z - 4y (mod 2^64), where z = dividend - topTwo - carry.
// Put into itself, the recurrence doubles the bits it settles at each round:
//     y = (z - 4z) + 16y = z1 + 16y, then y = (z1 + 16 z1) + 256y, and so on,
// until after the rounds for 4, 16, 256, 2^16 and 2^32 the term in y has left the chunk.
// The carry out of the chunk is the carry out of its sum y + 4y. Each quotient chunk
// replaces its dividend chunk once read; the next word's low bit, still a dividend bit,
// supplies the chunk's top dividend bit. Low words that hold only zeros, up to and
// including bit 0 of the word after them, give quotient zeros and no carry, so they are
// skipped.
void Integer::divideByTen() {
    std::uint32_t first = 0;
    while (first < length && words[first] == 0)
        ++first;
    const std::uint64_t trailingZeros =
        first == length
            ? 0
            : 32 * std::uint64_t{first} + static_cast<unsigned>(std::countr_zero(words[first]));
    divideByTenFrom(trailingZeros == 0 ? 0 : static_cast<std::uint32_t>((trailingZeros - 1) / 32));
}

// Starts at word `first`: every dividend bit up to and including bit 0 of that word is
// zero.
void Integer::divideByTenFrom(std::uint32_t first) {
    checkInterrupt();
    if (length == 0) return;
    const std::uint32_t count = length;
    std::uint32_t* const magnitude = words;
    std::uint32_t i = first;
    std::uint64_t topTwo = 0;
    unsigned char carry = 0;
    auto solve = [&](std::uint64_t dividend) {
        std::uint64_t y = dividend - topTwo - carry;
        y = plusShifted(y, -2);
        y = plusShifted(y, 4);
        y = plusShifted(y, 8);
        y = plusShifted(y, 16);
        y = plusShifted(y, 32);
        addWithCarry(y, (y << 2) | topTwo, carry);  // only its carry out is wanted
        topTwo = y >> 62;
        return y;
    };
    for (; i + 2 < count; i += 2) {
        const std::uint64_t chunk = loadPair(magnitude + i);
        storePair(magnitude + i, solve((chunk >> 1) | std::uint64_t{magnitude[i + 2]} << 63));
    }
    // The last one or two words; beyond the top the dividend is 0.
    if (i + 1 < count) {
        storePair(magnitude + i, solve(loadPair(magnitude + i) >> 1));
    } else {
        magnitude[i] = static_cast<std::uint32_t>(solve(magnitude[i] >> 1));
    }
    normalize();
}

// The text is an optional '-' and the digits of the magnitude. When it and its NUL do not
// fit, the buffer gets "Printing overflow!" cut to the capacity (nothing at all for zero)
// and the result is the number of bytes more that were needed.
std::int32_t Integer::print(char* buffer, std::uint32_t capacity) const {
    if (isZero()) {
        if (capacity < 2) return static_cast<std::int32_t>(2 - capacity);
        std::memcpy(buffer, "0", 2);
        return 0;
    }
    // power = 10^e has exactly e trailing zero bits: its low e/32 words are zero, take no
    // part in the subtractions, and are passed over by the steps by ten.
    Integer remainder = abs();
    Integer power(1);
    std::uint64_t digits = 0;
    while (compareMagnitudes(power, remainder) <= 0) {
        power.multiplyByTenFrom(static_cast<std::uint32_t>(digits / 32));
        ++digits;
    }
    std::uint64_t exponent = digits;
    auto stepDown = [&] {
        power.divideByTenFrom(static_cast<std::uint32_t>((exponent - 1) / 32));
        --exponent;
    };
    stepDown();

    const std::uint64_t needed = digits + 1 + (isNegative() ? 1 : 0);
    if (needed > capacity) {
        const std::uint32_t shown = std::min<std::uint32_t>(capacity, sizeof OVERFLOW_NOTICE);
        if (shown > 0) {
            std::memcpy(buffer, OVERFLOW_NOTICE, shown);
            buffer[shown - 1] = '\0';
        }
        return static_cast<std::int32_t>(
            std::min<std::uint64_t>(needed - capacity, std::numeric_limits<std::int32_t>::max()));
    }

    char* out = buffer;
    if (isNegative()) *out++ = '-';
    while (!power.isMagnitudeOne()) {
        char digit = '0';
        while (compareMagnitudes(power, remainder) <= 0) {
            remainder.subtractAbove(power, static_cast<std::uint32_t>(exponent / 32));
            ++digit;
        }
        *out++ = digit;
        stepDown();
    }
    *out++ = static_cast<char>('0' + (remainder.isZero() ? 0 : remainder.words[0]));
    *out = '\0';
    return 0;
}

}  // namespace VELD
