// Integer decimal text: reading a numeral, and the steps by ten on a whole Integer,
// multiplyByTen (10x = 8x + 2x), on which reading rests, and its exact inverse
// divideByTen. Printing (printing.cpp) takes the same steps on the odd parts of its powers
// of ten, times five and the exact fifth of tens.h, so it calls neither.
#include <bit>
#include <cstring>
#include <limits>
#include <utility>

#include "common/text.h"
#include "integer/integer.h"
#include "integer/progress.h"
#include "integer/tens.h"
#include "integer/word_pairs.h"

namespace VELD {

Integer::Integer(const char* text) {
    const bool minus = *text == '-';
    if (minus) ++text;
    if (!isDigit(*text))
        throw Exception("Integer::Integer() - Failed to parse Integer. Bad string.");
    // While the value fits 64 bits the steps by ten and the additions run on a register;
    // the rest of a longer numeral goes on in words. Built in a local so that a failure
    // part-way releases what was obtained.
    constexpr std::uint64_t MOST_BEFORE_STEP = (std::numeric_limits<std::uint64_t>::max() - 9) / 10;
    std::uint64_t small = 0;
    for (; isDigit(*text) && small <= MOST_BEFORE_STEP; ++text)
        small = timesTen(small) + static_cast<std::uint64_t>(*text - '0');
    Integer value = fromMagnitude(small);
    if (isDigit(*text)) value.readMoreDigits(text);
    if (minus) value.negate();
    *this = std::move(value);
}

// The digits of a numeral longer than 64 bits, after those read on a register: a step by
// ten and the digit added, for each. One one-word Integer holds each digit in turn. A
// numeral long enough to be watched is a step of its own: the k-th digit's step by ten
// works on a value of about k digits, so the digits up to k are k^2 / 2 of the work, of
// the n^2 / 2 in all.
void Integer::readMoreDigits(const char* text) {
    const char* const first = text;
    std::size_t digits = 0;
    while (isDigit(first[digits]))
        ++digits;
    const double count = static_cast<double>(digits);
    const bool watched = count * 0.1038 >= WATCHED_WORDS;  // log2(10) / 32 words a digit
    const ProgressStep step(watched ? Step::reading : Step::none, count * count);
    if (watched && step.owns()) progress.next(count * count);
    const bool recording = watched && step.owns();
    Integer digit(1);
    for (; isDigit(*text); ++text) {
        multiplyByTen();
        if (recording && ((text - first) & 255) == 0) {
            const auto k = static_cast<double>(text - first);
            progress.fraction = k * k / (count * count);
        }
        if (*text == '0') continue;
        digit.words[0] = static_cast<std::uint32_t>(*text - '0');
        *this += digit;
    }
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
    const bool inPlace = !grows || (words == small && length < INLINE_WORDS);
    std::uint32_t* product = words;
    if (inPlace) {
        checkInterrupt();
    } else {
        product = allocateWords(std::uint64_t{length} + 1);
    }
    TimesTenStage timesTenChunk;
    // Locals, so that the stores through `product` need not reload the fields.
    const std::uint32_t count = length;
    const std::uint32_t* const source = words;
    std::uint32_t i = first;
    if (!inPlace) std::memset(product, 0, std::size_t{i} * sizeof(std::uint32_t));
    for (; i + 1 < count; i += 2)
        storePair(product + i, timesTenChunk(loadPair(source + i)));
    // The last word, when the count is odd, and the bits that leave the top.
    std::uint64_t top = timesTenChunk(i < count ? source[i] : 0);
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

// Solves x = 2y + 8y for y from the low end: x/2 divided by five, where x/2 is read a
// chunk at a time as the words shifted right by one. Bit by bit this is the recurrence
// y(n) = x(n+1) ^ y(n-2) ^ carry, with the carry out the majority of the three: the sum
// y + 4y, built up from bit 0, must reproduce x shifted right by one (see ExactFifthStage).
// Each quotient chunk replaces its dividend chunk once read; the next word's low bit,
// still a dividend bit, supplies the chunk's top dividend bit. Low words that hold only
// zeros, up to and including bit 0 of the word after them, give quotient zeros and no
// carry, so they are skipped.
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
    ExactFifthStage solve;
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

}  // namespace VELD
