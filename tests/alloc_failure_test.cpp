// Every allocation an Integer computation makes is failed in turn: each failure must
// surface as the storage message and leave nothing allocated.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "alloc_injection.h"
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
        Integer a("-123456789012345678901234567890");
        Integer b(a);
        b += Integer("98765432109876543210");
        b -= a;
        b++;
        b--;
        Integer c = a - b;
        c = c + a;
        char text[64];
        ASSERT_EQ(c.print(text, sizeof text), 0);
    });
    EXPECT_GT(injected, 50u);
}

// Each set bit of the driver costs one addition, an array of its own; shifts of the
// working copy allocate only when it outgrows its array. So the allocation count shows
// which operand drove: the one with more clear bits over its whole words, in either order.
TEST(AllocationFailure, OperandWithMoreClearBitsDrives) {
    const std::uint32_t threeWords[] = {0xFFFFFFFFu, 0xFFFFFFFFu, 1};  // 65 set, 31 clear
    const Integer a = Integer::fromWords(threeWords, 3, false);
    const Integer b(0xFFFF);  // 16 set, 16 clear
    for (const auto& [left, right] : {std::pair{&a, &b}, std::pair{&b, &a}}) {
        armAllocationFailure(0);
        const Integer product = *left * *right;
        const std::uint64_t allocations = disarmAllocationFailure();
        EXPECT_GE(allocations, 65u);
        EXPECT_LE(allocations, 70u);
    }
    Integer zero;
    armAllocationFailure(1);
    zero.shiftLeft(1000);  // a zero allocates nothing
    EXPECT_EQ(disarmAllocationFailure(), 0u);
}

}  // namespace
}  // namespace VELD
