// Integer decimal text: reading a numeral, and printing by powers of ten. Both rest on
// multiplyByTen (10x = 8x + 2x) and its exact inverse divideByTen.
#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

#include "integer/integer.h"

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

void Integer::multiplyByTen() {
    if (length == 0) return;
    std::uint32_t* product = allocateWords(std::uint64_t{length} + 1);
    // Word i of 8x and of 2x take the bits shifted out of word i-1.
    std::uint32_t previous = 0;
    std::uint64_t carry = 0;
    for (std::uint32_t i = 0; i < length; ++i) {
        const std::uint32_t x = words[i];
        const std::uint32_t eight = (x << 3) | (previous >> 29);
        const std::uint32_t two = (x << 1) | (previous >> 31);
        carry += std::uint64_t{eight} + two;
        product[i] = static_cast<std::uint32_t>(carry);
        carry >>= 32;
        previous = x;
    }
    product[length] = (previous >> 29) + (previous >> 31) + static_cast<std::uint32_t>(carry);
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
    std::uint32_t carry = 0;
    std::uint32_t previous = 0;        // y(n-1)
    std::uint32_t beforePrevious = 0;  // y(n-2)
    for (std::uint32_t i = 0; i < length; ++i) {
        const std::uint32_t next = i + 1 < length ? words[i + 1] : 0;
        const std::uint32_t dividend = (words[i] >> 1) | (next << 31);
        std::uint32_t quotient = 0;
        for (unsigned j = 0; j < 32; ++j) {
            const std::uint32_t y = ((dividend >> j) & 1u) ^ beforePrevious ^ carry;
            carry = (y & beforePrevious) | (y & carry) | (beforePrevious & carry);
            quotient |= y << j;
            beforePrevious = previous;
            previous = y;
        }
        words[i] = quotient;
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
