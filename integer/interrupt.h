// How a long computation is abandoned or paused from outside it: one flag, set by signal
// handlers and tested by the computation between its steps, and a hook the computation
// calls there when asked. What sets the flag, and what the hook does, is the caller's
// business (the console's note and Ctrl-C).
#pragma once

#include <csignal>

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
// a request left from before.
extern volatile std::sig_atomic_t interruptRequested;
inline constexpr std::sig_atomic_t INTERRUPT_DUE = 1;
inline constexpr std::sig_atomic_t TICK_DUE = 2;

// Called between two steps of the computation when it finds TICK_DUE; null for nothing. It
// must not touch the values being computed.
extern void (*tickHook)();

// Acts on a set flag: clears it, then throws COMPUTATION_INTERRUPTED or calls tickHook.
void serviceInterruptFlag();

// The test of the flag in the computation's loops: one load while nothing is due.
inline void checkInterrupt() {
    if (interruptRequested != 0) serviceInterruptFlag();
}

}  // namespace VELD
