// Integer multiplication, shifts, division, gcd and power: tables of word-boundary cases,
// then seeded random operands against GMP.
#include <gtest/gtest.h>

#include <string>

#include "gmp_support.h"
#include "integer/integer.h"
#include "integer/limits.h"

namespace VELD {
namespace {

using testing::big;
using testing::fromMpz;
using testing::isNormal;
using testing::power2;
using testing::toMpz;

// Checks a * b in both orders against GMP, and the in-place form.
void expectProduct(const mpz_class& a, const mpz_class& b, const std::string& label) {
    const Integer x = fromMpz(a), y = fromMpz(b);
    for (const Integer& product : {x * y, y * x}) {
        ASSERT_EQ(toMpz(product), a * b) << label;
        ASSERT_TRUE(isNormal(product)) << label;
    }
    Integer inPlace(x);
    inPlace *= y;
    ASSERT_EQ(toMpz(inPlace), a * b) << label;
}

// Checks the quotient and remainder of a / b against the rules: the quotient truncates
// toward zero with the sign of a; the remainder is a itself when |a| < |b|, otherwise
// the non-negative |a| - |q| * |b|.
void expectDivision(const mpz_class& a, const mpz_class& b, const std::string& label) {
    Integer quotient = fromMpz(a);
    const Integer remainder = quotient.integerDivision(fromMpz(b));
    mpz_class q, r;
    mpz_tdiv_q(q.get_mpz_t(), a.get_mpz_t(), b.get_mpz_t());
    const mpz_class expectedRemainder = abs(a) < abs(b) ? a : mpz_class(abs(a) - abs(q) * abs(b));
    if (sgn(b) < 0) q = -q;  // the quotient takes the dividend's sign whatever the divisor's
    ASSERT_EQ(toMpz(quotient), q) << label;
    ASSERT_EQ(toMpz(remainder), expectedRemainder) << label;
    ASSERT_TRUE(isNormal(quotient) && isNormal(remainder)) << label;
}

TEST(IntegerMultiplication, WordBoundaryProducts) {
    const mpz_class words7 = power2(224) - 1, mixed = big("123456789012345678901234567890123");
    const mpz_class rows[][2] = {
        {power2(32) - 1, power2(32) - 1},
        {power2(64) - 1, power2(64) - 1},
        {power2(31), 2},
        {power2(32), power2(32)},
        {0, big("-5")},
        {big("-3"), 5},
        {big("-3"), big("-5")},
        {1, 1},
        {7, words7},
        {power2(32) - 1, mixed},
        {big("-1"), words7},
        {power2(200) + 1, power2(100) - 1},
    };
    for (const auto& row : rows)
        expectProduct(row[0], row[1], row[0].get_str() + "*" + row[1].get_str());
    const Integer zeroProduct = Integer(0) * Integer(-5);
    EXPECT_FALSE(zeroProduct.isNegative());
}

TEST(IntegerShifts, ShiftsAndHighestBit) {
    const mpz_class values[] = {
        1, 5, big("-5"), power2(31), power2(32) - 1, power2(96) - 1, big("3735928559123456789")};
    for (const mpz_class& value : values) {
        for (unsigned bits : {0u, 1u, 31u, 32u, 33u, 64u, 95u}) {
            Integer x = fromMpz(value);
            x.shiftLeft(bits);
            ASSERT_EQ(toMpz(x), abs(value) << bits) << value.get_str() << " << " << bits;
            ASSERT_TRUE(isNormal(x));
        }
        Integer doubled = fromMpz(abs(value)), halved = fromMpz(value);
        doubled.shiftLeftOne();
        halved.shiftRightOne();
        EXPECT_EQ(toMpz(doubled), abs(value) * 2) << value.get_str();
        mpz_class expectedHalf;
        mpz_tdiv_q_2exp(expectedHalf.get_mpz_t(), value.get_mpz_t(), 1);
        EXPECT_EQ(toMpz(halved), expectedHalf) << value.get_str();
        EXPECT_TRUE(isNormal(doubled) && isNormal(halved));
        EXPECT_EQ(fromMpz(value).highestBit(),
                  static_cast<std::int64_t>(mpz_sizeinbase(value.get_mpz_t(), 2)) - 1);
    }
    Integer zero;
    zero.shiftLeft(1000);
    zero.shiftLeftOne();
    zero.shiftRightOne();
    EXPECT_TRUE(isNormal(zero) && zero.isZero());
    EXPECT_EQ(zero.highestBit(), 0);
    Integer one(1);
    one.shiftRightOne();
    EXPECT_TRUE(isNormal(one) && one.isZero());
}

TEST(IntegerShifts, AbsurdSizesAreRefusedNotWrapped) {
    Integer x = fromMpz(power2(4000) - 1);
    for (std::uint64_t bits : {std::uint64_t{1} << 37, ~std::uint64_t{0}}) {
        try {
            x.shiftLeft(bits);
            ADD_FAILURE() << "shift by " << bits << " accepted";
        } catch (const Exception& e) {
            EXPECT_STREQ(e.getMessage(), NOT_ENOUGH_MEMORY);
        }
    }
    Integer two(2);
    for (const char* exponent : {"137438953472", "18446744073709551616"}) {
        EXPECT_THROW(two.power(Integer(exponent)), Exception) << exponent;
    }
}

// Only results surely beyond 32 * (2^32 - 1) bits are refused, so sizes up to the limit
// are still computed.
TEST(IntegerLimits, RefusalsStopAtTheLimit) {
    const mpz_class mostBits = mpz_class(32) * 4294967295u;
    auto refused = [](auto refusal) {
        try {
            refusal();
        } catch (const Exception& e) {
            return std::string(e.getMessage()) == NOT_ENOUGH_MEMORY;
        }
        return false;
    };
    // 2^e has e + 1 bits, 4^e has 2e + 1; 3^e might still fit where 2^e does.
    EXPECT_FALSE(refused([&] { refuseImpossiblePower(Integer(2), fromMpz(mostBits - 1)); }));
    EXPECT_TRUE(refused([&] { refuseImpossiblePower(Integer(2), fromMpz(mostBits)); }));
    EXPECT_TRUE(refused([&] { refuseImpossiblePower(Integer(-4), fromMpz(mostBits / 2)); }));
    EXPECT_FALSE(refused([&] { refuseImpossiblePower(Integer(-4), fromMpz(mostBits / 2 - 1)); }));
    EXPECT_FALSE(refused([&] { refuseImpossiblePower(Integer(3), fromMpz(mostBits / 2)); }));
    for (const char* base : {"0", "1", "-1"}) {
        EXPECT_FALSE(refused([&] { refuseImpossiblePower(Integer(base), fromMpz(power2(200))); }))
            << base;
    }
    EXPECT_FALSE(refused([&] { refuseImpossiblePower(Integer(7), Integer(-5)); }));
    // n! has more than n * (bits(n) - 3) bits: 2^32! fits, 2^33! does not.
    EXPECT_FALSE(refused([&] { refuseImpossibleFactorial(fromMpz(power2(32))); }));
    EXPECT_TRUE(refused([&] { refuseImpossibleFactorial(fromMpz(power2(33))); }));
    EXPECT_FALSE(refused([&] { refuseImpossibleFactorial(Integer(100000)); }));

    const Integer large = Integer(2).power(Integer(1000000));
    EXPECT_EQ(large.highestBit(), 1000000);
}

TEST(IntegerDivision, Table) {
    const mpz_class rows[][2] = {
        {17, 5},
        {big("-17"), 5},
        {3, 5},
        {big("-3"), 5},
        {0, 5},
        {5, 5},
        {power2(64), power2(32) + 1},
        {power2(64) - 1, power2(32) - 1},
        {power2(100) + 12345, 1},
        {big("-98765432109876543210"), power2(40)},
        {power2(90) - 1, power2(90) - 1},
        {17, big("-5")},
        {big("-17"), big("-5")},
        {power2(200) + power2(100), power2(101) + 1},
    };
    for (const auto& row : rows)
        expectDivision(row[0], row[1], row[0].get_str() + "/" + row[1].get_str());

    for (const char* text : {"123456789012345678901234567", "-42"}) {
        Integer self(text);
        const Integer remainder = self.integerDivision(self);
        EXPECT_EQ(self, Integer(Integer(text).isNegative() ? -1 : 1)) << text;
        EXPECT_TRUE(remainder.isZero()) << text;
    }

    Integer unchanged("98765432109876543210");
    try {
        unchanged.integerDivision(Integer());
        ADD_FAILURE() << "division by zero accepted";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.getMessage(), "Integer::integerDivision() - Division by zero.");
    }
    EXPECT_EQ(unchanged, Integer("98765432109876543210"));
}

TEST(IntegerDivision, GcdTable) {
    const mpz_class rows[][3] = {
        {12, 18, 6},
        {big("-12"), 18, 6},
        {18, big("-12"), 6},
        {0, 7, 7},
        {0, big("-7"), 7},
        {7, 7, 7},
        {1, power2(77), 1},
        {power2(64), power2(32), power2(32)},
        {big("-12"), 5, 1},
        {0, 0, 0},
        {big("-9"), 0, 9},
        {9, 0, 9},
        // The larger by sign the smaller by size; long steps first, then register ones.
        {3, mpz_class(-power2(80)), 1},
        {mpz_class(-6 * power2(70)), 4 * power2(70) + 4, 4},
        {mpz_class(power2(96) * 35), mpz_class(power2(96) * 21), mpz_class(power2(96) * 7)},
    };
    for (const auto& row : rows) {
        const Integer result = gcd(fromMpz(row[0]), fromMpz(row[1]));
        EXPECT_EQ(toMpz(result), row[2]) << row[0].get_str() << "," << row[1].get_str();
        EXPECT_TRUE(isNormal(result));
    }
}

TEST(IntegerDivision, PowerTable) {
    const mpz_class rows[][3] = {
        {2, 10, 1024},
        {big("-7"), 0, 1},
        {0, 0, 1},
        {0, 5, 0},
        {big("-2"), 3, big("-8")},
        {big("-2"), 2, 4},
        {power2(32), 2, power2(64)},
        {3, 40, big("12157665459056928801")},
        {5, big("-3"), 1},
        {1, big("99999999999999999999999"), 1},
        {big("-1"), big("99999999999999999999999"), big("-1")},
    };
    for (const auto& row : rows) {
        const Integer result = fromMpz(row[0]).power(fromMpz(row[1]));
        EXPECT_EQ(toMpz(result), row[2]) << row[0].get_str() << "^" << row[1].get_str();
        EXPECT_TRUE(isNormal(result));
    }
}

TEST(IntegerArithmeticRandom, AgreesWithGmp) {
    testing::OperandSource source(7031);
    for (int round = 0; round < 10000; ++round) {
        const unsigned limit = round % 10 == 0 ? 64 : 8;
        const mpz_class a = source.next(limit), b = source.next(source.pick(0, 1) ? limit : 2);
        const std::string label = "a=" + a.get_str(16) + " b=" + b.get_str(16);
        expectProduct(a, b, label);
        if (b != 0) {
            expectDivision(a, b, label);
            const Integer divisor = gcd(fromMpz(a), fromMpz(b));
            mpz_class expected;
            mpz_gcd(expected.get_mpz_t(), a.get_mpz_t(), b.get_mpz_t());
            ASSERT_EQ(toMpz(divisor), expected) << label;
        }
        Integer square = fromMpz(a);
        square *= square;
        ASSERT_EQ(toMpz(square), a * a) << label;
        if (round % 20 == 0) {
            const unsigned long exponent = source.pick(0, 12);
            const mpz_class base = source.next(3);
            mpz_class expected;
            mpz_pow_ui(expected.get_mpz_t(), base.get_mpz_t(), exponent);
            const Integer result =
                fromMpz(base).power(Integer(static_cast<std::int32_t>(exponent)));
            ASSERT_EQ(toMpz(result), expected) << base.get_str() << "^" << exponent;
            ASSERT_TRUE(isNormal(result));
        }
    }
}

}  // namespace
}  // namespace VELD
