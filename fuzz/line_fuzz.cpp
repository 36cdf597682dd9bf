// Whole dialogues: any input through the console loop, parse, evaluation and printing.
// Each line is bounded by a work budget of CPU time that, like Ctrl-C, sets the interrupt
// flag, so heavy lines end quickly with the interrupt message.
#include <signal.h>
#include <sys/time.h>

#include <cstdint>
#include <sstream>
#include <string>

#include "console/modes.h"
#include "integer/integer.h"

namespace {

extern "C" void budgetSpent(int) {
    VELD::interruptRequested = 1;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    signal(SIGVTALRM, budgetSpent);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 4096) return 0;
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::ostringstream out;
    // Every 100 ms of CPU time, the line being answered is abandoned.
    const itimerval budget{{0, 100000}, {0, 100000}};
    setitimer(ITIMER_VIRTUAL, &budget, nullptr);
    VELD::runConsole(in, out);
    const itimerval off{};
    setitimer(ITIMER_VIRTUAL, &off, nullptr);
    return 0;
}
