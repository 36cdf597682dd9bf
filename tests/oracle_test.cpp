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
#include <sstream>
#include <string>

#include "console/modes.h"
#include "line_generator.h"
#include "reference_calculator.h"

namespace VELD {
namespace {

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
    testing::LineGenerator generator(seed);
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
