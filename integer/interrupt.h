// How a long computation is abandoned or paused from outside it: one flag, set by signal
// handlers and tested by the computation between its steps, and a hook the computation
// calls there when asked. What sets the flag, and what the hook does, is the caller's
// business (the console's note and Ctrl-C).
#pragma once

#include <atomic>
#include <bit>
#include <cstdint>

namespace VELD {

// Raised where the computation finds INTERRUPT_DUE.
inline constexpr const char* COMPUTATION_INTERRUPTED =
    "Integer::createSpace() - Computation interrupted.";

// Tested wherever Integer storage is obtained, by each step by ten made in place, and in
// the long loops that obtain none (paced by an InterruptPacer, below). Its values:
//   0                nothing to do
//   INTERRUPT_DUE    abandon the computation: it throws COMPUTATION_INTERRUPTED
//   TICK_DUE         call tickHook, then go on
// The computation clears the flag when it acts on it; whoever starts a computation clears
// a request left from before. Lock-free, so that a signal handler may set it.
extern std::atomic<int> interruptRequested;
static_assert(std::atomic<int>::is_always_lock_free);
inline constexpr int INTERRUPT_DUE = 1;
inline constexpr int TICK_DUE = 2;

// Called between two steps of the computation when it finds TICK_DUE; null for nothing. It
// must not touch the values being computed.
extern void (*tickHook)();

// Acts on a set flag: clears it, then throws COMPUTATION_INTERRUPTED or calls tickHook.
void serviceInterruptFlag();

// The test of the flag in the computation's loops: one load while nothing is due.
inline void checkInterrupt() {
    if (interruptRequested.load(std::memory_order_relaxed) != 0) serviceInterruptFlag();
}

// How many steps over `count` words make about 2^16 words (within a factor of two): how
// often loops that obtain no storage test the interrupt flag.
inline std::uint32_t stepsPerCheck(std::uint32_t count) {
    const auto width = static_cast<unsigned>(std::bit_width(count));
    return width >= 16 ? 1u : 1u << (16 - width);
}

// The one way the long loops that obtain no storage (where the flag is not tested
// otherwise) pace their tests of the interrupt flag: about every 2^16 words worked on.
// step() is for steps over the `count` words given at the start, pass(n) for one over n
// words; either is true when it tested, which is where the loop records how far it has
// come. The first step or pass tests.
class InterruptPacer {
public:
    explicit InterruptPacer(std::uint32_t count = 1) : every(stepsPerCheck(count)) {}
    bool step() {
        if (--left != 0) return false;
        checkInterrupt();
        passed += left = every;
        return true;
    }
    bool pass(std::uint64_t words) {
        if (words < budget) {
            budget -= words;
            return false;
        }
        checkInterrupt();
        budget = std::uint64_t{1} << 16;
        return true;
    }
    // The steps taken by the last test, give or take the ones between two tests.
    std::uint64_t steps() const { return passed - every; }

private:
    std::uint32_t every;
    std::uint32_t left = 1;
    std::uint64_t passed = 0;
    std::uint64_t budget = 0;
};

}  // namespace VELD
