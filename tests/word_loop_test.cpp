// The word loops under the arithmetic: the shifted addition of a product at every bit
// offset, the steps by ten against their bit recurrence, sums of a value with itself, the
// role choice, and interrupts that land in loops which obtain no storage.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "gmp_support.h"
#include "integer/integer.h"

namespace VELD {
namespace {

using testing::fromMpz;
using testing::isNormal;
using testing::power2;
using testing::toMpz;

// Every bit offset of the first three words, for multiplicands that fill whole words
// with ones (so each addition carries through all of them and beyond), a mixed one, and a
// driver bit alone or on top of a run of ones (so the additions overlap).
TEST(WordLoops, ShiftedAdditionAtEveryOffset) {
    const mpz_class multiplicands[] = {power2(32) - 1, power2(64) - 1, power2(96) - 1,
                                       power2(160) - 1, mpz_class("8000000180000001", 16)};
    for (const mpz_class& m : multiplicands) {
        for (unsigned p = 0; p < 96; ++p) {
            for (const mpz_class& driver :
                 {power2(p), mpz_class(power2(p + 1) - 1), mpz_class(power2(p + 64) + power2(p))}) {
                const Integer x = fromMpz(m), y = fromMpz(driver);
                const Integer product = magnitude::shiftAndAdd(x.view(), y.view());
                ASSERT_EQ(toMpz(product), m * driver) << m.get_str(16) << " p=" << p;
                ASSERT_TRUE(isNormal(product));
            }
        }
    }
}

// Drivers of about one run of the columns its set bits are found from and longer: a run
// ends at a word boundary, and every word on both sides of it is added at its place.
TEST(WordLoops, DriversAcrossRunsOfBitColumns) {
    std::mt19937 rng(1209);
    auto randomOf = [&rng](std::uint32_t words) {
        mpz_class x;
        for (std::uint32_t i = 0; i < words; ++i)
            x = (x << 32) + mpz_class(std::to_string(rng() | (i == 0 ? 1u : 0u)));
        return x;
    };
    for (const std::uint32_t words : {1023u, 1024u, 1025u, 2049u}) {
        for (const mpz_class& m : {randomOf(3), mpz_class(power2(9 * 32) - 1)}) {
            const mpz_class d = randomOf(words);
            const Integer product = magnitude::shiftAndAdd(fromMpz(m).view(), fromMpz(d).view());
            ASSERT_EQ(toMpz(product), m * d) << words;
            ASSERT_TRUE(isNormal(product));
        }
    }
}

// The quotient bits of x / 10 as the recurrence defines them, one bit a step: it is
// defined for any x, a multiple of ten or not.
std::vector<std::uint32_t> tenthsBitByBit(std::vector<std::uint32_t> x) {
    const std::size_t bits = 32 * x.size();
    auto bit = [&](std::size_t n) { return n < bits ? (x[n / 32] >> (n % 32)) & 1u : 0u; };
    unsigned carry = 0, previous = 0, beforePrevious = 0;
    for (std::size_t n = 0; n < bits; ++n) {
        const unsigned y = bit(n + 1) ^ beforePrevious ^ carry;
        carry = (y & beforePrevious) | (y & carry) | (beforePrevious & carry);
        x[n / 32] = (x[n / 32] & ~(1u << (n % 32))) | (y << (n % 32));
        beforePrevious = previous;
        previous = y;
    }
    return x;
}

TEST(WordLoops, DivideByTenFollowsTheRecurrence) {
    std::mt19937 rng(1207);
    for (int round = 0; round < 3000; ++round) {
        std::vector<std::uint32_t> words(1 + rng() % 9);
        for (auto& word : words) {
            switch (rng() % 4) {
                case 0:
                    word = 0;
                    break;  // low zero words are skipped
                case 1:
                    word = 0xFFFFFFFFu;
                    break;
                default:
                    word = static_cast<std::uint32_t>(rng());
            }
        }
        if (round % 3 == 0) words[0] &= ~0u << (rng() % 32);  // trailing zeros inside a word
        words.back() |= 1u << (rng() % 32);
        Integer x =
            Integer::fromWords(words.data(), static_cast<std::uint32_t>(words.size()), false);
        std::vector<std::uint32_t> expected = tenthsBitByBit(words);
        const Integer y =
            Integer::fromWords(expected.data(), static_cast<std::uint32_t>(expected.size()), false);
        x.divideByTen();
        ASSERT_EQ(x, y) << toMpz(Integer::fromWords(
                                     words.data(), static_cast<std::uint32_t>(words.size()), false))
                               .get_str(16);
        ASSERT_TRUE(isNormal(x));
    }
}

// In-place sums and differences of a value with itself, at the top of a word and across
// sign changes.
TEST(WordLoops, InPlaceSumsWithItself) {
    const mpz_class values[] = {
        1, power2(31), power2(32) - 1, power2(64) - 1, power2(95) + 7, -power2(64) + 1};
    for (const mpz_class& v : values) {
        Integer twice = fromMpz(v);
        twice += twice;
        ASSERT_EQ(toMpz(twice), 2 * v) << v.get_str();
        Integer none = fromMpz(v);
        const Integer& itself = none;  // named apart, so that no compiler takes it for a slip
        none -= itself;
        ASSERT_TRUE(none.isZero() && isNormal(none)) << v.get_str();
        Integer flipped = fromMpz(v);
        flipped -= fromMpz(2 * v);
        ASSERT_EQ(toMpz(flipped), -v) << v.get_str();
        ASSERT_TRUE(isNormal(flipped));
    }
}

// The operand with no more clear bits, counted over whole words, is the multiplicand; a
// tie keeps the left one.
TEST(WordLoops, RoleChoice) {
    const std::uint32_t threeWords[] = {0xFFFFFFFFu, 0xFFFFFFFFu, 1};  // 31 clear bits
    const Integer a = Integer::fromWords(threeWords, 3, false);
    const Integer b(0xFFFF);      // 16 clear
    const Integer c(0x7FFFFFFF);  // 1 clear
    const Integer twoWords = a - Integer(0x7FFFFFFF) - Integer(0x7FFFFFFF);
    const Integer one(1);
    EXPECT_FALSE(magnitude::isMultiplicand(a.view(), b.view()));
    EXPECT_TRUE(magnitude::isMultiplicand(b.view(), a.view()));
    EXPECT_TRUE(magnitude::isMultiplicand(c.view(), b.view()));
    EXPECT_TRUE(magnitude::isMultiplicand(one.view(), one.view()));
    EXPECT_FALSE(magnitude::isMultiplicand(twoWords.view(), c.view()));
}

// A long computation that obtains no storage while it runs still tests the flag as it
// runs: each test finds a tick, whose hook counts it and asks for the next, and the eighth
// finds an interrupt, which must end the work with the interrupt message rather than let
// it run to its end. That is more tests than the work's few allocations make, so the
// interrupt lands in its loop, at any speed.
void expectInterrupted(const char* label, const std::function<void()>& work) {
    static int tests;
    tests = 0;
    tickHook = [] { interruptRequested = ++tests < 8 ? TICK_DUE : INTERRUPT_DUE; };
    interruptRequested = TICK_DUE;
    const char* message = nullptr;
    try {
        work();
    } catch (const Exception& fault) {
        message = fault.getMessage();
    }
    tickHook = nullptr;
    interruptRequested = 0;
    ASSERT_NE(message, nullptr) << label << " ran to its end";
    EXPECT_STREQ(message, COMPUTATION_INTERRUPTED) << label;
}

Integer randomWords(std::uint32_t count, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint32_t> words(count);
    for (auto& word : words)
        word = static_cast<std::uint32_t>(rng());
    words.back() |= 1;
    return Integer::fromWords(words.data(), count, false);
}

TEST(WordLoops, InterruptLandsInLoopsWithoutAllocation) {
    const Integer a = randomWords(40000, 1), b = randomWords(40000, 2);
    expectInterrupted("a product", [&] { (void)(a * b); });
    const Integer dividend = randomWords(80000, 3), divisor = randomWords(40000, 4);
    expectInterrupted("a division", [&] {
        Integer quotient(dividend);
        (void)quotient.integerDivision(divisor);
    });
    // The steps by ten test the flag on every call (reading a numeral makes one per digit).
    Integer power = fromMpz(power2(100));
    power.multiplyByTen();
    interruptRequested = INTERRUPT_DUE;
    EXPECT_THROW(power.divideByTen(), Exception);
    EXPECT_EQ(interruptRequested, 0);  // taken by the computation that acted on it
    interruptRequested = INTERRUPT_DUE;
    EXPECT_THROW(power.multiplyByTen(), Exception);
}

// A base of 0, 1 or -1 lets an exponent of any length through. It is read a bit at a time,
// its parity from the lowest word, and an interrupt ends a long one like any other loop.
TEST(WordLoops, PowersOfZeroAndOneTakeExponentsOfAnyLength) {
    const Integer zero(0), one(1), minusOne(-1);
    const Integer huge = fromMpz(power2(400000));
    const Integer hugeOdd = huge + one;
    const Integer twoWordsOdd = fromMpz(power2(32) + 1);
    for (const Integer* exponent : {&huge, &hugeOdd, &twoWordsOdd}) {
        EXPECT_EQ(zero.power(*exponent), zero);
        EXPECT_EQ(one.power(*exponent), one);
        EXPECT_EQ(minusOne.power(*exponent), exponent->isOdd() ? minusOne : one);
        Integer negative(*exponent);
        negative.negate();
        EXPECT_EQ(minusOne.power(negative), one);  // a negative exponent gives 1
    }
    EXPECT_EQ(zero.power(zero), one);
    // A base of 1 or -1 is answered from the exponent's lowest bit; one of 0 steps through
    // the exponent's bits, and can be interrupted there.
    const Integer longer = fromMpz(power2(20000000) + 1);
    EXPECT_EQ(minusOne.power(longer), minusOne);
    expectInterrupted("a power", [&] { (void)zero.power(longer); });
}

}  // namespace
}  // namespace VELD

namespace VELD {
namespace {

int ticksServed = 0;

// Ticks found while long loops run are served between their steps (the hook is called,
// and here asks for the next, forty times), and the work goes on to its exact result; an
// interrupt that comes after them still ends the work.
TEST(WordLoops, TicksAreServedAndTheWorkGoesOn) {
    const Integer a = randomWords(2000, 5), b = randomWords(2000, 6);
    const Integer expected = a * b;
    ticksServed = 0;
    tickHook = [] {
        if (++ticksServed < 40) interruptRequested = TICK_DUE;
    };
    interruptRequested = TICK_DUE;
    const Integer product = a * b;
    EXPECT_EQ(product, expected);
    EXPECT_EQ(ticksServed, 40);
    interruptRequested = TICK_DUE;
    checkInterrupt();
    EXPECT_EQ(interruptRequested, 0);
    interruptRequested = INTERRUPT_DUE;
    EXPECT_THROW(checkInterrupt(), Exception);
    EXPECT_EQ(interruptRequested, 0);
    tickHook = nullptr;
}

}  // namespace
}  // namespace VELD
