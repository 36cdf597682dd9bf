// The script modes: expressions given as arguments, or lines read with --values, each
// answered with its value alone on a line of its own, with no prompt and no echo. A fault
// gives an empty line there, so that the output lines up with the input, and its message
// on standard error with the line's number or the argument's position. Ctrl-C ends the
// program once what has been answered is written.
#pragma once

#include <iosfwd>
#include <string_view>
#include <vector>

namespace VELD {

struct Terminal;

// Answers each expression in turn, as if typed; an empty one is a fault, and one that
// begins with q or Q ends the program as in the dialogue. Returns the exit status: 0 when
// every one was answered, 1 when any was a fault (the rest are still answered) or output
// could not be written.
int answerArguments(const std::vector<std::string_view>& expressions, std::ostream& out,
                    std::ostream& err, const Terminal& terminal);

// Answers each line of `in` until its end or a line that begins with q or Q. Lines that are
// empty or hold only white space give an empty line and are no fault. Returns the exit
// status as answerArguments does, also 1 when input could not be read.
int answerValues(std::istream& in, std::ostream& out, std::ostream& err, const Terminal& terminal);

}  // namespace VELD
