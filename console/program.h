// The whole program: its options, and the mode they choose.
#pragma once

#include <iosfwd>

#include "console/modes.h"

namespace VELD {

// `--help`, `--version`, an expression as arguments or `--values`, or the dialogue when
// there are no arguments. Returns the exit status: 0; 1 when output could not be written or
// input read (reported on `err`), or an expression of a script mode was a fault; 2 for
// arguments it does not take.
int runProgram(int argc, const char* const argv[], std::istream& in, std::ostream& out,
               std::ostream& err, const Terminal& terminal);

}  // namespace VELD
