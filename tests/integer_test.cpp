// Integer representation, comparison, addition and decimal text: tables of boundary cases,
// then seeded random operands checked against GMP.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "gmp_support.h"
#include "integer/integer.h"

namespace VELD {
namespace {

using testing::big;
using testing::fromMpz;
using testing::isNormal;
using testing::toMpz;

Integer integer(const char* text) {
    return fromMpz(big(text));
}
std::string printed(const Integer& x) {
    std::vector<char> buffer(20000);
    EXPECT_EQ(x.print(buffer.data(), static_cast<std::uint32_t>(buffer.size())), 0);
    return buffer.data();
}
std::vector<std::uint32_t> wordsOf(const Integer& x) {
    return {x.getWords(), x.getWords() + x.getLength()};
}

TEST(IntegerCore, ConstructionFromMachineValues) {
    struct Row {
        std::int32_t value;
        std::vector<std::uint32_t> words;
        bool negative;
    } rows[] = {{0, {}, false},
                {1, {1}, false},
                {-1, {1}, true},
                {2147483647, {0x7FFFFFFFu}, false},
                {-2147483647 - 1, {0x80000000u}, true}};
    for (const Row& row : rows) {
        const Integer x(row.value);
        EXPECT_EQ(wordsOf(x), row.words) << row.value;
        EXPECT_EQ(x.isNegative(), row.negative) << row.value;
        EXPECT_TRUE(isNormal(x)) << row.value;
        EXPECT_EQ(x.isEven(), row.value % 2 == 0) << row.value;
        EXPECT_EQ(x.isOdd(), row.value % 2 != 0) << row.value;
    }
}

TEST(IntegerCore, SignOperationsKeepZeroUnsigned) {
    Integer zero;
    zero.negate();
    EXPECT_TRUE(isNormal(zero));
    EXPECT_FALSE(zero.isNegative());

    Integer five(-5);
    const Integer magnitude = five.abs();
    EXPECT_EQ(magnitude, Integer(5));
    EXPECT_TRUE(five.isNegative());
    five.negate();
    five.negate();
    EXPECT_EQ(five, Integer(-5));

    Integer target = integer("18446744073709551616");
    target = Integer(0);
    EXPECT_TRUE(isNormal(target));
    target = Integer(-7);
    EXPECT_EQ(target, Integer(-7));
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wself-assign-overloaded"
#endif
    target = target;  // self-assignment keeps the value
#if defined(__clang__)
#pragma clang diagnostic pop
#endif
    EXPECT_EQ(target, Integer(-7));
}

// Every pair of an ascending list must compare by its positions.
TEST(IntegerCore, ComparisonsFollowTheOrder) {
    const char* ascending[] = {"-18446744073709551616",
                               "-4294967296",
                               "-4294967295",
                               "-5",
                               "-3",
                               "0",
                               "3",
                               "5",
                               "4294967295",
                               "4294967296",
                               "8589934591",
                               "18446744073709551616"};
    for (std::size_t i = 0; i < std::size(ascending); ++i) {
        for (std::size_t j = 0; j < std::size(ascending); ++j) {
            const Integer a = integer(ascending[i]), b = integer(ascending[j]);
            EXPECT_EQ(a == b, i == j) << ascending[i] << " " << ascending[j];
            EXPECT_EQ(a != b, i != j) << ascending[i] << " " << ascending[j];
            EXPECT_EQ(a < b, i < j) << ascending[i] << " " << ascending[j];
            EXPECT_EQ(a > b, i > j) << ascending[i] << " " << ascending[j];
            EXPECT_EQ(a <= b, i <= j) << ascending[i] << " " << ascending[j];
            EXPECT_EQ(a >= b, i >= j) << ascending[i] << " " << ascending[j];
        }
    }
}

// Each row a + b = c is checked in every form: both orders, the differences back, and the
// compound operators.
TEST(IntegerAddition, TableWithIdentities) {
    const char* rows[][3] = {
        {"4294967295", "1", "4294967296"},
        {"2147483647", "2147483647", "4294967294"},
        {"18446744073709551615", "1", "18446744073709551616"},
        {"5", "-3", "2"},
        {"3", "-5", "-2"},
        {"-5", "-3", "-8"},
        {"5", "-5", "0"},
        {"0", "-7", "-7"},
        {"0", "0", "0"},
        {"18446744073709551621", "-18446744073709551616", "5"},
        {"-340282366920938463463374607431768211455", "-1",
         "-340282366920938463463374607431768211456"},
    };
    for (const auto& row : rows) {
        const Integer a = integer(row[0]), b = integer(row[1]), c = integer(row[2]);
        const std::string label = std::string(row[0]) + " + " + row[1];
        for (const Integer& result : {a + b, b + a, c - b + b, c - a + a}) {
            EXPECT_EQ(toMpz(result), big(row[2])) << label;
            EXPECT_TRUE(isNormal(result)) << label;
        }
        EXPECT_EQ(toMpz(c - b), big(row[0])) << label;
        EXPECT_EQ(toMpz(c - a), big(row[1])) << label;
        EXPECT_TRUE(isNormal(c - b) && isNormal(a - c)) << label;
        Integer sum(a), back(c);
        sum += b;
        back -= a;
        EXPECT_EQ(sum, c) << label;
        EXPECT_EQ(back, b) << label;
    }
}

TEST(IntegerAddition, IncrementAndDecrementAcrossWords) {
    const char* chain[] = {
        "-4294967296",          "-4294967295",         "-1", "0", "1", "4294967295", "4294967296",
        "18446744073709551615", "18446744073709551616"};
    for (std::size_t i = 0; i + 1 < std::size(chain); ++i) {
        // Neighbours in the chain that differ by one.
        const mpz_class low = big(chain[i]), high = big(chain[i + 1]);
        if (high - low != 1) continue;
        Integer up = fromMpz(low), down = fromMpz(high);
        up++;
        down--;
        EXPECT_EQ(toMpz(up), high) << chain[i];
        EXPECT_EQ(toMpz(down), low) << chain[i + 1];
        EXPECT_TRUE(isNormal(up) && isNormal(down)) << chain[i];
    }
}

TEST(IntegerText, ReadingNumerals) {
    const char* rows[][2] = {{"0", "0"},
                             {"000", "0"},
                             {"-0", "0"},
                             {"007", "7"},
                             {"-12", "-12"},
                             {"12+3", "12"},
                             {"4294967296", "4294967296"},
                             {"18446744073709551616", "18446744073709551616"},
                             {"99\x80", "99"}};
    for (const auto& row : rows) {
        const Integer x(row[0]);
        EXPECT_EQ(toMpz(x), big(row[1])) << row[0];
        EXPECT_TRUE(isNormal(x)) << row[0];
    }
    EXPECT_EQ(wordsOf(Integer("18446744073709551616")), (std::vector<std::uint32_t>{0, 0, 1}));
    for (const char* bad : {"", "-", "-x", "+1", " 1", "x1", "\xb0"}) {
        try {
            Integer x(bad);
            ADD_FAILURE() << "accepted '" << bad << "'";
        } catch (const Exception& e) {
            EXPECT_STREQ(e.getMessage(),
                         "Integer::Integer() - Failed to parse Integer. Bad string.");
        }
    }
}

TEST(IntegerText, MultiplyAndDivideByTen) {
    struct Row {
        std::vector<std::uint32_t> before, after;
    } rows[] = {
        {{0xFFFFFFFFu}, {4294967286u, 9}},
        // In word 1 the two shifted parts sum to all ones; the carry from word 0 alone
        // makes the top carry.
        {{2647483648u, 429496729u}, {705032704u, 0, 1}},
        {{0x80000000u, 0xFFFFFFFFu, 0xFFFFFFFFu}, {0, 0xFFFFFFFBu, 0xFFFFFFFFu, 9}},
    };
    for (const Row& row : rows) {
        Integer x = Integer::fromWords(row.before.data(), row.before.size(), true);
        x.multiplyByTen();
        EXPECT_EQ(wordsOf(x), row.after);
        EXPECT_TRUE(x.isNegative());
        x.divideByTen();
        EXPECT_EQ(wordsOf(x), row.before);
    }
    // Powers of ten up and down through many words.
    Integer power(1);
    mpz_class expected = 1;
    for (int k = 1; k <= 400; ++k) {
        power.multiplyByTen();
        expected *= 10;
        ASSERT_EQ(toMpz(power), expected) << k;
    }
    for (int k = 399; k >= 0; --k) {
        power.divideByTen();
        expected /= 10;
        ASSERT_EQ(toMpz(power), expected) << k;
        ASSERT_TRUE(isNormal(power));
    }
}

// print into every small capacity the convention distinguishes; bytes past the capacity
// must stay untouched.
TEST(IntegerText, PrintIntoSmallBuffers) {
    const std::string thirty = "123456789012345678901234567890";
    struct Row {
        std::string value;
        std::uint32_t capacity;
        const char* written;  // nullptr: nothing at all written
        std::int32_t shortfall;
    } rows[] = {
        {"0", 0, nullptr, 2},
        {"0", 1, nullptr, 1},
        {"0", 2, "0", 0},
        {"123", 4, "123", 0},
        {"123", 3, "Pr", 1},
        {"-123", 5, "-123", 0},
        {"-123", 4, "Pri", 1},
        {thirty, 20, "Printing overflow!", 11},
        {thirty, 31, thirty.c_str(), 0},
        {"5", 1, "", 1},
        {"5", 0, nullptr, 2},
        {"-5", 0, nullptr, 3},
        {"1", 2, "1", 0},
        {"9", 2, "9", 0},
        {"10", 3, "10", 0},
        {"4294967296", 11, "4294967296", 0},
        {thirty, 19, "Printing overflow!", 12},
        {thirty, 18, "Printing overflow", 13},
    };
    for (const Row& row : rows) {
        char buffer[64];
        std::memset(buffer, '#', sizeof buffer);
        const Integer x = integer(row.value.c_str());
        EXPECT_EQ(x.print(buffer, row.capacity), row.shortfall) << row.value << " " << row.capacity;
        if (row.written == nullptr) {
            EXPECT_EQ(buffer[0], '#') << row.value << " " << row.capacity;
        } else {
            EXPECT_STREQ(buffer, row.written) << row.value << " " << row.capacity;
        }
        for (std::size_t i = row.capacity; i < sizeof buffer; ++i) {
            ASSERT_EQ(buffer[i], '#') << row.value << " wrote past capacity " << row.capacity;
        }
    }
}

// Random operands against GMP: every operation of the core, its normal form, and the text
// round trip.
TEST(IntegerRandom, AgreesWithGmp) {
    testing::OperandSource source(20261207);
    const unsigned sizes[] = {2, 3, 8, 40, 300};
    for (int round = 0; round < 12000; ++round) {
        const unsigned limit = sizes[source.pick(0, round % 50 == 0 ? 4 : 3)];
        const mpz_class ma = source.next(limit), mb = source.next(source.pick(0, 1) ? limit : 3);
        const Integer a = fromMpz(ma), b = fromMpz(mb);
        const std::string label = "a=" + ma.get_str(16) + " b=" + mb.get_str(16);

        const Integer sum = a + b, difference = a - b;
        ASSERT_EQ(toMpz(sum), ma + mb) << label;
        ASSERT_EQ(toMpz(difference), ma - mb) << label;
        ASSERT_TRUE(isNormal(sum) && isNormal(difference)) << label;
        Integer inPlace(a);
        inPlace += b;
        ASSERT_EQ(inPlace, sum) << label;
        inPlace -= b;
        ASSERT_EQ(inPlace, a) << label;
        Integer stepped(a);
        stepped++;
        ASSERT_EQ(toMpz(stepped), ma + 1) << label;
        stepped--;
        stepped--;
        ASSERT_EQ(toMpz(stepped), ma - 1) << label;
        ASSERT_TRUE(isNormal(stepped)) << label;

        const int order = cmp(ma, mb);
        ASSERT_EQ(a == b, order == 0) << label;
        ASSERT_EQ(a != b, order != 0) << label;
        ASSERT_EQ(a < b, order < 0) << label;
        ASSERT_EQ(a > b, order > 0) << label;
        ASSERT_EQ(a <= b, order <= 0) << label;
        ASSERT_EQ(a >= b, order >= 0) << label;

        if (limit <= 40 || round % 100 == 0) {
            const std::string expected = ma.get_str();
            ASSERT_EQ(printed(a), expected) << label;
            ASSERT_EQ(toMpz(Integer(expected.c_str())), ma) << label;
        }
    }
}

}  // namespace
}  // namespace VELD
