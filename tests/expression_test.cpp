// The parser and the expression tree: one table of lines and their outcome (printed tree
// or message), evaluation with the order of faults, and printing into bounded buffers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "expression/expression.h"
#include "messages.h"

namespace VELD {
namespace {

using namespace testing;

std::string printedTree(const Expression& tree) {
    std::vector<char> buffer(8192);
    EXPECT_EQ(tree.print(buffer.data(), 8192), 0);
    return buffer.data();
}

// The printed tree of a line, or the message of its fault.
std::string parsed(const std::string& line) {
    try {
        return printedTree(*Expression::parse(line.c_str()));
    } catch (const Exception& e) {
        return e.getMessage();
    }
}

// As the calculator answers: the printed tree, then " = " and the value, or the message
// of the fault that evaluation raised directly behind the tree.
std::string answered(const std::string& line) {
    std::string text;
    try {
        const auto tree = Expression::parse(line.c_str());
        text = printedTree(*tree);
        const Rational value = tree->evaluate();
        std::vector<char> buffer(8192);
        EXPECT_EQ(value.print(buffer.data(), 8192), 0);
        return text + " = " + buffer.data();
    } catch (const Exception& e) {
        return text + e.getMessage();
    }
}

TEST(Parser, LinesAndOutcomes) {
    const std::pair<std::string, std::string> rows[] = {
        // Empty level
        {"", NO_OPERATION},
        {" \t\r\n", NO_OPERATION},
        {"7", "7"},
        {"(7)", "7"},
        {"((7))", "7"},
        {"007", "7"},
        {"+ 1", BAD_ORDER},
        {"-5", BAD_ORDER},
        {"x", INVALID},
        {")", NO_OPERATION},
        {"()", NO_OPERATION},
        // Left
        {"1 x", INVALID},
        {"1+2", "(1 + 2)"},
        {"1\t+\r2", "(1 + 2)"},
        {"\n1 + 2\n", "(1 + 2)"},
        // LeftOp
        {"1 + (2)", "(1 + 2)"},
        {"1 + *", INVALID},
        {"1 + x", INVALID},
        {"1 +", MISSING},
        {"5 !", "(5!)"},
        {"5!", "(5!)"},
        {"5 ! !", INVALID},
        // LeftRight
        {"1 2", NO_OPERATION},
        {"1 (2)", NO_OPERATION},
        {"1 2 3", TOO_MANU},
        {"1 2 (3)", TOO_MANY},
        {"1 2 (3", TOO_MANY},
        {"1 2 +", BAD_ORDER},
        {"1 2 x", INVALID},
        // Full
        {"1 + 2 3", TOO_MANU},
        {"1 + 2 (3)", TOO_MANY},
        {"1 + 2 + 3", INVALID},
        {"1 + 2 x", INVALID},
        {"5 ! 2", FACTORIAL_EXTRA},
        {"2 ^ 3 ^ 2", INVALID},
        {"(1 + 2) + 3", "((1 + 2) + 3)"},
        {"(5 !) !", "((5!)!)"},
        // Groups: faults inside come first; unmatched parentheses
        {"(1 + 2", PREMATURE},
        {"(1 +", MISSING},
        {"1 2 (x)", INVALID},
        {"(1 +) 2 3", MISSING},
        {"(5 ! 2) 3", FACTORIAL_EXTRA},
        {"1 + 2) * 3", "(1 + 2)"},
        {"(1 + 2)) x", "(1 + 2)"},
        {"((1 + 2)", PREMATURE},
        {"(1 + (2 * 3)", PREMATURE},
        {"1 + (2", PREMATURE},
        // choose, matched case by case and letter by letter
        {"10 choose 3", "(10 choose 3)"},
        {"10choose3", "(10 choose 3)"},
        {"(2^10)choose(3)", "((2 ^ 10) choose 3)"},
        {"10 chooses 3", INVALID},
        {"10 choosey", INVALID},
        {"10 chose 3", INVALID},
        {"10 Choose 3", INVALID},
        {"10 choos", INVALID},
        {"choose 3", BAD_ORDER},
        // Characters that begin no token
        {"1.5", INVALID},
        {"1\v+ 2", INVALID},
        {"\f1", INVALID},
        {"1 + \xff", INVALID},
        {"\xe2\x88\x92"
         "1",
         INVALID},
        {"1 \xb2", INVALID},
    };
    for (const auto& [line, outcome] : rows)
        EXPECT_EQ(parsed(line), outcome) << "line: " << line;
}

TEST(Parser, FortyLevelsOfNesting) {
    std::string line = "1", expected = "1";
    for (int level = 0; level < 40; ++level) {
        line = "(" + line + " + 1)";
        expected = "(" + expected + " + 1)";
    }
    EXPECT_EQ(answered(line), expected + " = 41");
    EXPECT_EQ(parsed(std::string(40, '(') + "7" + std::string(40, ')')), "7");
    EXPECT_EQ(parsed(std::string(40, '(') + "7" + std::string(39, ')')), PREMATURE);
}

TEST(Parser, BuildExpressionChecksInOrder) {
    auto literal = [] { return std::make_unique<IntegerExpression>(Integer(1)); };
    auto messageOf = [](Operation operation, std::unique_ptr<Expression> left,
                        std::unique_ptr<Expression> right) {
        try {
            Expression::buildExpression(operation, std::move(left), std::move(right));
        } catch (const Exception& e) {
            return std::string(e.getMessage());
        }
        return std::string();
    };
    EXPECT_EQ(messageOf(Operation::none, literal(), literal()), NO_OPERATION);
    EXPECT_EQ(messageOf(static_cast<Operation>(8), literal(), nullptr), NO_OPERATION);
    EXPECT_EQ(messageOf(static_cast<Operation>(-1), nullptr, nullptr), NO_OPERATION);
    EXPECT_EQ(messageOf(Operation::choose, nullptr, literal()), MISSING);
    EXPECT_EQ(messageOf(Operation::factorial, nullptr, literal()), MISSING);
    EXPECT_EQ(messageOf(Operation::factorial, literal(), literal()), FACTORIAL_EXTRA);
}

TEST(Evaluation, ValuesAndTheOrderOfFaults) {
    const std::pair<const char*, std::string> rows[] = {
        {"7", "7 = 7"},
        {"007 + 1", "(7 + 1) = 8"},
        {"4 / 6", "(4 / 6) = 2 / 3"},
        {"3 - 5", "(3 - 5) = -2"},
        {"1 / (0 - 2)", "(1 / (0 - 2)) = -1 / 2"},
        {"0 / (0 - 2)", "(0 / (0 - 2)) = 0"},
        {"5 !", "(5!) = 120"},
        {"(2 ^ 10) choose 3", "((2 ^ 10) choose 3) = 178433024"},
        {"(1 / 2) ^ 3", "((1 / 2) ^ 3) = 1 / 8"},
        {"18446744073709551616 * 4294967295",
         "(18446744073709551616 * 4294967295) = 79228162495817593519834398720"},
        {"1 / 0", "(1 / 0)" + ZERO_DENOMINATOR},
        {"(1 / 0) + (2 choose 3)", "((1 / 0) + (2 choose 3))" + N_LESS_THAN_K},
        {"(2 choose 3) + (1 / 0)", "((2 choose 3) + (1 / 0))" + ZERO_DENOMINATOR},
        {"(1 / 2) !", "((1 / 2)!)" + NOT_WHOLE},
        {"2 ^ (1 / 2)", "(2 ^ (1 / 2))" + NOT_WHOLE},
        {"(1 / 0) ^ (1 / 2)", "((1 / 0) ^ (1 / 2))" + NOT_WHOLE},
        {"(1 / 2) ^ (1 / 0)", "((1 / 2) ^ (1 / 0))" + ZERO_DENOMINATOR},
        {"(1 / 0) choose (1 / 2)", "((1 / 0) choose (1 / 2))" + NOT_WHOLE},
        {"(1 / 2) choose 1", "((1 / 2) choose 1)" + NOT_WHOLE},
        // Negative exponents, factorials and k
        {"2 ^ (0 - 1)", "(2 ^ (0 - 1)) = 1 / 2"},
        {"(1 / 2) ^ (0 - 2)", "((1 / 2) ^ (0 - 2)) = 4"},
        {"(0 - 2) ^ (0 - 3)", "((0 - 2) ^ (0 - 3)) = -1 / 8"},
        {"0 ^ (0 - 1)", "(0 ^ (0 - 1))" + ZERO_DENOMINATOR},
        {"(0 - 5) !", "((0 - 5)!)Integer::factorial() - Factorial of a negative number."},
        {"5 choose (0 - 2)",
         "(5 choose (0 - 2))Integer::choose() - 'k' is negative in 'n choose k'."},
        {"3 choose (0 - 5)",
         "(3 choose (0 - 5))Integer::choose() - 'k' is negative in 'n choose k'."},
        {"(0 - 1) choose 2", "((0 - 1) choose 2)" + N_LESS_THAN_K},
    };
    for (const auto& [line, outcome] : rows)
        EXPECT_EQ(answered(line), outcome) << "line: " << line;
    EXPECT_EQ(answered("(5 !) !"),
              "((5!)!) = "
              "668950291344912705758811805409037258675274633313802981029567135230163355724496298936"
              "687416527198498130815763789321409055253440858940812185989848111438965000596496052125"
              "6960000000000000000000000000000");
}

TEST(Printing, SmallCapacities) {
    const auto sum = Expression::parse("2 + 3"), factorial = Expression::parse("5 !");
    const struct Row {
        const Expression* tree;
        std::uint32_t capacity;
        const char* text;        // nullptr: nothing written at all
        std::int32_t shortfall;  // -1: any positive value
    } rows[] = {
        {sum.get(), 8, "(2 + 3)", 0},    {sum.get(), 7, "(2 + 3", -1},
        {sum.get(), 6, "(2 + ", -1},     {sum.get(), 5, "(2", -1},
        {sum.get(), 1, "", -1},          {sum.get(), 0, nullptr, -1},
        {factorial.get(), 5, "(5!)", 0}, {factorial.get(), 4, "(5", 1},
        {factorial.get(), 3, "(5", 2},   {factorial.get(), 1, nullptr, 5},
    };
    for (const Row& row : rows) {
        std::string buffer(32, '#');
        const std::int32_t shortfall = row.tree->print(buffer.data(), row.capacity);
        if (row.shortfall < 0) {
            EXPECT_GT(shortfall, 0) << row.capacity;
        } else {
            EXPECT_EQ(shortfall, row.shortfall) << row.capacity;
        }
        EXPECT_EQ(row.text == nullptr ? buffer.substr(0, 1) : std::string(buffer.c_str()),
                  row.text == nullptr ? "#" : row.text)
            << row.capacity;
    }
}

// Every capacity from 0 past the full length: nothing beyond the capacity is written, the
// text stays terminated, and the shortfall is 0 exactly when everything fitted.
TEST(Printing, EveryCapacityKeepsWithinTheBuffer) {
    for (const char* line : {"(12 + 345) choose (6 !)", "((1 / 2) ^ 3) - 0", "0 + 0",
                             "(0 !) * (10 - 0)", "(((0 !) !) - ((0 + 0) + 0)) / 70000000000"}) {
        const auto tree = Expression::parse(line);
        const std::string full = printedTree(*tree);
        for (std::uint32_t capacity = 0; capacity <= full.size() + 2; ++capacity) {
            std::vector<char> buffer(capacity + 16, '#');
            const std::int32_t shortfall = tree->print(buffer.data(), capacity);
            for (std::size_t i = capacity; i < buffer.size(); ++i) {
                ASSERT_EQ(buffer[i], '#') << line << " wrote past capacity " << capacity;
            }
            if (capacity >= 1) {
                ASSERT_NE(std::memchr(buffer.data(), '\0', capacity), nullptr)
                    << line << " " << capacity;
            }
            ASSERT_EQ(shortfall == 0, capacity > full.size()) << line << " " << capacity;
            if (shortfall == 0) {
                ASSERT_EQ(std::string(buffer.data()), full) << line;
            }
        }
    }
}

}  // namespace
}  // namespace VELD
