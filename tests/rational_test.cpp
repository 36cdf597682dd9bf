// Fractions and combinatorics: the tables of stored forms, printing and conversions, the
// refusals, and seeded random checks against GMP's mpq_class and mpz functions.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "expression/expression.h"
#include "gmp_support.h"
#include "messages.h"
#include "rational/decimal_text.h"
#include "rational/rational.h"

namespace VELD {
namespace {

using testing::fromMpz;
using testing::toMpz;

mpq_class toMpq(const Rational& x) {
    mpq_class result(toMpz(x.getNumerator()), toMpz(x.getDenominator()));
    result.canonicalize();
    return result;
}

std::string printed(const Rational& x, std::uint32_t capacity = 8192) {
    std::string buffer(capacity + 8, '#');
    x.print(buffer.data(), capacity);
    return buffer.c_str();
}

Rational fraction(long numerator, long denominator) {
    return Rational(fromMpz(numerator), fromMpz(denominator));
}

// Runs `work` and returns the message of the Exception it raises, or "" when it raises none.
template <typename Work>
std::string messageOf(Work work) {
    try {
        work();
    } catch (const Exception& e) {
        return e.getMessage();
    }
    return "";
}

using testing::NOT_WHOLE;
using testing::ZERO_DENOMINATOR;

TEST(Rational, StoredFormsPrintAndConvert) {
    struct Row {
        long numerator, denominator, storedNumerator, storedDenominator;
        bool negative;
        const char* text;
        const char* whole;  // nullptr: the conversion is refused
    } rows[] = {
        {6, 4, 3, 2, false, "3 / 2", nullptr},
        {4, 2, 2, 1, false, "2", "2"},
        {0, 5, 0, 1, false, "0", "0"},
        {0, -5, 0, -1, false, "0", "0"},
        {1, -2, 1, -2, true, "-1 / 2", nullptr},
        {3, -1, 3, -1, true, "-3", "-3"},
        {-3, -1, -3, -1, false, "3", "3"},
        {-1, 2, -1, 2, true, "-1 / 2", nullptr},
        {-12, 18, -2, 3, true, "-2 / 3", nullptr},
    };
    for (const Row& row : rows) {
        const Rational x = fraction(row.numerator, row.denominator);
        const std::string label =
            std::to_string(row.numerator) + "/" + std::to_string(row.denominator);
        EXPECT_EQ(toMpz(x.getNumerator()), row.storedNumerator) << label;
        EXPECT_EQ(toMpz(x.getDenominator()), row.storedDenominator) << label;
        EXPECT_EQ(x.isNegative(), row.negative) << label;
        EXPECT_EQ(printed(x), row.text) << label;
        if (row.whole == nullptr) {
            EXPECT_EQ(messageOf([&] { [[maybe_unused]] const Integer whole(x); }), NOT_WHOLE)
                << label;
        } else {
            EXPECT_EQ(toMpz(static_cast<Integer>(x)), mpz_class(row.whole)) << label;
        }
    }
    EXPECT_EQ(messageOf([] { fraction(7, 0); }), ZERO_DENOMINATOR);
    EXPECT_EQ(printed(Rational(Integer(-7))), "-7");
}

TEST(Rational, ArithmeticTable) {
    EXPECT_EQ(printed(fraction(1, 3) + fraction(1, 6)), "1 / 2");
    EXPECT_EQ(printed(fraction(1, 2) - fraction(1, 2)), "0");
    EXPECT_EQ(printed(fraction(2, 3) * fraction(3, 2)), "1");
    EXPECT_EQ(printed(fraction(1, 1) / fraction(-2, 1)), "-1 / 2");
    EXPECT_EQ(toMpz((fraction(1, 1) / fraction(-2, 1)).getDenominator()), -2);
    EXPECT_EQ(messageOf([] { fraction(1, 2) / fraction(0, 1); }), ZERO_DENOMINATOR);
}

// Negative exponents give the reciprocal raised to the exponent's magnitude.
TEST(Rational, PowerTable) {
    struct Row {
        long numerator, denominator, exponent;
        const char* text;
    } rows[] = {
        {2, 3, 3, "8 / 27"},    {-1, 2, 3, "-1 / 8"},  {1, -2, 2, "1 / 4"}, {5, 7, 0, "1"},
        {0, 1, 0, "1"},         {2, 1, -1, "1 / 2"},   {1, 2, -2, "4"},     {-2, 1, -3, "-1 / 8"},
        {2, -3, -3, "-27 / 8"}, {-3, 4, -2, "16 / 9"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(printed(fraction(row.numerator, row.denominator).power(fromMpz(row.exponent))),
                  row.text)
            << row.numerator << "/" << row.denominator << "^" << row.exponent;
    }
    EXPECT_EQ(messageOf([] { fraction(0, 1).power(Integer(-1)); }), ZERO_DENOMINATOR);
}

TEST(Rational, PrintIntoSmallBuffers) {
    const Rational threeQuarters = fraction(3, 4);
    EXPECT_EQ(threeQuarters.print(std::string(16, '#').data(), 6), 0);
    const struct {
        std::uint32_t capacity;
        const char* text;
    } rows[] = {{6, "3 / 4"}, {5, "3 / "}, {4, "34"}};
    for (const auto& row : rows)
        EXPECT_EQ(printed(threeQuarters, row.capacity), row.text);
    char small[8];
    EXPECT_GT(threeQuarters.print(small, 5), 0);
    EXPECT_GT(threeQuarters.print(small, 4), 0);

    mpz_class huge;
    mpz_ui_pow_ui(huge.get_mpz_t(), 3, 20000);  // 9,543 digits
    const Rational tooLong(fromMpz(huge), Integer(7));
    char buffer[8192];
    EXPECT_GT(tooLong.print(buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "Printing overflow! / 7");
}

// Decimal text: exact where the expansion ends within the places, else rounded half away
// from zero and marked; the rows' texts are Python's Fraction, rounded so.
TEST(Rational, DecimalTextTable) {
    const struct {
        const char* expression;
        std::uint32_t places;
        const char* text;
    } rows[] = {
        {"1 / 8", 5, "0.125"},
        {"1 / 8", 3, "0.125"},
        {"1 / 8", 2, "~0.13"},
        {"3 / 8", 2, "~0.38"},
        {"0 - (1 / 8)", 2, "~-0.13"},
        {"2 / 3", 3, "~0.667"},
        {"0 - (2 / 3)", 3, "~-0.667"},
        {"9995 / 10000", 3, "~1.000"},
        {"0 - (9995 / 10000)", 3, "~-1.000"},
        {"1 / 2", 0, "~1"},
        {"0 - (1 / 2)", 0, "~-1"},
        {"5 / 2", 0, "~3"},
        {"0", 4, "0"},
        {"7", 2, "7"},
        {"0 - 7", 2, "-7"},
        {"(1 / 3) - (5 / 7)", 10, "~-0.3809523810"},
        {"1 / 10000", 3, "~0.000"},
        {"0 - (1 / 10000)", 3, "~-0.000"},
        {"(2 ^ 100) / 3", 4, "~422550200076076467165567735125.3333"},
        {"1 / (3 ^ 40)", 25, "~0.0000000000000000000822526"},
        {"999 / 1000", 2, "~1.00"},
        {"(10 ^ 30) + (1 / 2)", 0, "~1000000000000000000000000000001"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(decimalText(Expression::parse(row.expression)->evaluate(), row.places), row.text)
            << row.expression << " to " << row.places;
    }
}

TEST(Combinatorics, Tables) {
    const std::pair<int, const char*> factorials[] = {
        {0, "1"},          {1, "1"},           {5, "120"},
        {12, "479001600"}, {13, "6227020800"}, {20, "2432902008176640000"}};
    for (const auto& [n, value] : factorials)
        EXPECT_EQ(toMpz(Integer(n).factorial()), mpz_class(value));
    const int ranges[][3] = {{3, 5, 60}, {5, 3, 60}, {4, 4, 4}, {0, 5, 0}, {1, 1, 1}};
    for (const auto& row : ranges) {
        EXPECT_EQ(toMpz(rangeProduct(Integer(row[0]), Integer(row[1]))), row[2])
            << row[0] << ".." << row[1];
    }
    const int chooses[][3] = {{5, 2, 10}, {5, 3, 10}, {4, 2, 6},        {5, 0, 1},
                              {5, 5, 1},  {0, 0, 1},  {52, 5, 2598960}, {1024, 3, 178433024}};
    for (const auto& row : chooses) {
        const Rational value = Integer(row[0]).choose(Integer(row[1]));
        EXPECT_EQ(toMpz(value.getNumerator()), row[2]) << row[0] << " choose " << row[1];
        EXPECT_EQ(toMpz(value.getDenominator()), 1) << row[0] << " choose " << row[1];
    }
}

// The refusals that replace wrong values: a negative factorial or k, and the order of the
// two choose messages (n < k first).
TEST(Combinatorics, Refusals) {
    EXPECT_EQ(messageOf([] { Integer(3).choose(Integer(5)); }), testing::N_LESS_THAN_K);
    EXPECT_EQ(messageOf([] { Integer(-5).choose(Integer(-2)); }), testing::N_LESS_THAN_K);
    EXPECT_EQ(messageOf([] { Integer(5).choose(Integer(-2)); }), testing::K_NEGATIVE);
    EXPECT_EQ(messageOf([] { Integer(3).choose(Integer(-5)); }), testing::K_NEGATIVE);
    EXPECT_EQ(messageOf([] { Integer(-2).choose(Integer(-5)); }), testing::K_NEGATIVE);
    EXPECT_EQ(messageOf([] { Integer(-5).factorial(); }), testing::NEGATIVE_FACTORIAL);
    EXPECT_EQ(messageOf([] { Integer(-1).factorial(); }), testing::NEGATIVE_FACTORIAL);
    EXPECT_EQ(messageOf([] { Integer("1099511627776").factorial(); }), NOT_ENOUGH_MEMORY);
}

TEST(RationalRandom, AgreesWithGmp) {
    testing::OperandSource source(4242);
    auto randomFraction = [&](mpq_class& expected) {
        mpz_class numerator = source.next(3), denominator = source.next(2);
        if (denominator == 0) denominator = source.pick(0, 1) ? 1 : -1;
        expected = mpq_class(numerator, denominator);
        expected.canonicalize();
        return Rational(fromMpz(numerator), fromMpz(denominator));
    };
    auto expectReduced = [](const Rational& x, const mpq_class& expected,
                            const std::string& label) {
        ASSERT_EQ(toMpq(x), expected) << label;
        mpz_class common;
        mpz_gcd(common.get_mpz_t(), toMpz(x.getNumerator()).get_mpz_t(),
                toMpz(x.getDenominator()).get_mpz_t());
        ASSERT_EQ(common, 1) << label;
        std::string text = expected.get_str();
        if (std::size_t slash = text.find('/'); slash != std::string::npos)
            text.replace(slash, 1, " / ");
        ASSERT_EQ(printed(x), text) << label;
    };
    for (int round = 0; round < 2500; ++round) {
        mpq_class qa, qb;
        const Rational a = randomFraction(qa), b = randomFraction(qb);
        const std::string label = qa.get_str() + " , " + qb.get_str();
        expectReduced(a + b, qa + qb, label + " +");
        expectReduced(a - b, qa - qb, label + " -");
        expectReduced(a * b, qa * qb, label + " *");
        if (qb != 0) {
            expectReduced(a / b, qa / qb, label + " /");
        }
        if (round % 10 == 0 && qa != 0) {
            const int exponent = static_cast<int>(source.pick(0, 40)) - 20;
            mpq_class expected;
            mpz_pow_ui(expected.get_num_mpz_t(), qa.get_num_mpz_t(), std::abs(exponent));
            mpz_pow_ui(expected.get_den_mpz_t(), qa.get_den_mpz_t(), std::abs(exponent));
            if (exponent < 0) expected = 1 / expected;
            expected.canonicalize();
            expectReduced(a.power(Integer(exponent)), expected,
                          label + " ^" + std::to_string(exponent));
        }
        if (qa.get_den() == 1) {
            ASSERT_EQ(toMpz(static_cast<Integer>(a)), qa.get_num()) << label;
        }
    }
}

TEST(CombinatoricsRandom, FactorialAgreesWithGmp) {
    for (unsigned n = 0; n <= 400; ++n) {
        mpz_class expected;
        mpz_fac_ui(expected.get_mpz_t(), n);
        ASSERT_EQ(toMpz(Integer(static_cast<std::int32_t>(n)).factorial()), expected) << n;
    }
}

TEST(CombinatoricsRandom, ChooseAgreesWithGmpForEveryK) {
    for (unsigned n = 0; n <= 300; ++n) {
        for (unsigned k = 0; k <= n; ++k) {
            mpz_class expected;
            mpz_bin_uiui(expected.get_mpz_t(), n, k);
            const Rational value =
                Integer(static_cast<std::int32_t>(n)).choose(Integer(static_cast<std::int32_t>(k)));
            ASSERT_EQ(toMpz(value.getNumerator()), expected) << n << " choose " << k;
            ASSERT_TRUE(value.getDenominator().isMagnitudeOne()) << n << " choose " << k;
        }
    }
}

TEST(CombinatoricsRandom, RangeProductInEitherOrder) {
    testing::OperandSource source(99);
    for (int round = 0; round < 300; ++round) {
        const unsigned low = source.pick(0, 2000), high = low + source.pick(0, 60);
        mpz_class expected = 1;
        for (unsigned factor = low; factor <= high; ++factor)
            expected *= factor;
        const Integer a(static_cast<std::int32_t>(low)), b(static_cast<std::int32_t>(high));
        ASSERT_EQ(toMpz(round % 2 ? rangeProduct(a, b) : rangeProduct(b, a)), expected)
            << low << ".." << high;
    }
}

}  // namespace
}  // namespace VELD
