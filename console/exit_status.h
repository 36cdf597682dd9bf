// The program's exit statuses, and the report of a stream that failed.
#pragma once

#include <iosfwd>

namespace VELD {

inline constexpr int EXIT_ANSWERED = 0;  // every line answered, or the dialogue ended
inline constexpr int EXIT_FAULT = 1;     // a line was a fault, or a stream failed
inline constexpr int EXIT_USAGE = 2;     // arguments the program does not take

// Writes "exactcalc: cannot <what>: <reason>" for the system's `error` (an I/O error when
// it gave none) and returns EXIT_FAULT.
int reportFailure(std::ostream& err, const char* what, int error);

// Flushes `out`: `status` when that works, else the failure reported.
int finish(std::ostream& out, std::ostream& err, int status = EXIT_ANSWERED);

// Ends the program as SIGINT does, once what has been answered is written.
[[noreturn]] void endByInterrupt(std::ostream& out);

}  // namespace VELD
