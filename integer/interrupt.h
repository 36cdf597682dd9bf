// How a long computation is abandoned or paused from outside it: one flag, set by signal
// handlers and tested by the computation between its steps, and a hook the computation
// calls there when asked. What sets the flag, and what the hook does, is the caller's
// business (the console's note and Ctrl-C).
#pragma once

#include <atomic>

namespace VELD {

// Raised where the computation finds INTERRUPT_DUE.
inline constexpr const char* COMPUTATION_INTERRUPTED =
    "Integer::createSpace() - Computation interrupted.";

// Tested wherever Integer storage is obtained and in the long loops that obtain none. Its
// values:
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

}  // namespace VELD
