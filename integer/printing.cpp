// Integer decimal text out: print, by powers of ten built up by multiplication, and the
// digits taken from the value by subtracting them.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>

#include "integer/integer.h"
#include "integer/kernels.h"
#include "integer/ladder.h"
#include "integer/progress.h"
#include "integer/register_digits.h"
#include "integer/tens.h"
#include "integer/word_pairs.h"

namespace VELD {

namespace {

constexpr char OVERFLOW_NOTICE[] = "Printing overflow!";

using kernels::Wide;
using printing::bitsAt;
using printing::BLOCK;
using printing::Block;
using printing::keptWords;
using printing::Ladder;
using printing::REGISTER_DIGITS;
using printing::SHORT_POWER;
using printing::STEP_WORDS;
using printing::TEN_POWERS;
using printing::writeDigits;

// Words of the powers of ten that one print may keep at once: 48 MB. Integer::
// printStoreLimit starts here; tests lower it to reach every layout with short values.
constexpr std::uint64_t STORE_LIMIT = std::uint64_t{12} << 20;

// The bytes a text of `digits` digits takes: its '-' when negative, the digits and the NUL.
std::uint64_t textBytes(std::uint64_t digits, bool negative) {
    return digits + 1 + (negative ? 1 : 0);
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

std::uint64_t Integer::printStoreLimit = STORE_LIMIT;

// The text is an optional '-' and the digits of the magnitude r. When it and its NUL do
// not fit, the buffer gets "Printing overflow!" cut to the capacity (nothing at all for
// zero) and the result is the number of bytes more that were needed.
//
// The digits are those of the schoolbook method: build the power of ten P = 10^d up from 1
// until it exceeds r, which counts the d digits; then, from P = 10^(d-1) down to 1, each
// digit is what subtractions of 8P, 4P, 2P and P (each made when it fits, as r < 10P) take
// from r, and P steps down by ten. A magnitude of 64 bits does exactly that on registers.
// A longer one settles sixteen digits at a time (printLong): the result is the same text.
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
    const std::uint64_t remainder = magnitude();
    unsigned digits = 1;  // 10^digits > remainder, or digits = 20
    while (digits < REGISTER_DIGITS && TEN_POWERS[digits] <= remainder)
        ++digits;
    const std::uint64_t needed = textBytes(digits, isNegative());
    if (needed > capacity) return overflowNotice(buffer, capacity, needed);
    char* out = buffer;
    if (isNegative()) *out++ = '-';
    *writeDigits(out, remainder, digits - 1) = '\0';
    return 0;
}

namespace {

// The printing step's cost model, in words worked on, a pass of k stages over a word
// counting k. The climb makes a pass of four steps of times five for each four digits,
// over the odd part 5^e of e log2(5) / 32 words; block j makes about 15 passes (its window
// form) of a shifted subtraction over 5^(16 j), and, where its power is built again from
// a checkpoint or stepped down, four more passes of four stages of times five or of exact
// fifths. How long a word takes differs between these loops, and from one processor to
// the next: the note's time left weighs the blocks against the climb by their paces
// measured here (blocksAgainstClimb).
constexpr double CLIMB_WEIGHT = 4;
constexpr double BLOCK_PASSES = 15.2;
constexpr double WORDS_PER_DIGIT = 2.3219 / 32;  // log2(5) / 32

double climbWork(double exponent) {
    return CLIMB_WEIGHT * WORDS_PER_DIGIT * exponent * exponent / 8;
}

// Blocks `from` down to `to` (from >= to >= 1), each over 16 j log2(5) / 32 words and its
// padding.
double blockWork(double from, double to, bool rebuilt) {
    const double passes = BLOCK_PASSES + (rebuilt ? 4 * CLIMB_WEIGHT : 0);
    const double indices = (from * (from + 1) - (to - 1) * to) / 2;
    return passes * (BLOCK * WORDS_PER_DIGIT * indices + 4 * (from - to + 1));
}

// How the blocks build their powers: kept all along, again from checkpoints, or stepped
// down by exact fifths.
enum Rebuild : std::uint32_t { keptAll, fromCheckpoints, steppedDown };

// A unit of the blocks' work against one of the climb's, at the kernels' paces on this
// processor.
double blocksAgainstClimb(std::uint32_t rebuild) {
    const KernelPace& pace = kernelPace();
    const double climbUnit = pace.timesFourFives / CLIMB_WEIGHT;
    const double rebuildPass = rebuild == fromCheckpoints ? pace.timesFourFives
                               : rebuild == steppedDown   ? pace.fourFifths
                                                          : 0;
    const double passes = BLOCK_PASSES + (rebuild != keptAll ? 4 * CLIMB_WEIGHT : 0);
    return (BLOCK_PASSES * pace.shiftedSubtraction + 4 * rebuildPass) / passes / climbUnit;
}

}  // namespace

// One print of a magnitude longer than 64 bits, in three steps: the ladder of powers of ten
// up to r (climb), the blocks of sixteen digits from the highest down (the ladder's next and
// settleBlock), and the last block on registers.
//
// A power of ten P = 10^e is held as its odd part 5^e and the bit offset e: a step up by
// ten multiplies the odd part by five and adds one to the offset, and P is compared with
// the remainder and subtracted from it at that offset, so P's e zero bits are never
// touched and the steps work on 70% of the words.
//
// Why a block gives the schoolbook digits: with P = 10^e the block's lowest power, the
// schoolbook method's digits for the powers 10^(e+n-1) down to P are the n digits of
// floor(r / P) (r < 10^n P), and after them its remainder is r - floor(r / P) P. A block
// finds q = floor(r / P) and subtracts q P once: the same digits and the same remainder.
//
// The blocks' powers 5^(BLOCK j) are met on the climb from the bottom and used from the
// top: the ladder keeps them (ladder.h).
struct Integer::LongPrint {
    LongPrint(const Integer& value, std::uint32_t capacity);

    // Builds 5^e up from e = 0 while 10^e <= r, keeping the blocks' powers in the ladder;
    // returns d, the number of digits.
    std::uint64_t climb();
    // Writes the n digits of q = floor(r / P), P = 10^e the current power, and takes q P
    // from r.
    void settleBlock(char* out, unsigned n, std::uint64_t e);
    // r -= times P, for times P <= r.
    void subtractTimes(std::uint64_t times, std::uint64_t e);
    // Writes the `digits` digits of r from the top block down, settling each block.
    void writeBlocks(char* out, std::uint64_t digits);

    // The remainder r: count words in use, with STEP_WORDS zero words above them for the
    // kept powers' zero words to be subtracted from.
    std::uint32_t remainderCount;
    std::uint64_t room;
    std::uint64_t remainderBits;
    Ladder ladder;
    // All the work areas below, and the ladder's stores, are carved from one array,
    // obtained before any digit is written.
    ScratchWords area;
    std::uint32_t* remainder;
    // The odd part of the power being built: count words in use of keptWords(length + 1),
    // the rest zero. 5^d <= 10^(d-1) * 10 <= 10 r < 16 r needs a word more than r at most.
    std::uint32_t* odd;
    std::uint32_t count = 1;
    // The current block's power, and 3 times it.
    printing::OddPart power{nullptr, 0};
    std::uint32_t* triple;
    // Whether the printing step's progress is recorded.
    bool watched = false;
    InterruptPacer pacer;
};

Integer::LongPrint::LongPrint(const Integer& value, std::uint32_t capacity)
    : remainderCount(value.length),
      room(std::uint64_t{value.length} + STEP_WORDS),
      remainderBits(kernels::bitLength(value.words, value.length)),
      ladder(remainderBits, capacity, printStoreLimit) {
    const std::uint64_t oddWords = keptWords(std::uint64_t{value.length} + 1);
    area.allocate(room + 2 * oddWords + STEP_WORDS + ladder.words());
    remainder = area.data();
    odd = remainder + room;
    triple = odd + oddWords;
    ladder.place(triple + oddWords + STEP_WORDS);
    std::memcpy(remainder, value.words, std::size_t{value.length} * sizeof(std::uint32_t));
    std::memset(remainder + value.length, 0, STEP_WORDS * sizeof(std::uint32_t));
    std::memset(odd, 0, oddWords * sizeof(std::uint32_t));
    odd[0] = 1;
}

std::uint64_t Integer::LongPrint::climb() {
    std::uint32_t* const five = odd;
    std::uint64_t exponent = ladder.startFromTable(remainder, remainderCount, five, count);
    for (;;) {
        // 10^k P < 2^(bits of P + 4k - 1) for k >= 2, and 10 P < 2^(bits of P + 4): while
        // that is at most r's top power of two, k steps are taken in one pass. Four steps
        // at a time never pass a multiple of BLOCK.
        const std::uint64_t bits = kernels::bitLength(five, count) + exponent;
        const unsigned steps = bits + 16 <= remainderBits ? 4 : bits + 8 <= remainderBits ? 2 : 1;
        if (steps == 1 &&
            kernels::compareShifted(remainder, remainderCount, five, count, exponent) < 0) {
            ladder.climbed();
            return exponent;
        }
        if (exponent % BLOCK == 0) ladder.keep(exponent / BLOCK, five, count);
        // steps * count words (steps is 1, 2 or 4), by a shift: no product of words here.
        if (pacer.pass(std::uint64_t{count} << (steps >> 1)) && watched)
            progress.fraction = climbWork(static_cast<double>(exponent)) / progress.span;
        const std::uint64_t out = steps == 4   ? kernels::timesFives<4>(five, count)
                                  : steps == 2 ? kernels::timesFives<2>(five, count)
                                               : kernels::timesFives<1>(five, count);
        if (out != 0) five[count++] = static_cast<std::uint32_t>(out);
        exponent += steps;
    }
}

// A short P's product is summed on registers (in non-adjacent form) and subtracted once.
// A long one's is taken in window form: 3P is built, then P and 3P shifted to each offset
// that has a negative digit are added, then those with a positive digit subtracted, so
// that the remainder never falls below where it ends.
void Integer::LongPrint::subtractTimes(std::uint64_t times, std::uint64_t e) {
    pacer.pass(std::uint64_t{BLOCK} * power.count);
    if (power.count <= SHORT_POWER) {
        std::uint32_t product[SHORT_POWER + 2];
        const std::uint32_t productCount = printing::wordsTimesRegister(
            product, power.words, power.count, kernels::nonAdjacentForm(times));
        if (productCount != 0) {
            remainderCount =
                kernels::subtractAtBits(remainder, remainderCount, product, productCount, e);
        }
        return;
    }
    const printing::WindowForm form = printing::windowForm(times);
    const auto kept = static_cast<std::uint32_t>(keptWords(power.count));
    // 3P = P + 2P, padded like P; it has a word more only when P fills its padding.
    const auto keptTriple = static_cast<std::uint32_t>(keptWords(power.count + 1));
    if ((form.plus[1] | form.minus[1]) != 0) {
        std::memcpy(triple, power.words, std::size_t{kept} * sizeof(std::uint32_t));
        std::memset(triple + kept, 0, (keptTriple - kept) * sizeof(std::uint32_t));
        const std::uint64_t out = kernels::addShiftedInto(triple, power.words, kept, 1);
        if (out != 0) triple[kept] = static_cast<std::uint32_t>(out);
    }
    const std::uint32_t* const multiple[2] = {power.words, triple};
    const std::uint32_t multipleWords[2] = {kept, keptTriple};
    std::uint64_t top = remainderCount;
    // P and 3P shifted to each offset given, added or subtracted, what runs out of them
    // settled in the words above.
    auto passes = [&]<bool subtract>(const std::uint64_t(&offsets)[2]) {
        for (unsigned which = 0; which < 2; ++which) {
            for (std::uint64_t bits = offsets[which]; bits != 0; bits &= bits - 1) {
                const std::uint64_t at = e + std::countr_zero(bits);
                const auto offset = static_cast<std::uint32_t>(at / 32);
                const std::uint32_t n = multipleWords[which];
                std::uint32_t* const from = remainder + offset;
                const std::uint64_t out =
                    kernels::combineShiftedInto<subtract>(from, multiple[which], n, at % 32);
                const auto above = static_cast<std::uint32_t>(room - offset - n);
                if constexpr (subtract) {
                    kernels::subtractBorrow(from + n, above, out);
                } else {
                    kernels::addCarry(from + n, above, out);
                    top = std::max<std::uint64_t>(top, offset + n);
                }
            }
        }
    };
    passes.template operator()<false>(form.minus);
    top = std::min(top + 1, room);  // a carry out of the highest word lands in the next
    passes.template operator()<true>(form.plus);
    remainderCount = kernels::significantWords(remainder, static_cast<std::uint32_t>(top));
}

// q is found from the top 64 bits of P (or all of them) and r's 128 bits from the same bit
// offset (blockFromWindows). Where those windows leave it open, q is the window number w
// or w - 1: w - 1 times P is subtracted, then P once more if it still fits, and the digits
// written from the windows are replaced by those of the q settled.
void Integer::LongPrint::settleBlock(char* out, unsigned n, std::uint64_t e) {
    const std::uint64_t powerBits = kernels::bitLength(power.words, power.count) + e;
    const std::uint64_t offset = powerBits > 64 ? powerBits - 64 : 0;
    const std::uint64_t pw = offset >= e ? bitsAt(power.words, power.count, offset - e)
                                         : bitsAt(power.words, power.count, 0) << (e - offset);
    const Wide rw = bitsAt(remainder, remainderCount, offset) |
                    static_cast<Wide>(bitsAt(remainder, remainderCount, offset + 64)) << 64;
    const Block found = printing::blockFromWindows(out, rw, pw, n, offset <= e);
    if (found.certain) {
        subtractTimes(found.value, e);
        return;
    }
    std::uint64_t value = found.value;  // at least 1 here
    subtractTimes(value - 1, e);
    if (kernels::compareShifted(remainder, remainderCount, power.words, power.count, e) >= 0) {
        remainderCount =
            kernels::subtractAtBits(remainder, remainderCount, power.words, power.count, e);
    } else {
        --value;
    }
    writeDigits(out, value, n - 1);
}

namespace {

// The count of digits of a magnitude longer than 64 bits where its bits settle it, else 0.
// r lies in [m 2^s, (m + 1) 2^s) for its top 64 bits m, so log10 r lies in a range of
// width below 2^-63; where no whole number falls in it (give or take the doubles' error,
// about 1e-5 for the longest magnitude), r has floor(log10 r) + 1 digits. Next to a power
// of ten only the climb can tell.
std::uint64_t digitsFromBits(const std::uint32_t* words, std::uint32_t length) {
    const std::uint64_t bits = kernels::bitLength(words, length);
    const std::uint64_t shift = bits - 64;
    const std::uint64_t top =
        (shift % 32 == 0 ? loadPair(words + shift / 32)
                         : (std::uint64_t{words[shift / 32 + 2]} << (64 - shift % 32)) |
                               (loadPair(words + shift / 32) >> (shift % 32)));
    const double exponent = static_cast<double>(shift) * 0.30102999566398119521;
    const double low = std::log10(static_cast<double>(top)) + exponent;
    const double whole = std::floor(low);
    if (low - whole < 1e-4 || whole + 1 - low < 1e-4) return 0;
    return static_cast<std::uint64_t>(whole) + 1;
}

}  // namespace

std::int32_t Integer::printLong(char* buffer, std::uint32_t capacity) const {
    // A text that surely cannot fit is refused before any work.
    if (static_cast<double>(highestBit()) * 0.30103 + 3 > capacity) {
        const std::uint64_t digits = digitsFromBits(words, length);
        const std::uint64_t needed = textBytes(digits, isNegative());
        if (digits != 0 && needed > capacity) return overflowNotice(buffer, capacity, needed);
    }
    LongPrint print(*this, capacity);
    // The digits are not known before the climb: the model takes the most the bits allow,
    // and the share is kept from falling short of the work done.
    const bool watched = length >= WATCHED_WORDS;
    const double mostDigits = static_cast<double>(print.remainderBits) * 0.30103 + 1;
    const double mostBlocks = (mostDigits - 1) / BLOCK;
    const Ladder::Layout layout = print.ladder.layout();
    const bool rebuilt = layout != Ladder::Layout::everyPower;
    const double climbTotal = climbWork(mostDigits);
    const ProgressStep step(watched ? Step::printing : Step::none,
                            climbTotal + (mostBlocks >= 1 ? blockWork(mostBlocks, 1, rebuilt) : 0));
    if (watched && step.owns()) {
        progress.next(progress.total);
        progress.phaseEnd = climbTotal / progress.total;
        progress.nextCost = blocksAgainstClimb;
        progress.costKind = layout == Ladder::Layout::everyPower    ? keptAll
                            : layout == Ladder::Layout::checkpoints ? fromCheckpoints
                                                                    : steppedDown;
    }
    print.watched = watched && step.owns();
    const std::uint64_t digits = print.climb();
    if (print.watched) {  // the climb counts in full, whatever the digits
        progress.base = climbTotal;
        progress.fraction = 0;
        ++progress.phase;
        progress.phaseEnd = 1;
        progress.nextCost = nullptr;
    }
    const std::uint64_t needed = textBytes(digits, isNegative());
    if (needed > capacity) return overflowNotice(buffer, capacity, needed);
    char* out = buffer;
    if (isNegative()) *out++ = '-';
    print.writeBlocks(out, digits);
    return 0;
}

// The top block holds 1 to BLOCK digits, every other block BLOCK; the last one, below
// 10^BLOCK < 2^64, is written on registers.
void Integer::LongPrint::writeBlocks(char* out, std::uint64_t digits) {
    const bool rebuilt = ladder.layout() != Ladder::Layout::everyPower;
    const std::uint64_t topBlock = (digits - 1) / BLOCK;
    for (std::uint64_t block = topBlock; block > 0; --block) {
        const std::uint64_t e = BLOCK * block;
        const auto n = static_cast<unsigned>(block == topBlock ? digits - e : BLOCK);
        if (remainderCount == 0) {  // every digit left is 0
            std::memset(out, '0', n + e);
            out[n + e] = '\0';
            return;
        }
        power = ladder.next(block, digits, {odd, count});
        settleBlock(out, n, e);
        out += n;
        if (watched) {
            progress.fraction =
                blockWork(static_cast<double>(topBlock), static_cast<double>(block), rebuilt) /
                progress.span;
        }
    }
    const auto n = static_cast<unsigned>(topBlock == 0 ? digits : BLOCK);
    // The words above the remainder's count are zero, and there are at least two words.
    *writeDigits(out, loadPair(remainder), n - 1) = '\0';
}

}  // namespace VELD
