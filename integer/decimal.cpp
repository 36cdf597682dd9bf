// Integer decimal text: reading a numeral, and printing by powers of ten. Both rest on
// multiplyByTen (10x = 8x + 2x) and its exact inverse divideByTen.
#include <algorithm>
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

}  // namespace

Integer::Integer(const char* text) {
    const bool minus = *text == '-';
    if (minus) ++text;
    if (!isDigit(*text))
        throw Exception("Integer::Integer() - Failed to parse Integer. Bad string.");
    // Built in a local so that a failure part-way releases what was obtained.
    Integer value;
    for (; isDigit(*text); ++text) {
        value.multiplyByTen();
        if (*text != '0') value += Integer(*text - '0');
    }
    if (minus) value.negate();
    *this = std::move(value);
}

// 10x = 8x + 2x, each shifted copy taking the bits that leave the chunk below it. The
// words are taken two at a time, as 64-bit chunks. The product is written in place when
// the top word has room for it, and into an array one word longer otherwise.
void Integer::multiplyByTen() {
    if (length == 0) return;
    const bool grows = words[length - 1] > 0x19999998u;  // 10 * 0x19999998 + 9 < 2^32
    std::uint32_t* product = words;
    if (grows) {
        product = allocateWords(std::uint64_t{length} + 1);
    } else {
        checkInterrupt();
    }
    std::uint64_t previous = 0;
    std::uint64_t carry = 0;
    auto tenTimes = [&](std::uint64_t chunk) {
        const std::uint64_t eight = (chunk << 3) | (previous >> 61);
        const std::uint64_t two = (chunk << 1) | (previous >> 63);
        std::uint64_t sum = eight + two;
        const std::uint64_t carryOut = sum < eight ? 1 : 0;
        sum += carry;
        carry = carryOut + (sum < carry ? 1 : 0);
        previous = chunk;
        return sum;
    };
    // Locals, so that the stores through `product` need not reload the fields.
    const std::uint32_t count = length;
    const std::uint32_t* const source = words;
    std::uint32_t i = 0;
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
    delete[] words;
    words = product;
    ++length;
    normalize();
}

// Solves x = 2y + 8y for y from the low bit up: bit n+1 of x is y(n) ^ y(n-2) ^ carry, so
// y(n) = x(n+1) ^ y(n-2) ^ carry, and the carry out is the majority of the three. Each
// quotient word replaces its dividend word once the dividend bits it needs are read; the
// next word's low bit, still a dividend bit, supplies x(n+1) at the word's top.
void Integer::divideByTen() {
    const std::uint32_t count = length;
    std::uint32_t* const magnitude = words;
    std::uint32_t carry = 0;
    std::uint32_t previous = 0;        // y(n-1)
    std::uint32_t beforePrevious = 0;  // y(n-2)
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t next = i + 1 < count ? magnitude[i + 1] : 0;
        const std::uint32_t dividend = (magnitude[i] >> 1) | (next << 31);
        std::uint32_t quotient = 0;
        // Unrolled, so that the shifts are constants and y(n-1), y(n-2) need no moves.
#pragma GCC unroll 32
        for (unsigned j = 0; j < 32; ++j) {
            const std::uint32_t y = ((dividend >> j) & 1u) ^ beforePrevious ^ carry;
            carry = (y & beforePrevious) | (y & carry) | (beforePrevious & carry);
            quotient |= y << j;
            beforePrevious = previous;
            previous = y;
        }
        magnitude[i] = quotient;
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
    Integer remainder = abs();
    Integer power(1);
    std::uint64_t digits = 0;
    while (compareMagnitudes(power, remainder) <= 0) {
        power.multiplyByTen();
        ++digits;
    }
    power.divideByTen();

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
            remainder -= power;
            ++digit;
        }
        *out++ = digit;
        power.divideByTen();
    }
    *out++ = static_cast<char>('0' + (remainder.isZero() ? 0 : remainder.words[0]));
    *out = '\0';
    return 0;
}

}  // namespace VELD
