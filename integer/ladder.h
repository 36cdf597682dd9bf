// The ladder of powers of ten that print climbs to the top of a value and then comes down
// block by block (printing.cpp). The blocks' powers 10^(BLOCK j), held as their odd parts
// 5^(BLOCK j), are met on the climb from the bottom and used from the top, so the ladder
// keeps them, in one of three layouts by the store it may take:
//
//   everyPower   all of them, as the climb meets them (and the first ones from a table
//                built at compile time);
//   checkpoints  every S-th as a checkpoint, and one stretch of S powers: when the blocks
//                come down below the stretch, the one under it is built up again from its
//                checkpoint, by the climb's steps of five; the top stretch is the one the
//                climb ends with;
//   steppedDown  none: the odd part the climb ended with is divided by five down to the
//                top block's power, then by 5^BLOCK from block to block (exact quotients).
//
// A kept power is padded with zero words to whole steps of the shifted subtraction
// (keptWords) and followed by its count of words.
#pragma once

#include <cstdint>

#include "integer/kernels.h"
#include "integer/register_digits.h"

namespace VELD::printing {

// Words a power is kept in: its count rounded up to whole four-chunk steps of the shifted
// subtraction, the words above it zero, so that no subtraction of it has a ragged end.
inline constexpr std::uint32_t STEP_WORDS = 8;
constexpr std::uint64_t keptWords(std::uint64_t count) {
    return (count + STEP_WORDS - 1) / STEP_WORDS * STEP_WORDS;
}

// An odd part 5^e: its words (padded to keptWords) and its count of them.
struct OddPart {
    std::uint32_t* words;
    std::uint32_t count;
};

class Ladder {
public:
    enum class Layout { everyPower, checkpoints, steppedDown };

    // The ladder for a remainder of `bits` bits and a text of `capacity` characters at
    // most, its stores within `limit` words.
    Ladder(std::uint64_t bits, std::uint32_t capacity, std::uint64_t limit);

    Layout layout() const { return kind; }
    // The words its stores take, and where they are: given by the print, carved from its
    // work area.
    std::uint64_t words() const { return checkpointWords + stretchWords; }
    void place(std::uint32_t* area) {
        checkpoints = area;
        store = area + checkpointWords;
    }

    // With every power kept, the climb starts from the table: the powers below the highest
    // one in it with 10^(BLOCK j) <= r (and within the capacity) are copied to the store,
    // and that one to `odd`. Returns the exponent the climb goes on from (0 without).
    std::uint64_t startFromTable(const std::uint32_t* remainder, std::uint32_t remainderCount,
                                 std::uint32_t* odd, std::uint32_t& count);
    // The climb has reached 5^e, e = BLOCK j: kept where the layout keeps it (the blocks
    // come in order from 0).
    void keep(std::uint64_t j, const std::uint32_t* odd, std::uint32_t count);
    // The climb has ended: the top stretch is in the store, and its checkpoint is not
    // needed again.
    void climbed();
    // The power of the next block down, `block`, for a value of `digits` digits: taken from
    // the store, after the stretch below is built again from its checkpoint; or, stepped
    // down, made from `odd` (the climb's last odd part) in place.
    OddPart next(std::uint64_t block, std::uint64_t digits, OddPart odd);

private:
    // Builds the stretch of powers from the last checkpoint up to block `top`'s, in `five`
    // (the climb's work area, keptWords of the longest power).
    void rebuildStretch(std::uint64_t top, std::uint32_t* five);

    Layout kind = Layout::steppedDown;
    std::uint32_t capacity;
    std::uint64_t stretch = 0;  // blocks per stretch; every block for everyPower
    std::uint64_t checkpointWords = 0, stretchWords = 0;
    std::uint32_t* checkpoints = nullptr;
    std::uint64_t checkpointsUsed = 0;
    std::uint32_t* store = nullptr;
    std::uint64_t stored = 0;
    std::uint64_t stretchBase = 0;  // the block of the stretch's first power
    OddPart power{nullptr, 0};      // stepped down: the last block's power
    InterruptPacer pacer;
};

}  // namespace VELD::printing
