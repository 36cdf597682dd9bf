// Every allocation an Integer computation makes is failed in turn: each failure must
// surface as the storage message and leave nothing allocated.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "alloc_injection.h"
#include "console/modes.h"
#include "expression/expression.h"
#include "integer/integer.h"

namespace VELD {
namespace {

using testing::armAllocationFailure;
using testing::disarmAllocationFailure;
using testing::liveAllocations;

// Runs `work` once to count its allocations, then once per allocation with that one
// failing. Returns the number of failures injected.
std::uint64_t failEachAllocation(const std::function<void()>& work) {
    armAllocationFailure(0);
    work();
    const std::uint64_t total = disarmAllocationFailure();
    for (std::uint64_t n = 1; n <= total; ++n) {
        const std::int64_t before = liveAllocations();
        armAllocationFailure(n);
        try {
            work();
            disarmAllocationFailure();
            ADD_FAILURE() << "allocation " << n << " of " << total << " failed silently";
        } catch (const Exception& e) {
            disarmAllocationFailure();
            EXPECT_STREQ(e.getMessage(), NOT_ENOUGH_MEMORY) << "allocation " << n;
        }
        EXPECT_EQ(liveAllocations(), before) << "leak after failing allocation " << n;
    }
    return total;
}

TEST(AllocationFailure, IntegerCoreOperations) {
    const std::uint64_t injected = failEachAllocation([] {
        // Long enough to need arrays of their own: shorter magnitudes are held inside.
        Integer a(
            "-1234567890123456789012345678901234567890123456789012345678901234567890123456789012345"
            "67890");
        Integer b(a);
        b += Integer("987654321098765432109876543210987654321098765432109876543210");
        b -= a;
        b++;
        b--;
        Integer c = a - b;
        c = c + a;
        char text[128];
        ASSERT_EQ(c.print(text, sizeof text), 0);
        // A product with a shifted copy of the multiplicand, and a long division with copies
        // of the divisor at every bit offset: both work areas of their own.
        Integer d = c * c * c;
        d.integerDivision(a);
    });
    // Reading, copying, growing sums and printing each obtain storage at least once.
    EXPECT_GE(injected, 15u);
}

// A long print in each layout of its powers of ten: its work areas (the remainder, the
// powers, the checkpoints and the stretch that is built again from them) are obtained
// before any digit is written, so a failure leaves the text as it was; building a stretch
// again obtains nothing.
TEST(AllocationFailure, LongPrintInEveryLayout) {
    const Integer value = Integer(7).power(Integer(1200));  // 1,015 digits
    std::vector<char> text(1100);
    ASSERT_EQ(value.print(text.data(), 1100), 0);
    const std::string expected(text.data());
    const std::uint64_t saved = Integer::printStoreLimit;
    for (const std::uint64_t limit : {saved, std::uint64_t{2000}, std::uint64_t{100}}) {
        Integer::printStoreLimit = limit;
        std::vector<char> buffer(1100, 'x');
        EXPECT_GE(failEachAllocation([&] {
                      ASSERT_EQ(value.print(buffer.data(), 1100), 0);
                      ASSERT_STREQ(buffer.data(), expected.c_str()) << limit;
                      std::fill(buffer.begin(), buffer.end(), 'x');
                  }),
                  1u);
        EXPECT_EQ(buffer[0], 'x') << "digits written before the failure, limit " << limit;
    }
    Integer::printStoreLimit = saved;
}

TEST(AllocationFailure, ZeroShiftAllocatesNothing) {
    Integer zero;
    armAllocationFailure(1);
    zero.shiftLeft(1000);
    EXPECT_EQ(disarmAllocationFailure(), 0u);
}

// An output stream over a fixed array, so that writing the dialogue allocates nothing.
class FixedOutput : public std::streambuf {
public:
    FixedOutput() { setp(storage, storage + sizeof storage); }
    std::string text() const { return std::string(pbase(), pptr()); }

private:
    char storage[1 << 16];
};

// The answers of a dialogue, one per prompt.
std::vector<std::string> answers(const std::string& output) {
    std::vector<std::string> parts;
    for (std::size_t at = output.find("Exp: "); at != std::string::npos;) {
        const std::size_t next = output.find("Exp: ", at + 5);
        parts.push_back(
            output.substr(at + 5, next == std::string::npos ? std::string::npos : next - at - 5));
        at = next;
    }
    return parts;
}

std::string dialogue(const std::string& input, std::uint64_t failAt, std::uint64_t* allocations) {
    std::istringstream in(input);
    FixedOutput buffer;
    std::ostream out(&buffer);
    const std::int64_t before = liveAllocations();
    armAllocationFailure(failAt);
    runConsole(in, out);
    const std::uint64_t made = disarmAllocationFailure();
    EXPECT_EQ(liveAllocations(), before) << "leak when failing allocation " << failAt;
    if (allocations != nullptr) *allocations = made;
    return buffer.text();
}

// A dialogue touching every operator, with each of its allocations failed in turn: the
// failing line reports running out of memory (behind its echo once that is written), and
// every other line is answered as usual.
TEST(AllocationFailure, EveryAllocationOfADialogue) {
    const std::vector<std::string> script = {
        "(1 + 2) * 3", "100 - 7", "22 / 7", "(2 ^ 70) / 3", "10 !", "20 choose 7", "1 / 0",
        "(3 !) !", "18446744073709551616 - 1", "007", "2 ^ (1 / 2)", "(1 / 2) ^ (0 - 3)",
        // A literal long enough for an array of its own, which parsing obtains.
        "340282366920938463463374607431768211456 + 1"};
    std::string input;
    std::vector<std::uint64_t> lastAllocationOf;  // running count after each line
    std::vector<std::string> expected, echoes;
    std::uint64_t total = 0;
    for (const std::string& line : script) {
        char echo[256];
        ASSERT_EQ(Expression::parse(line.c_str())->print(echo, sizeof echo), 0);
        echoes.push_back(echo);
        std::uint64_t count = 0;
        expected.push_back(answers(dialogue(line + "\n", 0, &count)).front());
        lastAllocationOf.push_back(total += count);
        input += line + "\n";
    }
    expected.push_back("");
    ASSERT_EQ(answers(dialogue(input, 0, nullptr)), expected);

    const std::string outOfMemory[] = {
        NOT_ENOUGH_MEMORY, "Expression::parse() - Not enough memory for integer expression.",
        "Expression::buildExpression() - Not enough memory for expression."};
    std::uint64_t seen[std::size(outOfMemory)] = {};
    for (std::uint64_t n = 1; n <= total; ++n) {
        const std::vector<std::string> got = answers(dialogue(input, n, nullptr));
        ASSERT_EQ(got.size(), expected.size()) << "failing allocation " << n;
        std::size_t failing = 0;
        while (lastAllocationOf[failing] < n)
            ++failing;
        for (std::size_t i = 0; i < got.size(); ++i) {
            if (i != failing) {
                ASSERT_EQ(got[i], expected[i]) << "line " << i << ", failing allocation " << n;
                continue;
            }
            // Before the echo any of the three messages; behind it, only the storage one.
            bool matched = got[i] == echoes[i] + NOT_ENOUGH_MEMORY + "\n";
            for (std::size_t k = 0; k < std::size(outOfMemory); ++k) {
                if (got[i] == outOfMemory[k] + "\n") {
                    matched = true;
                    ++seen[k];
                }
            }
            ASSERT_TRUE(matched) << "failing allocation " << n << " in '" << script[i]
                                 << "': " << got[i];
        }
    }
    for (std::uint64_t count : seen)
        EXPECT_GT(count, 0u);
    std::cout << "[ injected ] " << total << " allocation failures, each survived\n";
}

}  // namespace
}  // namespace VELD
