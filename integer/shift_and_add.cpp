// Products by shift-and-add: which operand drives, and the additions, one per set bit of
// the driver, on words.
#include <bit>
#include <cstring>

#include "integer/integer.h"
#include "integer/kernels.h"
#include "integer/magnitude.h"
#include "integer/progress.h"
#include "integer/small_values.h"

namespace VELD::magnitude {

// True when a has no more clear bits than b, counted over whole words (the leading zeros
// of the top word included). The two counts are built up in lock step, two words at a
// time, always extending the smaller one, so neither is counted far past the other's
// total; what that gives is the comparison of the two totals.
bool isMultiplicand(Magnitude a, Magnitude b) {
    if (a.words == b.words) return true;         // a square: the counts tie
    if (a.fitsRegister() && b.fitsRegister()) {  // each at most one chunk: counted at once
        return 32 * a.length - kernels::setBits64(a.value()) <=
               32 * b.length - kernels::setBits64(b.value());
    }
    const std::uint32_t* aWords = a.words;
    const std::uint32_t* bWords = b.words;
    std::uint64_t aClear = 0, bClear = 0;
    std::uint32_t aSeen = 0, bSeen = 0;
    // The clear bits of the next two words, or of the last one: 64-bit chunks where they can.
    auto clearOfNext = [](const std::uint32_t* w, std::uint32_t n, std::uint32_t& seen) {
        if (seen + 1 < n) {
            const std::uint64_t chunk = loadPair(w + seen);
            seen += 2;
            return 64 - kernels::setBits64(chunk);
        }
        return 32 - kernels::setBits(w[seen++]);
    };
    for (;;) {
        if (aClear <= bClear) {
            if (aSeen == a.length) return true;
            aClear += clearOfNext(aWords, a.length, aSeen);
        } else {
            if (bSeen == b.length) return false;
            bClear += clearOfNext(bWords, b.length, bSeen);
        }
    }
}

namespace {

using kernels::Wide;

// The set bits of a magnitude (1 for zero, so that shares of them can be taken).
std::uint64_t setBitsOf(Magnitude x) {
    std::uint64_t bits = 0;
    for (std::uint32_t i = 0; i < x.length; ++i)
        bits += kernels::setBits(x.words[i]);
    return bits == 0 ? 1 : bits;
}

// sum[0..total) += chunk * driver, for a multiplicand of one 64-bit chunk: for each word of
// the driver, chunk << p for its set bits p is summed on a pair of registers, and the
// 96-bit sum added in at once. Kept out of line: inlined, its inner loop is compiled
// longer.
[[gnu::noinline]] void addRegisterTimesWords(std::uint32_t* sum, std::uint32_t total,
                                             std::uint64_t chunk, const std::uint32_t* driver,
                                             std::uint32_t length) {
    InterruptPacer pacer(2);
    // chunk << p for every p a driver word's bit can give, made once for all the words: a
    // shift by a register takes several times the work of a load.
    Wide shifted[32];
    for (unsigned p = 0; p < 32; ++p)
        shifted[p] = static_cast<Wide>(chunk) << p;
    for (std::uint32_t i = 0; i < length; ++i) {
        if (pacer.step()) progress.fraction = static_cast<double>(i) / length;
        if (driver[i] == 0) continue;
        Wide product = 0;
        for (std::uint32_t bits = driver[i]; bits != 0; bits &= bits - 1)
            product += shifted[std::countr_zero(bits)];
        kernels::addWide(sum + i, total - i, static_cast<std::uint64_t>(product),
                         static_cast<std::uint64_t>(product >> 64));
    }
}

// 32 words as a square of bits, turned about its diagonal: afterwards bit j of word s is
// what bit s of word j was. Blocks of 16, 8, 4, 2 and 1 bits off the diagonal are swapped
// in turn.
void transpose(std::uint32_t a[32]) {
    std::uint32_t mask = 0x0000FFFFu;
    for (unsigned j = 16; j != 0; j >>= 1, mask ^= mask << j) {
        for (unsigned k = 0; k < 32; k = (k + j + 1) & ~j) {
            const std::uint32_t t = ((a[k] >> j) ^ a[k + j]) & mask;
            a[k + j] ^= t;
            a[k] ^= t << j;
        }
    }
}

// A run of driver words by bit position: column[s][b] holds bit s of words 32b to
// 32b + 31 of the run, so that the words with a given bit set are found from its set bits
// rather than by testing every word (a branch that goes either way at random).
struct BitColumns {
    static constexpr std::uint32_t WORDS = 1024;

    // Takes the first WORDS words of d[0..n) at most; returns the number of 32-word blocks.
    std::uint32_t take(const std::uint32_t* d, std::uint32_t n) {
        n = n < WORDS ? n : WORDS;
        const std::uint32_t blocks = (n + 31) / 32;
        std::memset(sharing, 0, sizeof sharing);
        for (std::uint32_t b = 0; b < blocks; ++b) {
            std::uint32_t square[32] = {};
            const std::uint32_t words = n - 32 * b < 32 ? n - 32 * b : 32;
            std::memcpy(square, d + 32 * b, words * sizeof(std::uint32_t));
            transpose(square);
            for (unsigned s = 0; s < 32; ++s) {
                column[s][b] = square[s];
                sharing[s] += kernels::setBits(square[s]);
            }
        }
        return blocks;
    }

    std::uint32_t column[32][WORDS / 32];
    std::uint32_t sharing[32];  // set bits of the run with each shift
};

// sum[0..total) += multiplicand * driver, total = the two lengths and a word more, for a
// multiplicand of three words or more: the additions of shiftAndAdd, by the driver's bit
// columns.
void addShiftedCopies(std::uint32_t* sum, Magnitude multiplicand, Magnitude driver) {
    const std::uint32_t count = multiplicand.length;
    const std::uint32_t total = count + driver.length + 1;
    const std::uint32_t* const source = multiplicand.words;
    InterruptPacer pacer(count);
    // How far the product has come: the additions made (as the pacer counts them), of one
    // for each set bit of the driver, reckoned only when someone looks (a span is given).
    const double perAddition = progress.span > 0 ? 1.0 / setBitsOf(driver) : 0;
    BitColumns columns;
    ScratchWords shifted;  // the multiplicand shifted, count + 1 words, made when first needed
    for (std::uint32_t base = 0; base < driver.length; base += BitColumns::WORDS) {
        const std::uint32_t blocks = columns.take(driver.words + base, driver.length - base);
        for (unsigned shift = 0; shift < 32; ++shift) {
            if (columns.sharing[shift] == 0) continue;
            const bool copied = shift != 0 && columns.sharing[shift] > 1;
            if (copied) {
                if (shifted.empty()) shifted.allocate(std::uint64_t{count} + 1);
                kernels::copyShifted(shifted.data(), source, count, shift);
            }
            for (std::uint32_t block = 0; block < blocks; ++block) {
                for (std::uint32_t bits = columns.column[shift][block]; bits != 0;
                     bits &= bits - 1) {
                    const std::uint32_t i = base + 32 * block + std::countr_zero(bits);
                    if (pacer.step()) progress.fraction = pacer.steps() * perAddition;
                    std::uint64_t out;
                    std::uint32_t n = count;
                    if (shift == 0) {
                        out = kernels::addInto(sum + i, source, count);
                    } else if (copied) {
                        out = kernels::addInto(sum + i, shifted.data(), ++n);
                    } else {
                        out = kernels::addShiftedInto(sum + i, source, count, shift);
                    }
                    kernels::addCarry(sum + i + n, total - i - n, out);
                }
            }
        }
    }
}

}  // namespace

// For each set bit p of the driver, |multiplicand| * 2^p is added into the accumulator, at
// word p / 32 with only the carry running on above. The additions are taken by the shift
// p mod 32: where several set bits share a shift, one copy of the multiplicand shifted by
// it serves them all, so that their additions run over aligned words; a lone one is added
// shifted on the fly. The driver is taken a run of words at a time, turned into columns of
// bits by shift. The accumulator is sized once for the whole product (and a word more, so that a
// multiplicand of one 64-bit chunk can always be added as 96 bits), so no addition allocates.
// Operands of 64 bits at most take the same steps on registers.
Integer shiftAndAdd(Magnitude multiplicand, Magnitude driver) {
    if (multiplicand.isZero() || driver.isZero()) return Integer();
    // With a multiplicand of 1, the additions of 2^p for the set bits p of the driver are of
    // distinct bits and never carry: together they write the driver's words. A driver of 1
    // adds the multiplicand once, at bit 0. Either way the sum is a copy.
    if (multiplicand.isOne() || driver.isOne()) {
        return copy(multiplicand.isOne() ? driver : multiplicand);
    }
    if (multiplicand.fitsRegister() && driver.fitsRegister()) {
        return small::product(multiplicand.value(), driver.value());
    }
    const std::uint32_t count = multiplicand.length;
    Integer accumulator;
    // Counted 64 bits wide: a length no Integer can hold is refused, not wrapped.
    std::uint32_t* const sum =
        MagnitudeStorage::reserve(accumulator, std::uint64_t{count} + driver.length + 1);
    const std::uint32_t total = count + driver.length + 1;
    std::memset(sum, 0, std::size_t{total} * sizeof(std::uint32_t));
    if (count <= 2) {
        addRegisterTimesWords(sum, total, multiplicand.value(), driver.words, driver.length);
    } else {
        addShiftedCopies(sum, multiplicand, driver);
    }
    MagnitudeStorage::settle(accumulator, total);
    return accumulator;
}

}  // namespace VELD::magnitude
