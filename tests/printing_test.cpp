// Long values are printed sixteen digits at a time: each block's digits are read from the
// top words of the remainder and of the block's power of ten, and checked in full where
// those words leave them open. Values built to sit on either side of a block's multiples
// of its power, and every length across several blocks, are checked against GMP.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gmp_support.h"
#include "integer/integer.h"

namespace VELD {
namespace {

using testing::fromMpz;

mpz_class tenTo(unsigned long exponent) {
    mpz_class result;
    mpz_ui_pow_ui(result.get_mpz_t(), 10, exponent);
    return result;
}

// Prints `value` and its negation with room to spare, and compares both with GMP.
void expectPrintsAsGmp(const mpz_class& value, const char* what) {
    const std::string expected = value.get_str();
    std::vector<char> buffer(expected.size() + 3);
    const auto capacity = static_cast<std::uint32_t>(buffer.size());
    ASSERT_EQ(fromMpz(value).print(buffer.data(), capacity), 0) << what;
    ASSERT_EQ(std::string(buffer.data()), expected) << what << " " << expected.size();
    ASSERT_EQ(fromMpz(-value).print(buffer.data(), capacity), 0) << what;
    ASSERT_EQ(std::string(buffer.data()), "-" + expected) << what;
}

// For every length from one block and a bit to about 45 blocks, and each block's power of
// ten P: values a little above and a little below multiples c * P. Just above, the top words
// cannot tell c * P <= r; just below, they take r for c * P and the digits are rewritten.
// The block number c ranges over its extremes (1, all nines, a lone high digit) and random
// values, and the top block over every length it can have.
TEST(Printing, BlocksEitherSideOfEveryMultipleOfTheirPower) {
    gmp_randclass random(gmp_randinit_default);
    random.seed(20261207);
    for (unsigned digits = 17; digits <= 720; digits += digits < 120 ? 1 : 37) {
        const mpz_class top = tenTo(digits);
        expectPrintsAsGmp(top / 10, "lowest of its length");
        expectPrintsAsGmp(top - 1, "all nines");
        expectPrintsAsGmp(top / 10 + random.get_z_range(top - top / 10), "random");
        for (unsigned exponent = 16; exponent < digits; exponent += 16) {
            const mpz_class power = tenTo(exponent);
            const mpz_class room = top / power;  // block numbers reach below this
            for (const mpz_class& c :
                 {mpz_class(1), mpz_class(room - 1), mpz_class(room / 10),
                  mpz_class(7 * (room / 10) + 3), mpz_class(random.get_z_range(room - 1) + 1)}) {
                for (const mpz_class& value :
                     {mpz_class(c * power), mpz_class(c * power + 1), mpz_class(c * power - 1),
                      mpz_class(c * power + random.get_z_range(power)),
                      mpz_class(c * power + power / 3)}) {
                    if (value >= top / 10 && value < top) expectPrintsAsGmp(value, "near c * P");
                }
            }
        }
    }
}

// Long runs of zeros and nines inside a value, where the remainder's top words are all
// zero or all ones at the block's offset.
TEST(Printing, RunsOfZerosAndNines) {
    gmp_randclass random(gmp_randinit_default);
    random.seed(7);
    for (unsigned run = 1; run <= 80; ++run) {
        for (unsigned at = 0; at < 200; at += 13) {
            const mpz_class head = random.get_z_range(tenTo(20)) + 1;
            const mpz_class tail = random.get_z_range(tenTo(at));
            const mpz_class zeros = head * tenTo(run + at) + tail;
            const mpz_class nines = (head * tenTo(run) + tenTo(run) - 1) * tenTo(at) + tail;
            expectPrintsAsGmp(zeros, "zeros");
            expectPrintsAsGmp(nines, "nines");
        }
    }
}

// The three ways print keeps its powers of ten, reached with short values by lowering its
// store: every power kept; checkpoints, with each stretch of powers built again from one
// (the first and last block of a stretch, and a top stretch of every length, as d goes
// through 16 residues and several stretches); and none, the highest power stepped down.
TEST(Printing, EveryLayoutOfTheKeptPowers) {
    gmp_randclass random(gmp_randinit_default);
    random.seed(11);
    const std::uint64_t saved = Integer::printStoreLimit;
    for (const std::uint64_t limit : {saved, std::uint64_t{3000}, std::uint64_t{300}}) {
        Integer::printStoreLimit = limit;
        for (unsigned digits = 1201; digits <= 1201 + 16 * 9; digits += digits < 1216 ? 1 : 16) {
            const mpz_class lowest = tenTo(digits - 1);
            expectPrintsAsGmp(lowest + random.get_z_range(9 * lowest), "random");
        }
        expectPrintsAsGmp(tenTo(1500) - 1, "all nines");
        expectPrintsAsGmp(tenTo(1500), "a power of ten");
        expectPrintsAsGmp(tenTo(1500) + 1, "just above");
    }
    Integer::printStoreLimit = saved;
}

// Counting digits and printing into a capacity too small: the count is still exact, also
// where the bits alone settle it before any work, and next to powers of ten, where they
// do not, and for either sign.
TEST(Printing, ShortfallOfLongValues) {
    std::vector<mpz_class> values;
    for (unsigned digits : {64u, 100u, 1000u, 9031u, 40000u}) {
        for (const int near : {-1, 0, 1})
            values.push_back(tenTo(digits) + near);
        values.push_back(tenTo(digits) * 7 / 3);
    }
    for (unsigned long bits : {3322ul, 3323ul, 33220ul, 132877ul})
        values.push_back(testing::power2(bits) - 1);
    for (const mpz_class& value : values) {
        const auto digits = static_cast<std::int32_t>(value.get_str().size());
        for (const int sign : {1, -1}) {
            char buffer[64];
            EXPECT_EQ(fromMpz(sign * value).print(buffer, sizeof buffer),
                      digits + (sign < 0 ? 2 : 1) - static_cast<std::int32_t>(sizeof buffer))
                << digits << " digits, sign " << sign;
            EXPECT_STREQ(buffer, "Printing overflow!") << digits;
        }
    }
}

}  // namespace
}  // namespace VELD
