#include "integer/ladder.h"

#include <array>
#include <cstddef>
#include <cstring>

#include "integer/kernels.h"

namespace VELD::printing {

namespace {

// Words of a kept power of at most `fiveBits` bits, with its count.
constexpr std::uint64_t slot(std::uint64_t fiveBits) {
    return keptWords((fiveBits >> 5) + 1) + 1;
}

// The first blocks' powers 5^(BLOCK j), j below TABLE_BLOCKS (values of up to 1,024
// digits), built once, at compile time, by steps of five (5v = 4v + v), and laid out as
// the store keeps them. `end[j]` is where the powers below j end.
constexpr unsigned TABLE_BLOCKS = 64;
constexpr std::size_t TABLE_WORDS = [] {
    std::size_t total = 0;
    for (std::uint64_t j = 0, fiveBits = 32; j < TABLE_BLOCKS; ++j, fiveBits += 38)
        total += slot(fiveBits);
    return total;
}();
struct PowerTable {
    std::array<std::uint32_t, TABLE_WORDS> words{};
    std::array<std::uint64_t, TABLE_BLOCKS + 1> end{};

    const std::uint32_t* power(unsigned j) const { return words.data() + end[j]; }
    std::uint32_t count(unsigned j) const { return words[end[j + 1] - 1]; }
};
constexpr PowerTable POWER_TABLE = [] {
    PowerTable table;
    std::array<std::uint32_t, TABLE_WORDS> five{};
    five[0] = 1;
    std::uint32_t count = 1;
    std::uint64_t used = 0;
    for (unsigned j = 0; j < TABLE_BLOCKS; ++j) {
        const std::uint64_t kept = keptWords(count);
        for (std::uint32_t i = 0; i < count; ++i)
            table.words[used + i] = five[i];
        table.words[used + kept] = count;
        used += kept + 1;
        table.end[j + 1] = used;
        for (unsigned step = 0; step < BLOCK; ++step) {
            std::uint64_t carry = 0;
            for (std::uint32_t i = 0; i < count; ++i) {
                const std::uint64_t sum = (std::uint64_t{five[i]} << 2) + five[i] + carry;
                five[i] = static_cast<std::uint32_t>(sum);
                carry = sum >> 32;
            }
            if (carry != 0) five[count++] = static_cast<std::uint32_t>(carry);
        }
    }
    return table;
}();

// Appends the odd part five[0..count) to a store at `used`, padded, with its count.
void push(std::uint32_t* store, std::uint64_t& used, const std::uint32_t* five,
          std::uint32_t count) {
    const std::uint64_t kept = keptWords(count);
    std::uint32_t* const at = store + used;
    std::memcpy(at, five, std::size_t{count} * sizeof(std::uint32_t));
    std::memset(at + count, 0, (kept - count) * sizeof(std::uint32_t));
    at[kept] = count;
    used += kept + 1;
}

// Takes the last power from a store.
OddPart pop(std::uint32_t* store, std::uint64_t& used) {
    const std::uint32_t count = store[used - 1];
    used -= keptWords(count) + 1;
    return {store + used, count};
}

}  // namespace

// Block j's power 5^(BLOCK j) is used when 10^(BLOCK j) <= r, so below 2^bits, and its
// digits are within the capacity. 10^16 is at least 2^53 and 5^16 below 2^38, so
// 10^(BLOCK j) has at least 53j bits and 5^(BLOCK j) at most 38j: j below `blocks`. Every
// power is kept when they fit `limit`. Otherwise S, the blocks a stretch holds, is the
// least whole number with 2 ((S + 1)^2 - 1) >= blocks (the loop keeps (S + 1)^2 - 1 as a
// sum of odd numbers, 3 + 5 + ... + (2S + 1)): about sqrt(blocks / 2), where the
// checkpoints, blocks / S powers of half the top one's size on the average, and the
// stretch, S powers of the top one's size, take the least store together.
Ladder::Ladder(std::uint64_t bits, std::uint32_t capacity, std::uint64_t limit)
    : capacity(capacity) {
    std::uint64_t blocks = 0, all = 0, topBits = 32;
    for (std::uint64_t exponent = 0, tenBits = 0; exponent < capacity && tenBits < bits;
         exponent += BLOCK, tenBits += 53, topBits += 38) {
        all += slot(topBits);
        ++blocks;
    }
    if (blocks == 0) return;
    topBits -= 38;
    if (all <= limit) {
        kind = Layout::everyPower;
        stretch = blocks;
        checkpointWords = slot(32);
        stretchWords = all;
        return;
    }
    for (std::uint64_t square = 0; square + square < blocks; square += 2 * stretch + 1)
        ++stretch;
    // The stretch holds S powers of the top one's size at most; a checkpoint is kept at
    // blocks 0, S, 2S, ...
    for (std::uint64_t j = 0, fiveBits = 32, since = 0; j < blocks; ++j, fiveBits += 38) {
        if (j < stretch) stretchWords += slot(topBits);
        if (since == 0) checkpointWords += slot(fiveBits);
        if (++since == stretch) since = 0;
    }
    if (checkpointWords + stretchWords > limit) {
        stretch = checkpointWords = stretchWords = 0;
        return;
    }
    kind = Layout::checkpoints;
}

std::uint64_t Ladder::startFromTable(const std::uint32_t* remainder, std::uint32_t remainderCount,
                                     std::uint32_t* odd, std::uint32_t& count) {
    if (kind != Layout::everyPower) return 0;
    unsigned top = 0;
    while (top + 1 < TABLE_BLOCKS && BLOCK * (top + 1) < capacity &&
           kernels::compareShifted(remainder, remainderCount, POWER_TABLE.power(top + 1),
                                   POWER_TABLE.count(top + 1), BLOCK * (top + 1)) >= 0)
        ++top;
    if (top == 0) return 0;
    push(checkpoints, checkpointsUsed, POWER_TABLE.power(0), POWER_TABLE.count(0));
    std::memcpy(store, POWER_TABLE.power(0), POWER_TABLE.end[top] * sizeof(std::uint32_t));
    stored = POWER_TABLE.end[top];
    count = POWER_TABLE.count(top);
    std::memcpy(odd, POWER_TABLE.power(top), std::size_t{count} * sizeof(std::uint32_t));
    return BLOCK * top;
}

void Ladder::keep(std::uint64_t j, const std::uint32_t* odd, std::uint32_t count) {
    if (kind == Layout::steppedDown || BLOCK * j >= capacity) return;
    if (j == stretchBase + stretch || j == 0) {
        push(checkpoints, checkpointsUsed, odd, count);
        stretchBase = j;
        stored = 0;
    }
    push(store, stored, odd, count);
}

void Ladder::climbed() {
    if (kind != Layout::steppedDown) pop(checkpoints, checkpointsUsed);
}

void Ladder::rebuildStretch(std::uint64_t top, std::uint32_t* five) {
    const OddPart from = pop(checkpoints, checkpointsUsed);
    std::uint32_t count = from.count;
    std::memcpy(five, from.words, std::size_t{count} * sizeof(std::uint32_t));
    stored = 0;
    stretchBase -= stretch;
    for (std::uint64_t j = stretchBase;; ++j) {
        push(store, stored, five, count);
        if (j == top) return;
        for (unsigned pass = 0; pass < BLOCK / 4; ++pass) {
            pacer.pass(std::uint64_t{4} * count);
            const std::uint64_t out = kernels::timesFives<4>(five, count);
            if (out != 0) five[count++] = static_cast<std::uint32_t>(out);
        }
    }
}

OddPart Ladder::next(std::uint64_t block, std::uint64_t digits, OddPart odd) {
    if (kind != Layout::steppedDown) {
        if (stored == 0) rebuildStretch(block, odd.words);
        return pop(store, stored);
    }
    const bool top = power.words == nullptr;
    if (top) power = odd;
    std::uint64_t steps = top ? digits - BLOCK * block : BLOCK;
    for (; steps >= 4; steps -= 4) {
        pacer.pass(std::uint64_t{4} * power.count);
        power.count = kernels::exactFifths<4>(power.words, power.count);
    }
    for (; steps > 0; --steps)
        power.count = kernels::exactFifths<1>(power.words, power.count);
    return power;
}

}  // namespace VELD::printing
