// Random calculator lines, mostly well formed: literals at the word boundaries, every
// operator, redundant parentheses, white space, now and then a value near the printing
// limit, and a quarter of the lines mutated by deleting, inserting or repeating characters.
// The same seed gives the same lines.
#pragma once

#include <cstdint>
#include <random>
#include <string>

namespace VELD::testing {

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

}  // namespace VELD::testing
