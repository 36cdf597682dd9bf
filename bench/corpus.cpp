// The lines of the speed comparison, and their forms for the peer calculators.
//
//   exactcalc_corpus lines SEED COUNT [LIMIT [LEAST]]
//                                       COUNT random lines that have a value (the random
//                                       lines of the oracle test, less those that fault
//                                       and those the reference finds too heavy); with a
//                                       LIMIT, only those of them whose value prints in
//                                       at most LIMIT characters (and at least LEAST)
//   exactcalc_corpus render gp|calc [all]
//                                       each line of standard input in that calculator's
//                                       syntax: computed and printed, or only computed when
//                                       exactcalc finds its value too long to print (with
//                                       `all`, always printed, as --values prints it)
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "../tests/line_generator.h"
#include "../tests/reference_calculator.h"
#include "console/answer.h"
#include "console/lines.h"
#include "expression/expression.h"

namespace {

using VELD::Exception;
using VELD::Expression;

// The fully parenthesised text exactcalc writes back, and whether the value fits its
// output; nothing when the line does not parse or has no value.
struct Answer {
    std::string canonical;
    bool printable;
    std::size_t valueLength;
};

std::unique_ptr<Answer> answer(const std::string& line) {
    static std::vector<char> buffer(VELD::OUTPUT_BUFFER_SIZE);
    try {
        const auto root = Expression::parse(line.substr(0, VELD::LINE_LIMIT).c_str());
        if (root->print(buffer.data(), VELD::OUTPUT_BUFFER_SIZE) != 0) return nullptr;
        std::string canonical = buffer.data();
        const bool printable = root->evaluate().print(buffer.data(), VELD::OUTPUT_BUFFER_SIZE) == 0;
        const std::size_t length = printable ? std::string_view(buffer.data()).size() : SIZE_MAX;
        return std::make_unique<Answer>(Answer{std::move(canonical), printable, length});
    } catch (const Exception&) {
        return nullptr;
    }
}

// Rewrites exactcalc's parenthesised form, whose every operation has parentheses of its
// own: "(a choose b)" and "(a!)" become the peer's functions, the rest stays.
class Renderer {
public:
    Renderer(std::string_view text, bool calc) : text(text), calc(calc) {}

    std::string operand() {
        if (text[at] != '(') {
            const std::size_t start = at;
            while (at < text.size() && text[at] >= '0' && text[at] <= '9')
                ++at;
            return std::string(text.substr(start, at - start));
        }
        ++at;  // "("
        std::string left = operand();
        if (text[at] == '!') {
            at += 2;  // "!)"
            return calc ? "fact(" + left + ")" : "(" + left + ")!";
        }
        const std::size_t end = text.find(' ', at + 1);
        const std::string op(text.substr(at + 1, end - at - 1));
        at = end + 1;
        std::string right = operand();
        ++at;  // ")"
        if (op == "choose") return (calc ? "comb(" : "binomial(") + left + ", " + right + ")";
        return "(" + left + " " + op + " " + right + ")";
    }

private:
    std::string_view text;
    bool calc;
    std::size_t at = 0;
};

int lines(std::uint64_t seed, std::uint64_t count, std::size_t limit, std::size_t least) {
    VELD::testing::LineGenerator generator(seed);
    for (std::uint64_t valued = 0, tried = 0; valued < count && tried < 100 * count; ++tried) {
        const std::string line = generator.next();
        const auto reference = VELD::testing::referenceAnswer(line.substr(0, VELD::LINE_LIMIT));
        if (!reference || reference->find(" = ") == std::string::npos) continue;
        const auto value = answer(line);
        if (value == nullptr) continue;
        ++valued;
        if (value->valueLength <= limit && value->valueLength >= least) std::cout << line << '\n';
    }
    return 0;
}

int render(bool calc, bool all) {
    if (calc) std::cout << "config(\"mode\", \"frac\"),;\n";
    for (std::string line; std::getline(std::cin, line);) {
        const auto value = answer(line);
        if (value == nullptr) {
            std::cerr << "exactcalc_corpus: no value for '" << line << "'\n";
            return 1;
        }
        const std::string expression = Renderer(value->canonical, calc).operand();
        // Values exactcalc does not print are only computed by the peers too.
        const bool printed = all || value->printable;
        std::cout << (printed ? "" : "x = ") << expression << (printed ? "" : ";") << '\n';
    }
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    const std::string_view mode = argc > 1 ? argv[1] : "";
    if (mode == "lines" && argc >= 4 && argc <= 6) {
        return lines(std::strtoull(argv[2], nullptr, 10), std::strtoull(argv[3], nullptr, 10),
                     argc >= 5 ? std::strtoull(argv[4], nullptr, 10) : SIZE_MAX,
                     argc == 6 ? std::strtoull(argv[5], nullptr, 10) : 0);
    }
    const bool all = argc == 4 && std::string_view(argv[3]) == "all";
    if (mode == "render" && (argc == 3 || all) &&
        (std::string_view(argv[2]) == "gp" || std::string_view(argv[2]) == "calc")) {
        return render(std::string_view(argv[2]) == "calc", all);
    }
    std::cerr
        << "usage: exactcalc_corpus lines SEED COUNT [LIMIT [LEAST]] | render gp|calc [all]\n";
    return 2;
}
