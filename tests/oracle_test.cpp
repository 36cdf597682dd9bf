// Random lines, well formed and malformed, answered by the console and by the reference
// calculator over GMP: the output must agree byte for byte.
//
// EXACTCALC_ORACLE_SEED repeats a run (the seed is printed with any failure), and
// EXACTCALC_ORACLE_LINES sets how many lines are checked (5,000 by default).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <string>

#include "console/console.h"
#include "reference_calculator.h"

namespace VELD {
namespace {

class LineGenerator {
public:
    explicit LineGenerator(std::uint64_t seed) : rng(seed) {}

    std::string next() {
        std::string line = space() + expression(3, Role::any) + space();
        for (unsigned mutations = pick(4) == 0 ? 1 + pick(2) : 0; mutations > 0; --mutations) {
            line = mutate(line);
        }
        return line;
    }

private:
    // Whole operands (exponents, factorials, choose) stay small so the work stays small.
    enum class Role { any, whole };

    unsigned pick(unsigned bound) {
        return std::uniform_int_distribution<unsigned>(0, bound - 1)(rng);
    }

    template <std::size_t N>
    const char* oneOf(const char* const (&choices)[N]) {
        return choices[pick(N)];
    }

    std::string space() {
        static const char* const spaces[] = {"", "", "", " ", " ", "  ", "\t", " \r"};
        return oneOf(spaces);
    }

    std::string literal(Role role) {
        if (role == Role::whole)
            return std::string(pick(5) == 0 ? "0" : "") + std::to_string(pick(16));
        static const char* const boundaries[] = {"4294967295",
                                                 "4294967296",
                                                 "18446744073709551616",
                                                 "18446744073709551615",
                                                 "2147483648",
                                                 "0",
                                                 "1",
                                                 "000000000000000000000000000000000000007"};
        switch (pick(4)) {
            case 0:
                return oneOf(boundaries);
            case 1:
                return std::to_string(rng() % 1000000000000ull) + std::to_string(pick(1000));
            default:
                return std::string(pick(6) == 0 ? "00" : "") + std::to_string(pick(100));
        }
    }

    // An operand: sometimes in redundant parentheses, or with "choose" glued on.
    std::string operand(int depth, Role role) {
        std::string inner = expression(depth, role);
        if (pick(8) == 0) inner.insert(0, "(" + space()).append(space()).append(")");
        return inner;
    }

    std::string binary(const std::string& left, const std::string& op, const std::string& right) {
        const bool glued = op == "choose" && pick(2) == 0;
        std::string text = "(";
        for (const std::string& piece : {space(), left, glued ? std::string() : space(), op,
                                         glued ? std::string() : space(), right, space()}) {
            text += piece;
        }
        return text + ")";
    }

    std::string expression(int depth, Role role) {
        if (depth == 0 || pick(3) == 0) return literal(role);
        if (role == Role::whole) {
            static const char* const ops[] = {"-", "-", "+", "/", "*"};
            const std::string op = oneOf(ops);
            if (pick(4) == 0) return binary(literal(role), "!", "");
            return binary(literal(role), op, literal(role));
        }
        if (pick(300) == 0) {  // now and then a value around the 8,191-character limit
            return binary(std::to_string(2 + pick(8)), "^", std::to_string(8000 + pick(24000)));
        }
        switch (pick(7)) {
            case 0:
                return binary(operand(depth - 1, Role::any), "^", operand(depth - 1, Role::whole));
            case 1:
                return binary(operand(depth - 1, Role::whole), "choose",
                              operand(depth - 1, Role::whole));
            case 2:
                return binary(operand(depth - 1, Role::whole), "!", "");
            default: {
                static const char* const ops[] = {"+", "-", "*", "/"};
                return binary(operand(depth - 1, Role::any), oneOf(ops),
                              operand(depth - 1, Role::any));
            }
        }
    }

    // Deletes, inserts or duplicates characters.
    std::string mutate(std::string line) {
        static const char* const inserts[] = {"0", "7", "(",  ")",  "+",    "-",    "*",
                                              "/", "^", "!",  " ",  "\t",   "c",    "choose",
                                              "x", ".", "\v", "\f", "\x80", "\xff", "q"};
        const std::size_t at = line.empty() ? 0 : pick(static_cast<unsigned>(line.size()));
        switch (pick(3)) {
            case 0:
                if (!line.empty()) line.erase(at, 1);
                break;
            case 1:
                line.insert(at, oneOf(inserts));
                break;
            default:
                line.insert(at, line.substr(at, 1 + pick(4)));
                break;
        }
        return line;
    }

    std::mt19937_64 rng;
};

std::uint64_t settingOr(const char* name, std::uint64_t fallback) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::strtoull(value, nullptr, 10) : fallback;
}

TEST(Oracle, ConsoleAgreesWithReferenceOnRandomLines) {
    const auto now =
        static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    const std::uint64_t seed = settingOr("EXACTCALC_ORACLE_SEED", now % 1000000007);
    const std::uint64_t wanted = settingOr("EXACTCALC_ORACLE_LINES", 5000);
    SCOPED_TRACE("repeat with EXACTCALC_ORACLE_SEED=" + std::to_string(seed));
    LineGenerator generator(seed);
    std::uint64_t checked = 0, skipped = 0;
    std::map<std::string, std::uint64_t> outcomes;  // what kinds of answer were compared
    while (checked < wanted && skipped < wanted) {
        const std::string line = generator.next();
        const std::string read = line.substr(0, LINE_LIMIT);
        std::string expected = "Exp: ";
        if (read.empty()) {
            expected += "Exp: ";
        } else if (read[0] != 'q' && read[0] != 'Q') {
            const auto answer = testing::referenceAnswer(read);
            if (!answer) {
                ++skipped;
                continue;
            }
            expected += *answer + "Exp: ";
        }
        std::istringstream in(line + "\n");
        std::ostringstream out;
        runConsole(in, out);
        ASSERT_EQ(out.str(), expected) << "line: '" << line << "'";
        ++checked;
        ++outcomes[expected.find("NOT ENOUGH") != std::string::npos     ? "values too long to print"
                   : expected.find(" = ") != std::string::npos          ? "values"
                   : expected.find("::parse") != std::string::npos      ? "parse faults"
                   : expected.find("Expression::") != std::string::npos ? "structure faults"
                   : expected.find("::") != std::string::npos           ? "evaluation faults"
                                                                        : "quit or empty"];
    }
    EXPECT_EQ(checked, wanted) << skipped << " lines were too heavy to check";
    std::cout << "[ oracle   ] seed " << seed << ": " << checked << " lines agreed (";
    for (const auto& [outcome, count] : outcomes)
        std::cout << count << " " << outcome << ", ";
    std::cout << skipped << " too heavy to check)\n";
}

}  // namespace
}  // namespace VELD
