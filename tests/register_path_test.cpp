// Magnitudes of 64 bits are worked on registers, longer ones in words: both ways must agree
// on boundary values, and with GMP. The words take over when an operand is shifted up by
// 2^128, whose effect each identity then takes off again.
#include <gtest/gtest.h>

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

std::vector<mpz_class> boundaryValues() {
    std::vector<mpz_class> values;
    const mpz_class tenToThe19("10000000000000000000");
    for (const mpz_class& around : {mpz_class(0), mpz_class(2), mpz_class(10), power2(31),
                                    power2(32), power2(63), power2(64), tenToThe19}) {
        for (int step : {-1, 0, 1}) {
            const mpz_class value = around + step;
            if (value >= 0) values.push_back(value);
        }
    }
    return values;
}

std::string text(const Integer& value) {
    std::vector<char> buffer(200);
    EXPECT_EQ(value.print(buffer.data(), 200), 0);
    return buffer.data();
}

TEST(RegisterPath, AgreesWithTheWordsAndWithGmp) {
    const mpz_class lift = power2(128);
    const Integer lifted = fromMpz(lift);
    const std::vector<mpz_class> values = boundaryValues();
    for (const mpz_class& ma : values) {
        const Integer a = fromMpz(ma);
        // Printing and reading: 10^40 + a goes in words.
        ASSERT_EQ(text(a), ma.get_str());
        const mpz_class tenToThe40 =
            mpz_class(10000000000) * 10000000000 * 10000000000 * 10000000000;
        ASSERT_EQ(text(a + fromMpz(tenToThe40)), mpz_class(tenToThe40 + ma).get_str());
        ASSERT_EQ(Integer(ma.get_str().c_str()), a);
        for (const mpz_class& mb : values) {
            const Integer b = fromMpz(mb);
            std::string label = ma.get_str();
            label += ", ";
            label += mb.get_str();
            // Products: across 64 bits, up to four words, in either order.
            const Integer product = a * b;
            ASSERT_EQ(toMpz(product), ma * mb) << label;
            ASSERT_TRUE(isNormal(product)) << label;
            ASSERT_EQ((a + lifted) * b - lifted * b, product) << label;
            if (mb == 0) continue;
            // Division: (a + 2^128 b) / b is 2^128 more, with the same remainder.
            Integer quotient(a);
            const Integer remainder = quotient.integerDivision(b);
            ASSERT_EQ(toMpz(quotient), ma / mb) << label;
            ASSERT_EQ(toMpz(remainder), ma % mb) << label;
            ASSERT_TRUE(isNormal(quotient) && isNormal(remainder)) << label;
            Integer longQuotient = a + lifted * b;
            ASSERT_EQ(longQuotient.integerDivision(b), remainder) << label;
            ASSERT_EQ(longQuotient - lifted, quotient) << label;
            // gcd(a + 2^128 b, b) = gcd(a, b).
            mpz_class expected;
            mpz_gcd(expected.get_mpz_t(), ma.get_mpz_t(), mb.get_mpz_t());
            ASSERT_EQ(toMpz(gcd(a, b)), expected) << label;
            ASSERT_EQ(gcd(a + lifted * b, b), gcd(a, b)) << label;
        }
    }
}

// Every digit at every power of ten P up to 10^119, so at every bit offset of P's top word,
// with the remainder below it at its extremes (0, 1, P - 1) and in between: the digits are
// settled from top words, and in full where those leave them open (as for r = digit * P).
TEST(RegisterPath, EveryDigitAtEveryOffsetOfThePowersTopWord) {
    std::vector<bool> offsetSeen(32, false);
    mpz_class power = 1;
    for (unsigned e = 0; e < 120; ++e, power *= 10) {
        offsetSeen[(mpz_sizeinbase(power.get_mpz_t(), 2) - 1) % 32] = true;
        for (unsigned digit = 0; digit <= 9; ++digit) {
            for (const mpz_class& below : {mpz_class(0), mpz_class(1), mpz_class(power - 1),
                                           mpz_class(power / 3), mpz_class(power / 2)}) {
                // The digit first, and the digit after a leading 7.
                for (const mpz_class& value :
                     {mpz_class(digit * power + below), mpz_class((70 + digit) * power + below)}) {
                    if (value == 0) continue;
                    ASSERT_EQ(text(fromMpz(value)), value.get_str()) << "10^" << e;
                    ASSERT_EQ(text(fromMpz(-value)), mpz_class(-value).get_str()) << "10^" << e;
                }
            }
        }
    }
    for (unsigned offset = 0; offset < 32; ++offset)
        EXPECT_TRUE(offsetSeen[offset]) << offset;
}

}  // namespace
}  // namespace VELD
